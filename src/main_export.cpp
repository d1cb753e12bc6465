// main_export.cpp -- tavo --export: the world's faces as a glTF 2.0 scene, made without a window
#include "main.h"

#include <ctype.h>
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <tiny_gltf.h>

#include "error.h"
#include "export.h"
#include "file.h"
#include "image.h"
#include "texture.h"
#include "tile.h"

namespace {

// The largest picture side taken: as large as a PNG the export writes.
const int EXPORT_MAX_TEXTURE = IMAGE_PNG_MAX;

// A picture the load made, kept on the CPU: the texels it would upload, or
// the colour of a colour square.  An Image's textureId is 1 + its index.
struct ExportPicture {
    ImageTexels texels;
    bool color = false;
    unsigned char r = 255, g = 255, b = 255;
};

std::vector<ExportPicture> export_pictures;

void export_loadPicture(void *, Image *image, const char *path)
{
    ExportPicture p;
    if (image_read(path, EXPORT_MAX_TEXTURE, &p.texels))
        image->hasAlpha = p.texels.hasAlpha;  // as image_load leaves it
    image->width = p.texels.width;
    image->height = p.texels.height;
    image->texWidth = p.texels.texWidth;
    image->texHeight = p.texels.texHeight;
    export_pictures.push_back(std::move(p));
    image->textureId = (unsigned)export_pictures.size();
}

void export_createColor(void *, Image *image, unsigned short w, unsigned short h, unsigned char r,
                        unsigned char g, unsigned char b)
{
    ExportPicture p;
    p.color = true;
    p.r = r, p.g = g, p.b = b;
    image->width = w;
    image->height = h;
    image->texWidth = image_powerOfTwo(w);
    image->texHeight = image_powerOfTwo(h);
    export_pictures.push_back(std::move(p));
    image->textureId = (unsigned)export_pictures.size();
}

const ExportPicture *export_pictureOf(const Image *image)
{
    if (!image || image->textureId == 0 || image->textureId > export_pictures.size())
        return nullptr;
    return &export_pictures[image->textureId - 1];
}

// The name a picture goes by in the definition file, for the materials.
std::string export_nameOf(const Image *image)
{
    if (image == &tile_dummy)
        return "stand-by";
    if (image == &tile_matrix)
        return "matrix";
    for (int i = 0; i < tile_texCount; i++)
        if (&tile_tex[i].image == image)
            return tile_tex[i].name;
    return "picture";
}

// ------------------------------------------------------------- the command

struct ExportRequest {
    const char *out = nullptr, *world = nullptr, *region = nullptr;
    bool flat = false, binary = false;
};

bool export_endsWith(const std::string &s, const char *end)
{
    size_t n = strlen(end);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; i++)
        if (tolower((unsigned char)s[s.size() - n + i]) != end[i])
            return false;
    return true;
}

// "X0,Y0,Z0:X1,Y1,Z1", cells inclusive, into a block (ends exclusive).
bool export_parseRegion(const char *text, TileBlock *out)
{
    long v[6];
    for (int i = 0; i < 6; i++) {
        if (*text < '0' || *text > '9')
            return false;
        v[i] = 0;
        while (*text >= '0' && *text <= '9') {
            v[i] = v[i] * 10 + (*text++ - '0');
            if (v[i] > 65535)
                return false;
        }
        if (*text++ != (i == 5 ? '\0' : i == 2 ? ':' : ','))
            return false;
    }
    *out = TileBlock{(int)v[0], (int)v[3] + 1, (int)v[1], (int)v[4] + 1, (int)v[2], (int)v[5] + 1};
    return true;
}

// A world's file is any the load read or the viewer writes; a file that
// is missing now (a picture shown as the stand-by) still counts, by name.
bool export_isWorldFile(const std::string &out)
{
    return !tile_worldFile(out.c_str()).empty();
}

// The folder OUT goes in must be there and writable; one without a write
// permission bit is left alone, by the superuser too.
int export_folderWritable(const std::string &out)
{
    size_t slash = out.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : out.substr(0, slash);
    struct stat st;
    if (stat(folder.c_str(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    if (!(st.st_mode & 0222))
        return EACCES;
    return 0;
}

// ---------------------------------------------------------------- the scene

// What makes a material: a run's render state less its face kind.
typedef std::tuple<const Image *, int, int, int, int, int, int> ExportState;

struct ExportPrimitive {
    size_t state;  // in states_
    std::vector<float> positions, uvs;
    std::vector<unsigned> indices;
    unsigned vertices = 0;
};

float export_linear(float srgb)
{
    return srgb <= 0.04045f ? srgb / 12.92f : powf((srgb + 0.055f) / 1.055f, 2.4f);
}

// The picture's colour over its visible texels, for --flat.
void export_meanColor(const ExportPicture &p, float rgb[3])
{
    const ImageTexels &t = p.texels;
    const size_t channels = t.hasAlpha ? 4 : 3;
    double sum[3] = {0, 0, 0}, weight = 0;
    for (size_t y = 0; y < t.height; y++)
        for (size_t x = 0; x < t.width; x++) {
            const unsigned char *px = &t.texels[(y * t.texWidth + x) * channels];
            double w = channels == 4 ? px[3] / 255.0 : 1.0;
            for (int c = 0; c < 3; c++)
                sum[c] += w * px[c];
            weight += w;
        }
    for (int c = 0; c < 3; c++)
        rgb[c] = weight > 0 ? (float)(sum[c] / weight / 255.0) : 1.0f;
}

// The export's sink of the face walker: each face joins the primitive of
// its render state.
class ExportBuilder : public TileSink {
public:
    explicit ExportBuilder(bool flat) : flat_(flat) { model.buffers.resize(1); }

    void face(const TileFace &f) override
    {
        float corners[4][5];
        for (int i = 0; i < f.count; i++) {
            for (int k = 0; k < 3; k++)
                corners[i][k] = f.origin[k] + f.corner[i][k];
            corners[i][3] = f.corner[i][3];
            corners[i][4] = f.corner[i][4];
        }
        addFace(primitiveOf(f.state), corners[0], (size_t)f.count);
        faces_++;
    }

    void finish(const Entity &pose);
    tinygltf::Model model;
    long faces_ = 0;

private:
    bool flat_;
    std::map<ExportState, size_t> primitiveOfState_;
    std::vector<ExportPrimitive> primitives_;
    std::vector<TileState> states_;  // each primitive's
    std::map<std::pair<const ExportPicture *, int>, int> textures_;
    std::map<const ExportPicture *, int> images_;

    ExportPrimitive &primitiveOf(const TileState &r)
    {
        ExportState key{r.image, r.smooth, r.r, r.g, r.b, r.a, r.cull};
        auto found = primitiveOfState_.find(key);
        if (found != primitiveOfState_.end())
            return primitives_[found->second];
        primitiveOfState_[key] = primitives_.size();
        states_.push_back(r);
        primitives_.push_back(ExportPrimitive{primitives_.size(), {}, {}, {}, 0});
        return primitives_.back();
    }

    // A face's distinct corners become vertices, its fan the triangles;
    // a triangle two of whose corners are one is left out.
    static void addFace(ExportPrimitive &p, const float *v, size_t corners)
    {
        unsigned index[4];
        size_t made = 0;
        for (size_t i = 0; i < corners; i++) {
            size_t j = 0;
            while (j < i && memcmp(&v[j * 5], &v[i * 5], 5 * sizeof(float)) != 0)
                j++;
            if (j < i) {
                index[i] = index[j];
                continue;
            }
            index[i] = p.vertices + (unsigned)made++;
            p.positions.insert(p.positions.end(), &v[i * 5], &v[i * 5 + 3]);
            p.uvs.insert(p.uvs.end(), &v[i * 5 + 3], &v[i * 5 + 5]);
        }
        p.vertices += (unsigned)made;
        for (size_t k = 1; k + 1 < corners; k++) {
            unsigned a = index[0], b = index[k], c = index[k + 1];
            if (a != b && b != c && a != c)
                p.indices.insert(p.indices.end(), {a, b, c});
        }
    }

    int view(const void *bytes, size_t size, int target)
    {
        std::vector<unsigned char> &data = model.buffers[0].data;
        while (data.size() % 4)
            data.push_back(0);
        tinygltf::BufferView v;
        v.buffer = 0;
        v.byteOffset = data.size();
        v.byteLength = size;
        v.target = target;
        const unsigned char *b = (const unsigned char *)bytes;
        data.insert(data.end(), b, b + size);
        model.bufferViews.push_back(v);
        return (int)model.bufferViews.size() - 1;
    }

    int accessor(int bufferView, int componentType, size_t count, int type)
    {
        tinygltf::Accessor a;
        a.bufferView = bufferView;
        a.componentType = componentType;
        a.count = count;
        a.type = type;
        model.accessors.push_back(a);
        return (int)model.accessors.size() - 1;
    }

    int image(const ExportPicture *p)
    {
        auto found = images_.find(p);
        if (found != images_.end())
            return found->second;
        const ImageTexels &t = p->texels;
        std::vector<unsigned char> png;
        if (!image_encodePng(t.texels.data(), t.texWidth, t.texHeight, png, t.hasAlpha != 0))
            error(ERROR_MEMORY);
        tinygltf::Image i;
        i.mimeType = "image/png";
        i.bufferView = view(png.data(), png.size(), 0);
        model.images.push_back(i);
        return images_[p] = (int)model.images.size() - 1;
    }

    int texture(const ExportPicture *p, bool smooth)
    {
        auto found = textures_.find({p, smooth});
        if (found != textures_.end())
            return found->second;
        tinygltf::Texture t;
        t.source = image(p);
        t.sampler = smooth ? 1 : 0;
        model.textures.push_back(t);
        return textures_[{p, smooth}] = (int)model.textures.size() - 1;
    }

    int material(const TileState &r);
    void primitive(ExportPrimitive &p, tinygltf::Mesh &mesh);
};

int ExportBuilder::material(const TileState &r)
{
    const ExportPicture *p = export_pictureOf(r.image);
    const bool textured = p && !p->color && !flat_;
    float rgb[3] = {1.0f, 1.0f, 1.0f};
    if (p && p->color)
        rgb[0] = p->r / 255.0f, rgb[1] = p->g / 255.0f, rgb[2] = p->b / 255.0f;
    else if (p && flat_)
        export_meanColor(*p, rgb);
    const unsigned char tint[3] = {r.r, r.g, r.b};

    tinygltf::Material m;
    m.name = export_nameOf(r.image) + (r.r < 255 ? " shaded" : "") +
             (r.cull ? " double-sided" : "");
    // The viewer multiplies the picture's own values; a factor counts in
    // linear light.
    m.pbrMetallicRoughness.baseColorFactor = {export_linear(rgb[0] * tint[0] / 255.0f),
                                              export_linear(rgb[1] * tint[1] / 255.0f),
                                              export_linear(rgb[2] * tint[2] / 255.0f),
                                              r.a / 255.0};
    m.pbrMetallicRoughness.metallicFactor = 0.0;
    m.pbrMetallicRoughness.roughnessFactor = 1.0;
    if (textured)
        m.pbrMetallicRoughness.baseColorTexture.index = texture(p, r.smooth != 0);
    m.alphaMode = r.a < 255 ? "BLEND" : textured && p->texels.hasAlpha ? "MASK" : "OPAQUE";
    m.doubleSided = r.cull != 0;
    // Faces are not lit in the viewer.
    m.extensions["KHR_materials_unlit"] = tinygltf::Value(tinygltf::Value::Object());
    model.materials.push_back(m);
    return (int)model.materials.size() - 1;
}

void ExportBuilder::primitive(ExportPrimitive &p, tinygltf::Mesh &mesh)
{
    const TileState &r = states_[p.state];
    tinygltf::Primitive out;
    out.material = material(r);
    out.mode = TINYGLTF_MODE_TRIANGLES;

    int at = accessor(view(p.positions.data(), p.positions.size() * sizeof(float),
                           TINYGLTF_TARGET_ARRAY_BUFFER),
                      TINYGLTF_COMPONENT_TYPE_FLOAT, p.vertices, TINYGLTF_TYPE_VEC3);
    std::vector<double> low(3, INFINITY), high(3, -INFINITY);
    for (size_t i = 0; i < p.positions.size(); i++) {
        low[i % 3] = std::min(low[i % 3], (double)p.positions[i]);
        high[i % 3] = std::max(high[i % 3], (double)p.positions[i]);
    }
    model.accessors[(size_t)at].minValues = low;
    model.accessors[(size_t)at].maxValues = high;
    out.attributes["POSITION"] = at;
    if (model.materials.back().pbrMetallicRoughness.baseColorTexture.index >= 0)
        out.attributes["TEXCOORD_0"] = accessor(
            view(p.uvs.data(), p.uvs.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER),
            TINYGLTF_COMPONENT_TYPE_FLOAT, p.vertices, TINYGLTF_TYPE_VEC2);

    // 16 bits while they reach (65535 marks a restart), else 32.
    if (p.vertices < 65535) {
        std::vector<unsigned short> small(p.indices.begin(), p.indices.end());
        out.indices = accessor(view(small.data(), small.size() * 2,
                                    TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER),
                               TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, small.size(),
                               TINYGLTF_TYPE_SCALAR);
    } else {
        out.indices = accessor(view(p.indices.data(), p.indices.size() * 4,
                                    TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER),
                               TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, p.indices.size(),
                               TINYGLTF_TYPE_SCALAR);
    }
    mesh.primitives.push_back(out);
    p = ExportPrimitive{};  // its arrays are in the buffer now
}

// The start pose's axes as a unit quaternion (x, y, z, w); a glTF camera
// looks along its -z with +y up, as the viewer's does along forward.
std::vector<double> export_rotation(const Entity &pose)
{
    double f[3] = {pose.forward.x, pose.forward.y, pose.forward.z};
    double u[3] = {pose.up.x, pose.up.y, pose.up.z};
    double s[3] = {f[1] * u[2] - f[2] * u[1], f[2] * u[0] - f[0] * u[2], f[0] * u[1] - f[1] * u[0]};
    double fl = sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    double sl = sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    if (!(fl > 1e-9) || !(sl > 1e-9) || !std::isfinite(fl * sl))
        return {0, 0, 0, 1};
    for (int i = 0; i < 3; i++)
        f[i] /= fl, s[i] /= sl;
    // The true up, square to both, as the view builds it.
    double t[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    // Columns: x = side, y = up, z = -forward.
    double m[3][3] = {{s[0], t[0], -f[0]}, {s[1], t[1], -f[1]}, {s[2], t[2], -f[2]}};
    double trace = m[0][0] + m[1][1] + m[2][2], q[4];
    if (trace > 0) {
        double k = 0.5 / sqrt(trace + 1.0);
        q[3] = 0.25 / k;
        q[0] = (m[2][1] - m[1][2]) * k;
        q[1] = (m[0][2] - m[2][0]) * k;
        q[2] = (m[1][0] - m[0][1]) * k;
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        double k = 2.0 * sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]);
        q[3] = (m[2][1] - m[1][2]) / k;
        q[0] = 0.25 * k;
        q[1] = (m[0][1] + m[1][0]) / k;
        q[2] = (m[0][2] + m[2][0]) / k;
    } else if (m[1][1] > m[2][2]) {
        double k = 2.0 * sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]);
        q[3] = (m[0][2] - m[2][0]) / k;
        q[0] = (m[0][1] + m[1][0]) / k;
        q[1] = 0.25 * k;
        q[2] = (m[1][2] + m[2][1]) / k;
    } else {
        double k = 2.0 * sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]);
        q[3] = (m[1][0] - m[0][1]) / k;
        q[0] = (m[0][2] + m[2][0]) / k;
        q[1] = (m[1][2] + m[2][1]) / k;
        q[2] = 0.25 * k;
    }
    double n = sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    return {q[0] / n, q[1] / n, q[2] / n, q[3] / n};
}

void ExportBuilder::finish(const Entity &pose)
{
    model.asset.version = "2.0";
    model.asset.generator = "Tavo v3.1";
    tinygltf::Sampler nearest, linear;
    nearest.magFilter = nearest.minFilter = TINYGLTF_TEXTURE_FILTER_NEAREST;
    linear.magFilter = linear.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
    for (tinygltf::Sampler *s : {&nearest, &linear})
        s->wrapS = s->wrapT = TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE;
    model.samplers = {nearest, linear};

    tinygltf::Scene scene;
    tinygltf::Mesh mesh;
    mesh.name = "world";
    for (ExportPrimitive &p : primitives_)
        if (!p.indices.empty())
            primitive(p, mesh);
    if (!mesh.primitives.empty()) {
        model.meshes.push_back(mesh);
        tinygltf::Node node;
        node.name = "world";
        node.mesh = 0;
        model.nodes.push_back(node);
        scene.nodes.push_back(0);
        model.extensionsUsed.push_back("KHR_materials_unlit");
    }
    // Samplers nothing uses are left out.
    bool used[2] = {false, false};
    for (const tinygltf::Texture &t : model.textures)
        used[t.sampler] = true;
    if (!used[1])
        model.samplers.pop_back();
    if (!used[0] && !model.samplers.empty()) {
        model.samplers.erase(model.samplers.begin());
        for (tinygltf::Texture &t : model.textures)
            t.sampler = 0;
    }

    if (model.buffers[0].data.empty())
        model.buffers.clear();  // a region of empty cells: a camera alone

    tinygltf::Camera camera;
    camera.name = "start";
    camera.type = "perspective";
    camera.perspective.yfov = 45.0 * M_PI / 180.0;
    camera.perspective.aspectRatio = 640.0 / 480.0;
    camera.perspective.znear = 1.0;
    camera.perspective.zfar = 4000.0;
    model.cameras.push_back(camera);
    tinygltf::Node eye;
    eye.name = "start";
    eye.camera = 0;
    const Vector &at = pose.position;
    if (std::isfinite(at.x) && std::isfinite(at.y) && std::isfinite(at.z))
        eye.translation = {at.x, at.y, at.z};
    eye.rotation = export_rotation(pose);
    model.nodes.push_back(eye);
    scene.nodes.push_back((int)model.nodes.size() - 1);
    scene.name = "world";
    model.scenes.push_back(scene);
    model.defaultScene = 0;
}

// "41 213"
std::string export_grouped(long n)
{
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); i++) {
        if (i && (digits.size() - i) % 3 == 0)
            out += ' ';
        out += digits[i];
    }
    return out;
}

std::string export_size(size_t bytes)
{
    char text[32];
    if (bytes >= 1000000)
        snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    else if (bytes >= 1000)
        snprintf(text, sizeof text, "%.0f kB", bytes / 1e3);
    else
        snprintf(text, sizeof text, "%zu bytes", bytes);
    return text;
}

struct ExportRefused {
    unsigned char code;
};

void export_refuse(unsigned char code)
{
    throw ExportRefused{code};
}

// Loads the world with its console lines kept back, since the export says
// one line of its own.  A world the viewer could not open has them said
// after all and ends with the viewer's status; 0 when it loads.
int export_load(const std::string &def, const TileDefHooks *hooks)
{
    fflush(stdout);
    FILE *held = tmpfile();
    int console = held ? dup(STDOUT_FILENO) : -1;
    if (console >= 0)
        dup2(fileno(held), STDOUT_FILENO);
    bool refused = false;
    error_setHook(export_refuse);
    try {
        tile_loadFrom(def, true, hooks);
    } catch (const ExportRefused &) {
        refused = true;
    }
    error_setHook(nullptr);
    fflush(stdout);
    if (console >= 0) {
        dup2(console, STDOUT_FILENO);
        close(console);
    }
    if (held && refused && console >= 0) {
        rewind(held);
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, held)) > 0)
            fwrite(buf, 1, n, stdout);
        fflush(stdout);
    }
    if (held)
        fclose(held);
    return refused ? 255 : 0;
}

int export_world(const ExportRequest &req)
{
    // The command line has checked the region.
    TileBlock region{0, 0, 0, 0, 0, 0};
    bool all = !req.region || strcmp(req.region, "all") == 0;
    if (!all)
        export_parseRegion(req.region, &region);
    if (int err = export_folderWritable(req.out)) {
        error_report(req.out, file_reason(err));
        return 1;
    }

    // The viewer's load, the pictures decoded but never uploaded.
    texture_smooth(1);
    export_pictures.clear();
    TileDefHooks hooks = {nullptr, export_loadPicture, export_createColor, nullptr};
    if (int status = export_load(tile_absolute(req.world), &hooks))
        return status;
    tile_optSmooth = 1;
    tile_optAlpha = 1;
    tile_optTexture = 1;
    fflush(stdout);

    if (export_isWorldFile(req.out)) {
        error_report(req.out, "is one of the world's own files; it is left as it is");
        return 1;
    }
    if (all) {
        region = TileBlock{0, tile_width, 0, tile_height, 0, tile_depth};
    } else if (region.x1 > tile_width || region.y1 > tile_height || region.z1 > tile_depth) {
        fprintf(stderr, "tavo: --region %s lies outside the grid of x 0..%d, y 0..%d, z 0..%d\n",
                req.region, tile_width - 1, tile_height - 1, tile_depth - 1);
        return 1;
    }

    // The region as one block: faces between its solid cells are dropped,
    // those on its sides stay, so a part comes out closed.
    ExportBuilder builder(req.flat);
    TileWalk walk;
    tile_walkBegin(&walk, &builder);
    tile_walkCells(&walk, &region, &region);
    builder.finish(tile_temp);

    tinygltf::TinyGLTF gltf;
    std::ostringstream stream;
    if (!gltf.WriteGltfSceneToStream(&builder.model, stream, !req.binary, req.binary)) {
        error_report(req.out, "the scene cannot be written");
        return 1;
    }
    const std::string bytes = stream.str();
    if (int err = file_write(req.out, bytes.data(), bytes.size())) {
        error_report(req.out, file_reason(err));
        return 1;
    }
    printf("%s: %s faces, %zu materials, %zu pictures, %s\n", req.out,
           export_grouped(builder.faces_).c_str(), builder.model.materials.size(),
           builder.model.images.size(), export_size(bytes.size()).c_str());
    return 0;
}

}  // namespace

std::string main_exportNameCheck(const char *out)
{
    for (const char *end : {".glb", ".gltf", ".html", ".obj"})
        if (export_endsWith(out, end))
            return "";
    return "the name must end in .glb (binary), .gltf (text), .html (a web page) or .obj";
}

std::string main_exportRegionCheck(const char *region)
{
    TileBlock b;
    if (strcmp(region, "all") == 0)
        return "";
    if (!export_parseRegion(region, &b))
        return "expected all or X0,Y0,Z0:X1,Y1,Z1 (cells)";
    if (b.x1 <= b.x0 || b.y1 <= b.y0 || b.z1 <= b.z0)
        return "each end must be at or past its start";
    return "";
}

int main_export(const MainCommand &command)
{
    error_noDialog();  // a script waits for this run: a failure is its status
    const char *out = command.operand("--export");
    if (export_endsWith(out, ".html"))
        return export_html(command);
    if (export_endsWith(out, ".obj"))
        return export_obj(command);
    ExportRequest req;
    req.out = command.operand("--export");
    req.region = command.operand("--region");
    req.flat = command.has("--flat");
    req.world = command.world;
    req.binary = export_endsWith(req.out, ".glb");
    int status = export_world(req);
    fflush(stdout);
    return status;
}

// ---- what the other kinds of OUT share (export.h)

int export_loadWorld(const char *world)
{
    texture_smooth(1);
    export_pictures.clear();
    TileDefHooks hooks = {nullptr, export_loadPicture, export_createColor, nullptr};
    if (int status = export_load(tile_absolute(world), &hooks))
        return status;
    tile_optSmooth = 1;
    tile_optAlpha = 1;
    tile_optTexture = 1;
    fflush(stdout);
    return 0;
}

bool export_pictureView(const Image *image, ExportPictureView *out)
{
    const ExportPicture *p = export_pictureOf(image);
    if (!p)
        return false;
    out->texels = p->color ? nullptr : &p->texels;
    out->color = p->color;
    out->rgb[0] = p->r, out->rgb[1] = p->g, out->rgb[2] = p->b;
    return true;
}

void export_pictureMean(const Image *image, float rgb[3])
{
    rgb[0] = rgb[1] = rgb[2] = 1.0f;
    if (const ExportPicture *p = export_pictureOf(image))
        export_meanColor(*p, rgb);
}

std::string export_pictureName(const Image *image)
{
    return export_nameOf(image);
}

std::string export_outRefusal(const std::string &path)
{
    if (int err = export_folderWritable(path))
        return file_reason(err);
    if (tile_map && export_isWorldFile(path))
        return "is one of the world's own files; it is left as it is";
    if (int err = file_replaceable(path.c_str()))
        return file_reason(err);
    return "";
}

bool export_regionBlock(const char *region, TileBlock *out)
{
    *out = TileBlock{0, tile_width, 0, tile_height, 0, tile_depth};
    if (!region || strcmp(region, "all") == 0)
        return true;
    if (export_parseRegion(region, out) && out->x1 <= tile_width && out->y1 <= tile_height &&
        out->z1 <= tile_depth)
        return true;
    fprintf(stderr, "tavo: --region %s lies outside the grid of x 0..%d, y 0..%d, z 0..%d\n",
            region, tile_width - 1, tile_height - 1, tile_depth - 1);
    return false;
}

std::string export_countText(long n)
{
    return export_grouped(n);
}

std::string export_sizeText(size_t bytes)
{
    return export_size(bytes);
}
