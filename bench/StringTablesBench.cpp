// String tables: reading their blocks from a RES file, writing them back and importing a text file, for
// tables of a few hundred to tens of thousands of strings. Every one of them must grow linearly.
#include "kinds/koResourceItemString.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Streams.h"

#include <benchmark/benchmark.h>

namespace {

struct TKinds {
    TKinds()
    {
        koResourcesKinds_Initialize();
        koResourceItemString_Initialize();
        koResourceModuleRes_Initialize();
    }
};
const TKinds Kinds;

QString Text(int id) { return QStringLiteral("String number %1 of the table").arg(id); }

// A RES file with the strings 0 to Count - 1 in one language, sixteen to a block.
QByteArray StringsRes(int count)
{
    TMemoryStream s;
    s.WriteBytes(QByteArray::fromHex("0000000020000000ffff0000ffff0000") + QByteArray(16, '\0'));
    for (int block = 0; block * 16 < count; ++block) {
        TMemoryStream data;
        for (int i = 0; i < 16; ++i) {
            const int id = block * 16 + i;
            const QString text = id < count ? Text(id) : QString();
            data.WriteWord(static_cast<uint16_t>(text.size()));
            WriteWideString(data, text, false);
        }
        s.WriteDWord(static_cast<uint32_t>(data.Size()));
        s.WriteDWord(32);
        s.WriteDWord(0x0006FFFF);
        s.WriteWord(0xFFFF);
        s.WriteWord(static_cast<uint16_t>(block + 1));
        s.WriteDWord(0);
        s.WriteWord(0x1030);
        s.WriteWord(0x0409);
        s.WriteDWord(0);
        s.WriteDWord(0);
        s.CopyFrom(data, 0);
        while (s.Size() % 4) s.WriteByte(0);
    }
    return s.ToByteArray();
}

std::unique_ptr<TCustomResourceModule> Load(const QByteArray& res)
{
    TBytesStream stream(res);
    auto module = TResourceModuleReaderRes().LoadFromStream(stream);
    module->AfterLoad();
    return module;
}

void BM_LoadStrings(benchmark::State& state)
{
    const QByteArray res = StringsRes(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto module = Load(res);
        benchmark::DoNotOptimize(module.get());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["bytes"] = static_cast<double>(res.size());
}
// 6,400 and 32,000 strings are 400 and 2,000 full blocks; 65,536 fill every block a table can have.
BENCHMARK(BM_LoadStrings)->Arg(400)->Arg(2000)->Arg(6400)->Arg(16000)->Arg(32000)->Arg(65536)->Unit(benchmark::kMillisecond);

void BM_SaveStrings(benchmark::State& state)
{
    auto module = Load(StringsRes(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        TMemoryStream out;
        module->BeforeSave();
        TResourceModuleWriterRes().SaveToStream(module.get(), out, {}, {});
        module->AfterSave();
        benchmark::DoNotOptimize(out.Memory());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveStrings)->Arg(400)->Arg(2000)->Arg(16000)->Arg(65536)->Unit(benchmark::kMillisecond);

void BM_ImportTextLines(benchmark::State& state)
{
    QByteArray text;
    for (int i = 0; i < state.range(0); ++i) text += Text(i).toUtf8() + "\r\n";
    TResourceModule module;
    module.SetDeferDefaultSymbols(true);
    auto* table = new TStringListResourceItem();
    module.Items()->Add(table);
    table->SetNameInteger(1);
    for (auto _ : state) {
        TBytesStream stream(text);
        table->LoadFromFileStream(stream);
        benchmark::DoNotOptimize(table->Strings()->Count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ImportTextLines)->Arg(400)->Arg(2000)->Arg(16000)->Arg(65536)->Unit(benchmark::kMillisecond);

} // namespace
