// tile.h -- the tile world: model, loading, definition file, drawing
#ifndef TAVO_TILE_H
#define TAVO_TILE_H

#include <stddef.h>
#include <map>
#include <string>
#include <vector>
#include "entity.h"
#include "image.h"
#include "texture.h"

// Face indices, the same everywhere
#define TILE_BACK   0  // towards -z
#define TILE_TOP    1  // +y
#define TILE_RIGHT  2  // +x
#define TILE_BOTTOM 3  // -y
#define TILE_LEFT   4  // -x
#define TILE_FRONT  5  // +z

#define TILE_EMPTY 255  // a cell of this type is never drawn
#define TILE_PATH  256  // size of the path fields

struct TextureEntry {
    char name[255];
    unsigned char loaded;
    Image image;
    unsigned char translucent;
};

struct FaceOrientation {
    unsigned char flipH, flipV, rotate;
};

struct CubeDef {
    unsigned char crossed;
    unsigned char checkered;
    TextureEntry *faceTexture[6];
    unsigned char shape;
    unsigned char faceOn[6];
    unsigned char doubleSided[6];
    FaceOrientation orientation[6];
    unsigned char shaded[6];
};

// The model, filled once by tile_load
extern const unsigned char tile_opposites[6];
extern const char *const tile_faceNames[6];  // the definition file's face words, by index
extern unsigned short tile_width;   // cells along x
extern unsigned short tile_depth;   // cells along z
extern unsigned short tile_height;  // layers, cells along y
extern unsigned char *tile_map;     // index (y * depth + z) * width + x
extern float tile_size;             // 2.0, a cell along x and y
extern float tile_sizeZ;            // 7.0, a cell along z
extern CubeDef tile[256];
extern TextureEntry *tile_tex;
extern int tile_texCount;           // entries in tile_tex
extern Image tile_dummy;
extern Image tile_matrix;
extern Image *tile_bg;
extern float tile_uv[8];
extern char tile_root[TILE_PATH];
extern char tile_file[TILE_PATH];
extern Entity tile_temp;
extern char tempStr[TILE_PATH];
extern unsigned char tile_optTexture, tile_optSmooth, tile_optAlpha;
// The settings file's fog: 1 (the default) asks for fog over the far distance.
extern unsigned char tile_optFog;
// Bumped by everything that loads or edits the grid, the cube table or the
// pictures, so that whatever was built from them knows to build again.
extern unsigned int tile_generation;

// The definition file named on the command line, or null for the chooser.
extern const char *tile_argument;

void tile_load(void);
// tile_load without the choice: the world of the definition file def (an
// absolute path); the camera file is read into tile_temp only when
// readCamera is set.  The pictures are uploaded as textures, or, given
// pictures, made by its loadPicture (with each path as found on disk, the
// system pictures included) and createColor alone: then no OpenGL call is
// made.
struct TileDefHooks;
void tile_loadFrom(const std::string &def, bool readCamera,
                   const TileDefHooks *pictures = nullptr);
int tile_getWidth(void);
int tile_getHeight(void);
int tile_getDepth(void);

// ---------------------------------------------------------------- loading


// From the chosen .def path: the root (the folder above the file's folder,
// with a trailing '/'), the map picture's path and the camera file's name.
// 0 when a path composed from them would not fit a TILE_PATH field, or
// when defPath holds no '/'.
int tile_derivePaths(const char *defPath, char root[TILE_PATH], char map[TILE_PATH],
                     char file[TILE_PATH]);

// The path as written when it exists; otherwise each component that does
// not exist is looked up ignoring case, so that worlds made on
// case-insensitive file systems load.  Components found in neither
// spelling are kept as written.
std::string tile_resolvePath(const std::string &path);
// A picture's path resolved the same way; where it names a .pcx file that
// is not there, the same path ending in .png (any case) when that is.
std::string tile_resolvePicture(const std::string &path);

// The file of the loaded world that path names, "" when none: the same
// file (device and inode), or the same path once links and dotted folders
// are resolved, which also catches a camera file not made yet.  The world's
// files are tile_files and the camera file.  Outputs that must never
// replace what the world reads (pictures, exports) are checked here.
std::string tile_worldFile(const char *path);

// Set by runs that never write the camera file (--shot), so that loading
// does not warn that the pose cannot be saved.
extern bool tile_savesCamera;

// At the origin looking along -z: the start pose without a camera file.
void tile_defaultPose(Entity *pose);

// The chosen .def path made absolute: its folders resolved, its own name
// kept, so that relative and dotted paths give the right root.
std::string tile_absolute(const std::string &path);

// The layered grid of a map picture.
struct TileMap {
    unsigned short width, depth, height;
    unsigned short across;             // blocks side by side in the picture
    std::vector<unsigned char> cells;  // (y * depth + z) * width + x
};

// Cells a map may declare.  The rows a file leaves out read as empty, so a
// header of a few bytes can claim a grid of gigabytes; one above this is
// taken as out of memory.
#define TILE_GRID_MAX (64u << 20)
// The map picture's own pixels: runs let a file of a few megabytes spell
// gigabytes of them, so a picture above this many is out of memory too.
#define TILE_PICTURE_MAX (256u << 20)

// Decodes the framed 8-bit map picture; 0 when the picture is refused
// (not an 8-bit one-plane run-length PCX nor a palette or grey PNG of at
// most 8 bits, a frame measuring 0, a line length of 0 or below the width,
// more layers than 16 bits hold), with the reason in *why when given.
// error(1) when memory runs out, the picture would exceed TILE_PICTURE_MAX
// pixels or the grid TILE_GRID_MAX cells; given memory, 0 with *memory set
// instead.
int tile_decodeMap(const unsigned char *data, size_t size, TileMap *out, std::string *why = nullptr,
                   bool *memory = nullptr);
// Installs a grid in tile_width, tile_depth, tile_height and tile_map.
void tile_setMap(const TileMap *map);

// How the definition file's pictures are made; any pointer may be null.
// unknownTexture hears of a face (type = cube record, face 0..5) or a
// background (type = face = -1) naming a texture no block declares.
struct TileDefHooks {
    void *ctx;
    void (*loadPicture)(void *ctx, Image *image, const char *path);
    void (*createColor)(void *ctx, Image *image, unsigned short w, unsigned short h,
                        unsigned char r, unsigned char g, unsigned char b);
    void (*unknownTexture)(void *ctx, int type, int face, const char *name);
};

// Bytes of decoded texels a world's texture pictures may hold, all told;
// a picture past it shows the stand-by picture, with a line saying why.
// Entries naming one file under the same decoding settings share one
// picture and count once.  A variable, so that tests can lower it.
#define TILE_TEXEL_BUDGET ((size_t)1 << 30)
extern size_t tile_texelBudget;

// Texture blocks read; a file declaring more has the rest ignored, with
// one line on standard error.  No world comes near it: the cube blocks
// can name at most 254 x 6 textures, and a table of this many colour
// squares stays within a few tens of megabytes.
#define TILE_TEXTURE_MAX 8192

// Reads the definition file's bytes into tile_tex, tile_texCount, tile_bg
// and tile, printing its console lines; texture paths are built on root.
// The two steps below, one after the other.
void tile_readDef(const unsigned char *data, size_t size, const char *root,
                  const TileDefHooks *hooks);

// What installing a parsed definition file does, in its order: a console
// line, a line on standard error, the end of the load (error(arg) after
// the line, if any), the decoding settings of the pictures that follow,
// the picture or colour square of entry arg, a name no block declares
// (type arg, face a).
enum TileDefOpKind { TILE_OP_LINE, TILE_OP_REPORT, TILE_OP_REFUSE, TILE_OP_SETTINGS,
                     TILE_OP_PICTURE, TILE_OP_COLOR, TILE_OP_UNKNOWN };
struct TileDefOp {
    TileDefOpKind op;
    int arg;
    std::string text;
    int a, b, c;
};

// A definition file read into tables of its own, touching no global, so
// that it can be read on any thread: the texture table (pictures not made
// yet), the cube records pointing into it, the background entry (-1 for
// none), and what installing it must do.
struct TileDefParsed {
    CubeDef cubes[256];
    TextureEntry *tex = nullptr;
    int texCount = 0, bg = -1;
    std::vector<TileDefOp> ops;
    TileDefParsed() = default;
    TileDefParsed(const TileDefParsed &) = delete;
    TileDefParsed &operator=(const TileDefParsed &) = delete;
    ~TileDefParsed();
};
void tile_parseDef(const unsigned char *data, size_t size, const char *root, TileDefParsed *out);
// Hands parsed's tables to the globals (parsed keeps none) and does its
// operations through hooks, which may be null.
void tile_installDef(TileDefParsed *parsed, const TileDefHooks *hooks);

// tile_loadFrom in two steps.  The first reads the world's files, decodes
// the map and parses the definition file, touching no global, so that it
// may run on any thread; the second, on the drawing thread, makes the pictures,
// installs the tables and prints the console lines of the load, ending
// it where a file could not be read.
struct TileWorldRead {
    std::string def;
    bool fits = false;  // the derived paths fit
    char root[TILE_PATH], map[TILE_PATH], file[TILE_PATH];
    std::vector<std::string> mapNoted;  // the map's entries of tile_files
    std::string mapPath, defPath;
    int mapResult = 0, defResult = 0;   // file_read's answers
    TileMap grid;                       // the map, when mapDecoded
    int mapDecoded = 0;
    bool mapMemory = false;             // memory ran out decoding it
    std::string mapWhy;                 // why it was refused
    TileDefParsed parsed;
    // Pictures decoded ahead by tile_decodeAhead, by the settings they were
    // decoded under and their path; the second step uploads one when the
    // settings in force then are the same, and reads the picture itself
    // otherwise.
    std::map<std::string, ImageTexels> decoded;
};
void tile_readWorld(const std::string &def, TileWorldRead *out);
// Decodes the world's pictures as the second step will ask for them,
// given the settings a reload starts from (soften, the largest texture
// side).  Stops at the first picture that would end the load, and at the
// texel budget.  Touches no global either.
void tile_decodeAhead(TileWorldRead *read, bool soften, int maxTextureSize);
void tile_installWorld(TileWorldRead *read, bool readCamera, const TileDefHooks *pictures);

// The cube blocks' names by the tile type each block defines, as the
// cube pass of tile_readDef meets them; "" for types no block defines.
void tile_cubeNames(const unsigned char *data, size_t size, std::vector<std::string> *names);

// ---------------------------------------------------------------- picking

#define TILE_WALK_MAX 256  // cells a walk along a ray visits at most

struct TileCell {
    int x, y, z;  // column, layer, row
};

// The cell of the grid that holds a world position (cells are centred on
// their index times the cell's size); it may lie outside the grid.
// False for a position too far out to count in cells.
bool tile_cellAt(const Vector *position, TileCell *out);
// Walks the cells from eye along dir, nearest first, at most TILE_WALK_MAX
// of them, and stops at the first one inside the width x height x depth
// grid cells (index (y * depth + z) * width + x) whose type the walk does
// not pass through: passes[type] 1 goes on, as empty cells do.  False when
// no such cell comes within reach, or for a direction of length 0 or a
// position or direction that is not finite.
// With seen, only what a view from eye shows: cells entered nearer than
// seen->near (world units along dir) and cells outside seen->lo..hi
// (those drawn, hi exclusive) are passed through as empty ones are.
struct TileSeen {
    double near;
    int lo[3], hi[3];  // column, layer, row
};
bool tile_walk(const Vector *eye, const Vector *dir, unsigned width, unsigned height,
               unsigned depth, const unsigned char *cells, const unsigned char passes[256],
               TileCell *hit, const TileSeen *seen = nullptr);

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
    unsigned mode;      // GL_QUADS or GL_TRIANGLES
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
struct TileWalk {
    TileSink *sink;
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
// The same with the options given: for walks on other threads.
void tile_walkBegin(TileWalk *w, TileSink *sink, unsigned char optTexture, unsigned char optSmooth);
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
struct TileBlock {
    int x0, x1, y0, y1, z0, z1;
};
void tile_block(float ex, float ey, float ez, unsigned width, unsigned height, unsigned depth,
                float size, float sizeZ, TileBlock *out);
// The cells free look draws from eye with its view distance: whole chunks.
void tile_lookBlock(float ex, float ey, float ez, int view, TileBlock *out);

// Walks the cells of `cells` (inside the grid) through tile_plot, row by
// row.  A box face is left out when the cell across it lies inside
// `within` and both cells are solid (box shape 0, not crossed, all six
// faces on, every face's picture opaque without an alpha channel).  With
// the whole grid as `within`, faces between two solid cells never show.
void tile_walkCells(TileWalk *w, const TileBlock *cells, const TileBlock *within);
// Solid in that sense: never TILE_EMPTY.
bool tile_solidType(unsigned char type);
// Bit f set: side f of a cell of this type is a box face (shape 0, not
// crossed) that is on and shows an opaque picture without an alpha
// channel (a checkered type's opposite face too, whose picture it may
// show), so sight from the cell across it stops there.  All six for a
// solid type, none for TILE_EMPTY.
unsigned tile_coverSides(unsigned char type);

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
    unsigned mode;                           // GL_QUADS or GL_TRIANGLES
    std::vector<float> vertices;             // x, y, z, s, t of each corner
    unsigned char repeat = TEXTURE_CLAMP;    // as its faces' pictures repeat: one way a run
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
// The background picture over the whole window, behind the world.  With
// behindDrawn it goes only where nothing is drawn yet (the depth buffer
// still clear), so the faces it would lie under cost it nothing.
void tile_backdrop(bool behindDrawn = false);
// Bytes the cache holds.
size_t tile_facesBytes(const TileFaces *faces);

// ---- the chunk cache (tile_chunks.cpp) ----
// Free look draws the world chunk by chunk: cubes of TILE_CHUNK cells a
// side, each walked once (with the true neighbours across its edges, so a
// solid wall has no faces at a seam) on a worker thread, nearest first.
// The drawing thread never walks: a chunk not built yet is not drawn.
// Chunks stay until the world or the options change, the least recently
// seen dropped beyond tile_chunkBudget bytes.
#define TILE_CHUNK 16
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
};
extern TileLookStats tile_lookStats;
// Chunks whose boxes what is drawn already hides, and faces no line of
// sight from the open air reaches when the eye is in it (a cave sealed in
// rock), are left out (on by default; off draws every face of every chunk
// in view, to compare against).
extern bool tile_lookOcclude;

// One free-look frame from the eye at (ex, ey, ez), under the view the
// modelview and projection matrices hold: the built chunks within view
// cells that the view meets, opaque ones nearest first, the backdrop where
// they left the window clear, then translucent faces farthest first.
// Prints "view N chunks" and returns N; leaves the texture state as it
// found it.
int tile_drawLook(float ex, float ey, float ez, int view);
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
void tile_outsideAir(const unsigned char *map, unsigned width, unsigned height, unsigned depth,
                     std::vector<bool> *outside);
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
void tile_chunkBuild(const TileBlock *cells, const TileBlock *world, unsigned char optTexture,
                     unsigned char optSmooth, TileFaces *out, const std::vector<bool> *outside = nullptr,
                     TileFaces *enclosed = nullptr);
// Which sides of a chunk's cells open paths join: side 2a is the low side
// along axis a (x, y, z), 2a + 1 the high one; bit t of sides[s] is set
// when cells that are not solid lead from side s to side t (bit s itself
// when any open cell touches side s).
void tile_chunkSides(const TileBlock *cells, unsigned char sides[6]);
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
// The six planes (a, b, c, d: inside where ax + by + cz + d >= 0) of the
// column-major clip matrix m (projection times modelview).
void tile_frustum(const float m[16], float planes[6][4]);
// 0 only when the box lo..hi lies wholly outside one of the planes.
bool tile_boxInFrustum(const float planes[6][4], const float lo[3], const float hi[3]);
// How far from the eye the near plane's corners lie under the perspective
// projection proj (1e30 for any other matrix): a box nearer than that may
// be cut by the near plane.
float tile_nearReach(const float proj[16]);
// The worker reads tile_map, tile, tile_tex and the pictures.  Whatever
// replaces or edits them calls tile_chunksPause first (it returns once no
// build is under way; none starts until tile_chunksResume) and bumps
// tile_generation when anything changed: the chunks of the old world are
// then dropped before the next free-look frame and built again.
void tile_chunksPause(void);
void tile_chunksResume(void);
size_t tile_chunksBytes(void);

// ---------------------------------------------------------------- reloading

// The files the world was read from: the definition file first (as
// tile_loadFrom was given it), then the map picture, the system pictures
// and the texture pictures, each as looked up on disk.  Filled by loading.
extern std::vector<std::string> tile_files;

// Reads the world of tile_files[0] again into fresh tables and, once all
// of it is read, puts it in place of the old one, whose textures and
// tables are given back; the camera file is not read.  Anything that would
// end the program at start-up prints its line and "The last good world
// stays on screen" instead, and the old world stays untouched.  Returns 1
// when the world was replaced, 0 when the old one stays.
int tile_reload(void);
// tile_reload for the viewer's ticks, so that a large world never stalls
// the frames: tile_reloadStart has the files read and parsed on a thread
// of their own while the last good world stays on screen; a tick's
// tile_reloadPoll puts the result in place once it is there, as
// tile_reload would, and returns what tile_reload would (0 meanwhile).
// Asked again while a read is under way, the files are read once more
// when it ends and the stale read is dropped.
void tile_reloadStart(void);
int tile_reloadPoll(void);
// 1 while a read started by tile_reloadStart has not been put in place.
int tile_reloadBusy(void);

// Watches tile_files for changes: through inotify on their folders (an
// editor may save by renaming a new file over the old) when inotify is
// set and the system has it, otherwise by the files' modification times,
// checked once a second.  Calling it again watches the files anew.
void tile_watchStart(bool inotify);
// Called every tick: 1 once a change has been followed by a quarter of a
// second without another, so a save made of several writes counts once.
int tile_watchPoll(void);
// 1 while inotify is what watches.
int tile_watchNotified(void);
void tile_watchStop(void);

#endif
