// tile_edit.cpp -- setting cells of the live grid, so the chunks built from it are built again
#include "tile.h"

void tile_editCells(const TileCellEdit *edits, size_t count)
{
    tile_chunksPause();  // the chunk worker reads tile_map
    bool changed = false;
    for (size_t i = 0; i < count; i++) {
        const TileCellEdit &e = edits[i];
        if (!tile_map || e.x >= tile_width || e.y >= tile_height || e.z >= tile_depth)
            continue;
        unsigned char &cell = tile_map[((size_t)e.y * tile_depth + e.z) * tile_width + e.x];
        changed |= cell != e.type;
        cell = e.type;
    }
    if (changed)
        tile_generation++;
    tile_chunksResume();
}
