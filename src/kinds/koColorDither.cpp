#include "koColorDither.h"

#include "koColorQuantize.h"

uint8_t TOctreeColorLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t&, uint8_t&, uint8_t&)
{
    return uint8_t(FQuantizer->QuantizeColor(Red, Green, Blue));
}

TDitherEngine::TDitherEngine(int AWidth, TColorLookup* Lookup) : FLookup(Lookup), FWidth(AWidth)
{
    Reset();
}

void TDitherEngine::Reset()
{
    FDirection = 1;
    FColumn = 0;
}

uint8_t TDitherEngine::Dither(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B)
{
    const uint8_t index = FLookup->Lookup(Red, Green, Blue, R, G, B);
    NextColumn();
    return index;
}

uint8_t TDitherEngine::Dither(uint32_t ColorIn, uint32_t& ColorOut)
{
    ColorOut = 0;
    uint8_t r = 0, g = 0, b = 0;
    const uint8_t index = Dither(uint8_t(ColorIn >> 16), uint8_t(ColorIn >> 8), uint8_t(ColorIn), r, g, b);
    ColorOut = (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
    return index;
}

void TDitherEngine::NextColumn()
{
    FColumn += FDirection;
}

void TDitherEngine::NextLine()
{
    FDirection = -FDirection;
    FColumn = FDirection == 1 ? 0 : FWidth - 1;
}
