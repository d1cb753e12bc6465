// test_fuzz_regressions.cpp -- inputs the fuzz targets found harmful, each kept with its sound outcome
#include <algorithm>

#include "error.h"
#include "pcx_encode.h"
#include "test_support.h"
#include "tile.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// A file of 4 KB could make the decoder allocate a 1.4 GB grid (and the
// viewer copy it): grids above TILE_GRID_MAX cells are out of memory.
TEST(FuzzRegressions, MapGridDeclaredBeyondTheCapIsOutOfMemory)
{
    static_assert(65532u * 1024 <= TILE_GRID_MAX && 65532u * 1025 > TILE_GRID_MAX, "the cases straddle the cap");
    Bytes file = test_tallMap(1024);
    ASSERT_LT(file.size(), 8192u);
    TileMap map;
    ASSERT_EQ(tile_decodeMap(file.data(), file.size(), &map), 1);
    EXPECT_EQ((std::vector<int>{map.width, map.depth, map.height}), (std::vector<int>{65532, 1, 1024}));
    for (unsigned bands : {1025u, 21845u}) {
        Bytes big = test_tallMap(bands);
        EXPECT_ERROR_EXIT(tile_decodeMap(big.data(), big.size(), &map), ERROR_MEMORY) << bands;
    }
}

// Runs of 63 let 8 MB of file spell 256 Mi pixels; more than that is out
// of memory rather than gigabytes taken from a small file.
TEST(FuzzRegressions, MapPictureBeyondTheCapIsOutOfMemory)
{
    Bytes file = test_pcxHeader(65535, 65535, 65535, {});
    for (size_t runs = (TILE_PICTURE_MAX / 65535 + 1) * ((65535 + 62) / 63); runs; runs--)
        file.insert(file.end(), {0xFF, 5});
    TileMap map;
    EXPECT_ERROR_EXIT(tile_decodeMap(file.data(), file.size(), &map), ERROR_MEMORY);
}

}  // namespace
