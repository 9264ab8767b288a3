#include "shell/koHintImages.h"

#include <QLabel>
#include <QPixmap>

namespace {

// A bitmap without alpha is transparent where it has the colour of its bottom-left pixel.
QPixmap LoadHintBitmap(const QString& resName, const TBitmapResourceFinder& finder)
{
    const std::optional<QByteArray> bytes = finder(resName);
    if (!bytes)
        return QPixmap();
    QImage image = QImage::fromData(*bytes);
    if (image.isNull())
        return QPixmap();
    if (!image.hasAlphaChannel()) {
        const QRgb key = image.pixel(0, image.height() - 1);
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF))
                    line[x] = 0;
        }
    }
    return QPixmap::fromImage(image);
}

bool IsHintImage(const QObject* object)
{
    return qobject_cast<const QLabel*>(object) && object->property(HintImageProperty).toBool();
}

} // namespace

void LoadHintImages(QWidget* container, const QString& resName, const TBitmapResourceFinder& finder)
{
    if (!container)
        return;
    const QString name = resName.isEmpty() ? QStringLiteral("HINT_INFO_50_SMALL") : resName;
    std::optional<QPixmap> bitmap; // loaded at the first picture of this level
    for (QObject* child : container->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget)
            continue;
        if (IsHintImage(widget)) {
            if (!bitmap)
                bitmap = LoadHintBitmap(name, finder);
            static_cast<QLabel*>(widget)->setPixmap(*bitmap);
        } else {
            LoadHintImages(widget, resName, finder);
        }
    }
}
