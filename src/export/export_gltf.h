// export_gltf.h -- the loaded world's faces as a glTF 2.0 file, written chunk by chunk as the walk goes
#ifndef TAVO_EXPORT_GLTF_H
#define TAVO_EXPORT_GLTF_H

#include <stdint.h>

#include <string>

#include "entity.h"
#include "export_picture.h"
#include "tile.h"

// The largest .glb: its length fields hold 32 bits.  A variable, so that
// tests can lower it.
#define EXPORT_GLB_MAX 0xFFFFFFFFull
extern uint64_t export_glbMax;

// Cells a side of the blocks the export walks one at a time: what is held
// in memory at once, and the faces a node gathers.
#define EXPORT_CHUNK 32
// Cells a side of the blocks whose blended faces (glass, water) are a node
// of their own, so that programs sorting by node draw them back to front.
#define EXPORT_BLEND_BLOCK 8

// Bytes of a .glb holding json bytes of JSON and bin bytes of binary data,
// headers and padding counted.
uint64_t export_glbSize(uint64_t json, uint64_t bin);

struct ExportOptions {
    bool binary = true;  // .glb; else .gltf with the buffer inside as base64
    bool flat = false;   // each picture as its mean colour (cut-outs keep their alpha)
    unsigned char texture = 1, smooth = 1;  // the walk's options, as the viewer's start
};
struct ExportSummary {
    long faces = 0;  // as the walker gave them, before joining
    size_t materials = 0, pictures = 0;
    uint64_t bytes = 0;  // of the file written
};

// Writes the faces of world's cells in region (faces between two solid
// cells inside it left out, those on its sides kept), with pose as the
// start camera, to path.  world is the version the export holds: it reads
// no global of the world, so a version published meanwhile changes
// nothing of what is written.  The file goes to a temporary file beside
// it renamed into place.  Memory stays bounded by a chunk's faces and the
// pictures: the binary data goes to a second temporary file as the walk
// goes.
// Both are removed on SIGINT and SIGTERM (then the signal ends the
// process) and on any failure.  Returns 0, or 1 having said on standard
// error why nothing was written (no faces in region, a .glb past 4 GiB,
// a file that cannot be written).  Throws std::bad_alloc when memory runs
// out, having removed its files.
int export_writeScene(const std::string &path, const TileSnapshot &world, const TileBlock &region,
                      const ExportOptions &options, const Entity &pose, ExportSummary *summary);

// tavo --export's steps before writing (main_export.cpp): out's folder
// must be writable, the world of the definition file world is loaded
// with export_pictureHooks (its console lines held back unless it fails),
// out must not be one of its files, and regionText ("all", null, or
// "X0,Y0,Z0:X1,Y1,Z1" as main_exportRegionCheck passes it) must lie in
// the grid.  0 with *region set, or the exit status, having said why.
// Then export_writeScene(path, *tile_world(), *region, options, tile_temp, ...) writes
// the scene; path may be any name in a writable folder (a .glb for a page
// to embed, say).
int export_prepare(const char *out, const char *world, const char *regionText, TileBlock *region);

#endif
