// The object inspector: a two-column grid of the published properties of one or more live objects,
// edited in place through property editors, with the in-place edit, its button, the drop-down value
// list, the hint window for cut-off texts and the search edit over the name column.
#pragma once

#include "designer/koDesignObjectControl.h"
#include "designer/koDesignObjectInspectorEditor.h"
#include "designer/koDesignRTTI.h"
#include "platform/Graphics.h"
#include "platform/Sets.h"

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <functional>
#include <memory>
#include <vector>

class TRunTimeCustomObjectInspector;
class TRunTimeCustomFormDesigner;
class TRunTimeObjectInspectorEdit;

enum TKObjectInspectorKind { ikProperties, ikEvent };
enum TRunTimeObjectInspectorDragKind { dkNone, dkItem, dkSizing };
enum TRunTimeObjectInspectorSizingStyle { ssLine, ssUpdate };
enum TRunTimeObjectInspectorOption { ioShowSubProperties, ioDisplayFontSamples, ioShowCheckBox };
using TRunTimeObjectInspectorOptions = TSet<TRunTimeObjectInspectorOption>;
enum TRunTimeHintPosition { hpNone, hpName, hpValue };

using TFilterPropertyEvent = std::function<void(QObject* Sender, TRunTimeProperty* AProperty, bool& Filtered)>;
using TGetPropertyEditorClassEvent = std::function<void(QObject* Sender, QObject* Instance, TRunTimeProperty* AProperty,
                                                        TRunTimePropertyEditorClass& APropertyEditorClass)>;
using TPropertyValueChangeEvent = std::function<void(QObject* Sender, TRunTimeProperty* AProperty, const QString& Value)>;
using TGetMethodNameEvent =
    std::function<void(QObject* Sender, QObject* AInstance, TRunTimeMethodProperty* AProperty, QString& MethodName)>;
using TGetMethodAddressEvent = std::function<void(QObject* Sender, QObject* AInstance, TRunTimeMethodProperty* AProperty,
                                                  const QString& MethodName, TMethod& MethodAddress)>;
using TGetMethodSourceCodeEvent =
    std::function<void(QObject* Sender, QObject* AInstance, TRunTimeMethodProperty* AProperty, const QString& MethodName)>;
using TSelectPropertyEvent = std::function<void(QObject* Sender, QObject* AInstance, TRunTimeProperty* AProperty)>;
using TInspectorKeyEvent = std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;

// The colours of the inspector; every change repaints it.
class TRunTimeObjectInspectorColors : public QObject {
    Q_OBJECT
    Q_PROPERTY(QColor Name READ Name WRITE SetName)
    Q_PROPERTY(QColor Value READ Value WRITE SetValue)
    Q_PROPERTY(QColor Reference READ Reference WRITE SetReference)
    Q_PROPERTY(QColor SubProperties READ SubProperties WRITE SetSubProperties)
    Q_PROPERTY(QColor ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(QColor EditValue READ EditValue WRITE SetEditValue)
    Q_PROPERTY(QColor Selected READ Selected WRITE SetSelected)
    Q_PROPERTY(QColor LineVertical READ LineVertical WRITE SetLineVertical)
    Q_PROPERTY(QColor LineHorizontalOdd READ LineHorizontalOdd WRITE SetLineHorizontalOdd)
    Q_PROPERTY(QColor LineHorizontalEven READ LineHorizontalEven WRITE SetLineHorizontalEven)

public:
    explicit TRunTimeObjectInspectorColors(TRunTimeCustomObjectInspector* AInspector);

    // An invalid colour stands for clNone (nothing drawn).
    QColor Name() const { return FName; }
    QColor Value() const { return FValue; }
    QColor Reference() const { return FReference; }
    QColor SubProperties() const { return FSubProperties; }
    QColor ReadOnly() const { return FReadOnly; }
    QColor EditValue() const { return FEditValue; }
    QColor Selected() const { return FSelected; }
    QColor LineVertical() const { return FLineVertical; }
    QColor LineHorizontalOdd() const { return FLineHorizontalOdd; }
    QColor LineHorizontalEven() const { return FLineHorizontalEven; }
    void SetName(const QColor& V) { Set(FName, V); }
    void SetValue(const QColor& V) { Set(FValue, V); }
    void SetReference(const QColor& V) { Set(FReference, V); }
    void SetSubProperties(const QColor& V) { Set(FSubProperties, V); }
    void SetReadOnly(const QColor& V) { Set(FReadOnly, V); }
    void SetEditValue(const QColor& V) { Set(FEditValue, V); }
    void SetSelected(const QColor& V) { Set(FSelected, V); }
    void SetLineVertical(const QColor& V) { Set(FLineVertical, V); }
    void SetLineHorizontalOdd(const QColor& V) { Set(FLineHorizontalOdd, V); }
    void SetLineHorizontalEven(const QColor& V) { Set(FLineHorizontalEven, V); }

private:
    void Set(QColor& Field, const QColor& V);
    TRunTimeCustomObjectInspector* FInspector;
    QColor FName, FValue, FReference, FSubProperties, FReadOnly, FEditValue, FSelected, FLineVertical,
        FLineHorizontalOdd, FLineHorizontalEven;
};

// The property lists of the inspector: one per inspected instance, and the merged one.
class TRunTimeObjectInspectorPropertyList : public TRunTimePropertyList {
public:
    explicit TRunTimeObjectInspectorPropertyList(TRunTimeProperty* AOwner = nullptr);

    TRunTimeCustomObjectInspector* ObjectInspector() const { return FObjectInspector; }
    void SetObjectInspector(TRunTimeCustomObjectInspector* Value) { FObjectInspector = Value; }
    QObject* Root() const { return FRoot; }
    void SetRoot(QObject* Value);

    TRunTimePropertyClass GetPropertyClass(PPropInfo PropInfo) override;
    bool ExcludeProperty(TRunTimeProperty* AProperty) override;
    void GetMethodValue(TRunTimeProperty* AProperty, QString& Text) override;
    void GetMethodAddress(TRunTimeProperty* AProperty, const QString& MethodName, TMethod& Method) override;
    QObject* FindComponent(const QString& Name) override;
    std::unique_ptr<TRunTimePropertyList> NewList(TRunTimeProperty* AOwner) override;

private:
    TRunTimeCustomObjectInspector* FObjectInspector = nullptr;
    QPointer<QObject> FRoot;
};

// The inspector itself. TRunTimeObjectInspector is the same control.
class TRunTimeCustomObjectInspector : public TRunTimeCustomObjectControl, public IRunTimeObjectInspector {
    Q_OBJECT

public:
    explicit TRunTimeCustomObjectInspector(QWidget* AOwner = nullptr);
    ~TRunTimeCustomObjectInspector() override;

    void AddInstance(QObject* AInstance, bool Exclusive);
    void RemoveInstance(QObject* AInstance) override;
    bool HasInstance(QObject* AInstance) const override;
    int InstanceCount() const { return int(FPropertyLists.size()); }
    QObject* Instance() const override;
    void SetInstance(QObject* Value) override { AddInstance(Value, true); }
    QWidget* InspectorWidget() override { return this; }
    bool DisplayFontSamples() const override { return FOptions.Contains(ioDisplayFontSamples); }
    void GetMethodSourceCode(QObject* AInstance, TRunTimeMethodProperty* AProperty, const QString& MethodName) override;

    QObject* Root() const { return FProperties->Root(); }
    void SetRoot(QObject* Value);
    TKObjectInspectorKind Kind() const { return FKind; }
    void SetKind(TKObjectInspectorKind Value);
    TRunTimeObjectInspectorOptions Options() const { return FOptions; }
    void SetOptions(TRunTimeObjectInspectorOptions Value);
    TRunTimeObjectInspectorColors* Colors() const { return FColors; }
    TRunTimeCustomFormDesigner* Designer() const override { return FDesigner; }
    void SetDesigner(TRunTimeCustomFormDesigner* Value) { FDesigner = Value; }
    int MarginName() const { return FMarginName; }
    void SetMarginName(int Value) { FMarginName = Value; }
    int MarginValue() const { return FMarginValue; }
    void SetMarginValue(int Value) { FMarginValue = Value; }
    TRunTimeObjectInspectorSizingStyle SizingStyle() const { return FSizingStyle; }
    void SetSizingStyle(TRunTimeObjectInspectorSizingStyle Value) { FSizingStyle = Value; }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool Value);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value) { FShowHint = Value; }
    int NameBoundsWidth() const { return FNameBoundsWidth; }
    void SetNameWidth(int Value);

    // A change of a value was committed: refresh, tell the design windows, the host and the designer.
    void Modified() override;
    void GetComponentNames(QStringList& Values) override;
    void GetVisualValue(TRunTimeProperty* AProperty, QString& Text);
    QString GetVisualValue(TRunTimeProperty* AProperty);

    // The merged property list and the rows.
    TRunTimeObjectInspectorPropertyList* Properties() const { return FProperties.get(); }
    TRunTimeProperty* Row(int Index) const;
    int RowOf(const QString& FullName) const;
    int ItemIndex() const { return FItemIndex; }
    TRunTimeProperty* SelectedProperty() const { return Row(FItemIndex); }
    TRunTimeObjectInspectorEdit* Editor() const { return FEditor; }
    class TRunTimeObjectInspectorHintWindow* HintWindow() const { return FHintWindow; }
    class TRunTimeObjectInspectorSearchEdit* SearchEdit() const { return FSearchEdit; }

    // Rows: open and close sub-rows, open the rows along a dotted path.
    TRunTimeProperty* ExpandableProperty(int Row);
    TRunTimeProperty* ExpandedProperty(int Row);
    void Expand(int Row);
    void Collapse(int Row);
    void ExpandPath(const QString& FullName);

    // Used by the in-place controls.
    void SelectRow(int Index);
    void ShowSearchEdit(bool ClearSearch);
    void HideSearchEdit();
    int FindSiblingRow(int Item, const QString& Text, bool WasEmpty);
    void ForwardKeyDown(int& Key, Qt::KeyboardModifiers Shift);
    void ForwardKeyUp(int& Key, Qt::KeyboardModifiers Shift);
    void ReleasePropertyEditor();
    void CreatePropertyEditor();
    // The editor class chosen for a property, the host's event having the last word.
    TRunTimePropertyEditorClass GetPropertyEditorClass(TRunTimeProperty* AProperty);
    // A new editor over the same-named property of every inspected instance; nullptr without a class.
    std::shared_ptr<TRunTimePropertyEditor> MakePropertyEditor(TRunTimeProperty* AProperty);

    // Geometry of a row (client coordinates of the viewport).
    QRect RowRect(int Row) const;
    QRect NameRect(int Row) const;
    QRect ValueRect(int Row) const;
    int GetNameIndent(TRunTimeProperty* AProperty) const;
    int GetValueGlyphWidth(TRunTimeProperty* AProperty, int CellHeight) const;
    int ClampNameWidth(int Value) const;
    bool IsPropertyHidden(TRunTimeProperty* AProperty);

    // Events.
    TFilterPropertyEvent OnFilterProperty;
    TPropertyValueChangeEvent OnPropertyValueChange;
    TGetPropertyEditorClassEvent OnGetPropertyEditorClass;
    TGetMethodNameEvent OnGetMethodName;
    TGetMethodAddressEvent OnGetMethodAddress;
    TGetMethodSourceCodeEvent OnGetMethodSourceCode;
    TSelectPropertyEvent OnSelectProperty;
    TInspectorKeyEvent OnKeyDown;
    TInspectorKeyEvent OnKeyUp;

    // The state a mouse action leaves, for the in-place controls.
    TRunTimeObjectInspectorDragKind DragKind() const { return FDragKind; }
    int FIndent = 13;

protected:
    void DrawItem(QPainter& Canvas, int Index, const QRect& Rect) override;
    void GetItemRect(int Index, const QRect& RowRect, QRect& Rect) const override;
    void UpdateScrollBar() override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    bool viewportEvent(QEvent* Event) override;

private:
    friend class TRunTimeObjectInspectorPropertyList;
    void RebuildRows();
    void UpdateRows();
    void UpdateHint(const QPoint& Pos);
    void HideHint();
    int InsertSubRows(int Row, TRunTimeProperty* AProperty);
    void RemoveSubRows(int Row);
    bool Descends(TRunTimeProperty* AProperty, TRunTimeProperty* Ancestor) const;
    void ReselectByName(const QString& FullName);
    void LoadGlyphs();
    void DrawRowLine(QPainter& Canvas, const QRect& Rect);
    void DrawSelection(QPainter& Canvas, int Index, const QRect& Rect);
    void DrawValueSample(QPainter& Canvas, TRunTimeProperty* AProperty, const QRect& Rect);
    QColor TextColor(TRunTimeProperty* AProperty, bool ForValue);
    void InstanceDestroyed(QObject* AInstance);
    void DropInstanceList(int Index);
    void DetachPropertyEditor();

    TRunTimeCustomFormDesigner* FDesigner = nullptr;
    TKObjectInspectorKind FKind = ikProperties;
    class TRunTimeObjectInspectorHintWindow* FHintWindow = nullptr;
    class TRunTimeObjectInspectorSearchEdit* FSearchEdit = nullptr;
    int FNameBoundsWidth = 100;
    TRunTimeObjectInspectorDragKind FDragKind = dkNone;
    bool FFlat = false;
    TRunTimeObjectInspectorSizingStyle FSizingStyle = ssUpdate;
    int FSizingPos = -1;
    QPixmap FExpandGlyph, FCollapseGlyph, FTrueGlyph, FFalseGlyph;
    std::unique_ptr<TRunTimeObjectInspectorPropertyList> FProperties;
    std::vector<std::unique_ptr<TRunTimeObjectInspectorPropertyList>> FPropertyLists;
    std::vector<QPointer<QObject>> FInstances; // parallel to FPropertyLists
    TRunTimeObjectInspectorOptions FOptions{ioShowCheckBox};
    TTypeKinds FTypeKinds;
    TRunTimeObjectInspectorColors* FColors = nullptr;
    TRunTimeObjectInspectorEdit* FEditor = nullptr;
    TBorderStyle FBorderStyle = bsNone;
    int FMarginValue = 2;
    int FMarginName = 0;
    bool FShowHint = false;
    bool FDestroying = false;
    // Debug lines of rows without an editor, once per property name.
    QSet<QString> FReportedWithoutEditor;
};

class TRunTimeObjectInspector : public TRunTimeCustomObjectInspector {
    Q_OBJECT

public:
    using TRunTimeCustomObjectInspector::TRunTimeCustomObjectInspector;
};

class TRunTimeObjectInspectorButton;
class TRunTimeObjectInspectorDropDownList;

// The edit over the selected row's value cell.
class TRunTimeObjectInspectorEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit TRunTimeObjectInspectorEdit(TRunTimeCustomObjectInspector* AOwner);
    ~TRunTimeObjectInspectorEdit() override;

    TRunTimePropertyEditor* PropertyEditor() const { return FPropertyEditor.get(); }
    // A reference that keeps the editor alive over a call that may replace it.
    std::shared_ptr<TRunTimePropertyEditor> SharedEditor() const { return FPropertyEditor; }
    void SetPropertyEditor(std::shared_ptr<TRunTimePropertyEditor> Value);
    void UpdateEdit();
    void ShowDropDownList(const QString& AText);
    bool HideDropDownList(bool Accept);
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRunTimeObjectInspectorButton* Button() const { return FButton; }
    TRunTimeObjectInspectorDropDownList* DropDownList() const { return FDropDownList; }
    QString OldText() const { return FOldText; }
    QString SearchString() const { return FSearchString; }
    bool Creating() const { return FCreating; }
    // 1 after a failed commit on release: the text is reloaded at the next activation.
    int Tag = 0;
    bool Destroying() const { return FDestroying; }
    // The text of the edit committed through the editor; on failure OldText goes back and the error
    // passes on.
    void CommitText();
    // The values of the editor's list, sorted when it asks for it.
    QStringList EditorValues();
    TRunTimeCustomObjectInspector* Inspector() const { return FInspector; }
    void CycleValue();

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    bool event(QEvent* Event) override;

private:
    friend class TRunTimeObjectInspectorDropDownList;
    void HandleKey(QKeyEvent* Event);
    bool AutoComplete(QKeyEvent* Event);
    void TextEdited(const QString& Text);
    void ReloadAfterFailure();
    // Selects the whole text with the caret at its start, so a value wider than the edit shows its start.
    void SelectWhole();
    void DropEditor();

    TRunTimeCustomObjectInspector* FInspector;
    bool FCreating = false;
    bool FDestroying = false;
    bool FLoading = false;
    bool FAutoUpdating = false;
    std::shared_ptr<TRunTimePropertyEditor> FPropertyEditor;
    TRunTimeObjectInspectorButton* FButton = nullptr;
    TRunTimeObjectInspectorDropDownList* FDropDownList = nullptr;
    QString FSearchString;
    QString FOldText;
};

// The drop-down or ellipsis button at the right end of the in-place edit.
class TRunTimeObjectInspectorButton : public QWidget {
    Q_OBJECT

public:
    TRunTimeObjectInspectorButton(TRunTimeObjectInspectorEdit* AOwner, TRunTimePropertyEditor* AEditor);
    void SetDown(bool Value);
    bool Down() const { return FDown; }
    virtual void DoClick();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;

private:
    TRunTimeObjectInspectorEdit* FOwner;
    TRunTimePropertyEditor* FPropertyEditor;
    bool FDown = false;
    bool FPressed = false;
};

// The value list under the in-place edit; a pop-up window of its own while shown.
class TRunTimeObjectInspectorDropDownList : public QListWidget {
    Q_OBJECT

public:
    TRunTimeObjectInspectorDropDownList(TRunTimeObjectInspectorEdit* AOwner, TRunTimePropertyEditor* AEditor);
    void CloseUp(bool Accept);
    TRunTimePropertyEditor* PropertyEditor() const { return FPropertyEditor; }
    TRunTimeObjectInspectorEdit* Owner() const { return FOwner; }
    // The height of the list for the values (rows: at most 8, at least 1), plus its border.
    int MeasureHeight(const QStringList& Values);
    int MeasureEntryHeight(const QString& Value);
    int MeasureEntryWidth(const QString& Value);
    // A canvas for measuring: the list's font on a scratch image.
    QPainter& MeasureCanvas();

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;

private:
    friend class TRunTimeObjectInspectorEdit;
    TRunTimeObjectInspectorEdit* FOwner;
    TRunTimePropertyEditor* FPropertyEditor;
    bool FClosing = false;
    QImage FScratch{1, 1, QImage::Format_ARGB32};
    std::unique_ptr<QPainter> FMeasureCanvas;
};

// Shows names and values cut off by their cell.
class TRunTimeObjectInspectorHintWindow : public QLabel {
    Q_OBJECT

public:
    explicit TRunTimeObjectInspectorHintWindow(QWidget* AOwner);
    TRunTimeHintPosition Position() const { return FPosition; }
    int PropertyIndex() const { return FPropertyIndex; }
    void SetPlace(int Index, TRunTimeHintPosition Position)
    {
        FPropertyIndex = Index;
        FPosition = Position;
    }
    void ActivateHint(const QRect& Rect, const QString& Text);

private:
    TRunTimeHintPosition FPosition = hpNone;
    int FPropertyIndex = -1;
};

// The read-only edit over the name cell that finds a row by the first letters of its name.
class TRunTimeObjectInspectorSearchEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit TRunTimeObjectInspectorSearchEdit(TRunTimeCustomObjectInspector* AOwner);
    TRunTimeProperty* Property() const { return FProperty; }
    void SetProperty(TRunTimeProperty* Value) { FProperty = Value; }
    QString SearchString() const { return FSearchString; }
    void SetSearchString(const QString& Value) { FSearchString = Value; }

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    bool event(QEvent* Event) override;

private:
    TRunTimeProperty* FProperty = nullptr;
    QString FSearchString;
    TRunTimeCustomObjectInspector* FObjectInspector;
};

void koDesignObjectInspector_Initialize();
void koDesignObjectInspector_Finalize();
