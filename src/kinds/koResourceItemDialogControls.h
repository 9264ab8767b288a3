// The style views of dialog controls, one per control class: the low style word split into the control
// type (Kind) and its flags (Style) for the property inspector, the word as RC style names for scripts,
// and the image a static control shows in the dialog editor.
#pragma once

#include "koResourceItemDialog.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <cstdint>

// RC names of a low style word: the kind names (by the value under the mask) and the flag names (by bit).
struct TControlStyleNames {
    uint32_t KindMask;     // 0: the class has no kind
    const char* const* KindNames;
    int KindCount;         // kinds beyond the table are written as numbers
    const char* const* FlagNames; // 16 names, bit 0 first
};

// The shared part of the views: the kind and the low word read from and written to the control's Style.
class TDialogControlStyleProperties : public TDialogControlProperties {
    Q_OBJECT

public:
    using TDialogControlProperties::TDialogControlProperties;

protected:
    uint32_t KindBits(uint32_t Mask) const;
    void SetKindBits(uint32_t Mask, uint32_t Value);
    uint32_t LowWord() const;
    void SetLowWord(uint32_t Value);
    QString StyleAsString(const TControlStyleNames& Names) const;
};

// Any custom class without a view of its own: the word as numbers.
class TDialogControlDefaultProperties : public TDialogControlStyleProperties {
    Q_OBJECT
    Q_PROPERTY(TDefaultControlStyle Style READ Style WRITE SetStyle)

public:
    enum TDefaultControlStyleValue : uint32_t {
        cs0001 = 0x0001, cs0002 = 0x0002, cs0004 = 0x0004, cs0008 = 0x0008, cs0010 = 0x0010, cs0020 = 0x0020,
        cs0040 = 0x0040, cs0080 = 0x0080, cs0100 = 0x0100, cs0200 = 0x0200, cs0400 = 0x0400, cs0800 = 0x0800,
        cs1000 = 0x1000, cs2000 = 0x2000, cs4000 = 0x4000, cs8000 = 0x8000,
    };
    Q_DECLARE_FLAGS(TDefaultControlStyle, TDefaultControlStyleValue)
    Q_FLAG(TDefaultControlStyle)

    using TDialogControlStyleProperties::TDialogControlStyleProperties;
    TDefaultControlStyle Style() const { return TDefaultControlStyle::fromInt(int(LowWord())); }
    void SetStyle(TDefaultControlStyle Value) { SetLowWord(uint32_t(Value.toInt())); }
    QString ControlStyleAsString() const override;
};

class TDialogControlButtonProperties : public TDialogControlStyleProperties {
    Q_OBJECT
    Q_PROPERTY(TButtonControlKind Kind READ Kind WRITE SetKind)
    Q_PROPERTY(TButtonControlStyle Style READ Style WRITE SetStyle)

public:
    enum TButtonControlKind : int {
        PushButton, DefPushButton, CheckBox, AutoCheckBox, RadioButton, ThreeState, Auto3State, GroupBox,
        UserButton, AutoRadioButton, Unknown000a, OwnerDraw, Splitbutton, DefSplitButton, CommandLink,
        DefCommandLink,
    };
    Q_ENUM(TButtonControlKind)
    enum TButtonControlStyleValue : uint32_t {
        bs_0001 = 0x0001, bs_0002 = 0x0002, bs_0004 = 0x0004, bs_0008 = 0x0008, bs_0010 = 0x0010,
        bs_LeftText = 0x0020, bs_Icon = 0x0040, bs_Bitmap = 0x0080, bs_Left = 0x0100, bs_Right = 0x0200,
        bs_Top = 0x0400, bs_Bottom = 0x0800, bs_PushLike = 0x1000, bs_MultiLine = 0x2000, bs_Notify = 0x4000,
        bs_Flat = 0x8000,
    };
    Q_DECLARE_FLAGS(TButtonControlStyle, TButtonControlStyleValue)
    Q_FLAG(TButtonControlStyle)
    static constexpr uint32_t KindMask = 0x1F;

    using TDialogControlStyleProperties::TDialogControlStyleProperties;
    // 16 to 31 when bit 0x10 is set: the mask is wider than the named kinds.
    TButtonControlKind Kind() const { return TButtonControlKind(KindBits(KindMask)); }
    void SetKind(TButtonControlKind Value) { SetKindBits(KindMask, uint32_t(Value)); }
    TButtonControlStyle Style() const { return TButtonControlStyle::fromInt(int(LowWord())); }
    void SetStyle(TButtonControlStyle Value) { SetLowWord(uint32_t(Value.toInt())); }
    QString ControlStyleAsString() const override;
};

class TDialogControlStaticProperties : public TDialogControlStyleProperties {
    Q_OBJECT
    Q_PROPERTY(TStaticControlKind Kind READ Kind WRITE SetKind)
    Q_PROPERTY(TStaticControlStyle Style READ Style WRITE SetStyle)

public:
    enum TStaticControlKind : int {
        Left, Center, Right, Icon, BlackRect, GrayRect, WhiteRect, BlackFrame, GrayFrame, WhiteFrame, UserItem,
        Simple, LeftNoWordWrap, OwnerDraw, Bitmap, EnhMetaFile, EtchedHorz, EtchedVert, EtchedFrame,
        Unknown0013, Unknown0014, Unknown0015, Unknown0016, Unknown0017, Unknown0018, Unknown0019, Unknown001a,
        Unknown001b, Unknown001c, Unknown001d, Unknown001e, Unknown001f,
    };
    Q_ENUM(TStaticControlKind)
    enum TStaticControlStyleValue : uint32_t {
        ss_0001 = 0x0001, ss_0002 = 0x0002, ss_0004 = 0x0004, ss_0008 = 0x0008, ss_0010 = 0x0010, ss_0020 = 0x0020,
        ss_RealSizeControl = 0x0040, ss_NoPrefix = 0x0080, ss_Notify = 0x0100, ss_CenterImage = 0x0200,
        ss_RightJust = 0x0400, ss_RealSizeImage = 0x0800, ss_Sunken = 0x1000, ss_2000 = 0x2000,
        ss_EndElipsis = 0x4000, ss_PathElipsis = 0x8000,
    };
    Q_DECLARE_FLAGS(TStaticControlStyle, TStaticControlStyleValue)
    Q_FLAG(TStaticControlStyle)
    static constexpr uint32_t KindMask = 0x3F;

    using TDialogControlStyleProperties::TDialogControlStyleProperties;
    // 32 to 63 when bit 0x20 is set.
    TStaticControlKind Kind() const { return TStaticControlKind(KindBits(KindMask)); }
    void SetKind(TStaticControlKind Value) { SetKindBits(KindMask, uint32_t(Value)); }
    TStaticControlStyle Style() const { return TStaticControlStyle::fromInt(int(LowWord())); }
    void SetStyle(TStaticControlStyle Value) { SetLowWord(uint32_t(Value.toInt())); }
    QString ControlStyleAsString() const override;
    // Icon, bitmap and metafile statics: the image the control's text names, from the module, else a
    // system icon of that ordinal, else the missing-image picture.
    void UpdateControl(IDialogStaticImageControl* Control) override;
};

class TDialogControlEditProperties : public TDialogControlStyleProperties {
    Q_OBJECT
    Q_PROPERTY(TEditControlKind Kind READ Kind WRITE SetKind)
    Q_PROPERTY(TEditControlStyle Style READ Style WRITE SetStyle)

public:
    enum TEditControlKind : int { Left, Center, Right, Unknown0003 };
    Q_ENUM(TEditControlKind)
    enum TEditControlStyleValue : uint32_t {
        es_0001 = 0x0001, es_0002 = 0x0002, es_MultiLine = 0x0004, es_UpperCase = 0x0008, es_LowerCase = 0x0010,
        es_Password = 0x0020, es_AutoVScroll = 0x0040, es_AutoHScroll = 0x0080, es_NoHideSel = 0x0100,
        es_0200 = 0x0200, es_OemConvert = 0x0400, es_ReadOnly = 0x0800, es_WantReturn = 0x1000,
        es_Number = 0x2000, es_4000 = 0x4000, es_8000 = 0x8000,
    };
    Q_DECLARE_FLAGS(TEditControlStyle, TEditControlStyleValue)
    Q_FLAG(TEditControlStyle)
    static constexpr uint32_t KindMask = 0x03;

    using TDialogControlStyleProperties::TDialogControlStyleProperties;
    TEditControlKind Kind() const { return TEditControlKind(KindBits(KindMask)); }
    void SetKind(TEditControlKind Value) { SetKindBits(KindMask, uint32_t(Value)); }
    TEditControlStyle Style() const { return TEditControlStyle::fromInt(int(LowWord())); }
    void SetStyle(TEditControlStyle Value) { SetLowWord(uint32_t(Value.toInt())); }
    QString ControlStyleAsString() const override;
};

class TDialogControlComboboxProperties : public TDialogControlStyleProperties {
    Q_OBJECT
    Q_PROPERTY(TComboBoxControlKind Kind READ Kind WRITE SetKind)
    Q_PROPERTY(TComboBoxControlStyle Style READ Style WRITE SetStyle)

public:
    enum TComboBoxControlKind : int { Unknown0000, Simple, Dropdown, DropdownList };
    Q_ENUM(TComboBoxControlKind)
    enum TComboBoxControlStyleValue : uint32_t {
        cbs_0001 = 0x0001, cbs_0002 = 0x0002, cbs_0004 = 0x0004, cbs_0008 = 0x0008, cbs_OwnerDrawFixed = 0x0010,
        cbs_OwnerDrawVariable = 0x0020, cbs_AutoHScroll = 0x0040, cbs_OemConvert = 0x0080, cbs_Sort = 0x0100,
        cbs_HasStrings = 0x0200, cbs_NoIntegralHeight = 0x0400, cbs_DisableNoScroll = 0x0800,
        cbs_1000 = 0x1000, cbs_Uppercase = 0x2000, cbs_Lowercase = 0x4000, cbs_8000 = 0x8000,
    };
    Q_DECLARE_FLAGS(TComboBoxControlStyle, TComboBoxControlStyleValue)
    Q_FLAG(TComboBoxControlStyle)
    static constexpr uint32_t KindMask = 0x03;

    using TDialogControlStyleProperties::TDialogControlStyleProperties;
    TComboBoxControlKind Kind() const { return TComboBoxControlKind(KindBits(KindMask)); }
    void SetKind(TComboBoxControlKind Value) { SetKindBits(KindMask, uint32_t(Value)); }
    TComboBoxControlStyle Style() const { return TComboBoxControlStyle::fromInt(int(LowWord())); }
    void SetStyle(TComboBoxControlStyle Value) { SetLowWord(uint32_t(Value.toInt())); }
    QString ControlStyleAsString() const override;
};

class TDialogControlListboxProperties : public TDialogControlStyleProperties {
    Q_OBJECT
    Q_PROPERTY(TListBoxControlStyle Style READ Style WRITE SetStyle)

public:
    enum TListBoxControlStyleValue : uint32_t {
        lbs_Notify = 0x0001, lbs_Sort = 0x0002, lbs_NoRedraw = 0x0004, lbs_MultipleSel = 0x0008,
        lbs_OwnerDrawFixed = 0x0010, lbs_OwnerDrawVariable = 0x0020, lbs_HasStrings = 0x0040,
        lbs_UseTabStops = 0x0080, lbs_NoIntegralHeight = 0x0100, lbs_MultiColumn = 0x0200,
        lbs_WantKeyboardInput = 0x0400, lbs_ExtendedSel = 0x0800, lbs_DisableNoScroll = 0x1000,
        lbs_NoData = 0x2000, lbs_NoSel = 0x4000, lbs_Combobox = 0x8000,
    };
    Q_DECLARE_FLAGS(TListBoxControlStyle, TListBoxControlStyleValue)
    Q_FLAG(TListBoxControlStyle)

    using TDialogControlStyleProperties::TDialogControlStyleProperties;
    TListBoxControlStyle Style() const { return TListBoxControlStyle::fromInt(int(LowWord())); }
    void SetStyle(TListBoxControlStyle Value) { SetLowWord(uint32_t(Value.toInt())); }
    QString ControlStyleAsString() const override;
};

class TDialogControlScrollbarProperties : public TDialogControlStyleProperties {
    Q_OBJECT
    Q_PROPERTY(TScrollBarControlKind Kind READ Kind WRITE SetKind)
    Q_PROPERTY(TScrollBarControlStyle Style READ Style WRITE SetStyle)

public:
    enum TScrollBarControlKind : int { Horz, Vert };
    Q_ENUM(TScrollBarControlKind)
    enum TScrollBarControlStyleValue : uint32_t {
        sbs_0001 = 0x0001, sbs_SizeBoxTopLeftAlign = 0x0002, sbs_SizeBoxBottomRightAlign = 0x0004,
        sbs_SizeBox = 0x0008, sbs_SizeGrip = 0x0010, sbs_0020 = 0x0020, sbs_0040 = 0x0040, sbs_0080 = 0x0080,
        sbs_0100 = 0x0100, sbs_0200 = 0x0200, sbs_0400 = 0x0400, sbs_0800 = 0x0800, sbs_1000 = 0x1000,
        sbs_2000 = 0x2000, sbs_4000 = 0x4000, sbs_8000 = 0x8000,
    };
    Q_DECLARE_FLAGS(TScrollBarControlStyle, TScrollBarControlStyleValue)
    Q_FLAG(TScrollBarControlStyle)
    static constexpr uint32_t KindMask = 0x01;

    using TDialogControlStyleProperties::TDialogControlStyleProperties;
    TScrollBarControlKind Kind() const { return TScrollBarControlKind(KindBits(KindMask)); }
    void SetKind(TScrollBarControlKind Value) { SetKindBits(KindMask, uint32_t(Value)); }
    TScrollBarControlStyle Style() const { return TScrollBarControlStyle::fromInt(int(LowWord())); }
    void SetStyle(TScrollBarControlStyle Value) { SetLowWord(uint32_t(Value.toInt())); }
    QString ControlStyleAsString() const override;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TDialogControlDefaultProperties::TDefaultControlStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDialogControlButtonProperties::TButtonControlStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDialogControlStaticProperties::TStaticControlStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDialogControlEditProperties::TEditControlStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDialogControlComboboxProperties::TComboBoxControlStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDialogControlListboxProperties::TListBoxControlStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDialogControlScrollbarProperties::TScrollBarControlStyle)

// The system icon of an ordinal (32512 application to 32518 shield), drawn at 32 x 32; null for
// other ordinals.
QImage DialogSystemIcon(uint16_t Ordinal);
// The picture shown for an image the module does not hold; null for image types it is not carried as
// (enhanced metafiles).
QImage DialogMissingImage(int ImageType);

void koResourceItemDialogControls_Initialize();
void koResourceItemDialogControls_Finalize();
