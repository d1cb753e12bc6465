// main.h -- start-up, the command line, the window callbacks and the 20 ms tick
#ifndef TAVO_MAIN_H
#define TAVO_MAIN_H

#include <stdio.h>

int main_run(int argc, char **argv);  // the program; main() only calls this
// glutInit (which takes its options out of argv) and the one window.
void main_openWindow(int *argc, char **argv);
// Of what glutInit left in argv, takes the one world file into
// tile_argument; 0 (a usage error) for an unknown option starting with
// '-' or a second world.
int main_takeWorld(int argc, char **argv);
void main_init(void);
// Light 1 and the fixed render state, set once after main_init.
void main_renderState(void);
void main_render(void);
void main_resize(int width, int height);
void main_timer(int tick);
void camera_left(void);
void camera_right(void);

// The usage text, key table included.
void main_usage(FILE *out);
// --help, --version and --check, read before GLUT sees the command line:
// the exit status when one of them (or an unknown --option, status 2)
// settles the run, -1 to go on and open the window.
int main_options(int argc, char **argv);
// Writes camera to tile_root + "SYS/CAM/" + tile_file; 0 (and no file
// touched) when there is no world, the path would not fit tempStr or the
// file cannot be written.
int main_saveCamera(void);
// The number of the tick after tick, without overflow.
int main_nextTick(int tick);

// tavo --check WORLD.def: loads the world without a window and reports
// what an author needs to know; returns the exit status (0 sound, 1 not).
int main_check(const char *defPath);

#endif
