// Small item kinds for the model tests: raw bytes that write, a kind that cannot write, a group, a kind
// that takes a parent, and a recording subscriber.
#pragma once

#include "model/koResourcesItem.h"
#include "platform/Streams.h"

#include <QByteArray>
#include <ostream>
#include <utility>
#include <vector>

class TTestItem : public TResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TTestItem, TResourceItem)

public:
    explicit TTestItem(const TResourceIdent& name) : TResourceItem(TResourceIdent::FromOrdinal(RT_RCDATA), name) {}
    TTestItem(const TResourceIdent& type, const TResourceIdent& name) : TResourceItem(type, name) {}
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }
    static QString ResourceTypeName() { return QStringLiteral("Test"); }

    void LoadFromStream(TStream& stream, int64_t size) override
    {
        BeginUpdate();
        Data = stream.ReadBytes(size);
        EndUpdate();
    }
    void SaveToStream(TStream& stream) override
    {
        ++Saves;
        stream.WriteBytes(Data);
    }
    void Clear() override { Data.clear(); }
    void SetData(const QByteArray& data)
    {
        BeginUpdate();
        Data = data;
        EndUpdate();
    }

    QByteArray Data;
    int Saves = 0;
};

// Exports a file but produces no resource data.
class TExportOnlyItem : public TResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TExportOnlyItem, TResourceItem)

public:
    explicit TExportOnlyItem(const TResourceIdent& name) : TResourceItem(TResourceIdent::FromOrdinal(RT_RCDATA), name) {}
    static TResourceItemCapabilities Capabilities() { return {rcSave}; }
    void LoadFromStream(TStream&, int64_t) override {}
    void SaveToFileStream(TStream& stream) override { stream.WriteBytes(QByteArray("file")); }
};

// Never written, like the item that stands for the symbol table.
class TSymbolsLikeInternal : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TSymbolsLikeInternal, TTestItem)

public:
    TSymbolsLikeInternal() : TTestItem(TResourceIdent("INTERNAL")) {}

protected:
    bool GetInternal() const override { return true; }
};

class TTestChild;

class TTestParent : public TResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TTestParent, TResourceItem)

public:
    explicit TTestParent(const TResourceIdent& name) : TResourceItem(TResourceIdent("PARENT"), name) {}
    static TResourceItemCapabilities Capabilities() { return {rcWrite}; }
    void LoadFromStream(TStream&, int64_t) override {}
    void SaveToStream(TStream&) override {}
    void ChildNotification(TCustomResourceItem* child, TResourceChildNotification notification) override
    {
        ChildNotifications.emplace_back(child, notification);
    }
    std::vector<std::pair<TCustomResourceItem*, TResourceChildNotification>> ChildNotifications;
};

class TTestGroup : public TTestParent {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TTestGroup, TTestParent)

public:
    using TTestParent::TTestParent;

protected:
    bool GetIsGroup() const override { return true; }
};

class TTestChild : public TResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TTestChild, TResourceItem)

public:
    explicit TTestChild(const TResourceIdent& name) : TResourceItem(TResourceIdent("CHILD"), name) {}
    static TResourceItemCapabilities Capabilities() { return {rcWrite}; }
    static TResourceItemClass ParentClass() { return TTestParent::ClassInfo(); }
    void LoadFromStream(TStream&, int64_t) override {}
    void SaveToStream(TStream&) override {}
};

// A kind that takes a parent of another class than the test parents.
class TOtherChild : public TTestChild {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TOtherChild, TTestChild)

public:
    using TTestChild::TTestChild;
    static TResourceItemClass ParentClass() { return TTestChild::ClassInfo(); }
};

class TRecorder : public IResourceItemNotification {
public:
    void ResourceItemNotification(TCustomResourceItem* item, TResourceItemNotification notification) override
    {
        Events.emplace_back(item, notification);
        if (OnNotify) OnNotify(item, notification);
    }
    int Count(TResourceItemNotification notification) const
    {
        int n = 0;
        for (const auto& e : Events)
            if (e.second == notification) ++n;
        return n;
    }
    std::vector<std::pair<TCustomResourceItem*, TResourceItemNotification>> Events;
    std::function<void(TCustomResourceItem*, TResourceItemNotification)> OnNotify;
};

inline TResourceIdent Ord(uint16_t value) { return TResourceIdent::FromOrdinal(value); }

// Failure messages show identifiers as "#5" or the name.
inline void PrintTo(const TResourceIdent& value, std::ostream* os) { *os << ResourceIdentToString(value).toStdString(); }
inline void PrintTo(const QString& value, std::ostream* os) { *os << '"' << value.toStdString() << '"'; }
