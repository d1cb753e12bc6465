// test_texture.cpp -- the texture render state, texture_set and billboard mode
#include "test_support.h"

#include <GL/gl.h>

#include "image.h"
#include "texture.h"

TEST(TextureState, StartsWhiteOpaqueAndOffThenKeepsWhatIsSet)
{
    const struct {
        void (*set)(bool);
        bool (*get)(void);
    } flags[] = {{texture_autoTransparent, texture_getAutoTransparent},
                 {texture_soften, texture_getSoften},
                 {texture_smooth, texture_getSmooth},
                 {texture_transparent, texture_getTransparent}};
    for (const auto &f : flags) {
        EXPECT_FALSE(f.get());
        f.set(true);
        EXPECT_TRUE(f.get());
        f.set(false);
        EXPECT_FALSE(f.get());
    }
    EXPECT_FALSE(texture_getEnable() || texture_getDoubleSided() || texture_getBillboard());

    unsigned char (*const colour[])(void) = {texture_getRed, texture_getGreen, texture_getBlue,
                                              texture_getAlpha, texture_getTransparentRed,
                                              texture_getTransparentGreen, texture_getTransparentBlue};
    const int start[] = {255, 255, 255, 255, 0, 0, 0};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(colour[i](), start[i]) << i;
    texture_alpha(128);
    texture_color(10, 20, 30);  // leaves the opacity alone
    texture_transparentColor(4, 5, 6);
    const int afterAll[] = {10, 20, 30, 128, 4, 5, 6};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(colour[i](), afterAll[i]) << i;
    void (*const setOne[])(unsigned char) = {texture_red, texture_green, texture_blue,
                                              texture_alpha, texture_transparentRed,
                                              texture_transparentGreen, texture_transparentBlue};
    for (int i = 0; i < 7; i++) {
        setOne[i]((unsigned char)(200 + i));
        EXPECT_EQ(colour[i](), 200 + i) << i;
    }
}

TEST(TextureState, EnableAndDoubleSidedSwitchGL)
{
    REQUIRE_GL();
    for (bool on : {true, false}) {
        texture_enable(on);
        texture_doubleSided(on);
        EXPECT_EQ(texture_getEnable(), on);
        EXPECT_EQ(texture_getDoubleSided(), on);
        EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), on);
        EXPECT_EQ(glIsEnabled(GL_CULL_FACE), !on);
    }
}

TEST(TextureState, SetAppliesTintBindFiltersAndClamp)
{
    REQUIRE_GL();
    GLuint names[2];
    glGenTextures(2, names);
    Image a{}, b{};
    a.textureId = names[0];
    b.textureId = names[1];
    GLint v;
    auto parameter = [&v](GLenum name) { glGetTexParameteriv(GL_TEXTURE_2D, name, &v); return v; };

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
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &v);
    EXPECT_EQ((GLuint)v, names[0]);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);

    // Filters belong to the texture bound: the first keeps its own.
    texture_smooth(false);
    texture_set(&b);
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
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, depth0 + 1);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; i++) {
        int column = i / 4, row = i % 4;
        float expected = column < 3 && row < 3 ? (column == row) : before[i];
        EXPECT_FLOAT_EQ(m[i], expected) << i;
    }

    texture_billboard(false);
    texture_billboard(false);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, depth0);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(memcmp(m, before, sizeof m), 0);
    glLoadIdentity();
}
