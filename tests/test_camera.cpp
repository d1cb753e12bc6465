// test_camera.cpp -- the view from a pose and the 2D overlay's guards and matrix
#include "test_support.h"

#include <string.h>
#include <GL/gl.h>

#include "camera.h"

namespace {

struct Matrices {
    GLdouble modelview[16], projection[16];
};

Matrices current()
{
    Matrices m;
    glGetDoublev(GL_MODELVIEW_MATRIX, m.modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, m.projection);
    return m;
}

GLint integer(GLenum name)
{
    GLint v = -1;
    glGetIntegerv(name, &v);
    return v;
}

// Where a point lands in normalised device coordinates.
void toDevice(const Matrices &m, double x, double y, double z, double out[3])
{
    double in[4] = {x, y, z, 1}, eye[4], clip[4];
    for (int r = 0; r < 4; r++)
        eye[r] = m.modelview[r] * in[0] + m.modelview[4 + r] * in[1] +
                 m.modelview[8 + r] * in[2] + m.modelview[12 + r] * in[3];
    for (int r = 0; r < 4; r++)
        clip[r] = m.projection[r] * eye[0] + m.projection[4 + r] * eye[1] +
                  m.projection[8 + r] * eye[2] + m.projection[12 + r] * eye[3];
    for (int i = 0; i < 3; i++)
        out[i] = clip[i] / clip[3];
}

}  // namespace

TEST(Camera, LookFromAPose)
{
    REQUIRE_GL();
    glMatrixMode(GL_MODELVIEW);
    Entity e;
    entity_set(&e, 0, 0, 0);
    e.left.x = -1;
    e.forward.z = -1;
    glLoadIdentity();
    camera_lookFrom(&e);
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(m[i], i % 5 == 0 ? 1.0 : 0.0, 1e-6) << i;

    // From (1, 2, 3) looking along +x: a point 5 ahead is 5 down the eye's -z.
    entity_set(&e, 1, 2, 3);
    vector_set(&e.forward, 1, 0, 0);
    glLoadIdentity();
    camera_lookFrom(&e);
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    const double p[3] = {6, 2, 3};
    for (int r = 0; r < 3; r++) {
        double v = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
        EXPECT_NEAR(v, r == 2 ? -5.0 : 0.0, 1e-5) << r;
    }
    glLoadIdentity();
}

TEST(Camera, OverlaySpansTheAspectRatioAndRestores3D)
{
    REQUIRE_GL();
    ASSERT_EQ(PW, 640.0f);
    ASSERT_EQ(PH, 480.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -7);
    glEnable(GL_DEPTH_TEST);
    Matrices before = current();
    GLint projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
    GLint modelviewDepth = integer(GL_MODELVIEW_STACK_DEPTH);

    camera_2D();
    camera_2D();
    EXPECT_EQ(camera_ortho, 1);
    EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projectionDepth + 1);
    EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), modelviewDepth + 1);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));

    // The top-left corner is (0, 0), the bottom-right (640 / 480, 1).
    Matrices overlay = current();
    double d[3];
    toDevice(overlay, 0, 0, 0, d);
    EXPECT_NEAR(d[0], -1, 1e-6);
    EXPECT_NEAR(d[1], 1, 1e-6);
    toDevice(overlay, 1.3333333, 1, 0, d);
    EXPECT_NEAR(d[0], 1, 1e-6);
    EXPECT_NEAR(d[1], -1, 1e-6);

    camera_3D();
    EXPECT_EQ(camera_ortho, 0);
    EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projectionDepth);
    EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), modelviewDepth);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    Matrices after = current();
    EXPECT_EQ(memcmp(&before, &after, sizeof before), 0);

    // Leaving when not in the overlay touches nothing.
    glDisable(GL_DEPTH_TEST);
    camera_3D();
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projectionDepth);
    after = current();
    EXPECT_EQ(memcmp(&before, &after, sizeof before), 0);
    glEnable(GL_DEPTH_TEST);
    glLoadIdentity();
}

TEST(Camera, OverlayBeforeTheFirstReshapeIsSquare)
{
    REQUIRE_GL();
    float pw = PW, ph = PH;
    PW = PH = 0;
    camera_2D();
    double d[3];
    toDevice(current(), 1, 1, 0, d);
    EXPECT_NEAR(d[0], 1, 1e-6);
    EXPECT_NEAR(d[1], -1, 1e-6);
    camera_3D();
    PW = pw;
    PH = ph;
}
