// edit.h -- building edits: the cells a step changes, and the undo history of steps
#ifndef TAVO_EDIT_H
#define TAVO_EDIT_H

#include <stddef.h>

#include <deque>
#include <vector>

#define EDIT_EMPTY 255  // the type of an empty cell

// A cell a step changes, from one type to another.
struct EditCell {
    unsigned short x, y, z;
    unsigned char from, to;
};

// A cell position; it may lie outside the grid.
struct EditPos {
    int x, y, z;
};

// The grid as it is now, read only: (y * depth + z) * width + x.
struct EditGrid {
    unsigned width, height, depth;
    const unsigned char *cells;
    bool inside(const EditPos &p) const;
    unsigned char at(const EditPos &p) const;  // inside() only
};

// One undoable step: single cells, or a box filled with one type whose old
// types are kept a byte a cell (a 64 x 16 x 64 fill takes 64 KB, not 512).
struct EditStep {
    std::vector<EditCell> cells;
    bool box = false;
    EditPos lo = {0, 0, 0}, hi = {0, 0, 0};  // the box, inclusive
    unsigned char to = 0;                    // the box's new type
    std::vector<unsigned char> from;         // the box's old types, x fastest, then z, then y
    size_t bytes(void) const;                // what the step holds in memory
    // The step's cells, forwards (from -> to) or backwards (to -> from).
    std::vector<EditCell> expand(bool forwards) const;
};

// The cell beside p across face (the face indices of tile.h: 0 -z, 1 +y,
// 2 +x, 3 -y, 4 -x, 5 +z).
EditPos edit_beside(const EditPos &p, int face);
// The steps of the building keys; false when the step would change nothing
// (the cell outside the grid, already empty, the near cell taken).
bool edit_remove(const EditGrid &grid, const EditPos &cell, EditStep *out);
bool edit_place(const EditGrid &grid, const EditPos &cell, int face, unsigned char type,
                EditStep *out);
// Every cell of the box between corners a and b (clipped to the grid) set
// to type: a fill, or a clear with EDIT_EMPTY.
bool edit_box(const EditGrid &grid, const EditPos &a, const EditPos &b, unsigned char type,
              EditStep *out);

#define EDIT_STEPS_MOST 4096          // steps kept for undo
#define EDIT_BYTES_MOST (64u << 20)   // and the memory they may hold

// The steps done, for undo and redo.  The oldest steps are forgotten past
// EDIT_STEPS_MOST or EDIT_BYTES_MOST (the latest is always kept).  Undo and
// redo change only the cells that still hold what the step left there, so a
// step undone after the map was read again from disk leaves the cells that
// changed meanwhile as the disk has them; skipped counts those.
class EditHistory {
public:
    explicit EditHistory(size_t stepsMost = EDIT_STEPS_MOST, size_t bytesMost = EDIT_BYTES_MOST);
    void push(EditStep step);  // after the step was applied; the steps undone are dropped
    bool undo(const EditGrid &grid, std::vector<EditCell> *apply, size_t *skipped);
    bool redo(const EditGrid &grid, std::vector<EditCell> *apply, size_t *skipped);
    size_t steps(void) const { return done_.size(); }
    size_t undone(void) const { return done_.size() - at_; }
    size_t bytes(void) const { return bytes_; }
    // Where the history stands, and that the grid as it was there is the
    // file on disk (saved, or read).
    unsigned long mark(void) const { return position(); }
    void markSaved(unsigned long at) { saved_ = at; }
    bool unsaved(void) const { return saved_ != position(); }

private:
    struct Entry {
        unsigned long id;
        EditStep step;
    };
    unsigned long position(void) const { return at_ ? done_[at_ - 1].id : base_; }
    std::deque<Entry> done_;
    size_t at_ = 0;  // the steps applied: done_[0 .. at_)
    size_t bytes_ = 0, stepsMost_, bytesMost_;
    unsigned long next_ = 1, base_ = 0, saved_ = 0;
};

#endif
