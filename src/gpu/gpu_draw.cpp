// gpu_draw.cpp -- OpenGL drawing: buffer objects, vertex arrays, occlusion queries, immediate primitives
#include "gpu.h"

#include <stdio.h>

#define GL_GLEXT_PROTOTYPES  // buffer objects, glMultiDrawArrays, queries
#include <GL/gl.h>

#include "poly.h"

// ------------------------------------------------------- buffers and arrays

bool gpu_buffersSupported(void)
{
    const char *version = (const char *)glGetString(GL_VERSION);
    int major = 0, minor = 0;
    if (version)
        sscanf(version, "%d.%d", &major, &minor);
    return major > 1 || (major == 1 && minor >= 5);
}

void gpu_clearErrors(void)
{
    while (glGetError() != GL_NO_ERROR)
        ;
}

bool gpu_failed(void) { return glGetError() != GL_NO_ERROR; }

unsigned gpu_bufferCreate(void)
{
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    return buffer;
}

void gpu_bindBuffer(unsigned buffer) { glBindBuffer(GL_ARRAY_BUFFER, buffer); }
void gpu_bufferAllocate(size_t bytes)
{
    glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)bytes, nullptr, GL_STATIC_DRAW);
}

void gpu_bufferWrite(size_t at, size_t bytes, const void *data)
{
    glBufferSubData(GL_ARRAY_BUFFER, (GLintptr)at, (GLsizeiptr)bytes, data);
}

void gpu_bufferDelete(unsigned buffer)
{
    GLuint name = buffer;
    glDeleteBuffers(1, &name);
}

void gpu_vertexArrays(const float *v)
{
    glVertexPointer(3, GL_FLOAT, 5 * sizeof(float), v);
    glTexCoordPointer(2, GL_FLOAT, 5 * sizeof(float), v + 3);
}

void gpu_drawArrays(unsigned mode, int first, int count) { glDrawArrays((GLenum)mode, first, count); }

void gpu_drawRanges(unsigned mode, const int *first, const int *count, int n)
{
    glMultiDrawArrays((GLenum)mode, first, count, n);
}

// -------------------------------------------------------- occlusion queries

void gpu_queriesCreate(int n, unsigned *names) { glGenQueries((GLsizei)n, names); }
void gpu_queriesDelete(int n, const unsigned *names) { glDeleteQueries((GLsizei)n, names); }
void gpu_queryBegin(unsigned query) { glBeginQuery(GL_SAMPLES_PASSED, query); }
void gpu_queryEnd(void) { glEndQuery(GL_SAMPLES_PASSED); }

unsigned gpu_queryResult(unsigned query)
{
    GLuint samples = 1;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &samples);
    return samples;
}

// ------------------------------------------------------ immediate primitives

void gpu_begin(unsigned mode) { glBegin((GLenum)mode); }
void gpu_end(void) { glEnd(); }
void gpu_texCoord(float s, float t) { glTexCoord2f(s, t); }
void gpu_normal(const float n[3]) { glNormal3fv(n); }
void gpu_vertex(float x, float y, float z) { glVertex3f(x, y, z); }
void gpu_vertex2(float x, float y) { glVertex2f(x, y); }
void gpu_rasterPos(float x, float y) { glRasterPos2f(x, y); }

// The base's polygons: the base stands below this layer, so their drawing
// is made here.
void poly_draw(const Poly *poly)
{
    glBegin(poly->triangle ? GL_TRIANGLES : GL_QUADS);
    glVertex3f(poly->p1.x, poly->p1.y, poly->p1.z);
    glVertex3f(poly->p2.x, poly->p2.y, poly->p2.z);
    glVertex3f(poly->p3.x, poly->p3.y, poly->p3.z);
    if (!poly->triangle)
        glVertex3f(poly->p4.x, poly->p4.y, poly->p4.z);
    glEnd();
}
