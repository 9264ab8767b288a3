// Octree colour quantizer: builds a palette of at most MaxColors entries from the colours it is fed and
// maps any colour to an entry of that palette with one descent of the tree.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// A colour-table entry as a DIB stores it.
struct TRGBQuad {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
};

class TOctreeNode;

// Head of the list of inner nodes of each level; reducing folds the newest inner node of the deepest
// level that has one.
using TReducibleNodes = std::array<TOctreeNode*, 8>;

class TOctreeNode {
public:
    // A node at ColorBits is a leaf and counts in LeafCount; any other node is pushed at the head of the
    // reducible list of its level.
    TOctreeNode(int Level, TReducibleNodes& ReducibleNodes, int& LeafCount, int ColorBits);
    ~TOctreeNode();
    TOctreeNode(const TOctreeNode&) = delete;
    TOctreeNode& operator=(const TOctreeNode&) = delete;

    bool IsLeaf = false;
    // 64 bits: a few million pixels of one bright colour would overflow 32-bit sums.
    int64_t PixelCount = 0;
    int64_t RedSum = 0;
    int64_t GreenSum = 0;
    int64_t BlueSum = 0;
    TOctreeNode* Next = nullptr;
    std::array<std::unique_ptr<TOctreeNode>, 8> Child;
    int PaletteIndex = 0;
};

class TCustomColorQuantizer {
public:
    // ColorBits 1..8 is the depth of the leaves; MaxColors >= 1 the most leaves kept.
    TCustomColorQuantizer(int MaxColors, int ColorBits);
    virtual ~TCustomColorQuantizer();
    TCustomColorQuantizer(const TCustomColorQuantizer&) = delete;
    TCustomColorQuantizer& operator=(const TCustomColorQuantizer&) = delete;

    void ProcessPixel(uint8_t R, uint8_t G, uint8_t B);
    // Fills Table (resized to the number of leaves) depth-first, children 0 to 7, and numbers the leaves
    // accordingly. Returns the number of entries.
    int GetColorTable(std::vector<TRGBQuad>& Table);
    // The palette index of the colour; valid after GetColorTable.
    int QuantizeColor(uint8_t R, uint8_t G, uint8_t B) const;
    int ColorCount() const { return FLeafCount; }

protected:
    std::unique_ptr<TOctreeNode> FTree;
    int FLeafCount = 0;
    TReducibleNodes FReducibleNodes{};
    int FMaxColors = 0;
    int FColorBits = 0;

private:
    void ReduceTree();
};

// Colours as one value: red in bits 16..23, green 8..15, blue 0..7; the top byte is ignored.
class TColorQuantizer : public TCustomColorQuantizer {
public:
    using TCustomColorQuantizer::TCustomColorQuantizer;
    using TCustomColorQuantizer::ProcessPixel;
    using TCustomColorQuantizer::QuantizeColor;

    void ProcessPixel(uint32_t Color);
    int QuantizeColor(uint32_t Color) const;
};
