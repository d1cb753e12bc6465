// tile_save.cpp -- writing the edited grid back into the map picture and the map text beside it
#include "tile_world.h"
#include "tile_loading.h"
#include "tile_save.h"

#include <string.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "map_text.h"
#include "pcx_encode.h"

static unsigned tile_le16(const unsigned char *p)
{
    return p[0] | (unsigned)p[1] << 8;
}

bool tile_patchMap(const std::vector<unsigned char> &picture, const TileMap &grid,
                   std::vector<unsigned char> *out, size_t *changed, std::string *why,
                   unsigned short *across)
{
    const unsigned char *data = picture.data();
    size_t size = picture.size();
    if (image_isPng(data, size)) {
        *why = "the map is a PNG picture; building writes PCX maps only";
        return false;
    }
    TileMap now;
    bool memory = false;
    if (!tile_decodeMap(data, size, &now, why, &memory)) {
        if (memory)
            *why = "out of memory";
        return false;
    }
    if (now.width != grid.width || now.depth != grid.depth || now.height != grid.height) {
        *why = "the map there is " + std::to_string(now.width) + " x " + std::to_string(now.height) +
               " x " + std::to_string(now.depth) + " cells now, not " + std::to_string(grid.width) +
               " x " + std::to_string(grid.height) + " x " + std::to_string(grid.depth);
        return false;
    }
    // Each scan line decoded whole (its padding too), with where its bytes
    // lie in the file; lines the file leaves out read as 255, as they load.
    unsigned h = (unsigned short)(tile_le16(data + 10) - tile_le16(data + 6) + 1);
    unsigned bpl = tile_le16(data + 66);
    std::vector<unsigned char> lines((size_t)h * bpl, 255);
    std::vector<size_t> start(h + 1, size);
    std::vector<bool> repack(h, false);
    size_t pos = 128;
    for (unsigned row = 0; row < h; row++) {
        start[row] = pos;
        repack[row] = pos >= size;
        for (unsigned count = 0; count < bpl && pos < size;) {
            unsigned run = 1, value = data[pos++];
            if ((value & 0xC0) == 0xC0) {
                run = value & 0x3F;
                value = pos < size ? data[pos++] : 255;
            }
            for (; run && count < bpl; run--)
                lines[(size_t)row * bpl + count++] = (unsigned char)value;
        }
    }
    start[h] = pos;
    *changed = 0;
    if (across)
        *across = now.across;
    size_t layerSize = (size_t)grid.width * grid.depth;
    for (size_t y = 0; y < grid.height; y++)
        for (size_t z = 0; z < grid.depth; z++) {
            size_t row = (y / now.across) * (grid.depth + 2u) + 1 + z;
            size_t col = (y % now.across) * (grid.width + 2u) + 1;
            for (size_t x = 0; x < grid.width; x++) {
                unsigned char want = grid.cells[y * layerSize + z * grid.width + x];
                if (now.cells[y * layerSize + z * grid.width + x] == want)
                    continue;
                lines[row * bpl + col + x] = want;
                repack[row] = true;
                ++*changed;
            }
        }
    out->assign(data, data + 128);
    for (unsigned row = 0; row < h; row++) {
        if (repack[row])
            pcx_packLine(*out, &lines[(size_t)row * bpl], bpl);
        else
            out->insert(out->end(), data + start[row], data + start[row + 1]);
    }
    out->insert(out->end(), data + start[h], data + size);  // the palette and whatever follows
    return true;
}

void tile_mapTextCells(const TileMap &grid, MapText *text)
{
    text->width = grid.width;
    text->depth = grid.depth;
    text->layers = grid.height;
    text->across = grid.across;
    text->cells = grid.cells;
}

bool tile_patchMapText(const std::string &file, const std::vector<unsigned char> &bytes, const TileMap &grid,
                       std::vector<unsigned char> *out, std::string *why)
{
    MapText text;
    if (!map_textParse(file, bytes, &text, why))
        return false;
    tile_mapTextCells(grid, &text);
    std::string formatted;
    if (!map_textFormat(text, true, &formatted, why))
        return false;
    out->assign(formatted.begin(), formatted.end());
    return true;
}

bool tile_mapFiles(std::string *picture, std::string *text)
{
    char root[TILE_PATH], map[TILE_PATH], cam[TILE_PATH];
    if (tile_files.empty() || !tile_derivePaths(tile_files[0].c_str(), root, map, cam))
        return false;
    std::string pcx = map;
    *picture = tile_resolvePicture(pcx);
    std::string beside = tile_resolvePath(pcx.substr(0, pcx.size() - 3) + "map");
    *text = file_stamp(beside.c_str()).exists ? beside : "";
    return true;
}

// "what: reason" for the console.
static void tile_saveRefused(TileMapSaved *out, const std::string &what, const std::string &why)
{
    out->ok = false;
    out->line = "Map not saved: " + what + ": " + why + "; the edits are kept";
}

void tile_saveMap(const TileMapSave &save, TileMapSaved *out)
{
    *out = TileMapSaved();
    std::vector<unsigned char> picture, patched, text, textPatched;
    std::string why;
    if (int r = file_read(save.picture.c_str(), FILE_WORLD_MAX, picture))
        return tile_saveRefused(out, save.picture, file_reason(r));
    TileMap grid = save.grid;  // laid out as the picture there is
    if (!tile_patchMap(picture, grid, &patched, &out->changed, &why, &grid.across))
        return tile_saveRefused(out, save.picture, why);
    bool withText = save.recovery.empty() && !save.text.empty();
    if (withText) {
        if (int r = file_read(save.text.c_str(), FILE_WORLD_MAX, text))
            return tile_saveRefused(out, save.text, file_reason(r));
        if (!tile_patchMapText(save.text, text, grid, &textPatched, &why))
            return tile_saveRefused(out, save.text, why);
        if (int r = file_replaceable(save.text.c_str()))
            return tile_saveRefused(out, save.text, file_reason(r));
    }
    const std::string &target = save.recovery.empty() ? save.picture : save.recovery;
    if (!save.recovery.empty()) {
        size_t slash = target.rfind('/');
        if (int r = file_makeFolders(target.substr(0, slash == std::string::npos ? 0 : slash).c_str()))
            return tile_saveRefused(out, target, file_reason(r));
    }
    if (int r = file_write(target.c_str(), patched.data(), patched.size()))
        return tile_saveRefused(out, target, file_reason(r));
    file_syncFolder(target.c_str());
    out->picture = file_stamp(target.c_str());
    if (withText) {
        if (int r = file_write(save.text.c_str(), textPatched.data(), textPatched.size())) {
            out->line = "Map saved: " + target + ", but not " + save.text + ": " + file_reason(r) +
                        "; the two now disagree";
            return;  // ok stays false: the edits still count as unsaved
        }
        file_syncFolder(save.text.c_str());
        out->text = file_stamp(save.text.c_str());
    }
    out->ok = true;
    out->line = (save.recovery.empty() ? "Map saved: " : "Unsaved edits kept in ") + target + " (" +
                std::to_string(out->changed) + " cell" + (out->changed == 1 ? "" : "s") + " changed)" +
                (withText ? " and " + save.text : "");
}

void tile_saveMapBehind(const TileMapSave &save, TileMapSaved *out)
{
    setpriority(PRIO_PROCESS, (id_t)syscall(SYS_gettid), 10);
    tile_saveMap(save, out);
}
