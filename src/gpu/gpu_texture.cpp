// gpu_texture.cpp -- OpenGL textures: pictures on unit 0, the fog's cube on unit 1
#include "gpu.h"

#include <initializer_list>

#include <GL/gl.h>

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif
#ifndef GL_MIRRORED_REPEAT
#define GL_MIRRORED_REPEAT 0x8370
#endif

int gpu_maxTextureSide(void)
{
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
}

unsigned gpu_textureCreate(void)
{
    GLuint id = 0;
    glGenTextures(1, &id);
    return id;
}

void gpu_bindTexture(unsigned id) { glBindTexture(GL_TEXTURE_2D, id); }

void gpu_textureFilter(bool smooth)
{
    const GLint filter = smooth ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
}

void gpu_textureWrap(int how)
{
    const GLint wrap = how == GPU_REPEAT   ? GL_REPEAT
                       : how == GPU_MIRROR ? GL_MIRRORED_REPEAT
                                           : GL_CLAMP_TO_EDGE;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
}

void gpu_textureUpload(int width, int height, bool rgba, const unsigned char *texels)
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLenum format = rgba ? GL_RGBA : GL_RGB;
    glTexImage2D(GL_TEXTURE_2D, 0, (GLint)format, width, height, 0, format, GL_UNSIGNED_BYTE, texels);
}

void gpu_textureRead(unsigned char *rgba)
{
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

void gpu_textureUploadRgba(int width, int height, bool keepAlpha, const unsigned char *rgba)
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, keepAlpha ? GL_RGBA : GL_RGB, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

void gpu_textureDelete(unsigned id)
{
    GLuint name = id;
    glDeleteTextures(1, &name);
}

// ------------------------------------------------------------- the fog unit

unsigned gpu_fogVolume(int side, const unsigned char *amounts)
{
    GLuint id = 0;
    glActiveTexture(GL_TEXTURE1);
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_3D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R})
        glTexParameteri(GL_TEXTURE_3D, wrap, GL_CLAMP_TO_EDGE);
    glTexImage3D(GL_TEXTURE_3D, 0, GL_ALPHA8, side, side, side, 0, GL_ALPHA, GL_UNSIGNED_BYTE, amounts);
    glActiveTexture(GL_TEXTURE0);
    return id;
}

void gpu_fogOn(unsigned volume, const float planes[3][4], const float color[4])
{
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_3D, volume);
    glEnable(GL_TEXTURE_3D);
    const GLenum coords[3] = {GL_S, GL_T, GL_R};
    const GLenum gens[3] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R};
    for (int a = 0; a < 3; a++) {
        glTexGeni(coords[a], GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
        glTexGenfv(coords[a], GL_EYE_PLANE, planes[a]);
        glEnable(gens[a]);
    }
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

void gpu_fogPause(bool paused)
{
    glActiveTexture(GL_TEXTURE1);
    if (paused)
        glDisable(GL_TEXTURE_3D);  // a unit without a texture passes the colour on
    else
        glEnable(GL_TEXTURE_3D);
    glActiveTexture(GL_TEXTURE0);
}

void gpu_fogOff(void)
{
    glActiveTexture(GL_TEXTURE1);
    glDisable(GL_TEXTURE_3D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glActiveTexture(GL_TEXTURE0);
}
