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
    const struct { float ex, ey, ez; unsigned w, h, d; std::vector<int> block; } cases[] = {
        {20, 20, 70, 22, 22, 11, {0, 21, 0, 21, 0, 10}},  // 21 columns and layers, 10 rows before the eye
        {4, 0, 70, 5, 5, 20, {0, 4, 0, 4, 0, 10}},  // over column 2 of 5: columns 0 to 3
        {20, 20, 6.9f, 22, 22, 11, {0, 21, 0, 21, 0, 0}},  // an eye before row 1 draws no row
        {-50, -50, -70, 22, 22, 11, {0, 21, 0, 21, 0, 0}},  // nor one behind the world
        {70, 70, 7000, 30, 30, 30, {25, 29, 25, 29, 8, 29}},  // the last column, layer and row never drawn
        {0, 0, 1e6f, 3, 4, 5, {0, 2, 0, 3, 0, 4}},
        // Damaged positions clamp: huge or infinite ones to the last index, NaN to the low end.
        {1e30f, 1e30f, 1e30f, 22, 22, 11, {21, 21, 21, 21, 0, 10}},
        {INFINITY, -INFINITY, INFINITY, 22, 22, 11, {21, 21, 0, 21, 0, 10}},
        {NAN, NAN, NAN, 22, 22, 11, {0, 21, 0, 21, 0, 0}},
        {20, 20, 70, 0, 22, 11, {0, 0, 0, 0, 0, 0}},  // an empty grid draws nothing
    };
    for (const auto &c : cases) {
        TileBlock b;
        tile_block(c.ex, c.ey, c.ez, c.w, c.h, c.d, 2, 7, &b);
        EXPECT_EQ((std::vector<int>{b.x0, b.x1, b.y0, b.y1, b.z0, b.z1}), c.block)
            << "eye " << c.ex << "," << c.ey << "," << c.ez << " grid " << c.w << "x" << c.h << "x" << c.d;
    }
}

GLuint names[4];  // three pictures and the matrix picture

class TileTexture : public ::testing::Test {
protected:
    TextureEntry entries[3] = {};

    void SetUp() override
    {
        REQUIRE_GL();
        if (!names[0])
            glGenTextures(4, names);
        memset(tile, 0, sizeof tile);
        entries[0].image = Image{32, 32, 0, 32, 32, names[0]};
        entries[1].image = Image{20, 10, 0, 32, 16, names[1]};  // scaled by 0.625
        entries[2].image = Image{16, 16, 0, 16, 16, names[2]};
        tile_matrix = Image{64, 64, 0, 64, 64, names[3]};
        tile_optTexture = tile_optSmooth = 1;
    }

    // Textures the face and checks the binding, shade, opacity and corners.
    void expectFace(unsigned char type, unsigned char face, unsigned x, unsigned y, unsigned z,
                    GLuint name, int shade, int alpha, std::vector<float> uv)
    {
        tile_setTexture(type, face, x, y, z);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ((std::vector<int>{bound, texture_getRed(), texture_getBlue(), texture_getAlpha()}),
                  (std::vector<int>{(int)name, shade, shade, alpha}));
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
    tile[7].faceTexture[TILE_RIGHT] = &entries[0];
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        tile[7].orientation[TILE_RIGHT] = FaceOrientation{c.flipH, c.flipV, c.rotate};
        expectFace(7, TILE_RIGHT, 0, 0, 0, names[0], 255, 255, c.uv);
    }
}

TEST_F(TileTexture, ScalingShadingOpacityAndSmoothing)
{
    CubeDef &def = tile[3];
    def.faceTexture[TILE_TOP] = &entries[1];
    def.faceTexture[TILE_FRONT] = &entries[0];
    def.faceTexture[TILE_BACK] = &entries[2];
    def.shaded[TILE_BACK] = 1;
    entries[2].translucent = 1;
    expectFace(3, TILE_TOP, 0, 0, 0, names[1], 255, 255, {0, 0, 0, 0.625f, 0.625f, 0.625f, 0.625f, 0});
    def.orientation[TILE_TOP] = FaceOrientation{1, 0, 1};  // scaling follows turn and mirror
    expectFace(3, TILE_TOP, 0, 0, 0, names[1], 255, 255, {0.625f, 0.625f, 0, 0.625f, 0, 0, 0.625f, 0});
    expectFace(3, TILE_BACK, 0, 0, 0, names[2], 127, 127, {0, 0, 0, 1, 1, 1, 1, 0});
    // Pictures with an alpha channel are never smoothed; the others follow the option.
    for (int alpha : {1, 0}) {
        entries[0].image.hasAlpha = (unsigned char)alpha;
        tile_setTexture(3, TILE_FRONT, 0, 0, 0);
        EXPECT_EQ(texture_getSmooth(), !alpha);
    }
    // A record with no texture size keeps its coordinates unscaled, never divided by zero.
    entries[2].image = Image{0, 0, 0, 0, 0, names[2]};
    expectFace(3, TILE_BACK, 0, 0, 0, names[2], 127, 127, {0, 0, 0, 1, 1, 1, 1, 0});
}

TEST_F(TileTexture, CheckeredTypesSwapInTheOppositeFaceOnEvenCells)
{
    CubeDef &def = tile[5];
    def.checkered = 1;
    def.faceTexture[TILE_TOP] = &entries[0];
    def.faceTexture[TILE_BOTTOM] = &entries[1];
    def.shaded[TILE_BOTTOM] = entries[1].translucent = 1;
    def.orientation[TILE_TOP].rotate = 1;
    expectFace(5, TILE_TOP, 1, 2, 4, names[0], 255, 255, {0, 1, 1, 1, 1, 0, 0, 0});  // odd: own
    // Even: BOTTOM's picture, shading, opacity and scale, turned by TOP's flag.
    expectFace(5, TILE_TOP, 1, 2, 3, names[1], 127, 127, {0, 0.625f, 0.625f, 0.625f, 0.625f, 0, 0, 0});
}

TEST_F(TileTexture, TexturingOffShowsTheMatrixPictureUnscaled)
{
    tile_optTexture = tile_optSmooth = 0;
    CubeDef &def = tile[8];
    def.faceTexture[TILE_RIGHT] = &entries[1];  // translucent, 20 x 10
    def.shaded[TILE_RIGHT] = entries[1].translucent = 1;
    def.orientation[TILE_RIGHT].flipH = 1;
    expectFace(8, TILE_RIGHT, 0, 0, 0, names[3], 127, 255, {1, 0, 1, 1, 0, 1, 0, 0});
    EXPECT_TRUE(texture_getSmooth());
}

}  // namespace
