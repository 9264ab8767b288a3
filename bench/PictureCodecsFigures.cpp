// Decodes and encodes again every bitmap and icon image of a module (default: wine's shell32.dll) and
// prints the CPU time of each pass and the peak memory of the process. Bitmaps are decoded as
// RT_BITMAP items and saved twice: untouched (the bytes as read) and after a change (encoded anew);
// icon images are decoded into colour and mask bitmaps and encoded again in their own encoding.
// Usage: PictureCodecsFigures [MODULE]
#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemBitmap.h"
#include "model/koResourcesMessages.h"
#include "platform/PEImage.h"
#include "platform/Streams.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <sys/resource.h>

namespace {
double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

constexpr int Runs = 5;
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    const QByteArray bytes = file.readAll();
    const QList<TPEResource> resources = TPEImage(bytes).Resources();
    QList<QByteArray> bitmaps, icons;
    int64_t bitmapBytes = 0, iconBytes = 0;
    for (const TPEResource& r : resources) {
        if (r.Type == Ord(RT_BITMAP)) {
            bitmaps << r.Data;
            bitmapBytes += r.Data.size();
        } else if (r.Type == Ord(RT_ICON)) {
            icons << r.Data;
            iconBytes += r.Data.size();
        }
    }
    // Size warnings of odd images are not what is measured.
    const long baseKiB = PeakKiB();
    std::printf("%s: %lld bitmaps (%lld bytes), %lld icon images (%lld bytes); best of %d runs\n",
                qPrintable(path), (long long)bitmaps.size(), (long long)bitmapBytes, (long long)icons.size(),
                (long long)iconBytes, Runs);

    auto best = [](const std::function<void()>& pass) {
        double fastest = 1e9;
        for (int run = 0; run < Runs; ++run) {
            const double start = CpuSeconds();
            pass();
            fastest = std::min(fastest, CpuSeconds() - start);
        }
        return fastest;
    };

    int64_t written = 0;
    const double untouched = best([&] {
        for (const QByteArray& data : bitmaps) {
            TBitmapResourceItem item(Ord(1));
            TBytesStream in(data);
            item.LoadFromStream(in, data.size());
            TMemoryStream out;
            item.SaveToStream(out);
            written += out.Size();
        }
    });
    const double changed = best([&] {
        for (const QByteArray& data : bitmaps) {
            TBitmapResourceItem item(Ord(1));
            TBytesStream in(data);
            item.LoadFromStream(in, data.size());
            TBitmap copy = item.Bitmap();
            copy.SetPixel(0, 0, copy.Pixel(0, 0)); // a change: the bitmap is encoded anew
            item.SetBitmap(copy);
            TMemoryStream out;
            item.SaveToStream(out);
            written += out.Size();
        }
    });
    int failures = 0;
    const double iconPass = best([&] {
        for (const QByteArray& data : icons) {
            try {
                auto encoder = CreateIconEncoder(IconCompressionOf(data));
                TBytesStream in(data);
                std::unique_ptr<TBitmap> color, mask;
                encoder->Decode(in, color, mask, 32);
                TMemoryStream out;
                encoder->Encode(out, color.get(), mask.get());
                written += out.Size();
            } catch (const Exception&) {
                ++failures;
            }
        }
    });
    std::printf("bitmaps, decode + save untouched: %8.3f ms\n", untouched * 1000);
    std::printf("bitmaps, decode + encode anew:    %8.3f ms\n", changed * 1000);
    std::printf("icon images, decode + encode:     %8.3f ms (%d failed)\n", iconPass * 1000, failures / Runs);
    std::printf("peak memory: %ld KiB (%ld KiB over the start, module %lld KiB)\n", PeakKiB(), PeakKiB() - baseKiB,
                (long long)bytes.size() / 1024);
    return written > 0 ? 0 : 1;
}
