#include "kinds/koResourceItemIconCursor.h"

#include "platform/Bitmap.h"
#include "platform/Streams.h"
#include "platform/WineModules.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>
#include <iostream>
#include <gtest/gtest.h>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

TColor TestColor(int i) { return RGBColor(0x10 + i, 0x80 - i, 0xF0 - 2 * i); }

// A DIB icon image of the depth: a diagonal of colour 1 on colour 0, the left column transparent.
QByteArray IconImage(int Side, TPixelFormat Format, TIconCompression Compression = icBMP)
{
    TBitmap color(Side, Side, Format);
    if (Format <= pf8bit) {
        TColorArray palette;
        for (int i = 0; i < (Format == pf4bit ? 16 : 256); ++i) palette.push_back(TestColor(i));
        color.SetPalette(palette);
    }
    color.Fill(TestColor(0));
    for (int i = 0; i < Side; ++i) color.SetPixel(i, i, TestColor(1));
    TBitmap mask(Side, Side, pf1bit);
    mask.SetPalette({clBlack, clWhite});
    mask.Fill(clBlack);
    for (int y = 0; y < Side; ++y) mask.SetPixel(0, y, clWhite);
    if (Format == pf32bit)
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x) color.SetPixelAlpha(x, y, x == 0 ? 0 : 255);
    TBytesStream out;
    CreateIconEncoder(Compression)->Encode(out, &color, &mask);
    return out.Bytes();
}

QByteArray Prefix(uint16_t x, uint16_t y)
{
    QByteArray p(4, '\0');
    qToLittleEndian(x, p.data());
    qToLittleEndian(y, p.data() + 2);
    return p;
}

template <class T>
void Load(T& item, const QByteArray& data)
{
    TBytesStream stream(data);
    item.LoadFromStream(stream, data.size());
}

QByteArray Saved(TCustomResourceItem& item)
{
    TBytesStream out;
    item.SaveToStream(out);
    return out.Bytes();
}

class TChangeCounter : public IResourceItemNotification {
public:
    void ResourceItemNotification(TCustomResourceItem*, TResourceItemNotification n) override
    {
        if (n == rnChanged) ++Changes;
    }
    int Changes = 0;
};
} // namespace

TEST(IconCursorImages, CursorHotspotMovesBetweenPrefixAndFileEntry)
{
    const QByteArray image = IconImage(16, pf4bit);
    TCursorResourceItem cursor(Ord(1));
    Load(cursor, Prefix(5, 7) + image);
    QPoint hotspot;
    cursor.GetHotspot(hotspot);
    EXPECT_EQ(hotspot, QPoint(5, 7));

    TBytesStream file;
    cursor.SaveToFileStream(file);
    const QByteArray bytes = file.Bytes();
    ASSERT_EQ(bytes.size(), 22 + image.size());
    EXPECT_EQ(qFromLittleEndian<uint16_t>(bytes.constData() + 2), 2);
    EXPECT_EQ(qFromLittleEndian<uint16_t>(bytes.constData() + 6 + 4), 5);
    EXPECT_EQ(qFromLittleEndian<uint16_t>(bytes.constData() + 6 + 6), 7);
    EXPECT_EQ(qFromLittleEndian<uint32_t>(bytes.constData() + 6 + 8), uint32_t(image.size()));
    EXPECT_EQ(bytes.mid(22), image);

    TCursorResourceItem back(Ord(2));
    TBytesStream again(bytes);
    back.LoadFromFileStream(again);
    EXPECT_EQ(Saved(back), Prefix(5, 7) + image);
}

TEST(IconCursorImages, HotspotChangeAloneIsAChangeThatIsSaved)
{
    TCursorResourceItem cursor(Ord(1));
    const QByteArray image = IconImage(16, pf4bit);
    Load(cursor, Prefix(1, 2) + image);
    TChangeCounter counter;
    cursor.Subscribe(&counter);
    cursor.SetHotspot(QPoint(9, 3));
    EXPECT_EQ(counter.Changes, 1);
    EXPECT_EQ(Saved(cursor), Prefix(9, 3) + image);
    // The pixels were never decoded for it.
    EXPECT_EQ(cursor.DecodeCount(), 0);
    cursor.SetHotspot(QPoint(9, 3));
    EXPECT_EQ(counter.Changes, 1);
    cursor.Unsubscribe(&counter);
}

TEST(IconCursorImages, NewImagesAreTransparentFourBitSquares)
{
    TIconResourceItem icon(Ord(1));
    icon.InitializeNewItem();
    EXPECT_EQ(icon.Width(), 32);
    EXPECT_EQ(icon.Height(), 32);
    EXPECT_EQ(icon.ColorDepth(), 4);
    const QByteArray bytes = Saved(icon);
    // A 4-bit DIB of twice the height: header, 16 colours, XOR and AND rows.
    ASSERT_EQ(bytes.size(), 40 + 16 * 4 + 32 * 16 + 32 * 4);
    EXPECT_EQ(qFromLittleEndian<int32_t>(bytes.constData() + 8), 64);
    EXPECT_EQ(qFromLittleEndian<uint16_t>(bytes.constData() + 14), 4);
    EXPECT_TRUE(bytes.endsWith(QByteArray(32 * 4, '\xFF')));

    TCursorResourceItem cursor(Ord(1));
    cursor.InitializeNewItem();
    QPoint hotspot;
    cursor.GetHotspot(hotspot);
    EXPECT_EQ(hotspot, QPoint(16, 16));
    EXPECT_EQ(Saved(cursor).left(4), Prefix(16, 16));
}

TEST(IconCursorImages, ReadingTheSizeDecodesOnlyTheHeader)
{
    TIconResourceItem icon(Ord(1));
    Load(icon, IconImage(24, pf8bit));
    EXPECT_EQ(icon.Width(), 24);
    EXPECT_EQ(icon.ColorDepth(), 8);
    EXPECT_EQ(icon.DecodeInfoCount(), 1);
    EXPECT_EQ(icon.DecodeCount(), 0);
    EXPECT_FALSE(icon.HasBitmaps());
    EXPECT_EQ(icon.Description(), QStringLiteral("24x24, 256 colors"));
}

TEST(IconCursorImages, CompressionChangeTranscodesOnlyWhenItStays)
{
    const QByteArray bmp = IconImage(16, pf32bit);
    TIconResourceItem icon(Ord(1));
    Load(icon, bmp);
    icon.SetCompression(icPNG);
    EXPECT_TRUE(Saved(icon).startsWith("\x89PNG"));
    EXPECT_EQ(icon.Width(), 16);

    TIconResourceItem back(Ord(2));
    Load(back, bmp);
    back.SetCompression(icPNG);
    back.SetCompression(icBMP);
    EXPECT_EQ(Saved(back), bmp);
    EXPECT_EQ(back.DecodeCount(), 0);

    // PNG bytes decoded and written again as a DIB keep size and depth.
    TIconResourceItem png(Ord(3));
    Load(png, IconImage(16, pf32bit, icPNG));
    EXPECT_EQ(png.Compression(), icPNG);
    png.SetCompression(icBMP);
    const QByteArray dib = Saved(png);
    EXPECT_EQ(qFromLittleEndian<uint32_t>(dib.constData()), 40u);
    EXPECT_EQ(png.ColorDepth(), 32);
}

TEST(IconCursorImages, GroupEntriesAsCompilersWriteThem)
{
    struct Case {
        int Side;
        TPixelFormat Format;
        uint8_t WidthByte, ColorCount;
        uint16_t BitCount;
    };
    for (const Case& c : {Case{32, pf4bit, 32, 16, 4}, Case{48, pf8bit, 48, 0, 8}, Case{256, pf32bit, 0, 0, 32},
                          Case{16, pf24bit, 16, 0, 24}}) {
        TIconResourceItem icon(Ord(7));
        Load(icon, IconImage(c.Side, c.Format));
        TResourceDirectory entry;
        icon.GetResourceDirectory(entry);
        EXPECT_EQ(entry.IconWidth(), c.WidthByte) << c.Side;
        EXPECT_EQ(entry.IconHeight(), c.WidthByte) << c.Side;
        EXPECT_EQ(entry.IconColorCount(), c.ColorCount) << c.Side;
        EXPECT_EQ(entry.IconPlanes(), 1) << c.Side;
        EXPECT_EQ(entry.IconBitCount(), c.BitCount) << c.Side;
        EXPECT_EQ(entry.BytesInRes, uint32_t(icon.Size())) << c.Side;
        EXPECT_EQ(entry.NameOrdinal, 7) << c.Side;
    }
}

TEST(IconCursorImages, CursorGroupEntryKeepsTheHeightAsItWasWritten)
{
    for (uint16_t storedHeight : {32, 64}) {
        TCursorResourceItem cursor(Ord(3));
        Load(cursor, Prefix(1, 1) + IconImage(32, pf4bit));
        TResourceDirectory stored;
        stored.SetCursorWidth(32);
        stored.SetCursorHeight(storedHeight);
        stored.SetCursorHotspotX(1);
        stored.SetCursorHotspotY(4);
        cursor.SetResourceDirectory(stored);
        TResourceDirectory entry;
        cursor.GetResourceDirectory(entry);
        EXPECT_EQ(entry.CursorWidth(), 32);
        EXPECT_EQ(entry.CursorHeight(), storedHeight);
        EXPECT_EQ(entry.CursorHotspotX(), 1);
        EXPECT_EQ(entry.CursorHotspotY(), 4);
        EXPECT_EQ(entry.BytesInRes, uint32_t(4 + IconImage(32, pf4bit).size()));
    }
}

TEST(IconCursorImages, BadInputIsRefused)
{
    TIconResourceItem icon(Ord(1));
    const QByteArray image = IconImage(16, pf4bit);
    TBytesStream shortData(image.left(10));
    EXPECT_THROW(icon.LoadFromStream(shortData, 40), EReadError);

    TCursorResourceItem cursor(Ord(1));
    Load(cursor, QByteArray("\1\0", 2));
    EXPECT_THROW(cursor.Width(), Exception);

    // An icon image cannot come from a cursor file.
    TCursorResourceItem source(Ord(1));
    Load(source, Prefix(2, 2) + image);
    TBytesStream curFile;
    source.SaveToFileStream(curFile);
    curFile.SetPosition(0);
    EXPECT_THROW(icon.LoadFromFileStream(curFile), EInvalidGraphic);

    try {
        icon.ValidateID(TResourceIdent(QStringLiteral("NAMED")));
        FAIL() << "a named icon image was accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Icon must have ordinal (numeric) name"));
    }
}

TEST(IconCursorImages, InteropWineImagesReadTheSameFromHeaderAndPixels)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine64 modules not installed";
    int images = 0, refused = 0;
    for (const TWineResource& r : WineResources({RT_ICON, RT_CURSOR})) {
        const bool isIcon = r.Resource.Type[1].unicode() == RT_ICON;
        std::unique_ptr<TCustomIconCursorResourceItem> item;
        if (isIcon)
            item = std::make_unique<TIconResourceItem>(Ord(1));
        else
            item = std::make_unique<TCursorResourceItem>(Ord(1));
        Load(*item, r.Resource.Data);
        const QString where = r.Module + QLatin1Char(' ') + QString::number(r.Resource.Name[1].unicode());
        const int width = item->Width(), height = item->Height(), depth = item->ColorDepth();
        const TIconCompression compression = item->Compression();
        // Written in the other encoding the pixels are decoded: the header told the truth.
        item->SetCompression(compression == icBMP ? icPNG : icBMP);
        try {
            EXPECT_FALSE(item->ResourceData().isEmpty()) << where.toStdString();
        } catch (const EInvalidGraphic&) {
            // A full palette has no colour left for PNG transparency: refused, and nothing changed.
            ++refused;
        }
        EXPECT_EQ(item->DecodeCount(), 1) << where.toStdString();
        EXPECT_EQ(item->Width(), width) << where.toStdString();
        EXPECT_EQ(item->Height(), height) << where.toStdString();
        EXPECT_EQ(item->ColorDepth(), depth) << where.toStdString();
        // And back: the original encoding of the same pixels is the data as read.
        item->SetCompression(compression);
        if (compression == icBMP) {
            EXPECT_EQ(item->ResourceData(), r.Resource.Data) << where.toStdString();
        }
        ++images;
    }
    EXPECT_GT(images, 1000);
    std::cout << images << " images, " << refused << " refused as PNG\n";
}

TEST(IconCursorImages, GreyPngImagesShowAsThirtyTwoBitsAndStayAsRead)
{
    QImage grey(20, 10, QImage::Format_Grayscale8);
    grey.fill(0x80);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(grey.save(&buffer, "PNG"));
    ASSERT_EQ(png[25], '\0'); // colour type grey

    TIconResourceItem icon(Ord(1));
    Load(icon, png);
    EXPECT_EQ(icon.Width(), 20);
    EXPECT_EQ(icon.Height(), 10);
    EXPECT_EQ(icon.ColorDepth(), 32);
    TResourceDirectory entry;
    icon.GetResourceDirectory(entry);
    EXPECT_EQ(entry.IconBitCount(), 32);
    EXPECT_EQ(Saved(icon), png);
}

// An unchanged image keeps the entry it was bound with (what Windows picked by stays); a changed one, or
// an entry that old tools left without planes, gets the entry of its pixels.
TEST(IconCursorImages, GroupEntryStaysAsReadUntilTheImageChanges)
{
    TIconResourceItem icon(Ord(4));
    Load(icon, IconImage(32, pf8bit));
    TResourceDirectory stored;
    stored.SetIconWidth(32);
    stored.SetIconHeight(32);
    stored.SetIconPlanes(1);
    stored.SetIconBitCount(32); // what a compiler copied from its file
    icon.SetResourceDirectory(stored);
    TResourceDirectory entry;
    icon.GetResourceDirectory(entry);
    EXPECT_EQ(entry.ResInfo, stored.ResInfo);
    EXPECT_EQ(entry.BytesInRes, uint32_t(icon.Size()));

    icon.SetColorDepth(4);
    icon.GetResourceDirectory(entry);
    EXPECT_EQ(entry.IconColorCount(), 16);
    EXPECT_EQ(entry.IconPlanes(), 1);
    EXPECT_EQ(entry.IconBitCount(), 4);

    TIconResourceItem old(Ord(5));
    Load(old, IconImage(16, pf4bit));
    old.SetResourceDirectory(TResourceDirectory{}); // planes and bit count 0
    old.GetResourceDirectory(entry);
    EXPECT_EQ(entry.IconWidth(), 16);
    EXPECT_EQ(entry.IconPlanes(), 1);
    EXPECT_EQ(entry.IconBitCount(), 4);
}
