// image_pcx.cpp -- decoding PCX files of every kind into texel buffers, with no window needed
#include "image.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <exception>

#include "error.h"
#include "image_decode.h"

unsigned short image_powerOfTwo(unsigned short v)
{
    while (v & (v - 1))
        v++;  // past 32768 this wraps to 0, which callers take as too big
    return v;
}

// Bytes past the end of the file read as 255, as a stream at its end would.
static unsigned char pcx_at(const unsigned char *data, size_t size, size_t at)
{
    return at < size ? data[at] : 255;
}

static unsigned pcx_word(const unsigned char *data, size_t size, size_t at)
{
    return pcx_at(data, size, at) | (unsigned)pcx_at(data, size, at + 1) << 8;
}

// Stores value at line offsets [from, to) where they fall among the kept
// first `keep` bytes of a plane.
static void pcx_keep(unsigned char *row, unsigned planes, size_t bytesPerLine, size_t keep,
                     size_t from, size_t to, unsigned char value)
{
    for (size_t p = from / bytesPerLine; p < planes && p * bytesPerLine < to; p++) {
        size_t start = p * bytesPerLine;
        size_t lo = std::max(from, start), hi = std::min(to, start + keep);
        if (lo < hi)
            memset(row + p * keep + (lo - start), value, hi - lo);
    }
}

// Decodes one scan line of planes x bytesPerLine bytes starting at
// data[*pos], advancing *pos; run-length coded unless `raw`.  Of each plane
// it keeps the first `keep` bytes in row[plane * keep + x]; the rest of a
// line is dropped, and a run never carries over into the next line.  False
// when the file ended first.
static bool pcx_decodeLine(const unsigned char *data, size_t size, size_t *pos, unsigned planes,
                           unsigned bytesPerLine, unsigned keep, bool raw, unsigned char *row)
{
    size_t length = (size_t)planes * bytesPerLine, done = 0;
    keep = std::min(keep, bytesPerLine);
    while (done < length) {
        if (*pos >= size) {
            // Every byte from here on is 255: runs of 63 copies of 255.
            pcx_keep(row, planes, bytesPerLine, keep, done, length, 255);
            return false;
        }
        unsigned char c = data[(*pos)++];
        size_t count = 1;
        unsigned char value = c;
        if (!raw && (c & 0xC0) == 0xC0) {
            count = c & 0x3F;
            value = pcx_at(data, size, *pos);
            (*pos)++;
        }
        count = std::min(count, length - done);  // a run never carries into the next line
        pcx_keep(row, planes, bytesPerLine, keep, done, done + count, value);
        done += count;
    }
    return *pos <= size;  // a run's value byte past the end read as 255
}

void image_soften(unsigned char *texels, size_t texWidth, unsigned width, unsigned height)
{
    // Alpha becomes 255 x (opaque neighbours) / (neighbours inside the
    // picture), in reading order, so the neighbours above and to the left
    // count as already softened.
    for (unsigned y = 0; y < height; y++)
        for (unsigned x = 0; x < width; x++) {
            unsigned char *alpha = &texels[((size_t)y * texWidth + x) * 4 + 3];
            if (*alpha == 0)
                continue;
            unsigned n = 0, k = 0;
            for (int dy = -1; dy <= 1; dy++)
                for (int dx = -1; dx <= 1; dx++) {
                    long ny = (long)y + dy, nx = (long)x + dx;
                    if ((dx == 0 && dy == 0) || ny < 0 || nx < 0 || ny >= height || nx >= width)
                        continue;
                    n++;
                    if (texels[((size_t)ny * texWidth + (size_t)nx) * 4 + 3])
                        k++;
                }
            if (n)  // a lone texel has nobody to fade towards: it stays
                *alpha = (unsigned char)(255 * k / n);
        }
}

void image_replicateEdges(ImageTexels *out)
{
    size_t texelBytes = out->hasAlpha ? 4 : 3;
    unsigned char *t = out->texels.data();
    size_t rowBytes = out->texWidth * texelBytes;
    for (size_t y = 0; y < out->height; y++) {
        unsigned char *row = t + y * rowBytes;
        const unsigned char *last = row + (out->width - 1) * texelBytes;
        for (size_t x = out->width; x < out->texWidth; x++)
            memcpy(row + x * texelBytes, last, texelBytes);
    }
    const unsigned char *lastRow = t + (out->height - 1) * rowBytes;
    for (size_t y = out->height; y < out->texHeight; y++)
        memcpy(t + y * rowBytes, lastRow, rowBytes);
}

bool image_refuse(ImageRefusal *why, unsigned char code, const char *format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    why->code = code;
    why->reason = text;
    return false;
}

bool image_sizeTexels(unsigned width, unsigned height, const ImageSettings *in, bool rgba,
                      ImageTexels *out, ImageRefusal *why)
{
    if (width == 0 || height == 0)
        return image_refuse(why, ERROR_FILE, "a picture of %u x %u pixels has none", width, height);
    unsigned short texWidth = image_powerOfTwo((unsigned short)width);
    unsigned short texHeight = image_powerOfTwo((unsigned short)height);
    if (width > 32768 || height > 32768 || texWidth < width || texHeight < height)
        return image_refuse(why, ERROR_FILE, "%u x %u pixels is wider or taller than 32768",
                            width, height);
    if (texWidth > in->maxTextureSize || texHeight > in->maxTextureSize)
        return image_refuse(why, ERROR_SIZE, "%u x %u pixels needs a %u x %u texture, larger than "
                            "the largest this display holds (%d a side)", width, height, texWidth,
                            texHeight, in->maxTextureSize);
    size_t texelBytes = rgba ? 4 : 3;
    if ((size_t)texWidth * texHeight > SIZE_MAX / texelBytes)
        return image_refuse(why, ERROR_SIZE, "%u x %u pixels is too large for a texture", width, height);
    try {
        out->texels.assign((size_t)texWidth * texHeight * texelBytes, 0);
    } catch (const std::exception &) {
        return image_refuse(why, ERROR_MEMORY, "out of memory for %u x %u texels", texWidth, texHeight);
    }
    out->width = (unsigned short)width;
    out->height = (unsigned short)height;
    out->texWidth = texWidth;
    out->texHeight = texHeight;
    out->hasAlpha = rgba;
    out->ownAlpha = 0;
    out->tookColor = 0;
    out->colorR = out->colorG = out->colorB = 0;
    out->missingRows = 0;
    return true;
}

void image_keyColor(ImageKey *key, const ImageSettings *in, ImageTexels *out, unsigned char *t,
                    unsigned char alpha)
{
    if (!in->transparent) {
        if (out->hasAlpha)
            t[3] = alpha;
        return;
    }
    if (in->autoTransparent && !key->taken) {
        key->r = t[0], key->g = t[1], key->b = t[2];
        key->taken = true;
        out->tookColor = 1;
        out->colorR = t[0], out->colorG = t[1], out->colorB = t[2];
    }
    t[3] = t[0] == key->r && t[1] == key->g && t[2] == key->b ? 0 : alpha;
}

// The palette index of pixel x: packed bits of one plane, or one bit of
// each plane, the first plane the lowest bit.
static unsigned pcx_index(const unsigned char *row, unsigned keep, unsigned bits, unsigned planes,
                          unsigned x)
{
    if (planes == 1) {
        size_t bit = (size_t)x * bits;
        return (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
    }
    unsigned index = 0;
    for (unsigned p = 0; p < planes; p++)
        index |= ((row[p * keep + x / 8] >> (7 - x % 8)) & 1u) << p;
    return index;
}

static bool pcx_readable(unsigned bits, unsigned planes)
{
    return (planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8)) ||
           (bits == 1 && planes >= 2 && planes <= 4) || (bits == 8 && (planes == 3 || planes == 4));
}

// The colours of a palette picture: an 8-bit one takes the 256-colour
// block after the marker 12 at 769 bytes from the end (index i shows as
// grey i without one); the others take the header's 16 colours, a 1-bit
// picture black and white when both of its colours are alike.
static unsigned pcx_palette(const unsigned char *data, size_t size, unsigned bits, unsigned planes,
                            unsigned char palette[768])
{
    if (bits == 8) {
        if (size >= 769 && data[size - 769] == 12) {
            memcpy(palette, data + size - 768, 768);
        } else {
            for (int i = 0; i < 256; i++)
                palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = (unsigned char)i;
        }
        return 256;
    }
    for (size_t i = 0; i < 48; i++)
        palette[i] = pcx_at(data, size, 16 + i);
    unsigned colors = 1u << (bits * planes);
    if (colors == 2 && memcmp(palette, palette + 3, 3) == 0) {
        memset(palette, 0, 3);
        memset(palette + 3, 255, 3);
    }
    return colors;
}

bool image_decodePcx(const unsigned char *data, size_t size, const ImageSettings *in,
                     ImageTexels *out, ImageRefusal *why)
{
    unsigned version = pcx_at(data, size, 1), encoding = pcx_at(data, size, 2);
    unsigned bits = pcx_at(data, size, 3), planes = pcx_at(data, size, 65);
    if (pcx_at(data, size, 0) != 10)
        return image_refuse(why, ERROR_FILE, "neither a PCX nor a PNG picture");
    if (version > 5)
        return image_refuse(why, ERROR_FILE, "PCX version %u is not one tavo reads", version);
    if (encoding > 1)
        return image_refuse(why, ERROR_FILE, "PCX encoding %u is not one tavo reads", encoding);
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8)
        return image_refuse(why, ERROR_FILE, "%u-bit PCX is not a picture tavo reads", bits);

    // The sizes wrap in 16 bits like the fields they come from.
    unsigned width = (unsigned short)(pcx_word(data, size, 8) - pcx_word(data, size, 4) + 1);
    unsigned height = (unsigned short)(pcx_word(data, size, 10) - pcx_word(data, size, 6) + 1);
    bool trueColor = bits == 8 && planes >= 3, alphaPlane = bits == 8 && planes == 4;
    bool rgba = in->transparent || alphaPlane;
    if (!image_sizeTexels(width, height, in, rgba, out, why))
        return false;
    if (!pcx_readable(bits, planes))
        return image_refuse(why, ERROR_FILE, "%u-bit PCX with %u plane%s is not a picture tavo reads",
                            bits, planes, planes == 1 ? "" : "s");
    // A line shorter than the picture cannot hold it, and a line of no
    // bytes would never end.
    unsigned bytesPerLine = pcx_word(data, size, 66);
    unsigned keep = (unsigned)(((size_t)width * bits + 7) / 8);
    if (bytesPerLine < keep)
        return image_refuse(why, ERROR_FILE, "PCX lines of %u bytes cannot hold %u pixels",
                            bytesPerLine, width);
    std::vector<unsigned char> row;
    try {
        row.assign((size_t)planes * keep, 0);
    } catch (const std::exception &) {
        return image_refuse(why, ERROR_MEMORY, "out of memory for a line of %u bytes", keep);
    }
    out->ownAlpha = alphaPlane;
    char kind[48];
    snprintf(kind, sizeof kind, "PCX %u-bit x %u plane%s", bits, planes, planes == 1 ? "" : "s");
    out->kind = kind;

    unsigned char palette[768] = {};
    unsigned colors = trueColor ? 0 : pcx_palette(data, size, bits, planes, palette);
    // Transparency of a palette picture goes by index: only the lowest
    // index of the transparent colour, or the top-left pixel's index.
    unsigned transparentIndex = 65535;
    if (in->transparent)
        for (unsigned i = 0; i < colors && transparentIndex == 65535; i++)
            if (palette[3 * i] == in->transparentR && palette[3 * i + 1] == in->transparentG &&
                palette[3 * i + 2] == in->transparentB)
                transparentIndex = i;
    ImageKey key = {in->transparentR, in->transparentG, in->transparentB, false};

    size_t texelBytes = rgba ? 4 : 3, pos = 128;
    for (unsigned y = 0; y < height; y++) {
        if (!pcx_decodeLine(data, size, &pos, planes, bytesPerLine, keep, encoding == 0, row.data()))
            out->missingRows++;
        unsigned char *t = &out->texels[(size_t)y * out->texWidth * texelBytes];
        for (unsigned x = 0; x < width; x++, t += texelBytes) {
            if (trueColor) {
                t[0] = row[x];
                t[1] = row[keep + x];
                t[2] = row[2 * keep + x];
                image_keyColor(&key, in, out, t, alphaPlane ? row[3 * keep + x] : 255);
                continue;
            }
            unsigned index = pcx_index(row.data(), keep, bits, planes, x);
            memcpy(t, palette + 3 * index, 3);
            if (in->transparent) {
                if (in->autoTransparent && !key.taken) {
                    transparentIndex = index;
                    key.taken = true;
                }
                t[3] = index == transparentIndex ? 0 : 255;
            }
        }
    }

    if (in->transparent && in->soften)
        image_soften(out->texels.data(), out->texWidth, width, height);
    image_replicateEdges(out);
    return true;
}

bool image_isPng(const unsigned char *data, size_t size)
{
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return size >= 8 && memcmp(data, signature, 8) == 0;
}

bool image_decode(const unsigned char *data, size_t size, const ImageSettings *in,
                  ImageTexels *out, ImageRefusal *why)
{
    if (image_isPng(data, size))
        return image_decodePng(data, size, in, out, why);
    return image_decodePcx(data, size, in, out, why);
}
