#include "koResourceItemVersionInfo.h"

#include "model/koResourcesMessages.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Languages.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

namespace {
const char* const SVersionInfo = "VersionInfo";
const char* const SDuplicateString = "Duplicate version info string: %.8X %s";
const char* const SDuplicateTranslation = "Duplicate version info translation ID: %.8X";
constexpr uint32_t FileFlagBits = 0x3F;
} // namespace

// --- strings

TVersionInfoStringList::~TVersionInfoStringList() = default;

void TVersionInfoStringList::DoChange()
{
    if (OnChange) OnChange();
}

void TVersionInfoStringList::DoChanged()
{
    if (OnChanged) OnChanged();
}

TVersionInfoString* TVersionInfoStringList::Add(const QString& Key, const QString& Value, uint16_t Language,
                                                uint16_t Charset)
{
    const int existing = IndexOf(Key, Language, Charset);
    if (existing >= 0) {
        LogMessage(Format(QString::fromLatin1(SDuplicateString), {MakeTranslation(Language, Charset), Key}),
                   rmWarning);
        return FItems[existing].get();
    }
    DoChange();
    FItems.push_back(std::make_unique<TVersionInfoString>(Key, Value, Language, Charset));
    DoChanged();
    return FItems.back().get();
}

TVersionInfoString* TVersionInfoStringList::Add(const QString& Key, const QString& Value, uint32_t Translation)
{
    return Add(Key, Value, uint16_t(Translation & 0xFFFF), uint16_t(Translation >> 16));
}

TVersionInfoString* TVersionInfoStringList::Items(int Index) const
{
    if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
    return FItems[Index].get();
}

void TVersionInfoStringList::Delete(int Index)
{
    Items(Index);
    DoChange();
    FItems.erase(FItems.begin() + Index);
    DoChanged();
}

void TVersionInfoStringList::Remove(TVersionInfoString* Item)
{
    const int index = IndexOf(Item);
    if (index >= 0) Delete(index);
}

void TVersionInfoStringList::Clear()
{
    DoChange();
    FItems.clear();
    DoChanged();
}

int TVersionInfoStringList::IndexOf(const QString& Key, uint16_t Language, uint16_t Charset) const
{
    for (int i = Count() - 1; i >= 0; --i) {
        const TVersionInfoString& s = *FItems[i];
        if (s.Language() == Language && s.Charset() == Charset && s.Key() == Key) return i;
    }
    return -1;
}

int TVersionInfoStringList::IndexOf(const QString& Key, uint32_t Translation) const
{
    return IndexOf(Key, uint16_t(Translation & 0xFFFF), uint16_t(Translation >> 16));
}

int TVersionInfoStringList::IndexOf(const TVersionInfoString* Item) const
{
    for (int i = Count() - 1; i >= 0; --i)
        if (FItems[i].get() == Item) return i;
    return -1;
}

// --- translations

void TVersionInfoTranslationList::DoChange()
{
    if (OnChange) OnChange();
}

void TVersionInfoTranslationList::DoChanged()
{
    if (OnChanged) OnChanged();
}

int TVersionInfoTranslationList::Add(uint32_t TranslationID)
{
    const int existing = IndexOf(TranslationID);
    if (existing >= 0) {
        LogMessage(Format(QString::fromLatin1(SDuplicateTranslation), {TranslationID}), rmWarning);
        return existing;
    }
    DoChange();
    FItems.push_back(TranslationID);
    DoChanged();
    return Count() - 1;
}

int TVersionInfoTranslationList::Add(uint16_t LanguageID, uint16_t CharsetID)
{
    return Add(MakeTranslation(LanguageID, CharsetID));
}

uint32_t TVersionInfoTranslationList::Items(int Index) const
{
    if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
    return FItems[Index];
}

void TVersionInfoTranslationList::Delete(int Index)
{
    Items(Index);
    DoChange();
    FItems.erase(FItems.begin() + Index);
    DoChanged();
}

void TVersionInfoTranslationList::Remove(uint32_t TranslationID)
{
    DoChange();
    for (auto it = FItems.begin(); it != FItems.end(); ++it)
        if (*it == TranslationID) {
            FItems.erase(it);
            break;
        }
    DoChanged();
}

void TVersionInfoTranslationList::Clear()
{
    DoChange();
    FItems.clear();
    DoChanged();
}

int TVersionInfoTranslationList::IndexOf(uint32_t TranslationID) const
{
    for (int i = Count() - 1; i >= 0; --i)
        if (FItems[i] == TranslationID) return i;
    return -1;
}

QString TVersionInfoTranslationList::LanguageName(int Index) const
{
    const uint16_t language = LanguageID(Index);
    if (const TLanguageInfo* info = FindLanguage(language)) return QString::fromUtf8(info->Name);
    return QStringLiteral("Language Neutral");
}

// --- the item

TVersionResourceItem::TVersionResourceItem(const TResourceIdent& AResName)
    : TResourceItem(TResourceIdent::FromOrdinal(RT_VERSION), AResName),
      FStrings(std::make_unique<TVersionInfoStringList>()),
      FTranslations(std::make_unique<TVersionInfoTranslationList>())
{
    FStrings->OnChange = [this] { BeginUpdate(); };
    FStrings->OnChanged = [this] { EndUpdate(); };
    FTranslations->OnChange = [this] { BeginUpdate(); };
    FTranslations->OnChanged = [this] { EndUpdate(); };
}

TVersionResourceItem::~TVersionResourceItem()
{
    FStrings->OnChange = nullptr;
    FStrings->OnChanged = nullptr;
    FTranslations->OnChange = nullptr;
    FTranslations->OnChanged = nullptr;
}

bool TVersionResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_VERSION);
}

QString TVersionResourceItem::ResourceTypeName() { return QString::fromLatin1(SVersionInfo); }

TResourceItemGlyphHandle TVersionResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_VERSION_TYPE"), QStringLiteral("version.type"));
    return inherited::GetGlyph(Kind);
}

void TVersionResourceItem::SetFileInfoField(uint32_t VS_FIXEDFILEINFO::*Field, uint32_t Value)
{
    if (FFileInfo.*Field == Value) return;
    TUpdateGuard guard(this);
    FFileInfo.*Field = Value;
}

uint64_t TVersionResourceItem::FileVersion() const
{
    return (uint64_t(FFileInfo.dwFileVersionMS) << 32) | FFileInfo.dwFileVersionLS;
}

void TVersionResourceItem::SetFileVersion(uint64_t Value)
{
    if (Value == FileVersion()) return;
    TUpdateGuard guard(this);
    FFileInfo.dwFileVersionMS = uint32_t(Value >> 32);
    FFileInfo.dwFileVersionLS = uint32_t(Value);
}

uint64_t TVersionResourceItem::ProductVersion() const
{
    return (uint64_t(FFileInfo.dwProductVersionMS) << 32) | FFileInfo.dwProductVersionLS;
}

void TVersionResourceItem::SetProductVersion(uint64_t Value)
{
    if (Value == ProductVersion()) return;
    TUpdateGuard guard(this);
    FFileInfo.dwProductVersionMS = uint32_t(Value >> 32);
    FFileInfo.dwProductVersionLS = uint32_t(Value);
}

TVersionInfoFileFlags TVersionResourceItem::FileFlags() const
{
    return TVersionInfoFileFlags::FromBits(FFileInfo.dwFileFlags & FFileInfo.dwFileFlagsMask & FileFlagBits);
}

void TVersionResourceItem::SetFileFlags(TVersionInfoFileFlags Value)
{
    SetFileInfoField(&VS_FIXEDFILEINFO::dwFileFlags, uint32_t(Value.Bits()) & FFileInfo.dwFileFlagsMask);
}

TVersionInfoFileFlags TVersionResourceItem::FileFlagsMask() const
{
    return TVersionInfoFileFlags::FromBits(FFileInfo.dwFileFlagsMask & FileFlagBits);
}

void TVersionResourceItem::SetFileFlagsMask(TVersionInfoFileFlags Value)
{
    SetFileInfoField(&VS_FIXEDFILEINFO::dwFileFlagsMask, uint32_t(Value.Bits()));
}

void TVersionResourceItem::SetFileOS(uint32_t Value) { SetFileInfoField(&VS_FIXEDFILEINFO::dwFileOS, Value); }

void TVersionResourceItem::SetFileOSHost(TVersionInfoFileOSHost Value)
{
    SetFileInfoField(&VS_FIXEDFILEINFO::dwFileOS, (uint32_t(Value) << 16) | (FFileInfo.dwFileOS & 0xFFFF));
}

void TVersionResourceItem::SetFileOSShell(TVersionInfoFileOSShell Value)
{
    SetFileInfoField(&VS_FIXEDFILEINFO::dwFileOS, (FFileInfo.dwFileOS & 0xFFFF0000) | (uint32_t(Value) & 0xFFFF));
}

void TVersionResourceItem::SetFileType(TVersionInfoFileType Value)
{
    SetFileInfoField(&VS_FIXEDFILEINFO::dwFileType, uint32_t(Value));
}

void TVersionResourceItem::SetFileSubType(uint32_t Value)
{
    SetFileInfoField(&VS_FIXEDFILEINFO::dwFileSubtype, Value);
}

void TVersionResourceItem::Clear()
{
    TUpdateGuard guard(this);
    FStrings->Clear();
    FTranslations->Clear();
}

void TVersionResourceItem::InitializeNewItem()
{
    TUpdateGuard guard(this);
    inherited::InitializeNewItem();
    FFileInfo = VS_FIXEDFILEINFO();
    SetFileOSShell(osWin32);
    SetFileType(ftApplication);
    FTranslations->Clear();
    FStrings->Clear();
    const uint16_t language = Language();
    const uint16_t charset = uint16_t(CodePage());
    for (const char* key : {"CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
                            "LegalTrademarks", "OriginalFilename", "ProductName", "ProductVersion", "Comments"})
        FStrings->Add(QString::fromLatin1(key), QString(), language, charset);
}

void TVersionResourceItem::LoadFromStream(TStream&, int64_t) {}

void TVersionResourceItem::SaveToStream(TStream&) {}

QString VersionToStr(uint64_t Version, QChar Separator)
{
    const QString sep(Separator);
    return QStringLiteral("%1%2%3%4%5%6%7")
        .arg(Version >> 48)
        .arg(sep)
        .arg((Version >> 32) & 0xFFFF)
        .arg(sep)
        .arg((Version >> 16) & 0xFFFF)
        .arg(sep)
        .arg(Version & 0xFFFF);
}

uint64_t StrToVersion(const QString& Text, QChar Separator)
{
    const QStringList parts = Text.split(Separator);
    uint64_t result = 0;
    for (int i = 0; i < 4; ++i) {
        uint64_t part = 0;
        if (i < parts.size()) {
            bool ok = false;
            const uint value = parts[i].trimmed().toUInt(&ok, 10);
            if (ok) part = value & 0xFFFF;
        }
        result = (result << 16) | part;
    }
    return result;
}

void koResourceItemVersionInfo_Initialize() { TVersionResourceItem::ClassInfo()->Register(0); }

void koResourceItemVersionInfo_Finalize() { TVersionResourceItem::ClassInfo()->Unregister(); }
