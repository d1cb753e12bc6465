// test_new_world.cpp -- tavo --new: a sound world that shows its house, refusals that leave nothing; the readout's cells
#include "test_support.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "camera.h"
#include "input.h"
#include "main.h"
#include "map_text.h"
#include "pcx_encode.h"
#include "tile.h"

namespace {

struct Scratch {
    std::string dir = test_tempDir();
    ~Scratch() { std::filesystem::remove_all(dir); }
};

int newWorld(std::vector<std::string> args)
{
    args.insert(args.begin(), "tavo");
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(&a[0]);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = main_run((int)argv.size(), argv.data());
    testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status != 0, err.find("tavo: ") != std::string::npos) << err;
    return status;
}

// A key pressed and released within one tick, the space bar held so that
// the tick leaves the pointer alone.
void pressInATick(unsigned char key)
{
    input_pressKey(' ', 0, 0);
    input_pressKey(key, 0, 0);
    main_timer(1);
    input_releaseKey(key, 0, 0);
    input_releaseKey(' ', 0, 0);
}

// The colours at (x, y) from the top of the last frame shown, in a 9 x 9 box.
int countLike(int x, int y, bool (*like)(const unsigned char *))
{
    int n = 0;
    for (int dy = -4; dy <= 4; dy++)
        for (int dx = -4; dx <= 4; dx++)
            n += like(&test_shownFrame[((size_t)(479 - y - dy) * 640 + (size_t)(x + dx)) * 3]);
    return n;
}

}  // namespace

TEST(NewWorld, IsSoundAndShowsItsHouseAndTheReadoutLeavesNoTraceWhenOff)
{
    REQUIRE_GL();
    Scratch s;
    ASSERT_EQ(newWorld({"--new", s.dir + "/hall"}), 0);
    std::string def = s.dir + "/hall/DEF/hall.def";
    testing::internal::CaptureStdout();
    EXPECT_EQ(main_check(def.c_str()), 0);
    tile_argument = def.c_str();
    main_init();
    tile_watchStop();
    main_renderState();
    main_render();
    testing::internal::GetCapturedStdout();
    std::vector<unsigned char> off = test_shownFrame;
    // The floor in front of the house, and its wall beside the door.
    EXPECT_GT(countLike(320, 450, [](const unsigned char *p) { return p[0] > 150 && p[0] >= p[2] && p[1] >= p[2]; }), 60);
    EXPECT_GT(countLike(250, 335, [](const unsigned char *p) { return p[0] > p[1] + 40; }), 40);

    testing::internal::CaptureStdout();
    pressInATick('i');
    main_render();
    std::vector<unsigned char> on = test_shownFrame;
    pressInATick('i');
    main_render();
    testing::internal::GetCapturedStdout();
    EXPECT_NE(on, off);
    EXPECT_EQ(test_shownFrame, off);
}

TEST(NewWorld, RefusesBadInputAndLeavesNothingBehind)
{
    Scratch s;
    test_writeText(s.dir + "/file", "x");
    test_makeDirs(s.dir + "/full/a");
    test_makeDirs(s.dir + "/locked");
    chmod((s.dir + "/locked").c_str(), 0555);
    test_makeDirs(s.dir + "/empty");
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"--new", s.dir + "/file"}, 1},
        {{"--new", s.dir + "/full"}, 1},
        {{"--new", s.dir + "/locked/w"}, 1},
        {{"--new", s.dir + "/w", "--size", "4x4x0"}, 2},
        {{"--new", s.dir + "/w", "--size", "1024x1024x65"}, 2},  // above the grid's cells
        {{"--new", s.dir + "/w", "--size", "65533x1x1"}, 2},     // wider than a picture
        {{"--new", s.dir + "/w", "--size", "1x65536x1"}, 2},     // more layers than a map holds
        {{"--new", s.dir + "/w", "--size", "4x4"}, 2},
        {{"--size", "4x4x4", "--new", s.dir + "/empty"}, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(newWorld(c.args), c.status) << c.args[1];
        int entries = 0;
        for (const auto &e : std::filesystem::directory_iterator(s.dir))
            entries += e.path().filename().string()[0] == '.' || e.path().filename() == "w";
        EXPECT_EQ(entries, 0) << "left behind by " << c.args[1];
    }
    // A write that fails half way (a file where a folder must go) leaves nothing.
    testing::internal::CaptureStderr();
    EXPECT_EQ(main_newPlace(s.dir + "/w", {{"A", {1}, ""}, {"A/B", {2}, ""}}), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("A/B: Not a directory"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(s.dir), {}), 4);
    EXPECT_TRUE(std::filesystem::exists(s.dir + "/empty/DEF/empty.def"));
    EXPECT_TRUE(std::filesystem::is_empty(s.dir + "/locked"));
}

// The sizes a map picture holds, at their bounds: layers in 16 bits, cells
// up to TILE_GRID_MAX.  The tallest world is made and read back.
TEST(NewWorld, SizesStopWhereTheMapReaderDoes)
{
    static_assert(1024u * 64 * 1024 == TILE_GRID_MAX, "the cell case sits on the bound");
    const struct {
        const char *size;
        const char *refusal;  // "" when taken
    } cases[] = {
        {"1x65535x1", ""},
        {"1x65536x1", "65536 layers, more than the 65535"},
        {"1024x64x1024", ""},
        {"1024x64x1025", "more than 67108864 cells"},
        {"8192x1x8193", "more than 67108864 cells"},
    };
    for (const auto &c : cases) {
        std::string why = main_newSizeCheck(c.size);
        EXPECT_EQ(why.empty(), !*c.refusal) << c.size << ": " << why;
        EXPECT_NE(why.find(c.refusal), std::string::npos) << c.size << ": " << why;
    }
    Scratch s;
    ASSERT_EQ(newWorld({"--new", s.dir + "/tall", "--size", "1x65535x1"}), 0);
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(pcx_readFile(s.dir + "/tall/PCX/tall.pcx", bytes));
    TileMap map;
    ASSERT_EQ(tile_decodeMap(bytes.data(), bytes.size(), &map), 1);
    EXPECT_EQ(map.height, 65535);
}

// The start view stands two layers above the highest layer in use, layer
// 10 at the least, and looks down at the lowest layer the block draws.
TEST(NewWorld, FramedViewStandsAboveTheHighestLayer)
{
    std::vector<unsigned char> cells(4 * 64 * 4, TILE_EMPTY);
    const struct {
        unsigned filledLayer, top, eyeLayer;
    } cases[] = {{0, 1, 10}, {7, 8, 10}, {39, 40, 42}, {63, 64, 66}};
    for (const auto &c : cases) {
        cells[(size_t)c.filledLayer * 16 + 5] = 1;
        EXPECT_EQ(main_frameTop(cells, 4, 64, 4), c.top);
        Entity pose;
        main_framePose(&pose, 4, c.top, 4);
        EXPECT_FLOAT_EQ(pose.position.y, (float)c.eyeLayer * tile_size) << c.top;
        EXPECT_LT(pose.forward.y, -0.3f);
    }
    EXPECT_EQ(main_frameTop(std::vector<unsigned char>(16, TILE_EMPTY), 2, 4, 2), 0u);
}

std::vector<std::string> entriesOf(const std::string &dir)
{
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// An existing empty folder is filled, not replaced: its mode and set-group-id
// bit stay, through a link too; a failure, writing or moving in, leaves it
// as it was.
TEST(NewWorld, FillsAnEmptyFolderInPlace)
{
    Scratch s;
    const std::vector<std::string> world = {"DEF", "PCX", "SYS"};
    for (mode_t mode : {02770, 0705}) {
        std::string dir = s.dir + "/kept" + std::to_string(mode);
        test_makeDirs(dir);
        ASSERT_EQ(chmod(dir.c_str(), mode), 0);
        ASSERT_EQ(newWorld({"--new", dir}), 0);
        struct stat st;
        ASSERT_EQ(stat(dir.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_EQ(entriesOf(dir), world);
        EXPECT_TRUE(std::filesystem::exists(dir + "/DEF/kept" + std::to_string(mode) + ".def"));
    }
    test_makeDirs(s.dir + "/target");
    std::filesystem::create_directory_symlink("target", s.dir + "/link");
    ASSERT_EQ(newWorld({"--new", s.dir + "/link/"}), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(s.dir + "/link"));
    EXPECT_TRUE(std::filesystem::exists(s.dir + "/target/DEF/link.def"));
    std::filesystem::create_directory_symlink("nowhere", s.dir + "/dangling");
    EXPECT_EQ(newWorld({"--new", s.dir + "/dangling"}), 1);

    // A file where a folder must go fails the writing; an entry taken
    // meanwhile fails the moving in, after DEF went in: it is taken back.
    test_makeDirs(s.dir + "/empty");
    test_makeDirs(s.dir + "/taken/PCX/keep");
    testing::internal::CaptureStderr();
    EXPECT_EQ(main_newPlace(s.dir + "/empty", {{"DEF/a", {1}, ""}, {"DEF/a/b", {2}, ""}}), 1);
    EXPECT_EQ(main_newPlace(s.dir + "/taken", {{"DEF/a", {1}, ""}, {"PCX/b", {2}, ""}}), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("/taken/PCX: "), std::string::npos);
    EXPECT_EQ(entriesOf(s.dir + "/empty"), std::vector<std::string>{});
    EXPECT_EQ(entriesOf(s.dir + "/taken"), std::vector<std::string>{"PCX"});
    EXPECT_EQ(entriesOf(s.dir + "/taken/PCX"), std::vector<std::string>{"keep"});
}

// A room seen from in front (+z): a wall at row 1, glass at row 3 in
// column 2, the legend naming both; the cube blocks name type 251 only.
TEST(Readout, CentreCellAgreesWithTheMapText)
{
    const std::string text = "legend . 255 empty\nlegend # 253 brick wall\nlegend o 252 window\n"
                             "layer 0\n......\n.####.\n......\n..o...\n......\n";
    const std::string def = "NEW_CUBE \"a\" {\n}\nNEW_CUBE \"b\" {\n}\nNEW_CUBE \"c\" {\n}\nNEW_CUBE \"lamp\" {\n}\n";
    std::vector<unsigned char> mapBytes(text.begin(), text.end()), defBytes(def.begin(), def.end());
    MapText map;
    std::string reason;
    ASSERT_TRUE(map_textParse("room.map", mapBytes, &map, &reason)) << reason;
    MainReadoutWorld w;
    w.name = "room";
    w.width = map.width, w.height = map.layers, w.depth = map.depth, w.cells = map.cells.data();
    main_readoutNames(defBytes, &mapBytes, "room.map", &w.typeNames);
    w.seeThrough[252] = 1;
    EXPECT_EQ(w.typeNames[251], "lamp");

    const struct {
        Entity pose;
        std::vector<std::string> lines;
    } cases[] = {
        {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {6, 0, 60}},
         {"camera: column 3, layer 0, row 9 (outside the map), facing -z",
          "centre: column 3, layer 0, row 1: 253 brick wall"}},
        {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {4, 0, 60}},
         {"centre: column 2, layer 0, row 3: 252 window",
          "  seen through it: column 2, layer 0, row 1: 253 brick wall"}},
        {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {6, 0, 60}}, {"centre: none within 256 cells"}},
        {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {6, 0, 2100}}, {"centre: none within 256 cells"}},  // 299 rows away
    };
    for (const auto &c : cases) {
        std::vector<std::string> lines = main_readoutLines(w, &c.pose, 40.0);
        EXPECT_EQ(lines.front(), "room");
        EXPECT_EQ(lines.back(), "40 frames a second");
        for (const std::string &l : c.lines)
            EXPECT_NE(std::find(lines.begin(), lines.end(), l), lines.end()) << l << " in\n" << testing::PrintToString(lines);
    }
}

// The centre cell on a view along no axis and on maps of several layers,
// from the near plane on, among the cells drawn: 8 columns, 4 layers, 6 rows,
// a cell 2 units wide and high and 7 deep.
TEST(Readout, TheCentreIsTheFirstCellDrawnBeyondTheNearPlane)
{
    const unsigned W = 8, H = 4, D = 6;
    std::vector<unsigned char> cells(W * H * D, TILE_EMPTY);
    auto at = [&](int x, int y, int z) -> unsigned char & { return cells[((size_t)y * D + z) * W + x]; };
    at(4, 1, 2) = 1;                                           // on the oblique line from (0, 1, 0)
    at(2, 1, 2) = at(4, 1, 1) = at(4, 0, 2) = at(4, 2, 2) = 2;  // beside it, and above and below
    at(6, 0, 5) = at(6, 2, 5) = 3, at(6, 3, 5) = 4;            // a column: the eye in its top cell
    MainReadoutWorld w;
    w.width = W, w.height = H, w.depth = D, w.cells = cells.data();
    const Vector down = {0, -1, 0};
    const struct { const char *name; Vector eye, dir; int hi[3]; const char *centre; } table[] = {
        {"oblique, to the cell's centre", {0, 2, 0}, {8, 0, 14}, {8, 4, 6}, "column 4, layer 1, row 2: 1"},
        {"oblique, upwards", {0, 0, 0}, {8, 2, 14}, {8, 4, 6}, "column 4, layer 1, row 2: 1"},
        {"down a column, from inside its top cell", {12, 6, 35}, down, {8, 4, 6}, "column 6, layer 2, row 5: 3"},
        {"down, the top cell not drawn", {12, 7, 35}, down, {8, 3, 6}, "column 6, layer 2, row 5: 3"},
        {"oblique, its cell beyond those drawn", {0, 2, 0}, {8, 0, 14}, {4, 4, 6}, "none"},
    };
    for (const auto &row : table) {
        w.hi[0] = row.hi[0], w.hi[1] = row.hi[1], w.hi[2] = row.hi[2];
        Entity pose = {{-1, 0, 0}, {0, 1, 0}, row.dir, row.eye};
        std::vector<std::string> lines = main_readoutLines(w, &pose, 0);
        EXPECT_EQ(lines[2].substr(0, lines[2].find(" (no")).substr(8, strlen(row.centre)), row.centre) << row.name;
    }
    // Layer 2 begins half a unit below this eye, nearer than the near plane: it is not seen.
    Entity close = {{-1, 0, 0}, {0, 1, 0}, down, {12, 5.5f, 35}};
    w.hi[0] = W, w.hi[1] = H, w.hi[2] = D;
    EXPECT_EQ(main_readoutLines(w, &close, 0)[2], "centre: column 6, layer 0, row 5: 3 (no cube block)");
}
