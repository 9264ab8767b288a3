#include "koColorQuantize.h"

#include "platform/Exceptions.h"

namespace {

int ChildIndex(int Level, uint8_t R, uint8_t G, uint8_t B)
{
    const int shift = 7 - Level;
    return ((R >> shift) & 1) * 4 + ((G >> shift) & 1) * 2 + ((B >> shift) & 1);
}

// When the wanted child is absent, the siblings tried in this order (row = the wanted child).
constexpr int Alternatives[8][7] = {
    {2, 1, 4, 3, 6, 5, 7}, {3, 0, 5, 2, 7, 4, 6}, {0, 3, 6, 1, 4, 7, 5}, {1, 2, 7, 6, 5, 0, 4},
    {6, 5, 0, 7, 2, 1, 3}, {7, 4, 1, 6, 3, 0, 2}, {4, 7, 2, 5, 0, 3, 1}, {5, 6, 3, 4, 1, 2, 0},
};

void FillTable(TOctreeNode* Node, std::vector<TRGBQuad>& Table)
{
    if (Node->IsLeaf) {
        TRGBQuad entry;
        if (Node->PixelCount != 0) {
            entry.rgbRed = uint8_t(Node->RedSum / Node->PixelCount);
            entry.rgbGreen = uint8_t(Node->GreenSum / Node->PixelCount);
            entry.rgbBlue = uint8_t(Node->BlueSum / Node->PixelCount);
        }
        Node->PaletteIndex = int(Table.size());
        Table.push_back(entry);
        return;
    }
    for (auto& child : Node->Child)
        if (child) FillTable(child.get(), Table);
}

} // namespace

TOctreeNode::TOctreeNode(int Level, TReducibleNodes& ReducibleNodes, int& LeafCount, int ColorBits)
{
    IsLeaf = Level == ColorBits;
    if (IsLeaf) {
        ++LeafCount;
    } else {
        Next = ReducibleNodes[Level];
        ReducibleNodes[Level] = this;
    }
}

TOctreeNode::~TOctreeNode()
{
    for (int i = 7; i >= 0; --i) Child[i].reset();
}

TCustomColorQuantizer::TCustomColorQuantizer(int MaxColors, int ColorBits)
    : FMaxColors(MaxColors), FColorBits(ColorBits)
{
    if (ColorBits > 8) throw EAssertionFailed(QStringLiteral("ColorBits must be 8 or less"));
    ATELIER_ASSERT(ColorBits >= 1);
    ATELIER_ASSERT(MaxColors >= 1);
}

TCustomColorQuantizer::~TCustomColorQuantizer()
{
    // The reducible lists point into the tree; clear them before the nodes go.
    FReducibleNodes.fill(nullptr);
    FTree.reset();
}

void TCustomColorQuantizer::ProcessPixel(uint8_t R, uint8_t G, uint8_t B)
{
    if (!FTree) FTree = std::make_unique<TOctreeNode>(0, FReducibleNodes, FLeafCount, FColorBits);
    TOctreeNode* node = FTree.get();
    for (int level = 0; !node->IsLeaf; ++level) {
        auto& child = node->Child[ChildIndex(level, R, G, B)];
        if (!child) child = std::make_unique<TOctreeNode>(level + 1, FReducibleNodes, FLeafCount, FColorBits);
        node = child.get();
    }
    ++node->PixelCount;
    node->RedSum += R;
    node->GreenSum += G;
    node->BlueSum += B;
    while (FLeafCount > FMaxColors) ReduceTree();
}

void TCustomColorQuantizer::ReduceTree()
{
    int level = FColorBits - 1;
    while (level > 0 && !FReducibleNodes[level]) --level;
    TOctreeNode* node = FReducibleNodes[level];
    // Only a tree that is already a single leaf has nothing left to fold, and it holds one colour.
    ATELIER_ASSERT(node != nullptr);
    FReducibleNodes[level] = node->Next;
    node->Next = nullptr;

    int64_t red = 0, green = 0, blue = 0;
    int children = 0;
    for (auto& child : node->Child) {
        if (!child) continue;
        red += child->RedSum;
        green += child->GreenSum;
        blue += child->BlueSum;
        node->PixelCount += child->PixelCount;
        ++children;
    }
    node->RedSum = red;
    node->GreenSum = green;
    node->BlueSum = blue;
    for (int i = 7; i >= 0; --i) node->Child[i].reset();
    node->IsLeaf = true;
    FLeafCount -= children - 1;
}

int TCustomColorQuantizer::GetColorTable(std::vector<TRGBQuad>& Table)
{
    Table.clear();
    if (FTree) FillTable(FTree.get(), Table);
    return int(Table.size());
}

int TCustomColorQuantizer::QuantizeColor(uint8_t R, uint8_t G, uint8_t B) const
{
    const TOctreeNode* node = FTree.get();
    if (!node) throw EAssertionFailed(QStringLiteral("Failed to match color"));
    for (int level = 0; !node->IsLeaf; ++level) {
        const int wanted = ChildIndex(level, R, G, B);
        const TOctreeNode* next = node->Child[wanted].get();
        for (int i = 0; !next && i < 7; ++i) next = node->Child[Alternatives[wanted][i]].get();
        if (!next) throw EAssertionFailed(QStringLiteral("Failed to match color"));
        node = next;
    }
    return node->PaletteIndex;
}

void TColorQuantizer::ProcessPixel(uint32_t Color)
{
    ProcessPixel(uint8_t(Color >> 16), uint8_t(Color >> 8), uint8_t(Color));
}

int TColorQuantizer::QuantizeColor(uint32_t Color) const
{
    return QuantizeColor(uint8_t(Color >> 16), uint8_t(Color >> 8), uint8_t(Color));
}
