#include "bitmapeditor/koGraphics32Color.h"

#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

// The reference functions below are written from the formulas, in a different shape from the
// production code (sorted channels, explicit byte casts), so a slip in either one shows up.

namespace {

struct Rgb
{
    int r, g, b;
};

Rgb Split(TColor32 c) { return {int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF)}; }

int Hi(const Rgb& c) { return std::max({c.r, c.g, c.b}); }
int Lo(const Rgb& c) { return std::min({c.r, c.g, c.b}); }

TColor32 Pack(int a, int r, int g, int b)
{
    return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

int RefLuminance(TColor32 c)
{
    const Rgb p = Split(c);
    return (p.r * 54 + p.g * 184 + p.b * 18) / 256;
}

int RefHueValue(TColor32 c)
{
    const Rgb p = Split(c);
    if (Hi(p) == Lo(p)) return 0;
    const int d = (Hi(p) - Lo(p)) * 255;
    int v = p.r == Hi(p) ? (p.g - p.b) * 65025 / d
          : p.g == Hi(p) ? (p.b - p.r) * 65025 / d + 510
                         : (p.r - p.g) * 65025 / d + 1020;
    v = v / 6;
    if (v < 0) v = v + 510;
    return v % 256;
}

int RefSaturationValue(TColor32 c)
{
    const Rgb p = Split(c);
    if (Hi(p) == Lo(p)) return 0;
    const int d = (Hi(p) - Lo(p)) * 255;
    const int sum = Hi(p) + Lo(p);
    return sum / 2 < 127 ? d / sum : d / (510 - sum);
}

struct Hsl
{
    int h, s, l;
};

Hsl RefRGBtoHSL(TColor32 c)
{
    const Rgb p = Split(c);
    const int sum = Hi(p) + Lo(p);
    Hsl out{0, 0, sum / 2};
    if (Hi(p) == Lo(p)) return out;
    const int d = (Hi(p) - Lo(p)) * 255;
    out.s = out.l <= 127 ? d / sum : d / (510 - sum);
    int h;
    if (p.r == Hi(p))
        h = (p.g - p.b) * 65025 / (d * 6);
    else if (p.g == Hi(p))
        h = (p.b - p.r) * 65025 / (d * 6) + 85;
    else
        h = (p.r - p.g) * 65025 / (d * 6) + 170;
    if (h < 0) h += 510;
    out.h = uint8_t(h);
    return out;
}

TColor32 RefHSLtoRGB(int h, int s, int l)
{
    int v;
    if (l <= 127)
        v = l * (s + 256) / 256;
    else
        v = l + s - l * s / 255;
    if (v <= 0) return 0;
    const int m = 2 * l - v;
    const int f = (h * 6) % 256;
    const int x = f * (v - m) / 256;
    const uint8_t V = uint8_t(v), M = uint8_t(m), up = uint8_t(m + x), down = uint8_t(v - x);
    const uint8_t table[6][3] = {{V, up, M}, {down, V, M}, {M, V, up}, {M, down, V}, {up, M, V}, {V, M, down}};
    const uint8_t* rgb = table[h * 6 / 256];
    return Pack(0, rgb[0], rgb[1], rgb[2]);
}

TColor32 RefAdjust(TColor32 c, int dh, int ds, int dl)
{
    Hsl hsl = RefRGBtoHSL(c);
    hsl.h = ((hsl.h + dh) % 256 + 256) % 256;
    hsl.s = std::clamp(hsl.s + ds, 0, 255);
    hsl.l = std::clamp(hsl.l + dl, 0, 255);
    return (RefHSLtoRGB(hsl.h, hsl.s, hsl.l) & 0x00FFFFFFu) | (c & 0xFF000000u);
}

TColor32 RefDesaturateColor(TColor32 c, int amount)
{
    const Rgb p = Split(c);
    const int y = (p.r * 54 + p.g * 184 + p.b * 18) >> 8;
    const int a = int(c >> 24);
    if (amount <= 0) return c;
    if (amount >= 255) return Pack(a, y, y, y);
    auto mix = [&](int ch) { return y * amount / 255 + ch * (255 - amount) / 255; };
    return Pack(a, mix(p.r), mix(p.g), mix(p.b));
}

// Every combination of a handful of channel values that sit on the formulas' boundaries.
std::vector<TColor32> Palette()
{
    const int levels[] = {0, 1, 2, 54, 64, 126, 127, 128, 129, 200, 253, 254, 255};
    const int alphas[] = {0, 1, 128, 255};
    std::vector<TColor32> colors;
    size_t n = 0;
    for (int r : levels)
        for (int g : levels)
            for (int b : levels) colors.push_back(Pack(alphas[n++ % 4], r, g, b));
    return colors;
}

TBitmap32 PaletteBitmap()
{
    const std::vector<TColor32> colors = Palette();
    TBitmap32 bmp(13, int(colors.size() / 13));
    std::copy(colors.begin(), colors.end(), bmp.Bits());
    return bmp;
}

QImage PaletteImage()
{
    return PaletteBitmap().ToQImage().copy();
}

} // namespace

TEST(koGraphics32Color, KnownValues)
{
    EXPECT_EQ(Lightness(255, 0, 0), 127);
    EXPECT_EQ(Lightness(0xFFFF0000u), 127);
    EXPECT_EQ(Luminance(0xFFFFFFFFu), 255);
    EXPECT_EQ(Luminance(0xFFFF0000u), 53);
    EXPECT_EQ(Average(0x00030609u), 6);
    EXPECT_EQ(Average(0xFF0000FFu), 85);

    struct Case { TColor32 color; int h, s, l; };
    const Case cases[] = {
        {0xFF808080u, 0, 0, 128},
        {0xFFFF0000u, 0, 255, 127},
        {0xFF00FF00u, 85, 255, 127},
        {0xFF0000FFu, 170, 255, 127},
        {0xFFFF000Au, 253, 255, 127}, // slightly negative hue: +510, low byte
        {0xFFC83636u, 0, 146, 127},   // lightness 127 divides by max + min
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.color);
        uint8_t h = 99, s = 99, l = 99;
        RGBtoHSL(c.color, h, s, l);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(s, c.s);
        EXPECT_EQ(l, c.l);
    }
    // SaturationValue's boundary is "< 127", so the same colour divides by 510 - max - min.
    EXPECT_EQ(SaturationValue(0xFFC83636u), 145);
    EXPECT_EQ(HueValue(0xFF00FF00u), 85);
    EXPECT_EQ(HueValue(0xFF0000FFu), 170);

    EXPECT_EQ(HSLtoRGB(0, 255, 127), 0x00FD0101u);
    EXPECT_EQ(HSLtoRGB(123, 200, 0), 0u);
    EXPECT_EQ(ColorToGray(0x80FF0000u), 0x80353535u);
}

TEST(koGraphics32Color, MeasuresMatchFormulasOverPalette)
{
    for (TColor32 c : Palette()) {
        SCOPED_TRACE(c);
        const Rgb p = Split(c);
        EXPECT_EQ(Lightness(c), (Hi(p) + Lo(p)) / 2);
        EXPECT_EQ(Lightness(p.r, p.g, p.b), (Hi(p) + Lo(p)) / 2);
        EXPECT_EQ(Luminance(c), RefLuminance(c));
        EXPECT_EQ(Average(c), (p.r + p.g + p.b) / 3);
        EXPECT_EQ(HueValue(c), RefHueValue(c));
        EXPECT_EQ(SaturationValue(c), RefSaturationValue(c));
        const int y = RefLuminance(c);
        EXPECT_EQ(ColorToGray(c), Pack(int(c >> 24), y, y, y));

        uint8_t h, s, l;
        RGBtoHSL(c, h, s, l);
        const Hsl ref = RefRGBtoHSL(c);
        EXPECT_EQ(h, ref.h);
        EXPECT_EQ(s, ref.s);
        EXPECT_EQ(l, ref.l);
    }
}

TEST(koGraphics32Color, HSLtoRGBMatchesFormulaEverywhere)
{
    for (int h = 0; h < 256; h += 3)
        for (int s = 0; s < 256; s += 5)
            for (int l = 0; l < 256; l += 7) {
                const TColor32 got = HSLtoRGB(h, s, l);
                ASSERT_EQ(got, RefHSLtoRGB(h, s, l)) << h << ", " << s << ", " << l;
            }
    EXPECT_EQ(HSLtoRGB(255, 255, 255), RefHSLtoRGB(255, 255, 255));
    EXPECT_EQ(HSLtoRGB(43, 255, 128), RefHSLtoRGB(43, 255, 128));
}

TEST(koGraphics32Color, Sepia)
{
    struct Case { int depth; int redOffset; };
    // Depth * 16 / 9 rounded halves away from zero.
    const Case cases[] = {{0, 0}, {36, 64}, {10, 18}, {-20, -36}, {200, 356}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.depth);
        TBitmap32 bmp = PaletteBitmap();
        const TBitmap32 before = bmp;
        int changes = 0;
        bmp.OnChange = [&](TBitmap32&) { ++changes; };
        Sepia(bmp, c.depth);
        EXPECT_EQ(changes, 1);
        for (size_t i = 0; i < size_t(bmp.Width() * bmp.Height()); ++i) {
            const TColor32 was = before.Bits()[i];
            const Rgb p = Split(was);
            const int g = (Hi(p) + Lo(p)) / 2;
            const TColor32 want = Pack(int(was >> 24), std::clamp(g + c.redOffset, 0, 255),
                                       std::clamp(g + c.depth, 0, 255), g);
            ASSERT_EQ(bmp.Bits()[i], want) << i;
        }
    }
}

TEST(koGraphics32Color, DesaturateKeepsTransparentPixels)
{
    TBitmap32 bmp = PaletteBitmap();
    const TBitmap32 before = bmp;
    int changes = 0;
    bmp.OnChange = [&](TBitmap32&) { ++changes; };
    Desaturate(bmp);
    EXPECT_EQ(changes, 0);
    for (size_t i = 0; i < size_t(bmp.Width() * bmp.Height()); ++i) {
        const TColor32 was = before.Bits()[i];
        const int y = RefLuminance(was);
        const TColor32 want = (was >> 24) == 0 ? was : Pack(int(was >> 24), y, y, y);
        ASSERT_EQ(bmp.Bits()[i], want) << i;
    }
}

TEST(koGraphics32Color, DesaturateBitmap)
{
    const QImage source = PaletteImage();
    for (int amount : {-5, 0, 1, 100, 128, 254, 255, 400}) {
        SCOPED_TRACE(amount);
        QImage image = source.copy();
        DesaturateBitmap(image, amount);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const TColor32 was = source.pixel(x, y);
                ASSERT_EQ(TColor32(image.pixel(x, y)), RefDesaturateColor(was, amount)) << x << "," << y;
                EXPECT_EQ(DesaturateColor(was, amount), RefDesaturateColor(was, amount));
            }
        if (amount <= 0) {
            EXPECT_EQ(image, source);
        }
    }

    QImage full = source.copy();
    DesaturateBitmap(full, 255);
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x) {
            const QRgb p = full.pixel(x, y);
            EXPECT_EQ(qRed(p), qGreen(p));
            EXPECT_EQ(qGreen(p), qBlue(p));
            EXPECT_EQ(qAlpha(p), qAlpha(source.pixel(x, y)));
        }

    // Works in place on a bitmap's own memory.
    TBitmap32 bmp(1, 1);
    bmp.SetPixel(0, 0, 0x40FF0000u);
    QImage view = bmp.ToQImage();
    DesaturateBitmap(view, 255);
    EXPECT_EQ(bmp.Pixel(0, 0), 0x40353535u);

    QImage indexed(2, 2, QImage::Format_Indexed8);
    EXPECT_THROW(DesaturateBitmap(indexed, 255), EAssertionFailed);
    QImage rgb24(2, 2, QImage::Format_RGB888);
    EXPECT_THROW(DesaturateBitmap(rgb24, 255), EAssertionFailed);
}

TEST(koGraphics32Color, AdjustHSL)
{
    struct Case { int dh, ds, dl; };
    const Case cases[] = {{0, 0, 0}, {256, 0, 0}, {30, 0, 0}, {-30, 0, 0}, {0, 300, 0},
                          {0, -300, 0}, {0, 0, 300}, {0, 0, -300}, {-1000, 40, -40}};
    const TBitmap32 source = PaletteBitmap();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dh << " " << c.ds << " " << c.dl);
        TBitmap32 dest(2, 2);
        int changes = 0;
        dest.OnChange = [&](TBitmap32&) { ++changes; };
        AdjustHSL(source, dest, int16_t(c.dh), int16_t(c.ds), int16_t(c.dl));
        EXPECT_EQ(changes, 1);
        ASSERT_EQ(dest.Width(), source.Width());
        ASSERT_EQ(dest.Height(), source.Height());
        for (size_t i = 0; i < size_t(source.Width() * source.Height()); ++i)
            ASSERT_EQ(dest.Bits()[i], RefAdjust(source.Bits()[i], c.dh, c.ds, c.dl)) << i;
    }

    TBitmap32 zero, full;
    AdjustHSL(source, zero, 0, 0, 0);
    AdjustHSL(source, full, 256, 0, 0);
    EXPECT_TRUE(std::equal(zero.Bits(), zero.Bits() + zero.Width() * zero.Height(), full.Bits()));

    // The same bitmap as source and destination.
    TBitmap32 same = PaletteBitmap();
    AdjustHSL(same, same, 17, -9, 5);
    for (size_t i = 0; i < size_t(same.Width() * same.Height()); ++i)
        ASSERT_EQ(same.Bits()[i], RefAdjust(source.Bits()[i], 17, -9, 5)) << i;

    // An empty source leaves the destination alone and reports nothing.
    TBitmap32 untouched(3, 3);
    untouched.Clear(0x12345678u);
    int changes = 0;
    untouched.OnChange = [&](TBitmap32&) { ++changes; };
    AdjustHSL(TBitmap32(), untouched, 0, 0, 0);
    EXPECT_EQ(untouched.Width(), 3);
    EXPECT_EQ(untouched.Pixel(2, 2), 0x12345678u);
    EXPECT_EQ(changes, 0);
}

TEST(koGraphics32Color, AdjustHSLBitmapSkipsTransparentPixels)
{
    const QImage source = PaletteImage();
    const TColor32 marker = 0x5AA55AA5u;
    struct Case { int dh, ds, dl; };
    for (const Case& c : {Case{0, -255, 32}, Case{40, 20, -10}, Case{-300, 255, 255}}) {
        SCOPED_TRACE(testing::Message() << c.dh << " " << c.ds << " " << c.dl);
        QImage dest(source.size(), QImage::Format_ARGB32);
        dest.fill(marker);
        AdjustHSLBitmap(source, dest, int16_t(c.dh), int16_t(c.ds), int16_t(c.dl));
        for (int y = 0; y < source.height(); ++y)
            for (int x = 0; x < source.width(); ++x) {
                const TColor32 was = source.pixel(x, y);
                const TColor32 want = (was >> 24) == 0 ? marker : RefAdjust(was, c.dh, c.ds, c.dl);
                ASSERT_EQ(TColor32(dest.pixel(x, y)), want) << x << "," << y;
            }
    }

    // What the glyph service relies on: every visible pixel becomes the grey of its lightness + 32.
    QImage glyph = source.copy();
    AdjustHSLBitmap(glyph, glyph, 0, -255, 32);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) {
            const TColor32 was = source.pixel(x, y);
            const Rgb p = Split(was);
            const int grey = std::min(255, (Hi(p) + Lo(p)) / 2 + 32);
            const TColor32 want = (was >> 24) == 0 ? was : Pack(int(was >> 24), grey, grey, grey);
            ASSERT_EQ(TColor32(glyph.pixel(x, y)), want) << x << "," << y;
        }

    // A destination of another size is replaced; its new pixels under transparent ones stay 0.
    QImage small(1, 1, QImage::Format_ARGB32);
    small.fill(marker);
    AdjustHSLBitmap(source, small, 0, 0, 0);
    ASSERT_EQ(small.size(), source.size());
    EXPECT_EQ(small.pixel(0, 0), 0u); // the palette's first colour has alpha 0

    QImage kept(3, 3, QImage::Format_ARGB32);
    kept.fill(marker);
    AdjustHSLBitmap(QImage(), kept, 0, 0, 0);
    EXPECT_EQ(kept.size(), QSize(3, 3));
    EXPECT_EQ(kept.pixel(1, 1), marker);
}

namespace {

TLevelsTable RefLevels(int bright, int contrast, int gamma, int inLow, int inMid, int inHigh,
                       int outLow, int outHigh)
{
    TLevelsTable t{};
    const float b = float(bright) / 100.0f, c = float(contrast) / 100.0f;
    const float g = powf(10.0f, float(gamma) / 200.0f);
    const float il = float(inLow) / 255.0f, im = float(inMid) / 255.0f, ih = float(inHigh) / 255.0f;
    const float ol = float(outLow) / 255.0f, oh = float(outHigh) / 255.0f;
    for (int i = 0; i < 256; ++i) {
        const float x = float(i) / 255.0f;
        if (x < il) { t[size_t(i)] = 0; continue; }
        if (x > ih) { t[size_t(i)] = 255; continue; }
        float v;
        if (x < im)
            v = (x - il) / 2.0f / (im - il);
        else
            v = (x - im) / 2.0f / (ih - im) + 0.5f;
        v = powf(v, g);
        v = (1.0f + c) * (v - 0.5f) + 0.5f + b;
        v = std::min(std::max(v, ol), oh);
        t[size_t(i)] = uint8_t(lrintf(v * 255.0f));
    }
    return t;
}

} // namespace

TEST(koGraphics32Color, LevelsTable)
{
    TLevelsTable table;
    table.fill(7);
    BuildLevelsTable(table, 0, 0, 0, 0, 127, 255, 0, 255);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[127], 128); // 127.5 rounds to even
    EXPECT_EQ(table[255], 255);
    EXPECT_EQ(table, RefLevels(0, 0, 0, 0, 127, 255, 0, 255));

    struct Case { int b, c, g, il, im, ih, ol, oh; };
    const Case cases[] = {
        {40, 0, 0, 0, 127, 255, 0, 255},    {-40, 0, 0, 0, 127, 255, 0, 255},
        {0, 50, 0, 0, 127, 255, 0, 255},    {0, -100, 0, 0, 127, 255, 0, 255},
        {0, 0, 100, 0, 127, 255, 0, 255},   {0, 0, -128, 0, 127, 255, 0, 255},
        {10, 20, 30, 30, 100, 220, 20, 240}, {127, 127, 127, 1, 2, 254, 0, 128},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.b << " " << c.c << " " << c.g << " " << c.il << " " << c.im
                                        << " " << c.ih << " " << c.ol << " " << c.oh);
        BuildLevelsTable(table, int8_t(c.b), int8_t(c.c), int8_t(c.g), uint8_t(c.il), uint8_t(c.im),
                         uint8_t(c.ih), uint8_t(c.ol), uint8_t(c.oh));
        EXPECT_EQ(table, RefLevels(c.b, c.c, c.g, c.il, c.im, c.ih, c.ol, c.oh));
    }

    // An exact half in single precision: 76.5 goes to the even neighbour.
    BuildLevelsTable(table, -96, 52, 0, 0, 127, 255, 0, 255);
    EXPECT_EQ(table[255], 76);

    // Outside the input range the entries are 0 and 255 whatever the output range is.
    BuildLevelsTable(table, 0, 0, 0, 30, 100, 220, 20, 240);
    EXPECT_EQ(table[29], 0);
    EXPECT_EQ(table[30], 20);
    EXPECT_EQ(table[220], 240);
    EXPECT_EQ(table[221], 255);
}

TEST(koGraphics32Color, XorLines)
{
    TColorBindings& bindings = ColorBindings();
    EXPECT_EQ(bindings.Name, QStringLiteral("koGraphics32Color bindings"));
    ASSERT_EQ(bindings.XorLineImplementations.size(), 2u);
    ASSERT_EQ(bindings.XorCopyLineImplementations.size(), 1u);
    ASSERT_NE(bindings.XorLine, nullptr);
    ASSERT_NE(bindings.XorCopyLine, nullptr);

    const std::vector<TColor32> source = Palette();
    const TColor32 value = 0xFF00FF0Fu;
    const int count = 37;
    std::vector<TXorLineProc> procs = bindings.XorLineImplementations;
    procs.push_back(&XorLine);
    for (TXorLineProc proc : procs) {
        std::vector<TColor32> line = source;
        proc(line.data() + 1, count, value);
        EXPECT_EQ(line[0], source[0]);
        for (int i = 1; i <= count; ++i) ASSERT_EQ(line[size_t(i)], source[size_t(i)] ^ value) << i;
        EXPECT_EQ(line[count + 1], source[count + 1]);

        for (int none : {0, -1, -100}) {
            std::vector<TColor32> untouched = source;
            proc(untouched.data(), none, value);
            EXPECT_EQ(untouched, source);
        }
    }

    std::vector<TXorCopyLineProc> copies = bindings.XorCopyLineImplementations;
    copies.push_back(&XorCopyLine);
    for (TXorCopyLineProc proc : copies) {
        std::vector<TColor32> dst(source.size(), 0xCDCDCDCDu);
        proc(source.data(), dst.data(), count, value);
        for (int i = 0; i < count; ++i) ASSERT_EQ(dst[size_t(i)], source[size_t(i)] ^ value) << i;
        EXPECT_EQ(dst[count], 0xCDCDCDCDu);
    }
}
