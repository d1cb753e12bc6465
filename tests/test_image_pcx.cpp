// test_image_pcx.cpp -- PCX decoding into texel buffers, without a window
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <set>

#include <functional>

#include "error.h"
#include "image.h"
#include "pcx_encode.h"
#include "test_support.h"
#include "tile.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// Transparent, automatic, softened; a 4096 texture limit unless given.
// Refusals fail the test unless why is given to take them.
ImageTexels decode(const Bytes &file, bool t = false, bool a = false, bool s = false, int limit = 4096,
                   ImageRefusal *why = nullptr)
{
    const ImageSettings settings = {t, a, s, 0, 0, 0, limit};
    ImageTexels out;
    ImageRefusal refused;
    bool ok = image_decode(file.data(), file.size(), &settings, &out, &refused);
    EXPECT_TRUE(ok || why) << refused.reason;
    if (why)
        *why = ok ? ImageRefusal{255, "", ""} : refused;
    return out;
}

// Of row y's first n texels: channel c (3 is alpha) of each.
Bytes channel(const ImageTexels &t, unsigned y, unsigned n, unsigned c = 0)
{
    Bytes out;
    for (unsigned x = 0; x < n; x++)
        out.push_back(t.texels[((size_t)y * t.texWidth + x) * (t.hasAlpha ? 4 : 3) + c]);
    return out;
}

}  // namespace

TEST(ImagePcx, RefusalsSayWhy)
{
    Bytes pixels(65, 1);
    const Bytes good = pcx_encode8(4, 3, pixels.data(), nullptr);
    ASSERT_EQ(decode(good).width, 4);
    const struct { std::function<void(Bytes &)> damage; unsigned code; const char *reason; } cases[] = {
        {[](Bytes &f) { f[0] = 11; }, ERROR_FILE, "neither a PCX nor a PNG picture"},
        {[](Bytes &f) { f[1] = 6; }, ERROR_FILE, "PCX version 6 is not one tavo reads"},
        {[](Bytes &f) { f[2] = 2; }, ERROR_FILE, "PCX encoding 2 is not one tavo reads"},
        {[](Bytes &f) { f[65] = 2; }, ERROR_FILE, "8-bit PCX with 2 planes is not a picture tavo reads"},
        {[](Bytes &f) { f[3] = 1, f[65] = 5; }, ERROR_FILE, "1-bit PCX with 5 planes is not a picture tavo reads"},
        {[](Bytes &f) { test_put16(f, 4, 1), test_put16(f, 8, 0); }, ERROR_FILE, "a picture of 0 x 3 pixels"},
        {[](Bytes &f) { test_put16(f, 8, 32768), test_put16(f, 66, 32770); }, ERROR_FILE, "wider or taller than 32768"},
        {[](Bytes &f) { test_put16(f, 66, 0); }, ERROR_FILE, "PCX lines of 0 bytes cannot hold 4 pixels"},
        {[](Bytes &f) { f[3] = 1, test_put16(f, 8, 39); }, ERROR_FILE, "lines of 4 bytes cannot hold 40 pixels"},
        {[](Bytes &f) { test_put16(f, 8, 64); }, ERROR_SIZE, "needs a 128 x 4 texture"},
    };
    for (const auto &c : cases) {
        Bytes f = good;
        c.damage(f);
        ImageRefusal why;
        decode(f, false, false, false, 64, &why);
        EXPECT_EQ(why.code, c.code) << c.reason;
        EXPECT_NE(why.reason.find(c.reason), std::string::npos) << why.reason;
    }
    // The padded size against the driver's limit: 64 fits a limit of 64.
    EXPECT_EQ(decode(pcx_encode8(64, 1, pixels.data(), nullptr), 0, 0, 0, 64).texWidth, 64);
}

TEST(ImagePcx, RunLengthDecodingAndPaddedLines)
{
    // No palette block, so every index shows as its grey.
    ImageTexels t = decode(test_pcxHeader(8, 3, 8, {
        0xC5, 0x03, 0xC0, 0x09, 0x01, 0x02,  // five 3s, a run of none, 1, 2
        0xC3, 0x04,  // three 4s, cut to one at the line's end
        0xFF, 0x07,  // 63 7s, cut to the 8 of the line
        0x05,        // then the file ends: the rest reads 255
    }));
    ASSERT_EQ(t.texHeight, 4);  // the padded row copies the last
    const Bytes rows[4] = {{3, 3, 3, 3, 3, 1, 2, 4}, Bytes(8, 7), {5, 255, 255, 255, 255, 255, 255, 255},
                           {5, 255, 255, 255, 255, 255, 255, 255}};
    for (unsigned y = 0; y < 4; y++)
        for (unsigned c = 0; c < 3; c++)
            EXPECT_EQ(channel(t, y, 8, c), rows[y]) << y;
    // 5 wide, 64 bytes a line: of a run over the picture's edge and of the
    // padding, bytes or runs, nothing shows or lands past the line buffer, and
    // the next line starts at byte 64; texels right of the picture copy its last column.
    t = decode(test_pcxHeader(5, 2, 64, {10, 11, 12, 0xC3, 13, 90, 91, 0xF8, 92, 20, 21, 22, 23, 24, 0xFF, 93}));
    ASSERT_EQ(t.texWidth, 8);
    EXPECT_EQ(channel(t, 0, 8), (Bytes{10, 11, 12, 13, 13, 13, 13, 13}));
    EXPECT_EQ(channel(t, 1, 8, 2), (Bytes{20, 21, 22, 23, 24, 24, 24, 24}));
}

TEST(ImagePcx, TransparencySoftening)
{
    unsigned char palette[768] = {};  // entries 0 and 7 both black
    for (int i = 1; i < 256; i++)
        if (i != 7)
            palette[3 * i] = (unsigned char)i, palette[3 * i + 2] = 200;
    const unsigned char pixels[4] = {7, 0, 3, 7};
    Bytes f = pcx_encode8(4, 1, pixels, palette);
    EXPECT_EQ(channel(decode(f), 0, 4, 2), (Bytes{0, 0, 200, 0}));
    // Black is transparent: only its lowest index, 0.  Automatic: the
    // top-left pixel's index, 7, and not 0 of the same colour.
    EXPECT_EQ(channel(decode(f, true), 0, 4, 3), (Bytes{255, 0, 255, 255}));
    EXPECT_EQ(channel(decode(f, true, true), 0, 4, 3), (Bytes{0, 255, 255, 0}));
    f[f.size() - 769] = 11;  // without the marker 12 the palette block is not one: greys
    EXPECT_EQ(channel(decode(f), 0, 4, 2), (Bytes{7, 0, 3, 7}));
    // Three planes: black, or the top-left pixel's colour, which is reported back.
    const unsigned char rgb[4 * 3] = {9, 8, 7, 1, 2, 3, 9, 8, 7, 0, 0, 0};
    f = pcx_encode24(4, 1, rgb);
    EXPECT_EQ(channel(decode(f, true), 0, 4, 3), (Bytes{255, 255, 255, 0}));
    ImageTexels t = decode(f, true, true);
    EXPECT_EQ(channel(t, 0, 4, 3), (Bytes{0, 255, 0, 255}));
    EXPECT_EQ((Bytes{t.tookColor, t.colorR, t.colorG, t.colorB}), (Bytes{1, 9, 8, 7}));

    // Softened: a 3 x 3 block of index 1 in a 5 x 5 picture of index 0
    // (black, transparent); at the edge fewer neighbours count, and a lone
    // texel has none and stays opaque.
    Bytes block(25, 0);
    for (int i : {6, 7, 8, 11, 12, 13, 16, 17, 18})
        block[i] = 1;
    t = decode(pcx_encode8(5, 5, block.data(), nullptr), true, false, true);
    const Bytes alpha[3] = {{0, 0, 0, 0, 0}, {0, 95, 159, 95, 0}, {0, 159, 255, 159, 0}};
    for (unsigned y = 0; y < 5; y++)
        EXPECT_EQ(channel(t, y, 5, 3), alpha[y < 3 ? y : 4 - y]) << y;
    EXPECT_EQ(channel(decode(pcx_encode8(3, 1, &block[6], nullptr), true, false, true), 0, 3, 3), (Bytes{255, 255, 255}));
    EXPECT_EQ(channel(decode(pcx_encode8(1, 1, &block[6], nullptr), true, false, true), 0, 1, 3), (Bytes{255}));
}

TEST(ImagePcx, DecodesEveryKindAsOtherProgramsDo)
{
    // Pictures written by other programs, each NAME.pcx beside the RGBA
    // NAME.pam their decoders agree on (tests/data/pictures/make.py).
    const std::string dir = std::string(TAVO_SOURCE_DIR) + "/tests/data/pictures/";
    std::set<std::string> kinds;  // and versions
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename();
        if (entry.path().extension() != ".pcx")
            continue;
        Bytes file, pam;
        ASSERT_TRUE(pcx_readFile(dir + name, file) && pcx_readFile(dir + name.substr(0, name.size() - 4) + ".pam", pam));
        ImageTexels t = decode(file);
        const int width = t.width, height = t.height;  // after the .pam's header of 66 bytes (P7, 21 x 9, RGB_ALPHA)
        ASSERT_EQ(pam.size(), 66 + (size_t)width * height * 4) << name;
        const unsigned char *want = pam.data() + 66;
        kinds.insert({t.kind + (file[2] ? "" : ", uncompressed"), "version " + std::to_string(file[1])});
        size_t texel = t.hasAlpha ? 4 : 3, differ = 0;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++, want += 4) {
                const unsigned char *got = &t.texels[((size_t)y * t.texWidth + x) * texel];
                differ += memcmp(got, want, 3) != 0 || (t.hasAlpha ? got[3] : 255) != want[3];
            }
        EXPECT_EQ(differ, 0u) << name;
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"PCX 1-bit x 1 plane", "PCX 2-bit x 1 plane", "PCX 4-bit x 1 plane",
        "PCX 1-bit x 2 planes", "PCX 1-bit x 3 planes", "PCX 1-bit x 4 planes", "PCX 8-bit x 1 plane",
        "PCX 8-bit x 3 planes", "PCX 8-bit x 4 planes", "PCX 1-bit x 4 planes, uncompressed",
        "PCX 8-bit x 1 plane, uncompressed", "PCX 8-bit x 4 planes, uncompressed", "version 0", "version 1",
        "version 2", "version 3", "version 4", "version 5"}));
}

TEST(ImagePng, RefusalsSayWhyAndMapsKeepTheirValues)
{
    Bytes rgb(8 * 64 * 3), png;
    for (size_t i = 0; i < rgb.size(); i++)
        rgb[i] = (unsigned char)(rand() >> 7);  // noise, which hardly compresses
    ASSERT_TRUE(image_encodePng(rgb.data(), 8, 64, png));
    ASSERT_EQ(decode(png).kind, "PNG RGB 8-bit");
    Bytes cut(png.begin(), png.begin() + (long)png.size() / 2), crc = png;
    ImageRefusal why;
    crc[40] ^= 1;  // inside the first IDAT
    for (const Bytes &f : {cut, crc, Bytes(png.begin(), png.begin() + 20)}) {
        decode(f, false, false, false, 4096, &why);
        EXPECT_EQ(why.code, ERROR_FILE);
        EXPECT_TRUE(testing::internal::RE::FullMatch(why.reason, "PNG (ends after [1-9][0-9]? of 64 rows|is broken: .*CRC error|ends inside its header)")) << why.reason;
    }
    // As a map: a grey PNG gives the grid of its PCX twin; a colour one is refused, a huge one out of memory.
    Bytes twin, grey, values;
    unsigned w = 0, h = 0;
    EXPECT_FALSE(image_decodePngValues(png.data(), png.size(), 1000, values, &w, &h, &why));
    EXPECT_EQ(why.reason, "PNG RGB 8-bit is not a map picture: a map's pixels are tile types, an 8-bit palette or grey PNG");
    TileMap fromPcx, fromPng;
    ASSERT_TRUE(pcx_readFile(std::string(TAVO_SOURCE_DIR) + "/fuzz/corpus/map/two_across.pcx", twin) &&
                pcx_readFile(std::string(TAVO_SOURCE_DIR) + "/fuzz/corpus/map/two_across.png", grey));
    ASSERT_TRUE(tile_decodeMap(twin.data(), twin.size(), &fromPcx) && tile_decodeMap(grey.data(), grey.size(), &fromPng));
    EXPECT_TRUE(fromPng.cells == fromPcx.cells && fromPng.width == fromPcx.width && fromPng.height == fromPcx.height);
    EXPECT_FALSE(image_decodePngValues(grey.data(), grey.size(), 12 * 15 - 1, values, &w, &h, &why));
    EXPECT_EQ(why.code, ERROR_FILE);
    EXPECT_EQ(why.reason, "12 x 15 pixels is more than a map may hold (179)");
}
