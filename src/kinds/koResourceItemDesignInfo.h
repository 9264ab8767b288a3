// Design information ("DESIGNINFO"): the dialog designer's margins, guides and mockup image for each
// dialog of a script. Kept as raw bytes (written back unchanged) and decoded read-only; not shown in the
// tree, left out of binary modules, written into scripts by its RC writer.
#pragma once

#include "model/koResourcesItemItems.h"
#include "model/koResourcesKinds.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class TDesignInfoResourceItem;

inline constexpr char DesignInfoResourceTypeName[] = "DESIGNINFO";
inline constexpr uint32_t DesignInfoMockupTag = 0x1000;

// Tag keywords and their ids, searched in this order.
struct TDesignInfoTag {
    const char* Keyword;
    uint32_t ID;
};
extern const TDesignInfoTag DesignInfoTags[11];
// The keyword of a tag id; empty for an id not in the table.
QString DesignInfoTagName(uint32_t Tag);

class TDesignInfoItemTag : public QObject {
    Q_OBJECT
    Q_PROPERTY(uint Tag READ Tag)
    Q_PROPERTY(QString Name READ Name)

public:
    explicit TDesignInfoItemTag(uint32_t ATag) : FTag(ATag) {}
    uint32_t Tag() const { return FTag; }
    QString Name() const { return DesignInfoTagName(FTag); }
    QString DisplayName() const { return Name(); }

private:
    uint32_t FTag;
};

class TDesignInfoItemValueTag : public TDesignInfoItemTag {
    Q_OBJECT
    Q_PROPERTY(uint Value READ Value)

public:
    TDesignInfoItemValueTag(uint32_t ATag, uint32_t AValue) : TDesignInfoItemTag(ATag), FValue(AValue) {}
    uint32_t Value() const { return FValue; }

private:
    uint32_t FValue;
};

class TDesignInfoItemMockupTag : public TDesignInfoItemTag {
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled)
    Q_PROPERTY(uint Opacity READ Opacity)
    Q_PROPERTY(uint Left READ Left)
    Q_PROPERTY(uint Top READ Top)
    Q_PROPERTY(QString Filename READ Filename)
    friend class TDesignInfoResourceItem;

public:
    TDesignInfoItemMockupTag() : TDesignInfoItemTag(DesignInfoMockupTag) {}
    bool Enabled() const { return FEnabled; }
    uint32_t Opacity() const { return FOpacity; }
    uint32_t Left() const { return FLeft; }
    uint32_t Top() const { return FTop; }
    const QString& Filename() const { return FFilename; }

private:
    bool FEnabled = false;
    uint32_t FOpacity = 0;
    uint32_t FLeft = 0;
    uint32_t FTop = 0;
    QString FFilename;
};

// The tags of one entry; owns them.
class TDesignInfoItemTags {
public:
    TDesignInfoItemTags() = default;
    TDesignInfoItemTags(const TDesignInfoItemTags&) = delete;
    TDesignInfoItemTags& operator=(const TDesignInfoItemTags&) = delete;
    template <class T>
    T* Add(std::unique_ptr<T> Tag)
    {
        T* result = Tag.get();
        FItems.push_back(std::move(Tag));
        return result;
    }
    int Count() const { return static_cast<int>(FItems.size()); }
    TDesignInfoItemTag* Items(int Index) const;
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TDesignInfoItemTag>> FItems;
};
Q_DECLARE_METATYPE(TDesignInfoItemTags*)

class TDesignInfoItem : public TResourceItemItem<TDesignInfoResourceItem> {
    Q_OBJECT
    Q_PROPERTY(TResourceIdent ResourceType READ ResourceType)
    Q_PROPERTY(TResourceIdent Name READ Name)
    Q_PROPERTY(uint Language READ Language)
    Q_PROPERTY(TDesignInfoItemTags* Tags READ Tags)
    friend class TDesignInfoResourceItem;

public:
    explicit TDesignInfoItem(TCustomResourceItemItems* ACollection);
    ~TDesignInfoItem() override;
    const TResourceIdent& ResourceType() const { return FResourceType; }
    const TResourceIdent& Name() const { return FName; }
    uint32_t Language() const { return FLanguage; }
    TDesignInfoItemTags* Tags() const { return FTags.get(); }
    // "name: type" in display texts.
    QString DisplayName() const;

private:
    TResourceIdent FResourceType;
    TResourceIdent FName;
    uint32_t FLanguage = 0;
    std::unique_ptr<TDesignInfoItemTags> FTags;
};

using TDesignInfoItems = TResourceItemItems<TDesignInfoResourceItem, TDesignInfoItem>;
Q_DECLARE_METATYPE(TDesignInfoItems*)

class TDesignInfoResourceItem : public TCustomResourceItemGeneric {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TDesignInfoResourceItem, TCustomResourceItemGeneric)
    Q_PROPERTY(TDesignInfoItems* Items READ Entries)

public:
    explicit TDesignInfoResourceItem(const TResourceIdent& AResName = TResourceIdent());
    ~TDesignInfoResourceItem() override;
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    static TResourceItemCapabilities Capabilities() { return {rcWrite}; }
    static QString ResourceTypeName() { return QStringLiteral("Visual Studio dialog designer rules and margins"); }

    TDesignInfoItems* Entries() const { return FItems.get(); }
    void Clear() override;
    // Raises "Premature end of data" for a field cut short and "Malformed resource item" for a value
    // record whose second DWORD is not 0 or a tag list whose last record runs past its size.
    void LoadFromStream(TStream& Stream, int64_t Size) override;

protected:
    bool GetHidden() const override { return true; }
    bool GetDesign() const override { return true; }
    bool GetInternal() const override { return false; }

private:
    std::unique_ptr<TDesignInfoItems> FItems;
};

void koResourceItemDesignInfo_Initialize();
void koResourceItemDesignInfo_Finalize();
