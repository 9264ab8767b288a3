#include "SysUtils.h"

#include <QFile>

#include "Exceptions.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace {

int HexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return -1;
}

// Val's rules for a signed integer of the given unsigned width. Decimal text must fit the signed
// range; hexadecimal text may use the whole unsigned range and is read as its bit pattern.
template <typename Signed>
bool TryParse(const QString& text, Signed& value)
{
    using Unsigned = std::make_unsigned_t<Signed>;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    bool hex = false;
    if (i < n && (text[i] == QLatin1Char('$') || text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == QLatin1Char('0') &&
               (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        hex = true;
        i += 2;
    }
    if (i >= n) return false;

    Unsigned magnitude = 0;
    if (hex) {
        const Unsigned limit = std::numeric_limits<Unsigned>::max() >> 4;
        for (; i < n; ++i) {
            const int digit = HexValue(text[i]);
            if (digit < 0 || magnitude > limit) return false;
            magnitude = static_cast<Unsigned>(magnitude << 4 | static_cast<Unsigned>(digit));
        }
        const Unsigned result = negative ? static_cast<Unsigned>(0 - magnitude) : magnitude;
        value = static_cast<Signed>(result);
        return true;
    }

    // The magnitude of the most negative value is one more than the largest positive one.
    const Unsigned limit = static_cast<Unsigned>(std::numeric_limits<Signed>::max()) + (negative ? 1u : 0u);
    for (; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u < '0' || u > '9') return false;
        const Unsigned digit = static_cast<Unsigned>(u - '0');
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = static_cast<Unsigned>(magnitude * 10 + digit);
    }
    value = static_cast<Signed>(negative ? static_cast<Unsigned>(0 - magnitude) : magnitude);
    return true;
}

[[noreturn]] void RaiseNotInteger(const QString& text)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

char16_t FoldAscii(char16_t c) { return c >= 'a' && c <= 'z' ? static_cast<char16_t>(c - 'a' + 'A') : c; }

// The position of the last path or drive separator, -1 when there is none. Both separators count
// because Windows paths appear in the data.
qsizetype LastDelimiter(const QString& fileName, bool includeDot)
{
    for (qsizetype i = fileName.size() - 1; i >= 0; --i) {
        const QChar c = fileName[i];
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            (includeDot && c == QLatin1Char('.')))
            return i;
    }
    return -1;
}

// The position of the extension's dot, -1 when the name has none.
qsizetype ExtensionDot(const QString& fileName)
{
    const qsizetype i = LastDelimiter(fileName, true);
    return i >= 0 && fileName[i] == QLatin1Char('.') ? i : -1;
}

} // namespace

bool TryStrToInt(const QString& text, int32_t& value) { return TryParse(text, value); }

bool TryStrToInt64(const QString& text, int64_t& value) { return TryParse(text, value); }

int32_t StrToInt(const QString& text)
{
    int32_t value = 0;
    if (!TryStrToInt(text, value)) RaiseNotInteger(text);
    return value;
}

int64_t StrToInt64(const QString& text)
{
    int64_t value = 0;
    if (!TryStrToInt64(text, value)) RaiseNotInteger(text);
    return value;
}

int32_t StrToIntDef(const QString& text, int32_t defaultValue)
{
    int32_t value = 0;
    return TryStrToInt(text, value) ? value : defaultValue;
}

QString AnsiUpperCase(const QString& text)
{
    QString result = text;
    for (QChar& c : result) c = c.toUpper();
    return result;
}

int CompareText(const QString& a, const QString& b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int difference = int(FoldAscii(a[i].unicode())) - int(FoldAscii(b[i].unicode()));
        if (difference != 0) return difference;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool SameText(const QString& a, const QString& b) { return CompareText(a, b) == 0; }

QString ExtractFileExt(const QString& fileName)
{
    const qsizetype dot = ExtensionDot(fileName);
    return dot >= 0 ? fileName.mid(dot) : QString();
}

QString ExtractFileName(const QString& fileName) { return fileName.mid(LastDelimiter(fileName, false) + 1); }

QString ExtractFilePath(const QString& fileName) { return fileName.left(LastDelimiter(fileName, false) + 1); }

QString ChangeFileExt(const QString& fileName, const QString& extension)
{
    const qsizetype dot = ExtensionDot(fileName);
    return (dot >= 0 ? fileName.left(dot) : fileName) + extension;
}

bool DebuggerAttached()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("TracerPid:")) return line.mid(10).trimmed() != "0";
    return false;
}
