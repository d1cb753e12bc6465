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
bool tile_walk(const Vector *eye, const Vector *dir, unsigned width, unsigned height,
               unsigned depth, const unsigned char *cells, const unsigned char passes[256],
               TileCell *hit);

#endif
