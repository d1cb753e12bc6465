// math.cpp -- three-component float vectors, results written in place
#include "math.h"

#include <math.h>

void vector_set(Vector *v, float x, float y, float z)
{
    v->x = x;
    v->y = y;
    v->z = z;
}

void vector_load(Vector *dst, const Vector *src)
{
    dst->x = src->x;
    dst->y = src->y;
    dst->z = src->z;
}

void vector_add(Vector *a, const Vector *b)
{
    a->x += b->x;
    a->y += b->y;
    a->z += b->z;
}

void vector_sub(Vector *a, const Vector *b)
{
    a->x -= b->x;
    a->y -= b->y;
    a->z -= b->z;
}

void vector_mul(Vector *a, const Vector *b)
{
    a->x *= b->x;
    a->y *= b->y;
    a->z *= b->z;
}

void vector_div(Vector *a, const Vector *b)
{
    a->x /= b->x;
    a->y /= b->y;
    a->z /= b->z;
}

void vector_scale(Vector *v, float s)
{
    v->x *= s;
    v->y *= s;
    v->z *= s;
}

float vector_magnitude(const Vector *v)
{
    double sum = (double)v->x * v->x + (double)v->y * v->y + (double)v->z * v->z;
    return (float)sqrt(sum);
}

void vector_normalize(Vector *v)
{
    float m = vector_magnitude(v);  // once, before any component changes
    v->x /= m;
    v->y /= m;
    v->z /= m;
}

void vector_midpoint(Vector *a, const Vector *b)
{
    a->x = (a->x + b->x) / 2.0f;
    a->y = (a->y + b->y) / 2.0f;
    a->z = (a->z + b->z) / 2.0f;
}

float dot(const Vector *a, const Vector *b)
{
    return (float)((double)a->x * b->x + (double)a->y * b->y + (double)a->z * b->z);
}

float distance(const Vector *a, const Vector *b)
{
    double dx = (double)b->x - a->x, dy = (double)b->y - a->y, dz = (double)b->z - a->z;
    return (float)sqrt(dx * dx + dy * dy + dz * dz);
}

void cross(Vector *out, const Vector *a, const Vector *b)
{
    out->x = a->y * b->z - a->z * b->y;
    out->y = a->z * b->x - a->x * b->z;
    out->z = a->x * b->y - a->y * b->x;
}
