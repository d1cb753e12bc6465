// math.h -- three-component float vectors, results written in place
#ifndef TAVO_MATH_H
#define TAVO_MATH_H

struct Vector {
    float x, y, z;
};

void vector_set(Vector *v, float x, float y, float z);
void vector_load(Vector *dst, const Vector *src);
void vector_add(Vector *a, const Vector *b);
void vector_sub(Vector *a, const Vector *b);
void vector_mul(Vector *a, const Vector *b);
void vector_div(Vector *a, const Vector *b);
void vector_scale(Vector *v, float s);
float vector_magnitude(const Vector *v);
void vector_normalize(Vector *v);
void vector_midpoint(Vector *a, const Vector *b);  // a = (a + b) / 2
float dot(const Vector *a, const Vector *b);
float distance(const Vector *a, const Vector *b);
void cross(Vector *out, const Vector *a, const Vector *b);  // out must not alias a or b

#endif
