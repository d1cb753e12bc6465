// image.cpp -- image records as OpenGL textures: loading, solid colours, upload, drawing
#include "image.h"

#include <errno.h>
#include <stdio.h>

#include <exception>
#include <utility>

#include "camera.h"
#include "error.h"
#include "file.h"
#include "gpu.h"
#include "texture.h"

// The driver's largest side, but no more than the viewer takes: a larger
// picture would hold gigabytes and freeze the view while it uploads.
int image_maxTextureSize(void)
{
    int size = gpu_maxTextureSide();
    return size < IMAGE_MAX_SIDE ? size : IMAGE_MAX_SIDE;
}

// Shared by pictures and solid colours; the texture stays bound.
static void image_upload(Image *image, const unsigned char *texels, bool rgba)
{
    image->textureId = gpu_textureCreate();
    // A name may come back after a delete: what the cache knew of it is old.
    texture_forgetTexture(image->textureId);
    gpu_bindTexture(image->textureId);
    gpu_textureFilter(texture_getSmooth());
    gpu_textureUpload(image->texWidth, image->texHeight, rgba, texels);
}

ImageSettings image_settings(int maxTextureSize)
{
    ImageSettings settings;
    settings.transparent = texture_getTransparent();
    settings.autoTransparent = texture_getAutoTransparent();
    settings.soften = texture_getSoften();
    settings.transparentR = texture_getTransparentRed();
    settings.transparentG = texture_getTransparentGreen();
    settings.transparentB = texture_getTransparentBlue();
    settings.maxTextureSize = maxTextureSize;
    return settings;
}

bool image_solid(unsigned short width, unsigned short height, unsigned char r, unsigned char g,
                 unsigned char b, int maxTextureSize, ImageTexels *out, Refusal *why)
{
    out->width = width;
    out->height = height;
    out->texWidth = image_powerOfTwo(width);
    out->texHeight = image_powerOfTwo(height);
    out->hasAlpha = 0;
    out->tookColor = 0;
    out->missingRows = 0;
    if (out->texWidth < width || out->texHeight < height || out->texWidth > maxTextureSize ||
        out->texHeight > maxTextureSize)
        return error_refuse(why, ERROR_SIZE, "", error_reason(ERROR_SIZE));
    try {
        out->texels.resize((size_t)out->texWidth * out->texHeight * 3);
    } catch (const std::exception &) {
        return error_refuse(why, ERROR_MEMORY, "", error_reason(ERROR_MEMORY));
    }
    // The whole texture, not just the picture, so a stretched texture shows
    // the colour everywhere.
    for (size_t i = 0; i < out->texels.size(); i += 3) {
        out->texels[i] = r;
        out->texels[i + 1] = g;
        out->texels[i + 2] = b;
    }
    return true;
}

ImageOutcome image_read(const char *path, int maxTextureSize, ImageTexels *out, Refusal *why)
{
    std::vector<unsigned char> bytes;
    int result = file_read(path, IMAGE_MAX_FILE, bytes);
    if (result == ENOMEM || result == FILE_TOO_LARGE) {
        error_refuse(why, result == ENOMEM ? ERROR_MEMORY : ERROR_FILE, path, file_reason(result));
        return IMAGE_REFUSED;
    }
    if (result) {
        // Whatever stands in the way (nothing, a folder, a FIFO, a device,
        // no permission), the picture is missing: the stand-by one shows.
        fputs("ERROR: File not found, replacing with dummy file\n", stdout);
        error_report(path, file_reason(result));
        error_pause();
        if (!image_solid(4, 4, 0, 0, 255, maxTextureSize, out, why)) {
            why->path = path;
            return IMAGE_REFUSED;
        }
        return IMAGE_STAND_BY;
    }

    ImageSettings settings = image_settings(maxTextureSize);
    if (!image_decode(bytes.data(), bytes.size(), &settings, out, why)) {
        why->path = path;
        return IMAGE_REFUSED;
    }
    // A true-colour picture's own transparent colour stays for later pictures.
    if (out->tookColor)
        texture_transparentColor(out->colorR, out->colorG, out->colorB);
    return IMAGE_READ;
}

void image_mean(const ImageTexels &texels, unsigned char out[4])
{
    const size_t step = texels.hasAlpha ? 4 : 3, pixels = (size_t)texels.width * texels.height;
    unsigned long long sum[4] = {0, 0, 0, 0};
    if (pixels == 0 || texels.texels.size() < (size_t)texels.texWidth * texels.texHeight * step ||
        texels.width > texels.texWidth || texels.height > texels.texHeight) {
        out[0] = out[1] = out[2] = out[3] = 0;
        return;
    }
    for (size_t y = 0; y < texels.height; y++) {
        const unsigned char *t = &texels.texels[y * texels.texWidth * step];
        for (size_t x = 0; x < texels.width; x++, t += step) {
            const unsigned a = texels.hasAlpha ? t[3] : 255;
            for (int c = 0; c < 3; c++)
                sum[c] += (unsigned long long)t[c] * a;
            sum[3] += a;
        }
    }
    for (int c = 0; c < 3; c++)
        out[c] = (unsigned char)((sum[c] + pixels * 255 / 2) / (pixels * 255));
    out[3] = (unsigned char)((sum[3] + pixels / 2) / pixels);
}

static void image_uploadTexels(Image *image, const ImageTexels &texels)
{
    image->width = texels.width;
    image->height = texels.height;
    image->texWidth = texels.texWidth;
    image->texHeight = texels.texHeight;
    image_mean(texels, image->mean);
    image_upload(image, texels.texels.data(), texels.hasAlpha != 0);
}

ImageOutcome image_load(Image *image, const char *path, Refusal *why)
{
    ImageTexels texels;
    ImageOutcome read = image_read(path, image_maxTextureSize(), &texels, why);
    if (read == IMAGE_REFUSED)
        return read;
    // The stand-by picture, as a colour square, leaves hasAlpha as it is.
    if (read == IMAGE_READ)
        image->hasAlpha = texels.hasAlpha;
    image_uploadTexels(image, texels);
    return read;
}

void image_loadDecoded(Image *image, const ImageTexels &texels)
{
    if (texels.tookColor)
        texture_transparentColor(texels.colorR, texels.colorG, texels.colorB);
    image->hasAlpha = texels.hasAlpha;
    image_uploadTexels(image, texels);
}

bool image_create(Image *image, unsigned short width, unsigned short height,
                  unsigned char r, unsigned char g, unsigned char b, Refusal *why)
{
    ImageTexels texels;
    if (!image_solid(width, height, r, g, b, image_maxTextureSize(), &texels, why))
        return false;
    image_uploadTexels(image, texels);
    return true;
}

void image_draw(const Image *image, short x, short y, bool flipX, bool flipY)
{
    if (PH <= 0.0f)
        return;  // no window height yet: nothing to draw in
    camera_2D();
    texture_set(image);
    // Overlay units are window heights.
    float left = x / PH, top = y / PH;
    float right = left + image->width / PH, bottom = top + image->height / PH;
    float s0 = 0.0f, s1 = image->texWidth ? (float)image->width / image->texWidth : 0.0f;
    float t0 = 0.0f, t1 = image->texHeight ? (float)image->height / image->texHeight : 0.0f;
    if (flipX)
        std::swap(s0, s1);
    if (flipY)
        std::swap(t0, t1);
    gpu_begin(GPU_QUADS);
    gpu_texCoord(s0, t0);
    gpu_vertex2(left, top);
    gpu_texCoord(s0, t1);
    gpu_vertex2(left, bottom);
    gpu_texCoord(s1, t1);
    gpu_vertex2(right, bottom);
    gpu_texCoord(s1, t0);
    gpu_vertex2(right, top);
    gpu_end();
    camera_3D();
}

void image_destroy(Image *image)
{
    // Deleting the bound texture binds the default one.
    texture_forgetTexture(image->textureId);
    gpu_textureDelete(image->textureId);
}
