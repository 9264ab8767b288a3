#pragma once

#include <QString>
#include <QStringList>

namespace rc {

// Where the compiler's text lines and progress go while it runs.
class ICompilerHost {
public:
    virtual ~ICompilerHost() = default;
    // One message: "file(line) : error RCnnnn : text", "file(line) : warning RCnnnn : text" or an
    // informational line (with /v). IsError is true for errors.
    virtual void Line(const QString& Text, bool IsError) = 0;
    // Percent done, 0..100, a few times per second at most.
    virtual void Progress(int Percent) = 0;
};

// Compiles one resource script. Args[0] is the caller's name; then options and the script's file name:
//   /v            informational lines
//   /s            symbol mode: APSTUDIO_INVOKED is defined and the HWB symbol data is written
//   /r            compile only (accepted; the RES file is the only output)
//   /dNAME[=VAL]  define a macro        /uNAME   undefine a predefined macro
//   /l<hex>       default language (0x0409 or 409)
//   /i<folder>    include folder, repeatable
//   /c<codepage>  code page of scripts without a byte-order mark
//   /x            no default include folders
//   /fo<file>     the RES file to write (default: the script's name with .res)
// An option's value may also follow as the next argument. Returns 0 on success, non-zero on any
// error; the RES file is written (atomically) only on success.
int RCW(ICompilerHost& Host, const QStringList& Args);

} // namespace rc
