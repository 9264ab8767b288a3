// Message tables of real modules, and message tables in scripts compiled by a real resource compiler.
#include "MessageTableTestSupport.h"
#include "kinds/koResourceItemMessageTable.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Languages.h"
#include "platform/PeerTools.h"
#include "platform/Streams.h"
#include "platform/WineModules.h"

#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

// The UTF-16 messages of the data; nullopt when a block is ANSI.
std::optional<TMessages> Utf16Messages(const QByteArray& data)
{
    TMessages messages;
    for (const TStoredEntry& entry : StoredEntries(data)) {
        if (!(entry.Flags & 1)) return std::nullopt;
        QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(entry.Bytes.constData()), entry.Bytes.size() / 2);
        if (const qsizetype zero = text.indexOf(QChar(0)); zero >= 0) text.truncate(zero);
        messages[entry.ID] = text;
    }
    return messages;
}

class MessageTableInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemString_Initialize();
        koResourceItemMessageTable_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModuleRC_Initialize();
    }
    void TearDown() override
    {
        koResourceModuleRC_Finalize();
        koResourceModuleRes_Finalize();
        koResourceItemMessageTable_Finalize();
        koResourceItemString_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
};
} // namespace

TEST_F(MessageTableInterop, WineMessageTablesLoadAndSaveWithTheirTexts)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine's modules are not installed";
    const QList<TWineResource> resources = WineResources({RT_MESSAGETABLE});
    ASSERT_FALSE(resources.isEmpty());
    int identical = 0, messages = 0;
    QSet<uint16_t> languages;
    for (const TWineResource& r : resources) {
        const QString where = r.Module + QStringLiteral(" ") + ResourceIdentToString(r.Resource.Name) +
                              QStringLiteral(" ") + QString::number(r.Resource.Language, 16);
        SCOPED_TRACE(where.toStdString());
        TResourceModule module;
        module.SetDeferDefaultSymbols(true);
        TBytesStream data(r.Resource.Data);
        auto* table = qobject_cast<TMessageTableResourceItem*>(LoadResourceItem(
            &module, Ord(RT_MESSAGETABLE), r.Resource.Name, r.Resource.Language, data, r.Resource.Data.size()));
        ASSERT_TRUE(table) << "kept as raw data";
        const TMessages loaded = Messages(*table);
        const std::optional<TMessages> stored = Utf16Messages(r.Resource.Data);
        ASSERT_TRUE(stored) << "the corpus holds UTF-16 blocks only";
        EXPECT_EQ(loaded, *stored);

        TMemoryStream saved;
        table->SaveToStream(saved);
        const QByteArray bytes = saved.ToByteArray();
        identical += bytes == r.Resource.Data;
        const std::optional<TMessages> written = Utf16Messages(bytes);
        ASSERT_TRUE(written) << "a table read as UTF-16 is written so";
        EXPECT_EQ(*written, loaded);

        TMessageTableResourceItem again(Ord(1));
        again.SetLanguage(r.Resource.Language);
        saved.SetPosition(0);
        again.LoadFromStream(saved, saved.Size());
        EXPECT_EQ(Messages(again), loaded);
        messages += int(loaded.size());
        languages.insert(r.Resource.Language);
    }
    EXPECT_TRUE(std::any_of(languages.begin(), languages.end(), [](uint16_t l) { return PrimaryLangID(l) == 0x5B; }))
        << "Sinhala, a language without an ANSI code page";
    std::cout << resources.size() << " message tables (" << messages << " messages, " << languages.size()
              << " languages); " << identical << " saved byte for byte\n";
    RecordProperty("tables", int(resources.size()));
    RecordProperty("identical", identical);
}

TEST_F(MessageTableInterop, WindresCompilesTheScriptBack)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    if (!QFileInfo::exists(QStringLiteral("/usr/share/mingw-w64/include/windows.h")))
        GTEST_SKIP() << "the mingw-w64 headers are not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TResourceModule module;
    struct Table {
        uint16_t name, language;
        TMessages messages;
    } tables[] = {
        {1, 0x0409, {{1, "first\r\n"}, {2, "second %1"}, {0x40000010, ""}, {0xC0000011, "error"}}},
        {1, 0x0419, {{7, QStringLiteral("\u041F\u0440\u0438\u0432\u0435\u0442")}}},
        {2, 0x045B, {{3, QStringLiteral("\u0DC3\u0DD2\u0D82\u0DC4\u0DBD")}, {4, "abcd"}}},
    };
    for (const Table& t : tables) {
        auto* table = new TMessageTableResourceItem(Ord(t.name));
        module.Items()->Add(table);
        table->SetLanguage(t.language);
        for (const auto& [id, text] : t.messages) table->Strings()->AddID(id)->SetValue(text);
    }
    const QString script = dir.filePath("test.rc"), res = dir.filePath("test.res");
    module.SaveToFile(script);
    const TPeerToolResult run =
        RunPeerTool(windres, ResourceCompilerArguments(TResourceCompiler::Windres, script, res), 60000, dir.path());
    QFile scriptFile(script);
    ASSERT_TRUE(scriptFile.open(QIODevice::ReadOnly));
    const QByteArray scriptText = scriptFile.readAll();
    ASSERT_TRUE(run.Ok()) << run.Describe().toStdString() << "\n" << scriptText.toStdString();
    EXPECT_TRUE(scriptText.contains("MESSAGETABLE")) << scriptText.toStdString();

    std::unique_ptr<TCustomResourceModule> compiled = TCustomResourceModule::LoadFromFile(res);
    ASSERT_NE(compiled, nullptr);
    for (const Table& t : tables) {
        SCOPED_TRACE(t.language);
        auto* table = qobject_cast<TMessageTableResourceItem*>(compiled->Find(Ord(RT_MESSAGETABLE), Ord(t.name), t.language));
        ASSERT_TRUE(table);
        EXPECT_EQ(Messages(*table), t.messages);
    }
}
