// input.cpp -- key, lock and mouse state recorded by the window callbacks
#include "input.h"

#include <string.h>
#include <GL/freeglut.h>

#include "gpu.h"

unsigned char input_button[INPUT_CODES];
unsigned char input_mask[INPUT_CODES];
unsigned char mouse_button[MOUSE_BUTTONS];
// Presses since the last tick: a key pressed and released within one long
// frame still reads as down for the tick after it.
static unsigned char input_latch[INPUT_CODES];
static unsigned char mouse_latch[MOUSE_BUTTONS];
int mouse_x, mouse_y;
Vector mouse_vector;
// Where motion counts from, and whether the next report sets it instead:
// at start-up nothing is known of where the pointer is.
static int mouse_baseX, mouse_baseY;
static bool mouse_settling = true;

int input_specialCode(int key)
{
    // Checked before adding, so no key number can overflow the sum.
    if (key < 0 || key > INPUT_CODES - 1 - 193)
        return -1;
    int code = key <= 12 ? key + 367 : key + 193;
    return code < INPUT_CODES ? code : -1;
}

void input_pressKey(unsigned char key, int, int)
{
    input_button[key] = input_latch[key] = 1;
}

void input_releaseKey(unsigned char key, int, int)
{
    input_button[key] = 0;
}

void input_pressSKey(int key, int, int)
{
    int code = input_specialCode(key);
    if (code >= 0)
        input_button[code] = input_latch[code] = 1;
}

void input_releaseSKey(int key, int, int)
{
    int code = input_specialCode(key);
    if (code >= 0)
        input_button[code] = 0;
}

void input_mouse(int button, int state, int x, int y)
{
    mouse_move(x, y);  // the click's position is recorded before its flag
    if (button >= 0 && button < MOUSE_BUTTONS)
        mouse_button[button] = state == GLUT_DOWN ? 1 : 0;
    if (button >= 0 && button < MOUSE_BUTTONS && state == GLUT_DOWN)
        mouse_latch[button] = 1;
}

void mouse_move(int x, int y)
{
    mouse_x = x;
    mouse_y = y;
    if (mouse_settling) {
        mouse_baseX = x, mouse_baseY = y;
        mouse_settling = false;
    }
    float at[3];
    if (gpu_pointAtPixel(x, y, at))
        vector_set(&mouse_vector, at[0], at[1], at[2]);
}

// Codes beyond the table can never be pressed: they read as locked and up.
int input_check(unsigned short code)
{
    return code < INPUT_CODES && (input_button[code] || input_latch[code]) && input_mask[code] ? 1 : 0;
}

void input_reset(unsigned short code)
{
    if (code < INPUT_CODES)
        input_button[code] = input_latch[code] = 0;
}

void input_endTick(void)
{
    memset(input_latch, 0, sizeof input_latch);
    memset(mouse_latch, 0, sizeof mouse_latch);
}

// A lock hides the key's state, and drops a press that was waiting for
// the tick: only a key still held reads as down once unlocked.
void input_lock(unsigned short code)
{
    if (code < INPUT_CODES)
        input_mask[code] = input_latch[code] = 0;
}

void input_unlock(unsigned short code)
{
    if (code < INPUT_CODES)
        input_mask[code] = 1;
}

int input_getLock(unsigned short code)
{
    return code >= INPUT_CODES || !input_mask[code] ? 1 : 0;
}

void input_lockAll(void)
{
    memset(input_mask, 0, sizeof input_mask);
    memset(input_latch, 0, sizeof input_latch);
}

void input_unlockAll(void)
{
    memset(input_mask, 1, sizeof input_mask);
}

int mouse_check(unsigned char button)
{
    return button < MOUSE_BUTTONS ? mouse_button[button] | mouse_latch[button] : 0;
}

void mouse_reset(unsigned char button)
{
    if (button < MOUSE_BUTTONS)
        mouse_button[button] = mouse_latch[button] = 0;
}

int mouse_getX(void)
{
    return mouse_x;
}

int mouse_getY(void)
{
    return mouse_y;
}

Vector mouse_getVector(void)
{
    return mouse_vector;
}

// The X server reports a warp as pointer motion, and the motion callback
// records it; mouse_x and mouse_y are left to that.
void mouse_origin(int x, int y)
{
    glutWarpPointer(x, y);
    mouse_baseX = x, mouse_baseY = y;
}

void mouse_settle(void)
{
    mouse_baseX = mouse_x, mouse_baseY = mouse_y;
    mouse_settling = true;
}

void mouse_entry(int state)
{
    if (state == GLUT_ENTERED)
        mouse_settle();
}

int mouse_motionX(void)
{
    return mouse_x - mouse_baseX;
}

int mouse_motionY(void)
{
    return mouse_y - mouse_baseY;
}
