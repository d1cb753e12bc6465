// pcx_encode.h -- writing 8-bit palette and 24-bit three-plane PCX pictures
#ifndef TAVO_PCX_ENCODE_H
#define TAVO_PCX_ENCODE_H

#include <stddef.h>
#include <string>
#include <vector>

// An 8-bit picture: width x height palette indices, rows from the top.
// palette: 768 bytes of red, green, blue, or null for no palette block.
// bytesPerLine 0 means the width rounded up to an even count, as is usual.
std::vector<unsigned char> pcx_encode8(unsigned width, unsigned height,
                                       const unsigned char *pixels,
                                       const unsigned char *palette,
                                       unsigned bytesPerLine = 0);

// One scan line of n bytes, run-length packed onto out; runs never cross
// the line's end.
void pcx_packLine(std::vector<unsigned char> &out, const unsigned char *line, unsigned n);

// A 24-bit picture: width x height RGB triples, rows from the top.
std::vector<unsigned char> pcx_encode24(unsigned width, unsigned height,
                                        const unsigned char *rgb,
                                        unsigned bytesPerLine = 0);

// The framed map picture of a grid of width x depth cells in layers layers,
// cells[(y * depth + z) * width + x], laid out across blocks per band.
// Frames hold 5 along every edge and 0 in the corners; blocks beyond the
// last layer are filled with 255 (empty).  Returns the picture's pixels in
// pixelsOut (pictureWidth x pictureHeight) when it is not null.
std::vector<unsigned char> pcx_encodeMap(unsigned width, unsigned depth, unsigned layers,
                                         const unsigned char *cells, unsigned across,
                                         std::vector<unsigned char> *pixelsOut = nullptr,
                                         unsigned *pictureWidth = nullptr,
                                         unsigned *pictureHeight = nullptr);

// Writes bytes to path whole, through a temporary file renamed into place
// (file_write); false when it cannot, with the reason in *result.
bool pcx_writeFile(const std::string &path, const std::vector<unsigned char> &bytes,
                   int *result = nullptr);
// The same, first making the folders of path that do not exist yet.
bool pcx_writeFileDirs(const std::string &path, const std::vector<unsigned char> &bytes,
                       int *result = nullptr);
// Reads a whole regular file of at most FILE_WORLD_MAX bytes; false when
// it cannot, with the reason in *result (file_read).
bool pcx_readFile(const std::string &path, std::vector<unsigned char> &bytes,
                  int *result = nullptr);

#endif
