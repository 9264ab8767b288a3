// Shell link files built byte by byte: the recorded targets in their forms and order of preference, and
// damaged links, which are no links.
#include "platform/ShellLink.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
enum : uint32_t {
    HasIDList = 0x1, HasLinkInfo = 0x2, HasName = 0x4, HasRelativePath = 0x8, HasWorkingDir = 0x10,
    IsUnicode = 0x80, ForceNoLinkInfo = 0x100,
};

QByteArray LE(uint32_t value, int size)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i) bytes.append(char((value >> (8 * i)) & 0xFF));
    return bytes;
}

QByteArray Utf16Z(const QString& text)
{
    QByteArray bytes;
    for (QChar c : text) bytes += LE(c.unicode(), 2);
    return bytes + LE(0, 2);
}

struct TLinkInfoFields {
    QString Local;  // empty: no local base path
    QString Suffix;
    QString Net;    // empty: no network link
    bool Unicode = false; // the header with the Unicode offsets, and the strings in both forms
};

QByteArray LinkInfo(const TLinkInfoFields& fields)
{
    const uint32_t headerSize = fields.Unicode ? 0x24 : 0x1C;
    QByteArray body;
    auto here = [&] { return uint32_t(headerSize + body.size()); };
    uint32_t flags = 0, volume = 0, local = 0, net = 0, localUnicode = 0, suffixUnicode = 0;
    if (!fields.Local.isEmpty()) {
        flags |= 1;
        volume = here();
        body += LE(0x11, 4) + LE(3, 4) + LE(0x1234, 4) + LE(0x10, 4) + QByteArray(1, '\0');
        local = here();
        body += fields.Local.toLatin1() + '\0';
    }
    if (!fields.Net.isEmpty()) {
        flags |= 2;
        net = here();
        const QByteArray name = fields.Net.toLatin1() + '\0';
        body += LE(uint32_t(0x14 + name.size()), 4) + LE(2, 4) + LE(0x14, 4) + LE(0, 4) + LE(0x20000, 4) + name;
    }
    const uint32_t suffix = here();
    body += fields.Suffix.toLatin1() + '\0';
    if (fields.Unicode) {
        if (!fields.Local.isEmpty()) {
            localUnicode = here();
            body += Utf16Z(fields.Local);
        }
        suffixUnicode = here();
        body += Utf16Z(fields.Suffix);
    }
    QByteArray header = LE(headerSize, 4) + LE(flags, 4) + LE(volume, 4) + LE(local, 4) + LE(net, 4) + LE(suffix, 4);
    if (fields.Unicode) header += LE(localUnicode, 4) + LE(suffixUnicode, 4);
    return LE(uint32_t(4 + header.size() + body.size()), 4) + header + body;
}

// A link: header, optional item id list, optional link information, then the strings the flags name.
QByteArray Link(uint32_t flags, const QByteArray& linkInfo = {}, const QStringList& strings = {})
{
    QByteArray bytes = LE(0x4C, 4) + QByteArray::fromHex("0114020000000000c000000000000046") + LE(flags, 4);
    bytes += QByteArray(0x4C - bytes.size(), '\0');
    if (flags & HasIDList) {
        const QByteArray item = LE(6, 2) + QByteArray("\x1F\x50", 2) + LE(0, 2); // one item, then the terminator
        bytes += LE(uint32_t(item.size()), 2) + item;
    }
    if (flags & HasLinkInfo) bytes += linkInfo;
    for (const QString& text : strings) {
        bytes += LE(uint32_t(text.size()), 2);
        bytes += (flags & IsUnicode) ? Utf16Z(text).chopped(2) : text.toLatin1();
    }
    return bytes;
}

class ShellLink : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

    QString WriteLink(const QString& name, const QByteArray& bytes)
    {
        QFile f(Dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    QTemporaryDir Dir;
};
} // namespace

TEST_F(ShellLink, ResolvesTheRecordedTargetInOrderOfPreference)
{
    const QString linkDir = QDir(Dir.path()).filePath("links");
    ASSERT_TRUE(QDir().mkpath(linkDir));
    struct Case {
        const char* What;
        QByteArray Bytes;
        QString Target;
    };
    const Case cases[] = {
        {"local path, ANSI", Link(HasLinkInfo, LinkInfo({"C:\\Tools\\", QString::fromLatin1("caf\xe9.dll"), {}, false})), QString::fromLatin1("C:\\Tools\\caf\xe9.dll")},
        {"local path, Unicode form preferred",
         Link(HasLinkInfo | HasIDList, LinkInfo({QString::fromUtf8("C:\\Données\\"), "x.exe", {}, true})),
         QString::fromUtf8("C:\\Données\\x.exe")},
        {"network path before local path",
         Link(HasLinkInfo, LinkInfo({"Z:\\docs\\a.res", "docs\\a.res", "\\\\server\\share", false})),
         "\\\\server\\share\\docs\\a.res"},
        {"relative path from the link's folder",
         Link(HasRelativePath | HasWorkingDir | IsUnicode, {}, {"..\\lib\\module.dll", "C:\\work"}),
         QDir::cleanPath(linkDir + "/../lib/module.dll")},
        {"link information forced off",
         Link(HasLinkInfo | HasRelativePath | ForceNoLinkInfo, LinkInfo({"C:\\a.dll", "", {}, false}), {".\\b.dll"}),
         QDir::cleanPath(linkDir + "/b.dll")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        QString target = "unchanged";
        ASSERT_TRUE(ResolveShellLink(WriteLink("links/t.lnk", c.Bytes), target));
        EXPECT_EQ(target, c.Target);
    }
}

TEST_F(ShellLink, ReadsTheStringsInBothEncodings)
{
    for (const uint32_t unicode : {0u, uint32_t(IsUnicode)}) {
        TShellLinkData link;
        ASSERT_TRUE(ReadShellLink(Link(HasName | HasRelativePath | HasWorkingDir | unicode, {},
                                       {QString::fromLatin1("R\xe9sum\xe9"), ".\\a.rc", "C:\\src"}),
                                  link));
        EXPECT_EQ(link.Name, QString::fromLatin1("R\xe9sum\xe9"));
        EXPECT_EQ(link.RelativePath, ".\\a.rc");
        EXPECT_EQ(link.WorkingDir, "C:\\src");
        EXPECT_TRUE(link.LocalPath.isEmpty());
    }
}

TEST_F(ShellLink, DamagedLinksAreNoLinks)
{
    const QByteArray good = Link(HasIDList | HasLinkInfo | HasName | IsUnicode,
                                 LinkInfo({"C:\\a\\", "b.dll", "\\\\srv\\s", true}), {"name"});
    TShellLinkData link;
    ASSERT_TRUE(ReadShellLink(good, link));
    // Every structure ends exactly where the next begins, so any shorter copy runs past its data.
    for (qsizetype size = 0; size < good.size(); ++size) EXPECT_FALSE(ReadShellLink(good.left(size), link)) << size;

    auto patched = [](QByteArray bytes, qsizetype at, uint32_t value, int size) {
        bytes.replace(at, size, LE(value, size));
        return bytes;
    };
    const QByteArray info = LinkInfo({"C:\\a.dll", "", {}, false});
    const QByteArray local = Link(HasLinkInfo, info);
    const qsizetype infoAt = 0x4C;
    const std::pair<const char*, QByteArray> damaged[] = {
        {"header size", patched(local, 0, 0x4D, 4)},
        {"class id", patched(local, 4, 0, 4)},
        {"id list longer than the file", patched(Link(HasIDList), 0x4C, 0x7FFF, 2)},
        {"link information longer than the file", patched(local, infoAt, 0x10000, 4)},
        {"link information shorter than its header", patched(local, infoAt, 0x10, 4)},
        {"local path offset past the link information", patched(local, infoAt + 16, 0x400, 4)},
        {"local path offset into the header", patched(local, infoAt + 16, 4, 4)},
        {"path suffix without its end", local.left(local.size() - 1) + "x"},
        {"network link past the link information",
         patched(Link(HasLinkInfo, LinkInfo({{}, "f", "\\\\s\\x", false})), infoAt + 20, 0x300, 4)},
        {"string longer than the file", Link(HasName | IsUnicode, {}, {"abc"}).chopped(1)},
    };
    for (const auto& [what, bytes] : damaged) EXPECT_FALSE(ReadShellLink(bytes, link)) << what;

    QString target = "unchanged";
    EXPECT_FALSE(ResolveShellLink(Dir.filePath("missing.lnk"), target));
    EXPECT_FALSE(ResolveShellLink(WriteLink("text.lnk", "[InternetShortcut]\nURL=file:///x\n"), target));
    EXPECT_FALSE(ResolveShellLink(WriteLink("nameonly.lnk", Link(HasName | IsUnicode, {}, {"only a name"})), target));
    EXPECT_EQ(target, "unchanged");
}
