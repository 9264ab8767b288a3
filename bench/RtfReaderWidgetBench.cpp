// Reading rich text into a document: the cost must follow the size of the text, also for many format
// runs in one paragraph, many paragraphs and deep groups.
#include "views/RtfReader.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <benchmark/benchmark.h>
#include <memory>

namespace {
QGuiApplication& App()
{
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QGuiApplication> app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QGuiApplication>(argc, argv);
    }();
    return *app;
}

QByteArray Repeated(const QByteArray& Head, const QByteArray& Unit, int64_t Count, const QByteArray& Tail = "}")
{
    QByteArray rtf = Head;
    for (int64_t i = 0; i < Count; ++i) rtf += Unit;
    return rtf + Tail;
}

void Read(benchmark::State& state, const QByteArray& Rtf)
{
    App();
    for (auto _ : state) {
        QTextDocument document;
        ReadRtf(Rtf, document);
        benchmark::DoNotOptimize(document.characterCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * Rtf.size());
}

void BM_RtfRunsInOneParagraph(benchmark::State& state)
{
    Read(state, Repeated("{\\rtf1 ", "\\b a\\b0 b", state.range(0)));
}

void BM_RtfParagraphs(benchmark::State& state) { Read(state, Repeated("{\\rtf1 ", "text\\par ", state.range(0))); }

void BM_RtfNestedGroups(benchmark::State& state)
{
    Read(state, Repeated("{\\rtf1 ", "{a", state.range(0), QByteArray(int(state.range(0)), '}') + "}"));
}
} // namespace

BENCHMARK(BM_RtfRunsInOneParagraph)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RtfParagraphs)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RtfNestedGroups)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
