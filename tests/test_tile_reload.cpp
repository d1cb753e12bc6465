// test_tile_reload.cpp -- a world read again while on screen: saved edits, broken edits, F5 and many reloads
#include "test_support.h"

#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>

#include <GL/freeglut.h>

#include "camera.h"
#include "input.h"
#include "main.h"
#include "pcx_encode.h"
#include "tile.h"

namespace {

// One cube whose FRONT the camera faces, before a red background; "green"
// is a colour replaced by a picture.
const std::string world = "NEW_TEXTURE \"red\" {\nColour 17,Color(250,0,0)\n}\n"
                          "NEW_TEXTURE \"green\" {\nColour 17,Color(0,0,250)\nPicture 8,green\n}\n"
                          "NEW_MORVA \"back\" {\nTexture 2,red\n}\nNEW_CUBE \"box\" {\nFront 8,red\n}\n";
const Entity pose = {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 14}};
const std::vector<unsigned char> red = {250, 0, 0}, green = {0, 250, 0}, blue = {0, 0, 250};

// The colour at the middle of the window, where the cube's FRONT shows.
std::vector<unsigned char> centre(void)
{
    testing::internal::CaptureStdout();
    main_render();
    testing::internal::GetCapturedStdout();
    return std::vector<unsigned char>(&test_shownFrame[(240 * 640 + 320) * 3], &test_shownFrame[(240 * 640 + 320) * 3 + 3]);
}

// Ticks as the viewer does until the world is read again, at most ten
// seconds; with F5 pressed, until what it read is in place or refused.
// between, when given, runs after the first tick.  Returns the console.
std::string ticks(bool f5, const std::function<void()> &between = nullptr)
{
    unsigned before = tile_generation;
    input_pressKey(' ', 0, 0);  // held, so the ticks leave the shared pointer alone
    if (f5)
        input_pressSKey(GLUT_KEY_F5, 0, 0);
    testing::internal::CaptureStdout();
    for (int i = 0; i < 500 && (f5 ? i == 0 || tile_reloadBusy() : tile_generation == before); i++, usleep(20000)) {
        main_timer(1);
        if (i == 0 && between)
            between();
    }
    input_releaseKey(' ', 0, 0);
    input_releaseSKey(GLUT_KEY_F5, 0, 0);
    return testing::internal::GetCapturedStdout();
}

// Opens the world in root as start-up does; its .def path.
std::string openWorld(const std::string &root)
{
    std::vector<unsigned char> cells(2 * 3 * 2, TILE_EMPTY);
    cells[0] = 254;
    static std::string def;
    tile_argument = (def = test_makeWorld(root, "box", world, 2, 3, 2, cells)).c_str();
    test_writeSolidPcx(root + "/PCX/green.pcx", 8, 8, 0, 250, 0);
    testing::internal::CaptureStdout();
    main_init();
    testing::internal::GetCapturedStdout();
    main_renderState();
    camera = pose;
    return def;
}

// Saved by renaming a new file over the old (the definition file, then a
// texture picture), within about a second whether inotify or the files'
// times tell of it, and never before a quarter of a second has passed.
TEST(Reload, ASavedEditShowsWithTheCameraAndOptionsKept)
{
    REQUIRE_GL();
    const std::string root = test_tempDir(), def = openWorld(root);
    EXPECT_EQ(centre(), red);
    tile_optSmooth = 0;
    for (bool inotify : {true, false}) {
        tile_watchStart(inotify);
        EXPECT_EQ(tile_watchNotified(), inotify);
        std::string text = world, saved = inotify ? def : root + "/PCX/green.pcx";
        inotify ? test_writeText(def + "~", text.replace(text.find("Front 8,red"), 11, "Front 8,green"))
                : test_writeSolidPcx(saved + "~", 8, 8, 0, 0, 250);
        ASSERT_EQ(rename((saved + "~").c_str(), saved.c_str()), 0);
        const auto start = std::chrono::steady_clock::now();
        std::string out = ticks(false);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
        EXPECT_NE(out.find("TEXTURE:" + root + "/PCX/green.pcx\nMORVA:back\nCUBE:box\nWorld reloaded: " + def + "\n"),
                  std::string::npos) << out;
        EXPECT_EQ(centre(), inotify ? green : blue) << inotify;
        EXPECT_EQ(memcmp(&camera, &pose, sizeof pose) + tile_optSmooth, 0);
    }
    tile_watchStop();
}

// What a world lacks is named on standard error at load and at each reload,
// one line each, and the world is shown all the same.
TEST(Reload, WhatTheWorldLacksIsNamedAtLoadAndAtEachReload)
{
    REQUIRE_GL();
    const std::string root = test_tempDir();
    std::vector<unsigned char> cells(2 * 3 * 2, TILE_EMPTY);
    cells[0] = 254, cells[1] = 253;  // no block defines 253
    const std::string def = test_makeWorld(root, "box", world, 2, 3, 2, cells);
    test_writeSolidPcx(root + "/PCX/green.pcx", 8, 8, 0, 250, 0);
    const std::string undefined = "tavo: " + def + ": 1 map cell of type 253 (the first at x 1, y 0, z 0) but no "
                                  "cube block defines type 253\n";
    const std::string unknown = "tavo: " + def + ": type 254, face FRONT names texture \"grey\", which no texture "
                                "block declares\n";
    tile_argument = def.c_str();
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    main_init();
    testing::internal::GetCapturedStdout();
    tile_watchStop();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(undefined), std::string::npos) << err;
    EXPECT_EQ(err.find("names texture"), std::string::npos) << err;

    std::string text = world;
    test_writeText(def, text.replace(text.find("Front 8,red"), 11, "Front 8,grey"));
    testing::internal::CaptureStderr();
    std::string out = ticks(true);
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("World reloaded: "), std::string::npos) << out;
    EXPECT_EQ(err, unknown + undefined);
}

// What would end the program at start-up leaves the last good world, with
// its frame, tables and textures; F5 after a good save reads again.  Then
// a hundred reloads leave as many textures as there were.
TEST(Reload, BrokenEditsKeepTheLastGoodWorldAndReloadsLeakNoTexture)
{
    REQUIRE_GL();
    const std::string root = test_tempDir(), def = openWorld(root);
    tile_watchStop();  // F5 alone, so each edit is read once
    auto liveTextures = [] { int n = 0; for (GLuint id = 1; id < 1u << 14; id++) n += glIsTexture(id); return n; };
    const std::string map = root + "/PCX/box.pcx", picture = root + "/PCX/green.pcx";
    const std::string tooLong = world.substr(0, world.find("Picture")) + "Picture 8," + std::string(300, 'x') + "\n}\n";
    const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);  // cut short in its header
    const struct { std::string path, text; } edits[] = {{map, "not a picture"}, {picture, "not a picture"}, {def, tooLong}, {map, ""}, {picture, png}, {map, png}};
    const int textures = liveTextures();
    for (const auto &e : edits) {
        SCOPED_TRACE(e.path + " " + e.text.substr(0, 20));
        std::vector<unsigned char> good;
        ASSERT_TRUE(pcx_readFile(e.path, good));
        const std::vector<const void *> kept = {tile_map, tile_tex, tile_bg, (void *)(size_t)tile_generation};
        e.text.empty() ? (void)unlink(e.path.c_str()) : test_writeText(e.path, e.text);
        std::string out = ticks(true);
        EXPECT_TRUE(testing::internal::RE::PartialMatch(out, test_errorPattern(0) + "\nThe last good world stays on screen\n$")) << out;
        EXPECT_EQ(out.find("ERROR: Path too long: " + root + "/PCX/xxx") != std::string::npos, e.text == tooLong) << out;
        EXPECT_EQ(centre(), red);
        EXPECT_EQ((std::vector<const void *>{tile_map, tile_tex, tile_bg, (void *)(size_t)tile_generation}), kept);
        EXPECT_EQ(liveTextures(), textures);
        ASSERT_TRUE(pcx_writeFile(e.path, good));
        EXPECT_NE(ticks(true).find("World reloaded: "), std::string::npos);
    }
    testing::internal::CaptureStdout();
    for (int i = 0; i < 100; i++)
        tile_reload();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(liveTextures(), textures);
    EXPECT_EQ(centre(), red);
}

// Megabytes of comment lines are read off the drawing thread: the tick
// that asks returns with the last good world in place, a save made
// meanwhile is read after it, and a later tick puts in place what
// reading at once gives.
TEST(Reload, ALargeDefinitionFileIsReadWhileTheTicksGoOn)
{
    REQUIRE_GL();
    const std::string root = test_tempDir(), def = openWorld(root);
    tile_watchStop();
    std::string filler, text = world;
    for (int i = 0; i < 1 << 18; i++)
        filler += std::string(63, 'x') + "\n";
    auto save = [&](const std::string &body) {
        test_writeText(def + "~", filler + body);
        EXPECT_EQ(rename((def + "~").c_str(), def.c_str()), 0);
    };
    save(text.replace(text.find("Front 8,red"), 11, "Front 8,green"));
    const unsigned before = tile_generation;
    bool waited = false;
    const std::string out = ticks(true, [&] {
        waited = tile_reloadBusy() && tile_generation == before;
        save(world);
        input_releaseSKey(GLUT_KEY_F5, 0, 0);
        input_pressSKey(GLUT_KEY_F5, 0, 0);
    });
    EXPECT_TRUE(waited);
    EXPECT_EQ(centre(), red) << out;
    testing::internal::CaptureStdout();
    EXPECT_EQ(tile_reload(), 1);
    const std::string now = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), now.size())), now);
    EXPECT_EQ(std::count(tile_files.begin(), tile_files.end(), root + "/PCX/box.pcx"), 1);  // watched
}

// One picture under two decoding settings is two pictures after a reload,
// as at start-up, though the reading thread decoded both ahead.
TEST(Reload, OnePictureUnderTwoSettingsStaysTwoPictures)
{
    REQUIRE_GL();
    const std::string root = test_tempDir();
    static std::string def;
    tile_argument = (def = test_makeWorld(root, "two", "NEW_TEXTURE \"cut\" {\nFlags 2,Transparent\nPicture 8,spot\n}\n"
                                          "NEW_TEXTURE \"plain\" {\nPicture 8,spot\n}\n",
                                          2, 3, 2, std::vector<unsigned char>(12, TILE_EMPTY))).c_str();
    test_writeSolidPcx(root + "/PCX/spot.pcx", 8, 8, 0, 250, 0);
    auto alpha = [] { return std::vector<int>{tile_tex[0].image.hasAlpha, tile_tex[1].image.hasAlpha}; };
    testing::internal::CaptureStdout();
    main_init();
    const std::vector<int> atStart = alpha();
    EXPECT_EQ(tile_reload(), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(atStart, (std::vector<int>{1, 0}));
    EXPECT_EQ(alpha(), atStart);
    tile_watchStop();
}

// A PNG of each colour type and depth, dropped in place of a missing
// .pcx, shows the very frame its PCX twin shows (tests/data/pictures/png:
// TYPE.TWIN.png holds the pixels of TWIN.pcx); the watch follows the .png.
TEST(Reload, PngPicturesShowAsTheirPcxTwinsInPlaceOfAMissingPcx)
{
    REQUIRE_GL();
    const std::string data = std::string(TAVO_SOURCE_DIR) + "/tests/data/pictures/", root = test_tempDir();
    std::vector<unsigned char> cells(2 * 3 * 2, TILE_EMPTY);
    cells[0] = 254;
    static std::string def;
    tile_argument = (def = test_makeWorld(root, "pics", "NEW_TEXTURE \"pic\" {\nPicture 8,pic\n}\nNEW_CUBE \"box\" {\nFront 8,pic\n}\n",
                                   2, 3, 2, cells)).c_str();
    const std::string pcx = root + "/PCX/pic.pcx", png = root + "/PCX/Pic.PNG";
    std::vector<unsigned char> bytes;
    int opened = 0;
    auto frameOf = [&](const std::string &from, const std::string &to) {
        EXPECT_TRUE(pcx_readFile(from, bytes) && pcx_writeFile(to, bytes)) << from;
        testing::internal::CaptureStdout();
        int read = opened ? tile_reload() : (main_init(), main_renderState(), camera = pose, opened = true);
        main_render();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(read, 1) << out;
        return test_shownFrame;
    };
    int types = 0;
    for (const auto &entry : std::filesystem::directory_iterator(data + "png")) {
        const std::string name = entry.path().stem();
        types++;
        unlink(png.c_str());
        const std::vector<unsigned char> twin = frameOf(data + name.substr(name.find('.') + 1) + ".pcx", pcx);
        unlink(pcx.c_str());
        EXPECT_TRUE(frameOf(entry.path(), png) == twin) << name;
        EXPECT_EQ(std::count(tile_files.begin(), tile_files.end(), png), 1) << name;
    }
    EXPECT_EQ(types, 12);
    tile_watchStop();
}

}  // namespace

namespace {

// Free look's frames from eye until every chunk in view is built, each
// frame's chunk count added to counts.
void lookUntilBuilt(const Entity &eye, std::vector<int> &counts)
{
    for (int i = 0; i < 3000; i++) {
        glLoadIdentity();
        camera_lookFrom(&eye);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        testing::internal::CaptureStdout();
        counts.push_back(tile_drawLook(eye.position.x, eye.position.y, eye.position.z, 64));
        testing::internal::GetCapturedStdout();
        if (i >= 3 && tile_lookStats.queued == 0 && tile_lookStats.waiting == 0)
            return;
        usleep(2000);
    }
}

}  // namespace

// A saved one-cell change to a world many chunks wide, seen in free look:
// no frame while its chunks are built again draws fewer chunks than
// before, and only the chunks the cell touches are built (the others draw
// on with the new textures).
TEST(Reload, AOneCellChangeKeepsEveryChunkOnScreen)
{
    REQUIRE_GL();
    const std::string root = test_tempDir();
    std::vector<unsigned char> cells(64 * 64 * 4, TILE_EMPTY);
    std::fill(cells.begin(), cells.begin() + 64 * 64 * 2, 254);
    static std::string def;
    tile_argument = (def = test_makeWorld(root, "wide", world, 64, 64, 4, cells)).c_str();
    test_writeSolidPcx(root + "/PCX/green.pcx", 8, 8, 0, 250, 0);
    testing::internal::CaptureStdout();
    main_init();
    testing::internal::GetCapturedStdout();
    tile_watchStop();
    main_renderState();
    glMatrixMode(GL_MODELVIEW);
    const Entity eye = {{-1, 0, 0}, {0, 1, 0}, {0, -0.3f, -1}, {64, 12, 64 * 7 + 40}};
    std::vector<int> counts;
    tile_lookOcclude = false;  // counts of chunks hidden or not may vary with the machine's timing
    lookUntilBuilt(eye, counts);
    const int before = counts.back();
    const long built = tile_lookStats.built;
    ASSERT_GT(before, 4);
    cells[(size_t)(1 * 64 + 40) * 64 + 30] = TILE_EMPTY;
    test_makeWorld(root, "wide", world, 64, 64, 4, cells);
    testing::internal::CaptureStdout();
    EXPECT_EQ(tile_reload(), 1);
    testing::internal::GetCapturedStdout();
    counts.clear();
    lookUntilBuilt(eye, counts);
    EXPECT_GE(*std::min_element(counts.begin(), counts.end()), before);
    EXPECT_LE(tile_lookStats.built - built, 4);
    tile_lookOcclude = true;
    EXPECT_EQ(tile_world()->at(30, 1, 40), TILE_EMPTY);
}
