#include "Format.h"

#include "Exceptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

// Floats go through at most this many significant digits, as with the platform's 80-bit conversion;
// rounding to the requested digits then happens on the decimal string, half away from zero.
constexpr int MaxFloatDigits = 18;
constexpr int DefaultSignificantDigits = 15;
constexpr int DefaultDecimals = 2;

[[noreturn]] void RaiseFormatError(const QString& format)
{
    throw EConvertError(QStringLiteral("Format '%1' invalid or incompatible with argument").arg(format));
}

// value = 0.digits * 10^exponent; no trailing zeros in digits, empty digits means zero.
struct TDecimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;

    bool IsZero() const { return digits.empty(); }
};

TDecimal ToDecimal(double value)
{
    TDecimal d;
    d.negative = std::signbit(value);
    value = std::fabs(value);
    if (value == 0) {
        d.negative = false;
        return d;
    }
    // to_chars, unlike printf, ignores the C locale the application may have set.
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                                   MaxFloatDigits - 1).ptr;
    const std::string text(buffer, end);
    const auto e = text.find('e');
    d.digits.push_back(text[0]);
    d.digits.append(text, 2, e - 2);
    d.exponent = std::stoi(text.substr(e + 1)) + 1;
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    return d;
}

// Keeps count significant digits, rounding half away from zero.
void RoundDigits(TDecimal& d, int count)
{
    if (count >= static_cast<int>(d.digits.size())) return;
    if (count < 0) {
        d.digits.clear();
    } else {
        const bool up = d.digits[static_cast<size_t>(count)] >= '5';
        d.digits.resize(static_cast<size_t>(count));
        if (up) {
            while (!d.digits.empty() && d.digits.back() == '9') d.digits.pop_back();
            if (d.digits.empty()) {
                d.digits.assign(1, '1');
                ++d.exponent;
            } else {
                ++d.digits.back();
            }
        }
        while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    }
    if (d.IsZero()) {
        d.negative = false;
        d.exponent = 0;
    }
}

char DigitAt(const TDecimal& d, int index)
{
    return index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[static_cast<size_t>(index)]
                                                                    : '0';
}

std::string GroupThousands(const std::string& integerPart)
{
    std::string result;
    const int length = static_cast<int>(integerPart.size());
    for (int i = 0; i < length; ++i) {
        if (i > 0 && (length - i) % 3 == 0) result.push_back(',');
        result.push_back(integerPart[static_cast<size_t>(i)]);
    }
    return result;
}

// Unsigned integer and fraction of a fixed-point rendering, without sign.
void FixedParts(const TDecimal& d, int decimals, std::string& integerPart, std::string& fraction)
{
    integerPart.clear();
    if (d.exponent <= 0) integerPart = "0";
    for (int i = 0; i < d.exponent; ++i) integerPart.push_back(DigitAt(d, i));
    fraction.clear();
    for (int i = 0; i < decimals; ++i) fraction.push_back(DigitAt(d, d.exponent + i));
}

std::string Sign(const TDecimal& d) { return d.negative ? "-" : ""; }

std::string FormatGeneral(double value, int precision)
{
    TDecimal d = ToDecimal(value);
    RoundDigits(d, precision);
    if (d.IsZero()) return "0";
    const int digitCount = static_cast<int>(d.digits.size());
    const int exponent10 = d.exponent - 1;
    std::string result = Sign(d);
    if (exponent10 < -4 || exponent10 >= precision) {
        // The short exponent form: "1E20", "1.5E-10".
        result.push_back(d.digits[0]);
        if (digitCount > 1) result.append(1, '.').append(d.digits, 1);
        result.append(1, 'E').append(std::to_string(exponent10));
        return result;
    }
    if (d.exponent <= 0) return result.append("0.").append(static_cast<size_t>(-d.exponent), '0').append(d.digits);
    for (int i = 0; i < d.exponent; ++i) result.push_back(DigitAt(d, i));
    if (digitCount > d.exponent) result.append(1, '.').append(d.digits, static_cast<size_t>(d.exponent));
    return result;
}

std::string FormatExponent(double value, int precision)
{
    TDecimal d = ToDecimal(value);
    RoundDigits(d, precision);
    std::string result = Sign(d);
    result.push_back(DigitAt(d, 0));
    if (precision > 1) {
        result.push_back('.');
        for (int i = 1; i < precision; ++i) result.push_back(DigitAt(d, i));
    }
    const int exponent10 = d.IsZero() ? 0 : d.exponent - 1;
    std::string exponentDigits = std::to_string(std::abs(exponent10));
    if (exponentDigits.size() < 3) exponentDigits.insert(0, 3 - exponentDigits.size(), '0');
    return result + (exponent10 < 0 ? "E-" : "E+") + exponentDigits;
}

enum class TFixedStyle { Plain, Thousands, Money };

std::string FormatFixed(double value, int decimals, TFixedStyle style)
{
    TDecimal d = ToDecimal(value);
    // More integer digits than the conversion carries: the general form, as the platform does.
    if (d.exponent > MaxFloatDigits) return FormatGeneral(value, MaxFloatDigits);
    RoundDigits(d, d.exponent + decimals);
    std::string integerPart;
    std::string fraction;
    FixedParts(d, decimals, integerPart, fraction);
    if (style != TFixedStyle::Plain) integerPart = GroupThousands(integerPart);
    // Money puts the sign before the symbol: "-$1,234.50".
    std::string number = Sign(d);
    if (style == TFixedStyle::Money) number.push_back('$');
    number.append(integerPart);
    if (decimals > 0) number.append(1, '.').append(fraction);
    return number;
}

QString FormatFloat(double value, QChar type, int precision)
{
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    std::string text;
    switch (type.unicode()) {
    case 'e':
        text = FormatExponent(value, std::clamp(precision < 0 ? DefaultSignificantDigits : precision, 1,
                                                MaxFloatDigits));
        break;
    case 'g':
        text = FormatGeneral(value, std::clamp(precision < 0 ? DefaultSignificantDigits : precision, 1,
                                               MaxFloatDigits));
        break;
    default: {
        const int decimals = std::clamp(precision < 0 ? DefaultDecimals : precision, 0, MaxFloatDigits);
        const TFixedStyle style = type == QLatin1Char('f')   ? TFixedStyle::Plain
                                  : type == QLatin1Char('n') ? TFixedStyle::Thousands
                                                             : TFixedStyle::Money;
        text = FormatFixed(value, decimals, style);
        break;
    }
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString UnsignedDigits(uint64_t value, int base, int minDigits)
{
    QString digits = QString::number(value, base).toUpper();
    if (digits.size() < minDigits) digits.prepend(QString(minDigits - digits.size(), QLatin1Char('0')));
    return digits;
}

class TFormatter {
public:
    TFormatter(const QString& format, const TVarRec* args, int count) : FFormat(format), FArgs(args), FCount(count) {}

    QString Run()
    {
        QString result;
        result.reserve(FFormat.size());
        const qsizetype n = FFormat.size();
        while (FPos < n) {
            const qsizetype percent = FFormat.indexOf(QLatin1Char('%'), FPos);
            if (percent < 0) {
                result += QStringView(FFormat).mid(FPos);
                break;
            }
            result += QStringView(FFormat).mid(FPos, percent - FPos);
            FPos = percent + 1;
            if (AtEnd()) Fail();
            if (Current() == QLatin1Char('%')) {
                result += QLatin1Char('%');
                ++FPos;
                continue;
            }
            result += Directive();
        }
        return result;
    }

private:
    [[noreturn]] void Fail() const { RaiseFormatError(FFormat); }
    bool AtEnd() const { return FPos >= FFormat.size(); }
    QChar Current() const { return FFormat.at(FPos); }
    bool IsAsciiDigit() const { return Current() >= QLatin1Char('0') && Current() <= QLatin1Char('9'); }

    const TVarRec& NextArg()
    {
        if (FArgIndex < 0 || FArgIndex >= FCount) Fail();
        return FArgs[FArgIndex++];
    }

    // A number or "*" (taken from the next argument); false when neither is there.
    bool ReadNumber(int& value)
    {
        if (AtEnd()) return false;
        if (Current() == QLatin1Char('*')) {
            ++FPos;
            const TVarRec& arg = NextArg();
            if (arg.Kind() != TVarRec::vtInteger && arg.Kind() != TVarRec::vtInt64) Fail();
            if (arg.AsInt64() < std::numeric_limits<int>::min() || arg.AsInt64() > std::numeric_limits<int>::max())
                Fail();
            value = static_cast<int>(arg.AsInt64());
            return true;
        }
        if (!IsAsciiDigit()) return false;
        int64_t number = 0;
        while (!AtEnd() && IsAsciiDigit()) {
            number = number * 10 + (Current().unicode() - '0');
            if (number > std::numeric_limits<int>::max()) Fail();
            ++FPos;
        }
        value = static_cast<int>(number);
        return true;
    }

    QString Directive()
    {
        int number = 0;
        bool haveNumber = ReadNumber(number);
        if (haveNumber && !AtEnd() && Current() == QLatin1Char(':')) {
            ++FPos;
            FArgIndex = number;
            haveNumber = false;
        }
        bool leftAlign = false;
        if (!haveNumber) {
            if (!AtEnd() && Current() == QLatin1Char('-')) {
                leftAlign = true;
                ++FPos;
            }
            haveNumber = ReadNumber(number);
        }
        const int width = haveNumber ? number : 0;
        int precision = -1;
        if (!AtEnd() && Current() == QLatin1Char('.')) {
            ++FPos;
            if (!ReadNumber(precision)) precision = 0;
            if (precision < 0) precision = -1;
        }
        if (AtEnd()) Fail();
        const QChar type = Current().toLower();
        ++FPos;

        QString text = Convert(type, precision);
        if (text.size() < width) {
            const QString padding(width - text.size(), QLatin1Char(' '));
            text = leftAlign ? text + padding : padding + text;
        }
        return text;
    }

    QString Convert(QChar type, int precision)
    {
        switch (type.unicode()) {
        case 'd': {
            const TVarRec& arg = IntegerArg();
            const int64_t value = arg.AsInt64();
            const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
            const QString digits = UnsignedDigits(magnitude, 10, precision);
            return value < 0 ? QLatin1Char('-') + digits : digits;
        }
        case 'u':
        case 'x': {
            const TVarRec& arg = IntegerArg();
            // A 32-bit Integer is read as its 32-bit pattern, a 64-bit one as 64 bits.
            const uint64_t value = arg.Kind() == TVarRec::vtInteger
                                       ? static_cast<uint64_t>(static_cast<uint32_t>(arg.AsInt64()))
                                       : static_cast<uint64_t>(arg.AsInt64());
            return UnsignedDigits(value, type == QLatin1Char('u') ? 10 : 16, precision);
        }
        case 'e':
        case 'f':
        case 'g':
        case 'n':
        case 'm': {
            const TVarRec& arg = NextArg();
            double value = 0;
            switch (arg.Kind()) {
            case TVarRec::vtExtended: value = arg.AsDouble(); break;
            case TVarRec::vtInteger:
            case TVarRec::vtInt64: value = static_cast<double>(arg.AsInt64()); break;
            default: Fail();
            }
            return FormatFloat(value, type, precision);
        }
        case 'p': {
            const TVarRec& arg = NextArg();
            if (arg.Kind() != TVarRec::vtPointer) Fail();
            return UnsignedDigits(reinterpret_cast<quintptr>(arg.AsPointer()), 16, 2 * int(sizeof(void*)));
        }
        case 's': {
            const TVarRec& arg = NextArg();
            if (arg.Kind() != TVarRec::vtString) Fail();
            return precision >= 0 ? arg.AsString().left(precision) : arg.AsString();
        }
        default: Fail();
        }
    }

    const TVarRec& IntegerArg()
    {
        const TVarRec& arg = NextArg();
        if (arg.Kind() != TVarRec::vtInteger && arg.Kind() != TVarRec::vtInt64) Fail();
        return arg;
    }

    const QString& FFormat;
    const TVarRec* FArgs;
    int FCount;
    qsizetype FPos = 0;
    int FArgIndex = 0;
};

} // namespace

QString Format(const QString& format, std::initializer_list<TVarRec> args)
{
    return Format(format, args.begin(), static_cast<int>(args.size()));
}

QString Format(const QString& format, const TVarRec* args, int count)
{
    return TFormatter(format, args, count).Run();
}
