// pcx_encode.cpp -- writing 8-bit palette and 24-bit three-plane PCX pictures
#include "pcx_encode.h"

#include <stdio.h>
#include <sys/stat.h>

#include "file.h"

static void pcx_header(std::vector<unsigned char> &out, unsigned width, unsigned height,
                       unsigned planes, unsigned bytesPerLine)
{
    out.assign(128, 0);
    out[0] = 10;  // manufacturer
    out[1] = 5;   // version
    out[2] = 1;   // run-length encoding
    out[3] = 8;   // bits per pixel and plane
    unsigned xmax = width - 1, ymax = height - 1;
    out[8] = xmax & 0xFF;
    out[9] = (xmax >> 8) & 0xFF;
    out[10] = ymax & 0xFF;
    out[11] = (ymax >> 8) & 0xFF;
    out[12] = 72;  // resolution
    out[14] = 72;
    out[65] = (unsigned char)planes;
    out[66] = bytesPerLine & 0xFF;
    out[67] = (bytesPerLine >> 8) & 0xFF;
    out[68] = 1;  // palette info: colour
}

void pcx_packLine(std::vector<unsigned char> &out, const unsigned char *line, unsigned n)
{
    unsigned i = 0;
    while (i < n) {
        unsigned char v = line[i];
        unsigned run = 1;
        while (i + run < n && run < 63 && line[i + run] == v)
            run++;
        if (run > 1 || (v & 0xC0) == 0xC0)
            out.push_back((unsigned char)(0xC0 | run));
        out.push_back(v);
        i += run;
    }
}

static unsigned pcx_lineLength(unsigned width, unsigned bytesPerLine)
{
    return bytesPerLine ? bytesPerLine : (width + 1) & ~1u;
}

std::vector<unsigned char> pcx_encode8(unsigned width, unsigned height,
                                       const unsigned char *pixels,
                                       const unsigned char *palette,
                                       unsigned bytesPerLine)
{
    std::vector<unsigned char> out;
    unsigned bpl = pcx_lineLength(width, bytesPerLine);
    pcx_header(out, width, height, 1, bpl);
    std::vector<unsigned char> line(bpl, 0);
    for (unsigned y = 0; y < height; y++) {
        for (unsigned x = 0; x < bpl; x++)
            line[x] = x < width ? pixels[(size_t)y * width + x] : 0;
        pcx_packLine(out, line.data(), bpl);
    }
    if (palette) {
        out.push_back(12);
        out.insert(out.end(), palette, palette + 768);
    }
    return out;
}

std::vector<unsigned char> pcx_encode24(unsigned width, unsigned height,
                                        const unsigned char *rgb,
                                        unsigned bytesPerLine)
{
    std::vector<unsigned char> out;
    unsigned bpl = pcx_lineLength(width, bytesPerLine);
    pcx_header(out, width, height, 3, bpl);
    std::vector<unsigned char> line(3 * (size_t)bpl, 0);
    for (unsigned y = 0; y < height; y++) {
        for (unsigned p = 0; p < 3; p++)
            for (unsigned x = 0; x < bpl; x++)
                line[p * bpl + x] = x < width ? rgb[((size_t)y * width + x) * 3 + p] : 0;
        pcx_packLine(out, line.data(), 3 * bpl);
    }
    return out;
}

bool pcx_writeFile(const std::string &path, const std::vector<unsigned char> &bytes, int *result)
{
    int r = file_write(path.c_str(), bytes.data(), bytes.size());
    if (result)
        *result = r;
    return r == 0;
}

bool pcx_writeFileDirs(const std::string &path, const std::vector<unsigned char> &bytes, int *result)
{
    size_t slash = path.rfind('/');
    int made = slash && slash != std::string::npos ? file_makeFolders(path.substr(0, slash).c_str()) : 0;
    if (made && result)
        *result = made;  // the folder's own reason, not the file's ENOENT
    return !made && pcx_writeFile(path, bytes, result);
}

bool pcx_readFile(const std::string &path, std::vector<unsigned char> &bytes, int *result)
{
    int r = file_read(path.c_str(), FILE_WORLD_MAX, bytes);
    if (result)
        *result = r;
    return r == 0;
}

std::vector<unsigned char> pcx_encodeMap(unsigned width, unsigned depth, unsigned layers,
                                         const unsigned char *cells, unsigned across,
                                         std::vector<unsigned char> *pixelsOut,
                                         unsigned *pictureWidth, unsigned *pictureHeight)
{
    if (across == 0)
        across = 1;
    unsigned bands = (layers + across - 1) / across;
    if (bands == 0)
        bands = 1;
    unsigned bw = width + 2, bh = depth + 2;
    unsigned pw = across * bw, ph = bands * bh;
    std::vector<unsigned char> pixels((size_t)pw * ph, 255);
    for (unsigned band = 0; band < bands; band++)
        for (unsigned b = 0; b < across; b++) {
            unsigned layer = band * across + b;
            size_t ox = (size_t)b * bw, oy = (size_t)band * bh;
            for (unsigned r = 0; r < bh; r++)
                for (unsigned c = 0; c < bw; c++) {
                    bool edgeRow = r == 0 || r == bh - 1, edgeCol = c == 0 || c == bw - 1;
                    unsigned char v;
                    if (edgeRow && edgeCol)
                        v = 0;  // a corner must not read as part of an edge
                    else if (edgeRow || edgeCol)
                        v = 5;
                    else if (layer < layers)
                        v = cells[((size_t)layer * depth + (r - 1)) * width + (c - 1)];
                    else
                        v = 255;
                    pixels[(oy + r) * pw + ox + c] = v;
                }
        }
    if (pictureWidth)
        *pictureWidth = pw;
    if (pictureHeight)
        *pictureHeight = ph;
    unsigned char palette[768];
    for (int i = 0; i < 256; i++)
        palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = (unsigned char)i;
    std::vector<unsigned char> out = pcx_encode8(pw, ph, pixels.data(), palette);
    if (pixelsOut)
        pixelsOut->swap(pixels);
    return out;
}
