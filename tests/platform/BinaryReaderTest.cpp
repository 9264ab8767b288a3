#include "platform/BinaryReader.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const QByteArray Sample = QByteArray::fromHex("0102 0304 0506 0708 4100 4200 0000 6869 00");

TEST(BinaryReader, ReadsLittleEndianFieldsAtTheCursor)
{
    TBinaryReader r(Sample);
    EXPECT_EQ(r.ReadU8(), 0x01);
    EXPECT_EQ(r.ReadU16(), 0x0302);
    EXPECT_EQ(r.ReadU32(), 0x07060504u);
    EXPECT_EQ(r.Offset(), 7);
    r.Seek(0);
    EXPECT_EQ(r.ReadU64(), 0x0807060504030201ull);
    EXPECT_EQ(r.ReadUtf16Z(), QStringLiteral("AB"));
    EXPECT_EQ(r.Offset(), 14);
    EXPECT_EQ(*r.TryAnsiZ(14), QByteArray("hi"));
}

TEST(BinaryReader, EveryReadPastTheWindowFailsWithoutTouchingMemoryOutside)
{
    TBinaryReader whole(Sample);
    const TBinaryReader window = whole.Sub(4, 4); // 05 06 07 08
    EXPECT_EQ(window.U32(0), 0x08070605u);
    EXPECT_FALSE(window.TryU32(1));
    EXPECT_FALSE(window.TryU16(3));
    EXPECT_FALSE(window.TryU8(4));
    EXPECT_FALSE(window.TryU8(-1));
    EXPECT_FALSE(window.TrySub(2, 3));
    EXPECT_FALSE(window.TryUtf16Z(0)); // no terminator inside the window
    EXPECT_FALSE(window.TryAnsiZ(0));
    EXPECT_THROW(window.Bytes(1, 4), EBinaryReadError);
    // Offsets near the integer limits must not wrap into the window.
    const int64_t huge = std::numeric_limits<int64_t>::max();
    EXPECT_FALSE(window.Has(huge, 2));
    EXPECT_FALSE(window.Has(2, huge));
    EXPECT_FALSE(window.TrySub(1, huge));
}

TEST(BinaryReader, ErrorsNameTheStructureAndItsOffsetInTheFile)
{
    const TBinaryReader window = TBinaryReader(Sample).Sub(8, 6);
    try {
        window.U32(4, "The record header");
        FAIL() << "no error";
    } catch (const EBinaryReadError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("The record header at offset 12 (4 bytes) runs past the end of the data."));
    }
    TBinaryReader cursor = window;
    cursor.Skip(6);
    EXPECT_TRUE(cursor.AtEnd());
    EXPECT_THROW(cursor.ReadU8(), EReadError);
    EXPECT_THROW(cursor.Skip(1), EBinaryReadError);
    EXPECT_THROW(cursor.Seek(7), EBinaryReadError);
}

TEST(BinaryReader, Utf16TextKeepsEveryUnitAsStored)
{
    // A leading U+FEFF is a character of the text, not a byte-order mark to drop.
    const QByteArray bytes = QByteArray::fromHex("fffe 4100 feff");
    const TBinaryReader r(bytes);
    const QChar expected[] = {QChar(0xFEFF), QChar(u'A'), QChar(0xFFFE)};
    EXPECT_EQ(r.Utf16(0, 3), QString(expected, 3));
    EXPECT_EQ(r.Utf16(4, 1), QString(QChar(0xFFFE)));
    EXPECT_THROW(r.Utf16(2, 3), EBinaryReadError);
    EXPECT_THROW(r.Utf16(0, -1), EBinaryReadError);
}

TEST(BinaryReader, AlignStaysInsideTheWindow)
{
    TBinaryReader r(Sample.left(10));
    r.Skip(1);
    r.Align(4);
    EXPECT_EQ(r.Offset(), 4);
    r.Skip(5);
    r.Align(4);
    EXPECT_EQ(r.Offset(), 10); // padding left out at the end of the data
}

} // namespace
