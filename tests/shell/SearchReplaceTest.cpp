#include "MainWindowTesting.h"
#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemMenu.h"
#include "kinds/koResourceItemString.h"
#include "shell/AtelierReplace.h"
#include "shell/AtelierSearch.h"
#include "shell/koAtelierFrame.h"

#include <QAction>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <deque>
#include <map>
#include <vector>

#include <gtest/gtest.h>

namespace {
using TAnswers = std::vector<QMessageBox::StandardButton>;

// Every message the model logs while it lives: its kind, text, element and context item.
class TMessageCollector : public IResourceMessageLogSubscriber {
public:
    struct TEntry {
        TResourceMessageKind Kind;
        QString Text;
        QObject* Item;
        TCustomResourceItem* Context;
    };
    void LogMessage(const IResourceMessagePtr& Msg) override
    {
        auto* item = dynamic_cast<IResourceMessageItem*>(Msg.get());
        const IResourceMessageContextPtr context = Msg->GetContext();
        Entries.push_back({Msg->GetKind(), Msg->GetMessage(), item ? item->GetItem() : nullptr,
                           context ? context->GetResourceItem() : nullptr});
    }
    QStringList Texts() const
    {
        QStringList texts;
        for (const TEntry& entry : Entries) texts << entry.Text;
        return texts;
    }
    std::vector<TEntry> Entries;
};

// Answers the confirmation from a script and remembers what it asked.
struct TConfirmScript {
    int operator()(QDialog& form)
    {
        auto* box = qobject_cast<QMessageBox*>(&form);
        EXPECT_NE(box, nullptr);
        if (!box) return QDialog::Rejected;
        Asked << box->text();
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
        EXPECT_NE(box->button(QMessageBox::YesToAll), nullptr);
        if (Answers.empty()) {
            ADD_FAILURE() << "unexpected prompt " << box->text().toStdString();
            return QMessageBox::Cancel;
        }
        const auto answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    std::deque<QMessageBox::StandardButton> Answers;
    QStringList Asked;
};

class SearchReplace : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemString_Initialize();
        koResourceItemMenu_Initialize();
        koResourceItemDialog_Initialize();
        Module.SetDeferDefaultSymbols(true);
        Table = new TStringListResourceItem();
        Module.Items()->Add(Table);
        Messages = std::make_shared<TMessageCollector>();
        MessageLogger()->Subscribe(Messages);
    }
    void TearDown() override
    {
        MessageLogger()->Unsubscribe(Messages);
        Module.Clear();
        koResourceItemDialog_Finalize();
        koResourceItemMenu_Finalize();
        koResourceItemString_Finalize();
        koResourcesKinds_Finalize();
    }
    TResourceStringsString* AddString(const QString& value)
    {
        TResourceStringsString* string = Table->Strings()->Add();
        string->SetValue(value);
        return string;
    }
    // Runs the walk with the options; the confirmation is answered from Answers.
    int Run(TSearchReplace& search, const QString& pattern, TSearchOptions options, const QString& replacement,
            const TAnswers& answers)
    {
        Confirm.Answers.assign(answers.begin(), answers.end());
        search.ExecuteModal = [this](QDialog& form) { return Confirm(form); };
        search.SetSearchString(pattern);
        search.SetReplaceString(replacement);
        search.SetSearchOptions(options);
        return search.Search(&Module);
    }

    TResourceModule Module;
    TStringListResourceItem* Table = nullptr;
    std::shared_ptr<TMessageCollector> Messages;
    TConfirmScript Confirm;
};

QString Found(const QString& text) { return QStringLiteral("Found: '") + text + QLatin1Char('\''); }

struct TCase {
    const char* Name;
    QString Text;
    QString Pattern;
    TSearchOptions Options;
    QString Replacement;
    TAnswers Answers;
    int Count;
    QString NewText;
    QStringList Logged;
};
} // namespace

TEST_F(SearchReplace, TableOfSearchesAndReplacements)
{
    using B = QMessageBox;
    const TSearchOptions R{soReplace}, RP{soReplace, soPrompt}, X{soRegularExpression}, RX{soReplace, soRegularExpression};
    const QString smile = QString::fromUtf8("a\xF0\x9F\x98\x80"); // a and one character outside the BMP
    const TCase cases[] = {
        {"whole word after an ampersand", "&OK ", "OK", {soWholeWords}, {}, {}, 1, "&OK ", {Found("&OK ")}},
        {"whole word not inside a word", "OKAY", "OK", {soWholeWords}, {}, {}, 0, "OKAY", {}},
        {"whole word not after a non-ASCII letter", QString::fromUtf8("ÄOK"), "OK", {soWholeWords}, {}, {}, 0, QString::fromUtf8("ÄOK"), {}},
        {"case folded", "Ok", "ok", {}, {}, {}, 1, "Ok", {Found("Ok")}},
        {"case kept", "Ok", "ok", {soCaseSensitive}, {}, {}, 0, "Ok", {}},
        {"non-ASCII case folded", QString::fromUtf8("ÉCOLE école"), QString::fromUtf8("école"), {}, {}, {}, 2,
         QString::fromUtf8("ÉCOLE école"), {Found(QString::fromUtf8("ÉCOLE école")), Found(QString::fromUtf8("ÉCOLE école"))}},
        // Upper-casing the whole text would make "MASS" of the sharp s, shift every later match and
        // find "MASS" too.
        {"sharp s folds as one character", QString::fromUtf8("Maß und MASS und maß"), QString::fromUtf8("MAß"), R, "X", {}, 2,
         "X und MASS und X", {Found(QString::fromUtf8("Maß und MASS und maß")), Found(QString::fromUtf8("X und MASS und maß"))}},
        {"search resumes after the inserted text", "aaa", "a", R, "aa", {}, 3, "aaaaaa",
         {Found("aaa"), Found("aaaa"), Found("aaaaa")}},
        {"No to every prompt", "a a", "a", RP, "b", {B::No, B::No}, 0, "a a", {Found("a a"), Found("a a")}},
        {"Yes then Cancel", "a a a", "a", RP, "b", {B::Yes, B::Cancel}, 1, "b a a", {Found("a a a"), Found("b a a")}},
        {"Yes to All stops asking", "a a a", "a", RP, "b", {B::No, B::YesToAll}, 2, "a b b",
         {Found("a a a"), Found("a a a"), Found("a b a")}},
        {"blanks in a pattern are ignored", "ab", "a b", X, {}, {}, 1, "ab", {Found("ab")}},
        {"a blank in the text is not", "a b", "a b", X, {}, {}, 0, "a b", {}},
        {"comments in a pattern", "ab", "a # the first\nb", X, {}, {}, 1, "ab", {Found("ab")}},
        {"expression ignores case", "ABC", "b", X, {}, {}, 1, "ABC", {Found("ABC")}},
        {"expression keeps case", "ABC", "b", {soRegularExpression, soCaseSensitive}, {}, {}, 0, "ABC", {}},
        {"a dot matches a line break", "a\nb", "a.b", X, {}, {}, 1, "a\nb", {Found("a\nb")}},
        {"groups, and a replacement taken literally", "ababc x abc", "(ab)+c", RX, "[$1]", {}, 2, "[$1] x [$1]",
         {Found("ababc x abc"), Found("[$1] x abc")}},
        {"named groups capture", "abab ab", "(?<p>ab)\\k<p>", RX, "-", {}, 1, "- ab", {Found("abab ab")}},
        {"empty matches try every position once", "ab", "x*", X, {}, {}, 3, "ab", {Found("ab"), Found("ab"), Found("ab")}},
        {"empty matches replaced", "ab", "", RX, "X", {}, 3, "XaXbX", {Found("ab"), Found("Xab"), Found("XaXb")}},
        {"an empty match steps over a surrogate pair", smile, "", X, {}, {}, 3, smile, {Found(smile), Found(smile), Found(smile)}},
        {"a match after a pair", smile + "b", "b", RX, "c", {}, 1, smile + "c", {Found(smile + "b")}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TResourceStringsString* string = AddString(c.Text);
        Messages->Entries.clear();
        Confirm.Asked.clear();
        TSearchReplace search(nullptr);
        EXPECT_EQ(Run(search, c.Pattern, c.Options, c.Replacement, c.Answers), c.Count);
        EXPECT_EQ(search.SearchCount(), c.Count);
        EXPECT_EQ(string->Value(), c.NewText);
        EXPECT_EQ(Messages->Texts(), c.Logged);
        for (const auto& entry : Messages->Entries) {
            EXPECT_EQ(entry.Item, string);
            EXPECT_EQ(entry.Context, Table);
            EXPECT_EQ(entry.Kind, rmInfo);
        }
        EXPECT_TRUE(Confirm.Answers.empty()) << "answers left over";
        if (c.Options.Contains(soPrompt)) {
            EXPECT_EQ(Confirm.Asked.size(), int(c.Answers.size()));
            for (const QString& asked : Confirm.Asked) EXPECT_EQ(asked, "Replace this occurance of '" + c.Pattern + "'?");
        }
        Table->Strings()->Clear();
    }
}

TEST_F(SearchReplace, YesToAllClearsPromptForTheNextCommand)
{
    AddString("a");
    AddString("a");
    TSearchReplace search(nullptr);
    EXPECT_EQ(Run(search, "a", {soReplace, soPrompt}, "b", {QMessageBox::YesToAll}), 2);
    EXPECT_EQ(search.SearchOptions(), (TSearchOptions{soReplace}));
}

TEST_F(SearchReplace, CancelEndsTheWholeWalk)
{
    TResourceStringsString* first = AddString("a a");
    TResourceStringsString* second = AddString("a");
    TSearchReplace search(nullptr);
    EXPECT_EQ(Run(search, "a", {soReplace, soPrompt}, "b", {QMessageBox::Cancel}), 0);
    EXPECT_EQ(first->Value(), "a a");
    EXPECT_EQ(second->Value(), "a");
    EXPECT_EQ(Messages->Texts(), QStringList{Found("a a")});
}

TEST_F(SearchReplace, EveryKindOfTextTakesPart)
{
    AddString("one cat");
    auto* menu = new TMenuResourceItem(TResourceIdent::FromOrdinal(1));
    Module.Items()->Add(menu);
    TResourceMenuItem* entry = menu->Items()->Add();
    entry->SetText("&Cat\tF2");
    TResourceMenuItem* sub = entry->Items()->Add();
    sub->SetText("Cat food");
    auto* dialog = new TDialogResourceItem(TResourceIdent::FromOrdinal(2));
    Module.Items()->Add(dialog);
    dialog->SetCaption("Cats");
    TDialogResourceItemControl* label = dialog->Items()->Add();
    label->SetText("cat");
    // A reference to an image resource is not the control's text: replacing in it would break it.
    TDialogResourceItemControl* picture = dialog->Items()->Add();
    const QString reference = TResourceIdent::FromOrdinal(0x63);
    picture->SetText(reference);

    TSearchReplace search(nullptr);
    EXPECT_EQ(Run(search, "c(at)?", {soReplace, soRegularExpression}, "dog", {}), 5);
    EXPECT_EQ(Table->Strings()->Items(0)->Value(), "one dog");
    EXPECT_EQ(entry->Text(), "&dog\tF2");
    EXPECT_EQ(sub->Text(), "dog food");
    EXPECT_EQ(dialog->Caption(), "dogs");
    EXPECT_EQ(label->Text(), "dog");
    EXPECT_EQ(picture->Text(), reference);
    std::map<TCustomResourceItem*, int> contexts;
    for (const auto& logged : Messages->Entries) ++contexts[logged.Context];
    EXPECT_EQ(contexts, (std::map<TCustomResourceItem*, int>{{Table, 1}, {menu, 2}, {dialog, 2}}));
}

// A replacement the element refuses is reported with the element; the element keeps its text and the
// walk goes on with the next one.
TEST_F(SearchReplace, RefusedReplacementIsReportedAndTheWalkGoesOn)
{
    const QString full = QStringLiteral("x") + QString(0xFFFE, QLatin1Char('b')); // the longest a table holds
    TResourceStringsString* first = AddString(full);
    TResourceStringsString* second = AddString("x");
    TSearchReplace search(nullptr);
    EXPECT_EQ(Run(search, "x", {soReplace}, "yy", {}), 1);
    EXPECT_EQ(first->Value(), full);
    EXPECT_EQ(second->Value(), "yy");
    ASSERT_EQ(Messages->Entries.size(), 3u);
    const auto& refused = Messages->Entries[1];
    EXPECT_EQ(refused.Kind, rmError);
    EXPECT_EQ(refused.Text, "A string of 65536 characters does not fit in a string table; the longest holds 65535");
    EXPECT_EQ(refused.Item, first);
    EXPECT_EQ(refused.Context, Table);
    EXPECT_EQ(Messages->Entries[2].Item, second);
}

TEST_F(SearchReplace, BadPatternGivesTheCompilerMessageAndPosition)
{
    AddString("aa");
    const struct {
        const char* Pattern;
        const char* Message;
    } cases[] = {
        {"(a", "Error in regular expression at offset 2: missing closing parenthesis"},
        // Only named groups capture, so there is no group 1.
        {"(a)\\1", "Error in regular expression at offset 4: reference to non-existent subpattern"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Pattern);
        TSearchReplace search(nullptr);
        try {
            Run(search, c.Pattern, {soRegularExpression}, {}, {});
            ADD_FAILURE() << "no error";
        } catch (const ERegularExpressionError& error) {
            EXPECT_EQ(error.Message().toStdString(), c.Message);
        }
    }
    EXPECT_TRUE(Messages->Entries.empty());
}

TEST_F(SearchReplace, SearchFormsEnableSearchOnlyWithText)
{
    TFormReplace form(nullptr);
    EXPECT_EQ(form.windowTitle(), "Search and Replace");
    EXPECT_EQ(form.ActionSearch()->text(), "OK");
    EXPECT_FALSE(form.ActionSearch()->isEnabled());
    auto* button = form.findChild<QPushButton*>("ButtonSearch");
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isEnabled());
    form.SetSearchText("x");
    EXPECT_TRUE(form.ActionSearch()->isEnabled());
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), "OK");
    form.OnExecute = [](QDialog& dialog) {
        dialog.findChild<QPushButton*>("ButtonSearch")->click();
        return dialog.result();
    };
    EXPECT_TRUE(form.Execute());
}

// Through the real main window offscreen: the menu, the forms and the prompt answered by a script, the
// messages in the Messages pane and a bad pattern in the error box.
namespace {
class TSearchPrompts : public TScriptedPrompts {
public:
    int ExecuteModal(QDialog& form) override
    {
        if (!Accept && qobject_cast<TFormSearch*>(&form)) return QDialog::Rejected;
        if (auto* replace = qobject_cast<TFormReplace*>(&form)) {
            Shown << QStringLiteral("replace:") + replace->SearchText() + QLatin1Char('>') + replace->ReplaceText() +
                         (replace->Prompt() ? QStringLiteral(" prompt") : QString());
            replace->SetSearchText(Search);
            replace->SetReplaceText(Replace);
            replace->SetPrompt(Prompt);
            replace->SetRegularExpression(Regular);
            return QDialog::Accepted;
        }
        if (auto* find = qobject_cast<TFormSearch*>(&form)) {
            Shown << QStringLiteral("find:") + find->SearchText();
            find->SetSearchText(Search);
            find->SetRegularExpression(Regular);
            return QDialog::Accepted;
        }
        return Confirm(form);
    }
    QString Search, Replace;
    bool Prompt = false;
    bool Regular = false;
    bool Accept = true;
    QStringList Shown;
    TConfirmScript Confirm;
};
} // namespace

TEST(SearchReplaceWindow, ReplaceAndFindThroughTheMenus)
{
    TMainWindowUnits units;
    koResourceItemString_Initialize();
    auto prompts = std::make_unique<TSearchPrompts>();
    TSearchPrompts* script = prompts.get();
    {
        TFormMain form(std::move(prompts));
        form.show();
        Settle();
        TCustomResourceModule* module = form.FrameAtelier()->ResourceModule();
        auto* table = new TStringListResourceItem();
        module->Items()->Add(table);
        TResourceStringsString* first = table->Strings()->Add();
        first->SetValue("Hello world");
        TResourceStringsString* second = table->Strings()->Add();
        second->SetValue("world");
        Settle();

        QStringList menus;
        for (QAction* action : form.menuBar()->actions()) menus << action->text();
        EXPECT_EQ(menus.mid(0, 3), (QStringList{"&File", "&Search", "&View"}));
        EXPECT_EQ(form.Action("ActionSearchFind")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
        EXPECT_EQ(form.Action("ActionSearchReplace")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));

        script->Search = "world";
        script->Replace = "there";
        script->Prompt = true;
        script->Confirm.Answers = {QMessageBox::No, QMessageBox::YesToAll};
        form.Action("ActionSearchReplace")->trigger();
        Settle();
        EXPECT_EQ(first->Value(), "Hello world");
        EXPECT_EQ(second->Value(), "there");
        EXPECT_EQ(script->Confirm.Asked, (QStringList{"Replace this occurance of 'world'?", "Replace this occurance of 'world'?"}));
        EXPECT_TRUE(form.Dirty());
        QStringList rows;
        for (int i = 0; i < form.ListViewMessages()->topLevelItemCount(); ++i)
            rows << form.ListViewMessages()->topLevelItem(i)->text(1);
        EXPECT_EQ(rows, (QStringList{"Found: 'Hello world'", "Found: 'world'", "Replaced 1 matches"}));

        // The next form starts from what the last one chose, with Prompt unticked by Yes to All.
        script->Search = "(?<w>o)";
        script->Prompt = false;
        script->Regular = true;
        form.Action("ActionSearchReplace")->trigger();
        EXPECT_EQ(first->Value(), "Hellthere wthererld");
        script->Search = "there";
        script->Regular = false;
        form.Action("ActionSearchFind")->trigger();
        EXPECT_EQ(script->Shown, (QStringList{"replace:>", "replace:world>there", "find:(?<w>o)"}));
        const int rowCount = form.ListViewMessages()->topLevelItemCount();
        EXPECT_EQ(form.ListViewMessages()->topLevelItem(rowCount - 1)->text(1), "Found 3 matches");
        EXPECT_TRUE(script->Confirm.Answers.empty());

        script->Search = "(";
        script->Regular = true;
        form.Action("ActionSearchFind")->trigger();
        ASSERT_FALSE(script->Errors.isEmpty());
        EXPECT_EQ(script->Errors.last(), "Application Error: Error in regular expression at offset 1: missing closing parenthesis");

        // A cancelled form changes nothing and logs nothing.
        const int before = form.ListViewMessages()->topLevelItemCount();
        script->Accept = false;
        script->Search = "there";
        script->Regular = false;
        form.Action("ActionSearchFind")->trigger();
        EXPECT_EQ(form.ListViewMessages()->topLevelItemCount(), before);
        EXPECT_EQ(form.SearchReplace()->SearchString(), "(");
        EXPECT_TRUE(form.SearchReplace()->SearchOptions().Contains(soRegularExpression));
    }
    koResourceItemString_Finalize();
}
