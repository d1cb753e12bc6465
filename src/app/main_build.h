// main_build.h -- building in free look: its keys, the edits it makes, and the guards that keep them from being lost
#ifndef TAVO_MAIN_BUILD_H
#define TAVO_MAIN_BUILD_H

#define MAIN_KEY_BUILD 'b'
#define MAIN_KEY_BOX 'x'         // mark a corner; again: fill the box (X: clear it)
#define MAIN_KEY_RISE 'r'        // while building the buttons build: rise and sink are keys
#define MAIN_KEY_SINK 'f'
#define MAIN_KEY_SAVE 19         // Ctrl+S
#define MAIN_KEY_UNDO 26         // Ctrl+Z
#define MAIN_KEY_REDO 25         // Ctrl+Y, and Ctrl+Shift+Z
#define MAIN_BUILD_REACH 64      // cells the view ray reaches
#define MAIN_BUILD_REPEAT 150    // milliseconds between steps of a held button
extern bool main_building;
// The building keys of a free-look tick (b toggles); now in milliseconds.
void main_buildControl(long now);
// Crosshair, the outlined face and the chosen type, over the frame.
void main_buildDraw(void);
// The keyboard callbacks, telling Ctrl+Shift+Z (redo) from Ctrl+Z.
void main_buildKeyDown(unsigned char key, int x, int y);
void main_buildKeyUp(unsigned char key, int x, int y);

// The guards that keep edits from being lost, and saving.
bool main_buildUnsaved(void);
// Ctrl+S: hands the grid to a saving thread, unless one is at work or the
// map changed on disk since it was read (then only when pressed twice).
void main_buildSave(void);
// Each tick: a save that ended says how it went.  True while one is at work.
bool main_buildSaving(void);
// Escape: true to end the run; with unsaved edits the first press only says so.
bool main_buildMayQuit(void);
// A change on disk (byHand: F5): true when the world may be read again;
// with unsaved edits the change is only reported, and F5 must be pressed twice.
bool main_buildMayReload(bool byHand);
// After the world was read (first or again): the map on disk is the grid,
// and the types to choose from are learnt again.
void main_buildLoaded(void);
void main_buildTypesStale(void);
// A recovery copy of the loaded world's unsaved edits left by an earlier run.
void main_buildRecoveryHint(void);
// The window closed or a signal came: unsaved edits go to SYS/EDIT/.
void main_buildRecover(void);
// Applies and records a step (the one way building changes cells).
struct EditStep;
void main_buildApply(EditStep step);
void main_buildUndo(bool redo);

#endif
