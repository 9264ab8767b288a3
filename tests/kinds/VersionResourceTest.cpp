#include "model/LogCapture.h"
#include "kinds/koResourceItemVersionInfo.h"
#include "kinds/koResourceModuleRCVersionInfoWriter.h"
#include "model/VersionInfo.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

void U16(QByteArray& b, uint16_t v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

void Pad(QByteArray& b)
{
    while (b.size() % 4) b.append('\0');
}

// One block with its header. Length -1 is the length a compiler writes: up to the end of the value for
// a leaf, the whole children for a parent. Blocks here always start on a 4-byte boundary.
QByteArray Block(const QString& key, int type, const QByteArray& value, int valueLength, const QByteArray& children = {},
                 int length = -1)
{
    QByteArray b(6, '\0');
    for (QChar c : key) U16(b, c.unicode());
    U16(b, 0);
    Pad(b);
    b += value;
    if (!children.isEmpty()) {
        Pad(b);
        b += children;
    }
    const int size = length >= 0 ? length : int(b.size());
    b[0] = char(size & 0xFF);
    b[1] = char(size >> 8);
    b[2] = char(valueLength & 0xFF);
    b[3] = char(valueLength >> 8);
    b[4] = char(type);
    return b;
}

QByteArray Text(const QString& s, bool zero = true)
{
    QByteArray b;
    for (QChar c : s) U16(b, c.unicode());
    if (zero) U16(b, 0);
    return b;
}

// A string as compilers write it: the value counted in characters with its zero.
QByteArray String(const QString& key, const QString& value)
{
    QByteArray b = Block(key, 1, Text(value), int(value.size() + 1));
    Pad(b);
    return b;
}

QByteArray FixedInfo(uint32_t signature = VS_FFI_SIGNATURE)
{
    QByteArray b;
    const uint32_t fields[13] = {signature, 0x10000, 0x00010002, 0x00030004, 5, 6, 0x3F, 0x21, 4, 2, 0, 0, 0};
    for (uint32_t f : fields) {
        U16(b, uint16_t(f & 0xFFFF));
        U16(b, uint16_t(f >> 16));
    }
    return b;
}

QByteArray Root(const QByteArray& children, const QByteArray& fixed = FixedInfo(), const QString& key = "VS_VERSION_INFO")
{
    return Block(key, 0, fixed, int(fixed.size()), children);
}

QByteArray Translations(std::initializer_list<uint32_t> values)
{
    QByteArray value;
    for (uint32_t v : values) {
        U16(value, uint16_t(v & 0xFFFF));
        U16(value, uint16_t(v >> 16));
    }
    return Block("VarFileInfo", 1, {}, 0, Block("Translation", 0, value, int(value.size())));
}

QByteArray Sample()
{
    const QByteArray table = String("CompanyName", "Acme") + String("FileVersion", "1.2.3.4");
    return Root(Block("StringFileInfo", 1, {}, 0, Block("040904B0", 1, {}, 0, table)) + Translations({0x04B00409}));
}

class VersionResource : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemVersionInfo_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModuleRCVersionInfoWriter_Initialize();
    }
    void TearDown() override
    {
        koResourceModuleRCVersionInfoWriter_Finalize();
        koResourceModuleRC_Finalize();
        koResourceItemVersionInfo_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    static QByteArray Save(TVersionResourceItem& item)
    {
        TMemoryStream out;
        item.SaveToStream(out);
        return out.ToByteArray();
    }
    static void Load(TVersionResourceItem& item, const QByteArray& data)
    {
        TBytesStream in(data);
        item.LoadFromStream(in, data.size());
    }
    static QString Rc(TVersionResourceItem* item)
    {
        TMemoryStream out;
        TRCAnsiEncoder encoder(out, 1252);
        RCItemWriterDatabase()->Find(item)->Create(QString())->SaveToStream(encoder, item, false);
        return QString::fromLatin1(out.ToByteArray());
    }
};

} // namespace

TEST_F(VersionResource, ReadsWhatCompilersWrite)
{
    TLogCapture log;
    TVersionResourceItem item;
    Load(item, Sample());
    EXPECT_TRUE(log.Messages().isEmpty()) << log.Messages().join('\n').toStdString();
    EXPECT_EQ(item.FileVersion(), 0x0001000200030004ull);
    EXPECT_EQ(item.FileFlags(), (TVersionInfoFileFlags{ffDebug, ffSpecialBuild}));
    EXPECT_EQ(item.FileType(), ftDLL);
    EXPECT_EQ(item.FileOSShell(), osWin32);
    ASSERT_EQ(item.Strings()->Count(), 2);
    EXPECT_EQ(item.Strings()->Items(0)->Key(), "CompanyName");
    EXPECT_EQ(item.Strings()->Items(0)->Value(), "Acme");
    EXPECT_EQ(item.Strings()->Items(1)->Translation(), 0x04B00409u);
    ASSERT_EQ(item.Translations()->Count(), 1);
    EXPECT_EQ(item.Translations()->CharsetID(0), 0x04B0);
}

TEST_F(VersionResource, NewItemSavesAndReadsBack)
{
    TVersionResourceItem item;
    item.InitializeNewItem();
    const QByteArray saved = Save(item);
    // The root's length is the size, and the first save adds the translation the strings use.
    EXPECT_EQ(uint8_t(saved[0]) | (uint8_t(saved[1]) << 8), saved.size());
    ASSERT_EQ(item.Translations()->Count(), 1);
    EXPECT_EQ(item.Translations()->Items(0), MakeTranslation(0, uint16_t(item.CodePage())));
    // Empty values carry no characters at all.
    const QByteArray emptyCompany = Block("CompanyName", 1, {}, 0);
    EXPECT_TRUE(saved.contains(emptyCompany));

    TLogCapture log;
    TVersionResourceItem again;
    Load(again, saved);
    EXPECT_TRUE(log.Messages().isEmpty()) << log.Messages().join('\n').toStdString();
    ASSERT_EQ(again.Strings()->Count(), 10);
    EXPECT_EQ(again.Strings()->Items(9)->Key(), "Comments");
    EXPECT_EQ(again.FileOS(), 4u);
    EXPECT_EQ(again.FileType(), ftApplication);
    EXPECT_EQ(Save(again), saved);

    // The read-only reader of the program's about box reads the same bytes.
    const TVersionInfo info = TVersionInfo::FromResource(saved);
    EXPECT_TRUE(info.Valid());
    EXPECT_EQ(info.TranslationCount(), 1);
}

TEST_F(VersionResource, TablesSortByTranslationAndKeepTheOrderOfTheirStrings)
{
    TVersionResourceItem item;
    item.Strings()->Add("Zeta", "1", 0x0409, 0x04E4);
    item.Strings()->Add("Beta", "2", 0x0409, 0x04B0);
    item.Strings()->Add("Alpha", "3", 0x0409, 0x04E4);
    item.Strings()->Add("Gamma", "4", 0x0407, 0x04E4);
    const QByteArray saved = Save(item);
    const qsizetype b0 = saved.indexOf(Text("040904B0")), e4 = saved.indexOf(Text("040904E4"));
    const qsizetype de = saved.indexOf(Text("040704E4"));
    ASSERT_GE(de, 0);
    EXPECT_LT(de, b0);
    EXPECT_LT(b0, e4);
    EXPECT_LT(saved.indexOf(Text("Zeta")), saved.indexOf(Text("Alpha")));

    TVersionResourceItem again;
    Load(again, saved);
    QStringList keys;
    for (int i = 0; i < again.Strings()->Count(); ++i) keys << again.Strings()->Items(i)->Key();
    EXPECT_EQ(keys, QStringList({"Gamma", "Beta", "Zeta", "Alpha"}));
    // The translations now follow the strings' first uses; from here on a save is stable.
    const QByteArray resaved = Save(again);
    TVersionResourceItem third;
    Load(third, resaved);
    EXPECT_EQ(Save(third), resaved);

    const QString rc = Rc(&again);
    EXPECT_LT(rc.indexOf("\"Zeta\""), rc.indexOf("\"Alpha\"")) << rc.toStdString();
    EXPECT_LT(rc.indexOf("BLOCK \"040704E4\""), rc.indexOf("BLOCK \"040904B0\"")) << rc.toStdString();
}

TEST_F(VersionResource, ValueLengthsInBytesReadWithOneWarning)
{
    // Older tools count a string's value in bytes.
    QByteArray string = Block("CompanyName", 1, Text("Acme"), 10);
    Pad(string);
    const QByteArray data = Root(Block("StringFileInfo", 1, {}, 0, Block("040904E4", 1, {}, 0, string)));
    TLogCapture log;
    TVersionResourceItem item;
    Load(item, data);
    ASSERT_EQ(item.Strings()->Count(), 1);
    EXPECT_EQ(item.Strings()->Items(0)->Value(), "Acme");
    EXPECT_EQ(log.Messages().count("Malformed StringFileInfo version record"), 1) << log.Messages().join('\n').toStdString();
    EXPECT_EQ(log.Messages().count("Missing translation item:  04E40409"), 1);
}

// Every broken resource is refused with its message, and a module keeps it as raw data.
TEST_F(VersionResource, BrokenResourcesFallBackToRawData)
{
    const QByteArray string = String("CompanyName", "Acme");
    auto sfi = [](const QByteArray& tables) { return Block("StringFileInfo", 1, {}, 0, tables); };
    QByteArray longString = string;
    longString[0] = char(0x40); // past its table
    QByteArray padded = Sample();
    padded.append(4, '\0');
    padded[0] = char(padded.size() & 0xFF);
    padded[1] = char(padded.size() >> 8);
    QByteArray unterminated = Block("VS_VERSION_INFO", 0, {}, 0);
    unterminated.chop(4);
    unterminated[0] = char(unterminated.size());
    const QByteArray oddVar =
        Root(Block("VarFileInfo", 1, {}, 0, Block("Translation", 0, QByteArray(6, '\1'), 6)));
    const struct {
        const char* Name;
        QByteArray Data;
        const char* Message;
    } cases[] = {
        {"root longer than the data", Sample().left(Sample().size() - 4), "VersionInfo size mismatch"},
        {"trailing padding", Sample() + QByteArray(4, '\0'), "VersionInfo size mismatch"},
        {"root length counts padding past its children", padded, nullptr},
        {"key in another case", Root({}, FixedInfo(), "vs_version_info"), "Invalid VersionInfo key value"},
        {"signature", Root({}, FixedInfo(0x12345678)), "Invalid version file info signature"},
        {"fixed info of 48 bytes", Root({}, FixedInfo().left(48)), "Invalid ValueLength value"},
        {"key without its zero", unterminated, "Malformed resource item"},
        {"string past its table", Root(sfi(Block("040904E4", 1, {}, 0, longString))), "Malformed resource item"},
        {"table past StringFileInfo",
         Root(sfi(Block("040904E4", 1, {}, 0, string, 0x200))), "Malformed resource item"},
        {"table with a value", Root(sfi(Block("040904E4", 1, Text("x"), 2, string))), "Malformed version info"},
        {"table name not hexadecimal", Root(sfi(Block("0409XXXX", 1, {}, 0, string))), "'XXXX' is not a valid integer value"},
        {"translation of 6 bytes", oddVar, "Malformed VarFileInfo version record item"},
        {"child with a zero length", Root(QByteArray(8, '\0')), "Malformed resource item"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TResourceModule module;
        module.SetDeferDefaultSymbols(true);
        TLogCapture log;
        TBytesStream data(c.Data);
        TCustomResourceItem* item = LoadResourceItem(&module, TResourceIdent::FromOrdinal(RT_VERSION),
                                                     TResourceIdent::FromOrdinal(1), 0x409, data, c.Data.size());
        ASSERT_NE(item, nullptr);
        if (!c.Message) {
            EXPECT_NE(qobject_cast<TVersionResourceItem*>(item), nullptr) << log.Messages().join('\n').toStdString();
            continue;
        }
        EXPECT_EQ(qobject_cast<TVersionResourceItem*>(item), nullptr);
        EXPECT_TRUE(log.Messages().contains(QString::fromLatin1(c.Message))) << log.Messages().join('\n').toStdString();
        TMemoryStream kept;
        item->SaveToStream(kept);
        EXPECT_EQ(kept.ToByteArray(), c.Data);
    }
}

TEST_F(VersionResource, TranslationsFollowTheStringsOnSave)
{
    TVersionResourceItem item;
    item.Strings()->Add("A", "a", 0x0407, 1252);
    item.Strings()->Add("B", "b", 0x0409, 1200);
    item.Translations()->Add(0x0411, 932);
    item.Translations()->Add(0x0409, 1200);
    Save(item);
    ASSERT_EQ(item.Translations()->Count(), 2);
    EXPECT_EQ(item.Translations()->Items(0), MakeTranslation(0x0407, 1252));
    EXPECT_EQ(item.Translations()->Items(1), MakeTranslation(0x0409, 1200));

    // A duplicate is refused with a warning and the first value kept.
    TLogCapture log;
    EXPECT_EQ(item.Strings()->Add("A", "other", 0x0407, 1252)->Value(), "a");
    EXPECT_EQ(item.Translations()->Add(0x0407, 1252), 0);
    EXPECT_EQ(log.Messages(), QStringList({"Duplicate version info string: 04E40407 A",
                                           "Duplicate version info translation ID: 04E40407"}));
}

TEST_F(VersionResource, FixedInformationProperties)
{
    TVersionResourceItem item;
    item.SetFileFlags({ffDebug});
    EXPECT_TRUE(item.FileFlags().IsEmpty());
    EXPECT_EQ(item.FileInfo().dwFileFlags, 0u);
    item.SetFileFlagsMask({ffDebug, ffPatched});
    item.SetFileFlags({ffDebug, ffPatched, ffSpecialBuild});
    EXPECT_EQ(item.FileInfo().dwFileFlags, 0x05u);
    item.SetFileOS(0x00040001);
    item.SetFileOSShell(osWin32);
    EXPECT_EQ(item.FileOS(), 0x00040004u);
    item.SetFileOSHost(ohDos);
    EXPECT_EQ(item.FileOS(), 0x00010004u);

    const struct {
        const char* Text;
        uint64_t Version;
    } versions[] = {{"1.2.3.4", 0x0001000200030004ull}, {"65535.0.0.65535", 0xFFFF00000000FFFFull}, {"7", 0x0007000000000000ull}};
    for (const auto& v : versions) {
        EXPECT_EQ(StrToVersion(v.Text, '.'), v.Version) << v.Text;
        if (QString(v.Text).count('.') == 3) {
            EXPECT_EQ(VersionToStr(v.Version, '.'), v.Text);
        }
    }
    EXPECT_EQ(StrToVersion("1,x,,4,9", ','), 0x0001000000000004ull);
}

TEST_F(VersionResource, RCStatement)
{
    TVersionResourceItem item(TResourceIdent::FromOrdinal(1));
    item.SetFileOSShell(osWin32);
    item.SetFileType(ftApplication);
    item.Strings()->Add("CompanyName", "", 0x0409, 1252);
    item.Translations()->Add(0x0409, 1252);
    EXPECT_EQ(Rc(&item).toStdString(), "1 VERSIONINFO\r\n"
                                       "  FILEVERSION 0,0,0,0\r\n"
                                       "  PRODUCTVERSION 0,0,0,0\r\n"
                                       "  FILEFLAGSMASK 0x3FL\r\n"
                                       "  FILEFLAGS 0x0L\r\n"
                                       "  FILEOS 0x4L\r\n"
                                       "  FILETYPE 0x1L\r\n"
                                       "  FILESUBTYPE 0x0L\r\n"
                                       "BEGIN\r\n"
                                       "  BLOCK \"StringFileInfo\" BEGIN\r\n"
                                       "    BLOCK \"040904E4\" BEGIN\r\n"
                                       "      VALUE \"CompanyName\", \"\"\r\n"
                                       "    END\r\n"
                                       "  END\r\n"
                                       "  BLOCK \"VarFileInfo\" BEGIN\r\n"
                                       "    VALUE \"Translation\", 0x0409, 1252 // English (United States)\r\n"
                                       "  END\r\n"
                                       "END\r\n"
                                       "\r\n");

    // Keys are literals like values; non-ASCII text goes out wide.
    item.Strings()->Clear();
    item.Translations()->Clear();
    item.Strings()->Add("Say \"hi\"", QString::fromUtf8("caf\u00e9"), 0x0409, 1252);
    const QString rc = Rc(&item);
    EXPECT_FALSE(rc.contains("\"Say \"hi\"\"")) << rc.toStdString();
    EXPECT_TRUE(rc.contains("L\"caf")) << rc.toStdString();
    EXPECT_FALSE(rc.contains("VarFileInfo"));
}
