// tile_loading.h -- loading a world: its paths, the map picture, the definition file, reading it again and watching its files
#ifndef TAVO_TILE_LOADING_H
#define TAVO_TILE_LOADING_H

#include <stddef.h>
#include <stdlib.h>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "file.h"
#include "image.h"
#include "tile_model.h"

// ---------------------------------------------------------------- loading


// From the chosen .def path: the root (the folder above the file's folder,
// with a trailing '/'), the map picture's path and the camera file's name.
// 0 when a path composed from them would not fit a TILE_PATH field, or
// when defPath holds no '/'.
int tile_derivePaths(const char *defPath, char root[TILE_PATH], char map[TILE_PATH],
                     char file[TILE_PATH]);

// The path as written when it exists; otherwise each component that does
// not exist is looked up ignoring case, so that worlds made on
// case-insensitive file systems load.  Components found in neither
// spelling are kept as written.
std::string tile_resolvePath(const std::string &path);
// A picture's path resolved the same way; where it names a .pcx file that
// is not there, the same path ending in .png (any case) when that is.
std::string tile_resolvePicture(const std::string &path);

// The file of the loaded world that path names, "" when none: the same
// file (device and inode), or the same path once links and dotted folders
// are resolved, which also catches a camera file not made yet.  The world's
// files are tile_files and the camera file.  Outputs that must never
// replace what the world reads (pictures, exports) are checked here.
std::string tile_worldFile(const char *path);

// Set by runs that never write the camera file (--shot), so that loading
// does not warn that the pose cannot be saved.
extern bool tile_savesCamera;

// At the origin looking along -z: the start pose without a camera file.
void tile_defaultPose(Entity *pose);

// False, with its console line said and the refusal (the file and the
// reason), when path is not a regular file that can be read: the viewer
// asks before the window system starts, so a missing world is named even
// where no display is.
bool tile_requireWorldFile(const char *path, Refusal *why);

// The chosen .def path made absolute: its folders resolved, its own name
// kept, so that relative and dotted paths give the right root.
std::string tile_absolute(const std::string &path);

// The layered grid of a map picture.
struct TileMap {
    unsigned short width, depth, height;
    unsigned short across;             // blocks side by side in the picture
    std::vector<unsigned char> cells;  // (y * depth + z) * width + x
};

// Cells a map may declare.  The rows a file leaves out read as empty, so a
// header of a few bytes can claim a grid of gigabytes; one above this is
// taken as out of memory.
#define TILE_GRID_MAX (64u << 20)
// The map picture's own pixels: runs let a file of a few megabytes spell
// gigabytes of them, so a picture claiming more than this many is refused.
#define TILE_PICTURE_MAX (256u << 20)

// Decodes the framed 8-bit map picture; 0 when the picture is refused
// (not an 8-bit one-plane run-length PCX nor a palette or grey PNG of at
// most 8 bits, a frame measuring 0, a line length of 0 or below the width,
// more layers than 16 bits hold, more pixels than TILE_PICTURE_MAX), with
// the reason in *why when given.  0 with *memory set, when given, when
// memory runs out or the grid would exceed TILE_GRID_MAX cells (the reason
// then says "out of memory").
int tile_decodeMap(const unsigned char *data, size_t size, TileMap *out, std::string *why = nullptr,
                   bool *memory = nullptr);
// Installs a grid in tile_width, tile_depth, tile_height and tile_map;
// false, the globals untouched, when memory runs out.
bool tile_setMap(const TileMap *map);

// How the definition file's pictures are made; any pointer may be null.
// A picture or colour that cannot be made returns false with *why filled,
// which ends the load.  unknownTexture hears of a face (type = cube
// record, face 0..5) or a background (type = face = -1) naming a texture
// no block declares.
struct TileDefHooks {
    void *ctx;
    bool (*loadPicture)(void *ctx, Image *image, const char *path, Refusal *why);
    bool (*createColor)(void *ctx, Image *image, unsigned short w, unsigned short h,
                        unsigned char r, unsigned char g, unsigned char b, Refusal *why);
    void (*unknownTexture)(void *ctx, int type, int face, const char *name);
};

// Bytes of decoded texels a world's texture pictures may hold, all told;
// a picture past it shows the stand-by picture, with a line saying why.
// Entries naming one file under the same decoding settings share one
// picture and count once.  A variable, so that tests can lower it.
#define TILE_TEXEL_BUDGET ((size_t)1 << 30)
extern size_t tile_texelBudget;

// Texture blocks read; a file declaring more has the rest ignored, with
// one line on standard error.  No world comes near it: the cube blocks
// can name at most 254 x 6 textures, and a table of this many colour
// squares stays within a few tens of megabytes.
#define TILE_TEXTURE_MAX 8192

// Reads the definition file's bytes into tile_tex, tile_texCount, tile_bg
// and tile, printing its console lines; texture paths are built on root.
// The two steps below, one after the other; false where the file or a
// picture refuses the load, with *why (when given) filled.
bool tile_readDef(const unsigned char *data, size_t size, const char *root, const TileDefHooks *hooks,
                  const char *path = nullptr, Refusal *why = nullptr);

// What installing a parsed definition file does, in its order: a console
// line, a line on standard error, the end of the load (the refusal, code
// arg, after the line, if any), the decoding settings of the pictures that follow,
// the picture or colour square of entry arg, a name no block declares
// (type arg, face a).
enum TileDefOpKind { TILE_OP_LINE, TILE_OP_REPORT, TILE_OP_REFUSE, TILE_OP_SETTINGS,
                     TILE_OP_PICTURE, TILE_OP_COLOR, TILE_OP_UNKNOWN };
struct TileDefOp {
    TileDefOpKind op;
    int arg;
    std::string text;
    int a, b, c;
};

// A definition file read into tables of its own, touching no global, so
// that it can be read on any thread: the texture table (pictures not made
// yet), the cube records pointing into it, the background entry (-1 for
// none), and what installing it must do.
struct TileDefParsed {
    CubeDef cubes[256];
    TextureEntry *tex = nullptr;
    int texCount = 0, bg = -1;
    std::vector<TileDefOp> ops;
    TileDefParsed() = default;
    TileDefParsed(const TileDefParsed &) = delete;
    TileDefParsed &operator=(const TileDefParsed &) = delete;
    ~TileDefParsed();
};
void tile_parseDef(const unsigned char *data, size_t size, const char *root, TileDefParsed *out);
// Hands parsed's tables to the globals (parsed keeps none) and does its
// operations through hooks, which may be null.  path names the file in
// its lines on standard error and its refusal; false where it ends.
bool tile_installDef(TileDefParsed *parsed, const TileDefHooks *hooks, const char *path, Refusal *why);

// What a world asks for that is not there and that changes what is drawn,
// one sentence each: a face or the background naming a texture no block
// declares, map cells of a type no cube block defines (cells w x d x h).
// --check lists them as problems; the viewer reports them at each load.
std::string tile_unknownTextureProblem(int type, int face, const std::string &name);
std::vector<std::string> tile_undefinedTypeProblems(const unsigned char *cells, size_t w, size_t d, size_t h,
                                                    const std::vector<bool> &defined);
// Both, from a parsed definition file's operations and a grid.
std::vector<std::string> tile_drawProblems(const std::vector<TileDefOp> &ops, const unsigned char *cells,
                                           size_t w, size_t d, size_t h);
// Those of the world installed last, set by tile_installWorld.
extern std::vector<std::string> tile_problems;

// tile_loadFrom in two steps.  The first reads the world's files, decodes
// the map and parses the definition file, touching no global, so that it
// may run on any thread; the second, on the drawing thread, makes the pictures,
// installs the tables and prints the console lines of the load, stopping
// where a file could not be read: false, with *why filled (the world's
// globals then hold a world half installed, which the caller puts back
// or ends the process over).
struct TileSnapshot;
struct TileWorldRead {
    std::string def;
    bool fits = false;  // the derived paths fit
    char root[TILE_PATH], map[TILE_PATH], file[TILE_PATH];
    std::vector<std::string> mapNoted;  // the map's entries of tile_files
    std::string mapPath, defPath;
    int mapResult = 0, defResult = 0;   // file_read's answers
    TileMap grid;                       // the map, when mapDecoded
    int mapDecoded = 0;
    bool mapMemory = false;             // memory ran out decoding it
    std::string mapWhy;                 // why it was refused
    // The map cut into the new version's chunks (tile_cutCells), the grid
    // as tile_map is to hold it (malloc'd, handed over whole; grid keeps
    // its sizes alone), and what the world lacks (tile_drawProblems), made
    // by the first step: the second only puts them in place.
    std::shared_ptr<TileSnapshot> cells;
    std::unique_ptr<unsigned char, void (*)(void *)> flat{nullptr, free};
    std::vector<std::string> problems;
    TileDefParsed parsed;
    // Pictures decoded ahead by tile_decodeAhead, by the settings they were
    // decoded under and their path; the second step uploads one when the
    // settings in force then are the same, and reads the picture itself
    // otherwise.
    std::map<std::string, ImageTexels> decoded;
};
// from is the version the map's chunks are compared with, so that the
// unchanged ones are shared; the caller holds it for as long as this runs.
void tile_readWorld(const std::string &def, TileWorldRead *out, const TileSnapshot *from = nullptr);
// Decodes the world's pictures as the second step will ask for them,
// given the settings a reload starts from (soften, the largest texture
// side).  Stops at the first picture that would end the load, and at the
// texel budget.  Touches no global either.
void tile_decodeAhead(TileWorldRead *read, bool soften, int maxTextureSize);
bool tile_installWorld(TileWorldRead *read, bool readCamera, const TileDefHooks *pictures, Refusal *why);

// The cube blocks' names by the tile type each block defines, as the
// cube pass of tile_readDef meets them; "" for types no block defines.
void tile_cubeNames(const unsigned char *data, size_t size, std::vector<std::string> *names);

// ---------------------------------------------------------------- reloading

// The files the world was read from: the definition file first (as
// tile_loadFrom was given it), then the map picture, the system pictures
// and the texture pictures, each as looked up on disk.  Filled by loading.
extern std::vector<std::string> tile_files;

// Reads the world of tile_files[0] again into fresh tables and, once all
// of it is read, puts it in place of the old one, whose textures and
// tables are given back; the camera file is not read.  Anything that would
// end the program at start-up prints its line and "The last good world
// stays on screen" instead, and the old world stays untouched.  Returns 1
// when the world was replaced, 0 when the old one stays.
int tile_reload(void);
// tile_reload for the viewer's ticks, so that a large world never stalls
// the frames: tile_reloadStart has the files read and parsed on a thread
// of their own while the last good world stays on screen; a tick's
// tile_reloadPoll puts the result in place once it is there, as
// tile_reload would, and returns what tile_reload would (0 meanwhile).
// Asked again while a read is under way, the files are read once more
// when it ends and the stale read is dropped.
void tile_reloadStart(void);
int tile_reloadPoll(void);
// 1 while a read started by tile_reloadStart has not been put in place.
int tile_reloadBusy(void);

// Watches tile_files for changes: through inotify on their folders (an
// editor may save by renaming a new file over the old) when inotify is
// set and the system has it, otherwise by the files' modification times,
// checked once a second.  Calling it again watches the files anew.
void tile_watchStart(bool inotify);
// Called every tick: 1 once a change has been followed by a quarter of a
// second without another, so a save made of several writes counts once.
int tile_watchPoll(void);
// The viewer itself has just written path (a file of the world): what it
// wrote is no change to reload, as long as the file stays as written.
void tile_watchSaved(const char *path);
// 1 while inotify is what watches.
int tile_watchNotified(void);
void tile_watchStop(void);

#endif
