#include "TestKinds.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "platform/UpdateGuard.h"
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

TEST_F(ResFiles, PaddingBetweenAndAfterRecords)
{
    const QByteArray one = Record(QString(Ord(RT_RCDATA)), QString(Ord(1)), "one!");
    const QByteArray two = Record(QString(Ord(RT_RCDATA)), QString(Ord(2)), "two!");
    struct Case {
        QByteArray bytes;
        int items;
        const char* what;
    } cases[] = {
        {Blank + one + QByteArray(8, '\0') + two, 2, "a zero pair between records is padding"},
        {Blank + one + QByteArray(24, '\0') + two, 2, "so are several"},
        {Blank + QByteArray(8, '\0') + one, 1, "also before the first record"},
        {Blank + one + QByteArray(7, '\1'), 1, "fewer than 8 trailing bytes hold no record"},
        {Blank + one + QByteArray(16, '\0'), 1, "zero padding at the end is no record"},
        {Blank + one + QByteArray(12, '\0'), 1, "nor is a cut zero pair"},
        {Blank, 0, "a file of the blank record alone is empty"},
    };
    for (const Case& c : cases) {
        auto module = Load(c.bytes);
        EXPECT_EQ(module->Items()->Count(), c.items) << c.what;
    }
    auto module = Load(Blank + one + QByteArray(8, '\0') + two);
    auto* second = module->Find(Ord(RT_RCDATA), Ord(2));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Size(), 4);
}

TEST_F(ResFiles, FilesThatAreNoResFilesAreRefused)
{
    const char* const tooSmall = "Not a resource file: a resource file starts with an empty 32-byte record, and this file "
                                 "holds only %1 bytes.";
    const char* const notBlank = "Not a resource file: a resource file starts with an empty 32-byte record, and the first "
                                 "32 bytes of this file are not one.";
    struct Case {
        QByteArray bytes;
        QString message;
    } cases[] = {
        {"NOTARESFIL", QString::fromLatin1(tooSmall).arg(10)},
        {QByteArray(), QString::fromLatin1(tooSmall).arg(0)},
        {QByteArray(31, '\0'), QString::fromLatin1(tooSmall).arg(31)},
        {QByteArray(64, 'x'), notBlank},
        {QByteArray::fromHex("0100000020000000ffff0000ffff0000") + QByteArray(16, '\0'), notBlank},
        {QByteArray::fromHex("0000000020000000ffff0100ffff0000") + QByteArray(16, '\0'), notBlank},
    };
    for (const Case& c : cases) {
        try {
            Load(c.bytes);
            ADD_FAILURE() << "no error for " << c.bytes.toHex().constData();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message().toStdString(), c.message.toStdString());
        }
    }
    QByteArray blankWithJunk = Blank;
    blankWithJunk[20] = 'x';
    EXPECT_EQ(Load(blankWithJunk)->Items()->Count(), 0) << "only the sizes, type and name of the blank record count";
}

TEST_F(ResFiles, MalformedRecordsNameTheRecordAndItsOffset)
{
    const QByteArray good = Record("A", "B", "data"); // 36 bytes
    // A name must end inside its header, not in the fixed fields after it.
    QByteArray unterminated;
    PutDWord(unterminated, 0);
    PutDWord(unterminated, 36);
    unterminated += QByteArray("A\0\0\0B\0C\0D\0E\0", 12) + QByteArray(16, '\0');
    QByteArray unterminatedType;
    PutDWord(unterminatedType, 0);
    PutDWord(unterminatedType, 32);
    unterminatedType += QByteArray("A\0B\0C\0D\0", 8) + QByteArray(16, '\0');
    QByteArray emptyName;
    PutDWord(emptyName, 0);
    PutDWord(emptyName, 32);
    emptyName += QByteArray("A\0\0\0\0\0\0\0", 8) + QByteArray(16, '\0');
    struct Case {
        QByteArray bytes;
        const char* message;
    } cases[] = {
        {Blank + good + good.left(34),
         "Malformed resource file: the data of resource record 2 (type A, name B) at offset 0x44 (4 bytes) runs past "
         "the end of the file."},
        {Blank + QByteArray::fromHex("ffffff7f20000000") + QByteArray::fromHex("ffff0a00ffff0100") + QByteArray(16, '\0'),
         "Malformed resource file: the data of resource record 1 (type 10, name 1) at offset 0x20 (2147483647 bytes) "
         "runs past the end of the file."},
        {Blank + QByteArray::fromHex("0400000008000000") + QByteArray(24, '\0'),
         "Malformed resource file: resource record 1 at offset 0x20 has an invalid header size (8 bytes)."},
        {Blank + good + QByteArray::fromHex("0400000022000000") + QByteArray(30, '\0'),
         "Malformed resource file: resource record 2 at offset 0x44 has an invalid header size (34 bytes)."},
        {Blank + QByteArray::fromHex("0000000040000000") + QByteArray(24, '\0'),
         "Malformed resource file: the header of resource record 1 at offset 0x20 (64 bytes) runs past the end of "
         "the file."},
        {Blank + unterminated,
         "Malformed resource file: the name of resource record 1 at offset 0x20 does not fit in its header."},
        {Blank + unterminatedType,
         "Malformed resource file: the type of resource record 1 at offset 0x20 does not fit in its header."},
        {Blank + emptyName, "Malformed resource file: resource record 1 at offset 0x20 has an empty name."},
        // Four zero bytes are no zero pair: the next record would be read from the wrong place.
        {Blank + good + QByteArray(4, '\0') + good,
         "Malformed resource file: resource record 2 at offset 0x44 has an invalid header size (4 bytes)."},
    };
    for (const Case& c : cases) {
        try {
            Load(c.bytes);
            ADD_FAILURE() << "no error for " << c.bytes.toHex().constData();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message().toStdString(), c.message) << c.bytes.toHex().constData();
        }
    }
}

TEST_F(ResFiles, HeaderFieldsOfEveryRecordSurviveARoundTrip)
{
    QByteArray bytes = Blank + Record(QString(Ord(RT_RCDATA)), QString(Ord(1)), "one");
    // Another data version and other memory flags than the writer's usual ones.
    QByteArray odd = Record(QString(Ord(RT_RCDATA)), QString(Ord(2)), "two", 0x0407);
    odd[16] = '\x05';
    odd[20] = '\x50';
    bytes += odd;
    auto module = Load(bytes);
    auto* item = module->Find(Ord(RT_RCDATA), Ord(2));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->DataVersion(), 5u);
    EXPECT_EQ(item->MemoryFlags(), 0x1050);
    EXPECT_EQ(Save(module.get()), bytes);
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
    struct TCollector : IResourceMessageLogSubscriber {
        void LogMessage(const IResourceMessagePtr& Msg) override { Messages << Msg->GetMessage(); }
        QStringList Messages;
    };
    const auto log = std::make_shared<TCollector>();
    MessageLogger()->Subscribe(log);
    TFinally unsubscribe([&] {
        MessageLogger()->Unsubscribe(log);
        koResourcesMessages_Finalize();
    });
    TResourceModule module;
    module.Items()->Add(new TExportOnlyItem(TResourceIdent("E")));
    module.Items()->Add(new TSymbolsLikeInternal());
    EXPECT_EQ(Save(&module), Blank);
    EXPECT_EQ(log->Messages, QStringList{"Item does not support writing"}) << "the item that is lost, and only it";
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
