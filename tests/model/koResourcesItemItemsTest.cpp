#include "TestKinds.h"
#include "model/koResourcesItemItems.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

namespace {
class TControlItem;

// A dialog-like item whose controls have an ID and a help ID.
class TControlsItem : public TTestItem {
public:
    explicit TControlsItem(const TResourceIdent& name);
    std::unique_ptr<TResourceItemItems<TControlsItem, TControlItem>> Controls;
};

class TControlItem;
class TControlHelp : public TResourceHelpChildIdentifier<TControlItem> {
public:
    using TResourceHelpChildIdentifier<TControlItem>::TResourceHelpChildIdentifier;

protected:
    TCustomResourceOrdinalIdentifier* GetItemIdentifier() const override;
};

class TControlItem : public TResourceItemItem<TControlsItem> {
public:
    explicit TControlItem(TCustomResourceItemItems* collection)
        : TResourceItemItem<TControlsItem>(collection),
          ID(collection->ResourceItem(), this),
          HelpID(collection->ResourceItem(), this)
    {
    }
    bool EnumerateItems(void*, const TEnumerateResourceItemsCallback&) override { return !StopBelow; }
    TResourceOrdinalChildIdentifier<TControlItem> ID;
    TControlHelp HelpID;
    bool StopBelow = false;
};

TCustomResourceOrdinalIdentifier* TControlHelp::GetItemIdentifier() const { return &FItem->ID; }

TControlsItem::TControlsItem(const TResourceIdent& name)
    : TTestItem(TResourceIdent::FromOrdinal(RT_DIALOG), name),
      Controls(std::make_unique<TResourceItemItems<TControlsItem, TControlItem>>(this))
{
}

class Elements : public ::testing::Test {
protected:
    void SetUp() override
    {
        Module.SetDeferDefaultSymbols(true);
        Dialog = new TControlsItem(Ord(101));
        Module.Items()->Add(Dialog);
    }
    void TearDown() override
    {
        // Controls go before the item whose symbols they may hold.
        Dialog->Controls.reset();
    }
    TResourceModule Module;
    TControlsItem* Dialog = nullptr;
};
} // namespace

TEST_F(Elements, GeneratedHelpIDs)
{
    TControlItem* control = Dialog->Controls->Add();
    control->ID.SetOrdinal(1000);
    EXPECT_EQ(control->HelpID.GeneratedID(), 0x806503E8u);
    auto* menu = new TControlsItem(Ord(200));
    Module.Items()->Add(menu);
    TControlItem* entry = menu->Controls->Add();
    entry->ID.SetOrdinal(40001);
    EXPECT_EQ(entry->HelpID.GeneratedID(), 0x80C89C41u);
    menu->Controls.reset();
}

TEST_F(Elements, GeneratingCreatesOneSymbolInTheHelpFile)
{
    TControlItem* control = Dialog->Controls->Add();
    control->ID.SetOrdinal(1001);
    control->HelpID.SetGenerate(true);
    control->HelpID.SetGenerate(true);
    TResourceSymbol* help = Module.Symbols()->Find("H1001");
    ASSERT_TRUE(help);
    EXPECT_EQ(help->LiteralValue(), "0x806503E9");
    EXPECT_EQ(control->HelpID.Symbol(), help);
    ASSERT_TRUE(Module.SymbolFile()->HelpFile());
    EXPECT_EQ(Module.SymbolFile()->HelpFile()->Filename(), "include.hm");
    EXPECT_EQ(help->SourceFile(), Module.SymbolFile()->HelpFile());

    // A second control bound to IDC_OK reuses an existing help symbol.
    TResourceSymbol* idcOk = Module.Symbols()->Add("IDC_OK");
    idcOk->SetLiteralValue("1");
    TResourceSymbol* existing = Module.Symbols()->Add("HIDC_OK");
    existing->SetLiteralValue("0x80650001");
    const int symbols = Module.Symbols()->Count();
    TControlItem* ok = Dialog->Controls->Add();
    ok->ID.SetSymbol(idcOk);
    ok->HelpID.SetGenerate(true);
    EXPECT_EQ(ok->HelpID.Symbol(), existing);
    EXPECT_EQ(Module.Symbols()->Count(), symbols);

    // Binding to another symbol turns generation off.
    ok->HelpID.SetSymbol(help);
    EXPECT_FALSE(ok->HelpID.Generate());
}

TEST_F(Elements, HelpFileIsNamedAfterTheModule)
{
    Module.SetFilename("/projects/app.rc");
    TControlItem* control = Dialog->Controls->Add();
    control->ID.SetOrdinal(5);
    control->HelpID.SetGenerate(true);
    EXPECT_EQ(Module.SymbolFile()->HelpFile()->Filename(), "app.hm");
}

TEST_F(Elements, NamedItemsCannotGenerate)
{
    Dialog->SetName(TResourceIdent("NAMED"));
    TControlItem* control = Dialog->Controls->Add();
    control->ID.SetOrdinal(5);
    EXPECT_THROW(control->HelpID.SetGenerate(true), EInvalidOperation);
    EXPECT_EQ(Module.Symbols()->Find("H5"), nullptr) << "no half-made symbol is left";
    EXPECT_EQ(control->HelpID.Symbol(), nullptr);
    EXPECT_FALSE(control->HelpID.Generate()) << "a failed generation leaves the flag off";
    Dialog->SetName(TResourceIdent::FromOrdinal(101));
    control->HelpID.SetGenerate(true);
    EXPECT_TRUE(control->HelpID.Generate()) << "so that asking again generates";
    ASSERT_TRUE(control->HelpID.Symbol());
    EXPECT_EQ(control->HelpID.Symbol()->Symbol(), "H5");
}

TEST_F(Elements, EnumerationVisitsElementsUntilStopped)
{
    for (int i = 0; i < 3; ++i) Dialog->Controls->Add();
    std::vector<QObject*> seen;
    EXPECT_TRUE(Dialog->Controls->EnumerateItems(nullptr, [&](TCustomResourceItem* item, QObject* element, void*, bool&) {
        EXPECT_EQ(item, Dialog);
        seen.push_back(element);
    }));
    EXPECT_EQ(seen.size(), 3u);
    Dialog->Controls->Items(1)->StopBelow = true;
    seen.clear();
    EXPECT_FALSE(Dialog->Controls->EnumerateItems(nullptr, [&](TCustomResourceItem*, QObject* e, void*, bool&) { seen.push_back(e); }));
    EXPECT_EQ(seen.size(), 2u) << "an element's own walk can stop the whole walk";
    EXPECT_FALSE(Dialog->Controls->EnumerateItems(nullptr, nullptr));
}

TEST_F(Elements, MovesAndDeletesAreChanges)
{
    for (int i = 0; i < 3; ++i) Dialog->Controls->Add();
    TControlItem* first = Dialog->Controls->Items(0);
    TRecorder recorder;
    Dialog->Subscribe(&recorder);
    recorder.Events.clear();
    Dialog->Controls->Move(0, 2);
    EXPECT_EQ(Dialog->Controls->Items(2), first);
    EXPECT_EQ(first->Index(), 2);
    Dialog->Controls->Delete(0);
    EXPECT_EQ(recorder.Count(rnChanged), 2);
    EXPECT_THROW(Dialog->Controls->Delete(5), EListError);
    Dialog->Unsubscribe(&recorder);
}
