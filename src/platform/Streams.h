// Byte streams with the semantics the model relies on: a position may lie past the end (reads there
// return nothing, writes to a memory stream fill the gap with zeros), Read may return fewer bytes than
// asked, ReadBuffer and WriteBuffer raise when they cannot move every byte.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

class QFile;

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream();

    // Return the number of bytes moved; never raise for a short transfer.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Returns the new position; a negative resulting position raises EStreamError.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position();
    void SetPosition(int64_t value);
    virtual int64_t Size();
    virtual void SetSize(int64_t value);

    // "Stream read error" / "Stream write error" when fewer bytes moved.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source's position; count 0 copies the whole source from its start.
    // Returns the bytes copied; raises when source holds fewer.
    int64_t CopyFrom(TStream& source, int64_t count);

    // Little-endian fields; the readers raise EReadError at the end of the data.
    uint8_t ReadByte();
    uint16_t ReadWord();
    uint32_t ReadDWord();
    uint64_t ReadQWord();
    void WriteByte(uint8_t value);
    void WriteWord(uint16_t value);
    void WriteDWord(uint32_t value);
    void WriteQWord(uint64_t value);
    // Reads up to count bytes (fewer at the end of the data).
    QByteArray ReadBytes(int64_t count);
    void WriteBytes(const QByteArray& data);
};

// A read-only stream over memory held elsewhere (writes move nothing).
class TCustomMemoryStream : public TStream {
public:
    TCustomMemoryStream() = default;
    TCustomMemoryStream(const void* memory, int64_t size);

    void SetPointer(const void* memory, int64_t size);
    const uint8_t* Memory() const { return FMemory; }

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return FSize; }

    void SaveToStream(TStream& stream);
    void SaveToFile(const QString& fileName);

protected:
    uint8_t* FMemory = nullptr;
    int64_t FSize = 0;
    int64_t FPosition = 0;
};

// A stream that owns and grows its memory.
class TMemoryStream : public TCustomMemoryStream {
public:
    TMemoryStream() = default;
    ~TMemoryStream() override;

    int64_t Write(const void* buffer, int64_t count) override;
    void SetSize(int64_t value) override;
    void Clear();
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const QString& fileName);
    QByteArray ToByteArray() const;

protected:
    virtual void SetCapacity(int64_t value);
    QByteArray FData;
};

// A memory stream over a byte array it keeps; Bytes gives the current contents.
class TBytesStream : public TMemoryStream {
public:
    TBytesStream() = default;
    explicit TBytesStream(const QByteArray& bytes);
    QByteArray Bytes() const { return ToByteArray(); }
};

enum TFileMode : uint32_t {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00,
};

// Raises EFOpenError "Cannot open file \"%s\". %s" or EFCreateError "Cannot create file \"%s\". %s".
class TFileStream : public TStream {
public:
    TFileStream(const QString& fileName, uint32_t mode);
    ~TFileStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    void SetSize(int64_t value) override;
    const QString& FileName() const { return FFileName; }

private:
    QString FFileName;
    std::unique_ptr<QFile> FFile;
    int64_t FPosition = 0;
};
