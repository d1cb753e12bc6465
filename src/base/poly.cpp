// poly.cpp -- flat triangles and quads with a unit normal and a plane-side test (drawn by src/gpu)
#include "poly.h"

#include <stdarg.h>
#include <stdio.h>

#include "stack.h"

static void poly_readVertex(va_list *args, Vector *v)
{
    float x = (float)va_arg(*args, double);
    float y = (float)va_arg(*args, double);
    float z = (float)va_arg(*args, double);
    vector_set(v, x, y, z);
}

// Each vertex is given as x, y, z.  Kind 1 reads nine numbers; every other
// kind draws as a quad and so reads twelve, which keeps p4 always set.
void poly_create(Poly *poly, unsigned int kind, ...)
{
    va_list args;
    va_start(args, kind);
    poly->triangle = (unsigned char)kind == 1;  // a kind is a byte
    poly_readVertex(&args, &poly->p1);
    poly_readVertex(&args, &poly->p2);
    poly_readVertex(&args, &poly->p3);
    if (poly->triangle)
        vector_set(&poly->p4, 0.0f, 0.0f, 0.0f);
    else
        poly_readVertex(&args, &poly->p4);
    va_end(args);
    poly_normalize(poly);
}

// normal = (p1 - p2) x (p3 - p2), made unit length; p1, p2, p3 in clockwise
// order seen from the side it points to.  Collinear points give a zero
// cross product and so a non-finite normal.
void poly_normalize(Poly *poly)
{
    push(nullptr, 12);
    vector_load((Vector *)stack(12), &poly->p1);
    vector_sub((Vector *)stack(12), &poly->p2);
    push(nullptr, 12);
    vector_load((Vector *)stack(12), &poly->p3);
    vector_sub((Vector *)stack(12), &poly->p2);
    cross(&poly->normal, (Vector *)stack(24), (Vector *)stack(12));
    vector_normalize(&poly->normal);
    pop(nullptr, 12);
    pop(nullptr, 12);
}

// 0 stays 0, above 0 is 1, anything else (below 0 or NaN) is -1.
static float poly_sign(float s)
{
    if (s == 0.0f)
        return s;
    return s > 0.0f ? 1.0f : -1.0f;
}

// Tests against the plane through the origin with the polygon's normal;
// where the polygon lies does not enter.
int poly_checkVector(const Poly *poly, const Vector *point, const Vector *move)
{
    float s1 = dot(&poly->normal, point);
    push(nullptr, 12);
    Vector *end = (Vector *)stack(12);
    vector_load(end, point);
    vector_add(end, move);
    float s2 = dot(&poly->normal, end);
    pop(nullptr, 12);
    printf("%f, %f\n", (double)poly_sign(s1), (double)poly_sign(s2));
    return 1;
}
