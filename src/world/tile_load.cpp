// tile_load.cpp -- loading a world: choosing the .def, its paths, the system pictures, the camera file and the map picture
#include "tile_world.h"
#include "tile_loading.h"
#include "tile_save.h"

#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <exception>
#include <map>
#include <new>

#include "error.h"
#include "file.h"
#include "image.h"
#include "texture.h"

// ---------------------------------------------------------------- paths

// Fits a TILE_PATH field with its terminating NUL.
static bool tile_fits(const std::string &path)
{
    return path.size() < TILE_PATH;
}

int tile_derivePaths(const char *defPath, char root[TILE_PATH], char map[TILE_PATH],
                     char file[TILE_PATH])
{
    const char *slash = strrchr(defPath, '/');
    if (!slash)
        return 0;
    // Cut at the last '/', then just after the one that is now last.  The
    // folder above the top folder is the top folder itself.
    std::string folder(defPath, (size_t)(slash - defPath));
    size_t up = folder.rfind('/');
    std::string rootPath = up == std::string::npos ? (defPath[0] == '/' ? "/" : "")
                                                   : folder.substr(0, up + 1);
    std::string stem(slash + 1);
    size_t dot = stem.rfind('.');
    if (dot != std::string::npos)
        stem.erase(dot);
    std::string mapPath = rootPath + "PCX/" + stem + ".pcx";
    std::string camFile = stem + ".cam";
    if (!tile_fits(mapPath) || !tile_fits(rootPath + "SYS/CAM/" + camFile) ||
        !tile_fits(rootPath + "PCX/SYSTEM/BASIC02.PCX") || !tile_fits(rootPath + "SYS/IMG/matrix.pcx"))
        return 0;
    memcpy(root, rootPath.c_str(), rootPath.size() + 1);
    memcpy(map, mapPath.c_str(), mapPath.size() + 1);
    memcpy(file, camFile.c_str(), camFile.size() + 1);
    return 1;
}

static bool tile_exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string tile_resolvePath(const std::string &path)
{
    if (path.empty() || tile_exists(path))
        return path;
    std::string out;
    size_t i = 0;
    if (path[0] == '/') {
        out = "/";
        i = 1;
    }
    for (;;) {
        size_t end = path.find('/', i);
        bool last = end == std::string::npos;
        if (last)
            end = path.size();
        std::string part = path.substr(i, end - i);
        if (!part.empty() && part != "." && part != ".." && !tile_exists(out + part)) {
            // Of several spellings that differ only in case, the first in
            // byte order, so the choice does not hang on the directory's order.
            std::string found;
            if (DIR *dir = opendir(out.empty() ? "." : out.c_str())) {
                while (struct dirent *e = readdir(dir))
                    if (strcasecmp(e->d_name, part.c_str()) == 0 &&
                        (found.empty() || strcmp(e->d_name, found.c_str()) < 0))
                        found = e->d_name;
                closedir(dir);
            }
            if (found.empty())
                return out + path.substr(i);
            part = found;
        }
        out += part;
        if (last)
            return out;
        out += '/';
        i = end + 1;
    }
}

// A path as the file system sees it: links and dotted folders resolved;
// a file not there yet keeps its own name under its resolved folder, and a
// link to a file not there yet stands for that file.
static std::string tile_canonical(const std::string &path)
{
    std::string p = path;
    for (int hops = 0; hops < 40; hops++) {
        if (char *real = realpath(p.c_str(), nullptr)) {
            std::string full(real);
            free(real);
            return full;
        }
        char target[PATH_MAX];
        ssize_t n = readlink(p.c_str(), target, sizeof target - 1);
        if (n <= 0)
            break;
        std::string to(target, (size_t)n);
        size_t slash = p.rfind('/');
        p = to[0] == '/' || slash == std::string::npos ? to : p.substr(0, slash + 1) + to;
    }
    return tile_absolute(p);
}

std::string tile_worldFile(const char *path)
{
    std::vector<std::string> files = tile_files;
    if (tile_file[0])
        files.push_back(tile_resolvePath(std::string(tile_root) + "SYS/CAM/" + tile_file));
    std::string wanted = tile_canonical(path);
    for (const std::string &file : files)
        if (file_same(path, file.c_str()) || tile_canonical(file) == wanted)
            return file;
    return "";
}

static bool tile_isPcxName(const std::string &path)
{
    return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".pcx") == 0;
}

// Where a picture named .pcx is missing, the same name ending in .png.
static std::string tile_pngSibling(const std::string &path)
{
    return tile_resolvePath(path.substr(0, path.size() - 4) + ".png");
}

std::string tile_resolvePicture(const std::string &path)
{
    std::string found = tile_resolvePath(path);
    if (!tile_isPcxName(path) || tile_exists(found))
        return found;
    std::string png = tile_pngSibling(path);
    return tile_exists(png) ? png : found;
}

// ---------------------------------------------------------------- the map picture

static unsigned tile_u16(const unsigned char *p)
{
    return p[0] | (unsigned)p[1] << 8;
}

static int tile_mapRefused(std::string *why, const char *format, ...) __attribute__((format(printf, 2, 3)));
static int tile_mapRefused(std::string *why, const char *format, ...)
{
    if (why) {
        char text[256];
        va_list args;
        va_start(args, format);
        vsnprintf(text, sizeof text, format, args);
        va_end(args);
        *why = text;
    }
    return 0;
}

// Memory ran out decoding a map picture: the caller says so.
struct TileMapMemory {};

// The pixels of an 8-bit one-plane run-length PCX: w x rows of them, where
// rows stops early when the file does (the rows never decoded stand for 255).
static int tile_mapPcxPixels(const unsigned char *data, size_t size, std::vector<unsigned char> &pixels,
                             unsigned *width, unsigned *height, size_t *decoded, std::string *why)
{
    // Shorter than the header: either a header byte is missing or no pixel
    // follows, which measures a frame of 0 and is refused all the same.
    if (size < 128)
        return tile_mapRefused(why, "the file ends inside the PCX header");
    if (data[0] != 10)
        return tile_mapRefused(why, "neither a PCX nor a PNG picture");
    if (data[1] != 5 || data[2] != 1 || data[3] != 8 || data[65] != 1)
        return tile_mapRefused(why, "PCX version %u, encoding %u, %u-bit x %u plane%s is not a map "
                               "picture: a map is an 8-bit one-plane run-length PCX of version 5, or "
                               "an 8-bit palette or grey PNG", data[1], data[2], data[3], data[65],
                               data[65] == 1 ? "" : "s");
    unsigned w = (unsigned short)(tile_u16(data + 8) - tile_u16(data + 4) + 1);
    unsigned h = (unsigned short)(tile_u16(data + 10) - tile_u16(data + 6) + 1);
    unsigned bpl = tile_u16(data + 66);
    if (w == 0 || h == 0)
        return tile_mapRefused(why, "a picture of %u x %u pixels has none", w, h);
    if (bpl < w)
        return tile_mapRefused(why, "PCX lines of %u bytes cannot hold %u pixels", bpl, w);
    // The words of the PNG reader: a map is refused for what its header
    // claims, before any of it is read.
    if ((size_t)w * h > TILE_PICTURE_MAX)
        return tile_mapRefused(why, "%u x %u pixels is more than a map may hold (%zu)", w, h,
                               (size_t)TILE_PICTURE_MAX);

    // Rows are decoded until the data ends; past it every pixel reads as
    // 255, which is what the rows never decoded stand for.  So the buffer
    // grows with the file rather than with the size the header claims.
    size_t rows = 0, pos = 128;
    try {
        while (rows < h && pos < size) {
            pixels.resize((rows + 1) * w, 255);
            unsigned char *line = &pixels[rows * w];
            rows++;
            unsigned count = 0;
            while (count < bpl && pos < size) {
                unsigned run = 1, value = data[pos++];
                if ((value & 0xC0) == 0xC0) {
                    run = value & 0x3F;
                    value = pos < size ? data[pos++] : 255;
                }
                // A run that would cross the line's end stops there.
                if (run > bpl - count)
                    run = bpl - count;
                for (unsigned i = 0; i < run; i++, count++)
                    if (count < w)
                        line[count] = (unsigned char)value;
            }
        }
    } catch (const std::bad_alloc &) {
        throw TileMapMemory();
    }
    *width = w;
    *height = h;
    *decoded = rows;
    return 1;
}

static int tile_decodeMapPixels(const unsigned char *data, size_t size, TileMap *out, std::string *why)
{
    std::vector<unsigned char> pixels;
    unsigned w = 0, h = 0;
    size_t rows = 0;
    if (image_isPng(data, size)) {
        ImageRefusal refused;
        if (!image_decodePngValues(data, size, TILE_PICTURE_MAX, pixels, &w, &h, &refused)) {
            if (refused.code == ERROR_MEMORY)
                throw TileMapMemory();
            return tile_mapRefused(why, "%s", refused.reason.c_str());
        }
        if (w > 0xFFFF || h > 0xFFFF)
            return tile_mapRefused(why, "%u x %u pixels is wider or taller than a map may be (65535)",
                                   w, h);
        rows = h;
    } else if (!tile_mapPcxPixels(data, size, pixels, &w, &h, &rows, why)) {
        return 0;
    }
    auto pixel = [&](size_t row, size_t col) -> unsigned char {
        return row < rows ? pixels[row * w + col] : 255;
    };

    unsigned width = 0, depth = 0;
    while (1 + width < w && pixel(0, 1 + width) == 5)
        width++;
    while (1 + depth < rows && pixel(1 + depth, 0) == 5)
        depth++;
    if (width == 0 || depth == 0)
        return tile_mapRefused(why, "the top-left block has no frame of fives to measure (row 0 "
                               "from column 1, column 0 from row 1)");
    unsigned across = w / (width + 2), bands = h / (depth + 2);
    unsigned long layers = (unsigned long)across * bands;
    if (layers > 0xFFFF)
        return tile_mapRefused(why, "%lu layers, more than 65535", layers);

    out->width = (unsigned short)width;
    out->depth = (unsigned short)depth;
    out->height = (unsigned short)layers;
    out->across = (unsigned short)across;
    size_t layerSize = (size_t)width * depth;
    if (layerSize * layers > TILE_GRID_MAX)
        throw TileMapMemory();
    try {
        out->cells.assign(layerSize * layers, 255);
    } catch (const std::bad_alloc &) {
        throw TileMapMemory();
    }
    for (size_t band = 0; band < bands; band++)
        for (size_t z = 0; z < depth; z++) {
            size_t row = band * (depth + 2) + 1 + z;
            if (row >= rows)
                break;  // the grid already holds 255 there
            for (size_t b = 0; b < across; b++)
                memcpy(&out->cells[(band * across + b) * layerSize + z * width],
                       &pixels[row * w + b * (width + 2) + 1], width);
        }
    return 1;
}

int tile_decodeMap(const unsigned char *data, size_t size, TileMap *out, std::string *why, bool *memory)
{
    try {
        return tile_decodeMapPixels(data, size, out, why);
    } catch (const TileMapMemory &) {
        if (why)
            *why = error_reason(ERROR_MEMORY);
        if (memory)
            *memory = true;
        return 0;
    }
}

bool tile_setMap(const TileMap *grid)
{
    size_t size = grid->cells.size();
    unsigned char *map = (unsigned char *)malloc(size ? size : 1);
    if (!map)
        return false;
    if (size)
        memcpy(map, grid->cells.data(), size);
    free(tile_map);
    tile_width = grid->width;
    tile_depth = grid->depth;
    tile_height = grid->height;
    tile_map = map;
    return true;
}

// ---------------------------------------------------------------- choosing the file

// 0 when path is a regular file that can be read, else why not.
static int tile_fileState(const char *path)
{
    std::vector<unsigned char> first;
    return file_readHead(path, 0, first);
}

static bool tile_isDefName(const std::string &path)
{
    return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".def") == 0;
}

static bool tile_hasDialog(void)
{
    const char *display = getenv("DISPLAY");
    const char *dirs = getenv("PATH");
    if (!display || !*display || !dirs)
        return false;
    std::string list(dirs);
    size_t start = 0;
    for (;;) {
        size_t end = list.find(':', start);
        std::string dir = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (access(((dir.empty() ? "." : dir) + "/zenity").c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

static void tile_chomp(std::string &line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
}

// The dialog's choice, empty when cancelled.  *broken is set when the
// dialog could not run at all, so the caller falls back to the console
// instead of starting it again and again.
static std::string tile_dialog(bool *broken)
{
    std::string path;
    FILE *p = popen("zenity --file-selection --file-filter='DEF | *.def' 2>/dev/null", "r");
    if (!p) {
        *broken = true;
        return path;
    }
    int c;
    while ((c = fgetc(p)) != EOF)
        path += (char)c;
    int status = pclose(p);
    // 0 chosen, 1 cancelled; anything else means no dialog was shown.
    *broken = status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) > 1;
    tile_chomp(path);
    return path;
}

// The end of a choice nobody made: cancelled, or nobody left to ask.
static bool tile_noChoice(const char *before, Refusal *why)
{
    printf("%sERROR: No world file was chosen\n", before);
    return error_refuse(why, ERROR_FILE, "", "");
}

// A line from the console; false at the end of its input.
static bool tile_prompt(std::string *line)
{
    fputs("Definition file (*.def): ", stdout);
    fflush(stdout);
    line->clear();
    int c;
    while ((c = getchar()) != EOF && c != '\n')
        *line += (char)c;
    if (c == EOF && line->empty())
        return false;  // asking again would never end
    tile_chomp(*line);
    return true;
}

// Wrong files a dialog may hand back in a row before the choice ends: one
// that answers at once, by itself, must not be asked forever.
#define TILE_DIALOG_TRIES 5

bool tile_requireWorldFile(const char *path, Refusal *why)
{
    int result = tile_fileState(path);
    if (!result)
        return true;
    printf("ERROR: Cannot open world file %s\n", path);
    return error_refuse(why, ERROR_FILE, path, file_reason(result));
}

// The world file named, chosen in a dialog or typed on the console.
static bool tile_choose(std::string *path, Refusal *why)
{
    if (tile_argument) {
        *path = tile_argument;
        return tile_requireWorldFile(tile_argument, why);
    }
    bool dialog = tile_hasDialog();
    for (int wrong = 0;;) {
        if (dialog && wrong == TILE_DIALOG_TRIES)
            return tile_noChoice("", why);
        if (dialog) {
            bool broken = false;
            *path = tile_dialog(&broken);
            if (broken && !isatty(STDIN_FILENO))
                return tile_noChoice("", why);  // no dialog, and no terminal to ask on
            if (broken) {
                dialog = false;
                continue;
            }
            if (path->empty())
                return tile_noChoice("", why);  // Cancel, or the window closed
        } else if (!tile_prompt(path)) {
            return tile_noChoice("\n", why);
        }
        if (path->empty())
            continue;
        if (tile_isDefName(*path) && tile_fileState(path->c_str()) == 0)
            return true;
        printf("Not a world file: %s\n", path->c_str());
        wrong++;
    }
}

// The folders resolved, the file's own name kept (it may be a link into
// another world's folder), so that relative and dotted paths give the
// right root.
std::string tile_absolute(const std::string &path)
{
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (char *real = realpath(dir.c_str(), nullptr)) {
        std::string full(real);
        free(real);
        if (full.empty() || full.back() != '/')
            full += '/';
        return full + base;
    }
    if (path[0] == '/')
        return path;
    std::string full;
    if (char *cwd = getcwd(nullptr, 0)) {
        full = cwd;
        free(cwd);
    }
    return full + "/" + path;
}

// ---------------------------------------------------------------- loading

// Colour squares of one colour and size share one texture: a definition
// file of many colour blocks costs table entries, not textures.
typedef std::map<unsigned long long, Image> TileColors;

// So do pictures read from one file under the same decoding settings: a
// world naming one large picture in many blocks decodes and uploads it once.
struct TileShared {
    Image image;
    unsigned char colorR, colorG, colorB;  // the transparent colour the picture left
};
typedef std::map<std::string, TileShared> TilePictures;

size_t tile_texelBudget = TILE_TEXEL_BUDGET;
std::vector<std::string> tile_problems;

// The pictures of one load: uploaded as textures, or made by the caller's
// hooks, which are handed the paths as found on disk.
struct TileLoadPictures {
    const TileDefHooks *made;  // null: textures
    const std::map<std::string, ImageTexels> *decoded;  // decoded ahead, or null
    TileColors colors;
    TilePictures pictures;
    size_t texels;  // bytes of the pictures decoded so far
};

// An entry's picture can be made twice (a picture after a colour, or two
// pictures in one block): the texture made first is given back, or every
// reload would leave it behind; unless another entry still shows it.
static void tile_freshImage(TileLoadPictures *p, Image *image)
{
    unsigned int id = image->textureId;
    image->textureId = 0;
    if (!id)
        return;
    for (int i = 0; i < tile_texCount; i++)
        if (tile_tex[i].image.textureId == id)
            return;
    for (auto it = p->colors.begin(); it != p->colors.end(); ++it)
        if (it->second.textureId == id) {
            p->colors.erase(it);
            break;
        }
    for (auto it = p->pictures.begin(); it != p->pictures.end(); ++it)
        if (it->second.image.textureId == id) {
            p->pictures.erase(it);
            break;
        }
    Image old = *image;
    old.textureId = id;
    image_destroy(&old);
}

// What a picture's texels depend on besides its file.
static std::string tile_pictureKey(const std::string &path)
{
    ImageSettings s = image_settings(0);
    const unsigned char settings[] = {s.transparent, s.autoTransparent, s.soften, s.transparentR,
                                      s.transparentG, s.transparentB, texture_getSmooth()};
    return std::string((const char *)settings, sizeof settings) + path;
}

// What a picture decoded under s at path is found by among those decoded ahead.
static std::string tile_decodedKey(const ImageSettings &s, const std::string &path)
{
    const int settings[] = {s.transparent, s.autoTransparent, s.soften, s.transparentR,
                            s.transparentG, s.transparentB, s.maxTextureSize};
    return std::string((const char *)settings, sizeof settings) + path;
}

// The picture decoded ahead under the settings in force now, else read here.
static ImageOutcome tile_loadAhead(const TileLoadPictures *p, Image *image, const std::string &path,
                                   Refusal *why)
{
    if (p->decoded) {
        auto found = p->decoded->find(tile_decodedKey(image_settings(image_maxTextureSize()), path));
        if (found != p->decoded->end()) {
            image_loadDecoded(image, found->second);
            return IMAGE_READ;
        }
    }
    return image_load(image, path.c_str(), why);
}

// A picture uploaded from path, or the one already made from it; one past
// the budget is given back and the stand-by picture shows instead.
static bool tile_sharedPicture(TileLoadPictures *p, Image *image, const std::string &path, Refusal *why)
{
    std::string key = tile_pictureKey(path);
    auto found = p->pictures.find(key);
    if (found != p->pictures.end()) {
        *image = found->second.image;
        texture_transparentColor(found->second.colorR, found->second.colorG, found->second.colorB);
        return true;
    }
    ImageOutcome read = tile_loadAhead(p, image, path, why);
    if (read != IMAGE_READ)
        return read == IMAGE_STAND_BY;  // the stand-by picture, said so: a missing file is said at every entry
    size_t bytes = (size_t)image->texWidth * image->texHeight * (image->hasAlpha ? 4 : 3);
    if (bytes > tile_texelBudget - std::min(p->texels, tile_texelBudget)) {
        std::string over = "the world's pictures would pass " + std::to_string(tile_texelBudget >> 20) +
                           " MiB of texels; the stand-by picture shows instead";
        error_report(path.c_str(), over.c_str());
        image_destroy(image);
        image->textureId = 0;
        if (!image_create(image, 4, 4, 0, 0, 255, why)) {
            why->path = path;
            return false;
        }
        return true;
    }
    p->texels += bytes;
    p->pictures[key] = {*image, texture_getTransparentRed(), texture_getTransparentGreen(),
                        texture_getTransparentBlue()};
    return true;
}

// The file as found on disk, noted for whoever watches the world.  Of a
// picture missing as .pcx the .png beside it is noted too, read or not:
// either one appearing changes what the world shows.
static std::string tile_findFile(const std::string &path, std::vector<std::string> *noted)
{
    std::string found = tile_resolvePath(path);
    noted->push_back(found);
    if (tile_isPcxName(path) && !tile_exists(found)) {
        noted->push_back(tile_pngSibling(path));
        if (tile_exists(noted->back()))
            return noted->back();
    }
    return found;
}

static std::string tile_noteFile(const std::string &path)
{
    return tile_findFile(path, &tile_files);
}

static bool tile_loadPicture(void *ctx, Image *image, const char *path, Refusal *why)
{
    TileLoadPictures &p = *(TileLoadPictures *)ctx;
    const std::string &found = tile_noteFile(path);
    if (p.made)
        return !p.made->loadPicture || p.made->loadPicture(p.made->ctx, image, found.c_str(), why);
    tile_freshImage(&p, image);
    return tile_sharedPicture(&p, image, found, why);
}

static bool tile_createColor(void *ctx, Image *image, unsigned short w, unsigned short h,
                             unsigned char r, unsigned char g, unsigned char b, Refusal *why)
{
    TileLoadPictures &p = *(TileLoadPictures *)ctx;
    if (p.made)
        return !p.made->createColor || p.made->createColor(p.made->ctx, image, w, h, r, g, b, why);
    tile_freshImage(&p, image);
    TileColors &made = p.colors;
    unsigned long long key = (unsigned long long)w << 40 | (unsigned long long)h << 24 |
                             (unsigned)r << 16 | (unsigned)g << 8 | b;
    auto found = made.find(key);
    if (found == made.end()) {
        if (!image_create(image, w, h, r, g, b, why))
            return false;
        made[key] = *image;
        return true;
    }
    unsigned char hasAlpha = image->hasAlpha;  // image_create leaves it as it is
    *image = found->second;
    image->hasAlpha = hasAlpha;
    return true;
}

static bool tile_loadSystemPicture(TileLoadPictures *pictures, Image *image, const char *name, Refusal *why)
{
    std::string path = std::string(tile_root) + name;
    printf("TEXTURE:%s\n", path.c_str());
    if (pictures->made)
        return tile_loadPicture(pictures, image, path.c_str(), why);
    return tile_loadAhead(pictures, image, tile_noteFile(path), why) != IMAGE_REFUSED;
}

static const char *const tile_systemPictures[] = {"PCX/SYSTEM/BASIC02.PCX", "SYS/IMG/matrix.pcx"};

void tile_defaultPose(Entity *pose)
{
    entity_set(pose, 0, 0, 0);
    pose->left.x = -1.0f;
    pose->forward.z = -1.0f;
}

// The start pose from the camera file.  One that is there but cannot be
// read, or could not be saved over, is kept as it is: said once here, and
// file_write refuses it at every save.  A run that saves nothing only
// hears of a file it cannot read.
static void tile_readCamera(void)
{
    std::string path = tile_resolvePath(std::string(tile_root) + "SYS/CAM/" + tile_file);
    int result = entity_readFile(&tile_temp, path.c_str());
    if (result == 0 && tile_savesCamera)
        result = file_replaceable(path.c_str());
    if (result && result != ENOENT)
        error_report(path.c_str(), (std::string(file_reason(result)) +
                                    (tile_savesCamera ? "; the camera pose is not saved" : "")).c_str());
    // A pose of no numbers would show sky only and be saved back as it is.
    if (const char *wrong = result ? nullptr : entity_check(&tile_temp)) {
        error_report(path.c_str(), (std::string(wrong) + "; the view starts at the origin").c_str());
        tile_defaultPose(&tile_temp);
    }
}

void tile_readWorld(const std::string &def, TileWorldRead *out, const TileSnapshot *from)
{
    out->def = def;
    out->fits = tile_derivePaths(def.c_str(), out->root, out->map, out->file);
    if (!out->fits)
        return;
    out->mapPath = tile_findFile(out->map, &out->mapNoted);
    std::vector<unsigned char> bytes;
    out->mapResult = file_read(out->mapPath.c_str(), FILE_WORLD_MAX, bytes);
    if (!out->mapResult)
        out->mapDecoded = tile_decodeMap(bytes.data(), bytes.size(), &out->grid, &out->mapWhy,
                                         &out->mapMemory);
    if (!out->mapDecoded)
        return;  // the load ends there: the definition file is never read
    TileMap &g = out->grid;
    try {
        out->cells = tile_cutCells(g.cells.data(), g.width, g.height, g.depth, from);
    } catch (const std::bad_alloc &) {
    }
    out->flat.reset((unsigned char *)malloc(g.cells.empty() ? 1 : g.cells.size()));
    if (!out->cells || !out->flat) {
        out->mapDecoded = 0;
        out->mapMemory = true;
        return;
    }
    memcpy(out->flat.get(), g.cells.data(), g.cells.size());
    out->defPath = tile_resolvePath(def);
    out->defResult = file_read(out->defPath.c_str(), FILE_WORLD_MAX, bytes);
    if (out->defResult)
        return;
    tile_parseDef(bytes.data(), bytes.size(), out->root, &out->parsed);
    out->problems = tile_drawProblems(out->parsed.ops, g.cells.data(), g.width, g.depth, g.height);
    g.cells = std::vector<unsigned char>();  // flat holds them
}

void tile_decodeAhead(TileWorldRead *read, bool soften, int maxTextureSize)
{
    if (!read->fits || !read->mapDecoded || read->defResult)
        return;
    ImageSettings s = {0, 0, soften, 0, 0, 0, maxTextureSize};
    std::map<std::string, ImageSettings> left;  // the settings each picture leaves
    std::vector<std::string> noted;
    size_t texels = 0;
    // False where the load itself will stop, or the budget is spent.
    auto ahead = [&](const std::string &path) {
        std::string found = tile_findFile(path, &noted), key = tile_decodedKey(s, found);
        if (!left.count(key)) {
            std::vector<unsigned char> bytes;
            if (file_read(found.c_str(), IMAGE_MAX_FILE, bytes))
                return true;  // the stand-by picture, and no colour taken
            ImageTexels out;
            ImageRefusal why;
            if (!image_decode(bytes.data(), bytes.size(), &s, &out, &why) ||
                (texels += out.texels.size()) > tile_texelBudget)
                return false;
            if (out.tookColor) {
                s.transparentR = out.colorR;
                s.transparentG = out.colorG;
                s.transparentB = out.colorB;
            }
            left[key] = s;
            read->decoded.emplace(key, std::move(out));
        }
        s = left[key];  // a picture shared takes the colour it left
        return true;
    };
    try {
        for (const char *name : tile_systemPictures)
            if (!ahead(std::string(read->root) + name))
                return;
        for (const TileDefOp &o : read->parsed.ops)
            if (o.op == TILE_OP_SETTINGS)
                s.transparent = s.autoTransparent = (unsigned char)o.arg;
            else if ((o.op == TILE_OP_PICTURE && !ahead(o.text)) || o.op == TILE_OP_REFUSE)
                return;
    } catch (const std::exception &) {
        // Out of memory: the rest are read as they are loaded.
    }
}

// A world file the load could not read, named in the refusal.
static bool tile_worldFileRead(const std::string &path, int result, Refusal *why)
{
    if (result)
        return error_refuse(why, result == ENOMEM ? ERROR_MEMORY : ERROR_FILE, path, file_reason(result));
    return true;
}

bool tile_installWorld(TileWorldRead *read, bool readCamera, const TileDefHooks *pictures, Refusal *why)
{
    TileLoadPictures made = {pictures, &read->decoded, {}, {}, 0};
    tile_files.assign(1, read->def);
    if (!read->fits) {
        printf("ERROR: Path too long: %s\n", read->def.c_str());
        return error_refuse(why, ERROR_FILE, "", "");
    }
    memcpy(tile_root, read->root, sizeof read->root);
    if (!tile_loadSystemPicture(&made, &tile_dummy, tile_systemPictures[0], why) ||
        !tile_loadSystemPicture(&made, &tile_matrix, tile_systemPictures[1], why))
        return false;

    memcpy(tile_file, read->file, sizeof read->file);
    if (readCamera) {
        tile_defaultPose(&tile_temp);
        tile_readCamera();
    }

    tile_files.insert(tile_files.end(), read->mapNoted.begin(), read->mapNoted.end());
    if (!tile_worldFileRead(read->mapPath, read->mapResult, why))
        return false;
    if (read->mapMemory || !read->mapDecoded) {
        unsigned code = read->mapMemory ? ERROR_MEMORY : ERROR_FILE;
        return error_refuse(why, code, read->mapPath, code == ERROR_FILE ? read->mapWhy : error_reason(code));
    }
    free(tile_map);
    tile_map = read->flat.release();
    tile_width = read->grid.width;
    tile_depth = read->grid.depth;
    tile_height = read->grid.height;

    if (!tile_worldFileRead(read->defPath, read->defResult, why))
        return false;
    TileDefHooks hooks = {&made, tile_loadPicture, tile_createColor, nullptr};
    if (!tile_installDef(&read->parsed, &hooks, read->defPath.c_str(), why))
        return false;
    tile_problems = std::move(read->problems);
    tile_generation++;
    tile_publishCut(std::move(read->cells));
    fflush(stdout);
    return true;
}

bool tile_loadFrom(const std::string &def, bool readCamera, const TileDefHooks *pictures, Refusal *why)
{
    TileWorldRead read;
    TileWorldRef from = tile_world();
    tile_readWorld(def, &read, from.get());
    from.reset();  // its pictures go with the publication of the new version
    return tile_installWorld(&read, readCamera, pictures, why);
}

bool tile_load(Refusal *why)
{
    std::string chosen;
    return tile_choose(&chosen, why) && tile_loadFrom(tile_absolute(chosen), true, nullptr, why);
}
