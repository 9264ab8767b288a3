#include "platform/RegistryStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FFile = FDir.filePath(QStringLiteral("registry.json"));
        FPreviousHook = SetRegistryWarningHook([this](const QString& m) { FWarnings.append(m); });
    }
    void TearDown() override { SetRegistryWarningHook(FPreviousHook); }
    void WriteFile(const QByteArray& bytes)
    {
        QFile f(FFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir FDir;
    QString FFile;
    QStringList FWarnings;
    TRegistryWarningHook FPreviousHook;
};

TEST_F(RegistryStoreTest, EveryValueTypeSurvivesTheFile)
{
    const QByteArray binary("\x00\x01\xFF\x7F", 4);
    {
        TRegistryStore store(FFile);
        store.WriteString(QStringLiteral("\\Software\\Test"), QStringLiteral("Text"), QStringLiteral("h\u00e9llo"));
        store.WriteExpandString(QStringLiteral("Software\\Test"), QStringLiteral("Path"), QStringLiteral("%HOME%"));
        store.WriteInteger(QStringLiteral("Software\\Test"), QStringLiteral("Min"), INT32_MIN);
        store.WriteInteger(QStringLiteral("Software\\Test"), QStringLiteral("Max"), INT32_MAX);
        store.WriteBinaryData(QStringLiteral("Software\\Test"), QStringLiteral("Bytes"), binary);
        store.WriteBinaryData(QStringLiteral("Software\\Test"), QStringLiteral("None"), QByteArray());
        store.WriteMultiString(QStringLiteral("Software\\Test"), QStringLiteral("Lines"), {QStringLiteral("a"), QString()});
        store.WriteString(QStringLiteral("Software\\Test"), QString(), QStringLiteral("default"));
        store.CreateKey(QStringLiteral("Software\\Empty"));
    }
    TRegistryStore store(FFile);
    const QString key = QStringLiteral("Software\\\\Test\\"); // doubled and trailing separators count as one
    EXPECT_EQ(store.ReadString(key, QStringLiteral("Text")), QStringLiteral("h\u00e9llo"));
    EXPECT_EQ(store.GetDataType(key, QStringLiteral("Path")), rdExpandString);
    EXPECT_EQ(store.ReadString(key, QStringLiteral("Path")), QStringLiteral("%HOME%"));
    EXPECT_EQ(store.ReadInteger(key, QStringLiteral("Min")), INT32_MIN);
    EXPECT_EQ(store.ReadInteger(key, QStringLiteral("Max")), INT32_MAX);
    EXPECT_EQ(store.ReadBinaryData(key, QStringLiteral("Bytes")), binary);
    EXPECT_EQ(store.GetDataSize(key, QStringLiteral("None")), 0);
    EXPECT_EQ(store.ReadMultiString(key, QStringLiteral("Lines")), QStringList({QStringLiteral("a"), QString()}));
    EXPECT_EQ(store.ReadString(key, QString()), QStringLiteral("default"));
    EXPECT_TRUE(store.KeyExists(QStringLiteral("Software\\Empty")));
    EXPECT_EQ(store.GetValueNames(key),
              QStringList({"Text", "Path", "Min", "Max", "Bytes", "None", "Lines", ""}));
    EXPECT_EQ(FWarnings, QStringList());
}

TEST_F(RegistryStoreTest, NamesMatchWithoutCaseAndKeepTheirFirstSpelling)
{
    TRegistryStore store(FFile);
    store.WriteInteger(QStringLiteral("Software\\MyApp"), QStringLiteral("Width"), 1);
    store.WriteInteger(QStringLiteral("SOFTWARE\\myapp"), QStringLiteral("WIDTH"), 2);
    store.CreateKey(QStringLiteral("software\\beta"));
    EXPECT_FALSE(store.CreateKey(QStringLiteral("Software\\BETA")));
    EXPECT_EQ(store.ReadInteger(QStringLiteral("software\\MYAPP"), QStringLiteral("width")), 2);
    EXPECT_EQ(store.GetValueNames(QStringLiteral("Software\\MyApp")), QStringList({"Width"}));
    EXPECT_EQ(store.GetKeyNames(QStringLiteral("Software")), QStringList({"beta", "MyApp"}));
    EXPECT_EQ(store.GetKeyNames(QString()), QStringList({"Software"}));
}

TEST_F(RegistryStoreTest, DeleteKeyRemovesTheWholeTree)
{
    TRegistryStore store(FFile);
    store.WriteString(QStringLiteral("A\\B\\C"), QStringLiteral("x"), QStringLiteral("1"));
    store.WriteString(QStringLiteral("A\\Keep"), QStringLiteral("y"), QStringLiteral("2"));
    EXPECT_TRUE(store.DeleteKey(QStringLiteral("a\\b")));
    EXPECT_FALSE(store.DeleteKey(QStringLiteral("A\\B")));
    EXPECT_FALSE(store.KeyExists(QStringLiteral("A\\B\\C")));
    EXPECT_EQ(TRegistryStore(FFile).GetKeyNames(QStringLiteral("A")), QStringList({"Keep"}));
    EXPECT_TRUE(store.DeleteValue(QStringLiteral("A\\Keep"), QStringLiteral("Y")));
    EXPECT_FALSE(store.ValueExists(QStringLiteral("A\\Keep"), QStringLiteral("y")));
    EXPECT_TRUE(store.KeyExists(QStringLiteral("A\\Keep"))); // a key outlives its values
}

TEST_F(RegistryStoreTest, WrongTypeOrMissingValueRaises)
{
    TRegistryStore store;
    store.WriteString(QStringLiteral("K"), QStringLiteral("S"), QStringLiteral("5"));
    store.WriteInteger(QStringLiteral("K"), QStringLiteral("I"), 5);
    EXPECT_THROW(store.ReadInteger(QStringLiteral("K"), QStringLiteral("S")), ERegistryException);
    EXPECT_THROW(store.ReadString(QStringLiteral("K"), QStringLiteral("I")), ERegistryException);
    EXPECT_THROW(store.ReadBinaryData(QStringLiteral("K"), QStringLiteral("S")), ERegistryException);
    EXPECT_THROW(store.ReadMultiString(QStringLiteral("K"), QStringLiteral("S")), ERegistryException);
    EXPECT_THROW(store.ReadString(QStringLiteral("K"), QStringLiteral("missing")), ERegistryException);
    EXPECT_THROW(store.ReadString(QStringLiteral("Nokey"), QStringLiteral("S")), ERegistryException);
    EXPECT_EQ(store.GetDataSize(QStringLiteral("K"), QStringLiteral("missing")), -1);
    EXPECT_EQ(store.GetDataSize(QStringLiteral("K"), QStringLiteral("S")), 4); // "5" and its terminator in UTF-16
    // Another type replaces the value.
    store.WriteInteger(QStringLiteral("K"), QStringLiteral("S"), 7);
    EXPECT_EQ(store.ReadInteger(QStringLiteral("K"), QStringLiteral("S")), 7);
}

TEST_F(RegistryStoreTest, DamagedFileIsReportedAndReplacedByAnEmptyStore)
{
    const QList<QByteArray> damaged = {
        "{ not json",
        "[1, 2]",
        R"({"root": {"values": [{"name": "x", "type": "integer", "data": "12"}]}})",
        R"({"root": {"values": [{"name": "x", "type": "integer", "data": 4294967296}]}})",
        R"({"root": {"values": [{"name": "x", "type": "binary", "data": "@@@"}]}})",
        R"({"root": {"values": [{"name": "x", "type": "weird", "data": ""}]}})",
        R"({"root": {"keys": [{"name": "a\\b"}]}})",
    };
    for (const QByteArray& bytes : damaged) {
        SCOPED_TRACE(bytes.toStdString());
        FWarnings.clear();
        WriteFile(bytes);
        TRegistryStore store(FFile);
        EXPECT_EQ(FWarnings.size(), 1);
        EXPECT_TRUE(store.GetKeyNames(QString()).isEmpty());
        store.WriteString(QStringLiteral("K"), QStringLiteral("v"), QStringLiteral("ok"));
        EXPECT_EQ(TRegistryStore(FFile).ReadString(QStringLiteral("K"), QStringLiteral("v")), QStringLiteral("ok"));
    }
}

TEST_F(RegistryStoreTest, BatchWritesOnceAtTheEndAndReopenSeesOtherWriters)
{
    TRegistryStore first(FFile);
    first.BeginUpdate();
    first.WriteString(QStringLiteral("K"), QStringLiteral("v"), QStringLiteral("1"));
    EXPECT_FALSE(TRegistryStore(FFile).ValueExists(QStringLiteral("K"), QStringLiteral("v")));
    first.EndUpdate();
    EXPECT_TRUE(TRegistryStore(FFile).ValueExists(QStringLiteral("K"), QStringLiteral("v")));

    TRegistryStore(FFile).WriteString(QStringLiteral("K"), QStringLiteral("w"), QStringLiteral("2"));
    first.Reload();
    EXPECT_EQ(first.ReadString(QStringLiteral("K"), QStringLiteral("w")), QStringLiteral("2"));
}

TEST_F(RegistryStoreTest, FileNameOverrideWinsOverEnvironment)
{
    qputenv("ATELIER_REGISTRY_FILE", FFile.toUtf8());
    const QString previous = SetRegistryFileName(QString());
    EXPECT_EQ(RegistryFileName(), FFile);
    const QString other = FDir.filePath(QStringLiteral("other.json"));
    SetRegistryFileName(other);
    EXPECT_EQ(RegistryFileName(), other);
    EXPECT_EQ(TRegistryStore::OpenCurrentUser()->FileName(), other);
    SetRegistryFileName(previous);
    qunsetenv("ATELIER_REGISTRY_FILE");
}

} // namespace
