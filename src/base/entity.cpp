// entity.cpp -- pose turns and moves, and the pose's 48-byte camera file
#include "entity.h"

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <vector>

#include "file.h"

void entity_set(Entity *e, float x, float y, float z)
{
    vector_set(&e->left, 1.0f, 0.0f, 0.0f);
    vector_set(&e->up, 0.0f, 1.0f, 0.0f);
    vector_set(&e->forward, 0.0f, 0.0f, 1.0f);
    vector_set(&e->position, x, y, z);
}

// Turns one in-plane pair as an angle and writes it back as sine and cosine,
// so the pair always comes back with length 1.  The two slightly different
// degree constants are deliberate: saved poses and the quarter turns were
// made with them.
static void entity_turnPair(float *sine, float *cosine, float degrees)
{
    float t = (float)(atan2((double)*sine, (double)*cosine) * 180.0 / 3.14159265);
    t = t + degrees;
    t = t / 57.29578f;
    *sine = (float)sin((double)t);
    *cosine = (float)cos((double)t);
}

void entity_rotateX(Entity *e, float degrees)
{
    entity_turnPair(&e->up.z, &e->up.y, degrees);
    entity_turnPair(&e->forward.z, &e->forward.y, degrees);
}

void entity_rotateY(Entity *e, float degrees)
{
    entity_turnPair(&e->forward.x, &e->forward.z, degrees);
    entity_turnPair(&e->left.x, &e->left.z, degrees);
}

void entity_rotateZ(Entity *e, float degrees)
{
    entity_turnPair(&e->up.x, &e->up.y, degrees);
    entity_turnPair(&e->left.x, &e->left.y, degrees);
}

static void entity_moveAlong(Entity *e, const Vector *axis, float amount)
{
    Vector step;
    vector_load(&step, axis);
    vector_scale(&step, amount);
    vector_add(&e->position, &step);
}

void entity_move(Entity *e, float amount)
{
    entity_moveAlong(e, &e->forward, amount);
}

void entity_strafe(Entity *e, float amount)
{
    entity_moveAlong(e, &e->left, amount);
}

void entity_elevate(Entity *e, float amount)
{
    entity_moveAlong(e, &e->up, amount);
}

// The twelve floats in file order.
static void entity_fields(const Entity *e, float out[12])
{
    const Vector *v[4] = {&e->left, &e->up, &e->forward, &e->position};
    for (int i = 0; i < 4; i++) {
        out[i * 3] = v[i]->x;
        out[i * 3 + 1] = v[i]->y;
        out[i * 3 + 2] = v[i]->z;
    }
}

void entity_toBytes(const Entity *e, unsigned char out[ENTITY_FILE_SIZE])
{
    float f[12];
    entity_fields(e, f);
    for (int i = 0; i < 12; i++) {
        uint32_t bits;
        memcpy(&bits, &f[i], 4);
        for (int b = 0; b < 4; b++)
            out[i * 4 + b] = (unsigned char)(bits >> (8 * b));
    }
}

void entity_fromBytes(Entity *e, const unsigned char *bytes, size_t size)
{
    // Overlay the given bytes on the record's own, so a short file replaces
    // exactly its bytes (even part of a float) and the rest keep their values.
    unsigned char all[ENTITY_FILE_SIZE];
    entity_toBytes(e, all);
    if (size > ENTITY_FILE_SIZE)
        size = ENTITY_FILE_SIZE;
    if (size > 0)
        memcpy(all, bytes, size);
    float f[12];
    for (int i = 0; i < 12; i++) {
        uint32_t bits = 0;
        for (int b = 0; b < 4; b++)
            bits |= (uint32_t)all[i * 4 + b] << (8 * b);
        memcpy(&f[i], &bits, 4);
    }
    Vector *v[4] = {&e->left, &e->up, &e->forward, &e->position};
    for (int i = 0; i < 4; i++)
        vector_set(v[i], f[i * 3], f[i * 3 + 1], f[i * 3 + 2]);
}

int entity_readFile(Entity *e, const char *path)
{
    std::vector<unsigned char> bytes;
    int result = file_readHead(path, ENTITY_FILE_SIZE, bytes);
    if (result == 0)
        entity_fromBytes(e, bytes.data(), bytes.size());
    return result;
}

const char *entity_check(const Entity *e)
{
    float f[12];
    entity_fields(e, f);
    for (float v : f)
        if (!isfinite(v))
            return "a number in the pose is not finite";
    for (int axis = 0; axis < 3; axis++)
        if (f[axis * 3] == 0.0f && f[axis * 3 + 1] == 0.0f && f[axis * 3 + 2] == 0.0f)
            return "an axis of the pose has length zero";
    return nullptr;
}

int entity_writeFile(const Entity *e, const char *path)
{
    unsigned char bytes[ENTITY_FILE_SIZE];
    entity_toBytes(e, bytes);
    return file_write(path, bytes, sizeof bytes) == 0;
}
