// args.cpp -- the command-line conventions every tavo program keeps: options from a table, the usage error, --help, --version
#include "args.h"

#include <stdio.h>
#include <string.h>

#ifndef TAVO_VERSION
#error "TAVO_VERSION comes from the build"
#endif

static const ArgsOption *args_find(const ArgsOption *options, const std::string &name)
{
    for (const ArgsOption *o = options; o->name; o++)
        if (name == o->name)
            return o;
    return nullptr;
}

std::string args_split(int argc, char **argv, const ArgsOption *options,
                       std::vector<ArgsWord> *words)
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (optionsEnded || arg[0] != '-' || arg[1] == '\0') {
            words->push_back({nullptr, arg});
            continue;
        }
        if (strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        // Only long options take "=VALUE": GLUT's single-dash ones never do.
        const char *equals = strncmp(arg, "--", 2) == 0 ? strchr(arg, '=') : nullptr;
        std::string name = equals ? std::string(arg, equals) : std::string(arg);
        const ArgsOption *option = args_find(options, name == "-h" ? "--help" : name);
        if (!option)
            return "unknown option '" + name + "'";
        const char *value = nullptr;
        if (equals && !option->operand)
            return "option '" + name + "' takes no operand";
        if (equals)
            value = equals + 1;
        else if (option->operand && i + 1 < argc)
            value = argv[++i];
        else if (option->operand)
            return "option '" + name + "' needs " + option->operand;
        if (option->output) {
            std::string refused = args_output(option->operand, value);
            if (!refused.empty())
                return refused;
        }
        words->push_back({option, value});
    }
    return "";
}

int args_read(const char *program, const char *help, int argc, char **argv,
              const ArgsOption *options, std::vector<const char *> *operands,
              std::map<std::string, const char *> *given)
{
    std::vector<ArgsOption> table(1, {"--help", nullptr, false});
    table.push_back({"--version", nullptr, false});
    for (const ArgsOption *o = options; o->name; o++)
        table.push_back(*o);
    table.push_back({nullptr, nullptr, false});
    std::vector<ArgsWord> words;
    std::string wrong = args_split(argc, argv, table.data(), &words);
    for (const ArgsWord &word : words) {
        if (!wrong.empty())
            break;
        if (!word.option)
            operands->push_back(word.value);
        else if (given->count(word.option->name))
            wrong = std::string("option '") + word.option->name + "' given twice";
        else
            (*given)[word.option->name] = word.value ? word.value : "";
    }
    if (!wrong.empty())
        return args_usageError(program, wrong);
    if (given->count("--help")) {
        fputs(help, stdout);
        return 0;
    }
    if (given->count("--version"))
        return args_version(program);
    return -1;
}

std::string args_output(const char *what, const char *path)
{
    if (!path[0])
        return std::string("an empty name cannot be ") + what;
    if (strcmp(path, "-") != 0)
        return "";
    return std::string("'-' cannot be ") + what +
           ": standard output is not written (./- names a file so called)";
}

int args_usageError(const char *program, const std::string &wrong)
{
    fflush(stdout);
    fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program, wrong.c_str(),
            program);
    return ARGS_USAGE;
}

const char *args_versionNumber(void)
{
    return TAVO_VERSION;
}

int args_version(const char *program)
{
    if (strcmp(program, "tavo") == 0)
        printf("tavo %s\n", TAVO_VERSION);
    else
        printf("%s (tavo) %s\n", program, TAVO_VERSION);
    fputs("Copyright (C) 2026 The Tavo developers.\n"
          "License: MIT.  The terms are in LICENSE, installed as /usr/share/doc/tavo/copyright.\n"
          "This is free software: you are free to change and redistribute it.\n"
          "There is NO WARRANTY, to the extent permitted by law.\n",
          stdout);
    return 0;
}
