// test_export.cpp -- tavo --export read back: areas per material as the viewer's faces, joined faces, alpha kinds, memory
#include <GL/gl.h>
#include <sys/resource.h>
#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <set>
#include <map>

#include "export.h"
#include "export_gltf.h"
#include "main.h"
#include "tile.h"
#include "test_support.h"

namespace {

// tavo --export OUT args... WORLD: the status, standard output in *printed.
int exportWorld(const std::string &out, const std::string &world, std::vector<std::string> args,
                std::string *printed = nullptr)
{
    std::vector<std::string> words = {"tavo", "--export", out};
    words.insert(words.end(), args.begin(), args.end());
    words.push_back(world);
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(&w[0]);
    MainCommand command;
    if (main_parse((int)argv.size(), argv.data(), &command) != "")
        return -1;
    testing::internal::CaptureStdout();
    int status = main_export(command);
    std::string said = testing::internal::GetCapturedStdout();
    if (printed)
        *printed = said;
    return status;
}

bool load(const std::string &path, tinygltf::Model *m)
{
    tinygltf::TinyGLTF loader;
    std::string err, warn;
    bool binary = path.back() == 'b';
    bool ok = binary ? loader.LoadBinaryFromFile(m, &err, &warn, path) : loader.LoadASCIIFromFile(m, &err, &warn, path);
    EXPECT_TRUE(ok) << err;
    return ok;
}

template <typename T>
const T *data(const tinygltf::Model &m, int accessor)
{
    const tinygltf::Accessor &a = m.accessors[(size_t)accessor];
    const tinygltf::BufferView &v = m.bufferViews[(size_t)a.bufferView];
    return (const T *)&m.buffers[(size_t)v.buffer].data[v.byteOffset + a.byteOffset];
}

// Each triangle of p by its three corners' positions.
std::vector<std::array<std::array<double, 3>, 3>> triangles(const tinygltf::Model &m, const tinygltf::Primitive &p)
{
    const tinygltf::Accessor &ia = m.accessors[(size_t)p.indices];
    const float *pos = data<float>(m, p.attributes.at("POSITION"));
    std::vector<std::array<std::array<double, 3>, 3>> out(ia.count / 3);
    for (size_t i = 0; i < ia.count; i++) {
        size_t k = ia.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE    ? data<unsigned char>(m, p.indices)[i]
                   : ia.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ? data<unsigned short>(m, p.indices)[i]
                                                                                : data<unsigned>(m, p.indices)[i];
        out[i / 3][i % 3] = {pos[3 * k], pos[3 * k + 1], pos[3 * k + 2]};
    }
    return out;
}

double area(const std::array<std::array<double, 3>, 3> &t)
{
    double u[3], v[3];
    for (int k = 0; k < 3; k++)
        u[k] = t[1][k] - t[0][k], v[k] = t[2][k] - t[0][k];
    double c[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    return 0.5 * sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
}

long triangleCount(const tinygltf::Model &m)
{
    long n = 0;
    for (const tinygltf::Mesh &mesh : m.meshes)
        for (const tinygltf::Primitive &p : mesh.primitives)
            n += (long)m.accessors[(size_t)p.indices].count / 3;
    return n;
}

// A picture file of w x h texels, alpha (RGBA) given a texel's alpha.
void writePicture(const std::string &path, unsigned w, unsigned h, const std::function<int(unsigned, unsigned)> &alpha)
{
    std::vector<unsigned char> rgba;
    for (unsigned y = 0; y < h; y++)
        for (unsigned x = 0; x < w; x++)
            rgba.insert(rgba.end(), {(unsigned char)(40 * x), 90, 200, (unsigned char)alpha(x, y)});
    std::vector<unsigned char> png;
    ASSERT_TRUE(image_encodePng(rgba.data(), w, h, png, true));
    test_writeText(path, std::string(png.begin(), png.end()));
}

// Cube types 254, 253 ... each showing one picture on all six faces.
std::string cubesOf(const std::vector<std::string> &pictures)
{
    std::string def;
    for (const std::string &p : pictures)
        def += "NEW_TEXTURE \"" + p + "\"\n{\n    Picture 8,\"" + p + "\"\n}\n";
    for (const std::string &p : pictures)
        def += "NEW_CUBE \"" + p + "\"\n{\n    Back 3," + p + "\n    Top 4," + p + "\n    Right 5," + p +
               "\n    Bottom 6," + p + "\n    Left 7," + p + "\n    Front 8," + p + "\n}\n";
    return def;
}

}  // namespace

TEST(Export, FacesJoinedKeepTheAreaOfEachMaterialAsTheViewerCachesIt)
{
    std::string dir = test_tempDir();
    // A lattice hides no face: a block of it needs 32-bit indices.
    std::vector<unsigned char> cells(32 * 16 * 32);
    for (size_t i = 0; i < cells.size(); i++)
        cells[i] = (i % 32 + i / 32 % 32 + i / 1024) % 2 ? 255 : 254;
    writePicture(dir + "/lattice/PCX/a.png", 4, 4, [](unsigned, unsigned) { return 255; });
    std::string lattice = test_makeWorld(dir + "/lattice", "lattice", cubesOf({"a"}), 32, 32, 16, cells, 4);
    for (std::string name : {"/demo.glb", "/demo.gltf", "/lattice.glb"}) {
        SCOPED_TRACE(name);
        std::string out = dir + name, printed;
        ASSERT_EQ(exportWorld(out, name[1] == 'd' ? TAVO_BINARY_DIR "/demo/DEF/demo.def" : lattice, {}, &printed), 0);

        // The viewer's cache of the grid as one block: the area of each
        // render state's faces.
        TileBlock all{0, tile_width, 0, tile_height, 0, tile_depth};
        TileFaces cached = {};
        tile_record(&all, &cached);
        std::map<std::vector<long>, double> want;
        for (const TileRun &r : cached.runs) {
            const size_t n = r.mode == GL_QUADS ? 4 : 3;
            for (size_t f = 0; f + n * 5 <= r.vertices.size(); f += n * 5)
                for (size_t k = 1; k + 1 < n; k++) {
                    std::array<std::array<double, 3>, 3> t;
                    for (size_t c = 0; c < 3; c++) {
                        const float *v = &r.vertices[f + (c == 0 ? 0 : k + c - 1) * 5];
                        t[c] = {v[0], v[1], v[2]};
                    }
                    want[{(long)r.image, r.smooth, r.r, r.g, r.b, r.a, r.cull}] += area(t);
                }
        }
        std::string summary = printed.substr(printed.rfind(out + ": "));
        std::string count = summary.substr(out.size() + 2, summary.find(" faces, ") - out.size() - 2);
        count.erase(std::remove(count.begin(), count.end(), ' '), count.end());
        EXPECT_EQ(count, std::to_string(cached.faces)) << summary;

        // The file's: by material, less the way its picture repeats, and
        // by its sampler's filter (the viewer's smoothing).
        tinygltf::Model m;
        ASSERT_TRUE(load(out, &m));
        EXPECT_NE(summary.find(" faces, " + std::to_string(m.materials.size()) + " materials, "), std::string::npos);
        std::map<std::string, double> got;
        for (const tinygltf::Mesh &mesh : m.meshes)
            for (const tinygltf::Primitive &p : mesh.primitives) {
                const tinygltf::Material &mat = m.materials[(size_t)p.material];
                std::string key = mat.name.substr(0, mat.name.find(" repeated"));
                key = key.substr(0, key.find(" mirrored"));
                for (double f : mat.pbrMetallicRoughness.baseColorFactor)
                    key += " " + std::to_string(f);
                int texture = mat.pbrMetallicRoughness.baseColorTexture.index;
                if (texture >= 0)
                    key += " filter " + std::to_string(m.samplers[(size_t)m.textures[(size_t)texture].sampler].magFilter);
                for (const auto &t : triangles(m, p))
                    got[key] += area(t);
            }
        std::vector<double> a, b;
        for (auto &e : want)
            a.push_back(e.second);
        for (auto &e : got)
            b.push_back(e.second);
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); i++)
            EXPECT_NEAR(a[i], b[i], 1e-4 * a[i]);
        // Joined where faces lie side by side; a lattice has none.
        EXPECT_LE(triangleCount(m), 2 * cached.faces);
        if (name[1] == 'd') {
            EXPECT_LT(triangleCount(m), cached.faces);
        }

        // The start pose as the camera node.
        const tinygltf::Node &eye = m.nodes.back();
        ASSERT_EQ(eye.camera, 0);
        EXPECT_EQ(eye.translation, (std::vector<double>{tile_temp.position.x, tile_temp.position.y, tile_temp.position.z}));
    }
    std::filesystem::remove_all(dir);
}

TEST(Export, AFloorJoinsIntoOneRectangleAPictureRunACheckerboardNot)
{
    std::string dir = test_tempDir();
    const unsigned W = 12, D = 6;
    struct Case {
        const char *name;
        std::function<unsigned char(unsigned x, unsigned z)> cell;
        long triangles;
    } cases[] = {
        {"one picture", [](unsigned, unsigned) { return (unsigned char)254; }, 6 * 2},
        // Two runs: top, bottom, back and front two rectangles each, the ends one.
        {"two halves", [](unsigned x, unsigned) { return (unsigned char)(x < 6 ? 254 : 253); }, 10 * 2},
        {"checkerboard", [](unsigned x, unsigned z) { return (unsigned char)((x + z) % 2 ? 254 : 253); },
         (2 * W * D + 2 * W + 2 * D) * 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string root = dir + "/" + c.name;
        std::vector<unsigned char> cells;
        for (unsigned z = 0; z < D; z++)
            for (unsigned x = 0; x < W; x++)
                cells.push_back(c.cell(x, z));
        writePicture(root + "/PCX/a.png", 8, 8, [](unsigned, unsigned) { return 255; });
        writePicture(root + "/PCX/b.png", 6, 10, [](unsigned, unsigned) { return 255; });
        std::string def = test_makeWorld(root, "floor", cubesOf({"a", "b"}), W, D, 1, cells);
        ASSERT_EQ(exportWorld(dir + "/floor.glb", def, {}), 0);
        tinygltf::Model m;
        ASSERT_TRUE(load(dir + "/floor.glb", &m));
        EXPECT_EQ(triangleCount(m), c.triangles);
        // An export walks the version it holds, whatever was published since.
        const TileWorldRef held = tile_world();
        const TileCellEdit edit = {1, 0, 0, (unsigned char)(c.cell(1, 0) == 254 ? 253 : 254)};
        tile_editCells(&edit, 1);
        ExportSummary summary;
        ASSERT_EQ(export_writeScene(dir + "/held.glb", *held, {0, (int)W, 0, 1, 0, (int)D}, ExportOptions(),
                                    tile_temp, &summary), 0);
        ASSERT_TRUE(load(dir + "/held.glb", &m));
        EXPECT_EQ(triangleCount(m), c.triangles);
        // A joined top repeats its picture once a cell.
        if (c.triangles == 12)
            for (const tinygltf::Mesh &mesh : m.meshes)
                for (const tinygltf::Primitive &p : mesh.primitives) {
                    const tinygltf::Accessor &uv = m.accessors[(size_t)p.attributes.at("TEXCOORD_0")];
                    const float *st = data<float>(m, p.attributes.at("TEXCOORD_0"));
                    float most = 0;
                    for (size_t i = 0; i < uv.count * 2; i++)
                        most = std::max(most, st[i]);
                    EXPECT_EQ(most, (float)W);
                    const tinygltf::Texture &t = m.textures[(size_t)m.materials[(size_t)p.material].pbrMetallicRoughness.baseColorTexture.index];
                    EXPECT_EQ(m.samplers[(size_t)t.sampler].wrapS, TINYGLTF_TEXTURE_WRAP_REPEAT);
                }
    }
    std::filesystem::remove_all(dir);
}

TEST(Export, PicturesGetTheAlphaModeOfTheirTexelsAtTheirOwnSize)
{
    struct Texels {
        const char *name;
        unsigned char hasAlpha;
        std::vector<unsigned char> alpha;  // of a 2 x 2 picture padded to 4 x 2
        ExportAlpha kind;
    } kinds[] = {
        {"no alpha channel", 0, {}, EXPORT_OPAQUE},
        {"all opaque", 1, {255, 255, 255, 255}, EXPORT_OPAQUE},  // the padding does not count
        {"cut-out", 1, {255, 0, 255, 255}, EXPORT_MASK},
        {"partly clear", 1, {255, 0, 128, 255}, EXPORT_BLEND},
    };
    for (const Texels &k : kinds) {
        ImageTexels t = {};
        t.width = 2, t.height = 2, t.texWidth = 4, t.texHeight = 2, t.hasAlpha = k.hasAlpha;
        t.texels.assign(4 * 2 * (k.hasAlpha ? 4 : 3), 255);
        for (size_t i = 0; i < k.alpha.size(); i++)
            t.texels[((i / 2) * 4 + i % 2) * 4 + 3] = k.alpha[i];
        if (k.hasAlpha)
            t.texels[2 * 4 + 3] = 7;  // padding right of the first row
        EXPECT_EQ(export_alphaKind(t), k.kind) << k.name;
    }

    // The same through an export, with and without --flat.
    std::string dir = test_tempDir();
    writePicture(dir + "/PCX/opaque.png", 48, 40, [](unsigned, unsigned) { return 255; });
    writePicture(dir + "/PCX/cutout.png", 48, 40, [](unsigned x, unsigned) { return x % 2 ? 255 : 0; });
    writePicture(dir + "/PCX/clear.png", 48, 40, [](unsigned x, unsigned) { return x * 5; });
    // The partly clear picture twice, 12 cells apart.
    std::string def = test_makeWorld(dir, "kinds", cubesOf({"opaque", "cutout", "clear"}), 17, 1, 1,
                                     {254, 255, 253, 255, 252, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 252});
    for (bool flat : {false, true}) {
        SCOPED_TRACE(flat ? "--flat" : "pictures");
        ASSERT_EQ(exportWorld(dir + "/kinds.glb", def, flat ? std::vector<std::string>{"--flat"} : std::vector<std::string>{}), 0);
        tinygltf::Model m;
        ASSERT_TRUE(load(dir + "/kinds.glb", &m));
        std::map<std::string, std::string> modes;
        for (const tinygltf::Material &mat : m.materials) {
            modes[mat.name] = mat.alphaMode;
            int t = mat.pbrMetallicRoughness.baseColorTexture.index;
            EXPECT_EQ(t >= 0, !flat || mat.name != "opaque") << mat.name;
            if (t < 0)
                continue;
            const tinygltf::Image &image = m.images[(size_t)m.textures[(size_t)t].source];
            EXPECT_EQ(image.width, 48);
            EXPECT_EQ(image.height, 40);
            // What is clear stays clear in the PNG.
            if (mat.alphaMode != "OPAQUE") {
                ASSERT_EQ(image.component, 4) << mat.name;
                EXPECT_LT(image.image[3], 255) << mat.name;
            }
            // --flat keeps the alpha on white; the colour is the factor's.
            EXPECT_EQ(image.image[0] == 255 && image.image[4] == 255, flat) << mat.name;
        }
        EXPECT_EQ(modes, (std::map<std::string, std::string>{{"opaque", "OPAQUE"}, {"cutout", "MASK"}, {"clear", "BLEND"}}));
        // The blended faces in nodes of their own, one for each block
        // of cells that holds any.
        int translucent = 0;
        for (const tinygltf::Node &node : m.nodes) {
            if (node.mesh < 0)
                continue;
            translucent += node.name.find("translucent") != std::string::npos;
            for (const tinygltf::Primitive &p : m.meshes[(size_t)node.mesh].primitives)
                EXPECT_EQ(m.materials[(size_t)p.material].alphaMode == "BLEND",
                          node.name.find("translucent") != std::string::npos) << node.name;
        }
        EXPECT_EQ(translucent, 2);
    }
    std::filesystem::remove_all(dir);
}

TEST(Export, AGlbPastItsLimitIsRefusedBeforeItIsWritten)
{
    struct Case {
        uint64_t json, bin, bytes;
    } cases[] = {
        {1, 0, 12 + 8 + 4},
        {8, 1, 12 + 8 + 8 + 8 + 4},
        {100, 4000, 12 + 8 + 100 + 8 + 4000},
        // The largest data a .glb with 1 kB of JSON holds, and one byte past it.
        {1024, EXPORT_GLB_MAX - 12 - 8 - 1024 - 8 - 3, EXPORT_GLB_MAX - 3},
        {1024, EXPORT_GLB_MAX - 12 - 8 - 1024 - 8 - 2, EXPORT_GLB_MAX + 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(export_glbSize(c.json, c.bin), c.bytes) << c.json << " " << c.bin;

    // A scene past the limit (lowered here) is refused as the walk passes
    // it, or once its pictures are counted: nothing is written.
    std::string dir = test_tempDir();
    for (uint64_t limit : {(uint64_t)20000, (uint64_t)95000}) {
        export_glbMax = limit;
        testing::internal::CaptureStderr();
        EXPECT_EQ(exportWorld(dir + "/demo.glb", TAVO_BINARY_DIR "/demo/DEF/demo.def", {}), 1) << limit;
        EXPECT_NE(testing::internal::GetCapturedStderr().find("a .glb holds at most 4 GiB; this scene needs "),
                  std::string::npos);
        EXPECT_TRUE(std::filesystem::is_empty(dir));
        // JSON text has no such limit.
        EXPECT_EQ(exportWorld(dir + "/demo.gltf", TAVO_BINARY_DIR "/demo/DEF/demo.def", {}), 0);
        std::filesystem::remove(dir + "/demo.gltf");
    }
    export_glbMax = EXPORT_GLB_MAX;
    std::filesystem::remove_all(dir);
}

// The export in a child process whose address space may grow by megabytes.
[[noreturn]] static void exportWithin(long megabytes, const std::string &out, const std::string &def)
{
    test_stdoutToStderr();
    long pages = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    if (!f || fscanf(f, "%ld", &pages) != 1)
        exit(3);
    fclose(f);
    rlimit limit;
    limit.rlim_cur = limit.rlim_max = (rlim_t)(pages * sysconf(_SC_PAGESIZE) + megabytes * 1000000);
    setrlimit(RLIMIT_AS, &limit);
    const char *argv[] = {"tavo", "--export", out.c_str(), def.c_str()};
    MainCommand command;
    main_parse(4, (char **)argv, &command);
    exit(main_export(command));
}

// A large world exports within a bound on the address space that the whole
// scene held in memory would pass; a bound too small ends with the
// program's message and status, never an abort.
TEST(Export, ALargeWorldExportsInBoundedMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any bound on it allows";
#endif
    std::string dir = test_tempDir();
    const unsigned W = 128, H = 16, D = 128;
    std::vector<unsigned char> cells((size_t)W * H * D);
    for (unsigned y = 0; y < H; y++)
        for (unsigned z = 0; z < D; z++)
            for (unsigned x = 0; x < W; x++)
                cells[((size_t)y * D + z) * W + x] = (x + y + z) % 2 ? 255 : 254;
    writePicture(dir + "/PCX/a.png", 8, 8, [](unsigned, unsigned) { return 255; });
    std::string def = test_makeWorld(dir, "lattice", cubesOf({"a"}), W, D, H, cells, 4);
    std::string out = dir + "/lattice.glb";
    struct Case {
        long megabytes;
        int status;
        const char *said;
    } cases[] = {{120, 0, "faces, "}, {1, 255, "out of memory"}};
    for (const Case &c : cases)
        EXPECT_EXIT(exportWithin(c.megabytes, out, def), testing::ExitedWithCode(c.status), c.said)
            << c.megabytes << " MB";
    // What the bound ended left nothing beside the file.
    for (const auto &e : std::filesystem::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().rfind(".tavo-", 0), std::string::npos) << e.path();
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
