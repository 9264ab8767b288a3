#include "RcSymbolData.h"

#include "../model/koResourceModuleRC.h"
#include "../platform/CodePages.h"

namespace rc {

namespace {

void AnsiZ(TDataBuilder& Out, const QString& Text)
{
    QByteArray bytes = UnicodeToCodePage(Text, RCAnsiCodePage());
    // An ANSI string ends at its first zero.
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0) bytes.truncate(zero);
    Out.Bytes(bytes);
    Out.Byte(0);
}

const uint16_t EndId = 0xFFFF;

} // namespace

QByteArray FileMapData(const std::vector<TFileRecord>& Files)
{
    TDataBuilder out;
    for (const TFileRecord& f : Files) {
        if (f.Name.Is(0xFFFF)) continue;
        out.NameOrOrdinal(f.Type);
        out.NameOrOrdinal(f.Name);
        out.Word(f.Language);
        QString name = f.FileName;
        const qsizetype zero = name.indexOf(QChar(0));
        if (zero >= 0) name.truncate(zero);
        out.String16(name);
    }
    return out.Data();
}

QByteArray SymbolMapData(const std::vector<TSymbolRecord>& Symbols)
{
    TDataBuilder out;
    for (const TSymbolRecord& s : Symbols) {
        AnsiZ(out, s.ResType);
        AnsiZ(out, s.ResId);
        AnsiZ(out, s.Symbol);
        AnsiZ(out, s.FileName);
        out.Word(s.Line);
        for (const TSymbolChild& c : s.Children) {
            AnsiZ(out, c.Symbol);
            out.Word(c.Id);
        }
        AnsiZ(out, QStringLiteral("$"));
        out.Word(EndId);
    }
    AnsiZ(out, QStringLiteral("$"));
    out.Word(EndId);
    return out.Data();
}

void AddSymbolResources(std::vector<TResource>& Resources, const QByteArray& Definitions,
                        const std::vector<TFileRecord>& Files, const std::vector<TSymbolRecord>& Symbols)
{
    auto add = [&](uint16_t Name, const QByteArray& Data) {
        TResource r;
        r.Type = TNameOrdinal::FromName(QStringLiteral("HWB"));
        r.Name = TNameOrdinal::FromOrdinal(Name);
        r.Language = 0;
        r.MemoryFlags = rcMoveable | rcPure;
        r.Data = Data;
        Resources.push_back(std::move(r));
    };
    if (!Definitions.isEmpty()) add(200, Definitions);
    const QByteArray files = FileMapData(Files);
    if (!files.isEmpty()) add(201, files);
    add(202, SymbolMapData(Symbols));
}

} // namespace rc
