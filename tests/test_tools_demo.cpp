// test_tools_demo.cpp -- the demo world laid out by the tools loads cleanly and its start view shows the world
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include "camera.h"
#include "main.h"
#include "test_support.h"
#include "tile.h"

namespace {

// The demo world as data/CMakeLists.txt lays it out, made here afresh so
// that the start view is the tracked one, not wherever a user flew to.
std::string layOutDemo(const std::string &root)
{
    std::string tools = std::string(TAVO_BINARY_DIR) + "/tools/";
    std::string data = std::string(TAVO_SOURCE_DIR) + "/data/demo/";
    test_makeDirs(root + "/DEF");
    EXPECT_EQ(system((tools + "tavo-texgen " + root).c_str()), 0);
    EXPECT_EQ(system((tools + "tavo-map encode " + data + "demo.map " + root + "/PCX/demo.pcx").c_str()), 0);
    EXPECT_EQ(system((tools + "tavo-cam " + data + "start.pose " + root + "/SYS/CAM/demo.cam").c_str()), 0);
    EXPECT_EQ(system(("cp " + data + "demo.def " + root + "/DEF/demo.def").c_str()), 0);
    return root + "/DEF/demo.def";
}

size_t countDiffering(const std::vector<unsigned char> &a, const std::vector<unsigned char> &b)
{
    size_t n = 0;
    for (size_t i = 0; i < a.size(); i += 3)
        if (abs(a[i] - b[i]) + abs(a[i + 1] - b[i + 1]) + abs(a[i + 2] - b[i + 2]) > 12)
            n++;
    return n;
}

TEST(DemoWorld, LoadsCleanlyAndItsStartViewShowsTheWorld)
{
    REQUIRE_GL();
    std::string def = layOutDemo(test_tempDir());
    static std::string argument = def;
    tile_argument = argument.c_str();

    testing::internal::CaptureStdout();
    main_init();
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(console.find("ERROR"), std::string::npos) << console;
    EXPECT_NE(console.find("CUBE:gold_pedestal"), std::string::npos) << console;
    ASSERT_EQ(tile_width, 22);
    ASSERT_EQ(tile_depth, 16);
    ASSERT_EQ(tile_height, 9);

    main_renderState();
    main_resize(640, 480);
    testing::internal::CaptureStdout();
    main_render();
    std::vector<unsigned char> world = test_shownFrame;

    // The same view with every cell emptied is the background alone.
    std::vector<unsigned char> cells(tile_map, tile_map + (size_t)tile_width * tile_depth * tile_height);
    memset(tile_map, TILE_EMPTY, cells.size());
    main_render();
    std::vector<unsigned char> background = test_shownFrame;
    memcpy(tile_map, cells.data(), cells.size());
    testing::internal::GetCapturedStdout();

    // Most of the window shows the world, not the sky behind it.
    EXPECT_GT(countDiffering(world, background), (size_t)640 * 480 / 3);
}

}  // namespace
