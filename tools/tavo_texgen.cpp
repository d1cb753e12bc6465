// tavo_texgen.cpp -- tavo-texgen: draws the demo world's texture pictures and the system pictures
#include <stdio.h>
#include <string.h>

#include <string>

#include "file.h"
#include "pcx_encode.h"
#include "texgen_pictures.h"

int main(int argc, char **argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        fputs("usage: tavo-texgen ROOT\n"
              "Writes the demo world's texture pictures under ROOT/PCX/demo/, the\n"
              "stand-by picture ROOT/PCX/SYSTEM/BASIC02.PCX and ROOT/SYS/IMG/matrix.pcx.\n",
              argc == 2 && !strcmp(argv[1], "--help") ? stdout : stderr);
        return argc == 2 && !strcmp(argv[1], "--help") ? 0 : 1;
    }
    int status = 0;
    for (const TexgenPicture *p = texgen_pictures; p->path; p++) {
        std::string path = std::string(argv[1]) + "/" + p->path;
        int result;
        if (!pcx_writeFileDirs(path, p->make(), &result)) {
            fprintf(stderr, "tavo-texgen: %s: %s\n", path.c_str(), file_reason(result));
            status = 1;
        }
    }
    return status;
}
