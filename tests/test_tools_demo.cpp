// test_tools_demo.cpp -- the demo world laid out by the tools loads cleanly and its start view shows the world
#include <stdlib.h>
#include <string.h>

#include "main.h"
#include "test_support.h"
#include "tile.h"

namespace {

// The demo world as data/CMakeLists.txt lays it out, made here afresh so
// that the start view is the tracked one, not wherever a user flew to.
std::string layOutDemo(const std::string &root)
{
    std::string tools = TAVO_BINARY_DIR "/tools/", data = TAVO_SOURCE_DIR "/data/demo/";
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
        n += abs(a[i] - b[i]) + abs(a[i + 1] - b[i + 1]) + abs(a[i + 2] - b[i + 2]) > 12;
    return n;
}

TEST(DemoWorld, LoadsCleanlyAndItsStartViewShowsTheWorld)
{
    REQUIRE_GL();
    std::string def = layOutDemo(test_tempDir());
    static std::string argument;
    tile_argument = (argument = def).c_str();
    testing::internal::CaptureStdout();
    main_init();
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(console.find("ERROR"), std::string::npos) << console;
    EXPECT_NE(console.find("CUBE:gold_pedestal"), std::string::npos) << console;

    main_renderState();
    main_resize(640, 480);
    testing::internal::CaptureStdout();
    main_render();
    std::vector<unsigned char> world = test_shownFrame;
    // The same view with every cell emptied is the background alone; most of
    // the window shows the world, not the sky behind it.
    memset(tile_map, TILE_EMPTY, (size_t)tile_width * tile_depth * tile_height);
    main_render();
    testing::internal::GetCapturedStdout();
    EXPECT_GT(countDiffering(world, test_shownFrame), (size_t)640 * 480 / 3);
}

}  // namespace
