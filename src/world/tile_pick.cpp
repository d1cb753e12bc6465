// tile_pick.cpp -- which cell holds a point, which cell a view ray meets first, and how far the nearest filled cell lies
#include "tile_world.h"
#include "tile_loading.h"
#include "tile_save.h"

#include <math.h>

#include <algorithm>

// Positions are counted in cells, shifted by half a cell so that a cell
// runs from its index to the next one.
static bool tile_cellSpace(const Vector *v, double out[3])
{
    out[0] = (double)v->x / tile_size + 0.5;
    out[1] = (double)v->y / tile_size + 0.5;
    out[2] = (double)v->z / tile_sizeZ + 0.5;
    for (int i = 0; i < 3; i++)
        if (!(fabs(out[i]) < 1e9))
            return false;  // NaN, infinite, or beyond any grid's reach
    return true;
}

bool tile_cellAt(const Vector *position, TileCell *out)
{
    double p[3];
    if (!tile_cellSpace(position, p))
        return false;
    out->x = (int)floor(p[0]);
    out->y = (int)floor(p[1]);
    out->z = (int)floor(p[2]);
    return true;
}

bool tile_walk(const Vector *eye, const Vector *dir, unsigned width, unsigned height,
               unsigned depth, const unsigned char *cells, const unsigned char passes[256],
               TileCell *hit, int *entered, const TileSeen *seen)
{
    double p[3];
    if (!tile_cellSpace(eye, p))
        return false;
    double d[3] = {(double)dir->x / tile_size, (double)dir->y / tile_size, (double)dir->z / tile_sizeZ};
    if (!(isfinite(d[0]) && isfinite(d[1]) && isfinite(d[2])) || (d[0] == 0 && d[1] == 0 && d[2] == 0))
        return false;
    // Along the ray, the distance to the next cell boundary on each axis
    // and between two boundaries; the nearest boundary is crossed next.
    long cell[3], size[3] = {(long)width, (long)height, (long)depth};
    int step[3];
    double next[3], delta[3];
    for (int i = 0; i < 3; i++) {
        cell[i] = (long)floor(p[i]);
        step[i] = d[i] > 0 ? 1 : d[i] < 0 ? -1 : 0;
        delta[i] = step[i] ? 1.0 / fabs(d[i]) : INFINITY;
        double edge = step[i] > 0 ? (double)(cell[i] + 1) - p[i] : p[i] - (double)cell[i];
        next[i] = step[i] ? edge * delta[i] : INFINITY;
    }
    // The face a cell is entered through, by the axis stepped along and its sign.
    static const int faces[3][2] = {{TILE_RIGHT, TILE_LEFT}, {TILE_TOP, TILE_BOTTOM}, {TILE_FRONT, TILE_BACK}};
    int face = -1;
    // The ray's parameter where it entered the cell: the eye's own cell
    // before the start.  Along dir, so near in world units is near / |dir|.
    double enteredAt = -INFINITY, near = 0.0;
    if (seen)
        near = seen->near / sqrt((double)dir->x * dir->x + (double)dir->y * dir->y + (double)dir->z * dir->z);
    for (int n = 0; n < TILE_WALK_MAX; n++) {
        bool inside = cell[0] >= 0 && cell[1] >= 0 && cell[2] >= 0 && cell[0] < size[0] &&
                      cell[1] < size[1] && cell[2] < size[2];
        for (int i = 0; seen && inside && i < 3; i++)
            inside = enteredAt >= near && cell[i] >= seen->lo[i] && cell[i] < seen->hi[i];
        if (inside) {
            unsigned char type =
                cells[((size_t)cell[1] * depth + (size_t)cell[2]) * width + (size_t)cell[0]];
            if (!passes[type]) {
                *hit = {(int)cell[0], (int)cell[1], (int)cell[2]};
                if (entered)
                    *entered = face;
                return true;
            }
        }
        int axis = next[0] <= next[1] && next[0] <= next[2] ? 0 : next[1] <= next[2] ? 1 : 2;
        enteredAt = next[axis];
        cell[axis] += step[axis];
        face = faces[axis][step[axis] > 0];
        next[axis] += delta[axis];
    }
    return false;
}

// A row of cells x0..x1 holds one that is not empty.
static bool tile_rowFilled(const unsigned char *row, long x0, long x1)
{
    for (long x = x0; x <= x1; x++)
        if (row[x] != TILE_EMPTY)
            return true;
    return false;
}

bool tile_blockFilled(const TileBlock *block, unsigned width, unsigned depth,
                      const unsigned char *cells)
{
    if (block->x0 >= block->x1)
        return false;
    for (long y = block->y0; y < block->y1; y++)
        for (long z = block->z0; z < block->z1; z++)
            if (tile_rowFilled(&cells[((size_t)y * depth + (size_t)z) * width], block->x0, block->x1 - 1))
                return true;
    return false;
}

long tile_nearestFilled(const TileCell *eye, unsigned width, unsigned height, unsigned depth,
                        const unsigned char *cells)
{
    if (!width || !height || !depth)
        return -1;
    const long long at[3] = {eye->x, eye->y, eye->z}, size[3] = {width, height, depth};
    // The shells that meet the grid: from the one reaching its nearest face
    // to the one reaching its farthest corner.
    long long first = 0, last = 0;
    for (int i = 0; i < 3; i++) {
        first = std::max(first, std::max(-at[i], at[i] - (size[i] - 1)));
        last = std::max(last, std::max(at[i], size[i] - 1 - at[i]));
    }
    for (long long r = first; r <= last; r++) {
        long long lo[3], hi[3];
        for (int i = 0; i < 3; i++) {
            lo[i] = std::max(at[i] - r, 0LL);
            hi[i] = std::min(at[i] + r, size[i] - 1);
        }
        for (long long y = lo[1]; y <= hi[1]; y++)
            for (long long z = lo[2]; z <= hi[2]; z++) {
                const unsigned char *row = &cells[((size_t)y * depth + (size_t)z) * width];
                // On the shell's top, bottom, front or back the whole row
                // belongs to it; elsewhere only its two ends do.
                if (y == at[1] - r || y == at[1] + r || z == at[2] - r || z == at[2] + r) {
                    if (lo[0] <= hi[0] && tile_rowFilled(row, (long)lo[0], (long)hi[0]))
                        return (long)r;
                } else if ((at[0] - r >= 0 && at[0] - r < size[0] && row[at[0] - r] != TILE_EMPTY) ||
                           (at[0] + r >= 0 && at[0] + r < size[0] && row[at[0] + r] != TILE_EMPTY)) {
                    return (long)r;
                }
            }
    }
    return -1;
}
