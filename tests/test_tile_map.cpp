// test_tile_map.cpp -- decoding the framed map picture into the layered grid
#include "pcx_encode.h"
#include "test_support.h"
#include "tile.h"

namespace {

typedef std::vector<unsigned char> Bytes;

int decode(const Bytes &file, TileMap *map) { return tile_decodeMap(file.data(), file.size(), map); }

TEST(TileMap, ThreeAcrossThreeDownPaddedAndTruncated)
{
    // Blocks 2 x 2 cells, three across and three bands: more blocks across and
    // down than a block has cells, so a frame off by one counts wrongly.
    Bytes cells(2 * 2 * 9), pixels;
    for (size_t i = 0; i < cells.size(); i++)
        cells[i] = (unsigned char)(i + 10);
    unsigned pw, ph;
    pcx_encodeMap(2, 2, 9, cells.data(), 3, &pixels, &pw, &ph);
    ASSERT_EQ((std::vector<unsigned>{pw, ph}), (std::vector<unsigned>{12, 12}));
    pixels.insert(pixels.end(), 12, 5);  // row 12, below the last whole band
    TileMap map;
    for (unsigned bpl : {12, 21}) {  // plain and padded lines
        ASSERT_EQ(decode(pcx_encode8(12, 13, pixels.data(), nullptr, bpl), &map), 1);
        EXPECT_EQ((std::vector<int>{map.width, map.depth, map.height, map.across}), (std::vector<int>{2, 2, 9, 3}));
        EXPECT_EQ(map.cells, cells);
    }
    // Layer 1 is the top band's middle block, layer 3 the next band's left one.
    EXPECT_EQ((Bytes{map.cells[1 * 4], map.cells[3 * 4]}), (Bytes{pixels[1 * 12 + 5], pixels[5 * 12 + 1]}));

    // A run crossing a line's end is dropped there, and a run of length 0
    // eats its value; then a file cut between a run byte and its value.
    ASSERT_EQ(decode(test_pcxHeader(3, 4, 3, {0, 5, 0, 5, 0xC5, 9, 5, 3, 0, 0xC0, 0x77, 0xC3, 0}), &map), 1);
    EXPECT_EQ(map.cells, (Bytes{9, 3}));
    ASSERT_EQ(decode(test_pcxHeader(3, 3, 3, {0, 5, 0, 5, 0xC2}), &map), 1);
    EXPECT_EQ(map.cells, (Bytes{255}));
}

TEST(TileMap, RefusedPictures)
{
    Bytes good = pcx_encodeMap(2, 2, 1, Bytes(4, 1).data(), 1);
    TileMap m;
    ASSERT_EQ(decode(good, &m), 1);
    // A line length of 0 or below the 4-pixel width; no five along the top, or none down the left.
    Bytes zeroLine = good, shortLine = good, noTop(16, 5), noLeft(16, 5);
    zeroLine[66] = 0, shortLine[66] = 3, noTop[1] = 6, noLeft[4] = 6;
    for (const Bytes &refused : {zeroLine, shortLine, pcx_encode8(4, 4, noTop.data(), nullptr),
                                 pcx_encode8(4, 4, noLeft.data(), nullptr)})
        EXPECT_EQ(decode(refused, &m), 0);
    // More layers than 16 bits hold: 21845 blocks across, four bands; with one band less it fits.
    Bytes rows = {0, 5, 0};
    for (unsigned left = 65532; left; left -= left > 63 ? 63 : left)
        rows.insert(rows.end(), {(unsigned char)(0xC0 | (left > 63 ? 63 : left)), 0});
    rows.push_back(5);
    EXPECT_EQ(decode(test_pcxHeader(65535, 12, 65535, rows), &m), 0);
    ASSERT_EQ(decode(test_pcxHeader(65535, 9, 65535, rows), &m), 1);
    EXPECT_EQ(m.height, 65535);
    // A huge picture claimed by a few bytes costs no more than those bytes.
    EXPECT_EQ(decode(test_pcxHeader(65535, 65535, 65535, {0, 5, 0}), &m), 0);
}

}  // namespace
