#include "koResourceModuleRCAcceleratorWriter.h"

#include "koResourceItemAccelerator.h"
#include "model/koResourcesSymbols.h"

namespace {
const int KeyColumn = 20;
const int CommandColumn = 25;
const int OptionsColumn = 20;

// The first module symbol named VK_... whose value is the key; empty when none.
QString VirtualKeySymbol(TCustomResourceModule* Module, int Key)
{
    if (!Module) return {};
    TResourceSymbols* symbols = Module->Symbols();
    for (int i = 0; i < symbols->Count(); ++i) {
        const TResourceSymbol* symbol = symbols->Items(i);
        if (symbol->Symbol().startsWith(QLatin1StringView("VK_")) && symbol->IsNumeric() &&
            symbol->Value().toInt() == Key)
            return symbol->Symbol();
    }
    return {};
}
} // namespace

bool TRCItemAcceleratorWriter::Handles(TCustomResourceItem* Item)
{
    return qobject_cast<TAcceleratorResourceItem*>(Item) != nullptr;
}

void TRCItemAcceleratorWriter::WriteItemBody(TRCEncoder& Encoder, TCustomResourceItem* Item)
{
    WriteOptionalStatements(Encoder, Item);
}

// Keys are written so that both resource compilers read them back as they were: control characters and
// "^" of ASCII entries as numbers (a literal starting with "^" means Ctrl and a letter, which one compiler
// reads as a virtual key, and some such letters break the literal or are refused), and only letters and
// digits of virtual keys quoted.
QString TRCItemAcceleratorWriter::KeyText(TAcceleratorItem* Entry, TCustomResourceModule* Module) const
{
    const uint16_t shortcut = Entry->Shortcut();
    const bool ascii = Entry->AcceleratorType() == atASCII;
    const int k = shortcut & (ascii ? 0x00FF : 0x0FFF);
    bool quoted;
    if (ascii)
        quoted = (k >= 32 && k <= 95 && k != '"' && k != '\'' && k != '\\' && k != '^') || (k >= 97 && k <= 126);
    else
        quoted = (k >= '0' && k <= '9') || (k >= 'A' && k <= 'Z');
    if (quoted) return QLatin1Char('"') + QChar(k) + QLatin1Char('"');
    if (!ascii && SymbolicValues())
        if (const QString symbol = VirtualKeySymbol(Module, k); !symbol.isEmpty()) return symbol;
    return QString::number(k);
}

void TRCItemAcceleratorWriter::SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool)
{
    auto* table = qobject_cast<TAcceleratorResourceItem*>(Item);
    WriteItem(Encoder, Item);
    BeginBlock(&Encoder);
    TAcceleratorItems* entries = table->Accelerators();
    for (int i = 0; i < entries->Count(); ++i) {
        TAcceleratorItem* entry = entries->Items(i);
        const uint16_t shortcut = entry->Shortcut();
        QString options;
        if (shortcut & atShift) options += QLatin1StringView("SHIFT, ");
        if (shortcut & atCtrl) options += QLatin1StringView("CONTROL, ");
        if (shortcut & atAlt) options += QLatin1StringView("ALT, ");
        options += entry->AcceleratorType() == atVirtual ? QLatin1StringView("VIRTKEY") : QLatin1StringView("ASCII");
        // Compilers take no -1 for a command: an unbound 0xFFFF goes out as its number.
        TAcceleratorItem::TResourceAcceleratorIdentifier* command = entry->Command();
        const QString commandText = command->Symbol() ? command->ID() : QString::number(command->OrdinalValue());
        QString comment = AcceleratorToText(shortcut);
        // A backslash ending a line comment would join the next line to it in the preprocessor.
        if (comment.endsWith(QLatin1Char('\\')))
            comment = QStringLiteral("/* ") + comment + QStringLiteral(" */");
        else
            comment = QStringLiteral("// ") + comment;
        WriteLine(Encoder, PadText(KeyText(entry, Item->Module()) + QLatin1Char(','), KeyColumn) +
                               PadText(commandText + QLatin1Char(','), CommandColumn) + PadText(options, OptionsColumn) +
                               comment);
    }
    EndBlock(&Encoder);
    WriteLine(Encoder, QString(), false);
}

void koResourceModuleRCAcceleratorWriter_Initialize() { TRCItemAcceleratorWriter::ClassInfo()->Register(0); }

void koResourceModuleRCAcceleratorWriter_Finalize() { TRCItemAcceleratorWriter::ClassInfo()->Unregister(); }
