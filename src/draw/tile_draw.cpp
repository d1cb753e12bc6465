// tile_draw.cpp -- drawing the world: face texturing, cube shapes, the face cache and the per-frame pass
#include "tile.h"
#include "tile_world.h"

#include <math.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <utility>
#include <stdlib.h>

#include "camera.h"
#include "gpu.h"
#include "texture.h"

TileFaces tile_faces;
unsigned char tile_direct;
unsigned char tile_quiet;

// ------------------------------------------------------------ the walk state

// Every box face visited notes its culling, drawn or not, as the walk
// has always left it behind.
static void tile_cull(TileWalk *w, bool doubleSided)
{
    w->cull = doubleSided;
    w->culled = true;
    w->sink->cull(doubleSided);
}

// ---------------------------------------------------------------- texturing

// Corner pairs (s, t) of corners 0..3, plain and with the quarter turn.
static const float tile_baseUV[2][8] = {
    {0, 0, 0, 1, 1, 1, 1, 0},
    {0, 1, 1, 1, 1, 0, 0, 0},
};

// The picture's share of its power-of-two texture; a zero-sized texture
// (a record never filled) keeps the coordinates unscaled rather than
// dividing by zero.
static float tile_ratio(unsigned short picture, unsigned short texture)
{
    return texture ? (float)picture / (float)texture : 1.0f;
}

void tile_setTexture(TileWalk *w, unsigned char type, unsigned char face, unsigned int x,
                     unsigned int y, unsigned int z)
{
    if (face > TILE_FRONT)
        return;
    const CubeDef *def = &w->cubes[type];
    const FaceOrientation *o = &def->orientation[face];
    const float *base = tile_baseUV[o->rotate ? 1 : 0];
    float *uv = w->uv;
    for (int i = 0; i < 8; i += 2) {
        uv[i] = o->flipH ? 1.0f - base[i] : base[i];
        uv[i + 1] = o->flipV ? 1.0f - base[i + 1] : base[i + 1];
    }

    // Checkered types swap in the opposite face's picture on cells of even
    // sum; the wrap of an unsigned sum keeps its parity.
    unsigned f = face;
    if (def->checkered && ((x + y + z) & 1u) == 0)
        f = tile_opposites[face];

    TileState &st = w->state;
    unsigned char shade = def->shaded[f] ? 127 : 255;
    st.r = st.g = st.b = shade;
    st.a = 255;
    w->stated = true;

    const TextureEntry *entry = def->faceTexture[f];
    if (!w->optTexture) {
        st.smooth = 1;
        st.image = &tile_matrix;
    } else if (!entry) {
        st.smooth = 1;
        st.image = &tile_dummy;
    } else {
        const Image *image = &entry->image;
        // Alpha pictures stay sharp: filtering would blur their cut-outs.
        st.smooth = !image->hasAlpha && w->optSmooth;
        float rs = tile_ratio(image->width, image->texWidth);
        float rt = tile_ratio(image->height, image->texHeight);
        for (int i = 0; i < 8; i += 2) {
            uv[i] *= rs;
            uv[i + 1] *= rt;
        }
        st.a = entry->translucent ? 127 : 255;
        st.image = image;
    }
}

// The render state of a face, sent to the texture module.
static void tile_apply(const TileState &st)
{
    texture_smooth(st.smooth);
    texture_color(st.r, st.g, st.b);
    texture_alpha(st.a);
    texture_set(st.image);
}

void tile_setTexture(unsigned char type, unsigned char face, unsigned int x, unsigned int y,
                     unsigned int z)
{
    TileSink none;
    TileWalk w;
    tile_walkBegin(&w, &none);
    tile_setTexture(&w, type, face, x, y, z);
    if (!w.stated)
        return;
    tile_apply(w.state);
    memcpy(tile_uv, w.uv, sizeof tile_uv);
}

void tile_quad(unsigned char reverse,
               float x1, float y1, float z1, float x2, float y2, float z2,
               float x3, float y3, float z3, float x4, float y4, float z4)
{
    const float p[4][3] = {{x1, y1, z1}, {x2, y2, z2}, {x3, y3, z3}, {x4, y4, z4}};
    gpu_begin(GPU_QUADS);
    for (int i = 0; i < 4; i++) {
        int c = reverse ? 3 - i : i;
        gpu_texCoord(tile_uv[2 * c], tile_uv[2 * c + 1]);
        gpu_vertex(p[i][0], p[i][1], p[i][2]);
    }
    gpu_end();
}

// ------------------------------------------------------------------- shapes

// A vertex as signs of the half extents (x and y scale by h, z by d) and
// the corner of tile_uv whose pair it carries.
struct TileVertex {
    signed char x, y, z, corner;
};

struct TileBoxFace {
    float nx, ny, nz;
    TileVertex v[4];
};

// The six box faces by face index, wound counter-clockwise from outside.
static const TileBoxFace tile_boxFaces[6] = {
    {0, 0, -1, {{1, 1, -1, 0}, {1, -1, -1, 1}, {-1, -1, -1, 2}, {-1, 1, -1, 3}}},   // BACK
    {0, 1, 0, {{-1, 1, -1, 0}, {-1, 1, 1, 1}, {1, 1, 1, 2}, {1, 1, -1, 3}}},        // TOP
    {1, 0, 0, {{1, 1, 1, 0}, {1, -1, 1, 1}, {1, -1, -1, 2}, {1, 1, -1, 3}}},        // RIGHT
    {0, -1, 0, {{-1, -1, 1, 0}, {-1, -1, -1, 1}, {1, -1, -1, 2}, {1, -1, 1, 3}}},   // BOTTOM
    {-1, 0, 0, {{-1, 1, -1, 0}, {-1, -1, -1, 1}, {-1, -1, 1, 2}, {-1, 1, 1, 3}}},   // LEFT
    {0, 0, 1, {{-1, 1, 1, 0}, {-1, -1, 1, 1}, {1, -1, 1, 2}, {1, 1, 1, 3}}},        // FRONT
};

// Side faces of a crossed type: half planes meeting on the centre line.
// TOP and BOTTOM rows are unused (they stay squares).
static const TileVertex tile_crossedFaces[6][4] = {
    {{-1, 1, 1, 0}, {-1, -1, 1, 1}, {0, -1, 0, 2}, {0, 1, 0, 3}},  // BACK
    {},
    {{0, 1, 0, 3}, {0, -1, 0, 2}, {1, -1, 1, 1}, {1, 1, 1, 0}},    // RIGHT
    {},
    {{-1, 1, -1, 0}, {-1, -1, -1, 1}, {0, -1, 0, 2}, {0, 1, 0, 3}},  // LEFT
    {{0, 1, 0, 3}, {0, -1, 0, 2}, {1, -1, -1, 1}, {1, 1, -1, 0}},  // FRONT
};

// Wedges 1..4: the slope in place of face k = shape, and the two caps,
// which keep the corner numbering of the full FRONT and BACK squares.
struct TileWedge {
    TileVertex slope[4], front[3], back[3];
};

static const TileWedge tile_wedges[4] = {
    {{{-1, 1, -1, 0}, {-1, 1, 1, 1}, {1, -1, 1, 2}, {1, -1, -1, 3}},
     {{-1, 1, 1, 0}, {-1, -1, 1, 1}, {1, -1, 1, 2}},
     {{1, -1, -1, 1}, {-1, -1, -1, 2}, {-1, 1, -1, 3}}},
    {{{1, 1, -1, 0}, {1, 1, 1, 1}, {-1, -1, 1, 2}, {-1, -1, -1, 3}},
     {{-1, 1, 1, 0}, {-1, -1, 1, 1}, {1, 1, 1, 3}},
     {{1, 1, -1, 0}, {-1, -1, -1, 2}, {-1, 1, -1, 3}}},
    {{{1, -1, -1, 0}, {1, -1, 1, 1}, {-1, 1, 1, 2}, {-1, 1, -1, 3}},
     {{-1, 1, 1, 0}, {1, -1, 1, 2}, {1, 1, 1, 3}},
     {{1, 1, -1, 0}, {1, -1, -1, 1}, {-1, 1, -1, 3}}},
    {{{-1, -1, -1, 0}, {-1, -1, 1, 1}, {1, 1, 1, 2}, {1, 1, -1, 3}},
     {{-1, -1, 1, 1}, {1, -1, 1, 2}, {1, 1, 1, 3}},
     {{1, 1, -1, 0}, {1, -1, -1, 1}, {-1, -1, -1, 2}}},
};

// Shapes 5..12: one slanted quad each, corners 0..3 in order.
static const TileVertex tile_slants[8][4] = {
    {{-1, 1, -1, 0}, {-1, -1, 1, 1}, {1, -1, 1, 2}, {1, 1, -1, 3}},   // 5
    {{1, -1, -1, 0}, {1, 1, 1, 1}, {-1, 1, 1, 2}, {-1, -1, -1, 3}},   // 6
    {{1, 1, -1, 0}, {1, -1, 1, 1}, {-1, -1, 1, 2}, {-1, 1, -1, 3}},   // 7
    {{-1, -1, -1, 0}, {-1, 1, 1, 1}, {1, 1, 1, 2}, {1, -1, -1, 3}},   // 8
    {{1, 1, -1, 0}, {-1, 1, 1, 1}, {-1, -1, 1, 2}, {1, -1, -1, 3}},   // 9
    {{-1, 1, -1, 0}, {-1, -1, -1, 1}, {1, -1, 1, 2}, {1, 1, 1, 3}},   // 10
    {{1, 1, -1, 0}, {1, -1, -1, 1}, {-1, -1, 1, 2}, {-1, 1, 1, 3}},   // 11
    {{1, 1, 1, 0}, {1, -1, 1, 1}, {-1, -1, -1, 2}, {-1, 1, -1, 3}},   // 12
};

// The slanted quads have no face of their own: the slopes 5..8 wear the
// TOP face's picture, flags and culling, the upright walls 9..12 the
// FRONT face's, whether or not that face is switched on, since the quad is
// the type's own surface.  Without this each would inherit whatever state
// the previous cell's last face left behind.
static const unsigned char tile_slantFace[8] = {
    TILE_TOP, TILE_TOP, TILE_TOP, TILE_TOP, TILE_FRONT, TILE_FRONT, TILE_FRONT, TILE_FRONT,
};

// The box stage's order of faces.
static const unsigned char tile_boxOrder[6] = {
    TILE_BACK, TILE_FRONT, TILE_TOP, TILE_RIGHT, TILE_BOTTOM, TILE_LEFT,
};

// Hands one face, with the state tile_setTexture left, to the walk's sink.
static void tile_emit(TileWalk *w, unsigned mode, const TileVertex *v, int count, float h, float d,
                      const float *normal = nullptr)
{
    TileFace face;
    face.state = w->state;
    face.state.cull = w->cull;
    face.mode = mode;
    face.count = count;
    face.hasNormal = normal != nullptr;
    for (int i = 0; normal && i < 3; i++)
        face.normal[i] = normal[i];
    memcpy(face.origin, w->origin, sizeof face.origin);
    for (int i = 0; i < count; i++) {
        const float *uv = &w->uv[2 * v[i].corner];
        float *c = face.corner[i];
        c[0] = v[i].x * h, c[1] = v[i].y * h, c[2] = v[i].z * d, c[3] = uv[0], c[4] = uv[1];
    }
    w->sink->face(face);
}

// A wedge's slope stands in for box face k, and its caps for FRONT and
// BACK when they have pictures: returns those faces, for the box stage to
// leave out.
static unsigned tile_wedge(TileWalk *w, unsigned char type, const CubeDef *def, unsigned shape,
                           unsigned x, unsigned y, unsigned z, float h, float d)
{
    const TileWedge *wedge = &tile_wedges[shape - 1];
    unsigned char k = (unsigned char)shape;
    unsigned replaced = 1u << k;

    tile_cull(w, def->doubleSided[k]);
    tile_setTexture(w, type, k, x, y, z);
    tile_emit(w, GPU_QUADS, wedge->slope, 4, h, d);

    tile_cull(w, def->doubleSided[TILE_FRONT]);
    if (def->faceTexture[TILE_FRONT]) {
        static const float towardsZ[3] = {0.0f, 0.0f, 1.0f};
        tile_setTexture(w, type, TILE_FRONT, x, y, z);
        tile_emit(w, GPU_TRIANGLES, wedge->front, 3, h, d, shape != 4 ? towardsZ : nullptr);
        replaced |= 1u << TILE_FRONT;
    }

    tile_cull(w, def->doubleSided[TILE_BACK]);
    if (def->faceTexture[TILE_BACK]) {
        tile_setTexture(w, type, TILE_BACK, x, y, z);
        tile_emit(w, GPU_TRIANGLES, wedge->back, 3, h, d);
        replaced |= 1u << TILE_BACK;
    }
    return replaced;
}

void tile_plot(TileWalk *w, unsigned char type, unsigned int x, unsigned int y, unsigned int z)
{
    const CubeDef *def = &w->cubes[type];
    float h = tile_size / 2.0f;
    float d = tile_sizeZ / 2.0f;
    unsigned shape = def->shape;
    unsigned left = w->hidden;  // bit f: box face f is not drawn

    if (shape >= 1 && shape <= 4) {
        left |= tile_wedge(w, type, def, shape, x, y, z, h, d);
    } else if (shape >= 5 && shape <= 12) {
        unsigned char f = tile_slantFace[shape - 5];
        tile_cull(w, def->doubleSided[f]);
        tile_setTexture(w, type, f, x, y, z);
        tile_emit(w, GPU_QUADS, tile_slants[shape - 5], 4, h, d);
    }

    for (unsigned char f : tile_boxOrder) {
        tile_cull(w, def->doubleSided[f]);
        if (!def->faceOn[f] || (left >> f & 1u))
            continue;
        tile_setTexture(w, type, f, x, y, z);
        if (def->crossed && f != TILE_TOP && f != TILE_BOTTOM) {
            tile_emit(w, GPU_QUADS, tile_crossedFaces[f], 4, h, d);
        } else {
            const TileBoxFace *b = &tile_boxFaces[f];
            const float normal[3] = {b->nx, b->ny, b->nz};
            tile_emit(w, GPU_QUADS, b->v, 4, h, d, normal);
        }
    }
}

// --------------------------------------------------------------- the cache

// A clamped face may join a run whose picture repeats either way (its
// coordinates stay within 0..1), but the two ways never share a run.
static bool tile_sameState(const TileRun &a, const TileFace &f)
{
    const TileState &b = f.state;
    return a.image == b.image && a.smooth == b.smooth && a.r == b.r && a.g == b.g && a.b == b.b &&
           a.a == b.a && a.cull == b.cull && a.mode == f.mode &&
           (a.repeat == TEXTURE_CLAMP || f.repeat == TEXTURE_CLAMP || a.repeat == f.repeat);
}

void TileRecorder::start(TileFaces *faces)
{
    out = faces;
    out->runs.clear();
    out->draws.clear();
    out->faces = 0;
    opaqueRuns = 0;
    lastOpaque = -1;
}

// Opaque faces join the run of their state wherever it is; a translucent
// face joins only the run it follows, so translucent faces keep the walk's
// order.  The first opaque run searched is the last one used.
void TileRecorder::face(const TileFace &f)
{
    TileFaces *c = out;
    const TileState &st = f.state;
    int run = -1;
    if (st.a < 255) {
        if (c->runs.size() > (size_t)opaqueRuns && tile_sameState(c->runs.back(), f))
            run = (int)c->runs.size() - 1;
    } else if (lastOpaque >= 0 && tile_sameState(c->runs[lastOpaque], f)) {
        run = lastOpaque;
    } else {
        for (int i = 0; i < opaqueRuns && run < 0; i++)
            if (tile_sameState(c->runs[i], f))
                run = i;
    }
    if (run < 0) {
        // A new opaque run goes before the translucent ones.
        run = st.a < 255 ? (int)c->runs.size() : opaqueRuns++;
        c->runs.insert(c->runs.begin() + run,
                       TileRun{st.image, st.smooth, st.r, st.g, st.b, st.a, st.cull, f.mode, {}});
    }
    if (c->runs[run].a == 255)
        lastOpaque = run;
    if (f.repeat != TEXTURE_CLAMP)
        c->runs[run].repeat = f.repeat;
    std::vector<float> &v = c->runs[run].vertices;
    for (int i = 0; i < f.count; i++) {
        const float *k = f.corner[i];
        v.insert(v.end(), {f.origin[0] + k[0], f.origin[1] + k[1], f.origin[2] + k[2], k[3], k[4]});
    }
    c->faces++;
}

int tile_faceAxis(const TileFace &face)
{
    int axis = -1;
    for (int k = 0; face.hasNormal && k < 3; k++)
        if (face.normal[k] != 0.0f)
            axis = axis < 0 ? k : 3;
    return axis < 3 ? axis : -1;
}

// The neighbour across each box face, by face index.
static const signed char tile_across[6][3] = {
    {0, 0, -1}, {0, 1, 0}, {1, 0, 0}, {0, -1, 0}, {-1, 0, 0}, {0, 0, 1},
};

static int tile_corners(unsigned mode)
{
    return mode == GPU_TRIANGLES ? 3 : 4;
}

// Opaque faces are drawn nearest first, so that the faces behind them fail
// the depth test before they are textured.  Each opaque run is sorted into
// bands a row deep by the distance of its faces' centres from the middle
// of the eye's cell, and the runs take turns band by band: drawn run after
// run, a later run's near faces would cover what an earlier run's far faces
// had already textured.  Translucent runs follow whole, in walk order.
static void tile_order(const TileBlock *b, int opaqueRuns, TileFaces *out)
{
    enum { BANDS = 64 };  // beyond the farthest face of a 21-cell block
    const float eye[3] = {((float)b->x0 + 10.5f) * tile_size, ((float)b->y0 + 10.5f) * tile_size,
                          ((float)b->z1 + 0.5f) * tile_sizeZ};
    const float deep = std::max(tile_size, tile_sizeZ);
    std::vector<unsigned> starts((size_t)opaqueRuns * (BANDS + 1));
    std::vector<unsigned char> band;
    std::vector<float> sorted;
    for (int i = 0; i < opaqueRuns; i++) {
        std::vector<float> &v = out->runs[i].vertices;
        const size_t corners = (size_t)tile_corners(out->runs[i].mode), face = corners * 5;
        unsigned *start = &starts[(size_t)i * (BANDS + 1)];
        band.clear();
        for (size_t a = 0; a < v.size(); a += face) {
            float d = 0.0f;
            for (size_t j = 0; j < 3; j++) {
                float c = 0.0f;
                for (size_t k = 0; k < corners; k++)
                    c += v[a + k * 5 + j];
                d += (c / (float)corners - eye[j]) * (c / (float)corners - eye[j]);
            }
            d = sqrtf(d) / deep;
            band.push_back(d < BANDS - 1 ? (unsigned char)d : BANDS - 1);  // NaN: the last band
            start[band.back() + 1]++;
        }
        for (int k = 0; k < BANDS; k++)
            start[k + 1] += start[k];
        // A stable counting sort: within a band the walk's order stays.
        sorted.resize(v.size());
        std::vector<unsigned> next(start, start + BANDS);
        for (size_t f = 0; f < band.size(); f++)
            std::copy_n(v.begin() + (long)(f * face), face,
                        sorted.begin() + (long)(next[band[f]]++ * face));
        v.swap(sorted);
    }
    out->draws.clear();
    for (int k = 0; k < BANDS; k++)
        for (int i = 0; i < opaqueRuns; i++) {
            const unsigned *start = &starts[(size_t)i * (BANDS + 1)];
            const int corners = tile_corners(out->runs[i].mode);
            if (start[k] < start[k + 1])
                out->draws.push_back(TileDraw{i, (int)start[k] * corners,
                                              (int)(start[k + 1] - start[k]) * corners});
        }
    for (size_t i = (size_t)opaqueRuns; i < out->runs.size(); i++)
        out->draws.push_back(TileDraw{(int)i, 0, (int)(out->runs[i].vertices.size() / 5)});
}

static thread_local unsigned long tile_walks;

unsigned long tile_walksHere(void)
{
    return tile_walks;
}

void tile_walkBegin(TileWalk *w, TileSink *sink, unsigned char optTexture, unsigned char optSmooth,
                    const TileSnapshot *world)
{
    *w = TileWalk{};
    w->sink = sink;
    w->world = world;
    w->cubes = world ? world->tables->cubes : tile;
    w->optTexture = optTexture;
    w->optSmooth = optSmooth;
    tile_walks++;
}

void tile_walkBegin(TileWalk *w, TileSink *sink)
{
    tile_walkBegin(w, sink, tile_optTexture, tile_optSmooth);
}

void tile_walkCells(TileWalk *w, const TileBlock *cells, const TileBlock *within)
{
    bool solid[256];
    for (int t = 0; t < 256; t++)
        solid[t] = tile_solidType(w->cubes, (unsigned char)t);
    const TileSnapshot *world = w->world;
    size_t width = tile_width, depth = tile_depth;
    auto cell = [&](int x, int y, int z) {
        return world ? world->at(x, y, z) : tile_map[((size_t)y * depth + (size_t)z) * width + (size_t)x];
    };
    const bool any = world ? !world->chunks.empty() : tile_map != nullptr;
    const TileBlock *b = cells;
    // The last cell visited: should its last face be hidden, that face's
    // state is still left behind below, as a walk without hiding leaves it.
    int last[4] = {-1, 0, 0, 0};
    unsigned lastHidden = 0;
    for (int z = b->z0; z < b->z1 && any; z++)
        for (int y = b->y0; y < b->y1; y++)
            for (int x = b->x0; x < b->x1; x++) {
                unsigned char v = cell(x, y, z);
                if (v == TILE_EMPTY)
                    continue;
                w->hidden = 0;
                for (int f = 0; f < 6 && solid[v]; f++) {
                    int n[3] = {x + tile_across[f][0], y + tile_across[f][1], z + tile_across[f][2]};
                    if (n[0] >= within->x0 && n[0] < within->x1 && n[1] >= within->y0 &&
                        n[1] < within->y1 && n[2] >= within->z0 && n[2] < within->z1 &&
                        solid[cell(n[0], n[1], n[2])])
                        w->hidden |= 1u << f;
                }
                w->origin[0] = (float)x * tile_size;
                w->origin[1] = (float)y * tile_size;
                w->origin[2] = (float)z * tile_sizeZ;
                tile_plot(w, v, (unsigned)x, (unsigned)y, (unsigned)z);
                last[0] = v, last[1] = x, last[2] = y, last[3] = z;
                lastHidden = w->hidden;
            }
    w->hidden = 0;
    // A solid cell draws LEFT last.
    if (last[0] >= 0 && (lastHidden >> TILE_LEFT & 1u))
        tile_setTexture(w, (unsigned char)last[0], TILE_LEFT, (unsigned)last[1], (unsigned)last[2],
                        (unsigned)last[3]);
}

// What the walk leaves behind, for the draw to leave it too.
static void tile_keepEnd(const TileWalk *w, TileFaces *out)
{
    out->endCulled = w->culled;
    out->endStated = w->stated;
    out->endCull = w->cull;
    out->endSmooth = w->state.smooth;
    out->endR = w->state.r, out->endG = w->state.g, out->endB = w->state.b;
    out->endA = w->state.a;
}

void tile_record(const TileBlock *b, TileFaces *out)
{
    out->built = true;
    out->block = *b;
    out->optSmooth = tile_optSmooth;
    out->optAlpha = tile_optAlpha;
    out->optTexture = tile_optTexture;
    out->generation = tile_generation;

    TileRecorder rec;
    rec.start(out);
    TileWalk w;
    tile_walkBegin(&w, &rec);
    tile_walkCells(&w, b, b);
    tile_keepEnd(&w, out);
    tile_order(b, rec.opaqueRuns, out);
    // Growing by doubling may have reserved up to twice what is kept; the
    // fullest block (seven faces a cell) then stays near 5 MB.
    for (TileRun &r : out->runs)
        r.vertices.shrink_to_fit();
}

void tile_refresh(const TileBlock *b, TileFaces *out)
{
    if (!out->built || memcmp(&out->block, b, sizeof *b) != 0 ||
        out->optSmooth != tile_optSmooth || out->optAlpha != tile_optAlpha ||
        out->optTexture != tile_optTexture || out->generation != tile_generation)
        tile_record(b, out);
}

// ------------------------------------------------------------ vertex buffers

int tile_buffers = -1;
static unsigned tile_bound;  // the vertex buffer bound, as last set here

bool tile_buffersUsable(void)
{
    if (tile_buffers < 0) {
        const char *off = getenv("TAVO_NO_BUFFERS");
        tile_buffers = gpu_buffersSupported() && !(off && *off);
    }
    return tile_buffers == 1;
}

static void tile_bind(unsigned buffer)
{
    if (buffer != tile_bound)
        gpu_bindBuffer(buffer);
    tile_bound = buffer;
}

void tile_unbindBuffer(void)
{
    tile_bind(0);
}

unsigned tile_upload(TileFaces *const *faces, int n, size_t *bytes)
{
    *bytes = 0;
    size_t total = 0;
    for (int i = 0; i < n; i++)
        for (const TileRun &r : faces[i]->runs)
            total += r.vertices.size() * sizeof(float);
    if (total == 0 || !tile_buffersUsable())
        return 0;
    gpu_clearErrors();  // what came before is not the upload's
    unsigned buffer = gpu_bufferCreate();
    tile_bind(buffer);
    gpu_bufferAllocate(total);
    size_t at = 0;
    for (int i = 0; i < n; i++)
        for (const TileRun &r : faces[i]->runs) {
            const size_t size = r.vertices.size() * sizeof(float);
            gpu_bufferWrite(at, size, r.vertices.data());
            at += size;
        }
    tile_unbindBuffer();
    if (gpu_failed()) {
        gpu_bufferDelete(buffer);  // no room: drawn from memory
        return 0;
    }
    at = 0;
    for (int i = 0; i < n; i++)
        for (TileRun &r : faces[i]->runs) {
            r.buffer = buffer, r.offset = at;
            at += r.vertices.size() * sizeof(float);
        }
    *bytes = total;
    return buffer;
}

void tile_bufferFree(unsigned buffer)
{
    if (buffer == 0)
        return;
    if (tile_bound == buffer)
        tile_bound = 0;  // deleting it unbinds it
    gpu_bufferDelete(buffer);
}

// A run's state and arrays, before its corners are drawn.
static void tile_runState(const TileRun &r, int *cull)
{
    texture_smooth(r.smooth);
    texture_color(r.r, r.g, r.b);
    texture_alpha(r.a);
    if (r.cull != *cull)
        texture_doubleSided(r.cull);
    *cull = r.cull;
    texture_repeat(r.repeat);
    texture_set(r.image);
    const bool buffered = r.buffer != 0 && tile_buffers != 0;
    tile_bind(buffered ? r.buffer : 0);
    // In a buffer the pointers are offsets into it.
    const float *v = buffered ? reinterpret_cast<const float *>(r.offset) : r.vertices.data();
    gpu_vertexArrays(v);
}

void tile_drawRun(const TileRun &r, int first, int count, int *cull)
{
    tile_runState(r, cull);
    gpu_drawArrays(r.mode, first, count);
}

void tile_drawRanges(const TileRun &r, const int *first, const int *count, int n, int *cull)
{
    if (n <= 0)
        return;
    tile_runState(r, cull);
    gpu_drawRanges(r.mode, first, count, n);
}

void tile_drawFaces(const TileFaces *faces)
{
    int cull = -1;  // culling goes straight to GL, so only changes are sent
    for (const TileDraw &d : faces->draws)
        tile_drawRun(faces->runs[(size_t)d.run], d.first, d.count, &cull);
    if (faces->endCulled)
        texture_doubleSided(faces->endCull);
    if (faces->endStated) {
        texture_smooth(faces->endSmooth);
        texture_color(faces->endR, faces->endG, faces->endB);
        texture_alpha(faces->endA);
    }
}

size_t tile_facesBytes(const TileFaces *faces)
{
    size_t n = faces->runs.capacity() * sizeof(TileRun) + faces->draws.capacity() * sizeof(TileDraw);
    for (const TileRun &r : faces->runs)
        n += r.vertices.capacity() * sizeof(float);
    return n;
}

// -------------------------------------------------------------- the pass

// Straight to OpenGL, each face where the modelview matrix puts its cell.
struct TileGLSink : TileSink {
    void cull(bool doubleSided) override { texture_doubleSided(doubleSided); }
    void face(const TileFace &f) override
    {
        tile_apply(f.state);
        if (f.hasNormal)
            gpu_normal(f.normal);
        gpu_begin(f.mode);
        for (int i = 0; i < f.count; i++) {
            gpu_texCoord(f.corner[i][3], f.corner[i][4]);
            gpu_vertex(f.corner[i][0], f.corner[i][1], f.corner[i][2]);
        }
        gpu_end();
    }
};

// The index q falls in, clamped to 0..n-1 before any conversion, so that
// negative, huge, infinite and NaN positions (NaN counts as the low end)
// never reach an out-of-range float-to-int conversion.  n >= 1.
static int tile_clampIndex(float q, unsigned n)
{
    if (!(q > 0.0f))
        return 0;
    if (q >= (float)(n - 1))
        return (int)(n - 1);
    return (int)q;
}

// Up to 21 cells from the one 10 cells before the eye; the end is clamped
// to the last index, which is itself never drawn.
static void tile_span(float q, unsigned n, int *first, int *end)
{
    *first = tile_clampIndex(q, n);
    *end = *first + 21 < (int)n ? *first + 21 : (int)n - 1;
}

void tile_block(float ex, float ey, float ez, unsigned width, unsigned height, unsigned depth,
                float size, float sizeZ, TileBlock *out)
{
    *out = TileBlock{0, 0, 0, 0, 0, 0};
    if (width == 0 || height == 0 || depth == 0)
        return;
    tile_span(ex / size - 10.0f, width, &out->x0, &out->x1);
    tile_span(ey / size - 10.0f, height, &out->y0, &out->y1);
    // The rows before the eye's own, up to 21 of them.
    out->z1 = tile_clampIndex(ez / sizeZ, depth);
    out->z0 = out->z1 - 21 > 0 ? out->z1 - 21 : 0;
}

int tile_behindDrawnBegin(const Image *picture)
{
    // At the far end of the depth range, passing only where it is clear.
    int depthFunc = gpu_getDepthFunc();
    gpu_depthTest(true);
    gpu_depthFunc(GPU_DEPTH_LEQUAL);
    gpu_depthRange(1.0, 1.0);
    gpu_depthWrite(false);
    tile_backgroundState(picture);
    return depthFunc;
}

void tile_behindDrawnEnd(int depthFunc)
{
    gpu_depthWrite(true);
    gpu_depthRange(0.0, 1.0);
    gpu_depthFunc(depthFunc);
}

void tile_backgroundState(const Image *picture)
{
    texture_smooth(1);
    texture_color(255, 255, 255);
    texture_alpha(255);
    texture_repeat(TEXTURE_CLAMP);
    texture_set(picture);
}

// The background picture stretched over the whole window, behind the world.
void tile_backdrop(bool behindDrawn)
{
    float right = PH > 0.0f ? PW / PH : 0.0f;
    camera_2D();
    const Image *picture = tile_bg ? tile_bg : &tile_dummy;
    int depthFunc = behindDrawn ? tile_behindDrawnBegin(picture) : 0;
    if (!behindDrawn)
        tile_backgroundState(picture);
    gpu_begin(GPU_QUADS);
    gpu_texCoord(0.0f, 0.0f);
    gpu_vertex2(0.0f, 0.0f);
    gpu_texCoord(0.0f, 1.0f);
    gpu_vertex2(0.0f, 1.0f);
    gpu_texCoord(1.0f, 1.0f);
    gpu_vertex2(right, 1.0f);
    gpu_texCoord(1.0f, 0.0f);
    gpu_vertex2(right, 0.0f);
    gpu_end();
    if (behindDrawn)
        tile_behindDrawnEnd(depthFunc);
    camera_3D();
}

void tile_draw(float ex, float ey, float ez)
{
    if (tile_optTexture)
        tile_backdrop();

    TileBlock b;
    tile_block(ex, ey, ez, tile_width, tile_height, tile_depth, tile_size, tile_sizeZ, &b);
    if (!tile_quiet)
        printf("%d->%d\n", b.z0, b.z1);
    if (!tile_map)
        return;
    if (!tile_direct) {
        tile_refresh(&b, &tile_faces);
        tile_drawFaces(&tile_faces);
        return;
    }

    TileGLSink gl;
    TileWalk w;
    tile_walkBegin(&w, &gl);
    size_t width = tile_width, depth = tile_depth;
    for (int z = b.z0; z < b.z1; z++) {
        for (int y = b.y0; y < b.y1; y++) {
            const unsigned char *row = tile_map + ((size_t)y * depth + (size_t)z) * width;
            for (int x = b.x0; x < b.x1; x++) {
                unsigned char v = row[x];
                if (v == TILE_EMPTY)
                    continue;
                gpu_pushMatrix();
                gpu_translate((float)x * tile_size, (float)y * tile_size, (float)z * tile_sizeZ);
                tile_plot(&w, v, (unsigned)x, (unsigned)y, (unsigned)z);
                gpu_popMatrix();
            }
        }
    }
}
