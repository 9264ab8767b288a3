#pragma once

#include "RcCompiler.h"

#include <QString>

#include <exception>
#include <vector>

namespace rc {

// A fatal error of the compile: the message is already formatted and reported when this is thrown
// through TDiagnostics::Fatal.
class ECompileAbort : public std::exception {
public:
    const char* what() const noexcept override { return "resource compile aborted"; }
};

// Formats and counts the compiler's messages: "file(line) : error RCnnnn : text".
class TDiagnostics {
public:
    explicit TDiagnostics(ICompilerHost& Host) : FHost(Host) {}

    void SetVerbose(bool Verbose) { FVerbose = Verbose; }
    // File names by file-table index, as messages show them.
    void SetFileName(int File, const QString& Name)
    {
        if (File < 0) return;
        if (static_cast<size_t>(File) >= FFileNames.size()) FFileNames.resize(File + 1);
        FFileNames[File] = Name;
    }
    QString FileName(int File) const
    {
        return File >= 0 && static_cast<size_t>(File) < FFileNames.size() ? FFileNames[File] : QString();
    }

    void Error(int File, int Line, int Code, const QString& Text)
    {
        ++FErrors;
        FHost.Line(Located(File, Line) + QStringLiteral("error RC%1 : %2").arg(Code, 4, 10, QLatin1Char('0')).arg(Text),
                   true);
    }
    void Warning(int File, int Line, int Code, const QString& Text)
    {
        FHost.Line(Located(File, Line) + QStringLiteral("warning RC%1 : %2").arg(Code, 4, 10, QLatin1Char('0')).arg(Text),
                   false);
    }
    // Reported, then the compile stops.
    [[noreturn]] void Fatal(int File, int Line, int Code, const QString& Text)
    {
        Error(File, Line, Code, Text);
        throw ECompileAbort();
    }
    void Info(const QString& Text)
    {
        if (FVerbose) FHost.Line(Text, false);
    }
    void Progress(int Percent) { FHost.Progress(Percent); }
    int ErrorCount() const { return FErrors; }

private:
    QString Located(int File, int Line) const
    {
        const QString name = FileName(File);
        if (name.isEmpty()) return QStringLiteral("RC : ");
        return QStringLiteral("%1(%2) : ").arg(name).arg(Line);
    }

    ICompilerHost& FHost;
    std::vector<QString> FFileNames;
    bool FVerbose = false;
    int FErrors = 0;
};

} // namespace rc
