// Memory and module services for mapping code images into this process: a reservation of address space
// whose pages are committed, protected and released piece by piece (mmap, mprotect, madvise), and calls into
// x86-64 code that follows the Microsoft calling convention.
#pragma once

#include <cstddef>
#include <cstdint>

// Page access, as a set of flags. Write-copy access is plain write access here: every mapping is private.
enum TPageAccess : unsigned {
    paNone = 0,
    paRead = 1,
    paWrite = 2,
    paExecute = 4,
};

// Address space reserved with no access. The reservation is released when the object dies.
class TVirtualMemory {
public:
    TVirtualMemory() = default;
    ~TVirtualMemory();
    TVirtualMemory(const TVirtualMemory&) = delete;
    TVirtualMemory& operator=(const TVirtualMemory&) = delete;

    // Reserves size bytes at exactly preferred (never replacing an existing mapping); when that range is
    // taken, or preferred is 0, anywhere, within the low 2 GB when low is set. False when neither works.
    bool Reserve(size_t size, uintptr_t preferred, bool low = false);
    void Release();

    char* Base() const { return FBase; }
    size_t Size() const { return FSize; }
    bool Reserved() const { return FBase != nullptr; }
    bool Contains(size_t offset, size_t count) const { return offset <= FSize && count <= FSize - offset; }

    // Gives [offset, offset + count) the access (whole pages: offset must be page-aligned). False when the
    // range lies outside the reservation or the system refuses.
    bool Protect(size_t offset, size_t count, unsigned access);
    // Read and write access.
    bool Commit(size_t offset, size_t count) { return Protect(offset, count, paRead | paWrite); }
    // Drops the pages' contents and takes every access away.
    bool Decommit(size_t offset, size_t count);

    static size_t PageSize();

private:
    char* FBase = nullptr;
    size_t FSize = 0;
};

// True when this process can run code built for the PE machine type (0x8664 on x86-64 hosts).
bool CanRunMachine(uint16_t machine);

// Calls a module entry point (module handle, reason, reserved) with the Microsoft x86-64 calling
// convention and returns its 32-bit result. Only for code of a machine CanRunMachine accepts.
int32_t CallModuleEntryPoint(const void* entry, void* module, uint32_t reason, void* reserved);
