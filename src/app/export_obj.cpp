// export_obj.cpp -- tavo --export OUT.obj: the world's faces as Wavefront OBJ, with OUT.mtl and PNG pictures beside it
#include "export.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <map>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "error.h"
#include "file.h"

namespace {

typedef std::tuple<const Image *, int, int, int, int, int, int> ObjState;

struct ObjMaterial {
    TileState state;
    // Per face: its corner count, then the position and coordinate number
    // (both from 1, as OBJ counts) of each corner.
    std::vector<unsigned> faces;
};

// The export's sink of the face walker: faces by material, positions and
// texture coordinates each stored once.
class ObjBuilder : public TileSink {
public:
    void face(const TileFace &f) override
    {
        float v[4][5];
        int distinct = 0;
        for (int i = 0; i < f.count; i++) {
            float c[5] = {f.origin[0] + f.corner[i][0], f.origin[1] + f.corner[i][1],
                          f.origin[2] + f.corner[i][2], f.corner[i][3], f.corner[i][4]};
            if (distinct && memcmp(c, v[distinct - 1], sizeof c) == 0)
                continue;
            memcpy(v[distinct++], c, sizeof c);
        }
        if (distinct > 1 && memcmp(v[0], v[distinct - 1], sizeof v[0]) == 0)
            distinct--;
        if (distinct < 3)
            return;  // a face with no area
        std::vector<unsigned> &out = materialOf(f.state).faces;
        out.push_back((unsigned)distinct);
        for (int i = 0; i < distinct; i++) {
            out.push_back(number(positionOf_, positions, {v[i][0], v[i][1], v[i][2]}));
            // OBJ's pictures start at the bottom row, the viewer's at the top.
            out.push_back(number(coordOf_, coords, {v[i][3], 1.0f - v[i][4]}));
        }
        faces++;
    }

    std::vector<ObjMaterial> materials;
    std::vector<std::array<float, 3>> positions;
    std::vector<std::array<float, 2>> coords;
    long faces = 0;

private:
    std::map<ObjState, size_t> materialOf_;
    std::map<std::array<float, 3>, unsigned> positionOf_;
    std::map<std::array<float, 2>, unsigned> coordOf_;

    ObjMaterial &materialOf(const TileState &r)
    {
        ObjState key{r.image, r.smooth, r.r, r.g, r.b, r.a, r.cull};
        auto found = materialOf_.find(key);
        if (found != materialOf_.end())
            return materials[found->second];
        materialOf_[key] = materials.size();
        materials.push_back(ObjMaterial{r, {}});
        return materials.back();
    }

    template <typename T>
    static unsigned number(std::map<T, unsigned> &of, std::vector<T> &all, const T &value)
    {
        auto found = of.find(value);
        if (found != of.end())
            return found->second;
        all.push_back(value);
        return of[value] = (unsigned)all.size();
    }
};

// A name fit for a file or a material: letters, digits, '-' and '_'.
std::string obj_word(const std::string &name)
{
    std::string out;
    for (char c : name)
        out += isalnum((unsigned char)c) || c == '-' || c == '_' ? c : '_';
    return out.empty() ? "picture" : out;
}

std::string obj_baseName(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct ObjFile {
    std::string path;
    std::vector<unsigned char> bytes;
};

void obj_append(std::vector<unsigned char> &out, const char *format, ...) __attribute__((format(printf, 2, 3)));
void obj_append(std::vector<unsigned char> &out, const char *format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n > 0)
        out.insert(out.end(), line, line + std::min((size_t)n, sizeof line - 1));
}

// The .mtl file and the pictures it names, beside OUT; appended to files.
void obj_materials(const ObjBuilder &b, const std::string &stem, bool flat, std::vector<ObjFile> *files,
                   std::vector<bool> *textured, size_t *pictures)
{
    ObjFile mtl{stem + ".mtl", {}};
    obj_append(mtl.bytes, "# tavo --export: the materials of %s.obj\n", obj_baseName(stem).c_str());
    std::map<const ImageTexels *, std::string> pictureFile;
    for (size_t m = 0; m < b.materials.size(); m++) {
        const TileState &r = b.materials[m].state;
        ExportPictureView p;
        bool known = export_pictureView(r.image, &p);
        float rgb[3] = {1.0f, 1.0f, 1.0f};
        if (known && p.color)
            for (int c = 0; c < 3; c++)
                rgb[c] = p.rgb[c] / 255.0f;
        else if (known && flat)
            export_pictureMean(r.image, rgb);
        const bool picture = known && p.texels && !flat;
        textured->push_back(picture);
        obj_append(mtl.bytes, "\nnewmtl m%zu-%s\nKa 0 0 0\nKd %.6g %.6g %.6g\nKs 0 0 0\nillum 0\n", m + 1,
                   obj_word(export_pictureName(r.image)).c_str(), rgb[0] * r.r / 255.0f,
                   rgb[1] * r.g / 255.0f, rgb[2] * r.b / 255.0f);
        if (r.a < 255)
            obj_append(mtl.bytes, "d %.6g\n", r.a / 255.0f);
        if (!picture)
            continue;
        std::string &name = pictureFile[p.texels];
        if (name.empty()) {
            name = stem + "-" + std::to_string(pictureFile.size()) + "-" +
                   obj_word(export_pictureName(r.image)) + ".png";
            const ImageTexels &t = *p.texels;
            ObjFile png{name, {}};
            if (!image_encodePng(t.texels.data(), t.texWidth, t.texHeight, png.bytes, t.hasAlpha != 0))
                throw std::bad_alloc();  // its sides fit: only memory can fail
            files->push_back(std::move(png));
        }
        obj_append(mtl.bytes, "map_Kd %s\n", obj_baseName(name).c_str());
        if (p.texels->hasAlpha)
            obj_append(mtl.bytes, "map_d %s\n", obj_baseName(name).c_str());
    }
    *pictures = pictureFile.size();
    files->push_back(std::move(mtl));
}

ObjFile obj_geometry(const ObjBuilder &b, const std::string &stem, const std::vector<bool> &textured)
{
    ObjFile obj{stem + ".obj", {}};
    obj_append(obj.bytes, "# tavo --export: %s faces\nmtllib %s.mtl\n",
               export_countText(b.faces).c_str(), obj_baseName(stem).c_str());
    for (const std::array<float, 3> &v : b.positions)
        obj_append(obj.bytes, "v %.9g %.9g %.9g\n", v[0], v[1], v[2]);
    for (const std::array<float, 2> &t : b.coords)
        obj_append(obj.bytes, "vt %.9g %.9g\n", t[0], t[1]);
    for (size_t m = 0; m < b.materials.size(); m++) {
        obj_append(obj.bytes, "usemtl m%zu-%s\n", m + 1,
                   obj_word(export_pictureName(b.materials[m].state.image)).c_str());
        const std::vector<unsigned> &f = b.materials[m].faces;
        for (size_t i = 0; i < f.size(); i += 1 + 2 * f[i]) {
            obj_append(obj.bytes, "f");
            for (unsigned k = 0; k < f[i]; k++)
                if (textured[m])
                    obj_append(obj.bytes, " %u/%u", f[i + 1 + 2 * k], f[i + 2 + 2 * k]);
                else
                    obj_append(obj.bytes, " %u", f[i + 1 + 2 * k]);
            obj_append(obj.bytes, "\n");
        }
    }
    return obj;
}

// Writes every file, OUT last, each through a temporary file; on a
// failure removes those of them that were not there before.
bool obj_writeAll(const std::vector<ObjFile> &files)
{
    std::vector<std::string> made;
    for (const ObjFile &f : files) {
        struct stat st;
        bool existed = lstat(f.path.c_str(), &st) == 0;
        if (int err = file_write(f.path.c_str(), f.bytes.data(), f.bytes.size())) {
            error_report(f.path.c_str(), file_reason(err));
            for (const std::string &path : made)
                unlink(path.c_str());
            return false;
        }
        if (!existed)
            made.push_back(f.path);
    }
    return true;
}

}  // namespace

int export_obj(const MainCommand &command)
{
    const std::string out = command.operand("--export");
    std::string refused = export_outRefusal(out);
    if (!refused.empty()) {
        error_report(out.c_str(), refused.c_str());
        return 1;
    }
    if (int status = export_loadWorld(command.world))
        return status;
    TileBlock region;
    if (!export_regionBlock(command.operand("--region"), &region))
        return 1;

    // The region as one block, as the glTF export walks it, from the
    // version loaded: the walk reads no global of the world.
    const TileWorldRef world = tile_world();
    ObjBuilder builder;
    TileWalk walk;
    tile_walkBegin(&walk, &builder, tile_optTexture, tile_optSmooth, world.get());
    tile_walkCells(&walk, &region, &region);

    const std::string stem = out.substr(0, out.size() - 4);
    std::vector<ObjFile> files;
    std::vector<bool> textured;
    size_t pictures = 0;
    obj_materials(builder, stem, command.has("--flat"), &files, &textured, &pictures);
    files.push_back(obj_geometry(builder, stem, textured));
    files.back().path = out;  // as given, .OBJ too
    // Each file passes OUT's checks before any is written.
    size_t total = 0;
    for (const ObjFile &f : files) {
        refused = export_outRefusal(f.path);
        if (!refused.empty()) {
            error_report(f.path.c_str(), refused.c_str());
            return 1;
        }
        total += f.bytes.size();
    }
    if (!obj_writeAll(files))
        return 1;
    printf("%s: %s faces, %zu materials, %zu pictures, %s\n", out.c_str(),
           export_countText(builder.faces).c_str(), builder.materials.size(), pictures,
           export_sizeText(total).c_str());
    return 0;
}
