// test_camera.cpp -- the 2D overlay's guards and matrix
#include "test_support.h"

#include <string.h>
#include <GL/gl.h>

#include "camera.h"

namespace {

// Both matrix stacks' depths, the matrix mode and the depth test.
std::vector<GLint> state(void)
{
    std::vector<GLint> v = {-1, -1, -1, glIsEnabled(GL_DEPTH_TEST)};
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &v[0]);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &v[1]);
    glGetIntegerv(GL_MATRIX_MODE, &v[2]);
    return v;
}

}  // namespace

TEST(Camera, OverlayIsEnteredOnceAndRestores3D)
{
    REQUIRE_GL();
    glTranslatef(0, 0, -7);  // the window starts in modelview mode
    glEnable(GL_DEPTH_TEST);
    GLdouble before[2][16], m[2][16];
    glGetDoublev(GL_MODELVIEW_MATRIX, before[0]);
    glGetDoublev(GL_PROJECTION_MATRIX, before[1]);
    const std::vector<GLint> s = state();
    camera_2D();
    camera_2D();
    EXPECT_EQ(state(), (std::vector<GLint>{s[0] + 1, s[1] + 1, GL_MODELVIEW, GL_FALSE}));
    // In the 640 x 480 window x 0..1.3333 maps to -1..1, y 0 (top)..1 (bottom) to 1..-1.
    glGetDoublev(GL_PROJECTION_MATRIX, m[1]);
    const double overlay[4][2] = {{0, 2 / 1.3333333}, {12, -1}, {5, -2}, {13, 1}};
    for (const auto &o : overlay)
        EXPECT_NEAR(m[1][(int)o[0]], o[1], 1e-6) << o[0];
    for (int i = 0; i < 2; i++) {  // the second leave does nothing
        camera_3D();
        glGetDoublev(GL_MODELVIEW_MATRIX, m[0]);
        glGetDoublev(GL_PROJECTION_MATRIX, m[1]);
        EXPECT_EQ(memcmp(before, m, sizeof m), 0);
        EXPECT_EQ(state(), (std::vector<GLint>{s[0], s[1], GL_MODELVIEW, i == 0}));
        glDisable(GL_DEPTH_TEST);
    }
    // Before the first reshape the overlay is square rather than NaN.
    PW = PH = 0;
    camera_2D();
    glGetDoublev(GL_PROJECTION_MATRIX, m[1]);
    EXPECT_NEAR(m[1][0], 2, 1e-6);
    camera_3D();
    PW = 640, PH = 480;
}
