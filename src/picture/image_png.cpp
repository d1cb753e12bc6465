// image_png.cpp -- PNG pictures: decoding any of them into texels or values, encoding an RGB or RGBA buffer
#include "image.h"

#include <stdio.h>
#include <string.h>

#include <exception>

#include "error.h"
#include "image_decode.h"

#include <png.h>

// Where libpng's output goes.  A failed append is only noted: an exception
// must not cross libpng's C frames.
struct ImagePngSink {
    std::vector<unsigned char> *out;
    bool failed;
};

static void image_pngAppend(png_structp png, png_bytep data, png_size_t size)
{
    auto *sink = static_cast<ImagePngSink *>(png_get_io_ptr(png));
    if (sink->failed)
        return;
    try {
        sink->out->insert(sink->out->end(), data, data + size);
    } catch (...) {
        sink->failed = true;
    }
}

static void image_pngFlush(png_structp) {}

bool image_encodePng(const unsigned char *pixels, unsigned width, unsigned height,
                     std::vector<unsigned char> &out, bool alpha)
{
    out.clear();
    if (width == 0 || height == 0 || width > IMAGE_PNG_MAX || height > IMAGE_PNG_MAX)
        return false;
    // libpng reports failures by longjmp: every object with a destructor is
    // made before setjmp, so nothing is skipped on the way back.
    std::vector<png_bytep> rows(height);
    ImagePngSink sink = {&out, false};
    for (unsigned y = 0; y < height; y++)
        rows[y] = const_cast<png_bytep>(pixels + (size_t)y * width * (alpha ? 4 : 3));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        return false;
    }
    png_set_write_fn(png, &sink, image_pngAppend, image_pngFlush);
    png_set_IHDR(png, info, width, height, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    if (sink.failed)
        out.clear();
    return !sink.failed;
}

// --- Reading -------------------------------------------------------------------
//
// libpng reports failures by longjmp.  The function that calls setjmp,
// png_run, holds no object with a destructor and changes no local after
// it: everything it fills lives in a PngRead made by its caller, and what
// could throw is caught before libpng's frames are crossed.

struct PngRead {
    const unsigned char *data;
    size_t size, pos;
    const ImageSettings *in;  // null: read values, not colours
    ImageTexels *texels;
    std::vector<unsigned char> *values;
    size_t maxPixels;
    unsigned width, height, passes, reads;
    bool ended, refused;
    ImageRefusal *why;
    char message[160];
    char kind[48];
};

static void png_readBytes(png_structp png, png_bytep out, png_size_t n)
{
    PngRead *r = static_cast<PngRead *>(png_get_io_ptr(png));
    if (n > r->size - r->pos) {
        r->ended = true;
        png_error(png, "the file ends");
    }
    memcpy(out, r->data + r->pos, n);
    r->pos += n;
}

static void png_fail(png_structp png, png_const_charp message)
{
    PngRead *r = static_cast<PngRead *>(png_get_error_ptr(png));
    snprintf(r->message, sizeof r->message, "%s", message);
    png_longjmp(png, 1);
}

static void png_warn(png_structp, png_const_charp) {}

static const char *png_typeName(int type)
{
    switch (type) {
    case PNG_COLOR_TYPE_GRAY:       return "grey";
    case PNG_COLOR_TYPE_GRAY_ALPHA: return "grey + alpha";
    case PNG_COLOR_TYPE_PALETTE:    return "palette";
    case PNG_COLOR_TYPE_RGB:        return "RGB";
    default:                        return "RGBA";
    }
}

// After the header: the transforms and the buffer rows go to.  False, with
// the refusal in r, when the picture is not to be read.
static bool png_prepare(png_structp png, png_infop info, PngRead *r) noexcept
{
    int type = png_get_color_type(png, info), depth = png_get_bit_depth(png, info);
    bool keyed = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    snprintf(r->kind, sizeof r->kind, "PNG %s %d-bit%s", png_typeName(type), depth,
             keyed ? " + transparency" : "");
    r->width = png_get_image_width(png, info);
    r->height = png_get_image_height(png, info);
    try {
        if (!r->in) {
            if (type != PNG_COLOR_TYPE_PALETTE && !(type == PNG_COLOR_TYPE_GRAY && depth <= 8))
                return image_refuse(r->why, ERROR_FILE, "%s is not a map picture: a map's pixels "
                                    "are tile types, an 8-bit palette or grey PNG", r->kind);
            if ((size_t)r->width * r->height > r->maxPixels)
                return image_refuse(r->why, ERROR_FILE, "%u x %u pixels is more than a map may "
                                    "hold (%zu)", r->width, r->height, r->maxPixels);
            if (type == PNG_COLOR_TYPE_PALETTE)
                png_set_packing(png);  // indices as they are, one byte each
            else
                png_set_expand_gray_1_2_4_to_8(png);
            // Rows grow with the data read, so a header claiming a huge
            // map costs nothing; an interlaced one needs all its rows at
            // once, which deflate (at most 1032 to 1) must have packed.
            r->values->clear();
            if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) {
                if ((double)r->width * r->height * depth / 8 > 1032.0 * r->size)
                    return image_refuse(r->why, ERROR_FILE, "%s of %u x %u pixels cannot be held in "
                                        "%zu bytes", r->kind, r->width, r->height, r->size);
                r->values->assign((size_t)r->width * r->height, 0);
            }
        } else {
            if (!image_sizeTexels(r->width, r->height, r->in, true, r->texels, r->why))
                return false;
            r->texels->kind = r->kind;
            png_set_expand(png);
            png_set_scale_16(png);
            png_set_gray_to_rgb(png);
            png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
        }
    } catch (const std::exception &) {
        return image_refuse(r->why, ERROR_MEMORY, "out of memory");
    }
    r->passes = (unsigned)png_set_interlace_handling(png);
    png_read_update_info(png, info);
    size_t rowBytes = (size_t)r->width * (r->in ? 4 : 1);
    if (png_get_rowbytes(png, info) != rowBytes)
        return image_refuse(r->why, ERROR_FILE, "%s gives rows of an unexpected length", r->kind);
    return true;
}

// Room for a map's row y; false, with the refusal, when memory runs out.
static bool png_growValues(PngRead *r, unsigned y) noexcept
{
    size_t need = ((size_t)y + 1) * r->width;
    try {
        if (r->values->size() < need)
            r->values->resize(need);
    } catch (const std::exception &) {
        image_refuse(r->why, ERROR_MEMORY, "out of memory for %u x %u pixels", r->width, r->height);
        return false;
    }
    return true;
}

static bool png_run(PngRead *r)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, r, png_fail, png_warn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        r->refused = true;
        snprintf(r->message, sizeof r->message, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, r, png_readBytes);
    // Picture data taken in small bites, so a file cut short tells how
    // many rows it holds.
    png_set_compression_buffer_size(png, 256);
    png_read_info(png, info);
    if (!png_prepare(png, info, r)) {
        r->refused = true;
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    for (unsigned pass = 0; pass < r->passes; pass++)
        for (unsigned y = 0; y < r->height; y++, r->reads++) {
            if (!r->in && !png_growValues(r, y)) {
                r->refused = true;
                png_destroy_read_struct(&png, &info, nullptr);
                return false;
            }
            png_bytep row = r->in ? &r->texels->texels[(size_t)y * r->texels->texWidth * 4]
                                  : &(*r->values)[(size_t)y * r->width];
            png_read_row(png, row, nullptr);
        }
    // What follows the last row is not needed.
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// Whether every chunk before the pixels lies within the file.  The
// library takes a chunk's memory as its length field claims before it
// reads the data, so a 67-byte file could have it ask for 400 MB; pixel
// data is read a bite at a time and is left to it, as is a file that is
// no PNG at all.
static bool png_headerFits(const unsigned char *data, size_t size)
{
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || memcmp(data, signature, 8) != 0)
        return true;
    for (size_t at = 8; size - at >= 8;) {
        const unsigned char *c = data + at;
        size_t length = (size_t)c[0] << 24 | (size_t)c[1] << 16 | (size_t)c[2] << 8 | c[3];
        if (memcmp(c + 4, "IDAT", 4) == 0)
            return true;
        if (length > size - at - 8 || size - at - 8 - length < 4)  // its data, then its check sum
            return false;
        at += 12 + length;
    }
    return true;
}

// Reads the picture; false with *why filled when refused.
static bool png_read(PngRead *r)
{
    if (!png_headerFits(r->data, r->size))
        return image_refuse(r->why, ERROR_FILE, "PNG ends inside its header");
    r->pos = 0;
    r->width = r->height = r->passes = r->reads = 0;
    r->ended = r->refused = false;
    r->message[0] = 0;
    snprintf(r->kind, sizeof r->kind, "PNG");
    if (png_run(r))
        return true;
    if (r->refused) {
        if (r->why->reason.empty())
            image_refuse(r->why, ERROR_MEMORY, "%s", r->message);
        return false;
    }
    unsigned rows = r->passes ? r->reads / r->passes : 0;
    bool short_ = r->ended || strcmp(r->message, "Not enough image data") == 0;
    if (short_ && r->passes)
        return image_refuse(r->why, ERROR_FILE, "PNG ends after %u of %u rows", rows, r->height);
    if (short_)
        return image_refuse(r->why, ERROR_FILE, "PNG ends inside its header");
    if (r->passes)
        return image_refuse(r->why, ERROR_FILE, "PNG is broken after %u of %u rows: %s", rows,
                            r->height, r->message);
    return image_refuse(r->why, ERROR_FILE, "PNG is broken: %s", r->message);
}

bool image_decodePng(const unsigned char *data, size_t size, const ImageSettings *in,
                     ImageTexels *out, ImageRefusal *why)
{
    PngRead r = {};
    r.data = data;
    r.size = size;
    r.in = in;
    r.texels = out;
    r.why = why;
    why->reason.clear();
    if (!png_read(&r))
        return false;

    // The picture's own alpha, then the colour key over it.
    unsigned char *t = out->texels.data();
    size_t texWidth = out->texWidth;
    for (unsigned y = 0; y < out->height; y++)
        for (unsigned x = 0; x < out->width; x++)
            if (t[((size_t)y * texWidth + x) * 4 + 3] != 255)
                out->ownAlpha = 1;
    out->hasAlpha = in->transparent || out->ownAlpha;
    ImageKey key = {in->transparentR, in->transparentG, in->transparentB, false};
    for (unsigned y = 0; y < out->height; y++)
        for (unsigned x = 0; x < out->width; x++) {
            unsigned char *p = &t[((size_t)y * texWidth + x) * 4];
            image_keyColor(&key, in, out, p, p[3]);
        }
    if (!out->hasAlpha) {
        // Opaque and no key: RGB, like the other pictures without alpha.
        size_t n = (size_t)texWidth * out->texHeight;
        for (size_t i = 0; i < n; i++)
            memmove(&t[i * 3], &t[i * 4], 3);
        out->texels.resize(n * 3);
    }
    if (in->transparent && in->soften)
        image_soften(out->texels.data(), texWidth, out->width, out->height);
    image_replicateEdges(out);
    return true;
}

bool image_decodePngValues(const unsigned char *data, size_t size, size_t maxPixels,
                           std::vector<unsigned char> &values, unsigned *width,
                           unsigned *height, ImageRefusal *why)
{
    PngRead r = {};
    r.data = data;
    r.size = size;
    r.values = &values;
    r.maxPixels = maxPixels;
    r.why = why;
    why->reason.clear();
    if (!png_read(&r))
        return false;
    *width = r.width;
    *height = r.height;
    return true;
}
