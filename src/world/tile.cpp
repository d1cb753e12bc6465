// tile.cpp -- the tile world's model: the grid, the tables, the pictures and the options
#include "tile_world.h"
#include "tile_loading.h"
#include "tile_save.h"

const unsigned char tile_opposites[6] = {5, 3, 4, 1, 2, 0};
const char *const tile_faceNames[6] = {"BACK", "TOP", "RIGHT", "BOTTOM", "LEFT", "FRONT"};
unsigned short tile_width, tile_depth, tile_height;
unsigned char *tile_map;
float tile_size = 2.0f;
float tile_sizeZ = 7.0f;
CubeDef tile[256];
TextureEntry *tile_tex;
int tile_texCount;
Image tile_dummy;
Image tile_matrix;
Image *tile_bg;
float tile_uv[8];
char tile_root[TILE_PATH];
char tile_file[TILE_PATH];
Entity tile_temp;
char tempStr[TILE_PATH];
unsigned char tile_optTexture, tile_optSmooth, tile_optAlpha;
unsigned int tile_generation;
const char *tile_argument;
bool tile_savesCamera = true;
std::vector<std::string> tile_files;

int tile_getWidth(void) { return tile_width; }
int tile_getHeight(void) { return tile_height; }
int tile_getDepth(void) { return tile_depth; }

static bool tile_opaqueFace(const CubeDef *def, int f)
{
    const TextureEntry *e = def->faceTexture[f];
    return def->faceOn[f] && e && !e->translucent && !e->image.hasAlpha;
}

// The checker swap trades a face's picture for its opposite's.
static unsigned tile_cover(const CubeDef *def)
{
    if (def->shape != 0 || def->crossed)
        return 0;
    unsigned sides = 0;
    for (int f = 0; f < 6; f++)
        if (tile_opaqueFace(def, f) && (!def->checkered || tile_opaqueFace(def, tile_opposites[f])))
            sides |= 1u << f;
    return sides;
}

// Solid types hide the faces they share with each other: a box whose six
// faces are all on and all opaque pictures without an alpha channel (the
// checker swap only trades these pictures among themselves).
static bool tile_solid(const CubeDef *def)
{
    return tile_cover(def) == 0x3F;
}

bool tile_solidType(const CubeDef *cubes, unsigned char type)
{
    return type != TILE_EMPTY && tile_solid(&cubes[type]);
}

bool tile_solidType(unsigned char type)
{
    return tile_solidType(tile, type);
}

unsigned tile_coverSides(const CubeDef *cubes, unsigned char type)
{
    return type == TILE_EMPTY ? 0 : tile_cover(&cubes[type]);
}

unsigned tile_coverSides(unsigned char type)
{
    return tile_coverSides(tile, type);
}
