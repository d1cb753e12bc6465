// tile.cpp -- the tile world's model (placeholder loading and drawing)
#include "tile.h"

#include <string.h>

const unsigned char tile_opposites[6] = {5, 3, 4, 1, 2, 0};
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
const char *tile_argument;

void tile_load(void)
{
    memset(tile, 0, sizeof tile);
    entity_set(&tile_temp, 0, 0, 0);
    tile_temp.left.x = -1.0f;
    tile_temp.forward.z = -1.0f;
}

int tile_getWidth(void) { return tile_width; }
int tile_getHeight(void) { return tile_height; }
int tile_getDepth(void) { return tile_depth; }

void tile_setTexture(unsigned char, unsigned char, unsigned int, unsigned int, unsigned int) {}
void tile_quad(unsigned char, float, float, float, float, float, float,
               float, float, float, float, float, float) {}
void tile_plot(unsigned char, unsigned int, unsigned int, unsigned int) {}
void tile_draw(float, float, float) {}
