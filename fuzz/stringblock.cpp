// String blocks, read from RES bytes by the string table kind: every string read must come back, with
// its ID and language, from the blocks a save writes.
#include "FuzzCommon.h"
#include "FuzzModules.h"

#include "model/koResourcesModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeModel();
    const QString folder = FuzzScratchFolder();
    const QString input = folder + QStringLiteral("/input.res"), copy = folder + QStringLiteral("/copy.res");
    FuzzWriteFile(input, data, size);
    FuzzRun([&] {
        std::unique_ptr<TCustomResourceModule> module = TCustomResourceModule::LoadFromFile(input);
        if (!module) FuzzFinding(QStringLiteral("no reader for RES files"));
        const TStringCensus before = StringCensus(module.get());
        if (before.empty()) return;
        module->SaveToFile(copy);
        std::unique_ptr<TCustomResourceModule> reread = TCustomResourceModule::LoadFromFile(copy);
        if (!reread || StringCensus(reread.get()) != before)
            FuzzFinding(QStringLiteral("the saved string blocks do not give back the strings read"));
    });
    return 0;
}
