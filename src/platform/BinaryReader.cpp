#include "BinaryReader.h"

#include <QtEndian>

TBinaryReader::TBinaryReader(const QByteArray& data) : FData(data.constData()), FSize(data.size()) {}

TBinaryReader::TBinaryReader(const char* data, int64_t size, int64_t base)
    : FData(data), FSize(size < 0 ? 0 : size), FBase(base)
{
}

void TBinaryReader::Fail(int64_t offset, int64_t count, const char* what) const
{
    throw EBinaryReadError(QStringLiteral("%1 at offset %2 (%3 bytes) runs past the end of the data.")
                               .arg(QString::fromLatin1(what))
                               .arg(FBase + offset)
                               .arg(count));
}

void TBinaryReader::Seek(int64_t offset, const char* what)
{
    if (!Has(offset, 0)) Fail(offset, 0, what);
    FOffset = offset;
}

void TBinaryReader::Skip(int64_t count, const char* what)
{
    if (!Has(FOffset, count)) Fail(FOffset, count, what);
    FOffset += count;
}

void TBinaryReader::Align(int64_t alignment)
{
    if (alignment <= 1) return;
    const int64_t aligned = (FOffset + alignment - 1) / alignment * alignment;
    FOffset = aligned < FSize ? aligned : FSize;
}

std::optional<TBinaryReader> TBinaryReader::TrySub(int64_t offset, int64_t size) const
{
    if (!Has(offset, size)) return std::nullopt;
    return TBinaryReader(FData + offset, size, FBase + offset);
}

TBinaryReader TBinaryReader::Sub(int64_t offset, int64_t size, const char* what) const
{
    if (!Has(offset, size)) Fail(offset, size, what);
    return TBinaryReader(FData + offset, size, FBase + offset);
}

std::optional<uint8_t> TBinaryReader::TryU8(int64_t offset) const
{
    if (!Has(offset, 1)) return std::nullopt;
    return uint8_t(FData[offset]);
}

std::optional<uint16_t> TBinaryReader::TryU16(int64_t offset) const
{
    if (!Has(offset, 2)) return std::nullopt;
    return qFromLittleEndian<uint16_t>(FData + offset);
}

std::optional<uint32_t> TBinaryReader::TryU32(int64_t offset) const
{
    if (!Has(offset, 4)) return std::nullopt;
    return qFromLittleEndian<uint32_t>(FData + offset);
}

std::optional<uint64_t> TBinaryReader::TryU64(int64_t offset) const
{
    if (!Has(offset, 8)) return std::nullopt;
    return qFromLittleEndian<uint64_t>(FData + offset);
}

uint8_t TBinaryReader::U8(int64_t offset, const char* what) const
{
    if (!Has(offset, 1)) Fail(offset, 1, what);
    return uint8_t(FData[offset]);
}

uint16_t TBinaryReader::U16(int64_t offset, const char* what) const
{
    if (!Has(offset, 2)) Fail(offset, 2, what);
    return qFromLittleEndian<uint16_t>(FData + offset);
}

uint32_t TBinaryReader::U32(int64_t offset, const char* what) const
{
    if (!Has(offset, 4)) Fail(offset, 4, what);
    return qFromLittleEndian<uint32_t>(FData + offset);
}

uint64_t TBinaryReader::U64(int64_t offset, const char* what) const
{
    if (!Has(offset, 8)) Fail(offset, 8, what);
    return qFromLittleEndian<uint64_t>(FData + offset);
}

QByteArray TBinaryReader::Bytes(int64_t offset, int64_t count, const char* what) const
{
    if (!Has(offset, count)) Fail(offset, count, what);
    return QByteArray(FData + offset, qsizetype(count));
}

QString TBinaryReader::Utf16(int64_t offset, int64_t count, const char* what) const
{
    if (count < 0 || count > FSize / 2 || !Has(offset, 2 * count)) Fail(offset, 2 * count, what);
    QString text(qsizetype(count), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) text[i] = QChar(qFromLittleEndian<uint16_t>(FData + offset + 2 * i));
    return text;
}

std::optional<QString> TBinaryReader::TryUtf16Z(int64_t offset) const
{
    if (!Has(offset, 0)) return std::nullopt;
    for (int64_t at = offset; Has(at, 2); at += 2) {
        if (qFromLittleEndian<uint16_t>(FData + at) == 0) {
            QString text(qsizetype((at - offset) / 2), Qt::Uninitialized);
            for (qsizetype i = 0; i < text.size(); ++i)
                text[i] = QChar(qFromLittleEndian<uint16_t>(FData + offset + 2 * i));
            return text;
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> TBinaryReader::TryAnsiZ(int64_t offset) const
{
    if (!Has(offset, 0)) return std::nullopt;
    for (int64_t at = offset; at < FSize; ++at)
        if (FData[at] == '\0') return QByteArray(FData + offset, qsizetype(at - offset));
    return std::nullopt;
}

uint8_t TBinaryReader::ReadU8(const char* what)
{
    const uint8_t value = U8(FOffset, what);
    FOffset += 1;
    return value;
}

uint16_t TBinaryReader::ReadU16(const char* what)
{
    const uint16_t value = U16(FOffset, what);
    FOffset += 2;
    return value;
}

uint32_t TBinaryReader::ReadU32(const char* what)
{
    const uint32_t value = U32(FOffset, what);
    FOffset += 4;
    return value;
}

uint64_t TBinaryReader::ReadU64(const char* what)
{
    const uint64_t value = U64(FOffset, what);
    FOffset += 8;
    return value;
}

QByteArray TBinaryReader::ReadBytes(int64_t count, const char* what)
{
    QByteArray bytes = Bytes(FOffset, count, what);
    FOffset += count;
    return bytes;
}

TBinaryReader TBinaryReader::ReadSub(int64_t count, const char* what)
{
    TBinaryReader sub = Sub(FOffset, count, what);
    FOffset += count;
    return sub;
}

QString TBinaryReader::ReadUtf16Z(const char* what)
{
    const std::optional<QString> text = TryUtf16Z(FOffset);
    if (!text) Fail(FOffset, Remaining(), what);
    FOffset += 2 * (int64_t(text->size()) + 1);
    return *text;
}
