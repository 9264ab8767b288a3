// The provider: the one road of every read and write, its property lists and class relations.
#include "RttiFixtures.h"

#include <gtest/gtest.h>

namespace {
// Forwards to the native provider and counts the writes it sees.
class TCountingProvider : public TNativeRTTIProvider {
public:
    void SetOrdProp(QObject* Instance, PPropInfo PropInfo, int64_t Value) override
    {
        ++Writes;
        TNativeRTTIProvider::SetOrdProp(Instance, PropInfo, Value);
    }
    void SetStrProp(QObject* Instance, PPropInfo PropInfo, const QString& Value) override
    {
        ++Writes;
        TNativeRTTIProvider::SetStrProp(Instance, PropInfo, Value);
    }
    void SetFloatProp(QObject* Instance, PPropInfo PropInfo, double Value) override
    {
        ++Writes;
        TNativeRTTIProvider::SetFloatProp(Instance, PropInfo, Value);
    }
    int Writes = 0;
};
} // namespace

TEST(RttiProvider, EveryWriteGoesThroughTheProviderInUse)
{
    auto counting = std::make_shared<TCountingProvider>();
    auto previous = SetRTTIProvider(counting);
    {
        TSample sample;
        TRefinedPropertyList list;
        list.SetInstance(&sample);
        list.PropertyByName(QStringLiteral("Width"))->SetValue(QStringLiteral("4"));
        list.PropertyByName(QStringLiteral("Font.Name"))->SetValue(QStringLiteral("Arial"));
        list.PropertyByName(QStringLiteral("Style.fsBold"))->SetValue(QStringLiteral("True"));
        list.PropertyByName(QStringLiteral("Ratio"))->SetValue(QStringLiteral("2"));
        list.PropertyByName(QStringLiteral("Align"))->SetValue(QStringLiteral("alTop"));
        EXPECT_EQ(counting->Writes, 5);
        EXPECT_EQ(sample.FFont.FName.Value, QStringLiteral("Arial"));
    }
    SetRTTIProvider(previous);
}

TEST(RttiProvider, PropListFiltersByKindAndEnumNamesReadBack)
{
    IRunTimeRTTIProvider* provider = RTTIProvider();
    std::vector<PPropInfo> props;
    const int count = provider->GetPropList(ClassTypeInfo(&TSample::staticMetaObject), TTypeKinds{tkFloat}, props);
    ASSERT_EQ(count, 5);
    QStringList names;
    for (PPropInfo p : props) names.append(p->Name);
    EXPECT_EQ(names, (QStringList{"Date", "Ratio", "Scale", "Stamp", "Time"}));
    EXPECT_EQ(provider->GetPropList(nullptr, AllTypeKinds(), props), 0);

    PTypeInfo align = TypeInfo<RttiFixture::TAlign>();
    EXPECT_EQ(provider->GetEnumValue(align, QStringLiteral("alright")), 4);
    EXPECT_EQ(provider->GetEnumValue(align, QStringLiteral("alMiddle")), -1);
    QString name;
    provider->GetEnumName(align, 5, name);
    EXPECT_EQ(name, QStringLiteral("alClient"));
    EXPECT_EQ(StripTypePrefix(QStringLiteral("TBitmap")), QStringLiteral("Bitmap"));
    EXPECT_EQ(StripTypePrefix(QStringLiteral("Bitmap")), QStringLiteral("Bitmap"));
}

TEST(RttiProvider, ClassRelationHoldsInEitherDirection)
{
    IRunTimeRTTIProvider* provider = RTTIProvider();
    TSample sample;
    TRunTimePropertyList list;
    list.SetInstance(&sample);
    PPropInfo peer = list.PropertyByName(QStringLiteral("Peer"))->PropInfo();   // TSample*
    PPropInfo link = list.PropertyByName(QStringLiteral("Link"))->PropInfo();   // QObject*
    PPropInfo width = list.PropertyByName(QStringLiteral("Width"))->PropInfo(); // no class
    PTypeInfo qobject = ClassTypeInfo(&QObject::staticMetaObject);
    PTypeInfo sampleClass = ClassTypeInfo(&TSample::staticMetaObject);
    PTypeInfo fontClass = ClassTypeInfo(&TSampleFont::staticMetaObject);
    EXPECT_TRUE(provider->InheritsFromClass(peer, qobject));
    EXPECT_TRUE(provider->InheritsFromClass(link, sampleClass));
    EXPECT_FALSE(provider->InheritsFromClass(peer, fontClass));
    EXPECT_FALSE(provider->InheritsFromClass(width, qobject));
    EXPECT_FALSE(provider->InheritsFromClass(nullptr, qobject));
    EXPECT_TRUE(list.PropertyByName(QStringLiteral("Peer"))->IsCompatible(&sample));
    TSampleFont font;
    EXPECT_FALSE(list.PropertyByName(QStringLiteral("Peer"))->IsCompatible(&font));
}
