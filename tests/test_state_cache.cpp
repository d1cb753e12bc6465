// test_state_cache.cpp -- billboard mode, the texture state cache, and the face cache's frames against the direct walk's
#include <math.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "camera.h"
#include "main.h"
#include "test_support.h"
#include "texture.h"
#include "tile.h"

namespace {

TEST(TextureState, BillboardPushesOnceAndDropsRotation)
{
    REQUIRE_GL();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    glRotatef(30, 0, 1, 0);
    glScalef(2, 2, 2);
    GLfloat before[16], m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    GLint depth0 = 0, depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth0);
    for (bool on : {true, false}) {
        texture_billboard(on);
        texture_billboard(on);  // twice: no second push or pop
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, depth0 + on);
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        for (int i = 0; i < 16; i++)  // on: the upper 3 x 3 becomes the identity
            EXPECT_FLOAT_EQ(m[i], on && i % 4 < 3 && i < 12 ? i % 5 == 0 : before[i]) << i;
    }
    glLoadIdentity();
}

// The demo world opened as the viewer opens it, its console lines captured.
static void demo_start(void)
{
    static const std::string def = std::string(TAVO_BINARY_DIR) + "/demo/DEF/demo.def";
    tile_argument = def.c_str();
    testing::internal::CaptureStdout();
    main_init();
    main_renderState();
}

// The demo world has every kind of face (glass and water made opaque: the face cache draws
// them last on purpose).  The direct walk draws the same frames with the state cache on and
// off; the face cache's differ only where rounding moves an edge.
TEST(StateCache, TheFaceCacheAndTheDirectWalkDrawTheDemoWorldAlike)
{
    REQUIRE_GL();
    demo_start();
    for (int t = 0; t < tile_texCount; t++)
        tile_tex[t].translucent = 0;
    tile_generation++;
    const Entity start{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {20, 9, 97}};
    Entity views[3] = {start, start, {start.left, start.up, start.forward, {21, 21, 105}}};
    entity_rotateZ(&views[1], 90);  // a quarter turn
    entity_rotateY(&views[2], 20), entity_rotateX(&views[2], -50);  // from above, off the grid's axes
    std::vector<unsigned char> frames[3], last;
    for (const Entity &view : views)
        for (int o : {7, 6, 5, 3}) {  // all on, then each of '1', '2', '3' off as the tick applies it
            SCOPED_TRACE(testing::Message() << "view " << &view - views << ", options " << o);
            camera = view;
            tile_optSmooth = o & 1, tile_optAlpha = o >> 1 & 1, tile_optTexture = o >> 2 & 1;
            for (GLenum cap : {GL_BLEND, GL_ALPHA_TEST})
                (tile_optAlpha ? glEnable : glDisable)(cap);
            for (int way = 0; way < 3; way++) {  // direct without, direct with the state cache, cached (left on)
                texture_cache(way > 0);
                tile_direct = way < 2;
                main_render();
                frames[way] = test_shownFrame;
            }
            EXPECT_TRUE(frames[0] == frames[1]);
            int differ = 0, far = 0;
            for (size_t i = 0; i < frames[0].size(); i += 3) {
                int most = 0;
                for (size_t c = i; c < i + 3; c++)
                    most |= abs(frames[0][c] - frames[2][c]) > 8 ? 2 : frames[0][c] != frames[2][c];
                differ += most > 0;
                far += most > 1;
            }
            EXPECT_LE(differ, 640 * 480 / 500);
            EXPECT_LE(tile_optSmooth ? far : 0, 10);  // sharp texels may move their boundary by a pixel
            EXPECT_TRUE(frames[0] != last);  // each option and view changes the picture
            last = frames[0];
        }
    testing::internal::GetCapturedStdout();
}

// The demo world lies within the fixed camera's 21 cells of its start view:
// free look, once its chunks are built, draws the same picture up to rounding
// and the order of overlapping glass (chunks or faces wrongly left out would show).
// Sharp texels: free look joins faces into rectangles whose pictures repeat,
// and a smoothed picture blends across the cells it joins, as a tiled
// picture should, where the fixed camera's single faces stop at their edge.
// No fog, and a background of one colour, which looks the same stretched
// over the window as wrapped around the world.
TEST(StateCache, FreeLookDrawsTheStartViewAsTheFixedCameraDoes)
{
    REQUIRE_GL();
    demo_start();
    tile_optSmooth = 0;
    tile_lookFog = false;
    Image *bg = tile_bg, plain = {};
    image_create(&plain, 4, 4, 90, 140, 200);
    tile_bg = &plain;
    camera = Entity{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {20, 9, 97}};
    main_render();
    const std::vector<unsigned char> fixed = test_shownFrame;
    main_looking = 1;
    for (int i = 0; i < 2000 && (i == 0 || tile_lookStats.pending > 0); i++) {
        usleep(2000);
        main_render();
    }
    main_looking = 0;
    tile_optSmooth = 1;
    tile_lookFog = true;
    tile_bg = bg;
    image_destroy(&plain);
    testing::internal::GetCapturedStdout();
    int differ = 0, far = 0;
    for (size_t i = 0; i < fixed.size(); i += 3) {
        int most = 0;
        for (size_t c = i; c < i + 3; c++)
            most |= abs(fixed[c] - test_shownFrame[c]) > 8 ? 2 : fixed[c] != test_shownFrame[c];
        differ += most > 0, far += most > 1;
    }
    EXPECT_EQ(tile_lookStats.pending, 0);
    EXPECT_LE(differ, 300);
    // Glass over glass blends far chunk to near, not in the walk's order, and
    // a sharp texel's edge across a joined face may move by a pixel.
    EXPECT_LE(far, 160);
}

// Colour, binding and filters as the frames use them are compared above; here
// what no frame does: a picture made under a name the cache knows, and one
// made (which binds it) between two sets of another.
TEST(StateCache, PicturesMadeAfreshAreBoundAndFilteredAgain)
{
    REQUIRE_GL();
    texture_cache(true);
    auto expectSet = [](const Image *image, bool smooth) {
        texture_smooth(smooth);
        texture_set(image);
        GLint v[3];
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &v[0]);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &v[1]);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &v[2]);
        EXPECT_EQ((std::vector<GLint>{v[0], v[1], v[2]}),
                  (std::vector<GLint>{(GLint)(image ? image->textureId : 0), smooth ? GL_LINEAR : GL_NEAREST,
                                      GL_CLAMP_TO_EDGE}));
    };
    Image images[3] = {};
    image_create(&images[0], 4, 4, 1, 2, 3);
    image_create(&images[1], 4, 4, 1, 2, 3);
    expectSet(&images[1], true);
    expectSet(&images[1], false);
    expectSet(&images[0], true);
    expectSet(nullptr, false);
    texture_smooth(true);  // remade linear, as a reload makes it, under the name known as nearest
    image_destroy(&images[1]);
    image_create(&images[1], 4, 4, 9, 9, 9);
    expectSet(&images[1], false);
    expectSet(&images[0], false);
    image_create(&images[2], 4, 4, 9, 9, 9);
    expectSet(&images[0], false);
    for (Image &image : images)
        image_destroy(&image);
}

}  // namespace
