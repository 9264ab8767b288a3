#include "MediaRiff.h"

#include "platform/BinaryReader.h"
#include "platform/Format.h"

#include <algorithm>
#include <functional>

namespace {
const char* const SNotRiff = "The data is not a RIFF file.";
const char* const SChunkPastEnd = "The chunk \"%s\" at offset %d runs past the end of the data.";
const char* const SChunkTooShort = "The chunk \"%s\" at offset %d is too short.";
const char* const SNoVideo = "AVI File error: The file holds no video frames";
const char* const SNoDecompressor = "AVI File error: The system cannot find a suitable decompressor";
const char* const SDecompressFailed = "AVI File error: Failed to decompress requested video frame";

// Pictures larger than this are refused before anything is allocated for them.
const int64_t MaxFrameSide = 32768;
const int64_t MaxFramePixels = int64_t(1) << 26;

QString FourCCText(const QByteArray& Id)
{
    QString text;
    for (char c : Id) text += (c >= 0x20 && c < 0x7F) ? QChar(c) : QChar('?');
    return text;
}

struct TChunk {
    QByteArray Id;
    TBinaryReader Data;
};

// Walks the chunks of a window: each one whole inside it, padded to an even size. A tail too short for a
// chunk header is padding.
void ForEachChunk(TBinaryReader Window, const std::function<void(TChunk&)>& Visit)
{
    while (Window.Remaining() >= 8) {
        const int64_t at = Window.Offset();
        TChunk chunk{Window.ReadBytes(4, "chunk id"), {}};
        const uint32_t size = Window.ReadU32("chunk size");
        if (size > Window.Remaining())
            throw ERiffError(Format(QString::fromUtf8(SChunkPastEnd), {FourCCText(chunk.Id), Window.Base() + at}));
        chunk.Data = Window.ReadSub(size, "chunk");
        Window.Align(2);
        Visit(chunk);
    }
}

// A LIST chunk's type and its content after the type; nullopt for other chunks.
std::optional<std::pair<QByteArray, TBinaryReader>> ListOf(const TChunk& Chunk)
{
    if (Chunk.Id != "LIST" || Chunk.Data.Size() < 4) return std::nullopt;
    return std::make_pair(Chunk.Data.Bytes(0, 4, "list type"), Chunk.Data.Sub(4, Chunk.Data.Size() - 4, "list"));
}

void RequireSize(const TChunk& Chunk, int64_t Size)
{
    if (Chunk.Data.Size() < Size)
        throw ERiffError(Format(QString::fromUtf8(SChunkTooShort), {FourCCText(Chunk.Id), Chunk.Data.Base() - 8}));
}

int64_t ClampedMs(double Ms) { return Ms <= 0 ? 0 : Ms >= 9.0e15 ? int64_t(9.0e15) : int64_t(Ms); }

void ReadStreamList(TBinaryReader List, int Number, TRiffMediaInfo& Info)
{
    QByteArray type;
    TRiffVideoStream stream;
    stream.Number = Number;
    bool hasFormat = false;
    ForEachChunk(List, [&](TChunk& chunk) {
        if (chunk.Id == "strh") {
            RequireSize(chunk, 36);
            type = chunk.Data.Bytes(0, 4);
            stream.Handler = chunk.Data.U32(4);
            stream.Scale = chunk.Data.U32(20);
            stream.Rate = chunk.Data.U32(24);
            stream.Start = chunk.Data.U32(28);
            stream.Length = chunk.Data.U32(32);
        } else if (chunk.Id == "strf" && type == "vids") {
            RequireSize(chunk, 40);
            stream.Width = int32_t(chunk.Data.U32(4));
            stream.Height = int32_t(chunk.Data.U32(8));
            stream.BitCount = chunk.Data.U16(14);
            stream.Compression = chunk.Data.U32(16);
            stream.ColorsUsed = chunk.Data.U32(32);
            stream.Format = chunk.Data.Bytes(0, chunk.Data.Size());
            hasFormat = true;
        }
    });
    if (type == "auds") Info.HasAudioStream = true;
    if (type == "vids" && hasFormat && !Info.Video) Info.Video = std::move(stream);
}

bool IsFrameOf(const QByteArray& Id, int Number)
{
    if (Id.size() != 4 || (Id.mid(2) != "dc" && Id.mid(2) != "db")) return false;
    const char tens = Id[0], ones = Id[1];
    return tens >= '0' && tens <= '9' && ones >= '0' && ones <= '9' && (tens - '0') * 10 + (ones - '0') == Number;
}

void CollectFrames(TBinaryReader Movi, TRiffVideoStream& Video, int Depth)
{
    ForEachChunk(Movi, [&](TChunk& chunk) {
        if (const auto list = ListOf(chunk)) {
            // Frames may be grouped in "rec " lists; one level of them is all the format knows.
            if (Depth == 0 && list->first == "rec ") CollectFrames(list->second, Video, 1);
        } else if (IsFrameOf(chunk.Id, Video.Number)) {
            Video.Frames.push_back({chunk.Data.Base(), chunk.Data.Size()});
        }
    });
}

void ReadAvi(TBinaryReader Body, TRiffMediaInfo& Info)
{
    Info.Kind = TRiffMediaKind::Video;
    std::optional<TBinaryReader> movi;
    ForEachChunk(Body, [&](TChunk& chunk) {
        const auto list = ListOf(chunk);
        if (!list) return;
        if (list->first == "hdrl") {
            int number = 0;
            ForEachChunk(list->second, [&](TChunk& header) {
                if (header.Id == "avih") {
                    RequireSize(header, 40);
                    Info.MicroSecPerFrame = header.Data.U32(0);
                    Info.TotalFrames = header.Data.U32(16);
                    Info.Width = int(std::min<uint32_t>(header.Data.U32(32), INT32_MAX));
                    Info.Height = int(std::min<uint32_t>(header.Data.U32(36), INT32_MAX));
                } else if (const auto streamList = ListOf(header); streamList && streamList->first == "strl") {
                    ReadStreamList(streamList->second, number++, Info);
                }
            });
        } else if (list->first == "movi" && !movi) {
            movi = list->second;
        }
    });
    if (Info.Video) {
        TRiffVideoStream& video = *Info.Video;
        if (Info.Width == 0 && Info.Height == 0) {
            Info.Width = std::max(video.Width, 0);
            Info.Height = video.Height == INT32_MIN ? 0 : std::abs(video.Height);
        }
        if (movi) CollectFrames(*movi, video, 0);
        if (video.Rate > 0) Info.DurationMs = ClampedMs(double(video.Length) * video.Scale * 1000.0 / video.Rate);
    }
    if (Info.DurationMs == 0) Info.DurationMs = ClampedMs(double(Info.TotalFrames) * Info.MicroSecPerFrame / 1000.0);
}

void ReadWave(TBinaryReader Body, TRiffMediaInfo& Info)
{
    Info.Kind = TRiffMediaKind::Audio;
    ForEachChunk(Body, [&](TChunk& chunk) {
        if (chunk.Id == "fmt ") {
            RequireSize(chunk, 16);
            Info.FormatTag = chunk.Data.U16(0);
            Info.Channels = chunk.Data.U16(2);
            Info.SamplesPerSec = chunk.Data.U32(4);
            Info.AvgBytesPerSec = chunk.Data.U32(8);
            Info.BlockAlign = chunk.Data.U16(12);
            Info.BitsPerSample = chunk.Data.U16(14);
        } else if (chunk.Id == "data") {
            Info.DataSize = uint32_t(chunk.Data.Size());
        }
    });
    if (Info.AvgBytesPerSec > 0) Info.DurationMs = ClampedMs(double(Info.DataSize) * 1000.0 / Info.AvgBytesPerSec);
}

// Frame decoding.

struct TFrameGeometry {
    int Width;
    int Height;
    bool TopDown;
};

QList<QRgb> FramePalette(const TRiffVideoStream& Video)
{
    QList<QRgb> palette;
    if (Video.BitCount > 8) return palette;
    const TBinaryReader format(Video.Format);
    const uint32_t headerSize = format.U32(0);
    const int64_t count =
        std::min<int64_t>(Video.ColorsUsed ? Video.ColorsUsed : (int64_t(1) << Video.BitCount), int64_t(1) << Video.BitCount);
    if (headerSize < 40 || !format.Has(headerSize, count * 4)) throw EAVIError(QString::fromUtf8(SDecompressFailed));
    for (int64_t i = 0; i < count; ++i) {
        const uint32_t bgr = format.U32(headerSize + i * 4);
        palette.append(qRgb((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF));
    }
    // Indexes past a short palette show black.
    while (palette.size() < (1 << Video.BitCount)) palette.append(qRgb(0, 0, 0));
    return palette;
}

void DecodeUncompressed(const TBinaryReader& Frame, const TRiffVideoStream& Video, const TFrameGeometry& G,
                        const QList<QRgb>& Palette, QImage& Image)
{
    const int bits = Video.BitCount;
    const int64_t stride = ((int64_t(G.Width) * bits + 31) / 32) * 4;
    if (!Frame.Has(0, stride * G.Height)) throw EAVIError(QString::fromUtf8(SDecompressFailed));
    const auto* bytes = reinterpret_cast<const uint8_t*>(Frame.Data());
    for (int y = 0; y < G.Height; ++y) {
        const uint8_t* row = bytes + stride * y;
        auto* out = reinterpret_cast<QRgb*>(Image.scanLine(G.TopDown ? y : G.Height - 1 - y));
        for (int x = 0; x < G.Width; ++x) {
            switch (bits) {
            case 1: out[x] = Palette[(row[x / 8] >> (7 - x % 8)) & 1]; break;
            case 4: out[x] = Palette[(row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF]; break;
            case 8: out[x] = Palette[row[x]]; break;
            case 16: {
                const unsigned v = unsigned(row[2 * x]) | unsigned(row[2 * x + 1]) << 8;
                out[x] = qRgb(((v >> 10) & 31) << 3, ((v >> 5) & 31) << 3, (v & 31) << 3);
                break;
            }
            case 24: out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
            default: out[x] = qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]); break;
            }
        }
    }
}

// Draws one RLE4 or RLE8 frame over the indexes of the previous one (rows bottom-up): a delta frame
// leaves what it skips. Pixels outside the picture are dropped.
void DecodeRle(const TBinaryReader& Frame, int Bits, const TFrameGeometry& G, std::vector<uint8_t>& Indexes)
{
    TBinaryReader r = Frame;
    int64_t x = 0, y = 0;
    const auto put = [&](uint8_t Value) {
        if (x < G.Width && y < G.Height) Indexes[size_t(y * G.Width + x)] = Value;
        ++x;
    };
    while (r.Remaining() >= 2) {
        const uint8_t count = r.ReadU8();
        const uint8_t value = r.ReadU8();
        if (count > 0) {
            for (int i = 0; i < count; ++i) put(Bits == 8 ? value : (i % 2 ? value & 0xF : value >> 4));
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (r.Remaining() < 2) return;
            x += r.ReadU8();
            y += r.ReadU8();
        } else {
            const int64_t bytes = Bits == 8 ? value : (value + 1) / 2;
            if (r.Remaining() < bytes) throw EAVIError(QString::fromUtf8(SDecompressFailed));
            const TBinaryReader run = r.ReadSub(bytes);
            for (int i = 0; i < value; ++i) {
                const uint8_t b = run.U8(Bits == 8 ? i : i / 2);
                put(Bits == 8 ? b : (i % 2 ? b & 0xF : b >> 4));
            }
            r.Align(2);
        }
        if (y >= G.Height) return;
    }
}
} // namespace

TRiffMediaInfo ReadRiffMedia(const QByteArray& Data)
{
    const TBinaryReader reader(Data);
    if (reader.Size() < 12 || reader.Bytes(0, 4) != "RIFF") throw ERiffError(QString::fromUtf8(SNotRiff));
    TRiffMediaInfo info;
    info.Form = reader.Bytes(8, 4);
    // Resources are often padded after the RIFF data; data cut short keeps what is there.
    const int64_t size = std::min<int64_t>(int64_t(reader.U32(4)), reader.Size() - 8);
    if (size < 4) throw ERiffError(QString::fromUtf8(SNotRiff));
    const TBinaryReader body = reader.Sub(12, size - 4);
    if (info.Form == "AVI ")
        ReadAvi(body, info);
    else if (info.Form == "WAVE")
        ReadWave(body, info);
    return info;
}

QImage AviStillFrame(const QByteArray& Data, const TRiffMediaInfo& Info, int Percent)
{
    if (!Info.Video || Info.Video->Frames.empty()) throw EAVIError(QString::fromUtf8(SNoVideo));
    const TRiffVideoStream& video = *Info.Video;
    const bool rle = (video.Compression == 1 && video.BitCount == 8) || (video.Compression == 2 && video.BitCount == 4);
    const bool plain = video.Compression == 0 &&
                       (video.BitCount == 1 || video.BitCount == 4 || video.BitCount == 8 || video.BitCount == 16 ||
                        video.BitCount == 24 || video.BitCount == 32);
    if (!rle && !plain) throw EAVINoDecompressor(QString::fromUtf8(SNoDecompressor));
    const TFrameGeometry g{video.Width, video.Height == INT32_MIN ? 0 : std::abs(video.Height), video.Height < 0 && plain};
    if (g.Width <= 0 || g.Height <= 0 || g.Width > MaxFrameSide || g.Height > MaxFrameSide ||
        int64_t(g.Width) * g.Height > MaxFramePixels)
        throw EAVIError(QString::fromUtf8(SDecompressFailed));

    // The frame at Percent of the stream, counted from its start.
    const int64_t count = int64_t(video.Frames.size());
    const int64_t length = video.Length > 0 ? int64_t(video.Length) : count;
    const int64_t index = std::clamp<int64_t>(length * std::clamp(Percent, 0, 100) / 100, 0, count - 1);

    const QList<QRgb> palette = FramePalette(video);
    const TBinaryReader file(Data);
    const auto frameAt = [&](int64_t i) {
        const TRiffFrameChunk& chunk = video.Frames[size_t(i)];
        return file.Sub(chunk.Offset, chunk.Size, "video frame");
    };
    QImage image(g.Width, g.Height, QImage::Format_RGB32);
    if (plain) {
        // An empty chunk repeats the frame before it.
        int64_t i = index;
        while (i > 0 && video.Frames[size_t(i)].Size == 0) --i;
        DecodeUncompressed(frameAt(i), video, g, palette, image);
        return image;
    }
    // Each RLE frame draws over the one before it: draw them all up to the one asked for. Each frame's
    // bytes are read once, so this stays linear in the size of the data.
    std::vector<uint8_t> indexes(size_t(g.Width) * size_t(g.Height), 0);
    for (int64_t i = 0; i <= index; ++i) DecodeRle(frameAt(i), video.BitCount, g, indexes);
    for (int y = 0; y < g.Height; ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(g.Height - 1 - y));
        for (int x = 0; x < g.Width; ++x) out[x] = palette[indexes[size_t(y) * size_t(g.Width) + size_t(x)]];
    }
    return image;
}
