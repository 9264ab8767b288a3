// RES files and PE modules made by real resource compilers and linkers: they load with every resource,
// save back, and other tools read what we write.
#include "TestKinds.h"
#include "model/koResourceModulePE.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "platform/Exceptions.h"
#include "platform/PeerTools.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {
const char* const Script = R"(#define IDS_A 1
LANGUAGE 9, 1
STRINGTABLE
BEGIN
  IDS_A "Hello"
  17 "World"
END
LANGUAGE 7, 1
STRINGTABLE
BEGIN
  IDS_A "Hallo"
END
LANGUAGE 9, 1
PNGDATA RCDATA { "abc", 0x1234 }
5 RCDATA { "x" }
MYDATA MYTYPE { "raw\0" }
EMPTY RCDATA { }
LANGUAGE 0x0C, 1
5 RCDATA { "cinq" }
)";

// One resource as a tool sees it: type and name as text ("#5" for ordinals), language, bytes.
using TResourceKey = std::tuple<QString, QString, int, QByteArray>;

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

std::vector<TResourceKey> ModuleResources(TCustomResourceModule* module)
{
    std::vector<TResourceKey> keys;
    for (TCustomResourceItem* item : *module->Items()) {
        TMemoryStream data;
        item->SaveToStream(data);
        keys.emplace_back(ResourceIdentToString(item->ResourceType()), ResourceIdentToString(item->Name()),
                          item->Language(), data.ToByteArray());
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

// The records of a RES file, each as its whole bytes, read without the reader under test.
std::vector<QByteArray> ResRecords(const QByteArray& file)
{
    std::vector<QByteArray> records;
    qsizetype pos = 32;
    while (pos + 8 <= file.size()) {
        auto dword = [&](qsizetype at) {
            const auto* p = reinterpret_cast<const uint8_t*>(file.constData() + at);
            return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
        };
        const qsizetype length = (qsizetype(dword(pos)) + dword(pos + 4) + 3) & ~qsizetype(3);
        records.push_back(file.mid(pos, length));
        pos += length;
    }
    return records;
}

// Type, name and language of a RES record, for ordering records as the writer does.
std::tuple<QString, QString> RecordIdents(const QByteArray& record)
{
    TBytesStream s(record.mid(8));
    TResourceIdent type, name;
    ReadResourceIdent(s, type, 1000, true);
    ReadResourceIdent(s, name, 1000, true);
    return {type, name};
}

// "Type: X", "Name: X", "Language: (ID n)" and "DataSize: n" of llvm-readobj --coff-resources.
std::vector<std::tuple<QString, QString, int, int>> ReadObjResources(const QByteArray& output)
{
    auto ident = [](const QString& text) {
        static const QRegularExpression id(QStringLiteral("\\(ID (\\d+)\\)"));
        const auto m = id.match(text);
        return m.hasMatch() ? QStringLiteral("#") + m.captured(1) : text.trimmed();
    };
    std::vector<std::tuple<QString, QString, int, int>> result;
    QString type, name;
    int language = 0;
    for (const QByteArray& raw : output.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1String("Type: "))) type = ident(line.mid(6).chopped(2));
        else if (line.startsWith(QLatin1String("Name: "))) name = ident(line.mid(6).chopped(2));
        else if (line.startsWith(QLatin1String("Language: "))) language = ident(line.mid(10).chopped(2)).mid(1).toInt();
        else if (line.startsWith(QLatin1String("DataSize: ")))
            result.emplace_back(type, name, language, line.mid(10).toInt());
    }
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<std::tuple<QString, QString, int, int>> Sizes(const std::vector<TResourceKey>& keys)
{
    std::vector<std::tuple<QString, QString, int, int>> result;
    for (const auto& [type, name, language, data] : keys) result.emplace_back(type, name, language, int(data.size()));
    std::sort(result.begin(), result.end());
    return result;
}

class ModuleFilesInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModulePE_Initialize();
        ASSERT_TRUE(Dir.isValid());
        WriteFile(Dir.filePath("t.rc"), Script);
    }
    void TearDown() override
    {
        koResourceModulePE_Finalize();
        koResourceModuleRes_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    QString Path(const QString& name) const { return Dir.filePath(name); }

    // Compiles the script with windres into a RES file and into an object linked into a PE module.
    QString BuildModule(const QString& prefix, const QString& output, bool dll)
    {
        const QString windres = FindPeerTool(prefix + "-windres");
        const QString gcc = FindPeerTool(prefix + "-gcc");
        if (windres.isEmpty() || gcc.isEmpty()) return {};
        EXPECT_TRUE(RunPeerTool(windres, {Path("t.rc"), "-O", "coff", "-o", Path(output + ".o")}).Ok());
        WriteFile(Path("main.c"), dll ? "int f(void){return 1;}\n" : "#include <stdio.h>\nint main(void){puts(\"ok\");return 0;}\n");
        QStringList args{Path("main.c"), Path(output + ".o"), "-o", Path(output)};
        if (dll) args.prepend("-shared");
        const TPeerToolResult link = RunPeerTool(gcc, args, 120000);
        EXPECT_TRUE(link.Ok()) << link.Describe().toStdString();
        return Path(output);
    }

    QTemporaryDir Dir;
};
} // namespace

TEST_F(ModuleFilesInterop, ResFilesFromBothCompilersLoadAndSaveBack)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    REQUIRE_PEER_TOOL(llvmrc, "llvm-rc");
    ASSERT_TRUE(RunPeerTool(windres, {Path("t.rc"), "-O", "res", "-o", Path("w.res")}).Ok());
    ASSERT_TRUE(RunPeerTool(llvmrc, {"-fo", Path("l.res"), Path("t.rc")}, 60000, Dir.path()).Ok());

    for (const QString& file : {Path("w.res"), Path("l.res")}) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray original = ReadFile(file);
        std::vector<QByteArray> records = ResRecords(original);
        ASSERT_EQ(records.size(), 8u);
        auto module = TCustomResourceModule::LoadFromFile(file);
        ASSERT_TRUE(module);
        EXPECT_EQ(module->Items()->Count(), 8) << "every resource, the empty one included";

        const QString out = Path("out.res");
        module->SaveToFile(out);
        // Byte for byte: the compiler's records in the writer's order (types, then names).
        std::stable_sort(records.begin(), records.end(), [](const QByteArray& a, const QByteArray& b) {
            const auto [typeA, nameA] = RecordIdents(a);
            const auto [typeB, nameB] = RecordIdents(b);
            const int byType = CompareResourceIdents(typeA, typeB);
            return byType != 0 ? byType < 0 : CompareResourceIdents(nameA, nameB) < 0;
        });
        QByteArray expected = original.left(32);
        for (const QByteArray& record : records) expected += record;
        EXPECT_EQ(ReadFile(out), expected);
    }
}

TEST_F(ModuleFilesInterop, PeModulesLoadWhatTheToolsList)
{
    REQUIRE_PEER_TOOL(readobj, "llvm-readobj");
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    ASSERT_TRUE(RunPeerTool(windres, {Path("t.rc"), "-O", "res", "-o", Path("t.res")}).Ok());
    auto res = TCustomResourceModule::LoadFromFile(Path("t.res"));
    const std::vector<TResourceKey> expected = ModuleResources(res.get());

    struct Case {
        const char* prefix;
        const char* file;
        bool dll;
    } cases[] = {{"x86_64-w64-mingw32", "app64.exe", false}, {"i686-w64-mingw32", "app32.exe", false},
                 {"x86_64-w64-mingw32", "lib64.dll", true}, {"i686-w64-mingw32", "lib32.dll", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = BuildModule(c.prefix, c.file, c.dll);
        if (path.isEmpty()) GTEST_SKIP() << c.prefix << " tools are not installed";
        auto module = TCustomResourceModule::LoadFromFile(path);
        ASSERT_TRUE(module);
        EXPECT_TRUE(qobject_cast<TResourceModulePE*>(module.get()));
        EXPECT_EQ(ModuleResources(module.get()), expected) << "the same resources as the RES file";
        EXPECT_EQ(Sizes(ModuleResources(module.get())), ReadObjResources(RunPeerTool(readobj, {"--coff-resources", path}).Out));
    }
}

TEST_F(ModuleFilesInterop, SavedPeModulesHoldExactlyTheNewResources)
{
    REQUIRE_PEER_TOOL(readobj, "llvm-readobj");
    for (const char* prefix : {"x86_64-w64-mingw32", "i686-w64-mingw32"}) {
        SCOPED_TRACE(prefix);
        const QString path = BuildModule(prefix, QStringLiteral("app_%1.exe").arg(QString::fromLatin1(prefix).left(4)), false);
        if (path.isEmpty()) GTEST_SKIP() << prefix << " tools are not installed";
        auto module = TCustomResourceModule::LoadFromFile(path);
        ASSERT_TRUE(module);
        // Change one, remove one, add two (one large enough that the section must grow).
        auto* changed = qobject_cast<TResourceItemGeneric*>(module->Find(Ord(RT_RCDATA), TResourceIdent("PNGDATA")));
        ASSERT_TRUE(changed);
        TBytesStream newData(QByteArray("changed data"));
        changed->LoadFromStream(newData, newData.Size());
        module->Items()->Remove(module->Find(TResourceIdent("MYTYPE")));
        auto* added = new TResourceItemGeneric(TResourceIdent("ADDED"));
        added->SetResourceType(TResourceIdent("NEWTYPE"));
        TBytesStream big(QByteArray(200000, 'z'));
        added->LoadFromStream(big, big.Size());
        module->Items()->Add(added);
        auto* ordinal = new TResourceItemGeneric(Ord(77));
        ordinal->SetResourceType(Ord(RT_RCDATA));
        ordinal->SetLanguage(0x0407);
        module->Items()->Add(ordinal);
        const std::vector<TResourceKey> expected = ModuleResources(module.get());

        const QString out = Path("saved.exe");
        module->SaveToFile(out);
        auto reloaded = TCustomResourceModule::LoadFromFile(out);
        ASSERT_TRUE(reloaded);
        EXPECT_EQ(ModuleResources(reloaded.get()), expected);
        const TPeerToolResult listing = RunPeerTool(readobj, {"--coff-resources", out});
        ASSERT_TRUE(listing.Ok()) << listing.Describe().toStdString();
        EXPECT_EQ(ReadObjResources(listing.Out), Sizes(expected));
    }
}

TEST_F(ModuleFilesInterop, SavingOverItselfKeepsABackup)
{
    const QString path = BuildModule("x86_64-w64-mingw32", "self.exe", false);
    if (path.isEmpty()) GTEST_SKIP() << "mingw tools are not installed";
    const QByteArray before = ReadFile(path);
    auto module = TCustomResourceModule::LoadFromFile(path);
    module->Items()->Remove(module->Find(TResourceIdent("MYTYPE")));
    module->SaveToFile(path);
    EXPECT_EQ(ReadFile(path + ".backup"), before);
    EXPECT_NE(ReadFile(path), before);
    EXPECT_TRUE(QFileInfo(path).isExecutable()) << "the file keeps its permissions";
    auto reloaded = TCustomResourceModule::LoadFromFile(path);
    EXPECT_EQ(reloaded->Find(TResourceIdent("MYTYPE")), nullptr);
    EXPECT_EQ(reloaded->Items()->Count(), module->Items()->Count());
}

TEST_F(ModuleFilesInterop, WhatCannotBeSavedAsPe)
{
    const QString path = BuildModule("x86_64-w64-mingw32", "src.exe", false);
    if (path.isEmpty()) GTEST_SKIP() << "mingw tools are not installed";
    // A PE module cannot be written to a new file of a foreign extension.
    auto linked = TCustomResourceModule::LoadFromFile(path);
    ASSERT_TRUE(linked);
    EXPECT_THROW(linked->SaveToFile(Path("module.txt")), Exception);
    EXPECT_FALSE(QFile::exists(Path("module.txt")));
    // A RES module has no PE file to start from.
    auto res = std::make_unique<TResourceModuleRes>();
    EXPECT_THROW(res->SaveToFile(Path("from_res.exe")), Exception);
    EXPECT_FALSE(QFile::exists(Path("from_res.exe")));

    // Two MUI items: refused before anything is written, and the module keeps both.
    auto module = TCustomResourceModule::LoadFromFile(path);
    for (uint16_t n : {1, 2}) {
        auto* mui = new TResourceItemGeneric(Ord(n));
        mui->SetResourceType(TResourceIdent("MUI"));
        module->Items()->Add(mui);
    }
    WriteFile(Path("target.exe"), "old contents");
    try {
        module->SaveToFile(Path("target.exe"));
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Multiple MUI items not supported");
    }
    EXPECT_EQ(ReadFile(Path("target.exe")), "old contents");
    EXPECT_TRUE(module->Find(TResourceIdent("MUI"), Ord(1)));
    EXPECT_TRUE(module->Find(TResourceIdent("MUI"), Ord(2)));
}

TEST_F(ModuleFilesInterop, CorruptModulesGiveClearErrors)
{
    const QString path = BuildModule("x86_64-w64-mingw32", "good.exe", false);
    if (path.isEmpty()) GTEST_SKIP() << "mingw tools are not installed";
    const QByteArray good = ReadFile(path);
    // Truncated in the middle of the section table, and cut off after the headers.
    for (int length : {0x100, 0x400}) {
        WriteFile(Path("bad.exe"), good.left(length));
        EXPECT_THROW(TCustomResourceModule::LoadFromFile(Path("bad.exe")), Exception) << length;
    }
    // The PE signature offset past the end: not a module this reader opens.
    QByteArray farOffset = good.left(64);
    farOffset[60] = char(0xFF);
    farOffset[61] = char(0xFF);
    WriteFile(Path("far.exe"), farOffset);
    TBytesStream stream(farOffset);
    EXPECT_FALSE(TResourceModuleReaderPE::Handles(&stream));
}
