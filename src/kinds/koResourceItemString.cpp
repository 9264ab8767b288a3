#include "koResourceItemString.h"

#include "model/koResources.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <QChar>
#include <QString>

#include <algorithm>
#include <set>

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
const char* const SPrematureEnd = "Premature end of data";
const char* const SMalformedItem = "Malformed resource item";
const char* const SStringTable = "String table";
const char* const SStrings = "Strings";
const char* const SSymbolAlreadyResolved = "Symbol already resolved for STRINGLIST item: %s";
const char* const SSymbolNotResolved = "Symbol not resolved for STRINGLIST item: %s";
const char* const SStringIDTooLarge = "String ID %u does not fit in a string table; the largest ID is 65535";
const int StringsPerBlock = 16;

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
    if (bytes.startsWith("\xFF\xFE"))
        text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    else if (bytes.startsWith("\xFE\xFF")) {
        QByteArray swapped = bytes.mid(2);
        for (qsizetype i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
        text = QString::fromUtf16(reinterpret_cast<const char16_t*>(swapped.constData()), swapped.size() / 2);
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
} // namespace

// TResourceStringsStringIdentifier

void TResourceStringsStringIdentifier::SetOrdinal(int32_t Value)
{
    if (Value == GetOrdinal()) return;
    auto* strings = static_cast<TResourceStrings*>(FItem->Collection());
    for (int i = 0; i < strings->Count(); ++i) {
        TResourceStringsString* other = strings->Items(i);
        if (other != FItem && other->ID() && other->ID()->GetOrdinal() == Value)
            throw Exception(Format(QString::fromLatin1(SDuplicateStringID), {static_cast<uint32_t>(Value)}));
    }
    TResourceOrdinalDwordChildIdentifier<TResourceStringsString>::SetOrdinal(Value);
}

// TResourceStringsString

TResourceStringsString::TResourceStringsString(TCustomResourceItemItems* ACollection)
    : TResourceItemItem<TCustomStringResourceItem>(ACollection),
      FID(std::make_unique<TResourceStringsStringIdentifier>(ACollection->ResourceItem(), this))
{
    // The smallest free ID from 1: this string, not yet listed, would hold 0.
    std::set<int32_t> used{0};
    for (int i = 0; i < ACollection->Count(); ++i)
        if (auto* other = static_cast<TResourceStringsString*>(ACollection->Item(i)); other->ID())
            used.insert(other->ID()->GetOrdinal());
    int32_t id = 1;
    while (used.count(id)) ++id;
    FID->SetOrdinal(id);
}

TResourceStringsString::~TResourceStringsString() = default;

void TResourceStringsString::SetID(const TCustomResourceIdentifier* Value) { FID->Assign(Value); }

void TResourceStringsString::SetValue(const QString& AValue)
{
    if (AValue == FValue) return;
    TUpdateGuard batch(Collection());
    FValue = AValue;
}

// TResourceStrings

int TResourceStrings::IndexOfID(uint32_t ID) const
{
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->IDValue() == ID) return i;
    return -1;
}

QString TResourceStrings::ValueByID(uint32_t ID) const
{
    const int index = IndexOfID(ID);
    return index < 0 ? QString() : Items(index)->Value();
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
    Strings()->Clear();
    const int32_t first = (int32_t(NameInteger()) - 1) * StringsPerBlock;
    for (int k = 0; k < lines.size(); ++k) {
        TResourceStringsString* string = Strings()->Add();
        string->SetValue(lines[k]);
        string->ID()->SetOrdinal(first + k);
    }
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
    // Letting go of the blocks and of empty entries (no strings, unless a symbol names them) is no change.
    LockUpdate();
    TFinally unlock([this] { UnlockUpdate(); });
    FreeBlocks();
    for (int i = Strings()->Count() - 1; i >= 0; --i) {
        TResourceStringsString* string = Strings()->Items(i);
        if (string->Value().isEmpty() && !string->ID()->Symbol()) Strings()->Delete(i);
    }
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
    for (uint32_t block : blocks) {
        auto* item = new TStringListBlockResourceItem(TResourceIdent::FromOrdinal(static_cast<uint16_t>(block + 1)));
        item->SetLanguage(Language());
        if (Module()) Module()->Items()->Add(item);
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

void TStringListBlockResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard batch(this);
    TCustomResourceModule* module = Module();
    ATELIER_ASSERT(module != nullptr);
    if (!NameIsInteger() || NameInteger() == 0) throw Exception(QString::fromLatin1(SMalformedItem));
    TCustomResourceItem* found = module->Find(TResourceIdent::FromOrdinal(RT_STRING), TResourceIdent(), Language());
    auto* table = qobject_cast<TStringListResourceItem*>(found);
    if (!table) {
        table = new TStringListResourceItem();
        module->Items()->Add(table);
        table->SetLanguage(Language());
    }
    TUpdateGuard tableBatch(table);
    SetParent(table);
    const int32_t first = (int32_t(NameInteger()) - 1) * StringsPerBlock;
    int64_t remaining = Size;
    for (int i = 0; i < StringsPerBlock; ++i) {
        uint8_t lengthBytes[2];
        if (Stream.Read(lengthBytes, 2) < 2) throw Exception(QString::fromLatin1(SPrematureEnd));
        const int length = lengthBytes[0] | (lengthBytes[1] << 8);
        QString text;
        if (ReadWideString(Stream, text, length, false) < length * 2) throw Exception(QString::fromLatin1(SMalformedItem));
        TResourceStringsString* string = table->Strings()->Add();
        string->SetValue(text);
        string->ID()->SetOrdinal(first + i);
        remaining -= 2 + int64_t(length) * 2;
    }
    if (remaining < 0) throw Exception(QString::fromLatin1(SMalformedItem));
}

void TStringListBlockResourceItem::SaveToStream(TStream& Stream)
{
    auto* table = qobject_cast<TStringListResourceItem*>(Parent());
    ATELIER_ASSERT(table != nullptr);
    const uint32_t first = (uint32_t(NameInteger()) - 1) * StringsPerBlock;
    for (uint32_t id = first; id < first + StringsPerBlock; ++id) WriteCounted(Stream, table->Strings()->ValueByID(id));
}

void TStringListBlockResourceItem::AssignChildItemIdentifier(int ID, const QByteArray& Identifier)
{
    TResourceItem::AssignChildItemIdentifier(ID, Identifier);
    auto* table = qobject_cast<TStringListResourceItem*>(Parent());
    if (!table) return;
    const QString name = QString::fromLatin1(Identifier);
    bool resolved = false;
    for (int i = 0; i < table->Strings()->Count(); ++i) {
        TResourceStringsString* string = table->Strings()->Items(i);
        if (string->IDValue() != static_cast<uint32_t>(ID)) continue;
        if (resolved) LogMessage(Format(QString::fromLatin1(SSymbolAlreadyResolved), {name}), rmWarning);
        string->ID()->SetIdentifier(name);
        resolved = true;
    }
    if (!resolved) LogMessage(Format(QString::fromLatin1(SSymbolNotResolved), {name}), rmWarning);
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
