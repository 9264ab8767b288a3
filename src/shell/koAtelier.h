// Editors of resource items: the base frame every editor derives from, the factories that create
// editors, and the registry that finds the editor of an item.
#pragma once

#include "koConfigurationService.h"
#include "koResourceView.h"
#include "model/koResourcesMessages.h"

class IResourceItemEditor {
public:
    virtual ~IResourceItemEditor() = default;
    virtual void SetResourceItem(TCustomResourceItem* Item) = 0;
    // Called before the workspace lets go of the editor, also when SetResourceItem failed.
    virtual void Deactivate() = 0;
    // Selects the element that Target names (a logged message about the edited item).
    virtual void Navigate(const IResourceMessagePtr& Target) = 0;
    virtual QWidget* GetControl() = 0;
    virtual QString GetCaption() = 0;
};
using IResourceItemEditorPtr = std::shared_ptr<IResourceItemEditor>;

class TCustomResourceItemEditor : public TResourceItemFrame, public IResourceItemEditor {
    Q_OBJECT

public:
    explicit TCustomResourceItemEditor(QWidget* Parent = nullptr) : TResourceItemFrame(Parent) {}
    void SetResourceItem(TCustomResourceItem* Item) override { AttachItem(Item); }
    void Deactivate() override {}
    void Navigate(const IResourceMessagePtr&) override {}
    QWidget* GetControl() override { return this; }
    QString GetCaption() override { return ItemCaption(); }
    void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification) override;
};

class TResourceItemEditorFactoryClassInfo : public TClassInfo {
public:
    virtual bool Handles(TCustomResourceItem* ResourceItem) const = 0;
    virtual bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data) const = 0;
    virtual IResourceItemEditorPtr CreateEditor() const = 0;
    void Register(int Priority) const;
    // Removes the first entry of the factory.
    void Unregister() const;
};
using TResourceItemEditorFactoryClass = const TResourceItemEditorFactoryClassInfo*;

template <class T>
class TResourceItemEditorFactoryClassOf final : public TItemFactoryClassOf<T, TResourceItemEditorFactoryClassInfo> {
public:
    IResourceItemEditorPtr CreateEditor() const override
    {
        if constexpr (requires { T::CreateEditor(); })
            return T::CreateEditor();
        else
            AssertionFailure("abstract editor factory", __FILE__, __LINE__);
    }
};

#define RESOURCE_EDITOR_FACTORY_CLASS(Class, Base)                                                    \
public:                                                                                             \
    using inherited = Base;                                                                         \
    static const char* StaticClassName() { return #Class; }                                         \
    static TResourceItemEditorFactoryClass ClassInfo()                                              \
    {                                                                                               \
        static const TResourceItemEditorFactoryClassOf<Class> info;                                 \
        return &info;                                                                               \
    }                                                                                               \
                                                                                                    \
private:

class TCustomResourceItemEditorFactory {
public:
    static const char* StaticClassName() { return "TCustomResourceItemEditorFactory"; }
    static TResourceItemEditorFactoryClass ClassInfo()
    {
        static const TResourceItemEditorFactoryClassOf<TCustomResourceItemEditorFactory> info;
        return &info;
    }
};

using TResourceItemEditorCallback = std::function<void(TResourceItemEditorFactoryClass Factory, bool& Continue)>;

struct TResourceItemEditorEntry {
    TResourceItemEditorFactoryClass FactoryClass;
    int Priority;
};

class TCustomResourceItemEditorDatabase {
public:
    virtual ~TCustomResourceItemEditorDatabase() = default;
    virtual int GetCount() const = 0;
    virtual TResourceItemEditorFactoryClass GetFactory(int Index) const = 0;
    virtual void Add(TResourceItemEditorFactoryClass FactoryClass, int Priority) = 0;
    virtual void Remove(TResourceItemEditorFactoryClass FactoryClass) = 0;
    // One pass in priority order; as the view registry's Find otherwise.
    virtual TResourceItemEditorFactoryClass Find(TCustomResourceItem* ResourceItem, const TResourceItemEditorCallback& Callback = {}) = 0;
    virtual TResourceItemEditorFactoryClass Find(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName,
                                                 const TResourceItemEditorCallback& Callback, TStream* Data) = 0;
    int Count() const { return GetCount(); }
};

class TResourceItemEditorDatabase : public TCustomResourceItemEditorDatabase {
public:
    int GetCount() const override { return static_cast<int>(FList.size()); }
    TResourceItemEditorFactoryClass GetFactory(int Index) const override;
    void Add(TResourceItemEditorFactoryClass FactoryClass, int Priority) override;
    void Remove(TResourceItemEditorFactoryClass FactoryClass) override;
    TResourceItemEditorFactoryClass Find(TCustomResourceItem* ResourceItem, const TResourceItemEditorCallback& Callback = {}) override;
    TResourceItemEditorFactoryClass Find(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName,
                                         const TResourceItemEditorCallback& Callback, TStream* Data) override;

private:
    TResourceItemEditorFactoryClass FindFirst(const std::function<bool(TResourceItemEditorFactoryClass)>& Matches,
                                              const TResourceItemEditorCallback& Callback);
    std::vector<TResourceItemEditorEntry> FList;
};

TCustomResourceItemEditorDatabase* ResourceItemEditorDatabase();
using TResourceItemEditorDatabaseFactory = std::unique_ptr<TCustomResourceItemEditorDatabase> (*)();
TResourceItemEditorDatabaseFactory SetResourceItemEditorDatabaseClass(TResourceItemEditorDatabaseFactory Factory);

// Shown in a pane in place of a view or editor that failed to start.
class TFrameViewEditHandlerError : public QWidget {
    Q_OBJECT

public:
    explicit TFrameViewEditHandlerError(QWidget* Parent = nullptr);
    QString Text() const;
    void SetText(const QString& Value);

private:
    class QLabel* FLabelError;
};

// The configuration service's sections "Editors" and "Viewers" (OpenSection), where the settings of
// editors and views live (ISettingsProvider; the workspace loads and saves them). The root service used
// to open them is obtained from ConfigurationService on the first call and kept for the rest of the run;
// every call opens a new section service on it.
IConfigurationServicePtr EditorsConfigurationService();
IConfigurationServicePtr ViewersConfigurationService();

// Frees the editor registry and lets go of the kept configuration service.
void koAtelier_Finalize();
