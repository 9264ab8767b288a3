#include "ShellLink.h"

#include "CodePages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {
constexpr uint32_t HeaderSize = 0x4C;
constexpr char LinkCLSID[16] = {'\x01', '\x14', '\x02', '\x00', '\x00', '\x00', '\x00', '\x00',
                                '\xC0', '\x00', '\x00', '\x00', '\x00', '\x00', '\x00', '\x46'};
// A link is a few kilobytes; its structures never lie this far in.
constexpr qint64 MaxLinkSize = 1024 * 1024;

enum : uint32_t {
    HasLinkTargetIDList = 0x1,
    HasLinkInfo = 0x2,
    HasName = 0x4,
    HasRelativePath = 0x8,
    HasWorkingDir = 0x10,
    HasArguments = 0x20,
    HasIconLocation = 0x40,
    IsUnicode = 0x80,
    ForceNoLinkInfo = 0x100,
};
enum : uint32_t { VolumeIDAndLocalBasePath = 0x1, CommonNetworkRelativeLinkAndPathSuffix = 0x2 };

// The code page ANSI strings of links are read in: the one Western Windows systems use.
constexpr uint32_t AnsiCodePage = 1252;

// Little-endian reads from a window [Start, End) of the data; every read is checked against it.
class TReader {
public:
    TReader(const QByteArray& data, qsizetype start, qsizetype end) : FData(data), FStart(start), FEnd(end) {}

    qsizetype Size() const { return FEnd - FStart; }
    TReader Sub(qsizetype offset, qsizetype size) const { return TReader(FData, FStart + offset, FStart + offset + size); }
    bool Has(qsizetype offset, qsizetype count) const { return offset >= 0 && count >= 0 && count <= Size() - offset; }

    std::optional<uint16_t> Word(qsizetype offset) const
    {
        if (!Has(offset, 2)) return std::nullopt;
        const auto* p = reinterpret_cast<const uint8_t*>(FData.constData() + FStart + offset);
        return uint16_t(p[0] | (p[1] << 8));
    }
    std::optional<uint32_t> DWord(qsizetype offset) const
    {
        const auto low = Word(offset), high = Word(offset + 2);
        if (!low || !high) return std::nullopt;
        return *low | (uint32_t(*high) << 16);
    }
    QByteArray Bytes(qsizetype offset, qsizetype count) const { return FData.mid(FStart + offset, count); }

    // A zero-terminated string that must end inside the window.
    std::optional<QString> AnsiZ(qsizetype offset) const
    {
        if (!Has(offset, 0)) return std::nullopt;
        for (qsizetype at = offset; at < Size(); ++at)
            if (FData.at(FStart + at) == '\0') return CodePageToUnicode(Bytes(offset, at - offset), AnsiCodePage);
        return std::nullopt;
    }
    std::optional<QString> UnicodeZ(qsizetype offset) const
    {
        QString text;
        for (qsizetype at = offset;; at += 2) {
            const auto c = Word(at);
            if (!c) return std::nullopt;
            if (*c == 0) return text;
            text += QChar(*c);
        }
    }

private:
    const QByteArray& FData;
    qsizetype FStart;
    qsizetype FEnd;
};

// The common network relative link: the share name (Unicode when the structure carries it).
std::optional<QString> ReadNetName(const TReader& info, uint32_t offset)
{
    const auto size = info.DWord(offset);
    if (!size || *size < 0x14 || !info.Has(offset, *size)) return std::nullopt;
    const TReader link = info.Sub(offset, *size);
    const auto netNameOffset = link.DWord(8);
    if (!netNameOffset || *netNameOffset < 0x14) return std::nullopt;
    if (*netNameOffset > 0x14) {
        const auto unicodeOffset = link.DWord(0x14);
        if (!unicodeOffset) return std::nullopt;
        if (*unicodeOffset >= 0x1C) return link.UnicodeZ(*unicodeOffset);
    }
    return link.AnsiZ(*netNameOffset);
}

bool ReadLinkInfo(const TReader& info, TShellLinkData& Link)
{
    const auto headerSize = info.DWord(4), flags = info.DWord(8);
    const auto localOffset = info.DWord(16), networkOffset = info.DWord(20), suffixOffset = info.DWord(24);
    if (!headerSize || !flags || !localOffset || !networkOffset || !suffixOffset || *headerSize < 0x1C) return false;
    std::optional<uint32_t> localUnicodeOffset, suffixUnicodeOffset;
    if (*headerSize >= 0x24) {
        localUnicodeOffset = info.DWord(28);
        suffixUnicodeOffset = info.DWord(32);
        if (!localUnicodeOffset || !suffixUnicodeOffset) return false;
    }
    // Strings lie behind the header; an offset into it is damage, not a string.
    auto string = [&](const std::optional<uint32_t>& unicodeOffset, uint32_t ansiOffset) -> std::optional<QString> {
        if (unicodeOffset && *unicodeOffset != 0)
            return *unicodeOffset >= *headerSize ? info.UnicodeZ(*unicodeOffset) : std::nullopt;
        return ansiOffset >= *headerSize ? info.AnsiZ(ansiOffset) : std::nullopt;
    };
    const std::optional<QString> suffix = string(suffixUnicodeOffset, *suffixOffset);
    if (!suffix) return false;
    if (*flags & VolumeIDAndLocalBasePath) {
        const std::optional<QString> base = string(localUnicodeOffset, *localOffset);
        if (!base) return false;
        Link.LocalPath = *base + *suffix;
    }
    if (*flags & CommonNetworkRelativeLinkAndPathSuffix) {
        const std::optional<QString> netName = ReadNetName(info, *networkOffset);
        if (!netName) return false;
        Link.NetworkPath = *netName;
        if (!suffix->isEmpty()) {
            if (!Link.NetworkPath.endsWith(QLatin1Char('\\'))) Link.NetworkPath += QLatin1Char('\\');
            Link.NetworkPath += *suffix;
        }
    }
    return true;
}
} // namespace

bool ReadShellLink(const QByteArray& Data, TShellLinkData& Link)
{
    Link = TShellLinkData();
    const TReader file(Data, 0, Data.size());
    if (file.DWord(0) != HeaderSize || !file.Has(0, HeaderSize) || file.Bytes(4, 16) != QByteArray(LinkCLSID, 16))
        return false;
    Link.LinkFlags = *file.DWord(0x14);
    qsizetype at = HeaderSize;
    if (Link.LinkFlags & HasLinkTargetIDList) {
        const auto size = file.Word(at);
        if (!size || !file.Has(at + 2, *size)) return false;
        at += 2 + *size;
    }
    if ((Link.LinkFlags & HasLinkInfo)) {
        const auto size = file.DWord(at);
        if (!size || *size < 0x1C || !file.Has(at, *size)) return false;
        // A link that forces its link information off still carries it; only its use is off.
        TShellLinkData info;
        if (!ReadLinkInfo(file.Sub(at, *size), info)) return false;
        if (!(Link.LinkFlags & ForceNoLinkInfo)) {
            Link.LocalPath = info.LocalPath;
            Link.NetworkPath = info.NetworkPath;
        }
        at += *size;
    }
    const bool unicode = Link.LinkFlags & IsUnicode;
    for (const auto& [flag, field] : {std::pair{HasName, &TShellLinkData::Name},
                                      std::pair{HasRelativePath, &TShellLinkData::RelativePath},
                                      std::pair{HasWorkingDir, &TShellLinkData::WorkingDir},
                                      std::pair{HasArguments, &TShellLinkData::Arguments},
                                      std::pair{HasIconLocation, &TShellLinkData::IconLocation}}) {
        if (!(Link.LinkFlags & flag)) continue;
        const auto count = file.Word(at);
        if (!count) return false;
        const qsizetype bytes = qsizetype(*count) * (unicode ? 2 : 1);
        if (!file.Has(at + 2, bytes)) return false;
        if (unicode) {
            QString text(*count, Qt::Uninitialized);
            for (int i = 0; i < *count; ++i) text[i] = QChar(*file.Word(at + 2 + 2 * i));
            Link.*field = text;
        } else {
            Link.*field = CodePageToUnicode(file.Bytes(at + 2, bytes), AnsiCodePage);
        }
        at += 2 + bytes;
    }
    return true;
}

bool ResolveShellLink(const QString& FileName, QString& Target)
{
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly)) return false;
    TShellLinkData link;
    if (!ReadShellLink(file.read(MaxLinkSize), link)) return false;
    if (!link.NetworkPath.isEmpty()) {
        Target = link.NetworkPath;
    } else if (!link.LocalPath.isEmpty()) {
        Target = link.LocalPath;
    } else if (!link.RelativePath.isEmpty()) {
        QString relative = link.RelativePath;
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        Target = QDir::cleanPath(QFileInfo(FileName).absoluteDir().filePath(relative));
    } else {
        return false;
    }
    return true;
}
