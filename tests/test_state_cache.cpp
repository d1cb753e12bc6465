// test_state_cache.cpp -- the texture render state, billboard mode, and its cache: frames match with it on and off
#include <math.h>

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

TEST(TextureState, ColourSettersKeepToTheirOwnChannels)
{
    texture_alpha(128);
    texture_color(10, 20, 30);  // leaves the opacity alone
    texture_transparentColor(4, 5, 6);
    EXPECT_EQ((std::vector<int>{texture_getRed(), texture_getGreen(), texture_getBlue(), texture_getAlpha(),
                                texture_getTransparentRed(), texture_getTransparentGreen(),
                                texture_getTransparentBlue()}),
              (std::vector<int>{10, 20, 30, 128, 4, 5, 6}));
}

TEST(TextureState, EnableAndDoubleSidedSwitchGL)
{
    REQUIRE_GL();
    for (bool on : {true, false}) {
        texture_enable(on);
        texture_doubleSided(on);
        EXPECT_EQ((std::vector<bool>{glIsEnabled(GL_TEXTURE_2D) == GL_TRUE, glIsEnabled(GL_CULL_FACE) == GL_FALSE}),
                  std::vector<bool>(2, on));
    }
}

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

// The demo world holds every kind of face: pictures with and without
// alpha, translucent, shaded, turned, mirrored, checkered, crossed, wedges
// and slanted quads.
TEST(StateCache, TheDemoWorldDrawsTheSameFramesWithAndWithoutTheCache)
{
    REQUIRE_GL();
    static const std::string def = std::string(TAVO_BINARY_DIR) + "/demo/DEF/demo.def";
    tile_argument = def.c_str();
    testing::internal::CaptureStdout();
    main_init();
    main_renderState();
    Entity views[2] = {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {20, 9, 97}}};
    views[1] = Entity{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {34, 20, 80}};  // turned and looking down
    entity_rotateY(&views[1], 14);
    entity_rotateX(&views[1], -20);
    // Uncached first; then cached in one run, so what it knows carries over
    // each frame and toggle.
    std::vector<std::vector<unsigned char>> frames[2];
    for (bool cache : {false, true}) {
        texture_cache(cache);
        for (const Entity &view : views)
            for (int o = 0; o < 8; o++) {  // the keys '1', '2' and '3' as the tick applies them
                camera = view;
                tile_optSmooth = o & 1, tile_optAlpha = o >> 1 & 1, tile_optTexture = o >> 2 & 1;
                for (GLenum cap : {GL_BLEND, GL_ALPHA_TEST})
                    (tile_optAlpha ? glEnable : glDisable)(cap);
                main_render();
                frames[cache].push_back(test_shownFrame);
            }
    }
    testing::internal::GetCapturedStdout();
    for (size_t i = 0; i < frames[0].size(); i++)
        EXPECT_TRUE(frames[0][i] == frames[1][i]) << "view " << i / 8 << ", options " << i % 8;
    // Smoothing, blending and texturing each change the picture: the comparison is not idle.
    for (int o : {6, 5, 3})
        EXPECT_TRUE(frames[0][o] != frames[0][7]) << o;
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
