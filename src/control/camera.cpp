// camera.cpp -- the view from a pose and the switch to and from the 2D overlay
#include "camera.h"

#include "gpu.h"

unsigned char camera_ortho;

void camera_lookFrom(const Entity *e)
{
    const Vector &p = e->position, &f = e->forward, &u = e->up;
    gpu_lookAt(p.x, p.y, p.z,
               (double)(p.x + f.x), (double)(p.y + f.y), (double)(p.z + f.z),
               u.x, u.y, u.z);
}

// Before the first reshape PW and PH are 0; a square overlay then stands in
// for the 0/0 that would fill the projection with NaNs.
static double camera_aspect(void)
{
    return PW > 0.0f && PH > 0.0f ? PW / PH : 1.0;
}

// The overlay's unit is the window height: x runs 0..PW/PH left to right,
// y 0..1 top to bottom.  The 3D matrices are pushed, not rebuilt, so leaving
// the overlay restores exactly what was in force.
void camera_2D(void)
{
    if (camera_ortho)
        return;
    gpu_overlayBegin(camera_aspect());
    camera_ortho = 1;
}

void camera_3D(void)
{
    if (!camera_ortho)
        return;
    gpu_overlayEnd();
    camera_ortho = 0;
}
