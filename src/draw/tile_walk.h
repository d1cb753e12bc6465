// tile_walk.h -- the face walker and its sinks: every face decided once, handed to OpenGL, the face cache, a chunk or an export
#ifndef TAVO_TILE_WALK_H
#define TAVO_TILE_WALK_H

#include <stddef.h>
#include <vector>
#include "texture.h"
#include "tile_model.h"

// ---------------------------------------------------------------- drawing

void tile_quad(unsigned char reverse,
               float x1, float y1, float z1, float x2, float y2, float z2,
               float x3, float y3, float z3, float x4, float y4, float z4);
void tile_draw(float ex, float ey, float ez);

// ---- the face walker (tile_draw.cpp) ----
// tile_plot and tile_setTexture decide every face: its corners, texture
// coordinates and render state.  They hand each face to a sink: OpenGL
// straight away, the face cache, a chunk of the chunk cache, an export.
// The walk reads the world's tables and writes nothing but its own
// TileWalk, so walks on other threads may run beside it while the tables
// stay put.
struct TileState {
    const Image *image;
    unsigned char smooth, r, g, b, a;
    unsigned char cull;  // double-sided: culling off
};
struct TileFace {
    TileState state;
    unsigned mode;      // GPU_QUADS or GPU_TRIANGLES
    int count;          // corners: 4 or 3
    bool hasNormal;     // box faces and most wedge caps carry one
    float normal[3];
    float origin[3];    // the cell's place in the world
    float corner[4][5]; // x, y, z from the cell's centre, s, t
    // TEXTURE_REPEAT: s, t run past 0..1, the picture repeats across the
    // face; TEXTURE_MIRROR: it shows mirrored past each whole repeat.
    unsigned char repeat = TEXTURE_CLAMP;
};
// The axis (0 x, 1 y, 2 z) a face's normal lies along; -1 when it has
// no normal or a slanted one.
int tile_faceAxis(const TileFace &face);
class TileSink {
public:
    virtual ~TileSink() {}
    virtual void face(const TileFace &face) { (void)face; }
    // The culling of every box face the walk visits, drawn or not.
    virtual void cull(bool doubleSided) { (void)doubleSided; }
};
// One walk: its options, taken at tile_walkBegin, and the state it is in.
struct TileSnapshot;
struct TileWalk {
    TileSink *sink;
    const CubeDef *cubes;       // the cube table walked: tile, or a snapshot's
    const TileSnapshot *world;  // the cells walked: a snapshot's, or null for tile_map
    unsigned char optTexture, optSmooth;
    unsigned hidden;   // bit f: the cell's box face f is left out
    float origin[3];   // the cell's place
    TileState state;   // as tile_setTexture left it
    float uv[8];       // s, t of corners 0..3, as tile_setTexture left them
    unsigned char cull;
    bool stated, culled;  // tile_setTexture, a culling seen
};
// Starts a walk into sink with the options tile_optTexture and tile_optSmooth.
void tile_walkBegin(TileWalk *w, TileSink *sink);
// The same with the options given, over the snapshot world when given (its
// cells and cube table): walks on other threads read no global.
void tile_walkBegin(TileWalk *w, TileSink *sink, unsigned char optTexture, unsigned char optSmooth,
                    const TileSnapshot *world = nullptr);
// Walks begun on the calling thread so far.
unsigned long tile_walksHere(void);
void tile_setTexture(TileWalk *w, unsigned char type, unsigned char face, unsigned int x,
                     unsigned int y, unsigned int z);
void tile_plot(TileWalk *w, unsigned char type, unsigned int x, unsigned int y, unsigned int z);
// tile_setTexture for one face sent straight to OpenGL: binds its picture,
// sets the texture module's state and tile_uv.
void tile_setTexture(unsigned char type, unsigned char face, unsigned int x, unsigned int y,
                     unsigned int z);

// ---- the drawn block (tile_draw.cpp) ----
// The cells one frame draws around an eye position: columns x0..x1-1,
// layers y0..y1-1, rows z0..z1-1, always inside a width x height x depth
// grid (all empty when any side is 0).  Positions outside the world,
// infinite or NaN (taken as the low end) clamp before conversion.
void tile_block(float ex, float ey, float ez, unsigned width, unsigned height, unsigned depth,
                float size, float sizeZ, TileBlock *out);

// Walks the cells of `cells` (inside the grid) through tile_plot, row by
// row.  A box face is left out when the cell across it lies inside
// `within` and both cells are solid (box shape 0, not crossed, all six
// faces on, every face's picture opaque without an alpha channel).  With
// the whole grid as `within`, faces between two solid cells never show.
void tile_walkCells(TileWalk *w, const TileBlock *cells, const TileBlock *within);

// ---- the face cache (tile_draw.cpp) ----
// The drawn block's faces as the walk leaves them, already moved to their
// cells, filed into runs of one render state each: opaque runs grouped by
// state, then the translucent faces (opacity below 255) in walk order, so
// that what lies behind glass and water shows through it.  The draws take
// the opaque runs' faces nearest first, band by band, then the translucent
// runs whole.
struct TileRun {
    const Image *image;
    unsigned char smooth, r, g, b, a, cull;  // cull: double-sided, culling off
    unsigned mode;                           // GPU_QUADS or GPU_TRIANGLES
    std::vector<float> vertices;             // x, y, z, s, t of each corner
    unsigned char repeat = TEXTURE_CLAMP;    // as its faces' pictures repeat: one way a run
    // The vertex buffer that holds a copy of vertices from offset bytes on
    // (tile_upload), or 0: drawn from vertices through client arrays.
    unsigned buffer = 0;
    size_t offset = 0;
};
struct TileDraw {
    int run, first, count;  // corners first..first + count - 1 of runs[run]
    // Chunks: the box face (TILE_BACK...) whose way every face of the draw
    // looks, so that a chunk wholly behind them skips it; -1 for any way.
    int facing = -1;
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};  // chunks: the box of its faces
};
struct TileFaces {
    bool built;
    // What the faces were built from; any change builds them again.
    TileBlock block;
    unsigned char optSmooth, optAlpha, optTexture;
    unsigned generation;
    std::vector<TileRun> runs;
    std::vector<TileDraw> draws;  // in the order drawn
    long faces;
    // The state the walk leaves behind: culling of the last face visited,
    // smoothing and colour of the last face drawn, when there were any.
    bool endCulled, endStated;
    unsigned char endCull, endSmooth, endR, endG, endB, endA;
};
// The sink that files faces into runs; draws are left to the caller.
class TileRecorder : public TileSink {
public:
    void start(TileFaces *faces);  // empties faces
    void face(const TileFace &face) override;
    TileFaces *out = nullptr;
    int opaqueRuns = 0;  // at the front of out->runs
    int lastOpaque = -1;
};
extern TileFaces tile_faces;  // the viewer's cache, used by tile_draw
extern unsigned char tile_direct;  // 1: every frame walks the block straight to OpenGL
extern unsigned char tile_quiet;   // 1: no console line for each frame drawn

// Walks block b through tile_plot into out.  A box face is left out when
// the cell across it lies inside b and both cells are solid (box shape 0,
// not crossed, all six faces on, every face's picture opaque without an
// alpha channel); faces on the block's boundary stay.
void tile_record(const TileBlock *b, TileFaces *out);
// Builds out again when it no longer matches b, the options or the world.
void tile_refresh(const TileBlock *b, TileFaces *out);
// Draws the runs with client arrays, then leaves the walk's end state.
void tile_drawFaces(const TileFaces *faces);
// Corners first..first + count - 1 of one run in its state; *cull is the
// culling last sent (-1: none yet), sent again only when it changes.
void tile_drawRun(const TileRun &run, int first, int count, int *cull);
// The same for n ranges of one run, in one call.
void tile_drawRanges(const TileRun &run, const int *first, const int *count, int n, int *cull);
// Vertex buffers (OpenGL 1.5), which free look keeps its chunks' corners
// in so that the driver does not copy them every frame.  tile_buffers: -1
// decided at first use (off below OpenGL 1.5 or when TAVO_NO_BUFFERS is
// set in the environment), 0 off (every run drawn through client arrays),
// 1 on.  Only on the drawing thread, with the context current.
extern int tile_buffers;
bool tile_buffersUsable(void);
// Copies the vertices of every run of faces[0..n-1] into one new buffer
// and points the runs at it; returns it (0, the runs left on client
// arrays, when buffers are off or the driver has no room) and its size in
// *bytes.
unsigned tile_upload(TileFaces *const *faces, int n, size_t *bytes);
void tile_bufferFree(unsigned buffer);
// No buffer bound: what draws from client arrays next reads memory.
void tile_unbindBuffer(void);
// The background picture over the whole window, behind the world.  With
// behindDrawn it goes only where nothing is drawn yet (the depth buffer
// still clear), so the faces it would lie under cost it nothing.
void tile_backdrop(bool behindDrawn = false);
// What the backdrop and the sky share: drawing behind what is drawn (at the
// far end of the depth range, passing only where the window is clear; the
// depth test it found is handed back to End), and the picture's state.
int tile_behindDrawnBegin(const Image *picture);
void tile_behindDrawnEnd(int depthFunc);
void tile_backgroundState(const Image *picture);
// Bytes the cache holds.
size_t tile_facesBytes(const TileFaces *faces);

#endif
