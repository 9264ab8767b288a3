#include "koResourceItemVersionInfo.h"

#include "model/VersionInfo.h"
#include "model/koResourcesMessages.h"
#include "platform/BinaryReader.h"
#include "platform/SysUtils.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Languages.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <algorithm>

namespace {
const char* const SVersionInfo = "VersionInfo";
const char* const SDuplicateString = "Duplicate version info string: %.8X %s";
const char* const SDuplicateTranslation = "Duplicate version info translation ID: %.8X";
constexpr uint32_t FileFlagBits = 0x3F;
constexpr int FixedFileInfoSize = 13 * 4;
const char* const SPrematureEnd = "Premature end of data";
const char* const SMalformedItem = "Malformed resource item";
const char* const SSizeMismatch = "VersionInfo size mismatch";
const char* const SInvalidKey = "Invalid VersionInfo key value";
const char* const SInvalidSignature = "Invalid version file info signature";
const char* const SInvalidValueLength = "Invalid ValueLength value";
const char* const SMalformedVersionInfo = "Malformed version info";
const char* const SMalformedStringRecord = "Malformed StringFileInfo version record";
const char* const SMalformedVarItem = "Malformed VarFileInfo version record item";
const char* const SMalformedVarRecord = "Malformed VarFileInfo version record";
const char* const SMissingTranslation = "Missing translation item:  %.8X";

[[noreturn]] void Raise(const char* Message) { throw Exception(QString::fromLatin1(Message)); }

// The child blocks of a parent, in order. A child whose length reaches past its parent, or whose header
// does not fit, makes the item malformed; a tail too short for a header is padding.
template <typename F>
void ForEachChild(const TBinaryReader& Data, const TVersionBlock& Parent, F&& Visit)
{
    qsizetype at = Parent.ChildrenStart;
    while (at + 6 <= Parent.End) {
        const std::optional<TVersionBlock> child = ReadVersionBlock(Data, at, Parent.End);
        if (!child || child->Overruns) Raise(SMalformedItem);
        if (!Visit(*child)) return;
        at = VersionBlockAlign(child->End);
    }
}

uint16_t HexWord(const QString& Text)
{
    bool ok = false;
    const uint value = Text.toUInt(&ok, 16);
    if (!ok || Text.isEmpty() || Text.startsWith(QLatin1Char('+')) || Text.startsWith(QLatin1Char('-')))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(Text));
    return uint16_t(value);
}

// --- block writers. Each writes into the whole resource's bytes, where alignment counts from.

void PadTo4(QByteArray& Stream)
{
    while (Stream.size() % 4 != 0) Stream.append('\0');
}

void AppendU16(QByteArray& Stream, uint16_t Value)
{
    Stream.append(char(Value & 0xFF));
    Stream.append(char(Value >> 8));
}

void AppendU32(QByteArray& Stream, uint32_t Value)
{
    AppendU16(Stream, uint16_t(Value & 0xFFFF));
    AppendU16(Stream, uint16_t(Value >> 16));
}

void AppendText(QByteArray& Stream, const QString& Text)
{
    for (QChar c : Text) AppendU16(Stream, c.unicode());
    AppendU16(Stream, 0);
}

template <typename Writer, typename Context>
int WriteBlock(const Context& AContext, QByteArray& Stream)
{
    const qsizetype header = Stream.size();
    Stream.append(6, '\0');
    // The key always ends in its zero, an empty one too, so that every block reads back.
    AppendText(Stream, QString::fromLatin1(Writer::Key(AContext)) + Writer::KeyText(AContext));
    PadTo4(Stream);
    const int valueLength = Writer::WriteValue(AContext, Stream);
    const qsizetype length = Stream.size() - header;
    PadTo4(Stream);
    const qsizetype padding = Stream.size() - header - length;
    const int children = Writer::WriteChildren(AContext, Stream);
    const qsizetype total = length + children;
    if (total > 0xFFFF) throw Exception(QString::fromLatin1(SMalformedVersionInfo));
    Stream[header] = char(total & 0xFF);
    Stream[header + 1] = char(total >> 8);
    Stream[header + 2] = char(valueLength & 0xFF);
    Stream[header + 3] = char(valueLength >> 8);
    Stream[header + 4] = char(Writer::IsText ? 1 : 0);
    Stream[header + 5] = 0;
    return int(total + padding);
}
} // namespace

// The writers of the blocks: the fixed key (or the key of the context), whether the value is text, the
// value and the children.
class TVersionBlockWriter {
public:
    static constexpr bool IsText = false;
    template <typename C>
    static QString KeyText(const C&)
    {
        return {};
    }
    template <typename C>
    static int WriteValue(const C&, QByteArray&)
    {
        return 0;
    }
    template <typename C>
    static int WriteChildren(const C&, QByteArray&)
    {
        return 0;
    }
};

class TVersionStringFileInfoChildStringWriter : public TVersionBlockWriter {
public:
    static constexpr bool IsText = true;
    static const char* Key(const TVersionInfoString*) { return ""; }
    static QString KeyText(const TVersionInfoString* String) { return String->Key(); }
    static int WriteValue(const TVersionInfoString* String, QByteArray& Stream)
    {
        if (String->Value().isEmpty()) return 0;
        AppendText(Stream, String->Value());
        return int(String->Value().size() + 1);
    }
    static int Write(const TVersionInfoString* String, QByteArray& Stream)
    {
        return WriteBlock<TVersionStringFileInfoChildStringWriter>(String, Stream);
    }
};

using TVersionStringGroup = std::vector<const TVersionInfoString*>;

class TVersionStringFileInfoChildWriter : public TVersionBlockWriter {
public:
    static const char* Key(const TVersionStringGroup&) { return ""; }
    static QString KeyText(const TVersionStringGroup& Group)
    {
        return QStringLiteral("%1%2")
            .arg(Group.front()->Language(), 4, 16, QLatin1Char('0'))
            .arg(Group.front()->Charset(), 4, 16, QLatin1Char('0'))
            .toUpper();
    }
    static int WriteChildren(const TVersionStringGroup& Group, QByteArray& Stream)
    {
        int size = 0;
        for (const TVersionInfoString* string : Group) size += TVersionStringFileInfoChildStringWriter::Write(string, Stream);
        return size;
    }
    static int Write(const TVersionStringGroup& Group, QByteArray& Stream)
    {
        return WriteBlock<TVersionStringFileInfoChildWriter>(Group, Stream);
    }
};

class TVersionStringFileInfoWriter : public TVersionBlockWriter {
public:
    static const char* Key(const TVersionResourceItem*) { return "StringFileInfo"; }
    static int WriteChildren(const TVersionResourceItem* Item, QByteArray& Stream)
    {
        const TVersionInfoStringList& list = *Item->Strings();
        TVersionStringGroup strings;
        strings.reserve(list.Count());
        for (int i = 0; i < list.Count(); ++i) strings.push_back(list[i]);
        // Stable: the strings of one translation keep their order.
        std::stable_sort(strings.begin(), strings.end(), [](const TVersionInfoString* a, const TVersionInfoString* b) {
            return std::pair(a->Language(), a->Charset()) < std::pair(b->Language(), b->Charset());
        });
        int size = 0;
        TVersionStringGroup group;
        for (const TVersionInfoString* string : strings) {
            if (!group.empty() && group.front()->Translation() != string->Translation()) {
                size += TVersionStringFileInfoChildWriter::Write(group, Stream);
                group.clear();
            }
            group.push_back(string);
        }
        if (!group.empty()) size += TVersionStringFileInfoChildWriter::Write(group, Stream);
        return size;
    }
    static int Write(const TVersionResourceItem* Item, QByteArray& Stream)
    {
        return WriteBlock<TVersionStringFileInfoWriter>(Item, Stream);
    }
};

class TVersionVarFileInfoChildWriter : public TVersionBlockWriter {
public:
    static const char* Key(const TVersionResourceItem*) { return "Translation"; }
    static int WriteValue(const TVersionResourceItem* Item, QByteArray& Stream)
    {
        const TVersionInfoTranslationList& translations = *Item->Translations();
        for (int i = 0; i < translations.Count(); ++i) AppendU32(Stream, translations[i]);
        return 4 * translations.Count();
    }
    static int Write(const TVersionResourceItem* Item, QByteArray& Stream)
    {
        return WriteBlock<TVersionVarFileInfoChildWriter>(Item, Stream);
    }
};

class TVersionVarFileInfoWriter : public TVersionBlockWriter {
public:
    static const char* Key(const TVersionResourceItem*) { return "VarFileInfo"; }
    static int WriteChildren(const TVersionResourceItem* Item, QByteArray& Stream)
    {
        return TVersionVarFileInfoChildWriter::Write(Item, Stream);
    }
    static int Write(const TVersionResourceItem* Item, QByteArray& Stream)
    {
        return WriteBlock<TVersionVarFileInfoWriter>(Item, Stream);
    }
};

class TVersionInfoWriter : public TVersionBlockWriter {
public:
    static const char* Key(const TVersionResourceItem*) { return "VS_VERSION_INFO"; }
    static int WriteValue(const TVersionResourceItem* Item, QByteArray& Stream)
    {
        const VS_FIXEDFILEINFO& info = Item->FileInfo();
        for (uint32_t field : {VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, info.dwFileVersionMS, info.dwFileVersionLS,
                               info.dwProductVersionMS, info.dwProductVersionLS, info.dwFileFlagsMask,
                               info.dwFileFlags, info.dwFileOS, info.dwFileType, info.dwFileSubtype,
                               info.dwFileDateMS, info.dwFileDateLS})
            AppendU32(Stream, field);
        return FixedFileInfoSize;
    }
    static int WriteChildren(const TVersionResourceItem* Item, QByteArray& Stream)
    {
        int size = 0;
        if (Item->Strings()->Count() > 0) size += TVersionStringFileInfoWriter::Write(Item, Stream);
        if (Item->Translations()->Count() > 0) size += TVersionVarFileInfoWriter::Write(Item, Stream);
        return size;
    }
    static int Write(const TVersionResourceItem* Item, QByteArray& Stream)
    {
        return WriteBlock<TVersionInfoWriter>(Item, Stream);
    }
};

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

uint64_t TVersionResourceItem::GetVersionPair(uint32_t VS_FIXEDFILEINFO::*MS, uint32_t VS_FIXEDFILEINFO::*LS) const
{
    return (uint64_t(FFileInfo.*MS) << 32) | FFileInfo.*LS;
}

void TVersionResourceItem::SetVersionPair(uint32_t VS_FIXEDFILEINFO::*MS, uint32_t VS_FIXEDFILEINFO::*LS, uint64_t Value)
{
    if (Value == GetVersionPair(MS, LS)) return;
    TUpdateGuard guard(this);
    FFileInfo.*MS = uint32_t(Value >> 32);
    FFileInfo.*LS = uint32_t(Value);
}

uint64_t TVersionResourceItem::FileVersion() const
{
    return GetVersionPair(&VS_FIXEDFILEINFO::dwFileVersionMS, &VS_FIXEDFILEINFO::dwFileVersionLS);
}

void TVersionResourceItem::SetFileVersion(uint64_t Value)
{
    SetVersionPair(&VS_FIXEDFILEINFO::dwFileVersionMS, &VS_FIXEDFILEINFO::dwFileVersionLS, Value);
}

uint64_t TVersionResourceItem::ProductVersion() const
{
    return GetVersionPair(&VS_FIXEDFILEINFO::dwProductVersionMS, &VS_FIXEDFILEINFO::dwProductVersionLS);
}

void TVersionResourceItem::SetProductVersion(uint64_t Value)
{
    SetVersionPair(&VS_FIXEDFILEINFO::dwProductVersionMS, &VS_FIXEDFILEINFO::dwProductVersionLS, Value);
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

void TVersionResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    {
        TUpdateGuard guard(this);
        Clear();
        const QByteArray bytes = Stream.ReadBytes(Size);
        if (bytes.size() < Size || Size < 6) Raise(SPrematureEnd);
        const TBinaryReader data(bytes);
        const std::optional<TVersionBlock> root = ReadVersionBlock(data, 0, data.Size());
        if (!root) Raise(SMalformedItem);
        if (root->Length != Size) Raise(SSizeMismatch);
        if (root->Key != QLatin1String("VS_VERSION_INFO")) Raise(SInvalidKey);
        if (root->ValueLength == FixedFileInfoSize) {
            if (root->ValueStart + FixedFileInfoSize > root->End) Raise(SPrematureEnd);
            uint32_t fields[13];
            for (int i = 0; i < 13; ++i) fields[i] = data.U32(root->ValueStart + 4 * i);
            if (fields[0] != VS_FFI_SIGNATURE) Raise(SInvalidSignature);
            FFileInfo = {fields[0], fields[1], fields[2],  fields[3],  fields[4],  fields[5], fields[6],
                         fields[7], fields[8], fields[9], fields[10], fields[11], fields[12]};
        } else if (root->ValueLength == 0) {
            FFileInfo = VS_FIXEDFILEINFO();
        } else {
            Raise(SInvalidValueLength);
        }
        ForEachChild(data, *root, [&](const TVersionBlock& child) {
            if (child.Key == QLatin1String("StringFileInfo"))
                ReadStringFileInfo(data, child);
            else if (child.Key == QLatin1String("VarFileInfo"))
                ReadVarFileInfo(data, child);
            else
                return false;
            return true;
        });
    }
    uint32_t previous = 0;
    for (int i = 0; i < FStrings->Count(); ++i) {
        const uint32_t translation = FStrings->Items(i)->Translation();
        if ((i == 0 || translation != previous) && FTranslations->IndexOf(translation) < 0) {
            FTranslations->Add(translation);
            LogMessage(Format(QString::fromLatin1(SMissingTranslation), {translation}), rmWarning);
        }
        previous = translation;
    }
}

void TVersionResourceItem::ReadStringFileInfo(const TBinaryReader& Data, const TVersionBlock& Block)
{
    ForEachChild(Data, Block, [&](const TVersionBlock& table) {
        if (table.ValueLength != 0) Raise(SMalformedVersionInfo);
        const uint16_t language = HexWord(table.Key.mid(0, 4));
        const uint16_t charset = HexWord(table.Key.mid(4, 4));
        ForEachChild(Data, table, [&](const TVersionBlock& string) {
            const qsizetype available = string.End - string.ValueStart;
            qsizetype length = qsizetype(string.ValueLength);
            // Older tools count the value in bytes; the block's length tells what is there.
            if (length * 2 != available) {
                LogMessage(QString::fromLatin1(SMalformedStringRecord), rmWarning);
                length = available / 2;
            }
            QString value;
            if (length > 0) {
                value = Data.Utf16(string.ValueStart, length);
                const qsizetype zero = value.indexOf(QChar(0));
                if (zero >= 0) value.truncate(zero);
            }
            FStrings->Add(string.Key, value, language, charset);
            return true;
        });
        return true;
    });
}

void TVersionResourceItem::ReadVarFileInfo(const TBinaryReader& Data, const TVersionBlock& Block)
{
    ForEachChild(Data, Block, [&](const TVersionBlock& var) {
        const qsizetype header = var.HeaderSize();
        if (var.Length > header) {
            if (var.ValueLength % 4 != 0) Raise(SMalformedVarItem);
            if (header + var.ValueLength != var.Length) Raise(SMalformedVarRecord);
            for (qsizetype at = var.ValueStart; at < var.ValueStart + var.ValueLength; at += 4)
                FTranslations->Add(Data.U32(at));
        }
        return true;
    });
}

void TVersionResourceItem::SaveToStream(TStream& Stream)
{
    if (FTranslations->Count() > 1
        && (FStrings->Count() == 0 || FStrings->Items(0)->Translation() != FTranslations->Items(0)))
        FTranslations->Clear();
    uint32_t previous = 0;
    for (int i = 0; i < FStrings->Count(); ++i) {
        const uint32_t translation = FStrings->Items(i)->Translation();
        if ((i == 0 || translation != previous) && FTranslations->IndexOf(translation) < 0)
            FTranslations->Add(translation);
        previous = translation;
    }
    QByteArray bytes;
    TVersionInfoWriter::Write(this, bytes);
    Stream.WriteBytes(bytes);
}

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
