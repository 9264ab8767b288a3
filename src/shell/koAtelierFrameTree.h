// The nodes of the workspace's resource tree: resource types, resources (their language variants),
// group items and the internal items shown above the types.
#pragma once

#include "model/koResourcesItem.h"

#include <QStyledItemDelegate>
#include <QTreeWidgetItem>
#include <memory>
#include <vector>

class TFrameAtelier;
class TResourceSymbol;

class TTreeNodeResource : public QTreeWidgetItem {
public:
    explicit TTreeNodeResource(TFrameAtelier* Owner);
    ~TTreeNodeResource() override;

    // Frees the node; the only child of a parent takes the parent with it.
    virtual void Purge();
    virtual void Delete() {}
    virtual void DeleteItem(TCustomResourceItem*) {}
    virtual void DeleteItems(TCustomResourceItem*) {}
    virtual bool CanEdit() const { return false; }

    // Inserts the child now when this node is expanded or has no child yet, else keeps it pending.
    void AddChild(TTreeNodeResource* Node, const QString& Text);
    // Inserts every pending child.
    void Expanding();
    TTreeNodeResource* GetFirstChild() const;
    TTreeNodeResource* GetNextChild(TTreeNodeResource* Current) const;
    int PendingCount() const { return static_cast<int>(FPendingNodes.size()); }
    bool IsPending() const { return FPendingParent != nullptr; }

    // 0 none, 1 warning (orphaned child items below), 2 modified.
    int StateIndex() const;
    void SetStateIndex(int Value);

protected:
    TFrameAtelier* FOwner;

private:
    void InsertChild(TTreeNodeResource* Node);

    bool FHasChildren = false;
    std::vector<std::unique_ptr<TTreeNodeResource>> FPendingNodes;
    TTreeNodeResource* FPendingParent = nullptr;
    bool FExpanded = false;
};

class TTreeNodeResourceType : public TTreeNodeResource {
public:
    TTreeNodeResourceType(TFrameAtelier* Owner, const TResourceIdent& ResourceType);
    const TResourceIdent& ResourceType() const { return FResourceType; }

private:
    TResourceIdent FResourceType;
};

class TCustomTreeNodeResourceItem : public TTreeNodeResource {
public:
    using TTreeNodeResource::TTreeNodeResource;
    virtual TResourceItemList* GetItems() = 0;
    TResourceItemList* Items() { return GetItems(); }
    virtual void RenameItem(const TResourceIdent& Name) = 0;
    virtual void RenameItem(TResourceSymbol* Symbol) = 0;
    void DeleteItem(TCustomResourceItem* Item) override;
    void DeleteItems(TCustomResourceItem* Exclude) override;
};

// The language variants of one resource: all top-level items of one type and one name.
class TTreeNodeResourceItem : public TCustomTreeNodeResourceItem {
public:
    using TCustomTreeNodeResourceItem::TCustomTreeNodeResourceItem;
    TResourceItemList* GetItems() override;
    void RenameItem(const TResourceIdent& Name) override;
    void RenameItem(TResourceSymbol* Symbol) override;
    void Delete() override;
    bool CanEdit() const override { return true; }

private:
    std::unique_ptr<TResourceItemList> FItems;
};

// An internal item shown above the types.
class TTreeNodeInfoItem : public TTreeNodeResourceItem {
public:
    using TTreeNodeResourceItem::TTreeNodeResourceItem;
    bool CanEdit() const override { return false; }
};

// One group item; its members are the variants.
class TTreeNodeResourceGroupItem : public TCustomTreeNodeResourceItem {
public:
    TTreeNodeResourceGroupItem(TFrameAtelier* Owner, TCustomResourceItem* Item);
    TCustomResourceItem* Item() const { return FItem; }
    TResourceItemList* GetItems() override { return FItem ? FItem->Items() : &FNoItems; }
    void RenameItem(const TResourceIdent& Name) override;
    void RenameItem(TResourceSymbol* Symbol) override;
    void Delete() override;
    bool CanEdit() const override { return true; }

private:
    TCustomResourceItem* FItem;
    TResourceItemList FNoItems{nullptr, false}; // while the group item is being freed
};

// Draws the state picture over the node's glyph and commits in-place renames.
class TResourceNameDelegate : public QStyledItemDelegate {
public:
    explicit TResourceNameDelegate(TFrameAtelier* Frame);
    void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override;
    void setModelData(QWidget* Editor, QAbstractItemModel* Model, const QModelIndex& Index) const override;

private:
    TFrameAtelier* FFrame;
};
