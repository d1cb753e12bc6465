// test_state_cache.cpp -- frames drawn with the texture state cache match those drawn without it, pixel for pixel
#include <string.h>

#include <string>
#include <vector>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "camera.h"
#include "main.h"
#include "pcx_encode.h"
#include "test_support.h"
#include "texture.h"
#include "tile.h"

namespace {

using Frame = std::vector<unsigned char>;

size_t differing(const Frame &a, const Frame &b)
{
    size_t n = 0;
    for (size_t i = 0; i < a.size(); i += 3)
        n += memcmp(&a[i], &b[i], 3) != 0;
    return n;
}

// An 8 x 8 picture of two shades of one colour, with magenta at the
// top-left and along a diagonal: the hole colour of an alpha picture, and
// a pattern that shows filtering, mirroring and turns.
void writePicture(const std::string &path, unsigned char r, unsigned char g, unsigned char b)
{
    unsigned char palette[768] = {255, 0, 255, r, g, b, (unsigned char)(r / 2),
                                  (unsigned char)(g / 2), (unsigned char)(b / 2)};
    unsigned char pixels[64];
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            pixels[y * 8 + x] = x == y ? 0 : (unsigned char)(1 + (x / 2 + y) % 2);
    pcx_writeFileDirs(path, pcx_encode8(8, 8, pixels, palette));
}

class StateCache : public ::testing::Test {
protected:
    std::string dir;
    TextureEntry entries[7];  // 0..5 plain, 6 with an alpha channel
    Image background;
    std::vector<unsigned char> cells;

    void load(Image *image, int n, bool alpha)
    {
        texture_transparent(alpha);
        texture_autoTransparent(alpha);
        std::string path = dir + "/p" + std::to_string(n) + ".pcx";
        writePicture(path, (unsigned char)(60 + 40 * n), (unsigned char)(200 - 30 * n),
                     (unsigned char)(37 * n));
        image_load(image, path.c_str());
        texture_transparent(false);
        texture_autoTransparent(false);
    }

    void SetUp() override
    {
        REQUIRE_GL();
        main_renderState();
        dir = test_tempDir();
        memset(tile, 0, sizeof tile);
        memset(entries, 0, sizeof entries);
        for (int i = 0; i < 7; i++)
            load(&entries[i].image, i, i == 6);
        entries[2].translucent = 1;
        load(&background, 7, false);
        load(&tile_dummy, 8, false);
        load(&tile_matrix, 9, false);
        tile_bg = &background;

        // Every kind of face: shaded, turned and mirrored, translucent,
        // alpha, the stand-by picture, checkered, crossed, wedges and the
        // slanted quads that take over the state the last face left.
        for (unsigned char type = 1; type <= 8; type++) {
            CubeDef &def = tile[type];
            for (int f = 0; f < 6; f++) {
                def.faceOn[f] = 1;
                def.faceTexture[f] = &entries[(type + f) % 6];
                def.orientation[f] = FaceOrientation{(unsigned char)(f & 1),
                                                     (unsigned char)(type & 1),
                                                     (unsigned char)(f == 2)};
            }
            def.shaded[TILE_TOP] = def.shaded[TILE_LEFT] = 1;
        }
        tile[2].doubleSided[TILE_FRONT] = 1;
        for (int f = 0; f < 6; f++) {
            tile[3].faceTexture[f] = &entries[6];
            tile[3].doubleSided[f] = 1;
        }
        tile[3].crossed = 1;
        tile[4].faceTexture[TILE_TOP] = tile[4].faceTexture[TILE_FRONT] = nullptr;
        tile[5].checkered = 1;
        tile[6].shape = 1;
        tile[7].shape = 5;
        tile[8].shape = 10;
        memset(tile[8].faceOn, 0, 6);

        const unsigned w = 7, layers = 4, depth = 7;
        cells.assign(w * layers * depth, TILE_EMPTY);
        for (unsigned y = 0; y < layers; y++)
            for (unsigned z = 0; z < depth; z++)
                for (unsigned x = 0; x < w; x++) {
                    unsigned k = (x * 3 + y * 5 + z * 7) % 10;
                    cells[(y * depth + z) * w + x] = k < 8 ? (unsigned char)(k + 1) : TILE_EMPTY;
                }
        tile_map = cells.data();
        tile_width = (unsigned short)w;
        tile_height = (unsigned short)layers;
        tile_depth = (unsigned short)depth;
        options(1, 1, 1);
        texture_smooth(true);
    }

    void TearDown() override
    {
        texture_cache(true);
        tile_map = nullptr;
        tile_width = tile_height = tile_depth = 0;
        tile_bg = nullptr;
        memset(tile, 0, sizeof tile);
        if (!test_glContext())
            return;
        for (TextureEntry &e : entries)
            image_destroy(&e.image);
        image_destroy(&background);
        image_destroy(&tile_dummy);
        image_destroy(&tile_matrix);
        options(1, 1, 1);
    }

    // The keys '1', '2' and '3' as the tick applies them.
    static void options(int smooth, int alpha, int texturing)
    {
        tile_optSmooth = (unsigned char)smooth;
        tile_optTexture = (unsigned char)texturing;
        tile_optAlpha = (unsigned char)alpha;
        if (alpha) {
            glEnable(GL_BLEND);
            glEnable(GL_ALPHA_TEST);
        } else {
            glDisable(GL_BLEND);
            glDisable(GL_ALPHA_TEST);
        }
    }

    static Frame frame()
    {
        testing::internal::CaptureStdout();
        main_render();
        testing::internal::GetCapturedStdout();
        return test_shownFrame;
    }
};

// Two views: straight down the rows, and turned and tilted so that tops
// and sides show.
Entity view(int which)
{
    Entity e{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {5, 3, 58}};
    if (which == 1) {
        e.position = Vector{15, 12, 56};
        entity_rotateY(&e, 14);
        entity_rotateX(&e, -14);
    }
    return e;
}

TEST_F(StateCache, EveryOptionDrawsTheSameFrameWithAndWithoutTheCache)
{
    // Without the cache, frame by frame; then the same frames in one run
    // with it, so that what it knows carries over each frame and toggle.
    std::vector<Frame> plain, cached;
    for (bool cache : {false, true}) {
        texture_cache(cache);
        for (int v = 0; v < 2; v++)
            for (int combo = 0; combo < 8; combo++) {
                camera = view(v);
                options(combo & 1, (combo >> 1) & 1, (combo >> 2) & 1);
                (cache ? cached : plain).push_back(frame());
            }
    }
    for (size_t i = 0; i < plain.size(); i++)
        EXPECT_EQ(differing(plain[i], cached[i]), 0u) << "view " << i / 8 << ", options " << i % 8;
    // The options do change the picture, so the comparison is not idle.
    EXPECT_GT(differing(plain[7], plain[6]), 1000u);  // smoothing
    EXPECT_GT(differing(plain[7], plain[5]), 1000u);  // blending and alpha test
    EXPECT_GT(differing(plain[7], plain[3]), 1000u);  // texturing
}

TEST_F(StateCache, EachSetLeavesWhatIssuingEverythingWould)
{
    texture_cache(true);
    Image made{};
    const struct {
        int image;  // entries[image], or -1 for none
        bool smooth;
        unsigned char grey, alpha;
        bool upload;  // a texture is made first, which binds it
    } steps[] = {
        {0, true, 255, 255, false}, {0, true, 255, 255, false}, {0, false, 127, 255, false},
        {1, true, 127, 127, false}, {0, false, 127, 127, false}, {0, false, 127, 127, true},
        {-1, true, 255, 255, false}, {0, true, 255, 255, false}, {0, true, 255, 255, true},
    };
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; i++) {
        SCOPED_TRACE(i);
        const auto &s = steps[i];
        if (s.upload) {
            if (made.textureId)
                image_destroy(&made);
            image_create(&made, 4, 4, 9, 9, 9);
        }
        const Image *image = s.image < 0 ? nullptr : &entries[s.image].image;
        texture_smooth(s.smooth);
        texture_color(s.grey, s.grey, s.grey);
        texture_alpha(s.alpha);
        texture_set(image);

        GLint bound = -1, v[4];
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ((GLuint)bound, image ? image->textureId : 0u);
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_EQ(colour[0], s.grey / 255.0f);
        EXPECT_EQ(colour[3], s.alpha / 255.0f);
        const GLenum names[4] = {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER,
                                 GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T};
        for (int k = 0; k < 4; k++)
            glGetTexParameteriv(GL_TEXTURE_2D, names[k], &v[k]);
        GLint filter = s.smooth ? GL_LINEAR : GL_NEAREST;
        EXPECT_EQ(std::vector<GLint>(v, v + 4),
                  (std::vector<GLint>{filter, filter, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE}));
    }
    image_destroy(&made);
}

}  // namespace
