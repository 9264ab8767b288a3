#include "../model/TestKinds.h"
#include "shell/koAtelier.h"
#include "shell/koAtelierFramework.h"
#include "shell/koResourceView.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {
// Views that count their loads.
class TCountingView : public TCustomResourceItemView {
public:
    int Loads = 0;
    QString GetCaption() override { return ResourceItem() ? TCustomResourceItemView::GetCaption() : QStringLiteral("Counting"); }

protected:
    void LoadView() override { ++Loads; }
};

// Factories: by item class, by data signature, and catch-alls.
class TTypeFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TTypeFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(TCustomResourceItem*) { return true; }
    static IResourceItemViewPtr CreateView() { return std::make_shared<TCountingView>(); }
};
class TNameFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TNameFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(TCustomResourceItem*) { return true; }
};
class TTypeNameFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TTypeNameFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(TCustomResourceItem*) { return true; }
};
class TAnyFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TAnyFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(TCustomResourceItem*) { return true; }
};
class TDataFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TDataFactory, TCustomResourceItemViewFactory)
public:
    static inline int Asked = 0;
    static bool Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data)
    {
        ++Asked;
        return MatchSignature(Data, "BM", {}, 0);
    }
};

class TEditorA {
    RESOURCE_EDITOR_FACTORY_CLASS(TEditorA, TCustomResourceItemEditorFactory)
public:
    static bool Handles(TCustomResourceItem*) { return true; }
    static IResourceItemEditorPtr CreateEditor() { return std::make_shared<TCustomResourceItemEditor>(); }
};
class TEditorB {
    RESOURCE_EDITOR_FACTORY_CLASS(TEditorB, TCustomResourceItemEditorFactory)
public:
    static bool Handles(TCustomResourceItem*) { return true; }
};

class Framework : public ::testing::Test {
protected:
    void TearDown() override
    {
        koResourceView_Finalize();
        koAtelier_Finalize();
    }
    std::vector<TResourceItemViewFactoryClass> AllViews(TCustomResourceItem* item)
    {
        std::vector<TResourceItemViewFactoryClass> found;
        ResourceItemViewDatabase()->Find(item, [&](TResourceItemViewFactoryClass f, bool&) { found.push_back(f); });
        return found;
    }
};
} // namespace

TEST_F(Framework, ViewPassesGoFromSpecificToAny)
{
    TTestItem item(TResourceIdent("PNG"), TResourceIdent("LOGO"));
    auto* db = ResourceItemViewDatabase();
    TAnyFactory::ClassInfo()->Register(-100);
    TNameFactory::ClassInfo()->Register({}, TResourceIdent("LOGO"), 10);
    TTypeFactory::ClassInfo()->Register(TResourceIdent("PNG"), {}, 20);
    TTypeNameFactory::ClassInfo()->Register(TResourceIdent("PNG"), TResourceIdent("LOGO"), 30);
    TTypeFactory::ClassInfo()->Register(-200); // a second entry of one factory
    EXPECT_EQ(db->Find(&item), TTypeNameFactory::ClassInfo());
    EXPECT_EQ(AllViews(&item), (std::vector<TResourceItemViewFactoryClass>{TTypeNameFactory::ClassInfo(), TTypeFactory::ClassInfo(),
                                                                           TNameFactory::ClassInfo(), TAnyFactory::ClassInfo()}))
        << "each factory once, in the earliest pass that finds it";
    TTypeFactory::ClassInfo()->Unregister();
    EXPECT_EQ(db->Count(), 3) << "every entry of the factory goes";
}

TEST_F(Framework, EqualPrioritiesNewestFirstAndDataQuestions)
{
    TTestItem bitmap(TResourceIdent("X"));
    bitmap.Data = "BM....";
    TAnyFactory::ClassInfo()->Register(0);
    TDataFactory::ClassInfo()->Register(0);
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&bitmap), TDataFactory::ClassInfo()) << "registered later, asked first";

    TDataFactory::Asked = 0;
    TExportOnlyItem noData(TResourceIdent("E"));
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&noData), TAnyFactory::ClassInfo());
    EXPECT_EQ(TDataFactory::Asked, 0) << "an item that writes no data is never offered as data";

    TBytesStream data(QByteArray("BMxx"));
    EXPECT_EQ(ResourceItemViewDatabase()->Find(TResourceIdent("X"), {}, {}, &data), TDataFactory::ClassInfo());
}

TEST_F(Framework, EditorsOnePassAndUnregisterOneEntry)
{
    TTestItem item(TResourceIdent("X"));
    TEditorA::ClassInfo()->Register(5);
    TEditorA::ClassInfo()->Register(5);
    TEditorB::ClassInfo()->Register(1);
    auto* db = ResourceItemEditorDatabase();
    EXPECT_EQ(db->Find(&item), TEditorB::ClassInfo());
    int reported = 0;
    EXPECT_EQ(db->Find(&item, [&](TResourceItemEditorFactoryClass, bool&) { ++reported; }), TEditorA::ClassInfo());
    EXPECT_EQ(reported, 3) << "editors are reported once per entry";
    TEditorA::ClassInfo()->Unregister();
    EXPECT_EQ(db->Count(), 2);
    EXPECT_THROW(TEditorB::ClassInfo()->CreateEditor(), EAssertionFailed);

    IResourceItemEditorPtr editor = TEditorA::ClassInfo()->CreateEditor();
    editor->SetResourceItem(&item);
    EXPECT_EQ(editor->GetCaption(), "Test");
    EXPECT_EQ(editor->GetControl(), dynamic_cast<QWidget*>(editor.get()));
}

TEST_F(Framework, ViewsLoadLazilyAndFollowTheirItem)
{
    auto item = std::make_unique<TTestItem>(TResourceIdent("X"));
    auto view = std::make_shared<TCountingView>();
    EXPECT_EQ(view->GetCaption(), "Counting") << "a caption without an item, and no load";
    EXPECT_EQ(view->Loads, 0);
    view->GetControl();
    EXPECT_EQ(view->Loads, 0) << "no item yet: the load waits";
    view->SetResourceItem(item.get());
    EXPECT_EQ(view->Loads, 1);
    view->GetControl();
    EXPECT_EQ(view->Loads, 1);
    item->SetData("changed");
    EXPECT_EQ(view->Loads, 2) << "a change loads again";

    // A view made only for a thumbnail loads when it draws.
    auto thumbnail = std::make_shared<TCountingView>();
    thumbnail->SetResourceItem(item.get());
    EXPECT_EQ(thumbnail->Loads, 0);
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        thumbnail->Draw(painter, QRect(0, 0, 8, 8));
    }
    EXPECT_EQ(thumbnail->Loads, 1);
    EXPECT_EQ(image.pixel(3, 3), qRgb(255, 255, 255));

    // The item going first leaves the views without a dangling item.
    item.reset();
    EXPECT_EQ(view->ResourceItem(), nullptr);
    EXPECT_EQ(thumbnail->ResourceItem(), nullptr);
}

TEST_F(Framework, CurrentWorkspaceRegistration)
{
    struct TWorkspace : IAtelier {
        void SelectResourceItem(TCustomResourceItem*) override {}
        void Navigate(const IResourceMessagePtr&) override {}
        IResourceItemViewPtr GetResourceItemView() override { return nullptr; }
        IResourceItemEditorPtr GetResourceItemEditor() override { return nullptr; }
        IAtelierPropertyInspector* GetPropertyInspector() override { return nullptr; }
    } first, second;
    IAtelier* previous = &second;
    RegisterAtelier(&first, previous);
    EXPECT_EQ(previous, nullptr);
    RegisterAtelier(&second, previous);
    EXPECT_EQ(previous, &first);
    UnregisterAtelier(&first);
    EXPECT_EQ(CurrentAtelier(), &second) << "only the current workspace unregisters";
    UnregisterAtelier(&second);
    EXPECT_EQ(CurrentAtelier(), nullptr);
}

TEST_F(Framework, ErrorFrameShowsItsText)
{
    TFrameViewEditHandlerError frame;
    EXPECT_EQ(frame.Text(), "Error message");
    frame.SetText("Failed to initialize resource view:\r&Bad data");
    EXPECT_EQ(frame.Text(), "Failed to initialize resource view:\r&Bad data");
}
