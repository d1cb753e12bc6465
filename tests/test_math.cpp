// test_math.cpp -- vector arithmetic in place
#include "test_support.h"

#include <math.h>

#include "math.h"

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
