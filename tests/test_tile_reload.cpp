// test_tile_reload.cpp -- a world read again while on screen: saved edits, broken edits, F5 and many reloads
#include "test_support.h"

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <GL/freeglut.h>

#include "camera.h"
#include "input.h"
#include "main.h"
#include "pcx_encode.h"
#include "tile.h"

namespace {

// One cube whose FRONT the camera faces; "green" is a colour replaced by a picture.
const std::string world = "NEW_TEXTURE \"red\" {\nColour 17,Color(250,0,0)\n}\n"
                          "NEW_TEXTURE \"green\" {\nColour 17,Color(0,0,250)\nPicture 8,green\n}\n"
                          "NEW_CUBE \"box\" {\nFront 8,red\n}\n";
const Entity pose = {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 14}};

int liveTextures(void)
{
    int n = 0;
    for (GLuint id = 1; id < 1u << 14; id++)
        n += glIsTexture(id);
    return n;
}

class Reload : public ::testing::Test {
protected:
    std::string root, def;
    void SetUp() override
    {
        REQUIRE_GL();
        root = test_tempDir();
        std::vector<unsigned char> cells(2 * 3 * 2, TILE_EMPTY);
        cells[0] = 254;
        def = test_makeWorld(root, "box", world, 2, 3, 2, cells);
        test_writeSolidPcx(root + "/PCX/green.pcx", 8, 8, 0, 250, 0);
        tile_argument = def.c_str();
        testing::internal::CaptureStdout();
        main_init();
        testing::internal::GetCapturedStdout();
        main_renderState();
        camera = pose;
        input_pressKey(' ', 0, 0);  // held, so the ticks leave the shared pointer alone
    }
    void TearDown() override
    {
        input_releaseKey(' ', 0, 0);
        tile_watchStop();
    }
    // Ticks as the viewer does until the world is read again, at most
    // three seconds; with F5 pressed, one tick.  Returns the console.
    static std::string ticks(bool f5)
    {
        unsigned before = tile_generation;
        if (f5)
            input_pressSKey(GLUT_KEY_F5, 0, 0);
        testing::internal::CaptureStdout();
        for (int i = 0; i < 150 && tile_generation == before; i++) {
            main_timer(1);
            if (f5)
                break;
            usleep(20000);
        }
        input_releaseSKey(GLUT_KEY_F5, 0, 0);
        return testing::internal::GetCapturedStdout();
    }
    // The colour at the middle of the window, where the cube's FRONT shows.
    static std::vector<unsigned char> frame(void)
    {
        testing::internal::CaptureStdout();
        main_render();
        testing::internal::GetCapturedStdout();
        const unsigned char *p = &test_shownFrame[(240 * 640 + 320) * 3];
        return std::vector<unsigned char>(p, p + 3);
    }
};

// An edit saved by renaming a new file over the definition file shows
// within about a second, whether inotify or the files' times tell of it.
TEST_F(Reload, ASavedEditShowsWithTheCameraAndOptionsKept)
{
    const std::vector<unsigned char> red = {250, 0, 0}, green = {0, 250, 0};
    EXPECT_EQ(frame(), red);
    tile_optSmooth = 0;
    for (bool inotify : {true, false}) {
        tile_watchStart(inotify);
        EXPECT_EQ(tile_watchNotified(), inotify);
        std::string text = world;
        text.replace(text.find("Front 8,red"), 11, inotify ? "Front 8,green" : "Front 8,red  ");
        test_writeText(def + "~", text);
        ASSERT_EQ(rename((def + "~").c_str(), def.c_str()), 0);
        std::string out = ticks(false);
        EXPECT_NE(out.find("matrix.pcx\nTEXTURE:" + root + "/PCX/green.pcx\nCUBE:box\nWorld reloaded: " + def + "\n"),
                  std::string::npos) << out;
        EXPECT_EQ(frame(), inotify ? green : red) << inotify;
        EXPECT_EQ(memcmp(&camera, &pose, sizeof pose), 0);
        EXPECT_EQ(tile_optSmooth, 0);
    }
}

// Whatever would end the program at start-up leaves the last good world:
// same frame, tables and textures; the next good save reads again.
TEST_F(Reload, BrokenEditsKeepTheLastGoodWorldUntilAGoodSave)
{
    tile_watchStop();  // F5 alone, so each edit reads once
    const std::string map = root + "/PCX/box.pcx", green = root + "/PCX/green.pcx";
    const std::string longName = "Picture 8," + std::string(300, 'x');
    const struct { std::string path, text; unsigned code; } edits[] = {
        {map, "not a picture", 0},
        {green, "not a picture", 0},
        {def, world.substr(0, world.find("Picture")) + longName + "\n}\n", 0},
        {map, "", 0},  // no map at all
    };
    for (const auto &e : edits) {
        SCOPED_TRACE(e.path + " " + e.text.substr(0, 20));
        std::vector<unsigned char> good, shown = frame();
        ASSERT_TRUE(pcx_readFile(e.path, good));
        const unsigned char *grid = tile_map;
        unsigned generation = tile_generation;
        int textures = liveTextures();
        if (e.text.empty())
            ASSERT_EQ(unlink(e.path.c_str()), 0);
        else
            test_writeText(e.path, e.text);
        std::string out = ticks(true);
        EXPECT_TRUE(testing::internal::RE::PartialMatch(out, test_errorPattern(e.code) + "\nThe last good world stays on screen\n$")) << out;
        EXPECT_EQ(frame(), shown);
        EXPECT_EQ(tile_map, grid);
        EXPECT_EQ(tile_generation, generation);
        EXPECT_EQ(liveTextures(), textures);
        ASSERT_TRUE(pcx_writeFile(e.path, good));
        EXPECT_NE(ticks(true).find("World reloaded: "), std::string::npos);
    }
}

TEST_F(Reload, AHundredReloadsLeaveTheTexturesAsTheyWere)
{
    int textures = liveTextures();
    testing::internal::CaptureStdout();
    for (int i = 0; i < 100; i++)
        ASSERT_EQ(tile_reload(), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(liveTextures(), textures);
    EXPECT_EQ(frame(), (std::vector<unsigned char>{250, 0, 0}));
}

}  // namespace
