// main_check.cpp -- tavo --check: loads a world without a window and reports what its author needs to know
#include "main.h"

#include <errno.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "entity.h"
#include "error.h"
#include "file.h"
#include "image.h"
#include "texture.h"
#include "tile.h"

namespace {

// What became of one picture file.
struct CheckPicture {
    std::string path;     // as the world composes it
    std::string verdict;  // "" when it decodes, else what is wrong
    std::string what;     // kind and size when it decodes
    bool ownAlpha = false;  // a cut-out by its own alpha
};

struct CheckTexture {
    std::vector<CheckPicture> pictures;
    std::string color;  // the last solid colour made for it
    bool cutOut = false;
};

struct CheckState {
    std::string root;
    std::vector<CheckTexture> textures;  // by entry of tile_tex
    std::vector<std::string> unknown;    // faces and backgrounds naming no texture
    std::vector<std::string> problems;
    std::vector<std::string> notes;
};

std::string check_message(unsigned char code)
{
    std::string m = error_message(code);
    while (!m.empty() && m.back() == '\n')
        m.pop_back();
    return m;
}

std::string check_format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string check_format(const char *format, ...)
{
    char buf[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return buf;
}

// Runs f with standard output going to a scratch file and returns what it
// printed: the loader's console lines are not part of the report.
template <typename F>
std::string check_captured(F f)
{
    fflush(stdout);
    FILE *scratch = tmpfile();
    int saved = dup(STDOUT_FILENO);
    if (!scratch || saved < 0) {
        if (scratch)
            fclose(scratch);
        if (saved >= 0)
            close(saved);
        f();  // the lines then go to the console; the report still follows
        return "";
    }
    dup2(fileno(scratch), STDOUT_FILENO);
    try {
        f();
    } catch (...) {
        fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
        fclose(scratch);
        throw;
    }
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string text;
    rewind(scratch);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, scratch)) > 0)
        text.append(buf, n);
    fclose(scratch);
    return text;
}

// The largest texture side a world can count on: drivers today allow 8192
// or more, and the viewer stops at a picture its driver cannot hold.
const unsigned CHECK_MAX_TEXTURE = IMAGE_MAX_SIDE;

// Reads and decodes a picture the way the viewer would, without uploading it.
CheckPicture check_picture(const std::string &path)
{
    CheckPicture p;
    p.path = path;
    std::string found = tile_resolvePicture(path);
    if (found != tile_resolvePath(path))
        p.path = found;  // the .png that stands in for a missing .pcx
    std::vector<unsigned char> bytes;
    int result = file_read(found.c_str(), IMAGE_MAX_FILE, bytes);
    if (result) {
        // The viewer shows the stand-by picture for all of these alike.
        p.verdict = result == ENOENT ? "missing" : check_format("missing (%s)", file_reason(result));
        return p;
    }
    ImageSettings settings = image_settings(CHECK_MAX_TEXTURE);
    ImageTexels texels;
    ImageRefusal why;
    if (!image_decode(bytes.data(), bytes.size(), &settings, &texels, &why)) {
        if (why.code == ERROR_SIZE)
            p.verdict = check_format("is wider or taller than %u pixels, the largest texture the "
                                     "viewer can count on", CHECK_MAX_TEXTURE);
        else
            p.verdict = "stops the viewer with \"" + check_message(why.code) + "\": " + why.reason;
        return p;
    }
    if (texels.missingRows)
        p.verdict = check_format("ends %u row%s early (shown in palette colour 255)",
                                 texels.missingRows, texels.missingRows == 1 ? "" : "s");
    p.ownAlpha = texels.ownAlpha;
    p.what = check_format("%s, %u x %u%s", texels.kind.c_str(), texels.width, texels.height,
                          texels.ownAlpha ? ", alpha" : "");
    return p;
}

// True when the picture at path, below root, would be taken from outside
// it: by ".." in the texture path or by a link.
bool check_outside(const std::string &path, const std::string &root)
{
    int depth = 0;
    for (size_t i = root.size(); i < path.size();) {
        size_t end = path.find('/', i);
        std::string part = path.substr(i, end == std::string::npos ? std::string::npos : end - i);
        depth += part == ".." ? -1 : part.empty() || part == "." ? 0 : 1;
        if (depth < 0)
            return true;
        if (end == std::string::npos)
            break;
        i = end + 1;
    }
    char *real = realpath(tile_resolvePath(path).c_str(), nullptr);
    char *realRoot = realpath(root.c_str(), nullptr);
    bool outside = real && realRoot && std::string(real).rfind(std::string(realRoot) + "/", 0) != 0;
    free(real);
    free(realRoot);
    return outside;
}

// The camera file: what the viewer starts from (into *pose), and whether it saves there.
void check_camera(CheckState &state, const std::string &root, const char *file, Entity *poseOut)
{
    std::string name = std::string("SYS/CAM/") + file;
    std::string path = tile_resolvePath(root + name);
    Entity &pose = *poseOut;
    tile_defaultPose(&pose);  // a short file overlays it, as in the viewer
    int result = entity_readFile(&pose, path.c_str());
    if (result == ENOENT) {
        printf("Camera: %s none, the default pose\n", name.c_str());
        return;
    }
    if (result) {
        printf("Camera: %s cannot be read (%s)\n", name.c_str(), file_reason(result));
        state.notes.push_back(check_format("the camera file %s cannot be read (%s); the viewer "
                                           "starts from the default pose and never saves over it",
                                           name.c_str(), file_reason(result)));
        return;
    }
    printf("Camera: %s\n", name.c_str());
    const Vector *axes[4] = {&pose.left, &pose.up, &pose.forward, &pose.position};
    static const char *const names[4] = {"left", "up", "forward", "position"};
    for (int i = 0; i < 4; i++) {
        const Vector &v = *axes[i];
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
            state.problems.push_back(check_format("the camera file %s: its %s vector is not a "
                                                  "finite number", name.c_str(), names[i]));
        else if (i < 3 && v.x == 0 && v.y == 0 && v.z == 0)
            state.problems.push_back(check_format("the camera file %s: its %s vector has length 0",
                                                  name.c_str(), names[i]));
    }
}

// The entry whose picture image is, -1 for none.  Found from the address,
// not by a search: the reader asks once per entry, and a file of a million
// texture blocks must not take a million squared steps.
int check_entryOf(const Image *image)
{
    if (!tile_tex)
        return -1;
    uintptr_t at = (uintptr_t)image, first = (uintptr_t)&tile_tex[0].image;
    if (at < first)
        return -1;
    size_t i = (at - first) / sizeof(TextureEntry);
    return i < (size_t)tile_texCount && &tile_tex[i].image == image ? (int)i : -1;
}

// The record of the texture entry that holds image; the reader makes its
// table before the first picture, so the records follow it there.
CheckTexture *check_slot(void *ctx, const Image *image)
{
    CheckState *state = (CheckState *)ctx;
    int i = check_entryOf(image);
    if (i < 0)
        return nullptr;
    if (state->textures.size() < (size_t)tile_texCount)
        state->textures.resize((size_t)tile_texCount);
    return &state->textures[(size_t)i];
}

std::string check_relative(const std::string &path, const std::string &root)
{
    return path.compare(0, root.size(), root) == 0 ? path.substr(root.size()) : path;
}

// A picture the viewer would refuse is a problem the report names: the
// check goes on.
bool check_loadPicture(void *ctx, Image *image, const char *path, Refusal *)
{
    if (CheckTexture *t = check_slot(ctx, image)) {
        CheckState *state = (CheckState *)ctx;
        if (check_outside(path, state->root))
            state->notes.push_back(check_format("texture \"%s\": picture %s lies outside the world's "
                                                "root folder", tile_tex[check_entryOf(image)].name,
                                                check_relative(path, state->root).c_str()));
        t->pictures.push_back(check_picture(path));
        if (texture_getTransparent() || t->pictures.back().ownAlpha)
            t->cutOut = true;
    }
    return true;
}

bool check_createColor(void *ctx, Image *image, unsigned short, unsigned short,
                       unsigned char r, unsigned char g, unsigned char b, Refusal *)
{
    if (CheckTexture *t = check_slot(ctx, image))
        t->color = check_format("(%d, %d, %d)", r, g, b);
    return true;
}

void check_unknownTexture(void *ctx, int type, int face, const char *name)
{
    ((CheckState *)ctx)->unknown.push_back(tile_unknownTextureProblem(type, face, name));
}

void check_systemPicture(CheckState &state, const std::string &root, const char *name)
{
    CheckPicture p = check_picture(root + name);
    if (p.verdict.empty()) {
        printf("  %-24s %s\n", name, p.what.c_str());
    } else {
        printf("  %-24s %s\n", name, p.verdict.c_str());
        state.problems.push_back(check_format("system picture %s: %s", name, p.verdict.c_str()));
    }
}

// One line per cube type: its number, name and what it draws.
void check_cube(int type, const std::string &name)
{
    const CubeDef &c = tile[type];
    std::string faces;
    for (int f = 0; f < 6; f++)
        if (c.faceOn[f])
            faces += std::string(faces.empty() ? "" : " ") + tile_faceNames[f];
    std::string traits;
    if (c.shape >= 1 && c.shape <= 12)
        traits += check_format(", shape %d", c.shape);
    if (c.crossed)
        traits += ", crossed";
    if (c.checkered)
        traits += ", checkered";
    printf("  %3d %-20s faces %s%s\n", type, name.c_str(), faces.empty() ? "none" : faces.c_str(),
           traits.c_str());
}

void check_cells(CheckState &state, const std::vector<bool> &defined)
{
    size_t w = tile_width, d = tile_depth, h = tile_height;
    size_t filled = 0, undrawn = 0;
    for (size_t y = 0; y < h; y++)
        for (size_t z = 0; z < d; z++)
            for (size_t x = 0; x < w; x++) {
                if (tile_map[(y * d + z) * w + x] == TILE_EMPTY)
                    continue;
                filled++;
                if (x == w - 1 || y == h - 1 || z == d - 1)
                    undrawn++;
            }
    printf("Cells: %zu of %zu filled\n", filled, w * d * h);
    std::vector<std::string> undefined = tile_undefinedTypeProblems(tile_map, w, d, h, defined);
    state.problems.insert(state.problems.end(), undefined.begin(), undefined.end());
    if (undrawn)
        state.notes.push_back(check_format(
            "%zu filled cell%s in the last column, row or layer, which the fixed camera never draws "
            "(free look, --shot --look and --export do)",
            undrawn, undrawn == 1 ? " lies" : "s lie"));
}

// The definition file's console lines name the cube blocks in order: the
// k-th names type 255 - k.
std::vector<std::string> check_cubeNames(const std::string &console)
{
    std::vector<std::string> names;
    size_t pos = 0;
    while (pos < console.size()) {
        size_t end = console.find('\n', pos);
        if (end == std::string::npos)
            end = console.size();
        if (console.compare(pos, 5, "CUBE:") == 0)
            names.push_back(console.substr(pos + 5, end - pos - 5));
        pos = end + 1;
    }
    return names;
}

// The map picture decoded into grid, said on the console; false (with the
// problem noted) when it is missing or refused.
bool check_map(CheckState &state, const char *root, const char *mapPath, TileMap *grid)
{
    std::vector<unsigned char> mapBytes;
    std::string mapName = check_relative(mapPath, root);
    std::string why;
    std::string mapFound = tile_resolvePicture(mapPath);
    if (mapFound != tile_resolvePath(mapPath))
        mapName = check_relative(mapFound, root);
    if (int result = file_read(mapFound.c_str(), FILE_WORLD_MAX, mapBytes)) {
        std::string why = result == ENOENT ? "is missing" : check_format("cannot be read (%s)", file_reason(result));
        printf("Map: %s %s\n", mapName.c_str(), why.c_str() + (result == ENOENT ? 3 : 0));
        state.problems.push_back("the map picture " + mapName + " " + why);
        return false;
    }
    bool memory = false;
    if (!tile_decodeMap(mapBytes.data(), mapBytes.size(), grid, &why, &memory)) {
        if (memory)
            throw std::bad_alloc();  // the viewer stops there too
        printf("Map: %s is not a map picture: %s\n", mapName.c_str(), why.c_str());
        state.problems.push_back("the map picture " + mapName + " is refused: " + why);
        return false;
    }
    printf("Map: %s, %u x %u cells, %u layers (%u block%s across)\n", mapName.c_str(),
           grid->width, grid->depth, grid->height, grid->across, grid->across == 1 ? "" : "s");
    return true;
}

// Each texture the definition file made, with its picture or colour.
void check_textures(CheckState &state, const char *root)
{
    printf("Textures: %d\n", tile_texCount);
    for (int i = 0; i < tile_texCount; i++) {
        const TextureEntry &e = tile_tex[i];
        const CheckTexture &t = state.textures[(size_t)i];
        std::string flags = std::string(t.cutOut ? ", cut out" : "") + (e.translucent ? ", translucent" : "");
        if (t.pictures.empty()) {
            if (e.loaded) {
                printf("  %-20s colour %s%s\n", e.name, t.color.c_str(), flags.c_str());
            } else {
                printf("  %-20s no picture or colour: a yellow square\n", e.name);
                state.notes.push_back(check_format("texture \"%s\" has neither a picture nor a colour; "
                                                   "it shows as a yellow square", e.name));
            }
        }
        for (const CheckPicture &p : t.pictures) {
            std::string name = check_relative(p.path, root);
            if (p.verdict.empty()) {
                printf("  %-20s %s (%s%s)\n", e.name, name.c_str(), p.what.c_str(), flags.c_str());
            } else {
                printf("  %-20s %s %s\n", e.name, name.c_str(), p.verdict.c_str());
                state.problems.push_back(check_format("texture \"%s\": picture %s %s", e.name,
                                                      name.c_str(), p.verdict.c_str()));
            }
        }
    }

}

int check_world(const char *defPath)
{
    CheckState state;
    std::string def = tile_absolute(defPath);
    printf("World: %s\n", def.c_str());
    std::vector<unsigned char> defBytes;
    if (int result = file_read(tile_resolvePath(def).c_str(), FILE_WORLD_MAX, defBytes)) {
        printf("The definition file cannot be read (%s).\n", file_reason(result));
        return 1;
    }
    char root[TILE_PATH], mapPath[TILE_PATH], camFile[TILE_PATH];
    if (!tile_derivePaths(def.c_str(), root, mapPath, camFile)) {
        printf("The world's paths are too long (at most %d characters).\n", TILE_PATH - 1);
        return 1;
    }
    printf("Root: %s\n", root);
    state.root = root;

    TileMap grid;
    bool haveMap = check_map(state, root, mapPath, &grid);

    Entity pose;
    check_camera(state, root, camFile, &pose);
    printf("System pictures:\n");
    check_systemPicture(state, root, "PCX/SYSTEM/BASIC02.PCX");
    check_systemPicture(state, root, "SYS/IMG/matrix.pcx");

    // The definition file, read by the viewer's own reader; pictures are
    // decoded but not uploaded.
    std::string console;
    TileDefHooks hooks = {&state, check_loadPicture, check_createColor, check_unknownTexture};
    texture_transparent(0);
    texture_autoTransparent(0);
    texture_transparentColor(0, 0, 0);
    Refusal why;
    bool read = true;
    console = check_captured([&] { read = tile_readDef(defBytes.data(), defBytes.size(), root, &hooks, "", &why); });
    if (!read) {
        printf("The definition file stops the viewer: %s\n", check_message(why.code).c_str());
        return 1;
    }
    state.textures.resize((size_t)tile_texCount);

    check_textures(state, root);

    if (tile_bg) {
        int i = check_entryOf(tile_bg);
        printf("Background: %s\n", i >= 0 ? tile_tex[i].name : "?");
    } else {
        printf("Background: none\n");
        state.notes.push_back("no background is set; the stand-by picture is drawn behind the world");
    }

    std::vector<std::string> names = check_cubeNames(console);
    std::vector<bool> defined(256, false);
    printf("Cube types: %zu\n", names.size());
    for (size_t k = 0; k < names.size(); k++) {
        int type = 254 - (int)k;
        defined[(size_t)type] = true;
        check_cube(type, names[k]);
    }
    state.problems.insert(state.problems.end(), state.unknown.begin(), state.unknown.end());

    if (haveMap) {
        if (!tile_setMap(&grid))
            throw std::bad_alloc();
        check_cells(state, defined);
        // The viewer starts in the fixed camera.
        std::string empty = main_emptyView(&pose.position, false, MAIN_VIEW_DEFAULT, false);
        if (!empty.empty())
            state.notes.push_back("from the camera's pose " + empty);
    }

    for (const std::string &n : state.notes)
        printf("Note: %s.\n", n.c_str());
    for (const std::string &p : state.problems)
        printf("Problem: %s.\n", p.c_str());
    if (state.problems.empty()) {
        printf("The world is sound.\n");
        return 0;
    }
    printf("%zu problem%s.\n", state.problems.size(), state.problems.size() == 1 ? "" : "s");
    return 1;
}

}  // namespace

int main_check(const char *defPath)
{
    error_noDialog();
    int status;
    try {
        status = check_world(defPath);
    } catch (const std::bad_alloc &) {
        printf("The world stops the viewer: %s\n", check_message(ERROR_MEMORY).c_str());
        status = 1;
    }
    fflush(stdout);
    return status;
}
