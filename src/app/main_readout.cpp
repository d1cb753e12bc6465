// main_readout.cpp -- the readout key i shows over the view: the world, the camera's cell, the cell at the centre of the view, frames a second
#include "main.h"

#include <math.h>
#include <stdio.h>

#include <string>
#include <vector>

#include <GL/freeglut.h>

#include "camera.h"
#include "file.h"
#include "gpu.h"
#include "map_text.h"
#include "tile.h"

static bool main_readoutOn;
static int main_readoutFrames, main_readoutSince = -1;
static double main_readoutRate;
static MainReadoutWorld main_readoutWorld;
static unsigned main_readoutGeneration;
static bool main_readoutKnown;

static std::string main_cellText(const TileCell &c)
{
    return "column " + std::to_string(c.x) + ", layer " + std::to_string(c.y) + ", row " +
           std::to_string(c.z);
}

static bool main_inside(const MainReadoutWorld &w, const TileCell &c)
{
    return c.x >= 0 && c.y >= 0 && c.z >= 0 && (unsigned)c.x < w.width && (unsigned)c.y < w.height &&
           (unsigned)c.z < w.depth;
}

static std::string main_tileText(const MainReadoutWorld &w, const TileCell &c)
{
    unsigned char type = w.cells[((size_t)c.y * w.depth + (size_t)c.z) * w.width + (size_t)c.x];
    const std::string &name = w.typeNames[type];
    return main_cellText(c) + ": " + std::to_string(type) + " " +
           (name.empty() ? std::string("(no cube block)") : name);
}

// The axis the view looks along most, with its sign.
static std::string main_facing(const Vector *f)
{
    float a[3] = {fabsf(f->x), fabsf(f->y), fabsf(f->z)};
    int axis = a[0] >= a[1] && a[0] >= a[2] ? 0 : a[1] >= a[2] ? 1 : 2;
    float v = axis == 0 ? f->x : axis == 1 ? f->y : f->z;
    static const char *const names[3] = {"x", "y", "z"};
    return std::string(v < 0 ? "-" : "+") + names[axis];
}

std::vector<std::string> main_readoutLines(const MainReadoutWorld &w, const Entity *camera, double fps)
{
    std::vector<std::string> lines;
    lines.push_back(w.name);
    TileCell at;
    std::string where = "camera: outside any cell";
    if (tile_cellAt(&camera->position, &at))
        where = "camera: " + main_cellText(at) + (main_inside(w, at) ? "" : " (outside the map)");
    lines.push_back(where + ", facing " + main_facing(&camera->forward));

    unsigned char passes[256] = {0};
    passes[TILE_EMPTY] = 1;
    TileCell hit;
    TileSeen seen = {w.near, {w.lo[0], w.lo[1], w.lo[2]}, {w.hi[0], w.hi[1], w.hi[2]}};
    if (w.cells && tile_walk(&camera->position, &camera->forward, w.width, w.height, w.depth,
                             w.cells, passes, &hit, nullptr, &seen)) {
        lines.push_back("centre: " + main_tileText(w, hit));
        unsigned char type = w.cells[((size_t)hit.y * w.depth + (size_t)hit.z) * w.width + (size_t)hit.x];
        if (w.seeThrough[type]) {
            for (int t = 0; t < 256; t++)
                passes[t] |= w.seeThrough[t];
            if (tile_walk(&camera->position, &camera->forward, w.width, w.height, w.depth, w.cells,
                          passes, &hit, nullptr, &seen))
                lines.push_back("  seen through it: " + main_tileText(w, hit));
        }
    } else {
        lines.push_back("centre: none within " + std::to_string(TILE_WALK_MAX) + " cells");
    }
    char rate[64];
    snprintf(rate, sizeof rate, "%.0f frames a second", fps);
    lines.push_back(rate);
    return lines;
}

// The names the readout gives tile types: the legend of the map text
// beside the map picture, else the cube blocks' names.
void main_readoutNames(const std::vector<unsigned char> &def, const std::vector<unsigned char> *mapText,
                       const std::string &mapFile, std::vector<std::string> *names)
{
    tile_cubeNames(def.data(), def.size(), names);
    MapText text;
    std::string reason;
    if (mapText && !map_textParse(mapFile, *mapText, &text, &reason))
        fprintf(stderr, "tavo: %s; the readout names tile types by their cube blocks\n", reason.c_str());
    else if (mapText)
        for (const MapLegend &l : text.legend)
            if (!l.name.empty())
                (*names)[(unsigned char)l.type] = l.name;
}

// What the readout knows of the world, again whenever the world is read.
static void main_readoutLearn(void)
{
    MainReadoutWorld &w = main_readoutWorld;
    w.width = tile_width;
    w.height = tile_height;
    w.depth = tile_depth;
    w.cells = tile_map;
    // The cells this frame's mode draws.
    TileBlock b;
    if (main_looking)
        tile_lookBlock(camera.position.x, camera.position.y, camera.position.z, main_view, &b);
    else
        tile_block(camera.position.x, camera.position.y, camera.position.z, tile_width, tile_height,
                   tile_depth, tile_size, tile_sizeZ, &b);
    w.lo[0] = b.x0, w.lo[1] = b.y0, w.lo[2] = b.z0, w.hi[0] = b.x1, w.hi[1] = b.y1, w.hi[2] = b.z1;
    std::string file = tile_file;
    w.name = file.substr(0, file.rfind('.'));
    for (int t = 0; t < 256; t++) {
        const CubeDef &c = tile[t];
        bool see = c.crossed;
        for (int f = 0; f < 6; f++) {
            const TextureEntry *e = c.faceTexture[f];
            if (c.faceOn[f] && e && (e->translucent || e->image.hasAlpha))
                see = true;
        }
        w.seeThrough[t] = see;
    }
    if (main_readoutKnown && main_readoutGeneration == tile_generation)
        return;
    main_readoutKnown = true;
    main_readoutGeneration = tile_generation;
    std::vector<unsigned char> def, mapText;
    char root[TILE_PATH], map[TILE_PATH], cam[TILE_PATH];
    if (tile_files.empty() || file_read(tile_files[0].c_str(), FILE_WORLD_MAX, def) ||
        !tile_derivePaths(tile_files[0].c_str(), root, map, cam)) {
        w.typeNames.assign(256, std::string());
        return;
    }
    std::string mapFile = map;
    mapFile = tile_resolvePath(mapFile.substr(0, mapFile.size() - 3) + "map");
    bool hasText = file_read(mapFile.c_str(), FILE_WORLD_MAX, mapText) == 0;
    main_readoutNames(def, hasText ? &mapText : nullptr, mapFile, &w.typeNames);
}

void main_readoutToggle(void)
{
    main_readoutOn = !main_readoutOn;
}

void main_readoutDraw(void)
{
    int now = glutGet(GLUT_ELAPSED_TIME);
    if (main_readoutSince < 0)
        main_readoutSince = now;
    main_readoutFrames++;
    if (now - main_readoutSince >= 500) {
        main_readoutRate = main_readoutFrames * 1000.0 / (now - main_readoutSince);
        main_readoutFrames = 0;
        main_readoutSince = now;
    }
    if (!main_readoutOn)
        return;  // not a pixel of the frame is touched
    main_readoutLearn();
    std::vector<std::string> lines = main_readoutLines(main_readoutWorld, &camera, main_readoutRate);

    // The overlay's unit is the window's height; the font is 13 pixels high.
    float px = PH > 0 ? 1.0f / PH : 0.0f, line = 15.0f * px;
    size_t longest = 0;
    for (const std::string &l : lines)
        longest = l.size() > longest ? l.size() : longest;
    gpu_pushState();
    camera_2D();
    gpu_texturing(false);
    gpu_culling(false);
    gpu_alphaTest(false);
    gpu_blending(true);
    gpu_color(0.0f, 0.0f, 0.0f, 0.6f);
    gpu_begin(GPU_QUADS);
    gpu_vertex2(0.0f, 0.0f);
    gpu_vertex2(0.0f, (float)lines.size() * line + 8.0f * px);
    gpu_vertex2((float)longest * 8.0f * px + 12.0f * px, (float)lines.size() * line + 8.0f * px);
    gpu_vertex2((float)longest * 8.0f * px + 12.0f * px, 0.0f);
    gpu_end();
    gpu_color(1.0f, 1.0f, 1.0f, 1.0f);
    for (size_t i = 0; i < lines.size(); i++) {
        gpu_rasterPos(6.0f * px, (float)(i + 1) * line);
        glutBitmapString(GLUT_BITMAP_8_BY_13, (const unsigned char *)lines[i].c_str());
    }
    camera_3D();
    gpu_popState();
}
