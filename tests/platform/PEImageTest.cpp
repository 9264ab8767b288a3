#include "platform/PEImage.h"

#include "PeerTools.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

uint16_t Get16(const QByteArray& d, qsizetype at) { return qFromLittleEndian<uint16_t>(d.constData() + at); }
uint32_t Get32(const QByteArray& d, qsizetype at) { return qFromLittleEndian<uint32_t>(d.constData() + at); }
void Put16(QByteArray& d, qsizetype at, uint16_t v) { qToLittleEndian(v, d.data() + at); }
void Put32(QByteArray& d, qsizetype at, uint32_t v) { qToLittleEndian(v, d.data() + at); }

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

QString Ord(uint16_t id)
{
    QString result;
    result.append(QChar(char16_t(0xFFFF)));
    result.append(QChar(char16_t(id)));
    return result;
}

TPEResource Res(const QString& type, const QString& name, uint16_t language, const QByteArray& data)
{
    TPEResource r;
    r.Type = type;
    r.Name = name;
    r.Language = language;
    r.Data = data;
    return r;
}

QString IdentText(const QString& ident)
{
    if (ident.size() == 2 && ident.at(0).unicode() == 0xFFFF) return QStringLiteral("#%1").arg(ident.at(1).unicode());
    return ident;
}

// One line per resource, readable in a failure message; the data as size and digest.
QString Line(const QString& type, const QString& name, uint16_t language, const QByteArray& data)
{
    return QStringLiteral("%1/%2/%3 %4 bytes %5")
        .arg(IdentText(type), IdentText(name))
        .arg(language)
        .arg(data.size())
        .arg(QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex().left(12)));
}

QStringList Describe(const QList<TPEResource>& resources)
{
    QStringList lines;
    for (const TPEResource& r : resources) lines.append(Line(r.Type, r.Name, r.Language, r.Data));
    return lines;
}

QStringList Sorted(QStringList lines)
{
    lines.sort();
    return lines;
}

template <typename F>
QString ErrorOf(F&& action)
{
    try {
        action();
    } catch (const EPEImageError& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

QByteArray DirectoryBytes(const TPEImage& image, int index)
{
    const TPEDataDirectory d = image.DataDirectory(index);
    const int64_t at = image.RvaToOffset(d.VirtualAddress, d.Size);
    return at < 0 ? QByteArray("<unmapped>") : image.Data().mid(at, d.Size);
}

// The checksum written out longhand: a plain sum of the 16-bit words, folded once at the end.
uint32_t ReferenceCheckSum(QByteArray data, qsizetype field)
{
    const auto length = uint32_t(data.size());
    for (int i = 0; i < 4; ++i) data[field + i] = 0;
    if (data.size() % 2) data.append('\0');
    uint64_t sum = 0;
    for (qsizetype i = 0; i < data.size(); i += 2) sum += Get16(data, i);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return uint32_t(sum) + length;
}

// ---------------------------------------------------------------------------------------------------
// Images made in memory: DOS header, PE header at 0x80, the optional header at 0x98, 16 data directories,
// sections laid out from SizeOfHeaders in file order, 0x1000 / 0x200 alignment.

constexpr qsizetype PeOffset = 0x80;
constexpr qsizetype OptionalHeader = PeOffset + 24;

struct TSection {
    QByteArray Name;
    uint32_t VirtualAddress = 0;
    uint32_t VirtualSize = 0;
    QByteArray Raw;
    uint32_t Characteristics = 0x40000040;
};

struct TImage {
    bool Is64 = true;
    uint32_t SizeOfHeaders = 0x400;
    uint32_t CheckSum = 0;
    QList<TSection> Sections;
    std::map<int, std::pair<uint32_t, uint32_t>> Directories;
    QByteArray Overlay;

    qsizetype DirectoryField(int index) const { return OptionalHeader + (Is64 ? 112 : 96) + 8 * index; }
    qsizetype SectionTable() const { return OptionalHeader + (Is64 ? 240 : 224); }
    qsizetype SectionTableEnd() const { return SectionTable() + 40 * Sections.size(); }

    QByteArray Build() const
    {
        QByteArray image(SizeOfHeaders, '\0');
        image[0] = 'M';
        image[1] = 'Z';
        Put32(image, 0x3C, PeOffset);
        image.replace(PeOffset, 4, QByteArray("PE\0\0", 4));
        Put16(image, PeOffset + 4, Is64 ? 0x8664 : 0x14C);
        Put16(image, PeOffset + 6, uint16_t(Sections.size()));
        Put16(image, PeOffset + 20, Is64 ? 240 : 224);
        Put16(image, PeOffset + 22, 0x0102);
        Put16(image, OptionalHeader, Is64 ? 0x20B : 0x10B);
        Put32(image, OptionalHeader + 32, 0x1000);
        Put32(image, OptionalHeader + 36, 0x200);
        Put32(image, OptionalHeader + 60, SizeOfHeaders);
        Put32(image, OptionalHeader + 64, CheckSum);
        Put16(image, OptionalHeader + 68, 3);
        Put32(image, OptionalHeader + (Is64 ? 108 : 92), 16);
        for (const auto& [index, directory] : Directories) {
            Put32(image, DirectoryField(index), directory.first);
            Put32(image, DirectoryField(index) + 4, directory.second);
        }
        uint32_t imageEnd = 0x1000;
        uint32_t initialized = 0;
        for (qsizetype i = 0; i < Sections.size(); ++i) {
            const TSection& s = Sections[i];
            const qsizetype at = SectionTable() + 40 * i;
            image.replace(at, s.Name.size(), s.Name);
            QByteArray raw = s.Raw;
            raw.resize(AlignUp(uint32_t(raw.size()), 0x200), '\0');
            Put32(image, at + 8, s.VirtualSize);
            Put32(image, at + 12, s.VirtualAddress);
            Put32(image, at + 16, uint32_t(raw.size()));
            Put32(image, at + 20, raw.isEmpty() ? 0 : uint32_t(image.size()));
            Put32(image, at + 36, s.Characteristics);
            image += raw;
            if (s.Characteristics & 0x40) initialized += uint32_t(raw.size());
            imageEnd = std::max(imageEnd, AlignUp(s.VirtualAddress + std::max<uint32_t>(s.VirtualSize, 1), 0x1000));
        }
        Put32(image, OptionalHeader + 8, initialized);
        Put32(image, OptionalHeader + 56, imageEnd);
        return image + Overlay;
    }
};

// A resource directory for a section at `va`, offsets relative to its start:
//   0x00 root table, one id entry (10)        -> 0x18
//   0x18 name table, one id entry (1)         -> 0x30
//   0x30 language table, one id entry (0x409) -> data entry 0x48
//   0x48 data entry: RVA va + 0x58, 4 bytes, code page 1252
//   0x58 "abcd"
QByteArray MinimalDirectory(uint32_t va)
{
    QByteArray d(0x5C, '\0');
    Put16(d, 0x0E, 1);
    Put32(d, 0x10, 10);
    Put32(d, 0x14, 0x80000018);
    Put16(d, 0x18 + 0x0E, 1);
    Put32(d, 0x28, 1);
    Put32(d, 0x2C, 0x80000030);
    Put16(d, 0x30 + 0x0E, 1);
    Put32(d, 0x40, 0x409);
    Put32(d, 0x44, 0x48);
    Put32(d, 0x48, va + 0x58);
    Put32(d, 0x4C, 4);
    Put32(d, 0x50, 1252);
    d.replace(0x58, 4, "abcd");
    return d;
}

// A directory laid out table by table exactly as the nodes say, repeats and all; ids only. Tables come
// depth first from offset 0, then each data entry followed by its data.
struct TNode {
    uint32_t Id;
    QList<TNode> Children; // none at the language level
    QByteArray Data;
};

QByteArray TreeDirectory(uint32_t va, const QList<TNode>& types)
{
    QByteArray d;
    QList<std::pair<qsizetype, QByteArray>> leaves; // entry slot, data
    std::function<qsizetype(const QList<TNode>&, int)> table = [&](const QList<TNode>& nodes, int level) {
        const qsizetype at = d.size();
        d.resize(at + 16 + 8 * nodes.size(), '\0');
        Put16(d, at + 14, uint16_t(nodes.size()));
        for (qsizetype i = 0; i < nodes.size(); ++i) {
            const qsizetype slot = at + 16 + 8 * i;
            Put32(d, slot, nodes[i].Id);
            if (level == 3) {
                leaves.append({slot, nodes[i].Data});
                continue;
            }
            const qsizetype child = table(nodes[i].Children, level + 1);
            Put32(d, slot + 4, 0x80000000u | uint32_t(child));
        }
        return at;
    };
    table(types, 1);
    for (const auto& [slot, data] : leaves) {
        const qsizetype entry = d.size();
        Put32(d, slot + 4, uint32_t(entry));
        d.resize(entry + 16, '\0');
        Put32(d, entry, va + uint32_t(entry) + 16);
        Put32(d, entry + 4, uint32_t(data.size()));
        d += data;
        d.resize(AlignUp(uint32_t(d.size()), 8), '\0');
    }
    return d;
}

// One section ".rsrc" at RVA 0x1000, file offset 0x400, holding `directory`.
TImage ResourceImage(const QByteArray& directory, bool is64 = true)
{
    TImage image;
    image.Is64 = is64;
    image.Sections.append({".rsrc", 0x1000, uint32_t(directory.size()), directory});
    image.Directories[TPEImage::ddResource] = {0x1000, uint32_t(directory.size())};
    return image;
}

TImage CodeOnlyImage(bool is64 = true)
{
    TImage image;
    image.Is64 = is64;
    image.Sections.append({".text", 0x1000, 0x10, QByteArray(16, '\xC3'), 0x60000020});
    return image;
}

QList<TPEResource> SampleResources()
{
    return {Res(Ord(10), QStringLiteral("CONFIG"), 0x409, "config data"),
            Res(QStringLiteral("PNG"), QStringLiteral("LOGO"), 0x409, QByteArray("\x89PNG\r\n\x1a\n", 8)),
            Res(Ord(6), Ord(1), 0x407, QByteArray(34, 'x')), Res(Ord(10), Ord(7), 0, "seven")};
}

const char* const SignatureRemoved =
    "The module's digital signature was removed: it no longer matches the changed file.";

// ---------------------------------------------------------------------------------------------------
// Recognising and parsing images.

TEST(PEImage, RecognisesTheSignatures)
{
    const QByteArray good = CodeOnlyImage().Build();
    struct Case {
        const char* Name;
        std::function<QByteArray()> Make;
        bool Expected;
    } cases[] = {
        {"a built image", [&] { return good; }, true},
        {"empty", [] { return QByteArray(); }, false},
        {"shorter than a DOS header", [&] { return good.left(63); }, false},
        {"no MZ", [&] { QByteArray d = good; d[1] = 'X'; return d; }, false},
        {"PE offset past the end", [&] { QByteArray d = good; Put32(d, 0x3C, 0xFFFFFFFE); return d; }, false},
        {"signature cut off", [&] { return good.left(PeOffset + 3); }, false},
        {"signature exactly at the end", [&] { return good.left(PeOffset + 4); }, true},
        {"wrong signature", [&] { QByteArray d = good; d[PeOffset + 2] = 'X'; return d; }, false},
    };
    for (const Case& c : cases) EXPECT_EQ(TPEImage::IsPEImage(c.Make()), c.Expected) << c.Name;
}

TEST(PEImage, ReadsHeadersOfBothForms)
{
    for (bool is64 : {false, true}) {
        SCOPED_TRACE(is64 ? "PE32+" : "PE32");
        TImage layout = ResourceImage(MinimalDirectory(0x1000), is64);
        layout.CheckSum = 0x1234;
        const TPEImage image(layout.Build());
        EXPECT_EQ(image.Is64(), is64);
        EXPECT_EQ(image.Machine(), is64 ? 0x8664 : 0x14C);
        EXPECT_EQ(image.CheckSum(), 0x1234u);
        EXPECT_EQ(image.NumberOfDataDirectories(), 16);
        ASSERT_EQ(image.Sections().size(), 1);
        EXPECT_EQ(image.Sections()[0].Name, QByteArray(".rsrc\0\0\0", 8));
        EXPECT_EQ(image.Sections()[0].PointerToRawData, 0x400u);
        EXPECT_EQ(image.DataDirectory(TPEImage::ddResource).VirtualAddress, 0x1000u);
        EXPECT_EQ(image.DataDirectory(99).VirtualAddress, 0u);
    }
}

TEST(PEImage, RejectsDamagedHeadersWithTheOffset)
{
    const QByteArray good = ResourceImage(MinimalDirectory(0x1000)).Build();
    struct Case {
        const char* Name;
        std::function<void(QByteArray&)> Damage;
        const char* Message;
    } cases[] = {
        {"truncated DOS header", [](QByteArray& d) { d.truncate(10); }, "too small for a DOS header (10 bytes)"},
        {"no MZ", [](QByteArray& d) { d[0] = 'X'; }, "No DOS header (\"MZ\") at offset 0"},
        {"e_lfanew past the end", [](QByteArray& d) { Put32(d, 0x3C, 0xFFFFFFF0); },
         "PE header offset 0xFFFFFFF0 (DOS header, offset 0x3C) lies beyond the end of the file"},
        {"file header cut off", [](QByteArray& d) { d.truncate(PeOffset + 10); },
         "PE header offset 0x80 (DOS header, offset 0x3C) lies beyond the end of the file (138 bytes)"},
        {"no PE signature", [](QByteArray& d) { d[PeOffset + 1] = 'X'; }, "No PE signature at offset 0x80"},
        {"optional header cut off", [](QByteArray& d) { d.truncate(OptionalHeader + 100); },
         "optional header at offset 0x98 (240 bytes) runs past the end of the file"},
        {"unknown magic", [](QByteArray& d) { Put16(d, OptionalHeader, 0x30B); },
         "Unknown optional header magic 0x30B at offset 0x98"},
        {"optional header too small", [](QByteArray& d) { Put16(d, PeOffset + 20, 64); },
         "optional header at offset 0x98 is too small (64 bytes) for a PE32+ header"},
        {"more directories than room", [](QByteArray& d) { Put32(d, OptionalHeader + 108, 0x1000); },
         "declares 4096 data directories but has room for 16"},
        {"section table past the end", [](QByteArray& d) { Put16(d, PeOffset + 6, 0xFFFF); },
         "section table at offset 0x188 (65535 sections) runs past the end of the file"},
    };
    for (const Case& c : cases) {
        QByteArray data = good;
        c.Damage(data);
        EXPECT_TRUE(ErrorOf([&] { TPEImage image(data); }).contains(QString::fromUtf8(c.Message)))
            << c.Name << ": " << ErrorOf([&] { TPEImage image(data); }).toStdString();
    }
}

TEST(PEImage, MapsRvaRangesOnlyWhenTheFileHoldsThemWholly)
{
    TImage layout = ResourceImage(MinimalDirectory(0x1000));
    // Memory beyond the raw data is zero-filled by the loader, not read from the file.
    layout.Sections.append({".data", 0x2000, 0x1000, QByteArray(0x10, 'd')});
    // VirtualSize 0 means the raw size.
    layout.Sections.append({".zero", 0x3000, 0, QByteArray(0x10, 'z')});
    const TPEImage image(layout.Build());
    struct Case {
        uint32_t Rva, Size;
        int64_t Expected;
    } cases[] = {
        {0x1000, 0x5C, 0x400},       {0x1010, 0, 0x410},         {0x1000, 0x5D, -1}, // past VirtualSize
        {0x0, 0x40, 0x0},            {0x3F0, 0x10, 0x3F0},       {0x3FF, 2, -1},     // headers end at 0x400
        {0x2000, 0x200, 0x600},      {0x2100, 4, 0x700},         {0x2200, 4, -1},    // zero-filled part
        {0x3000, 0x200, 0x800},      {0x3200, 1, -1},            {0x5000, 1, -1},
        {0xFFFFFFFF, 2, -1},         {0x1000, 0xFFFFFFFF, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(image.RvaToOffset(c.Rva, c.Size), c.Expected) << std::hex << c.Rva << " size " << c.Size;
}

// ---------------------------------------------------------------------------------------------------
// Reading resource directories.

TEST(PEImage, ReadsAMinimalDirectory)
{
    const TPEImage image(ResourceImage(MinimalDirectory(0x1000)).Build());
    const QList<TPEResource> resources = image.Resources();
    ASSERT_EQ(resources.size(), 1);
    EXPECT_EQ(resources[0].Type, Ord(10));
    EXPECT_EQ(resources[0].Name, Ord(1));
    EXPECT_EQ(resources[0].Language, 0x409);
    EXPECT_EQ(resources[0].CodePage, 1252u);
    EXPECT_EQ(resources[0].Data, "abcd");
}

TEST(PEImage, ListsNoResourcesWithoutADirectoryOrWithAnEmptyOne)
{
    EXPECT_TRUE(TPEImage(CodeOnlyImage().Build()).Resources().isEmpty());
    EXPECT_TRUE(TPEImage(ResourceImage(QByteArray(16, '\0')).Build()).Resources().isEmpty());
    // Fewer data directories than the resource entry.
    QByteArray few = CodeOnlyImage().Build();
    Put32(few, OptionalHeader + 108, 2);
    EXPECT_TRUE(TPEImage(few).Resources().isEmpty());
}

TEST(PEImage, ListsNamedEntriesFirstAndSkipsNamedLanguages)
{
    // 0x00 root: an id entry (10 -> 0x30) stored before a named one ("ZZ" -> 0x48)
    // 0x30 names of type 10: id 1 -> 0x60;  0x48 names of type "ZZ": id 2 -> 0x80
    // 0x60 languages of 10/1: a named one, then 0x407 -> 0xA0;  0x80 languages of ZZ/2: 0 -> 0xB0
    // 0xA0, 0xB0 data entries; 0xC0 "de", 0xC8 "zzz"; 0xE0 the name "ZZ"
    QByteArray d(0x100, '\0');
    const auto table = [&](int at, uint16_t named, uint16_t ids) {
        Put16(d, at + 12, named);
        Put16(d, at + 14, ids);
    };
    const auto entry = [&](int at, uint32_t name, uint32_t target) {
        Put32(d, at, name);
        Put32(d, at + 4, target);
    };
    table(0x00, 1, 1);
    entry(0x10, 10, 0x80000030);
    entry(0x18, 0x800000E0, 0x80000048);
    table(0x30, 0, 1);
    entry(0x40, 1, 0x80000060);
    table(0x48, 0, 1);
    entry(0x58, 2, 0x80000080);
    table(0x60, 1, 1);
    entry(0x70, 0x800000E0, 0xA0);
    entry(0x78, 0x407, 0xA0);
    table(0x80, 0, 1);
    entry(0x90, 0, 0xB0);
    entry(0xA0, 0x10C0, 2);
    entry(0xB0, 0x10C8, 3);
    d.replace(0xC0, 2, "de");
    d.replace(0xC8, 3, "zzz");
    d.replace(0xE0, 6, QByteArray("\x02\0Z\0Z\0", 6));
    const QList<TPEResource> resources = TPEImage(ResourceImage(d).Build()).Resources();
    EXPECT_EQ(Describe(resources), (QStringList{Line("ZZ", Ord(2), 0, "zzz"), Line(Ord(10), Ord(1), 0x407, "de")}));
}

TEST(PEImage, ResolvesDataOutsideTheResourceSection)
{
    QByteArray directory = MinimalDirectory(0x1000);
    Put32(directory, 0x48, 0x2010);
    Put32(directory, 0x4C, 6);
    TImage layout = ResourceImage(directory);
    layout.Sections.append({".rdata", 0x2000, 0x20, QByteArray(16, '-') + "faraway"});
    const QList<TPEResource> resources = TPEImage(layout.Build()).Resources();
    ASSERT_EQ(resources.size(), 1);
    EXPECT_EQ(resources[0].Data, "farawa");
}

TEST(PEImage, RejectsDamagedDirectoriesWithTheOffset)
{
    // The directory lies at file offset 0x400 (see MinimalDirectory for its layout).
    struct Case {
        const char* Name;
        std::function<void(QByteArray& directory, TImage& image)> Damage;
        const char* Message;
    } cases[] = {
        {"name entry pointing back to the root", [](QByteArray& d, TImage&) { Put32(d, 0x2C, 0x80000000); },
         "table at offset 0x400 is reached a second time (the directory loops)"},
        {"huge id count", [](QByteArray& d, TImage&) { Put16(d, 0x0E, 0xFFFF); },
         "table at offset 0x400 has 65535 entries, beyond the end of the data"},
        {"huge named count", [](QByteArray& d, TImage&) { Put16(d, 0x18 + 0x0C, 0x7FFF); },
         "table at offset 0x418 has 32768 entries, beyond the end of the data"},
        {"subdirectory past the end", [](QByteArray& d, TImage&) { Put32(d, 0x14, 0x80007FF0); },
         "table at offset 0x83F0 lies beyond the end of the data"},
        {"deeper than 3 levels",
         [](QByteArray& d, TImage&) {
             d.resize(0x78);
             Put32(d, 0x44, 0x80000060);
             Put16(d, 0x60 + 0x0E, 1);
             Put32(d, 0x70, 0x409);
             Put32(d, 0x74, 0x48);
         },
         "entry at offset 0x440 goes deeper than 3 levels"},
        {"fewer than 3 levels", [](QByteArray& d, TImage&) { Put32(d, 0x14, 0x48); },
         "entry at offset 0x410 points to data where a directory belongs"},
        {"name string past the end", [](QByteArray& d, TImage&) { Put32(d, 0x10, 0x80000FFF); },
         "name string at offset 0x13FF lies beyond the end of the data"},
        {"name string longer than the data", [](QByteArray& d, TImage&) {
             Put32(d, 0x10, 0x80000050);
             Put16(d, 0x50, 0x4000);
         },
         "name string at offset 0x450 (16384 characters) runs past the end of the data"},
        {"data entry past the end", [](QByteArray& d, TImage&) { Put32(d, 0x44, 0x7FF0); },
         "data entry at offset 0x83F0 lies beyond the end of the data"},
        {"data RVA outside the image", [](QByteArray& d, TImage&) { Put32(d, 0x48, 0x9000); },
         "data entry at offset 0x448 points to RVA 0x9000 (4 bytes), which does not map into the file"},
        {"data size beyond the section", [](QByteArray& d, TImage&) { Put32(d, 0x4C, 0x1000); },
         "data entry at offset 0x448 points to RVA 0x1058 (4096 bytes), which does not map into the file"},
        {"data size wrapping around", [](QByteArray& d, TImage&) { Put32(d, 0x4C, 0xFFFFFFF0); },
         "points to RVA 0x1058 (4294967280 bytes), which does not map"},
        {"directory RVA outside the image",
         [](QByteArray&, TImage& image) { image.Directories[TPEImage::ddResource] = {0x5000, 0x5C}; },
         "resource directory at RVA 0x5000 (data directory 2) does not map into the file"},
    };
    for (const Case& c : cases) {
        QByteArray directory = MinimalDirectory(0x1000);
        TImage layout = ResourceImage(directory);
        c.Damage(directory, layout);
        layout.Sections[0].Raw = directory;
        layout.Sections[0].VirtualSize = uint32_t(directory.size());
        const TPEImage image(layout.Build());
        const QString message = ErrorOf([&] { image.Resources(); });
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.Message))) << c.Name << ": " << message.toStdString();
    }
}

TEST(PEImage, ReadsARepeatedResourceOnceWithAWarning)
{
    const auto leaf = [](uint32_t language, const char* data) { return TNode{language, {}, data}; };
    const auto name = [](uint32_t id, QList<TNode> languages) { return TNode{id, std::move(languages), {}}; };
    struct Case {
        const char* Name;
        QList<TNode> Types;
        QStringList Expected;
        QStringList Warnings;
    } cases[] = {
        {"a language twice in its table",
         {name(10, {name(1, {leaf(0x409, "first"), leaf(0x409, "second")})})},
         {Line(Ord(10), Ord(1), 0x409, "first")},
         // root 0x00, name table 0x18, language table 0x30: its second entry at 0x48
         {"The resource directory entry at offset 0x448 repeats type 10, name 1, language 1033; only the first "
          "one was read."}},
        {"a type twice at the root",
         {name(10, {name(1, {leaf(0x409, "first")})}), name(10, {name(1, {leaf(0x409, "second")})})},
         {Line(Ord(10), Ord(1), 0x409, "first")},
         // root 0x00 (two entries), first name and language tables 0x20 and 0x38, second ones 0x50 and 0x68
         {"The resource directory entry at offset 0x478 repeats type 10, name 1, language 1033; only the first "
          "one was read."}},
        {"a type twice with different names",
         {name(10, {name(1, {leaf(0x409, "first")})}), name(10, {name(2, {leaf(0x409, "second")})})},
         {Line(Ord(10), Ord(1), 0x409, "first"), Line(Ord(10), Ord(2), 0x409, "second")},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const QByteArray before = ResourceImage(TreeDirectory(0x1000, c.Types)).Build();
        QStringList warnings;
        const QList<TPEResource> resources =
            TPEImage(before).Resources([&](const QString& w) { warnings.append(w); });
        EXPECT_EQ(Describe(resources), c.Expected);
        EXPECT_EQ(warnings, c.Warnings);
        // Saved back, the module holds what was read, and no more warnings come.
        warnings.clear();
        const QByteArray after = ReplacePEResources(before, resources, [&](const QString& w) { warnings.append(w); });
        EXPECT_EQ(Describe(TPEImage(after).Resources()), c.Expected);
        EXPECT_TRUE(warnings.isEmpty());
    }
}

TEST(PEImage, RefusesDataEntriesThatClaimMoreThanTheFile)
{
    // 200 languages whose data entries each claim the same 3 KB in different ways (shifted by one byte):
    // a tiny file would otherwise expand to 600 KB.
    const int count = 200;
    QByteArray d(0x60 + 8 * count + 16 * count, '\0');
    Put16(d, 0x0E, 1);
    Put32(d, 0x10, 10);
    Put32(d, 0x14, 0x80000018);
    Put16(d, 0x18 + 0x0E, 1);
    Put32(d, 0x28, 1);
    Put32(d, 0x2C, 0x80000030);
    Put16(d, 0x30 + 0x0E, uint16_t(count));
    const int entries = 0x40 + 8 * count;
    for (int i = 0; i < count; ++i) {
        Put32(d, 0x40 + 8 * i, uint32_t(i));
        Put32(d, 0x44 + 8 * i, uint32_t(entries + 16 * i));
        Put32(d, entries + 16 * i, 0x1000 + uint32_t(i));
        Put32(d, entries + 16 * i + 4, 0xC00);
    }
    d.resize(0x1000);
    const QString message = ErrorOf([&] { TPEImage(ResourceImage(d).Build()).Resources(); });
    EXPECT_TRUE(message.contains("overlaps others")) << message.toStdString();
}

// Every truncation, single-byte changes everywhere and random scribbles: each damaged image either reads or
// raises EPEImageError, and a rewrite that succeeds lists exactly what was written.
TEST(PEImage, SurvivesDamagedInput)
{
    const QList<TPEResource> replacement = {Res(Ord(10), QStringLiteral("NEW"), 0x409, QByteArray(3000, 'n'))};
    const QStringList expected = Describe(replacement);
    const auto probe = [&](const QByteArray& data, const std::string& what) {
        try {
            const TPEImage image(data);
            image.Resources();
            const QByteArray out = ReplacePEResources(data, replacement);
            EXPECT_EQ(Describe(TPEImage(out).Resources()), expected) << what;
        } catch (const EPEImageError& e) {
            EXPECT_FALSE(e.Message().isEmpty()) << what;
        }
    };
    std::mt19937 random(20240611);
    for (bool is64 : {false, true}) {
        const QByteArray base =
            ReplacePEResources(ResourceImage(MinimalDirectory(0x1000), is64).Build(), SampleResources());
        for (qsizetype length = 0; length < base.size(); length += 3) probe(base.left(length), "truncated");
        for (qsizetype at = 0; at < base.size(); ++at)
            for (char value : {'\xFF', '\x80', '\x01'}) {
                QByteArray data = base;
                data[at] = char(data[at] ^ value);
                probe(data, "byte " + std::to_string(at));
            }
        for (int round = 0; round < 3000; ++round) {
            QByteArray data = base;
            const int writes = 1 + int(random() % 8);
            for (int i = 0; i < writes; ++i) data[qsizetype(random() % uint32_t(data.size()))] = char(random());
            probe(data, "round " + std::to_string(round));
        }
    }
}

// ---------------------------------------------------------------------------------------------------
// Writing resource directories (in memory).

TEST(PEImage, WritesTablesInTheOrderTheLoaderSearches)
{
    const QList<TPEResource> input = {
        Res(Ord(10), QStringLiteral("b"), 0x409, "1"),      Res(Ord(10), Ord(5), 0x409, "2"),
        Res(QStringLiteral("ZETA"), Ord(1), 0, "3"),        Res(Ord(10), QStringLiteral("_x"), 0x409, "4"),
        Res(Ord(10), QStringLiteral("ab"), 0x409, "5"),     Res(Ord(3), Ord(1), 0, "6"),
        Res(Ord(10), QStringLiteral("a"), 0x409, "7"),      Res(QStringLiteral("alpha"), Ord(1), 0, "8"),
        Res(Ord(10), Ord(2), 0x409, "9"),                   Res(QStringLiteral("Beta"), Ord(1), 0, "10"),
        Res(Ord(10), QStringLiteral("A"), 0x409, "11"),     Res(Ord(10), Ord(2), 0x407, "12"),
        Res(Ord(10), Ord(2), 0, "13"),
    };
    // Names by their upper-cased UTF-16 units ("_" 0x5F sorts after "A" 0x41 once upper-cased), a shorter
    // prefix first, names equal but for case in a fixed order; then ids; languages ascending.
    const QList<TPEResource> expected = {
        Res(QStringLiteral("alpha"), Ord(1), 0, "8"),       Res(QStringLiteral("Beta"), Ord(1), 0, "10"),
        Res(QStringLiteral("ZETA"), Ord(1), 0, "3"),        Res(Ord(3), Ord(1), 0, "6"),
        Res(Ord(10), QStringLiteral("A"), 0x409, "11"),     Res(Ord(10), QStringLiteral("a"), 0x409, "7"),
        Res(Ord(10), QStringLiteral("ab"), 0x409, "5"),     Res(Ord(10), QStringLiteral("b"), 0x409, "1"),
        Res(Ord(10), QStringLiteral("_x"), 0x409, "4"),     Res(Ord(10), Ord(2), 0, "13"),
        Res(Ord(10), Ord(2), 0x407, "12"),                  Res(Ord(10), Ord(2), 0x409, "9"),
        Res(Ord(10), Ord(5), 0x409, "2"),
    };
    for (bool is64 : {false, true}) {
        const QByteArray out = ReplacePEResources(ResourceImage(MinimalDirectory(0x1000), is64).Build(), input);
        EXPECT_EQ(Describe(TPEImage(out).Resources()), Describe(expected)) << (is64 ? "PE32+" : "PE32");
    }
}

TEST(PEImage, WritesDeterministicHeadersAndAlignedData)
{
    const QByteArray out = ReplacePEResources(ResourceImage(MinimalDirectory(0x1000)).Build(),
                                              {Res(QStringLiteral("T"), QStringLiteral("N"), 1, "odd"),
                                               Res(QStringLiteral("T"), QStringLiteral("M"), 1, "x")});
    const TPEImage image(out);
    const int64_t root = image.RvaToOffset(image.DataDirectory(TPEImage::ddResource).VirtualAddress, 16);
    ASSERT_GE(root, 0);
    // Characteristics, time stamp and version of the root are zero: equal input, equal output.
    EXPECT_EQ(out.mid(root, 12), QByteArray(12, '\0'));
    EXPECT_EQ(ReplacePEResources(image.Data(), image.Resources()), out);
    // Walk to each data entry: RVAs aligned to 8, code page 0, the name stored without terminator.
    const int64_t typeTable = root + (Get32(out, root + 20) & 0x7FFFFFFF);
    const uint32_t typeName = Get32(out, root + 16) & 0x7FFFFFFF;
    EXPECT_EQ(out.mid(root + typeName, 4), QByteArray("\x01\0T\0", 4));
    for (int i = 0; i < 2; ++i) {
        const int64_t languages = root + (Get32(out, typeTable + 20 + 8 * i) & 0x7FFFFFFF);
        const int64_t entry = root + Get32(out, languages + 20);
        EXPECT_EQ(Get32(out, entry) % 8, 0u);
        EXPECT_EQ(Get32(out, entry + 8), 0u);
    }
}

TEST(PEImage, LaterDuplicatesReplaceEarlierOnes)
{
    const QList<TPEResource> input = {Res(Ord(10), QStringLiteral("NAME"), 0x409, "first"),
                                      Res(Ord(10), QStringLiteral("NAME"), 0x407, "other language"),
                                      Res(Ord(10), QStringLiteral("NAME"), 0x409, "second")};
    QStringList warnings;
    const QByteArray out = ReplacePEResources(ResourceImage(MinimalDirectory(0x1000)).Build(), input,
                                              [&](const QString& w) { warnings.append(w); });
    EXPECT_EQ(Describe(TPEImage(out).Resources()),
              (QStringList{Line(Ord(10), "NAME", 0x407, "other language"), Line(Ord(10), "NAME", 0x409, "second")}));
    EXPECT_EQ(warnings, QStringList{QStringLiteral(
                            "The resource 10 \"NAME\", language 1033, is listed more than once; the last one was saved.")});
}

TEST(PEImage, RejectsIdentifiersTheDirectoryCannotHold)
{
    const QByteArray image = ResourceImage(MinimalDirectory(0x1000)).Build();
    const QString badOrdinal = QString(QChar(char16_t(0xFFFF))) + QStringLiteral("ab");
    struct Case {
        const char* Name;
        TPEResource Resource;
        const char* Message;
    } cases[] = {
        {"empty type", Res(QString(), Ord(1), 0, "x"), "A resource type is empty."},
        {"empty name", Res(Ord(10), QString(), 0, "x"), "A resource name is empty."},
        {"malformed ordinal", Res(Ord(10), badOrdinal, 0, "x"), "A resource name is not a valid identifier."},
        {"name too long", Res(Ord(10), QString(70000, 'N'), 0, "x"), "longer than 65535 characters"},
    };
    for (const Case& c : cases) {
        const QString message = ErrorOf([&] { ReplacePEResources(image, {c.Resource}); });
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.Message))) << c.Name << ": " << message.toStdString();
    }
}

TEST(PEImage, RejectsTablesBeyondTheirCounts)
{
    // Every language id at once: one table with 65536 ids, one more than its count can say.
    QList<TPEResource> resources;
    for (uint32_t language = 0; language <= 0xFFFF; ++language)
        resources.append(Res(Ord(10), Ord(1), uint16_t(language), QByteArray()));
    const QByteArray image = ResourceImage(MinimalDirectory(0x1000)).Build();
    EXPECT_TRUE(ErrorOf([&] { ReplacePEResources(image, resources); }).contains("more than 65535 entries"));
    resources.removeLast();
    EXPECT_EQ(TPEImage(ReplacePEResources(image, resources)).Resources().size(), 0xFFFF);
}

TEST(PEImage, EmptyListDropsOrEmptiesTheDirectory)
{
    // No directory before: nothing to change.
    const QByteArray plain = CodeOnlyImage().Build();
    EXPECT_EQ(ReplacePEResources(plain, {}), plain);

    // An own section: an empty root in place.
    const QByteArray own = ResourceImage(MinimalDirectory(0x1000)).Build();
    const QByteArray emptied = ReplacePEResources(own, {});
    const TPEImage image(emptied);
    EXPECT_TRUE(image.Resources().isEmpty());
    EXPECT_EQ(image.DataDirectory(TPEImage::ddResource).VirtualAddress, 0x1000u);
    EXPECT_EQ(image.DataDirectory(TPEImage::ddResource).Size, 16u);
    EXPECT_EQ(image.Sections().size(), 1);
    EXPECT_EQ(emptied.size(), own.size());
    EXPECT_EQ(emptied.mid(0x400, 0x200), QByteArray(0x200, '\0'));

    // A directory inside another section: only its root is emptied, nothing else is touched.
    TImage shared;
    QByteArray data = QByteArray(0x20, 'D') + MinimalDirectory(0x1020);
    shared.Sections.append({".data", 0x1000, uint32_t(data.size()), data, 0xC0000040});
    shared.Directories[TPEImage::ddResource] = {0x1020, 0x5C};
    const QByteArray before = shared.Build();
    const QByteArray after = ReplacePEResources(before, {});
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(TPEImage(after).DataDirectory(TPEImage::ddResource).Size, 16u);
    EXPECT_EQ(after.mid(0x420, 16), QByteArray(16, '\0'));
    for (qsizetype i = 0; i < before.size(); ++i)
        if (before[i] != after[i] && (i < 0x420 || i >= 0x430)) {
            EXPECT_EQ(i, shared.DirectoryField(TPEImage::ddResource) + 4) << "changed byte " << std::hex << i;
        }
}

TEST(PEImage, InPlaceKeepsTheNextSectionAdjacent)
{
    // A large resource section followed by another: a small directory must not leave a gap in memory.
    TImage layout = ResourceImage(MinimalDirectory(0x1000) + QByteArray(0x2800, 'r'));
    layout.Sections[0].VirtualSize = 0x3000;
    layout.Sections.append({".data", 0x4000, 0x10, QByteArray(0x10, 'd'), 0xC0000040});
    const QByteArray before = layout.Build();
    const TPEImage image(ReplacePEResources(before, {Res(Ord(10), Ord(1), 0, "small")}));
    ASSERT_EQ(image.Sections().size(), 2);
    EXPECT_EQ(image.Data().size(), before.size());
    EXPECT_EQ(image.Sections()[0].VirtualSize, 0x3000u);
    EXPECT_EQ(image.DataDirectory(TPEImage::ddResource).Size, 96u);
    EXPECT_EQ(Describe(image.Resources()), QStringList{Line(Ord(10), Ord(1), 0, "small")});
}

// Growing the resource section moves what follows it in the file; the file offsets that point there move too.
TEST(PEImage, MovesFileOffsetsIntoMovedData)
{
    QByteArray debug(0x40, '\0');
    Put32(debug, 16, 8);         // the first entry's data: 8 bytes in the overlay (pointer set below)
    Put32(debug, 28 + 24, 0x10); // the second entry's data lies in the headers, which stay
    const QByteArray block("\0\x10\0\0\x0C\0\0\0\x08\xA0\0\0", 12); // page 0x1000, one fix-up
    for (bool beforeReloc : {false, true}) {
        SCOPED_TRACE(beforeReloc ? ".rsrc before .reloc" : ".rsrc last");
        TImage layout = ResourceImage(MinimalDirectory(0x2000));
        layout.Sections[0].VirtualAddress = 0x2000;
        layout.Directories[TPEImage::ddResource] = {0x2000, 0x5C};
        layout.Sections.prepend({".rdata", 0x1000, uint32_t(debug.size()), debug});
        layout.Directories[TPEImage::ddDebug] = {0x1000, 2 * 28};
        if (beforeReloc) {
            layout.Sections.append({".reloc", 0x3000, 0x0C, block, 0x42000040});
            layout.Directories[TPEImage::ddBaseReloc] = {0x3000, 0x0C};
        }
        layout.Overlay = "SYMBOLS!DEBUGDAT";
        QByteArray before = layout.Build();
        const qsizetype overlay = before.size() - layout.Overlay.size();
        Put32(before, PeOffset + 12, uint32_t(overlay));
        Put32(before, 0x400 + 24, uint32_t(overlay + 8));

        const QByteArray after = ReplacePEResources(before, {Res(Ord(10), Ord(1), 0, QByteArray(0x3000, 'b'))});
        const TPEImage image(after);
        EXPECT_EQ(after.mid(Get32(after, PeOffset + 12), 8), "SYMBOLS!");
        const int64_t entries = image.RvaToOffset(0x1000, 2 * 28);
        ASSERT_GE(entries, 0);
        EXPECT_EQ(after.mid(Get32(after, entries + 24), 8), "DEBUGDAT");
        EXPECT_EQ(Get32(after, entries + 28 + 24), 0x10u);
        EXPECT_EQ(Describe(image.Resources()), QStringList{Line(Ord(10), Ord(1), 0, QByteArray(0x3000, 'b'))});
        if (beforeReloc) {
            EXPECT_EQ(image.Sections().last().VirtualAddress, 0x6000u);
            EXPECT_EQ(image.DataDirectory(TPEImage::ddBaseReloc).VirtualAddress, 0x6000u);
            EXPECT_EQ(DirectoryBytes(image, TPEImage::ddBaseReloc), block);
        }
    }
}

TEST(PEImage, AppendsASectionWhenTheResourceSectionHoldsMore)
{
    // Another data directory inside the resource section: it is not ours to rewrite.
    for (bool is64 : {false, true}) {
        SCOPED_TRACE(is64 ? "PE32+" : "PE32");
        TImage layout = ResourceImage(MinimalDirectory(0x1000) + QByteArray(0x40, 'g'), is64);
        layout.Directories[TPEImage::ddDebug] = {0x1060, 0x1C};
        const QByteArray before = layout.Build();
        const QByteArray after = ReplacePEResources(before, SampleResources());
        const TPEImage image(after);
        ASSERT_EQ(image.Sections().size(), 2);
        const TPESection& added = image.Sections()[1];
        EXPECT_EQ(added.Name, QByteArray(".rsrc\0\0\0", 8));
        EXPECT_EQ(added.Characteristics, 0x40000040u);
        EXPECT_EQ(added.VirtualAddress, 0x2000u);
        EXPECT_EQ(added.PointerToRawData, uint32_t(before.size()));
        EXPECT_EQ(image.DataDirectory(TPEImage::ddResource).VirtualAddress, 0x2000u);
        EXPECT_EQ(image.SizeOfImage(), AlignUp(0x2000 + added.VirtualSize, 0x1000));
        EXPECT_EQ(Get32(after, OptionalHeader + 8), Get32(before, OptionalHeader + 8) + added.SizeOfRawData);
        EXPECT_EQ(after.mid(0x400, 0x200), before.mid(0x400, 0x200)); // the old section stays
        EXPECT_EQ(Sorted(Describe(image.Resources())), Sorted(Describe(SampleResources())));
    }
}

// The resource section grows by moving what follows it only when nothing can tell: the sections after it
// are ones the loader may drop, nothing points into them and no base relocation patches them.
TEST(PEImage, MovesOnlySectionsNothingPointsInto)
{
    const auto relocBlock = [](uint32_t page) {
        QByteArray block(12, '\0');
        Put32(block, 0, page);
        Put32(block, 4, 12);
        Put16(block, 8, 0xA010);
        return block;
    };
    const auto layout = [&](uint32_t debugCharacteristics, uint32_t relocPage) {
        TImage image;
        image.Sections.append({".text", 0x1000, 0x10, QByteArray(16, '\xC3'), 0x60000020});
        image.Sections.append({".rsrc", 0x2000, 0x5C, MinimalDirectory(0x2000)});
        image.Sections.append({".debug", 0x3000, 0x20, QByteArray("DEBUG INFORMATION, 32 BYTES LONG"),
                               debugCharacteristics});
        image.Sections.append({".reloc", 0x4000, 12, relocBlock(relocPage), 0x42000040});
        image.Directories[TPEImage::ddResource] = {0x2000, 0x5C};
        image.Directories[TPEImage::ddBaseReloc] = {0x4000, 12};
        image.Overlay = "OVERLAY";
        return image;
    };
    TImage debugDirectory = layout(0x42000040, 0x1000);
    debugDirectory.Directories[TPEImage::ddDebug] = {0x3000, 28};
    struct Case {
        const char* Name;
        TImage Layout;
        bool Moves;
    } cases[] = {
        {"dropped by the loader, unreferenced", layout(0x42000040, 0x1000), true},
        {"kept by the loader", layout(0x40000040, 0x1000), false},
        {"holding the debug directory", debugDirectory, false},
        {"patched by base relocations", layout(0x42000040, 0x3000), false},
    };
    QList<TPEResource> resources = SampleResources();
    resources.append(Res(Ord(10), QStringLiteral("BIG"), 0, QByteArray(0x1800, 'b')));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const QByteArray before = c.Layout.Build();
        const QByteArray after = ReplacePEResources(before, resources);
        const TPEImage image(after);
        EXPECT_EQ(Sorted(Describe(image.Resources())), Sorted(Describe(resources)));
        if (!c.Moves) {
            // A new section, the old ones where they were.
            ASSERT_EQ(image.Sections().size(), 5);
            EXPECT_EQ(image.DataDirectory(TPEImage::ddResource).VirtualAddress, 0x5000u);
            EXPECT_EQ(after.left(0xC00).mid(0x400), before.left(0xC00).mid(0x400));
            continue;
        }
        EXPECT_TRUE(after.endsWith("OVERLAY"));
        ASSERT_EQ(image.Sections().size(), 4);
        const TPESection& rsrc = image.Sections()[1];
        const TPESection& debug = image.Sections()[2];
        const TPESection& reloc = image.Sections()[3];
        EXPECT_EQ(rsrc.PointerToRawData, 0x600u);
        EXPECT_EQ(rsrc.SizeOfRawData, 0x1A00u);
        EXPECT_EQ(debug.VirtualAddress, 0x4000u);
        EXPECT_EQ(debug.PointerToRawData, 0x2000u);
        EXPECT_EQ(after.mid(debug.PointerToRawData, 32), QByteArray("DEBUG INFORMATION, 32 BYTES LONG"));
        EXPECT_EQ(reloc.VirtualAddress, 0x5000u);
        EXPECT_EQ(image.DataDirectory(TPEImage::ddBaseReloc).VirtualAddress, 0x5000u);
        EXPECT_EQ(after.mid(reloc.PointerToRawData, 12), relocBlock(0x1000));
        EXPECT_EQ(image.SizeOfImage(), 0x6000u);
        EXPECT_EQ(after.size(), before.size() + 0x1800);
    }
}

// The writer takes the new file in two parts, the unchanged end straight from the source: together they are
// the file ReplacePEResources makes, the checksum included.
TEST(PEImage, HandsTheUnchangedEndOverInPlace)
{
    TImage layout = ResourceImage(MinimalDirectory(0x1000));
    layout.Sections.append({".reloc", 0x2000, 12, QByteArray("RELOCATIONS!"), 0x42000040});
    layout.Directories[TPEImage::ddBaseReloc] = {0x2000, 12};
    layout.Overlay = QByteArray(0x900, 'o');
    layout.CheckSum = 1;
    const QByteArray before = layout.Build();
    struct Case {
        const char* Name;
        QList<TPEResource> Resources;
        int64_t TailStart;
    } cases[] = {
        {"rewritten in place", SampleResources(), 0x600},
        {"grown, .reloc moved up", {Res(Ord(10), Ord(1), 0, QByteArray(0x1000, 'g'))}, 0x600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TPEImageParts parts = ReplacePEResourcesInParts(before, c.Resources);
        EXPECT_EQ(parts.TailStart, c.TailStart);
        EXPECT_EQ(parts.TailSize, before.size() - c.TailStart);
        const QByteArray whole = parts.Head + before.mid(parts.TailStart, parts.TailSize);
        EXPECT_EQ(whole, ReplacePEResources(before, c.Resources));
        const TPEImage image(whole);
        EXPECT_EQ(image.CheckSum(), ReferenceCheckSum(whole, OptionalHeader + 64));
        EXPECT_EQ(Sorted(Describe(image.Resources())), Sorted(Describe(c.Resources)));
    }
}

TEST(PEImage, NeedsFortyFreeHeaderBytesForANewSection)
{
    struct Case {
        const char* Name;
        std::function<void(TImage&, QByteArray&)> Prepare;
        bool Works;
    } cases[] = {
        {"free room", [](TImage&, QByteArray&) {}, true},
        {"room taken", [](TImage& s, QByteArray& d) { d.replace(s.SectionTableEnd() + 39, 1, "\xCC"); }, false},
        {"headers end too early",
         [](TImage& s, QByteArray& d) { Put32(d, OptionalHeader + 60, uint32_t(s.SectionTableEnd() + 39)); }, false},
        {"bound imports in the room",
         [](TImage& s, QByteArray& d) {
             d.replace(s.SectionTableEnd(), 0x30, QByteArray(0x30, '\xCC'));
             Put32(d, s.DirectoryField(TPEImage::ddBoundImport), uint32_t(s.SectionTableEnd()));
             Put32(d, s.DirectoryField(TPEImage::ddBoundImport) + 4, 0x30);
         },
         true},
        {"bound imports and more",
         [](TImage& s, QByteArray& d) {
             d.replace(s.SectionTableEnd(), 0x40, QByteArray(0x40, '\xCC'));
             Put32(d, s.DirectoryField(TPEImage::ddBoundImport), uint32_t(s.SectionTableEnd()));
             Put32(d, s.DirectoryField(TPEImage::ddBoundImport) + 4, 0x10);
         },
         false},
    };
    for (bool is64 : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.Name) + (is64 ? " PE32+" : " PE32"));
            TImage layout = CodeOnlyImage(is64);
            QByteArray before = layout.Build();
            c.Prepare(layout, before);
            if (!c.Works) {
                EXPECT_EQ(ErrorOf([&] { ReplacePEResources(before, SampleResources()); }),
                          QStringLiteral("No room in the file header for a new section"));
                continue;
            }
            const TPEImage image(ReplacePEResources(before, SampleResources()));
            EXPECT_EQ(image.Sections().size(), 2);
            EXPECT_EQ(image.DataDirectory(TPEImage::ddBoundImport).VirtualAddress, 0u);
            EXPECT_EQ(Sorted(Describe(image.Resources())), Sorted(Describe(SampleResources())));
        }
}

TEST(PEImage, ComputesTheImageCheckSum)
{
    struct Case {
        QByteArray Data;
        qsizetype Field;
        uint32_t Expected;
    } cases[] = {
        {QByteArray(), 0, 0},
        {QByteArray("\x01\x02", 2), 8, 0x0201 + 2},
        {QByteArray("\xFF\xFF\x01\x00", 4), 8, 1 + 4}, // the carry folds back in
        {QByteArray("\xFF\xFF\xFF\xFF\x03", 5), 8, 3 + 5},
        {QByteArray("\x10\x00\xAA\xBB\xCC\xDD\x20\x00", 8), 2, 0x30 + 8}, // the field counts as zero
    };
    for (const Case& c : cases)
        EXPECT_EQ(TPEImage::ComputeCheckSum(c.Data, c.Field), c.Expected) << c.Data.toHex().toStdString();
}

TEST(PEImage, RecomputesANonZeroCheckSumAndKeepsAZeroOne)
{
    for (uint32_t initial : {0u, 1u}) {
        TImage layout = ResourceImage(MinimalDirectory(0x1000));
        layout.CheckSum = initial;
        layout.Overlay = "odd"; // an odd length exercises the last half word
        const QByteArray out = ReplacePEResources(layout.Build(), SampleResources());
        EXPECT_EQ(TPEImage(out).CheckSum(), initial ? ReferenceCheckSum(out, OptionalHeader + 64) : 0u);
    }
}

TEST(PEImage, DropsTheCertificateTableWithAWarning)
{
    const QByteArray certificate = QByteArray("\x18\0\0\0\0\x02\x02\0", 8) + QByteArray(16, '\xAB');
    struct Case {
        const char* Name;
        bool AtEnd;
    } cases[] = {{"at the end", true}, {"followed by other data", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TImage layout = ResourceImage(MinimalDirectory(0x1000));
        layout.Overlay = "OVERLAY!";
        const uint32_t at = uint32_t(layout.Build().size());
        layout.Overlay += certificate;
        if (!c.AtEnd) layout.Overlay += "TRAILING DATA";
        layout.Directories[TPEImage::ddSecurity] = {at, uint32_t(certificate.size())};
        QStringList warnings;
        const QByteArray out = ReplacePEResources(layout.Build(), SampleResources(),
                                                  [&](const QString& w) { warnings.append(w); });
        EXPECT_EQ(warnings, QStringList{QString::fromLatin1(SignatureRemoved)});
        const TPEImage image(out);
        EXPECT_EQ(image.DataDirectory(TPEImage::ddSecurity).VirtualAddress, 0u);
        EXPECT_EQ(image.DataDirectory(TPEImage::ddSecurity).Size, 0u);
        EXPECT_EQ(out.contains(certificate), !c.AtEnd);
        EXPECT_TRUE(out.endsWith(c.AtEnd ? QByteArray("OVERLAY!") : certificate + "TRAILING DATA"));
        EXPECT_EQ(Sorted(Describe(image.Resources())), Sorted(Describe(SampleResources())));
    }
    // Without a certificate there is nothing to say.
    QStringList warnings;
    ReplacePEResources(ResourceImage(MinimalDirectory(0x1000)).Build(), SampleResources(),
                       [&](const QString& w) { warnings.append(w); });
    EXPECT_TRUE(warnings.isEmpty());
}

TEST(PEImage, RejectsImagesItCannotLayOut)
{
    TImage overlapping = CodeOnlyImage();
    overlapping.Sections.append({".data", 0x1008, 0x10, QByteArray(0x10, 'd')});
    QByteArray badAlignment = CodeOnlyImage().Build();
    Put32(badAlignment, OptionalHeader + 36, 0x300);
    QByteArray noEntry = CodeOnlyImage().Build();
    Put32(noEntry, OptionalHeader + 108, 2);
    // No section alignment, and a directory entry with a size but no address.
    QByteArray noSectionAlignment = CodeOnlyImage().Build();
    Put32(noSectionAlignment, OptionalHeader + 32, 0);
    Put32(noSectionAlignment, CodeOnlyImage().DirectoryField(TPEImage::ddResource) + 4, 0x5C);
    // Section data that starts inside the headers: at 0, on the PE header, on the section table.
    const TImage resources = ResourceImage(MinimalDirectory(0x1000));
    const auto dataAt = [&](uint32_t offset) {
        QByteArray image = resources.Build();
        Put32(image, resources.SectionTable() + 20, offset);
        return image;
    };
    // No sections: the directory lies in the headers, after the section table.
    TImage inHeaders;
    inHeaders.Directories[TPEImage::ddResource] = {0x300, 0x5C};
    QByteArray directoryInHeaders = inHeaders.Build();
    directoryInHeaders.replace(0x300, 0x5C, MinimalDirectory(0x300));
    struct Case {
        const char* Name;
        QByteArray Image;
        const char* Message;
        bool EvenWhenEmptied;
    } cases[] = {
        {"overlapping sections", overlapping.Build(), "The sections at RVA 0x1000 and 0x1008 overlap.", false},
        {"file alignment not a power of two", badAlignment, "invalid section or file alignment (0x1000, 0x300)",
         false},
        {"no section alignment", noSectionAlignment, "invalid section or file alignment (0x0, 0x200)", true},
        {"no resource directory entry", noEntry, "has no entry for a resource directory", false},
        {"section data at offset 0", dataAt(0),
         "The data of section \".rsrc\" at offset 0x0 lies inside the headers, which end at offset 0x1B0.", true},
        {"section data on the PE header", dataAt(PeOffset),
         "The data of section \".rsrc\" at offset 0x80 lies inside the headers", true},
        {"section data on the section table", dataAt(uint32_t(resources.SectionTable() + 8)),
         "The data of section \".rsrc\" at offset 0x190 lies inside the headers", true},
        {"directory in the headers", directoryInHeaders,
         "The resource directory at RVA 0x300 (data directory 2) lies inside the headers.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        QList<QList<TPEResource>> lists = {SampleResources()};
        if (c.EvenWhenEmptied) lists.append(QList<TPEResource>());
        for (const QList<TPEResource>& list : lists) {
            const QString message = ErrorOf([&] { ReplacePEResources(c.Image, list); });
            EXPECT_TRUE(message.contains(QString::fromUtf8(c.Message))) << message.toStdString();
        }
    }
    // Data right after the section table is no trouble.
    const QByteArray tight = dataAt(uint32_t(resources.SectionTableEnd()));
    EXPECT_EQ(ErrorOf([&] { ReplacePEResources(tight, SampleResources()); }), QStringLiteral("<no error>"));
}

// ---------------------------------------------------------------------------------------------------
// Against modules the mingw tool chains link, checked with llvm-readobj, objdump and wine.

struct TDumpedResource {
    QString Type;
    QString Name;
    uint16_t Language = 0;
    uint32_t DataRva = 0;
    QByteArray Data;
};

QString DumpedIdent(const QString& text)
{
    // "RCDATA (ID 10)", "(ID 1)" and "ID 256" are ids; anything else is a name.
    static const QRegularExpression id(QStringLiteral(R"(^(?:.*\()?ID (\d+)\)?$)"));
    const QRegularExpressionMatch m = id.match(text);
    return m.hasMatch() ? Ord(uint16_t(m.captured(1).toUInt())) : text;
}

// llvm-readobj dumps every section named ".rsrc"; keep the one whose table starts at file offset `base`.
QList<TDumpedResource> ParseReadobjResources(const QByteArray& output, int64_t base)
{
    static const QRegularExpression level(QStringLiteral(R"(^\s*(Type|Name|Language): (.*) \[$)"));
    static const QRegularExpression field(QStringLiteral(R"(^\s*(Base Table Address|DataRVA): 0x([0-9A-Fa-f]+)$)"));
    QList<TDumpedResource> result;
    QString type, name;
    bool inBlock = false;
    bool inData = false;
    for (const QByteArray& raw : output.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (inData) {
            if (line.trimmed() == QLatin1String(")")) {
                inData = false;
                continue;
            }
            const qsizetype colon = line.indexOf(QLatin1String(": "));
            const qsizetype bar = line.indexOf(QLatin1Char('|'));
            if (colon > 0 && bar > colon)
                result.last().Data += QByteArray::fromHex(line.mid(colon + 2, bar - colon - 2).remove(' ').toLatin1());
            continue;
        }
        if (const QRegularExpressionMatch f = field.match(line); f.hasMatch()) {
            const uint32_t value = f.captured(2).toUInt(nullptr, 16);
            if (f.captured(1) == QLatin1String("Base Table Address"))
                inBlock = value == base;
            else if (inBlock && !result.isEmpty())
                result.last().DataRva = value;
        } else if (!inBlock) {
            continue;
        } else if (const QRegularExpressionMatch m = level.match(line); m.hasMatch()) {
            if (m.captured(1) == QLatin1String("Type")) type = DumpedIdent(m.captured(2));
            if (m.captured(1) == QLatin1String("Name")) name = DumpedIdent(m.captured(2));
            if (m.captured(1) == QLatin1String("Language")) {
                TDumpedResource r;
                r.Type = type;
                r.Name = name;
                r.Language = DumpedIdent(m.captured(2)).at(1).unicode();
                result.append(r);
            }
        } else if (line.trimmed() == QLatin1String("Data (") && !result.isEmpty()) {
            inData = true;
        }
    }
    return result;
}

// Empty when equal, else the first line that differs (tool dumps are too long to print whole).
std::string FirstDifference(const QByteArray& a, const QByteArray& b)
{
    const QList<QByteArray> left = a.split('\n');
    const QList<QByteArray> right = b.split('\n');
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const QByteArray l = left.value(i, "<end>");
        const QByteArray r = right.value(i, "<end>");
        if (l != r) return "line " + std::to_string(i + 1) + ": " + l.toStdString() + " | " + r.toStdString();
    }
    return {};
}

QString SectionName(const TPESection& s) { return QString::fromLatin1(s.Name).remove(QChar(0)); }

int SectionAt(const TPEImage& image, uint32_t rva)
{
    for (int i = 0; i < image.Sections().size(); ++i) {
        const TPESection& s = image.Sections()[i];
        if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.VirtualSize, s.SizeOfRawData)) return i;
    }
    return -1;
}

QList<TPEResource> LargeResources()
{
    QByteArray big(40000, '\0');
    for (qsizetype i = 0; i < big.size(); ++i) big[i] = char(i * 7 + i / 251);
    return {Res(Ord(10), QStringLiteral("BIG"), 0x409, big),
            Res(QStringLiteral("PNG"), QStringLiteral("LOGO"), 0x409, QByteArray("\x89PNG\r\n\x1a\nxx", 10)),
            Res(Ord(6), Ord(1), 0x407, QByteArray(34, 's')),
            Res(Ord(10), QStringLiteral("ALPHA"), 0x409, "alpha us"),
            Res(Ord(10), QStringLiteral("ALPHA"), 0x407, "alpha de"),
            Res(Ord(10), QStringLiteral("ALPHA"), 0, "alpha neutral"),
            Res(Ord(10), QStringLiteral("EMPTY"), 0, QByteArray()),
            Res(Ord(0x100), Ord(3), 0x409, "user type by id")};
}

QList<TPEResource> SmallResources() { return {Res(Ord(10), Ord(1), 0x409, "tiny")}; }

struct TArch {
    const char* Name;
    bool Is64;
    const char* Gcc;
    const char* Windres;
};
const TArch Arches[] = {{"PE32", false, "i686-w64-mingw32-gcc", "i686-w64-mingw32-windres"},
                        {"PE32+", true, "x86_64-w64-mingw32-gcc", "x86_64-w64-mingw32-windres"}};

struct TModules {
    QByteArray App;      // not stripped: .rsrc, .reloc, debug sections, COFF symbols
    QByteArray Stripped; // .rsrc followed by .reloc
    QByteArray Last;     // .rsrc is the last section
    QByteArray Dll;      // .rsrc followed by .reloc
    QByteArray Plain;    // no resources
    QByteArray Show;     // prints two RCDATA resources
    QByteArray ShowDebug; // the same, not stripped: debug sections after .reloc
};

const char* const ResourceScript = R"(LANGUAGE 9, 1
1 RCDATA { "hello" }
ALPHA RCDATA { "alpha data" }
STRINGTABLE { 1, "one" 2, "two" }
LOGO PNG "logo.png"
LANGUAGE 7, 1
1 RCDATA { "hallo" }
)";

const char* const MainSource = R"(#include <stdio.h>
int main(void) { printf("atelier says hi\n"); return 0; }
)";

const char* const DllSource = R"(__declspec(dllexport) int answer(void) { return 42; }
)";

const char* const ShowSource = R"(#include <windows.h>
#include <stdio.h>
static void show(const wchar_t* name)
{
    HRSRC r = FindResourceW(NULL, name, MAKEINTRESOURCEW(10));
    if (!r) { printf("missing\n"); return; }
    printf("%.*s\n", (int)SizeofResource(NULL, r), (const char*)LockResource(LoadResource(NULL, r)));
}
int main(void) { show(L"GREETING"); show(MAKEINTRESOURCEW(7)); return 0; }
)";

class PEInterop : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Dir = std::make_unique<QTemporaryDir>();
        QStringList tools = {QStringLiteral("llvm-readobj"), QStringLiteral("x86_64-w64-mingw32-objdump")};
        for (const TArch& arch : Arches) tools << QString::fromLatin1(arch.Gcc) << QString::fromLatin1(arch.Windres);
        for (const QString& tool : tools) {
            const QString path = FindPeerTool(tool);
            if (path.isEmpty()) {
                Missing = tool + QStringLiteral(" is not installed");
                return;
            }
            Tools[tool] = path;
        }
        const QDir dir(Dir->path());
        const auto write = [&](const char* name, const QByteArray& data) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            if (file.open(QIODevice::WriteOnly)) file.write(data);
        };
        write("res.rc", ResourceScript);
        write("logo.png", QByteArray("\x89PNG\r\n\x1a\nxx", 10));
        write("main.c", MainSource);
        write("lib.c", DllSource);
        write("show.c", ShowSource);

        // Compile the scripts, then link every module at once.
        struct TJob {
            QString Program;
            QStringList Arguments;
        };
        std::vector<TJob> compile, link;
        for (const TArch& arch : Arches) {
            const QString a = QString::fromLatin1(arch.Is64 ? "64" : "32");
            const QString gcc = Tools[QString::fromLatin1(arch.Gcc)];
            const QString res = QStringLiteral("res%1.o").arg(a);
            compile.push_back({Tools[QString::fromLatin1(arch.Windres)], {"res.rc", "-O", "coff", "-o", res}});
            link.push_back({gcc, {"-o", "app" + a + ".exe", "main.c", res}});
            link.push_back({gcc, {"-s", "-o", "stripped" + a + ".exe", "main.c", res}});
            link.push_back({gcc, {"-s", "-Wl,--disable-dynamicbase,--disable-reloc-section", "-o", "last" + a + ".exe",
                                  "main.c", res}});
            link.push_back({gcc, {"-s", "-shared", "-o", "lib" + a + ".dll", "lib.c", res}});
            link.push_back({gcc, {"-s", "-o", "plain" + a + ".exe", "main.c"}});
            link.push_back({gcc, {"-s", "-o", "show" + a + ".exe", "show.c", res}});
            link.push_back({gcc, {"-g", "-o", "showdebug" + a + ".exe", "show.c", res}});
        }
        for (const auto* jobs : {&compile, &link}) {
            std::vector<std::unique_ptr<QProcess>> running;
            for (const TJob& job : *jobs) {
                running.push_back(std::make_unique<QProcess>());
                running.back()->setWorkingDirectory(Dir->path());
                running.back()->setProcessChannelMode(QProcess::MergedChannels);
                running.back()->start(job.Program, job.Arguments);
            }
            for (size_t i = 0; i < running.size(); ++i) {
                QProcess& p = *running[i];
                if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
                    Failure += QStringLiteral("%1 %2 failed: %3\n")
                                   .arg((*jobs)[i].Program, (*jobs)[i].Arguments.join(' '),
                                        QString::fromLocal8Bit(p.readAll()));
            }
            if (!Failure.isEmpty()) return;
        }
        const auto read = [&](const QString& name) {
            QFile file(dir.filePath(name));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        for (const TArch& arch : Arches) {
            const QString a = QString::fromLatin1(arch.Is64 ? "64" : "32");
            Modules[arch.Is64] = {read("app" + a + ".exe"),  read("stripped" + a + ".exe"), read("last" + a + ".exe"),
                                  read("lib" + a + ".dll"), read("plain" + a + ".exe"),    read("show" + a + ".exe"),
                                  read("showdebug" + a + ".exe")};
        }
    }

    static void TearDownTestSuite()
    {
        Dir.reset();
        Tools.clear();
    }

    void SetUp() override
    {
        if (!Missing.isEmpty()) GTEST_SKIP() << Missing.toStdString();
        ASSERT_TRUE(Failure.isEmpty()) << Failure.toStdString();
    }

    static QString Tool(const char* name) { return Tools.value(QString::fromLatin1(name)); }

    static QString Save(const QByteArray& data, const QString& suffix = QStringLiteral(".exe"))
    {
        const QString path = QDir(Dir->path()).filePath(QStringLiteral("check%1%2").arg(++Saved).arg(suffix));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
        return path;
    }

    static QByteArray Readobj(const QByteArray& image, const QStringList& options)
    {
        const TPeerToolResult r = RunPeerTool(Tool("llvm-readobj"), options + QStringList{Save(image)});
        EXPECT_TRUE(r.Ok()) << r.Describe().toStdString();
        // The file name line differs between calls.
        QList<QByteArray> lines = r.Out.split('\n');
        lines.removeIf([](const QByteArray& l) { return l.startsWith("File: "); });
        return lines.join('\n');
    }

    // What llvm-readobj finds equals what our reader finds, in the same order.
    static void ExpectReadobjAgrees(const QByteArray& image)
    {
        const TPEImage parsed(image);
        const QList<TPEResource> ours = parsed.Resources();
        const int64_t base = parsed.RvaToOffset(parsed.DataDirectory(TPEImage::ddResource).VirtualAddress, 16);
        const QList<TDumpedResource> theirs = ParseReadobjResources(Readobj(image, {"--coff-resources"}), base);
        QStringList lines;
        for (const TDumpedResource& r : theirs) {
            lines.append(Line(r.Type, r.Name, r.Language, r.Data));
            EXPECT_EQ(r.DataRva % 4, 0u) << Line(r.Type, r.Name, r.Language, r.Data).toStdString();
        }
        EXPECT_EQ(lines, Describe(ours));
    }

    // The rewritten module holds exactly `expected`, the tools still read it, its sections are laid out as
    // the loader demands and the imports, exports and base relocations did not change.
    static void ExpectSound(const QByteArray& before, const QByteArray& after, const QList<TPEResource>& expected)
    {
        const TPEImage image(after);
        EXPECT_EQ(Sorted(Describe(image.Resources())), Sorted(Describe(expected)));
        ExpectReadobjAgrees(after);
        if (TPEImage(before).CheckSum() != 0) {
            EXPECT_EQ(image.CheckSum(), ReferenceCheckSum(after, image.OptionalHeaderOffset() + 64));
        }

        const TPeerToolResult dump = RunPeerTool(Tool("x86_64-w64-mingw32-objdump"), {"-p", Save(after)});
        EXPECT_TRUE(dump.Ok() && dump.Err.isEmpty()) << dump.Describe().toStdString();

        const QStringList others = {"--coff-imports", "--coff-exports", "--coff-basereloc"};
        EXPECT_EQ(FirstDifference(Readobj(after, others), Readobj(before, others)), std::string());
        EXPECT_EQ(DirectoryBytes(image, TPEImage::ddBaseReloc),
                  DirectoryBytes(TPEImage(before), TPEImage::ddBaseReloc));

        // Sections follow each other in memory without gaps; raw data lies in the file.
        const QList<TPESection>& sections = image.Sections();
        const uint32_t alignment = image.SectionAlignment();
        for (int i = 0; i < sections.size(); ++i) {
            const TPESection& s = sections[i];
            const uint32_t size = s.VirtualSize ? s.VirtualSize : s.SizeOfRawData;
            if (i + 1 < sections.size())
                EXPECT_EQ(sections[i + 1].VirtualAddress, AlignUp(s.VirtualAddress + size, alignment))
                    << SectionName(s).toStdString();
            else
                EXPECT_EQ(image.SizeOfImage(), AlignUp(s.VirtualAddress + size, alignment));
            EXPECT_LE(uint64_t(s.PointerToRawData) + s.SizeOfRawData, uint64_t(after.size()));
        }
    }

    static inline std::unique_ptr<QTemporaryDir> Dir;
    static inline QHash<QString, QString> Tools;
    static inline QString Missing;
    static inline QString Failure;
    static inline TModules Modules[2];
    static inline int Saved = 0;
};

TEST_F(PEInterop, ReadsTheResourcesTheLinkerPutIn)
{
    const QList<TPEResource> expected = {
        Res(QStringLiteral("PNG"), QStringLiteral("LOGO"), 0x409, QByteArray("\x89PNG\r\n\x1a\nxx", 10)),
        Res(Ord(10), QStringLiteral("ALPHA"), 0x409, "alpha data"),
        Res(Ord(10), Ord(1), 0x407, "hallo"),
        Res(Ord(10), Ord(1), 0x409, "hello"),
    };
    for (const TArch& arch : Arches) {
        const TModules& m = Modules[arch.Is64];
        for (const QByteArray* module : {&m.App, &m.Stripped, &m.Last, &m.Dll}) {
            SCOPED_TRACE(arch.Name);
            const TPEImage image(*module);
            EXPECT_EQ(image.Is64(), arch.Is64);
            EXPECT_EQ(image.Machine(), arch.Is64 ? 0x8664 : 0x14C);
            QList<TPEResource> resources = image.Resources();
            ASSERT_EQ(resources.size(), 5);
            // The string table block is checked by llvm-readobj below; the rest against the script.
            EXPECT_EQ(resources[1].Type, Ord(6));
            resources.removeAt(1);
            EXPECT_EQ(Describe(resources), Describe(expected));
            ExpectReadobjAgrees(*module);
        }
        EXPECT_TRUE(TPEImage(m.Plain).Resources().isEmpty());
    }
}

TEST_F(PEInterop, RewritesInPlaceWhenTheResourcesFit)
{
    for (const TArch& arch : Arches)
        for (const QByteArray* module : {&Modules[arch.Is64].Stripped, &Modules[arch.Is64].Dll}) {
            SCOPED_TRACE(arch.Name);
            const TPEImage before(*module);
            const QByteArray after = ReplacePEResources(*module, SmallResources());
            const TPEImage image(after);
            EXPECT_EQ(after.size(), module->size());
            ASSERT_EQ(image.Sections().size(), before.Sections().size());
            const int index = SectionAt(before, before.DataDirectory(TPEImage::ddResource).VirtualAddress);
            ASSERT_GE(index, 0);
            EXPECT_EQ(image.DataDirectory(TPEImage::ddResource).VirtualAddress,
                      before.DataDirectory(TPEImage::ddResource).VirtualAddress);
            EXPECT_EQ(image.Sections()[index].PointerToRawData, before.Sections()[index].PointerToRawData);
            EXPECT_EQ(image.Sections()[index].VirtualSize, image.DataDirectory(TPEImage::ddResource).Size);
            ExpectSound(*module, after, SmallResources());

            // And to none at all: an empty root.
            const QByteArray emptied = ReplacePEResources(*module, {});
            EXPECT_EQ(TPEImage(emptied).DataDirectory(TPEImage::ddResource).Size, 16u);
            ExpectSound(*module, emptied, {});
        }
}

TEST_F(PEInterop, GrowsTheLastSectionAndKeepsTheOverlay)
{
    for (const TArch& arch : Arches) {
        SCOPED_TRACE(arch.Name);
        const QByteArray& module = Modules[arch.Is64].Last;
        const TPEImage original(module);
        const int index = SectionAt(original, original.DataDirectory(TPEImage::ddResource).VirtualAddress);
        ASSERT_EQ(index, original.Sections().size() - 1) << "the fixture's .rsrc is not last";

        // An overlay, then a certificate table at the end.
        QByteArray overlay = QByteArray("ATELIER-OVERLAY").repeated(100);
        overlay.resize(AlignUp(uint32_t(module.size() + overlay.size()), 8) - module.size(), '\0');
        const QByteArray certificate = QByteArray("\x18\0\0\0\0\x02\x02\0", 8) + QByteArray(16, '\xAB');
        QByteArray before = module + overlay;
        Put32(before, original.DataDirectoryOffset() + 8 * TPEImage::ddSecurity, uint32_t(before.size()));
        Put32(before, original.DataDirectoryOffset() + 8 * TPEImage::ddSecurity + 4, uint32_t(certificate.size()));
        before += certificate;

        QStringList warnings;
        const QByteArray after =
            ReplacePEResources(before, LargeResources(), [&](const QString& w) { warnings.append(w); });
        EXPECT_EQ(warnings, QStringList{QString::fromLatin1(SignatureRemoved)});
        const TPEImage image(after);
        ASSERT_EQ(image.Sections().size(), original.Sections().size());
        const TPESection& grown = image.Sections()[index];
        EXPECT_EQ(grown.PointerToRawData, original.Sections()[index].PointerToRawData);
        EXPECT_GE(grown.SizeOfRawData, 40000u);
        EXPECT_EQ(grown.SizeOfRawData % image.FileAlignment(), 0u);
        EXPECT_EQ(after.size(), qsizetype(grown.PointerToRawData + grown.SizeOfRawData) + overlay.size());
        EXPECT_TRUE(after.endsWith(overlay));
        EXPECT_FALSE(after.contains(certificate));
        EXPECT_EQ(image.DataDirectory(TPEImage::ddSecurity).VirtualAddress, 0u);
        ExpectSound(module, after, LargeResources());
    }
}

TEST_F(PEInterop, MovesTheRelocationSectionUp)
{
    for (const TArch& arch : Arches)
        for (const QByteArray* module : {&Modules[arch.Is64].Stripped, &Modules[arch.Is64].Dll}) {
            SCOPED_TRACE(arch.Name);
            const TPEImage before(*module);
            const int index = SectionAt(before, before.DataDirectory(TPEImage::ddResource).VirtualAddress);
            ASSERT_EQ(index, before.Sections().size() - 2);
            ASSERT_EQ(SectionName(before.Sections()[index + 1]), QStringLiteral(".reloc"));

            // With some overlay behind .reloc.
            const QByteArray withOverlay = *module + "OVERLAY";
            const QByteArray after = ReplacePEResources(withOverlay, LargeResources());
            const TPEImage image(after);
            ASSERT_EQ(image.Sections().size(), before.Sections().size());
            const TPESection& reloc = image.Sections()[index + 1];
            EXPECT_GT(reloc.VirtualAddress, before.Sections()[index + 1].VirtualAddress);
            EXPECT_EQ(reloc.PointerToRawData % image.FileAlignment(), 0u);
            EXPECT_EQ(image.DataDirectory(TPEImage::ddBaseReloc).VirtualAddress, reloc.VirtualAddress);
            EXPECT_TRUE(after.endsWith("OVERLAY"));
            ExpectSound(*module, after, LargeResources());

            // Rewriting the result with the same resources fits in place and changes nothing.
            EXPECT_EQ(ReplacePEResources(after, LargeResources()), after);
        }
}

TEST_F(PEInterop, AppendsASectionWhenTheResourceSectionCannotGrow)
{
    for (const TArch& arch : Arches) {
        SCOPED_TRACE(arch.Name);
        const TModules& m = Modules[arch.Is64];
        // An executable resource section is not the resources' own.
        QByteArray shared = m.Stripped;
        const TPEImage stripped(shared);
        const int index = SectionAt(stripped, stripped.DataDirectory(TPEImage::ddResource).VirtualAddress);
        ASSERT_GE(index, 0);
        const qsizetype characteristics = stripped.SectionTableOffset() + 40 * index + 36;
        Put32(shared, characteristics, Get32(shared, characteristics) | 0x20000000);

        // A section after the resources that the loader keeps cannot be moved.
        QByteArray pinned = m.App;
        const TPEImage app(pinned);
        const int last = int(app.Sections().size()) - 1;
        ASSERT_GT(last, index);
        const qsizetype lastCharacteristics = app.SectionTableOffset() + 40 * last + 36;
        Put32(pinned, lastCharacteristics, Get32(pinned, lastCharacteristics) & ~0x02000000u);

        struct Case {
            const char* Name;
            QByteArray Module;
        } cases[] = {{"no resources", m.Plain}, {"a kept section after .reloc", pinned}, {"shared section", shared}};
        for (const Case& c : cases) {
            SCOPED_TRACE(c.Name);
            const TPEImage before(c.Module);
            const QByteArray after = ReplacePEResources(c.Module, LargeResources());
            const TPEImage image(after);
            ASSERT_EQ(image.Sections().size(), before.Sections().size() + 1);
            const TPESection& added = image.Sections().last();
            EXPECT_EQ(SectionName(added), QStringLiteral(".rsrc"));
            EXPECT_EQ(added.Characteristics, 0x40000040u);
            EXPECT_EQ(image.DataDirectory(TPEImage::ddResource).VirtualAddress, added.VirtualAddress);
            // Everything before the new section's data is as it was, but for the headers.
            EXPECT_EQ(after.mid(before.SizeOfHeaders(), c.Module.size() - before.SizeOfHeaders()),
                      c.Module.mid(before.SizeOfHeaders()));
            ExpectSound(c.Module, after, LargeResources());
        }
        // The COFF symbols of the unstripped module stay where they were and still read; only the old
        // resource section, now unreferenced, has a new name.
        QByteArray symbolsAfter = Readobj(ReplacePEResources(pinned, LargeResources()), {"--symbols"});
        symbolsAfter.replace("Section: .oldrsrc", "Section: .rsrc");
        EXPECT_EQ(FirstDifference(symbolsAfter, Readobj(pinned, {"--symbols"})), std::string());
        // Tools that look for resources by section name see only the new directory.
        const QByteArray renamed = ReplacePEResources(pinned, LargeResources());
        const TPEImage renamedImage(renamed);
        int resourceSections = 0;
        for (const TPESection& section : renamedImage.Sections())
            if (SectionName(section) == QStringLiteral(".rsrc")) ++resourceSections;
        EXPECT_EQ(resourceSections, 1);
    }
}

// Debug sections and the base relocations after the resources move up in memory and in the file, with the
// COFF symbols behind them: the file grows by what the resources grew, nothing is duplicated.
TEST_F(PEInterop, MovesTheSectionsAfterTheResourcesUp)
{
    for (const TArch& arch : Arches) {
        SCOPED_TRACE(arch.Name);
        const QByteArray& module = Modules[arch.Is64].App;
        const TPEImage before(module);
        const int index = SectionAt(before, before.DataDirectory(TPEImage::ddResource).VirtualAddress);
        ASSERT_GE(index, 0);
        ASSERT_GT(before.Sections().size(), index + 2) << "the fixture has no debug sections after .reloc";

        const QByteArray after = ReplacePEResources(module, LargeResources());
        const TPEImage image(after);
        ASSERT_EQ(image.Sections().size(), before.Sections().size());
        const TPESection& grown = image.Sections()[index];
        const TPESection& old = before.Sections()[index];
        EXPECT_EQ(grown.VirtualAddress, old.VirtualAddress);
        EXPECT_EQ(grown.PointerToRawData, old.PointerToRawData);
        const int64_t rawGrowth = int64_t(grown.SizeOfRawData) - int64_t(old.SizeOfRawData);
        EXPECT_GT(rawGrowth, 0);
        EXPECT_EQ(after.size() - module.size(), rawGrowth) << "the file grows by the resource section's growth";
        // Every later section moved by one distance in memory and one in the file, its bytes unchanged.
        const uint32_t vaDelta = image.Sections()[index + 1].VirtualAddress - before.Sections()[index + 1].VirtualAddress;
        EXPECT_EQ(vaDelta % image.SectionAlignment(), 0u);
        for (int i = index + 1; i < before.Sections().size(); ++i) {
            const TPESection& was = before.Sections()[i];
            const TPESection& is = image.Sections()[i];
            SCOPED_TRACE(SectionName(is).toStdString());
            EXPECT_EQ(is.VirtualAddress, was.VirtualAddress + vaDelta);
            EXPECT_EQ(int64_t(is.PointerToRawData), int64_t(was.PointerToRawData) + rawGrowth);
            EXPECT_EQ(after.mid(is.PointerToRawData, is.SizeOfRawData), module.mid(was.PointerToRawData, was.SizeOfRawData));
        }
        EXPECT_EQ(image.DataDirectory(TPEImage::ddBaseReloc).VirtualAddress,
                  before.DataDirectory(TPEImage::ddBaseReloc).VirtualAddress + vaDelta);
        ExpectSound(module, after, LargeResources());
        EXPECT_EQ(FirstDifference(Readobj(after, {"--symbols"}), Readobj(module, {"--symbols"})), std::string());
        // The debug information reads the same.
        const auto dwarf = [&](const QByteArray& image) {
            const TPeerToolResult r = RunPeerTool(Tool("x86_64-w64-mingw32-objdump"), {"--dwarf=info,decodedline", Save(image)});
            EXPECT_TRUE(r.Ok() && r.Err.isEmpty()) << r.Describe().toStdString();
            QList<QByteArray> lines = r.Out.split('\n');
            lines.removeIf([](const QByteArray& l) { return l.contains("file format"); });
            return lines.join('\n');
        };
        EXPECT_EQ(FirstDifference(dwarf(after), dwarf(module)), std::string());
    }
}

// The mingw linker writes the image checksum, so every module above had one to recompute; here the
// linker's own sum vouches for ours, and a cleared one stays cleared.
TEST_F(PEInterop, RecomputesTheCheckSum)
{
    for (const TArch& arch : Arches)
        for (const QByteArray* module :
             {&Modules[arch.Is64].Stripped, &Modules[arch.Is64].Last, &Modules[arch.Is64].Dll}) {
            SCOPED_TRACE(arch.Name);
            const TPEImage original(*module);
            const qsizetype field = original.OptionalHeaderOffset() + 64;
            ASSERT_NE(original.CheckSum(), 0u);
            EXPECT_EQ(TPEImage::ComputeCheckSum(*module, field), original.CheckSum());

            const QByteArray after = ReplacePEResources(*module, LargeResources());
            EXPECT_EQ(TPEImage(after).CheckSum(), ReferenceCheckSum(after, field));
            QByteArray cleared = *module;
            Put32(cleared, field, 0);
            EXPECT_EQ(TPEImage(ReplacePEResources(cleared, LargeResources())).CheckSum(), 0u);
        }
}

TEST_F(PEInterop, RewrittenExecutableRunsUnderWine)
{
    QString wine = FindPeerTool(QStringLiteral("wine64"), {QStringLiteral("/usr/lib/wine")});
    if (wine.isEmpty()) GTEST_SKIP() << "wine64 is not installed";
    // Many named entries around the ones looked up, so the loader's binary search has work to do.
    QList<TPEResource> resources;
    for (int i = 0; i < 40; ++i)
        resources.append(Res(Ord(10), QStringLiteral("NAME%1").arg(i, 2, 10, QLatin1Char('0')), 0,
                              QStringLiteral("value %1").arg(i).toLatin1()));
    resources.append(Res(Ord(10), QStringLiteral("GREETING"), 0, "rewritten greeting"));
    resources.append(Res(Ord(10), Ord(7), 0, "seven by ordinal"));
    resources.append(Res(Ord(10), Ord(9), 0, QByteArray(60000, 'p')));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WINEPREFIX"), QDir(Dir->path()).filePath(QStringLiteral("wineprefix")));
    environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    environment.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml="));
    environment.remove(QStringLiteral("DISPLAY"));
    // Stripped, .reloc moves; with debug information, the debug sections move as well.
    for (const QByteArray* module : {&Modules[true].Show, &Modules[true].ShowDebug}) {
        const QByteArray after = ReplacePEResources(*module, resources);
        EXPECT_EQ(TPEImage(after).Sections().size(), TPEImage(*module).Sections().size());
        EXPECT_NE(TPEImage(after).Sections().last().VirtualAddress, TPEImage(*module).Sections().last().VirtualAddress)
            << "expected the sections after the resources to move";
        const TPeerToolResult run = RunPeerTool(wine, {Save(after)}, 120000, Dir->path(), environment);
        EXPECT_TRUE(run.Ok()) << run.Describe().toStdString();
        EXPECT_EQ(QString::fromLatin1(run.Out).remove(QLatin1Char('\r')),
                  QStringLiteral("rewritten greeting\nseven by ordinal\n"));
    }
    const QString wineserver =
        FindPeerTool(QStringLiteral("wineserver"), {QStringLiteral("/usr/lib/wine")});
    if (!wineserver.isEmpty()) RunPeerTool(wineserver, {QStringLiteral("-k")}, 30000, Dir->path(), environment);
}

} // namespace
