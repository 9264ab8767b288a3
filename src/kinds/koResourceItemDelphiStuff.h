// RT_RCDATA resources that compiled packages and programs of one compiler carry: package information,
// package description and options, streamed forms and the compiler-edition marker. Each keeps its bytes
// and writes them back unchanged; package information and the marker are also decoded, read-only.
#pragma once

#include "model/koResourcesItemItems.h"
#include "model/koResourcesKinds.h"

#include <QObject>
#include <cstdint>
#include <memory>
#include <optional>

class TDelphiPackageInfoResourceItem;

namespace DelphiTypes {
Q_NAMESPACE

// Element i is bit i of a contained unit's flag byte.
enum TPackageInfoUnitFlag : uint32_t { ufMain = 0x01, ufPackage = 0x02, ufWeak = 0x04, ufOrgWeak = 0x08, ufImplicit = 0x10 };
Q_DECLARE_FLAGS(TPackageInfoUnitFlags, TPackageInfoUnitFlag)
Q_FLAG_NS(TPackageInfoUnitFlags)

// The compiler edition an edition marker names.
enum TDelphiLicense { dlInvalid, dlStandard, dlProfessional, dlEnterprise, dlUnknown };
Q_ENUM_NS(TDelphiLicense)
} // namespace DelphiTypes

using DelphiTypes::TDelphiLicense;
using DelphiTypes::TPackageInfoUnitFlag;
using DelphiTypes::TPackageInfoUnitFlags;

// The edition markers' first 32-bit values, for dlStandard, dlProfessional and dlEnterprise in that order.
// Their values are not known here, so every 16-byte marker reads as dlUnknown until they are filled in.
extern const std::optional<uint32_t> DelphiLicenseMarkers[3];

// A package the package requires.
class TDelphiPackageInfoRequiresItem : public TResourceItemItem<TDelphiPackageInfoResourceItem> {
    Q_OBJECT
    Q_PROPERTY(QString PackageName READ PackageName)
    Q_PROPERTY(QString DisplayName READ DisplayName)
    friend class TDelphiPackageInfoResourceItem;

public:
    using TResourceItemItem::TResourceItemItem;
    const QString& PackageName() const { return FPackageName; }
    // The package name; the class name when it is empty.
    QString DisplayName() const;

private:
    QString FPackageName;
};

// A unit the package contains.
class TDelphiPackageInfoContainsItem : public TResourceItemItem<TDelphiPackageInfoResourceItem> {
    Q_OBJECT
    Q_PROPERTY(QString UnitName READ UnitName)
    Q_PROPERTY(DelphiTypes::TPackageInfoUnitFlags Flags READ Flags)
    Q_PROPERTY(QString DisplayName READ DisplayName)
    friend class TDelphiPackageInfoResourceItem;

public:
    using TResourceItemItem::TResourceItemItem;
    const QString& UnitName() const { return FUnitName; }
    TPackageInfoUnitFlags Flags() const { return FFlags; }
    // The unit name (the class name when it is empty), then the set's elements as " [ufMain,ufImplicit]"
    // when it has any.
    QString DisplayName() const;

private:
    QString FUnitName;
    TPackageInfoUnitFlags FFlags;
};

class TDelphiPackageInfoRequiresCollection
    : public TResourceItemItems<TDelphiPackageInfoResourceItem, TDelphiPackageInfoRequiresItem> {
public:
    using TResourceItemItems::TResourceItemItems;
};
Q_DECLARE_METATYPE(TDelphiPackageInfoRequiresCollection*)

class TDelphiPackageInfoContainsCollection
    : public TResourceItemItems<TDelphiPackageInfoResourceItem, TDelphiPackageInfoContainsItem> {
public:
    using TResourceItemItems::TResourceItemItems;
};
Q_DECLARE_METATYPE(TDelphiPackageInfoContainsCollection*)

// "PACKAGEINFO": the packages required, the units contained, the flags and the package's own name.
class TDelphiPackageInfoResourceItem : public TResourceItemGenericPersistable {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TDelphiPackageInfoResourceItem, TResourceItemGenericPersistable)
    Q_PROPERTY(TDelphiPackageInfoRequiresCollection* Requires READ Requires)
    Q_PROPERTY(TDelphiPackageInfoContainsCollection* Contains READ Contains)
    Q_PROPERTY(QString PackageName READ PackageName)
    Q_PROPERTY(uint PackageFlags READ PackageFlags)

public:
    explicit TDelphiPackageInfoResourceItem(const TResourceIdent& AResName = TResourceIdent());
    ~TDelphiPackageInfoResourceItem() override;
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }
    static QString ResourceTypeName() { return QStringLiteral("Delphi Package Info"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    TDelphiPackageInfoRequiresCollection* Requires() const { return FRequires.get(); }
    TDelphiPackageInfoContainsCollection* Contains() const { return FContains.get(); }
    const QString& PackageName() const { return FPackageName; }
    uint32_t PackageFlags() const { return FPackageFlags; }

    void Clear() override;
    // Keeps the bytes, then decodes them; a field cut short raises "Premature end of data" with the
    // entries read before it kept.
    void LoadFromStream(TStream& Stream, int64_t Size) override;

private:
    std::unique_ptr<TDelphiPackageInfoRequiresCollection> FRequires;
    std::unique_ptr<TDelphiPackageInfoContainsCollection> FContains;
    QString FPackageName;
    uint32_t FPackageFlags = 0;
};

// "DESCRIPTION": the package's description as UTF-16 text.
class TDelphiPackageDescriptionResourceItem : public TResourceItemGenericPersistable {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TDelphiPackageDescriptionResourceItem, TResourceItemGenericPersistable)

public:
    explicit TDelphiPackageDescriptionResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }
    static QString ResourceTypeName() { return QStringLiteral("Delphi Package Description"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
};

// "PACKAGEOPTIONS".
class TDelphiPackageOptionsResourceItem : public TResourceItemGenericPersistable {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TDelphiPackageOptionsResourceItem, TResourceItemGenericPersistable)

public:
    explicit TDelphiPackageOptionsResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }
    static QString ResourceTypeName() { return QStringLiteral("Delphi Package Description"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
};

// A streamed form: data starting "TPF0", under any name.
class TDelphiFormResourceItem : public TResourceItemGenericPersistable {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TDelphiFormResourceItem, TResourceItemGenericPersistable)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)

public:
    explicit TDelphiFormResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }
    static QString ResourceTypeName() { return QStringLiteral("Delphi Form"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
};

// "DVCLAL" (exactly so): the compiler-edition marker.
class TDelphiDVCLALResourceItem : public TResourceItemGenericPersistable {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TDelphiDVCLALResourceItem, TResourceItemGenericPersistable)
    Q_PROPERTY(DelphiTypes::TDelphiLicense License READ License)

public:
    explicit TDelphiDVCLALResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }
    static QString ResourceTypeName() { return QStringLiteral("Delphi Access License"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    TDelphiLicense License() const { return FLicense; }
    void Clear() override;
    // 16 bytes name an edition (dlUnknown when their first value is no known marker); any other
    // length is dlInvalid.
    void LoadFromStream(TStream& Stream, int64_t Size) override;

private:
    TDelphiLicense FLicense = DelphiTypes::dlInvalid;
};

void koResourceItemDelphiStuff_Initialize();
void koResourceItemDelphiStuff_Finalize();
