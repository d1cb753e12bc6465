// tile_draw.cpp -- placeholder world drawing
#include "tile.h"

void tile_setTexture(unsigned char, unsigned char, unsigned int, unsigned int, unsigned int) {}
void tile_quad(unsigned char, float, float, float, float, float, float,
               float, float, float, float, float, float) {}
void tile_plot(unsigned char, unsigned int, unsigned int, unsigned int) {}
void tile_draw(float, float, float) {}
