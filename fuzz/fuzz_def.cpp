// fuzz_def.cpp -- fuzz target: the definition file's four passes, pictures stubbed
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "fuzz_common.h"
#include "tile.h"

// Pictures and colours are recorded in the entry instead of being made,
// which needs a window; the path must fit the field the viewer keeps.
static bool fuzz_loadPicture(void *, Image *image, const char *path, Refusal *)
{
    FUZZ_CHECK(strlen(path) < TILE_PATH);
    *image = Image{4, 4, 0, 4, 4, 1, {}};
    return true;
}

static bool fuzz_createColor(void *, Image *image, unsigned short w, unsigned short h,
                             unsigned char, unsigned char, unsigned char, Refusal *)
{
    *image = Image{w, h, 0, w, h, 2, {}};
    return true;
}

static void fuzz_unknownTexture(void *, int type, int face, const char *name)
{
    FUZZ_CHECK((type == -1 && face == -1) || (type >= 1 && type <= 254 && face >= 0 && face < 6));
    FUZZ_CHECK(strlen(name) < 256);
}

static bool fuzz_inTable(const void *p, size_t offset)
{
    for (int i = 0; i < tile_texCount; i++)
        if ((const char *)&tile_tex[i] + offset == p)
            return true;
    return false;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const TileDefHooks hooks = {nullptr, fuzz_loadPicture, fuzz_createColor,
                                       fuzz_unknownTexture};
    if (!tile_readDef(data, size, "/world/", &hooks))
        return 0;
    // Drawing follows these pointers and prints these names.
    FUZZ_CHECK(tile_texCount >= 0 && (tile_texCount == 0) == (tile_tex == nullptr));
    for (int i = 0; i < tile_texCount; i++)
        FUZZ_CHECK(memchr(tile_tex[i].name, 0, sizeof tile_tex[i].name) != nullptr);
    FUZZ_CHECK(!tile_bg || fuzz_inTable(tile_bg, offsetof(TextureEntry, image)));
    for (int t = 0; t < 256; t++)
        for (int f = 0; f < 6; f++) {
            const CubeDef &c = tile[t];
            FUZZ_CHECK(!c.faceTexture[f] || fuzz_inTable(c.faceTexture[f], 0));
            FUZZ_CHECK(c.faceOn[f] <= 1 && c.doubleSided[f] <= 1 && c.shaded[f] <= 1);
        }
    FUZZ_CHECK(!tile[0].faceOn[0] && !tile[255].faceOn[0]);
    return 0;
}
