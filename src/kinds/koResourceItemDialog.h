// Dialog templates: one dialog and its controls read from either template layout and always written in
// the extended one; control IDs, help IDs, image references and the menu reference bound to symbols; the
// style texts the RC writer prints; the base of the per-class style views of controls.
#pragma once

#include "model/koResourcesItemItems.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QFont;
class TDialogResourceItem;
class TDialogResourceItemControl;
class TDialogControlProperties;

// Types shared by the dialog and its controls.
namespace DialogTypes {
Q_NAMESPACE

// The class of a control; every class but ccCustom is one of the predefined ordinal classes.
enum TResourceDialogControlClass { ccCustom, ccButton, ccEdit, ccStatic, ccListbox, ccScrollbar, ccCombobox };
Q_ENUM_NS(TResourceDialogControlClass)

// The high word of a dialog's style.
enum TWindowStyleValue : uint32_t {
    ws_MaximizeBox = 0x00010000, ws_MinimizeBox = 0x00020000, ws_ThickFrame = 0x00040000, ws_SysMenu = 0x00080000,
    ws_HScroll = 0x00100000, ws_VScroll = 0x00200000, ws_DlgFrame = 0x00400000, ws_Border = 0x00800000,
    ws_Maximize = 0x01000000, ws_ClipChildren = 0x02000000, ws_ClipSiblings = 0x04000000, ws_Disabled = 0x08000000,
    ws_Visible = 0x10000000, ws_Minimize = 0x20000000, ws_Child = 0x40000000, ws_Popup = 0x80000000,
};
Q_DECLARE_FLAGS(TWindowStyle, TWindowStyleValue)
Q_FLAG_NS(TWindowStyle)

// The extended style of a dialog or a control.
enum TWindowExStyleValue : uint32_t {
    ws_ex_DlgModalFrame = 0x00000001, ws_ex_00000002 = 0x00000002, ws_ex_NoParentNotify = 0x00000004,
    ws_ex_TopMost = 0x00000008, ws_ex_AcceptFiles = 0x00000010, ws_ex_Transparent = 0x00000020,
    ws_ex_MdiChild = 0x00000040, ws_ex_ToolWindow = 0x00000080, ws_ex_WindowEdge = 0x00000100,
    ws_ex_ClientEdge = 0x00000200, ws_ex_ContextHelp = 0x00000400, ws_ex_00000800 = 0x00000800,
    ws_ex_Right = 0x00001000, ws_ex_RtlReading = 0x00002000, ws_ex_LeftScrollBar = 0x00004000,
    ws_ex_00008000 = 0x00008000, ws_ex_ControlParent = 0x00010000, ws_ex_StaticEdge = 0x00020000,
    ws_ex_AppWindow = 0x00040000, ws_ex_Layered = 0x00080000, ws_ex_NoInheritLayout = 0x00100000,
    ws_ex_00200000 = 0x00200000, ws_ex_LayoutRtl = 0x00400000, ws_ex_00800000 = 0x00800000,
    ws_ex_01000000 = 0x01000000, ws_ex_Composited = 0x02000000, ws_ex_04000000 = 0x04000000,
    ws_ex_NoActivate = 0x08000000, ws_ex_10000000 = 0x10000000, ws_ex_20000000 = 0x20000000,
    ws_ex_40000000 = 0x40000000, ws_ex_80000000 = 0x80000000,
};
Q_DECLARE_FLAGS(TWindowExStyle, TWindowExStyleValue)
Q_FLAG_NS(TWindowExStyle)

// The low word of a dialog's style.
enum TDialogStyleValue : uint32_t {
    ds_AbsAlign = 0x0001, ds_SysModal = 0x0002, ds_3DLook = 0x0004, ds_FixedSys = 0x0008,
    ds_NoFailCreate = 0x0010, ds_LocalEdit = 0x0020, ds_SetFont = 0x0040, ds_ModalFrame = 0x0080,
    ds_NoIdleMsg = 0x0100, ds_SetForeground = 0x0200, ds_Control = 0x0400, ds_Center = 0x0800,
    ds_CenterMouse = 0x1000, ds_ContextHelp = 0x2000, ds_4000 = 0x4000, ds_8000 = 0x8000,
};
Q_DECLARE_FLAGS(TDialogStyle, TDialogStyleValue)
Q_FLAG_NS(TDialogStyle)

// The high word of a control's style.
enum TControlWindowStyleValue : uint32_t {
    WS_TabStop = 0x00010000, WS_Group = 0x00020000, WS_ThickFrame = 0x00040000, WS_SysMenu = 0x00080000,
    WS_HScroll = 0x00100000, WS_VScroll = 0x00200000, WS_DlgFrame = 0x00400000, WS_Border = 0x00800000,
    WS_Maximize = 0x01000000, WS_ClipChildren = 0x02000000, WS_ClipSiblings = 0x04000000, WS_Disabled = 0x08000000,
    WS_Visible = 0x10000000, WS_Minimize = 0x20000000, WS_Child = 0x40000000, WS_Popup = 0x80000000,
};
Q_DECLARE_FLAGS(TControlWindowStyle, TControlWindowStyleValue)
Q_FLAG_NS(TControlWindowStyle)

enum TDialogFontStyleValue { Bold = 0x1, Italic = 0x2 };
Q_DECLARE_FLAGS(TDialogFontStyle, TDialogFontStyleValue)
Q_FLAG_NS(TDialogFontStyle)
} // namespace DialogTypes

Q_DECLARE_OPERATORS_FOR_FLAGS(DialogTypes::TWindowStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(DialogTypes::TWindowExStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(DialogTypes::TDialogStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(DialogTypes::TControlWindowStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(DialogTypes::TDialogFontStyle)

using DialogTypes::TResourceDialogControlClass;
using DialogTypes::ccCustom;
using DialogTypes::ccButton;
using DialogTypes::ccEdit;
using DialogTypes::ccStatic;
using DialogTypes::ccListbox;
using DialogTypes::ccScrollbar;
using DialogTypes::ccCombobox;
using DialogTypes::TWindowStyle;
using DialogTypes::TWindowStyleValue;
using DialogTypes::TWindowExStyle;
using DialogTypes::TWindowExStyleValue;

// Style bits the model itself looks at.
inline constexpr uint32_t DS_SETFONT = 0x00000040;
inline constexpr uint32_t WS_VISIBLE = 0x10000000;
inline constexpr uint32_t WS_CHILD = 0x40000000;
inline constexpr uint32_t WS_POPUP = 0x80000000;
// Static control types (style and 0x1F) that show an image named by the control's text.
inline constexpr uint32_t SS_TYPEMASK = 0x1F;
inline constexpr uint32_t SS_ICON = 3;
inline constexpr uint32_t SS_BITMAP = 14;
inline constexpr uint32_t SS_ENHMETAFILE = 15;

// The class ordinal of a predefined class (0x0080 to 0x0085); 0 for ccCustom.
uint16_t ControlClassOrdinal(TResourceDialogControlClass Value);
// "Button", "Edit", "Static", "Listbox", "Scrollbar", "Combobox"; empty for ccCustom.
QString ControlClassDisplayName(TResourceDialogControlClass Value);
// The class of an ordinal or name read from a template: ccCustom for every name and unknown ordinal.
TResourceDialogControlClass ControlClassOfClassName(const QString& ClassName);

// "0" for none, else the names of the set bits, bit 0 first, joined by " | ".
QString WindowExStyleAsString(uint32_t ExStyle);

// The live control a static control's style view puts its image into (the dialog editor's widget).
class IDialogStaticImageControl {
public:
    virtual ~IDialogStaticImageControl() = default;
    enum TImageType { itBitmap = 0, itIcon = 1, itCursor = 2, itEnhMetafile = 3 };
    // A null image clears the control.
    virtual void SetImage(int ImageType, const QImage& Image) = 0;
};

// How a control's low style word shows in the property inspector and in RC scripts. This base shows the
// word as one number; the predefined classes have views of their own.
class TDialogControlProperties : public QObject {
    Q_OBJECT

public:
    explicit TDialogControlProperties(TDialogResourceItemControl* ADialogItem) : FDialogItem(ADialogItem) {}
    ~TDialogControlProperties() override = default;
    static std::unique_ptr<TDialogControlProperties> Create(TDialogResourceItemControl* ADialogItem)
    {
        return std::make_unique<TDialogControlProperties>(ADialogItem);
    }

    TDialogResourceItemControl* DialogItem() const { return FDialogItem; }
    // Puts what the control shows (an image of a static control) into its live control.
    virtual void UpdateControl(IDialogStaticImageControl* Control) {}
    // The low word of the control's style as RC style names; here "0x%.8XL" of the word.
    virtual QString ControlStyleAsString() const;

private:
    TDialogResourceItemControl* FDialogItem;
};

// Makes the style view of a control.
using TDialogControlPropertiesClass = std::unique_ptr<TDialogControlProperties> (*)(TDialogResourceItemControl*);
// Chooses the view for a control by its class; the controls unit installs one. Without it every control
// gets the base view. Returns the previous chooser.
using TDialogControlPropertiesChooser = TDialogControlPropertiesClass (*)(const TDialogResourceItemControl*);
TDialogControlPropertiesChooser SetDialogControlPropertiesFactory(TDialogControlPropertiesChooser Chooser);

// The font of a dialog; each change fires OnChange.
class TDialogFont : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(uchar Charset READ Charset WRITE SetCharset)
    Q_PROPERTY(ushort Size READ Size WRITE SetSize)
    Q_PROPERTY(DialogTypes::TDialogFontStyle Style READ Style WRITE SetStyle)

public:
    using TDialogFontStyle = DialogTypes::TDialogFontStyle;
    TDialogFont() = default;

    const QString& Name() const { return FName; }
    void SetName(const QString& Value);
    uint8_t Charset() const { return FCharset; }
    void SetCharset(uint8_t Value);
    uint16_t Size() const { return FSize; }
    void SetSize(uint16_t Value);
    TDialogFontStyle Style() const { return FStyle; }
    void SetStyle(TDialogFontStyle Value);
    bool IsBold() const { return FStyle.testFlag(DialogTypes::Bold); }
    bool IsItalic() const { return FStyle.testFlag(DialogTypes::Italic); }

    // Copies name, size, character set and style; fires OnChange once.
    void Assign(const TDialogFont& Source);
    // Name, point size and bold/italic into a platform font (it has no character set of its own).
    void AssignTo(QFont& Dest) const;

    std::function<void()> OnChange;

private:
    void Change();

    QString FName;
    uint8_t FCharset = 1;
    uint16_t FSize = 8;
    TDialogFontStyle FStyle;
};

// A control's ID: 16 bits, 0xFFFF shows as "-1".
class TResourceDialogIdentifier : public TResourceOrdinalChildIdentifier<TDialogResourceItemControl> {
public:
    using TResourceOrdinalChildIdentifier<TDialogResourceItemControl>::TResourceChildIdentifierOf;
};

// A control's help ID; its help symbol is "H" and the name of the control's ID.
class TResourceDialogHelpIdentifier : public TResourceHelpChildIdentifier<TDialogResourceItemControl> {
public:
    using TResourceHelpChildIdentifier<TDialogResourceItemControl>::TResourceHelpChildIdentifier;

protected:
    TCustomResourceOrdinalIdentifier* GetItemIdentifier() const override;
};

// A control's text as an identifier: an image reference (the ordinal form) bound to the image's symbol.
// It has no value of its own: the value is the control's Text.
class TDialogControlTextIdentifier : public TResourceIdentifierBase {
    Q_OBJECT

public:
    TDialogControlTextIdentifier(TCustomResourceItem* AResourceItem, TDialogResourceItemControl* AControl)
        : TResourceIdentifierBase(AResourceItem), FControl(AControl)
    {
    }
    TDialogResourceItemControl* Control() const { return FControl; }

protected:
    TResourceIdent GetIdentifierValue() const override;
    void StoreIdentifierValue(const TResourceIdent& V) override;

private:
    TDialogResourceItemControl* FControl;
};

class TDialogResourceItemControl : public TResourceItemItem<TDialogResourceItem>, public IResourceTextItem {
    Q_OBJECT
    Q_PROPERTY(TCustomResourceOrdinalWordIdentifier* ID READ IDIdentifier WRITE SetID)
    Q_PROPERTY(TCustomResourceHelpIdentifier* HelpID READ HelpIDIdentifier WRITE SetHelpID)
    Q_PROPERTY(uint Style READ Style WRITE SetStyle)
    Q_PROPERTY(uint ExStyle READ ExStyle WRITE SetExStyle)
    Q_CLASSINFO("default:ExStyle", "0")
    Q_PROPERTY(ushort Left READ Left WRITE SetLeft)
    Q_PROPERTY(ushort Top READ Top WRITE SetTop)
    Q_PROPERTY(ushort Width READ Width WRITE SetWidth)
    Q_PROPERTY(ushort Height READ Height WRITE SetHeight)
    Q_PROPERTY(TCustomResourceIdentifier* TextID READ TextIDIdentifier WRITE SetTextID)
    // Streams store the class only when predefined and the class name only for a custom class
    // (IsControlClassStored, IsControlClassNameStored).
    Q_PROPERTY(DialogTypes::TResourceDialogControlClass ControlClass READ ControlClass WRITE SetControlClass)
    Q_CLASSINFO("default:ControlClass", "ccCustom")
    Q_PROPERTY(QString ControlClassName READ ControlClassName WRITE SetControlClassName)
    Q_PROPERTY(DialogTypes::TControlWindowStyle WindowStyle READ WindowStyle WRITE SetWindowStyle)
    Q_PROPERTY(DialogTypes::TWindowExStyle WindowExStyle READ WindowExStyle WRITE SetWindowExStyle)
    Q_PROPERTY(TDialogControlProperties* ControlStyle READ ControlStyle WRITE SetControlStyle)
    Q_PROPERTY(int TabOrder READ TabOrder WRITE SetTabOrder)

public:
    using TResourceDialogIdentifier = ::TResourceDialogIdentifier;
    using TResourceDialogHelpIdentifier = ::TResourceDialogHelpIdentifier;
    using TControlWindowStyle = DialogTypes::TControlWindowStyle;

    explicit TDialogResourceItemControl(TCustomResourceItemItems* ACollection);
    ~TDialogResourceItemControl() override;

    TDialogResourceItem* Dialog() const { return ResourceItem(); }

    uint32_t Style() const { return FStyle; }
    // Both WS_CHILD and WS_POPUP: the one the old style had goes, with a warning.
    void SetStyle(uint32_t Value);
    uint32_t ExStyle() const { return FExStyle; }
    void SetExStyle(uint32_t Value);
    uint16_t Left() const { return FLeft; }
    void SetLeft(uint16_t Value);
    uint16_t Top() const { return FTop; }
    void SetTop(uint16_t Value);
    uint16_t Width() const { return FWidth; }
    void SetWidth(uint16_t Value);
    uint16_t Height() const { return FHeight; }
    void SetHeight(uint16_t Value);
    // The control text, or the ordinal form of a resource (image) reference.
    const QString& Text() const { return FText; }
    void SetText(const QString& Value) override;
    // A reference to an image resource is no text of the control's own: search and replace leave it.
    QString GetText() override { return IsOrdinalResourceIdent(FText) ? QString() : FText; }
    // The creation data.
    const QByteArray& Extra() const { return FExtra; }
    void SetExtra(const QByteArray& Value);
    // The ordinal form for predefined classes (0xFFFF and the ordinal), else the class name.
    const QString& ClassName() const { return FClassName; }

    TResourceDialogIdentifier* ID() const { return FID.get(); }
    TCustomResourceOrdinalWordIdentifier* IDIdentifier() const { return FID.get(); }
    void SetID(TCustomResourceOrdinalWordIdentifier* Value);
    uint16_t IDValue() const { return FID->OrdinalValue(); }
    TResourceDialogHelpIdentifier* HelpID() const { return FHelpID.get(); }
    TCustomResourceHelpIdentifier* HelpIDIdentifier() const { return FHelpID.get(); }
    void SetHelpID(TCustomResourceHelpIdentifier* Value);
    uint32_t HelpIDValue() const { return FHelpID->OrdinalValue(); }
    TDialogControlTextIdentifier* TextID() const { return FTextID.get(); }
    TCustomResourceIdentifier* TextIDIdentifier() const { return FTextID.get(); }
    void SetTextID(TCustomResourceIdentifier* Value);

    TResourceDialogControlClass ControlClass() const { return FControlClass; }
    void SetControlClass(TResourceDialogControlClass Value);
    // The display name of a predefined class, else the class name.
    QString ControlClassName() const;
    void SetControlClassName(const QString& Value);
    bool IsControlClassStored() const { return FControlClass != ccCustom; }
    bool IsControlClassNameStored() const { return FControlClass == ccCustom; }

    TControlWindowStyle WindowStyle() const;
    void SetWindowStyle(TControlWindowStyle Value);
    TWindowExStyle WindowExStyle() const;
    void SetWindowExStyle(TWindowExStyle Value);

    // The style view, made on first use for the control's class.
    TDialogControlProperties* ControlStyle();
    void SetControlStyle(TDialogControlProperties*) {}
    // The view class for this control: the installed chooser's answer, else the base view.
    TDialogControlPropertiesClass GetControlStyleClass() const;

    int TabOrder() const { return Index(); }
    void SetTabOrder(int Value);

    // "%s (%s)": the text and the ID's text.
    QString DisplayName() const;
    // The style view's text, then the names of the high-word bits, then NOT WS_VISIBLE / NOT WS_CHILD.
    QString WindowStyleAsString();

    // Reads one control from a 4-byte boundary of a stream that holds the template and nothing more;
    // returns the bytes consumed including the alignment.
    int LoadFromStream(TStream& Stream, bool Extended);
    // The size of the fixed fields of a control in the layout.
    static int FixedSize(bool Extended) { return Extended ? 24 : 18; }
    void SaveToStream(TStream& Stream);
    void AfterLoad();

    QString MapPropertyName(const QString& Name) override;

private:
    void ReplaceNativeFontControl();
    void BindHelpID();
    void BindImageReference();

    uint32_t FStyle = 0;
    uint32_t FExStyle = 0;
    QString FText;
    uint16_t FWidth = 0;
    uint16_t FTop = 0;
    QString FClassName;
    uint16_t FHeight = 0;
    uint16_t FLeft = 0;
    QByteArray FExtra;
    TResourceDialogControlClass FControlClass = ccCustom;
    std::unique_ptr<TDialogControlProperties> FControlStyle;
    std::unique_ptr<TResourceDialogIdentifier> FID;
    std::unique_ptr<TResourceDialogHelpIdentifier> FHelpID;
    std::unique_ptr<TDialogControlTextIdentifier> FTextID;
};

// The controls of a dialog, in template (tab) order.
class TResourceDialogItems : public TResourceItemItems<TDialogResourceItem, TDialogResourceItemControl> {
public:
    using TResourceItemItems::TResourceItemItems;
};

Q_DECLARE_METATYPE(TResourceDialogItems*)

// RT_DIALOG.
class TDialogResourceItem : public TResourceItem, public IResourceTextItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TDialogResourceItem, TResourceItem)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)
    Q_PROPERTY(bool Extended READ Extended)
    Q_PROPERTY(TResourceDialogItems* Items READ Items)
    Q_PROPERTY(uint HelpID READ HelpID WRITE SetHelpID)
    Q_PROPERTY(uint Style READ Style WRITE SetStyle)
    Q_PROPERTY(uint ExStyle READ ExStyle WRITE SetExStyle)
    Q_PROPERTY(ushort Left READ Left WRITE SetLeft)
    Q_PROPERTY(ushort Top READ Top WRITE SetTop)
    Q_PROPERTY(ushort Width READ Width WRITE SetWidth)
    Q_PROPERTY(ushort Height READ Height WRITE SetHeight)
    Q_PROPERTY(QString DialogClass READ DialogClass WRITE SetDialogClass)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(TDialogFont* Font READ Font WRITE SetFont)
    Q_PROPERTY(TResourceIdentifier* Menu READ Menu WRITE SetMenu)
    Q_PROPERTY(DialogTypes::TDialogStyle DialogStyle READ DialogStyle WRITE SetDialogStyle)
    Q_PROPERTY(DialogTypes::TWindowStyle WindowStyle READ WindowStyle WRITE SetWindowStyle)
    Q_PROPERTY(DialogTypes::TWindowExStyle WindowExStyle READ WindowExStyle WRITE SetWindowExStyle)

public:
    using TDialogFont = ::TDialogFont;
    using TDialogStyle = DialogTypes::TDialogStyle;
    using TDialogStyleValue = DialogTypes::TDialogStyleValue;
    using TDialogFontStyle = DialogTypes::TDialogFontStyle;

    explicit TDialogResourceItem(const TResourceIdent& AResName = TResourceIdent());
    ~TDialogResourceItem() override;

    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate}; }
    static QString ResourceTypeName();
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    TResourceDialogItems* Items() const { return FItems.get(); }
    uint32_t HelpID() const { return FHelpID; }
    void SetHelpID(uint32_t Value);
    uint16_t Width() const { return FWidth; }
    void SetWidth(uint16_t Value);
    const QString& Caption() const { return FCaption; }
    void SetCaption(const QString& Value);
    // The window class; empty for the default class. A class given by ordinal in the template is kept
    // in the ordinal form (IsOrdinalResourceIdent) and written back as an ordinal.
    const QString& DialogClass() const { return FDialogClass; }
    void SetDialogClass(const QString& Value);
    TResourceIdentifier* Menu() const { return FMenu.get(); }
    void SetMenu(TResourceIdentifier* Value);
    uint32_t ExStyle() const { return FExStyle; }
    void SetExStyle(uint32_t Value);
    uint16_t Top() const { return FTop; }
    void SetTop(uint16_t Value);
    uint32_t Style() const { return FStyle; }
    void SetStyle(uint32_t Value);
    uint16_t Height() const { return FHeight; }
    void SetHeight(uint16_t Value);
    uint16_t Left() const { return FLeft; }
    void SetLeft(uint16_t Value);
    TDialogFont* Font() const { return FFont.get(); }
    void SetFont(TDialogFont* Value);
    // The template was read in the extended layout (also true for new and cleared dialogs).
    bool Extended() const { return FExtended; }

    TDialogStyle DialogStyle() const;
    void SetDialogStyle(TDialogStyle Value);
    TWindowStyle WindowStyle() const;
    void SetWindowStyle(TWindowStyle Value);
    TWindowExStyle WindowExStyle() const;
    void SetWindowExStyle(TWindowExStyle Value);

    // The names of the set DS_ bits; empty when none.
    QString DialogStyleAsString() const;
    // DialogStyleAsString, the names of the WS_ bits (WS_OVERLAPPED for none), then a NOT piece for each
    // of WS_SYSMENU, WS_BORDER and WS_POPUP the style lacks.
    QString WindowStyleAsString() const;

    QString GetText() override { return FCaption; }
    void SetText(const QString& Value) override { SetCaption(Value); }

    void Clear() override;
    void InitializeNewItem() override;
    // Reads either layout; a template too short for its header raises.
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    // Always the extended layout.
    void SaveToStream(TStream& Stream) override;
    void AfterLoad() override;
    bool EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback) override;
    void ResourceSymbolNotification(TResourceSymbol* Symbol, TResourceSymbolNotification Notification) override;
    // Binds every control whose ID is ID to the symbol named Identifier.
    void AssignChildItemIdentifier(int ID, const QByteArray& Identifier) override;

protected:
    void InitPropertyMap() override;

private:
    void FontChanged();

    std::unique_ptr<TResourceDialogItems> FItems;
    uint32_t FHelpID = 0;
    uint16_t FWidth = 0;
    QString FCaption;
    QString FDialogClass;
    std::unique_ptr<TResourceIdentifier> FMenu;
    uint32_t FExStyle = 0;
    uint16_t FTop = 0;
    uint32_t FStyle = 0;
    uint16_t FHeight = 0;
    uint16_t FLeft = 0;
    std::unique_ptr<TDialogFont> FFont;
    bool FExtended = true;
};

void koResourceItemDialog_Initialize();
void koResourceItemDialog_Finalize();
