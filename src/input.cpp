// input.cpp -- placeholder, replaced by the input state
#include "input.h"
unsigned char input_button[INPUT_CODES];
unsigned char input_mask[INPUT_CODES];
unsigned char mouse_button[MOUSE_BUTTONS];
int mouse_x, mouse_y;
Vector mouse_vector;
int input_specialCode(int) { return -1; }
void input_pressKey(unsigned char, int, int) {}
void input_releaseKey(unsigned char, int, int) {}
void input_pressSKey(int, int, int) {}
void input_releaseSKey(int, int, int) {}
void input_mouse(int, int, int, int) {}
void mouse_move(int, int) {}
int input_check(unsigned short) { return 0; }
void input_reset(unsigned short) {}
void input_lock(unsigned short) {}
void input_unlock(unsigned short) {}
int input_getLock(unsigned short) { return 0; }
void input_lockAll(void) {}
void input_unlockAll(void) {}
int mouse_check(unsigned char) { return 0; }
void mouse_reset(unsigned char) {}
int mouse_getX(void) { return 0; }
int mouse_getY(void) { return 0; }
Vector mouse_getVector(void) { return mouse_vector; }
void mouse_origin(int, int) {}
