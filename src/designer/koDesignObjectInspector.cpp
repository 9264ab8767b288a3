#include "designer/koDesignObjectInspector.h"

#include "designer/koDesignPropertyEditors.h"
#include "designer/koDesignWindow.h"

#include "model/koResourcesItem.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <qdrawutil.h>
#include <algorithm>

Q_LOGGING_CATEGORY(lcInspector, "atelier.designer.inspector")

namespace {
// Components are the widgets of a form; their owner is the widget they sit on.
bool IsComponent(QObject* AObject) { return AObject && AObject->isWidgetType(); }
QObject* ComponentOwner(QObject* AObject) { return AObject ? AObject->parent() : nullptr; }
QList<QObject*> OwnedComponents(QObject* Owner)
{
    QList<QObject*> result;
    for (QObject* child : Owner->children())
        if (IsComponent(child)) result.append(child);
    return result;
}
QObject* FindOwnedComponent(QObject* Owner, const QString& Name)
{
    for (QObject* c : OwnedComponents(Owner))
        if (SameText(c->objectName(), Name)) return c;
    return nullptr;
}
// Published methods of a root are its slots and invokable methods, found by name.
QString MethodNameOf(QObject* Root, const TMethod& Method)
{
    if (Method.Data != Root || Method.Code.isEmpty()) return QString();
    const QMetaObject* meta = Root->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i)
        if (meta->method(i).name() == Method.Code) return QString::fromLatin1(Method.Code);
    return QString();
}
TMethod MethodAddressOf(QObject* Root, const QString& Name)
{
    const QMetaObject* meta = Root->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i)
        if (meta->method(i).name() == Name.toLatin1()) return TMethod{Root, Name.toLatin1()};
    return TMethod();
}

// An update of the control for a scope.
struct TUpdate {
    explicit TUpdate(TRunTimeCustomObjectControl* AControl) : Control(AControl) { Control->BeginUpdate(); }
    ~TUpdate() { Control->EndUpdate(); }
    TRunTimeCustomObjectControl* Control;
};

// The platform's 3D and system colours, taken from the palette.
QColor SysColor(QPalette::ColorRole Role) { return QApplication::palette().color(Role); }

bool IsNone(const QColor& c) { return !c.isValid(); }
} // namespace

// ---------------------------------------------------------------------------------------------------
// Colours

TRunTimeObjectInspectorColors::TRunTimeObjectInspectorColors(TRunTimeCustomObjectInspector* AInspector)
    : QObject(AInspector), FInspector(AInspector)
{
    FName = SysColor(QPalette::WindowText);
    FValue = QColor(0x00, 0x00, 0x80);    // navy
    FReference = QColor(0x80, 0x00, 0x00); // maroon
    FSubProperties = QColor(0x00, 0x80, 0x00);
    FReadOnly = SysColor(QPalette::ButtonText);
    FEditValue = SysColor(QPalette::WindowText);
    FSelected = QColor(0xE0, 0xE0, 0xE0);
    FLineVertical = SysColor(QPalette::Dark);
    FLineHorizontalOdd = SysColor(QPalette::Button);
    FLineHorizontalEven = SysColor(QPalette::Dark);
}

void TRunTimeObjectInspectorColors::Set(QColor& Field, const QColor& V)
{
    if (Field == V) return;
    Field = V;
    FInspector->Changed();
}

// ---------------------------------------------------------------------------------------------------
// Property lists of the inspector

TRunTimeObjectInspectorPropertyList::TRunTimeObjectInspectorPropertyList(TRunTimeProperty* AOwner)
    : TRunTimePropertyList(AOwner)
{
    // A sub-list takes the inspector and the root of the list that holds its property.
    if (AOwner)
        if (auto* parent = dynamic_cast<TRunTimeObjectInspectorPropertyList*>(AOwner->Owner())) {
            FObjectInspector = parent->FObjectInspector;
            FRoot = parent->FRoot;
        }
}

std::unique_ptr<TRunTimePropertyList> TRunTimeObjectInspectorPropertyList::NewList(TRunTimeProperty* AOwner)
{
    return std::make_unique<TRunTimeObjectInspectorPropertyList>(AOwner);
}

void TRunTimeObjectInspectorPropertyList::SetRoot(QObject* Value)
{
    FRoot = Value;
    for (int i = 0; i < Count(); ++i)
        if (TRunTimeProperty* p = Items(i))
            if (auto* sub = dynamic_cast<TRunTimeObjectInspectorPropertyList*>(p->Properties())) sub->SetRoot(Value);
}

TRunTimePropertyClass TRunTimeObjectInspectorPropertyList::GetPropertyClass(PPropInfo PropInfo)
{
    return RefinedPropertyClass(PropInfo);
}

bool TRunTimeObjectInspectorPropertyList::ExcludeProperty(TRunTimeProperty* AProperty)
{
    // Names and tab orders are never the same for several objects.
    return SameText(AProperty->FullName(), QStringLiteral("Name")) ||
           SameText(AProperty->FullName(), QStringLiteral("TabOrder"));
}

void TRunTimeObjectInspectorPropertyList::GetMethodValue(TRunTimeProperty* AProperty, QString& Text)
{
    Text.clear();
    auto* method = dynamic_cast<TRunTimeMethodProperty*>(AProperty);
    if (FObjectInspector && FObjectInspector->OnGetMethodName) {
        FObjectInspector->OnGetMethodName(FObjectInspector, Instance(), method, Text);
        return;
    }
    if (FRoot && method) Text = MethodNameOf(FRoot, method->AsMethod());
}

void TRunTimeObjectInspectorPropertyList::GetMethodAddress(TRunTimeProperty* AProperty, const QString& MethodName,
                                                           TMethod& Method)
{
    Method = TMethod();
    auto* method = dynamic_cast<TRunTimeMethodProperty*>(AProperty);
    if (FObjectInspector && FObjectInspector->OnGetMethodAddress) {
        FObjectInspector->OnGetMethodAddress(FObjectInspector, Instance(), method, MethodName, Method);
        return;
    }
    if (FRoot) Method = MethodAddressOf(FRoot, MethodName);
}

QObject* TRunTimeObjectInspectorPropertyList::FindComponent(const QString& Name)
{
    if (FRoot) return FindOwnedComponent(FRoot, Name);
    if (QObject* instance = Instance())
        if (IsComponent(instance)) {
            QObject* owner = ComponentOwner(instance);
            return owner ? FindOwnedComponent(owner, Name) : nullptr;
        }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------------
// The inspector

TRunTimeCustomObjectInspector::TRunTimeCustomObjectInspector(QWidget* AOwner) : TRunTimeCustomObjectControl(AOwner)
{
    FHintWindow = new TRunTimeObjectInspectorHintWindow(this);
    FTypeKinds = AllTypeKinds() - TTypeKinds{tkUnknown, tkMethod};
    FEditor = new TRunTimeObjectInspectorEdit(this);
    resize(233, 339);
    setFocusPolicy(Qt::ClickFocus);
    FProperties = std::make_unique<TRunTimeObjectInspectorPropertyList>();
    FProperties->SetObjectInspector(this);
    FColors = new TRunTimeObjectInspectorColors(this);
    LoadGlyphs();
    viewport()->setMouseTracking(true);
    setFrameShape(QFrame::NoFrame);
}

TRunTimeCustomObjectInspector::~TRunTimeCustomObjectInspector()
{
    FDestroying = true;
    try {
        ReleasePropertyEditor();
    } catch (...) {
        HandleEventException();
    }
    DetachPropertyEditor();
    FItems.clear();
    for (auto& instance : FInstances)
        if (instance) disconnect(instance, nullptr, this, nullptr);
    FPropertyLists.clear();
    FProperties.reset();
}

QObject* TRunTimeCustomObjectInspector::Instance() const { return FProperties ? FProperties->Instance() : nullptr; }

bool TRunTimeCustomObjectInspector::HasInstance(QObject* AInstance) const
{
    return std::any_of(FInstances.begin(), FInstances.end(), [&](const QPointer<QObject>& p) { return p == AInstance; });
}

TRunTimeProperty* TRunTimeCustomObjectInspector::Row(int Index) const
{
    if (Index < 0 || Index >= FItems.size()) return nullptr;
    return static_cast<TRunTimeProperty*>(FItems[Index]);
}

int TRunTimeCustomObjectInspector::RowOf(const QString& FullName) const
{
    for (int i = 0; i < FItems.size(); ++i)
        if (SameText(Row(i)->FullName(), FullName)) return i;
    return -1;
}

void TRunTimeCustomObjectInspector::AddInstance(QObject* AInstance, bool Exclusive)
{
    if (FUpdateCount > 0) return;
    if (AInstance && HasInstance(AInstance) && (!Exclusive || InstanceCount() == 1)) return;
    {
        TUpdate update(this);
        Changed();
        ReleasePropertyEditor();
        FHintWindow->SetPlace(-1, hpNone);
        HideHint();
        if (Exclusive) {
            FItems.clear();
            FProperties->SetInstance(nullptr);
            while (!FPropertyLists.empty()) DropInstanceList(int(FPropertyLists.size()) - 1);
        }
        if (AInstance) {
            auto list = std::make_unique<TRunTimeObjectInspectorPropertyList>();
            list->SetObjectInspector(this);
            list->SetRoot(FProperties->Root());
            list->SetInstance(AInstance);
            FPropertyLists.push_back(std::move(list));
            FInstances.emplace_back(AInstance);
            // Every inspected object is watched, not only components: rows never outlive their object.
            connect(AInstance, &QObject::destroyed, this, &TRunTimeCustomObjectInspector::InstanceDestroyed);
        }
        RebuildRows();
    }
    if (FPropertyLists.empty()) FEditor->hide();
}

void TRunTimeCustomObjectInspector::DropInstanceList(int Index)
{
    if (QObject* instance = FInstances[Index]) disconnect(instance, &QObject::destroyed, this, nullptr);
    FInstances.erase(FInstances.begin() + Index);
    FPropertyLists.erase(FPropertyLists.begin() + Index);
}

void TRunTimeCustomObjectInspector::RemoveInstance(QObject* AInstance)
{
    const auto it = std::find(FInstances.begin(), FInstances.end(), AInstance);
    if (!AInstance || it == FInstances.end()) return;
    ReleasePropertyEditor();
    FHintWindow->SetPlace(-1, hpNone);
    HideHint();
    {
        TUpdate update(this);
        FItems.clear();
        FProperties->SetInstance(nullptr);
        DropInstanceList(int(it - FInstances.begin()));
        RebuildRows();
    }
    if (FPropertyLists.empty()) FEditor->hide();
}

void TRunTimeCustomObjectInspector::InstanceDestroyed(QObject* AInstance)
{
    if (FDestroying) return;
    // The object is half gone: nothing may read or write it, so the edit's text is dropped, not
    // committed, and its list goes before anything is rebuilt.
    const auto it = std::find_if(FInstances.begin(), FInstances.end(),
                                 [&](const QPointer<QObject>& p) { return p.isNull() || p == AInstance; });
    DetachPropertyEditor();
    FHintWindow->SetPlace(-1, hpNone);
    HideHint();
    TUpdate update(this);
    FItems.clear();
    FItemIndex = -1;
    FProperties->SetInstance(nullptr);
    if (it != FInstances.end()) {
        const int index = int(it - FInstances.begin());
        FInstances.erase(FInstances.begin() + index);
        FPropertyLists.erase(FPropertyLists.begin() + index);
    }
    try {
        RebuildRows();
    } catch (...) {
        HandleEventException();
    }
    if (FPropertyLists.empty()) FEditor->hide();
}

void TRunTimeCustomObjectInspector::DetachPropertyEditor()
{
    if (FSearchEdit) {
        FSearchEdit->deleteLater();
        FSearchEdit = nullptr;
    }
    if (FEditor) FEditor->SetPropertyEditor(nullptr);
}

void TRunTimeCustomObjectInspector::RebuildRows()
{
    TUpdate update(this);
    QString selected;
    if (TRunTimeProperty* p = SelectedProperty()) selected = p->FullName();
    // Rows point into the merged list: they go before it is rebuilt.
    DetachPropertyEditor();
    FItems.clear();
    FItemIndex = -1;
    FProperties->SetInstance(nullptr);
    if (!FPropertyLists.empty()) {
        FProperties->SetInstance(FPropertyLists.front()->Instance());
        for (size_t i = 1; i < FPropertyLists.size(); ++i) FProperties->Intersect(FPropertyLists[i].get());
        Changed();
    }
    FTopIndex = 0;
    int candidate = -1;
    for (int i = 0; i < FProperties->Count(); ++i) {
        TRunTimeProperty* p = FProperties->Items(i);
        if (IsPropertyHidden(p)) continue;
        FItems.append(p);
        if (candidate < 0 && (p->Name() == QLatin1String("Caption") || p->Name() == QLatin1String("Text")))
            candidate = int(FItems.size()) - 1;
    }
    if (!selected.isEmpty()) {
        if (selected.contains(QLatin1Char('.'))) ExpandPath(selected);
        const int row = RowOf(selected);
        if (row >= 0) candidate = row;
    }
    if (candidate < 0)
        for (int i = 0; i < FItems.size(); ++i)
            if (Row(i)->Name() == QLatin1String("Name")) {
                candidate = i;
                break;
            }
    if (candidate < 0 && !FItems.isEmpty()) candidate = 0;
    Changed();
    SelectRow(candidate);
}

void TRunTimeCustomObjectInspector::ReselectByName(const QString& FullName)
{
    int row = -1;
    if (!FullName.isEmpty()) {
        if (FullName.contains(QLatin1Char('.'))) ExpandPath(FullName);
        row = RowOf(FullName);
    }
    if (row < 0 && !FItems.isEmpty()) row = 0;
    SelectRow(row);
}

void TRunTimeCustomObjectInspector::UpdateRows()
{
    bool changed = false;
    int lastRow = -1; // the row of the last top-level property that has one
    for (int i = 0; i < FProperties->Count(); ++i) {
        TRunTimeProperty* p = FProperties->Items(i);
        const int row = int(FItems.indexOf(p));
        const bool hidden = IsPropertyHidden(p);
        if (row >= 0 && hidden) {
            RemoveSubRows(row);
            FItems.removeAt(row);
            changed = true;
        } else if (row < 0 && !hidden) {
            // Right after the preceding top-level property, before its open sub-rows.
            FItems.insert(lastRow + 1, p);
            lastRow = lastRow + 1;
            changed = true;
        } else if (row >= 0) {
            lastRow = row;
        }
    }
    if (!changed) return;
    QString selected;
    if (TRunTimeProperty* p = SelectedProperty(); p && FItems.contains(p)) selected = p->FullName();
    else if (FEditor->PropertyEditor())
        selected = FEditor->PropertyEditor()->Prop(0)->FullName();
    DetachPropertyEditor();
    FItemIndex = -1;
    FTopIndex = 0;
    Changed();
    ReselectByName(selected);
}

bool TRunTimeCustomObjectInspector::IsPropertyHidden(TRunTimeProperty* AProperty)
{
    bool hidden = false;
    if (AProperty->PropInfo()) {
        const int kind = AProperty->TypeKind(); // 255 without a type
        if (!AProperty->GetProc()) hidden = true;
        else if (kind > tkProcedure || !FTypeKinds.Contains(TTypeKind(kind))) hidden = true;
        else if (FKind == ikEvent && kind == tkClass && !dynamic_cast<TRunTimeComponentProperty*>(AProperty))
            hidden = true;
        if (hidden) return true;
    }
    if (QObject* instance = AProperty->Instance())
        if (auto* filter = dynamic_cast<IPropertyFilter*>(instance)) hidden = filter->FilterProperty(AProperty->Name());
    if (OnFilterProperty) OnFilterProperty(this, AProperty, hidden);
    return hidden;
}

void TRunTimeCustomObjectInspector::SetKind(TKObjectInspectorKind Value)
{
    FKind = Value;
    if (FKind == ikEvent) FTypeKinds = TTypeKinds{tkMethod};
    else FTypeKinds = AllTypeKinds() - TTypeKinds{tkUnknown, tkMethod};
    if (FOptions.Contains(ioShowSubProperties)) FTypeKinds.Include(tkClass);
    ReleasePropertyEditor();
    RebuildRows();
}

void TRunTimeCustomObjectInspector::SetOptions(TRunTimeObjectInspectorOptions Value)
{
    FOptions = Value;
    ReleasePropertyEditor();
    RebuildRows();
}

void TRunTimeCustomObjectInspector::SetRoot(QObject* Value)
{
    FProperties->SetRoot(Value);
    for (auto& list : FPropertyLists) list->SetRoot(Value);
    ReleasePropertyEditor();
    RebuildRows();
}

void TRunTimeCustomObjectInspector::SetBorderStyle(TBorderStyle Value)
{
    FBorderStyle = Value;
    setFrameShape(Value == bsSingle ? (FFlat ? QFrame::Box : QFrame::StyledPanel) : QFrame::NoFrame);
}

void TRunTimeCustomObjectInspector::SetFlat(bool Value)
{
    FFlat = Value;
    SetBorderStyle(FBorderStyle);
    Changed();
}

// ----- sub-rows

TRunTimeProperty* TRunTimeCustomObjectInspector::ExpandableProperty(int Index)
{
    TRunTimeProperty* p = Row(Index);
    if (!p || !p->Properties()) return nullptr;
    if (dynamic_cast<TRunTimeComponentProperty*>(p) && !FOptions.Contains(ioShowSubProperties)) return nullptr;
    if (GetVisualValue(p).isEmpty()) return nullptr;
    if (Index + 1 < FItems.size() && Row(Index + 1)->Parent() == p) return nullptr;
    TRunTimePropertyList* subs = p->Properties();
    for (int i = 0; i < subs->Count(); ++i)
        if (!IsPropertyHidden(subs->Items(i))) return p;
    return nullptr;
}

TRunTimeProperty* TRunTimeCustomObjectInspector::ExpandedProperty(int Index)
{
    TRunTimeProperty* p = Row(Index);
    if (!p || !p->Properties() || p->Properties()->Count() == 0) return nullptr;
    for (int i = Index + 1; i < FItems.size(); ++i)
        if (Row(i)->Parent() == p) return p;
    return nullptr;
}

int TRunTimeCustomObjectInspector::InsertSubRows(int Index, TRunTimeProperty* AProperty)
{
    int n = 0;
    TRunTimePropertyList* subs = AProperty->Properties();
    if (!subs) return 0;
    for (int i = 0; i < subs->Count(); ++i) {
        TRunTimeProperty* sub = subs->Items(i);
        if (IsPropertyHidden(sub)) continue;
        ++n;
        if (!FItems.contains(sub)) FItems.insert(Index + n, sub);
    }
    return n;
}

void TRunTimeCustomObjectInspector::Expand(int Index)
{
    TRunTimeProperty* p = ExpandableProperty(Index);
    if (!p) return;
    TUpdate update(this);
    const int n = InsertSubRows(Index, p);
    if (n > 0 && Index + n >= GetVisibleCount() + FTopIndex - 1)
        SetTopIndex(std::min(Index + n - GetVisibleCount() + 2, FItemIndex));
    Changed();
    FDragKind = dkNone;
}

bool TRunTimeCustomObjectInspector::Descends(TRunTimeProperty* AProperty, TRunTimeProperty* Ancestor) const
{
    for (TRunTimeProperty* p = AProperty->Parent(); p; p = p->Parent())
        if (p == Ancestor) return true;
    return false;
}

void TRunTimeCustomObjectInspector::RemoveSubRows(int Index)
{
    TRunTimeProperty* p = Row(Index);
    if (!p) return;
    const bool editorGoes = [&] {
        for (int i = Index + 1; i < FItems.size(); ++i)
            if (Descends(Row(i), p) && i == FItemIndex) return true;
        return false;
    }();
    for (int i = int(FItems.size()) - 1; i > Index; --i)
        if (Descends(Row(i), p)) {
            FItems.removeAt(i);
            if (FItemIndex > i) --FItemIndex;
        }
    if (editorGoes) {
        DetachPropertyEditor();
        FItemIndex = -1;
    }
}

void TRunTimeCustomObjectInspector::Collapse(int Index)
{
    TRunTimeProperty* p = ExpandedProperty(Index);
    if (!p) return;
    const bool selectedInside = FItemIndex > Index && Row(FItemIndex) && Descends(Row(FItemIndex), p);
    if (selectedInside) ReleasePropertyEditor();
    RemoveSubRows(Index);
    if (selectedInside) SelectRow(Index);
    Changed();
    const int track = verticalScrollBar()->value();
    if (track != FTopIndex) SetTopIndex(track);
    FDragKind = dkNone;
}

void TRunTimeCustomObjectInspector::ExpandPath(const QString& FullName)
{
    const QStringList segments = FullName.split(QLatin1Char('.'));
    int first = -1;
    int from = 0, to = int(FItems.size());
    bool failed = false;
    for (int s = 0; s < segments.size(); ++s) {
        int found = -1;
        for (int i = from; i < to; ++i)
            if (SameText(Row(i)->Name(), segments[s])) {
                found = i;
                break;
            }
        if (found < 0) {
            failed = s < segments.size() - 1;
            break;
        }
        if (first < 0) first = found;
        if (s == segments.size() - 1) break;
        const int n = InsertSubRows(found, Row(found));
        if (n == 0) {
            failed = true;
            break;
        }
        from = found + 1;
        to = found + 1 + n;
    }
    if (failed && first >= 0) RemoveSubRows(first);
}

// ----- selection and editors

void TRunTimeCustomObjectInspector::SelectRow(int Index)
{
    if (Index == FItemIndex && (Index < 0 || FEditor->PropertyEditor() || !GetPropertyEditorClass(Row(Index)))) return;
    try {
        ReleasePropertyEditor();
        FItemIndex = Index >= FItems.size() ? -1 : Index;
        if (FItemIndex >= 0) MakeVisible(FItemIndex);
        if (FItemIndex >= 0) CreatePropertyEditor();
        viewport()->update();
    } catch (...) {
        FDragKind = dkNone;
        throw;
    }
}

TRunTimePropertyEditorClass TRunTimeCustomObjectInspector::GetPropertyEditorClass(TRunTimeProperty* AProperty)
{
    TRunTimePropertyEditorClass result = DefaultPropertyEditorClass(AProperty);
    if (AProperty && OnGetPropertyEditorClass) OnGetPropertyEditorClass(this, Instance(), AProperty, result);
    return result;
}

std::shared_ptr<TRunTimePropertyEditor> TRunTimeCustomObjectInspector::MakePropertyEditor(TRunTimeProperty* AProperty)
{
    TRunTimePropertyEditorClass cls = GetPropertyEditorClass(AProperty);
    if (!cls) return nullptr;
    const QString name = AProperty->FullName();
    std::vector<TRunTimeProperty*> props;
    for (auto& list : FPropertyLists)
        if (TRunTimeProperty* p = list->PropertyByName(name)) props.push_back(p);
    if (props.empty()) return nullptr;
    std::shared_ptr<TRunTimePropertyEditor> editor = cls->Create(this, int(props.size()));
    for (size_t i = 0; i < props.size(); ++i) editor->SetPropEntry(int(i), props[i]);
    return editor;
}

void TRunTimeCustomObjectInspector::CreatePropertyEditor()
{
    TRunTimeProperty* p = SelectedProperty();
    if (!p) return;
    ReleasePropertyEditor();
    FEditor->SetPropertyEditor(MakePropertyEditor(p));
    // With a click, the selection is reported when the button goes up.
    if (FDragKind == dkNone && OnSelectProperty) OnSelectProperty(this, Instance(), p);
}

void TRunTimeCustomObjectInspector::ReleasePropertyEditor()
{
    TRunTimePropertyEditor* editor = FEditor ? FEditor->PropertyEditor() : nullptr;
    if (!editor) return;
    if (!FEditor->Destroying() && FDragKind == dkNone && !FDestroying && !editor->GetAttributes().Contains(paReadOnly) &&
        FEditor->text() != editor->GetVisualValue()) {
        try {
            FEditor->CommitText();
        } catch (...) {
            if (FEditor->isVisible()) FEditor->setFocus();
            FEditor->Tag = 1;
            throw;
        }
    }
    FEditor->SetPropertyEditor(nullptr);
}

QString TRunTimeCustomObjectInspector::GetVisualValue(TRunTimeProperty* AProperty)
{
    QString text;
    GetVisualValue(AProperty, text);
    return text;
}

void TRunTimeCustomObjectInspector::GetVisualValue(TRunTimeProperty* AProperty, QString& Text)
{
    Text.clear();
    if (!AProperty) return;
    // Painting must never raise: a value that cannot be read shows empty.
    try {
        if (std::shared_ptr<TRunTimePropertyEditor> editor = MakePropertyEditor(AProperty)) {
            Text = editor->GetVisualValue();
            return;
        }
        const QString name = AProperty->FullName();
        if (!FReportedWithoutEditor.contains(name)) {
            FReportedWithoutEditor.insert(name);
            qCDebug(lcInspector).noquote() << "TRunTimeCustomObjectInspector.GetVisualValue: No property editor for " + name +
                                                  " (" + AProperty->TypeName() + ")";
        }
        Text = AProperty->GetVisualValue();
        if (FPropertyLists.size() > 1)
            for (size_t i = 1; i < FPropertyLists.size(); ++i) {
                TRunTimeProperty* other = FPropertyLists[i]->PropertyByName(name);
                if (!other || !SameText(other->GetVisualValue(), Text)) {
                    Text.clear();
                    return;
                }
            }
    } catch (...) {
        Text.clear();
    }
}

void TRunTimeCustomObjectInspector::Modified()
{
    viewport()->update();
    FEditor->UpdateEdit();
    for (TRunTimeDesignWindow* window : TRunTimeDesignWindow::DesignWindows()) window->RefreshWindow();
    if (OnPropertyValueChange)
        if (TRunTimeProperty* p = SelectedProperty()) OnPropertyValueChange(this, p, p->GetValue());
    UpdateRows();
}

void TRunTimeCustomObjectInspector::GetMethodSourceCode(QObject* AInstance, TRunTimeMethodProperty* AProperty,
                                                        const QString& MethodName)
{
    if (OnGetMethodSourceCode) OnGetMethodSourceCode(this, AInstance, AProperty, MethodName);
}

void TRunTimeCustomObjectInspector::GetComponentNames(QStringList& Values)
{
    auto* p = dynamic_cast<TRunTimeComponentProperty*>(SelectedProperty());
    if (!p) return;
    QObject* owner = Root();
    if (!owner)
        if (QObject* first = Instance(); first && IsComponent(first)) owner = ComponentOwner(first);
    if (!owner) return;
    for (QObject* c : OwnedComponents(owner))
        if (!c->objectName().isEmpty() && p->IsCompatible(c)) Values.append(c->objectName());
}

// ----- keys handed on by the in-place controls

void TRunTimeCustomObjectInspector::ForwardKeyDown(int& Key, Qt::KeyboardModifiers Shift)
{
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TRunTimeCustomObjectInspector::ForwardKeyUp(int& Key, Qt::KeyboardModifiers Shift)
{
    if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TRunTimeCustomObjectInspector::keyPressEvent(QKeyEvent* Event)
{
    try {
        switch (Event->key()) {
        case Qt::Key_Up:
            if (FItemIndex > 0) SelectRow(FItemIndex - 1);
            return;
        case Qt::Key_Down:
            if (FItemIndex + 1 < FItems.size()) SelectRow(FItemIndex + 1);
            return;
        default: break;
        }
        int key = Event->key();
        ForwardKeyDown(key, Event->modifiers());
    } catch (...) {
        HandleEventException();
    }
}

// ----- search edit

void TRunTimeCustomObjectInspector::ShowSearchEdit(bool ClearSearch)
{
    TRunTimeProperty* p = SelectedProperty();
    if (!p) return;
    if (!FSearchEdit) FSearchEdit = new TRunTimeObjectInspectorSearchEdit(this);
    if (ClearSearch) FSearchEdit->SetSearchString(QString());
    QRect r = NameRect(FItemIndex);
    r.setLeft(r.left() + GetNameIndent(p));
    r.adjust(0, 1, 0, -1);
    FSearchEdit->setGeometry(r);
    FSearchEdit->SetProperty(p);
    FSearchEdit->setText(p->Name());
    FSearchEdit->setCursorPosition(int(std::min(FSearchEdit->SearchString().size(), p->Name().size())));
    FSearchEdit->show();
    FSearchEdit->setFocus();
}

void TRunTimeCustomObjectInspector::HideSearchEdit()
{
    if (!FSearchEdit) return;
    FSearchEdit->hide();
    setFocus();
}

int TRunTimeCustomObjectInspector::FindSiblingRow(int Item, const QString& Text, bool WasEmpty)
{
    TRunTimeProperty* item = Row(Item);
    if (!item) return -1;
    TRunTimeProperty* parent = item->Parent();
    int first = 0;
    if (parent) first = int(FItems.indexOf(parent)) + 1;
    QList<int> siblings;
    for (int i = first; i < FItems.size(); ++i) {
        if (Row(i)->Parent() == parent) siblings.append(i);
        else if (!parent || !Descends(Row(i), parent)) break;
    }
    if (siblings.isEmpty()) return -1;
    if (!Text.isEmpty()) {
        for (int i : siblings)
            if (Row(i)->Name().startsWith(Text, Qt::CaseInsensitive)) return i;
        return -1;
    }
    if (Item == siblings.first() && WasEmpty) {
        const int before = std::max(0, siblings.first() - 1);
        Collapse(before);
        return before;
    }
    return siblings.first();
}

// ----- geometry

QRect TRunTimeCustomObjectInspector::RowRect(int Index) const
{
    return QRect(0, (Index - FTopIndex) * FItemHeight, viewport()->width(), FItemHeight);
}

QRect TRunTimeCustomObjectInspector::NameRect(int Index) const
{
    QRect r = RowRect(Index);
    r.setRight(FNameBoundsWidth - 1);
    if (!FFlat) r.adjust(1, 1, -1, -1);
    return r;
}

QRect TRunTimeCustomObjectInspector::ValueRect(int Index) const
{
    QRect r = RowRect(Index);
    int left = FNameBoundsWidth + FMarginValue;
    if (!IsNone(FColors->LineVertical())) ++left;
    r.setLeft(left);
    if (!FFlat) r.adjust(1, 1, -1, -1);
    return r;
}

int TRunTimeCustomObjectInspector::GetNameIndent(TRunTimeProperty* AProperty) const
{
    return (AProperty->Level() + 1) * (FIndent - 1) + FMarginName;
}

int TRunTimeCustomObjectInspector::GetValueGlyphWidth(TRunTimeProperty* AProperty, int CellHeight) const
{
    if (dynamic_cast<TRunTimeColorProperty*>(AProperty) || dynamic_cast<TRunTimeBrushStyleProperty*>(AProperty))
        return CellHeight + 2;
    if (dynamic_cast<TRunTimePenStyleProperty*>(AProperty)) return 2 * CellHeight + 2;
    if (dynamic_cast<TRunTimeBooleanProperty*>(AProperty) && FOptions.Contains(ioShowCheckBox)) return CellHeight + 2;
    return 0;
}

int TRunTimeCustomObjectInspector::ClampNameWidth(int Value) const
{
    return std::max(32, std::min(Value, viewport()->width() - 48));
}

void TRunTimeCustomObjectInspector::SetNameWidth(int Value)
{
    Value = ClampNameWidth(Value);
    if (Value == FNameBoundsWidth) return;
    FNameBoundsWidth = Value;
    Changed();
    FEditor->UpdateEdit();
}

void TRunTimeCustomObjectInspector::GetItemRect(int Index, const QRect& RowRect, QRect& Rect) const
{
    Rect = RowRect;
    if (Index == FItemIndex) Rect.adjust(0, -1, 0, 1);
}

void TRunTimeCustomObjectInspector::UpdateScrollBar()
{
    TRunTimeCustomObjectControl::UpdateScrollBar();
    HideHint();
    if (FItems.isEmpty() || GetVisibleCount() >= FItems.size()) FTopIndex = 0;
    FEditor->UpdateEdit();
}

// ----- painting

void TRunTimeCustomObjectInspector::LoadGlyphs()
{
    QStyle* style = this->style();
    const int size = 9;
    auto draw = [&](QStyle::PrimitiveElement element, QStyle::State state, int w, int h) {
        QPixmap pm(w, h);
        pm.fill(Qt::transparent);
        QPainter painter(&pm);
        QStyleOption option;
        option.initFrom(this);
        option.rect = QRect(0, 0, w, h);
        option.state = state | QStyle::State_Enabled;
        style->drawPrimitive(element, &option, &painter, this);
        return pm;
    };
    FExpandGlyph = draw(QStyle::PE_IndicatorBranch, QStyle::State_Children, size + 4, size + 4);
    FCollapseGlyph = draw(QStyle::PE_IndicatorBranch, QStyle::State_Children | QStyle::State_Open, size + 4, size + 4);
    // Flat check boxes of their own: the style's need a widget state the rows do not have.
    auto checkBox = [&](bool Checked) {
        QPixmap pm(13, 13);
        pm.fill(Qt::transparent);
        QPainter painter(&pm);
        painter.setPen(palette().color(QPalette::Dark));
        painter.setBrush(palette().color(QPalette::Base));
        painter.drawRect(0, 0, 12, 12);
        if (Checked) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(palette().color(QPalette::Text), 2));
            painter.drawPolyline(QPolygonF({QPointF(3, 6.5), QPointF(5.5, 9), QPointF(10, 3.5)}));
        }
        return pm;
    };
    FTrueGlyph = checkBox(true);
    FFalseGlyph = checkBox(false);
}

void TRunTimeCustomObjectInspector::paintEvent(QPaintEvent* Event)
{
    TRunTimeCustomObjectControl::paintEvent(Event);
    if (FDragKind == dkSizing && FSizingStyle == ssLine && FSizingPos >= 0) {
        QPainter painter(viewport());
        painter.setPen(QPen(SysColor(QPalette::WindowText), 1));
        painter.drawLine(FSizingPos, 0, FSizingPos, viewport()->height());
    }
}

void TRunTimeCustomObjectInspector::DrawRowLine(QPainter& Canvas, const QRect& Rect)
{
    const QColor odd = FColors->LineHorizontalOdd(), even = FColors->LineHorizontalEven();
    if (IsNone(odd) && IsNone(even)) return;
    const int y = Rect.bottom();
    if (odd == even || IsNone(odd) || IsNone(even)) {
        Canvas.setPen(IsNone(even) ? odd : even);
        Canvas.drawLine(Rect.left(), y, Rect.right(), y);
        return;
    }
    for (int x = Rect.left(); x <= Rect.right(); ++x) {
        Canvas.setPen(x % 2 == 0 ? even : odd);
        Canvas.drawPoint(x, y);
    }
}

void TRunTimeCustomObjectInspector::DrawSelection(QPainter& Canvas, int Index, const QRect& Rect)
{
    TRunTimeProperty* p = Row(Index);
    if (FFlat) {
        Canvas.fillRect(NameRect(Index), FColors->Selected());
        QRect value(FNameBoundsWidth + (IsNone(FColors->LineVertical()) ? 0 : 1), Rect.top(),
                    Rect.right() - FNameBoundsWidth, Rect.height());
        DrawRowLine(Canvas, value.translated(0, -value.height()));
        DrawRowLine(Canvas, value);
        return;
    }
    QRect r = Rect.adjusted(0, -1, 0, 1);
    qDrawShadeRect(&Canvas, r, QApplication::palette(), true, 1);
    qDrawShadeRect(&Canvas, r.adjusted(1, 1, -1, -1), QApplication::palette(), true, 1);
    const bool readOnly = p && (p->ReadOnly() || (FEditor->PropertyEditor() &&
                                                  FEditor->PropertyEditor()->GetAttributes().Contains(paReadOnly)));
    Canvas.setPen(readOnly ? palette().color(QPalette::Button) : SysColor(QPalette::Base));
    Canvas.setBrush(Qt::NoBrush);
    Canvas.drawRect(QRect(QPoint(FNameBoundsWidth + 1, r.top()), QPoint(r.right() + 1, r.bottom())).adjusted(0, 0, -1, -1));
}

QColor TRunTimeCustomObjectInspector::TextColor(TRunTimeProperty* AProperty, bool ForValue)
{
    if (dynamic_cast<TRunTimeClassProperty*>(AProperty)) return FColors->Reference();
    if (dynamic_cast<TRunTimeComponentProperty*>(AProperty->Parent())) return FColors->SubProperties();
    if (AProperty->ReadOnly()) return FColors->ReadOnly();
    return ForValue ? FColors->Value() : FColors->Name();
}

void TRunTimeCustomObjectInspector::DrawItem(QPainter& Canvas, int Index, const QRect& Rect)
{
    TRunTimeProperty* p = Row(Index);
    if (!p) return;
    const bool selected = Index == FItemIndex;
    if (!FFlat && !selected) DrawRowLine(Canvas, Rect);
    if (!IsNone(FColors->LineVertical())) {
        Canvas.setPen(FColors->LineVertical());
        Canvas.drawLine(FNameBoundsWidth, Rect.top(), FNameBoundsWidth, Rect.bottom());
    }
    if (selected) DrawSelection(Canvas, Index, Rect);
    const QRect name = NameRect(Index);
    const QPixmap* glyph = ExpandableProperty(Index) ? &FExpandGlyph : ExpandedProperty(Index) ? &FCollapseGlyph : nullptr;
    if (glyph) {
        const int x = name.left() + p->Level() * FIndent + (p->Level() == 0 ? 1 : 0);
        Canvas.drawPixmap(x, name.top() + (name.height() - glyph->height()) / 2, *glyph);
    }
    QRect nameText = name;
    nameText.setLeft(name.left() + GetNameIndent(p));
    Canvas.setPen(TextColor(p, false));
    Canvas.drawText(nameText, Qt::AlignVCenter | Qt::TextSingleLine, p->Name());
    const QString value = GetVisualValue(p);
    QRect valueRect = ValueRect(Index);
    if (!selected && !value.isEmpty()) {
        QRect sample = valueRect.adjusted(0, -1, 1, 0);
        const int h = sample.height();
        DrawValueSample(Canvas, p, sample);
        valueRect.setLeft(valueRect.left() + GetValueGlyphWidth(p, h));
    }
    Canvas.setPen(TextColor(p, true));
    Canvas.drawText(valueRect, Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, value);
}

void TRunTimeCustomObjectInspector::DrawValueSample(QPainter& Canvas, TRunTimeProperty* AProperty, const QRect& Rect)
{
    auto* ordinal = dynamic_cast<TRunTimeOrdinalProperty*>(AProperty);
    if (!ordinal) return;
    Canvas.save();
    Canvas.setBrush(Color());
    Canvas.setPen(Qt::NoPen);
    if (dynamic_cast<TRunTimeColorProperty*>(AProperty))
        DrawColorSwatch(Canvas, Rect, TColor(uint32_t(ordinal->AsInteger())), false);
    else if (dynamic_cast<TRunTimePenStyleProperty*>(AProperty))
        DrawPenStyleSample(Canvas, Rect, TPenStyle(ordinal->AsInteger()));
    else if (dynamic_cast<TRunTimeBrushStyleProperty*>(AProperty))
        DrawBrushStyleSample(Canvas, Rect, TBrushStyle(ordinal->AsInteger()));
    else if (dynamic_cast<TRunTimeBooleanProperty*>(AProperty) && FOptions.Contains(ioShowCheckBox)) {
        const QPixmap& glyph = ordinal->AsBoolean() ? FTrueGlyph : FFalseGlyph;
        const int h = Rect.height();
        Canvas.drawPixmap(Rect.left() + (h - glyph.width()) / 2, Rect.top() + (h - glyph.height()) / 2, glyph);
    }
    Canvas.restore();
}

// ----- mouse

bool TRunTimeCustomObjectInspector::viewportEvent(QEvent* Event)
{
    if (Event->type() == QEvent::Leave) HideHint();
    return TRunTimeCustomObjectControl::viewportEvent(Event);
}

void TRunTimeCustomObjectInspector::leaveEvent(QEvent* Event)
{
    HideHint();
    TRunTimeCustomObjectControl::leaveEvent(Event);
}

void TRunTimeCustomObjectInspector::focusInEvent(QFocusEvent* Event)
{
    TRunTimeCustomObjectControl::focusInEvent(Event);
    // Activation gives the selected row its editor again.
    if (Event->reason() == Qt::ActiveWindowFocusReason && FItemIndex >= 0 && !FEditor->PropertyEditor()) {
        try {
            CreatePropertyEditor();
        } catch (...) {
            HandleEventException();
        }
    }
}

void TRunTimeCustomObjectInspector::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton || FItems.isEmpty()) {
        TRunTimeCustomObjectControl::mousePressEvent(Event);
        return;
    }
    try {
        const QPoint pos = Event->position().toPoint();
        if (pos.x() >= FNameBoundsWidth && pos.x() <= FNameBoundsWidth + 2) {
            FDragKind = dkSizing;
            if (FSizingStyle == ssLine) {
                FSizingPos = pos.x();
                viewport()->update();
            }
            return;
        }
        setFocus(Qt::MouseFocusReason);
        int row = ItemAtPos(pos);
        if (row < 0) row = pos.y() < 0 ? 0 : int(FItems.size()) - 1;
        if (FSearchEdit) {
            FSearchEdit->deleteLater();
            FSearchEdit = nullptr;
        }
        SelectRow(row);
        FDragKind = dkItem;
        if (TRunTimeProperty* p = Row(row)) {
            const QRect name = NameRect(row);
            const int boxLeft = name.left() + p->Level() * FIndent;
            if (pos.x() >= boxLeft && pos.x() < boxLeft + FIndent - 1 && pos.y() >= name.top() && pos.y() <= name.bottom()) {
                if (ExpandableProperty(row)) Expand(row);
                else if (ExpandedProperty(row)) Collapse(row);
                FDragKind = dkItem;
            }
        }
        FEditor->UpdateEdit();
    } catch (...) {
        FDragKind = dkNone;
        HandleEventException();
    }
}

void TRunTimeCustomObjectInspector::mouseMoveEvent(QMouseEvent* Event)
{
    const QPoint pos = Event->position().toPoint();
    if ((Event->buttons() & Qt::LeftButton) && !FItems.isEmpty() && FDragKind != dkNone) {
        try {
            if (FDragKind == dkItem) {
                int row;
                if (pos.y() < 0) row = std::max(0, FItemIndex - 1);
                else if (pos.y() >= viewport()->height()) row = std::min(int(FItems.size()) - 1, FItemIndex + 1);
                else {
                    row = ItemAtPos(pos);
                    if (row < 0) row = int(FItems.size()) - 1;
                }
                SelectRow(row);
            } else if (FDragKind == dkSizing) {
                if (FSizingStyle == ssUpdate) SetNameWidth(pos.x());
                else {
                    FSizingPos = ClampNameWidth(pos.x());
                    viewport()->update();
                }
            }
        } catch (...) {
            FDragKind = dkNone;
            HandleEventException();
        }
        return;
    }
    TRunTimeCustomObjectControl::mouseMoveEvent(Event);
    viewport()->setCursor(!FItems.isEmpty() && pos.x() >= FNameBoundsWidth && pos.x() <= FNameBoundsWidth + 2
                              ? Qt::SplitHCursor
                              : Qt::ArrowCursor);
    UpdateHint(pos);
}

void TRunTimeCustomObjectInspector::mouseReleaseEvent(QMouseEvent* Event)
{
    TRunTimeCustomObjectControl::mouseReleaseEvent(Event);
    if (Event->button() != Qt::LeftButton) return;
    const TRunTimeObjectInspectorDragKind drag = FDragKind;
    try {
        if (drag == dkSizing && FSizingStyle == ssLine) {
            const int pos = FSizingPos;
            FSizingPos = -1;
            FDragKind = dkNone;
            SetNameWidth(pos);
        }
        FDragKind = dkNone;
        FSizingPos = -1;
        if (FItemIndex >= 0) {
            FEditor->UpdateEdit();
            if (drag == dkItem && OnSelectProperty) OnSelectProperty(this, Instance(), SelectedProperty());
            // A release on the value cell hands the click to the edit under it.
            QRect value = ValueRect(FItemIndex);
            value.setRight(value.right() - FItemHeight);
            const QPoint pos = Event->position().toPoint();
            if (drag == dkItem && value.contains(pos) && FEditor->isVisible()) {
                FEditor->setFocus(Qt::MouseFocusReason);
                FEditor->setCursorPosition(FEditor->cursorPositionAt(FEditor->mapFrom(viewport(), pos)));
            }
        }
    } catch (...) {
        FDragKind = dkNone;
        HandleEventException();
    }
}

void TRunTimeCustomObjectInspector::mouseDoubleClickEvent(QMouseEvent* Event)
{
    FDragKind = dkNone;
    const QPoint pos = Event->position().toPoint();
    if (FItemIndex < 0 || !NameRect(FItemIndex).contains(pos)) return;
    try {
        if (ExpandableProperty(FItemIndex)) Expand(FItemIndex);
        else if (ExpandedProperty(FItemIndex)) Collapse(FItemIndex);
    } catch (...) {
        HandleEventException();
    }
}

// ----- hints

void TRunTimeCustomObjectInspector::HideHint()
{
    if (FHintWindow) FHintWindow->hide();
}

void TRunTimeCustomObjectInspector::UpdateHint(const QPoint& Pos)
{
    if (!FShowHint) return;
    const int row = ItemAtPos(Pos);
    TRunTimeProperty* p = Row(row);
    TRunTimeHintPosition where = hpNone;
    QRect cell;
    QString text;
    if (p) {
        const QRect name = NameRect(row), value = ValueRect(row);
        if (name.contains(Pos)) {
            where = hpName;
            cell = name;
            cell.setLeft(cell.left() + GetNameIndent(p));
            text = p->Name();
        } else if (value.contains(Pos)) {
            where = hpValue;
            cell = value;
            cell.setLeft(cell.left() + GetValueGlyphWidth(p, value.height() + 1));
            text = GetVisualValue(p);
        }
    }
    if (where == hpNone) {
        HideHint();
        FHintWindow->SetPlace(-1, hpNone);
        return;
    }
    if (FHintWindow->PropertyIndex() == row && FHintWindow->Position() == where) return;
    HideHint();
    FHintWindow->SetPlace(row, where);
    if (fontMetrics().horizontalAdvance(text) <= cell.width()) return;
    FHintWindow->setFont(font());
    const QPoint topLeft = viewport()->mapToGlobal(cell.topLeft()) - QPoint(3, 3);
    FHintWindow->ActivateHint(QRect(topLeft, QSize(0, 0)), text);
}

// ---------------------------------------------------------------------------------------------------
// Hint window

TRunTimeObjectInspectorHintWindow::TRunTimeObjectInspectorHintWindow(QWidget* AOwner)
    : QLabel(AOwner, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0xE1)); // clInfoBk
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setMargin(2);
    setWordWrap(false);
    hide();
}

void TRunTimeObjectInspectorHintWindow::ActivateHint(const QRect& Rect, const QString& Text)
{
    setText(Text);
    const QRect bounds = fontMetrics().boundingRect(QRect(0, 0, 255, 10000), Qt::TextWordWrap, Text);
    setWordWrap(bounds.height() > fontMetrics().height());
    resize(bounds.width() + 2 * margin() + 2, bounds.height() + 2 * margin() + 2);
    move(Rect.topLeft());
    show();
}

void koDesignObjectInspector_Initialize() {}
void koDesignObjectInspector_Finalize() {}
