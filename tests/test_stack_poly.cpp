// test_stack_poly.cpp -- the value stack and the polygon library
#include "test_support.h"

#include <math.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include "poly.h"
#include "stack.h"

TEST(Stack, FillsToExactlyItsCapacity)
{
    clear();
    push(nullptr, 4000);
    push(nullptr, 96);
    EXPECT_EQ(stack_offset, STACK_SIZE);
    EXPECT_EQ(stack(0), stack_data + STACK_SIZE);
    EXPECT_EQ(stack(STACK_SIZE), stack_data);
    EXPECT_ERROR_EXIT(push(nullptr, 1), 3);
    clear();
    EXPECT_ERROR_EXIT(push(nullptr, STACK_SIZE + 1), 3);
    EXPECT_ERROR_EXIT(push(nullptr, 0x7fffffff), 3);  // no overflow of the level
    EXPECT_ERROR_EXIT(push(nullptr, -1), 3);          // would lower the level
}

TEST(Stack, ItemsAreAddressedFromTheTop)
{
    clear();
    stack_data[0] = 0xAB;
    push(nullptr, 12);
    EXPECT_EQ(stack(12), stack_data);
    EXPECT_EQ(stack_data[0], 0);

    Vector a, b, out;
    vector_set(&a, 1, 2, 3);
    vector_set(&b, 4, 5, 6);
    clear();
    push(&a, 12);
    push(&b, 12);
    EXPECT_EQ(((Vector *)stack(12))->x, 4.0f);
    EXPECT_EQ(((Vector *)stack(24))->x, 1.0f);
    ((Vector *)stack(24))->y = 9;  // worked on in place
    pop(&out, 12);
    EXPECT_EQ(out.z, 6.0f);
    pop(&out, 12);
    EXPECT_EQ(out.y, 9.0f);
    EXPECT_EQ(stack_offset, 0);

    // A push may copy from inside the stack itself.
    push(&a, 12);
    push(stack(12), 12);
    EXPECT_EQ(((Vector *)stack(12))->z, 3.0f);
    clear();
}

TEST(Stack, UnderflowAndLooksBelowTheBottomEnd)
{
    clear();
    push(nullptr, 8);
    EXPECT_ERROR_EXIT(pop(nullptr, 12), 3);
    EXPECT_ERROR_EXIT(pop(nullptr, -1), 3);
    EXPECT_ERROR_EXIT(stack(9), 3);
    EXPECT_ERROR_EXIT(stack(-STACK_SIZE), 3);  // above the array's end
    clear();
    EXPECT_ERROR_EXIT(stack(1), 3);
    EXPECT_ERROR_EXIT(pop(nullptr, 1), 3);
}

TEST(Poly, TriangleNormalAndStackBalance)
{
    clear();
    Poly p;
    poly_create(&p, 1, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    EXPECT_EQ(p.triangle, 1);
    EXPECT_EQ(p.p1.x, 1.0f);
    EXPECT_EQ(p.p3.y, 1.0f);
    EXPECT_FLOAT_EQ(p.normal.x, 0);
    EXPECT_FLOAT_EQ(p.normal.y, 0);
    EXPECT_FLOAT_EQ(p.normal.z, 1);
    EXPECT_EQ(stack_offset, 0);

    // Twelve numbers for a quad; the fourth vertex does not enter the normal.
    poly_create(&p, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 2.0, 0.0, 2.0, 2.0, 5.0, 5.0, 5.0);
    EXPECT_EQ(p.triangle, 0);
    EXPECT_EQ(p.p4.x, 5.0f);
    EXPECT_FLOAT_EQ(p.normal.x, 1);
    EXPECT_FLOAT_EQ(p.normal.y, 0);
    EXPECT_FLOAT_EQ(p.normal.z, 0);

    // Points on one line: a non-finite normal, no error.
    poly_create(&p, 1, 0.0, 0.0, 0.0, 1.0, 1.0, 1.0, 2.0, 2.0, 2.0);
    EXPECT_FALSE(isfinite(p.normal.x));
    EXPECT_EQ(stack_offset, 0);
}

TEST(Poly, CheckVectorPrintsTheSidesOfThePlane)
{
    clear();
    Poly p;
    poly_create(&p, 1, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    Vector point, move;
    const struct { float p[3], m[3]; const char *line; } cases[] = {
        {{0, 0, 2}, {0, 0, -3}, "1.000000, -1.000000\n"},
        {{5, 5, 0}, {0, 0, 1}, "0.000000, 1.000000\n"},
        {{0, 0, -1}, {7, 7, 0}, "-1.000000, -1.000000\n"},
    };
    for (const auto &c : cases) {
        vector_set(&point, c.p[0], c.p[1], c.p[2]);
        vector_set(&move, c.m[0], c.m[1], c.m[2]);
        testing::internal::CaptureStdout();
        int result = poly_checkVector(&p, &point, &move);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line);
        EXPECT_EQ(result, 1);
    }
    EXPECT_EQ(stack_offset, 0);

    // A NaN side counts as below the plane.
    vector_set(&point, NAN, 0, 0);
    testing::internal::CaptureStdout();
    poly_checkVector(&p, &point, &move);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "-1.000000, -1.000000\n");
}

namespace {

// Whether the point (x, y, -5) of the last drawing came out red.
bool drawnAt(float x, float y)
{
    GLdouble modelview[16], projection[16], wx, wy, wz;
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluProject(x, y, -5, modelview, projection, viewport, &wx, &wy, &wz);
    unsigned char rgb[3];
    glReadPixels((GLint)wx, (GLint)wy, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return rgb[0] > 128 && rgb[1] < 128;
}

void drawAlone(const Poly *poly)
{
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    poly_draw(poly);
}

}  // namespace

// The unit triangle covers the corner near the origin only; the unit quad
// covers the far corner as well.
TEST(Poly, DrawsTrianglesAndQuads)
{
    REQUIRE_GL();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1, 0, 0);

    Poly tri, quad;
    poly_create(&tri, 1, 0.0, 0.0, -5.0, 1.0, 0.0, -5.0, 0.0, 1.0, -5.0);
    poly_create(&quad, 0, 0.0, 0.0, -5.0, 1.0, 0.0, -5.0, 1.0, 1.0, -5.0, 0.0, 1.0, -5.0);
    drawAlone(&tri);
    EXPECT_TRUE(drawnAt(0.2f, 0.2f));
    EXPECT_FALSE(drawnAt(0.8f, 0.8f));
    drawAlone(&quad);
    EXPECT_TRUE(drawnAt(0.2f, 0.2f));
    EXPECT_TRUE(drawnAt(0.8f, 0.8f));
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    glPopAttrib();
}
