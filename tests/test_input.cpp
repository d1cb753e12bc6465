// test_input.cpp -- key codes, locks, resets, mouse buttons and the pointer
#include "test_support.h"

#include <string.h>
#include <unistd.h>
#include <GL/freeglut.h>

#include "input.h"

namespace {

void clearInput()
{
    memset(input_button, 0, sizeof input_button);
    memset(mouse_button, 0, sizeof mouse_button);
    input_unlockAll();
}

}  // namespace

TEST(Input, EveryKeyReadsReleasedUntilUnlocked)
{
    clearInput();
    input_lockAll();
    input_pressKey('q', 0, 0);
    input_pressSKey(GLUT_KEY_LEFT, 0, 0);
    for (int code = 0; code < INPUT_CODES; code++)
        ASSERT_EQ(input_check((unsigned short)code), 0) << code;
    EXPECT_EQ(input_getLock('q'), 1);

    // A key held while locked reads down the moment it is unlocked.
    input_unlock('q');
    EXPECT_EQ(input_getLock('q'), 0);
    EXPECT_EQ(input_check('q'), 1);
    EXPECT_EQ(input_check(293), 0);
    input_unlockAll();
    EXPECT_EQ(input_check(293), 1);

    // Locking neither consumes the press nor stops releases being recorded.
    input_lock('q');
    input_releaseKey('q', 0, 0);
    input_unlock('q');
    EXPECT_EQ(input_check('q'), 0);

    // A reset consumes the press until the next one (or a key repeat).
    input_pressKey(' ', 0, 0);
    input_reset(' ');
    EXPECT_EQ(input_check(' '), 0);
    input_pressKey(' ', 0, 0);  // key repeat or a new press
    EXPECT_EQ(input_check(' '), 1);

}

TEST(Input, SpecialKeysHaveTheirOwnCodes)
{
    clearInput();
    EXPECT_EQ(input_specialCode(GLUT_KEY_LEFT), 293);
    EXPECT_EQ(input_specialCode(GLUT_KEY_F1), 368);
    EXPECT_EQ(input_specialCode(GLUT_KEY_F12), 379);
    EXPECT_EQ(input_specialCode(318), 511);  // the last code that fits
    EXPECT_EQ(input_specialCode(319), -1);
    EXPECT_EQ(input_specialCode(-367), -1);
    EXPECT_EQ(input_specialCode(2147483647), -1);

    input_pressSKey(GLUT_KEY_LEFT, 0, 0);
    input_pressSKey(GLUT_KEY_F1, 0, 0);
    EXPECT_EQ(input_check(293), 1);
    EXPECT_EQ(input_check(368), 1);
    EXPECT_EQ(input_check(100), 0);  // 'd'
    EXPECT_EQ(input_check(1), 0);
    input_releaseSKey(GLUT_KEY_LEFT, 0, 0);
    EXPECT_EQ(input_check(293), 0);

    // Keys beyond the code space are dropped, and codes beyond it read up.
    input_pressSKey(400, 0, 0);
    input_pressSKey(-5, 0, 0);
    input_releaseSKey(GLUT_KEY_F1, 0, 0);
    for (int code = 0; code < INPUT_CODES; code++)
        ASSERT_EQ(input_button[code], 0) << code;
    EXPECT_EQ(input_check(600), 0);
    EXPECT_EQ(input_getLock(600), 1);
    input_reset(600);
    input_unlock(600);
}

TEST(Mouse, ClickRecordsPositionAndButton)
{
    REQUIRE_GL();
    clearInput();
    input_mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 12, 34);
    EXPECT_EQ(mouse_getX(), 12);
    EXPECT_EQ(mouse_getY(), 34);
    EXPECT_EQ(mouse_check(GLUT_LEFT_BUTTON), 1);
    input_mouse(4, GLUT_DOWN, 50, 60);  // a wheel step
    mouse_reset(4);
    EXPECT_EQ(mouse_check(4), 0);

    // Buttons beyond the table still move the pointer but set no flag.
    unsigned char before[MOUSE_BUTTONS];
    memcpy(before, mouse_button, sizeof before);
    input_mouse(-1, GLUT_DOWN, 3, 4);
    input_mouse(MOUSE_BUTTONS, GLUT_DOWN, 5, 6);
    EXPECT_EQ(memcmp(before, mouse_button, sizeof before), 0);
    EXPECT_EQ(mouse_getY(), 6);
    EXPECT_EQ(mouse_check(255), 0);
}

TEST(Mouse, PointerWorldPointComesFromTheDepthBuffer)
{
    REQUIRE_GL();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_DEPTH_BUFFER_BIT);  // depth 1: the far plane everywhere
    mouse_move(320, 240);
    Vector v = mouse_getVector();
    EXPECT_NEAR(v.x, 0.0f, 1.0f);
    EXPECT_NEAR(v.y, 0.0f, 1.0f);
    EXPECT_NEAR(v.z, -4000.0f, 1.0f);
}

// The X server reports a warp as pointer motion, so mouse_origin leaves
// mouse_x and mouse_y to the motion callback.
TEST(Mouse, WarpReachesThePointerPosition)
{
    REQUIRE_GL();
    glutDisplayFunc([] {});  // the event pump insists on one
    glutPassiveMotionFunc(mouse_move);
    glutMotionFunc(mouse_move);
    const int targets[2][2] = {{200, 150}, {333, 222}};
    for (const auto &t : targets) {
        mouse_origin(t[0], t[1]);
        // The server answers in its own time: pump, and nap while nothing
        // has come, up to a generous bound.
        for (int i = 0; i < 5000 && (mouse_getX() != t[0] || mouse_getY() != t[1]); i++) {
            glutMainLoopEvent();
            usleep(1000);
        }
        EXPECT_EQ(mouse_getX(), t[0]);
        EXPECT_EQ(mouse_getY(), t[1]);
    }
    glutPassiveMotionFunc(nullptr);
    glutMotionFunc(nullptr);
}
