// fuzz_map.cpp -- fuzz target: the map picture decoder and the grid it installs
#include <stddef.h>
#include <stdint.h>

#include "fuzz_common.h"
#include "tile.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TileMap map;
    if (!tile_decodeMap(data, size, &map))
        return 0;
    // The drawing pass indexes tile_map with these sizes alone.  No
    // whole block (0 layers) is a world with nothing to draw.
    FUZZ_CHECK(map.width >= 1 && map.depth >= 1);
    FUZZ_CHECK(map.cells.size() == (size_t)map.width * map.depth * map.height);
    if (!tile_setMap(&map))
        return 0;
    FUZZ_CHECK(tile_width == map.width && tile_depth == map.depth && tile_height == map.height);
    return 0;
}
