// The property layer on real resource items: collections, nested objects and flag sets of the model.
#include "RttiFixtures.h"
#include "kinds/koResourceItemDialog.h"
#include "model/koResourcesItemItems.h"

#include <gtest/gtest.h>

using namespace DialogTypes;

TEST(RttiResourceItem, DialogShowsItsCollectionFontAndStyleSets)
{
    TDialogResourceItem dialog;
    dialog.Items()->Add();
    dialog.Items()->Add();
    TRefinedPropertyList list;
    list.SetInstance(&dialog);

    auto* items = dynamic_cast<TRunTimeCollectionProperty*>(list.PropertyByName(QStringLiteral("Items")));
    ASSERT_TRUE(items);
    EXPECT_EQ(items->GetVisualValue(), QStringLiteral("(list)"));
    EXPECT_TRUE(items->ReadOnly());
    // Editors reach the collection through its registered base.
    TCustomResourceItemItems* collection = items->AsObject().As<TCustomResourceItemItems>();
    ASSERT_EQ(collection, dialog.Items());
    EXPECT_EQ(collection->Count(), 2);

    TRunTimeProperty* fontName = list.PropertyByName(QStringLiteral("Font.Name"));
    ASSERT_TRUE(fontName);
    fontName->SetValue(QStringLiteral("Segoe UI"));
    EXPECT_EQ(dialog.Font()->Name(), QStringLiteral("Segoe UI"));

    // Shown under the item's own caption. The window style's keys start at bit 16: the elements are
    // named after their bits.
    EXPECT_EQ(list.PropertyByName(QStringLiteral("WindowStyle")), nullptr);
    TRunTimeProperty* style = list.PropertyByName(QStringLiteral("Window Style"));
    ASSERT_TRUE(style);
    EXPECT_EQ(style->TypeName(), QStringLiteral("TWindowStyle"));
    EXPECT_EQ(style->TypeKind(), int(tkSet));
    ASSERT_TRUE(style->Properties());
    EXPECT_EQ(style->Properties()->Items(0)->Name(), QStringLiteral("ws_MaximizeBox"));
    const uint32_t before = uint32_t(dialog.WindowStyle());
    list.PropertyByName(QStringLiteral("window style.WS_POPUP"))->SetValue(QStringLiteral("True"));
    EXPECT_EQ(uint32_t(dialog.WindowStyle()), before | uint32_t(ws_Popup));
    EXPECT_TRUE(style->GetValue().contains(QStringLiteral("ws_Popup")));
    style->SetValue(QStringLiteral("[ws_Child,ws_Visible]"));
    EXPECT_EQ(uint32_t(dialog.WindowStyle()), uint32_t(ws_Child | ws_Visible));
}
