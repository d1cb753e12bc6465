// camera.cpp -- placeholder, replaced by the view and overlay
#include "camera.h"
unsigned char camera_ortho;
void camera_lookFrom(const Entity *) {}
void camera_2D(void) {}
void camera_3D(void) {}
