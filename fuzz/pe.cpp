// PE modules: open through the PE reader, save a copy through the PE writer, and read the copy back;
// the copy must hold what the module held.
#include "FuzzCommon.h"
#include "FuzzModules.h"

#include "model/koResourcesModule.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeModel();
    const QString folder = FuzzScratchFolder();
    const QString source = folder + QStringLiteral("/module.dll");
    const QString copy = folder + QStringLiteral("/copy.dll");
    FuzzWriteFile(source, data, size);
    FuzzRun([&] {
        std::unique_ptr<TCustomResourceModule> module = TCustomResourceModule::LoadFromFile(source);
        if (!module) return;
        try {
            module->SaveToFile(copy);
        } catch (const EAssertionFailed&) {
            throw;
        } catch (const Exception& e) {
            // A refused save must leave the target alone: here, not made at all.
            if (QFile::exists(copy)) FuzzFinding(QStringLiteral("a failed save left ") + copy + QStringLiteral(": ") + e.Message());
            throw;
        }
        std::unique_ptr<TCustomResourceModule> reread;
        try {
            reread = TCustomResourceModule::LoadFromFile(copy);
        } catch (const Exception& e) {
            FuzzFinding(QStringLiteral("the saved copy cannot be read: ") + e.Message());
        }
        if (!reread) FuzzFinding(QStringLiteral("the saved copy is no module"));
        CheckSameItems(module.get(), reread.get(), "PE");
    });
    return 0;
}
