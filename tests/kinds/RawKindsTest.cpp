#include "kinds/koResourceItemFont.h"
#include "kinds/koResourceItemHTML.h"
#include "kinds/koResourceItemManifest.h"
#include "kinds/koResourceItemPE.h"
#include "kinds/koResourceItemRcData.h"
#include "kinds/koResourceItemToolbar.h"
#include "kinds/koResourceItemTypelib.h"
#include "model/koResourcesKinds.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

void InitializeKinds()
{
    koResourcesKinds_Initialize();
    koResourceItemRcData_Initialize();
    koResourceItemManifest_Initialize();
    koResourceItemHTML_Initialize();
    koResourceItemFont_Initialize();
    koResourceItemTypelib_Initialize();
    koResourceItemPE_Initialize();
    koResourceItemToolbar_Initialize();
}

void FinalizeKinds()
{
    koResourceItemToolbar_Finalize();
    koResourceItemPE_Finalize();
    koResourceItemTypelib_Finalize();
    koResourceItemFont_Finalize();
    koResourceItemHTML_Finalize();
    koResourceItemManifest_Finalize();
    koResourceItemRcData_Finalize();
    koResourcesKinds_Finalize();
}

class RawKinds : public ::testing::Test {
protected:
    void SetUp() override { InitializeKinds(); }
    void TearDown() override { FinalizeKinds(); }
};

QByteArray Load(TCustomResourceItem& item, const QByteArray& bytes)
{
    TBytesStream in(bytes);
    item.LoadFromStream(in, in.Size());
    TMemoryStream out;
    item.SaveToStream(out);
    return out.ToByteArray();
}

// A DOS header whose field at 0x3C points at Offset, followed by Signature there.
QByteArray DosModule(uint32_t offset, const QByteArray& signature)
{
    QByteArray bytes("MZ");
    bytes.resize(0x40, '\0');
    for (int i = 0; i < 4; ++i) bytes[0x3C + i] = char((offset >> (8 * i)) & 0xFF);
    if (!signature.isEmpty()) {
        if (bytes.size() < qsizetype(offset)) bytes.resize(offset, '\0');
        bytes.append(signature);
    }
    return bytes;
}

const QString DejaVuSans = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");

// Big-endian helpers for hand-made fonts.
void BE16(QByteArray& b, uint16_t v) { b.append(char(v >> 8)).append(char(v & 0xFF)); }
void BE32(QByteArray& b, uint32_t v) { BE16(b, uint16_t(v >> 16)); BE16(b, uint16_t(v)); }

// A font with one 'name' table holding the family name "Ab" (Windows, UTF-16BE).
QByteArray SmallFont(uint32_t version = 0x00010000)
{
    QByteArray name;
    BE16(name, 0);  // format
    BE16(name, 1);  // count
    BE16(name, 18); // string offset
    for (uint16_t v : {3, 1, 0x0409, 1, 4, 0}) BE16(name, v);
    BE16(name, 'A');
    BE16(name, 'b');
    QByteArray font;
    BE32(font, version);
    BE16(font, 1);
    BE16(font, 16);
    BE16(font, 0);
    BE16(font, 0);
    font.append("name");
    BE32(font, 0);
    BE32(font, 28);
    BE32(font, uint32_t(name.size()));
    return font + name;
}
} // namespace

TEST_F(RawKinds, ResourcesFindTheirKinds)
{
    struct {
        TResourceIdent type;
        QByteArray data;
        TResourceItemClass kind;
    } cases[] = {
        {Ord(RT_RCDATA), "hello", TRcDataResourceItem::ClassInfo()},
        {Ord(RT_RCDATA), DosModule(0x40, QByteArray("PE\0\0", 4)), TPEResourceItem::ClassInfo()},
        {TResourceIdent(QStringLiteral("CUSTOM")), "MZ", TPEResourceItem::ClassInfo()},
        {Ord(RT_MANIFEST), "<?xml", TManifestResourceItem::ClassInfo()},
        {Ord(RT_HTML), "", THTMLResourceItem::ClassInfo()},
        {Ord(RT_FONT), "anything", TFontResourceItem::ClassInfo()},
        {TResourceIdent(QStringLiteral("TYPELIB")), "MSFT\x02\x00", TTypeLibResourceItem::ClassInfo()},
        {TResourceIdent(QStringLiteral("TYPELIB")), "SLTG", TResourceItemGeneric::ClassInfo()},
        {TResourceIdent(QStringLiteral("OTHER")), "MSFT", TResourceItemGeneric::ClassInfo()},
        {Ord(RT_TOOLBAR), "", TToolbarResourceItem::ClassInfo()},
    };
    for (const auto& c : cases) {
        TBytesStream data(c.data);
        TResourceItemClass kind = ResourceItemDatabase()->Find(c.type, Ord(1), &data);
        EXPECT_EQ(kind, c.kind) << ResourceIdentToString(c.type).toStdString() << " " << c.data.toStdString() << ": "
                                << (kind ? kind->ClassName().toStdString() : "none");
        EXPECT_EQ(data.Position(), 0);
    }
}

TEST_F(RawKinds, ImportedFilesFindTheirKinds)
{
    const QByteArray manifest = "<?xml version=\"1.0\"?>\r\n<assembly xmlns=\"urn:x\"/>";
    struct {
        const char* file;
        QByteArray data;
        TResourceItemClass kind;
    } cases[] = {
        {"app.manifest", manifest, TManifestResourceItem::ClassInfo()},
        {"app.xml", manifest, TManifestResourceItem::ClassInfo()},
        {"bom.manifest", "\xEF\xBB\xBF" + manifest, TRcDataResourceItem::ClassInfo()},
        {"accent.manifest", manifest + "<!-- caf\xC3\xA9 -->", TRcDataResourceItem::ClassInfo()},
        {"late.manifest", "<?xml version=\"1.0\"?>" + QByteArray(80, ' ') + "<assembly/>", TRcDataResourceItem::ClassInfo()},
        {"page.html", "<!DOCTYPE html>\n<HTML><body/>", THTMLResourceItem::ClassInfo()},
        {"mail.mht", "MIME-Version: 1.0\r\ncontent-type: TEXT/HTML\r\n", THTMLResourceItem::ClassInfo()},
        {"face.ttf", SmallFont(), TFontResourceItem::ClassInfo()},
        {"face.otf", SmallFont(0x4F54544F), TFontResourceItem::ClassInfo()},
        {"old.fnt", QByteArray("\x00\x03\x10\x00", 4), TRcDataResourceItem::ClassInfo()},
        {"lib.TLB", "MSFT\x02\x00\x01\x00", TTypeLibResourceItem::ClassInfo()},
        {"lib.bin", "MSFT\x02\x00\x01\x00", TRcDataResourceItem::ClassInfo()},
        {"tool.exe", DosModule(0x40, QByteArray("PE\0\0", 4)), TPEResourceItem::ClassInfo()},
        {"notes.txt", "plain", TRcDataResourceItem::ClassInfo()},
    };
    for (const auto& c : cases) {
        TBytesStream data(c.data);
        TResourceItemClass kind = ResourceItemDatabase()->FindFileFormat(QString::fromLatin1(c.file), &data);
        EXPECT_EQ(kind, c.kind) << c.file << ": " << (kind ? kind->ClassName().toStdString() : "none");
        EXPECT_EQ(data.Position(), 0) << c.file;
    }
}

TEST_F(RawKinds, PicturesCanBeImportedAsRawData)
{
    const auto types = TRcDataResourceItem::ClassInfo()->GetFileTypes(fcLoad);
    for (const char* ext : {"png", "bmp", "jpg"}) {
        const auto type = types->Find(QString::fromLatin1(ext));
        ASSERT_NE(type, nullptr) << ext;
        EXPECT_FALSE(type->GetDescription().contains('(')) << ext;
    }
}

TEST_F(RawKinds, RawDataSizeAndType)
{
    TRcDataResourceItem item(Ord(1));
    item.InitializeNewItem();
    EXPECT_EQ(item.ResourceType(), Ord(RT_RCDATA));
    EXPECT_EQ(item.Size(), 0);
    EXPECT_EQ(Load(item, "abcdef"), QByteArray("abcdef"));
    item.SetSize(3);
    TMemoryStream out;
    item.SaveToStream(out);
    EXPECT_EQ(out.ToByteArray(), QByteArray("abc"));
    item.SetSize(5);
    EXPECT_EQ(item.Data()->ToByteArray(), QByteArray("abc\0\0", 5));

    item.SetItemType(QStringLiteral("MyData"));
    EXPECT_EQ(item.ResourceType(), TResourceIdent(QStringLiteral("MYDATA")));
    item.SetItemType(QStringLiteral("rcData"));
    EXPECT_EQ(item.ResourceType(), Ord(RT_RCDATA));
    item.SetItemType(QStringLiteral("HTML"));
    EXPECT_EQ(item.ResourceType(), Ord(RT_HTML));
}

TEST_F(RawKinds, RawDataSameSizeChangesNothing)
{
    TRcDataResourceItem item(Ord(1));
    Load(item, "abc");
    item.SetModified(false);
    int changes = 0;
    struct TCounter : IResourceItemNotification {
        int* count;
        void ResourceItemNotification(TCustomResourceItem*, TResourceItemNotification n) override
        {
            if (n == rnChanged) ++*count;
        }
    } counter;
    counter.count = &changes;
    item.Subscribe(&counter);
    item.SetSize(3);
    EXPECT_EQ(changes, 0);
    item.SetSize(2);
    EXPECT_EQ(changes, 1);
    item.Unsubscribe(&counter);
}

TEST_F(RawKinds, ManifestStopsAtTheFirstZero)
{
    TManifestResourceItem item(Ord(1));
    EXPECT_EQ(Load(item, QByteArray("<?xml?><assembly/>\0\0\0", 21)), QByteArray("<?xml?><assembly/>"));
    EXPECT_EQ(item.Size(), 18);
    EXPECT_EQ(Load(item, QByteArray("ab\0cd", 5)), QByteArray("ab"));
    EXPECT_EQ(Load(item, QByteArray()), QByteArray());
}

TEST_F(RawKinds, NewManifestAndHTMLDocuments)
{
    TManifestResourceItem manifest(Ord(1));
    manifest.InitializeNewItem();
    const QByteArray text = manifest.Data();
    EXPECT_FALSE(text.contains('\n'));
    const QList<QByteArray> lines = text.split('\r');
    ASSERT_EQ(lines.size(), 30);
    EXPECT_EQ(lines[0], QByteArray(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes" ?>)"));
    EXPECT_EQ(lines[1], QByteArray());
    EXPECT_EQ(lines[2], QByteArray(R"(<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">)"));
    EXPECT_EQ(lines[24], QByteArray(R"(          level="asInvoker")"));
    EXPECT_EQ(lines[29], QByteArray("</assembly>"));
    // What we make is a manifest we would import.
    TBytesStream data(text);
    EXPECT_TRUE(TManifestResourceItem::HandlesFile(QStringLiteral("a.manifest"), &data));

    THTMLResourceItem html(Ord(1));
    html.InitializeNewItem();
    const QByteArray page = html.Data()->ToByteArray();
    EXPECT_EQ(page.size(), 118);
    EXPECT_TRUE(page.startsWith("<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r<html>"));
    EXPECT_TRUE(page.endsWith("</body></html>"));
}

TEST_F(RawKinds, HTMLTextLooksOnlyBeforeTheFirstZeroAndWithinCount)
{
    struct {
        QByteArray data;
        int count;
        bool html;
    } cases[] = {
        {"xx<HtMl>", 1024, true},
        {"Content-Type: text/html", 1024, true},
        {QByteArray("xx\0<html>", 9), 1024, false},
        {QByteArray(2000, ' ') + "<html>", 1024, false},
        {"<htm", 1024, false},
        {"<html>", 3, false},
    };
    for (const auto& c : cases) {
        TBytesStream s(QByteArray("pre") + c.data);
        s.SetPosition(3);
        EXPECT_EQ(IsHTMLText(s, c.count), c.html) << c.data.left(40).toStdString();
        EXPECT_EQ(s.Position(), 3);
    }
}

TEST_F(RawKinds, ModuleKindsFollowTheNewHeader)
{
    struct {
        const char* name;
        QByteArray data;
        const char* kind;
    } cases[] = {
        {"PE", DosModule(0x80, QByteArray("PE\0\0", 4)), "PE (Win32) module"},
        {"NE", DosModule(0x40, "NE"), "NE (Win16) module"},
        {"LE", DosModule(0x40, "LE"), "LE (VxD) module"},
        {"PE without zeros", DosModule(0x40, "PEx"), "MZ (DOS) module"},
        {"DOS program", DosModule(0, {}), "MZ (DOS) module"},
        {"header past the data", DosModule(0xFFFFFFF0u, {}), "MZ (DOS) module"},
        {"no room for the offset", "MZ\x90\x00", "MZ (DOS) module"},
    };
    for (const auto& c : cases) {
        TPEResourceItem item(Ord(1));
        EXPECT_EQ(Load(item, c.data), c.data) << c.name;
        EXPECT_EQ(item.KindText(), QString::fromLatin1(c.kind)) << c.name;
        item.Clear();
        EXPECT_EQ(item.Kind(), pmkPE) << c.name;
    }
    TPEResourceItem item(Ord(1));
    try {
        Load(item, "ZM not a module");
        ADD_FAILURE() << "loaded";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unsupported module type"));
    }
}

TEST_F(RawKinds, FontInformationOfARealFont)
{
    if (!QFile::exists(DejaVuSans)) GTEST_SKIP() << "fonts-dejavu-core is not installed";
    TLogFontList faces;
    EXPECT_EQ(GetFontFileInfo(DejaVuSans, faces), TFontType::ftTrueType);
    ASSERT_EQ(faces.size(), 1);
    EXPECT_EQ(faces[0].FaceName, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(faces[0].StyleName, QStringLiteral("Book"));
    EXPECT_EQ(faces[0].Weight, 400);
    EXPECT_FALSE(faces[0].Italic);
    EXPECT_EQ(faces[0].CharSet, ANSI_CHARSET);
    for (uint8_t charset : {EASTEUROPE_CHARSET, RUSSIAN_CHARSET, GREEK_CHARSET, TURKISH_CHARSET, HEBREW_CHARSET, ARABIC_CHARSET})
        EXPECT_TRUE(faces[0].CharSets.contains(charset)) << int(charset);
    EXPECT_FALSE(faces[0].CharSets.contains(SHIFTJIS_CHARSET));

    const QString bold = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-BoldOblique.ttf");
    if (QFile::exists(bold)) {
        EXPECT_EQ(GetFontFileInfo(bold, faces), TFontType::ftTrueType);
        ASSERT_EQ(faces.size(), 1);
        EXPECT_EQ(faces[0].FaceName, QStringLiteral("DejaVu Sans"));
        EXPECT_EQ(faces[0].StyleName, QStringLiteral("Bold Oblique"));
        EXPECT_EQ(faces[0].Weight, 700);
        EXPECT_TRUE(faces[0].Italic);
    }
}

TEST_F(RawKinds, FontInformationOfHandMadeFonts)
{
    TLogFontList faces;
    EXPECT_EQ(GetFontDataInfo(SmallFont(), faces), TFontType::ftTrueType);
    ASSERT_EQ(faces.size(), 1);
    EXPECT_EQ(faces[0].FaceName, QStringLiteral("Ab"));
    EXPECT_EQ(faces[0].CharSets, QList<uint8_t>{ANSI_CHARSET});
    EXPECT_EQ(GetFontDataInfo(SmallFont(0x4F54544F), faces), TFontType::ftOpenTypePS);

    // Collections: every font needs a directory of its own, else the work would not be bounded by the data.
    auto collection = [](int fonts) {
        QByteArray file("ttcf");
        BE32(file, 0x00010000);
        BE32(file, uint32_t(fonts));
        const uint32_t at = 12 + 4 * uint32_t(fonts);
        for (int i = 0; i < fonts; ++i) BE32(file, at);
        QByteArray font = SmallFont();
        font[23] = char(at + 28); // the name table's offset counts from the file's start
        return QByteArray(file + font);
    };
    EXPECT_EQ(GetFontDataInfo(collection(1), faces), TFontType::ftTrueType);
    ASSERT_EQ(faces.size(), 1);
    EXPECT_EQ(faces[0].FaceName, QStringLiteral("Ab"));
    TLogFontList shared;
    EXPECT_THROW(GetFontDataInfo(collection(3), shared), EReadError);
    EXPECT_TRUE(shared.isEmpty());
}

TEST_F(RawKinds, MalformedFontsRaiseOrGiveNothing)
{
    const QByteArray good = SmallFont();
    struct {
        const char* name;
        QByteArray data;
        bool raises;
    } cases[] = {
        {"empty", {}, false},
        {"not a font", "hello world, this is text", false},
        {"signature only", good.left(4), true},
        {"directory cut", good.left(20), true},
        {"table past the data", good.left(good.size() - 1), true},
        {"absurd table count", [&] { QByteArray b = good; b[4] = char(0xFF); b[5] = char(0xFF); return b; }(), true},
        {"absurd name count", [&] { QByteArray b = good; b[28 + 2] = char(0xFF); return b; }(), true},
        {"name string past its table", [&] { QByteArray b = good; b[28 + 15] = char(0x40); return b; }(), true},
        {"table offset near 4 GB", [&] { QByteArray b = good; b[20] = char(0xFF); b[21] = char(0xFF); b[22] = char(0xFF); return b; }(), true},
        {"collection of 2^32-1 fonts", QByteArray("ttcf\0\1\0\0\xFF\xFF\xFF\xFF", 12), true},
    };
    for (const auto& c : cases) {
        TLogFontList faces{TLogFont{}};
        try {
            EXPECT_EQ(GetFontDataInfo(c.data, faces), TFontType::ftUnknown) << c.name;
            EXPECT_FALSE(c.raises) << c.name << " was accepted";
        } catch (const EReadError& e) {
            EXPECT_TRUE(c.raises) << c.name << ": " << e.Message().toStdString();
            EXPECT_FALSE(e.Message().isEmpty());
        }
        EXPECT_TRUE(faces.isEmpty()) << c.name;
    }
    TLogFontList faces;
    EXPECT_EQ(GetFontFileInfo(QStringLiteral("/nonexistent/font.ttf"), faces), TFontType::ftUnknown);
}

TEST_F(RawKinds, FontResourcesKeepTheirBytes)
{
    TFontResourceItem item(Ord(1));
    const QByteArray broken = SmallFont().left(30);
    EXPECT_EQ(Load(item, broken), broken);
    EXPECT_EQ(item.FriendlyTypeName(), QStringLiteral("Font"));
    TTypeLibResourceItem typelib(Ord(1));
    EXPECT_EQ(Load(typelib, "MSFT\x01\x02"), QByteArray("MSFT\x01\x02"));
}
