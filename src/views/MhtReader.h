// Our own reader of web archives (MIME "multipart/related" documents, MHT): the parts with their
// headers and decoded bodies, and which part is the page to show.
#pragma once

#include "platform/Exceptions.h"

#include <QByteArray>
#include <QString>
#include <vector>

ATELIER_EXCEPTION_CLASS(EMhtError, Exception)

struct TMhtPart {
    QByteArray MediaType; // lower case, without parameters: "text/html"
    QByteArray Charset;   // the charset parameter as written, empty when none
    QString Location;     // Content-Location
    QString ContentId;    // Content-ID without its angle brackets
    QByteArray Body;      // after the transfer encoding is undone
};

struct TMhtArchive {
    // The leaf parts in document order; parts of nested multiparts are listed in their place.
    std::vector<TMhtPart> Parts;
    // The page: the part the "start" parameter names, else the first HTML part, else the first part.
    int Root = -1;
};

// Whether the bytes up to the first zero byte hold "Content-Type: multipart/related" (case as written):
// the mark of a web archive.
bool IsWebArchive(const QByteArray& Data);

// Raises EMhtError when the data has no multipart header with a boundary, or no part.
TMhtArchive ReadMht(const QByteArray& Data);

// Quoted-printable text decoded: "=XX" escapes and soft line breaks; a broken escape stays as written.
QByteArray DecodeQuotedPrintable(const QByteArray& Text);
