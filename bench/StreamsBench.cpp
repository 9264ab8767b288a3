// Field-by-field traffic on memory streams: how resources are parsed and written.
#include "platform/Streams.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int64_t WordCount = 512 * 1024; // 1 MiB of words

void BM_MemoryStreamWriteWords(benchmark::State& state)
{
    for (auto _ : state) {
        TMemoryStream stream;
        for (int64_t i = 0; i < WordCount; ++i) stream.WriteWord(static_cast<uint16_t>(i));
        benchmark::DoNotOptimize(stream.Memory());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * WordCount * 2);
}
BENCHMARK(BM_MemoryStreamWriteWords);

void BM_MemoryStreamReadWords(benchmark::State& state)
{
    TMemoryStream stream;
    for (int64_t i = 0; i < WordCount; ++i) stream.WriteWord(static_cast<uint16_t>(i));
    for (auto _ : state) {
        stream.SetPosition(0);
        uint32_t sum = 0;
        for (int64_t i = 0; i < WordCount; ++i) sum += stream.ReadWord();
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * WordCount * 2);
}
BENCHMARK(BM_MemoryStreamReadWords);

// Writing into a stream whose size is already known skips the growth steps.
void BM_MemoryStreamWriteWordsPresized(benchmark::State& state)
{
    for (auto _ : state) {
        TMemoryStream stream;
        stream.SetSize(WordCount * 2);
        stream.SetPosition(0);
        for (int64_t i = 0; i < WordCount; ++i) stream.WriteWord(static_cast<uint16_t>(i));
        benchmark::DoNotOptimize(stream.Memory());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * WordCount * 2);
}
BENCHMARK(BM_MemoryStreamWriteWordsPresized);

} // namespace
