// test_skeleton.cpp -- every error code prints its fixed line and exits 255; the value stack refuses to run over or under
#include "test_support.h"

#include "error.h"
#include "stack.h"

TEST(Error, CodesPrintTheirLineAndExit255)
{
    const struct { unsigned code; const char *line; } cases[] = {
        {0, "ERROR: A file handling error has occured"},
        {1, "ERROR: Program has run out of memory"},
        {2, "ERROR: Texture's too big to be allocated"},
        {3, "ERROR: Virtual stack overflow"},
        {4, "UNKNOWN ERROR: An unidentified error has occured"},
        {255, "UNKNOWN ERROR: An unidentified error has occured"},
        {256, "ERROR: A file handling error has occured"},  // taken modulo 256
    };
    for (const auto &c : cases) {
        EXPECT_EQ(error_message(c.code), std::string(c.line) + "\n") << c.code;
        EXPECT_ERROR_EXIT(error(c.code), c.code);
    }
}

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
