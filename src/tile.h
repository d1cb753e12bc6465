// tile.h -- the tile world: model, loading, definition file, drawing
#ifndef TAVO_TILE_H
#define TAVO_TILE_H

#include <stddef.h>
#include <string>
#include <vector>
#include "entity.h"
#include "image.h"

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
// Bumped by everything that loads or edits the grid, the cube table or the
// pictures, so that whatever was built from them knows to build again.
extern unsigned int tile_generation;

// The definition file named on the command line, or null for the chooser.
extern const char *tile_argument;

void tile_load(void);
// tile_load without the choice: the world of the definition file def (an
// absolute path); the camera file is read into tile_temp only when
// readCamera is set.
void tile_loadFrom(const std::string &def, bool readCamera);
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
// (not an 8-bit one-plane run-length PCX, a frame measuring 0, a line
// length of 0 or below the width, more layers than 16 bits hold).
// error(1) when memory runs out, the picture would exceed TILE_PICTURE_MAX
// pixels or the grid TILE_GRID_MAX cells.
int tile_decodeMap(const unsigned char *data, size_t size, TileMap *out);
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

// Texture blocks read; a file declaring more has the rest ignored, with
// one line on standard error.  No world comes near it: the cube blocks
// can name at most 254 x 6 textures, and a table of this many colour
// squares stays within a few tens of megabytes.
#define TILE_TEXTURE_MAX 8192

// Reads the definition file's bytes into tile_tex, tile_texCount, tile_bg
// and tile, printing its console lines; texture paths are built on root.
void tile_readDef(const unsigned char *data, size_t size, const char *root,
                  const TileDefHooks *hooks);

// ---------------------------------------------------------------- drawing

void tile_setTexture(unsigned char type, unsigned char face, unsigned int x, unsigned int y, unsigned int z);
void tile_quad(unsigned char reverse,
               float x1, float y1, float z1, float x2, float y2, float z2,
               float x3, float y3, float z3, float x4, float y4, float z4);
void tile_plot(unsigned char type, unsigned int x, unsigned int y, unsigned int z);
void tile_draw(float ex, float ey, float ez);

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
};
struct TileDraw {
    int run, first, count;  // corners first..first + count - 1 of runs[run]
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
    // smoothing and colour of the last face drawn.
    unsigned char endCull, endSmooth, endR, endG, endB, endA;
};
extern TileFaces tile_faces;  // the viewer's cache, used by tile_draw
extern unsigned char tile_direct;  // 1: every frame walks the block straight to OpenGL

// Walks block b through tile_plot into out.  A box face is left out when
// the cell across it lies inside b and both cells are solid (box shape 0,
// not crossed, all six faces on, every face's picture opaque without an
// alpha channel); faces on the block's boundary stay.
void tile_record(const TileBlock *b, TileFaces *out);
// Builds out again when it no longer matches b, the options or the world.
void tile_refresh(const TileBlock *b, TileFaces *out);
// Draws the runs with client arrays, then leaves the walk's end state.
void tile_drawFaces(const TileFaces *faces);
// Bytes the cache holds.
size_t tile_facesBytes(const TileFaces *faces);

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
