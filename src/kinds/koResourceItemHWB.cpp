#include "koResourceItemHWB.h"

#include "model/koResources.h"
#include "model/koResourcesMessages.h"
#include "platform/BinaryReader.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

#include <QHash>
#include <algorithm>
#include <optional>

namespace {

const char* const SPrematureEnd = "Premature end of data";
const char* const SSymbolDataCutShort = "Resource script symbols (%1) end inside a record at offset %2";
const char* const SSymbolDataMalformed = "Resource script symbols (%1) are malformed at offset %2: %3";

constexpr uint16_t EndOfFileList = 0xFFE3;
constexpr uint16_t EndOfSymbolMap = 0xFFFF;
constexpr int MaxSourceFilename = 260;

TResourceIdent HWBType() { return TResourceIdent(QString::fromLatin1(HWBResourceTypeName)); }

bool HandlesHWB(const TResourceIdent& ResourceType, const TResourceIdent& Name, uint16_t Ordinal)
{
    return ResourceType == HWBType() && Name == TResourceIdent::FromOrdinal(Ordinal);
}

// Reads records at a cursor. Every read answers nullopt when its field does not lie whole inside the
// data, so a decoder stops at a record cut short without reading past the end.
class THWBCursor {
public:
    explicit THWBCursor(const TBinaryReader& AReader) : FReader(AReader) {}
    int64_t Position() const { return FPos; }
    bool Inside() const { return FPos < FReader.Size(); }
    void AlignFromStart(int64_t Alignment) { FPos = (FPos + Alignment - 1) / Alignment * Alignment; }

    std::optional<uint8_t> U8() { return Advance(FReader.TryU8(FPos), 1); }
    std::optional<uint16_t> U16() { return Advance(FReader.TryU16(FPos), 2); }
    std::optional<uint32_t> U32() { return Advance(FReader.TryU32(FPos), 4); }
    std::optional<uint16_t> PeekU16() const { return FReader.TryU16(FPos); }
    std::optional<QByteArray> Ansi()
    {
        std::optional<QByteArray> s = FReader.TryAnsiZ(FPos);
        if (s) FPos += s->size() + 1;
        return s;
    }
    // 0xFFFF and an ordinal, or UTF-16 characters up to a zero.
    std::optional<TResourceIdent> SzOrOrd()
    {
        const std::optional<uint16_t> first = FReader.TryU16(FPos);
        if (!first) return std::nullopt;
        if (*first == 0xFFFF) {
            const std::optional<uint16_t> ordinal = FReader.TryU16(FPos + 2);
            if (!ordinal) return std::nullopt;
            FPos += 4;
            return TResourceIdent::FromOrdinal(*ordinal);
        }
        std::optional<QString> s = FReader.TryUtf16Z(FPos);
        if (!s) return std::nullopt;
        FPos += 2 * (s->size() + 1);
        return TResourceIdent(*s);
    }

private:
    template <typename T>
    std::optional<T> Advance(std::optional<T> Value, int64_t Count)
    {
        if (Value) FPos += Count;
        return Value;
    }
    const TBinaryReader& FReader;
    int64_t FPos = 0;
};

void LogCutShort(TCustomResourceItem* Item, int64_t Offset)
{
    LogMessage(QString::fromLatin1(SSymbolDataCutShort).arg(Item->NameAsString()).arg(Offset), rmWarning, Item);
}

void LogMalformed(TCustomResourceItem* Item, int64_t Offset, const char* What)
{
    LogMessage(QString::fromLatin1(SSymbolDataMalformed).arg(Item->NameAsString()).arg(Offset).arg(QLatin1String(What)),
               rmWarning, Item);
}

// The item's raw bytes, viewed where they lie.
TBinaryReader RawData(const TCustomResourceItemGeneric* Item)
{
    return TBinaryReader(reinterpret_cast<const char*>(Item->Data()->Memory()), Item->Data()->Size());
}

QString TypeText(const TResourceIdent& Type) { return ResourceTypeToKeyword(Type); }

} // namespace

// TCustomHWBResourceItem

TCustomHWBResourceItem::TCustomHWBResourceItem(const TResourceIdent& AResName)
    : TCustomResourceItemGeneric(HWBType(), AResName)
{
}

bool TCustomHWBResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == HWBType();
}

QString TCustomHWBResourceItem::ResourceTypeName() { return QStringLiteral("Resource Script Symbols"); }

QString TCustomHWBResourceItem::GetSubType() const { return QStringLiteral("Unknown usage"); }

// TCustomHWBEntriesResourceItem

TCustomHWBEntriesResourceItem::~TCustomHWBEntriesResourceItem()
{
    // The entries go while the item is whole and quiet.
    LockUpdate();
    FEntries.reset();
}

void TCustomHWBEntriesResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard batch(this);
    inherited::LoadFromStream(Stream, Size);
    TUpdateGuard entries(FEntries.get());
    Decode(RawData(this));
}

void TCustomHWBEntriesResourceItem::Clear()
{
    TUpdateGuard batch(this);
    inherited::Clear();
    if (FEntries) FEntries->Clear();
}

// THWBSourceInfoResourceItem

bool THWBSourceInfoResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream*)
{
    return HandlesHWB(ResourceType, Name, HWB_SOURCEINFO);
}

void THWBSourceInfoResourceItem::Clear()
{
    TUpdateGuard batch(this);
    inherited::Clear();
    FOffset = 0;
    FFilename.clear();
}

void THWBSourceInfoResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard batch(this);
    inherited::LoadFromStream(Stream, Size);
    const TBinaryReader data = RawData(this);
    const std::optional<uint32_t> offset = data.TryU32(0);
    if (!offset) throw Exception(QString::fromLatin1(SPrematureEnd));
    FOffset = *offset;
    // At most 260 characters, ended by a zero or by the data.
    const QByteArray rest = data.Bytes(4, std::min<int64_t>(data.Size() - 4, MaxSourceFilename));
    const qsizetype zero = rest.indexOf('\0');
    FFilename = zero >= 0 ? rest.left(zero) : rest;
}

// TResourceMapItem

QString TResourceMapItem::ResType() const { return TypeText(FResType); }

QString TResourceMapItem::ResName() const { return ResourceIdentToString(FResName); }

QString TResourceMapItem::DisplayName() const { return QStringLiteral("%1 : %2").arg(ResType(), ResName()); }

// THWBResourceMapResourceItem

THWBResourceMapResourceItem::THWBResourceMapResourceItem(const TResourceIdent& AResName) : TCustomHWBEntriesResourceItem(AResName)
{
    SetEntries(std::make_unique<TResourceMapItems>(this));
}

bool THWBResourceMapResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream*)
{
    return HandlesHWB(ResourceType, Name, HWB_RESOURCEMAP);
}

void THWBResourceMapResourceItem::Decode(const TBinaryReader& Data)
{
    THWBCursor at(Data);
    while (at.Inside()) {
        const int64_t start = at.Position();
        const std::optional<uint32_t> size = at.U32();
        if (size && *size == 0) break;
        const std::optional<uint32_t> offset = at.U32();
        const std::optional<TResourceIdent> type = offset ? at.SzOrOrd() : std::nullopt;
        const std::optional<TResourceIdent> name = type ? at.SzOrOrd() : std::nullopt;
        if (name) at.AlignFromStart(4);
        const std::optional<uint32_t> structVersion = name ? at.U32() : std::nullopt;
        const std::optional<uint16_t> flags = structVersion ? at.U16() : std::nullopt;
        const std::optional<uint16_t> language = flags ? at.U16() : std::nullopt;
        const std::optional<uint32_t> version = language ? at.U32() : std::nullopt;
        const std::optional<uint32_t> characteristics = version ? at.U32() : std::nullopt;
        if (!size || !characteristics) {
            LogCutShort(this, start);
            break;
        }
        TResourceMapItem* entry = Entries()->Add();
        entry->FSize = *size;
        entry->FOffset = *offset;
        entry->FResType = *type;
        entry->FResName = *name;
        entry->FStructVersion = *structVersion;
        entry->FFlags = *flags;
        entry->FLanguage = *language;
        entry->FVersion = *version;
        entry->FCharacteristics = *characteristics;
    }
}

// TSymbolDefItem

QString TSymbolDefItem::DisplayName() const
{
    return QStringLiteral("%1 = %2").arg(QString::fromLatin1(FSymbol), QString::fromLatin1(FValue));
}

TCustomResourceItem* TSymbolDefItem::GetBaseResourceItem() const { return Collection()->ResourceItem(); }

// TSymbolDefCollection

void TSymbolDefCollection::Update(TCustomResourceItemItem*)
{
    // A symbol's change is its file's change.
    FFileItem->Changed();
}

// TSymbolDefFileItems

void TSymbolDefFileItems::Add(TSymbolDefFileItem* Item)
{
    if (std::find(FList.begin(), FList.end(), Item) == FList.end()) FList.push_back(Item);
}

void TSymbolDefFileItems::Remove(TSymbolDefFileItem* Item)
{
    const auto it = std::find(FList.begin(), FList.end(), Item);
    if (it != FList.end()) FList.erase(it);
}

TSymbolDefFileItem* TSymbolDefFileItems::Items(int Index) const
{
    if (Index < 0 || Index >= Count()) throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
    return FList[size_t(Index)];
}

// TSymbolDefFileItem

TSymbolDefFileItem::TSymbolDefFileItem(TCustomResourceItemItems* ACollection)
    : TResourceItemItem<THWBSymbolDefResourceItem>(ACollection),
      FSymbols(std::make_unique<TSymbolDefCollection>(ACollection->ResourceItem(), this))
{
}

TSymbolDefFileItem::~TSymbolDefFileItem()
{
    if (FParentFile) FParentFile->FChildFiles.Remove(this);
    FParentFile = nullptr;
    // Quietly: the item may be going away as a whole.
    FSymbols.reset();
    for (int i = 0; i < FChildFiles.Count(); ++i) FChildFiles.Items(i)->FParentFile = nullptr;
    FChildFiles.Clear();
}

void TSymbolDefFileItem::SetParentFile(TSymbolDefFileItem* Value)
{
    if (Value == FParentFile) return;
    if (FParentFile) FParentFile->FChildFiles.Remove(this);
    FParentFile = Value;
    if (FParentFile) FParentFile->FChildFiles.Add(this);
    Changed();
}

QString TSymbolDefFileItem::DisplayName() const
{
    return QStringLiteral("%1 (%2 symbols)").arg(QString::fromLatin1(FFilename)).arg(FSymbols->Count());
}

// THWBSymbolDefResourceItem

THWBSymbolDefResourceItem::THWBSymbolDefResourceItem(const TResourceIdent& AResName) : TCustomHWBEntriesResourceItem(AResName)
{
    SetEntries(std::make_unique<TSymbolDefFileItemCollection>(this));
}

bool THWBSymbolDefResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream*)
{
    return HandlesHWB(ResourceType, Name, HWB_SYMBOLDEFS);
}

TResourceItemCapabilities THWBSymbolDefResourceItem::Capabilities()
{
    TResourceItemCapabilities result = inherited::Capabilities();
    if (DebuggerAttached()) result.Include(rcSave);
    return result;
}

void THWBSymbolDefResourceItem::Decode(const TBinaryReader& Data)
{
    THWBCursor at(Data);
    TSymbolDefFileItem* current = nullptr;
    std::vector<TSymbolDefFileItem*> stack;
    // The first entry of each name: a file entered again is found without a search.
    QHash<QByteArray, TSymbolDefFileItem*> byName;
    while (at.Inside()) {
        const int64_t start = at.Position();
        const std::optional<QByteArray> a = at.Ansi();
        if (a && a->isEmpty()) break;
        const std::optional<QByteArray> b = a ? at.Ansi() : std::nullopt;
        const std::optional<uint16_t> w = b ? at.U16() : std::nullopt;
        const std::optional<uint8_t> f = w ? at.U8() : std::nullopt;
        if (!f) {
            LogCutShort(this, start);
            break;
        }
        if (*a == "!") {
            if (b->isEmpty() && *w == EndOfFileList) break;
            if (current) {
                if (!b->isEmpty()) {
                    stack.push_back(current);
                    current = byName.value(*b, nullptr);
                } else {
                    // A return with nothing to return to: what follows belongs to no known file.
                    if (stack.empty()) {
                        LogMalformed(this, start, "return without an include");
                        break;
                    }
                    current = stack.back();
                    stack.pop_back();
                }
            }
            if (!current) {
                TSymbolDefFileItem* file = Files()->Add();
                file->FFilename = *b;
                file->FReadOnly = *f;
                file->FLevel = *w;
                // A nested file with nothing on the stack stays at the top of the tree.
                if (*w != 0 && !stack.empty()) file->SetParentFile(stack.back());
                if (!byName.contains(*b)) byName.insert(*b, file);
                current = file;
            }
            continue;
        }
        if (!current) {
            LogMalformed(this, start, "symbol before any file");
            break;
        }
        TSymbolDefItem* symbol = current->Symbols()->Add();
        symbol->FSymbol = *a;
        symbol->FValue = *b;
        symbol->FLineNumber = *w;
        symbol->FReadOnly = *f;
    }
}

void THWBSymbolDefResourceItem::SaveToFileStream(TStream& Stream)
{
    if (DebuggerAttached())
        SaveSymbolList(Stream);
    else
        inherited::SaveToFileStream(Stream);
}

void THWBSymbolDefResourceItem::SaveSymbolList(TStream& Stream) const
{
    // Counted strings: names and values longer than a byte can count are cut.
    auto writeCounted = [&Stream](const QByteArray& S) {
        const QByteArray text = S.left(255);
        Stream.WriteByte(uint8_t(text.size()));
        Stream.Write(text.constData(), text.size());
    };
    Stream.WriteWord(1);
    for (int i = 0; i < Files()->Count(); ++i) {
        const TSymbolDefCollection* symbols = Files()->Items(i)->Symbols();
        for (int j = 0; j < symbols->Count(); ++j) {
            const TSymbolDefItem* symbol = symbols->Items(j);
            if (symbol->Symbol().isEmpty() || symbol->Value().isEmpty()) continue;
            writeCounted(symbol->Symbol());
            writeCounted(symbol->Value());
        }
    }
}

// TFileMapItem

QString TFileMapItem::ResType() const { return TypeText(FResType); }

QString TFileMapItem::ResName() const { return ResourceIdentToString(FResName); }

QString TFileMapItem::DisplayName() const
{
    QString result = QStringLiteral("%1 : %2").arg(ResType(), ResName());
    if (!FFilename.isEmpty()) result += QStringLiteral(" (%1)").arg(FFilename);
    return result;
}

// THWBFileMapResourceItem

THWBFileMapResourceItem::THWBFileMapResourceItem(const TResourceIdent& AResName) : TCustomHWBEntriesResourceItem(AResName)
{
    SetEntries(std::make_unique<TFileMapItems>(this));
}

bool THWBFileMapResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream*)
{
    return HandlesHWB(ResourceType, Name, HWB_FILEMAP);
}

void THWBFileMapResourceItem::Decode(const TBinaryReader& Data)
{
    THWBCursor at(Data);
    while (at.Inside()) {
        const int64_t start = at.Position();
        const std::optional<TResourceIdent> type = at.SzOrOrd();
        const std::optional<TResourceIdent> name = type ? at.SzOrOrd() : std::nullopt;
        const std::optional<uint16_t> language = name ? at.U16() : std::nullopt;
        const std::optional<TResourceIdent> filename = language ? at.SzOrOrd() : std::nullopt;
        if (!filename) {
            LogCutShort(this, start);
            break;
        }
        TFileMapItem* entry = Entries()->Add();
        entry->FResType = *type;
        entry->FResName = *name;
        entry->FLanguage = *language;
        entry->FFilename = ResourceIdentToString(*filename);
    }
}

// TSymbolMapSymbolItem

QString TSymbolMapSymbolItem::DisplayName() const
{
    return QStringLiteral("%1 (%2)").arg(QString::fromLatin1(FName)).arg(FID);
}

TCustomResourceItem* TSymbolMapSymbolItem::GetBaseResourceItem() const { return Collection()->ResourceItem(); }

// TSymbolMapItem

TSymbolMapItem::TSymbolMapItem(TCustomResourceItemItems* ACollection)
    : TResourceItemItem<THWBSymbolMapResourceItem>(ACollection),
      FSymbols(std::make_unique<TSymbolMapSymbolItems>(ACollection->ResourceItem()))
{
}

TSymbolMapItem::~TSymbolMapItem() = default;

QString TSymbolMapItem::DisplayName() const
{
    QString result = QStringLiteral("%1 : %2").arg(QString::fromLatin1(FResType), QString::fromLatin1(FResID));
    if (!FSymbol.isEmpty()) result += QStringLiteral(" (%1)").arg(QString::fromLatin1(FSymbol));
    return result;
}

// THWBSymbolMapResourceItem

THWBSymbolMapResourceItem::THWBSymbolMapResourceItem(const TResourceIdent& AResName) : TCustomHWBEntriesResourceItem(AResName)
{
    SetEntries(std::make_unique<TSymbolMapItems>(this));
}

bool THWBSymbolMapResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream*)
{
    return HandlesHWB(ResourceType, Name, HWB_SYMBOLMAP);
}

void THWBSymbolMapResourceItem::Decode(const TBinaryReader& Data)
{
    THWBCursor at(Data);
    while (at.Inside()) {
        const int64_t start = at.Position();
        const std::optional<QByteArray> type = at.Ansi();
        if (type && *type == "$" && at.PeekU16() == EndOfSymbolMap) break;
        const std::optional<QByteArray> id = type ? at.Ansi() : std::nullopt;
        const std::optional<QByteArray> symbol = id ? at.Ansi() : std::nullopt;
        const std::optional<QByteArray> filename = symbol ? at.Ansi() : std::nullopt;
        const std::optional<uint16_t> line = filename ? at.U16() : std::nullopt;
        if (!line) {
            LogCutShort(this, start);
            break;
        }
        TSymbolMapItem* entry = Entries()->Add();
        entry->FResType = *type;
        entry->FResID = *id;
        entry->FSymbol = *symbol;
        entry->FFilename = *filename;
        entry->FLineNumber = *line;
        TUpdateGuard children(entry->FSymbols.get());
        bool cutShort = false;
        while (at.Inside()) {
            const int64_t pairStart = at.Position();
            const std::optional<QByteArray> name = at.Ansi();
            const std::optional<uint16_t> childID = name ? at.U16() : std::nullopt;
            if (!childID) {
                LogCutShort(this, pairStart);
                cutShort = true;
                break;
            }
            if (*name == "$" && *childID == EndOfSymbolMap) break;
            if (name->isEmpty() && *childID == 0) continue;
            TSymbolMapSymbolItem* child = entry->FSymbols->Add();
            child->FName = *name;
            child->FID = *childID;
        }
        if (cutShort) break;
    }
}

// Unit start-up: the decoded kinds are asked before the base, which takes any other HWB resource.

void koResourceItemHWB_Initialize()
{
    TCustomHWBResourceItem::ClassInfo()->Register(255);
    THWBSourceInfoResourceItem::ClassInfo()->Register(-255);
    THWBResourceMapResourceItem::ClassInfo()->Register(-255);
    THWBSymbolDefResourceItem::ClassInfo()->Register(-255);
    THWBFileMapResourceItem::ClassInfo()->Register(-255);
    THWBSymbolMapResourceItem::ClassInfo()->Register(-255);
}

void koResourceItemHWB_Finalize()
{
    THWBSymbolMapResourceItem::ClassInfo()->Unregister();
    THWBFileMapResourceItem::ClassInfo()->Unregister();
    THWBSymbolDefResourceItem::ClassInfo()->Unregister();
    THWBResourceMapResourceItem::ClassInfo()->Unregister();
    THWBSourceInfoResourceItem::ClassInfo()->Unregister();
    TCustomHWBResourceItem::ClassInfo()->Unregister();
}
