// test_tick.cpp -- the 20 ms tick driven by hand: quarter turns, options, the space bar and camera saves
#include "test_support.h"

#include <limits.h>
#include <math.h>
#include <string.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <GL/freeglut.h>

#include "camera.h"
#include "event.h"
#include "file.h"
#include "input.h"
#include "main.h"
#include "tile.h"

// Every pointer warp the tick asks for, counted and then passed on.
static int tick_warps;
static bool tick_warpReported;  // the X server's report of the warp, as motion, at once
extern "C" void glutWarpPointer(int x, int y)
{
    tick_warps++;
    static auto real = reinterpret_cast<void (*)(int, int)>(dlsym(RTLD_NEXT, "glutWarpPointer"));
    real(x, y);
    if (tick_warpReported)
        mouse_move(x, y);
}

namespace {

const Entity start = {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 0}};
bool isStart(const Entity &e) { return memcmp(&e, &start, sizeof start) == 0; }
std::vector<int> options(void) { return {tile_optSmooth, tile_optAlpha, tile_optTexture, tile_lookFog}; }
// The angle of up from (0, 1, 0) towards (1, 0, 0), in degrees.
double upAngle(void) { return atan2(camera.up.x, camera.up.y) * 180.0 / M_PI; }
void press(std::initializer_list<unsigned char> keys)
{
    for (unsigned char k : keys)
        input_pressKey(k, 0, 0);
}
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
        input_endTick();
        input_unlockAll();
        mouse_x = 320, mouse_y = 240;
        camera = start;
        tile_optSmooth = tile_optAlpha = tile_optTexture = 1;
        tile_lookFog = true;
        glEnable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        root = test_tempDir() + "/";
        test_makeDirs(root + "SYS/CAM");
        snprintf(tile_root, sizeof tile_root, "%s", root.c_str());
        snprintf(tile_file, sizeof tile_file, "world.cam");
        camPath = root + "SYS/CAM/world.cam";
    }
};

// Each motion input held for one tick, from the start pose (left -x, up +y, forward -z).
TEST_F(Tick, EachMotionInputMovesOrTurnsTheWayTheKeyTableSays)
{
    const struct { const char *name; void (*hold)(void); Vector moved; double turned; } table[] = {
        {"w", [] { press({'w'}); }, {0, 1, 0}, 0}, {"s", [] { press({'s'}); }, {0, -1, 0}, 0},
        {"a", [] { press({'a'}); }, {-1, 0, 0}, 0}, {"d", [] { press({'d'}); }, {1, 0, 0}, 0},
        {"left", [] { input_pressSKey(GLUT_KEY_LEFT, 0, 0); }, {-1, 0, 0}, 0},
        {"right", [] { input_pressSKey(GLUT_KEY_RIGHT, 0, 0); }, {1, 0, 0}, 0},
        {"up", [] { input_pressSKey(GLUT_KEY_UP, 0, 0); }, {0, 0, -1}, 0},
        {"down", [] { input_pressSKey(GLUT_KEY_DOWN, 0, 0); }, {0, 0, 1}, 0},
        {"left button", [] { input_mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 320, 240); }, {0, 1, 0}, 0},
        {"right button", [] { input_mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 320, 240); }, {0, -1, 0}, 0},
        {"q", [] { press({'q'}); }, {0, 0, 0}, 9}, {"e", [] { press({'e'}); }, {0, 0, 0}, -9},
        {"space and w", [] { press({' ', 'w'}); }, {0, 0, 0}, 0},
    };
    for (const auto &row : table) {
        SetUp();
        SCOPED_TRACE(row.name);
        row.hold();
        main_timer(1);
        EXPECT_VECTOR(camera.position, row.moved.x, row.moved.y, row.moved.z);
        EXPECT_NEAR(upAngle(), row.turned, 1e-3);
    }
}

TEST_F(Tick, QuarterTurnsRunTenStepsFromThePressAndIgnoreTurnKeysMeanwhile)
{
    press({'q'});
    for (int step = 1; step <= 21; step++) {
        main_timer(step);
        EXPECT_NEAR(upAngle(), 9.0 * (step <= 10 ? step : std::max(20 - step, 0)), 1e-3) << step;
        if (step == 4)  // held through the rest of the turn
            press({'q', 'e'});
        if (step == 10)  // then 'e' alone turns back
            input_button['q'] = 0;
    }
    EXPECT_EQ(event_head, nullptr) << "the finished turn's event is freed";
}

TEST_F(Tick, TickZeroSavesTheStartPoseAndNoSaveFallsInATurn)
{
    Entity saved = {};
    main_timer(0);
    main_cameraWait();
    ASSERT_EQ(entity_readFile(&saved, camPath.c_str()), 0);
    EXPECT_TRUE(isStart(saved));
    unlink(camPath.c_str());
    press({'q'});
    ticks(45, 55);  // the turn runs from 45 to 54 and holds back the save of 50
    EXPECT_FALSE(std::filesystem::exists(camPath));
    main_timer(100);
    main_cameraWait();
    entity_readFile(&saved, camPath.c_str());
    EXPECT_NEAR(saved.up.x, 1.0f, 1e-5);
    // An unchanged pose is not written again (the file would be a new one).
    struct stat before, after;
    stat(camPath.c_str(), &before);
    main_timer(150);
    main_cameraWait();
    EXPECT_TRUE(stat(camPath.c_str(), &after) == 0 && after.st_ino == before.st_ino);

    // Padding with "./" keeps every prefix a real folder, so a cut path would land in SYS/CAM.
    unlink(camPath.c_str());
    std::string padded = root;
    while (padded.size() + strlen("SYS/CAM/world.cam") < TILE_PATH + 2)
        padded += "./";
    for (const std::string &where : {root + "missing/", padded}) {
        snprintf(tile_root, sizeof tile_root, "%s", where.c_str());
        EXPECT_EQ(main_saveCamera(), 0) << where;
        main_timer(0);
        main_cameraWait();
    }
    EXPECT_TRUE(std::filesystem::is_empty(root + "SYS/CAM")) << "no cut or temporary file";
}

TEST_F(Tick, OptionKeysFlipOncePerPressAndUpperCaseDoesNothing)
{
    press({'1', '3', 'g'});
    ticks(1, 2);  // still held, but the press was consumed
    EXPECT_EQ(options(), (std::vector<int>{0, 1, 0, 0}));
    for (int on : {0, 1}) {  // blending and the alpha test switch together
        press({'2'});
        main_timer(3 + on);
        EXPECT_EQ(tile_optAlpha + glIsEnabled(GL_BLEND) + glIsEnabled(GL_ALPHA_TEST), 3 * on);
    }
    press({'W', 'S', 'A', 'D', 'Q', 'E', 'G', '!', '@', '#'});
    ticks(5, 16);
    EXPECT_TRUE(isStart(camera));
    EXPECT_EQ(options(), (std::vector<int>{0, 1, 0, 0}));
    tile_lookFog = true;
}

TEST_F(Tick, MouseLookStartsAtTickElevenAndTheSpaceBarFreezesAllControl)
{
    mouse_x = 320 - 30, mouse_y = 240 - 20;  // left of and above the centre since the last warp
    ticks(0, 10);
    EXPECT_TRUE(isStart(camera));
    main_timer(11);
    EXPECT_VECTOR(camera.position, -3, 0, -2);  // up moves forward (-z), left strafes along left (-x)
    press({' ', 'w', 'q', '1', '2'});
    mouse_button[0] = 1;
    tick_warps = 0;
    ticks(20, 22);
    EXPECT_EQ(tick_warps, 0) << "the pointer is left where the user puts it";
    EXPECT_VECTOR(camera.position, -3, 0, -2);
    EXPECT_EQ(event_head, nullptr) << "no turn";
    EXPECT_EQ(options(), (std::vector<int>{1, 1, 1, 1}));
    // The count runs on past the largest int, at a save tick beyond the mouse-look delay.
    EXPECT_EQ(main_nextTick(0), 1);
    EXPECT_TRUE(main_nextTick(INT_MAX) > 10 && main_nextTick(INT_MAX) % 50 == 0) << main_nextTick(INT_MAX);
}

// Presses and releases that fall between two ticks, as in one long frame:
// each still acts once; Escape ends the run at the next tick.
TEST_F(Tick, PressesWithinOneFrameAreSeenByTheNextTick)
{
    const struct { std::function<void(void)> tap; std::function<bool(void)> acted; } taps[] = {
        {[] { input_pressKey('w', 0, 0), input_releaseKey('w', 0, 0); }, [] { return camera.position.y == 1.0f; }},
        {[] { input_pressKey('3', 0, 0), input_releaseKey('3', 0, 0); }, [] { return tile_optTexture == 0; }},
        {[] { input_pressSKey(GLUT_KEY_UP, 0, 0), input_releaseSKey(GLUT_KEY_UP, 0, 0); },
         [] { return camera.position.z == -1.0f; }},
        {[] { input_mouse(0, GLUT_DOWN, 320, 240), input_mouse(0, GLUT_UP, 320, 240); },
         [] { return camera.position.y == 1.0f; }},
    };
    for (const auto &t : taps) {
        camera = start;
        tile_optTexture = 1;
        t.tap();
        main_timer(1);
        EXPECT_TRUE(t.acted());
        Entity once = camera;
        main_timer(2);  // seen for that one tick only
        EXPECT_EQ(memcmp(&once, &camera, sizeof once), 0);
    }
    input_pressKey(27, 0, 0);
    input_releaseKey(27, 0, 0);
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: the display's threads with it
    EXPECT_EXIT(main_timer(3), ::testing::ExitedWithCode(0), "");
}

}  // namespace

namespace {

// Heading from the forward axis, or from up when the view is straight up or down.
TEST_F(Tick, FreeLookTakesItsHeadingFromThePose)
{
    const struct { const char *name; Entity pose; Vector facing; } table[] = {
        {"east", {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}, {0, 0, 0}}, {1, 0, 0}},
        {"up, top of the view to +x", {{0, 0, -1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}}, {-0.0872f, 0.9962f, 0}},
        {"down, top of the view to +x", {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}, {0, 0, 0}}, {0.0872f, -0.9962f, 0}},
    };
    for (const auto &row : table) {
        SCOPED_TRACE(row.name);
        camera = row.pose;
        main_lookBegin();
        EXPECT_NEAR(camera.forward.x, row.facing.x, 1e-3);
        EXPECT_NEAR(camera.forward.y, row.facing.y, 1e-3);
        EXPECT_NEAR(camera.forward.z, row.facing.z, 1e-3);
    }
    camera = start;
    main_lookBegin();  // heading 0 again: what the next test must not start from
}

// A wall eight cells along +x and a saved pose facing it: free look from the
// start keeps the pose, and shows the wall once the mouse turns it a little;
// Tab twice gives the very pose back, even one free look cannot hold.
TEST_F(Tick, FreeLookFromTheSavedPoseShowsWhatItFacesAndTabTwiceGivesItBack)
{
    const Entity east = {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}, {-6, 0, 0}};
    std::vector<unsigned char> cells(8, TILE_EMPTY);
    cells[5] = 254;
    std::string def = test_makeWorld(root + "w", "east",
                                     "NEW_TEXTURE \"red\" {\nPicture 8,red\n}\n"
                                     "NEW_CUBE \"box\" {\nLeft 7,red\n}\n", 8, 1, 1, cells);
    test_writeSolidPcx(root + "w/PCX/red.pcx", 8, 8, 250, 0, 0);
    ASSERT_EQ(entity_writeFile(&east, (root + "w/SYS/CAM/east.cam").c_str()), 1);
    tile_argument = def.c_str();
    main_looking = 1;
    testing::internal::CaptureStdout();
    main_init();
    tile_watchStop();  // the ticks' save is no edit to read again
    main_renderState();
    EXPECT_EQ(memcmp(&camera, &east, sizeof east), 0) << "a start in free look keeps the pose read";
    mouse_x = 321;  // a pixel to the right: a fifth of a degree
    ticks(0, 12);
    // Chunks are built off the drawing thread: frames until the wall shows, or a deadline.
    const std::vector<int> red = {250, 0, 0};
    std::vector<int> centre;
    for (int i = 0; i < 2000 && centre != red; i++, usleep(2000)) {
        main_render();
        const unsigned char *at = &test_shownFrame[(240 * 640 + 320) * 3];
        centre.assign(at, at + 3);
    }
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(centre, red);
    main_looking = 0;
    camera = east;
    camera.up = {0.0f, 0.8f, 0.6f};  // rolled and tilted as no free pose is: still given back whole
    const Entity rolled = camera;
    for (int tab = 0; tab < 2; tab++)
        main_lookToggle();
    EXPECT_EQ(memcmp(&camera, &rolled, sizeof rolled), 0);
}

// The pointer far from where the viewer put it as the window is entered or
// resized, Tab pressed or the space bar released: no motion, in either mode.
TEST_F(Tick, NoMotionFromWherePointerWasNotPut)
{
    const struct { const char *name; std::function<void(void)> event; } table[] = {
        {"entered near a corner", [] { mouse_entry(GLUT_ENTERED), mouse_move(5, 5); }},
        {"resized and back", [] { main_resize(800, 600), ticks(13, 14), main_resize(640, 480); }},
        {"Tab twice", [] { mouse_move(5, 5), press({MAIN_KEY_TAB}), ticks(13, 14), mouse_move(600, 400), press({MAIN_KEY_TAB}); }},
        {"space bar released", [] { press({' '}), ticks(13, 14), mouse_move(5, 5), input_releaseKey(' ', 0, 0); }},
    };
    tick_warpReported = true;
    for (int looking : {0, 1})
        for (const auto &row : table) {
            SetUp();
            SCOPED_TRACE(std::string(row.name) + (looking ? " in free look" : ""));
            main_looking = (unsigned char)looking;
            main_lookBegin();
            ticks(0, 12);
            row.event();
            ticks(15, 17);
            EXPECT_TRUE(isStart(camera)) << camera.forward.x << " " << camera.position.x << " " << camera.position.z;
            EXPECT_EQ(main_looking, looking);
        }
    tick_warpReported = false;
    main_looking = 0;
}

// A camera file of no numbers: one line naming it, the start pose, and what
// is saved is the start pose.  A world without SYS/CAM gets it; a camera
// file that cannot be written is told once, not at every save.
TEST_F(Tick, BadCameraFilesAreToldOnceAndNeverSaved)
{
    std::string def = test_makeWorld(root + "w", "w", "no blocks\n", 2, 2, 1, {255, 255, 255, 255});
    std::string cam = root + "w/SYS/CAM/w.cam";
    const float bad[12] = {-1, 0, 0, 0, 1, 0, 0, 0, -1, NAN, 0, 0};
    test_writeText(cam, std::string((const char *)bad, sizeof bad));
    tile_argument = def.c_str();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    main_init();
    tile_watchStop();
    EXPECT_TRUE(isStart(camera));
    camera.position.x = NAN;  // as if flown there: never saved either
    main_timer(0);
    main_cameraWait();
    camera = start;
    main_timer(50);
    main_cameraWait();
    std::string err = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(err, "test_tick: " + cam + ": a number in the pose is not finite; the view starts at the origin\n"
              "test_tick: " + cam + ": a number in the pose is not finite; the camera pose is not saved\n");
    Entity saved = {};
    EXPECT_EQ(entity_readFile(&saved, cam.c_str()), 0);
    EXPECT_TRUE(isStart(saved));

    std::filesystem::remove_all(root + "w/SYS");
    testing::internal::CaptureStderr();
    camera.position.y += 1.0f;
    main_timer(100);
    main_cameraWait();
    EXPECT_TRUE(std::filesystem::exists(cam)) << "SYS/CAM made";
    std::filesystem::remove_all(root + "w/SYS");
    test_writeText(root + "w/SYS", "a file where the folder goes");
    for (int tick = 150; tick <= 300; tick += 50) {
        camera.position.y += 1.0f;
        main_timer(tick);
        main_cameraWait();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "test_tick: " + cam + ": " + file_reason(ENOTDIR) + "; the camera pose is not saved\n");
}

// Free look's mouse: right turns right, down tilts down, or up with invert,
// by a fifth of a degree a pixel times the sensitivity.
TEST_F(Tick, FreeLookTurnsAndTiltsByTheSettings)
{
    const struct { int dx, dy; unsigned char invert; float sensitivity; double heading, tilt; } table[] = {
        {10, 0, 0, 1, -2, 0}, {-10, 0, 1, 1, 2, 0}, {0, 10, 0, 1, 0, -2}, {0, 10, 1, 1, 0, 2},
        {0, -5, 1, 2, 0, -2}, {5, 0, 0, 0.5f, -0.5, 0},
    };
    for (const auto &row : table) {
        SetUp();
        main_looking = 1, main_invert = row.invert, main_sensitivity = row.sensitivity;
        main_lookBegin();
        ticks(0, 10);
        mouse_x = 320 + row.dx, mouse_y = 240 + row.dy;
        main_timer(11);
        double heading = atan2(-camera.forward.x, -camera.forward.z) * 180 / M_PI;
        EXPECT_NEAR(heading, row.heading, 1e-3) << row.dx << " " << row.dy << " " << (int)row.invert;
        EXPECT_NEAR(asin(camera.forward.y) * 180 / M_PI, row.tilt, 1e-3) << row.dx << " " << row.dy << " " << (int)row.invert;
    }
    main_looking = 0, main_invert = 0, main_sensitivity = 1.0f;
}

}  // namespace
