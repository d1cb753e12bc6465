// tile_chunks.h -- free look's chunk cache: chunks built on a worker, the cover, the outside air, what the view meets
#ifndef TAVO_TILE_CHUNKS_H
#define TAVO_TILE_CHUNKS_H

#include <stddef.h>
#include <atomic>
#include <vector>
#include "tile_walk.h"

// ---- the chunk cache (tile_chunks.cpp) ----
// Free look draws the world chunk by chunk: cubes of TILE_CHUNK cells a
// side, each walked once (with the true neighbours across its edges, so a
// solid wall has no faces at a seam) on a worker thread, nearest first.
// The drawing thread never walks: a chunk not built yet is not drawn.
// Chunks stay until the world or the options change, the least recently
// seen dropped beyond tile_chunkBudget bytes.
extern size_t tile_chunkBudget;
struct TileLookStats {
    int drawn;    // chunks drawn by the last frame
    int pending;  // chunks the view meets that are not built yet (or for other options)
    int queued;   // chunks within the view distance, met or not, not built yet
    long faces;   // faces drawn
    int hidden;   // chunks in view left out: what was drawn before hides their boxes
    long sealed;  // faces of the chunks drawn left out: no line of sight from the open air reaches them
    long shadedBefore;  // pixels the previous frame's opaque faces passed the depth test on, overdraw counted
    size_t bytes; // held by the cache
    int waiting;  // chunks within the view distance drawn from an older version, their new build wanted
    long built;   // chunks built and taken, since the program began
};
extern TileLookStats tile_lookStats;
// Chunks whose boxes what is drawn already hides, and faces no line of
// sight from the open air reaches when the eye is in it (a cave sealed in
// rock), are left out (on by default; off draws every face of every chunk
// in view, to compare against).
extern bool tile_lookOcclude;

// One free-look frame from the eye at (ex, ey, ez), under the view the
// modelview and projection matrices hold: the built chunks within view
// cells that the view meets, opaque ones nearest first, the sky (tile_sky)
// where they left the window clear, then translucent faces farthest first.
// Prints "view N chunks" and returns N; leaves the texture state as it
// found it.
int tile_drawLook(float ex, float ey, float ez, int view);
// The cells free look draws from eye with its view distance: whole chunks.
void tile_lookBlock(float ex, float ey, float ez, int view, TileBlock *out);
// A sink between a walk and the recorder that joins box faces lying side
// by side in one plane, in one state, whose pictures step by whole
// repeats from cell to cell, into rectangles with repeating coordinates;
// every other face passes straight on.  The joined faces reach out at
// finish().  unit holds a cell's size along x, y and z.
class TileMerger : public TileSink {
public:
    TileMerger(TileSink *out, const float unit[3]);
    ~TileMerger() override;
    TileMerger(const TileMerger &) = delete;
    TileMerger &operator=(const TileMerger &) = delete;
    void face(const TileFace &face) override;
    void cull(bool doubleSided) override;
    void finish(void);

private:
    struct Groups;
    bool hold(const TileFace &face);
    bool joinHalf(const TileFace &face);
    void flushHalves(void);
    void joined(const void *group, const TileFace &low, int na, int nb);
    TileSink *out_;
    Groups *groups_;
    float unit_[3];
    bool usable_ = true;
};
// What the opaque faces drawn so far cover of the window, kept per upright
// strip as the height up to which the strip is covered from the window's
// lower edge.  Free look hands it the chunks in an order in which a chunk
// never lies behind a later one along any line of sight; a face of a later
// chunk that lies wholly within the cover is behind every pixel of it and
// need not be sent.  Faces join the cover at commit(), a chunk at a time.
class TileCover {
public:
    // clip: the projection times the model-view, as OpenGL keeps them;
    // the window's size in pixels.
    void begin(const float clip[16], int widthPixels, int heightPixels);
    // Whether no pixel of the face (count corners 5 floats apart: x, y, z,
    // s, t) could show over the cover.
    bool hides(const float *corners, int count) const;
    bool hidesBox(const float lo[3], const float hi[3]) const;
    // An opaque face, drawn with culling off (bothSides) or on.
    void add(const float *corners, int count, bool bothSides);
    void commit(void);

private:
    int project(const float *corners, int count, float xy[8][2]) const;
    bool covers(float xmin, float xmax, float ymin, float ymax) const;
    float clip_[16] = {};
    int width_ = 1, height_ = 1, words_ = 1;
    float slackX_ = 0.0f, slackY_ = 0.0f;
    // A bit a pixel, column by column: covered, and covered by the faces
    // added since the last commit (columns pendingFirst_..pendingLast_).
    std::vector<unsigned long long> covered_, pending_;
    int pendingFirst_ = 0, pendingLast_ = -1;
    std::vector<float> lo_, hi_;  // a face's lower and upper edge, column by column
};
// Marks in *outside (a flag a cell of the grid map, in the map's order) the
// cells sight from the air around the world can come into: from past the
// grid's edge, or from a cell it came into, through any side of a cell
// that its own face does not cover (tile_coverSides), so never into a
// solid cell.  A face an eye in such a cell sees lies towards such a
// cell: what no such path reaches (a cave sealed in rock, the rock's top
// under a box open only underneath) can be seen only from within.
// The types' sides are those of cubes (tile when null).  Gives up, false
// with *outside empty, once *stop (when given) is set.
bool tile_outsideAir(const unsigned char *map, unsigned width, unsigned height, unsigned depth,
                     std::vector<bool> *outside, const CubeDef *cubes = nullptr,
                     const std::atomic<bool> *stop = nullptr);
// A sink that passes each face to one of two: the faces an eye in the
// outside air may see (a box face whose cell across, or whose own cell,
// the outside reaches; any other face whose cell it reaches), and the
// rest.  The cells past the grid's edge count as outside.
class TileAirSplit : public TileSink {
public:
    TileAirSplit(TileSink *outsideSink, TileSink *enclosedSink, const std::vector<bool> *outside,
                 unsigned width, unsigned height, unsigned depth, const float unit[3])
        : outsideSink_(outsideSink), enclosedSink_(enclosedSink), outside_(outside), width_(width),
          height_(height), depth_(depth), unit_{unit[0], unit[1], unit[2]} {}
    void face(const TileFace &face) override;
    void cull(bool doubleSided) override
    {
        outsideSink_->cull(doubleSided);
        enclosedSink_->cull(doubleSided);
    }
    bool seenFromOutside(const TileFace &face) const;

private:
    bool outside(const int cell[3]) const;
    TileSink *outsideSink_, *enclosedSink_;
    const std::vector<bool> *outside_;
    unsigned width_, height_, depth_;
    float unit_[3];
};
// A chunk's faces, a box face hidden against a solid neighbour inside
// world; joined, and one draw a run and facing, opaque runs first.  With
// outside (as tile_outsideAir leaves it for the grid) the faces only a
// cave sealed in rock shows go to *enclosed instead.
// The cells and cube table are snapshot's, or the globals' when it is null.
// With atlas, the faces that show a picture of it once are drawn from it.
struct TileAtlas;
void tile_chunkBuild(const TileBlock *cells, const TileBlock *world, unsigned char optTexture,
                     unsigned char optSmooth, TileFaces *out, const std::vector<bool> *outside = nullptr,
                     TileFaces *enclosed = nullptr, const TileSnapshot *snapshot = nullptr,
                     const TileAtlas *atlas = nullptr);
// Which sides of a chunk's cells open paths join: side 2a is the low side
// along axis a (x, y, z), 2a + 1 the high one; bit t of sides[s] is set
// when cells that are not solid lead from side s to side t (bit s itself
// when any open cell touches side s).
void tile_chunkSides(const TileBlock *cells, unsigned char sides[6], const TileSnapshot *snapshot = nullptr);
// The chunks the eye may see past solid cells: a breadth-first search from
// the eye's chunk eye[] (indices outside 0..n-1 when the eye is outside the
// grid: then from the grid's sides that face it) through sides that open
// paths join, never stepping back towards the eye along any axis, within
// chunks first[]..last[].  sides holds six masks a chunk as tile_chunkSides
// leaves them (all 0x3F for one not built).  reached gets a flag a chunk.
// A straight line of sight passes only open cells, and steps away from the
// eye: whatever it meets is reached.
void tile_chunksReach(const int n[3], const unsigned char *sides, const int eye[3], const int first[3],
                      const int last[3], std::vector<unsigned char> *reached);
// The pass of a free-look frame that draws a run: first the runs whose
// every pixel has an alpha of one (full opacity over a picture without an
// alpha channel), with blending and the alpha test off; then the cut-outs
// with both on; then the translucent runs.
enum { TILE_PASS_SOLID, TILE_PASS_CUTOUT, TILE_PASS_TRANSLUCENT };
int tile_lookPass(const TileRun &run);
// The corners *first, *count of a chunk's draw whose faces the eye (world
// units) sees the front of: its faces lie sorted along the axis they face.
void tile_facingEye(const TileRun &run, const TileDraw &draw, const float eye[3], int *first, int *count);
// The six planes (a, b, c, d: inside where ax + by + cz + d >= 0) of the
// column-major clip matrix m (projection times modelview).
void tile_frustum(const float m[16], float planes[6][4]);
// 0 only when the box lo..hi lies wholly outside one of the planes.
bool tile_boxInFrustum(const float planes[6][4], const float lo[3], const float hi[3]);
// How far from the eye the near plane's corners lie under the perspective
// projection proj (1e30 for any other matrix): a box nearer than that may
// be cut by the near plane.
float tile_nearReach(const float proj[16]);
// Drops every chunk and waits for a build under way to end: the worker
// then holds no version of the world.
void tile_chunksClear(void);
size_t tile_chunksBytes(void);

// ---- free look's fog (tile_fog.cpp) and sky (tile_sky.cpp) ----
// Between tile_fogBegin and tile_fogEnd, with tile_lookFog on (the
// default), faces fade towards the view distance to the background's mean
// colour, the cells' distance from the eye (ex, ey, ez) measured in cells
// as the chunks within view are: from half of view to nine tenths of it.
// Called with the camera's model-view in force; uses texture unit 1.
extern bool tile_lookFog;
void tile_fogBegin(float ex, float ey, float ez, int view);
void tile_fogEnd(void);
// Stops and starts the fading in between (for what is not a face).
void tile_fogPause(bool paused);
// Whether any of the box lo..hi (world units) lies past where the fog
// starts; false when there is no fog.
bool tile_fogReaches(const float lo[3], const float hi[3]);
// How much of the fog colour shows at distance, in view distances.
float tile_fogAmount(float distance);
// What the window shows behind free look's faces, on average: the
// background picture's mean colour over the window's white, or white when
// texturing is off and no background is drawn.  The mean is worked out
// once, when the picture is made (Image::mean); reading the frame back
// every frame would stall the renderer, and the sky shows every part of
// the picture in turn anyway.
void tile_backgroundMean(unsigned char rgb[3]);
// Free look's background, drawn where the depth buffer is still clear:
// the background picture (or the stand-by one) on a sphere around the eye,
// wrapped once around it.  The model-view's turn moves it, its place does
// not.  Heading 0 (looking along -z) shows the picture's middle column,
// heading 180 its edges; the horizon its middle row.
void tile_sky(void);
// The picture's s, t (0..1 over the picture) in the direction of heading
// (degrees, turning left from -z about +y, -180..180) and elevation
// (degrees, -90 down .. 90 up).
void tile_skyPlace(float heading, float elevation, float *s, float *t);

#endif
