// main_new.cpp -- tavo --new DIR: a small world to start from, made whole in a temporary folder and renamed into place
#include "main.h"

#include <dirent.h>
#include <fcntl.h>
#include <errno.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "entity.h"
#include "file.h"
#include "map_text.h"
#include "pcx_encode.h"
#include "texgen_pictures.h"
#include "tile.h"

#define MAIN_NEW_WIDTH 32
#define MAIN_NEW_HEIGHT 16
#define MAIN_NEW_DEPTH 32

// The cube types of the new world, in the order of its cube blocks.
enum {
    NEW_FLOOR = 254,
    NEW_WALL = 253,
    NEW_GLASS = 252,
    NEW_PLANT = 251,
    NEW_ROOF_LEFT = 250,
    NEW_ROOF_RIGHT = 249,
    NEW_RIDGE = 248,
};

static const struct {
    char symbol;
    int type;
    const char *name;
} main_newLegend[] = {
    {'.', TILE_EMPTY, "empty"}, {'f', NEW_FLOOR, "floor"}, {'#', NEW_WALL, "wall"},
    {'o', NEW_GLASS, "glass"},  {'p', NEW_PLANT, "plant"},
    {'/', NEW_ROOF_LEFT, "left roof"}, {'\\', NEW_ROOF_RIGHT, "right roof"},
    {'^', NEW_RIDGE, "ridge"},
};

// Texture pictures of the new world (under PCX/house/) and what draws each.
static const struct {
    const char *file;
    const char *drawn;
} main_newPictures[] = {
    {"floor", "PCX/demo/floor_light.pcx"}, {"bricks", "PCX/demo/bricks.pcx"},
    {"glass", "PCX/demo/glass.pcx"},       {"leaves", "PCX/demo/leaves.pcx"},
    {"roof", "PCX/demo/roof.pcx"},
};

// The block words are spelled in capitals only where a block begins: the
// viewer takes them as keywords wherever they stand.
static const char main_newDef[] =
    "A world made by tavo --new.  This is its definition file: which pictures\n"
    "or colours serve as textures, what is drawn behind the world, and how each\n"
    "tile type of the map is drawn.  The viewer reads it again whenever it is\n"
    "saved while the world is open.\n"
    "\n"
    "Text between blocks, like this, is ignored.  A block is a keyword and a\n"
    "name in double quotes, then entry lines between { and } standing alone.\n"
    "An entry line is a free label word, then KEY,VALUE; quote names.\n"
    "\n"
    "Textures.  Key 8 names a picture, PCX/house/floor.pcx here: folders are\n"
    "separated by a colon and .pcx is added.\n"
    "NEW_TEXTURE \"floor\"\n"
    "{\n"
    "    Picture 8,\"house:floor\"\n"
    "}\n"
    "\n"
    "NEW_TEXTURE \"bricks\"\n"
    "{\n"
    "    Picture 8,\"house:bricks\"\n"
    "}\n"
    "\n"
    "Key 2 with 16: the texture is drawn translucent.\n"
    "NEW_TEXTURE \"glass\"\n"
    "{\n"
    "    Flags 2,16\n"
    "    Picture 8,\"house:glass\"\n"
    "}\n"
    "\n"
    "Key 2 with \"Transparent\", before the picture: the colour of the picture's\n"
    "top-left pixel is cut out.\n"
    "NEW_TEXTURE \"leaves\"\n"
    "{\n"
    "    Flags 2,\"Transparent\"\n"
    "    Picture 8,\"house:leaves\"\n"
    "}\n"
    "\n"
    "NEW_TEXTURE \"roof\"\n"
    "{\n"
    "    Picture 8,\"house:roof\"\n"
    "}\n"
    "\n"
    "Key 17: a solid colour, red, green and blue from 0 to 255.\n"
    "NEW_TEXTURE \"sky\"\n"
    "{\n"
    "    Colour 17,Color(150,190,230)\n"
    "}\n"
    "\n"
    "The background, drawn behind the world while texturing is on.\n"
    "NEW_MORVA \"sky\"\n"
    "{\n"
    "    Texture 2,\"sky\"\n"
    "}\n"
    "\n"
    "Cube types.  The first cube block is tile type 254, the next 253, and so\n"
    "on down; the legend of PCX/<name>.map gives each a character.  Keys 3 to\n"
    "8 put a texture on the faces BACK, TOP, RIGHT, BOTTOM, LEFT and FRONT\n"
    "(towards -z, +y, +x, -y, -x and +z) and switch them on.\n"
    "NEW_CUBE \"floor\"\n"
    "{\n"
    "    Back 3,floor\n"
    "    Top 4,floor\n"
    "    Right 5,floor\n"
    "    Bottom 6,floor\n"
    "    Left 7,floor\n"
    "    Front 8,floor\n"
    "}\n"
    "\n"
    "Keys 29 to 34 turn the picture of each face (FlipH, FlipV, Rotate); the\n"
    "number 131072 there shades the face.\n"
    "NEW_CUBE \"wall\"\n"
    "{\n"
    "    Back 3,bricks\n"
    "    Top 4,bricks\n"
    "    Right 5,bricks\n"
    "    Bottom 6,bricks\n"
    "    Left 7,bricks\n"
    "    Front 8,bricks\n"
    "    RightShade 31,131072\n"
    "    LeftShade 33,131072\n"
    "}\n"
    "\n"
    "Key 20 makes faces double-sided: seen from behind as well.\n"
    "NEW_CUBE \"glass\"\n"
    "{\n"
    "    Back 3,glass\n"
    "    Front 8,glass\n"
    "    Double 20,BACK+FRONT\n"
    "}\n"
    "\n"
    "Key 2 with 3: crossed, the four sides stand as an X, for plants.\n"
    "NEW_CUBE \"plant\"\n"
    "{\n"
    "    Kind 2,3\n"
    "    Back 3,leaves\n"
    "    Right 5,leaves\n"
    "    Left 7,leaves\n"
    "    Front 8,leaves\n"
    "    Double 20,BACK+RIGHT+LEFT+FRONT\n"
    "}\n"
    "\n"
    "Key 15: the shape.  1 to 4 are wedges whose slope takes the picture of\n"
    "TOP, RIGHT, BOTTOM or LEFT, capped by the FRONT and BACK pictures; 5 to 8\n"
    "slanted quads, 9 to 12 upright diagonals.  Shape 4 rises towards +x, its\n"
    "solid half at the bottom right as seen from the front; shape 1 rises\n"
    "towards -x.  Side by side they make the two sides of a gable roof.\n"
    "NEW_CUBE \"roof_left\"\n"
    "{\n"
    "    Shape 15,4\n"
    "    Slope 7,roof\n"
    "    Back 3,bricks\n"
    "    Right 5,bricks\n"
    "    Front 8,bricks\n"
    "}\n"
    "\n"
    "NEW_CUBE \"roof_right\"\n"
    "{\n"
    "    Shape 15,1\n"
    "    Slope 4,roof\n"
    "    Back 3,bricks\n"
    "    Left 7,bricks\n"
    "    Front 8,bricks\n"
    "}\n"
    "\n"
    "The ridge: the gable's top, roofed.\n"
    "NEW_CUBE \"ridge\"\n"
    "{\n"
    "    Back 3,bricks\n"
    "    Top 4,roof\n"
    "    Front 8,bricks\n"
    "}\n";

// A positive decimal number of at most five digits.
static bool main_newNumber(const char *s, const char **end, unsigned *out)
{
    unsigned v = 0;
    int digits = 0;
    for (; *s >= '0' && *s <= '9'; s++, digits++) {
        if (digits == 5)
            return false;
        v = v * 10 + (unsigned)(*s - '0');
    }
    *end = s;
    *out = v;
    return digits > 0;
}

unsigned main_newAcross(unsigned width, unsigned height, unsigned depth)
{
    // The layers fill whole bands; of the layouts that fit a map picture
    // the squarest is the easiest to look at.
    unsigned best = 0;
    unsigned long long bestGap = ~0ull;
    for (unsigned a = 1; a <= height; a++) {
        if (height % a)
            continue;
        unsigned long long w = (unsigned long long)a * (width + 2);
        unsigned long long h = (unsigned long long)(height / a) * (depth + 2);
        if (w > MAP_MAX_PICTURE_WIDTH || h > MAP_MAX_PICTURE_HEIGHT || w * h > TILE_PICTURE_MAX)
            continue;
        unsigned long long gap = w > h ? w - h : h - w;
        if (gap < bestGap) {
            best = a;
            bestGap = gap;
        }
    }
    return best;
}

bool main_newParseSize(const char *text, unsigned size[3], std::string *reason)
{
    const char *p = text;
    for (int i = 0; i < 3; i++) {
        if (!main_newNumber(p, &p, &size[i]) || *p != (i < 2 ? 'x' : '\0')) {
            *reason = std::string("expected WIDTHxHEIGHTxDEPTH in cells, like 32x16x32, not ") + text;
            return false;
        }
        p++;
    }
    if (!size[0] || !size[1] || !size[2]) {
        *reason = std::string("a world is at least 1 cell each way, not ") + text;
        return false;
    }
    // The map reader counts layers in 16 bits.
    if (size[1] > 0xFFFF) {
        *reason = std::string(text) + ": " + std::to_string(size[1]) +
                  " layers, more than the 65535 a map picture holds";
        return false;
    }
    if ((unsigned long long)size[0] * size[1] * size[2] > TILE_GRID_MAX) {
        *reason = std::string(text) + " is more than " + std::to_string(TILE_GRID_MAX) +
                  " cells, the most the viewer reads";
        return false;
    }
    if (!main_newAcross(size[0], size[1], size[2])) {
        *reason = std::string(text) + ": its layers do not fit a map picture (at most " +
                  std::to_string(MAP_MAX_PICTURE_WIDTH) + " x " + std::to_string(MAP_MAX_PICTURE_HEIGHT) +
                  " pixels)";
        return false;
    }
    return true;
}

unsigned main_frameTop(const std::vector<unsigned char> &cells, unsigned width, unsigned height,
                       unsigned depth)
{
    size_t layer = (size_t)width * depth;
    for (unsigned y = height; y > 0; y--)
        for (size_t i = (size_t)(y - 1) * layer; i < (size_t)y * layer && i < cells.size(); i++)
            if (cells[i] != TILE_EMPTY)
                return y;
    return 0;
}

void main_framePose(Entity *pose, unsigned width, unsigned top, unsigned depth)
{
    // The drawn block reaches 10 layers down and 21 rows ahead, only along
    // -z: from two layers above the highest one in use (layer 10 at the
    // least), three rows in front of the last row, the eye looks at the
    // middle of the drawn rows on the lowest layer drawn.
    float eye = (float)std::max(10u, top + 2);
    float x = (float)(width ? width - 1 : 0) * tile_size / 2.0f;
    float y = eye * tile_size;
    float low = (eye - 10.0f) * tile_size;
    float z = (float)(depth ? depth - 1 : 0) * tile_sizeZ + 3.0f * tile_sizeZ;
    float middle = depth > 12 ? (float)(depth - 12) * tile_sizeZ : 0.0f;
    Vector forward;
    vector_set(&forward, 0.0f, low - y, middle - z);
    vector_normalize(&forward);
    entity_set(pose, x, y, z);
    vector_set(&pose->forward, 0.0f, forward.y, forward.z);
    vector_set(&pose->up, 0.0f, -forward.z, forward.y);
    vector_set(&pose->left, -1.0f, 0.0f, 0.0f);
}

void main_newCells(unsigned width, unsigned height, unsigned depth, std::vector<unsigned char> *out)
{
    std::vector<unsigned char> &cells = *out;
    cells.assign((size_t)width * height * depth, TILE_EMPTY);
    auto put = [&](long x, long y, long z, unsigned char type) {
        if (x >= 0 && y >= 0 && z >= 0 && x < (long)width && y < (long)height && z < (long)depth)
            cells[((size_t)y * depth + (size_t)z) * width + (size_t)x] = type;
    };
    // The fixed camera never draws the last column and row: the floor stops
    // short of them.
    long floorWidth = width > 1 ? (long)width - 1 : 1, floorDepth = depth > 1 ? (long)depth - 1 : 1;
    for (long z = 0; z < floorDepth; z++)
        for (long x = 0; x < floorWidth; x++)
            put(x, 0, z, NEW_FLOOR);
    // A house of 7 x 3 cells near the front, walls three layers high with a
    // door and two windows in the front wall, a gable roof of wedges, and two
    // plants by the door.
    long cx = ((long)width - 1) / 2, front = (long)depth - 5;
    for (long y = 1; y <= 3; y++)
        for (long z = front - 2; z <= front; z++)
            for (long x = cx - 3; x <= cx + 3; x++) {
                bool edge = z == front - 2 || z == front || x == cx - 3 || x == cx + 3;
                if (!edge)
                    continue;
                bool door = z == front && x == cx && y <= 2;
                bool window = z == front && y == 2 && (x == cx - 2 || x == cx + 2);
                if (!door)
                    put(x, y, z, window ? NEW_GLASS : NEW_WALL);
            }
    // The gable roof: each layer up, the slopes step one column in, the
    // bricks between them close the gable, and the ridge tops it.
    for (long z = front - 2; z <= front; z++)
        for (long step = 0; step <= 2; step++) {
            put(cx - 3 + step, 4 + step, z, NEW_ROOF_LEFT);
            put(cx + 3 - step, 4 + step, z, NEW_ROOF_RIGHT);
            for (long x = cx - 2 + step; x <= cx + 2 - step; x++)
                put(x, 4 + step, z, step == 2 ? NEW_RIDGE : NEW_WALL);
        }
    put(cx - 5, 1, front + 1, NEW_PLANT);
    put(cx + 5, 1, front + 1, NEW_PLANT);
}

namespace {

int main_newRemove(const char *path, const struct stat *, int, struct FTW *)
{
    remove(path);
    return 0;
}

// The folder as a shell would need it quoted.
std::string main_newQuoted(const std::string &s)
{
    if (s.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+,:@%") ==
        std::string::npos)
        return s;
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// A folder's path as the folder it is in and its own name.
void main_newSplit(const std::string &folder, std::string *parent, std::string *name)
{
    size_t slash = folder.rfind('/');
    *name = slash == std::string::npos ? folder : folder.substr(slash + 1);
    *parent = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
}

int main_newRefuse(const std::string &why)
{
    fprintf(stderr, "tavo: --new: %s; nothing was made\n", why.c_str());
    return 1;
}

std::vector<MainNewFile> main_newFiles(const std::string &name, const unsigned size[3], unsigned across)
{
    std::vector<MainNewFile> files;
    files.push_back({"DEF/" + name + ".def",
                     std::vector<unsigned char>(main_newDef, main_newDef + sizeof main_newDef - 1),
                     "the definition file: textures and cube types, with notes"});

    MapText text;
    text.width = size[0];
    text.layers = size[1];
    text.depth = size[2];
    text.across = across;
    main_newCells(size[0], size[1], size[2], &text.cells);
    text.header = {"# The map of " + name + ": tavo-map encode " + name + ".map " + name + ".pcx",
                   "# Layer 0 is the bottom; in each layer the first row is z 0, the far",
                   "# end as seen from the start view, and columns run along +x.",
                   "across " + std::to_string(across)};
    text.acrossLine = 3;
    for (const auto &l : main_newLegend) {
        std::string line = std::string("legend ") + l.symbol + " " + std::to_string(l.type) + " " + l.name;
        text.header.push_back(line);
        text.legend.push_back({std::string(1, l.symbol), l.type, line, l.name});
    }
    std::string mapText, reason;
    map_textFormat(text, false, &mapText, &reason);  // six types, all in the legend
    files.push_back({"PCX/" + name + ".map", std::vector<unsigned char>(mapText.begin(), mapText.end()),
                     "the map as text: one character a cell, layer by layer"});
    std::string grid = std::to_string(size[0]) + " x " + std::to_string(size[1]) + " x " +
                       std::to_string(size[2]) + " cells";
    files.push_back({"PCX/" + name + ".pcx",
                     pcx_encodeMap(size[0], size[2], size[1], text.cells.data(), across),
                     "the map picture the viewer reads, " + grid});

    for (const auto &p : main_newPictures)
        files.push_back({std::string("PCX/house/") + p.file + ".pcx", texgen_draw(p.drawn),
                         "a texture picture"});
    files.push_back({TEXGEN_STAND_BY, texgen_draw(TEXGEN_STAND_BY),
                     "the stand-by picture, for faces without a texture"});
    files.push_back({TEXGEN_MATRIX, texgen_draw(TEXGEN_MATRIX),
                     "shown on every face while texturing is off (key 3)"});

    Entity pose;
    main_framePose(&pose, size[0], main_frameTop(text.cells, size[0], size[1], size[2]), size[2]);
    std::vector<unsigned char> cam(ENTITY_FILE_SIZE);
    entity_toBytes(&pose, cam.data());
    files.push_back({"SYS/CAM/" + name + ".cam", cam, "the start view, over the house"});
    return files;
}

}  // namespace

std::string main_newSizeCheck(const char *text)
{
    unsigned size[3];
    std::string reason;
    return main_newParseSize(text, size, &reason) ? "" : reason;
}

int main_new(const MainCommand &command)
{
    unsigned size[3] = {MAIN_NEW_WIDTH, MAIN_NEW_HEIGHT, MAIN_NEW_DEPTH};
    std::string reason;
    if (const char *text = command.operand("--size"))
        main_newParseSize(text, size, &reason);  // checked with the command line
    return main_newWorld(command.operand("--new"), size);
}

namespace {

// Writes every file under scratch; "" when all are written, else why not.
std::string main_newWriteAll(const std::string &scratch, const std::vector<MainNewFile> &files)
{
    for (const MainNewFile &f : files) {
        int result;
        if (!pcx_writeFileDirs(scratch + "/" + f.path, f.bytes, &result))
            return f.path + ": " + file_reason(result);
    }
    return "";
}

void main_newRemoveAll(const std::string &path)
{
    nftw(path.c_str(), main_newRemove, 16, FTW_DEPTH | FTW_PHYS);
}

// A folder that does not exist yet: made whole beside it and renamed into
// place, so nothing half made is ever seen under its name.
int main_newPlaceBeside(const std::string &folder, const std::vector<MainNewFile> &files)
{
    std::string parent, name;
    main_newSplit(folder, &parent, &name);
    std::string scratch = parent + "/." + name + ".new-XXXXXX";
    std::vector<char> scratchPath(scratch.begin(), scratch.end());
    scratchPath.push_back('\0');
    if (!mkdtemp(scratchPath.data()))
        return main_newRefuse("cannot make a folder in " + parent + ": " + strerror(errno));
    scratch = scratchPath.data();

    std::string failed = main_newWriteAll(scratch, files);
    mode_t mask = umask(0);
    umask(mask);
    if (failed.empty() && chmod(scratch.c_str(), 0777 & ~mask) != 0)
        failed = scratch + ": " + strerror(errno);
    // A folder made meanwhile is not replaced when it holds anything.
    if (failed.empty() && rename(scratch.c_str(), folder.c_str()) != 0)
        failed = folder + ": " + strerror(errno);
    if (!failed.empty()) {
        main_newRemoveAll(scratch);
        return main_newRefuse(failed);
    }
    return 0;
}

// An existing empty folder (a mount point, the end of a link) is kept, with
// its mode, owner and access lists: the world is made in a hidden folder
// inside it, whose entries are then moved up one by one; a failure takes
// back those already moved, so the folder is left as it was.
int main_newPlaceInside(const std::string &folder, const std::vector<MainNewFile> &files)
{
    std::string scratch = folder + "/.tavo-new-XXXXXX";
    std::vector<char> scratchPath(scratch.begin(), scratch.end());
    scratchPath.push_back('\0');
    if (!mkdtemp(scratchPath.data()))
        return main_newRefuse("cannot make a folder in " + folder + ": " + strerror(errno));
    scratch = scratchPath.data();

    std::string failed = main_newWriteAll(scratch, files);
    std::vector<std::string> moved;
    for (const MainNewFile &f : files) {
        if (!failed.empty())
            break;
        std::string top = f.path.substr(0, f.path.find('/'));
        if (std::find(moved.begin(), moved.end(), top) != moved.end())
            continue;
        std::string from = scratch + "/" + top, to = folder + "/" + top;
        if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
            failed = to + ": " + strerror(errno);
        else
            moved.push_back(top);
    }
    if (!failed.empty())
        for (const std::string &top : moved)
            main_newRemoveAll(folder + "/" + top);
    main_newRemoveAll(scratch);
    return failed.empty() ? 0 : main_newRefuse(failed);
}

}  // namespace

int main_newPlace(const std::string &folder, const std::vector<MainNewFile> &files)
{
    struct stat st;
    if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return main_newPlaceInside(folder, files);
    return main_newPlaceBeside(folder, files);
}

int main_newWorld(const char *dir, const unsigned size[3])
{
    std::string folder = dir;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string parent, name;
    main_newSplit(folder, &parent, &name);
    if (name.empty() || name == "." || name == ".." || name == "/")
        return main_newRefuse(std::string(dir) + ": give the new world's folder a name");

    // A link to a folder is followed: the folder it leads to is filled.
    struct stat st;
    bool exists = stat(folder.c_str(), &st) == 0;
    if (!exists && lstat(folder.c_str(), &st) == 0)
        return main_newRefuse(folder + ": a link that leads nowhere is there already");
    if (exists) {
        if (!S_ISDIR(st.st_mode))
            return main_newRefuse(folder + ": something that is not a folder is there already");
        DIR *d = opendir(folder.c_str());
        if (!d)
            return main_newRefuse(folder + ": " + strerror(errno));
        int entries = 0;
        while (struct dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
                entries++;
        closedir(d);
        if (entries)
            return main_newRefuse(folder + ": the folder is not empty; give a new or empty folder");
    } else if (errno != ENOENT) {
        return main_newRefuse(folder + ": " + strerror(errno));
    }

    // The viewer must be able to open what is made: its paths have a bound.
    std::string def = "DEF/" + name + ".def";
    char root[TILE_PATH], map[TILE_PATH], cam[TILE_PATH];
    std::string absolute = tile_absolute(parent) + "/" + name + "/" + def;
    if (!tile_derivePaths(absolute.c_str(), root, map, cam))
        return main_newRefuse(folder + ": the world's paths would be longer than " +
                              std::to_string(TILE_PATH - 1) + " characters");
    unsigned across = main_newAcross(size[0], size[1], size[2]);
    // A folder without a write permission bit is left alone, even by the
    // superuser, as read-only files are.
    const std::string &writtenIn = exists ? folder : parent;
    if (stat(writtenIn.c_str(), &st) != 0)
        return main_newRefuse(writtenIn + ": " + strerror(errno));
    if (!(st.st_mode & 0222))
        return main_newRefuse(writtenIn + ": the folder is read-only");
    std::vector<MainNewFile> files = main_newFiles(name, size, across);
    if (main_newPlace(folder, files))
        return 1;

    printf("Made the world \"%s\" in %s/:\n", name.c_str(), folder.c_str());
    for (const MainNewFile &f : files)
        printf("  %-28s %s\n", f.path.c_str(), f.what.c_str());
    printf("Open it with:\n  %s %s\n", main_newQuoted(main_command("tavo")).c_str(),
           main_newQuoted(folder + "/" + def).c_str());
    printf("After editing PCX/%s.map, make its picture with:\n  %s encode %s %s\n", name.c_str(),
           main_newQuoted(main_command("tavo-map")).c_str(),
           main_newQuoted(folder + "/PCX/" + name + ".map").c_str(),
           main_newQuoted(folder + "/PCX/" + name + ".pcx").c_str());
    return 0;
}

