// export_html.cpp -- tavo --export OUT.html: one page that draws the world, with nothing outside the file
#include "export.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "error.h"
#include "export_output.h"
#include "file.h"

std::string export_base64(const unsigned char *bytes, size_t size)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((size + 2) / 3 * 4 + size / 57 + 1);
    for (size_t i = 0; i < size; i += 3) {
        unsigned long v = (unsigned long)bytes[i] << 16;
        if (i + 1 < size)
            v |= (unsigned long)bytes[i + 1] << 8;
        if (i + 2 < size)
            v |= bytes[i + 2];
        out += digits[v >> 18 & 63];
        out += digits[v >> 12 & 63];
        out += i + 1 < size ? digits[v >> 6 & 63] : '=';
        out += i + 2 < size ? digits[v & 63] : '=';
        if ((i / 3 + 1) % 19 == 0 || i + 3 >= size)
            out += '\n';  // lines of 76, the last ended too
    }
    return out;
}

static std::string export_escapeText(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
    return out;
}

std::string export_page(const std::string &title, const std::vector<unsigned char> &glb,
                        const std::vector<unsigned char> &backdrop, const char *script,
                        const char *licence, const char *threeVersion)
{
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<meta name=\"generator\" content=\"Tavo v3.1\">\n<title>" + export_escapeText(title) +
        "</title>\n<style>\nhtml, body { margin: 0; height: 100%; overflow: hidden; background: #fff; }\n"
        "canvas { display: block; }\n"
        "#help { position: fixed; left: 8px; bottom: 8px; font: 12px sans-serif; color: #fff;"
        " background: rgba(0, 0, 0, 0.45); padding: 4px 8px; border-radius: 4px; pointer-events: none; }\n"
        "#note { position: fixed; top: 8px; left: 8px; font: 14px sans-serif; background: #fee; padding: 8px; }\n"
        "</style>\n</head>\n<body>\n"
        "<div id=\"help\">drag: turn about the centre &middot; right drag: move &middot; wheel: nearer"
        " &middot; W A S D / arrows: fly &middot; R F: up, down &middot; shift: faster</div>\n"
        "<div id=\"note\" hidden></div>\n"
        "<noscript>This page draws a 3D world and needs JavaScript.</noscript>\n"
        "<script type=\"application/octet-stream\" id=\"world\">\n" +
        export_base64(glb.data(), glb.size()) + "</script>\n";
    if (!backdrop.empty())
        page += "<script type=\"application/octet-stream\" id=\"backdrop\">\n" +
                export_base64(backdrop.data(), backdrop.size()) + "</script>\n";
    page += std::string("<!--\nThe viewer below carries three.js ") + threeVersion + ", under this licence:\n\n" +
            licence + "-->\n<script>\n" + script + "</script>\n</body>\n</html>\n";
    return page;
}

#ifdef TAVO_WEB_PAGE

namespace {

// The .glb made for the page is at most as large as this.
const size_t PAGE_MAX_GLB = (size_t)2 << 30;

// The world's backdrop as the viewer draws it: the background picture,
// else the stand-by picture, whole texture stretched; empty for none.
std::vector<unsigned char> page_backdrop(void)
{
    std::vector<unsigned char> png;
    ExportPictureView p;
    if (!export_pictureView(tile_bg ? tile_bg : &tile_dummy, &p))
        return png;
    if (p.texels) {
        const ImageTexels &t = *p.texels;
        image_encodePng(t.texels.data(), t.texWidth, t.texHeight, png, t.hasAlpha != 0);
    } else {
        image_encodePng(p.rgb, 1, 1, png);
    }
    return png;
}

// Runs the .glb export into glb with its standard output held; the lines
// it said are handed back, for the summary to be said for the page.
int page_makeGlb(const MainCommand &command, const std::string &glb, std::string *said)
{
    MainCommand inner = command;
    inner.given["--export"] = glb.c_str();
    fflush(stdout);
    FILE *held = tmpfile();
    int console = held ? dup(STDOUT_FILENO) : -1;
    if (console < 0) {
        if (held)
            fclose(held);
        return main_export(inner);
    }
    dup2(fileno(held), STDOUT_FILENO);
    int status = main_export(inner);
    fflush(stdout);
    dup2(console, STDOUT_FILENO);
    close(console);
    rewind(held);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, held)) > 0)
        said->append(buf, n);
    fclose(held);
    return status;
}

// The name a page goes by: the world's, its definition file less .def.
std::string page_title(const char *world)
{
    std::string name = world;
    size_t slash = name.rfind('/');
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > 0 ? name.substr(0, dot) : name;
}

}  // namespace

int export_html(const MainCommand &command)
{
    const std::string out = command.operand("--export");
    std::string refused = export_outRefusal(out);
    if (!refused.empty()) {
        error_report(out.c_str(), refused.c_str());
        return 1;
    }
    // The .glb goes beside OUT under a hidden name of its own, removed
    // when the page is made and on SIGINT or SIGTERM.
    size_t slash = out.rfind('/');
    const std::string glbPath = out.substr(0, slash == std::string::npos ? 0 : slash + 1) + ".tavo-" +
                                std::to_string((long)getpid()) + "-page.glb";
    ExportTemp held;
    if (int err = held.claim(glbPath)) {
        error_report(glbPath.c_str(), file_reason(err));
        return 1;
    }
    std::string said;
    int status = page_makeGlb(command, glbPath, &said);
    std::vector<unsigned char> glb;
    int readResult = status == 0 ? file_read(glbPath.c_str(), PAGE_MAX_GLB, glb) : 0;

    // What the export said, its summary line said for the page instead.
    std::string summary;
    size_t at = said.rfind(glbPath + ": ");
    if (status == 0 && at != std::string::npos && (at == 0 || said[at - 1] == '\n')) {
        summary = said.substr(at + glbPath.size() + 2);
        said.erase(at);
    }
    fputs(said.c_str(), stdout);
    if (status != 0)
        return status;
    if (readResult) {
        error_report(glbPath.c_str(), file_reason(readResult));
        return 1;
    }
    refused = export_outRefusal(out);  // the world is known now
    if (!refused.empty()) {
        error_report(out.c_str(), refused.c_str());
        return 1;
    }
    const std::string page = export_page(page_title(command.world), glb, page_backdrop(),
                                         export_webScript, export_webLicence, export_webThreeVersion);
    if (int err = file_write(out.c_str(), page.data(), page.size())) {
        error_report(out.c_str(), file_reason(err));
        return 1;
    }
    // "N faces, M materials, P pictures, " then the page's own size.
    size_t sizeAt = summary.rfind(", ");
    if (sizeAt != std::string::npos)
        printf("%s: %s, %s\n", out.c_str(), summary.substr(0, sizeAt).c_str(),
               export_sizeText(page.size()).c_str());
    else
        printf("%s: %s\n", out.c_str(), export_sizeText(page.size()).c_str());
    return 0;
}

#else

int export_html(const MainCommand &command)
{
    error_report(command.operand("--export"),
                 "this tavo was built without the web page's viewer (three.js and esbuild from npm):"
                 " run bash scripts/setup.sh and build again");
    return 1;
}

#endif
