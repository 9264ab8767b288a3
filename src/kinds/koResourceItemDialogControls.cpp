#include "koResourceItemDialogControls.h"

#include "koResourceItemBitmap.h"
#include "koResourceItemIconCursor.h"
#include "koResourceItemImage.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

// Unnamed values are written as numbers, in the form every table below uses.
QString NumberToken(uint32_t Value) { return Format(QStringLiteral("0x%.8XL"), {Value}); }

const char* const ButtonKinds[] = {
    "BS_PUSHBUTTON", "BS_DEFPUSHBUTTON", "BS_CHECKBOX",     "BS_AUTOCHECKBOX",    "BS_RADIOBUTTON", "BS_3STATE",
    "BS_AUTO3STATE", "BS_GROUPBOX",      "BS_USERBUTTON",   "BS_AUTORADIOBUTTON", nullptr,          "BS_OWNERDRAW",
    "BS_SPLITBUTTON", "BS_DEFSPLITBUTTON", "BS_COMMANDLINK", "BS_DEFCOMMANDLINK",
};
const char* const ButtonFlags[16] = {
    nullptr,   nullptr,  nullptr,     nullptr,      nullptr,        "BS_LEFTTEXT", "BS_ICON",   "BS_BITMAP",
    "BS_LEFT", "BS_RIGHT", "BS_TOP", "BS_BOTTOM", "BS_PUSHLIKE", "BS_MULTILINE", "BS_NOTIFY", "BS_FLAT",
};

const char* const StaticKinds[] = {
    "SS_LEFT",      "SS_CENTER",     "SS_RIGHT",       "SS_ICON",          "SS_BLACKRECT", "SS_GRAYRECT",
    "SS_WHITERECT", "SS_BLACKFRAME", "SS_GRAYFRAME",   "SS_WHITEFRAME",    "SS_USERITEM",  "SS_SIMPLE",
    "SS_LEFTNOWORDWRAP", "SS_OWNERDRAW", "SS_BITMAP", "SS_ENHMETAFILE", "SS_ETCHEDHORZ", "SS_ETCHEDVERT",
    "SS_ETCHEDFRAME",
};
const char* const StaticFlags[16] = {
    nullptr,     nullptr,          nullptr,           nullptr,     nullptr, nullptr, "SS_REALSIZECONTROL", "SS_NOPREFIX",
    "SS_NOTIFY", "SS_CENTERIMAGE", "SS_RIGHTJUST", "SS_REALSIZEIMAGE", "SS_SUNKEN", nullptr, "SS_ENDELLIPSIS",
    "SS_PATHELLIPSIS",
};

const char* const EditKinds[] = {"ES_LEFT", "ES_CENTER", "ES_RIGHT"};
const char* const EditFlags[16] = {
    nullptr,          nullptr,          "ES_MULTILINE", "ES_UPPERCASE",  "ES_LOWERCASE", "ES_PASSWORD",
    "ES_AUTOVSCROLL", "ES_AUTOHSCROLL", "ES_NOHIDESEL", nullptr,         "ES_OEMCONVERT", "ES_READONLY",
    "ES_WANTRETURN",  "ES_NUMBER",      nullptr,        nullptr,
};

const char* const ComboKinds[] = {nullptr, "CBS_SIMPLE", "CBS_DROPDOWN", "CBS_DROPDOWNLIST"};
const char* const ComboFlags[16] = {
    nullptr,    nullptr,          nullptr,  nullptr,  "CBS_OWNERDRAWFIXED", "CBS_OWNERDRAWVARIABLE", "CBS_AUTOHSCROLL",
    "CBS_OEMCONVERT", "CBS_SORT", "CBS_HASSTRINGS", "CBS_NOINTEGRALHEIGHT", "CBS_DISABLENOSCROLL", nullptr,
    "CBS_UPPERCASE", "CBS_LOWERCASE", nullptr,
};

const char* const ListFlags[16] = {
    "LBS_NOTIFY",         "LBS_SORT",          "LBS_NOREDRAW",       "LBS_MULTIPLESEL",
    "LBS_OWNERDRAWFIXED", "LBS_OWNERDRAWVARIABLE", "LBS_HASSTRINGS", "LBS_USETABSTOPS",
    "LBS_NOINTEGRALHEIGHT", "LBS_MULTICOLUMN", "LBS_WANTKEYBOARDINPUT", "LBS_EXTENDEDSEL",
    "LBS_DISABLENOSCROLL", "LBS_NODATA",       "LBS_NOSEL",          "LBS_COMBOBOX",
};

const char* const ScrollKinds[] = {"SBS_HORZ", "SBS_VERT"};
const char* const ScrollFlags[16] = {
    nullptr, "SBS_SIZEBOXTOPLEFTALIGN", "SBS_SIZEBOXBOTTOMRIGHTALIGN", "SBS_SIZEBOX", "SBS_SIZEGRIP",
};

const char* const NoFlags[16] = {};

template <int N>
constexpr TControlStyleNames Names(uint32_t Mask, const char* const (&Kinds)[N], const char* const* Flags)
{
    return {Mask, Kinds, N, Flags};
}

const TControlStyleNames ButtonNames = Names(TDialogControlButtonProperties::KindMask, ButtonKinds, ButtonFlags);
const TControlStyleNames StaticNames = Names(TDialogControlStaticProperties::KindMask, StaticKinds, StaticFlags);
const TControlStyleNames EditNames = Names(TDialogControlEditProperties::KindMask, EditKinds, EditFlags);
const TControlStyleNames ComboNames = Names(TDialogControlComboboxProperties::KindMask, ComboKinds, ComboFlags);
const TControlStyleNames ListNames = {0, nullptr, 0, ListFlags};
const TControlStyleNames ScrollNames = Names(TDialogControlScrollbarProperties::KindMask, ScrollKinds, ScrollFlags);
const TControlStyleNames DefaultNames = {0, nullptr, 0, NoFlags};

// The view class for a control.
template <class T>
std::unique_ptr<TDialogControlProperties> MakeView(TDialogResourceItemControl* Control)
{
    return std::make_unique<T>(Control);
}

TDialogControlPropertiesClass ChooseView(const TDialogResourceItemControl* Control)
{
    switch (Control->ControlClass()) {
    case ccButton:
        return &MakeView<TDialogControlButtonProperties>;
    case ccEdit:
        return &MakeView<TDialogControlEditProperties>;
    case ccStatic:
        return &MakeView<TDialogControlStaticProperties>;
    case ccListbox:
        return &MakeView<TDialogControlListboxProperties>;
    case ccScrollbar:
        return &MakeView<TDialogControlScrollbarProperties>;
    case ccCombobox:
        return &MakeView<TDialogControlComboboxProperties>;
    case ccCustom:
        break;
    }
    const QString name = Control->ControlClassName();
    if (name.compare(QLatin1String("REComboBox20W"), Qt::CaseInsensitive) == 0)
        return &MakeView<TDialogControlComboboxProperties>;
    if (name.compare(QLatin1String("REListBox20W"), Qt::CaseInsensitive) == 0)
        return &MakeView<TDialogControlListboxProperties>;
    return &MakeView<TDialogControlDefaultProperties>;
}

TDialogControlPropertiesChooser PreviousChooser = nullptr;

// --- Images of static controls ---------------------------------------------------------------------

// The size of icons a static control shows without SS_REALSIZEIMAGE.
const int SystemIconSize = 32;
const uint32_t SS_REALSIZEIMAGE = 0x0800;

bool HasType(TCustomResourceItem* Item, uint16_t Type)
{
    return Item->ResourceType() == TResourceIdent::FromOrdinal(Type);
}

TCustomResourceItem* FindImage(TCustomResourceModule* Module, uint16_t Type, const TResourceIdent& Name)
{
    return Module ? Module->Find(TResourceIdent::FromOrdinal(Type), Name) : nullptr;
}

// An icon group or animation as the control shows it: the image of the system icon size (an animation
// without one stands for itself), or with SS_REALSIZEIMAGE the first image.
TCustomResourceItem* NarrowIcon(TCustomResourceItem* Item, bool RealSize)
{
    if (RealSize) return Item->HasItems() && Item->Items()->Count() > 0 ? Item->Items()->Items(0) : Item;
    if (TBasicGraphicResourceItem* match =
            TBasicGraphicResourceItem::FindMatch(Item, SystemIconSize, SystemIconSize, true))
        return match;
    auto* graphic = qobject_cast<TBasicGraphicResourceItem*>(Item);
    if (graphic && graphic->Width() == SystemIconSize && graphic->Height() == SystemIconSize) return graphic;
    return nullptr;
}

// The pixels of an image item; null for a type the control cannot show or data that is no image.
QImage ItemImage(TCustomResourceItem* Item)
{
    try {
        if (HasType(Item, RT_BITMAP)) {
            std::unique_ptr<TBitmap> bitmap = TCustomBitmapResourceItem::ItemToBitmap(Item);
            return bitmap ? bitmap->ToQImage() : QImage();
        }
        if (HasType(Item, RT_ICON) || HasType(Item, RT_ANIICON)) return ItemToIcon(Item, true)->ToQImage();
        if (HasType(Item, RT_CURSOR) || HasType(Item, RT_ANICURSOR)) return ItemToIcon(Item, false)->ToQImage();
    } catch (const Exception&) {
    } catch (const std::exception&) {
    }
    return {};
}

QImage NewIconCanvas()
{
    QImage image(SystemIconSize, SystemIconSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// A round badge with a white sign, the look of the message icons. Drawn with lines, not text: the core
// library has no fonts to count on.
void DrawBadge(QPainter& Painter, const QColor& Color, bool Question)
{
    Painter.setPen(QPen(Color.darker(140), 1));
    Painter.setBrush(Color);
    Painter.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    Painter.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
    Painter.setBrush(Qt::NoBrush);
    if (Question) {
        QPainterPath hook;
        hook.moveTo(11, 12);
        hook.cubicTo(11, 5, 21, 5, 21, 11.5);
        hook.cubicTo(21, 15.5, 16, 15.5, 16, 19.5);
        Painter.drawPath(hook);
    } else {
        Painter.drawLine(QPointF(16, 14), QPointF(16, 24));
    }
    Painter.drawPoint(QPointF(16, Question ? 24.5 : 8.5));
}

void DrawWindow(QPainter& Painter)
{
    Painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
    Painter.setBrush(Qt::white);
    Painter.drawRect(QRectF(2.5, 4.5, 27, 23));
    Painter.setBrush(QColor(0x1E, 0x5A, 0xB4));
    Painter.drawRect(QRectF(2.5, 4.5, 27, 5));
}
} // namespace

// --- Views ------------------------------------------------------------------------------------------

uint32_t TDialogControlStyleProperties::KindBits(uint32_t Mask) const { return DialogItem()->Style() & Mask; }

void TDialogControlStyleProperties::SetKindBits(uint32_t Mask, uint32_t Value)
{
    DialogItem()->SetStyle((DialogItem()->Style() & ~Mask) | (Value & Mask));
}

uint32_t TDialogControlStyleProperties::LowWord() const { return DialogItem()->Style() & 0xFFFF; }

void TDialogControlStyleProperties::SetLowWord(uint32_t Value)
{
    DialogItem()->SetStyle((DialogItem()->Style() & 0xFFFF0000u) | (Value & 0xFFFF));
}

QString TDialogControlStyleProperties::StyleAsString(const TControlStyleNames& Names) const
{
    const uint32_t word = LowWord();
    QStringList pieces;
    if (Names.KindMask != 0) {
        const uint32_t kind = word & Names.KindMask;
        const char* name = int(kind) < Names.KindCount ? Names.KindNames[kind] : nullptr;
        pieces << (name ? QString::fromLatin1(name) : NumberToken(kind));
    }
    for (int bit = 0; bit < 16; ++bit) {
        const uint32_t value = uint32_t(1) << bit;
        if (!(word & value) || value <= Names.KindMask) continue;
        const char* name = Names.FlagNames[bit];
        pieces << (name ? QString::fromLatin1(name) : NumberToken(value));
    }
    return pieces.join(QStringLiteral(" | "));
}

QString TDialogControlDefaultProperties::ControlStyleAsString() const { return StyleAsString(DefaultNames); }
QString TDialogControlButtonProperties::ControlStyleAsString() const { return StyleAsString(ButtonNames); }
QString TDialogControlStaticProperties::ControlStyleAsString() const { return StyleAsString(StaticNames); }
QString TDialogControlEditProperties::ControlStyleAsString() const { return StyleAsString(EditNames); }
QString TDialogControlComboboxProperties::ControlStyleAsString() const { return StyleAsString(ComboNames); }
QString TDialogControlListboxProperties::ControlStyleAsString() const { return StyleAsString(ListNames); }
QString TDialogControlScrollbarProperties::ControlStyleAsString() const { return StyleAsString(ScrollNames); }

void TDialogControlStaticProperties::UpdateControl(IDialogStaticImageControl* Control)
{
    TDialogResourceItemControl* control = DialogItem();
    const uint32_t type = control->Style() & SS_TYPEMASK;
    if (type != SS_ICON && type != SS_BITMAP && type != SS_ENHMETAFILE) return;
    TCustomResourceModule* module = control->Dialog() ? control->Dialog()->Module() : nullptr;
    const TResourceIdent name(control->Text());
    const bool ordinal = IsOrdinalResourceIdent(name);
    int imageType = IDialogStaticImageControl::itEnhMetafile;
    QImage image;
    if (type == SS_BITMAP) {
        imageType = IDialogStaticImageControl::itBitmap;
        // The system's own bitmaps by ordinal are not carried: such a reference shows as missing.
        if (TCustomResourceItem* item = FindImage(module, RT_BITMAP, name)) image = ItemImage(item);
    } else if (type == SS_ICON) {
        imageType = IDialogStaticImageControl::itIcon;
        const bool realSize = control->Style() & SS_REALSIZEIMAGE;
        TCustomResourceItem* item = FindImage(module, RT_GROUP_ICON, name);
        if (!item) item = FindImage(module, RT_ANIICON, name);
        if (!item && realSize) item = FindImage(module, RT_GROUP_CURSOR, name);
        if (!item && realSize) item = FindImage(module, RT_ANICURSOR, name);
        if (item) item = NarrowIcon(item, realSize);
        if (item) image = ItemImage(item);
        if (!item && ordinal) image = DialogSystemIcon(ResourceIdentOrdinal(name));
    }
    if (image.isNull()) image = DialogMissingImage(imageType);
    Control->SetImage(imageType, image);
}

// --- Pictures ---------------------------------------------------------------------------------------

QImage DialogSystemIcon(uint16_t Ordinal)
{
    if (Ordinal < 32512 || Ordinal > 32518) return {};
    QImage image = NewIconCanvas();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (Ordinal) {
    case 32512: // application
        DrawWindow(painter);
        break;
    case 32513: // hand (error)
        painter.setPen(QPen(QColor(0x90, 0x10, 0x10), 1));
        painter.setBrush(QColor(0xD8, 0x20, 0x20));
        painter.drawEllipse(QRectF(1.5, 1.5, 29, 29));
        painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(10, 10), QPointF(22, 22));
        painter.drawLine(QPointF(22, 10), QPointF(10, 22));
        break;
    case 32514: // question
        DrawBadge(painter, QColor(0x1E, 0x5A, 0xB4), true);
        break;
    case 32515: { // exclamation (warning)
        const QPolygonF triangle({QPointF(16, 2), QPointF(30.5, 29.5), QPointF(1.5, 29.5)});
        painter.setPen(QPen(QColor(0x80, 0x60, 0x00), 1));
        painter.setBrush(QColor(0xF8, 0xC8, 0x20));
        painter.drawPolygon(triangle);
        painter.setPen(QPen(Qt::black, 3.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(16, 11), QPointF(16, 20));
        painter.drawPoint(QPointF(16, 25.5));
        break;
    }
    case 32516: // asterisk (information)
        DrawBadge(painter, QColor(0x1E, 0x5A, 0xB4), false);
        break;
    case 32517: // logo: the application window with a second one behind it
        painter.translate(3, -2);
        painter.scale(0.8, 0.8);
        DrawWindow(painter);
        painter.resetTransform();
        painter.translate(0, 5);
        painter.scale(0.8, 0.8);
        DrawWindow(painter);
        break;
    case 32518: { // shield
        QPainterPath shield;
        shield.moveTo(16, 2);
        shield.lineTo(28, 7);
        shield.cubicTo(28, 19, 23, 26, 16, 30);
        shield.cubicTo(9, 26, 4, 19, 4, 7);
        shield.closeSubpath();
        painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
        painter.setBrush(QColor(0x1E, 0x5A, 0xB4));
        painter.drawPath(shield);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xF8, 0xC8, 0x20));
        painter.drawRect(QRectF(16, 7, 9, 10));
        painter.drawRect(QRectF(7, 17, 9, 9));
        break;
    }
    }
    return image;
}

QImage DialogMissingImage(int ImageType)
{
    if (ImageType != IDialogStaticImageControl::itBitmap && ImageType != IDialogStaticImageControl::itIcon &&
        ImageType != IDialogStaticImageControl::itCursor)
        return {};
    // A picture frame with a red cross: there should be an image here.
    QImage image = NewIconCanvas();
    if (ImageType == IDialogStaticImageControl::itBitmap) image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
    painter.setBrush(QColor(0xF0, 0xF0, 0xF0));
    painter.drawRect(QRectF(2.5, 4.5, 27, 23));
    painter.setPen(QPen(QColor(0x40, 0x90, 0x40), 1.5));
    painter.drawLine(QPointF(5, 24), QPointF(12, 15));
    painter.drawLine(QPointF(12, 15), QPointF(17, 21));
    painter.drawLine(QPointF(17, 21), QPointF(21, 17));
    painter.drawLine(QPointF(21, 17), QPointF(27, 24));
    painter.setPen(QPen(QColor(0xD0, 0x20, 0x20), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(9, 9), QPointF(23, 23));
    painter.drawLine(QPointF(23, 9), QPointF(9, 23));
    return image;
}

void koResourceItemDialogControls_Initialize() { PreviousChooser = SetDialogControlPropertiesFactory(&ChooseView); }

void koResourceItemDialogControls_Finalize()
{
    SetDialogControlPropertiesFactory(PreviousChooser);
    PreviousChooser = nullptr;
}
