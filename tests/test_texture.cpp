// test_texture.cpp -- the texture render state, texture_set and billboard mode
#include "test_support.h"

#include <string.h>
#include <GL/gl.h>

#include "image.h"
#include "texture.h"

TEST(TextureState, StartsWhiteOpaqueAndOffThenKeepsWhatIsSet)
{
    const struct { void (*set)(bool); bool (*get)(void); } flags[] = {
        {texture_autoTransparent, texture_getAutoTransparent}, {texture_soften, texture_getSoften},
        {texture_smooth, texture_getSmooth}, {texture_transparent, texture_getTransparent}};
    for (const auto &f : flags) {
        EXPECT_FALSE(f.get());
        f.set(true);
        EXPECT_TRUE(f.get());
        f.set(false);
        EXPECT_FALSE(f.get());
    }
    EXPECT_FALSE(texture_getEnable() || texture_getDoubleSided() || texture_getBillboard());

    unsigned char (*const get[])(void) = {texture_getRed, texture_getGreen, texture_getBlue,
                                          texture_getAlpha, texture_getTransparentRed,
                                          texture_getTransparentGreen, texture_getTransparentBlue};
    void (*const set[])(unsigned char) = {texture_red, texture_green, texture_blue, texture_alpha,
                                          texture_transparentRed, texture_transparentGreen,
                                          texture_transparentBlue};
    const int start[] = {255, 255, 255, 255, 0, 0, 0}, afterAll[] = {10, 20, 30, 128, 4, 5, 6};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(get[i](), start[i]) << i;
    texture_alpha(128);
    texture_color(10, 20, 30);  // leaves the opacity alone
    texture_transparentColor(4, 5, 6);
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(get[i](), afterAll[i]) << i;
        set[i]((unsigned char)(200 + i));
        EXPECT_EQ(get[i](), 200 + i) << i;
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
    const float tint[4] = {10, 20, 30, 128};
    for (int i = 0; i < 4; i++)
        EXPECT_FLOAT_EQ(color[i], tint[i] / 255.0f) << i;
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
