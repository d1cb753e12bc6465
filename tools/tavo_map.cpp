// tavo_map.cpp -- tavo-map: a world's layers as text, to and from the framed map picture
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "args.h"
#include "error.h"
#include "file.h"
#include "map_text.h"
#include "pcx_encode.h"
#include "tile.h"

static const char *map_usage =
    "Usage: tavo-map encode MAP.txt MAP.pcx\n"
    "  or:  tavo-map decode MAP.pcx MAP.txt [--header FROM.txt]\n"
    "  or:  tavo-map --help | --version\n"
    "\n"
    "Turns a world's layers written as text into the framed 8-bit map picture\n"
    "(PCX/<name>.pcx of a world) and a map picture back into text.  decode\n"
    "writes the text on standard output when MAP.txt is -.\n"
    "\n"
    "Options:\n"
    "  --header FROM.txt  decode writes the legend from FROM.txt (its lines\n"
    "                     before the first layer are copied unchanged), else\n"
    "                     one of its own\n"
    "  -h, --help         show this help and exit\n"
    "  --version          show the version and licence and exit\n"
    "  --                 end of the options\n"
    "\n"
    "A map text holds, line by line: comments (# and the rest of the line,\n"
    "before the first layer only); an optional \"across N\", the number of\n"
    "blocks side by side in the picture; legend lines, \"legend C TYPE NAME\",\n"
    "each giving a tile type 0-255 a character C (255 is an empty cell); then\n"
    "\"layer 0\", \"layer 1\" and so on from the bottom up, each followed by\n"
    "its rows, one character per cell: columns are x from left to right, rows\n"
    "are z from the top, the first row being z 0.  Every layer has the same\n"
    "number of rows and every row the same length.  The layer count must be a\n"
    "whole number of bands of across blocks; without an across line all\n"
    "layers lie in one band.  Blank lines are ignored.\n"
    "\n"
    "A legend symbol may be two characters (\"legend _A 12\"): its first\n"
    "character then begins a two-character cell wherever it stands in a row\n"
    "and is no cell of its own.  decode gives such symbols to the lowest\n"
    "types of a map with more kinds of cell than one character each can\n"
    "spell, so every map picture has a text.\n"
    "\n"
    "A text in the layout decode writes comes back byte for byte from\n"
    "encode then decode, and a picture tavo-map wrote comes back byte for\n"
    "byte from decode then encode.\n";

[[noreturn]] static void map_fail(const std::string &message)
{
    fprintf(stderr, "tavo-map: %s\n", message.c_str());
    exit(1);
}

static void map_read(const std::string &path, std::vector<unsigned char> &bytes)
{
    int result;
    if (!pcx_readFile(path, bytes, &result))
        map_fail(path + ": " + file_reason(result));
}

// Written whole or not at all; never over a file being read.
// "-" for out is standard output.
static void map_write(const std::string &out, const std::vector<unsigned char> &bytes,
                      const std::vector<std::string> &inputs)
{
    if (out == "-") {
        if (fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || fflush(stdout) != 0)
            map_fail(std::string("standard output: ") + strerror(errno));
        return;
    }
    for (const std::string &in : inputs)
        if (file_same(in.c_str(), out.c_str()))
            map_fail(out + ": the output is the input " + in);
    int result;
    if (!pcx_writeFile(out, bytes, &result))
        map_fail(out + ": " + file_reason(result));
}

static std::vector<std::string> map_lines(const std::string &path)
{
    std::vector<unsigned char> bytes;
    map_read(path, bytes);
    return map_textLines(bytes);
}

static MapText map_parse(const std::string &file)
{
    std::vector<unsigned char> bytes;
    map_read(file, bytes);
    MapText text;
    std::string reason;
    if (!map_textParse(file, bytes, &text, &reason))
        map_fail(reason);
    return text;
}

// The viewer's decoder runs out of memory on a grid this large; here that
// is one more refusal with exit status 1.
#define MAP_TOO_LARGE std::string("the map's grid is too large for the viewer to read")

static void map_encode(const std::string &in, const std::string &out)
{
    MapText text = map_parse(in);
    std::vector<unsigned char> picture =
        pcx_encodeMap(text.width, text.depth, text.layers, text.cells.data(), text.across);
    // Whatever the viewer's limits, the picture must be one it reads.
    TileMap check;
    bool memory = false;
    if (!tile_decodeMap(picture.data(), picture.size(), &check, nullptr, &memory))
        map_fail(memory ? MAP_TOO_LARGE : in + ": the viewer would refuse this map picture");
    map_write(out, picture, {in});
}

static void map_decode(const std::string &in, const std::string &out, const char *headerFile)
{
    std::vector<unsigned char> bytes;
    map_read(in, bytes);
    TileMap map;
    std::string why;
    bool memory = false;
    if (!tile_decodeMap(bytes.data(), bytes.size(), &map, &why, &memory))
        map_fail(memory ? MAP_TOO_LARGE : in + ": not a map picture: " + why);
    MapText text;
    tile_mapTextCells(map, &text);
    if (headerFile) {
        std::vector<std::string> lines = map_lines(headerFile);
        size_t next;
        std::string reason;
        if (!map_textHeader(headerFile, lines, &next, &text, &reason))
            map_fail(reason);
    }

    std::string result, reason;
    if (!map_textFormat(text, headerFile != nullptr, &result, &reason))
        map_fail(in + ": " + reason);
    std::vector<std::string> inputs = {in};
    if (headerFile)
        inputs.push_back(headerFile);
    map_write(out, std::vector<unsigned char>(result.begin(), result.end()), inputs);

    std::vector<unsigned char> again =
        pcx_encodeMap(text.width, text.depth, text.layers, text.cells.data(), text.across);
    if (again != bytes)
        fprintf(stderr, "tavo-map: note: %s was not written by tavo-map; encoding %s gives a "
                "picture with the same cells, not the same bytes\n", in.c_str(), out.c_str());
}

int main(int argc, char **argv)
{
    static const ArgsOption options[] = {{"--header", "FROM.txt", false}, {nullptr, nullptr, false}};
    std::vector<const char *> operands;
    std::map<std::string, const char *> given;
    int status = args_read("tavo-map", map_usage, argc, argv, options, &operands, &given);
    if (status >= 0)
        return status;
    if (operands.empty())
        return args_usageError("tavo-map", "missing encode or decode");
    std::string command = operands[0];
    if (command != "encode" && command != "decode")
        return args_usageError("tavo-map", "unknown command '" + command + "' (encode or decode)");
    if (operands.size() < 3)
        return args_usageError("tavo-map", operands.size() == 1 ? "missing its input and output"
                                                                : "missing the output");
    if (operands.size() > 3)
        return args_usageError("tavo-map", std::string("extra operand '") + operands[3] + "'");
    if (command == "encode" && given.count("--header"))
        return args_usageError("tavo-map", "option '--header' goes with decode");
    // A map picture is no text for a terminal; decode's text is.
    std::string wrong = command == "encode" ? args_output("MAP.pcx", operands[2]) : "";
    if (!wrong.empty())
        return args_usageError("tavo-map", wrong);
    if (command == "encode")
        map_encode(operands[1], operands[2]);
    else
        map_decode(operands[1], operands[2], given.count("--header") ? given["--header"] : nullptr);
    return 0;
}
