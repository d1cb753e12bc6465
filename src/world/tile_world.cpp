// tile_world.cpp -- the world's snapshots: publishing the globals as a version, edits, and what a change touches
#include "tile_world.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <mutex>
#include <set>

#include "image.h"

namespace {

// Never torn down: pictures may be let go of while the program ends.
std::mutex &world_releaseLock = *new std::mutex;
std::vector<unsigned int> &world_released = *new std::vector<unsigned int>;  // textures nobody holds
TileWorldRef world_current;
unsigned world_generation;  // tile_generation as world_current was published
unsigned world_version;

// The chunk of cells at chunk cx, cy, cz of the flat map, or null when all
// of it is empty.
std::shared_ptr<const TileChunkCells> world_cut(const unsigned char *map, const unsigned size[3], int cx,
                                                int cy, int cz)
{
    auto c = std::make_shared<TileChunkCells>();
    memset(c->cells, TILE_EMPTY, sizeof c->cells);
    bool any = false;
    const unsigned x0 = (unsigned)cx * TILE_CHUNK, y0 = (unsigned)cy * TILE_CHUNK, z0 = (unsigned)cz * TILE_CHUNK;
    const unsigned nx = std::min((unsigned)TILE_CHUNK, size[0] - x0);
    for (unsigned y = y0; y < std::min(y0 + TILE_CHUNK, size[1]); y++)
        for (unsigned z = z0; z < std::min(z0 + TILE_CHUNK, size[2]); z++) {
            const unsigned char *row = map + ((size_t)y * size[2] + z) * size[0] + x0;
            unsigned char *to = c->cells + ((y - y0) * TILE_CHUNK + (z - z0)) * TILE_CHUNK;
            memcpy(to, row, nx);
            for (unsigned x = 0; x < nx && !any; x++)
                any = row[x] != TILE_EMPTY;
        }
    return any ? c : nullptr;
}

bool world_sameCells(const TileChunkCells *a, const TileChunkCells *b)
{
    if (a == b)
        return true;
    if (!a || !b)
        return false;
    return memcmp(a->cells, b->cells, sizeof a->cells) == 0;
}

// Pictures that draw the same faces: the same file, opacity and sizes.
bool world_samePicture(const TextureEntry *a, const TextureEntry *b)
{
    if (!a || !b)
        return a == b;
    return strncmp(a->name, b->name, sizeof a->name) == 0 && a->translucent == b->translucent &&
           a->image.width == b->image.width && a->image.height == b->image.height &&
           a->image.hasAlpha == b->image.hasAlpha && a->image.texWidth == b->image.texWidth &&
           a->image.texHeight == b->image.texHeight;
}

}  // namespace

bool tile_sameCube(const CubeDef &a, const CubeDef &b)
{
    if (a.crossed != b.crossed || a.checkered != b.checkered || a.shape != b.shape)
        return false;
    for (int f = 0; f < 6; f++)
        if (a.faceOn[f] != b.faceOn[f] || a.doubleSided[f] != b.doubleSided[f] || a.shaded[f] != b.shaded[f] ||
            a.orientation[f].flipH != b.orientation[f].flipH || a.orientation[f].flipV != b.orientation[f].flipV ||
            a.orientation[f].rotate != b.orientation[f].rotate ||
            !world_samePicture(a.faceTexture[f], b.faceTexture[f]))
            return false;
    return true;
}

namespace {

// Flags chunk (cx, cy, cz) of s when it lies in the grid.
void world_flag(const TileSnapshot &s, int cx, int cy, int cz, std::vector<unsigned char> *dirty)
{
    if (cx >= 0 && cy >= 0 && cz >= 0 && cx < s.n[0] && cy < s.n[1] && cz < s.n[2])
        (*dirty)[(size_t)s.key(cx, cy, cz)] = 1;
}

// A changed cell at x, y, z: its chunk, and each neighbour its side touches.
void world_flagCell(const TileSnapshot &s, int x, int y, int z, std::vector<unsigned char> *dirty)
{
    const int c[3] = {x / TILE_CHUNK, y / TILE_CHUNK, z / TILE_CHUNK};
    const int in[3] = {x % TILE_CHUNK, y % TILE_CHUNK, z % TILE_CHUNK};
    world_flag(s, c[0], c[1], c[2], dirty);
    for (int a = 0; a < 3; a++)
        for (int step = -1; step <= 1; step += 2) {
            if (in[a] != (step < 0 ? 0 : TILE_CHUNK - 1))
                continue;
            int m[3] = {c[0], c[1], c[2]};
            m[a] += step;
            world_flag(s, m[0], m[1], m[2], dirty);
        }
}

// Flags the chunks whose cells, or the layer of cells around them, hold a
// type flagged in types.
void world_flagTypes(const TileSnapshot &s, const std::vector<unsigned char> &types,
                     std::vector<unsigned char> *dirty)
{
    for (int cz = 0; cz < s.n[2]; cz++)
        for (int cy = 0; cy < s.n[1]; cy++)
            for (int cx = 0; cx < s.n[0]; cx++) {
                const TileChunkCells *c = s.chunks[(size_t)s.key(cx, cy, cz)].get();
                if (!c)
                    continue;
                for (int i = 0; i < TILE_CHUNK_CELLS; i++) {
                    if (!types[c->cells[i]])
                        continue;
                    const int x = cx * TILE_CHUNK + i % TILE_CHUNK, z = cz * TILE_CHUNK + i / TILE_CHUNK % TILE_CHUNK;
                    const int y = cy * TILE_CHUNK + i / (TILE_CHUNK * TILE_CHUNK);
                    if ((unsigned)x < s.width && (unsigned)y < s.height && (unsigned)z < s.depth)
                        world_flagCell(s, x, y, z, dirty);
                }
            }
}

}  // namespace

std::shared_ptr<TilePictureTable> tile_pictureTable;

TilePictureTable::~TilePictureTable()
{
    {
        std::lock_guard<std::mutex> l(world_releaseLock);
        for (int i = 0; i < texCount; i++)
            if (tex[i].image.textureId)
                world_released.push_back(tex[i].image.textureId);
    }
    free(tex);
}

void tile_releasePictures(void)
{
    std::vector<unsigned int> ids;
    {
        std::lock_guard<std::mutex> l(world_releaseLock);
        ids.swap(world_released);
    }
    // Colour squares share textures: each is given back once.
    std::set<unsigned int> done;
    for (unsigned int id : ids)
        if (done.insert(id).second) {
            Image image = {};
            image.textureId = id;
            image_destroy(&image);
        }
}

void TileSnapshot::flatten(std::vector<unsigned char> *map) const
{
    map->assign((size_t)width * height * depth, TILE_EMPTY);
    for (int cz = 0; cz < n[2]; cz++)
        for (int cy = 0; cy < n[1]; cy++)
            for (int cx = 0; cx < n[0]; cx++) {
                const TileChunkCells *c = chunks[(size_t)key(cx, cy, cz)].get();
                if (!c)
                    continue;
                const unsigned x0 = (unsigned)cx * TILE_CHUNK, nx = std::min((unsigned)TILE_CHUNK, width - x0);
                for (unsigned y = (unsigned)cy * TILE_CHUNK; y < std::min((unsigned)(cy + 1) * TILE_CHUNK, height); y++)
                    for (unsigned z = (unsigned)cz * TILE_CHUNK; z < std::min((unsigned)(cz + 1) * TILE_CHUNK, depth);
                         z++)
                        memcpy(map->data() + ((size_t)y * depth + z) * width + x0,
                               c->cells + ((y % TILE_CHUNK) * TILE_CHUNK + z % TILE_CHUNK) * TILE_CHUNK, nx);
            }
}

std::shared_ptr<TileSnapshot> tile_cutCells(const unsigned char *map, unsigned width, unsigned height,
                                            unsigned depth, const TileSnapshot *from)
{
    auto s = std::make_shared<TileSnapshot>();
    if (map) {
        s->width = width, s->height = height, s->depth = depth;
        const unsigned size[3] = {s->width, s->height, s->depth};
        for (int a = 0; a < 3; a++)
            s->n[a] = (int)((size[a] + TILE_CHUNK - 1) / TILE_CHUNK);
    }
    s->chunks.resize((size_t)s->n[0] * (size_t)s->n[1] * (size_t)s->n[2]);
    const bool sameGrid = from && from->width == s->width && from->height == s->height && from->depth == s->depth;
    const unsigned size[3] = {s->width, s->height, s->depth};
    for (int cz = 0; cz < s->n[2]; cz++)
        for (int cy = 0; cy < s->n[1]; cy++)
            for (int cx = 0; cx < s->n[0]; cx++) {
                const size_t k = (size_t)s->key(cx, cy, cz);
                std::shared_ptr<const TileChunkCells> c = world_cut(map, size, cx, cy, cz);
                // An unchanged chunk is the old one: what was built from it stays.
                if (sameGrid && world_sameCells(c.get(), from->chunks[k].get()))
                    c = from->chunks[k];
                s->chunks[k] = c;
            }
    return s;
}

void tile_publish(void)
{
    tile_publishCut(tile_cutCells(tile_map, tile_width, tile_height, tile_depth, world_current.get()));
}

void tile_publishCut(std::shared_ptr<TileSnapshot> s)
{
    s->version = ++world_version;
    const TileSnapshot *old = world_current.get();
    auto tables = std::make_shared<TileTables>();
    memcpy(tables->cubes, tile, sizeof tables->cubes);
    tables->pictures = tile_pictureTable;
    if (old && old->tables && old->tables->pictures == tables->pictures &&
        memcmp(old->tables->cubes, tables->cubes, sizeof tables->cubes) == 0)
        s->tables = old->tables;
    else
        s->tables = tables;
    world_current = s;
    world_generation = tile_generation;
    tile_releasePictures();
}

TileWorldRef tile_world(void)
{
    if (!world_current || world_generation != tile_generation)
        tile_publish();
    return world_current;
}

void tile_editCells(const TileCellEdit *edits, size_t count)
{
    TileWorldRef from = tile_world();
    auto s = std::make_shared<TileSnapshot>(*from);
    std::vector<unsigned char> copied(s->chunks.size());
    bool changed = false;
    for (size_t i = 0; i < count; i++) {
        const TileCellEdit &e = edits[i];
        if (!tile_map || e.x >= s->width || e.y >= s->height || e.z >= s->depth)
            continue;
        const size_t k = (size_t)s->key(e.x / TILE_CHUNK, e.y / TILE_CHUNK, e.z / TILE_CHUNK);
        const int at = ((e.y % TILE_CHUNK) * TILE_CHUNK + e.z % TILE_CHUNK) * TILE_CHUNK + e.x % TILE_CHUNK;
        if (s->at(e.x, e.y, e.z) == e.type)
            continue;
        if (!copied[k]) {
            // Only the chunks an edit touches are copied; the rest are shared.
            auto c = std::make_shared<TileChunkCells>();
            if (s->chunks[k])
                *c = *s->chunks[k];
            else
                memset(c->cells, TILE_EMPTY, sizeof c->cells);
            s->chunks[k] = c;
            copied[k] = 1;
        }
        const_cast<TileChunkCells *>(s->chunks[k].get())->cells[at] = e.type;
        tile_map[((size_t)e.y * tile_depth + e.z) * tile_width + e.x] = e.type;
        changed = true;
    }
    if (!changed)
        return;
    s->version = ++world_version;
    world_current = s;
    tile_generation++;  // the drawn block and the readout follow
    world_generation = tile_generation;
}

void tile_worldDirty(const TileSnapshot &a, const TileSnapshot &b, std::vector<unsigned char> *dirty,
                     std::vector<unsigned char> *types)
{
    dirty->assign(b.chunks.size(), 0);
    if (types)
        types->assign(256, 0);
    if (a.width != b.width || a.height != b.height || a.depth != b.depth) {
        dirty->assign(b.chunks.size(), 1);
        return;
    }
    for (int cz = 0; cz < b.n[2]; cz++)
        for (int cy = 0; cy < b.n[1]; cy++)
            for (int cx = 0; cx < b.n[0]; cx++) {
                const size_t k = (size_t)b.key(cx, cy, cz);
                const TileChunkCells *p = a.chunks[k].get(), *q = b.chunks[k].get();
                if (p == q)
                    continue;
                for (int i = 0; i < TILE_CHUNK_CELLS; i++) {
                    const unsigned char u = p ? p->cells[i] : (unsigned char)TILE_EMPTY;
                    const unsigned char v = q ? q->cells[i] : (unsigned char)TILE_EMPTY;
                    if (u != v)
                        world_flagCell(b, cx * TILE_CHUNK + i % TILE_CHUNK, cy * TILE_CHUNK + i / (TILE_CHUNK * TILE_CHUNK),
                                       cz * TILE_CHUNK + i / TILE_CHUNK % TILE_CHUNK, dirty);
                }
            }
    if (a.tables == b.tables || !a.tables || !b.tables)
        return;
    std::vector<unsigned char> changed(256, 0);
    bool any = false;
    for (int t = 0; t < 256; t++)
        if (!tile_sameCube(a.tables->cubes[t], b.tables->cubes[t]))
            changed[(size_t)t] = 1, any = true;
    changed[TILE_EMPTY] = 0;  // never drawn, whatever its record says
    if (any)
        world_flagTypes(b, changed, dirty);
    if (types)
        *types = changed;
}

void tile_flagCell(const TileSnapshot &s, int x, int y, int z, std::vector<unsigned char> *dirty)
{
    world_flagCell(s, x, y, z, dirty);
}

void tile_airDirty(const TileSnapshot &s, const std::vector<bool> &before, const std::vector<bool> &after,
                   std::vector<unsigned char> *dirty)
{
    dirty->assign(s.chunks.size(), 0);
    const size_t cells = (size_t)s.width * s.height * s.depth;
    if (before.size() != cells || after.size() != cells) {
        dirty->assign(s.chunks.size(), 1);
        return;
    }
    // Sight never comes into a solid cell: one marked outside (where a
    // change closed it) splits no face otherwise than one that is not.
    for (size_t i = 0; i < cells; i++)
        if (before[i] != after[i]) {
            const int x = (int)(i % s.width), z = (int)(i / s.width % s.depth), y = (int)(i / s.width / s.depth);
            if (!s.tables || !tile_solidType(s.tables->cubes, s.at(x, y, z)))
                world_flagCell(s, x, y, z, dirty);
        }
}
