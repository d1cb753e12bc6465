// tile_chunks.cpp -- free look's faces: the world cut into chunks, built on a worker thread, drawn where the view meets them
#include "tile.h"

#include <malloc.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <exception>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <string.h>
#include <thread>
#include <vector>

#include "gpu.h"
#include "texture.h"
#include "tile_atlas.h"
#include "tile_worker.h"

size_t tile_chunkBudget = (size_t)192 << 20;
TileLookStats tile_lookStats;
bool tile_lookOcclude = true;

namespace {

enum { CHUNK_LISTED = 256 };  // chunks handed to the worker at a time
// What the frames after a change may wait, all told, for the worker to
// finish the chunks on screen that the change touched: a change then shows
// in the frame after it, or the one after that, on a busy machine too.
const std::chrono::milliseconds CHUNK_CHANGE_WAIT(8);

// A chunk's vertex buffer (tile_upload), let go of with it.  Made and
// deleted on the drawing thread alone: the worker's chunks have none yet.
struct ChunkBuffer {
    unsigned name = 0;
    ChunkBuffer() = default;
    ChunkBuffer(const ChunkBuffer &) = delete;
    ChunkBuffer &operator=(const ChunkBuffer &) = delete;
    ~ChunkBuffer() { tile_bufferFree(name); }
};

struct Chunk {
    TileFaces faces;
    TileFaces enclosed;  // what only an eye in a cave sealed in rock can see
    unsigned char sides[6];  // as tile_chunkSides leaves them
    unsigned char optTexture, optSmooth;
    unsigned version;  // of the snapshot it was built from
    unsigned airSerial;  // of the outside air it was split by
    unsigned grid[3];    // the sizes of that snapshot's grid
    // The tables its runs' pictures point into, and the atlas whose pages
    // they may point into instead (null when it shows few of its
    // pictures), kept alive while it is drawn.
    std::shared_ptr<const TileTables> tables;
    std::shared_ptr<const TileAtlas> atlas;
    ChunkBuffer buffer;  // its faces' and enclosed faces' corners, once taken
    unsigned lastSeen;  // the frame that last had it within the view distance
    size_t bytes;
    // The bounds of its faces, and of those with the enclosed ones: the
    // chunk's cells may hold far less than their box.
    float lo[3], hi[3], loAll[3], hiAll[3];
    // No pixel of its opaque faces (and of those of the chunks asked about
    // with it) was drawn last time they were asked about.
    bool hidden = false;
    // Its place in the last frame that met it, for the budget: how far from
    // the eye, and what it was to the view (a CHUNK_* rank).
    float distance = 0.0f;
    unsigned char rank = 0;
};
// What a chunk within the view distance was to the last frame: the budget
// drops the lower ranks first, farthest first within each.
enum { CHUNK_BEHIND = 1, CHUNK_SEALED, CHUNK_IN_VIEW };

// The bounds of faces' corners grown into lo, hi (left as they are when
// there are none): every face lies in one of the draws, which know theirs.
void chunk_grow(const TileFaces &faces, float lo[3], float hi[3])
{
    for (const TileDraw &d : faces.draws)
        for (int a = 0; a < 3; a++) {
            lo[a] = std::min(lo[a], d.lo[a]);
            hi[a] = std::max(hi[a], d.hi[a]);
        }
}

struct Job {
    int key;
    TileWorldRef world;  // the version it is built from
    unsigned char optTexture, optSmooth;
    std::shared_ptr<const TileAtlas> atlas;  // made for world's tables (tile_atlasFor), or null
};

struct Done {
    int key;
    std::unique_ptr<Chunk> chunk;
};

// Which cells the air around the world reaches in one version, and the
// chunks whose faces it split differently from the version before.
struct Air {
    unsigned version = 0;
    unsigned serial = 0;  // bumped by every change of the air
    TileWorldRef world;   // of that version
    bool approx = false;  // opened where a change opened it, not yet made anew
    std::shared_ptr<const std::vector<bool>> outside;
    std::vector<unsigned char> dirty;  // empty: none
};

// Shared with the worker, under chunk_lock.
std::mutex chunk_lock;
std::condition_variable chunk_wake, chunk_idle;
std::vector<Job> chunk_wanted;  // the first is built first
std::vector<Done> chunk_done;
bool chunk_stopping, chunk_building;
// The worker making the outside air anew, between builds; and how many
// times tile_chunksClear has been called, after which the worker forgets
// the world its air was made from.
bool chunk_airBusy;
unsigned chunk_clears;
Job chunk_underWay;  // while chunk_building: what is being built (its world let go of)
unsigned chunk_underWayVersion;
// Set whenever jobs are handed over: the worker's making of the outside
// air anew, which only an idle worker starts, gives way to them.
std::atomic<bool> chunk_jobsCame{false};

// Whether the worker builds job already, or built it and the drawing thread
// has not taken it yet: a frame that wants it again drops it.
bool chunk_inHand(const Job &job)
{
    auto same = [&](int key, unsigned char optTexture, unsigned char optSmooth, unsigned version) {
        return key == job.key && optTexture == job.optTexture && optSmooth == job.optSmooth &&
               version >= job.world->version;
    };
    if (chunk_building &&
        same(chunk_underWay.key, chunk_underWay.optTexture, chunk_underWay.optSmooth, chunk_underWayVersion))
        return true;
    for (const Done &d : chunk_done)
        if (same(d.key, d.chunk->optTexture, d.chunk->optSmooth, d.chunk->version))
            return true;
    return false;
}
std::thread chunk_worker;
Air chunk_airShared;  // the worker's latest, for the drawing thread to take

// The drawing thread's own.
TileWorldRef chunk_world;  // the version the table follows
std::shared_ptr<const TileAtlas> chunk_atlas;  // for its tables, the chunks built next are built with
std::vector<std::unique_ptr<Chunk>> chunk_table;
// By key, kept when a chunk is dropped: the version that last changed
// what its faces are built from, and its sides as it was last built (all
// 0x3F before), so that a dropped chunk still stops sight.
std::vector<unsigned> chunk_dirtyAt;
std::vector<unsigned> chunk_airDirtyAt;  // the same for the outside air, by its serial
std::vector<unsigned char> chunk_sides;
std::shared_ptr<const std::vector<bool>> chunk_outside;  // for this world, once made
unsigned chunk_airSerial;  // of the air taken last
int chunk_n[3];  // chunks along x, y, z
size_t chunk_bytes;
unsigned chunk_frame;
// Past this distance chunks are not kept: the view needed more than the
// budget.  Reset when the eye moves to another chunk or the view changes.
float chunk_keepWithin = 1e30f;
int chunk_keepEye[4];
bool chunk_tight;  // the budget dropped chunks within the view distance
// The chunks on screen the last change touched, while the frames may still
// wait for them, and how long they may wait yet.
std::vector<int> chunk_changed;
unsigned chunk_changedVersion;
std::chrono::steady_clock::duration chunk_changeWait;
// Occlusion queries, made as needed and used again every frame, and the
// chunks last frame asked about, with the query that holds each answer.
std::vector<unsigned> chunk_queries;
std::vector<std::pair<int, size_t>> chunk_asked;
// Bumped whenever a chunk comes, goes or is built again.
unsigned chunk_changes;
long chunk_built;  // builds taken
// What the last frame's box tests were made against and what they
// answered: under the same view, over the same chunks drawn before them,
// the depth they met is the same and so are their answers.
struct BoxMemo {
    float clip[16], eye[3];
    int viewport[4];
    bool eyeOutside;
    unsigned changes;
    std::vector<int> drawnBefore;            // keys, in the order drawn
    std::vector<std::pair<int, bool>> shows;  // key, and whether its box showed
};
BoxMemo chunk_memo;

// The outside air of world, and what changed in it since the worker's
// last version of the same grid.  False, air left without it, when stop
// (when given) is set before it is made.
bool chunk_airFor(const TileSnapshot &world, Air *air, const std::atomic<bool> *stop = nullptr)
{
    const std::shared_ptr<const std::vector<bool>> before = air->outside;
    air->version = world.version;
    air->approx = false;
    air->outside.reset();
    air->dirty.clear();
    try {
        std::vector<unsigned char> map;
        world.flatten(&map);
        auto made = std::make_shared<std::vector<bool>>();
        if (!tile_outsideAir(map.data(), world.width, world.height, world.depth, made.get(), world.tables->cubes,
                             stop))
            return false;
        air->outside = made;
        if (before && before->size() == made->size() && *before != *made)
            tile_airDirty(world, *before, *made, &air->dirty);
    } catch (const std::bad_alloc &) {
        // Out of memory: nothing is split, every face is drawn.
    }
    return true;
}

// The outside air of world from air's, of an earlier version of the same
// grid and table, where a change of a few chunks' cells lets sight in:
// from each changed cell that sight comes into from a cell outside (or
// past the grid's edge), on through the cells it comes into from there,
// as tile_outsideAir spreads.  Cells a change closed stay outside, so the
// faces seen from them are drawn: that costs, but hides nothing that
// shows; the worker makes the air anew when it has nothing to build.
// False when the change is not such a one.
bool chunk_airOpen(const TileSnapshot &world, Air *air)
{
    const TileSnapshot &from = *air->world;
    if (!air->outside || from.width != world.width || from.height != world.height || from.depth != world.depth ||
        from.tables != world.tables)
        return false;
    std::vector<size_t> changed;
    for (size_t k = 0; k < world.chunks.size(); k++)
        if (world.chunks[k] != from.chunks[k])
            changed.push_back(k);
    if (changed.size() > 64)
        return false;
    static const signed char across[6][3] = {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}, {0, -1, 0}, {-1, 0, 0}, {0, 0, 1}};
    unsigned cover[256];
    for (int t = 0; t < 256; t++)
        cover[t] = tile_coverSides(world.tables->cubes, (unsigned char)t);
    auto made = std::make_shared<std::vector<bool>>(*air->outside);
    std::vector<bool> &out = *made;
    std::vector<unsigned char> dirty(world.chunks.size(), 0);
    const int size[3] = {(int)world.width, (int)world.height, (int)world.depth};
    auto index = [&](const int c[3]) { return ((size_t)c[1] * world.depth + (size_t)c[2]) * world.width + (size_t)c[0]; };
    auto inGrid = [&](const int c[3]) {
        return c[0] >= 0 && c[1] >= 0 && c[2] >= 0 && c[0] < size[0] && c[1] < size[1] && c[2] < size[2];
    };
    std::vector<std::array<int, 3>> stack;
    auto open = [&](const int c[3]) {
        out[index(c)] = true;
        tile_flagCell(world, c[0], c[1], c[2], &dirty);
        stack.push_back({c[0], c[1], c[2]});
    };
    for (size_t k : changed) {
        const int base[3] = {(int)(k % (size_t)world.n[0]) * TILE_CHUNK,
                             (int)(k / (size_t)world.n[0] % (size_t)world.n[1]) * TILE_CHUNK,
                             (int)(k / (size_t)world.n[0] / (size_t)world.n[1]) * TILE_CHUNK};
        for (int i = 0; i < TILE_CHUNK_CELLS; i++) {
            const int c[3] = {base[0] + i % TILE_CHUNK, base[1] + i / (TILE_CHUNK * TILE_CHUNK),
                              base[2] + i / TILE_CHUNK % TILE_CHUNK};
            if (!inGrid(c) || out[index(c)] || world.at(c[0], c[1], c[2]) == from.at(c[0], c[1], c[2]))
                continue;
            const unsigned sides = cover[world.at(c[0], c[1], c[2])];
            for (int f = 0; f < 6; f++) {
                const int n[3] = {c[0] + across[f][0], c[1] + across[f][1], c[2] + across[f][2]};
                if (!(sides >> f & 1u) && (!inGrid(n) || out[index(n)])) {
                    open(c);
                    break;
                }
            }
        }
    }
    while (!stack.empty()) {
        const std::array<int, 3> p = stack.back();
        stack.pop_back();
        for (int f = 0; f < 6; f++) {
            const int n[3] = {p[0] + across[f][0], p[1] + across[f][1], p[2] + across[f][2]};
            if (inGrid(n) && !out[index(n)] && !(cover[world.at(n[0], n[1], n[2])] >> tile_opposites[f] & 1u))
                open(n);
        }
    }
    air->version = world.version;
    air->outside = made;
    air->approx = true;
    if (std::find(dirty.begin(), dirty.end(), 1) != dirty.end())
        air->dirty.swap(dirty);
    else
        air->dirty.clear();
    return true;
}

// Hands air to the drawing thread, under chunk_lock.  Chunks it has not
// heard of yet stay flagged.
void chunk_airHandOver(const Air &air)
{
    std::vector<unsigned char> pending = std::move(chunk_airShared.dirty);
    chunk_airShared = air;
    chunk_airShared.world.reset();  // the drawing thread holds its own versions
    if (air.dirty.empty())
        chunk_airShared.dirty = std::move(pending);
    else if (pending.size() == air.dirty.size())
        for (size_t k = 0; k < pending.size(); k++)
            chunk_airShared.dirty[k] |= pending[k];
}

// Builds the chunk job names from the snapshot it holds.
std::unique_ptr<Chunk> chunk_build(const Job &job, const Air &air)
{
    const std::vector<bool> *outside = air.outside.get();
    const TileSnapshot &s = *job.world;
    const int cx = job.key % s.n[0], cy = job.key / s.n[0] % s.n[1], cz = job.key / s.n[0] / s.n[1];
    const TileBlock cells = {cx * TILE_CHUNK, std::min((cx + 1) * TILE_CHUNK, (int)s.width),
                             cy * TILE_CHUNK, std::min((cy + 1) * TILE_CHUNK, (int)s.height),
                             cz * TILE_CHUNK, std::min((cz + 1) * TILE_CHUNK, (int)s.depth)};
    const TileBlock world = {0, (int)s.width, 0, (int)s.height, 0, (int)s.depth};
    std::unique_ptr<Chunk> c(new Chunk{});
    c->optTexture = job.optTexture;
    c->optSmooth = job.optSmooth;
    c->version = s.version;
    c->airSerial = air.serial;
    c->grid[0] = s.width, c->grid[1] = s.height, c->grid[2] = s.depth;
    c->tables = s.tables;
    if (job.atlas && tile_atlasWorth(*job.atlas, s, cells))
        c->atlas = job.atlas;
    try {
        tile_chunkBuild(&cells, &world, job.optTexture, job.optSmooth, &c->faces, outside, &c->enclosed, &s,
                        c->atlas.get());
        tile_chunkSides(&cells, c->sides, &s);
    } catch (const std::bad_alloc &) {
        c->faces = TileFaces{};  // out of memory: kept empty, not asked for again and again
        c->enclosed = TileFaces{};
        std::fill(c->sides, c->sides + 6, 0x3F);
    }
    c->bytes = sizeof(Chunk) + tile_facesBytes(&c->faces) + tile_facesBytes(&c->enclosed);
    std::fill(c->lo, c->lo + 3, 1e30f);
    std::fill(c->hi, c->hi + 3, -1e30f);
    chunk_grow(c->faces, c->lo, c->hi);
    std::copy(c->lo, c->lo + 3, c->loAll);
    std::copy(c->hi, c->hi + 3, c->hiAll);
    chunk_grow(c->enclosed, c->loAll, c->hiAll);
    return c;
}

// The worker: builds what the drawing thread wants, each chunk from the
// snapshot its job holds; it reads no global of the world.
void chunk_work(void)
{
    // Builds wait for the frames, not the other way round: the worker yields
    // its core to the drawing thread and the renderer's threads.
    setpriority(PRIO_PROCESS, (id_t)syscall(SYS_gettid), 10);
    Air air;
    std::unique_lock<std::mutex> l(chunk_lock);
    unsigned clears = chunk_clears;
    auto forgetCleared = [&] {
        if (clears != chunk_clears)
            air = Air(), clears = chunk_clears;
    };
    for (;;) {
        forgetCleared();
        if (air.approx && chunk_wanted.empty() && !chunk_stopping) {
            // Nothing to build: the air opened by changes made anew, given
            // up when jobs come meanwhile (a change waits for no whole grid).
            Air full = air;
            chunk_jobsCame = false;
            chunk_airBusy = true;
            l.unlock();
            const bool made = chunk_airFor(*full.world, &full, &chunk_jobsCame);
            l.lock();
            chunk_airBusy = false;
            chunk_idle.notify_all();
            if (clears != chunk_clears)
                continue;  // cleared meanwhile: that world is gone
            if (made) {  // else still approximate: tried again once idle
                full.serial++;
                chunk_airHandOver(full);
                air = std::move(full);
            }
            continue;
        }
        chunk_wake.wait(l, [] { return chunk_stopping || !chunk_wanted.empty(); });
        if (chunk_stopping)
            return;
        forgetCleared();
        Job job = std::move(chunk_wanted.front());
        chunk_wanted.erase(chunk_wanted.begin());
        // Built a moment ago, and not yet taken by the drawing thread.
        bool have = false;
        for (const Done &d : chunk_done)
            have |= d.key == job.key && d.chunk->optTexture == job.optTexture &&
                    d.chunk->optSmooth == job.optSmooth && d.chunk->version >= job.world->version;
        if (have)
            continue;
        chunk_building = true;
        chunk_underWay = Job{job.key, nullptr, job.optTexture, job.optSmooth, nullptr};
        chunk_underWayVersion = job.world->version;
        l.unlock();
        // The world's outside air first, once a version: every chunk is split by it.
        const bool newAir = air.version < job.world->version;
        if (newAir && !(air.world && chunk_airOpen(*job.world, &air)))
            chunk_airFor(*job.world, &air);
        if (newAir)
            air.world = job.world, air.serial++;
        std::unique_ptr<Chunk> c = chunk_build(job, air);
        job.world.reset();  // let go of the version outside the lock
        l.lock();
        if (newAir)
            chunk_airHandOver(air);
        chunk_building = false;
        chunk_done.push_back(Done{job.key, std::move(c)});
        chunk_idle.notify_all();
    }
}

void chunk_stop(void)
{
    tile_workerStop(chunk_lock, chunk_wake, &chunk_stopping, chunk_worker);
}

void chunk_start(void)
{
    tile_workerStart(chunk_worker, &chunk_stopping, chunk_work, chunk_stop,
                     "tavo: no thread for building chunks; free look shows nothing\n");
}

// A grid of another size: every chunk is dropped.
void chunk_reset(const TileWorldRef &world)
{
    {
        std::lock_guard<std::mutex> l(chunk_lock);
        chunk_wanted.clear();
        chunk_done.clear();
    }
    chunk_table.clear();
    chunk_changed.clear();
    chunk_changes++;
    chunk_outside.reset();
    chunk_airSerial = 0;
    chunk_asked.clear();  // answers about chunks that are gone
    chunk_bytes = 0;
    std::copy(world->n, world->n + 3, chunk_n);
    const size_t count = world->chunks.size();
    chunk_table.resize(count);
    chunk_dirtyAt.assign(count, world->version);
    chunk_airDirtyAt.assign(count, 0);
    chunk_sides.assign(count * 6, 0x3F);
    chunk_keepWithin = 1e30f;
    chunk_world = world;
}

// The image each picture of c's tables stands as in to's, for the
// types whose records draw the same faces in both, and each page of its
// atlas as one of chunk_atlas.
typedef std::map<const Image *, const Image *> ImageMap;
void chunk_imageMap(const Chunk &c, const TileTables &to, ImageMap *map)
{
    const TileTables &from = *c.tables;
    map->clear();
    (*map)[&tile_dummy] = &tile_dummy;
    (*map)[&tile_matrix] = &tile_matrix;
    for (int t = 0; t < 256; t++)
        if (tile_sameCube(from.cubes[t], to.cubes[t]))
            for (int f = 0; f < 6; f++)
                if (from.cubes[t].faceTexture[f] && to.cubes[t].faceTexture[f])
                    (*map)[&from.cubes[t].faceTexture[f]->image] = &to.cubes[t].faceTexture[f]->image;
    tile_atlasMap(c.atlas.get(), chunk_atlas.get(), map);
}

// Points a chunk's runs at the pictures of another version's tables: the
// same faces, drawn with the new textures.  False (the chunk untouched)
// when a picture has no like in them.
bool chunk_retarget(Chunk *c, const std::shared_ptr<const TileTables> &to, const ImageMap &map)
{
    for (TileFaces *faces : {&c->faces, &c->enclosed})
        for (const TileRun &r : faces->runs)
            if (map.find(r.image) == map.end())
                return false;
    for (TileFaces *faces : {&c->faces, &c->enclosed})
        for (TileRun &r : faces->runs)
            r.image = map.find(r.image)->second;
    c->tables = to;
    if (c->atlas)
        c->atlas = chunk_atlas;
    return true;
}

// A new version of the same grid: the chunks it touches are flagged to be
// built again (the old ones stay on screen meanwhile), the others drawn on
// with its tables' pictures.
void chunk_adopt(const TileWorldRef &world)
{
    std::vector<unsigned char> dirty;
    tile_worldDirty(*chunk_world, *world, &dirty);
    for (size_t k = 0; k < dirty.size(); k++)
        if (dirty[k])
            chunk_dirtyAt[k] = world->version;
    if (chunk_world->tables != world->tables) {
        ImageMap map;
        std::pair<const TileTables *, const TileAtlas *> mapped;
        for (size_t k = 0; k < chunk_table.size(); k++) {
            Chunk *c = chunk_table[k].get();
            if (!c || c->tables == world->tables || dirty[k])
                continue;
            if (mapped != std::make_pair(c->tables.get(), c->atlas.get()))
                chunk_imageMap(*c, *world->tables, &map), mapped = {c->tables.get(), c->atlas.get()};
            if (!chunk_retarget(c, world->tables, map))
                chunk_dirtyAt[k] = world->version;
        }
    }
    chunk_changes++;
    chunk_world = world;
    // The chunks on screen that the change touches are handed to the worker
    // now, before the frame is drawn, so that the next frame may show them.
    std::vector<Job> now;
    for (size_t k = 0; k < dirty.size() && now.size() < CHUNK_LISTED; k++)
        if (dirty[k] && chunk_table[k])
            now.push_back(Job{(int)k, world, tile_optTexture, tile_optSmooth, chunk_atlas});
    chunk_changed.clear();
    if (now.empty())
        return;
    chunk_start();
    {
        std::lock_guard<std::mutex> l(chunk_lock);
        chunk_wanted.insert(chunk_wanted.begin(), now.begin(), now.end());
        chunk_jobsCame = true;
    }
    chunk_wake.notify_all();
    for (const Job &j : now)
        chunk_changed.push_back(j.key);
    chunk_changedVersion = world->version;
    chunk_changeWait = CHUNK_CHANGE_WAIT;
}

// Before a frame takes what the worker built: while chunks on screen wait
// for a change, a short wait for the worker to finish them (bounded by
// what is left of CHUNK_CHANGE_WAIT).  The drawing thread and the
// renderer's threads are idle meanwhile, so the worker, which yields to
// them, has a core.
void chunk_awaitChange(void)
{
    if (chunk_changed.empty())
        return;
    auto ready = [] {
        if (chunk_stopping || !chunk_worker.joinable())
            return true;
        for (int key : chunk_changed) {
            bool done = false;
            for (const Done &d : chunk_done)
                done |= d.key == key && d.chunk->version >= chunk_changedVersion;
            if (!done)
                return false;
        }
        return true;
    };
    const auto t0 = std::chrono::steady_clock::now();
    bool all;
    {
        std::unique_lock<std::mutex> l(chunk_lock);
        all = chunk_idle.wait_until(l, t0 + chunk_changeWait, ready);
    }
    chunk_changeWait -= std::chrono::steady_clock::now() - t0;
    if (all || chunk_changeWait <= std::chrono::steady_clock::duration::zero())
        chunk_changed.clear();
}

// Takes what the worker built and the outside air it made.
void chunk_collect(void)
{
    std::vector<Done> done;
    Air air;
    {
        std::lock_guard<std::mutex> l(chunk_lock);
        done.swap(chunk_done);
        if (chunk_airShared.serial > chunk_airSerial) {
            air = chunk_airShared;
            chunk_airShared.dirty.clear();
        }
    }
    if (air.serial > chunk_airSerial &&
        (!air.outside || air.outside->size() == (size_t)chunk_world->width * chunk_world->height * chunk_world->depth)) {
        chunk_outside = air.outside;
        chunk_airSerial = air.serial;
        for (size_t k = 0; k < air.dirty.size() && k < chunk_airDirtyAt.size(); k++)
            if (air.dirty[k])
                chunk_airDirtyAt[k] = air.serial;
    }
    ImageMap map;
    std::pair<const TileTables *, const TileAtlas *> mapped;
    for (Done &d : done) {
        if (d.chunk->grid[0] != chunk_world->width || d.chunk->grid[1] != chunk_world->height ||
            d.chunk->grid[2] != chunk_world->depth || (size_t)d.key >= chunk_table.size())
            continue;  // of a grid since replaced
        std::unique_ptr<Chunk> &slot = chunk_table[(size_t)d.key];
        if (slot && slot->version > d.chunk->version)
            continue;  // a newer one came first
        if (d.chunk->tables != chunk_world->tables || (d.chunk->atlas && d.chunk->atlas != chunk_atlas)) {
            if (mapped != std::make_pair(d.chunk->tables.get(), d.chunk->atlas.get()))
                chunk_imageMap(*d.chunk, *chunk_world->tables, &map),
                    mapped = {d.chunk->tables.get(), d.chunk->atlas.get()};
            if (!chunk_retarget(d.chunk.get(), chunk_world->tables, map))
                chunk_dirtyAt[(size_t)d.key] = chunk_world->version;  // shown meanwhile, with its own pictures
        }
        // Its corners go to the driver once, here; the cover still reads
        // them from memory, so the driver's copy counts as well.
        TileFaces *const both[2] = {&d.chunk->faces, &d.chunk->enclosed};
        size_t uploaded = 0;
        d.chunk->buffer.name = tile_upload(both, 2, &uploaded);
        d.chunk->bytes += uploaded;
        if (slot)
            chunk_bytes -= slot->bytes;
        d.chunk->lastSeen = chunk_frame;
        chunk_bytes += d.chunk->bytes;
        std::copy(d.chunk->sides, d.chunk->sides + 6, &chunk_sides[(size_t)d.key * 6]);
        slot = std::move(d.chunk);
        chunk_changes++;
        chunk_built++;
    }
}

// Whether the chunk at key needs building for these options.
bool chunk_stale(size_t key, const Chunk *c)
{
    return !c || c->optTexture != tile_optTexture || c->optSmooth != tile_optSmooth || c->version < chunk_dirtyAt[key] ||
           c->airSerial < chunk_airDirtyAt[key];
}

// Drops chunks until the cache holds no more than tile_chunkBudget bytes:
// those the frame did not meet first (least recently met first), then
// those behind the eye, then those sealed off from it, then those in
// view; farthest first within each.  Dropping a chunk in view sets how far
// chunks are kept, so that they are not built again only to be dropped.
void chunk_trim(void)
{
    chunk_tight = false;
    // The far chunks' share of the budget is theirs (tile_levelsDraw).
    const size_t budget = tile_chunkBudget - std::min(tile_levelsBytes(), tile_chunkBudget);
    if (chunk_bytes <= budget)
        return;
    struct Drop {
        unsigned rank, age;
        float distance;
        size_t key;
    };
    std::vector<Drop> order;
    for (size_t k = 0; k < chunk_table.size(); k++)
        if (const Chunk *c = chunk_table[k].get()) {
            const bool met = c->lastSeen == chunk_frame;
            order.push_back(Drop{met ? c->rank : 0u, met ? 0u : chunk_frame - c->lastSeen, c->distance, k});
        }
    std::sort(order.begin(), order.end(), [](const Drop &a, const Drop &b) {
        return a.rank != b.rank ? a.rank < b.rank : a.rank == 0 ? a.age > b.age : a.distance > b.distance;
    });
    for (size_t i = 0; i < order.size() && chunk_bytes > budget; i++) {
        chunk_bytes -= chunk_table[order[i].key]->bytes;
        chunk_table[order[i].key].reset();
        chunk_changes++;
        chunk_tight |= order[i].rank != 0;
        if (order[i].rank == CHUNK_IN_VIEW)
            chunk_keepWithin = std::min(chunk_keepWithin, order[i].distance);
    }
}

struct Seen {
    float distance;  // squared, in world units, to the chunk's centre
    Chunk *chunk;
    int key;
    float lo[3], hi[3];
    bool nearEye;  // its box comes within reach of the near plane
};

// The faces of a chunk's draws the cover left: for the faces (0) and the
// enclosed ones (1), draw i's ranges are first/count[start[i]..start[i + 1]).
struct Shown {
    bool covered = false;
    std::vector<int> start[2];
    std::vector<int> first, count;
};

struct Want {
    bool outside;  // of the frustum: built after the ones the view meets
    bool shown;    // an older build is on screen: a change waits for it, built first
    float distance;
    int key;
};

// Chunks a cell coordinate q - view .. q + view may reach along one axis.
void chunk_span(float q, int view, int n, int *first, int *last)
{
    float lo = floorf((q - (float)view) / TILE_CHUNK), hi = floorf((q + (float)view) / TILE_CHUNK);
    *first = lo > 0.0f ? (lo < (float)n ? (int)lo : n) : 0;  // NaN: 0
    *last = hi < (float)(n - 1) ? (hi > -1.0f ? (int)hi : -1) : n - 1;
}

// The box face whose way a face looks (its corners wound counter-clockwise
// from outside), -1 when it lies along no axis.
int chunk_facing(const float *corners)
{
    const float *a = corners, *b = corners + 5, *c = corners + 10;
    float n[3];
    for (int k = 0; k < 3; k++) {
        int k1 = (k + 1) % 3, k2 = (k + 2) % 3;
        n[k] = (b[k1] - a[k1]) * (c[k2] - a[k2]) - (b[k2] - a[k2]) * (c[k1] - a[k1]);
    }
    static const int ways[3][2] = {{TILE_LEFT, TILE_RIGHT}, {TILE_BOTTOM, TILE_TOP}, {TILE_BACK, TILE_FRONT}};
    for (int k = 0; k < 3; k++)
        if (n[(k + 1) % 3] == 0.0f && n[(k + 2) % 3] == 0.0f && n[k] != 0.0f)
            return ways[k][n[k] > 0.0f];
    return -1;
}

// The axis a face looking way lies across, and +1 or -1 as it looks up or
// down that axis; false for a face along no axis.
bool chunk_axis(int way, int *axis, float *sign)
{
    switch (way) {
    case TILE_RIGHT: *axis = 0, *sign = 1.0f; return true;
    case TILE_LEFT: *axis = 0, *sign = -1.0f; return true;
    case TILE_TOP: *axis = 1, *sign = 1.0f; return true;
    case TILE_BOTTOM: *axis = 1, *sign = -1.0f; return true;
    case TILE_FRONT: *axis = 2, *sign = 1.0f; return true;
    case TILE_BACK: *axis = 2, *sign = -1.0f; return true;
    default: return false;
    }
}

// Faces that look one way along an axis lie sorted by how far they stand
// out that way.  The eye sees a culled face's front only from beyond its
// plane.  Opaque faces go farthest first: the ones the eye sees are the
// draw's tail, which starts with those nearest the eye along the axis, so
// that they hide more of what follows.  Translucent ones go nearest
// first: the ones seen are the head, farthest from the eye first, as
// blending wants them.  *first, *count: the corners of those seen.
bool chunk_nearFirst(const TileRun &r)
{
    return tile_lookPass(r) != TILE_PASS_TRANSLUCENT;
}

void chunk_facingEye(const TileRun &r, const TileDraw &d, const float eye[3], int *first, int *count)
{
    int axis;
    float sign;
    *first = d.first, *count = d.count;
    if (r.cull || !chunk_axis(d.facing, &axis, &sign))
        return;  // seen from both sides, or along no axis
    const bool nearFirst = chunk_nearFirst(r);
    const int corners = r.mode == GPU_TRIANGLES ? 3 : 4;
    const float *v = r.vertices.data();
    // The first face on the other side of the eye from the ones before it.
    int lo = 0, hi = d.count / corners;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        bool seen = sign * v[(size_t)(d.first + mid * corners) * 5 + (size_t)axis] < sign * eye[axis];
        if (seen == nearFirst)
            hi = mid;
        else
            lo = mid + 1;
    }
    if (nearFirst)
        *first = d.first + lo * corners, *count = d.count - lo * corners;
    else
        *count = lo * corners;
}

// The cover takes the chunks in view nearest first by the centres of their
// whole cubes: the cubes of a grid are the cells of their centres' Voronoi
// diagram, and in the order of their centres' distance from the eye no
// cube lies behind a later one along any line of sight.  Each chunk's
// faces are tested against what the chunks before it cover, then its
// opaque faces join the cover.  Runs on a thread of its own, a chunk ahead
// of the drawing thread, which waits for each chunk's answer.
struct CoverRun {
    const std::vector<Seen> *seen;
    std::vector<Shown> *shown;
    std::vector<char> gone;  // hidden whole
    TileCover cover;
    float eye[3];
    bool eyeOutside;
    std::mutex lock;
    std::condition_variable step, go;
    size_t done = 0;
    // The helper thread, started with the first frame and kept: rounds
    // asked of it and rounds it finished.
    std::thread thread;
    bool started = false, stopping = false;
    unsigned asked = 0, finished = 0;

    void one(size_t i);
    void run(void);
    void waitFor(size_t i);
    // Has the helper thread run the frame's chunks (the drawing thread
    // itself when no thread is to be had); finish() returns once it is done.
    void start(void);
    void finish(void);
    void loop(void);
    ~CoverRun();
};

void CoverRun::start(void)
{
    if (!started) {
        started = true;
        try {
            thread = std::thread(&CoverRun::loop, this);
        } catch (const std::exception &) {
            // No thread to be had: the drawing thread runs the cover itself.
        }
    }
    if (!thread.joinable()) {
        run();
        return;
    }
    std::lock_guard<std::mutex> l(lock);
    done = 0;
    asked++;
    go.notify_all();
}

void CoverRun::finish(void)
{
    std::unique_lock<std::mutex> l(lock);
    step.wait(l, [&] { return finished == asked; });
}

void CoverRun::loop(void)
{
    std::unique_lock<std::mutex> l(lock);
    for (;;) {
        go.wait(l, [&] { return stopping || asked != finished; });
        if (stopping)
            return;
        l.unlock();
        run();
        l.lock();
        finished = asked;
        step.notify_all();
    }
}

CoverRun::~CoverRun()
{
    {
        std::lock_guard<std::mutex> l(lock);
        stopping = true;
    }
    go.notify_all();
    if (thread.joinable())
        thread.join();
}

void CoverRun::one(size_t i)
{
    const Seen &s = (*seen)[i];
    Shown &sh = (*shown)[i];
    if (cover.hidesBox(s.lo, s.hi)) {
        gone[i] = 1;
        return;
    }
    sh.covered = true;
    // A face in the plane between this chunk's cube and an earlier one may
    // lie on a face of that chunk (glass against stone), drawn after it
    // and showing where the two meet: no such face goes into the cover.
    const float unit[3] = {tile_size, tile_size, tile_sizeZ};
    const int cube[3] = {s.key % chunk_n[0], s.key / chunk_n[0] % chunk_n[1], s.key / chunk_n[0] / chunk_n[1]};
    float side[3][2];
    for (int a = 0; a < 3; a++)
        for (int k = 0; k < 2; k++)
            side[a][k] = ((float)((cube[a] + k) * TILE_CHUNK) - 0.5f) * unit[a];
    auto onSide = [&](const float *corners, int per) {
        for (int a = 0; a < 3; a++)
            for (int k = 0; k < 2; k++) {
                bool all = true;
                for (int c = 0; c < per && all; c++)
                    all = fabsf(corners[c * 5 + a] - side[a][k]) <= 1e-3f * unit[a];
                if (all)
                    return true;
            }
        return false;
    };
    for (int which = 0; which < 2; which++) {
        const TileFaces &faces = which ? s.chunk->enclosed : s.chunk->faces;
        std::vector<int> &start = sh.start[which];
        start.assign(1, (int)sh.first.size());
        for (const TileDraw &d : faces.draws) {
            const TileRun &r = faces.runs[(size_t)d.run];
            int first = 0, count = 0;
            if ((which == 0 || !eyeOutside) && !cover.hidesBox(d.lo, d.hi))
                chunk_facingEye(r, d, eye, &first, &count);
            const int per = r.mode == GPU_TRIANGLES ? 3 : 4;
            const bool solid = tile_lookPass(r) == TILE_PASS_SOLID;
            const float *v = r.vertices.data();
            int open = -1;  // the range being extended
            for (int f = first; f + per <= first + count; f += per) {
                const float *corners = v + (size_t)f * 5;
                if (cover.hides(corners, per))
                    continue;
                if (open >= 0 && sh.first[(size_t)open] + sh.count[(size_t)open] == f) {
                    sh.count[(size_t)open] += per;
                } else {
                    open = (int)sh.first.size();
                    sh.first.push_back(f), sh.count.push_back(per);
                }
                if (solid && !onSide(corners, per))
                    cover.add(corners, per, r.cull != 0);
            }
            start.push_back((int)sh.first.size());
        }
    }
    cover.commit();
}

void CoverRun::run(void)
{
    for (size_t i = 0; i < seen->size(); i++) {
        try {
            one(i);
        } catch (const std::exception &) {
            // Out of memory: the chunk's faces are drawn as they are.
            (*shown)[i] = Shown();
            gone[i] = 0;
        }
        std::lock_guard<std::mutex> l(lock);
        done = i + 1;
        step.notify_all();
    }
}

void CoverRun::waitFor(size_t i)
{
    std::unique_lock<std::mutex> l(lock);
    step.wait(l, [&] { return done > i; });
}

bool chunk_hasSolid(const TileFaces &faces)
{
    for (const TileRun &r : faces.runs)
        if (tile_lookPass(r) == TILE_PASS_SOLID)
            return true;
    return false;
}

// One query for the chunks at keys together, answered by next frame's
// chunk_hear.
unsigned chunk_ask(const std::vector<int> &keys)
{
    const size_t n = chunk_asked.empty() ? 0 : chunk_asked.back().second + 1;
    if (n == chunk_queries.size()) {
        unsigned q = 0;
        gpu_queriesCreate(1, &q);
        chunk_queries.push_back(q);
    }
    for (int key : keys)
        chunk_asked.push_back({key, n});
    return chunk_queries[n];
}

// Last frame's answers: the chunks whose opaque faces drew nothing (asked
// together, only when none of them drew), and the pixels those faces drew
// in all.
long chunk_hear(void)
{
    long shaded = 0;
    unsigned samples = 1;
    for (size_t i = 0; i < chunk_asked.size(); i++) {
        const auto &a = chunk_asked[i];
        if (i == 0 || a.second != chunk_asked[i - 1].second) {
            samples = gpu_queryResult(chunk_queries[a.second]);
            shaded += samples;
        }
        if (a.first >= 0 && (size_t)a.first < chunk_table.size() && chunk_table[(size_t)a.first])
            chunk_table[(size_t)a.first]->hidden = samples == 0;
    }
    chunk_asked.clear();
    return shaded;
}

// The six sides of a box, counter-clockwise seen from outside (corner c
// has x high when bit 0 is set, y bit 1, z bit 2).
void chunk_box(const float lo[3], const float hi[3])
{
    static const unsigned char sides[6][4] = {
        {0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6},
    };
    gpu_begin(GPU_QUADS);
    for (const auto &side : sides)
        for (unsigned char c : side)
            gpu_vertex(c & 1 ? hi[0] : lo[0], c & 2 ? hi[1] : lo[1], c & 4 ? hi[2] : lo[2]);
    gpu_end();
}

// Whether any pixel of each box which[k] of seen (a hair larger, towards
// the eye as much as away) passes the depth test of what is drawn: the
// boxes go into the depth test alone, colour and depth writes off,
// untextured.  The eye is outside every box, so the sides facing it
// cover the box and the far ones are culled (culling is left on).
std::vector<bool> chunk_boxesShow(const std::vector<Seen> &seen, const std::vector<size_t> &which,
                                  const float unit[3])
{
    const bool textured = gpu_isTexturing();
    gpu_colorWrite(false);
    gpu_depthWrite(false);
    gpu_texturing(false);
    gpu_culling(true);
    std::vector<unsigned> boxes(which.size());
    gpu_queriesCreate((int)boxes.size(), boxes.data());
    for (size_t k = 0; k < which.size(); k++) {
        const Seen &s = seen[which[k]];
        float lo[3], hi[3];
        for (int a = 0; a < 3; a++) {
            const float margin = 0.01f * unit[a];
            lo[a] = s.lo[a] - margin, hi[a] = s.hi[a] + margin;
        }
        gpu_queryBegin(boxes[k]);
        chunk_box(lo, hi);
        gpu_queryEnd();
    }
    gpu_colorWrite(true);
    gpu_depthWrite(true);
    if (textured)
        gpu_texturing(true);
    std::vector<bool> shows(which.size());
    for (size_t k = 0; k < which.size(); k++) {
        shows[k] = gpu_queryResult(boxes[k]) > 0;
    }
    gpu_queriesDelete((int)boxes.size(), boxes.data());
    return shows;
}

}  // namespace

void tile_facingEye(const TileRun &run, const TileDraw &draw, const float eye[3], int *first, int *count)
{
    chunk_facingEye(run, draw, eye, first, count);
}

int tile_lookPass(const TileRun &r)
{
    if (r.a < 255)
        return TILE_PASS_TRANSLUCENT;
    return r.image && !r.image->hasAlpha ? TILE_PASS_SOLID : TILE_PASS_CUTOUT;
}

// A chunk's recorded faces made ready to draw.
static void chunk_sortRuns(TileFaces *out)
{
    // Opaque runs first, then the translucent ones in the walk's order.
    // Each run's faces are sorted by the way they look (a stable sort, so
    // translucent faces keep their order within each way), a draw each.
    std::vector<float> sorted;
    for (size_t i = 0; i < out->runs.size(); i++) {
        std::vector<float> &v = out->runs[i].vertices;
        const size_t face = (out->runs[i].mode == GPU_TRIANGLES ? 3 : 4) * 5;
        std::vector<int> ways;
        for (size_t a = 0; a < v.size(); a += face)
            ways.push_back(chunk_facing(&v[a]));
        sorted.clear();
        for (int way = -1; way < 6; way++) {
            int first = (int)(sorted.size() / 5);
            std::vector<size_t> faces;
            for (size_t f = 0; f < ways.size(); f++)
                if (ways[f] == way)
                    faces.push_back(f);
            int axis;
            float sign;
            const float order = chunk_nearFirst(out->runs[i]) ? -1.0f : 1.0f;
            if (chunk_axis(way, &axis, &sign))
                std::stable_sort(faces.begin(), faces.end(), [&](size_t a, size_t b) {
                    return order * sign * v[a * face + (size_t)axis] < order * sign * v[b * face + (size_t)axis];
                });
            for (size_t f : faces)
                sorted.insert(sorted.end(), v.begin() + (long)(f * face), v.begin() + (long)((f + 1) * face));
            if ((int)(sorted.size() / 5) > first) {
                TileDraw d{(int)i, first, (int)(sorted.size() / 5) - first, way};
                for (int a = 0; a < 3; a++) {
                    d.lo[a] = sorted[(size_t)first * 5 + (size_t)a], d.hi[a] = d.lo[a];
                    for (size_t k = (size_t)first * 5 + (size_t)a; k < sorted.size(); k += 5)
                        d.lo[a] = std::min(d.lo[a], sorted[k]), d.hi[a] = std::max(d.hi[a], sorted[k]);
                }
                out->draws.push_back(d);
            }
        }
        std::vector<float>(sorted).swap(v);  // a copy of its own size: no room to spare
    }
}

void tile_chunkBuild(const TileBlock *cells, const TileBlock *world, unsigned char optTexture,
                     unsigned char optSmooth, TileFaces *out, const std::vector<bool> *outside,
                     TileFaces *enclosed, const TileSnapshot *snapshot, const TileAtlas *atlas)
{
    if (!outside)
        enclosed = nullptr;
    TileRecorder rec, recEnclosed;
    for (TileFaces *faces : {out, enclosed})
        if (faces) {
            faces->built = true;
            faces->block = *cells;
            faces->optTexture = optTexture;
            faces->optSmooth = optSmooth;
            (faces == out ? rec : recEnclosed).start(faces);
        }
    const float unit[3] = {tile_size, tile_size, tile_sizeZ};
    // Joined faces repeat their pictures: the atlas takes the faces after the joining.
    TileAtlasSink placed(&rec, atlas), placedEnclosed(&recEnclosed, atlas);
    TileMerger merger(&placed, unit), mergerEnclosed(&placedEnclosed, unit);
    const unsigned size[3] = {snapshot ? snapshot->width : tile_width, snapshot ? snapshot->height : tile_height,
                              snapshot ? snapshot->depth : tile_depth};
    TileAirSplit split(&merger, &mergerEnclosed, outside, size[0], size[1], size[2], unit);
    TileWalk w;
    tile_walkBegin(&w, enclosed ? static_cast<TileSink *>(&split) : &merger, optTexture, optSmooth, snapshot);
    tile_walkCells(&w, cells, world);
    merger.finish();
    chunk_sortRuns(out);
    if (enclosed) {
        mergerEnclosed.finish();
        chunk_sortRuns(enclosed);
    }
}

void tile_chunkSides(const TileBlock *cells, unsigned char sides[6], const TileSnapshot *snapshot)
{
    std::fill(sides, sides + 6, 0);
    const int lo[3] = {cells->x0, cells->y0, cells->z0};
    const int n[3] = {cells->x1 - cells->x0, cells->y1 - cells->y0, cells->z1 - cells->z0};
    if ((snapshot ? snapshot->chunks.empty() : !tile_map) || n[0] <= 0 || n[1] <= 0 || n[2] <= 0)
        return;
    bool solid[256];
    for (int t = 0; t < 256; t++)
        solid[t] = tile_solidType(snapshot ? snapshot->tables->cubes : tile, (unsigned char)t);
    auto open = [&](const int c[3]) {
        const int x = lo[0] + c[0], y = lo[1] + c[1], z = lo[2] + c[2];
        return !solid[snapshot ? snapshot->at(x, y, z)
                               : tile_map[((size_t)y * tile_depth + (size_t)z) * tile_width + (size_t)x]];
    };
    auto index = [&](const int c[3]) { return ((size_t)c[2] * (size_t)n[1] + (size_t)c[1]) * (size_t)n[0] + (size_t)c[0]; };
    std::vector<unsigned char> seen((size_t)n[0] * (size_t)n[1] * (size_t)n[2]);
    std::vector<std::array<int, 3>> stack;
    for (int z = 0; z < n[2]; z++)
        for (int y = 0; y < n[1]; y++)
            for (int x = 0; x < n[0]; x++) {
                const int start[3] = {x, y, z};
                if (seen[index(start)] || !open(start))
                    continue;
                // One open region: the sides it touches are all joined.
                unsigned touched = 0;
                seen[index(start)] = 1;
                stack.push_back({x, y, z});
                while (!stack.empty()) {
                    const std::array<int, 3> c = stack.back();
                    stack.pop_back();
                    for (int a = 0; a < 3; a++) {
                        touched |= (c[a] == 0 ? 1u : 0u) << (2 * a) | (c[a] == n[a] - 1 ? 2u : 0u) << (2 * a);
                        for (int step = -1; step <= 1; step += 2) {
                            int m[3] = {c[0], c[1], c[2]};
                            m[a] += step;
                            if (m[a] >= 0 && m[a] < n[a] && !seen[index(m)] && open(m)) {
                                seen[index(m)] = 1;
                                stack.push_back({m[0], m[1], m[2]});
                            }
                        }
                    }
                }
                for (int side = 0; side < 6; side++)
                    if (touched >> side & 1u)
                        sides[side] |= (unsigned char)touched;
            }
}

void tile_chunksReach(const int n[3], const unsigned char *sides, const int eye[3], const int first[3],
                      const int last[3], std::vector<unsigned char> *reached)
{
    const size_t total = (size_t)n[0] * (size_t)n[1] * (size_t)n[2];
    reached->assign(total, 0);
    std::vector<unsigned char> entered(total);  // bit s: entered through side s
    struct Step {
        int c[3];
        unsigned char out;  // the sides it may be left by
    };
    std::vector<Step> queue;
    auto key = [&](const int c[3]) { return ((size_t)c[2] * (size_t)n[1] + (size_t)c[1]) * (size_t)n[0] + (size_t)c[0]; };
    auto enter = [&](const int c[3], int side) {
        for (int a = 0; a < 3; a++)
            if (c[a] < first[a] || c[a] > last[a] || c[a] < 0 || c[a] >= n[a])
                return;
        size_t k = key(c);
        if (entered[k] >> side & 1)
            return;
        entered[k] |= (unsigned char)(1u << side);
        (*reached)[k] = 1;
        queue.push_back(Step{{c[0], c[1], c[2]}, side < 0 ? (unsigned char)0x3F : sides[k * 6 + (size_t)side]});
    };
    bool inside = true;
    for (int a = 0; a < 3; a++)
        inside &= eye[a] >= 0 && eye[a] < n[a];
    if (inside) {
        // Every side of the eye's own chunk: the eye may sit anywhere in it.
        for (int side = 0; side < 6; side++)
            enter(eye, side);
        if (!queue.empty())
            queue.assign(1, Step{{eye[0], eye[1], eye[2]}, 0x3F});
    } else {
        // From outside, sight comes in through the grid's sides that face the eye.
        for (int a = 0; a < 3; a++) {
            if (eye[a] >= 0 && eye[a] < n[a])
                continue;
            int b = (a + 1) % 3, d = (a + 2) % 3;
            for (int i = std::max(first[b], 0); i <= std::min(last[b], n[b] - 1); i++)
                for (int j = std::max(first[d], 0); j <= std::min(last[d], n[d] - 1); j++) {
                    int c[3];
                    c[a] = eye[a] < 0 ? 0 : n[a] - 1, c[b] = i, c[d] = j;
                    enter(c, 2 * a + (eye[a] < 0 ? 0 : 1));
                }
        }
    }
    for (size_t i = 0; i < queue.size(); i++) {
        const Step s = queue[i];
        for (int out = 0; out < 6; out++) {
            int a = out / 2, dir = out % 2 ? 1 : -1;
            // A line of sight only moves away from the eye.
            if (!(s.out >> out & 1u) || (dir > 0 ? s.c[a] < eye[a] : s.c[a] > eye[a]))
                continue;
            int c[3] = {s.c[0], s.c[1], s.c[2]};
            c[a] += dir;
            enter(c, out ^ 1);
        }
    }
}

// The near distance and half sizes read back from the matrix.
float tile_nearReach(const float proj[16])
{
    if (!(proj[11] == -1.0f && proj[0] != 0.0f && proj[5] != 0.0f && proj[10] != 1.0f))
        return 1e30f;
    const float n = proj[14] / (proj[10] - 1.0f), w = n / proj[0], h = n / proj[5];
    const float reach = sqrtf(n * n + w * w + h * h);
    return reach == reach ? reach : 1e30f;  // NaN: no reach is safe
}

void tile_frustum(const float m[16], float planes[6][4])
{
    // Rows of the column-major clip matrix: the planes are row 4 plus and minus rows 1..3.
    for (int p = 0; p < 6; p++) {
        int row = p / 2;
        float sign = p % 2 ? -1.0f : 1.0f;
        for (int c = 0; c < 4; c++)
            planes[p][c] = m[4 * c + 3] + sign * m[4 * c + row];
    }
}

bool tile_boxInFrustum(const float planes[6][4], const float lo[3], const float hi[3])
{
    for (int p = 0; p < 6; p++) {
        // The box corner farthest along the plane's normal.
        float d = planes[p][3];
        for (int a = 0; a < 3; a++)
            d += planes[p][a] * (planes[p][a] >= 0.0f ? hi[a] : lo[a]);
        if (d < 0.0f)
            return false;
    }
    return true;
}

void tile_chunksClear(void)
{
    std::unique_lock<std::mutex> l(chunk_lock);
    chunk_wanted.clear();
    chunk_done.clear();
    // No build nor making of the air goes on once this returns, and the
    // worker forgets the world its air came from: the caller may free it.
    chunk_clears++;
    chunk_jobsCame = true;
    chunk_idle.wait(l, [] { return !chunk_building && !chunk_airBusy; });
    chunk_done.clear();
    chunk_airShared = Air();
    l.unlock();
    chunk_table.clear();
    chunk_world.reset();
    chunk_atlas.reset();
    chunk_outside.reset();
    chunk_asked.clear();
    chunk_changed.clear();
    chunk_bytes = 0;
    chunk_changes++;
    tile_levelsClear();
    // The faces and the driver's copies went back to the heap, in the
    // worker's arena and this thread's; kept there (main_openWindow keeps
    // the heap between frames) they would count on top of the next world's.
    malloc_trim(0);
}

size_t tile_chunksBytes(void)
{
    return chunk_bytes + tile_levelsBytes();
}

namespace {

// Chunks of many pictures (more runs than LOOK_FEW_RUNS) have their opaque
// faces sent together, LOOK_GROUP at a time, nearest first from group to
// group: enough to share pictures, few enough that the nearest still hide
// what lies behind them.  A chunk of few pictures goes alone, so that its
// own query tells whether it is hidden.
enum { LOOK_GROUP = 16, LOOK_FEW_RUNS = 32 };

// One free-look frame's state, shared by its steps.
struct Look {
    TileWorldRef world;
    int view;
    float eyeAt[3];  // in world units
    float eye[3];    // in cells
    float unit[3];
    unsigned size[3];
    float proj[16], clip[16], planes[6][4];
    float unitLeast, nearReach;
    int first[3], last[3];  // the chunks within the view distance
    std::vector<unsigned char> reached;
    bool eyeOutside = false;
    std::vector<Seen> seen;   // the chunks to draw, nearest first
    std::vector<Shown> shown; // what the cover left of each
    std::vector<Want> want;
    TileLookStats stats = {};
    int cull = -1;
    // The texture state and blending as the frame found them.
    unsigned char doubleSided, smooth, rgba[4];
    bool blend, alphaTest;
    std::vector<int> firsts, counts;
    // The opaque draws of a group of chunks, held to be sent by picture.
    struct Held {
        const TileRun *run;
        bool fogPaused;
        size_t from, to;  // into heldFirsts, heldCounts
    };
    bool holding = false;
    std::vector<Held> held;
    std::vector<int> heldFirsts, heldCounts;
};

// Blending and the alpha test as the frame found them, or off while
// nothing drawn can be see-through.
void look_blending(const Look &f, bool on)
{
    gpu_blending(on && f.blend);
    gpu_alphaTest(on && f.alphaTest);
}

// The world's version, the worker's results, the state kept for the other
// mode, and the view's matrices and planes.
void look_begin(Look &f, float ex, float ey, float ez, int view)
{
    tile_releasePictures();
    f.world = tile_world();
    const TileSnapshot &w = *f.world;
    bool remade;  // the atlas of the same tables made anew: what was built with the old one goes
    chunk_atlas = tile_atlasFor(w.tables, &remade);
    if (!chunk_world || w.width != chunk_world->width || w.height != chunk_world->height ||
        w.depth != chunk_world->depth || remade)
        chunk_reset(f.world);
    else if (f.world != chunk_world)
        chunk_adopt(f.world);
    chunk_frame++;
    chunk_awaitChange();
    chunk_collect();
    f.view = view;
    f.doubleSided = texture_double, f.smooth = texture_smoothed;
    f.rgba[0] = texture_colorR, f.rgba[1] = texture_colorG, f.rgba[2] = texture_colorB, f.rgba[3] = texture_colorA;
    f.blend = gpu_isBlending(), f.alphaTest = gpu_isAlphaTesting();
    look_blending(f, false);
    float model[16];
    gpu_getProjection(f.proj);
    gpu_getModelView(model);
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++) {
            f.clip[4 * c + r] = 0.0f;
            for (int k = 0; k < 4; k++)
                f.clip[4 * c + r] += f.proj[4 * k + r] * model[4 * c + k];
        }
    tile_frustum(f.clip, f.planes);
    const float at[3] = {ex, ey, ez}, unit[3] = {tile_size, tile_size, tile_sizeZ};
    const unsigned size[3] = {w.width, w.height, w.depth};
    for (int a = 0; a < 3; a++) {
        f.eyeAt[a] = at[a], f.unit[a] = unit[a], f.size[a] = size[a];
        f.eye[a] = at[a] / unit[a];
        chunk_span(f.eye[a], tile_levelsNearView(view), chunk_n[a], &f.first[a], &f.last[a]);
    }
    // Cells' distances in world units are at least their count of the
    // smaller unit; the boxes tested are a hair (0.01 of a unit) larger.
    f.unitLeast = std::min(tile_size, tile_sizeZ);
    f.nearReach = tile_nearReach(f.proj) + 0.02f * std::max(tile_size, tile_sizeZ);
}

// What solid cells hide: the chunks lines of sight reach, through chunks
// up to a chunk's diagonal beyond the view distance (a line to a far
// corner of a chunk in view passes no farther); and whether the eye is in
// the outside air, from which no line of sight enters a cave sealed in
// rock, so that the faces only such a cave shows are left out.
void look_sight(Look &f)
{
    int eyeChunk[3], reachFirst[3], reachLast[3];
    for (int a = 0; a < 3; a++) {
        float q = floorf((f.eye[a] + 0.5f) / TILE_CHUNK);
        eyeChunk[a] = q >= 0.0f ? (q < (float)chunk_n[a] ? (int)q : chunk_n[a]) : -1;  // NaN: -1
        chunk_span(f.eye[a], tile_levelsNearView(f.view) + 2 * TILE_CHUNK, chunk_n[a], &reachFirst[a], &reachLast[a]);
    }
    tile_chunksReach(chunk_n, chunk_sides.data(), eyeChunk, reachFirst, reachLast, &f.reached);
    const int keepEye[4] = {eyeChunk[0], eyeChunk[1], eyeChunk[2], f.view};
    if (!std::equal(keepEye, keepEye + 4, chunk_keepEye)) {
        chunk_keepWithin = 1e30f;  // another view: what the budget keeps is found again
        std::copy(keepEye, keepEye + 4, chunk_keepEye);
    }
    const unsigned *size = f.size;
    if (!tile_lookOcclude || !chunk_outside || chunk_outside->size() != (size_t)size[0] * size[1] * size[2])
        return;  // from inside rock or a sealed cave every face is drawn
    long cell[3];
    bool inGrid = true;
    for (int a = 0; a < 3; a++) {
        const float q = floorf(f.eye[a] + 0.5f);
        cell[a] = q > -1e9f && q < 1e9f ? (long)q : -1;
        inGrid &= cell[a] >= 0 && cell[a] < (long)size[a];
    }
    const bool known = f.eye[0] == f.eye[0] && f.eye[1] == f.eye[1] && f.eye[2] == f.eye[2];
    f.eyeOutside = known && (!inGrid || (*chunk_outside)[((size_t)cell[1] * size[2] + (size_t)cell[2]) * size[0] +
                                                           (size_t)cell[0]]);
}

// One chunk within the view distance: noted for the budget, wanted when
// it needs building, kept to draw when built, in view and reached.
void look_chunk(Look &f, int key, const float lo[3], const float hi[3], float d2, float centre2)
{
    const bool inside = tile_boxInFrustum(f.planes, lo, hi), reached = f.reached[(size_t)key] != 0;
    Chunk *chunk = chunk_table[(size_t)key].get();
    if (chunk) {
        chunk->lastSeen = chunk_frame;
        chunk->distance = centre2;
        chunk->rank = !inside ? CHUNK_BEHIND : !reached ? CHUNK_SEALED : CHUNK_IN_VIEW;
    }
    if (chunk_stale((size_t)key, chunk)) {
        // Past what the budget keeps, or (the budget dropping chunks within
        // the view distance) behind the eye or sealed off: not built only
        // to be dropped again.
        const bool kept = centre2 < chunk_keepWithin && !(chunk_tight && (!inside || !reached));
        if (kept)
            f.want.push_back(Want{!inside, chunk != nullptr, centre2, key});
        f.stats.pending += inside && kept;
        f.stats.queued += kept;
        f.stats.waiting += chunk != nullptr;
    }
    if (!chunk || !inside || !reached ||
        (chunk->faces.runs.empty() && (f.eyeOutside || chunk->enclosed.runs.empty())))
        return;
    // Its faces' own box, tighter than its cells'.
    const float *flo = f.eyeOutside ? chunk->lo : chunk->loAll, *fhi = f.eyeOutside ? chunk->hi : chunk->hiAll;
    if (tile_boxInFrustum(f.planes, flo, fhi))
        f.seen.push_back(Seen{centre2, chunk, key, {flo[0], flo[1], flo[2]}, {fhi[0], fhi[1], fhi[2]},
                              !(d2 * f.unitLeast * f.unitLeast >= f.nearReach * f.nearReach)});
}

// What is in view: the chunks within the view distance, nearest first.
void look_inView(Look &f)
{
    for (int cz = f.first[2]; cz <= f.last[2]; cz++)
        for (int cy = f.first[1]; cy <= f.last[1]; cy++)
            for (int cx = f.first[0]; cx <= f.last[0]; cx++) {
                const int c[3] = {cx, cy, cz};
                float lo[3], hi[3], d2 = 0.0f, centre2 = 0.0f;
                for (int a = 0; a < 3; a++) {
                    // The cells' own extent, and the eye's distance to it in cells.
                    int c0 = c[a] * TILE_CHUNK;
                    int c1 = std::min(c0 + TILE_CHUNK, (int)f.size[a]);
                    float near = std::max((float)c0 - 0.5f, std::min(f.eye[a], (float)c1 - 0.5f));
                    d2 += (f.eye[a] - near) * (f.eye[a] - near);
                    lo[a] = ((float)c0 - 0.5f) * f.unit[a];
                    hi[a] = ((float)c1 - 0.5f) * f.unit[a];
                    // The whole cube's centre, cut by the grid's edge or not
                    // (see CoverRun).
                    float mid = ((float)c0 + (float)TILE_CHUNK * 0.5f - 0.5f) * f.unit[a] - f.eye[a] * f.unit[a];
                    centre2 += mid * mid;
                }
                // Farther ones are drawn from coarser cells (tile_levels.cpp).
                if (d2 <= (float)f.view * (float)f.view && tile_levelsFine(c, f.eye, f.size, f.view))
                    look_chunk(f, (cz * chunk_n[1] + cy) * chunk_n[0] + cx, lo, hi, d2, centre2);
            }
    std::sort(f.seen.begin(), f.seen.end(), [](const Seen &a, const Seen &b) { return a.distance < b.distance; });
}

// What the eye sees of each facing of a run, and how far the eye stands
// out beyond the chunk on that facing's side.
struct Range {
    const TileRun *run;
    float outside;
    int first, count;
};

// Sends the faces of one pass of a chunk's faces (or enclosed ones) that
// the eye may see: those that look its way, less what the cover hides.
void look_drawFaces(Look &f, size_t at, const TileFaces &faces, int pass)
{
    static std::vector<Range> ranges;
    ranges.clear();
    const Seen &s = f.seen[at];
    const Shown &those = f.shown[at];
    const int which = &faces == &s.chunk->faces ? 0 : 1;
    for (size_t i = 0; i < faces.draws.size(); i++) {
        const TileDraw &d = faces.draws[i];
        const TileRun &r = faces.runs[(size_t)d.run];
        int first = 0, count = 0, axis;
        float sign, outside = 0.0f;
        if (tile_lookPass(r) != pass)
            continue;
        if (those.covered)
            count = those.start[which][i + 1] - those.start[which][i], first = -1 - those.start[which][i];
        else
            chunk_facingEye(r, d, f.eyeAt, &first, &count);
        if (count <= 0)
            continue;
        if (chunk_axis(d.facing, &axis, &sign))
            outside = sign > 0.0f ? f.eyeAt[axis] - s.hi[axis] : s.lo[axis] - f.eyeAt[axis];
        ranges.push_back(Range{&r, outside, first, count});
    }
    // A run's draws follow each other: one call draws what the eye sees of
    // them.  The faces the eye looks at most squarely (the tops of ground
    // below it, the fronts of a hill ahead) tend to cover the rest of the
    // chunk, so opaque ones go first and hide caves and back rows from the
    // texturing.  With an atlas most faces share one run and the joined
    // ones lie in others: the runs' ranges are then ordered together.
    if (pass == TILE_PASS_SOLID && s.chunk->atlas)
        std::stable_sort(ranges.begin(), ranges.end(),
                         [](const Range &x, const Range &y) { return x.outside > y.outside; });
    for (size_t a = 0, b; a < ranges.size(); a = b) {
        for (b = a; b < ranges.size() && ranges[b].run == ranges[a].run; b++)
            ;
        if (pass == TILE_PASS_SOLID)
            std::stable_sort(ranges.begin() + (long)a, ranges.begin() + (long)b,
                             [](const Range &x, const Range &y) { return x.outside > y.outside; });
        f.firsts.clear();
        f.counts.clear();
        for (size_t k = a; k < b; k++) {
            if (ranges[k].first >= 0) {
                f.firsts.push_back(ranges[k].first), f.counts.push_back(ranges[k].count);
                continue;
            }
            // Ranges the cover left, from the chunk's list of them.
            for (int j = -1 - ranges[k].first, end = j + ranges[k].count; j < end; j++)
                f.firsts.push_back(those.first[(size_t)j]), f.counts.push_back(those.count[(size_t)j]);
        }
        if (!f.holding) {
            tile_drawRanges(*ranges[a].run, f.firsts.data(), f.counts.data(), (int)f.firsts.size(), &f.cull);
            continue;
        }
        const size_t from = f.heldFirsts.size();
        f.heldFirsts.insert(f.heldFirsts.end(), f.firsts.begin(), f.firsts.end());
        f.heldCounts.insert(f.heldCounts.end(), f.counts.begin(), f.counts.end());
        f.held.push_back(Look::Held{ranges[a].run, !tile_fogReaches(s.lo, s.hi), from, f.heldFirsts.size()});
    }
}

void look_draw(Look &f, size_t at, int pass)
{
    const Seen &seen = f.seen[at];
    tile_fogPause(!tile_fogReaches(seen.lo, seen.hi));  // a chunk nearer than the fog costs it nothing
    look_drawFaces(f, at, f.seen[at].chunk->faces, pass);
    if (!f.eyeOutside)
        look_drawFaces(f, at, f.seen[at].chunk->enclosed, pass);
}

// The opaque faces of a group of chunks, asked together how many of
// their pixels pass the depth test.  They go picture by picture rather
// than chunk by chunk: a change of picture costs the renderer far more
// than a draw.
void look_drawAsking(Look &f, std::vector<size_t> &group)
{
    std::vector<int> keys;
    for (size_t at : group) {
        const Chunk *c = f.seen[at].chunk;
        if (chunk_hasSolid(c->faces) || (!f.eyeOutside && chunk_hasSolid(c->enclosed)))
            keys.push_back(f.seen[at].key);
    }
    if (!keys.empty()) {
        f.holding = true;
        f.held.clear(), f.heldFirsts.clear(), f.heldCounts.clear();
        for (size_t at : group)
            look_draw(f, at, TILE_PASS_SOLID);
        f.holding = false;
        if (group.size() > 1)  // one chunk keeps the order its runs were sorted in
            std::stable_sort(f.held.begin(), f.held.end(), [](const Look::Held &a, const Look::Held &b) {
                return a.fogPaused != b.fogPaused ? a.fogPaused : a.run->image < b.run->image;
            });
        gpu_queryBegin(chunk_ask(keys));
        for (const Look::Held &h : f.held) {
            tile_fogPause(h.fogPaused);
            tile_drawRanges(*h.run, &f.heldFirsts[h.from], &f.heldCounts[h.from], (int)(h.to - h.from), &f.cull);
        }
        gpu_queryEnd();
    }
    group.clear();
}

// Whether each doubtful chunk's box shows over what is drawn: a still view
// over unchanged chunks asks again only about boxes it has no answer for.
std::vector<bool> look_boxesShow(Look &f, const std::vector<size_t> &doubtful, BoxMemo &memo)
{
    const bool same = memcmp(memo.clip, chunk_memo.clip, sizeof memo.clip) == 0 &&
                      memcmp(memo.eye, chunk_memo.eye, sizeof memo.eye) == 0 &&
                      memcmp(memo.viewport, chunk_memo.viewport, sizeof memo.viewport) == 0 &&
                      memo.eyeOutside == chunk_memo.eyeOutside && memo.changes == chunk_memo.changes &&
                      memo.drawnBefore == chunk_memo.drawnBefore;
    std::vector<bool> shows(doubtful.size());
    std::vector<size_t> ask, which;
    for (size_t k = 0; k < doubtful.size(); k++) {
        const int key = f.seen[doubtful[k]].key;
        auto known = std::find_if(chunk_memo.shows.begin(), chunk_memo.shows.end(),
                                  [key](const std::pair<int, bool> &a) { return a.first == key; });
        if (same && known != chunk_memo.shows.end())
            shows[k] = known->second;
        else
            ask.push_back(k), which.push_back(doubtful[k]);
    }
    if (!ask.empty()) {
        std::vector<bool> answers = chunk_boxesShow(f.seen, which, f.unit);
        for (size_t j = 0; j < ask.size(); j++)
            shows[ask[j]] = answers[j];
        f.cull = -1;  // the box tests turned culling on
    }
    for (size_t k = 0; k < doubtful.size(); k++)
        memo.shows.push_back({f.seen[doubtful[k]].key, shows[k]});
    return shows;
}

// What is hidden, and the opaque faces sent.  The cover, on its own
// thread, leaves out what the chunks before hide; occlusion leaves out
// what hid a chunk's opaque faces last frame when it hides their box now.
// The chunks not hidden are drawn first, each asked how many of its pixels
// passed the depth test; the hidden ones are then tried as their boxes
// against what is drawn.  Opaque faces go nearest first with blending and
// the alpha test off, so that the renderer tests depth before it textures.
void look_sendOpaque(Look &f)
{
    int viewport[4];
    gpu_getViewport(viewport);
    f.shown.assign(f.seen.size(), Shown());
    static CoverRun coverRun;
    CoverRun &cr = coverRun;
    cr.seen = &f.seen, cr.shown = &f.shown;
    cr.gone.assign(f.seen.size(), 0);
    std::copy(f.eyeAt, f.eyeAt + 3, cr.eye);
    cr.eyeOutside = f.eyeOutside;
    // Waited for on every way out of the frame: the thread reads its chunks.
    struct Finisher {
        CoverRun &cr;
        bool running;
        ~Finisher() { if (running) cr.finish(); }
    } finisher{cr, tile_lookOcclude};
    if (tile_lookOcclude) {
        cr.cover.begin(f.clip, (int)viewport[2], (int)viewport[3]);
        cr.start();
    } else {
        cr.done = f.seen.size();
    }
    f.stats.shadedBefore = chunk_hear();
    std::vector<size_t> doubtful;
    BoxMemo memo;
    memcpy(memo.clip, f.clip, sizeof memo.clip);
    memcpy(memo.eye, f.eyeAt, sizeof memo.eye);
    memcpy(memo.viewport, viewport, sizeof memo.viewport);
    memo.eyeOutside = f.eyeOutside;
    memo.changes = chunk_changes;
    std::vector<size_t> group;
    for (size_t i = 0; i < f.seen.size(); i++) {
        cr.waitFor(i);
        if (cr.gone[i]) {
            f.stats.hidden++;
        } else if (tile_lookOcclude && f.seen[i].chunk->hidden && !f.seen[i].nearEye) {
            doubtful.push_back(i);
        } else if (f.seen[i].chunk->faces.runs.size() <= (size_t)LOOK_FEW_RUNS) {
            look_drawAsking(f, group);  // the nearer ones first
            std::vector<size_t> alone(1, i);
            look_drawAsking(f, alone);
            memo.drawnBefore.push_back(f.seen[i].key);
        } else {
            group.push_back(i);
            memo.drawnBefore.push_back(f.seen[i].key);
        }
        if (group.size() == (size_t)LOOK_GROUP)
            look_drawAsking(f, group);
    }
    look_drawAsking(f, group);
    if (finisher.running)
        cr.finish(), finisher.running = false;
    std::vector<bool> left(f.seen.size());
    for (size_t i = 0; i < f.seen.size(); i++)
        left[i] = cr.gone[i] != 0;
    const std::vector<bool> shows = look_boxesShow(f, doubtful, memo);
    for (size_t k = 0; k < doubtful.size(); k++) {
        if (!shows[k]) {
            left[doubtful[k]] = true;
            f.stats.hidden++;
            continue;
        }
        // Still flagged: its own answer, next frame, says whether its faces
        // show, and a still view keeps its box's answer meanwhile.
        group.push_back(doubtful[k]);
        look_drawAsking(f, group);
    }
    size_t kept = 0;
    for (size_t i = 0; i < f.seen.size(); i++)
        if (!left[i]) {
            if (kept != i)
                f.shown[kept] = std::move(f.shown[i]);
            f.seen[kept++] = f.seen[i];
        }
    f.seen.resize(kept);
    f.shown.resize(kept);
    chunk_memo = std::move(memo);
}

// The rest that is sent: the backdrop only where the opaque faces left the
// window clear, and under every face that may show what lies behind it;
// the cut-outs nearest first and the translucent faces farthest first,
// with blending and the alpha test back on.
void look_sendRest(Look &f)
{
    if (tile_optTexture) {
        const Image *bg = tile_bg ? tile_bg : &tile_dummy;
        look_blending(f, bg->hasAlpha);
        tile_sky();
    }
    look_blending(f, true);
    // The far chunks' see-through faces lie behind the near ones.
    tile_levelsDrawSeeThrough(TILE_PASS_CUTOUT);
    f.cull = -1;
    for (size_t i = 0; i < f.seen.size(); i++)
        look_draw(f, i, TILE_PASS_CUTOUT);
    tile_levelsDrawSeeThrough(TILE_PASS_TRANSLUCENT);
    f.cull = -1;
    for (size_t i = f.seen.size(); i-- > 0;)
        look_draw(f, i, TILE_PASS_TRANSLUCENT);
    for (const Seen &s : f.seen) {
        f.stats.faces += s.chunk->faces.faces + (f.eyeOutside ? 0 : s.chunk->enclosed.faces);
        f.stats.sealed += f.eyeOutside ? s.chunk->enclosed.faces : 0;
    }
    // The state as the frame found it, for the other mode's next frame.
    texture_doubleSided(f.doubleSided);
    texture_smooth(f.smooth);
    texture_color(f.rgba[0], f.rgba[1], f.rgba[2]);
    texture_alpha(f.rgba[3]);
    texture_repeat(TEXTURE_CLAMP);
}

// What is built next: the budget applied once the frame is drawn, then a
// fresh list for the worker every frame (only its head is ever reached):
// chunks on screen waiting for a change first, then those in view, nearest
// first, then those behind the eye.
void look_next(Look &f)
{
    chunk_trim();
    const size_t listed = std::min(f.want.size(), (size_t)CHUNK_LISTED);
    std::partial_sort(f.want.begin(), f.want.begin() + (long)listed, f.want.end(), [](const Want &a, const Want &b) {
        return a.shown != b.shown ? a.shown : a.outside != b.outside ? b.outside : a.distance < b.distance;
    });
    f.want.resize(listed);
    std::vector<Job> jobs;
    for (const Want &w : f.want)
        jobs.push_back(Job{w.key, f.world, tile_optTexture, tile_optSmooth, chunk_atlas});
    if (!jobs.empty())
        chunk_start();
    {
        std::lock_guard<std::mutex> l(chunk_lock);
        jobs.erase(std::remove_if(jobs.begin(), jobs.end(), chunk_inHand), jobs.end());
        chunk_wanted.swap(jobs);
        if (!chunk_wanted.empty())
            chunk_jobsCame = true;
    }
    chunk_wake.notify_all();
}

}  // namespace

void tile_lookBlock(float ex, float ey, float ez, int view, TileBlock *out)
{
    const float eye[3] = {ex / tile_size, ey / tile_size, ez / tile_sizeZ};
    const unsigned size[3] = {tile_width, tile_height, tile_depth};
    int *ends[3][2] = {{&out->x0, &out->x1}, {&out->y0, &out->y1}, {&out->z0, &out->z1}};
    for (int a = 0; a < 3; a++) {
        int n = (int)((size[a] + TILE_CHUNK - 1) / TILE_CHUNK), first, last;
        chunk_span(eye[a], view, n, &first, &last);
        *ends[a][0] = first * TILE_CHUNK;
        *ends[a][1] = std::min((last + 1) * TILE_CHUNK, (int)size[a]);
    }
}

int tile_drawLook(float ex, float ey, float ez, int view)
{
    Look f;
    look_begin(f, ex, ey, ez, view);
    look_sight(f);
    look_inView(f);
    look_sendOpaque(f);
    // The far chunks' opaque faces, behind the near ones and before the sky.
    const int far = tile_levelsDraw(f.world, chunk_atlas, f.eyeAt, f.eyeOutside, f.view, f.planes, chunk_bytes);
    f.cull = -1;
    look_sendRest(f);
    look_next(f);
    tile_unbindBuffer();
    f.stats.drawn = (int)f.seen.size() + far;
    f.stats.faces += tile_levelStats.faces;
    f.stats.pending += tile_levelStats.pending;
    f.stats.queued += tile_levelStats.queued;
    f.stats.bytes = chunk_bytes + tile_levelsBytes();
    f.stats.built = chunk_built;
    tile_lookStats = f.stats;
    if (!tile_quiet)
        printf("view %d chunks\n", f.stats.drawn);
    return f.stats.drawn;
}
