#include "koDesignObjectInspectorEditor.h"

#include "platform/Exceptions.h"
#include "designer/koDesignPropertyEditors.h"

#include <QPainter>

TRunTimePropertyEditor::TRunTimePropertyEditor(IRunTimeObjectInspector* AObjectInspector, int APropertyCount)
    : FObjectInspector(AObjectInspector), FProperties(size_t(std::max(APropertyCount, 0)), nullptr)
{
}

TRunTimePropertyEditor::~TRunTimePropertyEditor() = default;

TRunTimePropertyEditorClass TRunTimePropertyEditor::ClassInfo()
{
    static const TRunTimePropertyEditorClassOf<TRunTimePropertyEditor> info;
    return &info;
}

void TRunTimePropertyEditor::Edit() {}

bool TRunTimePropertyEditor::AutoFill()
{
    const TRunTimePropertyAttributes attributes = GetAttributes();
    return attributes.Contains(paValueList) && !attributes.Contains(paReadOnly);
}

void TRunTimePropertyEditor::ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected)
{
    QRect textRect = ARect;
    ListMeasureTextRect(Value, ACanvas, textRect);
    if (Selected) {
        ACanvas.setBrush(QPalette().color(QPalette::Highlight));
        ACanvas.setPen(QPalette().color(QPalette::HighlightedText));
    }
    ACanvas.fillRect(textRect, ACanvas.brush());
    textRect.setLeft(textRect.left() + 2);
    ACanvas.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, Value);
}

void TRunTimePropertyEditor::ListMeasureHeight(const QString&, QPainter&, int&) {}
void TRunTimePropertyEditor::ListMeasureWidth(const QString&, QPainter&, int&) {}
void TRunTimePropertyEditor::ListMeasureTextRect(const QString&, QPainter&, QRect&) {}
void TRunTimePropertyEditor::GetValues(QStringList&) {}

int TRunTimePropertyEditor::GetEditLimit()
{
    return 255;
}

TRunTimePropertyAttributes TRunTimePropertyEditor::GetAttributes()
{
    return {paReadOnly};
}

QString TRunTimePropertyEditor::GetVisualValue()
{
    return AllEqual() ? Prop(0)->GetVisualValue() : QString();
}

QString TRunTimePropertyEditor::GetValue()
{
    return Prop(0)->GetValue();
}

void TRunTimePropertyEditor::SetValue(const QString& Value)
{
    // A destroyed instance leaves its property Empty, which writes nothing; a set element has no
    // instance of its own and writes through its set.
    for (TRunTimeProperty* property : FProperties)
        if (property && !property->ReadOnly())
            property->SetValue(Value);
    Modified();
}

bool TRunTimePropertyEditor::AllEqual()
{
    if (FProperties.empty())
        return false;
    const QString first = Prop(0)->GetVisualValue();
    for (int i = 1; i < PropCount(); ++i)
        if (Prop(i)->GetVisualValue().compare(first, Qt::CaseInsensitive) != 0)
            return false;
    return true;
}

TRunTimeProperty* TRunTimePropertyEditor::Prop(int Index) const
{
    ATELIER_ASSERT(Index >= 0 && Index < PropCount() && FProperties[size_t(Index)]);
    return FProperties[size_t(Index)];
}

void TRunTimePropertyEditor::SetPropEntry(int Index, TRunTimeProperty* AProperty)
{
    ATELIER_ASSERT(Index >= 0 && Index < PropCount());
    FProperties[size_t(Index)] = AProperty;
}

QObject* TRunTimePropertyEditor::GetComponent() const
{
    return FObjectInspector ? FObjectInspector->Instance() : nullptr;
}

void TRunTimePropertyEditor::Modified()
{
    ATELIER_ASSERT(FObjectInspector);
    FObjectInspector->Modified();
}

int64_t TRunTimePropertyEditor::GetOrdValueAt(int Index)
{
    TRunTimeProperty* property = Prop(Index);
    return RTTIProvider()->GetOrdProp(property->Instance(), property->PropInfo());
}

TObjectRef TRunTimePropertyEditor::GetObjectValueAt(int Index)
{
    TRunTimeProperty* property = Prop(Index);
    return RTTIProvider()->GetObjectProp(property->Instance(), property->PropInfo());
}

void TRunTimePropertyEditor::SetOrdValue(int64_t Value)
{
    for (int i = 0; i < PropCount(); ++i)
        RTTIProvider()->SetOrdProp(Prop(i)->Instance(), Prop(i)->PropInfo(), Value);
    Modified();
}

void TRunTimePropertyEditor::SetObjectValue(const TObjectRef& Value)
{
    for (int i = 0; i < PropCount(); ++i)
        RTTIProvider()->SetObjectProp(Prop(i)->Instance(), Prop(i)->PropInfo(), Value);
    Modified();
}

namespace {

TRunTimePropertyEditorClass KindEditorClass(int Kind)
{
    switch (Kind) {
    case tkInteger: return TRunTimeIntegerPropertyEditor::ClassInfo();
    case tkChar:
    case tkWChar: return TKCharPropertyEditor::ClassInfo();
    case tkEnumeration: return TRunTimeEnumPropertyEditor::ClassInfo();
    case tkFloat: return TRunTimeFloatPropertyEditor::ClassInfo();
    case tkString:
    case tkLString:
    case tkWString:
    case tkUString: return TRunTimeStringPropertyEditor::ClassInfo();
    case tkSet: return TRunTimeSetPropertyEditor::ClassInfo();
    case tkClass: return TRunTimeClassPropertyEditor::ClassInfo();
    case tkMethod: return TRunTimeMethodPropertyEditor::ClassInfo();
    default: return nullptr;
    }
}

template <class T>
bool Is(TRunTimeProperty* AProperty)
{
    return dynamic_cast<T*>(AProperty) != nullptr;
}

} // namespace

TRunTimePropertyEditorClass DefaultPropertyEditorClass(TRunTimeProperty* AProperty)
{
    if (!AProperty)
        return nullptr;
    TRunTimePropertyEditorClass result = nullptr;
    if (AProperty->PropInfo())
        result = KindEditorClass(AProperty->TypeKind());
    // The plain integer class only: cursors, colours, charsets... have classes of their own.
    if (AProperty->ClassType() == TRunTimeIntegerProperty::ClassInfo() && AProperty->Name() == QLatin1String("ImageIndex")) {
        QObject* instance = AProperty->Instance();
        if (instance && instance->inherits("TAction"))
            result = TRunTimeActionImageIndexPropertyEditor::ClassInfo();
        else if (instance && instance->inherits("TMenuItem"))
            result = TRunTimeMenuImageIndexPropertyEditor::ClassInfo();
        else
            result = TRunTimeImageIndexPropertyEditor::ClassInfo();
    }
    // Every test that holds replaces the choice: the last one wins.
    if (Is<TRunTimeFontCharSetProperty>(AProperty)) result = TRunTimeFontCharsetPropertyEditor::ClassInfo();
    if (Is<TRunTimeCursorProperty>(AProperty)) result = TRunTimeCursorPropertyEditor::ClassInfo();
    if (Is<TRunTimeColorProperty>(AProperty)) result = TRunTimeColorPropertyEditor::ClassInfo();
    if (Is<TRunTimeModalResultProperty>(AProperty)) result = TRunTimeModalResultPropertyEditor::ClassInfo();
    if (Is<TRunTimeShortCutProperty>(AProperty)) result = TRunTimeShortCutPropertyEditor::ClassInfo();
    if (Is<TRunTimeDateProperty>(AProperty)) result = TRunTimeDatePropertyEditor::ClassInfo();
    if (Is<TRunTimeTimeProperty>(AProperty)) result = TRunTimeTimePropertyEditor::ClassInfo();
    if (Is<TRunTimeDateTimeProperty>(AProperty)) result = TRunTimeDateTimePropertyEditor::ClassInfo();
    if (Is<TRunTimeFontNameProperty>(AProperty)) result = TRunTimeFontNamePropertyEditor::ClassInfo();
    if (Is<TRunTimeCaptionProperty>(AProperty)) result = TRunTimeCaptionPropertyEditor::ClassInfo();
    if (Is<TRunTimePenStyleProperty>(AProperty)) result = TRunTimePenStylePropertyEditor::ClassInfo();
    if (Is<TRunTimeBrushStyleProperty>(AProperty)) result = TRunTimeBrushStylePropertyEditor::ClassInfo();
    if (Is<TRunTimeSetElementProperty>(AProperty)) result = TRunTimeSetElementPropertyEditor::ClassInfo();
    if (Is<TRunTimeGraphicProperty>(AProperty)) result = TRunTimeGraphicPropertyEditor::ClassInfo();
    if (Is<TRunTimeStringsProperty>(AProperty)) result = TRunTimeStringsPropertyEditor::ClassInfo();
    if (Is<TRunTimeCollectionProperty>(AProperty)) result = TRunTimeCollectionPropertyEditor::ClassInfo();
    if (Is<TRunTimeFontProperty>(AProperty)) result = TRunTimeFontPropertyEditor::ClassInfo();
    if (Is<TRunTimeComponentProperty>(AProperty)) result = TRunTimeComponentPropertyEditor::ClassInfo();
    return result;
}
