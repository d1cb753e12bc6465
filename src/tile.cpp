// tile.cpp -- the tile world's model: the grid, the tables, the pictures and the options
#include "tile.h"

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
unsigned char tile_optFog = 1;
unsigned int tile_generation;
const char *tile_argument;
bool tile_savesCamera = true;
std::vector<std::string> tile_files;

int tile_getWidth(void) { return tile_width; }
int tile_getHeight(void) { return tile_height; }
int tile_getDepth(void) { return tile_depth; }

