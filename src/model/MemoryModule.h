// Maps a DLL image held in memory into this process as the system's loader would: headers and sections,
// base relocations, imports, page protections and the entry point; then finds exports by name and
// releases the module. Only the export, import and base-relocation directories are processed (no
// thread-local storage, delayed imports or resources of the image).
//
// PE32 and PE32+ images are mapped; code runs only for images of this host's machine (x86-64, with the
// Microsoft calling convention). A mapped module is released with MemoryFreeLibrary.
//
// Libraries named by the imports come from a resolver the caller supplies, since no system library can
// be loaded here. The image is untrusted: its size is given, and every header, section, directory,
// relocation and import is checked against the file and the image before use. Every failure leaves
// nothing mapped and no library held.
#pragma once

#include "platform/Exceptions.h"
#include "platform/MemoryModules.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>

ATELIER_EXCEPTION_CLASS(EMemoryModuleError, Exception)

// Entry point reasons.
enum : uint32_t { DLL_PROCESS_DETACH = 0, DLL_PROCESS_ATTACH = 1 };

// Where the imports of a mapped module come from. The resolver must outlive every module loaded with it.
class TMemoryModuleResolver {
public:
    virtual ~TMemoryModuleResolver() = default;
    // A handle for the library of that name, or nullptr when it is not present.
    virtual void* LoadLibrary(const QString& Name) = 0;
    // The address of an export of a library LoadLibrary gave, or nullptr when it has none of that name.
    virtual void* GetProcAddress(void* Library, const QByteArray& Name) = 0;
    virtual void* GetProcAddress(void* Library, uint16_t Ordinal) = 0;
    // Called once for every handle LoadLibrary gave, when the module is released.
    virtual void FreeLibrary(void* Library) = 0;
};

// What was done to one section's pages.
struct TMemorySection {
    uint32_t VirtualAddress = 0;
    uint32_t Size = 0;       // the extent protected or discarded
    unsigned Access = 0;     // TPageAccess flags given to the pages
    bool Discarded = false;  // a discardable section, decommitted after the load
    bool Protected = false;  // the protection was applied
};

struct TMemoryModule {
    const char* Headers = nullptr; // the PE headers inside the mapped image
    char* CodeBase = nullptr;      // the start of the mapped image
    QList<void*> Modules;          // handles of the libraries loaded for imports
    bool Initialized = false;      // the entry point was called with DLL_PROCESS_ATTACH and returned true

    TMemoryModuleResolver* Resolver = nullptr;
    TVirtualMemory Memory;
    uint16_t Machine = 0;
    bool Is64 = false;
    uint32_t AddressOfEntryPoint = 0;
    uint32_t ExportDirectory = 0;
    uint32_t ExportDirectorySize = 0;
    QList<TMemorySection> Sections;
};
using PMemoryModule = TMemoryModule*;

// Maps the Size bytes at Data. Returns nullptr on failure, with the reason in *Error when given.
PMemoryModule MemoryLoadLibrary(const void* Data, size_t Size, TMemoryModuleResolver& Resolver,
                                QString* Error = nullptr);
// The address of the export of exactly that name; nullptr when there is none. Exports by ordinal only
// and forwarded exports are not found.
void* MemoryGetProcAddress(PMemoryModule Module, const char* Name);
// Calls the entry point with DLL_PROCESS_DETACH when the module was initialized, frees its libraries and
// unmaps it. nullptr is ignored.
void MemoryFreeLibrary(PMemoryModule Module);

// Lays the image out, relocates it and resolves its imports as a load does, in memory that is never
// executable, then looks up every export name; runs nothing and leaves nothing behind. Raises
// EMemoryModuleError for what a load would refuse.
void MemoryCheckImage(const void* Data, size_t Size, TMemoryModuleResolver& Resolver);
