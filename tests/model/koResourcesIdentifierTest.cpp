#include "TestKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

namespace {
// An element number of a dialog-like item, as controls and commands have.
class TWordID : public TCustomResourceOrdinalWordIdentifier {
public:
    using TCustomResourceOrdinalWordIdentifier::TCustomResourceOrdinalWordIdentifier;
};
class TDWordID : public TCustomResourceOrdinalDWordIdentifier {
public:
    using TCustomResourceOrdinalDWordIdentifier::TCustomResourceOrdinalDWordIdentifier;
};

class Identifiers : public ::testing::Test {
protected:
    void SetUp() override
    {
        Module.SetDeferDefaultSymbols(true);
        Dialog = new TTestItem(TResourceIdent::FromOrdinal(RT_DIALOG), Ord(1));
        Module.Items()->Add(Dialog);
    }
    TResourceSymbol* Symbol(const QString& name, const QString& value)
    {
        TResourceSymbol* s = Module.Symbols()->Add(name);
        s->SetLiteralValue(value);
        return s;
    }
    TResourceModule Module;
    TTestItem* Dialog = nullptr;
};
} // namespace

TEST_F(Identifiers, NameValues)
{
    TResourceIdentifier* id = Dialog->LocalID();
    id->SetValue("abc");
    EXPECT_EQ(Dialog->Name(), TResourceIdent("ABC"));
    EXPECT_EQ(id->Value(), "ABC");
    id->SetValue("12");
    EXPECT_EQ(Dialog->Name(), Ord(12));
    EXPECT_EQ(id->Value(), "12");
}

TEST_F(Identifiers, BoundNameFollowsItsSymbol)
{
    TResourceSymbol* idd = Symbol("IDD_MAIN", "101");
    TRecorder recorder;
    Dialog->Subscribe(&recorder);
    Dialog->LocalID()->SetSymbol(idd);
    EXPECT_EQ(Dialog->Name(), Ord(101));
    EXPECT_EQ(Dialog->LocalID()->ID(), "IDD_MAIN");
    EXPECT_EQ(Dialog->FriendlyName(), "IDD_MAIN");
    EXPECT_EQ(idd->References()->Count(), 1);

    idd->SetLiteralValue("102");
    EXPECT_EQ(Dialog->Name(), Ord(102));
    EXPECT_EQ(Dialog->LocalID()->Symbol(), idd);

    Dialog->LocalID()->SetValue("102");
    EXPECT_EQ(Dialog->LocalID()->Symbol(), idd) << "typing the symbol's own value keeps the binding";
    Dialog->LocalID()->SetValue("103");
    EXPECT_EQ(Dialog->LocalID()->Symbol(), nullptr) << "another value releases it";
    EXPECT_EQ(idd->References()->Count(), 0);
    EXPECT_GE(recorder.Count(rnChanged), 3);
    Dialog->Unsubscribe(&recorder);
}

TEST_F(Identifiers, BindingByNameCreatesMissingSymbols)
{
    Dialog->SetNameInteger(7);
    Dialog->LocalID()->SetIdentifier("IDD_NEW");
    TResourceSymbol* created = Module.Symbols()->Find("IDD_NEW");
    ASSERT_TRUE(created);
    EXPECT_EQ(created->Value(), QVariant(7));
    EXPECT_EQ(created->SourceFile(), Module.SymbolFile()) << "no primary file: the script's own";
    EXPECT_EQ(Dialog->LocalID()->Symbol(), created);

    Symbol("IDD_OTHER", "9");
    Dialog->LocalID()->SetID("idd_other");
    EXPECT_EQ(Dialog->LocalID()->Identifier(), "IDD_OTHER") << "found without regard to case";
    EXPECT_EQ(Dialog->Name(), Ord(9));
    Dialog->LocalID()->SetID("44");
    EXPECT_EQ(Dialog->LocalID()->Symbol(), nullptr);
    EXPECT_EQ(Dialog->Name(), Ord(44));
    Dialog->LocalID()->SetIdentifier("");
    EXPECT_EQ(Dialog->LocalID()->Symbol(), nullptr);
}

TEST_F(Identifiers, OrdinalsRefuseTextSymbolsAndKeepTheOldBinding)
{
    TWordID control(Dialog);
    TResourceSymbol* good = Symbol("IDC_OK", "1000");
    TResourceSymbol* text = Symbol("IDC_TEXT", "\"not a number\"");
    control.SetSymbol(good);
    EXPECT_EQ(control.OrdinalValue(), 1000);
    EXPECT_THROW(control.SetSymbol(text), Exception);
    EXPECT_EQ(control.Symbol(), good);
    EXPECT_EQ(control.OrdinalValue(), 1000);
    try {
        good->SetLiteralValue("NAME");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Dialog must have ordinal (numeric) name") << "the reference refused the value";
    }
    EXPECT_EQ(good->Value(), QVariant(1000));
    EXPECT_THROW(control.SetValue("x"), EConvertError);
    control.SetSymbol(nullptr);
}

TEST_F(Identifiers, MinusOneForms)
{
    TWordID word(Dialog);
    word.SetOrdinal(0xFFFF);
    EXPECT_EQ(word.Value(), "-1");
    word.SetValue("-1");
    EXPECT_EQ(word.Value(), "4294967295");
    EXPECT_EQ(word.OrdinalValue(), 65535);
    TDWordID dword(Dialog);
    dword.SetOrdinalValue(0xFFFFFFFFu);
    EXPECT_EQ(dword.Value(), "-1");
    dword.SetValue("40001");
    EXPECT_EQ(dword.OrdinalValue(), 40001u);
}

TEST_F(Identifiers, AssignAcrossModulesBindsByName)
{
    TResourceSymbol* idd = Symbol("IDD_MAIN", "101");
    Dialog->LocalID()->SetSymbol(idd);
    TResourceModule other;
    other.SetDeferDefaultSymbols(true);
    auto* copy = new TTestItem(TResourceIdent::FromOrdinal(RT_DIALOG), Ord(5));
    other.Items()->Add(copy);
    copy->LocalID()->Assign(Dialog->LocalID());
    TResourceSymbol* made = other.Symbols()->Find("IDD_MAIN");
    ASSERT_TRUE(made);
    EXPECT_EQ(copy->LocalID()->Symbol(), made);
    EXPECT_EQ(copy->Name(), Ord(5)) << "the new symbol takes the identifier's current value";
}

TEST_F(Identifiers, SymbolsAndIdentifiersLetGoOfEachOther)
{
    TResourceSymbol* idd = Symbol("IDD_MAIN", "101");
    Dialog->LocalID()->SetSymbol(idd);
    Module.Symbols()->Remove("IDD_MAIN");
    EXPECT_EQ(Dialog->LocalID()->Symbol(), nullptr);
    EXPECT_EQ(Dialog->Name(), Ord(101));

    TResourceSymbol* again = Symbol("IDD_AGAIN", "3");
    Dialog->LocalID()->SetSymbol(again);
    Module.Items()->Remove(Dialog);
    EXPECT_EQ(again->References()->Count(), 0) << "a freed item leaves no dangling reference";
}

TEST_F(Identifiers, OrdinalNamesOnly)
{
    class TBlock : public TTestItem {
    public:
        using TTestItem::TTestItem;

    protected:
        TIdentifierFactory GetIdentifierClass() const override { return &TResourceOrdinalNameIdentifier::Create; }
    };
    auto* block = new TBlock(TResourceIdent::FromOrdinal(RT_STRING), Ord(1));
    Module.Items()->Add(block);
    EXPECT_THROW(block->SetName(TResourceIdent("NAMED")), Exception);
    EXPECT_EQ(block->Name(), Ord(1));
    block->SetNameInteger(2);
    EXPECT_EQ(block->Name(), Ord(2));
}
