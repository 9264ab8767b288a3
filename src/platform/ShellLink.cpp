#include "ShellLink.h"

#include "BinaryReader.h"
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

std::optional<QString> AnsiZ(const TBinaryReader& data, int64_t offset)
{
    const std::optional<QByteArray> bytes = data.TryAnsiZ(offset);
    if (!bytes) return std::nullopt;
    return CodePageToUnicode(*bytes, AnsiCodePage);
}

// The common network relative link: the share name (Unicode when the structure carries it).
std::optional<QString> ReadNetName(const TBinaryReader& info, uint32_t offset)
{
    const auto size = info.TryU32(offset);
    if (!size || *size < 0x14 || !info.Has(offset, *size)) return std::nullopt;
    const TBinaryReader link = info.Sub(offset, *size);
    const auto netNameOffset = link.TryU32(8);
    if (!netNameOffset || *netNameOffset < 0x14) return std::nullopt;
    if (*netNameOffset > 0x14) {
        const auto unicodeOffset = link.TryU32(0x14);
        if (!unicodeOffset) return std::nullopt;
        if (*unicodeOffset >= 0x1C) return link.TryUtf16Z(*unicodeOffset);
    }
    return AnsiZ(link, *netNameOffset);
}

bool ReadLinkInfo(const TBinaryReader& info, TShellLinkData& Link)
{
    const auto headerSize = info.TryU32(4), flags = info.TryU32(8);
    const auto localOffset = info.TryU32(16), networkOffset = info.TryU32(20), suffixOffset = info.TryU32(24);
    if (!headerSize || !flags || !localOffset || !networkOffset || !suffixOffset || *headerSize < 0x1C) return false;
    std::optional<uint32_t> localUnicodeOffset, suffixUnicodeOffset;
    if (*headerSize >= 0x24) {
        localUnicodeOffset = info.TryU32(28);
        suffixUnicodeOffset = info.TryU32(32);
        if (!localUnicodeOffset || !suffixUnicodeOffset) return false;
    }
    // Strings lie behind the header; an offset into it is damage, not a string.
    auto string = [&](const std::optional<uint32_t>& unicodeOffset, uint32_t ansiOffset) -> std::optional<QString> {
        if (unicodeOffset && *unicodeOffset != 0)
            return *unicodeOffset >= *headerSize ? info.TryUtf16Z(*unicodeOffset) : std::nullopt;
        return ansiOffset >= *headerSize ? AnsiZ(info, ansiOffset) : std::nullopt;
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
    const TBinaryReader file(Data);
    if (file.TryU32(0) != HeaderSize || !file.Has(0, HeaderSize) || file.Bytes(4, 16) != QByteArray(LinkCLSID, 16))
        return false;
    Link.LinkFlags = file.U32(0x14);
    int64_t at = HeaderSize;
    if (Link.LinkFlags & HasLinkTargetIDList) {
        const auto size = file.TryU16(at);
        if (!size || !file.Has(at + 2, *size)) return false;
        at += 2 + *size;
    }
    if ((Link.LinkFlags & HasLinkInfo)) {
        const auto size = file.TryU32(at);
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
        const auto count = file.TryU16(at);
        if (!count) return false;
        const int64_t bytes = int64_t(*count) * (unicode ? 2 : 1);
        if (!file.Has(at + 2, bytes)) return false;
        if (unicode) {
            QString text(*count, Qt::Uninitialized);
            for (int i = 0; i < *count; ++i) text[i] = QChar(file.U16(at + 2 + 2 * i));
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
