#include "koAtelierFrame.h"

#include "koScrollBox.h"
#include "model/koResources.h"
#include "platform/Format.h"
#include "platform/Languages.h"

#include <QEvent>
#include <QFrame>
#include <QLocale>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cmath>

namespace {
const QRgb TransparentKey = qRgb(255, 254, 255);

// Qt must not see exceptions: event handlers run guarded.
void Guarded(const std::function<void()>& Handler) { GuardedCall(Handler); }
} // namespace

// TResourceItemButton

QSize ResourceButtonThumbnailSize(int W, int H)
{
    const auto mulDiv = [](int a, int b, int c) { return static_cast<int>(std::lround(double(a) * b / c)); };
    if (W >= 8 && W <= 80 && H >= 16 && H <= 64) return {W, H};
    if (W > 80 || H > 64) {
        if (double(H) / 64 >= double(W) / 80) return {std::max(16, mulDiv(64, W, H)), 64};
        return {80, std::max(16, mulDiv(80, H, W))};
    }
    if (double(H) / 16 >= double(W) / 8) return {8, std::min(64, mulDiv(8, H, W))};
    return {std::min(64, mulDiv(16, W, H)), 16};
}

TResourceItemButton::TResourceItemButton(QWidget* Owner) : TCustomFancyGlyphButton(Owner) { setCheckable(true); }

TResourceItemButton::~TResourceItemButton()
{
    SetResourceItem(nullptr);
    delete FDivider.data();
}

void TResourceItemButton::SetResourceItem(TCustomResourceItem* Value)
{
    if (Value == FResourceItem) return;
    if (FResourceItem) {
        TCustomResourceItem* old = FResourceItem;
        FResourceItem = nullptr;
        old->Unsubscribe(this);
    }
    FResourceItem = Value;
    if (Value) {
        Value->Subscribe(this);
        ScheduleUpdate();
    }
}

void TResourceItemButton::ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification)
{
    if (Notification == rnUnsubscribe && Item == FResourceItem) {
        FResourceItem = nullptr;
        update();
    } else if (Notification == rnChanged) {
        ScheduleUpdate();
    }
}

void TResourceItemButton::UpdateGlyph(QImage& Glyph, QString& Title, QString& Description)
{
    if (!FResourceItem) return;
    if (Title.isEmpty()) Title = FResourceItem->Description();
    if (TResourceItemViewFactoryClass factory = ResourceItemViewDatabase()->Find(FResourceItem)) {
        try {
            IResourceItemViewPtr view = factory->CreateView();
            view->SetResourceItem(FResourceItem);
            QSize size;
            if (view->GetImageSize(size) && size.width() > 0 && size.height() > 0) {
                if (Title.isEmpty() || Title == FResourceItem->FriendlyName())
                    Title = QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height());
                const QSize thumb = ResourceButtonThumbnailSize(size.width(), size.height());
                QImage image(thumb, QImage::Format_ARGB32);
                // Transparent underneath, so pictures with alpha keep it; views that paint the key
                // colour for transparency still get it cut out below.
                image.fill(Qt::transparent);
                {
                    QPainter canvas(&image);
                    view->Draw(canvas, image.rect());
                }
                // The key colour stands for transparency.
                for (int y = 0; y < image.height(); ++y) {
                    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                    for (int x = 0; x < image.width(); ++x)
                        if (line[x] == (TransparentKey | 0xFF000000u)) line[x] = 0;
                }
                Glyph = image;
            }
        } catch (...) {
            Glyph = QImage();
        }
    }
    if (Description.isEmpty()) Description = VariantLanguageName(FResourceItem->Language());
}

bool TResourceItemButton::event(QEvent* Event)
{
    if (Event->type() == QEvent::ToolTip) UpdateButton();
    return TCustomFancyGlyphButton::event(Event);
}

QString VariantLanguageName(uint16_t LanguageID)
{
    const QString name = LanguageIDToString(LanguageID);
    if (name != QString::number(LanguageID)) return name;
    return Format("Language 0x%.4X", {int(LanguageID)});
}

int UserLanguageID()
{
    QLocale locale;
    // The POSIX locale of a session without LANG speaks American English.
    if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
    const QString language = QLocale::languageToString(locale.language());
    const QString full = language + QStringLiteral(" (") + QLocale::territoryToString(locale.territory()) + QLatin1Char(')');
    int primary = -1;
    for (const TLanguageInfo* info : Languages()) {
        const QString name = QString::fromUtf8(info->Name);
        if (name == full) return info->LangID;
        if (primary < 0 && name.startsWith(language + QStringLiteral(" ("))) primary = info->LangID;
    }
    return primary;
}

TCustomResourceItem* PreferredVariant(TResourceItemList* Items, int UserLanguage)
{
    if (Items->Count() == 0) return nullptr;
    const auto find = [Items](const std::function<bool(uint16_t)>& Match) -> TCustomResourceItem* {
        for (TCustomResourceItem* item : *Items)
            if (Match(item->Language())) return item;
        return nullptr;
    };
    if (TCustomResourceItem* neutral = find([](uint16_t id) { return id == 0; })) return neutral;
    if (UserLanguage >= 0) {
        if (TCustomResourceItem* user = find([&](uint16_t id) { return id == UserLanguage; })) return user;
        const uint16_t primary = PrimaryLangID(uint16_t(UserLanguage));
        if (TCustomResourceItem* related = find([&](uint16_t id) { return PrimaryLangID(id) == primary; })) return related;
    }
    // Language variants show in language order; the members of a group in their own.
    TCustomResourceItem* first = Items->Items(0);
    if (!first->Parent())
        for (TCustomResourceItem* item : *Items)
            if (uint16_t(item->Language()) < uint16_t(first->Language())) first = item;
    return first;
}

// TResourceButtonList

void TResourceButtonList::Remove(TResourceItemButton* Button)
{
    const int index = IndexOf(Button);
    if (index >= 0) Delete(index);
}

void TResourceButtonList::Delete(int Index)
{
    TResourceItemButton* button = FList.at(Index);
    FList.erase(FList.begin() + Index);
    delete button;
}

int TResourceButtonList::IndexOf(const TResourceItemButton* Button) const
{
    for (int i = 0; i < Count(); ++i)
        if (FList[i] == Button) return i;
    return -1;
}

int TResourceButtonList::IndexOfItem(const TCustomResourceItem* Item) const
{
    for (int i = Count() - 1; i >= 0; --i)
        if (FList[i]->ResourceItem() == Item) return i;
    return -1;
}

void TResourceButtonList::Move(int OldIndex, int NewIndex)
{
    TResourceItemButton* button = FList.at(OldIndex);
    FList.erase(FList.begin() + OldIndex);
    FList.insert(FList.begin() + NewIndex, button);
}

void TResourceButtonList::Clear()
{
    std::vector<TResourceItemButton*> list;
    list.swap(FList);
    for (TResourceItemButton* button : list) delete button;
}

// Variant and frame buttons of the frame

TResourceItemButton* TFrameAtelier::ButtonOfItem(const TResourceButtonList& List, TCustomResourceItem* Item) const
{
    const int index = Item ? List.IndexOfItem(Item) : -1;
    return index >= 0 ? List[index] : nullptr;
}

void TFrameAtelier::FillVariantButtons(TCustomTreeNodeResourceItem* Node, bool Clear)
{
    ATELIER_ASSERT(Node != nullptr);
    if (Clear) FChildButtons.Clear();
    for (TCustomResourceItem* item : *Node->Items()) AddVariantButton(item);
}

void TFrameAtelier::AddVariantButton(TCustomResourceItem* Item)
{
    if (FChildButtons.IndexOfItem(Item) >= 0) return;
    auto* layout = static_cast<QVBoxLayout*>(FFlowPanelChildren->layout());
    auto* button = new TResourceItemButton(FFlowPanelChildren);
    button->setAutoExclusive(true);
    button->SetOutlineColor(palette().color(QPalette::Window));
    button->SetResourceItem(Item);
    connect(button, &QAbstractButton::clicked, this, [this, button] { Guarded([&] { VariantButtonClick(button); }); });
    // The divider carries its own margins, so that it leaves no space behind when its button goes.
    auto* divider = new QWidget(FFlowPanelChildren);
    auto* dividerLayout = new QVBoxLayout(divider);
    dividerLayout->setContentsMargins(0, 4, 0, 4);
    auto* line = new QFrame(divider);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette dividerPalette = line->palette();
    dividerPalette.setColor(QPalette::Window, clGradientInactiveCaption());
    line->setPalette(dividerPalette);
    dividerLayout->addWidget(line);
    button->SetDivider(divider);
    // Language variants follow their language identifiers; the members of a group keep their order.
    int at = FChildButtons.Count();
    if (!Item->Parent())
        while (at > 0) {
            TCustomResourceItem* before = FChildButtons[at - 1]->ResourceItem();
            if (!before || before->Parent() || uint16_t(before->Language()) <= uint16_t(Item->Language())) break;
            --at;
        }
    // Each button and its divider come before the closing stretch.
    layout->insertWidget(2 * at, button);
    layout->insertWidget(2 * at + 1, divider);
    FChildButtons.Insert(at, button);
}

void TFrameAtelier::AddFrameButton(TCustomResourceItem* Item)
{
    auto* layout = static_cast<QVBoxLayout*>(FFlowPanelFrames->layout());
    auto* button = new TResourceItemButton(FFlowPanelFrames);
    button->setAutoExclusive(true);
    button->SetOutlineColor(palette().color(QPalette::Window));
    button->SetResourceItem(Item);
    SetFrameButtonCaption(button);
    connect(button, &QAbstractButton::clicked, this, [this, button] { Guarded([&] { FrameButtonClick(button); }); });
    layout->insertWidget(layout->count() - 1, button);
    FFrameButtons.Add(button);
}

void TFrameAtelier::SetFrameButtonCaption(TResourceItemButton* Button)
{
    TCustomResourceItem* item = Button->ResourceItem();
    const int index = item && item->Parent() ? item->Parent()->Items()->IndexOf(item) : 0;
    Button->SetTitle(Format("Frame #%d", {index}));
    Button->SetDescription(item ? item->Description() : QString());
}

void TFrameAtelier::VariantButtonClick(TResourceItemButton* Button)
{
    SelectChild(Button->ResourceItem());
    Button->setChecked(true);
}

void TFrameAtelier::FrameButtonClick(TResourceItemButton* Button)
{
    Button->setChecked(true);
    SelectFrame(Button->ResourceItem());
}
