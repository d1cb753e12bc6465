// main_build.cpp -- building in free look: the cell in view, removing and placing cells, boxes, the chosen type
#include "main.h"

#include <stdio.h>
#include <stdlib.h>

#include <GL/freeglut.h>

#include "camera.h"
#include "edit.h"
#include "file.h"
#include "gpu.h"
#include "input.h"
#include "tile.h"

bool main_building;

namespace {

// The cell the view ray meets first, and the face it enters through.
struct MainAim {
    bool hit = false;
    EditPos cell = {0, 0, 0};
    int face = -1;
};

std::vector<int> main_types;            // the types to choose from
std::vector<std::string> main_typeNames;
size_t main_chosen;
bool main_typesKnown;  // learnt since the world was last read
long main_lastStep[2] = {0, 0};         // when each button last built
bool main_held[2];
bool main_marked;
MainAim main_mark;

MainAim main_aim(void)
{
    MainAim aim;
    unsigned char passes[256] = {0};
    passes[TILE_EMPTY] = 1;
    TileCell hit, eye;
    if (!tile_map || !tile_walk(&camera.position, &camera.forward, tile_width, tile_height, tile_depth,
                                tile_map, passes, &hit, &aim.face) ||
        !tile_cellAt(&camera.position, &eye))
        return aim;
    if (abs(hit.x - eye.x) > MAIN_BUILD_REACH || abs(hit.y - eye.y) > MAIN_BUILD_REACH ||
        abs(hit.z - eye.z) > MAIN_BUILD_REACH)
        return aim;
    aim.hit = true;
    aim.cell = {hit.x, hit.y, hit.z};
    return aim;
}

EditGrid main_grid(void)
{
    return {tile_width, tile_height, tile_depth, tile_map};
}

// The world's cube blocks (and the map legend's names), again whenever the
// world was read: edits change the generation, not the blocks.
void main_learnTypes(void)
{
    if (main_typesKnown)
        return;
    main_typesKnown = true;
    std::vector<unsigned char> def, mapText;
    std::string picture, text;
    std::vector<std::string> names(256);
    if (!tile_files.empty() && file_read(tile_files[0].c_str(), FILE_WORLD_MAX, def) == 0 &&
        tile_mapFiles(&picture, &text)) {
        bool hasText = !text.empty() && file_read(text.c_str(), FILE_WORLD_MAX, mapText) == 0;
        main_readoutNames(def, hasText ? &mapText : nullptr, text, &names);
    }
    int was = main_types.empty() ? -1 : main_types[main_chosen];
    main_types.clear();
    main_typeNames.clear();
    for (int t = 0; t < 255; t++)
        if (!names[t].empty()) {
            if (t == was)
                main_chosen = main_types.size();
            main_types.push_back(t);
            main_typeNames.push_back(names[t]);
        }
    if (main_chosen >= main_types.size())
        main_chosen = 0;
}

// One press of a key: consumed, so holding it acts once.
bool main_pressed(unsigned short key)
{
    if (!input_check(key))
        return false;
    input_reset(key);
    return true;
}

// A button builds on its press, then every MAIN_BUILD_REPEAT ms while held.
bool main_buttonStep(int button, long now)
{
    int i = button == 0 ? 0 : 1;
    if (!mouse_check((unsigned char)button)) {
        main_held[i] = false;
        return false;
    }
    if (main_held[i] && now - main_lastStep[i] < MAIN_BUILD_REPEAT)
        return false;
    main_held[i] = true;
    main_lastStep[i] = now;
    return true;
}

void main_chooseType(int by)
{
    if (main_types.empty())
        return;
    long n = (long)main_types.size();
    main_chosen = (size_t)((((long)main_chosen + by) % n + n) % n);
}

void main_boxKey(const MainAim &aim, bool clear)
{
    if (!aim.hit)
        return;
    if (!main_marked) {
        main_marked = true;
        main_mark = aim;
        return;
    }
    main_marked = false;
    EditStep step;
    // A fill takes the cells in front of the faces aimed at, a clear the cells themselves.
    EditPos a = clear ? main_mark.cell : edit_beside(main_mark.cell, main_mark.face);
    EditPos b = clear ? aim.cell : edit_beside(aim.cell, aim.face);
    unsigned char type = clear || main_types.empty() ? TILE_EMPTY : (unsigned char)main_types[main_chosen];
    if (edit_box(main_grid(), a, b, type, &step))
        main_buildApply(std::move(step));
}

}  // namespace

void main_buildTypesStale(void)
{
    main_typesKnown = false;
}

void main_buildKeyDown(unsigned char key, int x, int y)
{
    if (key == MAIN_KEY_UNDO && (glutGetModifiers() & GLUT_ACTIVE_SHIFT))
        key = MAIN_KEY_REDO;
    input_pressKey(key, x, y);
}

void main_buildKeyUp(unsigned char key, int x, int y)
{
    input_releaseKey(key, x, y);
    if (key == MAIN_KEY_UNDO)
        input_releaseKey(MAIN_KEY_REDO, x, y);
}

void main_buildControl(long now)
{
    if (main_pressed(MAIN_KEY_BUILD)) {
        main_building = !main_building;
        main_marked = false;
        main_held[0] = main_held[1] = true;  // the button that may be down flies no more, builds not yet
        main_lastStep[0] = main_lastStep[1] = now;
        puts(main_building ? "Building on: the left button removes, the right places, Ctrl+S saves"
                           : "Building off");
        fflush(stdout);
    }
    if (main_pressed(MAIN_KEY_UNDO))
        main_buildUndo(false);
    if (main_pressed(MAIN_KEY_REDO))
        main_buildUndo(true);
    if (!main_building)
        return;
    main_learnTypes();
    MainAim aim = main_aim();
    EditStep step;
    if (main_buttonStep(0, now) && aim.hit && edit_remove(main_grid(), aim.cell, &step))
        main_buildApply(std::move(step));
    if (main_buttonStep(2, now) && aim.hit && !main_types.empty() &&
        edit_place(main_grid(), aim.cell, aim.face, (unsigned char)main_types[main_chosen], &step))
        main_buildApply(std::move(step));
    if (main_pressed(']') || mouse_check(3))
        main_chooseType(1);
    if (main_pressed('[') || mouse_check(4))
        main_chooseType(-1);
    mouse_reset(3);
    mouse_reset(4);
    if (main_pressed(MAIN_KEY_BOX))
        main_boxKey(aim, false);
    if (main_pressed('X'))
        main_boxKey(aim, true);
}

// The outline of the face aimed at, a little in front of it.
static void main_outline(const MainAim &aim)
{
    if (!aim.hit || aim.face < 0)
        return;
    float c[3] = {aim.cell.x * tile_size, aim.cell.y * tile_size, aim.cell.z * tile_sizeZ};
    float half[3] = {tile_size / 2 + 0.02f, tile_size / 2 + 0.02f, tile_sizeZ / 2 + 0.02f};
    static const int axisOf[6] = {2, 1, 0, 1, 0, 2};
    static const float signOf[6] = {-1, 1, 1, -1, -1, 1};
    int axis = axisOf[aim.face], u = (axis + 1) % 3, v = (axis + 2) % 3;
    static const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    gpu_begin(GPU_LINE_LOOP);
    for (const auto &k : corners) {
        float p[3];
        p[axis] = c[axis] + signOf[aim.face] * half[axis];
        p[u] = c[u] + k[0] * half[u];
        p[v] = c[v] + k[1] * half[v];
        gpu_vertex(p[0], p[1], p[2]);
    }
    gpu_end();
}

// The chosen type's picture, from its first face that shows one, above the label.
static void main_typePicture(float px)
{
    if (main_types.empty())
        return;
    const CubeDef &c = tile[main_types[main_chosen]];
    const Image *image = nullptr;
    for (int f = 0; f < 6 && !image; f++)
        if (c.faceOn[f] && c.faceTexture[f] && c.faceTexture[f]->image.textureId &&
            c.faceTexture[f]->image.texWidth && c.faceTexture[f]->image.texHeight)
            image = &c.faceTexture[f]->image;
    if (!image)
        return;
    float s = (float)image->width / image->texWidth, t = (float)image->height / image->texHeight;
    float side = 48 * px, x0 = 6 * px, y1 = 1.0f - 24 * px, y0 = y1 - side;
    gpu_texturing(true);
    gpu_bindTexture(image->textureId);
    gpu_color(1.0f, 1.0f, 1.0f, 1.0f);
    gpu_begin(GPU_QUADS);
    gpu_texCoord(0, 0);
    gpu_vertex2(x0, y0);
    gpu_texCoord(s, 0);
    gpu_vertex2(x0 + side, y0);
    gpu_texCoord(s, t);
    gpu_vertex2(x0 + side, y1);
    gpu_texCoord(0, t);
    gpu_vertex2(x0, y1);
    gpu_end();
    gpu_texturing(false);
}

void main_buildDraw(void)
{
    if (!main_building || !main_looking)
        return;
    gpu_pushState();
    gpu_texturing(false);
    gpu_lighting(false);
    gpu_culling(false);
    gpu_alphaTest(false);
    gpu_color(1.0f, 1.0f, 0.0f, 1.0f);
    gpu_lineWidth(2.0f);
    main_outline(main_aim());
    camera_2D();
    float px = PH > 0 ? 1.0f / PH : 0.0f, cx = PW / 2 * px, cy = 0.5f;
    gpu_color(1.0f, 1.0f, 1.0f, 1.0f);
    gpu_begin(GPU_LINES);  // the crosshair
    gpu_vertex2(cx - 8 * px, cy);
    gpu_vertex2(cx + 8 * px, cy);
    gpu_vertex2(cx, cy - 8 * px);
    gpu_vertex2(cx, cy + 8 * px);
    gpu_end();
    std::string label = main_types.empty() ? std::string("no cube block to place")
                                           : "placing " + std::to_string(main_types[main_chosen]) + " " +
                                                 main_typeNames[main_chosen];
    if (main_marked)
        label += "  (corner marked: x fills, X clears)";
    if (main_buildUnsaved())
        label += "  [unsaved]";
    main_typePicture(px);
    gpu_rasterPos(6 * px, 1.0f - 8 * px);
    glutBitmapString(GLUT_BITMAP_8_BY_13, (const unsigned char *)label.c_str());
    camera_3D();
    gpu_popState();
}
