// poly.cpp -- placeholder, replaced by the polygon library
#include "poly.h"
void poly_create(Poly *, unsigned char, ...) {}
void poly_normalize(Poly *) {}
void poly_draw(const Poly *) {}
int poly_checkVector(const Poly *, const Vector *, const Vector *) { return 1; }
