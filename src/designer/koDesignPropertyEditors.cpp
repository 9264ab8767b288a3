#include "koDesignPropertyEditors.h"

#include "designer/koDesignCollectionEditor.h"
#include "designer/koDesignDialogs.h"
#include "designer/koDesignObjectControl.h"
#include "designer/koDesignStringsDialog.h"
#include "platform/Bitmap.h"
#include "platform/Format.h"
#include "platform/Icon.h"
#include "platform/JpegImage.h"
#include "platform/PngImage.h"
#include "platform/StringList.h"
#include "platform/Streams.h"
#include "platform/ValueTexts.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <cstdlib>

namespace {

template <class T>
T* PropAs(TRunTimePropertyEditor& Editor)
{
    return Editor.PropCount() > 0 ? dynamic_cast<T*>(Editor.Prop(0)) : nullptr;
}

// The value list of the first property, when it is of the class the editor expects.
template <class T>
void PropertyValues(TRunTimePropertyEditor& Editor, QStringList& Values)
{
    if (auto* property = PropAs<T>(Editor))
        property->GetValues(Values);
}

int TextHeight(QPainter& Canvas, const QString& Text)
{
    return QFontMetrics(Canvas.font()).boundingRect(Text).height();
}

QColor WindowColor() { return QPalette().color(QPalette::Base); }
QColor WindowTextColor() { return QPalette().color(QPalette::Text); }

// The colour a swatch shows: system colours in their classic values.
QColor SwatchColor(TColor Color)
{
    return QColor::fromRgb(ColorToQRgb(Color));
}

} // namespace

// Attribute editors

int TRunTimeIntegerPropertyEditor::GetEditLimit() { return 63; }
TRunTimePropertyAttributes TRunTimeIntegerPropertyEditor::GetAttributes() { return {}; }

TRunTimePropertyAttributes TRunTimeStringPropertyEditor::GetAttributes() { return {}; }
TRunTimePropertyAttributes TRunTimeCaptionPropertyEditor::GetAttributes() { return {paAutoUpdate}; }
TRunTimePropertyAttributes TRunTimeFloatPropertyEditor::GetAttributes() { return {}; }

void TRunTimeEnumPropertyEditor::GetValues(QStringList& Values)
{
    PropertyValues<TRunTimeEnumProperty>(*this, Values);
}
int TRunTimeEnumPropertyEditor::GetEditLimit() { return 63; }
TRunTimePropertyAttributes TRunTimeEnumPropertyEditor::GetAttributes() { return {paValueList}; }

TRunTimePropertyAttributes TRunTimeSetPropertyEditor::GetAttributes() { return {paReadOnly}; }

void TRunTimeSetElementPropertyEditor::GetValues(QStringList& Values)
{
    PropertyValues<TRunTimeSetElementProperty>(*this, Values);
}
TRunTimePropertyAttributes TRunTimeSetElementPropertyEditor::GetAttributes() { return {paValueList}; }

void TRunTimeModalResultPropertyEditor::GetValues(QStringList& Values)
{
    PropertyValues<TRunTimeModalResultProperty>(*this, Values);
}
TRunTimePropertyAttributes TRunTimeModalResultPropertyEditor::GetAttributes() { return {paValueList}; }

void TRunTimeShortCutPropertyEditor::GetValues(QStringList& Values)
{
    PropertyValues<TRunTimeShortCutProperty>(*this, Values);
}
TRunTimePropertyAttributes TRunTimeShortCutPropertyEditor::GetAttributes() { return {paValueList}; }

void TRunTimeFontCharsetPropertyEditor::GetValues(QStringList& Values)
{
    PropertyValues<TRunTimeFontCharSetProperty>(*this, Values);
}
TRunTimePropertyAttributes TRunTimeFontCharsetPropertyEditor::GetAttributes() { return {paValueList, paSortList}; }

TRunTimePropertyAttributes TRunTimeClassPropertyEditor::GetAttributes() { return {paReadOnly}; }
QString TRunTimeClassPropertyEditor::GetVisualValue()
{
    return StripTypePrefix(TRunTimePropertyEditor::GetVisualValue());
}

bool TRunTimeComponentPropertyEditor::AutoFill() { return false; }
void TRunTimeComponentPropertyEditor::GetValues(QStringList& Values)
{
    if (FObjectInspector && PropAs<TRunTimeComponentProperty>(*this))
        FObjectInspector->GetComponentNames(Values);
}
TRunTimePropertyAttributes TRunTimeComponentPropertyEditor::GetAttributes() { return {paValueList, paSortList}; }

bool TRunTimeMethodPropertyEditor::AutoFill() { return false; }
void TRunTimeMethodPropertyEditor::Edit()
{
    auto* property = PropAs<TRunTimeMethodProperty>(*this);
    if (property && FObjectInspector)
        FObjectInspector->GetMethodSourceCode(property->Instance(), property, property->GetValue());
}
TRunTimePropertyAttributes TRunTimeMethodPropertyEditor::GetAttributes() { return {paValueList, paDialog, paSortList}; }

// Colours

void TRunTimeColorPropertyEditor::Edit()
{
    auto* property = PropAs<TRunTimeColorProperty>(*this);
    if (!property)
        return;
    TColor color(uint32_t(property->AsInteger()));
    if (DesignDialogs().ExecuteColor(FObjectInspector ? FObjectInspector->InspectorWidget() : nullptr, color))
        SetValue(QString::number(int32_t(color.Value)));
}

void TRunTimeColorPropertyEditor::ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected)
{
    if (PropAs<TRunTimeColorProperty>(*this)) {
        try {
            DrawColorSwatch(ACanvas, ARect, StringToColor(Value), Selected);
        } catch (const Exception&) {
            // Text that names no colour gets no swatch.
        }
    }
    TRunTimePropertyEditor::ListDrawValue(Value, ACanvas, ARect, Selected);
}

void TRunTimeColorPropertyEditor::ListMeasureWidth(const QString&, QPainter& ACanvas, int& AWidth)
{
    AWidth += TextHeight(ACanvas, QStringLiteral("M")) + 2;
}

void TRunTimeColorPropertyEditor::ListMeasureTextRect(const QString&, QPainter&, QRect& ATextRect)
{
    ATextRect.setLeft(ATextRect.left() + ATextRect.height() + 2);
}

void TRunTimeColorPropertyEditor::GetValues(QStringList& Values)
{
    PropertyValues<TRunTimeColorProperty>(*this, Values);
}

TRunTimePropertyAttributes TRunTimeColorPropertyEditor::GetAttributes() { return {paValueList, paDialog}; }

QColor ContrastColor(const QColor& Color, bool Selected)
{
    if (Color.red() > 192 || Color.green() > 192 || Color.blue() > 192)
        return Qt::black;
    return Selected ? QColor(Qt::white) : Color;
}

void DrawColorSwatch(QPainter& ACanvas, const QRect& ARect, TColor Color, bool Selected)
{
    const QPen pen = ACanvas.pen();
    const QBrush brush = ACanvas.brush();
    QRect box(ARect.left(), ARect.top(), ARect.height(), ARect.height());
    ACanvas.fillRect(box, brush);
    box.adjust(1, 1, -1, -1);
    const QColor colour = SwatchColor(Color);
    ACanvas.fillRect(box, colour);
    ACanvas.setPen(ContrastColor(colour, Selected));
    ACanvas.setBrush(Qt::NoBrush);
    ACanvas.drawRect(box.adjusted(0, 0, -1, -1));
    ACanvas.setPen(pen);
    ACanvas.setBrush(brush);
}

// Cursors

void TRunTimeCursorPropertyEditor::ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected)
{
    if (PropAs<TRunTimeCursorProperty>(*this)) {
        ACanvas.fillRect(ARect, Selected ? QBrush(QPalette().color(QPalette::Highlight)) : ACanvas.brush());
        int32_t cursor = 0;
        bool known = true;
        try {
            cursor = StringToCursor(Value);
        } catch (const Exception&) {
            known = false;
        }
        if (known)
            DrawCursorSample(ACanvas, ARect.left() + 2, ARect.top() + 2, cursor);
    }
    TRunTimePropertyEditor::ListDrawValue(Value, ACanvas, ARect, Selected);
}

void TRunTimeCursorPropertyEditor::ListMeasureHeight(const QString&, QPainter& ACanvas, int& AHeight)
{
    AHeight = std::max(TextHeight(ACanvas, QStringLiteral("Wg")), SystemCursorHeight + 4);
}

void TRunTimeCursorPropertyEditor::ListMeasureWidth(const QString&, QPainter&, int& AWidth)
{
    AWidth += SystemCursorWidth + 4;
}

void TRunTimeCursorPropertyEditor::ListMeasureTextRect(const QString&, QPainter&, QRect& ATextRect)
{
    ATextRect.setLeft(ATextRect.left() + SystemCursorWidth + 4);
}

void TRunTimeCursorPropertyEditor::GetValues(QStringList& Values)
{
    PropertyValues<TRunTimeCursorProperty>(*this, Values);
}

TRunTimePropertyAttributes TRunTimeCursorPropertyEditor::GetAttributes() { return {paValueList, paSortList}; }

// Pen and brush styles

namespace {

Qt::PenStyle QtPenStyle(int Style)
{
    switch (Style) {
    case DesignTypes::psDash: return Qt::DashLine;
    case DesignTypes::psDot: return Qt::DotLine;
    case DesignTypes::psDashDot: return Qt::DashDotLine;
    case DesignTypes::psDashDotDot: return Qt::DashDotDotLine;
    case DesignTypes::psClear: return Qt::NoPen;
    case DesignTypes::psAlternate: return Qt::DotLine;
    default: return Qt::SolidLine;
    }
}

Qt::BrushStyle QtBrushStyle(int Style)
{
    switch (Style) {
    case DesignTypes::bsClear: return Qt::NoBrush;
    case DesignTypes::bsHorizontal: return Qt::HorPattern;
    case DesignTypes::bsVertical: return Qt::VerPattern;
    case DesignTypes::bsFDiagonal: return Qt::FDiagPattern;
    case DesignTypes::bsBDiagonal: return Qt::BDiagPattern;
    case DesignTypes::bsCross: return Qt::CrossPattern;
    case DesignTypes::bsDiagCross: return Qt::DiagCrossPattern;
    default: return Qt::SolidPattern;
    }
}

} // namespace

void DrawPenStyleSample(QPainter& ACanvas, const QRect& ARect, TPenStyle Style)
{
    const QPen pen = ACanvas.pen();
    const QBrush brush = ACanvas.brush();
    const QRect box(ARect.left(), ARect.top(), 2 * ARect.height(), ARect.height());
    ACanvas.fillRect(box, brush);
    const QRect frame = box.adjusted(1, 1, -1, -1);
    ACanvas.fillRect(frame, WindowColor());
    ACanvas.setPen(WindowTextColor());
    ACanvas.setBrush(Qt::NoBrush);
    ACanvas.drawRect(frame.adjusted(0, 0, -1, -1));
    ACanvas.setPen(QPen(WindowTextColor(), 2, QtPenStyle(Style), Qt::FlatCap));
    const int middle = frame.top() + frame.height() / 2;
    ACanvas.drawLine(frame.left() + 2, middle, frame.right() - 2, middle);
    ACanvas.setPen(pen);
    ACanvas.setBrush(brush);
}

void DrawBrushStyleSample(QPainter& ACanvas, const QRect& ARect, TBrushStyle Style)
{
    const QPen pen = ACanvas.pen();
    const QBrush brush = ACanvas.brush();
    const QRect box(ARect.left(), ARect.top(), ARect.height(), ARect.height());
    ACanvas.fillRect(box, brush);
    const QRect square = box.adjusted(1, 1, -1, -1);
    ACanvas.fillRect(square, WindowColor());
    ACanvas.setPen(WindowTextColor());
    ACanvas.setBrush(QBrush(WindowTextColor(), QtBrushStyle(Style)));
    ACanvas.drawRect(square.adjusted(0, 0, -1, -1));
    ACanvas.setPen(pen);
    ACanvas.setBrush(brush);
}

void TRunTimePenStylePropertyEditor::ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected)
{
    if (PropAs<TRunTimePenStyleProperty>(*this))
        DrawPenStyleSample(ACanvas, ARect, TPenStyle(GetEnumPropertyValue(Prop(0), Value)));
    TRunTimePropertyEditor::ListDrawValue(Value, ACanvas, ARect, Selected);
}

void TRunTimePenStylePropertyEditor::ListMeasureWidth(const QString&, QPainter& ACanvas, int& AWidth)
{
    AWidth += 2 * TextHeight(ACanvas, QStringLiteral("X")) + 8;
}

void TRunTimePenStylePropertyEditor::ListMeasureTextRect(const QString&, QPainter&, QRect& ATextRect)
{
    ATextRect.setLeft(ATextRect.left() + 2 * ATextRect.height() + 2);
}

void TRunTimeBrushStylePropertyEditor::ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected)
{
    if (PropAs<TRunTimeBrushStyleProperty>(*this))
        DrawBrushStyleSample(ACanvas, ARect, TBrushStyle(GetEnumPropertyValue(Prop(0), Value)));
    TRunTimePropertyEditor::ListDrawValue(Value, ACanvas, ARect, Selected);
}

void TRunTimeBrushStylePropertyEditor::ListMeasureWidth(const QString&, QPainter& ACanvas, int& AWidth)
{
    AWidth += TextHeight(ACanvas, QStringLiteral("A")) + 2;
}

void TRunTimeBrushStylePropertyEditor::ListMeasureTextRect(const QString&, QPainter&, QRect& ATextRect)
{
    ATextRect.setLeft(ATextRect.left() + ATextRect.height() + 2);
}

// Font names

namespace {
constexpr int FontVariablePitch = 1;
constexpr int FontTrueType = 4;
constexpr int FontSymbol = 0x8000000;
} // namespace

const QImage* FontTypeGlyph(int FontTypeData)
{
    const bool trueType = FontTypeData & FontTrueType;
    const bool variable = FontTypeData & FontVariablePitch;
    if (trueType)
        return FindDesignBitmap(variable ? QStringLiteral("DESIGN_FONT_TRUETYPE") : QStringLiteral("DESIGN_FONT_TRUETYPEFIXED"));
    return FindDesignBitmap(variable ? QStringLiteral("DESIGN_FONT_DEVICE") : QStringLiteral("DESIGN_FONT_FIXEDPITCH"));
}

TRunTimeFontNamePropertyEditor::TRunTimeFontNamePropertyEditor(IRunTimeObjectInspector* AObjectInspector, int APropertyCount)
    : TRunTimePropertyEditor(AObjectInspector, APropertyCount),
      FTrueTypeGlyph(FindDesignBitmap(QStringLiteral("DESIGN_FONT_TRUETYPE"))),
      FFixedPitchGlyph(FindDesignBitmap(QStringLiteral("DESIGN_FONT_FIXEDPITCH"))),
      FTrueTypeFixedGlyph(FindDesignBitmap(QStringLiteral("DESIGN_FONT_TRUETYPEFIXED"))),
      FDeviceGlyph(FindDesignBitmap(QStringLiteral("DESIGN_FONT_DEVICE")))
{
}

void TRunTimeFontNamePropertyEditor::ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected)
{
    const int data = TRunTimeFontNameProperty::FontTypeData(Value);
    const bool trueType = data & FontTrueType;
    const bool variable = data & FontVariablePitch;
    const QImage* glyph = trueType ? (variable ? FTrueTypeGlyph : FTrueTypeFixedGlyph)
                                   : (variable ? FDeviceGlyph : FFixedPitchGlyph);
    ACanvas.fillRect(QRect(ARect.left(), ARect.top(), 16, ARect.height()), ACanvas.brush());
    if (glyph)
        ACanvas.drawImage(ARect.left(), ARect.top() + (ARect.height() - 12) / 2, *glyph);
    if (FObjectInspector && FObjectInspector->DisplayFontSamples() && !(data & FontSymbol)) {
        QFont font(Value);
        font.setPixelSize(ACanvas.font().pixelSize() > 0 ? ACanvas.font().pixelSize() : font.pixelSize());
        ACanvas.setFont(QFont(Value, ACanvas.font().pointSize()));
    }
    TRunTimePropertyEditor::ListDrawValue(Value, ACanvas, ARect, Selected);
}

void TRunTimeFontNamePropertyEditor::ListMeasureHeight(const QString& Value, QPainter& ACanvas, int& AHeight)
{
    if (FObjectInspector && FObjectInspector->DisplayFontSamples())
        AHeight = std::max(QFontMetrics(QFont(Value, ACanvas.font().pointSize())).boundingRect(Value).height() + 2, 12);
}

void TRunTimeFontNamePropertyEditor::ListMeasureWidth(const QString& Value, QPainter& ACanvas, int& AWidth)
{
    if (FObjectInspector && FObjectInspector->DisplayFontSamples()) {
        const QFontMetrics metrics(QFont(Value, ACanvas.font().pointSize()));
        const QRect bounds = metrics.boundingRect(Value);
        AWidth = metrics.horizontalAdvance(Value) + bounds.height();
    } else
        AWidth += TextHeight(ACanvas, QStringLiteral("M")) + 2;
}

void TRunTimeFontNamePropertyEditor::ListMeasureTextRect(const QString&, QPainter&, QRect& ATextRect)
{
    ATextRect.setLeft(ATextRect.left() + 16);
}

void TRunTimeFontNamePropertyEditor::GetValues(QStringList& Values)
{
    PropertyValues<TRunTimeFontNameProperty>(*this, Values);
}

TRunTimePropertyAttributes TRunTimeFontNamePropertyEditor::GetAttributes() { return {paValueList, paSortList}; }

// Image indices

TCustomImageList* TRunTimeImageIndexPropertyEditor::ImageList()
{
    if (!FImageListKnown) {
        FImageList = GetImageList();
        FImageListKnown = true;
    }
    return FImageList;
}

namespace {

// The image list in an object's property Name; nullptr when it has none or it is not assigned.
TCustomImageList* ImagesOf(const QObject* Object, const char* Name)
{
    if (!Object)
        return nullptr;
    const QVariant value = Object->property(Name);
    return value.metaType() == QMetaType::fromType<TCustomImageList*>() ? value.value<TCustomImageList*>() : nullptr;
}

QObject* ObjectOf(const QObject* Object, const char* Name)
{
    if (!Object)
        return nullptr;
    const QVariant value = Object->property(Name);
    return value.canConvert<QObject*>() ? value.value<QObject*>() : nullptr;
}

} // namespace

TCustomImageList* TRunTimeImageIndexPropertyEditor::GetImageList()
{
    auto* property = PropAs<TRunTimeIntegerProperty>(*this);
    auto* control = property ? qobject_cast<QWidget*>(property->Instance()) : nullptr;
    if (!control)
        return nullptr;
    if (TCustomImageList* images = ImagesOf(control, "Images"))
        return images;
    return ImagesOf(control->parentWidget(), "Images");
}

TCustomImageList* TRunTimeActionImageIndexPropertyEditor::GetImageList()
{
    auto* property = PropAs<TRunTimeIntegerProperty>(*this);
    QObject* action = property ? property->Instance() : nullptr;
    if (!action || !action->inherits("TAction"))
        return nullptr;
    return ImagesOf(ObjectOf(action, "ActionList"), "Images");
}

TCustomImageList* TRunTimeMenuImageIndexPropertyEditor::GetImageList()
{
    auto* property = PropAs<TRunTimeIntegerProperty>(*this);
    QObject* item = property ? property->Instance() : nullptr;
    if (!item || !item->inherits("TMenuItem"))
        return nullptr;
    // The nearest of the item and the items and menu above it that has images.
    for (QObject* o = item; o; o = o->parent())
        if (TCustomImageList* images = ImagesOf(o, "Images"))
            return images;
    return nullptr;
}

void TRunTimeImageIndexPropertyEditor::GetValues(QStringList& Values)
{
    if (TCustomImageList* images = ImageList())
        for (int i = 0; i < images->Count(); ++i)
            Values.append(QString::number(i));
}

void TRunTimeImageIndexPropertyEditor::ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected)
{
    if (TCustomImageList* images = ImageList()) {
        // Entries come from GetValues; anything else gets no image rather than an error while painting.
        bool number = false;
        const int index = Value.toInt(&number);
        ACanvas.fillRect(QRect(ARect.left(), ARect.top(), images->Width() + 2, ARect.height()), ACanvas.brush());
        if (number)
            images->Draw(ACanvas, ARect.left() + 1, ARect.top() + 1, index);
    }
    TRunTimePropertyEditor::ListDrawValue(Value, ACanvas, ARect, Selected);
}

void TRunTimeImageIndexPropertyEditor::ListMeasureHeight(const QString&, QPainter&, int& AHeight)
{
    if (TCustomImageList* images = ImageList())
        AHeight = std::max(images->Height() + 2, 16);
}

void TRunTimeImageIndexPropertyEditor::ListMeasureTextRect(const QString&, QPainter&, QRect& ATextRect)
{
    if (TCustomImageList* images = ImageList())
        ATextRect.setLeft(ATextRect.left() + images->Width() + 2);
}

TRunTimePropertyAttributes TRunTimeImageIndexPropertyEditor::GetAttributes() { return {paValueList}; }

// Cursor pictures

namespace {

// Outlined shapes as screen cursors look: black with a white edge.
void CursorShape(QPainter& p, const QPainterPath& path)
{
    p.setPen(QPen(Qt::white, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::black);
    p.drawPath(path);
}

QPainterPath ArrowPath(qreal x, qreal y, qreal s)
{
    QPainterPath path;
    const QPointF points[] = {{0, 0}, {0, 16}, {4, 12}, {7, 19}, {9.5, 18}, {6.5, 11.5}, {12, 11.5}};
    path.moveTo(x + points[0].x() * s, y + points[0].y() * s);
    for (const QPointF& pt : points)
        path.lineTo(x + pt.x() * s, y + pt.y() * s);
    path.closeSubpath();
    return path;
}

// A double-headed arrow through the centre of the 32-pixel cell, at Angle degrees.
QPainterPath DoubleArrowPath(qreal angle)
{
    QPainterPath path;
    path.moveTo(-11, 0);
    path.lineTo(-5, -6);
    path.lineTo(-5, -2);
    path.lineTo(5, -2);
    path.lineTo(5, -6);
    path.lineTo(11, 0);
    path.lineTo(5, 6);
    path.lineTo(5, 2);
    path.lineTo(-5, 2);
    path.lineTo(-5, 6);
    path.closeSubpath();
    QTransform t;
    t.translate(16, 16);
    t.rotate(angle);
    return t.map(path);
}

void Page(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
}

void NoSign(QPainter& p, const QPointF& centre, qreal radius)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 5));
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(QColor(200, 0, 0), 3));
    p.drawEllipse(centre, radius, radius);
    const qreal d = radius * 0.7;
    p.drawLine(centre + QPointF(-d, -d), centre + QPointF(d, d));
}

void HourGlass(QPainter& p, const QRectF& r)
{
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.topRight());
    path.lineTo(r.center() + QPointF(1.5, 0));
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.lineTo(r.center() - QPointF(1.5, 0));
    path.closeSubpath();
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(250, 230, 150));
    p.drawPath(path);
}

void SplitBars(QPainter& p, bool horizontal)
{
    QTransform t;
    if (horizontal) {
        t.translate(16, 16);
        t.rotate(90);
        t.translate(-16, -16);
    }
    p.save();
    p.setTransform(t, true);
    CursorShape(p, DoubleArrowPath(0));
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::black);
    p.drawRect(QRectF(13, 5, 2, 22));
    p.drawRect(QRectF(17, 5, 2, 22));
    p.restore();
}

} // namespace

void DrawCursorSample(QPainter& Canvas, int X, int Y, int32_t Cursor)
{
    Canvas.save();
    Canvas.translate(X, Y);
    Canvas.setRenderHint(QPainter::Antialiasing);
    switch (Cursor) {
    case -1: // crNone
        break;
    case -3: { // crCross
        Canvas.setPen(QPen(Qt::white, 3));
        Canvas.drawLine(QPointF(16, 4), QPointF(16, 28));
        Canvas.drawLine(QPointF(4, 16), QPointF(28, 16));
        Canvas.setPen(QPen(Qt::black, 1));
        Canvas.drawLine(QPointF(16, 4), QPointF(16, 28));
        Canvas.drawLine(QPointF(4, 16), QPointF(28, 16));
        break;
    }
    case -4: { // crIBeam
        QPainterPath path;
        path.addRect(QRectF(11, 4, 10, 2));
        path.addRect(QRectF(15, 6, 2, 20));
        path.addRect(QRectF(11, 26, 10, 2));
        CursorShape(Canvas, path.simplified());
        break;
    }
    case -6: CursorShape(Canvas, DoubleArrowPath(-45)); break; // crSizeNESW
    case -7: CursorShape(Canvas, DoubleArrowPath(90)); break;  // crSizeNS
    case -8: CursorShape(Canvas, DoubleArrowPath(45)); break;  // crSizeNWSE
    case -9: CursorShape(Canvas, DoubleArrowPath(0)); break;   // crSizeWE
    case -10: { // crUpArrow
        QPainterPath path;
        path.moveTo(16, 3);
        path.lineTo(24, 12);
        path.lineTo(18, 12);
        path.lineTo(18, 28);
        path.lineTo(14, 28);
        path.lineTo(14, 12);
        path.lineTo(8, 12);
        path.closeSubpath();
        CursorShape(Canvas, path);
        break;
    }
    case -11: // crHourGlass
        HourGlass(Canvas, QRectF(9, 4, 14, 24));
        break;
    case -12: // crDrag
        CursorShape(Canvas, ArrowPath(2, 1, 1));
        Page(Canvas, QRectF(12, 18, 10, 8));
        break;
    case -13: // crNoDrop
        CursorShape(Canvas, ArrowPath(2, 1, 1));
        NoSign(Canvas, QPointF(20, 22), 6);
        break;
    case -14: SplitBars(Canvas, false); break; // crHSplit
    case -15: SplitBars(Canvas, true); break;  // crVSplit
    case -16: // crMultiDrag
        CursorShape(Canvas, ArrowPath(2, 1, 1));
        Page(Canvas, QRectF(16, 14, 10, 8));
        Page(Canvas, QRectF(13, 17, 10, 8));
        Page(Canvas, QRectF(10, 20, 10, 8));
        break;
    case -18: // crNo
        NoSign(Canvas, QPointF(16, 16), 10);
        break;
    case -19: // crAppStart
        CursorShape(Canvas, ArrowPath(2, 1, 1));
        HourGlass(Canvas, QRectF(17, 14, 9, 14));
        break;
    case -20: { // crHelp
        CursorShape(Canvas, ArrowPath(2, 1, 1));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(14);
        font.setBold(true);
        Canvas.setFont(font);
        QPainterPath mark;
        mark.addText(QPointF(17, 27), font, QStringLiteral("?"));
        CursorShape(Canvas, mark);
        break;
    }
    case -21: { // crHandPoint
        QPainterPath path;
        path.addRoundedRect(QRectF(10, 2, 5, 16), 2.5, 2.5);
        path.addRoundedRect(QRectF(8, 13, 16, 14), 4, 4);
        Canvas.setPen(QPen(Qt::black, 1.2));
        Canvas.setBrush(Qt::white);
        Canvas.drawPath(path.simplified());
        break;
    }
    case -22: { // crSizeAll
        QPainterPath path = DoubleArrowPath(0).united(DoubleArrowPath(90));
        CursorShape(Canvas, path);
        break;
    }
    default: // crDefault, crArrow and every cursor without a picture of its own
        CursorShape(Canvas, ArrowPath(2, 1, 1));
        break;
    }
    Canvas.restore();
}

// Editors with windows

TRunTimePropertyAttributes TRunTimeStringsPropertyEditor::GetAttributes() { return {paDialog, paReadOnly}; }

void TRunTimeStringsPropertyEditor::Edit()
{
    auto* property = PropAs<TRunTimeStringsProperty>(*this);
    if (!property)
        return;
    const TObjectRef object = property->AsObject();
    TStringList* lines = object.As<TStringList>();
    TRunTimeStringsDialog dialog(FObjectInspector ? FObjectInspector->InspectorWidget() : nullptr);
    if (lines)
        dialog.SetLines(lines->Strings());
    if (!dialog.Execute())
        return;
    TStringList edited(dialog.Lines());
    if (property->PropInfo() && property->PropInfo()->Writable) {
        SetObjectValue(TObjectRef{&edited, TypeInfo<TStringList*>()});
    } else if (lines) {
        // A list the object only lends out is changed in place.
        *lines = edited;
        Modified();
    }
}

TRunTimePropertyAttributes TRunTimeCollectionPropertyEditor::GetAttributes() { return {paDialog, paReadOnly}; }

void TRunTimeCollectionPropertyEditor::Edit()
{
    auto* property = PropAs<TRunTimeCollectionProperty>(*this);
    if (!property || !FObjectInspector)
        return;
    for (TRunTimeDesignWindow* window : TRunTimeDesignWindow::DesignWindows())
        if (auto* editor = qobject_cast<TRunTimeCollectionEditor*>(window))
            if (editor->Instance() && FObjectInspector->HasInstance(editor->Instance()) &&
                editor->PropertyName() == property->FullName()) {
                editor->show();
                editor->raise();
                return;
            }
    auto* editor = new TRunTimeCollectionEditor(FObjectInspector->InspectorWidget());
    editor->SetObjectInspector(FObjectInspector);
    editor->SetProp(property);
    editor->show();
}

// Fonts: an object with the published Name, Size (points; negative for a pixel height) and Style.

namespace {

QObject* FontObject(TRunTimePropertyEditor& Editor)
{
    auto* property = PropAs<TRunTimeFontProperty>(Editor);
    return property ? property->AsObject().AsQObject() : nullptr;
}

} // namespace

TRunTimePropertyAttributes TRunTimeFontPropertyEditor::GetAttributes() { return {paDialog, paReadOnly}; }

QString TRunTimeFontPropertyEditor::GetVisualValue()
{
    QObject* font = FontObject(*this);
    if (!font)
        return TRunTimePropertyEditor::GetVisualValue();
    return Format(QStringLiteral("%s, %upt"), {font->property("Name").toString(), std::abs(font->property("Size").toInt())});
}

void TRunTimeFontPropertyEditor::Edit()
{
    QObject* font = FontObject(*this);
    if (!font)
        return;
    QFont chosen(font->property("Name").toString());
    const int size = std::abs(font->property("Size").toInt());
    if (size > 0)
        chosen.setPointSize(size);
    if (!DesignDialogs().ExecuteFont(FObjectInspector ? FObjectInspector->InspectorWidget() : nullptr, chosen))
        return;
    const bool typedName = font->property("Name").metaType() == QMetaType::fromType<TFontName>();
    font->setProperty("Name", typedName ? QVariant::fromValue(TFontName(chosen.family())) : QVariant(chosen.family()));
    font->setProperty("Size", chosen.pointSize());
    Modified();
}

// Graphics

namespace {

struct TGraphicFormat {
    const char* ClassName;
    const char* Filter;
    const char* Extension;
    std::unique_ptr<TGraphic> (*Create)();
};

const TGraphicFormat GraphicFormats[] = {
    {"TBitmap", "Bitmaps (*.bmp)|*.bmp", "bmp", [] { return std::unique_ptr<TGraphic>(new TBitmap); }},
    {"TIcon", "Icons (*.ico)|*.ico", "ico", [] { return std::unique_ptr<TGraphic>(new TIcon); }},
    {"TPngImage", "Portable Network Graphics (*.png)|*.png", "png", [] { return std::unique_ptr<TGraphic>(new TPngImage); }},
    {"TJPEGImage", "JPEG Image File (*.jpg;*.jpeg)|*.jpg;*.jpeg", "jpg", [] { return std::unique_ptr<TGraphic>(new TJPEGImage); }},
};

const char* const SAllFilesFilter = "All files (*.*)|*.*";

// The format of a picture class; nullptr for the abstract graphic, which takes any of them.
const TGraphicFormat* FormatOfClass(const QString& ClassName)
{
    for (const TGraphicFormat& format : GraphicFormats)
        if (ClassName == QLatin1String(format.ClassName))
            return &format;
    return nullptr;
}

const TGraphicFormat* FormatOfFile(const QString& FileName)
{
    const QString ext = QFileInfo(FileName).suffix().toLower();
    for (const TGraphicFormat& format : GraphicFormats)
        if (QString::fromLatin1(format.Filter).contains(QStringLiteral("*.") + ext + QLatin1Char(')')) ||
            QString::fromLatin1(format.Filter).contains(QStringLiteral("*.") + ext + QLatin1Char(';')))
            return &format;
    return nullptr;
}

} // namespace

TRunTimePropertyAttributes TRunTimeGraphicPropertyEditor::GetAttributes() { return {paReadOnly, paDialog}; }

void TRunTimeGraphicPropertyEditor::Edit()
{
    auto* property = PropAs<TRunTimeGraphicProperty>(*this);
    if (!property || !property->PropType())
        return;
    const TGraphicFormat* declared = FormatOfClass(property->PropType()->Name);
    QString filter;
    QString extension;
    if (declared) {
        filter = QString::fromLatin1(declared->Filter);
        extension = QString::fromLatin1(declared->Extension);
    } else {
        QStringList patterns;
        for (const TGraphicFormat& format : GraphicFormats)
            patterns << QString::fromLatin1(format.Filter).section(QLatin1Char('|'), 1, 1);
        filter = QStringLiteral("All pictures (") + patterns.join(QLatin1Char(';')) + QStringLiteral(")|") +
                 patterns.join(QLatin1Char(';'));
        for (const TGraphicFormat& format : GraphicFormats)
            filter += QLatin1Char('|') + QString::fromLatin1(format.Filter);
        extension = QString::fromLatin1(GraphicFormats[0].Extension);
    }
    filter += QLatin1Char('|') + QString::fromLatin1(SAllFilesFilter);
    QString fileName;
    if (!DesignDialogs().ExecuteOpenPicture(FObjectInspector ? FObjectInspector->InspectorWidget() : nullptr, filter,
                                            extension, fileName))
        return;
    const TGraphicFormat* format = declared ? declared : FormatOfFile(fileName);
    if (!format)
        throw EInvalidGraphic(Format(QStringLiteral("Unknown picture file extension (.%s)"), {QFileInfo(fileName).suffix()}));
    // The picture is read whole before the property is touched: a file that does not read leaves it.
    std::unique_ptr<TGraphic> graphic = format->Create();
    {
        TFileStream stream(fileName, fmOpenRead);
        graphic->LoadFromStream(stream);
    }
    const QString className = QString::fromLatin1(format->ClassName);
    PTypeInfo type = className == QLatin1String("TBitmap") ? DesignClassTypes().Bitmap
                   : className == QLatin1String("TIcon")   ? DesignClassTypes().Icon
                                                           : DesignClassTypes().Graphic;
    SetObjectValue(TObjectRef{graphic.get(), type});
}
