// gpu.h -- the one place that calls OpenGL: render state, matrices, textures, buffers, drawing
#ifndef TAVO_GPU_H
#define TAVO_GPU_H

#include <stddef.h>

// Every call is made on the drawing thread with the window's context
// current.  The calls are thin: each does what its name says and nothing
// is cached here; callers that skip repeated state (texture_set, the run
// drawer) keep their own record of it.

// Primitives.  The values are OpenGL's own, so a face's mode is stored and
// compared as a plain number anywhere.
enum : unsigned {
    GPU_LINES = 0x0001,
    GPU_LINE_LOOP = 0x0002,
    GPU_TRIANGLES = 0x0004,
    GPU_QUADS = 0x0007,
    GPU_QUAD_STRIP = 0x0008,
};

// --- The frame ---------------------------------------------------------------

// The render state the viewer starts from: light 1 set up, back faces
// culled, 2D texturing, depth test passing at equal or less, blending by
// source alpha, alpha test passing above 0, vertex and texture coordinate
// arrays on.
void gpu_startState(void);
void gpu_viewport(int x, int y, int width, int height);
void gpu_getViewport(int viewport[4]);  // x, y, width, height; zeros without a context
// Clears colour (to r, g, b, a, each clamped to 0..1) and depth.
void gpu_clear(float r, float g, float b, float a);
// Waits for the drawing to finish and reads the back buffer's RGB pixels,
// rows from the bottom, three bytes a pixel with no padding.
void gpu_readFrame(int x, int y, int width, int height, unsigned char *rgb);
// The world point drawn at window pixel (x, y), y counted from the top:
// the depth there taken back through the current matrices.  False (out
// untouched) when the matrices cannot be inverted.
bool gpu_pointAtPixel(int x, int y, float out[3]);

// --- Render state ------------------------------------------------------------

void gpu_depthTest(bool on);
void gpu_depthWrite(bool on);
void gpu_colorWrite(bool on);
// The depth comparison, as an opaque value to hand back to gpu_depthFunc.
int gpu_getDepthFunc(void);
void gpu_depthFunc(int func);
enum { GPU_DEPTH_LEQUAL = 0x0203 };  // OpenGL's value
void gpu_depthRange(double nearest, double farthest);
void gpu_blending(bool on);
bool gpu_isBlending(void);
void gpu_alphaTest(bool on);
bool gpu_isAlphaTesting(void);
void gpu_culling(bool on);  // back faces
bool gpu_isCulling(void);
void gpu_texturing(bool on);  // 2D textures on unit 0
bool gpu_isTexturing(void);
void gpu_lighting(bool on);
void gpu_color(float r, float g, float b, float a);
void gpu_lineWidth(float width);
// Every attribute saved, and restored: what an overlay changes goes back.
void gpu_pushState(void);
void gpu_popState(void);

// --- Matrices ----------------------------------------------------------------

// Sets the projection; the model-view matrix is the current one afterwards,
// as it is after every call here.
void gpu_perspective(double fovY, double aspect, double nearest, double farthest);
void gpu_identity(void);
void gpu_lookAt(double eyeX, double eyeY, double eyeZ, double atX, double atY, double atZ,
                double upX, double upY, double upZ);
void gpu_pushMatrix(void);
void gpu_popMatrix(void);
void gpu_translate(float x, float y, float z);
void gpu_getModelView(float m[16]);
void gpu_getProjection(float m[16]);
void gpu_loadModelView(const float m[16]);
// The 2D overlay: depth test off, both matrices pushed, x 0..width left to
// right and y 0..1 top to bottom.  gpu_overlayEnd pops them and turns the
// depth test on.
void gpu_overlayBegin(double width);
void gpu_overlayEnd(void);

// --- Textures ----------------------------------------------------------------

int gpu_maxTextureSide(void);  // the driver's largest side, 0 without a context
unsigned gpu_textureCreate(void);
void gpu_bindTexture(unsigned id);  // the 2D texture of unit 0; 0 the default one
// Sampling of the bound texture: linear or nearest texel, both ways.
void gpu_textureFilter(bool smooth);
enum { GPU_CLAMP, GPU_REPEAT, GPU_MIRROR };
void gpu_textureWrap(int how);
// Texels into the bound texture: rows packed, RGB or RGBA bytes.
void gpu_textureUpload(int width, int height, bool rgba, const unsigned char *texels);
void gpu_textureDelete(unsigned id);
// The bound texture's texels as RGBA bytes, rows packed (width x height).
void gpu_textureRead(unsigned char *rgba);
// RGBA texels into the bound texture, kept with their alpha or as RGB.
void gpu_textureUploadRgba(int width, int height, bool keepAlpha, const unsigned char *rgba);

// --- The fog unit ------------------------------------------------------------
//
// A second texture unit blends each fragment's colour towards a colour by
// the amount a cube of alpha texels holds at the fragment's place; the
// fragment's alpha passes unchanged.  Unit 0 stays the active one.

// A cube of side^3 amounts (x fastest), nearest texel, clamped to its edges.
unsigned gpu_fogVolume(int side, const unsigned char *amounts);
// Turns the unit on with the volume; planes[a] maps eye-space places to
// the volume's coordinate a (given under the current model-view matrix).
void gpu_fogOn(unsigned volume, const float planes[3][4], const float color[4]);
void gpu_fogPause(bool paused);  // a paused unit passes the colour on
void gpu_fogOff(void);

// --- Buffers and arrays ------------------------------------------------------

bool gpu_buffersSupported(void);  // buffer objects: OpenGL 1.5 or later
void gpu_clearErrors(void);
bool gpu_failed(void);  // an error since gpu_clearErrors
unsigned gpu_bufferCreate(void);
void gpu_bindBuffer(unsigned buffer);  // 0: arrays come from client memory
void gpu_bufferAllocate(size_t bytes);  // the bound buffer, contents undefined
void gpu_bufferWrite(size_t at, size_t bytes, const void *data);
void gpu_bufferDelete(unsigned buffer);
// Interleaved vertices of five floats, x y z s t; with a buffer bound, v is
// an offset into it.
void gpu_vertexArrays(const float *v);
void gpu_drawArrays(unsigned mode, int first, int count);
void gpu_drawRanges(unsigned mode, const int *first, const int *count, int n);

// --- Occlusion queries -------------------------------------------------------

void gpu_queriesCreate(int n, unsigned *names);
void gpu_queriesDelete(int n, const unsigned *names);
void gpu_queryBegin(unsigned query);  // counts the samples that pass
void gpu_queryEnd(void);
unsigned gpu_queryResult(unsigned query);  // waits for it

// --- Immediate drawing -------------------------------------------------------

void gpu_begin(unsigned mode);
void gpu_end(void);
void gpu_texCoord(float s, float t);
void gpu_normal(const float n[3]);
void gpu_vertex(float x, float y, float z);
void gpu_vertex2(float x, float y);
void gpu_rasterPos(float x, float y);  // where the window's bitmap text goes next
// One of the base's flat polygons, as a triangle or a quad.
struct Poly;
void poly_draw(const Poly *poly);

#endif
