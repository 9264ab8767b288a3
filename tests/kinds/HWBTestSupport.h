// Records of the resource compiler's symbol data, for hand-made fixtures.
#pragma once

#include "model/koResources.h"
#include "platform/ByteBuilder.h"

#include <QByteArray>
#include <QString>

// An 8-bit string and its terminating zero.
inline void AddAnsi(QByteArray& d, const QByteArray& s)
{
    d.append(s);
    d.append('\0');
}

// A name or ordinal: 0xFFFF and the number, or UTF-16 characters and a zero.
inline void AddIdent(QByteArray& d, const TResourceIdent& ident)
{
    if (IsOrdinalResourceIdent(ident)) {
        Add16(d, 0xFFFF);
        Add16(d, ResourceIdentOrdinal(ident));
        return;
    }
    for (QChar c : ident) Add16(d, c.unicode());
    Add16(d, 0);
}

// A symbol definition record (A, B, W, F): a file record when A is "!", else a symbol.
inline void AddDef(QByteArray& d, const QByteArray& a, const QByteArray& b, uint16_t w, uint8_t f = 0)
{
    AddAnsi(d, a);
    AddAnsi(d, b);
    Add16(d, w);
    d.append(char(f));
}
