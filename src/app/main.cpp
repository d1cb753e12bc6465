// main.cpp -- start-up, the command line, the window, the fixed render state, the frame and the tick
#include "main.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <malloc.h>
#include <signal.h>
#include <time.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <new>
#include <string>
#include <unistd.h>
#include <GL/freeglut.h>

#include "args.h"
#include "camera.h"
#include "event.h"
#include "gpu.h"
#include "input.h"
#include "texture.h"
#include "tile.h"

Entity camera;
float PW, PH;

#define MAIN_TURN_TYPE (EVENT_STEP | EVENT_U8)
#define MAIN_TURN_STEPS 10.0
#define MAIN_SAVE_EVERY 50

// The demo world's definition file, when --demo asks for it.
static std::string main_world;

static const char main_usageText[] =
    "Usage: tavo [--direct] [--quiet] [--look] [--view N] [--config FILE|--no-config]\n"
    "            [GLUT options] [WORLD.def]\n"
    "  or:  tavo [the same options] --demo\n"
    "  or:  tavo --check WORLD.def\n"
    "  or:  tavo --new DIR [--size WxHxD]\n"
    "  or:  tavo --shot OUT.png [--size WIDTHxHEIGHT] [--look [--view N]] WORLD.def\n"
    "  or:  tavo --export OUT.glb|.gltf|.html|.obj [--region all|X0,Y0,Z0:X1,Y1,Z1] [--flat] WORLD.def\n"
    "  or:  tavo --help | --version\n"
    "\n"
    "Flies a camera through a world of cube tiles. With no world named, asks\n"
    "for one.\n"
    "\n"
    "Options:\n"
    "  --demo             open the demo world; an installed one is first copied\n"
    "                     to ~/.local/share/tavo/demo (under $XDG_DATA_HOME when\n"
    "                     set), and later runs open that copy\n"
    "  --check WORLD.def  load the world without a window and report what is\n"
    "                     wrong with it (exit status 0 when sound, 1 when not)\n"
    "  --shot OUT.png     draw one frame of the world from its saved view into\n"
    "                     the PNG picture OUT.png and print its path (with\n"
    "                     --look: in free look, once every chunk in view is\n"
    "                     built); OUT.png may not be a file the world reads or\n"
    "                     the camera file.  A view that holds nothing says so\n"
    "                     on standard error, with how far away the nearest\n"
    "                     cell that is not empty lies\n"
    "  --size WxH         the size of that picture, each side 1 to 8192\n"
    "                     (default 640x480)\n"
    "  --export OUT.glb   write the world's faces as a glTF 2.0 scene (OUT.gltf:\n"
    "                     as text, all data inside), for other 3D programs;\n"
    "                     OUT.html: one web page that shows the world and needs\n"
    "                     nothing outside the file; OUT.obj: Wavefront OBJ with\n"
    "                     OUT.mtl and PNG pictures beside it; needs no display\n"
    "  --region X0,Y0,Z0:X1,Y1,Z1\n"
    "                     export only these cells (inclusive; default all)\n"
    "  --flat             export each picture as its average colour\n"
    "  --new DIR          make a new world to start from in the folder DIR (which\n"
    "                     must not exist, or be empty: an empty folder is filled\n"
    "                     and keeps its mode and owner): a definition file with\n"
    "                     notes, a map with a floor and a small house, its text,\n"
    "                     the system pictures and a start view; prints how to\n"
    "                     open it\n"
    "  --size WxHxD       with --new, the map's size in cells: columns, layers and\n"
    "                     rows (default 32x16x32)\n"
    "  --quiet            leave out the console line printed for every frame\n"
    "  --direct           send every face to OpenGL one by one each frame, as a\n"
    "                     check on the faces kept between frames (slower; glass\n"
    "                     and water then hide what is drawn after them)\n"
    "  --look             start in free look (Tab switches)\n"
    "  --view N           how far free look sees, in cells (8 to 1024, default 64)\n"
    "  --config FILE      read the settings from FILE instead (--shot reads them\n"
    "                     only from a FILE named)\n"
    "  --no-config        read no settings file: every setting its default\n"
    "  -h, --help         show this help and exit\n"
    "  --version          show the version and licence and exit\n"
    "  --                 end of the options: what follows is the world file\n"
    "\n"
    "GLUT options, handed to the window system: -display DISPLAY,\n"
    "-geometry WxH+X+Y, -iconic, -indirect, -direct, -gldebug, -sync.\n"
    "Every option is checked before the window system starts, so a wrong one,\n"
    "--help, --version, --check and --export need no display.\n"
    "\n"
    "Keys:\n"
    "  Escape                            quit\n"
    "  space bar (held)                  freeze the camera and free the pointer\n"
    "  mouse motion                      fly forward/back (up/down motion) and strafe (left/right motion)\n"
    "  left / right mouse button (held)  rise / sink along the view's up axis\n"
    "  w / s                             rise / sink\n"
    "  a / d, left / right arrow         strafe left / right\n"
    "  up / down arrow                   fly forward / back\n"
    "  q / e                             quarter turn left / right about the world's z axis\n"
    "  1                                 smoothing on/off\n"
    "  2                                 blending and alpha test on/off\n"
    "  3                                 texturing on/off\n"
    "  i                                 readout on/off: the world, the camera's cell and\n"
    "                                    facing, the cell at the centre of the view, frames a second\n"
    "  F5                                read the world again\n"
    "  F12 / p                           save a picture of the view in the world's SYS/SHOT folder\n"
    "  F11                               full screen on/off\n"
    "  Tab                               free look on/off\n"
    "  b                                 building on/off (free look only): the left button\n"
    "                                    removes the cell at the crosshair, the right places\n"
    "                                    the chosen type in front of it (held: every 150 ms),\n"
    "                                    r / f rise / sink\n"
    "  [ / ], mouse wheel                choose the type to place (building)\n"
    "  x, then x / X                     mark a corner, then fill / clear the box to the\n"
    "                                    cell at the crosshair (building)\n"
    "  Ctrl+Z / Ctrl+Y, Ctrl+Shift+Z     undo / redo a building step (free look)\n"
    "  Ctrl+S                            save the map picture and its map text\n"
    "  g                                 fog in free look on/off\n"
    "\n"
    "In free look the mouse turns the view about the world's up axis and\n"
    "tilts it; w / s and the up / down arrows fly along the view, a / d and\n"
    "the left / right arrows strafe, the mouse buttons rise / sink along the\n"
    "world's up axis, q / e turn a quarter turn about it.  The world is drawn\n"
    "as far as --view cells in every direction and fades into the mean colour\n"
    "of the background picture towards there (fog, g switches it); the\n"
    "picture is wrapped once around the world and turns with the view.\n"
    "\n"
    "While the viewer runs it reads the world again whenever one of its files\n"
    "is saved, and F5 does so by hand; a world that no longer reads is\n"
    "reported and the last good one stays on screen.\n"
    "\n"
    "The camera pose is saved every second to the world's camera file, so the\n"
    "next run starts where you left off.\n"
    "\n"
    "Building writes only the map picture and the map text beside it, each\n"
    "whole through a temporary file.  With unsaved edits the first Escape only\n"
    "warns, and closing the window or a signal keeps them in SYS/EDIT/NAME.pcx\n"
    "instead of the map.\n";

// Without a camera file the view starts at the origin, which in most
// worlds shows nothing of them: say so, and how to get a view that does.
static void main_cameraHint(void)
{
    std::string path = tile_resolvePath(std::string(tile_root) + "SYS/CAM/" + tile_file);
    if (access(path.c_str(), F_OK) == 0 || tile_files.empty())
        return;
    fflush(stdout);
    fprintf(stderr,
            "tavo: %s: no camera file, so the view starts at the origin looking along -z; "
            "\"%s --frame %s\" writes one that frames the map, or fly to a view "
            "(space bar held frees the pointer) and it is saved there every second\n",
            path.c_str(), main_command("tavo-cam").c_str(), tile_files[0].c_str());
}

// What the world asks for and lacks, one line each on standard error; the
// world is shown all the same (--check says more).
static void main_reportProblems(void)
{
    if (tile_problems.empty() || tile_files.empty())
        return;
    fflush(stdout);
    for (const std::string &p : tile_problems)
        fprintf(stderr, "tavo: %s: %s\n", tile_files[0].c_str(), p.c_str());
}

void main_loadWorld(void)
{
    Refusal why;
    try {
        if (tile_load(&why))
            return;
    } catch (const std::bad_alloc &) {
        error(ERROR_MEMORY);
    }
    error_refused(why);
}

void main_init(void)
{
    input_unlockAll();
    texture_smooth(1);
    main_loadWorld();
    main_reportProblems();
    main_buildLoaded();
    main_buildRecoveryHint();
    main_cameraHint();
    tile_watchStart(true);
    camera = tile_temp;
    if (main_looking)
        main_lookBegin();  // the first frame shows what the saved pose looks at
    tile_optSmooth = 1;
    tile_optAlpha = 1;
    tile_optTexture = 1;
}

void main_resize(int width, int height)
{
    mouse_settle();  // the centre moves, and maybe the pointer's place in the window
    if (height == 0)
        height = 1;
    PW = (float)width;
    PH = (float)height;
    gpu_viewport(0, 0, width, height);
    main_projection();
}

void main_projection(void)
{
    if (PW <= 0.0f || PH <= 0.0f)
        return;  // no window size yet: the first reshape sets it
    gpu_perspective(main_looking ? main_fov : MAIN_FOV_FIXED, PW / PH, MAIN_NEAR, 4000.0);
}

void main_drawFrame(void)
{
    // 255 clamps to 1.0: white, alpha 0
    gpu_clear(255.0f, 255.0f, 255.0f, 0.0f);
    gpu_identity();
    camera_lookFrom(&camera);
    if (main_looking) {
        tile_fogBegin(camera.position.x, camera.position.y, camera.position.z, main_view);
        tile_drawLook(camera.position.x, camera.position.y, camera.position.z, main_view);
        tile_fogEnd();
    } else
        tile_draw(camera.position.x, camera.position.y, camera.position.z);
}

void main_render(void)
{
    main_drawFrame();
    main_shotFrame();  // before the swap, after which the back buffer is undefined
    main_buildDraw();
    main_readoutDraw();  // after the shot: pictures show the world alone
    glutSwapBuffers();
}

// The two turn keys are locked together for exactly the length of a turn.
static int main_turning(void)
{
    return input_getLock(MAIN_KEY_LEFT_TURN) && input_getLock(MAIN_KEY_RIGHT_TURN);
}

static void main_endTurn(EventAction key)
{
    if (event_getValue(key) == MAIN_TURN_STEPS) {
        event_destroy(key);
        input_unlock(MAIN_KEY_LEFT_TURN);
        input_unlock(MAIN_KEY_RIGHT_TURN);
    }
}

void camera_left(void)
{
    entity_rotateZ(&camera, 9.0f);
    main_endTurn(camera_left);
}

void camera_right(void)
{
    entity_rotateZ(&camera, -9.0f);
    main_endTurn(camera_right);
}

// Free look's quarter turns, about the world's up axis.
static void main_lookLeft(void)
{
    main_lookTurn(9.0f);
    main_endTurn(main_lookLeft);
}

static void main_lookRight(void)
{
    main_lookTurn(-9.0f);
    main_endTurn(main_lookRight);
}

static void main_startTurn(unsigned short key, EventAction action)
{
    input_reset(key);
    input_lock(MAIN_KEY_LEFT_TURN);
    input_lock(MAIN_KEY_RIGHT_TURN);
    if (!event_create(action, MAIN_TURN_TYPE, 1, 0, 1, action))
        error(ERROR_MEMORY);
}

// One press flips once: the press is consumed before the flip.
static int main_optionPressed(unsigned short key)
{
    if (!input_check(key))
        return 0;
    input_reset(key);
    return 1;
}

static long main_milliseconds(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

int main_nextTick(int tick)
{
    // Past INT_MAX the count starts again at a save tick beyond the
    // mouse-look delay, so a run of any length behaves the same.
    return tick < INT_MAX ? tick + 1 : MAIN_SAVE_EVERY;
}

// The fixed camera's motion: the mouse flies and strafes, the buttons and
// w/s rise and sink along the view's up axis.
static void main_fixedControl(int tick)
{
    if (mouse_check(0))
        entity_elevate(&camera, 1.0f);
    if (mouse_check(2))
        entity_elevate(&camera, -1.0f);

    // The first ticks let the pointer settle at the centre.
    if (tick > 10) {
        entity_move(&camera, (float)-mouse_motionY() * 0.1f);
        entity_strafe(&camera, (float)-mouse_motionX() * 0.1f);
    }

    if (input_check('w'))
        entity_elevate(&camera, 1.0f);
    if (input_check('s'))
        entity_elevate(&camera, -1.0f);
    if (input_check('a'))
        entity_strafe(&camera, 1.0f);
    if (input_check('d'))
        entity_strafe(&camera, -1.0f);
    if (input_check(MAIN_ARROW_UP))
        entity_move(&camera, 1.0f);
    if (input_check(MAIN_ARROW_DOWN))
        entity_move(&camera, -1.0f);
    if (input_check(MAIN_ARROW_LEFT))
        entity_strafe(&camera, 1.0f);
    if (input_check(MAIN_ARROW_RIGHT))
        entity_strafe(&camera, -1.0f);
}

// Steps the space bar skips: pointer, motion, turns and options.
static void main_control(int tick)
{
    // Between turns only: a turn runs on in the mode it began in.  What
    // the pointer did meanwhile is no motion in the new mode.
    if (main_optionPressed(MAIN_KEY_TAB) && !main_turning()) {
        main_lookToggle();
        main_projection();
        mouse_settle();
    }
    if (main_looking) {
        main_buildControl(main_milliseconds());
        main_lookControl(tick);
    } else {
        main_fixedControl(tick);
    }
    // Motion until the next tick counts from the centre.
    mouse_origin((int)(PW / 2.0f), (int)(PH / 2.0f));

    // 'q' locks 'e' before 'e' is read, so both at once turn left only.
    if (input_check(MAIN_KEY_LEFT_TURN))
        main_startTurn(MAIN_KEY_LEFT_TURN, main_looking ? main_lookLeft : camera_left);
    if (input_check(MAIN_KEY_RIGHT_TURN))
        main_startTurn(MAIN_KEY_RIGHT_TURN, main_looking ? main_lookRight : camera_right);

    if (main_optionPressed(MAIN_KEY_SMOOTH))
        tile_optSmooth = !tile_optSmooth;
    if (main_optionPressed(MAIN_KEY_ALPHA)) {
        tile_optAlpha = !tile_optAlpha;
        gpu_blending(tile_optAlpha);
        gpu_alphaTest(tile_optAlpha);
    }
    if (main_optionPressed(MAIN_KEY_TEXTURE))
        tile_optTexture = !tile_optTexture;
    if (main_optionPressed(MAIN_KEY_FOG))
        tile_lookFog = !tile_lookFog;
}

// A signal that ends the run, taken at the next tick so that unsaved
// edits can be kept first.
static volatile sig_atomic_t main_signalled;

static void main_onSignal(int signal)
{
    main_signalled = signal;
}

static bool main_ending;

// The window was closed: the run ends once this returns.
static void main_onClose(void)
{
    if (!main_ending)
        main_buildRecover();
}

void main_timer(int tick)
{
    glutPostRedisplay();
    if (main_signalled) {
        main_buildRecover();
        signal(main_signalled, SIG_DFL);
        raise(main_signalled);  // ends as the signal would have
    }
    if (input_check(MAIN_KEY_ESCAPE)) {
        input_reset(MAIN_KEY_ESCAPE);
        if (main_buildMayQuit()) {
            main_ending = true;
            exit(0);  // no new save: the file keeps the last periodic pose, written before the end
        }
    }

    // The space bar's press is left for later ticks to see.  Once it is
    // released, motion counts from where it left the pointer.
    static bool frozen;
    if (input_check(MAIN_KEY_SPACE)) {
        frozen = true;
    } else {
        if (frozen)
            mouse_settle();
        frozen = false;
        main_control(tick);
    }
    main_shotKeys();  // a picture may be taken with the camera frozen too
    if (main_optionPressed(MAIN_KEY_READOUT))
        main_readoutToggle();
    if (main_optionPressed(MAIN_KEY_FULLSCREEN))
        glutFullScreenToggle();  // the reshape that follows moves nothing

    // A saved world file or F5: the world is read again off this thread
    // and put in place between two frames once it is all there.
    // Building's own save is passed over: the watcher is told of it first.
    if (main_optionPressed(MAIN_KEY_SAVE) && (main_looking || main_buildUnsaved()))
        main_buildSave();
    int reload = main_buildSaving() ? 0 : tile_watchPoll();
    bool byHand = main_optionPressed(MAIN_KEY_RELOAD);
    if ((reload || byHand) && main_buildMayReload(byHand))
        tile_reloadStart();
    if (tile_reloadPoll()) {
        main_reportProblems();
        main_buildLoaded();
    }

    // Never mid-turn, so the file only ever holds a squared-up pose.
    if (tick % MAIN_SAVE_EVERY == 0 && !main_turning())
        main_queueCamera();
    input_endTick();  // the presses this tick saw count no longer

    // Re-armed before the events advance, so a turn's work does not
    // delay the next tick.
    glutTimerFunc(20, main_timer, main_nextTick(tick));
    event_refresh();
}

void main_renderState(void)
{
    gpu_startState();
}

void main_usage(FILE *out)
{
    fputs(main_usageText, out);
    fputs("\nSettings, read at start from $XDG_CONFIG_HOME/tavo/tavo.conf (by default\n"
          "~/.config/tavo/tavo.conf), one \"key = value\" a line, # for comments; the\n"
          "command line wins, and no setting but fullscreen changes the fixed camera:\n", out);
    fputs(main_settingsHelp().c_str(), out);
}

// Standard input, output and error closed at start would be the first
// descriptors opened, the display's socket among them: the chooser would
// then read from it, and the console lines write to it.
static void main_openStandardFiles(void)
{
    for (int fd = 0; fd <= 2; fd++)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", O_RDWR);  // takes the lowest free descriptor: this one
}

static void main_createWindow(int width, int height)
{
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(160, 208);
    glutInitWindowSize(width, height);
    glutCreateWindow("Tavo v3.1");
}

void main_openWindow(int *argc, char **argv, int width, int height, bool fullscreen)
{
    // The software renderer takes and gives back buffers for the corners
    // it is sent every frame.  With glibc's defaults the top of the heap
    // goes back to the system after each frame and is faulted in again on
    // the next, some 7% of a free-look frame's processor time: blocks up
    // to 16 MB come from the heap, and up to 64 MB of it is kept.
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    glutInit(argc, argv);
    main_createWindow(width, height);
    if (fullscreen)
        glutFullScreen();
}

void main_settings(const MainCommand &command)
{
    // The settings file first, so that the command line wins.  --shot
    // draws what the world alone says, unless a file is named.
    if (command.has("--config"))
        main_settingsRead(command.operand("--config"), true);
    else if (command.mode == MAIN_VIEW && !command.has("--no-config"))
        main_settingsRead(main_settingsPath(), false);
    tile_direct = command.has("--direct");
    tile_quiet = command.has("--quiet");
    if (command.has("--look"))
        main_looking = 1;
    if (command.has("--view"))
        main_parseView(command.operand("--view"));  // checked already
}

int main_run(int argc, char **argv)
{
    main_openStandardFiles();
    // The whole command line is read before glutInit, so that these need
    // no display and a wrong word is never left to the window system.
    MainCommand command;
    std::string wrong = main_parse(argc, argv, &command);
    if (!wrong.empty())
        return args_usageError("tavo", wrong);
    if (command.mode == MAIN_HELP) {
        main_usage(stdout);
        return 0;
    }
    if (command.mode == MAIN_VERSION)
        return args_version("tavo");
    if (command.mode == MAIN_NEW)
        return main_new(command);
    if (command.has("--config") && command.has("--no-config"))
        return args_usageError("tavo", "--config and --no-config cannot be used together");
    main_settings(command);
    if (command.has("--demo")) {
        main_world = main_demoWorld();
        if (main_world.empty())
            error(ERROR_FILE);
        command.world = main_world.c_str();
    }
    if (command.mode == MAIN_CHECK)
        return main_check(command.world);
    if (command.mode == MAIN_SHOT)
        return main_shot(command);
    if (command.mode == MAIN_EXPORT)
        return main_export(command);

    // With no world named, tile_load asks for one.
    Refusal why;
    if (command.world && !tile_requireWorldFile(command.world, &why))
        error_refused(why);
    int glutArgc = (int)command.glut.size() - 1;
    main_openWindow(&glutArgc, command.glut.data(), 640, 480, main_fullscreen);
    tile_argument = command.world;
    // The window manager's close button ends the run as Escape does.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_EXIT);
    main_init();

    glutDisplayFunc(main_render);
    glutReshapeFunc(main_resize);
    glutMouseFunc(input_mouse);
    glutMotionFunc(mouse_move);
    glutPassiveMotionFunc(mouse_move);
    glutEntryFunc(mouse_entry);
    glutKeyboardFunc(main_buildKeyDown);
    glutKeyboardUpFunc(main_buildKeyUp);
    glutCloseFunc(main_onClose);
    struct sigaction ending = {};
    ending.sa_handler = main_onSignal;
    sigaction(SIGINT, &ending, nullptr);
    sigaction(SIGTERM, &ending, nullptr);
    glutSpecialFunc(input_pressSKey);
    glutSpecialUpFunc(input_releaseSKey);
    glutTimerFunc(0, main_timer, 0);
    glutSetCursor(GLUT_CURSOR_NONE);

    main_renderState();

    glutMainLoop();
    printf("quit");
    return 0;
}
