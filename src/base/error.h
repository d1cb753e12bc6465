// error.h -- refusals as values, the one fatal error path the entry points end on, the console pause
#ifndef TAVO_ERROR_H
#define TAVO_ERROR_H

#include <string>

#define ERROR_FILE   0  // a file cannot be opened or is malformed
#define ERROR_MEMORY 1  // memory cannot be allocated
#define ERROR_SIZE   2  // an image is too large for a texture
#define ERROR_STACK  3  // the value stack ran over or under

// Prints the fixed line for code (taken modulo 256), shows it in a dialog
// (see error_dialog), pauses, ends the process with status -1.  Never returns.
[[noreturn]] void error(unsigned int code);

// The fixed message line of a code, line break included.
const char *error_message(unsigned int code);

// Waits for Enter, but only when standard input is a terminal, so that
// scripts and tests never block.
void error_pause(void);

// Shows text (a trailing line break dropped) in a zenity error dialog,
// when standard output is no terminal and a display is set: the case of a
// program started from the desktop's menu.  The dialog is started, never
// waited for, so the process ends at once with its status.  Does nothing
// when zenity is not installed or after error_noDialog.
void error_dialog(const char *text);
// No dialog from here on: runs that serve a script (--shot, --check).
void error_noDialog(void);

// error(code), with "tavo: PATH: REASON" on standard error after the
// message when path is given.  Never returns.
[[noreturn]] void error_about(unsigned int code, const char *path, const char *reason);

// "tavo: PATH: REASON" on standard error (the program's own name first),
// after whatever standard output holds, so a console shows them in order.
void error_report(const char *path, const char *reason);

// Why an input cannot be used.  Code below the entry points returns one
// (with false, or an empty result) instead of ending the process; only an
// entry point turns it into console lines and an exit status.
struct Refusal {
    unsigned char code = ERROR_FILE;  // of the fixed console line
    std::string path;                 // the file refused; empty names none
    std::string reason;               // in words, for standard error
};

// What a file refused with code is said to be, when nothing more is known.
const char *error_reason(unsigned int code);
// Fills *why, when given, and returns false.
bool error_refuse(Refusal *why, unsigned int code, const std::string &path, const std::string &reason);
// The lines error_about prints for a refusal (the fixed line on standard
// output, then the file and the reason on standard error), the process
// going on: a reload, --check and --export outlive the input they refuse.
void error_say(const Refusal &why);
// error_about for a refusal.  Never returns.
[[noreturn]] void error_refused(const Refusal &why);

// No pause on standard input from here on (while on is true): a viewer
// reading its world again must not stop for Enter.  Returns the one before.
bool error_setPausing(bool on);

#endif
