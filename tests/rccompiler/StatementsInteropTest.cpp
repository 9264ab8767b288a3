// Our compiler against the peers: each script of the table is compiled by ours, windres and llvm-rc
// (where it knows the statement); the RES files must hold the same resources, byte for byte.
//
// Differences on purpose, not compared:
// - memory flags against windres: it gives 0x1030 to most types; llvm-rc's flags are the reference;
// - icon and cursor image numbers against windres: it counts icons and cursors separately, ours (like
//   llvm-rc) counts them together; the scripts below keep to one image statement each;
// - cursor group entries against windres: ours (like llvm-rc) takes planes and bit count from the
//   image's own header;
// - the font directory (windres numbers its entries 1, 2, ... and keeps 56 bytes of each font header;
//   ours names each entry by its font's ordinal and keeps the 113-byte directory entry);
// - TOOLBAR (windres writes DWORDs and no version; ours writes the WORD layout the toolbar kind reads)
//   and DLGINCLUDE with a quoted name (the name is the data; windres reads it as a file);
// - ACCELERATORS: a lower-case letter with VIRTKEY is upper-cased and "^c" is Ctrl+C as in llvm-rc
//   (windres keeps the letter and makes "^C" a virtual key).

#include "CompilerSupport.h"
#include "platform/ByteBuilder.h"
#include "platform/PeerTools.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

// A small icon or cursor file of two 32-bit images (16 and 32 pixels).
QByteArray IconFile(bool Cursor)
{
    std::vector<QByteArray> images;
    for (int i = 0; i < 2; ++i) {
        const int w = 16 + i * 16;
        QByteArray d;
        Add32(d, 40);
        Add32(d, w);
        Add32(d, w * 2);
        Add16(d, 1);
        Add16(d, 32);
        for (int k = 0; k < 6; ++k) Add32(d, 0);
        d.append(QByteArray(w * w * 4, char(0x11 + i)));
        d.append(QByteArray(((w + 31) / 32 * 4) * w, '\0'));
        images.push_back(d);
    }
    QByteArray f;
    Add16(f, 0);
    Add16(f, Cursor ? 2 : 1);
    Add16(f, 2);
    uint32_t offset = 6 + 16 * 2;
    for (size_t i = 0; i < images.size(); ++i) {
        const int w = 16 + int(i) * 16;
        f.append(char(w));
        f.append(char(w));
        f.append(char(0));
        f.append(char(0));
        Add16(f, Cursor ? 3 + i : 1);  // hot spot x, or planes
        Add16(f, Cursor ? 5 + i : 32); // hot spot y, or bit count
        Add32(f, images[i].size());
        Add32(f, offset);
        offset += images[i].size();
    }
    for (const QByteArray& d : images) f.append(d);
    return f;
}

QByteArray BitmapFile()
{
    QByteArray info;
    Add32(info, 40);
    Add32(info, 2);
    Add32(info, 2);
    Add16(info, 1);
    Add16(info, 24);
    Add32(info, 0);
    Add32(info, 16);
    for (int k = 0; k < 4; ++k) Add32(info, 0);
    info.append(QByteArray(16, char(0x22)));
    QByteArray f("BM");
    Add32(f, 14 + info.size());
    Add32(f, 0);
    Add32(f, 54);
    return f + info;
}

// A font file whose header names a device and a face.
QByteArray FontFile()
{
    QByteArray h(118, '\0');
    h[0] = 0x00;
    h[1] = 0x02;
    h.replace(6, 10, "Copyright!");
    h[68] = 10;
    h[94] = 'A';
    QByteArray f = h + QByteArray("DEV", 4) + QByteArray("MyFace", 7) + QByteArray(20, 'U');
    auto put32 = [&f](int At, uint32_t V) {
        for (int i = 0; i < 4; ++i) f[At + i] = char((V >> (8 * i)) & 0xFF);
    };
    put32(2, f.size());
    put32(101, 118);
    put32(105, 122);
    return f;
}

struct TScriptCase {
    const char* Name;
    const char* Script;
    bool Windres;
    bool LlvmRc;
};

const TScriptCase Cases[] = {
    {"StringTables",
     "STRINGTABLE\nBEGIN\n  1 \"one\"\n  2, \"two\\ttab\\r\\n\"\n  17 \"seventeen \"\"quoted\"\"\"\n"
     "  0xFFFF \"last\"\n  40 \"caf\\xE9 \\x41\"\nEND\n"
     "STRINGTABLE\nLANGUAGE 7, 1\nBEGIN\n  3 \"drei\"\nEND\n"
     "STRINGTABLE\nBEGIN\n  4 L\"wide \\x0416\\x0041\"\n  5 \"\"\nEND\n",
     true, true},
    {"StringTableFlags", "STRINGTABLE PRELOAD\nBEGIN\n  100 \"a\"\nEND\n", true, true},
    {"Accelerators",
     "1 ACCELERATORS\nBEGIN\n  \"a\", 1\n  \"A\", 2, VIRTKEY\n  65, 6, VIRTKEY, SHIFT, CONTROL, ALT, NOINVERT\n"
     "  0x70, 9, VIRTKEY\n  27, 11, ASCII\nEND\n",
     true, true},
    {"AcceleratorControlCharacters", "1 ACCELERATORS\nBEGIN\n  \"^C\", 10\n  \"^z\", 11\n  \"b\", 12, VIRTKEY\nEND\n", false,
     true},
    {"DataBlock",
     "1 RCDATA\nBEGIN\n  1, 2L, \"ab\", L\"cd\", 0x1234, 0x10000L,\n"
     "  \"x\\ty\\0\", 7\nEND\n",
     true, true},
    // llvm-rc has no * / %.
    {"DataArithmetic", "1 RCDATA { 1+2*3, 10/3, 1|2*4, 7%4, 2*3L, -1, ~0, -(2), (4|8)&12, 4|8&12, 1+2-4 }\n", true, false},
    {"DataOptions", "2 RCDATA\nLANGUAGE 7, 2\nVERSION 3\nCHARACTERISTICS 0x55\nBEGIN\n  1\nEND\n", true, false},
    {"DataTypes",
     "3 RCDATA \"d.bin\"\nX MYTYPE \"d.bin\"\n13 241 { 1, 2 }\n14 300 d.bin\n", true, true},
    // A quoted resource name: llvm-rc takes none.
    {"QuotedName", "\"Quoted\" other { 1 }\n", true, false},
    {"FileTypes", "8 HTML \"d.bin\"\n9 23 \"d.bin\"\n", true, true},
    {"FileTypesWindres",
     "1 MANIFEST \"d.bin\"\n2 MESSAGETABLE \"d.bin\"\n3 ANICURSOR \"d.bin\"\n4 ANIICON \"d.bin\"\n", true, false},
    {"Bitmap", "3 BITMAP \"c.bmp\"\nBMP BITMAP c.bmp\n", true, true},
    {"Icon", "IDI_APP ICON \"a.ico\"\n", true, true},
    {"Cursor", "2 CURSOR \"b.cur\"\n", false, true},
    {"Font", "6 FONT \"f.fnt\"\n", true, false},
    {"Languages",
     "LANGUAGE 7, 1\n1 RCDATA { 1 }\nLANGUAGE 0x0C, 0x01\n2 RCDATA { 2 }\n", true, true},
    // llvm-rc takes no optional statements in RCDATA.
    {"DataLanguage", "LANGUAGE 7, 1\n3 RCDATA LANGUAGE 9, 1 { 3 }\n4 RCDATA { 4 }\n", true, false},
    {"MemoryFlags",
     "6 RCDATA PRELOAD { 1 }\n7 RCDATA LOADONCALL { 1 }\n8 RCDATA FIXED { 1 }\n9 RCDATA MOVEABLE { 1 }\n"
     "10 RCDATA PURE { 1 }\n11 RCDATA IMPURE { 1 }\n12 RCDATA DISCARDABLE { 1 }\n"
     "13 RCDATA FIXED DISCARDABLE { 1 }\n14 RCDATA DISCARDABLE FIXED { 1 }\n15 RCDATA IMPURE DISCARDABLE { 1 }\n",
     true, true},
    {"IconFlags", "1 ICON PRELOAD FIXED \"a.ico\"\n", true, true},
    {"Macros",
     "#include <windows.h>\n#define IDR_X 5\n#define MYTYPE 300\n#define IDS_A (IDR_X + 1)\n"
     "LANGUAGE LANG_GERMAN, SUBLANG_GERMAN\nIDR_X MYTYPE { 1 }\n1 RT_MANIFEST \"d.bin\"\n"
     "STRINGTABLE\nBEGIN\n  IDS_A \"six\"\nEND\n7 ACCELERATORS\nBEGIN\n  VK_F1, IDR_X, VIRTKEY, CONTROL\nEND\n",
     true, true},
    {"TextInclude",
     "1 TEXTINCLUDE\nBEGIN\n    \"resource.h\\0\"\nEND\n\n2 TEXTINCLUDE\nBEGIN\n    \"#include \"\"winres.h\"\"\\r\\n\",\n"
     "    \"\\0\"\nEND\n",
     true, true},
};

class StatementsInterop : public ::testing::TestWithParam<TScriptCase> {};

// The resources of a RES file by type, name and language.
std::map<QString, TResRecord> ByKey(const QByteArray& Res)
{
    std::map<QString, TResRecord> map;
    for (const TResRecord& r : ReadResRecords(Res)) map[r.Key()] = r;
    return map;
}

void Compare(const std::map<QString, TResRecord>& Ours, const std::map<QString, TResRecord>& Peer, bool Flags,
             const char* PeerName)
{
    for (const auto& [key, peer] : Peer) {
        // A font directory is ours to lay out (see above).
        if (peer.Type == u"#7") continue;
        const auto found = Ours.find(key);
        if (found == Ours.end()) {
            ADD_FAILURE() << PeerName << " has " << qPrintable(key) << ", ours has not";
            continue;
        }
        EXPECT_EQ(found->second.Data.toHex().toStdString(), peer.Data.toHex().toStdString())
            << qPrintable(key) << " data against " << PeerName;
        EXPECT_EQ(found->second.Version, peer.Version) << qPrintable(key);
        EXPECT_EQ(found->second.Characteristics, peer.Characteristics) << qPrintable(key);
        if (Flags) {
            EXPECT_EQ(found->second.MemoryFlags, peer.MemoryFlags) << qPrintable(key) << " flags against " << PeerName;
        }
    }
    for (const auto& [key, ours] : Ours) {
        if (ours.Type == u"#7") continue;
        EXPECT_TRUE(Peer.count(key)) << "ours has " << qPrintable(key) << ", " << PeerName << " has not";
    }
}

TEST_P(StatementsInterop, SameResourcesAsThePeers)
{
    const TScriptCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(WriteAll(dir.filePath("a.ico"), IconFile(false)));
    ASSERT_TRUE(WriteAll(dir.filePath("b.cur"), IconFile(true)));
    ASSERT_TRUE(WriteAll(dir.filePath("c.bmp"), BitmapFile()));
    ASSERT_TRUE(WriteAll(dir.filePath("d.bin"), QByteArray("hello\0\1", 7)));
    ASSERT_TRUE(WriteAll(dir.filePath("f.fnt"), FontFile()));
    const QString script = dir.filePath("script.rc");
    ASSERT_TRUE(WriteAll(script, QByteArray(c.Script)));

    // The peers' default language is 0x0409.
    TTestCompilerHost host;
    ASSERT_EQ(CompileWithOurs(host, script, dir.filePath("ours.res"), {QStringLiteral("/l409")}), 0)
        << qPrintable(host.Lines.join('\n'));
    const QByteArray ours = ReadAll(dir.filePath("ours.res"));
    const auto oursByKey = ByKey(ours);

    int compared = 0;
    for (const TResourceCompiler compiler : ResourceCompilers) {
        const bool windres = compiler == TResourceCompiler::Windres;
        if (windres ? !c.Windres : !c.LlvmRc) continue;
        const QString tool = FindPeerTool(QString::fromLatin1(ResourceCompilerName(compiler)));
        if (tool.isEmpty()) continue;
        const QString res = dir.filePath(windres ? "windres.res" : "llvm.res");
        const TPeerToolResult run = RunPeerTool(tool, ResourceCompilerArguments(compiler, script, res), 30000, dir.path());
        ASSERT_TRUE(run.Ok()) << run.Describe().toStdString();
        Compare(oursByKey, ByKey(ReadAll(res)), !windres, ResourceCompilerName(compiler));
        ++compared;
    }
    if (compared == 0) GTEST_SKIP() << "no resource compiler is installed";
}

INSTANTIATE_TEST_SUITE_P(Scripts, StatementsInterop, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<TScriptCase>& Info) { return std::string(Info.param.Name); });

} // namespace
