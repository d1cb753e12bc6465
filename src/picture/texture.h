// texture.h -- the process-wide texture render state and texture_set
#ifndef TAVO_TEXTURE_H
#define TAVO_TEXTURE_H

struct Image;

extern unsigned char texture_billboarder;
extern unsigned char texture_autoTransparency;
extern unsigned char texture_enabled;
extern unsigned char texture_double;
extern unsigned char texture_smoothed;
extern unsigned char texture_transparency;
extern unsigned char texture_softened;
extern unsigned char texture_colorR, texture_colorG, texture_colorB, texture_colorA;
extern unsigned char texture_transparencyR, texture_transparencyG, texture_transparencyB;

void texture_autoTransparent(bool on);
bool texture_getAutoTransparent(void);
void texture_soften(bool on);
bool texture_getSoften(void);
void texture_enable(bool on);
bool texture_getEnable(void);
void texture_smooth(bool on);
bool texture_getSmooth(void);
void texture_doubleSided(bool on);
bool texture_getDoubleSided(void);
void texture_transparent(bool on);
bool texture_getTransparent(void);
void texture_color(unsigned char r, unsigned char g, unsigned char b);
void texture_red(unsigned char v);
unsigned char texture_getRed(void);
void texture_green(unsigned char v);
unsigned char texture_getGreen(void);
void texture_blue(unsigned char v);
unsigned char texture_getBlue(void);
void texture_alpha(unsigned char v);
unsigned char texture_getAlpha(void);
void texture_transparentColor(unsigned char r, unsigned char g, unsigned char b);
void texture_transparentRed(unsigned char v);
unsigned char texture_getTransparentRed(void);
void texture_transparentGreen(unsigned char v);
unsigned char texture_getTransparentGreen(void);
void texture_transparentBlue(unsigned char v);
unsigned char texture_getTransparentBlue(void);
void texture_billboard(bool on);
bool texture_getBillboard(void);

// How texture_set leaves the texture's picture past 0..1: clamped to its
// edge texels (the default), repeating, or repeating mirrored, which for
// coordinates within 0..1 samples exactly as clamped does.
enum { TEXTURE_CLAMP = 0, TEXTURE_REPEAT = 1, TEXTURE_MIRROR = 2 };
extern unsigned char texture_repeated;
void texture_repeat(unsigned char how);

// Tint, bind, filters and clamp of one image, before it is drawn.  With
// the cache on (the default) it skips the calls that would leave the GL
// state as it is: the colour already current, the texture already bound,
// filters and clamp a texture already has.
void texture_set(const Image *image);

// The cache switch; either way the cache starts again knowing nothing.
// Off, texture_set issues every call.
void texture_cache(bool on);
bool texture_getCache(void);
// Code that binds a texture or sets the colour itself tells the cache, so
// that the next texture_set issues them again.
void texture_forget(void);
// A texture made, uploaded into or deleted: its filters and clamp are no
// longer known, nor is the binding.
void texture_forgetTexture(unsigned int textureId);

#endif
