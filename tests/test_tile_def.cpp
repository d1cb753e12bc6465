// test_tile_def.cpp -- the definition file reader: the worked world, the keyword scan and the key tables
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"
#include "texture.h"
#include "tile.h"

namespace {

// What the reader asked of the hooks: "load PATH" or "color R G B", with
// " +t" when the transparency state was on as the picture was built.
struct Recorder {
    std::vector<std::string> calls;
    std::vector<const Image *> images;
    std::vector<std::string> unknown;  // "type face name"
};

std::string transparentMark(void) { return texture_getTransparent() ? " +t" : ""; }

void recordLoad(void *ctx, Image *image, const char *path)
{
    auto *rec = static_cast<Recorder *>(ctx);
    rec->calls.push_back(std::string("load ") + path + transparentMark());
    rec->images.push_back(image);
}

void recordColor(void *ctx, Image *image, unsigned short w, unsigned short h, unsigned char r,
                 unsigned char g, unsigned char b)
{
    EXPECT_EQ(w + h, 64);
    auto *rec = static_cast<Recorder *>(ctx);
    rec->calls.push_back("color " + std::to_string(r) + " " + std::to_string(g) + " " +
                         std::to_string(b) + transparentMark());
    rec->images.push_back(image);
}

void recordUnknown(void *ctx, int type, int face, const char *name)
{
    static_cast<Recorder *>(ctx)->unknown.push_back(std::to_string(type) + " " +
                                                    std::to_string(face) + " " + name);
}

// Reads text as a definition file under the root "/w/"; returns the console.
std::string readDef(const std::string &text, Recorder *rec = nullptr)
{
    Recorder scratch;
    TileDefHooks hooks = {rec ? rec : &scratch, recordLoad, recordColor, recordUnknown};
    testing::internal::CaptureStdout();
    tile_readDef(reinterpret_cast<const unsigned char *>(text.data()), text.size(), "/w/", &hooks);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// Per face, BACK to FRONT: o on, d double-sided, h v r flips and turn, s shaded.
std::string faces(const CubeDef &c)
{
    std::string s;
    for (int f = 0; f < 6; f++) {
        const FaceOrientation &o = c.orientation[f];
        s += std::string(f ? " " : "") + (c.faceOn[f] ? 'o' : '-') + (c.doubleSided[f] ? 'd' : '-') +
             (o.flipH ? 'h' : '-') + (o.flipV ? 'v' : '-') + (o.rotate ? 'r' : '-') +
             (c.shaded[f] ? 's' : '-');
    }
    return s;
}

const char *workedExample =
    "NEW_TEXTURE \"glass\"\n{\nFlags 2,18\nPicture 8,\"walls:glass\"\n}\n"
    "NEW_TEXTURE \"sky\"\n{\nColour 17,Color(40,90,200)\n}\n"
    "NEW_TEXTURE \"plain\"\n{\n}\n"
    "NEW_MORVA \"back\"\n{\nTexture 2,\"sky\"\n}\n"
    "NEW_CUBE \"window\"\n{\nBack 3,\"glass\"\nFront 8,glass\nTop 4,plain\nHide 21,TOP\n"
    "Double 20,BACK+FRONT\nTurn 29,Rotate\nShade 34,131072\n}\n"
    "NEW_CUBE \"bush\"\n{\nKind 2,3\nSide 3,plain\n}\n";

TEST(TileDef, WorkedExampleWithLfAndCrLf)
{
    std::string crlf;
    for (const char *c = workedExample; *c; c++)
        crlf += *c == '\n' ? "\r\n" : std::string(1, *c);
    for (const std::string &text : {std::string(workedExample), crlf}) {
        Recorder rec;
        EXPECT_EQ(readDef(text, &rec),
                  "TEXTURE:/w/PCX/walls/glass.pcx\nMORVA:back\nCUBE:window\nCUBE:bush\n");
        ASSERT_EQ(tile_texCount, 3);
        TextureEntry *glass = &tile_tex[0], *sky = &tile_tex[1], *plain = &tile_tex[2];
        EXPECT_STREQ(glass->name, "glass");
        EXPECT_STREQ(sky->name, "sky");
        EXPECT_STREQ(plain->name, "plain");
        EXPECT_EQ(glass->loaded + glass->translucent + sky->loaded, 3);
        EXPECT_EQ(sky->translucent + plain->loaded, 0);
        EXPECT_EQ(rec.calls, (std::vector<std::string>{"load /w/PCX/walls/glass.pcx +t",
                                                       "color 40 90 200", "color 255 255 0"}));
        EXPECT_EQ(rec.images, (std::vector<const Image *>{&glass->image, &sky->image, &plain->image}));
        EXPECT_EQ(tile_bg, &sky->image);

        const CubeDef &window = tile[254], &bush = tile[253];
        EXPECT_EQ(faces(window), "od--r- ------ ------ ------ ------ od---s");
        EXPECT_EQ(window.faceTexture[TILE_BACK], glass);
        EXPECT_EQ(window.faceTexture[TILE_FRONT], glass);
        EXPECT_EQ(window.faceTexture[TILE_TOP], plain);  // hidden, but its texture kept
        EXPECT_EQ(window.crossed, 0);
        EXPECT_EQ(bush.crossed, 1);
        EXPECT_EQ(faces(bush), "o----- ------ ------ ------ ------ ------");
        EXPECT_EQ(bush.faceTexture[TILE_BACK], plain);
        EXPECT_EQ(tile[252].faceOn[TILE_BACK], 0);
    }
}

TEST(TileDef, KeywordScanNamesAndBlockEnds)
{
    // The second N breaks the first attempt and is not tried again.
    EXPECT_EQ(readDef("NNEW_CUBE \"a\" {\nK 2,3\n}\nxNEW_CUBE \"b\" {\nK 15,7\n}\n"), "CUBE:b\n");
    EXPECT_EQ(tile[254].crossed, 0);
    EXPECT_EQ(tile[254].shape, 7);
    // Keywords count wherever their letters stand, even outside blocks.
    EXPECT_EQ(readDef("say NEW_MORVA\"x\" then {\n}\nNEW_MORV NEW_MORVA \"y\" {\n}\n"),
              "MORVA:x\nMORVA:y\n");
    EXPECT_EQ(readDef("NEW_CUBE"), "CUBE:\n");

    readDef("NEW_TEXTURE stone {\n}\nNEW_TEXTURE x {\n}\nNEW_TEXTURE \"" + std::string(400, 'n') +
            "\" {\n}\nNEW_TEXTURE \"ab c\" {\n}\n");
    ASSERT_EQ(tile_texCount, 4);
    EXPECT_STREQ(tile_tex[0].name, "ton");  // unquoted names lose their ends
    EXPECT_STREQ(tile_tex[1].name, "");
    EXPECT_EQ(strlen(tile_tex[2].name), 253u);  // cut to 255, then the two ends
    EXPECT_STREQ(tile_tex[3].name, "a");        // a name is one word

    // "};" does not end a block, which swallows b's keyword: entry 1 stays
    // zero, with no picture.
    Recorder rec;
    readDef("NEW_TEXTURE \"a\"\n{\n};\nNEW_TEXTURE \"b\"\n{\n}\n", &rec);
    ASSERT_EQ(tile_texCount, 2);
    EXPECT_STREQ(tile_tex[0].name, "a");
    EXPECT_STREQ(tile_tex[1].name, "");
    EXPECT_EQ(rec.calls.size(), 1u);
    // Likewise a keyword inside an entry of a block.
    rec = Recorder();
    readDef("NEW_TEXTURE \"a\" {\nNEW_TEXTURE 17,Color(1,2,3)\nx 8,NEW_TEXTURE\n}\n", &rec);
    ASSERT_EQ(tile_texCount, 3);
    EXPECT_EQ(tile_tex[0].loaded + tile_tex[1].loaded + tile_tex[2].loaded, 1);
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"color 1 2 3", "load /w/PCX/NEW_TEXTURE.pcx"}));
    // "}" must be the label; at the end of an entry's line it is ignored.
    readDef("NEW_CUBE \"c\" {\nK 2,3 }\nK 15,4\n}\n");
    EXPECT_EQ(tile[254].shape, 4);
}

TEST(TileDef, TextureKeysAndDuplicateNames)
{
    Recorder rec;
    readDef("NEW_TEXTURE \"first\" {\nP 8,a\nC 17,Color(1,2,3)\n}\n"        // 17 after 8: nothing
            "NEW_TEXTURE \"second\" {\nC 17,Color(300,-1,7)\nP 8,b:c\n}\n"  // 8 after 17 loads
            "NEW_TEXTURE \"third\" {\nP 8,d\nT 2,Transparent\n}\n"         // 2 after 8: too late
            "NEW_TEXTURE \"fourth\" {\nT 2,Transparent\nP 8,e\nF 2,16\n}\n"
            "NEW_TEXTURE \"first\" {\nC 17,Color(9,9)\nC 17,Color(1,2,3)x\n}\n",  // malformed
            &rec);
    ASSERT_EQ(tile_texCount, 5);
    EXPECT_EQ(rec.calls, (std::vector<std::string>{
                             "load /w/PCX/a.pcx", "color 44 255 7",  // components cut to 8 bits
                             "load /w/PCX/b/c.pcx", "load /w/PCX/d.pcx", "load /w/PCX/e.pcx +t",
                             "color 255 255 0"}));
    ASSERT_EQ(rec.images.size(), 6u);
    EXPECT_EQ(rec.images[2], rec.images[1]);
    EXPECT_EQ(tile_tex[3].translucent, 1);
    EXPECT_EQ(tile_tex[4].loaded, 0);

    // Duplicate names: lookups always find the first.
    readDef("NEW_TEXTURE \"t\" {\n}\nNEW_TEXTURE \"t\" {\n}\nNEW_MORVA \"m\" {\nB 2,t\n}\n"
            "NEW_CUBE \"c\" {\nF 5,t\n}\n");
    EXPECT_EQ(tile_bg, &tile_tex[0].image);
    EXPECT_EQ(tile[254].faceTexture[TILE_RIGHT], &tile_tex[0]);
}

TEST(TileDef, CubeKeys)
{
    readDef("NEW_CUBE \"a\" {\n"
            "D 20,3\n"            // BACK and TOP by their bits
            "R 29,196608\n"       // both shading bits: not shaded
            "R 30,131072\n"       // shaded
            "R 31,17152\n"        // 0x100 | 0x200 | 0x4000
            "R 32,FlipV+FlipH\n"
            "C 1,x_NRW_Chkrs\nS 15,513\nK 2,3abc\n"
            "O 21,LEFT\n"         // clears a face no key switched on
            "}\n"
            "NEW_CUBE \"b\" {\nK 2,33\nC 1,NRW_chkrs\n"
            "L 7,x\nH 21,LEFT+RIGHT\nL 7,x\n"  // on, hidden, on again
            "Z 16,5\nZ 0,BACK\nZ -3,1\nZ 35,1\nZ 99999999999999,1\n}\n");
    const CubeDef &a = tile[254];
    EXPECT_EQ(faces(a), "-d---- -d---s --hvr- --hv-- ------ ------");
    EXPECT_EQ(a.checkered + a.crossed, 2);
    EXPECT_EQ(a.shape, 1);  // low 8 bits
    CubeDef onlyLeft;  // b: nothing but the left face, without a texture
    memset(&onlyLeft, 0, sizeof onlyLeft);
    onlyLeft.faceOn[TILE_LEFT] = 1;
    EXPECT_EQ(memcmp(&tile[253], &onlyLeft, sizeof onlyLeft), 0);
}

TEST(TileDef, MalformedLinesAndOnlyTwoHundredFiftyFourCubes)
{
    readDef("NEW_CUBE \"c\" {\n"
            "Label\n"     // no entry
            "2,3\n"       // no label: "2,3" is the label
            "L x,3\nL 2 ,3\nL 2,\n"  // no key, no comma right after it, no value
            "L 15,9 extra words 15,10\n\n\n   \t\n"
            "L    15,11\nL 4, \"top\"\n"  // blanks before the key and after the comma are fine
            "}\n");
    EXPECT_EQ(tile[254].crossed, 0);
    EXPECT_EQ(tile[254].shape, 11);
    EXPECT_EQ(tile[254].faceOn[TILE_TOP], 1);

    std::string text;
    for (int k = 1; k <= 256; k++)
        text += "NEW_CUBE \"c" + std::to_string(k) + "\" {\nS 15," + std::to_string(k) + "\n}\n";
    std::string out = readDef(text);
    EXPECT_NE(out.find("CUBE:c254\n"), std::string::npos);
    EXPECT_EQ(out.find("CUBE:c255"), std::string::npos);
    EXPECT_EQ(tile[254].shape, 1);
    EXPECT_EQ(tile[1].shape, 254);
    EXPECT_EQ(tile[0].shape + tile[255].shape, 0);
}

TEST(TileDef, EndOfFileInsideABlockEndsOnlyThatPass)
{
    Recorder rec;
    EXPECT_EQ(readDef("NEW_CUBE \"c\" {\nS 3,t\n}\nNEW_TEXTURE \"t\" {\nF 2,16", &rec), "CUBE:c\n");
    ASSERT_EQ(tile_texCount, 1);
    EXPECT_EQ(tile_tex[0].translucent, 1);
    EXPECT_EQ(rec.calls.size(), 1u);  // still a picture for the cut entry
    EXPECT_EQ(tile[254].faceTexture[TILE_BACK], &tile_tex[0]);

    // Cut anywhere, or odd bytes and overlong words: never a crash.
    for (const std::string &t :
         {std::string("NEW_TEXTURE \"t\""), std::string("NEW_TEXTURE \"t"),
          std::string("NEW_CUBE \"c\" {\nLab"), std::string("NEW_CUBE \"c\" {\nL 15"),
          std::string("NEW_MORVA \"m\" { L 2,"), std::string(), std::string("{"),
          std::string(1, '\0'), std::string("NEW_TEXTURE\0\"x\"{\n}", 18),
          "NEW_TEXTURE " + std::string(100000, 'q'),
          "NEW_CUBE \"c\" {\nL " + std::string(5000, '9') + ",1\n}\n",
          "NEW_CUBE \"c\" {\nL 3," + std::string(5000, 'v') + "\n}\n",
          "NEW_TEXTURE \"t\" {\nL 17,Color(" + std::string(400, '1') + ",2,3)\n}\n"})
        readDef(t);
}

TEST(TileDef, UnknownTexturesAndNoTextures)
{
    Recorder rec;
    readDef("NEW_MORVA \"m\" {\nB 2,sky\n}\nNEW_CUBE \"c\" {\nF 8,\"gone\"\n}\n", &rec);
    EXPECT_EQ(tile_texCount, 0);
    EXPECT_EQ(tile_tex, nullptr);
    EXPECT_EQ(tile_bg, nullptr);
    EXPECT_EQ(tile[254].faceOn[TILE_FRONT], 1);
    EXPECT_EQ(tile[254].faceTexture[TILE_FRONT], nullptr);
    EXPECT_EQ(rec.unknown, (std::vector<std::string>{"-1 -1 sky", "254 5 gone"}));

    // A later background that names nothing leaves the earlier one.
    readDef("NEW_TEXTURE \"a\" {\n}\nNEW_MORVA \"m\" {\nB 2,a\n}\nNEW_MORVA \"n\" {\nB 2,b\n}\n");
    EXPECT_EQ(tile_bg, &tile_tex[0].image);
    tile_readDef(reinterpret_cast<const unsigned char *>(workedExample), strlen(workedExample),
                 "/w/", nullptr);  // no hooks at all
    EXPECT_EQ(tile_texCount, 3);
}

TEST(TileDefDeathTest, TexturePathTooLong)
{
    std::string text = "NEW_TEXTURE \"t\" {\nP 8," + std::string(250, 'p') + "\n}\n";
    EXPECT_EXIT({
        test_stdoutToStderr();
        tile_readDef(reinterpret_cast<const unsigned char *>(text.data()), text.size(), "/w/", nullptr);
    }, testing::ExitedWithCode(255), "ERROR: Path too long: /w/PCX/ppp.*" + test_errorPattern(0));
}

}  // namespace
