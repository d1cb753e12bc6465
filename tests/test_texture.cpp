// test_texture.cpp -- the texture render state, texture_set and billboard mode
#include "test_support.h"

#include <GL/gl.h>

#include "image.h"
#include "texture.h"

// Runs first: nothing has set the state yet.
TEST(TextureState, StartsWhiteOpaqueNearestAndOff)
{
    EXPECT_EQ(texture_getRed(), 255);
    EXPECT_EQ(texture_getGreen(), 255);
    EXPECT_EQ(texture_getBlue(), 255);
    EXPECT_EQ(texture_getAlpha(), 255);
    EXPECT_EQ(texture_getTransparentRed(), 0);
    EXPECT_EQ(texture_getTransparentGreen(), 0);
    EXPECT_EQ(texture_getTransparentBlue(), 0);
    EXPECT_FALSE(texture_getSmooth());
    EXPECT_FALSE(texture_getTransparent());
    EXPECT_FALSE(texture_getAutoTransparent());
    EXPECT_FALSE(texture_getSoften());
    EXPECT_FALSE(texture_getEnable());
    EXPECT_FALSE(texture_getDoubleSided());
    EXPECT_FALSE(texture_getBillboard());
}

TEST(TextureState, SettersAndGetters)
{
    texture_alpha(128);
    texture_color(10, 20, 30);
    EXPECT_EQ(texture_getAlpha(), 128);  // colour leaves opacity alone
    EXPECT_EQ(texture_getRed(), 10);
    EXPECT_EQ(texture_getGreen(), 20);
    EXPECT_EQ(texture_getBlue(), 30);
    texture_red(1);
    texture_green(2);
    texture_blue(3);
    EXPECT_EQ(texture_colorR + texture_colorG * 10 + texture_colorB * 100, 321);

    texture_transparentColor(4, 5, 6);
    EXPECT_EQ(texture_getTransparentRed(), 4);
    EXPECT_EQ(texture_getTransparentGreen(), 5);
    EXPECT_EQ(texture_getTransparentBlue(), 6);
    texture_transparentRed(7);
    texture_transparentGreen(8);
    texture_transparentBlue(9);
    EXPECT_EQ(texture_transparencyR + texture_transparencyG * 10 + texture_transparencyB * 100, 987);

    struct Flag {
        void (*set)(bool);
        bool (*get)(void);
        unsigned char *global;
    };
    const Flag flags[] = {
        {texture_autoTransparent, texture_getAutoTransparent, &texture_autoTransparency},
        {texture_soften, texture_getSoften, &texture_softened},
        {texture_smooth, texture_getSmooth, &texture_smoothed},
        {texture_transparent, texture_getTransparent, &texture_transparency},
    };
    for (const Flag &f : flags) {
        f.set(true);
        EXPECT_TRUE(f.get());
        EXPECT_EQ(*f.global, 1);
        f.set(false);
        EXPECT_FALSE(f.get());
        EXPECT_EQ(*f.global, 0);
    }
}

TEST(TextureState, EnableAndDoubleSidedSwitchGL)
{
    REQUIRE_GL();
    texture_enable(true);
    EXPECT_TRUE(texture_getEnable());
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    texture_enable(false);
    EXPECT_FALSE(texture_getEnable());
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    texture_doubleSided(true);
    EXPECT_TRUE(texture_getDoubleSided());
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    texture_doubleSided(false);
    EXPECT_FALSE(texture_getDoubleSided());
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
}

namespace {

GLint parameter(GLenum name)
{
    GLint v = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &v);
    return v;
}

}  // namespace

TEST(TextureState, SetAppliesTintBindFiltersAndClamp)
{
    REQUIRE_GL();
    GLuint names[2];
    glGenTextures(2, names);
    Image a{}, b{};
    a.textureId = names[0];
    b.textureId = names[1];

    texture_color(10, 20, 30);
    texture_alpha(128);
    texture_smooth(true);
    texture_set(&a);
    GLfloat color[4];
    glGetFloatv(GL_CURRENT_COLOR, color);
    EXPECT_FLOAT_EQ(color[0], 10 / 255.0f);
    EXPECT_FLOAT_EQ(color[1], 20 / 255.0f);
    EXPECT_FLOAT_EQ(color[2], 30 / 255.0f);
    EXPECT_FLOAT_EQ(color[3], 128 / 255.0f);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ((GLuint)bound, names[0]);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);

    // Parameters belong to the texture bound: the first keeps its filters.
    texture_smooth(false);
    texture_color(255, 255, 255);
    texture_alpha(255);
    texture_set(&b);
    glGetFloatv(GL_CURRENT_COLOR, color);
    EXPECT_FLOAT_EQ(color[0], 1.0f);
    EXPECT_FLOAT_EQ(color[3], 1.0f);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, names[0]);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);

    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    glDeleteTextures(2, names);
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

    texture_billboard(true);
    texture_billboard(true);
    EXPECT_TRUE(texture_getBillboard());
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, depth0 + 1);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int column = 0; column < 4; column++)
        for (int row = 0; row < 4; row++) {
            float expected = column < 3 && row < 3 ? (column == row ? 1.0f : 0.0f)
                                                   : before[column * 4 + row];
            EXPECT_FLOAT_EQ(m[column * 4 + row], expected) << column << "," << row;
        }

    texture_billboard(false);
    texture_billboard(false);
    EXPECT_FALSE(texture_getBillboard());
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, depth0);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(m[i], before[i]) << i;
    glLoadIdentity();
}
