// error.h -- the one fatal error path and the console pause
#ifndef TAVO_ERROR_H
#define TAVO_ERROR_H

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
// message.  Never returns.
[[noreturn]] void error_about(unsigned int code, const char *path, const char *reason);

// "tavo: PATH: REASON" on standard error (the program's own name first),
// after whatever standard output holds, so a console shows them in order.
// A null path names the file of error_setFile.
void error_report(const char *path, const char *reason);

// The file being read, or null: error() then names it on standard error,
// with what the code means, after its message.  Returns the one before,
// for putting back.
const char *error_setFile(const char *path);

// A hook run by error() after the message instead of the pause and exit.
// Callers that outlive a refused input (fuzzing, the world check, a
// reload) install one that throws, so that the input alone ends.  The
// hook must not return; if it does, the process still ends.  While one is
// installed error_pause waits for nobody either: the caller has taken over
// failures.  Returns the hook it replaces.
typedef void (*ErrorHook)(unsigned char code);
ErrorHook error_setHook(ErrorHook hook);

#endif
