// fuzz_png.cpp -- fuzz target: the PNG reader, as a texture picture and as a map's values
#include <stddef.h>
#include <stdint.h>

#include "fuzz_common.h"
#include "image.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_setup();
    return 0;
}

// The texture state comes from the file's last byte (the end chunk's CRC,
// which the reader never reads): bit 0 transparent, bit 1 automatic, bit 2
// soften, bits 3-5 the driver's largest texture, 64 to 4096.  The
// transparent colour is black.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    unsigned char flags = size ? data[size - 1] : 0;
    ImageSettings in = {};
    in.transparent = flags & 1;
    in.autoTransparent = (flags >> 1) & 1;
    in.soften = (flags >> 2) & 1;
    in.maxTextureSize = 64 << ((flags >> 3) & 7) % 7;

    ImageTexels out;
    ImageRefusal why;
    if (image_decodePng(data, size, &in, &out, &why)) {
        size_t texelBytes = out.hasAlpha ? 4 : 3;
        FUZZ_CHECK(out.width >= 1 && out.width <= out.texWidth && out.height >= 1 && out.height <= out.texHeight);
        FUZZ_CHECK(out.texWidth <= in.maxTextureSize && out.texHeight <= in.maxTextureSize);
        FUZZ_CHECK(out.texels.size() == (size_t)out.texWidth * out.texHeight * texelBytes);
    } else {
        FUZZ_CHECK(!why.reason.empty() && why.code <= ERROR_SIZE);
    }
    // A map's values, bounded as the map reader bounds them.
    std::vector<unsigned char> values;
    unsigned width = 0, height = 0;
    if (image_decodePngValues(data, size, 1u << 22, values, &width, &height, &why))
        FUZZ_CHECK(values.size() == (size_t)width * height && values.size() <= 1u << 22);
    else
        FUZZ_CHECK(!why.reason.empty());
    return 0;
}
