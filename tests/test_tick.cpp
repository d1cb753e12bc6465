// test_tick.cpp -- the 20 ms tick driven by hand: motion, quarter turns, options and camera saves
#include "test_support.h"

#include <limits.h>
#include <math.h>
#include <string.h>
#include <dirent.h>
#include <unistd.h>

#include <GL/freeglut.h>

#include "camera.h"
#include "entity.h"
#include "event.h"
#include "input.h"
#include "main.h"
#include "pcx_encode.h"
#include "tile.h"

namespace {

const unsigned char KEY_ESCAPE = 27, KEY_SPACE = 32;

Entity startPose(void)
{
    Entity e;
    entity_set(&e, 0, 0, 0);
    e.left.x = -1.0f;
    e.forward.z = -1.0f;
    return e;
}

bool samePose(const Entity &a, const Entity &b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

// The angle of up from (0, 1, 0) towards (1, 0, 0), in degrees.
double upAngle(void)
{
    return atan2(camera.up.x, camera.up.y) * 180.0 / M_PI;
}

void press(unsigned char key)
{
    input_pressKey(key, 0, 0);
}

void release(unsigned char key)
{
    input_releaseKey(key, 0, 0);
}

class Tick : public ::testing::Test {
protected:
    std::string camPath;

    void SetUp() override
    {
        REQUIRE_GL();
        main_resize(640, 480);
        // A turn left over by an earlier test runs out here.
        for (int i = 0; i < 20 && event_head; i++)
            event_refresh();
        memset(input_button, 0, sizeof input_button);
        memset(mouse_button, 0, sizeof mouse_button);
        input_unlockAll();
        mouse_x = 320;
        mouse_y = 240;
        camera = startPose();
        tile_optSmooth = tile_optAlpha = tile_optTexture = 1;
        glEnable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);

        std::string root = test_tempDir() + "/";
        test_makeDirs(root + "SYS/CAM");
        snprintf(tile_root, sizeof tile_root, "%s", root.c_str());
        snprintf(tile_file, sizeof tile_file, "world.cam");
        camPath = root + "SYS/CAM/world.cam";
    }

    bool saved(void) const
    {
        return access(camPath.c_str(), F_OK) == 0;
    }

    // The saved pose, or all zeros when there is none.
    Entity savedPose(void) const
    {
        std::vector<unsigned char> bytes;
        Entity e = {};
        if (pcx_readFile(camPath, bytes))
            entity_fromBytes(&e, bytes.data(), bytes.size());
        return e;
    }
};

TEST_F(Tick, QPressTurnsTenNineDegreeStepsFromItsOwnTick)
{
    press('q');
    for (int step = 1; step <= 10; step++) {
        main_timer(step);
        EXPECT_NEAR(upAngle(), 9.0 * step, 1e-3) << "step " << step;
        // Turning keys read as released until the last step.
        EXPECT_EQ(input_getLock('q'), step < 10) << "step " << step;
        EXPECT_EQ(input_getLock('e'), step < 10) << "step " << step;
        if (step == 4) {
            // A press and release of either turn key mid-turn does nothing.
            press('q');
            press('e');
            release('q');
            release('e');
        }
    }
    EXPECT_NEAR(camera.up.x, 1.0f, 1e-5);
    EXPECT_NEAR(camera.up.y, 0.0f, 1e-5);
    EXPECT_NEAR(camera.left.x, 0.0f, 1e-5);
    EXPECT_NEAR(camera.left.y, 1.0f, 1e-5);
    EXPECT_EQ(camera.forward.z, -1.0f);
    EXPECT_EQ(camera.position.x, 0.0f);

    main_timer(11);
    EXPECT_NEAR(upAngle(), 90.0, 1e-3);
    EXPECT_EQ(event_head, nullptr) << "the finished turn's event is freed";

    // 'e' after the turn turns back, again in ten steps.
    press('e');
    for (int step = 1; step <= 10; step++) {
        main_timer(11 + step);
        EXPECT_NEAR(upAngle(), 90.0 - 9.0 * step, 1e-3) << "step " << step;
    }
    EXPECT_NEAR(camera.up.y, 1.0f, 1e-5);
    EXPECT_NEAR(camera.left.x, -1.0f, 1e-5);
}

TEST_F(Tick, QAndETogetherTurnLeftOnlyAndAHeldKeyTurnsOncePerPress)
{
    press('q');
    press('e');
    for (int tick = 1; tick <= 10; tick++)
        main_timer(tick);
    EXPECT_NEAR(upAngle(), 90.0, 1e-3);
    // 'e' is still down: unlocked, it reads as pressed and turns right.
    for (int tick = 11; tick <= 30; tick++)
        main_timer(tick);
    EXPECT_NEAR(upAngle(), 0.0, 1e-3);
    EXPECT_EQ(input_check('e'), 0) << "the press was consumed by the turn";
    EXPECT_EQ(input_check('q'), 0);
}

TEST_F(Tick, SavesEveryFiftyTicksButNeverMidTurn)
{
    main_timer(0);
    ASSERT_TRUE(saved()) << "tick 0 writes the start pose";
    EXPECT_TRUE(samePose(savedPose(), startPose()));

    unlink(camPath.c_str());
    press('w');
    main_timer(1);
    main_timer(49);
    EXPECT_FALSE(saved());
    release('w');

    // A turn from tick 45 runs to tick 54 and holds back the save of 50.
    press('q');
    for (int tick = 45; tick <= 55; tick++)
        main_timer(tick);
    EXPECT_FALSE(saved());

    main_timer(100);
    ASSERT_TRUE(saved());
    EXPECT_TRUE(samePose(savedPose(), camera));
    EXPECT_NEAR(savedPose().up.x, 1.0f, 1e-5);
    EXPECT_EQ(savedPose().position.y, 2.0f);
}

TEST_F(Tick, ASaveThatCannotBeMadeIsSkipped)
{
    // No camera folder: nothing is written and nothing fails.
    rmdir((std::string(tile_root) + "SYS/CAM").c_str());
    main_timer(0);
    EXPECT_EQ(main_saveCamera(), 0);
    test_makeDirs(std::string(tile_root) + "SYS/CAM");

    // A root whose camera path would not fit: padding with "./" keeps
    // every prefix a real folder, so a cut path would land in SYS/CAM.
    std::string root = tile_root;
    std::string padded = root;
    while (padded.size() + strlen("SYS/CAM/world.cam") < TILE_PATH - 4)
        padded += "./";
    snprintf(tile_root, sizeof tile_root, "%s", padded.c_str());
    EXPECT_EQ(main_saveCamera(), 1) << "a path that fits is written";
    unlink(camPath.c_str());

    padded += "./././";
    ASSERT_LT(padded.size(), (size_t)TILE_PATH);
    snprintf(tile_root, sizeof tile_root, "%s", padded.c_str());
    EXPECT_EQ(main_saveCamera(), 0);
    main_timer(0);
    DIR *dir = opendir((root + "SYS/CAM").c_str());
    ASSERT_NE(dir, nullptr);
    int entries = 0;
    while (readdir(dir))
        entries++;
    closedir(dir);
    EXPECT_EQ(entries, 2) << "only . and ..";

    // A world made on a case-blind file system keeps its camera in sys/cam.
    std::string lower = test_tempDir() + "/";
    test_makeDirs(lower + "sys/cam");
    snprintf(tile_root, sizeof tile_root, "%s", lower.c_str());
    EXPECT_EQ(main_saveCamera(), 1);
    EXPECT_EQ(access((lower + "sys/cam/world.cam").c_str(), F_OK), 0);
}

TEST_F(Tick, KeysMoveAlongThePoseAxes)
{
    struct Case {
        int code;  // a character, or a GLUT special key + 1000
        float x, y, z;
    } cases[] = {
        {'w', 0, 1, 0}, {'s', 0, -1, 0}, {'a', -1, 0, 0}, {'d', 1, 0, 0},
        {1000 + GLUT_KEY_UP, 0, 0, -1}, {1000 + GLUT_KEY_DOWN, 0, 0, 1},
        {1000 + GLUT_KEY_LEFT, -1, 0, 0}, {1000 + GLUT_KEY_RIGHT, 1, 0, 0},
    };
    int tick = 1;
    for (const Case &c : cases) {
        camera = startPose();
        if (c.code >= 1000)
            input_pressSKey(c.code - 1000, 0, 0);
        else
            press((unsigned char)c.code);
        main_timer(tick++);
        main_timer(tick++);  // held keys act on every tick
        EXPECT_EQ(camera.position.x, 2 * c.x) << "key " << c.code;
        EXPECT_EQ(camera.position.y, 2 * c.y) << "key " << c.code;
        EXPECT_EQ(camera.position.z, 2 * c.z) << "key " << c.code;
        if (c.code >= 1000)
            input_releaseSKey(c.code - 1000, 0, 0);
        else
            release((unsigned char)c.code);
    }

    camera = startPose();
    press('w');
    press('s');
    input_pressSKey(GLUT_KEY_LEFT, 0, 0);
    press('d');
    main_timer(tick++);
    EXPECT_TRUE(samePose(camera, startPose())) << "opposite keys cancel";
    memset(input_button, 0, sizeof input_button);

    // Mouse buttons: left rises, right sinks, middle does nothing.
    mouse_button[0] = 1;
    main_timer(tick++);
    EXPECT_EQ(camera.position.y, 1.0f);
    mouse_button[0] = 0;
    mouse_button[1] = 1;
    mouse_button[2] = 1;
    main_timer(tick++);
    EXPECT_EQ(camera.position.y, 0.0f);
}

TEST_F(Tick, UpperCaseLettersDoNothing)
{
    for (unsigned char key : {'W', 'S', 'A', 'D', 'Q', 'E'})
        press(key);
    for (int tick = 1; tick <= 12; tick++)
        main_timer(tick);
    EXPECT_TRUE(samePose(camera, startPose()));
    EXPECT_EQ(event_head, nullptr);
    EXPECT_EQ(input_getLock('q'), 0);
}

TEST_F(Tick, MouseLookStartsAtTickEleven)
{
    // Pointer 20 pixels above and 30 left of the centre since the last warp.
    mouse_x = 320 - 30;
    mouse_y = 240 - 20;
    mouse_button[0] = 1;  // buttons work from the first tick
    main_timer(0);
    EXPECT_EQ(camera.position.y, 1.0f);
    mouse_button[0] = 0;
    for (int tick = 1; tick <= 10; tick++)
        main_timer(tick);
    EXPECT_EQ(camera.position.x, 0.0f);
    EXPECT_EQ(camera.position.z, 0.0f);

    main_timer(11);
    // Up moves forward (-z), left strafes along left (-x).
    EXPECT_FLOAT_EQ(camera.position.z, -2.0f);
    EXPECT_FLOAT_EQ(camera.position.x, -3.0f);

    // In a window of odd size a pointer resting at the centre moves nothing.
    main_resize(641, 481);
    camera = startPose();
    mouse_x = 320;
    mouse_y = 240;
    main_timer(12);
    EXPECT_TRUE(samePose(camera, startPose()));
    main_resize(640, 480);
}

TEST_F(Tick, SpaceBarFreezesEverythingButSavesAndTurns)
{
    press(KEY_SPACE);
    press('w');
    press('q');
    press('1');
    press('2');
    mouse_button[0] = 1;
    mouse_x = 320 + 50;
    main_timer(20);
    EXPECT_TRUE(samePose(camera, startPose()));
    EXPECT_EQ(event_head, nullptr);
    EXPECT_EQ(tile_optSmooth, 1);
    EXPECT_EQ(tile_optAlpha, 1);
    EXPECT_EQ(input_check('q'), 1) << "presses wait for the space bar's release";
    EXPECT_EQ(input_check(KEY_SPACE), 1) << "the space bar's press is kept";

    main_timer(50);
    EXPECT_TRUE(saved()) << "saves go on under the space bar";

    // A turn under way when the space bar goes down still completes.
    release(KEY_SPACE);
    release('w');
    release('1');
    release('2');
    mouse_button[0] = 0;
    mouse_x = 320;
    main_timer(51);
    EXPECT_NEAR(upAngle(), 9.0, 1e-3);
    press(KEY_SPACE);
    for (int tick = 52; tick <= 61; tick++)
        main_timer(tick);
    EXPECT_NEAR(upAngle(), 90.0, 1e-3);
    EXPECT_EQ(input_getLock('q'), 0);

    // On release the next tick moves once by a tenth of the last offset.
    camera = startPose();
    mouse_x = 320 + 50;
    main_timer(62);
    EXPECT_TRUE(samePose(camera, startPose()));
    release(KEY_SPACE);
    main_timer(63);
    EXPECT_FLOAT_EQ(camera.position.x, 5.0f);  // strafe -5 along left (-1, 0, 0)
}

TEST_F(Tick, OptionKeysFlipOncePerPress)
{
    press('1');
    press('3');
    main_timer(1);
    main_timer(2);  // still held, but the press was consumed
    EXPECT_EQ(tile_optSmooth, 0);
    EXPECT_EQ(tile_optTexture, 0);
    EXPECT_EQ(tile_optAlpha, 1);
    press('1');  // key repeat reports a new press
    main_timer(3);
    EXPECT_EQ(tile_optSmooth, 1);

    press('2');
    main_timer(4);
    EXPECT_EQ(tile_optAlpha, 0);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    press('2');
    main_timer(5);
    EXPECT_EQ(tile_optAlpha, 1);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
}

// Checked as the process ends: a save made on the way out would show here.
char escapeCamPath[TILE_PATH + 64];
void failIfSaved(void)
{
    if (access(escapeCamPath, F_OK) == 0)
        _exit(3);
}

TEST_F(Tick, EscapeExitsWithStatusZeroAndNoSave)
{
    // The child starts afresh instead of sharing the parent's X link.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    main_timer(0);
    ASSERT_TRUE(saved()) << "saves work here";
    EXPECT_EXIT({
        unlink(camPath.c_str());
        snprintf(escapeCamPath, sizeof escapeCamPath, "%s", camPath.c_str());
        atexit(failIfSaved);
        press('w');
        press(KEY_ESCAPE);
        main_timer(50);
        _exit(4);
    }, ::testing::ExitedWithCode(0), "");
}

TEST(TickCount, RunsOnPastTheLargestInt)
{
    EXPECT_EQ(main_nextTick(0), 1);
    int after = main_nextTick(INT_MAX);
    EXPECT_GT(after, 10);
    EXPECT_EQ(after % 50, 0);
}

}  // namespace
