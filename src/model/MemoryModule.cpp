#include "MemoryModule.h"

#include "platform/BinaryReader.h"
#include "platform/PEImage.h"

#include <QtEndian>

#include <cstring>
#include <functional>
#include <memory>

namespace {

// Section characteristics.
constexpr uint32_t ScnCntInitializedData = 0x00000040;
constexpr uint32_t ScnCntUninitializedData = 0x00000080;
constexpr uint32_t ScnMemDiscardable = 0x02000000;
constexpr uint32_t ScnMemExecute = 0x20000000;
constexpr uint32_t ScnMemRead = 0x40000000;
constexpr uint32_t ScnMemWrite = 0x80000000;
// File header characteristics.
constexpr uint16_t FileRelocsStripped = 0x0001;
// Base relocation types.
constexpr int RelBasedHighLow = 3;
constexpr int RelBasedDir64 = 10;

constexpr int64_t SectionHeaderSize = 40;
constexpr int64_t ImportDescriptorSize = 20;
constexpr int64_t ExportDirectorySize = 40;

QString Hex(uint64_t value) { return QStringLiteral("0x") + QString::number(value, 16).toUpper(); }

[[noreturn]] void Fail(const QString& message) { throw EMemoryModuleError(message); }

// The header fields a load needs, checked against the file.
struct TImageLayout {
    uint16_t Machine = 0;
    uint16_t Characteristics = 0;
    bool Is64 = false;
    uint64_t ImageBase = 0;
    int64_t NtHeadersOffset = 0;
    int64_t ImageBaseOffset = 0; // file offset of the ImageBase field
    uint32_t SizeOfImage = 0;
    uint32_t SizeOfHeaders = 0;
    uint32_t SectionAlignment = 0;
    uint32_t SizeOfInitializedData = 0;
    uint32_t SizeOfUninitializedData = 0;
    uint32_t AddressOfEntryPoint = 0;
    TPEDataDirectory Exports, Imports, Relocations;
    QList<TPESection> Sections;
};

TImageLayout ReadLayout(const char* data, size_t size)
{
    if (size > size_t(INT32_MAX)) Fail(QStringLiteral("The module image is too large (%1 bytes).").arg(size));
    const QByteArray bytes = QByteArray::fromRawData(data, qsizetype(size));
    TImageLayout layout;
    try {
        const TPEImage image(bytes);
        const TBinaryReader file(bytes);
        layout.Machine = image.Machine();
        layout.Is64 = image.Is64();
        layout.NtHeadersOffset = image.FileHeaderOffset() - 4;
        layout.Characteristics = file.U16(image.FileHeaderOffset() + 18, "file header");
        const int64_t optional = image.OptionalHeaderOffset();
        layout.SizeOfInitializedData = file.U32(optional + 8, "optional header");
        layout.SizeOfUninitializedData = file.U32(optional + 12, "optional header");
        layout.ImageBaseOffset = optional + (layout.Is64 ? 24 : 28);
        layout.ImageBase = layout.Is64 ? file.U64(layout.ImageBaseOffset, "optional header")
                                       : file.U32(layout.ImageBaseOffset, "optional header");
        layout.SizeOfImage = image.SizeOfImage();
        layout.SizeOfHeaders = image.SizeOfHeaders();
        layout.SectionAlignment = image.SectionAlignment();
        layout.AddressOfEntryPoint = image.AddressOfEntryPoint();
        layout.Exports = image.DataDirectory(TPEImage::ddExport);
        layout.Imports = image.DataDirectory(TPEImage::ddImport);
        layout.Relocations = image.DataDirectory(TPEImage::ddBaseReloc);
        layout.Sections = image.Sections();

        const int64_t headersEnd = image.SectionTableOffset() + SectionHeaderSize * layout.Sections.size();
        if (layout.SizeOfImage == 0) Fail(QStringLiteral("The image size (SizeOfImage) is 0."));
        if (layout.SizeOfHeaders < headersEnd || layout.SizeOfHeaders > size ||
            layout.SizeOfHeaders > layout.SizeOfImage)
            Fail(QStringLiteral("The header size %1 (SizeOfHeaders) does not cover the headers (%2 bytes) or lies "
                                "beyond the file (%3 bytes) or the image (%4 bytes).")
                     .arg(Hex(layout.SizeOfHeaders), Hex(uint64_t(headersEnd)))
                     .arg(size)
                     .arg(Hex(layout.SizeOfImage)));
    } catch (const EPEImageError& e) {
        Fail(e.Message());
    } catch (const EBinaryReadError& e) {
        Fail(e.Message());
    }

    for (int i = 0; i < layout.Sections.size(); ++i) {
        const TPESection& s = layout.Sections.at(i);
        const QString name = QString::fromLatin1(s.Name.left(s.Name.indexOf('\0') < 0 ? 8 : s.Name.indexOf('\0')));
        if (s.VirtualAddress < layout.SizeOfHeaders || s.VirtualAddress > layout.SizeOfImage ||
            s.SizeOfRawData > layout.SizeOfImage - s.VirtualAddress)
            Fail(QStringLiteral("Section %1 (\"%2\") at RVA %3 (%4 bytes) lies outside the image (headers %5 bytes, "
                                "image %6 bytes).")
                     .arg(i + 1)
                     .arg(name, Hex(s.VirtualAddress), Hex(s.SizeOfRawData), Hex(layout.SizeOfHeaders),
                          Hex(layout.SizeOfImage)));
        if (s.SizeOfRawData > 0 && (s.PointerToRawData > size || s.SizeOfRawData > size - s.PointerToRawData))
            Fail(QStringLiteral("The data of section %1 (\"%2\") at offset %3 (%4 bytes) runs past the end of the "
                                "file (%5 bytes).")
                     .arg(i + 1)
                     .arg(name, Hex(s.PointerToRawData), Hex(s.SizeOfRawData))
                     .arg(size));
    }
    const auto checkDirectory = [&](const TPEDataDirectory& d, int index) {
        if (d.Size > 0 && (d.VirtualAddress > layout.SizeOfImage || d.Size > layout.SizeOfImage - d.VirtualAddress))
            Fail(QStringLiteral("Data directory %1 at RVA %2 (%3 bytes) lies outside the image (%4 bytes).")
                     .arg(index)
                     .arg(Hex(d.VirtualAddress), Hex(d.Size), Hex(layout.SizeOfImage)));
    };
    checkDirectory(layout.Exports, TPEImage::ddExport);
    checkDirectory(layout.Imports, TPEImage::ddImport);
    checkDirectory(layout.Relocations, TPEImage::ddBaseReloc);
    if (layout.AddressOfEntryPoint >= layout.SizeOfImage)
        Fail(QStringLiteral("The entry point RVA %1 lies outside the image (%2 bytes).")
                 .arg(Hex(layout.AddressOfEntryPoint), Hex(layout.SizeOfImage)));
    return layout;
}

// Copies exactly SizeOfHeaders bytes of headers and every section's raw data to the image, which is
// SizeOfImage bytes of zeros.
void CopyImage(const TImageLayout& layout, const char* data, char* image)
{
    std::memcpy(image, data, layout.SizeOfHeaders);
    for (const TPESection& s : layout.Sections)
        if (s.SizeOfRawData > 0) std::memcpy(image + s.VirtualAddress, data + s.PointerToRawData, s.SizeOfRawData);
}

void SetImageBase(const TImageLayout& layout, char* image, uint64_t base)
{
    if (layout.Is64)
        qToLittleEndian<uint64_t>(base, image + layout.ImageBaseOffset);
    else
        qToLittleEndian<uint32_t>(uint32_t(base), image + layout.ImageBaseOffset);
}

void Relocate(const TImageLayout& layout, char* image, uint64_t delta)
{
    if (layout.Relocations.Size == 0) return;
    const TBinaryReader in(image, layout.SizeOfImage);
    int64_t at = layout.Relocations.VirtualAddress;
    const int64_t end = at + layout.Relocations.Size;
    while (end - at >= 8) {
        const uint32_t page = in.U32(at, "relocation block");
        const uint32_t blockSize = in.U32(at + 4, "relocation block");
        if (page == 0) break;
        if (blockSize < 8 || blockSize > end - at)
            Fail(QStringLiteral("The relocation block at RVA %1 has a size of %2 bytes, outside the relocation "
                                "directory (%3 bytes left).")
                     .arg(Hex(uint64_t(at)))
                     .arg(blockSize)
                     .arg(end - at));
        for (int64_t e = at + 8; e + 2 <= at + blockSize; e += 2) {
            const uint16_t entry = in.U16(e, "relocation");
            const int type = entry >> 12;
            const int width = type == RelBasedHighLow ? 4 : type == RelBasedDir64 && layout.Is64 ? 8 : 0;
            if (width == 0) continue;
            const uint64_t target = uint64_t(page) + (entry & 0xFFF);
            if (!in.Has(int64_t(target), width))
                Fail(QStringLiteral("The relocation at RVA %1 (block at RVA %2) patches RVA %3, outside the image "
                                    "(%4 bytes).")
                         .arg(Hex(uint64_t(e)), Hex(uint64_t(at)), Hex(target), Hex(layout.SizeOfImage)));
            char* p = image + target;
            if (width == 4)
                qToLittleEndian<uint32_t>(qFromLittleEndian<uint32_t>(p) + uint32_t(delta), p);
            else
                qToLittleEndian<uint64_t>(qFromLittleEndian<uint64_t>(p) + delta, p);
        }
        at += blockSize;
    }
}

QByteArray ImageString(const TBinaryReader& in, uint64_t rva, const char* what)
{
    const std::optional<QByteArray> text = rva < uint64_t(in.Size()) ? in.TryAnsiZ(int64_t(rva)) : std::nullopt;
    if (!text)
        Fail(QStringLiteral("The %1 at RVA %2 does not end inside the image (%3 bytes).")
                 .arg(QLatin1String(what), Hex(rva), Hex(uint64_t(in.Size()))));
    return *text;
}

// Resolves every import; each library handle is appended to modules as soon as it is loaded, so that a
// failure later still frees it.
void ResolveImports(const TImageLayout& layout, char* image, TMemoryModuleResolver& resolver, QList<void*>& modules)
{
    if (layout.Imports.Size == 0) return;
    const TBinaryReader in(image, layout.SizeOfImage);
    const int thunkSize = layout.Is64 ? 8 : 4;
    const uint64_t ordinalFlag = layout.Is64 ? uint64_t(1) << 63 : uint64_t(1) << 31;
    const auto thunkAt = [&](int64_t rva) {
        return layout.Is64 ? in.U64(rva, "import thunk") : uint64_t(in.U32(rva, "import thunk"));
    };
    for (int64_t d = layout.Imports.VirtualAddress; in.Has(d, ImportDescriptorSize); d += ImportDescriptorSize) {
        const uint32_t originalFirstThunk = in.U32(d, "import descriptor");
        const uint32_t nameRva = in.U32(d + 12, "import descriptor");
        const uint32_t firstThunk = in.U32(d + 16, "import descriptor");
        if (nameRva == 0) break;
        const QString library = QString::fromLatin1(ImageString(in, nameRva, "import library name"));
        void* handle = resolver.LoadLibrary(library);
        if (!handle) Fail(QStringLiteral("The library \"%1\" is not present.").arg(library));
        modules.append(handle);

        const int64_t names = originalFirstThunk ? originalFirstThunk : firstThunk;
        for (int64_t i = 0;; ++i) {
            const int64_t nameSlot = names + i * thunkSize;
            const int64_t addressSlot = int64_t(firstThunk) + i * thunkSize;
            if (!in.Has(nameSlot, thunkSize) || !in.Has(addressSlot, thunkSize))
                Fail(QStringLiteral("The imports from \"%1\" (descriptor at RVA %2) run past the end of the image.")
                         .arg(library, Hex(uint64_t(d))));
            const uint64_t thunk = thunkAt(nameSlot);
            if (thunk == 0) break;
            void* address = nullptr;
            QString what;
            if (thunk & ordinalFlag) {
                const uint16_t ordinal = uint16_t(thunk & 0xFFFF);
                address = resolver.GetProcAddress(handle, ordinal);
                what = QStringLiteral("ordinal %1").arg(ordinal);
            } else {
                const QByteArray name = ImageString(in, (thunk & 0xFFFFFFFF) + 2, "import name");
                address = resolver.GetProcAddress(handle, name);
                what = QStringLiteral("\"%1\"").arg(QString::fromLatin1(name));
            }
            if (!address) Fail(QStringLiteral("The library \"%1\" has no export %2.").arg(library, what));
            const uint64_t value = uint64_t(reinterpret_cast<uintptr_t>(address));
            if (layout.Is64)
                qToLittleEndian<uint64_t>(value, image + addressSlot);
            else if (value > UINT32_MAX)
                Fail(QStringLiteral("The export %1 of \"%2\" lies beyond the 32-bit address space.").arg(what, library));
            else
                qToLittleEndian<uint32_t>(uint32_t(value), image + addressSlot);
        }
    }
}

unsigned SectionAccess(uint32_t characteristics)
{
    unsigned access = paNone;
    if (characteristics & ScnMemRead) access |= paRead;
    if (characteristics & ScnMemWrite) access |= paWrite;
    if (characteristics & ScnMemExecute) access |= paExecute;
    return access;
}

void ProtectSections(const TImageLayout& layout, TMemoryModule& module)
{
    for (const TPESection& s : layout.Sections) {
        TMemorySection record;
        record.VirtualAddress = s.VirtualAddress;
        if (s.Characteristics & ScnMemDiscardable) {
            record.Size = s.SizeOfRawData;
            record.Discarded = true;
            record.Protected = module.Memory.Decommit(s.VirtualAddress, s.SizeOfRawData);
            module.Sections.append(record);
            continue;
        }
        uint32_t size = s.SizeOfRawData;
        if (size == 0) {
            if (s.Characteristics & ScnCntInitializedData)
                size = layout.SizeOfInitializedData;
            else if (s.Characteristics & ScnCntUninitializedData)
                size = layout.SizeOfUninitializedData;
        }
        // The image's own sizes may claim more than the section has room for in the image.
        record.Size = std::min(size, layout.SizeOfImage - s.VirtualAddress);
        record.Access = SectionAccess(s.Characteristics);
        if (record.Size > 0) {
            record.Protected = module.Memory.Protect(s.VirtualAddress, record.Size, record.Access);
            module.Sections.append(record);
            // The remaining sections keep read and write access.
            if (!record.Protected) break;
        } else {
            module.Sections.append(record);
        }
    }
}

// The RVA of the export of exactly that name in the image, 0 when there is none. Nothing is read that
// readable does not allow: pages of discarded or unreadable sections would fault.
uint32_t FindExport(const TBinaryReader& in, uint32_t directory, uint32_t directorySize, const QByteArray& name,
                    const std::function<bool(int64_t, int64_t)>& readable)
{
    const auto u32 = [&](int64_t rva) -> std::optional<uint32_t> {
        return readable(rva, 4) ? in.TryU32(rva) : std::nullopt;
    };
    if (directorySize == 0 || !in.Has(directory, ExportDirectorySize) || !readable(directory, ExportDirectorySize))
        return 0;
    const uint32_t functions = in.U32(directory + 20);
    const uint32_t names = in.U32(directory + 24);
    const uint32_t addressOfFunctions = in.U32(directory + 28);
    const uint32_t addressOfNames = in.U32(directory + 32);
    const uint32_t addressOfOrdinals = in.U32(directory + 36);
    if (functions == 0 || names == 0) return 0;
    const int64_t length = name.size() + 1; // with the terminator
    for (uint32_t i = 0; i < names; ++i) {
        const std::optional<uint32_t> nameRva = u32(int64_t(addressOfNames) + 4 * int64_t(i));
        if (!nameRva) return 0;
        if (!in.Has(*nameRva, length) || !readable(*nameRva, length) ||
            std::memcmp(in.Data() + *nameRva, name.constData(), size_t(length)) != 0)
            continue;
        const int64_t ordinalAt = int64_t(addressOfOrdinals) + 2 * int64_t(i);
        const std::optional<uint16_t> index = readable(ordinalAt, 2) ? in.TryU16(ordinalAt) : std::nullopt;
        if (!index || *index >= functions) return 0;
        const uint32_t rva = u32(int64_t(addressOfFunctions) + 4 * int64_t(*index)).value_or(0);
        return rva < in.Size() ? rva : 0;
    }
    return 0;
}

// Every export name of the image, in directory order (for the image check).
QList<QByteArray> ExportNames(const TBinaryReader& in, const TPEDataDirectory& directory)
{
    QList<QByteArray> result;
    if (directory.Size == 0 || !in.Has(directory.VirtualAddress, ExportDirectorySize)) return result;
    const uint32_t names = in.U32(directory.VirtualAddress + 24);
    const uint32_t addressOfNames = in.U32(directory.VirtualAddress + 32);
    for (uint32_t i = 0; i < names; ++i) {
        const std::optional<uint32_t> nameRva = in.TryU32(int64_t(addressOfNames) + 4 * int64_t(i));
        if (!nameRva) break;
        if (const auto text = *nameRva < in.Size() ? in.TryAnsiZ(*nameRva) : std::nullopt) result.append(*text);
    }
    return result;
}

// Releases what a module holds; never raises.
void ReleaseModule(TMemoryModule* module)
{
    if (module->Initialized) {
        module->Initialized = false;
        CallModuleEntryPoint(module->CodeBase + module->AddressOfEntryPoint, module->CodeBase, DLL_PROCESS_DETACH,
                             nullptr);
    }
    for (void* handle : std::as_const(module->Modules)) {
        try {
            module->Resolver->FreeLibrary(handle);
        } catch (...) {
            // The module goes all the same.
        }
    }
    module->Modules.clear();
    module->Memory.Release();
    delete module;
}

struct TModuleReleaser {
    void operator()(TMemoryModule* module) const { ReleaseModule(module); }
};
using TModuleOwner = std::unique_ptr<TMemoryModule, TModuleReleaser>;

// Maps and prepares the image; with run, at its preferred base when free, with section protections and the
// entry point; without, anywhere, all pages staying read and write only.
TModuleOwner Load(const void* data, size_t size, TMemoryModuleResolver& resolver, bool run)
{
    if (!data) Fail(QStringLiteral("No module image."));
    const TImageLayout layout = ReadLayout(static_cast<const char*>(data), size);
    if (run && layout.AddressOfEntryPoint != 0 && !CanRunMachine(layout.Machine))
        Fail(QStringLiteral("The module is built for machine type %1 (%2), whose code cannot run in this process.")
                 .arg(Hex(layout.Machine), layout.Is64 ? QStringLiteral("PE32+") : QStringLiteral("PE32")));

    TModuleOwner module(new TMemoryModule);
    module->Resolver = &resolver;
    module->Machine = layout.Machine;
    module->Is64 = layout.Is64;
    module->AddressOfEntryPoint = layout.AddressOfEntryPoint;
    module->ExportDirectory = layout.Exports.VirtualAddress;
    module->ExportDirectorySize = layout.Exports.Size;
    // A 32-bit image holds 32-bit addresses: it must lie in the low address space.
    const bool low = !layout.Is64;
    const uintptr_t preferred = run && (layout.Is64 || layout.ImageBase <= UINT32_MAX) ? uintptr_t(layout.ImageBase) : 0;
    if (!module->Memory.Reserve(layout.SizeOfImage, preferred, low))
        Fail(QStringLiteral("Unable to reserve %1 bytes of address space for the module.").arg(layout.SizeOfImage));
    char* image = module->Memory.Base();
    if (!layout.Is64 && uint64_t(reinterpret_cast<uintptr_t>(image)) + layout.SizeOfImage > UINT32_MAX)
        Fail(QStringLiteral("No room for the 32-bit module in the low address space."));
    if (!module->Memory.Commit(0, layout.SizeOfImage))
        Fail(QStringLiteral("Unable to commit %1 bytes for the module.").arg(layout.SizeOfImage));
    module->CodeBase = image;

    CopyImage(layout, static_cast<const char*>(data), image);
    module->Headers = image + layout.NtHeadersOffset;
    const uint64_t base = uint64_t(reinterpret_cast<uintptr_t>(image));
    SetImageBase(layout, image, base);
    if (base != layout.ImageBase) {
        if (layout.Characteristics & FileRelocsStripped)
            Fail(QStringLiteral("The module cannot move from its preferred base %1: its relocations were stripped.")
                     .arg(Hex(layout.ImageBase)));
        Relocate(layout, image, base - layout.ImageBase);
    }
    ResolveImports(layout, image, resolver, module->Modules);
    if (!run) return module;

    ProtectSections(layout, *module);
    if (layout.AddressOfEntryPoint != 0) {
        if (!CallModuleEntryPoint(image + layout.AddressOfEntryPoint, image, DLL_PROCESS_ATTACH, nullptr))
            Fail(QStringLiteral("The module's entry point refused to attach."));
        module->Initialized = true;
    }
    return module;
}

// The address range of the image that can be read: not a discarded section nor one without read access.
bool Readable(const TMemoryModule& module, int64_t rva, int64_t count)
{
    const int64_t page = int64_t(TVirtualMemory::PageSize());
    for (const TMemorySection& s : module.Sections) {
        if (!s.Protected || (!s.Discarded && (s.Access & paRead))) continue;
        const int64_t start = s.VirtualAddress;
        const int64_t end = (int64_t(s.VirtualAddress) + s.Size + page - 1) / page * page;
        if (rva < end && rva + count > start) return false;
    }
    return true;
}

} // namespace

PMemoryModule MemoryLoadLibrary(const void* Data, size_t Size, TMemoryModuleResolver& Resolver, QString* Error)
{
    try {
        return Load(Data, Size, Resolver, true).release();
    } catch (const Exception& e) {
        if (Error) *Error = e.Message();
    } catch (const std::exception& e) {
        if (Error) *Error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        if (Error) *Error = QStringLiteral("The module could not be loaded.");
    }
    return nullptr;
}

void* MemoryGetProcAddress(PMemoryModule Module, const char* Name)
{
    if (!Module || !Name) return nullptr;
    const TBinaryReader image(Module->CodeBase, int64_t(Module->Memory.Size()));
    const uint32_t rva = FindExport(image, Module->ExportDirectory, Module->ExportDirectorySize, QByteArray(Name),
                                    [Module](int64_t at, int64_t count) { return Readable(*Module, at, count); });
    return rva ? Module->CodeBase + rva : nullptr;
}

void MemoryFreeLibrary(PMemoryModule Module)
{
    if (Module) ReleaseModule(Module);
}

void MemoryCheckImage(const void* Data, size_t Size, TMemoryModuleResolver& Resolver)
{
    TModuleOwner module = Load(Data, Size, Resolver, false);
    const TBinaryReader in(module->CodeBase, int64_t(module->Memory.Size()));
    const TImageLayout layout = ReadLayout(static_cast<const char*>(Data), Size);
    const auto all = [](int64_t, int64_t) { return true; };
    for (const QByteArray& name : ExportNames(in, layout.Exports))
        FindExport(in, layout.Exports.VirtualAddress, layout.Exports.Size, name, all);
}
