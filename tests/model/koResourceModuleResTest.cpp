#include "TestKinds.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "platform/Exceptions.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QByteArray Blank = QByteArray::fromHex("0000000020000000ffff0000ffff0000") + QByteArray(16, '\0');

void PutDWord(QByteArray& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

QByteArray Ident(const QString& ident)
{
    TMemoryStream s;
    WriteResourceIdent(s, ident);
    return s.ToByteArray();
}

// One record as resource compilers write it; pad false leaves the final padding out.
QByteArray Record(const QString& type, const QString& name, const QByteArray& data, uint16_t language = 0x0409,
                  bool pad = true)
{
    QByteArray names = Ident(type) + Ident(name);
    while (names.size() % 4) names.append('\0');
    QByteArray r;
    PutDWord(r, static_cast<uint32_t>(data.size()));
    PutDWord(r, static_cast<uint32_t>(8 + names.size() + 16));
    r += names;
    PutDWord(r, 0);                         // DataVersion
    PutDWord(r, 0x1030u | (uint32_t(language) << 16)); // MemoryFlags, LanguageId
    PutDWord(r, 7);                         // Version
    PutDWord(r, 9);                         // Characteristics
    r += data;
    if (pad)
        while (r.size() % 4) r.append('\0');
    return r;
}

// A kind that refuses data starting with "BAD".
class TPickyItem : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TPickyItem, TTestItem)

public:
    using TTestItem::TTestItem;
    static bool Handles(const TResourceIdent& type, const TResourceIdent&, TStream*) { return type == TResourceIdent("PICKY"); }
    void LoadFromStream(TStream& stream, int64_t size) override
    {
        if (MatchSignature(&stream, "BAD", {}, stream.Position())) throw EReadError("Picky kind refuses this data");
        TTestItem::LoadFromStream(stream, size);
    }
};

class ResFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceModuleRes_Initialize();
    }
    void TearDown() override
    {
        koResourceModuleRes_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    std::unique_ptr<TCustomResourceModule> Load(const QByteArray& bytes)
    {
        TBytesStream stream(bytes);
        return TResourceModuleReaderRes().LoadFromStream(stream);
    }
    QByteArray Save(TCustomResourceModule* module)
    {
        TMemoryStream stream;
        TResourceModuleWriterRes().SaveToStream(module, stream, {}, {});
        return stream.ToByteArray();
    }
};
} // namespace

TEST_F(ResFiles, RecognisesFilesByNameAndContent)
{
    TBytesStream res(Blank + Record("X", "Y", "z"));
    res.SetPosition(5);
    EXPECT_TRUE(TResourceModuleReaderRes::Handles(&res));
    EXPECT_EQ(res.Position(), 5);
    TBytesStream other(QByteArray(40, 'x'));
    EXPECT_FALSE(TResourceModuleReaderRes::Handles(&other));
    EXPECT_TRUE(TResourceModuleRes::Handles("a.DCR"));
    EXPECT_FALSE(TResourceModuleRes::Handles("a.rc"));
    TResourceModule module;
    EXPECT_TRUE(TResourceModuleWriterRes::Handles(&module, "x.res"));
    EXPECT_EQ(FileTypesFilter(TResourceModuleReaderRes::ClassInfo()->GetFileTypes(), true),
              "Resource files (*.res)|*.res|Delphi Component Resource (*.dcr)|*.dcr|All files (*.*)|*.*");
}

TEST_F(ResFiles, ReadsEveryRecordWithItsHeader)
{
    const QByteArray bytes = Blank + Record(QString(Ord(RT_RCDATA)), "ABC", "hello") +
                             Record("PNG", QString(Ord(2)), "", 0x0407) + Record(QString(Ord(RT_RCDATA)), QString(Ord(5)), "tail", 0, false);
    auto module = Load(bytes);
    ASSERT_EQ(module->Items()->Count(), 3) << "an empty resource does not end the file";
    auto* named = module->Find(Ord(RT_RCDATA), TResourceIdent("ABC"));
    ASSERT_TRUE(named);
    EXPECT_EQ(named->Language(), 0x0409);
    EXPECT_EQ(named->MemoryFlags(), 0x1030);
    EXPECT_EQ(named->Version(), 7u);
    EXPECT_EQ(named->Characteristics(), 9u);
    EXPECT_EQ(named->Size(), 5);
    auto* empty = module->Find(TResourceIdent("PNG"), Ord(2));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Size(), 0);
    EXPECT_EQ(empty->Language(), 0x0407);
    auto* last = qobject_cast<TResourceItemGeneric*>(module->Find(Ord(RT_RCDATA), Ord(5)));
    ASSERT_TRUE(last) << "the last record may lack its final padding";
    EXPECT_EQ(last->Size(), 4);
}

TEST_F(ResFiles, RoundTripIsByteForByte)
{
    // In the writer's order: ordinal types first, ordinal names before names, languages as read.
    const QByteArray bytes = Blank + Record(QString(Ord(RT_RCDATA)), QString(Ord(1)), "one") +
                             Record(QString(Ord(RT_RCDATA)), QString(Ord(1)), "uno", 0x0410) +
                             Record(QString(Ord(RT_RCDATA)), "NAME", "") + Record("USERTYPE", "X", QByteArray(9, '\x7f'));
    auto module = Load(bytes);
    EXPECT_EQ(Save(module.get()), bytes);
}

TEST_F(ResFiles, ShortAndPaddedFiles)
{
    EXPECT_EQ(Load(QByteArray(31, '\0'))->Items()->Count(), 0) << "under 32 bytes: an empty module";
    QByteArray blankWithJunk = Blank;
    blankWithJunk[20] = 'x';
    EXPECT_EQ(Load(blankWithJunk)->Items()->Count(), 0) << "only four fields of the blank record count";
    EXPECT_EQ(Load(Blank + Record("A", "B", "c") + QByteArray(7, '\1'))->Items()->Count(), 1)
        << "fewer than 8 trailing bytes end the file";
    EXPECT_EQ(Load(Blank + Record("A", "B", "c") + QByteArray(16, '\0'))->Items()->Count(), 1)
        << "zero padding at the end is no record";
}

TEST_F(ResFiles, MalformedFilesGiveClearErrors)
{
    struct Case {
        QByteArray bytes;
        const char* message;
    } cases[] = {
        {QByteArray::fromHex("0100000020000000ffff0000ffff0000") + QByteArray(16, '\0'),
         "Malformed resource file: First record must be blank"},
        {QByteArray::fromHex("0000000020000000ffff0100ffff0000") + QByteArray(16, '\0'),
         "Malformed resource file: First record must be blank"},
        {Blank + Record("A", "B", "data").left(30), "Malformed resource file: Premature end of data"},
        {Blank + QByteArray::fromHex("ffffff7f20000000") + QByteArray(24, '\0'), "Malformed resource file: Premature end of data"},
        {Blank + QByteArray::fromHex("0400000008000000") + QByteArray(24, '\0'), "Malformed resource file: Invalid record header"},
        {Blank + QByteArray::fromHex("0400000022000000") + QByteArray(30, '\0'), "Malformed resource file: Invalid record header"},
    };
    for (const Case& c : cases) {
        try {
            Load(c.bytes);
            ADD_FAILURE() << "no error for " << c.bytes.toHex().constData();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message) << c.bytes.toHex().constData();
        }
    }
    // A name that runs past its header is refused, not read from the fixed fields.
    QByteArray unterminated = Blank;
    PutDWord(unterminated, 0);
    PutDWord(unterminated, 32);
    unterminated += QByteArray("A\0B\0C\0D\0", 8) + QByteArray(16, '\0');
    EXPECT_THROW(Load(unterminated), Exception);
}

TEST_F(ResFiles, AKindThatFailsIsReadAsRawData)
{
    TPickyItem::ClassInfo()->Register(0);
    auto module = Load(Blank + Record("PICKY", "OK", "fine") + Record("PICKY", "NO", "BAD data"));
    ASSERT_EQ(module->Items()->Count(), 2);
    EXPECT_TRUE(qobject_cast<TPickyItem*>(module->Find(TResourceIdent("PICKY"), TResourceIdent("OK"))));
    auto* raw = qobject_cast<TResourceItemGeneric*>(module->Find(TResourceIdent("PICKY"), TResourceIdent("NO")));
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->Size(), 8);
    EXPECT_EQ(raw->Language(), 0x0409);
    TPickyItem::ClassInfo()->Unregister();
}

TEST_F(ResFiles, WriterSkipsWhatItMustNotWrite)
{
    TResourceModule module;
    module.Items()->Add(new TExportOnlyItem(TResourceIdent("E")));
    module.Items()->Add(new TSymbolsLikeInternal());
    EXPECT_EQ(Save(&module), Blank);
    auto* item = new TTestItem(TResourceIdent("ABC"));
    item->Data = "xyz";
    module.Items()->Add(item);
    const QByteArray bytes = Save(&module);
    // An ordinal type and a three-character name: a header of 36 bytes.
    EXPECT_EQ(bytes.mid(32 + 4, 4), QByteArray::fromHex("24000000"));
    EXPECT_EQ(bytes.size(), 32 + 36 + 4);
}

TEST_F(ResFiles, SavesAndLoadsFiles)
{
    QTemporaryDir dir;
    TResourceModule module;
    auto* item = new TResourceItemGeneric(Ord(3));
    item->SetResourceType(TResourceIdent("DATA"));
    TBytesStream data(QByteArray("abc"));
    item->LoadFromStream(data, 3);
    module.Items()->Add(item);
    ResourceModuleFilerDatabase(); // the filers are registered by SetUp
    module.SaveToFile(dir.filePath("out.res"));
    auto loaded = TCustomResourceModule::LoadFromFile(dir.filePath("out.res"));
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(qobject_cast<TResourceModuleRes*>(loaded.get()));
    ASSERT_EQ(loaded->Items()->Count(), 1);
    EXPECT_EQ(loaded->Items()->Items(0)->Size(), 3);
    EXPECT_FALSE(loaded->Modified());
}

#include "koResourceModuleResTest.moc"
