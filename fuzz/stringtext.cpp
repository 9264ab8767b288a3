// The text import of string tables, as a file added to a module goes (the kind's test of the file,
// then its import), and a save of the imported table: the strings must come back from the save. The
// first byte is the table's name (its first block); the rest is the file.
#include "FuzzCommon.h"
#include "FuzzModules.h"

#include "kinds/koResourceItemString.h"
#include "model/koResourcesModule.h"
#include "platform/Streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    FuzzInitializeModel();
    const QString copy = FuzzScratchFolder() + QStringLiteral("/copy.res");
    FuzzRun([&] {
        TBytesStream file(FuzzBytes(data + 1, size - 1));
        if (!TStringListResourceItem::HandlesFile(QStringLiteral("strings.txt"), &file)) return;
        file.Seek(0, soBeginning);
        TResourceModule module;
        module.SetDeferDefaultSymbols(true);
        TResourceItemPtr owned = TStringListResourceItem::ClassInfo()->Create(TResourceIdent::FromOrdinal(0));
        TCustomResourceItem* item = owned.get();
        item->SetModule(&module);
        owned.release();
        item->InitializeNewItem();
        item->SetNameInteger(data[0]);
        item->LoadFromFileStream(file);
        const TStringCensus before = StringCensus(&module);
        module.SaveToFile(copy);
        std::unique_ptr<TCustomResourceModule> reread = TCustomResourceModule::LoadFromFile(copy);
        if (!reread || StringCensus(reread.get()) != before)
            FuzzFinding(QStringLiteral("the imported strings do not come back from the saved blocks"));
    });
    return 0;
}
