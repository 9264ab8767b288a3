#include "koDialog.h"

namespace {
bool IsBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// The length of the line that starts at p (not a blank).
qsizetype NextLine(const TTextWidth& TextWidth, const QString& Text, qsizetype p, int MaxWidth)
{
    const QStringView text(Text);
    const qsizetype remaining = text.size() - p;
    const qsizetype cr = text.indexOf(QLatin1Char('\r'), p);
    const qsizetype firstLen = cr >= 0 ? cr - p + 1 : remaining;
    if (firstLen <= 1 || TextWidth(text.mid(p, firstLen)) <= MaxWidth) return firstLen;

    // Walk runs of blanks and non-blanks; after each, measure up to and including the character that
    // follows it. A non-blank run that still fits ends a possible line.
    const qsizetype lineEnd = p + firstLen;
    qsizetype at = p;
    qsizetype lastBreak = -1;
    qsizetype firstRunEnd = -1;
    while (at < lineEnd) {
        const bool blank = IsBlank(text[at]);
        while (at < lineEnd && IsBlank(text[at]) == blank) ++at;
        if (firstRunEnd < 0) firstRunEnd = at;
        if (TextWidth(text.mid(p, std::min(at - p + 1, remaining))) > MaxWidth) break;
        if (!blank) lastBreak = at;
    }
    // Without a break the first word stands alone, however wide.
    return (lastBreak >= 0 ? lastBreak : firstRunEnd) - p;
}
} // namespace

QString WrapText(const QFont& Font, const QString& Text, int MaxWidth)
{
    return WrapText(QFontMetrics(Font), Text, MaxWidth);
}

QString WrapText(const QFontMetrics& Metrics, const QString& Text, int MaxWidth)
{
    return WrapText([&Metrics](QStringView part) { return Metrics.horizontalAdvance(part.toString()); }, Text, MaxWidth);
}

QString WrapText(const TTextWidth& TextWidth, const QString& Text, int MaxWidth)
{
    QString result;
    qsizetype p = 0;
    bool needBreak = false;
    while (p < Text.size()) {
        if (IsBlank(Text.at(p))) {
            ++p;
            continue;
        }
        const qsizetype length = NextLine(TextWidth, Text, p, MaxWidth);
        if (length == 0) break;
        if (needBreak) result += QLatin1Char('\r');
        result += QStringView(Text).mid(p, length);
        p += length;
        needBreak = Text.at(p - 1) != QLatin1Char('\r');
    }
    return result;
}
