// Compiles a large generated script with our resource compiler, windres and llvm-rc and prints the
// times side by side (the peers' times include starting their processes).
// Usage: RcCompileFigures [SCALE]   (default 1: about 10000 #defines and 7000 resources)
#include "../tests/platform/PeerTools.h"
#include "rccompiler/RcCompiler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

class THost : public rc::ICompilerHost {
public:
    QStringList Errors;
    int ProgressCalls = 0;
    void Line(const QString& Text, bool IsError) override
    {
        if (IsError) Errors << Text;
    }
    void Progress(int) override { ++ProgressCalls; }
};

long PeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool Write(const QString& Path, const QByteArray& Bytes)
{
    QFile file(Path);
    return file.open(QIODevice::WriteOnly) && file.write(Bytes) == Bytes.size();
}

QByteArray IconFile()
{
    QByteArray f("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14);
    QByteArray image(40 + 16 * 16 * 4 + 64, '\0');
    image[0] = 40;
    image[4] = 16;
    image[8] = 32;
    image[12] = 1;
    image[14] = 32;
    for (int v : {int(image.size()), 22})
        for (int i = 0; i < 4; ++i) f.append(char((v >> (8 * i)) & 0xFF));
    return f + image;
}

// Our compiler on a one-statement script: whether dialogs compile yet.
bool CompilesDialogs(const QTemporaryDir& Dir)
{
    const QString script = Dir.filePath("probe.rc");
    Write(script, "1 DIALOG 0, 0, 100, 50\nBEGIN\n  PUSHBUTTON \"OK\", 1, 5, 5, 40, 14\nEND\n");
    THost host;
    return rc::RCW(host, {"bench", "/fo", Dir.filePath("probe.res"), script}) == 0;
}

QString Generate(const QTemporaryDir& Dir, int Scale, bool Dialogs, int& Resources)
{
    const int headers = 50 * Scale, definesPerHeader = 200;
    QByteArray script;
    int symbol = 1;
    for (int h = 0; h < headers; ++h) {
        QByteArray header = QStringLiteral("#ifndef HEADER_%1\n#define HEADER_%1\n").arg(h).toLatin1();
        for (int d = 0; d < definesPerHeader; ++d, ++symbol)
            header += QStringLiteral("#define IDS_S%1 %1\n").arg(symbol).toLatin1();
        header += "#endif\n";
        const QString name = QStringLiteral("h%1.h").arg(h);
        Write(Dir.filePath(name), header);
        script += "#include \"" + name.toLatin1() + "\"\n";
    }
    Write(Dir.filePath("app.ico"), IconFile());
    Resources = 0;
    // String tables: one statement per 100 strings, IDs by macro.
    const int strings = 3000 * Scale;
    for (int s = 1; s <= strings; ++s) {
        if (s % 100 == 1) script += "STRINGTABLE\nBEGIN\n";
        script += QStringLiteral("  IDS_S%1 \"String number %1 with some text\"\n").arg(s).toLatin1();
        if (s % 100 == 0 || s == strings) script += "END\n";
    }
    Resources += (strings + 15) / 16;
    for (int i = 1; i <= 3000 * Scale; ++i, ++Resources)
        script += QStringLiteral("%1 RCDATA\nBEGIN\n  1, 2, 3L, \"data of resource %1\", L\"wide\"\nEND\n").arg(i).toLatin1();
    for (int i = 1; i <= 500 * Scale; ++i, ++Resources)
        script += QStringLiteral("%1 ICON \"app.ico\"\n").arg(i).toLatin1();
    if (Dialogs) {
        for (int i = 1; i <= 500 * Scale; ++i, ++Resources) {
            script += QStringLiteral("%1 DIALOG 0, 0, 200, 100\nCAPTION \"Dialog %1\"\nBEGIN\n").arg(i).toLatin1();
            for (int c = 0; c < 8; ++c)
                script += QStringLiteral("  PUSHBUTTON \"Button %1\", IDS_S%2, 5, %3, 60, 14\n").arg(c).arg(c + 1).arg(5 + c * 16).toLatin1();
            script += "END\n";
        }
    }
    const QString path = Dir.filePath("big.rc");
    Write(path, script);
    return path;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int scale = argc > 1 ? qMax(1, atoi(argv[1])) : 1;
    QTemporaryDir dir;
    const bool dialogs = CompilesDialogs(dir);
    int resources = 0;
    const QString script = Generate(dir, scale, dialogs, resources);
    printf("Script: %lld bytes, %d headers of #defines, about %d resources%s\n",
           static_cast<long long>(QFileInfo(script).size()), 50 * scale, resources,
           dialogs ? "" : " (no dialogs: the compiler has none yet)");

    QElapsedTimer timer;
    timer.start();
    THost host;
    const int result = rc::RCW(host, {"bench", "/s", "/fo", dir.filePath("ours.res"), script});
    const qint64 ours = timer.elapsed();
    printf("%-28s %8lld ms  %s, peak %ld KiB, %d progress calls\n", "ours (symbol mode)", ours,
           result == 0 ? "ok" : qPrintable(host.Errors.value(0)), PeakKiB(), host.ProgressCalls);

    for (const TResourceCompiler compiler : ResourceCompilers) {
        const QString name = QString::fromLatin1(ResourceCompilerName(compiler));
        const QString tool = FindPeerTool(name);
        if (tool.isEmpty()) {
            printf("%-28s not installed\n", qPrintable(name));
            continue;
        }
        timer.restart();
        const TPeerToolResult run =
            RunPeerTool(tool, ResourceCompilerArguments(compiler, script, dir.filePath(name + ".res")), 600000, dir.path());
        printf("%-28s %8lld ms  %s\n", qPrintable(name), timer.elapsed(), run.Ok() ? "ok" : run.Err.left(200).constData());
    }
    return result;
}
