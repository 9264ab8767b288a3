// Remapping pixels to a palette: a colour lookup and an engine that walks the rows of a frame in
// serpentine order. The engine diffuses no error, so each index depends on its pixel's colour only.
#pragma once

#include <cstdint>

class TColorQuantizer;

class TColorLookup {
public:
    virtual ~TColorLookup() = default;
    // The palette index for the colour; R, G, B may receive the palette colour.
    virtual uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) = 0;
};

// Looks colours up in an octree after its colour table was built; leaves R, G, B untouched.
class TOctreeColorLookup : public TColorLookup {
public:
    explicit TOctreeColorLookup(TColorQuantizer* Quantizer) : FQuantizer(Quantizer) {}
    uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;

protected:
    TColorQuantizer* FQuantizer; // not owned
};

class TDitherEngine {
public:
    TDitherEngine(int AWidth, TColorLookup* Lookup);
    virtual ~TDitherEngine() = default;

    void Reset();
    // The lookup's index for the colour, then NextColumn.
    uint8_t Dither(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B);
    // Colours as one value: red in bits 16..23, green 8..15, blue 0..7. ColorOut starts at 0.
    uint8_t Dither(uint32_t ColorIn, uint32_t& ColorOut);
    void NextColumn();
    // Turns round: the next row starts at the end the previous one finished.
    void NextLine();

    int Direction() const { return FDirection; }
    int Column() const { return FColumn; }
    int Width() const { return FWidth; }
    void SetWidth(int Value) { FWidth = Value; }

protected:
    int FDirection = 1;
    int FColumn = 0;
    TColorLookup* FLookup; // not owned
    int FWidth;
};
