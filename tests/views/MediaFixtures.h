// RIFF media files made in the tests: AVI video with one video stream, and WAVE sound.
#pragma once

#include "platform/ByteBuilder.h"

#include <QByteArray>
#include <QList>
#include <QRgb>

inline QByteArray MediaChunk(const char* Id, const QByteArray& Data)
{
    QByteArray out(Id, 4);
    Add32(out, uint32_t(Data.size()));
    out.append(Data);
    if (Data.size() % 2) out.append(char(0));
    return out;
}

inline QByteArray MediaList(const char* Type, const QByteArray& Content)
{
    return MediaChunk("LIST", QByteArray(Type, 4) + Content);
}

struct TAviFixture {
    int Width = 4;
    int Height = 2; // negative: rows top-down
    int Bits = 24;
    uint32_t Compression = 0;
    QList<QRgb> Palette;
    QList<QByteArray> Frames;
    uint32_t Length = 0; // strh length; 0: the number of frames
};

inline QByteArray AviFile(const TAviFixture& F)
{
    QByteArray avih;
    Add32(avih, 100000), Add32(avih, 0), Add32(avih, 0), Add32(avih, 0x10);
    Add32(avih, uint32_t(F.Frames.size())), Add32(avih, 0), Add32(avih, 1), Add32(avih, 0);
    Add32(avih, uint32_t(F.Width)), Add32(avih, uint32_t(std::abs(F.Height)));
    for (int i = 0; i < 4; ++i) Add32(avih, 0);
    QByteArray strh("vids", 4);
    Add32(strh, F.Compression == 1 ? 0x656C726D /* mrle */ : 0);
    Add32(strh, 0), Add32(strh, 0), Add32(strh, 0);
    Add32(strh, 1), Add32(strh, 10), Add32(strh, 0); // scale, rate (10 frames a second), start
    Add32(strh, F.Length ? F.Length : uint32_t(F.Frames.size()));
    for (int i = 0; i < 5; ++i) Add32(strh, 0);
    QByteArray strf;
    Add32(strf, 40), Add32(strf, uint32_t(F.Width)), Add32(strf, uint32_t(F.Height));
    Add16(strf, 1), Add16(strf, uint32_t(F.Bits)), Add32(strf, F.Compression);
    Add32(strf, 0), Add32(strf, 0), Add32(strf, 0), Add32(strf, uint32_t(F.Palette.size())), Add32(strf, 0);
    for (QRgb c : F.Palette) Add32(strf, c & 0xFFFFFF);
    const QByteArray hdrl = MediaList("hdrl", MediaChunk("avih", avih) +
                                                  MediaList("strl", MediaChunk("strh", strh) + MediaChunk("strf", strf)));
    QByteArray movi;
    for (const QByteArray& frame : F.Frames) movi += MediaChunk("00dc", frame);
    return MediaChunk("RIFF", QByteArray("AVI ", 4) + hdrl + MediaList("movi", movi));
}

// PCM sound of DataSize zero bytes.
inline QByteArray WaveFile(uint32_t Rate, uint16_t Channels, uint16_t Bits, uint32_t DataSize)
{
    QByteArray fmt;
    const uint16_t align = uint16_t(Channels * Bits / 8);
    Add16(fmt, 1), Add16(fmt, Channels), Add32(fmt, Rate), Add32(fmt, Rate * align), Add16(fmt, align), Add16(fmt, Bits);
    return MediaChunk("RIFF", QByteArray("WAVE", 4) + MediaChunk("fmt ", fmt) + MediaChunk("data", QByteArray(int(DataSize), 0)));
}
