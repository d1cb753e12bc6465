// export_picture.h -- the pictures an export writes: decoded without a window at their own size, and how their texels cover
#ifndef TAVO_EXPORT_PICTURE_H
#define TAVO_EXPORT_PICTURE_H

#include <string>

#include "image.h"
#include "tile.h"

// How a picture's texels cover: all opaque, only fully clear or fully
// opaque (a cut-out), or partly clear somewhere (blended).
enum ExportAlpha { EXPORT_OPAQUE, EXPORT_MASK, EXPORT_BLEND };
// Over the width x height picture at the top left of the texels.
ExportAlpha export_alphaKind(const ImageTexels &texels);

// Hooks for tile_loadFrom that decode the pictures without a window and
// keep them for the export, at their own size: texture coordinates run
// 0..1 over the real picture.  Forgets the pictures of an earlier load.
TileDefHooks export_pictureHooks(void);

// A picture the load made, kept on the CPU at its own size (texWidth is
// width), or the colour of a colour square.
struct ExportPicture {
    ImageTexels texels;
    bool color = false;
    unsigned char r = 255, g = 255, b = 255;
    ExportAlpha alpha = EXPORT_OPAQUE;
};
// The picture the hooks made for image, null for none.
const ExportPicture *export_pictureOf(const Image *image);
// The name a picture goes by in the definition file, for the materials:
// an entry of table (the world's pictures), the stand-by or the matrix.
std::string export_nameOf(const Image *image, const TilePictureTable *table);
// The picture's colour over its visible texels (0..1 each), for --flat.
void export_meanColor(const ExportPicture &p, float rgb[3]);

#endif
