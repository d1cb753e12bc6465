// test_build_guards.cpp -- building driven tick by tick: the overlay, undo keys, Ctrl+S, and the guards on Escape and reloads
#include "test_support.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include <GL/freeglut.h>

#include "camera.h"
#include "file.h"
#include "input.h"
#include "main.h"
#include "tile.h"

namespace {

// A key pressed and released within one tick.
void tap(unsigned char key, int tick)
{
    input_pressKey(key, 320, 240);
    main_timer(tick);
    input_releaseKey(key, 320, 240);
}

// A frame once every chunk in view is built.
void renderSettled(void)
{
    main_render();
    for (int wait = 0; tile_lookStats.pending > 0 && wait < 6000; wait++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        main_render();
    }
}

std::vector<unsigned char> grid(void)
{
    return std::vector<unsigned char>(tile_map, tile_map + (size_t)tile_width * tile_height * tile_depth);
}

}  // namespace

TEST(BuildGuards, EditsUndoSaveAndTheGuardsOnEscapeAndReloads)
{
    REQUIRE_GL();
    std::string dir = test_tempDir() + "/w";
    const unsigned size[3] = {12, 10, 12};
    testing::internal::CaptureStdout();
    ASSERT_EQ(main_newWorld(dir.c_str(), size), 0);
    std::string def = dir + "/DEF/w.def", map = dir + "/PCX/w.pcx";
    tile_argument = def.c_str();
    main_looking = 1;  // as --look does
    main_init();
    tile_watchStop();
    main_renderState();
    input_unlockAll();
    mouse_x = 320, mouse_y = 240;
    renderSettled();
    std::vector<unsigned char> plain = test_shownFrame, start = grid(), before;
    file_read(map.c_str(), FILE_WORLD_MAX, before);

    tap(MAIN_KEY_BUILD, 1);
    ASSERT_TRUE(main_building);
    renderSettled();
    EXPECT_NE(test_shownFrame, plain) << "no crosshair, outline or label";

    // A left click removes one cell; Ctrl+Z and Ctrl+Y undo and redo it.
    input_mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 320, 240);
    main_timer(2);
    input_mouse(GLUT_LEFT_BUTTON, GLUT_UP, 320, 240);
    main_timer(3);
    std::vector<unsigned char> removed = grid();
    size_t differ = 0;
    for (size_t i = 0; i < start.size(); i++)
        differ += start[i] != removed[i] && removed[i] == TILE_EMPTY;
    EXPECT_EQ(differ, 1u);
    EXPECT_TRUE(main_buildUnsaved());
    tap(MAIN_KEY_UNDO, 4);
    EXPECT_EQ(grid(), start);
    EXPECT_FALSE(main_buildUnsaved());
    tap(MAIN_KEY_REDO, 5);
    EXPECT_EQ(grid(), removed);

    // Unsaved: the first Escape and a change on disk are only reported; F5 twice reads again.
    EXPECT_FALSE(main_buildMayQuit());
    EXPECT_TRUE(main_buildMayQuit());
    EXPECT_FALSE(main_buildMayReload(false));
    EXPECT_TRUE(main_buildMayReload(true));
    std::vector<unsigned char> now;
    file_read(map.c_str(), FILE_WORLD_MAX, now);
    EXPECT_EQ(now, before) << "nothing is written before Ctrl+S";

    // Ctrl+S: written off the drawing thread; the edit counts as saved once it is there.
    tap(MAIN_KEY_SAVE, 6);
    for (int t = 7; main_buildSaving() && t < 1000; t++)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(main_buildUnsaved());
    EXPECT_TRUE(main_buildMayQuit());
    file_read(map.c_str(), FILE_WORLD_MAX, now);
    TileMap back;
    ASSERT_TRUE(tile_decodeMap(now.data(), now.size(), &back));
    EXPECT_EQ(back.cells, removed);

    tap(MAIN_KEY_BUILD, 8);
    EXPECT_FALSE(main_building);
    renderSettled();
    EXPECT_NE(test_shownFrame, plain) << "the removed cell does not show";
    tap(MAIN_KEY_UNDO, 9);  // undo works with building off too
    EXPECT_TRUE(main_buildUnsaved());
    renderSettled();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(test_shownFrame, plain) << "building off leaves no trace";
}
