// main_export.cpp -- tavo --export: the world's faces as a glTF 2.0 scene, made without a window
#include "main.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>

#include "error.h"
#include "export.h"
#include "export_gltf.h"
#include "file.h"
#include "texture.h"
#include "tile.h"

namespace {

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

std::string export_size(uint64_t bytes)
{
    char text[32];
    if (bytes >= 1000000)
        snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    else if (bytes >= 1000)
        snprintf(text, sizeof text, "%.0f kB", bytes / 1e3);
    else
        snprintf(text, sizeof text, "%u bytes", (unsigned)bytes);
    return text;
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
    bool refused = false, memory = false;
    Refusal why;
    try {
        refused = !tile_loadFrom(def, true, hooks, &why);
    } catch (const std::bad_alloc &) {
        refused = memory = true;  // said once the console is back
    }
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
    if (memory)
        throw std::bad_alloc();
    if (refused)
        error_say(why);  // the viewer's own lines, after the console it held back
    return refused ? 255 : 0;
}

int export_world(const ExportRequest &req)
{
    TileBlock region;
    if (int status = export_prepare(req.out, req.world, req.region, &region))
        return status;
    ExportOptions options;
    options.binary = req.binary;
    options.flat = req.flat;
    ExportSummary summary;
    if (int status = export_writeScene(req.out, *tile_world(), region, options, tile_temp, &summary))
        return status;
    printf("%s: %s faces, %zu materials, %zu pictures, %s\n", req.out, export_grouped(summary.faces).c_str(),
           summary.materials, summary.pictures, export_size(summary.bytes).c_str());
    return 0;
}

}  // namespace

int export_prepare(const char *out, const char *world, const char *regionText, TileBlock *region)
{
    // The command line has checked the region.
    *region = TileBlock{0, 0, 0, 0, 0, 0};
    bool all = !regionText || strcmp(regionText, "all") == 0;
    if (!all)
        export_parseRegion(regionText, region);
    if (int err = export_folderWritable(out)) {
        error_report(out, file_reason(err));
        return 1;
    }

    if (int status = export_loadWorld(world))
        return status;

    if (export_isWorldFile(out)) {
        error_report(out, "is one of the world's own files; it is left as it is");
        return 1;
    }
    if (all) {
        *region = TileBlock{0, tile_width, 0, tile_height, 0, tile_depth};
    } else if (region->x1 > tile_width || region->y1 > tile_height || region->z1 > tile_depth) {
        fprintf(stderr, "tavo: --region %s lies outside the grid of x 0..%d, y 0..%d, z 0..%d\n", regionText,
                tile_width - 1, tile_height - 1, tile_depth - 1);
        return 1;
    }
    return 0;
}

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
    ExportRequest req;
    req.out = command.operand("--export");
    req.region = command.operand("--region");
    req.flat = command.has("--flat");
    req.world = command.world;
    req.binary = export_endsWith(req.out, ".glb");
    int status;
    // Whatever runs out of memory ends here, its temporary files removed
    // on the way, with the program's own message and status.
    try {
        if (export_endsWith(req.out, ".html"))
            status = export_html(command);
        else if (export_endsWith(req.out, ".obj"))
            status = export_obj(command);
        else
            status = export_world(req);
    } catch (const std::bad_alloc &) {
        fputs(error_message(ERROR_MEMORY), stdout);
        fflush(stdout);
        error_report(req.out, "memory ran out during the export; a smaller --region needs less");
        status = 255;
    }
    fflush(stdout);
    return status;
}

// ---- what the other kinds of OUT share (export.h)

// The viewer's load, the pictures decoded but never uploaded.
int export_loadWorld(const char *world)
{
    texture_smooth(1);
    TileDefHooks hooks = export_pictureHooks();
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
    return export_nameOf(image, tile_world()->tables ? tile_world()->tables->pictures.get() : nullptr);
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
