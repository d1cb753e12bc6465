// tile_chunks.cpp -- free look's faces: the world cut into chunks, built on a worker thread, drawn where the view meets them
#include "tile.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <exception>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <string.h>
#include <thread>
#include <vector>
#define GL_GLEXT_PROTOTYPES  // occlusion queries
#include <GL/gl.h>

#include "texture.h"

size_t tile_chunkBudget = (size_t)192 << 20;
TileLookStats tile_lookStats;
bool tile_lookOcclude = true;

namespace {

enum { CHUNK_LISTED = 256 };  // chunks handed to the worker at a time

struct Chunk {
    TileFaces faces;
    TileFaces enclosed;  // what only an eye in a cave sealed in rock can see
    unsigned char sides[6];  // as tile_chunkSides leaves them
    unsigned char optTexture, optSmooth;
    unsigned lastSeen;  // the frame that last had it within the view distance
    size_t bytes;
    // The bounds of its faces, and of those with the enclosed ones: the
    // chunk's cells may hold far less than their box.
    float lo[3], hi[3], loAll[3], hiAll[3];
    bool hidden = false;  // no pixel of its opaque faces was drawn last time they were asked about
};

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
    TileBlock cells, world;
    unsigned char optTexture, optSmooth;
};

struct Done {
    int key;
    std::unique_ptr<Chunk> chunk;
};

// Shared with the worker, under chunk_lock.
std::mutex chunk_lock;
std::condition_variable chunk_wake, chunk_idle;
std::vector<Job> chunk_wanted;  // the first is built first
std::vector<Done> chunk_done;
bool chunk_paused, chunk_stopping, chunk_building;
unsigned chunk_epoch;  // bumped when the world changes: older builds are thrown away
std::thread chunk_worker;
// Which cells the air around the world reaches, for the world of
// chunk_outsideEpoch: made by the worker before the first chunk of a world,
// handed to the drawing thread under chunk_lock.
std::shared_ptr<const std::vector<bool>> chunk_outsideShared;
unsigned chunk_outsideEpoch = ~0u;

// The drawing thread's own.
std::vector<std::unique_ptr<Chunk>> chunk_table;
std::shared_ptr<const std::vector<bool>> chunk_outside;  // for this world, once made
int chunk_n[3];  // chunks along x, y, z
unsigned chunk_generation;
bool chunk_known;
size_t chunk_bytes;
unsigned chunk_frame;
// Occlusion queries, made as needed and used again every frame, and the
// chunks last frame asked about, with the query that holds each answer.
std::vector<GLuint> chunk_queries;
std::vector<std::pair<int, size_t>> chunk_asked;
// Bumped whenever a chunk comes, goes or is built again.
unsigned chunk_changes;
// What the last frame's box tests were made against and what they
// answered: under the same view, over the same chunks drawn before them,
// the depth they met is the same and so are their answers.
struct BoxMemo {
    float clip[16], eye[3];
    GLint viewport[4];
    bool eyeOutside;
    unsigned changes;
    std::vector<int> drawnBefore;            // keys, in the order drawn
    std::vector<std::pair<int, bool>> shows;  // key, and whether its box showed
};
BoxMemo chunk_memo;

void chunk_work(void)
{
    // Builds wait for the frames, not the other way round: the worker yields
    // its core to the drawing thread and the renderer's threads.
    setpriority(PRIO_PROCESS, (id_t)syscall(SYS_gettid), 10);
    std::shared_ptr<const std::vector<bool>> outside;
    unsigned outsideEpoch = ~0u;
    std::unique_lock<std::mutex> l(chunk_lock);
    for (;;) {
        chunk_wake.wait(l, [] { return chunk_stopping || (!chunk_paused && !chunk_wanted.empty()); });
        if (chunk_stopping)
            return;
        Job job = chunk_wanted.front();
        chunk_wanted.erase(chunk_wanted.begin());
        // Built a moment ago, and not yet taken by the drawing thread.
        bool have = false;
        for (const Done &d : chunk_done)
            have |= d.key == job.key && d.chunk->optTexture == job.optTexture &&
                    d.chunk->optSmooth == job.optSmooth;
        if (have)
            continue;
        unsigned epoch = chunk_epoch;
        chunk_building = true;
        l.unlock();

        // The world's outside air first, once a world: every chunk is split by it.
        if (outsideEpoch != epoch) {
            outside.reset();
            try {
                auto made = std::make_shared<std::vector<bool>>();
                tile_outsideAir(tile_map, tile_width, tile_height, tile_depth, made.get());
                outside = made;
            } catch (const std::bad_alloc &) {
                // Out of memory: nothing is split, every face is drawn.
            }
            outsideEpoch = epoch;
        }
        std::unique_ptr<Chunk> c(new Chunk{});
        c->optTexture = job.optTexture;
        c->optSmooth = job.optSmooth;
        try {
            tile_chunkBuild(&job.cells, &job.world, job.optTexture, job.optSmooth, &c->faces, outside.get(),
                            &c->enclosed);
            tile_chunkSides(&job.cells, c->sides);
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

        l.lock();
        if (epoch == chunk_epoch && chunk_outsideEpoch != epoch) {
            chunk_outsideShared = outside;
            chunk_outsideEpoch = epoch;
        }
        chunk_building = false;
        if (epoch == chunk_epoch)
            chunk_done.push_back(Done{job.key, std::move(c)});
        chunk_idle.notify_all();
    }
}

void chunk_stop(void)
{
    {
        std::lock_guard<std::mutex> l(chunk_lock);
        chunk_stopping = true;
    }
    chunk_wake.notify_all();
    if (chunk_worker.joinable())
        chunk_worker.join();
}

void chunk_start(void)
{
    if (chunk_worker.joinable() || chunk_stopping)
        return;
    try {
        chunk_worker = std::thread(chunk_work);
        atexit(chunk_stop);  // joined before the tables it reads are torn down
    } catch (const std::exception &) {
        fputs("tavo: no thread for building chunks; free look shows nothing\n", stderr);
        chunk_stopping = true;
    }
}

// The world changed under the chunks: all are dropped, and builds under way thrown away.
void chunk_reset(void)
{
    {
        std::lock_guard<std::mutex> l(chunk_lock);
        chunk_epoch++;
        chunk_wanted.clear();
        chunk_done.clear();
    }
    chunk_table.clear();
    chunk_changes++;
    chunk_outside.reset();
    chunk_asked.clear();  // answers about chunks that are gone
    chunk_bytes = 0;
    const unsigned size[3] = {tile_width, tile_height, tile_depth};
    for (int a = 0; a < 3; a++)
        chunk_n[a] = tile_map ? (int)((size[a] + TILE_CHUNK - 1) / TILE_CHUNK) : 0;
    chunk_table.resize((size_t)chunk_n[0] * (size_t)chunk_n[1] * (size_t)chunk_n[2]);
    chunk_generation = tile_generation;
    chunk_known = true;
}

void chunk_collect(void)
{
    std::vector<Done> done;
    {
        std::lock_guard<std::mutex> l(chunk_lock);
        done.swap(chunk_done);
        if (chunk_outsideEpoch == chunk_epoch)
            chunk_outside = chunk_outsideShared;
    }
    for (Done &d : done) {
        std::unique_ptr<Chunk> &slot = chunk_table[(size_t)d.key];
        if (slot)
            chunk_bytes -= slot->bytes;
        d.chunk->lastSeen = chunk_frame;
        chunk_bytes += d.chunk->bytes;
        slot = std::move(d.chunk);
        chunk_changes++;
    }
}

// Least recently seen first, never one seen this frame.
void chunk_trim(void)
{
    if (chunk_bytes <= tile_chunkBudget)
        return;
    std::vector<std::pair<unsigned, size_t>> old;
    for (size_t k = 0; k < chunk_table.size(); k++)
        if (chunk_table[k] && chunk_table[k]->lastSeen != chunk_frame)
            old.push_back({chunk_table[k]->lastSeen, k});
    std::sort(old.begin(), old.end());
    for (size_t i = 0; i < old.size() && chunk_bytes > tile_chunkBudget; i++) {
        chunk_bytes -= chunk_table[old[i].second]->bytes;
        chunk_table[old[i].second].reset();
        chunk_changes++;
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
    const int corners = r.mode == GL_TRIANGLES ? 3 : 4;
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
    std::condition_variable step;
    size_t done = 0;

    void one(size_t i);
    void run(void);
    void waitFor(size_t i);
};

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
            const int per = r.mode == GL_TRIANGLES ? 3 : 4;
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

// A query for the chunk at key, answered by next frame's chunk_hear.
GLuint chunk_ask(int key)
{
    const size_t n = chunk_asked.size();
    if (n == chunk_queries.size()) {
        GLuint q = 0;
        glGenQueries(1, &q);
        chunk_queries.push_back(q);
    }
    chunk_asked.push_back({key, n});
    return chunk_queries[n];
}

// Last frame's answers: the chunks whose opaque faces drew nothing, and
// the pixels those faces drew in all.
long chunk_hear(void)
{
    long shaded = 0;
    for (const auto &a : chunk_asked) {
        GLuint samples = 1;
        glGetQueryObjectuiv(chunk_queries[a.second], GL_QUERY_RESULT, &samples);
        shaded += samples;
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
    glBegin(GL_QUADS);
    for (const auto &side : sides)
        for (unsigned char c : side)
            glVertex3f(c & 1 ? hi[0] : lo[0], c & 2 ? hi[1] : lo[1], c & 4 ? hi[2] : lo[2]);
    glEnd();
}

// Whether any pixel of each box which[k] of seen (a hair larger, towards
// the eye as much as away) passes the depth test of what is drawn: the
// boxes go into the depth test alone, colour and depth writes off,
// untextured.  The eye is outside every box, so the sides facing it
// cover the box and the far ones are culled (culling is left on).
std::vector<bool> chunk_boxesShow(const std::vector<Seen> &seen, const std::vector<size_t> &which,
                                  const float unit[3])
{
    const GLboolean textured = glIsEnabled(GL_TEXTURE_2D);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDepthMask(GL_FALSE);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    std::vector<GLuint> boxes(which.size());
    glGenQueries((GLsizei)boxes.size(), boxes.data());
    for (size_t k = 0; k < which.size(); k++) {
        const Seen &s = seen[which[k]];
        float lo[3], hi[3];
        for (int a = 0; a < 3; a++) {
            const float margin = 0.01f * unit[a];
            lo[a] = s.lo[a] - margin, hi[a] = s.hi[a] + margin;
        }
        glBeginQuery(GL_SAMPLES_PASSED, boxes[k]);
        chunk_box(lo, hi);
        glEndQuery(GL_SAMPLES_PASSED);
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    if (textured)
        glEnable(GL_TEXTURE_2D);
    std::vector<bool> shows(which.size());
    for (size_t k = 0; k < which.size(); k++) {
        GLuint samples = 1;
        glGetQueryObjectuiv(boxes[k], GL_QUERY_RESULT, &samples);
        shows[k] = samples > 0;
    }
    glDeleteQueries((GLsizei)boxes.size(), boxes.data());
    return shows;
}

}  // namespace

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
        const size_t face = (out->runs[i].mode == GL_TRIANGLES ? 3 : 4) * 5;
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
                     TileFaces *enclosed)
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
    TileMerger merger(&rec, unit), mergerEnclosed(&recEnclosed, unit);
    TileAirSplit split(&merger, &mergerEnclosed, outside, tile_width, tile_height, tile_depth, unit);
    TileWalk w;
    tile_walkBegin(&w, enclosed ? static_cast<TileSink *>(&split) : &merger, optTexture, optSmooth);
    tile_walkCells(&w, cells, world);
    merger.finish();
    chunk_sortRuns(out);
    if (enclosed) {
        mergerEnclosed.finish();
        chunk_sortRuns(enclosed);
    }
}

void tile_chunkSides(const TileBlock *cells, unsigned char sides[6])
{
    std::fill(sides, sides + 6, 0);
    const int lo[3] = {cells->x0, cells->y0, cells->z0};
    const int n[3] = {cells->x1 - cells->x0, cells->y1 - cells->y0, cells->z1 - cells->z0};
    if (!tile_map || n[0] <= 0 || n[1] <= 0 || n[2] <= 0)
        return;
    bool solid[256];
    for (int t = 0; t < 256; t++)
        solid[t] = tile_solidType((unsigned char)t);
    auto open = [&](const int c[3]) {
        size_t x = (size_t)(lo[0] + c[0]), y = (size_t)(lo[1] + c[1]), z = (size_t)(lo[2] + c[2]);
        return !solid[tile_map[(y * tile_depth + z) * tile_width + x]];
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

void tile_chunksPause(void)
{
    std::unique_lock<std::mutex> l(chunk_lock);
    chunk_paused = true;
    chunk_epoch++;
    chunk_wanted.clear();
    chunk_idle.wait(l, [] { return !chunk_building; });
}

void tile_chunksResume(void)
{
    {
        std::lock_guard<std::mutex> l(chunk_lock);
        chunk_paused = false;
        chunk_done.clear();
    }
    chunk_wake.notify_all();
}

size_t tile_chunksBytes(void)
{
    return chunk_bytes;
}

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
    if (!chunk_known || chunk_generation != tile_generation)
        chunk_reset();
    chunk_frame++;
    chunk_collect();

    unsigned char doubleSided = texture_double, smooth = texture_smoothed;
    unsigned char rgba[4] = {texture_colorR, texture_colorG, texture_colorB, texture_colorA};
    // Blending and the alpha test stay off while nothing drawn can be see-through (below).
    const GLboolean blend = glIsEnabled(GL_BLEND), alphaTest = glIsEnabled(GL_ALPHA_TEST);
    auto blending = [&](bool on) {
        if (on && blend)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        if (on && alphaTest)
            glEnable(GL_ALPHA_TEST);
        else
            glDisable(GL_ALPHA_TEST);
    };
    blending(false);

    float proj[16], model[16], clip[16], planes[6][4];
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    glGetFloatv(GL_MODELVIEW_MATRIX, model);
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++) {
            clip[4 * c + r] = 0.0f;
            for (int k = 0; k < 4; k++)
                clip[4 * c + r] += proj[4 * k + r] * model[4 * c + k];
        }
    tile_frustum(clip, planes);

    const float eye[3] = {ex / tile_size, ey / tile_size, ez / tile_sizeZ};  // in cells
    const float unit[3] = {tile_size, tile_size, tile_sizeZ};
    const unsigned size[3] = {tile_width, tile_height, tile_depth};
    // Cells' distances in world units are at least their count of the
    // smaller unit; the boxes tested are a hair (0.01 of a unit) larger.
    const float unitLeast = std::min(tile_size, tile_sizeZ);
    const float nearReach = tile_nearReach(proj) + 0.02f * std::max(tile_size, tile_sizeZ);
    int first[3], last[3];
    for (int a = 0; a < 3; a++)
        chunk_span(eye[a], view, chunk_n[a], &first[a], &last[a]);
    // What solid cells hide is left out: the chunks lines of sight reach,
    // through chunks up to a chunk's diagonal beyond the view distance
    // (a line to a far corner of a chunk in view passes no farther).
    std::vector<unsigned char> sides(chunk_table.size() * 6, 0x3F), reached;
    for (size_t k = 0; k < chunk_table.size(); k++)
        if (chunk_table[k])
            std::copy(chunk_table[k]->sides, chunk_table[k]->sides + 6, &sides[k * 6]);
    int eyeChunk[3], reachFirst[3], reachLast[3];
    for (int a = 0; a < 3; a++) {
        float q = floorf((eye[a] + 0.5f) / TILE_CHUNK);
        eyeChunk[a] = q >= 0.0f ? (q < (float)chunk_n[a] ? (int)q : chunk_n[a]) : -1;  // NaN: -1
        chunk_span(eye[a], view + 2 * TILE_CHUNK, chunk_n[a], &reachFirst[a], &reachLast[a]);
    }
    tile_chunksReach(chunk_n, sides.data(), eyeChunk, reachFirst, reachLast, &reached);
    // From the air around the world no line of sight enters a cave sealed
    // in rock: the faces only such a cave shows are left out.  From inside
    // rock or a sealed cave every face is drawn.
    bool eyeOutside = false;
    if (tile_lookOcclude && chunk_outside && chunk_outside->size() == (size_t)size[0] * size[1] * size[2]) {
        long cell[3];
        bool inGrid = true;
        for (int a = 0; a < 3; a++) {
            const float q = floorf(eye[a] + 0.5f);
            cell[a] = q > -1e9f && q < 1e9f ? (long)q : -1;
            inGrid &= cell[a] >= 0 && cell[a] < (long)size[a];
        }
        const bool known = eye[0] == eye[0] && eye[1] == eye[1] && eye[2] == eye[2];
        eyeOutside = known && (!inGrid || (*chunk_outside)[((size_t)cell[1] * size[2] + (size_t)cell[2]) * size[0] +
                                                             (size_t)cell[0]]);
    }
    std::vector<Seen> seen;
    std::vector<Want> want;
    TileLookStats stats = {};
    for (int cz = first[2]; cz <= last[2]; cz++)
        for (int cy = first[1]; cy <= last[1]; cy++)
            for (int cx = first[0]; cx <= last[0]; cx++) {
                const int c[3] = {cx, cy, cz};
                float lo[3], hi[3], d2 = 0.0f, centre2 = 0.0f;
                for (int a = 0; a < 3; a++) {
                    // The cells' own extent, and the eye's distance to it in cells.
                    int c0 = c[a] * TILE_CHUNK;
                    int c1 = std::min(c0 + TILE_CHUNK, (int)size[a]);
                    float near = std::max((float)c0 - 0.5f, std::min(eye[a], (float)c1 - 0.5f));
                    d2 += (eye[a] - near) * (eye[a] - near);
                    lo[a] = ((float)c0 - 0.5f) * unit[a];
                    hi[a] = ((float)c1 - 0.5f) * unit[a];
                    // The whole cube's centre, cut by the grid's edge or not
                    // (see CoverRun).
                    float mid = ((float)c0 + (float)TILE_CHUNK * 0.5f - 0.5f) * unit[a] - eye[a] * unit[a];
                    centre2 += mid * mid;
                }
                if (!(d2 <= (float)view * (float)view))
                    continue;
                int key = (cz * chunk_n[1] + cy) * chunk_n[0] + cx;
                bool inside = tile_boxInFrustum(planes, lo, hi);
                Chunk *chunk = chunk_table[(size_t)key].get();
                if (chunk)
                    chunk->lastSeen = chunk_frame;
                bool current = chunk && chunk->optTexture == tile_optTexture &&
                               chunk->optSmooth == tile_optSmooth;
                if (!current) {
                    want.push_back(Want{!inside, centre2, key});
                    stats.pending += inside;
                    stats.queued++;
                }
                if (!chunk || !inside || !reached[(size_t)key] ||
                    (chunk->faces.runs.empty() && (eyeOutside || chunk->enclosed.runs.empty())))
                    continue;
                // Its faces' own box, tighter than its cells'.
                const float *flo = eyeOutside ? chunk->lo : chunk->loAll, *fhi = eyeOutside ? chunk->hi : chunk->hiAll;
                if (tile_boxInFrustum(planes, flo, fhi))
                    seen.push_back(Seen{centre2, chunk, key, {flo[0], flo[1], flo[2]}, {fhi[0], fhi[1], fhi[2]},
                                        !(d2 * unitLeast * unitLeast >= nearReach * nearReach)});
            }
    chunk_trim();

    // Opaque faces nearest first, so that what they hide fails the depth
    // test; then the translucent ones farthest first, over what lies behind.
    // Faces whose every texel is opaque go first with blending and the
    // alpha test off: both leave such a face's pixels as they are, and
    // without them the renderer tests depth before it textures, so what
    // the near hills hide costs next to nothing.  Cut-outs follow with both
    // back on, then the translucent faces.
    std::sort(seen.begin(), seen.end(), [](const Seen &a, const Seen &b) { return a.distance < b.distance; });
    int cull = -1;
    const float eyeAt[3] = {ex, ey, ez};
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    // What the eye sees of each draw, as ranges of faces: all the faces
    // that look its way, less those the cover hides.
    std::vector<Shown> shown(seen.size());
    static CoverRun coverRun;
    CoverRun &cr = coverRun;
    cr.seen = &seen, cr.shown = &shown;
    cr.gone.assign(seen.size(), 0);
    std::copy(eyeAt, eyeAt + 3, cr.eye);
    cr.eyeOutside = eyeOutside;
    cr.done = tile_lookOcclude ? 0 : seen.size();
    std::thread coverThread;
    // Joined on every way out of the frame: the thread reads its chunks.
    struct Joiner {
        std::thread &t;
        ~Joiner()
        {
            if (t.joinable())
                t.join();
        }
    } joiner{coverThread};
    if (cr.done == 0) {
        cr.cover.begin(clip, (int)viewport[2], (int)viewport[3]);
        try {
            coverThread = std::thread(&CoverRun::run, &cr);
        } catch (const std::exception &) {
            // No thread to be had: the drawing thread runs the cover itself.
        }
        if (!coverThread.joinable())
            cr.run();
    }
    std::vector<int> firsts, counts;
    // What the eye sees of each facing of a run, and how far the eye
    // stands out beyond the chunk on that facing's side.
    struct Range {
        const TileRun *run;
        float outside;
        int first, count;
    };
    std::vector<Range> ranges;
    auto drawFaces = [&](const Seen &s, const TileFaces &faces, int pass) {
        ranges.clear();
        const Shown &those = shown[(size_t)(&s - seen.data())];
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
                chunk_facingEye(r, d, eyeAt, &first, &count);
            if (count <= 0)
                continue;
            if (chunk_axis(d.facing, &axis, &sign))
                outside = sign > 0.0f ? eyeAt[axis] - s.hi[axis] : s.lo[axis] - eyeAt[axis];
            ranges.push_back(Range{&r, outside, first, count});
        }
        // A run's draws follow each other: one call draws what the eye sees
        // of them.  The faces the eye looks at most squarely (the tops of
        // ground below it, the fronts of a hill ahead) tend to cover the
        // rest of the chunk, so opaque ones go first and hide caves and
        // back rows from the texturing.
        for (size_t a = 0, b; a < ranges.size(); a = b) {
            for (b = a; b < ranges.size() && ranges[b].run == ranges[a].run; b++)
                ;
            if (pass == TILE_PASS_SOLID)
                std::stable_sort(ranges.begin() + (long)a, ranges.begin() + (long)b,
                                 [](const Range &x, const Range &y) { return x.outside > y.outside; });
            firsts.clear();
            counts.clear();
            for (size_t k = a; k < b; k++) {
                if (ranges[k].first >= 0) {
                    firsts.push_back(ranges[k].first), counts.push_back(ranges[k].count);
                    continue;
                }
                // Ranges the cover left, from the chunk's list of them.
                for (int j = -1 - ranges[k].first, end = j + ranges[k].count; j < end; j++)
                    firsts.push_back(those.first[(size_t)j]), counts.push_back(those.count[(size_t)j]);
            }
            tile_drawRanges(*ranges[a].run, firsts.data(), counts.data(), (int)firsts.size(), &cull);
        }
    };
    auto draw = [&](const Seen &s, int pass) {
        drawFaces(s, s.chunk->faces, pass);
        if (!eyeOutside)
            drawFaces(s, s.chunk->enclosed, pass);
    };
    // Occlusion: what hid a chunk's opaque faces last frame likely hides
    // them now.  The chunks not hidden are drawn first, each asked how many
    // of its pixels passed the depth test.  The hidden ones are then tried
    // as their boxes against what is drawn: a box no pixel of which passes
    // holds nothing this frame shows, and its chunk is left out.
    stats.shadedBefore = chunk_hear();
    std::vector<size_t> doubtful;
    auto drawAsking = [&](const Seen &s) {
        if (!chunk_hasSolid(s.chunk->faces) && (eyeOutside || !chunk_hasSolid(s.chunk->enclosed)))
            return;
        glBeginQuery(GL_SAMPLES_PASSED, chunk_ask(s.key));
        draw(s, TILE_PASS_SOLID);
        glEndQuery(GL_SAMPLES_PASSED);
    };
    BoxMemo memo;
    memcpy(memo.clip, clip, sizeof memo.clip);
    memcpy(memo.eye, eyeAt, sizeof memo.eye);
    glGetIntegerv(GL_VIEWPORT, memo.viewport);
    memo.eyeOutside = eyeOutside;
    memo.changes = chunk_changes;
    for (size_t i = 0; i < seen.size(); i++) {
        cr.waitFor(i);
        if (cr.gone[i]) {
            stats.hidden++;
        } else if (tile_lookOcclude && seen[i].chunk->hidden && !seen[i].nearEye) {
            doubtful.push_back(i);
        } else {
            drawAsking(seen[i]);
            memo.drawnBefore.push_back(seen[i].key);
        }
    }
    if (coverThread.joinable())
        coverThread.join();
    std::vector<bool> left(seen.size());
    for (size_t i = 0; i < seen.size(); i++)
        left[i] = cr.gone[i] != 0;
    if (!doubtful.empty()) {
        // A still view over unchanged chunks asks again only about boxes it
        // has no answer for.
        const bool same = memcmp(memo.clip, chunk_memo.clip, sizeof memo.clip) == 0 &&
                          memcmp(memo.eye, chunk_memo.eye, sizeof memo.eye) == 0 &&
                          memcmp(memo.viewport, chunk_memo.viewport, sizeof memo.viewport) == 0 &&
                          memo.eyeOutside == chunk_memo.eyeOutside && memo.changes == chunk_memo.changes &&
                          memo.drawnBefore == chunk_memo.drawnBefore;
        std::vector<bool> shows(doubtful.size());
        std::vector<size_t> ask;
        for (size_t k = 0; k < doubtful.size(); k++) {
            const int key = seen[doubtful[k]].key;
            auto known = std::find_if(chunk_memo.shows.begin(), chunk_memo.shows.end(),
                                      [key](const std::pair<int, bool> &a) { return a.first == key; });
            if (same && known != chunk_memo.shows.end())
                shows[k] = known->second;
            else
                ask.push_back(k);
        }
        if (!ask.empty()) {
            std::vector<size_t> which;
            for (size_t k : ask)
                which.push_back(doubtful[k]);
            std::vector<bool> answers = chunk_boxesShow(seen, which, unit);
            for (size_t j = 0; j < ask.size(); j++)
                shows[ask[j]] = answers[j];
            cull = -1;  // the box tests turned culling on
        }
        for (size_t k = 0; k < doubtful.size(); k++)
            memo.shows.push_back({seen[doubtful[k]].key, shows[k]});
        for (size_t k = 0; k < doubtful.size(); k++) {
            const Seen &s = seen[doubtful[k]];
            if (!shows[k]) {
                left[doubtful[k]] = true;
                stats.hidden++;
                continue;
            }
            // Still flagged: its own answer, next frame, says whether its
            // faces show, and a still view keeps its box's answer meanwhile.
            drawAsking(s);
        }
    }
    size_t kept = 0;
    for (size_t i = 0; i < seen.size(); i++)
        if (!left[i]) {
            if (kept != i)
                shown[kept] = std::move(shown[i]);
            seen[kept++] = seen[i];
        }
    seen.resize(kept);
    shown.resize(kept);
    chunk_memo = std::move(memo);
    // The backdrop only where the opaque faces left the window clear, and
    // under every face that may show what lies behind it.
    if (tile_optTexture) {
        const Image *bg = tile_bg ? tile_bg : &tile_dummy;
        blending(bg->hasAlpha);
        tile_backdrop(true);
    }
    blending(true);
    for (const Seen &s : seen)
        draw(s, TILE_PASS_CUTOUT);
    for (size_t i = seen.size(); i-- > 0;)
        draw(seen[i], TILE_PASS_TRANSLUCENT);
    for (const Seen &s : seen) {
        stats.faces += s.chunk->faces.faces + (eyeOutside ? 0 : s.chunk->enclosed.faces);
        stats.sealed += eyeOutside ? s.chunk->enclosed.faces : 0;
    }
    // The state as the frame found it, for the other mode's next frame.
    texture_doubleSided(doubleSided);
    texture_smooth(smooth);
    texture_color(rgba[0], rgba[1], rgba[2]);
    texture_alpha(rgba[3]);
    texture_repeat(TEXTURE_CLAMP);

    // The worker gets a fresh list every frame: only its head is ever reached.
    const size_t listed = std::min(want.size(), (size_t)CHUNK_LISTED);
    std::partial_sort(want.begin(), want.begin() + (long)listed, want.end(), [](const Want &a, const Want &b) {
        return a.outside != b.outside ? b.outside : a.distance < b.distance;
    });
    want.resize(listed);
    std::vector<Job> jobs;
    const TileBlock world = {0, (int)size[0], 0, (int)size[1], 0, (int)size[2]};
    for (const Want &w : want) {
        int cx = w.key % chunk_n[0], cy = w.key / chunk_n[0] % chunk_n[1], cz = w.key / chunk_n[0] / chunk_n[1];
        TileBlock cells = {cx * TILE_CHUNK, std::min((cx + 1) * TILE_CHUNK, (int)size[0]),
                           cy * TILE_CHUNK, std::min((cy + 1) * TILE_CHUNK, (int)size[1]),
                           cz * TILE_CHUNK, std::min((cz + 1) * TILE_CHUNK, (int)size[2])};
        jobs.push_back(Job{w.key, cells, world, tile_optTexture, tile_optSmooth});
    }
    if (!jobs.empty())
        chunk_start();
    {
        std::lock_guard<std::mutex> l(chunk_lock);
        chunk_wanted.swap(jobs);
    }
    chunk_wake.notify_all();

    stats.drawn = (int)seen.size();
    stats.bytes = chunk_bytes;
    tile_lookStats = stats;
    if (!tile_quiet)
        printf("view %d chunks\n", stats.drawn);
    return stats.drawn;
}
