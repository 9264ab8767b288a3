#include "TestKinds.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "platform/UpdateGuard.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ResourceModule, BatchesMarkModifiedAndReachSubscribersOnce)
{
    TResourceModule module;
    TRecorder recorder;
    module.Subscribe(&recorder);
    module.Subscribe(nullptr);
    EXPECT_EQ(recorder.Count(rnSubscribe), 1);
    module.BeginUpdate();
    module.EndUpdate();
    EXPECT_TRUE(module.Modified());
    EXPECT_EQ(recorder.Count(rnChanging), 1);
    EXPECT_EQ(recorder.Count(rnChanged), 1);
    EXPECT_EQ(recorder.Events.back().first, nullptr);
    EXPECT_THROW(module.EndUpdate(), EAssertionFailed);
    module.Unsubscribe(&recorder);
}

TEST(ResourceModule, ItemChangesInsideABatchAreFoldedIntoItsEnd)
{
    TResourceModule module;
    auto* item = new TTestItem(Ord(1));
    module.Items()->Add(item);
    module.SetModified(false);
    TRecorder recorder;
    module.Subscribe(&recorder);
    recorder.Events.clear();

    item->SetLanguage(1);
    ASSERT_EQ(recorder.Events.size(), 2u);
    EXPECT_EQ(recorder.Events[1], std::make_pair(static_cast<TCustomResourceItem*>(item), rnChanged));
    EXPECT_TRUE(module.Modified());

    recorder.Events.clear();
    module.BeginUpdate();
    item->SetLanguage(2);
    item->SetLanguage(3);
    module.EndUpdate();
    ASSERT_EQ(recorder.Events.size(), 2u);
    EXPECT_EQ(recorder.Events[1], std::make_pair(static_cast<TCustomResourceItem*>(nullptr), rnChanged));
    module.Unsubscribe(&recorder);
}

TEST(ResourceModule, AddingAndRemovingItemsIsOneOperation)
{
    TResourceModule module;
    TRecorder recorder;
    module.Subscribe(&recorder);
    auto* item = new TTestItem(Ord(1));
    item->SetModule(&module);
    EXPECT_TRUE(module.Items()->Contains(item));
    EXPECT_EQ(item->Module(), &module);
    EXPECT_EQ(recorder.Count(rnAdded), 1);
    TResourceItemPtr taken(module.Items()->Extract(item));
    EXPECT_EQ(item->Module(), nullptr);
    EXPECT_EQ(recorder.Count(rnRemoved), 1);
    module.Items()->Add(std::move(taken));
    EXPECT_EQ(item->Module(), &module);
    module.Unsubscribe(&recorder);
}

TEST(ResourceModule, FindByTypeNameAndLanguage)
{
    TResourceModule module;
    auto* en = new TTestItem(Ord(5));
    en->SetLanguage(0x0409);
    auto* de = new TTestItem(Ord(5));
    de->SetLanguage(0x0407);
    module.Items()->Add(en);
    module.Items()->Add(de);
    const TResourceIdent rcdata = TResourceIdent::FromOrdinal(RT_RCDATA);
    EXPECT_EQ(module.Find(rcdata), en);
    EXPECT_EQ(module.Find(rcdata, Ord(5), 0x0407), de);
    EXPECT_EQ(module.Find(rcdata, Ord(6)), nullptr);
    EXPECT_EQ(module.Find(TResourceIdent("PNG")), nullptr);
}

// While a module loads, lookups by type and name go through an index: it must answer as the search
// does, follow items added meanwhile and never hand out an item that left.
TEST(ResourceModule, FindWhileLoadingAnswersAsTheSearch)
{
    TResourceModule module;
    const TResourceIdent rcdata = TResourceIdent::FromOrdinal(RT_RCDATA);
    auto* first = new TTestItem(Ord(5));
    first->SetLanguage(0x0409);
    auto* second = new TTestItem(Ord(5));
    second->SetLanguage(0x0407);
    module.Items()->Add(first);
    module.Items()->Add(second);
    module.BeforeLoad();
    EXPECT_EQ(module.Find(rcdata, Ord(5)), module.Find(rcdata, Ord(5), 0x0409));
    EXPECT_EQ(module.Find(rcdata, Ord(7)), nullptr);
    auto* added = new TTestItem(Ord(7));
    module.Items()->Add(added);
    EXPECT_EQ(module.Find(rcdata, Ord(7)), added);
    module.Items()->Remove(module.Find(rcdata, Ord(5), 0x0409));
    module.Items()->Add(new TTestItem(Ord(8))); // the same count as before the extraction
    TCustomResourceItem* found = module.Find(rcdata, Ord(5));
    EXPECT_EQ(found, second);
    module.AfterLoad();
    EXPECT_EQ(module.Find(rcdata, Ord(5)), second);
}

TEST(ResourceModule, AfterLoadMergesGroupsAndClearsModified)
{
    TResourceModule module;
    module.BeforeLoad();
    auto* first = new TTestGroup(Ord(1));
    first->SetLanguage(0x0409);
    auto* second = new TTestGroup(Ord(1));
    second->SetLanguage(0x0409);
    auto* german = new TTestGroup(Ord(1));
    german->SetLanguage(0x0407);
    module.Items()->Add(new TTestItem(Ord(9)));
    module.Items()->Add(first);
    module.Items()->Add(second);
    module.Items()->Add(german);
    for (uint16_t i = 1; i <= 4; ++i) {
        auto* child = new TTestChild(Ord(i));
        module.Items()->Add(child);
        child->SetParent(i == 1 ? first : i == 4 ? german : second);
    }
    EXPECT_TRUE(module.ModuleState().Contains(msLoading));
    module.AfterLoad();
    EXPECT_FALSE(module.ModuleState().Contains(msLoading));
    EXPECT_FALSE(module.Modified());
    ASSERT_TRUE(module.Items()->Contains(first));
    EXPECT_FALSE(module.Items()->Contains(second)) << "the second group was freed";
    EXPECT_EQ(first->Items()->Count(), 3);
    // A group of another language is a resource of its own.
    ASSERT_TRUE(module.Items()->Contains(german));
    EXPECT_EQ(german->Items()->Count(), 1);
    EXPECT_EQ(module.Items()->Count(), 7);
    EXPECT_EQ(module.Items()->Items(0)->ResourceType(), Ord(RT_RCDATA)) << "sorted after merging";
    EXPECT_EQ(module.Items()->Items(1)->ResourceType(), TResourceIdent("CHILD"));
}

TEST(ResourceModule, ClearEmptiesAndResets)
{
    TResourceModule module;
    module.Items()->Add(new TTestItem(Ord(1)));
    module.SetFilename("/tmp/a.res");
    TRecorder recorder;
    module.Subscribe(&recorder);
    module.Clear();
    EXPECT_EQ(module.Items()->Count(), 0);
    EXPECT_TRUE(module.Filename().isEmpty());
    EXPECT_FALSE(module.Modified());
    EXPECT_EQ(recorder.Count(rnChanged), 1);
    module.Unsubscribe(&recorder);
}

TEST(ResourceModule, DestructionTellsSubscribersAndItems)
{
    TRecorder moduleRecorder, itemRecorder;
    {
        TResourceModule module;
        module.Subscribe(&moduleRecorder);
        auto* item = new TTestItem(Ord(1));
        module.Items()->Add(item);
        item->Subscribe(&itemRecorder);
    }
    EXPECT_EQ(moduleRecorder.Count(rnUnsubscribe), 1);
    EXPECT_EQ(itemRecorder.Count(rnRemoved), 1);
    EXPECT_EQ(itemRecorder.Count(rnUnsubscribe), 1);
}

namespace {
// A module file of one TTestItem per line "type:name=data", enough to drive loading and saving.
class TLineReader : public TCustomResourceModuleReader {
    RESOURCE_MODULE_FILER_CLASS(TLineReader, TCustomResourceModuleReader)

public:
    static bool Handles(TStream* Stream) { return MatchSignature(Stream, "LINES\n", {}, 0); }
    std::unique_ptr<TCustomResourceModule> LoadFromStream(TStream& Stream) override
    {
        auto module = std::make_unique<TResourceModule>();
        module->BeforeLoad();
        TUpdateGuard batch(module.get());
        const QList<QByteArray> lines = Stream.ReadBytes(Stream.Size()).split('\n');
        for (const QByteArray& bytes : lines.mid(1)) {
            if (bytes.isEmpty()) continue;
            const QString line = QString::fromLatin1(bytes);
            auto* item = new TTestItem(TextToResourceIdent(line.section(':', 0, 0)),
                                       TextToResourceIdent(line.section(':', 1).section('=', 0, 0)));
            item->Data = line.section('=', 1).toLatin1();
            module->Items()->Add(item);
        }
        return module;
    }
};

class TLineWriter : public TCustomResourceModuleWriter {
    RESOURCE_MODULE_FILER_CLASS(TLineWriter, TCustomResourceModuleWriter)

public:
    static bool Handles(TCustomResourceModule*, const QString& Filename) { return Filename.endsWith(".lines"); }
    void SaveToStream(TCustomResourceModule* Module, TStream& Stream, const QString&, const QString&) override
    {
        if (Fail) throw EWriteError("Stream write error");
        Stream.WriteBytes("LINES\n");
        for (TCustomResourceItem* item : *Module->Items())
            if (auto* test = qobject_cast<TTestItem*>(item))
                Stream.WriteBytes((ResourceIdentToText(item->ResourceType()) + ":" + item->NameAsString() + "=").toLatin1() +
                                  test->Data + "\n");
    }
    static inline bool Fail = false;
};

class ModuleFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        TLineReader::ClassInfo()->Register(0);
        TLineWriter::ClassInfo()->Register(0);
    }
    void TearDown() override { koResourcesFiler_Finalize(); }
    QTemporaryDir Dir;
};
} // namespace

TEST_F(ModuleFiles, LoadAndSaveThroughTheRegistry)
{
    const QString path = Dir.filePath("in.lines");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("LINES\n10:2=second\n10:1=first\n");
    }
    std::unique_ptr<TCustomResourceModule> module = TCustomResourceModule::LoadFromFile(path);
    ASSERT_TRUE(module);
    EXPECT_EQ(module->Filename(), path);
    EXPECT_FALSE(module->Modified()) << "loading adds items but leaves the module unmodified";
    EXPECT_FALSE(module->ModuleState().Contains(msLoading));
    EXPECT_EQ(module->Items()->Items(0)->Name(), Ord(1)) << "sorted after loading";

    EXPECT_THROW(TCustomResourceModule::LoadFromFile(Dir.filePath("missing.res")), EFOpenError);
    {
        QFile f(Dir.filePath("other.bin"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("nothing a reader knows");
    }
    EXPECT_EQ(TCustomResourceModule::LoadFromFile(Dir.filePath("other.bin")), nullptr);
    TBytesStream stream(QByteArray("LINES\n10:5=x\n"));
    auto fromStream = TCustomResourceModule::LoadFromStream(stream);
    ASSERT_TRUE(fromStream);
    EXPECT_TRUE(fromStream->Filename().isEmpty());

    module->Items()->Items(0)->SetLanguage(3);
    const QString out = Dir.filePath("out.lines");
    module->SaveToFile(out);
    EXPECT_EQ(module->Filename(), out);
    EXPECT_FALSE(module->Modified());
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "LINES\n10:1=first\n10:2=second\n");
}

TEST_F(ModuleFiles, FailedSavesChangeNothing)
{
    TResourceModule module;
    auto* group = new TTestGroup(Ord(1));
    module.Items()->Add(group);
    auto* child = new TTestChild(Ord(9));
    module.Items()->Add(child);
    child->SetParent(group);
    try {
        module.SaveToFile(Dir.filePath("x.unknown"));
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QString("Unable to locate a resource module writer for \"%1\"").arg(Dir.filePath("x.unknown")));
    }
    EXPECT_EQ(child->Name(), Ord(9)) << "no renumbering before the writer is known";

    TLineWriter::Fail = true;
    module.SetModified(true);
    EXPECT_THROW(module.SaveToFile(Dir.filePath("x.lines")), EWriteError);
    TLineWriter::Fail = false;
    EXPECT_TRUE(module.Filename().isEmpty());
    EXPECT_TRUE(module.Modified());
    EXPECT_FALSE(module.ModuleState().Contains(msSaving));
}

TEST_F(ModuleFiles, ChildrenAreNumberedPerTypeBeforeSaving)
{
    TResourceModule module;
    auto* first = new TTestGroup(Ord(1));
    auto* second = new TTestGroup(Ord(2));
    module.Items()->Add(first);
    module.Items()->Add(second);
    auto* a5 = new TTestChild(Ord(5));
    auto* a9 = new TTestChild(Ord(9));
    auto* b3 = new TOtherChild(Ord(3));
    for (TCustomResourceItem* c : {static_cast<TCustomResourceItem*>(a5), static_cast<TCustomResourceItem*>(a9), static_cast<TCustomResourceItem*>(b3)}) module.Items()->Add(c);
    b3->SetResourceType(TResourceIdent("OTHER"));
    a5->SetParent(first);
    a9->SetParent(second);
    b3->SetParent(first);
    TRecorder recorder;
    a9->Subscribe(&recorder);
    recorder.Events.clear();
    module.SaveToFile(Dir.filePath("x.lines"));
    EXPECT_EQ(a5->Name(), Ord(1));
    EXPECT_EQ(a9->Name(), Ord(2));
    EXPECT_EQ(b3->Name(), Ord(1));
    EXPECT_TRUE(recorder.Events.empty()) << "numbering is silent";
    a9->Unsubscribe(&recorder);
}

TEST(ModuleSymbols, DefaultSymbolsLoadOnDemand)
{
    TResourceModule module;
    module.SetDeferDefaultSymbols(true);
    EXPECT_EQ(module.Symbols()->Count(), 0);
    module.SetDeferDefaultSymbols(false);
    TResourceSymbols* symbols = module.Symbols();
    ASSERT_TRUE(symbols->Find("IDOK"));
    EXPECT_EQ(symbols->Find("IDOK")->Value(), QVariant(1));
    EXPECT_EQ(symbols->Find("VK_RETURN")->Value(), QVariant(0x0D));
    EXPECT_EQ(symbols->Find("IDH_HELP")->Value(), QVariant(28445));
    EXPECT_EQ(symbols->Find("LANG_NEUTRAL")->Value(), QVariant(0));
    EXPECT_EQ(symbols->Find("VS_VERSION_INFO")->Value(), QVariant(1));
    EXPECT_EQ(symbols->Find("OCR_NORMAL")->Value(), QVariant(32512));
    EXPECT_TRUE(symbols->Find("VK_RETURN")->Hidden());
    EXPECT_FALSE(symbols->Find("IDOK")->Hidden());
    EXPECT_FALSE(symbols->Find("IDOK")->Modified());
    EXPECT_EQ(symbols->Find("_filename"), nullptr);

    TResourceSymbolFile* windows = module.SymbolFile()->Files()->Find("windows.h", true);
    ASSERT_TRUE(windows);
    EXPECT_TRUE(windows->IncludeOnDemand());
    EXPECT_TRUE(windows->ReadOnly());
    EXPECT_TRUE(windows->Hidden());
    EXPECT_FALSE(windows->Modified());
    EXPECT_EQ(symbols->Find("IDOK")->SourceFile(), windows);
    symbols->Find("IDOK")->Reference();
    EXPECT_FALSE(windows->IncludeOnDemand()) << "a used symbol makes its file a real include";
}

TEST(ModuleSymbols, ExistingDefinitionsWin)
{
    TResourceModule module;
    module.SetDeferDefaultSymbols(true);
    TResourceSymbol* own = module.Symbols()->Add("IDOK");
    own->SetLiteralValue("77");
    module.SetDeferDefaultSymbols(false);
    EXPECT_EQ(module.Symbols()->Find("IDOK")->Value(), QVariant(77));
    module.Clear();
    EXPECT_EQ(module.Symbols()->Find("IDOK")->Value(), QVariant(1)) << "clearing lets the defaults load again";
}

TEST(ModuleSymbols, IdentifierCounters)
{
    TResourceModule module;
    EXPECT_FALSE(module.UsesIdentifierCounters());
    EXPECT_EQ(module.GetNextResourceID(ricCommand, false), 40001);
    TResourceSymbol* counter = module.Symbols()->Find("_APS_NEXT_COMMAND_VALUE");
    ASSERT_TRUE(counter);
    EXPECT_EQ(counter->Value(), QVariant(40002));
    EXPECT_TRUE(counter->Hidden());
    EXPECT_EQ(counter->SourceFile(), module.SymbolFile()->PrimaryFile());
    EXPECT_EQ(module.GetNextResourceID(ricControl, true), 1000);
    EXPECT_EQ(module.GetNextResourceID(ricControl, true), 1000);
    EXPECT_TRUE(module.UsesIdentifierCounters());

    // New items take their names from the item counter, skipping names in use.
    module.Symbols()->Add("_APS_NEXT_RESOURCE_VALUE")->SetLiteralValue("101");
    module.Items()->Add(new TTestItem(Ord(101)));
    auto* fresh = new TTestItem(TResourceIdent("NEW"));
    module.Items()->Add(fresh);
    fresh->InitializeNewItem();
    EXPECT_EQ(fresh->Name(), Ord(102));
    EXPECT_EQ(module.Symbols()->Find("_APS_NEXT_RESOURCE_VALUE")->Value(), QVariant(103));
}
