// test_support.cpp -- shared test helpers: a GL context, fatal-error checks, scratch worlds
#include "test_support.h"

#include <setjmp.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include <GL/freeglut.h>

#include "main.h"
#include "pcx_encode.h"
#include "error.h"

// Leaks inside the GL driver and the X libraries are not ours to fix.  The
// leak checker asks for this hook by name; without it nothing calls it.
extern "C" const char *__lsan_default_suppressions(void)
{
    return "leak:swrast_dri.so\nleak:libGLX_mesa.so\nleak:libGL.so\nleak:libX11.so\n"
           "leak:libglut.so\nleak:libLLVM\nleak:libxcb\nleak:libdrm\n";
}

// The leak checker's walk over dynamically loaded libraries' thread-local
// blocks crashes on the GL driver's with this C library, ending a passing
// test in a fatal error; those blocks are left out of the walk.
extern "C" const char *__asan_default_options(void)
{
    return "intercept_tls_get_addr=0";
}

// The driver is unloaded before the leak check runs, which leaves its
// allocations without a module name to suppress by; keeping it loaded
// lets the suppressions above see it.
static void test_pinDriver(void)
{
    dlopen("swrast_dri.so", RTLD_NOW | RTLD_NODELETE | RTLD_GLOBAL);
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE | RTLD_GLOBAL);
}

std::vector<unsigned char> test_shownFrame(640 * 480 * 3);

extern "C" void glutSwapBuffers(void)
{
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, test_shownFrame.data());
    static auto real = reinterpret_cast<void (*)(void)>(dlsym(RTLD_NEXT, "glutSwapBuffers"));
    real();
}

static jmp_buf test_retryOpen;

static void test_glutError(const char *format, va_list args)
{
    if (strncmp(format, "failed to open display", 22) == 0)
        longjmp(test_retryOpen, 1);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    exit(1);
}

void test_openRetrying(const std::function<void(void)> &open)
{
    glutInitErrorFunc(test_glutError);
    // The virtual X server now and then refuses a client that connects
    // just as another leaves; try again rather than fail the test.
    static int tries;
    if (setjmp(test_retryOpen)) {
        if (++tries == 50) {
            fprintf(stderr, "cannot open display %s\n", getenv("DISPLAY"));
            exit(1);
        }
        usleep(20000);
    }
    open();
}

bool test_glContext(void)
{
    static int state = 0;  // 0 untried, 1 ready, -1 unavailable
    const char *display = getenv("DISPLAY");
    if (state == 0 && (!display || !*display))
        state = -1;
    if (state == 0) {
        test_pinDriver();
        // llvmpipe's worker threads can be mid-exit when the leak checker
        // stops the world at the end of a test, which crashes the checker.
        setenv("LP_NUM_THREADS", "0", 0);
        test_openRetrying([] {
            int argc = 1;
            char name[] = "tavo-test";
            char *argv[] = {name, nullptr};
            main_openWindow(&argc, argv);
        });
        glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
        main_resize(640, 480);
        state = 1;
    }
    return state == 1;
}

void test_stdoutToStderr(void)
{
    fflush(stdout);
    dup2(2, 1);
    unsetenv("DISPLAY");  // no error dialog that nobody would close
}

std::string test_errorPattern(unsigned code)
{
    std::string pattern;
    for (const char *c = error_message(code); *c; c++)
        if (*c != '\n')
            pattern += (strchr("\\^$.|?*+()[]{}", *c) ? "\\" : "") + std::string(1, *c);
    return pattern;
}

// Every folder test_tempDir made, removed when the process ends (a failed
// assertion included); a death test's child leaves its parent's folders be.
static std::vector<std::string> &test_scratch(void)
{
    static struct Scratch {
        pid_t owner = getpid();
        std::vector<std::string> dirs;
        ~Scratch()
        {
            std::error_code ignored;
            for (size_t i = 0; i < dirs.size() && getpid() == owner; i++)
                std::filesystem::remove_all(dirs[i], ignored);
        }
    } scratch;  // made on first use, before any static that asks
    return scratch.dirs;
}

std::string test_tempDir(void)
{
    const char *base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavo-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        abort();
    test_scratch().push_back(pattern);
    return pattern;
}

void test_makeDirs(const std::string &path)
{
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
}

void test_writeText(const std::string &path, const std::string &text)
{
    pcx_writeFileDirs(path, std::vector<unsigned char>(text.begin(), text.end()));
}

void test_put16(std::vector<unsigned char> &file, size_t at, unsigned value)
{
    file[at] = value & 0xFF;
    file[at + 1] = (value >> 8) & 0xFF;
}

std::vector<unsigned char> test_tallMap(unsigned bands)
{
    std::vector<unsigned char> pixels(2 * 65535, 0);
    std::fill(pixels.begin() + 1, pixels.begin() + 65533, 5);
    pixels[65535] = 5;  // the frame's left edge: one row of cells
    std::vector<unsigned char> file = pcx_encode8(65535, 2, pixels.data(), nullptr, 65535);
    test_put16(file, 10, 3 * bands - 1);
    return file;
}

std::vector<unsigned char> test_pcxHeader(unsigned width, unsigned height, unsigned bytesPerLine,
                                          const std::vector<unsigned char> &data)
{
    const unsigned char pixel = 0;
    std::vector<unsigned char> file = pcx_encode8(1, 1, &pixel, nullptr, 1);
    file.resize(128);
    test_put16(file, 8, width - 1), test_put16(file, 10, height - 1), test_put16(file, 66, bytesPerLine);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

void test_writeSolidPcx(const std::string &path, unsigned width, unsigned height,
                        unsigned char r, unsigned char g, unsigned char b)
{
    std::vector<unsigned char> pixels((size_t)width * height, 1);
    unsigned char palette[768] = {0, 0, 0, r, g, b};
    pcx_writeFileDirs(path, pcx_encode8(width, height, pixels.data(), palette));
}

std::string test_makeWorld(const std::string &root, const std::string &name,
                           const std::string &defText, unsigned width, unsigned depth,
                           unsigned layers, const std::vector<unsigned char> &cells,
                           unsigned across)
{
    test_makeDirs(root + "/SYS/CAM");
    pcx_writeFileDirs(root + "/PCX/" + name + ".pcx", pcx_encodeMap(width, depth, layers, cells.data(), across));
    test_writeSolidPcx(root + "/PCX/SYSTEM/BASIC02.PCX", 8, 8, 200, 0, 200);
    test_writeSolidPcx(root + "/SYS/IMG/matrix.pcx", 8, 8, 0, 160, 0);
    std::string def = root + "/DEF/" + name + ".def";
    test_writeText(def, defText);
    return def;
}
