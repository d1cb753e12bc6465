// texture.cpp -- the process-wide texture render state and texture_set
#include "texture.h"

#include <string.h>

#include <vector>

#include "gpu.h"
#include "image.h"

unsigned char texture_billboarder;
unsigned char texture_autoTransparency;
unsigned char texture_enabled;
unsigned char texture_double;
unsigned char texture_smoothed;
unsigned char texture_repeated;
unsigned char texture_transparency;
unsigned char texture_softened;
unsigned char texture_colorR = 255, texture_colorG = 255, texture_colorB = 255;
unsigned char texture_colorA = 255;
unsigned char texture_transparencyR, texture_transparencyG, texture_transparencyB;

void texture_autoTransparent(bool on) { texture_autoTransparency = on; }
bool texture_getAutoTransparent(void) { return texture_autoTransparency; }
void texture_soften(bool on) { texture_softened = on; }
bool texture_getSoften(void) { return texture_softened; }
void texture_smooth(bool on) { texture_smoothed = on; }
bool texture_getSmooth(void) { return texture_smoothed; }
void texture_repeat(unsigned char how) { texture_repeated = how <= TEXTURE_MIRROR ? how : (unsigned char)TEXTURE_CLAMP; }
void texture_transparent(bool on) { texture_transparency = on; }
bool texture_getTransparent(void) { return texture_transparency; }

void texture_enable(bool on)
{
    texture_enabled = on;
    gpu_texturing(on);
}

bool texture_getEnable(void) { return texture_enabled; }

void texture_doubleSided(bool on)
{
    texture_double = on;
    gpu_culling(!on);  // off: both sides of a face are drawn
}

bool texture_getDoubleSided(void) { return texture_double; }

// Opacity is left alone: only texture_alpha sets it.
void texture_color(unsigned char r, unsigned char g, unsigned char b)
{
    texture_colorR = r;
    texture_colorG = g;
    texture_colorB = b;
}

void texture_red(unsigned char v) { texture_colorR = v; }
unsigned char texture_getRed(void) { return texture_colorR; }
void texture_green(unsigned char v) { texture_colorG = v; }
unsigned char texture_getGreen(void) { return texture_colorG; }
void texture_blue(unsigned char v) { texture_colorB = v; }
unsigned char texture_getBlue(void) { return texture_colorB; }
void texture_alpha(unsigned char v) { texture_colorA = v; }
unsigned char texture_getAlpha(void) { return texture_colorA; }

void texture_transparentColor(unsigned char r, unsigned char g, unsigned char b)
{
    texture_transparencyR = r;
    texture_transparencyG = g;
    texture_transparencyB = b;
}

void texture_transparentRed(unsigned char v) { texture_transparencyR = v; }
unsigned char texture_getTransparentRed(void) { return texture_transparencyR; }
void texture_transparentGreen(unsigned char v) { texture_transparencyG = v; }
unsigned char texture_getTransparentGreen(void) { return texture_transparencyG; }
void texture_transparentBlue(unsigned char v) { texture_transparencyB = v; }
unsigned char texture_getTransparentBlue(void) { return texture_transparencyB; }

// On: save the model-view matrix and drop its rotation and scale (the upper
// left 3x3 becomes the identity), so what follows keeps its place relative
// to the eye but faces it.  Off: restore the saved matrix.  Repeating the
// current state does nothing, so pushes and pops always pair.
void texture_billboard(bool on)
{
    if ((unsigned char)on == texture_billboarder)
        return;
    texture_billboarder = on;
    if (!on) {
        gpu_popMatrix();
        return;
    }
    gpu_pushMatrix();
    float m[16];
    gpu_getModelView(m);
    for (int column = 0; column < 3; column++)
        for (int row = 0; row < 3; row++)
            m[column * 4 + row] = column == row ? 1.0f : 0.0f;
    gpu_loadModelView(m);
}

bool texture_getBillboard(void) { return texture_billboarder; }

// What texture_set last left in GL, so that it can skip calls that would
// change nothing.  Whatever is not known is issued.
static bool texture_caching = true;
static bool texture_boundKnown;
static unsigned texture_bound;
static bool texture_colorKnown;
static unsigned char texture_current[4];
// Per texture name: 0 unknown, else the filter set on it (1 nearest,
// 2 linear), which texture_set always sets together with the clamp.
// Names are small counters in practice; larger ones are never cached.
static std::vector<unsigned char> texture_known;
static const unsigned TEXTURE_KNOWN_MAX = 1u << 16;

void texture_cache(bool on)
{
    texture_caching = on;
    texture_forget();
}

bool texture_getCache(void) { return texture_caching; }

void texture_forget(void)
{
    texture_boundKnown = false;
    texture_colorKnown = false;
    texture_known.clear();
}

void texture_forgetTexture(unsigned int textureId)
{
    texture_boundKnown = false;
    if (textureId < texture_known.size())
        texture_known[textureId] = 0;
}

// A null image binds the default texture rather than reading through null.
void texture_set(const Image *image)
{
    const unsigned char rgba[4] = {texture_colorR, texture_colorG, texture_colorB, texture_colorA};
    if (!texture_colorKnown || memcmp(rgba, texture_current, sizeof rgba) != 0) {
        gpu_color(texture_colorR / 255.0f, texture_colorG / 255.0f,
                  texture_colorB / 255.0f, texture_colorA / 255.0f);
        memcpy(texture_current, rgba, sizeof rgba);
        texture_colorKnown = texture_caching;
    }

    unsigned id = image ? image->textureId : 0;
    if (!texture_boundKnown || texture_bound != id) {
        gpu_bindTexture(id);
        texture_bound = id;
        texture_boundKnown = texture_caching;
    }

    unsigned char want = (unsigned char)((texture_smoothed ? 2 : 1) | texture_repeated << 2);
    if (id < texture_known.size() && texture_known[id] == want)
        return;
    gpu_textureFilter(texture_smoothed);
    gpu_textureWrap(texture_repeated == TEXTURE_REPEAT   ? GPU_REPEAT
                    : texture_repeated == TEXTURE_MIRROR ? GPU_MIRROR
                                                         : GPU_CLAMP);
    if (texture_caching && id < TEXTURE_KNOWN_MAX) {
        if (id >= texture_known.size())
            texture_known.resize((size_t)id + 1, 0);
        texture_known[id] = want;
    }
}
