#include "MemoryModules.h"

#include <sys/mman.h>
#include <unistd.h>

TVirtualMemory::~TVirtualMemory()
{
    Release();
}

bool TVirtualMemory::Reserve(size_t size, uintptr_t preferred, bool low)
{
    Release();
    if (size == 0) return false;
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;
    void* p = MAP_FAILED;
    if (preferred != 0 && preferred % PageSize() == 0) {
        p = mmap(reinterpret_cast<void*>(preferred), size, PROT_NONE, flags | MAP_FIXED_NOREPLACE, -1, 0);
        // Kernels before 4.17 take the flag as a hint and may map elsewhere.
        if (p != MAP_FAILED && p != reinterpret_cast<void*>(preferred)) {
            munmap(p, size);
            p = MAP_FAILED;
        }
    }
    if (p == MAP_FAILED) {
#ifdef MAP_32BIT
        p = mmap(nullptr, size, PROT_NONE, flags | (low ? MAP_32BIT : 0), -1, 0);
#else
        if (!low) p = mmap(nullptr, size, PROT_NONE, flags, -1, 0);
#endif
    }
    if (p == MAP_FAILED) return false;
    FBase = static_cast<char*>(p);
    FSize = size;
    return true;
}

void TVirtualMemory::Release()
{
    if (FBase) munmap(FBase, FSize);
    FBase = nullptr;
    FSize = 0;
}

static int ProtectionOf(unsigned access)
{
    int protection = PROT_NONE;
    if (access & paRead) protection |= PROT_READ;
    if (access & paWrite) protection |= PROT_WRITE;
    if (access & paExecute) protection |= PROT_EXEC;
    return protection;
}

bool TVirtualMemory::Protect(size_t offset, size_t count, unsigned access)
{
    if (!FBase || !Contains(offset, count) || offset % PageSize() != 0) return false;
    if (count == 0) return true;
    return mprotect(FBase + offset, count, ProtectionOf(access)) == 0;
}

bool TVirtualMemory::Decommit(size_t offset, size_t count)
{
    if (!FBase || !Contains(offset, count) || offset % PageSize() != 0) return false;
    if (count == 0) return true;
    if (madvise(FBase + offset, count, MADV_DONTNEED) != 0) return false;
    return mprotect(FBase + offset, count, PROT_NONE) == 0;
}

size_t TVirtualMemory::PageSize()
{
    static const size_t size = size_t(sysconf(_SC_PAGESIZE));
    return size;
}

bool CanRunMachine(uint16_t machine)
{
#if defined(__x86_64__)
    return machine == 0x8664;
#else
    (void)machine;
    return false;
#endif
}

int32_t CallModuleEntryPoint(const void* entry, void* module, uint32_t reason, void* reserved)
{
#if defined(__x86_64__)
    using TEntryPoint = int32_t(__attribute__((ms_abi)) *)(void*, uint32_t, void*);
    return reinterpret_cast<TEntryPoint>(const_cast<void*>(entry))(module, reason, reserved);
#else
    (void)entry, (void)module, (void)reason, (void)reserved;
    return 0;
#endif
}
