#include "Streams.h"

#include "Exceptions.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

namespace {
const char* const SReadError = "Stream read error";
const char* const SWriteError = "Stream write error";
const char* const SSeekError = "Invalid stream operation";
const int64_t CopyChunk = 64 * 1024;
} // namespace

TStream::~TStream() = default;

int64_t TStream::Position() { return Seek(0, soCurrent); }

void TStream::SetPosition(int64_t value) { Seek(value, soBeginning); }

int64_t TStream::Size()
{
    const int64_t pos = Seek(0, soCurrent);
    const int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(int64_t) { throw EStreamError(QString::fromLatin1(SSeekError)); }

void TStream::ReadBuffer(void* buffer, int64_t count)
{
    if (count < 0 || (count > 0 && Read(buffer, count) != count))
        throw EReadError(QString::fromLatin1(SReadError));
}

void TStream::WriteBuffer(const void* buffer, int64_t count)
{
    if (count < 0 || (count > 0 && Write(buffer, count) != count))
        throw EWriteError(QString::fromLatin1(SWriteError));
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    if (count < 0) throw EReadError(QString::fromLatin1(SReadError));
    const int64_t total = count;
    // From memory that holds every byte asked for: one write, no staging copy.
    if (const auto* memory = dynamic_cast<const TCustomMemoryStream*>(&source); memory && &source != this) {
        const int64_t position = source.Position();
        if (position >= 0 && count <= source.Size() - position) {
            WriteBuffer(memory->Memory() + position, count);
            source.SetPosition(position + count);
            return total;
        }
    }
    QByteArray chunk(static_cast<qsizetype>(std::min(count, CopyChunk)), Qt::Uninitialized);
    while (count > 0) {
        const int64_t n = std::min<int64_t>(count, chunk.size());
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.constData(), n);
        count -= n;
    }
    return total;
}

uint8_t TStream::ReadByte()
{
    uint8_t b[1];
    ReadBuffer(b, 1);
    return b[0];
}

uint16_t TStream::ReadWord()
{
    uint8_t b[2];
    ReadBuffer(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t TStream::ReadDWord()
{
    uint8_t b[4];
    ReadBuffer(b, 4);
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

uint64_t TStream::ReadQWord()
{
    const uint64_t low = ReadDWord();
    const uint64_t high = ReadDWord();
    return low | (high << 32);
}

void TStream::WriteByte(uint8_t value) { WriteBuffer(&value, 1); }

void TStream::WriteWord(uint16_t value)
{
    const uint8_t b[2] = {uint8_t(value), uint8_t(value >> 8)};
    WriteBuffer(b, 2);
}

void TStream::WriteDWord(uint32_t value)
{
    const uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    WriteBuffer(b, 4);
}

void TStream::WriteQWord(uint64_t value)
{
    WriteDWord(static_cast<uint32_t>(value));
    WriteDWord(static_cast<uint32_t>(value >> 32));
}

QByteArray TStream::ReadBytes(int64_t count)
{
    if (count <= 0) return {};
    // Never allocate more than the data can hold: a corrupt length must not exhaust memory.
    const int64_t pos = Position();
    const int64_t available = std::max<int64_t>(0, Size() - pos);
    count = std::min(count, available);
    QByteArray result(static_cast<qsizetype>(count), Qt::Uninitialized);
    const int64_t n = count > 0 ? Read(result.data(), count) : 0;
    result.truncate(static_cast<qsizetype>(n));
    return result;
}

void TStream::WriteBytes(const QByteArray& data) { WriteBuffer(data.constData(), data.size()); }

// TCustomMemoryStream

TCustomMemoryStream::TCustomMemoryStream(const void* memory, int64_t size) { SetPointer(memory, size); }

void TCustomMemoryStream::SetPointer(const void* memory, int64_t size)
{
    FMemory = static_cast<uint8_t*>(const_cast<void*>(memory));
    FSize = memory ? std::max<int64_t>(0, size) : 0;
}

int64_t TCustomMemoryStream::Read(void* buffer, int64_t count)
{
    if (count <= 0 || FPosition >= FSize) return 0;
    const int64_t n = std::min(count, FSize - FPosition);
    std::memcpy(buffer, FMemory + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

int64_t TCustomMemoryStream::Write(const void*, int64_t) { return 0; }

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    int64_t base = 0;
    switch (origin) {
    case soBeginning: base = 0; break;
    case soCurrent: base = FPosition; break;
    case soEnd: base = FSize; break;
    }
    const int64_t target = base + offset;
    if (target < 0) throw EStreamError(QString::fromLatin1(SSeekError));
    FPosition = target;
    return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream& stream)
{
    if (FSize > 0) stream.WriteBuffer(FMemory, FSize);
}

void TCustomMemoryStream::SaveToFile(const QString& fileName)
{
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

// TMemoryStream

TMemoryStream::~TMemoryStream() = default;

void TMemoryStream::SetCapacity(int64_t value)
{
    if (value > FData.size()) {
        // Grow geometrically so that appending stays linear.
        int64_t capacity = std::max<int64_t>(value, FData.size() + FData.size() / 2);
        capacity = std::max<int64_t>(capacity, 256);
        FData.resize(static_cast<qsizetype>(capacity));
    }
    FMemory = reinterpret_cast<uint8_t*>(FData.data());
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0) return 0;
    const int64_t end = FPosition + count;
    if (end > FSize) {
        const int64_t oldSize = FSize;
        SetCapacity(end);
        // The gap between the old end and a position set past it reads as zeros.
        if (FPosition > oldSize) std::memset(FMemory + oldSize, 0, static_cast<size_t>(FPosition - oldSize));
        FSize = end;
    }
    std::memcpy(FMemory + FPosition, buffer, static_cast<size_t>(count));
    FPosition = end;
    return count;
}

void TMemoryStream::SetSize(int64_t value)
{
    if (value < 0) throw EStreamError(QString::fromLatin1(SSeekError));
    const int64_t oldSize = FSize;
    SetCapacity(value);
    if (value > oldSize) std::memset(FMemory + oldSize, 0, static_cast<size_t>(value - oldSize));
    FSize = value;
    if (FPosition > value) FPosition = value;
}

void TMemoryStream::Clear()
{
    FData.clear();
    FMemory = nullptr;
    FSize = 0;
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream)
{
    stream.SetPosition(0);
    const int64_t count = stream.Size();
    SetSize(count);
    if (count > 0) stream.ReadBuffer(FMemory, count);
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const QString& fileName)
{
    TFileStream file(fileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(file);
}

QByteArray TMemoryStream::ToByteArray() const
{
    return QByteArray(reinterpret_cast<const char*>(FMemory), static_cast<qsizetype>(FSize));
}

TBytesStream::TBytesStream(const QByteArray& bytes)
{
    FData = bytes;
    FData.detach();
    FMemory = reinterpret_cast<uint8_t*>(FData.data());
    FSize = bytes.size();
}

// TFileStream

TFileStream::TFileStream(const QString& fileName, uint32_t mode)
    : FFileName(fileName), FFile(std::make_unique<QFile>(fileName))
{
    if ((mode & 0xFF00) == fmCreate) {
        if (!FFile->open(QIODevice::ReadWrite | QIODevice::Truncate))
            throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2")
                                    .arg(QFileInfo(fileName).absoluteFilePath(), FFile->errorString()));
        return;
    }
    QIODevice::OpenMode openMode;
    switch (mode & 3) {
    // Write-only opening in Qt truncates; an existing file opened for writing must keep its bytes.
    case fmOpenWrite:
    case fmOpenReadWrite: openMode = QIODevice::ReadWrite | QIODevice::ExistingOnly; break;
    default: openMode = QIODevice::ReadOnly; break;
    }
    if (!FFile->open(openMode) || QFileInfo(fileName).isDir()) {
        const QString reason = QFileInfo(fileName).isDir() ? QStringLiteral("Is a directory") : FFile->errorString();
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2")
                              .arg(QFileInfo(fileName).absoluteFilePath(), reason));
    }
}

TFileStream::~TFileStream() = default;

int64_t TFileStream::Read(void* buffer, int64_t count)
{
    if (count <= 0) return 0;
    if (!FFile->seek(FPosition)) return 0;
    const int64_t n = FFile->read(static_cast<char*>(buffer), count);
    if (n <= 0) return 0;
    FPosition += n;
    return n;
}

int64_t TFileStream::Write(const void* buffer, int64_t count)
{
    // Checked first so that a read-only stream refuses quietly instead of Qt warning on stderr.
    if (count <= 0 || !FFile->isWritable()) return 0;
    if (FPosition > FFile->size() && !FFile->resize(FPosition)) return 0;
    if (!FFile->seek(FPosition)) return 0;
    const int64_t n = FFile->write(static_cast<const char*>(buffer), count);
    if (n <= 0) return 0;
    FPosition += n;
    return n;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    int64_t base = 0;
    switch (origin) {
    case soBeginning: base = 0; break;
    case soCurrent: base = FPosition; break;
    case soEnd: base = FFile->size(); break;
    }
    const int64_t target = base + offset;
    if (target < 0) throw EStreamError(QString::fromLatin1(SSeekError));
    FPosition = target;
    return FPosition;
}

int64_t TFileStream::Size() { return FFile->size(); }

void TFileStream::SetSize(int64_t value)
{
    if (value < 0 || !FFile->resize(value)) throw EStreamError(QString::fromLatin1(SSeekError));
    if (FPosition > value) FPosition = value;
}
