// make_seed.cpp -- writes the generated seeds of the fuzz corpora: small pictures, maps, definition files, poses
#include <math.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "entity.h"
#include "pcx_encode.h"

static std::string seed_dir;
static int seed_failures;

static void seed_write(const std::string &target, const std::string &name,
                       const std::vector<unsigned char> &bytes)
{
    if (!pcx_writeFileDirs(seed_dir + "/" + target + "/" + name, bytes)) {
        fprintf(stderr, "cannot write %s/%s\n", target.c_str(), name.c_str());
        seed_failures++;
    }
}

static void seed_text(const std::string &target, const std::string &name, const std::string &text)
{
    seed_write(target, name, std::vector<unsigned char>(text.begin(), text.end()));
}

// The texture state the PCX target reads from header byte 12.
static std::vector<unsigned char> seed_flags(std::vector<unsigned char> pcx, unsigned char flags)
{
    pcx[12] = flags;
    return pcx;
}

static void seed_pictures(void)
{
    unsigned char palette[768];
    for (int i = 0; i < 256; i++) {
        palette[3 * i] = (unsigned char)i;
        palette[3 * i + 1] = (unsigned char)(255 - i);
        palette[3 * i + 2] = (unsigned char)(i * 7);
    }
    std::vector<unsigned char> pixels(7 * 5), rgb(7 * 5 * 3);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = (unsigned char)(i % 3 ? i : 0);
    for (size_t i = 0; i < rgb.size(); i++)
        rgb[i] = (unsigned char)(i % 4 ? 40 * i : 0);
    // flags: 1 transparent, 2 automatic, 4 soften, bits 3-5 the largest texture
    seed_write("pcx", "one8.pcx", pcx_encode8(1, 1, pixels.data(), palette));
    seed_write("pcx", "small8.pcx", seed_flags(pcx_encode8(7, 5, pixels.data(), palette), 0x37));
    seed_write("pcx", "nopal8.pcx", pcx_encode8(7, 5, pixels.data(), nullptr));
    seed_write("pcx", "wide8.pcx", seed_flags(pcx_encode8(7, 5, pixels.data(), palette, 300), 0x01));
    seed_write("pcx", "small24.pcx", seed_flags(pcx_encode24(7, 5, rgb.data()), 0x07));
    seed_write("pcx", "one24.pcx", seed_flags(pcx_encode24(1, 1, rgb.data()), 0x03));
    std::vector<unsigned char> cut = pcx_encode24(7, 5, rgb.data());
    cut.resize(140);
    seed_write("pcx", "cut24.pcx", cut);
}

static void seed_maps(void)
{
    std::vector<unsigned char> cells(4 * 3 * 5);
    for (size_t i = 0; i < cells.size(); i++)
        cells[i] = (unsigned char)(i % 4 ? 254 - i % 3 : 255);
    seed_write("map", "two_across.pcx", pcx_encodeMap(4, 3, 5, cells.data(), 2));
    seed_write("map", "one_cell.pcx", pcx_encodeMap(1, 1, 1, cells.data(), 1));
    seed_write("map", "column.pcx", pcx_encodeMap(2, 2, 6, cells.data(), 1));
    std::vector<unsigned char> cut = pcx_encodeMap(4, 3, 5, cells.data(), 3);
    cut.resize(cut.size() / 2);
    seed_write("map", "cut.pcx", cut);
    std::vector<unsigned char> every(8 * 4 * 8);  // each cell value once
    for (size_t i = 0; i < every.size(); i++)
        every[i] = (unsigned char)i;
    seed_write("map", "every_value.pcx", pcx_encodeMap(8, 4, 8, every.data(), 2));
}

static const char *seed_worked =
    "NEW_TEXTURE \"glass\"\n{\nFlags 2,18\nPicture 8,\"walls:glass\"\n}\n"
    "NEW_TEXTURE \"sky\"\n{\nColour 17,Color(40,90,200)\n}\n"
    "NEW_TEXTURE \"plain\"\n{\n}\n"
    "NEW_MORVA \"back\"\n{\nTexture 2,\"sky\"\n}\n"
    "NEW_CUBE \"window\"\n{\nBack 3,\"glass\"\nFront 8,glass\nTop 4,plain\nHide 21,TOP\n"
    "Double 20,BACK+FRONT\nTurn 29,Rotate\nShade 34,131072\n}\n"
    "NEW_CUBE \"bush\"\n{\nKind 2,3\nSide 3,plain\n}\n";

static void seed_defs(void)
{
    std::string worked = seed_worked, crlf;
    for (char c : worked)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    seed_text("def", "worked.def", worked);
    seed_text("def", "worked_crlf.def", crlf);
    seed_text("def", "cut.def", worked.substr(0, worked.size() * 2 / 3));
    seed_text("def", "shapes.def",
              "NEW_TEXTURE \"a\" { Pic 8,x:y\nT 2,Transparent\nC 17,Color(1,2,3)\n}\n"
              "NEW_CUBE \"c\" {\nChk 1,NRW_Chkrs\nShape 15,12\nBoth 20,63\n"
              "O 30,FlipH+FlipV+Rotate\nO 31,17152\nS 33,196608\nHide 21,LEFT+RIGHT\n}\n"
              "NEW_TEXTURE \"NEW_TEXTURE\" { L 8,\"NEW_CUBE\" }\n}\n");
    std::string many;
    for (int i = 0; i < 260; i++)
        many += "NEW_CUBE \"c" + std::to_string(i) + "\"{\nF 8,a\n}\n";
    seed_text("def", "many_cubes.def", "NEW_TEXTURE \"a\"{\n}\n" + many);
}

static std::vector<unsigned char> seed_pose(float lx, float ly, float lz, float ux, float uy,
                                            float uz, float fx, float fy, float fz, float px,
                                            float py, float pz, unsigned w, unsigned h,
                                            unsigned d)
{
    Entity e = {{lx, ly, lz}, {ux, uy, uz}, {fx, fy, fz}, {px, py, pz}};
    std::vector<unsigned char> bytes(ENTITY_FILE_SIZE);
    entity_toBytes(&e, bytes.data());
    for (unsigned v : {w, h, d}) {
        bytes.push_back((unsigned char)(v & 0xFF));
        bytes.push_back((unsigned char)(v >> 8));
    }
    return bytes;
}

static void seed_cameras(void)
{
    seed_write("camera", "default.cam",
               seed_pose(-1, 0, 0, 0, 1, 0, 0, 0, -1, 0, 0, 0, 22, 22, 11));
    seed_write("camera", "inside.cam",
               seed_pose(-1, 0, 0, 0, 1, 0, 0, 0, -1, 20, 20, 70, 30, 30, 30));
    seed_write("camera", "beyond.cam",
               seed_pose(0, 0, 1, 0, 1, 0, -1, 0, 0, 1e9f, -5, 4e5f, 5, 3, 65535));
    seed_write("camera", "odd.cam",
               seed_pose(NAN, 0, 0, 0, INFINITY, 0, 0, 0, -INFINITY, NAN, -INFINITY, INFINITY,
                         1, 1, 1));
    std::vector<unsigned char> shortFile = seed_pose(-1, 0, 0, 0, 1, 0, 0, 0, -1, 3, 4, 5, 0, 0, 0);
    shortFile.resize(20);
    seed_write("camera", "short.cam", shortFile);
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    seed_dir = argv[1];
    seed_pictures();
    seed_maps();
    seed_defs();
    seed_cameras();
    return seed_failures ? 1 : 0;
}
