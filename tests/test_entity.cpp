// test_entity.cpp -- pose turns, and the 48-byte camera file
#include "test_support.h"

#include <errno.h>
#include <math.h>
#include <string.h>

#include <filesystem>

#include "entity.h"
#include "pcx_encode.h"

// The start pose the loader sets up: at the origin looking along -z.
static const Entity start = {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 0}};
static bool sameBits(const Entity &a, const Entity &b) { return memcmp(&a, &b, sizeof a) == 0; }

TEST(Entity, TurnsKeepToTheirOwnPairs)
{
    // X turns the (z, y) pairs of up and forward, Y the (x, z) pairs of forward
    // and left, Z the (x, y) pairs of up and left; nothing else moves.
    Entity x = start, y = start, z = start;
    entity_rotateX(&x, 90), entity_rotateY(&y, 90), entity_rotateZ(&z, 90);
    EXPECT_NEAR(x.up.z + x.forward.y, 2, 1e-5);
    EXPECT_NEAR(y.left.z - y.forward.x, 2, 1e-5);
    EXPECT_NEAR(z.up.x + z.left.y, 2, 1e-5);
    EXPECT_TRUE(sameBits({x.left, start.up, start.forward, x.position}, start));
    EXPECT_TRUE(sameBits({start.left, y.up, start.forward, y.position}, start));
    EXPECT_TRUE(sameBits({start.left, start.up, z.forward, z.position}, start));
    // A turn re-makes its pair with length 1.
    vector_set(&z.up, 0.6f, 0.6f, 0.25f);
    entity_rotateZ(&z, 0);
    EXPECT_VECTOR(z.up, (float)sqrt(0.5), (float)sqrt(0.5), 0.25f);
}

TEST(CameraFile, RoundTripShortAndLongFiles)
{
    std::string dir = test_tempDir(), path = dir + "/MAP.cam";
    // Signed zero, a denormal, a NaN with a payload, infinity, the largest float.
    const unsigned bits[12] = {0x3f800000, 0x80000000, 0x00000001, 0x7fc12345, 0xbf3504f3, 0x12345678,
                               0xc479c000, 0x7f7fffff, 0xff800000, 0x41200000, 0xc2c80000, 0x3eaaaaab};
    Entity odd, e = start;
    memcpy(&odd, bits, sizeof odd);
    // Bit for bit and little-endian, written over an older file leaving no temporary beside it.
    ASSERT_EQ(entity_writeFile(&start, path.c_str()) + entity_writeFile(&odd, path.c_str()), 2);
    ASSERT_EQ(entity_readFile(&e, path.c_str()), 0);
    EXPECT_TRUE(sameBits(e, odd));
    std::vector<unsigned char> full;
    ASSERT_TRUE(pcx_readFile(path, full) && full.size() == 48);
    EXPECT_EQ(memcmp(full.data(), "\0\0\x80\x3f", 4), 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    // Nowhere to write, a folder in the way, no file to read: 0, and the pose kept.
    EXPECT_EQ(entity_writeFile(&odd, (dir + "/no/such.cam").c_str()) + entity_writeFile(&odd, dir.c_str()), 0);
    EXPECT_EQ(entity_readFile(&e, (dir + "/none.cam").c_str()), ENOENT);
    EXPECT_TRUE(sameBits(e, odd));

    // 6 bytes replace half of left.y, the rest keeps its bytes; of 100, 48 are read.
    unsigned char startBytes[48], got[48];
    entity_toBytes(&start, startBytes);
    for (size_t size : {6, 100}) {
        std::vector<unsigned char> bytes = full;
        bytes.resize(size, 0xEE);
        pcx_writeFile(path, bytes);
        e = start;
        ASSERT_EQ(entity_readFile(&e, path.c_str()), 0);
        entity_toBytes(&e, got);
        size_t kept = size < 48 ? size : 48;
        EXPECT_EQ(memcmp(got, full.data(), kept), 0) << size;
        EXPECT_EQ(memcmp(got + kept, startBytes + kept, 48 - kept), 0) << size;
    }
}

TEST(Entity, APoseOfNumbersThatAreNotFiniteOrOfAZeroAxisIsRefused)
{
    const float nan = NAN, inf = INFINITY;
    const struct { const char *name; Entity pose; const char *wrong; } table[] = {
        {"the start pose", start, nullptr},
        {"far off, tiny axes", {{1e-30f, 0, 0}, {0, 1e30f, 0}, {0, 0, -1}, {3e38f, -3e38f, 0}}, nullptr},
        {"NaN in the position", {start.left, start.up, start.forward, {0, nan, 0}}, "not finite"},
        {"infinite forward", {start.left, start.up, {0, 0, -inf}, start.position}, "not finite"},
        {"zero up", {start.left, {0, -0.0f, 0}, start.forward, start.position}, "length zero"},
        {"zero left", {{0, 0, 0}, start.up, start.forward, start.position}, "length zero"},
    };
    for (const auto &row : table) {
        const char *wrong = entity_check(&row.pose);
        EXPECT_TRUE(wrong ? row.wrong && strstr(wrong, row.wrong) : !row.wrong) << row.name;
    }
}
