// test_skeleton.cpp -- the error path and the window come up
#include "test_support.h"

#include <GL/gl.h>

#include "error.h"

TEST(Error, CodesPrintTheirLineAndExit255)
{
    EXPECT_ERROR_EXIT(error(0), 0);
    EXPECT_ERROR_EXIT(error(1), 1);
    EXPECT_ERROR_EXIT(error(2), 2);
    EXPECT_ERROR_EXIT(error(3), 3);
    EXPECT_ERROR_EXIT(error(4), 4);
    EXPECT_ERROR_EXIT(error(255), 4);
    EXPECT_ERROR_EXIT(error(256), 0);  // taken modulo 256
}

TEST(Window, ContextHas640By480Viewport)
{
    REQUIRE_GL();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
}
