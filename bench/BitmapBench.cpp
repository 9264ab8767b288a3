// Bitmap files of a large picture: reading (plain and RLE), format changes to a palette, and showing.
#include "platform/Bitmap.h"
#include "platform/Streams.h"

#include <QtEndian>
#include <benchmark/benchmark.h>

namespace {

constexpr int Side = 1024;

TBitmap Noise(TPixelFormat format)
{
    TBitmap bitmap(Side, Side, format);
    uint32_t seed = 12345;
    for (int y = 0; y < Side; ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int i = 0; i < bitmap.RowSize(); ++i) {
            seed = seed * 1103515245u + 12345u;
            row[i] = uint8_t(seed >> 16);
        }
    }
    return bitmap;
}

QByteArray FileOf(const TBitmap& bitmap)
{
    TBytesStream stream;
    bitmap.SaveToStream(stream);
    return stream.Bytes();
}

void Load(const QByteArray& bytes)
{
    TBytesStream stream(bytes);
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    benchmark::DoNotOptimize(bitmap.Width());
}

void BM_LoadBitmap24(benchmark::State& state)
{
    const QByteArray bytes = FileOf(Noise(pf24bit));
    for (auto _ : state) Load(bytes);
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_LoadBitmap24);

// Runs of 4 pixels with an end of line per row: about 64 KiB of RLE data per 256 rows.
void BM_LoadRle8(benchmark::State& state)
{
    QByteArray rle;
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; x += 4) rle.append(char(4)).append(char(x & 0xFF));
        rle.append(2, '\0');
    }
    rle.append('\0').append('\1');
    TBitmap palette(Side, Side, pf8bit);
    QByteArray bytes = FileOf(palette).left(14 + 40 + 1024);
    qToLittleEndian(uint32_t(BI_RLE8), bytes.data() + 30);
    bytes += rle;
    for (auto _ : state) Load(bytes);
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
BENCHMARK(BM_LoadRle8);

// Nearest colours of a noisy picture: the worst case, nearly every pixel a new colour.
void BM_ConvertTo8Bit(benchmark::State& state)
{
    const TBitmap source = Noise(pf24bit);
    for (auto _ : state) {
        TBitmap bitmap = source;
        bitmap.SetPixelFormat(pf8bit);
        benchmark::DoNotOptimize(bitmap.ScanLine(0));
    }
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
BENCHMARK(BM_ConvertTo8Bit)->Unit(benchmark::kMillisecond);

void BM_ToQImage32(benchmark::State& state)
{
    TBitmap bitmap = Noise(pf32bit);
    bitmap.SetAlphaFormat(afDefined);
    for (auto _ : state) benchmark::DoNotOptimize(bitmap.ToQImage().constBits());
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
BENCHMARK(BM_ToQImage32);

} // namespace
