#include "kinds/koResourceItemString.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "platform/PeerTools.h"

#include <QFile>
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
    } cases[] = {{QByteArray("\x01", 1), "Premature end of data"},
                 {QByteArray("\x05\x00\x41\x00", 4), "Malformed resource item"}};
    for (const Case& c : cases) {
        TResourceModule module;
        auto* block = new TStringListBlockResourceItem(Ord(1));
        module.Items()->Add(block);
        TBytesStream data(c.bytes);
        try {
            block->LoadFromStream(data, c.bytes.size());
            ADD_FAILURE();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
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
    TBytesStream more(QByteArray("x"));
    EXPECT_THROW(named->LoadFromFileStream(more), EInvalidOperation);
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
