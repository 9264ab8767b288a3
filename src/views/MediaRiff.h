// Our own reader of RIFF media files (AVI video, WAVE audio): what the media preview needs for its
// caption, picture size and length without asking the player, and a still frame of uncompressed and
// RLE video. Every read goes through TBinaryReader; damaged data raises ERiffError with a message.
#pragma once

#include "platform/Exceptions.h"

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <optional>
#include <vector>

ATELIER_EXCEPTION_CLASS(ERiffError, EReadError)
// The still frame of a video cannot be made (no decoder for its codec, or a frame that does not decode).
ATELIER_EXCEPTION_CLASS(EAVIError, Exception)
// No decoder here for the video's codec (the player may still play it).
ATELIER_EXCEPTION_CLASS(EAVINoDecompressor, EAVIError)

enum class TRiffMediaKind { Other, Video, Audio };

// One chunk of the first video stream, in stream order: where its bytes lie in the file.
struct TRiffFrameChunk {
    int64_t Offset = 0;
    int64_t Size = 0;
};

struct TRiffVideoStream {
    uint32_t Handler = 0; // strh fccHandler
    uint32_t Scale = 0;
    uint32_t Rate = 0;
    uint32_t Start = 0;
    uint32_t Length = 0;
    // strf: the BITMAPINFOHEADER and whatever follows it (the palette).
    int32_t Width = 0;
    int32_t Height = 0;
    uint16_t BitCount = 0;
    uint32_t Compression = 0;
    uint32_t ColorsUsed = 0;
    QByteArray Format;
    // The stream's number, which names its chunks ("00dc", "01db"...).
    int Number = 0;
    std::vector<TRiffFrameChunk> Frames;
};

struct TRiffMediaInfo {
    QByteArray Form; // the four characters after the size: "AVI ", "WAVE"...
    TRiffMediaKind Kind = TRiffMediaKind::Other;
    // Video (avih).
    uint32_t MicroSecPerFrame = 0;
    uint32_t TotalFrames = 0;
    int Width = 0;
    int Height = 0;
    std::optional<TRiffVideoStream> Video;
    bool HasAudioStream = false;
    // Audio (fmt and data).
    uint16_t FormatTag = 0;
    uint16_t Channels = 0;
    uint32_t SamplesPerSec = 0;
    uint32_t AvgBytesPerSec = 0;
    uint16_t BlockAlign = 0;
    uint16_t BitsPerSample = 0;
    uint32_t DataSize = 0;
    // Playing time in milliseconds; 0 when the headers do not tell.
    int64_t DurationMs = 0;
};

// Reads the RIFF header and the chunks the preview needs. Raises ERiffError for data that is no RIFF
// file or whose chunks run past the data or nest too deep. Linear in the size of the data.
TRiffMediaInfo ReadRiffMedia(const QByteArray& Data);

// The frame of the first video stream at Percent of its length, decoded from uncompressed (1, 4, 8,
// 16, 24, 32 bits) or RLE4/RLE8 data. Raises EAVIError "AVI File error: ..." when there is no video,
// no decoder for its codec, or the frame does not decode.
QImage AviStillFrame(const QByteArray& Data, const TRiffMediaInfo& Info, int Percent);
