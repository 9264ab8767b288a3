// The in-memory loader on DLLs that mingw builds here: a 64-bit one that imports from a "host.dll" the
// test supplies (two functions by name, one by ordinal) and exports code and relocated pointers, and a
// 32-bit one that can be mapped but not run (sources in tests/fixtures/memmodule/).
#include "model/MemoryModule.h"
#include "platform/PEImage.h"
#include "platform/PeerTools.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/mman.h>

#if defined(__x86_64__)
#define HOST_ABI __attribute__((ms_abi))
#else
#define HOST_ABI
#endif

namespace {

// What the fixture's imports did.
struct THostLog {
    QList<QPair<int, int>> Added;
    QList<unsigned> Notified;
};
THostLog HostLog;

extern "C" {
HOST_ABI int HostAdd(int a, int b)
{
    HostLog.Added.append({a, b});
    return a + b;
}
HOST_ABI void HostNotify(unsigned reason) { HostLog.Notified.append(reason); }
HOST_ABI int HostOrdinal() { return 7; }
}

// Supplies host.dll; what it lacks is set per test. Counts the libraries handed out and freed.
class THostResolver : public TMemoryModuleResolver {
public:
    bool HasLibrary = true;
    QSet<QByteArray> MissingNames;
    bool HasOrdinal = true;
    QList<void*> Loaded;
    QList<void*> Freed;

    void* LoadLibrary(const QString& Name) override
    {
        if (!HasLibrary || Name.compare(QStringLiteral("host.dll"), Qt::CaseInsensitive) != 0) return nullptr;
        Loaded.append(&FHandle);
        return &FHandle;
    }
    void* GetProcAddress(void* Library, const QByteArray& Name) override
    {
        if (Library != &FHandle || MissingNames.contains(Name)) return nullptr;
        if (Name == "HostAdd") return reinterpret_cast<void*>(&HostAdd);
        if (Name == "HostNotify") return reinterpret_cast<void*>(&HostNotify);
        return nullptr;
    }
    void* GetProcAddress(void* Library, uint16_t Ordinal) override
    {
        return Library == &FHandle && HasOrdinal && Ordinal == 7 ? reinterpret_cast<void*>(&HostOrdinal) : nullptr;
    }
    void FreeLibrary(void* Library) override { Freed.append(Library); }

private:
    int FHandle = 0;
};

// The lines of /proc/self/maps but the heap's, whose end moves with every allocation.
QStringList ProcessMappings()
{
    QFile file(QStringLiteral("/proc/self/maps"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList result;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty() && !line.endsWith("[heap]")) result.append(QString::fromLatin1(line));
    return result;
}

// "rwx" letters ('-' for none) of the mapping that holds p; empty when p is not mapped.
QString AccessAt(const void* p)
{
    const auto address = reinterpret_cast<uintptr_t>(p);
    for (const QString& line : ProcessMappings()) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QStringList range = fields.value(0).split(QLatin1Char('-'));
        if (range.size() != 2) continue;
        if (address >= range[0].toULongLong(nullptr, 16) && address < range[1].toULongLong(nullptr, 16))
            return fields.value(1).left(3);
    }
    return {};
}

// Holds the given address range so that a module preferring it must go elsewhere.
class TBlockedRange {
public:
    TBlockedRange(uint64_t address, size_t size) : FSize(size)
    {
        FBase = mmap(reinterpret_cast<void*>(address), size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE,
                     -1, 0);
    }
    ~TBlockedRange()
    {
        if (FBase != MAP_FAILED) munmap(FBase, FSize);
    }
    bool Held(uint64_t address) const { return FBase == reinterpret_cast<void*>(address); }

private:
    void* FBase;
    size_t FSize;
};

struct TFixtures {
    QString Skip;           // why the fixtures are not there
    QByteArray Module;      // 64-bit, DllMain returns TRUE
    QByteArray Refusing;    // 64-bit, DllMain returns FALSE
    QByteArray Module32;    // 32-bit
    QList<uint32_t> Dir64;  // RVAs of Module's DIR64 relocations, as objdump reads them
};

TFixtures BuildFixtures()
{
    TFixtures f;
    const QString gcc = FindPeerTool(QStringLiteral("x86_64-w64-mingw32-gcc"));
    const QString gcc32 = FindPeerTool(QStringLiteral("i686-w64-mingw32-gcc"));
    const QString dlltool = FindPeerTool(QStringLiteral("x86_64-w64-mingw32-dlltool"));
    const QString objdump = FindPeerTool(QStringLiteral("x86_64-w64-mingw32-objdump"));
    if (gcc.isEmpty() || gcc32.isEmpty() || dlltool.isEmpty() || objdump.isEmpty()) {
        f.Skip = QStringLiteral("the mingw-w64 tools are not installed");
        return f;
    }
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
    const auto source = [](const char* name) -> QString {
        return QStringLiteral(ATELIER_SOURCE_DIR "/tests/fixtures/memmodule/") + QLatin1String(name);
    };
    const auto read = [&](const char* name) {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QStringList common{QStringLiteral("-shared"), QStringLiteral("-nostdlib"), QStringLiteral("-O1"),
                             QStringLiteral("-fno-stack-protector")};
    QList<TPeerToolResult> runs;
    runs << RunPeerTool(dlltool, {QStringLiteral("-d"), source("host.def"), QStringLiteral("-l"), path("libhost.a")});
    for (const char* result : {"1", "0"})
        runs << RunPeerTool(gcc, QStringList(common)
                                     << QStringLiteral("-mno-stack-arg-probe") << QStringLiteral("-DATTACH_RESULT=") + QLatin1String(result)
                                     << QStringLiteral("-Wl,--entry=DllMain") << QStringLiteral("-Wl,--image-base=0x340000000")
                                     << QStringLiteral("-o") << path(*result == '1' ? "fixture.dll" : "refusing.dll")
                                     << source("module.c") << path("libhost.a"));
    runs << RunPeerTool(gcc32, QStringList(common) << QStringLiteral("-Wl,--entry=_DllMain@12") << QStringLiteral("-o")
                                                   << path("fixture32.dll") << source("module32.c"));
    const TPeerToolResult dump = RunPeerTool(objdump, {QStringLiteral("-p"), path("fixture.dll")});
    runs << dump;
    for (const TPeerToolResult& run : runs)
        if (!run.Ok()) {
            f.Skip = QStringLiteral("building the fixtures failed: ") + run.Describe();
            return f;
        }
    f.Module = read("fixture.dll");
    f.Refusing = read("refusing.dll");
    f.Module32 = read("fixture32.dll");
    static const QRegularExpression reloc(QStringLiteral(R"(reloc\s+\d+\s+offset\s+[0-9a-f]+\s+\[([0-9a-f]+)\]\s+DIR64)"));
    for (auto it = reloc.globalMatch(QString::fromLatin1(dump.Out)); it.hasNext();)
        f.Dir64.append(it.next().captured(1).toUInt(nullptr, 16));
    return f;
}

const TFixtures& Fixtures()
{
    static const TFixtures fixtures = BuildFixtures();
    return fixtures;
}

#define REQUIRE_FIXTURES()                                                                                    \
    const TFixtures& F = Fixtures();                                                                           \
    if (!F.Skip.isEmpty()) GTEST_SKIP() << F.Skip.toStdString()

uint64_t ImageBaseOf(const QByteArray& image)
{
    const TPEImage pe(image);
    const char* field = image.constData() + pe.OptionalHeaderOffset() + (pe.Is64() ? 24 : 28);
    return pe.Is64() ? qFromLittleEndian<uint64_t>(field) : qFromLittleEndian<uint32_t>(field);
}

// Bytes patched into a copy of the image, at an offset relative to a header.
QByteArray Patched(QByteArray image, int64_t offset, uint64_t value, int width)
{
    if (width == 8)
        qToLittleEndian<uint64_t>(value, image.data() + offset);
    else if (width == 4)
        qToLittleEndian<uint32_t>(uint32_t(value), image.data() + offset);
    else
        qToLittleEndian<uint16_t>(uint16_t(value), image.data() + offset);
    return image;
}

int64_t SectionHeaderOffset(const QByteArray& image, const char* name)
{
    const TPEImage pe(image);
    for (int i = 0; i < pe.Sections().size(); ++i)
        if (pe.Sections()[i].Name.startsWith(name)) return pe.SectionTableOffset() + 40 * i;
    return -1;
}

const TPESection* SectionNamed(const TPEImage& pe, const char* name)
{
    for (const TPESection& s : pe.Sections())
        if (s.Name.startsWith(name)) return &s;
    return nullptr;
}

class MemoryModuleInterop : public ::testing::Test {
protected:
    void SetUp() override { HostLog = {}; }
};

} // namespace

#if defined(__x86_64__)

TEST_F(MemoryModuleInterop, LoadsAtPreferredBaseRunsEntryPointImportsAndExports)
{
    REQUIRE_FIXTURES();
    const QStringList before = ProcessMappings();
    THostResolver resolver;
    QString error;
    PMemoryModule module = MemoryLoadLibrary(F.Module.constData(), size_t(F.Module.size()), resolver, &error);
    ASSERT_NE(module, nullptr) << error.toStdString();
    EXPECT_EQ(reinterpret_cast<uint64_t>(module->CodeBase), ImageBaseOf(F.Module));
    EXPECT_TRUE(module->Initialized);
    EXPECT_EQ(HostLog.Notified, QList<unsigned>{DLL_PROCESS_ATTACH});
    EXPECT_EQ(resolver.Loaded.size(), 1);
    // The mapped headers name the base they were mapped at.
    EXPECT_EQ(ImageBaseOf(QByteArray::fromRawData(module->CodeBase, 0x400)), reinterpret_cast<uint64_t>(module->CodeBase));

    // At its own base nothing is relocated: the pointers hold what the file holds.
    auto* global = static_cast<int*>(MemoryGetProcAddress(module, "Global"));
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(*global, 42);
    EXPECT_EQ(*static_cast<int**>(MemoryGetProcAddress(module, "GlobalPointer")), global);
    EXPECT_STREQ(*static_cast<const char**>(MemoryGetProcAddress(module, "TextPointer")), "fixture");

    using TCallHost = int(HOST_ABI*)(int, int);
    auto callHost = reinterpret_cast<TCallHost>(MemoryGetProcAddress(module, "CallHost"));
    ASSERT_NE(callHost, nullptr);
    EXPECT_EQ(callHost(2, 3), 507); // HostAdd by name, HostOrdinal by ordinal
    EXPECT_EQ(HostLog.Added, (QList<QPair<int, int>>{{2, 3}}));

    // Exact names only.
    for (const char* name : {"Missing", "callhost", "CallHos", "CallHostX", ""})
        EXPECT_EQ(MemoryGetProcAddress(module, name), nullptr) << name;

    MemoryFreeLibrary(module);
    EXPECT_EQ(HostLog.Notified, (QList<unsigned>{DLL_PROCESS_ATTACH, DLL_PROCESS_DETACH}));
    EXPECT_EQ(resolver.Freed, resolver.Loaded);
    EXPECT_EQ(ProcessMappings(), before);
    MemoryFreeLibrary(nullptr);
}

TEST_F(MemoryModuleInterop, ElsewhereOnlyRelocatedPointersShift)
{
    REQUIRE_FIXTURES();
    ASSERT_FALSE(F.Dir64.isEmpty());
    const TPEImage pe(F.Module);
    const uint64_t preferred = ImageBaseOf(F.Module);

    // The readable bytes of every section of a loaded module.
    const auto snapshot = [&](PMemoryModule module) {
        QList<QByteArray> sections;
        for (const TPESection& s : pe.Sections()) {
            const char* at = module->CodeBase + s.VirtualAddress;
            sections.append(AccessAt(at).startsWith(QLatin1Char('r')) ? QByteArray(at, s.VirtualSize) : QByteArray());
        }
        return sections;
    };
    THostResolver resolver;
    PMemoryModule home = MemoryLoadLibrary(F.Module.constData(), size_t(F.Module.size()), resolver);
    ASSERT_NE(home, nullptr);
    ASSERT_EQ(reinterpret_cast<uint64_t>(home->CodeBase), preferred);
    const QList<QByteArray> atHome = snapshot(home);
    MemoryFreeLibrary(home);

    const TBlockedRange blocked(preferred, pe.SizeOfImage());
    ASSERT_TRUE(blocked.Held(preferred));
    PMemoryModule moved = MemoryLoadLibrary(F.Module.constData(), size_t(F.Module.size()), resolver);
    ASSERT_NE(moved, nullptr);
    const uint64_t delta = reinterpret_cast<uint64_t>(moved->CodeBase) - preferred;
    ASSERT_NE(delta, 0u);
    const QList<QByteArray> elsewhere = snapshot(moved);

    int compared = 0;
    for (int i = 0; i < pe.Sections().size(); ++i) {
        const TPESection& s = pe.Sections()[i];
        const QByteArray& a = atHome[i];
        const QByteArray& b = elsewhere[i];
        ASSERT_EQ(a.size(), b.size()) << s.Name.constData();
        for (qsizetype at = 0; at < a.size(); ++at) {
            const uint32_t rva = s.VirtualAddress + uint32_t(at);
            if (F.Dir64.contains(rva)) {
                EXPECT_EQ(qFromLittleEndian<uint64_t>(b.constData() + at) - qFromLittleEndian<uint64_t>(a.constData() + at),
                          delta)
                    << "relocation at RVA " << std::hex << rva;
                ++compared;
                at += 7;
                continue;
            }
            EXPECT_EQ(a[at], b[at]) << "RVA " << std::hex << rva;
        }
    }
    EXPECT_EQ(compared, F.Dir64.size()); // every relocation lies in a readable section
    // The moved module still runs: its code reaches its own data and the host.
    auto* global = static_cast<int*>(MemoryGetProcAddress(moved, "Global"));
    using TAddressOf = int*(HOST_ABI*)();
    EXPECT_EQ(reinterpret_cast<TAddressOf>(MemoryGetProcAddress(moved, "AddressOfGlobal"))(), global);
    EXPECT_EQ(*static_cast<int**>(MemoryGetProcAddress(moved, "GlobalPointer")), global);
    using TCallHost = int(HOST_ABI*)(int, int);
    EXPECT_EQ(reinterpret_cast<TCallHost>(MemoryGetProcAddress(moved, "CallHost"))(40, 2), 4207);
    MemoryFreeLibrary(moved);
}

TEST_F(MemoryModuleInterop, SectionsGetProtectionsDiscardableOnesAreDecommitted)
{
    REQUIRE_FIXTURES();
    // .xdata made discardable: the sections after it must still be protected.
    const int64_t xdata = SectionHeaderOffset(F.Module, ".xdata");
    ASSERT_GE(xdata, 0);
    const TPEImage original(F.Module);
    const uint32_t characteristics = SectionNamed(original, ".xdata")->Characteristics;
    const QByteArray image = Patched(F.Module, xdata + 36, characteristics | 0x02000000, 4);
    THostResolver resolver;
    PMemoryModule module = MemoryLoadLibrary(image.constData(), size_t(image.size()), resolver);
    ASSERT_NE(module, nullptr);
    const TPEImage pe(image);
    const struct {
        const char* Section;
        const char* Access;
    } expected[] = {{".text", "r-x"}, {".data", "rw-"}, {".rdata", "r--"}, {".pdata", "r--"},
                    {".xdata", "---"}, {".edata", "r--"}, {".idata", "rw-"}};
    for (const auto& e : expected) {
        const TPESection* s = SectionNamed(pe, e.Section);
        ASSERT_NE(s, nullptr) << e.Section;
        EXPECT_EQ(AccessAt(module->CodeBase + s->VirtualAddress), QLatin1String(e.Access)) << e.Section;
    }
    // Exports in the sections after the discarded one are still found.
    EXPECT_NE(MemoryGetProcAddress(module, "CallHost"), nullptr);
    MemoryFreeLibrary(module);

    // With the export directory itself discarded, lookups find nothing instead of touching its pages.
    const int64_t edata = SectionHeaderOffset(F.Module, ".edata");
    const QByteArray noExports =
        Patched(F.Module, edata + 36, SectionNamed(original, ".edata")->Characteristics | 0x02000000, 4);
    module = MemoryLoadLibrary(noExports.constData(), size_t(noExports.size()), resolver);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(AccessAt(module->CodeBase + SectionNamed(original, ".edata")->VirtualAddress), QLatin1String("---"));
    EXPECT_EQ(MemoryGetProcAddress(module, "CallHost"), nullptr);
    MemoryFreeLibrary(module);
}

TEST_F(MemoryModuleInterop, WithoutEntryPointLoadsUninitializedAndReleasesFully)
{
    REQUIRE_FIXTURES();
    const TPEImage pe(F.Module);
    const QByteArray image = Patched(F.Module, pe.OptionalHeaderOffset() + 16, 0, 4);
    const QStringList before = ProcessMappings();
    THostResolver resolver;
    PMemoryModule module = MemoryLoadLibrary(image.constData(), size_t(image.size()), resolver);
    ASSERT_NE(module, nullptr);
    EXPECT_FALSE(module->Initialized);
    MemoryFreeLibrary(module);
    EXPECT_TRUE(HostLog.Notified.isEmpty());
    EXPECT_EQ(resolver.Freed, resolver.Loaded);
    EXPECT_EQ(ProcessMappings(), before);
}

TEST_F(MemoryModuleInterop, ImagesOf32BitsMapAsDataButNeverRun)
{
    REQUIRE_FIXTURES();
    const TPEImage pe(F.Module32);
    ASSERT_FALSE(pe.Is64());
    THostResolver resolver;
    QString error;
    const QStringList before = ProcessMappings();
    EXPECT_EQ(MemoryLoadLibrary(F.Module32.constData(), size_t(F.Module32.size()), resolver, &error), nullptr);
    EXPECT_TRUE(error.contains(QLatin1String("0x14C"))) << error.toStdString();
    EXPECT_EQ(ProcessMappings(), before);

    // Without an entry point nothing has to run: the image maps, relocated (HIGHLOW) when moved.
    const QByteArray data = Patched(F.Module32, pe.OptionalHeaderOffset() + 16, 0, 4);
    const uint64_t preferred = ImageBaseOf(data);
    for (bool block : {false, true}) {
        SCOPED_TRACE(block ? "moved" : "at home");
        std::optional<TBlockedRange> blocked;
        if (block) blocked.emplace(preferred, pe.SizeOfImage());
        PMemoryModule module = MemoryLoadLibrary(data.constData(), size_t(data.size()), resolver, &error);
        ASSERT_NE(module, nullptr) << error.toStdString();
        const auto base = reinterpret_cast<uint64_t>(module->CodeBase);
        EXPECT_EQ(base == preferred, !block);
        EXPECT_LE(base + pe.SizeOfImage(), uint64_t(UINT32_MAX));
        const auto global = reinterpret_cast<uint64_t>(MemoryGetProcAddress(module, "Global"));
        ASSERT_NE(global, 0u);
        EXPECT_EQ(qFromLittleEndian<uint32_t>(MemoryGetProcAddress(module, "GlobalPointer")), global);
        MemoryFreeLibrary(module);
    }
}

TEST_F(MemoryModuleInterop, FailuresReturnNothingAndLeaveNothingMapped)
{
    REQUIRE_FIXTURES();
    const TPEImage pe(F.Module);
    const int64_t text = SectionHeaderOffset(F.Module, ".text");
    const TPESection* reloc = SectionNamed(pe, ".reloc");
    const TPESection* idata = SectionNamed(pe, ".idata");
    ASSERT_TRUE(reloc && idata && text >= 0);
    const int64_t relocData = reloc->PointerToRawData;
    // The first import descriptor's Name field, as a file offset.
    const int64_t importName = pe.RvaToOffset(pe.DataDirectory(TPEImage::ddImport).VirtualAddress, 20) + 12;

    const struct {
        const char* Case;
        QByteArray Image;
        std::function<void(THostResolver&)> Resolver;
        bool Moved;           // the preferred base is taken
        const char* Message;  // part of the reason given
    } cases[] = {
        {"entry point refuses", F.Refusing, {}, false, "refused"},
        {"library not present", F.Module, [](THostResolver& r) { r.HasLibrary = false; }, false, "host.dll"},
        {"import by name missing", F.Module, [](THostResolver& r) { r.MissingNames = {"HostNotify"}; }, false,
         "HostNotify"},
        {"import by ordinal missing", F.Module, [](THostResolver& r) { r.HasOrdinal = false; }, false, "ordinal 7"},
        {"cut inside the headers", F.Module.left(0x100), {}, false, "optional header"},
        {"cut inside a section", F.Module.left(relocData + 4), {}, false, "runs past the end of the file"},
        {"headers larger than the file", Patched(F.Module, pe.OptionalHeaderOffset() + 60, 0x100000, 4), {}, false,
         "SizeOfHeaders"},
        {"section beyond the image", Patched(F.Module, text + 12, 0x7FFFF000, 4), {}, false, "outside the image"},
        {"PE header beyond the file", Patched(F.Module, 0x3C, 0x7FFFFFF0, 4), {}, false, "PE header"},
        {"empty relocation block", Patched(F.Module, relocData + 4, 0, 4), {}, true, "relocation block"},
        {"relocation beyond the image", Patched(F.Module, relocData, 0x7FFFF000, 4), {}, true, "outside the image"},
        {"relocations stripped", Patched(F.Module, pe.FileHeaderOffset() + 18, qFromLittleEndian<uint16_t>(F.Module.constData() + pe.FileHeaderOffset() + 18) | 1, 2), {}, true, "stripped"},
        {"import name beyond the image", Patched(F.Module, importName, 0x7FFFFFF0, 4), {}, false, "import library name"},
        {"entry point beyond the image", Patched(F.Module, pe.OptionalHeaderOffset() + 16, 0x7FFFFFF0, 4), {}, false,
         "entry point"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        HostLog = {};
        THostResolver resolver;
        if (c.Resolver) c.Resolver(resolver);
        std::optional<TBlockedRange> blocked;
        if (c.Moved) blocked.emplace(ImageBaseOf(F.Module), pe.SizeOfImage());
        const QStringList before = ProcessMappings();
        QString error;
        EXPECT_EQ(MemoryLoadLibrary(c.Image.constData(), size_t(c.Image.size()), resolver, &error), nullptr);
        EXPECT_TRUE(error.contains(QLatin1String(c.Message))) << error.toStdString();
        EXPECT_EQ(ProcessMappings(), before);
        EXPECT_EQ(resolver.Freed, resolver.Loaded);
        // A module that failed to attach is never told to detach.
        EXPECT_FALSE(HostLog.Notified.contains(DLL_PROCESS_DETACH));
    }
}

#endif
