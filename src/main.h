// main.h -- start-up, the command line, the window callbacks and the 20 ms tick
#ifndef TAVO_MAIN_H
#define TAVO_MAIN_H

#include <stdio.h>

#include <string>

int main_run(int argc, char **argv);  // the program; main() only calls this
// glutInit (which takes its options out of argv) and the one window.
void main_openWindow(int *argc, char **argv, int width = 640, int height = 480);
// Of what glutInit left in argv, takes the one world file into
// tile_argument; 0 (a usage error) for an unknown option starting with
// '-' or a second world.
int main_takeWorld(int argc, char **argv);
void main_init(void);
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
// --help, --version, --check, --demo and --shot, read before GLUT sees the
// command line: the exit status when one of them (or an unknown --option,
// status 2) settles the run, -1 to go on and open the window.
int main_options(int argc, char **argv);
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

// tavo --check WORLD.def: loads the world without a window and reports
// what an author needs to know; returns the exit status (0 sound, 1 not).
int main_check(const char *defPath);

// tavo --demo: the definition file of the demo world to open.  In a build
// folder that is the build's own demo; else the installed one, copied
// first (once) to $XDG_DATA_HOME/tavo/demo, by default
// ~/.local/share/tavo/demo, where the camera can be saved.  Ends the
// process through error() when there is no demo or no copy can be made.
std::string main_demoWorld(void);

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
// saved view into OUT.png; returns the exit status (2 for a bad command
// line).  A world that cannot be loaded ends the process as the viewer's does.
int main_shot(int argc, char **argv);

#endif
