// main_args.cpp -- tavo's command line: one table of options, read whole before the window system starts
#include "main.h"

#include <string.h>

#include "args.h"

namespace {

const unsigned MAIN_ANY = MAIN_VIEW | MAIN_CHECK | MAIN_SHOT | MAIN_EXPORT;
const unsigned MAIN_ALL = ~0u;  // for finding an option's row whatever the mode
const unsigned MAIN_WORLD_NEEDED = MAIN_CHECK | MAIN_SHOT | MAIN_EXPORT;  // modes with no chooser

// One option of tavo.  A row whose selects is set asks for that mode; the
// others only go with the modes in modes.  A name may have one row per
// mode when its operand means something else there, provided all its
// rows agree on taking one.  A new mode is a MainMode bit, its selecting
// row, rows for the options that go with it, and its case in main_run.
struct MainOptionRow {
    ArgsOption option;
    unsigned modes;     // the modes it may be given with
    unsigned selects;   // the mode it asks for, 0 for none
    bool window;        // the window system's own: handed to glutInit
    std::string (*check)(const char *operand);  // what is wrong with the operand, "" for nothing
};

const MainOptionRow main_optionTable[] = {
    {{"--help", nullptr, false}, MAIN_ALL, MAIN_HELP, false, nullptr},
    {{"--version", nullptr, false}, MAIN_ALL, MAIN_VERSION, false, nullptr},
    {{"--check", nullptr, false}, MAIN_CHECK, MAIN_CHECK, false, nullptr},
    {{"--shot", "OUT.png", true}, MAIN_SHOT, MAIN_SHOT, false, nullptr},
    {{"--size", "WIDTHxHEIGHT", false}, MAIN_SHOT, 0, false, main_shotSizeCheck},
    {{"--new", "DIR", false}, MAIN_NEW, MAIN_NEW, false, nullptr},
    {{"--size", "WxHxD", false}, MAIN_NEW, 0, false, main_newSizeCheck},
    {{"--export", "OUT.glb", true}, MAIN_EXPORT, MAIN_EXPORT, false, main_exportNameCheck},
    {{"--region", "X0,Y0,Z0:X1,Y1,Z1", false}, MAIN_EXPORT, 0, false, main_exportRegionCheck},
    {{"--flat", nullptr, false}, MAIN_EXPORT, 0, false, nullptr},
    {{"--demo", nullptr, false}, MAIN_ANY, 0, false, nullptr},
    {{"--direct", nullptr, false}, MAIN_WINDOWED, 0, false, nullptr},
    {{"--quiet", nullptr, false}, MAIN_WINDOWED, 0, false, nullptr},
    {{"--look", nullptr, false}, MAIN_WINDOWED, 0, false, nullptr},
    {{"--view", "N", false}, MAIN_WINDOWED, 0, false, main_viewCheck},
    {{"--config", "FILE", false}, MAIN_WINDOWED, 0, false, nullptr},
    {{"--no-config", nullptr, false}, MAIN_WINDOWED, 0, false, nullptr},
    // The window system's options, with the operands it takes.  Where no
    // window opens they are let be.
    {{"-display", "DISPLAY", false}, MAIN_ANY, 0, true, nullptr},
    {{"-geometry", "WxH+X+Y", false}, MAIN_ANY, 0, true, nullptr},
    {{"-iconic", nullptr, false}, MAIN_ANY, 0, true, nullptr},
    {{"-indirect", nullptr, false}, MAIN_ANY, 0, true, nullptr},
    {{"-direct", nullptr, false}, MAIN_ANY, 0, true, nullptr},
    {{"-gldebug", nullptr, false}, MAIN_ANY, 0, true, nullptr},
    {{"-sync", nullptr, false}, MAIN_ANY, 0, true, nullptr},
};

const MainOptionRow *main_rowFor(const char *name, unsigned mode)
{
    for (const MainOptionRow &row : main_optionTable)
        if (strcmp(row.option.name, name) == 0 && (row.modes & mode))
            return &row;
    return nullptr;
}

const char *main_modeOption(unsigned mode)
{
    for (const MainOptionRow &row : main_optionTable)
        if (row.selects == mode)
            return row.option.name;
    return "";
}

// Why an option of no row for mode is wrong there.
std::string main_misplaced(const char *name, unsigned mode)
{
    std::string quoted = std::string("option '") + name + "'";
    if (mode != MAIN_VIEW)
        return quoted + " cannot be used with " + main_modeOption(mode);
    std::string needs;
    for (const MainOptionRow &row : main_optionTable)
        if (strcmp(row.option.name, name) == 0)
            for (unsigned m = 1; m != 0; m <<= 1)
                if ((row.modes & m) && *main_modeOption(m) &&
                    needs.find(main_modeOption(m)) == std::string::npos)
                    needs += std::string(needs.empty() ? "" : " or ") + main_modeOption(m);
    return quoted + " needs " + needs;
}

}  // namespace

bool MainCommand::has(const char *name) const
{
    return given.count(name) != 0;
}

const char *MainCommand::operand(const char *name) const
{
    auto found = given.find(name);
    return found == given.end() ? nullptr : found->second;
}

std::string main_parse(int argc, char **argv, MainCommand *command)
{
    std::vector<ArgsOption> options;
    for (const MainOptionRow &row : main_optionTable)
        options.push_back(row.option);
    options.push_back({nullptr, nullptr, false});
    std::vector<ArgsWord> words;
    std::string wrong = args_split(argc, argv, options.data(), &words);
    if (!wrong.empty())
        return wrong;

    // --help and --version answer whatever else is asked.
    command->mode = MAIN_VIEW;
    for (unsigned asked : {MAIN_HELP, MAIN_VERSION})
        for (const ArgsWord &word : words)
            if (word.option && main_rowFor(word.option->name, MAIN_ALL)->selects == asked) {
                command->mode = (MainMode)asked;
                return "";
            }
    for (const ArgsWord &word : words) {
        unsigned selects = word.option ? main_rowFor(word.option->name, MAIN_ALL)->selects : 0;
        if (selects && command->mode != MAIN_VIEW && command->mode != selects)
            return std::string(main_modeOption(command->mode)) + " and " + word.option->name +
                   " cannot be used together";
        if (selects)
            command->mode = (MainMode)selects;
    }

    command->glut.assign(1, argv[0]);
    std::vector<const char *> worlds;
    for (const ArgsWord &word : words) {
        if (!word.option) {
            worlds.push_back(word.value);
            continue;
        }
        const char *name = word.option->name;
        const MainOptionRow *row = main_rowFor(name, command->mode);
        if (!row)
            return main_misplaced(name, command->mode);
        if (row->window) {
            command->glut.push_back((char *)name);
            if (word.value)
                command->glut.push_back((char *)word.value);
            continue;
        }
        if (command->has(name))
            return std::string("option '") + name + "' given twice";
        if (row->check) {
            wrong = row->check(word.value);
            if (!wrong.empty())
                return std::string("option '") + name + "': " + wrong;
        }
        command->given[name] = word.value ? word.value : "";
    }
    command->glut.push_back(nullptr);

    if (command->mode == MAIN_NEW && !worlds.empty())
        return std::string("--new makes a world in its folder, and '") + worlds[0] + "' is another word";
    if (worlds.size() > 1)
        return std::string("more than one world file: '") + worlds[0] + "' and '" + worlds[1] + "'";
    if (!worlds.empty() && command->has("--demo"))
        return std::string("--demo opens the demo world, and '") + worlds[0] + "' is another";
    if (!worlds.empty() && strcmp(worlds[0], "-") == 0)
        return "a world is read from its .def file, not from standard input ('-')";
    if (worlds.empty() && !command->has("--demo") && (command->mode & MAIN_WORLD_NEEDED))
        return std::string(main_modeOption(command->mode)) + " needs a world file (WORLD.def)";
    command->world = worlds.empty() ? nullptr : worlds[0];
    return "";
}
