// The modal "String List Editor" that the strings property editor opens on a string list property.
#pragma once

#include <QDialog>
#include <QStringList>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class TRunTimeStringsDialog : public QDialog {
    Q_OBJECT

public:
    explicit TRunTimeStringsDialog(QWidget* AOwner = nullptr);

    // The edit's lines as a string list holds them: a line break at the very end starts no line.
    QStringList Lines() const;
    void SetLines(const QStringList& Value);
    // Shows the dialog modally (through the design dialogs); true when it was closed with OK.
    bool Execute();

    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;
    QPushButton* ButtonClear;
    QFrame* Panel1;
    QPlainTextEdit* MemoStrings;
    QWidget* StatusBar1;
    QLabel* StatusPanel0;
    QLabel* StatusPanel1;

private:
    void ButtonClearClick();
    void MemoStringsChange();
    void MemoStringsSelectionChange();
};
