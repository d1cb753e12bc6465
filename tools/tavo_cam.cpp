// tavo_cam.cpp -- tavo-cam: a camera pose as text, to and from the 48-byte camera file
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "args.h"
#include "entity.h"
#include "error.h"
#include "main.h"
#include "tile.h"
#include "file.h"
#include "pcx_encode.h"

static const char *cam_usage =
    "Usage: tavo-cam POSE.txt OUT.cam\n"
    "  or:  tavo-cam --show FILE.cam\n"
    "  or:  tavo-cam --frame WORLD.def\n"
    "  or:  tavo-cam --help | --version\n"
    "\n"
    "Writes a camera file from a pose written as text, or prints a camera\n"
    "file as such a pose.\n"
    "\n"
    "Options:\n"
    "  --show FILE.cam  print the pose a camera file holds\n"
    "  --frame WORLD.def\n"
    "                   write the world's camera file (SYS/CAM/<name>.cam) with\n"
    "                   a view from in front of its map and two layers above\n"
    "                   its highest layer in use (layer 10 at the least), the\n"
    "                   view tavo --new starts a world with\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the version and licence and exit\n"
    "  --               end of the options\n"
    "\n"
    "A pose is twelve numbers, three to a line: left, up, forward and\n"
    "position (x y z each).  Text after # on a line is a comment.  The camera\n"
    "file holds them as twelve little-endian 32-bit floats in that order.\n";

static const char *cam_fields[4] = {"left", "up", "forward", "position"};

// The pose's vectors in file order.
static Vector *cam_vectors(Entity *e, int field)
{
    Vector *v[4] = {&e->left, &e->up, &e->forward, &e->position};
    return v[field];
}

static bool cam_read(const char *path, std::vector<unsigned char> &bytes)
{
    int result;
    if (!pcx_readFile(path, bytes, &result))
        fprintf(stderr, "tavo-cam: %s: %s\n", path, file_reason(result));
    return result == 0;
}

static int cam_write(const char *in, const char *out)
{
    if (file_same(in, out)) {
        fprintf(stderr, "tavo-cam: %s: the output is the input\n", out);
        return 1;
    }
    std::vector<unsigned char> text;
    if (!cam_read(in, text))
        return 1;
    std::string s(text.begin(), text.end());
    std::vector<float> values;
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == '#') {
            while (i < s.size() && s[i] != '\n')
                i++;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            i++;
        } else {
            size_t end = s.find_first_of(" \t\r\n#", i);
            std::string word = s.substr(i, end == std::string::npos ? std::string::npos : end - i);
            char *stop;
            errno = 0;
            float v = strtof(word.c_str(), &stop);
            if (!*stop && errno == ERANGE && isinf(v)) {
                fprintf(stderr, "tavo-cam: %s: '%s' is out of range for a camera file's 32-bit floats\n",
                        in, word.c_str());
                return 1;
            }
            if (*stop || !isfinite(v)) {
                fprintf(stderr, "tavo-cam: %s: '%s' is not a number\n", in, word.c_str());
                return 1;
            }
            values.push_back(v);
            i += word.size();
        }
    }
    if (values.size() != 12) {
        fprintf(stderr, "tavo-cam: %s: a pose is 12 numbers, found %zu\n", in, values.size());
        return 1;
    }
    Entity pose;
    for (int field = 0; field < 4; field++)
        vector_set(cam_vectors(&pose, field), values[field * 3], values[field * 3 + 1],
                   values[field * 3 + 2]);
    // The viewer's own writer of the bytes, so the two never disagree.
    std::vector<unsigned char> bytes(ENTITY_FILE_SIZE);
    entity_toBytes(&pose, bytes.data());
    int result;
    if (!pcx_writeFileDirs(out, bytes, &result)) {
        fprintf(stderr, "tavo-cam: %s: %s\n", out, file_reason(result));
        return 1;
    }
    return 0;
}

static int cam_show(const char *path)
{
    std::vector<unsigned char> bytes;
    if (!cam_read(path, bytes))
        return 1;
    if (bytes.size() != ENTITY_FILE_SIZE) {
        fprintf(stderr, "tavo-cam: %s: a camera file is 48 bytes, this one has %zu\n", path,
                bytes.size());
        return 1;
    }
    Entity pose;
    entity_set(&pose, 0, 0, 0);
    entity_fromBytes(&pose, bytes.data(), bytes.size());
    for (int field = 0; field < 4; field++) {
        const Vector *v = cam_vectors(&pose, field);
        printf("%.9g %.9g %.9g  # %s\n", (double)v->x, (double)v->y, (double)v->z,
               cam_fields[field]);
    }
    return 0;
}

// The viewer ends through error() when a map's grid will not fit in memory.
[[noreturn]] static void cam_tooLarge(void)
{
    fputs("tavo-cam: the map's grid is too large to read\n", stderr);
    exit(1);
}

static int cam_frame(const char *def)
{
    std::string world = tile_absolute(def);
    char root[TILE_PATH], map[TILE_PATH], file[TILE_PATH];
    if (!tile_derivePaths(world.c_str(), root, map, file)) {
        fprintf(stderr, "tavo-cam: %s: not a world's definition file path (ROOT/DEF/NAME.def)\n", def);
        return 1;
    }
    std::string mapPath = tile_resolvePath(map);
    std::vector<unsigned char> bytes;
    if (!cam_read(mapPath.c_str(), bytes))
        return 1;
    TileMap grid;
    bool memory = false;
    if (!tile_decodeMap(bytes.data(), bytes.size(), &grid, nullptr, &memory)) {
        if (memory)
            cam_tooLarge();
        fprintf(stderr, "tavo-cam: %s: not a map picture\n", mapPath.c_str());
        return 1;
    }
    Entity pose;
    main_framePose(&pose, grid.width, main_frameTop(grid.cells, grid.width, grid.height, grid.depth),
                   grid.depth);
    std::vector<unsigned char> cam(ENTITY_FILE_SIZE);
    entity_toBytes(&pose, cam.data());
    std::string out = tile_resolvePath(std::string(root) + "SYS/CAM/" + file);
    int result;
    if (!pcx_writeFileDirs(out, cam, &result)) {
        fprintf(stderr, "tavo-cam: %s: %s\n", out.c_str(), file_reason(result));
        return 1;
    }
    printf("%s\n", out.c_str());
    return 0;
}

int main(int argc, char **argv)
{
    static const ArgsOption options[] = {
        {"--show", "FILE.cam", false}, {"--frame", "WORLD.def", false}, {nullptr, nullptr, false}};
    std::vector<const char *> operands;
    std::map<std::string, const char *> given;
    int status = args_read("tavo-cam", cam_usage, argc, argv, options, &operands, &given);
    if (status >= 0)
        return status;
    if (given.count("--show") && given.count("--frame"))
        return args_usageError("tavo-cam", "--show and --frame cannot be used together");
    if ((given.count("--show") || given.count("--frame")) && !operands.empty())
        return args_usageError("tavo-cam", std::string("extra operand '") + operands[0] + "'");
    if (given.count("--show"))
        return cam_show(given["--show"]);
    if (given.count("--frame"))
        return cam_frame(given["--frame"]);
    if (operands.size() < 2)
        return args_usageError("tavo-cam", operands.empty() ? "missing POSE.txt and OUT.cam"
                                                            : "missing OUT.cam");
    if (operands.size() > 2)
        return args_usageError("tavo-cam", std::string("extra operand '") + operands[2] + "'");
    std::string wrong = args_output("OUT.cam", operands[1]);
    if (!wrong.empty())
        return args_usageError("tavo-cam", wrong);
    return cam_write(operands[0], operands[1]);
}
