// image.h -- pictures held as OpenGL textures: PCX and PNG loading, solid colours, drawing; PNG files written
#ifndef TAVO_IMAGE_H
#define TAVO_IMAGE_H

#include <stddef.h>

#include <string>
#include <vector>

#include "error.h"

struct Image {
    unsigned short width, height;       // the picture
    unsigned char hasAlpha;             // uploaded as RGBA
    unsigned short texWidth, texHeight; // power-of-two texture holding it top-left
    unsigned int textureId;
    // The picture's average colour, each texel weighted by its alpha, and
    // its average alpha (image_mean), set when it is uploaded.
    unsigned char mean[4];
};

// Smallest power of two >= v in 16 bits; 0 stays 0, above 32768 wraps to 0.
unsigned short image_powerOfTwo(unsigned short v);

// No texture picture comes near this many bytes; a larger file is refused.
#define IMAGE_MAX_FILE ((size_t)1 << 30)

// What reading a picture came to: refused (with a Refusal filled), the
// stand-by picture in place of a file that is not there, or the picture.
enum ImageOutcome { IMAGE_REFUSED, IMAGE_STAND_BY, IMAGE_READ };

// Reads a PCX or PNG file into image and uploads it.  A file that is
// missing or cannot be read (not a regular file, no permission) gives the
// message, its reason on standard error and a 4 x 4 blue stand-by picture;
// a malformed, too large or too big one is refused, the image untouched.
// Sides are taken up to the driver's largest or IMAGE_MAX_SIDE, whichever
// is smaller.
ImageOutcome image_load(Image *image, const char *path, Refusal *why);
#define IMAGE_MAX_SIDE 8192
// The largest texture side pictures are decoded for: the driver's, or
// IMAGE_MAX_SIDE when that is smaller.
int image_maxTextureSize(void);
// A texture whose every texel is (r, g, b); hasAlpha is left as it is.
// False, the image untouched, when a padded side is too large
// (ERROR_SIZE) or memory runs out.
bool image_create(Image *image, unsigned short width, unsigned short height,
                  unsigned char r, unsigned char g, unsigned char b, Refusal *why = nullptr);
// Draws image at one texel per window pixel, top-left corner at window
// pixel (x, y), in the 2D overlay; the 3D projection is in force afterwards.
void image_draw(const Image *image, short x, short y, bool flipX, bool flipY);
void image_destroy(Image *image);

// --- Decoding without a window ---------------------------------------------
//
// Loading is split in two: the decoders turn the bytes of a file into a
// texel buffer and touch neither OpenGL nor the texture state, so they can
// be tested and fuzzed alone; image_load feeds them the settings of the
// texture state and uploads what they return.

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
    unsigned char ownAlpha;  // the picture carries alpha of its own (a cut-out without a colour key)
    std::vector<unsigned char> texels;
    // A true-colour picture that took its transparent colour from its
    // top-left pixel reports it here, for the process-wide setting.
    unsigned char tookColor;
    unsigned char colorR, colorG, colorB;
    unsigned short missingRows;  // rows the file ended before finishing (they read as 255)
    std::string kind;            // "PCX 8-bit x 4 planes", "PNG palette 4-bit" ...
};

// Why a picture is refused: the error code its entry point reports
// (ERROR_FILE, ERROR_SIZE or ERROR_MEMORY), and the reason in words for
// standard error and --check; the decoders leave the path empty.
typedef Refusal ImageRefusal;

// Decodes a whole picture file held in data[0..size), PCX or PNG as its
// first bytes say.  False when it is refused, with *why filled.  Never
// reads outside data; never ends the process.
bool image_decode(const unsigned char *data, size_t size, const ImageSettings *in,
                  ImageTexels *out, ImageRefusal *why);
// The PCX reader alone: every kind of 1, 2, 4 and 8 bits per pixel and
// plane that image files use, run-length or uncompressed.  Bytes past the
// end of data read as 255.
bool image_decodePcx(const unsigned char *data, size_t size, const ImageSettings *in,
                     ImageTexels *out, ImageRefusal *why);
// The PNG reader alone: every colour type and depth; a file that ends
// before its last row is refused.
bool image_decodePng(const unsigned char *data, size_t size, const ImageSettings *in,
                     ImageTexels *out, ImageRefusal *why);
bool image_isPng(const unsigned char *data, size_t size);

// The values of a palette or grey PNG of at most 8 bits, one byte a pixel,
// rows from the top (a map picture's tile types).  Refuses a picture of
// more than maxPixels pixels with ERROR_FILE and the sizes.
bool image_decodePngValues(const unsigned char *data, size_t size, size_t maxPixels,
                           std::vector<unsigned char> &values, unsigned *width,
                           unsigned *height, ImageRefusal *why);

// The average over the picture (the top-left width x height texels) of
// each channel times alpha / 255, and of alpha: over a background of colour
// c the picture shows on average mean + c * (255 - alpha) / 255.  All zero
// for an empty picture.
void image_mean(const ImageTexels &texels, unsigned char out[4]);

// Soften the alpha of an RGBA buffer's top-left width x height picture.
void image_soften(unsigned char *texels, size_t texWidth, unsigned width, unsigned height);
// The texels right of and below the picture copy its nearest texel.
void image_replicateEdges(ImageTexels *out);

// The texels of a texture whose every texel is (r, g, b), as image_create
// makes it.  False with ERROR_SIZE when a padded side exceeds
// maxTextureSize, with ERROR_MEMORY when memory runs out.
bool image_solid(unsigned short width, unsigned short height, unsigned char r, unsigned char g,
                 unsigned char b, int maxTextureSize, ImageTexels *out, Refusal *why);

// What image_load reads and decodes, without uploading it: the picture at
// path (its own transparent colour taken into the texture state), true;
// or, when the file is missing or cannot be read, the lines said and the
// 4 x 4 blue stand-by picture.  Malformed pictures are refused as in
// image_load, the refusal (which must be given) naming path.
ImageOutcome image_read(const char *path, int maxTextureSize, ImageTexels *out, Refusal *why);
// image_load of a picture image_decode gave (under the settings the
// texture state holds now): its transparent colour taken, uploaded.
void image_loadDecoded(Image *image, const ImageTexels &texels);

// --- PNG pictures ------------------------------------------------------------

#define IMAGE_PNG_MAX 16384  // widest and tallest picture written

// Encodes width x height 8-bit RGB pixels (RGBA with alpha), rows from
// the top, as a PNG file's bytes.  False (out emptied) for a size of 0 or
// above IMAGE_PNG_MAX, or when memory runs out.
bool image_encodePng(const unsigned char *pixels, unsigned width, unsigned height,
                     std::vector<unsigned char> &out, bool alpha = false);

#endif
