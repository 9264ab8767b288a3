#include "PEImage.h"

#include <QHash>
#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <map>

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
constexpr uint32_t ScnMemExecute = 0x20000000;
constexpr uint32_t ScnMemRead = 0x40000000;

constexpr uint32_t HighBit = 0x80000000u;
// Offsets inside the resource directory are 31-bit.
constexpr uint64_t MaxBlobSize = 0x7FFFFFF0u;

const char* const SNoHeaderRoom = "No room in the file header for a new section";
const char* const SNoAddressSpace = "The resources do not fit into the module's address space.";
const char* const SSignatureRemoved =
    "The module's digital signature was removed: it no longer matches the changed file.";

uint16_t Get16(const QByteArray& d, int64_t offset)
{
    return qFromLittleEndian<uint16_t>(d.constData() + offset);
}

uint32_t Get32(const QByteArray& d, int64_t offset)
{
    return qFromLittleEndian<uint32_t>(d.constData() + offset);
}

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
    TDirectoryReader(const TPEImage& image, int64_t base, int64_t limit)
        : FImage(image), FData(image.Data()), FBase(base), FLimit(limit)
    {
    }

    QList<TPEResource> Read()
    {
        QList<TPEResource> result;
        for (const TEntry& type : ReadTable(0, 1)) {
            const QString typeIdent = Ident(type);
            for (const TEntry& name : ReadTable(type.Target, 2)) {
                const QString nameIdent = Ident(name);
                for (const TEntry& language : ReadTable(name.Target, 3)) {
                    if (language.Named) continue;
                    TPEResource resource;
                    resource.Type = typeIdent;
                    resource.Name = nameIdent;
                    resource.Language = uint16_t(language.NameField);
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
    };

    QString At(uint64_t relative) const { return Hex(uint64_t(FBase) + relative); }

    QList<TEntry> ReadTable(uint32_t relative, int level)
    {
        if (uint64_t(relative) + DirectoryTableSize > uint64_t(FLimit))
            Fail(QStringLiteral("The resource directory table at offset %1 lies beyond the end of the data.")
                     .arg(At(relative)));
        if (FVisited.contains(relative))
            Fail(QStringLiteral("The resource directory table at offset %1 is reached a second time "
                                "(the directory loops).")
                     .arg(At(relative)));
        FVisited.insert(relative);
        const int64_t table = FBase + relative;
        const uint32_t count = uint32_t(Get16(FData, table + 12)) + Get16(FData, table + 14);
        if (uint64_t(relative) + DirectoryTableSize + uint64_t(count) * DirectoryEntrySize > uint64_t(FLimit))
            Fail(QStringLiteral("The resource directory table at offset %1 has %2 entries, beyond the end of "
                                "the data.")
                     .arg(At(relative))
                     .arg(count));
        QList<TEntry> entries;
        entries.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            const int64_t at = table + DirectoryTableSize + int64_t(i) * DirectoryEntrySize;
            const uint32_t nameField = Get32(FData, at);
            const uint32_t target = Get32(FData, at + 4);
            const bool isDirectory = (target & HighBit) != 0;
            if (level < 3 && !isDirectory)
                Fail(QStringLiteral("The resource directory entry at offset %1 points to data where a "
                                    "directory belongs (fewer than 3 levels).")
                         .arg(Hex(uint64_t(at))));
            if (level == 3 && isDirectory)
                Fail(QStringLiteral("The resource directory entry at offset %1 goes deeper than 3 levels.")
                         .arg(Hex(uint64_t(at))));
            entries.append({(nameField & HighBit) != 0, nameField, target & ~HighBit});
        }
        // The enumeration reports named entries before ids even when a file mixes them.
        std::stable_partition(entries.begin(), entries.end(), [](const TEntry& e) { return e.Named; });
        return entries;
    }

    QString Ident(const TEntry& entry) const
    {
        if (!entry.Named) return OrdinalIdent(uint16_t(entry.NameField));
        const uint64_t relative = entry.NameField & ~HighBit;
        if (relative + 2 > uint64_t(FLimit))
            Fail(QStringLiteral("The resource name string at offset %1 lies beyond the end of the data.")
                     .arg(At(relative)));
        const uint16_t length = Get16(FData, FBase + int64_t(relative));
        if (relative + 2 + 2 * uint64_t(length) > uint64_t(FLimit))
            Fail(QStringLiteral("The resource name string at offset %1 (%2 characters) runs past the end of "
                                "the data.")
                     .arg(At(relative))
                     .arg(length));
        QString name(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i)
            name[i] = QChar(char16_t(Get16(FData, FBase + int64_t(relative) + 2 + 2 * i)));
        return name;
    }

    void ReadDataEntry(uint32_t relative, TPEResource& resource)
    {
        if (uint64_t(relative) + DataEntrySize > uint64_t(FLimit))
            Fail(QStringLiteral("The resource data entry at offset %1 lies beyond the end of the data.")
                     .arg(At(relative)));
        const int64_t at = FBase + relative;
        const uint32_t rva = Get32(FData, at);
        const uint32_t size = Get32(FData, at + 4);
        resource.CodePage = Get32(FData, at + 8);
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
        if (FLoadedBytes > uint64_t(FData.size()))
            Fail(QStringLiteral("The resource data entry at offset %1 overlaps others: together they hold more "
                                "bytes than the file.")
                     .arg(Hex(uint64_t(at))));
        resource.Data = FData.mid(offset, size);
        FLoaded.insert(key, resource.Data);
    }

    const TPEImage& FImage;
    const QByteArray& FData;
    const int64_t FBase;
    const int64_t FLimit;
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

TTypeMap BuildTree(const QList<TPEResource>& resources)
{
    TTypeMap types;
    for (const TPEResource& r : resources)
        types[ParseIdent(r.Type, "type")][ParseIdent(r.Name, "name")][r.Language] = r.Data; // last one wins
    return types;
}

// The section contents for a given base RVA; only the data entries' RVAs depend on it.
class TResourceBlob {
public:
    explicit TResourceBlob(const TTypeMap& types)
    {
        uint64_t tables = DirectoryTableSize + DirectoryEntrySize * types.size();
        uint64_t resourceCount = 0;
        std::map<QString, uint64_t> strings; // exact text -> offset, shared by equal names
        const auto addString = [&strings](const TIdent& ident) {
            if (ident.IsName) strings.emplace(ident.Name, 0);
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
        const uint64_t entriesStart = tables;
        uint64_t cursor = entriesStart + DataEntrySize * resourceCount;
        for (auto& [text, offset] : strings) {
            offset = cursor;
            cursor += 2 + 2 * uint64_t(text.size());
        }
        cursor = AlignUp(cursor, 8);
        const uint64_t dataStart = cursor;
        for (const auto& [type, names] : types)
            for (const auto& [name, languages] : names)
                for (const auto& [language, data] : languages) {
                    cursor = AlignUp(cursor + uint64_t(data.size()), 8);
                    if (cursor > MaxBlobSize) Fail(QStringLiteral("The resources are too large for a module."));
                }
        FBytes = QByteArray(qsizetype(cursor), '\0');

        // Tables breadth first: the root, every name table, every language table.
        uint64_t nextTable = DirectoryTableSize + DirectoryEntrySize * types.size();
        uint64_t nextLanguageTable = nextTable;
        for (const auto& [type, names] : types)
            nextLanguageTable += DirectoryTableSize + DirectoryEntrySize * names.size();
        uint64_t nextEntry = entriesStart;
        uint64_t nextData = dataStart;

        const auto nameField = [&strings](const TIdent& ident) -> uint32_t {
            return ident.IsName ? uint32_t(HighBit | strings.at(ident.Name)) : ident.Id;
        };
        WriteTableHeader(0, types);
        uint64_t typeSlot = DirectoryTableSize;
        for (const auto& [type, names] : types) {
            const uint64_t nameTable = nextTable;
            nextTable += DirectoryTableSize + DirectoryEntrySize * names.size();
            WriteEntry(typeSlot, nameField(type), uint32_t(HighBit | nameTable));
            typeSlot += DirectoryEntrySize;
            WriteTableHeader(nameTable, names);
            uint64_t nameSlot = nameTable + DirectoryTableSize;
            for (const auto& [name, languages] : names) {
                const uint64_t languageTable = nextLanguageTable;
                nextLanguageTable += DirectoryTableSize + DirectoryEntrySize * languages.size();
                WriteEntry(nameSlot, nameField(name), uint32_t(HighBit | languageTable));
                nameSlot += DirectoryEntrySize;
                Put16(FBytes, int64_t(languageTable) + 14, uint16_t(languages.size()));
                uint64_t languageSlot = languageTable + DirectoryTableSize;
                for (const auto& [language, data] : languages) {
                    WriteEntry(languageSlot, language, uint32_t(nextEntry));
                    languageSlot += DirectoryEntrySize;
                    Put32(FBytes, int64_t(nextEntry), uint32_t(nextData));
                    Put32(FBytes, int64_t(nextEntry) + 4, uint32_t(data.size()));
                    FRvaFields.append(int64_t(nextEntry));
                    nextEntry += DataEntrySize;
                    if (!data.isEmpty()) std::memcpy(FBytes.data() + nextData, data.constData(), size_t(data.size()));
                    nextData = AlignUp(nextData + uint64_t(data.size()), 8);
                }
            }
        }
        for (const auto& [text, offset] : strings) {
            Put16(FBytes, int64_t(offset), uint16_t(text.size()));
            for (qsizetype i = 0; i < text.size(); ++i)
                Put16(FBytes, int64_t(offset) + 2 + 2 * i, text.at(i).unicode());
        }
    }

    int64_t Size() const { return FBytes.size(); }

    QByteArray At(uint32_t rva) const
    {
        if (uint64_t(rva) + uint64_t(FBytes.size()) > 0xFFFFFFFFu)
            Fail(QString::fromLatin1(SNoAddressSpace));
        QByteArray result = FBytes;
        for (int64_t field : FRvaFields) Put32(result, field, Get32(result, field) + rva);
        return result;
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
    void WriteTableHeader(uint64_t table, const Map& entries)
    {
        const auto named = std::count_if(entries.begin(), entries.end(), [](const auto& e) { return e.first.IsName; });
        Put16(FBytes, int64_t(table) + 12, uint16_t(named));
        Put16(FBytes, int64_t(table) + 14, uint16_t(entries.size() - size_t(named)));
    }

    void WriteEntry(uint64_t slot, uint32_t name, uint32_t target)
    {
        Put32(FBytes, int64_t(slot), name);
        Put32(FBytes, int64_t(slot) + 4, target);
    }

    QByteArray FBytes;
    QList<int64_t> FRvaFields;
};

// ---------------------------------------------------------------------------------------------------
// Replacing the resources of an image.

class TResourceReplacer {
public:
    TResourceReplacer(const QByteArray& image, const std::function<void(const QString&)>& warn)
        : FImage(image), FOut(image), FSections(FImage.Sections()), FWarn(warn)
    {
    }

    QByteArray Run(const QList<TPEResource>& resources)
    {
        const TTypeMap types = BuildTree(resources);
        const TPEDataDirectory old = FImage.DataDirectory(TPEImage::ddResource);
        const bool hadDirectory = old.VirtualAddress != 0;
        if (!hadDirectory && types.empty()) {
            if (old.Size == 0) return FOut; // nothing changes
            DropCertificate();
            SetDirectory(TPEImage::ddResource, 0, 0);
            return Finish();
        }
        if (FImage.NumberOfDataDirectories() <= TPEImage::ddResource)
            Fail(QStringLiteral("The optional header at offset %1 has no entry for a resource directory.")
                     .arg(Hex(uint64_t(FImage.OptionalHeaderOffset()))));
        if (!IsPowerOfTwo(FImage.SectionAlignment()) || !IsPowerOfTwo(FImage.FileAlignment()) ||
            FImage.FileAlignment() > 0x10000)
            Fail(QStringLiteral("The optional header at offset %1 has an invalid section or file alignment "
                                "(%2, %3).")
                     .arg(Hex(uint64_t(FImage.OptionalHeaderOffset())), Hex(FImage.SectionAlignment()),
                          Hex(FImage.FileAlignment())));
        CheckSectionsApart();
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
        if (IsLast(own)) return GrowLast(own, blob);
        if (const int reloc = RelocAfter(own); reloc >= 0) return GrowBeforeReloc(own, reloc, blob);
        // Tools that find resources by section name must not take the old, unreferenced copy for them.
        if (FSections[own].Name.startsWith(".rsrc")) FSections[own].Name = QByteArray(".oldrsrc", 8);
        AppendSection(blob);
    }

    struct TMove {
        uint64_t Start, End;
        int64_t Delta;
    };

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

    QList<TPEDataDirectory> OtherDirectoryRanges() const
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
                const uint32_t size = Get32(FImage.Data(), e + 16);
                const uint32_t rva = Get32(FImage.Data(), e + 20);
                if (rva) ranges.append({rva, size});
            }
        return ranges;
    }

    // True when the section holds nothing the rest of the image refers to by address, except the
    // directory range `allowed` (an index into the data directories, or -1).
    bool HoldsNothingElse(const TPESection& s, int allowedIndex) const
    {
        if (s.Characteristics & (ScnCntCode | ScnMemExecute)) return false;
        const uint64_t start = s.VirtualAddress;
        const uint64_t end = start + MappedSize(s);
        const TPEDataDirectory allowed = allowedIndex >= 0 ? FImage.DataDirectory(allowedIndex) : TPEDataDirectory{};
        for (const TPEDataDirectory& d : OtherDirectoryRanges()) {
            if (allowedIndex >= 0 && d.VirtualAddress == allowed.VirtualAddress && d.Size == allowed.Size) continue;
            const uint64_t dEnd = uint64_t(d.VirtualAddress) + std::max<uint32_t>(d.Size, 1);
            if (d.VirtualAddress < end && dEnd > start) return false;
        }
        const uint32_t entry = Get32(FImage.Data(), Opt(OhAddressOfEntryPoint));
        if (entry && entry >= start && entry < end) return false;
        return RawEnd(s) <= uint64_t(FOut.size());
    }

    // The section the resource directory may be rewritten in: it starts there and holds nothing else.
    int OwnSection(uint32_t rva) const
    {
        for (int i = 0; i < FSections.size(); ++i) {
            const TPESection& s = FSections[i];
            if (s.VirtualAddress == rva && MappedSize(s) > 0) return HoldsNothingElse(s, -1) ? i : -1;
        }
        return -1;
    }

    int NextByAddress(int index) const
    {
        int next = -1;
        for (int i = 0; i < FSections.size(); ++i)
            if (FSections[i].VirtualAddress > FSections[index].VirtualAddress &&
                (next < 0 || FSections[i].VirtualAddress < FSections[next].VirtualAddress))
                next = i;
        return next;
    }

    int LastByFile() const
    {
        int last = -1;
        for (int i = 0; i < FSections.size(); ++i)
            if (FSections[i].SizeOfRawData && (last < 0 || RawEnd(FSections[i]) > RawEnd(FSections[last])))
                last = i;
        return last;
    }

    bool IsLast(int index) const { return NextByAddress(index) < 0 && LastByFile() == index; }

    bool FitsInPlace(int index, const TResourceBlob& blob) const
    {
        const TPESection& s = FSections[index];
        if (blob.Size() > int64_t(s.SizeOfRawData)) return false;
        const int next = NextByAddress(index);
        return next < 0 || uint64_t(s.VirtualAddress) + uint64_t(blob.Size()) <= FSections[next].VirtualAddress;
    }

    // The section after `index` when it is the last one and holds just the base relocations.
    int RelocAfter(int index) const
    {
        const int next = NextByAddress(index);
        if (next < 0 || NextByAddress(next) >= 0 || LastByFile() != next) return -1;
        const TPESection& s = FSections[index];
        const TPESection& reloc = FSections[next];
        const TPEDataDirectory relocs = FImage.DataDirectory(TPEImage::ddBaseReloc);
        if (relocs.VirtualAddress != reloc.VirtualAddress || relocs.Size == 0 || relocs.Size > MappedSize(reloc))
            return -1;
        if (reloc.PointerToRawData < RawEnd(s)) return -1;
        for (const TPESection& other : FSections)
            if (&other != &s && &other != &reloc && other.SizeOfRawData && RawEnd(other) > s.PointerToRawData)
                return -1;
        return HoldsNothingElse(reloc, TPEImage::ddBaseReloc) ? next : -1;
    }

    bool EmptyInPlace(uint32_t rva)
    {
        const int64_t at = FImage.RvaToOffset(rva, DirectoryTableSize);
        if (at < 0 || at + DirectoryTableSize > FOut.size()) return false;
        std::memset(FOut.data() + at, 0, size_t(DirectoryTableSize));
        SetDirectory(TPEImage::ddResource, rva, uint32_t(DirectoryTableSize));
        return true;
    }

    void WriteInPlace(int index, const TResourceBlob& blob)
    {
        TPESection& s = FSections[index];
        const QByteArray bytes = blob.At(s.VirtualAddress);
        std::memcpy(FOut.data() + s.PointerToRawData, bytes.constData(), size_t(bytes.size()));
        std::memset(FOut.data() + s.PointerToRawData + bytes.size(), 0, size_t(s.SizeOfRawData - bytes.size()));
        s.VirtualSize = uint32_t(bytes.size());
        // The loader wants no gap before the next section; the rest of the section maps as zeros.
        const int next = NextByAddress(index);
        if (next >= 0 && AlignUp(uint64_t(s.VirtualAddress) + s.VirtualSize, FImage.SectionAlignment()) <
                             FSections[next].VirtualAddress)
            s.VirtualSize = FSections[next].VirtualAddress - s.VirtualAddress;
        SetDirectory(TPEImage::ddResource, s.VirtualAddress, uint32_t(bytes.size()));
    }

    QByteArray Padded(const QByteArray& bytes) const
    {
        QByteArray result = bytes;
        result.resize(qsizetype(AlignUp(uint64_t(bytes.size()), FImage.FileAlignment())), '\0');
        return result;
    }

    void CheckFileSize(uint64_t size) const
    {
        if (size > 0xFFFFFFFFu) Fail(QStringLiteral("The module would grow beyond 4 GB."));
    }

    void GrowLast(int index, const TResourceBlob& blob)
    {
        TPESection& s = FSections[index];
        const QByteArray bytes = Padded(blob.At(s.VirtualAddress));
        const uint64_t oldEnd = RawEnd(s);
        const QByteArray overlay = FOut.mid(qsizetype(oldEnd));
        CheckFileSize(uint64_t(s.PointerToRawData) + bytes.size() + overlay.size());
        FMoves.append({oldEnd, uint64_t(FOut.size()), int64_t(s.PointerToRawData) + bytes.size() - int64_t(oldEnd)});
        FOut.truncate(s.PointerToRawData);
        FOut += bytes;
        FOut += overlay;
        s.VirtualSize = uint32_t(blob.Size());
        s.SizeOfRawData = uint32_t(bytes.size());
        SetDirectory(TPEImage::ddResource, s.VirtualAddress, uint32_t(blob.Size()));
    }

    void GrowBeforeReloc(int index, int relocIndex, const TResourceBlob& blob)
    {
        TPESection& s = FSections[index];
        TPESection& reloc = FSections[relocIndex];
        const QByteArray bytes = Padded(blob.At(s.VirtualAddress));
        const uint64_t relocVA = AlignUp(uint64_t(s.VirtualAddress) + uint64_t(blob.Size()), FImage.SectionAlignment());
        const uint64_t relocRaw = AlignUp(uint64_t(s.PointerToRawData) + bytes.size(), FImage.FileAlignment());
        const QByteArray relocBytes = FOut.mid(reloc.PointerToRawData, reloc.SizeOfRawData);
        const uint64_t overlayStart = RawEnd(reloc);
        const QByteArray overlay = FOut.mid(qsizetype(overlayStart));
        CheckFileSize(relocRaw + relocBytes.size() + overlay.size());
        if (relocVA + MappedSize(reloc) > 0xFFFFFFFFu) Fail(QString::fromLatin1(SNoAddressSpace));
        FMoves.append({reloc.PointerToRawData, RawEnd(reloc), int64_t(relocRaw) - int64_t(reloc.PointerToRawData)});
        FMoves.append(
            {overlayStart, uint64_t(FOut.size()), int64_t(relocRaw + relocBytes.size()) - int64_t(overlayStart)});

        FOut.truncate(s.PointerToRawData);
        FOut += bytes;
        FOut.resize(qsizetype(relocRaw), '\0');
        FOut += relocBytes;
        FOut += overlay;

        const TPEDataDirectory relocs = FImage.DataDirectory(TPEImage::ddBaseReloc);
        SetDirectory(TPEImage::ddBaseReloc, uint32_t(relocVA + (relocs.VirtualAddress - reloc.VirtualAddress)),
                     relocs.Size);
        reloc.VirtualAddress = uint32_t(relocVA);
        reloc.PointerToRawData = uint32_t(relocRaw);
        s.VirtualSize = uint32_t(blob.Size());
        s.SizeOfRawData = uint32_t(bytes.size());
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
        const QByteArray bytes = Padded(blob.At(uint32_t(rva)));
        const uint64_t raw = AlignUp(uint64_t(FOut.size()), FImage.FileAlignment());
        CheckFileSize(raw + bytes.size());
        FOut.resize(qsizetype(raw), '\0');
        FOut += bytes;
        TPESection section;
        section.Name = QByteArray(".rsrc\0\0\0", 8);
        section.VirtualSize = uint32_t(blob.Size());
        section.VirtualAddress = uint32_t(rva);
        section.SizeOfRawData = uint32_t(bytes.size());
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

    QByteArray Finish()
    {
        const int64_t fileHeader = FImage.FileHeaderOffset();
        if (!FMoves.isEmpty()) {
            const uint32_t symbols = Get32(FOut, fileHeader + FhPointerToSymbolTable);
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
        if (FImage.CheckSum() != 0) Put32(FOut, Opt(OhCheckSum), TPEImage::ComputeCheckSum(FOut, Opt(OhCheckSum)));
        return FOut;
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
            !MapRvaIn(FSections, FImage.SizeOfHeaders(), FOut.size(), debug.VirtualAddress, at, available))
            return;
        const int64_t end = at + std::min<int64_t>(debug.Size, available);
        for (int64_t e = at; e + DebugEntrySize <= end; e += DebugEntrySize) {
            const uint32_t pointer = Get32(FOut, e + 24);
            if (pointer) Put32(FOut, e + 24, Moved(pointer));
        }
    }

    const TPEImage FImage;
    QByteArray FOut;
    QList<TPESection> FSections;
    QList<TMove> FMoves;
    const std::function<void(const QString&)>& FWarn;
};

} // namespace

// ---------------------------------------------------------------------------------------------------

bool TPEImage::IsPEImage(const QByteArray& data)
{
    if (data.size() < DosHeaderSize || data.at(0) != 'M' || data.at(1) != 'Z') return false;
    const uint64_t offset = Get32(data, 0x3C);
    return offset + 4 <= uint64_t(data.size()) && std::memcmp(data.constData() + offset, "PE\0\0", 4) == 0;
}

TPEImage::TPEImage(const QByteArray& data) : FData(data)
{
    const int64_t size = data.size();
    if (size < DosHeaderSize)
        Fail(QStringLiteral("The file is too small for a DOS header (%1 bytes).").arg(size));
    if (data.at(0) != 'M' || data.at(1) != 'Z') Fail(QStringLiteral("No DOS header (\"MZ\") at offset 0."));
    const uint32_t peOffset = Get32(data, 0x3C);
    if (uint64_t(peOffset) + 4 + FileHeaderSize > uint64_t(size))
        Fail(QStringLiteral("The PE header offset %1 (DOS header, offset 0x3C) lies beyond the end of the file "
                            "(%2 bytes).")
                 .arg(Hex(peOffset))
                 .arg(size));
    if (std::memcmp(data.constData() + peOffset, "PE\0\0", 4) != 0)
        Fail(QStringLiteral("No PE signature at offset %1.").arg(Hex(peOffset)));

    FFileHeaderOffset = int64_t(peOffset) + 4;
    FMachine = Get16(data, FFileHeaderOffset);
    const uint16_t sectionCount = Get16(data, FFileHeaderOffset + FhNumberOfSections);
    const uint16_t optionalSize = Get16(data, FFileHeaderOffset + FhSizeOfOptionalHeader);
    FOptionalHeaderOffset = FFileHeaderOffset + FileHeaderSize;
    const QString optionalAt = Hex(uint64_t(FOptionalHeaderOffset));
    if (FOptionalHeaderOffset + optionalSize > size)
        Fail(QStringLiteral("The optional header at offset %1 (%2 bytes) runs past the end of the file.")
                 .arg(optionalAt)
                 .arg(optionalSize));
    if (optionalSize < 2)
        Fail(QStringLiteral("The optional header at offset %1 is missing (%2 bytes).")
                 .arg(optionalAt)
                 .arg(optionalSize));
    const uint16_t magic = Get16(data, FOptionalHeaderOffset);
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
    const uint32_t directoryCount = Get32(data, FOptionalHeaderOffset + countField);
    const uint32_t directoryRoom = uint32_t((optionalSize - countField - 4) / 8);
    if (directoryCount > directoryRoom)
        Fail(QStringLiteral("The optional header at offset %1 declares %2 data directories but has room for %3.")
                 .arg(optionalAt)
                 .arg(directoryCount)
                 .arg(directoryRoom));
    FNumberOfDirectories = int(std::min<uint32_t>(directoryCount, MaxDataDirectories));
    FDataDirectoryOffset = FOptionalHeaderOffset + countField + 4;
    FSectionAlignment = Get32(data, FOptionalHeaderOffset + OhSectionAlignment);
    FFileAlignment = Get32(data, FOptionalHeaderOffset + OhFileAlignment);
    FSizeOfHeaders = Get32(data, FOptionalHeaderOffset + OhSizeOfHeaders);

    FSectionTableOffset = FOptionalHeaderOffset + optionalSize;
    if (FSectionTableOffset + SectionHeaderSize * sectionCount > size)
        Fail(QStringLiteral("The section table at offset %1 (%2 sections) runs past the end of the file.")
                 .arg(Hex(uint64_t(FSectionTableOffset)))
                 .arg(sectionCount));
    FSections.reserve(sectionCount);
    for (int i = 0; i < sectionCount; ++i) {
        const int64_t at = FSectionTableOffset + SectionHeaderSize * i;
        TPESection s;
        s.Name = data.mid(at, 8);
        s.VirtualSize = Get32(data, at + 8);
        s.VirtualAddress = Get32(data, at + 12);
        s.SizeOfRawData = Get32(data, at + 16);
        s.PointerToRawData = Get32(data, at + 20);
        s.PointerToRelocations = Get32(data, at + 24);
        s.PointerToLinenumbers = Get32(data, at + 28);
        s.NumberOfRelocations = Get16(data, at + 32);
        s.NumberOfLinenumbers = Get16(data, at + 34);
        s.Characteristics = Get32(data, at + 36);
        FSections.append(s);
    }
}

TPEDataDirectory TPEImage::DataDirectory(int index) const
{
    if (index < 0 || index >= FNumberOfDirectories) return {};
    return {Get32(FData, FDataDirectoryOffset + 8 * index), Get32(FData, FDataDirectoryOffset + 8 * index + 4)};
}

uint32_t TPEImage::CheckSum() const { return Get32(FData, FOptionalHeaderOffset + OhCheckSum); }

uint32_t TPEImage::SizeOfImage() const { return Get32(FData, FOptionalHeaderOffset + OhSizeOfImage); }

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

QList<TPEResource> TPEImage::Resources() const
{
    const TPEDataDirectory directory = DataDirectory(ddResource);
    if (directory.VirtualAddress == 0) return {};
    int64_t base = 0;
    int64_t available = 0;
    if (!MapRva(directory.VirtualAddress, base, available))
        Fail(QStringLiteral("The resource directory at RVA %1 (data directory 2) does not map into the file.")
                 .arg(Hex(directory.VirtualAddress)));
    return TDirectoryReader(*this, base, available).Read();
}

uint32_t TPEImage::ComputeCheckSum(const QByteArray& data, int64_t checkSumOffset)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    const int64_t size = data.size();
    const auto byteAt = [&](int64_t i) -> uint32_t {
        return i >= checkSumOffset && i < checkSumOffset + 4 ? 0 : bytes[i];
    };
    uint32_t sum = 0;
    for (int64_t i = 0; i < size; i += 2) {
        sum += byteAt(i) | (i + 1 < size ? byteAt(i + 1) << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return sum + uint32_t(size);
}

QByteArray ReplacePEResources(const QByteArray& image, const QList<TPEResource>& resources,
                              const std::function<void(const QString&)>& warn)
{
    return TResourceReplacer(image, warn).Run(resources);
}
