// test_check.cpp -- tavo --check: the demo world is sound, broken worlds have each problem named
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

TEST(Check, TheDemoWorldIsSound)
{
    Report r = check(std::string(TAVO_BINARY_DIR) + "/demo/DEF/demo.def");
    EXPECT_EQ(r.status, 0);
    EXPECT_REPORTS(r, "Map: PCX/demo.pcx, 22 x 16 cells, 9 layers (3 blocks across)\n");
    EXPECT_REPORTS(r, "  glass                PCX/demo/glass.pcx (64 x 64, 24-bit, translucent)\n");
    EXPECT_REPORTS(r, "Background: sky\n");
    EXPECT_REPORTS(r, "Cube types: 30\n");
    EXPECT_REPORTS(r, "The world is sound.\n");
}

TEST(Check, ABrokenWorldHasEachProblemNamed)
{
    // Three cube types, 254 to 252, over a 3 x 2 grid of 2 layers.
    std::string root = test_tempDir();
    std::string def = test_makeWorld(root, "broken",
                                     "NEW_TEXTURE \"stone\"\n{\n    Picture 8,\"walls:stone\"\n}\n"
                                     "NEW_TEXTURE \"gone\"\n{\n    Picture 8,\"walls:gone\"\n}\n"
                                     "NEW_MORVA \"back\"\n{\n    Texture 2,\"skyy\"\n}\n"
                                     "NEW_CUBE \"wall\"\n{\n    Front 8,stone\n    Top 4,ston\n}\n"
                                     "NEW_CUBE \"post\"\n{\n    Back 3,gone\n}\nNEW_CUBE \"flat\"\n{\n}\n",
                                     3, 2, 2, {254, 253, 17, 252, 17, 255, 255, 255, 255, 255, 255, 9});
    test_writeSolidPcx(root + "/PCX/walls/stone.pcx", 8, 8, 90, 90, 90);
    Report r = check(def);
    EXPECT_EQ(r.status, 1);
    EXPECT_REPORTS(r, "  stone                PCX/walls/stone.pcx (8 x 8, 8-bit)\n");
    EXPECT_REPORTS(r, "Problem: texture \"gone\": picture PCX/walls/gone.pcx missing.\n");
    EXPECT_REPORTS(r, "Problem: the background names texture \"skyy\", which no texture block declares.\n");
    EXPECT_REPORTS(r, "Problem: type 254, face TOP names texture \"ston\", which no texture block declares.\n");
    EXPECT_REPORTS(r, "Problem: 2 map cells of type 17 (the first at x 2, y 0, z 0) but no cube block "
                      "defines type 17.\n");
    EXPECT_REPORTS(r, "Problem: 1 map cell of type 9 (the first at x 2, y 1, z 1)");
    EXPECT_REPORTS(r, "5 problems.\n");

    // A map that is no map picture, then none, and no definition file: problems, not crashes.
    pcx_writeFile(root + "/PCX/broken.pcx", std::vector<unsigned char>{10, 5, 1, 8});
    EXPECT_REPORTS(check(def), "Map: PCX/broken.pcx is not a map picture\n");
    remove((root + "/PCX/broken.pcx").c_str());
    EXPECT_REPORTS(check(def), "Problem: the map picture PCX/broken.pcx is missing.\n");
    r = check(root + "/DEF/nothing.def");
    EXPECT_EQ(r.status, 1);
    EXPECT_REPORTS(r, "The definition file cannot be read.\n");
}

}  // namespace
