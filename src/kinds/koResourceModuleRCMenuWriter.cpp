#include "koResourceModuleRCMenuWriter.h"

#include "koResourceItemMenu.h"
#include "platform/Format.h"

bool TRCItemMenuWriter::Handles(TCustomResourceItem* Item) { return qobject_cast<TMenuResourceItem*>(Item) != nullptr; }

void TRCItemMenuWriter::SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool)
{
    auto* menu = qobject_cast<TMenuResourceItem*>(Item);
    ATELIER_ASSERT(menu != nullptr);
    // The statement has no place for the menu's own help ID.
    WriteItem(Encoder, Item);
    BeginBlock(&Encoder);
    WriteMenuItems(Encoder, menu->Items());
    EndBlock(&Encoder);
    WriteLine(Encoder, QString(), false);
}

// Types and states are numbers whatever the symbolic setting: no header names every combination.
void TRCItemMenuWriter::WriteMenuItems(TRCEncoder& Encoder, TResourceMenuItems* Items)
{
    for (int i = 0; i < Items->Count(); ++i) {
        TResourceMenuItem* item = Items->Items(i);
        const QString id = item->ID()->ID();
        const bool typeOrState = item->MenuType() != 0 || item->State() != 0;
        if (!item->HasSubItems()) {
            QString line = QStringLiteral("MENUITEM ") + Encoder.Escape(item->Text(), true);
            if (id != QLatin1String("0") || typeOrState) line += QStringLiteral(", ") + id;
            if (typeOrState) line += Format(QStringLiteral(", 0x%.8XL"), {item->MenuType()});
            if (item->State() != 0) line += Format(QStringLiteral(", 0x%.8XL"), {item->State()});
            WriteLine(Encoder, line);
            continue;
        }
        const bool help = item->HelpID()->OrdinalValue() != 0;
        QString line = QStringLiteral("POPUP ") + Encoder.Escape(item->Text(), true);
        if (id != QLatin1String("0") || typeOrState || help) line += QStringLiteral(", ") + id;
        if (typeOrState || help) line += Format(QStringLiteral(", 0x%.8XL"), {item->MenuType()});
        if (item->State() != 0 || help) line += Format(QStringLiteral(", 0x%.8XL"), {item->State()});
        if (help) line += QStringLiteral(", ") + item->HelpID()->ID();
        WriteLine(Encoder, line);
        BeginBlock(&Encoder);
        WriteMenuItems(Encoder, item->Items());
        EndBlock(&Encoder);
    }
}

void koResourceModuleRCMenuWriter_Initialize() { TRCItemMenuWriter::ClassInfo()->Register(0); }

void koResourceModuleRCMenuWriter_Finalize() { TRCItemMenuWriter::ClassInfo()->Unregister(); }
