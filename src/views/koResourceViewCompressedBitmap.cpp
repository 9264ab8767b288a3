#include "koResourceViewCompressedBitmap.h"

#include "platform/BinaryReader.h"
#include "platform/Format.h"
#include "platform/Streams.h"

#include <zlib.h>

namespace {
// The smallest zlib stream: two header bytes, an empty deflate block, the four-byte check.
const int64_t MinCompressedSize = 7;
const int ChunkSize = 64 * 1024;

QString ZlibMessage(const z_stream& Stream, int Result)
{
    if (Stream.msg) return QString::fromLatin1(Stream.msg);
    return QString::fromLatin1(zError(Result));
}
} // namespace

bool IsZlibHeader(TStream& Stream)
{
    const int64_t start = Stream.Position();
    const QByteArray header = Stream.ReadBytes(2);
    // Other factories look at the same stream after this one.
    Stream.SetPosition(start);
    const TBinaryReader reader(header);
    const std::optional<uint8_t> cmf = reader.TryU8(0), flg = reader.TryU8(1);
    if (!cmf || !flg) return false;
    return (*cmf * 256 + *flg) % 31 == 0 && (*cmf & 0x0F) == 8 && (*cmf & 0xF0) <= 0x70;
}

void ZDecompressStream(TStream& Source, TStream& Dest, int64_t MaxSize)
{
    int64_t written = 0;
    z_stream zs{};
    int result = inflateInit(&zs);
    if (result != Z_OK) throw EZDecompressionError(ZlibMessage(zs, result));
    QByteArray input(ChunkSize, Qt::Uninitialized);
    QByteArray output(ChunkSize, Qt::Uninitialized);
    try {
        result = Z_OK;
        while (result != Z_STREAM_END) {
            if (zs.avail_in == 0) {
                const int64_t n = Source.Read(input.data(), ChunkSize);
                if (n <= 0) throw EZDecompressionError(QStringLiteral("Compressed data ends early"));
                zs.next_in = reinterpret_cast<Bytef*>(input.data());
                zs.avail_in = static_cast<uInt>(n);
            }
            zs.next_out = reinterpret_cast<Bytef*>(output.data());
            zs.avail_out = ChunkSize;
            result = inflate(&zs, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END) throw EZDecompressionError(ZlibMessage(zs, result));
            const int64_t produced = ChunkSize - zs.avail_out;
            written += produced;
            if (written > MaxSize)
                throw EZDecompressionError(Format(QStringLiteral("Compressed data inflates to more than %d bytes"),
                                                  {MaxSize}));
            Dest.WriteBuffer(output.constData(), produced);
        }
    } catch (...) {
        inflateEnd(&zs);
        throw;
    }
    inflateEnd(&zs);
}

// TCompressedBitmapResourceItemView

QString TCompressedBitmapResourceItemView::GetCaption()
{
    return Format(QStringLiteral("Compressed %s"), {TGraphicResourceItemView::GetCaption()});
}

void TCompressedBitmapResourceItemView::GetImageData(TCustomResourceItem* Item, TStream& Stream)
{
    TMemoryStream raw;
    Item->SaveToStream(raw);
    raw.SetPosition(0);
    ZDecompressStream(raw, Stream);
}

// TCompressedBitmapResourceItemViewFactory

bool TCompressedBitmapResourceItemViewFactory::Handles(const TResourceIdent& ResourceType, const TResourceIdent&,
                                                        TStream* Data)
{
    if (!IsOrdinalResourceIdent(ResourceType) || ResourceIdentOrdinal(ResourceType) != RT_RCDATA) return false;
    return Data && Data->Size() - Data->Position() >= MinCompressedSize && IsZlibHeader(*Data);
}

IResourceItemViewPtr TCompressedBitmapResourceItemViewFactory::CreateView()
{
    return std::make_shared<TCompressedBitmapResourceItemView>();
}

void koResourceViewCompressedBitmap_Initialize()
{
    TCompressedBitmapResourceItemViewFactory::ClassInfo()->Register(TResourceIdent::FromOrdinal(RT_RCDATA), {}, 255);
}

void koResourceViewCompressedBitmap_Finalize() { TCompressedBitmapResourceItemViewFactory::ClassInfo()->Unregister(); }
