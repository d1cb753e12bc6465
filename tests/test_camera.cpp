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
    // A point 5 ahead along +x lies 5 down the eye's -z.
    const double p[3] = {6, 2, 3};
    for (int r = 0; r < 3; r++)
        EXPECT_NEAR(m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r],
                    r == 2 ? -5.0 : 0.0, 1e-5) << r;
    glLoadIdentity();
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
    GLint projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
    GLint modelviewDepth = integer(GL_MODELVIEW_STACK_DEPTH);

    camera_2D();
    camera_2D();
    EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projectionDepth + 1);
    EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), modelviewDepth + 1);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    // x 0..1.3333 maps to -1..1, y 0 (top)..1 (bottom) to 1..-1.
    glGetDoublev(GL_PROJECTION_MATRIX, m[1]);
    EXPECT_NEAR(m[1][0], 2 / 1.3333333, 1e-6);
    EXPECT_NEAR(m[1][12], -1, 1e-6);
    EXPECT_NEAR(m[1][5], -2, 1e-6);
    EXPECT_NEAR(m[1][13], 1, 1e-6);

    for (int i = 0; i < 2; i++) {  // the second leave does nothing
        camera_3D();
        EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projectionDepth);
        EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), modelviewDepth);
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
