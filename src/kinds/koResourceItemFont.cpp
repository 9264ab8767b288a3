#include "koResourceItemFont.h"

#include "model/koResources.h"
#include "platform/BinaryReader.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <QFile>
#include <algorithm>
#include <map>
#include <optional>

namespace {
constexpr uint32_t TagTrueType = 0x00010000;
constexpr uint32_t TagTrue = 0x74727565; // 'true'
constexpr uint32_t TagOTTO = 0x4F54544F;
constexpr uint32_t TagCollection = 0x74746366; // 'ttcf'

uint32_t Tag(const char (&text)[5])
{
    return (uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) | (uint32_t(uint8_t(text[2])) << 8) |
           uint32_t(uint8_t(text[3]));
}

// Font files are big-endian; the reader is little-endian.
uint16_t BE16(const TBinaryReader& r, int64_t at, const char* what)
{
    const uint16_t v = r.U16(at, what);
    return uint16_t((v >> 8) | (v << 8));
}

uint32_t BE32(const TBinaryReader& r, int64_t at, const char* what)
{
    return (uint32_t(BE16(r, at, what)) << 16) | BE16(r, at + 2, what);
}

std::optional<uint32_t> TryBE32(const TBinaryReader& r, int64_t at)
{
    if (!r.Has(at, 4)) return std::nullopt;
    return BE32(r, at, "data");
}

bool IsFontVersion(uint32_t v) { return v == TagTrueType || v == TagTrue || v == TagOTTO; }

struct TFontTables {
    std::optional<TBinaryReader> Name, OS2, Head;
    bool Signed = false;
};

// The table directory of one font at Offset; every table must lie inside the data. The directories of
// a collection's fonts are distinct bytes, so together they fit in the data (Budget): that keeps a
// collection whose fonts all point at one directory linear.
TFontTables ReadDirectory(const TBinaryReader& file, int64_t Offset, int64_t& Budget)
{
    TFontTables tables;
    const uint16_t count = BE16(file, Offset + 4, "font table count");
    Budget -= 12 + int64_t(count) * 16;
    if (Budget < 0) throw EReadError(QStringLiteral("The font directories take more room than the data holds."));
    const TBinaryReader records = file.Sub(Offset + 12, int64_t(count) * 16, "font table directory");
    for (int64_t at = 0; at < records.Size(); at += 16) {
        const uint32_t tag = BE32(records, at, "font table record");
        const TBinaryReader table = file.Sub(BE32(records, at + 8, "font table record"),
                                             BE32(records, at + 12, "font table record"), "font table");
        if (tag == Tag("name")) tables.Name = table;
        else if (tag == Tag("OS/2")) tables.OS2 = table;
        else if (tag == Tag("head")) tables.Head = table;
        else if (tag == Tag("DSIG")) tables.Signed = true;
    }
    return tables;
}

// How good a name record's platform, encoding and language are for us: higher is better, 0 unusable.
int NameRank(uint16_t platform, uint16_t encoding, uint16_t language)
{
    if (platform == 3 && (encoding == 0 || encoding == 1 || encoding == 10)) return language == 0x0409 ? 4 : 3;
    if (platform == 0) return 2;
    if (platform == 1 && encoding == 0) return 1;
    return 0;
}

QString DecodeName(const QByteArray& bytes, uint16_t platform)
{
    if (platform == 1) return QString::fromLatin1(bytes);
    QString text;
    text.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text += QChar(char16_t((uint8_t(bytes[i]) << 8) | uint8_t(bytes[i + 1])));
    return text;
}

// The best name of the given ID, empty when there is none.
QString ReadName(const TBinaryReader& table, uint16_t NameID)
{
    const uint16_t count = BE16(table, 2, "font name count");
    const uint16_t strings = BE16(table, 4, "font name strings");
    const TBinaryReader records = table.Sub(6, int64_t(count) * 12, "font name records");
    int bestRank = 0;
    QString best;
    for (int64_t at = 0; at < records.Size(); at += 12) {
        if (BE16(records, at + 6, "font name record") != NameID) continue;
        const uint16_t platform = BE16(records, at, "font name record");
        const int rank = NameRank(platform, BE16(records, at + 2, "font name record"), BE16(records, at + 4, "font name record"));
        if (rank <= bestRank) continue;
        const QByteArray bytes = table.Bytes(int64_t(strings) + BE16(records, at + 10, "font name record"),
                                             BE16(records, at + 8, "font name record"), "font name");
        bestRank = rank;
        best = DecodeName(bytes, platform);
    }
    return best;
}

// Code-page range bits of the OS/2 table and the character sets they stand for.
const struct {
    int Bit;
    uint8_t CharSet;
} CodePageCharSets[] = {
    {0, ANSI_CHARSET},         {1, EASTEUROPE_CHARSET},   {2, RUSSIAN_CHARSET},     {3, GREEK_CHARSET},
    {4, TURKISH_CHARSET},      {5, HEBREW_CHARSET},       {6, ARABIC_CHARSET},      {7, BALTIC_CHARSET},
    {8, VIETNAMESE_CHARSET},   {16, THAI_CHARSET},        {17, SHIFTJIS_CHARSET},   {18, GB2312_CHARSET},
    {19, HANGEUL_CHARSET},     {20, CHINESEBIG5_CHARSET}, {21, JOHAB_CHARSET},      {29, MAC_CHARSET},
    {30, OEM_CHARSET},         {31, SYMBOL_CHARSET},
};

// Fonts of a collection share their name tables: each is read once.
using TNameCache = std::map<int64_t, std::pair<QString, QString>>;

TLogFont ReadFace(const TFontTables& tables, TNameCache& Names)
{
    TLogFont face;
    if (tables.Name) {
        auto it = Names.find(tables.Name->Base());
        if (it == Names.end())
            it = Names.emplace(tables.Name->Base(), std::make_pair(ReadName(*tables.Name, 1), ReadName(*tables.Name, 2))).first;
        face.FaceName = it->second.first;
        face.StyleName = it->second.second;
    }
    if (tables.OS2) {
        const TBinaryReader& os2 = *tables.OS2;
        face.Weight = BE16(os2, 4, "OS/2 weight");
        face.Italic = BE16(os2, 62, "OS/2 selection") & 0x0001;
        // The code-page ranges came with the table's version 1.
        if (BE16(os2, 0, "OS/2 version") >= 1 && os2.Has(78, 4)) {
            const uint32_t range = BE32(os2, 78, "OS/2 code pages");
            for (const auto& entry : CodePageCharSets)
                if (range & (1u << entry.Bit)) face.CharSets.append(entry.CharSet);
        }
    } else if (tables.Head) {
        const uint16_t macStyle = BE16(*tables.Head, 44, "head style");
        face.Weight = (macStyle & 0x0001) ? 700 : 400;
        face.Italic = macStyle & 0x0002;
    }
    if (face.CharSets.isEmpty()) face.CharSets.append(ANSI_CHARSET);
    face.CharSet = face.CharSets.first();
    return face;
}

// A Windows font (.fnt: the RT_FONT resources of font modules), raster or vector: one face, named in
// its header. Data whose header does not hold together is no such font.
std::optional<TFontType> ReadWindowsFont(const TBinaryReader& file, TLogFontList& LogFonts)
{
    constexpr int64_t HeaderSize = 118;
    const std::optional<uint16_t> version = file.TryU16(0);
    if (!version || (*version != 0x0200 && *version != 0x0300) || !file.Has(0, HeaderSize)) return std::nullopt;
    const std::optional<QByteArray> name = file.TryAnsiZ(file.U32(105, "font face offset"));
    if (!name || name->isEmpty()) return std::nullopt;
    TLogFont face;
    face.FaceName = QString::fromLatin1(*name);
    const uint16_t weight = file.U16(83, "font weight");
    face.Weight = weight == 0 ? 400 : std::min<int>(weight, 1000);
    face.Italic = file.U8(80, "font italic") != 0;
    face.CharSets = {file.U8(85, "font character set")};
    face.CharSet = face.CharSets.first();
    LogFonts = {face};
    return (file.U16(66, "font type") & 0x0001) ? TFontType::ftVector : TFontType::ftRaster;
}

TFontType TypeOf(uint32_t version, const TFontTables& tables)
{
    if (version == TagOTTO) return TFontType::ftOpenTypePS;
    return tables.Signed ? TFontType::ftOpenTypeTT : TFontType::ftTrueType;
}
} // namespace

TFontType GetFontDataInfo(const QByteArray& Data, TLogFontList& LogFonts)
{
    LogFonts.clear();
    const TBinaryReader file(Data);
    const std::optional<uint32_t> version = TryBE32(file, 0);
    if (!version) return TFontType::ftUnknown;
    std::vector<int64_t> offsets;
    if (*version == TagCollection) {
        const uint32_t count = BE32(file, 8, "font collection count");
        const TBinaryReader table = file.Sub(12, int64_t(count) * 4, "font collection offsets");
        for (int64_t at = 0; at < table.Size(); at += 4) offsets.push_back(BE32(table, at, "font collection offset"));
    } else if (IsFontVersion(*version)) {
        offsets.push_back(0);
    } else {
        return ReadWindowsFont(file, LogFonts).value_or(TFontType::ftUnknown);
    }
    TFontType type = TFontType::ftUnknown;
    TLogFontList faces;
    TNameCache names;
    int64_t budget = Data.size();
    for (const int64_t offset : offsets) {
        const uint32_t fontVersion = BE32(file, offset, "font header");
        if (!IsFontVersion(fontVersion)) throw EReadError(QStringLiteral("Font at offset %1 has no font header.").arg(offset));
        const TFontTables tables = ReadDirectory(file, offset, budget);
        if (faces.isEmpty()) type = TypeOf(fontVersion, tables);
        faces.append(ReadFace(tables, names));
    }
    LogFonts = faces;
    return type;
}

TFontType GetFontFileInfo(const QString& FileName, TLogFontList& LogFonts)
{
    LogFonts.clear();
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly)) return TFontType::ftUnknown;
    return GetFontDataInfo(file.readAll(), LogFonts);
}

// TFontResourceItem

TFontResourceItem::TFontResourceItem(const TResourceIdent& AResName)
    : TCustomResourceItemGeneric(TResourceIdent::FromOrdinal(RT_FONT), AResName)
{
}

bool TFontResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_FONT);
}

bool TFontResourceItem::HandlesFile(const QString&, TStream* Data)
{
    return Data && (MatchSignature(Data, QByteArray("\x00\x01\x00\x00", 4), {}, 0) ||
                    MatchSignature(Data, QByteArrayLiteral("OTTO"), {}, 0));
}

TResourceItemGlyphHandle TFontResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_FONT_TYPE"), QStringLiteral("font.type"));
    return LoadResourceGlyph(QStringLiteral("RES_FONT_ITEM"), QStringLiteral("font.item"));
}

void koResourceItemFont_Initialize()
{
    const auto* kind = TFontResourceItem::ClassInfo();
    kind->Register(0);
    kind->RegisterFileType(QStringLiteral("ttf"), QStringLiteral("True Type font files"), {fcLoad, fcSave}, 0);
    kind->RegisterFileType(QStringLiteral("otf"), QStringLiteral("OpenType font files"), {fcLoad, fcSave}, 0);
    kind->RegisterFileType(QStringLiteral("fnt"), QStringLiteral("Windows font files"), {fcLoad, fcSave}, 0);
}

void koResourceItemFont_Finalize() { TFontResourceItem::ClassInfo()->Unregister(); }
