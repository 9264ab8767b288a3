#include "kinds/koResourceItemDelphiStuff.h"
#include "kinds/koResourceItemRcData.h"
#include "model/LogCapture.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"
#include "platform/PublishedProperties.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }
TResourceIdent Name(const char* n) { return TResourceIdent(QString::fromLatin1(n)); }

QByteArray Utf16(const QString& text) { return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2); }

// Little-endian package-information fields.
class TPackageInfoBytes {
public:
    TPackageInfoBytes& U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i) FBytes.append(char((v >> (8 * i)) & 0xFF));
        return *this;
    }
    TPackageInfoBytes& U8(uint8_t v)
    {
        FBytes.append(char(v));
        return *this;
    }
    TPackageInfoBytes& Z(const QByteArray& name)
    {
        FBytes.append(name).append('\0');
        return *this;
    }
    QByteArray Bytes() const { return FBytes; }

private:
    QByteArray FBytes;
};

// Two required packages, three units, and the package's own name when the flags have bit 30.
QByteArray FullPackageInfo(uint32_t flags = 0x40000000 | 0x12)
{
    return TPackageInfoBytes()
        .U32(flags)
        .U32(2)
        .U8(7).Z("rtl")
        .U8(7).Z("vcl")
        .U32(3)
        .U8(0x11).U8(0).Z("MainUnit")
        .U8(0x00).U8(0).Z("Helpers")
        .U8(0xE2).U8(0).Z("\xC3\x9C" "bung") // bits above 4 are no flags; the name is UTF-8
        .U8(0)
        .Z("MyPackage")
        .Bytes();
}

QStringList RequiresNames(const TDelphiPackageInfoResourceItem& item)
{
    QStringList names;
    for (int i = 0; i < item.Requires()->Count(); ++i) names.append(item.Requires()->Items(i)->DisplayName());
    return names;
}

QStringList ContainsNames(const TDelphiPackageInfoResourceItem& item)
{
    QStringList names;
    for (int i = 0; i < item.Contains()->Count(); ++i) names.append(item.Contains()->Items(i)->DisplayName());
    return names;
}

QByteArray Saved(TCustomResourceItem& item)
{
    TMemoryStream out;
    item.SaveToStream(out);
    return out.ToByteArray();
}

void Load(TCustomResourceItem& item, const QByteArray& bytes)
{
    TBytesStream in(bytes);
    item.LoadFromStream(in, in.Size());
}

// A RES file of RT_RCDATA resources with the given names, language 0x0409.
QByteArray RcDataResFile(const QList<std::pair<QString, QByteArray>>& resources)
{
    TMemoryStream s;
    auto record = [&](const QString* name, const QByteArray& bytes) {
        QByteArray header;
        TMemoryStream h;
        h.WriteWord(0xFFFF);
        h.WriteWord(name ? RT_RCDATA : 0);
        if (name) {
            h.WriteBytes(Utf16(*name));
            h.WriteWord(0);
        } else {
            h.WriteWord(0xFFFF);
            h.WriteWord(0);
        }
        while (h.Size() % 4) h.WriteByte(0);
        h.WriteDWord(0);
        h.WriteWord(name ? 0x0030 : 0);
        h.WriteWord(name ? 0x0409 : 0);
        h.WriteDWord(0);
        h.WriteDWord(0);
        s.WriteDWord(uint32_t(bytes.size()));
        s.WriteDWord(uint32_t(8 + h.Size()));
        s.WriteBytes(h.ToByteArray());
        s.WriteBytes(bytes);
        while (s.Size() % 4) s.WriteByte(0);
    };
    record(nullptr, {});
    for (const auto& [name, bytes] : resources) record(&name, bytes);
    return s.ToByteArray();
}

class PackageKinds : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemRcData_Initialize();
        koResourceItemDelphiStuff_Initialize();
        koResourceModuleRes_Initialize();
    }
    void TearDown() override
    {
        koResourceModuleRes_Finalize();
        koResourceItemDelphiStuff_Finalize();
        koResourceItemRcData_Finalize();
        koResourcesKinds_Finalize();
    }
};
} // namespace

TEST_F(PackageKinds, ResourcesFindTheirKinds)
{
    const QByteArray marker(16, '\x01');
    struct {
        TResourceIdent type;
        TResourceIdent name;
        QByteArray data;
        TResourceItemClass kind;
    } cases[] = {
        {Ord(RT_RCDATA), Name("PACKAGEINFO"), FullPackageInfo(), TDelphiPackageInfoResourceItem::ClassInfo()},
        {Ord(RT_RCDATA), Name("PackageInfo"), FullPackageInfo(), TDelphiPackageInfoResourceItem::ClassInfo()},
        {Name("CUSTOM"), Name("PACKAGEINFO"), FullPackageInfo(), TResourceItemGeneric::ClassInfo()},
        {Ord(RT_RCDATA), Name("DESCRIPTION"), Utf16(QStringLiteral("My components")), TDelphiPackageDescriptionResourceItem::ClassInfo()},
        {Ord(RT_RCDATA), Name("Description"), Utf16(QStringLiteral("Mine")), TDelphiPackageDescriptionResourceItem::ClassInfo()},
        // Control characters fail the text test: the next kind takes it.
        {Ord(RT_RCDATA), Name("DESCRIPTION"), Utf16(QStringLiteral("two\r\nlines")), TRcDataResourceItem::ClassInfo()},
        {Ord(RT_RCDATA), Name("DESCRIPTION"), "ansi text", TRcDataResourceItem::ClassInfo()},
        {Ord(RT_RCDATA), Name("PACKAGEOPTIONS"), "\x01\x02", TDelphiPackageOptionsResourceItem::ClassInfo()},
        {Ord(RT_RCDATA), Name("packageoptions"), "\x01\x02", TDelphiPackageOptionsResourceItem::ClassInfo()},
        {Ord(RT_RCDATA), Name("TFORM1"), "TPF0\x06TForm1", TDelphiFormResourceItem::ClassInfo()},
        {Ord(RT_RCDATA), Ord(100), "TPF0\x06TForm1", TDelphiFormResourceItem::ClassInfo()},
        {Ord(RT_RCDATA), Name("TFORM1"), "TPF1\x06TForm1", TRcDataResourceItem::ClassInfo()},
        {Ord(RT_RCDATA), Name("DVCLAL"), marker, TDelphiDVCLALResourceItem::ClassInfo()},
        {Ord(RT_RCDATA), Name("dvclal"), marker, TRcDataResourceItem::ClassInfo()},
        {Ord(RT_RCDATA), Name("DVCLAL2"), marker, TRcDataResourceItem::ClassInfo()},
    };
    for (const auto& c : cases) {
        TBytesStream data(c.data);
        const TResourceItemClass kind = ResourceItemDatabase()->Find(c.type, c.name, &data);
        EXPECT_EQ(kind, c.kind) << c.name.toStdString() << ": " << (kind ? kind->ClassName().toStdString() : "none");
        EXPECT_EQ(data.Position(), 0);
    }
    // Without data no name is enough.
    EXPECT_FALSE(TDelphiPackageInfoResourceItem::Handles(Ord(RT_RCDATA), Name("PACKAGEINFO"), nullptr));
    EXPECT_FALSE(TDelphiPackageOptionsResourceItem::Handles(Ord(RT_RCDATA), Name("PACKAGEOPTIONS"), nullptr));
    EXPECT_FALSE(TDelphiDVCLALResourceItem::Handles(Ord(RT_RCDATA), Name("DVCLAL"), nullptr));
}

TEST_F(PackageKinds, PackageInfoDecodesRequiresContainsAndName)
{
    TDelphiPackageInfoResourceItem item(Name("PACKAGEINFO"));
    const QByteArray bytes = FullPackageInfo();
    Load(item, bytes);
    EXPECT_EQ(item.PackageFlags(), 0x40000012u);
    EXPECT_EQ(RequiresNames(item), QStringList({"rtl", "vcl"}));
    EXPECT_EQ(ContainsNames(item), QStringList({"MainUnit [ufMain,ufImplicit]", "Helpers", QStringLiteral("Übung [ufPackage]")}));
    EXPECT_EQ(item.Contains()->Items(0)->Flags(), TPackageInfoUnitFlags(DelphiTypes::ufMain | DelphiTypes::ufImplicit));
    EXPECT_EQ(item.Contains()->Items(2)->Flags(), TPackageInfoUnitFlags(DelphiTypes::ufPackage));
    EXPECT_EQ(item.PackageName(), QStringLiteral("MyPackage"));
    EXPECT_EQ(Saved(item), bytes);

    item.Clear();
    EXPECT_EQ(item.PackageName(), QString());
    EXPECT_EQ(item.PackageFlags(), 0u);
    EXPECT_EQ(item.Requires()->Count(), 0);
    EXPECT_EQ(item.Contains()->Count(), 0);
    EXPECT_EQ(Saved(item), QByteArray());
}

TEST_F(PackageKinds, PackageNameOnlyWithItsFlagAndNeverRequired)
{
    const QByteArray units = TPackageInfoBytes().U32(0).U32(1).U8(0).U8(0).Z("A").Bytes();
    struct {
        const char* what;
        QByteArray bytes;
        QString name;
    } cases[] = {
        {"no flag, name present", FullPackageInfo(0x12), QString()},
        {"flag, nothing after the units", TPackageInfoBytes().U32(0x40000000).U32(0).U32(1).U8(0).U8(0).Z("A").Bytes(), QString()},
        {"flag, only the ignored byte", TPackageInfoBytes().U32(0x40000000).U32(0).U32(0).U8(0).Bytes(), QString()},
        {"flag, name without its zero", TPackageInfoBytes().U32(0x40000000).U32(0).U32(0).U8(0).Bytes() + "Pkg", "Pkg"},
    };
    for (const auto& c : cases) {
        TDelphiPackageInfoResourceItem item(Name("PACKAGEINFO"));
        EXPECT_NO_THROW(Load(item, c.bytes)) << c.what;
        EXPECT_EQ(item.PackageName(), c.name) << c.what;
    }
    // A name keeps at most 256 bytes; nothing is read past the data.
    TDelphiPackageInfoResourceItem item(Name("PACKAGEINFO"));
    Load(item, TPackageInfoBytes().U32(0x40000000).U32(0).U32(0).U8(0).Bytes() + QByteArray(300, 'x'));
    EXPECT_EQ(item.PackageName(), QString(256, 'x'));
}

TEST_F(PackageKinds, PackageInfoCutShortRaisesAndKeepsWhatWasRead)
{
    const QByteArray oneEach = TPackageInfoBytes().U32(0).U32(2).U8(0).Z("rtl").Bytes();
    struct {
        const char* what;
        QByteArray bytes;
        int required, contained;
    } cases[] = {
        {"flags cut", QByteArray("\x00\x00", 2), 0, 0},
        {"requires count cut", TPackageInfoBytes().U32(0).Bytes() + QByteArray(3, '\0'), 0, 0},
        {"second package missing", oneEach, 1, 0},
        {"name missing after its byte", oneEach + QByteArray(1, '\x07'), 1, 0},
        {"contains count missing", TPackageInfoBytes().U32(0).U32(1).U8(0).Z("rtl").Bytes(), 1, 0},
        {"unit cut after its flags", TPackageInfoBytes().U32(0).U32(0).U32(2).U8(1).U8(0).Z("A").U8(1).U8(0).Bytes(), 0, 1},
        {"huge count", TPackageInfoBytes().U32(0).U32(0xFFFFFFFF).U8(0).Z("rtl").Bytes(), 1, 0},
    };
    for (const auto& c : cases) {
        TDelphiPackageInfoResourceItem item(Name("PACKAGEINFO"));
        try {
            Load(item, c.bytes);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Premature end of data")) << c.what;
        }
        EXPECT_EQ(item.Requires()->Count(), c.required) << c.what;
        EXPECT_EQ(item.Contains()->Count(), c.contained) << c.what;
        // The bytes are kept whatever the decoding found.
        EXPECT_EQ(Saved(item), c.bytes) << c.what;
    }
}

TEST_F(PackageKinds, EditionMarkerNeedsSixteenBytes)
{
    struct {
        int size;
        TDelphiLicense license;
    } cases[] = {{0, DelphiTypes::dlInvalid}, {15, DelphiTypes::dlInvalid}, {16, DelphiTypes::dlUnknown}, {17, DelphiTypes::dlInvalid}};
    for (const auto& c : cases) {
        TDelphiDVCLALResourceItem item(Name("DVCLAL"));
        const QByteArray bytes(c.size, '\x5A');
        Load(item, bytes);
        EXPECT_EQ(item.License(), c.license) << c.size;
        EXPECT_EQ(Saved(item), bytes);
        item.Clear();
        EXPECT_EQ(item.License(), DelphiTypes::dlInvalid);
    }
}

TEST_F(PackageKinds, ModuleLoadsEachKindAndSavesItsBytes)
{
    const QList<std::pair<QString, QByteArray>> resources = {
        {"PACKAGEINFO", FullPackageInfo()},
        {"DESCRIPTION", Utf16(QStringLiteral("Sample components")) + QByteArray(2, '\0')},
        {"PACKAGEOPTIONS", QByteArray("\x03\x00\x00\x00", 4)},
        {"TFORMMAIN", QByteArray("TPF0\x09TFormMain\x08" "FormMain\x00\x00", 24)},
        {"DVCLAL", QByteArray(16, '\x11')},
    };
    TBytesStream res(RcDataResFile(resources));
    auto module = TResourceModuleReaderRes().LoadFromStream(res);
    ASSERT_EQ(module->Items()->Count(), resources.size());
    const TResourceItemClass kinds[] = {
        TDelphiPackageInfoResourceItem::ClassInfo(), TDelphiPackageDescriptionResourceItem::ClassInfo(),
        TDelphiPackageOptionsResourceItem::ClassInfo(), TDelphiFormResourceItem::ClassInfo(),
        TDelphiDVCLALResourceItem::ClassInfo()};
    const char* typeNames[] = {"Delphi Package Info", "Delphi Package Description", "Delphi Package Description",
                               "Delphi Form", "Delphi Access License"};
    for (int i = 0; i < resources.size(); ++i) {
        TCustomResourceItem* item = module->Find(Ord(RT_RCDATA), Name(resources[i].first.toLatin1()));
        ASSERT_NE(item, nullptr) << resources[i].first.toStdString();
        EXPECT_EQ(item->ClassType(), kinds[i]) << resources[i].first.toStdString();
        EXPECT_EQ(item->ClassType()->ResourceTypeName(), QString::fromLatin1(typeNames[i]));
        EXPECT_EQ(Saved(*item), resources[i].second) << resources[i].first.toStdString();
    }
    auto* info = qobject_cast<TDelphiPackageInfoResourceItem*>(module->Find(Ord(RT_RCDATA), Name("PACKAGEINFO")));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->PackageName(), QStringLiteral("MyPackage"));

    // Written out and read again: the same bytes under the same kinds.
    TMemoryStream saved;
    TResourceModuleWriterRes().SaveToStream(module.get(), saved, {}, {});
    saved.SetPosition(0);
    auto again = TResourceModuleReaderRes().LoadFromStream(saved);
    for (int i = 0; i < resources.size(); ++i) {
        TCustomResourceItem* item = again->Find(Ord(RT_RCDATA), Name(resources[i].first.toLatin1()));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->ClassType(), kinds[i]);
        EXPECT_EQ(Saved(*item), resources[i].second);
    }
}

TEST_F(PackageKinds, DamagedPackageInfoInAModuleStaysRawData)
{
    const QByteArray damaged = TPackageInfoBytes().U32(0).U32(3).U8(0).Z("rtl").Bytes();
    TBytesStream res(RcDataResFile({{"PACKAGEINFO", damaged}}));
    TLogCapture log;
    auto module = TResourceModuleReaderRes().LoadFromStream(res);
    ASSERT_EQ(module->Items()->Count(), 1);
    TCustomResourceItem* item = module->Items()->Items(0);
    EXPECT_EQ(qobject_cast<TDelphiPackageInfoResourceItem*>(item), nullptr);
    EXPECT_EQ(Saved(*item), damaged);
    EXPECT_TRUE(log.Messages().join('\n').contains(QStringLiteral("Premature end of data"))) << log.Messages().join('\n').toStdString();
}

TEST_F(PackageKinds, DecodedValuesArePublishedReadOnly)
{
    TDelphiPackageInfoResourceItem info(Name("PACKAGEINFO"));
    Load(info, FullPackageInfo());
    QStringList names;
    for (const QMetaProperty& property : PublishedProperties(info.metaObject())) {
        names.append(QString::fromLatin1(property.name()));
        if (property.enclosingMetaObject() == &TDelphiPackageInfoResourceItem::staticMetaObject) {
            EXPECT_FALSE(property.isWritable()) << property.name();
        }
    }
    for (const char* name : {"Requires", "Contains", "PackageName", "PackageFlags"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(name))) << name;

    TDelphiPackageInfoContainsItem* unit = info.Contains()->Items(0);
    const QMetaProperty flags = FindPublishedProperty(unit->metaObject(), "Flags");
    ASSERT_TRUE(flags.isValid());
    EXPECT_FALSE(flags.isWritable());
    EXPECT_EQ(PropertyValueToText(flags, flags.read(unit)), QStringLiteral("ufMain|ufImplicit"));

    TDelphiDVCLALResourceItem marker(Name("DVCLAL"));
    Load(marker, QByteArray(16, '\0'));
    const QMetaProperty license = FindPublishedProperty(marker.metaObject(), "License");
    ASSERT_TRUE(license.isValid());
    EXPECT_EQ(PropertyValueToText(license, license.read(&marker)), QStringLiteral("dlUnknown"));
}
