// image_pcx.cpp -- decoding PCX files into texel buffers, with no window needed
#include "image.h"

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <exception>

#include "error.h"

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

// Decodes one run-length scan line of planes x bytesPerLine bytes starting
// at data[*pos], advancing *pos.  Of each plane it keeps the first `keep`
// bytes in row[plane * keep + x]; the rest of a line is dropped, and a run
// never carries over into the next line.  False when the file ended first.
static bool pcx_decodeLine(const unsigned char *data, size_t size, size_t *pos, unsigned planes,
                           unsigned bytesPerLine, unsigned keep, unsigned char *row)
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
        if ((c & 0xC0) == 0xC0) {
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

// Alpha of a texel becomes 255 x (opaque neighbours) / (neighbours inside
// the picture), in reading order, so the neighbours above and to the left
// count as already softened.
static void pcx_soften(unsigned char *texels, size_t texWidth, unsigned width, unsigned height)
{
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

// The texels right of and below the picture copy its nearest texel.
static void pcx_replicateEdges(ImageTexels *out, size_t texelBytes)
{
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

void image_decodePcx(const unsigned char *data, size_t size, const ImageSettings *in,
                     ImageTexels *out)
{
    static const unsigned char magic[4] = {10, 5, 1, 8};
    for (size_t i = 0; i < 4; i++)
        if (pcx_at(data, size, i) != magic[i])
            error(ERROR_FILE);

    // The sizes wrap in 16 bits like the fields they come from.
    unsigned short width = (unsigned short)(pcx_word(data, size, 8) - pcx_word(data, size, 4) + 1);
    unsigned short height = (unsigned short)(pcx_word(data, size, 10) - pcx_word(data, size, 6) + 1);
    if (width == 0 || height == 0)
        error(ERROR_FILE);
    unsigned short texWidth = image_powerOfTwo(width), texHeight = image_powerOfTwo(height);
    if (texWidth < width || texHeight < height)
        error(ERROR_FILE);
    if (texWidth > in->maxTextureSize || texHeight > in->maxTextureSize)
        error(ERROR_SIZE);
    unsigned planes = pcx_at(data, size, 65);
    if (planes != 1 && planes != 3)
        error(ERROR_FILE);
    // A line shorter than the picture cannot hold it, and a line of no
    // bytes would never end.
    unsigned bytesPerLine = pcx_word(data, size, 66);
    if (bytesPerLine < width)
        error(ERROR_FILE);

    bool transparent = in->transparent != 0;
    size_t texelBytes = transparent ? 4 : 3;
    if ((size_t)texWidth * texHeight > SIZE_MAX / texelBytes)
        error(ERROR_SIZE);
    std::vector<unsigned char> row;
    try {
        out->texels.assign((size_t)texWidth * texHeight * texelBytes, 0);
        row.assign((size_t)planes * width, 0);
    } catch (const std::exception &) {
        error(ERROR_MEMORY);
    }
    out->width = width;
    out->height = height;
    out->texWidth = texWidth;
    out->texHeight = texHeight;
    out->hasAlpha = transparent;
    out->tookColor = 0;
    out->missingRows = 0;
    out->colorR = out->colorG = out->colorB = 0;

    // A palette picture without its palette block shows index i as grey i.
    unsigned char palette[768];
    if (planes == 1 && size >= 769 && data[size - 769] == 12) {
        memcpy(palette, data + size - 768, 768);
    } else {
        for (int i = 0; i < 256; i++)
            palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = (unsigned char)i;
    }

    // Transparency of a palette picture goes by index: only the lowest
    // index of the transparent colour, or the top-left pixel's index.
    unsigned char tr = in->transparentR, tg = in->transparentG, tb = in->transparentB;
    unsigned transparentIndex = 65535;
    if (planes == 1 && transparent)
        for (unsigned i = 0; i < 256 && transparentIndex == 65535; i++)
            if (palette[3 * i] == tr && palette[3 * i + 1] == tg && palette[3 * i + 2] == tb)
                transparentIndex = i;
    bool taken = false;

    size_t pos = 128;
    for (unsigned y = 0; y < height; y++) {
        if (!pcx_decodeLine(data, size, &pos, planes, bytesPerLine, width, row.data()))
            out->missingRows++;
        unsigned char *t = &out->texels[(size_t)y * texWidth * texelBytes];
        for (unsigned x = 0; x < width; x++, t += texelBytes) {
            if (planes == 1) {
                unsigned index = row[x];
                memcpy(t, palette + 3 * index, 3);
                if (transparent) {
                    if (in->autoTransparent && !taken) {
                        transparentIndex = index;
                        taken = true;
                    }
                    t[3] = index == transparentIndex ? 0 : 255;
                }
            } else {
                t[0] = row[x];
                t[1] = row[width + x];
                t[2] = row[2 * width + x];
                if (transparent) {
                    if (in->autoTransparent && !taken) {
                        tr = t[0], tg = t[1], tb = t[2];
                        out->tookColor = 1;
                        out->colorR = tr, out->colorG = tg, out->colorB = tb;
                        taken = true;
                    }
                    t[3] = t[0] == tr && t[1] == tg && t[2] == tb ? 0 : 255;
                }
            }
        }
    }

    if (transparent && in->soften)
        pcx_soften(out->texels.data(), texWidth, width, height);
    pcx_replicateEdges(out, texelBytes);
}
