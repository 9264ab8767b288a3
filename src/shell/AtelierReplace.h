// The options form of the replace command.
#pragma once

#include "AtelierSearch.h"

class TFormReplace : public TFormSearch {
    Q_OBJECT

public:
    explicit TFormReplace(QWidget* Owner);

    QString ReplaceText() const;
    void SetReplaceText(const QString& Value);
    bool Prompt() const;
    void SetPrompt(bool Value);

private:
    QLineEdit* FEditReplaceText;
    QCheckBox* FCheckBoxPrompt;
};
