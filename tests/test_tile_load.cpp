// test_tile_load.cpp -- loading whole worlds: paths, case-blind lookup, the camera file, the chooser and the fatal paths
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "camera.h"
#include "entity.h"
#include "input.h"
#include "main.h"
#include "pcx_encode.h"
#include "test_support.h"
#include "tile.h"

namespace {

size_t rss(void) { std::ifstream f("/proc/self/statm"); size_t size, pages = 0; f >> size >> pages; return pages * 4096; }

// A 4 x 3 world of four layers with a 6 x 5 glass picture; returns the
// .def path and sets root to the world's real root folder.
std::string makeHall(std::string *root)
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
    return def;
}

std::string load(const std::string &def)  // returns the console
{
    static std::string argument;
    tile_argument = (argument = def).c_str();
    testing::internal::CaptureStdout();
    unsigned generation = tile_generation;
    main_loadWorld();
    EXPECT_EQ(tile_generation, generation + 1);  // what was built from the last world is built again
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// Death tests run load in the child, with its console on standard error.
#define EXPECT_LOAD_DIES(def, pattern) \
    EXPECT_EXIT({ test_stdoutToStderr(); tile_argument = (def).c_str(); main_loadWorld(); }, \
                testing::ExitedWithCode(255), pattern)

TEST(TileLoadPaths, CaseBlindLookup)
{
    std::string dir = test_tempDir();
    test_writeText(dir + "/pcx/walls/glass.pcx", "g");
    test_writeText(dir + "/Both/A.txt", "upper");
    test_writeText(dir + "/both/a.txt", "lower");
    const char *lookups[][2] = {
        {"/PCX/Walls/Glass.PCX", "/pcx/walls/glass.pcx"},
        {"/both/a.txt", "/both/a.txt"},  // the exact spelling wins
        {"/PCX/Nope/Glass.PCX", "/pcx/Nope/Glass.PCX"},  // the rest stays as written
    };
    for (const auto &l : lookups)
        EXPECT_EQ(tile_resolvePath(dir + l[0]), dir + l[1]) << l[0];
}

// In a world written in lower case the console shows the paths as composed, and every picture is found.
TEST(TileLoad, RelativePathInALowerCaseWorldAndItsCameraFile)
{
    REQUIRE_GL();
    std::string root;
    std::string def = makeHall(&root);
    const char *moves[][2] = {{"PCX/SYSTEM/BASIC02.PCX", "PCX/SYSTEM/basic02.pcx"}, {"PCX/SYSTEM", "PCX/system"},
                              {"PCX", "pcx"}, {"SYS/IMG", "SYS/img"}, {"SYS", "sys"}};
    for (const auto &m : moves)
        ASSERT_EQ(rename((root + "/" + m[0]).c_str(), (root + "/" + m[1]).c_str()), 0) << m[0];
    char *cwd = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(root.c_str()), 0);
    std::string out = load("DEF/./hall.def");
    EXPECT_EQ(chdir(cwd), 0);
    free(cwd);
    EXPECT_EQ(out, "TEXTURE:" + root + "/PCX/SYSTEM/BASIC02.PCX\nTEXTURE:" + root + "/SYS/IMG/matrix.pcx\n"
                   "TEXTURE:" + root + "/PCX/walls/Glass.pcx\nMORVA:back\nCUBE:wall\n");
    EXPECT_EQ((std::vector<int>{tile_width, tile_depth, tile_height}), (std::vector<int>{4, 3, 4}));
    EXPECT_EQ(tile_dummy.width + tile_matrix.width + tile_tex[0].image.width, 8 + 8 + 6);
    // A whole camera file replaces the default pose; a short one its leading fields.
    Entity pose = {{0.5f, 0.25f, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    unsigned char bytes[ENTITY_FILE_SIZE];
    entity_toBytes(&pose, bytes);
    for (size_t size : {0, 48, 8}) {
        pcx_writeFile(root + "/sys/CAM/hall.cam", std::vector<unsigned char>(bytes, bytes + size));
        load(def);
        float want[12] = {-1, 0, 0, 0, 1, 0, 0, 0, -1, 0, 0, 0};
        memcpy(want, &pose, size);
        EXPECT_EQ(memcmp(&tile_temp, want, sizeof want), 0) << size;
    }
}

TEST(TileLoadDeathTest, BadWorldFilesTooLongPathsAndTheChooser)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // other tests may hold a display
    std::string longDef = test_tempDir();
    while (longDef.size() < 260)
        longDef += "/" + std::string(25, 'd');
    test_writeText(longDef += "/DEF/hall.def", "NEW_CUBE \"c\" {\n}\n");
    EXPECT_LOAD_DIES(longDef, "ERROR: Path too long: /.*/DEF/hall\\.def.*" + test_errorPattern(0));

    REQUIRE_GL();
    std::string root, def = makeHall(&root), map = root + "/PCX/hall.pcx";
    // The console chooser asks again until a .def file is named, and ends at the end of its input.
    std::string answers = test_tempDir() + "/answers";
    test_writeText(answers, "\nnotes.txt\n" + map + "\n" + def + "\n");
    auto chooseFrom = [](const std::string &input) {
        test_stdoutToStderr();
        unsetenv("DISPLAY");  // the console, never a dialog
        if (!freopen(input.c_str(), "r", stdin))
            exit(3);
        tile_argument = nullptr;
        main_loadWorld();
        printf("width %d\n", tile_width);
        exit(0);
    };
    EXPECT_EXIT(chooseFrom(answers), testing::ExitedWithCode(0),
                "Not a world file: notes\\.txt.*Not a world file: .*hall\\.pcx.*width 4");
    EXPECT_EXIT(chooseFrom("/dev/null"), testing::ExitedWithCode(255), "No world file was chosen.*" + test_errorPattern(0));
    // A malformed map, then none: the two system pictures load first.
    std::string firstLines =
        "TEXTURE:[^\n]*/PCX/SYSTEM/BASIC02\\.PCX\nTEXTURE:[^\n]*/SYS/IMG/matrix\\.pcx\n" + test_errorPattern(0);
    std::vector<unsigned char> bad;
    ASSERT_TRUE(pcx_readFile(map, bad));
    const std::vector<unsigned char> good = bad;
    bad[3] = 1;  // one bit per pixel
    ASSERT_TRUE(pcx_writeFile(map, bad));
    EXPECT_LOAD_DIES(def, firstLines + "\n[^\n]*/PCX/hall\\.pcx: PCX version 5, encoding 1, 1-bit x 1 plane is not a map picture");
    // A grid past the cap: out of memory, said where a malformed map is.
    ASSERT_TRUE(pcx_writeFile(map, test_tallMap(1025)));
    EXPECT_LOAD_DIES(def, "matrix\\.pcx\n" + test_errorPattern(1) + "\n[^\n]*/PCX/hall\\.pcx: out of memory");
    // A texture picture of a kind no reader knows: its line, the message, the reason.
    ASSERT_TRUE(pcx_writeFile(map, good));
    bad[65] = 5;
    ASSERT_TRUE(pcx_writeFile(root + "/PCX/walls/glass.pcx", bad));
    EXPECT_LOAD_DIES(def, "lass\\.pcx\n" + test_errorPattern(0) + "\n[^\n]*lass\\.pcx: 1-bit PCX with 5 planes is not a picture tavo reads");
}

// At most 256 MB more heap from here on: a reader that kept reading a
// device would run out of memory and fail its case.
void boundMemory()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line) && line.compare(0, 7, "VmData:") != 0) {}
    struct rlimit limit = {(rlim_t)atol(line.c_str() + 7) * 1024 + (256u << 20), RLIM_INFINITY};
    setrlimit(RLIMIT_DATA, &limit);
}

// Odd files where the world's files belong, for the viewer and --check: each
// answered at once (alarm) with the documented outcome and its reason.
TEST(TileLoadDeathTest, OddFilesInPlaceOfWorldFilesAnswerAtOnce)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    REQUIRE_GL();
    const struct { const char *place, *viewer, *check; int status; } places[] = {
        {"PCX/walls/glass.pcx", "ERROR: File not found, replacing with dummy file\n[^\n]*glass\\.pcx: ", "picture PCX/walls/Glass.pcx missing \\(", 0},
        {"PCX/hall.pcx", "has occured\n[^\n]*hall\\.pcx: ", "Map: PCX/hall.pcx cannot be read \\(", 255},
        {"DEF/hall.def", "Cannot open world file .*has occured\n[^\n]*hall\\.def: ", "The definition file cannot be read \\(", 255},
        {"SYS/CAM/hall.cam", "hall\\.cam: ", "Camera: SYS/CAM/hall.cam cannot be read \\(", 0},
    };
    const char *kinds[][2] = {{"fifo", "Not a regular file"}, {"folder", "Is a directory"},
                              {"/dev/zero", "Not a regular file"}, {"mode 000", "Permission denied"}};
    for (const auto &p : places)
        for (const auto &k : kinds) {
            std::string root, def = makeHall(&root), path = root + "/" + p.place, kind = k[0];
            if (kind == "mode 000" && geteuid() == 0)
                continue;  // the superuser reads a file of mode 000 all the same
            pcx_writeFile(root + "/SYS/CAM/hall.cam", std::vector<unsigned char>(48));
            ASSERT_EQ(kind == "mode 000" ? chmod(path.c_str(), 0) : unlink(path.c_str()) ||
                      (kind == "fifo" ? mkfifo(path.c_str(), 0644) : kind == "folder" ? mkdir(path.c_str(), 0755)
                                                                   : symlink("/dev/zero", path.c_str())), 0);
            EXPECT_EXIT({ alarm(10); boundMemory(); test_stdoutToStderr(); tile_argument = def.c_str();
                          main_loadWorld(); exit(0); }, testing::ExitedWithCode(p.status), p.viewer + std::string(k[1]))
                << p.place << " " << kind;
            EXPECT_EXIT({ alarm(10); boundMemory(); test_stdoutToStderr(); main_check(def.c_str()); exit(0); },
                        testing::ExitedWithCode(0), p.check + std::string(k[1])) << p.place << " " << kind;
        }
}

// A camera file that is there but may not be written is never saved over,
// whoever runs the viewer; and 200,000 colour textures (9 MB of file) stay
// well inside 256 MB: one colour shares one texture, and the blocks past
// TILE_TEXTURE_MAX are dropped with one line.
TEST(TileLoad, ReadOnlyCameraFilesAndAFloodOfColourTextures)
{
    REQUIRE_GL();
    for (mode_t mode : {0444, 0}) {
        std::string root, def = makeHall(&root), cam = root + "/SYS/CAM/hall.cam";
        std::vector<unsigned char> bytes(48, 7), after;
        pcx_writeFile(cam, bytes);
        chmod(cam.c_str(), mode);
        load(def);
        camera = tile_temp;
        entity_elevate(&camera, 5.0f);
        input_unlockAll();  // no turn under way: tick 50 saves
        main_timer(50);
        main_cameraWait();
        struct stat st;
        EXPECT_TRUE(stat(cam.c_str(), &st) == 0 && (st.st_mode & 0777) == mode && chmod(cam.c_str(), 0600) == 0 &&
                    pcx_readFile(cam, after) && after == bytes) << mode;
    }
    std::string text, root, def = makeHall(&root);
    for (int i = 0; i < 200000; i++)
        text += "NEW_TEXTURE \"c" + std::to_string(i) + "\"\n{\nColour 17,Color(" + std::to_string(i / 2 % 256) +
                "," + std::to_string(i / 512 % 256) + "," + std::to_string(i / 131072) + ")\n}\n";
    test_writeText(def, text);
    size_t before = rss();
    testing::internal::CaptureStderr();
    load(def);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "test_tile_load: " + def + ": 200000 texture blocks; only the first 8192 are read\n");
    EXPECT_LT(rss() - before, 256u << 20);
    EXPECT_EQ((std::vector<int>{tile_texCount, tile_tex[0].image.textureId == tile_tex[1].image.textureId,
                                tile_tex[1].image.textureId == tile_tex[2].image.textureId}),
              (std::vector<int>{TILE_TEXTURE_MAX, 1, 0}));
}

// Blocks naming one picture share one decoded texture; a picture past the
// texel budget shows the stand-by picture, said on standard error.
TEST(TileLoad, BlocksNamingOnePictureShareItWithinTheBudget)
{
    REQUIRE_GL();
    std::string root, def = makeHall(&root), text;
    test_writeSolidPcx(root + "/PCX/big.pcx", 1024, 1024, 1, 2, 3);
    test_writeSolidPcx(root + "/PCX/other.pcx", 1024, 1024, 3, 2, 1);
    for (int i = 0; i < 33; i++)
        text += "NEW_TEXTURE \"t" + std::to_string(i) + "\" {\nPicture 8,\"" + (i < 32 ? "big" : "other") + "\"\n}\n";
    test_writeText(def, text);
    tile_texelBudget = 4u << 20;  // one of the two
    size_t before = rss();
    testing::internal::CaptureStderr();
    load(def);
    std::string errors = testing::internal::GetCapturedStderr();
    tile_texelBudget = TILE_TEXEL_BUDGET;
    EXPECT_LT(rss() - before, 48u << 20) << "32 copies would take over 100 MiB";
    EXPECT_EQ(tile_tex[0].image.textureId, tile_tex[31].image.textureId);
    EXPECT_EQ(tile_tex[32].image.texWidth, 4) << "the stand-by picture";
    EXPECT_NE(errors.find("/PCX/other.pcx: the world's pictures would pass 4 MiB of texels"), std::string::npos) << errors;
}

}  // namespace
