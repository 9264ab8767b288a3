// Version resources from crafted bytes: every field, the lookups and their failures, and damaged data.
#include "model/VersionInfo.h"
#include "platform/Exceptions.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QByteArray Words(std::initializer_list<uint32_t> values, int size)
{
    QByteArray bytes;
    for (uint32_t v : values)
        for (int i = 0; i < size; ++i) bytes.append(char((v >> (8 * i)) & 0xFF));
    return bytes;
}

QByteArray Text(const QString& text)
{
    QByteArray bytes;
    for (QChar c : text) bytes += Words({c.unicode()}, 2);
    return bytes + Words({0}, 2);
}

void Pad(QByteArray& bytes)
{
    while (bytes.size() % 4) bytes.append('\0');
}

// A block as resource compilers lay it out; blocks start 32-bit aligned.
QByteArray Block(const QString& key, uint16_t type, const QByteArray& value, uint16_t valueLength,
                 const QList<QByteArray>& children = {})
{
    QByteArray body = Words({0, valueLength, type}, 2) + Text(key);
    Pad(body);
    body += value;
    for (const QByteArray& child : children) {
        Pad(body);
        body += child;
    }
    body[0] = char(body.size() & 0xFF);
    body[1] = char(body.size() >> 8);
    return body;
}

QByteArray String(const QString& key, const QString& value) { return Block(key, 1, Text(value), uint16_t(value.size() + 1)); }

QByteArray Fixed(uint32_t signature = 0xFEEF04BD)
{
    // Versions 1.2.3.4 and 5.6.7.8, flags 3 under mask 1, OS, type 2 (library), subtype 7, date.
    return Words({signature, 0x10000, 0x00010002, 0x00030004, 0x00050006, 0x00070008, 0x1, 0x3, 0x40004, 2, 7, 1, 2}, 4);
}

QByteArray Resource(const QByteArray& fixed = Fixed(), bool withTranslation = true)
{
    const QByteArray english = Block("040904B0", 1, {}, 0, {String("CompanyName", "Kestovar"), String("Empty", "")});
    const QByteArray german = Block("040704e4", 1, {}, 0, {String("CompanyName", "Kestovar GmbH")});
    QList<QByteArray> children{Block("StringFileInfo", 1, {}, 0, {english, german})};
    if (withTranslation)
        children.append(Block("VarFileInfo", 1, {}, 0, {Block("Translation", 0, Words({0x0409, 0x04B0, 0x0407, 0x04E4}, 2), 8)}));
    return Block("VS_VERSION_INFO", 0, fixed, uint16_t(fixed.size()), children);
}

void ExpectIndexError(const std::function<void()>& call, int index)
{
    try {
        call();
        ADD_FAILURE() << "no exception";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("List index out of bounds (%1)").arg(index));
    }
}
} // namespace

TEST(VersionInfo, ReadsFixedInformationTranslationsAndStrings)
{
    const TVersionInfo info = TVersionInfo::FromResource(Resource());
    ASSERT_TRUE(info.Valid());
    EXPECT_EQ(TVersionInfo::VersionToString(info.FileVersion()), "1.2.3.4");
    EXPECT_EQ(TVersionInfo::VersionToString(info.ProductVersion()), "5.6.7.8");
    EXPECT_EQ(info.FileFlags(), 1u);
    EXPECT_EQ(info.OS(), 0x40004u);
    EXPECT_EQ(info.FileType(), 2u);
    EXPECT_EQ(info.FileSubType(), 7u);
    EXPECT_EQ(info.FileDate(), 0x0000000100000002ull);

    ASSERT_EQ(info.TranslationCount(), 2);
    EXPECT_EQ(info.GetTranslation(1).LanguageID, 0x0407);
    EXPECT_EQ(info.GetTranslation(1).CharsetID, 0x04E4);
    // Table and value keys are matched without regard to case, as the platform does.
    EXPECT_EQ(info.GetString("CompanyName"), "Kestovar");
    EXPECT_EQ(info.GetString("companyname", 1), "Kestovar GmbH");
    EXPECT_EQ(info.GetString("CompanyName", uint16_t(0x0407), uint16_t(0x04E4)), "Kestovar GmbH");
    EXPECT_EQ(info.GetString("CompanyName", QStringLiteral("040904b0")), "Kestovar");
    EXPECT_EQ(info.GetString("Empty"), "");
    EXPECT_EQ(info.GetString("Missing"), "");
    EXPECT_EQ(info.GetString("Empty", 1), "");
    ExpectIndexError([&] { info.GetString("CompanyName", 2); }, 2);
    ExpectIndexError([&] { info.GetTranslation(-1); }, -1);
}

TEST(VersionInfo, IndexLookupsRaiseWithoutTranslationTable)
{
    const TVersionInfo info = TVersionInfo::FromResource(Resource(Fixed(), false));
    ASSERT_TRUE(info.Valid());
    EXPECT_EQ(info.TranslationCount(), 0);
    ExpectIndexError([&] { info.GetString("CompanyName"); }, 0);
    EXPECT_EQ(info.GetString("CompanyName", QStringLiteral("040904B0")), "Kestovar");
}

TEST(VersionInfo, InvalidObjectAnswersZeroAndEmpty)
{
    QTemporaryDir dir;
    QFile text(dir.filePath("plain.dll"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("MZ not really a module");
    text.close();
    for (const TVersionInfo& info : {TVersionInfo::FromResource({}), TVersionInfo(dir.filePath("missing.dll")),
                                     TVersionInfo(text.fileName())}) {
        EXPECT_FALSE(info.Valid());
        EXPECT_EQ(info.FileVersion() | info.ProductVersion() | info.FileDate(), 0u);
        EXPECT_EQ(info.FileFlags() | info.OS() | info.FileType() | info.FileSubType(), 0u);
        EXPECT_EQ(info.GetString("CompanyName", QStringLiteral("040904b0")), "");
        EXPECT_EQ(info.GetString("CompanyName", uint16_t(0x0409), uint16_t(0x04B0)), "");
        ExpectIndexError([&] { info.GetString("CompanyName"); }, 0);
        ExpectIndexError([&] { info.GetTranslation(0); }, 0);
    }
}

TEST(VersionInfo, VersionToStringGivesFourPartsHighestFirst)
{
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "0.0.0.0"}, {0x0001000200030004ull, "1.2.3.4"}, {0xFFFF00000000FFFFull, "65535.0.0.65535"}};
    for (const auto& [version, text] : cases) EXPECT_EQ(TVersionInfo::VersionToString(version), text);
}

TEST(VersionInfo, DamagedResourcesAreReadOnlyAsFarAsTheyHold)
{
    const QByteArray good = Resource();
    // Every truncation: never a read past the data, and a fixed part only when it is all there.
    for (qsizetype size = 0; size <= good.size(); ++size) {
        const TVersionInfo info = TVersionInfo::FromResource(good.left(size));
        if (info.FileVersion() != 0) {
            EXPECT_GE(size, 40 + 52);
        }
        for (int i = 0; i < info.TranslationCount(); ++i) info.GetString("CompanyName", i);
    }

    // A wrong signature: valid, without fixed information.
    const TVersionInfo unsigned_ = TVersionInfo::FromResource(Resource(Fixed(0x12345678)));
    EXPECT_TRUE(unsigned_.Valid());
    EXPECT_EQ(unsigned_.FileVersion(), 0u);
    EXPECT_EQ(unsigned_.GetString("CompanyName"), "Kestovar");

    // A fixed part shorter than its structure is no fixed part.
    EXPECT_EQ(TVersionInfo::FromResource(Resource(Fixed().left(48))).FileVersion(), 0u);

    // Not a version resource: another root key, a length below the header, a key without its end.
    QByteArray otherRoot = Block("VS_VERSION_INFX", 0, Fixed(), 52);
    EXPECT_FALSE(TVersionInfo::FromResource(otherRoot).Valid());
    QByteArray tiny = good;
    tiny[0] = 5;
    tiny[1] = 0;
    EXPECT_FALSE(TVersionInfo::FromResource(tiny).Valid());
    EXPECT_FALSE(TVersionInfo::FromResource(Words({40, 0, 0}, 2) + QByteArray("V\0S\0_\0", 6)).Valid());

    // A root claiming more than the data: read up to the end of the data.
    QByteArray longer = good;
    longer[0] = char(0xFF);
    longer[1] = char(0xFF);
    EXPECT_EQ(TVersionInfo::FromResource(longer).GetString("CompanyName"), "Kestovar");

    // A string claiming more characters than its block holds ends at its block; one counted in bytes
    // (as some compilers write it) reads the same.
    for (uint16_t length : {uint16_t(0xFFFF), uint16_t(18)}) {
        const QByteArray strings = Block("040904b0", 1, {}, 0, {Block("CompanyName", 1, Text("Kestovar"), length)});
        const QByteArray resource = Block("VS_VERSION_INFO", 0, Fixed(), 52,
                                          {Block("StringFileInfo", 1, {}, 0, {strings}),
                                           Block("VarFileInfo", 1, {}, 0, {Block("Translation", 0, Words({0x0409, 0x04B0}, 2), 4)})});
        EXPECT_EQ(TVersionInfo::FromResource(resource).GetString("CompanyName"), "Kestovar") << length;
    }

    // A translation table of 6 bytes holds one whole pair.
    const QByteArray odd = Block("VS_VERSION_INFO", 0, Fixed(), 52,
                                 {Block("VarFileInfo", 1, {}, 0, {Block("Translation", 0, Words({0x0409, 0x04B0, 0x0407}, 2), 6)})});
    EXPECT_EQ(TVersionInfo::FromResource(odd).TranslationCount(), 1);

    // A child whose length is below a header ends the walk instead of looping.
    QByteArray stuck = Block("VS_VERSION_INFO", 0, Fixed(), 52, {Words({0, 0, 1}, 2) + Text("X")});
    EXPECT_EQ(TVersionInfo::FromResource(stuck).TranslationCount(), 0);
}

TEST(VersionInfo, ProgramVersionNamesTheProduct)
{
    const TVersionInfo info = ProgramVersionInfo();
    ASSERT_TRUE(info.Valid());
    EXPECT_NE(info.FileVersion(), 0u);
    EXPECT_EQ(info.GetString("ProductName"), "Atelier");
    EXPECT_EQ(info.GetString("FileVersion"), TVersionInfo::VersionToString(info.FileVersion()));
    EXPECT_TRUE(TVersionInfo::VersionToString(info.ProductVersion()).startsWith(info.GetString("ProductVersion")));
    EXPECT_FALSE(info.GetString("LegalCopyright").isEmpty());
}
