// The resource compiler on any script: the bytes are the script, compiled from a scratch folder that
// also holds a small icon and data file for the statements that read files. Errors are fine; a crash,
// a hang or an exception escaping the compiler is a finding.
#include "FuzzCommon.h"

#include "rccompiler/RcCompiler.h"

#include <QFile>

namespace {

class TQuietHost : public rc::ICompilerHost {
public:
    void Line(const QString&, bool) override {}
    void Progress(int) override {}
};

void WriteBytes(const QString& Path, const QByteArray& Bytes)
{
    QFile file(Path);
    if (file.open(QIODevice::WriteOnly)) file.write(Bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeModel();
    const QString folder = FuzzScratchFolder();
    FuzzWriteFile(folder + QStringLiteral("/script.rc"), data, size);
    // A one-image icon (a PNG stand-in) and a data file.
    WriteBytes(folder + QStringLiteral("/a.ico"),
               QByteArray("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\4\0\0\0\x16\0\0\0PNG!", 26));
    WriteBytes(folder + QStringLiteral("/d.bin"), QByteArray("data"));
    FuzzRun([&] {
        TQuietHost host;
        // Symbol mode too, chosen by a bit of the input.
        QStringList args{QStringLiteral("fuzz"), QStringLiteral("/l409")};
        if (size & 1) args << QStringLiteral("/s");
        args << QStringLiteral("/fo") << folder + QStringLiteral("/out.res") << folder + QStringLiteral("/script.rc");
        rc::RCW(host, args);
    });
    return 0;
}
