#include "TestKinds.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// Reads a module of one TTestItem holding everything after the signature "TEST".
class TTestReader : public TCustomResourceModuleReader {
    RESOURCE_MODULE_FILER_CLASS(TTestReader, TCustomResourceModuleReader)

public:
    static bool Handles(TStream* Stream)
    {
        Stream->SetPosition(Stream->Size()); // moves the position, which the registry must restore
        return MatchSignature(Stream, "TEST", {}, 0);
    }
    std::unique_ptr<TCustomResourceModule> LoadFromStream(TStream& Stream) override
    {
        auto module = std::make_unique<TResourceModule>();
        module->BeforeLoad();
        DoProgress(psBegin, 0, 1, "Loading");
        Stream.SetPosition(4);
        auto* item = new TTestItem(Ord(1));
        item->Data = Stream.ReadBytes(Stream.Size() - 4);
        module->Items()->Add(item);
        DoProgress(psEnd, 1, 1, "Loading");
        return module;
    }
};

class TRaisingReader : public TCustomResourceModuleReader {
    RESOURCE_MODULE_FILER_CLASS(TRaisingReader, TCustomResourceModuleReader)

public:
    static bool Handles(TStream* Stream)
    {
        Stream->SetPosition(3);
        throw EReadError("Stream read error");
    }
    std::unique_ptr<TCustomResourceModule> LoadFromStream(TStream&) override { return nullptr; }
};

class TTestWriter : public TCustomResourceModuleWriter {
    RESOURCE_MODULE_FILER_CLASS(TTestWriter, TCustomResourceModuleWriter)

public:
    static bool Handles(TCustomResourceModule*, const QString& Filename)
    {
        return SameText(ExtractFileExt(Filename), ".tst");
    }
    void SaveToStream(TCustomResourceModule* Module, TStream& Stream, const QString&, const QString& Path) override
    {
        LastPath = Path;
        if (Fail) throw EWriteError("Stream write error");
        Stream.WriteBytes("TEST");
        for (TCustomResourceItem* item : *Module->Items()) item->SaveToStream(Stream);
    }
    static inline bool Fail = false;
    static inline QString LastPath;
};

class FilerRegistry : public ::testing::Test {
protected:
    void TearDown() override { koResourcesFiler_Finalize(); }
};
} // namespace

TEST(FileTypeList, MergesByExtensionAndKeepsPriorityOrder)
{
    TResourceFileTypeList list;
    list.Add("bmp", "Bitmaps", 0);
    list.Add("BMP", "Other", 255);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0)->Priority(), 0);
    EXPECT_EQ(list.Items(0)->Description(), "Bitmaps");

    list.Add("ico", "Icons", 0);
    list.Add("cur", "Cursors", 0);
    list.Add("png", "PNG", -5);
    list.Add("bmp", "", -1);
    QStringList order;
    for (int i = 0; i < list.Count(); ++i) order << list.Items(i)->FileType();
    EXPECT_EQ(order, QStringList({"png", "bmp", "ico", "cur"}));
    EXPECT_EQ(list.Items(1)->Description(), "Bitmaps") << "an empty description keeps the old one";
    list.Add("ico", "Icon files", -2);
    EXPECT_EQ(list.Items(1)->FileType(), "ico");
    EXPECT_EQ(list.Items(1)->Description(), "Icon files");
    EXPECT_EQ(list.Items(9), nullptr);
    EXPECT_EQ(TResourceFileTypeList().Items(0), nullptr);
}

TEST(FileTypeList, FiltersAndGroups)
{
    auto list = std::make_unique<TResourceFileTypeList>();
    list->Add("res", "D1", 0)->SetCapabilities({fcLoad});
    list->Add("dcr", "D1", 0)->SetCapabilities({fcLoad, fcSave});
    list->Add("rc", "D2", 0);
    auto types = std::make_shared<TResourceFileTypes>(std::move(list));

    QString defaultExt;
    EXPECT_EQ(FileTypesFilterAndDefaultExt(types, defaultExt, false),
              "All files (*.*)|*.*|D1 (*.res;*.dcr)|*.res;*.dcr|D2 (*.rc)|*.rc");
    EXPECT_EQ(defaultExt, "res");
    EXPECT_EQ(FileTypesFilter(types, true), "D1 (*.res;*.dcr)|*.res;*.dcr|D2 (*.rc)|*.rc|All files (*.*)|*.*");

    auto empty = std::make_shared<TResourceFileTypes>(std::make_unique<TResourceFileTypeList>());
    EXPECT_EQ(FileTypesFilter(empty, false), "All files (*.*)|*.*");
    EXPECT_EQ(FileTypesFilter(empty, true), "All files (*.*)|*.*");

    auto groups = types->GetGroups();
    ASSERT_EQ(groups->GetCount(), 2);
    EXPECT_EQ(groups->GetGroup(0)->GetCount(), 2);
    EXPECT_TRUE(groups->GetGroup(0)->Find("DCR")->GetCapabilities().Contains(fcSave));
    EXPECT_EQ(groups->GetGroup(1)->IndexOf("res"), -1);
    EXPECT_EQ(FindFileTypeGroup(groups, "/x/a.RC", -1), 1);
    EXPECT_EQ(FindFileTypeGroup(groups, "/x/a", 7), 7);
    EXPECT_EQ(FindFileTypeGroup(nullptr, "a.rc", 3), 3);
    EXPECT_EQ(ChangeFileExtForGroup(groups, "x.rc", 0), "x.res");
    EXPECT_EQ(ChangeFileExtForGroup(groups, "x.dcr", 0), "x.dcr");
    EXPECT_EQ(ChangeFileExtForGroup(groups, "", 0), "");
    EXPECT_EQ(ChangeFileExtForGroup(groups, "x.rc", 5), "x.rc");
}

TEST(FileTypeList, NonAdjacentTypesWithOneDescriptionFormSeparateGroups)
{
    auto list = std::make_unique<TResourceFileTypeList>();
    list->Add("a", "X", 0);
    list->Add("b", "Y", 1);
    list->Add("c", "X", 2);
    auto groups = std::make_shared<TResourceFileTypes>(std::move(list))->GetGroups();
    EXPECT_EQ(groups->GetCount(), 3);
}

TEST_F(FilerRegistry, LookupsAndFileTypes)
{
    TTestReader::ClassInfo()->Register(0);
    TTestWriter::ClassInfo()->Register(0);
    TTestReader::ClassInfo()->RegisterFileType("tst", "Test files", 0);
    TTestWriter::ClassInfo()->RegisterFileType("tst", "Test files", 0);
    TTestWriter::ClassInfo()->RegisterFileType("out", "Output", 1);
    auto* db = ResourceModuleFilerDatabase();
    EXPECT_EQ(db->GetItem(0), TTestWriter::ClassInfo()) << "the last registered of equal priority comes first";

    TBytesStream data(QByteArray("TESTpayload"));
    data.SetPosition(5);
    EXPECT_EQ(db->FindReader(&data), TTestReader::ClassInfo());
    EXPECT_EQ(data.Position(), 5);
    TBytesStream other(QByteArray("nope"));
    EXPECT_EQ(db->FindReader(&other), nullptr);
    EXPECT_EQ(db->FindReader(static_cast<TStream*>(nullptr)), nullptr);

    TResourceModule module;
    EXPECT_EQ(db->FindWriter(&module, "a.TST"), TTestWriter::ClassInfo());
    EXPECT_EQ(db->FindWriter(&module, "a.res"), nullptr);

    auto loadTypes = TCustomResourceModuleReader::ClassInfo()->GetFileTypes();
    EXPECT_EQ(loadTypes->GetCount(), 1);
    auto saveTypes = db->FileTypes(TCustomResourceModuleFiler::ClassInfo(), {fcSave});
    EXPECT_EQ(saveTypes->GetCount(), 2);
    EXPECT_EQ(saveTypes->GetFileType(0)->GetCapabilities(), TResourceFilerCapabilities({fcSave}));
    auto all = db->FileTypes(TCustomResourceModuleFiler::ClassInfo(), {fcLoad, fcSave});
    EXPECT_EQ(all->Find("tst")->GetCapabilities(), TResourceFilerCapabilities({fcLoad, fcSave}));

    db->Remove(TTestReader::ClassInfo());
    try {
        TCustomResourceModuleReader::ClassInfo()->GetFileTypes();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Resource module has not been registered: TCustomResourceModuleReader");
    }
}

TEST_F(FilerRegistry, StreamPositionIsRestoredWhenAReaderRaises)
{
    TRaisingReader::ClassInfo()->Register(0);
    TBytesStream data(QByteArray("TEST"));
    data.SetPosition(1);
    EXPECT_THROW(ResourceModuleFilerDatabase()->FindReader(&data), EReadError);
    EXPECT_EQ(data.Position(), 1);
}

TEST_F(FilerRegistry, RegisteringTwiceMakesTwoEntries)
{
    TTestReader::ClassInfo()->Register(5);
    TTestReader::ClassInfo()->Register(5);
    TTestWriter::ClassInfo()->Register(-1);
    EXPECT_EQ(ResourceModuleFilerDatabase()->Count(), 3);
    EXPECT_EQ(ResourceModuleFilerDatabase()->GetItem(0), TTestWriter::ClassInfo());
    TTestReader::ClassInfo()->Unregister();
    EXPECT_EQ(ResourceModuleFilerDatabase()->Count(), 2);
    EXPECT_THROW(TCustomResourceModuleFiler::ClassInfo()->Create(), EAssertionFailed);
}

TEST_F(FilerRegistry, ReadAndWriteFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("module.tst");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("TESTabc");
    }
    TTestReader::ClassInfo()->Register(0);
    EXPECT_TRUE(TTestReader::ClassInfo()->Handles(path));
    EXPECT_THROW(TTestReader::ClassInfo()->Handles(dir.filePath("missing.tst")), EFOpenError);
    EXPECT_EQ(ResourceModuleFilerDatabase()->FindReader(path), TTestReader::ClassInfo());

    auto reader = TTestReader::ClassInfo()->Create();
    int progressCalls = 0;
    reader->OnProgress = [&](TCustomResourceModuleFiler* sender, TResourceProgressStage, int, int, const QString& msg,
                             void* context) {
        EXPECT_EQ(sender, reader.get());
        EXPECT_EQ(msg, "Loading");
        EXPECT_EQ(context, &progressCalls);
        ++progressCalls;
    };
    reader->ProgressContext = &progressCalls;
    auto module = static_cast<TCustomResourceModuleReader*>(reader.get())->LoadFromFile(path);
    EXPECT_EQ(progressCalls, 2);
    ASSERT_EQ(module->Items()->Count(), 1);
    EXPECT_EQ(static_cast<TTestItem*>(module->Items()->Items(0))->Data, "abc");

    TTestWriter writer;
    const QString out = dir.filePath("out.tst");
    writer.SaveToFile(module.get(), out, QString());
    EXPECT_EQ(TTestWriter::LastPath, dir.path() + "/");
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "TESTabc");
    written.close();

    // A writer that fails leaves the old file untouched.
    TTestWriter::Fail = true;
    EXPECT_THROW(writer.SaveToFile(module.get(), out, QString()), EWriteError);
    TTestWriter::Fail = false;
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "TESTabc");
}
