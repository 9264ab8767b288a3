#include "kinds/koResourceItemString.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

namespace {
QByteArray Utf16(const QString& text) { return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2); }
} // namespace

TEST(TextDetection, ByteTable)
{
    const TByteSet none;
    const TByteSet zero{0};
    const TByteSet breaks{9, 10, 13};
    struct Case {
        const char* what;
        QByteArray bytes;
        TByteSet extra;
        bool ascii, ansi, unicode, utf8;
    } cases[] = {
        {"empty", QByteArray(), none, false, false, false, false},
        // Six bytes read as UTF-16 are two assigned characters and a zero: text too.
        {"ascii with trailing zeros", QByteArray("abc\0\0\0", 6), none, true, true, true, true},
        {"zero inside", QByteArray("a\0b", 3), none, false, false, false, false},
        {"zero inside, zero accepted", QByteArray("a\0b", 3), zero, true, true, false, true},
        {"latin-1 e acute", QByteArray("caf\xE9 ok"), none, false, true, false, false},
        {"utf-8 with bom", QByteArray("\xEF\xBB\xBFx"), none, false, true, true, true},
        {"utf-8 without bom", QByteArray("gr\xC3\xBC\xC3\x9F" "e"), none, false, true, false, true},
        {"utf-16 bom", QByteArray("\xFF\xFE\x01\x00", 4), none, false, false, true, false},
        {"odd length after bom", QByteArray("\xFF\xFE\x41", 3), none, false, true, false, false},
        {"utf-16 with line break", Utf16("a\r\nb"), none, false, false, false, false},
        {"utf-16 with line break, breaks accepted", Utf16("a\r\nb"), breaks, false, false, true, false},
        {"binary", QByteArray("\x01\x00\x02\x00", 4), none, false, false, false, false},
    };
    for (const Case& c : cases) {
        TBytesStream stream(c.bytes);
        EXPECT_EQ(IsASCIIText(stream, c.extra), c.ascii) << c.what;
        EXPECT_EQ(IsANSIText(stream, c.extra), c.ansi) << c.what;
        EXPECT_EQ(IsUnicodeText(stream, c.extra), c.unicode) << c.what;
        EXPECT_EQ(IsUTF8Text(stream, c.extra), c.utf8) << c.what;
        EXPECT_EQ(stream.Position(), 0) << c.what;
    }
}

TEST(TextDetection, Utf8CutAtTheEndOfTheProbe)
{
    QByteArray text(1023, 'a');
    text += "\xE2\x82\xAC"; // a euro sign across the 1024th byte
    TBytesStream stream(text);
    EXPECT_TRUE(IsUTF8Text(stream));
    QByteArray cutShort("abc\xE2\x82");
    TBytesStream shortStream(cutShort);
    EXPECT_FALSE(IsUTF8Text(shortStream)) << "a sequence cut by the end of the data";
}

TEST(TextDetection, StartsAtThePositionAndRestoresIt)
{
    TBytesStream stream(QByteArray("\x01\x02hello", 7));
    stream.SetPosition(2);
    EXPECT_TRUE(IsASCIIText(stream));
    EXPECT_EQ(stream.Position(), 2);
}
