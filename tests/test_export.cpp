// test_export.cpp -- tavo --export read back: per material the faces the viewer caches, corners and pictures
#include <GL/gl.h>
#include <tiny_gltf.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <map>
#include <set>

#include "export.h"
#include "main.h"
#include "tile.h"
#include "test_support.h"

namespace {

typedef std::array<float, 5> Corner;  // x, y, z, s, t (s, t 0 without a picture)

template <typename T>
const T *data(const tinygltf::Model &m, int accessor)
{
    const tinygltf::Accessor &a = m.accessors[(size_t)accessor];
    const tinygltf::BufferView &v = m.bufferViews[(size_t)a.bufferView];
    return (const T *)&m.buffers[(size_t)v.buffer].data[v.byteOffset + a.byteOffset];
}

// The corners of each triangle of p.
std::vector<Corner> corners(const tinygltf::Model &m, const tinygltf::Primitive &p)
{
    const tinygltf::Accessor &ia = m.accessors[(size_t)p.indices];
    const float *pos = data<float>(m, p.attributes.at("POSITION"));
    const float *uv = p.attributes.count("TEXCOORD_0") ? data<float>(m, p.attributes.at("TEXCOORD_0")) : nullptr;
    std::vector<Corner> out;
    for (size_t i = 0; i < ia.count; i++) {
        size_t k = ia.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT
                       ? data<unsigned short>(m, p.indices)[i] : data<unsigned>(m, p.indices)[i];
        out.push_back({pos[3 * k], pos[3 * k + 1], pos[3 * k + 2], uv ? uv[2 * k] : 0, uv ? uv[2 * k + 1] : 0});
    }
    return out;
}

}  // namespace

TEST(Export, TheDemoReadsBackAsTheViewerCachesTheWholeGrid)
{
    std::string dir = test_tempDir();
    // A floor wide enough for 32-bit indices: 34 320 faces of one material.
    std::string wide = test_makeWorld(dir + "/wide", "wide", "NEW_TEXTURE \"sand\"\n{\n    Colour 17,Color(200,180,120)\n}\n"
                                      "NEW_CUBE \"floor\"\n{\n    Back 3,sand\n    Top 4,sand\n    Right 5,sand\n"
                                      "    Bottom 6,sand\n    Left 7,sand\n    Front 8,sand\n}\n",
                                      130, 130, 1, std::vector<unsigned char>(130 * 130, 254));
    for (std::string name : {"/demo.glb", "/demo.gltf", "/wide.glb"}) {
        SCOPED_TRACE(name);
        std::string out = dir + name;
        std::string def = name[1] == 'd' ? TAVO_BINARY_DIR "/demo/DEF/demo.def" : wide;
        const char *argv[] = {"tavo", "--export", out.c_str(), def.c_str()};
        testing::internal::CaptureStdout();
        MainCommand command;
        ASSERT_EQ(main_parse(4, (char **)argv, &command), "");
        ASSERT_EQ(main_export(command), 0);
        std::string printed = testing::internal::GetCapturedStdout();

        // The viewer's cache of the grid as one block, by render state.
        TileBlock all{0, tile_width, 0, tile_height, 0, tile_depth};
        TileFaces cached = {};
        tile_record(&all, &cached);
        std::map<std::vector<long>, long> triangles;
        for (const TileRun &r : cached.runs)
            triangles[{(long)r.image, r.smooth, r.r, r.g, r.b, r.a, r.cull}] +=
                (long)r.vertices.size() / (r.mode == GL_QUADS ? 20 : 15) * (r.mode == GL_QUADS ? 2 : 1);
        std::string summary = printed.substr(printed.rfind(out + ": "));
        std::string count = summary.substr(out.size() + 2, summary.find(" faces, ") - out.size() - 2);
        count.erase(std::remove(count.begin(), count.end(), ' '), count.end());
        EXPECT_EQ(count, std::to_string(cached.faces)) << summary;
        EXPECT_NE(summary.find(" faces, " + std::to_string(triangles.size()) + " materials, "),
                  std::string::npos) << summary;

        tinygltf::TinyGLTF loader;
        tinygltf::Model m;
        std::string err, warn;
        ASSERT_TRUE(name.back() == 'b' ? loader.LoadBinaryFromFile(&m, &err, &warn, out)
                                                     : loader.LoadASCIIFromFile(&m, &err, &warn, out)) << err;
        ASSERT_EQ(m.meshes.size(), 1u);
        std::multiset<long> want, got;
        for (auto &t : triangles)
            want.insert(t.second);
        std::vector<std::set<Corner>> found;
        for (const tinygltf::Primitive &p : m.meshes[0].primitives) {
            std::vector<Corner> c = corners(m, p);
            got.insert((long)c.size() / 3);
            found.emplace_back(c.begin(), c.end());
            // Cut-outs carry their transparent texels as alpha.
            const tinygltf::Material &mat = m.materials[(size_t)p.material];
            if (mat.alphaMode == "MASK") {
                const tinygltf::Image &image = m.images[(size_t)m.textures[(size_t)mat.pbrMetallicRoughness.baseColorTexture.index].source];
                ASSERT_EQ(image.component, 4);
                EXPECT_EQ(image.image[3], 0) << mat.name;
            }
        }
        EXPECT_EQ(got, want);

        // The first face of each run lies in one primitive, corner for corner.
        for (const TileRun &r : cached.runs) {
            bool any = false;
            for (const std::set<Corner> &f : found) {
                bool all = true;
                for (size_t k = 0; k < (r.mode == GL_QUADS ? 4u : 3u); k++) {
                    const float *v = &r.vertices[k * 5];
                    bool uv = f.count({v[0], v[1], v[2], v[3], v[4]}) > 0;
                    all = all && (uv || f.count({v[0], v[1], v[2], 0, 0}));
                }
                any = any || all;
            }
            EXPECT_TRUE(any) << "a face at " << r.vertices[0] << ", " << r.vertices[1] << ", " << r.vertices[2];
        }

        // The start pose as the camera node.
        const tinygltf::Node &eye = m.nodes.back();
        ASSERT_EQ(eye.camera, 0);
        EXPECT_EQ(eye.translation, (std::vector<double>{tile_temp.position.x, tile_temp.position.y,
                                                        tile_temp.position.z}));
    }
    std::filesystem::remove_all(dir);
}

TEST(Export, PagePartsAreEncodedForTheirPlace)
{
    // Base64 as browsers decode it, every line ended.
    std::string fiftySeven(57, 'x'), wrapped;
    for (int i = 0; i < 19; i++)
        wrapped += "eHh4";
    const struct {
        std::string bytes, want;
    } rows[] = {
        {"", ""},
        {"f", "Zg==\n"},
        {"fo", "Zm8=\n"},
        {"foo", "Zm9v\n"},
        {std::string("\xff\xfe\x00", 3), "//4A\n"},
        {fiftySeven, wrapped + "\n"},
        {fiftySeven + "x", wrapped + "\neA==\n"},
    };
    for (const auto &r : rows)
        EXPECT_EQ(export_base64((const unsigned char *)r.bytes.data(), r.bytes.size()), r.want) << r.bytes.size();

    // A title cannot open markup; no backdrop without a picture.
    std::string page = export_page("<b>&x", {1, 2, 3}, {}, "run();", "LICENCE TEXT", "0.1");
    EXPECT_NE(page.find("<title>&lt;b&gt;&amp;x</title>"), std::string::npos);
    EXPECT_EQ(page.find("id=\"backdrop\""), std::string::npos);
    EXPECT_NE(page.find("id=\"world\">\nAQID\n</script>"), std::string::npos);
    EXPECT_LT(page.find("LICENCE TEXT"), page.find("<script>\nrun();</script>"));
    EXPECT_NE(export_page("t", {}, {9}, "", "", "").find("id=\"backdrop\">\nCQ==\n</script>"), std::string::npos);
}

TEST(Export, ObjFacesAreTheViewersCornerForCorner)
{
    std::string dir = test_tempDir();
    std::string out = dir + "/demo.obj";
    const char *argv[] = {"tavo", "--export", out.c_str(), "--region", "0,0,0:20,7,13", TAVO_BINARY_DIR "/demo/DEF/demo.def"};
    testing::internal::CaptureStdout();
    MainCommand command;
    ASSERT_EQ(main_parse(6, (char **)argv, &command), "");
    ASSERT_EQ(main_export(command), 0);
    testing::internal::GetCapturedStdout();

    // Each face as its corners: x, y, z and, with a picture, s and t as the
    // viewer reads its texture (OBJ counts t from the bottom row), else 0, 0.
    std::multiset<std::vector<float>> want, got;
    TileBlock part{0, 21, 0, 8, 0, 14};
    TileFaces cached = {};
    tile_record(&part, &cached);
    for (const TileRun &r : cached.runs) {
        size_t corners = r.mode == GL_QUADS ? 4 : 3;
        ExportPictureView picture;
        bool pictured = export_pictureView(r.image, &picture) && picture.texels;
        for (size_t at = 0; at < r.vertices.size(); at += corners * 5) {
            std::vector<float> face(r.vertices.begin() + (long)at, r.vertices.begin() + (long)(at + corners * 5));
            for (size_t k = 0; !pictured && k < face.size(); k += 5)
                face[k + 3] = face[k + 4] = 0;  // no coordinates to compare
            want.insert(face);
        }
    }
    std::ifstream in(out);
    std::vector<std::array<float, 3>> v;
    std::vector<std::array<float, 2>> vt;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "v")
            v.emplace_back(), words >> v.back()[0] >> v.back()[1] >> v.back()[2];
        else if (kind == "vt")
            vt.emplace_back(), words >> vt.back()[0] >> vt.back()[1];
        std::vector<float> face;
        for (std::string corner; kind == "f" && words >> corner;) {
            size_t slash = corner.find('/');
            const std::array<float, 3> &p = v.at(std::stoul(corner) - 1);
            face.insert(face.end(), p.begin(), p.end());
            std::array<float, 2> uv = {0, 1};
            if (slash != std::string::npos)
                uv = vt.at(std::stoul(corner.substr(slash + 1)) - 1);
            face.insert(face.end(), {uv[0], 1 - uv[1]});
        }
        if (!face.empty())
            got.insert(face);
    }
    EXPECT_EQ(got.size(), (size_t)cached.faces);
    EXPECT_EQ(got, want);
    std::filesystem::remove_all(dir);
}
