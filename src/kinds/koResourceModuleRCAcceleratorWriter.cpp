#include "koResourceModuleRCAcceleratorWriter.h"

#include "koResourceItemAccelerator.h"
#include "model/koResourcesSymbols.h"

namespace {
const int KeyColumn = 20;
const int CommandColumn = 25;
const int OptionsColumn = 20;

// One walk over the symbols per table, so a long table does not search them once per entry.
QHash<int, QString> VirtualKeySymbols(TCustomResourceModule* Module)
{
    QHash<int, QString> names;
    if (!Module) return names;
    TResourceSymbols* symbols = Module->Symbols();
    for (int i = 0; i < symbols->Count(); ++i) {
        const TResourceSymbol* symbol = symbols->Items(i);
        if (!symbol->Symbol().startsWith(QLatin1StringView("VK_")) || !symbol->IsNumeric()) continue;
        const int value = symbol->Value().toInt();
        if (!names.contains(value)) names.insert(value, symbol->Symbol());
    }
    return names;
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
QString TRCItemAcceleratorWriter::KeyText(TAcceleratorItem* Entry, const TVirtualKeyNames& VirtualKeys) const
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
        if (const auto symbol = VirtualKeys.constFind(k); symbol != VirtualKeys.cend()) return *symbol;
    return QString::number(k);
}

void TRCItemAcceleratorWriter::SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool)
{
    auto* table = qobject_cast<TAcceleratorResourceItem*>(Item);
    WriteItem(Encoder, Item);
    BeginBlock(&Encoder);
    TAcceleratorItems* entries = table->Accelerators();
    const TVirtualKeyNames virtualKeys = VirtualKeySymbols(Item->Module());
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
        WriteLine(Encoder, PadText(KeyText(entry, virtualKeys) + QLatin1Char(','), KeyColumn) +
                               PadText(commandText + QLatin1Char(','), CommandColumn) + PadText(options, OptionsColumn) +
                               comment);
    }
    EndBlock(&Encoder);
    WriteLine(Encoder, QString(), false);
}

void koResourceModuleRCAcceleratorWriter_Initialize() { TRCItemAcceleratorWriter::ClassInfo()->Register(0); }

void koResourceModuleRCAcceleratorWriter_Finalize() { TRCItemAcceleratorWriter::ClassInfo()->Unregister(); }
