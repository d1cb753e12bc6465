// test_image_gl.cpp -- images uploaded as OpenGL textures and drawn in the overlay
#include <math.h>
#include <stdio.h>

#include <algorithm>

#include <GL/gl.h>

#include "error.h"
#include "gpu.h"
#include "image.h"
#include "pcx_encode.h"
#include "test_support.h"
#include "texture.h"

namespace {

typedef std::vector<GLint> Ints;

// The bound texture's size, format and filters.
Ints textureState(void)
{
    Ints v(5);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &v[0]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &v[1]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &v[2]);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &v[3]);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &v[4]);
    return v;
}

// The bound texture's texels as RGB or RGBA bytes.
std::vector<unsigned char> texels(bool rgba)
{
    Ints state = textureState();
    std::vector<unsigned char> out((size_t)state[0] * state[1] * (rgba ? 4 : 3));
    glGetTexImage(GL_TEXTURE_2D, 0, rgba ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, out.data());
    return out;
}

// The bound texture filled with one colour, as a solid picture or the stand-by one.
bool allOf(unsigned char r, unsigned char g, unsigned char b)
{
    std::vector<unsigned char> t = texels(false), want;
    for (size_t i = 0; i < t.size(); i += 3)
        want.insert(want.end(), {r, g, b});
    return !t.empty() && t == want;
}

}  // namespace

TEST(ImageGl, CreateAndLoadRefuseTooBigTextures)
{
    REQUIRE_GL();
    Image image = {};
    Refusal why;
    EXPECT_FALSE(image_create(&image, 32769, 1, 0, 0, 0, &why));
    EXPECT_EQ((Ints{why.code, (int)image.textureId}), (Ints{ERROR_SIZE, 0}));
    // Wider than the viewer takes, though the driver may hold it: refused, naming the file.
    std::string wide = test_tempDir() + "/wide.pcx";
    ASSERT_TRUE(pcx_writeFile(wide, test_pcxHeader(IMAGE_MAX_SIDE + 1, 1, IMAGE_MAX_SIDE + 1, {})));
    EXPECT_EQ(image_load(&image, wide.c_str(), &why), IMAGE_REFUSED);
    EXPECT_EQ((Ints{why.code, (int)image.textureId}), (Ints{ERROR_SIZE, 0}));
    EXPECT_EQ(why.path, wide);
}

TEST(ImageGl, LoadUploadsTheDecodedTexelsOrTheStandBy)
{
    REQUIRE_GL();
    texture_smooth(false);
    std::vector<unsigned char> pixels(100 * 50), palette(768);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = (unsigned char)(i * 7 % 13), palette[i % 768] = (unsigned char)(i % 768 * 5);
    const std::string path = test_tempDir() + "/picture.pcx";
    const std::vector<unsigned char> file = pcx_encode8(100, 50, pixels.data(), palette.data());
    ASSERT_TRUE(pcx_writeFile(path, file));
    Image image = {};
    for (bool on : {false, true}) {  // with transparency: RGBA, the top-left index clear
        texture_transparent(on), texture_autoTransparent(on);
        ImageSettings settings = image_settings(4096);
        ImageTexels expected;
        ImageRefusal why;
        ASSERT_TRUE(image_decode(file.data(), file.size(), &settings, &expected, &why));
        EXPECT_EQ(image_load(&image, path.c_str(), &why), IMAGE_READ);
        EXPECT_EQ((Ints{image.width, image.height, image.hasAlpha}), (Ints{100, 50, on})) << on;
        EXPECT_EQ(textureState(), (Ints{128, 64, on ? GL_RGBA : GL_RGB, GL_NEAREST, GL_NEAREST})) << on;
        EXPECT_TRUE(texels(on) == expected.texels) << on;
        image_destroy(&image);
    }
    // A true-colour picture's automatic colour becomes the process-wide one.
    const unsigned char rgb[2 * 3] = {9, 8, 7, 1, 2, 3};
    ASSERT_TRUE(pcx_writeFile(path, pcx_encode24(2, 1, rgb)));
    Refusal why;
    image_load(&image, path.c_str(), &why);
    EXPECT_EQ((Ints{texture_getTransparentRed(), texture_getTransparentGreen(), texture_getTransparentBlue()}),
              (Ints{9, 8, 7}));
    texture_transparent(false), texture_autoTransparent(false);
    image_destroy(&image);
    // A missing file: its line, then the blue stand-by picture.
    ASSERT_NE(freopen("/dev/null", "r", stdin), nullptr);  // the pause waits only at a terminal
    testing::internal::CaptureStdout();
    EXPECT_EQ(image_load(&image, (test_tempDir() + "/missing.pcx").c_str(), &why), IMAGE_STAND_BY);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: File not found, replacing with dummy file\n");
    EXPECT_EQ((Ints{image.width, image.texWidth}), (Ints{4, 4}));
    EXPECT_TRUE(allOf(0, 0, 255));
    image_destroy(&image);
}

TEST(ImageGl, CreateAndDrawMapThePictureAndItsFlipsOntoTheWindow)
{
    REQUIRE_GL();
    texture_smooth(true);
    Image image = {};
    image_create(&image, 20, 12, 0, 0, 255);  // in 32 x 16: s to 0.625, t to 0.75
    EXPECT_EQ(textureState(), (Ints{32, 16, GL_RGB, GL_LINEAR, GL_LINEAR}));
    EXPECT_TRUE(allOf(0, 0, 255));  // the padding too
    // The corners sent, in window coordinates, through feedback mode; with
    // back faces culled the quad must run counter-clockwise on screen.
    glEnable(GL_CULL_FACE);
    for (int flips = 0; flips < 4; flips++) {
        std::vector<GLfloat> buffer(4096);
        glFeedbackBuffer((GLsizei)buffer.size(), GL_3D_COLOR_TEXTURE, buffer.data());
        glRenderMode(GL_FEEDBACK);
        image_draw(&image, 10, 20, flips & 1, flips & 2);
        // Polygons: a token, the corner count, then x, y, z, RGBA, s, t, r, q per corner;
        // window pixel (10, 20) is (10, 460) from the bottom.
        std::vector<std::vector<float>> corners;  // x, y, s, t
        for (const GLfloat *p = buffer.data(), *end = p + glRenderMode(GL_RENDER); p < end && *p == GL_POLYGON_TOKEN;)
            for (int n = (int)p[1], i = (p += 2, 0); i < n; i++, p += 11)
                corners.push_back({roundf(p[0] * 100) / 100, roundf(p[1] * 100) / 100, p[7], p[8]});
        const float s = flips & 1 ? 0.625f : 0.0f, t = flips & 2 ? 0.75f : 0.0f;
        auto has = [&](std::vector<float> c) { return std::count(corners.begin(), corners.end(), c) > 0; };
        EXPECT_TRUE(has({10, 460, s, t}) && has({30, 448, 0.625f - s, 0.75f - t})) << flips;
    }
    image_destroy(&image);
    EXPECT_EQ(glIsTexture(image.textureId), GL_FALSE);
}
