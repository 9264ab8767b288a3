#include "ColorReduction.h"

#include "koColorQuantize.h"
#include "platform/Exceptions.h"

#include <algorithm>
#include <array>

namespace {

struct TKernelTap {
    int dx, dy, weight;
};

struct TKernel {
    std::vector<TKernelTap> Taps;
    int Divisor = 1;
    int Rows = 1; // error rows kept: the current one and those the taps reach below it
};

TKernel KernelOf(TDitherMethod Dither)
{
    switch (Dither) {
    case dmFloydSteinberg:
        return {{{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}, 16, 2};
    case dmStucki:
        return {{{1, 0, 8}, {2, 0, 4},
                 {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2},
                 {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4}, {1, 2, 2}, {2, 2, 1}},
                42, 3};
    case dmNone:
        break;
    }
    return {};
}

// Nearest integer of Sum / Divisor, halves away from zero, so that positive and negative errors are
// treated alike.
int RoundedQuotient(int Sum, int Divisor)
{
    return Sum >= 0 ? (Sum + Divisor / 2) / Divisor : -((Divisor / 2 - Sum) / Divisor);
}

constexpr int Margin = 2; // widest reach of a tap to either side

// Maps each pixel to a palette index. Values(pixel, v) gives the pixel's Channels values (0..255);
// Map(v) receives the wanted values, returns the index and writes the chosen entry's values over them.
template <int Channels, class TValues, class TMap>
void Diffuse(const QImage& Image, TDitherMethod Dither, TReducedImage& Result, TValues Values, TMap Map)
{
    const int width = Image.width();
    const TKernel kernel = KernelOf(Dither);
    const size_t stride = size_t(width + 2 * Margin) * Channels;
    // Sums of weighted errors, one row per kernel row; row 0 is the current one.
    std::vector<std::vector<int>> errors(kernel.Rows, std::vector<int>(stride, 0));

    for (int y = 0; y < Image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(Image.constScanLine(y));
        uint8_t* out = Result.Indices.data() + size_t(y) * width;
        const std::vector<int>& current = errors[0];
        for (int x = 0; x < width; ++x) {
            int wanted[Channels];
            Values(line[x], wanted);
            const int* error = current.data() + size_t(x + Margin) * Channels;
            for (int c = 0; c < Channels; ++c)
                wanted[c] = std::clamp(wanted[c] + RoundedQuotient(error[c], kernel.Divisor), 0, 255);
            int chosen[Channels];
            std::copy(wanted, wanted + Channels, chosen);
            out[x] = Map(chosen);
            if (kernel.Taps.empty()) continue;
            for (const TKernelTap& tap : kernel.Taps) {
                const int tx = x + tap.dx;
                if (tx < 0 || tx >= width) continue;
                int* target = errors[tap.dy].data() + size_t(tx + Margin) * Channels;
                for (int c = 0; c < Channels; ++c) target[c] += (wanted[c] - chosen[c]) * tap.weight;
            }
        }
        std::rotate(errors.begin(), errors.begin() + 1, errors.end());
        std::fill(errors.back().begin(), errors.back().end(), 0);
    }
}

} // namespace

TReducedImage ReduceColors(const QImage& Source, TColorReductionKind Kind, TDitherMethod Dither, int Bits)
{
    if (Kind == crQuantize) ATELIER_ASSERT(Bits >= 1 && Bits <= 8);

    TReducedImage result;
    if (Kind == crMonochrome) result.Palette = {clBlack, clWhite};
    if (Source.isNull() || Source.width() <= 0 || Source.height() <= 0) return result;

    // 32-bit pixels whose alpha byte is simply not read.
    const QImage image = Source.format() == QImage::Format_RGB32 || Source.format() == QImage::Format_ARGB32
                             ? Source
                             : Source.convertToFormat(QImage::Format_ARGB32);
    result.Width = image.width();
    result.Height = image.height();
    result.Indices.assign(size_t(result.Width) * size_t(result.Height), 0);

    if (Kind == crMonochrome) {
        Diffuse<1>(
            image, Dither, result,
            [](const QRgb& pixel, int* grey) {
                grey[0] = (299 * qRed(pixel) + 587 * qGreen(pixel) + 114 * qBlue(pixel) + 500) / 1000;
            },
            [](int* grey) -> uint8_t {
                const bool white = grey[0] >= 128;
                grey[0] = white ? 255 : 0;
                return white ? 1 : 0;
            });
        return result;
    }

    TColorQuantizer quantizer(1 << Bits, 8);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) quantizer.ProcessPixel(uint32_t(line[x]));
    }
    std::vector<TRGBQuad> table;
    quantizer.GetColorTable(table);
    result.Palette.reserve(table.size());
    for (const TRGBQuad& entry : table) result.Palette.push_back(RGBColor(entry.rgbRed, entry.rgbGreen, entry.rgbBlue));

    Diffuse<3>(
        image, Dither, result,
        [](const QRgb& pixel, int* rgb) {
            rgb[0] = qRed(pixel);
            rgb[1] = qGreen(pixel);
            rgb[2] = qBlue(pixel);
        },
        [&](int* rgb) -> uint8_t {
            const int index = quantizer.QuantizeColor(uint8_t(rgb[0]), uint8_t(rgb[1]), uint8_t(rgb[2]));
            const TRGBQuad& entry = table[size_t(index)];
            rgb[0] = entry.rgbRed;
            rgb[1] = entry.rgbGreen;
            rgb[2] = entry.rgbBlue;
            return uint8_t(index);
        });
    return result;
}
