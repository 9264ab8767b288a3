#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemDialogControls.h"
#include "kinds/koResourceItemIconCursor.h"
#include "kinds/koResourceItemImage.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/ByteBuilder.h"
#include "platform/PublishedProperties.h"
#include "platform/Streams.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

const uint32_t SS_REALSIZEIMAGE = 0x0800;
const uint32_t SS_LEFT = 0;

class DialogControls : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemImage_Initialize();
        koResourceItemBitmap_Initialize();
        koIconEncoder_Initialize();
        koResourceItemIconCursor_Initialize();
        koResourceItemDialog_Initialize();
        koResourceItemDialogControls_Initialize();
        Dialog = new TDialogResourceItem(Ord(1));
        Module.Items()->Add(Dialog);
    }
    void TearDown() override
    {
        koResourceItemDialogControls_Finalize();
        koResourceItemDialog_Finalize();
        koResourceItemIconCursor_Finalize();
        koIconEncoder_Finalize();
        koResourceItemBitmap_Finalize();
        koResourceItemImage_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    // A control of a predefined class, or of the class named ClassName when Class is ccCustom.
    TDialogResourceItemControl* Control(TResourceDialogControlClass Class, uint32_t Style, const QString& ClassName = {})
    {
        TDialogResourceItemControl* control = Dialog->Items()->Add();
        if (Class == ccCustom)
            control->SetControlClassName(ClassName);
        else
            control->SetControlClass(Class);
        control->SetStyle(Style);
        return control;
    }

    TResourceModule Module;
    TDialogResourceItem* Dialog = nullptr;
};
} // namespace

TEST_F(DialogControls, StyleTextsAndViewClasses)
{
    const struct {
        TResourceDialogControlClass Class;
        const char* ClassName;
        uint32_t Style;
        const char* View;
        const char* Text;
    } cases[] = {
        {ccButton, "", 0x50002001, "TDialogControlButtonProperties", "BS_DEFPUSHBUTTON | BS_MULTILINE"},
        {ccButton, "", 0x0000000A, "TDialogControlButtonProperties", "0x0000000AL"},
        // Kinds beyond the named ones: the masks are wider than the tables.
        {ccButton, "", 0x00000013, "TDialogControlButtonProperties", "0x00000013L"},
        {ccButton, "", 0x0000C0F0, "TDialogControlButtonProperties", "0x00000010L | BS_LEFTTEXT | BS_ICON | BS_BITMAP | BS_NOTIFY | BS_FLAT"},
        {ccEdit, "", 0x00000044, "TDialogControlEditProperties", "ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL"},
        {ccEdit, "", 0x0000C203, "TDialogControlEditProperties", "0x00000003L | 0x00000200L | 0x00004000L | 0x00008000L"},
        {ccStatic, "", 0x0000080E, "TDialogControlStaticProperties", "SS_BITMAP | SS_REALSIZEIMAGE"},
        {ccStatic, "", 0x00000013, "TDialogControlStaticProperties", "0x00000013L"},
        {ccStatic, "", 0x000020A1, "TDialogControlStaticProperties", "0x00000021L | SS_NOPREFIX | 0x00002000L"},
        {ccStatic, "", 0x0000C000, "TDialogControlStaticProperties", "SS_LEFT | SS_ENDELLIPSIS | SS_PATHELLIPSIS"},
        {ccListbox, "", 0x50000000, "TDialogControlListboxProperties", ""},
        {ccListbox, "", 0x00008003, "TDialogControlListboxProperties", "LBS_NOTIFY | LBS_SORT | LBS_COMBOBOX"},
        {ccCombobox, "", 0x00000000, "TDialogControlComboboxProperties", "0x00000000L"},
        {ccCombobox, "", 0x00009103, "TDialogControlComboboxProperties", "CBS_DROPDOWNLIST | CBS_SORT | 0x00001000L | 0x00008000L"},
        {ccScrollbar, "", 0x00000011, "TDialogControlScrollbarProperties", "SBS_VERT | SBS_SIZEGRIP"},
        {ccScrollbar, "", 0x00008002, "TDialogControlScrollbarProperties", "SBS_HORZ | SBS_SIZEBOXTOPLEFTALIGN | 0x00008000L"},
        {ccCustom, "MyControl", 0x50000041, "TDialogControlDefaultProperties", "0x00000001L | 0x00000040L"},
        {ccCustom, "MyControl", 0x50000000, "TDialogControlDefaultProperties", ""},
        {ccCustom, "reLISTbox20w", 0x00000003, "TDialogControlListboxProperties", "LBS_NOTIFY | LBS_SORT"},
        {ccCustom, "REComboBox20W", 0x00000002, "TDialogControlComboboxProperties", "CBS_DROPDOWN"},
        {ccCustom, "RichEdit20W", 0x00000003, "TDialogControlDefaultProperties", "0x00000001L | 0x00000002L"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 0x%2").arg(QString::fromLatin1(c.View)).arg(c.Style, 8, 16, QLatin1Char('0')).toStdString());
        TDialogResourceItemControl* control = Control(c.Class, c.Style, QString::fromLatin1(c.ClassName));
        TDialogControlProperties* view = control->ControlStyle();
        ASSERT_NE(view, nullptr);
        EXPECT_STREQ(view->metaObject()->className(), c.View);
        EXPECT_EQ(view->DialogItem(), control);
        EXPECT_EQ(view->ControlStyleAsString().toStdString(), c.Text);
    }
}

TEST_F(DialogControls, ViewFollowsTheClass)
{
    TDialogResourceItemControl* control = Control(ccButton, 0x50000001);
    EXPECT_NE(qobject_cast<TDialogControlButtonProperties*>(control->ControlStyle()), nullptr);
    control->SetControlClass(ccEdit);
    EXPECT_NE(qobject_cast<TDialogControlEditProperties*>(control->ControlStyle()), nullptr);
    control->SetControlClassName(QStringLiteral("REListBox20W"));
    EXPECT_NE(qobject_cast<TDialogControlListboxProperties*>(control->ControlStyle()), nullptr);
    EXPECT_EQ(control->ControlStyle()->ControlStyleAsString(), QStringLiteral("LBS_NOTIFY"));
}

// Kind and Style read and write the control's low word; the high word stays.
TEST_F(DialogControls, KindAndStyleEditTheLowWord)
{
    TDialogResourceItemControl* button = Control(ccButton, 0x50012000);
    auto* view = qobject_cast<TDialogControlButtonProperties*>(button->ControlStyle());
    ASSERT_NE(view, nullptr);
    view->SetKind(TDialogControlButtonProperties::AutoRadioButton);
    EXPECT_EQ(button->Style(), 0x50012009u);
    view->SetStyle(TDialogControlButtonProperties::bs_Flat | TDialogControlButtonProperties::bs_0001);
    EXPECT_EQ(button->Style(), 0x50018001u);
    EXPECT_EQ(view->Kind(), TDialogControlButtonProperties::DefPushButton);
    button->SetStyle(0x50000017);
    EXPECT_EQ(int(view->Kind()), 0x17);

    TDialogResourceItemControl* statik = Control(ccStatic, 0x50000823);
    auto* staticView = qobject_cast<TDialogControlStaticProperties*>(statik->ControlStyle());
    ASSERT_NE(staticView, nullptr);
    EXPECT_EQ(int(staticView->Kind()), 0x23);
    EXPECT_TRUE(staticView->Style().testFlag(TDialogControlStaticProperties::ss_RealSizeImage));
    staticView->SetKind(TDialogControlStaticProperties::Bitmap);
    EXPECT_EQ(statik->Style(), 0x5000080Eu);

    // The published properties, through the property layer the inspector uses.
    TDialogResourceItemControl* edit = Control(ccEdit, 0x50000000);
    QObject* editView = edit->ControlStyle();
    const QMetaProperty kind = FindPublishedProperty(editView->metaObject(), "Kind");
    const QMetaProperty style = FindPublishedProperty(editView->metaObject(), "Style");
    ASSERT_TRUE(kind.isValid());
    ASSERT_TRUE(style.isValid());
    EXPECT_TRUE(kind.isEnumType());
    EXPECT_TRUE(style.isFlagType());
    ASSERT_TRUE(kind.write(editView, PropertyValueFromText(kind, QStringLiteral("Right"))));
    ASSERT_TRUE(style.write(editView, PropertyValueFromText(style, QStringLiteral("es_Number|es_MultiLine|es_0001"))));
    EXPECT_EQ(edit->Style() & 0xFFFF, 0x2005u);
    EXPECT_EQ(edit->Style() & 0xFFFF0000, 0x50000000u);
    EXPECT_EQ(PropertyValueToText(kind, kind.read(editView)), QStringLiteral("Center"));
    // A list box has no kind.
    QObject* listView = Control(ccListbox, 0)->ControlStyle();
    EXPECT_FALSE(FindPublishedProperty(listView->metaObject(), "Kind").isValid());
    EXPECT_TRUE(FindPublishedProperty(listView->metaObject(), "Style").isValid());
}

// --- Images of static controls ----------------------------------------------------------------------

namespace {
// What the live control was given.
class TFakeImageControl : public IDialogStaticImageControl {
public:
    void SetImage(int ImageType, const QImage& Image) override
    {
        ++Calls;
        Type = ImageType;
        Shown = Image;
    }
    int Calls = 0;
    int Type = -1;
    QImage Shown;
};

// A 32-bit DIB of one colour: an icon or cursor image (with its mask) or a bitmap.
QByteArray SolidDIB(int Size, QRgb Color, bool Icon)
{
    QByteArray d;
    Add32(d, 40);
    Add32(d, uint32_t(Size));
    Add32(d, uint32_t(Icon ? 2 * Size : Size));
    Add16(d, 1);
    Add16(d, 32);
    Add32(d, 0);
    Add32(d, uint32_t(Size * Size * 4));
    d += QByteArray(16, '\0');
    for (int i = 0; i < Size * Size; ++i)
        d.append(char(qBlue(Color))).append(char(qGreen(Color))).append(char(qRed(Color))).append(char(0xFF));
    if (Icon) d += QByteArray(((Size + 31) / 32 * 4) * Size, '\0');
    return d;
}

QByteArray GroupDirectory(int Type, const QList<std::pair<int, uint16_t>>& Images)
{
    QByteArray d;
    Add16(d, 0);
    Add16(d, uint32_t(Type));
    Add16(d, uint32_t(Images.size()));
    for (const auto& [size, ordinal] : Images) {
        const uint32_t bytes = uint32_t(SolidDIB(size, 0, true).size() + (Type == 2 ? 4 : 0));
        if (Type == 1) {
            d.append(char(size)).append(char(size)).append('\0').append('\0');
        } else {
            Add16(d, uint32_t(size));
            Add16(d, uint32_t(2 * size));
        }
        Add16(d, 1);
        Add16(d, 32);
        Add32(d, bytes);
        Add16(d, ordinal);
    }
    return d;
}

QRgb ColorOf(int Index) { return qRgb(40 * Index, 255 - 40 * Index, 128); }
} // namespace

class StaticImages : public DialogControls {
protected:
    void SetUp() override
    {
        DialogControls::SetUp();
        Module.BeforeLoad();
        // Icon group 7: 16, 32 and 48 pixels; group 8 has no 32-pixel image; cursor group 9.
        Add<TIconResourceItem>(Ord(1), SolidDIB(16, ColorOf(1), true));
        Add<TIconResourceItem>(Ord(2), SolidDIB(32, ColorOf(2), true));
        Add<TIconResourceItem>(Ord(3), SolidDIB(48, ColorOf(3), true));
        Add<TIconGroupResourceItem>(Ord(7), GroupDirectory(1, {{16, 1}, {32, 2}, {48, 3}}));
        Add<TIconGroupResourceItem>(Ord(8), GroupDirectory(1, {{16, 1}, {48, 3}}));
        Add<TCursorResourceItem>(Ord(4), QByteArray("\x02\0\x03\0", 4) + SolidDIB(32, ColorOf(4), true));
        Add<TCursorGroupResourceItem>(Ord(9), GroupDirectory(2, {{32, 4}}));
        Add<TBitmapResourceItem>(TResourceIdent(QStringLiteral("LOGO")), SolidDIB(5, ColorOf(5), false));
        Module.AfterLoad();
    }
    template <class T>
    void Add(const TResourceIdent& Name, const QByteArray& Data)
    {
        auto* item = new T(Name);
        item->SetModule(&Module);
        TBytesStream stream(Data);
        item->LoadFromStream(stream, stream.Size());
    }
    TFakeImageControl Show(uint32_t Style, const TResourceIdent& Text)
    {
        TDialogResourceItemControl* control = Control(ccStatic, 0x50000000 | Style);
        control->SetText(Text);
        TFakeImageControl target;
        control->ControlStyle()->UpdateControl(&target);
        return target;
    }
};

TEST_F(StaticImages, ShowsTheImageTheTextNames)
{
    const QImage missingIcon = DialogMissingImage(IDialogStaticImageControl::itIcon);
    const QImage missingBitmap = DialogMissingImage(IDialogStaticImageControl::itBitmap);
    ASSERT_FALSE(missingIcon.isNull());
    ASSERT_FALSE(missingBitmap.isNull());
    const struct {
        const char* Case;
        uint32_t Style;
        TResourceIdent Text;
        int Type;
        QSize Size;
        int Color; // the index of the image's colour; 0 for none of ours
        QImage Expected; // when Color is 0
    } cases[] = {
        {"icon group: the image of the system icon size", SS_ICON, Ord(7), IDialogStaticImageControl::itIcon, {32, 32}, 2, {}},
        {"real size: the first image", SS_ICON | SS_REALSIZEIMAGE, Ord(7), IDialogStaticImageControl::itIcon, {16, 16}, 1, {}},
        {"no image of the system icon size", SS_ICON, Ord(8), IDialogStaticImageControl::itIcon, {32, 32}, 0, missingIcon},
        {"real size also looks at cursors", SS_ICON | SS_REALSIZEIMAGE, Ord(9), IDialogStaticImageControl::itIcon, {32, 32}, 4, {}},
        {"cursors only at real size", SS_ICON, Ord(9), IDialogStaticImageControl::itIcon, {32, 32}, 0, missingIcon},
        {"unknown name", SS_ICON, TResourceIdent(QStringLiteral("NOSUCH")), IDialogStaticImageControl::itIcon, {32, 32}, 0, missingIcon},
        {"system icon by ordinal", SS_ICON, Ord(32512), IDialogStaticImageControl::itIcon, {32, 32}, 0, DialogSystemIcon(32512)},
        {"system shield by ordinal", SS_ICON, Ord(32518), IDialogStaticImageControl::itIcon, {32, 32}, 0, DialogSystemIcon(32518)},
        {"no system icon of that ordinal", SS_ICON, Ord(32519), IDialogStaticImageControl::itIcon, {32, 32}, 0, missingIcon},
        {"bitmap", SS_BITMAP, TResourceIdent(QStringLiteral("LOGO")), IDialogStaticImageControl::itBitmap, {5, 5}, 5, {}},
        {"missing bitmap", SS_BITMAP, Ord(32754), IDialogStaticImageControl::itBitmap, {32, 32}, 0, missingBitmap},
        {"bitmap static does not take icons", SS_BITMAP, Ord(7), IDialogStaticImageControl::itBitmap, {32, 32}, 0, missingBitmap},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        const TFakeImageControl target = Show(c.Style, c.Text);
        EXPECT_EQ(target.Calls, 1);
        EXPECT_EQ(target.Type, c.Type);
        ASSERT_FALSE(target.Shown.isNull());
        EXPECT_EQ(target.Shown.size(), c.Size);
        if (c.Color != 0) {
            EXPECT_EQ(QColor(target.Shown.pixel(c.Size.width() / 2, c.Size.height() / 2)), QColor(ColorOf(c.Color)));
        } else {
            EXPECT_EQ(target.Shown.convertToFormat(QImage::Format_ARGB32), c.Expected.convertToFormat(QImage::Format_ARGB32));
        }
    }
}

TEST_F(StaticImages, OtherStaticsAreLeftAlone)
{
    EXPECT_EQ(Show(SS_LEFT, Ord(7)).Calls, 0);
    // The missing-image picture is carried as a bitmap and an icon only: a metafile static is cleared.
    const TFakeImageControl metafile = Show(SS_ENHMETAFILE, Ord(7));
    EXPECT_EQ(metafile.Calls, 1);
    EXPECT_EQ(metafile.Type, IDialogStaticImageControl::itEnhMetafile);
    EXPECT_TRUE(metafile.Shown.isNull());
    // Other classes show no image.
    TDialogResourceItemControl* button = Control(ccButton, 0x50000000 | SS_ICON);
    button->SetText(Ord(7));
    TFakeImageControl target;
    button->ControlStyle()->UpdateControl(&target);
    EXPECT_EQ(target.Calls, 0);
}

TEST(DialogPictures, SystemIconsAreDistinct)
{
    QList<QImage> seen{DialogMissingImage(IDialogStaticImageControl::itIcon)};
    for (uint16_t ordinal = 32512; ordinal <= 32518; ++ordinal) {
        const QImage image = DialogSystemIcon(ordinal);
        ASSERT_FALSE(image.isNull()) << ordinal;
        EXPECT_EQ(image.size(), QSize(32, 32));
        EXPECT_FALSE(seen.contains(image)) << ordinal;
        seen << image;
    }
    EXPECT_TRUE(DialogSystemIcon(32511).isNull());
    EXPECT_TRUE(DialogSystemIcon(1).isNull());
}
