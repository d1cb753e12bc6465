// texture.cpp -- placeholder, replaced by the texture render state
#include "texture.h"
unsigned char texture_billboarder;
unsigned char texture_autoTransparency;
unsigned char texture_enabled;
unsigned char texture_double;
unsigned char texture_smoothed;
unsigned char texture_transparency;
unsigned char texture_softened;
unsigned char texture_colorR, texture_colorG, texture_colorB, texture_colorA;
unsigned char texture_transparencyR, texture_transparencyG, texture_transparencyB;
void texture_autoTransparent(bool ) {}
bool texture_getAutoTransparent(void) { return 0; }
void texture_soften(bool ) {}
bool texture_getSoften(void) { return 0; }
void texture_enable(bool ) {}
bool texture_getEnable(void) { return 0; }
void texture_smooth(bool ) {}
bool texture_getSmooth(void) { return 0; }
void texture_doubleSided(bool ) {}
bool texture_getDoubleSided(void) { return 0; }
void texture_transparent(bool ) {}
bool texture_getTransparent(void) { return 0; }
void texture_color(unsigned char , unsigned char , unsigned char ) {}
void texture_red(unsigned char ) {}
unsigned char texture_getRed(void) { return 0; }
void texture_green(unsigned char ) {}
unsigned char texture_getGreen(void) { return 0; }
void texture_blue(unsigned char ) {}
unsigned char texture_getBlue(void) { return 0; }
void texture_alpha(unsigned char ) {}
unsigned char texture_getAlpha(void) { return 0; }
void texture_transparentColor(unsigned char , unsigned char , unsigned char ) {}
void texture_transparentRed(unsigned char ) {}
unsigned char texture_getTransparentRed(void) { return 0; }
void texture_transparentGreen(unsigned char ) {}
unsigned char texture_getTransparentGreen(void) { return 0; }
void texture_transparentBlue(unsigned char ) {}
unsigned char texture_getTransparentBlue(void) { return 0; }
void texture_billboard(bool ) {}
bool texture_getBillboard(void) { return 0; }
void texture_set(const Image *) {}
