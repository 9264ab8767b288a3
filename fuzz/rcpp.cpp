// The resource compiler's preprocessor over a script: the input is the script and, split at its first
// NUL byte, also a header the script may include as "inc.h" (so includes, guards and #pragma once get
// reached). Symbol mode, so the symbol records are built too; they must end with the end record.
#include "FuzzCommon.h"

#include "rccompiler/RcPreprocessor.h"

namespace {
class TNullHost : public rc::ICompilerHost {
public:
    void Line(const QString&, bool) override {}
    void Progress(int) override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = FuzzScratchFolder();
    const QByteArray bytes = FuzzBytes(data, size);
    const qsizetype split = bytes.indexOf('\0');
    FuzzWriteFile(folder + QStringLiteral("/main.rc"), data, size);
    if (split >= 0)
        FuzzWriteFile(folder + QStringLiteral("/inc.h"), data + split + 1, size - size_t(split) - 1);
    FuzzRun([&] {
        TNullHost host;
        rc::TDiagnostics diagnostics(host);
        rc::TPreprocessorOptions options;
        options.SymbolMode = true;
        options.CodePage = 1252;
        rc::TPreprocessor pp(options, diagnostics);
        try {
            pp.Run(folder + QStringLiteral("/main.rc"));
        } catch (const rc::ECompileAbort&) {
            return;
        }
        if (!pp.SymbolDefinitions().endsWith(QByteArray("!\0\0\xE3\xFF\0", 6)))
            FuzzFinding(QStringLiteral("the symbol records do not end with the end record"));
        for (const rc::TSourceFile& file : pp.Files())
            if (file.Parent >= int(pp.Files().size())) FuzzFinding(QStringLiteral("a file's parent is outside the table"));
    });
    return 0;
}
