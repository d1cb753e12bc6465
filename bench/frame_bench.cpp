// frame_bench.cpp -- milliseconds per frame of a dense block and the demo world, beside a vertex-array reference
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <GL/freeglut.h>

#include "camera.h"
#include "error.h"
#include "main.h"
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

// A fatal error while loading would otherwise print into /dev/null.
static void bench_fail(unsigned char code)
{
    bench_quiet(false);
    fprintf(stderr, "tavo-bench: %s", error_message(code));
    exit(255);
}

static double bench_now(void)
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec * 1e3 + (double)ts.tv_nsec / 1e6;
}

// ------------------------------------------------------------------ worlds

// What the drawing pass reads, so that worlds can take turns frame by frame.
struct BenchWorld {
    CubeDef defs[256];
    unsigned char *map;
    unsigned short width, height, depth;
    Image *bg;
    Entity eye;
};

static void bench_use(const BenchWorld &w)
{
    memcpy(tile, w.defs, sizeof tile);
    tile_map = w.map;
    tile_width = w.width;
    tile_height = w.height;
    tile_depth = w.depth;
    tile_bg = w.bg;
    camera = w.eye;
}

// Drawing may change the definitions (a wedge switches off the faces it
// replaces), so they are kept as the frame left them.
static void bench_keep(BenchWorld &w)
{
    memcpy(w.defs, tile, sizeof tile);
    w.eye = camera;
}

// The dense block: every cell of a 22 x 22 x 22 grid (21 x 21 x 21 drawn)
// solid, all six faces on, four textures alternating cell by cell (or,
// byRow, row by row: 21 cells in a row share one).
static const unsigned BENCH_SIDE = 22;
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

static void bench_makeDense(BenchWorld &w, std::vector<unsigned char> &cells, bool byRow)
{
    memset(&w, 0, sizeof w);
    for (unsigned t = 0; t < BENCH_TEXTURES; t++) {
        CubeDef &def = w.defs[1 + t];
        for (int f = 0; f < 6; f++) {
            def.faceOn[f] = 1;
            def.faceTexture[f] = &bench_denseTextures[t];
        }
    }
    cells.assign((size_t)BENCH_SIDE * BENCH_SIDE * BENCH_SIDE, 0);
    for (unsigned y = 0; y < BENCH_SIDE; y++)
        for (unsigned z = 0; z < BENCH_SIDE; z++)
            for (unsigned x = 0; x < BENCH_SIDE; x++)
                cells[((size_t)y * BENCH_SIDE + z) * BENCH_SIDE + x] =
                    (unsigned char)(1 + ((byRow ? 0 : x) + y + z) % BENCH_TEXTURES);
    w.map = cells.data();
    w.width = w.height = w.depth = BENCH_SIDE;
    w.bg = nullptr;
    // Columns and layers 0..20 are drawn from an eye at 20; an eye past the
    // grid's end draws rows 0..20.  Their near faces (z = 143.5) stand 52
    // units before the eye, where the 45 degree view is 43 units high.
    w.eye = Entity{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {20, 20, 195.5f}};
}

// ------------------------------------------------------------- reference

// The dense block's faces as one vertex array per texture.
struct BenchReference {
    std::vector<float> xyz, uv;
    int first[BENCH_TEXTURES], count[BENCH_TEXTURES];
};

static void bench_makeReference(BenchReference &r)
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
                    if ((x + y + z) % BENCH_TEXTURES != t)
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
    BenchWorld *world;  // null: the reference
    bool cache;
    std::vector<double> ms;
    long faces;
};

static BenchReference bench_reference;

static void bench_frame(BenchScene &s)
{
    if (s.world)
        bench_use(*s.world);
    texture_cache(s.cache);
    bench_primitives = 0;
    double t0 = bench_now();
    if (s.world)
        main_render();
    else
        bench_drawReference(bench_reference);
    glFinish();
    s.ms.push_back(bench_now() - t0);
    if (s.world) {
        bench_keep(*s.world);
        s.faces = bench_primitives - (tile_optTexture ? 1 : 0);  // less the backdrop
    } else {
        s.faces = bench_reference.count[0] / 4 + bench_reference.count[1] / 4 +
                  bench_reference.count[2] / 4 + bench_reference.count[3] / 4;
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

    static BenchWorld demo, dense, denseRows;
    static std::vector<unsigned char> denseCells, rowCells;
    std::string demoDef = TAVO_BINARY_DIR "/demo/DEF/demo.def";
    struct stat st;
    bool haveDemo = stat(demoDef.c_str(), &st) == 0;
    bench_quiet(true);
    error_setHook(bench_fail);
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
    bench_makeDense(dense, denseCells, false);
    bench_makeDense(denseRows, rowCells, true);
    bench_makeReference(bench_reference);

    std::vector<BenchScene> scenes = {
        {"dense block, cache on", &dense, true, {}, 0},
        {"reference (vertex arrays)", nullptr, true, {}, 0},
        {"dense block, cache off", &dense, false, {}, 0},
        {"dense, a texture per row", &denseRows, true, {}, 0},
    };
    if (haveDemo) {
        scenes.push_back({"demo world, cache on", &demo, true, {}, 0});
        scenes.push_back({"demo world, cache off", &demo, false, {}, 0});
    }

    // Do the reference's faces cover the frame as the viewer's do?
    std::vector<unsigned char> viewed, referenced;
    bench_use(dense);
    bench_capture = &viewed;
    main_render();
    bench_keep(dense);
    bench_capture = &referenced;
    bench_drawReference(bench_reference);
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

    printf("tavo-bench: %d frames per scene after %d warm-up frames, 640 x 480, %s\n", frames,
           warmUp, (const char *)glGetString(GL_RENDERER));
    printf("%-28s %7s %9s %8s %8s %8s %8s   (ms per frame)\n", "scene", "faces", "median",
           "min", "q1", "q3", "max");
    for (const BenchScene &s : scenes) {
        if (s.ms.empty())
            continue;
        std::vector<double> v = s.ms;
        std::sort(v.begin(), v.end());
        printf("%-28s %7ld %9.2f %8.2f %8.2f %8.2f %8.2f\n", s.name, s.faces, bench_rank(v, 0.5),
               v.front(), bench_rank(v, 0.25), bench_rank(v, 0.75), v.back());
    }
    double reference = bench_median(scenes[1]);
    printf("dense/reference: %.2f with the cache, %.2f without (target: 1.25 or less)\n",
           bench_median(scenes[0]) / reference, bench_median(scenes[2]) / reference);
    printf("dense with a texture per row/reference: %.2f\n", bench_median(scenes[3]) / reference);
    if (haveDemo)
        printf("demo world from its start view: %.2f ms a frame with the cache (target: under 20)\n",
               bench_median(scenes[4]));
    else
        printf("demo world: skipped, %s is missing (build the demo_world target)\n",
               demoDef.c_str());
    printf("reference frame against the viewer's: %zu of %d pixels differ\n", differ, 640 * 480);
    return 0;
}
