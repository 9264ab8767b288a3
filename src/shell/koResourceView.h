// Previews of resource items: the base frame every view derives from, the factories that create views,
// and the registry that finds the views of an item (by type and name first, then by type, by name, and
// finally any view that handles the item).
#pragma once

#include "model/koResourcesFiler.h"
#include "model/koResourcesItem.h"
#include "platform/ClassInfo.h"

#include <QLabel>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QPainter;

class IResourceItemView {
public:
    virtual ~IResourceItemView() = default;
    virtual void SetResourceItem(TCustomResourceItem* Item) = 0;
    virtual void Draw(QPainter& Canvas, const QRect& Rect) = 0;
    // False when the view shows no picture.
    virtual bool GetImageSize(QSize& Size) = 0;
    // The widget to put into a pane.
    virtual QWidget* GetControl() = 0;
    virtual QString GetCaption() = 0;
};
using IResourceItemViewPtr = std::shared_ptr<IResourceItemView>;

// What views and editors share: one item, followed through its notifications and let go of when either
// side goes away.
class TResourceItemFrame : public QWidget, public IResourceItemNotification {
    Q_OBJECT

public:
    explicit TResourceItemFrame(QWidget* Parent = nullptr) : QWidget(Parent) {}
    ~TResourceItemFrame() override;
    TCustomResourceItem* ResourceItem() const { return FResourceItem; }
    // Also what the frame hears while it is being destroyed, after the derived parts are gone.
    void ResourceItemNotification(TCustomResourceItem*, TResourceItemNotification) override {}

protected:
    // Stores the item before subscribing, so the subscription's own notification finds it set.
    void AttachItem(TCustomResourceItem* Item);
    // A caption for a frame: the item kind's name, empty without item.
    QString ItemCaption() const;
    TCustomResourceItem* FResourceItem = nullptr;
};

class TCustomResourceItemView : public TResourceItemFrame, public IResourceItemView {
    Q_OBJECT

public:
    explicit TCustomResourceItemView(QWidget* Parent = nullptr) : TResourceItemFrame(Parent) {}
    void SetResourceItem(TCustomResourceItem* Item) override;
    // The base paints the rectangle white; image views draw the item scaled into it.
    void Draw(QPainter& Canvas, const QRect& Rect) override;
    bool GetImageSize(QSize&) override { return false; }
    // Loads the content once an item is set; before that, the load waits for the item.
    QWidget* GetControl() override;
    QString GetCaption() override { return ItemCaption(); }
    void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification) override;
    bool HasLoaded() const { return FHasLoaded; }

protected:
    // Builds the content from ResourceItem; views override it.
    virtual void LoadView() {}
    // Loads once, for views asked to draw or measure before they were shown.
    void CheckLoaded();

private:
    bool FNeedLoad = false;
    bool FHasLoaded = false;
};

// The strip at the top of a view that says why a preview failed: a 22-pixel picture and a label that
// keeps its line breaks out of markup. Hidden until a view shows it.
struct TViewErrorStrip {
    QWidget* Panel;
    QLabel* Image;
    QLabel* Label;
};
TViewErrorStrip CreateViewErrorStrip(QWidget* Parent, const QPixmap& Picture, const QString& Text);

// Class-level questions of a view factory.
class TResourceItemViewFactoryClassInfo : public TClassInfo {
public:
    virtual bool Handles(TCustomResourceItem* ResourceItem) const = 0;
    virtual bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data) const = 0;
    virtual IResourceItemViewPtr CreateView() const = 0;
    // Empty type and name: the factory is asked for any item.
    void Register(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, int Priority) const;
    void Register(int Priority) const;
    // Removes every entry of the factory.
    void Unregister() const;
};
using TResourceItemViewFactoryClass = const TResourceItemViewFactoryClassInfo*;

// The two questions of view and editor factories, answered by the factory's static Handles functions
// where it declares them, else False.
template <class T, class TInfo>
class TItemFactoryClassOf : public TClassInfoOf<T, TInfo> {
public:
    bool Handles(TCustomResourceItem* ResourceItem) const override
    {
        if constexpr (requires(TCustomResourceItem* i) { T::Handles(i); })
            return T::Handles(ResourceItem);
        else
            return false;
    }
    bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data) const override
    {
        if constexpr (requires(const TResourceIdent& t, TStream* d) { T::Handles(t, t, d); })
            return T::Handles(ResourceType, ResourceName, Data);
        else
            return false;
    }
};

template <class T>
class TResourceItemViewFactoryClassOf final : public TItemFactoryClassOf<T, TResourceItemViewFactoryClassInfo> {
public:
    IResourceItemViewPtr CreateView() const override
    {
        if constexpr (requires { T::CreateView(); })
            return T::CreateView();
        else
            AssertionFailure("abstract view factory", __FILE__, __LINE__);
    }
};

// Declares a factory's class-level plumbing; factories answer with static functions Handles and CreateView.
#define RESOURCE_VIEW_FACTORY_CLASS(Class, Base)                                                      \
public:                                                                                             \
    using inherited = Base;                                                                         \
    static const char* StaticClassName() { return #Class; }                                         \
    static TResourceItemViewFactoryClass ClassInfo()                                                \
    {                                                                                               \
        static const TResourceItemViewFactoryClassOf<Class> info;                                   \
        return &info;                                                                               \
    }                                                                                               \
                                                                                                    \
private:

class TCustomResourceItemViewFactory {
public:
    static const char* StaticClassName() { return "TCustomResourceItemViewFactory"; }
    static TResourceItemViewFactoryClass ClassInfo()
    {
        static const TResourceItemViewFactoryClassOf<TCustomResourceItemViewFactory> info;
        return &info;
    }
};

using TResourceItemViewCallback = std::function<void(TResourceItemViewFactoryClass Factory, bool& Continue)>;

struct TResourceItemViewEntry {
    TResourceItemViewFactoryClass FactoryClass;
    TResourceIdent ResourceType; // empty: any type
    TResourceIdent ResourceName; // empty: any name
    int Priority;
};

class TCustomResourceItemViewDatabase {
public:
    virtual ~TCustomResourceItemViewDatabase() = default;
    virtual int GetCount() const = 0;
    virtual TResourceItemViewFactoryClass GetFactory(int Index) const = 0;
    virtual void Add(TResourceItemViewFactoryClass FactoryClass, const TResourceIdent& ResourceType, int Priority,
                     const TResourceIdent& ResourceName) = 0;
    virtual void Remove(TResourceItemViewFactoryClass FactoryClass) = 0;
    // Without a callback: the first factory that handles the item. With one: every such factory in search
    // order until the callback clears Continue; the last one reported. nullptr when none.
    virtual TResourceItemViewFactoryClass Find(TCustomResourceItem* ResourceItem, const TResourceItemViewCallback& Callback = {}) = 0;
    virtual TResourceItemViewFactoryClass Find(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName,
                                               const TResourceItemViewCallback& Callback, TStream* Data) = 0;
    void Add(TResourceItemViewFactoryClass FactoryClass, int Priority) { Add(FactoryClass, {}, Priority, {}); }
    int Count() const { return GetCount(); }
};

class TResourceItemViewDatabase : public TCustomResourceItemViewDatabase {
public:
    int GetCount() const override { return static_cast<int>(FList.size()); }
    TResourceItemViewFactoryClass GetFactory(int Index) const override;
    void Add(TResourceItemViewFactoryClass FactoryClass, const TResourceIdent& ResourceType, int Priority,
             const TResourceIdent& ResourceName) override;
    using TCustomResourceItemViewDatabase::Add;
    void Remove(TResourceItemViewFactoryClass FactoryClass) override;
    TResourceItemViewFactoryClass Find(TCustomResourceItem* ResourceItem, const TResourceItemViewCallback& Callback = {}) override;
    TResourceItemViewFactoryClass Find(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName,
                                       const TResourceItemViewCallback& Callback, TStream* Data) override;

private:
    // Four passes: (type, name), (type, any), (any, name), (any, any); a factory is reported once.
    TResourceItemViewFactoryClass FindByPasses(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName,
                                               const std::function<bool(TResourceItemViewFactoryClass)>& Matches,
                                               const TResourceItemViewCallback& Callback);
    std::vector<TResourceItemViewEntry> FList;
};

TCustomResourceItemViewDatabase* ResourceItemViewDatabase();
using TResourceItemViewDatabaseFactory = std::unique_ptr<TCustomResourceItemViewDatabase> (*)();
TResourceItemViewDatabaseFactory SetResourceItemViewDatabaseClass(TResourceItemViewDatabaseFactory Factory);

// An on-demand stream of the item's data when its kind writes data, else nullptr.
std::unique_ptr<TStream> ItemDataForHandles(TCustomResourceItem* Item);

void koResourceView_Finalize();
