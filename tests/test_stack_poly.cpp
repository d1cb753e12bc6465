// test_stack_poly.cpp -- the value stack and the polygon library
#include "test_support.h"

#include <math.h>

#include "poly.h"
#include "stack.h"

TEST(Stack, OverflowAndUnderflowEndTheProcess)
{
    clear();
    push(nullptr, 4000);
    push(nullptr, 96);  // exactly full
    EXPECT_EQ(stack(0), stack_data + STACK_SIZE);
    EXPECT_EQ(stack(STACK_SIZE), stack_data);
    EXPECT_ERROR_EXIT(push(nullptr, 1), 3);
    EXPECT_ERROR_EXIT(stack(STACK_SIZE + 1), 3);
    EXPECT_ERROR_EXIT(stack(-1), 3);  // above the array's end
    clear();
    EXPECT_ERROR_EXIT(push(nullptr, STACK_SIZE + 1), 3);
    EXPECT_ERROR_EXIT(push(nullptr, 0x7fffffff), 3);  // no overflow of the level
    EXPECT_ERROR_EXIT(push(nullptr, -1), 3);          // would lower the level
    EXPECT_ERROR_EXIT(pop(nullptr, 1), 3);
    EXPECT_ERROR_EXIT(stack(1), 3);
    push(nullptr, 8);
    EXPECT_ERROR_EXIT(pop(nullptr, 12), 3);
    EXPECT_ERROR_EXIT(pop(nullptr, -1), 3);
}

TEST(Stack, ItemsAreAddressedFromTheTop)
{
    clear();
    stack_data[0] = 0xAB;
    push(nullptr, 12);  // zero-filled
    EXPECT_EQ(stack_data[0], 0);
    Vector a = {1, 2, 3}, b = {4, 5, 6}, out;
    clear();
    push(&a, 12);
    push(&b, 12);
    EXPECT_EQ(((Vector *)stack(12))->x, 4.0f);
    ((Vector *)stack(24))->y = 9;  // worked on in place
    pop(&out, 12);
    EXPECT_EQ(out.z, 6.0f);
    pop(&out, 12);
    EXPECT_VECTOR(out, 1, 9, 3);
    EXPECT_EQ(stack_offset, 0);
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
