// test_tick.cpp -- the 20 ms tick driven by hand: motion, quarter turns, options and camera saves
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

// Every pointer warp the tick asks for, recorded and then passed on.
static int tick_warps;
extern "C" void glutWarpPointer(int x, int y)
{
    tick_warps++;
    static auto real = reinterpret_cast<void (*)(int, int)>(dlsym(RTLD_NEXT, "glutWarpPointer"));
    real(x, y);
}

namespace {

const unsigned char KEY_SPACE = 32;

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
void release(unsigned char key) { input_releaseKey(key, 0, 0); }
void ticks(int from, int to)
{
    for (int t = from; t <= to; t++)
        main_timer(t);
}

class Tick : public ::testing::Test {
protected:
    std::string camPath;

    void SetUp() override
    {
        REQUIRE_GL();
        main_resize(640, 480);
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
        std::string root = test_tempDir() + "/";
        test_makeDirs(root + "SYS/CAM");
        snprintf(tile_root, sizeof tile_root, "%s", root.c_str());
        snprintf(tile_file, sizeof tile_file, "world.cam");
        camPath = root + "SYS/CAM/world.cam";
    }

    bool saved(void) const { return access(camPath.c_str(), F_OK) == 0; }
    Entity savedPose(void) const  // all zeros when there is none
    {
        std::vector<unsigned char> bytes;
        Entity e = {};
        if (pcx_readFile(camPath, bytes))
            entity_fromBytes(&e, bytes.data(), bytes.size());
        return e;
    }
};

TEST_F(Tick, QuarterTurnsRunTenStepsFromThePressAndIgnoreTurnKeysMeanwhile)
{
    press('q');
    for (int step = 1; step <= 10; step++) {
        SCOPED_TRACE(step);
        main_timer(step);
        EXPECT_NEAR(upAngle(), 9.0 * step, 1e-3);
        EXPECT_EQ(input_getLock('q'), step < 10);  // turn keys read as released until the end
        EXPECT_EQ(input_getLock('e'), step < 10);
        if (step == 4)
            for (unsigned char k : {'q', 'e'})
                press(k), release(k);
    }
    EXPECT_NEAR(camera.up.x, 1.0f, 1e-5);
    EXPECT_NEAR(camera.left.y, 1.0f, 1e-5);
    EXPECT_EQ(camera.forward.z, -1.0f);
    main_timer(11);
    EXPECT_NEAR(upAngle(), 90.0, 1e-3);
    EXPECT_EQ(event_head, nullptr) << "the finished turn's event is freed";

    // q and e together turn left only; the still-held e then turns back once.
    camera = startPose();
    press('q');
    press('e');
    ticks(12, 21);
    EXPECT_NEAR(upAngle(), 90.0, 1e-3);
    ticks(22, 41);
    EXPECT_NEAR(upAngle(), 0.0, 1e-3);
    EXPECT_NEAR(camera.left.x, -1.0f, 1e-5);
    EXPECT_EQ(input_check('e') + input_check('q'), 0) << "presses consumed by the turns";
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
    press('q');
    ticks(45, 55);  // the turn runs from 45 to 54 and holds back the save of 50
    EXPECT_FALSE(saved());
    main_timer(100);
    ASSERT_TRUE(saved());
    EXPECT_TRUE(samePose(savedPose(), camera));
    EXPECT_NEAR(savedPose().up.x, 1.0f, 1e-5);
    EXPECT_EQ(savedPose().position.y, 2.0f);
}

TEST_F(Tick, ASaveThatCannotBeMadeIsSkipped)
{
    std::string root = tile_root;
    rmdir((root + "SYS/CAM").c_str());
    main_timer(0);
    EXPECT_EQ(main_saveCamera(), 0) << "no camera folder";
    test_makeDirs(root + "SYS/CAM");

    // Padding with "./" keeps every prefix a real folder, so a cut path
    // would land in SYS/CAM.
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
    EXPECT_EQ(entries, 2) << "only . and .., no cut or temporary file";

    // A world made on a case-blind file system keeps its camera in sys/cam.
    std::string lower = test_tempDir() + "/";
    test_makeDirs(lower + "sys/cam");
    snprintf(tile_root, sizeof tile_root, "%s", lower.c_str());
    EXPECT_EQ(main_saveCamera(), 1);
    EXPECT_EQ(access((lower + "sys/cam/world.cam").c_str(), F_OK), 0);
}

TEST_F(Tick, KeysAndButtonsMoveAlongThePoseAxesAndUpperCaseDoesNothing)
{
    const struct {
        int key, special;  // a character, or a GLUT special key
        float x, y, z;
    } cases[] = {
        {'w', 0, 0, 1, 0}, {'s', 0, 0, -1, 0}, {'a', 0, -1, 0, 0}, {'d', 0, 1, 0, 0},
        {0, GLUT_KEY_UP, 0, 0, -1}, {0, GLUT_KEY_DOWN, 0, 0, 1},
        {0, GLUT_KEY_LEFT, -1, 0, 0}, {0, GLUT_KEY_RIGHT, 1, 0, 0},
    };
    int tick = 1;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key ? c.key : 1000 + c.special);
        camera = startPose();
        c.key ? press((unsigned char)c.key) : input_pressSKey(c.special, 0, 0);
        main_timer(tick++);
        main_timer(tick++);  // held keys act on every tick
        EXPECT_EQ(camera.position.x, 2 * c.x);
        EXPECT_EQ(camera.position.y, 2 * c.y);
        EXPECT_EQ(camera.position.z, 2 * c.z);
        c.key ? release((unsigned char)c.key) : input_releaseSKey(c.special, 0, 0);
    }
    camera = startPose();
    for (unsigned char k : {'w', 's', 'd'})
        press(k);
    input_pressSKey(GLUT_KEY_LEFT, 0, 0);
    main_timer(tick++);
    EXPECT_TRUE(atStart()) << "opposite keys cancel";
    memset(input_button, 0, sizeof input_button);

    mouse_button[0] = 1;  // left rises, right sinks, middle does nothing
    main_timer(tick++);
    EXPECT_EQ(camera.position.y, 1.0f);
    mouse_button[0] = 0;
    mouse_button[1] = mouse_button[2] = 1;
    main_timer(tick++);
    EXPECT_EQ(camera.position.y, 0.0f);
    memset(mouse_button, 0, sizeof mouse_button);

    camera = startPose();
    for (unsigned char k : {'W', 'S', 'A', 'D', 'Q', 'E'})
        press(k);
    ticks(tick, tick + 11);
    EXPECT_TRUE(atStart());
    EXPECT_EQ(event_head, nullptr);
    EXPECT_EQ(input_getLock('q'), 0);
}

TEST_F(Tick, MouseLookStartsAtTickEleven)
{
    mouse_x = 320 - 30;  // 30 left of and 20 above the centre since the last warp
    mouse_y = 240 - 20;
    mouse_button[0] = 1;  // buttons work from the first tick
    main_timer(0);
    EXPECT_EQ(camera.position.y, 1.0f);
    mouse_button[0] = 0;
    ticks(1, 10);
    EXPECT_EQ(camera.position.x, 0.0f);
    EXPECT_EQ(camera.position.z, 0.0f);
    main_timer(11);
    EXPECT_FLOAT_EQ(camera.position.z, -2.0f);  // up moves forward (-z)
    EXPECT_FLOAT_EQ(camera.position.x, -3.0f);  // left strafes along left (-x)

    // In a window of odd size a pointer resting at the centre moves nothing.
    main_resize(641, 481);
    camera = startPose();
    mouse_x = 320;
    mouse_y = 240;
    main_timer(12);
    EXPECT_TRUE(atStart());
    main_resize(640, 480);
}

TEST_F(Tick, SpaceBarFreezesEverythingButSavesAndTurns)
{
    for (unsigned char k : {KEY_SPACE, (unsigned char)'w', (unsigned char)'q',
                            (unsigned char)'1', (unsigned char)'2'})
        press(k);
    mouse_button[0] = 1;
    mouse_x = 320 + 50;
    tick_warps = 0;
    main_timer(20);
    EXPECT_EQ(tick_warps, 0) << "the pointer is left where the user puts it";
    EXPECT_TRUE(atStart());
    EXPECT_EQ(event_head, nullptr);
    EXPECT_EQ(tile_optSmooth + tile_optAlpha, 2);
    EXPECT_EQ(input_check('q'), 1) << "presses wait for the space bar's release";
    EXPECT_EQ(input_check(KEY_SPACE), 1);
    main_timer(50);
    EXPECT_TRUE(saved()) << "saves go on under the space bar";

    // A turn under way when the space bar goes down still completes.
    for (unsigned char k : {KEY_SPACE, (unsigned char)'w', (unsigned char)'1', (unsigned char)'2'})
        release(k);
    mouse_button[0] = 0;
    mouse_x = 320;
    main_timer(51);
    EXPECT_EQ(tick_warps, 1);
    EXPECT_NEAR(upAngle(), 9.0, 1e-3);
    press(KEY_SPACE);
    ticks(52, 61);
    EXPECT_NEAR(upAngle(), 90.0, 1e-3);
    EXPECT_EQ(input_getLock('q'), 0);

    // On release the next tick moves once by a tenth of the last offset.
    camera = startPose();
    mouse_x = 320 + 50;
    main_timer(62);
    EXPECT_TRUE(atStart());
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
    for (int on : {0, 1}) {  // blending and the alpha test switch together
        press('2');
        main_timer(4 + on);
        EXPECT_EQ(tile_optAlpha, on);
        EXPECT_EQ(glIsEnabled(GL_BLEND), on);
        EXPECT_EQ(glIsEnabled(GL_ALPHA_TEST), on);
    }
}

TEST(TickCount, RunsOnPastTheLargestInt)
{
    EXPECT_EQ(main_nextTick(0), 1);
    int after = main_nextTick(INT_MAX);
    EXPECT_GT(after, 10);
    EXPECT_EQ(after % 50, 0);
}

}  // namespace
