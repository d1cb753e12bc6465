// tile_draw.cpp -- drawing the world: face texturing, cube shapes and the per-frame pass
#include "tile.h"

#include <stddef.h>
#include <stdio.h>
#include <GL/gl.h>

#include "camera.h"
#include "texture.h"

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

void tile_setTexture(unsigned char type, unsigned char face, unsigned int x, unsigned int y,
                     unsigned int z)
{
    if (face > TILE_FRONT)
        return;
    const CubeDef *def = &tile[type];
    const FaceOrientation *o = &def->orientation[face];
    const float *base = tile_baseUV[o->rotate ? 1 : 0];
    for (int i = 0; i < 8; i += 2) {
        tile_uv[i] = o->flipH ? 1.0f - base[i] : base[i];
        tile_uv[i + 1] = o->flipV ? 1.0f - base[i + 1] : base[i + 1];
    }

    // Checkered types swap in the opposite face's picture on cells of even
    // sum; the wrap of an unsigned sum keeps its parity.
    unsigned f = face;
    if (def->checkered && ((x + y + z) & 1u) == 0)
        f = tile_opposites[face];

    unsigned char shade = def->shaded[f] ? 127 : 255;
    texture_color(shade, shade, shade);
    texture_alpha(255);

    const TextureEntry *entry = def->faceTexture[f];
    if (!tile_optTexture) {
        texture_smooth(1);
        texture_set(&tile_matrix);
    } else if (!entry) {
        texture_smooth(1);
        texture_set(&tile_dummy);
    } else {
        const Image *image = &entry->image;
        // Alpha pictures stay sharp: filtering would blur their cut-outs.
        texture_smooth(!image->hasAlpha && tile_optSmooth);
        float rs = tile_ratio(image->width, image->texWidth);
        float rt = tile_ratio(image->height, image->texHeight);
        for (int i = 0; i < 8; i += 2) {
            tile_uv[i] *= rs;
            tile_uv[i + 1] *= rt;
        }
        texture_alpha(entry->translucent ? 127 : 255);
        texture_set(image);
    }
}

void tile_quad(unsigned char reverse,
               float x1, float y1, float z1, float x2, float y2, float z2,
               float x3, float y3, float z3, float x4, float y4, float z4)
{
    const float p[4][3] = {{x1, y1, z1}, {x2, y2, z2}, {x3, y3, z3}, {x4, y4, z4}};
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; i++) {
        int c = reverse ? 3 - i : i;
        glTexCoord2f(tile_uv[2 * c], tile_uv[2 * c + 1]);
        glVertex3f(p[i][0], p[i][1], p[i][2]);
    }
    glEnd();
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

static void tile_emit(GLenum mode, const TileVertex *v, int count, float h, float d)
{
    glBegin(mode);
    for (int i = 0; i < count; i++) {
        const float *uv = &tile_uv[2 * v[i].corner];
        glTexCoord2f(uv[0], uv[1]);
        glVertex3f(v[i].x * h, v[i].y * h, v[i].z * d);
    }
    glEnd();
}

static void tile_wedge(unsigned char type, CubeDef *def, unsigned shape, unsigned x, unsigned y,
                       unsigned z, float h, float d)
{
    const TileWedge *w = &tile_wedges[shape - 1];
    unsigned char k = (unsigned char)shape;  // the slope replaces face k

    texture_doubleSided(def->doubleSided[k]);
    def->faceOn[k] = 0;
    tile_setTexture(type, k, x, y, z);
    tile_emit(GL_QUADS, w->slope, 4, h, d);

    texture_doubleSided(def->doubleSided[TILE_FRONT]);
    if (def->faceTexture[TILE_FRONT]) {
        tile_setTexture(type, TILE_FRONT, x, y, z);
        if (shape != 4)
            glNormal3f(0.0f, 0.0f, 1.0f);
        tile_emit(GL_TRIANGLES, w->front, 3, h, d);
        def->faceOn[TILE_FRONT] = 0;
    }

    texture_doubleSided(def->doubleSided[TILE_BACK]);
    if (def->faceTexture[TILE_BACK]) {
        tile_setTexture(type, TILE_BACK, x, y, z);
        tile_emit(GL_TRIANGLES, w->back, 3, h, d);
        def->faceOn[TILE_BACK] = 0;
    }
}

void tile_plot(unsigned char type, unsigned int x, unsigned int y, unsigned int z)
{
    CubeDef *def = &tile[type];
    float h = tile_size / 2.0f;
    float d = tile_sizeZ / 2.0f;
    unsigned shape = def->shape;

    if (shape >= 1 && shape <= 4) {
        tile_wedge(type, def, shape, x, y, z, h, d);
    } else if (shape >= 5 && shape <= 12) {
        unsigned char f = tile_slantFace[shape - 5];
        texture_doubleSided(def->doubleSided[f]);
        tile_setTexture(type, f, x, y, z);
        tile_emit(GL_QUADS, tile_slants[shape - 5], 4, h, d);
    }

    for (unsigned char f : tile_boxOrder) {
        texture_doubleSided(def->doubleSided[f]);
        if (!def->faceOn[f])
            continue;
        tile_setTexture(type, f, x, y, z);
        if (def->crossed && f != TILE_TOP && f != TILE_BOTTOM) {
            tile_emit(GL_QUADS, tile_crossedFaces[f], 4, h, d);
        } else {
            const TileBoxFace *b = &tile_boxFaces[f];
            glNormal3f(b->nx, b->ny, b->nz);
            tile_emit(GL_QUADS, b->v, 4, h, d);
        }
    }
}

// -------------------------------------------------------------- the pass

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

// The background picture stretched over the whole window, behind the world.
static void tile_backdrop(void)
{
    float right = PH > 0.0f ? PW / PH : 0.0f;
    camera_2D();
    texture_smooth(1);
    texture_color(255, 255, 255);
    texture_alpha(255);
    texture_set(tile_bg ? tile_bg : &tile_dummy);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, 1.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(right, 1.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(right, 0.0f);
    glEnd();
    camera_3D();
}

void tile_draw(float ex, float ey, float ez)
{
    if (tile_optTexture)
        tile_backdrop();

    TileBlock b;
    tile_block(ex, ey, ez, tile_width, tile_height, tile_depth, tile_size, tile_sizeZ, &b);
    printf("%d->%d\n", b.z0, b.z1);
    if (!tile_map)
        return;

    size_t width = tile_width, depth = tile_depth;
    for (int z = b.z0; z < b.z1; z++) {
        for (int y = b.y0; y < b.y1; y++) {
            const unsigned char *row = tile_map + ((size_t)y * depth + (size_t)z) * width;
            for (int x = b.x0; x < b.x1; x++) {
                unsigned char v = row[x];
                if (v == TILE_EMPTY)
                    continue;
                glPushMatrix();
                glTranslatef((float)x * tile_size, (float)y * tile_size, (float)z * tile_sizeZ);
                tile_plot(v, (unsigned)x, (unsigned)y, (unsigned)z);
                glPopMatrix();
            }
        }
    }
}
