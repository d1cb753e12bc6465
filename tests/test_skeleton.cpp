// test_skeleton.cpp -- every error code prints its fixed line and exits 255; the value stack refuses to run over or under
#include "test_support.h"

#include "error.h"
#include "stack.h"

TEST(Error, CodesPrintTheirLineAndExit255)
{
    const char *lines[] = {"ERROR: A file handling error has occured", "ERROR: Program has run out of memory",
                           "ERROR: Texture's too big to be allocated", "ERROR: Virtual stack overflow",
                           "UNKNOWN ERROR: An unidentified error has occured"};
    for (unsigned code : {0, 1, 2, 3, 4, 255, 256})  // taken modulo 256
        EXPECT_EQ(error_message(code), std::string(lines[std::min(code % 256, 4u)]) + "\n") << code;
    EXPECT_ERROR_EXIT(error(259), 3);
}

TEST(Stack, OverflowAndUnderflowEndTheProcess)
{
    clear();
    push(nullptr, 4000);
    push(nullptr, 96);  // exactly full
    EXPECT_EQ(stack(STACK_SIZE), stack_data);
    EXPECT_ERROR_EXIT(push(nullptr, 1), 3);
    EXPECT_ERROR_EXIT(stack(-1), 3);  // above the array's end
    clear();
    push(nullptr, 8);
    // Sizes that would overflow or lower the level, and reaches below the bottom.
    for (int n : {0x7fffffff, -1})
        EXPECT_ERROR_EXIT(push(nullptr, n), 3) << n;
    for (int n : {12, -1})
        EXPECT_ERROR_EXIT(pop(nullptr, n), 3) << n;
    EXPECT_ERROR_EXIT(stack(9), 3);
}
