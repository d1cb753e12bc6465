// main_settings.cpp -- the settings file: one table of keys, read before the command line, which wins
#include "main.h"

#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "error.h"
#include "file.h"
#include "tile.h"

float main_fov = MAIN_FOV_FIXED;
float main_sensitivity = 1.0f;
unsigned char main_invert;
unsigned char main_fullscreen;

#define MAIN_SETTINGS_MAX (64u << 10)  // a longer settings file is refused

namespace {

std::string main_yesNo(const char *value, unsigned char *flag)
{
    if (strcmp(value, "yes") == 0 || strcmp(value, "no") == 0) {
        *flag = value[0] == 'y';
        return "";
    }
    return std::string("'") + value + "' is not yes or no";
}

// A number from least to most into *out; else why not.
std::string main_number(const char *value, double least, double most, const char *range, float *out)
{
    char *end = nullptr;
    double n = strtod(value, &end);
    if (end == value || *end || !(n >= least && n <= most))
        return std::string("'") + value + "' is not a number from " + range;
    *out = (float)n;
    return "";
}

struct MainSettingRow {
    const char *key, *value, *byDefault, *help;
    std::string (*apply)(const char *value);  // "" when taken, else why not
};

const MainSettingRow main_settingTable[] = {
    {"look", "yes|no", "no", "start in free look (as --look)",
     [](const char *v) { return main_yesNo(v, &main_looking); }},
    {"view", "N", "64", "how far free look sees, in cells, 8 to 256 (as --view)",
     [](const char *v) {
         std::string why = main_viewCheck(v);
         if (why.empty())
             main_parseView(v);
         return why;
     }},
    {"fov", "DEGREES", "45", "free look's field of view, top to bottom, 20 to 120 degrees\n"
                              "(the fixed camera's stays 45)",
     [](const char *v) { return main_number(v, MAIN_FOV_LEAST, MAIN_FOV_MOST, "20 to 120", &main_fov); }},
    {"sensitivity", "X", "1", "how far the mouse turns and tilts free look, a factor 0.1 to 10\n"
                              "(1: a fifth of a degree a pixel)",
     [](const char *v) { return main_number(v, 0.1, 10, "0.1 to 10", &main_sensitivity); }},
    {"invert", "yes|no", "no", "free look tilts down as the mouse moves up",
     [](const char *v) { return main_yesNo(v, &main_invert); }},
    {"fullscreen", "yes|no", "no", "open the window full screen (F11 switches)",
     [](const char *v) { return main_yesNo(v, &main_fullscreen); }},
    {"fog", "yes|no", "yes", "free look fades the far distance into the background (g switches)",
     [](const char *v) {
         unsigned char on = tile_lookFog;
         std::string why = main_yesNo(v, &on);
         tile_lookFog = on;
         return why;
     }},
};

std::string main_trim(const std::string &s)
{
    size_t a = s.find_first_not_of(" \t\r\f\v"), b = s.find_last_not_of(" \t\r\f\v");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

}  // namespace

std::vector<MainSettingLine> main_settingsParse(const std::vector<unsigned char> &bytes)
{
    std::vector<MainSettingLine> lines;
    std::string text(bytes.begin(), bytes.end());
    unsigned number = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        number++;
        line = main_trim(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        MainSettingLine l;
        l.line = number;
        size_t eq = line.find('=');
        if (eq == std::string::npos || line.find('\0') != std::string::npos)
            l.wrong = "not 'key = value'";
        else
            l.key = main_trim(line.substr(0, eq)), l.value = main_trim(line.substr(eq + 1));
        lines.push_back(l);
    }
    return lines;
}

std::string main_settingApply(const std::string &key, const std::string &value)
{
    for (const MainSettingRow &row : main_settingTable)
        if (key == row.key)
            return row.apply(value.c_str());
    return "unknown setting '" + key + "'";
}

std::string main_settingsPath(void)
{
    const char *config = getenv("XDG_CONFIG_HOME"), *home = getenv("HOME");
    if (config && config[0] == '/')  // a relative one is to be ignored
        return std::string(config) + "/tavo/tavo.conf";
    if (home && home[0])
        return std::string(home) + "/.config/tavo/tavo.conf";
    return "";
}

void main_settingsRead(const std::string &path, bool named)
{
    std::vector<unsigned char> bytes;
    int err = path.empty() ? ENOENT : file_read(path.c_str(), MAIN_SETTINGS_MAX, bytes);
    if (err) {
        if (err != ENOENT || named)
            error_report(path.c_str(), (std::string(file_reason(err)) + "; the settings are the defaults").c_str());
        return;
    }
    for (const MainSettingLine &l : main_settingsParse(bytes)) {
        std::string why = l.wrong.empty() ? main_settingApply(l.key, l.value) : l.wrong;
        if (!why.empty()) {
            fflush(stdout);
            fprintf(stderr, "%s:%u: %s\n", path.c_str(), l.line, why.c_str());
        }
    }
}

// A row's help with its later lines indented by indent.
static std::string main_settingHelp(const MainSettingRow &row, const std::string &indent)
{
    std::string help = row.help;
    for (size_t nl = 0; (nl = help.find('\n', nl)) != std::string::npos; nl += indent.size() + 1)
        help.replace(nl, 1, "\n" + indent);
    return help;
}

std::string main_settingsHelp(void)
{
    std::string text;
    for (const MainSettingRow &row : main_settingTable) {
        std::string left = std::string("  ") + row.key + " = " + row.value;
        text += left + std::string(left.size() < 24 ? 24 - left.size() : 1, ' ') +
                main_settingHelp(row, std::string(24, ' ')) + "; default " + row.byDefault + "\n";
    }
    return text;
}

std::string main_settingsExample(void)
{
    std::string text =
        "# tavo.conf -- the viewer's settings, read from $XDG_CONFIG_HOME/tavo/tavo.conf,\n"
        "# by default ~/.config/tavo/tavo.conf.  One \"key = value\" a line; a # begins\n"
        "# a comment.  The command line wins over the file.  Each key is shown with\n"
        "# its default value.\n";
    for (const MainSettingRow &row : main_settingTable)
        text += std::string("\n# ") + row.key + " = " + row.value + ": " + main_settingHelp(row, "# ") +
                "\n#" + row.key + " = " + row.byDefault + "\n";
    return text;
}
