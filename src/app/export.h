// export.h -- what the kinds of tavo --export share: the load, the pictures, the checks of OUT
#ifndef TAVO_EXPORT_H
#define TAVO_EXPORT_H

#include <string>
#include <vector>

#include "image.h"
#include "main.h"
#include "tile.h"

// ---- main_export.cpp: the load and the checks of every kind

// Loads the world for an export: pictures decoded and kept, never
// uploaded, the viewer's console lines held back unless the world cannot
// be loaded.  0, or the viewer's status for a world it could not open.
int export_loadWorld(const char *world);
// A picture the export's load made: texels, or a colour square (color
// set, rgb its colour).  False for an image it did not make.
struct ExportPictureView {
    const ImageTexels *texels = nullptr;
    bool color = false;
    unsigned char rgb[3] = {255, 255, 255};
};
bool export_pictureView(const Image *image, ExportPictureView *out);
// The picture's colour over its visible texels (--flat), 0..1.
void export_pictureMean(const Image *image, float rgb[3]);
// The name a picture goes by in the definition file.
std::string export_pictureName(const Image *image);
// Why OUT, or a file written beside it, may not be written: its folder is
// missing or not writable, it is one of the world's own files (once the
// world is loaded), or a file there may not be replaced.  "" when it may.
std::string export_outRefusal(const std::string &path);
// --region's cells (null or "all": the whole grid) once the world is
// loaded; false, with the reason on standard error, when they lie outside.
bool export_regionBlock(const char *region, TileBlock *out);
// "41 213" and "1.2 MB", for the summary line.
std::string export_countText(long n);
std::string export_sizeText(size_t bytes);

// ---- export_html.cpp, export_obj.cpp: the kinds beside .glb and .gltf

// OUT.html: one page that draws the world (the .glb made by main_export)
// with a viewer of its own; refuses when the build has no viewer script.
int export_html(const MainCommand &command);
// Bytes as base64, in lines of 76 each ended by a line break.
std::string export_base64(const unsigned char *bytes, size_t size);
// The page: title, the world's .glb, the backdrop's PNG (none when empty),
// the viewer's script and three.js's licence and version.
std::string export_page(const std::string &title, const std::vector<unsigned char> &glb,
                        const std::vector<unsigned char> &backdrop, const char *script,
                        const char *licence, const char *threeVersion);
// OUT.obj with OUT.mtl and the pictures as PNG files beside it.
int export_obj(const MainCommand &command);

// The page's script (three.js and the viewer, one bundle), three.js's
// licence and version: generated at build time where the packages are.
extern const char *const export_webScript;
extern const char *const export_webLicence;
extern const char *const export_webThreeVersion;

#endif
