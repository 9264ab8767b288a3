#include "kinds/koColorDither.h"
#include "kinds/koColorQuantize.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>
#include <vector>

namespace {

using TRGB = std::tuple<int, int, int>;

TRGB EntryOf(const TRGBQuad& Entry) { return {Entry.rgbRed, Entry.rgbGreen, Entry.rgbBlue}; }

std::vector<TRGB> TableOf(TColorQuantizer& Quantizer)
{
    std::vector<TRGBQuad> table;
    const int count = Quantizer.GetColorTable(table);
    EXPECT_EQ(count, int(table.size()));
    std::vector<TRGB> result;
    for (const TRGBQuad& entry : table) {
        EXPECT_EQ(entry.rgbReserved, 0);
        result.push_back(EntryOf(entry));
    }
    return result;
}

void Feed(TColorQuantizer& Quantizer, std::initializer_list<TRGB> Colors)
{
    for (const auto& [r, g, b] : Colors) Quantizer.ProcessPixel(uint8_t(r), uint8_t(g), uint8_t(b));
}

} // namespace

TEST(ColorQuantize, TableIsDepthFirstNotInsertionOrder)
{
    // Root children: (F0,10,80) -> 5, (10,80,F0) -> 3, (10,80,20) -> 2.
    TColorQuantizer quantizer(16, 8);
    quantizer.ProcessPixel(0xF01080u);
    quantizer.ProcessPixel(0x1080F0u);
    quantizer.ProcessPixel(0xFF1080F0u); // the top byte is ignored
    quantizer.ProcessPixel(0x108020u);
    EXPECT_EQ(quantizer.ColorCount(), 3);
    const std::vector<TRGB> expected{{0x10, 0x80, 0x20}, {0x10, 0x80, 0xF0}, {0xF0, 0x10, 0x80}};
    EXPECT_EQ(TableOf(quantizer), expected);
    // Colours that were fed find their own entry; both overloads read the channels alike.
    EXPECT_EQ(quantizer.QuantizeColor(0x108020u), 0);
    EXPECT_EQ(quantizer.QuantizeColor(uint8_t(0x10), uint8_t(0x80), uint8_t(0xF0)), 1);
    EXPECT_EQ(quantizer.QuantizeColor(0xF01080u), 2);
}

TEST(ColorQuantize, ReductionFoldsNewestDeepestNodeAndTruncatesAverage)
{
    // (10,0,0) and (11,0,0) part only at the last level. Adding (200,0,0) makes three leaves: the
    // newest level-7 node (on 200's path, one child) is folded first without freeing a leaf, then
    // the parent of 10 and 11, whose merged entry is 21 / 2 truncated.
    TColorQuantizer quantizer(2, 8);
    Feed(quantizer, {{10, 0, 0}, {11, 0, 0}});
    EXPECT_EQ(quantizer.ColorCount(), 2);
    Feed(quantizer, {{200, 0, 0}});
    EXPECT_EQ(quantizer.ColorCount(), 2);
    const std::vector<TRGB> expected{{10, 0, 0}, {200, 0, 0}};
    EXPECT_EQ(TableOf(quantizer), expected);
    // Two foldable pairs on level 7: the newer pair (200, 201) goes, the older one stays apart.
    TColorQuantizer newest(3, 8);
    Feed(newest, {{10, 0, 0}, {11, 0, 0}, {200, 0, 0}, {201, 0, 0}});
    EXPECT_EQ(TableOf(newest), (std::vector<TRGB>{{10, 0, 0}, {11, 0, 0}, {200, 0, 0}}));
    // Folds keep pixel counts: six pixels over three leaves give 65 / 6, not the leaves' mean 11.
    TColorQuantizer weighted(1, 8);
    Feed(weighted, {{10, 0, 0}, {10, 0, 0}, {10, 0, 0}, {11, 0, 0}, {12, 0, 0}, {12, 0, 0}});
    EXPECT_EQ(TableOf(weighted), (std::vector<TRGB>{{10, 0, 0}}));
    EXPECT_EQ(weighted.ColorCount(), 1);
}

TEST(ColorQuantize, ManyColoursStayWithinMaxColors)
{
    TColorQuantizer quantizer(256, 8);
    std::vector<uint32_t> fed;
    for (int i = 0; i < 257; ++i) {
        // 257 distinct colours spread over the cube.
        const uint32_t color = (uint32_t(i % 16 * 17) << 16) | (uint32_t(i / 16 * 15) << 8) | uint32_t(i * 7 % 256);
        fed.push_back(color);
        quantizer.ProcessPixel(color);
        ASSERT_LE(quantizer.ColorCount(), 256) << i;
    }
    std::vector<TRGBQuad> table;
    const int count = quantizer.GetColorTable(table);
    EXPECT_LE(count, 256);
    EXPECT_GE(count, 2);
    EXPECT_EQ(count, quantizer.ColorCount());
    for (uint32_t color : fed) {
        const int index = quantizer.QuantizeColor(color);
        ASSERT_GE(index, 0);
        ASSERT_LT(index, count);
    }
}

TEST(ColorQuantize, UnseenColourFollowsAlternativesTable)
{
    struct Case {
        const char* what;
        std::initializer_list<TRGB> fed;
        TRGB wanted, found;
    } cases[] = {
        // Root children 1 (blue), 2 (green), 4 (dark red). Black wants 0 and tries 2 first although
        // dark red is nearer.
        {"wanted 0 -> 2", {{0, 0, 0xFF}, {0, 0xFF, 0}, {0x80, 0, 0}}, {0, 0, 0}, {0, 0xFF, 0}},
        // White wants 7: 5, 6, 3 are absent, 4 is next.
        {"wanted 7 -> 4", {{0, 0, 0xFF}, {0, 0xFF, 0}, {0x80, 0, 0}}, {0xFF, 0xFF, 0xFF}, {0x80, 0, 0}},
        // Cyan wants 3: 1 comes before 2.
        {"wanted 3 -> 1", {{0, 0, 0xFF}, {0, 0xFF, 0}, {0x80, 0, 0}}, {0, 0xFF, 0xFF}, {0, 0, 0xFF}},
        // The wanted root child exists; one level down it wants 7 and finds 4 after 5, 6, 3.
        {"second level", {{0, 0, 0}, {0x40, 0, 0}}, {0x60, 0x40, 0x40}, {0x40, 0, 0}},
        // A tree of one colour answers it for everything.
        {"single leaf", {{0x10, 0x80, 0xF0}}, {0xF0, 0x80, 0x10}, {0x10, 0x80, 0xF0}},
    };
    for (const Case& c : cases) {
        TColorQuantizer quantizer(16, 8);
        Feed(quantizer, c.fed);
        const std::vector<TRGB> table = TableOf(quantizer);
        const auto& [r, g, b] = c.wanted;
        const int index = quantizer.QuantizeColor(uint8_t(r), uint8_t(g), uint8_t(b));
        ASSERT_LT(index, int(table.size())) << c.what;
        EXPECT_EQ(table[size_t(index)], c.found) << c.what;
    }
}

TEST(ColorQuantize, ProgrammingErrors)
{
    try {
        TColorQuantizer quantizer(16, 9);
        FAIL() << "ColorBits 9 accepted";
    } catch (const EAssertionFailed& error) {
        EXPECT_EQ(error.Message(), QStringLiteral("ColorBits must be 8 or less"));
    }
    EXPECT_THROW(TColorQuantizer(0, 8), EAssertionFailed);
    // Nothing fed: there is no colour to match.
    TColorQuantizer empty(16, 8);
    EXPECT_THROW(empty.QuantizeColor(0u), EAssertionFailed);
}

TEST(ColorQuantize, ShallowTreeKeepsFewerBits)
{
    // With ColorBits 2 the leaves sit at level 2: colours sharing their top two bits per channel merge.
    TColorQuantizer quantizer(16, 2);
    Feed(quantizer, {{0x10, 0x80, 0xF0}, {0x30, 0xB0, 0xC0}, {0x50, 0x80, 0xF0}});
    EXPECT_EQ(quantizer.ColorCount(), 2);
    const std::vector<TRGB> expected{{0x20, 0x98, 0xD8}, {0x50, 0x80, 0xF0}};
    EXPECT_EQ(TableOf(quantizer), expected);
}

namespace {

// Answers the red channel as the index and a fixed colour, remembering what it was asked.
class TRecordingLookup : public TColorLookup {
public:
    std::vector<TRGB> Asked;
    uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override
    {
        Asked.emplace_back(Red, Green, Blue);
        R = 0x11;
        G = 0x22;
        B = 0x33;
        return Red;
    }
};

} // namespace

TEST(DitherEngine, SerpentineWalkAndColourLayout)
{
    TRecordingLookup lookup;
    TDitherEngine engine(3, &lookup);
    std::vector<int> visited;
    engine.Reset();
    for (int row = 0; row < 2; ++row) {
        while (engine.Column() >= 0 && engine.Column() < engine.Width()) {
            const int column = engine.Column();
            visited.push_back(column);
            uint32_t out = 0xDEADBEEF;
            EXPECT_EQ(engine.Dither(0x1080F0u + uint32_t(column << 16), out), 0x10 + column);
            EXPECT_EQ(out, 0x112233u);
        }
        engine.NextLine();
    }
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 2, 1, 0}));
    EXPECT_EQ(std::get<1>(lookup.Asked.front()), 0x80);
    EXPECT_EQ(std::get<2>(lookup.Asked.front()), 0xF0);
    // Reset turns the walk back to the start of a left-to-right row.
    engine.Reset();
    EXPECT_EQ(engine.Direction(), 1);
    EXPECT_EQ(engine.Column(), 0);
}

TEST(DitherEngine, OctreeLookupLeavesColourOutAlone)
{
    TColorQuantizer quantizer(16, 8);
    Feed(quantizer, {{0xF0, 0x10, 0x80}, {0x10, 0x80, 0xF0}});
    std::vector<TRGBQuad> table;
    quantizer.GetColorTable(table);
    TOctreeColorLookup lookup(&quantizer);
    TDitherEngine engine(2, &lookup);
    uint32_t out = 0xDEADBEEF;
    EXPECT_EQ(engine.Dither(0xF01080u, out), 1);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(engine.Dither(0x1080F0u, out), 0);
    EXPECT_EQ(engine.Column(), 2);
}
