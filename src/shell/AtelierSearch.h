// Search and replace over the texts of a module's elements (dialog captions and controls, menu entries,
// strings): the options form and the commands of the main window with the state they keep between runs.
#pragma once

#include "platform/RegularExpressions.h"
#include "platform/Sets.h"

#include <QDialog>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QGridLayout;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QVBoxLayout;
class TCustomResourceItem;
class TCustomResourceModule;

enum TSearchOption { soReplace, soCaseSensitive, soWholeWords, soRegularExpression, soPrompt };
using TSearchOptions = TSet<TSearchOption>;

// Shows a modal dialog and gives its result as QDialog::exec does. The main window routes it through its
// prompts, so tests answer the forms.
using TExecuteModal = std::function<int(QDialog&)>;

class TFormSearch : public QDialog {
    Q_OBJECT

public:
    explicit TFormSearch(QWidget* Owner);

    // Shows the form modally (through OnExecute when set); true when it closed with OK.
    bool Execute();
    TExecuteModal OnExecute;

    QString SearchText() const;
    void SetSearchText(const QString& Value);
    bool WholeWords() const;
    void SetWholeWords(bool Value);
    bool CaseSensitive() const;
    void SetCaseSensitive(bool Value);
    bool RegularExpression() const;
    void SetRegularExpression(bool Value);

    QAction* ActionSearch() const { return FActionSearch; }
    QAction* ActionCancel() const { return FActionCancel; }

protected:
    // Rows of a label and its edit, and the column of check boxes; the replace form adds to both.
    QGridLayout* FTexts;
    QVBoxLayout* FChecks;

private:
    void UpdateActions();

    QLineEdit* FEditSearchText;
    QCheckBox* FCheckBoxWholeWords;
    QCheckBox* FCheckBoxCaseSensitive;
    QCheckBox* FCheckBoxRegularExpression;
    QAction* FActionSearch;
    QAction* FActionCancel;
    QPushButton* FButtonSearch;
    QPushButton* FButtonCancel;
};

// The commands "Find" and "Replace" of the main window.
class TSearchReplace {
public:
    explicit TSearchReplace(QWidget* Owner);
    ~TSearchReplace();
    TSearchReplace(const TSearchReplace&) = delete;
    TSearchReplace& operator=(const TSearchReplace&) = delete;

    // Ask for the options (nothing happens when the form is cancelled), then walk Module. A bad pattern
    // raises with the compiler's message and position.
    void SearchFind(TCustomResourceModule* Module);
    void SearchReplace(TCustomResourceModule* Module);
    // The walk alone, with the state as it stands; gives the matches found or replaced. Every match is
    // logged with its element; a replacement the element refuses is logged as an error and ends the walk
    // of that element, which keeps the text it had.
    int Search(TCustomResourceModule* Module);

    // How the forms and the confirmation are shown.
    TExecuteModal ExecuteModal;

    QString SearchString() const { return FSearchString; }
    void SetSearchString(const QString& Value) { FSearchString = Value; }
    QString ReplaceString() const { return FReplaceString; }
    void SetReplaceString(const QString& Value) { FReplaceString = Value; }
    TSearchOptions SearchOptions() const { return FSearchOptions; }
    void SetSearchOptions(TSearchOptions Value) { FSearchOptions = Value; }
    int SearchCount() const { return FSearchCount; }

private:
    // The module walk's callback; Context is the search text.
    void SearchItem(TCustomResourceItem* ResourceItem, QObject* Item, void* Context, bool& Continue);
    TRegExMatch FindNext(const QString& Text, int Position) const;
    int Execute(QDialog& Form);
    // Shows a form prefilled with the last options; on OK takes its search text and options.
    bool ExecuteForm(TFormSearch& Form);
    int Confirm();

    QWidget* FOwner;
    QString FSearchString;
    QString FReplaceString;
    TSearchOptions FSearchOptions;
    int FSearchCount = 0;
    std::unique_ptr<QMessageBox> FSearchReplacePrompt; // only during a replace command
    std::unique_ptr<TRegEx> FSearchRegEx;              // only during a walk
};
