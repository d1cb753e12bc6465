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
    EXPECT_EQ(stack(STACK_SIZE), stack_data);
    EXPECT_ERROR_EXIT(push(nullptr, 1), 3);
    EXPECT_ERROR_EXIT(stack(STACK_SIZE + 1), 3);
    EXPECT_ERROR_EXIT(stack(-1), 3);  // above the array's end
    clear();
    push(nullptr, 8);
    // Sizes that would overflow or lower the level, and reaches below the bottom.
    for (int n : {STACK_SIZE + 1, 0x7fffffff, -1})
        EXPECT_ERROR_EXIT(push(nullptr, n), 3) << n;
    for (int n : {12, -1})
        EXPECT_ERROR_EXIT(pop(nullptr, n), 3) << n;
    EXPECT_ERROR_EXIT(stack(9), 3);
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
