// test_tile_world.cpp -- the world as snapshots: what a change touches, and builds that keep the version they began on
#include <string.h>

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tile.h"

namespace {

enum { STONE = 1, GLASS };

class TileWorld : public ::testing::Test {
protected:
    TextureEntry entries[2] = {};
    std::vector<unsigned char> cells;

    void SetUp() override
    {
        tile_chunksClear();
        memset(tile, 0, sizeof tile);
        entries[0].image = Image{32, 32, 0, 32, 32, 0, {}};
        entries[1].image = Image{32, 32, 1, 32, 32, 0, {}};
        for (int f = 0; f < 6; f++) {
            tile[STONE].faceOn[f] = tile[GLASS].faceOn[f] = 1;
            tile[STONE].faceTexture[f] = &entries[0];
            tile[GLASS].faceTexture[f] = &entries[1];
        }
        // 3 x 3 x 3 chunks, the top layer of them cut short.
        cells.assign((size_t)48 * 40 * 48, TILE_EMPTY);
        for (unsigned z = 0; z < 48; z++)
            for (unsigned x = 0; x < 48; x++)
                for (unsigned y = 0; y < 20; y++)
                    at(x, y, z) = STONE;
        tile_map = cells.data(), tile_width = 48, tile_height = 40, tile_depth = 48;
        tile_generation++;
    }
    void TearDown() override
    {
        tile_map = nullptr;
        tile_generation++;
        tile_world();  // no version holds the fixture's tables
    }
    unsigned char &at(unsigned x, unsigned y, unsigned z) { return cells[((size_t)y * 48 + z) * 48 + x]; }
    // The keys of the chunks flagged, as cx cy cz triples.
    static std::vector<std::vector<int>> flagged(const TileSnapshot &s, const std::vector<unsigned char> &dirty)
    {
        std::vector<std::vector<int>> keys;
        for (int cz = 0; cz < s.n[2]; cz++)
            for (int cy = 0; cy < s.n[1]; cy++)
                for (int cx = 0; cx < s.n[0]; cx++)
                    if (dirty[(size_t)s.key(cx, cy, cz)])
                        keys.push_back({cx, cy, cz});
        return keys;
    }
};

// A cell's change touches its chunk, and the chunks across each side of
// the chunk it lies on: the walk hides faces against the cell across.
TEST_F(TileWorld, AOneCellEditTouchesItsChunkAndTheNeighboursOnItsSides)
{
    typedef std::vector<std::vector<int>> Keys;
    const struct { const char *where; unsigned short x, y, z; Keys keys; } cases[] = {
        {"inside a chunk", 8, 8, 8, {{0, 0, 0}}},
        {"on a side", 15, 8, 8, {{0, 0, 0}, {1, 0, 0}}},
        {"on the other chunk's side", 16, 8, 40, {{0, 0, 2}, {1, 0, 2}}},
        {"at a corner", 15, 15, 15, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
        {"at the grid's edge", 47, 39, 0, {{2, 2, 0}}},
        {"outside the grid", 48, 0, 0, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.where);
        const TileWorldRef before = tile_world();
        const TileCellEdit edit = {c.x, c.y, c.z, GLASS};
        tile_editCells(&edit, 1);
        const TileWorldRef after = tile_world();
        std::vector<unsigned char> dirty;
        tile_worldDirty(*before, *after, &dirty);
        EXPECT_EQ(flagged(*after, dirty), c.keys);
        // Only the edited chunk is a copy; the map the drawing thread walks follows.
        size_t shared = 0;
        for (size_t k = 0; k < after->chunks.size(); k++)
            shared += after->chunks[k] == before->chunks[k];
        EXPECT_EQ(shared, after->chunks.size() - (c.keys.empty() ? 0 : 1));
        if (!c.keys.empty()) {
            EXPECT_EQ(at(c.x, c.y, c.z), GLASS);
            EXPECT_EQ(after->at(c.x, c.y, c.z), GLASS);
            EXPECT_EQ(before->at(c.x, c.y, c.z), c.y < 20 ? STONE : TILE_EMPTY) << "the old version changed";
        } else {
            EXPECT_EQ(before, after) << "nothing changed, yet a version was published";
        }
    }
}

// A cube record's change touches the chunks holding that type, or holding
// it in the layer of cells around them; a texture that keeps its picture's
// sizes touches none.
TEST_F(TileWorld, ACubeRecordChangeTouchesOnlyTheChunksWithThatType)
{
    at(5, 30, 5) = GLASS;    // inside chunk (0, 1, 0)
    at(47, 25, 32) = GLASS;  // on chunk (2, 1, 2)'s low z side: (2, 1, 1) looks into it
    tile_generation++;
    const TileWorldRef before = tile_world();
    tile[GLASS].shaded[TILE_TOP] = 1;
    tile_generation++;
    const TileWorldRef after = tile_world();
    std::vector<unsigned char> dirty;
    tile_worldDirty(*before, *after, &dirty);
    EXPECT_EQ(flagged(*after, dirty), (std::vector<std::vector<int>>{{0, 1, 0}, {2, 1, 1}, {2, 1, 2}}));
    EXPECT_EQ(after->chunks, before->chunks) << "the cells were copied for a change of the table";

    entries[1].image.textureId = 7;  // a new texture for the same picture
    tile_generation++;
    tile_worldDirty(*after, *tile_world(), &dirty);
    EXPECT_TRUE(flagged(*after, dirty).empty());
}

// A build that began on one version yields that version's faces, whatever
// is published while it runs.
TEST_F(TileWorld, ABuildKeepsTheVersionItBeganOn)
{
    const TileBlock chunk = {0, 16, 0, 16, 0, 16}, all = {0, 48, 0, 40, 0, 48};
    const TileWorldRef a = tile_world();
    TileFaces reference, during;
    tile_chunkBuild(&chunk, &all, 1, 1, &reference, nullptr, nullptr, a.get());
    std::thread build([&] {
        for (int i = 0; i < 20; i++)
            tile_chunkBuild(&chunk, &all, 1, 1, &during, nullptr, nullptr, a.get());
    });
    for (unsigned short i = 0; i < 16; i++) {
        const TileCellEdit edits[] = {{i, 19, i, TILE_EMPTY}, {i, 0, 15, GLASS}};
        tile_editCells(edits, 2);
    }
    memset(&tile[STONE], 0, sizeof tile[STONE]);  // the drawing thread's table, not a's
    build.join();
    EXPECT_EQ(during.faces, reference.faces);
    ASSERT_EQ(during.runs.size(), reference.runs.size());
    for (size_t r = 0; r < during.runs.size(); r++)
        EXPECT_EQ(during.runs[r].vertices, reference.runs[r].vertices);
    TileFaces b;
    tile_chunkBuild(&chunk, &all, 1, 1, &b, nullptr, nullptr, tile_world().get());
    EXPECT_NE(b.faces, reference.faces) << "the edits did not reach the new version";
}

}  // namespace
