// Version information: the fixed file information, the translations and the strings of every
// translation of a module's version resource, read from and written back as the block tree.
#pragma once

#include "model/koResourcesItem.h"
#include "platform/Sets.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TStream;
class TBinaryReader;
struct TVersionBlock;

enum TVersionInfoFileFlag { ffDebug, ffPreRelease, ffPatched, ffPrivateBuild, ffInfoInferred, ffSpecialBuild };
using TVersionInfoFileFlags = TSet<TVersionInfoFileFlag>;

enum TVersionInfoFileOSHost { ohUnknown = 0, ohDos = 1, ohOS216 = 2, ohOS232 = 3, ohNt = 4, osWinCE = 5 };
enum TVersionInfoFileOSShell { osBase = 0, osWin16 = 1, osPM16 = 2, osPM32 = 3, osWin32 = 4 };
enum TVersionInfoFileType {
    ftUnknown = 0, ftApplication = 1, ftDLL = 2, ftDriver = 3, ftFont = 4, ftVXD = 5, _ftInvalid = 6, ftLibrary = 7
};

// The 13 fields of the fixed file information, in their stored order.
struct VS_FIXEDFILEINFO {
    uint32_t dwSignature = 0;
    uint32_t dwStrucVersion = 0;
    uint32_t dwFileVersionMS = 0;
    uint32_t dwFileVersionLS = 0;
    uint32_t dwProductVersionMS = 0;
    uint32_t dwProductVersionLS = 0;
    uint32_t dwFileFlagsMask = 0;
    uint32_t dwFileFlags = 0;
    uint32_t dwFileOS = 0;
    uint32_t dwFileType = 0;
    uint32_t dwFileSubtype = 0;
    uint32_t dwFileDateMS = 0;
    uint32_t dwFileDateLS = 0;
};

inline constexpr uint32_t VS_FFI_SIGNATURE = 0xFEEF04BD;
inline constexpr uint32_t VS_FFI_STRUCVERSION = 0x00010000;

// A translation: the language ID in the low 16 bits, the character set ID in the high 16.
using TTranslationRec = uint32_t;

inline constexpr uint32_t MakeTranslation(uint16_t LanguageID, uint16_t CharsetID)
{
    return uint32_t(LanguageID) | (uint32_t(CharsetID) << 16);
}

// One value of a string table; never changed once made.
class TVersionInfoString {
public:
    TVersionInfoString(const QString& AKey, const QString& AValue, uint16_t ALanguage, uint16_t ACharset)
        : FKey(AKey), FValue(AValue), FLanguage(ALanguage), FCharset(ACharset)
    {
    }
    const QString& Key() const { return FKey; }
    const QString& Value() const { return FValue; }
    uint16_t Language() const { return FLanguage; }
    uint16_t Charset() const { return FCharset; }
    uint32_t Translation() const { return MakeTranslation(FLanguage, FCharset); }

private:
    QString FKey;
    QString FValue;
    uint16_t FLanguage;
    uint16_t FCharset;
};

// The strings of every translation in one list, in the order they were added.
class TVersionInfoStringList {
public:
    TVersionInfoStringList() = default;
    TVersionInfoStringList(const TVersionInfoStringList&) = delete;
    TVersionInfoStringList& operator=(const TVersionInfoStringList&) = delete;
    ~TVersionInfoStringList();

    // A string with the key and translation already listed logs "Duplicate version info string: %.8X %s"
    // and is returned unchanged.
    TVersionInfoString* Add(const QString& Key, const QString& Value, uint16_t Language, uint16_t Charset);
    TVersionInfoString* Add(const QString& Key, const QString& Value, uint32_t Translation);
    void Delete(int Index);
    void Remove(TVersionInfoString* Item);
    void Clear();
    // Searched from the last; -1 when none.
    int IndexOf(const QString& Key, uint16_t Language, uint16_t Charset) const;
    int IndexOf(const QString& Key, uint32_t Translation) const;
    int IndexOf(const TVersionInfoString* Item) const;
    int Count() const { return int(FItems.size()); }
    TVersionInfoString* Items(int Index) const;
    TVersionInfoString* operator[](int Index) const { return Items(Index); }

    // Before and after every change.
    std::function<void()> OnChange;
    std::function<void()> OnChanged;

private:
    void DoChange();
    void DoChanged();
    std::vector<std::unique_ptr<TVersionInfoString>> FItems;
};

class TVersionInfoTranslationList {
public:
    // A value already listed logs "Duplicate version info translation ID: %.8X" and gives its index.
    int Add(uint32_t TranslationID);
    int Add(uint16_t LanguageID, uint16_t CharsetID);
    void Delete(int Index);
    // The first equal value; the events fire also when there is none.
    void Remove(uint32_t TranslationID);
    void Clear();
    // Searched from the last; -1 when none.
    int IndexOf(uint32_t TranslationID) const;
    int Count() const { return int(FItems.size()); }
    uint32_t Items(int Index) const;
    uint32_t operator[](int Index) const { return Items(Index); }
    uint16_t LanguageID(int Index) const { return uint16_t(Items(Index) & 0xFFFF); }
    uint16_t CharsetID(int Index) const { return uint16_t(Items(Index) >> 16); }
    // The display name of the translation's language.
    QString LanguageName(int Index) const;

    std::function<void()> OnChange;
    std::function<void()> OnChanged;

private:
    void DoChange();
    void DoChanged();
    std::vector<uint32_t> FItems;
};

class TVersionResourceItem : public TResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TVersionResourceItem, TResourceItem)

public:
    explicit TVersionResourceItem(const TResourceIdent& AResName = TResourceIdent());
    ~TVersionResourceItem() override;
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate}; }
    static QString ResourceTypeName();
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    uint64_t FileVersion() const;
    void SetFileVersion(uint64_t Value);
    uint64_t ProductVersion() const;
    void SetProductVersion(uint64_t Value);
    // The flags within the mask; setting drops flags outside the mask.
    TVersionInfoFileFlags FileFlags() const;
    void SetFileFlags(TVersionInfoFileFlags Value);
    TVersionInfoFileFlags FileFlagsMask() const;
    void SetFileFlagsMask(TVersionInfoFileFlags Value);
    uint32_t FileOS() const { return FFileInfo.dwFileOS; }
    void SetFileOS(uint32_t Value);
    TVersionInfoFileOSHost FileOSHost() const { return TVersionInfoFileOSHost(FFileInfo.dwFileOS >> 16); }
    void SetFileOSHost(TVersionInfoFileOSHost Value);
    TVersionInfoFileOSShell FileOSShell() const { return TVersionInfoFileOSShell(FFileInfo.dwFileOS & 0xFF); }
    void SetFileOSShell(TVersionInfoFileOSShell Value);
    TVersionInfoFileType FileType() const { return TVersionInfoFileType(FFileInfo.dwFileType & 0xFF); }
    void SetFileType(TVersionInfoFileType Value);
    uint32_t FileSubType() const { return FFileInfo.dwFileSubtype; }
    void SetFileSubType(uint32_t Value);
    // Every field as stored, the dates included.
    const VS_FIXEDFILEINFO& FileInfo() const { return FFileInfo; }

    TVersionInfoStringList* Strings() const { return FStrings.get(); }
    TVersionInfoTranslationList* Translations() const { return FTranslations.get(); }

    void Clear() override;
    void InitializeNewItem() override;
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;

private:
    void ReadStringFileInfo(const TBinaryReader& Data, const TVersionBlock& Block);
    void ReadVarFileInfo(const TBinaryReader& Data, const TVersionBlock& Block);
    void SetFileInfoField(uint32_t VS_FIXEDFILEINFO::*Field, uint32_t Value);
    uint64_t GetVersionPair(uint32_t VS_FIXEDFILEINFO::*MS, uint32_t VS_FIXEDFILEINFO::*LS) const;
    void SetVersionPair(uint32_t VS_FIXEDFILEINFO::*MS, uint32_t VS_FIXEDFILEINFO::*LS, uint64_t Value);

    std::unique_ptr<TVersionInfoStringList> FStrings;
    std::unique_ptr<TVersionInfoTranslationList> FTranslations;
    VS_FIXEDFILEINFO FFileInfo;
};

// "1.2.3.4" (or with another separator) of the four 16-bit parts, highest first.
QString VersionToStr(uint64_t Version, QChar Separator);
// At most four parts; a missing or non-numeric part is 0.
uint64_t StrToVersion(const QString& Text, QChar Separator);

void koResourceItemVersionInfo_Initialize();
void koResourceItemVersionInfo_Finalize();
