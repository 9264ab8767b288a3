#include "koDesignStringsDialog.h"

#include "platform/Format.h"
#include "koDesignDialogs.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

TRunTimeStringsDialog::TRunTimeStringsDialog(QWidget* AOwner)
    : QDialog(AOwner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("String List Editor"));
    resize(415, 248);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    MemoStrings = new QPlainTextEdit(Panel1);
    MemoStrings->setObjectName(QStringLiteral("MemoStrings"));
    MemoStrings->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoStrings->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoStrings->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StatusBar1 = new QWidget(Panel1);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusPanel0 = new QLabel(QStringLiteral("Lines: %u"), StatusBar1);
    StatusPanel0->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusPanel0->setFixedWidth(100);
    StatusPanel1 = new QLabel(QStringLiteral("0:0"), StatusBar1);
    StatusPanel1->setFixedWidth(100);
    auto* statusLayout = new QHBoxLayout(StatusBar1);
    statusLayout->setContentsMargins(0, 2, 0, 0);
    statusLayout->setSpacing(2);
    statusLayout->addWidget(StatusPanel0);
    statusLayout->addWidget(StatusPanel1);
    statusLayout->addStretch();
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(4, 4, 4, 4);
    panelLayout->setSpacing(0);
    panelLayout->addWidget(MemoStrings);
    panelLayout->addWidget(StatusBar1);

    ButtonClear = new QPushButton(QStringLiteral("&Clear"), this);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    for (QPushButton* button : {ButtonClear, ButtonOK, ButtonCancel}) {
        button->setFixedSize(77, 25);
        button->setAutoDefault(false);
    }
    ButtonOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ButtonClear);
    buttons->addStretch();
    buttons->addWidget(ButtonOK);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(10);
    layout->addWidget(Panel1, 1);
    layout->addLayout(buttons);

    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ButtonClear, &QPushButton::clicked, this, [this] { ButtonClearClick(); });
    connect(MemoStrings, &QPlainTextEdit::textChanged, this, [this] { MemoStringsChange(); });
    connect(MemoStrings, &QPlainTextEdit::cursorPositionChanged, this, [this] { MemoStringsSelectionChange(); });
}

QStringList TRunTimeStringsDialog::Lines() const
{
    QStringList lines;
    for (QTextBlock block = MemoStrings->document()->begin(); block.isValid(); block = block.next())
        lines.append(block.text());
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void TRunTimeStringsDialog::SetLines(const QStringList& Value)
{
    MemoStrings->setPlainText(Value.join(QLatin1Char('\n')));
}

bool TRunTimeStringsDialog::Execute()
{
    return DesignDialogs().ExecuteModal(*this) == QDialog::Accepted;
}

void TRunTimeStringsDialog::ButtonClearClick()
{
    MemoStrings->clear();
}

void TRunTimeStringsDialog::MemoStringsChange()
{
    // A string list starts no line after a line break at the very end.
    const QTextDocument* document = MemoStrings->document();
    const int count = document->blockCount() - (document->lastBlock().text().isEmpty() ? 1 : 0);
    StatusPanel0->setText(Format(QStringLiteral("Lines: %u"), {count}));
    MemoStringsSelectionChange();
}

void TRunTimeStringsDialog::MemoStringsSelectionChange()
{
    const QTextCursor caret = MemoStrings->textCursor();
    StatusPanel1->setText(Format(QStringLiteral("%u:%u"), {caret.positionInBlock() + 1, caret.blockNumber() + 1}));
}
