#include "kinds/koResourceItemString.h"
#include "kinds/koResourceModuleRCStringTableWriter.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourcesMessages.h"
#include "platform/BinaryReader.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "platform/PeerTools.h"
#include "platform/PublishedProperties.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

QByteArray Block(const QStringList& strings)
{
    TMemoryStream s;
    for (int i = 0; i < 16; ++i) {
        const QString text = i < strings.size() ? strings[i] : QString();
        s.WriteWord(static_cast<uint16_t>(text.size()));
        WriteWideString(s, text, false);
    }
    return s.ToByteArray();
}

class StringTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemString_Initialize();
        koResourceModuleRes_Initialize();
        Module.SetDeferDefaultSymbols(true);
    }
    void TearDown() override
    {
        koResourceModuleRes_Finalize();
        koResourceItemString_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    // Reads blocks as a module reader does, then finishes the load.
    void LoadBlocks(const std::vector<std::tuple<uint16_t, uint16_t, QByteArray>>& blocks)
    {
        Module.BeforeLoad();
        for (const auto& [name, language, bytes] : blocks) {
            TBytesStream data(bytes);
            LoadResourceItem(&Module, Ord(RT_STRING), Ord(name), language, data, bytes.size());
        }
        Module.AfterLoad();
    }
    TStringListResourceItem* Table(uint16_t language)
    {
        return qobject_cast<TStringListResourceItem*>(Module.Find(Ord(RT_STRING), TResourceIdent(), language));
    }
    // The blocks a save writes, as (name, language, bytes).
    std::vector<std::tuple<uint16_t, uint16_t, QByteArray>> SavedBlocks()
    {
        std::vector<std::tuple<uint16_t, uint16_t, QByteArray>> result;
        Module.BeforeSave();
        for (TCustomResourceItem* item : WritableResourceItems(&Module)) {
            TMemoryStream data;
            item->SaveToStream(data);
            result.emplace_back(item->NameInteger(), item->Language(), data.ToByteArray());
        }
        Module.AfterSave();
        return result;
    }
    TResourceModule Module;
};
} // namespace

TEST_F(StringTables, BlocksMergePerLanguageAndComeBack)
{
    LoadBlocks({{1, 0x0409, Block({"", "", "", "", "", "five"})},
                {3, 0x0409, Block({"", "", "", "", "", "", "", "", "forty"})},
                {1, 0x0407, Block({"null"})},
                {2, 0x0409, Block({})}});
    TStringListResourceItem* en = Table(0x0409);
    TStringListResourceItem* de = Table(0x0407);
    ASSERT_TRUE(en && de);
    EXPECT_EQ(Module.Items()->Count(), 2) << "the blocks are gone after loading";
    ASSERT_EQ(en->Strings()->Count(), 2) << "empty entries are no strings";
    EXPECT_EQ(en->Strings()->ValueByID(5), "five");
    EXPECT_EQ(en->Strings()->ValueByID(40), "forty");
    EXPECT_EQ(de->Strings()->ValueByID(0), "null");
    EXPECT_FALSE(en->Modified());
    EXPECT_EQ(en->FriendlyName(), "Strings");

    const auto saved = SavedBlocks();
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0], std::make_tuple(uint16_t(1), uint16_t(0x0409), Block({"", "", "", "", "", "five"})));
    EXPECT_EQ(saved[1], std::make_tuple(uint16_t(1), uint16_t(0x0407), Block({"null"})));
    EXPECT_EQ(saved[2], std::make_tuple(uint16_t(3), uint16_t(0x0409), Block({"", "", "", "", "", "", "", "", "forty"})));
    EXPECT_EQ(Module.Items()->Count(), 2) << "the blocks of a save are freed after it";
}

TEST_F(StringTables, EmptyStringsWithASymbolSurvive)
{
    LoadBlocks({{1, 0, Block({"a"})}});
    TStringListResourceItem* table = Table(0);
    TResourceStringsString* empty = table->Strings()->Add();
    empty->ID()->SetOrdinal(7);
    empty->ID()->SetIdentifier("IDS_EMPTY");
    const auto saved = SavedBlocks();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(std::get<2>(saved[0]), Block({"a"})) << "written as a zero-length entry";
}

TEST_F(StringTables, IDsAreUniqueAndNewStringsTakeTheSmallestFree)
{
    auto* table = new TStringListResourceItem();
    Module.Items()->Add(table);
    TResourceStringsString* first = table->Strings()->Add();
    EXPECT_EQ(first->IDValue(), 1u);
    TResourceStringsString* second = table->Strings()->Add();
    EXPECT_EQ(second->IDValue(), 2u);
    table->Strings()->Delete(0);
    EXPECT_EQ(table->Strings()->Add()->IDValue(), 1u);
    try {
        second->ID()->SetOrdinal(1);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Duplicate string ID: 1");
    }
    EXPECT_EQ(second->IDValue(), 2u);
}

TEST_F(StringTables, ElementChangesAreChangesOfTheTable)
{
    auto* table = new TStringListResourceItem();
    Module.Items()->Add(table);
    for (int i = 0; i < 3; ++i) table->Strings()->Add();
    int changed = 0;
    struct TCounter : IResourceItemNotification {
        int* Count;
        void ResourceItemNotification(TCustomResourceItem*, TResourceItemNotification n) override
        {
            if (n == rnChanged) ++*Count;
        }
    } counter;
    counter.Count = &changed;
    table->Subscribe(&counter);
    table->Strings()->Items(0)->SetValue("one");
    EXPECT_EQ(changed, 1);
    table->Strings()->BeginUpdate();
    for (int i = 0; i < 3; ++i) table->Strings()->Items(i)->SetValue(QString::number(i));
    table->Strings()->EndUpdate();
    EXPECT_EQ(changed, 2) << "three changes in one batch";
    table->LockUpdate();
    table->Strings()->Add();
    table->UnlockUpdate();
    EXPECT_EQ(changed, 2) << "a locked item hears nothing";
    table->Unsubscribe(&counter);
}

TEST_F(StringTables, MalformedBlocks)
{
    struct Case {
        QByteArray bytes;
        const char* message;
    } cases[] = {{QByteArray("\x01", 1), "The length of string 0 of block 1 (at offset 0) runs past the end of its data (1 bytes)."},
                 {QByteArray("\x05\x00\x41\x00", 4),
                  "String 0 of block 1 (5 characters at offset 2) runs past the end of its data (4 bytes)."},
                 {Block({"a"}).left(10), "The length of string 4 of block 1 (at offset 10) runs past the end of its data (10 bytes)."}};
    for (const Case& c : cases) {
        TResourceModule module;
        auto* block = new TStringListBlockResourceItem(Ord(1));
        module.Items()->Add(block);
        TBytesStream data(c.bytes);
        try {
            block->LoadFromStream(data, c.bytes.size());
            ADD_FAILURE();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message().toStdString(), c.message);
        }
        EXPECT_EQ(module.Items()->Count(), 1) << "a block that fails makes no table";
    }
    // Bytes after the 16th entry are ignored.
    LoadBlocks({{1, 0, Block({"x"}) + "trailing"}});
    EXPECT_EQ(Table(0)->Strings()->ValueByID(0), "x");
}

TEST_F(StringTables, TextImportAndOwnDataForm)
{
    auto* table = new TStringListResourceItem();
    Module.Items()->Add(table);
    table->SetNameInteger(2);
    TBytesStream text(QByteArray("one\r\ntwo\nthree\n"));
    table->LoadFromFileStream(text);
    ASSERT_EQ(table->Strings()->Count(), 3);
    EXPECT_EQ(table->Strings()->Items(0)->IDValue(), 16u);
    EXPECT_EQ(table->Strings()->Items(2)->IDValue(), 18u);
    EXPECT_EQ(table->Strings()->Items(2)->Value(), "three");
    TMemoryStream data;
    table->SaveToStream(data);
    EXPECT_EQ(data.Size(), 3 * 2 + 2 * (3 + 3 + 5));

    TBytesStream textFile(QByteArray("plain text"));
    EXPECT_TRUE(TStringListResourceItem::HandlesFile("a.txt", &textFile));
    auto* named = new TStringListResourceItem();
    Module.Items()->Add(named);
    named->SetName(TResourceIdent("NAMED"));
    named->Strings()->AddID(5)->SetValue("kept");
    TBytesStream more(QByteArray("x"));
    EXPECT_THROW(named->LoadFromFileStream(more), EInvalidOperation);
    EXPECT_EQ(named->Strings()->ValueByID(5), "kept") << "a failed import changes nothing";
}

TEST_F(StringTables, IDsBeyondSixteenBitsRefuseTheSave)
{
    auto* table = new TStringListResourceItem();
    Module.Items()->Add(table);
    table->Strings()->Add()->ID()->SetOrdinalValue(70000);
    EXPECT_THROW(Module.BeforeSave(), Exception);
    Module.AfterSave();
    EXPECT_EQ(Module.Items()->Count(), 1);
}

TEST_F(StringTables, CompilerSymbolsBindToStrings)
{
    LoadBlocks({{1, 0, Block({"zero", "one"})}});
    TStringListResourceItem* table = Table(0);
    Module.BeforeSave();
    auto* block = qobject_cast<TStringListBlockResourceItem*>(table->Items()->Items(0));
    ASSERT_TRUE(block);
    block->AssignChildItemIdentifier(1, "IDS_ONE");
    Module.AfterSave();
    EXPECT_EQ(table->Strings()->Items(1)->DisplayName(), "IDS_ONE");
    ASSERT_TRUE(Module.Symbols()->Find("IDS_ONE"));
    EXPECT_EQ(Module.Symbols()->Find("IDS_ONE")->Value(), QVariant(1));
}

TEST_F(StringTables, ResFilesFromCompilersInterop)
{
    QTemporaryDir dir;
    {
        QFile rc(dir.filePath("s.rc"));
        ASSERT_TRUE(rc.open(QIODevice::WriteOnly));
        rc.write("LANGUAGE 9, 1\nSTRINGTABLE\nBEGIN\n  1 \"Hello\"\n  17 \"World\"\n  40 \"\"\"quoted\"\" \\\\ tab\\t\"\nEND\n"
                 "LANGUAGE 7, 1\nSTRINGTABLE\nBEGIN\n  1 \"Hallo\"\nEND\n");
    }
    struct Tool {
        const char* name;
        QStringList args;
    } tools[] = {{"x86_64-w64-mingw32-windres", {dir.filePath("s.rc"), "-O", "res", "-o", dir.filePath("out.res")}},
                 {"llvm-rc", {"-fo", dir.filePath("out.res"), dir.filePath("s.rc")}}};
    for (const Tool& tool : tools) {
        SCOPED_TRACE(tool.name);
        const QString path = FindPeerTool(QString::fromLatin1(tool.name));
        if (path.isEmpty()) GTEST_SKIP() << tool.name << " is not installed";
        const TPeerToolResult run = RunPeerTool(path, tool.args);
        ASSERT_TRUE(run.Ok()) << run.Describe().toStdString();
        auto module = TCustomResourceModule::LoadFromFile(dir.filePath("out.res"));
        ASSERT_TRUE(module);
        ASSERT_EQ(module->Items()->Count(), 2) << "one table per language";
        auto* en = qobject_cast<TStringListResourceItem*>(module->Find(Ord(RT_STRING), TResourceIdent(), 0x0409));
        ASSERT_TRUE(en);
        EXPECT_EQ(en->Strings()->Count(), 3);
        EXPECT_EQ(en->Strings()->ValueByID(17), "World");
        EXPECT_EQ(en->Strings()->ValueByID(40), "\"quoted\" \\ tab\t");
        // Saved back, the blocks are the compiler's, byte for byte.
        const QByteArray original = QFile(dir.filePath("out.res")).open(QIODevice::ReadOnly) ? QByteArray() : QByteArray();
        module->SaveToFile(dir.filePath("again.res"));
        auto again = TCustomResourceModule::LoadFromFile(dir.filePath("again.res"));
        auto* en2 = qobject_cast<TStringListResourceItem*>(again->Find(Ord(RT_STRING), TResourceIdent(), 0x0409));
        ASSERT_TRUE(en2);
        EXPECT_EQ(en2->Strings()->ValueByID(40), en->Strings()->ValueByID(40));
        EXPECT_EQ(again->Items()->Count(), 2);
    }
}

namespace {
const QByteArray BlankRecord = QByteArray::fromHex("0000000020000000ffff0000ffff0000") + QByteArray(16, '\0');

struct THeader {
    uint16_t MemoryFlags = 0x1030;
    uint32_t DataVersion = 0;
    uint32_t Version = 0;
    uint32_t Characteristics = 0;
};

// One RT_STRING record of a RES file.
QByteArray StringRecord(const TResourceIdent& name, const QByteArray& data, uint16_t language = 0x0409,
                        const THeader& header = {})
{
    TMemoryStream s;
    s.WriteDWord(static_cast<uint32_t>(data.size()));
    s.WriteDWord(0);
    WriteResourceIdent(s, Ord(RT_STRING));
    WriteResourceIdent(s, name);
    while (s.Size() % 4) s.WriteByte(0);
    s.WriteDWord(header.DataVersion);
    s.WriteWord(header.MemoryFlags);
    s.WriteWord(language);
    s.WriteDWord(header.Version);
    s.WriteDWord(header.Characteristics);
    const auto headerSize = static_cast<uint32_t>(s.Size());
    s.WriteBytes(data);
    while (s.Size() % 4) s.WriteByte(0);
    s.SetPosition(4);
    s.WriteDWord(headerSize);
    return s.ToByteArray();
}

std::unique_ptr<TCustomResourceModule> LoadRes(const QByteArray& bytes)
{
    TBytesStream stream(bytes);
    auto module = TResourceModuleReaderRes().LoadFromStream(stream);
    module->AfterLoad();
    return module;
}

// What a module holds, comparable across files: each string of a table, each other resource with its bytes.
QStringList Contents(TCustomResourceModule* module)
{
    QStringList lines;
    for (TCustomResourceItem* item : *module->Items()) {
        const QString key = ResourceIdentToText(item->ResourceType()) + QLatin1Char('/') +
                            ResourceIdentToText(item->Name()) + QLatin1Char('/') + QString::number(item->Language(), 16);
        if (auto* table = qobject_cast<TStringListResourceItem*>(item)) {
            for (int i = 0; i < table->Strings()->Count(); ++i)
                lines << key + QStringLiteral(" string ") + QString::number(table->Strings()->Items(i)->IDValue()) +
                             QLatin1Char('=') + table->Strings()->Items(i)->Value();
        } else {
            TMemoryStream data;
            item->SaveToStream(data);
            lines << key + QStringLiteral(" raw ") + QString::fromLatin1(data.ToByteArray().toHex());
        }
    }
    lines.sort();
    return lines;
}

// The type, name and language of every record of a RES file, in file order.
QStringList RecordKeys(const QByteArray& res)
{
    QStringList keys;
    TBinaryReader file(res);
    int64_t offset = 32;
    while (file.Has(offset, 8)) {
        const uint32_t dataSize = file.U32(offset);
        const uint32_t headerSize = file.U32(offset + 4);
        keys << QString::fromLatin1(file.Bytes(offset + 8, headerSize - 24).toHex()) + QLatin1Char('/') +
                    QString::number(file.U16(offset + headerSize - 10), 16);
        offset += (headerSize + dataSize + 3) & ~3u;
    }
    return keys;
}

class TCollector : public IResourceMessageLogSubscriber {
public:
    void LogMessage(const IResourceMessagePtr& Msg) override { Messages << Msg->GetMessage(); }
    QStringList Messages;
};

class StringBlocksInFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemString_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModuleRCStringTableWriter_Initialize();
        MessageLogger()->Subscribe(Log);
    }
    void TearDown() override
    {
        MessageLogger()->Unsubscribe(Log);
        koResourceModuleRCStringTableWriter_Finalize();
        koResourceModuleRC_Finalize();
        koResourceModuleRes_Finalize();
        koResourceItemString_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
        koResourcesMessages_Finalize();
    }
    QByteArray SaveRes(TCustomResourceModule* module)
    {
        const QString file = Dir.filePath(QStringLiteral("saved.res"));
        QFile::remove(file);
        module->SaveToFile(file);
        QFile saved(file);
        EXPECT_TRUE(saved.open(QIODevice::ReadOnly));
        return saved.readAll();
    }
    std::shared_ptr<TCollector> Log = std::make_shared<TCollector>();
    QTemporaryDir Dir;
};

// Blocks that cannot be merged, each with what the file holds after it was read.
struct TUnmergeable {
    const char* what;
    QByteArray res;
    QStringList contents;
    const char* message;
};

std::vector<TUnmergeable> Unmergeable()
{
    const QString truncated = QString::fromLatin1(Block({"abc", "x"}).left(11).toHex());
    const QString cut = QString::fromLatin1(Block({"b", "c"}).left(7).toHex());
    return {
        {"the second string runs past its data", BlankRecord + StringRecord(Ord(1), Block({"abc", "x"}).left(11)),
         {"6/1/409 raw " + truncated},
         "String 1 of block 1 (1 characters at offset 10) runs past the end of its data (11 bytes)."},
        {"a block cut half-way after a good one",
         BlankRecord + StringRecord(Ord(1), Block({"a"})) + StringRecord(Ord(2), Block({"b", "c"}).left(7)),
         {"6//409 string 0=a", "6/2/409 raw " + cut},
         "String 1 of block 2 (1 characters at offset 6) runs past the end of its data (7 bytes)."},
        {"a text name", BlankRecord + StringRecord(TResourceIdent("NAMED"), Block({"t"})),
         {"6/NAMED/409 raw " + QString::fromLatin1(Block({"t"}).toHex())},
         "A string block is named by a number from 1 to 4096, not NAMED; it is kept as raw data."},
        {"block 0", BlankRecord + StringRecord(Ord(0), Block({"z"})),
         {"6/0/409 raw " + QString::fromLatin1(Block({"z"}).toHex())},
         "A string block is named by a number from 1 to 4096, not 0; it is kept as raw data."},
        {"a block past the 16-bit IDs", BlankRecord + StringRecord(Ord(4097), Block({"big"})),
         {"6/4097/409 raw " + QString::fromLatin1(Block({"big"}).toHex())},
         "A string block is named by a number from 1 to 4096, not 4097; it is kept as raw data."},
    };
}
} // namespace

TEST_F(StringBlocksInFiles, ABlockThatCannotBeMergedStaysWholeAsRawDataAndComesBackSo)
{
    for (const TUnmergeable& c : Unmergeable()) {
        SCOPED_TRACE(c.what);
        Log->Messages.clear();
        auto module = LoadRes(c.res);
        EXPECT_EQ(Contents(module.get()), c.contents) << "none of its strings is taken, none is made up";
        EXPECT_TRUE(Log->Messages.contains(QString::fromLatin1(c.message))) << Log->Messages.join('\n').toStdString();

        const QByteArray saved = SaveRes(module.get());
        const QStringList keys = RecordKeys(saved);
        EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), keys.size()) << "no resource is written twice";
        EXPECT_EQ(Contents(LoadRes(saved).get()), c.contents) << "read back, the same resources";
        EXPECT_EQ(Contents(module.get()), c.contents) << "saving changes nothing";
    }
}

TEST_F(StringBlocksInFiles, TheSameBlockTwiceIsMergedOnceAndNeverWrittenTwice)
{
    const QByteArray res = BlankRecord + StringRecord(Ord(1), Block({"first"})) + StringRecord(Ord(1), Block({"second"}));
    auto module = LoadRes(res);
    const QStringList read = {"6//409 string 0=first", "6/1/409 raw " + QString::fromLatin1(Block({"second"}).toHex())};
    EXPECT_EQ(Contents(module.get()), read);
    EXPECT_TRUE(Log->Messages.contains(QStringLiteral(
        "String block 1 (IDs 0 to 15) is already in the string table of its language; this copy is kept as raw data.")))
        << Log->Messages.join('\n').toStdString();

    // Both copies cannot go into one file: the save is refused and nothing changes.
    const QString file = Dir.filePath(QStringLiteral("twice.res"));
    try {
        module->SaveToFile(file);
        ADD_FAILURE() << "saved";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message().toStdString(),
                  "String block 1 (English (United States)) would be written twice: from the string table and from the raw "
                  "string resource of the same name and language. Delete, rename or change the language of one of them.");
    }
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(Contents(module.get()), read);
    EXPECT_EQ(module->Items()->Count(), 2) << "the blocks made for the save are gone";

    // Once the person chose, the file saves and reads back the same.
    module->Items()->Remove(module->Find(Ord(RT_STRING), Ord(1), 0x0409));
    const QByteArray saved = SaveRes(module.get());
    EXPECT_EQ(Contents(LoadRes(saved).get()), QStringList{"6//409 string 0=first"});
}

TEST_F(StringBlocksInFiles, BlocksKeepTheHeaderFieldsTheyWereReadWith)
{
    const THeader first{0x1030, 1, 2, 3};
    const THeader second{0x0010, 0, 0x01020304, 9};
    const THeader german{0x0030, 0, 0, 0};
    // In the writer's order: by name, then languages as read.
    const QByteArray res = BlankRecord + StringRecord(Ord(1), Block({"a"}), 0x0409, first) +
                           StringRecord(Ord(1), Block({"c"}), 0x0407, german) +
                           StringRecord(Ord(2), Block({"b"}), 0x0409, second);
    auto module = LoadRes(res);
    EXPECT_EQ(SaveRes(module.get()).toHex().toStdString(), res.toHex().toStdString()) << "byte for byte";

    // A block the file did not have takes the fields of the table's first block.
    auto* table = qobject_cast<TStringListResourceItem*>(module->Find(Ord(RT_STRING), TResourceIdent(), 0x0409));
    ASSERT_TRUE(table);
    table->Strings()->AddID(100)->SetValue("new");
    const QByteArray added = StringRecord(Ord(7), Block({"", "", "", "", "new"}), 0x0409, first);
    EXPECT_EQ(SaveRes(module.get()).toHex().toStdString(), QByteArray(res + added).toHex().toStdString());
}

TEST_F(StringBlocksInFiles, SavingATableWarnsOfNothing)
{
    auto module = LoadRes(BlankRecord + StringRecord(Ord(1), Block({"a"})) + StringRecord(Ord(2), Block({"b"})));
    Log->Messages.clear();
    SaveRes(module.get());
    EXPECT_EQ(Log->Messages, QStringList()) << "every string is written";
}

// The RC script of a module with raw string resources compiles, and gives the same resources.
TEST_F(StringBlocksInFiles, ScriptsWithRawStringResourcesCompileInterop)
{
    struct Compiler {
        const char* tool;
        QStringList args;
    } compilers[] = {
        {"x86_64-w64-mingw32-windres", {"-O", "res", "-i", "s.rc", "-o", "out.res"}},
        {"llvm-rc", {"-fo", "out.res", "s.rc"}},
    };
    int compiled = 0;
    for (const Compiler& compiler : compilers) {
        const QString tool = FindPeerTool(QString::fromLatin1(compiler.tool));
        if (tool.isEmpty()) continue;
        ++compiled;
        for (const TUnmergeable& c : Unmergeable()) {
            SCOPED_TRACE(std::string(compiler.tool) + ": " + c.what);
            auto module = LoadRes(c.res);
            TResourceModuleWriterRC writer;
            writer.SetSymbolicValues(false);
            module->BeforeSave();
            writer.SaveToFile(module.get(), Dir.filePath(QStringLiteral("s.rc")), QString());
            module->AfterSave();
            QFile::remove(Dir.filePath(QStringLiteral("out.res")));
            const TPeerToolResult run = RunPeerTool(tool, compiler.args, 60000, Dir.path());
            QFile script(Dir.filePath(QStringLiteral("s.rc")));
            script.open(QIODevice::ReadOnly);
            ASSERT_TRUE(run.Ok()) << run.Describe().toStdString() << script.readAll().toStdString();
            QFile out(Dir.filePath(QStringLiteral("out.res")));
            ASSERT_TRUE(out.open(QIODevice::ReadOnly));
            EXPECT_EQ(Contents(LoadRes(out.readAll()).get()), c.contents);
        }
    }
    if (compiled == 0) GTEST_SKIP() << "no resource compiler is installed";
}

TEST_F(StringTables, TablesPublishTheirStringsAndStringsTheirIDs)
{
    auto* table = new TStringListResourceItem();
    Module.Items()->Add(table);
    TResourceStringsString* string = table->Strings()->AddID(42);
    string->SetValue("answer");

    const QMetaProperty strings = FindPublishedProperty(table->metaObject(), "Strings");
    ASSERT_TRUE(strings.isValid());
    EXPECT_EQ(strings.read(table).value<TResourceStrings*>(), table->Strings());

    const QMetaProperty id = FindPublishedProperty(string->metaObject(), "ID");
    ASSERT_TRUE(id.isValid());
    auto* identifier = id.read(string).value<TCustomResourceOrdinalDWordIdentifier*>();
    ASSERT_EQ(identifier, string->ID());
    EXPECT_EQ(identifier->property("Value").toString(), "42");
    // Written through the property, the ID is checked like any other change.
    identifier->setProperty("Value", QStringLiteral("7"));
    EXPECT_EQ(table->Strings()->ValueByID(7), "answer");
    EXPECT_EQ(table->Strings()->FindID(42), nullptr);
    EXPECT_EQ(FindPublishedProperty(string->metaObject(), "Value").read(string).toString(), "answer");
}

TEST_F(StringTables, TheIDIndexFollowsEveryChange)
{
    auto* table = new TStringListResourceItem();
    Module.Items()->Add(table);
    TResourceStringsString* a = table->Strings()->AddID(10);
    a->SetValue("ten");
    // A symbol's value change moves the string.
    a->ID()->SetIdentifier("IDS_A");
    Module.Symbols()->Find("IDS_A")->SetValue(20);
    EXPECT_EQ(a->IDValue(), 20u);
    EXPECT_EQ(table->Strings()->ValueByID(20), "ten");
    EXPECT_EQ(table->Strings()->FindID(10), nullptr);
    EXPECT_THROW(table->Strings()->AddID(20), Exception);
    // Deleted, its ID is free again, and new strings fill the gaps from 1 up.
    for (int i = 0; i < 3; ++i) table->Strings()->Add();
    EXPECT_EQ(table->Strings()->FindID(3)->Index(), 3);
    table->Strings()->Delete(table->Strings()->IndexOfID(2));
    table->Strings()->Delete(table->Strings()->IndexOfID(20));
    EXPECT_EQ(table->Strings()->FindID(20), nullptr);
    EXPECT_EQ(table->Strings()->Add()->IDValue(), 2u);
    EXPECT_EQ(table->Strings()->Add()->IDValue(), 4u);
    table->Strings()->Clear();
    EXPECT_EQ(table->Strings()->Add()->IDValue(), 1u);
}
