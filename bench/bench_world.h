// bench_world.h -- a generated world to measure free look on
#ifndef TAVO_BENCH_WORLD_H
#define TAVO_BENCH_WORLD_H

#include <vector>

// width x height x depth cells, (y * depth + z) * width + x, made from
// seed alone: hills of stone under ground and grass, caves, lakes of
// water, crossed plants, and brick houses with glass windows, floors and
// roofs of wedges.  Types are the demo world's.  *eyeGround, when not
// null, is the ground's layer at the world's centre.
std::vector<unsigned char> bench_generateWorld(unsigned seed, unsigned width, unsigned height,
                                               unsigned depth, unsigned *eyeGround);

// A solid slab of width x height x depth cells, each of a type 0 to
// kinds - 1 chosen at random from seed: a voxel model's many colours.
std::vector<unsigned char> bench_generateSlab(unsigned seed, unsigned kinds, unsigned width,
                                              unsigned height, unsigned depth);

#endif
