// tile.h -- the tile world, all its parts: the model, loading, the walker and its sinks, chunks, snapshots
#ifndef TAVO_TILE_H
#define TAVO_TILE_H

#include "tile_model.h"
#include "tile_loading.h"
#include "tile_walk.h"
#include "tile_chunks.h"
#include "tile_levels.h"
#include "tile_world.h"
#include "tile_save.h"

#endif
