#include "kinds/koResourceItemToolbar.h"
#include "model/LogCapture.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

QByteArray Words(std::initializer_list<uint16_t> words)
{
    TMemoryStream s;
    for (uint16_t w : words) s.WriteWord(w);
    return s.ToByteArray();
}

// A RES file holding one resource of the given ordinal type, name 1, language 0x0409.
QByteArray ResFile(uint16_t type, const QByteArray& data)
{
    TMemoryStream s;
    auto record = [&](uint16_t recordType, const QByteArray& bytes) {
        s.WriteDWord(uint32_t(bytes.size()));
        s.WriteDWord(32);
        s.WriteWord(0xFFFF);
        s.WriteWord(recordType);
        s.WriteWord(0xFFFF);
        s.WriteWord(recordType ? 1 : 0);
        s.WriteDWord(0);
        s.WriteWord(recordType ? 0x1030 : 0);
        s.WriteWord(recordType ? 0x0409 : 0);
        s.WriteDWord(0);
        s.WriteDWord(0);
        s.WriteBytes(bytes);
        while (s.Size() % 4) s.WriteByte(0);
    };
    record(0, {});
    record(type, data);
    return s.ToByteArray();
}

std::vector<uint16_t> Commands(const TToolbarResourceItem& toolbar)
{
    std::vector<uint16_t> commands;
    for (int i = 0; i < toolbar.Buttons()->Count(); ++i)
        commands.push_back(toolbar.Buttons()->Items(i)->Command()->OrdinalValue());
    return commands;
}

class Toolbars : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemToolbar_Initialize();
        koResourceModuleRes_Initialize();
        Module.SetDeferDefaultSymbols(true);
        Toolbar = new TToolbarResourceItem(TResourceIdent::FromOrdinal(1));
        Module.Items()->Add(Toolbar);
    }
    void TearDown() override
    {
        koResourceModuleRes_Finalize();
        koResourceItemToolbar_Finalize();
        koResourcesKinds_Finalize();
    }
    void Load(const QByteArray& bytes)
    {
        TBytesStream data(bytes);
        Toolbar->LoadFromStream(data, data.Size());
    }
    QByteArray Save()
    {
        TMemoryStream s;
        Toolbar->SaveToStream(s);
        return s.ToByteArray();
    }
    TResourceModule Module;
    TToolbarResourceItem* Toolbar = nullptr;
};

} // namespace

TEST_F(Toolbars, LoadsAndSavesTheSameBytes)
{
    const QByteArray bytes = QByteArray::fromHex("01001000 0F000300 E8030000 E903");
    Load(bytes);
    EXPECT_EQ(Toolbar->Width(), 16);
    EXPECT_EQ(Toolbar->Height(), 15);
    EXPECT_EQ(Commands(*Toolbar), (std::vector<uint16_t>{1000, 0, 1001}));
    EXPECT_TRUE(Toolbar->Buttons()->Items(1)->Separator());
    EXPECT_EQ(Save(), bytes);
    EXPECT_EQ(Toolbar->Size(), bytes.size());
}

TEST_F(Toolbars, ShortOrPaddedDataGivesTheButtonsThatFit)
{
    struct {
        const char* name;
        QByteArray bytes;
        std::vector<uint16_t> commands;
        int width, height;
    } cases[] = {
        {"count past the data", Words({1, 24, 22, 1000, 5, 6}), {5, 6}, 24, 22},
        {"half a command at the end", Words({1, 16, 15, 3, 7}) + QByteArray(1, 'x'), {7}, 16, 15},
        {"bytes after the last entry", Words({1, 16, 15, 1, 9, 0xBEEF, 0xBEEF}), {9}, 16, 15},
        {"header cut short", Words({1, 20}), {}, 20, 0},
    };
    for (const auto& c : cases) {
        Toolbar->Clear();
        Load(c.bytes);
        EXPECT_EQ(Commands(*Toolbar), c.commands) << c.name;
        EXPECT_EQ(Toolbar->Width(), c.width) << c.name;
        EXPECT_EQ(Toolbar->Height(), c.height) << c.name;
    }
}

TEST_F(Toolbars, AnotherVersionIsRefusedAndTheModuleKeepsTheBytes)
{
    Load(Words({1, 16, 15, 1, 42}));
    for (uint16_t version : {0, 2, 0xFFFF}) {
        const QByteArray bytes = Words({version, 16, 15, 1, 42});
        TBytesStream data(bytes);
        try {
            Toolbar->LoadFromStream(data, data.Size());
            ADD_FAILURE() << "version " << version << " loaded";
        } catch (const EAssertionFailed&) {
            ADD_FAILURE() << "bad bytes are not a programming error";
        } catch (const Exception& e) {
            EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Assertion failure (koResourceItemToolbar, line ")))
                << e.Message().toStdString();
        }
        // Refused before anything changed.
        EXPECT_EQ(Commands(*Toolbar), (std::vector<uint16_t>{42}));
    }

    const QByteArray bytes = Words({2, 16, 15, 2, 1000, 1001});
    TBytesStream res(ResFile(RT_TOOLBAR, bytes));
    TLogCapture log;
    auto module = TResourceModuleReaderRes().LoadFromStream(res);
    ASSERT_EQ(module->Items()->Count(), 1);
    auto* raw = qobject_cast<TResourceItemGeneric*>(module->Items()->Items(0));
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->ResourceType(), TResourceIdent::FromOrdinal(RT_TOOLBAR));
    EXPECT_EQ(raw->Data()->ToByteArray(), bytes);
    ASSERT_FALSE(log.Messages().isEmpty());
    EXPECT_TRUE(log.Messages().join('\n').contains(QStringLiteral("Assertion failure"))) << log.Messages().join('\n').toStdString();
}

TEST_F(Toolbars, GoodToolbarLoadsThroughAModule)
{
    const QByteArray bytes = Words({1, 32, 30, 2, 7, 0});
    TBytesStream res(ResFile(RT_TOOLBAR, bytes));
    auto module = TResourceModuleReaderRes().LoadFromStream(res);
    ASSERT_EQ(module->Items()->Count(), 1);
    auto* toolbar = qobject_cast<TToolbarResourceItem*>(module->Items()->Items(0));
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(Commands(*toolbar), (std::vector<uint16_t>{7, 0}));
    EXPECT_EQ(toolbar->FriendlyTypeName(), QStringLiteral("Toolbar"));
    TMemoryStream out;
    toolbar->SaveToStream(out);
    EXPECT_EQ(out.ToByteArray(), bytes);
}

TEST_F(Toolbars, NewButtonsTakeTheNextCommand)
{
    Toolbar->InitializeNewItem();
    EXPECT_EQ(Toolbar->Width(), 16);
    EXPECT_EQ(Toolbar->Height(), 15);
    EXPECT_EQ(Commands(*Toolbar), (std::vector<uint16_t>{1}));
    EXPECT_EQ(Save(), Words({1, 16, 15, 1, 1}));

    Toolbar->Clear();
    Load(Words({1, 16, 15, 3, 1000, 0, 5}));
    Toolbar->Buttons()->Add();
    EXPECT_EQ(Commands(*Toolbar), (std::vector<uint16_t>{1000, 0, 5, 1001}));

    // The largest command is taken as unsigned.
    Toolbar->Clear();
    Load(Words({1, 16, 15, 1, 0x9000}));
    Toolbar->Buttons()->Add();
    EXPECT_EQ(Commands(*Toolbar).back(), 0x9001);
}

TEST_F(Toolbars, SeparatorToggles)
{
    Load(Words({1, 16, 15, 3, 1, 0, 300}));
    TResourceToolbarItem* separator = Toolbar->Buttons()->Items(1);
    separator->SetSeparator(true);
    EXPECT_EQ(separator->Command()->OrdinalValue(), 0);
    // Command 1 even though another button has it.
    separator->SetSeparator(false);
    EXPECT_EQ(Commands(*Toolbar), (std::vector<uint16_t>{1, 1, 300}));
    TResourceToolbarItem* button = Toolbar->Buttons()->Items(2);
    button->SetSeparator(false);
    EXPECT_EQ(button->Command()->OrdinalValue(), 300);
    button->SetSeparator(true);
    EXPECT_EQ(button->Command()->OrdinalValue(), 0);
}

TEST_F(Toolbars, DisplayNamesShowSymbolsAndSeparators)
{
    Module.Symbols()->Add(QStringLiteral("ID_FILE_OPEN"))->SetLiteralValue(QStringLiteral("1000"));
    Load(Words({1, 16, 15, 4, 1000, 0, 1001, 1000}));
    Toolbar->AssignChildItemIdentifier(1000, "ID_FILE_OPEN");
    Toolbar->AssignChildItemIdentifier(4242, "ID_NONE");
    QStringList names;
    for (int i = 0; i < Toolbar->Buttons()->Count(); ++i) names << Toolbar->Buttons()->Items(i)->DisplayName();
    EXPECT_EQ(names, (QStringList{"ID_FILE_OPEN", "-", "1001", "ID_FILE_OPEN"}));
    EXPECT_EQ(Save(), Words({1, 16, 15, 4, 1000, 0, 1001, 1000}));
}

TEST_F(Toolbars, SizeIsHeaderAndCommandsWithWidthAndHeightCut)
{
    Toolbar->SetWidth(0x10020);
    Toolbar->SetHeight(48);
    Toolbar->Buttons()->Add();
    Toolbar->Buttons()->Add();
    EXPECT_EQ(Toolbar->Size(), 12);
    EXPECT_EQ(Save(), Words({1, 0x20, 48, 2, 1, 2}));
}
