// error.cpp -- the one fatal error path: message, pause, exit(-1)
#include "error.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static ErrorHook error_hook;

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
    // a script forever or be read to its end.  A caller with a hook goes on
    // by itself: a viewer reading its world again must not stop for Enter.
    if (error_hook || !isatty(STDIN_FILENO))
        return;
    fputs("Press Enter to continue . . .", stdout);
    fflush(stdout);
    int c;
    while ((c = getchar()) != '\n' && c != EOF)
        ;
}

ErrorHook error_setHook(ErrorHook hook)
{
    ErrorHook old = error_hook;
    error_hook = hook;
    return old;
}

void error(unsigned int code)
{
    fputs(error_message(code), stdout);
    fflush(stdout);  // the message must be on the console before the pause
    if (error_hook)
        error_hook((unsigned char)code);
    error_pause();
    exit(-1);
}
