// texgen_pictures.h -- the pictures the tools draw: the demo world's textures and the two system pictures
#ifndef TAVO_TEXGEN_PICTURES_H
#define TAVO_TEXGEN_PICTURES_H

#include <vector>

// The system pictures' paths under a world's root.
#define TEXGEN_STAND_BY "PCX/SYSTEM/BASIC02.PCX"
#define TEXGEN_MATRIX "SYS/IMG/matrix.pcx"

// A picture by its path under the demo world's root, and what draws it as
// PCX bytes.  The same on every build: the noise is a fixed hash.
struct TexgenPicture {
    const char *path;
    std::vector<unsigned char> (*make)(void);
};
extern const TexgenPicture texgen_pictures[];  // ends with a null path

// The picture of texgen_pictures at path, as PCX bytes; empty for none.
std::vector<unsigned char> texgen_draw(const char *path);

#endif
