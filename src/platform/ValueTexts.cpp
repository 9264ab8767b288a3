#include "ValueTexts.h"

#include "Exceptions.h"
#include "SysUtils.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <cmath>

namespace {
struct TIdentMapEntry {
    int32_t Value;
    const char* Name;
};

// The names of documented constants of the platform's colours (basic colours, then system colours
// 0xFF000000 + COLOR_* index).
constexpr TIdentMapEntry Colors[] = {
    {0x000000, "clBlack"}, {0x000080, "clMaroon"}, {0x008000, "clGreen"}, {0x008080, "clOlive"},
    {0x800000, "clNavy"}, {0x800080, "clPurple"}, {0x808000, "clTeal"}, {0x808080, "clGray"},
    {0xC0C0C0, "clSilver"}, {0x0000FF, "clRed"}, {0x00FF00, "clLime"}, {0x00FFFF, "clYellow"},
    {0xFF0000, "clBlue"}, {0xFF00FF, "clFuchsia"}, {0xFFFF00, "clAqua"}, {0xFFFFFF, "clWhite"},
    {0xC0DCC0, "clMoneyGreen"}, {0xF0CAA6, "clSkyBlue"}, {0xF0FBFF, "clCream"}, {0xA4A0A0, "clMedGray"},
    {int32_t(0xFF000000), "clScrollBar"}, {int32_t(0xFF000001), "clBackground"},
    {int32_t(0xFF000002), "clActiveCaption"}, {int32_t(0xFF000003), "clInactiveCaption"},
    {int32_t(0xFF000004), "clMenu"}, {int32_t(0xFF000005), "clWindow"}, {int32_t(0xFF000006), "clWindowFrame"},
    {int32_t(0xFF000007), "clMenuText"}, {int32_t(0xFF000008), "clWindowText"},
    {int32_t(0xFF000009), "clCaptionText"}, {int32_t(0xFF00000A), "clActiveBorder"},
    {int32_t(0xFF00000B), "clInactiveBorder"}, {int32_t(0xFF00000C), "clAppWorkSpace"},
    {int32_t(0xFF00000D), "clHighlight"}, {int32_t(0xFF00000E), "clHighlightText"},
    {int32_t(0xFF00000F), "clBtnFace"}, {int32_t(0xFF000010), "clBtnShadow"}, {int32_t(0xFF000011), "clGrayText"},
    {int32_t(0xFF000012), "clBtnText"}, {int32_t(0xFF000013), "clInactiveCaptionText"},
    {int32_t(0xFF000014), "clBtnHighlight"}, {int32_t(0xFF000015), "cl3DDkShadow"},
    {int32_t(0xFF000016), "cl3DLight"}, {int32_t(0xFF000017), "clInfoText"}, {int32_t(0xFF000018), "clInfoBk"},
    {int32_t(0xFF00001A), "clHotLight"}, {int32_t(0xFF00001B), "clGradientActiveCaption"},
    {int32_t(0xFF00001C), "clGradientInactiveCaption"}, {int32_t(0xFF00001D), "clMenuHighlight"},
    {int32_t(0xFF00001E), "clMenuBar"},
    {0x1FFFFFFF, "clNone"}, {0x20000000, "clDefault"},
};
constexpr int BasicColorCount = 20; // the 16 basic and 4 extra colours, in list order

constexpr TIdentMapEntry Cursors[] = {
    {0, "crDefault"}, {-1, "crNone"}, {-2, "crArrow"}, {-3, "crCross"}, {-4, "crIBeam"},
    {-6, "crSizeNESW"}, {-7, "crSizeNS"}, {-8, "crSizeNWSE"}, {-9, "crSizeWE"}, {-10, "crUpArrow"},
    {-11, "crHourGlass"}, {-12, "crDrag"}, {-13, "crNoDrop"}, {-14, "crHSplit"}, {-15, "crVSplit"},
    {-16, "crMultiDrag"}, {-18, "crNo"}, {-19, "crAppStart"}, {-20, "crHelp"}, {-21, "crHandPoint"},
    {-22, "crSizeAll"},
};

constexpr TIdentMapEntry Charsets[] = {
    {0, "ANSI_CHARSET"}, {1, "DEFAULT_CHARSET"}, {2, "SYMBOL_CHARSET"}, {77, "MAC_CHARSET"},
    {128, "SHIFTJIS_CHARSET"}, {129, "HANGEUL_CHARSET"}, {130, "JOHAB_CHARSET"}, {134, "GB2312_CHARSET"},
    {136, "CHINESEBIG5_CHARSET"}, {161, "GREEK_CHARSET"}, {162, "TURKISH_CHARSET"}, {163, "VIETNAMESE_CHARSET"},
    {177, "HEBREW_CHARSET"}, {178, "ARABIC_CHARSET"}, {186, "BALTIC_CHARSET"}, {204, "RUSSIAN_CHARSET"},
    {222, "THAI_CHARSET"}, {238, "EASTEUROPE_CHARSET"}, {255, "OEM_CHARSET"},
};

constexpr TIdentMapEntry ModalResults[] = {
    {0, "mrNone"}, {1, "mrOk"}, {2, "mrCancel"}, {3, "mrAbort"}, {4, "mrRetry"}, {5, "mrIgnore"},
    {6, "mrYes"}, {7, "mrNo"}, {8, "mrAll"}, {9, "mrNoToAll"}, {10, "mrYesToAll"},
};

template <size_t N>
bool ToIdent(const TIdentMapEntry (&map)[N], int32_t value, QString& ident)
{
    for (const auto& e : map)
        if (e.Value == value) {
            ident = QString::fromLatin1(e.Name);
            return true;
        }
    return false;
}

template <size_t N>
bool FromIdent(const TIdentMapEntry (&map)[N], const QString& ident, int32_t& value)
{
    for (const auto& e : map)
        if (SameText(ident, QLatin1String(e.Name))) {
            value = e.Value;
            return true;
        }
    return false;
}

template <size_t N>
QStringList Names(const TIdentMapEntry (&map)[N])
{
    QStringList result;
    for (const auto& e : map) result.append(QString::fromLatin1(e.Name));
    return result;
}

// An old-style system colour (0x80000000 + index) is the same colour as 0xFF000000 + index.
int32_t NormalColor(uint32_t value)
{
    if ((value & 0xFF000000u) == 0x80000000u) value = 0xFF000000u | (value & 0x00FFFFFFu);
    return int32_t(value);
}

TFormatSettings& processSettings()
{
    static TFormatSettings settings = TFormatSettings::FromLocale(QLocale());
    return settings;
}

constexpr qint64 MSecsPerDay = 86400000;
const QDate DateBase(1899, 12, 30);

[[noreturn]] void BadText(const char* what, const QString& text)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid %2").arg(text, QLatin1String(what)));
}
} // namespace

bool ColorToIdent(int32_t Color, QString& Ident) { return ToIdent(Colors, NormalColor(uint32_t(Color)), Ident); }
bool IdentToColor(const QString& Ident, int32_t& Color) { return FromIdent(Colors, Ident.trimmed(), Color); }

QString ColorToString(TColor Color)
{
    QString ident;
    if (ColorToIdent(int32_t(Color.Value), ident)) return ident;
    return QStringLiteral("$%1").arg(Color.Value, 8, 16, QLatin1Char('0')).toUpper();
}

TColor StringToColor(const QString& Text)
{
    int32_t value = 0;
    if (IdentToColor(Text, value)) return TColor(uint32_t(value));
    // Colours past 0x7FFFFFFF are written unsigned ("$FF00000F"), so read them as 64-bit.
    int64_t number = 0;
    if (!TryStrToInt64(Text, number) || number < std::numeric_limits<int32_t>::min() || number > 0xFFFFFFFFll)
        throw EConvertError(QStringLiteral("'%1' is not a valid colour").arg(Text));
    return TColor(uint32_t(number));
}

QStringList ColorValues()
{
    QStringList result;
    for (int i = 0; i < BasicColorCount; ++i) result.append(QString::fromLatin1(Colors[i].Name));
    QStringList rest;
    for (size_t i = BasicColorCount; i < std::size(Colors); ++i) rest.append(QString::fromLatin1(Colors[i].Name));
    std::sort(rest.begin(), rest.end(), [](const QString& a, const QString& b) { return CompareText(a, b) < 0; });
    return result + rest;
}

bool CursorToIdent(int32_t Cursor, QString& Ident) { return ToIdent(Cursors, Cursor, Ident); }
bool IdentToCursor(const QString& Ident, int32_t& Cursor) { return FromIdent(Cursors, Ident.trimmed(), Cursor); }

QString CursorToString(int32_t Cursor)
{
    QString ident;
    return CursorToIdent(Cursor, ident) ? ident : QString::number(Cursor);
}

int32_t StringToCursor(const QString& Text)
{
    int32_t value = 0;
    if (IdentToCursor(Text, value)) return value;
    return StrToInt(Text);
}

QStringList CursorValues() { return Names(Cursors); }

bool CharsetToIdent(int32_t Charset, QString& Ident) { return ToIdent(Charsets, Charset, Ident); }
bool IdentToCharset(const QString& Ident, int32_t& Charset) { return FromIdent(Charsets, Ident.trimmed(), Charset); }
QStringList CharsetValues() { return Names(Charsets); }

bool ModalResultToIdent(int32_t ModalResult, QString& Ident) { return ToIdent(ModalResults, ModalResult, Ident); }
bool IdentToModalResult(const QString& Ident, int32_t& ModalResult) { return FromIdent(ModalResults, Ident.trimmed(), ModalResult); }
QStringList ModalResultValues() { return Names(ModalResults); }

TFormatSettings TFormatSettings::FromLocale(const QLocale& Locale)
{
    TFormatSettings s;
    const QString decimal = Locale.decimalPoint();
    s.DecimalSeparator = decimal.isEmpty() ? QLatin1Char('.') : decimal.at(0);
    s.ShortDateFormat = Locale.dateFormat(QLocale::ShortFormat);
    s.LongTimeFormat = Locale.timeFormat(QLocale::LongFormat);
    // Short formats of some locales give two-digit years, which do not read back to the same date.
    if (!s.ShortDateFormat.contains(QLatin1String("yyyy")))
        s.ShortDateFormat.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    // Time zones are no part of a time of day.
    s.LongTimeFormat.remove(QLatin1Char('t'));
    s.LongTimeFormat = s.LongTimeFormat.trimmed();
    return s;
}

const TFormatSettings& FormatSettings() { return processSettings(); }
void SetFormatSettings(const TFormatSettings& Settings) { processSettings() = Settings; }

QString FloatToStr(double Value, const TFormatSettings& Settings)
{
    if (std::isnan(Value)) return QStringLiteral("NAN");
    if (std::isinf(Value)) return Value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    QString text;
    const double magnitude = std::fabs(Value);
    if (Value == 0 || (magnitude >= 1e-5 && magnitude < 1e15)) {
        text = QString::number(Value, 'g', 15);
        if (text.contains(QLatin1Char('e'))) text = QString::number(Value, 'f', 15 - int(std::floor(std::log10(magnitude))) - 1);
        if (text.contains(QLatin1Char('.'))) {
            while (text.endsWith(QLatin1Char('0'))) text.chop(1);
            if (text.endsWith(QLatin1Char('.'))) text.chop(1);
        }
    } else {
        text = QString::number(Value, 'E', 14); // 1.00000000000000E+020
        const int e = text.indexOf(QLatin1Char('E'));
        QString mantissa = text.left(e);
        if (mantissa.contains(QLatin1Char('.'))) {
            while (mantissa.endsWith(QLatin1Char('0'))) mantissa.chop(1);
            if (mantissa.endsWith(QLatin1Char('.'))) mantissa.chop(1);
        }
        const int exponent = text.mid(e + 1).toInt();
        text = mantissa + QLatin1Char('E') + (exponent < 0 ? QStringLiteral("-") : QString()) + QString::number(std::abs(exponent));
    }
    text.replace(QLatin1Char('.'), Settings.DecimalSeparator);
    return text;
}

bool TryStrToFloat(const QString& Text, double& Value, const TFormatSettings& Settings)
{
    QString s = Text.trimmed();
    if (s.isEmpty()) return false;
    // Only the locale's separator counts as the decimal point; the other one is no part of a number.
    if (Settings.DecimalSeparator != QLatin1Char('.')) {
        if (s.contains(QLatin1Char('.'))) return false;
        s.replace(Settings.DecimalSeparator, QLatin1Char('.'));
    }
    for (QChar c : s)
        if (!(c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('e') || c == QLatin1Char('E')))
            return false;
    bool ok = false;
    const double v = QLocale::c().toDouble(s, &ok);
    if (!ok || !std::isfinite(v)) return false;
    Value = v;
    return true;
}

double StrToFloat(const QString& Text, const TFormatSettings& Settings)
{
    double value = 0;
    if (!TryStrToFloat(Text, value, Settings)) BadText("floating point value", Text);
    return value;
}

QDateTime DateTimeToQDateTime(double Value)
{
    // The day is the integral part towards zero, the time of day the absolute fraction.
    const double day = std::trunc(Value);
    const qint64 msecs = qint64(std::llround(std::fabs(Value - day) * MSecsPerDay));
    return QDateTime(DateBase.addDays(qint64(day)), QTime(0, 0).addMSecs(int(std::min(msecs, MSecsPerDay - 1))));
}

double QDateTimeToDateTime(const QDateTime& Value)
{
    const qint64 day = DateBase.daysTo(Value.date());
    const double fraction = double(Value.time().msecsSinceStartOfDay()) / MSecsPerDay;
    return day >= 0 ? double(day) + fraction : double(day) - fraction;
}

QString DateToStr(double Value, const TFormatSettings& Settings)
{
    return DateTimeToQDateTime(Value).date().toString(Settings.ShortDateFormat);
}

QString TimeToStr(double Value, const TFormatSettings& Settings)
{
    return DateTimeToQDateTime(Value).time().toString(Settings.LongTimeFormat);
}

QString DateTimeToStr(double Value, const TFormatSettings& Settings)
{
    const QDateTime dt = DateTimeToQDateTime(Value);
    QString text = dt.date().toString(Settings.ShortDateFormat);
    if (dt.time() != QTime(0, 0)) text += QLatin1Char(' ') + dt.time().toString(Settings.LongTimeFormat);
    return text;
}

namespace {
bool ReadTime(const QString& text, const TFormatSettings& settings, QTime& time)
{
    for (const QString& format : {settings.LongTimeFormat, QStringLiteral("H:mm:ss"), QStringLiteral("H:mm"),
                                  QStringLiteral("H:mm:ss.zzz")}) {
        time = QTime::fromString(text, format);
        if (time.isValid()) return true;
    }
    return false;
}
} // namespace

double StrToDate(const QString& Text, const TFormatSettings& Settings)
{
    const QDate date = QDate::fromString(Text.trimmed(), Settings.ShortDateFormat);
    if (!date.isValid()) BadText("date", Text);
    return double(DateBase.daysTo(date));
}

double StrToTime(const QString& Text, const TFormatSettings& Settings)
{
    QTime time;
    if (!ReadTime(Text.trimmed(), Settings, time)) BadText("time", Text);
    return double(time.msecsSinceStartOfDay()) / MSecsPerDay;
}

double StrToDateTime(const QString& Text, const TFormatSettings& Settings)
{
    const QString s = Text.trimmed();
    // The date is as many words as the date format has; the rest is the time of day.
    const int dateWords = int(Settings.ShortDateFormat.count(QLatin1Char(' '))) + 1;
    const QStringList words = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString datePart = words.mid(0, dateWords).join(QLatin1Char(' '));
    const QString timePart = words.mid(dateWords).join(QLatin1Char(' '));
    const QDate date = QDate::fromString(datePart, Settings.ShortDateFormat);
    QTime time(0, 0);
    if (!date.isValid() || (!timePart.isEmpty() && !ReadTime(timePart, Settings, time))) BadText("date and time", Text);
    return QDateTimeToDateTime(QDateTime(date, time));
}
