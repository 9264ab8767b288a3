#include "koResourceViewFontDataModule.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

namespace {
// The glyphs of the size buttons: a minus or a plus; the disabled look comes from the icon.
QIcon SignGlyph(bool Plus)
{
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(QRect(3, 7, 10, 2), QColor(0x33, 0x33, 0x33));
    if (Plus) painter.fillRect(QRect(7, 3, 2, 10), QColor(0x33, 0x33, 0x33));
    return QIcon(QPixmap::fromImage(image));
}

QToolButton* SizeButton(QWidget* Parent, bool Plus, const char* Hint)
{
    auto* button = new QToolButton(Parent);
    button->setIcon(SignGlyph(Plus));
    button->setToolTip(QString::fromUtf8(Hint));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}
} // namespace

// TButtonedEdit

TButtonedEdit::TButtonedEdit(QWidget* Parent) : QWidget(Parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    LeftButton = SizeButton(this, false, "Decrease size");
    LeftButton->setObjectName(QStringLiteral("LeftButton"));
    Edit = new QLineEdit(this);
    Edit->setObjectName(QStringLiteral("Edit"));
    Edit->setAlignment(Qt::AlignCenter);
    // Digits only; four of them are more than any font size needs.
    Edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,4}")), Edit));
    RightButton = SizeButton(this, true, "Increase size");
    RightButton->setObjectName(QStringLiteral("RightButton"));
    layout->addWidget(LeftButton);
    layout->addWidget(Edit, 1);
    layout->addWidget(RightButton);
    connect(Edit, &QLineEdit::textChanged, this, &TButtonedEdit::Change);
    connect(LeftButton, &QToolButton::clicked, this, &TButtonedEdit::LeftButtonClick);
    connect(RightButton, &QToolButton::clicked, this, &TButtonedEdit::RightButtonClick);
}

QString TButtonedEdit::Text() const { return Edit->text(); }

void TButtonedEdit::SetText(const QString& Value) { Edit->setText(Value); }

// TDataModuleViewFont

TDataModuleViewFont::TDataModuleViewFont(QWidget* Owner) : QObject(Owner)
{
    setObjectName(QStringLiteral("DataModuleViewFont"));
    ActionToolBarViewFont = new QToolBar(Owner);
    ActionToolBarViewFont->setObjectName(QStringLiteral("ActionToolBarViewFont"));
    ActionToolBarViewFont->setIconSize(QSize(16, 16));
    ActionToolBarViewFont->setToolButtonStyle(Qt::ToolButtonTextOnly);

    AddDropDown(QStringLiteral("Typeface"), ActionTypeface, ButtonTypeface, MenuTypeface);

    ButtonedEditSize = new TButtonedEdit(ActionToolBarViewFont);
    ButtonedEditSize->setObjectName(QStringLiteral("ButtonedEditSize"));
    ButtonedEditSize->setFixedWidth(80);
    ActionSize = new QWidgetAction(this);
    ActionSize->setObjectName(QStringLiteral("ActionSize"));
    ActionSize->setDefaultWidget(ButtonedEditSize);
    ActionToolBarViewFont->addAction(ActionSize);

    AddDropDown(QStringLiteral("Sample"), ActionSample, ButtonSample, MenuSample);
    FormCreate();
}

void TDataModuleViewFont::AddDropDown(const QString& Name, QAction*& Action, QToolButton*& Button, QMenu*& Menu)
{
    auto* owner = static_cast<QWidget*>(ActionToolBarViewFont->parent());
    Menu = new QMenu(owner);
    Menu->setObjectName(QStringLiteral("Menu") + Name);
    Action = new QAction(QStringLiteral("&") + Name, this);
    Action->setObjectName(QStringLiteral("Action") + Name);
    Button = new QToolButton(ActionToolBarViewFont);
    Button->setObjectName(QStringLiteral("Button") + Name);
    Button->setText(Action->text());
    Button->setMenu(Menu);
    Button->setPopupMode(QToolButton::InstantPopup);
    ActionToolBarViewFont->addWidget(Button);
}

void TDataModuleViewFont::FormCreate()
{
    for (QAction* action : {ActionTypeface, static_cast<QAction*>(ActionSize), ActionSample}) action->setEnabled(true);
}
