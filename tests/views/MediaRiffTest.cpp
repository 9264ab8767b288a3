#include "MediaFixtures.h"
#include "platform/PEImage.h"
#include "platform/WineModules.h"
#include "views/MediaRiff.h"

#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

namespace {
const QRgb Red = qRgb(0xE0, 0x10, 0x20);
const QRgb Green = qRgb(0x10, 0xC0, 0x30);
const QRgb Blue = qRgb(0x20, 0x30, 0xF0);

QImage StillOf(const QByteArray& Avi) { return AviStillFrame(Avi, ReadRiffMedia(Avi), 50); }

// One row of an image as colour letters: R, G, B, K (black), ? (else).
std::string Row(const QImage& Image, int Y)
{
    std::string out;
    for (int x = 0; x < Image.width(); ++x) {
        const QRgb c = Image.pixel(x, Y) | 0xFF000000;
        out += c == (Red | 0xFF000000) ? 'R' : c == (Green | 0xFF000000) ? 'G' : c == (Blue | 0xFF000000) ? 'B' : c == qRgb(0, 0, 0) ? 'K' : '?';
    }
    return out;
}

QByteArray Bytes(std::initializer_list<int> Values)
{
    QByteArray out;
    for (int v : Values) out.append(char(v));
    return out;
}
} // namespace

TEST(MediaRiff, ReadsVideoAndAudioHeaders)
{
    TAviFixture avi;
    avi.Width = 4, avi.Height = 2;
    avi.Frames = {QByteArray(24, 0), QByteArray(24, 0), QByteArray(24, 0)};
    const TRiffMediaInfo video = ReadRiffMedia(AviFile(avi));
    EXPECT_EQ(video.Kind, TRiffMediaKind::Video);
    EXPECT_EQ(video.Width, 4);
    EXPECT_EQ(video.Height, 2);
    ASSERT_TRUE(video.Video);
    EXPECT_EQ(video.Video->Frames.size(), 3u);
    EXPECT_EQ(video.DurationMs, 300); // 3 frames at 10 a second

    const TRiffMediaInfo audio = ReadRiffMedia(WaveFile(22050, 2, 16, 88200));
    EXPECT_EQ(audio.Kind, TRiffMediaKind::Audio);
    EXPECT_EQ(audio.Channels, 2);
    EXPECT_EQ(audio.SamplesPerSec, 22050u);
    EXPECT_EQ(audio.BitsPerSample, 16);
    EXPECT_EQ(audio.DataSize, 88200u);
    EXPECT_EQ(audio.DurationMs, 1000);

    // Another RIFF form is read as far as its header.
    const TRiffMediaInfo other = ReadRiffMedia(MediaChunk("RIFF", QByteArray("RMID", 4) + MediaChunk("data", "xy")));
    EXPECT_EQ(other.Kind, TRiffMediaKind::Other);
    EXPECT_EQ(other.Form, QByteArray("RMID"));
}

TEST(MediaRiff, UncompressedFramesDecodeInEveryDepth)
{
    struct TCase {
        const char* Name;
        int Bits;
        int Height;
        QList<QRgb> Palette;
        QByteArray Frame; // rows as stored, each padded to 4 bytes
        std::string Top, Bottom;
    };
    const QList<QRgb> palette{Red, Green, Blue, 0};
    const TCase cases[] = {
        // Bottom-up: the first stored row is the bottom one.
        {"24 bits", 24, 2, {}, Bytes({0x20, 0x10, 0xE0, 0x30, 0xC0, 0x10, 0, 0, 0xF0, 0x30, 0x20, 0, 0, 0, 0, 0}), "BK", "RG"},
        {"24 bits top-down", 24, -2, {}, Bytes({0x20, 0x10, 0xE0, 0x30, 0xC0, 0x10, 0, 0, 0xF0, 0x30, 0x20, 0, 0, 0, 0, 0}), "RG", "BK"},
        {"32 bits", 32, 1, {}, Bytes({0xF0, 0x30, 0x20, 0, 0x20, 0x10, 0xE0, 0}), "BR", "BR"},
        {"8 bits", 8, 2, palette, Bytes({0, 1, 0, 0, 2, 3, 0, 0}), "BK", "RG"},
        {"4 bits", 4, 1, palette, Bytes({0x21, 0, 0, 0}), "BG", "BG"},
        {"1 bit", 1, 1, {Red, Blue}, Bytes({0x40, 0, 0, 0}), "RB", "RB"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TAviFixture avi;
        avi.Width = 2, avi.Height = c.Height, avi.Bits = c.Bits, avi.Palette = c.Palette;
        avi.Frames = {c.Frame};
        const QImage image = StillOf(AviFile(avi));
        ASSERT_EQ(image.size(), QSize(2, std::abs(c.Height)));
        EXPECT_EQ(Row(image, 0), c.Top);
        EXPECT_EQ(Row(image, image.height() - 1), c.Bottom);
    }
    // 16 bits are 5-5-5: 0x7C00 is full red.
    TAviFixture avi;
    avi.Width = 1, avi.Height = 1, avi.Bits = 16;
    avi.Frames = {Bytes({0x00, 0x7C, 0, 0})};
    EXPECT_EQ(StillOf(AviFile(avi)).pixel(0, 0), qRgb(0xF8, 0, 0));
}

TEST(MediaRiff, StillFrameIsTheOneHalfwayAndEmptyChunksRepeat)
{
    TAviFixture avi;
    avi.Width = 1, avi.Height = 1, avi.Bits = 8, avi.Palette = {Red, Green, Blue};
    // Frame 2 of 4 is empty: it repeats frame 1.
    avi.Frames = {Bytes({0, 0, 0, 0}), Bytes({1, 0, 0, 0}), QByteArray(), Bytes({2, 0, 0, 0})};
    const QByteArray data = AviFile(avi);
    const TRiffMediaInfo info = ReadRiffMedia(data);
    EXPECT_EQ(Row(AviStillFrame(data, info, 0), 0), "R");
    EXPECT_EQ(Row(AviStillFrame(data, info, 50), 0), "G");
    EXPECT_EQ(Row(AviStillFrame(data, info, 100), 0), "B");
}

TEST(MediaRiff, RleFramesDrawOverThePreviousFrame)
{
    // RLE8, 4 x 2: a key frame fills everything with red; the next frame skips to (2, 1) and paints
    // two green pixels, leaving the rest; the frame at 50 % of 3 is that one.
    TAviFixture rle8;
    rle8.Width = 4, rle8.Height = 2, rle8.Bits = 8, rle8.Compression = 1, rle8.Palette = {Red, Green, Blue};
    rle8.Frames = {Bytes({4, 0, 0, 0, 4, 0, 0, 1}), Bytes({0, 2, 2, 1, 2, 1, 0, 1}), Bytes({0, 3, 1, 2, 0, 1})};
    const QImage image8 = StillOf(AviFile(rle8));
    EXPECT_EQ(Row(image8, 0), "RRGG"); // the top row is the second one stored
    EXPECT_EQ(Row(image8, 1), "RRRR");

    // RLE4: a run alternates its two nibbles; an absolute run of 3 takes two bytes plus padding to a word.
    TAviFixture rle4;
    rle4.Width = 5, rle4.Height = 1, rle4.Bits = 4, rle4.Compression = 2, rle4.Palette = {Red, Green, Blue};
    rle4.Frames = {Bytes({2, 0x01, 0, 3, 0x21, 0x00, 0, 1})};
    EXPECT_EQ(Row(StillOf(AviFile(rle4)), 0), "RGBGR");
}

TEST(MediaRiff, DamagedDataRaisesAClearError)
{
    TAviFixture good;
    good.Width = 2, good.Height = 1, good.Bits = 8, good.Palette = {Red, Green};
    good.Frames = {Bytes({0, 1, 0, 0})};
    const QByteArray avi = AviFile(good);

    // Headers: each raises ERiffError, whatever the cut.
    QByteArray chunkPastEnd = avi;
    chunkPastEnd[18] = char(0x7F); // the hdrl list claims more than the file holds
    QByteArray shortAvih = MediaChunk("RIFF", QByteArray("AVI ", 4) + MediaList("hdrl", MediaChunk("avih", QByteArray(12, 0))));
    const QByteArray headerCases[] = {QByteArray("RIFF"), QByteArray("RIFX\x10\0\0\0AVI LIST", 16), chunkPastEnd, shortAvih};
    for (const QByteArray& data : headerCases) EXPECT_THROW(ReadRiffMedia(data), ERiffError) << data.toHex().toStdString();

    // Every truncation of a good file either reads or raises ERiffError; none reads outside the data.
    for (int size = 0; size < avi.size(); ++size) {
        const QByteArray cut = avi.left(size);
        try {
            const TRiffMediaInfo info = ReadRiffMedia(cut);
            try {
                AviStillFrame(cut, info, 50);
            } catch (const EAVIError&) {
            }
        } catch (const EReadError&) {
        }
    }

    // Frames: EAVIError with the message the view shows.
    struct TFrameCase {
        const char* Name;
        TAviFixture Avi;
        const char* Message;
    };
    TAviFixture shortFrame = good;
    shortFrame.Frames = {Bytes({0, 1})};
    TAviFixture noPalette = good;
    noPalette.Palette.clear();
    TAviFixture rleRunPastEnd = good;
    rleRunPastEnd.Compression = 1;
    rleRunPastEnd.Frames = {Bytes({0, 9, 1, 1})};
    TAviFixture huge = good;
    huge.Width = 100000, huge.Height = 100000;
    TAviFixture codec = good;
    codec.Compression = 0x34504D46; // FMP4
    TAviFixture noFrames = good;
    noFrames.Frames.clear();
    const TFrameCase frameCases[] = {
        {"frame shorter than its rows", shortFrame, "AVI File error: Failed to decompress requested video frame"},
        {"palette missing", noPalette, "AVI File error: Failed to decompress requested video frame"},
        {"RLE run past the frame", rleRunPastEnd, "AVI File error: Failed to decompress requested video frame"},
        {"picture too large", huge, "AVI File error: Failed to decompress requested video frame"},
        {"no frames", noFrames, "AVI File error: The file holds no video frames"},
        {"codec", codec, "AVI File error: The system cannot find a suitable decompressor"},
    };
    for (const TFrameCase& c : frameCases) {
        SCOPED_TRACE(c.Name);
        try {
            StillOf(AviFile(c.Avi));
            ADD_FAILURE() << "no error";
        } catch (const EAVIError& e) {
            EXPECT_EQ(e.Message(), QString::fromUtf8(c.Message));
        }
    }
}

TEST(MediaRiff, WineShell32VideosInterop)
{
    const QString path = WineModulesFolder() + QStringLiteral("/shell32.dll");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) GTEST_SKIP() << "wine64 is not installed";
    const QList<TPEResource> resources = TPEImage(file.readAll()).Resources();
    int videos = 0;
    for (const TPEResource& r : resources) {
        if (r.Type != QStringLiteral("AVI")) continue;
        SCOPED_TRACE(r.Name.toStdString());
        ++videos;
        const TRiffMediaInfo info = ReadRiffMedia(r.Data);
        EXPECT_EQ(info.Kind, TRiffMediaKind::Video);
        EXPECT_GT(info.Width, 0);
        const QImage still = AviStillFrame(r.Data, info, 50);
        EXPECT_EQ(still.size(), QSize(info.Width, info.Height));
        // A real picture, not one flat colour.
        QSet<QRgb> colours;
        for (int y = 0; y < still.height(); ++y)
            for (int x = 0; x < still.width(); ++x) colours.insert(still.pixel(x, y));
        EXPECT_GT(colours.size(), 1);
    }
    EXPECT_GT(videos, 0);
}
