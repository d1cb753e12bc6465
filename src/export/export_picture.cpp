// export_picture.cpp -- the pictures an export writes: decoded without a window at their own size, and how their texels cover
#include "export_picture.h"

#include <string.h>

#include <vector>

#include "tile.h"

namespace {

// The largest picture side taken: as large as a PNG the export writes.
const int EXPORT_MAX_TEXTURE = IMAGE_PNG_MAX;

std::vector<ExportPicture> export_pictures;

// The padding the viewer's textures need is cut off.
void export_unpad(ImageTexels *t)
{
    const size_t channels = t->hasAlpha ? 4 : 3, row = (size_t)t->width * channels;
    for (size_t y = 1; y < t->height; y++)
        memmove(&t->texels[y * row], &t->texels[y * t->texWidth * channels], row);
    t->texels.resize(row * t->height);
    t->texels.shrink_to_fit();
    t->texWidth = t->width;
    t->texHeight = t->height;
}

bool export_loadPicture(void *, Image *image, const char *path, Refusal *why)
{
    ExportPicture p;
    ImageOutcome read = image_read(path, EXPORT_MAX_TEXTURE, &p.texels, why);
    if (read == IMAGE_REFUSED)
        return false;
    if (read == IMAGE_READ)
        image->hasAlpha = p.texels.hasAlpha;  // as image_load leaves it
    export_unpad(&p.texels);
    p.alpha = export_alphaKind(p.texels);
    image->width = image->texWidth = p.texels.width;
    image->height = image->texHeight = p.texels.height;
    export_pictures.push_back(std::move(p));
    image->textureId = (unsigned)export_pictures.size();
    return true;
}

bool export_createColor(void *, Image *image, unsigned short w, unsigned short h, unsigned char r,
                        unsigned char g, unsigned char b, Refusal *)
{
    ExportPicture p;
    p.color = true;
    p.r = r, p.g = g, p.b = b;
    image->width = image->texWidth = w;
    image->height = image->texHeight = h;
    export_pictures.push_back(std::move(p));
    image->textureId = (unsigned)export_pictures.size();
    return true;
}

}  // namespace

const ExportPicture *export_pictureOf(const Image *image)
{
    if (!image || image->textureId == 0 || image->textureId > export_pictures.size())
        return nullptr;
    return &export_pictures[image->textureId - 1];
}

// The name a picture goes by in the definition file, for the materials.
std::string export_nameOf(const Image *image, const TilePictureTable *table)
{
    if (image == &tile_dummy)
        return "stand-by";
    if (image == &tile_matrix)
        return "matrix";
    for (int i = 0; table && i < table->texCount; i++)
        if (&table->tex[i].image == image)
            return table->tex[i].name;
    return "picture";
}

// The picture's colour over its visible texels, for --flat.
void export_meanColor(const ExportPicture &p, float rgb[3])
{
    const ImageTexels &t = p.texels;
    const size_t channels = t.hasAlpha ? 4 : 3;
    double sum[3] = {0, 0, 0}, weight = 0;
    for (size_t i = 0; i + channels <= t.texels.size(); i += channels) {
        const unsigned char *px = &t.texels[i];
        double w = channels == 4 ? px[3] / 255.0 : 1.0;
        for (int c = 0; c < 3; c++)
            sum[c] += w * px[c];
        weight += w;
    }
    for (int c = 0; c < 3; c++)
        rgb[c] = weight > 0 ? (float)(sum[c] / weight / 255.0) : 1.0f;
}

ExportAlpha export_alphaKind(const ImageTexels &t)
{
    if (!t.hasAlpha)
        return EXPORT_OPAQUE;
    ExportAlpha kind = EXPORT_OPAQUE;
    for (size_t y = 0; y < t.height; y++)
        for (size_t x = 0; x < t.width; x++) {
            const size_t at = (y * t.texWidth + x) * 4 + 3;
            if (at >= t.texels.size())
                return kind;
            const unsigned char a = t.texels[at];
            if (a != 0 && a != 255)
                return EXPORT_BLEND;
            if (a == 0)
                kind = EXPORT_MASK;
        }
    return kind;
}

TileDefHooks export_pictureHooks(void)
{
    export_pictures.clear();
    return TileDefHooks{nullptr, export_loadPicture, export_createColor, nullptr};
}

