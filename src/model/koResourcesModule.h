// A loaded resource container: the list that owns all its items (children included), its change
// batches, its subscribers, its file name and modified state.
#pragma once

#include "koGenerics.h"
#include "koResourcesItem.h"
#include "koResourcesMessages.h"
#include "platform/Sets.h"

#include <QHash>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <memory>

class TCustomResourceModule;
class TResourceSymbols;
class TResourceScriptSymbolFile;
class TCustomResourceModuleFiler;

enum TResourceModuleStateFlag { msDestroying, msLoading, msSaving };
using TResourceModuleState = TSet<TResourceModuleStateFlag>;

// The resource compiler's next-identifier counters, kept as hidden symbols of the module.
enum TResourceIdentifierCounter { ricItem, ricCommand, ricControl, ricSymEdit };

// The module's own list: it owns its items, and adding or extracting an item sets the item's module.
class TResourceModuleItemList : public TResourceItemList {
public:
    explicit TResourceModuleItemList(TCustomResourceModule* AModule);
    int BeginUpdate() override;
    int EndUpdate() override;
    void Add(TCustomResourceItem* Item) override;
    using TResourceItemList::Add;
    TCustomResourceItem* Extract(TCustomResourceItem* Item) override;
    TCustomResourceModule* Module() const { return FModule; }

private:
    TCustomResourceModule* FModule;
};

class TCustomResourceModule : public QObject {
    Q_OBJECT

public:
    TCustomResourceModule();
    ~TCustomResourceModule() override;

    TResourceItemList* Items();
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    void Subscribe(IResourceItemNotification* Subscriber);
    void Unsubscribe(IResourceItemNotification* Subscriber);
    // Called by items and by the module's own batches.
    virtual void ItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification);

    TCustomResourceItem* Find(const TResourceIdent& ResourceType) const;
    TCustomResourceItem* Find(const TResourceIdent& ResourceType, const TResourceIdent& Name) const;
    TCustomResourceItem* Find(const TResourceIdent& ResourceType, const TResourceIdent& Name, uint16_t Language) const;
    bool EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback);

    // Items, symbols and the file name go; the symbol files stay.
    virtual void Clear();

    // The symbol table; the default symbols of Windows constants are loaded on first access.
    TResourceSymbols* Symbols();
    TResourceScriptSymbolFile* SymbolFile() const { return FSymbolFile.get(); }
    bool DeferDefaultSymbols() const { return FDeferDefaultSymbols; }
    void SetDeferDefaultSymbols(bool Value) { FDeferDefaultSymbols = Value; }
    // The counter's value; unless Peek the counter moves on. A missing counter starts at its default.
    int GetNextResourceID(TResourceIdentifierCounter Kind, bool Peek);
    // True when the module keeps any of the resource compiler's next-identifier counters.
    bool UsesIdentifierCounters();

    // The loaded module, or nullptr when no reader handles the file.
    static std::unique_ptr<TCustomResourceModule> LoadFromFile(const QString& FileName, void* ProgressContext = nullptr,
                                                               const TResourceProgress& OnProgress = {});
    static std::unique_ptr<TCustomResourceModule> LoadFromStream(TStream& Stream, void* ProgressContext = nullptr,
                                                                 const TResourceProgress& OnProgress = {});
    // The reader is chosen by the file name; nullptr when none handles it.
    static std::unique_ptr<TCustomResourceModule> LoadFromStream(TStream& Stream, const QString& FileName,
                                                                 void* ProgressContext = nullptr,
                                                                 const TResourceProgress& OnProgress = {});
    // Raises "Unable to locate a resource module writer for \"%s\"" before anything changes.
    void SaveToFile(const QString& FileName, void* ProgressContext = nullptr, const TResourceProgress& OnProgress = {});

    const QString& Encoding() const { return FEncoding; }
    void SetEncoding(const QString& Value) { FEncoding = Value; }
    bool NeedFix() const { return FNeedFix; }
    void SetNeedFix(bool Value) { FNeedFix = Value; }
    const QString& Filename() const { return FFilename; }
    void SetFilename(const QString& Value) { FFilename = Value; }
    bool Modified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }
    bool ItemAdded() const { return FItemAdded; }
    TResourceModuleState ModuleState() const { return FModuleState; }

    virtual void BeforeLoad();
    virtual void AfterLoad();
    virtual void BeforeSave();
    virtual void AfterSave();

protected:
    virtual std::unique_ptr<TResourceItemList> CreateItemList();

private:
    void LoadDefaultSymbols();
    // Children are numbered 1, 2, 3... per type across all parents, in the order of their names.
    void NumberChildItems();
    static std::unique_ptr<TCustomResourceModule> FinishLoad(std::unique_ptr<TCustomResourceModule> Module,
                                                             const QString& FileName);

    std::unique_ptr<TResourceItemList> FItems;
    std::unique_ptr<TWeakInterfaceList<IResourceItemNotification>> FSubscriptions;
    int FUpdateCount = 0;
    std::unique_ptr<TResourceSymbols> FSymbols;
    std::unique_ptr<TResourceScriptSymbolFile> FSymbolFile;
    QString FEncoding;
    bool FNeedFix = false;
    QString FFilename;
    bool FModified = false;
    bool FItemAdded = false;
    bool FDeferDefaultSymbols = false;
    bool FDefaultSymbolsLoaded = false;
    TResourceModuleState FModuleState;
    // Items by type and name (the first of each), while the module loads: binding after a load looks
    // items up by name for every element that refers to one, and a search each time would be quadratic.
    mutable QHash<QPair<QString, QString>, QPointer<TCustomResourceItem>> FLoadIndex;
    mutable int FLoadIndexCount = -1;
    void ClearLoadIndex() const;
};

class TResourceModule : public TCustomResourceModule {
    Q_OBJECT

public:
    using TCustomResourceModule::TCustomResourceModule;
};
