// tile_atlas.cpp -- free look's atlas textures: the layout from a cube table, the pages' upload, faces placed in them
#include "tile_atlas.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <mutex>

#include "gpu.h"
#include "texture.h"

namespace {

// Page textures no atlas holds.  Never destroyed: a chunk let go of at
// exit may still hand its atlas's pages in.
std::mutex &atlas_releaseLock = *new std::mutex;
std::vector<unsigned> &atlas_released = *new std::vector<unsigned>;

// A picture's texture as the atlas groups it.
struct AtlasKind {
    unsigned short texWidth, texHeight;
    unsigned char hasAlpha;
    bool operator==(const AtlasKind &o) const
    {
        return texWidth == o.texWidth && texHeight == o.texHeight && hasAlpha == o.hasAlpha;
    }
};

AtlasKind atlas_kind(const Image &image)
{
    return AtlasKind{image.texWidth, image.texHeight, image.hasAlpha};
}

bool atlas_fits(const Image &image, int maxSide)
{
    const int cw = image.texWidth + 2, ch = image.texHeight + 2;
    return image.textureId != 0 && image.texWidth > 0 && image.texHeight > 0 &&
           image.texWidth <= TILE_ATLAS_MAX_PICTURE && image.texHeight <= TILE_ATLAS_MAX_PICTURE &&
           2 * cw <= maxSide && 2 * ch <= maxSide;
}

// The pages of one kind: n textures in cells of (side + 2) texels, rows
// of as many cells as a page's width holds.
void atlas_pages(TileAtlas *a, const AtlasKind &kind, const std::vector<const Image *> &textures, int maxSide)
{
    const int cw = kind.texWidth + 2, ch = kind.texHeight + 2;
    const int columns = maxSide / cw, rows = maxSide / ch, perPage = columns * rows;
    const int n = (int)textures.size();
    for (int first = 0; first < n; first += perPage) {
        const int here = std::min(perPage, n - first);
        const int used[2] = {std::min(here, columns), (here + columns - 1) / columns};
        std::unique_ptr<Image> page(new Image{});
        page->width = page->texWidth = image_powerOfTwo((unsigned short)(used[0] * cw));
        page->height = page->texHeight = image_powerOfTwo((unsigned short)(used[1] * ch));
        page->hasAlpha = kind.hasAlpha;
        const int p = (int)a->pages.size();
        a->pages.push_back(std::move(page));
        for (int i = 0; i < here; i++) {
            const Image &t = *textures[(size_t)(first + i)];
            a->slots.push_back(TileAtlasSlot{p, (unsigned short)(i % columns * cw + 1),
                                             (unsigned short)(i / columns * ch + 1), t.textureId, t.texWidth,
                                             t.texHeight, t.hasAlpha});
        }
    }
}

}  // namespace

TileAtlas::~TileAtlas()
{
    std::lock_guard<std::mutex> l(atlas_releaseLock);
    for (const std::unique_ptr<Image> &page : pages)
        if (page->textureId)
            atlas_released.push_back(page->textureId);
}

std::shared_ptr<TileAtlas> tile_atlasLayout(const CubeDef *cubes, int maxSide)
{
    int side = 1;  // a power of two, as every page's sides
    while (side * 2 <= std::min(maxSide, (int)TILE_ATLAS_MAX_PAGE))
        side *= 2;
    maxSide = side;
    // The textures in the order the table first names them, by kind.
    std::vector<AtlasKind> kinds;
    std::vector<std::vector<const Image *>> textures;
    std::vector<const Image *> pictures;
    std::unordered_map<unsigned, std::pair<int, int>> placed;  // texture: kind, index in it
    std::vector<std::pair<int, int>> where;                   // a picture's, as placed
    for (int t = 0; t < 256; t++)
        for (int f = 0; f < 6; f++) {
            const TextureEntry *e = cubes[t].faceTexture[f];
            if (!e || !atlas_fits(e->image, maxSide) ||
                std::find(pictures.begin(), pictures.end(), &e->image) != pictures.end())
                continue;
            auto found = placed.find(e->image.textureId);
            if (found == placed.end()) {
                const AtlasKind kind = atlas_kind(e->image);
                const int k = (int)(std::find(kinds.begin(), kinds.end(), kind) - kinds.begin());
                if (k == (int)kinds.size())
                    kinds.push_back(kind), textures.emplace_back();
                textures[(size_t)k].push_back(&e->image);
                found = placed.emplace(e->image.textureId, std::make_pair(k, (int)textures[(size_t)k].size() - 1)).first;
            } else if (!(atlas_kind(*textures[(size_t)found->second.first][0]) == atlas_kind(e->image))) {
                continue;  // one texture, told of as two sizes: left alone
            }
            pictures.push_back(&e->image);
            where.push_back(found->second);
        }
    std::shared_ptr<TileAtlas> a = std::make_shared<TileAtlas>();
    std::vector<int> firstSlot(kinds.size(), -1);
    for (size_t k = 0; k < kinds.size(); k++)
        if (textures[k].size() > 1) {  // one picture gains nothing
            firstSlot[k] = (int)a->slots.size();
            atlas_pages(a.get(), kinds[k], textures[k], maxSide);
        }
    for (size_t i = 0; i < pictures.size(); i++)
        if (firstSlot[(size_t)where[i].first] >= 0)
            a->slotOf[pictures[i]] = firstSlot[(size_t)where[i].first] + where[i].second;
    if (a->slots.empty())
        return nullptr;
    return a;
}

bool TileAtlas::place(TileFace *face) const
{
    if (face->repeat != TEXTURE_CLAMP || face->state.a < 255)
        return false;
    auto found = slotOf.find(face->state.image);
    if (found == slotOf.end())
        return false;
    for (int i = 0; i < face->count; i++)
        for (int k = 3; k < 5; k++)
            if (!(face->corner[i][k] >= 0.0f && face->corner[i][k] <= 1.0f))
                return false;
    const TileAtlasSlot &s = slots[(size_t)found->second];
    const Image &page = *pages[(size_t)s.page];
    const float scale[2] = {(float)s.texWidth / page.texWidth, (float)s.texHeight / page.texHeight};
    const float at[2] = {(float)s.x / page.texWidth, (float)s.y / page.texHeight};
    for (int i = 0; i < face->count; i++)
        for (int k = 0; k < 2; k++)
            face->corner[i][3 + k] = at[k] + face->corner[i][3 + k] * scale[k];
    face->state.image = &page;
    return true;
}

void TileAtlasSink::face(const TileFace &face)
{
    TileFace placed = face;
    out_->face(atlas_ && atlas_->place(&placed) ? placed : face);
}

int tile_atlasFewest = 16;

bool tile_atlasWorth(const TileAtlas &a, const TileSnapshot &s, const TileBlock &cells)
{
    bool types[256] = {};
    for (int y = cells.y0; y < cells.y1; y++)
        for (int z = cells.z0; z < cells.z1; z++)
            for (int x = cells.x0; x < cells.x1; x++)
                types[s.at(x, y, z)] = true;
    std::vector<char> shown(a.slots.size(), 0);
    int n = 0;
    for (int t = 0; t < 256 && s.tables; t++)
        for (int f = 0; f < 6 && types[t] && t != TILE_EMPTY; f++) {
            const TextureEntry *e = s.tables->cubes[t].faceTexture[f];
            auto found = e ? a.slotOf.find(&e->image) : a.slotOf.end();
            if (found == a.slotOf.end() || shown[(size_t)found->second])
                continue;
            shown[(size_t)found->second] = 1;
            if (++n > tile_atlasFewest)
                return true;
        }
    return false;
}

void tile_atlasMap(const TileAtlas *from, const TileAtlas *to, std::map<const Image *, const Image *> *map)
{
    if (!from || !to)
        return;
    std::vector<char> stands(from->pages.size(), 0);
    for (size_t p = 0; p < from->pages.size() && p < to->pages.size(); p++) {
        const Image &a = *from->pages[p], &b = *to->pages[p];
        stands[p] = a.texWidth == b.texWidth && a.texHeight == b.texHeight && a.hasAlpha == b.hasAlpha;
    }
    // Each picture mapped must lie in the same place of the same page.
    for (const auto &pic : from->slotOf) {
        auto mapped = map->find(pic.first);
        if (mapped == map->end())
            continue;
        const TileAtlasSlot &s = from->slots[(size_t)pic.second];
        auto there = to->slotOf.find(mapped->second);
        const TileAtlasSlot *t = there == to->slotOf.end() ? nullptr : &to->slots[(size_t)there->second];
        if (!t || t->page != s.page || t->x != s.x || t->y != s.y)
            stands[(size_t)s.page] = 0;
    }
    for (size_t p = 0; p < stands.size(); p++)
        if (stands[p])
            (*map)[from->pages[p].get()] = to->pages[p].get();
}

// ---- OpenGL, on the drawing thread ----

bool tile_atlasUpload(TileAtlas *a)
{
    gpu_clearErrors();  // what came before is not the upload's
    std::vector<std::vector<unsigned char>> texels(a->pages.size());
    for (size_t p = 0; p < a->pages.size(); p++)
        texels[p].assign((size_t)a->pages[p]->texWidth * a->pages[p]->texHeight * 4, 0);
    std::vector<unsigned char> picture;
    for (const TileAtlasSlot &s : a->slots) {
        const int w = s.texWidth, h = s.texHeight, pageWidth = a->pages[(size_t)s.page]->texWidth;
        picture.assign((size_t)w * h * 4, 0);
        gpu_bindTexture(s.textureId);
        gpu_textureRead(picture.data());
        // The texture and a border of one texel copying its edge.
        unsigned char *page = texels[(size_t)s.page].data();
        for (int y = -1; y <= h; y++)
            for (int x = -1; x <= w; x++) {
                const int fx = std::min(std::max(x, 0), w - 1), fy = std::min(std::max(y, 0), h - 1);
                memcpy(&page[((size_t)(s.y + y) * pageWidth + (size_t)(s.x + x)) * 4],
                       &picture[((size_t)fy * w + (size_t)fx) * 4], 4);
            }
    }
    bool ok = true;
    for (size_t p = 0; p < a->pages.size(); p++) {
        Image &page = *a->pages[p];
        page.textureId = gpu_textureCreate();
        texture_forgetTexture(page.textureId);
        gpu_bindTexture(page.textureId);
        gpu_textureUploadRgba(page.texWidth, page.texHeight, page.hasAlpha, texels[p].data());
    }
    texture_forget();  // bound here, behind the texture state's back
    if (gpu_failed()) {
        ok = false;
        for (std::unique_ptr<Image> &page : a->pages)
            if (page->textureId) {
                gpu_textureDelete(page->textureId);
                page->textureId = 0;
            }
    }
    return ok;
}

void tile_atlasRelease(void)
{
    std::vector<unsigned> ids;
    {
        std::lock_guard<std::mutex> l(atlas_releaseLock);
        ids.swap(atlas_released);
    }
    for (unsigned id : ids) {
        texture_forgetTexture(id);
        gpu_textureDelete(id);
    }
}

int tile_atlasUse = -1;

namespace {

std::weak_ptr<const TileTables> atlas_tables;  // what the atlas kept was made for
std::shared_ptr<const TileAtlas> atlas_kept;
bool atlas_made;

// Whether every picture of the atlas still has the texture it was filled from.
bool atlas_current(const TileAtlas &a)
{
    for (const auto &pic : a.slotOf) {
        const TileAtlasSlot &s = a.slots[(size_t)pic.second];
        const Image &i = *pic.first;
        if (i.textureId != s.textureId || i.texWidth != s.texWidth || i.texHeight != s.texHeight ||
            i.hasAlpha != s.hasAlpha)
            return false;
    }
    return true;
}

}  // namespace

std::shared_ptr<const TileAtlas> tile_atlasFor(const std::shared_ptr<const TileTables> &tables, bool *remade)
{
    *remade = false;
    tile_atlasRelease();
    if (tile_atlasUse < 0) {
        const char *off = getenv("TAVO_NO_ATLAS");
        tile_atlasUse = !(off && *off);
    }
    if (!tile_atlasUse || !tables)
        return nullptr;
    const bool same = atlas_made && atlas_tables.lock() == tables;
    if (same && (!atlas_kept || atlas_current(*atlas_kept)))
        return atlas_kept;
    *remade = same;
    std::shared_ptr<TileAtlas> a = tile_atlasLayout(tables->cubes, gpu_maxTextureSide());
    if (a && !tile_atlasUpload(a.get()))
        a.reset();  // no room: every picture drawn from its own texture
    atlas_kept = a;
    atlas_tables = tables;
    atlas_made = true;
    return atlas_kept;
}
