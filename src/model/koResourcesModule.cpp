#include "koResourcesModule.h"

#include "koResourcesFiler.h"
#include "koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

#include <QDir>
#include <QHash>
#include <QFile>
#include <algorithm>
#include <unordered_set>

// The default symbol sets live in the core library's resources.
static void InitSymbolResources() { Q_INIT_RESOURCE(symbols); }

namespace {
const char* const SFileContext = "%s";
const char* const SStreamContext = "Resource stream";
const char* const SNoWriter = "Unable to locate a resource module writer for \"%s\"";

struct TCounterInfo {
    const char* Symbol;
    int StartValue;
};
const TCounterInfo Counters[] = {
    {"_APS_NEXT_RESOURCE_VALUE", 101},
    {"_APS_NEXT_COMMAND_VALUE", 40001},
    {"_APS_NEXT_CONTROL_VALUE", 1000},
    {"_APS_NEXT_SYMED_VALUE", 101},
};

// A reader or writer of the registry, reporting its progress to the caller.
template <typename TFiler>
std::unique_ptr<TFiler> CreateFiler(TResourceModuleFilerClass FilerClass, void* ProgressContext,
                                    const TResourceProgress& OnProgress)
{
    std::unique_ptr<TCustomResourceModuleFiler> filer = FilerClass->Create();
    ATELIER_ASSERT(dynamic_cast<TFiler*>(filer.get()) != nullptr);
    filer->OnProgress = OnProgress;
    filer->ProgressContext = ProgressContext;
    return std::unique_ptr<TFiler>(static_cast<TFiler*>(filer.release()));
}
} // namespace

// Items without parent; a snapshot, since items add and free children (string blocks) meanwhile.
static std::vector<TCustomResourceItem*> RootItems(TResourceItemList* items)
{
    std::vector<TCustomResourceItem*> roots;
    for (TCustomResourceItem* item : *items)
        if (!item->Parent()) roots.push_back(item);
    return roots;
}

// TResourceModuleItemList

TResourceModuleItemList::TResourceModuleItemList(TCustomResourceModule* AModule)
    : TResourceItemList(nullptr, true), FModule(AModule)
{
}

int TResourceModuleItemList::BeginUpdate()
{
    const int depth = TResourceItemList::BeginUpdate();
    if (depth == 1) FModule->BeginUpdate();
    return depth;
}

int TResourceModuleItemList::EndUpdate()
{
    const int depth = TResourceItemList::EndUpdate();
    if (depth == 0) FModule->EndUpdate();
    return depth;
}

void TResourceModuleItemList::Add(TCustomResourceItem* Item)
{
    TUpdateGuard batch(this);
    TResourceItemList::Add(Item);
    Item->SetModule(FModule);
}

TCustomResourceItem* TResourceModuleItemList::Extract(TCustomResourceItem* Item)
{
    TUpdateGuard batch(this);
    TCustomResourceItem* extracted = TResourceItemList::Extract(Item);
    if (extracted) extracted->SetModule(nullptr);
    return extracted;
}

// TCustomResourceModule

TCustomResourceModule::TCustomResourceModule()
    : FSymbols(std::make_unique<TResourceSymbols>()), FSymbolFile(std::make_unique<TResourceScriptSymbolFile>())
{
}

TCustomResourceModule::~TCustomResourceModule()
{
    FModuleState.Include(msDestroying);
    if (FSubscriptions)
        NotifyEach(*FSubscriptions, true, [](IResourceItemNotification* subscriber) {
            try {
                subscriber->ResourceItemNotification(nullptr, rnUnsubscribe);
            } catch (...) {
                HandleApplicationException(std::current_exception());
            }
        });
    FSymbols->Clear();
    // Free the items while the list is whole: each leaves the module and tells its own subscribers.
    if (FItems) {
        try {
            for (int i = FItems->Count() - 1; i >= 0; i = std::min(i - 1, FItems->Count() - 1))
                FItems->Remove(FItems->Items(i));
        } catch (...) {
            HandleApplicationException(std::current_exception());
        }
        FItems.reset();
    }
    FSymbols.reset();
    FSymbolFile.reset();
}

std::unique_ptr<TResourceItemList> TCustomResourceModule::CreateItemList()
{
    return std::make_unique<TResourceModuleItemList>(this);
}

TResourceItemList* TCustomResourceModule::Items()
{
    if (!FItems) FItems = CreateItemList();
    return FItems.get();
}

void TCustomResourceModule::BeginUpdate()
{
    if (FUpdateCount == 0) ItemNotification(nullptr, rnChanging);
    ++FUpdateCount;
}

void TCustomResourceModule::EndUpdate()
{
    ATELIER_ASSERT(FUpdateCount > 0);
    --FUpdateCount;
    if (FUpdateCount == 0) ItemNotification(nullptr, rnChanged);
}

void TCustomResourceModule::Subscribe(IResourceItemNotification* Subscriber)
{
    if (!Subscriber) return;
    if (!FSubscriptions) FSubscriptions = std::make_unique<TWeakInterfaceList<IResourceItemNotification>>();
    FSubscriptions->Add(Subscriber);
    Subscriber->ResourceItemNotification(nullptr, rnSubscribe);
}

void TCustomResourceModule::Unsubscribe(IResourceItemNotification* Subscriber)
{
    if (FSubscriptions && FSubscriptions->Remove(Subscriber)) Subscriber->ResourceItemNotification(nullptr, rnUnsubscribe);
}

void TCustomResourceModule::ItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification)
{
    const bool inBatch = FUpdateCount > 0;
    if (!inBatch && (Notification == rnAdded || Notification == rnRemoved || Notification == rnChanged)) FModified = true;
    if (Notification == rnAdded) FItemAdded = true;
    if (!FSubscriptions || (inBatch && (Notification == rnChanging || Notification == rnChanged))) return;
    NotifyEach(*FSubscriptions, Notification == rnUnsubscribe, [&](IResourceItemNotification* subscriber) {
        subscriber->ResourceItemNotification(Item, Notification);
    });
}

TCustomResourceItem* TCustomResourceModule::Find(const TResourceIdent& ResourceType) const
{
    if (FItems)
        for (TCustomResourceItem* item : *FItems)
            if (item->ResourceType() == ResourceType) return item;
    return nullptr;
}

TCustomResourceItem* TCustomResourceModule::Find(const TResourceIdent& ResourceType, const TResourceIdent& Name) const
{
    if (FItems && FModuleState.Contains(msLoading)) {
        const auto key = qMakePair(QString(ResourceType), QString(Name));
        for (int pass = 0; pass < 2; ++pass) {
            if (pass > 0 || FLoadIndexCount != FItems->Count()) {
                ClearLoadIndex();
                for (TCustomResourceItem* item : *FItems) {
                    const auto itemKey = qMakePair(QString(item->ResourceType()), QString(item->Name()));
                    if (!FLoadIndex.contains(itemKey)) FLoadIndex.insert(itemKey, item);
                }
                FLoadIndexCount = FItems->Count();
            }
            const auto found = FLoadIndex.constFind(key);
            if (found == FLoadIndex.cend()) return nullptr;
            // Checked, so that an item that went or was renamed is never taken.
            TCustomResourceItem* item = found->data();
            if (item && item->Module() == this && item->ResourceType() == ResourceType && item->Name() == Name) return item;
        }
        return nullptr;
    }
    if (FItems)
        for (TCustomResourceItem* item : *FItems)
            if (item->ResourceType() == ResourceType && item->Name() == Name) return item;
    return nullptr;
}

TCustomResourceItem* TCustomResourceModule::Find(const TResourceIdent& ResourceType, const TResourceIdent& Name,
                                                 uint16_t Language) const
{
    if (FItems)
        for (TCustomResourceItem* item : *FItems)
            if (item->ResourceType() == ResourceType && item->Name() == Name && item->Language() == Language) return item;
    return nullptr;
}

bool TCustomResourceModule::EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback)
{
    if (!Callback) return false;
    bool Continue = true;
    if (FItems)
        for (int i = 0; Continue && i < FItems->Count(); ++i) Continue = FItems->Items(i)->EnumerateItems(Context, Callback);
    return Continue;
}

void TCustomResourceModule::Clear()
{
    {
        TUpdateGuard batch(this);
        if (FItems) FItems->Clear();
        FSymbols->Clear();
        FDeferDefaultSymbols = false;
        FDefaultSymbolsLoaded = false;
        FFilename.clear();
    }
    FModified = false;
}

TResourceSymbols* TCustomResourceModule::Symbols()
{
    LoadDefaultSymbols();
    return FSymbols.get();
}

void TCustomResourceModule::LoadDefaultSymbols()
{
    if (FDeferDefaultSymbols || FDefaultSymbolsLoaded) return;
    FDefaultSymbolsLoaded = true;
    InitSymbolResources();
    QDir dir(QStringLiteral(":/symbols"));
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile resource(dir.filePath(name));
        if (!resource.open(QIODevice::ReadOnly)) continue;
        TStringList lines;
        lines.SetText(QString::fromLatin1(resource.readAll()));
        const QString fileName = lines.Values(QStringLiteral("_filename"));
        ATELIER_ASSERT(!fileName.isEmpty());
        TResourceSymbolFile* file = FSymbolFile->Files()->Find(fileName, true);
        if (!file) {
            file = FSymbolFile->Files()->Add(fileName, true, true);
            file->SetIncludeOnDemand(true);
        }
        if (!file->Hidden() || file->IncludeOnDemand()) {
            const bool hidden = SameText(lines.Values(QStringLiteral("_hidden")), QStringLiteral("true"));
            for (int i = 0; i < lines.Count(); ++i) {
                const QString symbolName = lines.Names(i);
                if (symbolName.isEmpty() || symbolName.startsWith(QLatin1Char('_')) || FSymbols->Find(symbolName))
                    continue;
                TResourceSymbol* symbol = FSymbols->Add(symbolName);
                symbol->SetSourceFile(file);
                symbol->SetLiteralValue(lines.ValueFromIndex(i));
                symbol->SetModified(false);
                symbol->SetHidden(hidden);
            }
        }
        file->SetModified(false);
    }
}

int TCustomResourceModule::GetNextResourceID(TResourceIdentifierCounter Kind, bool Peek)
{
    const TCounterInfo& counter = Counters[Kind];
    const QString name = QString::fromLatin1(counter.Symbol);
    TResourceSymbol* symbol = Symbols()->Find(name);
    if (!symbol) {
        symbol = FSymbols->Add(name);
        symbol->SetValue(counter.StartValue);
        symbol->SetHidden(true);
        symbol->SetSourceFile(FSymbolFile->PrimaryFile());
    }
    // A counter whose text is no number starts again from its default.
    const int result = symbol->IsNumeric() ? symbol->Value().toInt() : counter.StartValue;
    if (!Peek) symbol->SetValue(result + 1);
    return result;
}

bool TCustomResourceModule::UsesIdentifierCounters()
{
    for (const TCounterInfo& counter : Counters)
        if (Symbols()->Find(QString::fromLatin1(counter.Symbol))) return true;
    return false;
}

std::unique_ptr<TCustomResourceModule> TCustomResourceModule::FinishLoad(std::unique_ptr<TCustomResourceModule> Module,
                                                                         const QString& FileName)
{
    if (!Module) return nullptr;
    ATELIER_ASSERT(Module->ModuleState().Contains(msLoading));
    Module->SetFilename(FileName);
    Module->AfterLoad();
    return Module;
}

std::unique_ptr<TCustomResourceModule> TCustomResourceModule::LoadFromFile(const QString& FileName, void* ProgressContext,
                                                                           const TResourceProgress& OnProgress)
{
    TMessageContextScope context(Format(QString::fromLatin1(SFileContext), {ExtractFileName(FileName)}));
    TResourceModuleFilerClass readerClass = ResourceModuleFilerDatabase()->FindReader(FileName);
    if (!readerClass) return nullptr;
    const auto reader = CreateFiler<TCustomResourceModuleReader>(readerClass, ProgressContext, OnProgress);
    return FinishLoad(reader->LoadFromFile(FileName), FileName);
}

std::unique_ptr<TCustomResourceModule> TCustomResourceModule::LoadFromStream(TStream& Stream, void* ProgressContext,
                                                                             const TResourceProgress& OnProgress)
{
    TMessageContextScope context(QString::fromLatin1(SStreamContext));
    TResourceModuleFilerClass readerClass = ResourceModuleFilerDatabase()->FindReader(&Stream);
    if (!readerClass) return nullptr;
    const auto reader = CreateFiler<TCustomResourceModuleReader>(readerClass, ProgressContext, OnProgress);
    return FinishLoad(reader->LoadFromStream(Stream), QString());
}

std::unique_ptr<TCustomResourceModule> TCustomResourceModule::LoadFromStream(TStream& Stream, const QString& FileName,
                                                                             void* ProgressContext,
                                                                             const TResourceProgress& OnProgress)
{
    TMessageContextScope context(Format(QString::fromLatin1(SFileContext), {ExtractFileName(FileName)}));
    TResourceModuleFilerClass readerClass = ResourceModuleFilerDatabase()->FindReader(FileName);
    if (!readerClass) return nullptr;
    const auto reader = CreateFiler<TCustomResourceModuleReader>(readerClass, ProgressContext, OnProgress);
    return FinishLoad(reader->LoadFromStream(Stream), FileName);
}

void TCustomResourceModule::SaveToFile(const QString& FileName, void* ProgressContext, const TResourceProgress& OnProgress)
{
    TMessageContextScope context(Format(QString::fromLatin1(SFileContext), {ExtractFileName(FileName)}));
    TResourceModuleFilerClass writerClass = ResourceModuleFilerDatabase()->FindWriter(this, FileName);
    if (!writerClass) throw Exception(Format(QString::fromLatin1(SNoWriter), {FileName}));
    NumberChildItems();
    std::vector<std::pair<TCustomResourceItem*, bool>> modified;
    for (TCustomResourceItem* item : *Items()) modified.emplace_back(item, item->Modified());
    try {
        BeforeSave();
        CreateFiler<TCustomResourceModuleWriter>(writerClass, ProgressContext, OnProgress)->SaveToFile(this, FileName, FEncoding);
    } catch (...) {
        AfterSave();
        // Nothing was saved: what was modified still is.
        std::unordered_set<const TCustomResourceItem*> present;
        for (TCustomResourceItem* item : *Items()) present.insert(item);
        for (const auto& [item, wasModified] : modified)
            if (present.count(item)) item->SetModified(wasModified);
        throw;
    }
    FFilename = FileName;
    AfterSave();
    FModified = false;
}

void TCustomResourceModule::NumberChildItems()
{
    std::vector<TCustomResourceItem*> children;
    for (TCustomResourceItem* item : *Items())
        if (item->Parent() && !item->Internal() && item->ClassType()->Capabilities().Contains(rcWrite))
            children.push_back(item);
    std::sort(children.begin(), children.end(),
              [](const TCustomResourceItem* a, const TCustomResourceItem* b) { return CompareResourceItems(a, b) < 0; });
    uint16_t number = 0;
    const TCustomResourceItem* previous = nullptr;
    TResourceIdent previousName;
    for (TCustomResourceItem* child : children) {
        const bool sameType = previous && previous->ResourceType() == child->ResourceType();
        // Language variants of one resource keep sharing a name.
        if (!sameType || child->Name() != previousName) number = sameType ? uint16_t(number + 1) : uint16_t(1);
        previous = child;
        previousName = child->Name();
        child->LockUpdate();
        try {
            child->SetNameInteger(number);
        } catch (...) {
            child->UnlockUpdate();
            throw;
        }
        child->UnlockUpdate();
    }
}

void TCustomResourceModule::BeforeLoad()
{
    ClearLoadIndex();
    FModuleState.Include(msLoading);
}

void TCustomResourceModule::ClearLoadIndex() const
{
    FLoadIndex.clear();
    FLoadIndexCount = -1;
}

void TCustomResourceModule::AfterLoad()
{
    try {
        // Groups split over several resources come together under the first, the last of the others
        // first. Groups of other languages stay apart: each is a resource of its own, which a merged group
        // would not write again. Found by type, name and language, so a module of many groups loads in
        // linear time.
        QHash<QPair<QPair<QString, QString>, uint16_t>, size_t> groupIndex;
        std::vector<std::vector<TCustomResourceItem*>> groups;
        for (TCustomResourceItem* item : *Items()) {
            if (!item->IsGroup()) continue;
            const auto key = qMakePair(qMakePair(QString(item->ResourceType()), QString(item->Name())), uint16_t(item->Language()));
            const auto found = groupIndex.constFind(key);
            if (found != groupIndex.cend()) {
                groups[*found].push_back(item);
            } else {
                groupIndex.insert(key, groups.size());
                groups.push_back({item});
            }
        }
        for (const std::vector<TCustomResourceItem*>& same : groups) {
            TCustomResourceItem* group = same.front();
            for (auto it = same.rbegin(); it != same.rend() - 1; ++it) {
                TCustomResourceItem* other = *it;
                if (!Items()->Contains(other)) continue;
                while (other->HasItems()) other->Items()->Items(other->Items()->Count() - 1)->SetParent(group);
                Items()->Remove(other);
            }
        }
        Items()->Sort();
        FModified = false;
        FItemAdded = false;
        const std::vector<TCustomResourceItem*> roots = RootItems(Items());
        for (TCustomResourceItem* item : roots)
            if (!item->ClassType()->ParentClass() && Items()->Contains(item)) item->AfterLoad();
        for (TCustomResourceItem* item : roots)
            if (item->ClassType()->ParentClass() && Items()->Contains(item) && !item->Parent()) item->AfterLoad();
        if (FItemAdded) Items()->Sort();
        FModified = false;
    } catch (...) {
        FModuleState.Exclude(msLoading);
        ClearLoadIndex();
        throw;
    }
    FModuleState.Exclude(msLoading);
    ClearLoadIndex();
}

void TCustomResourceModule::BeforeSave()
{
    FModuleState.Include(msSaving);
    for (TCustomResourceItem* item : RootItems(Items())) item->BeforeSave();
}

void TCustomResourceModule::AfterSave()
{
    TFinally done([this] { FModuleState.Exclude(msSaving); });
    for (TCustomResourceItem* item : RootItems(Items()))
        if (Items()->Contains(item)) item->AfterSave();
}
