// Images the loader must refuse before it maps anything (the mapped cases are in MemoryModuleInteropTest).
#include "model/MemoryModule.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {
class TRefusingResolver : public TMemoryModuleResolver {
public:
    int Calls = 0;
    void* LoadLibrary(const QString&) override { return ++Calls, nullptr; }
    void* GetProcAddress(void*, const QByteArray&) override { return ++Calls, nullptr; }
    void* GetProcAddress(void*, uint16_t) override { return ++Calls, nullptr; }
    void FreeLibrary(void*) override { ++Calls; }
};
} // namespace

TEST(MemoryModule, HopelessImagesAreRefusedWithReason)
{
    QByteArray dosOnly(64, '\0');
    dosOnly[0] = 'M';
    dosOnly[1] = 'Z';
    QByteArray peBeyond = dosOnly;
    peBeyond[0x3C] = char(0x40);
    const struct {
        const char* Case;
        QByteArray Image;
    } cases[] = {{"empty", QByteArray()},
                 {"text", QByteArray("not a module at all, just some text that is long enough")},
                 {"DOS header only", dosOnly},
                 {"PE header beyond the end", peBeyond}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        TRefusingResolver resolver;
        QString error;
        EXPECT_EQ(MemoryLoadLibrary(c.Image.constData(), size_t(c.Image.size()), resolver, &error), nullptr);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(resolver.Calls, 0);
        EXPECT_THROW(MemoryCheckImage(c.Image.constData(), size_t(c.Image.size()), resolver), EMemoryModuleError);
    }
    TRefusingResolver resolver;
    EXPECT_EQ(MemoryLoadLibrary(nullptr, 0, resolver), nullptr);
    EXPECT_EQ(MemoryGetProcAddress(nullptr, "Name"), nullptr);
}
