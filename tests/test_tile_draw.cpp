// test_tile_draw.cpp -- the drawn block around the eye, and how each face is textured
#include <math.h>
#include <string.h>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "test_support.h"
#include "texture.h"
#include "tile.h"

namespace {

TileBlock block(float ex, float ey, float ez, unsigned w, unsigned h, unsigned d)
{
    TileBlock b;
    tile_block(ex, ey, ez, w, h, d, 2.0f, 7.0f, &b);
    return b;
}

#define EXPECT_BLOCK(b, X0, X1, Y0, Y1, Z0, Z1)                     \
    do {                                                            \
        EXPECT_EQ((b).x0, X0); EXPECT_EQ((b).x1, X1);               \
        EXPECT_EQ((b).y0, Y0); EXPECT_EQ((b).y1, Y1);               \
        EXPECT_EQ((b).z0, Z0); EXPECT_EQ((b).z1, Z1);               \
    } while (0)

TEST(TileBlock, ColumnsLayersAndRowsAroundTheEye)
{
    // The usual view: 21 columns and layers, the 10 rows before the eye's.
    EXPECT_BLOCK(block(20, 20, 70, 22, 22, 11), 0, 21, 0, 21, 0, 10);
    EXPECT_BLOCK(block(20, 20, 70, 65535, 65535, 65535), 0, 21, 0, 21, 0, 10);

    // Far along: the block starts 10 cells before the eye and spans 21.
    EXPECT_BLOCK(block(60, 100, 7 * 30.5f, 100, 100, 100), 20, 41, 40, 61, 9, 30);

    // A 5-wide grid with the eye over column 2: columns 0 to 3.
    TileBlock b = block(4, 0, 70, 5, 5, 20);
    EXPECT_EQ(b.x0, 0);
    EXPECT_EQ(b.x1, 4);

    // An eye before row 1, or behind the world, draws no row.
    EXPECT_BLOCK(block(20, 20, 6.9f, 22, 22, 11), 0, 21, 0, 21, 0, 0);
    EXPECT_BLOCK(block(-50, -50, -70, 22, 22, 11), 0, 21, 0, 21, 0, 0);
}

TEST(TileBlock, TheLastColumnLayerAndRowAreNeverDrawn)
{
    // Eye at or beyond the far end of each axis.
    TileBlock b = block(70, 70, 7000, 30, 30, 30);
    EXPECT_BLOCK(b, 25, 29, 25, 29, 8, 29);
    b = block(2 * 29 + 20, 2 * 29 + 20, 7 * 29, 30, 30, 30);
    EXPECT_BLOCK(b, 29, 29, 29, 29, 8, 29);
    // A shallow grid clamps every end to its last index.
    EXPECT_BLOCK(block(0, 0, 1e6f, 3, 4, 5), 0, 2, 0, 3, 0, 4);
    EXPECT_BLOCK(block(0, 0, 1e6f, 1, 1, 1), 0, 0, 0, 0, 0, 0);
}

TEST(TileBlock, DamagedPositionsClampIntoTheGrid)
{
    const float inf = INFINITY, nan = NAN;
    // Huge and infinite positions sit on the last index and draw nothing
    // along that axis; rows stop before the last one.
    EXPECT_BLOCK(block(1e30f, 1e30f, 1e30f, 22, 22, 11), 21, 21, 21, 21, 0, 10);
    EXPECT_BLOCK(block(inf, inf, inf, 22, 22, 11), 21, 21, 21, 21, 0, 10);
    EXPECT_BLOCK(block(-inf, -1e30f, -inf, 22, 22, 11), 0, 21, 0, 21, 0, 0);
    // NaN counts as the low end.
    EXPECT_BLOCK(block(nan, nan, nan, 22, 22, 11), 0, 21, 0, 21, 0, 0);
    // Broken cell sizes give NaN or infinite quotients, still clamped.
    TileBlock b;
    tile_block(0, 0, 0, 22, 22, 11, 0.0f, 0.0f, &b);
    EXPECT_BLOCK(b, 0, 21, 0, 21, 0, 0);
    tile_block(5, 5, 5, 22, 22, 11, 0.0f, 0.0f, &b);
    EXPECT_BLOCK(b, 21, 21, 21, 21, 0, 10);
}

TEST(TileBlock, AnEmptyGridDrawsNothing)
{
    EXPECT_BLOCK(block(20, 20, 70, 0, 22, 11), 0, 0, 0, 0, 0, 0);
    EXPECT_BLOCK(block(20, 20, 70, 22, 22, 0), 0, 0, 0, 0, 0, 0);
}

// ---------------------------------------------------------------- texturing

class TileTexture : public ::testing::Test {
protected:
    TextureEntry entries[3];
    GLuint names[5];

    void SetUp() override
    {
        REQUIRE_GL();
        glGenTextures(5, names);
        memset(tile, 0, sizeof tile);
        memset(entries, 0, sizeof entries);
        setImage(&entries[0].image, 32, 32, names[0]);
        setImage(&entries[1].image, 20, 10, names[1]);
        entries[1].image.texWidth = 32;
        entries[1].image.texHeight = 16;
        setImage(&entries[2].image, 16, 16, names[2]);
        setImage(&tile_dummy, 4, 4, names[3]);
        setImage(&tile_matrix, 64, 64, names[4]);
        tile_tex = entries;
        tile_optTexture = 1;
        tile_optSmooth = 1;
    }

    void TearDown() override
    {
        if (!test_glContext())
            return;
        glDeleteTextures(5, names);
        tile_tex = nullptr;
        memset(tile, 0, sizeof tile);
    }

    static void setImage(Image *image, unsigned short w, unsigned short h, GLuint name)
    {
        *image = Image{w, h, 0, w, h, name};
    }

    static GLuint bound(void)
    {
        GLint name = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        return (GLuint)name;
    }

    static void expectUV(const float (&want)[8], const char *what)
    {
        for (int i = 0; i < 8; i++)
            EXPECT_FLOAT_EQ(tile_uv[i], want[i]) << what << " at " << i;
    }
};

TEST_F(TileTexture, TurnAndMirrorGiveTheEightCornerLayouts)
{
    struct Case {
        unsigned char rotate, flipH, flipV;
        float uv[8];
    };
    static const Case cases[] = {
        {0, 0, 0, {0, 0, 0, 1, 1, 1, 1, 0}}, {0, 1, 0, {1, 0, 1, 1, 0, 1, 0, 0}},
        {0, 0, 1, {0, 1, 0, 0, 1, 0, 1, 1}}, {0, 1, 1, {1, 1, 1, 0, 0, 0, 0, 1}},
        {1, 0, 0, {0, 1, 1, 1, 1, 0, 0, 0}}, {1, 1, 0, {1, 1, 0, 1, 0, 0, 1, 0}},
        {1, 0, 1, {0, 0, 1, 0, 1, 1, 0, 1}}, {1, 1, 1, {1, 0, 0, 0, 0, 1, 1, 1}},
    };
    for (unsigned char face = 0; face < 6; face++)
        tile[7].faceTexture[face] = &entries[0];
    for (const Case &c : cases) {
        for (unsigned char face = 0; face < 6; face++) {
            // Only this face's own flags count.
            memset(tile[7].orientation, 0, sizeof tile[7].orientation);
            tile[7].orientation[face] = FaceOrientation{c.flipH, c.flipV, c.rotate};
            tile_setTexture(7, face, 0, 0, 0);
            std::string what = "rotate " + std::to_string(c.rotate) + " flipH " +
                               std::to_string(c.flipH) + " flipV " + std::to_string(c.flipV) +
                               " face " + std::to_string(face);
            expectUV(c.uv, what.c_str());
            EXPECT_EQ(bound(), names[0]);
        }
    }
}

TEST_F(TileTexture, CoordinatesAddressThePictureInsideItsTexture)
{
    tile[3].faceTexture[TILE_TOP] = &entries[1];  // 20 x 10 in 32 x 16
    tile_setTexture(3, TILE_TOP, 0, 0, 0);
    expectUV({0, 0, 0, 0.625f, 0.625f, 0.625f, 0.625f, 0}, "plain");
    // Scaling follows the turn and mirroring.
    tile[3].orientation[TILE_TOP] = FaceOrientation{1, 0, 1};
    tile_setTexture(3, TILE_TOP, 0, 0, 0);
    expectUV({0.625f, 0.625f, 0, 0.625f, 0, 0, 0.625f, 0}, "turned and mirrored");
    EXPECT_EQ(bound(), names[1]);

    // A record with no texture size keeps its coordinates unscaled.
    entries[2].image = Image{0, 0, 0, 0, 0, names[2]};
    tile[3].faceTexture[TILE_LEFT] = &entries[2];
    tile_setTexture(3, TILE_LEFT, 0, 0, 0);
    expectUV({0, 0, 0, 1, 1, 1, 1, 0}, "empty record");
}

TEST_F(TileTexture, ColourOpacityAndSmoothing)
{
    CubeDef &def = tile[9];
    def.faceTexture[TILE_FRONT] = &entries[0];
    def.faceTexture[TILE_BACK] = &entries[2];
    def.shaded[TILE_BACK] = 1;
    entries[2].translucent = 1;

    tile_setTexture(9, TILE_FRONT, 0, 0, 0);
    EXPECT_EQ(texture_getRed(), 255);
    EXPECT_EQ(texture_getAlpha(), 255);
    EXPECT_TRUE(texture_getSmooth());

    tile_setTexture(9, TILE_BACK, 0, 0, 0);
    EXPECT_EQ(texture_getRed(), 127);
    EXPECT_EQ(texture_getGreen(), 127);
    EXPECT_EQ(texture_getBlue(), 127);
    EXPECT_EQ(texture_getAlpha(), 127);
    EXPECT_EQ(bound(), names[2]);

    // Pictures with an alpha channel are never smoothed; the others follow
    // the option.
    entries[0].image.hasAlpha = 1;
    tile_setTexture(9, TILE_FRONT, 0, 0, 0);
    EXPECT_FALSE(texture_getSmooth());
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(filter, GL_NEAREST);
    entries[0].image.hasAlpha = 0;
    tile_optSmooth = 0;
    tile_setTexture(9, TILE_FRONT, 0, 0, 0);
    EXPECT_FALSE(texture_getSmooth());

    // A face without a texture shows the stand-by picture, always smoothed,
    // unscaled, opaque, still shaded.
    def.shaded[TILE_LEFT] = 1;
    def.orientation[TILE_LEFT].flipV = 1;
    tile_setTexture(9, TILE_LEFT, 0, 0, 0);
    EXPECT_EQ(bound(), names[3]);
    EXPECT_TRUE(texture_getSmooth());
    EXPECT_EQ(texture_getRed(), 127);
    EXPECT_EQ(texture_getAlpha(), 255);
    expectUV({0, 1, 0, 0, 1, 0, 1, 1}, "stand-by");
}

TEST_F(TileTexture, CheckeredTypesSwapInTheOppositeFaceOnEvenCells)
{
    CubeDef &def = tile[5];
    def.checkered = 1;
    def.faceTexture[TILE_TOP] = &entries[0];
    def.faceTexture[TILE_BOTTOM] = &entries[1];
    def.shaded[TILE_BOTTOM] = 1;
    entries[1].translucent = 1;
    def.orientation[TILE_TOP].rotate = 1;

    // Odd sum: the face's own picture.
    tile_setTexture(5, TILE_TOP, 1, 2, 4);
    EXPECT_EQ(bound(), names[0]);
    EXPECT_EQ(texture_getRed(), 255);
    EXPECT_EQ(texture_getAlpha(), 255);
    expectUV({0, 1, 1, 1, 1, 0, 0, 0}, "own");

    // Even sum: BOTTOM's picture, shading and opacity, scaled to BOTTOM's
    // picture, turned by TOP's own flag.
    tile_setTexture(5, TILE_TOP, 1, 2, 3);
    EXPECT_EQ(bound(), names[1]);
    EXPECT_EQ(texture_getRed(), 127);
    EXPECT_EQ(texture_getAlpha(), 127);
    expectUV({0, 0.625f, 0.625f, 0.625f, 0.625f, 0, 0, 0}, "swapped");

    // The parity of a sum that wraps still counts.
    tile_setTexture(5, TILE_TOP, 0xffffffffu, 1, 0);
    EXPECT_EQ(bound(), names[1]);

    // An opposite face without a texture shows the stand-by picture.
    tile_setTexture(5, TILE_BOTTOM, 0, 0, 0);
    EXPECT_EQ(bound(), names[0]);
    def.faceTexture[TILE_BOTTOM] = nullptr;
    tile_setTexture(5, TILE_TOP, 0, 0, 0);
    EXPECT_EQ(bound(), names[3]);
    tile_setTexture(5, TILE_TOP, 0, 0, 1);
    EXPECT_EQ(bound(), names[0]);
}

TEST_F(TileTexture, TexturingOffShowsTheMatrixPicture)
{
    tile_optTexture = 0;
    tile_optSmooth = 0;
    CubeDef &def = tile[8];
    def.faceTexture[TILE_RIGHT] = &entries[1];  // translucent, 20 x 10
    entries[1].translucent = 1;
    def.shaded[TILE_RIGHT] = 1;
    def.orientation[TILE_RIGHT].flipH = 1;
    tile_setTexture(8, TILE_RIGHT, 0, 0, 0);
    EXPECT_EQ(bound(), names[4]);
    EXPECT_TRUE(texture_getSmooth());
    EXPECT_EQ(texture_getRed(), 127);
    EXPECT_EQ(texture_getAlpha(), 255);
    expectUV({1, 0, 1, 1, 0, 1, 0, 0}, "matrix");

    tile_setTexture(8, TILE_TOP, 0, 0, 0);  // no texture at all
    EXPECT_EQ(bound(), names[4]);
    EXPECT_EQ(texture_getRed(), 255);
}

}  // namespace
