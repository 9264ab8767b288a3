#include "kinds/koResourceItemDesignInfo.h"
#include "kinds/koResourceModuleRCDesignInfoWriter.h"
#include "model/koResourceModuleRC.h"
#include "model/koResources.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/ByteBuilder.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

void AddWide(QByteArray& d, const QString& s)
{
    for (QChar c : s) Add16(d, c.unicode());
    Add16(d, 0);
}

struct TTag {
    uint32_t Id;
    uint32_t Value = 0;
    uint32_t Reserved = 0;
    // Mockup fields.
    uint32_t Enabled = 0, Opacity = 0, Left = 0, Top = 0;
    QString Filename = {};
};

QByteArray TagBytes(const TTag& t)
{
    QByteArray d;
    Add32(d, t.Id);
    if (t.Id == DesignInfoMockupTag) {
        Add32(d, t.Enabled);
        Add32(d, t.Opacity);
        Add32(d, t.Left);
        Add32(d, t.Top);
        AddWide(d, t.Filename);
    } else {
        Add32(d, t.Value);
        Add32(d, t.Reserved);
    }
    return d;
}

struct TEntry {
    uint16_t Type; // ordinal type
    QString Name;  // a name, or empty for the ordinal NameID
    uint16_t NameID = 0;
    uint32_t Language = 0;
    std::vector<TTag> Tags;
    int TagsSize = -1; // the real size unless set
};

// Entry headers first, then the tag lists in entry order.
QByteArray DesignInfo(const std::vector<TEntry>& entries)
{
    std::vector<QByteArray> headers, lists;
    int headerBytes = 4;
    for (const TEntry& e : entries) {
        QByteArray h;
        Add16(h, 0xFFFF);
        Add16(h, e.Type);
        if (e.Name.isEmpty()) {
            Add16(h, 0xFFFF);
            Add16(h, e.NameID);
        } else {
            AddWide(h, e.Name);
        }
        headerBytes += int(h.size()) + 12;
        headers.push_back(h);
        QByteArray list;
        for (const TTag& t : e.Tags) list += TagBytes(t);
        lists.push_back(list);
    }
    QByteArray d;
    Add32(d, uint32_t(entries.size()));
    int offset = headerBytes;
    for (size_t i = 0; i < entries.size(); ++i) {
        d += headers[i];
        Add32(d, entries[i].Language);
        Add32(d, uint32_t(offset));
        Add32(d, uint32_t(entries[i].TagsSize >= 0 ? entries[i].TagsSize : lists[i].size()));
        offset += int(lists[i].size());
    }
    for (const QByteArray& list : lists) d += list;
    return d;
}

class DesignInfoResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemDesignInfo_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModuleRCDesignInfoWriter_Initialize();
        Module.SetDeferDefaultSymbols(true);
        Item = new TDesignInfoResourceItem(TResourceIdent(QStringLiteral("GUIDELINES")));
        Module.Items()->Add(Item);
    }
    void TearDown() override
    {
        Module.Items()->Clear();
        koResourceModuleRCDesignInfoWriter_Finalize();
        koResourceModuleRC_Finalize();
        koResourceItemDesignInfo_Finalize();
        koResourcesKinds_Finalize();
    }
    void Load(const QByteArray& bytes)
    {
        const QByteArray exact(bytes.constData(), bytes.size());
        TBytesStream data(exact);
        Item->LoadFromStream(data, data.Size());
    }
    QString LoadError(const QByteArray& bytes)
    {
        try {
            Load(bytes);
        } catch (const Exception& e) {
            return e.Message();
        }
        return {};
    }
    TCustomResourceItem* AddDialog(uint16_t name, uint16_t language = 0)
    {
        auto* dialog = new TResourceItemGeneric(TResourceIdent::FromOrdinal(name));
        dialog->SetResourceTypeInteger(RT_DIALOG);
        dialog->SetLanguage(language);
        Module.Items()->Add(dialog);
        return dialog;
    }
    QString Write()
    {
        TBytesStream out;
        TRCAnsiEncoder encoder(out, 1252);
        TRCItemWriterClass writer = RCItemWriterDatabase()->Find(Item);
        EXPECT_EQ(writer, TRCItemDesignInfoWriter::ClassInfo());
        writer->Create(QString())->SaveToStream(encoder, Item, false);
        return QString::fromLatin1(out.Bytes());
    }
    TResourceModule Module;
    TDesignInfoResourceItem* Item = nullptr;
};

} // namespace

TEST_F(DesignInfoResources, KindAndRegistration)
{
    const TResourceIdent type(QStringLiteral("DESIGNINFO"));
    EXPECT_EQ(ResourceItemDatabase()->Find(type, TResourceIdent::FromOrdinal(1), nullptr),
              TDesignInfoResourceItem::ClassInfo());
    EXPECT_TRUE(Item->Hidden());
    EXPECT_TRUE(Item->Design());
    EXPECT_FALSE(Item->Internal());
    EXPECT_EQ(TDesignInfoResourceItem::ClassInfo()->ResourceTypeName(),
              QStringLiteral("Visual Studio dialog designer rules and margins"));
}

TEST_F(DesignInfoResources, DecodesEntriesAndWritesTheStatement)
{
    AddDialog(100);
    AddDialog(101)->SetLanguage(0x0409);
    TTag mockup{DesignInfoMockupTag};
    mockup.Enabled = 1;
    mockup.Opacity = 50;
    mockup.Left = 3;
    mockup.Top = 4;
    mockup.Filename = QStringLiteral("C:\\m\"ock.png");
    TTag disabled{DesignInfoMockupTag};
    const QByteArray bytes = DesignInfo({
        {RT_DIALOG, {}, 100, 0, {{0x45, 7}, {0x47, 179}, {0x405, 7}, {0x407, 88}, mockup, disabled, {0x999, 5}}},
        // The module no longer holds this dialog.
        {RT_DIALOG, {}, 102, 0, {{0x45, 1}}},
        {RT_DIALOG, {}, 101, 0x0409, {}},
    });
    Load(bytes);
    ASSERT_EQ(Item->Entries()->Count(), 3);
    TDesignInfoItem* first = Item->Entries()->Items(0);
    EXPECT_EQ(first->ResourceType(), TResourceIdent::FromOrdinal(RT_DIALOG));
    EXPECT_EQ(first->Name(), TResourceIdent::FromOrdinal(100));
    ASSERT_EQ(first->Tags()->Count(), 7);
    EXPECT_EQ(first->Tags()->Items(0)->Name(), QStringLiteral("LEFTMARGIN"));
    auto* mock = qobject_cast<TDesignInfoItemMockupTag*>(first->Tags()->Items(4));
    ASSERT_NE(mock, nullptr);
    EXPECT_EQ(mock->Filename(), mockup.Filename);
    EXPECT_EQ(mock->Opacity(), 50u);
    EXPECT_EQ(first->Tags()->Items(6)->Name(), QString());
    EXPECT_EQ(Item->Entries()->Items(2)->Language(), 0x0409u);
    // The raw bytes are kept as they were.
    EXPECT_EQ(Item->Data()->ToByteArray(), bytes);

    const QString expected = QStringLiteral(
        "#ifdef APSTUDIO_INVOKED\r\n"
        "GUIDELINES DESIGNINFO\r\n"
        "BEGIN\r\n"
        "  100, DIALOG\r\n"
        "  BEGIN\r\n"
        "    LEFTMARGIN, 7\r\n"
        "    RIGHTMARGIN, 179\r\n"
        "    TOPMARGIN, 7\r\n"
        "    BOTTOMMARGIN, 88\r\n"
        "    MOCKUP, 1, 50, 3, 4, \"C:\\\\m\"\"ock.png\"\r\n"
        "    , 5\r\n"
        "  END\r\n"
        "\r\n"
        "  101, DIALOG\r\n"
        "  BEGIN\r\n"
        "  END\r\n"
        "END\r\n"
        "#endif    // APSTUDIO_INVOKED\r\n"
        "\r\n");
    EXPECT_EQ(Write().toStdString(), expected.toStdString());
}

TEST_F(DesignInfoResources, CountZeroWritesAnEmptyBlock)
{
    Load(DesignInfo({}));
    EXPECT_EQ(Item->Entries()->Count(), 0);
    EXPECT_EQ(Write(), QStringLiteral("#ifdef APSTUDIO_INVOKED\r\nGUIDELINES DESIGNINFO\r\nBEGIN\r\nEND\r\n"
                                      "#endif    // APSTUDIO_INVOKED\r\n\r\n"));
}

TEST_F(DesignInfoResources, BadTagListsAreRefused)
{
    const QString premature = QStringLiteral("Premature end of data");
    const QString malformed = QStringLiteral("Malformed resource item");
    struct {
        const char* name;
        QByteArray bytes;
        QString error;
        int tags; // of the only entry, when it loads
    } cases[] = {
        {"tags size 0", DesignInfo({{RT_DIALOG, {}, 1, 0, {{0x45, 7}}, 0}}), {}, 0},
        {"last record past the size", DesignInfo({{RT_DIALOG, {}, 1, 0, {{0x45, 7}}, 6}}), malformed, 0},
        {"second DWORD not 0", DesignInfo({{RT_DIALOG, {}, 1, 0, {{0x45, 7, 1}}}}), malformed, 0},
        {"count cut short", QByteArray(3, '\0'), premature, 0},
        {"count past the entries", QByteArray("\x02\0\0\0", 4), premature, 0},
        {"tag list past the data", DesignInfo({{RT_DIALOG, {}, 1, 0, {{0x45, 7}}, 24}}), premature, 0},
        {"mockup name without its end",
         DesignInfo({{RT_DIALOG, {}, 1, 0, {TTag{DesignInfoMockupTag}}}}).chopped(2), premature, 0},
        {"named entry", DesignInfo({{RT_DIALOG, QStringLiteral("ABOUT"), 0, 0, {{0x41, 3}}}}), {}, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadError(c.bytes), c.error) << c.name;
        if (c.error.isEmpty()) {
            ASSERT_EQ(Item->Entries()->Count(), 1) << c.name;
            EXPECT_EQ(Item->Entries()->Items(0)->Tags()->Count(), c.tags) << c.name;
        }
    }
    // Tags size 0 rather than one whole record: only the whole list is ever read.
    Load(DesignInfo({{RT_DIALOG, QStringLiteral("ABOUT"), 0, 0, {{0x41, 3}}}}));
    EXPECT_EQ(Item->Entries()->Items(0)->DisplayName(), QStringLiteral("ABOUT: ") + ResourceTypeToFriendlyName(TResourceIdent::FromOrdinal(RT_DIALOG)));
}

TEST_F(DesignInfoResources, WholeScriptNestsTheStatementInTheDesignSection)
{
    AddDialog(100);
    Load(DesignInfo({{RT_DIALOG, {}, 100, 0, {{0x45, 7}}}}));
    TBytesStream out;
    TResourceModuleWriterRC writer;
    writer.SaveToStream(&Module, out, QString(), QString());
    const QString script = QString::fromLatin1(out.Bytes());
    const qsizetype section = script.indexOf(QStringLiteral("#ifdef APSTUDIO_INVOKED\r\n"));
    const qsizetype own = script.indexOf(QStringLiteral("#ifdef APSTUDIO_INVOKED\r\nGUIDELINES DESIGNINFO"));
    ASSERT_GE(section, 0) << script.toStdString();
    ASSERT_GT(own, section) << script.toStdString();
    const qsizetype ownEnd = script.indexOf(QStringLiteral("#endif    // APSTUDIO_INVOKED"), own);
    const qsizetype sectionEnd = script.indexOf(QStringLiteral("#endif    // APSTUDIO_INVOKED"), ownEnd + 1);
    EXPECT_GT(sectionEnd, ownEnd) << script.toStdString();
    EXPECT_TRUE(script.contains(QStringLiteral("  100, DIALOG\r\n  BEGIN\r\n    LEFTMARGIN, 7\r\n  END\r\n")));
}
