// tile_load.cpp -- placeholder world loading
#include "tile.h"

#include <string.h>

void tile_load(void)
{
    memset(tile, 0, sizeof tile);
    entity_set(&tile_temp, 0, 0, 0);
    tile_temp.left.x = -1.0f;
    tile_temp.forward.z = -1.0f;
}

