// tile_fog.cpp -- free look's fog: faces fade to the background's colour towards the view distance
#include "tile.h"

#include <math.h>

#include <algorithm>
#include <vector>

#include <GL/gl.h>

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

GLuint fog_texture;
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
    glGenTextures(1, &fog_texture);
    glBindTexture(GL_TEXTURE_3D, fog_texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R})
        glTexParameteri(GL_TEXTURE_3D, wrap, GL_CLAMP_TO_EDGE);
    glTexImage3D(GL_TEXTURE_3D, 0, GL_ALPHA8, FOG_SIDE, FOG_SIDE, FOG_SIDE, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                 amounts.data());
}

void tile_fogBegin(float ex, float ey, float ez, int view)
{
    fog_on = tile_lookFog && view > 0;
    if (!fog_on)
        return;
    fog_paused = false;
    glActiveTexture(GL_TEXTURE1);
    if (!fog_texture)
        tile_fogTexture();
    glBindTexture(GL_TEXTURE_3D, fog_texture);
    glEnable(GL_TEXTURE_3D);
    // Planes in world units, given under the camera's model-view: each
    // fragment's coordinate is its offset from the eye over the cube's
    // side, from the cube's centre at 0.5.
    const float eye[3] = {ex, ey, ez}, unit[3] = {tile_size, tile_size, tile_sizeZ};
    const GLenum coords[3] = {GL_S, GL_T, GL_R}, gens[3] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R};
    for (int a = 0; a < 3; a++) {
        const float side = 2.0f * FOG_REACH * (float)view * unit[a];
        GLfloat plane[4] = {0.0f, 0.0f, 0.0f, 0.5f - eye[a] / side};
        plane[a] = 1.0f / side;
        glTexGeni(coords[a], GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
        glTexGenfv(coords[a], GL_EYE_PLANE, plane);
        glEnable(gens[a]);
        fog_eye[a] = eye[a];
        const float start = FOG_START * (float)view * unit[a];
        fog_start2[a] = 1.0f / (start * start);
    }
    unsigned char rgb[3];
    tile_backgroundMean(rgb);
    const GLfloat color[4] = {rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f, 1.0f};
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, color);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    // colour = fog colour * amount + colour so far * (1 - amount)
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_INTERPOLATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_CONSTANT);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_PREVIOUS);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND2_RGB, GL_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_PREVIOUS);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
    glActiveTexture(GL_TEXTURE0);  // where every other texture is bound
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
    glActiveTexture(GL_TEXTURE1);
    if (paused)
        glDisable(GL_TEXTURE_3D);  // a unit without a texture passes the colour on
    else
        glEnable(GL_TEXTURE_3D);
    glActiveTexture(GL_TEXTURE0);
}

void tile_fogEnd(void)
{
    if (!fog_on)
        return;
    fog_on = false;
    glActiveTexture(GL_TEXTURE1);
    glDisable(GL_TEXTURE_3D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glActiveTexture(GL_TEXTURE0);
}
