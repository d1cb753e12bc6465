// test_tools.cpp -- tavo-map and tavo-cam run as an author runs them: round trips and refusals
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "entity.h"
#include "pcx_encode.h"
#include "test_support.h"
#include "tile.h"

namespace {

struct ToolRun {
    int status;
    std::string errors;  // what the tool printed on standard error
};

ToolRun tool(const std::string &name, const std::string &args)
{
    static const std::string dir = test_tempDir();
    std::string errFile = dir + "/stderr.txt";
    std::string command = std::string(TAVO_BINARY_DIR) + "/tools/" + name + " " + args + " 2>" + errFile;
    int raw = system(command.c_str());
    ToolRun r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ""};
    std::vector<unsigned char> bytes;
    pcx_readFile(errFile, bytes);
    r.errors.assign(bytes.begin(), bytes.end());
    return r;
}

std::vector<unsigned char> readBytes(const std::string &path)
{
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(pcx_readFile(path, bytes)) << path;
    return bytes;
}

std::string readText(const std::string &path)
{
    std::vector<unsigned char> bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

TileMap readMap(const std::string &path)
{
    std::vector<unsigned char> bytes = readBytes(path);
    TileMap map;
    EXPECT_TRUE(tile_decodeMap(bytes.data(), bytes.size(), &map)) << path;
    return map;
}

class TavoMap : public ::testing::Test {
protected:
    std::string dir = test_tempDir();

    std::string write(const std::string &name, const std::string &text)
    {
        test_writeText(dir + "/" + name, text);
        return dir + "/" + name;
    }

    // Encoding text must fail with status 1 and a message holding what.
    void expectRefused(const std::string &text, const std::string &what)
    {
        std::string in = write("bad.map", text);
        ToolRun r = tool("tavo-map", "encode " + in + " " + dir + "/bad.pcx");
        EXPECT_EQ(r.status, 1) << text;
        EXPECT_NE(r.errors.find(what), std::string::npos) << r.errors;
    }
};

// Three layers of 4 x 3, in one band of three blocks.
const char *const canonical =
    "across 3\nlegend . 255\nlegend # 254\nlegend A 5\nlegend B 0\n\n"
    "layer 0\n####\n#AB#\n####\n\nlayer 1\n#..#\n....\n#..#\n\nlayer 2\n....\n.A..\n....\n";

TEST_F(TavoMap, TextToPictureToTextIsExact)
{
    std::string in = write("a.map", canonical);
    ASSERT_EQ(tool("tavo-map", "encode " + in + " " + dir + "/a.pcx").status, 0);
    ToolRun r = tool("tavo-map", "decode " + dir + "/a.pcx " + dir + "/b.map");
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(r.errors, "");  // a picture of tavo-map's own needs no note
    EXPECT_EQ(readText(dir + "/b.map"), canonical);

    // The picture holds what the viewer reads: 4 x 3 cells, 3 layers, the
    // cells in place (a cell of value 5 beside the frame's fives included).
    TileMap map = readMap(dir + "/a.pcx");
    EXPECT_EQ(map.width, 4);
    EXPECT_EQ(map.depth, 3);
    EXPECT_EQ(map.height, 3);
    EXPECT_EQ(map.cells[1 * 4 + 1], 5);
    EXPECT_EQ(map.cells[1 * 4 + 2], 0);
    EXPECT_EQ(map.cells[12 + 1], 255);
    EXPECT_EQ(map.cells[24 + 4 + 1], 5);
}

TEST_F(TavoMap, AnAuthorsHeaderComesBackWithHeader)
{
    // Comments, names, spacing and the legend's order are the author's; the
    // layers are in the layout tavo-map writes.  A type the legend lacks
    // (here 7, in the picture only) gets a character of its own.
    std::string text = "# a courtyard\nacross 1\nlegend  s 200   stone wall\nlegend . 255 air\n"
                       "legend w 201 water (unused yet)\n\nlayer 0\nss\ns.\n\nlayer 1\n..\n..\n";
    std::string in = write("court.map", text);
    ASSERT_EQ(tool("tavo-map", "encode " + in + " " + dir + "/court.pcx").status, 0);
    ASSERT_EQ(tool("tavo-map", "decode " + dir + "/court.pcx " + dir + "/out.map --header " + in).status, 0);
    EXPECT_EQ(readText(dir + "/out.map"), text);

    unsigned char cells[8] = {200, 7, 200, 255, 255, 255, 255, 255};
    pcx_writeFile(dir + "/seven.pcx", pcx_encodeMap(2, 2, 2, cells, 1));
    ASSERT_EQ(tool("tavo-map", "decode " + dir + "/seven.pcx " + dir + "/seven.map --header " + in).status, 0);
    std::string seven = readText(dir + "/seven.map");
    EXPECT_NE(seven.find("legend w 201 water (unused yet)\nlegend # 7\n\nlayer 0\ns#\ns.\n"),
              std::string::npos) << seven;
}

TEST_F(TavoMap, PictureToTextToPictureIsExact)
{
    // Five layers of 3 x 2 across 2 leave the sixth block of the last band
    // empty; the viewer counts it as a layer, and so does the text.
    std::vector<unsigned char> cells(3 * 2 * 5);
    for (size_t i = 0; i < cells.size(); i++)
        cells[i] = (unsigned char)(i * 37 % 256);
    std::vector<unsigned char> picture = pcx_encodeMap(3, 2, 5, cells.data(), 2);
    pcx_writeFile(dir + "/p.pcx", picture);
    ASSERT_EQ(tool("tavo-map", "decode " + dir + "/p.pcx " + dir + "/p.map").status, 0);
    std::string text = readText(dir + "/p.map");
    EXPECT_EQ(text.rfind("across 2\n", 0), 0u) << text;
    EXPECT_NE(text.find("layer 5\n...\n...\n"), std::string::npos) << text;
    ASSERT_EQ(tool("tavo-map", "encode " + dir + "/p.map " + dir + "/q.pcx").status, 0);
    EXPECT_EQ(readBytes(dir + "/q.pcx"), picture);
}

TEST_F(TavoMap, AForeignPictureGivesTheSameCellsAndANote)
{
    // Padded scan lines and a colour palette: the viewer reads the same
    // grid, tavo-map would write other bytes, and says so.
    std::vector<unsigned char> pixels;
    unsigned w = 6, h = 4;  // one block of 4 x 2 cells
    pcx_encodeMap(4, 2, 1, std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7, 8}.data(), 1, &pixels);
    unsigned char palette[768] = {0};
    palette[3] = 255;
    pcx_writeFile(dir + "/f.pcx", pcx_encode8(w, h, pixels.data(), palette, 8));
    ToolRun r = tool("tavo-map", "decode " + dir + "/f.pcx " + dir + "/f.map");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.errors.find("not written by tavo-map"), std::string::npos) << r.errors;
    ASSERT_EQ(tool("tavo-map", "encode " + dir + "/f.map " + dir + "/g.pcx").status, 0);
    EXPECT_EQ(readMap(dir + "/f.pcx").cells, readMap(dir + "/g.pcx").cells);
}

TEST_F(TavoMap, RefusesTextThatDoesNotMakeAMap)
{
    const std::string legend = "legend . 255\nlegend # 254\n";
    expectRefused(legend + "layer 0\n...\n..\n", "a row of 2 cells, the first row has 3");
    expectRefused(legend + "layer 0\n..\n..\nlayer 1\n..\n", "layer 1 has 1 rows, layer 0 has 2");
    expectRefused(legend + "layer 0\n..\n..\nlayer 1\n..\n..\n..\n", "more rows than layer 0");
    expectRefused(legend + "layer 0\n.x\n", "character 'x' in column 2 is not in the legend");
    expectRefused(legend + "layer 0\n. \n", "character ' ' in column 2");
    expectRefused("across 2\n" + legend + "layer 0\n.\nlayer 1\n.\nlayer 2\n.\n",
                  "3 layers do not fill whole bands of 2");
    expectRefused(legend + "layer 0\n.\nlayer 2\n.\n", "expected layer 1, found layer 2");
    expectRefused(legend + "legend # 7\nlayer 0\n#\n", "character '#' is already in the legend");
    expectRefused(legend + "legend x 254\nlayer 0\n#\n", "type 254 already has the character '#'");
    expectRefused("legend . 256\nlayer 0\n.\n", "TYPE 0 to 255");
    expectRefused(legend, "no layer");
    expectRefused(legend + "layer 0\n", "layer 0 has no rows");
    expectRefused(legend + "size 3\nlayer 0\n.\n", "not 'size'");

    // Sizes the viewer's 16-bit picture sides cannot hold: a band of blocks
    // too wide, and a layer too wide by itself.
    std::string row(30000, '.');
    expectRefused("across 3\n" + legend + "layer 0\n" + row + "\nlayer 1\n" + row + "\nlayer 2\n" + row + "\n",
                  "the map picture would be 90006 x 3 pixels");
    expectRefused(legend + "layer 0\n" + std::string(65533, '.') + "\n", "too large for a map picture");

    ToolRun r = tool("tavo-map", "encode " + dir + "/none.map " + dir + "/none.pcx");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("cannot read"), std::string::npos);
}

TEST_F(TavoMap, RefusesPicturesThatAreNotMaps)
{
    unsigned char rgb[12] = {0};
    pcx_writeFile(dir + "/true.pcx", pcx_encode24(2, 2, rgb));
    ToolRun r = tool("tavo-map", "decode " + dir + "/true.pcx " + dir + "/x.map");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("not a map picture"), std::string::npos) << r.errors;

    EXPECT_EQ(tool("tavo-map", "frobnicate").status, 1);
    EXPECT_EQ(tool("tavo-map", "--help >/dev/null").status, 0);
}

TEST(TavoCam, PoseTextToCameraFileAndBack)
{
    std::string dir = test_tempDir();
    test_writeText(dir + "/start.pose", "# a pose\n-1 0 0\n0 1 0\n0 0 -1   # forward\n20.5 9 -97.25\n");
    ASSERT_EQ(tool("tavo-cam", dir + "/start.pose " + dir + "/SYS/CAM/w.cam").status, 0);

    // Twelve little-endian floats, read back as the viewer reads them.
    std::vector<unsigned char> bytes = readBytes(dir + "/SYS/CAM/w.cam");
    ASSERT_EQ(bytes.size(), 48u);
    Entity e;
    entity_fromBytes(&e, bytes.data(), bytes.size());
    EXPECT_EQ(e.left.x, -1.0f);
    EXPECT_EQ(e.forward.z, -1.0f);
    EXPECT_EQ(e.position.x, 20.5f);
    EXPECT_EQ(e.position.z, -97.25f);

    // --show prints a pose that makes the same file again.
    std::string shown = dir + "/shown.pose";
    ASSERT_EQ(tool("tavo-cam", "--show " + dir + "/SYS/CAM/w.cam >" + shown).status, 0);
    ASSERT_EQ(tool("tavo-cam", shown + " " + dir + "/again.cam").status, 0);
    EXPECT_EQ(readBytes(dir + "/again.cam"), bytes);

    for (const char *bad : {"1 2 3\n", "1 2 3 4 5 6 7 8 9 10 11 twelve\n"}) {
        test_writeText(dir + "/bad.pose", bad);
        EXPECT_EQ(tool("tavo-cam", dir + "/bad.pose " + dir + "/x.cam").status, 1) << bad;
    }
}

}  // namespace
