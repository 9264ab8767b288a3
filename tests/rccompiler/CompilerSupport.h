// Compiling scripts in tests and reading the RES files back.
#pragma once

#include "platform/BinaryReader.h"
#include "rccompiler/RcCompiler.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <vector>

// Collects what the compiler reports.
class TTestCompilerHost : public rc::ICompilerHost {
public:
    QStringList Errors;
    QStringList Lines;
    int ProgressCalls = 0;
    void Line(const QString& Text, bool IsError) override
    {
        Lines << Text;
        if (IsError) Errors << Text;
    }
    void Progress(int) override { ++ProgressCalls; }
};

// One record of a RES file, type and name as text ("#5" for ordinals).
struct TResRecord {
    QString Type;
    QString Name;
    uint16_t Language = 0;
    uint16_t MemoryFlags = 0;
    uint32_t Version = 0;
    uint32_t Characteristics = 0;
    QByteArray Data = {};

    QString Key() const { return QStringLiteral("%1/%2/%3").arg(Type, Name).arg(Language, 4, 16, QLatin1Char('0')); }
};

inline QString ReadResIdent(TBinaryReader& Reader)
{
    const uint16_t first = Reader.ReadU16("ident");
    if (first == 0xFFFF) return QStringLiteral("#%1").arg(Reader.ReadU16("ident"));
    QString text;
    for (uint16_t c = first; c != 0; c = Reader.ReadU16("ident")) text.append(QChar(c));
    return text;
}

// Every record after the empty first one; raises on damaged data.
inline std::vector<TResRecord> ReadResRecords(const QByteArray& Bytes)
{
    std::vector<TResRecord> records;
    TBinaryReader reader(Bytes);
    bool first = true;
    while (reader.Remaining() >= 8) {
        const int64_t start = reader.Offset();
        const uint32_t dataSize = reader.ReadU32();
        const uint32_t headerSize = reader.ReadU32();
        TResRecord r;
        r.Type = ReadResIdent(reader);
        r.Name = ReadResIdent(reader);
        reader.Seek(start + headerSize - 16);
        reader.ReadU32(); // data version
        r.MemoryFlags = reader.ReadU16();
        r.Language = reader.ReadU16();
        r.Version = reader.ReadU32();
        r.Characteristics = reader.ReadU32();
        r.Data = reader.ReadBytes(dataSize);
        reader.Align(4);
        if (!first) records.push_back(r);
        first = false;
    }
    return records;
}

inline QByteArray ReadAll(const QString& Path)
{
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteAll(const QString& Path, const QByteArray& Bytes)
{
    QFile file(Path);
    return file.open(QIODevice::WriteOnly) && file.write(Bytes) == Bytes.size();
}

// Compiles Script with our compiler into Res; the extra options come before the script.
inline int CompileWithOurs(TTestCompilerHost& Host, const QString& Script, const QString& Res,
                           const QStringList& Options = {})
{
    QStringList args{QStringLiteral("test")};
    args << Options << QStringLiteral("/fo") << Res << Script;
    return rc::RCW(Host, args);
}

#include "rccompiler/RcLexer.h"
#include "rccompiler/RcParser.h"
#include "rccompiler/RcResWriter.h"
#include "rccompiler/RcSymbolData.h"

// Parses a script that needs no preprocessing straight from its tokens (resource files are looked up
// in Folder); the RES bytes, or empty with the errors in Host.
inline QByteArray CompileTokens(TTestCompilerHost& Host, const QString& Text, const QString& Folder,
                                uint16_t Language = 0x0409, rc::TCompileResult* Result = nullptr,
                                const rc::TTokens* Tokens = nullptr)
{
    rc::TDiagnostics diagnostics(Host);
    diagnostics.SetFileName(0, QStringLiteral("test.rc"));
    const rc::TTokens tokens = Tokens ? *Tokens : rc::Tokenize(Text, 0);
    rc::TParserOptions options;
    options.Language = Language;
    options.FindFile = [Folder](const QString& Name, int) {
        const QString path = QDir(Folder).filePath(QString(Name).replace(QLatin1Char('\\'), QLatin1Char('/')));
        return QFile::exists(path) ? path : QString();
    };
    rc::TParser parser(tokens, diagnostics, options);
    try {
        parser.ParseScript();
    } catch (const rc::ECompileAbort&) {
        return QByteArray();
    }
    if (Result) *Result = parser.Result();
    return rc::ResFileData(parser.Result().Resources);
}
