#include "PEImage.h"

#include "BinaryReader.h"

#include <QHash>
#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

namespace {

constexpr int64_t DosHeaderSize = 64;
constexpr int64_t FileHeaderSize = 20;
constexpr int64_t SectionHeaderSize = 40;
constexpr int64_t DirectoryTableSize = 16;
constexpr int64_t DirectoryEntrySize = 8;
constexpr int64_t DataEntrySize = 16;
constexpr int64_t DebugEntrySize = 28;
constexpr int MaxDataDirectories = 16;

// File header fields.
constexpr int64_t FhNumberOfSections = 2;
constexpr int64_t FhPointerToSymbolTable = 8;
constexpr int64_t FhSizeOfOptionalHeader = 16;
// Optional header fields; the same offsets in PE32 and PE32+ up to the data directory count.
constexpr int64_t OhSizeOfInitializedData = 8;
constexpr int64_t OhAddressOfEntryPoint = 16;
constexpr int64_t OhSectionAlignment = 32;
constexpr int64_t OhFileAlignment = 36;
constexpr int64_t OhSizeOfImage = 56;
constexpr int64_t OhSizeOfHeaders = 60;
constexpr int64_t OhCheckSum = 64;
constexpr int64_t OhDirectoryCount32 = 92;
constexpr int64_t OhDirectoryCount64 = 108;

constexpr uint32_t ScnCntCode = 0x00000020;
constexpr uint32_t ScnCntInitializedData = 0x00000040;
constexpr uint32_t ScnMemDiscardable = 0x02000000;
constexpr uint32_t ScnMemExecute = 0x20000000;
constexpr uint32_t ScnMemRead = 0x40000000;

constexpr uint32_t HighBit = 0x80000000u;
// Offsets inside the resource directory are 31-bit.
constexpr uint64_t MaxBlobSize = 0x7FFFFFF0u;

const char* const SNoHeaderRoom = "No room in the file header for a new section";
const char* const SNoAddressSpace = "The resources do not fit into the module's address space.";
const char* const SSignatureRemoved =
    "The module's digital signature was removed: it no longer matches the changed file.";

void Put16(QByteArray& d, int64_t offset, uint16_t value) { qToLittleEndian(value, d.data() + offset); }

void Put32(QByteArray& d, int64_t offset, uint32_t value) { qToLittleEndian(value, d.data() + offset); }

QString Hex(uint64_t value) { return QStringLiteral("0x") + QString::number(value, 16).toUpper(); }

[[noreturn]] void Fail(const QString& message) { throw EPEImageError(message); }

uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// The loader maps SizeOfRawData when VirtualSize is 0.
uint64_t MappedSize(const TPESection& s) { return s.VirtualSize ? s.VirtualSize : s.SizeOfRawData; }

uint64_t RawEnd(const TPESection& s) { return uint64_t(s.PointerToRawData) + s.SizeOfRawData; }

bool MapRvaIn(const QList<TPESection>& sections, uint32_t sizeOfHeaders, int64_t dataSize, uint32_t rva,
              int64_t& offset, int64_t& available)
{
    for (const TPESection& s : sections) {
        const uint64_t mapped = MappedSize(s);
        if (rva < s.VirtualAddress || rva - s.VirtualAddress >= mapped) continue;
        const uint64_t delta = rva - s.VirtualAddress;
        // Beyond the raw data the loader fills zeros; those bytes are not in the file.
        const uint64_t backed = std::min<uint64_t>(mapped, s.SizeOfRawData);
        if (delta >= backed) return false;
        const uint64_t start = uint64_t(s.PointerToRawData) + delta;
        const uint64_t end = std::min<uint64_t>(uint64_t(s.PointerToRawData) + backed, uint64_t(dataSize));
        if (start >= end) return false;
        offset = int64_t(start);
        available = int64_t(end - start);
        return true;
    }
    // The headers are mapped at RVA 0.
    const uint64_t headerEnd = std::min<uint64_t>(sizeOfHeaders, uint64_t(dataSize));
    if (rva < headerEnd) {
        offset = rva;
        available = int64_t(headerEnd - rva);
        return true;
    }
    return false;
}

// An identifier as messages show it: an ordinal as its number, a name in quotes.
QString IdentText(const QString& ident)
{
    if (ident.size() == 2 && ident.at(0).unicode() == 0xFFFF) return QString::number(ident.at(1).unicode());
    return QLatin1Char('"') + ident + QLatin1Char('"');
}

QString OrdinalIdent(uint16_t id)
{
    QString result;
    result.reserve(2);
    result.append(QChar(char16_t(0xFFFF)));
    result.append(QChar(char16_t(id)));
    return result;
}

// ---------------------------------------------------------------------------------------------------
// Reading the resource directory.

class TDirectoryReader {
public:
    TDirectoryReader(const TPEImage& image, int64_t base, int64_t limit,
                     const std::function<void(const QString&)>& warn, TPEImage::TDataMode mode)
        : FImage(image), FFileSize(image.Data().size()), FDirectory(image.Data().constData() + base, limit, base),
          FWarn(warn), FMode(mode)
    {
    }

    QList<TPEResource> Read()
    {
        QList<TPEResource> result;
        // The loader finds one resource per type, name and language; a repeated one is kept once.
        std::set<std::tuple<QString, QString, uint16_t>> seen;
        for (const TEntry& type : ReadTable(0, 1)) {
            const QString typeIdent = Ident(type);
            for (const TEntry& name : ReadTable(type.Target, 2)) {
                const QString nameIdent = Ident(name);
                for (const TEntry& language : ReadTable(name.Target, 3)) {
                    if (language.Named) continue;
                    const uint16_t languageId = uint16_t(language.NameField);
                    if (!seen.emplace(typeIdent, nameIdent, languageId).second) {
                        if (FWarn)
                            FWarn(QStringLiteral("The resource directory entry at offset %1 repeats type %2, name "
                                                 "%3, language %4; only the first one was read.")
                                      .arg(Hex(uint64_t(language.At)), IdentText(typeIdent), IdentText(nameIdent))
                                      .arg(languageId));
                        continue;
                    }
                    TPEResource resource;
                    resource.Type = typeIdent;
                    resource.Name = nameIdent;
                    resource.Language = languageId;
                    ReadDataEntry(language.Target, resource);
                    result.append(std::move(resource));
                }
            }
        }
        return result;
    }

private:
    struct TEntry {
        bool Named;
        uint32_t NameField;
        uint32_t Target; // offset within the directory, subdirectory flag removed
        int64_t At;      // file offset of the entry
    };

    QString At(uint64_t relative) const { return Hex(uint64_t(FDirectory.Base()) + relative); }

    QList<TEntry> ReadTable(uint32_t relative, int level)
    {
        if (!FDirectory.Has(relative, DirectoryTableSize))
            Fail(QStringLiteral("The resource directory table at offset %1 lies beyond the end of the data.")
                     .arg(At(relative)));
        if (FVisited.contains(relative))
            Fail(QStringLiteral("The resource directory table at offset %1 is reached a second time "
                                "(the directory loops).")
                     .arg(At(relative)));
        FVisited.insert(relative);
        const uint32_t count = uint32_t(FDirectory.U16(relative + 12, "resource directory table")) +
                               FDirectory.U16(relative + 14, "resource directory table");
        if (!FDirectory.Has(relative + DirectoryTableSize, int64_t(count) * DirectoryEntrySize))
            Fail(QStringLiteral("The resource directory table at offset %1 has %2 entries, beyond the end of "
                                "the data.")
                     .arg(At(relative))
                     .arg(count));
        QList<TEntry> entries;
        entries.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            const int64_t at = relative + DirectoryTableSize + int64_t(i) * DirectoryEntrySize;
            const uint32_t nameField = FDirectory.U32(at, "resource directory entry");
            const uint32_t target = FDirectory.U32(at + 4, "resource directory entry");
            const bool isDirectory = (target & HighBit) != 0;
            if (level < 3 && !isDirectory)
                Fail(QStringLiteral("The resource directory entry at offset %1 points to data where a "
                                    "directory belongs (fewer than 3 levels).")
                         .arg(At(uint64_t(at))));
            if (level == 3 && isDirectory)
                Fail(QStringLiteral("The resource directory entry at offset %1 goes deeper than 3 levels.")
                         .arg(At(uint64_t(at))));
            entries.append({(nameField & HighBit) != 0, nameField, target & ~HighBit, FDirectory.Base() + at});
        }
        // The enumeration reports named entries before ids even when a file mixes them.
        std::stable_partition(entries.begin(), entries.end(), [](const TEntry& e) { return e.Named; });
        return entries;
    }

    QString Ident(const TEntry& entry) const
    {
        if (!entry.Named) return OrdinalIdent(uint16_t(entry.NameField));
        const int64_t relative = entry.NameField & ~HighBit;
        if (!FDirectory.Has(relative, 2))
            Fail(QStringLiteral("The resource name string at offset %1 lies beyond the end of the data.")
                     .arg(At(uint64_t(relative))));
        const uint16_t length = FDirectory.U16(relative, "resource name string");
        if (!FDirectory.Has(relative + 2, 2 * int64_t(length)))
            Fail(QStringLiteral("The resource name string at offset %1 (%2 characters) runs past the end of "
                                "the data.")
                     .arg(At(uint64_t(relative)))
                     .arg(length));
        QString name(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i)
            name[i] = QChar(char16_t(FDirectory.U16(relative + 2 + 2 * i, "resource name string")));
        return name;
    }

    void ReadDataEntry(uint32_t relative, TPEResource& resource)
    {
        if (!FDirectory.Has(relative, DataEntrySize))
            Fail(QStringLiteral("The resource data entry at offset %1 lies beyond the end of the data.")
                     .arg(At(relative)));
        const int64_t at = FDirectory.Base() + relative;
        const uint32_t rva = FDirectory.U32(relative, "resource data entry");
        const uint32_t size = FDirectory.U32(relative + 4, "resource data entry");
        resource.CodePage = FDirectory.U32(relative + 8, "resource data entry");
        if (size == 0) return;
        const quint64 key = (quint64(rva) << 32) | size;
        const auto cached = FLoaded.constFind(key);
        if (cached != FLoaded.constEnd()) {
            resource.Data = *cached;
            return;
        }
        const int64_t offset = FImage.RvaToOffset(rva, size);
        if (offset < 0)
            Fail(QStringLiteral("The resource data entry at offset %1 points to RVA %2 (%3 bytes), which does "
                                "not map into the file.")
                     .arg(Hex(uint64_t(at)), Hex(rva))
                     .arg(size));
        // Overlapping entries could otherwise make a small file claim far more memory than it holds.
        FLoadedBytes += size;
        if (FLoadedBytes > uint64_t(FFileSize))
            Fail(QStringLiteral("The resource data entry at offset %1 overlaps others: together they hold more "
                                "bytes than the file.")
                     .arg(Hex(uint64_t(at))));
        resource.Data = FMode == TPEImage::View
                            ? QByteArray::fromRawData(FImage.Data().constData() + offset, qsizetype(size))
                            : FImage.Data().mid(offset, size);
        FLoaded.insert(key, resource.Data);
    }

    const TPEImage& FImage;
    const int64_t FFileSize;
    const TBinaryReader FDirectory;
    const std::function<void(const QString&)>& FWarn;
    const TPEImage::TDataMode FMode;
    QSet<uint32_t> FVisited;
    QHash<quint64, QByteArray> FLoaded;
    uint64_t FLoadedBytes = 0;
};

// ---------------------------------------------------------------------------------------------------
// Building a resource section.

struct TIdent {
    bool IsName = false;
    uint16_t Id = 0;
    QString Name;
    QString Upper; // the loader's key: each UTF-16 unit upper-cased
};

bool UnitsLess(const QString& a, const QString& b)
{
    return std::lexicographical_compare(a.utf16(), a.utf16() + a.size(), b.utf16(), b.utf16() + b.size());
}

// The loader binary-searches each table: names first, by their upper-cased units, then ids ascending.
struct TIdentLess {
    bool operator()(const TIdent& a, const TIdent& b) const
    {
        if (a.IsName != b.IsName) return a.IsName;
        if (!a.IsName) return a.Id < b.Id;
        if (UnitsLess(a.Upper, b.Upper)) return true;
        if (UnitsLess(b.Upper, a.Upper)) return false;
        return UnitsLess(a.Name, b.Name); // names differing only in case: keep both, in a fixed order
    }
};

TIdent ParseIdent(const QString& text, const char* what)
{
    TIdent ident;
    if (text.size() == 2 && text.at(0).unicode() == 0xFFFF) {
        ident.Id = text.at(1).unicode();
        return ident;
    }
    if (text.isEmpty()) Fail(QStringLiteral("A resource %1 is empty.").arg(QLatin1String(what)));
    if (text.at(0).unicode() == 0xFFFF)
        Fail(QStringLiteral("A resource %1 is not a valid identifier.").arg(QLatin1String(what)));
    if (text.size() > 0xFFFF)
        Fail(QStringLiteral("A resource %1 is longer than 65535 characters.").arg(QLatin1String(what)));
    ident.IsName = true;
    ident.Name = text;
    ident.Upper = text;
    for (QChar& c : ident.Upper) c = c.toUpper();
    return ident;
}

using TLanguageMap = std::map<uint16_t, QByteArray>;
using TNameMap = std::map<TIdent, TLanguageMap, TIdentLess>;
using TTypeMap = std::map<TIdent, TNameMap, TIdentLess>;

TTypeMap BuildTree(const QList<TPEResource>& resources, const std::function<void(const QString&)>& warn)
{
    TTypeMap types;
    for (const TPEResource& r : resources) {
        TLanguageMap& languages = types[ParseIdent(r.Type, "type")][ParseIdent(r.Name, "name")];
        const auto [at, added] = languages.try_emplace(r.Language, r.Data);
        if (added) continue;
        at->second = r.Data;
        if (warn)
            warn(QStringLiteral("The resource %1 %2, language %3, is listed more than once; the last one was "
                                "saved.")
                     .arg(IdentText(r.Type), IdentText(r.Name))
                     .arg(r.Language));
    }
    return types;
}

// The sum of the 16-bit little-endian words of data, which starts on an even file offset; the four bytes
// at skip (relative to data) count as zeros.
uint64_t WordSum(const char* data, int64_t size, int64_t skip)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(data);
    uint64_t sum = 0;
    for (int64_t i = 0; i + 1 < size; i += 2) sum += uint32_t(bytes[i]) | (uint32_t(bytes[i + 1]) << 8);
    if (size % 2) sum += bytes[size - 1];
    for (int64_t i = std::max<int64_t>(skip, 0); skip >= 0 && i < skip + 4 && i < size; ++i)
        sum -= uint64_t(bytes[i]) << (i % 2 ? 8 : 0);
    return sum;
}

void Store16(char* p, uint16_t value) { qToLittleEndian(value, p); }
void Store32(char* p, uint32_t value) { qToLittleEndian(value, p); }

// The section contents for a given base RVA; only the data entries' RVAs depend on it. The layout is
// planned first and the bytes written once, straight into the new file.
class TResourceBlob {
public:
    explicit TResourceBlob(const TTypeMap& types) : FTypes(types)
    {
        uint64_t tables = DirectoryTableSize + DirectoryEntrySize * types.size();
        uint64_t resourceCount = 0;
        const auto addString = [this](const TIdent& ident) {
            if (ident.IsName) FStrings.emplace(ident.Name, 0);
        };
        CheckCounts(types);
        for (const auto& [type, names] : types) {
            addString(type);
            tables += DirectoryTableSize + DirectoryEntrySize * names.size();
            CheckCounts(names);
            for (const auto& [name, languages] : names) {
                addString(name);
                if (languages.size() > 0xFFFF)
                    Fail(QStringLiteral("A resource directory table would hold more than 65535 entries of a kind."));
                tables += DirectoryTableSize + DirectoryEntrySize * languages.size();
                resourceCount += languages.size();
            }
        }
        FEntriesStart = tables;
        uint64_t cursor = FEntriesStart + DataEntrySize * resourceCount;
        for (auto& [text, offset] : FStrings) {
            offset = cursor;
            cursor += 2 + 2 * uint64_t(text.size());
        }
        cursor = AlignUp(cursor, 8);
        FDataStart = cursor;
        for (const auto& [type, names] : types)
            for (const auto& [name, languages] : names)
                for (const auto& [language, data] : languages) {
                    cursor = AlignUp(cursor + uint64_t(data.size()), 8);
                    if (cursor > MaxBlobSize) Fail(QStringLiteral("The resources are too large for a module."));
                }
        FSize = int64_t(cursor);
    }

    int64_t Size() const { return FSize; }

    // Writes the Size() bytes of the section for base RVA rva to dest.
    void WriteTo(char* dest, uint32_t rva) const
    {
        if (uint64_t(rva) + uint64_t(FSize) > 0xFFFFFFFFu) Fail(QString::fromLatin1(SNoAddressSpace));
        std::memset(dest, 0, size_t(FDataStart));
        // Tables breadth first: the root, every name table, every language table.
        uint64_t nextTable = DirectoryTableSize + DirectoryEntrySize * FTypes.size();
        uint64_t nextLanguageTable = nextTable;
        for (const auto& [type, names] : FTypes)
            nextLanguageTable += DirectoryTableSize + DirectoryEntrySize * names.size();
        uint64_t nextEntry = FEntriesStart;
        uint64_t nextData = FDataStart;

        const auto nameField = [this](const TIdent& ident) -> uint32_t {
            return ident.IsName ? uint32_t(HighBit | FStrings.at(ident.Name)) : ident.Id;
        };
        const auto writeEntry = [dest](uint64_t slot, uint32_t name, uint32_t target) {
            Store32(dest + slot, name);
            Store32(dest + slot + 4, target);
        };
        WriteTableHeader(dest, 0, FTypes);
        uint64_t typeSlot = DirectoryTableSize;
        for (const auto& [type, names] : FTypes) {
            const uint64_t nameTable = nextTable;
            nextTable += DirectoryTableSize + DirectoryEntrySize * names.size();
            writeEntry(typeSlot, nameField(type), uint32_t(HighBit | nameTable));
            typeSlot += DirectoryEntrySize;
            WriteTableHeader(dest, nameTable, names);
            uint64_t nameSlot = nameTable + DirectoryTableSize;
            for (const auto& [name, languages] : names) {
                const uint64_t languageTable = nextLanguageTable;
                nextLanguageTable += DirectoryTableSize + DirectoryEntrySize * languages.size();
                writeEntry(nameSlot, nameField(name), uint32_t(HighBit | languageTable));
                nameSlot += DirectoryEntrySize;
                Store16(dest + languageTable + 14, uint16_t(languages.size()));
                uint64_t languageSlot = languageTable + DirectoryTableSize;
                for (const auto& [language, data] : languages) {
                    writeEntry(languageSlot, language, uint32_t(nextEntry));
                    languageSlot += DirectoryEntrySize;
                    Store32(dest + nextEntry, uint32_t(nextData) + rva);
                    Store32(dest + nextEntry + 4, uint32_t(data.size()));
                    nextEntry += DataEntrySize;
                    const uint64_t end = AlignUp(nextData + uint64_t(data.size()), 8);
                    if (!data.isEmpty()) std::memcpy(dest + nextData, data.constData(), size_t(data.size()));
                    std::memset(dest + nextData + data.size(), 0, size_t(end - nextData - uint64_t(data.size())));
                    nextData = end;
                }
            }
        }
        for (const auto& [text, offset] : FStrings) {
            Store16(dest + offset, uint16_t(text.size()));
            for (qsizetype i = 0; i < text.size(); ++i) Store16(dest + offset + 2 + 2 * i, text.at(i).unicode());
        }
    }

private:
    // A table counts its named entries and its ids in 16 bits each; 65536 languages cannot occur in
    // practice but ids 0..65535 could.
    template <typename Map>
    static void CheckCounts(const Map& entries)
    {
        const auto named = std::count_if(entries.begin(), entries.end(), [](const auto& e) { return e.first.IsName; });
        if (named > 0xFFFF || entries.size() - size_t(named) > 0xFFFF)
            Fail(QStringLiteral("A resource directory table would hold more than 65535 entries of a kind."));
    }

    template <typename Map>
    static void WriteTableHeader(char* dest, uint64_t table, const Map& entries)
    {
        const auto named = std::count_if(entries.begin(), entries.end(), [](const auto& e) { return e.first.IsName; });
        Store16(dest + table + 12, uint16_t(named));
        Store16(dest + table + 14, uint16_t(entries.size() - size_t(named)));
    }

    const TTypeMap& FTypes;
    std::map<QString, uint64_t> FStrings; // exact text -> offset, shared by equal names
    uint64_t FEntriesStart = 0;
    uint64_t FDataStart = 0;
    int64_t FSize = 0;
};

// ---------------------------------------------------------------------------------------------------
// Replacing the resources of an image.

class TResourceReplacer {
public:
    TResourceReplacer(const QByteArray& image, const std::function<void(const QString&)>& warn)
        : FImage(image), FOut(image), FSections(FImage.Sections()), FWarn(warn)
    {
    }

    TPEImageParts Run(const QList<TPEResource>& resources)
    {
        const TTypeMap types = BuildTree(resources, FWarn);
        const TPEDataDirectory old = FImage.DataDirectory(TPEImage::ddResource);
        const bool hadDirectory = old.VirtualAddress != 0;
        if (!hadDirectory && types.empty() && old.Size == 0) return {FOut, 0, 0}; // nothing changes
        // Every way of laying the image out below aligns sections and sizes.
        if (!IsPowerOfTwo(FImage.SectionAlignment()) || !IsPowerOfTwo(FImage.FileAlignment()) ||
            FImage.FileAlignment() > 0x10000)
            Fail(QStringLiteral("The optional header at offset %1 has an invalid section or file alignment "
                                "(%2, %3).")
                     .arg(Hex(uint64_t(FImage.OptionalHeaderOffset())), Hex(FImage.SectionAlignment()),
                          Hex(FImage.FileAlignment())));
        CheckHeadersApart(hadDirectory ? old.VirtualAddress : 0);
        CheckSectionsApart();
        if (!hadDirectory && types.empty()) {
            DropCertificate();
            SetDirectory(TPEImage::ddResource, 0, 0);
            return Finish();
        }
        if (FImage.NumberOfDataDirectories() <= TPEImage::ddResource)
            Fail(QStringLiteral("The optional header at offset %1 has no entry for a resource directory.")
                     .arg(Hex(uint64_t(FImage.OptionalHeaderOffset()))));
        const TResourceBlob blob(types);

        DropCertificate();

        const int own = hadDirectory ? OwnSection(old.VirtualAddress) : -1;
        // An emptied directory inside a foreign section stays there: only its root is cleared.
        if (!(types.empty() && own < 0 && EmptyInPlace(old.VirtualAddress))) Place(own, blob);
        return Finish();
    }

private:
    void Place(int own, const TResourceBlob& blob)
    {
        if (own < 0) return AppendSection(blob);
        if (FitsInPlace(own, blob)) return WriteInPlace(own, blob);
        if (MovableAfter(own)) return GrowAndMoveUp(own, blob);
        // Tools that find resources by section name must not take the old, unreferenced copy for them.
        if (FSections[own].Name.startsWith(".rsrc")) FSections[own].Name = QByteArray(".oldrsrc", 8);
        AppendSection(blob);
    }

    struct TMove {
        uint64_t Start, End;
        int64_t Delta;
    };

    // The headers are rewritten in place and sections are grown or moved by truncating the file at their
    // data: data lying in the headers would be cut off or overwritten.
    void CheckHeadersApart(uint32_t directoryRva) const
    {
        const uint64_t tableEnd = uint64_t(FImage.SectionTableOffset()) + SectionHeaderSize * FSections.size();
        for (qsizetype i = 0; i < FSections.size(); ++i) {
            const TPESection& s = FSections[i];
            if (s.SizeOfRawData && s.PointerToRawData < tableEnd)
                Fail(QStringLiteral("The data of section %1 at offset %2 lies inside the headers, which end at "
                                    "offset %3.")
                         .arg(SectionLabel(i), Hex(s.PointerToRawData), Hex(tableEnd)));
        }
        if (!directoryRva) return;
        for (const TPESection& s : FSections)
            if (directoryRva >= s.VirtualAddress && directoryRva - s.VirtualAddress < MappedSize(s)) return;
        if (directoryRva < FImage.SizeOfHeaders())
            Fail(QStringLiteral("The resource directory at RVA %1 (data directory 2) lies inside the headers.")
                     .arg(Hex(directoryRva)));
    }

    // "name" in quotes, or the section's number in the table when it has none.
    QString SectionLabel(qsizetype index) const
    {
        const QByteArray& raw = FSections[index].Name;
        const QString name = QString::fromLatin1(raw.constData(), qstrnlen(raw.constData(), size_t(raw.size())));
        return name.isEmpty() ? QStringLiteral("%1 (unnamed)").arg(index + 1) : QLatin1Char('"') + name + QLatin1Char('"');
    }

    // Placement reasons about sections by address; overlapping ones would make that meaningless.
    void CheckSectionsApart() const
    {
        QList<const TPESection*> byAddress;
        for (const TPESection& s : FSections) byAddress.append(&s);
        std::sort(byAddress.begin(), byAddress.end(),
                  [](const TPESection* a, const TPESection* b) { return a->VirtualAddress < b->VirtualAddress; });
        for (qsizetype i = 1; i < byAddress.size(); ++i)
            if (uint64_t(byAddress[i - 1]->VirtualAddress) + MappedSize(*byAddress[i - 1]) >
                byAddress[i]->VirtualAddress)
                Fail(QStringLiteral("The sections at RVA %1 and %2 overlap.")
                         .arg(Hex(byAddress[i - 1]->VirtualAddress), Hex(byAddress[i]->VirtualAddress)));
    }

    int64_t Opt(int64_t field) const { return FImage.OptionalHeaderOffset() + field; }
    int64_t DirectoryField(int index) const { return FImage.DataDirectoryOffset() + 8 * index; }

    void SetDirectory(int index, uint32_t rva, uint32_t size)
    {
        if (index >= FImage.NumberOfDataDirectories()) return;
        Put32(FOut, DirectoryField(index), rva);
        Put32(FOut, DirectoryField(index) + 4, size);
    }

    uint64_t SectionsRawEnd() const
    {
        uint64_t end = FImage.SizeOfHeaders();
        for (const TPESection& s : FSections)
            if (s.SizeOfRawData) end = std::max(end, RawEnd(s));
        return end;
    }

    // Any change breaks an Authenticode signature, so the certificate table goes, and with it its bytes
    // when they end the file.
    void DropCertificate()
    {
        const TPEDataDirectory cert = FImage.DataDirectory(TPEImage::ddSecurity);
        if (cert.VirtualAddress == 0 && cert.Size == 0) return;
        const uint64_t start = cert.VirtualAddress;
        const uint64_t end = start + cert.Size;
        if (start >= SectionsRawEnd() && end <= uint64_t(FOut.size()) && uint64_t(FOut.size()) - end < 8)
            FOut.truncate(qsizetype(start));
        SetDirectory(TPEImage::ddSecurity, 0, 0);
        if (FWarn) FWarn(QString::fromLatin1(SSignatureRemoved));
    }

    // Computed once: placement asks for every section.
    const QList<TPEDataDirectory>& OtherDirectoryRanges() const
    {
        if (!FRangesKnown) {
            FRanges = FindOtherDirectoryRanges();
            FRangesKnown = true;
        }
        return FRanges;
    }

    QList<TPEDataDirectory> FindOtherDirectoryRanges() const
    {
        static const int others[] = {TPEImage::ddExport, TPEImage::ddImport, TPEImage::ddException,
                                     TPEImage::ddBaseReloc, TPEImage::ddDebug, TPEImage::ddTLS,
                                     TPEImage::ddLoadConfig, TPEImage::ddIAT, TPEImage::ddDelayImport,
                                     TPEImage::ddCLR};
        QList<TPEDataDirectory> ranges;
        for (int index : others) {
            const TPEDataDirectory d = FImage.DataDirectory(index);
            if (d.VirtualAddress) ranges.append(d);
        }
        // Debug data mapped into the image counts as well.
        const TPEDataDirectory debug = FImage.DataDirectory(TPEImage::ddDebug);
        const int64_t at = debug.VirtualAddress ? FImage.RvaToOffset(debug.VirtualAddress, debug.Size) : -1;
        if (at >= 0)
            for (int64_t e = at; e + DebugEntrySize <= at + debug.Size; e += DebugEntrySize) {
                const uint32_t size = FIn.U32(e + 16, "debug directory entry");
                const uint32_t rva = FIn.U32(e + 20, "debug directory entry");
                if (rva) ranges.append({rva, size});
            }
        return ranges;
    }

    // True when the section holds nothing the rest of the image refers to by address.
    bool HoldsNothingElse(const TPESection& s) const
    {
        if (s.Characteristics & (ScnCntCode | ScnMemExecute)) return false;
        const uint64_t start = s.VirtualAddress;
        const uint64_t end = start + MappedSize(s);
        for (const TPEDataDirectory& d : OtherDirectoryRanges()) {
            const uint64_t dEnd = uint64_t(d.VirtualAddress) + std::max<uint32_t>(d.Size, 1);
            if (d.VirtualAddress < end && dEnd > start) return false;
        }
        const uint32_t entry = FImage.AddressOfEntryPoint();
        if (entry && entry >= start && entry < end) return false;
        return RawEnd(s) <= uint64_t(FOut.size());
    }

    // The section the resource directory may be rewritten in: it starts there and holds nothing else.
    int OwnSection(uint32_t rva) const
    {
        for (int i = 0; i < FSections.size(); ++i) {
            const TPESection& s = FSections[i];
            if (s.VirtualAddress == rva && MappedSize(s) > 0) return HoldsNothingElse(s) ? i : -1;
        }
        return -1;
    }

    // Section indexes by ascending address, computed once.
    const QList<int>& ByAddress()
    {
        if (FByAddress.size() != FSections.size()) {
            FByAddress.clear();
            for (int i = 0; i < FSections.size(); ++i) FByAddress.append(i);
            std::stable_sort(FByAddress.begin(), FByAddress.end(), [this](int a, int b) {
                return FSections[a].VirtualAddress < FSections[b].VirtualAddress;
            });
        }
        return FByAddress;
    }

    int NextByAddress(int index)
    {
        const QList<int>& order = ByAddress();
        const auto at = std::find(order.begin(), order.end(), index);
        return at + 1 < order.end() ? *(at + 1) : -1;
    }

    bool FitsInPlace(int index, const TResourceBlob& blob)
    {
        const TPESection& s = FSections[index];
        if (blob.Size() > int64_t(s.SizeOfRawData)) return false;
        const int next = NextByAddress(index);
        return next < 0 || uint64_t(s.VirtualAddress) + uint64_t(blob.Size()) <= FSections[next].VirtualAddress;
    }

    // True when the resource section at `index` can grow by moving everything after it up, in memory and in
    // the file: every section after it in memory can be placed anywhere (the loader may drop it, nothing
    // refers to it by address but the base relocation directory, which moves along, and no base relocation
    // patches it), and no other section's data lies after its data in the file.
    bool MovableAfter(int index)
    {
        const TPESection& s = FSections[index];
        const QList<int>& order = ByAddress();
        const qsizetype position = order.indexOf(index);
        if (position + 1 == order.size()) return RawEnd(s) <= uint64_t(FOut.size()) && NothingAfterInFile(index, {});
        // The sections after it cover one range of addresses.
        const uint64_t low = FSections[order[position + 1]].VirtualAddress;
        uint64_t high = low;
        QSet<int> followers;
        for (qsizetype i = position + 1; i < order.size(); ++i) {
            const TPESection& t = FSections[order[i]];
            if (!(t.Characteristics & ScnMemDiscardable) || (t.Characteristics & (ScnCntCode | ScnMemExecute)))
                return false;
            if (t.SizeOfRawData && (t.PointerToRawData < RawEnd(s) || RawEnd(t) > uint64_t(FOut.size()))) return false;
            high = std::max(high, uint64_t(t.VirtualAddress) + MappedSize(t));
            followers.insert(order[i]);
        }
        const TPEDataDirectory relocs = FImage.DataDirectory(TPEImage::ddBaseReloc);
        const bool relocsInside = relocs.VirtualAddress >= low && relocs.VirtualAddress < high;
        if (relocsInside && !SectionHolds(relocs)) return false;
        for (const TPEDataDirectory& d : OtherDirectoryRanges()) {
            if (relocsInside && d.VirtualAddress == relocs.VirtualAddress && d.Size == relocs.Size) continue;
            const uint64_t dEnd = uint64_t(d.VirtualAddress) + std::max<uint32_t>(d.Size, 1);
            if (d.VirtualAddress < high && dEnd > low) return false;
        }
        const uint32_t entry = FImage.AddressOfEntryPoint();
        if (entry && entry >= low && entry < high) return false;
        return NothingAfterInFile(index, followers) && !Relocated(low, high);
    }

    // True when one section holds the whole range.
    bool SectionHolds(const TPEDataDirectory& range) const
    {
        for (const TPESection& t : FSections)
            if (range.VirtualAddress >= t.VirtualAddress &&
                uint64_t(range.VirtualAddress) + range.Size <= uint64_t(t.VirtualAddress) + MappedSize(t))
                return true;
        return false;
    }

    bool NothingAfterInFile(int index, const QSet<int>& followers) const
    {
        for (int i = 0; i < FSections.size(); ++i)
            if (i != index && !followers.contains(i) && FSections[i].SizeOfRawData &&
                RawEnd(FSections[i]) > FSections[index].PointerToRawData)
                return false;
        return true;
    }

    // True when a base relocation block patches a page in [low, high).
    bool Relocated(uint64_t low, uint64_t high) const
    {
        const TPEDataDirectory relocs = FImage.DataDirectory(TPEImage::ddBaseReloc);
        int64_t at = 0;
        int64_t available = 0;
        if (!relocs.VirtualAddress ||
            !MapRvaIn(FImage.Sections(), FImage.SizeOfHeaders(), FImage.Data().size(), relocs.VirtualAddress, at,
                      available))
            return false;
        const TBinaryReader blocks = FIn.Sub(at, std::min<int64_t>(relocs.Size, available), "base relocations");
        for (int64_t block = 0; blocks.Has(block, 8);) {
            const uint32_t page = blocks.U32(block, "base relocation block");
            const uint32_t size = blocks.U32(block + 4, "base relocation block");
            if (uint64_t(page) + 0x1000 > low && page < high) return true;
            if (size < 8) break;
            block += AlignUp(size, 4);
        }
        return false;
    }

    bool EmptyInPlace(uint32_t rva)
    {
        const int64_t at = FImage.RvaToOffset(rva, DirectoryTableSize);
        if (at < 0 || at + DirectoryTableSize > FOut.size()) return false;
        std::memset(FOut.data() + at, 0, size_t(DirectoryTableSize));
        SetDirectory(TPEImage::ddResource, rva, uint32_t(DirectoryTableSize));
        return true;
    }

    // While FOut is still the source, keeps only its first `offset` bytes in memory, the rest as the tail.
    void SplitAt(uint64_t offset)
    {
        if (FOut.constData() != FImage.Data().constData() || FOut.size() != FImage.Data().size() ||
            offset >= uint64_t(FOut.size()))
            return;
        FTailStart = int64_t(offset);
        FTailSize = FOut.size() - FTailStart;
        FOut = QByteArray(FImage.Data().constData(), qsizetype(offset));
    }

    void WriteInPlace(int index, const TResourceBlob& blob)
    {
        TPESection& s = FSections[index];
        SplitAt(RawEnd(s));
        blob.WriteTo(FOut.data() + s.PointerToRawData, s.VirtualAddress);
        std::memset(FOut.data() + s.PointerToRawData + blob.Size(), 0, size_t(s.SizeOfRawData - blob.Size()));
        s.VirtualSize = uint32_t(blob.Size());
        // The loader wants no gap before the next section; the rest of the section maps as zeros.
        const int next = NextByAddress(index);
        if (next >= 0 && AlignUp(uint64_t(s.VirtualAddress) + s.VirtualSize, FImage.SectionAlignment()) <
                             FSections[next].VirtualAddress)
            s.VirtualSize = FSections[next].VirtualAddress - s.VirtualAddress;
        SetDirectory(TPEImage::ddResource, s.VirtualAddress, uint32_t(blob.Size()));
    }

    void CheckFileSize(uint64_t size) const
    {
        if (size > 0xFFFFFFFFu) Fail(QStringLiteral("The module would grow beyond 4 GB."));
    }

    // The resource section takes the room it needs; what follows it in memory and in the file (sections, the
    // overlay) moves up by whole alignment units, keeping its own layout.
    void GrowAndMoveUp(int index, const TResourceBlob& blob)
    {
        TPESection& s = FSections[index];
        const uint64_t fileAlignment = FImage.FileAlignment();
        const uint64_t rawSize = AlignUp(uint64_t(blob.Size()), fileAlignment);
        const uint64_t tail = std::min<uint64_t>(RawEnd(s), uint64_t(FOut.size()));
        const uint64_t needed = uint64_t(s.PointerToRawData) + rawSize;
        const uint64_t rawDelta = needed > tail ? AlignUp(needed - tail, fileAlignment) : 0;
        const uint64_t tailSize = uint64_t(FOut.size()) - tail;
        CheckFileSize(tail + rawDelta + tailSize);

        const QList<int>& order = ByAddress();
        const qsizetype position = order.indexOf(index);
        uint64_t vaDelta = 0;
        if (position + 1 < order.size()) {
            const uint32_t first = FSections[order[position + 1]].VirtualAddress;
            const uint64_t wanted = AlignUp(uint64_t(s.VirtualAddress) + uint64_t(blob.Size()), FImage.SectionAlignment());
            vaDelta = wanted > first ? AlignUp(wanted - first, FImage.SectionAlignment()) : 0;
            const TPESection& last = FSections[order.last()];
            if (uint64_t(last.VirtualAddress) + vaDelta + MappedSize(last) > 0xFFFFFFFFu)
                Fail(QString::fromLatin1(SNoAddressSpace));
        }
        if (rawDelta) {
            FMoves.append({tail, uint64_t(FOut.size()), int64_t(rawDelta)});
            // What comes before the section, then the section; what follows it stays in the source until
            // the new file is written.
            const bool tailIsSource =
                FOut.constData() == FImage.Data().constData() && FOut.size() == FImage.Data().size();
            QByteArray out(qsizetype(tail + rawDelta + (tailIsSource ? 0 : tailSize)), Qt::Uninitialized);
            std::memcpy(out.data(), FOut.constData(), size_t(s.PointerToRawData));
            if (tailIsSource) {
                FTailStart = int64_t(tail);
                FTailSize = int64_t(tailSize);
            } else {
                std::memcpy(out.data() + tail + rawDelta, FOut.constData() + tail, size_t(tailSize));
            }
            FOut = std::move(out);
        }
        blob.WriteTo(FOut.data() + s.PointerToRawData, s.VirtualAddress);
        std::memset(FOut.data() + s.PointerToRawData + blob.Size(), 0,
                    size_t(tail + rawDelta - s.PointerToRawData - uint64_t(blob.Size())));
        s.VirtualSize = uint32_t(blob.Size());
        s.SizeOfRawData = uint32_t(tail + rawDelta - s.PointerToRawData);

        const TPEDataDirectory relocs = FImage.DataDirectory(TPEImage::ddBaseReloc);
        for (qsizetype i = position + 1; i < order.size(); ++i) {
            TPESection& t = FSections[order[i]];
            if (relocs.VirtualAddress >= t.VirtualAddress && relocs.VirtualAddress - t.VirtualAddress < MappedSize(t))
                SetDirectory(TPEImage::ddBaseReloc, uint32_t(relocs.VirtualAddress + vaDelta), relocs.Size);
            t.VirtualAddress = uint32_t(t.VirtualAddress + vaDelta);
            if (t.SizeOfRawData) t.PointerToRawData = uint32_t(t.PointerToRawData + rawDelta);
        }
        // The loader wants no gap before the next section; the rest of the section maps as zeros.
        if (position + 1 < order.size()) {
            const uint32_t next = FSections[order[position + 1]].VirtualAddress;
            if (AlignUp(uint64_t(s.VirtualAddress) + s.VirtualSize, FImage.SectionAlignment()) < next)
                s.VirtualSize = next - s.VirtualAddress;
        }
        SetDirectory(TPEImage::ddResource, s.VirtualAddress, uint32_t(blob.Size()));
    }

    // 40 zero bytes after the section table, inside the headers and before any section's data.
    bool HeaderRoom()
    {
        const int64_t tableEnd = FImage.SectionTableOffset() + SectionHeaderSize * FSections.size();
        uint64_t limit = std::min<uint64_t>(FImage.SizeOfHeaders(), uint64_t(FOut.size()));
        for (const TPESection& s : FSections)
            if (s.SizeOfRawData) limit = std::min<uint64_t>(limit, s.PointerToRawData);
        if (uint64_t(tableEnd + SectionHeaderSize) > limit) return false;
        const auto isFree = [&] {
            return std::all_of(FOut.constData() + tableEnd, FOut.constData() + tableEnd + SectionHeaderSize,
                               [](char c) { return c == 0; });
        };
        if (isFree()) return true;
        // Bound imports usually sit right after the section table; the loader does without them.
        const TPEDataDirectory bound = FImage.DataDirectory(TPEImage::ddBoundImport);
        if (bound.VirtualAddress < uint64_t(tableEnd) || bound.VirtualAddress >= limit) return false;
        const uint64_t boundEnd = std::min<uint64_t>(uint64_t(bound.VirtualAddress) + bound.Size, limit);
        std::memset(FOut.data() + bound.VirtualAddress, 0, size_t(boundEnd - bound.VirtualAddress));
        SetDirectory(TPEImage::ddBoundImport, 0, 0);
        return isFree();
    }

    void AppendSection(const TResourceBlob& blob)
    {
        if (FSections.size() >= 0xFFFF || !HeaderRoom()) Fail(QString::fromLatin1(SNoHeaderRoom));
        uint64_t end = FImage.SizeOfHeaders();
        for (const TPESection& s : FSections) end = std::max(end, uint64_t(s.VirtualAddress) + MappedSize(s));
        const uint64_t rva = AlignUp(end, FImage.SectionAlignment());
        if (rva + uint64_t(blob.Size()) > 0xFFFFFFFFu) Fail(QString::fromLatin1(SNoAddressSpace));
        const uint64_t rawSize = AlignUp(uint64_t(blob.Size()), FImage.FileAlignment());
        const uint64_t raw = AlignUp(uint64_t(FOut.size()), FImage.FileAlignment());
        CheckFileSize(raw + rawSize);
        const qsizetype oldSize = FOut.size();
        FOut.resize(qsizetype(raw + rawSize));
        std::memset(FOut.data() + oldSize, 0, size_t(raw - uint64_t(oldSize)));
        blob.WriteTo(FOut.data() + raw, uint32_t(rva));
        std::memset(FOut.data() + raw + blob.Size(), 0, size_t(rawSize - uint64_t(blob.Size())));
        TPESection section;
        section.Name = QByteArray(".rsrc\0\0\0", 8);
        section.VirtualSize = uint32_t(blob.Size());
        section.VirtualAddress = uint32_t(rva);
        section.SizeOfRawData = uint32_t(rawSize);
        section.PointerToRawData = uint32_t(raw);
        section.Characteristics = ScnCntInitializedData | ScnMemRead;
        FSections.append(section);
        SetDirectory(TPEImage::ddResource, uint32_t(rva), uint32_t(blob.Size()));
    }

    uint32_t Moved(uint32_t offset) const
    {
        for (const TMove& m : FMoves)
            if (offset >= m.Start && offset < m.End) return uint32_t(int64_t(offset) + m.Delta);
        return offset;
    }

    // The source bytes that end the new file, [FTailStart, FTailStart + FTailSize), are left where they are
    // until someone needs them in FOut.
    void Materialize()
    {
        if (!FTailSize) return;
        FOut.append(FImage.Data().constData() + FTailStart, qsizetype(FTailSize));
        FTailSize = 0;
    }

    TPEImageParts Finish()
    {
        const int64_t fileHeader = FImage.FileHeaderOffset();
        if (!FMoves.isEmpty()) {
            const uint32_t symbols = FIn.U32(fileHeader + FhPointerToSymbolTable, "file header");
            if (symbols) Put32(FOut, fileHeader + FhPointerToSymbolTable, Moved(symbols));
            for (TPESection& s : FSections) {
                if (s.PointerToRelocations) s.PointerToRelocations = Moved(s.PointerToRelocations);
                if (s.PointerToLinenumbers) s.PointerToLinenumbers = Moved(s.PointerToLinenumbers);
            }
        }
        WriteSectionTable();
        if (!FMoves.isEmpty()) MoveDebugData();

        Put16(FOut, fileHeader + FhNumberOfSections, uint16_t(FSections.size()));
        uint64_t imageEnd = FImage.SizeOfHeaders();
        uint64_t initialized = 0;
        for (const TPESection& s : FSections) {
            imageEnd = std::max(imageEnd, uint64_t(s.VirtualAddress) + MappedSize(s));
            if (s.Characteristics & ScnCntInitializedData) initialized += s.SizeOfRawData;
        }
        Put32(FOut, Opt(OhSizeOfImage), uint32_t(AlignUp(imageEnd, FImage.SectionAlignment())));
        Put32(FOut, Opt(OhSizeOfInitializedData), uint32_t(initialized));
        if (FImage.CheckSum() != 0) {
            if (FOut.size() % 2) Materialize(); // words of the tail must start on even offsets
            uint64_t sum = WordSum(FOut.constData(), FOut.size(), Opt(OhCheckSum)) +
                           WordSum(FImage.Data().constData() + FTailStart, FTailSize, -1);
            while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
            Put32(FOut, Opt(OhCheckSum), uint32_t(sum) + uint32_t(FOut.size() + FTailSize));
        }
        return {FOut, FTailStart, FTailSize};
    }

    void WriteSectionTable()
    {
        for (int i = 0; i < FSections.size(); ++i) {
            const TPESection& s = FSections[i];
            const int64_t at = FImage.SectionTableOffset() + SectionHeaderSize * i;
            std::memcpy(FOut.data() + at, s.Name.constData(), 8);
            Put32(FOut, at + 8, s.VirtualSize);
            Put32(FOut, at + 12, s.VirtualAddress);
            Put32(FOut, at + 16, s.SizeOfRawData);
            Put32(FOut, at + 20, s.PointerToRawData);
            Put32(FOut, at + 24, s.PointerToRelocations);
            Put32(FOut, at + 28, s.PointerToLinenumbers);
            Put16(FOut, at + 32, s.NumberOfRelocations);
            Put16(FOut, at + 34, s.NumberOfLinenumbers);
            Put32(FOut, at + 36, s.Characteristics);
        }
    }

    // Debug entries give the file offset of their data too; data in the overlay moved with it.
    void MoveDebugData()
    {
        const TPEDataDirectory debug = FImage.DataDirectory(TPEImage::ddDebug);
        int64_t at = 0;
        int64_t available = 0;
        if (!debug.VirtualAddress ||
            !MapRvaIn(FSections, FImage.SizeOfHeaders(), FOut.size() + FTailSize, debug.VirtualAddress, at, available))
            return;
        const int64_t end = at + std::min<int64_t>(debug.Size, available);
        if (end > FOut.size()) Materialize();
        FOut.detach(); // the reader must see the bytes the writes below go to
        const TBinaryReader out(FOut);
        for (int64_t e = at; e + DebugEntrySize <= end; e += DebugEntrySize) {
            const uint32_t pointer = out.U32(e + 24, "debug directory entry");
            if (pointer) Put32(FOut, e + 24, Moved(pointer));
        }
    }

    const TPEImage FImage;
    const TBinaryReader FIn{FImage.Data()};
    QByteArray FOut;
    QList<TPESection> FSections;
    QList<TMove> FMoves;
    QList<int> FByAddress;
    int64_t FTailStart = 0;
    int64_t FTailSize = 0;
    mutable QList<TPEDataDirectory> FRanges;
    mutable bool FRangesKnown = false;
    const std::function<void(const QString&)>& FWarn;
};

} // namespace

// ---------------------------------------------------------------------------------------------------

bool TPEImage::IsPEImage(const QByteArray& data)
{
    const TBinaryReader file(data);
    if (data.size() < DosHeaderSize || data.at(0) != 'M' || data.at(1) != 'Z') return false;
    const uint32_t offset = file.U32(0x3C, "DOS header");
    return file.Has(offset, 4) && std::memcmp(data.constData() + offset, "PE\0\0", 4) == 0;
}

TPEImage::TPEImage(const QByteArray& data) : FData(data)
{
    try {
        Parse();
    } catch (const EBinaryReadError& e) {
        // The checks below come first; this keeps the error's class should one be missing.
        Fail(e.Message());
    }
}

void TPEImage::Parse()
{
    const TBinaryReader file(FData);
    const int64_t size = file.Size();
    if (size < DosHeaderSize)
        Fail(QStringLiteral("The file is too small for a DOS header (%1 bytes).").arg(size));
    if (FData.at(0) != 'M' || FData.at(1) != 'Z') Fail(QStringLiteral("No DOS header (\"MZ\") at offset 0."));
    const uint32_t peOffset = file.U32(0x3C, "DOS header");
    if (!file.Has(peOffset, 4 + FileHeaderSize))
        Fail(QStringLiteral("The PE header offset %1 (DOS header, offset 0x3C) lies beyond the end of the file "
                            "(%2 bytes).")
                 .arg(Hex(peOffset))
                 .arg(size));
    if (std::memcmp(FData.constData() + peOffset, "PE\0\0", 4) != 0)
        Fail(QStringLiteral("No PE signature at offset %1.").arg(Hex(peOffset)));

    FFileHeaderOffset = int64_t(peOffset) + 4;
    FMachine = file.U16(FFileHeaderOffset, "file header");
    const uint16_t sectionCount = file.U16(FFileHeaderOffset + FhNumberOfSections, "file header");
    const uint16_t optionalSize = file.U16(FFileHeaderOffset + FhSizeOfOptionalHeader, "file header");
    FOptionalHeaderOffset = FFileHeaderOffset + FileHeaderSize;
    const QString optionalAt = Hex(uint64_t(FOptionalHeaderOffset));
    if (!file.Has(FOptionalHeaderOffset, optionalSize))
        Fail(QStringLiteral("The optional header at offset %1 (%2 bytes) runs past the end of the file.")
                 .arg(optionalAt)
                 .arg(optionalSize));
    if (optionalSize < 2)
        Fail(QStringLiteral("The optional header at offset %1 is missing (%2 bytes).")
                 .arg(optionalAt)
                 .arg(optionalSize));
    const TBinaryReader optional = file.Sub(FOptionalHeaderOffset, optionalSize, "optional header");
    const uint16_t magic = optional.U16(0, "optional header");
    if (magic == 0x20B)
        FIs64 = true;
    else if (magic != 0x10B)
        Fail(QStringLiteral("Unknown optional header magic %1 at offset %2.").arg(Hex(magic), optionalAt));
    const int64_t countField = FIs64 ? OhDirectoryCount64 : OhDirectoryCount32;
    if (optionalSize < countField + 4)
        Fail(QStringLiteral("The optional header at offset %1 is too small (%2 bytes) for a %3 header.")
                 .arg(optionalAt)
                 .arg(optionalSize)
                 .arg(FIs64 ? QStringLiteral("PE32+") : QStringLiteral("PE32")));
    const uint32_t directoryCount = optional.U32(countField, "optional header");
    const uint32_t directoryRoom = uint32_t((optionalSize - countField - 4) / 8);
    if (directoryCount > directoryRoom)
        Fail(QStringLiteral("The optional header at offset %1 declares %2 data directories but has room for %3.")
                 .arg(optionalAt)
                 .arg(directoryCount)
                 .arg(directoryRoom));
    FNumberOfDirectories = int(std::min<uint32_t>(directoryCount, MaxDataDirectories));
    FDataDirectoryOffset = FOptionalHeaderOffset + countField + 4;
    for (int i = 0; i < FNumberOfDirectories; ++i)
        FDirectories[i] = {optional.U32(countField + 4 + 8 * i, "data directory"),
                           optional.U32(countField + 8 + 8 * i, "data directory")};
    FSectionAlignment = optional.U32(OhSectionAlignment, "optional header");
    FFileAlignment = optional.U32(OhFileAlignment, "optional header");
    FSizeOfImage = optional.U32(OhSizeOfImage, "optional header");
    FSizeOfHeaders = optional.U32(OhSizeOfHeaders, "optional header");
    FCheckSum = optional.U32(OhCheckSum, "optional header");
    FAddressOfEntryPoint = optional.U32(OhAddressOfEntryPoint, "optional header");

    FSectionTableOffset = FOptionalHeaderOffset + optionalSize;
    if (!file.Has(FSectionTableOffset, SectionHeaderSize * sectionCount))
        Fail(QStringLiteral("The section table at offset %1 (%2 sections) runs past the end of the file.")
                 .arg(Hex(uint64_t(FSectionTableOffset)))
                 .arg(sectionCount));
    FSections.reserve(sectionCount);
    TBinaryReader table = file.Sub(FSectionTableOffset, SectionHeaderSize * sectionCount, "section table");
    for (int i = 0; i < sectionCount; ++i) {
        TPESection s;
        s.Name = table.ReadBytes(8, "section header");
        s.VirtualSize = table.ReadU32("section header");
        s.VirtualAddress = table.ReadU32("section header");
        s.SizeOfRawData = table.ReadU32("section header");
        s.PointerToRawData = table.ReadU32("section header");
        s.PointerToRelocations = table.ReadU32("section header");
        s.PointerToLinenumbers = table.ReadU32("section header");
        s.NumberOfRelocations = table.ReadU16("section header");
        s.NumberOfLinenumbers = table.ReadU16("section header");
        s.Characteristics = table.ReadU32("section header");
        FSections.append(s);
    }
}

TPEDataDirectory TPEImage::DataDirectory(int index) const
{
    if (index < 0 || index >= FNumberOfDirectories) return {};
    return FDirectories[index];
}

bool TPEImage::MapRva(uint32_t rva, int64_t& offset, int64_t& available) const
{
    return MapRvaIn(FSections, FSizeOfHeaders, FData.size(), rva, offset, available);
}

int64_t TPEImage::RvaToOffset(uint32_t rva, uint32_t size) const
{
    int64_t offset = 0;
    int64_t available = 0;
    if (!MapRva(rva, offset, available) || int64_t(size) > available) return -1;
    return offset;
}

QList<TPEResource> TPEImage::Resources(const std::function<void(const QString&)>& warn, TDataMode mode) const
{
    const TPEDataDirectory directory = DataDirectory(ddResource);
    if (directory.VirtualAddress == 0) return {};
    int64_t base = 0;
    int64_t available = 0;
    if (!MapRva(directory.VirtualAddress, base, available))
        Fail(QStringLiteral("The resource directory at RVA %1 (data directory 2) does not map into the file.")
                 .arg(Hex(directory.VirtualAddress)));
    try {
        return TDirectoryReader(*this, base, available, warn, mode).Read();
    } catch (const EBinaryReadError& e) {
        Fail(e.Message());
    }
}

uint32_t TPEImage::ComputeCheckSum(const QByteArray& data, int64_t checkSumOffset)
{
    // A sum of 16-bit words folded once at the end equals one folded at every step.
    uint64_t sum = WordSum(data.constData(), data.size(), checkSumOffset);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return uint32_t(sum) + uint32_t(data.size());
}

TPEImageParts ReplacePEResourcesInParts(const QByteArray& image, const QList<TPEResource>& resources,
                                        const std::function<void(const QString&)>& warn)
{
    return TResourceReplacer(image, warn).Run(resources);
}

QByteArray ReplacePEResources(const QByteArray& image, const QList<TPEResource>& resources,
                              const std::function<void(const QString&)>& warn)
{
    TPEImageParts parts = ReplacePEResourcesInParts(image, resources, warn);
    if (parts.TailSize) parts.Head.append(image.constData() + parts.TailStart, qsizetype(parts.TailSize));
    return parts.Head;
}
