// Colour reduction of a picture to a small palette, with optional error diffusion: what lowering a
// bitmap's pixel format needs. Independent of TBitmap so that it can be used and tested alone.
#pragma once

#include "platform/Graphics.h"

#include <QImage>
#include <cstdint>
#include <vector>

enum TColorReductionKind {
    crMonochrome, // black and white, by luminance, threshold 128
    crQuantize,   // an octree palette of at most 2^Bits colours built from the picture's own colours
};

enum TDitherMethod {
    dmNone,           // every pixel maps to its own entry
    dmFloydSteinberg, // 7/16 right; 3, 5, 1 /16 below-left, below, below-right
    dmStucki,         // /42: 8, 4 right; 2 4 8 4 2 on the next row; 1 2 4 2 1 on the row after
};

struct TReducedImage {
    int Width = 0;
    int Height = 0;
    std::vector<TColor> Palette;
    std::vector<uint8_t> Indices; // row-major, top-down
};

// Source: any QImage; only the colour counts (alpha is ignored, premultiplied pixels are unpremultiplied).
// Bits 1..8 sets the palette size of crQuantize; crMonochrome always gives black (0) and white (1).
// Rows are walked top-down, each left to right; errors that would leave the picture are dropped.
TReducedImage ReduceColors(const QImage& Source, TColorReductionKind Kind, TDitherMethod Dither, int Bits);
