// tile_problems.cpp -- what a world asks for that is not there and changes what is drawn, in words
#include <stdio.h>

#include "tile_world.h"
#include "tile_loading.h"
#include "tile_save.h"

std::string tile_unknownTextureProblem(int type, int face, const std::string &name)
{
    char text[512];
    if (type < 0)
        snprintf(text, sizeof text, "the background names texture \"%.300s\", which no texture block declares",
                 name.c_str());
    else
        snprintf(text, sizeof text, "type %d, face %s names texture \"%.300s\", which no texture block declares",
                 type, face >= 0 && face < 6 ? tile_faceNames[face] : "?", name.c_str());
    return text;
}

std::vector<std::string> tile_undefinedTypeProblems(const unsigned char *cells, size_t w, size_t d, size_t h,
                                                    const std::vector<bool> &defined)
{
    size_t count[256] = {0}, first[256] = {0};
    for (size_t i = 0, n = w * d * h; i < n; i++)
        if (count[cells[i]]++ == 0)
            first[cells[i]] = i;
    std::vector<std::string> problems;
    for (size_t v = 0; v < TILE_EMPTY; v++) {
        if (!count[v] || (v < defined.size() && defined[v]))
            continue;
        size_t i = first[v];
        char text[256];
        snprintf(text, sizeof text,
                 "%zu map cell%s of type %zu (the first at x %zu, y %zu, z %zu) but no cube block defines type %zu",
                 count[v], count[v] == 1 ? "" : "s", v, i % w, i / (w * d), (i / w) % d, v);
        problems.push_back(text);
    }
    return problems;
}

std::vector<std::string> tile_drawProblems(const std::vector<TileDefOp> &ops, const unsigned char *cells,
                                           size_t w, size_t d, size_t h)
{
    std::vector<std::string> problems;
    std::vector<bool> defined(256, false);
    int type = 254;
    for (const TileDefOp &o : ops) {
        if (o.op == TILE_OP_UNKNOWN)
            problems.push_back(tile_unknownTextureProblem(o.arg, o.a, o.text));
        else if (o.op == TILE_OP_LINE && o.text.compare(0, 5, "CUBE:") == 0 && type > 0)
            defined[(size_t)type--] = true;
    }
    std::vector<std::string> cellProblems = tile_undefinedTypeProblems(cells, w, d, h, defined);
    problems.insert(problems.end(), cellProblems.begin(), cellProblems.end());
    return problems;
}
