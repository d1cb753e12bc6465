// edit.cpp -- building edits: the cells a step changes, and the undo history of steps
#include "edit.h"

#include <algorithm>

bool EditGrid::inside(const EditPos &p) const
{
    return p.x >= 0 && p.y >= 0 && p.z >= 0 && (unsigned)p.x < width && (unsigned)p.y < height &&
           (unsigned)p.z < depth;
}

unsigned char EditGrid::at(const EditPos &p) const
{
    return cells[((size_t)p.y * depth + (size_t)p.z) * width + (size_t)p.x];
}

size_t EditStep::bytes(void) const
{
    return sizeof *this + cells.capacity() * sizeof(EditCell) + from.capacity();
}

std::vector<EditCell> EditStep::expand(bool forwards) const
{
    std::vector<EditCell> out;
    if (!box) {
        out = cells;
    } else {
        size_t i = 0;
        out.reserve(from.size());
        for (int y = lo.y; y <= hi.y; y++)
            for (int z = lo.z; z <= hi.z; z++)
                for (int x = lo.x; x <= hi.x; x++, i++)
                    if (from[i] != to)
                        out.push_back({(unsigned short)x, (unsigned short)y, (unsigned short)z, from[i], to});
    }
    if (!forwards)
        for (EditCell &c : out)
            std::swap(c.from, c.to);
    return out;
}

EditPos edit_beside(const EditPos &p, int face)
{
    static const int d[6][3] = {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}, {0, -1, 0}, {-1, 0, 0}, {0, 0, 1}};
    if (face < 0 || face > 5)
        return p;
    return {p.x + d[face][0], p.y + d[face][1], p.z + d[face][2]};
}

static bool edit_single(const EditGrid &grid, const EditPos &cell, unsigned char type, EditStep *out)
{
    if (!grid.inside(cell) || grid.at(cell) == type)
        return false;
    *out = EditStep();
    out->cells.push_back({(unsigned short)cell.x, (unsigned short)cell.y, (unsigned short)cell.z,
                          grid.at(cell), type});
    return true;
}

bool edit_remove(const EditGrid &grid, const EditPos &cell, EditStep *out)
{
    return edit_single(grid, cell, EDIT_EMPTY, out);
}

bool edit_place(const EditGrid &grid, const EditPos &cell, int face, unsigned char type, EditStep *out)
{
    EditPos near = edit_beside(cell, face);
    if (face < 0 || face > 5 || type == EDIT_EMPTY || !grid.inside(near) || grid.at(near) != EDIT_EMPTY)
        return false;
    return edit_single(grid, near, type, out);
}

bool edit_box(const EditGrid &grid, const EditPos &a, const EditPos &b, unsigned char type, EditStep *out)
{
    EditPos lo = {std::max(std::min(a.x, b.x), 0), std::max(std::min(a.y, b.y), 0),
                  std::max(std::min(a.z, b.z), 0)};
    EditPos hi = {std::min(std::max(a.x, b.x), (int)grid.width - 1),
                  std::min(std::max(a.y, b.y), (int)grid.height - 1),
                  std::min(std::max(a.z, b.z), (int)grid.depth - 1)};
    if (lo.x > hi.x || lo.y > hi.y || lo.z > hi.z)
        return false;
    EditStep step;
    step.box = true;
    step.lo = lo;
    step.hi = hi;
    step.to = type;
    bool changes = false;
    step.from.reserve((size_t)(hi.x - lo.x + 1) * (hi.y - lo.y + 1) * (hi.z - lo.z + 1));
    for (int y = lo.y; y <= hi.y; y++)
        for (int z = lo.z; z <= hi.z; z++)
            for (int x = lo.x; x <= hi.x; x++) {
                unsigned char old = grid.at({x, y, z});
                step.from.push_back(old);
                changes |= old != type;
            }
    if (!changes)
        return false;
    *out = std::move(step);
    return true;
}

EditHistory::EditHistory(size_t stepsMost, size_t bytesMost) : stepsMost_(stepsMost), bytesMost_(bytesMost)
{
}

void EditHistory::push(EditStep step)
{
    while (done_.size() > at_) {  // a new step forgets the ones undone
        bytes_ -= done_.back().step.bytes();
        done_.pop_back();
    }
    bytes_ += step.bytes();
    done_.push_back({next_++, std::move(step)});
    at_ = done_.size();
    while (done_.size() > 1 && (done_.size() > stepsMost_ || bytes_ > bytesMost_)) {
        bytes_ -= done_.front().step.bytes();
        base_ = done_.front().id;
        done_.pop_front();
        at_--;
    }
}

// The cells of changes whose grid cell still holds c.from.
static void edit_still(const EditGrid &grid, const std::vector<EditCell> &changes,
                       std::vector<EditCell> *apply, size_t *skipped)
{
    apply->clear();
    *skipped = 0;
    for (const EditCell &c : changes) {
        EditPos p = {c.x, c.y, c.z};
        if (grid.inside(p) && grid.at(p) == c.from)
            apply->push_back(c);
        else
            ++*skipped;
    }
}

bool EditHistory::undo(const EditGrid &grid, std::vector<EditCell> *apply, size_t *skipped)
{
    if (at_ == 0)
        return false;
    at_--;
    edit_still(grid, done_[at_].step.expand(false), apply, skipped);
    return true;
}

bool EditHistory::redo(const EditGrid &grid, std::vector<EditCell> *apply, size_t *skipped)
{
    if (at_ == done_.size())
        return false;
    edit_still(grid, done_[at_].step.expand(true), apply, skipped);
    at_++;
    return true;
}
