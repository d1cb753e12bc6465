// test_state_cache.cpp -- frames drawn with the texture state cache match those drawn without it, pixel for pixel
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

using Frame = std::vector<unsigned char>;

// The keys '1', '2' and '3' as the tick applies them, from the bits of o.
void options(int o)
{
    tile_optSmooth = o & 1;
    tile_optAlpha = (o >> 1) & 1;
    tile_optTexture = (o >> 2) & 1;
    (tile_optAlpha ? glEnable : glDisable)(GL_BLEND);
    (tile_optAlpha ? glEnable : glDisable)(GL_ALPHA_TEST);
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
    std::vector<Frame> frames[2];
    for (bool cache : {false, true}) {
        texture_cache(cache);
        for (const Entity &view : views)
            for (int o = 0; o < 8; o++) {
                camera = view;
                options(o);
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
    for (Image &image : images)
        image_destroy(&image);
}

}  // namespace
