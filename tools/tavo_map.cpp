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
    "A text in the layout decode writes comes back byte for byte from\n"
    "encode then decode, and a picture tavo-map wrote comes back byte for\n"
    "byte from decode then encode.\n";

// The largest picture side the viewer can read: its sizes are 16-bit and a
// scan line's byte count (the width rounded up to even) must fit as well.
static const unsigned map_maxPictureWidth = 65534, map_maxPictureHeight = 65535;

struct MapLegend {
    char symbol;
    int type;
    std::string line;  // the legend line as written, for copying
};

struct MapText {
    unsigned width = 0, depth = 0, layers = 0, across = 0;
    std::vector<unsigned char> cells;     // (y * depth + z) * width + x
    std::vector<MapLegend> legend;
    std::vector<std::string> header;      // every line before the first layer
    int acrossLine = -1;                  // index into header, or -1
};

[[noreturn]] static void map_fail(const std::string &message)
{
    fprintf(stderr, "tavo-map: %s\n", message.c_str());
    exit(1);
}

static std::string map_where(const std::string &file, size_t line)
{
    return file + ":" + std::to_string(line) + ": ";
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
    std::vector<std::string> lines;
    std::string line;
    for (unsigned char c : bytes) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += (char)c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

static std::vector<std::string> map_words(const std::string &line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            i++;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            i++;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

// A whole decimal number no larger than limit; false for anything else.
static bool map_number(const std::string &word, unsigned long limit, unsigned long *value)
{
    if (word.empty() || word.size() > 9)
        return false;
    unsigned long v = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (unsigned long)(c - '0');
    }
    if (v > limit)
        return false;
    *value = v;
    return true;
}

static bool map_isBlank(const std::string &line)
{
    return line.find_first_not_of(" \t") == std::string::npos;
}

// "layer N": the layer's number, or -1 when the line is something else.
static long map_layerLine(const std::string &line)
{
    std::vector<std::string> words = map_words(line);
    unsigned long n;
    if (words.size() == 2 && words[0] == "layer" && map_number(words[1], 65535, &n))
        return (long)n;
    return -1;
}

// Everything before the first layer: comments, across and the legend.
static void map_parseHeader(const std::string &file, const std::vector<std::string> &lines,
                            size_t *next, MapText &text)
{
    size_t i = 0;
    for (; i < lines.size() && map_layerLine(lines[i]) < 0; i++) {
        const std::string &line = lines[i];
        text.header.push_back(line);
        if (map_isBlank(line))
            continue;
        std::vector<std::string> words = map_words(line);
        if (words[0][0] == '#')
            continue;
        unsigned long v;
        if (words[0] == "across") {
            if (words.size() != 2 || !map_number(words[1], map_maxPictureWidth, &v) || v == 0)
                map_fail(map_where(file, i + 1) + "across needs one number of blocks, 1 or more");
            text.across = (unsigned)v;
            text.acrossLine = (int)text.header.size() - 1;
        } else if (words[0] == "legend") {
            if (words.size() < 3 || words[1].size() != 1 || !map_number(words[2], 255, &v))
                map_fail(map_where(file, i + 1) +
                         "a legend line is: legend CHARACTER TYPE [name], TYPE 0 to 255");
            char symbol = words[1][0];
            for (const MapLegend &l : text.legend) {
                if (l.symbol == symbol)
                    map_fail(map_where(file, i + 1) + "character '" + symbol +
                             "' is already in the legend");
                if (l.type == (int)v)
                    map_fail(map_where(file, i + 1) + "type " + std::to_string(v) +
                             " already has the character '" + l.symbol + "'");
            }
            text.legend.push_back({symbol, (int)v, line});
        } else {
            map_fail(map_where(file, i + 1) + "expected across, legend, layer or a # comment, not '" +
                     words[0] + "'");
        }
    }
    *next = i;
}

static MapText map_parse(const std::string &file)
{
    std::vector<std::string> lines = map_lines(file);
    MapText text;
    size_t i;
    map_parseHeader(file, lines, &i, text);
    if (i == lines.size())
        map_fail(file + ": no layer (a line 'layer 0' starts the bottom layer)");

    int typeOf[256];
    for (int &t : typeOf)
        t = -1;
    for (const MapLegend &l : text.legend)
        typeOf[(unsigned char)l.symbol] = l.type;

    unsigned rows = 0;  // rows of the current layer
    size_t layerStart = i;
    for (; i <= lines.size(); i++) {
        long layer = i < lines.size() ? map_layerLine(lines[i]) : -2;
        if (layer != -1) {
            // A layer ends: it must be as deep as the first one.
            if (text.layers > 0) {
                if (rows == 0)
                    map_fail(map_where(file, layerStart + 1) + "layer " +
                             std::to_string(text.layers - 1) + " has no rows");
                if (text.layers == 1)
                    text.depth = rows;
                else if (rows != text.depth)
                    map_fail(map_where(file, layerStart + 1) + "layer " +
                             std::to_string(text.layers - 1) + " has " + std::to_string(rows) +
                             " rows, layer 0 has " + std::to_string(text.depth));
            }
            if (layer == -2)
                break;
            if ((unsigned long)layer != text.layers)
                map_fail(map_where(file, i + 1) + "expected layer " + std::to_string(text.layers) +
                         ", found layer " + std::to_string(layer));
            if (text.layers == 65535)
                map_fail(map_where(file, i + 1) + "more than 65535 layers do not fit");
            text.layers++;
            rows = 0;
            layerStart = i;
            continue;
        }
        const std::string &line = lines[i];
        if (map_isBlank(line))
            continue;
        if (text.width == 0)
            text.width = (unsigned)line.size();
        if (line.size() != text.width)
            map_fail(map_where(file, i + 1) + "a row of " + std::to_string(line.size()) +
                     " cells, the first row has " + std::to_string(text.width));
        if (text.layers > 1 && rows >= text.depth)
            map_fail(map_where(file, i + 1) + "layer " + std::to_string(text.layers - 1) +
                     " has more rows than layer 0 (" + std::to_string(text.depth) + ")");
        if ((size_t)text.width + 2 > map_maxPictureWidth || (size_t)rows + 3 > map_maxPictureHeight)
            map_fail(map_where(file, i + 1) + "the layer is too large for a map picture");
        for (size_t x = 0; x < line.size(); x++) {
            int type = typeOf[(unsigned char)line[x]];
            if (type < 0)
                map_fail(map_where(file, i + 1) + "character '" + line[x] + "' in column " +
                         std::to_string(x + 1) + " is not in the legend");
            text.cells.push_back((unsigned char)type);
        }
        rows++;
    }

    if (text.across == 0)
        text.across = text.layers;
    if (text.layers % text.across != 0)
        map_fail(file + ": " + std::to_string(text.layers) + " layers do not fill whole bands of " +
                 std::to_string(text.across) + " blocks across (add empty layers or change across)");
    size_t pictureWidth = (size_t)text.across * (text.width + 2);
    size_t pictureHeight = (size_t)(text.layers / text.across) * (text.depth + 2);
    if (pictureWidth > map_maxPictureWidth || pictureHeight > map_maxPictureHeight)
        map_fail(file + ": the map picture would be " + std::to_string(pictureWidth) + " x " +
                 std::to_string(pictureHeight) + " pixels, more than " +
                 std::to_string(map_maxPictureWidth) + " x " + std::to_string(map_maxPictureHeight) +
                 " do not fit");
    return text;
}

// The viewer's decoder ends through error() when a grid will not fit in
// memory; here that is one more refusal with exit status 1.
[[noreturn]] static void map_tooLarge(unsigned char)
{
    map_fail("the map's grid is too large for the viewer to read");
}

static void map_encode(const std::string &in, const std::string &out)
{
    MapText text = map_parse(in);
    std::vector<unsigned char> picture =
        pcx_encodeMap(text.width, text.depth, text.layers, text.cells.data(), text.across);
    // Whatever the viewer's limits, the picture must be one it reads.
    error_setHook(map_tooLarge);
    TileMap check;
    if (!tile_decodeMap(picture.data(), picture.size(), &check))
        map_fail(in + ": the viewer would refuse this map picture");
    map_write(out, picture, {in});
}

// Characters given to types the legend does not name, in this order.
static const char map_symbols[] =
    "#ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
    "@$%&*+=-~^!?/|\\<>()[]{}:;,'\"`_";

static void map_decode(const std::string &in, const std::string &out, const char *headerFile)
{
    error_setHook(map_tooLarge);
    std::vector<unsigned char> bytes;
    map_read(in, bytes);
    TileMap map;
    if (!tile_decodeMap(bytes.data(), bytes.size(), &map))
        map_fail(in + ": not a map picture (an 8-bit, one-plane, run-length PCX "
                 "whose top-left block is framed by fives)");
    MapText text;
    text.width = map.width;
    text.depth = map.depth;
    text.layers = map.height;
    text.across = map.across;
    text.cells = map.cells;
    if (headerFile) {
        std::vector<std::string> lines = map_lines(headerFile);
        size_t next;
        map_parseHeader(headerFile, lines, &next, text);
    }

    std::vector<std::string> header = text.header;
    std::string acrossLine = "across " + std::to_string(map.across);
    if (text.acrossLine >= 0)
        header[text.acrossLine] = acrossLine;
    else
        header.insert(header.begin(), acrossLine);

    // The header's trailing blank lines stay between the legend and layer 0.
    size_t blanks = 0;
    while (blanks < header.size() && map_isBlank(header[header.size() - 1 - blanks]))
        blanks++;
    if (!headerFile)
        blanks = 0;
    std::vector<std::string> tail(header.end() - blanks, header.end());
    header.resize(header.size() - blanks);

    char symbolOf[256] = {0};
    bool used[256] = {false};
    for (const MapLegend &l : text.legend) {
        symbolOf[l.type] = l.symbol;
        used[(unsigned char)l.symbol] = true;
    }
    bool present[256] = {false};
    for (unsigned char c : map.cells)
        present[c] = true;
    size_t next = 0;
    for (int type = 255; type >= 0; type--) {
        if (!present[type] || symbolOf[type])
            continue;
        char symbol = 0;
        if (type == 255 && !used[(unsigned char)'.'])
            symbol = '.';
        while (!symbol && next < sizeof map_symbols - 1) {
            char s = map_symbols[next++];
            if (!used[(unsigned char)s])
                symbol = s;
        }
        if (!symbol)
            map_fail(in + ": too many different tile types to give each a character");
        symbolOf[type] = symbol;
        used[(unsigned char)symbol] = true;
        header.push_back(std::string("legend ") + symbol + " " + std::to_string(type));
    }
    header.insert(header.end(), tail.begin(), tail.end());
    if (!headerFile)
        header.push_back("");

    std::string result;
    for (const std::string &line : header)
        result += line + "\n";
    for (unsigned y = 0; y < text.layers; y++) {
        if (y > 0)
            result += "\n";
        result += "layer " + std::to_string(y) + "\n";
        for (unsigned z = 0; z < text.depth; z++) {
            const unsigned char *row = &map.cells[((size_t)y * text.depth + z) * text.width];
            for (unsigned x = 0; x < text.width; x++)
                result += symbolOf[row[x]];
            result += "\n";
        }
    }
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
