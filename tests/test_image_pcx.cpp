// test_image_pcx.cpp -- PCX decoding into texel buffers, without a window
#include <stdio.h>

#include <functional>
#include <string>
#include <vector>

#include "error.h"
#include "image.h"
#include "pcx_encode.h"
#include "test_support.h"

namespace {

typedef std::vector<unsigned char> Bytes;

ImageSettings settings(bool transparent = false, bool autoTransparent = false, bool soften = false)
{
    return ImageSettings{transparent, autoTransparent, soften, 0, 0, 0, 4096};
}

ImageTexels decode(const Bytes &file, const ImageSettings &s = settings())
{
    ImageTexels t;
    image_decodePcx(file.data(), file.size(), &s, &t);
    return t;
}

// The shared writer's header followed by hand-made pixel data.
Bytes rawPcx(unsigned width, unsigned height, unsigned planes, unsigned bytesPerLine, const Bytes &data)
{
    Bytes pixels((size_t)width * height, 0);
    Bytes file = pcx_encode8(width, height, pixels.data(), nullptr, bytesPerLine);
    file.resize(128);
    file[65] = (unsigned char)planes;
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

void setWord(Bytes &file, size_t at, unsigned v)
{
    file[at] = v & 0xFF;
    file[at + 1] = (v >> 8) & 0xFF;
}

Bytes rgbAt(const ImageTexels &t, unsigned x, unsigned y)
{
    const unsigned char *p = &t.texels[((size_t)y * t.texWidth + x) * (t.hasAlpha ? 4 : 3)];
    return Bytes(p, p + 3);
}

Bytes grey(unsigned char v) { return {v, v, v}; }

// The alpha values of row y's first n texels.
Bytes alphaRow(const ImageTexels &t, unsigned y, unsigned n)
{
    Bytes out;
    for (unsigned x = 0; x < n; x++)
        out.push_back(t.texels[((size_t)y * t.texWidth + x) * 4 + 3]);
    return out;
}

std::string dataPath(const std::string &name)
{
    return std::string(TAVO_SOURCE_DIR) + "/tests/data/pcx/" + name;
}

// A binary PPM with maxval 255: width, height and the RGB triples.
bool readPpm(const std::string &path, unsigned *width, unsigned *height, Bytes &rgb)
{
    Bytes bytes;
    int used = 0;
    if (!pcx_readFile(path, bytes))
        return false;
    bytes.push_back(0);  // ends the header for sscanf
    if (sscanf((const char *)bytes.data(), "P6 %u %u 255%n", width, height, &used) != 2)
        return false;
    size_t start = (size_t)used + 1, n = (size_t)*width * *height * 3;
    rgb.assign(bytes.begin() + std::min(start, bytes.size()), bytes.begin() + std::min(start + n, bytes.size()));
    return rgb.size() == n;
}

struct Refused {};

}  // namespace

TEST(ImagePcxDeathTest, HeaderAndSizeRefusals)
{
    Bytes pixels(4 * 3, 1);
    const Bytes good = pcx_encode8(4, 3, pixels.data(), nullptr);
    ASSERT_EQ(decode(good).width, 4);
    const std::function<void(Bytes &)> damage[] = {
        [](Bytes &f) { f[1] = 3; },                                    // version 3
        [](Bytes &f) { f[65] = 2; },                                   // two planes
        [](Bytes &f) { setWord(f, 4, 1), setWord(f, 8, 0); },          // width wraps to 0
        [](Bytes &f) { setWord(f, 8, 32768), setWord(f, 66, 32770); },  // width 32769
        [](Bytes &f) { setWord(f, 66, 0); },                           // a line of no bytes
        [](Bytes &f) { setWord(f, 66, 3); },                           // a line shorter than the picture
        [](Bytes &f) { f.resize(4); },
        [](Bytes &f) { f.clear(); },
    };
    for (size_t i = 0; i < sizeof damage / sizeof damage[0]; i++) {
        Bytes f = good;
        damage[i](f);
        EXPECT_ERROR_EXIT(decode(f), ERROR_FILE) << "damage " << i;
    }
    // The padded size against the driver's limit: 64 fits a limit of 64, 65 pads to 128.
    ImageSettings s = settings();
    s.maxTextureSize = 64;
    Bytes wide(65, 1);
    EXPECT_EQ(decode(pcx_encode8(64, 1, wide.data(), nullptr), s).texWidth, 64);
    EXPECT_ERROR_EXIT(decode(pcx_encode8(65, 1, wide.data(), nullptr), s), ERROR_SIZE);
    EXPECT_ERROR_EXIT(decode(pcx_encode8(1, 65, wide.data(), nullptr), s), ERROR_SIZE);
}

TEST(ImagePcx, SizesComeFromTheWindowAndPad)
{
    Bytes pixels(100 * 50, 9);
    Bytes f = pcx_encode8(100, 50, pixels.data(), nullptr);
    setWord(f, 4, 10);  // the same picture window moved right and down
    setWord(f, 8, 109);
    setWord(f, 6, 7);
    setWord(f, 10, 56);
    ImageTexels t = decode(f);
    EXPECT_EQ((std::vector<int>{t.width, t.height, t.texWidth, t.texHeight, t.hasAlpha}),
              (std::vector<int>{100, 50, 128, 64, 0}));
    EXPECT_EQ(t.texels.size(), 128u * 64 * 3);
    setWord(f, 4, 65535);  // xmax - xmin + 1 wraps: 1 - 65535 + 1 = 3
    setWord(f, 8, 1);
    EXPECT_EQ(decode(f).width, 3);
}

TEST(ImagePcx, RunLengthDecodingAndPaddedLines)
{
    // No palette block, so every index shows as its grey.
    ImageTexels t = decode(rawPcx(8, 3, 1, 8, {
        0xC5, 0x03,  // five 3s
        0xC0, 0x09,  // a run of none
        0x01, 0x02,
        0xC3, 0x04,  // three 4s, cut to one at the line's end
        0xFF, 0x07,  // 63 7s, cut to the 8 of the line
        0x05,        // then the file ends: the rest reads 255
    }));
    const unsigned char row0[8] = {3, 3, 3, 3, 3, 1, 2, 4};
    ASSERT_EQ(t.texHeight, 4);
    for (unsigned x = 0; x < 8; x++) {
        EXPECT_EQ(rgbAt(t, x, 0), grey(row0[x])) << x;
        EXPECT_EQ(rgbAt(t, x, 1), grey(7)) << x;
        EXPECT_EQ(rgbAt(t, x, 2), grey(x == 0 ? 5 : 255)) << x;
        EXPECT_EQ(rgbAt(t, x, 3), rgbAt(t, x, 2)) << x;  // the padded row copies the last
    }
    // A run of 63 literal bytes whose value has its top bits set.
    t = decode(rawPcx(63, 1, 1, 63, {0xFF, 0xC7}));
    EXPECT_EQ(rgbAt(t, 0, 0), grey(0xC7));
    EXPECT_EQ(rgbAt(t, 62, 0), grey(0xC7));

    // 5 wide, 8 bytes a line: the padding bytes never show, and the texels
    // right of the picture copy its last column.
    t = decode(rawPcx(5, 2, 1, 8, {10, 11, 12, 13, 14, 90, 91, 92, 20, 21, 22, 23, 24, 93, 94, 95}));
    ASSERT_EQ(t.texWidth, 8);
    for (unsigned x = 0; x < 8; x++) {
        EXPECT_EQ(rgbAt(t, x, 0), grey(x < 5 ? 10 + x : 14));
        EXPECT_EQ(rgbAt(t, x, 1), grey(x < 5 ? 20 + x : 24));
    }
    // Lines far longer than the texture row (1 wide, 1000 bytes a line):
    // the rest of each line is dropped, nothing is written past the buffer.
    Bytes data;
    for (int row = 0; row < 3; row++) {
        data.push_back((unsigned char)(40 + row));
        for (int i = 0; i < 999; i += 37)
            data.insert(data.end(), {(unsigned char)(0xC0 | std::min(37, 999 - i)), 0x66});
    }
    t = decode(rawPcx(1, 3, 1, 1000, data));
    ASSERT_EQ(t.texWidth, 1);
    for (unsigned y = 0; y < 3; y++)
        EXPECT_EQ(rgbAt(t, 0, y), grey((unsigned char)(40 + y)));
}

TEST(ImagePcx, ThreePlanesTakeEachPlaneFromItsPartOfTheLine)
{
    // 3 wide, 4 bytes a plane: the padding bytes 3, 7, 11 must not show.
    ImageTexels t = decode(rawPcx(3, 1, 3, 4, {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99}));
    EXPECT_EQ(rgbAt(t, 0, 0), (Bytes{1, 4, 7}));
    EXPECT_EQ(rgbAt(t, 1, 0), (Bytes{2, 5, 8}));
    EXPECT_EQ(rgbAt(t, 2, 0), (Bytes{3, 6, 9}));
    EXPECT_EQ(rgbAt(t, 3, 0), rgbAt(t, 2, 0));
    // A run crossing from one plane into the next stays within the line.
    t = decode(rawPcx(2, 2, 3, 2, {0xC3, 10, 0xC3, 20, 0xC9, 30}));
    EXPECT_EQ(rgbAt(t, 0, 0), (Bytes{10, 10, 20}));
    EXPECT_EQ(rgbAt(t, 1, 0), (Bytes{10, 20, 20}));
    EXPECT_EQ(rgbAt(t, 0, 1), (Bytes{30, 30, 30}));

    // Transparency by colour: black, or the top-left pixel's, reported back.
    const unsigned char rgb[4 * 3] = {9, 8, 7, 1, 2, 3, 9, 8, 7, 0, 0, 0};
    Bytes f = pcx_encode24(4, 1, rgb);
    t = decode(f, settings(true));
    EXPECT_EQ(alphaRow(t, 0, 4), (Bytes{255, 255, 255, 0}));
    EXPECT_EQ(t.tookColor, 0);
    t = decode(f, settings(true, true));
    EXPECT_EQ(alphaRow(t, 0, 4), (Bytes{0, 255, 0, 255}));
    EXPECT_EQ(t.tookColor, 1);
    EXPECT_EQ(t.colorR * 65536 + t.colorG * 256 + t.colorB, 0x090807);
}

TEST(ImagePcx, PaletteAndTransparencyByIndex)
{
    unsigned char palette[768] = {};  // entries 0 and 7 both black
    for (int i = 1; i < 256; i++)
        if (i != 7)
            palette[3 * i] = (unsigned char)i, palette[3 * i + 2] = 200;
    const unsigned char pixels[4] = {7, 0, 3, 7};
    Bytes f = pcx_encode8(4, 1, pixels, palette);
    ImageTexels t = decode(f);
    EXPECT_EQ(rgbAt(t, 2, 0), (Bytes{3, 0, 200}));
    EXPECT_EQ(rgbAt(t, 0, 0), grey(0));
    // Black is transparent: only its lowest index, 0.
    t = decode(f, settings(true));
    EXPECT_EQ(t.texels.size(), 4u * 1 * 4);
    EXPECT_EQ(alphaRow(t, 0, 4), (Bytes{255, 0, 255, 255}));
    // Automatic: the top-left pixel's index, 7, and not 0 of the same colour.
    t = decode(f, settings(true, true));
    EXPECT_EQ(alphaRow(t, 0, 4), (Bytes{0, 255, 255, 0}));
    EXPECT_EQ(t.tookColor, 0);
    // Without the marker 12 the palette block is not one: greys.
    f[f.size() - 769] = 11;
    EXPECT_EQ(rgbAt(decode(f), 2, 0), grey(3));
}

TEST(ImagePcx, Softening)
{
    // A 3 x 3 block of index 1 in a 5 x 5 picture of index 0 (black, transparent).
    Bytes pixels(25, 0);
    for (int y = 1; y <= 3; y++)
        for (int x = 1; x <= 3; x++)
            pixels[y * 5 + x] = 1;
    Bytes f = pcx_encode8(5, 5, pixels.data(), nullptr);
    ImageTexels t = decode(f, settings(true, false, true));
    const Bytes rows[5] = {{0, 0, 0, 0, 0}, {0, 95, 159, 95, 0}, {0, 159, 255, 159, 0},
                           {0, 95, 159, 95, 0}, {0, 0, 0, 0, 0}};
    for (unsigned y = 0; y < 5; y++)
        EXPECT_EQ(alphaRow(t, y, 5), rows[y]) << y;
    // Softening needs transparency; and a lone texel stays opaque.
    EXPECT_EQ(decode(f, settings(false, false, true)).hasAlpha, 0);
    const unsigned char one = 1;
    EXPECT_EQ(alphaRow(decode(pcx_encode8(1, 1, &one, nullptr), settings(true, false, true)), 0, 1),
              (Bytes{255}));
}

TEST(ImagePcx, MatchesAnotherProgramsDecoding)
{
    for (const std::string name : {"rose8", "rose24", "odd8", "odd24"}) {
        SCOPED_TRACE(name);
        Bytes file, expected, got;
        unsigned width = 0, height = 0;
        ASSERT_TRUE(pcx_readFile(dataPath(name + ".pcx"), file));
        ASSERT_TRUE(readPpm(dataPath(name + ".ppm"), &width, &height, expected));
        ImageTexels t = decode(file);
        ASSERT_EQ(t.width, width);
        ASSERT_EQ(t.height, height);
        for (unsigned y = 0; y < height; y++)
            for (unsigned x = 0; x < width; x++) {
                Bytes p = rgbAt(t, x, y);
                got.insert(got.end(), p.begin(), p.end());
            }
        EXPECT_TRUE(got == expected);
    }
}

// Truncated and scrambled files either decode or are refused; under the
// sanitizers this also shows that nothing is read or written out of bounds.
TEST(ImagePcx, DamagedFilesAreDecodedOrRefused)
{
    Bytes rose, odd;
    ASSERT_TRUE(pcx_readFile(dataPath("rose8.pcx"), rose));
    ASSERT_TRUE(pcx_readFile(dataPath("odd24.pcx"), odd));
    ImageSettings s = settings(true, true, true);
    s.maxTextureSize = 256;
    unsigned decoded = 0, refused = 0;
    auto attempt = [&](const Bytes &f) {
        try {
            ImageTexels t = decode(f, s);
            EXPECT_EQ(t.texels.size(), (size_t)t.texWidth * t.texHeight * 4);
            decoded++;
        } catch (const Refused &) {
            refused++;
        }
    };
    testing::internal::CaptureStdout();  // refusals print their line
    error_setHook([](unsigned char) { throw Refused(); });
    for (size_t n = 0; n <= odd.size(); n++)
        attempt(Bytes(odd.begin(), odd.begin() + n));
    unsigned seed = 12345;
    for (int round = 0; round < 400; round++) {
        Bytes f = round % 2 ? rose : odd;
        for (int k = 0; k < 1 + round % 6; k++) {
            seed = seed * 1103515245u + 12345u;
            f[(seed >> 8) % (round % 3 ? f.size() : 128)] = (unsigned char)(seed >> 20);
        }
        attempt(f);
    }
    error_setHook(nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_GT(decoded, 0u);
    EXPECT_GT(refused, 0u);
}
