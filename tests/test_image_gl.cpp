// test_image_gl.cpp -- images uploaded as OpenGL textures and drawn in the overlay
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <GL/gl.h>

#include "camera.h"
#include "error.h"
#include "image.h"
#include "pcx_encode.h"
#include "test_support.h"
#include "texture.h"

namespace {

// The bound texture's size, format and filters.
std::vector<GLint> textureState(void)
{
    std::vector<GLint> v(5);
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
    std::vector<GLint> state = textureState();
    std::vector<unsigned char> out((size_t)state[0] * state[1] * (rgba ? 4 : 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, rgba ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, out.data());
    return out;
}

bool allTexels(const std::vector<unsigned char> &t, unsigned char r, unsigned char g, unsigned char b)
{
    for (size_t i = 0; i < t.size(); i += 3)
        if (t[i] != r || t[i + 1] != g || t[i + 2] != b)
            return false;
    return !t.empty();
}

void transparency(bool on)
{
    texture_transparent(on);
    texture_autoTransparent(on);
    if (!on)
        texture_transparentColor(0, 0, 0);
}

}  // namespace

TEST(ImageGl, CreateMakesASolidRgbTexture)
{
    REQUIRE_GL();
    texture_smooth(true);
    Image image = {};
    image_create(&image, 32, 32, 255, 255, 0);
    EXPECT_EQ((std::vector<int>{image.width, image.height, image.texWidth, image.texHeight, image.hasAlpha}),
              (std::vector<int>{32, 32, 32, 32, 0}));
    EXPECT_EQ(textureState(), (std::vector<GLint>{32, 32, GL_RGB, GL_LINEAR, GL_LINEAR}));
    EXPECT_TRUE(allTexels(texels(false), 255, 255, 0));
    image_destroy(&image);
    EXPECT_EQ(glIsTexture(image.textureId), GL_FALSE);

    // Padded sizes, padding included in the colour, nearest filtering, hasAlpha left as found.
    texture_smooth(false);
    image.hasAlpha = 1;
    image_create(&image, 33, 3, 0, 0, 255);
    EXPECT_EQ((std::vector<int>{image.texWidth, image.texHeight, image.hasAlpha}), (std::vector<int>{64, 4, 1}));
    EXPECT_EQ(textureState(), (std::vector<GLint>{64, 4, GL_RGB, GL_NEAREST, GL_NEAREST}));
    EXPECT_TRUE(allTexels(texels(false), 0, 0, 255));
    image_destroy(&image);
}

TEST(ImageGlDeathTest, CreateRefusesTooBigTextures)
{
    // Children start afresh and make their own window, so they never
    // share the parent's X link.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    REQUIRE_GL();
    Image image = {};
    EXPECT_ERROR_EXIT(image_create(&image, 32769, 1, 0, 0, 0), ERROR_SIZE);
    EXPECT_ERROR_EXIT(image_create(&image, 1, 32769, 0, 0, 0), ERROR_SIZE);
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (maxSize < 32768) {
        EXPECT_ERROR_EXIT(image_create(&image, (unsigned short)(maxSize + 1), 1, 0, 0, 0), ERROR_SIZE);
    }
}

TEST(ImageGl, LoadUploadsTheDecodedTexelsAndSetsTheTransparentColour)
{
    REQUIRE_GL();
    transparency(false);
    texture_smooth(false);
    std::vector<unsigned char> pixels(100 * 50);
    unsigned char palette[768];
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = (unsigned char)(i * 7 % 13);
    for (int i = 0; i < 768; i++)
        palette[i] = (unsigned char)(i * 5);
    std::string path = test_tempDir() + "/picture.pcx";
    std::vector<unsigned char> file = pcx_encode8(100, 50, pixels.data(), palette);
    ASSERT_TRUE(pcx_writeFile(path, file));
    ImageSettings settings = {};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &settings.maxTextureSize);

    for (bool on : {false, true}) {  // with transparency: RGBA, the top-left index clear
        SCOPED_TRACE(on ? "transparent" : "opaque");
        transparency(on);
        settings.transparent = settings.autoTransparent = on;
        ImageTexels expected;
        image_decodePcx(file.data(), file.size(), &settings, &expected);
        Image image = {};
        image_load(&image, path.c_str());
        transparency(false);
        EXPECT_EQ((std::vector<int>{image.width, image.height, image.texWidth, image.texHeight, image.hasAlpha}),
                  (std::vector<int>{100, 50, 128, 64, on}));
        EXPECT_EQ(textureState(), (std::vector<GLint>{128, 64, on ? GL_RGBA : GL_RGB, GL_NEAREST, GL_NEAREST}));
        std::vector<unsigned char> got = texels(on);
        EXPECT_TRUE(got == expected.texels);
        EXPECT_TRUE(!on || got[3] == 0) << "the top-left texel is clear";
        image_destroy(&image);
    }

    // A true-colour picture's automatic colour becomes the process-wide one.
    const unsigned char rgb[2 * 3] = {9, 8, 7, 1, 2, 3};
    ASSERT_TRUE(pcx_writeFile(path, pcx_encode24(2, 1, rgb)));
    transparency(true);
    Image image = {};
    image_load(&image, path.c_str());
    EXPECT_EQ((std::vector<int>{texture_getTransparentRed(), texture_getTransparentGreen(),
                                texture_getTransparentBlue()}),
              (std::vector<int>{9, 8, 7}));
    transparency(false);
    image_destroy(&image);
}

TEST(ImageGl, MissingFileGivesTheBlueStandBy)
{
    REQUIRE_GL();
    // The pause only waits at a terminal; make sure this is none.
    ASSERT_NE(freopen("/dev/null", "r", stdin), nullptr);
    Image image = {};
    image.hasAlpha = 1;
    testing::internal::CaptureStdout();
    image_load(&image, (test_tempDir() + "/missing.pcx").c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: File not found, replacing with dummy file\n");
    EXPECT_EQ((std::vector<int>{image.width, image.texWidth, image.hasAlpha}), (std::vector<int>{4, 4, 1}));
    EXPECT_TRUE(allTexels(texels(false), 0, 0, 255));
    image_destroy(&image);
}

TEST(ImageGl, DrawMapsThePictureAndItsFlipsOntoTheWindow)
{
    REQUIRE_GL();
    Image image = {};
    image_create(&image, 20, 12, 0, 0, 255);  // in 32 x 16: s to 0.625, t to 0.75
    // The vertices sent, in window coordinates, through feedback mode;
    // with back faces culled the quad must run counter-clockwise on screen.
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    for (int flips = 0; flips < 4; flips++) {
        bool flipX = flips & 1, flipY = flips & 2;
        SCOPED_TRACE(testing::Message() << "flipX " << flipX << " flipY " << flipY);
        std::vector<GLfloat> buffer(4096);
        glFeedbackBuffer((GLsizei)buffer.size(), GL_3D_COLOR_TEXTURE, buffer.data());
        glRenderMode(GL_FEEDBACK);
        image_draw(&image, 10, 20, flipX, flipY);
        GLint n = glRenderMode(GL_RENDER);
        // Polygons of x, y, z, RGBA, s, t, r, q per vertex; window y runs
        // upwards, so window pixel (10, 20) from the top is (10, 460).
        float s = flipX ? 0.625f : 0.0f, t = flipY ? 0.75f : 0.0f;
        int found = 0;
        for (GLint i = 0; i + 1 < n && buffer[i] == GL_POLYGON_TOKEN; i += 2 + 11 * (GLint)buffer[i + 1])
            for (GLint v = 0; v < (GLint)buffer[i + 1]; v++) {
                const GLfloat *p = &buffer[i + 2 + 11 * v];
                bool topLeft = fabsf(p[0] - 10) < 0.01f && fabsf(p[1] - 460) < 0.01f;
                bool bottomRight = fabsf(p[0] - 30) < 0.01f && fabsf(p[1] - 448) < 0.01f;
                found |= topLeft | bottomRight << 1;
                if (topLeft || bottomRight) {
                    EXPECT_EQ(std::make_pair(p[7], p[8]),
                              topLeft ? std::make_pair(s, t) : std::make_pair(0.625f - s, 0.75f - t));
                }
            }
        EXPECT_EQ(found, 3);
    }
    glDisable(GL_CULL_FACE);

    // Drawn from inside the overlay: drawn there and left, the 3D
    // projection in force afterwards; pixels 10..29 across are blue.
    GLfloat before[16], after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    camera_2D();
    image_draw(&image, 10, 20, false, false);
    glDisable(GL_TEXTURE_2D);
    EXPECT_EQ(camera_ortho, 0);
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    EXPECT_EQ(memcmp(before, after, sizeof before), 0);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    unsigned char row[22 * 3];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(9, 480 - 1 - 22, 22, 1, GL_RGB, GL_UNSIGNED_BYTE, row);
    for (int x = 0; x < 22; x++) {
        bool inside = x >= 1 && x <= 20;
        EXPECT_EQ(std::vector<unsigned char>(row + 3 * x, row + 3 * x + 3),
                  (inside ? std::vector<unsigned char>{0, 0, 255} : std::vector<unsigned char>{255, 255, 255}))
            << "pixel " << 9 + x;
    }
    image_destroy(&image);
}
