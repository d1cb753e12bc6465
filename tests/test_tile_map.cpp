// test_tile_map.cpp -- decoding the framed map picture into the layered grid
#include <string.h>

#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "pcx_encode.h"
#include "tile.h"

namespace {

std::vector<unsigned char> cellsCounting(size_t n)
{
    std::vector<unsigned char> cells(n);
    for (size_t i = 0; i < n; i++)
        cells[i] = (unsigned char)(i % 200 + 10);
    return cells;
}

// A bare header for hand-made pixel data.
std::vector<unsigned char> header(unsigned w, unsigned h, unsigned bpl)
{
    std::vector<unsigned char> pixel(1, 0);
    std::vector<unsigned char> out = pcx_encode8(1, 1, pixel.data(), nullptr, 1);
    out.resize(128);
    out[8] = (w - 1) & 0xFF;
    out[9] = ((w - 1) >> 8) & 0xFF;
    out[10] = (h - 1) & 0xFF;
    out[11] = ((h - 1) >> 8) & 0xFF;
    out[66] = bpl & 0xFF;
    out[67] = (bpl >> 8) & 0xFF;
    return out;
}

int decode(const std::vector<unsigned char> &file, TileMap *map)
{
    return tile_decodeMap(file.data(), file.size(), map);
}

TEST(TileMap, TwelveByElevenWithTwoBands)
{
    std::vector<unsigned char> cells = cellsCounting(4 * 3 * 4), pixels;
    unsigned pw, ph;
    pcx_encodeMap(4, 3, 4, cells.data(), 2, &pixels, &pw, &ph);
    ASSERT_EQ(pw, 12u);
    ASSERT_EQ(ph, 10u);
    pixels.insert(pixels.end(), 12, 5);  // row 10, below the last whole band
    TileMap map;
    ASSERT_EQ(decode(pcx_encode8(12, 11, pixels.data(), nullptr), &map), 1);
    EXPECT_EQ(map.width, 4);
    EXPECT_EQ(map.depth, 3);
    EXPECT_EQ(map.height, 4);
    EXPECT_EQ(map.across, 2);
    EXPECT_EQ(map.cells, cells);
    // Layer 1 is the top band's right-hand block, layer 2 the next band's left one.
    EXPECT_EQ(map.cells[1 * 12 + 0], pixels[1 * 12 + 7]);
    EXPECT_EQ(map.cells[2 * 12 + 0], pixels[6 * 12 + 1]);

    tile_setMap(&map);
    EXPECT_EQ(tile_getWidth(), 4);
    EXPECT_EQ(tile_getDepth(), 3);
    EXPECT_EQ(tile_getHeight(), 4);
    EXPECT_EQ(memcmp(tile_map, cells.data(), cells.size()), 0);
}

TEST(TileMap, PaddedLinesAndRunsAtLineEnds)
{
    std::vector<unsigned char> cells = cellsCounting(5 * 2 * 3), pixels;
    unsigned pw, ph;
    std::vector<unsigned char> plain = pcx_encodeMap(5, 2, 3, cells.data(), 3, &pixels, &pw, &ph);
    TileMap a, b;
    ASSERT_EQ(decode(plain, &a), 1);
    ASSERT_EQ(decode(pcx_encode8(pw, ph, pixels.data(), nullptr, pw + 9), &b), 1);
    EXPECT_EQ(a.cells, cells);
    EXPECT_EQ(b.cells, cells);

    // Three by four: a run crossing a line's end is dropped there, and a
    // run of length 0 emits nothing but eats its value.
    std::vector<unsigned char> file = header(3, 4, 3);
    const unsigned char data[] = {
        0, 5, 0,           // row 0: one cell across
        5, 0xC5, 9,        // row 1: 5 9, then three nines that would spill over
        5, 3, 0,           // row 2
        0xC0, 0x77, 0xC3, 0};  // row 3
    file.insert(file.end(), data, data + sizeof data);
    TileMap m;
    ASSERT_EQ(decode(file, &m), 1);
    EXPECT_EQ(m.width, 1);
    EXPECT_EQ(m.depth, 2);
    EXPECT_EQ(m.height, 1);
    EXPECT_EQ(m.cells, (std::vector<unsigned char>{9, 3}));
}

TEST(TileMap, TruncatedFilesReadAsEmpty)
{
    std::vector<unsigned char> cells(6 * 4 * 4, 7);
    std::vector<unsigned char> file = pcx_encodeMap(6, 4, 4, cells.data(), 2);
    file.resize(file.size() - 768 - 1);  // the palette block never counts
    TileMap whole;
    ASSERT_EQ(decode(file, &whole), 1);
    EXPECT_EQ(whole.cells, cells);

    // Cut inside the second band: its layers read 255, the first band stays.
    file.resize(128 + (file.size() - 128) * 3 / 5);
    TileMap cut;
    ASSERT_EQ(decode(file, &cut), 1);
    EXPECT_EQ(cut.height, 4);
    EXPECT_EQ(std::vector<unsigned char>(cut.cells.begin(), cut.cells.begin() + 48),
              std::vector<unsigned char>(48, 7));
    EXPECT_EQ(cut.cells.back(), 255);

    // Cut between a run byte and its value.
    std::vector<unsigned char> f = header(3, 3, 3);
    const unsigned char data[] = {0, 5, 0, 5, 0xC2};
    f.insert(f.end(), data, data + sizeof data);
    TileMap m;
    ASSERT_EQ(decode(f, &m), 1);
    EXPECT_EQ(m.cells, (std::vector<unsigned char>{255}));
}

TEST(TileMap, RefusedPictures)
{
    std::vector<unsigned char> cells(4, 1);
    std::vector<unsigned char> good = pcx_encodeMap(2, 2, 1, cells.data(), 1);
    TileMap m;
    ASSERT_EQ(decode(good, &m), 1);

    // Wrong maker, version, encoding or depth; a line length of 0 or below
    // the 4-pixel width; xmin past xmax (the width wraps round).
    const std::vector<std::pair<int, int>> wrongHeaders[] = {
        {{0, 11}}, {{1, 3}}, {{2, 0}}, {{3, 4}}, {{65, 3}}, {{66, 0}, {67, 0}}, {{66, 3}}, {{4, 5}}};
    for (const auto &changes : wrongHeaders) {
        std::vector<unsigned char> f = good;
        for (const auto &c : changes)
            f[c.first] = (unsigned char)c.second;
        EXPECT_EQ(decode(f, &m), 0) << changes[0].first;
    }
    EXPECT_EQ(decode(std::vector<unsigned char>(good.begin(), good.begin() + 127), &m), 0);
    EXPECT_EQ(tile_decodeMap(nullptr, 0, &m), 0);

    // No five along the top, none down the left, or only the corner gone.
    for (int at : {1, 4, 0}) {
        std::vector<unsigned char> px(16, 5);
        px[at] = at ? 6 : 0;
        EXPECT_EQ(decode(pcx_encode8(4, 4, px.data(), nullptr), &m), at == 0) << at;
    }

    // More layers than 16 bits hold: 21845 blocks across, four bands.
    std::vector<unsigned char> wide = header(65535, 12, 65535);
    wide.insert(wide.end(), {0, 5, 0});
    for (unsigned left = 65532; left; left -= left > 63 ? 63 : left)
        wide.insert(wide.end(), {(unsigned char)(0xC0 | (left > 63 ? 63 : left)), 0});
    wide.push_back(5);
    EXPECT_EQ(decode(wide, &m), 0);
    // The same with one band less fits: 3 x 21845 layers.
    wide[10] = 8;
    ASSERT_EQ(decode(wide, &m), 1);
    EXPECT_EQ(m.height, 65535);
    EXPECT_EQ(m.cells.size(), 65535u);

    // A huge picture claimed by a few bytes costs no more than those bytes.
    std::vector<unsigned char> huge = header(65535, 65535, 65535);
    huge.insert(huge.end(), {0, 5, 0});
    EXPECT_EQ(decode(huge, &m), 0);
}

}  // namespace
