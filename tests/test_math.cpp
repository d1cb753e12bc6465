// test_math.cpp -- vector arithmetic in place, polygon normals and the plane-side line
#include "test_support.h"

#include <math.h>

#include "math.h"
#include "poly.h"
#include "stack.h"

TEST(Vector, ComponentWiseOperationsWorkInPlace)
{
    Vector a = {1, 2, 3}, b = {4, -5, 0.5f};
    vector_mul(&a, &b);
    EXPECT_VECTOR(a, 4, -10, 1.5f);
    vector_div(&a, &b);
    vector_sub(&a, &b);
    EXPECT_VECTOR(a, -3, 7, 2.5f);
    vector_midpoint(&a, &b);
    EXPECT_VECTOR(a, 0.5f, 1, 1.5f);
    vector_add(&a, &a);  // the same vector as both operands doubles it
    EXPECT_VECTOR(a, 1, 2, 3);
}

TEST(Vector, LengthsAndProducts)
{
    Vector v = {3, 0, 4}, u = {1, 2, 3}, w = {-4, 5, 6}, zero = {0, 0, 0}, out;
    EXPECT_FLOAT_EQ(vector_magnitude(&v), 5);
    vector_normalize(&v);
    EXPECT_VECTOR(v, 0.6f, 0, 0.8f);
    EXPECT_FLOAT_EQ(dot(&u, &w), 24);
    EXPECT_FLOAT_EQ(distance(&u, &w), sqrtf(43));
    cross(&out, &u, &w);
    EXPECT_VECTOR(out, -3, -18, 13);
    vector_normalize(&zero);  // no error, just non-finite components
    EXPECT_FALSE(isfinite(zero.x));
}

TEST(Poly, NormalsAndThePlaneSideLine)
{
    clear();
    Poly p;
    // Twelve numbers for a quad; the fourth vertex does not enter the normal.
    poly_create(&p, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 2.0, 0.0, 2.0, 2.0, 5.0, 5.0, 5.0);
    EXPECT_EQ(p.triangle, 0);
    EXPECT_VECTOR(p.p4, 5, 5, 5);
    EXPECT_VECTOR(p.normal, 1, 0, 0);
    // Points on one line: a non-finite normal, no error.
    poly_create(&p, 1, 0.0, 0.0, 0.0, 1.0, 1.0, 1.0, 2.0, 2.0, 2.0);
    EXPECT_FALSE(isfinite(p.normal.x));

    poly_create(&p, 1, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    EXPECT_EQ(p.triangle, 1);
    EXPECT_VECTOR(p.p3, 0, 1, 0);
    EXPECT_VECTOR(p.normal, 0, 0, 1);
    const struct { Vector point, move; const char *line; } cases[] = {
        {{0, 0, 2}, {0, 0, -3}, "1.000000, -1.000000\n"},
        {{5, 5, 0}, {0, 0, 1}, "0.000000, 1.000000\n"},
        {{0, 0, -1}, {7, 7, 0}, "-1.000000, -1.000000\n"},
        {{NAN, 0, 0}, {0, 0, 0}, "-1.000000, -1.000000\n"},  // NaN counts as below
    };
    for (const auto &c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(poly_checkVector(&p, &c.point, &c.move), 1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line);
    }
    EXPECT_EQ(stack_offset, 0);
}
