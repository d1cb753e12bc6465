// tile_model.h -- the tile world's model: faces, cube records, the grid and tables the drawing thread holds, picking
#ifndef TAVO_TILE_MODEL_H
#define TAVO_TILE_MODEL_H

#include <stddef.h>
#include <string>
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
// Bumped by everything that loads or edits the grid, the cube table or the
// pictures, so that whatever was built from them knows to build again.
extern unsigned int tile_generation;

// The definition file named on the command line, or null for the chooser.
extern const char *tile_argument;

// Chooses the world (tile_argument, a dialog or the console) and loads it;
// false when no world was chosen or it refuses to load, with *why filled
// for the entry point to report.
bool tile_load(Refusal *why);
// tile_load without the choice: the world of the definition file def (an
// absolute path); the camera file is read into tile_temp only when
// readCamera is set.  The pictures are uploaded as textures, or, given
// pictures, made by its loadPicture (with each path as found on disk, the
// system pictures included) and createColor alone: then no OpenGL call is
// made.
struct TileDefHooks;
bool tile_loadFrom(const std::string &def, bool readCamera, const TileDefHooks *pictures, Refusal *why);
int tile_getWidth(void);
int tile_getHeight(void);
int tile_getDepth(void);

// ---------------------------------------------------------------- picking

// A box of cells, ends exclusive.
struct TileBlock {
    int x0, x1, y0, y1, z0, z1;
};
// Whether the cells of block (inside a grid width cells wide and depth deep)
// hold one whose type is not TILE_EMPTY.
bool tile_blockFilled(const TileBlock *block, unsigned width, unsigned depth,
                      const unsigned char *cells);
// Solid: box shape 0, not crossed, all six faces on, every face's picture
// opaque without an alpha channel; such cells hide the faces they share.
// Never TILE_EMPTY.  Of tile, or of the table given.
bool tile_solidType(unsigned char type);
bool tile_solidType(const CubeDef *cubes, unsigned char type);
// Bit f set: side f of a cell of this type is a box face (shape 0, not
// crossed) that is on and shows an opaque picture without an alpha
// channel (a checkered type's opposite face too, whose picture it may
// show), so sight from the cell across it stops there.  All six for a
// solid type, none for TILE_EMPTY.
unsigned tile_coverSides(unsigned char type);
unsigned tile_coverSides(const CubeDef *cubes, unsigned char type);

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
// position or direction that is not finite.  entered, when given, is the
// face (TILE_BACK ..) the walk came in through, -1 when the eye is in it.
// With seen, only what a view from eye shows: cells entered nearer than
// seen->near (world units along dir) and cells outside seen->lo..hi
// (those drawn, hi exclusive) are passed through as empty ones are.
struct TileSeen {
    double near;
    int lo[3], hi[3];  // column, layer, row
};
bool tile_walk(const Vector *eye, const Vector *dir, unsigned width, unsigned height,
               unsigned depth, const unsigned char *cells, const unsigned char passes[256],
               TileCell *hit, int *entered = nullptr, const TileSeen *seen = nullptr);
// How far the nearest cell of the grid (as for tile_walk) whose type is not
// TILE_EMPTY lies from the cell eye, in cells along the axis on which it is
// farthest: the measure of free look's view distance.  -1 when every cell
// is empty.  The search goes out shell by shell, so a near cell is found
// without a pass over the whole grid.
long tile_nearestFilled(const TileCell *eye, unsigned width, unsigned height, unsigned depth,
                        const unsigned char *cells);

#endif
