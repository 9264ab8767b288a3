#include "../model/TestKinds.h"
#include "editors/koAtelierBinary.h"
#include "platform/Exceptions.h"
#include "shell/koAtelier.h"
#include "views/HexDump.h"
#include "views/koResourceViewGeneric.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {
// Takes only data that does not start with 0xFF, and keeps what it had when it refuses.
class TPickyItem : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TPickyItem, TTestItem)

public:
    using TTestItem::TTestItem;
    void LoadFromStream(TStream& stream, int64_t size) override
    {
        const QByteArray bytes = stream.ReadBytes(size);
        if (bytes.startsWith('\xFF')) throw EConvertError("Bad data");
        SetData(bytes);
    }
};

class GenericViewEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourceViewGeneric_Initialize();
        koAtelierBinary_Initialize();
    }
    void TearDown() override
    {
        koAtelierBinary_Finalize();
        koResourceViewGeneric_Finalize();
        koResourceView_Finalize();
        koAtelier_Finalize();
    }
    // An editor on Item, shown wide enough for 16 bytes a row.
    std::shared_ptr<TFrameAtelierBinary> Edit(TCustomResourceItem* item)
    {
        auto editor = std::make_shared<TFrameAtelierBinary>();
        editor->SetResourceItem(item);
        editor->resize(900, 300);
        editor->show();
        return editor;
    }
};
} // namespace

TEST_F(GenericViewEditor, OfferedForItemsThatHandOverTheirData)
{
    TTestItem item(TResourceIdent("X"));
    TExportOnlyItem exportOnly(TResourceIdent("E"));
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&item), TGenericResourceItemViewFactory::ClassInfo());
    EXPECT_EQ(ResourceItemEditorDatabase()->Find(&item), TBinaryResourceItemEditorFactory::ClassInfo());
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&exportOnly), nullptr);
    EXPECT_EQ(ResourceItemEditorDatabase()->Find(&exportOnly), nullptr) << "no raw editor without rcWrite";

    IResourceItemViewPtr view = TGenericResourceItemViewFactory::ClassInfo()->CreateView();
    IResourceItemEditorPtr editor = TBinaryResourceItemEditorFactory::ClassInfo()->CreateEditor();
    EXPECT_EQ(view->GetCaption(), "Binary data");
    EXPECT_EQ(editor->GetCaption(), "Binary data");

    koResourceViewGeneric_Finalize();
    koAtelierBinary_Finalize();
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&item), nullptr);
    EXPECT_EQ(ResourceItemEditorDatabase()->Find(&item), nullptr);
}

TEST_F(GenericViewEditor, ViewShowsASnapshotReadOnly)
{
    TTestItem item(TResourceIdent("X"));
    item.Data = QByteArray("\x01" "AB\x80", 4);
    TGenericResourceItemView view;
    view.SetResourceItem(&item);
    EXPECT_FALSE(view.HexDump()->isVisibleTo(&view)) << "hidden until loaded";
    view.resize(900, 300);
    view.show();
    view.GetControl();
    THexDump* dump = view.HexDump();
    EXPECT_TRUE(dump->isVisible());
    EXPECT_TRUE(dump->ReadOnly());
    EXPECT_EQ(dump->Border(), bsNone);
    EXPECT_EQ(dump->font().pixelSize(), 11);
    EXPECT_EQ(dump->LineHexText(0), "01 41 42 80");
    EXPECT_EQ(dump->LineCharText(0), ".AB.");
    EXPECT_EQ(dump->HexDataBackgroundColor(), QColor(0xF4, 0xF4, 0xF4));
    EXPECT_EQ(dump->HexDataBackgroundColorOdd(), QColor(Qt::white));

    QTest::keyClicks(dump, "ff");
    EXPECT_EQ(item.Data, QByteArray("\x01" "AB\x80", 4)) << "the view never writes";

    item.SetData("xyz");
    EXPECT_EQ(dump->LineHexText(0), "78 79 7A") << "a change elsewhere shows";
    item.SetData({});
    EXPECT_EQ(dump->LineCount(), 0);
}

TEST_F(GenericViewEditor, EditorWritesEveryDigitIntoTheItem)
{
    TTestItem item(TResourceIdent("X"));
    item.Data = QByteArray("\x00\x01\x02\x03\x04", 5);
    auto editor = Edit(&item);
    THexDump* dump = editor->HexDump();
    EXPECT_FALSE(dump->ReadOnly());
    EXPECT_EQ(dump->font().pixelSize(), 13);
    EXPECT_EQ(dump->LineCharText(0), QString(5, QChar(0x2219)));

    TRecorder recorder;
    item.Subscribe(&recorder);
    dump->SetCurrentLinePos(2);
    QTest::keyClicks(dump, "a");
    EXPECT_EQ(item.Data, QByteArray("\x00\x01\xA2\x03\x04", 5)) << "the high digit alone";
    EXPECT_EQ(recorder.Count(rnChanged), 1);
    QTest::keyClicks(dump, "5");
    EXPECT_EQ(item.Data, QByteArray("\x00\x01\xA5\x03\x04", 5));
    EXPECT_EQ(recorder.Count(rnChanged), 2);
    EXPECT_EQ(dump->CurrentLinePos(), 3) << "its own write does not reload the editor";

    item.SetData("new");
    EXPECT_EQ(dump->LineHexText(0), "6E 65 77") << "a change elsewhere reloads";
    EXPECT_EQ(dump->CurrentLinePos(), 0);
    item.Unsubscribe(&recorder);
}

TEST_F(GenericViewEditor, EditorOfAnEmptyItemTakesNoTyping)
{
    TTestItem item(TResourceIdent("X"));
    auto editor = Edit(&item);
    TRecorder recorder;
    item.Subscribe(&recorder);
    QTest::keyClicks(editor->HexDump(), "12");
    EXPECT_EQ(recorder.Count(rnChanged), 0);
    EXPECT_TRUE(item.Data.isEmpty());
    item.Unsubscribe(&recorder);
}

TEST_F(GenericViewEditor, RejectedDataReachesTheApplicationAndEditingGoesOn)
{
    TPickyItem item(TResourceIdent("X"));
    item.Data = QByteArray("\x00\x00", 2);
    auto editor = Edit(&item);
    THexDump* dump = editor->HexDump();
    std::vector<QString> errors;
    TApplicationExceptionHandler previous = SetApplicationExceptionHandler([&](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const Exception& e) {
            errors.push_back(e.Message());
        }
    });
    QTest::keyClicks(dump, "f");
    EXPECT_EQ(item.Data, QByteArray("\xF0\x00", 2));
    QTest::keyClicks(dump, "f7");
    EXPECT_EQ(errors, (std::vector<QString>{"Bad data", "Bad data"})) << "every refused keystroke is reported";
    EXPECT_EQ(dump->LineHexText(0), "FF 70") << "the buffer keeps the typed change";
    EXPECT_EQ(item.Data, QByteArray("\xF0\x00", 2));

    dump->SetCurrentLinePos(0);
    dump->SetLowNibble(false);
    QTest::keyClicks(dump, "0");
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_EQ(item.Data, QByteArray("\x0F\x70", 2)) << "the next keystroke writes the whole buffer";
    SetApplicationExceptionHandler(previous);
}

TEST_F(GenericViewEditor, EditorOutlivingItsItem)
{
    auto item = std::make_unique<TTestItem>(TResourceIdent("X"));
    item->Data = "abc";
    auto editor = Edit(item.get());
    item.reset();
    EXPECT_EQ(editor->ResourceItem(), nullptr);
    QTest::keyClicks(editor->HexDump(), "1");
    EXPECT_EQ(editor->HexDump()->LineHexText(0), "11 62 63") << "typing goes into the buffer only";
}

#include "GenericViewEditorTest.moc"
