#include "StringList.h"

#include "Exceptions.h"

#include <algorithm>

namespace {

[[noreturn]] void RaiseSortedListError()
{
    throw EListError(QStringLiteral("Operation not allowed on sorted list"));
}

bool IsBlank(QChar c) { return c.unicode() <= ' '; }

// The text of a double-quoted item starting at pos; doubled quotes stand for one. An item without
// its closing quote runs to the end. pos ends after the closing quote.
QString ExtractQuoted(const QString& text, qsizetype& pos)
{
    QString result;
    ++pos;
    while (pos < text.size()) {
        const QChar c = text[pos++];
        if (c == QLatin1Char('"')) {
            if (pos < text.size() && text[pos] == QLatin1Char('"')) {
                result += c;
                ++pos;
            } else {
                break;
            }
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace

const QString& TStringList::operator[](int index) const
{
    CheckIndex(index);
    return FStrings[index];
}

QString& TStringList::operator[](int index)
{
    CheckIndex(index);
    return FStrings[index];
}

int TStringList::Add(const QString& s)
{
    if (!FSorted) {
        FStrings.append(s);
        return Count() - 1;
    }
    int index = 0;
    if (Find(s, index)) {
        if (FDuplicates == dupIgnore) return index;
        if (FDuplicates == dupError) throw EListError(QStringLiteral("String list does not allow duplicates"));
    }
    FStrings.insert(index, s);
    return index;
}

void TStringList::AddStrings(const QStringList& strings)
{
    for (const QString& s : strings) Add(s);
}

void TStringList::Insert(int index, const QString& s)
{
    if (FSorted) RaiseSortedListError();
    if (index < 0 || index > Count()) throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    FStrings.insert(index, s);
}

void TStringList::Delete(int index)
{
    CheckIndex(index);
    FStrings.removeAt(index);
}

void TStringList::Exchange(int a, int b)
{
    CheckIndex(a);
    CheckIndex(b);
    FStrings.swapItemsAt(a, b);
}

void TStringList::Move(int from, int to)
{
    if (from == to) return;
    if (FSorted) RaiseSortedListError();
    CheckIndex(from);
    CheckIndex(to);
    FStrings.move(from, to);
}

int TStringList::IndexOf(const QString& s) const
{
    if (FSorted) {
        int index = 0;
        return Find(s, index) ? index : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (Compare(FStrings[i], s) == 0) return i;
    return -1;
}

int TStringList::IndexOfName(const QString& name) const
{
    for (int i = 0; i < Count(); ++i) {
        const qsizetype p = FStrings[i].indexOf(FNameValueSeparator);
        if (p >= 0 && Compare(FStrings[i].left(p), name) == 0) return i;
    }
    return -1;
}

QString TStringList::Names(int index) const
{
    const QString& s = (*this)[index];
    const qsizetype p = s.indexOf(FNameValueSeparator);
    return p >= 0 ? s.left(p) : QString();
}

QString TStringList::ValueFromIndex(int index) const
{
    // A negative index is "not found" (the result of IndexOfName), not an error.
    if (index < 0) return QString();
    const QString& s = (*this)[index];
    const qsizetype p = s.indexOf(FNameValueSeparator);
    return p >= 0 ? s.mid(p + 1) : QString();
}

QString TStringList::Values(const QString& name) const { return ValueFromIndex(IndexOfName(name)); }

void TStringList::SetValues(const QString& name, const QString& value)
{
    const int index = IndexOfName(name);
    if (value.isEmpty()) {
        if (index >= 0) Delete(index);
        return;
    }
    const QString line = name + FNameValueSeparator + value;
    if (FSorted) {
        // The new value may move the line: take it out and put it back in order.
        if (index >= 0) Delete(index);
        Add(line);
    } else if (index >= 0) {
        FStrings[index] = line;
    } else {
        FStrings.append(line);
    }
}

QString TStringList::Text() const
{
    QString result;
    for (const QString& s : FStrings) result += s + QLatin1String("\r\n");
    return result;
}

void TStringList::SetText(const QString& text)
{
    Clear();
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos < n) {
        const qsizetype start = pos;
        while (pos < n && text[pos] != QLatin1Char('\r') && text[pos] != QLatin1Char('\n')) ++pos;
        Add(text.mid(start, pos - start));
        if (pos < n && text[pos] == QLatin1Char('\r')) ++pos;
        if (pos < n && text[pos] == QLatin1Char('\n')) ++pos;
    }
}

QString TStringList::CommaText() const
{
    if (Count() == 1 && FStrings[0].isEmpty()) return QStringLiteral("\"\"");
    QStringList items;
    items.reserve(Count());
    for (const QString& s : FStrings) {
        const bool quote = std::any_of(s.begin(), s.end(), [](QChar c) {
            return IsBlank(c) || c == QLatin1Char('"') || c == QLatin1Char(',');
        });
        if (quote) {
            QString quoted = s;
            quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
            items.append(QLatin1Char('"') + quoted + QLatin1Char('"'));
        } else {
            items.append(s);
        }
    }
    return items.join(QLatin1Char(','));
}

void TStringList::SetCommaText(const QString& text)
{
    Clear();
    const qsizetype n = text.size();
    qsizetype pos = 0;
    auto skipBlanks = [&] {
        while (pos < n && IsBlank(text[pos])) ++pos;
    };
    skipBlanks();
    while (pos < n) {
        if (text[pos] == QLatin1Char('"')) {
            Add(ExtractQuoted(text, pos));
        } else {
            // Unquoted items also end at a blank.
            const qsizetype start = pos;
            while (pos < n && !IsBlank(text[pos]) && text[pos] != QLatin1Char(',')) ++pos;
            Add(text.mid(start, pos - start));
        }
        skipBlanks();
        if (pos < n && text[pos] == QLatin1Char(',')) {
            if (pos + 1 == n) Add(QString()); // a trailing comma ends with an empty item
            ++pos;
            skipBlanks();
        }
    }
}

void TStringList::SetSorted(bool value)
{
    if (value && !FSorted) Sort();
    FSorted = value;
}

void TStringList::SetCaseSensitive(bool value)
{
    if (value == FCaseSensitive) return;
    FCaseSensitive = value;
    if (FSorted) Sort();
}

void TStringList::Sort()
{
    std::stable_sort(FStrings.begin(), FStrings.end(),
                     [this](const QString& a, const QString& b) { return Compare(a, b) < 0; });
}

bool TStringList::Find(const QString& s, int& index) const
{
    // The first position not before s, so that equal strings are found at their first occurrence.
    int low = 0;
    int high = Count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (Compare(FStrings[middle], s) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    index = low;
    return low < Count() && Compare(FStrings[low], s) == 0;
}

int TStringList::Compare(const QString& a, const QString& b) const
{
    return QString::compare(a, b, FCaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

void TStringList::CheckIndex(int index) const
{
    if (index < 0 || index >= Count()) throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
}
