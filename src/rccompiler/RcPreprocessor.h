#pragma once

#include "RcDiagnostics.h"
#include "RcToken.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

namespace rc {

struct TPreprocessorOptions {
    QStringList IncludeFolders;                    // /i, in order
    bool NoDefaultIncludes = false;                // /x: the built-in headers are not searched
    bool SymbolMode = false;                       // /s: APSTUDIO_INVOKED and the symbol records
    std::vector<std::pair<QString, QString>> Defines; // /d NAME[=VALUE], in order
    QStringList Undefines;                          // /u
    int CodePage = 0;                               // /c; 0: the shared ANSI code page setting
};

// One file the compile read. File-table index = position in TPreprocessor::Files().
struct TSourceFile {
    QString Path;        // where it was found on disk; ":/..." style for a built-in header
    QString Written;     // the name as the #include wrote it (the script: as given)
    int Level = 0;       // include depth: 0 for the script
    bool ReadOnly = false;
    int Parent = -1;     // includer's index, -1 for the script
};

// The C preprocessor of the resource compiler: reads the script and everything it includes and gives
// the tokens the statements are parsed from. Errors go to the diagnostics; a fatal one throws
// ECompileAbort (a missing include, includes nested too deeply, a runaway macro expansion).
//
// Tokens of an object-like macro written in the text carry its name in TToken::Macro (the outermost
// one, also for what its expansion expands further) and one Expansion number per use; tokens of a
// function-like macro carry nothing of their own (an object-like macro written in its arguments still
// names its tokens). Expanded tokens take the File and Line of the macro's use. Included files with the
// extension .h or .c give their directives only, as resource compilers read C headers.
class TPreprocessor {
public:
    TPreprocessor(const TPreprocessorOptions& Options, TDiagnostics& Diagnostics);
    ~TPreprocessor();

    TTokens Run(const QString& ScriptPath);

    const std::vector<TSourceFile>& Files() const;
    // The symbol definitions (HWB 200 data) of the last run, complete with its end record; empty
    // outside symbol mode.
    QByteArray SymbolDefinitions() const;
    // A file named by a resource statement (ICON, BITMAP, RCDATA ...): searched like a quoted include
    // from the file of the statement. Empty when not found.
    QString FindFile(const QString& Name, int FromFile) const;
    // Whether a macro is defined as the compile ended.
    bool IsDefined(const QString& Name) const;

    // The headers the compiler carries (searched after the /i folders unless NoDefaultIncludes; a
    // file of theirs has a Path starting with ":").
    static QStringList BuiltinHeaderNames();

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace rc
