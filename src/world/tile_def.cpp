// tile_def.cpp -- the definition file: texture, background and cube blocks read in four passes
#include "tile_world.h"
#include "tile_loading.h"
#include "tile_save.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <unordered_map>

#include "error.h"
#include "texture.h"

#define TILE_WORD 255  // longest word kept; the rest of a longer word is consumed

struct TileDefReader {
    const unsigned char *data;
    size_t size, pos;
};

static int tile_defGet(TileDefReader *r)
{
    return r->pos < r->size ? r->data[r->pos++] : EOF;
}

static int tile_defPeek(const TileDefReader *r)
{
    return r->pos < r->size ? r->data[r->pos] : EOF;
}

static bool tile_isSpace(int c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// A blank within a line; the line feed ends the line instead.
static bool tile_isBlank(int c)
{
    return tile_isSpace(c) && c != '\n';
}

// A keyword attempt restarts after the character that broke it, so
// NNEW_CUBE holds no keyword: the second N breaks the first attempt and is
// not tried as a first letter.
static bool tile_defScan(TileDefReader *r, const char *keyword)
{
    for (;;) {
        if (r->pos >= r->size)
            return false;
        if (tile_defGet(r) != keyword[0])
            continue;
        size_t i = 1;
        while (keyword[i] && tile_defGet(r) == (unsigned char)keyword[i])
            i++;
        if (!keyword[i])
            return true;
    }
}

// One word after any white space, lines included; empty at the end of the file.
static std::string tile_defWord(TileDefReader *r)
{
    while (tile_isSpace(tile_defPeek(r)))
        r->pos++;
    std::string word;
    int c;
    while ((c = tile_defPeek(r)) != EOF && !tile_isSpace(c)) {
        if (word.size() < TILE_WORD)
            word += (char)c;
        r->pos++;
    }
    return word;
}

// Up to and including the next `stop` (a line feed ends a line, "{" opens
// a block); false at the end of the file.
static bool tile_defSkipPast(TileDefReader *r, int stop)
{
    int c;
    while ((c = tile_defGet(r)) != EOF)
        if (c == stop)
            return true;
    return false;
}

// A decimal integer at s, sign allowed, saturating at the int range.
// Returns the characters used (0 when there is no number).
static size_t tile_defNumber(const char *s, int *out)
{
    size_t i = 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-')
        negative = s[i++] == '-';
    size_t digits = i;
    long long v = 0;
    while (s[i] >= '0' && s[i] <= '9') {
        if (v <= INT_MAX)
            v = v * 10 + (s[i] - '0');
        i++;
    }
    if (i == digits) {
        *out = 0;
        return 0;
    }
    if (negative)
        v = -v;
    *out = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : (int)v;
    return i;
}

// The value's leading number, 0 when it does not start with one.
static int tile_defValue(const std::string &value)
{
    int n;
    tile_defNumber(value.c_str(), &n);
    return n;
}

static bool tile_contains(const std::string &value, const char *word)
{
    return value.find(word) != std::string::npos;
}

// "Color(r,g,b)" and nothing else.
static bool tile_defColor(const std::string &value, int rgb[3])
{
    const char *s = value.c_str();
    if (strncmp(s, "Color(", 6) != 0)
        return false;
    s += 6;
    for (int i = 0; i < 3; i++) {
        size_t used = tile_defNumber(s, &rgb[i]);
        if (!used)
            return false;
        s += used;
        if (*s++ != (i < 2 ? ',' : ')'))
            return false;
    }
    return *s == '\0';
}

// A block's name: its word without the first and last characters (the quotes).
static std::string tile_defName(TileDefReader *r)
{
    std::string word = tile_defWord(r);
    return word.size() < 2 ? std::string() : word.substr(1, word.size() - 2);
}

// Reads the next entry of a block.  Returns 0 when the block ended at its
// "}", -1 at the end of the file, 1 with key and value set, 2 for a line
// that holds no entry.
static int tile_defEntry(TileDefReader *r, int *key, std::string *value)
{
    std::string label = tile_defWord(r);
    if (label.empty())
        return -1;
    if (label == "}")
        return 0;
    while (tile_isBlank(tile_defPeek(r)))
        r->pos++;
    // The key runs up to the comma; it must stand on the label's line.
    char number[TILE_WORD + 1];
    size_t n = 0;
    int c;
    while ((c = tile_defPeek(r)) != EOF && !tile_isSpace(c) && c != ',' && n < TILE_WORD) {
        number[n++] = (char)c;
        r->pos++;
    }
    number[n] = '\0';
    if (n == 0 || tile_defNumber(number, key) != n || tile_defPeek(r) != ',')
        return tile_defSkipPast(r, '\n') ? 2 : -1;
    r->pos++;
    while (tile_isBlank(tile_defPeek(r)))
        r->pos++;
    if (tile_isSpace(tile_defPeek(r)) || tile_defPeek(r) == EOF)
        return tile_defSkipPast(r, '\n') ? 2 : -1;
    *value = tile_defWord(r);
    if ((*value)[0] == '"')
        *value = value->size() < 2 ? std::string() : value->substr(1, value->size() - 2);
    return 1;
}

// Walks a block from its "{", handing each entry's key and value to apply;
// false when the file ended inside the block.
template <typename Apply>
static bool tile_defEntries(TileDefReader *r, Apply apply)
{
    int status = tile_defSkipPast(r, '{') ? 2 : -1;
    while (status > 0) {
        int key = 0;
        std::string value;
        status = tile_defEntry(r, &key, &value);
        if (status != 1)
            continue;
        apply(key, value);
        // The rest of an applied entry's line is ignored.
        status = tile_defSkipPast(r, '\n') ? 1 : -1;
    }
    return status == 0;
}

// Texture names to the first entry holding each, built once the texture
// pass is over, so that many faces over many textures stay cheap.
typedef std::unordered_map<std::string, int> TileDefNames;

static int tile_defFind(const TileDefNames &names, const std::string &value)
{
    auto found = names.find(value.c_str());  // the name as C compares it
    return found == names.end() ? -1 : found->second;
}

// A whole texture block into entry t; false when the file ended inside it.
static bool tile_defTexture(TileDefReader *r, TileDefParsed *out, int t, const char *root)
{
    TextureEntry *entry = &out->tex[t];
    std::string name = tile_defName(r);
    memcpy(entry->name, name.c_str(), name.size() + 1);  // at most 253 characters
    out->ops.push_back({TILE_OP_SETTINGS, 0, {}, 0, 0, 0});
    bool refused = false;
    bool closed = tile_defEntries(r, [&](int key, std::string &value) {
        if (refused)
            return;
        if (key == 2) {
            int n = tile_defValue(value);
            if (tile_contains(value, "Transparent") || (n & 0x2))
                out->ops.push_back({TILE_OP_SETTINGS, 1, {}, 0, 0, 0});
            if (!tile_contains(value, "Transparent") && (n & 0x10))
                entry->translucent = 1;
        } else if (key == 8) {
            for (char &c : value)
                if (c == ':')
                    c = '/';
            std::string path = std::string(root) + "PCX/" + value + ".pcx";
            if (path.size() >= TILE_PATH) {
                out->ops.push_back({TILE_OP_REFUSE, ERROR_FILE, "ERROR: Path too long: " + path, 0, 0, 0});
                refused = true;
                return;
            }
            out->ops.push_back({TILE_OP_LINE, 0, "TEXTURE:" + path, 0, 0, 0});
            out->ops.push_back({TILE_OP_PICTURE, t, path, 0, 0, 0});
            entry->loaded = 1;
        } else if (key == 17 && !entry->loaded) {
            int rgb[3];
            if (tile_defColor(value, rgb)) {
                out->ops.push_back({TILE_OP_COLOR, t, {}, rgb[0], rgb[1], rgb[2]});
                entry->loaded = 1;
            }
        }
    });
    if (refused)
        return false;
    // Every entry that was read gets a picture, even one cut by the end of
    // the file, so that drawing never meets an empty one.
    if (!entry->loaded)
        out->ops.push_back({TILE_OP_COLOR, t, {}, 255, 255, 0});
    return closed;
}

static void tile_defMorva(TileDefReader *r, const TileDefNames &names, TileDefParsed *out)
{
    tile_defEntries(r, [&](int key, const std::string &value) {
        if (key == 2) {
            int i = tile_defFind(names, value);
            if (i >= 0)
                out->bg = i;
            else
                out->ops.push_back({TILE_OP_UNKNOWN, -1, value, -1, 0, 0});
        }
    });
}

static void tile_defCube(TileDefReader *r, int type, const TileDefNames &names, TileDefParsed *out)
{
    CubeDef *cube = &out->cubes[type];
    tile_defEntries(r, [&](int key, const std::string &value) {
        int n = tile_defValue(value);
        if (key == 1) {
            if (tile_contains(value, "NRW_Chkrs"))
                cube->checkered = 1;
        } else if (key == 2) {
            if (n == 3)
                cube->crossed = 1;
        } else if (key >= 3 && key <= 8) {
            int face = key - 3;
            cube->faceOn[face] = 1;
            int i = tile_defFind(names, value);
            if (i >= 0)
                cube->faceTexture[face] = &out->tex[i];
            else
                out->ops.push_back({TILE_OP_UNKNOWN, type, value, face, 0, 0});
        } else if (key == 15) {
            cube->shape = (unsigned char)(n & 0xFF);
        } else if (key == 20) {
            for (int f = 0; f < 6; f++)
                if (tile_contains(value, tile_faceNames[f]) || (n & (1 << f)))
                    cube->doubleSided[f] = 1;
        } else if (key == 21) {
            for (int f = 0; f < 6; f++)
                if (tile_contains(value, tile_faceNames[f]))
                    cube->faceOn[f] = 0;
        } else if (key >= 29 && key <= 34) {
            int f = key - 29;
            FaceOrientation *o = &cube->orientation[f];
            if (tile_contains(value, "FlipH") || (n & 0x100))
                o->flipH = 1;
            if (tile_contains(value, "FlipV") || (n & 0x200))
                o->flipV = 1;
            if (tile_contains(value, "Rotate") || (n & 0x4000))
                o->rotate = 1;
            if ((n & 0x30000) == 0x20000)
                cube->shaded[f] = 1;
        }
    });
}

TileDefParsed::~TileDefParsed()
{
    free(tex);
}

void tile_parseDef(const unsigned char *data, size_t size, const char *root, TileDefParsed *out)
{
    memset(out->cubes, 0, sizeof out->cubes);
    free(out->tex);
    out->tex = nullptr;
    out->texCount = 0;
    out->bg = -1;
    out->ops.clear();

    TileDefReader r = {data, size, 0};
    int count = 0;
    while (tile_defScan(&r, "NEW_TEXTURE"))
        count++;
    if (count > TILE_TEXTURE_MAX) {
        std::string line = std::to_string(count) + " texture blocks; only the first " +
                           std::to_string(TILE_TEXTURE_MAX) + " are read";
        out->ops.push_back({TILE_OP_REPORT, 0, line, 0, 0, 0});
        count = TILE_TEXTURE_MAX;
    }

    // Zero-filled, as the entries no block reaches must stay empty.  The
    // background and the faces point into it.
    if (count) {
        out->tex = (TextureEntry *)calloc((size_t)count, sizeof(TextureEntry));
        if (!out->tex) {
            out->ops.push_back({TILE_OP_REFUSE, ERROR_MEMORY, {}, 0, 0, 0});
            return;
        }
    }
    out->texCount = count;

    // The end of the file inside a block ends that pass only; each pass
    // starts again from the top.
    r.pos = 0;
    for (int t = 0; t < count && tile_defScan(&r, "NEW_TEXTURE"); t++)
        if (!tile_defTexture(&r, out, t, root))
            break;
    if (!out->ops.empty() && out->ops.back().op == TILE_OP_REFUSE)
        return;

    TileDefNames names;
    for (int t = 0; t < count; t++)
        names.emplace(out->tex[t].name, t);  // keeps the first of equal names

    r.pos = 0;
    while (tile_defScan(&r, "NEW_MORVA")) {
        out->ops.push_back({TILE_OP_LINE, 0, "MORVA:" + tile_defName(&r), 0, 0, 0});
        tile_defMorva(&r, names, out);
    }

    r.pos = 0;
    for (int c = 254; c != 0 && tile_defScan(&r, "NEW_CUBE"); c--) {
        out->ops.push_back({TILE_OP_LINE, 0, "CUBE:" + tile_defName(&r), 0, 0, 0});
        tile_defCube(&r, c, names, out);
    }
}

bool tile_installDef(TileDefParsed *parsed, const TileDefHooks *hooks, const char *path, Refusal *why)
{
    static const TileDefHooks none = {nullptr, nullptr, nullptr, nullptr};
    if (!hooks)
        hooks = &none;
    // The tables are the globals before any picture is made: the loader
    // looks through them for textures still shown.
    // The old table goes with the last version of the world that shows it.
    tile_pictureTable = std::make_shared<TilePictureTable>();
    tile_pictureTable->tex = parsed->tex;
    tile_pictureTable->texCount = parsed->texCount;
    memcpy(tile, parsed->cubes, sizeof tile);
    tile_tex = parsed->tex;
    tile_texCount = parsed->texCount;
    tile_bg = parsed->bg >= 0 ? &tile_tex[parsed->bg].image : nullptr;
    parsed->tex = nullptr;
    parsed->texCount = 0;
    if (!path || !*path)
        path = "(no file)";
    Refusal unasked;  // the hooks always have somewhere to say why
    if (!why)
        why = &unasked;
    for (const TileDefOp &o : parsed->ops) {
        switch (o.op) {
        case TILE_OP_LINE:
            printf("%s\n", o.text.c_str());
            break;
        case TILE_OP_REPORT:
            error_report(path, o.text.c_str());
            break;
        case TILE_OP_REFUSE:
            if (!o.text.empty())
                printf("%s\n", o.text.c_str());
            return error_refuse(why, (unsigned)o.arg, path, error_reason((unsigned)o.arg));
        case TILE_OP_SETTINGS:
            texture_transparent(o.arg);
            texture_autoTransparent(o.arg);
            break;
        case TILE_OP_PICTURE:
            if (hooks->loadPicture && !hooks->loadPicture(hooks->ctx, &tile_tex[o.arg].image, o.text.c_str(), why))
                return false;
            break;
        case TILE_OP_COLOR:
            if (hooks->createColor &&
                !hooks->createColor(hooks->ctx, &tile_tex[o.arg].image, 32, 32, (unsigned char)o.a,
                                    (unsigned char)o.b, (unsigned char)o.c, why))
                return false;
            break;
        case TILE_OP_UNKNOWN:
            if (hooks->unknownTexture)
                hooks->unknownTexture(hooks->ctx, o.arg, o.a, o.text.c_str());
            break;
        }
    }
    return true;
}

bool tile_readDef(const unsigned char *data, size_t size, const char *root, const TileDefHooks *hooks,
                  const char *path, Refusal *why)
{
    TileDefParsed parsed;
    tile_parseDef(data, size, root, &parsed);
    return tile_installDef(&parsed, hooks, path, why);
}

void tile_cubeNames(const unsigned char *data, size_t size, std::vector<std::string> *names)
{
    names->assign(256, std::string());
    TileDefReader r = {data, size, 0};
    // The cube pass of tile_readDef, reading the blocks without applying them.
    for (int c = 254; c != 0 && tile_defScan(&r, "NEW_CUBE"); c--) {
        (*names)[c] = tile_defName(&r);
        tile_defEntries(&r, [](int, const std::string &) {});
    }
}
