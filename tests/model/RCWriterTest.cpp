// RC script writing: literals and data blocks as the resource compilers read them, item header lines,
// the item writer registry, whole scripts, header files and the files written beside a script.
#include "TestKinds.h"
#include "model/koResourceItemSymbols.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Raw bytes that hide themselves like design-time data.
class THiddenTestItem : public TResourceItemGenericPersistable {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(THiddenTestItem, TResourceItemGenericPersistable)

public:
    explicit THiddenTestItem(const TResourceIdent& name) : TResourceItemGenericPersistable(TResourceIdent("THIDDEN"), name) {}

protected:
    bool GetHidden() const override { return true; }
};

// A kind that saves itself to a file type of its own; its file form differs from its resource data.
class TIconLikeItem : public TResourceItemGenericPersistable {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TIconLikeItem, TResourceItemGenericPersistable)

public:
    explicit TIconLikeItem(const TResourceIdent& name) : TResourceItemGenericPersistable(Ord(RT_GROUP_ICON), name) {}
    void SaveToFileStream(TStream& stream) override
    {
        stream.WriteBytes(QByteArray("FILE:"));
        SaveToStream(stream);
    }
};

// Writes nested blocks so the layout operations can be seen; handles items of type "PROBE".
class TProbeWriter : public TCustomRCItemWriter {
    RC_ITEM_WRITER_CLASS(TProbeWriter, TCustomRCItemWriter)

public:
    using TCustomRCItemWriter::TCustomRCItemWriter;
    using TCustomRCItemWriter::EndBlock;
    using TCustomRCItemWriter::PadText;
    static bool Handles(TCustomResourceItem* Item) { return Item->ResourceType() == TResourceIdent("PROBE"); }
    void SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool) override
    {
        WriteItem(Encoder, Item, QStringLiteral(" // probe"));
        BeginBlock(&Encoder);
        BeginBlock(&Encoder);
        WriteText(Encoder, QStringLiteral("x"));
        WriteLine(Encoder, QStringLiteral(","), false);
        EndBlock(&Encoder);
        BeginBlock(nullptr);
        WriteLine(Encoder, QStringLiteral("deeper"));
        EndBlock(nullptr);
        EndBlock(&Encoder, true, false);
    }
};

class TLaterProbeWriter : public TProbeWriter {
    RC_ITEM_WRITER_CLASS(TLaterProbeWriter, TProbeWriter)

public:
    using TProbeWriter::TProbeWriter;
};

const QString Rule(78, QLatin1Char('/'));

// Expected script text: lines end with CR LF, "<rule>" stands for the 78 slashes of a banner.
QString Lines(const char* text)
{
    QString result = QString::fromUtf8(text);
    result.replace(QLatin1String("<rule>"), Rule);
    result.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return result;
}

enum class TEncoderKind { Ansi, Unicode };

std::unique_ptr<TRCEncoder> MakeEncoder(TEncoderKind kind, TStream& stream)
{
    if (kind == TEncoderKind::Ansi) return std::make_unique<TRCAnsiEncoder>(stream, 1252);
    return std::make_unique<TRCUnicodeEncoder>(stream);
}

// Script bytes as text: ANSI as Latin-1 (the tests write ASCII), Unicode as UTF-16 LE.
QString Decode(TEncoderKind kind, const QByteArray& bytes)
{
    if (kind == TEncoderKind::Ansi) return QString::fromLatin1(bytes);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

QByteArray Utf16(const QString& text) { return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2); }

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

template <class TItem = TResourceItemGeneric>
TItem* AddItem(TCustomResourceModule& module, const TResourceIdent& type, const TResourceIdent& name, uint16_t language,
               const QByteArray& data)
{
    auto* item = new TItem(name);
    item->SetResourceType(type);
    item->SetLanguage(language);
    TBytesStream stream(data);
    item->LoadFromStream(stream, data.size());
    module.Items()->Add(item);
    return item;
}

QByteArray ItemBytes(TCustomResourceItem* item)
{
    TMemoryStream data;
    item->SaveToStream(data);
    return data.ToByteArray();
}

// Restores the previous folder prompt when the test ends.
class TPromptScope {
public:
    explicit TPromptScope(TDirectoryPromptHook hook) : FPrevious(SetDirectoryPromptHook(std::move(hook))) {}
    ~TPromptScope() { SetDirectoryPromptHook(std::move(FPrevious)); }

private:
    TDirectoryPromptHook FPrevious;
};

class RCWriter : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceModuleRC_Initialize();
        ASSERT_TRUE(FDir.isValid());
        Path = FDir.path() + QLatin1Char('/');
    }
    void TearDown() override
    {
        koResourceModuleRC_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }

    QString Script(TCustomResourceModule& module, const QString& encoding = {})
    {
        TBytesStream out;
        Writer.SaveToStream(&module, out, encoding, Path);
        return QString::fromLatin1(out.Bytes());
    }

    // One item as its writer (the one the registry picks) writes it.
    QString ItemText(TCustomResourceItem* item, bool saveExternals = false, bool symbolic = false)
    {
        TBytesStream out;
        TRCAnsiEncoder encoder(out, 1252);
        TRCItemWriterClass writerClass = RCItemWriterDatabase()->Find(item);
        EXPECT_NE(writerClass, nullptr);
        if (!writerClass) return {};
        std::unique_ptr<TCustomRCItemWriter> writer = writerClass->Create(Path);
        writer->SetSymbolicValues(symbolic);
        writer->SaveToStream(encoder, item, saveExternals);
        return QString::fromLatin1(out.Bytes());
    }

    QTemporaryDir FDir;
    QString Path;
    TResourceModuleWriterRC Writer;
};

// Literals

struct TEscapeCase {
    TEncoderKind Encoder;
    QString Text;
    bool Quote;
    const char* Expected;
};

TEST(RCWriterEscape, LiteralsAsCompilersReadThem)
{
    const QChar zhe(0x0416);
    const TEscapeCase cases[] = {
        {TEncoderKind::Ansi, QStringLiteral("a\"b\\c"), true, R"("a""b\\c")"},
        {TEncoderKind::Unicode, QStringLiteral("a\"b\\c"), true, R"("a""b\\c")"},
        {TEncoderKind::Ansi, QStringLiteral("a\"b"), false, R"(a""b)"},
        // Characters of 256 and above: a wide literal in ANSI text, the character itself in UTF-16 text.
        {TEncoderKind::Ansi, QString(zhe), true, R"(L"\x0416")"},
        {TEncoderKind::Unicode, QString(zhe), true, "\"\xD0\x96\""},
        // Characters 128 to 255 are wide too, so the reader's code page cannot change them.
        {TEncoderKind::Ansi, QString(QChar(0xE9)), true, R"(L"\x00E9")"},
        {TEncoderKind::Ansi, QStringLiteral("A") + QChar(0xE9), false, R"(A\x00E9)"},
        {TEncoderKind::Ansi, QStringLiteral("\x08"), true, R"("\a")"},
        {TEncoderKind::Ansi, QStringLiteral("\x07"), true, R"("\x07")"},
        // Four hex digits are one character only in a wide literal.
        {TEncoderKind::Unicode, QStringLiteral("\x07"), true, R"(L"\x0007")"},
        {TEncoderKind::Unicode, QString(QChar(0xE000)), true, R"(L"\xE000")"},
        {TEncoderKind::Unicode, QString(QChar(0x85)), true, R"(L"\x0085")"},
        {TEncoderKind::Ansi, QStringLiteral("\t\n\r"), true, R"("\t\n\r")"},
        {TEncoderKind::Ansi, QStringLiteral("a") + QChar(0), true, R"("a\0")"},
        // "\01" would be read as one octal escape.
        {TEncoderKind::Ansi, QString(QChar(0)) + QStringLiteral("1"), true, R"("\x001")"},
        {TEncoderKind::Ansi, QString(QChar(0)) + QStringLiteral("8"), true, R"("\08")"},
        {TEncoderKind::Ansi, QStringLiteral("\x1F") + QStringLiteral("F"), true, R"("\x1FF")"},
        {TEncoderKind::Ansi, QStringLiteral("~ !#[]"), true, R"("~ !#[]")"},
        {TEncoderKind::Ansi, QString(), true, R"("")"},
    };
    for (const TEscapeCase& c : cases) {
        TBytesStream out;
        std::unique_ptr<TRCEncoder> encoder = MakeEncoder(c.Encoder, out);
        EXPECT_EQ(encoder->Escape(c.Text, c.Quote), QString::fromUtf8(c.Expected))
            << "text " << c.Text.toStdString() << " encoder " << int(c.Encoder);
        EXPECT_EQ(out.Size(), 0) << "escaping writes nothing";
    }
}

TEST(RCWriterEscape, LongLiteralsContinueOnTheNextLineAbout4000Characters)
{
    TBytesStream out;
    TRCAnsiEncoder encoder(out, 1252);
    const QString text(9000, QLatin1Char('a'));
    const QString literal = encoder.Escape(text, true);
    const QStringList parts = literal.split(QStringLiteral("\\\r\n"));
    ASSERT_EQ(parts.size(), 3) << "one break past 4000 characters, the next past 8000";
    EXPECT_EQ(parts[0].size(), 4000);
    EXPECT_LE(parts[0].size() + 3 + parts[1].size(), 8001);
    EXPECT_EQ(parts.join(QString()), QStringLiteral("\"") + text + QStringLiteral("\""));
}

TEST(RCWriterEncoder, AnsiAndUnicodeOutput)
{
    TBytesStream ansi;
    TRCAnsiEncoder ansiEncoder(ansi, 1252);
    ansiEncoder.WritePreamble();
    ansiEncoder.WriteString(QString());
    ansiEncoder.WriteLine(QStringLiteral("caf") + QChar(0xE9) + QChar(0x0416));
    EXPECT_EQ(ansi.Bytes(), QByteArray("caf\xE9?\r\n")) << "code page 1252, no preamble";

    TBytesStream cyrillic;
    TRCAnsiEncoder cyrillicEncoder(cyrillic, 1251);
    cyrillicEncoder.WriteString(QString(QChar(0x0416)));
    EXPECT_EQ(cyrillic.Bytes(), QByteArray("\xC6"));

    TBytesStream unicode;
    TRCUnicodeEncoder unicodeEncoder(unicode);
    unicodeEncoder.WritePreamble();
    unicodeEncoder.WriteLine(QString(QChar(0x0416)));
    EXPECT_EQ(unicode.Bytes(), QByteArray("\xFF\xFE\x16\x04\r\0\n\0", 8));
}

TEST_F(RCWriter, ItemStringDataStopsAtTheFirstZero)
{
    TResourceModule module;
    TResourceItemGeneric* item = AddItem(module, TResourceIdent("T"), Ord(1), 0, QByteArray("ab\xE9\0cd", 6));
    TBytesStream ansi;
    TRCAnsiEncoder ansiEncoder(ansi, 1252);
    ansiEncoder.WriteItemStringData(item);
    EXPECT_EQ(ansi.Bytes(), QByteArray("ab\xE9"));
    TBytesStream unicode;
    TRCUnicodeEncoder unicodeEncoder(unicode);
    unicodeEncoder.WriteItemStringData(item);
    EXPECT_EQ(unicode.Bytes(), QByteArray("a\0b\0\xE9\0", 6)) << "each byte one code unit";
}

TEST(RCWriterAnsiCodePage, IsASettingThatNewWritersTake)
{
    EXPECT_EQ(RCAnsiCodePage(), 1252u);
    SetRCAnsiCodePage(1251);
    TResourceModuleWriterRC writer;
    EXPECT_EQ(writer.AnsiCodePage(), 1251u);
    SetRCAnsiCodePage(1252);
    EXPECT_THROW(SetRCAnsiCodePage(12345), EConvertError);
    EXPECT_EQ(RCAnsiCodePage(), 1252u);
}

// Data blocks

struct TDataCase {
    const char* Name;
    TEncoderKind Encoder;
    QByteArray Data;
    const char* Expected; // lines separated by "\n"
};

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values) result.append(static_cast<char>(v));
    return result;
}

TEST(RCWriterData, BlocksByContent)
{
    QByteArray seventeen;
    for (int i = 0; i < 17; ++i) seventeen.append(static_cast<char>(0x80 + i));
    const QByteArray text450(450, 'x');
    const QByteArray utf16Long = Utf16(QString(70, QLatin1Char('a')));
    const std::string line200(200, 'x');
    const std::string expected450 = "  \"" + line200 + "\",\n  \"" + line200 + "\",\n  \"" + std::string(50, 'x') + "\"";
    const std::string expected70 = "  L\"" + std::string(64, 'a') + "\",\n  L\"aaaaaa\"";
    const TDataCase cases[] = {
        // An odd last byte is a one-byte literal: as a word it would grow the data by a byte.
        {"three bytes", TEncoderKind::Ansi, Bytes({1, 2, 3}), R"(  0x0201, "\x03")"},
        {"three bytes, UTF-16 script", TEncoderKind::Unicode, Bytes({1, 2, 3}), R"(  0x0201, "\x03")"},
        {"odd printable byte", TEncoderKind::Ansi, Bytes({0xFF, 0xFE, '"'}), R"(  0xfeff, """")"},
        {"seventeen bytes", TEncoderKind::Ansi, seventeen,
         "  0x8180, 0x8382, 0x8584, 0x8786, 0x8988, 0x8b8a, 0x8d8c, 0x8f8e,\n  \"\\x90\""},
        {"even binary", TEncoderKind::Ansi, Bytes({0, 1, 2, 0}), "  0x0100, 0x0002"},
        {"lines", TEncoderKind::Ansi, QByteArray("a\r\nb"), "  \"a\\r\\n\",\n  \"b\""},
        {"lone CR and LF", TEncoderKind::Ansi, QByteArray("a\rb\nc"), "  \"a\\r\",\n  \"b\\n\",\n  \"c\""},
        {"trailing zeros", TEncoderKind::Ansi, QByteArray("abc\0\0", 5), R"(  "abc\0\0")"},
        {"quotes and backslashes", TEncoderKind::Ansi, QByteArray("say \"hi\"\\\t"), R"(  "say ""hi""\\\t")"},
        {"450 characters", TEncoderKind::Ansi, text450, expected450.c_str()},
        // UTF-16 text is always wide, whatever the encoder's prefix.
        {"UTF-16", TEncoderKind::Ansi, Utf16(QStringLiteral("Hi ") + QChar(0x0416) + QChar(0)), R"(  L"Hi \x0416\0")"},
        {"UTF-16, UTF-16 script", TEncoderKind::Unicode, Utf16(QStringLiteral("Hi ") + QChar(0x0416)),
         "  L\"Hi \xD0\x96\""},
        {"UTF-16 pieces of 64", TEncoderKind::Ansi, utf16Long, expected70.c_str()},
        {"empty", TEncoderKind::Ansi, QByteArray(), ""},
    };
    for (const TDataCase& c : cases) {
        TBytesStream out;
        std::unique_ptr<TRCEncoder> encoder = MakeEncoder(c.Encoder, out);
        TBytesStream source(c.Data);
        source.SetPosition(source.Size());
        TResourceModuleWriterRC::WriteData(*encoder, source, QStringLiteral("  "));
        QString expected = QString::fromUtf8(c.Expected);
        if (!expected.isEmpty()) expected += QLatin1Char('\n');
        expected.replace(QLatin1String("\n"), QLatin1String("\r\n"));
        EXPECT_EQ(Decode(c.Encoder, out.Bytes()), expected) << c.Name;
    }
}

TEST(RCWriterData, TextDetectionLooksAtTheStartButEveryByteIsKept)
{
    auto written = [](const QByteArray& data) {
        TBytesStream out;
        TRCAnsiEncoder encoder(out, 1252);
        TBytesStream source(data);
        TResourceModuleWriterRC::WriteData(encoder, source, QString());
        return QString::fromLatin1(out.Bytes());
    };
    // Text in the first 1024 bytes, then control bytes: still text, every byte an escape.
    const QString controls = written(QByteArray(1100, 'x') + QByteArray("\x01\x7F\0\0" "1\t", 6));
    EXPECT_TRUE(controls.endsWith(QStringLiteral("x\\x01\\x7F\\0\\0\",\r\n\"1\\t\"\r\n"))) << controls.right(60).toStdString();
    EXPECT_EQ(controls.count(QLatin1String("\r\n")), 7) << "200 + 200 + 200 + 200 + 200 + 104 bytes, then the rest";
    // A byte above 127 anywhere: words, since some compilers take no such byte in a narrow literal.
    const QString high = written(QByteArray(1100, 'x') + QByteArray("\x80\x01", 2) + QByteArray("y"));
    EXPECT_TRUE(high.startsWith(QStringLiteral("0x7878, 0x7878,"))) << high.left(40).toStdString();
    EXPECT_TRUE(high.endsWith(QStringLiteral("0x0180, \"y\"\r\n"))) << high.right(40).toStdString();
}

// Item writers

TEST_F(RCWriter, RegistryOrderAndFind)
{
    TRCItemWriterDatabase* database = RCItemWriterDatabase();
    ASSERT_EQ(database->Count(), 3);
    EXPECT_EQ(database->Items(0), TRCItemRcDataWriter::ClassInfo());
    EXPECT_EQ(database->Items(1), TRCItemExternalFileWriter::ClassInfo());
    EXPECT_EQ(database->Items(2), TRCItemBinaryWriter::ClassInfo());

    TResourceModule module;
    TResourceItemGeneric* rcdata = AddItem(module, Ord(RT_RCDATA), Ord(1), 0, "a");
    TResourceItemGeneric* bitmap = AddItem(module, Ord(RT_BITMAP), Ord(1), 0, "a");
    TResourceItemGeneric* named = AddItem(module, TResourceIdent("MYTYPE"), Ord(1), 0, "a");
    TResourceItemGeneric* withFile = AddItem(module, TResourceIdent("MYTYPE"), Ord(2), 0, "a");
    withFile->SetFilename(QStringLiteral("a.bin"));
    EXPECT_EQ(database->Find(rcdata), TRCItemRcDataWriter::ClassInfo());
    EXPECT_EQ(database->Find(bitmap), TRCItemBinaryWriter::ClassInfo()) << "no file type to save, so inline";
    EXPECT_EQ(database->Find(withFile), TRCItemExternalFileWriter::ClassInfo());
    EXPECT_EQ(database->Find(named), TRCItemBinaryWriter::ClassInfo());

    TResourceItemGeneric* probe = AddItem(module, TResourceIdent("PROBE"), Ord(1), 0, "a");
    TProbeWriter::ClassInfo()->Register(0);
    TLaterProbeWriter::ClassInfo()->Register(0);
    EXPECT_EQ(database->Items(0), TLaterProbeWriter::ClassInfo()) << "a later writer of equal priority comes first";
    EXPECT_EQ(database->Items(1), TProbeWriter::ClassInfo());
    EXPECT_EQ(database->Items(4), TRCItemBinaryWriter::ClassInfo());
    EXPECT_EQ(database->Find(probe), TLaterProbeWriter::ClassInfo());
    EXPECT_EQ(database->Find(rcdata), TRCItemRcDataWriter::ClassInfo());

    TProbeWriter::ClassInfo()->Register(2000);
    TProbeWriter::ClassInfo()->Unregister();
    TLaterProbeWriter::ClassInfo()->Unregister();
    ASSERT_EQ(database->Count(), 4) << "Unregister takes the first entry of the class only";
    EXPECT_EQ(database->Items(3), TProbeWriter::ClassInfo());
    EXPECT_EQ(database->Find(probe), TRCItemBinaryWriter::ClassInfo());
    TProbeWriter::ClassInfo()->Unregister();
    EXPECT_EQ(database->Count(), 3);
    EXPECT_THROW(database->Items(3), EListError);
    EXPECT_THROW(TCustomRCItemWriter::ClassInfo()->Create(Path), EAssertionFailed);
}

TEST_F(RCWriter, LayoutOperations)
{
    TResourceModule module;
    TResourceItemGeneric* probe = AddItem(module, TResourceIdent("PROBE"), TResourceIdent("P"), 0, "a");
    TBytesStream out;
    TRCAnsiEncoder encoder(out, 1252);
    TProbeWriter writer(Path);
    writer.SaveToStream(encoder, probe, false);
    EXPECT_EQ(QString::fromLatin1(out.Bytes()), Lines("P PROBE // probe\nBEGIN\n  BEGIN\n    x,\n  END\n    deeper\nEND\n"));
    EXPECT_EQ(writer.BlockLevel(), 0);
    EXPECT_THROW(writer.EndBlock(nullptr), EAssertionFailed);

    EXPECT_EQ(TProbeWriter::PadText(QStringLiteral("AB"), 5), QStringLiteral("AB   "));
    EXPECT_EQ(TProbeWriter::PadText(QStringLiteral("ABCDEF"), 3), QStringLiteral("ABCDEF "));
}

TEST_F(RCWriter, RcDataInlineGetsOptionalStatementsAndExternalGetsNone)
{
    TResourceModule module;
    TResourceItemGeneric* item = AddItem(module, Ord(RT_RCDATA), Ord(1), 0x0409, "hi");
    item->LocalID()->SetIdentifier(QStringLiteral("IDR_A"));
    item->SetCharacteristics(5);
    item->SetVersion(3);
    EXPECT_EQ(ItemText(item), Lines("IDR_A RCDATA\n"
                                    "  CHARACTERISTICS 0x00000005L\n"
                                    "  LANGUAGE 0x09,0x01 // English (United States)\n"
                                    "  VERSION 0x00000003L\n"
                                    "BEGIN\n"
                                    "  \"hi\"\n"
                                    "END\n"
                                    "\n"));
    item->SetCharacteristics(0);
    item->SetVersion(0);
    EXPECT_EQ(ItemText(item, false, true), Lines("IDR_A RCDATA\n"
                                                 "BEGIN\n"
                                                 "  \"hi\"\n"
                                                 "END\n"
                                                 "\n"));

    item->SetFilename(QStringLiteral("data\\a \"b\".bin"));
    item->SetCharacteristics(5);
    EXPECT_EQ(ItemText(item), Lines(R"(IDR_A RCDATA "data\\a ""b"".bin")" "\n"));
    EXPECT_FALSE(QFileInfo::exists(Path + QStringLiteral("data"))) << "no external files without SaveExternals";
    ItemText(item, true);
    EXPECT_EQ(ReadFile(Path + QStringLiteral("data/a \"b\".bin")), QByteArray("hi")) << "stored backslashes are folders";
}

TEST_F(RCWriter, BinaryWriterHeaders)
{
    TResourceModule module;
    TResourceItemGeneric* named = AddItem(module, TResourceIdent("MYTYPE"), TResourceIdent("MYDATA"), 0, Bytes({1, 2, 3}));
    EXPECT_EQ(ItemText(named), Lines("MYDATA MYTYPE\nBEGIN\n  0x0201, \"\\x03\"\nEND\n\n"));
    // Raw data of a standard type goes under the type's number: the keyword would ask for that
    // statement's own syntax (a menu, a dialog...).
    TResourceItemGeneric* menu = AddItem(module, Ord(RT_MENU), Ord(7), 0, "m");
    EXPECT_EQ(ItemText(menu), Lines("7 4\nBEGIN\n  \"m\"\nEND\n\n"));
    TResourceItemGeneric* user = AddItem(module, Ord(300), Ord(8), 0, QByteArray());
    EXPECT_EQ(ItemText(user), Lines("8 300\nBEGIN\nEND\n\n"));
}

TEST_F(RCWriter, ExternalFileNamedFromTypeNameLanguageAndFileType)
{
    TIconLikeItem::ClassInfo()->Register(0);
    TIconLikeItem::ClassInfo()->RegisterFileType(QStringLiteral("ico"), QStringLiteral("Icon"), {fcLoad, fcSave}, 0);
    TResourceModule module;
    auto* icon = AddItem<TIconLikeItem>(module, Ord(RT_GROUP_ICON), Ord(1), 0x0409, "data");
    icon->LocalID()->SetIdentifier(QStringLiteral("IDI_MAIN"));
    const QString script = Script(module);
    TIconLikeItem::ClassInfo()->Unregister();

    EXPECT_EQ(icon->Filename(), QStringLiteral("ICON_IDI_MAIN_0409.ico"));
    EXPECT_EQ(ReadFile(Path + QStringLiteral("ICON_IDI_MAIN_0409.ico")), QByteArray("FILE:data")) << "the file form";
    EXPECT_TRUE(script.contains(Lines("IDI_MAIN ICON \"ICON_IDI_MAIN_0409.ico\"\n"))) << script.toStdString();
}

// Compilers read raw data under a standard type's number as that type: bitmaps, icons, manifests...
// of kinds that save no file go inline with their own bytes (the file form could differ).
TEST_F(RCWriter, RawStandardTypesWithoutAFileTypeGoInline)
{
    TResourceModule module;
    const uint16_t types[] = {RT_CURSOR, RT_BITMAP, RT_ICON, RT_FONTDIR, RT_FONT, RT_MESSAGETABLE, RT_GROUP_CURSOR,
                              RT_GROUP_ICON, RT_ANICURSOR, RT_ANIICON, RT_HTML, RT_MANIFEST};
    for (uint16_t type : types) {
        TResourceItemGeneric* item = AddItem(module, Ord(type), Ord(5), 0x0409, Bytes({0x42, 0x4D, 1}));
        EXPECT_EQ(ItemText(item), Lines(QStringLiteral("5 %1\nBEGIN\n  0x4d42, \"\\x01\"\nEND\n\n").arg(type).toUtf8().constData()))
            << type;
        EXPECT_TRUE(item->Filename().isEmpty()) << type;
    }
    const QString script = Script(module);
    EXPECT_TRUE(script.contains(Lines("// BITMAP : Bitmap\n//\n\n5 2\nBEGIN\n")))
        << script.toStdString();
    EXPECT_EQ(QDir(Path).entryList(QDir::Files), QStringList()) << "no file beside the script";

    // Called directly for an item without a file name or a file type, the file writer still refuses.
    TRCItemExternalFileWriter writer(Path);
    TBytesStream out;
    TRCAnsiEncoder encoder(out, 1252);
    try {
        writer.SaveToStream(encoder, module.Find(Ord(RT_BITMAP)), true);
        FAIL() << "a bitmap without a file cannot be written as a file";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("External Bitmap file required for the #5 resource item and no file writer has been registered"));
    }
}

TEST(RCWriterFileNames, PartsStayInTheirFolderOnEveryFileSystem)
{
    const struct {
        QString Text;
        const char* Part;
    } cases[] = {
        {QStringLiteral("IDI_MAIN-2"), "IDI_MAIN-2"},
        {QStringLiteral("../../etc/passwd"), "%2E%2E%2F%2E%2E%2Fetc%2Fpasswd"},
        {QStringLiteral("..\\..\\WIN.INI"), "%2E%2E%5C%2E%2E%5CWIN%2EINI"},
        {QStringLiteral(".."), "%2E%2E"},
        {QStringLiteral("CON"), "CON"}, // never a whole file name: the type comes first
        {QStringLiteral("A:B*C?D<E>F|G\""), "A%3AB%2AC%3FD%3CE%3EF%7CG%22"},
        {QStringLiteral("tab\there\r\n") + QChar(0), "tab%09here%0D%0A%00"},
        {QStringLiteral("A B."), "A%20B%2E"},
        {QStringLiteral("100%"), "100%25"},
        {QString(QChar(0xC4)) + QChar(0x65E5), "%C3%84%E6%97%A5"},
    };
    for (const auto& c : cases) EXPECT_EQ(RCFileNamePart(c.Text), QString::fromLatin1(c.Part)) << c.Text.toStdString();

    const QString longA = RCFileNamePart(QString(300, QLatin1Char('A')));
    const QString longB = RCFileNamePart(QString(299, QLatin1Char('A')) + QLatin1Char('B'));
    EXPECT_EQ(longA.size(), 96);
    EXPECT_TRUE(longA.startsWith(QString(87, QLatin1Char('A')) + QLatin1Char('~'))) << longA.toStdString();
    EXPECT_NE(longA, longB) << "cut names stay apart";
}

TEST_F(RCWriter, ExternalFilesOfHostileNamesStayInTheFolderAndApart)
{
    TIconLikeItem::ClassInfo()->Register(0);
    TIconLikeItem::ClassInfo()->RegisterFileType(QStringLiteral("ico"), QStringLiteral("Icon"), {fcLoad, fcSave}, 0);
    ASSERT_TRUE(QDir(Path).mkpath(QStringLiteral("out")));
    const QString out = Path + QStringLiteral("out/");
    const QString names[] = {QStringLiteral("../../ESCAPED"), QStringLiteral("..\\..\\ESCAPED"), QStringLiteral(".."),
                             QStringLiteral("/ABS"), QStringLiteral("C:\\ABS"), QStringLiteral("CON"),
                             QStringLiteral("NUL.TXT"), QStringLiteral("A:B*?<>|\""), QStringLiteral("\x01\x1F"),
                             QString(400, QLatin1Char('L')), QStringLiteral("IDI_MAIN")};
    TResourceModule module;
    std::vector<TCustomResourceItem*> items;
    int data = 0;
    for (const QString& name : names)
        items.push_back(AddItem<TIconLikeItem>(module, Ord(RT_GROUP_ICON), TResourceIdent(name), 0x0409,
                                               QByteArray::number(++data)));
    // Bound to IDI_MAIN: the same file name as the item named IDI_MAIN.
    TIconLikeItem* bound = AddItem<TIconLikeItem>(module, Ord(RT_GROUP_ICON), Ord(9), 0x0409, "bound");
    bound->LocalID()->SetIdentifier(QStringLiteral("IDI_MAIN"));
    items.push_back(bound);
    // A file the module already names is not taken either.
    TResourceItemGeneric* taken = AddItem(module, TResourceIdent("MYTYPE"), Ord(1), 0, "taken");
    taken->SetFilename(QStringLiteral("ICON_IDI_MAIN_0409.ico"));
    TBytesStream script;
    Writer.SaveToStream(&module, script, QString(), out);
    TIconLikeItem::ClassInfo()->Unregister();

    QSet<QString> files;
    for (TCustomResourceItem* item : items) {
        const QString file = item->Filename();
        EXPECT_FALSE(file.contains(QLatin1Char('/')) || file.contains(QLatin1Char('\\')) || file.contains(QLatin1String("..")))
            << file.toStdString();
        EXPECT_LE(file.size(), 255);
        EXPECT_FALSE(files.contains(file.toLower())) << file.toStdString();
        files.insert(file.toLower());
        EXPECT_EQ(ReadFile(out + file), QByteArray("FILE:") + ItemBytes(item)) << file.toStdString();
    }
    EXPECT_EQ(bound->Filename(), QStringLiteral("ICON_IDI_MAIN_0409_2.ico"));
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), int(items.size()) + 1) << "one file each and the taken one";
    EXPECT_EQ(QDir(Path).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot), QStringList{QStringLiteral("out")});
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/ABS"))) << "nothing outside";
}

// Names and types

TEST(RCWriterNames, WrittenAsTheyAreOnlyWhenCompilersReadThemBackSo)
{
    const QChar aUmlaut(0xC4);
    const struct {
        QString Name;
        const char* Written;
    } cases[] = {
        {QStringLiteral("MYDATA"), "MYDATA"},
        {QStringLiteral("_A1"), "_A1"},
        {QStringLiteral("SHELL32.DLL"), "SHELL32.DLL"},
        // Macros stay as they are: the statement puts the macro aside (see RCNameMacros).
        {QStringLiteral("IDCANCEL"), "IDCANCEL"},
        {QStringLiteral("ICON"), R"("ICON")"},
        {QStringLiteral("Begin"), R"("Begin")"},
        {QStringLiteral("STRINGTABLE"), R"("STRINGTABLE")"},
        {QStringLiteral("123"), R"("123")"},
        {QStringLiteral("-1"), R"("-1")"},
        {QStringLiteral("1ABC"), R"("1ABC")"},
        {QStringLiteral("A B"), R"("A B")"},
        {QStringLiteral("A\"B"), R"("A""B")"},
        {QStringLiteral("A\\B"), R"("A\\B")"},
        {QStringLiteral("DLLS/ATL/X86_64-WINDOWS/ATL.RES"), "DLLS/ATL/X86_64-WINDOWS/ATL.RES"},
        {QStringLiteral("A//B"), R"("A//B")"},
        {QStringLiteral("A/*B"), R"("A/*B")"},
        {QStringLiteral("-A"), R"("-A")"},
        {QStringLiteral("A$B"), R"("A$B")"},
        {QStringLiteral("\x07X"), R"("\x07X")"},
        {QString(aUmlaut) + QStringLiteral("BC"), R"(L"\x00C4BC")"},
    };
    for (const auto& c : cases) EXPECT_EQ(RCNameText(c.Name), QString::fromUtf8(c.Written)) << c.Name.toStdString();
    EXPECT_EQ(RCNameText(QStringLiteral("MY TYPE"), true), QStringLiteral("L\"MY TYPE\""));
    EXPECT_EQ(RCNameText(QStringLiteral("\x07"), true), QStringLiteral("L\"\\x0007\""));
    EXPECT_EQ(RCNameText(QStringLiteral("MYTYPE"), true), QStringLiteral("MYTYPE"));
}

TEST(RCWriterNames, MacrosThePreprocessorWouldReplace)
{
    const QSet<QString> own{QStringLiteral("IDD_OWN")};
    const struct {
        QString Name;
        QStringList Macros;
    } cases[] = {
        {QStringLiteral("IDCANCEL"), {QStringLiteral("IDCANCEL")}},
        {QStringLiteral("VS_VERSION_INFO"), {QStringLiteral("VS_VERSION_INFO")}},
        {QStringLiteral("LANG_ENGLISH"), {QStringLiteral("LANG_ENGLISH")}},
        {QStringLiteral("WIN32"), {QStringLiteral("WIN32")}}, // predefined by the mingw compiler
        {QStringLiteral("__X"), {QStringLiteral("__X")}},
        {QStringLiteral("_WIDGET"), {QStringLiteral("_WIDGET")}},
        {QStringLiteral("IDD_OWN"), {QStringLiteral("IDD_OWN")}},
        {QStringLiteral("IDOK.IDNO.IDOK"), {QStringLiteral("IDOK"), QStringLiteral("IDNO")}},
        {QStringLiteral("A.1IDOK"), {}}, // ".1IDOK" is a number to the preprocessor
        {QStringLiteral("IDOK/X-IDNO"), {QStringLiteral("IDOK"), QStringLiteral("IDNO")}},
        {QStringLiteral("MYDATA"), {}},
        {QStringLiteral("_a"), {}},
        {QStringLiteral("idcancel"), {}},
        {QStringLiteral("A B"), {}}, // quoted, so never replaced
    };
    for (const auto& c : cases) EXPECT_EQ(RCNameMacros(c.Name, &own), c.Macros) << c.Name.toStdString();
    EXPECT_EQ(RCNameMacros(QStringLiteral("IDD_OWN"), nullptr), QStringList());
    EXPECT_TRUE(IsRCKeyword(QStringLiteral("versioninfo")));
    EXPECT_FALSE(IsRCKeyword(QStringLiteral("TEXTINCLUDE")));
}

TEST_F(RCWriter, StatementsPutMacrosAsideAndQuoteWhatCompilersWouldMisread)
{
    TResourceModule module;
    TResourceSymbol* own = module.Symbols()->Add(QStringLiteral("IDD_OWN"));
    own->SetLiteralValue(QStringLiteral("5"));
    own->SetSourceFile(module.SymbolFile());
    AddItem(module, TResourceIdent("ICON"), TResourceIdent("IDCANCEL"), 0, "a");
    AddItem(module, TResourceIdent("WIN32"), TResourceIdent("IDD_OWN"), 0, "b");
    AddItem(module, TResourceIdent("MYTYPE"), TResourceIdent("A B"), 0, "c");
    // Bound to the symbol: the macro is what is meant.
    AddItem(module, TResourceIdent("MYTYPE"), Ord(5), 0, "d")->LocalID()->SetIdentifier(QStringLiteral("IDD_OWN"));
    const QString script = Script(module);
    EXPECT_TRUE(script.contains(Lines("#pragma push_macro(\"IDCANCEL\")\n#undef IDCANCEL\n"
                                      "IDCANCEL L\"ICON\"\nBEGIN\n  \"a\"\nEND\n\n#pragma pop_macro(\"IDCANCEL\")\n")))
        << script.toStdString();
    EXPECT_TRUE(script.contains(Lines("#pragma push_macro(\"IDD_OWN\")\n#undef IDD_OWN\n#pragma push_macro(\"WIN32\")\n"
                                      "#undef WIN32\nIDD_OWN WIN32\nBEGIN\n  \"b\"\nEND\n\n"
                                      "#pragma pop_macro(\"WIN32\")\n#pragma pop_macro(\"IDD_OWN\")\n")))
        << script.toStdString();
    EXPECT_TRUE(script.contains(Lines("\nIDD_OWN MYTYPE\nBEGIN\n  \"d\"\nEND\n")));
    EXPECT_FALSE(script.contains(Lines("#undef IDD_OWN\nIDD_OWN MYTYPE")));
    EXPECT_TRUE(script.contains(Lines("\n\"A B\" MYTYPE\nBEGIN\n  \"c\"\nEND\n")));
}

// Whole scripts

TEST_F(RCWriter, EmptyModule)
{
    TResourceModule module;
    const QString expected = Lines(R"(<rule>
//
// Resource Script generated by Atelier
//
<rule>


<rule>
//
// Generated from the TEXTINCLUDE 1 resource.
//

//
<rule>


<rule>
//
// Generated from the TEXTINCLUDE 2 resource.
//

#define APSTUDIO_READONLY_SYMBOLS
#define APSTUDIO_HIDDEN_SYMBOLS
#include "windows.h"
#undef APSTUDIO_HIDDEN_SYMBOLS

#undef APSTUDIO_READONLY_SYMBOLS
//
<rule>


<rule>
//
// Additional include files
//



<rule>
//
// Default Language
//

LANGUAGE LANG_NEUTRAL,SUBLANG_NEUTRAL // Language neutral

#ifdef APSTUDIO_INVOKED

<rule>
//
// TEXTINCLUDE
//

1 TEXTINCLUDE
BEGIN
  "\0"
END

2 TEXTINCLUDE
BEGIN
  "#define APSTUDIO_HIDDEN_SYMBOLS\r\n",
  "#include ""windows.h""\r\n",
  "#undef APSTUDIO_HIDDEN_SYMBOLS\r\n"
END

3 TEXTINCLUDE
BEGIN
  "\0"
END

#endif    // APSTUDIO_INVOKED


<rule>
//
// Generated from the TEXTINCLUDE 3 resource.
//

#ifndef APSTUDIO_INVOKED

#endif    // not APSTUDIO_INVOKED
//
<rule>

)");
    EXPECT_EQ(Script(module), expected);
    EXPECT_EQ(module.Items()->Count(), 3) << "the three TEXTINCLUDE items join the module";
    EXPECT_EQ(QDir(Path).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot), QStringList()) << "nothing beside";
}

TEST_F(RCWriter, SymbolsLanguagesAndHiddenGroups)
{
    TResourceModule module;
    module.Symbols()->Add(QStringLiteral("IDD_MAIN"))->SetLiteralValue(QStringLiteral("101"));
    module.Symbols()->Find(QStringLiteral("IDD_MAIN"))->SetSourceFile(module.SymbolFile());
    TResourceSymbol* longName = module.Symbols()->Add(QStringLiteral("IDS_A_NAME_PAST_THE_PADDING_COLUMN"));
    longName->SetLiteralValue(QStringLiteral("0x10"));
    longName->SetSourceFile(module.SymbolFile());
    AddItem(module, Ord(RT_RCDATA), Ord(2), 0x0407, "yo");
    AddItem(module, Ord(RT_RCDATA), Ord(1), 0x0409, "hi");
    AddItem(module, TResourceIdent("MYTYPE"), TResourceIdent("MYDATA"), 0x0407, Bytes({1, 2, 3}));
    AddItem<THiddenTestItem>(module, TResourceIdent("THIDDEN"), Ord(1), 0, "x");
    // After a section a compiler skipped, the language must be stated again.
    AddItem(module, TResourceIdent("ZDATA"), Ord(1), 0, "z");
    const QString script = Script(module);

    const QString expected = Lines(R"(
<rule>
//
// Default Language
//

LANGUAGE LANG_NEUTRAL,SUBLANG_NEUTRAL // Language neutral

<rule>
//
// Symbol definitions
//

#define IDD_MAIN                        101
#define IDS_A_NAME_PAST_THE_PADDING_COLUMN 0x10

<rule>
//
// RCDATA : RCDATA
//

LANGUAGE LANG_ENGLISH,SUBLANG_ENGLISH_US // English (United States)
1 RCDATA
BEGIN
  "hi"
END

LANGUAGE LANG_GERMAN,SUBLANG_GERMAN // German (Germany)
2 RCDATA
BEGIN
  "yo"
END


<rule>
//
// MYTYPE
//

MYDATA MYTYPE
BEGIN
  0x0201, "\x03"
END


#ifdef APSTUDIO_INVOKED

<rule>
//
// TEXTINCLUDE
//

LANGUAGE LANG_NEUTRAL,SUBLANG_NEUTRAL // Language neutral
1 TEXTINCLUDE
BEGIN
  "\0"
END

2 TEXTINCLUDE
BEGIN
  "#define APSTUDIO_HIDDEN_SYMBOLS\r\n",
  "#include ""windows.h""\r\n",
  "#undef APSTUDIO_HIDDEN_SYMBOLS\r\n"
END

3 TEXTINCLUDE
BEGIN
  "\0"
END


<rule>
//
// THIDDEN
//

1 THIDDEN
BEGIN
  "x"
END

#endif    // APSTUDIO_INVOKED


<rule>
//
// ZDATA
//

LANGUAGE LANG_NEUTRAL,SUBLANG_NEUTRAL // Language neutral
1 ZDATA
BEGIN
  "z"
END


<rule>
//
// Generated from the TEXTINCLUDE 3 resource.
//
)");
    const qsizetype start = script.indexOf(Lines("\n<rule>\n//\n// Default Language"));
    ASSERT_GE(start, 0) << script.toStdString();
    EXPECT_EQ(script.mid(start, expected.size()), expected) << script.mid(start).toStdString();
    EXPECT_EQ(script.count(QStringLiteral("#ifdef APSTUDIO_INVOKED")), 1) << "two hidden groups share one section";
}

TEST_F(RCWriter, LanguageTexts)
{
    TResourceModule module;
    const struct {
        uint16_t Language;
        const char* Symbols;
        const char* Numbers;
    } cases[] = {
        {0x0409, "LANG_ENGLISH,SUBLANG_ENGLISH_US", "0x09,0x01"},
        {0x0407, "LANG_GERMAN,SUBLANG_GERMAN", "0x07,0x01"},
        {0x0000, "LANG_NEUTRAL,SUBLANG_NEUTRAL", "0x00,0x00"},
        {0x0400, "LANG_NEUTRAL,SUBLANG_DEFAULT", "0x00,0x01"},
        {0x0800, "LANG_NEUTRAL,SUBLANG_SYS_DEFAULT", "0x00,0x02"},
        {0x007F, "LANG_INVARIANT,SUBLANG_NEUTRAL", "0x7F,0x00"},
        {0x1C00, "LANG_NEUTRAL,0x07", "0x00,0x07"},
        {0x03FF, "0x3FF,0x00", "0x3FF,0x00"},
        // Names the compilers' windows.h lacks are numbers, the name beside them.
        {0x0411, "LANG_JAPANESE,0x01 /* SUBLANG_JAPANESE_JAPAN */", "0x11,0x01"},
        {0x045B, "0x5B /* LANG_SINHALESE */,0x01 /* SUBLANG_SINHALESE_SRI_LANKA */", "0x5B,0x01"},
        {0x141A, "LANG_CROATIAN,0x05 /* SUBLANG_BOSNIAN_BOSNIA_HERZEGOVINA_LATIN */", "0x1A,0x05"},
        {0x0816, "LANG_PORTUGUESE,SUBLANG_PORTUGUESE", "0x16,0x02"},
        {0x0C1A, "LANG_CROATIAN,SUBLANG_SERBIAN_CYRILLIC", "0x1A,0x03"},
        {0x0448, "LANG_ORIYA,0x01 /* SUBLANG_ORIYA_INDIA */", "0x48,0x01"},
        {0x0C00, "LANG_NEUTRAL,0x03 /* SUBLANG_CUSTOM_DEFAULT */", "0x00,0x03"},
    };
    for (const auto& c : cases) {
        const QString comment = QStringLiteral(" // ") + LanguageIDToString(c.Language);
        EXPECT_EQ(FormatRCLanguageSymbols(&module, c.Language), QString::fromLatin1(c.Symbols) + comment) << c.Language;
        EXPECT_EQ(FormatRCLanguage(c.Language), QString::fromLatin1(c.Numbers) + comment) << c.Language;
    }
    TResourceModule bare;
    bare.SetDeferDefaultSymbols(true);
    EXPECT_EQ(FormatRCLanguageSymbols(&bare, 0x0409), QStringLiteral("0x09,0x01 // English (United States)"));

    const std::pair<uint16_t, const char*> keywords[] = {
        {1, "CURSOR"}, {4, "MENUEX"}, {5, "DIALOGEX"}, {12, "CURSOR"}, {14, "ICON"}, {24, "RT_MANIFEST"},
        {3, "3"},      {7, "7"},      {18, "18"},      {0, "0"},       {25, "25"},  {256, "256"}};
    for (const auto& [id, keyword] : keywords) EXPECT_EQ(ResourceTypeIDToRCKeyword(id), QString::fromLatin1(keyword)) << id;
}

TEST_F(RCWriter, ManifestTypeIsDefinedWhenNoIncludedFileDefinesIt)
{
    const QString defineLine = Lines("#define RT_MANIFEST 24\n\n1 RT_MANIFEST \"app.manifest\"\n");
    auto manifestModule = [](TResourceModule& module) {
        module.SetDeferDefaultSymbols(true);
        AddItem(module, Ord(RT_MANIFEST), Ord(1), 0, "<x/>")->SetFilename(QStringLiteral("app.manifest"));
    };
    TResourceModule bare;
    manifestModule(bare);
    EXPECT_TRUE(Script(bare).contains(defineLine));
    EXPECT_EQ(ReadFile(Path + QStringLiteral("app.manifest")), QByteArray("<x/>"));

    TResourceModule own;
    manifestModule(own);
    TResourceSymbol* symbol = own.Symbols()->Add(QStringLiteral("RT_MANIFEST"));
    symbol->SetLiteralValue(QStringLiteral("24"));
    symbol->SetSourceFile(own.SymbolFile());
    const QString script = Script(own);
    EXPECT_FALSE(script.contains(defineLine)) << "the script defines it itself";
    EXPECT_TRUE(script.contains(Lines("1 RT_MANIFEST \"app.manifest\"\n")));

    // A file included only once one of its symbols is used is not included for this one.
    TResourceSymbolFile* onDemand = own.SymbolFile()->Files()->Add(QStringLiteral("defs.h"), true, true);
    onDemand->SetIncludeOnDemand(true);
    symbol->SetSourceFile(onDemand);
    EXPECT_TRUE(Script(own).contains(defineLine));
}

TEST_F(RCWriter, UnicodeScriptAnsiHeaders)
{
    TResourceModule module;
    TResourceSymbolFile* header = module.SymbolFile()->Files()->Add(QStringLiteral("resource.h"));
    header->SetPrimary(true);
    AddItem(module, Ord(RT_RCDATA), Ord(1), 0x0409, "hi")->LocalID()->SetIdentifier(QStringLiteral("IDR_A"));
    TBytesStream out;
    Writer.SaveToStream(&module, out, QStringLiteral("Unicode"), Path);
    const QByteArray bytes = out.Bytes();
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    const QString unicodeText = Decode(TEncoderKind::Unicode, bytes.mid(2));
    for (const QString& encoding : {QString(), QStringLiteral("ANSI"), QStringLiteral("ASCII")})
        EXPECT_EQ(Script(module, encoding), unicodeText) << encoding.toStdString() << ": the same text in ANSI";
    const QByteArray headerBytes = ReadFile(Path + QStringLiteral("resource.h"));
    EXPECT_TRUE(headerBytes.startsWith("////")) << "no byte-order mark";
    EXPECT_FALSE(headerBytes.contains('\0'));
}

TEST_F(RCWriter, TextIncludesCarryTheIncludeInformation)
{
    TResourceModule module;
    module.SetDeferDefaultSymbols(true);
    TResourceSymbolFiles* files = module.SymbolFile()->Files();
    files->Add(QStringLiteral("resource.h"))->SetPrimary(true);
    files->Add(QStringLiteral("afxres.h"), true, true);
    files->Add(QStringLiteral("extra.h"), true, false);
    files->Add(QStringLiteral("my.h"));
    TCustomResourceItem* stale = AddItem<TResourceItemTextInclude>(module, TResourceIdent("TEXTINCLUDE"), Ord(1), 0, "old.h");
    AddItem<TResourceItemTextInclude>(module, TResourceIdent("TEXTINCLUDE"), Ord(3), 0,
                                      QByteArray("#include \"extra.rc\"\r\n\0", 22));
    const QString script = Script(module);

    EXPECT_EQ(ItemBytes(stale), QByteArray("resource.h"));
    TCustomResourceItem* includes = module.Find(TResourceIdent("TEXTINCLUDE"), Ord(2));
    ASSERT_NE(includes, nullptr);
    EXPECT_EQ(ItemBytes(includes), QByteArray("#define APSTUDIO_HIDDEN_SYMBOLS\r\n#include \"afxres.h\"\r\n"
                                              "#undef APSTUDIO_HIDDEN_SYMBOLS\r\n#include \"extra.h\"\r\n"));
    EXPECT_TRUE(script.contains(Lines("//\n\n#include \"resource.h\"\n//\n"))) << script.toStdString();
    EXPECT_TRUE(script.contains(Lines("// Additional include files\n//\n\n#include \"") + Path + Lines("my.h\"\n\n")))
        << "included files, made absolute";
    EXPECT_FALSE(script.contains(QStringLiteral("#include \"") + Path + QStringLiteral("extra.h")));
    EXPECT_TRUE(script.contains(Lines("#ifndef APSTUDIO_INVOKED\n#include \"extra.rc\"\n\n#endif    // not APSTUDIO_INVOKED")))
        << "the third block keeps its text";
    EXPECT_FALSE(QFileInfo::exists(Path + QStringLiteral("my.h"))) << "not generated, so not written";

    EXPECT_TRUE(TResourceItemTextInclude::Handles(TResourceIdent("TEXTINCLUDE"), Ord(4), nullptr));
    EXPECT_FALSE(TResourceItemTextInclude::Handles(TResourceIdent("TEXTINCLUDE"), TResourceIdent("A"), nullptr));
    EXPECT_FALSE(TResourceItemTextInclude::Handles(TResourceIdent("textinclude"), Ord(1), nullptr));
    const std::pair<uint16_t, const char*> subTypes[] = {
        {1, "Primary symbol file name"}, {2, "Include file block"}, {3, "Additional defines"}, {4, "Unknown"}};
    for (const auto& [number, text] : subTypes)
        EXPECT_EQ(TResourceItemTextInclude(Ord(number)).SubType(), QString::fromLatin1(text)) << number;
    EXPECT_TRUE(stale->Hidden());
    EXPECT_TRUE(stale->Design());
}

TEST_F(RCWriter, HeaderFilesKeepABackupOfThePreviousVersion)
{
    TResourceModule module;
    module.SymbolFile()->SetCheckDependencies(false);
    TResourceSymbolFile* header = module.SymbolFile()->Files()->Add(QStringLiteral("inc/resource.h"));
    header->SetPrimary(true);
    header->SetCheckDependencies(false);
    header->Files()->Add(QStringLiteral("base.h"));
    AddItem(module, Ord(RT_RCDATA), Ord(1), 0, "hi")->LocalID()->SetIdentifier(QStringLiteral("IDR_A"));
    ASSERT_TRUE(QDir(Path).mkpath(QStringLiteral("inc")));
    WriteFile(Path + QStringLiteral("inc/resource.h"), "previous");
    WriteFile(Path + QStringLiteral("inc/resource.backup"), "older");

    const QString script = Script(module);
    EXPECT_TRUE(script.startsWith(Lines("//{{NO_DEPENDENCIES}}\n<rule>\n"))) << script.left(100).toStdString();
    EXPECT_EQ(ReadFile(Path + QStringLiteral("inc/resource.backup")), QByteArray("previous"));
    EXPECT_EQ(QString::fromLatin1(ReadFile(Path + QStringLiteral("inc/resource.h"))), Lines(R"(//{{NO_DEPENDENCIES}}
<rule>
//
// Include file generated by Atelier
//
<rule>


#define APSTUDIO_READONLY_SYMBOLS
#include "base.h"
#undef APSTUDIO_READONLY_SYMBOLS


<rule>
//
// Symbol definitions
//

#define IDR_A                           1
)"));
    EXPECT_FALSE(header->Modified());
    EXPECT_TRUE(QDir(Path + QStringLiteral("inc")).entryList({QStringLiteral("*.h*")}, QDir::Files) ==
                QStringList{QStringLiteral("resource.h")})
        << "no temporary file stays behind";
}

TEST_F(RCWriter, HelpHeaderIsIncludedAndWritten)
{
    TResourceModule module;
    module.SetDeferDefaultSymbols(true);
    TResourceSymbolFile* help = module.SymbolFile()->Files()->Add(QStringLiteral("resource.hm"), false, true);
    module.SymbolFile()->SetHelpFile(help);
    TResourceSymbol* symbol = module.Symbols()->Add(QStringLiteral("HIDR_A"));
    symbol->SetLiteralValue(QStringLiteral("0x8001"));
    symbol->SetSourceFile(help);
    TResourceItemGeneric* item = AddItem(module, Ord(RT_RCDATA), Ord(1), 0, "x");
    item->LocalID()->SetIdentifier(QStringLiteral("HIDR_A"));
    const QString script = Script(module);
    EXPECT_TRUE(script.contains(Lines("// Generated Help ID header file\n//\n\n#define APSTUDIO_HIDDEN_SYMBOLS\n"
                                      "#define APSTUDIO_READONLY_SYMBOLS\n#include \"resource.hm\"\n"
                                      "#undef APSTUDIO_READONLY_SYMBOLS\n#undef APSTUDIO_HIDDEN_SYMBOLS\n//\n")))
        << script.toStdString();
    const QString header = QString::fromLatin1(ReadFile(Path + QStringLiteral("resource.hm")));
    EXPECT_TRUE(header.contains(Lines("// Help ID definitions\n//\n\n#define HIDR_A                          0x8001         // HIDR_A\n")))
        << header.toStdString();
}

// Folders and failures

TEST_F(RCWriter, MissingFoldersAreCreatedWhole)
{
    TResourceModule module;
    module.SymbolFile()->Files()->Add(QStringLiteral("a/b/c/resource.h"))->SetPrimary(true);
    AddItem(module, TResourceIdent("MYTYPE"), Ord(1), 0, "e")->SetFilename(QStringLiteral("x/y/ext.bin"));
    Script(module);
    EXPECT_TRUE(QFileInfo::exists(Path + QStringLiteral("a/b/c/resource.h")));
    EXPECT_EQ(ReadFile(Path + QStringLiteral("x/y/ext.bin")), QByteArray("e"));
}

TEST_F(RCWriter, FolderPromptAsksAndARefusalAbortsSilently)
{
    QStringList asked;
    bool answer = false;
    TPromptScope prompt([&](const QString& caption, const QString& message) {
        asked << caption << message;
        return answer;
    });
    TResourceModule module;
    module.SymbolFile()->Files()->Add(QStringLiteral("sub/dir/resource.h"))->SetPrimary(true);
    EXPECT_THROW(Script(module), EAbort);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0], QStringLiteral("Directory not found"));
    EXPECT_EQ(asked[1], QStringLiteral("The directory \"") + Path + QStringLiteral("sub/dir\" does not exist.\r"
                                                                                    "Do you wish to create it for the file \"sub/dir/resource.h\"?"));
    EXPECT_FALSE(QFileInfo::exists(Path + QStringLiteral("sub")));

    answer = true;
    Script(module);
    EXPECT_TRUE(QFileInfo::exists(Path + QStringLiteral("sub/dir/resource.h")));

    answer = false;
    asked.clear();
    TResourceModule external;
    AddItem(external, TResourceIdent("MYTYPE"), Ord(1), 0, "e")->SetFilename(Path + QStringLiteral("out/ext.bin"));
    EXPECT_THROW(Script(external), EAbort);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[1].endsWith(QStringLiteral("for the file \"ext.bin\"?"))) << "an absolute name shows its file part";
}

TEST_F(RCWriter, FailuresToCreateOrWriteRaise)
{
    WriteFile(Path + QStringLiteral("blocker"), "a file, not a folder");
    TResourceModule module;
    module.SymbolFile()->Files()->Add(QStringLiteral("blocker/sub/resource.h"))->SetPrimary(true);
    try {
        Script(module);
        FAIL() << "the folder cannot be made";
    } catch (const EAbort&) {
        FAIL() << "a failure is no refusal";
    } catch (const EOSError& e) {
        EXPECT_TRUE(e.Message().contains(Path + QStringLiteral("blocker/sub"))) << e.Message().toStdString();
    }

    ASSERT_TRUE(QDir(Path).mkpath(QStringLiteral("resource.h")));
    TResourceModule folderInTheWay;
    folderInTheWay.SymbolFile()->Files()->Add(QStringLiteral("resource.h"))->SetPrimary(true);
    try {
        Script(folderInTheWay);
        FAIL() << "a folder stands where the header goes";
    } catch (const EFCreateError& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot create file \"") + Path + QStringLiteral("resource.h\"")))
            << e.Message().toStdString();
    }
}

TEST_F(RCWriter, NoWriterEndsTheSaveBeforeTheScriptExists)
{
    TRCItemBinaryWriter::ClassInfo()->Unregister();
    TResourceModule module;
    AddItem(module, TResourceIdent("MYTYPE"), TResourceIdent("MYDATA"), 0, "x");
    std::vector<TResourceProgressStage> stages;
    const QString target = Path + QStringLiteral("test.rc");
    try {
        module.SaveToFile(target, nullptr,
                          [&](TCustomResourceModuleFiler*, TResourceProgressStage stage, int, int, const QString&, void*) {
                              stages.push_back(stage);
                          });
        FAIL() << "no writer handles the item";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("No registered RC writer was able to handle the MYDATA (MYTYPE) resource item"));
    }
    EXPECT_FALSE(QFileInfo::exists(target));
    ASSERT_FALSE(stages.empty());
    EXPECT_EQ(stages.front(), psBegin);
    EXPECT_EQ(stages.back(), psEnd) << "the end is reported also when the save fails";
}

// Adds the symbols item once the module has symbols of its own, as the main window does when the
// module changes.
class TSymbolsItemMaker : public IResourceItemNotification {
public:
    explicit TSymbolsItemMaker(TCustomResourceModule* module) : FModule(module) { module->Subscribe(this); }
    ~TSymbolsItemMaker() { FModule->Unsubscribe(this); }
    void ResourceItemNotification(TCustomResourceItem* item, TResourceItemNotification notification) override
    {
        if (notification == rnRemoved && item == Made) Made = nullptr;
        if (notification != rnChanged || Made) return;
        TResourceSymbol* neutral = FModule->Symbols()->Find(QStringLiteral("LANG_NEUTRAL"));
        if (!neutral || neutral->SourceFile()->IncludeOnDemand()) return;
        auto symbols = std::make_unique<TSymbolsResourceItem>();
        Made = symbols.get();
        symbols.release()->SetModule(FModule);
    }
    TCustomResourceItem* Made = nullptr;

private:
    TCustomResourceModule* FModule;
};

TEST_F(RCWriter, AFailedSaveLeavesTheModuleAndTheFolderAsTheyWere)
{
    TIconLikeItem::ClassInfo()->Register(0);
    TIconLikeItem::ClassInfo()->RegisterFileType(QStringLiteral("ico"), QStringLiteral("Icon"), {fcLoad, fcSave}, 0);
    TResourceModule module;
    module.SymbolFile()->Files()->Add(QStringLiteral("resource.h"))->SetPrimary(true);
    TResourceSymbol* own = module.Symbols()->Add(QStringLiteral("IDX_OWN"));
    own->SetLiteralValue(QStringLiteral("7"));
    own->SetSourceFile(module.SymbolFile());
    auto* icon = AddItem<TIconLikeItem>(module, Ord(RT_GROUP_ICON), Ord(1), 0x0409, "data");
    AddItem<TResourceItemTextInclude>(module, TResourceIdent("TEXTINCLUDE"), Ord(1), 0, QByteArray("mine.h\0", 7));
    AddItem(module, TResourceIdent("MYTYPE"), TResourceIdent("MYDATA"), 0, "x");
    module.SetModified(false);
    for (TCustomResourceItem* item : *module.Items()) item->SetModified(false);
    icon->SetModified(true); // edited since the last save
    TSymbolsItemMaker maker(&module);
    TResourceSymbolFile* windows = module.Symbols()->Find(QStringLiteral("LANG_NEUTRAL"))->SourceFile();
    ASSERT_TRUE(windows->IncludeOnDemand());
    const int count = module.Items()->Count();

    // The last item written has no writer: the save fails after the icon got its file name.
    TRCItemBinaryWriter::ClassInfo()->Unregister();
    const QString target = Path + QStringLiteral("test.rc");
    EXPECT_THROW(module.SaveToFile(target), Exception);
    TRCItemBinaryWriter::ClassInfo()->Register(1024);

    EXPECT_FALSE(module.Modified());
    EXPECT_EQ(module.Items()->Count(), count) << "no TEXTINCLUDE item and no symbols item stays";
    EXPECT_EQ(maker.Made, nullptr);
    EXPECT_TRUE(icon->Filename().isEmpty());
    EXPECT_TRUE(icon->Modified()) << "nothing was saved";
    EXPECT_FALSE(module.Find(TResourceIdent("MYTYPE"))->Modified());
    EXPECT_EQ(ItemBytes(module.Find(TResourceIdent("TEXTINCLUDE"), Ord(1))), QByteArray("mine.h\0", 7));
    EXPECT_TRUE(windows->IncludeOnDemand());
    EXPECT_TRUE(own->Modified()) << "its definition was never saved";
    EXPECT_EQ(QDir(Path).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot), QStringList())
        << "no header, no external file, no script";

    module.SaveToFile(target);
    TIconLikeItem::ClassInfo()->Unregister();
    EXPECT_FALSE(module.Modified());
    EXPECT_NE(maker.Made, nullptr) << "a save that succeeds keeps what it did";
    EXPECT_FALSE(icon->Modified());
    EXPECT_EQ(icon->Filename(), QStringLiteral("ICON_1_0409.ico"));
    EXPECT_NE(module.Find(TResourceIdent("TEXTINCLUDE"), Ord(2)), nullptr);
    EXPECT_FALSE(own->Modified());
    for (const char* file : {"test.rc", "resource.h", "ICON_1_0409.ico"})
        EXPECT_TRUE(QFileInfo::exists(Path + QString::fromLatin1(file))) << file;
}

TEST_F(RCWriter, ModuleSavesThroughTheRegisteredWriter)
{
    EXPECT_TRUE(TResourceModuleRC::Handles(QStringLiteral("a/b.RC")));
    EXPECT_FALSE(TResourceModuleRC::Handles(QStringLiteral("b.rc2")));
    QStringList encodings;
    TResourceModuleWriterRC::ClassInfo()->GetEncodings(encodings);
    EXPECT_EQ(encodings, (QStringList{QStringLiteral("ASCII"), QStringLiteral("Unicode")}));
    std::shared_ptr<IResourceModuleFilerOptions> options = TResourceModuleWriterRC::ClassInfo()->GetOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->GetSettings(), nullptr);

    TResourceModule module;
    AddItem(module, TResourceIdent("MYTYPE"), TResourceIdent("MYDATA"), 0, "x");
    module.SaveToFile(Path + QStringLiteral("test.rc"));
    const QByteArray saved = ReadFile(Path + QStringLiteral("test.rc"));
    EXPECT_TRUE(saved.contains("MYDATA MYTYPE\r\nBEGIN\r\n  \"x\"\r\nEND\r\n"));
}

} // namespace

#include "RCWriterTest.moc"
