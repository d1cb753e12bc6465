// test_tile_draw_pixels.cpp -- frames of a one-cube world rendered into the 640 x 480 window
#include <string.h>

#include <algorithm>
#include <vector>

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include "camera.h"
#include "main.h"
#include "test_support.h"
#include "tile.h"

namespace {

struct Rgb {
    int r, g, b;
};

class TilePixels : public ::testing::Test {
protected:
    unsigned char cells[2 * 2 * 3];
    TextureEntry entry;

    void SetUp() override
    {
        REQUIRE_GL();
        static bool ready = false;
        if (!ready) {
            main_renderState();
            ready = true;
        }
        memset(tile, 0, sizeof tile);
        memset(&entry, 0, sizeof entry);
        image_create(&tile_dummy, 32, 32, 0, 0, 255);     // the backdrop: blue
        image_create(&tile_matrix, 32, 32, 0, 255, 0);    // texturing off: green
        image_create(&entry.image, 32, 32, 254, 0, 0);    // the face: red

        // A single cube at the origin; the grid's last column, layer and
        // row are never drawn, so the grid is one larger each way.
        memset(cells, TILE_EMPTY, sizeof cells);
        cells[0] = 254;
        tile_map = cells;
        tile_width = 2;
        tile_height = 2;
        tile_depth = 3;
        CubeDef &def = tile[254];
        def.faceOn[TILE_FRONT] = 1;
        def.faceTexture[TILE_FRONT] = &entry;
        tile_optTexture = tile_optSmooth = tile_optAlpha = 1;

        // Two cells back from the cube, looking at its FRONT face along -z.
        camera = Entity{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 14}};
    }

    void TearDown() override
    {
        tile_map = nullptr;
        tile_width = tile_height = tile_depth = 0;
        memset(tile, 0, sizeof tile);
        if (!test_glContext())
            return;
        image_destroy(&tile_dummy);
        image_destroy(&tile_matrix);
        image_destroy(&entry.image);
    }

    // One frame through the display callback; (x, y) from the bottom left.
    static Rgb frame(int x, int y)
    {
        std::fill(test_shownFrame.begin(), test_shownFrame.end(), 7);
        testing::internal::CaptureStdout();
        main_render();
        testing::internal::GetCapturedStdout();
        const unsigned char *p = &test_shownFrame[((size_t)y * 640 + (size_t)x) * 3];
        return Rgb{p[0], p[1], p[2]};
    }
};

#define EXPECT_RGB(got, R, G, B)                   \
    do {                                           \
        Rgb got_ = (got);                          \
        EXPECT_NEAR(got_.r, R, 3);                 \
        EXPECT_NEAR(got_.g, G, 3);                 \
        EXPECT_NEAR(got_.b, B, 3);                 \
    } while (0)

TEST_F(TilePixels, FacesOverTheBackdrop)
{
    const int cx = 320, cy = 240;  // the cube's FRONT face
    EXPECT_RGB(frame(5, 5), 0, 0, 255);
    EXPECT_RGB(frame(600, 400), 0, 0, 255);
    EXPECT_RGB(frame(cx, cy), 254, 0, 0);

    tile[254].shaded[TILE_FRONT] = 1;
    EXPECT_RGB(frame(cx, cy), 127, 0, 0);

    // Half-opaque red over the blue backdrop.
    tile[254].shaded[TILE_FRONT] = 0;
    entry.translucent = 1;
    EXPECT_RGB(frame(cx, cy), 127, 0, 128);
    EXPECT_RGB(frame(5, 5), 0, 0, 255);
}

TEST_F(TilePixels, TexturingOffShowsTheClearColourAndTheMatrixPicture)
{
    tile_optTexture = 0;
    entry.translucent = 1;  // ignored while texturing is off
    EXPECT_RGB(frame(5, 5), 255, 255, 255);
    EXPECT_RGB(frame(320, 240), 0, 255, 0);
}

TEST_F(TilePixels, AFaceSeenFromBehindIsCulledUnlessDoubleSided)
{
    // Only the far BACK face, whose outside looks away from the eye.
    CubeDef &def = tile[254];
    def.faceOn[TILE_FRONT] = 0;
    def.faceOn[TILE_BACK] = 1;
    def.faceTexture[TILE_BACK] = &entry;
    EXPECT_RGB(frame(320, 240), 0, 0, 255);
    def.doubleSided[TILE_BACK] = 1;
    EXPECT_RGB(frame(320, 240), 254, 0, 0);
}

}  // namespace
