// The stock property editors of the object inspector: numbers, strings, enumerations, sets, colours,
// cursors, fonts, graphics, string lists, collections, events, shortcuts and image indices; and the
// samples their drop-down lists draw (colour swatches, cursor pictures, pen and brush styles, font
// names, images), which the inspector's in-place controls call too.
#pragma once

#include "designer/koDesignObjectInspectorEditor.h"
#include "platform/Graphics.h"
#include "shell/koImageList.h"

#include <QColor>

class QImage;

// Image lists as published properties ("Images" of controls, actions lists and menus).
Q_DECLARE_METATYPE(TCustomImageList*)

class TRunTimeIntegerPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeIntegerPropertyEditor, TRunTimePropertyEditor)
public:
    int GetEditLimit() override;
    TRunTimePropertyAttributes GetAttributes() override;
};

class TKCharPropertyEditor : public TRunTimeIntegerPropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TKCharPropertyEditor, TRunTimeIntegerPropertyEditor)
};

class TRunTimeStringPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeStringPropertyEditor, TRunTimePropertyEditor)
public:
    TRunTimePropertyAttributes GetAttributes() override;
};

// The value is applied while it is typed.
class TRunTimeCaptionPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeCaptionPropertyEditor, TRunTimePropertyEditor)
public:
    TRunTimePropertyAttributes GetAttributes() override;
};

// Opens the strings dialog on the string list.
class TRunTimeStringsPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeStringsPropertyEditor, TRunTimePropertyEditor)
public:
    void Edit() override;
    TRunTimePropertyAttributes GetAttributes() override;
};

class TRunTimeFloatPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeFloatPropertyEditor, TRunTimePropertyEditor)
public:
    TRunTimePropertyAttributes GetAttributes() override;
};

// Dates and times: the properties themselves convert the text.
class TRunTimeDatePropertyEditor : public TRunTimeFloatPropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeDatePropertyEditor, TRunTimeFloatPropertyEditor)
};
class TRunTimeTimePropertyEditor : public TRunTimeFloatPropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeTimePropertyEditor, TRunTimeFloatPropertyEditor)
};
class TRunTimeDateTimePropertyEditor : public TRunTimeFloatPropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeDateTimePropertyEditor, TRunTimeFloatPropertyEditor)
};

class TRunTimeEnumPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeEnumPropertyEditor, TRunTimePropertyEditor)
public:
    void GetValues(QStringList& Values) override;
    int GetEditLimit() override;
    TRunTimePropertyAttributes GetAttributes() override;
};

// A sample of each brush style before its name.
class TRunTimeBrushStylePropertyEditor : public TRunTimeEnumPropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeBrushStylePropertyEditor, TRunTimeEnumPropertyEditor)
public:
    void ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected) override;
    void ListMeasureWidth(const QString& Value, QPainter& ACanvas, int& AWidth) override;
    void ListMeasureTextRect(const QString& Value, QPainter& ACanvas, QRect& ATextRect) override;
};

// A sample line of each pen style before its name.
class TRunTimePenStylePropertyEditor : public TRunTimeEnumPropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimePenStylePropertyEditor, TRunTimeEnumPropertyEditor)
public:
    void ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected) override;
    void ListMeasureWidth(const QString& Value, QPainter& ACanvas, int& AWidth) override;
    void ListMeasureTextRect(const QString& Value, QPainter& ACanvas, QRect& ATextRect) override;
};

// The set itself is read-only; its elements show as sub-properties.
class TRunTimeSetPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeSetPropertyEditor, TRunTimePropertyEditor)
public:
    TRunTimePropertyAttributes GetAttributes() override;
};

class TRunTimeSetElementPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeSetElementPropertyEditor, TRunTimePropertyEditor)
public:
    void GetValues(QStringList& Values) override;
    TRunTimePropertyAttributes GetAttributes() override;
};

// Colour names with swatches; the colour dialog.
class TRunTimeColorPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeColorPropertyEditor, TRunTimePropertyEditor)
public:
    void Edit() override;
    void ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected) override;
    void ListMeasureWidth(const QString& Value, QPainter& ACanvas, int& AWidth) override;
    void ListMeasureTextRect(const QString& Value, QPainter& ACanvas, QRect& ATextRect) override;
    void GetValues(QStringList& Values) override;
    TRunTimePropertyAttributes GetAttributes() override;
};

// Cursor names with the cursor's picture.
class TRunTimeCursorPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeCursorPropertyEditor, TRunTimePropertyEditor)
public:
    void ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected) override;
    void ListMeasureHeight(const QString& Value, QPainter& ACanvas, int& AHeight) override;
    void ListMeasureWidth(const QString& Value, QPainter& ACanvas, int& AWidth) override;
    void ListMeasureTextRect(const QString& Value, QPainter& ACanvas, QRect& ATextRect) override;
    void GetValues(QStringList& Values) override;
    TRunTimePropertyAttributes GetAttributes() override;
};

class TRunTimeModalResultPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeModalResultPropertyEditor, TRunTimePropertyEditor)
public:
    void GetValues(QStringList& Values) override;
    TRunTimePropertyAttributes GetAttributes() override;
};

class TRunTimeShortCutPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeShortCutPropertyEditor, TRunTimePropertyEditor)
public:
    void GetValues(QStringList& Values) override;
    TRunTimePropertyAttributes GetAttributes() override;
};

// Shows "name, size pt"; the font dialog.
class TRunTimeFontPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeFontPropertyEditor, TRunTimePropertyEditor)
public:
    void Edit() override;
    TRunTimePropertyAttributes GetAttributes() override;
    QString GetVisualValue() override;
};

// Font families with a glyph of their kind, and optionally each in its own font.
class TRunTimeFontNamePropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeFontNamePropertyEditor, TRunTimePropertyEditor)
public:
    TRunTimeFontNamePropertyEditor(IRunTimeObjectInspector* AObjectInspector, int APropertyCount);
    void ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected) override;
    void ListMeasureHeight(const QString& Value, QPainter& ACanvas, int& AHeight) override;
    void ListMeasureWidth(const QString& Value, QPainter& ACanvas, int& AWidth) override;
    void ListMeasureTextRect(const QString& Value, QPainter& ACanvas, QRect& ATextRect) override;
    void GetValues(QStringList& Values) override;
    TRunTimePropertyAttributes GetAttributes() override;

protected:
    // Glyphs of the design bitmap cache (not owned).
    const QImage* FTrueTypeGlyph;
    const QImage* FFixedPitchGlyph;
    const QImage* FTrueTypeFixedGlyph;
    const QImage* FDeviceGlyph;
};

class TRunTimeFontCharsetPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeFontCharsetPropertyEditor, TRunTimePropertyEditor)
public:
    void GetValues(QStringList& Values) override;
    TRunTimePropertyAttributes GetAttributes() override;
};

// Object values: read-only, shown without the class name's leading "T".
class TRunTimeClassPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeClassPropertyEditor, TRunTimePropertyEditor)
public:
    TRunTimePropertyAttributes GetAttributes() override;
    QString GetVisualValue() override;
};

// Pictures: loaded from a file chosen in the picture dialog.
class TRunTimeGraphicPropertyEditor : public TRunTimeClassPropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeGraphicPropertyEditor, TRunTimeClassPropertyEditor)
public:
    void Edit() override;
    TRunTimePropertyAttributes GetAttributes() override;
};

// Opens (or shows again) the collection editor of the property.
class TRunTimeCollectionPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeCollectionPropertyEditor, TRunTimePropertyEditor)
public:
    void Edit() override;
    TRunTimePropertyAttributes GetAttributes() override;
};

// References to components, chosen from the names the inspector offers.
class TRunTimeComponentPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeComponentPropertyEditor, TRunTimePropertyEditor)
public:
    bool AutoFill() override;
    void GetValues(QStringList& Values) override;
    TRunTimePropertyAttributes GetAttributes() override;
};

// Events: the ellipsis asks the host for the method's source.
class TRunTimeMethodPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeMethodPropertyEditor, TRunTimePropertyEditor)
public:
    void Edit() override;
    bool AutoFill() override;
    TRunTimePropertyAttributes GetAttributes() override;
};

// "ImageIndex": the numbers of the images of the instance's image list, each with its image.
class TRunTimeImageIndexPropertyEditor : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeImageIndexPropertyEditor, TRunTimePropertyEditor)
public:
    void ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected) override;
    void ListMeasureHeight(const QString& Value, QPainter& ACanvas, int& AHeight) override;
    void ListMeasureTextRect(const QString& Value, QPainter& ACanvas, QRect& ATextRect) override;
    void GetValues(QStringList& Values) override;
    TRunTimePropertyAttributes GetAttributes() override;
    // The image list of the instance: the control's "Images", else its parent's; none for others.
    virtual TCustomImageList* GetImageList();
    // GetImageList, asked once (on first use: a constructor cannot ask the derived editor).
    TCustomImageList* ImageList();

protected:
    TCustomImageList* FImageList = nullptr; // not owned
    bool FImageListKnown = false;
};

// "ImageIndex" of an action: the images of its action list.
class TRunTimeActionImageIndexPropertyEditor : public TRunTimeImageIndexPropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeActionImageIndexPropertyEditor, TRunTimeImageIndexPropertyEditor)
public:
    TCustomImageList* GetImageList() override;
};

// "ImageIndex" of a menu item: the menu item's image list.
class TRunTimeMenuImageIndexPropertyEditor : public TRunTimeImageIndexPropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TRunTimeMenuImageIndexPropertyEditor, TRunTimeImageIndexPropertyEditor)
public:
    TCustomImageList* GetImageList() override;
};

// Samples of drop-down entries (and of the inspector's rows). Each clears its box with the canvas's
// brush first and leaves the canvas's pen and brush as they were.

// Black when any of the colour's red, green or blue bytes exceeds 192; else white for a selected entry
// and the colour itself for the others.
QColor ContrastColor(const QColor& Color, bool Selected);
// A square of the rectangle's height at its left edge, inset by one pixel, filled with Color and
// outlined with its contrast colour.
void DrawColorSwatch(QPainter& ACanvas, const QRect& ARect, TColor Color, bool Selected);
// A box twice the rectangle's height wide with a line in the pen style across its middle.
void DrawPenStyleSample(QPainter& ACanvas, const QRect& ARect, TPenStyle Style);
// A square of the rectangle's height filled in the brush style.
void DrawBrushStyleSample(QPainter& ACanvas, const QRect& ARect, TBrushStyle Style);
// The picture of a screen cursor (crDefault ... crSizeAll) in its 32-pixel box at (X, Y); crNone draws
// nothing, and cursors without a picture of their own draw the arrow.
void DrawCursorSample(QPainter& ACanvas, int X, int Y, int32_t Cursor);
// The glyph of a font family's kind: TrueType or not, fixed or variable pitch (the family's
// TRunTimeFontNameProperty::FontTypeData); nullptr before the design bitmaps are registered.
const QImage* FontTypeGlyph(int FontTypeData);

// The size of a screen cursor's picture (the platform's cursor metrics).
inline constexpr int SystemCursorWidth = 32;
inline constexpr int SystemCursorHeight = 32;
