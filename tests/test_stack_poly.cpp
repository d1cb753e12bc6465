// test_stack_poly.cpp -- the value stack and the polygon library
#include "test_support.h"

#include <math.h>

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
        {{NAN, 0, 0}, {0, 0, 0}, "-1.000000, -1.000000\n"},  // NaN counts as below
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
}
