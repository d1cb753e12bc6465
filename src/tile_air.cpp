// tile_air.cpp -- which open cells the air around the world reaches
#include <vector>

#include "tile.h"

void tile_outsideAir(const unsigned char *map, unsigned width, unsigned height, unsigned depth,
                     std::vector<bool> *outside)
{
    const size_t row = width, layer = (size_t)width * depth, cells = layer * height;
    outside->assign(cells, false);
    if (!map || cells == 0)
        return;
    bool solid[256];
    for (int t = 0; t < 256; t++)
        solid[t] = tile_solidType((unsigned char)t);
    // Cells are (y * depth + z) * width + x; every open cell on the grid's
    // edge touches the outside, and the fill spreads from there.
    std::vector<unsigned> stack;
    auto reach = [&](size_t at) {
        if (!(*outside)[at] && !solid[map[at]]) {
            (*outside)[at] = true;
            stack.push_back((unsigned)at);
        }
    };
    for (size_t at = 0; at < cells; at++) {
        const size_t x = at % row, z = at / row % depth, y = at / layer;
        if (x == 0 || x + 1 == width || z == 0 || z + 1 == depth || y == 0 || y + 1 == height)
            reach(at);
    }
    while (!stack.empty()) {
        const size_t at = stack.back();
        stack.pop_back();
        const size_t x = at % row, z = at / row % depth, y = at / layer;
        if (x > 0)
            reach(at - 1);
        if (x + 1 < width)
            reach(at + 1);
        if (z > 0)
            reach(at - row);
        if (z + 1 < depth)
            reach(at + row);
        if (y > 0)
            reach(at - layer);
        if (y + 1 < height)
            reach(at + layer);
    }
}

bool TileAirSplit::seenFromOutside(const TileFace &f) const
{
    int cell[3], across[3];
    for (int k = 0; k < 3; k++) {
        const float q = f.origin[k] / unit_[k];
        if (!(q > -1e6f && q < 1e6f))
            return true;
        cell[k] = (int)(q < 0.0f ? q - 0.5f : q + 0.5f);
        across[k] = cell[k];
    }
    // A box face is seen from the cell it faces; anything else from its own cell.
    int axis = -1;
    if (f.hasNormal)
        for (int k = 0; k < 3; k++)
            if (f.normal[k] != 0.0f)
                axis = axis < 0 ? k : 3;
    if (axis >= 0 && axis < 3)
        across[axis] += f.normal[axis] > 0.0f ? 1 : -1;
    return outside(across) || outside(cell);
}

bool TileAirSplit::outside(const int c[3]) const
{
    if (c[0] < 0 || c[1] < 0 || c[2] < 0 || (unsigned)c[0] >= width_ || (unsigned)c[1] >= height_ ||
        (unsigned)c[2] >= depth_)
        return true;
    return (*outside_)[((size_t)c[1] * depth_ + (size_t)c[2]) * width_ + (size_t)c[0]];
}

void TileAirSplit::face(const TileFace &f)
{
    (seenFromOutside(f) ? outsideSink_ : enclosedSink_)->face(f);
}
