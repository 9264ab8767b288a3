// RIFF media as the media view reads it: the headers, then the still frame of a video. Bad bytes may
// only be refused with an error; a still frame always has the size the stream's format gives.
#include "FuzzCommon.h"

#include "views/MediaRiff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeGui();
    const QByteArray bytes = FuzzBytes(data, size);
    FuzzRun([&] {
        const TRiffMediaInfo info = ReadRiffMedia(bytes);
        if (!info.Video) return;
        for (const TRiffFrameChunk& frame : info.Video->Frames)
            if (frame.Offset < 0 || frame.Size < 0 || frame.Offset + frame.Size > int64_t(size))
                FuzzFinding(QStringLiteral("a video frame lies outside the data"));
        const QImage still = AviStillFrame(bytes, info, 50);
        if (still.width() != info.Video->Width || still.height() != std::abs(info.Video->Height))
            FuzzFinding(QStringLiteral("the still frame has another size than its format"));
    });
    return 0;
}
