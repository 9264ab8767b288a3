#include "koAtelier.h"

#include "platform/Exceptions.h"
#include "platform/Format.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

namespace {
TRegistrySingleton<TCustomResourceItemEditorDatabase, TResourceItemEditorDatabase>& Registry()
{
    static TRegistrySingleton<TCustomResourceItemEditorDatabase, TResourceItemEditorDatabase> registry;
    return registry;
}

IConfigurationServicePtr& KeptConfigurationService()
{
    static IConfigurationServicePtr service;
    return service;
}

IConfigurationServicePtr GetConfigurationService()
{
    IConfigurationServicePtr& service = KeptConfigurationService();
    if (!service) service = ConfigurationService();
    return service;
}
} // namespace

void TCustomResourceItemEditor::ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification)
{
    if (Notification == rnUnsubscribe && Item && Item == FResourceItem) FResourceItem = nullptr;
    if (Notification == rnChanged) update();
}

void TResourceItemEditorFactoryClassInfo::Register(int Priority) const { ResourceItemEditorDatabase()->Add(this, Priority); }

void TResourceItemEditorFactoryClassInfo::Unregister() const { ResourceItemEditorDatabase()->Remove(this); }

TResourceItemEditorFactoryClass TResourceItemEditorDatabase::GetFactory(int Index) const
{
    if (Index < 0 || Index >= GetCount()) throw EListError(Format("List index out of bounds (%d)", {Index}));
    return FList[static_cast<size_t>(Index)].FactoryClass;
}

void TResourceItemEditorDatabase::Add(TResourceItemEditorFactoryClass FactoryClass, int Priority)
{
    size_t index = FList.size();
    while (index > 0 && FList[index - 1].Priority >= Priority) --index;
    FList.insert(FList.begin() + static_cast<ptrdiff_t>(index), {FactoryClass, Priority});
}

void TResourceItemEditorDatabase::Remove(TResourceItemEditorFactoryClass FactoryClass)
{
    for (auto it = FList.begin(); it != FList.end(); ++it)
        if (it->FactoryClass == FactoryClass) {
            FList.erase(it);
            return;
        }
}

TResourceItemEditorFactoryClass TResourceItemEditorDatabase::FindFirst(
    const std::function<bool(TResourceItemEditorFactoryClass)>& Matches, const TResourceItemEditorCallback& Callback)
{
    TResourceItemEditorFactoryClass result = nullptr;
    const std::vector<TResourceItemEditorEntry> entries = FList;
    for (const TResourceItemEditorEntry& entry : entries) {
        if (!Matches(entry.FactoryClass)) continue;
        result = entry.FactoryClass;
        if (!Callback) return result;
        bool Continue = true;
        Callback(result, Continue);
        if (!Continue) return result;
    }
    return result;
}

TResourceItemEditorFactoryClass TResourceItemEditorDatabase::Find(TCustomResourceItem* ResourceItem,
                                                                 const TResourceItemEditorCallback& Callback)
{
    const std::unique_ptr<TStream> data = ItemDataForHandles(ResourceItem);
    const TResourceIdent type = ResourceItem->ResourceType();
    const TResourceIdent name = ResourceItem->Name();
    return FindFirst([&](TResourceItemEditorFactoryClass factory) {
        if (factory->Handles(ResourceItem)) return true;
        if (!data) return false;
        data->SetPosition(0);
        return factory->Handles(type, name, data.get());
    }, Callback);
}

TResourceItemEditorFactoryClass TResourceItemEditorDatabase::Find(const TResourceIdent& ResourceType,
                                                                 const TResourceIdent& ResourceName,
                                                                 const TResourceItemEditorCallback& Callback, TStream* Data)
{
    return FindFirst([&](TResourceItemEditorFactoryClass factory) {
        return factory->Handles(ResourceType, ResourceName, Data);
    }, Callback);
}

TCustomResourceItemEditorDatabase* ResourceItemEditorDatabase() { return Registry().Get(); }

TResourceItemEditorDatabaseFactory SetResourceItemEditorDatabaseClass(TResourceItemEditorDatabaseFactory Factory)
{
    return Registry().SetFactory(Factory);
}

TFrameViewEditHandlerError::TFrameViewEditHandlerError(QWidget* Parent) : QWidget(Parent)
{
    resize(320, 240);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* image = new QLabel(this);
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    image->setAlignment(Qt::AlignTop);
    layout->addWidget(image);
    FLabelError = new QLabel(QStringLiteral("Error message"), this);
    FLabelError->setWordWrap(true);
    FLabelError->setTextFormat(Qt::PlainText);
    FLabelError->setContentsMargins(16, 4, 16, 4);
    FLabelError->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(FLabelError, 1);
}

QString TFrameViewEditHandlerError::Text() const { return FLabelError->text(); }

void TFrameViewEditHandlerError::SetText(const QString& Value) { FLabelError->setText(Value); }

IConfigurationServicePtr EditorsConfigurationService() { return GetConfigurationService()->OpenSection(QStringLiteral("Editors")); }

IConfigurationServicePtr ViewersConfigurationService() { return GetConfigurationService()->OpenSection(QStringLiteral("Viewers")); }

void koAtelier_Finalize()
{
    Registry().Reset();
    KeptConfigurationService().reset();
}
