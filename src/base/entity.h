// entity.h -- the pose record, its moves and turns, and the 48-byte camera file
#ifndef TAVO_ENTITY_H
#define TAVO_ENTITY_H

#include <stddef.h>
#include "math.h"

struct Entity {
    Vector left, up, forward, position;
};

#define ENTITY_FILE_SIZE 48  // twelve little-endian 32-bit floats

void entity_set(Entity *e, float x, float y, float z);
void entity_rotateX(Entity *e, float degrees);
void entity_rotateY(Entity *e, float degrees);
void entity_rotateZ(Entity *e, float degrees);
void entity_move(Entity *e, float amount);
void entity_strafe(Entity *e, float amount);
void entity_elevate(Entity *e, float amount);

// The camera file's bytes, little-endian whatever the host.
void entity_toBytes(const Entity *e, unsigned char out[ENTITY_FILE_SIZE]);
// Replaces the record from its start with the first min(size, 48) bytes.
void entity_fromBytes(Entity *e, const unsigned char *bytes, size_t size);
// Reads a camera file's first 48 bytes over e: 0, or why it could not
// (file_read; e unchanged).
int entity_readFile(Entity *e, const char *path);
// Why a pose cannot be used, null when it can: a number that is not finite,
// or an axis (left, up, forward) of length zero.
const char *entity_check(const Entity *e);
// Writes the 48 bytes through file_write, so the file holds the old or the
// new pose, never a torn one, and a read-only file is left alone.
// 0 when it cannot be written.  Any bits are written: the viewer checks
// its poses first.
int entity_writeFile(const Entity *e, const char *path);

#endif
