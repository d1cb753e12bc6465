// map_text.cpp -- a world's layers written as text: reading it, and writing it from a grid
#include "map_text.h"

namespace {

struct MapRefused {
    std::string reason;
};

[[noreturn]] void map_fail(const std::string &message)
{
    throw MapRefused{message};
}

std::string map_where(const std::string &file, size_t line)
{
    return file + ":" + std::to_string(line) + ": ";
}

std::vector<std::string> map_words(const std::string &line)
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
bool map_number(const std::string &word, unsigned long limit, unsigned long *value)
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

bool map_isBlank(const std::string &line)
{
    return line.find_first_not_of(" \t") == std::string::npos;
}

// "layer N": the layer's number, or -1 when the line is something else.
long map_layerLine(const std::string &line)
{
    std::vector<std::string> words = map_words(line);
    unsigned long n;
    if (words.size() == 2 && words[0] == "layer" && map_number(words[1], 65535, &n))
        return (long)n;
    return -1;
}

// Everything before the first layer: comments, across and the legend.
void map_parseHeader(const std::string &file, const std::vector<std::string> &lines,
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
            if (words.size() != 2 || !map_number(words[1], MAP_MAX_PICTURE_WIDTH, &v) || v == 0)
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
            std::string name;
            for (size_t w = 3; w < words.size(); w++)
                name += (w > 3 ? " " : "") + words[w];
            text.legend.push_back({symbol, (int)v, line, name});
        } else {
            map_fail(map_where(file, i + 1) + "expected across, legend, layer or a # comment, not '" +
                     words[0] + "'");
        }
    }
    *next = i;
}

MapText map_parse(const std::string &file, const std::vector<unsigned char> &bytes)
{
    std::vector<std::string> lines = map_textLines(bytes);
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
        if ((size_t)text.width + 2 > MAP_MAX_PICTURE_WIDTH || (size_t)rows + 3 > MAP_MAX_PICTURE_HEIGHT)
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
    if (pictureWidth > MAP_MAX_PICTURE_WIDTH || pictureHeight > MAP_MAX_PICTURE_HEIGHT)
        map_fail(file + ": the map picture would be " + std::to_string(pictureWidth) + " x " +
                 std::to_string(pictureHeight) + " pixels, more than " +
                 std::to_string(MAP_MAX_PICTURE_WIDTH) + " x " + std::to_string(MAP_MAX_PICTURE_HEIGHT) +
                 " do not fit");
    return text;
}


// Characters given to types the legend does not name, in this order.
const char map_symbols[] =
    "#ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
    "@$%&*+=-~^!?/|\\<>()[]{}:;,'\"`_";


}  // namespace

std::vector<std::string> map_textLines(const std::vector<unsigned char> &bytes)
{
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


bool map_textHeader(const std::string &file, const std::vector<std::string> &lines,
                    size_t *next, MapText *text, std::string *reason)
{
    try {
        map_parseHeader(file, lines, next, *text);
        return true;
    } catch (const MapRefused &r) {
        *reason = r.reason;
        return false;
    }
}

bool map_textParse(const std::string &file, const std::vector<unsigned char> &bytes,
                   MapText *text, std::string *reason)
{
    try {
        *text = map_parse(file, bytes);
        return true;
    } catch (const MapRefused &r) {
        *reason = r.reason;
        return false;
    }
}

bool map_textFormat(const MapText &text, bool headerFromFile, std::string *out,
                    std::string *reason)
{
    try {
        std::vector<std::string> header = text.header;
        std::string acrossLine = "across " + std::to_string(text.across);
        if (text.acrossLine >= 0)
            header[text.acrossLine] = acrossLine;
        else
            header.insert(header.begin(), acrossLine);

        // The header's trailing blank lines stay between the legend and layer 0.
        size_t blanks = 0;
        while (blanks < header.size() && map_isBlank(header[header.size() - 1 - blanks]))
            blanks++;
        if (!headerFromFile)
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
        for (unsigned char c : text.cells)
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
                map_fail("too many different tile types to give each a character");
            symbolOf[type] = symbol;
            used[(unsigned char)symbol] = true;
            header.push_back(std::string("legend ") + symbol + " " + std::to_string(type));
        }
        header.insert(header.end(), tail.begin(), tail.end());
        if (!headerFromFile)
            header.push_back("");

        std::string &result = *out;
        result.clear();
        for (const std::string &line : header)
            result += line + "\n";
        for (unsigned y = 0; y < text.layers; y++) {
            if (y > 0)
                result += "\n";
            result += "layer " + std::to_string(y) + "\n";
            for (unsigned z = 0; z < text.depth; z++) {
                const unsigned char *row = &text.cells[((size_t)y * text.depth + z) * text.width];
                for (unsigned x = 0; x < text.width; x++)
                    result += symbolOf[row[x]];
                result += "\n";
            }
        }
        return true;
    } catch (const MapRefused &r) {
        *reason = r.reason;
        return false;
    }
}
