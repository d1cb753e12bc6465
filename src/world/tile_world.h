// tile_world.h -- the loaded world as snapshots: one immutable value a version, shared by every thread that reads it
#ifndef TAVO_TILE_WORLD_H
#define TAVO_TILE_WORLD_H

#include <stddef.h>
#include <memory>
#include <vector>
#include "tile_model.h"

// The world is cut into cubes of TILE_CHUNK cells a side: the unit its
// cells are stored, shared and compared in, and the unit free look builds.
#define TILE_CHUNK 16
#define TILE_CHUNK_CELLS (TILE_CHUNK * TILE_CHUNK * TILE_CHUNK)

// One chunk's cells, index (y * TILE_CHUNK + z) * TILE_CHUNK + x within it;
// those past the grid's edge read TILE_EMPTY.
struct TileChunkCells {
    unsigned char cells[TILE_CHUNK_CELLS];
};

// The texture table a load made and the textures it uploaded.  Given back
// when the last snapshot (or chunk built from one) lets go of it: the
// memory at once, the textures on the drawing thread's next
// tile_releasePictures.
struct TilePictureTable {
    TextureEntry *tex = nullptr;  // malloc'd, as the loader made it
    int texCount = 0;
    TilePictureTable() = default;
    TilePictureTable(const TilePictureTable &) = delete;
    TilePictureTable &operator=(const TilePictureTable &) = delete;
    ~TilePictureTable();
};
// The pictures of the world the globals hold (null for tables a caller
// made up); the definition file's install replaces it.
extern std::shared_ptr<TilePictureTable> tile_pictureTable;
// Deletes the textures of pictures no longer held.  Drawing thread only.
void tile_releasePictures(void);

// The cube table of one version, with what keeps its pictures alive.
struct TileTables {
    CubeDef cubes[256];
    std::shared_ptr<TilePictureTable> pictures;
};

// One version of the world.  Never changed once published: a new version
// shares every chunk of cells and the tables it did not change.
struct TileSnapshot {
    unsigned version = 0;
    unsigned width = 0, height = 0, depth = 0;
    int n[3] = {0, 0, 0};  // chunks along x, y, z
    // By key (cz * n[1] + cy) * n[0] + cx; null: every cell empty.
    std::vector<std::shared_ptr<const TileChunkCells>> chunks;
    std::shared_ptr<const TileTables> tables;

    int key(int cx, int cy, int cz) const { return (cz * n[1] + cy) * n[0] + cx; }
    // The cell at x, y, z, which must lie inside the grid.
    unsigned char at(int x, int y, int z) const
    {
        const TileChunkCells *c =
            chunks[(size_t)key(x / TILE_CHUNK, y / TILE_CHUNK, z / TILE_CHUNK)].get();
        return c ? c->cells[((y % TILE_CHUNK) * TILE_CHUNK + z % TILE_CHUNK) * TILE_CHUNK + x % TILE_CHUNK]
                 : (unsigned char)TILE_EMPTY;
    }
    // The whole grid in the map's order, (y * depth + z) * width + x.
    void flatten(std::vector<unsigned char> *map) const;
};
typedef std::shared_ptr<const TileSnapshot> TileWorldRef;

// The current snapshot, for the drawing thread: published anew from the
// globals (tile_map, tile, tile_width ...) when tile_generation moved since
// the last one, sharing the chunks whose cells did not change.  Workers
// are handed the reference and never read the globals.
TileWorldRef tile_world(void);
// Publishes the globals as a new version now (drawing thread).
void tile_publish(void);
// The cells of a map (width x height x depth, in the map's order) cut into
// a new version's chunks, each one shared with from's (which may be null)
// where its cells are the same.  Reads no global, so that a reload cuts
// the map it read on its own thread; the version and the tables are left
// for tile_publishCut.
std::shared_ptr<TileSnapshot> tile_cutCells(const unsigned char *map, unsigned width, unsigned height,
                                            unsigned depth, const TileSnapshot *from);
// tile_publish of the globals whose grid is already cut, as tile_map holds
// it (drawing thread).
void tile_publishCut(std::shared_ptr<TileSnapshot> cut);

struct TileCellEdit { unsigned short x, y, z; unsigned char type; };
// Sets the cells and publishes the changed world at once; only the chunks the
// change touches are built again.  Cells outside the grid are ignored.
void tile_editCells(const TileCellEdit *edits, size_t count);

// Whether two cube records draw the same faces: the same fields, and
// pictures of the same file, opacity and sizes (their textures may differ:
// a chunk built with one draws with the other).
bool tile_sameCube(const CubeDef &a, const CubeDef &b);

// What must be built again going from snapshot a to b: flag a chunk of b
// (dirty->size() is b's chunk count).  A chunk is dirty when its cells
// changed, when a neighbour's changed cells lie on their shared side (the
// walk hides faces against the cells across), or when it or the layer of
// cells around it holds a type whose cube record changed.  Grids of other
// sizes: every chunk.  *types, when given, gets the changed types.
void tile_worldDirty(const TileSnapshot &a, const TileSnapshot &b, std::vector<unsigned char> *dirty,
                     std::vector<unsigned char> *types = nullptr);
// Flags the chunk of cell x, y, z of s and the neighbours whose faces
// look into it from across the side it lies on.
void tile_flagCell(const TileSnapshot &s, int x, int y, int z, std::vector<unsigned char> *dirty);
// The same from the cells whose outside air changed (tile_outsideAir's
// flags of two versions of one grid): those chunks and the neighbours
// whose faces look into them; solid cells, which sight never comes into,
// left out.
void tile_airDirty(const TileSnapshot &s, const std::vector<bool> &before, const std::vector<bool> &after,
                   std::vector<unsigned char> *dirty);

#endif
