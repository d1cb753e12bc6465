// test_math.cpp -- vector arithmetic in place
#include <gtest/gtest.h>

#include <math.h>

#include "math.h"

namespace {

void expectVector(const Vector &v, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

}  // namespace

TEST(Vector, ComponentWiseOperationsWorkInPlace)
{
    Vector a, b;
    vector_set(&a, 1, 2, 3);
    vector_set(&b, 4, -5, 0.5f);
    vector_add(&a, &b);
    expectVector(a, 5, -3, 3.5f);
    vector_sub(&a, &b);
    expectVector(a, 1, 2, 3);
    vector_mul(&a, &b);
    expectVector(a, 4, -10, 1.5f);
    vector_div(&a, &b);
    expectVector(a, 1, 2, 3);
    vector_scale(&a, -2);
    expectVector(a, -2, -4, -6);
    vector_midpoint(&a, &b);
    expectVector(a, 1, -4.5f, -2.75f);
    vector_load(&a, &b);
    expectVector(a, 4, -5, 0.5f);
    expectVector(b, 4, -5, 0.5f);

    // The same vector as both operands.
    vector_add(&a, &a);
    expectVector(a, 8, -10, 1);
}

TEST(Vector, LengthsAndProducts)
{
    Vector v, w, out;
    vector_set(&v, 3, 0, 4);
    EXPECT_FLOAT_EQ(vector_magnitude(&v), 5);
    vector_normalize(&v);
    expectVector(v, 0.6f, 0, 0.8f);
    EXPECT_FLOAT_EQ(vector_magnitude(&v), 1);

    vector_set(&v, 1, 2, 3);
    vector_set(&w, -4, 5, 6);
    EXPECT_FLOAT_EQ(dot(&v, &w), 24);
    EXPECT_FLOAT_EQ(distance(&v, &w), sqrtf(25 + 9 + 9));
    EXPECT_EQ(distance(&v, &w), distance(&w, &v));

    Vector x, y;
    vector_set(&x, 1, 0, 0);
    vector_set(&y, 0, 1, 0);
    cross(&out, &x, &y);
    expectVector(out, 0, 0, 1);
    cross(&out, &y, &x);
    expectVector(out, 0, 0, -1);
    cross(&out, &v, &w);
    expectVector(out, 2 * 6 - 3 * 5, 3 * -4 - 1 * 6, 1 * 5 - 2 * -4);
}

TEST(Vector, ZeroLengthNormalisesToNonFinite)
{
    Vector v;
    vector_set(&v, 0, 0, 0);
    vector_normalize(&v);
    EXPECT_FALSE(isfinite(v.x));
    EXPECT_FALSE(isfinite(v.y));
    EXPECT_FALSE(isfinite(v.z));
}
