// frame_bench.cpp -- ms per frame of the face cache and the direct walk beside vertex-array references
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <GL/freeglut.h>

#include "bench_world.h"
#include "camera.h"
#include "edit.h"
#include "error.h"
#include "file.h"
#include "main.h"
#include "pcx_encode.h"
#include "texture.h"
#include "tile.h"

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

// ------------------------------------------------------ counting and capture

// glBegin/glEnd pairs sent since the last reset.
static long bench_primitives;
// When set, the next swap first reads the finished frame into it.
static std::vector<unsigned char> *bench_capture;

extern "C" void glBegin(GLenum mode)
{
    static auto real = reinterpret_cast<void (*)(GLenum)>(dlsym(RTLD_NEXT, "glBegin"));
    bench_primitives++;
    real(mode);
}

extern "C" void glutSwapBuffers(void)
{
    if (bench_capture) {
        bench_capture->resize(640 * 480 * 3);
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, bench_capture->data());
        bench_capture = nullptr;
    }
    static auto real = reinterpret_cast<void (*)(void)>(dlsym(RTLD_NEXT, "glutSwapBuffers"));
    real();
}

// The viewer prints a line per frame; it goes to /dev/null while timing.
static int bench_savedStdout = -1;

static void bench_quiet(bool on)
{
    fflush(stdout);
    if (on && bench_savedStdout < 0) {
        bench_savedStdout = dup(1);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            close(null);
        }
    } else if (!on && bench_savedStdout >= 0) {
        dup2(bench_savedStdout, 1);
        close(bench_savedStdout);
        bench_savedStdout = -1;
    }
}

static double bench_now(void)
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec * 1e3 + (double)ts.tv_nsec / 1e6;
}

// ------------------------------------------------------------------ worlds

// What the drawing pass reads, so that worlds can take turns frame by frame.
// Each world keeps its own face cache, swapped in while it is drawn.
struct BenchWorld {
    CubeDef defs[256];
    unsigned char *map;
    unsigned short width, height, depth;
    Image *bg;
    Entity eye;
    TileFaces faces;
};

static void bench_use(BenchWorld &w)
{
    std::swap(tile_faces, w.faces);
    memcpy(tile, w.defs, sizeof tile);
    tile_map = w.map;
    tile_width = w.width;
    tile_height = w.height;
    tile_depth = w.depth;
    tile_bg = w.bg;
    camera = w.eye;
}

// The world's face cache and eye, kept as the frame left them.
static void bench_keep(BenchWorld &w)
{
    std::swap(tile_faces, w.faces);
    w.eye = camera;
}

// The dense block: every cell of a 22 x 22 x 22 grid (21 x 21 x 21 drawn)
// solid, all six faces on, four textures alternating cell by cell.  The
// lattice keeps only the cells whose x + y + z is even, so no face hides
// another.  The flight's grid is the dense one stretched along x, for an
// eye that moves a cell every frame.
static const unsigned BENCH_SIDE = 22;
static const unsigned BENCH_FLIGHT = 50;  // cells flown before starting over
static const unsigned BENCH_TEXTURES = 4;
static TextureEntry bench_denseTextures[BENCH_TEXTURES];

static void bench_makeTextures(void)
{
    static const unsigned char colours[BENCH_TEXTURES][3] = {
        {200, 60, 40}, {60, 160, 60}, {50, 80, 200}, {220, 200, 70}};
    for (unsigned t = 0; t < BENCH_TEXTURES; t++) {
        TextureEntry &e = bench_denseTextures[t];
        memset(&e, 0, sizeof e);
        snprintf(e.name, sizeof e.name, "dense%u", t);
        image_create(&e.image, 32, 32, colours[t][0], colours[t][1], colours[t][2]);
    }
}

enum BenchLayout { BENCH_DENSE, BENCH_LATTICE, BENCH_WIDE };

static bool bench_filled(BenchLayout layout, unsigned x, unsigned y, unsigned z)
{
    return layout != BENCH_LATTICE || (x + y + z) % 2 == 0;
}

static void bench_makeBlock(BenchWorld &w, std::vector<unsigned char> &cells, BenchLayout layout)
{
    unsigned width = layout == BENCH_WIDE ? BENCH_SIDE + BENCH_FLIGHT : BENCH_SIDE;
    memset(w.defs, 0, sizeof w.defs);
    for (unsigned t = 0; t < BENCH_TEXTURES; t++) {
        CubeDef &def = w.defs[1 + t];
        for (int f = 0; f < 6; f++) {
            def.faceOn[f] = 1;
            def.faceTexture[f] = &bench_denseTextures[t];
        }
    }
    cells.assign((size_t)width * BENCH_SIDE * BENCH_SIDE, 0);
    for (unsigned y = 0; y < BENCH_SIDE; y++)
        for (unsigned z = 0; z < BENCH_SIDE; z++)
            for (unsigned x = 0; x < width; x++)
                cells[((size_t)y * BENCH_SIDE + z) * width + x] =
                    bench_filled(layout, x, y, z) ? (unsigned char)(1 + (x + y + z) % BENCH_TEXTURES)
                                                  : (unsigned char)TILE_EMPTY;
    w.map = cells.data();
    w.width = (unsigned short)width;
    w.height = w.depth = BENCH_SIDE;
    w.bg = nullptr;
    // Columns and layers 0..20 are drawn from an eye at 20; an eye past the
    // grid's end draws rows 0..20.  Their near faces (z = 143.5) stand 52
    // units before the eye, where the 45 degree view is 43 units high.
    w.eye = Entity{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {20, 20, 195.5f}};
}

// ------------------------------------------------------------- reference

// A block's faces, all of them, as one vertex array per texture.
struct BenchReference {
    std::vector<float> xyz, uv;
    int first[BENCH_TEXTURES], count[BENCH_TEXTURES];
};

static void bench_makeReference(BenchReference &r, BenchLayout layout)
{
    const unsigned n = BENCH_SIDE - 1;
    const float half[3] = {tile_size / 2, tile_size / 2, tile_sizeZ / 2};
    const float corner[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    const float cornerUV[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    for (unsigned t = 0; t < BENCH_TEXTURES; t++) {
        r.first[t] = (int)(r.xyz.size() / 3);
        for (unsigned z = 0; z < n; z++)
            for (unsigned y = 0; y < n; y++)
                for (unsigned x = 0; x < n; x++) {
                    if ((x + y + z) % BENCH_TEXTURES != t || !bench_filled(layout, x, y, z))
                        continue;
                    const float centre[3] = {x * tile_size, y * tile_size, z * tile_sizeZ};
                    // Face on axis a, sign s; axes u, v follow a cyclically,
                    // so the corners run counter-clockwise seen from outside.
                    for (int a = 0; a < 3; a++)
                        for (int s = -1; s <= 1; s += 2)
                            for (int i = 0; i < 4; i++) {
                                int k = s > 0 ? i : 3 - i;
                                float p[3];
                                p[a] = (float)s;
                                p[(a + 1) % 3] = corner[k][0];
                                p[(a + 2) % 3] = corner[k][1];
                                for (int c = 0; c < 3; c++)
                                    r.xyz.push_back(centre[c] + p[c] * half[c]);
                                r.uv.push_back(cornerUV[i][0]);
                                r.uv.push_back(cornerUV[i][1]);
                            }
                }
        r.count[t] = (int)(r.xyz.size() / 3) - r.first[t];
    }
}

// The same frame as main_render gives the dense block: clear, view,
// backdrop, faces, swap.
static void bench_drawReference(const BenchReference &r)
{
    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    camera_lookFrom(&camera);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    camera_2D();
    glBindTexture(GL_TEXTURE_2D, (tile_bg ? tile_bg : &tile_dummy)->textureId);
    float right = PW / PH;
    const float backXY[] = {0, 0, 0, 1, right, 1, right, 0};
    const float backUV[] = {0, 0, 0, 1, 1, 1, 1, 0};
    glVertexPointer(2, GL_FLOAT, 0, backXY);
    glTexCoordPointer(2, GL_FLOAT, 0, backUV);
    glDrawArrays(GL_QUADS, 0, 4);
    camera_3D();

    glEnable(GL_CULL_FACE);
    glVertexPointer(3, GL_FLOAT, 0, r.xyz.data());
    glTexCoordPointer(2, GL_FLOAT, 0, r.uv.data());
    for (unsigned t = 0; t < BENCH_TEXTURES; t++) {
        glBindTexture(GL_TEXTURE_2D, bench_denseTextures[t].image.textureId);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glDrawArrays(GL_QUADS, r.first[t], r.count[t]);
    }
    glutSwapBuffers();
    // The binding changed behind the texture module's back.
    texture_forget();
}

// ------------------------------------------------------------------ scenes

struct BenchScene {
    const char *name;
    BenchWorld *world;            // null: a reference
    const BenchReference *reference;
    bool direct;                  // the walk straight to OpenGL, not the face cache
    bool fly;                     // the eye moves one cell along x every frame
    std::vector<double> ms;
    long faces;
    unsigned frame;
};

static void bench_frame(BenchScene &s)
{
    if (s.world) {
        bench_use(*s.world);
        if (s.fly)
            camera.position.x = tile_size * (float)(10 + s.frame++ % BENCH_FLIGHT);
    }
    tile_direct = s.direct;
    bench_primitives = 0;
    double t0 = bench_now();
    if (s.world)
        main_render();
    else
        bench_drawReference(*s.reference);
    glFinish();
    s.ms.push_back(bench_now() - t0);
    if (!s.world) {
        s.faces = 0;
        for (int count : s.reference->count)
            s.faces += count / 4;
    } else {
        s.faces = s.direct ? bench_primitives - (tile_optTexture ? 1 : 0)  // less the backdrop
                           : tile_faces.faces;
        bench_keep(*s.world);
    }
}

static double bench_rank(const std::vector<double> &sorted, double q)
{
    if (sorted.empty())
        return 0.0;
    double at = q * (double)(sorted.size() - 1);
    size_t lo = (size_t)at;
    size_t hi = std::min(lo + 1, sorted.size() - 1);
    return sorted[lo] + (sorted[hi] - sorted[lo]) * (at - (double)lo);
}

static double bench_median(const BenchScene &s)
{
    std::vector<double> v = s.ms;
    std::sort(v.begin(), v.end());
    return bench_rank(v, 0.5);
}

// The start view as tracked in the sources (the camera file in the build
// folder follows wherever the viewer last flew).  0 when it is unreadable.
static int bench_readPose(const char *path, Entity *e)
{
    FILE *f = fopen(path, "r");
    if (!f)
        return 0;
    float v[12];
    int got = 0;
    char line[256];
    while (got < 12 && fgets(line, sizeof line, f)) {
        if (line[0] == '#')
            continue;
        got += sscanf(line, "%f %f %f", &v[got], &v[got + 1], &v[got + 2]) == 3 ? 3 : 0;
    }
    fclose(f);
    if (got < 12)
        return 0;
    *e = Entity{{v[0], v[1], v[2]}, {v[3], v[4], v[5]}, {v[6], v[7], v[8]}, {v[9], v[10], v[11]}};
    return 1;
}

static void bench_nothing(void) {}

// ------------------------------------------------------------- free look

static double bench_worst(const std::vector<double> &ms)
{
    return ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end());
}

static double bench_medianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return bench_rank(v, 0.5);
}

// Processor time of every thread, the renderer's included: steadier than the
// clock on a machine that others share.
static double bench_cpu(void)
{
    struct timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

static void bench_lookFrame(std::vector<double> &ms)
{
    double t0 = bench_now();
    main_render();
    glFinish();
    ms.push_back(bench_now() - t0);
}

// Frames until every chunk the view meets is built, or with everyChunk
// every chunk within the view distance, met or not (at most 20 s): the ms
// it took.
static double bench_lookSettle(bool everyChunk)
{
    double t0 = bench_now();
    std::vector<double> ms;
    do
        bench_lookFrame(ms);
    while ((everyChunk ? tile_lookStats.queued : tile_lookStats.pending) > 0 && bench_now() - t0 < 20000.0);
    return bench_now() - t0;
}

// One cell set on the ground ahead of the eye at each view distance: the
// chunks built for it, and the time and frames from the new version to
// the first frame drawn with every chunk it touched built again.  Then
// the cell back through the globals, as a reload publishes a map read
// again: the fewest chunks a frame drew meanwhile against the frame
// before, at N = 128.  Returns the lines to print.
static std::string bench_changes(std::vector<unsigned char> &cells, unsigned side, unsigned layers)
{
    std::string lines;
    char line[256];
    const unsigned x = side / 2, z = side / 2 - 12;
    unsigned y = 0;
    while (y + 1 < layers && cells[((size_t)(y + 1) * side + z) * side + x] != TILE_EMPTY)
        y++;
    const unsigned char ground = cells[((size_t)y * side + z) * side + x];
    std::vector<double> ms;
    for (int view : {64, 128, 256}) {
        main_view = view;
        bench_lookSettle(true);
        const long built = tile_lookStats.built;
        for (int put = 1; put >= 0; put--) {
            const TileCellEdit edit = {(unsigned short)x, (unsigned short)(y + 1), (unsigned short)z,
                                       put ? ground : (unsigned char)TILE_EMPTY};
            const double t0 = bench_now();
            tile_editCells(&edit, 1);
            int frames = 0;
            do
                bench_lookFrame(ms), frames++;
            while (tile_lookStats.waiting > 0 && bench_now() - t0 < 5000.0);
            if (!put)
                break;
            snprintf(line, sizeof line,
                     "  one-cell change at N = %d: %ld chunks built (target: 9 or less), %.1f ms and %d frames "
                     "from the new version to the frame showing it (target: 2 frames or less)\n",
                     view, tile_lookStats.built - built, bench_now() - t0, frames);
            lines += line;
        }
    }
    main_view = 128;
    bench_lookSettle(true);
    bench_lookFrame(ms);
    const int before = tile_lookStats.drawn;
    int fewest = before;
    cells[((size_t)(y + 1) * side + z) * side + x] = ground;
    tile_generation++;  // published from the globals, compared chunk by chunk
    const double t0 = bench_now();
    do {
        bench_lookFrame(ms);
        fewest = std::min(fewest, tile_lookStats.drawn);
    } while ((tile_lookStats.waiting > 0 || bench_now() - t0 < 100.0) && bench_now() - t0 < 5000.0);
    snprintf(line, sizeof line,
             "  a map read again with one cell changed, N = 128: fewest chunks a frame drew %d of %d before, "
             "%.2f (target: 0.9 or more)\n", fewest, before, before ? (double)fewest / before : 1.0);
    lines += line;
    cells[((size_t)(y + 1) * side + z) * side + x] = TILE_EMPTY;
    tile_generation++;
    return lines;
}

// Frames from now until none of the chunks a change touched waits for its
// new build (at most 5 s): the ms it took and the frames drawn.
static double bench_untilShown(std::vector<double> &ms, int *frames)
{
    const double t0 = bench_now();
    *frames = 0;
    do
        bench_lookFrame(ms), (*frames)++;
    while (tile_lookStats.waiting > 0 && bench_now() - t0 < 5000.0);
    return bench_now() - t0;
}

// Building's click at N = 256: a cell placed on the ground ahead of the
// eye and removed again, each through the step the mouse buttons make and
// main_buildApply, timed from the step to the frame showing it.
static std::string bench_buildEdits(unsigned side, unsigned layers)
{
    const EditGrid grid = {tile_width, tile_height, tile_depth, tile_map};
    const int x = (int)side / 2 + 3, z = (int)side / 2 - 14;
    int y = 0;
    while (y + 1 < (int)layers && grid.at({x, y + 1, z}) != EDIT_EMPTY)
        y++;
    main_view = 256;
    bench_lookSettle(true);
    std::vector<double> ms, took;
    std::vector<long> built;
    int frames = 0, mostFrames = 0;
    for (int round = 0; round < 3; round++)
        for (int put = 1; put >= 0; put--) {
            const long before = tile_lookStats.built;
            const double t0 = bench_now();
            EditStep step;
            const bool made = put ? edit_place(grid, {x, y, z}, TILE_TOP, grid.at({x, y, z}), &step)
                                  : edit_remove(grid, {x, y + 1, z}, &step);
            if (!made)
                return "  building: no edit to make at the chosen cell\n";
            main_buildApply(std::move(step));
            bench_untilShown(ms, &frames);
            took.push_back(bench_now() - t0);
            built.push_back(tile_lookStats.built - before);
            mostFrames = std::max(mostFrames, frames);
            bench_lookSettle(true);  // the outside air made anew before the next
        }
    char line[320];
    snprintf(line, sizeof line,
             "  an edit at N = 256 (3 places and 3 removals): %ld to %ld chunks built (target: 9 or less); from the "
             "click to the frame showing it median %.1f ms, worst %.1f ms, at most %d frames (target: 2 frames or "
             "less)\n",
             *std::min_element(built.begin(), built.end()), *std::max_element(built.begin(), built.end()),
             bench_medianOf(took), bench_worst(took), mostFrames);
    return line;
}

// A save of the map as the viewer makes one: the grid copied on the
// drawing thread, then tile_saveMap on a thread of its own while frames
// are drawn at N = 128.  The map picture is the generated world's, written
// to a scratch folder first.
static std::string bench_buildSave(const std::vector<unsigned char> &cells, unsigned side, unsigned layers,
                                   int frames)
{
    char dir[] = "/tmp/tavo-bench-XXXXXX";
    if (!mkdtemp(dir))
        return "  save: no scratch folder\n";
    const std::string picture = std::string(dir) + "/gen.pcx";
    std::vector<unsigned char> pixels;
    unsigned pw = 0, ph = 0;
    pcx_encodeMap(side, side, layers, cells.data(), 8, &pixels, &pw, &ph);
    unsigned char palette[768];
    for (int i = 0; i < 768; i++)
        palette[i] = (unsigned char)i;
    const std::vector<unsigned char> file = pcx_encode8(pw, ph, pixels.data(), palette);
    if (!pcx_writeFile(picture, file)) {
        rmdir(dir);
        return "  save: the map picture could not be written\n";
    }
    main_view = 128;
    bench_lookSettle(true);
    std::vector<double> standing, during;
    for (int i = 0; i < frames; i++)
        bench_lookFrame(standing);
    struct Saving {
        TileMapSave request;
        TileMapSaved result;
        double ms = 0.0;
        std::atomic<bool> done{false};
    };
    std::vector<double> saved, copies;
    size_t changed = 0;
    bool ok = true;
    const size_t cell = ((size_t)(layers - 1) * side + side / 2) * side + side / 2;
    for (int round = 0; round < 5; round++) {
        Saving saving;
        const double t0 = bench_now();
        saving.request.picture = picture;
        saving.request.grid.width = tile_width, saving.request.grid.depth = tile_depth;
        saving.request.grid.height = tile_height, saving.request.grid.across = 0;
        saving.request.grid.cells.assign(tile_map, tile_map + (size_t)tile_width * tile_depth * tile_height);
        copies.push_back(bench_now() - t0);
        // A cell in the sky, placed and taken away save by save.
        saving.request.grid.cells[cell] = round % 2 ? (unsigned char)TILE_EMPTY : cells[0];
        std::thread saver([&saving] {
            const double s0 = bench_now();
            tile_saveMapBehind(saving.request, &saving.result);
            saving.ms = bench_now() - s0;
            saving.done = true;
        });
        // The frame of the tick that pressed Ctrl+S pays for the copy.
        bench_lookFrame(during);
        during.back() += copies.back();
        while (!saving.done)
            bench_lookFrame(during);
        saver.join();
        saved.push_back(saving.ms);
        changed = std::max(changed, saving.result.changed);
        ok = ok && saving.result.ok;
    }
    unlink(picture.c_str());
    rmdir(dir);
    char line[560];
    const double median = bench_medianOf(standing), worst = bench_worst(during);
    snprintf(line, sizeof line,
             "  a save of the %u x %u x %u map (%zu KB picture, %zu cell changed), 5 times%s: median %.1f ms on the "
             "saving thread, worst %.1f ms; %.1f ms on the drawing thread (the grid's copy); %zu frames meanwhile "
             "at N = 128, the longest %.2f ms against a median of %.2f ms standing: %.2f (target: 2 or less); "
             "the longest of %d frames without a save: %.2f\n",
             side, layers, side, file.size() / 1024, changed, ok ? "" : " (a save FAILED)", bench_medianOf(saved),
             bench_worst(saved), bench_medianOf(copies), during.size(), worst, median,
             median > 0.0 ? worst / median : 0.0, frames, median > 0.0 ? bench_worst(standing) / median : 0.0);
    return line;
}

// What the undo history holds: 1000 single-cell steps, one 64 x 16 x 64
// box fill, and 1000 of those (as many as the history keeps of them).
static std::string bench_undoMemory(void)
{
    std::vector<unsigned char> big(64 * 16 * 64, EDIT_EMPTY);
    const EditGrid grid = {64, 16, 64, big.data()};
    EditHistory cells, box, boxes;
    for (int i = 0; i < 1000; i++) {
        EditStep s;
        if (edit_place(grid, {i % 64, 0, i / 64 % 64}, TILE_TOP, 3, &s))
            cells.push(std::move(s));
    }
    for (int i = 0; i < 1000; i++) {
        EditStep s;
        if (!edit_box(grid, {0, 0, 0}, {63, 15, 63}, (unsigned char)(i % 2 ? 3 : 4), &s))
            continue;
        if (i == 0)
            box.push(s);
        boxes.push(std::move(s));
    }
    char line[400];
    snprintf(line, sizeof line,
             "  undo memory: 1000 single-cell steps %zu bytes (%zu kept); one 64 x 16 x 64 box fill %zu bytes; "
             "1000 box fills %.1f MB (%zu kept, limits %d steps or %u MB)\n",
             cells.bytes(), cells.steps(), box.bytes(), (double)boxes.bytes() / 1048576.0, boxes.steps(),
             EDIT_STEPS_MOST, EDIT_BYTES_MOST >> 20);
    return line;
}

// A generated world of side x layers x side cells in the demo's types, in
// place of the one loaded, its cells kept in cells; the pose above its
// centre, 8 layers over the ground, looking ahead and a little down.
static Entity bench_useGenerated(const BenchWorld &demo, unsigned side, unsigned layers,
                                 std::vector<unsigned char> &cells)
{
    unsigned ground = 0;
    tile_chunksClear();
    cells = bench_generateWorld(2026, side, layers, side, &ground);
    memcpy(tile, demo.defs, sizeof tile);
    tile_map = cells.data();
    tile_width = tile_depth = (unsigned short)side;
    tile_height = (unsigned short)layers;
    tile_bg = demo.bg;
    tile_generation++;
    return Entity{{-1, 0, 0}, {0, 1, 0}, {0, -0.25f, -1},
                  {side / 2 * tile_size, (float)(ground + 8) * tile_size, side / 2 * tile_sizeZ}};
}

// Building on the generated world: edits, a save and the undo history.
static void bench_building(const BenchWorld &demo, int frames)
{
    static std::vector<unsigned char> cells;
    const unsigned side = 256, layers = 64;
    camera = bench_useGenerated(demo, side, layers, cells);
    main_looking = 0;
    main_lookToggle();
    bench_quiet(true);
    const std::vector<unsigned char> original = cells;
    std::string lines = bench_buildEdits(side, layers);
    lines += bench_buildSave(original, side, layers, frames);
    bench_quiet(false);
    lines += bench_undoMemory();
    main_looking = 0;
    tile_chunksClear();
    tile_map = nullptr;
    tile_generation++;
    printf("building on the generated %u x %u x %u world:\n%s", side, layers, side, lines.c_str());
}

// Resident memory of the process, in megabytes, from /proc.
static double bench_residentMB(void)
{
    FILE *f = fopen("/proc/self/status", "r");
    char text[256];
    long kb = 0;
    while (f && fgets(text, sizeof text, f))
        if (sscanf(text, "VmRSS: %ld kB", &kb) == 1)
            break;
    if (f)
        fclose(f);
    return (double)kb / 1024.0;
}

// A 512 x 64 x 512 lattice (every other cell a brick) at N = 256, the eye
// over its middle: resident memory once the building ends (at most 30 s).
static void bench_lattice(const BenchWorld &demo)
{
    const unsigned side = 512, layers = 64;
    const double before = bench_residentMB();  // what the scenes before it left
    static std::vector<unsigned char> cells;
    memcpy(tile, demo.defs, sizeof tile);
    unsigned char brick = 1;
    while (brick < 254 && !tile_solidType(brick))
        brick++;
    cells.assign((size_t)side * side * layers, TILE_EMPTY);
    for (unsigned y = 0; y < layers; y++)
        for (unsigned z = 0; z < side; z++)
            for (unsigned x = (y + z) % 2; x < side; x += 2)
                cells[((size_t)y * side + z) * side + x] = brick;
    tile_map = cells.data();
    tile_width = tile_depth = (unsigned short)side;
    tile_height = (unsigned short)layers;
    tile_generation++;
    camera = Entity{{-1, 0, 0}, {0, 1, 0}, {0, -0.25f, -1},
                    {side / 2 * tile_size, (float)(layers + 8) * tile_size, side / 2 * tile_sizeZ}};
    main_looking = 0;
    main_lookToggle();
    main_view = 256;
    bench_quiet(true);
    std::vector<double> ms;
    const double t0 = bench_now();
    double most = 0.0;
    do {
        bench_lookFrame(ms);
        most = std::max(most, bench_residentMB());
    } while (bench_now() - t0 < 60000.0);  // left alone for a minute, as a user would
    const double settled = bench_now() - t0;
    bench_quiet(false);
    main_looking = 0;
    printf("lattice %u x %u x %u at N = 256: resident %.0f MB after %.1f s, at most %.0f MB (target: 512 or less), "
           "%.0f MB before it; chunk cache %.1f MB of its %.0f MB budget, %d chunks drawn\n",
           side, layers, side, bench_residentMB(), settled / 1000.0, most, before,
           (double)tile_chunksBytes() / 1048576.0, (double)tile_chunkBudget / 1048576.0, tile_lookStats.drawn);
    tile_chunksClear();
    tile_map = nullptr;
    tile_generation++;
}

// The generated world, 256 x 64 x 256 cells in the demo's types, seen in
// free look from above its centre: standing, flying a cell a frame while
// turning, and twice as far.
static void bench_freeLook(const BenchWorld &demo, int frames, double denseMedian)
{
    static std::vector<unsigned char> cells;
    const unsigned side = 256, layers = 64;
    const Entity still = bench_useGenerated(demo, side, layers, cells);
    auto pose = [&](const Entity &e) {
        camera = e;
        main_looking = 0;
        main_lookToggle();  // heading and tilt from the forward axis
    };
    bench_quiet(true);
    main_view = 64;
    pose(still);
    // Timed once the worker is idle, as a view that stands still is; its
    // builds otherwise take a core's share from the renderer's threads.
    double loaded = bench_lookSettle(false), built = loaded + bench_lookSettle(true);

    // A cell a frame along the view, turning 1.5 degrees a frame: new chunks every frame.
    std::vector<double> flight;
    unsigned long walks = tile_walksHere();
    const int flown = std::max(frames, 120);
    for (int i = 0; i < flown; i++) {
        camera.position.x += camera.forward.x * tile_size;
        camera.position.z += camera.forward.z * tile_size;
        main_lookTurn(1.5f);
        bench_lookFrame(flight);
    }
    walks = tile_walksHere() - walks;

    main_view = 128;
    pose(still);
    double loaded128 = bench_lookSettle(false), built128 = loaded128 + bench_lookSettle(true);
    // Standing at N = 64 and at N = 128 in turns, five frames at a time
    // after two untimed ones (the first after a switch tries its boxes
    // anew), so that both medians meet the same moments of a shared machine.
    std::vector<double> at64, at128, untimed, at64Clear;
    double cpu64 = 0.0;
    long faces64 = 0, shaded64 = 0;
    int chunks64 = 0;
    for (int done = 0; done < frames; done += 5) {
        // -64: N = 64 without fog.
        for (int view : {64, 128, -64}) {
            main_view = abs(view);
            tile_lookFog = view > 0;
            bench_lookFrame(untimed);
            bench_lookFrame(untimed);
            const double cpu = bench_cpu();
            for (int i = done; i < std::min(done + 5, frames); i++)
                bench_lookFrame(view == 64 ? at64 : view == 128 ? at128 : at64Clear);
            if (view == 64) {
                cpu64 += bench_cpu() - cpu;
                faces64 = tile_lookStats.faces, shaded64 = tile_lookStats.shadedBefore;
                chunks64 = tile_lookStats.drawn;
            }
        }
    }
    cpu64 /= (double)frames;
    const size_t cache128 = tile_chunksBytes();  // the last frame was at N = 128
    main_view = 64;
    pose(still);
    const std::string changes = bench_changes(cells, side, layers);
    tile_lookFog = true;
    bench_quiet(false);
    main_looking = 0;
    tile_chunksClear();

    double m64 = bench_medianOf(at64), mFlight = bench_medianOf(flight), m128 = bench_medianOf(at128);
    printf("free look on a generated %u x %u x %u world (%d frames each, flight %d frames):\n", side,
           layers, side, frames, flown);
    printf("  N = 64 standing: %d chunks, %ld faces, median %.2f ms, worst %.2f ms\n", chunks64,
           faces64, m64, bench_worst(at64));
    printf("  N = 64 standing: %.2f ms of processor time a frame, all threads; opaque faces shaded %ld pixels "
           "of the window's %d\n", cpu64, shaded64, 640 * 480);
    printf("  N = 64 standing/dense cached median: %.2f (target: 2 or less); %.2f ms (target: 16 or less)\n",
           m64 / denseMedian, m64);
    printf("  flight worst/its median: %.2f (target: 2.5 or less; median %.2f ms, worst %.2f ms)\n",
           bench_worst(flight) / mFlight, mFlight, bench_worst(flight));
    printf("  walks on the drawing thread during the flight: %lu, so 0 ms spent building faces there "
           "(target: 0)\n", walks);
    printf("  N = 64 standing without fog: median %.2f ms; with fog/without: %.2f\n", bench_medianOf(at64Clear),
           m64 / bench_medianOf(at64Clear));
    printf("  N = 128 median/N = 64 median: %.2f (target: 2 or less; %d chunks, median %.2f ms)\n",
           m128 / m64, tile_lookStats.drawn, m128);
    printf("  chunk cache at N = 128: %.1f MB (target: 256 or less)\n",
           (double)cache128 / 1048576.0);
    fputs(changes.c_str(), stdout);
    printf("  world load until every chunk in view is drawn: %.0f ms at N = 64; then %.0f ms more at N = 128\n",
           loaded, loaded128);
    printf("  until every chunk within the view distance is built, in view or not: %.0f ms at N = 64; then %.0f "
           "ms more at N = 128\n", built, built128);
}

// A 240 x 16 x 240 slab whose cells take 250 colours at random, and the
// same slab in 8: free look at N = 256 from above its centre, each timed
// once every chunk is built.  The ratio shows what many pictures cost.
static void bench_slabs(int frames)
{
    const unsigned side = 240, layers = 16, kinds[2] = {250, 8};
    static TextureEntry colours[250];
    static CubeDef defs[256];
    for (unsigned t = 0; t < 250; t++) {
        TextureEntry &e = colours[t];
        memset(&e, 0, sizeof e);
        snprintf(e.name, sizeof e.name, "colour%u", t);
        image_create(&e.image, 16, 16, (unsigned char)(t * 53 % 256), (unsigned char)(t * 97 % 256),
                     (unsigned char)(t * 151 % 256));
        for (int f = 0; f < 6; f++) {
            defs[t].faceOn[f] = 1;
            defs[t].faceTexture[f] = &e;
        }
    }
    static std::vector<unsigned char> cells;
    const Entity above = {{-1, 0, 0}, {0, 1, 0}, {0, -0.25f, -1},
                          {side / 2 * tile_size, (float)(layers + 8) * tile_size, side / 2 * tile_sizeZ}};
    double median[2], cacheMB[2], residentMB[2];
    int chunks[2];
    long faces[2];
    for (int k = 0; k < 2; k++) {
        tile_chunksClear();
        cells = bench_generateSlab(2026, kinds[k], side, layers, side);
        memcpy(tile, defs, sizeof tile);
        tile_map = cells.data();
        tile_width = tile_depth = (unsigned short)side;
        tile_height = (unsigned short)layers;
        tile_generation++;
        bench_quiet(true);
        main_view = 256;
        camera = above;
        main_looking = 0;
        main_lookToggle();
        bench_lookSettle(true);
        std::vector<double> ms;
        for (int i = 0; i < frames; i++)
            bench_lookFrame(ms);
        bench_quiet(false);
        chunks[k] = tile_lookStats.drawn, faces[k] = tile_lookStats.faces;
        median[k] = bench_medianOf(ms);
        cacheMB[k] = (double)tile_lookStats.bytes / 1048576.0, residentMB[k] = bench_residentMB();
        main_looking = 0;
    }
    tile_chunksClear();
    tile_map = nullptr;
    tile_generation++;
    printf("free look on a %u x %u x %u slab at N = 256 (%d frames each):\n", side, side, layers, frames);
    for (int k = 0; k < 2; k++)
        printf("  %u colours: %d chunks, %ld faces, median %.2f ms (target: 20 or less); chunk cache %.1f MB, "
               "resident %.0f MB\n", kinds[k], chunks[k], faces[k], median[k], cacheMB[k], residentMB[k]);
    printf("  250 colours/8 colours median: %.2f (target: 1.5 or less)\n", median[0] / median[1]);
}

// The scenes the fixed camera is timed in, in the order main lists them.
enum { DENSE, DENSE_DIRECT, REFERENCE, LATTICE, LATTICE_REFERENCE, FLIGHT, DEMO, DEMO_DIRECT };

// The fixed camera's table and ratios.
static void bench_report(const std::vector<BenchScene> &scenes, int frames, int warmUp, bool haveDemo,
                         const std::string &demoDef)
{
    printf("tavo-bench: %d frames per scene after %d warm-up frames, 640 x 480, %s\n", frames,
           warmUp, (const char *)glGetString(GL_RENDERER));
    printf("%-26s %7s %9s %8s %8s %8s %8s   (ms per frame)\n", "scene", "faces", "median",
           "min", "q1", "q3", "max");
    for (const BenchScene &s : scenes) {
        if (s.ms.empty())
            continue;
        std::vector<double> v = s.ms;
        std::sort(v.begin(), v.end());
        printf("%-26s %7ld %9.2f %8.2f %8.2f %8.2f %8.2f\n", s.name, s.faces, bench_rank(v, 0.5),
               v.front(), bench_rank(v, 0.25), bench_rank(v, 0.75), v.back());
    }
    auto ratio = [&](int a, int b) { return bench_median(scenes[a]) / bench_median(scenes[b]); };
    printf("dense cached/reference: %.2f (target: 0.25 or less); direct/reference: %.2f\n",
           ratio(DENSE, REFERENCE), ratio(DENSE_DIRECT, REFERENCE));
    printf("lattice cached/its reference: %.2f (target: 0.8 or less), /dense reference: %.2f\n",
           ratio(LATTICE, LATTICE_REFERENCE), ratio(LATTICE, REFERENCE));
    const std::vector<double> &flown = scenes[FLIGHT].ms;
    double worst = flown.empty() ? 0.0 : *std::max_element(flown.begin(), flown.end());
    // The dense block never builds its faces again: its own worst frame is
    // what the machine alone adds to a single frame in this run.
    const std::vector<double> &still = scenes[DENSE].ms;
    double stillWorst = still.empty() ? 0.0 : *std::max_element(still.begin(), still.end());
    printf("flight worst frame/dense cached median: %.2f (target: 2 or less); "
           "dense cached worst/its median, never rebuilt: %.2f\n",
           worst / bench_median(scenes[DENSE]), stillWorst / bench_median(scenes[DENSE]));
    if (haveDemo)
        printf("demo start view cached/direct: %.2f (target: 0.35 or less)\n",
               ratio(DEMO, DEMO_DIRECT));
    else
        printf("demo world: skipped, %s is missing (build the demo_world target)\n",
               demoDef.c_str());
}

// A rebuild of the dense block's faces alone, without drawing.
static void bench_rebuild(BenchWorld &dense)
{
    std::vector<double> builds;
    bench_use(dense);
    TileBlock block;
    tile_block(camera.position.x, camera.position.y, camera.position.z, tile_width, tile_height,
               tile_depth, tile_size, tile_sizeZ, &block);
    for (int i = 0; i < 21; i++) {
        double t0 = bench_now();
        tile_record(&block, &tile_faces);
        builds.push_back(bench_now() - t0);
    }
    bench_keep(dense);
    std::sort(builds.begin(), builds.end());
    printf("building the dense block's faces: %.2f ms (median of 21)\n", bench_rank(builds, 0.5));
}

// The chunks the last frame drew, by level: "0: 180, 1: 60, ...".
static std::string bench_levels(void)
{
    std::string out;
    int coarse = 0;
    for (int k = 1; k < TILE_LEVELS; k++)
        coarse += tile_levelStats.drawn[k];
    for (int k = 0; k < TILE_LEVELS; k++) {
        const int n = k == 0 ? tile_lookStats.drawn - coarse : tile_levelStats.drawn[k];
        if (n > 0)
            out += (out.empty() ? "" : ", ") + std::to_string(k) + ": " + std::to_string(n);
    }
    return out;
}

// Far views: a generated world of side x 64 x side cells seen from above its
// centre at N = 64, 512 and 1024, once every chunk within each view
// distance is built (or the cache's budget stopped it), then measured in
// rounds of one frame each, so that a busy spell on the machine falls on
// all alike: frame times (and processor time, all threads), chunks by
// level, the cache and the process's resident memory; then a flight at
// N = 512, a cell a frame, turning, with the walks the drawing thread itself
// made (none: every chunk is built on a worker).
static void bench_farView(const BenchWorld &demo, int frames)
{
    static std::vector<unsigned char> cells;
    const unsigned side = 1024, layers = 64;
    camera = bench_useGenerated(demo, side, layers, cells);
    const Entity start = camera;
    main_looking = 0;
    main_lookToggle();
    // Printed once the frames' own lines go to the console again.
    char line[400];
    snprintf(line, sizeof line, "free look far on a generated %u x %u x %u world (%d frames each), resident %.0f MB "
             "before:\n", side, layers, side, frames, bench_residentMB());
    std::string report = line;
    bench_quiet(true);
    const int views[3] = {64, 512, 1024};
    std::vector<double> ms[3], cpu[3], built(3);
    for (int v = 0; v < 3; v++) {
        main_view = views[v];
        const double t0 = bench_now();
        do
            bench_lookFrame(ms[v]);
        while (tile_lookStats.queued > 0 && bench_now() - t0 < 300000.0);
        built[v] = bench_now() - t0;
        ms[v].clear();
    }
    std::string levels[3];
    TileLookStats stats[3];
    for (int round = 0; round < frames; round++)
        for (int v = 0; v < 3; v++) {
            main_view = views[v];
            const double c0 = bench_cpu();
            bench_lookFrame(ms[v]);
            cpu[v].push_back(bench_cpu() - c0);
            levels[v] = bench_levels(), stats[v] = tile_lookStats;
        }
    for (int v = 0; v < 3; v++) {
        snprintf(line, sizeof line, "  N = %d: %d chunks drawn (by level %s), %ld faces, median %.1f ms (processor "
                 "%.1f ms), worst %.1f ms; built in %.0f ms, %d left unbuilt\n",
                 views[v], stats[v].drawn, levels[v].c_str(), stats[v].faces, bench_medianOf(ms[v]),
                 bench_medianOf(cpu[v]), bench_worst(ms[v]), built[v], stats[v].queued);
        report += line;
    }
    snprintf(line, sizeof line, "  N = 512 median/N = 64 median: %.2f (target: 2 or less; processor time %.2f)\n"
             "  cache at N = 1024 and below: %.1f MB (budget %.0f), resident %.0f MB\n",
             bench_medianOf(ms[1]) / bench_medianOf(ms[0]), bench_medianOf(cpu[1]) / bench_medianOf(cpu[0]),
             (double)tile_chunksBytes() / 1048576.0, (double)tile_chunkBudget / 1048576.0, bench_residentMB());
    report += line;
    // Processor time too (the workers' builds count in it): a spike in the
    // clock alone is another process's turn on the cores.
    std::vector<double> flown, flownCpu;
    main_view = 512;
    const unsigned long walks = tile_walksHere();
    for (int i = 0; i < frames; i++) {
        camera.position.z -= tile_sizeZ;
        camera.position.x += tile_size * 0.5f;
        main_lookTurn(0.5f);
        const double c0 = bench_cpu();
        bench_lookFrame(flown);
        flownCpu.push_back(bench_cpu() - c0);
    }
    snprintf(line, sizeof line, "  flying at N = 512, a cell a frame: median %.1f ms, worst %.1f ms, worst/median "
             "%.2f (target: 2.5 or less; processor time %.2f); walks on the drawing thread: %lu\n",
             bench_medianOf(flown), bench_worst(flown), bench_worst(flown) / bench_medianOf(flown),
             bench_worst(flownCpu) / bench_medianOf(flownCpu), tile_walksHere() - walks);
    report += line;
    camera = start;
    bench_quiet(false);
    fputs(report.c_str(), stdout);
    main_looking = 0;
    tile_chunksClear();
    tile_map = nullptr;
    tile_generation++;
}

int main(int argc, char **argv)
{
    // A count below 30 and a scene filter are for profiling runs.
    int frames = argc > 1 ? atoi(argv[1]) : 40;
    if (frames < 1)
        frames = 40;
    const char *only = argc > 2 ? argv[2] : nullptr;
    const int warmUp = frames < 30 ? 1 : 5;

    main_openWindow(&argc, argv);
    glutDisplayFunc(bench_nothing);  // frames are drawn by hand, not on exposure
    for (int i = 0; i < 10; i++)
        glutMainLoopEvent();
    main_resize(640, 480);

    static BenchWorld demo, dense, lattice, flight;
    static std::vector<unsigned char> denseCells, latticeCells, flightCells;
    static BenchReference denseReference, latticeReference;
    std::string demoDef = TAVO_BINARY_DIR "/demo/DEF/demo.def";
    struct stat st;
    bool haveDemo = stat(demoDef.c_str(), &st) == 0;
    bench_quiet(true);
    if (haveDemo) {
        tile_argument = demoDef.c_str();
        main_init();
        camera = tile_temp;
        bench_readPose(TAVO_SOURCE_DIR "/data/demo/start.pose", &camera);
        memcpy(demo.defs, tile, sizeof tile);
        demo.map = tile_map;
        demo.width = tile_width;
        demo.height = tile_height;
        demo.depth = tile_depth;
        demo.bg = tile_bg;
        demo.eye = camera;
    } else {
        texture_smooth(1);
        image_create(&tile_dummy, 4, 4, 0, 0, 255);
        image_create(&tile_matrix, 4, 4, 0, 160, 0);
        tile_optSmooth = tile_optAlpha = tile_optTexture = 1;
    }
    main_renderState();
    bench_makeTextures();
    bench_makeBlock(dense, denseCells, BENCH_DENSE);
    bench_makeBlock(lattice, latticeCells, BENCH_LATTICE);
    bench_makeBlock(flight, flightCells, BENCH_WIDE);
    bench_makeReference(denseReference, BENCH_DENSE);
    bench_makeReference(latticeReference, BENCH_LATTICE);

    std::vector<BenchScene> scenes = {
        {"dense block, cached", &dense, nullptr, false, false, {}, 0, 0},
        {"dense block, direct", &dense, nullptr, true, false, {}, 0, 0},
        {"dense reference", nullptr, &denseReference, false, false, {}, 0, 0},
        {"lattice, cached", &lattice, nullptr, false, false, {}, 0, 0},
        {"lattice reference", nullptr, &latticeReference, false, false, {}, 0, 0},
        {"flight, a cell a frame", &flight, nullptr, false, true, {}, 0, 0},
    };
    if (haveDemo) {
        scenes.push_back({"demo start view, cached", &demo, nullptr, false, false, {}, 0, 0});
        scenes.push_back({"demo start view, direct", &demo, nullptr, true, false, {}, 0, 0});
    }

    // Do the reference's faces cover the frame as the viewer's do?
    std::vector<unsigned char> viewed, referenced;
    bench_use(dense);
    bench_capture = &viewed;
    main_render();
    bench_keep(dense);
    bench_capture = &referenced;
    bench_drawReference(denseReference);
    size_t differ = 0;
    for (size_t i = 0; i + 2 < viewed.size(); i += 3)
        differ += memcmp(&viewed[i], &referenced[i], 3) != 0;

    // Rounds of one frame per scene, so that a busy spell on the machine
    // falls on all of them alike.
    for (int round = 0; round < warmUp + frames; round++)
        for (BenchScene &s : scenes) {
            if (only && !strstr(s.name, only) && s.world)
                continue;
            bench_frame(s);
            if (round < warmUp)
                s.ms.clear();
        }
    bench_quiet(false);

    bench_report(scenes, frames, warmUp, haveDemo, demoDef);
    // A rebuild alone, without drawing.
    bench_rebuild(dense);
    printf("face cache: %.2f MB for the dense block, %.2f MB for the lattice (target: under 8)\n",
           (double)tile_facesBytes(&dense.faces) / 1048576.0,
           (double)tile_facesBytes(&lattice.faces) / 1048576.0);
    printf("reference frame against the viewer's: %zu of %d pixels differ\n", differ, 640 * 480);
    if (haveDemo && (!only || strstr("free look", only)))
        bench_freeLook(demo, frames, bench_median(scenes[DENSE]));
    if (!only || strstr("slab", only))
        bench_slabs(frames);
    if (haveDemo && (!only || strstr("lattice", only)))
        bench_lattice(demo);
    // After the lattice, whose resident memory would count the undo steps'.
    if (haveDemo && (!only || strstr("building", only)))
        bench_building(demo, frames);
    if (haveDemo && only && strstr("far", only))
        bench_farView(demo, frames);
    return 0;
}
