// Scripts we write, compiled by real resource compilers: the RES they make must hold every resource of
// the module, byte for byte, under the same type, name and language.
#include "TestKinds.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "platform/PeerTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

// The mingw-w64 headers: the generated scripts include windows.h (LANG_ and SUBLANG_ names).
const char* const MingwInclude = "/usr/share/mingw-w64/include";

// One resource: type and name as text ("#5" for ordinals), language, data.
using TResourceKey = std::tuple<QString, QString, int, QByteArray>;

std::vector<TResourceKey> Resources(TCustomResourceModule* module)
{
    std::vector<TResourceKey> keys;
    for (TCustomResourceItem* item : *module->Items()) {
        if (item->Hidden() || item->Internal()) continue;
        TMemoryStream data;
        item->SaveToStream(data);
        keys.emplace_back(ResourceIdentToString(item->ResourceType()), ResourceIdentToString(item->Name()),
                          item->Language(), data.ToByteArray());
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::string Describe(const std::vector<TResourceKey>& keys)
{
    std::string text;
    for (const auto& [type, name, language, data] : keys)
        text += QStringLiteral("%1 %2 %3: %4 bytes %5\n")
                    .arg(type, name)
                    .arg(language, 4, 16, QLatin1Char('0'))
                    .arg(data.size())
                    .arg(QString::fromLatin1(data.left(24).toHex(' ')))
                    .toStdString();
    return text;
}

QByteArray Utf16(const QString& text) { return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2); }

TCustomResourceItem* AddItem(TCustomResourceModule& module, const TResourceIdent& type, const TResourceIdent& name,
                             uint16_t language, const QByteArray& data)
{
    auto* item = new TResourceItemGeneric(name);
    item->SetResourceType(type);
    item->SetLanguage(language);
    TBytesStream stream(data);
    item->LoadFromStream(stream, data.size());
    module.Items()->Add(item);
    return item;
}

// Bytes no text detection takes for text, zeros and every byte value included.
QByteArray Binary(int size, uint32_t seed)
{
    QByteArray data;
    data.append('\x01');
    data.append('\0');
    for (int i = 2; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        data.append(static_cast<char>(i < 258 ? i - 2 : (seed >> 16) & 0xFF));
    }
    return data;
}

// What goes into the module and how the script is written.
struct TScriptOptions {
    bool RcData;      // an RCDATA item with characteristics and a version
    bool Symbolic;    // LANGUAGE lines with symbols; else numbers
    bool HighOddByte; // odd-length data whose last byte is above 127
    bool Quoted;      // names and types only a quoted string gives
    bool Cursors;     // raw cursors, group cursors and font directories
};

QStringList Arguments(QStringList arguments, const QString& in, const QString& out)
{
    arguments.replaceInStrings(QStringLiteral("%in"), in);
    arguments.replaceInStrings(QStringLiteral("%out"), out);
    return arguments;
}

class RCWriterInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModuleRC_Initialize();
        ASSERT_TRUE(FDir.isValid());
        Dir = FDir.path();
    }
    void TearDown() override
    {
        koResourceModuleRC_Finalize();
        koResourceModuleRes_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }

    // Resource names are upper case: both compilers upper-case names and types written as words.
    // An RCDATA item with characteristics gets CHARACTERISTICS, LANGUAGE and VERSION lines inside
    // the statement. Symbolic
    // scripts name languages with the LANG_ and SUBLANG_ symbols of windows.h, which for resource
    // compilers lacks many the default symbols carry (SUBLANG_JAPANESE_JAPAN, LANG_SINHALESE,
    // SUBLANG_CUSTOM_DEFAULT...).
    void BuildModule(TResourceModule& module, const TScriptOptions& options)
    {
        module.SymbolFile()->Files()->Add(QStringLiteral("resource.h"))->SetPrimary(true);
        // A header of the user's own, included by its absolute name.
        QFile ids(Dir + QStringLiteral("/ids.h"));
        ASSERT_TRUE(ids.open(QIODevice::WriteOnly));
        ids.write("#define IDX_EXTRA 77\r\n");
        ids.close();
        TResourceSymbol* extra = module.Symbols()->Add(QStringLiteral("IDX_EXTRA"));
        extra->SetLiteralValue(QStringLiteral("77"));
        extra->SetSourceFile(module.SymbolFile()->Files()->Add(QStringLiteral("ids.h")));
        AddItem(module, Ord(258), Ord(1), 0x0409, QByteArray("extra"))->LocalID()->SetIdentifier(QStringLiteral("IDX_EXTRA"));
        if (options.RcData) {
            TCustomResourceItem* text = AddItem(module, Ord(RT_RCDATA), Ord(1), 0x0409, QByteArray("hello\r\nworld\0", 13));
            text->SetCharacteristics(5);
            text->SetVersion(3);
        }
        AddItem(module, Ord(RT_RCDATA), Ord(101), 0x0407, Binary(17, 1))->LocalID()->SetIdentifier(QStringLiteral("IDR_BOUND"));
        AddItem(module, Ord(256), Ord(1), 0x0409, QByteArray("\x01\x02\x03", 3));
        AddItem(module, Ord(256), Ord(1), 0x0407, QByteArray());
        AddItem(module, Ord(256), Ord(2), 0x0412,
                Utf16(QStringLiteral("Gr") + QChar(0xFC) + QStringLiteral("\"\\e, ") + QChar(0x0416) + QChar(' ') +
                      QChar(0x65E5) + QChar(0x672C) + QChar(0xD83D) + QChar(0xDE00) + QChar(0)))
            ->LocalID()
            ->SetIdentifier(QStringLiteral("IDX_WIDE"));
        AddItem(module, Ord(256), Ord(3), 0x0409, Utf16(QString(150, QLatin1Char('u'))));
        AddItem(module, Ord(300), TResourceIdent("RAWBIN"), 0x040C, Binary(300, 7));
        QByteArray odd = Binary(301, 9);
        odd[300] = options.HighOddByte ? '\xCC' : 'L';
        AddItem(module, Ord(300), TResourceIdent("ODDBIN"), 0x040C, odd);
        const QByteArray text = QByteArray(450, 'x') + "\r\ntab\there \"quoted\" back\\slash\rlone LF\nend" +
                                QByteArray(3, '\0');
        AddItem(module, TResourceIdent("MYTYPE"), TResourceIdent("MYDATA"), 0x0409, text);
        // Text as far as the detection looks, then a byte above 127 (so words) or control bytes (so text).
        AddItem(module, TResourceIdent("MYTYPE"), Ord(5), 0, QByteArray(1100, 'y') + QByteArray("\x80\xFF\x01\x7F\0\x31\x09", 7));
        AddItem(module, TResourceIdent("MYTYPE"), Ord(6), 0, QByteArray(1100, 'z') + QByteArray("\x01\x7F\0\0\x31\x32\t", 7));
        // Raw data of standard types that have statements of their own.
        AddItem(module, Ord(RT_MENU), Ord(3), 0x0409, QByteArray("\0\0\0\0\x90\0", 6));
        AddItem(module, Ord(RT_DIALOG), Ord(4), 0x0409, Binary(41, 3));
        for (uint16_t language : {0x0804, 0x0C0C, 0x0416, 0x007F, 0x0400, 0x0800, 0x0000, 0x0411, 0x0419, 0x0C00,
                                  0x1C00, 0x03FF, 0x045B, 0x141A, 0x0816, 0x0448, 0x0C1A})
            AddItem(module, Ord(257), Ord(1), language, QByteArray("lang"));
        // Raw data of standard types whose kinds save no file: inline under the type's number.
        const QByteArray groupIcon("\0\0\1\0\1\0\x10\x10\x10\0\1\0\4\0\x28\0\0\0\5\0", 20);
        AddItem(module, Ord(RT_GROUP_ICON), TResourceIdent("MAINICON"), 0x0409, groupIcon);
        AddItem(module, Ord(RT_ICON), Ord(5), 0x0409, Binary(40, 11));
        AddItem(module, Ord(RT_BITMAP), Ord(7), 0x0409, QByteArray("\x28\0\0\0", 4) + Binary(37, 13));
        for (uint16_t type : {RT_FONT, RT_MESSAGETABLE, RT_ANICURSOR, RT_ANIICON, RT_HTML, RT_MANIFEST})
            AddItem(module, Ord(type), Ord(2), 0x0409, Binary(23, type));
        if (options.Cursors) {
            AddItem(module, Ord(RT_CURSOR), Ord(6), 0x0409, Binary(44, 12));
            QByteArray groupCursor = groupIcon;
            groupCursor[2] = 2;
            AddItem(module, Ord(RT_GROUP_CURSOR), Ord(6), 0x0409, groupCursor);
            AddItem(module, Ord(RT_FONTDIR), TResourceIdent("FONTS"), 0x0409, Binary(30, 17));
        }
        // Names the preprocessor would replace: of windows.h, of the compiler, of the module itself.
        for (const char* name : {"IDCANCEL", "VS_VERSION_INFO", "WIN32", "IDX_EXTRA", "IDOK.IDNO", "SHELL32.DLL",
                                 "DLLS/ATL/X86_64-WINDOWS/ATL.RES", "IDOK/X-IDNO"})
            AddItem(module, Ord(259), TResourceIdent(name), 0x0409, QByteArray(name));
        AddItem(module, TResourceIdent("IDCANCEL"), Ord(1), 0x0409, QByteArray("macro type"));
        if (options.Quoted) {
            for (const QString& name : QStringList{QStringLiteral("BEGIN"), QStringLiteral("123"), QStringLiteral("A B\"C"),
                                                   QStringLiteral("1ABC"), QString(QChar(0xC4)) + QStringLiteral("X")})
                AddItem(module, Ord(259), TResourceIdent(name), 0x0409, name.toUtf8());
            AddItem(module, TResourceIdent("ICON"), Ord(1), 0x0409, QByteArray("keyword type"));
            AddItem(module, TResourceIdent("MY TYPE"), TResourceIdent("VERSION"), 0x0409, QByteArray("spaced type"));
        }
        AddItem(module, Ord(RT_MANIFEST), Ord(1), 0x0409, QByteArray("<assembly manifestVersion=\"1.0\"/>\r\n"))
            ->SetFilename(QStringLiteral("app.manifest"));
        AddItem(module, TResourceIdent("MYFILE"), TResourceIdent("EXTFILE"), 0x0407, Binary(33, 5))
            ->SetFilename(QStringLiteral("sub/ext.bin"));
        // After the hidden TEXTINCLUDE section, in the language the section switched to.
        AddItem(module, TResourceIdent("ZDATA"), Ord(1), 0, QByteArray("after the section"));
    }

    // Writes the module as a script (through the module, or through a writer with numeric LANGUAGE
    // lines), compiles it, loads the RES and compares every resource. In the arguments, "%in" stands
    // for the script and "%out" for the RES file.
    void RoundTrip(const TScriptOptions& options, const QString& compiler, const QStringList& arguments)
    {
        if (!QFileInfo::exists(QString::fromLatin1(MingwInclude) + QStringLiteral("/windows.h")))
            GTEST_SKIP() << "the mingw-w64 headers are not installed";
        TResourceModule module;
        BuildModule(module, options);
        const std::vector<TResourceKey> expected = Resources(&module);
        const QString script = Dir + QStringLiteral("/test.rc");
        if (options.Symbolic) {
            module.SaveToFile(script);
        } else {
            TResourceModuleWriterRC writer;
            writer.SetSymbolicValues(false);
            writer.SaveToFile(&module, script, QString());
        }
        ASSERT_TRUE(QFileInfo::exists(Dir + QStringLiteral("/resource.h")));
        ASSERT_TRUE(QFileInfo::exists(Dir + QStringLiteral("/sub/ext.bin")));

        const QString res = Dir + QStringLiteral("/test.res");
        const TPeerToolResult run = RunPeerTool(compiler, Arguments(arguments, script, res), 60000, Dir);
        QFile scriptFile(script);
        ASSERT_TRUE(scriptFile.open(QIODevice::ReadOnly));
        ASSERT_TRUE(run.Ok()) << run.Describe().toStdString() << "\n" << scriptFile.readAll().toStdString();

        std::unique_ptr<TCustomResourceModule> compiled = TCustomResourceModule::LoadFromFile(res);
        ASSERT_NE(compiled, nullptr);
        const std::vector<TResourceKey> actual = Resources(compiled.get());
        EXPECT_EQ(actual, expected) << "compiled:\n" << Describe(actual) << "written:\n" << Describe(expected);
        if (options.RcData) {
            TCustomResourceItem* text = compiled->Find(Ord(RT_RCDATA), Ord(1), 0x0409);
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(text->Characteristics(), 5u);
            EXPECT_EQ(text->Version(), 3u);
        }
    }

    QStringList WindresArguments() const
    {
        // windres preprocesses with the mingw gcc, which finds windows.h by itself; the folder is named
        // anyway so the test does not depend on that.
        return {QStringLiteral("--include-dir=") + QString::fromLatin1(MingwInclude), QStringLiteral("-O"),
                QStringLiteral("res"), QStringLiteral("-i"), QStringLiteral("%in"), QStringLiteral("-o"), QStringLiteral("%out")};
    }

    QStringList LlvmRcArguments() const
    {
        return {QStringLiteral("-I"), QString::fromLatin1(MingwInclude), QStringLiteral("-fo"), QStringLiteral("%out"),
                QStringLiteral("%in")};
    }

    QTemporaryDir FDir;
    QString Dir;
};

// windres rewrites the raw data of some standard types, so those go only through llvm-rc: it puts
// other bytes after a cursor's hot spot, aborts on any group cursor ("resource type mismatch") and
// rebuilds font directories. No other spelling gives windres these resources: from a file it makes
// cursors of its own numbering.
TEST_F(RCWriterInterop, WindresCompilesTheModuleBack)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    RoundTrip({true, true, true, true, false}, windres, WindresArguments());
}

TEST_F(RCWriterInterop, WindresCompilesNumericLanguagesBack)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    RoundTrip({true, false, true, true, false}, windres, WindresArguments());
}

// What llvm-rc 14 cannot compile stays out of its modules:
// - Quoted names and types: it takes none ("expected int or identifier"), so a name spelled like a
//   keyword, a number or with characters outside a word has no form it reads.
// - RCDATA items with characteristics or a version: it takes no CHARACTERISTICS, LANGUAGE or VERSION
//   statement inside RCDATA (it reads the first word after the type as a file name).
// - Odd-length data ending in a byte above 127: a narrow string is the only way a script holds a single
//   byte, and llvm-rc refuses narrow-string bytes above 127 (with code page 1252 it takes them as
//   characters and refuses those beyond Latin-1).
TEST_F(RCWriterInterop, LlvmRcCompilesTheModuleBack)
{
    REQUIRE_PEER_TOOL(llvmRc, "llvm-rc");
    RoundTrip({false, true, false, false, true}, llvmRc, LlvmRcArguments());
}

TEST_F(RCWriterInterop, LlvmRcCompilesNumericLanguagesBack)
{
    REQUIRE_PEER_TOOL(llvmRc, "llvm-rc");
    RoundTrip({false, false, false, false, true}, llvmRc, LlvmRcArguments());
}

// Literals of every kind the escaping produces, including a continued long one, read back as the
// characters (wide) or bytes (narrow) they were made from.
TEST_F(RCWriterInterop, EscapedLiteralsCompileBack)
{
    QString wide = QStringLiteral("quote\" back\\ tab\t nl\n cr\r bell\x07 bs\x08 zero") + QChar(0) +
                   QStringLiteral("1 ") + QChar(0xE9) + QChar(0x0416) + QChar(0x65E5) + QChar(0x80) + QChar(0x7F) +
                   QChar(0xE000) + QStringLiteral("A ~");
    wide += QString(9000, QLatin1Char('w'));
    const QString narrow = QStringLiteral("a\"b\\c\t\x01" "F\x1F") + QChar(0) + QStringLiteral("7 ") + QChar(0x08) +
                           QChar(0) + QStringLiteral("9 ~");
    TBytesStream out;
    TRCAnsiEncoder encoder(out, 1252);
    const QString wideLiteral = encoder.Escape(wide, true);
    const QString narrowLiteral = encoder.Escape(narrow, true);
    ASSERT_TRUE(wideLiteral.startsWith(QStringLiteral("L\"")));
    ASSERT_TRUE(wideLiteral.contains(QStringLiteral("\\\r\n"))) << "long enough to be continued";
    ASSERT_TRUE(narrowLiteral.startsWith(QLatin1Char('"')));
    const QString script = QStringLiteral("LANGUAGE 9, 1\r\n1 256\r\nBEGIN\r\n  ") + wideLiteral +
                           QStringLiteral("\r\nEND\r\n2 256\r\nBEGIN\r\n  ") + narrowLiteral + QStringLiteral("\r\nEND\r\n");
    QFile file(Dir + QStringLiteral("/literals.rc"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(script.toLatin1());
    file.close();

    const std::vector<TResourceKey> expected = {{QStringLiteral("#256"), QStringLiteral("#1"), 0x0409, Utf16(wide)},
                                                {QStringLiteral("#256"), QStringLiteral("#2"), 0x0409, narrow.toLatin1()}};
    const struct {
        const char* Tool;
        QStringList Arguments;
    } compilers[] = {
        {"x86_64-w64-mingw32-windres",
         {QStringLiteral("-O"), QStringLiteral("res"), QStringLiteral("-i"), QStringLiteral("%in"), QStringLiteral("-o"),
          QStringLiteral("%out")}},
        {"llvm-rc", {QStringLiteral("-fo"), QStringLiteral("%out"), QStringLiteral("%in")}},
    };
    int compiled = 0;
    for (const auto& compiler : compilers) {
        const QString tool = FindPeerTool(QString::fromLatin1(compiler.Tool));
        if (tool.isEmpty()) continue;
        const QString res = Dir + QLatin1Char('/') + QString::fromLatin1(compiler.Tool) + QStringLiteral(".res");
        const TPeerToolResult run = RunPeerTool(tool, Arguments(compiler.Arguments, file.fileName(), res), 60000, Dir);
        ASSERT_TRUE(run.Ok()) << compiler.Tool << "\n" << run.Describe().toStdString();
        std::unique_ptr<TCustomResourceModule> module = TCustomResourceModule::LoadFromFile(res);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(Resources(module.get()), expected) << compiler.Tool << "\n" << Describe(Resources(module.get()));
        ++compiled;
    }
    if (compiled == 0) GTEST_SKIP() << "neither windres nor llvm-rc is installed";
}

// The macro table (tools/gen_rc_header_macros.py) against the installed headers: every macro the
// compilers see after windows.h is in it, and a LANG_ or SUBLANG_ name the module's symbols carry is
// written as a name exactly when the headers define it.
TEST(RCWriterHeaderInterop, MacroTableMatchesTheInstalledHeaders)
{
    REQUIRE_PEER_TOOL(gcc, "x86_64-w64-mingw32-gcc");
    if (!QFileInfo::exists(QString::fromLatin1(MingwInclude) + QStringLiteral("/windows.h")))
        GTEST_SKIP() << "the mingw-w64 headers are not installed";
    QTemporaryDir dir;
    QFile source(dir.path() + QStringLiteral("/w.c"));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write("#include <windows.h>\n");
    source.close();
    const TPeerToolResult run = RunPeerTool(gcc, {QStringLiteral("-E"), QStringLiteral("-dM"), QStringLiteral("-xc"),
                                                  QStringLiteral("-DRC_INVOKED"), QStringLiteral("-I"),
                                                  QString::fromLatin1(MingwInclude), source.fileName()});
    ASSERT_TRUE(run.Ok()) << run.Describe().toStdString();
    QSet<QString> defined;
    for (const QByteArray& line : run.Out.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() < 2 || words[0] != "#define") continue;
        const QString name = QString::fromLatin1(words[1].left(words[1].indexOf('(') < 0 ? words[1].size() : words[1].indexOf('(')));
        defined.insert(name);
        EXPECT_TRUE(IsRCHeaderMacro(name)) << name.toStdString() << ": run tools/gen_rc_header_macros.py";
    }
    ASSERT_TRUE(defined.contains(QStringLiteral("LANG_ENGLISH")));

    koResourcesKinds_Initialize();
    {
        TResourceModule module;
        TResourceSymbols* symbols = module.Symbols();
        for (int i = 0; i < symbols->Count(); ++i) {
            const QString name = symbols->Items(i)->Symbol();
            if (name.startsWith(QLatin1String("LANG_")) || name.startsWith(QLatin1String("SUBLANG_"))) {
                EXPECT_EQ(IsRCHeaderMacro(name), defined.contains(name)) << name.toStdString();
            }
        }
    }
    koResourcesKinds_Finalize();
    koResourcesFiler_Finalize();
}

} // namespace
