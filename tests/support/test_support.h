// test_support.h -- shared test helpers: a GL context, fatal-error checks, scratch worlds
#ifndef TAVO_TEST_SUPPORT_H
#define TAVO_TEST_SUPPORT_H

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Opens (once per process) the 640 x 480 window, its context current and
// main_resize applied.  False when there is no display.
bool test_glContext(void);

// The last frame main_render drew, 640 x 480 RGB with the bottom row first,
// read from the back buffer before the swap leaves it undefined (the front
// buffer under a virtual X server does not read back).
extern std::vector<unsigned char> test_shownFrame;

// Runs open (which opens the display), again whenever the virtual X server
// refuses the connection.
void test_openRetrying(const std::function<void(void)> &open);

// Skips the test when no display is available.
#define REQUIRE_GL() \
    do { if (!test_glContext()) GTEST_SKIP() << "no display (run under xvfb-run)"; } while (0)

// error() ends the process with status 255 after printing its line on
// standard output; death tests only see standard error, so the child's
// standard output is sent there (and the display forgotten, so that no
// error dialog waits for a click).
void test_stdoutToStderr(void);
std::string test_errorPattern(unsigned code);
#define EXPECT_ERROR_EXIT(statement, code)                                           \
    EXPECT_EXIT({ test_stdoutToStderr(); statement; }, ::testing::ExitedWithCode(255), \
                test_errorPattern(code))

// A Vector's three components, each equal up to float rounding.
#define EXPECT_VECTOR(v, ex, ey, ez) \
    do { EXPECT_FLOAT_EQ((v).x, ex); EXPECT_FLOAT_EQ((v).y, ey); EXPECT_FLOAT_EQ((v).z, ez); } while (0)

// A fresh empty folder under the system's temporary folder.
std::string test_tempDir(void);
void test_writeText(const std::string &path, const std::string &text);
void test_makeDirs(const std::string &path);  // like mkdir -p

// A world on disk: root/DEF/<name>.def, root/PCX/<name>.pcx (the map),
// root/PCX/SYSTEM/BASIC02.PCX, root/SYS/IMG/matrix.pcx and root/SYS/CAM/.
// cells are (y * depth + z) * width + x; returns the .def path.
std::string test_makeWorld(const std::string &root, const std::string &name,
                           const std::string &defText, unsigned width, unsigned depth,
                           unsigned layers, const std::vector<unsigned char> &cells,
                           unsigned across = 1);

// A bare 8-bit PCX header claiming width x height pixels in lines of
// bytesPerLine bytes, then data as given: nothing of the claimed size is made.
std::vector<unsigned char> test_pcxHeader(unsigned width, unsigned height, unsigned bytesPerLine,
                                          const std::vector<unsigned char> &data);
void test_put16(std::vector<unsigned char> &file, size_t at, unsigned value);  // little-endian
// A map picture 65535 pixels wide whose frame measures a block of 65532 x 1
// cells, declared `bands` blocks high; only its first two rows are in it.
std::vector<unsigned char> test_tallMap(unsigned bands);

// A small 8-bit palette picture of one colour per pixel row stripe.
void test_writeSolidPcx(const std::string &path, unsigned width, unsigned height,
                        unsigned char r, unsigned char g, unsigned char b);

#endif
