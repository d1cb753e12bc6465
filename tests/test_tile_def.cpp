// test_tile_def.cpp -- the definition file reader: the worked world, the keyword scan and the key tables
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"
#include "texture.h"
#include "tile.h"

namespace {

// What the reader asked of the picture hooks, in order.
struct Call {
    std::string kind;  // "load" or "color"
    const Image *image;
    std::string path;
    int r, g, b;
    bool transparent;  // the transparency state while the picture was built
};

struct Recorder {
    std::vector<Call> calls;
    std::vector<std::string> unknown;  // "type face name"
};

void recordLoad(void *ctx, Image *image, const char *path)
{
    static_cast<Recorder *>(ctx)->calls.push_back(
        {"load", image, path, 0, 0, 0, texture_getTransparent()});
}

void recordColor(void *ctx, Image *image, unsigned short w, unsigned short h, unsigned char r,
                 unsigned char g, unsigned char b)
{
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 32);
    static_cast<Recorder *>(ctx)->calls.push_back(
        {"color", image, "", r, g, b, texture_getTransparent()});
}

void recordUnknown(void *ctx, int type, int face, const char *name)
{
    static_cast<Recorder *>(ctx)->unknown.push_back(std::to_string(type) + " " +
                                                    std::to_string(face) + " " + name);
}

// Reads text as a definition file under the root "/w/"; returns the console.
std::string readDef(const std::string &text, Recorder *rec = nullptr)
{
    static Recorder scratch;
    if (!rec) {
        scratch = Recorder();
        rec = &scratch;
    }
    TileDefHooks hooks = {rec, recordLoad, recordColor, recordUnknown};
    testing::internal::CaptureStdout();
    tile_readDef(reinterpret_cast<const unsigned char *>(text.data()), text.size(), "/w/", &hooks);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::string crlf(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

const char *workedExample =
    "NEW_TEXTURE \"glass\"\n"
    "{\n"
    "Flags 2,18\n"
    "Picture 8,\"walls:glass\"\n"
    "}\n"
    "NEW_TEXTURE \"sky\"\n"
    "{\n"
    "Colour 17,Color(40,90,200)\n"
    "}\n"
    "NEW_TEXTURE \"plain\"\n"
    "{\n"
    "}\n"
    "NEW_MORVA \"back\"\n"
    "{\n"
    "Texture 2,\"sky\"\n"
    "}\n"
    "NEW_CUBE \"window\"\n"
    "{\n"
    "Back 3,\"glass\"\n"
    "Front 8,glass\n"
    "Top 4,plain\n"
    "Hide 21,TOP\n"
    "Double 20,BACK+FRONT\n"
    "Turn 29,Rotate\n"
    "Shade 34,131072\n"
    "}\n"
    "NEW_CUBE \"bush\"\n"
    "{\n"
    "Kind 2,3\n"
    "Side 3,plain\n"
    "}\n";

TEST(TileDef, WorkedExampleWithLfAndCrLf)
{
    for (const std::string &text : {std::string(workedExample), crlf(workedExample)}) {
        Recorder rec;
        std::string out = readDef(text, &rec);
        EXPECT_EQ(out, "TEXTURE:/w/PCX/walls/glass.pcx\nMORVA:back\nCUBE:window\nCUBE:bush\n");

        ASSERT_EQ(tile_texCount, 3);
        TextureEntry *glass = &tile_tex[0], *sky = &tile_tex[1], *plain = &tile_tex[2];
        EXPECT_STREQ(glass->name, "glass");
        EXPECT_STREQ(sky->name, "sky");
        EXPECT_STREQ(plain->name, "plain");
        EXPECT_EQ(glass->loaded, 1);
        EXPECT_EQ(glass->translucent, 1);
        EXPECT_EQ(sky->loaded, 1);
        EXPECT_EQ(sky->translucent, 0);
        EXPECT_EQ(plain->loaded, 0);

        ASSERT_EQ(rec.calls.size(), 3u);
        EXPECT_EQ(rec.calls[0].kind, "load");
        EXPECT_EQ(rec.calls[0].image, &glass->image);
        EXPECT_EQ(rec.calls[0].path, "/w/PCX/walls/glass.pcx");
        EXPECT_TRUE(rec.calls[0].transparent);
        EXPECT_EQ(rec.calls[1].kind, "color");
        EXPECT_EQ(rec.calls[1].image, &sky->image);
        EXPECT_EQ(rec.calls[1].r, 40);
        EXPECT_EQ(rec.calls[1].g, 90);
        EXPECT_EQ(rec.calls[1].b, 200);
        EXPECT_FALSE(rec.calls[1].transparent);
        EXPECT_EQ(rec.calls[2].image, &plain->image);
        EXPECT_EQ(rec.calls[2].r, 255);
        EXPECT_EQ(rec.calls[2].g, 255);
        EXPECT_EQ(rec.calls[2].b, 0);
        EXPECT_EQ(tile_bg, &sky->image);

        const CubeDef &window = tile[254];
        EXPECT_EQ(window.faceOn[TILE_BACK], 1);
        EXPECT_EQ(window.faceOn[TILE_FRONT], 1);
        EXPECT_EQ(window.faceOn[TILE_TOP], 0);
        EXPECT_EQ(window.faceOn[TILE_RIGHT] + window.faceOn[TILE_LEFT] + window.faceOn[TILE_BOTTOM], 0);
        EXPECT_EQ(window.faceTexture[TILE_BACK], glass);
        EXPECT_EQ(window.faceTexture[TILE_FRONT], glass);
        EXPECT_EQ(window.faceTexture[TILE_TOP], plain);
        for (int f = 0; f < 6; f++) {
            bool backOrFront = f == TILE_BACK || f == TILE_FRONT;
            EXPECT_EQ(window.doubleSided[f], backOrFront ? 1 : 0) << f;
            EXPECT_EQ(window.orientation[f].rotate, f == TILE_BACK ? 1 : 0) << f;
            EXPECT_EQ(window.orientation[f].flipH + window.orientation[f].flipV, 0) << f;
            EXPECT_EQ(window.shaded[f], f == TILE_FRONT ? 1 : 0) << f;
        }
        EXPECT_EQ(window.crossed, 0);

        const CubeDef &bush = tile[253];
        EXPECT_EQ(bush.crossed, 1);
        EXPECT_EQ(bush.faceOn[TILE_BACK], 1);
        EXPECT_EQ(bush.faceTexture[TILE_BACK], plain);
        EXPECT_EQ(tile[252].faceOn[TILE_BACK], 0);
    }
}

TEST(TileDef, KeywordScan)
{
    // The second N breaks the first attempt and is not tried again.
    std::string out = readDef("NNEW_CUBE \"a\" {\nK 2,3\n}\nxNEW_CUBE \"b\" {\nK 15,7\n}\n");
    EXPECT_EQ(out, "CUBE:b\n");
    EXPECT_EQ(tile[254].crossed, 0);
    EXPECT_EQ(tile[254].shape, 7);

    // Keywords count wherever their letters stand, even in text outside blocks.
    out = readDef("say NEW_MORVA\"x\" then {\n}\nNEW_MORV NEW_MORVA \"y\" {\n}\n");
    EXPECT_EQ(out, "MORVA:x\nMORVA:y\n");

    // A keyword at the very end, with no name and no block.
    out = readDef("NEW_CUBE");
    EXPECT_EQ(out, "CUBE:\n");
}

TEST(TileDef, Names)
{
    std::string longWord = "\"" + std::string(400, 'n') + "\"";
    readDef("NEW_TEXTURE stone {\n}\nNEW_TEXTURE x {\n}\nNEW_TEXTURE " + longWord +
            " {\n}\nNEW_TEXTURE \"ab c\" {\n}\n");
    ASSERT_EQ(tile_texCount, 4);
    EXPECT_STREQ(tile_tex[0].name, "ton");  // unquoted names lose their ends
    EXPECT_STREQ(tile_tex[1].name, "");
    EXPECT_EQ(strlen(tile_tex[2].name), 253u);  // cut to 255, then the two ends
    EXPECT_STREQ(tile_tex[3].name, "a");  // a name is one word
}

TEST(TileDef, BlockEndsOnlyAtALoneBrace)
{
    Recorder rec;
    readDef("NEW_TEXTURE \"a\"\n{\n};\nNEW_TEXTURE \"b\"\n{\n}\n", &rec);
    ASSERT_EQ(tile_texCount, 2);
    EXPECT_STREQ(tile_tex[0].name, "a");
    // Block a swallowed b's keyword; entry 1 stays zero, with no picture.
    EXPECT_STREQ(tile_tex[1].name, "");
    EXPECT_EQ(rec.calls.size(), 1u);

    // The same holds for a keyword inside an entry of a block.
    rec = Recorder();
    readDef("NEW_TEXTURE \"a\" {\nNEW_TEXTURE 17,Color(1,2,3)\nx 8,NEW_TEXTURE\n}\n", &rec);
    ASSERT_EQ(tile_texCount, 3);
    EXPECT_EQ(tile_tex[0].loaded, 1);
    EXPECT_EQ(tile_tex[1].loaded + tile_tex[2].loaded, 0);
    ASSERT_EQ(rec.calls.size(), 2u);
    EXPECT_EQ(rec.calls[0].kind, "color");
    EXPECT_EQ(rec.calls[1].path, "/w/PCX/NEW_TEXTURE.pcx");

    // "}" must be the label; at the end of an entry's line it is ignored.
    readDef("NEW_CUBE \"c\" {\nK 2,3 }\nK 15,4\n}\n");
    EXPECT_EQ(tile[254].shape, 4);
}

TEST(TileDef, TextureKeys)
{
    Recorder rec;
    readDef("NEW_TEXTURE \"first\" {\nP 8,a\nC 17,Color(1,2,3)\n}\n"   // 17 after 8: nothing
            "NEW_TEXTURE \"second\" {\nC 17,Color(300,-1,7)\nP 8,b:c\n}\n"  // 8 after 17 loads
            "NEW_TEXTURE \"third\" {\nP 8,d\nT 2,Transparent\n}\n"   // 2 after 8: not transparent
            "NEW_TEXTURE \"fourth\" {\nT 2,Transparent\nP 8,e\nF 2,16\n}\n"
            "NEW_TEXTURE \"first\" {\nC 17,Color(9,9)\nC 17,Color(1,2,3)x\n}\n",
            &rec);
    ASSERT_EQ(tile_texCount, 5);
    ASSERT_EQ(rec.calls.size(), 6u);
    EXPECT_EQ(rec.calls[0].path, "/w/PCX/a.pcx");
    EXPECT_EQ(rec.calls[1].kind, "color");  // components cut to 8 bits
    EXPECT_EQ(rec.calls[1].r, 44);
    EXPECT_EQ(rec.calls[1].g, 255);
    EXPECT_EQ(rec.calls[1].b, 7);
    EXPECT_EQ(rec.calls[2].path, "/w/PCX/b/c.pcx");
    EXPECT_EQ(rec.calls[2].image, rec.calls[1].image);
    EXPECT_EQ(rec.calls[3].path, "/w/PCX/d.pcx");
    EXPECT_FALSE(rec.calls[3].transparent);
    EXPECT_EQ(rec.calls[4].path, "/w/PCX/e.pcx");
    EXPECT_TRUE(rec.calls[4].transparent);
    EXPECT_EQ(tile_tex[3].translucent, 1);
    // Malformed colours are ignored, so the entry gets the yellow default.
    EXPECT_EQ(rec.calls[5].r, 255);
    EXPECT_EQ(rec.calls[5].b, 0);
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
            "D 20,3\n"          // BACK and TOP by their bits
            "R 29,196608\n"     // both shading bits: not shaded
            "R 30,131072\n"     // shaded
            "R 31,17152\n"      // 0x100 | 0x200 | 0x4000
            "R 32,FlipV+FlipH\n"
            "C 1,x_NRW_Chkrs\n"
            "S 15,513\n"
            "K 2,3abc\n"
            "O 21,LEFT\n"        // clears a face no key switched on
            "}\n"
            "NEW_CUBE \"b\" {\n"
            "K 2,33\n"
            "C 1,NRW_chkrs\n"
            "L 7,x\nH 21,LEFT+RIGHT\nL 7,x\n"  // on, hidden, on again
            "Z 16,5\nZ 0,BACK\nZ -3,1\nZ 35,1\nZ 99999999999999,1\n"
            "}\n");
    const CubeDef &a = tile[254];
    for (int f = 0; f < 6; f++)
        EXPECT_EQ(a.doubleSided[f], f == TILE_BACK || f == TILE_TOP ? 1 : 0) << f;
    EXPECT_EQ(a.shaded[0], 0);
    EXPECT_EQ(a.shaded[1], 1);
    EXPECT_EQ(a.orientation[2].flipH + a.orientation[2].flipV + a.orientation[2].rotate, 3);
    EXPECT_EQ(a.orientation[3].flipH + a.orientation[3].flipV, 2);
    EXPECT_EQ(a.orientation[3].rotate, 0);
    EXPECT_EQ(a.checkered, 1);
    EXPECT_EQ(a.shape, 1);  // low 8 bits
    EXPECT_EQ(a.crossed, 1);
    EXPECT_EQ(a.faceOn[TILE_LEFT], 0);

    const CubeDef &b = tile[253];
    EXPECT_EQ(b.crossed, 0);
    EXPECT_EQ(b.checkered, 0);
    EXPECT_EQ(b.faceOn[TILE_LEFT], 1);
    EXPECT_EQ(b.faceTexture[TILE_LEFT], nullptr);
    CubeDef zero;
    memset(&zero, 0, sizeof zero);
    zero.faceOn[TILE_LEFT] = 1;
    EXPECT_EQ(memcmp(&b, &zero, sizeof zero), 0);
}

TEST(TileDef, OnlyTwoHundredFiftyFourCubes)
{
    std::string text;
    for (int k = 1; k <= 256; k++)
        text += "NEW_CUBE \"c" + std::to_string(k) + "\" {\nS 15," + std::to_string(k) + "\n}\n";
    std::string out = readDef(text);
    EXPECT_NE(out.find("CUBE:c254\n"), std::string::npos);
    EXPECT_EQ(out.find("CUBE:c255"), std::string::npos);
    EXPECT_EQ(out.find("CUBE:c256"), std::string::npos);
    EXPECT_EQ(tile[254].shape, 1);
    EXPECT_EQ(tile[1].shape, 254);
    EXPECT_EQ(tile[0].shape, 0);
    EXPECT_EQ(tile[255].shape, 0);
}

TEST(TileDef, MalformedEntryLinesAreSkipped)
{
    readDef("NEW_CUBE \"c\" {\n"
            "Label\n"              // no entry
            "2,3\n"                // no label: "2,3" is the label
            "L x,3\n"              // no key
            "L 2 ,3\n"             // no comma right after the key
            "L 2,\n"               // no value
            "L 15,9 extra words 15,10\n"
            "\n\n   \t\n"
            "L    15,11\n"         // more blanks are fine
            "L 4, \"top\"\n"        // blanks after the comma too
            "}\n");
    EXPECT_EQ(tile[254].crossed, 0);
    EXPECT_EQ(tile[254].shape, 11);
    EXPECT_EQ(tile[254].faceOn[TILE_TOP], 1);
}

TEST(TileDef, EndOfFileInsideABlockEndsOnlyThatPass)
{
    Recorder rec;
    std::string out = readDef("NEW_CUBE \"c\" {\nS 3,t\n}\nNEW_TEXTURE \"t\" {\nF 2,16", &rec);
    EXPECT_EQ(out, "CUBE:c\n");
    ASSERT_EQ(tile_texCount, 1);
    EXPECT_EQ(tile_tex[0].translucent, 1);
    ASSERT_EQ(rec.calls.size(), 1u);  // still a picture for the cut entry
    EXPECT_EQ(tile[254].faceTexture[TILE_BACK], &tile_tex[0]);

    // Cut before the "{", inside a name, inside a label.
    for (const char *text : {"NEW_TEXTURE \"t\"", "NEW_TEXTURE \"t", "NEW_CUBE \"c\" {\nLab",
                             "NEW_CUBE \"c\" {\nL 15", "NEW_MORVA \"m\" { L 2,"}) {
        rec = Recorder();
        readDef(text, &rec);
    }
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

    // Hooks may be absent altogether.
    tile_readDef(reinterpret_cast<const unsigned char *>(workedExample), strlen(workedExample),
                 "/w/", nullptr);
    EXPECT_EQ(tile_texCount, 3);
}

TEST(TileDef, OddBytesNeverCrash)
{
    std::vector<std::string> texts = {
        "", "{", "}", "NEW_", std::string(1, '\0'), std::string("NEW_TEXTURE\0\"x\"{\n}", 18),
        "NEW_TEXTURE " + std::string(100000, 'q'),
        "NEW_CUBE \"c\" {\nL " + std::string(5000, '9') + ",1\n}\n",
        "NEW_CUBE \"c\" {\nL 3," + std::string(5000, 'v') + "\n}\n",
        "NEW_TEXTURE \"t\" {\nL 17,Color(" + std::string(400, '1') + ",2,3)\n}\n",
    };
    unsigned seed = 12345;
    for (int i = 0; i < 200; i++) {
        std::string t;
        const char *pieces[] = {"NEW_TEXTURE", "NEW_MORVA", "NEW_CUBE", "{", "}", "\"", " ",
                                "\n", "\r\n", "L", "2", "8", "17", "20", ",", "Color(", "x", ":"};
        for (int j = 0; j < 60; j++) {
            seed = seed * 1103515245u + 12345u;
            t += pieces[(seed >> 16) % (sizeof pieces / sizeof *pieces)];
        }
        texts.push_back(t);
    }
    for (const std::string &t : texts)
        readDef(t);
}

TEST(TileDefDeathTest, TexturePathTooLong)
{
    std::string text = "NEW_TEXTURE \"t\" {\nP 8," + std::string(250, 'p') + "\n}\n";
    EXPECT_ERROR_EXIT(tile_readDef(reinterpret_cast<const unsigned char *>(text.data()),
                                   text.size(), "/w/", nullptr),
                      0);
    EXPECT_EXIT(
        {
            test_stdoutToStderr();
            tile_readDef(reinterpret_cast<const unsigned char *>(text.data()), text.size(), "/w/",
                         nullptr);
        },
        testing::ExitedWithCode(255), "ERROR: Path too long: /w/PCX/ppp");
}

}  // namespace
