#include "kinds/ColorReduction.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <vector>

namespace {

QImage GreyImage(const std::vector<std::vector<int>>& Rows)
{
    QImage image(int(Rows.front().size()), int(Rows.size()), QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int v = Rows[size_t(y)][size_t(x)];
            image.setPixel(x, y, qRgb(v, v, v));
        }
    return image;
}

std::vector<std::vector<int>> IndexRows(const TReducedImage& Image)
{
    std::vector<std::vector<int>> rows(size_t(Image.Height));
    for (int y = 0; y < Image.Height; ++y)
        for (int x = 0; x < Image.Width; ++x) rows[size_t(y)].push_back(Image.Indices[size_t(y * Image.Width + x)]);
    return rows;
}

// Red across, green down, blue along the diagonal: 4096 colours.
QImage ColourGradient()
{
    QImage image(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) image.setPixel(x, y, qRgb(x * 4, y * 4, (x + y) * 2));
    return image;
}

// How far the reduced picture's tone is from the source's: the mean over 4x4 blocks of the distance
// between the blocks' average colours. Dithering trades per-pixel error for a right average.
double MeanBlockError(const QImage& Source, const TReducedImage& Reduced)
{
    double total = 0;
    int blocks = 0;
    for (int by = 0; by + 4 <= Reduced.Height; by += 4)
        for (int bx = 0; bx + 4 <= Reduced.Width; bx += 4) {
            double want[3] = {}, got[3] = {};
            for (int y = by; y < by + 4; ++y)
                for (int x = bx; x < bx + 4; ++x) {
                    const QRgb pixel = Source.pixel(x, y);
                    const TColor color = Reduced.Palette[Reduced.Indices[size_t(y * Reduced.Width + x)]];
                    want[0] += qRed(pixel), want[1] += qGreen(pixel), want[2] += qBlue(pixel);
                    got[0] += GetRValue(color), got[1] += GetGValue(color), got[2] += GetBValue(color);
                }
            total += std::sqrt((want[0] - got[0]) * (want[0] - got[0]) + (want[1] - got[1]) * (want[1] - got[1]) +
                               (want[2] - got[2]) * (want[2] - got[2])) / 16;
            ++blocks;
        }
    return total / blocks;
}

} // namespace

TEST(ColorReduction, EveryIndexInPaletteForEveryDepth)
{
    const QImage source = ColourGradient();
    struct Case {
        TColorReductionKind kind;
        int bits;
    } cases[] = {{crQuantize, 8}, {crQuantize, 4}, {crQuantize, 1}, {crMonochrome, 1}};
    for (const Case& c : cases)
        for (TDitherMethod dither : {dmNone, dmFloydSteinberg, dmStucki}) {
            SCOPED_TRACE(testing::Message() << "kind " << c.kind << ", bits " << c.bits << ", dither " << dither);
            const TReducedImage reduced = ReduceColors(source, c.kind, dither, c.bits);
            ASSERT_EQ(reduced.Width, 64);
            ASSERT_EQ(reduced.Height, 64);
            ASSERT_EQ(reduced.Indices.size(), size_t(64 * 64));
            EXPECT_LE(reduced.Palette.size(), size_t(1) << c.bits);
            // At 1 bit the octree folds a colourful picture down to its root: one colour.
            EXPECT_GE(reduced.Palette.size(), size_t(c.bits == 1 && c.kind == crQuantize ? 1 : 2));
            std::vector<bool> used(reduced.Palette.size());
            for (uint8_t index : reduced.Indices) {
                ASSERT_LT(index, reduced.Palette.size());
                used[index] = true;
            }
            // Undithered, each pixel descends to the leaf its own colour went to, so every entry is used.
            if (dither == dmNone) {
                for (size_t i = 0; i < used.size(); ++i) EXPECT_TRUE(used[i]) << "entry " << i;
            }
        }
}

TEST(ColorReduction, PaletteKeepsChannelsApart)
{
    // Two colours that a red/blue swap would exchange; alpha is not looked at.
    QImage source(3, 1, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgba(0x10, 0x80, 0xF0, 0xFF));
    source.setPixel(1, 0, qRgba(0xF0, 0x80, 0x10, 0xFF));
    source.setPixel(2, 0, qRgba(0x10, 0x80, 0xF0, 0x00));
    for (TDitherMethod dither : {dmNone, dmFloydSteinberg}) {
        const TReducedImage reduced = ReduceColors(source, crQuantize, dither, 1);
        ASSERT_EQ(reduced.Palette.size(), size_t(2));
        ASSERT_EQ(reduced.Indices.size(), size_t(3));
        EXPECT_EQ(reduced.Palette[reduced.Indices[0]], RGBColor(0x10, 0x80, 0xF0));
        EXPECT_EQ(reduced.Palette[reduced.Indices[1]], RGBColor(0xF0, 0x80, 0x10));
        EXPECT_EQ(reduced.Indices[2], reduced.Indices[0]);
    }
    const TReducedImage mono = ReduceColors(source, crMonochrome, dmNone, 1);
    EXPECT_EQ(mono.Palette, (std::vector<TColor>{clBlack, clWhite}));
    // Luminance: (0x10,0x80,0xF0) is 107, (0xF0,0x80,0x10) is 149.
    EXPECT_EQ(mono.Indices, (std::vector<uint8_t>{0, 1, 0}));
}

TEST(ColorReduction, FlatMidGreyDithersToHalfWhite)
{
    const QImage source = GreyImage(std::vector<std::vector<int>>(32, std::vector<int>(32, 128)));
    for (TDitherMethod dither : {dmFloydSteinberg, dmStucki}) {
        SCOPED_TRACE(dither);
        const TReducedImage reduced = ReduceColors(source, crMonochrome, dither, 1);
        int white = 0, alike = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const uint8_t index = reduced.Indices[size_t(y * 32 + x)];
                white += index;
                if (x > 0 && index == reduced.Indices[size_t(y * 32 + x - 1)]) ++alike;
            }
        EXPECT_NEAR(white, 512, 16);
        // A checker-like pattern: neighbours mostly differ.
        EXPECT_LT(alike, 32 * 31 / 4);
    }
    const TReducedImage flat = ReduceColors(source, crMonochrome, dmNone, 1);
    EXPECT_EQ(flat.Indices, std::vector<uint8_t>(32 * 32, 1));
}

TEST(ColorReduction, HandComputedKernels)
{
    struct Case {
        const char* what;
        TDitherMethod dither;
        std::vector<std::vector<int>> grey, expected;
    } cases[] = {
        // Wanted values (grey + rounded error / 16):
        //   50  92 130 -5->0
        //  193  91 127  128
        // 127 is 120 + 104/16 = 6.5 rounded away from zero; 128 is white.
        {"Floyd-Steinberg", dmFloydSteinberg,
         {{50, 70, 90, 50}, {160, 110, 120, 80}},
         {{0, 0, 1, 0}, {1, 0, 0, 1}}},
        // Wanted values (grey + rounded error / 42):
        //  160 162 -17->0  81 235
        //   63 209 121 158 127
        //  220 126  46 128 103
        {"Stucki", dmStucki,
         {{160, 180, 10, 90, 220}, {90, 220, 130, 130, 130}, {220, 140, 10, 100, 100}},
         {{1, 1, 0, 0, 1}, {0, 1, 0, 1, 0}, {1, 0, 0, 1, 0}}},
    };
    for (const Case& c : cases) {
        const TReducedImage reduced = ReduceColors(GreyImage(c.grey), crMonochrome, c.dither, 1);
        EXPECT_EQ(IndexRows(reduced), c.expected) << c.what;
    }
}

TEST(ColorReduction, DitheringKeepsTheToneOfAGradient)
{
    // A grey ramp for black and white and for a four-colour octree; a colour gradient for sixteen.
    QImage ramp(128, 32, QImage::Format_RGB32);
    for (int y = 0; y < ramp.height(); ++y)
        for (int x = 0; x < ramp.width(); ++x) ramp.setPixel(x, y, qRgb(x * 2, x * 2, x * 2));
    struct Case {
        const char* what;
        QImage source;
        TColorReductionKind kind;
        int bits;
    } cases[] = {{"monochrome", ramp, crMonochrome, 1}, {"quantize grey", ramp, crQuantize, 2},
                   {"quantize colour", ColourGradient(), crQuantize, 4}};
    for (const Case& c : cases) {
        const double plain = MeanBlockError(c.source, ReduceColors(c.source, c.kind, dmNone, c.bits));
        for (TDitherMethod dither : {dmFloydSteinberg, dmStucki}) {
            const double dithered = MeanBlockError(c.source, ReduceColors(c.source, c.kind, dither, c.bits));
            // About 0.1 of the plain error for black and white, 0.35 for the grey octree, 0.55 in colour
            // (the octree's lookup is not the nearest entry, which limits what diffusion can repair).
            EXPECT_LT(dithered, plain * 0.7) << c.what << " " << dither << ": " << dithered << " vs " << plain;
        }
    }
}

TEST(ColorReduction, EmptyAndDegenerateSources)
{
    const TReducedImage none = ReduceColors(QImage(), crQuantize, dmFloydSteinberg, 8);
    EXPECT_EQ(none.Width, 0);
    EXPECT_TRUE(none.Indices.empty());
    EXPECT_TRUE(none.Palette.empty());
    // One column: only the taps straight down (8 and 4 of 42) stay inside. Wanted: 100 119 132 88.
    const TReducedImage column = ReduceColors(GreyImage({{100}, {100}, {100}, {100}}), crMonochrome, dmStucki, 1);
    EXPECT_EQ(IndexRows(column), (std::vector<std::vector<int>>{{0}, {0}, {1}, {0}}));
    EXPECT_THROW(ReduceColors(GreyImage({{1}}), crQuantize, dmNone, 9), EAssertionFailed);
}
