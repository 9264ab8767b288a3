#include "TestKinds.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

namespace {
class TCollector : public IResourceMessageLogSubscriber {
public:
    void LogMessage(const IResourceMessagePtr& Msg) override { Messages.push_back(Msg); }
    std::vector<IResourceMessagePtr> Messages;
};

// A reference that may refuse values and records what it hears.
class TReference : public IResourceSymbolReference {
public:
    void ResourceSymbolNotification(TResourceSymbol*, TResourceSymbolNotification Notification) override
    {
        Heard.push_back(Notification);
    }
    TCustomResourceIdentifier* GetResourceIdentifier() override { return nullptr; }
    void ValidateValue(const QVariant& Value) override
    {
        if (RefuseText && Value.typeId() != QMetaType::Int) throw Exception("must have ordinal (numeric) name");
    }
    bool RefuseText = false;
    std::vector<TResourceSymbolNotification> Heard;
};
} // namespace

TEST(Symbols, ValueParse)
{
    TResourceSymbols symbols;
    struct Case {
        const char* text;
        QVariant value;
    } cases[] = {{"0x10L", 16}, {"0X10l", 16}, {"0x10", 16}, {"#12", 12}, {"  42  ", 42}, {"-5", -5},
                 {"$1F", 31},   {"0xFFFFFFFF", -1}};
    for (const Case& c : cases) {
        TResourceSymbol* s = symbols.Add("S");
        s->SetLiteralValue(QString::fromLatin1(c.text));
        EXPECT_EQ(s->Value(), c.value) << c.text;
        EXPECT_EQ(s->LiteralValue(), QString::fromLatin1(c.text));
    }
}

TEST(Symbols, ExpressionsOverTheTableAndTextThatStaysText)
{
    auto collector = std::make_shared<TCollector>();
    MessageLogger()->Subscribe(collector);
    TResourceSymbols symbols;
    symbols.Add("IDC_BASE")->SetLiteralValue("1000");
    TResourceSymbol* next = symbols.Add("IDC_NEXT");
    next->SetLiteralValue("IDC_BASE+1");
    EXPECT_EQ(next->Value(), QVariant(1001));
    EXPECT_TRUE(collector->Messages.empty());

    TResourceSymbol* unknown = symbols.Add("IDC_OTHER");
    unknown->SetLiteralValue("IDC_MISSING+1");
    EXPECT_EQ(unknown->Value(), QVariant(QString("IDC_MISSING+1")));
    EXPECT_FALSE(unknown->IsNumeric());
    ASSERT_EQ(collector->Messages.size(), 1u);
    EXPECT_EQ(collector->Messages[0]->GetKind(), rmWarning);
    EXPECT_EQ(collector->Messages[0]->GetMessage(),
              "Failed to evaluate expression 'IDC_MISSING+1'. Unknown symbol: 'IDC_MISSING'");

    // A text value used in an expression is an error of the expression, not a crash.
    TResourceSymbol* uses = symbols.Add("USES");
    uses->SetLiteralValue("IDC_OTHER + 1");
    EXPECT_FALSE(uses->IsNumeric());
    EXPECT_EQ(collector->Messages.back()->GetMessage(),
              "Invalid numeric symbol value. Symbol: 'IDC_OTHER', Value: 'IDC_MISSING+1'");
    EXPECT_EQ(uses->DisplayName(), "USES = IDC_OTHER + 1");
    MessageLogger()->Unsubscribe(collector);
    koResourcesMessages_Finalize();
}

TEST(Symbols, TableLookupIsCaseSensitive)
{
    TResourceSymbols symbols;
    TResourceSymbol* idok = symbols.Add("IDOK");
    EXPECT_EQ(symbols.Add("IDOK"), idok);
    EXPECT_EQ(symbols.Find("idok"), nullptr);
    EXPECT_EQ(symbols.Count(), 1);
    symbols.Remove("idok");
    EXPECT_EQ(symbols.Count(), 1);
    symbols.Remove("IDOK");
    EXPECT_EQ(symbols.Count(), 0);
}

TEST(Symbols, ReferencesHearChangesAndMayRefuse)
{
    TResourceSymbols symbols;
    TResourceSymbol* symbol = symbols.Add("IDD_MAIN");
    symbol->SetLiteralValue("101");
    symbol->SetModified(false);
    TReference a, b;
    symbol->References()->Add(&a);
    symbol->References()->Add(&b);
    EXPECT_EQ(a.Heard, std::vector<TResourceSymbolNotification>{snSubscribe});

    symbol->SetLiteralValue("101");
    EXPECT_FALSE(symbol->Modified()) << "the same text changes nothing";
    EXPECT_EQ(a.Heard.size(), 1u);

    symbol->SetLiteralValue("102");
    EXPECT_EQ(a.Heard.back(), snChanged);
    EXPECT_EQ(b.Heard.back(), snChanged);
    EXPECT_TRUE(symbol->Modified());

    b.RefuseText = true;
    EXPECT_THROW(symbol->SetLiteralValue("\"text\""), Exception);
    EXPECT_EQ(symbol->Value(), QVariant(102)) << "a refused value keeps the old one";
    EXPECT_EQ(symbol->LiteralValue(), "102");

    symbol->SetValue(QVariant(7));
    EXPECT_EQ(symbol->LiteralValue(), "7");
    symbols.Remove("IDD_MAIN");
    EXPECT_EQ(a.Heard.back(), snUnsubscribe);
    EXPECT_EQ(b.Heard.back(), snUnsubscribe);
    EXPECT_THROW(TResourceSymbols().Add("X")->EndUpdate(), EAssertionFailed);
}

TEST(SymbolFiles, TreeFindAddAndMove)
{
    TResourceScriptSymbolFile script("app.rc");
    TResourceSymbolFile* resource = script.Files()->Add("resource.h");
    TResourceSymbolFile* common = resource->Files()->Add("common.h");
    TResourceSymbolFile* deep = common->Files()->Add("deep.h", false, false);
    deep->SetIncludeOnDemand(true);
    EXPECT_EQ(script.Files()->Find("RESOURCE.H", false), resource);
    EXPECT_EQ(script.Files()->Find("deep.h", false), nullptr);
    EXPECT_EQ(script.Files()->Find("DEEP.H", true), deep);
    EXPECT_EQ(deep->RootFile(), &script);

    resource->SetModified(false);
    EXPECT_EQ(script.Files()->Add("Deep.h", true, true), deep);
    EXPECT_EQ(deep->ParentFile(), &script) << "found two levels down, moved up";
    EXPECT_FALSE(deep->IncludeOnDemand());
    EXPECT_TRUE(deep->ReadOnly());
    EXPECT_FALSE(deep->Modified()) << "flags set by Add do not mark the file";
    EXPECT_EQ(common->Files()->Count(), 0);
    EXPECT_EQ(script.Files()->Count(), 2);

    EXPECT_THROW(resource->SetParentFile(common), EAssertionFailed) << "no file moves below itself";
    script.Files()->Remove("resource.h");
    EXPECT_EQ(script.Files()->Count(), 1);
}

TEST(SymbolFiles, PrimaryAndHelpFiles)
{
    TResourceScriptSymbolFile script("app.rc");
    EXPECT_EQ(script.PrimaryFile(), &script);
    EXPECT_TRUE(script.Generated());
    TResourceSymbolFile* resource = script.Files()->Add("resource.h");
    TResourceSymbolFile* inner = resource->Files()->Add("inner.h");
    inner->SetPrimary(true);
    EXPECT_EQ(script.PrimaryFile(), inner);
    EXPECT_TRUE(inner->Primary());
    EXPECT_TRUE(inner->Generated());
    EXPECT_FALSE(resource->Generated());
    script.SetHelpFile(resource);
    EXPECT_TRUE(resource->Help());
    EXPECT_FALSE(inner->Help());

    // Freeing files that the script names leaves no dangling primary or help file.
    script.Files()->Remove("resource.h");
    EXPECT_EQ(script.PrimaryFile(), &script);
    EXPECT_EQ(script.HelpFile(), nullptr);
}

TEST(SymbolFiles, SymbolsMoveBetweenFiles)
{
    TResourceScriptSymbolFile script("app.rc");
    TResourceSymbolFile* a = script.Files()->Add("a.h");
    TResourceSymbolFile* b = script.Files()->Add("b.h");
    TResourceSymbols symbols;
    TResourceSymbol* symbol = symbols.Add("IDI_APP");
    symbol->SetSourceFile(a);
    EXPECT_EQ(a->Symbols()->Find("IDI_APP"), symbol);
    EXPECT_EQ(symbol->Filename(), "a.h");
    a->SetModified(false);
    symbol->SetSourceFile(b);
    EXPECT_EQ(a->Symbols()->Count(), 0);
    EXPECT_TRUE(a->Modified());
    EXPECT_EQ(b->Symbols()->Items(0), symbol);
    a->Symbols()->Add(symbol);
    EXPECT_EQ(b->Symbols()->Count(), 0) << "a symbol is listed by one file only";
    EXPECT_EQ(symbol->SourceFile(), a);
    a->SetReadOnly(true);
    EXPECT_TRUE(symbol->ReadOnly());

    // A file that goes away lets go of its symbols.
    script.Files()->Remove("a.h");
    EXPECT_EQ(symbol->SourceFile(), nullptr);
}
