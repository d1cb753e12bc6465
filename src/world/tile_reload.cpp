// tile_reload.cpp -- reading the world again while it is on screen; a world that fails to read leaves the last good one in place
#include "tile_world.h"
#include "tile_loading.h"
#include "tile_save.h"

#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <exception>
#include <memory>
#include <thread>
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
    std::shared_ptr<TilePictureTable> pictures;  // owns tex and its textures
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
    std::swap(tile_pictureTable, w->pictures);
    std::swap(tile_bg, w->bg);
    std::swap(tile_dummy, w->dummy);
    std::swap(tile_matrix, w->matrix);
    std::swap(tile_root, w->root);
    std::swap(tile_file, w->file);
    std::swap(tile_files, w->files);
}

// A world's textures and tables given back: its texture table and
// pictures once no version of the world on screen shows them (at once for
// a world never put in place); a load cut short leaves the entries it
// never reached at texture 0, which names none.
void tile_worldRelease(TileWorld *w)
{
    for (Image *image : {&w->dummy, &w->matrix})
        if (image->textureId)
            image_destroy(image);
    w->pictures.reset();
    free(w->map);
    tile_releasePictures();
}

// Puts the world read in place of the live one, on the drawing thread;
// memory tells that reading it ran out of memory.
int tile_reloadInstall(TileWorldRead *read, bool memory)
{
    if (memory) {
        fputs(error_message(ERROR_MEMORY), stdout);
        puts("The last good world stays on screen");
        fflush(stdout);
        return 0;
    }
    // The decoding settings start as they did for the first load; the last
    // texture block left them as it set them.
    texture_transparent(0);
    texture_autoTransparent(0);
    texture_transparentColor(0, 0, 0);

    TileWorld old = {};
    tile_worldSwap(&old);
    // A picture missing now shows the stand-by one without waiting for Enter.
    bool pausing = error_setPausing(false);
    bool replaced = false;
    try {
        Refusal why;
        replaced = tile_installWorld(read, false, nullptr, &why);
        if (!replaced)
            error_say(why);
    } catch (const std::exception &) {
        fputs(error_message(ERROR_MEMORY), stdout);  // an allocation the readers did not catch
    }
    error_setPausing(pausing);
    if (!replaced)
        tile_worldSwap(&old);  // the old world back; old now holds what was read of the new one
    tile_worldRelease(&old);
    if (replaced)
        printf("World reloaded: %s\n", read->def.c_str());
    else
        puts("The last good world stays on screen");
    fflush(stdout);
    return replaced;
}

// The files read off the drawing thread: one read at a time, its result
// picked up by a tick.  Held by the reading thread too, which is never
// waited for, so that a slow disk cannot hold up the end of the program.
struct TileReading {
    TileWorldRead read;
    bool memory = false;  // an allocation failed while reading
    std::atomic<bool> done{false};
};
std::shared_ptr<TileReading> tile_reading;
bool tile_readAgain;  // asked again while a read was under way

// Reads the world of def into job, its map cut into chunks shared with
// from's where they are the same, its pictures decoded as a reload will
// ask for them (from the settings tile_reloadInstall starts from).
void tile_readInto(TileReading *job, const std::string &def, const TileSnapshot *from, bool soften,
                   int maxTextureSize)
{
    try {
        tile_readWorld(def, &job->read, from);
    } catch (const std::exception &) {
        job->memory = true;
        return;
    }
    tile_decodeAhead(&job->read, soften, maxTextureSize);
}

void tile_readInBackground(const std::string &def)
{
    auto job = std::make_shared<TileReading>();
    tile_reading = job;
    bool soften = texture_getSoften();
    int maxTextureSize = image_maxTextureSize();  // asked here: the reading thread holds no context
    // The version on screen as the read starts, held by the reading thread,
    // which reads no global of the world, and let go of before the result
    // is handed over: its pictures are given back with the next version's
    // publication, not a version later.
    TileWorldRef from = tile_world();
    try {
        std::thread([job, def, from, soften, maxTextureSize]() mutable {
            tile_readInto(job.get(), def, from.get(), soften, maxTextureSize);
            from.reset();
            job->done = true;
        }).detach();
    } catch (const std::exception &) {
        tile_readInto(job.get(), def, from.get(), soften, maxTextureSize);  // no thread to be had: read here
        from.reset();
        job->done = true;
    }
}

}  // namespace

int tile_reload(void)
{
    if (tile_files.empty())
        return 0;  // no world yet: nothing to read again
    TileReading job;
    TileWorldRef from = tile_world();
    tile_readInto(&job, tile_files[0], from.get(), texture_getSoften(), image_maxTextureSize());
    from.reset();  // as the reading thread does
    return tile_reloadInstall(&job.read, job.memory);
}

void tile_reloadStart(void)
{
    if (tile_files.empty())
        return;
    if (tile_reading)
        tile_readAgain = true;  // the files changed again: what is being read is stale
    else
        tile_readInBackground(tile_files[0]);
}

int tile_reloadBusy(void)
{
    return tile_reading != nullptr;
}

int tile_reloadPoll(void)
{
    if (!tile_reading || !tile_reading->done)
        return 0;
    std::shared_ptr<TileReading> job = std::move(tile_reading);
    if (tile_readAgain) {
        tile_readAgain = false;
        tile_readInBackground(tile_files[0]);
        return 0;
    }
    return tile_reloadInstall(&job->read, job->memory);
}
