// tavo_texgen.cpp -- tavo-texgen: draws the demo world's texture pictures and the system pictures
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "args.h"
#include "file.h"
#include "pcx_encode.h"
#include "texgen_pictures.h"

static const char texgen_usage[] =
    "Usage: tavo-texgen ROOT\n"
    "  or:  tavo-texgen --help | --version\n"
    "\n"
    "Draws the demo world's pictures: its textures under ROOT/PCX/demo/, the\n"
    "stand-by picture ROOT/PCX/SYSTEM/BASIC02.PCX and ROOT/SYS/IMG/matrix.pcx.\n"
    "\n"
    "Options:\n"
    "  -h, --help         show this help and exit\n"
    "  --version          show the version and licence and exit\n"
    "  --                 end of the options\n";

int main(int argc, char **argv)
{
    static const ArgsOption options[] = {{nullptr, nullptr, false}};
    std::vector<const char *> operands;
    std::map<std::string, const char *> given;
    int status = args_read("tavo-texgen", texgen_usage, argc, argv, options, &operands, &given);
    if (status >= 0)
        return status;
    if (operands.size() != 1)
        return args_usageError("tavo-texgen", operands.empty()
                                                  ? std::string("missing ROOT")
                                                  : std::string("extra operand '") + operands[1] + "'");
    std::string wrong = args_output("ROOT", operands[0]);
    if (!wrong.empty())
        return args_usageError("tavo-texgen", wrong);
    std::string root = operands[0];
    // An unset variable in a script gives "" (refused above); a root that
    // is not there is a typing slip, not a place to make.
    struct stat st;
    int err = stat(root.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (err) {
        fprintf(stderr, "tavo-texgen: the root folder '%s': %s\n", root.c_str(), strerror(err));
        return 1;
    }
    for (const TexgenPicture *p = texgen_pictures; p->path; p++) {
        std::string path = std::string(operands[0]) + "/" + p->path;
        int result;
        if (!pcx_writeFileDirs(path, p->make(), &result)) {
            fprintf(stderr, "tavo-texgen: %s: %s\n", path.c_str(), file_reason(result));
            status = 1;
        }
    }
    return status < 0 ? 0 : status;
}
