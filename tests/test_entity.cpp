// test_entity.cpp -- pose turns and moves, and the 48-byte camera file
#include "test_support.h"

#include <dirent.h>
#include <math.h>
#include <stdio.h>
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

bool sameBits(const Entity &a, const Entity &b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

Entity oddPose()
{
    Entity e;
    const unsigned bits[12] = {0x3f800000, 0x80000000, 0x00000001, 0x7fc12345,
                               0xbf3504f3, 0x12345678, 0xc479c000, 0x7f7fffff,
                               0xff800000, 0x41200000, 0xc2c80000, 0x3eaaaaab};
    float f[12];
    memcpy(f, bits, sizeof f);
    vector_set(&e.left, f[0], f[1], f[2]);
    vector_set(&e.up, f[3], f[4], f[5]);
    vector_set(&e.forward, f[6], f[7], f[8]);
    vector_set(&e.position, f[9], f[10], f[11]);
    return e;
}

int countFiles(const std::string &dir)
{
    int n = 0;
    if (DIR *d = opendir(dir.c_str())) {
        while (struct dirent *entry = readdir(d))
            if (entry->d_name[0] != '.')
                n++;
        closedir(d);
    }
    return n;
}

}  // namespace

TEST(Entity, SetAndMoveAlongOwnAxes)
{
    Entity e;
    entity_set(&e, 1, 2, 3);
    entity_move(&e, 2);
    EXPECT_FLOAT_EQ(e.position.x, 1);
    EXPECT_FLOAT_EQ(e.position.y, 2);
    EXPECT_FLOAT_EQ(e.position.z, 5);
    entity_elevate(&e, -1.5f);
    EXPECT_FLOAT_EQ(e.position.y, 0.5f);
    entity_strafe(&e, 4);
    EXPECT_FLOAT_EQ(e.position.x, 5);
    EXPECT_FLOAT_EQ(e.forward.z, 1);  // the axis itself is not scaled

    Entity s = startPose();
    entity_strafe(&s, 1);
    EXPECT_FLOAT_EQ(s.position.x, -1);
    EXPECT_FLOAT_EQ(s.position.y, 0);
    EXPECT_FLOAT_EQ(s.position.z, 0);
}

TEST(Entity, QuarterTurnsAboutZ)
{
    Entity e = startPose();
    Entity before = e;
    for (int i = 0; i < 10; i++)
        entity_rotateZ(&e, 9);
    EXPECT_NEAR(e.up.x, 1, 1e-5);
    EXPECT_NEAR(e.up.y, 0, 1e-5);
    EXPECT_NEAR(e.left.x, 0, 1e-5);
    EXPECT_NEAR(e.left.y, 1, 1e-5);
    EXPECT_EQ(e.up.z, 0.0f);
    // The axis out of the plane and the position are not touched at all.
    EXPECT_EQ(memcmp(&e.forward, &before.forward, sizeof e.forward), 0);
    EXPECT_EQ(memcmp(&e.position, &before.position, sizeof e.position), 0);

    e = startPose();
    for (int i = 0; i < 10; i++)
        entity_rotateZ(&e, -9);
    EXPECT_NEAR(e.up.x, -1, 1e-5);
    EXPECT_NEAR(e.up.y, 0, 1e-5);
    EXPECT_NEAR(e.left.x, 0, 1e-5);
    EXPECT_NEAR(e.left.y, -1, 1e-5);

    // One step turns (0, 1) towards (1, 0).
    e = startPose();
    entity_rotateZ(&e, 9);
    EXPECT_NEAR(e.up.x, sin(9 * M_PI / 180), 1e-6);
    EXPECT_NEAR(e.up.y, cos(9 * M_PI / 180), 1e-6);
}

TEST(Entity, TurnRemakesThePairWithUnitLength)
{
    Entity e = startPose();
    vector_set(&e.up, 0.6f, 0.6f, 0.25f);
    entity_rotateZ(&e, 0);
    EXPECT_NEAR(e.up.x, sin(M_PI / 4), 1e-6);
    EXPECT_NEAR(e.up.y, cos(M_PI / 4), 1e-6);
    EXPECT_EQ(e.up.z, 0.25f);

    // The other two turns use their own pairs: X turns (z, y) of up and
    // forward, Y turns (x, z) of forward and left.
    e = startPose();
    entity_rotateX(&e, 90);
    EXPECT_NEAR(e.up.z, 1, 1e-5);
    EXPECT_NEAR(e.up.y, 0, 1e-5);
    EXPECT_NEAR(e.forward.z, 0, 1e-5);
    EXPECT_NEAR(e.forward.y, 1, 1e-5);
    EXPECT_EQ(e.left.x, -1.0f);

    e = startPose();
    entity_rotateY(&e, 90);
    EXPECT_NEAR(e.forward.x, -1, 1e-5);
    EXPECT_NEAR(e.forward.z, 0, 1e-5);
    EXPECT_NEAR(e.left.x, 0, 1e-5);
    EXPECT_NEAR(e.left.z, 1, 1e-5);
    EXPECT_EQ(e.up.y, 1.0f);
}

TEST(CameraFile, BytesAreLittleEndianInFieldOrder)
{
    Entity e = startPose();
    e.position.z = 10.0f;
    unsigned char bytes[ENTITY_FILE_SIZE];
    entity_toBytes(&e, bytes);
    const unsigned char minusOne[4] = {0x00, 0x00, 0x80, 0xbf};
    const unsigned char one[4] = {0x00, 0x00, 0x80, 0x3f};
    const unsigned char ten[4] = {0x00, 0x00, 0x20, 0x41};
    EXPECT_EQ(memcmp(bytes + 0, minusOne, 4), 0);   // left.x
    EXPECT_EQ(memcmp(bytes + 16, one, 4), 0);       // up.y
    EXPECT_EQ(memcmp(bytes + 32, minusOne, 4), 0);  // forward.z
    EXPECT_EQ(memcmp(bytes + 44, ten, 4), 0);       // position.z
}

TEST(CameraFile, RoundTripThroughAFileIsBitForBit)
{
    std::string dir = test_tempDir();
    std::string path = dir + "/MAP.cam";
    Entity saved = oddPose();
    ASSERT_EQ(entity_writeFile(&saved, path.c_str()), 1);
    std::vector<unsigned char> onDisk;
    ASSERT_TRUE(pcx_readFile(path, onDisk));
    EXPECT_EQ(onDisk.size(), 48u);

    Entity loaded = startPose();
    ASSERT_EQ(entity_readFile(&loaded, path.c_str()), 1);
    EXPECT_TRUE(sameBits(loaded, saved));

    // Writing again replaces the file and leaves no temporary beside it.
    Entity other = startPose();
    ASSERT_EQ(entity_writeFile(&other, path.c_str()), 1);
    ASSERT_EQ(entity_readFile(&loaded, path.c_str()), 1);
    EXPECT_TRUE(sameBits(loaded, other));
    EXPECT_EQ(countFiles(dir), 1);
}

TEST(CameraFile, ShortAndLongFiles)
{
    std::string dir = test_tempDir();
    Entity pose = oddPose();
    unsigned char full[ENTITY_FILE_SIZE];
    entity_toBytes(&pose, full);

    // Eight bytes: left.x and left.y; the rest stays the start pose.
    std::vector<unsigned char> bytes(full, full + 8);
    pcx_writeFile(dir + "/short.cam", bytes);
    Entity e = startPose();
    ASSERT_EQ(entity_readFile(&e, (dir + "/short.cam").c_str()), 1);
    Entity expected = startPose();
    expected.left.x = pose.left.x;
    expected.left.y = pose.left.y;
    EXPECT_TRUE(sameBits(e, expected));

    // Six bytes replace exactly six: half of left.y keeps its old bytes.
    e = startPose();
    entity_fromBytes(&e, full, 6);
    unsigned char got[ENTITY_FILE_SIZE], start[ENTITY_FILE_SIZE];
    entity_toBytes(&e, got);
    Entity s = startPose();
    entity_toBytes(&s, start);
    EXPECT_EQ(memcmp(got, full, 6), 0);
    EXPECT_EQ(memcmp(got + 6, start + 6, ENTITY_FILE_SIZE - 6), 0);

    // An empty file changes nothing; a long one is read for 48 bytes.
    FILE *empty = fopen((dir + "/empty.cam").c_str(), "wb");
    ASSERT_NE(empty, nullptr);
    fclose(empty);
    e = startPose();
    ASSERT_EQ(entity_readFile(&e, (dir + "/empty.cam").c_str()), 1);
    EXPECT_TRUE(sameBits(e, startPose()));

    bytes.assign(full, full + 48);
    bytes.resize(100, 0xEE);
    pcx_writeFile(dir + "/long.cam", bytes);
    e = startPose();
    ASSERT_EQ(entity_readFile(&e, (dir + "/long.cam").c_str()), 1);
    EXPECT_TRUE(sameBits(e, pose));
    entity_fromBytes(&s, bytes.data(), bytes.size());
    EXPECT_TRUE(sameBits(s, pose));
}

TEST(CameraFile, MissingFileOrFolder)
{
    std::string dir = test_tempDir();
    Entity e = startPose();
    EXPECT_EQ(entity_readFile(&e, (dir + "/none.cam").c_str()), 0);
    EXPECT_TRUE(sameBits(e, startPose()));

    EXPECT_EQ(entity_writeFile(&e, (dir + "/no/such/folder.cam").c_str()), 0);
    // A path that is a folder cannot be replaced; the temporary is removed.
    test_makeDirs(dir + "/taken.cam");
    EXPECT_EQ(entity_writeFile(&e, (dir + "/taken.cam").c_str()), 0);
    EXPECT_EQ(countFiles(dir), 1);
}
