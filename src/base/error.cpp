// error.cpp -- refusals said by the entry points, and the fatal error path: message, dialog, pause, exit(-1)
#include "error.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

extern char **environ;

static bool error_pausing = true;
static bool error_dialogOff;

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
    if (!error_pausing || !isatty(STDIN_FILENO))
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
    fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, path, reason);
}

bool error_setPausing(bool on)
{
    bool before = error_pausing;
    error_pausing = on;
    return before;
}

void error_noDialog(void)
{
    error_dialogOff = true;
}

void error_dialog(const char *text)
{
    // Started from a menu there is no console to read the line on, and
    // nobody to answer the pause.  A missing zenity only fails the spawn.
    const char *display = getenv("DISPLAY");
    if (error_dialogOff || isatty(STDOUT_FILENO) || !display || !*display)
        return;
    size_t n = strlen(text);
    while (n && text[n - 1] == '\n')
        n--;
    std::string shown(text, n);
    char *argv[] = {(char *)"zenity", (char *)"--error", (char *)"--no-markup",
                    (char *)"--title=Tavo", (char *)"--text", &shown[0], nullptr};
    // Its toolkit's chatter would only bury the message on the console.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Nobody may be there to close it (a display nobody watches): the
    // dialog is left to itself, and outlives the process that started it.
    pid_t pid;
    posix_spawnp(&pid, "zenity", &quiet, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&quiet);
}

void error_about(unsigned int code, const char *path, const char *reason)
{
    fputs(error_message(code), stdout);
    fflush(stdout);  // the message must be on the console before the pause
    if (path)
        error_report(path, reason);
    // The dialog says what the console and standard error said.
    std::string text = error_message(code);
    if (path)
        text += std::string(path) + ": " + reason;
    error_dialog(text.c_str());
    error_pause();
    exit(-1);
}

void error(unsigned int code)
{
    error_about(code, nullptr, nullptr);
}

const char *error_reason(unsigned int code)
{
    static const char *const reasons[] = {"not in the format expected", "out of memory",
                                          "too large for a texture"};
    return (code & 0xFF) < 3 ? reasons[code & 0xFF] : "unusable";
}

bool error_refuse(Refusal *why, unsigned int code, const std::string &path, const std::string &reason)
{
    if (why) {
        why->code = (unsigned char)code;
        why->path = path;
        why->reason = reason;
    }
    return false;
}

void error_say(const Refusal &why)
{
    fputs(error_message(why.code), stdout);
    fflush(stdout);
    if (!why.path.empty())
        error_report(why.path.c_str(), why.reason.c_str());
}

void error_refused(const Refusal &why)
{
    error_about(why.code, why.path.empty() ? nullptr : why.path.c_str(), why.reason.c_str());
}
