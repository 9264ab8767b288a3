// An icon or cursor as it is shown: the pixels with their transparency and, for cursors, the hot spot.
// Screen-inverting pixels show as black.
#pragma once

#include "Graphics.h"

#include <QPoint>

class TBitmap;

class TIcon : public TGraphic {
public:
    static const char* StaticClassName() { return "TIcon"; }

    const char* ClassName() const override { return StaticClassName(); }
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TIcon>(*this); }

    bool Empty() const override { return FImage.isNull(); }
    int Width() const override { return FImage.width(); }
    int Height() const override { return FImage.height(); }
    // The largest image of an .ico or .cur file (then the one with most colours), decoded by the
    // decoder installed with SetImageDecoder; without one the data is refused.
    void LoadFromStream(TStream& Stream) override;
    // An .ico (or .cur) file of the one image, 32 bits with alpha.
    void SaveToStream(TStream& Stream) const override;
    QImage ToQImage() const override { return FImage; }

    bool IsIcon() const { return FIsIcon; }
    QPoint Hotspot() const { return FHotspot; }
    // Image is ARGB32 with straight alpha.
    void SetImage(const QImage& Image, bool IsIcon = true, QPoint Hotspot = {});
    // From the two images of an icon resource: Color (nullptr for 1-bit images) and the AND mask, whose
    // set bits are transparent, or screen-inverting where the colour is white; a 1-bit mask of twice
    // the height holds the AND mask on top and the image below. A 32-bit colour image with alpha
    // shows with its alpha.
    void SetBitmaps(const TBitmap* Color, const TBitmap& Mask, bool IsIcon = true, QPoint Hotspot = {});

    // Decodes one image of a directory entry (a DIB with mask, or a PNG) into shown pixels. The icon
    // formats install it at start-up.
    using TImageDecoder = QImage (*)(const QByteArray& ImageData);
    static void SetImageDecoder(TImageDecoder Decoder);

private:
    QImage FImage;
    bool FIsIcon = true;
    QPoint FHotspot;
};
