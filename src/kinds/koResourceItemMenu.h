// Menus: the standard and the extended menu templates read into a tree of entries whose IDs and help
// IDs can be bound to symbols; always written as an extended template.
#pragma once

#include "model/koResourcesItemItems.h"
#include "platform/ShortCuts.h"

#include <cstdint>
#include <memory>

class TBinaryReader;
class TMenuResourceItem;
class TResourceMenuItem;

using TResourceMenuIdentifier = TResourceOrdinalChildIdentifier<TResourceMenuItem>;
using TResourceMenuItems = TResourceItemItems<TMenuResourceItem, TResourceMenuItem>;
Q_DECLARE_METATYPE(TResourceMenuItems*)

// Where an entry starts a new column: mbBreak without, mbBarBreak with a dividing line.
enum TMenuBreak { mbNone, mbBreak, mbBarBreak };

// Bits of an entry's type and state that the model keeps; every other bit read is dropped.
inline constexpr uint32_t MenuTypeMask = 0x6B64;
inline constexpr uint32_t MenuStateMask = 0x100B;
inline constexpr uint32_t MFT_SEPARATOR = 0x0800;
inline constexpr uint32_t MFT_MENUBARBREAK = 0x0020;
inline constexpr uint32_t MFT_MENUBREAK = 0x0040;
inline constexpr uint32_t MFS_GRAYED = 0x0003;
inline constexpr uint32_t MFS_CHECKED = 0x0008;
inline constexpr uint32_t MFS_DEFAULT = 0x1000;

// One entry of a menu: a command, a separator or a popup holding entries of its own. Its sub-entries
// belong to the same menu item, so a change anywhere in the tree is a change of the menu.
class TResourceMenuItem : public TResourceItemItem<TMenuResourceItem>, public IResourceTextItem {
    Q_OBJECT
    Q_PROPERTY(TCustomResourceOrdinalWordIdentifier* ID READ ID WRITE SetID)
    Q_PROPERTY(TCustomResourceHelpIdentifier* HelpID READ HelpID WRITE SetHelpID)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(TShortCut ShortCut READ ShortCut WRITE SetShortCut)
    Q_PROPERTY(uint32_t MenuType READ MenuType WRITE SetMenuType)
    Q_PROPERTY(uint32_t State READ State WRITE SetState)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(bool Default READ Default WRITE SetDefault)
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_PROPERTY(bool Separator READ Separator WRITE SetSeparator)
    Q_PROPERTY(TMenuBreak Break READ Break WRITE SetBreak)
    Q_PROPERTY(TResourceMenuItems* Items READ Items)

public:
    // The help ID of an entry: generated from the entry's ID and the menu's name.
    class TResourcemenuHelpIdentifier : public TResourceHelpChildIdentifier<TResourceMenuItem> {
    public:
        using TResourceHelpChildIdentifier<TResourceMenuItem>::TResourceHelpChildIdentifier;

    protected:
        TCustomResourceOrdinalIdentifier* GetItemIdentifier() const override;
    };

    explicit TResourceMenuItem(TCustomResourceItemItems* ACollection);
    ~TResourceMenuItem() override;

    // The sub-entries, made on first use.
    TResourceMenuItems* Items() const;
    // True when the entry holds sub-entries (a popup that has none is written as a plain entry).
    bool HasSubItems() const { return FItems && FItems->Count() > 0; }
    // The collection that holds the entry.
    TResourceMenuItems* ParentItems() const { return static_cast<TResourceMenuItems*>(Collection()); }
    // Moves the entry to the end of another collection of the same menu; never into its own sub-entries.
    void SetCollection(TCustomResourceItemItems* Value) override;

    TResourceMenuIdentifier* ID() const { return FID.get(); }
    // Takes the value and the symbol of the given identifier.
    void SetID(const TCustomResourceIdentifier* Value);
    TResourcemenuHelpIdentifier* HelpID() const { return FHelpID.get(); }
    void SetHelpID(const TCustomResourceIdentifier* Value);

    // The caption, a TAB, and the shortcut's text.
    const QString& Text() const { return FText; }
    // "-" makes the entry a separator; otherwise the first backspace becomes a TAB. (It is also the
    // searchable text's setter.)
    void SetText(const QString& Value) override;
    // The text up to its first TAB.
    QString Caption() const;
    void SetCaption(const QString& Value);
    // The shortcut named after the first TAB; 0 when there is none.
    TShortCut ShortCut() const;
    void SetShortCut(TShortCut Value);
    uint32_t MenuType() const { return FMenuType; }
    void SetMenuType(uint32_t Value);
    uint32_t State() const { return FState; }
    void SetState(uint32_t Value);
    bool Enabled() const { return (FState & MFS_GRAYED) == 0; }
    void SetEnabled(bool Value);
    bool Checked() const { return (FState & MFS_CHECKED) != 0; }
    void SetChecked(bool Value);
    bool Default() const { return (FState & MFS_DEFAULT) != 0; }
    void SetDefault(bool Value);
    bool Separator() const;
    void SetSeparator(bool Value);
    TMenuBreak Break() const;
    void SetBreak(TMenuBreak Value);
    // "<caption> (<ID>)".
    QString DisplayName() const;

    bool FilterProperty(const QString& Name) override;
    bool EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback) override;

    QString GetText() override { return FText; }

private:
    friend class TMenuResourceItem;
    void StoreText(const QString& Value);
    // True when Value is the sub-entry collection of this entry or of one below it, empty or not.
    bool HoldsCollection(const TCustomResourceItemItems* Value) const;

    mutable std::unique_ptr<TResourceMenuItems> FItems;
    uint32_t FState = 0;
    uint32_t FMenuType = 0;
    QString FText;
    std::unique_ptr<TResourceMenuIdentifier> FID;
    std::unique_ptr<TResourcemenuHelpIdentifier> FHelpID;
};

class TMenuResourceItem : public TResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TMenuResourceItem, TResourceItem)
    Q_PROPERTY(bool Extended READ Extended WRITE SetExtended)
    Q_PROPERTY(TResourceMenuItems* Items READ Items)
    Q_PROPERTY(uint32_t HelpID READ HelpID WRITE SetHelpID)

public:
    explicit TMenuResourceItem(const TResourceIdent& AResName = TResourceIdent());
    ~TMenuResourceItem() override;
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate}; }
    static QString ResourceTypeName();
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    TResourceMenuItems* Items() const { return FItems.get(); }
    uint32_t HelpID() const { return FHelpID; }
    void SetHelpID(uint32_t Value);
    // The data was read as an extended template (a new menu is extended).
    bool Extended() const { return FExtended; }
    void SetExtended(bool Value);

    void Clear() override;
    void InitializeNewItem() override;
    // Raises "Malformed menu resource" for a template it cannot read; never reads past Size bytes.
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;
    void AfterLoad() override;
    bool EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback) override;
    void AssignChildItemIdentifier(int ID, const QByteArray& Identifier) override;
    bool FilterProperty(const QString& Name) override;

private:
    // The entries of the level at the cursor, up to the end of the data or the entry marked last.
    static void ReadStandardItems(TBinaryReader& Data, TResourceMenuItems* Items, int Depth);
    static void ReadExtendedItems(TBinaryReader& Data, TResourceMenuItems* Items, int Depth);

    std::unique_ptr<TResourceMenuItems> FItems;
    uint32_t FHelpID = 0;
    bool FExtended = true;
};

void koResourceItemMenu_Initialize();
void koResourceItemMenu_Finalize();
