// DESIGNINFO: the dialog designer's margins, guides and mockup images per resource, compiled into the
// binary the design-information kind reads.
#include "RcStatements.h"

#include "../model/koResourceModuleRC.h"

#include <vector>

namespace rc {

namespace {

constexpr uint32_t MockupTag = 0x1000;
constexpr uint16_t RT_MENU = 4;
constexpr uint16_t RT_DIALOG = 5;
// The ordinal types whose keywords the script writer uses.
constexpr uint16_t LastKeywordType = 24;

struct TDesignTag {
    const char16_t* Keyword;
    uint32_t ID;
};
const TDesignTag DesignTags[] = {
    {u"LEFTMARGIN", 0x45},
    {u"RIGHTMARGIN", 0x47},
    {u"TOPMARGIN", 0x405},
    {u"BOTTOMMARGIN", 0x407},
    {u"VERTGUIDE", 0x41},
    {u"HORZGUIDE", 0x401},
    {u"VERTGUIDE_PROPORTIONAL", 0x42},
    {u"VERTGUIDE_RIGHT", 0x43},
    {u"HORZGUIDE_PROPORTIONAL", 0x402},
    {u"HORZGUIDE_RIGHT", 0x403},
    {u"MOCKUP", MockupTag},
};

struct TDesignEntry {
    TNameOrdinal Type;
    TNameOrdinal Name;
    uint32_t Language = 0;
    QByteArray Tags;
};

// The count, the entry headers one after another, then each entry's tag list at its offset.
QByteArray BuildDesignInfo(const std::vector<TDesignEntry>& Entries)
{
    TDataBuilder b;
    b.DWord(static_cast<uint32_t>(Entries.size()));
    std::vector<qsizetype> offsetFields;
    for (const TDesignEntry& e : Entries) {
        b.NameOrOrdinal(e.Type);
        b.NameOrOrdinal(e.Name);
        b.DWord(e.Language);
        offsetFields.push_back(b.Size());
        b.DWord(0);
        b.DWord(static_cast<uint32_t>(e.Tags.size()));
    }
    for (size_t i = 0; i < Entries.size(); ++i) {
        b.PatchDWord(offsetFields[i], static_cast<uint32_t>(b.Size()));
        b.Bytes(Entries[i].Tags);
    }
    return b.Data();
}

class TDesignInfoCompiler {
public:
    TDesignInfoCompiler(TParser& Parser, TResourceStatement& Statement) : P(Parser), S(Statement) {}

    void Run()
    {
        P.CommonOptions(S);
        std::vector<TDesignEntry> entries;
        P.ExpectBegin();
        while (!P.AtBlockEnd()) {
            TDesignEntry e;
            e.Name = P.NameOrOrdinal();
            e.Name.Macro.clear();
            P.SkipComma();
            e.Type = Type();
            e.Language = S.Language;
            e.Tags = Tags();
            entries.push_back(std::move(e));
        }
        P.ExpectEnd();
        P.Emit(S, BuildDesignInfo(entries));
    }

private:
    // DIALOG (and DIALOGEX) is the dialog type, MENU (and MENUEX) the menu type, any other keyword the
    // ordinal the script writer gives it; a number is an ordinal, any other word or string a name.
    TNameOrdinal Type()
    {
        const TToken& t = P.Peek();
        if (t.Kind == TTokenKind::Identifier) {
            if (t.IsKeyword(u"DIALOG") || t.IsKeyword(u"DIALOGEX")) {
                P.Next();
                return TNameOrdinal::FromOrdinal(RT_DIALOG);
            }
            if (t.IsKeyword(u"MENU")) {
                P.Next();
                return TNameOrdinal::FromOrdinal(RT_MENU);
            }
            for (uint16_t id = 1; id <= LastKeywordType; ++id)
                if (t.IsKeyword(ResourceTypeIDToRCKeyword(id))) {
                    P.Next();
                    return TNameOrdinal::FromOrdinal(id);
                }
        }
        TNameOrdinal type = P.NameOrOrdinal();
        type.Macro.clear();
        return type;
    }

    // BEGIN { keyword, value | MOCKUP, enabled, opacity, left, top, "file" } END
    QByteArray Tags()
    {
        TDataBuilder b;
        P.ExpectBegin();
        while (!P.AtBlockEnd()) {
            const TToken& t = P.Peek();
            // A tag the writer had no keyword for is written without one: its id is lost.
            if (P.Accept(u",")) {
                P.Warning(t, rcErrSyntax, QStringLiteral("design tag without a keyword left out"));
                P.Expression();
                continue;
            }
            const TDesignTag* tag = nullptr;
            for (const TDesignTag& k : DesignTags)
                if (t.IsKeyword(QStringView(k.Keyword))) tag = &k;
            uint32_t id = 0;
            if (tag) {
                P.Next();
                id = tag->ID;
            } else if (P.AtExpression()) {
                id = P.Expression().Value;
            } else {
                P.Unexpected(QStringLiteral("a design tag"));
            }
            P.SkipComma();
            b.DWord(id);
            if (id == MockupTag) {
                for (int i = 0; i < 4; ++i) {
                    b.DWord(P.Expression().Value);
                    P.SkipComma();
                }
                b.String16(P.Text());
            } else {
                b.DWord(P.Expression().Value);
                b.DWord(0);
            }
        }
        P.ExpectEnd();
        return b.Data();
    }

    TParser& P;
    TResourceStatement& S;
};

} // namespace

void CompileDesignInfo(TParser& Parser, TResourceStatement& Statement) { TDesignInfoCompiler(Parser, Statement).Run(); }

} // namespace rc
