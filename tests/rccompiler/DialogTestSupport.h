// Compiling a script with our compiler (preprocessor included) or with a peer, for the tests of dialogs,
// menus, version information and design information.
#pragma once

#include "CompilerSupport.h"
#include "platform/PeerTools.h"

#include <QTemporaryDir>

#include <vector>

struct TCompiled {
    bool Ok = false;
    QStringList Messages;
    std::vector<TResRecord> Records;
};

// Our compiler, or the peer Tool when given, on Script in a folder of its own; Options (ours only) go
// before the script's name.
inline TCompiled CompileScript(const QByteArray& Script, const QStringList& Options = {},
                               const QString& Tool = {}, TResourceCompiler Compiler = TResourceCompiler::Windres)
{
    TCompiled result;
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("test.rc"));
    const QString res = dir.filePath(QStringLiteral("test.res"));
    if (!WriteAll(script, Script)) return result;
    if (Tool.isEmpty()) {
        TTestCompilerHost host;
        result.Ok = CompileWithOurs(host, script, res, Options) == 0;
        result.Messages = host.Lines;
    } else {
        const TPeerToolResult run = RunPeerTool(Tool, ResourceCompilerArguments(Compiler, script, res), 30000, dir.path());
        result.Ok = run.Ok();
        result.Messages << run.Describe();
    }
    if (result.Ok) result.Records = ReadResRecords(ReadAll(res));
    return result;
}

inline std::string Hex(const QByteArray& Bytes) { return Bytes.toHex(' ').toStdString(); }
