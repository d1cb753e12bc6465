// gpu.cpp -- OpenGL's render state, the frame and the matrices
#include "gpu.h"

#include <GL/gl.h>
#include <GL/glu.h>

static_assert(GPU_LINES == GL_LINES && GPU_LINE_LOOP == GL_LINE_LOOP && GPU_TRIANGLES == GL_TRIANGLES &&
                  GPU_QUADS == GL_QUADS && GPU_QUAD_STRIP == GL_QUAD_STRIP,
              "primitives are stored as OpenGL's values");
static_assert(GPU_DEPTH_LEQUAL == GL_LEQUAL, "the depth comparison is OpenGL's value");

// ------------------------------------------------------------------ the frame

void gpu_startState(void)
{
    const GLfloat ambient[] = {0.019f, 0.019f, 0.019f, 0.0f};
    const GLfloat diffuse[] = {0.8f, 0.8f, 0.8f, 0.0f};
    const GLfloat position[] = {0.0f, 0.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT1, GL_POSITION, position);
    glEnable(GL_LIGHT1);

    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_COLOR_MATERIAL);
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glAlphaFunc(GL_GREATER, 0.0f);
    glEnable(GL_ALPHA_TEST);
}

void gpu_viewport(int x, int y, int width, int height) { glViewport(x, y, width, height); }

void gpu_getViewport(int viewport[4])
{
    GLint v[4] = {0, 0, 0, 0};  // left so without a context or on an error
    glGetIntegerv(GL_VIEWPORT, v);
    for (int i = 0; i < 4; i++)
        viewport[i] = v[i];
}

void gpu_clear(float r, float g, float b, float a)
{
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void gpu_readFrame(int x, int y, int width, int height, unsigned char *rgb)
{
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

bool gpu_pointAtPixel(int x, int y, float out[3])
{
    // Zeroed first: without a context or on a GL error nothing is written
    // to them, and an unusable matrix must not reach gluUnProject unread.
    GLdouble modelview[16] = {0}, projection[16] = {0};
    GLint viewport[4] = {0, 0, 0, 0};
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);

    // The window's y grows downwards, OpenGL's upwards; the row is height - y.
    float wx = (float)x;
    float wy = (float)(viewport[3] - y);
    GLfloat wz = 0.0f;
    glReadPixels(x, (GLint)wy, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &wz);

    GLdouble ox, oy, oz;
    if (gluUnProject(wx, wy, wz, modelview, projection, viewport, &ox, &oy, &oz) != GL_TRUE)
        return false;
    out[0] = (float)ox, out[1] = (float)oy, out[2] = (float)oz;
    return true;
}

// ------------------------------------------------------------- render state

static void gpu_switch(GLenum cap, bool on)
{
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

void gpu_depthTest(bool on) { gpu_switch(GL_DEPTH_TEST, on); }
void gpu_depthWrite(bool on) { glDepthMask(on ? GL_TRUE : GL_FALSE); }

void gpu_colorWrite(bool on)
{
    const GLboolean b = on ? GL_TRUE : GL_FALSE;
    glColorMask(b, b, b, b);
}

int gpu_getDepthFunc(void)
{
    GLint func = GL_LESS;
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    return func;
}

void gpu_depthFunc(int func) { glDepthFunc((GLenum)func); }
void gpu_depthRange(double nearest, double farthest) { glDepthRange(nearest, farthest); }
void gpu_blending(bool on) { gpu_switch(GL_BLEND, on); }
bool gpu_isBlending(void) { return glIsEnabled(GL_BLEND); }
void gpu_alphaTest(bool on) { gpu_switch(GL_ALPHA_TEST, on); }
bool gpu_isAlphaTesting(void) { return glIsEnabled(GL_ALPHA_TEST); }
void gpu_culling(bool on) { gpu_switch(GL_CULL_FACE, on); }
bool gpu_isCulling(void) { return glIsEnabled(GL_CULL_FACE); }
void gpu_texturing(bool on) { gpu_switch(GL_TEXTURE_2D, on); }
bool gpu_isTexturing(void) { return glIsEnabled(GL_TEXTURE_2D); }
void gpu_lighting(bool on) { gpu_switch(GL_LIGHTING, on); }
void gpu_color(float r, float g, float b, float a) { glColor4f(r, g, b, a); }
void gpu_lineWidth(float width) { glLineWidth(width); }
void gpu_pushState(void) { glPushAttrib(GL_ALL_ATTRIB_BITS); }
void gpu_popState(void) { glPopAttrib(); }

// ----------------------------------------------------------------- matrices

void gpu_perspective(double fovY, double aspect, double nearest, double farthest)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovY, aspect, nearest, farthest);
    glMatrixMode(GL_MODELVIEW);
}

void gpu_identity(void) { glLoadIdentity(); }

void gpu_lookAt(double eyeX, double eyeY, double eyeZ, double atX, double atY, double atZ,
                double upX, double upY, double upZ)
{
    gluLookAt(eyeX, eyeY, eyeZ, atX, atY, atZ, upX, upY, upZ);
}

void gpu_pushMatrix(void) { glPushMatrix(); }
void gpu_popMatrix(void) { glPopMatrix(); }
void gpu_translate(float x, float y, float z) { glTranslatef(x, y, z); }
void gpu_getModelView(float m[16]) { glGetFloatv(GL_MODELVIEW_MATRIX, m); }
void gpu_getProjection(float m[16]) { glGetFloatv(GL_PROJECTION_MATRIX, m); }
void gpu_loadModelView(const float m[16]) { glLoadMatrixf(m); }

void gpu_overlayBegin(double width)
{
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, 1.0, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void gpu_overlayEnd(void)
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
}
