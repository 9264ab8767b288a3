// Running peer tools (compilers, dumpers, wine) from tests: find them, run them with a timeout, skip the
// test when one is not installed.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

struct TPeerToolResult {
    bool Finished = false; // started and ended within the timeout
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;

    bool Ok() const { return Finished && ExitCode == 0; }
    QString Describe() const
    {
        return QStringLiteral("finished=%1 exit=%2\nstdout: %3\nstderr: %4")
            .arg(Finished)
            .arg(ExitCode)
            .arg(QString::fromLocal8Bit(Out.left(4000)), QString::fromLocal8Bit(Err.left(4000)));
    }
};

// The full path of a program on PATH (or in one of extraDirs); empty when absent.
inline QString FindPeerTool(const QString& name, const QStringList& extraDirs = {})
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty() && !extraDirs.isEmpty()) path = QStandardPaths::findExecutable(name, extraDirs);
    return path;
}

inline TPeerToolResult RunPeerTool(const QString& program, const QStringList& arguments, int timeoutMs = 30000,
                                   const QString& workingDirectory = {},
                                   const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    TPeerToolResult result;
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty()) process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs)) {
        result.Err = process.errorString().toLocal8Bit();
        return result;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        result.Out = process.readAllStandardOutput();
        result.Err = "timed out; " + process.readAllStandardError();
        return result;
    }
    result.Finished = process.exitStatus() == QProcess::NormalExit;
    result.ExitCode = process.exitCode();
    result.Out = process.readAllStandardOutput();
    result.Err = process.readAllStandardError();
    return result;
}

// Declares `var` as the path of the tool, or skips the current test when it is not installed.
#define REQUIRE_PEER_TOOL(var, name)                                                                           \
    const QString var = FindPeerTool(QStringLiteral(name));                                                    \
    if (var.isEmpty()) GTEST_SKIP() << (name) << " is not installed"

// The resource compilers that scripts written here are compiled with.
inline const char* const MingwIncludeDir = "/usr/share/mingw-w64/include";
enum class TResourceCompiler { Windres, LlvmRc };
inline const TResourceCompiler ResourceCompilers[] = {TResourceCompiler::Windres, TResourceCompiler::LlvmRc};

inline const char* ResourceCompilerName(TResourceCompiler Compiler)
{
    return Compiler == TResourceCompiler::Windres ? "x86_64-w64-mingw32-windres" : "llvm-rc";
}

// The command line that compiles Script into the RES file Res. Without Preprocess llvm-rc reads the
// script as it stands; windres always preprocesses. Both read in code page 1252.
inline QStringList ResourceCompilerArguments(TResourceCompiler Compiler, const QString& Script, const QString& Res,
                                             bool Preprocess = true)
{
    const QString include = QString::fromLatin1(MingwIncludeDir);
    if (Compiler == TResourceCompiler::Windres)
        return {QStringLiteral("--include-dir=") + include, QStringLiteral("-J"), QStringLiteral("rc"), QStringLiteral("-O"),
                QStringLiteral("res"), QStringLiteral("-i"), Script, QStringLiteral("-o"), Res};
    QStringList arguments = Preprocess ? QStringList{QStringLiteral("-I"), include} : QStringList{QStringLiteral("/no-preprocess")};
    arguments << QStringLiteral("/C") << QStringLiteral("1252") << QStringLiteral("/FO") << Res << Script;
    return arguments;
}
