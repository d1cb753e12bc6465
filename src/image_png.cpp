// image_png.cpp -- PNG pictures: encoding an RGB pixel buffer, and putting a finished file in place
#include "image.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <string>

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

bool image_encodePng(const unsigned char *rgb, unsigned width, unsigned height,
                     std::vector<unsigned char> &out)
{
    out.clear();
    if (width == 0 || height == 0 || width > IMAGE_PNG_MAX || height > IMAGE_PNG_MAX)
        return false;
    // libpng reports failures by longjmp: every object with a destructor is
    // made before setjmp, so nothing is skipped on the way back.
    std::vector<png_bytep> rows(height);
    ImagePngSink sink = {&out, false};
    for (unsigned y = 0; y < height; y++)
        rows[y] = const_cast<png_bytep>(rgb + (size_t)y * width * 3);
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
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    if (sink.failed)
        out.clear();
    return !sink.failed;
}

// A temporary name beside path that no other thread or process of ours uses.
static std::string image_tempName(const std::string &path)
{
    static std::atomic<unsigned> count{0};
    return path + "." + std::to_string((long)getpid()) + "-" + std::to_string(count++) + ".tmp";
}

static bool image_writeAll(int fd, const std::vector<unsigned char> &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += (size_t)n;
    }
    return true;
}

// Moves temp onto path only when path is free, in one step, so that two
// writers can never both take the same name.
static int image_placeNew(const std::string &temp, const std::string &path)
{
    if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the no-replace rename: a hard link fails just
    // the same on a taken name.
    if (link(temp.c_str(), path.c_str()) != 0)
        return errno;
    unlink(temp.c_str());
    return 0;
}

int image_writeFile(const std::string &path, const std::vector<unsigned char> &bytes, bool replace)
{
    std::string temp;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; tries++) {
        temp = image_tempName(path);
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;
    errno = 0;
    int err = image_writeAll(fd, bytes) ? 0 : (errno ? errno : EIO);
    if (close(fd) != 0 && !err)
        err = errno;
    if (!err)
        err = replace ? (rename(temp.c_str(), path.c_str()) == 0 ? 0 : errno)
                      : image_placeNew(temp, path);
    if (err)
        unlink(temp.c_str());
    return err;
}
