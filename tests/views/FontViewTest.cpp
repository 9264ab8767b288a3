#include "../platform/PeerTools.h"
#include "kinds/koResourceItemFont.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Streams.h"
#include "views/koResourceViewFont.h"
#include "views/koResourceViewFontDataModule.h"

#include <QAction>
#include <QFile>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {
const QString DejaVuSans = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
const QString DejaVuSerif = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf");
const QString NimbusSans = QStringLiteral("/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf");

QByteArray ReadFile(const QString& Name)
{
    QFile file(Name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#define REQUIRE_FILE(var, name)                                                                                        \
    const QByteArray var = ReadFile(name);                                                                             \
    if (var.isEmpty()) GTEST_SKIP() << (name).toStdString() << " is not installed"

void LoadItem(TCustomResourceItem& Item, const QByteArray& Bytes)
{
    TBytesStream data(Bytes);
    Item.LoadFromStream(data, data.Size());
}

// The typeface entries as "face/charset".
QStringList Typefaces(const TFontResourceItemView& View)
{
    QStringList entries;
    for (QAction* action : View.DataModule()->MenuTypeface->actions())
        entries.append(action->text() + QLatin1Char('/') + QString::number(action->data().toInt()));
    return entries;
}

QAction* SampleAction(const TFontResourceItemView& View, const QString& Caption)
{
    for (QAction* action : View.DataModule()->MenuSample->actions())
        if (!action->isSeparator() && action->text() == Caption) return action;
    return nullptr;
}

// A Windows raster font (.fnt, version 2) with the letters A and B, 8 pixels high.
QByteArray RasterFont(const QByteArray& Face = "Tiny", uint8_t CharSet = 204, uint16_t Type = 0)
{
    constexpr int headerSize = 118, height = 8, chars = 3; // A, B and the closing entry
    const int bitsOffset = headerSize + chars * 4;
    const int faceOffset = bitsOffset + chars * height;
    TMemoryStream s;
    s.WriteWord(0x0200);
    s.WriteDWord(uint32_t(faceOffset + Face.size() + 1));
    s.WriteBytes(QByteArray("(c) nobody").leftJustified(60, '\0'));
    for (const uint16_t w : {Type, uint16_t(6), uint16_t(96), uint16_t(96), uint16_t(7), uint16_t(0), uint16_t(0)}) s.WriteWord(w);
    s.WriteByte(1); // italic
    s.WriteByte(0);
    s.WriteByte(0);
    s.WriteWord(700);
    s.WriteByte(CharSet);
    s.WriteWord(0);
    s.WriteWord(height);
    s.WriteByte(0x21);
    s.WriteWord(8);
    s.WriteWord(8);
    for (const uint8_t c : {uint8_t('A'), uint8_t('B'), uint8_t('A'), uint8_t(' ')}) s.WriteByte(c);
    s.WriteWord(1);
    s.WriteDWord(0);
    s.WriteDWord(uint32_t(faceOffset));
    s.WriteDWord(0);
    s.WriteDWord(uint32_t(bitsOffset));
    s.WriteByte(0);
    for (int i = 0; i < chars; ++i) {
        s.WriteWord(8);
        s.WriteWord(uint16_t(bitsOffset + i * height));
    }
    for (int i = 0; i < chars * height; ++i) s.WriteByte(i % 2 ? 0xFF : 0x81);
    s.WriteBytes(Face);
    s.WriteByte(0);
    return s.ToByteArray();
}

class FontView : public ::testing::Test {
protected:
    void SetUp() override { koResourceViewFont_Initialize(); }
    void TearDown() override
    {
        koResourceViewFont_Finalize();
        koResourceView_Finalize();
    }
    static std::unique_ptr<TFontResourceItemView> Show(TCustomResourceItem* Item)
    {
        auto view = std::make_unique<TFontResourceItemView>();
        view->GetControl();
        view->SetResourceItem(Item);
        return view;
    }
};
} // namespace

TEST_F(FontView, FactoryTakesFontTypeOrFontSignatures)
{
    const TResourceIdent font = TResourceIdent::FromOrdinal(RT_FONT);
    const TResourceIdent rcdata = TResourceIdent::FromOrdinal(RT_RCDATA);
    struct {
        const char* what;
        TResourceIdent type;
        QByteArray data;
        bool handles;
    } cases[] = {
        {"font type with any data", font, "MZ whatever", true},
        {"font type, empty data", font, "", false},
        {"TrueType signature elsewhere", rcdata, QByteArray("\x00\x01\x00\x00\x00\x10", 6), true},
        {"OpenType outlines elsewhere", rcdata, "OTTO\x00\x0A", true},
        {"empty font, signature only", font, "OTTO", true},
        {"other data elsewhere", rcdata, "OTT0 not quite", false},
        {"collection elsewhere", rcdata, "ttcf\x00\x01", false},
    };
    for (const auto& c : cases) {
        TBytesStream data(c.data);
        EXPECT_EQ(TFontResourceItemViewFactory::ClassInfo()->Handles(c.type, TResourceIdent::FromOrdinal(1), &data), c.handles)
            << c.what;
        EXPECT_EQ(data.Position(), 0) << c.what;
    }
    EXPECT_FALSE(TFontResourceItemViewFactory::ClassInfo()->Handles(font, TResourceIdent::FromOrdinal(1), nullptr));
}

TEST_F(FontView, SizeStepsThroughTheListAndStopsAtItsEnds)
{
    struct {
        QString text;
        int size, smaller, larger;
    } cases[] = {
        {"abc", 16, 14, 18}, {"", 16, 14, 18}, {"0", 16, 14, 18}, {"13", 13, 12, 14}, {"100", 100, 72, 72},
        {"7", 7, 7, 8},      {"72", 72, 48, 72}, {"3", 3, 7, 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FontSizeOfText(c.text), c.size) << c.text.toStdString();
        EXPECT_EQ(SmallerFontSize(c.size), c.smaller) << c.text.toStdString();
        EXPECT_EQ(LargerFontSize(c.size), c.larger) << c.text.toStdString();
    }

    REQUIRE_FILE(bytes, DejaVuSans);
    TFontResourceItem item(TResourceIdent::FromOrdinal(1));
    LoadItem(item, bytes);
    auto view = Show(&item);
    TButtonedEdit* size = view->DataModule()->ButtonedEditSize;
    EXPECT_EQ(size->Text(), QStringLiteral("16"));
    struct {
        QString text;
        int pointSize;
        bool smaller, larger;
    } states[] = {{"7", 7, false, true}, {"8", 8, true, true}, {"72", 72, true, false}, {"71", 71, true, true},
                  {"abc", 16, true, true}, {"100", 100, true, false}};
    for (const auto& s : states) {
        // The edit takes digits only; other text is set directly, as a paste of it would be.
        size->Edit->setText(s.text);
        EXPECT_EQ(view->EditSample->font().pointSize(), s.pointSize) << s.text.toStdString();
        EXPECT_EQ(size->LeftButton->isEnabled(), s.smaller) << s.text.toStdString();
        EXPECT_EQ(size->RightButton->isEnabled(), s.larger) << s.text.toStdString();
    }
    size->SetText(QStringLiteral("13"));
    size->LeftButton->click();
    EXPECT_EQ(size->Text(), QStringLiteral("12"));
    size->SetText(QStringLiteral("13"));
    size->RightButton->click();
    EXPECT_EQ(size->Text(), QStringLiteral("14"));
    size->SetText(QStringLiteral("100"));
    view->DecreaseSize();
    EXPECT_EQ(size->Text(), QStringLiteral("72"));
}

TEST_F(FontView, TrueTypeFontShowsItsFacesAndCharsets)
{
    REQUIRE_FILE(bytes, DejaVuSans);
    TFontResourceItem item(TResourceIdent::FromOrdinal(1));
    LoadItem(item, bytes);
    auto view = Show(&item);
    EXPECT_FALSE(view->PanelError->isVisibleTo(view.get())) << view->LabelError->text().toStdString();
    EXPECT_EQ(view->GetCaption(), QStringLiteral("Font : TrueType"));
    ASSERT_GE(view->FontHandle(), 0);
    EXPECT_TRUE(QFontDatabase::applicationFontFamilies(view->FontHandle()).contains(QStringLiteral("DejaVu Sans")));

    // Latin, Central European, Cyrillic and Greek at least, each an entry of the one family.
    const QStringList entries = Typefaces(*view);
    for (const char* entry : {"DejaVu Sans/0", "DejaVu Sans/238", "DejaVu Sans/204", "DejaVu Sans/161"})
        EXPECT_TRUE(entries.contains(QString::fromLatin1(entry))) << entry << " in " << entries.join(' ').toStdString();
    EXPECT_EQ(QStringList(entries).removeDuplicates(), 0);
    // The first entry is chosen: button, sample font and character set follow it.
    QAction* first = view->DataModule()->MenuTypeface->actions().first();
    EXPECT_TRUE(first->isChecked());
    EXPECT_EQ(view->DataModule()->ButtonTypeface->text(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(view->EditSample->font().family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(view->SampleCharSet(), first->data().toInt());
    // Another entry switches the character set.
    QAction* cyrillic = view->DataModule()->MenuTypeface->actions().at(entries.indexOf(QStringLiteral("DejaVu Sans/204")));
    cyrillic->trigger();
    EXPECT_EQ(view->SampleCharSet(), 204);
    EXPECT_TRUE(cyrillic->isChecked());
    EXPECT_FALSE(first->isChecked());
}

TEST_F(FontView, OpenTypeWithPostScriptOutlinesUnderAnotherType)
{
    REQUIRE_FILE(bytes, NimbusSans);
    TResourceItemGeneric item(TResourceIdent::FromOrdinal(7));
    item.SetItemType(QStringLiteral("FONTS"));
    LoadItem(item, bytes);
    TBytesStream data(bytes);
    EXPECT_TRUE(TFontResourceItemViewFactory::Handles(item.ResourceType(), item.Name(), &data));
    auto view = Show(&item);
    EXPECT_EQ(view->GetCaption(), QStringLiteral("Font : OpenType - Postscript"));
    ASSERT_FALSE(Typefaces(*view).isEmpty());
    EXPECT_EQ(view->DataModule()->ButtonTypeface->text(), QStringLiteral("Nimbus Sans"));
}

TEST_F(FontView, SamplesFromTheMenuAndTheDefault)
{
    int headings = 0, samples = 0;
    for (const char* entry : FontSampleTexts) (QString::fromUtf8(entry).contains(QLatin1Char('=')) ? samples : headings)++;
    EXPECT_EQ(headings, 2);
    EXPECT_EQ(samples, 41);

    REQUIRE_FILE(bytes, DejaVuSans);
    TFontResourceItem item(TResourceIdent::FromOrdinal(1));
    LoadItem(item, bytes);
    auto view = Show(&item);
    const QList<QAction*> actions = view->DataModule()->MenuSample->actions();
    QStringList sections;
    for (QAction* action : actions)
        if (action->isSeparator()) sections.append(action->text());
    EXPECT_EQ(sections, QStringList({"Categories", "National pangrams"}));
    EXPECT_EQ(actions.size(), 43);
    // The marked sample is chosen at start, its caption without the mark.
    QAction* lorem = SampleAction(*view, QStringLiteral("Lorem ipsum..."));
    ASSERT_NE(lorem, nullptr);
    EXPECT_TRUE(lorem->isChecked());
    EXPECT_TRUE(view->EditSample->toPlainText().startsWith(QStringLiteral("Lorem ipsum dolor sit amet")));

    const struct {
        const char* caption;
        QString text;
    } picks[] = {
        {"Numbers", QStringLiteral("01234567890")},
        {"English", QStringLiteral("Jack quietly moved up front and seized the big ball of wax.")},
        {"AaBbCcDdEeFfGg...", QStringLiteral("AaBbCcDdEeFfGgHhIiJjKkLlMmNnOoPpQqRrSsTtUuVvWwXxYyZz")},
        {"Ligatures", QString::fromUtf8("ss:ß AE:Æ ae:æ OE:Œ oe:œ IJ:Ĳ ij:ĳ ue:ᵫ ff:ﬀ fi:ﬁ fl:ﬂ ffi:ﬃ ffl:ﬄ ft:ﬅ st:ﬆ")},
    };
    for (const auto& pick : picks) {
        QAction* action = SampleAction(*view, QString::fromLatin1(pick.caption));
        ASSERT_NE(action, nullptr) << pick.caption;
        action->trigger();
        EXPECT_EQ(view->EditSample->toPlainText(), pick.text) << pick.caption;
        EXPECT_FALSE(lorem->isChecked());
    }
}

TEST_F(FontView, ReloadReplacesTheFontAndKeepsSizeAndSample)
{
    REQUIRE_FILE(sans, DejaVuSans);
    REQUIRE_FILE(serif, DejaVuSerif);
    TFontResourceItem item(TResourceIdent::FromOrdinal(1));
    LoadItem(item, sans);
    auto view = Show(&item);
    const int oldHandle = view->FontHandle();
    ASSERT_GE(oldHandle, 0);
    SampleAction(*view, QStringLiteral("Numbers"))->trigger();
    view->DataModule()->ButtonedEditSize->SetText(QStringLiteral("24"));

    LoadItem(item, serif);
    EXPECT_GE(view->FontHandle(), 0);
    // Handles are taken again once free: the old one holds the new font or nothing.
    EXPECT_FALSE(QFontDatabase::applicationFontFamilies(oldHandle).contains(QStringLiteral("DejaVu Sans")));
    EXPECT_TRUE(QFontDatabase::applicationFontFamilies(view->FontHandle()).contains(QStringLiteral("DejaVu Serif")));
    for (const QString& entry : Typefaces(*view)) EXPECT_TRUE(entry.startsWith(QStringLiteral("DejaVu Serif/"))) << entry.toStdString();
    EXPECT_EQ(view->DataModule()->ButtonTypeface->text(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(view->EditSample->toPlainText(), QStringLiteral("01234567890"));
    EXPECT_EQ(view->DataModule()->ButtonedEditSize->Text(), QStringLiteral("24"));
    EXPECT_EQ(view->EditSample->font().pointSize(), 24);

    // Gone with the view.
    const int lastHandle = view->FontHandle();
    view.reset();
    EXPECT_TRUE(QFontDatabase::applicationFontFamilies(lastHandle).isEmpty());
}

TEST_F(FontView, MalformedFontsShowAMessageAndNothingInstalled)
{
    REQUIRE_FILE(sans, DejaVuSans);
    // The table directory of the real font, its tables cut away.
    const QByteArray cut = sans.left(12 + 16 * 4);
    QByteArray lying = sans;
    // The first table record's offset far past the data.
    lying[12 + 8] = '\x7F';
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"no font at all", "This is not a font, only text."},
        {"tables cut off", cut},
        {"table outside the data", lying},
        {"signature only", QByteArray("\x00\x01\x00\x00", 4)},
    };
    for (const auto& c : cases) {
        TFontResourceItem item(TResourceIdent::FromOrdinal(1));
        LoadItem(item, sans);
        auto view = Show(&item);
        const int goodHandle = view->FontHandle();
        ASSERT_GE(goodHandle, 0);
        LoadItem(item, c.bytes);
        EXPECT_TRUE(view->PanelError->isVisibleTo(view.get())) << c.what;
        EXPECT_FALSE(view->LabelError->text().isEmpty()) << c.what;
        // The earlier font is gone whatever this data is.
        if (view->FontHandle() != goodHandle) {
            EXPECT_TRUE(QFontDatabase::applicationFontFamilies(goodHandle).isEmpty()) << c.what;
        }
        if (view->FontHandle() < 0) {
            EXPECT_TRUE(Typefaces(*view).isEmpty()) << c.what;
            EXPECT_EQ(view->GetCaption(), QStringLiteral("Font : Unknown")) << c.what;
        }
        // A good font afterwards shows again, without the message.
        LoadItem(item, sans);
        EXPECT_FALSE(view->PanelError->isVisibleTo(view.get())) << c.what;
        EXPECT_EQ(view->GetCaption(), QStringLiteral("Font : TrueType")) << c.what;
    }
}

TEST_F(FontView, ResFixtureFromWindresInterop)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    REQUIRE_FILE(sans, DejaVuSans);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile font(dir.filePath(QStringLiteral("DejaVuSans.ttf")));
    ASSERT_TRUE(font.open(QIODevice::WriteOnly));
    font.write(sans);
    font.close();
    QFile script(dir.filePath(QStringLiteral("font.rc")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("1 FONT \"DejaVuSans.ttf\"\n");
    script.close();
    const TPeerToolResult compiled =
        RunPeerTool(windres, {QStringLiteral("-O"), QStringLiteral("res"), QStringLiteral("font.rc"), QStringLiteral("font.res")},
                    30000, dir.path());
    ASSERT_TRUE(compiled.Ok()) << compiled.Describe().toStdString();

    koResourcesKinds_Initialize();
    koResourceItemFont_Initialize();
    koResourceModuleRes_Initialize();
    {
        TFileStream res(dir.filePath(QStringLiteral("font.res")), fmOpenRead);
        auto module = TResourceModuleReaderRes().LoadFromStream(res);
        TCustomResourceItem* item = module->Find(TResourceIdent::FromOrdinal(RT_FONT), TResourceIdent::FromOrdinal(1));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(ResourceItemViewDatabase()->Find(item), TFontResourceItemViewFactory::ClassInfo());
        auto view = TFontResourceItemViewFactory::CreateView();
        view->GetControl();
        view->SetResourceItem(item);
        auto* fontView = dynamic_cast<TFontResourceItemView*>(view.get());
        ASSERT_NE(fontView, nullptr);
        EXPECT_EQ(view->GetCaption(), QStringLiteral("Font : TrueType"));
        EXPECT_TRUE(Typefaces(*fontView).contains(QStringLiteral("DejaVu Sans/204")));
    }
    koResourceModuleRes_Finalize();
    koResourceItemFont_Finalize();
    koResourcesKinds_Finalize();
}

TEST(FontTables, WindowsFontHeadersNameOneFace)
{
    TLogFontList faces;
    ASSERT_EQ(GetFontDataInfo(RasterFont(), faces), TFontType::ftRaster);
    ASSERT_EQ(faces.size(), 1);
    EXPECT_EQ(faces[0].FaceName, QStringLiteral("Tiny"));
    EXPECT_EQ(faces[0].CharSets, QList<uint8_t>{204});
    EXPECT_EQ(faces[0].CharSet, 204);
    EXPECT_EQ(faces[0].Weight, 700);
    EXPECT_TRUE(faces[0].Italic);
    EXPECT_EQ(GetFontDataInfo(RasterFont("Lines", 0, 1), faces), TFontType::ftVector);
    EXPECT_EQ(faces.value(0).FaceName, QStringLiteral("Lines"));

    const QByteArray good = RasterFont();
    const struct {
        const char* what;
        QByteArray bytes;
    } broken[] = {
        {"header cut", good.left(117)},
        {"version 1", QByteArray("\x00\x01", 2) + good.mid(2)},
        {"face past the data", [&] { QByteArray b = good; b[105 + 2] = '\x7F'; return b; }()},
        {"face without its zero", good.left(good.size() - 1)},
        {"empty face", RasterFont("")},
    };
    for (const auto& c : broken) {
        TLogFontList none{TLogFont{}};
        EXPECT_EQ(GetFontDataInfo(c.bytes, none), TFontType::ftUnknown) << c.what;
        EXPECT_TRUE(none.isEmpty()) << c.what;
    }
}

TEST_F(FontView, WindowsRasterFontShowsAsRaster)
{
    TFontResourceItem item(TResourceIdent::FromOrdinal(1));
    LoadItem(item, RasterFont());
    auto view = Show(&item);
    EXPECT_FALSE(view->PanelError->isVisibleTo(view.get())) << view->LabelError->text().toStdString();
    EXPECT_EQ(view->GetCaption(), QStringLiteral("Font : Raster"));
    EXPECT_EQ(Typefaces(*view), QStringList({"Tiny/204"}));
    EXPECT_EQ(view->EditSample->font().family(), QStringLiteral("Tiny"));
}
