// Scrolling and painting the hex dump over tens of megabytes: the cost must follow the visible rows,
// not the size of the data.
#include "views/HexDump.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {
QApplication& App()
{
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QApplication> app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QApplication>(argc, argv);
    }();
    return *app;
}

// Jumps to positions spread over the whole block and renders the control after each jump.
void BM_HexDumpJumpAndPaint(benchmark::State& state)
{
    App();
    std::vector<uint8_t> data(size_t(state.range(0)) << 20);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 131);
    QWidget parent;
    THexDump* dump = CreateHexDump(&parent);
    parent.resize(800, 600);
    dump->resize(800, 600);
    dump->SetAddress(data.data());
    dump->SetDataSize(int32_t(data.size()));
    QImage canvas(dump->size(), QImage::Format_ARGB32);
    QScrollBar* bar = dump->verticalScrollBar();
    int step = 0;
    for (auto _ : state) {
        bar->setValue(int((int64_t(bar->maximum()) * (step++ % 97)) / 97));
        dump->render(&canvas);
        benchmark::DoNotOptimize(canvas.bits());
    }
    state.counters["lines"] = bar->maximum() + 1;
}
BENCHMARK(BM_HexDumpJumpAndPaint)->Arg(1)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

// Scrolling line by line, as the arrow keys and the wheel do.
void BM_HexDumpScrollByLine(benchmark::State& state)
{
    App();
    std::vector<uint8_t> data(64u << 20, 0x41);
    QWidget parent;
    THexDump* dump = CreateHexDump(&parent);
    dump->resize(800, 600);
    dump->SetAddress(data.data());
    dump->SetDataSize(int32_t(data.size()));
    QImage canvas(dump->size(), QImage::Format_ARGB32);
    QScrollBar* bar = dump->verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->value() + 1);
        dump->render(&canvas);
        benchmark::DoNotOptimize(canvas.bits());
    }
}
BENCHMARK(BM_HexDumpScrollByLine)->Unit(benchmark::kMillisecond);
} // namespace
