#include "platform/PublishedProperties.h"
#include "platform/StringList.h"
#include "platform/regconfg.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace regconfg_test {

class TInner : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Name MEMBER Name)
public:
    QString Name = QStringLiteral("inner");
};

class TSettings : public TConfigurationSection {
    Q_OBJECT
    Q_PROPERTY(bool Flag MEMBER Flag)
    Q_PROPERTY(int Width MEMBER Width)
    Q_PROPERTY(TMode Mode MEMBER Mode)
    Q_PROPERTY(QChar Letter MEMBER Letter)
    Q_PROPERTY(double Ratio MEMBER Ratio)
    Q_PROPERTY(TDateTime When MEMBER When)
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(TLanguageID Language MEMBER Language)
    Q_PROPERTY(qint64 Big MEMBER Big)
    Q_PROPERTY(QStringList History MEMBER History)
    Q_PROPERTY(TInner* Inner READ Inner)
    Q_PROPERTY(int Transient MEMBER Transient STORED false)
    Q_CLASSINFO("default:Flag", "false")
    Q_CLASSINFO("default:Width", "-1")
public:
    enum TMode { mdOne, mdTwo, mdThree };
    Q_ENUM(TMode)
    using TConfigurationSection::TConfigurationSection;
    TInner* Inner() { return &FInner; }

    bool Flag = true;
    int Width = 10;
    TMode Mode = mdOne;
    QChar Letter = QLatin1Char('a');
    double Ratio = 0.5;
    TDateTime When = 1.25;
    QString Caption = QStringLiteral("caption");
    TLanguageID Language = 1033;
    qint64 Big = 0;
    QStringList History;
    int Transient = 0;
    TInner FInner;
};

// A list object with a published property of its own.
class TLines : public QObject, public TStringList {
    Q_OBJECT
    Q_PROPERTY(int Marker MEMBER Marker)
public:
    int Marker = 0;
};

// A list object that stores itself: its line count, under its own key.
class TSelfStoringLines : public QObject, public TStringList, public IConfigurationSection {
    Q_OBJECT
public:
    void SaveToRegistry(TFixedRegIniFile& registry, const QString& section) override
    {
        registry.WriteInteger(section, QStringLiteral("Count"), Count());
    }
    void LoadFromRegistry(TFixedRegIniFile& registry, const QString& section) override
    {
        Loaded = registry.ReadInteger(section, QStringLiteral("Count"), -1);
    }
    int64_t Loaded = -2;
};

class TListHolder : public QObject {
    Q_OBJECT
    Q_PROPERTY(TLines* Lines READ Lines)
    Q_PROPERTY(TLines* Empty READ Empty)
    Q_PROPERTY(TSelfStoringLines* Own READ Own)
public:
    TLines* Lines() { return &FLines; }
    TLines* Empty() { return &FEmpty; }
    TSelfStoringLines* Own() { return &FOwn; }
    TLines FLines, FEmpty;
    TSelfStoringLines FOwn;
};

class TRoot : public TConfiguration {
    Q_OBJECT
    Q_PROPERTY(TSettings* Child READ Child)
public:
    using TConfiguration::TConfiguration;
    TSettings* Child() { return FChild; }
    TSettings* FChild = new TSettings(this);
};

class RegConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PublishedProperties_Initialize();
        ASSERT_TRUE(FDir.isValid());
        FStore = std::make_shared<TRegistryStore>(FDir.filePath(QStringLiteral("registry.json")));
    }
    QTemporaryDir FDir;
    std::shared_ptr<TRegistryStore> FStore;
    const QString FPath = QStringLiteral("\\Software\\Kestovar\\Atelier");
};

TEST_F(RegConfigTest, EveryPropertyTypeRoundTripsThroughTheFile)
{
    {
        TConfiguration config(FPath, FStore);
        TSettings s;
        s.Flag = false; s.Width = 640; s.Mode = TSettings::mdThree; s.Letter = QChar(0x263A);
        s.Ratio = -2.75; s.When = 45000.5; s.Caption = QStringLiteral("t\u00eaxt"); s.Language = 1031;
        s.Big = -2; s.History = {QStringLiteral("a"), QStringLiteral("b")}; s.FInner.Name = QStringLiteral("deep");
        s.Transient = 99;
        config.WriteObject(QStringLiteral("\\Software\\Kestovar\\Atelier\\Main"), &s);
    }
    TConfiguration config(FPath, std::make_shared<TRegistryStore>(FStore->FileName()));
    TSettings r;
    config.ReadObject(QStringLiteral("\\Software\\Kestovar\\Atelier\\Main"), &r);
    EXPECT_FALSE(r.Flag);
    EXPECT_EQ(r.Width, 640);
    EXPECT_EQ(r.Mode, TSettings::mdThree);
    EXPECT_EQ(r.Letter, QChar(0x263A));
    EXPECT_EQ(r.Ratio, -2.75);
    EXPECT_EQ(r.When.Value, 45000.5);
    EXPECT_EQ(r.Caption, QStringLiteral("t\u00eaxt"));
    EXPECT_EQ(r.Language.Value, 1031);
    EXPECT_EQ(r.Big, -2);
    EXPECT_EQ(r.History, QStringList({"a", "b"}));
    EXPECT_EQ(r.FInner.Name, QStringLiteral("deep"));
    EXPECT_EQ(r.Transient, 0);
}

TEST_F(RegConfigTest, StoredLayout)
{
    TConfiguration config(FPath, FStore);
    TSettings s;
    s.Big = 5;
    s.Flag = true;
    s.History = {QStringLiteral("a"), QStringLiteral("b")};
    config.WriteObject(QStringLiteral("\\Software\\Kestovar\\Atelier\\Folders"), &s);
    const QString key = FPath + QStringLiteral("\\Folders");
    EXPECT_EQ(FStore->ReadString(key, QStringLiteral("Big")), QString(61, QLatin1Char('0')) + QStringLiteral("101"));
    EXPECT_EQ(FStore->ReadString(key, QStringLiteral("flag")), QStringLiteral("1"));
    EXPECT_EQ(FStore->ReadString(key, QStringLiteral("Mode")), QStringLiteral("0"));
    EXPECT_EQ(FStore->GetDataSize(key, QStringLiteral("Ratio")), 8);
    EXPECT_EQ(FStore->ReadBinaryData(key, QStringLiteral("History")), QByteArray("a\0\r\0\n\0b\0\r\0\n\0", 12));
    EXPECT_FALSE(FStore->ValueExists(key, QStringLiteral("Transient")));
    // Object subkeys run into the parent path without a separator of their own.
    EXPECT_TRUE(FStore->KeyExists(FPath + QStringLiteral("\\FoldersHistory")));
    EXPECT_EQ(FStore->ReadString(FPath + QStringLiteral("\\FoldersInner"), QStringLiteral("Name")), QStringLiteral("inner"));
}

TEST_F(RegConfigTest, ListObjectsKeepTheirTextBesideTheirOwnKey)
{
    TConfiguration config(FPath, FStore);
    const QString key = FPath + QStringLiteral("\\Folders");
    {
        TListHolder h;
        h.FLines.AddStrings({QStringLiteral("a"), QStringLiteral("b")});
        h.FLines.Marker = 7;
        h.FOwn.AddStrings({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")});
        config.WriteObject(key, &h);
    }
    EXPECT_EQ(FStore->GetDataType(key, QStringLiteral("Lines")), rdBinary);
    EXPECT_EQ(FStore->ReadBinaryData(key, QStringLiteral("Lines")), QByteArray("a\0\r\0\n\0b\0\r\0\n\0", 12));
    EXPECT_EQ(FStore->GetDataType(key, QStringLiteral("Empty")), rdBinary);
    EXPECT_EQ(FStore->GetDataSize(key, QStringLiteral("Empty")), 0);
    EXPECT_EQ(FStore->GetDataSize(key, QStringLiteral("Own")), 18);
    // Then each list's own key: its published properties, or what it stores itself.
    EXPECT_EQ(FStore->ReadString(FPath + QStringLiteral("\\FoldersLines"), QStringLiteral("Marker")), QStringLiteral("7"));
    EXPECT_TRUE(FStore->KeyExists(FPath + QStringLiteral("\\FoldersEmpty")));
    EXPECT_EQ(FStore->ReadString(FPath + QStringLiteral("\\FoldersOwn"), QStringLiteral("Count")), QStringLiteral("3"));

    TConfiguration again(FPath, std::make_shared<TRegistryStore>(FStore->FileName()));
    TListHolder r;
    r.FLines.Add(QStringLiteral("replaced"));
    r.FEmpty.Add(QStringLiteral("kept")); // a zero-length value leaves the list alone
    again.ReadObject(key, &r);
    EXPECT_EQ(r.FLines.Strings(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(r.FLines.Marker, 7);
    EXPECT_EQ(r.FEmpty.Strings(), QStringList{QStringLiteral("kept")});
    EXPECT_EQ(r.FOwn.Strings(), (QStringList{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")}));
    EXPECT_EQ(r.FOwn.Loaded, 3);

    // A text value where the list's binary one belongs keeps the list and its key is still read.
    FStore->WriteString(key, QStringLiteral("Lines"), QStringLiteral("damaged"));
    TListHolder d;
    d.FLines.Add(QStringLiteral("mine"));
    config.ReadObject(key, &d);
    EXPECT_EQ(d.FLines.Strings(), QStringList{QStringLiteral("mine")});
    EXPECT_EQ(d.FLines.Marker, 7);
}

TEST_F(RegConfigTest, MissingAndDamagedValuesKeepCurrentOrDeclaredDefaults)
{
    TConfiguration config(FPath, FStore);
    const QString key = QStringLiteral("\\K");
    auto& reg = config.Registry();
    reg.WriteString(key, QStringLiteral("Ratio"), QStringLiteral("1.5"));           // text where 8 bytes belong
    reg.WriteString(key, QStringLiteral("Mode"), QStringLiteral("two"));            // does not parse
    reg.WriteBinaryData(key, QStringLiteral("Caption"), QByteArray("xy"));          // wrong type
    reg.WriteString(key, QStringLiteral("Language"), QStringLiteral("70000"));      // out of range
    reg.WriteBinaryData(key, QStringLiteral("When"), QByteArray(3, '\0'));          // wrong size
    reg.WriteString(key, QStringLiteral("Letter"), QStringLiteral("66"));            // read after the failures
    TSettings r;
    r.Mode = TSettings::mdTwo;
    config.ReadObject(key, &r);
    EXPECT_FALSE(r.Flag);        // declared default
    EXPECT_EQ(r.Width, -1);      // declared default
    EXPECT_EQ(r.Mode, TSettings::mdTwo);
    EXPECT_EQ(r.Ratio, 0.5);
    EXPECT_EQ(r.Caption, QStringLiteral("caption"));
    EXPECT_EQ(r.Language.Value, 1033);
    EXPECT_EQ(r.When.Value, 1.25);
    EXPECT_EQ(r.Letter, QLatin1Char('B'));
    EXPECT_THROW(reg.ReadFloat(key, QStringLiteral("Ratio"), 0), ERegistryException);
}

TEST_F(RegConfigTest, CorruptStoreStartsFromDefaults)
{
    const QString file = FDir.filePath(QStringLiteral("bad.json"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\"root\": [");
    }
    QStringList warnings;
    const auto previous = SetRegistryWarningHook([&](const QString& m) { warnings.append(m); });
    TConfiguration config(FPath, std::make_shared<TRegistryStore>(file));
    TSettings r;
    config.ReadObject(FPath + QStringLiteral("\\Main"), &r);
    SetRegistryWarningHook(previous);
    EXPECT_EQ(warnings.size(), 1);
    EXPECT_EQ(r.Width, -1);
    EXPECT_EQ(r.Caption, QStringLiteral("caption"));
}

TEST_F(RegConfigTest, SectionTreeKeysAndPurge)
{
    TRoot root(FPath, FStore);
    EXPECT_EQ(root.Child()->Key(), QStringLiteral("Child\\"));
    EXPECT_EQ(root.SectionByName(QStringLiteral("Child")), root.Child());
    EXPECT_EQ(root.SectionByName(QStringLiteral("Missing")), nullptr);
    TSettings stray(&root);
    EXPECT_THROW(stray.Key(), EInvalidOperation);

    root.SetSubPath(QStringLiteral("Sub"));
    EXPECT_EQ(root.SubPath(), QStringLiteral("Sub\\"));
    root.Child()->Width = 7;
    root.Child()->SetPurgeOnWrite(true);
    FStore->WriteString(FPath + QStringLiteral("\\Sub\\Child"), QStringLiteral("Stale"), QStringLiteral("x"));
    root.WriteConfig();
    EXPECT_EQ(FStore->ReadString(FPath + QStringLiteral("\\Sub\\Child"), QStringLiteral("Width")), QStringLiteral("7"));
    EXPECT_FALSE(FStore->ValueExists(FPath + QStringLiteral("\\Sub\\Child"), QStringLiteral("Stale")));

    TRoot again(FPath, std::make_shared<TRegistryStore>(FStore->FileName()));
    again.SetSubPath(QStringLiteral("Sub\\"));
    again.ReadConfig();
    EXPECT_EQ(again.Child()->Width, 7);
}

TEST_F(RegConfigTest, StreamsAndMultiStrings)
{
    TRoot root(FPath, FStore);
    TMemoryStream out;
    out.WriteBytes(QByteArray("\x01\x02\x03", 3));
    root.Child()->WriteStream(QStringLiteral("Blob"), out);
    TMemoryStream in;
    root.Child()->ReadStream(QStringLiteral("Blob"), in);
    EXPECT_EQ(in.ToByteArray(), QByteArray("\x01\x02\x03", 3));
    root.Child()->ReadStream(QStringLiteral("Absent"), in);
    EXPECT_EQ(in.Size(), 0);

    auto& reg = root.Registry();
    const struct { const char* text; QStringList strings; } cases[] = {
        {"a\r\n\r\nb", {"a", "b"}},
        {"\r\n\r\na\rb", {"a", "b"}},
        {"a\nb\r\n", {"a\nb"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        reg.WriteStrings(QStringLiteral("M"), QStringLiteral("v"), QString::fromLatin1(c.text));
        EXPECT_EQ(FStore->ReadMultiString(FPath + QStringLiteral("\\M"), QStringLiteral("v")), c.strings);
    }
    reg.WriteStrings(QStringLiteral("M"), QStringLiteral("v"), QStringLiteral("x\r\ny"));
    EXPECT_EQ(reg.ReadStrings(QStringLiteral("M"), QStringLiteral("v"), QString()), QStringLiteral("x\ry"));
    reg.WriteString(QStringLiteral("M"), QStringLiteral("s"), QStringLiteral("plain"));
    EXPECT_EQ(reg.ReadStrings(QStringLiteral("M"), QStringLiteral("s"), QString()), QStringLiteral("plain"));
    EXPECT_EQ(reg.ReadStrings(QStringLiteral("M"), QStringLiteral("none"), QStringLiteral("d")), QStringLiteral("d"));
}

} // namespace regconfg_test

#include "regconfgTest.moc"
