// test_edit.cpp -- the building edits: remove, place on each face, boxes, undo and redo, the step limit
#include <gtest/gtest.h>

#include <vector>

#include "edit.h"
#include "tile.h"

namespace {

// A 4 x 3 x 5 grid, empty but for one stone (type 7) at (1, 1, 2).
struct Grid {
    std::vector<unsigned char> cells = std::vector<unsigned char>(4 * 3 * 5, EDIT_EMPTY);
    Grid() { set({1, 1, 2}, 7); }
    EditGrid view(void) const { return {4, 3, 5, cells.data()}; }
    unsigned char &cell(const EditPos &p) { return cells[((size_t)p.y * 5 + p.z) * 4 + p.x]; }
    void set(const EditPos &p, unsigned char t) { cell(p) = t; }
    void apply(const std::vector<EditCell> &changes)
    {
        for (const EditCell &c : changes)
            cell({c.x, c.y, c.z}) = c.to;
    }
    void apply(const EditStep &s) { apply(s.expand(true)); }
};

TEST(Edit, PlacingAgainstEachFaceFillsTheCellOnThatSide)
{
    const struct {
        int face;
        EditPos near;
    } rows[] = {
        {TILE_BACK, {1, 1, 1}}, {TILE_TOP, {1, 2, 2}}, {TILE_RIGHT, {2, 1, 2}},
        {TILE_BOTTOM, {1, 0, 2}}, {TILE_LEFT, {0, 1, 2}}, {TILE_FRONT, {1, 1, 3}},
    };
    for (const auto &r : rows) {
        Grid g;
        EditStep s;
        ASSERT_TRUE(edit_place(g.view(), {1, 1, 2}, r.face, 9, &s)) << "face " << r.face;
        ASSERT_EQ(s.cells.size(), 1u);
        const EditCell &c = s.cells[0];
        EXPECT_EQ(c.x, r.near.x);
        EXPECT_EQ(c.y, r.near.y);
        EXPECT_EQ(c.z, r.near.z);
        EXPECT_EQ(c.from, EDIT_EMPTY);
        EXPECT_EQ(c.to, 9);
    }
}

TEST(Edit, StepsThatWouldChangeNothingAreRefused)
{
    Grid g;
    g.set({0, 0, 0}, 3);
    EditStep s;
    EXPECT_FALSE(edit_remove(g.view(), {0, 1, 0}, &s));   // already empty
    EXPECT_FALSE(edit_remove(g.view(), {4, 0, 0}, &s));   // outside
    EXPECT_FALSE(edit_place(g.view(), {0, 0, 0}, TILE_LEFT, 9, &s));    // the near cell is outside
    EXPECT_FALSE(edit_place(g.view(), {0, 0, 0}, TILE_TOP, EDIT_EMPTY, &s));  // placing nothing
    g.set({1, 2, 2}, 4);
    EXPECT_FALSE(edit_place(g.view(), {1, 1, 2}, TILE_TOP, 9, &s));   // the near cell is taken
    EXPECT_FALSE(edit_place(g.view(), {1, 1, 2}, 6, 9, &s));          // no such face
    EXPECT_TRUE(edit_remove(g.view(), {1, 1, 2}, &s));
    EXPECT_EQ(s.cells[0].from, 7);
    EXPECT_EQ(s.cells[0].to, EDIT_EMPTY);
}

TEST(Edit, ABoxIsClippedToTheGridAndUndoneAsOneStep)
{
    Grid g;
    std::vector<unsigned char> before = g.cells;
    EditHistory h;
    EditStep s;
    ASSERT_TRUE(edit_box(g.view(), {3, -2, 9}, {2, 1, 3}, 5, &s));  // corners in any order
    EXPECT_EQ(s.from.size(), 2u * 2 * 2);
    g.apply(s);
    h.push(s);
    int filled = 0;
    for (int y = 0; y < 3; y++)
        for (int z = 0; z < 5; z++)
            for (int x = 0; x < 4; x++)
                filled += g.cell({x, y, z}) == 5;
    EXPECT_EQ(filled, 8);
    EXPECT_EQ(g.cell({2, 0, 3}), 5);
    EXPECT_EQ(g.cell({3, 1, 4}), 5);

    std::vector<EditCell> apply;
    size_t skipped = 9;
    ASSERT_TRUE(h.undo(g.view(), &apply, &skipped));
    g.apply(apply);
    EXPECT_EQ(g.cells, before);
    EXPECT_EQ(skipped, 0u);
    EditStep clear;
    EXPECT_FALSE(edit_box(g.view(), {0, 2, 0}, {3, 2, 4}, EDIT_EMPTY, &clear));  // empty already
    EXPECT_FALSE(edit_box(g.view(), {4, 0, 0}, {9, 2, 4}, 5, &clear));           // wholly outside
}

// Replays a sequence of u (undo), r (redo) and digits (remove or place a
// cell of that x on layer 0) and compares the grid with a model kept alongside.
TEST(Edit, UndoAndRedoSequencesMatchTheGridsTheyPassedThrough)
{
    const char *sequences[] = {"0123uuuu", "01uu rr", "012uu3uuu", "0u0u0urrr", "01u2ur", "uurr0"};
    for (const char *seq : sequences) {
        Grid g;
        EditHistory h;
        std::vector<std::vector<unsigned char>> states = {g.cells};
        size_t at = 0;
        for (const char *p = seq; *p; p++) {
            std::vector<EditCell> apply;
            size_t skipped = 0;
            if (*p == 'u' || *p == 'r') {
                bool undo = *p == 'u';
                bool moved = undo ? h.undo(g.view(), &apply, &skipped) : h.redo(g.view(), &apply, &skipped);
                EXPECT_EQ(moved, undo ? at > 0 : at + 1 < states.size()) << seq;
                g.apply(apply);
                if (moved)
                    at += undo ? -1 : 1;
            } else if (*p >= '0' && *p <= '3') {
                EditStep s;
                EditPos c = {*p - '0', 0, 0};
                bool ok = g.cell(c) == EDIT_EMPTY ? edit_place(g.view(), {c.x, 0, 1}, TILE_BACK, 3, &s)
                                                  : edit_remove(g.view(), c, &s);
                ASSERT_TRUE(ok);
                g.apply(s);
                h.push(s);
                states.resize(++at);  // the states undone are gone
                states.push_back(g.cells);
            }
            EXPECT_EQ(g.cells, states[at]) << seq << " at '" << *p << "'";
            EXPECT_EQ(h.unsaved(), at != 0) << seq;
        }
    }
}

TEST(Edit, UndoAfterTheMapWasReadAgainLeavesCellsChangedOnDiskAlone)
{
    Grid g;
    EditHistory h;
    EditStep s;
    ASSERT_TRUE(edit_box(g.view(), {0, 0, 0}, {1, 0, 0}, 6, &s));
    g.apply(s);
    h.push(s);
    h.markSaved(h.mark());
    g.set({1, 0, 0}, 8);  // another program changed this cell, and the map was read again
    std::vector<EditCell> apply;
    size_t skipped = 0;
    ASSERT_TRUE(h.undo(g.view(), &apply, &skipped));
    g.apply(apply);
    EXPECT_EQ(skipped, 1u);
    EXPECT_EQ(g.cell({0, 0, 0}), EDIT_EMPTY);
    EXPECT_EQ(g.cell({1, 0, 0}), 8);
    EXPECT_TRUE(h.unsaved());
    ASSERT_TRUE(h.redo(g.view(), &apply, &skipped));
    g.apply(apply);
    EXPECT_EQ(g.cell({0, 0, 0}), 6);
    EXPECT_EQ(g.cell({1, 0, 0}), 8);
    EXPECT_FALSE(h.unsaved());
}

TEST(Edit, TheHistoryKeepsItsLimitsAndASavedStepForgottenStaysUnsaved)
{
    Grid g;
    const struct {
        size_t steps, bytes, pushes, kept;
    } rows[] = {
        {1000, EDIT_BYTES_MOST, 1500, 1000},
        {EDIT_STEPS_MOST, EDIT_BYTES_MOST, 1000, 1000},
        {EDIT_STEPS_MOST, 1, 3, 1},  // the latest step is kept whatever it holds
    };
    for (const auto &r : rows) {
        EditHistory h(r.steps, r.bytes);
        for (size_t i = 0; i < r.pushes; i++) {
            EditStep s;
            ASSERT_TRUE(edit_remove(g.view(), {1, 1, 2}, &s));
            h.push(s);
            if (i == 0)
                h.markSaved(h.mark());
        }
        EXPECT_EQ(h.steps(), r.kept);
        std::vector<EditCell> apply;
        size_t skipped, undone = 0;
        while (h.undo(g.view(), &apply, &skipped))
            undone++;
        EXPECT_EQ(undone, r.kept);
        EXPECT_TRUE(h.unsaved());
        ASSERT_TRUE(h.redo(g.view(), &apply, &skipped));  // back to the oldest step kept
        EXPECT_EQ(h.unsaved(), r.kept < r.pushes) << "the saved state was forgotten";
    }
    // Memory for 1000 single cells and for a 64 x 16 x 64 box, printed for the record.
    std::vector<unsigned char> big(64 * 16 * 64, EDIT_EMPTY);
    EditGrid bigGrid = {64, 16, 64, big.data()};
    EditHistory cells, box;
    for (int i = 0; i < 1000; i++) {
        EditStep s;
        ASSERT_TRUE(edit_place(bigGrid, {i % 64, 0, i / 64 % 64}, TILE_TOP, 3, &s));
        cells.push(s);
    }
    EditStep s;
    ASSERT_TRUE(edit_box(bigGrid, {0, 0, 0}, {63, 15, 63}, 3, &s));
    box.push(s);
    printf("undo memory: 1000 single cells %zu bytes, a 64 x 16 x 64 box %zu bytes\n", cells.bytes(),
           box.bytes());
    EXPECT_LT(cells.bytes(), 200000u);
    EXPECT_LT(box.bytes(), 70000u);
}

}  // namespace

namespace {

// The face a view ray enters the cell it stops at is the face placing builds against.
TEST(Edit, TheWalkTellsTheFaceItEnteredThrough)
{
    std::vector<unsigned char> cells(3 * 3 * 3, EDIT_EMPTY);
    cells[(1 * 3 + 1) * 3 + 1] = 7;  // the middle cell
    unsigned char passes[256] = {0};
    passes[EDIT_EMPTY] = 1;
    // From the middle of each side cell towards the middle one.
    const struct {
        float ex, ey, ez, dx, dy, dz;
        int face;
    } rows[] = {
        {0, 2, 7, 1, 0, 0, TILE_LEFT}, {4, 2, 7, -1, 0, 0, TILE_RIGHT},
        {2, 0, 7, 0, 1, 0, TILE_BOTTOM}, {2, 4, 7, 0, -1, 0, TILE_TOP},
        {2, 2, 0, 0, 0, 1, TILE_BACK}, {2, 2, 14, 0, 0, -1, TILE_FRONT},
        {2, 2, 7, 0, 0, 1, -1},  // the eye inside the cell
    };
    for (const auto &r : rows) {
        Vector eye = {r.ex, r.ey, r.ez}, dir = {r.dx, r.dy, r.dz};
        TileCell hit;
        int face = 99;
        ASSERT_TRUE(tile_walk(&eye, &dir, 3, 3, 3, cells.data(), passes, &hit, &face));
        EXPECT_EQ(hit.x * 100 + hit.y * 10 + hit.z, 111);
        EXPECT_EQ(face, r.face) << r.ex << " " << r.ey << " " << r.ez;
    }
}

}  // namespace
