#include "RcResWriter.h"

namespace rc {

namespace {

void AppendRecord(TDataBuilder& Out, const TResource& Resource)
{
    TDataBuilder header;
    header.NameOrOrdinal(Resource.Type);
    header.NameOrOrdinal(Resource.Name);
    header.AlignTo4();
    const qsizetype headerSize = 8 + header.Size() + 16;
    Out.DWord(static_cast<uint32_t>(Resource.Data.size()));
    Out.DWord(static_cast<uint32_t>(headerSize));
    Out.Bytes(header.Data());
    Out.DWord(0); // data version
    Out.Word(Resource.MemoryFlags);
    Out.Word(Resource.Language);
    Out.DWord(Resource.Version);
    Out.DWord(Resource.Characteristics);
    Out.Bytes(Resource.Data);
    Out.AlignTo4();
}

} // namespace

QByteArray ResFileData(const std::vector<TResource>& Resources)
{
    TDataBuilder out;
    TResource blank;
    blank.Type = TNameOrdinal::FromOrdinal(0);
    blank.Name = TNameOrdinal::FromOrdinal(0);
    AppendRecord(out, blank);
    for (const TResource& r : Resources)
        if (!r.Data.isEmpty()) AppendRecord(out, r);
    for (const TResource& r : Resources)
        if (r.Data.isEmpty()) AppendRecord(out, r);
    return out.Data();
}

} // namespace rc
