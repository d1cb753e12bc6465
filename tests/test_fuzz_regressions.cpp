// test_fuzz_regressions.cpp -- inputs the fuzz targets found harmful, each kept with its sound outcome
#include <algorithm>

#include "error.h"
#include "image.h"
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

// 67 bytes whose sPLT chunk claims 436 MB: refused as cut short, as the
// file is, without asking for the memory.
TEST(FuzzRegressions, PngChunkLongerThanTheFileIsRefusedUnread)
{
    static const unsigned char file[] = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52,
        0x00, 0x00, 0x00, 0x15, 0x00, 0x00, 0x00, 0x09, 0x10, 0x00, 0x00, 0x00, 0x00, 0xa8, 0xf8, 0xe4,
        0xe9, 0x00, 0x00, 0x00, 0x06, 0x62, 0x4b, 0x47, 0x44, 0x00, 0xff, 0x00, 0xff, 0x89, 0x50, 0x4e,
        0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x02, 0x5d, 0x73, 0x50, 0x4c, 0x54, 0x45, 0x36, 0x44, 0x41, 0x54,
        0x28, 0x24, 0xcf};
    ImageSettings settings = {};
    ImageTexels texels;
    ImageRefusal why;
    EXPECT_FALSE(image_decodePng(file, sizeof file, &settings, &texels, &why));
    EXPECT_EQ(why.code, (unsigned)ERROR_FILE);
    EXPECT_EQ(why.reason, "PNG ends inside its header");
}

}  // namespace
