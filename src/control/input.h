// input.h -- key, lock and mouse state recorded by the window callbacks
#ifndef TAVO_INPUT_H
#define TAVO_INPUT_H

#include "math.h"

#define INPUT_CODES   512
#define MOUSE_BUTTONS 32  // freeglut reports wheel steps as buttons 3 and 4, and more

extern unsigned char input_button[INPUT_CODES];
extern unsigned char input_mask[INPUT_CODES];
extern unsigned char mouse_button[MOUSE_BUTTONS];
extern int mouse_x, mouse_y;
extern Vector mouse_vector;

// Code of a GLUT special key: F1..F12 (1..12) + 367, others + 193;
// -1 when it would not fit the code space.
int input_specialCode(int key);

void input_pressKey(unsigned char key, int x, int y);
void input_releaseKey(unsigned char key, int x, int y);
void input_pressSKey(int key, int x, int y);
void input_releaseSKey(int key, int x, int y);
void input_mouse(int button, int state, int x, int y);
void mouse_move(int x, int y);

// Down and enabled; a press since the last input_endTick counts as down
// even when the key is up again.
int input_check(unsigned short code);
void input_reset(unsigned short code);  // the press consumed, its latch too
// The tick has read the input: presses now count only while held.
void input_endTick(void);
void input_lock(unsigned short code);
void input_unlock(unsigned short code);
int input_getLock(unsigned short code);
void input_lockAll(void);
void input_unlockAll(void);

int mouse_check(unsigned char button);
void mouse_reset(unsigned char button);
int mouse_getX(void);
int mouse_getY(void);
Vector mouse_getVector(void);
// Puts the pointer at (x, y): motion counts from there.
void mouse_origin(int x, int y);
// The pointer is not where motion counts from (it entered the window, the
// window changed size, the view changed mode): what it did so far, and the
// first motion reported after this, move nothing.
void mouse_settle(void);
// GLUT's entry callback: a pointer coming in settles.
void mouse_entry(int state);
// Pixels the pointer moved right and down since it was put at the origin.
int mouse_motionX(void);
int mouse_motionY(void);

#endif
