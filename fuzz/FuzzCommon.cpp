#include "FuzzCommon.h"

#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemAnimatedIconCursor.h"
#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemIconCursor.h"
#include "kinds/koResourceItemImage.h"
#include "kinds/koResourceItemPNG.h"
#include "kinds/koResourceItemString.h"
#include "kinds/koResourceModuleRCStringTableWriter.h"
#include "model/koResourceItemSymbols.h"
#include "model/koResourceModulePE.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResources.h"
#include "model/koResourcesItem.h"
#include "model/koResourcesKinds.h"
#include "platform/Exceptions.h"
#include "platform/PublishedProperties.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

QByteArray FuzzBytes(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

void FuzzInitializeModel()
{
    static const bool started = [] {
        PublishedProperties_Initialize();
        koResources_Initialize();
        koResourcesItem_Initialize();
        koResourcesKinds_Initialize();
        koResourceItemSymbols_Initialize();
        koResourceItemImage_Initialize();
        koResourceItemBitmap_Initialize();
        koIconEncoder_Initialize();
        koResourceItemIconCursor_Initialize();
        koResourceItemAnimatedIconCursor_Initialize();
        koResourceItemPNG_Initialize();
        koResourceItemString_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModulePE_Initialize();
        koResourceModuleRCStringTableWriter_Initialize();
        return true;
    }();
    (void)started;
}

void FuzzInitializeGui()
{
    static std::unique_ptr<QGuiApplication> application = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz";
        static char* argv[] = {name, nullptr};
        return std::make_unique<QGuiApplication>(argc, argv);
    }();
}

QString FuzzScratchFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/atelier-fuzz-XXXXXX"));
    if (!folder.isValid()) FuzzFinding(QStringLiteral("no scratch folder"));
    QDir dir(folder.path());
    for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        const QString path = dir.filePath(entry);
        if (!QFile::remove(path)) QDir(path).removeRecursively();
    }
    return folder.path();
}

void FuzzWriteFile(const QString& FileName, const uint8_t* data, size_t size)
{
    QFile file(FileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(FuzzBytes(data, size)) != qint64(size))
        FuzzFinding(QStringLiteral("cannot write ") + FileName);
}

void FuzzFinding(const QString& Message)
{
    std::fprintf(stderr, "FUZZ FINDING: %s\n", Message.toLocal8Bit().constData());
    std::fflush(stderr);
    std::abort();
}

void FuzzRun(const std::function<void()>& Body)
{
    try {
        Body();
    } catch (const EAssertionFailed& e) {
        FuzzFinding(e.Message());
    } catch (const Exception& e) {
        if (e.Message().contains(QLatin1String("Assertion failed"))) FuzzFinding(e.Message());
        static const bool verbose = qEnvironmentVariableIsSet("FUZZ_VERBOSE");
        if (verbose) std::fprintf(stderr, "rejected: %s\n", e.Message().toLocal8Bit().constData());
    }
}
