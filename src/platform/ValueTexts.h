// The text forms of property values as a person reads and types them: colours, cursors and character
// sets by name or number, modal results, and numbers, dates and times in the user's locale.
#pragma once

#include "Graphics.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstdint>

// Colours. System colours are 0xFF000000 + their index (0x80000000 + index is read as well).
// An identifier such as "clBtnFace", else "$" and 8 hexadecimal digits.
QString ColorToString(TColor Color);
// An identifier (ignoring case), else a number ("$00FF0000", "255"); EConvertError otherwise.
TColor StringToColor(const QString& Text);
bool ColorToIdent(int32_t Color, QString& Ident);
bool IdentToColor(const QString& Ident, int32_t& Color);
// The colours a property offers: the 16 basic colours, clMoneyGreen, clSkyBlue, clCream, clMedGray,
// then clDefault, the named system colours and clNone sorted by name.
QStringList ColorValues();

// Cursors of the screen cursor table (crDefault 0 down to crSizeAll -22).
// An identifier such as "crDefault", else the number.
QString CursorToString(int32_t Cursor);
// An identifier (ignoring case), else an integer text; EConvertError otherwise.
int32_t StringToCursor(const QString& Text);
bool CursorToIdent(int32_t Cursor, QString& Ident);
bool IdentToCursor(const QString& Ident, int32_t& Cursor);
// The 21 named cursors, crDefault first, in descending value order.
QStringList CursorValues();

// Character sets of fonts ("ANSI_CHARSET" ... "OEM_CHARSET").
bool CharsetToIdent(int32_t Charset, QString& Ident);
bool IdentToCharset(const QString& Ident, int32_t& Charset);
// The identifier of every value 0..255 that has one, in value order.
QStringList CharsetValues();

// Modal results mrNone 0 .. mrYesToAll 10.
bool ModalResultToIdent(int32_t ModalResult, QString& Ident);
bool IdentToModalResult(const QString& Ident, int32_t& ModalResult);
QStringList ModalResultValues();

// The user's number, date and time formats (from the default QLocale when first asked, or as set).
struct TFormatSettings {
    QChar DecimalSeparator = QLatin1Char('.');
    QString ShortDateFormat = QStringLiteral("yyyy-MM-dd"); // QDate format
    QString LongTimeFormat = QStringLiteral("HH:mm:ss");    // QTime format
    static TFormatSettings FromLocale(const QLocale& Locale);
};
// The process's settings: from QLocale() on first use; SetFormatSettings replaces them (tests).
const TFormatSettings& FormatSettings();
void SetFormatSettings(const TFormatSettings& Settings);

// Up to 15 significant digits, the shortest text that reads back as the shown value; exponent form
// ("1E20", "1E-7") outside 1E-5..1E15. No group separators.
QString FloatToStr(double Value, const TFormatSettings& Settings = FormatSettings());
// Leading and trailing blanks allowed, the locale's decimal separator, an optional exponent;
// EConvertError "'%s' is not a valid floating point value" otherwise (NaN and infinity too).
double StrToFloat(const QString& Text, const TFormatSettings& Settings = FormatSettings());
bool TryStrToFloat(const QString& Text, double& Value, const TFormatSettings& Settings = FormatSettings());

// Dates and times as days since 1899-12-30 with the time of day as the fraction (TDateTime).
QDateTime DateTimeToQDateTime(double Value);
double QDateTimeToDateTime(const QDateTime& Value);
QString DateToStr(double Value, const TFormatSettings& Settings = FormatSettings());
QString TimeToStr(double Value, const TFormatSettings& Settings = FormatSettings());
// The date, and the time when it is not midnight.
QString DateTimeToStr(double Value, const TFormatSettings& Settings = FormatSettings());
// EConvertError "'%s' is not a valid date" / "... time" / "... date and time" for texts that do not read.
double StrToDate(const QString& Text, const TFormatSettings& Settings = FormatSettings());
double StrToTime(const QString& Text, const TFormatSettings& Settings = FormatSettings());
double StrToDateTime(const QString& Text, const TFormatSettings& Settings = FormatSettings());
