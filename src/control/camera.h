// camera.h -- the viewer's pose, the window size, the view and the 2D overlay
#ifndef TAVO_CAMERA_H
#define TAVO_CAMERA_H

#include "entity.h"

// Shared globals, defined in main.cpp.
extern Entity camera;
extern float PW, PH;  // window width and height in pixels, 0 until the first reshape

extern unsigned char camera_ortho;  // 1 while the 2D overlay is active

void camera_lookFrom(const Entity *e);
void camera_2D(void);
void camera_3D(void);

#endif
