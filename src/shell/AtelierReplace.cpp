#include "AtelierReplace.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TFormReplace::TFormReplace(QWidget* Owner) : TFormSearch(Owner)
{
    setObjectName(QStringLiteral("FormReplace"));
    setWindowTitle(QStringLiteral("Search and Replace"));
    ActionSearch()->setText(QStringLiteral("OK"));
    FEditReplaceText = new QLineEdit(this);
    FEditReplaceText->setObjectName(QStringLiteral("EditReplaceText"));
    auto* label = new QLabel(QStringLiteral("&Replace with:"), this);
    label->setBuddy(FEditReplaceText);
    const int row = FTexts->rowCount();
    FTexts->addWidget(label, row, 0);
    FTexts->addWidget(FEditReplaceText, row, 1);
    FCheckBoxPrompt = new QCheckBox(QStringLiteral("&Prompt on replace"), this);
    FCheckBoxPrompt->setObjectName(QStringLiteral("CheckBoxPrompt"));
    FChecks->addWidget(FCheckBoxPrompt);
    // Keys move through the texts first, then the options.
    setTabOrder(findChild<QLineEdit*>(QStringLiteral("EditSearchText")), FEditReplaceText);
    setTabOrder(findChild<QCheckBox*>(QStringLiteral("CheckBoxRegularExpression")), FCheckBoxPrompt);
}

QString TFormReplace::ReplaceText() const { return FEditReplaceText->text(); }

void TFormReplace::SetReplaceText(const QString& Value) { FEditReplaceText->setText(Value); }

bool TFormReplace::Prompt() const { return FCheckBoxPrompt->isChecked(); }

void TFormReplace::SetPrompt(bool Value) { FCheckBoxPrompt->setChecked(Value); }
