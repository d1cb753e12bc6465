// test_check.cpp -- tavo --check: the demo world is sound, broken worlds have each problem named
#include <math.h>

#include "main.h"
#include "pcx_encode.h"
#include "test_support.h"

namespace {

struct Report { int status; std::string text; };

Report check(const std::string &def)
{
    testing::internal::CaptureStdout();
    int status = main_check(def.c_str());
    return Report{status, testing::internal::GetCapturedStdout()};
}

#define EXPECT_REPORTS(report, line) EXPECT_NE((report).text.find(line), std::string::npos) << (report).text

TEST(Check, ABrokenWorldHasEachProblemNamed)
{
    // Three cube types, 254 to 252, over a 3 x 2 grid of 2 layers.
    std::string root = test_tempDir();
    std::string def = test_makeWorld(root, "broken",
                                     "NEW_TEXTURE \"stone\"\n{\n    Picture 8,\"walls:stone\"\n}\n"
                                     "NEW_TEXTURE \"gone\"\n{\n    Picture 8,\"walls:gone\"\n}\n"
                                     "NEW_TEXTURE \"huge\"\n{\n    Picture 8,\"huge\"\n}\nNEW_TEXTURE \"cut\"\n{\n    Picture 8,\"cut\"\n}\n"
                                     "NEW_TEXTURE \"leaf\"\n{\n    Picture 8,\"leaf\"\n}\n"
                                     "NEW_TEXTURE \"far\"\n{\n    Picture 8,\"..:..:far\"\n}\n"
                                     "NEW_MORVA \"back\"\n{\n    Texture 2,\"skyy\"\n}\n"
                                     "NEW_CUBE \"wall\"\n{\n    Front 8,stone\n    Top 4,ston\n}\n"
                                     "NEW_CUBE \"post\"\n{\n    Back 3,gone\n}\nNEW_CUBE \"flat\"\n{\n}\n",
                                     3, 2, 2, {254, 253, 17, 252, 17, 255, 255, 255, 9, 255, 255, 255});
    test_writeSolidPcx(root + "/PCX/walls/stone.pcx", 8, 8, 90, 90, 90);
    test_writeSolidPcx(root + "/PCX/huge.pcx", 8193, 1, 0, 0, 0);
    std::vector<unsigned char> cut = pcx_encode8(4, 5, std::vector<unsigned char>(20, 1).data(), nullptr);
    cut.resize(128 + 2 * 2 + 1);  // two rows of one run each, and the third's count byte
    pcx_writeFile(root + "/PCX/cut.pcx", cut);
    ASSERT_TRUE(pcx_readFile(std::string(TAVO_SOURCE_DIR) + "/tests/data/pictures/png/rgba8.k8x4_magick.png", cut) &&
                pcx_writeFile(root + "/PCX/LEAF.png", cut));  // in place of the missing leaf.pcx
    float pose[12] = {NAN, 0, 0, 0, 0, 0, 0, 0, -1};
    pcx_writeFile(root + "/SYS/CAM/broken.cam", std::vector<unsigned char>((unsigned char *)pose, (unsigned char *)(pose + 12)));
    Report r = check(def);
    EXPECT_EQ(r.status, 1);
    EXPECT_REPORTS(r, "  stone                PCX/walls/stone.pcx (PCX 8-bit x 1 plane, 8 x 8)\n");
    EXPECT_REPORTS(r, "Problem: texture \"gone\": picture PCX/walls/gone.pcx missing.\n");
    EXPECT_REPORTS(r, "  leaf                 PCX/LEAF.png (PNG RGBA 8-bit, 21 x 9, alpha, cut out)\n");
    EXPECT_REPORTS(r, "Problem: the background names texture \"skyy\", which no texture block declares.\n");
    EXPECT_REPORTS(r, "Problem: type 254, face TOP names texture \"ston\", which no texture block declares.\n");
    EXPECT_REPORTS(r, "Problem: 2 map cells of type 17 (the first at x 2, y 0, z 0) but no cube block "
                      "defines type 17.\n");
    EXPECT_REPORTS(r, "Problem: 1 map cell of type 9 (the first at x 2, y 1, z 0)");
    EXPECT_REPORTS(r, "Problem: texture \"huge\": picture PCX/huge.pcx is wider or taller than 8192 pixels");
    EXPECT_REPORTS(r, "Problem: texture \"cut\": picture PCX/cut.pcx ends 3 rows early");
    EXPECT_REPORTS(r, "Note: texture \"far\": picture PCX/../../far.pcx lies outside the world's root folder.\n");
    EXPECT_REPORTS(r, "Problem: the camera file SYS/CAM/broken.cam: its left vector is not a finite number.\n");
    EXPECT_REPORTS(r, "Problem: the camera file SYS/CAM/broken.cam: its up vector has length 0.\n");
    EXPECT_REPORTS(r, "10 problems.\n");

    // A map that is no map picture, then none, and no definition file: problems, not crashes.
    pcx_writeFile(root + "/PCX/broken.pcx", std::vector<unsigned char>{10, 5, 1, 8});
    EXPECT_REPORTS(check(def), "Map: PCX/broken.pcx is not a map picture: the file ends inside the PCX header\n");
    remove((root + "/PCX/broken.pcx").c_str());
    EXPECT_REPORTS(check(def), "Problem: the map picture PCX/broken.pcx is missing.\n");
    r = check(root + "/DEF/nothing.def");
    EXPECT_EQ(r.status, 1);
    EXPECT_REPORTS(r, "The definition file cannot be read (No such file or directory).\n");
}

}  // namespace
