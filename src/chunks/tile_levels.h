// tile_levels.h -- free look's levels of detail: far chunks drawn from coarser cells
#ifndef TAVO_TILE_LEVELS_H
#define TAVO_TILE_LEVELS_H

#include <stddef.h>
#include <memory>
#include "tile_world.h"

struct TileAtlas;

// Level k of the world has cells of 2^k x 2^k x 2^k of the world's own;
// a chunk of level k holds TILE_CHUNK^3 of them, so it covers
// TILE_CHUNK << k cells a side, aligned to that size.  Level 0 is the
// chunk cache's own (tile_chunks.cpp).  Free look starts from the
// coarsest chunks within the view distance and splits a chunk into its
// eight children while the eye is no farther from its box than
// TILE_LEVEL_SPLIT times its side, so the levels tile space without gap or
// overlap and a coarse cell covers about as many pixels where its level
// begins as a cell of the world does at the level-0 chunks' edge.
enum { TILE_LEVELS = 6 };  // levels 0 .. 5: a level-5 chunk is 512 cells a side
#define TILE_LEVEL_SPLIT 2

// How a type counts when a block reduces: solid (the builder takes the
// types whose top and four sides are opaque box faces, tile_coverSides),
// a see-through box (those sides on, some picture letting light through:
// water, glass, leaves), or not at all (empty cells, plants, wedges).
enum { TILE_LEVEL_NONE, TILE_LEVEL_SOLID, TILE_LEVEL_CLEAR };
// The type that stands for the block of side^3 cells at at[] in the box
// of cells size[0] x size[1] x size[2] (index (y * size[2] + z) * size[0]
// + x; the block's part past the box is left out); kind[t] as above.  The
// type that shows from outside wins.  A block is solid when at least half
// its cells are or a solid column runs through its whole height, so that a
// lone tower or wall far away keeps its place: then the type most columns
// show as their topmost solid cell (glass over stone shows the stone).
// Else a block at least half solid or see-through keeps the type most
// columns show on top, see-through or not (a far lake keeps its water);
// else it is empty (TILE_EMPTY) and what lies behind it shows.
unsigned char tile_levelReduce(const unsigned char *cells, const int size[3], const int at[3], int side,
                               const unsigned char kind[256]);

// Whether free look draws chunk c (chunk coordinates) of the world's own
// cells, with the eye at eye (in cells) in a grid of size cells: its
// level-1 parent is split.  Always so at a view distance up to
// TILE_LEVEL_SPLIT * 2 * TILE_CHUNK (64 cells), where no coarse chunk is drawn.
bool tile_levelsFine(const int c[3], const float eye[3], const unsigned size[3], int view);
// How far from the eye (in cells) such chunks may lie at this view.
int tile_levelsNearView(int view);

struct TileLevelStats {
    int drawn[TILE_LEVELS];  // coarse chunks drawn by the last frame, by level (0: none)
    int pending;             // chunks the view meets that are not built yet
    int queued;              // chunks within the view distance not built yet
    long faces;              // faces of the chunks drawn
    size_t bytes;            // held by the coarse chunks
};
extern TileLevelStats tile_levelStats;

// A free-look frame's coarse chunks, from the eye at eyeAt (world units)
// with the view distance view over world (atlas: the near chunks' for its
// tables, or null; eyeOutside: the eye is in the open air, so the walls of
// caves sealed inside a far chunk are not drawn): those in view are drawn
// (their opaque faces now, under the fog as it stands, the see-through
// ones by tile_levelsDrawSeeThrough; a chunk not built yet shows a built
// parent or children instead), the worker is handed those to build,
// nearest first, and the cache is trimmed so that it and nearBytes of
// level-0 chunks stay within tile_chunkBudget (a chunk dropped stays until
// the next frame's call).  planes: the frustum (tile_frustum).  Returns
// the chunks drawn; culling is left as it comes.
int tile_levelsDraw(const TileWorldRef &world, const std::shared_ptr<const TileAtlas> &atlas, const float eyeAt[3],
                    bool eyeOutside, int view, const float planes[6][4], size_t nearBytes);
// Sends the cut-out or the translucent faces of the coarse chunks the
// last tile_levelsDraw drew, under the state the near chunks' pass of
// that kind has set; translucent ones farthest first, before the near
// chunks' own (they lie behind them).
void tile_levelsDrawSeeThrough(int pass);
// Drops every coarse chunk once a build under way has ended.
void tile_levelsClear(void);
size_t tile_levelsBytes(void);

#endif
