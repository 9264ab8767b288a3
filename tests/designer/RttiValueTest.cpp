// Values as text: each kind's text form and back, the value lists, and refusals that change nothing.
#include "RttiFixtures.h"
#include "platform/ValueTexts.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {
// Fixed formats, so that the tests read the same in every locale.
class RttiValue : public ::testing::Test {
protected:
    void SetUp() override
    {
        FSaved = FormatSettings();
        TFormatSettings s;
        s.DecimalSeparator = QLatin1Char('.');
        s.ShortDateFormat = QStringLiteral("dd.MM.yyyy");
        s.LongTimeFormat = QStringLiteral("HH:mm:ss");
        SetFormatSettings(s);
        List.SetInstance(&Sample);
    }
    void TearDown() override { SetFormatSettings(FSaved); }

    TRunTimeProperty* Prop(const char* name)
    {
        TRunTimeProperty* p = List.PropertyByName(QString::fromLatin1(name));
        EXPECT_NE(p, nullptr) << name;
        return p;
    }

    TSample Sample;
    TRefinedPropertyList List;
    TFormatSettings FSaved;
};
} // namespace

TEST_F(RttiValue, TextsRoundTrip)
{
    struct Case {
        const char* Property;
        const char* Typed;
        const char* Shown;
    };
    const Case cases[] = {
        {"Width", "-12", "-12"},
        {"Width", "$10", "16"},
        // Unsigned 32-bit values above 2^31 read back as shown.
        {"Mask", "4294967295", "4294967295"},
        {"Small", "65535", "65535"},
        {"Big", "-9223372036854775808", "-9223372036854775808"},
        {"Color", "clBtnFace", "clBtnFace"},
        {"Color", "CLRED", "clRed"},
        {"Color", "$00FF0000", "clBlue"},
        {"Color", "$00123456", "$00123456"},
        {"Color", "255", "clRed"},
        // The older system-colour form is the same colour.
        {"Color", "$8000000F", "clBtnFace"},
        {"Color", "$FF00000F", "clBtnFace"},
        {"Cursor", "crHandPoint", "crHandPoint"},
        {"Cursor", "-21", "crHandPoint"},
        {"Cursor", "5", "5"},
        {"Charset", "symbol_charset", "SYMBOL_CHARSET"},
        {"Charset", "204", "RUSSIAN_CHARSET"},
        {"Charset", "3", "3"},
        {"ModalResult", "mrCancel", "mrCancel"},
        {"ModalResult", "100", "100"},
        {"ShortCut", "Ctrl+S", "Ctrl+S"},
        {"ShortCut", "alt+shift+f4", "Shift+Alt+F4"},
        {"ShortCut", "none", "(None)"},
        {"ShortCut", "", "(None)"},
        {"Letter", "x", "x"},
        {"Align", "alClient", "alClient"},
        {"Align", "ALTOP", "alTop"},
        {"Enabled", "True", "True"},
        {"Enabled", "false", "False"},
        {"Style", "[fsBold,fsUnderline]", "[fsBold,fsUnderline]"},
        {"Style", "  [fsStrikeOut fsItalic]", "[fsItalic,fsStrikeOut]"},
        {"Style", "fsBold", "[fsBold]"},
        {"Style", "", "[]"},
        {"Style", "[]", "[]"},
        {"Hint", "a hint", "a hint"},
        {"Caption", "&OK", "&OK"},
        {"Ratio", "1.5", "1.5"},
        {"Ratio", " -2.25e3 ", "-2250"},
        {"Ratio", "1e20", "1E20"},
        {"Ratio", "0.1", "0.1"},
        {"Scale", "0.25", "0.25"},
        {"Date", "24.12.2026", "24.12.2026"},
        {"Date", "", ""},
        {"Time", "13:45:30", "13:45:30"},
        {"Stamp", "01.01.2000 06:30:00", "01.01.2000 06:30:00"},
        {"Stamp", "01.01.2000", "01.01.2000"},
        {"Tag", "anything", "anything"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Property) + " <- '" + c.Typed + "'");
        TRunTimeProperty* p = Prop(c.Property);
        ASSERT_TRUE(p);
        p->SetValue(QString::fromLatin1(c.Typed));
        EXPECT_EQ(p->GetValue(), QLatin1String(c.Shown));
    }
}

TEST_F(RttiValue, StoredValuesBehindTheTexts)
{
    Prop("Color")->SetValue(QStringLiteral("clBtnFace"));
    EXPECT_EQ(Sample.FColor.Value, 0xFF00000Fu);
    Prop("ShortCut")->SetValue(QStringLiteral("Ctrl+Alt+A"));
    EXPECT_EQ(Sample.FShortCut.Value, scCtrl | scAlt | 'A');
    Prop("Letter")->SetValue(QString());
    EXPECT_EQ(Sample.FLetter, QChar(0));
    Prop("Date")->SetValue(QStringLiteral("31.12.1899"));
    EXPECT_EQ(Sample.FDate.Value, 1.0);
    Prop("Date")->SetValue(QString());
    EXPECT_EQ(Sample.FDate.Value, 0.0);
    Prop("Time")->SetValue(QStringLiteral("12:00:00"));
    EXPECT_DOUBLE_EQ(Sample.FTime.Value, 0.5);
    Prop("Stamp")->SetValue(QStringLiteral("30.12.1899 18:00:00"));
    EXPECT_DOUBLE_EQ(Sample.FStamp.Value, 0.75);
    // A date before the base day counts its time of day away from zero.
    Sample.FStamp = TDateTime(-1.25);
    EXPECT_EQ(Prop("Stamp")->GetValue(), QStringLiteral("29.12.1899 06:00:00"));
    Prop("Stamp")->SetValue(Prop("Stamp")->GetValue());
    EXPECT_DOUBLE_EQ(Sample.FStamp.Value, -1.25);
}

TEST_F(RttiValue, ZeroValuesShowTheirOwnText)
{
    EXPECT_EQ(Prop("ShortCut")->GetValue(), QStringLiteral("(None)"));
    EXPECT_EQ(Prop("Date")->GetValue(), QString());
    EXPECT_EQ(Prop("Stamp")->GetValue(), QString());
    EXPECT_EQ(Prop("Letter")->GetValue(), QString(QChar(0)));
    EXPECT_EQ(Prop("Style")->GetValue(), QStringLiteral("[]"));
    EXPECT_EQ(Prop("Cursor")->GetValue(), QStringLiteral("crDefault"));
    EXPECT_EQ(Prop("ModalResult")->GetValue(), QStringLiteral("mrNone"));
    EXPECT_EQ(Prop("Charset")->GetValue(), QStringLiteral("ANSI_CHARSET"));
    EXPECT_EQ(Prop("Color")->GetValue(), QStringLiteral("clBlack"));
}

TEST_F(RttiValue, FloatsFollowTheLocaleDecimalSeparator)
{
    TFormatSettings german = FormatSettings();
    german.DecimalSeparator = QLatin1Char(',');
    SetFormatSettings(german);
    Prop("Ratio")->SetValue(QStringLiteral("1,25"));
    EXPECT_EQ(Sample.FRatio, 1.25);
    EXPECT_EQ(Prop("Ratio")->GetValue(), QStringLiteral("1,25"));
    // A point is no decimal separator here: refused rather than read as 125 or 1.
    EXPECT_THROW(Prop("Ratio")->SetValue(QStringLiteral("1.5")), EConvertError);
    EXPECT_EQ(Sample.FRatio, 1.25);
    EXPECT_EQ(FloatToStr(1e-7, german), QStringLiteral("1E-7"));
    EXPECT_EQ(FloatToStr(123456789012345.0, german), QStringLiteral("123456789012345"));
    EXPECT_EQ(FloatToStr(1.0 / 3, german), QStringLiteral("0,333333333333333"));
}

TEST_F(RttiValue, RefusedTextsRaiseAndChangeNothing)
{
    Sample.FWidth = 3;
    Sample.FSmall = 4;
    Sample.FColor = clWhite;
    Sample.FCursor = TCursorValue(-2);
    Sample.FCharset = TFontCharset(2);
    Sample.FModalResult = TModalResult(1);
    Sample.FShortCut = TShortCut(scCtrl | 'S');
    Sample.FLetter = QLatin1Char('q');
    Sample.FAlign = RttiFixture::alTop;
    Sample.FStyle = RttiFixture::fsBold;
    Sample.FRatio = 2;
    Sample.FScale = 1;
    Sample.FDate = TDate(100);
    Sample.FTime = TTime(0.5);
    Sample.FBig = 9;
    Sample.FCount = 6;
    struct Case {
        const char* Property;
        const char* Typed;
        const char* Message; // nullptr: only the exception class is checked
    };
    const Case cases[] = {
        {"Width", "twelve", "'twelve' is not a valid integer value"},
        {"Width", "4294967296", "Value must be between -2147483648 and 2147483647"},
        // A Word keeps only its low bits of a larger number: refused instead.
        {"Small", "70000", "Value must be between 0 and 65535"},
        {"Small", "-1", "Value must be between 0 and 65535"},
        {"Color", "clNoSuchColour", nullptr},
        {"Color", "$1FFFFFFFF", nullptr},
        {"Cursor", "crNothing", nullptr},
        {"Cursor", "40000", nullptr},
        {"Charset", "KLINGON_CHARSET", "Invalid property value"},
        {"Charset", "256", "Invalid property value"},
        {"ModalResult", "mrMaybe", "Invalid property value"},
        {"ShortCut", "(None)", "Invalid property value"},
        {"ShortCut", "Ctrl+Nothing", "Invalid property value"},
        {"Letter", "ab", "Invalid property value"},
        {"Align", "alMiddle", "Invalid property element: alMiddle"},
        {"Style", "[fsBold,fsWide]", "Invalid property element: fsWide"},
        {"Ratio", "1.5.2", nullptr},
        {"Ratio", "nan", nullptr},
        {"Scale", "1e300", nullptr},
        {"Date", "31.02.2020", "'31.02.2020' is not a valid date"},
        {"Time", "25:00:00", nullptr},
        {"Stamp", "tomorrow", nullptr},
        {"Big", "9223372036854775808", nullptr},
        // The object refuses: its exception reaches the caller.
        {"Count", "-1", "Count cannot be negative"},
        {"Fixed", "3", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Property) + " <- '" + c.Typed + "'");
        TRunTimeProperty* p = Prop(c.Property);
        ASSERT_TRUE(p);
        const QString before = p->GetValue();
        try {
            p->SetValue(QString::fromLatin1(c.Typed));
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            if (c.Message) {
                EXPECT_EQ(e.Message(), QLatin1String(c.Message));
            }
        }
        EXPECT_EQ(p->GetValue(), before);
    }
}

TEST_F(RttiValue, ValueLists)
{
    QStringList colors;
    Prop("Color")->GetValues(colors);
    ASSERT_GE(colors.size(), 24);
    EXPECT_EQ(colors.mid(0, 4), (QStringList{"clBlack", "clMaroon", "clGreen", "clOlive"}));
    EXPECT_EQ(colors[15], QStringLiteral("clWhite"));
    EXPECT_EQ(colors.mid(16, 4), (QStringList{"clMoneyGreen", "clSkyBlue", "clCream", "clMedGray"}));
    const QStringList rest = colors.mid(20);
    EXPECT_TRUE(rest.contains(QStringLiteral("clDefault")) && rest.contains(QStringLiteral("clNone")) &&
                rest.contains(QStringLiteral("clBtnFace")));
    EXPECT_TRUE(std::is_sorted(rest.begin(), rest.end(), [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; }));
    // Every listed name reads back as itself.
    for (const QString& name : colors) EXPECT_EQ(ColorToString(StringToColor(name)), name);

    QStringList shortcuts;
    Prop("ShortCut")->GetValues(shortcuts);
    ASSERT_EQ(shortcuts.size(), 109);
    EXPECT_EQ(shortcuts[0], QStringLiteral("None"));
    EXPECT_EQ(shortcuts[1], QStringLiteral("Ctrl+A"));
    EXPECT_EQ(shortcuts[27], QStringLiteral("Ctrl+Alt+A"));
    EXPECT_EQ(shortcuts[53], QStringLiteral("F1"));
    EXPECT_EQ(shortcuts[101], QStringLiteral("Ins"));
    EXPECT_EQ(shortcuts[108], QStringLiteral("Shift+Alt+BkSp"));
    for (const QString& s : shortcuts.mid(1)) EXPECT_NE(TextToShortCut(s).Value, 0) << s.toStdString();

    QStringList cursors;
    Prop("Cursor")->GetValues(cursors);
    ASSERT_EQ(cursors.size(), 21);
    EXPECT_EQ(cursors.first(), QStringLiteral("crDefault"));
    EXPECT_EQ(cursors.last(), QStringLiteral("crSizeAll"));

    QStringList charsets, modal, align, enabled;
    Prop("Charset")->GetValues(charsets);
    Prop("ModalResult")->GetValues(modal);
    Prop("Align")->GetValues(align);
    Prop("Enabled")->GetValues(enabled);
    EXPECT_EQ(charsets.first(), QStringLiteral("ANSI_CHARSET"));
    EXPECT_EQ(charsets.last(), QStringLiteral("OEM_CHARSET"));
    EXPECT_EQ(modal.size(), 11);
    EXPECT_EQ(modal.last(), QStringLiteral("mrYesToAll"));
    EXPECT_EQ(align, (QStringList{"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}));
    EXPECT_EQ(enabled, (QStringList{"False", "True"}));
}

TEST_F(RttiValue, ObjectReferencesAreTokensNeverAddresses)
{
    TSample other;
    other.setObjectName(QStringLiteral("Other"));
    List.Components = {&other};
    List.Refresh();
    TRunTimeProperty* link = Prop("Link");
    TRunTimeProperty* peer = Prop("Peer");
    EXPECT_EQ(link->GetVisualValue(), QString());
    // An address typed as a number is refused.
    const QString address = QString::number(reinterpret_cast<quintptr>(&other));
    EXPECT_THROW(peer->SetValue(address), EPropertyError);
    EXPECT_EQ(Sample.FPeer, nullptr);
    // A component by name; an unknown name is refused.
    link->SetValue(QStringLiteral("Other"));
    EXPECT_EQ(Sample.FLink, &other);
    EXPECT_THROW(link->SetValue(QStringLiteral("Nobody")), EPropertyError);
    EXPECT_EQ(Sample.FLink, &other);
    // Not a component (no widget): its display shows an object, never raises.
    EXPECT_EQ(link->GetVisualValue(), QStringLiteral("(...)"));
    // The token of an object handed out by one property serves another; the sub-list follows.
    peer->SetValue(link->GetValue());
    EXPECT_EQ(Sample.FPeer, &other);
    ASSERT_TRUE(peer->Properties());
    EXPECT_EQ(peer->Properties()->Instance(), &other);
    EXPECT_EQ(peer->GetVisualValue(), QStringLiteral("(...)"));
    // A token of an object gone since is refused.
    QString gone;
    {
        TSample temporary;
        Sample.FLink = &temporary;
        gone = link->GetValue();
        Sample.FLink = nullptr;
    }
    EXPECT_THROW(peer->SetValue(gone), EPropertyError);
    EXPECT_EQ(Sample.FPeer, &other);
    // An object of another class than the declared one is refused.
    QObject plain;
    EXPECT_THROW(static_cast<TRunTimeClassProperty*>(peer)->SetAsObject(&plain), EPropertyError);
    peer->SetValue(QStringLiteral("0"));
    EXPECT_EQ(Sample.FPeer, nullptr);
}

TEST_F(RttiValue, PicturesShowTheirClass)
{
    TRunTimeProperty* picture = Prop("Picture");
    EXPECT_EQ(picture->GetVisualValue(), QStringLiteral("(None)"));
    TBitmap empty;
    Sample.FPicture = &empty;
    EXPECT_EQ(picture->GetVisualValue(), QStringLiteral("(None)"));
    TBitmap bitmap(2, 2);
    Sample.FPicture = &bitmap;
    EXPECT_EQ(picture->GetVisualValue(), QStringLiteral("(Bitmap)"));
    TIcon icon;
    QImage image(2, 2, QImage::Format_ARGB32);
    image.fill(Qt::red);
    icon.SetImage(image);
    Sample.FPicture = &icon;
    EXPECT_EQ(picture->GetVisualValue(), QStringLiteral("(Icon)"));
    picture->SetValue(QString());
    EXPECT_EQ(Sample.FPicture, nullptr);
}

TEST_F(RttiValue, MethodsGoThroughTheList)
{
    QTimer target;
    List.MethodTarget = &target;
    TRunTimeProperty* onClick = Prop("OnClick");
    EXPECT_EQ(onClick->GetValue(), QString());
    onClick->SetValue(QStringLiteral("ButtonClick"));
    EXPECT_EQ(Sample.FOnClick.Data, &target);
    EXPECT_EQ(Sample.FOnClick.Code, QByteArray("ButtonClick"));
    EXPECT_EQ(onClick->GetValue(), QStringLiteral("ButtonClick"));
    onClick->SetValue(QString());
    EXPECT_FALSE(Sample.FOnClick.IsAssigned());
}

TEST(RttiFormats, DatesAndFloatsReadBackInEveryLocale)
{
    const double stamp = 46000.0 + (13 * 3600 + 7 * 60 + 9) / 86400.0;
    for (const char* name : {"C", "en_US", "de_DE", "fr_FR", "ja_JP", "ru_RU", "ar_EG"}) {
        SCOPED_TRACE(name);
        const TFormatSettings s = TFormatSettings::FromLocale(QLocale(QString::fromLatin1(name)));
        EXPECT_NEAR(StrToDateTime(DateTimeToStr(stamp, s), s), stamp, 1.0 / 86400);
        EXPECT_EQ(StrToDate(DateToStr(stamp, s), s), 46000.0);
        EXPECT_NEAR(StrToTime(TimeToStr(stamp, s), s), stamp - 46000.0, 1.0 / 86400);
        EXPECT_EQ(StrToFloat(FloatToStr(-1234.5678, s), s), -1234.5678);
    }
}
