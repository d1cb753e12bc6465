// test_skeleton.cpp -- every error code prints its fixed line and exits 255
#include "test_support.h"

#include "error.h"

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
