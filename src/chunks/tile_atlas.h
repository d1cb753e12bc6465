// tile_atlas.h -- free look's atlas textures: small pictures of one size packed into few textures, so a chunk draws in few runs
#ifndef TAVO_TILE_ATLAS_H
#define TAVO_TILE_ATLAS_H

#include <map>
#include <memory>
#include <unordered_map>
#include <vector>
#include "tile_walk.h"
#include "tile_world.h"

// A chunk of many pictures would bind each and draw each apart; in an
// atlas the pictures whose textures share a size and an alpha channel lie
// side by side in one texture, and a face that shows one picture once
// (clamped, coordinates within 0..1) is drawn from its place there.  A
// face that repeats its picture keeps its own texture, and so does a
// translucent one: translucent faces keep the walk's order from picture
// to picture, which one run of many pictures would sort by facing.
//
// Each picture's whole texture sits in a cell with a border of one texel
// around it that copies its edge texels: what clamping to the edge samples,
// under nearest and linear filtering alike, so the faces show the pixels
// their own texture shows.
struct TileAtlasSlot {
    int page;
    unsigned short x, y;       // the texture's top-left texel in the page, inside the border
    unsigned textureId;        // the picture's texture the slot was filled from
    unsigned short texWidth, texHeight;
    unsigned char hasAlpha;
};
struct TileAtlas {
    // Each page an Image of its own (texWidth x texHeight texels, RGBA when
    // its pictures have alpha); its texture is made by tile_atlasUpload.
    std::vector<std::unique_ptr<Image>> pages;
    std::vector<TileAtlasSlot> slots;
    // The slot each picture lies in; pictures that share a texture share it.
    std::unordered_map<const Image *, int> slotOf;
    TileAtlas() = default;
    TileAtlas(const TileAtlas &) = delete;
    TileAtlas &operator=(const TileAtlas &) = delete;
    // The pages' textures go to the drawing thread's next tile_atlasRelease.
    ~TileAtlas();
    // Points a face at its picture's place in the atlas; false (the face
    // untouched) when it keeps its own picture.
    bool place(TileFace *face) const;
};

// Pictures whose sides (with the border) exceed this keep their own texture.
enum { TILE_ATLAS_MAX_PICTURE = 256, TILE_ATLAS_MAX_PAGE = 2048 };

// Where the pictures of a cube table go, pages at most maxSide texels a
// side: in the order the table first names their textures, grouped by
// texture size and alpha channel; a group of one picture, a texture 0 or
// a picture too large for a page is left out.  Null when nothing is left.
// No OpenGL: the layout is the table's alone.
std::shared_ptr<TileAtlas> tile_atlasLayout(const CubeDef *cubes, int maxSide);

// Fills the pages from the pictures' textures and uploads them.  False
// (no page made) when the driver has no room.  Drawing thread only.
bool tile_atlasUpload(TileAtlas *atlas);

// Deletes the textures of atlases no longer held.  Drawing thread only.
void tile_atlasRelease(void);

// The atlas free look builds the chunks of tables with (null: none), made
// and uploaded on first use and kept while tables stay and their pictures
// keep their textures.  *remade is set when the tables stayed but a picture
// of the atlas held before was given another texture: chunks built with
// that one show old pixels.  Drawing thread only.  tile_atlasUse: -1
// decided at first use (off when TAVO_NO_ATLAS is set in the environment),
// 0 off, 1 on.
extern int tile_atlasUse;
std::shared_ptr<const TileAtlas> tile_atlasFor(const std::shared_ptr<const TileTables> &tables, bool *remade);

// Whether the chunk of snapshot s made of cells shows more pictures of the
// atlas than tile_atlasFewest (16 unless changed): a chunk of few pictures
// draws them from their own textures, in runs ordered as the walk met
// them, which hides more behind its first faces than one run of all.
extern int tile_atlasFewest;
bool tile_atlasWorth(const TileAtlas &atlas, const TileSnapshot &s, const TileBlock &cells);

// Adds to map the pages of from that stand, slot for slot, as pages of to
// for the pictures map already maps: chunks built with from draw the same
// faces with to's pages.
void tile_atlasMap(const TileAtlas *from, const TileAtlas *to, std::map<const Image *, const Image *> *map);

// A sink that places each face in the atlas, when it goes there, before
// passing it on.
class TileAtlasSink : public TileSink {
public:
    TileAtlasSink(TileSink *out, const TileAtlas *atlas) : out_(out), atlas_(atlas) {}
    void face(const TileFace &face) override;
    void cull(bool doubleSided) override { out_->cull(doubleSided); }

private:
    TileSink *out_;
    const TileAtlas *atlas_;
};

#endif
