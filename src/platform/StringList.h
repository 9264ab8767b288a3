// An ordered list of strings with the platform's name=value operations.
#pragma once

#include <QString>
#include <QStringList>

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList {
public:
    TStringList() = default;
    explicit TStringList(const QStringList& strings) : FStrings(strings) {}

    int Count() const { return static_cast<int>(FStrings.size()); }
    const QString& operator[](int index) const;
    QString& operator[](int index);
    const QStringList& Strings() const { return FStrings; }

    // Sorted lists insert in order (duplicates per Duplicates); unsorted ones append. Returns the index.
    int Add(const QString& s);
    void AddStrings(const QStringList& strings);
    void Insert(int index, const QString& s);
    void Delete(int index);
    void Clear() { FStrings.clear(); }
    void Exchange(int a, int b);
    void Move(int from, int to);
    // -1 when absent; case-insensitive unless CaseSensitive.
    int IndexOf(const QString& s) const;

    // name=value lines (NameValueSeparator, "=" by default).
    int IndexOfName(const QString& name) const;
    QString Names(int index) const;
    QString ValueFromIndex(int index) const;
    QString Values(const QString& name) const;
    // An empty value deletes the line; a new name appends a line.
    void SetValues(const QString& name, const QString& value);

    // Lines joined with "\r\n" and a trailing "\r\n"; setting splits at CR LF, LF or CR.
    QString Text() const;
    void SetText(const QString& text);
    // Comma-separated, strings with blanks, commas or quotes double-quoted.
    QString CommaText() const;
    void SetCommaText(const QString& text);

    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool value);
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates value) { FDuplicates = value; }
    QChar NameValueSeparator() const { return FNameValueSeparator; }
    void SetNameValueSeparator(QChar value) { FNameValueSeparator = value; }
    void Sort();
    // Binary search of a sorted list: true when found; index is the match or the insertion point.
    bool Find(const QString& s, int& index) const;

private:
    int Compare(const QString& a, const QString& b) const;
    void CheckIndex(int index) const; // raises EListError "List index out of bounds (%d)"

    QStringList FStrings;
    bool FSorted = false;
    bool FCaseSensitive = false;
    TDuplicates FDuplicates = dupIgnore;
    QChar FNameValueSeparator = QLatin1Char('=');
};
