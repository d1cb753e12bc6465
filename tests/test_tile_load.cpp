// test_tile_load.cpp -- loading whole worlds: paths, case-blind lookup, the camera file, the chooser and the fatal paths
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "entity.h"
#include "pcx_encode.h"
#include "test_support.h"
#include "tile.h"

namespace {

// A 4 x 3 world of four layers with a 6 x 5 glass picture; returns the
// .def path and sets root to the world's real root folder.
std::string makeHall(std::string *root, std::vector<unsigned char> *cells = nullptr)
{
    char *real = realpath(test_tempDir().c_str(), nullptr);
    *root = real;
    free(real);
    std::vector<unsigned char> c(4 * 3 * 4, 255);
    c[0] = c[47] = 254;
    std::string def = test_makeWorld(*root, "hall",
                                     "NEW_TEXTURE \"glass\" {\nPicture 8,\"walls:Glass\"\n}\n"
                                     "NEW_MORVA \"back\" {\nTexture 2,glass\n}\n"
                                     "NEW_CUBE \"wall\" {\nBack 3,glass\n}\n",
                                     4, 3, 4, c, 2);
    test_writeSolidPcx(*root + "/PCX/walls/glass.pcx", 6, 5, 10, 20, 30);
    if (cells)
        *cells = c;
    return def;
}

std::string load(const std::string &def)  // returns the console
{
    static std::string argument;
    argument = def;
    tile_argument = argument.c_str();
    testing::internal::CaptureStdout();
    tile_load();
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// Death tests run load in the child, with its console on standard error.
#define EXPECT_LOAD_DIES(def, pattern) \
    EXPECT_EXIT({ test_stdoutToStderr(); tile_argument = (def).c_str(); tile_load(); }, \
                testing::ExitedWithCode(255), pattern)

TEST(TileLoadPaths, DeriveAndCaseBlindLookup)
{
    const struct { const char *def, *root, *map, *file; } cases[] = {
        {"/data/defs/hall.def", "/data/", "/data/PCX/hall.pcx", "hall.cam"},
        {"/a.b/defs/x.y.def", "/a.b/", "/a.b/PCX/x.y.pcx", "x.y.cam"},
        {"/w/defs/hall", "/w/", "/w/PCX/hall.pcx", "hall.cam"},  // no extension
        {"/hall.def", "/", "/PCX/hall.pcx", "hall.cam"},         // above the top is the top
    };
    char root[TILE_PATH], map[TILE_PATH], file[TILE_PATH];
    for (const auto &c : cases) {
        SCOPED_TRACE(c.def);
        ASSERT_EQ(tile_derivePaths(c.def, root, map, file), 1);
        EXPECT_STREQ(root, c.root);
        EXPECT_STREQ(map, c.map);
        EXPECT_STREQ(file, c.file);
    }
    EXPECT_EQ(tile_derivePaths("hall.def", root, map, file), 0);
    // The stand-by picture's path is the longest for short names, the
    // camera file's for long ones.
    std::string top = "/" + std::string(255 - 22 - 2, 'r') + "/";
    ASSERT_EQ(tile_derivePaths((top + "DEF/h.def").c_str(), root, map, file), 1);
    EXPECT_EQ(strlen(root) + strlen("PCX/SYSTEM/BASIC02.PCX"), 255u);
    EXPECT_EQ(tile_derivePaths(("/r" + top + "DEF/h.def").c_str(), root, map, file), 0);
    std::string name(255 - 12 - 3, 'n');
    EXPECT_EQ(tile_derivePaths(("/w/DEF/" + name + ".def").c_str(), root, map, file), 1);
    EXPECT_EQ(tile_derivePaths(("/w/DEF/" + name + "n.def").c_str(), root, map, file), 0);

    std::string dir = test_tempDir();
    test_writeText(dir + "/pcx/walls/glass.pcx", "g");
    test_writeText(dir + "/Both/A.txt", "upper");
    test_writeText(dir + "/both/a.txt", "lower");
    const char *lookups[][2] = {
        {"/PCX/Walls/Glass.PCX", "/pcx/walls/glass.pcx"},
        {"/pcx/walls/glass.pcx", "/pcx/walls/glass.pcx"},
        {"/both/a.txt", "/both/a.txt"},  // the exact spelling wins
        {"/Both/A.txt", "/Both/A.txt"},
        {"/Both/a.TXT", "/Both/A.txt"},
        {"/PCX/Nope/Glass.PCX", "/pcx/Nope/Glass.PCX"},  // the rest stays as written
        {"/PCX//walls/./Glass.pcx", "/pcx//walls/./glass.pcx"},
    };
    for (const auto &l : lookups)
        EXPECT_EQ(tile_resolvePath(dir + l[0]), dir + l[1]) << l[0];
}

TEST(TileLoad, WholeWorldAndItsCameraFile)
{
    REQUIRE_GL();
    std::string root;
    std::vector<unsigned char> cells;
    std::string def = makeHall(&root, &cells);
    EXPECT_EQ(load(def), "TEXTURE:" + root + "/PCX/SYSTEM/BASIC02.PCX\n"
                         "TEXTURE:" + root + "/SYS/IMG/matrix.pcx\n"
                         "TEXTURE:" + root + "/PCX/walls/Glass.pcx\n"
                         "MORVA:back\nCUBE:wall\n");
    EXPECT_EQ(std::string(tile_root), root + "/");
    EXPECT_STREQ(tile_file, "hall.cam");
    EXPECT_EQ(tile_width, 4);
    EXPECT_EQ(tile_depth, 3);
    EXPECT_EQ(tile_height, 4);
    EXPECT_EQ(memcmp(tile_map, cells.data(), cells.size()), 0);
    EXPECT_EQ(tile_dummy.width, 8);
    ASSERT_EQ(tile_texCount, 1);
    EXPECT_EQ(tile_tex[0].image.width, 6);  // found as glass.pcx
    EXPECT_EQ(tile_bg, &tile_tex[0].image);
    EXPECT_EQ(tile[254].faceTexture[TILE_BACK], &tile_tex[0]);
    const float defaultPose[12] = {-1, 0, 0, 0, 1, 0, 0, 0, -1, 0, 0, 0};
    EXPECT_EQ(memcmp(&tile_temp, defaultPose, sizeof defaultPose), 0);

    // A whole camera file replaces the pose; a short one its leading fields.
    Entity pose = {{0.5f, 0.25f, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    unsigned char bytes[ENTITY_FILE_SIZE];
    entity_toBytes(&pose, bytes);
    pcx_writeFile(root + "/SYS/CAM/hall.cam", std::vector<unsigned char>(bytes, bytes + 48));
    load(def);
    EXPECT_EQ(memcmp(&tile_temp, &pose, sizeof pose), 0);
    pcx_writeFile(root + "/SYS/CAM/hall.cam", std::vector<unsigned char>(bytes, bytes + 8));
    load(def);
    float shortPose[12];
    memcpy(shortPose, defaultPose, sizeof shortPose);
    shortPose[0] = 0.5f;
    shortPose[1] = 0.25f;
    EXPECT_EQ(memcmp(&tile_temp, shortPose, sizeof shortPose), 0);
}

TEST(TileLoad, RelativePathInALowerCaseWorld)
{
    REQUIRE_GL();
    std::string root;
    makeHall(&root);
    for (const char *move : {"PCX/SYSTEM/BASIC02.PCX:PCX/SYSTEM/basic02.pcx",
                             "PCX/SYSTEM:PCX/system", "PCX:pcx", "SYS/IMG:SYS/img", "SYS:sys"}) {
        std::string m(move);
        size_t colon = m.find(':');
        ASSERT_EQ(rename((root + "/" + m.substr(0, colon)).c_str(),
                         (root + "/" + m.substr(colon + 1)).c_str()), 0) << move;
    }
    char *cwd = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(root.c_str()), 0);
    std::string out = load("DEF/./hall.def");
    EXPECT_EQ(chdir(cwd), 0);
    free(cwd);
    // The console shows the paths as composed; no picture went missing.
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    EXPECT_NE(out.find("TEXTURE:" + root + "/PCX/SYSTEM/BASIC02.PCX\n"), std::string::npos) << out;
    EXPECT_EQ(std::string(tile_root), root + "/");
    EXPECT_EQ(tile_width, 4);
    EXPECT_EQ(tile_dummy.width + tile_matrix.width + tile_tex[0].image.width, 8 + 8 + 6);
}

TEST(TileLoadDeathTest, BadWorldFilesAndTooLongPaths)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // other tests may hold a display
    std::string longRoot = test_tempDir();
    for (int i = 0; i < 10; i++)
        longRoot += "/" + std::string(25, 'd');
    std::string longDef = longRoot + "/DEF/hall.def";
    test_writeText(longDef, "NEW_CUBE \"c\" {\n}\n");
    EXPECT_LOAD_DIES(longDef, "ERROR: Path too long: /.*/DEF/hall\\.def.*" + test_errorPattern(0));

    REQUIRE_GL();
    std::string root;
    std::string def = makeHall(&root);
    std::string gone = root + "/DEF/gone.def", folder = root + "/DEF";
    EXPECT_LOAD_DIES(gone, "ERROR: Cannot open world file .*/DEF/gone\\.def.*" + test_errorPattern(0));
    EXPECT_LOAD_DIES(folder, "ERROR: Cannot open world file");

    // A malformed map, then none: the two system pictures load first.
    std::string firstLines =
        "TEXTURE:[^\n]*/PCX/SYSTEM/BASIC02\\.PCX\nTEXTURE:[^\n]*/SYS/IMG/matrix\\.pcx\n" +
        test_errorPattern(0);
    std::string map = root + "/PCX/hall.pcx";
    std::vector<unsigned char> bad;
    ASSERT_TRUE(pcx_readFile(map, bad));
    bad[3] = 1;  // one bit per pixel
    ASSERT_TRUE(pcx_writeFile(map, bad));
    EXPECT_LOAD_DIES(def, firstLines);
    ASSERT_EQ(unlink(map.c_str()), 0);
    EXPECT_LOAD_DIES(def, firstLines);
}

TEST(TileLoadDeathTest, ConsoleChooser)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    REQUIRE_GL();
    std::string root;
    std::string def = makeHall(&root);
    std::string answers = test_tempDir() + "/answers";
    test_writeText(answers, "\nnotes.txt\n" + root + "/PCX/hall.pcx\n" + def + "\n");
    auto chooseFrom = [](const std::string &input) {
        test_stdoutToStderr();
        unsetenv("DISPLAY");  // the console, never a dialog
        if (!freopen(input.c_str(), "r", stdin))
            exit(3);
        tile_argument = nullptr;
        tile_load();
        printf("width %d\n", tile_width);
        fflush(stdout);
        exit(0);
    };
    EXPECT_EXIT(chooseFrom(answers), testing::ExitedWithCode(0),
                "Not a world file: notes\\.txt.*Not a world file: .*hall\\.pcx.*width 4");
    EXPECT_EXIT(chooseFrom("/dev/null"), testing::ExitedWithCode(255),  // nobody left to answer
                "No world file was chosen.*" + test_errorPattern(0));
}

}  // namespace
