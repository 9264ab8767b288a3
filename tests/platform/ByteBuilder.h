// Little-endian fields appended to test data.
#pragma once

#include <QByteArray>
#include <QtEndian>
#include <cstdint>

inline void Add16(QByteArray& d, uint32_t v)
{
    char b[2];
    qToLittleEndian(uint16_t(v), b);
    d.append(b, 2);
}

inline void Add32(QByteArray& d, uint32_t v)
{
    char b[4];
    qToLittleEndian(v, b);
    d.append(b, 4);
}
