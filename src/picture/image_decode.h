// image_decode.h -- what the PCX and PNG readers share: sizing the texel buffer, refusals, the colour key
#ifndef TAVO_IMAGE_DECODE_H
#define TAVO_IMAGE_DECODE_H

#include "image.h"

// Fills *why and returns false.
bool image_refuse(ImageRefusal *why, unsigned char code, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Checks a picture's size against 16 bits and the largest texture and
// makes out's zeroed texel buffer, RGBA or RGB; false with the refusal.
bool image_sizeTexels(unsigned width, unsigned height, const ImageSettings *in, bool rgba,
                      ImageTexels *out, ImageRefusal *why);

// The transparent colour of a true-colour picture: the settings' colour,
// or its top-left pixel's once taken.
struct ImageKey {
    unsigned char r, g, b;
    bool taken;
};

// Gives texel t (RGB set) its alpha: 0 where transparency is on and its
// colour is the key, else the picture's own alpha.  With transparency and
// automatic transparency on, the first texel asked about sets the key and
// reports it in out.
void image_keyColor(ImageKey *key, const ImageSettings *in, ImageTexels *out, unsigned char *t,
                    unsigned char alpha);

#endif
