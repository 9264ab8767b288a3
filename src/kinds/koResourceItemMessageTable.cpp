#include "koResourceItemMessageTable.h"

#include "model/koResources.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "platform/BinaryReader.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {
const char* const SMessageTable = "Message table";
const char* const SMessageTables = "Message tables";
const char* const SPrematureEnd = "Premature end of data";
const char* const SMalformedItem = "Malformed resource item";
const char* const SMessageTooLong = "Message %u is too long for a message table: %d bytes, at most %d";
const char* const SSymbolNotResolved = "Symbol not resolved for MESSAGELIST item: %s";

const int64_t BlockRecordSize = 12;
const int64_t EntryHeaderSize = 4;
const uint16_t EntryUnicode = 0x0001;
// The largest entry length that is a multiple of 4 and fits the 16-bit field.
const int64_t MaxEntryLength = 0xFFFC;

// Header, text and at least one zero byte, padded to a multiple of 4: a reader that stops at the
// zero never runs into the next entry.
int64_t EntryLength(int64_t TextBytes) { return (TextBytes + 8) & ~int64_t(3); }

QString UpToZero(const QString& Text)
{
    const qsizetype zero = Text.indexOf(QChar(0));
    return zero < 0 ? Text : Text.left(zero);
}

struct TEntry {
    uint32_t ID;
    QByteArray Text; // without the terminating zero
};

struct TBlock {
    uint32_t LowId;
    uint32_t HighId;
    bool Unicode;
    std::vector<TEntry> Entries;
};
} // namespace

TMessageTableResourceItem::TMessageTableResourceItem(const TResourceIdent& AResName)
    : TCustomStringResourceItem(TResourceIdent::FromOrdinal(RT_MESSAGETABLE), AResName)
{
}

bool TMessageTableResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_MESSAGETABLE);
}

bool TMessageTableResourceItem::HandlesFile(const QString& Filename, TStream*)
{
    return SameText(ExtractFileExt(Filename), QStringLiteral(".msg"));
}

QString TMessageTableResourceItem::ResourceTypeName() { return QString::fromLatin1(SMessageTable); }

TResourceItemGlyphHandle TMessageTableResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_MESSAGE_TYPE"), QStringLiteral("message.type"));
    return LoadResourceGlyph(QStringLiteral("RES_MESSAGE_ITEM"), QStringLiteral("message.item"));
}

void TMessageTableResourceItem::Clear()
{
    TUpdateGuard batch(this);
    inherited::Clear();
    FUnicodeIDs.clear();
}

void TMessageTableResourceItem::InitializeNewItem()
{
    TUpdateGuard batch(this);
    inherited::InitializeNewItem();
    Strings()->Clear();
}

void TMessageTableResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard batch(this);
    Clear();
    const QByteArray bytes = Stream.ReadBytes(std::max<int64_t>(Size, 0));
    const TBinaryReader data(bytes);
    const std::optional<uint32_t> count = data.TryU32(0);
    if (!count) throw EReadError(QString::fromLatin1(SPrematureEnd));
    TUpdateGuard stringsBatch(Strings());
    const uint32_t codePage = CodePage();
    // The block records and the entries of all blocks together may not claim more bytes than there are:
    // blocks that share their entries could otherwise make any number of messages from a few bytes.
    int64_t entryBytes = 0;
    // Block records past the data are no blocks.
    int64_t record = 4;
    for (uint32_t block = 0; block < *count && record < data.Size(); ++block, record += BlockRecordSize) {
        if (!data.Has(record, BlockRecordSize)) throw EReadError(QString::fromLatin1(SPrematureEnd));
        const uint32_t lowId = data.U32(record);
        const uint32_t highId = data.U32(record + 4);
        const uint32_t offset = data.U32(record + 8);
        if (offset > data.Size()) throw Exception(QString::fromLatin1(SMalformedItem));
        int64_t at = offset;
        bool unicode = false;
        // 64 bits, so that a block ending at 0xFFFFFFFF ends.
        for (uint64_t id = lowId; id <= highId; ++id) {
            const std::optional<uint16_t> length = data.TryU16(at);
            const std::optional<uint16_t> flags = data.TryU16(at + 2);
            if (!length || !flags || *length < EntryHeaderSize || !data.Has(at, *length))
                throw Exception(QString::fromLatin1(SMalformedItem));
            entryBytes += *length;
            if (entryBytes > data.Size() - (record + BlockRecordSize)) throw Exception(QString::fromLatin1(SMalformedItem));
            // The first entry decides for the whole block.
            if (id == lowId) unicode = (*flags & EntryUnicode) != 0;
            const int64_t textBytes = *length - EntryHeaderSize;
            QString text;
            if (unicode)
                text = UpToZero(data.Utf16(at + EntryHeaderSize, textBytes / 2));
            else {
                QByteArray raw = data.Bytes(at + EntryHeaderSize, textBytes);
                if (const qsizetype zero = raw.indexOf('\0'); zero >= 0) raw.truncate(zero);
                text = CodePageToUnicode(raw, codePage);
            }
            Strings()->AddID(static_cast<uint32_t>(id))->SetValue(text);
            if (unicode) FUnicodeIDs.insert(static_cast<uint32_t>(id));
            at += *length;
        }
    }
}

void TMessageTableResourceItem::SaveToStream(TStream& Stream)
{
    TResourceStrings* strings = Strings();
    if (strings->Count() == 0) return;
    std::vector<const TResourceStringsString*> sorted;
    sorted.reserve(strings->Count());
    for (int i = 0; i < strings->Count(); ++i) sorted.push_back(strings->Items(i));
    std::sort(sorted.begin(), sorted.end(),
              [](const TResourceStringsString* a, const TResourceStringsString* b) { return a->IDValue() < b->IDValue(); });

    // Runs of consecutive IDs, each one block.
    const uint32_t codePage = CodePage();
    std::vector<TBlock> blocks;
    for (size_t first = 0; first < sorted.size();) {
        size_t last = first;
        while (last + 1 < sorted.size() && sorted[last + 1]->IDValue() == sorted[last]->IDValue() + 1) ++last;
        TBlock block{sorted[first]->IDValue(), sorted[last]->IDValue(), false, {}};
        for (size_t i = first; i <= last && !block.Unicode; ++i)
            block.Unicode = FUnicodeIDs.contains(sorted[i]->IDValue()) || !CodePageCanHold(sorted[i]->Value(), codePage);
        for (size_t i = first; i <= last; ++i) {
            const QString& value = sorted[i]->Value();
            QByteArray text = block.Unicode ? QByteArray(reinterpret_cast<const char*>(value.utf16()), value.size() * 2)
                                            : UnicodeToCodePage(value, codePage);
            // Refused rather than cut: the length field has 16 bits.
            if (EntryLength(text.size()) > MaxEntryLength)
                throw Exception(Format(QString::fromLatin1(SMessageTooLong),
                                       {sorted[i]->IDValue(), int(text.size()), int(MaxEntryLength - 4 - (block.Unicode ? 2 : 1))}));
            block.Entries.push_back({sorted[i]->IDValue(), std::move(text)});
        }
        blocks.push_back(std::move(block));
        first = last + 1;
    }

    TMemoryStream out;
    out.WriteDWord(static_cast<uint32_t>(blocks.size()));
    int64_t offset = 4 + int64_t(blocks.size()) * BlockRecordSize;
    for (const TBlock& block : blocks) {
        out.WriteDWord(block.LowId);
        out.WriteDWord(block.HighId);
        out.WriteDWord(static_cast<uint32_t>(offset));
        for (const TEntry& entry : block.Entries) offset += EntryLength(entry.Text.size());
    }
    for (const TBlock& block : blocks)
        for (const TEntry& entry : block.Entries) {
            const int64_t length = EntryLength(entry.Text.size());
            out.WriteWord(static_cast<uint16_t>(length));
            out.WriteWord(block.Unicode ? EntryUnicode : 0);
            out.WriteBytes(entry.Text);
            out.WriteBytes(QByteArray(length - EntryHeaderSize - entry.Text.size(), '\0'));
        }
    Stream.WriteBytes(out.ToByteArray());
}

void TMessageTableResourceItem::AssignChildItemIdentifier(int ID, const QByteArray& Identifier)
{
    inherited::AssignChildItemIdentifier(ID, Identifier);
    const QString name = QString::fromLatin1(Identifier);
    // IDs are unique in a table: at most one message takes the symbol.
    if (TResourceStringsString* string = Strings()->FindID(static_cast<uint32_t>(ID)))
        string->ID()->SetIdentifier(name);
    else
        LogMessage(Format(QString::fromLatin1(SSymbolNotResolved), {name}), rmWarning);
}

void koResourceItemMessageTable_Initialize()
{
    TMessageTableResourceItem::ClassInfo()->Register(0);
    TMessageTableResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("msg"), QString::fromLatin1(SMessageTables),
                                                            {fcLoad, fcSave}, 0);
}

void koResourceItemMessageTable_Finalize() { TMessageTableResourceItem::ClassInfo()->Unregister(); }
