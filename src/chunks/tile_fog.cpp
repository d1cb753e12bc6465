// tile_fog.cpp -- free look's fog: faces fade to the background's colour towards the view distance
#include "tile.h"

#include <math.h>

#include <algorithm>
#include <vector>

#include "gpu.h"

bool tile_lookFog = true;

namespace {

// The view distance counts cells, and a cell is 2 units wide but 7 deep:
// the chunks drawn end on an ellipsoid in world units.  The fixed-function
// fog only knows eye distances in units, so it would either end short of
// the view along z or leave the chunks' hard edge showing along x.  Instead
// a second texture unit maps each fragment's place, relative to the eye in
// view distances along each axis, into a small cube of fog amounts, and
// blends the fragment's colour towards the fog colour by the amount found.
// The fragment's alpha passes unchanged, so cut-outs and translucent faces
// fade the same way.  The nearest texel is taken: filtering between eight
// texels of a cube cost the software renderer more than the frame itself,
// and at 128 texels a side the fog steps by 4 % of the way.
const int FOG_SIDE = 128;           // texels along each side of the cube
const float FOG_REACH = 1.0f;       // the cube's half side, in view distances
const float FOG_START = 0.5f;       // no fog nearer than this
const float FOG_FULL = 0.9f;        // the fog colour alone from here on

unsigned fog_texture;
bool fog_on;  // between tile_fogBegin and tile_fogEnd, fog drawn
bool fog_paused;
float fog_eye[3], fog_start2[3];  // the eye, and per axis 1 / (start in units)^2

}  // namespace

float tile_fogAmount(float distance)
{
    if (!(distance > FOG_START))
        return 0.0f;  // NaN too: a place not known is not hidden
    return distance >= FOG_FULL ? 1.0f : (distance - FOG_START) / (FOG_FULL - FOG_START);
}

void tile_backgroundMean(unsigned char rgb[3])
{
    // Over the window's white, with the picture's alpha: what the backdrop
    // shows on average.  Without texturing no backdrop is drawn.
    const Image *bg = tile_bg ? tile_bg : &tile_dummy;
    for (int c = 0; c < 3; c++) {
        const unsigned shown = tile_optTexture ? bg->mean[c] + 255u - bg->mean[3] : 255u;
        rgb[c] = (unsigned char)(shown > 255u ? 255u : shown);
    }
}

// The cube of fog amounts, made once: texel (i, j, k) holds the amount at
// its centre's distance from the cube's centre.  Past the cube's faces the
// edge texels, all full fog, go on; a place within a texel's half diagonal
// (0.014 view distances) of the view distance still takes full fog.
static void tile_fogTexture(void)
{
    std::vector<unsigned char> amounts((size_t)FOG_SIDE * FOG_SIDE * FOG_SIDE);
    auto at = [](int i) { return ((float)i + 0.5f) / (float)FOG_SIDE * 2.0f * FOG_REACH - FOG_REACH; };
    size_t n = 0;
    for (int k = 0; k < FOG_SIDE; k++)
        for (int j = 0; j < FOG_SIDE; j++)
            for (int i = 0; i < FOG_SIDE; i++) {
                const float d = sqrtf(at(i) * at(i) + at(j) * at(j) + at(k) * at(k));
                amounts[n++] = (unsigned char)lrintf(tile_fogAmount(d) * 255.0f);
            }
    fog_texture = gpu_fogVolume(FOG_SIDE, amounts.data());
}

void tile_fogBegin(float ex, float ey, float ez, int view)
{
    fog_on = tile_lookFog && view > 0;
    if (!fog_on)
        return;
    fog_paused = false;
    if (!fog_texture)
        tile_fogTexture();
    // Planes in world units, given under the camera's model-view: each
    // fragment's coordinate is its offset from the eye over the cube's
    // side, from the cube's centre at 0.5.
    const float eye[3] = {ex, ey, ez}, unit[3] = {tile_size, tile_size, tile_sizeZ};
    float planes[3][4];
    for (int a = 0; a < 3; a++) {
        const float side = 2.0f * FOG_REACH * (float)view * unit[a];
        float *plane = planes[a];
        plane[0] = plane[1] = plane[2] = 0.0f;
        plane[3] = 0.5f - eye[a] / side;
        plane[a] = 1.0f / side;
        fog_eye[a] = eye[a];
        const float start = FOG_START * (float)view * unit[a];
        fog_start2[a] = 1.0f / (start * start);
    }
    unsigned char rgb[3];
    tile_backgroundMean(rgb);
    const float color[4] = {rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f, 1.0f};
    gpu_fogOn(fog_texture, planes, color);
}

bool tile_fogReaches(const float lo[3], const float hi[3])
{
    if (!fog_on)
        return false;
    // The box's corner farthest from the eye, in fog starts along each axis.
    float far = 0.0f;
    for (int a = 0; a < 3; a++) {
        const float d = std::max(fabsf(lo[a] - fog_eye[a]), fabsf(hi[a] - fog_eye[a]));
        far += d * d * fog_start2[a];
    }
    return !(far <= 1.0f);
}

void tile_fogPause(bool paused)
{
    if (!fog_on || paused == fog_paused)
        return;
    fog_paused = paused;
    gpu_fogPause(paused);
}

void tile_fogEnd(void)
{
    if (!fog_on)
        return;
    fog_on = false;
    gpu_fogOff();
}
