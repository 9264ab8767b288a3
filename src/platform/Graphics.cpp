#include "Graphics.h"

#include <QPainter>
#include <array>

namespace {

// The classic default scheme, by system colour index (COLOR_SCROLLBAR = 0 ... COLOR_MENUBAR = 30).
constexpr std::array<TColor, 31> SystemColors = {
    RGBColor(192, 192, 192), // scroll bar
    RGBColor(0, 128, 128),   // desktop
    RGBColor(0, 0, 128),     // active caption
    RGBColor(128, 128, 128), // inactive caption
    RGBColor(192, 192, 192), // menu
    RGBColor(255, 255, 255), // window
    RGBColor(0, 0, 0),       // window frame
    RGBColor(0, 0, 0),       // menu text
    RGBColor(0, 0, 0),       // window text
    RGBColor(255, 255, 255), // caption text
    RGBColor(192, 192, 192), // active border
    RGBColor(192, 192, 192), // inactive border
    RGBColor(128, 128, 128), // application workspace
    RGBColor(0, 0, 128),     // highlight
    RGBColor(255, 255, 255), // highlight text
    RGBColor(192, 192, 192), // button face
    RGBColor(128, 128, 128), // button shadow
    RGBColor(128, 128, 128), // grey text
    RGBColor(0, 0, 0),       // button text
    RGBColor(192, 192, 192), // inactive caption text
    RGBColor(255, 255, 255), // button highlight
    RGBColor(0, 0, 0),       // 3D dark shadow
    RGBColor(223, 223, 223), // 3D light
    RGBColor(0, 0, 0),       // tooltip text
    RGBColor(255, 255, 225), // tooltip background
    RGBColor(0, 0, 0),       // (unused index 25)
    RGBColor(0, 0, 255),     // hot-tracked item
    RGBColor(16, 132, 208),  // active caption gradient
    RGBColor(181, 181, 181), // inactive caption gradient
    RGBColor(0, 0, 128),     // menu highlight
    RGBColor(192, 192, 192), // menu bar
};

} // namespace

TColor ColorToRGB(TColor Color)
{
    // System colours in either form: 0x80000000 + index, or 0xFF000000 + index as property values name them.
    if ((Color.Value & 0xFF000000u) == 0x80000000u || (Color.Value & 0xFF000000u) == 0xFF000000u) {
        const uint32_t index = Color.Value & 0x00FFFFFFu;
        return index < SystemColors.size() ? SystemColors[index] : clBlack;
    }
    return TColor(Color.Value & 0x00FFFFFFu);
}

QRgb ColorToQRgb(TColor Color, int Alpha)
{
    const TColor c = ColorToRGB(Color);
    return qRgba(GetRValue(c), GetGValue(c), GetBValue(c), Alpha);
}

TColor QRgbToColor(QRgb Rgb) { return RGBColor(qRed(Rgb), qGreen(Rgb), qBlue(Rgb)); }

void TGraphic::Draw(QPainter& Canvas, const QRect& Rect) const
{
    if (Empty() || Rect.isEmpty()) return;
    Canvas.save();
    Canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
    Canvas.drawImage(Rect, ToQImage());
    Canvas.restore();
}
