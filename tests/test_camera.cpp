// test_camera.cpp -- the view from a pose and the 2D overlay's guards and matrix
#include "test_support.h"

#include <string.h>
#include <GL/gl.h>

#include "camera.h"

namespace {

GLint integer(GLenum name)
{
    GLint v = -1;
    glGetIntegerv(name, &v);
    return v;
}

}  // namespace

TEST(Camera, LookFromAPose)
{
    REQUIRE_GL();
    glMatrixMode(GL_MODELVIEW);
    Entity e;
    entity_set(&e, 1, 2, 3);
    vector_set(&e.forward, 1, 0, 0);
    glLoadIdentity();
    camera_lookFrom(&e);
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    glLoadIdentity();
    // A point 5 ahead along +x lies 5 down the eye's -z.
    for (int r = 0; r < 3; r++)
        EXPECT_NEAR(m[r] * 6 + m[4 + r] * 2 + m[8 + r] * 3 + m[12 + r], r == 2 ? -5.0 : 0.0, 1e-5);
}

TEST(Camera, OverlayIsEnteredOnceAndRestores3D)
{
    REQUIRE_GL();
    ASSERT_EQ(PW / PH, 640.0f / 480.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -7);
    glEnable(GL_DEPTH_TEST);
    GLdouble before[2][16], m[2][16];
    glGetDoublev(GL_MODELVIEW_MATRIX, before[0]);
    glGetDoublev(GL_PROJECTION_MATRIX, before[1]);
    const GLint depths[2] = {integer(GL_MODELVIEW_STACK_DEPTH), integer(GL_PROJECTION_STACK_DEPTH)};

    camera_2D();
    camera_2D();
    EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), depths[0] + 1);
    EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), depths[1] + 1);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    // x 0..1.3333 maps to -1..1, y 0 (top)..1 (bottom) to 1..-1.
    glGetDoublev(GL_PROJECTION_MATRIX, m[1]);
    const double overlay[4][2] = {{0, 2 / 1.3333333}, {12, -1}, {5, -2}, {13, 1}};
    for (const auto &o : overlay)
        EXPECT_NEAR(m[1][(int)o[0]], o[1], 1e-6) << o[0];

    for (int i = 0; i < 2; i++) {  // the second leave does nothing
        camera_3D();
        EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), depths[0]);
        EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), depths[1]);
        EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
        glGetDoublev(GL_MODELVIEW_MATRIX, m[0]);
        glGetDoublev(GL_PROJECTION_MATRIX, m[1]);
        EXPECT_EQ(memcmp(before, m, sizeof m), 0);
        EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), i == 0);
        glDisable(GL_DEPTH_TEST);
    }
    glEnable(GL_DEPTH_TEST);

    // Before the first reshape the overlay is square rather than NaN.
    float pw = PW, ph = PH;
    PW = PH = 0;
    camera_2D();
    glGetDoublev(GL_PROJECTION_MATRIX, m[1]);
    EXPECT_NEAR(m[1][0], 2, 1e-6);
    camera_3D();
    PW = pw;
    PH = ph;
    glLoadIdentity();
}
