// image.h -- pictures held as OpenGL textures: PCX loading, solid colours, drawing
#ifndef TAVO_IMAGE_H
#define TAVO_IMAGE_H

struct Image {
    unsigned short width, height;       // the picture
    unsigned char hasAlpha;             // uploaded as RGBA
    unsigned short texWidth, texHeight; // power-of-two texture holding it top-left
    unsigned int textureId;
};

// Smallest power of two >= v in 16 bits; 0 stays 0, above 32768 wraps to 0.
unsigned short image_powerOfTwo(unsigned short v);

void image_load(Image *image, const char *path);
void image_create(Image *image, unsigned short width, unsigned short height,
                  unsigned char r, unsigned char g, unsigned char b);
void image_draw(const Image *image, short x, short y, bool flipX, bool flipY);
void image_destroy(Image *image);

#endif
