// tile_levels.cpp -- free look's far chunks: coarser cells reduced from a snapshot on a worker, drawn past the near chunks
#include "tile.h"
#include "tile_atlas.h"
#include "tile_levels.h"
#include "tile_worker.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

TileLevelStats tile_levelStats;

unsigned char tile_levelReduce(const unsigned char *cells, const int size[3], const int at[3], int side,
                               const unsigned char kind[256])
{
    int end[3];
    for (int a = 0; a < 3; a++) {
        end[a] = std::min(at[a] + side, size[a]);
        if (at[a] < 0 || end[a] <= at[a])
            return TILE_EMPTY;
    }
    // votes: the columns' topmost solid cells; shown: their topmost cells
    // solid or see-through, what a look from above meets first.
    unsigned votes[256] = {}, shown[256] = {};
    long solidCells = 0, clearCells = 0, total = 0;
    bool column = false;
    for (int z = at[2]; z < end[2]; z++)
        for (int x = at[0]; x < end[0]; x++) {
            bool full = true, topSeen = false, topShown = false;
            for (int y = end[1] - 1; y >= at[1]; y--) {
                const unsigned char t = cells[((size_t)y * (size_t)size[2] + (size_t)z) * (size_t)size[0] + (size_t)x];
                total++;
                if (kind[t] != TILE_LEVEL_NONE && !topShown)
                    shown[t]++, topShown = true;
                if (kind[t] != TILE_LEVEL_SOLID) {
                    clearCells += kind[t] == TILE_LEVEL_CLEAR;
                    full = false;
                    continue;
                }
                solidCells++;
                if (!topSeen)
                    votes[t]++, topSeen = true;
            }
            column |= full;
        }
    const unsigned *tally = votes;
    if (!column && solidCells * 2 < total) {
        // Not solid: a block mostly of see-through boxes (water, glass,
        // leaves) becomes the one most columns show on top, so that a far
        // lake keeps its surface and a far tree its crown.
        if ((solidCells + clearCells) * 2 < total || clearCells == 0)
            return TILE_EMPTY;
        tally = shown;
    }
    int winner = TILE_EMPTY;
    for (int t = 0; t < 256; t++)
        if (tally[t] > 0 && (winner == TILE_EMPTY || tally[t] > tally[winner]))
            winner = t;
    return (unsigned char)winner;
}

namespace {

int level_side(int level)
{
    return TILE_CHUNK << level;
}

// The eye's distance in cells to the box of the chunk of level k at c,
// cut by the grid's edge, and that box in world units.
float level_distance(int level, const int c[3], const float eye[3], const unsigned size[3], float lo[3] = nullptr,
                     float hi[3] = nullptr)
{
    const float unit[3] = {tile_size, tile_size, tile_sizeZ};
    float d2 = 0.0f;
    for (int a = 0; a < 3; a++) {
        const int c0 = c[a] * level_side(level), c1 = std::min(c0 + level_side(level), (int)size[a]);
        const float near = std::max((float)c0 - 0.5f, std::min(eye[a], (float)c1 - 0.5f));
        d2 += (eye[a] - near) * (eye[a] - near);
        if (lo)
            lo[a] = ((float)c0 - 0.5f) * unit[a], hi[a] = ((float)c1 - 0.5f) * unit[a];
    }
    return sqrtf(d2);
}

bool level_split(int level, float distance)
{
    return distance <= (float)(TILE_LEVEL_SPLIT * level_side(level));
}

}  // namespace

bool tile_levelsFine(const int c[3], const float eye[3], const unsigned size[3], int view)
{
    if (view <= TILE_LEVEL_SPLIT * level_side(1))
        return true;
    const int parent[3] = {c[0] >> 1, c[1] >> 1, c[2] >> 1};
    return level_split(1, level_distance(1, parent, eye, size));
}

int tile_levelsNearView(int view)
{
    // A level-0 chunk lies within its split parent's box, whose diagonal
    // is under 1.75 of its side.
    const int reach = TILE_LEVEL_SPLIT * level_side(1) + level_side(1) * 7 / 4;
    return view <= TILE_LEVEL_SPLIT * level_side(1) ? view : std::min(view, reach);
}

namespace {

typedef unsigned long long Key;

Key level_key(int level, const int c[3])
{
    return (Key)level << 60 | (Key)c[2] << 40 | (Key)c[1] << 20 | (Key)c[0];
}

struct Coarse {
    TileFaces faces;
    TileFaces sealed;  // the walls of caves sealed in it, drawn for an eye not in the open air
    int level;
    unsigned version;  // of the snapshot its cells still match
    unsigned char optTexture, optSmooth;
    std::shared_ptr<const TileTables> tables;  // the pictures its runs point into
    std::shared_ptr<const TileAtlas> atlas;    // and the atlas pages, when it was built with them
    unsigned buffer = 0;                       // its corners' (tile_upload), drawing thread only
    size_t bytes = 0;
    float lo[3], hi[3];  // its faces' bounds, world units
    unsigned lastUsed = 0;
    float distance = 0.0f;
    Coarse() = default;
    Coarse(const Coarse &) = delete;
    Coarse &operator=(const Coarse &) = delete;
    ~Coarse() { tile_bufferFree(buffer); }
};

struct Job {
    Key key;
    int level, c[3];
    TileWorldRef world;
    unsigned char optTexture, optSmooth;
    std::shared_ptr<const TileAtlas> atlas;  // the chunk cache's, for the world's tables
};

struct Done {
    Key key;
    std::unique_ptr<Coarse> chunk;
};

// Shared with the worker, under level_lock.
std::mutex level_lock;
std::condition_variable level_wake, level_idle;
std::vector<Job> level_wanted;  // the first is built first
std::vector<Done> level_done;
bool level_stopping, level_building;
Key level_underWay;
unsigned level_underWayVersion;
std::thread level_worker;

// The drawing thread's own.
std::map<Key, std::unique_ptr<Coarse>> level_table;
TileWorldRef level_world;  // the version the table follows
size_t level_bytes;
unsigned level_frame;
// Past this distance (cells) chunks are not built: the budget dropped one
// in use there.  Reset when the view distance changes.
float level_keepWithin = 1e30f;
int level_keepView;

// The cells of the grid box base .. base + size of s, (y * size[2] + z) * size[0] + x.
void level_region(const TileSnapshot &s, const int base[3], const int size[3], std::vector<unsigned char> *out)
{
    out->assign((size_t)size[0] * (size_t)size[1] * (size_t)size[2], TILE_EMPTY);
    for (int y = 0; y < size[1]; y++)
        for (int z = 0; z < size[2]; z++)
            for (int x = 0; x < size[0]; x += TILE_CHUNK) {
                const int wx = base[0] + x, wy = base[1] + y, wz = base[2] + z;
                const TileChunkCells *c =
                    s.chunks[(size_t)s.key(wx / TILE_CHUNK, wy / TILE_CHUNK, wz / TILE_CHUNK)].get();
                if (!c)
                    continue;
                const unsigned char *row =
                    &c->cells[((wy % TILE_CHUNK) * TILE_CHUNK + wz % TILE_CHUNK) * TILE_CHUNK + wx % TILE_CHUNK];
                std::copy(row, row + std::min(TILE_CHUNK, size[0] - x),
                          out->begin() + (long)(((size_t)y * (size_t)size[2] + (size_t)z) * (size_t)size[0] + (size_t)x));
            }
}

// Builds the chunk job names: its cells reduced, walked as a grid of their
// own (so that every side of the chunk keeps its faces: the skirts that
// close the seams against a neighbour of another level), then scaled and
// moved to their place in the world.
std::unique_ptr<Coarse> level_build(const Job &job)
{
    const TileSnapshot &s = *job.world;
    const int step = 1 << job.level, side = level_side(job.level);
    const unsigned grid[3] = {s.width, s.height, s.depth};
    int base[3], size[3], cells[3];
    for (int a = 0; a < 3; a++) {
        base[a] = job.c[a] * side;
        size[a] = std::min(side, (int)grid[a] - base[a]);
        cells[a] = (size[a] + step - 1) / step;
    }
    std::unique_ptr<Coarse> c(new Coarse);
    c->level = job.level;
    c->version = s.version;
    c->optTexture = job.optTexture, c->optSmooth = job.optSmooth;
    c->tables = s.tables;
    std::fill(c->lo, c->lo + 3, 1e30f);
    std::fill(c->hi, c->hi + 3, -1e30f);
    try {
        std::vector<unsigned char> region;
        level_region(s, base, size, &region);
        // Opaque from above and from the sides (a grass cube without its
        // bottom face counts): what a far eye sees of a hill.
        // See-through: a box with those sides on whose pictures let light through.
        const unsigned seen = 0x3Fu & ~(1u << TILE_BOTTOM);
        unsigned char kind[256];
        for (int t = 0; t < 256; t++) {
            const CubeDef &d = s.tables->cubes[t];
            unsigned on = 0;
            for (int f = 0; f < 6; f++)
                on |= d.faceOn[f] ? 1u << f : 0u;
            const bool box = t != TILE_EMPTY && d.shape == 0 && !d.crossed && (on & seen) == seen;
            kind[t] = (tile_coverSides(s.tables->cubes, (unsigned char)t) & seen) == seen ? TILE_LEVEL_SOLID
                      : box                                                             ? TILE_LEVEL_CLEAR
                                                                                        : TILE_LEVEL_NONE;
        }
        auto reduced = std::make_shared<TileChunkCells>();
        std::fill(reduced->cells, reduced->cells + TILE_CHUNK_CELLS, (unsigned char)TILE_EMPTY);
        for (int y = 0; y < cells[1]; y++)
            for (int z = 0; z < cells[2]; z++)
                for (int x = 0; x < cells[0]; x++) {
                    const int at[3] = {x * step, y * step, z * step};
                    reduced->cells[(y * TILE_CHUNK + z) * TILE_CHUNK + x] =
                        tile_levelReduce(region.data(), size, at, step, kind);
                }
        TileSnapshot r;
        r.version = s.version;
        r.width = (unsigned)cells[0], r.height = (unsigned)cells[1], r.depth = (unsigned)cells[2];
        r.n[0] = r.n[1] = r.n[2] = 1;
        r.chunks.push_back(reduced);
        r.tables = s.tables;
        const TileBlock block = {0, cells[0], 0, cells[1], 0, cells[2]};
        // A far chunk of many pictures draws them from the atlas, as a near one does.
        if (job.atlas && tile_atlasWorth(*job.atlas, r, block))
            c->atlas = job.atlas;
        // The walls of caves sealed inside the chunk show to no far eye:
        // they go with the faces the outside air does not reach.
        std::vector<unsigned char> grid;
        r.flatten(&grid);
        std::vector<bool> outside;
        const bool known = tile_outsideAir(grid.data(), r.width, r.height, r.depth, &outside, s.tables->cubes);
        tile_chunkBuild(&block, &block, job.optTexture, job.optSmooth, &c->faces, known ? &outside : nullptr,
                        &c->sealed, &r, c->atlas.get());
    } catch (const std::bad_alloc &) {
        c->faces = c->sealed = TileFaces{};  // out of memory: kept empty
    }
    // A reduced cell r spans r - 0.5 .. r + 0.5 of its own units; in the
    // world, base - 0.5 + step * r .. and on.
    const float unit[3] = {tile_size, tile_size, tile_sizeZ};
    float offset[3];
    for (int a = 0; a < 3; a++)
        offset[a] = ((float)base[a] - 0.5f + 0.5f * (float)step) * unit[a];
    for (TileFaces *faces : {&c->faces, &c->sealed}) {
        for (TileRun &run : faces->runs)
            for (size_t v = 0; v + 4 < run.vertices.size(); v += 5)
                for (int a = 0; a < 3; a++)
                    run.vertices[v + (size_t)a] = run.vertices[v + (size_t)a] * (float)step + offset[a];
        for (TileDraw &d : faces->draws)
            for (int a = 0; a < 3; a++) {
                d.lo[a] = d.lo[a] * (float)step + offset[a], d.hi[a] = d.hi[a] * (float)step + offset[a];
                c->lo[a] = std::min(c->lo[a], d.lo[a]), c->hi[a] = std::max(c->hi[a], d.hi[a]);
            }
    }
    c->bytes = sizeof(Coarse) + tile_facesBytes(&c->faces) + tile_facesBytes(&c->sealed);
    return c;
}

// Whether job is under way or built and not taken yet.
bool level_inHand(const Job &job)
{
    if (level_building && level_underWay == job.key && level_underWayVersion >= job.world->version)
        return true;
    for (const Done &d : level_done)
        if (d.key == job.key && d.chunk->version >= job.world->version && d.chunk->optTexture == job.optTexture &&
            d.chunk->optSmooth == job.optSmooth)
            return true;
    return false;
}

// The worker: builds what the drawing thread wants from the snapshot each
// job holds, at low priority, as the chunk cache's worker does.
void level_work(void)
{
    setpriority(PRIO_PROCESS, (id_t)syscall(SYS_gettid), 10);
    std::unique_lock<std::mutex> l(level_lock);
    for (;;) {
        level_wake.wait(l, [] { return level_stopping || !level_wanted.empty(); });
        if (level_stopping)
            return;
        Job job = std::move(level_wanted.front());
        level_wanted.erase(level_wanted.begin());
        if (level_inHand(job))
            continue;
        level_building = true;
        level_underWay = job.key;
        level_underWayVersion = job.world->version;
        l.unlock();
        std::unique_ptr<Coarse> c = level_build(job);
        job.world.reset();  // let go of the version outside the lock
        l.lock();
        level_building = false;
        level_done.push_back(Done{job.key, std::move(c)});
        level_idle.notify_all();
    }
}

void level_stop(void)
{
    tile_workerStop(level_lock, level_wake, &level_stopping, level_worker);
}

void level_start(void)
{
    tile_workerStart(level_worker, &level_stopping, level_work, level_stop,
                     "tavo: no thread for building far chunks; free look shows only near ones\n");
}

// Whether the cells of a chunk's box differ between two versions of one grid.
bool level_changed(const TileSnapshot &a, const TileSnapshot &b, Key key)
{
    const int level = (int)(key >> 60), side = level_side(level) / TILE_CHUNK;
    const int c[3] = {(int)(key & 0xFFFFF), (int)(key >> 20 & 0xFFFFF), (int)(key >> 40 & 0xFFFFF)};
    for (int z = c[2] * side; z < std::min((c[2] + 1) * side, a.n[2]); z++)
        for (int y = c[1] * side; y < std::min((c[1] + 1) * side, a.n[1]); y++)
            for (int x = c[0] * side; x < std::min((c[0] + 1) * side, a.n[0]); x++)
                if (a.chunks[(size_t)a.key(x, y, z)] != b.chunks[(size_t)b.key(x, y, z)])
                    return true;
    return false;
}

// A new version: another grid drops every chunk; the same grid keeps the
// chunks whose cells and table it did not change, and the others on
// screen until they are built again.
void level_adopt(const TileWorldRef &world)
{
    if (level_world == world)
        return;
    if (!level_world || level_world->width != world->width || level_world->height != world->height ||
        level_world->depth != world->depth) {
        tile_levelsClear();
    } else {
        for (auto &e : level_table)
            if (e.second->version == level_world->version && level_world->tables == world->tables &&
                !level_changed(*level_world, *world, e.first))
                e.second->version = world->version;
    }
    level_world = world;
}

// Takes what the worker built, its corners into a vertex buffer.
void level_collect(void)
{
    std::vector<Done> done;
    {
        std::lock_guard<std::mutex> l(level_lock);
        done.swap(level_done);
    }
    for (Done &d : done) {
        std::unique_ptr<Coarse> &slot = level_table[d.key];
        if (slot && slot->version > d.chunk->version)
            continue;
        TileFaces *const faces[2] = {&d.chunk->faces, &d.chunk->sealed};
        size_t uploaded = 0;
        d.chunk->buffer = tile_upload(faces, 2, &uploaded);
        d.chunk->bytes += uploaded;
        d.chunk->lastUsed = level_frame;
        if (slot)
            level_bytes -= slot->bytes;
        level_bytes += d.chunk->bytes;
        slot = std::move(d.chunk);
    }
}

// One frame's choice: the chunks of each level the hierarchy draws.
struct Pick {
    Key key;
    int level, c[3];
    float distance;  // in cells, to its box
};

struct Frame {
    TileWorldRef world;
    float eye[3];  // in cells
    float eyeAt[3];
    unsigned size[3];
    int view;
    unsigned char optTexture, optSmooth;
    std::shared_ptr<const TileAtlas> atlas;
    bool eyeOutside;  // in the open air: the far chunks' sealed caves are not drawn
    std::vector<Pick> picks;
};

void level_visit(Frame &f, int level, const int c[3])
{
    const float d = level_distance(level, c, f.eye, f.size);
    if (level == 0 || !(d <= (float)f.view))
        return;  // level 0: the chunk cache's; NaN: an eye nowhere sees nothing
    if (!level_split(level, d)) {
        f.picks.push_back(Pick{level_key(level, c), level, {c[0], c[1], c[2]}, d});
        return;
    }
    const int side = level_side(level - 1);
    for (int k = 0; k < 8; k++) {
        const int child[3] = {2 * c[0] + (k & 1), 2 * c[1] + (k >> 1 & 1), 2 * c[2] + (k >> 2 & 1)};
        if (child[0] * side < (int)f.size[0] && child[1] * side < (int)f.size[1] && child[2] * side < (int)f.size[2])
            level_visit(f, level - 1, child);
    }
}

bool level_stale(const Frame &f, const Coarse *c)
{
    return !c || c->version < f.world->version || c->optTexture != f.optTexture || c->optSmooth != f.optSmooth ||
           (c->atlas && c->atlas != f.atlas);
}

// What stands for a pick not built yet: its nearest built ancestor, or
// else its built children.
void level_standIns(const Frame &f, const Pick &p, std::vector<Coarse *> *out)
{
    for (int level = p.level + 1; level < TILE_LEVELS; level++) {
        const int shift = level - p.level;
        const int c[3] = {p.c[0] >> shift, p.c[1] >> shift, p.c[2] >> shift};
        auto it = level_table.find(level_key(level, c));
        if (it != level_table.end()) {
            out->push_back(it->second.get());
            return;
        }
    }
    if (p.level < 2)
        return;
    for (int k = 0; k < 8; k++) {
        const int child[3] = {2 * p.c[0] + (k & 1), 2 * p.c[1] + (k >> 1 & 1), 2 * p.c[2] + (k >> 2 & 1)};
        auto it = level_table.find(level_key(p.level - 1, child));
        if (it != level_table.end())
            out->push_back(it->second.get());
    }
    (void)f;
}

// The faces of a chunk's runs that may look towards the eye, held to be
// sent by picture: a change of picture costs the renderer far more than a
// draw, and the far chunks lie behind every near face anyway.
struct Held {
    const TileRun *run;
    bool fogPaused;
    float distance;   // of its chunk, in cells
    size_t from, to;  // into firsts, counts
};

// The runs of one pass held, with their ranges.
struct Pass {
    std::vector<Held> held;
    std::vector<int> firsts, counts;
    void clear(void) { held.clear(), firsts.clear(), counts.clear(); }
};
// By pass: the opaque runs, sent at once; the cut-outs and the translucent
// ones, sent when the frame's passes for them come (tile_levelsDrawSeeThrough).
Pass level_passes[3];
// Chunks the budget dropped this frame, whose runs a pass may still hold.
std::vector<std::unique_ptr<Coarse>> level_dropped;

void level_holdFaces(const Frame &f, const Coarse &c, const TileFaces &faces)
{
    const bool fogPaused = !tile_fogReaches(c.lo, c.hi);
    for (size_t i = 0; i < faces.draws.size();) {
        const int run = faces.draws[i].run;
        Pass &p = level_passes[tile_lookPass(faces.runs[(size_t)run])];
        const size_t from = p.firsts.size();
        for (; i < faces.draws.size() && faces.draws[i].run == run; i++) {
            int first = 0, count = 0;
            tile_facingEye(faces.runs[(size_t)run], faces.draws[i], f.eyeAt, &first, &count);
            if (count > 0)
                p.firsts.push_back(first), p.counts.push_back(count);
        }
        if (p.firsts.size() > from)
            p.held.push_back(Held{&faces.runs[(size_t)run], fogPaused, c.distance, from, p.firsts.size()});
    }
}

void level_holdChunk(const Frame &f, const Coarse &c)
{
    level_holdFaces(f, c, c.faces);
    if (!f.eyeOutside)
        level_holdFaces(f, c, c.sealed);
}

// Opaque and cut-out runs go by picture; translucent ones farthest chunk
// first, each chunk's in the walk's order, as the near chunks send theirs.
void level_send(int pass)
{
    Pass &p = level_passes[pass];
    std::stable_sort(p.held.begin(), p.held.end(), [pass](const Held &a, const Held &b) {
        if (pass == TILE_PASS_TRANSLUCENT)
            return a.distance > b.distance;
        return a.fogPaused != b.fogPaused ? a.fogPaused : a.run->image < b.run->image;
    });
    int cull = -1;
    for (const Held &h : p.held) {
        tile_fogPause(h.fogPaused);
        tile_drawRanges(*h.run, &p.firsts[h.from], &p.counts[h.from], (int)(h.to - h.from), &cull);
    }
    p.clear();
}

// Drops chunks while the cache and the near chunks pass the budget: those
// no frame used for longest first, then (the coarse chunks alone past half
// the budget) the farthest of those in use.
void level_trim(size_t nearBytes)
{
    const size_t budget = tile_chunkBudget;
    if (level_bytes + nearBytes <= budget)
        return;
    struct Drop {
        bool used;
        unsigned age;
        float distance;
        Key key;
    };
    std::vector<Drop> order;
    for (const auto &e : level_table) {
        const Coarse &c = *e.second;
        order.push_back(Drop{c.lastUsed == level_frame, level_frame - c.lastUsed, c.distance, e.first});
    }
    std::sort(order.begin(), order.end(), [](const Drop &a, const Drop &b) {
        return a.used != b.used ? b.used : !a.used ? a.age > b.age : a.distance > b.distance;
    });
    for (const Drop &o : order) {
        if (level_bytes + nearBytes <= budget || (o.used && level_bytes <= budget / 2))
            break;
        level_bytes -= level_table[o.key]->bytes;
        level_dropped.push_back(std::move(level_table[o.key]));
        level_table.erase(o.key);
        if (o.used)  // not built again only to be dropped
            level_keepWithin = std::min(level_keepWithin, o.distance);
    }
}

// The worker's list: the picks not built (or built from an older version
// or other options), those in view first, nearest first.
void level_next(const Frame &f, std::vector<std::pair<float, const Pick *>> &want)
{
    std::sort(want.begin(), want.end(),
              [](const std::pair<float, const Pick *> &a, const std::pair<float, const Pick *> &b) {
                  return a.first < b.first;
              });
    std::vector<Job> jobs;
    for (size_t i = 0; i < want.size() && i < 64; i++) {
        const Pick &p = *want[i].second;
        jobs.push_back(Job{p.key, p.level, {p.c[0], p.c[1], p.c[2]}, f.world, f.optTexture, f.optSmooth, f.atlas});
    }
    if (!jobs.empty())
        level_start();
    {
        std::lock_guard<std::mutex> l(level_lock);
        jobs.erase(std::remove_if(jobs.begin(), jobs.end(), level_inHand), jobs.end());
        level_wanted.swap(jobs);
    }
    level_wake.notify_all();
}

}  // namespace

int tile_levelsDraw(const TileWorldRef &world, const std::shared_ptr<const TileAtlas> &atlas, const float eyeAt[3],
                    bool eyeOutside, int view, const float planes[6][4], size_t nearBytes)
{
    tile_levelStats = TileLevelStats{};
    for (Pass &p : level_passes)
        p.clear();
    level_dropped.clear();
    if (view <= TILE_LEVEL_SPLIT * level_side(1)) {
        // No coarse chunk in view: those kept go when the budget wants room.
        level_frame++;
        level_trim(nearBytes);
        tile_levelStats.bytes = level_bytes;
        return 0;
    }
    level_adopt(world);
    level_frame++;
    if (view != level_keepView)
        level_keepWithin = 1e30f, level_keepView = view;
    level_collect();
    Frame f;
    f.world = world, f.atlas = atlas, f.eyeOutside = eyeOutside, f.view = view;
    f.optTexture = tile_optTexture, f.optSmooth = tile_optSmooth;
    const float unit[3] = {tile_size, tile_size, tile_sizeZ};
    const unsigned size[3] = {world->width, world->height, world->depth};
    for (int a = 0; a < 3; a++)
        f.eyeAt[a] = eyeAt[a], f.eye[a] = eyeAt[a] / unit[a], f.size[a] = size[a];
    int top = 1;
    while (top < TILE_LEVELS - 1 && !level_split(top, (float)view))
        top++;
    const int side = level_side(top);
    for (int z = 0; z * side < (int)size[2]; z++)
        for (int y = 0; y * side < (int)size[1]; y++)
            for (int x = 0; x * side < (int)size[0]; x++) {
                const int c[3] = {x, y, z};
                level_visit(f, top, c);
            }
    std::sort(f.picks.begin(), f.picks.end(), [](const Pick &a, const Pick &b) { return a.distance < b.distance; });
    std::vector<std::pair<float, const Pick *>> want;
    std::vector<Coarse *> draw;
    for (const Pick &p : f.picks) {
        float lo[3], hi[3];
        level_distance(p.level, p.c, f.eye, f.size, lo, hi);
        const bool inside = tile_boxInFrustum(planes, lo, hi);
        auto it = level_table.find(p.key);
        Coarse *c = it == level_table.end() ? nullptr : it->second.get();
        if (level_stale(f, c) && p.distance < level_keepWithin) {
            want.push_back({p.distance + (inside ? 0.0f : 1e6f), &p});
            tile_levelStats.pending += inside;
            tile_levelStats.queued++;
        }
        if (c) {
            c->lastUsed = level_frame, c->distance = p.distance;
            if (inside)
                draw.push_back(c);
        } else if (inside) {
            level_standIns(f, p, &draw);
        }
    }
    // A stand-in may stand for several picks.
    std::vector<Coarse *> drawn;
    for (Coarse *c : draw) {
        if (std::find(drawn.begin(), drawn.end(), c) != drawn.end() ||
            (c->faces.runs.empty() && (eyeOutside || c->sealed.runs.empty())) ||
            !tile_boxInFrustum(planes, c->lo, c->hi))
            continue;
        c->lastUsed = level_frame;
        drawn.push_back(c);
        level_holdChunk(f, *c);
    }
    level_send(TILE_PASS_SOLID);
    for (const Coarse *c : drawn) {
        tile_levelStats.drawn[c->level]++;
        tile_levelStats.faces += c->faces.faces + (eyeOutside ? 0 : c->sealed.faces);
    }
    level_trim(nearBytes);
    level_next(f, want);
    tile_levelStats.bytes = level_bytes;
    return (int)drawn.size();
}

void tile_levelsDrawSeeThrough(int pass)
{
    if (pass == TILE_PASS_CUTOUT || pass == TILE_PASS_TRANSLUCENT)
        level_send(pass);
}

void tile_levelsClear(void)
{
    for (Pass &p : level_passes)
        p.clear();
    level_dropped.clear();
    {
        std::unique_lock<std::mutex> l(level_lock);
        level_wanted.clear();
        level_idle.wait(l, [] { return !level_building; });
        level_done.clear();
    }
    level_table.clear();
    level_world.reset();
    level_bytes = 0;
    level_keepWithin = 1e30f;
}

size_t tile_levelsBytes(void)
{
    return level_bytes;
}
