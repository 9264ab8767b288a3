// MENU and MENUEX: entries, their options and the standard or extended menu template.
#include "RcStatements.h"

#include <vector>

namespace rc {

namespace {

// Flags of a standard template's entry.
constexpr uint16_t MF_POPUP = 0x0010;
constexpr uint16_t MF_END = 0x0080;
// Flags of an extended template's entry.
constexpr uint16_t MFR_POPUP = 0x0001;
constexpr uint16_t MFR_END = 0x0080;
constexpr uint32_t MFT_SEPARATOR = 0x0800;
// Menus nest a few levels; a script nested deeper is refused rather than recursed into.
constexpr int MaxMenuDepth = 256;

struct TMenuOption {
    const char16_t* Keyword;
    uint16_t Flag;
};
const TMenuOption MenuOptions[] = {{u"GRAYED", 0x0001},       {u"INACTIVE", 0x0002},  {u"CHECKED", 0x0008},
                                   {u"MENUBARBREAK", 0x0020}, {u"MENUBREAK", 0x0040}, {u"HELP", 0x4000}};

struct TMenuEntry {
    bool Popup = false;
    QString Text;
    uint32_t ID = 0;
    uint32_t Type = 0;   // extended: the type; standard: the option flags
    uint32_t State = 0;  // extended only
    uint32_t HelpID = 0; // extended pop-ups only
    std::vector<TMenuEntry> Children;
};

void BuildStandard(TDataBuilder& B, const std::vector<TMenuEntry>& Entries)
{
    for (size_t i = 0; i < Entries.size(); ++i) {
        const TMenuEntry& e = Entries[i];
        uint16_t flags = static_cast<uint16_t>(e.Type);
        if (e.Popup) flags |= MF_POPUP;
        if (i + 1 == Entries.size()) flags |= MF_END;
        B.Word(flags);
        if (!e.Popup) B.Word(static_cast<uint16_t>(e.ID));
        B.String16(e.Text);
        if (e.Popup) BuildStandard(B, e.Children);
    }
}

// Each entry, and the help ID of a pop-up, starts on a DWORD counted from the template's start.
void BuildExtended(TDataBuilder& B, const std::vector<TMenuEntry>& Entries)
{
    for (size_t i = 0; i < Entries.size(); ++i) {
        const TMenuEntry& e = Entries[i];
        B.AlignTo4();
        B.DWord(e.Type);
        B.DWord(e.State);
        B.DWord(e.ID);
        B.Word(static_cast<uint16_t>((e.Popup ? MFR_POPUP : 0) | (i + 1 == Entries.size() ? MFR_END : 0)));
        B.String16(e.Text);
        if (e.Popup) {
            B.AlignTo4();
            B.DWord(e.HelpID);
            BuildExtended(B, e.Children);
        }
    }
}

class TMenuCompiler {
public:
    TMenuCompiler(TParser& Parser, TResourceStatement& Statement, bool Extended)
        : P(Parser), S(Statement), FExtended(Extended)
    {
    }

    void Run()
    {
        P.CommonOptions(S);
        std::vector<TMenuEntry> entries;
        Entries(entries, 0);
        TDataBuilder b;
        if (FExtended) {
            b.Word(1);
            b.Word(4);
            b.DWord(0);
            BuildExtended(b, entries);
        } else {
            b.Word(0);
            b.Word(0);
            BuildStandard(b, entries);
        }
        P.Emit(S, b.Data());
    }

private:
    // BEGIN, entries, END.
    void Entries(std::vector<TMenuEntry>& Into, int Depth)
    {
        if (Depth > MaxMenuDepth) P.Fatal(rcErrSyntax, QStringLiteral("menu nested too deeply"));
        P.ExpectBegin();
        while (!P.AtBlockEnd()) {
            TMenuEntry e;
            if (P.AcceptKeyword(u"POPUP")) {
                e.Popup = true;
                e.Text = P.Text();
                if (FExtended)
                    ExtendedFields(e);
                else
                    StandardOptions(e);
                Entries(e.Children, Depth + 1);
            } else if (P.AcceptKeyword(u"MENUITEM")) {
                if (P.AcceptKeyword(u"SEPARATOR")) {
                    if (FExtended) e.Type = MFT_SEPARATOR;
                } else {
                    e.Text = P.Text();
                    if (FExtended) {
                        ExtendedFields(e);
                    } else {
                        P.SkipComma();
                        Id(e);
                        StandardOptions(e);
                    }
                }
            } else {
                P.Unexpected(QStringLiteral("MENUITEM, POPUP or END"));
            }
            Into.push_back(std::move(e));
        }
        P.ExpectEnd();
    }

    void Id(TMenuEntry& E)
    {
        const TExpression id = P.Expression();
        E.ID = FExtended ? id.Value : id.Word();
        S.AddChild(id);
    }

    // Option keywords, separated by commas or blanks.
    void StandardOptions(TMenuEntry& E)
    {
        for (;;) {
            const bool comma = P.SkipComma();
            const TMenuOption* found = nullptr;
            for (const TMenuOption& o : MenuOptions)
                if (P.Peek().IsKeyword(QStringView(o.Keyword))) found = &o;
            if (!found) {
                if (comma) P.Unexpected(QStringLiteral("a menu option"));
                return;
            }
            P.Next();
            E.Type |= found->Flag;
        }
    }

    // [, id [, type [, state [, help ID]]]]: any of them may be left empty; the help ID only for a
    // pop-up.
    void ExtendedFields(TMenuEntry& E)
    {
        for (int field = 0; field < (E.Popup ? 4 : 3); ++field) {
            if (!P.SkipComma()) return;
            if (!P.AtExpression()) continue;
            switch (field) {
            case 0: Id(E); break;
            case 1: E.Type = P.Expression().Value; break;
            case 2: E.State = P.Expression().Value; break;
            default: E.HelpID = P.Expression().Value; break;
            }
        }
    }

    TParser& P;
    TResourceStatement& S;
    bool FExtended;
};

} // namespace

void CompileMenu(TParser& Parser, TResourceStatement& Statement, bool Extended)
{
    TMenuCompiler(Parser, Statement, Extended).Run();
}

} // namespace rc
