// image_png.cpp -- PNG pictures: encoding an RGB or RGBA pixel buffer
#include "image.h"

#include <stdio.h>


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
