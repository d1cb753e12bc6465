// test_map_save.cpp -- saving the edited grid: the picture patched in place, the map text kept in step, failing saves
#include "test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include "file.h"
#include "map_text.h"
#include "pcx_encode.h"
#include "tile.h"

namespace {

// A 5 x 3 grid (odd, so scan lines carry a padding byte) of 4 layers, two
// blocks across, with a palette of its own and a map text with comments.
struct SavedWorld {
    std::string dir = test_tempDir(), picture = dir + "/PCX/w.pcx", text = dir + "/PCX/w.map";
    TileMap grid;
    std::vector<unsigned char> original;
    SavedWorld()
    {
        grid.width = 5, grid.depth = 3, grid.height = 4, grid.across = 2;
        grid.cells.assign(5 * 3 * 4, 255);
        for (size_t i = 0; i < 15; i++)
            grid.cells[i] = 7;  // a floor
        std::vector<unsigned char> pixels;
        unsigned pw, ph;
        pcx_encodeMap(5, 3, 4, grid.cells.data(), 2, &pixels, &pw, &ph);
        unsigned char palette[768];
        for (int i = 0; i < 768; i++)
            palette[i] = (unsigned char)(i * 7);
        original = pcx_encode8(pw, ph, pixels.data(), palette);
        original[12] = 150;  // a resolution no encoder of ours writes
        test_makeDirs(dir + "/PCX");
        EXPECT_EQ(file_write(picture.c_str(), original.data(), original.size()), 0);
        test_writeText(text, "# the floor\nacross 2\nlegend # 7 stone\nlegend . 255\n\nlayer 0\n#####\n#####\n#####\n"
                             "\nlayer 1\n.....\n.....\n.....\n\nlayer 2\n.....\n.....\n.....\n"
                             "\nlayer 3\n.....\n.....\n.....\n");
    }
    unsigned char &cell(int x, int y, int z) { return grid.cells[((size_t)y * 3 + z) * 5 + x]; }
    TileMapSaved save(const std::string &recovery = "")
    {
        TileMapSave s;
        s.picture = picture, s.text = text, s.recovery = recovery, s.grid = grid;
        TileMapSaved out;
        tile_saveMap(s, &out);
        return out;
    }
    std::vector<unsigned char> read(const std::string &path)
    {
        std::vector<unsigned char> bytes;
        file_read(path.c_str(), FILE_WORLD_MAX, bytes);
        return bytes;
    }
};

TEST(MapSave, ASavedGridLoadsAgainWithTheRestOfThePictureAndTheTextInStep)
{
    SavedWorld w;
    w.cell(2, 1, 1) = 9;    // placed on the floor, a type the legend lacks
    w.cell(0, 0, 2) = 255;  // removed from the floor
    w.cell(4, 3, 0) = 7;    // in the second band
    TileMapSaved saved = w.save();
    ASSERT_TRUE(saved.ok) << saved.line;
    EXPECT_EQ(saved.changed, 3u);
    EXPECT_EQ(saved.line, "Map saved: " + w.picture + " (3 cells changed) and " + w.text);

    std::vector<unsigned char> now = w.read(w.picture);
    TileMap back;
    ASSERT_TRUE(tile_decodeMap(now.data(), now.size(), &back));
    EXPECT_EQ(back.cells, w.grid.cells);
    EXPECT_EQ(back.across, 2);
    ASSERT_GT(now.size(), 128u + 769u);
    EXPECT_TRUE(std::equal(w.original.begin(), w.original.begin() + 128, now.begin())) << "the header";
    EXPECT_TRUE(std::equal(w.original.end() - 769, w.original.end(), now.end() - 769)) << "the palette";
    EXPECT_EQ(saved.picture, file_stamp(w.picture.c_str()));

    MapText text;
    std::string why;
    ASSERT_TRUE(map_textParse(w.text, w.read(w.text), &text, &why)) << why;
    EXPECT_EQ(text.cells, w.grid.cells);
    EXPECT_EQ(text.header[0], "# the floor");
    EXPECT_EQ(text.legend[0].line, "legend # 7 stone");

    // Saved again unchanged: byte for byte the same; and back to the start:
    // the file as it was.
    EXPECT_TRUE(w.save().ok);
    EXPECT_EQ(w.read(w.picture), now);
    w.cell(2, 1, 1) = 255, w.cell(0, 0, 2) = 7, w.cell(4, 3, 0) = 255;
    EXPECT_TRUE(w.save().ok);
    EXPECT_EQ(w.read(w.picture), w.original);
}

TEST(MapSave, AFailingSaveLeavesBothFilesWholeAndSaysWhy)
{
    const struct {
        const char *what;
        std::function<void(SavedWorld &)> spoil;
        const char *says;
    } rows[] = {
        {"read-only picture", [](SavedWorld &w) { chmod(w.picture.c_str(), 0444); }, "Read-only file"},
        {"read-only text", [](SavedWorld &w) { chmod(w.text.c_str(), 0444); }, "Read-only file"},
        {"broken text", [](SavedWorld &w) { test_writeText(w.text, "layer 0\nxy\n"); }, "not in the legend"},
        {"picture of another size", [](SavedWorld &w) {
             std::vector<unsigned char> small = pcx_encodeMap(2, 2, 1, std::vector<unsigned char>(4, 7).data(), 1);
             file_write(w.picture.c_str(), small.data(), small.size());
         }, "2 x 1 x 2 cells now"},
        {"PNG picture", [](SavedWorld &w) {
             test_writeText(w.picture, std::string("\x89PNG\r\n\x1a\n", 8) + std::string(40, '\0'));
         }, "PNG"},
        {"folder removed", [](SavedWorld &w) {
             unlink(w.picture.c_str());
             unlink(w.text.c_str());
             rmdir((w.dir + "/PCX").c_str());
         }, "No such file"},
    };
    for (const auto &r : rows) {
        SavedWorld w;
        w.cell(1, 1, 1) = 9;
        r.spoil(w);
        std::vector<unsigned char> picture = w.read(w.picture), text = w.read(w.text);
        TileMapSaved saved = w.save();
        EXPECT_FALSE(saved.ok) << r.what;
        EXPECT_NE(saved.line.find(r.says), std::string::npos) << r.what << ": " << saved.line;
        EXPECT_NE(saved.line.find("the edits are kept"), std::string::npos) << saved.line;
        EXPECT_EQ(w.read(w.picture), picture) << r.what;
        EXPECT_EQ(w.read(w.text), text) << r.what;
        chmod(w.picture.c_str(), 0644);
        chmod(w.text.c_str(), 0644);
    }
}

TEST(MapSave, ARecoveryCopyLeavesTheWorldsOwnFilesAlone)
{
    SavedWorld w;
    w.cell(3, 2, 2) = 7;
    std::vector<unsigned char> text = w.read(w.text);
    std::string copy = w.dir + "/SYS/EDIT/w.pcx";
    TileMapSaved saved = w.save(copy);
    ASSERT_TRUE(saved.ok) << saved.line;
    EXPECT_EQ(saved.line, "Unsaved edits kept in " + copy + " (1 cell changed)");
    EXPECT_EQ(w.read(w.picture), w.original);
    EXPECT_EQ(w.read(w.text), text);
    std::vector<unsigned char> kept = w.read(copy);
    TileMap back;
    ASSERT_TRUE(tile_decodeMap(kept.data(), kept.size(), &back));
    EXPECT_EQ(back.cells, w.grid.cells);
}

}  // namespace
