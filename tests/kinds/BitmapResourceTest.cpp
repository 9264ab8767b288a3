#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemImage.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "platform/BinaryReader.h"
#include "platform/WineModules.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

void Put16(QByteArray& b, int at, uint16_t v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}
void Put32(QByteArray& b, int at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

// RT_BITMAP data: a header of the given size, a palette, the masks of a 40-byte bit-field header, and
// zero pixels of a width x height image.
QByteArray ResourceData(uint32_t headerSize, int width, int height, int bits, uint32_t clrUsed = 0,
                        uint32_t compression = 0)
{
    QByteArray data(headerSize, '\0');
    Put32(data, 0, headerSize);
    int colors = 0;
    if (headerSize == 12) {
        Put16(data, 4, uint16_t(width));
        Put16(data, 6, uint16_t(height));
        Put16(data, 8, 1);
        Put16(data, 10, uint16_t(bits));
        colors = bits <= 8 ? 1 << bits : 0;
        data += QByteArray(3 * colors, '\x40');
    } else {
        Put32(data, 4, uint32_t(width));
        Put32(data, 8, uint32_t(height));
        Put16(data, 12, 1);
        Put16(data, 14, uint16_t(bits));
        Put32(data, 16, compression);
        Put32(data, 32, clrUsed);
        if (headerSize >= 52 && compression == BI_BITFIELDS) {
            Put32(data, 40, bits == 16 ? 0xF800 : 0xFF0000);
            Put32(data, 44, bits == 16 ? 0x07E0 : 0xFF00);
            Put32(data, 48, bits == 16 ? 0x001F : 0xFF);
            if (headerSize >= 56) Put32(data, 52, bits == 16 ? 0 : 0xFF000000u);
        }
        if (headerSize == 40 && compression == BI_BITFIELDS) {
            QByteArray masks(12, '\0');
            Put32(masks, 0, bits == 16 ? 0xF800 : 0xFF0000);
            Put32(masks, 4, bits == 16 ? 0x07E0 : 0xFF00);
            Put32(masks, 8, bits == 16 ? 0x001F : 0xFF);
            data += masks;
        }
        colors = clrUsed ? int(clrUsed) : (bits <= 8 ? 1 << bits : 0);
        data += QByteArray(4 * colors, '\x40');
    }
    const int row = ((width * bits + 31) / 32) * 4;
    data += QByteArray(row * height, '\0');
    return data;
}

class TCollector : public IResourceMessageLogSubscriber {
public:
    void LogMessage(const IResourceMessagePtr& Msg) override { Messages << Msg->GetMessage(); }
    QStringList Messages;
};

class BitmapResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemImage_Initialize();
        koResourceItemBitmap_Initialize();
        MessageLogger()->Subscribe(Log);
    }
    void TearDown() override
    {
        MessageLogger()->Unsubscribe(Log);
        koResourceItemBitmap_Finalize();
        koResourceItemImage_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
        koResourcesMessages_Finalize();
    }
    // The bitmap file the resource data became, as the bitmap keeps it until changed.
    static QByteArray FileForm(const QByteArray& data)
    {
        TBitmap bitmap;
        TBytesStream stream(data);
        TCustomBitmapResourceItem::LoadBitmapResource(bitmap, stream, data.size());
        TMemoryStream file;
        bitmap.SaveToStream(file);
        return file.ToByteArray();
    }
    std::shared_ptr<TCollector> Log = std::make_shared<TCollector>();
};
} // namespace

TEST_F(BitmapResources, PixelOffsetComesFromHeaderMasksAndPalette)
{
    struct TCase {
        const char* what;
        QByteArray data;
        uint32_t offBits;
    } cases[] = {
        {"16x16 4-bit", ResourceData(40, 16, 16, 4), 118},
        {"1-bit", ResourceData(40, 16, 16, 1), 62},
        {"24-bit", ResourceData(40, 16, 16, 24), 54},
        {"8-bit with 20 colours used", ResourceData(40, 4, 4, 8, 20), 54 + 80},
        {"core header 8-bit", ResourceData(12, 8, 8, 8), 794},
        {"40-byte header with bit fields", ResourceData(40, 8, 8, 16, 0, BI_BITFIELDS), 66},
        {"V4 header 32-bit bit fields", ResourceData(108, 8, 8, 32, 0, BI_BITFIELDS), 122},
        {"V5 header 32-bit bit fields", ResourceData(124, 8, 8, 32, 0, BI_BITFIELDS), 138},
        {"V5 header 8-bit", ResourceData(124, 8, 8, 8), 138 + 1024},
    };
    for (const auto& c : cases) {
        const QByteArray file = FileForm(c.data);
        TBinaryReader reader(file);
        EXPECT_EQ(reader.U32(10), c.offBits) << c.what;
        EXPECT_EQ(reader.U32(2), uint32_t(c.data.size() + 14)) << c.what;
        // The resource data itself is kept byte for byte after the file header.
        EXPECT_EQ(file.mid(14), c.data) << c.what;
    }
}

TEST_F(BitmapResources, TruncatedOldHeaderIsRepairedWithOneWarning)
{
    // First WORD 4 (the bit count of a header that lost its first fields), image size 128 at offset 6.
    QByteArray data(26, '\0');
    Put16(data, 0, 4);
    Put32(data, 6, 128);
    data += QByteArray(16 * 4, '\x11') + QByteArray(128, '\x21');
    TBitmap bitmap;
    TBytesStream stream(data);
    TCustomBitmapResourceItem::LoadBitmapResource(bitmap, stream, data.size());
    EXPECT_EQ(bitmap.Width(), 16);
    EXPECT_EQ(bitmap.Height(), 16);
    EXPECT_EQ(bitmap.PixelFormat(), pf4bit);
    EXPECT_EQ(Log->Messages, QStringList{QStringLiteral("Invalid bitmap header")});
}

TEST_F(BitmapResources, DataThatIsNoBitmapIsRefused)
{
    const QByteArray shortData(20, '\0');
    QByteArray oddHeader = ResourceData(40, 4, 4, 24);
    Put32(oddHeader, 0, 20);
    for (const QByteArray& data : {shortData, oddHeader}) {
        TBitmap bitmap;
        TBytesStream stream(data);
        EXPECT_THROW(TCustomBitmapResourceItem::LoadBitmapResource(bitmap, stream, data.size()), Exception);
    }
    try {
        TBitmap bitmap;
        TBytesStream stream(oddHeader);
        TCustomBitmapResourceItem::LoadBitmapResource(bitmap, stream, oddHeader.size());
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unsupported bitmap format"));
    }
    // A preview asks any item for a bitmap: no bitmap is an answer, not an error.
    TResourceItemGeneric raw(Ord(1));
    TBytesStream bytes(QByteArray("not a bitmap at all, just text"));
    raw.LoadFromStream(bytes, bytes.Size());
    EXPECT_EQ(TCustomBitmapResourceItem::ItemToBitmap(&raw), nullptr);
}

TEST_F(BitmapResources, PixelsSurviveSaveAndLoadAtEveryDepth)
{
    for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        TBitmap source(7, 5, format);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                source.SetPixel(x, y, RGBColor(x * 36, y * 60, (x + y) * 20));
                if (format == pf32bit) source.SetPixelAlpha(x, y, 30 * x);
            }
        TBitmapResourceItem item(Ord(1));
        item.SetBitmap(source);
        TMemoryStream saved;
        item.SaveToStream(saved);
        EXPECT_EQ(saved.Size(), item.Size()) << format;
        saved.SetPosition(0);
        TBitmapResourceItem loaded(Ord(1));
        loaded.LoadFromStream(saved, saved.Size());
        ASSERT_EQ(loaded.Bitmap().PixelFormat(), format);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                EXPECT_EQ(loaded.Bitmap().Pixel(x, y), source.Pixel(x, y)) << format << " " << x << "," << y;
                if (format == pf32bit) {
                    EXPECT_EQ(loaded.Bitmap().PixelAlpha(x, y), 30 * x);
                }
            }
    }
}

TEST_F(BitmapResources, EmptyAndNewItems)
{
    TBitmapResourceItem empty(Ord(1));
    TMemoryStream nothing;
    empty.SaveToStream(nothing);
    EXPECT_EQ(nothing.Size(), 0);
    EXPECT_EQ(empty.Size(), 0);

    TBitmapResourceItem fresh(Ord(2));
    fresh.InitializeNewItem();
    EXPECT_EQ(fresh.Width(), 16);
    EXPECT_EQ(fresh.Height(), 16);
    EXPECT_EQ(fresh.ColorDepth(), 24);
    EXPECT_EQ(fresh.Bitmap().Pixel(3, 9), clWhite);
    EXPECT_THROW(fresh.SetWidth(0), Exception);
    EXPECT_EQ(fresh.Width(), 16);
}

TEST_F(BitmapResources, ColorDepthChanges)
{
    TBitmapResourceItem item(Ord(1));
    TBitmap gradient(64, 8, pf24bit);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 64; ++x) gradient.SetPixel(x, y, RGBColor(x * 4, y * 32, 255 - x * 4));
    item.SetBitmap(gradient);
    item.SetColorDepth(2); // not supported: nothing changes
    EXPECT_EQ(item.ColorDepth(), 24);
    item.SetColorDepth(8);
    EXPECT_EQ(item.ColorDepth(), 8);
    EXPECT_LE(item.Bitmap().Palette().size(), 256u);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 64; ++x) EXPECT_LT(size_t(item.Bitmap().PixelIndex(x, y)), item.Bitmap().Palette().size());
}

TEST_F(BitmapResources, KindsChosenByTypeAndData)
{
    TCustomResourceModule module;
    module.SetDeferDefaultSymbols(true);
    module.BeforeLoad();
    const QByteArray dib = ResourceData(40, 4, 4, 24);
    QByteArray file = FileForm(dib);
    TBytesStream dibStream(dib), fileStream(file);
    TCustomResourceItem* bitmap = LoadResourceItem(&module, Ord(RT_BITMAP), Ord(1), 0, dibStream, dib.size());
    TCustomResourceItem* inData = LoadResourceItem(&module, Ord(RT_RCDATA), Ord(2), 0, fileStream, file.size());
    module.AfterLoad();
    EXPECT_EQ(bitmap->ClassType(), TBitmapResourceItem::ClassInfo());
    EXPECT_EQ(inData->ClassType(), TDIBResourceItem::ClassInfo());
    TMemoryStream saved;
    inData->SaveToStream(saved);
    EXPECT_EQ(saved.ToByteArray(), file);
    EXPECT_EQ(inData->Size(), file.size());
}

// Every bitmap of wine's modules is a bitmap here, and an untouched one is written back as it was read.
TEST_F(BitmapResources, WineBitmapsLoadAndSaveBackInterop)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine64 is not installed";
    int count = 0, v4v5 = 0;
    for (const auto& [module, r] : WineResources({RT_BITMAP})) {
        ++count;
        if (r.Data.size() >= 4 && (uint8_t(r.Data[0]) == 108 || uint8_t(r.Data[0]) == 124)) ++v4v5;
        TBitmapResourceItem item(r.Name);
        TBytesStream data(r.Data);
        ASSERT_NO_THROW(item.LoadFromStream(data, r.Data.size())) << module.toStdString();
        TMemoryStream saved;
        item.SaveToStream(saved);
        EXPECT_EQ(saved.ToByteArray(), r.Data) << module.toStdString();
        EXPECT_EQ(item.Size(), r.Data.size()) << module.toStdString();
    }
    std::cout << count << " bitmaps, " << v4v5 << " with V4 or V5 headers\n";
    EXPECT_GT(count, 0);
}
