// main.h -- start-up, the command line, the window callbacks and the 20 ms tick
#ifndef TAVO_MAIN_H
#define TAVO_MAIN_H

#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "entity.h"

// Key codes the tick reads: characters as GLUT delivers them, arrows as
// their special-key codes.
enum {
    MAIN_KEY_TAB = 9,
    MAIN_KEY_ESCAPE = 27,
    MAIN_KEY_SPACE = 32,
    MAIN_KEY_SMOOTH = '1',
    MAIN_KEY_ALPHA = '2',
    MAIN_KEY_TEXTURE = '3',
    MAIN_KEY_READOUT = 'i',
    MAIN_KEY_FOG = 'g',
    MAIN_KEY_LEFT_TURN = 'q',
    MAIN_KEY_RIGHT_TURN = 'e',
    MAIN_ARROW_LEFT = 293,
    MAIN_ARROW_UP = 294,
    MAIN_ARROW_RIGHT = 295,
    MAIN_ARROW_DOWN = 296,
    MAIN_KEY_RELOAD = 5 + 367,  // F5 (GLUT_KEY_F5) as its special-key code
    MAIN_KEY_FULLSCREEN = 11 + 367,  // F11
};

int main_run(int argc, char **argv);  // the program; main() only calls this
// glutInit (which takes its options out of argv) and the one window, for
// the viewer, --shot and the benchmark alike: with the heap kept between
// frames (docs/performance.md), full screen when asked.
void main_openWindow(int *argc, char **argv, int width = 640, int height = 480, bool fullscreen = false);
void main_init(void);
// tile_load, the process ended with the refusal's lines and status when
// no world was chosen or it cannot be loaded.
void main_loadWorld(void);
// Light 1 and the fixed render state, set once after main_init.
void main_renderState(void);
// One frame into the back buffer: clear, view from camera, the world.
void main_drawFrame(void);
void main_render(void);
void main_resize(int width, int height);
void main_timer(int tick);
void camera_left(void);
void camera_right(void);

// The usage text, key table included.
void main_usage(FILE *out);
// What tavo's command line asks for.  Every option belongs to one or more
// modes; --check, --shot, --help and --version each ask for their own,
// and with none of them the viewer opens its window.
enum MainMode : unsigned {
    MAIN_VIEW = 1u << 0,
    MAIN_CHECK = 1u << 1,
    MAIN_SHOT = 1u << 2,
    MAIN_HELP = 1u << 3,
    MAIN_VERSION = 1u << 4,
    MAIN_EXPORT = 1u << 5,
    MAIN_NEW = 1u << 6,
};
#define MAIN_WINDOWED (MAIN_VIEW | MAIN_SHOT)  // the modes that open a window

struct MainCommand {
    MainMode mode = MAIN_VIEW;
    // argv[0] and the window system's options with their operands, in
    // their order and ended by a null: for glutInit.
    std::vector<char *> glut;
    std::map<std::string, const char *> given;  // tavo's options: name -> operand ("" for none)
    const char *world = nullptr;                // the world file named, or null
    bool has(const char *name) const;
    const char *operand(const char *name) const;  // null when not given
};

// Reads the whole command line by tavo's option table (main_args.cpp)
// without starting the window system, so that a usage error, --help,
// --version and --check need no display: "" with command filled, or
// what is wrong, for the usage error.
std::string main_parse(int argc, char **argv, MainCommand *command);
// Writes camera to tile_root + "SYS/CAM/" + tile_file; 0 (and no file
// touched) when there is no world, the path would not fit tempStr or the
// file cannot be written.
int main_saveCamera(void);
// The save of a tick: hands camera to a writer thread, unless the file
// already holds this very pose.  The writer takes the latest pose handed
// over; what it was handed is written before the process ends.
void main_queueCamera(void);
// Waits until the writer has written what it was handed.
void main_cameraWait(void);
// The number of the tick after tick, without overflow.
int main_nextTick(int tick);

// ---- the settings file (main_settings.cpp) ----
#define MAIN_FOV_LEAST 20
#define MAIN_FOV_MOST 120
#define MAIN_FOV_FIXED 45  // the fixed camera's, and free look's by default
#define MAIN_NEAR 1.0      // the near plane's distance from the eye, both modes
extern float main_fov;            // free look's field of view, top to bottom, in degrees
extern float main_sensitivity;    // free look's turn a pixel, as a factor
extern unsigned char main_invert;      // 1: free look tilts down as the mouse moves up
extern unsigned char main_fullscreen;  // 1: the window opens full screen
// One line of a settings file: its number, and its key and value, or why
// it is no setting.
struct MainSettingLine {
    unsigned line = 0;
    std::string key, value, wrong;
};
// The lines of a settings file: "key = value", a # begins a comment,
// blank lines are none.
std::vector<MainSettingLine> main_settingsParse(const std::vector<unsigned char> &bytes);
// Sets what key names to value: "" when done, else why not (nothing set).
std::string main_settingApply(const std::string &key, const std::string &value);
// $XDG_CONFIG_HOME/tavo/tavo.conf, by default ~/.config/tavo/tavo.conf;
// "" when neither is known.
std::string main_settingsPath(void);
// Reads the settings file at path and applies each line, telling what is
// wrong with one as FILE:LINE: reason on standard error.  A missing file
// is no error unless named is set (--config).
void main_settingsRead(const std::string &path, bool named);
// The keys with their values and meaning, for the usage text, and the
// commented example file installed as data/tavo.conf.
std::string main_settingsHelp(void);
std::string main_settingsExample(void);
// What the settings file and then the command line ask of the view.
void main_settings(const MainCommand &command);
// The projection of the mode the view is in: free look's field of view,
// or the fixed camera's 45 degrees.
void main_projection(void);

// ---- free look (main_look.cpp) ----
#define MAIN_VIEW_LEAST 8
#define MAIN_VIEW_MOST 1024
#define MAIN_VIEW_DEFAULT 64
extern unsigned char main_looking;  // 1: free look, 0: the fixed camera
extern int main_view;               // free look's view distance in cells
// Tab: into free look the view keeps its heading and tilt (a roll is
// dropped); back out the pose stays as free look left it, or is the one
// it entered from when it neither turned nor flew.
void main_lookToggle(void);
// Free look from the camera as it is: heading and tilt taken from it.
void main_lookBegin(void);
// The mouse turns and tilts, w/s and the up/down arrows fly along the
// view, a/d and the left/right arrows strafe, the buttons rise and sink
// along +y.
void main_lookControl(int tick);
// Turns the heading by degrees (left when positive).
void main_lookTurn(float degrees);
// --view's operand into main_view; 0 when it is not a whole number of
// cells from MAIN_VIEW_LEAST to MAIN_VIEW_MOST.
int main_parseView(const char *text);
// What is wrong with a --view operand, "" when nothing.
std::string main_viewCheck(const char *text);

// tavo --check WORLD.def: loads the world without a window and reports
// what an author needs to know; returns the exit status (0 sound, 1 not).
int main_check(const char *defPath);

// tavo --new DIR [--size WxHxD]: makes a world to start from in the folder
// DIR, which must not exist or be empty: made whole in a temporary folder
// beside it and renamed into place.  Returns the exit status: 0 made, 1
// refused (nothing is left behind).
int main_new(const MainCommand &command);
int main_newWorld(const char *dir, const unsigned size[3]);
struct MainNewFile {
    std::string path;  // under the world's folder
    std::vector<unsigned char> bytes;
    std::string what;  // what it is, for the list printed
};
// Writes files in a hidden folder and places them: beside folder (no
// trailing '/') renamed whole into place when folder does not exist, inside
// an existing folder moved up entry by entry, keeping the folder itself.
// On any failure removes what it wrote and says why: 1.  0 when done.
int main_newPlace(const std::string &folder, const std::vector<MainNewFile> &files);
// "WxHxD" into size; false with the reason for a form it is not, a side of
// 0 or more cells than the viewer reads.
bool main_newParseSize(const char *text, unsigned size[3], std::string *reason);
// What is wrong with --size WxHxD, "" for nothing (the option table's check).
std::string main_newSizeCheck(const char *text);
// The blocks side by side in the map picture of such a grid, 0 when no
// layout fits a picture.
unsigned main_newAcross(unsigned width, unsigned height, unsigned depth);
// The cells of the new world: a floor and a small house near the front.
void main_newCells(unsigned width, unsigned height, unsigned depth, std::vector<unsigned char> *out);
// The layers in use of a grid: one above the highest holding a non-empty
// cell, 0 for an empty grid.
unsigned main_frameTop(const std::vector<unsigned char> &cells, unsigned width, unsigned height,
                       unsigned depth);
// The pose that frames a width x depth grid whose layers in use are top,
// from above them and in front, as the drawn block allows (also tavo-cam
// --frame).
void main_framePose(Entity *pose, unsigned width, unsigned top, unsigned depth);

// The readout key i toggles (off at start): what the world, the camera and
// the cell at the centre of the view are.
struct MainReadoutWorld {
    std::string name;
    unsigned width = 0, height = 0, depth = 0;
    const unsigned char *cells = nullptr;  // (y * depth + z) * width + x
    std::vector<std::string> typeNames = std::vector<std::string>(256);
    unsigned char seeThrough[256] = {0};  // the view goes on through these types
    // What the view shows: from the near plane on, the cells the mode draws
    // (column, layer, row; hi exclusive).
    double near = MAIN_NEAR;
    int lo[3] = {0, 0, 0}, hi[3] = {1 << 30, 1 << 30, 1 << 30};
};
// Its lines: the world's name, the camera's cell and facing, the first
// non-empty cell along the view (and the one seen through it when it is
// see-through), frames a second.
std::vector<std::string> main_readoutLines(const MainReadoutWorld &world, const Entity *camera,
                                           double fps);
// Names of the tile types: the cube blocks' names of the definition file
// def, over which the legend of the map text (when there is one) wins.
void main_readoutNames(const std::vector<unsigned char> &def, const std::vector<unsigned char> *mapText,
                       const std::string &mapFile, std::vector<std::string> *names);
void main_readoutToggle(void);
// Counts the frame, and when the readout is on draws it over the frame.
void main_readoutDraw(void);

// tavo --demo: the definition file of the demo world to open.  In a build
// folder that is the build's own demo; else the installed one, copied
// first (once) to $XDG_DATA_HOME/tavo/demo, by default
// ~/.local/share/tavo/demo, where the camera can be saved.  "" when there
// is no demo or no copy can be made, said on standard error.
std::string main_demoWorld(void);
// The folder of the running program, "" when the system will not say.
std::string main_programFolder(void);
// A program built and installed beside tavo as the user can type it: its
// bare name when PATH finds that very file, else its full path.
std::string main_command(const std::string &program);

// The shot keys (F12, 'p'), read by the tick: a press asks for a picture
// of the next frame; holding the key asks once.
void main_shotKeys(void);
// Called by main_render between drawing and swapping: reads the frame back
// when a picture was asked for and saves it, on a thread of its own, as
// <world>-0001.png (then the next free number) in the world's SYS/SHOT
// folder, or in the current folder when that cannot be written; prints
// "SHOT:<path>".
void main_shotFrame(void);
// Waits until every picture asked for is written (also run at exit).
void main_shotWait(void);
// tavo --shot OUT.png [--size WIDTHxHEIGHT] WORLD.def: one frame from the
// saved view into OUT.png; returns the exit status.  A world that cannot
// be loaded ends the process as the viewer's does.
int main_shot(const MainCommand &command);
// What is wrong with a --size operand, "" when nothing.
std::string main_shotSizeCheck(const char *text);
// The sentence that says a view from eye into the world's grid holds
// nothing, with how far the nearest cell that is not empty lies; "" when
// it may show something.  The fixed camera's view holds nothing when its
// block of cells is empty; free look's (looking, out to view cells) when
// it drew no chunk (drewNothing).
std::string main_emptyView(const Vector *eye, bool looking, int view, bool drewNothing);

// tavo --export OUT.glb|OUT.gltf [--region all|X0,Y0,Z0:X1,Y1,Z1] [--flat]
// WORLD.def: the world's faces as a glTF 2.0 scene, made without a window
// (OUT.html and OUT.obj: export.h);
// returns the exit status (1 when nothing could be written).  A world that
// cannot be loaded ends the process as the viewer's does.
int main_export(const MainCommand &command);
// What is wrong with an --export or --region operand, "" for nothing.
std::string main_exportNameCheck(const char *out);
std::string main_exportRegionCheck(const char *region);

#include "main_build.h"

#endif
