// RES files: read, save, and read the saved file; the second reading must hold what the first held.
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
        module->SaveToFile(copy);
        std::unique_ptr<TCustomResourceModule> reread;
        try {
            reread = TCustomResourceModule::LoadFromFile(copy);
        } catch (const Exception& e) {
            FuzzFinding(QStringLiteral("the saved RES cannot be read: ") + e.Message());
        }
        if (!reread) FuzzFinding(QStringLiteral("the saved RES is no module"));
        CheckSameItems(module.get(), reread.get(), "RES");
    });
    return 0;
}
