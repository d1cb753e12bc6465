// fuzz_pcx.cpp -- fuzz target: the PCX texture decoder on a whole file
#include <stddef.h>
#include <stdint.h>

#include "fuzz_common.h"
#include "image.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_setup();
    return 0;
}

// The texture state comes from header bytes 12 to 15 (the resolution, which
// the decoder never reads), so every combination is reached with the file
// itself: bit 0 transparent, bit 1 automatic, bit 2 soften, bits 3-5 the
// driver's largest texture, 64 to 4096; bytes 13-15 the transparent colour.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    unsigned char flags = size > 12 ? data[12] : 0;
    ImageSettings in = {};
    in.transparent = flags & 1;
    in.autoTransparent = (flags >> 1) & 1;
    in.soften = (flags >> 2) & 1;
    in.transparentR = size > 13 ? data[13] : 0;
    in.transparentG = size > 14 ? data[14] : 0;
    in.transparentB = size > 15 ? data[15] : 0;
    in.maxTextureSize = 64 << ((flags >> 3) & 7) % 7;

    ImageTexels out;
    ImageRefusal why;
    if (!image_decodePcx(data, size, &in, &out, &why)) {
        FUZZ_CHECK(!why.reason.empty() && why.code <= ERROR_SIZE);
        return 0;
    }
    // What the upload relies on: a padded power-of-two buffer of the right size.
    size_t texelBytes = out.hasAlpha ? 4 : 3;
    FUZZ_CHECK(out.width >= 1 && out.width <= out.texWidth);
    FUZZ_CHECK(out.height >= 1 && out.height <= out.texHeight);
    FUZZ_CHECK((out.texWidth & (out.texWidth - 1)) == 0 && (out.texHeight & (out.texHeight - 1)) == 0);
    FUZZ_CHECK(out.texWidth <= in.maxTextureSize && out.texHeight <= in.maxTextureSize);
    FUZZ_CHECK(out.texels.size() == (size_t)out.texWidth * out.texHeight * texelBytes);
    return 0;
}
