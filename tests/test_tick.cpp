// test_tick.cpp -- the 20 ms tick driven by hand: quarter turns, options, the space bar and camera saves
#include "test_support.h"

#include <limits.h>
#include <math.h>
#include <string.h>
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <GL/freeglut.h>

#include "camera.h"
#include "entity.h"
#include "event.h"
#include "input.h"
#include "main.h"
#include "pcx_encode.h"
#include "tile.h"

// Every pointer warp the tick asks for, counted and then passed on.
static int tick_warps;
extern "C" void glutWarpPointer(int x, int y)
{
    tick_warps++;
    static auto real = reinterpret_cast<void (*)(int, int)>(dlsym(RTLD_NEXT, "glutWarpPointer"));
    real(x, y);
}

namespace {

Entity startPose(void)
{
    Entity e;
    entity_set(&e, 0, 0, 0);
    e.left.x = -1.0f;
    e.forward.z = -1.0f;
    return e;
}
bool samePose(const Entity &a, const Entity &b) { return memcmp(&a, &b, sizeof a) == 0; }
bool atStart(void) { return samePose(camera, startPose()); }
// The angle of up from (0, 1, 0) towards (1, 0, 0), in degrees.
double upAngle(void) { return atan2(camera.up.x, camera.up.y) * 180.0 / M_PI; }
void press(unsigned char key) { input_pressKey(key, 0, 0); }
void ticks(int from, int to)
{
    for (int t = from; t <= to; t++)
        main_timer(t);
}

class Tick : public ::testing::Test {
protected:
    std::string root, camPath;
    void SetUp() override
    {
        REQUIRE_GL();
        for (int i = 0; i < 20 && event_head; i++)  // a turn left over runs out
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
        root = test_tempDir() + "/";
        test_makeDirs(root + "SYS/CAM");
        snprintf(tile_root, sizeof tile_root, "%s", root.c_str());
        snprintf(tile_file, sizeof tile_file, "world.cam");
        camPath = root + "SYS/CAM/world.cam";
    }
    bool saved(void) const { return access(camPath.c_str(), F_OK) == 0; }
    Entity savedPose(void) const
    {
        std::vector<unsigned char> bytes;
        Entity e = {};
        if (pcx_readFile(camPath, bytes))
            entity_fromBytes(&e, bytes.data(), bytes.size());
        return e;
    }
};

TEST_F(Tick, QuarterTurnRunsTenStepsFromThePressAndIgnoresTurnKeysMeanwhile)
{
    press('q');
    for (int step = 1; step <= 10; step++) {
        main_timer(step);
        EXPECT_NEAR(upAngle(), 9.0 * step, 1e-3) << step;
        if (step == 4)  // held through the rest of the turn
            for (unsigned char k : {'q', 'e'})
                press(k);
    }
    input_releaseKey('q', 0, 0);
    input_releaseKey('e', 0, 0);
    EXPECT_NEAR(camera.left.y, 1.0f, 1e-5);
    main_timer(11);
    EXPECT_NEAR(upAngle(), 90.0, 1e-3);
    EXPECT_EQ(event_head, nullptr) << "the finished turn's event is freed";
}

TEST_F(Tick, TickZeroSavesTheStartPoseAndNoSaveFallsInATurn)
{
    main_timer(0);
    EXPECT_TRUE(samePose(savedPose(), startPose()));
    unlink(camPath.c_str());
    press('q');
    ticks(45, 55);  // the turn runs from 45 to 54 and holds back the save of 50
    EXPECT_FALSE(saved());
    main_timer(100);
    EXPECT_NEAR(savedPose().up.x, 1.0f, 1e-5);
}

TEST_F(Tick, ASaveThatCannotBeMadeIsSkippedLeavingNoFile)
{
    // Padding with "./" keeps every prefix a real folder, so a cut path
    // would land in SYS/CAM.
    std::string padded = root;
    while (padded.size() + strlen("SYS/CAM/world.cam") < TILE_PATH + 2)
        padded += "./";
    for (const std::string &where : {root + "missing/", padded}) {
        snprintf(tile_root, sizeof tile_root, "%s", where.c_str());
        EXPECT_EQ(main_saveCamera(), 0) << where;
        main_timer(0);
    }
    DIR *dir = opendir((root + "SYS/CAM").c_str());
    ASSERT_NE(dir, nullptr);
    int entries = 0;
    while (readdir(dir))
        entries++;
    closedir(dir);
    EXPECT_EQ(entries, 2) << "only . and .., no cut or temporary file";
}

TEST_F(Tick, OptionKeysFlipOncePerPressAndUpperCaseDoesNothing)
{
    press('1');
    press('3');
    ticks(1, 2);  // still held, but the press was consumed
    EXPECT_EQ(tile_optSmooth, 0);
    EXPECT_EQ(tile_optTexture, 0);
    EXPECT_EQ(tile_optAlpha, 1);
    for (int on : {0, 1}) {  // blending and the alpha test switch together
        press('2');
        main_timer(3 + on);
        EXPECT_EQ(tile_optAlpha + glIsEnabled(GL_BLEND) + glIsEnabled(GL_ALPHA_TEST), 3 * on);
    }
    for (unsigned char k : {'W', 'S', 'A', 'D', 'Q', 'E', '!', '@', '#'})
        press(k);
    ticks(5, 16);
    EXPECT_TRUE(atStart());
    EXPECT_EQ(event_head, nullptr);
    EXPECT_EQ(tile_optSmooth + tile_optAlpha + tile_optTexture, 1);
}

TEST_F(Tick, MouseLookStartsAtTickEleven)
{
    mouse_x = 320 - 30;  // 30 left of and 20 above the centre since the last warp
    mouse_y = 240 - 20;
    ticks(0, 10);
    EXPECT_TRUE(atStart());
    main_timer(11);
    EXPECT_FLOAT_EQ(camera.position.z, -2.0f);  // up moves forward (-z)
    EXPECT_FLOAT_EQ(camera.position.x, -3.0f);  // left strafes along left (-x)
}

TEST_F(Tick, SpaceBarFreezesTheCameraThePointerAndTheOptions)
{
    for (unsigned char k : {' ', 'w', 'q', '1', '2'})
        press(k);
    mouse_button[0] = 1;
    mouse_x = 320 + 50;
    tick_warps = 0;
    ticks(20, 22);
    EXPECT_EQ(tick_warps, 0) << "the pointer is left where the user puts it";
    EXPECT_TRUE(atStart());
    EXPECT_EQ(event_head, nullptr);
    EXPECT_EQ(tile_optSmooth + tile_optAlpha, 2);
}

TEST(TickCount, RunsOnPastTheLargestInt)
{
    EXPECT_EQ(main_nextTick(0), 1);
    int after = main_nextTick(INT_MAX);
    EXPECT_TRUE(after > 10 && after % 50 == 0) << after;
}

}  // namespace
