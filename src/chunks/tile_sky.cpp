// tile_sky.cpp -- free look's background: the picture wrapped once around the eye, turning with the view
#include "tile.h"

#include <math.h>

#include "gpu.h"
#include "texture.h"

namespace {

const int SKY_AROUND = 48;   // steps of the sphere's heading
const int SKY_UP = 24;       // steps from straight down to straight up
const float SKY_RADIUS = 10.0f;  // inside the far plane, outside the near one
const float SKY_PI = 3.14159265f;

}  // namespace

void tile_skyPlace(float heading, float elevation, float *s, float *t)
{
    *s = 0.5f - heading / 360.0f;
    *t = 0.5f - elevation / 180.0f;
}

// The sphere's corner towards heading and elevation (degrees).
static void tile_skyVertex(float heading, float elevation, float sScale, float tScale)
{
    const float h = heading * SKY_PI / 180.0f, e = elevation * SKY_PI / 180.0f;
    float s, t;
    tile_skyPlace(heading, elevation, &s, &t);
    gpu_texCoord(s * sScale, t * tScale);
    gpu_vertex(-sinf(h) * cosf(e) * SKY_RADIUS, sinf(e) * SKY_RADIUS, -cosf(h) * cosf(e) * SKY_RADIUS);
}

void tile_sky(void)
{
    const Image *bg = tile_bg ? tile_bg : &tile_dummy;
    // The picture alone, not the padding of its texture.
    const float sScale = bg->texWidth ? (float)bg->width / bg->texWidth : 1.0f;
    const float tScale = bg->texHeight ? (float)bg->height / bg->texHeight : 1.0f;
    tile_fogPause(true);
    // The camera's turn without its place: the sky is infinitely far.
    float model[16];
    gpu_getModelView(model);
    model[12] = model[13] = model[14] = 0.0f;
    gpu_pushMatrix();
    gpu_loadModelView(model);
    const bool culled = gpu_isCulling();
    gpu_culling(false);  // seen from inside
    const int depthFunc = tile_behindDrawnBegin(bg);
    for (int up = 0; up < SKY_UP; up++) {
        const float e0 = -90.0f + 180.0f * (float)up / SKY_UP, e1 = -90.0f + 180.0f * (float)(up + 1) / SKY_UP;
        gpu_begin(GPU_QUAD_STRIP);
        for (int i = 0; i <= SKY_AROUND; i++) {
            const float heading = 180.0f - 360.0f * (float)i / SKY_AROUND;
            tile_skyVertex(heading, e1, sScale, tScale);
            tile_skyVertex(heading, e0, sScale, tScale);
        }
        gpu_end();
    }
    tile_behindDrawnEnd(depthFunc);
    if (culled)
        gpu_culling(true);
    gpu_popMatrix();
    tile_fogPause(false);
}
