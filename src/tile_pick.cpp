// tile_pick.cpp -- which cell holds a point, and which cell a view ray meets first
#include "tile.h"

#include <math.h>

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
               TileCell *hit, const TileSeen *seen)
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
    // The ray's parameter where it entered the cell: the eye's own cell
    // before the start.  Along dir, so near in world units is near / |dir|.
    double entered = -INFINITY, near = 0.0;
    if (seen)
        near = seen->near / sqrt((double)dir->x * dir->x + (double)dir->y * dir->y + (double)dir->z * dir->z);
    for (int n = 0; n < TILE_WALK_MAX; n++) {
        bool inside = cell[0] >= 0 && cell[1] >= 0 && cell[2] >= 0 && cell[0] < size[0] &&
                      cell[1] < size[1] && cell[2] < size[2];
        for (int i = 0; seen && inside && i < 3; i++)
            inside = entered >= near && cell[i] >= seen->lo[i] && cell[i] < seen->hi[i];
        if (inside) {
            unsigned char type =
                cells[((size_t)cell[1] * depth + (size_t)cell[2]) * width + (size_t)cell[0]];
            if (!passes[type]) {
                *hit = {(int)cell[0], (int)cell[1], (int)cell[2]};
                return true;
            }
        }
        int axis = next[0] <= next[1] && next[0] <= next[2] ? 0 : next[1] <= next[2] ? 1 : 2;
        entered = next[axis];
        cell[axis] += step[axis];
        next[axis] += delta[axis];
    }
    return false;
}
