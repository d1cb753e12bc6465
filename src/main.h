// main.h -- start-up, the window callbacks and the 20 ms tick
#ifndef TAVO_MAIN_H
#define TAVO_MAIN_H

int main_run(int argc, char **argv);  // the program; main() only calls this
void main_init(void);
// Light 1 and the fixed render state, set once after main_init.
void main_renderState(void);
void main_render(void);
void main_resize(int width, int height);
void main_timer(int tick);
void camera_left(void);
void camera_right(void);

// tavo --check WORLD.def: loads the world without a window and reports
// what an author needs to know; returns the exit status (0 sound, 1 not).
int main_check(const char *defPath);

#endif
