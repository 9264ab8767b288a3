#include "AtelierAcceleratorPropertyEditors.h"

#include "designer/koDesignInterface.h"
#include "kinds/koResourceItemAccelerator.h"
#include "platform/ShortCuts.h"

namespace {

constexpr uint16_t vkBack = 0x08, vkInsert = 0x2D, vkDelete = 0x2E, vkF1 = 0x70;

TAcceleratorItem* EntryAt(const TRunTimePropertyEditor& Editor, int Index)
{
    return qobject_cast<TAcceleratorItem*>(Editor.Prop(Index)->Instance());
}
} // namespace

const std::vector<uint16_t>& AcceleratorListShortCuts()
{
    static const std::vector<uint16_t> list = [] {
        std::vector<uint16_t> l;
        for (uint16_t modifiers : {scCtrl, uint16_t(scCtrl | scAlt)})
            for (uint16_t key = 'A'; key <= 'Z'; ++key) l.push_back(modifiers | key);
        for (uint16_t modifiers : {uint16_t(0), scCtrl, scShift, uint16_t(scShift | scCtrl)})
            for (uint16_t key = vkF1; key < vkF1 + 12; ++key) l.push_back(modifiers | key);
        for (uint16_t key : {vkInsert, vkDelete})
            for (uint16_t modifiers : {uint16_t(0), scShift, scCtrl}) l.push_back(modifiers | key);
        l.push_back(scAlt | vkBack);
        l.push_back(scShift | scAlt | vkBack);
        return l;
    }();
    return list;
}

TCustomResourceItem* TResourceItemAcceleratorProperty::GetResourceItem()
{
    TAcceleratorItem* entry = EntryAt(*this, 0);
    return entry ? entry->ResourceItem() : nullptr;
}

TRunTimePropertyAttributes TResourceItemAcceleratorProperty::GetAttributes()
{
    TAcceleratorItem* entry = EntryAt(*this, 0);
    return entry && entry->AcceleratorType() == atVirtual ? TRunTimePropertyAttributes{paValueList}
                                                         : TRunTimePropertyAttributes{};
}

QString TResourceItemAcceleratorProperty::GetValue()
{
    TAcceleratorItem* entry = EntryAt(*this, 0);
    return entry ? AcceleratorToText(entry->Shortcut()) : QString();
}

void TResourceItemAcceleratorProperty::GetValues(QStringList& Values)
{
    Values << AcceleratorToText(TAccelerator(0));
    for (uint16_t shortCut : AcceleratorListShortCuts()) Values << ShortCutToText(TShortCut(shortCut));
}

void TResourceItemAcceleratorProperty::SetValue(const QString& Value)
{
    for (int i = 0; i < PropCount(); ++i) {
        TAcceleratorItem* entry = EntryAt(*this, i);
        if (!entry) continue;
        TAccelerator value(entry->AcceleratorType() == atVirtual ? atVirtualKey : 0);
        TextToAccelerator(Value, value);
        entry->SetShortcut(value);
    }
    Modified();
}

void RegisterAcceleratorPropertyEditors()
{
    RegisterPropertyEditor(TypeInfo<TAccelerator>(), ClassTypeInfo(&TAcceleratorItem::staticMetaObject), {},
                           TResourceItemAcceleratorProperty::ClassInfo());
}
