// The in-memory loader's checks: lay the image out, relocate it, resolve its imports and look up its
// exports in memory that is never executable; nothing runs. Every library handed out must be freed.
#include "FuzzCommon.h"

#include "model/MemoryModule.h"

namespace {

// Every library is present and every import resolves to an address that is never called.
class TFuzzResolver : public TMemoryModuleResolver {
public:
    int Loaded = 0;
    int Freed = 0;
    void* LoadLibrary(const QString&) override
    {
        ++Loaded;
        return this;
    }
    void* GetProcAddress(void*, const QByteArray&) override { return reinterpret_cast<void*>(0x1000); }
    void* GetProcAddress(void*, uint16_t Ordinal) override { return Ordinal ? reinterpret_cast<void*>(0x2000) : nullptr; }
    void FreeLibrary(void*) override { ++Freed; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = FuzzBytes(data, size);
    TFuzzResolver resolver;
    FuzzRun([&] { MemoryCheckImage(bytes.constData(), size_t(bytes.size()), resolver); });
    if (resolver.Loaded != resolver.Freed)
        FuzzFinding(QStringLiteral("%1 libraries loaded, %2 freed").arg(resolver.Loaded).arg(resolver.Freed));
    return 0;
}
