// test_tile_chunks.cpp -- free look's chunk cache: the same faces as one walk, seams, the frustum, and a drawing thread that never walks
#include <math.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "camera.h"
#include "main.h"
#include "test_support.h"
#include "tile.h"
#include "tile_atlas.h"

namespace {

enum { STONE = 1, GLASS, CUTOUT, PLANT, WEDGE, PADDED };

// A face as a comparable row: its state, then each corner's place and s, t.
// Places are rounded and whole repeats of the picture dropped from s, t, so
// that a cell of a joined rectangle compares equal to the face it joined.
typedef std::vector<float> Row;

void addRow(Row r, std::vector<Row> &rows)
{
    float low[2] = {1e9f, 1e9f};
    for (size_t i = 6; i < r.size(); i += 5)
        low[0] = std::min(low[0], r[i + 3]), low[1] = std::min(low[1], r[i + 4]);
    for (size_t i = 6; i < r.size(); i += 5) {
        for (int a = 0; a < 3; a++)
            r[i + a] = rintf(r[i + a] * 1024.0f) / 1024.0f;
        r[i + 3] -= floorf(low[0]), r[i + 4] -= floorf(low[1]);
    }
    rows.push_back(r);
}

// A face wider than a cell is cut back into cells; s, t are affine across it.
void addFace(const Row &state, const float *v, size_t corners, std::vector<Row> &rows)
{
    const float unit[3] = {tile_size, tile_size, tile_sizeZ};
    float lo[3], hi[3];
    int n[3], wide = 0;
    for (int a = 0; a < 3; a++) {
        lo[a] = hi[a] = v[a];
        for (size_t c = 1; c < corners; c++)
            lo[a] = std::min(lo[a], v[c * 5 + a]), hi[a] = std::max(hi[a], v[c * 5 + a]);
        n[a] = std::max(1, (int)lroundf((hi[a] - lo[a]) / unit[a]));
        wide += n[a] > 1;
    }
    Row whole = state;
    whole.insert(whole.end(), v, v + corners * 5);
    if (!wide)
        return addRow(whole, rows);
    // The corner at each end of the rectangle's two axes: s, t at (0, 0), (1, 0), (0, 1).
    int axes[2], k = 0;
    for (int a = 0; a < 3; a++)
        if (hi[a] > lo[a])
            axes[k++ & 1] = a;
    const float *uv[2][2] = {};
    for (size_t c = 0; c < corners; c++)
        uv[v[c * 5 + axes[0]] > lo[axes[0]]][v[c * 5 + axes[1]] > lo[axes[1]]] = &v[c * 5 + 3];
    for (int i = 0; i < n[axes[0]]; i++)
        for (int j = 0; j < n[axes[1]]; j++) {
            Row r = state;
            for (size_t c = 0; c < corners; c++) {
                float at[5], g[2];
                const int cell[2] = {i, j};
                for (int a = 0; a < 3; a++)
                    at[a] = v[c * 5 + a];
                for (int e = 0; e < 2; e++) {
                    const int a = axes[e];
                    g[e] = ((float)cell[e] + (v[c * 5 + a] > lo[a] ? 1.0f : 0.0f)) / (float)n[a];
                    at[a] = lo[a] + g[e] * (hi[a] - lo[a]);
                }
                for (int q = 0; q < 2; q++)
                    at[3 + q] = uv[0][0][q] + g[0] * (uv[1][0][q] - uv[0][0][q]) + g[1] * (uv[0][1][q] - uv[0][0][q]);
                r.insert(r.end(), at, at + 5);
            }
            addRow(r, rows);
        }
}

struct Rows : TileSink {
    std::vector<Row> rows;
    void face(const TileFace &f) override
    {
        const TileState &s = f.state;
        Row r = {(float)(size_t)s.image, (float)s.smooth, (float)s.r, (float)s.a, (float)s.cull, (float)f.mode};
        for (int i = 0; i < f.count; i++)
            r.insert(r.end(), {f.origin[0] + f.corner[i][0], f.origin[1] + f.corner[i][1],
                               f.origin[2] + f.corner[i][2], f.corner[i][3], f.corner[i][4]});
        addRow(r, rows);
    }
};

// A crossed plane joined from two halves is cut back at its middle, the
// second half's mirrored s, t folded back into 0..1.
bool addHalves(const Row &state, const float *v, std::vector<Row> &rows)
{
    bool past = false;
    for (int c = 0; c < 4; c++)
        past |= v[c * 5 + 3] < 0.0f || v[c * 5 + 3] > 1.0f || v[c * 5 + 4] < 0.0f || v[c * 5 + 4] > 1.0f;
    if (!past)
        return false;
    float mid[2][5], half[2][20];
    for (int k = 0; k < 5; k++)
        mid[0][k] = (v[k] + v[15 + k]) / 2.0f, mid[1][k] = (v[5 + k] + v[10 + k]) / 2.0f;
    const float *corners[2][4] = {{v, v + 5, mid[1], mid[0]}, {mid[0], mid[1], v + 10, v + 15}};
    for (int h = 0; h < 2; h++) {
        for (int c = 0; c < 4; c++)
            for (int k = 0; k < 5; k++) {
                float x = corners[h][c][k];
                half[h][c * 5 + k] = k < 3 ? x : x > 1.0f ? 2.0f - x : x < 0.0f ? -x : x;
            }
        Row r = state;
        r.insert(r.end(), half[h], half[h] + 20);
        addRow(r, rows);
    }
    return true;
}

void addRows(const TileFaces &faces, std::vector<Row> &rows)
{
    for (const TileRun &run : faces.runs) {
        const size_t corners = run.mode == GL_TRIANGLES ? 3 : 4;
        const Row state = {(float)(size_t)run.image, (float)run.smooth, (float)run.r, (float)run.a,
                           (float)run.cull, (float)run.mode};
        for (size_t at = 0; at < run.vertices.size(); at += corners * 5)
            if (run.repeat != TEXTURE_MIRROR || !addHalves(state, &run.vertices[at], rows))
                addFace(state, &run.vertices[at], corners, rows);
    }
}

class TileChunks : public ::testing::Test {
protected:
    TextureEntry entries[4] = {};
    std::vector<unsigned char> cells;

    void SetUp() override
    {
        tile_chunksClear();  // no build of the last test's world goes on
        memset(tile, 0, sizeof tile);
        entries[0].image = Image{32, 32, 0, 32, 32, 0, {}};
        entries[1].image = Image{32, 32, 0, 32, 32, 0, {}};
        entries[1].translucent = 1;
        entries[2].image = Image{32, 32, 1, 32, 32, 0, {}};  // an alpha channel: cut-outs
        entries[3].image = Image{24, 24, 0, 32, 32, 0, {}};  // not the whole texture: it cannot repeat
        const unsigned char types[] = {STONE, GLASS, CUTOUT, PLANT, WEDGE, PADDED};
        for (unsigned char t : types)
            for (int f = 0; f < 6; f++) {
                tile[t].faceOn[f] = 1;
                tile[t].faceTexture[f] = &entries[t == GLASS ? 1 : t == STONE ? 0 : t == PADDED ? 3 : 2];
            }
        tile[STONE].orientation[TILE_TOP].rotate = 1;
        tile[STONE].orientation[TILE_LEFT].flipH = 1;
        tile[PLANT].crossed = 1;
        tile[WEDGE].shape = 2;
        tile_optTexture = tile_optSmooth = 1;
    }
    void TearDown() override
    {
        tile_chunksClear();
        tile_map = nullptr;
        tile_generation++;
    }
    void world(unsigned w, unsigned h, unsigned d)
    {
        cells.assign((size_t)w * h * d, TILE_EMPTY);
        tile_map = cells.data(), tile_width = (unsigned short)w, tile_height = (unsigned short)h;
        tile_depth = (unsigned short)d;
        tile_generation++;
    }
    unsigned char &at(unsigned x, unsigned y, unsigned z)
    {
        return cells[((size_t)y * tile_depth + z) * tile_width + x];
    }
};

TEST_F(TileChunks, TheChunksTogetherHoldTheFacesOfOneWalkOfTheWorld)
{
    world(37, 20, 35);  // sides that are no whole number of chunks
    unsigned seed = 7;
    for (unsigned char &c : cells) {
        seed = seed * 1103515245u + 12345u;
        unsigned r = seed >> 16 & 15;
        c = r < 5 ? STONE : r < 6 ? PADDED : r < 7 ? GLASS : r < 8 ? CUTOUT : r < 9 ? PLANT : r < 10 ? WEDGE : TILE_EMPTY;
    }
    const TileBlock all = {0, 37, 0, 20, 0, 35};
    Rows walked;
    TileWalk w;
    tile_walkBegin(&w, &walked);
    tile_walkCells(&w, &all, &all);

    std::vector<Row> chunked;
    long joined = 0, mirrored = 0;
    for (int z = 0; z < 35; z += TILE_CHUNK)
        for (int y = 0; y < 20; y += TILE_CHUNK)
            for (int x = 0; x < 37; x += TILE_CHUNK) {
                const TileBlock cells = {x, std::min(x + TILE_CHUNK, 37), y, std::min(y + TILE_CHUNK, 20),
                                         z, std::min(z + TILE_CHUNK, 35)};
                TileFaces faces = {};
                tile_chunkBuild(&cells, &all, 1, 1, &faces);
                addRows(faces, chunked);
                joined += faces.faces;
                for (const TileRun &run : faces.runs)
                    mirrored += run.repeat == TEXTURE_MIRROR;
            }
    std::sort(walked.rows.begin(), walked.rows.end());
    std::sort(chunked.begin(), chunked.end());
    EXPECT_GT(walked.rows.size(), 1000u);
    EXPECT_TRUE(walked.rows == chunked) << walked.rows.size() << " faces walked, " << chunked.size() << " in chunks";
    EXPECT_LT(joined, (long)walked.rows.size() * 9 / 10) << "faces side by side were not joined";
    EXPECT_GT(mirrored, 0) << "no crossed plane's halves were joined";
}

TEST_F(TileChunks, ASeamHidesOnlyTheFacesSolidNeighboursShare)
{
    const struct { unsigned char across; size_t faces; } cases[] = {
        {STONE, 0}, {GLASS, 1}, {CUTOUT, 1}, {PLANT, 1}, {TILE_EMPTY, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "the neighbour is type " << (int)c.across);
        world(2 * TILE_CHUNK, 3, 3);
        for (unsigned y = 0; y < 3; y++)  // a wall along x through the middle of the next chunk's edge
            for (unsigned x = 0; x < TILE_CHUNK; x++)
                at(x, y, 1) = STONE;
        at(TILE_CHUNK, 1, 1) = c.across;
        const TileBlock first = {0, TILE_CHUNK, 0, 3, 0, 3}, all = {0, 2 * TILE_CHUNK, 0, 3, 0, 3};
        TileFaces faces = {};
        tile_chunkBuild(&first, &all, 1, 1, &faces);
        std::vector<Row> rows;
        addRows(faces, rows);
        // Faces of the wall's last column at the seam's plane, x = 15.5 cells,
        // in the middle layer; faces flat between two of the wall's own cells.
        const float seam = (TILE_CHUNK - 0.5f) * tile_size;
        size_t onSeam = 0, inside = 0;
        for (const Row &r : rows) {
            float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
            for (size_t i = 6; i < r.size(); i += 5)
                for (int a = 0; a < 3; a++)
                    lo[a] = std::min(lo[a], r[i + a]), hi[a] = std::max(hi[a], r[i + a]);
            onSeam += lo[0] == seam && hi[0] == seam && lo[1] >= 1.0f && hi[1] <= 3.0f;
            inside += (lo[0] == hi[0] && lo[0] > 0.0f && lo[0] < seam) || (lo[1] == hi[1] && lo[1] > 0.0f && lo[1] < 4.0f);
        }
        EXPECT_EQ(onSeam, c.faces);
        EXPECT_EQ(inside, 0u) << "faces between the wall's own cells";
    }
}

TEST_F(TileChunks, OnlyCellsThatAreNotSolidJoinAChunksSides)
{
    // A tunnel along x through a chunk of stone.
    const struct { unsigned char tunnel; unsigned char lowX, lowY; } cases[] = {
        {STONE, 0, 0}, {TILE_EMPTY, 3, 0}, {GLASS, 3, 0}, {CUTOUT, 3, 0}, {PLANT, 3, 0}, {WEDGE, 3, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "the tunnel is type " << (int)c.tunnel);
        world(TILE_CHUNK, TILE_CHUNK, TILE_CHUNK);
        std::fill(cells.begin(), cells.end(), (unsigned char)STONE);
        for (unsigned x = 0; x < TILE_CHUNK; x++)
            at(x, 5, 7) = c.tunnel;
        const TileBlock all = {0, TILE_CHUNK, 0, TILE_CHUNK, 0, TILE_CHUNK};
        unsigned char sides[6];
        tile_chunkSides(&all, sides);
        EXPECT_EQ(sides[0], c.lowX);
        EXPECT_EQ(sides[2], c.lowY);
    }
}

// Rock with a cave sealed in it, one a tunnel opens to the edge and one
// behind glass: only the sealed cave's faces are kept apart, for an eye
// inside it.
TEST_F(TileChunks, OnlyACaveSealedInRockKeepsItsFacesApart)
{
    world(TILE_CHUNK, 8, 8);
    std::fill(cells.begin(), cells.end(), (unsigned char)STONE);
    at(5, 3, 3) = TILE_EMPTY;  // sealed
    for (unsigned x = 0; x < 3; x++)
        at(x, 5, 5) = TILE_EMPTY;  // a tunnel from the edge
    at(9, 3, 3) = TILE_EMPTY;
    for (unsigned z = 0; z < 3; z++)
        at(9, 3, z) = GLASS;  // a cave behind glass that reaches the edge
    std::vector<bool> outside;
    tile_outsideAir(cells.data(), TILE_CHUNK, 8, 8, &outside);
    auto reached = [&](unsigned x, unsigned y, unsigned z) { return (bool)outside[((size_t)y * 8 + z) * TILE_CHUNK + x]; };
    EXPECT_FALSE(reached(5, 3, 3));
    EXPECT_TRUE(reached(2, 5, 5) && reached(9, 3, 3) && reached(9, 3, 0));
    EXPECT_FALSE(reached(4, 3, 3)) << "rock is never reached";
    // The worker's making of the air anew gives way to jobs that came: a
    // stop set beforehand ends it at once, unset it changes nothing.
    for (bool stop : {false, true}) {
        const std::atomic<bool> flag{stop};
        std::vector<bool> again;
        EXPECT_EQ(tile_outsideAir(cells.data(), TILE_CHUNK, 8, 8, &again, nullptr, &flag), !stop);
        EXPECT_EQ(again, stop ? std::vector<bool>() : outside);
    }

    const TileBlock all = {0, TILE_CHUNK, 0, 8, 0, 8};
    TileFaces whole = {}, seen = {}, sealed = {};
    tile_chunkBuild(&all, &all, 1, 1, &whole);
    tile_chunkBuild(&all, &all, 1, 1, &seen, &outside, &sealed);
    EXPECT_EQ(sealed.faces, 6);  // the rock around the sealed cave, facing into it
    EXPECT_EQ(seen.faces + sealed.faces, whole.faces);
    std::vector<Row> rows;
    addRows(sealed, rows);
    for (const Row &r : rows)
        for (size_t i = 6; i < r.size(); i += 5)
            EXPECT_TRUE(fabsf(r[i] / tile_size - 5.0f) <= 0.5f && fabsf(r[i + 1] / tile_size - 3.0f) <= 0.5f &&
                        fabsf(r[i + 2] / tile_sizeZ - 3.0f) <= 0.5f)
                << "a corner away from the sealed cave";
}

// A box open only underneath (a lid) lets sight in from below alone: on
// rock, the rock's top under it and the faces lids share are set apart;
// over a cave that reaches the edge it is seen into.
TEST_F(TileChunks, ABoxOpenOnOneSideLetsSightInThereAlone)
{
    const unsigned char LID = 7, CHECKERED = 8;
    tile[LID] = tile[STONE];
    tile[LID].faceOn[TILE_BOTTOM] = 0;
    tile[CHECKERED] = tile[STONE];
    tile[CHECKERED].checkered = 1;
    tile[CHECKERED].faceTexture[TILE_BOTTOM] = &entries[1];  // its top may show the glass below
    EXPECT_EQ(tile_coverSides(LID), 0x3Fu & ~(1u << TILE_BOTTOM));
    EXPECT_EQ(tile_coverSides(CHECKERED), 0x3Fu & ~(1u << TILE_BOTTOM | 1u << TILE_TOP));
    EXPECT_EQ(tile_coverSides(STONE), 0x3Fu);
    EXPECT_EQ(tile_coverSides(PLANT) | tile_coverSides(WEDGE) | tile_coverSides(TILE_EMPTY), 0u);

    world(TILE_CHUNK, 8, 8);
    for (unsigned z = 0; z < 8; z++)
        for (unsigned y = 0; y < 3; y++)
            for (unsigned x = 0; x < TILE_CHUNK; x++)
                at(x, y, z) = STONE;
    for (unsigned x = 2; x < 5; x++)
        at(x, 3, 3) = LID;  // three in a row on rock
    at(9, 3, 3) = at(10, 3, 3) = LID;
    at(10, 2, 3) = TILE_EMPTY;
    for (unsigned z = 0; z < 4; z++)
        at(9, 2, z) = TILE_EMPTY;  // two over a cave a tunnel opens to the edge
    std::vector<bool> outside;
    tile_outsideAir(cells.data(), TILE_CHUNK, 8, 8, &outside);
    auto reached = [&](unsigned x, unsigned y, unsigned z) { return (bool)outside[((size_t)y * 8 + z) * TILE_CHUNK + x]; };
    EXPECT_FALSE(reached(2, 3, 3) || reached(3, 3, 3) || reached(4, 3, 3));
    EXPECT_TRUE(reached(9, 3, 3) && reached(10, 3, 3) && reached(9, 2, 3) && reached(2, 4, 3));

    const TileBlock all = {0, TILE_CHUNK, 0, 8, 0, 8};
    TileFaces whole = {}, seen = {}, apart = {};
    tile_chunkBuild(&all, &all, 1, 1, &whole);
    tile_chunkBuild(&all, &all, 1, 1, &seen, &outside, &apart);
    std::vector<Row> rows;
    addRows(apart, rows);
    EXPECT_EQ(rows.size(), 3u + 2 * 2) << "rock's top under each lid, and each side two lids share";
    for (const Row &r : rows)
        for (size_t i = 6; i < r.size(); i += 5)
            EXPECT_TRUE(r[i] / tile_size > 1.0f && r[i] / tile_size < 5.0f && fabsf(r[i + 2] / tile_sizeZ - 3.0f) <= 0.5f)
                << "a corner away from the lids on rock";
    std::vector<Row> split = rows, walked;
    addRows(seen, split);
    addRows(whole, walked);
    std::sort(split.begin(), split.end());
    std::sort(walked.begin(), walked.end());
    EXPECT_EQ(split, walked);
}

TEST(TileChunksReach, KeepsWhatOpenCellsShowAndDropsWhatSolidOnesSeal)
{
    // Three chunks in a row along x; the eye's chunk index along x, the
    // first chunk's and the middle one's sides, and what is reached.
    const unsigned char open = 0x3F, sealed = 0, throughX = 3, lowXToTop = 1 | 8;
    const struct { int eye; unsigned char first, middle; int last; const char *reached; } cases[] = {
        {0, open, open, 2, "111"},  {0, open, sealed, 2, "110"}, {0, open, lowXToTop, 2, "110"},
        {0, open, throughX, 2, "111"}, {0, open, open, 1, "110"},  // the search stays within first..last
        {2, open, sealed, 2, "011"}, {-1, open, open, 2, "111"},    // from outside the grid
        {-1, sealed, open, 2, "100"}, {1, sealed, sealed, 2, "111"},
    };
    for (const auto &c : cases) {
        std::vector<unsigned char> sides(18, open), reached;
        std::fill(sides.begin(), sides.begin() + 6, c.first);
        std::fill(sides.begin() + 6, sides.begin() + 12, c.middle);
        const int n[3] = {3, 1, 1}, eye[3] = {c.eye, 0, 0}, first[3] = {0, 0, 0}, last[3] = {c.last, 0, 0};
        tile_chunksReach(n, sides.data(), eye, first, last, &reached);
        std::string got;
        for (unsigned char r : reached)
            got += r ? '1' : '0';
        EXPECT_EQ(got, c.reached) << "eye in chunk " << c.eye << ", middle sides " << (int)c.middle;
    }
}

// Pictures of one texture size and alpha channel share pages in the
// order the table names them, in cells with a border of one texel; an
// opaque face that shows its picture once is pointed at its cell, one that
// repeats it, or runs past it, keeps its own.  Pages of another table stand in
// for these only where every picture lies in the same place.
TEST(TileAtlas, PlacesPicturesOfOneKindTogetherAndFacesThatShowThemOnce)
{
    struct Picture { unsigned short side, tex; unsigned char alpha; unsigned id; int page, x, y; };
    const Picture table[] = {
        {16, 16, 0, 11, 0, 1, 1},   {16, 16, 0, 12, 0, 19, 1}, {16, 16, 0, 11, 0, 1, 1},  // a shared texture, one cell
        {12, 16, 0, 13, 0, 37, 1},  {16, 16, 1, 14, 1, 1, 1},  {16, 16, 1, 15, 1, 19, 1},  // alpha: a page apart
        {32, 32, 0, 16, -1, 0, 0},  {16, 16, 0, 0, -1, 0, 0},                             // alone; no texture
        {512, 512, 0, 17, -1, 0, 0}, {512, 512, 0, 18, -1, 0, 0},                          // too large for a page
    };
    const int n = (int)(sizeof table / sizeof table[0]);
    static TextureEntry entries[2][n];
    static CubeDef cubes[2][256];
    for (int k = 0; k < 2; k++)  // the second table: the same pictures read again
        for (int i = 0; i < n; i++) {
            const Picture &p = table[i];
            entries[k][i].image = Image{p.side, p.side, p.alpha, p.tex, p.tex, p.id ? p.id + 100u * k : 0u, {}};
            for (int f = 0; f < 6; f++)
                cubes[k][i].faceTexture[f] = &entries[k][i];
        }
    std::shared_ptr<TileAtlas> a = tile_atlasLayout(cubes[0], 64), b = tile_atlasLayout(cubes[1], 64);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->pages.size(), 2u);
    EXPECT_EQ(a->pages[0]->texWidth * 1000 + a->pages[0]->texHeight, 64 * 1000 + 32);
    EXPECT_EQ(a->pages[0]->hasAlpha * 10 + a->pages[1]->hasAlpha, 1);
    for (int i = 0; i < n; i++) {
        const Picture &p = table[i];
        TileFace face = {};
        face.state.image = &entries[0][i].image;
        face.state.a = 255;
        face.count = 4;
        const float uv[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
        for (int c = 0; c < 4; c++)
            for (int k = 0; k < 2; k++)
                face.corner[c][3 + k] = uv[c][k] * p.side / p.tex;
        TileFace repeated = face, past = face, glass = face;
        repeated.repeat = TEXTURE_REPEAT;
        past.corner[2][3] = 1.5f;
        glass.state.a = 127;  // translucent faces keep their order, picture by picture
        EXPECT_FALSE(a->place(&repeated) || a->place(&past) || a->place(&glass)) << "picture " << i;
        EXPECT_EQ(a->place(&face), p.page >= 0) << "picture " << i;
        if (p.page < 0)
            continue;
        const Image &page = *a->pages[(size_t)p.page];
        EXPECT_EQ(face.state.image, &page) << "picture " << i;
        EXPECT_FLOAT_EQ(face.corner[0][3], (float)p.x / page.texWidth) << "picture " << i;
        EXPECT_FLOAT_EQ(face.corner[0][4], (float)p.y / page.texHeight) << "picture " << i;
        EXPECT_FLOAT_EQ(face.corner[2][3], (float)(p.x + p.side) / page.texWidth) << "picture " << i;
        EXPECT_FLOAT_EQ(face.corner[2][4], (float)(p.y + p.side) / page.texHeight) << "picture " << i;
    }
    // A chunk that shows more of its pictures than tile_atlasFewest takes it.
    TileSnapshot chunk;
    chunk.width = chunk.height = chunk.depth = TILE_CHUNK;
    chunk.n[0] = chunk.n[1] = chunk.n[2] = 1;
    auto cells = std::make_shared<TileChunkCells>();
    memset(cells->cells, TILE_EMPTY, sizeof cells->cells);
    for (int i = 0; i < n; i++)
        cells->cells[i * 7] = (unsigned char)i;
    chunk.chunks.push_back(cells);
    auto tables = std::make_shared<TileTables>();
    memcpy(tables->cubes, cubes[0], sizeof tables->cubes);
    chunk.tables = tables;
    const TileBlock all = {0, TILE_CHUNK, 0, TILE_CHUNK, 0, TILE_CHUNK};
    for (int fewest : {4, 5}) {
        tile_atlasFewest = fewest;
        EXPECT_EQ(tile_atlasWorth(*a, chunk, all), fewest < 5) << "five places shown, fewest " << fewest;
    }
    tile_atlasFewest = 16;
    std::map<const Image *, const Image *> map;
    for (int i = 0; i < n; i++)
        map[&entries[0][i].image] = &entries[1][i].image;
    tile_atlasMap(a.get(), b.get(), &map);
    EXPECT_EQ(map[a->pages[0].get()], b->pages[0].get());
    EXPECT_EQ(map[a->pages[1].get()], b->pages[1].get());
    std::swap(cubes[1][0], cubes[1][1]);  // named in another order: picture 0 in another cell
    b = tile_atlasLayout(cubes[1], 64);
    map.erase(a->pages[0].get()), map.erase(a->pages[1].get());
    tile_atlasMap(a.get(), b.get(), &map);
    EXPECT_EQ(map.count(a->pages[0].get()), 0u);
    EXPECT_EQ(map[a->pages[1].get()], b->pages[1].get());
}

TEST(TileLookPass, BlendsOnlyRunsThatMayShowWhatLiesBehind)
{
    Image plain = {32, 32, 0, 32, 32, 0, {}}, cutout = {32, 32, 1, 32, 32, 0, {}};
    const struct { const Image *image; unsigned char a; int pass; } cases[] = {
        {&plain, 255, TILE_PASS_SOLID}, {&cutout, 255, TILE_PASS_CUTOUT}, {nullptr, 255, TILE_PASS_CUTOUT},
        {&plain, 128, TILE_PASS_TRANSLUCENT}, {&cutout, 0, TILE_PASS_TRANSLUCENT},
    };
    for (const auto &c : cases)
        EXPECT_EQ(tile_lookPass(TileRun{c.image, 1, 255, 255, 255, c.a, 0, GL_QUADS, {}}), c.pass) << (int)c.a;
}

TEST(TileFrustum, KeepsWhatTheViewSeesAndDropsWhatIsBehindOrBeside)
{
    // The viewer's projection (45 degrees, 4:3, 1 to 4000) from the origin along -z.
    const float f = 1.0f / tanf(22.5f * 3.14159265f / 180.0f), n = 1.0f, far = 4000.0f;
    float m[16] = {};
    m[0] = f / (4.0f / 3.0f), m[5] = f, m[10] = (far + n) / (n - far), m[11] = -1.0f;
    m[14] = 2.0f * far * n / (n - far);
    float planes[6][4];
    tile_frustum(m, planes);
    const struct { float lo[3], hi[3]; bool seen; } cases[] = {
        {{-5, -5, -60}, {5, 5, -50}, true},      // straight ahead
        {{-5, -5, 50}, {5, 5, 60}, false},       // behind the eye
        {{200, -5, -60}, {210, 5, -50}, false},  // far to the right of the view
        {{20, -5, -60}, {210, 5, -50}, true},    // reaching into it from the right
        {{-5, -5, -5000}, {5, 5, -4500}, false}, // past the far plane
        {{-1, -1, -1}, {1, 1, 1}, true},         // around the eye
    };
    for (const auto &c : cases)
        EXPECT_EQ(tile_boxInFrustum(planes, c.lo, c.hi), c.seen) << "box at z " << c.lo[2] << ", x " << c.lo[0];

    // Within reach of the near plane's corners a box may be cut short: the
    // reach grows with the window's width, and no reach is safe without a
    // perspective.
    const float t = tanf(22.5f * 3.14159265f / 180.0f);
    EXPECT_NEAR(tile_nearReach(m), sqrtf(1.0f + t * t + t * t * 16.0f / 9.0f), 1e-4f);
    m[0] = f / 10.0f;
    EXPECT_NEAR(tile_nearReach(m), sqrtf(1.0f + t * t + t * t * 100.0f), 1e-3f);
    const float ortho[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};
    EXPECT_GT(tile_nearReach(ortho), 1e29f);
}

// The cover, from the origin along -z through the viewer's projection, in
// a window of 64 x 48: a face is left out only where every pixel it may
// reach lies under faces given before the last commit, turned towards the
// eye or drawn from both sides, and only the part of them before the near
// plane counts.
TEST(TileCover, HidesOnlyWhatCommittedFacesTurnedTowardsTheEyeCover)
{
    const float f = 1.0f / tanf(22.5f * 3.14159265f / 180.0f), n = 1.0f, far = 4000.0f;
    float m[16] = {};
    m[0] = f / (4.0f / 3.0f), m[5] = f, m[10] = (far + n) / (n - far), m[11] = -1.0f;
    m[14] = 2.0f * far * n / (n - far);
    // An upright rectangle facing the eye, wound anticlockwise as it sees it.
    auto upright = [](float x0, float x1, float y0, float y1, float z) {
        return std::vector<float>{x0, y0, z, 0, 0, x1, y0, z, 0, 0, x1, y1, z, 0, 0, x0, y1, z, 0, 0};
    };
    TileCover cover;
    cover.begin(m, 64, 48);
    const std::vector<float> ahead = upright(-1, 1, -1, 1, -50), wide = upright(-500, 500, -500, 500, -60);
    EXPECT_FALSE(cover.hides(ahead.data(), 4));
    EXPECT_TRUE(cover.hides(upright(200, 210, -1, 1, -50).data(), 4)) << "beside the window";
    EXPECT_TRUE(cover.hides(upright(-1, 1, -1, 1, 20).data(), 4)) << "behind the eye";

    // Half the window, the left one, covered from a distance of 10.
    cover.add(upright(-100, 0, -100, 100, -10).data(), 4, false);
    EXPECT_FALSE(cover.hides(upright(-30, -20, -1, 1, -50).data(), 4)) << "covered before the commit";
    cover.commit();
    EXPECT_TRUE(cover.hides(upright(-30, -20, -1, 1, -50).data(), 4));
    EXPECT_FALSE(cover.hides(upright(-30, 20, -1, 1, -50).data(), 4)) << "reaching into the open half";
    const float lo[3] = {-30, -1, -60}, hi[3] = {-20, 1, -50}, across[3] = {-30, -1, -60}, nearHi[3] = {-20, 1, 5};
    EXPECT_TRUE(cover.hidesBox(lo, hi));
    EXPECT_FALSE(cover.hidesBox(across, nearHi)) << "a box around the eye";

    // The right half: turned away it covers nothing unless drawn from both sides.
    std::vector<float> away = upright(0, 100, -100, 100, -10);
    std::swap_ranges(away.begin(), away.begin() + 5, away.begin() + 5);
    std::swap_ranges(away.begin() + 10, away.begin() + 15, away.begin() + 15);
    cover.add(away.data(), 4, false);
    cover.commit();
    EXPECT_FALSE(cover.hides(ahead.data(), 4));
    cover.add(away.data(), 4, true);
    cover.commit();
    EXPECT_TRUE(cover.hides(ahead.data(), 4));
    EXPECT_TRUE(cover.hides(wide.data(), 4)) << "larger than the window, behind a cover of all of it";

    // A floor from behind the eye to 50 ahead covers the window's lower part
    // up to its far edge: what lies under it is hidden, what rises past it not.
    cover.begin(m, 64, 48);
    const std::vector<float> floor = {-50, -1, 5, 0, 0, 50, -1, 5, 0, 0, 50, -1, -50, 0, 0, -50, -1, -50, 0, 0};
    cover.add(floor.data(), 4, false);
    cover.commit();
    EXPECT_TRUE(cover.hides(upright(-1, 1, -3, -2, -60).data(), 4));
    EXPECT_FALSE(cover.hides(upright(-1, 1, -3, 2, -60).data(), 4));

    // Corners that are not numbers neither hide nor cover.
    cover.begin(m, 64, 48);
    std::vector<float> broken = upright(-100, 100, -100, 100, -10);
    broken[5] = NAN;
    cover.add(broken.data(), 4, true);
    cover.commit();
    EXPECT_FALSE(cover.hides(ahead.data(), 4));
    EXPECT_FALSE(cover.hides(broken.data(), 4));
}

// The depth buffer of free look's frame once every chunk in view is built
// (at most 3000 frames), each frame's chunk count in *counts when given.
std::vector<float> settledLook(const Entity &from, std::vector<int> *counts = nullptr)
{
    std::vector<float> depths(640 * 480);
    for (int i = 0; i < 3000; i++) {
        glLoadIdentity();
        camera_lookFrom(&from);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        testing::internal::CaptureStdout();
        const int drawn = tile_drawLook(from.position.x, from.position.y, from.position.z, 64);
        testing::internal::GetCapturedStdout();
        if (counts)
            counts->push_back(drawn);
        if (i >= 3 && tile_lookStats.queued == 0 && tile_lookStats.waiting == 0)
            break;
        const timespec pause = {0, 2000000};
        nanosleep(&pause, nullptr);
    }
    glReadPixels(0, 0, 640, 480, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
    return depths;
}

// Cells set and cleared in view: while their chunks are built again every
// chunk stays drawn, at most the chunks the cells touch are built, and the
// frame then is the one a world loaded with those cells draws.
TEST_F(TileChunks, AnEditDropsNoChunkAndDrawsAsAFreshWorld)
{
    REQUIRE_GL();
    world(96, 24, 96);
    for (unsigned z = 0; z < 96; z++)
        for (unsigned x = 0; x < 96; x++)
            for (unsigned y = 0; y < 3 + (x * 5 + z * 3) % 9; y++)
                at(x, y, z) = STONE;
    main_renderState();
    glMatrixMode(GL_MODELVIEW);
    const Entity eye = {{-1, 0, 0}, {0, 1, 0}, {0, -0.3f, -1}, {96, 40, 110 * 7}};
    tile_lookOcclude = false;  // counts of chunks hidden or not may vary with the machine's timing
    settledLook(eye);
    const int before = tile_lookStats.drawn;
    const long built = tile_lookStats.built;
    const TileCellEdit edits[] = {{48, 20, 80, STONE}, {47, 1, 79, TILE_EMPTY}, {16, 14, 90, STONE}};
    for (const TileCellEdit &e : edits) {
        tile_editCells(&e, 1);
        std::vector<int> counts;
        settledLook(eye, &counts);
        EXPECT_GE(*std::min_element(counts.begin(), counts.end()), before) << "a chunk left the screen";
    }
    EXPECT_LE(tile_lookStats.built - built, 3 + 3 + 2) << "chunks the edits do not touch were built";
    tile_lookOcclude = true;
    const std::vector<float> edited = settledLook(eye);
    tile_chunksClear();  // the changed world as a fresh one
    tile_generation++;
    const std::vector<float> fresh = settledLook(eye);
    size_t differ = 0;
    for (size_t i = 0; i < fresh.size(); i++)
        differ += !(fabsf(edited[i] - fresh[i]) <= 1e-6f);
    EXPECT_EQ(differ, 0u);
}

// A 12 x 12 picture in a 16 x 16 texture (so that faces showing it are
// never joined: it cannot repeat) whose texels are all unlike their
// neighbours: a texel taken from the wrong place, or a neighbour's, shows.
void patterned(Image *image, unsigned seed)
{
    ImageTexels t = {};
    t.width = t.height = 12;
    t.texWidth = t.texHeight = 16;
    t.texels.resize(16 * 16 * 3);
    for (unsigned y = 0; y < 12; y++)
        for (unsigned x = 0; x < 12; x++) {
            unsigned char *p = &t.texels[(y * 16 + x) * 3];
            p[0] = (unsigned char)(x * 20 + seed), p[1] = (unsigned char)(y * 20 + seed * 7);
            p[2] = (unsigned char)((x ^ y) * 16 + seed * 13);
        }
    image_replicateEdges(&t);
    image_loadDecoded(image, t);
}

// Each chunk's corners live in a vertex buffer, its pictures of one size in
// an atlas: after cells in view change, and after a picture is replaced by
// one of the same size (chunks pointed at the new atlas, not built again),
// the frame is the one a fresh world draws (no old buffer, no old atlas
// slot); each picture's own texture draws it pixel for pixel, smoothed or
// not; and so do client arrays, as a driver without buffers has them.
TEST_F(TileChunks, BuffersAndTheAtlasDrawTheWorldAsItIsNowAsOwnTexturesAndClientArraysDo)
{
    REQUIRE_GL();
    ASSERT_TRUE(tile_buffersUsable()) << "every Mesa has buffer objects";
    tile_atlasFewest = 1;  // two pictures: the atlas for them
    patterned(&entries[0].image, 1);
    patterned(&entries[3].image, 2);
    world(64, 16, 64);
    for (unsigned z = 0; z < 64; z++)
        for (unsigned x = 0; x < 64; x++)
            for (unsigned y = 0; y < 2 + (x * 3 + z * 5) % 7; y++)
                at(x, y, z) = (x / 3 + z / 2) % 3 ? STONE : PADDED;
    main_renderState();
    glMatrixMode(GL_MODELVIEW);
    const Entity eye = {{-1, 0, 0}, {0, 1, 0}, {0, -0.4f, -1}, {32 * tile_size, 12 * tile_size, 44 * tile_sizeZ}};
    struct Frame {
        std::vector<unsigned char> rgb;
        std::vector<float> depths;
        bool operator==(const Frame &o) const
        {
            for (size_t i = 0; i < depths.size() && i < o.depths.size(); i++)
                if (!(fabsf(depths[i] - o.depths[i]) <= 1e-6f))
                    return false;
            return rgb == o.rgb && depths.size() == o.depths.size();
        }
        // The same but for a few pixels off by a texel, where a texture
        // coordinate rounds the other way, and filtering's rounding.
        bool like(const Frame &o) const
        {
            int off = 0;
            for (size_t i = 0; i + 2 < rgb.size() && i + 2 < o.rgb.size(); i += 3)
                off += abs(rgb[i] - o.rgb[i]) > 1 || abs(rgb[i + 1] - o.rgb[i + 1]) > 1 ||
                       abs(rgb[i + 2] - o.rgb[i + 2]) > 1;
            Frame flat = o;
            flat.rgb = rgb;
            return off < 100 && *this == flat;
        }
    };
    auto frame = [&] {
        Frame f{std::vector<unsigned char>(640 * 480 * 3), settledLook(eye)};
        glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, f.rgb.data());
        return f;
    };
    auto fresh = [&] {  // the world as it is now, as a fresh one
        tile_chunksClear();
        tile_generation++;
        return frame();
    };
    const Frame before = frame();
    std::vector<TileCellEdit> edits;
    for (unsigned short z = 24; z < 40; z++)
        for (unsigned short x = 20; x < 44; x++)
            edits.push_back({x, 9, z, (unsigned char)((x + z) % 2 ? STONE : PADDED)});  // a chequered roof
    tile_editCells(edits.data(), edits.size());
    const Frame edited = frame();
    EXPECT_FALSE(edited == before) << "the roof is not in view";
    EXPECT_TRUE(fresh() == edited) << "a chunk drew from its old buffer";
    TextureEntry again = entries[3];  // the same file read again, other pixels
    patterned(&again.image, 3);
    for (int f = 0; f < 6; f++)
        tile[PADDED].faceTexture[f] = &again;
    tile_generation++;
    const long built = tile_lookStats.built;
    const Frame replaced = frame();
    EXPECT_EQ(tile_lookStats.built, built) << "chunks built again for a picture of the same size";
    EXPECT_FALSE(replaced == edited) << "the old picture still shows";
    EXPECT_TRUE(fresh() == replaced) << "a chunk drew from its old atlas";
    for (unsigned char smooth : {1, 0}) {
        tile_optSmooth = smooth;
        const Frame atlas = fresh();
        tile_atlasUse = 0;
        EXPECT_TRUE(fresh().like(atlas)) << "the atlas draws other pixels than the pictures, smooth " << (int)smooth;
        tile_atlasUse = -1;
    }
    tile_buffers = 0;
    const Frame arrays = fresh();
    tile_buffers = -1;
    EXPECT_TRUE(arrays == fresh()) << "client arrays draw other pixels";
    tile_atlasFewest = 16;
}

// Every other cell a brick under a budget far below what the view needs:
// no frame's cache holds more, the nearest chunks are drawn, and the
// building comes to an end.
TEST_F(TileChunks, TheBudgetHoldsOnALattice)
{
    REQUIRE_GL();
    world(96, 32, 96);
    for (unsigned z = 0; z < 96; z++)
        for (unsigned y = 0; y < 32; y++)
            for (unsigned x = 0; x < 96; x++)
                at(x, y, z) = (x + y + z) % 2 ? STONE : TILE_EMPTY;
    const size_t budget = tile_chunkBudget;
    tile_chunkBudget = (size_t)4 << 20;  // four chunks' faces of the 48 in view
    glMatrixMode(GL_MODELVIEW);
    const Entity eye = {{-1, 0, 0}, {0, 1, 0}, {0, -0.3f, -1}, {96, 40, 100 * 7}};
    size_t most = 0;
    int frames = 0;
    for (; frames < 3000; frames++) {
        glLoadIdentity();
        camera_lookFrom(&eye);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        testing::internal::CaptureStdout();
        tile_drawLook(eye.position.x, eye.position.y, eye.position.z, 64);
        testing::internal::GetCapturedStdout();
        most = std::max(most, tile_lookStats.bytes);
        if (frames > 3 && tile_lookStats.queued == 0)
            break;
        const timespec pause = {0, 2000000};
        nanosleep(&pause, nullptr);
    }
    tile_chunkBudget = budget;
    EXPECT_LE(most, (size_t)4 << 20);
    EXPECT_GT(tile_lookStats.drawn, 0);
    EXPECT_LT(frames, 3000) << "chunks built and dropped without end";
}

// Hills of stone on a world many chunks wide: frames go on while the worker
// builds, and the drawing thread itself walks no cell.
TEST_F(TileChunks, FramesNeverWaitForABuildNorWalkTheWorld)
{
    REQUIRE_GL();
    world(160, 24, 160);
    for (unsigned z = 0; z < 160; z++)
        for (unsigned x = 0; x < 160; x++)
            for (unsigned y = 0; y < 4 + (x * 7 + z * 3) % 11; y++)
                at(x, y, z) = (x + z) % 9 ? STONE : GLASS;
    for (unsigned y = 0; y < 24; y++)
        for (unsigned x = 0; x < 160; x++)
            for (unsigned z = 139; z < 142; z++)
                at(x, y, z) = STONE;  // a wall nothing is seen through
    at(80, 10, 140) = TILE_EMPTY;  // a cave sealed in it
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const Entity eye = {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {160, 40, 900}};
    camera_lookFrom(&eye);
    const unsigned long walks = tile_walksHere();
    int framesWhileBuilding = 0, drawn = 0;
    glEnable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    testing::internal::CaptureStdout();
    for (int frame = 0; frame < 3000; frame++) {
        drawn = tile_drawLook(eye.position.x, eye.position.y, eye.position.z, 64);
        if (tile_lookStats.pending == 0)
            break;
        framesWhileBuilding++;
        const timespec pause = {0, 2000000};
        nanosleep(&pause, nullptr);
    }
    std::string lines = testing::internal::GetCapturedStdout();
    EXPECT_EQ(tile_walksHere(), walks);
    EXPECT_TRUE(glIsEnabled(GL_BLEND) && glIsEnabled(GL_ALPHA_TEST)) << "left off for the other mode";
    EXPECT_EQ(tile_lookStats.pending, 0);
    EXPECT_GT(framesWhileBuilding, 0);
    EXPECT_NE(lines.find("view " + std::to_string(drawn) + " chunks\n"), std::string::npos);

    // Before the wall every chunk behind it is left out, and the sealed
    // cave's faces; risen over it, the chunks show at once; from inside
    // the cave, its faces.  Each frame is the one every face of every
    // chunk in view draws (read as depths: every face here is white).  A
    // face drawn in a range of its own may split into triangles otherwise
    // and land a step of the depth buffer away; a face missing shows what
    // lies a cell or more behind it.
    main_renderState();
    auto frame = [&](const Entity &from, bool occlude, std::vector<float> *depths) {
        glLoadIdentity();
        camera_lookFrom(&from);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        tile_lookOcclude = occlude;
        testing::internal::CaptureStdout();
        tile_drawLook(from.position.x, from.position.y, from.position.z, 64);
        testing::internal::GetCapturedStdout();
        tile_lookOcclude = true;
        depths->resize(640 * 480);
        glReadPixels(0, 0, 640, 480, GL_DEPTH_COMPONENT, GL_FLOAT, depths->data());
    };
    auto same = [](const std::vector<float> &a, const std::vector<float> &b) {
        for (size_t i = 0; i < a.size(); i++)
            if (!(fabsf(a[i] - b[i]) <= 1e-6f))
                return false;
        return a.size() == b.size();
    };
    const Entity low = {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {160, 30, 1050}};
    Entity high = low;
    high.position.y = 60;
    std::vector<float> occluded, every;
    for (const Entity &from : {high, low})
        for (int i = 0; i < 3000 && (i < 4 || tile_lookStats.pending > 0); i++) {
            usleep(2000);
            frame(from, true, &occluded);
        }
    const TileLookStats left = tile_lookStats;
    frame(low, false, &every);
    EXPECT_GT(left.hidden, 10);
    EXPECT_EQ(left.sealed, 6);
    EXPECT_EQ(left.drawn + left.hidden, tile_lookStats.drawn);
    EXPECT_TRUE(same(occluded, every)) << "a chunk left out showed";
    frame(high, true, &occluded);
    EXPECT_LT(tile_lookStats.hidden, left.hidden);
    frame(high, false, &every);
    EXPECT_TRUE(same(occluded, every)) << "a chunk hidden a frame ago was left out";
    const Entity cave = {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {80 * tile_size, 10 * tile_size, 140 * tile_sizeZ}};
    frame(cave, true, &occluded);
    EXPECT_EQ(tile_lookStats.sealed, 0);
    frame(cave, false, &every);
    EXPECT_TRUE(same(occluded, every)) << "the cave the eye is in lost its faces";
    tile_chunksClear();
}

// A long view over more chunks than the budget holds: the farthest are
// dropped, the cache stays within the budget and the worker falls idle
// instead of building and dropping them again, nearest chunks still drawn.
TEST_F(TileChunks, AViewPastTheBudgetKeepsTheNearestAndStopsBuilding)
{
    REQUIRE_GL();
    world(128, 16, 128);
    for (unsigned z = 0; z < 128; z++)
        for (unsigned x = 0; x < 128; x++)
            for (unsigned y = 0; y < 2 + (x * 5 + z * 3) % 9; y++)
                at(x, y, z) = (x + z) % 7 ? STONE : CUTOUT;
    const Entity eye = {{-1, 0, 0}, {0, 1, 0}, {0, -0.5f, -1}, {64 * tile_size, 30 * tile_size, 64 * tile_sizeZ}};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    camera_lookFrom(&eye);
    auto settle = [&] {
        testing::internal::CaptureStdout();
        for (int i = 0; i < 4000 && (i < 4 || tile_lookStats.queued > 0); i++) {
            usleep(2000);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            tile_drawLook(eye.position.x, eye.position.y, eye.position.z, 1024);
        }
        testing::internal::GetCapturedStdout();
    };
    settle();
    const size_t whole = tile_chunksBytes();
    const int drawnWhole = tile_lookStats.drawn;
    const size_t kept = tile_chunkBudget;
    tile_chunkBudget = whole / 3;
    tile_chunksClear();  // built again, under the small budget
    settle();
    const size_t first = tile_chunksBytes();
    settle();
    tile_chunkBudget = kept;
    EXPECT_EQ(tile_lookStats.queued, 0) << "still building what does not fit";
    EXPECT_LE(first, whole / 3);
    EXPECT_EQ(tile_chunksBytes(), first) << "chunks dropped and built again";
    EXPECT_GT(tile_lookStats.drawn, 0);
    EXPECT_LT(tile_lookStats.drawn, drawnWhole);
    tile_chunksClear();
}

}  // namespace
