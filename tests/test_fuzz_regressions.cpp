// test_fuzz_regressions.cpp -- inputs the fuzz targets found harmful, each kept with its sound outcome
#include <zlib.h>

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
    Bytes big = test_tallMap(1025);  // a taller picture is refused for its pixels, below
    bool memory = false;
    EXPECT_EQ(tile_decodeMap(big.data(), big.size(), &map, nullptr, &memory), 0);
    EXPECT_TRUE(memory);
}

// A grey PNG's header claiming width x height pixels, then an empty data
// chunk and the end: what the reader needs to learn the size.
Bytes pngClaiming(unsigned width, unsigned height)
{
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    auto chunk = [&](const char *type, Bytes data) {
        Bytes body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        unsigned n = (unsigned)data.size();
        file.insert(file.end(), {(unsigned char)(n >> 24), (unsigned char)(n >> 16), (unsigned char)(n >> 8),
                                 (unsigned char)n});
        file.insert(file.end(), body.begin(), body.end());
        uLong crc = crc32(0, body.data(), (uInt)body.size());
        file.insert(file.end(), {(unsigned char)(crc >> 24), (unsigned char)(crc >> 16), (unsigned char)(crc >> 8),
                                 (unsigned char)crc});
    };
    chunk("IHDR", {(unsigned char)(width >> 24), (unsigned char)(width >> 16), (unsigned char)(width >> 8),
                   (unsigned char)width, (unsigned char)(height >> 24), (unsigned char)(height >> 16),
                   (unsigned char)(height >> 8), (unsigned char)height, 8, 0, 0, 0, 0});
    chunk("IDAT", {});
    chunk("IEND", {});
    return file;
}

// A header of a few bytes may claim 4 Gi pixels, and runs let 8 MB of PCX
// spell 256 Mi of them: a picture claiming more than TILE_PICTURE_MAX is
// refused for its size, in the same words for PCX and PNG, not taken for
// memory running out.
TEST(FuzzRegressions, MapPictureClaimingTooManyPixelsIsRefusedForItsSize)
{
    const struct {
        Bytes file;
        const char *reason;
    } cases[] = {
        {test_pcxHeader(65535, 65535, 65535, {0xFF, 5}), "65535 x 65535 pixels is more than a map may hold"},
        {pngClaiming(65534, 65535), "65534 x 65535 pixels is more than a map may hold"},
        {test_pcxHeader(65535, 4097, 65535, {}), "65535 x 4097 pixels is more than a map may hold"},
        {test_tallMap(21845), "65535 x 65535 pixels is more than a map may hold"},
    };
    for (const auto &c : cases) {
        TileMap map;
        std::string why;
        bool memory = false;
        EXPECT_EQ(tile_decodeMap(c.file.data(), c.file.size(), &map, &why, &memory), 0);
        EXPECT_FALSE(memory);
        EXPECT_EQ(why, std::string(c.reason) + " (" + std::to_string(TILE_PICTURE_MAX) + ")");
    }
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
