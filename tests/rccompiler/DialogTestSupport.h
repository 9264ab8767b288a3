// Compiling small scripts with our resource compiler and with the peers, and reading the RES files they
// write, for the tests of dialogs, menus, version information and design information.
#pragma once

#include "platform/BinaryReader.h"
#include "platform/PeerTools.h"
#include "rccompiler/RcCompiler.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

struct TResRecord {
    QString Type; // "#5" for an ordinal, else the name
    QString Name;
    uint16_t Language = 0;
    uint16_t MemoryFlags = 0;
    QByteArray Data;
};

inline QString ResIdText(TBinaryReader& Reader)
{
    const uint16_t first = Reader.ReadU16();
    if (first == 0xFFFF) return QStringLiteral("#%1").arg(Reader.ReadU16());
    QString text;
    for (uint16_t c = first; c != 0; c = Reader.ReadU16()) text += QChar(c);
    return text;
}

// The records of a RES file, without the empty first one.
inline QList<TResRecord> ReadResRecords(const QByteArray& Bytes)
{
    QList<TResRecord> records;
    TBinaryReader reader(Bytes);
    while (reader.Remaining() >= 8) {
        const int64_t start = reader.Offset();
        const uint32_t dataSize = reader.ReadU32();
        const uint32_t headerSize = reader.ReadU32();
        TResRecord record;
        record.Type = ResIdText(reader);
        record.Name = ResIdText(reader);
        reader.Align(4);
        reader.Skip(4); // data version
        record.MemoryFlags = reader.ReadU16();
        record.Language = reader.ReadU16();
        reader.Seek(start + headerSize);
        record.Data = reader.ReadBytes(dataSize);
        reader.Align(4);
        if (record.Type != QLatin1String("#0") || dataSize != 0) records.append(record);
    }
    return records;
}

inline QList<TResRecord> ReadResFile(const QString& Path)
{
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return ReadResRecords(file.readAll());
}

class TCollectingHost : public rc::ICompilerHost {
public:
    void Line(const QString& Text, bool IsError) override
    {
        Lines << Text;
        if (IsError) Errors << Text;
    }
    void Progress(int) override {}
    QStringList Lines;
    QStringList Errors;
};

struct TCompiled {
    bool Ok = false;
    QStringList Messages;
    QList<TResRecord> Records;
};

inline void WriteTextFile(const QString& Path, const QByteArray& Text)
{
    QFile file(Path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(Text);
}

// Our compiler on Script (in a folder of its own); Options go before the script's name.
inline TCompiled CompileWithOurs(const QByteArray& Script, const QStringList& Options = {})
{
    TCompiled result;
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("test.rc"));
    const QString res = dir.filePath(QStringLiteral("test.res"));
    WriteTextFile(script, Script);
    TCollectingHost host;
    QStringList args{QStringLiteral("test")};
    args << Options << (QStringLiteral("/fo") + res) << script;
    result.Ok = rc::RCW(host, args) == 0;
    result.Messages = host.Lines;
    if (result.Ok) result.Records = ReadResFile(res);
    return result;
}

// A peer compiler on Script; Ok is false when it refused the script.
inline TCompiled CompileWithPeer(TResourceCompiler Compiler, const QString& Tool, const QByteArray& Script)
{
    TCompiled result;
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("test.rc"));
    const QString res = dir.filePath(QStringLiteral("test.res"));
    WriteTextFile(script, Script);
    const TPeerToolResult run = RunPeerTool(Tool, ResourceCompilerArguments(Compiler, script, res));
    result.Ok = run.Ok();
    result.Messages << QString::fromLocal8Bit(run.Out + run.Err);
    if (result.Ok) result.Records = ReadResFile(res);
    return result;
}

inline std::string Hex(const QByteArray& Bytes) { return Bytes.toHex(' ').toStdString(); }
