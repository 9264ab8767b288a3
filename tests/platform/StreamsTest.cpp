#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values) result.append(static_cast<char>(v));
    return result;
}

// Reads the whole stream back through its own interface, leaving the position at the end.
QByteArray Contents(TStream& stream)
{
    stream.SetPosition(0);
    return stream.ReadBytes(stream.Size());
}

QByteArray FileContents(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    return file.readAll();
}

void WriteFile(const QString& fileName, const QByteArray& data)
{
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(data), data.size());
}

template <typename E, typename F>
QString MessageOf(F&& action)
{
    try {
        action();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

// ---------------------------------------------------------------------------------------------------
// Behaviour every writable stream shares, run against each kind.

struct StreamKind {
    const char* Name;
    std::function<std::unique_ptr<TStream>(const QByteArray& initial, const QString& dir)> Make;
};

const StreamKind StreamKinds[] = {
    {"Memory",
     [](const QByteArray& initial, const QString&) -> std::unique_ptr<TStream> {
         auto s = std::make_unique<TMemoryStream>();
         s->WriteBytes(initial);
         s->SetPosition(0);
         return s;
     }},
    {"Bytes",
     [](const QByteArray& initial, const QString&) -> std::unique_ptr<TStream> {
         return std::make_unique<TBytesStream>(initial);
     }},
    {"File",
     [](const QByteArray& initial, const QString& dir) -> std::unique_ptr<TStream> {
         const QString name = dir + QStringLiteral("/stream.bin");
         WriteFile(name, initial);
         return std::make_unique<TFileStream>(name, fmOpenReadWrite);
     }},
};

void PrintTo(const StreamKind& kind, std::ostream* os) { *os << kind.Name; }

class StreamsCommon : public testing::TestWithParam<StreamKind> {
protected:
    std::unique_ptr<TStream> Make(const QByteArray& initial) { return GetParam().Make(initial, FDir.path()); }
    QTemporaryDir FDir;
};

TEST_P(StreamsCommon, ReadIsShortAtTheEndAndEmptyPastIt)
{
    auto s = Make("0123456789");
    char buf[16] = {};

    s->SetPosition(7);
    EXPECT_EQ(s->Read(buf, 10), 3);
    EXPECT_EQ(QByteArray(buf, 3), "789");
    EXPECT_EQ(s->Position(), 10);
    EXPECT_EQ(s->Read(buf, 10), 0);

    EXPECT_EQ(s->Seek(5, soEnd), 15);
    EXPECT_EQ(s->Read(buf, 4), 0);
    EXPECT_EQ(s->Position(), 15);
    EXPECT_EQ(s->Size(), 10) << "seeking past the end must not grow the stream";
}

TEST_P(StreamsCommon, ReadBufferRaisesWhenShort)
{
    auto s = Make("abc");
    char buf[4];
    s->SetPosition(1);
    EXPECT_EQ(MessageOf<EReadError>([&] { s->ReadBuffer(buf, 3); }), "Stream read error");

    s->SetPosition(10);
    EXPECT_THROW(s->ReadByte(), EReadError);
    EXPECT_NO_THROW(s->ReadBuffer(buf, 0));
}

TEST_P(StreamsCommon, SeekFromEachOrigin)
{
    auto s = Make("0123456789");
    EXPECT_EQ(s->Seek(4, soBeginning), 4);
    EXPECT_EQ(s->Seek(3, soCurrent), 7);
    EXPECT_EQ(s->Seek(-2, soCurrent), 5);
    EXPECT_EQ(s->Seek(-1, soEnd), 9);
    EXPECT_EQ(s->ReadByte(), '9');
}

TEST_P(StreamsCommon, NegativeSeekRaisesAndKeepsPosition)
{
    const struct {
        int64_t Offset;
        TSeekOrigin Origin;
    } cases[] = {{-1, soBeginning}, {-5, soCurrent}, {-11, soEnd}};
    for (const auto& c : cases) {
        auto s = Make("0123456789");
        s->SetPosition(4);
        EXPECT_THROW(s->Seek(c.Offset, c.Origin), EStreamError) << "origin " << c.Origin;
        EXPECT_EQ(s->Position(), 4);
    }
    auto s = Make("0123456789");
    EXPECT_THROW(s->SetPosition(-1), EStreamError);
    EXPECT_EQ(s->Seek(-10, soEnd), 0) << "the start itself is reachable";
}

TEST_P(StreamsCommon, WritePastTheEndFillsTheGapWithZeros)
{
    auto s = Make("abc");
    s->SetPosition(6);
    s->WriteByte('Z');
    EXPECT_EQ(s->Position(), 7);
    EXPECT_EQ(s->Size(), 7);
    EXPECT_EQ(Contents(*s), QByteArray("abc\0\0\0Z", 7));
}

TEST_P(StreamsCommon, WritesInPlaceAndExtends)
{
    auto s = Make("abcdef");
    s->SetPosition(2);
    s->WriteBytes("XY");
    EXPECT_EQ(s->Position(), 4);
    EXPECT_EQ(s->ReadByte(), 'e') << "reading continues after the written bytes";
    s->SetPosition(5);
    s->WriteBytes("123");
    EXPECT_EQ(Contents(*s), "abXYe123");
}

TEST_P(StreamsCommon, LittleEndianFields)
{
    auto s = Make({});
    s->WriteByte(0x01);
    s->WriteWord(0x0302);
    s->WriteDWord(0x07060504);
    s->WriteQWord(0x0F0E0D0C0B0A0908ull);
    s->WriteQWord(0xFFFFFFFF80000000ull);
    EXPECT_EQ(Contents(*s), Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 0, 0, 0x80, 0xFF,
                                   0xFF, 0xFF, 0xFF}));

    s->SetPosition(0);
    EXPECT_EQ(s->ReadByte(), 0x01);
    EXPECT_EQ(s->ReadWord(), 0x0302);
    EXPECT_EQ(s->ReadDWord(), 0x07060504u);
    EXPECT_EQ(s->ReadQWord(), 0x0F0E0D0C0B0A0908ull);
    EXPECT_EQ(s->ReadQWord(), 0xFFFFFFFF80000000ull) << "high bytes must not sign-extend";

    const struct {
        int64_t Remaining;
        std::function<void(TStream&)> Read;
    } shortReads[] = {
        {1, [](TStream& t) { t.ReadWord(); }},
        {3, [](TStream& t) { t.ReadDWord(); }},
        {7, [](TStream& t) { t.ReadQWord(); }},
    };
    for (const auto& c : shortReads) {
        s->Seek(-c.Remaining, soEnd);
        EXPECT_THROW(c.Read(*s), EReadError) << c.Remaining << " bytes left";
    }
}

TEST_P(StreamsCommon, ReadBytesTakesWhatIsLeft)
{
    auto s = Make("0123456789");
    s->SetPosition(6);
    // A corrupt length field must not turn into an allocation of its size.
    EXPECT_EQ(s->ReadBytes(std::numeric_limits<int64_t>::max()), "6789");
    EXPECT_EQ(s->ReadBytes(int64_t(1) << 40), QByteArray());
    s->SetPosition(2);
    EXPECT_EQ(s->ReadBytes(3), "234");
    EXPECT_EQ(s->Position(), 5);
    EXPECT_EQ(s->ReadBytes(0), QByteArray());
    EXPECT_EQ(s->ReadBytes(-4), QByteArray());
    EXPECT_EQ(s->Position(), 5);
    s->SetPosition(50);
    EXPECT_EQ(s->ReadBytes(10), QByteArray());
}

TEST_P(StreamsCommon, SetSizeTruncatesAndClampsThePosition)
{
    auto s = Make("0123456789");
    s->SetPosition(8);
    s->SetSize(4);
    EXPECT_EQ(s->Size(), 4);
    EXPECT_EQ(s->Position(), 4);
    s->SetSize(6);
    EXPECT_EQ(s->Position(), 4) << "growing leaves the position alone";
    EXPECT_EQ(Contents(*s), QByteArray("0123\0\0", 6));
}

INSTANTIATE_TEST_SUITE_P(Streams, StreamsCommon, testing::ValuesIn(StreamKinds),
                         [](const testing::TestParamInfo<StreamKind>& info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------------

TEST(StreamsCopyFrom, CountZeroCopiesTheWholeSourceFromItsStart)
{
    TBytesStream source("0123456789");
    source.SetPosition(7);
    TMemoryStream dest;
    dest.WriteBytes("ab");
    EXPECT_EQ(dest.CopyFrom(source, 0), 10);
    EXPECT_EQ(dest.ToByteArray(), "ab0123456789");
    EXPECT_EQ(source.Position(), 10);
    EXPECT_EQ(dest.Position(), 12);

    TMemoryStream empty;
    EXPECT_EQ(dest.CopyFrom(empty, 0), 0);
    EXPECT_EQ(dest.Size(), 12);
}

TEST(StreamsCopyFrom, CountCopiesFromTheSourcePosition)
{
    TBytesStream source("0123456789");
    source.SetPosition(3);
    TMemoryStream dest;
    EXPECT_EQ(dest.CopyFrom(source, 4), 4);
    EXPECT_EQ(dest.ToByteArray(), "3456");
    EXPECT_EQ(source.Position(), 7);

    EXPECT_THROW(dest.CopyFrom(source, 4), EReadError) << "only 3 bytes remain";
    EXPECT_THROW(dest.CopyFrom(source, -1), EReadError);
}

TEST(StreamsCopyFrom, SpansManyChunks)
{
    // Larger than one copy chunk and not a multiple of it.
    QByteArray data(200'003, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 31 + i / 251) & 0xFF);
    TBytesStream source(data);

    TMemoryStream whole;
    EXPECT_EQ(whole.CopyFrom(source, 0), data.size());
    EXPECT_EQ(whole.ToByteArray(), data);

    source.SetPosition(1);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(source, 150'000), 150'000);
    EXPECT_EQ(part.ToByteArray(), data.mid(1, 150'000));
}

TEST(StreamsCopyFrom, IntoAReadOnlyViewRaises)
{
    TBytesStream source("abc");
    const char memory[] = "xyz";
    TCustomMemoryStream dest(memory, 3);
    EXPECT_THROW(dest.CopyFrom(source, 0), EWriteError);
}

// ---------------------------------------------------------------------------------------------------

TEST(StreamsCustomMemory, ReadsForeignMemoryAndNeverWritesIt)
{
    char memory[] = {'h', 'e', 'l', 'l', 'o'};
    TCustomMemoryStream s(memory, sizeof memory);
    EXPECT_EQ(s.Memory(), reinterpret_cast<const uint8_t*>(memory));
    EXPECT_EQ(s.Size(), 5);
    EXPECT_EQ(s.ReadBytes(10), "hello");

    s.SetPosition(1);
    EXPECT_EQ(s.Write("XY", 2), 0);
    EXPECT_EQ(s.Position(), 1);
    EXPECT_EQ(MessageOf<EWriteError>([&] { s.WriteWord(0x4141); }), "Stream write error");
    s.SetPosition(8);
    EXPECT_EQ(s.Write("XY", 2), 0);
    EXPECT_EQ(s.Size(), 5);
    EXPECT_EQ(QByteArray(memory, 5), "hello");
    EXPECT_THROW(s.SetSize(2), EStreamError);
}

TEST(StreamsCustomMemory, SetPointerAndEmptyViews)
{
    const char a[] = "abcdef";
    TCustomMemoryStream s;
    EXPECT_EQ(s.Size(), 0);
    char b;
    EXPECT_EQ(s.Read(&b, 1), 0);

    s.SetPointer(a, 6);
    EXPECT_EQ(s.ReadBytes(6), "abcdef");
    s.SetPointer(nullptr, 10);
    EXPECT_EQ(s.Size(), 0) << "no memory means no data, whatever the size";
    s.SetPointer(a, -3);
    EXPECT_EQ(s.Size(), 0);
}

TEST(StreamsCustomMemory, SaveToStream)
{
    const char a[] = "abcdef";
    TCustomMemoryStream s(a, 6);
    s.SetPosition(4);
    TMemoryStream dest;
    dest.WriteBytes("<");
    s.SaveToStream(dest);
    EXPECT_EQ(dest.ToByteArray(), "<abcdef") << "the whole view, not from the position";
}

// ---------------------------------------------------------------------------------------------------

TEST(StreamsMemory, ManySmallWritesKeepEveryByte)
{
    TMemoryStream s;
    const int count = 100'000;
    for (int i = 0; i < count; ++i) s.WriteWord(static_cast<uint16_t>(i * 7));
    EXPECT_EQ(s.Size(), 2 * count);
    s.SetPosition(0);
    for (int i = 0; i < count; ++i) {
        const uint16_t word = s.ReadWord();
        if (word != static_cast<uint16_t>(i * 7)) {
            ADD_FAILURE() << "word " << i << " reads " << word;
            break;
        }
    }
}

TEST(StreamsMemory, GapsAndGrowthNeverExposeStaleBytes)
{
    // Shrinking keeps the old bytes in the buffer; growing or writing past the end must not reveal them.
    TMemoryStream s;
    s.WriteBytes(QByteArray(16, '\xFF'));

    s.SetSize(2);
    s.SetSize(5);
    EXPECT_EQ(s.ToByteArray(), Bytes({0xFF, 0xFF, 0, 0, 0}));

    s.SetSize(2);
    s.SetPosition(6);
    s.WriteByte(0x11);
    EXPECT_EQ(s.ToByteArray(), Bytes({0xFF, 0xFF, 0, 0, 0, 0, 0x11}));
}

TEST(StreamsMemory, SetSizeRejectsNegative)
{
    TMemoryStream s;
    s.WriteBytes("abc");
    EXPECT_THROW(s.SetSize(-1), EStreamError);
    EXPECT_EQ(s.ToByteArray(), "abc");
}

TEST(StreamsMemory, ClearEmptiesAndStaysUsable)
{
    TMemoryStream s;
    s.WriteBytes("abcdef");
    s.Clear();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(s.ToByteArray(), QByteArray());
    s.WriteBytes("xy");
    EXPECT_EQ(s.ToByteArray(), "xy");
}

TEST(StreamsMemory, LoadFromStreamTakesTheWholeSource)
{
    TBytesStream source("0123456789");
    source.SetPosition(6);
    TMemoryStream s;
    s.WriteBytes("previous contents, longer than the source");
    s.LoadFromStream(source);
    EXPECT_EQ(s.ToByteArray(), "0123456789");
    EXPECT_EQ(s.Position(), 0);
}

TEST(StreamsMemory, SaveAndLoadFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("saved.bin"));
    const QByteArray data = Bytes({0, 1, 2, 0xFE, 0xFF, 0});

    TBytesStream out(data);
    out.SaveToFile(name);
    EXPECT_EQ(FileContents(name), data);

    TMemoryStream in;
    in.LoadFromFile(name);
    EXPECT_EQ(in.ToByteArray(), data);

    EXPECT_THROW(in.LoadFromFile(dir.filePath(QStringLiteral("missing.bin"))), EFOpenError);
}

// ---------------------------------------------------------------------------------------------------

TEST(StreamsBytes, BytesIsExactlyTheContents)
{
    QByteArray original("hello");
    TBytesStream s(original);
    EXPECT_EQ(s.Bytes(), "hello");
    EXPECT_EQ(s.Position(), 0);

    s.SetPosition(5);
    s.WriteBytes(" world");
    EXPECT_EQ(s.Bytes(), "hello world");
    EXPECT_EQ(s.Bytes().size(), s.Size()) << "no spare capacity may leak into the bytes";

    s.SetSize(4);
    EXPECT_EQ(s.Bytes(), "hell");
    s.SetSize(6);
    EXPECT_EQ(s.Bytes(), QByteArray("hell\0\0", 6));

    s.SetPosition(0);
    s.WriteByte('H');
    EXPECT_EQ(original, "hello") << "the stream keeps its own copy";
}

TEST(StreamsBytes, Empty)
{
    TBytesStream s{QByteArray()};
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Bytes(), QByteArray());
    s.WriteDWord(0x64636261);
    EXPECT_EQ(s.Bytes(), "abcd");
}

// ---------------------------------------------------------------------------------------------------

class StreamsFile : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    QString Path(const char* name) const { return FDir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir FDir;
};

TEST_F(StreamsFile, CreateMakesANewFile)
{
    const QString name = Path("new.bin");
    {
        TFileStream s(name, fmCreate);
        EXPECT_EQ(s.Size(), 0);
        EXPECT_EQ(s.FileName(), name);
        s.WriteBytes("abc");
    }
    EXPECT_EQ(FileContents(name), "abc");
}

TEST_F(StreamsFile, CreateTruncatesAnExistingFile)
{
    const QString name = Path("old.bin");
    WriteFile(name, "previous contents");
    {
        TFileStream s(name, fmCreate);
        EXPECT_EQ(s.Size(), 0);
        s.WriteBytes("new");
    }
    EXPECT_EQ(FileContents(name), "new");
}

TEST_F(StreamsFile, CreateInAMissingFolderRaises)
{
    const QString name = Path("no/such/folder/new.bin");
    const QString message = MessageOf<EFCreateError>([&] { TFileStream s(name, fmCreate); });
    EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot create file"))) << message.toStdString();
}

TEST_F(StreamsFile, OpeningAMissingFileRaisesAndCreatesNothing)
{
    const QString name = Path("missing.bin");
    for (uint32_t mode : {uint32_t(fmOpenRead), uint32_t(fmOpenWrite), uint32_t(fmOpenReadWrite),
                          uint32_t(fmOpenRead | fmShareDenyNone)}) {
        const QString message = MessageOf<EFOpenError>([&] { TFileStream s(name, mode); });
        EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot open file"))) << "mode " << mode << ": " << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("missing.bin"))) << message.toStdString();
        EXPECT_FALSE(QFile::exists(name)) << "mode " << mode;
    }
}

TEST_F(StreamsFile, OpeningAFolderRaises)
{
    EXPECT_THROW(TFileStream(FDir.path(), fmOpenRead), EFOpenError);
}

TEST_F(StreamsFile, OpenReadReadsAndRefusesWrites)
{
    const QString name = Path("data.bin");
    WriteFile(name, "abcdef");
    {
        TFileStream s(name, fmOpenRead | fmShareDenyNone);
        EXPECT_EQ(s.Size(), 6);
        EXPECT_EQ(s.ReadBytes(100), "abcdef");
        s.SetPosition(0);
        EXPECT_THROW(s.WriteBytes("XY"), EWriteError);
        s.SetPosition(10);
        EXPECT_THROW(s.WriteBytes("XY"), EWriteError);
    }
    EXPECT_EQ(FileContents(name), "abcdef");
}

TEST_F(StreamsFile, ReadWriteChangesTheFileInPlace)
{
    const QString name = Path("data.bin");
    WriteFile(name, "abcdefgh");
    {
        TFileStream s(name, fmOpenReadWrite);
        EXPECT_EQ(s.Size(), 8) << "opening for writing keeps the bytes";
        s.SetPosition(2);
        s.WriteBytes("XY");
        EXPECT_EQ(s.ReadBytes(2), "ef") << "a read after a write sees the file, not a stale buffer";
        s.WriteBytes("Z");
        EXPECT_EQ(s.Size(), 8);
    }
    EXPECT_EQ(FileContents(name), "abXYefZh");
}

TEST_F(StreamsFile, OpenWriteKeepsTheOtherBytes)
{
    const QString name = Path("data.bin");
    WriteFile(name, "abcdef");
    {
        TFileStream s(name, fmOpenWrite);
        s.Seek(-1, soEnd);
        s.WriteBytes("!");
    }
    EXPECT_EQ(FileContents(name), "abcde!");
}

TEST_F(StreamsFile, WritingPastTheEndExtendsTheFile)
{
    const QString name = Path("data.bin");
    WriteFile(name, "abc");
    {
        TFileStream s(name, fmOpenReadWrite);
        EXPECT_EQ(s.Seek(3, soEnd), 6);
        EXPECT_EQ(s.Size(), 3);
        s.WriteWord(0x5958);
        EXPECT_EQ(s.Size(), 8);
    }
    EXPECT_EQ(FileContents(name), QByteArray("abc\0\0\0XY", 8));
}

TEST_F(StreamsFile, SetSizeTruncatesOnDisk)
{
    const QString name = Path("data.bin");
    WriteFile(name, "0123456789");
    {
        TFileStream s(name, fmOpenReadWrite);
        s.SetPosition(9);
        s.SetSize(3);
        EXPECT_EQ(s.Position(), 3);
        s.WriteBytes("x");
        EXPECT_THROW(s.SetSize(-1), EStreamError);
    }
    EXPECT_EQ(FileContents(name), "012x");
}

} // namespace
