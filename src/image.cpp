// image.cpp -- placeholder, replaced by the PCX reader and texture upload
#include "image.h"
unsigned short image_powerOfTwo(unsigned short v) { while (v & (v - 1)) v++; return v; }
void image_load(Image *, const char *) {}
void image_create(Image *image, unsigned short w, unsigned short h, unsigned char, unsigned char, unsigned char)
{ image->width = w; image->height = h; image->texWidth = image_powerOfTwo(w); image->texHeight = image_powerOfTwo(h); }
void image_draw(const Image *, short, short, bool, bool) {}
void image_destroy(Image *) {}
