#include "koResourceItemString.h"

#include "model/koResources.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "platform/BinaryReader.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <QChar>
#include <QPointer>
#include <QString>

#include <algorithm>
#include <set>
#include <utility>

namespace {
const int TextProbeSize = 1024;

bool HasBOM(TStream& Stream, const char* bom, int size)
{
    return MatchSignature(&Stream, QByteArray(bom, size), QByteArray(size, char(0xFF)), 0);
}

// Code units of a probe: after a zero only zeros pass, unless zero is accepted.
template <typename TAccept>
bool ZeroAwareScan(int count, const TAccept& unitAt, bool zeroAccepted)
{
    bool previousZero = false;
    for (int i = 0; i < count; ++i) {
        bool accepted;
        uint32_t unit;
        if (!unitAt(i, unit, accepted)) break;
        if (!accepted || (previousZero && unit != 0 && !zeroAccepted)) return false;
        previousZero = unit == 0;
    }
    return true;
}

bool UnicodeUnitAccepted(char16_t unit, const TByteSet& Extra)
{
    if (unit == 0 || Extra.Contains(static_cast<uint8_t>(unit & 0xFF))) return true;
    const QChar::Category category = QChar(unit).category();
    return category != QChar::Other_Control && category != QChar::Other_NotAssigned &&
           category != QChar::Other_PrivateUse;
}

bool IsUnicodeAtPosition(TStream& Stream, const TByteSet& Extra)
{
    const int64_t available = Stream.Size() - Stream.Position();
    if (available < 2 || available % 2 != 0) return false;
    if (HasBOM(Stream, "\xFF\xFE", 2)) return true;
    const QByteArray bytes = Stream.ReadBytes(2 * TextProbeSize);
    const int units = static_cast<int>(bytes.size() / 2);
    return ZeroAwareScan(
        units,
        [&](int i, uint32_t& unit, bool& accepted) {
            unit = static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
            accepted = UnicodeUnitAccepted(static_cast<char16_t>(unit), Extra);
            return true;
        },
        Extra.Contains(0));
}
} // namespace

bool IsASCIIText(TStream& Stream, const TByteSet& Extra)
{
    const int64_t position = Stream.Position();
    TFinally restore([&] { Stream.SetPosition(position); });
    const QByteArray bytes = Stream.ReadBytes(TextProbeSize);
    if (bytes.isEmpty()) return false;
    return ZeroAwareScan(
        static_cast<int>(bytes.size()),
        [&](int i, uint32_t& unit, bool& accepted) {
            unit = static_cast<uint8_t>(bytes[i]);
            accepted = unit == 0 || unit == 9 || unit == 10 || unit == 13 || (unit >= 32 && unit <= 126) ||
                       Extra.Contains(static_cast<uint8_t>(unit));
            return true;
        },
        Extra.Contains(0));
}

bool IsANSIText(TStream& Stream, const TByteSet& Extra)
{
    TByteSet extra = Extra;
    extra.IncludeRange(128, 255);
    return IsASCIIText(Stream, extra);
}

bool IsUnicodeText(TStream& Stream, const TByteSet& Extra)
{
    const int64_t position = Stream.Position();
    TFinally restore([&] { Stream.SetPosition(position); });
    return IsUnicodeAtPosition(Stream, Extra);
}

bool IsUTF8Text(TStream& Stream, const TByteSet& Extra)
{
    const int64_t position = Stream.Position();
    TFinally restore([&] { Stream.SetPosition(position); });
    if (Stream.Size() - position < 1) return false;
    if (HasBOM(Stream, "\xEF\xBB\xBF", 3)) return true;
    // Continuation bytes of the last character may lie past the probe.
    const QByteArray bytes = Stream.ReadBytes(TextProbeSize + 3);
    const int leadLimit = std::min<int>(static_cast<int>(bytes.size()), TextProbeSize);
    int i = 0;
    int characters = 0;
    while (i < leadLimit && characters < TextProbeSize) {
        const auto lead = static_cast<uint8_t>(bytes[i++]);
        int length;
        if (lead <= 0x7F) length = 1;
        else if (lead >= 0xC0 && lead <= 0xDF) length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
        else if (lead >= 0xF0 && lead <= 0xF7) length = 4;
        else return false;
        ++characters;
        for (int k = 1; k < length; ++k) {
            if (i >= bytes.size()) return false;
            const auto next = static_cast<uint8_t>(bytes[i++]);
            if (next < 0x80 || next > 0xBF) return false;
        }
    }
    // The decoded probe must also be acceptable text; a cut last character becomes U+FFFD.
    QByteArray probe = bytes.left(TextProbeSize);
    probe.append(QByteArray(TextProbeSize - probe.size(), '\0'));
    const QString text = QString::fromUtf8(probe);
    TMemoryStream utf16;
    utf16.WriteBytes(QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
    utf16.SetPosition(0);
    TByteSet extra = Extra;
    extra.Include(9).Include(10).Include(13);
    return IsUnicodeAtPosition(utf16, extra);
}

// String tables

namespace {
const char* const SDuplicateStringID = "Duplicate string ID: %u";
const char* const SLengthPastEnd = "The length of string %d of block %d (at offset %d) runs past the end of its data (%d bytes).";
const char* const SStringPastEnd = "String %d of block %d (%d characters at offset %d) runs past the end of its data (%d bytes).";
const char* const SNotABlockName = "A string block is named by a number from 1 to 4096, not %s; it is kept as raw data.";
const char* const SBlockAlreadyLoaded =
    "String block %d (IDs %d to %d) is already in the string table of its language; this copy is kept as raw data.";
const char* const SRawBlockCollision =
    "String block %d (%s) would be written twice: from the string table and from the raw string resource of the "
    "same name and language. Delete, rename or change the language of one of them.";
const char* const SStringTable = "String table";
const char* const SStrings = "Strings";
const char* const SSymbolNotResolved = "Symbol not resolved for STRINGLIST item: %s";
const char* const SStringIDTooLarge = "String ID %u does not fit in a string table; the largest ID is 65535";
const char* const SStringTooLong = "A string of %d characters does not fit in a string table; the longest holds 65535";
const int StringsPerBlock = 16;
// Block N holds the IDs (N - 1) * 16 to N * 16 - 1 of 16-bit string IDs.
const uint16_t LastBlock = 4096;

void WriteCounted(TStream& Stream, const QString& text)
{
    Stream.WriteWord(static_cast<uint16_t>(text.size()));
    WriteWideString(Stream, text, false);
}

// Lines of a text file: a byte-order mark chooses UTF-16 or UTF-8, else UTF-8; CR, LF and CR LF end lines.
QStringList ReadTextLines(TStream& Stream)
{
    const QByteArray bytes = Stream.ReadBytes(Stream.Size() - Stream.Position());
    QString text;
    // Past the mark the text is taken as it stands: a second U+FEFF is a character of the first line.
    if (bytes.startsWith("\xFF\xFE"))
        text = TBinaryReader(bytes).Utf16(2, (bytes.size() - 2) / 2);
    else if (bytes.startsWith("\xFE\xFF")) {
        QByteArray swapped = bytes.mid(2);
        for (qsizetype i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
        text = TBinaryReader(swapped).Utf16(0, swapped.size() / 2);
    } else if (bytes.startsWith("\xEF\xBB\xBF"))
        text = QString::fromUtf8(bytes.mid(3));
    else
        text = QString::fromUtf8(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

bool IsStringTable(const TCustomResourceItem* Item, uint16_t Language)
{
    return Item->Language() == Language && qobject_cast<const TStringListResourceItem*>(Item) &&
           Item->Name() == TResourceIdent();
}

// The merged table of a language. Every block asks, so the answer is kept: a search of the module per
// block would make loading quadratic. The cache belongs to the module last asked about.
TStringListResourceItem* FindStringTable(TCustomResourceModule* Module, uint16_t Language)
{
    thread_local QPointer<TCustomResourceModule> cachedModule;
    thread_local QHash<uint16_t, QPointer<TStringListResourceItem>> cache;
    if (cachedModule != Module) {
        cache.clear();
        cachedModule = Module;
    }
    if (const auto it = cache.constFind(Language); it != cache.constEnd()) {
        TStringListResourceItem* table = it->data();
        if (table && table->Module() == Module && IsStringTable(table, Language)) return table;
        cache.remove(Language);
    }
    auto* table = qobject_cast<TStringListResourceItem*>(
        Module->Find(TResourceIdent::FromOrdinal(RT_STRING), TResourceIdent(), Language));
    if (table) cache.insert(Language, table);
    return table;
}
} // namespace

// TResourceStringsStringIdentifier

void TResourceStringsStringIdentifier::SetOrdinal(int32_t Value)
{
    if (Value == GetOrdinal()) return;
    auto* strings = static_cast<TResourceStrings*>(FItem->Collection());
    if (const TResourceStringsString* other = strings->FByID.value(Value); other && other != FItem)
        throw Exception(Format(QString::fromLatin1(SDuplicateStringID), {static_cast<uint32_t>(Value)}));
    const int32_t old = GetOrdinal();
    // The index follows the value however the change ends.
    TFinally rekey([&] { strings->Rekey(FItem, old); });
    TResourceOrdinalDwordChildIdentifier<TResourceStringsString>::SetOrdinal(Value);
}

// TResourceStringsString

TResourceStringsString::TResourceStringsString(TCustomResourceItemItems* ACollection)
    : TResourceItemItem<TCustomStringResourceItem>(ACollection),
      FID(std::make_unique<TResourceStringsStringIdentifier>(ACollection->ResourceItem(), this))
{
    auto* strings = static_cast<TResourceStrings*>(ACollection);
    // Set past the index: the string is not in it yet.
    FID->TCustomResourceOrdinalIdentifier::SetOrdinal(strings->NewStringID());
    strings->Attach(this);
}

TResourceStringsString::~TResourceStringsString() { static_cast<TResourceStrings*>(Collection())->Detach(this); }

void TResourceStringsString::SetID(const TCustomResourceIdentifier* Value) { FID->Assign(Value); }

void TResourceStringsString::SetValue(const QString& AValue)
{
    if (AValue == FValue) return;
    // Strings are stored with a 16-bit length: a longer one would be written with a wrong count.
    if (AValue.size() > 0xFFFF) throw Exception(Format(QString::fromLatin1(SStringTooLong), {int(AValue.size())}));
    TUpdateGuard batch(Collection());
    FValue = AValue;
}

// TResourceStrings

TResourceStrings::~TResourceStrings()
{
    // The strings go while the index is still there; emptied first, it has nothing to look up.
    FByID.clear();
    Clear();
}

TResourceStringsString* TResourceStrings::FindID(uint32_t ID) const { return FByID.value(static_cast<int32_t>(ID)); }

int TResourceStrings::IndexOfID(uint32_t ID) const
{
    const TResourceStringsString* string = FindID(ID);
    return string ? IndexOf(string) : -1;
}

QString TResourceStrings::ValueByID(uint32_t ID) const
{
    const TResourceStringsString* string = FindID(ID);
    return string ? string->Value() : QString();
}

TResourceStringsString* TResourceStrings::AddID(uint32_t ID)
{
    const auto id = static_cast<int32_t>(ID);
    if (FByID.contains(id)) throw Exception(Format(QString::fromLatin1(SDuplicateStringID), {ID}));
    FRequestedID = id;
    TFinally reset([this] { FRequestedID.reset(); });
    return Add();
}

int32_t TResourceStrings::NewStringID()
{
    if (FRequestedID) return *std::exchange(FRequestedID, std::nullopt);
    while (FByID.contains(FFreeHint)) ++FFreeHint;
    return FFreeHint;
}

void TResourceStrings::Attach(TResourceStringsString* String) { FByID.insert(String->ID()->GetOrdinal(), String); }

void TResourceStrings::Detach(TResourceStringsString* String)
{
    const int32_t id = String->ID()->GetOrdinal();
    const auto it = FByID.find(id);
    if (it == FByID.end() || it.value() != String) return;
    FByID.erase(it);
    if (id >= 1 && id < FFreeHint) FFreeHint = id;
}

void TResourceStrings::Rekey(TResourceStringsString* String, int32_t OldID)
{
    const int32_t id = String->ID()->GetOrdinal();
    if (id == OldID) return;
    if (const auto it = FByID.find(OldID); it != FByID.end() && it.value() == String) {
        FByID.erase(it);
        if (OldID >= 1 && OldID < FFreeHint) FFreeHint = OldID;
    }
    FByID.insert(id, String);
}

// TCustomStringResourceItem

TCustomStringResourceItem::TCustomStringResourceItem(const TResourceIdent& AResType, const TResourceIdent& AResName)
    : TCustomResourceItem(AResType, AResName), FStrings(std::make_unique<TResourceStrings>(this))
{
}

TCustomStringResourceItem::~TCustomStringResourceItem()
{
    // The strings' identifiers let go of their symbols while the item is whole.
    LockUpdate();
    FStrings.reset();
}

void TCustomStringResourceItem::Clear()
{
    TUpdateGuard batch(this);
    TCustomResourceItem::Clear();
    FStrings->Clear();
}

bool TCustomStringResourceItem::EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback)
{
    return TCustomResourceItem::EnumerateItems(Context, Callback) && FStrings->EnumerateItems(Context, Callback);
}

// TStringListResourceItem

TStringListResourceItem::TStringListResourceItem(const TResourceIdent&)
    : TCustomStringResourceItem(TResourceIdent::FromOrdinal(RT_STRING), TResourceIdent())
{
}

bool TStringListResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_STRING);
}

bool TStringListResourceItem::HandlesFile(const QString&, TStream* Data)
{
    return Data && (IsASCIIText(*Data) || IsUnicodeText(*Data));
}

QString TStringListResourceItem::ResourceTypeName() { return QString::fromLatin1(SStringTable); }

QString TStringListResourceItem::GetFriendlyName() const { return QString::fromLatin1(SStrings); }

void TStringListResourceItem::InitializeNewItem()
{
    TUpdateGuard batch(this);
    TCustomStringResourceItem::InitializeNewItem();
    Strings()->Clear();
}

void TStringListResourceItem::LoadFromFileStream(TStream& Stream)
{
    TUpdateGuard batch(this);
    const QStringList lines = ReadTextLines(Stream);
    // Asked first: a table with a text name has no IDs to number from, and then keeps its strings.
    const int32_t first = (int32_t(NameInteger()) - 1) * StringsPerBlock;
    TUpdateGuard stringsBatch(Strings());
    Strings()->Clear();
    for (int k = 0; k < lines.size(); ++k) Strings()->AddID(static_cast<uint32_t>(first + k))->SetValue(lines[k]);
}

void TStringListResourceItem::SaveToStream(TStream& Stream)
{
    for (int i = 0; i < Strings()->Count(); ++i) WriteCounted(Stream, Strings()->Items(i)->Value());
}

void TStringListResourceItem::FreeBlocks()
{
    if (!HasItems()) return;
    TCustomResourceModule* module = Module();
    while (HasItems()) {
        TCustomResourceItem* block = Items()->Items(Items()->Count() - 1);
        if (module && module->Items()->Contains(block))
            module->Items()->Remove(block);
        else
            block->SetParent(nullptr);
    }
}

void TStringListResourceItem::AfterLoad()
{
    TCustomStringResourceItem::AfterLoad();
    // Letting go of the blocks is no change.
    LockUpdate();
    TFinally unlock([this] { UnlockUpdate(); });
    FreeBlocks();
}

void TStringListResourceItem::BeforeSave()
{
    std::set<uint32_t> blocks;
    for (int i = 0; i < Strings()->Count(); ++i) {
        const uint32_t id = Strings()->Items(i)->IDValue();
        // A block name has 16 bits: a larger ID would be lost without a word.
        if (id > 0xFFFF) throw Exception(Format(QString::fromLatin1(SStringIDTooLarge), {id}));
        blocks.insert(id >> 4);
    }
    TCustomResourceModule* module = Module();
    if (module)
        for (TCustomResourceItem* item : *module->Items()) {
            if (item->Parent() || item->Language() != Language() || qobject_cast<TCustomStringResourceItem*>(item) ||
                item->ResourceType() != TResourceIdent::FromOrdinal(RT_STRING) || !item->NameIsInteger())
                continue;
            if (item->NameInteger() >= 1 && blocks.count(item->NameInteger() - 1u))
                throw Exception(Format(QString::fromLatin1(SRawBlockCollision),
                                       {int(item->NameInteger()), LanguageIDToString(Language())}));
        }
    // A new block takes the header fields of the blocks the table was read with.
    TBlockHeader fallback{DataVersion(), MemoryFlags(), Version(), Characteristics()};
    if (!FBlockHeaders.empty()) fallback = FBlockHeaders.begin()->second;
    for (uint32_t block : blocks) {
        const auto name = static_cast<uint16_t>(block + 1);
        const auto recorded = FBlockHeaders.find(name);
        const TBlockHeader& header = recorded != FBlockHeaders.end() ? recorded->second : fallback;
        auto* item = new TStringListBlockResourceItem(TResourceIdent::FromOrdinal(name));
        item->SetLanguage(Language());
        item->SetDataVersion(header.DataVersion);
        item->SetMemoryFlags(header.MemoryFlags);
        item->SetVersion(header.Version);
        item->SetCharacteristics(header.Characteristics);
        if (module) module->Items()->Add(item);
        item->SetParent(this);
    }
    TCustomStringResourceItem::BeforeSave();
}

void TStringListResourceItem::AfterSave()
{
    TCustomStringResourceItem::AfterSave();
    LockUpdate();
    TFinally unlock([this] { UnlockUpdate(); });
    FreeBlocks();
}

// TStringListBlockResourceItem

TStringListBlockResourceItem::TStringListBlockResourceItem(const TResourceIdent& AResName)
    : TResourceItem(TResourceIdent::FromOrdinal(RT_STRING), AResName)
{
}

bool TStringListBlockResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_STRING);
}

QString TStringListBlockResourceItem::ResourceTypeName() { return QString::fromLatin1(SStringTable); }

// A block that cannot be merged whole raises before it touches the table, so that the reader keeps it as
// raw data and none of its strings is taken: nothing is lost and nothing is written twice.
void TStringListBlockResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TCustomResourceModule* module = Module();
    if (!module) throw EInvalidOperation(QStringLiteral("A string block is read into a module."));
    if (!NameIsInteger() || NameInteger() == 0 || NameInteger() > LastBlock)
        throw Exception(Format(QString::fromLatin1(SNotABlockName), {ResourceIdentToText(Name())}));
    const int block = NameInteger();
    const QByteArray bytes = Stream.ReadBytes(std::max<int64_t>(Size, 0));
    const TBinaryReader data(bytes);
    QString texts[StringsPerBlock];
    int64_t offset = 0;
    for (int i = 0; i < StringsPerBlock; ++i) {
        const std::optional<uint16_t> length = data.TryU16(offset);
        if (!length)
            throw Exception(Format(QString::fromLatin1(SLengthPastEnd), {i, block, offset, data.Size()}));
        if (!data.Has(offset + 2, int64_t(*length) * 2))
            throw Exception(Format(QString::fromLatin1(SStringPastEnd), {i, block, int(*length), offset + 2, data.Size()}));
        texts[i] = data.Utf16(offset + 2, *length);
        offset += 2 + int64_t(*length) * 2;
    }
    // Bytes after the sixteenth string are no string.

    const int32_t first = (block - 1) * StringsPerBlock;
    TStringListResourceItem* table = FindStringTable(module, Language());
    if (table) {
        bool loaded = table->FBlockHeaders.count(static_cast<uint16_t>(block)) > 0;
        for (int i = 0; !loaded && i < StringsPerBlock; ++i)
            loaded = table->Strings()->FindID(static_cast<uint32_t>(first + i)) != nullptr;
        if (loaded)
            throw Exception(Format(QString::fromLatin1(SBlockAlreadyLoaded), {block, first, first + StringsPerBlock - 1}));
    }
    if (!table) {
        table = new TStringListResourceItem();
        module->Items()->Add(table);
        table->SetLanguage(Language());
    }
    TUpdateGuard batch(this);
    TUpdateGuard tableBatch(table);
    TUpdateGuard stringsBatch(table->Strings());
    table->FBlockHeaders[static_cast<uint16_t>(block)] = {DataVersion(), MemoryFlags(), Version(), Characteristics()};
    SetParent(table);
    // An empty entry is no string (a symbol bound to its ID makes one, see AssignChildItemIdentifier).
    for (int i = 0; i < StringsPerBlock; ++i)
        if (!texts[i].isEmpty()) table->Strings()->AddID(static_cast<uint32_t>(first + i))->SetValue(texts[i]);
}

void TStringListBlockResourceItem::SaveToStream(TStream& Stream)
{
    auto* table = qobject_cast<TStringListResourceItem*>(Parent());
    if (!table || !NameIsInteger() || NameInteger() == 0)
        throw EInvalidOperation(QStringLiteral("A string block is written from its string table."));
    const uint32_t first = (uint32_t(NameInteger()) - 1) * StringsPerBlock;
    for (uint32_t id = first; id < first + StringsPerBlock; ++id) WriteCounted(Stream, table->Strings()->ValueByID(id));
}

void TStringListBlockResourceItem::AssignChildItemIdentifier(int ID, const QByteArray& Identifier)
{
    TResourceItem::AssignChildItemIdentifier(ID, Identifier);
    auto* table = qobject_cast<TStringListResourceItem*>(Parent());
    if (!table) return;
    const QString name = QString::fromLatin1(Identifier);
    // IDs are unique in a table: at most one string takes the symbol. An empty entry of this block was
    // no string until a symbol names it.
    TResourceStringsString* string = table->Strings()->FindID(static_cast<uint32_t>(ID));
    const int64_t first = NameIsInteger() ? (int64_t(NameInteger()) - 1) * StringsPerBlock : -1;
    if (!string && first >= 0 && ID >= first && ID < first + StringsPerBlock)
        string = table->Strings()->AddID(static_cast<uint32_t>(ID));
    if (string)
        string->ID()->SetIdentifier(name);
    else
        LogMessage(Format(QString::fromLatin1(SSymbolNotResolved), {name}), rmWarning);
}

void koResourceItemString_Initialize()
{
    TStringListResourceItem::ClassInfo()->Register(255);
    TStringListBlockResourceItem::ClassInfo()->Register(0);
}

void koResourceItemString_Finalize()
{
    TStringListBlockResourceItem::ClassInfo()->Unregister();
    TStringListResourceItem::ClassInfo()->Unregister();
}
