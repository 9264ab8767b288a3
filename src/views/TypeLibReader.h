// Our own reader of compiled type libraries in the "MSFT" format: the library's name and, for every
// type in index order, its kind, name and the names of its functions and variables. Nothing else of
// the format is read. Every offset is checked against the data.
#pragma once

#include "platform/Exceptions.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

ATELIER_EXCEPTION_CLASS(ETypeLibError, Exception)

struct TTypeLibType {
    // The kind as stored (0 enumeration to 7 union); the low four bits of the record, so up to 15.
    int Kind = 0;
    QString Name;
    QStringList Functions;
    QStringList Variables;
    // False when the member block could not be read: the type then lists no members.
    bool MembersRead = false;
};

struct TTypeLib {
    QString Name;
    std::vector<TTypeLibType> Types;
};

// Raises ETypeLibError naming what is damaged when the header, the segment directory or the type
// records lie outside the data. A damaged member block leaves its type without members; a name that
// cannot be read is empty.
TTypeLib ReadTypeLib(const QByteArray& Data);
