#include "koResourceModuleRCDialogWriter.h"

#include "koResourceItemDialog.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

namespace {
const uint32_t WS_DLGFRAME = 0x00400000;
const uint32_t WS_BORDER = 0x00800000;

// Compilers read coordinates as signed 16-bit numbers (one refuses 65526).
QString Coordinate(uint16_t Value) { return QString::number(int16_t(Value)); }

// A predefined class as the quoted keyword compilers know.
const char* ClassKeyword(TResourceDialogControlClass Class)
{
    switch (Class) {
    case ccButton:
        return "button";
    case ccEdit:
        return "edit";
    case ccStatic:
        return "static";
    case ccListbox:
        return "listbox";
    case ccScrollbar:
        return "scrollbar";
    case ccCombobox:
        return "combobox";
    case ccCustom:
        break;
    }
    return nullptr;
}
} // namespace

bool TRCItemDialogWriter::Handles(TCustomResourceItem* Item) { return qobject_cast<TDialogResourceItem*>(Item) != nullptr; }

void TRCItemDialogWriter::WriteItemBody(TRCEncoder& Encoder, TCustomResourceItem* Item)
{
    WriteOptionalStatements(Encoder, Item);
}

void TRCItemDialogWriter::SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool)
{
    auto* dialog = qobject_cast<TDialogResourceItem*>(Item);
    ATELIER_ASSERT(dialog != nullptr);
    // A negative x right after the keyword is a syntax error to one compiler; in parentheses it is
    // the same number to all.
    QString left = Coordinate(dialog->Left());
    if (left.startsWith(QLatin1Char('-'))) left = QLatin1Char('(') + left + QLatin1Char(')');
    QString suffix = Format(QStringLiteral(" %s, %s, %u, %u"),
                            {left, Coordinate(dialog->Top()), uint32_t(dialog->Width()), uint32_t(dialog->Height())});
    if (dialog->HelpID() != 0) suffix += Format(QStringLiteral(", %u"), {dialog->HelpID()});
    // The statement takes no file name, so the header is written without one.
    WriteLine(Encoder, GetItemName(Item) + QLatin1Char(' ') + GetItemType(Item) + suffix, false);
    {
        BeginBlock(nullptr);
        TFinally level([this] { EndBlock(nullptr); });
        WriteItemBody(Encoder, Item);
        WriteDialogStatements(Encoder, dialog);
    }
    BeginBlock(&Encoder);
    for (int i = 0; i < dialog->Items()->Count(); ++i) WriteControl(Encoder, dialog->Items()->Items(i));
    EndBlock(&Encoder);
    WriteLine(Encoder, QString(), false);
}

void TRCItemDialogWriter::WriteDialogStatements(TRCEncoder& Encoder, TDialogResourceItem* Dialog)
{
    if (!Dialog->Caption().isEmpty()) WriteLine(Encoder, QStringLiteral("CAPTION ") + Encoder.Escape(Dialog->Caption(), true));
    const QString& dialogClass = Dialog->DialogClass();
    if (IsOrdinalResourceIdent(dialogClass))
        WriteLine(Encoder, Format(QStringLiteral("CLASS %u"), {uint32_t(ResourceIdentOrdinal(dialogClass))}));
    else if (!dialogClass.isEmpty())
        WriteLine(Encoder, QStringLiteral("CLASS ") + Encoder.Escape(dialogClass, true));
    QString menu = Dialog->Menu()->Identifier();
    if (menu.isEmpty()) {
        const TResourceIdent value = Dialog->Menu()->IdentifierValue();
        if (IsOrdinalResourceIdent(value))
            menu = QString::number(ResourceIdentOrdinal(value));
        else if (!value.isEmpty())
            menu = RCNameText(value);
    }
    if (!menu.isEmpty()) WriteLine(Encoder, QStringLiteral("MENU ") + menu);
    if (FSymbolicValues)
        WriteLine(Encoder, Format(QStringLiteral("EXSTYLE %s // 0x%.8XL"), {WindowExStyleAsString(Dialog->ExStyle()), Dialog->ExStyle()}));
    else
        WriteLine(Encoder, Format(QStringLiteral("EXSTYLE %u // 0x%0:.8XL"), {Dialog->ExStyle()}));
    WriteLine(Encoder, Format(QStringLiteral("STYLE %s // 0x%.8XL"), {DialogStyleText(Dialog), Dialog->Style()}));
    // Font data is in the template exactly when DS_SETFONT is set, and a FONT line sets it: the two go
    // together. Compilers take a missing character set for 1.
    if (Dialog->Style() & DS_SETFONT) {
        TDialogFont* font = Dialog->Font();
        QString line = Format(QStringLiteral("FONT %u, %s"), {uint32_t(font->Size()), Encoder.Escape(font->Name(), true)});
        if (font->Charset() != 1 || font->IsBold() || font->IsItalic())
            line += Format(QStringLiteral(", %u, %u, %u"),
                           {font->IsBold() ? 700u : 0u, font->IsItalic() ? 1u : 0u, uint32_t(font->Charset())});
        WriteLine(Encoder, line);
    }
}

// CAPTION makes compilers add WS_CAPTION (WS_BORDER and WS_DLGFRAME) to the style; a NOT piece for each
// bit the dialog lacks takes it out again.
QString TRCItemDialogWriter::DialogStyleText(TDialogResourceItem* Dialog) const
{
    const uint32_t style = Dialog->Style();
    if (!FSymbolicValues) {
        QString text = QString::number(style);
        if (!Dialog->Caption().isEmpty())
            for (uint32_t bit : {WS_DLGFRAME, WS_BORDER})
                if (!(style & bit)) text += Format(QStringLiteral(" | NOT 0x%.8XL"), {bit});
        return text;
    }
    QStringList pieces = Dialog->WindowStyleAsString().split(QStringLiteral(" | "));
    const QString dlgFrame = QStringLiteral("NOT WS_DLGFRAME");
    if (!(style & WS_DLGFRAME) && !pieces.contains(dlgFrame)) {
        // In bit order among the NOT pieces: after WS_SYSMENU, before WS_BORDER and WS_POPUP.
        qsizetype at = pieces.size();
        for (const char* later : {"NOT WS_BORDER", "NOT WS_POPUP"}) {
            const qsizetype index = pieces.indexOf(QString::fromLatin1(later));
            if (index >= 0) {
                at = index;
                break;
            }
        }
        pieces.insert(at, dlgFrame);
    }
    return pieces.join(QStringLiteral(" | "));
}

QString TRCItemDialogWriter::ControlStyleText(TDialogResourceItemControl* Control) const
{
    const uint32_t style = Control->Style();
    if (FSymbolicValues) return Control->WindowStyleAsString();
    // Compilers give a CONTROL WS_VISIBLE and WS_CHILD unless told not to.
    QString text = Format(QStringLiteral("0x%.8XL"), {style});
    for (uint32_t bit : {WS_VISIBLE, WS_CHILD})
        if (!(style & bit)) text += Format(QStringLiteral(" | NOT 0x%.8XL"), {bit});
    return text;
}

void TRCItemDialogWriter::WriteControl(TRCEncoder& Encoder, TDialogResourceItemControl* Control)
{
    QString text = Control->TextID()->Identifier();
    if (text.isEmpty()) {
        if (IsOrdinalResourceIdent(Control->Text()))
            text = QString::number(ResourceIdentOrdinal(Control->Text()));
        else
            text = Encoder.Escape(Control->Text(), true);
    }
    QString className;
    if (const char* keyword = ClassKeyword(Control->ControlClass()))
        className = QLatin1Char('"') + QString::fromLatin1(keyword) + QLatin1Char('"');
    else if (IsOrdinalResourceIdent(Control->ClassName()))
        className = QString::number(ResourceIdentOrdinal(Control->ClassName()));
    else
        className = Encoder.Escape(Control->ClassName(), true);
    QString line = Format(QStringLiteral("CONTROL %s, %s, %s, %s, %s, %s, %u, %u"),
                          {text, Control->ID()->ID(), className, ControlStyleText(Control), Coordinate(Control->Left()),
                           Coordinate(Control->Top()), uint32_t(Control->Width()), uint32_t(Control->Height())});
    const uint32_t helpID = Control->HelpIDValue();
    if (Control->ExStyle() != 0 || helpID != 0) {
        line += QStringLiteral(", ") + (FSymbolicValues ? WindowExStyleAsString(Control->ExStyle())
                                                        : Format(QStringLiteral("0x%.8XL"), {Control->ExStyle()}));
        if (helpID != 0) line += QStringLiteral(", ") + Control->HelpID()->ID();
    }
    WriteLine(Encoder, line);
    if (!Control->Extra().isEmpty()) {
        BeginBlock(&Encoder);
        TBytesStream data(Control->Extra());
        WriteData(Encoder, data);
        EndBlock(&Encoder);
    }
}

void koResourceModuleRCDialogWriter_Initialize() { TRCItemDialogWriter::ClassInfo()->Register(0); }

void koResourceModuleRCDialogWriter_Finalize() { TRCItemDialogWriter::ClassInfo()->Unregister(); }
