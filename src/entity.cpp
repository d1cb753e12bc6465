// entity.cpp -- placeholder, replaced by the pose operations
#include "entity.h"
void entity_set(Entity *e, float x, float y, float z) { *e = Entity{{1,0,0},{0,1,0},{0,0,1},{x,y,z}}; }
void entity_rotateX(Entity *, float) {}
void entity_rotateY(Entity *, float) {}
void entity_rotateZ(Entity *, float) {}
void entity_move(Entity *, float) {}
void entity_strafe(Entity *, float) {}
void entity_elevate(Entity *, float) {}
void entity_toBytes(const Entity *, unsigned char *) {}
void entity_fromBytes(Entity *, const unsigned char *, size_t) {}
int entity_readFile(Entity *, const char *) { return 0; }
int entity_writeFile(const Entity *, const char *) { return 0; }
