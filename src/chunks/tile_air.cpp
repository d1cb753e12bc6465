// tile_air.cpp -- which cells sight from the air around the world can come into
#include <vector>

#include "tile.h"

bool tile_outsideAir(const unsigned char *map, unsigned width, unsigned height, unsigned depth,
                     std::vector<bool> *outside, const CubeDef *cubes, const std::atomic<bool> *stop)
{
    const size_t cells = (size_t)width * depth * height;
    outside->assign(cells, false);
    if (!map || cells == 0)
        return true;
    // Polled a row or a run at a time: a whole grid takes long enough to
    // hold up work that cannot wait.
    auto stopped = [&] {
        if (!stop || !stop->load(std::memory_order_relaxed))
            return false;
        outside->clear();
        return true;
    };
    unsigned cover[256];
    for (int t = 0; t < 256; t++)
        cover[t] = tile_coverSides(cubes ? cubes : tile, (unsigned char)t);
    // Cells are (y * depth + z) * width + x.  Sight comes into a cell
    // through any side its own face does not cover: from past the grid's
    // edge, or from a cell it came into.  The fill spreads a run along x at
    // a time, seeding the cells beside the run that sight comes into.
    std::vector<unsigned char> reached(cells, 0);
    struct Seed {
        unsigned x, y, z;
    };
    std::vector<Seed> stack;
    auto row = [&](unsigned y, unsigned z) { return ((size_t)y * depth + z) * width; };
    auto enters = [&](size_t at, int side) { return !reached[at] && !(cover[map[at]] >> side & 1u); };
    // Seeds the cells of row (y, z) within x0..x1 that sight comes into
    // through `side`: the first of each stretch of them, and each whose
    // left side is covered, where a run along x from the one before stops.
    auto seedRow = [&](unsigned x0, unsigned x1, unsigned y, unsigned z, int side) {
        const size_t r = row(y, z);
        bool inRun = false;
        for (unsigned x = x0; x <= x1; x++) {
            const bool in = enters(r + x, side);
            if (in && (!inRun || (cover[map[r + x]] >> TILE_LEFT & 1u)))
                stack.push_back(Seed{x, y, z});
            inRun = in;
        }
    };
    for (unsigned y = 0; y < height; y++)
        for (unsigned z = 0; z < depth; z++) {
            if (stopped())
                return false;
            if (y == 0)
                seedRow(0, width - 1, y, z, TILE_BOTTOM);
            if (y + 1 == height)
                seedRow(0, width - 1, y, z, TILE_TOP);
            if (z == 0)
                seedRow(0, width - 1, y, z, TILE_BACK);
            if (z + 1 == depth)
                seedRow(0, width - 1, y, z, TILE_FRONT);
            seedRow(0, 0, y, z, TILE_LEFT);
            seedRow(width - 1, width - 1, y, z, TILE_RIGHT);
        }
    for (size_t runs = 0; !stack.empty(); runs++) {
        if (runs % 64 == 0 && stopped())
            return false;
        const Seed s = stack.back();
        stack.pop_back();
        const size_t r = row(s.y, s.z);
        if (reached[r + s.x])
            continue;  // filled since it was seeded
        unsigned x0 = s.x, x1 = s.x;
        while (x0 > 0 && enters(r + x0 - 1, TILE_RIGHT))
            x0--;
        while (x1 + 1 < width && enters(r + x1 + 1, TILE_LEFT))
            x1++;
        for (unsigned x = x0; x <= x1; x++)
            reached[r + x] = 1;
        if (s.z > 0)
            seedRow(x0, x1, s.y, s.z - 1, TILE_FRONT);
        if (s.z + 1 < depth)
            seedRow(x0, x1, s.y, s.z + 1, TILE_BACK);
        if (s.y > 0)
            seedRow(x0, x1, s.y - 1, s.z, TILE_TOP);
        if (s.y + 1 < height)
            seedRow(x0, x1, s.y + 1, s.z, TILE_BOTTOM);
    }
    for (size_t at = 0; at < cells; at++)
        if (reached[at])
            (*outside)[at] = true;
    return true;
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
