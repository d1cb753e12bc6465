// fuzz_camera.cpp -- fuzz target: a camera file, then the block of cells drawn around it
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "entity.h"
#include "fuzz_common.h"
#include "tile.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_setup();
    return 0;
}

static unsigned fuzz_u16(const uint8_t *data, size_t size, size_t at)
{
    return (at < size ? data[at] : 0) | (unsigned)(at + 1 < size ? data[at + 1] : 0) << 8;
}

// The walk of the drawing pass touches every cell of the block; each must
// lie inside the grid.
static void fuzz_checkBlock(const TileBlock &b, unsigned width, unsigned height, unsigned depth)
{
    FUZZ_CHECK(b.x0 >= 0 && b.x0 <= b.x1 && b.y0 >= 0 && b.y0 <= b.y1 && b.z0 >= 0 && b.z0 <= b.z1);
    FUZZ_CHECK(b.x1 - b.x0 <= 21 && b.y1 - b.y0 <= 21 && b.z1 - b.z0 <= 21);
    if (b.x0 == b.x1 || b.y0 == b.y1 || b.z0 == b.z1)
        return;
    FUZZ_CHECK((unsigned)b.x1 <= width && (unsigned)b.y1 <= height && (unsigned)b.z1 <= depth);
    size_t last = ((size_t)(b.y1 - 1) * depth + (size_t)(b.z1 - 1)) * width + (size_t)(b.x1 - 1);
    FUZZ_CHECK(last < (size_t)width * height * depth);
}

// The first 48 bytes are the camera file (a shorter one overlays the
// default pose as at start-up); the next six choose the grid's width,
// height and depth; the tick's moves then carry the eye along its axes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Entity e;
    entity_set(&e, 0, 0, 0);
    e.left.x = -1.0f;
    e.forward.z = -1.0f;
    entity_fromBytes(&e, data, size);

    unsigned width = fuzz_u16(data, size, 48), height = fuzz_u16(data, size, 50);
    unsigned depth = fuzz_u16(data, size, 52);
    for (int step = 0; step < 4; step++) {
        TileBlock b;
        tile_block(e.position.x, e.position.y, e.position.z, width, height, depth, tile_size,
                   tile_sizeZ, &b);
        fuzz_checkBlock(b, width, height, depth);
        entity_move(&e, 1.0f);
        entity_strafe(&e, -1.0f);
        entity_elevate(&e, 1.0f);
        entity_rotateZ(&e, 9.0f);
    }

    // Written back, the pose reads as itself bit for bit.
    unsigned char bytes[ENTITY_FILE_SIZE], again[ENTITY_FILE_SIZE];
    entity_toBytes(&e, bytes);
    Entity copy;
    memset(&copy, 0, sizeof copy);
    entity_fromBytes(&copy, bytes, sizeof bytes);
    entity_toBytes(&copy, again);
    FUZZ_CHECK(memcmp(bytes, again, sizeof bytes) == 0);
    return 0;
}
