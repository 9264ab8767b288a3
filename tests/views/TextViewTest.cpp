#include "../model/TestKinds.h"
#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemIconCursor.h"
#include "kinds/koResourceItemImage.h"
#include "kinds/koResourceItemString.h"
#include "kinds/koResourceModuleRCStringTableWriter.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"
#include "views/koResourceViewRCScript.h"
#include "views/koResourceViewText.h"

#include <QLabel>
#include <QTextBlock>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace {
QByteArray Utf16(const QString& Text) { return QByteArray(reinterpret_cast<const char*>(Text.utf16()), Text.size() * 2); }

QString Message(const std::function<void()>& Action)
{
    try {
        Action();
    } catch (const Exception& error) {
        return error.Message();
    }
    return {};
}

class TextViews : public ::testing::Test {
protected:
    void SetUp() override { koResourceViewText_Initialize(); }
    void TearDown() override
    {
        koResourceViewText_Finalize();
        koResourceView_Finalize();
    }
    // A view of the item as the workspace makes one: the control first, then the item.
    template <class TView>
    static std::unique_ptr<TView> Show(TCustomResourceItem* Item)
    {
        auto view = std::make_unique<TView>();
        view->GetControl();
        view->SetResourceItem(Item);
        return view;
    }
};
} // namespace

TEST_F(TextViews, EncodingDecidesTextAndCaption)
{
    struct Case {
        const char* name;
        QByteArray data;
        QString text;
        const char* caption;
    } cases[] = {
        {"ASCII", "Hello\tworld\r\nline two", "Hello\tworld\nline two", "ASCII text"},
        {"empty", "", "", "ASCII text"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" "na\xC3\xAFve", QString::fromUtf8("naïve"), "UTF8 text"},
        {"UTF-8 without one", "\xE2\x82\xAC 5", QString::fromUtf8("€ 5"), "UTF8 text"},
        {"UTF-16 with CR LF", Utf16("one\r\ntwo"), "one\ntwo", "Unicode text"},
        {"UTF-16 with a byte-order mark", "\xFF\xFE" + Utf16(QString::fromUtf8("Grüße")), QString::fromUtf8("Grüße"),
         "Unicode text"},
        {"one byte above ASCII", "caf\xE9 ok", QString::fromUtf8("café ok"), "Ansi text"},
        // Valid as UTF-8 ("éé") and as UTF-16 (two letters U+A9C3): decoding asks UTF-8 first.
        {"UTF-8 before UTF-16", "\xC3\xA9\xC3\xA9", QString::fromUtf8("éé"), "UTF8 text"},
    };
    for (const Case& c : cases) {
        TTestItem item(TResourceIdent("TEXT"), TResourceIdent("T"));
        item.Data = c.data;
        if (!c.data.isEmpty()) {
            TBytesStream data(c.data);
            EXPECT_TRUE(TTextResourceItemViewFactory::ClassInfo()->Handles(item.ResourceType(), item.Name(), &data))
                << c.name;
        }
        auto view = Show<TTextResourceItemView>(&item);
        EXPECT_EQ(view->EditText->toPlainText(), c.text) << c.name;
        EXPECT_EQ(view->GetCaption(), c.caption) << c.name;
        EXPECT_EQ(view->EditText->lineWrapMode(), QTextEdit::NoWrap) << c.name;
        EXPECT_TRUE(view->EditText->isReadOnly()) << c.name;
    }
}

TEST_F(TextViews, DataThatIsNoTextIsRefused)
{
    // Control characters, odd length: no test holds.
    const QByteArray binary("\x01\x02\x03", 3);
    TBytesStream data(binary);
    EXPECT_FALSE(TTextResourceItemViewFactory::ClassInfo()->Handles(TResourceIdent("TEXT"), TResourceIdent("T"), &data));
    EXPECT_EQ(DetectTextEncoding(data), teUnknown);

    TTestItem item(TResourceIdent("TEXT"), TResourceIdent("T"));
    item.Data = binary;
    auto view = std::make_unique<TTextResourceItemView>();
    EXPECT_EQ(view->GetCaption(), "Text") << "no item yet";
    view->GetControl();
    EXPECT_EQ(Message([&] { view->SetResourceItem(&item); }), "Unsupported text encoding");
    EXPECT_EQ(view->GetCaption(), "unknown text type");
}

TEST_F(TextViews, ChangedItemReloadsAndShowsAFailureInTheStrip)
{
    TTestItem item(TResourceIdent("TEXT"), TResourceIdent("T"));
    item.Data = "first";
    auto view = Show<TTextResourceItemView>(&item);
    view->resize(300, 200);
    view->show();
    EXPECT_EQ(view->EditText->toPlainText(), "first");
    EXPECT_FALSE(view->PanelError->isVisible());

    item.SetData(QByteArray("\x01\x02\x03", 3));
    EXPECT_TRUE(view->PanelError->isVisible());
    EXPECT_EQ(view->LabelError->text(), "Unsupported text encoding");
    EXPECT_EQ(view->EditText->toPlainText(), "");
    EXPECT_EQ(view->GetCaption(), "unknown text type");

    item.SetData(Utf16("second"));
    EXPECT_FALSE(view->PanelError->isVisible());
    EXPECT_EQ(view->EditText->toPlainText(), "second");
    EXPECT_EQ(view->GetCaption(), "Unicode text");
}

TEST_F(TextViews, RichTextIsChosenFirstAndShownFormatted)
{
    TTestItem rtf(TResourceIdent("TEXT"), TResourceIdent("R"));
    rtf.Data = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0 Plain \b bold\b0  caf\'e9\par second})";
    TTestItem text(TResourceIdent("TEXT"), TResourceIdent("T"));
    text.Data = "{\\rt not rich";
    TTestItem rtfAnsi(TResourceIdent("TEXT"), TResourceIdent("A"));
    rtfAnsi.Data = "{\\rtf1 caf\xE9}";
    TTestItem binary(TResourceIdent("TEXT"), TResourceIdent("B"));
    binary.Data = QByteArray("{\\rtf\x01\x02", 7); // odd: no UTF-16 either

    EXPECT_EQ(ResourceItemViewDatabase()->Find(&rtf), TRichTextResourceItemViewFactory::ClassInfo());
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&text), TTextResourceItemViewFactory::ClassInfo());
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&rtfAnsi), TTextResourceItemViewFactory::ClassInfo())
        << "RTF that is not 7-bit ASCII shows as text";
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&binary), nullptr);

    auto view = Show<TRichTextResourceItemView>(&rtf);
    EXPECT_EQ(view->GetCaption(), "RTF text");
    QTextDocument* document = view->EditText->document();
    EXPECT_EQ(document->toPlainText(), QString::fromUtf8("Plain bold café\nsecond"));
    QTextCursor cursor(document);
    cursor.setPosition(document->toPlainText().indexOf("bold") + 1);
    EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(cursor.charFormat().fontFamilies().toStringList().value(0), "Arial");
    cursor.setPosition(1);
    EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Normal);
}

TEST_F(TextViews, RichTextPastTheProbeKeepsToSevenBits)
{
    // The test looks at the first kilobyte only; later bytes above 127 are no ASCII.
    TTestItem item(TResourceIdent("TEXT"), TResourceIdent("R"));
    item.Data = "{\\rtf1 " + QByteArray(1100, 'a') + "\xE9z}";
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&item), TRichTextResourceItemViewFactory::ClassInfo());
    auto view = Show<TRichTextResourceItemView>(&item);
    EXPECT_TRUE(view->EditText->toPlainText().endsWith("a?z"));
}

namespace {
// Writes a caption with a raw control character, as a dialog's caption may hold one; counts its calls
// and, when asked, changes the item while it writes.
class TRawCaptionWriter : public TCustomRCItemWriter {
    RC_ITEM_WRITER_CLASS(TRawCaptionWriter, TCustomRCItemWriter)

public:
    using TCustomRCItemWriter::TCustomRCItemWriter;
    static bool Handles(TCustomResourceItem* Item) { return Item->ResourceType() == TResourceIdent("CAPTIONED"); }
    void SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool) override
    {
        ++Calls;
        if (ChangeItem) static_cast<TTestItem*>(Item)->SetData("changed");
        Encoder.WriteLine(QStringLiteral("1 DIALOG 0, 0, 10, 10"));
        Encoder.WriteLine(QString::fromUtf8("CAPTION \"a\x01z\""));
    }
    static inline int Calls = 0;
    static inline bool ChangeItem = false;
};

class RCScriptView : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemImage_Initialize();
        koIconEncoder_Initialize();
        koResourceItemIconCursor_Initialize();
        koResourceItemString_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModuleRCStringTableWriter_Initialize();
        koResourceViewText_Initialize();
        koResourceViewRCScript_Initialize();
        Module.SetDeferDefaultSymbols(true);
    }
    void TearDown() override
    {
        koResourceViewRCScript_Finalize();
        koResourceViewText_Finalize();
        koResourceView_Finalize();
        koResourceModuleRCStringTableWriter_Finalize();
        koResourceModuleRC_Finalize();
        koResourceItemString_Finalize();
        koResourceItemIconCursor_Finalize();
        koIconEncoder_Finalize();
        koResourceItemImage_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    // The script the item's writer writes, as the view's text control holds it.
    static QString Script(TCustomResourceItem* Item)
    {
        TMemoryStream out;
        TRCUnicodeEncoder encoder(out);
        RCItemWriterDatabase()->Find(Item)->Create(QString())->SaveToStream(encoder, Item, false);
        const QByteArray bytes = out.ToByteArray();
        // The text control keeps CR LF as one line end.
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2)
            .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    static std::unique_ptr<TRcScriptResourceItemView> Show(TCustomResourceItem* Item)
    {
        auto view = std::make_unique<TRcScriptResourceItemView>();
        view->GetControl();
        view->SetResourceItem(Item);
        return view;
    }
    TResourceModule Module;
};

// An icon file of one 16x16 32-bit image.
QByteArray IconFile()
{
    QByteArray file;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) file.append(char((v >> (8 * i)) & 0xFF));
    };
    const int dibSize = 40 + 16 * 16 * 4 + 16 * 4;
    put(0, 2), put(1, 2), put(1, 2);                                   // ICONDIR
    put(16, 1), put(16, 1), put(0, 1), put(0, 1), put(1, 2), put(32, 2); // entry
    put(dibSize, 4), put(6 + 16, 4);
    put(40, 4), put(16, 4), put(32, 4), put(1, 2), put(32, 2);          // BITMAPINFOHEADER
    put(0, 4), put(16 * 16 * 4, 4), put(0, 4), put(0, 4), put(0, 4), put(0, 4);
    for (int i = 0; i < 16 * 16; ++i) put(0xFF2060C0, 4);
    file.append(QByteArray(16 * 4, '\0'));
    return file;
}
} // namespace

TEST_F(RCScriptView, StringTableShowsTheScriptItsWriterWrites)
{
    auto* table = new TStringListResourceItem();
    Module.Items()->Add(table);
    table->SetLanguage(0x0409);
    TResourceStringsString* s = table->Strings()->Add();
    s->ID()->SetOrdinalValue(7);
    s->SetValue(QString::fromUtf8("Grüße"));

    EXPECT_EQ(ResourceItemViewDatabase()->Find(table), TRcScriptResourceItemViewFactory::ClassInfo());
    auto view = Show(table);
    const QString shown = view->EditText->toPlainText();
    EXPECT_TRUE(shown.contains("STRINGTABLE")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromUtf8("Grüße"))) << shown.toStdString();
    EXPECT_EQ(shown, Script(table));
    EXPECT_EQ(view->GetCaption(), "RC script");
    EXPECT_FALSE(shown.startsWith(QChar(0xFEFF))) << "no byte-order mark";
    EXPECT_TRUE(view->EditText->font().fixedPitch() || QFontInfo(view->EditText->font()).fixedPitch());
}

TEST_F(RCScriptView, IconImageShowsItsGroupAndLeavesItsFileNameAlone)
{
    auto* group = new TIconGroupResourceItem(TResourceIdent::FromOrdinal(1));
    Module.Items()->Add(group);
    TBytesStream file(IconFile());
    group->LoadFromFileStream(file);
    ASSERT_TRUE(group->HasItems());
    ASSERT_EQ(group->Items()->Count(), 1);
    TCustomResourceItem* image = group->Items()->Items(0);
    ASSERT_EQ(image->Parent(), group);
    ASSERT_TRUE(group->Filename().isEmpty());

    auto view = Show(image);
    const QString shown = view->EditText->toPlainText();
    EXPECT_TRUE(shown.contains("ICON")) << shown.toStdString();
    EXPECT_TRUE(group->Filename().isEmpty()) << "a preview gives the group no file name";
    EXPECT_EQ(shown, Script(group));
}

TEST_F(RCScriptView, InternalItemsGetNoScriptView)
{
    TSymbolsLikeInternal internal;
    TTestItem dialog(TResourceIdent::FromOrdinal(RT_DIALOG), TResourceIdent("D"));
    dialog.Data = "Plain text that the text view would take";
    TTestItem other(TResourceIdent("OTHER"), TResourceIdent("O"));
    other.Data = "Plain text";
    EXPECT_FALSE(TRcScriptResourceItemViewFactory::ClassInfo()->Handles(&internal));
    EXPECT_NE(ResourceItemViewDatabase()->Find(&internal), TRcScriptResourceItemViewFactory::ClassInfo());
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&dialog), TRcScriptResourceItemViewFactory::ClassInfo())
        << "dialogs show their script first";
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&other), TTextResourceItemViewFactory::ClassInfo());
    std::vector<TResourceItemViewFactoryClass> offered;
    ResourceItemViewDatabase()->Find(&other, [&](TResourceItemViewFactoryClass f, bool&) { offered.push_back(f); });
    EXPECT_EQ(offered.back(), TRcScriptResourceItemViewFactory::ClassInfo()) << "offered last for other kinds";
}

TEST_F(RCScriptView, KindWithoutWriterSaysSo)
{
    koResourceModuleRC_Finalize(); // no writer at all
    TTestItem item(TResourceIdent("THING"), TResourceIdent("NAMED"));
    auto view = std::make_unique<TRcScriptResourceItemView>();
    view->GetControl();
    const QString expected = QStringLiteral("No registered RC writer was able to handle the %1 (%2) resource item")
                                 .arg(item.FriendlyName(), item.FriendlyTypeName());
    EXPECT_EQ(Message([&] { view->SetResourceItem(&item); }), expected);
    EXPECT_EQ(view->EditText->toPlainText(), "");
    koResourceModuleRC_Initialize();
}

TEST_F(RCScriptView, ScriptIsReadAsTheUtf16ItWasWrittenIn)
{
    TRawCaptionWriter::ClassInfo()->Register(0);
    TRawCaptionWriter::Calls = 0;
    TTestItem item(TResourceIdent("CAPTIONED"), TResourceIdent("C"));
    auto view = Show(&item);
    EXPECT_TRUE(view->EditText->toPlainText().contains(QString::fromUtf8("CAPTION \"a\x01z\"")));
    EXPECT_EQ(TRawCaptionWriter::Calls, 1);

    // A writer that changes the item while it writes: the change does not start another load.
    TRawCaptionWriter::ChangeItem = true;
    item.SetData("again");
    TRawCaptionWriter::ChangeItem = false;
    EXPECT_EQ(TRawCaptionWriter::Calls, 2);
    EXPECT_FALSE(view->PanelError->isVisibleTo(view.get()));
    TRawCaptionWriter::ClassInfo()->Unregister();
}
