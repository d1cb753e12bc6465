// test_tile_def.cpp -- the definition file reader: the worked world, the keyword scan and the key tables
#include <string.h>

#include "test_support.h"
#include "texture.h"
#include "tile.h"

namespace {

// What the reader asked of the hooks: "load PATH" or "color R G B", with
// " +t" when the transparency state was on as the picture was built, and for which image.
typedef std::vector<std::string> Calls;
Calls calls;
std::vector<const Image *> images;
void record(const std::string &call, const Image *image)
{
    calls.push_back(call + (texture_getTransparent() ? " +t" : ""));
    images.push_back(image);
}

// Reads text as a definition file under the root "/w/"; returns the console.
std::string readDef(const std::string &text)
{
    TileDefHooks hooks = {nullptr, [](void *, Image *im, const char *path, Refusal *) {
            record(std::string("load ") + path, im);
            return true;
        },
        [](void *, Image *im, unsigned short w, unsigned short h, unsigned char r, unsigned char g, unsigned char b,
           Refusal *) {
            record("color " + std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b) +
                   (w + h == 64 ? "" : " not 32 x 32"), im);
            return true;
        }, nullptr};
    calls.clear(), images.clear();
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
             (o.flipH ? 'h' : '-') + (o.flipV ? 'v' : '-') + (o.rotate ? 'r' : '-') + (c.shaded[f] ? 's' : '-');
    }
    return s;
}

TEST(TileDef, WorkedExampleWithLfAndCrLf)
{
    std::string lf = "NEW_TEXTURE \"glass\"\n{\nFlags 2,18\nPicture 8,\"walls:glass\"\n}\n"
                     "NEW_TEXTURE \"sky\"\n{\nColour 17,Color(40,90,200)\n}\nNEW_TEXTURE \"plain\"\n{\n}\n"
                     "NEW_MORVA \"back\"\n{\nTexture 2,\"sky\"\n}\n"
                     "NEW_CUBE \"window\"\n{\nBack 3,\"glass\"\nFront 8,glass\nTop 4,plain\nHide 21,TOP\n"
                     "Double 20,BACK+FRONT\nTurn 29,Rotate\nShade 34,131072\n}\n"
                     "NEW_CUBE \"bush\"\n{\nKind 2,3\nSide 3,plain\n}\n", crlf;
    for (char c : lf)
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    for (const std::string &text : {lf, crlf}) {
        EXPECT_EQ(readDef(text), "TEXTURE:/w/PCX/walls/glass.pcx\nMORVA:back\nCUBE:window\nCUBE:bush\n");
        ASSERT_EQ(tile_texCount, 3);
        TextureEntry *glass = &tile_tex[0], *sky = &tile_tex[1], *plain = &tile_tex[2];
        EXPECT_EQ(std::string(glass->name) + sky->name + plain->name, "glassskyplain");
        EXPECT_EQ((std::vector<int>{glass->loaded, glass->translucent, sky->loaded, sky->translucent, plain->loaded}),
                  (std::vector<int>{1, 1, 1, 0, 0}));
        EXPECT_EQ(calls, (Calls{"load /w/PCX/walls/glass.pcx +t", "color 40 90 200", "color 255 255 0"}));
        EXPECT_EQ(images, (std::vector<const Image *>{&glass->image, &sky->image, &plain->image}));
        EXPECT_EQ(tile_bg, &sky->image);
        const CubeDef &window = tile[254], &bush = tile[253];
        EXPECT_EQ(faces(window), "od--r- ------ ------ ------ ------ od---s");
        EXPECT_EQ(faces(bush), "o----- ------ ------ ------ ------ ------");
        EXPECT_EQ((std::vector<TextureEntry *>{window.faceTexture[TILE_BACK], window.faceTexture[TILE_FRONT],
                                               window.faceTexture[TILE_TOP], bush.faceTexture[TILE_BACK]}),
                  (std::vector<TextureEntry *>{glass, glass, plain, plain}));  // hidden TOP keeps its texture
    }
}

TEST(TileDef, KeywordScanNamesAndBlockEnds)
{
    // The second N breaks the first attempt and is not tried again; keywords keep their case.
    EXPECT_EQ(readDef("NNEW_CUBE \"a\" {\nK 2,3\n}\nnew_cube \"n\" {\n}\nxNEW_CUBE \"b\" {\nK 15,7\n}\n"), "CUBE:b\n");
    EXPECT_EQ(tile[254].shape, 7);

    readDef("NEW_TEXTURE stone {\n}\nNEW_TEXTURE x {\n}\nNEW_TEXTURE \"" + std::string(400, 'n') + "\" {\n}\n");
    ASSERT_EQ(tile_texCount, 3);
    EXPECT_EQ(std::string(tile_tex[0].name) + "|" + tile_tex[1].name, "ton|");  // unquoted names lose their ends
    EXPECT_EQ(strlen(tile_tex[2].name), 253u);  // cut to 255, then the two ends

    // "};" does not end a block, which swallows b's keyword: entry 1 stays empty.
    readDef("NEW_TEXTURE \"a\"\n{\n};\nNEW_TEXTURE \"b\"\n{\n}\n");
    ASSERT_EQ(tile_texCount, 2);
    EXPECT_EQ(std::string(tile_tex[0].name) + "|" + tile_tex[1].name + "|" + std::to_string(calls.size()), "a||1");
    // Likewise a keyword inside an entry of a block.
    readDef("NEW_TEXTURE \"a\" {\nNEW_TEXTURE 17,Color(1,2,3)\nx 8,NEW_TEXTURE\n}\n");
    ASSERT_EQ(tile_texCount, 3);
    EXPECT_EQ(calls, (Calls{"color 1 2 3", "load /w/PCX/NEW_TEXTURE.pcx"}));
}

TEST(TileDef, TextureKeysAndDuplicateNames)
{
    readDef("NEW_TEXTURE \"first\" {\nP 8,a\nC 17,Color(1,2,3)\n}\n"        // 17 after 8: nothing
            "NEW_TEXTURE \"second\" {\nC 17,Color(300,-1,7)\nP 8,b:c\n}\n"  // 8 after 17 loads
            "NEW_TEXTURE \"third\" {\nP 8,d\nT 2,Transparent\n}\n"         // 2 after 8: too late
            "NEW_TEXTURE \"fourth\" {\nT 2,Transparent\nP 8,e\nF 2,16\n}\n"
            "NEW_TEXTURE \"first\" {\nC 17,Color(9,9)\nC 17,Color(1,2,3)x\n}\n");  // malformed
    ASSERT_EQ(tile_texCount, 5);
    EXPECT_EQ(calls, (Calls{"load /w/PCX/a.pcx", "color 44 255 7",  // components cut to 8 bits
                            "load /w/PCX/b/c.pcx", "load /w/PCX/d.pcx", "load /w/PCX/e.pcx +t", "color 255 255 0"}));
    EXPECT_EQ(tile_tex[3].translucent, 1);  // a later flags entry still counts

    // Duplicate names: lookups always find the first.
    readDef("NEW_TEXTURE \"t\" {\n}\nNEW_TEXTURE \"t\" {\n}\nNEW_MORVA \"m\" {\nB 2,t\n}\nNEW_CUBE \"c\" {\nF 5,t\n}\n");
    EXPECT_EQ(tile_bg, &tile_tex[0].image);
    EXPECT_EQ(tile[254].faceTexture[TILE_RIGHT], &tile_tex[0]);
}

TEST(TileDef, CubeKeysAndMalformedLines)
{
    readDef("NEW_CUBE \"a\" {\nD 20,3\n"  // BACK and TOP by their bits
            "R 29,196608\nR 30,131072\n"   // both shading bits: not shaded; one: shaded
            "C 1,x_NRW_Chkrs\nS 15,513\nK 2,3abc\n}\n"
            "NEW_CUBE \"b\" {\nL 7,x\n"  // out-of-range faces and keys change nothing
            "Z 16,5\nZ 0,BACK\nZ -3,1\nZ 35,1\nZ 99999999999999,1\n}\n"
            "NEW_CUBE \"c\" {\nLabel\n2,3\n"  // no entry; "2,3" is a label
            "L x,3\nL 2 ,3\nL 2,\n"       // no key, no comma right after it, no value
            "L 15,9 extra words 15,10\n\n   \t\nL    15,11\nL 4, \"top\"\n}\n");
    EXPECT_EQ(faces(tile[254]), "-d---- -d---s ------ ------ ------ ------");
    EXPECT_EQ((std::vector<int>{tile[254].checkered, tile[254].crossed, tile[254].shape}), (std::vector<int>{1, 1, 1}));
    static CubeDef onlyLeft;  // zeroed to the padding, as the table is
    onlyLeft.faceOn[TILE_LEFT] = 1;
    EXPECT_EQ(memcmp(&tile[253], &onlyLeft, sizeof onlyLeft), 0);
    EXPECT_EQ((std::vector<int>{tile[252].shape, tile[252].faceOn[TILE_TOP], tile[252].crossed}),
              (std::vector<int>{11, 1, 0}));

    // Types 254 down to 1; a 255th block has none left.
    std::string text;
    for (int k = 1; k <= 255; k++)
        text += "NEW_CUBE \"c" + std::to_string(k) + "\" {\nS 15," + std::to_string(k) + "\n}\n";
    const std::string out = readDef(text);
    EXPECT_TRUE(out.find("CUBE:c254\n") != std::string::npos && out.find("CUBE:c255") == std::string::npos);
    EXPECT_EQ(tile[1].shape, 254);
}

TEST(TileDef, EndOfFileInsideABlockEndsOnlyThatPass)
{
    EXPECT_EQ(readDef("NEW_CUBE \"c\" {\nS 3,t\n}\nNEW_TEXTURE \"t\" {\nF 2,16"), "CUBE:c\n");
    ASSERT_EQ(tile_texCount, 1);
    EXPECT_EQ(tile_tex[0].translucent + calls.size(), 2u);  // still a picture for the cut entry
    EXPECT_EQ(tile[254].faceTexture[TILE_BACK], &tile_tex[0]);
    tile_readDef(reinterpret_cast<const unsigned char *>("NEW_TEXTURE \"t\" {\n}\n"), 20, "/w/", nullptr);  // no hooks
    EXPECT_EQ(tile_texCount, 1);
}

}  // namespace
