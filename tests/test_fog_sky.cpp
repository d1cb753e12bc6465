// test_fog_sky.cpp -- free look's far view: fog, the turning sky, coarse levels; the pixels a frame shows
#include <math.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include "camera.h"
#include "image.h"
#include "main.h"
#include "test_support.h"
#include "texture.h"
#include "tile.h"

namespace {

ImageTexels picture(unsigned short w, unsigned short h, unsigned short tw, unsigned short th, bool alpha,
                    const std::vector<unsigned char> &texels)
{
    ImageTexels t;
    t.width = w, t.height = h, t.texWidth = tw, t.texHeight = th, t.hasAlpha = alpha;
    t.texels = texels;
    return t;
}

TEST(ImageMean, AveragesThePictureAloneWeightedByAlpha)
{
    struct Row {
        const char *what;
        ImageTexels texels;
        unsigned char mean[4];
    } rows[] = {
        // The padding column (255s) of a 1 x 2 picture in a 2 x 2 texture is not counted.
        {"padding left out", picture(1, 2, 2, 2, false, {10, 20, 30, 255, 255, 255, 30, 40, 51, 255, 255, 255}),
         {20, 30, 41, 255}},
        {"clear texels count for nothing",
         picture(2, 1, 2, 1, true, {200, 100, 0, 255, 90, 90, 90, 0}), {100, 50, 0, 128}},
        {"half alpha halves the colour", picture(1, 1, 1, 1, true, {200, 100, 50, 128}), {100, 50, 25, 128}},
        {"an empty picture", picture(0, 0, 0, 0, false, {}), {0, 0, 0, 0}},
        {"texels short of the texture", picture(2, 2, 2, 2, false, {1, 2, 3}), {0, 0, 0, 0}},
    };
    for (const Row &r : rows) {
        unsigned char got[4];
        image_mean(r.texels, got);
        for (int c = 0; c < 4; c++)
            EXPECT_EQ(got[c], r.mean[c]) << r.what << ", channel " << c;
    }
}

TEST(TileFog, FadesFromHalfTheViewToNineTenthsAndIsWhiteWithoutABackground)
{
    const float at[][2] = {{0.0f, 0.0f}, {0.5f, 0.0f}, {0.7f, 0.5f}, {0.9f, 1.0f}, {3.0f, 1.0f}, {NAN, 0.0f}};
    for (const auto &a : at)
        EXPECT_FLOAT_EQ(tile_fogAmount(a[0]), a[1]) << "at " << a[0];
    Image half = {};
    half.mean[0] = 100, half.mean[1] = 50, half.mean[2] = 0, half.mean[3] = 128;  // half clear
    Image *kept = tile_bg;
    tile_bg = &half;
    unsigned char rgb[3];
    const unsigned char over[3] = {227, 177, 127}, off[3] = {255, 255, 255};
    for (unsigned char texture : {1, 0}) {
        tile_optTexture = texture;
        tile_backgroundMean(rgb);
        EXPECT_EQ(memcmp(rgb, texture ? over : off, 3), 0) << "texturing " << (int)texture;
    }
    tile_optTexture = 1;
    tile_bg = kept;
}

enum { STONE = 1 };

class FogSky : public ::testing::Test {
protected:
    TextureEntry stone = {};
    Image bg = {};
    std::vector<unsigned char> cells;

    void SetUp() override
    {
        if (!test_glContext())
            GTEST_SKIP() << "no display (run under xvfb-run)";
        tile_chunksClear();  // no build of the last test's world goes on
        memset(tile, 0, sizeof tile);
        image_create(&stone.image, 32, 32, 200, 30, 30);
        for (int f = 0; f < 6; f++)
            tile[STONE].faceOn[f] = 1, tile[STONE].faceTexture[f] = &stone;
        tile_optTexture = tile_optSmooth = 1;
        tile_bg = &bg;
        main_renderState();
    }
    void TearDown() override
    {
        if (!test_glContext())
            return;
        tile_chunksClear();
        tile_map = nullptr;
        tile_bg = nullptr;
        tile_lookFog = true;
        tile_generation++;
        image_destroy(&stone.image);
        image_destroy(&bg);
    }
    void world(unsigned w, unsigned h, unsigned d)
    {
        cells.assign((size_t)w * h * d, TILE_EMPTY);
        tile_map = cells.data(), tile_width = (unsigned short)w, tile_height = (unsigned short)h;
        tile_depth = (unsigned short)d;
        tile_generation++;
    }
    // Free look's frame from camera as the viewer draws it, once every
    // chunk in view is built; the window's pixels, bottom row first.
    std::vector<unsigned char> frame(int view)
    {
        std::vector<unsigned char> rgb((size_t)640 * 480 * 3);
        for (int i = 0; i < 3000; i++) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadIdentity();
            camera_lookFrom(&camera);
            testing::internal::CaptureStdout();
            tile_fogBegin(camera.position.x, camera.position.y, camera.position.z, view);
            tile_drawLook(camera.position.x, camera.position.y, camera.position.z, view);
            tile_fogEnd();
            testing::internal::GetCapturedStdout();
            if (i >= 2 && tile_lookStats.pending == 0)
                break;
            usleep(2000);
        }
        glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    }
    static const unsigned char *pixel(const std::vector<unsigned char> &rgb, int x, int y)
    {
        return &rgb[((size_t)y * 640 + (size_t)x) * 3];
    }
    // The window pixel (bottom row 0) the world place (x, y, z) falls on.
    static void project(float x, float y, float z, int *px, int *py)
    {
        GLdouble model[16], proj[16], wx, wy, wz;
        GLint viewport[4];
        glLoadIdentity();
        camera_lookFrom(&camera);
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glGetIntegerv(GL_VIEWPORT, viewport);
        gluProject(x, y, z, model, proj, viewport, &wx, &wy, &wz);
        *px = (int)lround(wx), *py = (int)lround(wy);
    }
};

#define EXPECT_RGB_NEAR(p, r, g, b, what)                                                              \
    EXPECT_TRUE(abs((p)[0] - (r)) <= 3 && abs((p)[1] - (g)) <= 3 && abs((p)[2] - (b)) <= 3)          \
        << what << ": " << (int)(p)[0] << " " << (int)(p)[1] << " " << (int)(p)[2] << " for " << (r) \
        << " " << (g) << " " << (b)

// A stone six cells before the eye (7 units a cell along z, as far as 21
// cells along x) keeps its own colour; one whose face is the view distance
// away has the background's, one at 0.69 of it (fog 0.48) half of each;
// without fog all their own.
TEST_F(FogSky, AFaceAtTheViewDistanceHasTheBackgroundsColourOneNearItsOwn)
{
    image_create(&bg, 32, 32, 30, 90, 200);
    world(3, 3, 48);
    const int view = 16;
    const float eyeZ = 40.5f;  // cells
    cells[((size_t)1 * 48 + 34) * 3 + 0] = STONE;  // front face 6 cells away, a cell to the left
    cells[((size_t)1 * 48 + 24) * 3 + 2] = STONE;  // front face 16 cells away, a cell to the right
    cells[((size_t)0 * 48 + 29) * 3 + 2] = STONE;  // 11 cells away, a cell to the right and below
    camera = Entity{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {1 * tile_size, 1 * tile_size, eyeZ * tile_sizeZ}};
    int nx, ny, fx, fy, hx, hy;
    project(0, tile_size, 34.5f * tile_sizeZ, &nx, &ny);
    project(2 * tile_size, tile_size, 24.5f * tile_sizeZ, &fx, &fy);
    project(2 * tile_size, 0, 29.5f * tile_sizeZ, &hx, &hy);
    for (bool fog : {true, false}) {
        tile_lookFog = fog;
        std::vector<unsigned char> rgb = frame(view);
        EXPECT_RGB_NEAR(pixel(rgb, nx, ny), 200, 30, 30, "the near face, fog " << fog);
        const unsigned char *half = pixel(rgb, hx, hy);
        if (fog) {
            EXPECT_RGB_NEAR(pixel(rgb, fx, fy), 30, 90, 200, "the far face");
            EXPECT_TRUE(abs(half[0] - 118) <= 12 && abs(half[1] - 59) <= 12 && abs(half[2] - 112) <= 12)
                << "the face in the fog: " << (int)half[0] << " " << (int)half[1] << " " << (int)half[2];
        } else {
            EXPECT_RGB_NEAR(pixel(rgb, fx, fy), 200, 30, 30, "the far face without fog");
            EXPECT_RGB_NEAR(half, 200, 30, 30, "the face in the fog, without fog");
        }
        EXPECT_RGB_NEAR(pixel(rgb, 320, 470), 30, 90, 200, "the sky");
    }
}

// A panorama whose red is its column and green its row: a quarter turn
// moves the columns by a quarter of the picture, a tilt the rows.
TEST_F(FogSky, TheSkyTurnsWithTheHeadingAndTiltsWithTheView)
{
    std::vector<unsigned char> texels((size_t)256 * 256 * 3);
    for (size_t y = 0; y < 256; y++)
        for (size_t x = 0; x < 256; x++)
            texels[(y * 256 + x) * 3] = (unsigned char)x, texels[(y * 256 + x) * 3 + 1] = (unsigned char)y;
    image_loadDecoded(&bg, picture(256, 256, 256, 256, false, texels));
    world(1, 1, 1);
    struct Row {
        float forward[3], turn;
        int red, green;  // at the window's centre
    } rows[] = {
        {{0, 0, -1}, 0.0f, 128, 128},
        {{0, 0, -1}, 90.0f, 64, 128},    // a quarter turn left: the picture's left quarter
        {{0, 0, -1}, -90.0f, 192, 128},
        {{0, 0.70710678f, -0.70710678f}, 0.0f, 128, 64},  // looking 45 degrees up
    };
    for (const Row &r : rows) {
        camera = Entity{{-1, 0, 0}, {0, 1, 0}, {r.forward[0], r.forward[1], r.forward[2]}, {0, 100, 0}};
        main_looking = 0;
        main_lookToggle();
        main_lookTurn(r.turn);
        std::vector<unsigned char> rgb = frame(64);
        const unsigned char *p = pixel(rgb, 320, 240);
        EXPECT_NEAR(p[0], r.red, 2) << "turned " << r.turn << ", up " << r.forward[1];
        EXPECT_NEAR(p[1], r.green, 2) << "turned " << r.turn << ", up " << r.forward[1];
    }
    main_looking = 0;
}

// Blocks of 4 x 4 x 4 cells (S stone, G grass, g glass or water, e empty),
// each filled by layers from the bottom or holding a column: what stands
// for it.
TEST(TileLevelReduce, TheTypeSeenFromOutsideWinsAndSeeThroughBlocksStayClear)
{
    enum { S = 1, G = 2, g = 3, e = TILE_EMPTY };
    unsigned char kind[256] = {};
    kind[S] = kind[G] = TILE_LEVEL_SOLID;
    kind[g] = TILE_LEVEL_CLEAR;
    struct Row {
        const char *what;
        unsigned char layers[4];  // bottom first, every cell of the layer
        int column;               // -1, or a solid column of stone at (1, 2) through every layer
        unsigned char want;
    } rows[] = {
        {"stone under grass", {S, S, S, G}, -1, G},
        {"half full: solid", {S, S, e, e}, -1, S},
        {"a quarter full: clear", {S, e, e, e}, -1, e},
        {"empty", {e, e, e, e}, -1, e},
        {"glass-filled stays see-through glass", {g, g, g, g}, -1, g},
        {"a lake over its bed keeps its water", {S, g, g, g}, -1, g},
        {"a little glass in the air stays clear", {g, e, e, e}, -1, e},
        {"glass over stone: the stone shows", {S, S, g, g}, -1, S},
        {"a lone tower keeps its place", {e, e, e, e}, S, S},
        {"a tower broken by glass does not", {e, e, g, e}, S, e},
    };
    for (const Row &r : rows) {
        std::vector<unsigned char> cells(64);
        for (int y = 0; y < 4; y++)
            for (int i = 0; i < 16; i++)
                cells[(size_t)y * 16 + (size_t)i] = r.layers[y];
        for (int y = 0; y < 4 && r.column >= 0; y++)
            if (r.layers[y] != g)
                cells[((size_t)y * 4 + 2) * 4 + 1] = (unsigned char)r.column;
        const int size[3] = {4, 4, 4}, at[3] = {0, 0, 0};
        EXPECT_EQ(tile_levelReduce(cells.data(), size, at, 4, kind), r.want) << r.what;
    }
    // A block cut by the grid's edge counts only its cells inside.
    const std::vector<unsigned char> low(16, S);
    const int flat[3] = {4, 1, 4}, at[3] = {0, 0, 0};
    EXPECT_EQ(tile_levelReduce(low.data(), flat, at, 4, kind), S) << "a layer the grid's top cuts";
}

// Flat ground seen from above across the near chunks and two coarser
// levels: the ground's top steps where the levels meet (5 layers: the
// 2-cell blocks round up to 6, the 4-cell ones down to 4), and no pixel of
// the ground shows the sky through a seam.
TEST_F(FogSky, WhereTheLevelsMeetTheGroundHasNoCrack)
{
    image_create(&bg, 32, 32, 30, 90, 200);
    world(256, 8, 256);
    for (size_t y = 0; y < 5; y++)
        std::fill(cells.begin() + (long)(y * 256 * 256), cells.begin() + (long)((y + 1) * 256 * 256), STONE);
    tile_lookFog = false;
    const float eyeZ = 250.0f;
    camera = Entity{{-1, 0, 0}, {0, 1, 0}, {0, -0.34f, -0.94f}, {128 * tile_size, 30 * tile_size, eyeZ * tile_sizeZ}};
    const int view = 256;
    std::vector<unsigned char> rgb = frame(view);
    EXPECT_GT(tile_levelStats.drawn[1], 0);
    EXPECT_GT(tile_levelStats.drawn[2], 0);
    int nx, ny, fx, fy;  // the seams' rows, and the ground's far end in the window
    project(128 * tile_size, 4.5f * tile_size, (eyeZ - 64) * tile_sizeZ, &nx, &ny);
    project(128 * tile_size, 4.5f * tile_size, (eyeZ - 170) * tile_sizeZ, &fx, &fy);
    ASSERT_TRUE(ny > 0 && fy > ny && fy < 480) << ny << " " << fy;
    int sky = 0;
    for (int y = 0; y < fy; y++)
        for (int x = 220; x < 420; x++) {
            const unsigned char *p = pixel(rgb, x, y);
            sky += abs(p[0] - 30) <= 40 && abs(p[1] - 90) <= 40 && abs(p[2] - 200) <= 40;
        }
    EXPECT_EQ(sky, 0) << "sky pixels under the ground's far end";
    EXPECT_RGB_NEAR(pixel(rgb, 320, fy + 40), 30, 90, 200, "the sky past the view");
}

// A cave sealed in far rock adds no face to an eye in the open air.
TEST_F(FogSky, AFarSealedCaveAddsNoFace)
{
    world(256, 16, 256);
    std::fill(cells.begin(), cells.begin() + 12L * 256 * 256, STONE);
    tile_lookFog = false;
    camera = Entity{{-1, 0, 0}, {0, 1, 0}, {0, -0.34f, -0.94f}, {128 * tile_size, 30 * tile_size, 250 * tile_sizeZ}};
    frame(256);
    const long solid = tile_levelStats.faces;
    ASSERT_GT(tile_levelStats.drawn[2], 0);
    for (size_t y = 2; y < 10; y++)
        for (size_t z = 8; z < 56; z++)  // inside one chunk of 64 cells a side
            std::fill_n(cells.begin() + (long)((y * 256 + z) * 256 + 72), 48, TILE_EMPTY);
    tile_generation++;
    frame(256);
    EXPECT_EQ(tile_levelStats.faces, solid);
}

// A lake far away, drawn from 4-cell blocks, keeps its water: the ground
// under it shows through the blue, not bare.
TEST_F(FogSky, AFarLakeKeepsItsWater)
{
    enum { WATER = 2 };
    TextureEntry water = {};
    water.translucent = 1;
    image_create(&water.image, 32, 32, 20, 40, 220);
    for (int f = 0; f < 6; f++)
        tile[WATER].faceOn[f] = 1, tile[WATER].faceTexture[f] = &water;
    world(256, 8, 256);
    for (size_t y = 0; y < 8; y++)
        for (size_t z = 0; z < 256; z++)
            std::fill_n(cells.begin() + (long)((y * 256 + z) * 256), 256,
                        y < 4 ? STONE : z < 80 ? WATER : TILE_EMPTY);
    tile_lookFog = false;
    const float eyeZ = 250.0f;
    camera = Entity{{-1, 0, 0}, {0, 1, 0}, {0, -0.2f, -0.98f}, {128 * tile_size, 20 * tile_size, eyeZ * tile_sizeZ}};
    std::vector<unsigned char> rgb = frame(256);
    EXPECT_GT(tile_levelStats.drawn[2], 0);
    int x, y;
    project(128 * tile_size, 7.5f * tile_size, 60 * tile_sizeZ, &x, &y);
    ASSERT_TRUE(x > 0 && x < 640 && y > 0 && y < 480) << x << " " << y;
    const unsigned char *p = pixel(rgb, x, y);
    EXPECT_GT(p[2], p[0] + 40) << "the lake at " << x << ", " << y << ": " << (int)p[0] << " " << (int)p[1] << " "
                               << (int)p[2];
    tile_chunksClear();
    image_destroy(&water.image);
}

}  // namespace
