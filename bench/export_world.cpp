// export_world.cpp -- a world folder for the export benchmark: the demo's definitions over a generated grid
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench_world.h"
#include "main.h"
#include "pcx_encode.h"

// tavo-export-world hill|lattice|flat WxHxD DEMO OUT: OUT becomes a copy of
// the demo world folder DEMO whose map is the grid asked for.
int main(int argc, char **argv)
{
    unsigned size[3];
    std::string why;
    if (argc != 5 || !main_newParseSize(argv[2], size, &why)) {
        fprintf(stderr, "usage: tavo-export-world hill|lattice|flat WxHxD DEMO OUT %s\n", why.c_str());
        return 2;
    }
    const unsigned w = size[0], h = size[1], d = size[2];
    std::vector<unsigned char> cells;
    if (strcmp(argv[1], "hill") == 0) {
        cells = bench_generateWorld(2026, w, h, d, nullptr);
    } else {
        cells.assign((size_t)w * h * d, 255);
        for (size_t i = 0; i < cells.size(); i++) {
            const size_t x = i % w, z = i / w % d, y = i / w / d;
            if (strcmp(argv[1], "lattice") == 0 ? (x + y + z) % 2 == 0 : y == 0)
                cells[i] = 253;  // the demo's ground
        }
    }
    std::error_code err;
    std::filesystem::remove_all(argv[4], err);
    std::filesystem::copy(argv[3], argv[4], std::filesystem::copy_options::recursive, err);
    if (err) {
        fprintf(stderr, "tavo-export-world: %s: %s\n", argv[4], err.message().c_str());
        return 1;
    }
    const unsigned across = main_newAcross(w, h, d);
    int result = 0;
    if (!across || !pcx_writeFile(std::string(argv[4]) + "/PCX/demo.pcx", pcx_encodeMap(w, d, h, cells.data(), across),
                                  &result)) {
        fprintf(stderr, "tavo-export-world: the map cannot be written (%d)\n", result);
        return 1;
    }
    return 0;
}
