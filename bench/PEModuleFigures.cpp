// Opens and saves large PE modules and prints, side by side, our CPU time and peak memory and those of
// `wrestool -x --raw` (which reads and writes every resource of the same file). Each figure comes from a
// process of its own, so that one measurement's peak memory does not hide in another's.
// Usage: PEModuleFigures [FILE...]   (default: shell32.dll and wined3d.dll of the wine64 package)
//        PEModuleFigures --measure FILE TARGET   (one measurement; prints its figures on one line)
#include "model/koResourceModulePE.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "platform/PublishedProperties.h"
#include "platform/Streams.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

constexpr int Runs = 5;

double CpuSeconds(const rusage& usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double SelfCpu()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return CpuSeconds(usage);
}

long SelfPeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct TChild {
    bool Ok = false;
    double Cpu = 0;
    long PeakKiB = 0;
    QByteArray Out;
};

// Runs a program, its standard output into a file, and returns its own resource usage.
TChild Run(const QStringList& arguments, const QString& outFile)
{
    std::vector<QByteArray> storage;
    for (const QString& a : arguments) storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : storage) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = outFile.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    TChild child;
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return child;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return child;
    child.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    child.Cpu = CpuSeconds(usage);
    child.PeakKiB = usage.ru_maxrss;
    QFile file(outFile);
    if (file.open(QIODevice::ReadOnly)) child.Out = file.readAll().trimmed();
    return child;
}

// The child's side: open, change one byte of one resource (adding it), save; figures on one line.
int Measure(const QString& file, const QString& target)
{
    PublishedProperties_Initialize();
    koResourcesKinds_Initialize();
    koResourceModuleRes_Initialize();
    koResourceModulePE_Initialize();
    const long baseKiB = SelfPeakKiB();
    const double start = SelfCpu();
    auto module = TCustomResourceModule::LoadFromFile(file);
    const double opened = SelfCpu();
    if (!module) return 1;
    for (TCustomResourceItem* item : *module->Items())
        if (auto* generic = qobject_cast<TResourceItemGeneric*>(item)) {
            TMemoryStream data;
            generic->SaveToStream(data);
            QByteArray bytes = data.ToByteArray() + '!';
            TBytesStream changed(bytes);
            generic->LoadFromStream(changed, changed.Size());
            break;
        }
    const double touched = SelfCpu();
    module->SaveToFile(target);
    const double saved = SelfCpu();
    std::printf("%d %.3f %.3f %ld %lld\n", module->Items()->Count(), opened - start, saved - touched, baseKiB,
                static_cast<long long>(QFileInfo(target).size()));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--measure") == 0)
        return Measure(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

    QStringList files;
    for (int i = 1; i < argc; ++i) files.append(QString::fromLocal8Bit(argv[i]));
    if (files.isEmpty()) {
        const QString wine = QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/");
        files = {wine + "shell32.dll", wine + "wined3d.dll"};
    }
    const QString wrestool = QStandardPaths::findExecutable(QStringLiteral("wrestool"));
    if (wrestool.isEmpty()) std::printf("wrestool is not installed: its column stays empty\n");
    QTemporaryDir dir;
    const QString self = QCoreApplication::applicationFilePath();

    std::printf("%-12s %10s %9s | %9s %9s %9s %9s %9s | %9s %9s | %s\n", "file", "size", "resources", "open s",
                "save s", "total s", "peak MiB", "base MiB", "wrestool", "peak MiB", "saved size");
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (!info.isFile()) {
            std::printf("%-12s skipped: %s does not exist\n", qPrintable(info.fileName()), qPrintable(file));
            continue;
        }
        const QString target = dir.filePath(QStringLiteral("saved-") + info.fileName());
        // The machine may be shared: each side's best of a few runs.
        TChild ours, theirs;
        for (int run = 0; run < Runs; ++run) {
            const TChild one = Run({self, QStringLiteral("--measure"), file, target}, dir.filePath("ours.txt"));
            if (one.Ok && (!ours.Ok || one.Cpu < ours.Cpu)) ours = one;
            if (wrestool.isEmpty()) continue;
            const QString out = dir.filePath(QStringLiteral("extracted-") + info.fileName());
            QDir().mkpath(out);
            const TChild other =
                Run({wrestool, QStringLiteral("-x"), QStringLiteral("--raw"), QStringLiteral("-o"), out, file},
                    dir.filePath("wrestool.txt"));
            QDir(out).removeRecursively();
            if (!theirs.Ok || other.Cpu < theirs.Cpu) theirs = other;
        }
        if (!ours.Ok) {
            std::printf("%-12s failed to open or save\n", qPrintable(info.fileName()));
            continue;
        }
        const QList<QByteArray> fields = ours.Out.split(' ');
        const long long savedSize = fields.value(4).toLongLong();
        std::printf("%-12s %10lld %9s | %9s %9s %9.3f %9.1f %9.1f | %9.3f %9.1f | %lld (%+.1f%%)\n",
                    qPrintable(info.fileName()), static_cast<long long>(info.size()), fields.value(0).constData(),
                    fields.value(1).constData(), fields.value(2).constData(), ours.Cpu, ours.PeakKiB / 1024.0,
                    fields.value(3).toLong() / 1024.0, theirs.Cpu, theirs.PeakKiB / 1024.0, savedSize,
                    100.0 * double(savedSize - info.size()) / double(info.size()));
        QFile::remove(target);
    }
    std::printf("Best of %d runs each. open s and save s: CPU inside the process; total s and peak: the whole process (start-up included);\n"
                "base: peak memory before opening; saved size: after adding one byte to one resource.\n", Runs);
    return 0;
}
