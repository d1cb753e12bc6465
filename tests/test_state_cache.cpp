// test_state_cache.cpp -- the texture state cache, and the face cache's frames against the direct walk's
#include <math.h>
#include <stdlib.h>

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

// The demo world has every kind of face (glass and water made opaque: the face cache draws
// them last on purpose).  The direct walk draws the same frames with the state cache on and
// off; the face cache's differ only where rounding moves an edge.
TEST(StateCache, TheFaceCacheAndTheDirectWalkDrawTheDemoWorldAlike)
{
    REQUIRE_GL();
    static const std::string def = std::string(TAVO_BINARY_DIR) + "/demo/DEF/demo.def";
    tile_argument = def.c_str();
    testing::internal::CaptureStdout();
    main_init();
    main_renderState();
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

TEST(StateCache, EachSetLeavesWhatIssuingEverythingWould)
{
    REQUIRE_GL();
    texture_cache(true);
    Image images[4] = {};  // none, two pictures, and one made afresh (making binds it)
    image_create(&images[1], 4, 4, 1, 2, 3);
    image_create(&images[2], 4, 4, 1, 2, 3);
    const struct { int image; bool smooth; unsigned char grey, alpha; } steps[] = {
        {1, true, 255, 255}, {1, true, 255, 255}, {1, false, 127, 255}, {2, true, 127, 127},
        {1, false, 127, 127}, {3, false, 127, 127}, {0, true, 255, 255}, {1, true, 255, 255},
        {3, true, 255, 255},
    };
    for (const auto &s : steps) {
        if (s.image == 3) {
            image_destroy(&images[3]);
            image_create(&images[3], 4, 4, 9, 9, 9);
        }
        texture_smooth(s.smooth);
        texture_color(s.grey, s.grey, s.grey);
        texture_alpha(s.alpha);
        texture_set(s.image ? &images[s.image] : nullptr);
        GLint v[5];
        GLfloat colour[4];
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &v[0]);
        glGetFloatv(GL_CURRENT_COLOR, colour);
        const GLenum names[4] = {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T};
        for (int k = 0; k < 4; k++)
            glGetTexParameteriv(GL_TEXTURE_2D, names[k], &v[k + 1]);
        const GLint filter = s.smooth ? GL_LINEAR : GL_NEAREST;
        EXPECT_EQ((std::vector<GLint>{v[0], (GLint)lroundf(colour[0] * 255), (GLint)lroundf(colour[3] * 255),
                                      v[1], v[2], v[3], v[4]}),
                  (std::vector<GLint>{(GLint)images[s.image].textureId, s.grey, s.alpha, filter, filter,
                                      GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE}))
            << "step " << &s - steps;
    }
    // Making a picture binds it: the picture set before it must then be bound again.
    texture_set(&images[1]);
    image_create(&images[0], 4, 4, 9, 9, 9);
    texture_set(&images[1]);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, (GLint)images[1].textureId);
    for (Image &image : images)
        image_destroy(&image);
}

}  // namespace
