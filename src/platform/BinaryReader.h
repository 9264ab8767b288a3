// Checked little-endian reading of untrusted bytes. Every binary format the program reads goes through
// this reader: a read either lies inside the window or fails, so no reader can run past its data.
//
// A reader is a window [start, start + size) on bytes it does not own, with a cursor. Reads come in
// two flavours: Try... returns std::nullopt when the bytes are not there (for formats where damage is
// tolerated), the plain ones raise EBinaryReadError naming the structure and its absolute offset in
// the file (for formats where damage is an error worth reporting).
#pragma once

#include "Exceptions.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

ATELIER_EXCEPTION_CLASS(EBinaryReadError, EReadError)

class TBinaryReader {
public:
    TBinaryReader() = default;
    // Views the whole array; the array must outlive the reader and every window taken from it.
    explicit TBinaryReader(const QByteArray& data);
    // base is the absolute offset of data[0] in the file, so that errors name file offsets.
    TBinaryReader(const char* data, int64_t size, int64_t base = 0);

    int64_t Size() const { return FSize; }
    // Absolute file offset of the window's first byte.
    int64_t Base() const { return FBase; }
    const char* Data() const { return FData; }

    int64_t Offset() const { return FOffset; }
    int64_t Remaining() const { return FSize - FOffset; }
    bool AtEnd() const { return FOffset >= FSize; }
    // Moves the cursor; a position outside [0, Size] raises (what names the structure sought).
    void Seek(int64_t offset, const char* what = "data");
    void Skip(int64_t count, const char* what = "data");
    // Moves the cursor to the next multiple of alignment counted from the window's start; never past
    // the end (alignment padding at the very end of the data is often left out).
    void Align(int64_t alignment);

    // True when count bytes at offset lie inside the window; never overflows.
    bool Has(int64_t offset, int64_t count) const
    {
        return offset >= 0 && count >= 0 && offset <= FSize && count <= FSize - offset;
    }

    // Windows on part of this one; their offsets start at 0 but errors still name file offsets.
    std::optional<TBinaryReader> TrySub(int64_t offset, int64_t size) const;
    TBinaryReader Sub(int64_t offset, int64_t size, const char* what = "data") const;

    // Random access.
    std::optional<uint8_t> TryU8(int64_t offset) const;
    std::optional<uint16_t> TryU16(int64_t offset) const;
    std::optional<uint32_t> TryU32(int64_t offset) const;
    std::optional<uint64_t> TryU64(int64_t offset) const;
    uint8_t U8(int64_t offset, const char* what = "data") const;
    uint16_t U16(int64_t offset, const char* what = "data") const;
    uint32_t U32(int64_t offset, const char* what = "data") const;
    uint64_t U64(int64_t offset, const char* what = "data") const;
    // A copy of count bytes at offset; raises when they are not all there.
    QByteArray Bytes(int64_t offset, int64_t count, const char* what = "data") const;
    // count UTF-16 units at offset, exactly as stored (a leading U+FEFF is a character, not a mark).
    QString Utf16(int64_t offset, int64_t count, const char* what = "string") const;
    // Zero-terminated strings that must end inside the window (terminator not included).
    std::optional<QString> TryUtf16Z(int64_t offset) const;
    std::optional<QByteArray> TryAnsiZ(int64_t offset) const;

    // Reads at the cursor, moving it; they raise at the end of the data.
    uint8_t ReadU8(const char* what = "data");
    uint16_t ReadU16(const char* what = "data");
    uint32_t ReadU32(const char* what = "data");
    uint64_t ReadU64(const char* what = "data");
    QByteArray ReadBytes(int64_t count, const char* what = "data");
    // A window on the next count bytes, moving the cursor past them.
    TBinaryReader ReadSub(int64_t count, const char* what = "data");
    // UTF-16 characters up to a zero (consumed, not returned); raises when no zero ends them.
    QString ReadUtf16Z(const char* what = "string");

    // Raises EBinaryReadError: "<what> at offset <absolute offset> (<count> bytes) runs past the end of
    // the data."
    [[noreturn]] void Fail(int64_t offset, int64_t count, const char* what) const;

private:
    const char* FData = nullptr;
    int64_t FSize = 0;
    int64_t FBase = 0;
    int64_t FOffset = 0;
};
