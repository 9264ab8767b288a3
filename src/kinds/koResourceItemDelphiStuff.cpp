#include "koResourceItemDelphiStuff.h"

#include "koResourceItemString.h"
#include "model/koResources.h"
#include "platform/BinaryReader.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <QMetaEnum>

namespace {
const char* const SPrematureEnd = "Premature end of data";
// Longest name read for one string, its zero included.
constexpr int64_t MaxNameBytes = 256;
constexpr uint32_t PackageNameFlag = 0x40000000;

[[noreturn]] void PrematureEnd() { throw Exception(QString::fromLatin1(SPrematureEnd)); }

bool IsRcData(const TResourceIdent& ResourceType) { return ResourceType == TResourceIdent::FromOrdinal(RT_RCDATA); }

bool IsNamed(const TResourceIdent& ResourceName, const char* Name, Qt::CaseSensitivity Case)
{
    return !IsOrdinalResourceIdent(ResourceName) && ResourceName.compare(QLatin1String(Name), Case) == 0;
}

// Reads the package information from its start; every field must lie inside the data.
class TPackageInfoCursor {
public:
    explicit TPackageInfoCursor(const TBinaryReader& AReader) : FReader(AReader) {}
    bool AtEnd() const { return FPos >= FReader.Size(); }
    uint8_t U8()
    {
        const std::optional<uint8_t> v = FReader.TryU8(FPos);
        if (!v) PrematureEnd();
        ++FPos;
        return *v;
    }
    uint32_t U32()
    {
        const std::optional<uint32_t> v = FReader.TryU32(FPos);
        if (!v) PrematureEnd();
        FPos += 4;
        return *v;
    }
    // Bytes up to a zero (read, not kept), at most MaxNameBytes of them, as UTF-8; the end of the data
    // also ends a name, but a name must have at least one byte.
    QString Name()
    {
        if (AtEnd()) PrematureEnd();
        const int64_t start = FPos;
        const int64_t limit = std::min(FReader.Size(), start + MaxNameBytes);
        while (FPos < limit) {
            if (FReader.Data()[FPos++] == 0) return QString::fromUtf8(FReader.Data() + start, FPos - 1 - start);
        }
        return QString::fromUtf8(FReader.Data() + start, FPos - start);
    }

private:
    const TBinaryReader& FReader;
    int64_t FPos = 0;
};

// The class name stands in for an element without a name, as collections name their items.
QString NameOrClassName(const QString& Name, const QObject* Element)
{
    return Name.isEmpty() ? QString::fromLatin1(Element->metaObject()->className()) : Name;
}
} // namespace

const std::optional<uint32_t> DelphiLicenseMarkers[3] = {std::nullopt, std::nullopt, std::nullopt};

// TDelphiPackageInfoRequiresItem

QString TDelphiPackageInfoRequiresItem::DisplayName() const { return NameOrClassName(FPackageName, this); }

// TDelphiPackageInfoContainsItem

QString TDelphiPackageInfoContainsItem::DisplayName() const
{
    QString result = NameOrClassName(FUnitName, this);
    if (!FFlags) return result;
    const QMetaEnum flags = QMetaEnum::fromType<TPackageInfoUnitFlags>();
    QStringList names;
    for (int i = 0; i < flags.keyCount(); ++i)
        if (FFlags.testFlag(TPackageInfoUnitFlag(flags.value(i)))) names.append(QString::fromLatin1(flags.key(i)));
    return result + QStringLiteral(" [") + names.join(QLatin1Char(',')) + QLatin1Char(']');
}

// TDelphiPackageInfoResourceItem

TDelphiPackageInfoResourceItem::TDelphiPackageInfoResourceItem(const TResourceIdent& AResName)
    : TResourceItemGenericPersistable(TResourceIdent::FromOrdinal(RT_RCDATA), AResName),
      FRequires(std::make_unique<TDelphiPackageInfoRequiresCollection>(this)),
      FContains(std::make_unique<TDelphiPackageInfoContainsCollection>(this))
{
}

TDelphiPackageInfoResourceItem::~TDelphiPackageInfoResourceItem()
{
    LockUpdate();
    FContains.reset();
    FRequires.reset();
}

bool TDelphiPackageInfoResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName,
                                             TStream* Data)
{
    return Data && IsRcData(ResourceType) && IsNamed(ResourceName, "PACKAGEINFO", Qt::CaseInsensitive);
}

TResourceItemGlyphHandle TDelphiPackageInfoResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem) return LoadResourceGlyph(QStringLiteral("RES_PACKAGEINFO_ITEM"), QStringLiteral("delphi.packageinfo.item"));
    return inherited::GetGlyph(Kind);
}

void TDelphiPackageInfoResourceItem::Clear()
{
    TUpdateGuard batch(this);
    inherited::Clear();
    FPackageName.clear();
    FPackageFlags = 0;
    FRequires->Clear();
    FContains->Clear();
}

void TDelphiPackageInfoResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard batch(this);
    inherited::LoadFromStream(Stream, Size);
    const TBinaryReader data(reinterpret_cast<const char*>(Data()->Memory()), Data()->Size());
    TPackageInfoCursor at(data);
    TUpdateGuard requiredBatch(FRequires.get());
    TUpdateGuard containedBatch(FContains.get());
    FPackageFlags = at.U32();
    // Each entry takes at least two bytes, so a count past the data ends at the data.
    const uint32_t requiresCount = at.U32();
    for (uint32_t i = 0; i < requiresCount; ++i) {
        at.U8();
        const QString name = at.Name();
        FRequires->Add()->FPackageName = name;
    }
    const uint32_t containsCount = at.U32();
    for (uint32_t i = 0; i < containsCount; ++i) {
        const uint8_t flags = at.U8();
        at.U8();
        const QString name = at.Name();
        TDelphiPackageInfoContainsItem* unit = FContains->Add();
        unit->FFlags = TPackageInfoUnitFlags::fromInt(flags & 0x1F);
        unit->FUnitName = name;
    }
    if ((FPackageFlags & PackageNameFlag) && !at.AtEnd()) {
        at.U8();
        if (!at.AtEnd()) FPackageName = at.Name();
    }
}

// TDelphiPackageDescriptionResourceItem

TDelphiPackageDescriptionResourceItem::TDelphiPackageDescriptionResourceItem(const TResourceIdent& AResName)
    : TResourceItemGenericPersistable(TResourceIdent::FromOrdinal(RT_RCDATA), AResName)
{
}

bool TDelphiPackageDescriptionResourceItem::Handles(const TResourceIdent& ResourceType,
                                                    const TResourceIdent& ResourceName, TStream* Data)
{
    return Data && IsRcData(ResourceType) && IsNamed(ResourceName, "DESCRIPTION", Qt::CaseInsensitive) &&
           IsUnicodeText(*Data);
}

TResourceItemGlyphHandle TDelphiPackageDescriptionResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem)
        return LoadResourceGlyph(QStringLiteral("RES_PACKAGEDESCRIPTION_ITEM"), QStringLiteral("delphi.description.item"));
    return inherited::GetGlyph(Kind);
}

// TDelphiPackageOptionsResourceItem

TDelphiPackageOptionsResourceItem::TDelphiPackageOptionsResourceItem(const TResourceIdent& AResName)
    : TResourceItemGenericPersistable(TResourceIdent::FromOrdinal(RT_RCDATA), AResName)
{
}

bool TDelphiPackageOptionsResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName,
                                                TStream* Data)
{
    return Data && IsRcData(ResourceType) && IsNamed(ResourceName, "PACKAGEOPTIONS", Qt::CaseInsensitive);
}

TResourceItemGlyphHandle TDelphiPackageOptionsResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem) return LoadResourceGlyph(QStringLiteral("RES_PACKAGEOPTIONS_ITEM"), QStringLiteral("delphi.options.item"));
    return inherited::GetGlyph(Kind);
}

// TDelphiFormResourceItem

TDelphiFormResourceItem::TDelphiFormResourceItem(const TResourceIdent& AResName)
    : TResourceItemGenericPersistable(TResourceIdent::FromOrdinal(RT_RCDATA), AResName)
{
}

bool TDelphiFormResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream* Data)
{
    return Data && IsRcData(ResourceType) && MatchSignature(Data, QByteArrayLiteral("TPF0"), {}, 0);
}

TResourceItemGlyphHandle TDelphiFormResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem) return LoadResourceGlyph(QStringLiteral("RES_DELPHIFORM_ITEM"), QStringLiteral("delphi.form.item"));
    return inherited::GetGlyph(Kind);
}

// TDelphiDVCLALResourceItem

TDelphiDVCLALResourceItem::TDelphiDVCLALResourceItem(const TResourceIdent& AResName)
    : TResourceItemGenericPersistable(TResourceIdent::FromOrdinal(RT_RCDATA), AResName)
{
}

bool TDelphiDVCLALResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName,
                                        TStream* Data)
{
    return Data && IsRcData(ResourceType) && IsNamed(ResourceName, "DVCLAL", Qt::CaseSensitive);
}

TResourceItemGlyphHandle TDelphiDVCLALResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem) return LoadResourceGlyph(QStringLiteral("RES_DVCLAL_ITEM"), QStringLiteral("delphi.dvclal.item"));
    return inherited::GetGlyph(Kind);
}

void TDelphiDVCLALResourceItem::Clear()
{
    TUpdateGuard batch(this);
    inherited::Clear();
    FLicense = DelphiTypes::dlInvalid;
}

void TDelphiDVCLALResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard batch(this);
    inherited::LoadFromStream(Stream, Size);
    FLicense = DelphiTypes::dlInvalid;
    if (Data()->Size() != 16) return;
    const uint32_t marker = TBinaryReader(reinterpret_cast<const char*>(Data()->Memory()), Data()->Size()).U32(0);
    static const TDelphiLicense editions[3] = {DelphiTypes::dlStandard, DelphiTypes::dlProfessional, DelphiTypes::dlEnterprise};
    FLicense = DelphiTypes::dlUnknown;
    for (int i = 0; i < 3; ++i)
        if (DelphiLicenseMarkers[i] && *DelphiLicenseMarkers[i] == marker) {
            FLicense = editions[i];
            break;
        }
}

void koResourceItemDelphiStuff_Initialize()
{
    TDelphiPackageInfoResourceItem::ClassInfo()->Register(0);
    TDelphiPackageDescriptionResourceItem::ClassInfo()->Register(0);
    TDelphiPackageOptionsResourceItem::ClassInfo()->Register(0);
    TDelphiFormResourceItem::ClassInfo()->Register(0);
    TDelphiDVCLALResourceItem::ClassInfo()->Register(0);
}

void koResourceItemDelphiStuff_Finalize()
{
    TDelphiDVCLALResourceItem::ClassInfo()->Unregister();
    TDelphiFormResourceItem::ClassInfo()->Unregister();
    TDelphiPackageOptionsResourceItem::ClassInfo()->Unregister();
    TDelphiPackageDescriptionResourceItem::ClassInfo()->Unregister();
    TDelphiPackageInfoResourceItem::ClassInfo()->Unregister();
}
