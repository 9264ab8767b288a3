#include "koResourceItemDialog.h"

#include "model/koResources.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/StringList.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <QFont>
#include <QStringList>

#include <algorithm>

namespace {
const char* const SDialog = "Dialog";
const char* const SNativeFontReplaced =
    "The Native Font Control has been deprecated. A hidden static control has been created in its place.";
const char* const SChildPopupExclusive = "WS_CHILD and WS_POPUP styles are mutually exclusive";
const char* const SSymbolNotResolved = "Symbol not resolved for DIALOG control: %s";
const char* const SFewerControls = "Dialog template holds fewer controls than its header declares (%d of %d read)";
const char* const SHeaderCutShort = "Dialog template is too short for its header (%d bytes)";
const char* const SNativeFontCtl = "NativeFontCtl";

// Strings of a template hold at most this many characters.
const int MaxTemplateString = 4096;
const uint16_t ExtendedSignature = 0xFFFF;
const uint32_t DefaultWidth = 186;
const uint32_t DefaultHeight = 95;
const uint32_t NewDialogStyle = 0x90C800C0;
const uint16_t FontWeightBold = 700;

const char* const ClassDisplayNames[] = {"", "Button", "Edit", "Static", "Listbox", "Scrollbar", "Combobox"};
const uint16_t FirstClassOrdinal = 0x0080;

const char* const WindowExStyleNames[32] = {
    "WS_EX_DLGMODALFRAME", "0x00000002L", "WS_EX_NOPARENTNOTIFY", "WS_EX_TOPMOST", "WS_EX_ACCEPTFILES",
    "WS_EX_TRANSPARENT", "WS_EX_MDICHILD", "WS_EX_TOOLWINDOW", "WS_EX_WINDOWEDGE", "WS_EX_CLIENTEDGE",
    "WS_EX_CONTEXTHELP", "0x00000800L", "WS_EX_RIGHT", "WS_EX_RTLREADING", "WS_EX_LEFTSCROLLBAR", "0x00008000L",
    "WS_EX_CONTROLPARENT", "WS_EX_STATICEDGE", "WS_EX_APPWINDOW", "WS_EX_LAYERED", "WS_EX_NOINHERITLAYOUT",
    "0x00200000L", "WS_EX_LAYOUTRTL", "0x00800000L", "0x01000000L", "WS_EX_COMPOSITED", "0x04000000L",
    "WS_EX_NOACTIVATE", "0x10000000L", "0x20000000L", "0x40000000L", "0x80000000L"};

const char* const DialogStyleNames[16] = {
    "DS_ABSALIGN", "DS_SYSMODAL", "DS_3DLOOK", "DS_FIXEDSYS", "DS_NOFAILCREATE", "DS_LOCALEDIT", "DS_SETFONT",
    "DS_MODALFRAME", "DS_NOIDLEMSG", "DS_SETFOREGROUND", "DS_CONTROL", "DS_CENTER", "DS_CENTERMOUSE",
    "DS_CONTEXTHELP", "0x00004000L", "0x00008000L"};

const char* const DialogWindowStyleNames[16] = {
    "WS_MAXIMIZEBOX", "WS_MINIMIZEBOX", "WS_THICKFRAME", "WS_SYSMENU", "WS_HSCROLL", "WS_VSCROLL",
    "WS_DLGFRAME", "WS_BORDER", "WS_MAXIMIZE", "WS_CLIPCHILDREN", "WS_CLIPSIBLINGS", "WS_DISABLED",
    "WS_VISIBLE", "WS_MINIMIZE", "WS_CHILD", "WS_POPUP"};

const char* const ControlWindowStyleNames[16] = {
    "WS_TABSTOP", "WS_GROUP", "WS_THICKFRAME", "WS_SYSMENU", "WS_HSCROLL", "WS_VSCROLL",
    "WS_DLGFRAME", "WS_BORDER", "WS_MAXIMIZE", "WS_CLIPCHILDREN", "WS_CLIPSIBLINGS", "WS_DISABLED",
    "WS_VISIBLE", "WS_MINIMIZE", "WS_CHILD", "WS_POPUP"};

// The names of the set bits of Value, bit 0 first, named from the table.
void AppendBitNames(QStringList& Pieces, uint32_t Value, const char* const* Names, int Count)
{
    for (int bit = 0; bit < Count; ++bit)
        if (Value & (uint32_t(1) << bit)) Pieces.append(QString::fromLatin1(Names[bit]));
}

// A "NOT name" piece for each bit of Mask (bit 0 first) that Value lacks.
void AppendMissingBits(QStringList& Pieces, uint32_t Value, uint32_t Mask, const char* const* Names, int Count)
{
    for (int bit = 0; bit < Count; ++bit) {
        const uint32_t flag = uint32_t(1) << bit;
        if ((Mask & flag) && !(Value & flag)) Pieces.append(QStringLiteral("NOT ") + QString::fromLatin1(Names[bit]));
    }
}

QString JoinStyle(const QStringList& Pieces) { return Pieces.join(QStringLiteral(" | ")); }

// Little-endian fields of a template stream; a field that the data cannot supply reads as 0.
uint16_t ReadWordOrZero(TStream& Stream)
{
    uint8_t b[2] = {0, 0};
    Stream.Read(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint8_t ReadByteOrZero(TStream& Stream)
{
    uint8_t b = 0;
    Stream.Read(&b, 1);
    return b;
}

// Moves to the next multiple of 4 counted from Start, but never past the end of the data.
void SkipToAlignment(TStream& Stream, int64_t Start)
{
    const int64_t offset = Stream.Position() - Start;
    const int64_t aligned = Start + ((offset + 3) & ~int64_t(3));
    Stream.SetPosition(std::min(aligned, Stream.Size()));
}

void WriteAlignment(TStream& Stream, int64_t Start)
{
    AlignStream(Stream, static_cast<int>(Stream.Position() - Start), 4);
}

void LogNativeFontReplaced() { LogMessage(QString::fromLatin1(SNativeFontReplaced), rmWarning); }

// Setters compare, and store a different value inside a batch of the owner.
template <typename TOwner, typename T>
void StoreInBatch(TOwner* Owner, T& Field, const T& Value)
{
    if (Field == Value) return;
    TUpdateGuard batch(Owner);
    Field = Value;
}

TDialogControlPropertiesChooser& ControlPropertiesChooser()
{
    static TDialogControlPropertiesChooser chooser = nullptr;
    return chooser;
}
} // namespace

// Classes and style texts

uint16_t ControlClassOrdinal(TResourceDialogControlClass Value)
{
    return Value == ccCustom ? 0 : static_cast<uint16_t>(FirstClassOrdinal + int(Value) - int(ccButton));
}

QString ControlClassDisplayName(TResourceDialogControlClass Value)
{
    return QString::fromLatin1(ClassDisplayNames[int(Value)]);
}

TResourceDialogControlClass ControlClassOfClassName(const QString& ClassName)
{
    if (!IsOrdinalResourceIdent(ClassName)) return ccCustom;
    const uint16_t ordinal = ResourceIdentOrdinal(ClassName);
    if (ordinal < FirstClassOrdinal || ordinal > FirstClassOrdinal + (int(ccCombobox) - int(ccButton))) return ccCustom;
    return static_cast<TResourceDialogControlClass>(int(ccButton) + ordinal - FirstClassOrdinal);
}

QString WindowExStyleAsString(uint32_t ExStyle)
{
    if (ExStyle == 0) return QStringLiteral("0");
    QStringList pieces;
    AppendBitNames(pieces, ExStyle, WindowExStyleNames, 32);
    return JoinStyle(pieces);
}

// TDialogControlProperties

QString TDialogControlProperties::ControlStyleAsString() const
{
    return Format("0x%.8XL", {FDialogItem->Style() & 0xFFFF});
}

TDialogControlPropertiesChooser SetDialogControlPropertiesFactory(TDialogControlPropertiesChooser Chooser)
{
    return std::exchange(ControlPropertiesChooser(), Chooser);
}

// TDialogFont

void TDialogFont::Change()
{
    if (OnChange) OnChange();
}

void TDialogFont::SetName(const QString& Value)
{
    if (Value == FName) return;
    FName = Value;
    Change();
}

void TDialogFont::SetCharset(uint8_t Value)
{
    if (Value == FCharset) return;
    FCharset = Value;
    Change();
}

void TDialogFont::SetSize(uint16_t Value)
{
    if (Value == FSize) return;
    FSize = Value;
    Change();
}

void TDialogFont::SetStyle(TDialogFontStyle Value)
{
    if (Value == FStyle) return;
    FStyle = Value;
    Change();
}

void TDialogFont::Assign(const TDialogFont& Source)
{
    FName = Source.FName;
    FSize = Source.FSize;
    FCharset = Source.FCharset;
    FStyle = Source.FStyle;
    Change();
}

void TDialogFont::AssignTo(QFont& Dest) const
{
    Dest.setFamily(FName);
    Dest.setPointSize(FSize);
    Dest.setBold(IsBold());
    Dest.setItalic(IsItalic());
}

// Identifiers

TCustomResourceOrdinalIdentifier* TResourceDialogHelpIdentifier::GetItemIdentifier() const { return FItem->ID(); }

TResourceIdent TDialogControlTextIdentifier::GetIdentifierValue() const { return TResourceIdent(FControl->Text()); }

void TDialogControlTextIdentifier::StoreIdentifierValue(const TResourceIdent& V) { FControl->SetText(V); }

// TDialogResourceItemControl

TDialogResourceItemControl::TDialogResourceItemControl(TCustomResourceItemItems* ACollection)
    : TResourceItemItem<TDialogResourceItem>(ACollection),
      FID(std::make_unique<TResourceDialogIdentifier>(ACollection->ResourceItem(), this)),
      FHelpID(std::make_unique<TResourceDialogHelpIdentifier>(ACollection->ResourceItem(), this)),
      FTextID(std::make_unique<TDialogControlTextIdentifier>(ACollection->ResourceItem(), this))
{
}

TDialogResourceItemControl::~TDialogResourceItemControl() = default;

void TDialogResourceItemControl::SetStyle(uint32_t Value)
{
    if (Value == FStyle) return;
    TUpdateGuard batch(this);
    const uint32_t both = WS_CHILD | WS_POPUP;
    if ((Value & both) == both) {
        LogMessage(QString::fromLatin1(SChildPopupExclusive), rmWarning);
        // The bit just added wins; a style that had neither keeps both.
        Value &= ~(FStyle & both);
    }
    FStyle = Value;
}

void TDialogResourceItemControl::SetExStyle(uint32_t Value) { StoreInBatch(this, FExStyle, Value); }

void TDialogResourceItemControl::SetLeft(uint16_t Value) { StoreInBatch(this, FLeft, Value); }

void TDialogResourceItemControl::SetTop(uint16_t Value) { StoreInBatch(this, FTop, Value); }

void TDialogResourceItemControl::SetWidth(uint16_t Value) { StoreInBatch(this, FWidth, Value); }

void TDialogResourceItemControl::SetHeight(uint16_t Value) { StoreInBatch(this, FHeight, Value); }

void TDialogResourceItemControl::SetText(const QString& Value) { StoreInBatch(this, FText, Value); }

void TDialogResourceItemControl::SetExtra(const QByteArray& Value) { StoreInBatch(this, FExtra, Value); }

void TDialogResourceItemControl::SetID(TCustomResourceOrdinalWordIdentifier* Value)
{
    TUpdateGuard batch(this);
    FID->Assign(Value);
}

void TDialogResourceItemControl::SetHelpID(TCustomResourceHelpIdentifier* Value)
{
    TUpdateGuard batch(this);
    FHelpID->Assign(Value);
}

void TDialogResourceItemControl::SetTextID(TCustomResourceIdentifier* Value) { FTextID->Assign(Value); }

void TDialogResourceItemControl::SetControlClass(TResourceDialogControlClass Value)
{
    if (Value == FControlClass) return;
    TUpdateGuard batch(this);
    FControlStyle.reset();
    FControlClass = Value;
    FClassName = Value == ccCustom ? QString() : TResourceIdent::FromOrdinal(ControlClassOrdinal(Value));
}

QString TDialogResourceItemControl::ControlClassName() const
{
    return FControlClass == ccCustom ? FClassName : ControlClassDisplayName(FControlClass);
}

void TDialogResourceItemControl::SetControlClassName(const QString& Value)
{
    if (Value == FClassName || Value == ControlClassName()) return;
    TUpdateGuard batch(this);
    FControlStyle.reset();
    if (Value.compare(QLatin1String(SNativeFontCtl), Qt::CaseInsensitive) == 0) {
        LogNativeFontReplaced();
        SetStyle(FStyle & ~WS_VISIBLE);
        SetControlClass(ccStatic);
        return;
    }
    for (int c = int(ccCombobox); c >= int(ccButton); --c)
        if (Value.compare(QLatin1String(ClassDisplayNames[c]), Qt::CaseInsensitive) == 0) {
            SetControlClass(static_cast<TResourceDialogControlClass>(c));
            return;
        }
    FControlClass = ccCustom;
    FClassName = Value;
}

TDialogResourceItemControl::TControlWindowStyle TDialogResourceItemControl::WindowStyle() const
{
    return TControlWindowStyle::fromInt(FStyle & 0xFFFF0000);
}

void TDialogResourceItemControl::SetWindowStyle(TControlWindowStyle Value)
{
    SetStyle((uint32_t(Value.toInt()) & 0xFFFF0000) | (FStyle & 0xFFFF));
}

TWindowExStyle TDialogResourceItemControl::WindowExStyle() const { return TWindowExStyle::fromInt(FExStyle); }

void TDialogResourceItemControl::SetWindowExStyle(TWindowExStyle Value) { SetExStyle(Value.toInt()); }

TDialogControlPropertiesClass TDialogResourceItemControl::GetControlStyleClass() const
{
    if (const TDialogControlPropertiesChooser chooser = ControlPropertiesChooser())
        if (const TDialogControlPropertiesClass viewClass = chooser(this)) return viewClass;
    return &TDialogControlProperties::Create;
}

TDialogControlProperties* TDialogResourceItemControl::ControlStyle()
{
    if (!FControlStyle) FControlStyle = GetControlStyleClass()(this);
    return FControlStyle.get();
}

void TDialogResourceItemControl::SetTabOrder(int Value)
{
    const int index = Index();
    if (Value == index) return;
    Collection()->Move(index, Value);
}

QString TDialogResourceItemControl::DisplayName() const { return Format("%s (%s)", {FText, FID->ID()}); }

QString TDialogResourceItemControl::WindowStyleAsString()
{
    QStringList pieces;
    const QString control = ControlStyle()->ControlStyleAsString();
    if (!control.isEmpty()) pieces.append(control);
    const uint32_t high = FStyle >> 16;
    AppendBitNames(pieces, high, ControlWindowStyleNames, 16);
    AppendMissingBits(pieces, high, 0x5000, ControlWindowStyleNames, 16);
    return JoinStyle(pieces);
}

QString TDialogResourceItemControl::MapPropertyName(const QString& Name)
{
    const QString upper = Name.toUpper();
    if (upper == QLatin1String("HELPID")) return QStringLiteral("Help ID");
    if (upper == QLatin1String("TABORDER")) return QStringLiteral("Tab Order");
    if (upper == QLatin1String("CONTROLCLASS")) return QStringLiteral("Control Class");
    if (upper == QLatin1String("CONTROLCLASSNAME")) return QStringLiteral("Class Name");
    if (upper == QLatin1String("CONTROLSTYLE")) return QStringLiteral("Control Style");
    if (upper == QLatin1String("TEXTID")) {
        if (FControlClass == ccStatic) switch (FStyle & SS_TYPEMASK) {
            case SS_ICON: return QStringLiteral("Icon");
            case SS_BITMAP: return QStringLiteral("Bitmap");
            case SS_ENHMETAFILE: return QStringLiteral("Image");
            default: break;
            }
        return QStringLiteral("Text");
    }
    return TResourceItemItem<TDialogResourceItem>::MapPropertyName(Name);
}

void TDialogResourceItemControl::ReplaceNativeFontControl()
{
    LogNativeFontReplaced();
    FStyle &= ~WS_VISIBLE;
    FControlClass = ccStatic;
    FClassName = TResourceIdent::FromOrdinal(ControlClassOrdinal(ccStatic));
}

int TDialogResourceItemControl::LoadFromStream(TStream& Stream, bool Extended)
{
    TUpdateGuard batch(this);
    const int64_t start = Stream.Position();
    if (Extended) {
        FHelpID->SetOrdinalValue(Stream.ReadDWord());
        FExStyle = Stream.ReadDWord();
        FStyle = Stream.ReadDWord();
    } else {
        FHelpID->SetOrdinalValue(0);
        FStyle = Stream.ReadDWord();
        FExStyle = Stream.ReadDWord();
    }
    FLeft = Stream.ReadWord();
    FTop = Stream.ReadWord();
    FWidth = Stream.ReadWord();
    FHeight = Stream.ReadWord();
    FID->SetOrdinalValue(Extended ? static_cast<uint16_t>(Stream.ReadDWord()) : Stream.ReadWord());

    TResourceIdent className;
    ReadResourceIdentEx(Stream, className, MaxTemplateString, true);
    FClassName = className;
    FControlClass = ControlClassOfClassName(FClassName);
    FControlStyle.reset();
    if (FControlClass == ccCustom && FClassName.compare(QLatin1String(SNativeFontCtl), Qt::CaseInsensitive) == 0)
        ReplaceNativeFontControl();

    TResourceIdent title;
    ReadResourceIdent(Stream, title, MaxTemplateString, true);
    FText = title;

    // The extended layout counts the bytes that follow; the standard one counts itself as well.
    const uint16_t count = ReadWordOrZero(Stream);
    int64_t dataSize = count;
    if (!Extended) dataSize = count >= 2 ? count - 2 : 0;
    FExtra = dataSize > 0 ? Stream.ReadBytes(dataSize) : QByteArray();

    SkipToAlignment(Stream, start);
    return static_cast<int>(Stream.Position() - start);
}

void TDialogResourceItemControl::SaveToStream(TStream& Stream)
{
    const int64_t start = Stream.Position();
    Stream.WriteDWord(FHelpID->OrdinalValue());
    Stream.WriteDWord(FExStyle);
    Stream.WriteDWord(FStyle);
    Stream.WriteWord(FLeft);
    Stream.WriteWord(FTop);
    Stream.WriteWord(FWidth);
    Stream.WriteWord(FHeight);
    const uint16_t id = FID->OrdinalValue();
    Stream.WriteDWord(id == 0xFFFF ? 0xFFFFFFFFu : id);
    WriteResourceIdent(Stream, FClassName);
    WriteResourceIdent(Stream, FText);
    Stream.WriteWord(static_cast<uint16_t>(FExtra.size()));
    Stream.WriteBytes(FExtra);
    WriteAlignment(Stream, start);
}

void TDialogResourceItemControl::AfterLoad()
{
    BindHelpID();
    BindImageReference();
}

void TDialogResourceItemControl::BindHelpID()
{
    TDialogResourceItem* dialog = Dialog();
    FHelpID->BindLoaded([dialog](uint16_t Hi, uint16_t Lo) -> TCustomResourceHelpIdentifier* {
        TCustomResourceModule* module = dialog->Module();
        auto* other = module ? qobject_cast<TDialogResourceItem*>(module->Find(dialog->ResourceType(), TResourceIdent::FromOrdinal(Hi)))
                             : nullptr;
        if (other)
            for (int i = 0; i < other->Items()->Count(); ++i)
                if (TDialogResourceItemControl* control = other->Items()->Items(i); control->IDValue() == Lo) return control->HelpID();
        return nullptr;
    });
}

void TDialogResourceItemControl::BindImageReference()
{
    if (!IsOrdinalResourceIdent(FText) || FControlClass != ccStatic) return;
    TCustomResourceModule* module = Dialog()->Module();
    if (!module) return;
    const TResourceIdent name(FText);
    TCustomResourceItem* image = nullptr;
    switch (FStyle & SS_TYPEMASK) {
    case SS_ICON:
        image = module->Find(TResourceIdent::FromOrdinal(RT_GROUP_ICON), name);
        if (!image) image = module->Find(TResourceIdent::FromOrdinal(RT_GROUP_CURSOR), name);
        break;
    case SS_BITMAP: image = module->Find(TResourceIdent::FromOrdinal(RT_BITMAP), name); break;
    case SS_ENHMETAFILE: image = module->Find(TResourceIdent::FromOrdinal(RT_RCDATA), name); break;
    default: return;
    }
    if (image && image->ID()->Symbol()) FTextID->SetSymbol(image->ID()->Symbol());
}

// TDialogResourceItem

TDialogResourceItem::TDialogResourceItem(const TResourceIdent& AResName)
    : TResourceItem(RT_DIALOG, AResName),
      FItems(std::make_unique<TResourceDialogItems>(this)),
      FMenu(std::make_unique<TResourceIdentifier>(this)),
      FFont(std::make_unique<TDialogFont>())
{
    FFont->OnChange = [this] { FontChanged(); };
}

TDialogResourceItem::~TDialogResourceItem()
{
    // The font outlives nothing it could report to.
    FFont->OnChange = nullptr;
}

bool TDialogResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_DIALOG);
}

QString TDialogResourceItem::ResourceTypeName() { return QString::fromLatin1(SDialog); }

TResourceItemGlyphHandle TDialogResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    return Kind == rgType ? LoadResourceGlyph(QStringLiteral("RES_DIALOG_TYPE"), QStringLiteral("dialog.type"))
                          : LoadResourceGlyph(QStringLiteral("RES_DIALOG_ITEM"), QStringLiteral("dialog.item"));
}

void TDialogResourceItem::SetHelpID(uint32_t Value) { StoreInBatch(this, FHelpID, Value); }
void TDialogResourceItem::SetWidth(uint16_t Value) { StoreInBatch(this, FWidth, Value); }
void TDialogResourceItem::SetCaption(const QString& Value) { StoreInBatch(this, FCaption, Value); }
void TDialogResourceItem::SetDialogClass(const QString& Value) { StoreInBatch(this, FDialogClass, Value); }
void TDialogResourceItem::SetExStyle(uint32_t Value) { StoreInBatch(this, FExStyle, Value); }
void TDialogResourceItem::SetTop(uint16_t Value) { StoreInBatch(this, FTop, Value); }
void TDialogResourceItem::SetStyle(uint32_t Value) { StoreInBatch(this, FStyle, Value); }
void TDialogResourceItem::SetHeight(uint16_t Value) { StoreInBatch(this, FHeight, Value); }
void TDialogResourceItem::SetLeft(uint16_t Value) { StoreInBatch(this, FLeft, Value); }

void TDialogResourceItem::SetMenu(TResourceIdentifier* Value)
{
    if (!Value || Value == FMenu.get()) return;
    TUpdateGuard batch(this);
    FMenu->Assign(Value);
}

void TDialogResourceItem::SetFont(TDialogFont* Value)
{
    if (!Value || Value == FFont.get()) return;
    TUpdateGuard batch(this);
    FFont->Assign(*Value);
}

void TDialogResourceItem::FontChanged() { TUpdateGuard batch(this); }

TDialogResourceItem::TDialogStyle TDialogResourceItem::DialogStyle() const
{
    return TDialogStyle::fromInt(FStyle & 0xFFFF);
}

void TDialogResourceItem::SetDialogStyle(TDialogStyle Value)
{
    SetStyle((FStyle & 0xFFFF0000) | (uint32_t(Value.toInt()) & 0xFFFF));
}

TWindowStyle TDialogResourceItem::WindowStyle() const { return TWindowStyle::fromInt(FStyle & 0xFFFF0000); }

void TDialogResourceItem::SetWindowStyle(TWindowStyle Value)
{
    SetStyle((uint32_t(Value.toInt()) & 0xFFFF0000) | (FStyle & 0xFFFF));
}

TWindowExStyle TDialogResourceItem::WindowExStyle() const { return TWindowExStyle::fromInt(FExStyle); }

void TDialogResourceItem::SetWindowExStyle(TWindowExStyle Value) { SetExStyle(Value.toInt()); }

QString TDialogResourceItem::DialogStyleAsString() const
{
    QStringList pieces;
    AppendBitNames(pieces, FStyle & 0xFFFF, DialogStyleNames, 16);
    return JoinStyle(pieces);
}

QString TDialogResourceItem::WindowStyleAsString() const
{
    QStringList pieces;
    AppendBitNames(pieces, FStyle & 0xFFFF, DialogStyleNames, 16);
    const uint32_t high = FStyle >> 16;
    if (high != 0)
        AppendBitNames(pieces, high, DialogWindowStyleNames, 16);
    else
        pieces.append(QStringLiteral("WS_OVERLAPPED"));
    AppendMissingBits(pieces, high, 0x8088, DialogWindowStyleNames, 16);
    return JoinStyle(pieces);
}

void TDialogResourceItem::Clear()
{
    TUpdateGuard batch(this);
    TResourceItem::Clear();
    FItems->Clear();
    FHelpID = 0;
    FLeft = 0;
    FTop = 0;
    FWidth = DefaultWidth;
    FHeight = DefaultHeight;
    FStyle = 0;
    FExStyle = 0;
    FDialogClass.clear();
    FMenu->SetSymbol(nullptr);
    FMenu->SetIdentifierValue(TResourceIdent());
    FCaption.clear();
    FFont->SetSize(8);
    FFont->SetName(QString());
    FFont->SetCharset(1);
    FFont->SetStyle({});
    FExtended = true;
}

void TDialogResourceItem::InitializeNewItem()
{
    TUpdateGuard batch(this);
    TResourceItem::InitializeNewItem();
    SetLeft(0);
    SetTop(0);
    SetWidth(DefaultWidth);
    SetHeight(DefaultHeight);
    SetStyle(NewDialogStyle);
    SetExStyle(0);
    FFont->SetSize(8);
    FFont->SetName(QStringLiteral("MS Shell Dlg"));
    FExtended = true;
}

void TDialogResourceItem::InitPropertyMap()
{
    TResourceItem::InitPropertyMap();
    PropertyMap()->SetValues(QStringLiteral("HelpID"), QStringLiteral("Help ID"));
    PropertyMap()->SetValues(QStringLiteral("DialogClass"), QStringLiteral("Dialog Class"));
    PropertyMap()->SetValues(QStringLiteral("DialogStyle"), QStringLiteral("Dialog Style"));
    PropertyMap()->SetValues(QStringLiteral("WindowStyle"), QStringLiteral("Window Style"));
    PropertyMap()->SetValues(QStringLiteral("WindowExStyle"), QStringLiteral("Window ExStyle"));
}

void TDialogResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    // The template alone, so that no field reads past the resource's data.
    TMemoryStream data;
    data.WriteBytes(Stream.ReadBytes(std::max<int64_t>(Size, 0)));
    data.SetPosition(0);
    const int64_t size = data.Size();
    if (size < 4) throw EReadError(Format(QString::fromLatin1(SHeaderCutShort), {int(size)}));

    TUpdateGuard batch(this);
    Clear();
    const uint16_t first = data.ReadWord();
    const uint16_t second = data.ReadWord();
    const bool extended = first == 1 && second == ExtendedSignature;
    if (size < (extended ? 26 : 18)) throw EReadError(Format(QString::fromLatin1(SHeaderCutShort), {int(size)}));
    int count;
    if (extended) {
        FHelpID = data.ReadDWord();
        FExStyle = data.ReadDWord();
        FStyle = data.ReadDWord();
    } else {
        FStyle = uint32_t(first) | (uint32_t(second) << 16);
        FExStyle = data.ReadDWord();
    }
    count = data.ReadWord();
    FLeft = data.ReadWord();
    FTop = data.ReadWord();
    FWidth = data.ReadWord();
    FHeight = data.ReadWord();

    TResourceIdent menu;
    ReadResourceIdent(data, menu, MaxTemplateString, true);
    FMenu->SetIdentifierValue(menu);
    // A class given by ordinal stays in the ordinal form, so that a save writes it back as one.
    TResourceIdent dialogClass;
    ReadResourceIdent(data, dialogClass, MaxTemplateString, true);
    FDialogClass = dialogClass;
    ReadWideString(data, FCaption, MaxTemplateString, true);

    TDialogFont font;
    font.SetSize(0);
    font.SetCharset(0);
    if (FStyle & DS_SETFONT) {
        font.SetSize(ReadWordOrZero(data));
        if (extended) {
            const uint16_t weight = ReadWordOrZero(data);
            const uint8_t italic = ReadByteOrZero(data);
            font.SetCharset(ReadByteOrZero(data));
            TDialogFontStyle style;
            if (weight >= FontWeightBold) style |= DialogTypes::Bold;
            if (italic == 1) style |= DialogTypes::Italic;
            font.SetStyle(style);
        }
        QString face;
        ReadWideString(data, face, MaxTemplateString, true);
        font.SetName(face);
    }
    FFont->Assign(font);
    SkipToAlignment(data, 0);

    const int declared = count;
    const int fixedSize = TDialogResourceItemControl::FixedSize(extended);
    while (count > 0 && data.Position() < size) {
        // A control whose fixed fields do not fit is not there.
        if (size - data.Position() < fixedSize) break;
        FItems->Add()->LoadFromStream(data, extended);
        --count;
    }
    if (count > 0)
        LogMessage(Format(QString::fromLatin1(SFewerControls), {declared - count, declared}), rmWarning, this);
    FExtended = extended;
}

void TDialogResourceItem::SaveToStream(TStream& Stream)
{
    const int64_t start = Stream.Position();
    Stream.WriteWord(1);
    Stream.WriteWord(ExtendedSignature);
    Stream.WriteDWord(FHelpID);
    Stream.WriteDWord(FExStyle);
    Stream.WriteDWord(FStyle);
    Stream.WriteWord(static_cast<uint16_t>(FItems->Count()));
    Stream.WriteWord(FLeft);
    Stream.WriteWord(FTop);
    Stream.WriteWord(FWidth);
    Stream.WriteWord(FHeight);
    WriteResourceIdent(Stream, FMenu->IdentifierValue());
    WriteResourceIdent(Stream, FDialogClass);
    WriteWideString(Stream, FCaption, true);
    if (FStyle & DS_SETFONT) {
        Stream.WriteWord(FFont->Size());
        Stream.WriteWord(FFont->IsBold() ? FontWeightBold : 0);
        Stream.WriteByte(FFont->IsItalic() ? 1 : 0);
        Stream.WriteByte(FFont->Charset());
        WriteWideString(Stream, FFont->Name(), true);
    }
    WriteAlignment(Stream, start);
    for (int i = 0; i < FItems->Count(); ++i) FItems->Items(i)->SaveToStream(Stream);
}

void TDialogResourceItem::AfterLoad()
{
    TResourceItem::AfterLoad();
    for (int i = 0; i < FItems->Count(); ++i) FItems->Items(i)->AfterLoad();
    const TResourceIdent menu = FMenu->IdentifierValue();
    if (menu.isEmpty() || !Module()) return;
    TCustomResourceItem* menuItem = Module()->Find(TResourceIdent::FromOrdinal(RT_MENU), menu);
    if (menuItem && menuItem->ID()->Symbol()) FMenu->SetSymbol(menuItem->ID()->Symbol());
}

bool TDialogResourceItem::EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback)
{
    if (!TResourceItem::EnumerateItems(Context, Callback)) return false;
    return FItems->EnumerateItems(Context, Callback);
}

void TDialogResourceItem::ResourceSymbolNotification(TResourceSymbol* Symbol, TResourceSymbolNotification Notification)
{
    TResourceItem::ResourceSymbolNotification(Symbol, Notification);
    if (Notification == snUnsubscribe && Symbol && Symbol == FMenu->Symbol()) FMenu->SetSymbol(nullptr);
}

void TDialogResourceItem::AssignChildItemIdentifier(int ID, const QByteArray& Identifier)
{
    TResourceItem::AssignChildItemIdentifier(ID, Identifier);
    const QString name = QString::fromLatin1(Identifier);
    bool matched = false;
    for (int i = 0; i < FItems->Count(); ++i) {
        TDialogResourceItemControl* control = FItems->Items(i);
        if (control->IDValue() != static_cast<uint16_t>(ID)) continue;
        control->ID()->SetIdentifier(name);
        matched = true;
    }
    if (!matched) LogMessage(Format(QString::fromLatin1(SSymbolNotResolved), {name}), rmWarning);
}

void koResourceItemDialog_Initialize() { TDialogResourceItem::ClassInfo()->Register(0); }

void koResourceItemDialog_Finalize() { TDialogResourceItem::ClassInfo()->Unregister(); }
