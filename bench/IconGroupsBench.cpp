// Icon groups: loading a RES file of many groups with two images each binds every group's images;
// binding must grow linearly with the number of groups.
#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemIconCursor.h"
#include "kinds/koResourceItemImage.h"
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
        koResourceItemImage_Initialize();
        koIconEncoder_Initialize();
        koResourceItemIconCursor_Initialize();
        koResourceModuleRes_Initialize();
    }
};
const TKinds Kinds;

void Record(TMemoryStream& s, uint16_t type, uint16_t name, const QByteArray& data)
{
    s.WriteDWord(uint32_t(data.size()));
    s.WriteDWord(32);
    s.WriteWord(0xFFFF);
    s.WriteWord(type);
    s.WriteWord(0xFFFF);
    s.WriteWord(name);
    s.WriteDWord(0);
    s.WriteWord(0x1030);
    s.WriteWord(0x0409);
    s.WriteDWord(0);
    s.WriteDWord(0);
    s.WriteBytes(data);
    while (s.Size() % 4) s.WriteByte(0);
}

// A 16 x 16 4-bit icon image.
QByteArray Image()
{
    TMemoryStream s;
    s.WriteDWord(40);
    s.WriteDWord(16);
    s.WriteDWord(32);
    s.WriteWord(1);
    s.WriteWord(4);
    s.WriteBytes(QByteArray(24, '\0'));
    s.WriteBytes(QByteArray(16 * 4 + 16 * 8 + 16 * 4, '\x11'));
    return s.ToByteArray();
}

// Count groups naming two images each.
QByteArray GroupsRes(int count)
{
    const QByteArray image = Image();
    TMemoryStream s;
    s.WriteBytes(QByteArray::fromHex("0000000020000000ffff0000ffff0000") + QByteArray(16, '\0'));
    for (int i = 0; i < 2 * count; ++i) Record(s, RT_ICON, uint16_t(i + 1), image);
    for (int g = 0; g < count; ++g) {
        TMemoryStream group;
        group.WriteWord(0);
        group.WriteWord(1);
        group.WriteWord(2);
        for (int k = 0; k < 2; ++k) {
            group.WriteBytes(QByteArray::fromHex("10101000010004"));
            group.WriteByte(0);
            group.WriteDWord(uint32_t(image.size()));
            group.WriteWord(uint16_t(2 * g + k + 1));
        }
        Record(s, RT_GROUP_ICON, uint16_t(g + 1), group.ToByteArray());
    }
    return s.ToByteArray();
}

void BM_LoadIconGroups(benchmark::State& state)
{
    const QByteArray res = GroupsRes(int(state.range(0)));
    for (auto _ : state) {
        TBytesStream stream(res);
        auto module = TResourceModuleReaderRes().LoadFromStream(stream);
        module->AfterLoad();
        benchmark::DoNotOptimize(module.get());
    }
    state.SetComplexityN(state.range(0));
    state.counters["groups/s"] = benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoadIconGroups)->RangeMultiplier(4)->Range(256, 16384)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace
