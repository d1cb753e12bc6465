// test_tile_draw_pixels.cpp -- frames of a one-cube world rendered into the 640 x 480 window
#include <string.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "camera.h"
#include "main.h"
#include "test_support.h"
#include "tile.h"

namespace {

// Draws one frame through the display callback and checks the colour at
// window pixel (x, y), counted from the bottom left.
void expectPixel(int x, int y, int r, int g, int b)
{
    std::fill(test_shownFrame.begin(), test_shownFrame.end(), 7);
    testing::internal::CaptureStdout();
    main_render();
    testing::internal::GetCapturedStdout();
    const unsigned char *p = &test_shownFrame[((size_t)y * 640 + (size_t)x) * 3];
    EXPECT_NEAR(p[0], r, 3) << x << "," << y;
    EXPECT_NEAR(p[1], g, 3) << x << "," << y;
    EXPECT_NEAR(p[2], b, 3) << x << "," << y;
}

TEST(TilePixels, FacesOverTheBackdrop)
{
    REQUIRE_GL();
    main_renderState();
    // A single cube at the origin; the grid's last column, layer and row
    // are never drawn, so the grid is one larger each way.
    unsigned char cells[2 * 2 * 3];
    memset(cells, TILE_EMPTY, sizeof cells);
    cells[0] = 254;
    TextureEntry entry = {};
    memset(tile, 0, sizeof tile);
    image_create(&tile_dummy, 32, 32, 0, 0, 255);   // the backdrop: blue
    image_create(&tile_matrix, 32, 32, 0, 255, 0);  // texturing off: green
    image_create(&entry.image, 32, 32, 254, 0, 0);  // the face: red
    tile_map = cells;
    tile_width = tile_height = 2;
    tile_depth = 3;
    tile[254].faceOn[TILE_FRONT] = 1;
    tile[254].faceTexture[TILE_FRONT] = &entry;
    tile_optTexture = tile_optSmooth = tile_optAlpha = 1;
    // Two cells back from the cube, looking at its FRONT face along -z.
    camera = Entity{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 14}};

    expectPixel(5, 5, 0, 0, 255);
    expectPixel(600, 400, 0, 0, 255);
    expectPixel(320, 240, 254, 0, 0);
    tile[254].shaded[TILE_FRONT] = 1;
    expectPixel(320, 240, 127, 0, 0);
    tile[254].shaded[TILE_FRONT] = 0;
    entry.translucent = 1;  // half-opaque red over the blue backdrop
    expectPixel(320, 240, 127, 0, 128);
    // Texturing off: the clear colour and the matrix picture, opaque.
    tile_optTexture = 0;
    expectPixel(5, 5, 255, 255, 255);
    expectPixel(320, 240, 0, 255, 0);
    tile_map = nullptr;
    for (Image *image : {&tile_dummy, &tile_matrix, &entry.image})
        image_destroy(image);
}

}  // namespace
