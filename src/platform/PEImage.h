// Reading and replacing the resources of a PE image (EXE, DLL and the like), PE32 and PE32+, any machine.
// The layer works on bytes only. Input is untrusted: every offset, size and count is checked against the
// data before use, and a bad file raises EPEImageError naming the structure and its file offset.
#pragma once

#include "Exceptions.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>

ATELIER_EXCEPTION_CLASS(EPEImageError, Exception)

// One resource. Type and Name are in the model's identifier form: an ordinal is the two UTF-16 characters
// 0xFFFF and the value; a name is its text as stored in the directory.
struct TPEResource {
    QString Type;
    QString Name;
    uint16_t Language = 0;
    uint32_t CodePage = 0; // from the data entry when reading; written as 0
    QByteArray Data;
};

struct TPESection {
    QByteArray Name; // the 8 raw bytes of the header field
    uint32_t VirtualSize = 0;
    uint32_t VirtualAddress = 0;
    uint32_t SizeOfRawData = 0;
    uint32_t PointerToRawData = 0;
    uint32_t PointerToRelocations = 0;
    uint32_t PointerToLinenumbers = 0;
    uint16_t NumberOfRelocations = 0;
    uint16_t NumberOfLinenumbers = 0;
    uint32_t Characteristics = 0;
};

struct TPEDataDirectory {
    uint32_t VirtualAddress = 0;
    uint32_t Size = 0;
};

class TPEImage {
public:
    // Data directory indexes this layer looks at.
    enum : int {
        ddExport = 0, ddImport = 1, ddResource = 2, ddException = 3, ddSecurity = 4, ddBaseReloc = 5,
        ddDebug = 6, ddTLS = 9, ddLoadConfig = 10, ddBoundImport = 11, ddIAT = 12, ddDelayImport = 13,
        ddCLR = 14,
    };

    // "MZ" at 0 and "PE\0\0" at the 32-bit offset stored at 0x3C (both inside the data).
    static bool IsPEImage(const QByteArray& data);

    // Parses the DOS header, PE signature, file header, optional header, data directories and section
    // table; raises EPEImageError on anything out of bounds or inconsistent.
    explicit TPEImage(const QByteArray& data);

    bool Is64() const { return FIs64; }
    uint16_t Machine() const { return FMachine; }
    const QByteArray& Data() const { return FData; }
    const QList<TPESection>& Sections() const { return FSections; }
    // Zeros for an entry the optional header does not have.
    TPEDataDirectory DataDirectory(int index) const;
    int NumberOfDataDirectories() const { return FNumberOfDirectories; }
    uint32_t CheckSum() const { return FCheckSum; }
    uint32_t SizeOfImage() const { return FSizeOfImage; }
    uint32_t AddressOfEntryPoint() const { return FAddressOfEntryPoint; }
    uint32_t SizeOfHeaders() const { return FSizeOfHeaders; }
    uint32_t SectionAlignment() const { return FSectionAlignment; }
    uint32_t FileAlignment() const { return FFileAlignment; }
    // File offsets of the headers, for callers that patch them.
    int64_t FileHeaderOffset() const { return FFileHeaderOffset; }
    int64_t OptionalHeaderOffset() const { return FOptionalHeaderOffset; }
    int64_t DataDirectoryOffset() const { return FDataDirectoryOffset; }
    int64_t SectionTableOffset() const { return FSectionTableOffset; }

    // Every resource in directory order: type, then name, then language; at each level the named entries
    // first, then the ids, each in file order. Language entries that are named are skipped. A data entry may
    // point outside the resource section. Raises EPEImageError for a directory that loops, is deeper or
    // shallower than 3 levels, counts more entries than the data holds, or a data entry that does not map
    // wholly into the file. A resource whose type, name and language repeat an earlier one's is left out,
    // with a warning naming its directory entry. With View, each Data points into the image's bytes
    // (no copy): valid only while those bytes live.
    enum TDataMode { Copy, View };
    QList<TPEResource> Resources(const std::function<void(const QString&)>& warn = {}, TDataMode mode = Copy) const;

    // Maps an RVA range to a file offset; -1 when it does not map wholly into the file.
    int64_t RvaToOffset(uint32_t rva, uint32_t size) const;

    // The standard image checksum of data, the checksum field at checkSumOffset taken as 0.
    static uint32_t ComputeCheckSum(const QByteArray& data, int64_t checkSumOffset);

private:
    void Parse();

    // The file offset of rva and how many file bytes follow it within the mapped image; false when the
    // RVA is not backed by the file.
    bool MapRva(uint32_t rva, int64_t& offset, int64_t& available) const;

    QByteArray FData;
    bool FIs64 = false;
    uint16_t FMachine = 0;
    int64_t FFileHeaderOffset = 0;
    int64_t FOptionalHeaderOffset = 0;
    int64_t FDataDirectoryOffset = 0;
    int FNumberOfDirectories = 0;
    int64_t FSectionTableOffset = 0;
    uint32_t FSectionAlignment = 0;
    uint32_t FFileAlignment = 0;
    uint32_t FSizeOfHeaders = 0;
    uint32_t FSizeOfImage = 0;
    uint32_t FCheckSum = 0;
    uint32_t FAddressOfEntryPoint = 0;
    TPEDataDirectory FDirectories[16];
    QList<TPESection> FSections;
};

// Replaces all resources of a PE image, as beginning an update that deletes the existing resources, adding
// each resource and ending the update would. Returns the new file bytes. Later duplicates of a (type, name,
// language) replace earlier ones. Warnings (a dropped certificate table, a duplicate) go to warn. Raises EPEImageError
// when the image cannot take the new resources.
// The directory is rewritten in place when the section it starts holds nothing else and it fits; else that
// section grows when it is the last one or followed only by the base relocations (which move up); else a
// new section ".rsrc" is appended and the old one stays, unreferenced.
QByteArray ReplacePEResources(const QByteArray& image, const QList<TPEResource>& resources,
                              const std::function<void(const QString&)>& warn = {});

// The same new file as Head followed by the TailSize bytes of image at TailStart, so that a caller writing
// it to a file need not copy the unchanged end of a large module in memory first.
struct TPEImageParts {
    QByteArray Head;
    int64_t TailStart = 0;
    int64_t TailSize = 0;
};
TPEImageParts ReplacePEResourcesInParts(const QByteArray& image, const QList<TPEResource>& resources,
                                        const std::function<void(const QString&)>& warn = {});
