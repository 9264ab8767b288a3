#include "AtelierSearch.h"

#include "AtelierReplace.h"
#include "koAtelierFramework.h"
#include "koCursorService.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "platform/Format.h"
#include "platform/UpdateGuard.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char* const SFoundMatches = "Found %u matches";
const char* const SReplacedMatches = "Replaced %u matches";
const char* const SFound = "Found: '%s'";
const char* const SReplaceOccurance = "Replace this occurance of '%s'?";

// The code point that ends just before Index, or that starts at Index.
char32_t CodePointBefore(const QString& Text, int Index)
{
    const QChar last = Text.at(Index - 1);
    if (last.isLowSurrogate() && Index >= 2 && Text.at(Index - 2).isHighSurrogate())
        return QChar::surrogateToUcs4(Text.at(Index - 2), last);
    return last.unicode();
}

char32_t CodePointAt(const QString& Text, int Index)
{
    const QChar first = Text.at(Index);
    if (first.isHighSurrogate() && Index + 1 < Text.size() && Text.at(Index + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(first, Text.at(Index + 1));
    return first.unicode();
}

bool IsLetterOrDigit(char32_t CodePoint) { return QChar::isLetter(CodePoint) || QChar::isDigit(CodePoint); }

// The position one character past Index: a surrogate pair is one character.
int NextCharacter(const QString& Text, int Index)
{
    if (Index < Text.size() && Text.at(Index).isHighSurrogate() && Index + 1 < Text.size() && Text.at(Index + 1).isLowSurrogate())
        return Index + 2;
    return Index + 1;
}
} // namespace

// TFormSearch

TFormSearch::TFormSearch(QWidget* Owner) : QDialog(Owner)
{
    setObjectName(QStringLiteral("FormSearch"));
    setWindowTitle(QStringLiteral("Search"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    FEditSearchText = new QLineEdit(this);
    FEditSearchText->setObjectName(QStringLiteral("EditSearchText"));
    auto* label = new QLabel(QStringLiteral("&Find what:"), this);
    label->setBuddy(FEditSearchText);
    FTexts = new QGridLayout;
    FTexts->addWidget(label, 0, 0);
    FTexts->addWidget(FEditSearchText, 0, 1);
    FTexts->setColumnMinimumWidth(1, 220);

    const auto check = [this](const char* Name, const char* Caption) {
        auto* box = new QCheckBox(QString::fromUtf8(Caption), this);
        box->setObjectName(QString::fromLatin1(Name));
        return box;
    };
    FCheckBoxWholeWords = check("CheckBoxWholeWords", "Match &whole words only");
    FCheckBoxCaseSensitive = check("CheckBoxCaseSensitive", "Match &case");
    FCheckBoxRegularExpression = check("CheckBoxRegularExpression", "R&egular expression");
    FChecks = new QVBoxLayout;
    FChecks->addWidget(FCheckBoxWholeWords);
    FChecks->addWidget(FCheckBoxCaseSensitive);
    FChecks->addWidget(FCheckBoxRegularExpression);

    FActionSearch = new QAction(QStringLiteral("Search"), this);
    FActionSearch->setObjectName(QStringLiteral("ActionSearch"));
    FActionCancel = new QAction(QStringLiteral("Cancel"), this);
    FActionCancel->setObjectName(QStringLiteral("ActionCancel"));
    connect(FActionSearch, &QAction::triggered, this, [this] { done(QDialog::Accepted); });
    connect(FActionCancel, &QAction::triggered, this, [this] { done(QDialog::Rejected); });
    const auto button = [this](const char* Name, QAction* Action) {
        auto* push = new QPushButton(Action->text(), this);
        push->setObjectName(QString::fromLatin1(Name));
        connect(push, &QPushButton::clicked, Action, &QAction::trigger);
        connect(Action, &QAction::changed, push, [push, Action] {
            push->setText(Action->text());
            push->setEnabled(Action->isEnabled());
        });
        return push;
    };
    FButtonSearch = button("ButtonSearch", FActionSearch);
    FButtonSearch->setDefault(true);
    FButtonCancel = button("ButtonCancel", FActionCancel);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(FButtonSearch);
    buttons->addWidget(FButtonCancel);
    buttons->addStretch();

    auto* left = new QVBoxLayout;
    left->addLayout(FTexts);
    left->addLayout(FChecks);
    left->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(FEditSearchText, &QLineEdit::textChanged, this, [this] { UpdateActions(); });
    UpdateActions();
}

void TFormSearch::UpdateActions() { FActionSearch->setEnabled(!FEditSearchText->text().isEmpty()); }

bool TFormSearch::Execute()
{
    FEditSearchText->selectAll();
    FEditSearchText->setFocus();
    return (OnExecute ? OnExecute(*this) : exec()) == QDialog::Accepted;
}

QString TFormSearch::SearchText() const { return FEditSearchText->text(); }

void TFormSearch::SetSearchText(const QString& Value) { FEditSearchText->setText(Value); }

bool TFormSearch::WholeWords() const { return FCheckBoxWholeWords->isChecked(); }

void TFormSearch::SetWholeWords(bool Value) { FCheckBoxWholeWords->setChecked(Value); }

bool TFormSearch::CaseSensitive() const { return FCheckBoxCaseSensitive->isChecked(); }

void TFormSearch::SetCaseSensitive(bool Value) { FCheckBoxCaseSensitive->setChecked(Value); }

bool TFormSearch::RegularExpression() const { return FCheckBoxRegularExpression->isChecked(); }

void TFormSearch::SetRegularExpression(bool Value) { FCheckBoxRegularExpression->setChecked(Value); }

// TSearchReplace

TSearchReplace::TSearchReplace(QWidget* Owner) : FOwner(Owner) {}

TSearchReplace::~TSearchReplace() = default;

int TSearchReplace::Execute(QDialog& Form) { return ExecuteModal ? ExecuteModal(Form) : Form.exec(); }

bool TSearchReplace::ExecuteForm(TFormSearch& Form)
{
    Form.OnExecute = [this](QDialog& dialog) { return Execute(dialog); };
    Form.SetWholeWords(FSearchOptions.Contains(soWholeWords));
    Form.SetCaseSensitive(FSearchOptions.Contains(soCaseSensitive));
    Form.SetRegularExpression(FSearchOptions.Contains(soRegularExpression));
    Form.SetSearchText(FSearchString);
    if (!Form.Execute()) return false;
    FSearchString = Form.SearchText();
    FSearchOptions = {};
    if (Form.WholeWords()) FSearchOptions.Include(soWholeWords);
    if (Form.CaseSensitive()) FSearchOptions.Include(soCaseSensitive);
    if (Form.RegularExpression()) FSearchOptions.Include(soRegularExpression);
    return true;
}

void TSearchReplace::SearchFind(TCustomResourceModule* Module)
{
    {
        TFormSearch form(FOwner);
        if (!ExecuteForm(form)) return;
    }
    auto busy = SaveCursor(crHourGlass);
    Search(Module);
    LogMessage(Format(QString::fromLatin1(SFoundMatches), {FSearchCount}), rmInfo);
}

void TSearchReplace::SearchReplace(TCustomResourceModule* Module)
{
    {
        TFormReplace form(FOwner);
        form.SetPrompt(FSearchOptions.Contains(soPrompt));
        form.SetReplaceText(FReplaceString);
        if (!ExecuteForm(form)) return;
        FReplaceString = form.ReplaceText();
        FSearchOptions.Include(soReplace);
        if (form.Prompt()) FSearchOptions.Include(soPrompt);
    }
    auto busy = SaveCursor(crHourGlass);
    {
        TFinally release([this] { FSearchReplacePrompt.reset(); });
        Search(Module);
    }
    LogMessage(Format(QString::fromLatin1(SReplacedMatches), {FSearchCount}), rmInfo);
}

int TSearchReplace::Search(TCustomResourceModule* Module)
{
    FSearchCount = 0;
    // Compiled once for the command: a bad pattern fails it even when no element has a text.
    if (FSearchOptions.Contains(soRegularExpression)) {
        TRegExOptions options{roExplicitCapture, roSingleLine, roIgnorePatternSpace};
        if (!FSearchOptions.Contains(soCaseSensitive)) options.Include(roIgnoreCase);
        FSearchRegEx = std::make_unique<TRegEx>(FSearchString, options);
    }
    TFinally release([this] { FSearchRegEx.reset(); });
    if (Module)
        Module->EnumerateItems(&FSearchString, [this](TCustomResourceItem* ResourceItem, QObject* Item, void* Context, bool& Continue) {
            SearchItem(ResourceItem, Item, Context, Continue);
        });
    return FSearchCount;
}

TRegExMatch TSearchReplace::FindNext(const QString& Text, int Position) const
{
    if (FSearchRegEx) return FSearchRegEx->Match(Text, Position);
    // Case is folded character by character: upper-casing the whole text can change its length (a sharp s
    // becomes two letters), which would put every later match in the wrong place.
    const Qt::CaseSensitivity sensitivity = FSearchOptions.Contains(soCaseSensitive) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const int length = static_cast<int>(FSearchString.size());
    for (int from = Position;;) {
        const int start = static_cast<int>(Text.indexOf(FSearchString, from, sensitivity));
        if (start < 0) return {};
        const bool whole = !FSearchOptions.Contains(soWholeWords) ||
                           ((start == 0 || !IsLetterOrDigit(CodePointBefore(Text, start))) &&
                            (start + length >= Text.size() || !IsLetterOrDigit(CodePointAt(Text, start + length))));
        if (whole) return {true, start, length};
        from = start + 1;
    }
}

void TSearchReplace::SearchItem(TCustomResourceItem* ResourceItem, QObject* Item, void*, bool& Continue)
{
    auto* textItem = dynamic_cast<IResourceTextItem*>(Item);
    if (!textItem) return;
    QString text = textItem->GetText();
    if (text.isEmpty()) return;
    const bool replace = FSearchOptions.Contains(soReplace);
    int position = 0;
    while (Continue && position <= text.size()) {
        const TRegExMatch match = FindNext(text, position);
        if (!match.Success) break;
        const int start = match.Index;
        IResourceMessagePtr message = std::make_shared<TResourceMessageItem>(Format(QString::fromLatin1(SFound), {text}), Item, rmInfo);
        {
            TMessageContextScope context(ResourceItem);
            LogResourceMessage(message);
        }
        int answer = QMessageBox::Yes;
        if (replace && FSearchOptions.Contains(soPrompt)) {
            if (IAtelier* atelier = CurrentAtelier()) {
                atelier->SelectResourceItem(ResourceItem);
                atelier->Navigate(message);
            }
            answer = Confirm();
            if (answer == QMessageBox::YesToAll) FSearchOptions.Exclude(soPrompt);
            else if (answer == QMessageBox::Cancel) Continue = false;
        }
        int next = start + match.Length;
        if (!replace) {
            ++FSearchCount;
        } else if (answer == QMessageBox::Yes || answer == QMessageBox::YesToAll) {
            const QString changed = text.left(start) + FReplaceString + text.mid(start + match.Length);
            try {
                textItem->SetText(changed);
            } catch (const EAbort&) {
                throw;
            } catch (const Exception& error) {
                // The element keeps the text it had; the rest of the module is still worth the walk.
                TMessageContextScope context(ResourceItem);
                LogResourceMessage(std::make_shared<TResourceMessageItem>(error.Message(), Item, rmError));
                return;
            }
            text = changed;
            ++FSearchCount;
            next = start + static_cast<int>(FReplaceString.size());
        }
        // An empty match steps one character of the text it was found in, past whatever replaced it, so
        // every position is tried once and an inserted text is never searched again.
        if (match.Length == 0) next = NextCharacter(text, next);
        position = next;
    }
}

int TSearchReplace::Confirm()
{
    if (!FSearchReplacePrompt) {
        FSearchReplacePrompt = std::make_unique<QMessageBox>(
            QMessageBox::Question, QApplication::applicationName(), Format(QString::fromLatin1(SReplaceOccurance), {FSearchString}),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::YesToAll, FOwner);
        FSearchReplacePrompt->setObjectName(QStringLiteral("SearchReplacePrompt"));
        FSearchReplacePrompt->setDefaultButton(QMessageBox::Yes);
    }
    const int answer = Execute(*FSearchReplacePrompt);
    FSearchReplacePrompt->hide();
    return answer;
}
