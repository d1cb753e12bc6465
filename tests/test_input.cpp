// test_input.cpp -- key codes, locks, resets, mouse buttons and the pointer
#include "test_support.h"

#include <string.h>
#include <unistd.h>

#include <chrono>
#include <GL/freeglut.h>

#include "input.h"

static void clearInput()
{
    memset(input_button, 0, sizeof input_button);
    memset(mouse_button, 0, sizeof mouse_button);
    input_unlockAll();
}

// The tick's tests show a key held while locked read down once unlocked, and
// a reset consuming a press; here what the tick never does.
TEST(Input, LockAllAndReleasesWhileLocked)
{
    clearInput();
    input_pressKey('q', 0, 0);
    input_pressSKey(GLUT_KEY_LEFT, 0, 0);
    input_lockAll();
    EXPECT_EQ(input_check('q') + input_check(293), 0);
    input_releaseKey('q', 0, 0);  // still recorded
    input_unlockAll();
    EXPECT_EQ(std::make_pair(input_check('q'), input_check(293)), std::make_pair(0, 1));
}

TEST(Input, SpecialKeysHaveTheirOwnCodesAndThoseBeyondAreDropped)
{
    clearInput();
    const int codes[][2] = {{GLUT_KEY_LEFT, 293}, {GLUT_KEY_F1, 368}, {GLUT_KEY_F12, 379}, {13, 206},
                            {318, 511}, {319, -1}, {-367, -1}};
    for (const auto &c : codes)
        EXPECT_EQ(input_specialCode(c[0]), c[1]) << c[0];
    input_pressSKey(GLUT_KEY_F1, 0, 0);
    EXPECT_EQ(input_check(368), 1);
    input_releaseSKey(GLUT_KEY_F1, 0, 0);
    input_pressSKey(400, 0, 0);
    input_pressSKey(-5, 0, 0);
    for (int code = 0; code < INPUT_CODES; code++)
        ASSERT_EQ(input_button[code], 0) << code;
    EXPECT_EQ(std::make_pair(input_check(600), input_getLock(600)), std::make_pair(0, 1));  // beyond: up, locked
}

TEST(Mouse, ClickRecordsPositionAndButtonAndButtonsBeyondAreIgnored)
{
    REQUIRE_GL();
    clearInput();
    input_mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 12, 34);
    EXPECT_EQ(std::make_pair(mouse_getX(), mouse_getY()), std::make_pair(12, 34));
    input_mouse(-1, GLUT_DOWN, 3, 4);
    input_mouse(MOUSE_BUTTONS, GLUT_DOWN, 5, 6);
    for (int b = 0; b < MOUSE_BUTTONS; b++)
        EXPECT_EQ(mouse_check((unsigned char)b), b == GLUT_LEFT_BUTTON) << b;
    EXPECT_EQ(mouse_getY(), 6);  // the pointer still moves
}

TEST(Mouse, WarpReachesThePointerPosition)
{
    REQUIRE_GL();
    glutDisplayFunc([] {});  // the event pump insists on one
    glutPassiveMotionFunc(mouse_move);
    // The X server reports the warp as motion in its own time, and only to the
    // window on top: other test programs open theirs at the same place.  So
    // until a generous deadline, raise the window and warp again now and then
    // (away first: a warp to where the pointer already is reports nothing).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (int i = 0; (mouse_getX() != 333 || mouse_getY() != 222) && std::chrono::steady_clock::now() < deadline; i++) {
        if (i % 200 == 0) {
            glutPopWindow();
            mouse_origin(300, 200);
            mouse_origin(333, 222);
        }
        glutMainLoopEvent();
        usleep(1000);
    }
    EXPECT_EQ(std::make_pair(mouse_getX(), mouse_getY()), std::make_pair(333, 222));
    glutPassiveMotionFunc(nullptr);
}
