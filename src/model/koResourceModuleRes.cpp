#include "koResourceModuleRes.h"

#include "platform/BinaryReader.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

#include <QElapsedTimer>
#include <optional>

namespace {
const char* const SNotAResourceFile = "Not a resource file: %s";
const char* const STooSmall = "a resource file starts with an empty 32-byte record, and this file holds only %d bytes.";
const char* const SFirstRecordMustBeBlank =
    "a resource file starts with an empty 32-byte record, and the first 32 bytes of this file are not one.";
const char* const SMalformedResourceFile = "Malformed resource file: %s";
const char* const SInvalidHeaderSize = "%s has an invalid header size (%u bytes).";
const char* const SHeaderPastEnd = "the header of %s (%u bytes) runs past the end of the file.";
const char* const SInvalidIdent = "the %s of %s does not fit in its header.";
const char* const SEmptyIdent = "%s has an empty %s.";
const char* const SDataPastEnd = "the data of %s (%u bytes) runs past the end of the file.";
const char* const SRecord = "resource record %d at offset 0x%X";
const char* const SRecordOfResource = "resource record %d (type %s, name %s) at offset 0x%X";
const char* const SLoading = "Loading";
const char* const SSaving = "Saving";

// The blank first record, which is also the signature of the format.
const QByteArray BlankRecord = QByteArray::fromHex("0000000020000000ffff0000ffff0000") + QByteArray(16, '\0');
// The fixed fields after type and name: DataVersion, MemoryFlags, LanguageId, Version, Characteristics.
const int FixedHeaderSize = 16;
// The smallest header: sizes (8), an empty name and type (2 + 2), fixed fields (16), aligned to 4.
const uint32_t MinHeaderSize = 28;

struct TFileType {
    const char* Extension;
    const char* Description;
    int Priority;
};
const TFileType FileTypes[] = {{"res", "Resource files", -255}, {"dcr", "Delphi Component Resource", -239}};

[[noreturn]] void RaiseMalformed(const QString& reason)
{
    throw EReadError(Format(QString::fromLatin1(SMalformedResourceFile), {reason}));
}

QString RecordText(int index, int64_t offset)
{
    return Format(QString::fromLatin1(SRecord), {index, offset});
}

QString RecordText(int index, int64_t offset, const TResourceIdent& type, const TResourceIdent& name)
{
    return Format(QString::fromLatin1(SRecordOfResource),
                  {index, ResourceIdentToText(type), ResourceIdentToText(name), offset});
}

// A type or name: 0xFFFF and a 16-bit ordinal, or UTF-16 characters up to a zero.
std::optional<TResourceIdent> ReadIdent(TBinaryReader& names)
{
    const std::optional<uint16_t> first = names.TryU16(names.Offset());
    if (!first) return std::nullopt;
    if (*first == ResourceOrdinalMarker) {
        const std::optional<uint16_t> ordinal = names.TryU16(names.Offset() + 2);
        if (!ordinal) return std::nullopt;
        names.Skip(4);
        return TResourceIdent::FromOrdinal(*ordinal);
    }
    const std::optional<QString> text = names.TryUtf16Z(names.Offset());
    if (!text) return std::nullopt;
    names.Skip((text->size() + 1) * 2);
    return TResourceIdent(*text);
}

void RegisterFileTypesOf(TResourceModuleFilerClass filer)
{
    for (const TFileType& type : FileTypes)
        filer->RegisterFileType(QString::fromLatin1(type.Extension), QString::fromLatin1(type.Description), type.Priority);
}

} // namespace

bool TResourceModuleRes::Handles(const QString& FileName)
{
    const QString ext = ExtractFileExt(FileName).mid(1);
    return SameText(ext, QStringLiteral("res")) || SameText(ext, QStringLiteral("dcr"));
}

// Reader

bool TResourceModuleReaderRes::Handles(const QString& FileName)
{
    if (TResourceModuleRes::Handles(FileName)) return true;
    TFileStream stream(FileName, fmOpenRead | fmShareDenyNone);
    return Handles(&stream);
}

bool TResourceModuleReaderRes::Handles(TStream* Stream)
{
    return MatchSignature(Stream, BlankRecord, QByteArray(BlankRecord.size(), char(0xFF)), 0);
}

std::unique_ptr<TCustomResourceModule> TResourceModuleReaderRes::LoadFromStream(TStream& Stream)
{
    const int64_t start = Stream.Position();
    const QByteArray bytes = Stream.ReadBytes(Stream.Size() - start);
    const TBinaryReader file(bytes.constData(), bytes.size(), start);
    // Only the sizes, type and name of the blank record count: some writers leave junk in the rest.
    if (file.Size() < BlankRecord.size())
        throw EReadError(Format(QString::fromLatin1(SNotAResourceFile),
                                {Format(QString::fromLatin1(STooSmall), {static_cast<int>(file.Size())})}));
    if (file.U32(0) != 0 || file.U32(4) != 32 || file.U32(8) != 0xFFFF || file.U32(12) != 0xFFFF)
        throw EReadError(Format(QString::fromLatin1(SNotAResourceFile), {QString::fromLatin1(SFirstRecordMustBeBlank)}));

    auto module = std::make_unique<TResourceModuleRes>();
    module->BeforeLoad();
    const int max = static_cast<int>(std::min<int64_t>(file.Size(), INT32_MAX));
    DoProgress(psBegin, 0, max, QString::fromLatin1(SLoading));
    TFinally end([&] { DoProgress(psEnd, max, max, QString::fromLatin1(SLoading)); });
    TProgressPacer pacer;
    TUpdateGuard batch(module.get());

    int64_t offset = BlankRecord.size();
    int index = 0;
    // Fewer than 8 bytes cannot hold a record: what is left at the end is padding.
    while (file.Has(offset, 8)) {
        const uint32_t dataSize = file.U32(offset);
        const uint32_t headerSize = file.U32(offset + 4);
        // A zero pair is padding (some tools align records or the end of the file); the records after it count.
        if (dataSize == 0 && headerSize == 0) {
            offset += 8;
            continue;
        }
        ++index;
        const int64_t absolute = file.Base() + offset;
        if (headerSize < MinHeaderSize || headerSize % 4 != 0)
            RaiseMalformed(Format(QString::fromLatin1(SInvalidHeaderSize), {RecordText(index, absolute), headerSize}));
        if (!file.Has(offset, headerSize))
            RaiseMalformed(Format(QString::fromLatin1(SHeaderPastEnd), {RecordText(index, absolute), headerSize}));

        TBinaryReader names = file.Sub(offset + 8, headerSize - 8 - FixedHeaderSize);
        const std::optional<TResourceIdent> type = ReadIdent(names);
        if (!type) RaiseMalformed(Format(QString::fromLatin1(SInvalidIdent), {QStringLiteral("type"), RecordText(index, absolute)}));
        const std::optional<TResourceIdent> name = ReadIdent(names);
        if (!name) RaiseMalformed(Format(QString::fromLatin1(SInvalidIdent), {QStringLiteral("name"), RecordText(index, absolute)}));
        if (type->isEmpty()) RaiseMalformed(Format(QString::fromLatin1(SEmptyIdent), {RecordText(index, absolute), QStringLiteral("type")}));
        if (name->isEmpty()) RaiseMalformed(Format(QString::fromLatin1(SEmptyIdent), {RecordText(index, absolute), QStringLiteral("name")}));
        const QString record = RecordText(index, absolute, *type, *name);

        const int64_t fixed = offset + headerSize - FixedHeaderSize;
        const uint32_t dataVersion = file.U32(fixed);
        const uint16_t memoryFlags = file.U16(fixed + 4);
        const uint16_t language = file.U16(fixed + 6);
        const uint32_t version = file.U32(fixed + 8);
        const uint32_t characteristics = file.U32(fixed + 12);

        const int64_t dataOffset = offset + headerSize;
        if (!file.Has(dataOffset, dataSize)) RaiseMalformed(Format(QString::fromLatin1(SDataPastEnd), {record, dataSize}));
        TCustomMemoryStream data(file.Data() + dataOffset, dataSize);
        {
            // Messages of a kind that cannot read the data name the record.
            TMessageContextScope context(record);
            LoadResourceItem(module.get(), *type, *name, language, data, dataSize, [&](TCustomResourceItem* item) {
                item->SetDataVersion(dataVersion);
                item->SetMemoryFlags(memoryFlags);
                item->SetVersion(version);
                item->SetCharacteristics(characteristics);
                if (pacer.Due())
                    DoProgress(psProgress, static_cast<int>(std::min<int64_t>(dataOffset, INT32_MAX)), max,
                               ResourceItemProgressText(item));
            });
        }
        // The last record may lack its final padding.
        offset = std::min<int64_t>(file.Size(), (dataOffset + dataSize + 3) & ~int64_t(3));
    }
    return module;
}

void TResourceModuleReaderRes::RegisterFileTypes() { RegisterFileTypesOf(ClassInfo()); }

// Writer

bool TResourceModuleWriterRes::Handles(TCustomResourceModule*, const QString& FileName)
{
    return TResourceModuleRes::Handles(FileName);
}

void TResourceModuleWriterRes::SaveToStream(TCustomResourceModule* Module, TStream& Stream, const QString&, const QString&)
{
    Stream.WriteBytes(BlankRecord);
    const std::vector<TCustomResourceItem*> items = WritableResourceItems(Module);
    const int count = static_cast<int>(items.size());
    DoProgress(psBegin, 0, count, QString::fromLatin1(SSaving));
    TFinally end([&] { DoProgress(psEnd, count, count, QString::fromLatin1(SSaving)); });
    TProgressPacer pacer;
    int index = 0;
    for (TCustomResourceItem* item : items) {
        ++index;
        if (pacer.Due()) DoProgress(psProgress, index, count, ResourceItemProgressText(item));
        TMemoryStream names;
        WriteResourceIdent(names, item->ResourceType());
        WriteResourceIdent(names, item->Name());
        const auto headerSize = static_cast<uint32_t>((names.Size() + 27) & ~int64_t(3));
        const int64_t recordStart = Stream.Position();
        TMemoryStream header;
        header.WriteDWord(0);
        header.WriteDWord(headerSize);
        header.CopyFrom(names, 0);
        AlignStream(header, static_cast<int>(header.Size()), 4);
        header.WriteDWord(item->DataVersion());
        header.WriteWord(item->MemoryFlags());
        header.WriteWord(item->Language());
        header.WriteDWord(item->Version());
        header.WriteDWord(item->Characteristics());
        ATELIER_ASSERT(header.Size() == headerSize);
        Stream.CopyFrom(header, 0);

        const int64_t dataStart = Stream.Position();
        item->SaveToStream(Stream);
        const int64_t dataSize = Stream.Position() - dataStart;
        item->SetSize(static_cast<int>(dataSize));
        const int64_t end = AlignStream(Stream, static_cast<int>(Stream.Position() - recordStart), 4) + recordStart;
        ATELIER_ASSERT(end - dataStart - dataSize == ((4 - dataSize % 4) % 4));
        Stream.SetPosition(recordStart);
        Stream.WriteDWord(static_cast<uint32_t>(dataSize));
        Stream.SetPosition(end);
    }
}

void TResourceModuleWriterRes::RegisterFileTypes() { RegisterFileTypesOf(ClassInfo()); }

void koResourceModuleRes_Initialize()
{
    TResourceModuleReaderRes::ClassInfo()->Register(0);
    TResourceModuleReaderRes::RegisterFileTypes();
    TResourceModuleWriterRes::ClassInfo()->Register(0);
    TResourceModuleWriterRes::RegisterFileTypes();
}

void koResourceModuleRes_Finalize()
{
    TResourceModuleWriterRes::ClassInfo()->Unregister();
    TResourceModuleReaderRes::ClassInfo()->Unregister();
}
