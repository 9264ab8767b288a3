// Version information of modules linked by mingw (PE32 and PE32+), and the program's own version resource
// against what windres makes of the same statement.
#include "model/VersionInfo.h"
#include "platform/Exceptions.h"
#include "platform/PeerTools.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const char* const Script = R"(1 VERSIONINFO
FILEVERSION 1,2,3,4
PRODUCTVERSION 5,6,7,8
FILEFLAGSMASK 0x3F
FILEFLAGS 0x22
FILEOS 0x40004
FILETYPE 2
FILESUBTYPE 0
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904b0"
    BEGIN
      VALUE "CompanyName", "Kestovar"
      VALUE "FileDescription", "Test library"
    END
    BLOCK "040704E4"
    BEGIN
      VALUE "CompanyName", "Kestovar GmbH"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200, 0x407, 1252
  END
END
)";

class VersionInfoInterop : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }
    QString Path(const QString& name) const { return Dir.filePath(name); }

    void Write(const QString& name, const QByteArray& bytes)
    {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray Read(const QString& name)
    {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // A DLL linked by the mingw compiler of prefix, with the script's resources when given one; empty
    // when the compiler is not installed.
    QString BuildDll(const QString& prefix, const QString& name, const QByteArray& script)
    {
        const QString windres = FindPeerTool(prefix + "-windres");
        const QString gcc = FindPeerTool(prefix + "-gcc");
        if (windres.isEmpty() || gcc.isEmpty()) return {};
        Write(name + ".c", "int f(void){return 1;}\n");
        QStringList args{"-shared", Path(name + ".c"), "-o", Path(name)};
        if (!script.isEmpty()) {
            Write(name + ".rc", script);
            const TPeerToolResult compiled = RunPeerTool(windres, {Path(name + ".rc"), "-O", "coff", "-o", Path(name + ".o")});
            EXPECT_TRUE(compiled.Ok()) << compiled.Describe().toStdString();
            args.append(Path(name + ".o"));
        }
        const TPeerToolResult link = RunPeerTool(gcc, args, 120000);
        EXPECT_TRUE(link.Ok()) << link.Describe().toStdString();
        return Path(name);
    }

    QTemporaryDir Dir;
};
} // namespace

TEST_F(VersionInfoInterop, ReadsModulesOfBothWidths)
{
    int built = 0;
    for (const QString prefix : {"x86_64-w64-mingw32", "i686-w64-mingw32"}) {
        const QString dll = BuildDll(prefix, prefix + ".dll", Script);
        if (dll.isEmpty()) continue;
        ++built;
        SCOPED_TRACE(prefix.toStdString());
        const TVersionInfo info(dll);
        ASSERT_TRUE(info.Valid());
        EXPECT_EQ(TVersionInfo::VersionToString(info.FileVersion()), "1.2.3.4");
        EXPECT_EQ(TVersionInfo::VersionToString(info.ProductVersion()), "5.6.7.8");
        EXPECT_EQ(info.FileFlags(), 0x22u);
        EXPECT_EQ(info.OS(), 0x40004u);
        EXPECT_EQ(info.FileType(), 2u);
        ASSERT_EQ(info.TranslationCount(), 2);
        EXPECT_EQ(info.GetTranslation(1).LanguageID, 0x0407);
        EXPECT_EQ(info.GetTranslation(1).CharsetID, 1252);
        EXPECT_EQ(info.GetString("CompanyName"), "Kestovar");
        EXPECT_EQ(info.GetString("FileDescription"), "Test library");
        EXPECT_EQ(info.GetString("CompanyName", 1), "Kestovar GmbH");
        EXPECT_EQ(info.GetString("FileDescription", 1), "");
    }
    if (built == 0) GTEST_SKIP() << "mingw is not installed";
}

TEST_F(VersionInfoInterop, ModulesWithoutReadableVersionAreNotValid)
{
    const QString bare = BuildDll("x86_64-w64-mingw32", "bare.dll", {});
    const QString full = BuildDll("x86_64-w64-mingw32", "full.dll", Script);
    if (bare.isEmpty()) GTEST_SKIP() << "mingw is not installed";
    const TVersionInfo none(bare);
    EXPECT_FALSE(none.Valid());
    EXPECT_EQ(none.FileVersion(), 0u);
    EXPECT_THROW(none.GetString("CompanyName"), EListError);

    // Cut short: the section holding the resources is gone; other cuts must not read past the data.
    const QByteArray bytes = Read("full.dll");
    ASSERT_TRUE(TVersionInfo(full).Valid());
    Write("cut.dll", bytes.left(1024));
    EXPECT_FALSE(TVersionInfo(Path("cut.dll")).Valid());
    for (qsizetype size = 0; size < bytes.size(); size += 509) {
        Write("cut.dll", bytes.left(size));
        const TVersionInfo cut(Path("cut.dll"));
        if (cut.Valid()) {
            EXPECT_EQ(cut.GetString("CompanyName", QStringLiteral("040904b0")), "Kestovar");
        }
    }
}

TEST_F(VersionInfoInterop, ProgramVersionResourceIsWhatWindresMakes)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    const TVersionInfo info = ProgramVersionInfo();
    ASSERT_TRUE(info.Valid());
    auto parts = [](uint64_t version) {
        return QStringLiteral("%1,%2,%3,%4")
            .arg(version >> 48)
            .arg((version >> 32) & 0xFFFF)
            .arg((version >> 16) & 0xFFFF)
            .arg(version & 0xFFFF);
    };
    QString script = QStringLiteral("1 VERSIONINFO\nFILEVERSION %1\nPRODUCTVERSION %2\nFILEFLAGSMASK 0x3F\n"
                                    "FILEFLAGS %3\nFILEOS %4\nFILETYPE %5\nFILESUBTYPE %6\n"
                                    "BEGIN\n BLOCK \"StringFileInfo\"\n BEGIN\n  BLOCK \"040904b0\"\n  BEGIN\n")
                         .arg(parts(info.FileVersion()), parts(info.ProductVersion()))
                         .arg(info.FileFlags())
                         .arg(info.OS())
                         .arg(info.FileType())
                         .arg(info.FileSubType());
    for (const char* key : {"CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
                            "OriginalFilename", "ProductName", "ProductVersion"})
        script += QStringLiteral("   VALUE \"%1\", \"%2\"\n").arg(QLatin1String(key), info.GetString(QLatin1String(key)));
    script += QStringLiteral("  END\n END\n BLOCK \"VarFileInfo\"\n BEGIN\n  VALUE \"Translation\", %1, %2\n END\nEND\n")
                  .arg(info.GetTranslation(0).LanguageID)
                  .arg(info.GetTranslation(0).CharsetID);
    Write("program.rc", script.toUtf8());
    const TPeerToolResult compiled = RunPeerTool(windres, {Path("program.rc"), "-O", "res", "-o", Path("program.res")});
    ASSERT_TRUE(compiled.Ok()) << compiled.Describe().toStdString();

    // The one record after the empty first one of the RES file.
    const QByteArray res = Read("program.res");
    ASSERT_GE(res.size(), 40);
    auto dword = [&](qsizetype at) {
        const auto* p = reinterpret_cast<const uint8_t*>(res.constData() + at);
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    };
    const QByteArray data = res.mid(32 + dword(36), dword(32));
    EXPECT_EQ(data.toHex(), ProgramVersionResource().toHex());
}
