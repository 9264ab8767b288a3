// JPEG pictures through libjpeg: the data is kept as it is and decoded for showing.
#pragma once

#include "Graphics.h"

#include <QByteArray>

class TJPEGImage : public TGraphic {
public:
    static const char* StaticClassName() { return "TJPEGImage"; }

    const char* ClassName() const override { return StaticClassName(); }
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TJPEGImage>(*this); }

    bool Empty() const override { return FImage.isNull(); }
    int Width() const override { return FImage.width(); }
    int Height() const override { return FImage.height(); }
    // Reads everything from the stream's position to its end and decodes it; libjpeg's errors become
    // EInvalidGraphic with its message.
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) const override;
    QImage ToQImage() const override { return FImage; }
    const QByteArray& Data() const { return FData; }

private:
    QByteArray FData;
    QImage FImage; // ARGB32, opaque
};
