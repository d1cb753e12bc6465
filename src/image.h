// image.h -- pictures held as OpenGL textures: PCX loading, solid colours, drawing; PNG files written
#ifndef TAVO_IMAGE_H
#define TAVO_IMAGE_H

#include <stddef.h>

#include <string>
#include <vector>

struct Image {
    unsigned short width, height;       // the picture
    unsigned char hasAlpha;             // uploaded as RGBA
    unsigned short texWidth, texHeight; // power-of-two texture holding it top-left
    unsigned int textureId;
};

// Smallest power of two >= v in 16 bits; 0 stays 0, above 32768 wraps to 0.
unsigned short image_powerOfTwo(unsigned short v);

// No texture picture comes near this many bytes; a larger file is refused.
#define IMAGE_MAX_FILE ((size_t)1 << 30)

// Reads a PCX file into image and uploads it.  A file that is missing or
// cannot be read (not a regular file, no permission) gives the message,
// its reason on standard error and a 4 x 4 blue stand-by picture; a
// malformed one ends the process through error(), naming the file.
void image_load(Image *image, const char *path);
// A texture whose every texel is (r, g, b); hasAlpha is left as it is.
void image_create(Image *image, unsigned short width, unsigned short height,
                  unsigned char r, unsigned char g, unsigned char b);
// Draws image at one texel per window pixel, top-left corner at window
// pixel (x, y), in the 2D overlay; the 3D projection is in force afterwards.
void image_draw(const Image *image, short x, short y, bool flipX, bool flipY);
void image_destroy(Image *image);

// --- Decoding without a window ---------------------------------------------
//
// The PCX reader is split in two: image_decodePcx turns the bytes of a file
// into a texel buffer and touches neither OpenGL nor the texture state, so
// it can be tested and fuzzed alone; image_load feeds it the settings of
// the texture state and uploads what it returns.

// The texture state a picture is decoded under.
struct ImageSettings {
    unsigned char transparent;      // build an alpha channel
    unsigned char autoTransparent;  // the top-left pixel gives the transparent colour
    unsigned char soften;           // soften the alpha channel's edges (with transparent)
    unsigned char transparentR, transparentG, transparentB;
    int maxTextureSize;             // GL_MAX_TEXTURE_SIZE
};

// The settings the texture state holds now, with the largest texture side
// given (the driver's, or a stand-in where there is no window).
ImageSettings image_settings(int maxTextureSize);

// A decoded picture: texWidth x texHeight texels, rows from the top, RGB or
// (hasAlpha) RGBA.  The picture is the top-left width x height texels; the
// texels to its right and below copy the nearest picture texel, so linear
// filtering shows no seam and a stretched texture shows no band.
struct ImageTexels {
    unsigned short width, height, texWidth, texHeight;
    unsigned char hasAlpha;
    std::vector<unsigned char> texels;
    // A 3-plane picture that took its transparent colour from its top-left
    // pixel reports it here, for the process-wide setting.
    unsigned char tookColor;
    unsigned char colorR, colorG, colorB;
    unsigned short missingRows;  // rows the file ended before finishing (they read as 255)
};

// Decodes a whole PCX file held in data[0..size).  Refusals end the
// process through error(): bad header bytes, planes, sizes or line length
// with code 0, a padded size above maxTextureSize with code 2, no memory
// with code 1.  Never reads outside data: bytes past its end read as 255.
void image_decodePcx(const unsigned char *data, size_t size, const ImageSettings *in,
                     ImageTexels *out);

// The texels of a texture whose every texel is (r, g, b), as image_create
// makes it.  error(2) when a padded side exceeds maxTextureSize.
void image_solid(unsigned short width, unsigned short height, unsigned char r, unsigned char g,
                 unsigned char b, int maxTextureSize, ImageTexels *out);

// What image_load reads and decodes, without uploading it: the picture at
// path (its own transparent colour taken into the texture state), true;
// or, when the file is missing or cannot be read, the lines said and the
// 4 x 4 blue stand-by picture, false.  Malformed pictures end the process
// as in image_load.
bool image_read(const char *path, int maxTextureSize, ImageTexels *out);

// --- PNG pictures ------------------------------------------------------------

#define IMAGE_PNG_MAX 16384  // widest and tallest picture written

// Encodes width x height 8-bit RGB pixels (RGBA with alpha), rows from
// the top, as a PNG file's bytes.  False (out emptied) for a size of 0 or
// above IMAGE_PNG_MAX, or when memory runs out.
bool image_encodePng(const unsigned char *pixels, unsigned width, unsigned height,
                     std::vector<unsigned char> &out, bool alpha = false);

#endif
