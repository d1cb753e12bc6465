// test_texture.cpp -- the texture render state and billboard mode
#include "test_support.h"

#include <GL/gl.h>

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
        EXPECT_EQ((std::vector<bool>{texture_getEnable(), texture_getDoubleSided(),
                                     glIsEnabled(GL_TEXTURE_2D) == GL_TRUE, glIsEnabled(GL_CULL_FACE) == GL_FALSE}),
                  std::vector<bool>(4, on));
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
