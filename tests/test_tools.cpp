// test_tools.cpp -- the tools run as an author runs them: round trips, refusals, and the demo world they lay out
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <GL/freeglut.h>
#include <png.h>

#include "entity.h"
#include "input.h"
#include "main.h"
#include "pcx_encode.h"
#include "test_support.h"
#include "tile.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// Runs a built tool; returns its exit status and puts its standard error in errors.
int tool(const std::string &name, const std::string &args, std::string *errors = nullptr,
         const std::string &before = "")
{
    static const std::string errFile = test_tempDir() + "/stderr.txt";
    int raw = system((before + std::string(TAVO_BINARY_DIR) + "/" + name + " " + args + " 2>" + errFile).c_str());
    Bytes bytes;
    if (errors && pcx_readFile(errFile, bytes))
        errors->assign(bytes.begin(), bytes.end());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

Bytes readBytes(const std::string &path)
{
    Bytes bytes;
    EXPECT_TRUE(pcx_readFile(path, bytes)) << path;
    return bytes;
}
std::string readText(const std::string &path) { Bytes b = readBytes(path); return std::string(b.begin(), b.end()); }

// A PNG file decoded by libpng, rows from the top; empty unless it is 640 x 480 8-bit RGB.
Bytes readPng(const std::string &path)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    Bytes rgb;
    if (png_image_begin_read_from_file(&image, path.c_str()) && image.format == PNG_FORMAT_RGB &&
        image.width == 640 && image.height == 480) {
        rgb.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
            rgb.clear();
    }
    png_image_free(&image);
    return rgb;
}

TEST(TavoMap, TextToPictureToTextAndPictureToTextToPictureAreExact)
{
    std::string dir = test_tempDir();
    // Three layers of 4 x 3 in one band; a cell of value 5 stands beside the frame's fives.
    // One-character symbols only, as every older text has: it reads and comes back as before.
    const std::string text = "across 3\nlegend . 255\nlegend # 254\nlegend A 5\nlegend B 0\n\n"
                             "layer 0\n####\n#AB#\n####\n\nlayer 1\n#..#\n....\n#..#\n\nlayer 2\n....\n.A..\n....\n";
    test_writeText(dir + "/a.map", text);
    ASSERT_EQ(tool("tavo-map", "encode " + dir + "/a.map " + dir + "/a.pcx"), 0);
    ASSERT_EQ(tool("tavo-map", "decode " + dir + "/a.pcx " + dir + "/b.map"), 0);
    EXPECT_EQ(readText(dir + "/b.map"), text);
    ASSERT_EQ(tool("tavo-map", "decode " + dir + "/a.pcx " + dir + "/c.map --header " + dir + "/a.map"), 0);
    EXPECT_EQ(readText(dir + "/c.map"), text);

    // Five layers of 3 x 2 across 2 leave the sixth block of the last band
    // empty; the viewer counts it as a layer, and so does the text.
    Bytes cells(3 * 2 * 5);
    for (size_t i = 0; i < cells.size(); i++)
        cells[i] = (unsigned char)(i * 37 % 256);
    Bytes picture = pcx_encodeMap(3, 2, 5, cells.data(), 2);
    pcx_writeFile(dir + "/p.pcx", picture);
    ASSERT_EQ(tool("tavo-map", "decode " + dir + "/p.pcx " + dir + "/p.map"), 0);
    EXPECT_NE(readText(dir + "/p.map").find("layer 5\n...\n...\n"), std::string::npos);
    ASSERT_EQ(tool("tavo-map", "encode " + dir + "/p.map " + dir + "/q.pcx"), 0);
    EXPECT_EQ(readBytes(dir + "/q.pcx"), picture);
}

// Every cell value has a spelling: past the one-character symbols, decode
// gives the lowest types two-character ones, and both round trips hold
// whatever number of kinds, under a legend of decode's or one from a file
// (which has symbols of both lengths).
TEST(TavoMap, EveryCellValueHasASpellingAndBothRoundTripsHold)
{
    const std::string dir = test_tempDir(), from = dir + "/from.map";
    test_writeText(from, "# kept\nlegend . 255\nlegend _A 0 low\nlegend Z 254\n\nlayer 0\n.\n");
    const struct { unsigned kinds; bool header; const char *spelling; } runs[] = {
        {256, false, "\nlegend `- 0\n"},       // every value: two prefixes, '_' then '`'
        {256, true, "\nlegend _B 162\n"},     // '_' and 'Z' taken: the file's '_' begins more
        {255, false, "\nlegend `# 70\n"},      // 0 to 254, no empty cell
        {94, false, "\nlegend _A 0\n"},        // the first count past one character each
        {93, false, "\nlegend _ 0\n"},         // still one character each, as before
    };
    for (const auto &r : runs) {
        Bytes cells(8 * 4 * 8);
        for (size_t i = 0; i < cells.size(); i++)
            cells[i] = (unsigned char)(i % r.kinds);
        Bytes picture = pcx_encodeMap(8, 4, 8, cells.data(), 2);
        pcx_writeFile(dir + "/p.pcx", picture);
        std::string header = r.header ? " --header " + from : "", label = std::to_string(r.kinds) + header;
        ASSERT_EQ(tool("tavo-map", "decode " + dir + "/p.pcx " + dir + "/p.map" + header), 0) << label;
        ASSERT_EQ(tool("tavo-map", "encode " + dir + "/p.map " + dir + "/q.pcx"), 0) << label;
        EXPECT_EQ(readBytes(dir + "/q.pcx"), picture) << label;
        ASSERT_EQ(tool("tavo-map", "decode " + dir + "/q.pcx " + dir + "/q.map" + header), 0) << label;
        std::string text = readText(dir + "/p.map");
        EXPECT_EQ(readText(dir + "/q.map"), text) << label;
        EXPECT_NE(text.find(r.spelling), std::string::npos) << label << "\n" << text;
    }
}

TEST(TavoMap, RefusesTextThatDoesNotMakeAMapAndPicturesThatAreNotMaps)
{
    const std::string dir = test_tempDir(), legend = "legend . 255\nlegend # 254\n", row(30000, '.');
    const struct { std::string text, error; } cases[] = {
        {legend + "layer 0\n...\n..\n", "a row of 2 cells, the first row has 3"},
        {legend + "layer 0\n..\n..\nlayer 1\n..\n", "layer 1 has 1 rows, layer 0 has 2"},
        {legend + "layer 0\n.x\n", "character 'x' in column 2 is not in the legend"},
        {"legend . 256\nlayer 0\n.\n", "TYPE 0 to 255"},
        {"legend abc 5\nlayer 0\n.\n", "one or two characters"},
        {legend + "legend #A 5\nlayer 0\n.\n", "'#' cannot both be a cell and begin the two-character '#A'"},
        {"legend _A 5\nlegend _ 6\nlayer 0\n.\n", "'_' cannot both be a cell and begin the two-character '_A'"},
        {"legend _A 5\nlegend _A 6\nlayer 0\n.\n", "characters '_A' are already in the legend"},
        {"legend _A 5\nlegend _B 5\nlayer 0\n.\n", "type 5 already has the characters '_A'"},
        {legend + "legend _A 5\nlayer 0\n._A\n._\n", "the row ends inside a two-character cell, '_' in column 2"},
        {legend + "legend _A 5\nlayer 0\n._A\n_B.\n", "characters '_B' in column 1 are not in the legend"},
        {legend + "legend _A 5\nlayer 0\n._A\n._A.\n", "a row of 3 cells, the first row has 2"},
        {"across 2\n" + legend + "layer 0\n.\nlayer 1\n.\nlayer 2\n.\n", "3 layers do not fill whole bands of 2"},
        // Sizes the viewer's 16-bit picture sides cannot hold: a band too wide, a layer too wide.
        {"across 3\n" + legend + "layer 0\n" + row + "\nlayer 1\n" + row + "\nlayer 2\n" + row + "\n",
         "the map picture would be 90006 x 3 pixels"},
        {legend + "layer 0\n" + std::string(65533, '.') + "\n", "too large for a map picture"},
    };
    std::string errors;
    for (const auto &c : cases) {
        test_writeText(dir + "/bad.map", c.text);
        EXPECT_EQ(tool("tavo-map", "encode " + dir + "/bad.map " + dir + "/bad.pcx", &errors), 1) << c.error;
        EXPECT_NE(errors.find(c.error), std::string::npos) << errors;
    }
    pcx_writeFile(dir + "/true.pcx", pcx_encode24(2, 2, Bytes(12).data()));
    EXPECT_EQ(tool("tavo-map", "decode " + dir + "/true.pcx " + dir + "/x.map", &errors), 1);
    EXPECT_NE(errors.find("not a map picture"), std::string::npos) << errors;
}

TEST(TavoCam, PoseTextToCameraFileAndBack)
{
    std::string dir = test_tempDir();
    test_writeText(dir + "/start.pose", "# a pose\n-1 0 0\n0 1 0\n0 0 -1   # forward\n20.5 0.333333343 -97.25\n");
    ASSERT_EQ(tool("tavo-cam", dir + "/start.pose " + dir + "/SYS/CAM/w.cam"), 0);
    Bytes bytes = readBytes(dir + "/SYS/CAM/w.cam");
    Entity e;
    entity_fromBytes(&e, bytes.data(), bytes.size());
    EXPECT_EQ(bytes.size(), 48u);
    EXPECT_EQ((std::vector<float>{e.left.x, e.forward.z, e.position.x, e.position.z}),
              (std::vector<float>{-1, -1, 20.5f, -97.25f}));
    // --show prints a pose that makes the same file again.
    ASSERT_EQ(tool("tavo-cam", "--show " + dir + "/SYS/CAM/w.cam >" + dir + "/shown.pose"), 0);
    ASSERT_EQ(tool("tavo-cam", dir + "/shown.pose " + dir + "/again.cam"), 0);
    EXPECT_EQ(readBytes(dir + "/again.cam"), bytes);
    test_writeText(dir + "/bad.pose", "1 2 3 4 5 6 7 8 9 10 11 twelve\n");
    EXPECT_EQ(tool("tavo-cam", dir + "/bad.pose " + dir + "/x.cam"), 1);
}

// Outputs are written whole and renamed into place: a write that fails
// (a file size limit) leaves the old file and the status says so, a link
// is replaced, not followed, a replaced file keeps its mode, and an output
// that is the input is refused.
TEST(Tools, OutputsAreWrittenWholeOrNotAtAll)
{
    std::string dir = test_tempDir(), errors, text = "legend . 255\nlegend # 254\nlayer 0\n";
    for (int i = 0; i < 60 * 61; i++)
        text += i % 61 == 60 ? '\n' : ".#"[i * i % 7 < 3];
    test_writeText(dir + "/a.map", text);
    test_writeText(dir + "/old.pcx", "old");
    test_writeText(dir + "/target", "target");
    test_writeText(dir + "/kept.pcx", "kept");
    chmod((dir + "/kept.pcx").c_str(), 0640);
    ASSERT_EQ(symlink("target", (dir + "/link.pcx").c_str()) + symlink("a.map", (dir + "/same.map").c_str()), 0);
    const char *runs[][4] = {  // tool, arguments, exit status, what standard error says
        {"tavo-map", "encode a.map old.pcx", "1", "old.pcx: File too large"},  // under a file size limit
        {"tavo-map", "encode a.map link.pcx", "0", ""},
        {"tavo-map", "encode a.map kept.pcx", "0", ""},
        {"tavo-texgen", "old.pcx", "1", "'old.pcx': Not a directory"},
        {"tavo-map", "encode a.map same.map", "1", "the output is the input"},
        {"tavo-map", "decode link.pcx link.pcx", "1", "the output is the input"},
        {"tavo-cam", "a.map same.map", "1", "the output is the input"},
    };
    for (const auto &r : runs) {
        std::string limit = std::string("cd ") + dir + " && ulimit -f " + (&r == runs ? "2" : "unlimited") + "; trap '' XFSZ; ";
        EXPECT_EQ(tool(r[0], r[1], &errors, limit), atoi(r[2])) << r[1];
        EXPECT_NE(errors.find(r[3]), std::string::npos) << errors;
    }
    EXPECT_EQ(readText(dir + "/old.pcx") + readText(dir + "/target") + readText(dir + "/a.map"), "oldtarget" + text);
    struct stat st, kept;
    EXPECT_TRUE(lstat((dir + "/link.pcx").c_str(), &st) == 0 && S_ISREG(st.st_mode));
    EXPECT_TRUE(stat((dir + "/kept.pcx").c_str(), &kept) == 0 && (kept.st_mode & 07777) == 0640);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 6) << "no temporary file left";
}

// Refusals that name the real reason: an empty or missing root, a number
// too large for a float, a folder the system will not make.
TEST(Tools, RefusalsSayWhy)
{
    std::string dir = test_tempDir(), errors;
    test_writeText(dir + "/big.pose", "1e41 0 0 0 1 0 0 0 -1 0 0 0\n");
    test_writeText(dir + "/ok.pose", "-1 0 0 0 1 0 0 0 -1 0 0 0\n");
    const char *runs[][4] = {  // tool, arguments, exit status, what standard error says
        {"tavo-texgen", "''", "2", "an empty name cannot be ROOT"},
        {"tavo-texgen", "missing", "1", "the root folder 'missing': No such file or directory"},
        {"tavo-cam", "big.pose x.cam", "1", "'1e41' is out of range"},
        {"tavo-cam", "ok.pose /sys/tavo/x.cam", "1", "/sys/tavo/x.cam: "},
    };
    for (const auto &r : runs) {
        EXPECT_EQ(tool(r[0], r[1], &errors, "cd " + dir + " && "), atoi(r[2])) << r[1];
        EXPECT_NE(errors.find(r[3]), std::string::npos) << errors;
        EXPECT_EQ(errors.find("/sys/tavo/x.cam: No such file"), std::string::npos) << "not the folder's reason";
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2) << "nothing written";
}

// The demo world laid out afresh as data/CMakeLists.txt does, so that the
// start view is the tracked one, not wherever a user flew to.
TEST(DemoWorld, LoadsCleanlyAndItsStartViewShowsTheWorld)
{
    REQUIRE_GL();
    std::string root = test_tempDir(), data = TAVO_SOURCE_DIR "/data/demo/";
    ASSERT_EQ(tool("tavo-texgen", root), 0);
    ASSERT_EQ(tool("tavo-map", "encode " + data + "demo.map " + root + "/PCX/demo.pcx"), 0);
    ASSERT_EQ(tool("tavo-cam", data + "start.pose " + root + "/SYS/CAM/demo.cam"), 0);
    ASSERT_TRUE(pcx_writeFileDirs(root + "/DEF/demo.def", readBytes(data + "demo.def")));
    static std::string argument;
    tile_argument = (argument = root + "/DEF/demo.def").c_str();
    testing::internal::CaptureStdout();
    main_init();
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(console.find("ERROR"), std::string::npos) << console;
    EXPECT_NE(console.find("CUBE:gold_pedestal"), std::string::npos) << console;

    main_renderState();
    main_resize(640, 480);
    testing::internal::CaptureStdout();
    main_render();
    Bytes world = test_shownFrame, shown(world.size());
    for (size_t y = 0; y < 480; y++)  // the frame read back starts at the bottom row
        memcpy(&shown[y * 640 * 3], &world[(479 - y) * 640 * 3], 640 * 3);

    // The shot keys save the frame shown, once while held, as numbered files
    // in SYS/SHOT (made when missing); with SYS/SHOT a file, in the current folder.
    std::string blocked = test_tempDir(), bare = test_tempDir(), cwd = test_tempDir(), shots = root + "/SYS/SHOT/demo-000";
    test_writeText(blocked + "/SYS/SHOT", "not a folder");
    const struct { bool f12; std::string root, file; } presses[] = {
        {false, root + "/", shots + "1.png"}, {true, root + "/", shots + "2.png"}, {false, blocked + "/", "demo-0001.png"},
        {true, bare + "/", bare + "/SYS/SHOT/demo-0001.png"}};
    std::vector<std::string> wrong;  // shots missing or not the frame shown
    bool moved = chdir(cwd.c_str()) == 0;
    for (const auto &p : presses) {
        snprintf(tile_root, sizeof tile_root, "%s", p.root.c_str());
        p.f12 ? input_pressSKey(GLUT_KEY_F12, 0, 0) : input_pressKey('p', 0, 0);
        for (int held = 0; held < 2; held++) {
            main_shotKeys();
            input_endTick();
            main_render();
        }
        input_releaseKey('p', 0, 0);
        input_releaseSKey(GLUT_KEY_F12, 0, 0);
        main_shotKeys();
        main_shotWait();
        if (readPng(p.file) != shown)
            wrong.push_back(p.file);
    }
    console = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(moved);
    EXPECT_EQ(wrong, std::vector<std::string>());
    EXPECT_NE(console.find("SHOT:" + shots + "2.png\n"), std::string::npos) << console;
    struct stat st;
    EXPECT_NE(stat((shots + "3.png").c_str(), &st), 0);
    EXPECT_NE(stat((blocked + "/demo-0001.png").c_str(), &st), 0);

    // --shot draws the same frame in a process of its own and leaves the
    // camera file alone; a world that fails to load ends it with the load's
    // status and no picture.
    ASSERT_EQ(stat((root + "/SYS/CAM/demo.cam").c_str(), &st), 0);
    ino_t camera = st.st_ino;
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);  // the GL driver's leaks are not tavo's
    EXPECT_EQ(tool("tavo", "--shot " + root + "/shot.png " + root + "/DEF/demo.def >/dev/null"), 0);
    EXPECT_TRUE(readPng(root + "/shot.png") == shown);
    EXPECT_TRUE(stat((root + "/SYS/CAM/demo.cam").c_str(), &st) == 0 && st.st_ino == camera);
    test_writeText(root + "/DEF/nomap.def", "");
    EXPECT_EQ(tool("tavo", "--shot " + root + "/no.png " + root + "/DEF/nomap.def >/dev/null", nullptr,
                   "PATH=/nonexistent "), 255);  // no error dialog to wait on, zenity or not
    EXPECT_NE(stat((root + "/no.png").c_str(), &st), 0);

    // The same view with every cell emptied is the background alone; most of
    // the window shows the world, not the sky behind it.
    memset(tile_map, TILE_EMPTY, (size_t)tile_width * tile_depth * tile_height);
    tile_generation++;
    testing::internal::CaptureStdout();
    main_render();
    testing::internal::GetCapturedStdout();
    size_t differing = 0;
    for (size_t i = 0; i < world.size(); i += 3)
        differing += abs(world[i] - test_shownFrame[i]) + abs(world[i + 1] - test_shownFrame[i + 1]) +
                     abs(world[i + 2] - test_shownFrame[i + 2]) > 12;
    EXPECT_GT(differing, (size_t)640 * 480 / 3);
}

}  // namespace
