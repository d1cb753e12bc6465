// test_entity.cpp -- pose turns and moves, and the 48-byte camera file
#include "test_support.h"

#include <dirent.h>
#include <math.h>
#include <string.h>

#include "entity.h"
#include "pcx_encode.h"

namespace {

// The start pose the loader sets up: at the origin looking along -z.
Entity startPose()
{
    Entity e;
    entity_set(&e, 0, 0, 0);
    e.left.x = -1.0f;
    e.forward.z = -1.0f;
    return e;
}

// Signed zero, a denormal, a NaN with a payload, infinity, the largest float.
Entity oddPose()
{
    const unsigned bits[12] = {0x3f800000, 0x80000000, 0x00000001, 0x7fc12345,
                               0xbf3504f3, 0x12345678, 0xc479c000, 0x7f7fffff,
                               0xff800000, 0x41200000, 0xc2c80000, 0x3eaaaaab};
    Entity e;
    memcpy(&e, bits, sizeof e);
    return e;
}

bool sameBits(const Entity &a, const Entity &b) { return memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(Entity, MovesAlongItsOwnAxes)
{
    Entity e;
    entity_set(&e, 1, 2, 3);
    entity_move(&e, 2);
    entity_elevate(&e, -1.5f);
    entity_strafe(&e, 4);
    EXPECT_FLOAT_EQ(e.position.x, 5);
    EXPECT_FLOAT_EQ(e.position.y, 0.5f);
    EXPECT_FLOAT_EQ(e.position.z, 5);
    EXPECT_FLOAT_EQ(e.forward.z, 1);  // the axis itself is not scaled

    e = startPose();
    entity_strafe(&e, 1);
    EXPECT_FLOAT_EQ(e.position.x, -1);
}

TEST(Entity, TenStepsOfNineMakeAQuarterTurn)
{
    for (float step : {9.0f, -9.0f}) {
        Entity e = startPose(), before = e;
        for (int i = 0; i < 10; i++)
            entity_rotateZ(&e, step);
        float s = step > 0 ? 1.0f : -1.0f;
        EXPECT_NEAR(e.up.x, s, 1e-5);
        EXPECT_NEAR(e.up.y, 0, 1e-5);
        EXPECT_NEAR(e.left.x, 0, 1e-5);
        EXPECT_NEAR(e.left.y, s, 1e-5);
        // The axis out of the plane and the position are not touched at all.
        EXPECT_EQ(memcmp(&e.forward, &before.forward, 2 * sizeof(Vector)), 0);
    }
}

TEST(Entity, TurnsRemakeTheirPairWithUnitLength)
{
    Entity e = startPose();
    vector_set(&e.up, 0.6f, 0.6f, 0.25f);
    entity_rotateZ(&e, 0);
    EXPECT_NEAR(e.up.x, sqrt(0.5), 1e-6);
    EXPECT_NEAR(e.up.y, sqrt(0.5), 1e-6);
    EXPECT_EQ(e.up.z, 0.25f);

    // X turns the (z, y) pairs of up and forward; Y the (x, z) pairs of
    // forward and left.
    e = startPose();
    entity_rotateX(&e, 90);
    EXPECT_NEAR(e.up.z, 1, 1e-5);
    EXPECT_NEAR(e.forward.y, 1, 1e-5);
    EXPECT_EQ(e.left.x, -1.0f);
    e = startPose();
    entity_rotateY(&e, 90);
    EXPECT_NEAR(e.forward.x, -1, 1e-5);
    EXPECT_NEAR(e.left.z, 1, 1e-5);
    EXPECT_EQ(e.up.y, 1.0f);
}

TEST(CameraFile, RoundTripIsLittleEndianAndBitForBit)
{
    std::string dir = test_tempDir(), path = dir + "/MAP.cam";
    Entity saved = oddPose(), loaded = startPose();
    ASSERT_EQ(entity_writeFile(&saved, path.c_str()), 1);
    std::vector<unsigned char> disk;
    ASSERT_TRUE(pcx_readFile(path, disk));
    ASSERT_EQ(disk.size(), 48u);
    const unsigned char oneLE[4] = {0x00, 0x00, 0x80, 0x3f}, tenLE[4] = {0x00, 0x00, 0x20, 0x41};
    EXPECT_EQ(memcmp(&disk[0], oneLE, 4), 0);   // left.x
    EXPECT_EQ(memcmp(&disk[36], tenLE, 4), 0);  // position.x
    ASSERT_EQ(entity_readFile(&loaded, path.c_str()), 1);
    EXPECT_TRUE(sameBits(loaded, saved));

    // Written again over the old file, leaving no temporary beside it.
    saved = startPose();
    ASSERT_EQ(entity_writeFile(&saved, path.c_str()), 1);
    ASSERT_EQ(entity_readFile(&loaded, path.c_str()), 1);
    EXPECT_TRUE(sameBits(loaded, saved));
    DIR *d = opendir(dir.c_str());
    int files = 0;
    while (struct dirent *entry = readdir(d))
        files += entry->d_name[0] != '.';
    closedir(d);
    EXPECT_EQ(files, 1);

    // Nowhere to write: 0, and nothing left behind.
    EXPECT_EQ(entity_writeFile(&saved, (dir + "/no/such.cam").c_str()), 0);
    EXPECT_EQ(entity_writeFile(&saved, dir.c_str()), 0);  // a folder is not replaced
    EXPECT_EQ(entity_readFile(&loaded, (dir + "/none.cam").c_str()), 0);
    EXPECT_TRUE(sameBits(loaded, saved));
}

TEST(CameraFile, ShortFilesReplaceTheirBytesLongOnesAreCut)
{
    std::string dir = test_tempDir();
    Entity pose = oddPose();
    unsigned char full[48], start[48], got[48];
    entity_toBytes(&pose, full);
    Entity s = startPose();
    entity_toBytes(&s, start);

    // 0, 8 and 6 bytes: six replace half of left.y, the rest keeps its bytes.
    for (size_t size : {0, 8, 6}) {
        pcx_writeFile(dir + "/short.cam", std::vector<unsigned char>(full, full + size));
        Entity e = startPose();
        ASSERT_EQ(entity_readFile(&e, (dir + "/short.cam").c_str()), 1);
        entity_toBytes(&e, got);
        EXPECT_EQ(memcmp(got, full, size), 0) << size;
        EXPECT_EQ(memcmp(got + size, start + size, 48 - size), 0) << size;
    }
    std::vector<unsigned char> bytes(full, full + 48);
    bytes.resize(100, 0xEE);
    pcx_writeFile(dir + "/long.cam", bytes);
    Entity e = startPose();
    ASSERT_EQ(entity_readFile(&e, (dir + "/long.cam").c_str()), 1);
    EXPECT_TRUE(sameBits(e, pose));
}
