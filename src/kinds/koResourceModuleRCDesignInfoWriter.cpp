#include "koResourceModuleRCDesignInfoWriter.h"

#include "koResourceItemDesignInfo.h"
#include "model/koResources.h"
#include "model/koResourcesModule.h"

bool TRCItemDesignInfoWriter::Handles(TCustomResourceItem* Item)
{
    return qobject_cast<TDesignInfoResourceItem*>(Item) != nullptr;
}

void TRCItemDesignInfoWriter::SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool)
{
    auto* designInfo = qobject_cast<TDesignInfoResourceItem*>(Item);
    TCustomResourceModule* module = Item->Module();
    WriteLine(Encoder, QStringLiteral("#ifdef APSTUDIO_INVOKED"));
    WriteItem(Encoder, Item);
    BeginBlock(&Encoder);
    TDesignInfoItems* entries = designInfo->Entries();
    bool first = true;
    for (int i = 0; i < entries->Count(); ++i) {
        TDesignInfoItem* entry = entries->Items(i);
        // Rules of a resource the module no longer holds are dropped with it.
        TCustomResourceItem* described =
            module ? module->Find(entry->ResourceType(), entry->Name(), uint16_t(entry->Language())) : nullptr;
        if (!described) continue;
        if (!first) WriteLine(Encoder, QString(), false);
        first = false;
        const QString type = described->ResourceTypeIsInteger() && described->ResourceTypeInteger() == RT_DIALOG
                                 ? QStringLiteral("DIALOG")
                                 : GetItemType(described);
        WriteLine(Encoder, QStringLiteral("%1, %2").arg(GetItemName(described), type));
        BeginBlock(&Encoder);
        TDesignInfoItemTags* tags = entry->Tags();
        for (int j = 0; j < tags->Count(); ++j) {
            TDesignInfoItemTag* tag = tags->Items(j);
            if (auto* mockup = qobject_cast<TDesignInfoItemMockupTag*>(tag)) {
                if (!mockup->Enabled() && mockup->Filename().isEmpty()) continue;
                WriteLine(Encoder, QStringLiteral("%1, %2, %3, %4, %5, %6")
                                       .arg(mockup->Name())
                                       .arg(mockup->Enabled() ? 1 : 0)
                                       .arg(mockup->Opacity())
                                       .arg(mockup->Left())
                                       .arg(mockup->Top())
                                       .arg(Encoder.Escape(mockup->Filename(), true)));
            } else if (auto* value = qobject_cast<TDesignInfoItemValueTag*>(tag)) {
                WriteLine(Encoder, QStringLiteral("%1, %2").arg(value->Name()).arg(value->Value()));
            }
        }
        EndBlock(&Encoder);
    }
    EndBlock(&Encoder);
    WriteLine(Encoder, QStringLiteral("#endif    // APSTUDIO_INVOKED"));
    WriteLine(Encoder, QString(), false);
}

void koResourceModuleRCDesignInfoWriter_Initialize() { TRCItemDesignInfoWriter::ClassInfo()->Register(0); }

void koResourceModuleRCDesignInfoWriter_Finalize() { TRCItemDesignInfoWriter::ClassInfo()->Unregister(); }
