// texgen_pictures.cpp -- the pictures the tools draw: the demo world's textures and the two system pictures
#include "texgen_pictures.h"

#include <math.h>
#include <string.h>

#include "pcx_encode.h"

struct Rgb {
    unsigned char r, g, b;
};

// An 8-bit picture: palette indices and the 256-entry palette.
struct Indexed {
    unsigned width, height;
    std::vector<unsigned char> pixels;
    unsigned char palette[768];
    Indexed(unsigned w, unsigned h) : width(w), height(h), pixels((size_t)w * h, 0)
    {
        memset(palette, 0, sizeof palette);
    }
    unsigned char &at(unsigned x, unsigned y) { return pixels[(size_t)y * width + x]; }
    void setColor(unsigned index, Rgb c)
    {
        palette[3 * index] = c.r;
        palette[3 * index + 1] = c.g;
        palette[3 * index + 2] = c.b;
    }
    // Entries first..first+count-1 shade evenly from dark to light.
    void setRamp(unsigned first, unsigned count, Rgb dark, Rgb light)
    {
        for (unsigned i = 0; i < count; i++) {
            float t = count > 1 ? (float)i / (float)(count - 1) : 0.0f;
            setColor(first + i, {(unsigned char)(dark.r + (light.r - dark.r) * t),
                                 (unsigned char)(dark.g + (light.g - dark.g) * t),
                                 (unsigned char)(dark.b + (light.b - dark.b) * t)});
        }
    }
};

// A 24-bit picture.
struct Truecolor {
    unsigned width, height;
    std::vector<unsigned char> rgb;
    Truecolor(unsigned w, unsigned h) : width(w), height(h), rgb((size_t)w * h * 3, 0) {}
    void set(unsigned x, unsigned y, Rgb c)
    {
        unsigned char *p = &rgb[((size_t)y * width + x) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
};

// Repeatable noise, 0 to 255, so that the pictures are the same on every build.
static unsigned texgen_noise(unsigned x, unsigned y, unsigned seed)
{
    unsigned h = x * 374761393u + y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return (h ^ (h >> 16)) & 0xFF;
}

static unsigned char texgen_clamp(float v)
{
    return v < 0.0f ? 0 : v > 255.0f ? 255 : (unsigned char)v;
}

static Rgb texgen_shade(Rgb c, float factor, float add = 0.0f)
{
    return {texgen_clamp(c.r * factor + add), texgen_clamp(c.g * factor + add),
            texgen_clamp(c.b * factor + add)};
}

static std::vector<unsigned char> texgen_encode(Indexed &p)
{
    return pcx_encode8(p.width, p.height, p.pixels.data(), p.palette);
}

static std::vector<unsigned char> texgen_encode(Truecolor &p)
{
    return pcx_encode24(p.width, p.height, p.rgb.data());
}

// Bricks in a running bond, 8-bit: mortar is entry 1, the bricks 16 to 47.
static std::vector<unsigned char> texgen_bricks(void)
{
    Indexed p(64, 64);
    p.setColor(1, {178, 172, 160});
    p.setRamp(16, 32, {110, 38, 26}, {190, 84, 58});
    for (unsigned y = 0; y < 64; y++)
        for (unsigned x = 0; x < 64; x++) {
            unsigned course = y / 8, shift = (course & 1) * 8;
            bool mortar = y % 8 == 7 || (x + shift) % 16 == 15;
            unsigned brick = ((x + shift) / 16) * 7 + course * 3;
            unsigned tone = (texgen_noise(brick, course, 1) % 12) + texgen_noise(x, y, 2) % 10;
            p.at(x, y) = mortar ? 1 : (unsigned char)(16 + tone);
        }
    return texgen_encode(p);
}

// Dressed stone blocks, 8-bit greys.
static std::vector<unsigned char> texgen_stone(void)
{
    Indexed p(64, 64);
    p.setRamp(0, 64, {70, 70, 76}, {196, 194, 188});
    for (unsigned y = 0; y < 64; y++)
        for (unsigned x = 0; x < 64; x++) {
            bool joint = y % 32 == 0 || (x + (y / 32) * 16) % 32 == 0;
            bool lit = y % 32 == 1 || (x + (y / 32) * 16) % 32 == 1;
            unsigned tone = 30 + texgen_noise(x / 2, y / 2, 3) % 16 + texgen_noise(x, y, 4) % 8;
            p.at(x, y) = (unsigned char)(joint ? 4 : lit ? 58 : tone);
        }
    return texgen_encode(p);
}

// Polished floor tiles, 8-bit, one light and one dark, with veins.
static std::vector<unsigned char> texgen_floor(Rgb dark, Rgb light, unsigned seed)
{
    Indexed p(64, 64);
    p.setRamp(0, 32, dark, light);
    for (unsigned y = 0; y < 64; y++)
        for (unsigned x = 0; x < 64; x++) {
            float vein = sinf((float)x * 0.15f + (float)y * 0.09f +
                              (float)(texgen_noise(x / 8, y / 8, seed) % 16) * 0.2f);
            int tone = 20 + (int)(vein * 6.0f) + (int)(texgen_noise(x, y, seed + 1) % 4);
            if (x == 0 || y == 0)
                tone = 31;
            else if (x == 63 || y == 63)
                tone = 4;
            p.at(x, y) = (unsigned char)(tone < 0 ? 0 : tone > 31 ? 31 : tone);
        }
    return texgen_encode(p);
}

// A fern cut out of a magenta ground, 8-bit: entry 0 is the key colour and
// the top-left pixel, so automatic transparency clears exactly the ground.
static std::vector<unsigned char> texgen_leaves(void)
{
    Indexed p(64, 64);
    p.setColor(0, {255, 0, 255});
    p.setRamp(1, 24, {20, 70, 16}, {120, 200, 70});
    p.setColor(30, {96, 64, 30});
    for (unsigned y = 40; y < 64; y++)
        for (unsigned x = 31; x < 33; x++)
            p.at(x, y) = 30;
    // Fronds: leaves strung along curves from the foot of the stem.
    for (int frond = 0; frond < 7; frond++) {
        float angle = -1.35f + (float)frond * 0.45f;
        for (int step = 0; step < 15; step++) {
            float t = (float)step / 14.0f;
            float cx = 32.0f + sinf(angle) * 30.0f * t;
            float cy = 62.0f - cosf(angle) * 52.0f * t - 14.0f * t * (1.0f - t);
            float radius = 6.0f * (1.0f - 0.5f * t);
            for (int dy = -6; dy <= 6; dy++)
                for (int dx = -6; dx <= 6; dx++) {
                    int x = (int)cx + dx, y = (int)cy + dy;
                    if (x < 1 || y < 1 || x > 62 || y > 63)
                        continue;
                    float e = (float)(dx * dx) / (radius * radius) +
                              (float)(dy * dy) / (radius * radius * 0.35f);
                    if (e <= 1.0f)
                        p.at((unsigned)x, (unsigned)y) =
                            (unsigned char)(1 + (unsigned)((1.0f - e) * 14.0f) +
                                            texgen_noise((unsigned)x, (unsigned)y, 5) % 9);
                }
        }
    }
    return texgen_encode(p);
}

// A picket fence on black, 24-bit: black at the top-left pixel becomes the
// key colour, and no board pixel is pure black.
static std::vector<unsigned char> texgen_fence(void)
{
    Truecolor p(64, 64);
    Rgb wood = {196, 164, 112};
    for (unsigned y = 0; y < 64; y++)
        for (unsigned x = 0; x < 64; x++) {
            unsigned local = x % 16;
            bool picket = local >= 4 && local < 12 && y >= 6 + (local < 8 ? 8 - local : local - 7);
            bool rail = (y >= 18 && y < 23) || (y >= 48 && y < 53);
            if (!picket && !rail)
                continue;
            float grain = 0.85f + 0.15f * sinf((float)y * 0.7f + (float)(x / 16) * 2.0f) +
                          (float)(texgen_noise(x, y, 6) % 16) / 255.0f;
            Rgb c = texgen_shade(wood, rail && !picket ? grain * 0.8f : grain);
            if (picket && (local == 4 || local == 11))
                c = texgen_shade(c, 0.7f);
            if (c.r == 0 && c.g == 0 && c.b == 0)
                c.r = 1;
            p.set(x, y, c);
        }
    return texgen_encode(p);
}

// Short grass seen from above, 24-bit.
static std::vector<unsigned char> texgen_grass(void)
{
    Truecolor p(64, 64);
    for (unsigned y = 0; y < 64; y++)
        for (unsigned x = 0; x < 64; x++) {
            float n = (float)texgen_noise(x, y, 7) / 255.0f;
            float patch = (float)texgen_noise(x / 8, y / 8, 8) / 255.0f;
            p.set(x, y, {texgen_clamp(40 + 40 * patch + 30 * n), texgen_clamp(110 + 60 * n + 30 * patch),
                         texgen_clamp(30 + 20 * n)});
        }
    return texgen_encode(p);
}

// Planks with grain, 24-bit.
static std::vector<unsigned char> texgen_wood(void)
{
    Truecolor p(64, 64);
    for (unsigned y = 0; y < 64; y++)
        for (unsigned x = 0; x < 64; x++) {
            unsigned plank = y / 16;
            float grain = sinf((float)x * 0.3f + sinf((float)y * 0.8f + (float)plank) * 2.0f);
            float tone = 0.8f + 0.1f * grain + (float)(texgen_noise(plank, 0, 9) % 20) / 200.0f;
            Rgb c = texgen_shade({150, 100, 54}, tone);
            if (y % 16 == 15 || (x + plank * 23) % 64 == 0)
                c = texgen_shade(c, 0.5f);
            p.set(x, y, c);
        }
    return texgen_encode(p);
}

// Overlapping roof tiles, 24-bit.
static std::vector<unsigned char> texgen_roof(void)
{
    Truecolor p(64, 64);
    for (unsigned y = 0; y < 64; y++)
        for (unsigned x = 0; x < 64; x++) {
            unsigned row = y / 8, shift = (row & 1) * 4;
            float u = (float)((x + shift) % 8) - 3.5f, v = (float)(y % 8);
            float edge = v + u * u * 0.25f;  // the rounded lower edge of each tile
            float tone = edge > 8.0f ? 0.55f : 0.75f + v * 0.04f;
            tone += (float)(texgen_noise((x + shift) / 8, row, 10) % 16) / 160.0f;
            p.set(x, y, texgen_shade({170, 70, 40}, tone));
        }
    return texgen_encode(p);
}

// Pale blue glass in a frame, 24-bit; the definition file makes it translucent.
static std::vector<unsigned char> texgen_glass(void)
{
    Truecolor p(64, 64);
    for (unsigned y = 0; y < 64; y++)
        for (unsigned x = 0; x < 64; x++) {
            Rgb c = {150, 200, 225};
            if (x < 3 || y < 3 || x > 60 || y > 60 || x == 31 || x == 32 || y == 31 || y == 32)
                c = {60, 70, 80};
            else if ((x + y) % 40 < 4 && x > 6 && y > 6)
                c = {235, 245, 255};
            p.set(x, y, c);
        }
    return texgen_encode(p);
}

// Rippled water, 24-bit; translucent too.
static std::vector<unsigned char> texgen_water(void)
{
    Truecolor p(64, 64);
    const float tau = 6.2831853f;
    for (unsigned y = 0; y < 64; y++)
        for (unsigned x = 0; x < 64; x++) {
            float w = sinf(tau * (float)x / 32.0f + 2.0f * sinf(tau * (float)y / 64.0f)) +
                      sinf(tau * (float)(x + y) / 16.0f) * 0.5f;
            p.set(x, y, texgen_shade({40, 110, 190}, 0.85f + 0.12f * w, w > 1.1f ? 60.0f : 0.0f));
        }
    return texgen_encode(p);
}

// The backdrop: a sky from deep blue above to haze at the horizon, with soft clouds.
static std::vector<unsigned char> texgen_sky(void)
{
    Truecolor p(256, 128);
    for (unsigned y = 0; y < 128; y++)
        for (unsigned x = 0; x < 256; x++) {
            float t = (float)y / 127.0f;
            Rgb c = {texgen_clamp(40 + 160 * t), texgen_clamp(90 + 135 * t), texgen_clamp(200 + 50 * t)};
            float cloud = 0.0f;
            for (unsigned k = 0; k < 6; k++) {
                float cx = (float)(20 + k * 43), cy = (float)(20 + (k * 37) % 50);
                float dx = ((float)x - cx) / 26.0f, dy = ((float)y - cy) / 7.0f;
                float d = dx * dx + dy * dy;
                if (d < 1.0f)
                    cloud += (1.0f - d) * 0.9f;
            }
            if (cloud > 1.0f)
                cloud = 1.0f;
            c = {texgen_clamp(c.r + (250 - c.r) * cloud), texgen_clamp(c.g + (250 - c.g) * cloud),
                 texgen_clamp(c.b + (252 - c.b) * cloud)};
            p.set(x, y, c);
        }
    return texgen_encode(p);
}

// A sign carrying the letter F, 24-bit: F looks different under every
// mirroring and quarter turn, so it shows how a face's picture is oriented.
static std::vector<unsigned char> texgen_sign(void)
{
    Truecolor p(64, 64);
    for (unsigned y = 0; y < 64; y++)
        for (unsigned x = 0; x < 64; x++) {
            bool border = x < 4 || y < 4 || x > 59 || y > 59;
            bool stem = x >= 18 && x < 28 && y >= 10 && y < 54;
            bool top = x >= 18 && x < 48 && y >= 10 && y < 19;
            bool bar = x >= 18 && x < 40 && y >= 28 && y < 36;
            Rgb c = border ? Rgb{230, 230, 230} : (stem || top || bar) ? Rgb{250, 210, 40}
                                                                      : Rgb{30, 60, 140};
            p.set(x, y, c);
        }
    return texgen_encode(p);
}

// The stand-by picture for faces without a texture: a grey and violet check.
static std::vector<unsigned char> texgen_standBy(void)
{
    Indexed p(32, 32);
    p.setColor(1, {120, 120, 128});
    p.setColor(2, {150, 70, 170});
    for (unsigned y = 0; y < 32; y++)
        for (unsigned x = 0; x < 32; x++)
            p.at(x, y) = (unsigned char)(((x / 8 + y / 8) & 1) ? 2 : 1);
    return texgen_encode(p);
}

// Shown on every face while texturing is off: green lines on black.
static std::vector<unsigned char> texgen_matrix(void)
{
    Indexed p(32, 32);
    p.setColor(0, {0, 20, 0});
    p.setColor(1, {40, 220, 80});
    for (unsigned y = 0; y < 32; y++)
        for (unsigned x = 0; x < 32; x++)
            p.at(x, y) = (unsigned char)(x % 16 == 0 || y % 16 == 0 || x == 31 || y == 31 ? 1 : 0);
    return texgen_encode(p);
}

static std::vector<unsigned char> texgen_floorLight(void)
{
    return texgen_floor({170, 160, 140}, {240, 234, 220}, 11);
}

static std::vector<unsigned char> texgen_floorDark(void)
{
    return texgen_floor({24, 50, 44}, {80, 110, 98}, 13);
}

const TexgenPicture texgen_pictures[] = {
    {"PCX/demo/bricks.pcx", texgen_bricks},
    {"PCX/demo/stone.pcx", texgen_stone},
    {"PCX/demo/floor_light.pcx", texgen_floorLight},
    {"PCX/demo/floor_dark.pcx", texgen_floorDark},
    {"PCX/demo/leaves.pcx", texgen_leaves},
    {"PCX/demo/fence.pcx", texgen_fence},
    {"PCX/demo/grass.pcx", texgen_grass},
    {"PCX/demo/wood.pcx", texgen_wood},
    {"PCX/demo/roof.pcx", texgen_roof},
    {"PCX/demo/glass.pcx", texgen_glass},
    {"PCX/demo/water.pcx", texgen_water},
    {"PCX/demo/sky.pcx", texgen_sky},
    {"PCX/demo/sign.pcx", texgen_sign},
    {TEXGEN_STAND_BY, texgen_standBy},
    {TEXGEN_MATRIX, texgen_matrix},
    {nullptr, nullptr},
};

std::vector<unsigned char> texgen_draw(const char *path)
{
    for (const TexgenPicture *p = texgen_pictures; p->path; p++)
        if (!strcmp(p->path, path))
            return p->make();
    return {};
}
