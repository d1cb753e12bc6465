// export_gltf.cpp -- the loaded world's faces as a glTF 2.0 file, written chunk by chunk as the walk goes
#include "export_gltf.h"

#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <new>
#include <tuple>
#include <vector>

#include "error.h"
#include "export_output.h"
#include "file.h"
#include "texture.h"

uint64_t export_glbMax = EXPORT_GLB_MAX;

namespace {

float export_linear(float srgb)
{
    return srgb <= 0.04045f ? srgb / 12.92f : powf((srgb + 0.055f) / 1.055f, 2.4f);
}

// ------------------------------------------------------------------ JSON text

// Names come from the definition file in any bytes: what is not UTF-8
// is taken as Latin-1, so the JSON stays valid.
void json_string(std::string &o, const std::string &s)
{
    o += '"';
    for (size_t i = 0; i < s.size(); i++) {
        unsigned char c = (unsigned char)s[i];
        size_t n = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
        bool sequence = n > 0;
        for (size_t k = 1; sequence && k <= n; k++)
            sequence = i + k < s.size() && ((unsigned char)s[i + k] & 0xC0) == 0x80;
        // No overlong forms, surrogates or code points past U+10FFFF.
        const unsigned char next = sequence ? (unsigned char)s[i + 1] : 0;
        if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next >= 0xA0) || (c == 0xF0 && next < 0x90) ||
            (c == 0xF4 && next >= 0x90))
            sequence = false;
        char esc[8];
        if (c == '"' || c == '\\') {
            o += '\\';
            o += (char)c;
        } else if (c < 0x20 || (c >= 0x80 && !sequence)) {
            snprintf(esc, sizeof esc, "\\u%04x", c);
            o += esc;
        } else if (sequence) {
            o.append(s, i, n + 1);
            i += n;
        } else {
            o += (char)c;
        }
    }
    o += '"';
}

// Exact for any float: the validator compares bounds with the data.
std::string json_number(double v)
{
    char text[40];
    snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// Appends item to a JSON array held without its brackets.
void json_push(std::string &list, const std::string &item)
{
    if (!list.empty())
        list += ',';
    list += item;
}

void json_member(std::string &o, const char *name, const std::string &list)
{
    if (list.empty())
        return;
    o += o.size() > 1 ? ",\"" : "\"";
    o += name;
    o += "\":[" + list + "]";
}

// ------------------------------------------------------------ the materials

// What makes a material: the render state less the face kind, and how the
// picture wraps past 0..1.
typedef std::tuple<const Image *, int, int, int, int, int, int, int> ExportMaterialKey;

struct ExportMaterial {
    int index;
    bool textured, blend;
};

// One primitive of a chunk: vertices shared by equal position (and
// texture coordinates when textured), triangles as indices.
struct ExportPrimitive {
    int material = 0;
    bool textured = false;
    std::vector<float> positions, uvs;
    std::vector<uint32_t> indices;
    // Open addressing over the vertices made so far: an index + 1 a slot,
    // 0 for an empty one; never more than half full.
    std::vector<uint32_t> slots;

    static uint64_t hash(const float k[5])
    {
        uint32_t w[5];
        memcpy(w, k, sizeof w);
        // Positions step by the cell's size: the bits that differ sit high
        // in a float, and must reach the low bits too.
        uint64_t h = 0;
        for (uint32_t x : w) {
            h = (h ^ x) * 0x9E3779B97F4A7C15ull;
            h ^= h >> 32;
        }
        return h;
    }

    bool same(uint32_t i, const float k[5]) const
    {
        return memcmp(&positions[3 * (size_t)i], k, 3 * sizeof(float)) == 0 &&
               (!textured || memcmp(&uvs[2 * (size_t)i], k + 3, 2 * sizeof(float)) == 0);
    }

    void grow(void)
    {
        std::vector<uint32_t> old(std::max<size_t>(1024, slots.size() * 2), 0);
        old.swap(slots);
        const size_t mask = slots.size() - 1, n = positions.size() / 3;
        for (size_t i = 0; i < n; i++) {
            float k[5] = {positions[3 * i], positions[3 * i + 1], positions[3 * i + 2], 0.0f, 0.0f};
            if (textured)
                k[3] = uvs[2 * i], k[4] = uvs[2 * i + 1];
            size_t h = (size_t)hash(k) & mask;
            while (slots[h])
                h = (h + 1) & mask;
            slots[h] = (uint32_t)i + 1;
        }
    }

    uint32_t vertex(const float *c)
    {
        const float k[5] = {c[0], c[1], c[2], textured ? c[3] : 0.0f, textured ? c[4] : 0.0f};
        const size_t n = positions.size() / 3;
        if ((n + 1) * 2 > slots.size())
            grow();
        const size_t mask = slots.size() - 1;
        size_t h = (size_t)hash(k) & mask;
        for (; slots[h]; h = (h + 1) & mask)
            if (same(slots[h] - 1, k))
                return slots[h] - 1;
        slots[h] = (uint32_t)n + 1;
        positions.insert(positions.end(), k, k + 3);
        if (textured)
            uvs.insert(uvs.end(), k + 3, k + 5);
        return (uint32_t)n;
    }
};

class ExportScene;

// A node's faces: blended or not, and for blended ones the low cell of
// their block.
typedef std::tuple<bool, int, int, int> ExportGroup;

// The sink of one chunk's walk (after the merger): each face joins the
// primitive of its material.
class ExportChunk : public TileSink {
public:
    explicit ExportChunk(ExportScene *scene) : scene_(scene) {}
    void face(const TileFace &f) override;
    // By node, then material: blended faces make a node for each block of
    // EXPORT_BLEND_BLOCK cells they lie in, the rest one for the chunk.
    std::map<std::pair<ExportGroup, int>, ExportPrimitive> primitives;

private:
    ExportScene *scene_;
};

// Counts the walker's faces on their way to the merger.
class ExportCounter : public TileSink {
public:
    explicit ExportCounter(TileSink *out) : out_(out) {}
    void face(const TileFace &f) override
    {
        faces++;
        out_->face(f);
    }
    void cull(bool doubleSided) override { out_->cull(doubleSided); }
    long faces = 0;

private:
    TileSink *out_;
};

class ExportScene {
public:
    ExportScene(ExportTemp *bin, const TileSnapshot &world, const ExportOptions &options)
        : bin_(bin), world_(world), options_(options)
    {
    }
    const ExportMaterial &material(const TileState &s, unsigned char repeat);
    // Walks cells (inside region) and writes their faces: 0 or an errno.
    int chunk(const TileBlock &cells, const TileBlock &region);
    int writePictures(void);
    // The JSON less its closing brace and the buffer: the buffer's entry
    // comes last, so a .gltf can stream its base64 after it.
    std::string json(const Entity &pose) const;
    size_t jsonBytes(void) const
    {
        return accessors_.size() + views_.size() + meshes_.size() + nodes_.size() + materials_.size() + 4096;
    }
    long faces = 0;
    size_t materialCount = 0, imageCount = 0, primitiveCount = 0;

private:
    int texture(const ExportPicture *p, bool alphaOnly, bool smooth, unsigned char repeat);
    int view(const void *bytes, size_t size, int target, int *err);
    int writePrimitive(ExportPrimitive &p, const float origin[3], std::string *list);
    int writeNode(ExportChunk &chunk, const ExportGroup &group, const TileBlock &cells);

    ExportTemp *bin_;
    const TileSnapshot &world_;  // the version walked, held by the caller
    ExportOptions options_;
    std::map<ExportMaterialKey, ExportMaterial> byKey_;
    std::map<std::tuple<const ExportPicture *, bool>, int> imageOf_;
    std::vector<std::pair<const ExportPicture *, bool>> images_;  // written after the walk
    std::map<std::pair<int, int>, int> textureOf_;  // by image and sampler
    std::map<std::pair<int, int>, int> samplerOf_;
    std::string accessors_, views_, meshes_, nodes_, materials_, textures_, samplers_, imagesJson_;
    int accessorCount_ = 0, viewCount_ = 0, meshCount_ = 0, nodeCount_ = 0, textureCount_ = 0,
        samplerCount_ = 0;
};

void ExportChunk::face(const TileFace &f)
{
    const ExportMaterial &m = scene_->material(f.state, f.repeat);
    ExportGroup group{false, 0, 0, 0};
    if (m.blend) {
        const float unit[3] = {tile_size, tile_size, tile_sizeZ};
        int block[3];
        for (int k = 0; k < 3; k++)
            block[k] = (int)floorf(rintf(f.origin[k] / unit[k]) / EXPORT_BLEND_BLOCK) * EXPORT_BLEND_BLOCK;
        group = ExportGroup{true, block[0], block[1], block[2]};
    }
    ExportPrimitive &p = primitives[{group, m.index}];
    p.material = m.index;
    p.textured = m.textured;
    float c[4][5];
    for (int i = 0; i < f.count; i++) {
        for (int k = 0; k < 3; k++)
            c[i][k] = f.origin[k] + f.corner[i][k];
        c[i][3] = f.corner[i][3];
        c[i][4] = f.corner[i][4];
    }
    // Corners that coincide are one; a triangle two of whose corners are
    // one is left out, and so are the vertices only it would use.
    int same[4];
    for (int i = 0; i < f.count; i++) {
        same[i] = i;
        for (int j = 0; j < i && same[i] == i; j++)
            if (memcmp(c[j], c[i], sizeof c[i]) == 0)
                same[i] = same[j];
    }
    for (int k = 1; k + 1 < f.count; k++) {
        const int t[3] = {same[0], same[k], same[k + 1]};
        if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2])
            continue;
        for (int i : t)
            p.indices.push_back(p.vertex(c[i]));
    }
}

const ExportMaterial &ExportScene::material(const TileState &r, unsigned char repeat)
{
    ExportMaterialKey key{r.image, r.smooth, r.r, r.g, r.b, r.a, r.cull, repeat};
    auto found = byKey_.find(key);
    if (found != byKey_.end())
        return found->second;

    const ExportPicture *p = export_pictureOf(r.image);
    const bool picture = p && !p->color;
    // --flat keeps what a picture leaves clear: a white picture of its alpha.
    const bool alphaOnly = picture && options_.flat && p->alpha != EXPORT_OPAQUE;
    const bool textured = picture && (!options_.flat || alphaOnly);
    float rgb[3] = {1.0f, 1.0f, 1.0f};
    if (p && p->color)
        rgb[0] = p->r / 255.0f, rgb[1] = p->g / 255.0f, rgb[2] = p->b / 255.0f;
    else if (picture && options_.flat)
        export_meanColor(*p, rgb);
    const unsigned char tint[3] = {r.r, r.g, r.b};
    const ExportAlpha alpha = r.a < 255 ? EXPORT_BLEND : textured ? p->alpha : EXPORT_OPAQUE;

    std::string m = "{\"name\":";
    json_string(m, export_nameOf(r.image, world_.tables ? world_.tables->pictures.get() : nullptr) + (r.r < 255 ? " shaded" : "") + (r.cull ? " double-sided" : "") +
                       (repeat == TEXTURE_REPEAT ? " repeated" : repeat == TEXTURE_MIRROR ? " mirrored" : ""));
    // The viewer multiplies the picture's own values; a factor counts in
    // linear light.
    m += ",\"pbrMetallicRoughness\":{\"baseColorFactor\":[";
    for (int c = 0; c < 3; c++)
        m += json_number(export_linear(rgb[c] * tint[c] / 255.0f)) + ",";
    m += json_number(r.a / 255.0) + "],\"metallicFactor\":0,\"roughnessFactor\":1";
    if (textured)
        m += ",\"baseColorTexture\":{\"index\":" +
             std::to_string(texture(p, alphaOnly, r.smooth != 0, repeat)) + "}";
    m += "}";
    m += alpha == EXPORT_BLEND ? ",\"alphaMode\":\"BLEND\"" : alpha == EXPORT_MASK ? ",\"alphaMode\":\"MASK\"" : "";
    m += r.cull ? ",\"doubleSided\":true" : "";
    // Faces are not lit in the viewer.
    m += ",\"extensions\":{\"KHR_materials_unlit\":{}}}";
    json_push(materials_, m);
    ExportMaterial made{(int)materialCount++, textured, alpha == EXPORT_BLEND};
    return byKey_.emplace(key, made).first->second;
}

int ExportScene::texture(const ExportPicture *p, bool alphaOnly, bool smooth, unsigned char repeat)
{
    auto image = imageOf_.find({p, alphaOnly});
    if (image == imageOf_.end()) {
        image = imageOf_.emplace(std::make_tuple(p, alphaOnly), (int)images_.size()).first;
        images_.push_back({p, alphaOnly});
    }
    const int wrap = repeat == TEXTURE_REPEAT ? 10497 : repeat == TEXTURE_MIRROR ? 33648 : 33071;
    auto sampler = samplerOf_.find({smooth, wrap});
    if (sampler == samplerOf_.end()) {
        const char *filter = smooth ? "9729" : "9728";
        json_push(samplers_, std::string("{\"magFilter\":") + filter + ",\"minFilter\":" + filter +
                                 ",\"wrapS\":" + std::to_string(wrap) + ",\"wrapT\":" + std::to_string(wrap) + "}");
        sampler = samplerOf_.emplace(std::make_pair((int)smooth, wrap), samplerCount_++).first;
    }
    auto found = textureOf_.find({image->second, sampler->second});
    if (found != textureOf_.end())
        return found->second;
    json_push(textures_, "{\"source\":" + std::to_string(image->second) +
                             ",\"sampler\":" + std::to_string(sampler->second) + "}");
    textureOf_[{image->second, sampler->second}] = textureCount_;
    return textureCount_++;
}

// A buffer view of bytes, at a multiple of 4 in the buffer.
int ExportScene::view(const void *bytes, size_t size, int target, int *err)
{
    if (!*err)
        *err = bin_->pad(4, 0);
    const uint64_t at = bin_->size();
    if (!*err)
        *err = bin_->write(bytes, size);
    std::string v = "{\"buffer\":0,\"byteOffset\":" + std::to_string(at) + ",\"byteLength\":" + std::to_string(size);
    if (target)
        v += ",\"target\":" + std::to_string(target);
    json_push(views_, v + "}");
    return viewCount_++;
}

int ExportScene::writePrimitive(ExportPrimitive &p, const float origin[3], std::string *list)
{
    const size_t vertices = p.positions.size() / 3;
    float low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (size_t i = 0; i < p.positions.size(); i++) {
        float &v = p.positions[i];
        v -= origin[i % 3];
        low[i % 3] = std::min(low[i % 3], v);
        high[i % 3] = std::max(high[i % 3], v);
    }
    int err = 0;
    std::string a = "{\"bufferView\":" +
                    std::to_string(view(p.positions.data(), p.positions.size() * 4, 34962, &err)) +
                    ",\"componentType\":5126,\"count\":" + std::to_string(vertices) + ",\"type\":\"VEC3\",\"min\":[";
    for (int k = 0; k < 3; k++)
        a += json_number(low[k]) + (k < 2 ? "," : "],\"max\":[");
    for (int k = 0; k < 3; k++)
        a += json_number(high[k]) + (k < 2 ? "," : "]}");
    json_push(accessors_, a);
    std::string prim = "{\"attributes\":{\"POSITION\":" + std::to_string(accessorCount_++);
    if (p.textured) {
        int v = view(p.uvs.data(), p.uvs.size() * 4, 34962, &err);
        json_push(accessors_, "{\"bufferView\":" + std::to_string(v) + ",\"componentType\":5126,\"count\":" +
                                  std::to_string(vertices) + ",\"type\":\"VEC2\"}");
        prim += ",\"TEXCOORD_0\":" + std::to_string(accessorCount_++);
    }
    // The smallest type that holds every index below its largest value,
    // which would mark a restart.
    int type = vertices < 255 ? 5121 : vertices < 65535 ? 5123 : 5125;
    size_t width = type == 5121 ? 1 : type == 5123 ? 2 : 4;
    std::vector<unsigned char> packed(p.indices.size() * width);
    for (size_t i = 0; i < p.indices.size(); i++) {
        uint32_t v = p.indices[i];
        memcpy(&packed[i * width], &v, width);  // little-endian, as glTF is
    }
    int v = view(packed.data(), packed.size(), 34963, &err);
    json_push(accessors_, "{\"bufferView\":" + std::to_string(v) + ",\"componentType\":" + std::to_string(type) +
                              ",\"count\":" + std::to_string(p.indices.size()) + ",\"type\":\"SCALAR\"}");
    prim += "},\"indices\":" + std::to_string(accessorCount_++) + ",\"material\":" + std::to_string(p.material) + "}";
    json_push(*list, prim);
    primitiveCount++;
    return err;
}

// One node for the chunk's opaque and cut-out faces, one for its blended
// ones in each small block, each placed at the middle of its faces:
// clients that sort translucent objects by their place then draw them
// back to front.
int ExportScene::writeNode(ExportChunk &chunk, const ExportGroup &group, const TileBlock &cells)
{
    float low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
    auto first = chunk.primitives.lower_bound({group, 0}), end = chunk.primitives.lower_bound({group, INT_MAX});
    bool any = false;
    for (auto at = first; at != end; ++at) {
        const ExportPrimitive &p = at->second;
        any = any || !p.indices.empty();
        for (size_t i = 0; i < p.positions.size(); i++) {
            low[i % 3] = std::min(low[i % 3], p.positions[i]);
            high[i % 3] = std::max(high[i % 3], p.positions[i]);
        }
    }
    if (!any)
        return 0;
    float origin[3];
    for (int k = 0; k < 3; k++)
        origin[k] = roundf((low[k] + high[k]) * 0.5f);
    std::string list;
    int err = 0;
    for (auto at = first; at != end && !err; ++at)
        if (!at->second.indices.empty())
            err = writePrimitive(at->second, origin, &list);
    std::string name = "chunk " + std::to_string(cells.x0 / EXPORT_CHUNK) + "," +
                       std::to_string(cells.y0 / EXPORT_CHUNK) + "," + std::to_string(cells.z0 / EXPORT_CHUNK);
    if (std::get<0>(group))
        name += " translucent from " + std::to_string(std::get<1>(group)) + "," + std::to_string(std::get<2>(group)) +
                "," + std::to_string(std::get<3>(group));
    std::string mesh = "{\"name\":";
    json_string(mesh, name);
    json_push(meshes_, mesh + ",\"primitives\":[" + list + "]}");
    std::string node = "{\"name\":";
    json_string(node, name);
    node += ",\"mesh\":" + std::to_string(meshCount_++) + ",\"translation\":[" + json_number(origin[0]) + "," +
            json_number(origin[1]) + "," + json_number(origin[2]) + "]}";
    json_push(nodes_, node);
    nodeCount_++;
    return err;
}

int ExportScene::chunk(const TileBlock &cells, const TileBlock &region)
{
    ExportChunk sink(this);
    const float unit[3] = {tile_size, tile_size, tile_sizeZ};
    TileMerger merger(&sink, unit);
    ExportCounter counter(&merger);
    TileWalk walk;
    tile_walkBegin(&walk, &counter, options_.texture, options_.smooth, &world_);
    tile_walkCells(&walk, &cells, &region);
    merger.finish();
    faces += counter.faces;
    int err = 0;
    for (auto at = sink.primitives.begin(); at != sink.primitives.end() && !err;) {
        const ExportGroup group = at->first.first;
        err = writeNode(sink, group, cells);
        while (at != sink.primitives.end() && at->first.first == group)
            ++at;
    }
    return err;
}

int ExportScene::writePictures(void)
{
    int err = 0;
    for (size_t i = 0; i < images_.size() && !err; i++) {
        const ImageTexels &t = images_[i].first->texels;
        const unsigned char *texels = t.texels.data();
        std::vector<unsigned char> white;
        if (images_[i].second) {  // white, with the picture's alpha (only pictures with alpha get here)
            white = t.texels;
            for (size_t k = 0; k + 3 < white.size(); k += 4)
                white[k] = white[k + 1] = white[k + 2] = 255;
            texels = white.data();
        }
        std::vector<unsigned char> png;
        if (!image_encodePng(texels, t.width, t.height, png, t.hasAlpha != 0))
            throw std::bad_alloc();  // its sides fit: only memory can fail
        int v = view(png.data(), png.size(), 0, &err);
        json_push(imagesJson_, "{\"mimeType\":\"image/png\",\"bufferView\":" + std::to_string(v) + "}");
    }
    imageCount = images_.size();
    return err ? err : bin_->pad(4, 0);
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

std::string ExportScene::json(const Entity &pose) const
{
    std::string o = "{\"asset\":{\"version\":\"2.0\",\"generator\":\"Tavo v3.1\"}";
    if (materialCount)
        o += ",\"extensionsUsed\":[\"KHR_materials_unlit\"]";
    o += ",\"scene\":0,\"scenes\":[{\"name\":\"world\",\"nodes\":[";
    for (int i = 0; i <= nodeCount_; i++)
        o += std::to_string(i) + (i < nodeCount_ ? "," : "]}]");
    std::string eye = "{\"name\":\"start\",\"camera\":0";
    const Vector &at = pose.position;
    if (std::isfinite(at.x) && std::isfinite(at.y) && std::isfinite(at.z))
        eye += ",\"translation\":[" + json_number(at.x) + "," + json_number(at.y) + "," + json_number(at.z) + "]";
    std::vector<double> q = export_rotation(pose);
    eye += ",\"rotation\":[" + json_number(q[0]) + "," + json_number(q[1]) + "," + json_number(q[2]) + "," +
           json_number(q[3]) + "]}";
    json_member(o, "nodes", nodes_.empty() ? eye : nodes_ + "," + eye);
    json_member(o, "cameras", "{\"name\":\"start\",\"type\":\"perspective\",\"perspective\":{\"yfov\":" +
                                  json_number(45.0 * M_PI / 180.0) + ",\"aspectRatio\":" +
                                  json_number(640.0 / 480.0) + ",\"znear\":1,\"zfar\":4000}}");
    json_member(o, "meshes", meshes_);
    json_member(o, "materials", materials_);
    json_member(o, "textures", textures_);
    json_member(o, "images", imagesJson_);
    json_member(o, "samplers", samplers_);
    json_member(o, "accessors", accessors_);
    json_member(o, "bufferViews", views_);
    return o + ",\"buffers\":[{\"byteLength\":" + std::to_string(bin_->size());
}

// "4.3 GB"
std::string export_bytes(uint64_t bytes)
{
    char text[32];
    snprintf(text, sizeof text, "%.1f GB", (double)bytes / 1e9);
    return text;
}

int export_refuseSize(const std::string &path, uint64_t bytes, bool partial)
{
    fflush(stdout);
    fprintf(stderr,
            "tavo: %s: a .glb holds at most 4 GiB; this scene needs %s%s: export a part of the world with "
            "--region\n",
            path.c_str(), partial ? "more than " : "", export_bytes(bytes).c_str());
    return 1;
}

int export_fail(const std::string &path, int err)
{
    error_report(path.c_str(), file_reason(err));
    return 1;
}

// The JSON and the buffer into out: a .glb's two chunks, or the .gltf's
// text with the buffer as base64 in its last entry.
int export_assemble(ExportTemp &out, ExportTemp &bin, std::string json, bool binary)
{
    int err;
    if (!binary) {
        json += ",\"uri\":\"data:application/octet-stream;base64,";
        if ((err = out.write(json.data(), json.size())) || (err = out.append(bin, true)))
            return err;
        return out.write("\"}]}\n", 5);
    }
    json += "}]}";
    while (json.size() % 4)
        json += ' ';
    const uint64_t total = export_glbSize(json.size(), bin.size());
    uint32_t head[5] = {0x46546C67u, 2u, (uint32_t)total, (uint32_t)json.size(), 0x4E4F534Au};
    uint32_t binHead[2] = {(uint32_t)bin.size(), 0x004E4942u};
    if ((err = out.write(head, sizeof head)) || (err = out.write(json.data(), json.size())) ||
        (err = out.write(binHead, sizeof binHead)))
        return err;
    return out.append(bin, false);
}

}  // namespace

uint64_t export_glbSize(uint64_t json, uint64_t bin)
{
    const uint64_t header = 12, chunkHead = 8;
    return header + chunkHead + (json + 3) / 4 * 4 + (bin ? chunkHead + (bin + 3) / 4 * 4 : 0);
}

int export_writeScene(const std::string &path, const TileSnapshot &world, const TileBlock &region,
                      const ExportOptions &options, const Entity &pose, ExportSummary *summary)
{
    ExportTemp bin, out;
    if (int err = bin.open(path, "data"))
        return export_fail(path, err);
    ExportScene scene(&bin, world, options);
    // Chunks on a grid of their own from the world's origin, so that a
    // region's seams fall where the whole world's do.
    const int c = EXPORT_CHUNK;
    for (int y = region.y0 / c * c; y < region.y1; y += c)
        for (int z = region.z0 / c * c; z < region.z1; z += c)
            for (int x = region.x0 / c * c; x < region.x1; x += c) {
                const TileBlock cells{std::max(x, region.x0), std::min(x + c, region.x1),
                                      std::max(y, region.y0), std::min(y + c, region.y1),
                                      std::max(z, region.z0), std::min(z + c, region.z1)};
                if (int err = scene.chunk(cells, region))
                    return export_fail(path, err);
                const uint64_t sofar = export_glbSize(scene.jsonBytes(), bin.size());
                if (options.binary && sofar > export_glbMax)
                    return export_refuseSize(path, sofar, true);
            }
    if (scene.primitiveCount == 0) {
        fflush(stdout);
        fprintf(stderr, "tavo: %s: the region holds no faces; nothing is written\n", path.c_str());
        return 1;
    }
    if (int err = scene.writePictures())
        return export_fail(path, err);
    const std::string json = scene.json(pose);
    const uint64_t total = export_glbSize(json.size() + 3, bin.size());
    if (options.binary && total > export_glbMax)
        return export_refuseSize(path, total, false);
    int err = out.open(path, "scene");
    if (!err)
        err = export_assemble(out, bin, json, options.binary);
    const uint64_t bytes = out.size();
    if (!err)
        err = out.place(path);
    if (err)
        return export_fail(path, err);
    summary->faces = scene.faces;
    summary->materials = scene.materialCount;
    summary->pictures = scene.imageCount;
    summary->bytes = bytes;
    return 0;
}
