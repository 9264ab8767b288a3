// The RC writer, fed with a module read from RES bytes: the script and the files written beside it
// must all land in the script's folder.
#include "FuzzCommon.h"

#include "model/koResourcesModule.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeModel();
    const QString folder = FuzzScratchFolder();
    const QString input = folder + QStringLiteral("/input.res");
    FuzzWriteFile(input, data, size);
    const QString scriptFolder = folder + QStringLiteral("/script");
    QDir().mkpath(scriptFolder);
    FuzzRun([&] {
        std::unique_ptr<TCustomResourceModule> module = TCustomResourceModule::LoadFromFile(input);
        if (!module) FuzzFinding(QStringLiteral("no reader for RES files"));
        // Both encodings, chosen by a bit of the input so that the fuzzer reaches each.
        module->SetEncoding(size & 1 ? QStringLiteral("Unicode") : QStringLiteral("ASCII"));
        module->SaveToFile(scriptFolder + QStringLiteral("/module.rc"));
    });
    const QStringList outside = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    if (outside != (QStringList{QStringLiteral("input.res"), QStringLiteral("script")}))
        FuzzFinding(QStringLiteral("the RC writer wrote outside the script's folder: ") + outside.join(QStringLiteral(", ")));
    return 0;
}
