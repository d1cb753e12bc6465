// test_fuzz_regressions.cpp -- inputs the fuzz targets found harmful, each kept with its sound outcome
#include <vector>

#include <gtest/gtest.h>

#include "error.h"
#include "pcx_encode.h"
#include "test_support.h"
#include "tile.h"

namespace {

// A map picture 65535 pixels wide whose top-left frame measures a block of
// 65532 x 1 cells, declared bands blocks high, of which only the first two
// pixel rows are in the file: the rest read as empty cells.
std::vector<unsigned char> tallMap(unsigned bands)
{
    const unsigned w = 65535;
    std::vector<unsigned char> pixels(2 * (size_t)w, 0);
    for (unsigned x = 1; x <= 65532; x++)
        pixels[x] = 5;
    pixels[w] = 5;  // the left edge of the frame: one row of cells
    std::vector<unsigned char> file = pcx_encode8(w, 2, pixels.data(), nullptr, w);
    unsigned ymax = 3 * bands - 1;
    file[10] = ymax & 0xFF;
    file[11] = (ymax >> 8) & 0xFF;
    return file;
}

}  // namespace

// A file of 4 KB could make the decoder allocate a 1.4 GB grid (and
// the viewer copy it): grids above TILE_GRID_MAX cells are out of memory.
TEST(FuzzRegressions, MapGridDeclaredBeyondTheCapIsOutOfMemory)
{
    static_assert(65532u * 1024 <= TILE_GRID_MAX && 65532u * 1025 > TILE_GRID_MAX,
                  "the cases below straddle the cap");
    std::vector<unsigned char> file = tallMap(1024);
    ASSERT_LT(file.size(), 8192u);
    TileMap map;
    ASSERT_EQ(tile_decodeMap(file.data(), file.size(), &map), 1);
    EXPECT_EQ(map.width, 65532);
    EXPECT_EQ(map.depth, 1);
    EXPECT_EQ(map.height, 1024);
    ASSERT_EQ(map.cells.size(), 65532u * 1024);
    EXPECT_EQ(map.cells[0], 0);  // the second pixel row's cells are in the file
    EXPECT_EQ(map.cells[65532], 255);  // the next band's are not

    for (unsigned bands : {1025u, 21845u}) {
        std::vector<unsigned char> big = tallMap(bands);
        EXPECT_ERROR_EXIT(tile_decodeMap(big.data(), big.size(), &map), ERROR_MEMORY) << bands;
    }
}

// Runs of 63 let 8 MB of file spell 256 Mi pixels; more than that is out
// of memory rather than gigabytes taken from a small file.
TEST(FuzzRegressions, MapPictureBeyondTheCapIsOutOfMemory)
{
    const unsigned w = 65535, h = 65535;
    unsigned char pixel = 5;
    std::vector<unsigned char> file = pcx_encode8(1, 1, &pixel, nullptr, 2);
    file.resize(128);  // the header alone, then sized up by hand
    file[8] = file[66] = w & 0xFF;
    file[9] = file[67] = w >> 8;
    file[8] = (w - 1) & 0xFF;
    file[10] = (h - 1) & 0xFF;
    file[11] = (h - 1) >> 8;
    size_t runs = (TILE_PICTURE_MAX / w + 1) * ((w + 62) / 63);
    for (size_t i = 0; i < runs; i++)
        file.insert(file.end(), {0xFF, 5});
    TileMap map;
    EXPECT_ERROR_EXIT(tile_decodeMap(file.data(), file.size(), &map), ERROR_MEMORY);
}
