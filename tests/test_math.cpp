// test_math.cpp -- vector arithmetic in place, polygon normals and the plane-side line
#include "test_support.h"

#include <math.h>

#include "poly.h"
#include "stack.h"

TEST(Vector, ArithmeticInPlaceLengthsAndProducts)
{
    Vector a = {1, 2, 3}, b = {4, -5, 0.5f}, v = {3, 0, 4}, w = {-4, 5, 6}, zero = {0, 0, 0}, out;
    vector_mul(&a, &b);       // 4, -10, 1.5
    vector_div(&a, &b);       // back to 1, 2, 3
    vector_sub(&a, &b);       // -3, 7, 2.5
    vector_midpoint(&a, &b);  // 0.5, 1, 1.5
    vector_add(&a, &a);       // the same vector as both operands doubles it
    EXPECT_VECTOR(a, 1, 2, 3);
    EXPECT_FLOAT_EQ(vector_magnitude(&v), 5);
    vector_normalize(&v);
    EXPECT_VECTOR(v, 0.6f, 0, 0.8f);
    EXPECT_EQ((std::vector<float>{dot(&a, &w), distance(&a, &w)}), (std::vector<float>{24, sqrtf(43)}));
    cross(&out, &a, &w);
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
    poly_create(&p, 1, 0.0, 0.0, 0.0, 1.0, 1.0, 1.0, 2.0, 2.0, 2.0);  // points on one line: no error
    EXPECT_FALSE(isfinite(p.normal.x));

    poly_create(&p, 1, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    EXPECT_EQ(p.triangle, 1);
    EXPECT_VECTOR(p.normal, 0, 0, 1);
    const struct { Vector point, move; const char *line; } cases[] = {
        {{0, 0, 2}, {0, 0, -3}, "1.000000, -1.000000\n"},
        {{5, 5, 0}, {0, 0, 1}, "0.000000, 1.000000\n"},
        {{NAN, 0, 0}, {7, 7, -1}, "-1.000000, -1.000000\n"},  // NaN counts as below
    };
    for (const auto &c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(poly_checkVector(&p, &c.point, &c.move), 1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line);
    }
    EXPECT_EQ(stack_offset, 0);
}
