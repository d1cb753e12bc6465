// tile_save.h -- the map written back: changed cells patched into the picture and its map text, both whole or neither
#ifndef TAVO_TILE_SAVE_H
#define TAVO_TILE_SAVE_H

#include <string>
#include <vector>
#include "file.h"
#include "tile_loading.h"

// ---------------------------------------------------------------- saving the map

// The map picture's bytes with grid's cells written over the pixels that
// hold them: the header, the palette and every scan line without a changed
// cell stay byte for byte, the lines with one are packed again.  *changed
// counts the cells that differ; the blocks lie as in the picture, which
// *across is set to when given (grid.across is not read).  False with the reason for a picture that is
// not a run-length PCX (PNG maps are not written) or whose grid is not
// grid's size.
bool tile_patchMap(const std::vector<unsigned char> &picture, const TileMap &grid,
                   std::vector<unsigned char> *out, size_t *changed, std::string *why,
                   unsigned short *across = nullptr);
// The map text (file names it in reasons) with grid's cells in place of its
// own: its comments and legend kept, a type it has no character for given a
// legend line.  False with the reason when the text does not read.
bool tile_patchMapText(const std::string &file, const std::vector<unsigned char> &text,
                       const TileMap &grid, std::vector<unsigned char> *out, std::string *why);
// grid's sizes, block layout and cells into text; its legend and comments stay.
struct MapText;
void tile_mapTextCells(const TileMap &grid, MapText *text);
// The loaded world's map picture and map text ("" when it has none beside
// the picture); false when no world is loaded.
bool tile_mapFiles(std::string *picture, std::string *text);

// What a save writes (grid.across need not be set): the grid into the picture at picture (patched from
// the bytes there now) and into the text at text when that is not "".
// With recovery set, the picture goes there instead (its folders made) and
// no text is written.
struct TileMapSave {
    std::string picture, text, recovery;
    TileMap grid;
};
struct TileMapSaved {
    bool ok = false;
    std::string line;  // what the console says
    size_t changed = 0;
    FileStamp picture = {}, text = {};  // the files as written
};
// Makes both files' bytes first and writes nothing unless both can be
// written; each through a temporary file renamed into place, the folder
// flushed after.  Touches no global: for a thread of its own.
void tile_saveMap(const TileMapSave &save, TileMapSaved *out);
// tile_saveMap on the saving thread: the thread first yields to the
// drawing thread and the renderer's (as the chunk worker does), so that no
// frame waits for a save; the save takes longer on a busy machine instead.
void tile_saveMapBehind(const TileMapSave &save, TileMapSaved *out);

#endif
