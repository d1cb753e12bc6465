// error.cpp -- the one fatal error path: message, pause, exit(-1)
#include "error.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static ErrorHook error_hook;
static const char *error_file;

const char *error_message(unsigned int code)
{
    switch (code & 0xFF) {
    case ERROR_FILE:   return "ERROR: A file handling error has occured\n";
    case ERROR_MEMORY: return "ERROR: Program has run out of memory\n";
    case ERROR_SIZE:   return "ERROR: Texture's too big to be allocated\n";
    case ERROR_STACK:  return "ERROR: Virtual stack overflow\n";
    default:           return "UNKNOWN ERROR: An unidentified error has occured\n";
    }
}

void error_pause(void)
{
    // Only a person at a terminal can answer; a pipe or a file would block
    // a script forever or be read to its end.
    if (!isatty(STDIN_FILENO))
        return;
    fputs("Press Enter to continue . . .", stdout);
    fflush(stdout);
    int c;
    while ((c = getchar()) != '\n' && c != EOF)
        ;
}

void error_report(const char *path, const char *reason)
{
    fflush(stdout);
    if (!path)
        path = error_file ? error_file : "(no file)";
    fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, path, reason);
}

const char *error_setFile(const char *path)
{
    const char *before = error_file;
    error_file = path;
    return before;
}

void error_setHook(ErrorHook hook)
{
    error_hook = hook;
}

void error_about(unsigned int code, const char *path, const char *reason)
{
    fputs(error_message(code), stdout);
    fflush(stdout);  // the message must be on the console before the pause
    if (path)
        error_report(path, reason);
    if (error_hook)
        error_hook((unsigned char)code);
    error_pause();
    exit(-1);
}

void error(unsigned int code)
{
    static const char *const reasons[] = {"not in the format expected", "out of memory",
                                          "too large for a texture"};
    error_about(code, error_file, (code & 0xFF) < 3 ? reasons[code & 0xFF] : "unusable");
}
