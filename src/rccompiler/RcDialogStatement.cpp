// DIALOG and DIALOGEX: the optional statements, the controls and the DLGTEMPLATE / DLGTEMPLATEEX they
// compile to.
#include "RcStatements.h"

#include <vector>

namespace rc {

namespace {

constexpr uint32_t WS_POPUP = 0x80000000;
constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_BORDER = 0x00800000;
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_GROUP = 0x00020000;
constexpr uint32_t WS_TABSTOP = 0x00010000;
constexpr uint32_t DS_SETFONT = 0x00000040;
constexpr uint32_t DefaultDialogStyle = WS_POPUP | WS_BORDER | WS_SYSMENU;
constexpr uint8_t DefaultCharset = 1;

constexpr uint16_t ClassButton = 0x80;
constexpr uint16_t ClassEdit = 0x81;
constexpr uint16_t ClassStatic = 0x82;
constexpr uint16_t ClassListbox = 0x83;
constexpr uint16_t ClassScrollbar = 0x84;
constexpr uint16_t ClassCombobox = 0x85;

// The predefined window classes. Written as a keyword or as a string (any case), they compile to
// their ordinal, the form the templates of the program and of other compilers' output hold.
struct TClassKeyword {
    const char16_t* Name;
    uint16_t Ordinal;
};
const TClassKeyword ClassKeywords[] = {{u"BUTTON", ClassButton},       {u"EDIT", ClassEdit},
                                       {u"STATIC", ClassStatic},       {u"LISTBOX", ClassListbox},
                                       {u"SCROLLBAR", ClassScrollbar}, {u"COMBOBOX", ClassCombobox}};

const TClassKeyword* FindClass(QStringView Name)
{
    for (const TClassKeyword& k : ClassKeywords)
        if (Name.compare(QStringView(k.Name), Qt::CaseInsensitive) == 0) return &k;
    return nullptr;
}

// The shorthand controls: their class and the style they start from (WS_CHILD | WS_VISIBLE on top); a
// given style adds to it, NOT takes bits out of it.
struct TShorthand {
    const char16_t* Keyword;
    uint16_t Class;
    uint32_t Style;
    bool HasText;
};
const TShorthand Shorthands[] = {
    {u"LTEXT", ClassStatic, 0x0000 | WS_GROUP, true},
    {u"RTEXT", ClassStatic, 0x0002 | WS_GROUP, true},
    {u"CTEXT", ClassStatic, 0x0001 | WS_GROUP, true},
    {u"ICON", ClassStatic, 0x0003, true},
    {u"PUSHBUTTON", ClassButton, 0x0000 | WS_TABSTOP, true},
    {u"DEFPUSHBUTTON", ClassButton, 0x0001 | WS_TABSTOP, true},
    {u"CHECKBOX", ClassButton, 0x0002 | WS_TABSTOP, true},
    {u"AUTOCHECKBOX", ClassButton, 0x0003 | WS_TABSTOP, true},
    {u"RADIOBUTTON", ClassButton, 0x0004 | WS_TABSTOP, true},
    {u"STATE3", ClassButton, 0x0005 | WS_TABSTOP, true},
    {u"AUTO3STATE", ClassButton, 0x0006 | WS_TABSTOP, true},
    {u"GROUPBOX", ClassButton, 0x0007, true},
    {u"AUTORADIOBUTTON", ClassButton, 0x0009 | WS_TABSTOP, true},
    {u"PUSHBOX", ClassButton, 0x000A | WS_TABSTOP, true},
    {u"EDITTEXT", ClassEdit, 0x0000 | WS_BORDER | WS_TABSTOP, false},
    {u"LISTBOX", ClassListbox, 0x0001 | WS_BORDER, false},
    {u"COMBOBOX", ClassCombobox, 0x0001 | WS_TABSTOP, false},
    {u"SCROLLBAR", ClassScrollbar, 0x0000, false},
};

const TShorthand* FindShorthand(const TToken& Token)
{
    if (Token.Kind != TTokenKind::Identifier) return nullptr;
    for (const TShorthand& s : Shorthands)
        if (Token.IsKeyword(QStringView(s.Keyword))) return &s;
    return nullptr;
}

struct TControl {
    uint32_t HelpID = 0;
    uint32_t ExStyle = 0;
    uint32_t Style = 0;
    uint16_t X = 0, Y = 0, CX = 0, CY = 0;
    uint32_t ID = 0;
    TNameOrdinal Class;
    TNameOrdinal Text = TNameOrdinal::FromName(QString());
    QByteArray Data;
};

struct TDialog {
    bool Extended = false;
    uint32_t HelpID = 0;
    uint32_t ExStyle = 0;
    uint32_t Style = DefaultDialogStyle;
    uint16_t X = 0, Y = 0, CX = 0, CY = 0;
    TNameOrdinal Menu = TNameOrdinal::FromName(QString());
    TNameOrdinal Class = TNameOrdinal::FromName(QString());
    QString Caption;
    bool HasFont = false;
    uint16_t FontSize = 0;
    uint16_t FontWeight = 0;
    uint8_t FontItalic = 0;
    uint8_t FontCharset = DefaultCharset;
    QString FontFace;
    std::vector<TControl> Controls;
};

// Every control starts on a DWORD counted from the template's start; nothing pads the last one.
QByteArray BuildTemplate(const TDialog& D)
{
    TDataBuilder b;
    if (D.Extended) {
        b.Word(1);
        b.Word(0xFFFF);
        b.DWord(D.HelpID);
        b.DWord(D.ExStyle);
        b.DWord(D.Style);
    } else {
        b.DWord(D.Style);
        b.DWord(D.ExStyle);
    }
    b.Word(static_cast<uint16_t>(D.Controls.size()));
    for (uint16_t v : {D.X, D.Y, D.CX, D.CY}) b.Word(v);
    b.NameOrOrdinal(D.Menu);
    b.NameOrOrdinal(D.Class);
    b.String16(D.Caption);
    if (D.Style & DS_SETFONT) {
        b.Word(D.FontSize);
        if (D.Extended) {
            b.Word(D.FontWeight);
            b.Byte(D.FontItalic);
            b.Byte(D.FontCharset);
        }
        b.String16(D.FontFace);
    }
    for (const TControl& c : D.Controls) {
        b.AlignTo4();
        if (D.Extended) {
            b.DWord(c.HelpID);
            b.DWord(c.ExStyle);
            b.DWord(c.Style);
        } else {
            b.DWord(c.Style);
            b.DWord(c.ExStyle);
        }
        for (uint16_t v : {c.X, c.Y, c.CX, c.CY}) b.Word(v);
        if (D.Extended)
            b.DWord(c.ID);
        else
            b.Word(static_cast<uint16_t>(c.ID));
        b.NameOrOrdinal(c.Class);
        b.NameOrOrdinal(c.Text);
        b.Word(static_cast<uint16_t>(c.Data.size()));
        b.Bytes(c.Data);
    }
    return b.Data();
}

class TDialogCompiler {
public:
    TDialogCompiler(TParser& Parser, TResourceStatement& Statement, bool Extended)
        : P(Parser), S(Statement)
    {
        D.Extended = Extended;
    }

    void Run()
    {
        Header();
        OptionalStatements();
        if (D.HasFont) D.Style |= DS_SETFONT;
        P.ExpectBegin();
        while (!P.AtBlockEnd()) {
            Control();
        }
        P.ExpectEnd();
        P.Emit(S, BuildTemplate(D));
    }

private:
    // A field that may follow: after a comma, or an expression written without one.
    bool MoreFields() { return P.SkipComma() || P.AtExpression(); }

    uint16_t Coordinate() { return P.WordExpression(); }

    void Header()
    {
        D.X = Coordinate();
        P.SkipComma();
        D.Y = Coordinate();
        P.SkipComma();
        D.CX = Coordinate();
        P.SkipComma();
        D.CY = Coordinate();
        if (D.Extended && MoreFields()) D.HelpID = P.Expression().Value;
    }

    void OptionalStatements()
    {
        // STYLE and CAPTION build the style from nothing; NOT takes bits out of what is there so far,
        // WS_CAPTION from CAPTION included. Without STYLE the default style stays, with WS_CAPTION
        // when there is a caption.
        uint32_t built = 0;
        for (;;) {
            if (P.CommonOption(S)) continue;
            if (P.AcceptKeyword(u"STYLE")) {
                built = P.Expression().Apply(built);
                D.Style = built;
            } else if (P.AcceptKeyword(u"EXSTYLE")) {
                D.ExStyle = P.Expression().Apply(D.ExStyle);
            } else if (P.AcceptKeyword(u"CAPTION")) {
                D.Caption = P.Text();
                built |= WS_CAPTION;
                D.Style |= WS_CAPTION;
            } else if (P.AcceptKeyword(u"CLASS")) {
                D.Class = P.AtString() ? TNameOrdinal::FromName(P.Text()) : TNameOrdinal::FromOrdinal(P.WordExpression());
            } else if (P.AcceptKeyword(u"MENU")) {
                D.Menu = P.NameOrOrdinal();
                D.Menu.Macro.clear();
            } else if (P.AcceptKeyword(u"FONT")) {
                Font();
            } else {
                break;
            }
        }
    }

    // FONT size, face [, weight, italic, charset]: the last three only go into DLGTEMPLATEEX.
    void Font()
    {
        D.HasFont = true;
        D.FontSize = P.WordExpression();
        P.SkipComma();
        D.FontFace = P.Text();
        if (!MoreFields()) return;
        D.FontWeight = P.WordExpression();
        if (!MoreFields()) return;
        D.FontItalic = static_cast<uint8_t>(P.Expression().Value);
        if (!MoreFields()) return;
        D.FontCharset = static_cast<uint8_t>(P.Expression().Value);
    }

    // A control's text: a string, or a number (an ordinal: the image of an icon or bitmap).
    TNameOrdinal ControlText()
    {
        if (P.AtString()) return TNameOrdinal::FromName(P.Text());
        return TNameOrdinal::FromOrdinal(P.WordExpression());
    }

    TNameOrdinal ControlClass()
    {
        const TToken& t = P.Peek();
        if (P.AtString()) {
            const QString name = P.Text();
            if (const TClassKeyword* k = FindClass(name)) return TNameOrdinal::FromOrdinal(k->Ordinal);
            return TNameOrdinal::FromName(name);
        }
        if (t.Kind == TTokenKind::Identifier) {
            if (const TClassKeyword* k = FindClass(t.Text)) {
                P.Next();
                return TNameOrdinal::FromOrdinal(k->Ordinal);
            }
            P.Unexpected(QStringLiteral("a control class"));
        }
        return TNameOrdinal::FromOrdinal(P.WordExpression());
    }

    void ControlId(TControl& C)
    {
        // The whole value: a DIALOG that turns out to need DLGTEMPLATEEX keeps -1 as 0xFFFFFFFF.
        const TExpression id = P.Expression();
        C.ID = id.Value;
        S.AddChild(id);
    }

    void Position(TControl& C, bool SizeOptional)
    {
        C.X = Coordinate();
        P.SkipComma();
        C.Y = Coordinate();
        if (SizeOptional && !MoreFields()) return;
        if (!SizeOptional) P.SkipComma();
        C.CX = Coordinate();
        P.SkipComma();
        C.CY = Coordinate();
    }

    // [, exstyle [, help ID]] after the style: the help ID only in DIALOGEX.
    void Trailer(TControl& C)
    {
        if (!MoreFields()) return;
        C.ExStyle = P.Expression().Apply(0);
        if (!D.Extended || !MoreFields()) return;
        C.HelpID = P.Expression().Value;
    }

    void Control()
    {
        const TToken& keyword = P.Peek();
        TControl c;
        if (P.AcceptKeyword(u"CONTROL")) {
            c.Text = ControlText();
            P.SkipComma();
            ControlId(c);
            P.SkipComma();
            c.Class = ControlClass();
            P.SkipComma();
            c.Style = P.Expression().Apply(WS_CHILD | WS_VISIBLE);
            P.SkipComma();
            Position(c, false);
            Trailer(c);
        } else if (const TShorthand* s = FindShorthand(keyword)) {
            P.Next();
            c.Class = TNameOrdinal::FromOrdinal(s->Class);
            if (s->HasText) {
                c.Text = ControlText();
                P.SkipComma();
            }
            ControlId(c);
            P.SkipComma();
            // An icon's size may be left out.
            const bool icon = keyword.IsKeyword(u"ICON");
            Position(c, icon);
            c.Style = WS_CHILD | WS_VISIBLE | s->Style;
            if (MoreFields()) {
                c.Style = P.Expression().Apply(c.Style);
                Trailer(c);
            }
        } else {
            P.Unexpected(QStringLiteral("a control"));
        }
        if (P.IsBegin()) ControlData(c, keyword);
        if (D.Controls.size() >= 0xFFFF) P.Fatal(keyword, rcErrValue, QStringLiteral("too many controls"));
        D.Controls.push_back(std::move(c));
    }

    // BEGIN ... END after a control. Only the extended template has room for it.
    void ControlData(TControl& C, const TToken& At)
    {
        if (!D.Extended) {
            P.Warning(At, rcErrSyntax, QStringLiteral("control data needs DIALOGEX; the dialog is written as DIALOGEX"));
            D.Extended = true;
        }
        C.Data = DataBlock(P);
        if (C.Data.size() > 0xFFFF) P.Fatal(At, rcErrValue, QStringLiteral("control data longer than 65535 bytes"));
    }

    TParser& P;
    TResourceStatement& S;
    TDialog D;
};

} // namespace

void CompileDialog(TParser& Parser, TResourceStatement& Statement, bool Extended)
{
    TDialogCompiler(Parser, Statement, Extended).Run();
}

} // namespace rc
