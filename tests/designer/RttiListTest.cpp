// Property lists of live objects: names, classes, sub-properties, the cycle guard, paths, Intersect.
#include "RttiFixtures.h"

#include <gtest/gtest.h>

namespace {
QStringList NamesOf(const TRunTimePropertyList* list)
{
    QStringList names;
    for (int i = 0; i < list->Count(); ++i) names.append(list->Items(i)->Name());
    return names;
}
} // namespace

TEST(RttiList, ObjectWithoutPublishedPropertiesGivesEmptyList)
{
    QObject plain;
    TRunTimePropertyList list;
    list.SetInstance(&plain);
    EXPECT_EQ(list.Count(), 0);
}

TEST(RttiList, PropertiesAreSortedByNameIgnoringCase)
{
    TSample sample;
    TRefinedPropertyList list;
    list.SetInstance(&sample);
    const QStringList names = NamesOf(&list);
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    EXPECT_EQ(names, sorted);
    EXPECT_EQ(names.first(), QStringLiteral("Align"));
    // QObject's own objectName is no published property.
    EXPECT_EQ(list.IndexOfName(QStringLiteral("objectName")), -1);
    EXPECT_EQ(names.size(), 29);
}

TEST(RttiList, EachTypeGetsItsPropertyClass)
{
    TSample sample;
    TRefinedPropertyList refined;
    refined.SetInstance(&sample);
    TRunTimePropertyList plain;
    plain.SetInstance(&sample);
    struct Case {
        const char* Name;
        const char* Refined;
        const char* Plain;
    };
    const Case cases[] = {
        {"Width", "TRunTimeIntegerProperty", "TRunTimeIntegerProperty"},
        {"Color", "TRunTimeColorProperty", "TRunTimeIntegerProperty"},
        {"Cursor", "TRunTimeCursorProperty", "TRunTimeIntegerProperty"},
        {"Charset", "TRunTimeFontCharSetProperty", "TRunTimeIntegerProperty"},
        {"ModalResult", "TRunTimeModalResultProperty", "TRunTimeIntegerProperty"},
        {"ShortCut", "TRunTimeShortCutProperty", "TRunTimeIntegerProperty"},
        {"Letter", "TRunTimeCharProperty", "TRunTimeCharProperty"},
        {"Align", "TRunTimeEnumProperty", "TRunTimeEnumProperty"},
        {"Enabled", "TRunTimeBooleanProperty", "TRunTimeEnumProperty"},
        {"Style", "TRunTimeSetProperty", "TRunTimeSetProperty"},
        {"Hint", "TRunTimeStringProperty", "TRunTimeStringProperty"},
        {"Caption", "TRunTimeCaptionProperty", "TRunTimeStringProperty"},
        {"Ratio", "TRunTimeFloatProperty", "TRunTimeFloatProperty"},
        {"Date", "TRunTimeDateProperty", "TRunTimeFloatProperty"},
        {"Time", "TRunTimeTimeProperty", "TRunTimeFloatProperty"},
        {"Stamp", "TRunTimeDateTimeProperty", "TRunTimeFloatProperty"},
        {"Tag", "TRunTimeVariantProperty", "TRunTimeVariantProperty"},
        {"Big", "TRunTimeInt64Property", "TRunTimeInt64Property"},
        {"Font", "TRunTimeClassProperty", "TRunTimeClassProperty"},
        {"Font.Name", "TRunTimeFontNameProperty", "TRunTimeStringProperty"},
        // Declared as a common ancestor of components: taken as a component property.
        {"Link", "TRunTimeComponentProperty", "TRunTimeClassProperty"},
        // Declared as the picture base: the first picture class that relates, the bitmap.
        {"Picture", "TRunTimeBitmapProperty", "TRunTimeClassProperty"},
        {"OnClick", "TRunTimeMethodProperty", "TRunTimeMethodProperty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TRunTimeProperty* r = refined.PropertyByName(QString::fromLatin1(c.Name));
        TRunTimeProperty* p = plain.PropertyByName(QString::fromLatin1(c.Name));
        ASSERT_TRUE(r && p);
        EXPECT_EQ(r->ClassType()->ClassName(), QLatin1String(c.Refined));
        EXPECT_EQ(p->ClassType()->ClassName(), QLatin1String(c.Plain));
    }
    EXPECT_TRUE(refined.PropertyByName(QStringLiteral("Enabled"))->ClassType()->InheritsFrom(TRunTimeEnumProperty::ClassInfo()));
}

TEST(RttiList, PropertyFacts)
{
    TSample sample;
    TRefinedPropertyList list;
    list.SetInstance(&sample);
    TRunTimeProperty* fixed = list.PropertyByName(QStringLiteral("Fixed"));
    TRunTimeProperty* width = list.PropertyByName(QStringLiteral("Width"));
    TRunTimeProperty* fontSize = list.PropertyByName(QStringLiteral("Font.Size"));
    ASSERT_TRUE(fixed && width && fontSize);
    EXPECT_TRUE(fixed->ReadOnly());
    EXPECT_FALSE(width->ReadOnly());
    EXPECT_EQ(width->TypeName(), QStringLiteral("Integer"));
    EXPECT_EQ(width->TypeKind(), int(tkInteger));
    EXPECT_EQ(width->Level(), 0);
    EXPECT_EQ(fontSize->Level(), 1);
    EXPECT_EQ(fontSize->FullName(), QStringLiteral("Font.Size"));
    EXPECT_EQ(fontSize->Parent(), list.PropertyByName(QStringLiteral("Font")));
    EXPECT_EQ(fontSize->Owner()->Root(), &list);
    EXPECT_EQ(fontSize->Instance(), &sample.FFont);
    EXPECT_TRUE(width->IsType(TypeInfo<int>()));
    // One type per declared type, however it is reached: identity is what Intersect compares.
    TRunTimeProperty* style = list.PropertyByName(QStringLiteral("Style"));
    EXPECT_EQ(style->PropType(), list.PropertyByName(QStringLiteral("Font.Style"))->PropType());
    EXPECT_EQ(style->PropType(), TypeInfo<RttiFixture::TFontStyles>());
    EXPECT_EQ(list.PropertyByName(QStringLiteral("Align"))->PropType(), TypeInfo<RttiFixture::TAlign>());
    EXPECT_TRUE(width->IsCompatible(fontSize));
    EXPECT_FALSE(width->IsCompatible(list.PropertyByName(QStringLiteral("Color"))));
}

TEST(RttiList, SetElementsAreSubPropertiesReadingAndWritingTheirBit)
{
    TSample sample;
    TRefinedPropertyList list;
    list.SetInstance(&sample);
    auto* style = dynamic_cast<TRunTimeSetProperty*>(list.PropertyByName(QStringLiteral("Style")));
    ASSERT_TRUE(style && style->Properties());
    EXPECT_EQ(NamesOf(style->Properties()), (QStringList{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}));

    // The third element stands for bit 2.
    TRunTimeProperty* underline = style->Properties()->Items(2);
    EXPECT_EQ(underline->FullName(), QStringLiteral("Style.fsUnderline"));
    EXPECT_EQ(underline->TypeName(), QStringLiteral("Boolean"));
    EXPECT_EQ(underline->GetValue(), QStringLiteral("False"));
    sample.FStyle = RttiFixture::fsUnderline;
    EXPECT_EQ(underline->GetValue(), QStringLiteral("True"));

    list.PropertyByName(QStringLiteral("Style.fsBold"))->SetValue(QStringLiteral("true"));
    EXPECT_EQ(sample.FStyle, RttiFixture::fsUnderline | RttiFixture::fsBold);
    underline->SetValue(QStringLiteral("False"));
    EXPECT_EQ(sample.FStyle, RttiFixture::TFontStyles(RttiFixture::fsBold));
    EXPECT_EQ(style->GetValue(), QStringLiteral("[fsBold]"));
    // A text that is no Boolean is refused and changes nothing.
    EXPECT_THROW(underline->SetValue(QStringLiteral("yes")), EPropertyError);
    EXPECT_EQ(sample.FStyle, RttiFixture::TFontStyles(RttiFixture::fsBold));
}

TEST(RttiList, ObjectPropertiesHaveTheObjectsPropertiesAsSubProperties)
{
    TSample sample;
    TRefinedPropertyList list;
    list.SetInstance(&sample);
    TRunTimeProperty* font = list.PropertyByName(QStringLiteral("Font"));
    ASSERT_TRUE(font && font->Properties());
    EXPECT_EQ(NamesOf(font->Properties()), (QStringList{"Color", "Name", "Size", "Style"}));
    EXPECT_EQ(list.PropertyByName(QStringLiteral("Font.Style.fsItalic"))->Level(), 2);
}

TEST(RttiList, CycleGuardStopsAtAnObjectAlreadyAbove)
{
    TSample a, b;
    {
        a.FPeer = &a;
        TRefinedPropertyList list;
        list.SetInstance(&a);
        TRunTimeProperty* peer = list.PropertyByName(QStringLiteral("Peer"));
        ASSERT_TRUE(peer);
        EXPECT_EQ(peer->Properties(), nullptr);
    }
    {
        a.FPeer = &b;
        b.FPeer = &a;
        TRefinedPropertyList list;
        list.SetInstance(&a);
        TRunTimeProperty* peer = list.PropertyByName(QStringLiteral("Peer"));
        ASSERT_TRUE(peer && peer->Properties());
        EXPECT_EQ(peer->Properties()->Instance(), &b);
        TRunTimeProperty* back = list.PropertyByName(QStringLiteral("Peer.Peer"));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->Properties(), nullptr);
        // B's own font still opens: only objects above stop the walk.
        EXPECT_NE(list.PropertyByName(QStringLiteral("Peer.Font.Name")), nullptr);
    }
}

TEST(RttiList, DottedPathsFollowDisplayedNamesIgnoringCase)
{
    TSample sample;
    TRefinedPropertyList list;
    list.SetInstance(&sample);
    struct Case {
        const char* Path;
        const char* FullName; // nullptr: not found
    };
    const Case cases[] = {
        {"Font.Name", "Font.Name"},
        {"font.NAME", "Font.Name"},
        {"Font.Style.fsBold", "Font.Style.fsBold"},
        {"Font.Nothing", nullptr},
        {"Nothing.Name", nullptr},
        {"Width.Name", nullptr},
        {"", nullptr},
        {"Font.", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Path);
        TRunTimeProperty* p = list.PropertyByName(QString::fromLatin1(c.Path));
        if (!c.FullName) {
            EXPECT_EQ(p, nullptr);
        } else {
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p->FullName(), QLatin1String(c.FullName));
        }
    }
}

TEST(RttiList, IntersectKeepsSameNameAndSameType)
{
    TSample sample;
    TOtherSample other;
    TRefinedPropertyList list, otherList;
    list.SetInstance(&sample);
    otherList.SetInstance(&other);
    list.Intersect(&otherList);
    // Color is an Integer on the other class, not a TColor.
    EXPECT_EQ(NamesOf(&list), (QStringList{"Hint", "Width"}));
    // Sub-lists keep the first instance's structure.
    EXPECT_EQ(list.PropertyByName(QStringLiteral("Width"))->Instance(), &sample);
}

TEST(RttiList, MappedNamesShowAndTakePartInPathsAndIntersect)
{
    TMappedSample text(QStringLiteral("Text")), text2(QStringLiteral("Text")), icon(QStringLiteral("Icon"));
    TRefinedPropertyList a, b, c;
    a.SetInstance(&text);
    b.SetInstance(&text2);
    c.SetInstance(&icon);
    EXPECT_EQ(NamesOf(&a), (QStringList{"Text", "Width"}));
    EXPECT_NE(a.PropertyByName(QStringLiteral("Text")), nullptr);
    EXPECT_EQ(a.PropertyByName(QStringLiteral("TextID")), nullptr);
    // Two objects that show TextID under the same name keep the row; under different names they do not.
    a.Intersect(&b);
    EXPECT_EQ(NamesOf(&a), (QStringList{"Text", "Width"}));
    a.Intersect(&c);
    EXPECT_EQ(NamesOf(&a), (QStringList{"Width"}));
}

TEST(RttiList, InstanceDestroyedLeavesEmptyProperties)
{
    auto sample = std::make_unique<TSample>();
    sample->FWidth = 5;
    TRefinedPropertyList list;
    list.SetInstance(sample.get());
    TRunTimeProperty* width = list.PropertyByName(QStringLiteral("Width"));
    EXPECT_EQ(width->GetValue(), QStringLiteral("5"));
    sample.reset();
    EXPECT_TRUE(width->Empty());
    EXPECT_EQ(width->GetValue(), QStringLiteral("Unknown"));
    EXPECT_NO_THROW(width->SetValue(QStringLiteral("3")));
}

TEST(RttiList, DeletePropertyHandsItOver)
{
    TOtherSample other;
    TRunTimePropertyList list;
    list.SetInstance(&other);
    TRunTimeProperty* hint = list.Items(1);
    auto taken = list.DeleteProperty(1);
    EXPECT_EQ(taken.get(), hint);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.IndexOf(hint), -1);
    EXPECT_EQ(list.Items(2), nullptr);
    EXPECT_EQ(list.Items(-1), nullptr);
}

TEST(RttiList, SetBitsWithoutIdentifierSurviveTypedSets)
{
    TSample sample;
    sample.FGaps = RttiFixture::TGaps::fromInt(0x2 | 0x1);
    TRefinedPropertyList list;
    list.SetInstance(&sample);
    TRunTimeProperty* gaps = list.PropertyByName(QStringLiteral("Gaps"));
    ASSERT_TRUE(gaps && gaps->Properties());
    EXPECT_EQ(NamesOf(gaps->Properties()), (QStringList{"gpFirst", "gpThird"}));
    EXPECT_EQ(list.PropertyByName(QStringLiteral("Gaps.gpThird"))->PropType(), TypeInfo<bool>());
    EXPECT_EQ(gaps->GetValue(), QStringLiteral("[gpFirst]"));
    gaps->SetValue(QStringLiteral("[gpThird]"));
    EXPECT_EQ(sample.FGaps.toInt(), 0x2 | 0x4);
    list.PropertyByName(QStringLiteral("Gaps.gpThird"))->SetValue(QStringLiteral("False"));
    EXPECT_EQ(sample.FGaps.toInt(), 0x2);
}
