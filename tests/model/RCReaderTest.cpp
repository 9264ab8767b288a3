#include "kinds/koResourceItemHWB.h"
#include "kinds/koResourceItemToolbar.h"
#include "model/LogCapture.h"
#include "model/koResourceItemSymbols.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResources.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "kinds/HWBTestSupport.h"
#include "platform/ByteBuilder.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "rccompiler/RcCompiler.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

QByteArray Utf16WithMark(const QString& Text)
{
    QByteArray d("\xFF\xFE", 2);
    for (QChar c : Text) Add16(d, c.unicode());
    return d;
}

TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }
TResourceIdent Named(const char* s) { return TResourceIdent(QString::fromLatin1(s)); }

// A RES file made resource by resource.
class TResBuilder {
public:
    TResBuilder() { Record(Ord(0), Ord(0), 0, {}); }
    TResBuilder& Record(const TResourceIdent& Type, const TResourceIdent& Name, uint16_t Language, const QByteArray& Data)
    {
        QByteArray names;
        AddIdent(names, Type);
        AddIdent(names, Name);
        while (names.size() % 4) names.append('\0');
        Add32(FBytes, uint32_t(Data.size()));
        Add32(FBytes, uint32_t(8 + names.size() + 16));
        FBytes += names;
        Add32(FBytes, 0);
        Add16(FBytes, Type == Ord(0) ? 0 : 0x1030);
        Add16(FBytes, Language);
        Add32(FBytes, 0);
        Add32(FBytes, 0);
        FBytes += Data;
        while (FBytes.size() % 4) FBytes.append('\0');
        return *this;
    }
    const QByteArray& Bytes() const { return FBytes; }

private:
    QByteArray FBytes;
};

QByteArray Toolbar(std::initializer_list<uint16_t> commands)
{
    QByteArray d;
    Add16(d, 1);
    Add16(d, 16);
    Add16(d, 15);
    Add16(d, uint16_t(commands.size()));
    for (uint16_t c : commands) Add16(d, c);
    return d;
}

// Log messages with their levels.
class TLevelCapture {
public:
    TLevelCapture() { MessageLogger()->Subscribe(FCollector); }
    ~TLevelCapture() { MessageLogger()->Unsubscribe(FCollector); }
    int Count(const QString& Text, TResourceMessageKind Kind) const
    {
        int n = 0;
        for (const auto& [text, kind] : FCollector->Messages) n += text == Text && kind == Kind;
        return n;
    }
    bool Contains(const QString& Part) const
    {
        for (const auto& message : FCollector->Messages)
            if (message.first.contains(Part)) return true;
        return false;
    }

private:
    class TCollector : public IResourceMessageLogSubscriber {
    public:
        void LogMessage(const IResourceMessagePtr& Msg) override { Messages.append({Msg->GetMessage(), Msg->GetKind()}); }
        QList<QPair<QString, TResourceMessageKind>> Messages;
    };
    std::shared_ptr<TCollector> FCollector = std::make_shared<TCollector>();
};

class RCReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTemp.isValid() && FScripts.isValid());
        FOldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", FTemp.path().toLocal8Bit());
        qputenv("ATELIER_RC_INCLUDE", QByteArray());
        koResourcesKinds_Initialize();
        koResourceItemSymbols_Initialize();
        koResourceItemToolbar_Initialize();
        koResourceItemHWB_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModuleRC_Initialize();
        SetResourceCompilerFunction([this](rc::ICompilerHost& Host, const QStringList& Args) {
            Calls.push_back(Args);
            for (const auto& [text, error] : Lines) Host.Line(text, error);
            Host.Progress(100);
            if (Result != 0 || !WriteRes) return Result;
            const QString out = Args[Args.size() - 2].mid(3);
            QFile file(out);
            if (!file.open(QIODevice::WriteOnly)) return 2;
            file.write(Res.Bytes());
            return 0;
        });
    }
    void TearDown() override
    {
        SetResourceCompilerFunction({});
        koResourceModuleRC_Finalize();
        koResourceModuleRes_Finalize();
        koResourceItemHWB_Finalize();
        koResourceItemToolbar_Finalize();
        koResourceItemSymbols_Finalize();
        koResourcesKinds_Finalize();
        qunsetenv("ATELIER_RC_INCLUDE");
        if (FOldTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", FOldTmp);
    }
    QString Script(const QString& Name, const QByteArray& Text = "// script\r\n")
    {
        const QString path = QDir(FScripts.path()).filePath(Name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(Text);
        return path;
    }
    std::unique_ptr<TCustomResourceModule> Open(const QString& Path)
    {
        return TCustomResourceModule::LoadFromFile(Path);
    }
    QStringList TempFiles() const { return QDir(FTemp.path()).entryList(QDir::Files); }

    QTemporaryDir FTemp;
    QTemporaryDir FScripts;
    QByteArray FOldTmp;
    TResBuilder Res;
    std::vector<QPair<QString, bool>> Lines;
    int Result = 0;
    bool WriteRes = true;
    std::vector<QStringList> Calls;
};

} // namespace

TEST_F(RCReader, ScriptsAreFoundByExtensionOrContent)
{
    struct {
        const char* name;
        QByteArray bytes;
        bool handled;
    } cases[] = {
        {"x.txt", "// a comment first\r\nIDR_X RCDATA { 1 }\r\n", true},
        {"y.txt", "#include \"resource.h\"\n", true},
        {"z.txt", "1 DIALOG 0, 0, 10, 10\nBEGIN\nEND\n", true},
        {"w.txt", "just some words\n", false},
        {"b.bin", QByteArray("\0\0\0\0 \0\0\0\xFF\xFF\0\0\xFF\xFF\0\0BEGIN", 21), false},
        {"u.txt", Utf16WithMark(QStringLiteral("LANGUAGE 9, 1\r\n")), true},
        {"empty.rc", "", true},
    };
    for (const auto& c : cases) {
        const QString path = Script(QString::fromLatin1(c.name), c.bytes);
        const TResourceModuleFilerClass reader = ResourceModuleFilerDatabase()->FindReader(path);
        EXPECT_EQ(reader == TResourceModuleReaderRC::ClassInfo(), c.handled) << c.name;
    }
    // The open dialog offers scripts.
    IResourceFileTypesPtr types = ResourceModuleFilerDatabase()->FileTypes(TCustomResourceModuleReader::ClassInfo(),
                                                                          TResourceFilerCapabilities{fcLoad});
    ASSERT_NE(types->Find(QStringLiteral("rc")), nullptr);
    EXPECT_EQ(types->Find(QStringLiteral("rc"))->GetDescription(), QStringLiteral("Resource script"));
    TResourceModuleReaderRC reader;
    TMemoryStream stream;
    EXPECT_THROW(reader.LoadFromStream(stream), EInvalidOperation);
}

TEST_F(RCReader, ArgumentsAndTheTemporaryFile)
{
    const QString script = Script(QStringLiteral("app.rc"));
    // A file of the first name belongs to someone else: it is neither taken nor removed.
    QFile taken(QDir(FTemp.path()).filePath(QStringLiteral("RC0000.res")));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    TResourceModuleReaderRC::LoadDefaultConfig();
    ASSERT_TRUE(Open(script));
    const QString res = QDir(FTemp.path()).filePath(QStringLiteral("RC0001.res"));
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0], (QStringList{"koAtelier", "/v", "/s", "/r", "/dSPECSTRINGS_H", "/l0x0000", "/fo" + res, script}));
    EXPECT_EQ(TempFiles(), QStringList{QStringLiteral("RC0000.res")});

    // An include folder comes before the output.
    QTemporaryDir include;
    qputenv("ATELIER_RC_INCLUDE", include.path().toLocal8Bit());
    TResourceModuleReaderRC::LoadDefaultConfig();
    ASSERT_TRUE(Open(script));
    EXPECT_EQ(Calls[1], (QStringList{"koAtelier", "/v", "/s", "/r", "/dSPECSTRINGS_H", "/l0x0000",
                                     "/i" + include.path(), "/fo" + res, script}));
    // A folder that does not exist is none.
    qputenv("ATELIER_RC_INCLUDE", QByteArray("/no/such/folder"));
    TResourceModuleReaderRC::LoadDefaultConfig();
    EXPECT_EQ(TResourceModuleReaderRC::DefaultIncludeFolder(), QString());

    // A compile that reports success without writing: the name taken beforehand holds nothing.
    WriteRes = false;
    try {
        Open(script);
        ADD_FAILURE() << "opened without a compiled file";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unable to locate compiled resource file: ") + res);
    }
    EXPECT_EQ(TempFiles(), QStringList{QStringLiteral("RC0000.res")});
    WriteRes = true;

    // Failed compiles remove it too.
    Result = 1;
    EXPECT_THROW(Open(script), Exception);
    EXPECT_EQ(TempFiles(), QStringList{QStringLiteral("RC0000.res")});
}

TEST_F(RCReader, CompileMessagesAndFailures)
{
    const QString script = Script(QStringLiteral("app.rc"));
    {
        // Warnings only: the compile succeeds and the warnings are logged as warnings.
        Lines = {{QStringLiteral("app.rc(4) : warning RC4005 : 'X' : redefinition"), false},
                 {QStringLiteral("\r\n\tCompiling\x01\x02" "app.rc \r\n"), false}};
        TLevelCapture log;
        ASSERT_TRUE(Open(script));
        EXPECT_EQ(log.Count(QStringLiteral("app.rc(4) : warning RC4005 : 'X' : redefinition"), rmWarning), 1);
        EXPECT_EQ(log.Count(QStringLiteral("Compiling app.rc "), rmInfo), 1);
        EXPECT_EQ(log.Count(QStringLiteral("RC file compiled"), rmInfo), 1);
    }
    struct {
        const char* name;
        std::vector<QPair<QString, bool>> lines;
        const char* message;
    } failures[] = {
        {"first error names file and line",
         {{QStringLiteral("app.rc(3) : error RC2135 : file not found: a.ico"), false},
          {QStringLiteral("app.rc(9) : error RC2104 : undefined keyword"), false}},
         "RC compilation failed: app.rc(3) : error RC2135 : file not found: a.ico"},
        {"error flag", {{QStringLiteral("fatal: out of memory"), true}}, "RC compilation failed: fatal: out of memory"},
        {"warning flagged as error stays a warning",
         {{QStringLiteral("app.rc(1) : warning RC4000 : x"), true}},
         "RC compilation failed"},
        {"no message", {}, "RC compilation failed"},
    };
    Result = 1;
    for (const auto& f : failures) {
        Lines = f.lines;
        try {
            Open(script);
            ADD_FAILURE() << f.name;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), QString::fromLatin1(f.message)) << f.name;
        }
    }
}

TEST_F(RCReader, EveryCompileBindsTheCompilerAgain)
{
    const QString first = Script(QStringLiteral("a.rc"));
    const QString second = Script(QStringLiteral("b.rc"));
    TLevelCapture log;
    ASSERT_TRUE(Open(first));
    ASSERT_TRUE(Open(second));
    EXPECT_EQ(log.Count(QStringLiteral("External resource compiler not found"), rmInfo), 2);
    EXPECT_EQ(log.Count(QStringLiteral("Loading embedded resource compiler"), rmInfo), 2);
    EXPECT_EQ(Calls.size(), 2u);
}

TEST_F(RCReader, WithoutSymbolDataTheModuleNeedsFixing)
{
    Res.Record(Ord(RT_TOOLBAR), Ord(128), 0x0409, Toolbar({100}));
    TLevelCapture log;
    auto module = Open(Script(QStringLiteral("app.rc")));
    ASSERT_TRUE(module);
    EXPECT_TRUE(module->NeedFix());
    EXPECT_TRUE(log.Contains(QStringLiteral("does not contain the data required")));
    auto* toolbar = qobject_cast<TToolbarResourceItem*>(module->Find(Ord(RT_TOOLBAR), Ord(128)));
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(toolbar->LocalID()->Symbol(), nullptr);
    EXPECT_EQ(toolbar->Buttons()->Items(0)->Command()->Symbol(), nullptr);
    // The symbol table is there all the same.
    bool symbolsItem = false;
    for (TCustomResourceItem* item : *module->Items()) symbolsItem |= qobject_cast<TSymbolsResourceItem*>(item) != nullptr;
    EXPECT_TRUE(symbolsItem);
}

TEST_F(RCReader, SymbolsFilesBindingsAndExternalFilesAreRebuilt)
{
    QByteArray defs;
    AddDef(defs, "!", "app.rc", 0);
    AddDef(defs, "APP_LOCAL", "7", 3);
    AddDef(defs, "!", "resource.h", 1);
    AddDef(defs, "IDR_MAIN", "128", 2);
    AddDef(defs, "ID_FILE_NEW", "100", 3);
    AddDef(defs, "_APS_NEXT_RESOURCE_VALUE", "129", 4);
    AddDef(defs, "!", "nested.h", 2);
    AddDef(defs, "NESTED", "(IDR_MAIN + 1)", 1);
    AddDef(defs, "!", "", 1);
    AddDef(defs, "!", "", 0);
    AddDef(defs, "!", "windows.h", 1, 1);
    AddDef(defs, "IDOK", "1", 10);
    AddDef(defs, "!", "", 0);
    AddDef(defs, "!", "", 0xFFE3);

    QByteArray map;
    auto entry = [&map](const QByteArray& type, const QByteArray& id, const QByteArray& symbol,
                        std::vector<std::pair<QByteArray, uint16_t>> children) {
        AddAnsi(map, type);
        AddAnsi(map, id);
        AddAnsi(map, symbol);
        AddAnsi(map, "app.rc");
        Add16(map, 1);
        for (const auto& [name, value] : children) {
            AddAnsi(map, name);
            Add16(map, value);
        }
        AddAnsi(map, "$");
        Add16(map, 0xFFFF);
    };
    entry("241", "128", "IDR_MAIN", {{"ID_FILE_NEW", 100}, {"", 0}});
    entry("10", "LOGO", "", {});
    entry("10", "999", "IDR_GONE", {});
    AddAnsi(map, "$");
    Add16(map, 0xFFFF);

    QByteArray files;
    AddIdent(files, Ord(RT_RCDATA));
    AddIdent(files, Named("LOGO"));
    Add16(files, 0x0409);
    AddIdent(files, Named("res\\logo.bin"));
    AddIdent(files, Ord(RT_RCDATA));
    AddIdent(files, Ord(0xFFFF));
    Add16(files, 0x0409);
    AddIdent(files, Named("never.bin"));

    Res.Record(Ord(RT_TOOLBAR), Ord(128), 0x0409, Toolbar({100, 0}))
        .Record(Ord(RT_RCDATA), Named("LOGO"), 0x0409, "logo")
        .Record(Named("TEXTINCLUDE"), Ord(1), 0x0409, QByteArray("resource.h\0", 11))
        .Record(Named("TEXTINCLUDE"), Ord(2), 0x0409,
                QByteArray("#define APSTUDIO_HIDDEN_SYMBOLS\r\n#include \"windows.h\"\r\n"
                           "#undef APSTUDIO_HIDDEN_SYMBOLS\r\n#include <after.h>\r\n\0", 120))
        .Record(Named("HWB"), Ord(200), 0, defs)
        .Record(Named("HWB"), Ord(201), 0, files)
        .Record(Named("HWB"), Ord(202), 0, map);

    const QString script = Script(QStringLiteral("app.rc"));
    // resource.h beside the script tells the writer not to track dependencies; nested.h does not exist.
    {
        QFile header(QDir(FScripts.path()).filePath(QStringLiteral("resource.h")));
        ASSERT_TRUE(header.open(QIODevice::WriteOnly));
        header.write("//{{NO_DEPENDENCIES}}\r\n#define IDR_MAIN 128\r\n");
    }
    TLevelCapture log;
    auto module = Open(script);
    ASSERT_TRUE(module);
    EXPECT_FALSE(module->NeedFix());
    EXPECT_TRUE(log.Contains(QStringLiteral("Symbol not resolved: IDR_GONE")));

    // Symbols with their files.
    TResourceSymbols* symbols = module->Symbols();
    TResourceSymbol* main = symbols->Find(QStringLiteral("IDR_MAIN"));
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->Value().toInt(), 128);
    EXPECT_FALSE(main->Modified());
    EXPECT_FALSE(main->Hidden());
    ASSERT_NE(symbols->Find(QStringLiteral("_APS_NEXT_RESOURCE_VALUE")), nullptr);
    EXPECT_TRUE(symbols->Find(QStringLiteral("_APS_NEXT_RESOURCE_VALUE"))->Hidden());
    ASSERT_NE(symbols->Find(QStringLiteral("NESTED")), nullptr);
    EXPECT_EQ(symbols->Find(QStringLiteral("NESTED"))->Value().toInt(), 129);

    TResourceScriptSymbolFile* root = module->SymbolFile();
    EXPECT_EQ(symbols->Find(QStringLiteral("APP_LOCAL"))->SourceFile(), root);
    ASSERT_EQ(root->Files()->Count(), 2);
    TResourceSymbolFile* resourceH = root->Files()->Find(QStringLiteral("resource.h"), false);
    TResourceSymbolFile* windowsH = root->Files()->Find(QStringLiteral("windows.h"), false);
    TResourceSymbolFile* afterH = root->Files()->Find(QStringLiteral("after.h"), false);
    ASSERT_TRUE(resourceH && windowsH);
    EXPECT_EQ(afterH, nullptr); // after the hidden block
    EXPECT_EQ(main->SourceFile(), resourceH);
    EXPECT_TRUE(resourceH->Primary());
    EXPECT_FALSE(resourceH->ReadOnly());
    EXPECT_FALSE(resourceH->Hidden());
    EXPECT_FALSE(resourceH->CheckDependencies());
    TResourceSymbolFile* nested = resourceH->Files()->Find(QStringLiteral("nested.h"), false);
    ASSERT_NE(nested, nullptr);
    EXPECT_TRUE(nested->ReadOnly()); // below an included file
    EXPECT_TRUE(nested->CheckDependencies());
    EXPECT_TRUE(windowsH->ReadOnly());
    EXPECT_TRUE(windowsH->Hidden());
    EXPECT_EQ(symbols->Find(QStringLiteral("IDOK"))->SourceFile(), windowsH);
    EXPECT_FALSE(root->Modified());

    // Bindings and external files.
    auto* toolbar = qobject_cast<TToolbarResourceItem*>(module->Find(Ord(RT_TOOLBAR), Ord(128)));
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(toolbar->LocalID()->Symbol(), main);
    EXPECT_EQ(toolbar->Buttons()->Items(0)->Command()->Symbol(), symbols->Find(QStringLiteral("ID_FILE_NEW")));
    EXPECT_EQ(toolbar->Buttons()->Items(1)->Command()->Symbol(), nullptr);
    EXPECT_EQ(module->Find(Ord(RT_RCDATA), Named("LOGO"))->Filename(), QStringLiteral("res\\logo.bin"));
}

TEST_F(RCReader, WithoutThePrimaryFileNamedTheFirstWritableIncludeIsPrimary)
{
    QByteArray defs;
    AddDef(defs, "!", "app.rc", 0);
    AddDef(defs, "!", "sys.h", 1, 1);
    AddDef(defs, "SYS", "1", 1);
    AddDef(defs, "!", "", 0);
    AddDef(defs, "!", "mine.h", 1);
    AddDef(defs, "MINE", "2", 1);
    Res.Record(Named("HWB"), Ord(200), 0, defs);
    auto module = Open(Script(QStringLiteral("app.rc")));
    ASSERT_TRUE(module);
    TResourceSymbolFiles* files = module->SymbolFile()->Files();
    ASSERT_EQ(files->Count(), 2);
    EXPECT_EQ(files->Items(0)->Filename(), QStringLiteral("sys.h"));
    EXPECT_TRUE(files->Items(0)->ReadOnly());
    EXPECT_FALSE(files->Items(0)->Primary());
    EXPECT_EQ(files->Items(1)->Filename(), QStringLiteral("mine.h"));
    EXPECT_TRUE(files->Items(1)->Primary());
}
