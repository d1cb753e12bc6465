// main_shot.cpp -- pictures of the view: the shot keys' numbered PNG files and tavo --shot
#include "main.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <GL/freeglut.h>

#include "camera.h"
#include "error.h"
#include "file.h"
#include "gpu.h"
#include "image.h"
#include "input.h"
#include "tile.h"

enum {
    MAIN_KEY_SHOT = 'p',
    MAIN_KEY_SHOT_F12 = 379,  // GLUT_KEY_F12 + 367
};

#define MAIN_SHOT_NUMBERS 9999  // <name>-0001.png up to this: four digits keep names in order
#define MAIN_SHOT_QUEUE 8        // shots being written at once, at most
#define MAIN_SHOT_SIDE 8192      // the largest --size side

// A frame read back, on its way to a file.
struct MainShot {
    std::vector<unsigned char> rgb;  // rows from the top
    int width = 0, height = 0;
    std::string root;  // the world's root folder, "" for none
    std::string name;  // the world's name, which begins each file's name
};

static int main_shotWanted;  // shot key presses since the last frame
static std::mutex main_shotMutex;
static std::condition_variable main_shotIdle;
static int main_shotPending;

// The frame drawn in the back buffer, as the swap will show it.
static void main_readFrame(MainShot *shot)
{
    int viewport[4];
    gpu_getViewport(viewport);
    shot->width = viewport[2] > 0 ? viewport[2] : 0;
    shot->height = viewport[3] > 0 ? viewport[3] : 0;
    size_t row = (size_t)shot->width * 3;
    std::vector<unsigned char> bottomUp(row * shot->height);
    shot->rgb.resize(bottomUp.size());
    gpu_readFrame(viewport[0], viewport[1], shot->width, shot->height, bottomUp.data());
    // OpenGL hands the bottom row first; pictures start at the top.
    for (int y = 0; y < shot->height; y++)
        memcpy(&shot->rgb[(size_t)y * row], &bottomUp[(size_t)(shot->height - 1 - y) * row], row);
}

// The first free name folder + name-NNNN.png takes the picture; a name
// another writer takes meanwhile is passed over, never overwritten.
static int main_shotNumbered(const std::string &folder, const std::string &name,
                             const std::vector<unsigned char> &png, std::string *path)
{
    for (unsigned n = 1; n <= MAIN_SHOT_NUMBERS; n++) {
        char number[16];
        snprintf(number, sizeof number, "-%04u.png", n);
        *path = folder + name + number;
        struct stat st;
        if (lstat(path->c_str(), &st) == 0)
            continue;
        int err = file_write(path->c_str(), png.data(), png.size(), false);
        if (err != EEXIST)
            return err;
    }
    return EEXIST;
}

// The world's SYS/SHOT folder, made when missing; "" with *err set when it
// cannot take pictures, or leads out of the world through a link.
static std::string main_shotFolder(const std::string &root, int *err)
{
    // A world made on a case-blind file system may spell it sys/shot.
    std::string folder = tile_resolvePath(root + "SYS/SHOT");
    if (mkdir(folder.substr(0, folder.rfind('/')).c_str(), 0777) != 0 && errno != EEXIST) {
        *err = errno;
        return "";
    }
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        *err = errno;
        return "";
    }
    char *real = realpath(folder.c_str(), nullptr), *top = realpath(root.c_str(), nullptr);
    *err = real && top ? 0 : errno;
    if (!*err && std::string(real).rfind(std::string(top) + "/", 0) != 0)
        *err = ELOOP;  // a link out of the world
    free(real);
    free(top);
    return *err ? "" : folder + "/";
}

// Into the world's SYS/SHOT folder, else the current one.
static void main_shotSave(const MainShot &shot)
{
    std::vector<unsigned char> png;
    if (!image_encodePng(shot.rgb.data(), (unsigned)shot.width, (unsigned)shot.height, png)) {
        fprintf(stderr, "Cannot save a picture of the view: it cannot be encoded\n");
        return;
    }
    std::string path;
    int err = -1;
    if (!shot.root.empty()) {
        std::string folder = main_shotFolder(shot.root, &err);
        if (!folder.empty())
            err = main_shotNumbered(folder, shot.name, png, &path);
        if (err) {
            std::string shots = folder.empty() ? shot.root + "SYS/SHOT" : folder;
            const char *why = err == ELOOP ? "a link leading out of the world" : file_reason(err);
            error_report(shots.c_str(), (std::string(why) + "; the picture goes to the current folder").c_str());
        }
    }
    if (err)
        err = main_shotNumbered("", shot.name, png, &path);
    if (err)
        error_report(path.c_str(), file_reason(err));
    else
        printf("SHOT:%s\n", path.c_str());
    fflush(stdout);
}

void main_shotWait(void)
{
    std::unique_lock<std::mutex> lock(main_shotMutex);
    main_shotIdle.wait(lock, [] { return main_shotPending == 0; });
}

static void main_shotDone(void)
{
    std::lock_guard<std::mutex> lock(main_shotMutex);
    main_shotPending--;
    main_shotIdle.notify_all();
}

// Encoding and writing run on a thread of their own, so the flight does
// not wait for the disk; the process waits for them before it ends.
static void main_shotStart(std::unique_ptr<MainShot> shot)
{
    static bool waitsAtExit = atexit(main_shotWait) == 0;
    (void)waitsAtExit;
    {
        std::unique_lock<std::mutex> lock(main_shotMutex);
        main_shotIdle.wait(lock, [] { return main_shotPending < MAIN_SHOT_QUEUE; });
        main_shotPending++;
    }
    MainShot *job = shot.release();
    try {
        std::thread([job] {
            main_shotSave(*job);
            delete job;
            main_shotDone();
        }).detach();
    } catch (const std::system_error &) {
        main_shotSave(*job);  // no thread to be had: write it now
        delete job;
        main_shotDone();
    }
}

void main_shotKeys(void)
{
    static const unsigned short keys[] = {MAIN_KEY_SHOT, MAIN_KEY_SHOT_F12};
    for (unsigned short key : keys) {
        // Locked from the press until the release, so that holding the key
        // (and its repeats) saves once; a tap between two ticks counts.
        if (!input_button[key])
            input_unlock(key);
        if (input_check(key)) {
            input_lock(key);
            main_shotWanted += main_shotWanted < MAIN_SHOT_QUEUE;
        }
    }
}

void main_shotFrame(void)
{
    if (!main_shotWanted)
        return;
    std::unique_ptr<MainShot> shot(new MainShot);
    main_readFrame(shot.get());
    std::string file = tile_file;  // <name>.cam
    if (file.size() > 4) {
        shot->root = tile_root;
        shot->name = file.substr(0, file.size() - 4);
    } else {
        shot->name = "tavo";
    }
    // Presses that came faster than the frames: one picture each.
    for (; main_shotWanted > 1; main_shotWanted--)
        main_shotStart(std::unique_ptr<MainShot>(new MainShot(*shot)));
    main_shotWanted = 0;
    main_shotStart(std::move(shot));
}

// "WIDTHxHEIGHT", each side 1 to MAIN_SHOT_SIDE; false for anything else,
// with why.
static bool main_shotSize(const char *text, int *width, int *height, std::string *wrong)
{
    const char *at = text;
    long side[2] = {0, 0};
    for (int i = 0; i < 2; i++) {
        if (*at < '0' || *at > '9') {
            *wrong = std::string("'") + text + "' is not WIDTHxHEIGHT";
            return false;
        }
        while (*at >= '0' && *at <= '9')
            side[i] = std::min(side[i] * 10 + (*at++ - '0'), (long)MAIN_SHOT_SIDE + 1);
        if (*at++ != (i == 0 ? 'x' : '\0')) {
            *wrong = std::string("'") + text + "' is not WIDTHxHEIGHT";
            return false;
        }
    }
    if (side[0] < 1 || side[1] < 1 || side[0] > MAIN_SHOT_SIDE || side[1] > MAIN_SHOT_SIDE) {
        *wrong = std::string("'") + text + "': each side must be 1 to " +
                 std::to_string(MAIN_SHOT_SIDE);
        return false;
    }
    *width = (int)side[0];
    *height = (int)side[1];
    return true;
}

std::string main_shotSizeCheck(const char *text)
{
    int width, height;
    std::string wrong;
    main_shotSize(text, &width, &height, &wrong);
    return wrong;
}

std::string main_emptyView(const Vector *eye, bool looking, int view, bool drewNothing)
{
    TileCell at;
    if (!tile_map || !tile_cellAt(eye, &at))
        return "";
    long nearest = -1;
    std::string where;
    if (looking) {
        // A chunk is drawn whole when any of it is in reach, so what it
        // drew, not the distance, tells.
        if (!drewNothing)
            return "";
        nearest = tile_nearestFilled(&at, tile_width, tile_height, tile_depth, tile_map);
        where = "within --view " + std::to_string(view) + " cells";
    } else {
        TileBlock block;
        tile_block(eye->x, eye->y, eye->z, tile_width, tile_height, tile_depth, tile_size, tile_sizeZ,
                   &block);
        if (tile_blockFilled(&block, tile_width, tile_depth, tile_map))
            return "";
        nearest = tile_nearestFilled(&at, tile_width, tile_height, tile_depth, tile_map);
        where = "in the cells the fixed camera draws around the eye";
    }
    if (nearest < 0)
        return "the view holds nothing: every cell of the map is empty";
    return "the view holds nothing " + where + "; the nearest cell that is not empty is " +
           std::to_string(nearest) + " cell" + (nearest == 1 ? "" : "s") + " from the eye";
}

int main_shot(const MainCommand &command)
{
    const char *out = command.operand("--shot");
    int width = 640, height = 480;
    std::string wrong;
    if (command.has("--size"))
        main_shotSize(command.operand("--size"), &width, &height, &wrong);  // checked already

    // A script waits for this run: a failure is its status, never a dialog.
    error_noDialog();
    tile_savesCamera = false;
    Refusal why;
    if (!tile_requireWorldFile(command.world, &why))  // named even where no display is
        error_refused(why);
    std::vector<char *> glut = command.glut;
    int count = (int)glut.size() - 1;
    main_openWindow(&count, glut.data(), width, height);
    tile_argument = command.world;
    main_init();  // a world that cannot be loaded ends the run here, as the viewer's does
    tile_watchStop();  // one frame: no edits to wait for
    std::string own = tile_worldFile(out);
    if (!own.empty()) {
        error_report(out, ("the world reads it as " + own + "; a picture never replaces it").c_str());
        return 1;
    }
    main_renderState();
    main_resize(width, height);
    main_drawFrame();
    // Free look draws what is built: the picture waits for every chunk in view.
    for (int wait = 0; main_looking && tile_lookStats.pending > 0 && wait < 6000; wait++) {
        usleep(10000);
        main_drawFrame();
    }
    std::string empty = main_emptyView(&camera.position, main_looking, main_view,
                                       tile_lookStats.drawn == 0 && tile_lookStats.pending == 0);
    if (!empty.empty())
        error_report(out, empty.c_str());
    MainShot shot;
    main_readFrame(&shot);
    std::vector<unsigned char> png;
    int err = image_encodePng(shot.rgb.data(), (unsigned)shot.width, (unsigned)shot.height, png)
                  ? file_write(out, png.data(), png.size())
                  : ENOMEM;
    if (err) {
        error_report(out, file_reason(err));
        return 1;
    }
    printf("%s\n", out);
    return 0;
}
