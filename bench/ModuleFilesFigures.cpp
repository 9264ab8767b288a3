// Loads a large PE module and saves it again, printing wall time and peak memory beside the time that
// wrestool takes to extract every resource of the same file.
// Usage: ModuleFilesFigures [FILE]   (default: a large DLL of the wine64 package, else a generated module)
#include "model/koResourceModulePE.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "platform/PublishedProperties.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {
long PeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A module with thousands of resources, made with the mingw tools.
QString GenerateModule(const QTemporaryDir& dir, int count)
{
    QFile rc(dir.filePath("many.rc"));
    if (!rc.open(QIODevice::WriteOnly)) return {};
    for (int i = 1; i <= count; ++i)
        rc.write(QStringLiteral("%1 RCDATA { \"resource number %1 with some text to carry\" }\n").arg(i).toLatin1());
    rc.close();
    QFile c(dir.filePath("main.c"));
    if (!c.open(QIODevice::WriteOnly)) return {};
    c.write("int main(void){return 0;}\n");
    c.close();
    if (QProcess::execute("x86_64-w64-mingw32-windres", {dir.filePath("many.rc"), "-O", "coff", "-o", dir.filePath("many.o")}) != 0)
        return {};
    if (QProcess::execute("x86_64-w64-mingw32-gcc", {dir.filePath("main.c"), dir.filePath("many.o"), "-o", dir.filePath("many.exe")}) != 0)
        return {};
    return dir.filePath("many.exe");
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    PublishedProperties_Initialize();
    koResourcesKinds_Initialize();
    koResourceModuleRes_Initialize();
    koResourceModulePE_Initialize();

    QTemporaryDir dir;
    QString file = argc > 1 ? QString::fromLocal8Bit(argv[1])
                            : QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll");
    if (!QFileInfo::exists(file)) file = GenerateModule(dir, 5000);
    if (file.isEmpty()) {
        std::fprintf(stderr, "no module to measure\n");
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    auto module = TCustomResourceModule::LoadFromFile(file);
    const qint64 loadMs = timer.elapsed();
    if (!module) {
        std::fprintf(stderr, "not a module: %s\n", qPrintable(file));
        return 1;
    }
    const QString target = dir.filePath(QStringLiteral("copy.") + QFileInfo(file).suffix());
    timer.restart();
    module->SaveToFile(target);
    const qint64 saveMs = timer.elapsed();

    qint64 wrestoolMs = -1;
    if (!QStandardPaths::findExecutable("wrestool").isEmpty()) {
        QDir().mkpath(dir.filePath("extracted"));
        timer.restart();
        QProcess wrestool;
        wrestool.setStandardOutputFile(QProcess::nullDevice());
        wrestool.setStandardErrorFile(QProcess::nullDevice());
        // --raw: every resource as its bytes, as this program reads them.
        wrestool.start("wrestool", {"-x", "--raw", "-o", dir.filePath("extracted"), file});
        wrestool.waitForFinished(-1);
        wrestoolMs = timer.elapsed();
    }
    std::printf("file            %s (%lld bytes)\n", qPrintable(file), static_cast<long long>(QFileInfo(file).size()));
    std::printf("resources       %d\n", module->Items()->Count());
    std::printf("load            %lld ms\n", static_cast<long long>(loadMs));
    std::printf("save            %lld ms\n", static_cast<long long>(saveMs));
    std::printf("peak memory     %ld KiB\n", PeakKiB());
    std::printf("wrestool -x --raw %lld ms\n", static_cast<long long>(wrestoolMs));
    return 0;
}
