// poly.h -- flat triangles and quads with a unit normal and a plane-side test
#ifndef TAVO_POLY_H
#define TAVO_POLY_H

#include "math.h"

struct Poly {
    unsigned char triangle;  // 1: p1..p3, 0: p1..p4
    Vector p1, p2, p3, p4;
    Vector normal;
};

// kind 1: nine doubles (x, y, z per vertex); any other kind: twelve.
void poly_create(Poly *poly, unsigned int kind, ...);  // int: va_start needs an unpromoted type
void poly_normalize(Poly *poly);
int poly_checkVector(const Poly *poly, const Vector *point, const Vector *move);

#endif
