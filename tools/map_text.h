// map_text.h -- a world's layers written as text: reading it, and writing it from a grid
#ifndef TAVO_MAP_TEXT_H
#define TAVO_MAP_TEXT_H

#include <string>
#include <vector>

// The largest picture side the viewer can read: its sizes are 16-bit and a
// scan line's byte count (the width rounded up to even) must fit as well.
#define MAP_MAX_PICTURE_WIDTH 65534u
#define MAP_MAX_PICTURE_HEIGHT 65535u

struct MapLegend {
    std::string symbol;  // one character, or two whose first is no cell of its own
    int type;
    std::string line;  // the legend line as written, for copying
    std::string name;  // what the line says after the type, if anything
};

struct MapText {
    unsigned width = 0, depth = 0, layers = 0, across = 0;
    std::vector<unsigned char> cells;     // (y * depth + z) * width + x
    std::vector<MapLegend> legend;
    std::vector<std::string> header;      // every line before the first layer
    int acrossLine = -1;                  // index into header, or -1
};

// The text's lines, without their line ends (LF or CR LF).
std::vector<std::string> map_textLines(const std::vector<unsigned char> &bytes);

// Reads the lines before the first layer (comments, across, legend) into
// text and the index of the first layer line into *next; false with the
// reason, "file:line: ...", when a line is not one of them.
bool map_textHeader(const std::string &file, const std::vector<std::string> &lines,
                    size_t *next, MapText *text, std::string *reason);
// Reads a whole map text; false with the reason when it does not read or
// would make a picture larger than the viewer reads.
bool map_textParse(const std::string &file, const std::vector<unsigned char> &bytes,
                   MapText *text, std::string *reason);
// Writes text's cells as a map text under its header: types the legend does
// not name get a symbol and a legend line of their own (255 '.' when
// free), two characters long when one-character symbols run short.  A
// header that came from a file keeps its trailing blank lines before
// layer 0; without one a blank line follows the legend.  False with the
// reason when a header's legend leaves no character free for them.
bool map_textFormat(const MapText &text, bool headerFromFile, std::string *out,
                    std::string *reason);

#endif
