// test_tile_draw.cpp -- the drawn block around the eye, and how each face is textured
#include <math.h>
#include <string.h>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "test_support.h"
#include "texture.h"
#include "tile.h"

namespace {

TEST(TileBlock, TheCellsAroundTheEyeStayInsideTheGrid)
{
    const float inf = INFINITY, nan = NAN;
    const struct {
        float ex, ey, ez;
        unsigned w, h, d;
        float size, sizeZ;
        int x0, x1, y0, y1, z0, z1;
    } cases[] = {
        // The usual view: 21 columns and layers, the 10 rows before the eye's.
        {20, 20, 70, 22, 22, 11, 2, 7, 0, 21, 0, 21, 0, 10},
        {20, 20, 70, 65535, 65535, 65535, 2, 7, 0, 21, 0, 21, 0, 10},
        {60, 100, 7 * 30.5f, 100, 100, 100, 2, 7, 20, 41, 40, 61, 9, 30},
        {4, 0, 70, 5, 5, 20, 2, 7, 0, 4, 0, 4, 0, 10},  // over column 2 of 5: columns 0 to 3
        // An eye before row 1, or behind the world, draws no row.
        {20, 20, 6.9f, 22, 22, 11, 2, 7, 0, 21, 0, 21, 0, 0},
        {-50, -50, -70, 22, 22, 11, 2, 7, 0, 21, 0, 21, 0, 0},
        // The last column, layer and row are never drawn.
        {70, 70, 7000, 30, 30, 30, 2, 7, 25, 29, 25, 29, 8, 29},
        {78, 78, 7 * 29, 30, 30, 30, 2, 7, 29, 29, 29, 29, 8, 29},
        {0, 0, 1e6f, 3, 4, 5, 2, 7, 0, 2, 0, 3, 0, 4},
        {0, 0, 1e6f, 1, 1, 1, 2, 7, 0, 0, 0, 0, 0, 0},
        // Damaged positions clamp: huge or infinite ones sit on the last
        // index, NaN counts as the low end.
        {1e30f, 1e30f, 1e30f, 22, 22, 11, 2, 7, 21, 21, 21, 21, 0, 10},
        {inf, inf, inf, 22, 22, 11, 2, 7, 21, 21, 21, 21, 0, 10},
        {-inf, -1e30f, -inf, 22, 22, 11, 2, 7, 0, 21, 0, 21, 0, 0},
        {nan, nan, nan, 22, 22, 11, 2, 7, 0, 21, 0, 21, 0, 0},
        // Broken cell sizes give NaN or infinite quotients, still clamped.
        {0, 0, 0, 22, 22, 11, 0, 0, 0, 21, 0, 21, 0, 0},
        {5, 5, 5, 22, 22, 11, 0, 0, 21, 21, 21, 21, 0, 10},
        // An empty grid draws nothing.
        {20, 20, 70, 0, 22, 11, 2, 7, 0, 0, 0, 0, 0, 0},
        {20, 20, 70, 22, 22, 0, 2, 7, 0, 0, 0, 0, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "eye " << c.ex << "," << c.ey << "," << c.ez << " grid "
                                        << c.w << "x" << c.h << "x" << c.d);
        TileBlock b;
        tile_block(c.ex, c.ey, c.ez, c.w, c.h, c.d, c.size, c.sizeZ, &b);
        EXPECT_EQ((std::vector<int>{b.x0, b.x1, b.y0, b.y1, b.z0, b.z1}),
                  (std::vector<int>{c.x0, c.x1, c.y0, c.y1, c.z0, c.z1}));
    }
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
        entries[0].image = Image{32, 32, 0, 32, 32, names[0]};
        entries[1].image = Image{20, 10, 0, 32, 16, names[1]};
        entries[2].image = Image{16, 16, 0, 16, 16, names[2]};
        tile_dummy = Image{4, 4, 0, 4, 4, names[3]};
        tile_matrix = Image{64, 64, 0, 64, 64, names[4]};
        tile_tex = entries;
        tile_optTexture = tile_optSmooth = 1;
    }

    void TearDown() override
    {
        if (!test_glContext())
            return;
        glDeleteTextures(5, names);
        tile_tex = nullptr;
        memset(tile, 0, sizeof tile);
    }

    // Textures the face and checks the binding, shade, opacity and corners.
    void expectFace(unsigned char type, unsigned char face, unsigned x, unsigned y, unsigned z,
                    GLuint name, int shade, int alpha, std::vector<float> uv)
    {
        tile_setTexture(type, face, x, y, z);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ((GLuint)bound, name);
        EXPECT_EQ(texture_getRed(), shade);
        EXPECT_EQ(texture_getBlue(), shade);
        EXPECT_EQ(texture_getAlpha(), alpha);
        EXPECT_EQ(std::vector<float>(tile_uv, tile_uv + 8), uv);
    }
};

TEST_F(TileTexture, TurnAndMirrorGiveTheEightCornerLayouts)
{
    const struct { unsigned char rotate, flipH, flipV; std::vector<float> uv; } cases[] = {
        {0, 0, 0, {0, 0, 0, 1, 1, 1, 1, 0}}, {0, 1, 0, {1, 0, 1, 1, 0, 1, 0, 0}},
        {0, 0, 1, {0, 1, 0, 0, 1, 0, 1, 1}}, {0, 1, 1, {1, 1, 1, 0, 0, 0, 0, 1}},
        {1, 0, 0, {0, 1, 1, 1, 1, 0, 0, 0}}, {1, 1, 0, {1, 1, 0, 1, 0, 0, 1, 0}},
        {1, 0, 1, {0, 0, 1, 0, 1, 1, 0, 1}}, {1, 1, 1, {1, 0, 0, 0, 0, 1, 1, 1}},
    };
    for (unsigned char face = 0; face < 6; face++)
        tile[7].faceTexture[face] = &entries[0];
    for (const auto &c : cases)
        for (unsigned char face = 0; face < 6; face++) {
            SCOPED_TRACE(testing::Message() << "rotate " << (int)c.rotate << " flipH " << (int)c.flipH
                                            << " flipV " << (int)c.flipV << " face " << (int)face);
            // Only this face's own flags count.
            memset(tile[7].orientation, 0, sizeof tile[7].orientation);
            tile[7].orientation[face] = FaceOrientation{c.flipH, c.flipV, c.rotate};
            expectFace(7, face, 0, 0, 0, names[0], 255, 255, c.uv);
        }
}

TEST_F(TileTexture, ScalingShadingOpacityAndSmoothing)
{
    CubeDef &def = tile[3];
    def.faceTexture[TILE_TOP] = &entries[1];  // 20 x 10 in 32 x 16
    def.faceTexture[TILE_FRONT] = &entries[0];
    def.faceTexture[TILE_BACK] = &entries[2];
    def.shaded[TILE_BACK] = 1;
    entries[2].translucent = 1;
    expectFace(3, TILE_TOP, 0, 0, 0, names[1], 255, 255, {0, 0, 0, 0.625f, 0.625f, 0.625f, 0.625f, 0});
    EXPECT_TRUE(texture_getSmooth());
    def.orientation[TILE_TOP] = FaceOrientation{1, 0, 1};  // scaling follows turn and mirror
    expectFace(3, TILE_TOP, 0, 0, 0, names[1], 255, 255, {0.625f, 0.625f, 0, 0.625f, 0, 0, 0.625f, 0});
    expectFace(3, TILE_BACK, 0, 0, 0, names[2], 127, 127, {0, 0, 0, 1, 1, 1, 1, 0});

    // Pictures with an alpha channel are never smoothed; the others follow the option.
    entries[0].image.hasAlpha = 1;
    tile_setTexture(3, TILE_FRONT, 0, 0, 0);
    EXPECT_FALSE(texture_getSmooth());
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(filter, GL_NEAREST);
    entries[0].image.hasAlpha = 0;
    tile_optSmooth = 0;
    tile_setTexture(3, TILE_FRONT, 0, 0, 0);
    EXPECT_FALSE(texture_getSmooth());

    // No texture: the stand-by picture, always smoothed, unscaled, opaque, still shaded.
    def.shaded[TILE_LEFT] = 1;
    def.orientation[TILE_LEFT].flipV = 1;
    expectFace(3, TILE_LEFT, 0, 0, 0, names[3], 127, 255, {0, 1, 0, 0, 1, 0, 1, 1});
    EXPECT_TRUE(texture_getSmooth());
    // A record with no texture size keeps its coordinates unscaled.
    entries[2].image = Image{0, 0, 0, 0, 0, names[2]};
    expectFace(3, TILE_BACK, 0, 0, 0, names[2], 127, 127, {0, 0, 0, 1, 1, 1, 1, 0});
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
    expectFace(5, TILE_TOP, 1, 2, 4, names[0], 255, 255, {0, 1, 1, 1, 1, 0, 0, 0});  // odd: own
    // Even: BOTTOM's picture, shading, opacity and scale, turned by TOP's flag.
    expectFace(5, TILE_TOP, 1, 2, 3, names[1], 127, 127, {0, 0.625f, 0.625f, 0.625f, 0.625f, 0, 0, 0});
    // The parity of a sum that wraps still counts.
    expectFace(5, TILE_TOP, 0xffffffffu, 1, 0, names[1], 127, 127, {0, 0.625f, 0.625f, 0.625f, 0.625f, 0, 0, 0});
    expectFace(5, TILE_BOTTOM, 0, 0, 0, names[0], 255, 255, {0, 0, 0, 1, 1, 1, 1, 0});
    // An opposite face without a texture shows the stand-by picture.
    def.faceTexture[TILE_BOTTOM] = nullptr;
    expectFace(5, TILE_TOP, 0, 0, 0, names[3], 127, 255, {0, 1, 1, 1, 1, 0, 0, 0});
}

TEST_F(TileTexture, TexturingOffShowsTheMatrixPicture)
{
    tile_optTexture = tile_optSmooth = 0;
    CubeDef &def = tile[8];
    def.faceTexture[TILE_RIGHT] = &entries[1];  // translucent, 20 x 10
    entries[1].translucent = 1;
    def.shaded[TILE_RIGHT] = 1;
    def.orientation[TILE_RIGHT].flipH = 1;
    expectFace(8, TILE_RIGHT, 0, 0, 0, names[4], 127, 255, {1, 0, 1, 1, 0, 1, 0, 0});
    EXPECT_TRUE(texture_getSmooth());
    expectFace(8, TILE_TOP, 0, 0, 0, names[4], 255, 255, {0, 0, 0, 1, 1, 1, 1, 0});  // no texture
}

}  // namespace
