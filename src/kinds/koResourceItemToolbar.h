// Toolbars (RT_TOOLBAR): the button size and the buttons, each a command ID or a separator (0); the
// images come from the bitmap resource of the same name.
#pragma once

#include "model/koResourcesItemItems.h"
#include "model/koResourcesKinds.h"

#include <cstdint>
#include <memory>

class TToolbarResourceItem;

inline constexpr uint16_t RT_TOOLBAR = 241;

class TResourceToolbarItem : public TResourceItemItem<TToolbarResourceItem> {
    Q_OBJECT
    Q_PROPERTY(TCustomResourceOrdinalWordIdentifier* Command READ Command WRITE SetCommand)
    Q_PROPERTY(bool Separator READ Separator WRITE SetSeparator)

public:
    class TResourceToolbarIdentifier : public TResourceOrdinalChildIdentifier<TResourceToolbarItem> {
    public:
        using TResourceOrdinalChildIdentifier<TResourceToolbarItem>::TResourceChildIdentifierOf;
    };

    explicit TResourceToolbarItem(TCustomResourceItemItems* ACollection);
    ~TResourceToolbarItem() override;

    // Made on first use, bound to the toolbar.
    TResourceToolbarIdentifier* Command() const;
    // Takes the value and the symbol of the given identifier.
    void SetCommand(const TCustomResourceIdentifier* Value);
    bool Separator() const { return Command()->OrdinalValue() == 0; }
    // True makes the command 0; False on a separator makes it 1.
    void SetSeparator(bool Value);
    // "-" for a separator, else the command's symbol name or number.
    QString DisplayName() const;

private:
    mutable std::unique_ptr<TResourceToolbarIdentifier> FCommand;
};

class TResourceToolbarItems : public TResourceItemItems<TToolbarResourceItem, TResourceToolbarItem> {
public:
    using TResourceItemItems::TResourceItemItems;

protected:
    // A new button takes the command after the largest one of the toolbar (not while loading).
    void Notify(TCustomResourceItemItem* Item, TCollectionNotification Action) override;
};

Q_DECLARE_METATYPE(TResourceToolbarItems*)

class TToolbarResourceItem : public TCustomResourceItemGeneric {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TToolbarResourceItem, TCustomResourceItemGeneric)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(TResourceToolbarItems* Items READ Buttons)

public:
    explicit TToolbarResourceItem(const TResourceIdent& AResName = TResourceIdent());
    ~TToolbarResourceItem() override;
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate}; }
    static QString ResourceTypeName() { return QStringLiteral("Toolbar"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    TResourceToolbarItems* Buttons() const { return FItems.get(); }
    int Width() const { return FWidth; }
    void SetWidth(int Value);
    int Height() const { return FHeight; }
    void SetHeight(int Value);
    bool Loading() const { return FLoading; }

    void Clear() override;
    void InitializeNewItem() override;
    // Header version 1, button size, count, then one command ID per button; a count past the data
    // gives the buttons that fit. Another version raises and leaves the item as it was.
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;
    void AssignChildItemIdentifier(int ID, const QByteArray& Identifier) override;

protected:
    QString GetFriendlyTypeName() const override { return ResourceTypeName(); }
    int GetSize() const override { return 8 + 2 * FItems->Count(); }

private:
    std::unique_ptr<TResourceToolbarItems> FItems;
    int FWidth = 0;
    int FHeight = 0;
    bool FLoading = false;
};

void koResourceItemToolbar_Initialize();
void koResourceItemToolbar_Finalize();
