// tile_air.cpp -- which open cells the air around the world reaches
#include <vector>

#include "tile.h"

void tile_outsideAir(const unsigned char *map, unsigned width, unsigned height, unsigned depth,
                     std::vector<bool> *outside)
{
    const size_t cells = (size_t)width * depth * height;
    outside->assign(cells, false);
    if (!map || cells == 0)
        return;
    bool solid[256];
    for (int t = 0; t < 256; t++)
        solid[t] = tile_solidType((unsigned char)t);
    // Cells are (y * depth + z) * width + x.  Every open cell on the grid's
    // edge touches the outside; the fill spreads from there a run of open
    // cells along x at a time, seeding the runs beside it.
    std::vector<unsigned char> reached(cells, 0);
    struct Seed {
        unsigned x, y, z;
    };
    std::vector<Seed> stack;
    auto row = [&](unsigned y, unsigned z) { return ((size_t)y * depth + z) * width; };
    auto open = [&](size_t at) { return !reached[at] && !solid[map[at]]; };
    // Seeds the start of each unreached open run of row (y, z) within x0..x1.
    auto seedRuns = [&](unsigned x0, unsigned x1, unsigned y, unsigned z) {
        const size_t r = row(y, z);
        bool inRun = false;
        for (unsigned x = x0; x <= x1; x++) {
            const bool o = open(r + x);
            if (o && !inRun)
                stack.push_back(Seed{x, y, z});
            inRun = o;
        }
    };
    for (unsigned y = 0; y < height; y++)
        for (unsigned z = 0; z < depth; z++) {
            if (y == 0 || y + 1 == height || z == 0 || z + 1 == depth) {
                seedRuns(0, width - 1, y, z);
            } else {
                seedRuns(0, 0, y, z);
                seedRuns(width - 1, width - 1, y, z);
            }
        }
    while (!stack.empty()) {
        const Seed s = stack.back();
        stack.pop_back();
        const size_t r = row(s.y, s.z);
        if (!open(r + s.x))
            continue;  // filled since it was seeded
        unsigned x0 = s.x, x1 = s.x;
        while (x0 > 0 && open(r + x0 - 1))
            x0--;
        while (x1 + 1 < width && open(r + x1 + 1))
            x1++;
        for (unsigned x = x0; x <= x1; x++)
            reached[r + x] = 1;
        if (s.z > 0)
            seedRuns(x0, x1, s.y, s.z - 1);
        if (s.z + 1 < depth)
            seedRuns(x0, x1, s.y, s.z + 1);
        if (s.y > 0)
            seedRuns(x0, x1, s.y - 1, s.z);
        if (s.y + 1 < height)
            seedRuns(x0, x1, s.y + 1, s.z);
    }
    for (size_t at = 0; at < cells; at++)
        if (reached[at])
            (*outside)[at] = true;
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
    const int axis = tile_faceAxis(f);
    if (axis >= 0)
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
