// test_image_gl.cpp -- images uploaded as OpenGL textures and drawn in the overlay
#include <stdio.h>

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

GLint texParam(GLenum name)
{
    GLint v = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &v);
    return v;
}

GLint filterParam(GLenum name)
{
    GLint v = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &v);
    return v;
}

// The bound texture's texels as RGB or RGBA bytes.
std::vector<unsigned char> texels(bool rgba)
{
    std::vector<unsigned char> out((size_t)texParam(GL_TEXTURE_WIDTH) * texParam(GL_TEXTURE_HEIGHT) *
                                   (rgba ? 4 : 3));
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

// Puts the transparency settings back to their start-up values.
void resetTransparency(void)
{
    texture_transparent(false);
    texture_autoTransparent(false);
    texture_soften(false);
    texture_transparentColor(0, 0, 0);
}

struct FeedbackVertex {
    float x, y, s, t;
};

// The vertices image_draw sends, in window coordinates.
std::vector<FeedbackVertex> drawFeedback(const Image &image, short x, short y, bool flipX, bool flipY)
{
    std::vector<GLfloat> buffer(4096);
    glFeedbackBuffer((GLsizei)buffer.size(), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    image_draw(&image, x, y, flipX, flipY);
    GLint n = glRenderMode(GL_RENDER);
    std::vector<FeedbackVertex> out;
    const int vertexFloats = 3 + 4 + 4;  // position, RGBA colour, texture coordinate
    for (GLint i = 0; i < n;) {
        GLint token = (GLint)buffer[i++];
        if (token != GL_POLYGON_TOKEN)
            break;
        GLint count = (GLint)buffer[i++];
        for (GLint v = 0; v < count; v++, i += vertexFloats)
            out.push_back({buffer[i], buffer[i + 1], buffer[i + 7], buffer[i + 8]});
    }
    return out;
}

const FeedbackVertex *vertexAt(const std::vector<FeedbackVertex> &vs, float x, float y)
{
    for (const FeedbackVertex &v : vs)
        if (std::abs(v.x - x) < 0.01f && std::abs(v.y - y) < 0.01f)
            return &v;
    return nullptr;
}

}  // namespace

TEST(ImageGl, CreateMakesASolidRgbTexture)
{
    REQUIRE_GL();
    texture_smooth(true);
    Image image = {};
    image_create(&image, 32, 32, 255, 255, 0);
    EXPECT_EQ(image.width, 32);
    EXPECT_EQ(image.height, 32);
    EXPECT_EQ(image.texWidth, 32);
    EXPECT_EQ(image.texHeight, 32);
    EXPECT_EQ(image.hasAlpha, 0);
    EXPECT_EQ(texParam(GL_TEXTURE_WIDTH), 32);
    EXPECT_EQ(texParam(GL_TEXTURE_HEIGHT), 32);
    EXPECT_EQ(texParam(GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    EXPECT_EQ(filterParam(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(filterParam(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_TRUE(allTexels(texels(false), 255, 255, 0));
    image_destroy(&image);
    EXPECT_EQ(glIsTexture(image.textureId), GL_FALSE);

    // Padded sizes, nearest filtering, and hasAlpha left as found.
    texture_smooth(false);
    image.hasAlpha = 1;
    image_create(&image, 33, 3, 0, 0, 255);
    EXPECT_EQ(image.texWidth, 64);
    EXPECT_EQ(image.texHeight, 4);
    EXPECT_EQ(image.hasAlpha, 1);
    EXPECT_EQ(texParam(GL_TEXTURE_WIDTH), 64);
    EXPECT_EQ(filterParam(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_TRUE(allTexels(texels(false), 0, 0, 255));  // padding included
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
    resetTransparency();
    texture_smooth(false);
    std::vector<unsigned char> pixels(100 * 50);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = (unsigned char)(i * 7 % 13);
    unsigned char palette[768];
    for (int i = 0; i < 768; i++)
        palette[i] = (unsigned char)(i * 5);
    std::string path = test_tempDir() + "/picture.pcx";
    std::vector<unsigned char> file = pcx_encode8(100, 50, pixels.data(), palette);
    ASSERT_TRUE(pcx_writeFile(path, file));

    ImageSettings settings = {};
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    settings.maxTextureSize = maxSize;
    ImageTexels expected;
    image_decodePcx(file.data(), file.size(), &settings, &expected);

    Image image = {};
    image_load(&image, path.c_str());
    EXPECT_EQ(image.width, 100);
    EXPECT_EQ(image.height, 50);
    EXPECT_EQ(image.texWidth, 128);
    EXPECT_EQ(image.texHeight, 64);
    EXPECT_EQ(image.hasAlpha, 0);
    EXPECT_EQ(texParam(GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    EXPECT_EQ(filterParam(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_TRUE(texels(false) == expected.texels);
    image_destroy(&image);

    // With transparency: RGBA, and the top-left index transparent.
    texture_transparent(true);
    texture_autoTransparent(true);
    settings.transparent = settings.autoTransparent = 1;
    image_decodePcx(file.data(), file.size(), &settings, &expected);
    image_load(&image, path.c_str());
    resetTransparency();
    EXPECT_EQ(image.hasAlpha, 1);
    EXPECT_EQ(texParam(GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
    std::vector<unsigned char> got = texels(true);
    EXPECT_TRUE(got == expected.texels);
    EXPECT_EQ(got[3], 0);
    image_destroy(&image);

    // A true-colour picture's automatic colour becomes the process-wide one.
    const unsigned char rgb[2 * 3] = {9, 8, 7, 1, 2, 3};
    ASSERT_TRUE(pcx_writeFile(path, pcx_encode24(2, 1, rgb)));
    texture_transparent(true);
    texture_autoTransparent(true);
    image_load(&image, path.c_str());
    EXPECT_EQ(texture_getTransparentRed(), 9);
    EXPECT_EQ(texture_getTransparentGreen(), 8);
    EXPECT_EQ(texture_getTransparentBlue(), 7);
    resetTransparency();
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
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR: File not found, replacing with dummy file\n");
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.texWidth, 4);
    EXPECT_EQ(image.hasAlpha, 1);
    EXPECT_TRUE(allTexels(texels(false), 0, 0, 255));
    image_destroy(&image);
}

TEST(ImageGl, DrawMapsThePictureAndItsFlips)
{
    REQUIRE_GL();
    Image image = {};
    image_create(&image, 20, 12, 255, 255, 255);
    ASSERT_EQ(image.texWidth, 32);
    ASSERT_EQ(image.texHeight, 16);
    // Only front faces survive: the quad must run counter-clockwise on screen.
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);

    // At window pixel (10, 20) from the top: GL's window y runs upwards.
    const float left = 10, right = 30, top = 480 - 20, bottom = 480 - 32;
    struct Case {
        bool flipX, flipY;
        float sLeft, tTop;
    } cases[] = {
        {false, false, 0.0f, 0.0f},
        {true, false, 0.625f, 0.0f},
        {false, true, 0.0f, 0.75f},
        {true, true, 0.625f, 0.75f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "flipX " << c.flipX << " flipY " << c.flipY);
        std::vector<FeedbackVertex> vs = drawFeedback(image, 10, 20, c.flipX, c.flipY);
        const FeedbackVertex *topLeft = vertexAt(vs, left, top);
        const FeedbackVertex *bottomRight = vertexAt(vs, right, bottom);
        ASSERT_TRUE(topLeft && bottomRight);
        EXPECT_FLOAT_EQ(topLeft->s, c.sLeft);
        EXPECT_FLOAT_EQ(topLeft->t, c.tTop);
        EXPECT_FLOAT_EQ(bottomRight->s, 0.625f - c.sLeft);
        EXPECT_FLOAT_EQ(bottomRight->t, 0.75f - c.tTop);
    }
    glDisable(GL_CULL_FACE);
    image_destroy(&image);
}

TEST(ImageGl, DrawPutsTexelsOnScreenAndLeavesThe3DProjection)
{
    REQUIRE_GL();
    Image image = {};
    image_create(&image, 4, 4, 0, 0, 255);
    GLfloat before[16], after[16];
    glMatrixMode(GL_PROJECTION);
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    glMatrixMode(GL_MODELVIEW);

    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    camera_2D();  // already in the overlay: drawn there, and left
    image_draw(&image, 10, 20, false, false);
    glDisable(GL_TEXTURE_2D);

    EXPECT_EQ(camera_ortho, 0);
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    for (int i = 0; i < 16; i++)
        EXPECT_FLOAT_EQ(after[i], before[i]) << i;
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);

    // Window pixels 10..13 across and 20..23 down are blue, their outside white.
    unsigned char inside[3], outside[3];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(11, 480 - 1 - 22, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, inside);
    glReadPixels(9, 480 - 1 - 22, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, outside);
    EXPECT_EQ(std::vector<unsigned char>(inside, inside + 3), (std::vector<unsigned char>{0, 0, 255}));
    EXPECT_EQ(std::vector<unsigned char>(outside, outside + 3), (std::vector<unsigned char>{255, 255, 255}));
    image_destroy(&image);
}
