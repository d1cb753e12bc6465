// args.h -- the command-line conventions every tavo program keeps: options from a table, the usage error, --help, --version
#ifndef TAVO_ARGS_H
#define TAVO_ARGS_H

#include <map>
#include <string>
#include <vector>

#define ARGS_USAGE 2  // the exit status of a usage error

// One option a program takes.  A table of them ends with a null name.
struct ArgsOption {
    const char *name;     // "--size", or GLUT's "-display"
    const char *operand;  // its operand's name in messages ("WxH"), null for none
    bool output;          // the operand is a file written: "-" is refused
};

// One word of the command line, options and operands in the order given.
struct ArgsWord {
    const ArgsOption *option;  // null for an operand (a world, a file)
    const char *value;         // the option's operand (null for none), or the word
};

// Splits argv[1..] by options: "--name VALUE" and "--name=VALUE" alike,
// "-h" is "--help", "--" ends the options and "-" alone is an operand.
// Returns what is wrong ("unknown option '--bogus'"), "" when nothing is.
std::string args_split(int argc, char **argv, const ArgsOption *options,
                       std::vector<ArgsWord> *words);

// A tool's whole command line: options (--help and --version added to
// the table) and the operands in order.  Answers --help with help on
// standard output and --version; reports a usage error.  Returns -1 to
// go on with operands and given (name -> operand, "" for none) filled,
// else the exit status.
int args_read(const char *program, const char *help, int argc, char **argv,
              const ArgsOption *options, std::vector<const char *> *operands,
              std::map<std::string, const char *> *given);

// "'-' cannot be WHAT: ..." for a written file named "-", else "".
std::string args_output(const char *what, const char *path);

// The usage error: "PROGRAM: WRONG" and where help is, on standard error.
// Returns ARGS_USAGE, for the caller to exit with.
int args_usageError(const char *program, const std::string &wrong);

// --version on standard output: "tavo 3.1" or "tavo-map (tavo) 3.1", the
// copyright and the licence.  Returns 0.
int args_version(const char *program);

// The version of the build, "3.1".
const char *args_versionNumber(void);

#endif
