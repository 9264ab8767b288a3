// The version resource (VS_VERSIONINFO) of a file: its fixed file information, translation table and
// strings. Read only; the version information kind edits such resources.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

struct TVersionTranslation {
    uint16_t LanguageID = 0;
    uint16_t CharsetID = 0;
};

class TVersionInfo {
public:
    // The version resource (type 16, name 1) of a PE module on disk. A file that cannot be read, is
    // not a sound PE image or carries no version resource gives an object that is not Valid.
    explicit TVersionInfo(const QString& Filename);
    // The bytes of a version resource as a module carries it.
    static TVersionInfo FromResource(const QByteArray& VersionResource);

    bool Valid() const { return FValid; }
    int TranslationCount() const { return int(FTranslationTable.size()); }

    // 0 when not Valid or without fixed file information.
    uint64_t FileVersion() const;
    uint64_t ProductVersion() const;
    uint32_t FileFlags() const; // the flags under their mask
    uint32_t OS() const;
    uint32_t FileType() const;
    uint32_t FileSubType() const;
    uint64_t FileDate() const;

    // Raise EListError "List index out of bounds (%d)" for an index outside the translation table.
    TVersionTranslation GetTranslation(int Index) const;
    QString GetString(const QString& Key) const; // translation 0
    QString GetString(const QString& Key, int Index) const;
    // Empty when not Valid or when the value is absent.
    QString GetString(const QString& Key, uint16_t LanguageID, uint16_t CharsetID) const;
    QString GetString(const QString& Key, const QString& TranslationID) const;

    // "a.b.c.d" of the four 16-bit parts, highest first.
    static QString VersionToString(uint64_t Version);

private:
    struct TFixedFileInfo {
        uint32_t FileVersionMS = 0, FileVersionLS = 0;
        uint32_t ProductVersionMS = 0, ProductVersionLS = 0;
        uint32_t FileFlagsMask = 0, FileFlags = 0;
        uint32_t FileOS = 0, FileType = 0, FileSubtype = 0;
        uint32_t FileDateMS = 0, FileDateLS = 0;
    };

    TVersionInfo() = default;
    void Load(const QByteArray& Buffer);

    QByteArray FVersionBuffer;
    bool FValid = false;
    std::optional<TFixedFileInfo> FFileInfo;
    QList<TVersionTranslation> FTranslationTable;
};

class TBinaryReader;

// One block of the version tree: header (length, value length, type), key, value, children. Offsets
// are into the whole resource, which is where the 32-bit alignment counts from.
struct TVersionBlock {
    qsizetype Start = 0;
    uint16_t Length = 0; // as stored
    bool Overruns = false; // the stored length reaches past the parent or the data
    qsizetype End = 0; // exclusive, never past the parent's end
    uint16_t ValueLength = 0; // as stored: characters for text, bytes for binary
    uint16_t Type = 0; // 1 for text
    QString Key;
    qsizetype ValueStart = 0;
    qsizetype ValueEnd = 0; // the value's bytes, clamped to the block
    qsizetype ChildrenStart = 0;
    qsizetype HeaderSize() const { return ValueStart - Start; }
};

inline qsizetype VersionBlockAlign(qsizetype At) { return (At + 3) & ~qsizetype(3); }

// The block at At, read no further than Limit; none when its header does not fit, its length is below
// a header's or its key does not end inside it.
std::optional<TVersionBlock> ReadVersionBlock(const TBinaryReader& Data, qsizetype At, qsizetype Limit);

// The program's own version resource, generated from the project version at build time.
QByteArray ProgramVersionResource();
TVersionInfo ProgramVersionInfo();
