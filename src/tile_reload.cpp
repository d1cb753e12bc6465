// tile_reload.cpp -- reading the world again while it is on screen; a world that fails to read leaves the last good one in place
#include "tile.h"

#include <stdio.h>
#include <stdlib.h>

#include <exception>
#include <set>
#include <utility>

#include "error.h"
#include "texture.h"

namespace {

// Everything a load fills, held apart from the live globals.  All zero is
// the state before any load.
struct TileWorld {
    unsigned short width, depth, height;
    unsigned char *map;
    CubeDef cubes[256];
    TextureEntry *tex;
    int texCount;
    Image *bg;
    Image dummy, matrix;
    char root[TILE_PATH], file[TILE_PATH];
    std::vector<std::string> files;
};

// Trades the live world for w.  Handed an empty world it leaves the globals
// as before any load, so the loader's own frees (of the old map and texture
// table) reach nothing of the world on screen.
void tile_worldSwap(TileWorld *w)
{
    std::swap(tile_width, w->width);
    std::swap(tile_depth, w->depth);
    std::swap(tile_height, w->height);
    std::swap(tile_map, w->map);
    std::swap(tile, w->cubes);
    std::swap(tile_tex, w->tex);
    std::swap(tile_texCount, w->texCount);
    std::swap(tile_bg, w->bg);
    std::swap(tile_dummy, w->dummy);
    std::swap(tile_matrix, w->matrix);
    std::swap(tile_root, w->root);
    std::swap(tile_file, w->file);
    std::swap(tile_files, w->files);
}

// A world's textures and tables given back; a load cut short leaves the
// entries it never reached at texture 0, which names none.
void tile_worldRelease(TileWorld *w)
{
    // Colour squares share textures: each is given back once.
    std::set<unsigned int> released;
    for (int i = 0; i < w->texCount; i++)
        if (w->tex[i].image.textureId && released.insert(w->tex[i].image.textureId).second)
            image_destroy(&w->tex[i].image);
    for (Image *image : {&w->dummy, &w->matrix})
        if (image->textureId)
            image_destroy(image);
    free(w->tex);
    free(w->map);
}

struct TileRefused {};

// error() has printed its line; the reload, not the process, ends here.
void tile_refuse(unsigned char)
{
    throw TileRefused();
}

}  // namespace

int tile_reload(void)
{
    if (tile_files.empty())
        return 0;  // no world yet: nothing to read again
    std::string def = tile_files[0];
    // The decoding settings start as they did for the first load; the last
    // texture block left them as it set them.
    texture_transparent(0);
    texture_autoTransparent(0);
    texture_transparentColor(0, 0, 0);

    // The chunk worker reads the tables being replaced.
    tile_chunksPause();
    TileWorld old = {};
    tile_worldSwap(&old);
    ErrorHook outer = error_setHook(tile_refuse);
    const char *outerFile = error_setFile(nullptr);  // a refused load leaves its own behind
    bool replaced = false;
    try {
        tile_loadFrom(def, false);
        replaced = true;
    } catch (const TileRefused &) {
    } catch (const std::exception &) {
        fputs(error_message(ERROR_MEMORY), stdout);  // an allocation the readers did not catch
    }
    error_setHook(outer);
    error_setFile(outerFile);
    if (!replaced)
        tile_worldSwap(&old);  // the old world back; old now holds what was read of the new one
    tile_worldRelease(&old);
    tile_chunksResume();
    if (replaced)
        printf("World reloaded: %s\n", def.c_str());
    else
        puts("The last good world stays on screen");
    fflush(stdout);
    return replaced;
}
