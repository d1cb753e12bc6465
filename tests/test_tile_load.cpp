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

const char *worldDef =
    "NEW_TEXTURE \"glass\" {\nPicture 8,\"walls:Glass\"\n}\n"
    "NEW_MORVA \"back\" {\nTexture 2,glass\n}\n"
    "NEW_CUBE \"wall\" {\nBack 3,glass\n}\n";

std::string realDir(const std::string &path)
{
    char *real = realpath(path.c_str(), nullptr);
    std::string out = real ? real : path;
    free(real);
    return out;
}

// A 4 x 3 world of four layers with a 6 x 5 glass picture; returns the
// .def path and sets root to the world's real root folder.
std::string makeHall(std::string *root, std::vector<unsigned char> *cells = nullptr)
{
    *root = realDir(test_tempDir());
    std::vector<unsigned char> c(4 * 3 * 4, 255);
    c[0] = 254;
    c[47] = 254;
    std::string def = test_makeWorld(*root, "hall", worldDef, 4, 3, 4, c, 2);
    test_writeSolidPcx(*root + "/PCX/walls/glass.pcx", 6, 5, 10, 20, 30);
    if (cells)
        *cells = c;
    return def;
}

void load(const std::string &def)
{
    static std::string argument;
    argument = def;
    tile_argument = argument.c_str();
    tile_load();
}

std::string loadCaptured(const std::string &def)
{
    testing::internal::CaptureStdout();
    load(def);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

void expectDefaultPose(const Entity &e)
{
    const float want[12] = {-1, 0, 0, 0, 1, 0, 0, 0, -1, 0, 0, 0};
    EXPECT_EQ(memcmp(&e, want, sizeof want), 0);
}

TEST(TileLoadPaths, Derive)
{
    char root[TILE_PATH], map[TILE_PATH], file[TILE_PATH];
    ASSERT_EQ(tile_derivePaths("/data/defs/hall.def", root, map, file), 1);
    EXPECT_STREQ(root, "/data/");
    EXPECT_STREQ(map, "/data/PCX/hall.pcx");
    EXPECT_STREQ(file, "hall.cam");

    ASSERT_EQ(tile_derivePaths("/a.b/defs/x.y.def", root, map, file), 1);
    EXPECT_STREQ(map, "/a.b/PCX/x.y.pcx");
    EXPECT_STREQ(file, "x.y.cam");
    ASSERT_EQ(tile_derivePaths("/w/defs/hall", root, map, file), 1);  // no extension
    EXPECT_STREQ(map, "/w/PCX/hall.pcx");
    EXPECT_STREQ(file, "hall.cam");
    ASSERT_EQ(tile_derivePaths("/hall.def", root, map, file), 1);  // above the top is the top
    EXPECT_STREQ(root, "/");
    EXPECT_EQ(tile_derivePaths("hall.def", root, map, file), 0);

    // The stand-by picture's path is the longest for short names ...
    std::string top = "/" + std::string(255 - 22 - 2, 'r') + "/";
    ASSERT_EQ(tile_derivePaths((top + "DEF/h.def").c_str(), root, map, file), 1);
    EXPECT_EQ(strlen(root) + strlen("PCX/SYSTEM/BASIC02.PCX"), 255u);
    EXPECT_EQ(tile_derivePaths(("/r" + top + "DEF/h.def").c_str(), root, map, file), 0);
    // ... the camera file's for long ones.
    std::string name(255 - 12 - 3, 'n');
    EXPECT_EQ(tile_derivePaths(("/w/DEF/" + name + ".def").c_str(), root, map, file), 1);
    EXPECT_EQ(tile_derivePaths(("/w/DEF/" + name + "n.def").c_str(), root, map, file), 0);
}

TEST(TileLoadPaths, CaseBlindLookup)
{
    std::string dir = test_tempDir();
    test_writeText(dir + "/pcx/walls/glass.pcx", "g");
    test_writeText(dir + "/Both/A.txt", "upper");
    test_writeText(dir + "/both/a.txt", "lower");

    EXPECT_EQ(tile_resolvePath(dir + "/PCX/Walls/Glass.PCX"), dir + "/pcx/walls/glass.pcx");
    EXPECT_EQ(tile_resolvePath(dir + "/pcx/walls/glass.pcx"), dir + "/pcx/walls/glass.pcx");
    EXPECT_EQ(tile_resolvePath(dir + "/both/a.txt"), dir + "/both/a.txt");
    EXPECT_EQ(tile_resolvePath(dir + "/Both/A.txt"), dir + "/Both/A.txt");
    EXPECT_EQ(tile_resolvePath(dir + "/Both/a.TXT"), dir + "/Both/A.txt");
    // What exists in neither spelling keeps the rest as written.
    EXPECT_EQ(tile_resolvePath(dir + "/PCX/Nope/Glass.PCX"), dir + "/pcx/Nope/Glass.PCX");
    EXPECT_EQ(tile_resolvePath(dir + "/PCX//walls/./Glass.pcx"), dir + "/pcx//walls/./glass.pcx");
}

TEST(TileLoad, WholeWorld)
{
    REQUIRE_GL();
    std::string root;
    std::vector<unsigned char> cells;
    std::string def = makeHall(&root, &cells);
    std::string out = loadCaptured(def);
    EXPECT_EQ(out, "TEXTURE:" + root + "/PCX/SYSTEM/BASIC02.PCX\n"
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
    expectDefaultPose(tile_temp);
}

TEST(TileLoad, CameraFileReplacesTheDefaultPose)
{
    REQUIRE_GL();
    std::string root;
    std::string def = makeHall(&root);
    Entity pose = {{0.5f, 0.25f, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    unsigned char bytes[ENTITY_FILE_SIZE];
    entity_toBytes(&pose, bytes);

    pcx_writeFile(root + "/SYS/CAM/hall.cam", std::vector<unsigned char>(bytes, bytes + 48));
    loadCaptured(def);
    EXPECT_EQ(memcmp(&tile_temp, &pose, sizeof pose), 0);

    // A short file replaces the leading fields only.
    pcx_writeFile(root + "/SYS/CAM/hall.cam", std::vector<unsigned char>(bytes, bytes + 8));
    loadCaptured(def);
    EXPECT_EQ(tile_temp.left.x, 0.5f);
    EXPECT_EQ(tile_temp.left.y, 0.25f);
    tile_temp.left.x = -1;
    tile_temp.left.y = 0;
    expectDefaultPose(tile_temp);
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
                         (root + "/" + m.substr(colon + 1)).c_str()),
                  0)
            << move;
    }
    char *cwd = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(root.c_str()), 0);
    std::string out = loadCaptured("DEF/./hall.def");
    EXPECT_EQ(chdir(cwd), 0);
    free(cwd);
    // The console shows the paths as composed; no picture went missing.
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    EXPECT_NE(out.find("TEXTURE:" + root + "/PCX/SYSTEM/BASIC02.PCX\n"), std::string::npos) << out;
    EXPECT_EQ(std::string(tile_root), root + "/");
    EXPECT_EQ(tile_width, 4);
    EXPECT_EQ(tile_dummy.width, 8);
    EXPECT_EQ(tile_matrix.width, 8);
    EXPECT_EQ(tile_tex[0].image.width, 6);
}

TEST(TileLoadDeathTest, BadWorldFiles)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    REQUIRE_GL();
    std::string root;
    std::string def = makeHall(&root);
    std::string firstLines = "TEXTURE:[^\n]*/PCX/SYSTEM/BASIC02\\.PCX\nTEXTURE:[^\n]*/SYS/IMG/matrix\\.pcx\n";

    std::string map = root + "/PCX/hall.pcx";
    std::vector<unsigned char> good;
    ASSERT_TRUE(pcx_readFile(map, good));
    std::vector<unsigned char> bad = good;
    bad[3] = 1;  // one bit per pixel
    ASSERT_TRUE(pcx_writeFile(map, bad));
    EXPECT_EXIT({ test_stdoutToStderr(); load(def); }, testing::ExitedWithCode(255),
                firstLines + test_errorPattern(0));
    ASSERT_EQ(unlink(map.c_str()), 0);
    EXPECT_EXIT({ test_stdoutToStderr(); load(def); }, testing::ExitedWithCode(255),
                firstLines + test_errorPattern(0));

    EXPECT_ERROR_EXIT(load(root + "/DEF/gone.def"), 0);
    EXPECT_EXIT({ test_stdoutToStderr(); load(root + "/DEF/gone.def"); },
                testing::ExitedWithCode(255), "ERROR: Cannot open world file .*/DEF/gone\\.def");
    EXPECT_EXIT({ test_stdoutToStderr(); load(root + "/DEF"); },
                testing::ExitedWithCode(255), "ERROR: Cannot open world file");
}

TEST(TileLoadDeathTest, PathTooLong)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // other tests may hold a display
    std::string root = test_tempDir();
    for (int i = 0; i < 10; i++)
        root += "/" + std::string(25, 'd');
    std::string def = root + "/DEF/hall.def";
    test_writeText(def, "NEW_CUBE \"c\" {\n}\n");
    EXPECT_ERROR_EXIT(load(def), 0);
    EXPECT_EXIT({ test_stdoutToStderr(); load(def); }, testing::ExitedWithCode(255),
                "ERROR: Path too long: /.*/DEF/hall\\.def");
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
    // Nobody left to answer.
    EXPECT_EXIT(chooseFrom("/dev/null"), testing::ExitedWithCode(255),
                "No world file was chosen.*" + test_errorPattern(0));
}

}  // namespace
