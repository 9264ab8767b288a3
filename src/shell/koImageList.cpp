#include "shell/koImageList.h"

#include "bitmapeditor/koGraphics32Color.h"

TCustomImageList::TCustomImageList(int width, int height) : FWidth(width), FHeight(height) {}

void TCustomImageList::SetSize(int width, int height)
{
    if (width == FWidth && height == FHeight)
        return;
    FWidth = width;
    FHeight = height;
    FImages.clear();
    Change();
}

void TCustomImageList::Clear()
{
    FImages.clear();
    Change();
}

void TCustomImageList::Change()
{
    if (OnChange)
        OnChange(*this);
}

QImage TCustomImageList::Prepare(const QImage& image, const QImage& mask) const
{
    // A strip cell has the list's size: a larger image is cut, a smaller one leaves transparent black.
    QImage cell(FWidth, FHeight, QImage::Format_ARGB32);
    cell.fill(0);
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    const int w = std::min(FWidth, source.width());
    const int h = std::min(FHeight, source.height());
    for (int y = 0; y < h; ++y)
        std::copy_n(reinterpret_cast<const QRgb*>(source.constScanLine(y)), w,
                    reinterpret_cast<QRgb*>(cell.scanLine(y)));
    if (!mask.isNull()) {
        const QImage m = mask.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < std::min(h, m.height()); ++y) {
            const QRgb* ml = reinterpret_cast<const QRgb*>(m.constScanLine(y));
            QRgb* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
            for (int x = 0; x < std::min(w, m.width()); ++x)
                if ((ml[x] & 0x00FFFFFFu) != 0)
                    line[x] = 0;
        }
    }
    return cell;
}

int TCustomImageList::Add(const QImage& image, const QImage& mask)
{
    FImages.push_back(Prepare(image, mask));
    Change();
    return Count() - 1;
}

int TCustomImageList::AddMasked(const QImage& image, int maskColor)
{
    if (!FMasked || maskColor == clNoMask)
        return Add(image);
    QImage cell = Prepare(image, QImage());
    const QRgb key = QRgb(maskColor) & 0x00FFFFFFu;
    for (int y = 0; y < cell.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
        for (int x = 0; x < cell.width(); ++x)
            line[x] = (line[x] & 0x00FFFFFFu) == key ? 0 : (line[x] | 0xFF000000u);
    }
    FImages.push_back(cell);
    Change();
    return Count() - 1;
}

void TCustomImageList::Replace(int index, const QImage& image, const QImage& mask)
{
    if (index < 0 || index >= Count())
        return;
    FImages[size_t(index)] = Prepare(image, mask);
    Change();
}

QImage TCustomImageList::Image(int index) const
{
    if (index < 0 || index >= Count())
        return QImage();
    return FImages[size_t(index)];
}

void TCustomImageList::Draw(QPainter& canvas, int x, int y, int index, bool enabled) const
{
    if (index < 0 || index >= Count())
        return;
    if (enabled) {
        canvas.drawImage(x, y, FImages[size_t(index)]);
        return;
    }
    QImage grey = FImages[size_t(index)].copy();
    DesaturateBitmap(grey, 255);
    canvas.drawImage(x, y, grey);
}

bool GetImageListBitmap(const TCustomImageList& list, int index, QImage& bitmap)
{
    if (bitmap.width() != list.Width() || bitmap.height() != list.Height() ||
        bitmap.format() != QImage::Format_ARGB32)
        bitmap = QImage(list.Width(), list.Height(), QImage::Format_ARGB32);
    const QImage image = list.Image(index);
    if (image.isNull()) {
        bitmap.fill(0);
        return false;
    }
    for (int y = 0; y < image.height(); ++y)
        std::copy_n(reinterpret_cast<const QRgb*>(image.constScanLine(y)), image.width(),
                    reinterpret_cast<QRgb*>(bitmap.scanLine(y)));
    return true;
}

void MakeDisabledImageList(const TCustomImageList& source, TCustomImageList& dest)
{
    dest.SetSize(source.Width(), source.Height());
    dest.Clear();
    dest.SetMasked(source.Masked());
    for (int i = 0; i < source.Count(); ++i) {
        QImage image = source.Image(i);
        DesaturateBitmap(image, 255);
        dest.Add(image);
    }
}
