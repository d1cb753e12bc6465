// map_text.cpp -- a world's layers written as text: reading it, and writing it from a grid
#include "map_text.h"

#include <set>

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

// "character 'c'" or "characters 'cd'".
std::string map_spelled(const std::string &symbol)
{
    return (symbol.size() > 1 ? "characters '" : "character '") + symbol + "'";
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
            if (words.size() < 3 || words[1].size() > 2 || !map_number(words[2], 255, &v))
                map_fail(map_where(file, i + 1) + "a legend line is: legend CHARACTERS TYPE [name], "
                         "one or two characters, TYPE 0 to 255");
            const std::string &symbol = words[1];
            for (const MapLegend &l : text.legend) {
                if (l.symbol == symbol)
                    map_fail(map_where(file, i + 1) + map_spelled(symbol) + " " +
                             (symbol.size() > 1 ? "are" : "is") + " already in the legend");
                if (l.type == (int)v)
                    map_fail(map_where(file, i + 1) + "type " + std::to_string(v) +
                             " already has the " + map_spelled(l.symbol));
                // A cell of two characters must not begin with one that is a cell of its own.
                if (l.symbol.size() != symbol.size() && l.symbol[0] == symbol[0])
                    map_fail(map_where(file, i + 1) + "'" + symbol.substr(0, 1) +
                             "' cannot both be a cell and begin the two-character '" +
                             (symbol.size() > 1 ? symbol : l.symbol) + "'");
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

// The legend's spellings: a cell is one character, or two when the first
// begins two-character cells (such a character is no cell of its own).
class MapSpelling {
public:
    explicit MapSpelling(const std::vector<MapLegend> &legend) : pair_(65536, -1)
    {
        for (int &t : single_)
            t = -1;
        for (bool &p : prefix_)
            p = false;
        for (const MapLegend &l : legend) {
            unsigned char first = (unsigned char)l.symbol[0];
            if (l.symbol.size() == 1) {
                single_[first] = l.type;
            } else {
                prefix_[first] = true;
                pair_[first << 8 | (unsigned char)l.symbol[1]] = l.type;
            }
        }
    }
    // The cells a row spells, a two-character cell cut short by the row's end counted as one.
    size_t count(const std::string &row) const
    {
        size_t cells = 0;
        for (size_t x = 0; x < row.size(); x += prefix_[(unsigned char)row[x]] ? 2 : 1)
            cells++;
        return cells;
    }
    // Appends the row's cells; what is wrong with it, "" for nothing.
    std::string read(const std::string &row, std::vector<unsigned char> *cells) const
    {
        for (size_t x = 0; x < row.size();) {
            unsigned char c = (unsigned char)row[x];
            std::string column = std::to_string(x + 1);
            if (prefix_[c] && x + 1 == row.size())
                return std::string("the row ends inside a two-character cell, '") + row[x] +
                       "' in column " + column;
            int type = prefix_[c] ? pair_[c << 8 | (unsigned char)row[x + 1]] : single_[c];
            std::string symbol = row.substr(x, prefix_[c] ? 2 : 1);
            if (type < 0)
                return map_spelled(symbol) + " in column " + column +
                       (symbol.size() > 1 ? " are" : " is") + " not in the legend";
            cells->push_back((unsigned char)type);
            x += symbol.size();
        }
        return "";
    }

private:
    int single_[256];
    bool prefix_[256];
    std::vector<int> pair_;  // first << 8 | second
};

MapText map_parse(const std::string &file, const std::vector<unsigned char> &bytes)
{
    std::vector<std::string> lines = map_textLines(bytes);
    MapText text;
    size_t i;
    map_parseHeader(file, lines, &i, text);
    if (i == lines.size())
        map_fail(file + ": no layer (a line 'layer 0' starts the bottom layer)");

    MapSpelling spelling(text.legend);
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
        size_t cells = spelling.count(line);
        if (text.width == 0 && cells + 2 > MAP_MAX_PICTURE_WIDTH)
            map_fail(map_where(file, i + 1) + "the layer is too large for a map picture");
        if (text.width == 0)
            text.width = (unsigned)cells;
        if (cells != text.width)
            map_fail(map_where(file, i + 1) + "a row of " + std::to_string(cells) +
                     " cells, the first row has " + std::to_string(text.width));
        if (text.layers > 1 && rows >= text.depth)
            map_fail(map_where(file, i + 1) + "layer " + std::to_string(text.layers - 1) +
                     " has more rows than layer 0 (" + std::to_string(text.depth) + ")");
        if ((size_t)text.width + 2 > MAP_MAX_PICTURE_WIDTH || (size_t)rows + 3 > MAP_MAX_PICTURE_HEIGHT)
            map_fail(map_where(file, i + 1) + "the layer is too large for a map picture");
        std::string wrong = spelling.read(line, &text.cells);
        if (!wrong.empty())
            map_fail(map_where(file, i + 1) + wrong);
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


// The characters not yet in the legend that new symbols are made of.
std::string map_freeSymbols(const bool used[256])
{
    std::string free;
    for (const char *s = map_symbols; *s; s++)
        if (!used[(unsigned char)*s])
            free += *s;
    return free;
}

// Gives every type in text's cells that its legend lacks a symbol, and
// the legend line for it: '.' to 255 when free, then free characters in
// map_symbols' order.  When they run short, the lowest types get
// two-character symbols: first under the legend's own first characters of
// such symbols, then under the fewest of the last free characters that
// suffice, given up as one-character symbols.
void map_giveSymbols(const MapText &text, std::string symbolOf[256], std::vector<std::string> *lines)
{
    bool used[256] = {false}, present[256] = {false};
    for (const MapLegend &l : text.legend) {
        symbolOf[l.type] = l.symbol;
        used[(unsigned char)l.symbol[0]] = true;
    }
    for (unsigned char c : text.cells)
        present[c] = true;
    std::vector<int> types;  // highest first
    for (int type = 255; type >= 0; type--)
        if (present[type] && symbolOf[type].empty())
            types.push_back(type);
    if (!types.empty() && types[0] == 255 && !used[(unsigned char)'.']) {
        symbolOf[255] = ".";
        lines->push_back("legend . 255");
        types.erase(types.begin());
    }
    std::string free = map_freeSymbols(used), seconds = map_symbols;
    // Two-character symbols under the legend's own first characters that it leaves unused.
    std::vector<std::string> theirs;
    std::set<std::string> taken;
    bool first[256] = {false};
    for (const MapLegend &l : text.legend) {
        taken.insert(l.symbol);
        first[(unsigned char)l.symbol[0]] |= l.symbol.size() > 1;
    }
    for (int c = 0; c < 256; c++)
        for (char second : seconds)
            if (first[c] && !taken.count(std::string(1, (char)c) + second))
                theirs.push_back(std::string(1, (char)c) + second);
    auto room = [&](size_t prefixes) {
        return free.size() - prefixes + theirs.size() + prefixes * seconds.size();
    };
    size_t prefixes = 0;
    while (prefixes < free.size() && room(prefixes) < types.size())
        prefixes++;
    if (room(prefixes) < types.size())
        map_fail("too many different tile types to give each a character");
    std::vector<std::string> symbols;
    for (size_t k = 0; k + prefixes < free.size(); k++)
        symbols.push_back(free.substr(k, 1));
    symbols.insert(symbols.end(), theirs.begin(), theirs.end());
    for (size_t p = 0; p < prefixes; p++)
        for (char second : seconds)
            symbols.push_back(std::string(1, free[free.size() - 1 - p]) + second);
    for (size_t k = 0; k < types.size(); k++) {
        symbolOf[types[k]] = symbols[k];
        lines->push_back("legend " + symbols[k] + " " + std::to_string(types[k]));
    }
}

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

        std::string symbolOf[256];
        map_giveSymbols(text, symbolOf, &header);
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
