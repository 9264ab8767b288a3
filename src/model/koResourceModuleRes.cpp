#include "koResourceModuleRes.h"

#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

namespace {
const char* const SMalformedResourceFile = "Malformed resource file: %s";
const char* const SFirstRecordMustBeBlank = "First record must be blank";
const char* const SPrematureEnd = "Premature end of data";
const char* const SInvalidRecordHeader = "Invalid record header";
const char* const SRecordOverran = "Resource record overran stream";
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

[[noreturn]] void RaiseMalformed(const char* reason)
{
    throw Exception(Format(QString::fromLatin1(SMalformedResourceFile), {QString::fromLatin1(reason)}));
}

uint32_t DWordAt(const QByteArray& bytes, int offset)
{
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData() + offset);
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
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
    auto module = std::make_unique<TResourceModuleRes>();
    module->BeforeLoad();
    const QByteArray first = Stream.ReadBytes(BlankRecord.size());
    if (first.size() < BlankRecord.size()) return module;
    if (DWordAt(first, 0) != 0 || DWordAt(first, 4) != 32 || DWordAt(first, 8) != 0xFFFF || DWordAt(first, 12) != 0xFFFF)
        RaiseMalformed(SFirstRecordMustBeBlank);

    const int64_t streamSize = Stream.Size();
    const int max = static_cast<int>(std::min<int64_t>(streamSize, INT32_MAX));
    DoProgress(psBegin, 0, max, QString::fromLatin1(SLoading));
    TFinally end([&] { DoProgress(psEnd, max, max, QString::fromLatin1(SLoading)); });
    TUpdateGuard batch(module.get());

    int64_t recordStart = Stream.Position();
    for (;;) {
        const QByteArray sizes = Stream.ReadBytes(8);
        if (sizes.size() < 8) break;
        const uint32_t dataSize = DWordAt(sizes, 0);
        const uint32_t headerSize = DWordAt(sizes, 4);
        // Zero padding at the end of a file is no record.
        if (dataSize == 0 && headerSize == 0) break;
        if (headerSize < MinHeaderSize || headerSize % 4 != 0) RaiseMalformed(SInvalidRecordHeader);
        const int64_t remaining = streamSize - Stream.Position();
        if (int64_t(headerSize) - 8 > remaining || int64_t(headerSize) - 8 + int64_t(dataSize) > remaining)
            RaiseMalformed(SPrematureEnd);

        const QByteArray names = Stream.ReadBytes(headerSize - 8 - FixedHeaderSize);
        if (names.size() < int64_t(headerSize - 8 - FixedHeaderSize)) RaiseMalformed(SPrematureEnd);
        const auto* p = reinterpret_cast<const uint8_t*>(names.constData());
        const uint8_t* namesEnd = p + names.size();
        TResourceIdent type, name;
        const int maxChars = static_cast<int>(names.size() / 2);
        if (!ExtractResourceIdent(p, namesEnd, maxChars, type) ||
            !ExtractResourceIdent(p, namesEnd, maxChars - static_cast<int>(type.size()), name))
            RaiseMalformed(SInvalidRecordHeader);

        const QByteArray fixed = Stream.ReadBytes(FixedHeaderSize);
        if (fixed.size() < FixedHeaderSize) RaiseMalformed(SPrematureEnd);
        const uint32_t dataVersion = DWordAt(fixed, 0);
        const auto memoryFlags = static_cast<uint16_t>(DWordAt(fixed, 4) & 0xFFFF);
        const auto language = static_cast<uint16_t>(DWordAt(fixed, 4) >> 16);
        const uint32_t version = DWordAt(fixed, 8);
        const uint32_t characteristics = DWordAt(fixed, 12);

        TMemoryStream data;
        if (dataSize > 0 && data.CopyFrom(Stream, dataSize) != dataSize) RaiseMalformed(SPrematureEnd);
        data.SetPosition(0);
        LoadResourceItem(module.get(), type, name, language, data, dataSize, [&](TCustomResourceItem* item) {
            item->SetDataVersion(dataVersion);
            item->SetMemoryFlags(memoryFlags);
            item->SetVersion(version);
            item->SetCharacteristics(characteristics);
            DoProgress(psProgress, static_cast<int>(std::min<int64_t>(Stream.Position(), INT32_MAX)), max,
                       ResourceItemProgressText(item));
        });

        const int64_t next = recordStart + ((int64_t(headerSize) + int64_t(dataSize) + 3) & ~int64_t(3));
        if (Stream.Position() > next) throw Exception(QString::fromLatin1(SRecordOverran));
        Stream.SetPosition(next);
        recordStart = next;
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
    int index = 0;
    for (TCustomResourceItem* item : items) {
        DoProgress(psProgress, ++index, count, ResourceItemProgressText(item));
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
