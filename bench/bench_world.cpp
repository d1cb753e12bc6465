// bench_world.cpp -- generated worlds to measure free look on: hills, caves, houses with windows, lakes, plants and roofs; a slab of many colours
#include "bench_world.h"

#include <math.h>

#include <algorithm>

namespace {

// The demo world's cube types, whose pictures the generated world wears.
enum : unsigned char {
    FLOOR = 254, GROUND = 253, GRASS = 252, WATER = 251, BRICK = 250, WINDOW = 249,
    ROOF_UP_X = 247, ROOF_DOWN_X = 246, ROOF = 245, STONE = 244, PLANT = 241, EMPTY = 255,
};

// A hash of a lattice point and the seed, 0 to 1.
float bench_hash(unsigned seed, int x, int y, int z)
{
    unsigned h = seed * 0x9E3779B9u ^ (unsigned)x * 0x85EBCA6Bu ^ (unsigned)y * 0xC2B2AE35u ^
                 (unsigned)z * 0x27D4EB2Fu;
    h ^= h >> 15, h *= 0x2C1B3C6Du, h ^= h >> 12, h *= 0x297A2D39u, h ^= h >> 15;
    return (float)(h & 0xFFFFFF) / (float)0xFFFFFF;
}

// Smooth noise: the lattice's hashes blended across a cell of `scale`.
float bench_noise(unsigned seed, float x, float y, float z, float scale)
{
    x /= scale, y /= scale, z /= scale;
    int ix = (int)floorf(x), iy = (int)floorf(y), iz = (int)floorf(z);
    float fx = x - (float)ix, fy = y - (float)iy, fz = z - (float)iz;
    fx = fx * fx * (3 - 2 * fx), fy = fy * fy * (3 - 2 * fy), fz = fz * fz * (3 - 2 * fz);
    float v = 0;
    for (int c = 0; c < 8; c++) {
        float w = (c & 1 ? fx : 1 - fx) * (c & 2 ? fy : 1 - fy) * (c & 4 ? fz : 1 - fz);
        v += w * bench_hash(seed, ix + (c & 1), iy + (c >> 1 & 1), iz + (c >> 2));
    }
    return v;
}

}  // namespace

std::vector<unsigned char> bench_generateWorld(unsigned seed, unsigned width, unsigned height,
                                               unsigned depth, unsigned *eyeGround)
{
    std::vector<unsigned char> cells((size_t)width * height * depth, EMPTY);
    auto at = [&](unsigned x, unsigned y, unsigned z) -> unsigned char & {
        return cells[((size_t)y * depth + z) * width + x];
    };
    const unsigned water = height / 4;
    std::vector<unsigned> ground((size_t)width * depth);
    for (unsigned z = 0; z < depth; z++)
        for (unsigned x = 0; x < width; x++) {
            float hill = 0.6f * bench_noise(seed, (float)x, 0, (float)z, 48) +
                         0.3f * bench_noise(seed + 1, (float)x, 0, (float)z, 16) +
                         0.1f * bench_noise(seed + 2, (float)x, 0, (float)z, 5);
            unsigned top = std::min(height - 12, 4 + (unsigned)(hill * (float)height * 0.5f));
            ground[(size_t)z * width + x] = top;
            for (unsigned y = 0; y < top; y++) {
                // Caves: where a coarse three-dimensional noise runs high, below the topsoil.
                bool cave = y > 2 && y + 3 < top && bench_noise(seed + 3, (float)x, (float)y * 2, (float)z, 9) > 0.68f;
                at(x, y, z) = cave ? EMPTY : y + 1 == top ? (top <= water ? GROUND : GRASS)
                                           : y + 4 > top ? GROUND : STONE;
            }
            for (unsigned y = top; y < water; y++)
                at(x, y, z) = WATER;
            if (top > water && bench_hash(seed + 4, (int)x, 0, (int)z) < 0.08f)
                at(x, top, z) = PLANT;
        }
    // Houses on a grid of sites: brick walls with a band of windows, a floor, a pitched roof.
    for (unsigned sz = 6; sz + 14 < depth; sz += 22)
        for (unsigned sx = 6; sx + 14 < width; sx += 22) {
            if (bench_hash(seed + 5, (int)sx, 1, (int)sz) < 0.35f)
                continue;
            unsigned w = 6 + (unsigned)(bench_hash(seed + 6, (int)sx, 2, (int)sz) * 6), d = 6;
            unsigned base = ground[(size_t)(sz + d / 2) * width + sx + w / 2];
            if (base <= water)
                continue;
            const unsigned walls = 5;
            for (unsigned z = sz; z < sz + d; z++)
                for (unsigned x = sx; x < sx + w; x++) {
                    for (unsigned y = base - 1; y < base + walls + 1; y++)
                        at(x, y, z) = EMPTY;
                    at(x, base - 1, z) = FLOOR;
                    for (unsigned y = 0; y + 1 < base; y++)
                        if (at(x, y, z) == EMPTY)
                            at(x, y, z) = STONE;
                    bool edge = x == sx || x + 1 == sx + w || z == sz || z + 1 == sz + d;
                    for (unsigned y = base; edge && y < base + walls; y++)
                        at(x, y, z) = (y == base + 2 && (x + z) % 2) ? WINDOW : BRICK;
                    at(x, base + walls, z) = x == sx ? ROOF_UP_X : x + 1 == sx + w ? ROOF_DOWN_X : ROOF;
                }
        }
    if (eyeGround)
        *eyeGround = ground[(size_t)(depth / 2) * width + width / 2];
    return cells;
}

std::vector<unsigned char> bench_generateSlab(unsigned seed, unsigned kinds, unsigned width,
                                              unsigned height, unsigned depth)
{
    std::vector<unsigned char> cells((size_t)width * height * depth);
    for (unsigned y = 0; y < height; y++)
        for (unsigned z = 0; z < depth; z++)
            for (unsigned x = 0; x < width; x++)
                cells[((size_t)y * depth + z) * width + x] = (unsigned char)std::min(
                    kinds - 1, (unsigned)(bench_hash(seed, (int)x, (int)y, (int)z) * (float)kinds));
    return cells;
}
