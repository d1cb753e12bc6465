// test_main_window.cpp -- the window: reshape to nothing, the 2D overlay and the close button ending the run
#include "test_support.h"

#include <dlfcn.h>
#include <math.h>
#include <setjmp.h>
#include <string.h>
#include <unistd.h>

#include <GL/freeglut.h>
#include <GL/glx.h>

#include "camera.h"
#include "main.h"

TEST(Window, ReshapeToZeroHeightKeepsTheProjectionFinite)
{
    REQUIRE_GL();
    main_resize(640, 0);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (GLfloat v : projection)
        EXPECT_TRUE(isfinite(v));
    main_resize(640, 480);
}

// Both matrix stacks' depths, the matrix mode and the depth test.
static std::vector<GLint> overlayState(void)
{
    std::vector<GLint> v = {-1, -1, -1, glIsEnabled(GL_DEPTH_TEST)};
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &v[0]);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &v[1]);
    glGetIntegerv(GL_MATRIX_MODE, &v[2]);
    return v;
}

TEST(Window, OverlayIsEnteredOnceAndRestores3D)
{
    REQUIRE_GL();
    glTranslatef(0, 0, -7);  // the window starts in modelview mode
    glEnable(GL_DEPTH_TEST);
    GLdouble before[2][16], m[2][16];
    glGetDoublev(GL_MODELVIEW_MATRIX, before[0]);
    glGetDoublev(GL_PROJECTION_MATRIX, before[1]);
    const std::vector<GLint> s = overlayState();
    camera_2D();
    camera_2D();
    EXPECT_EQ(overlayState(), (std::vector<GLint>{s[0] + 1, s[1] + 1, GL_MODELVIEW, GL_FALSE}));
    // In the 640 x 480 window x 0..1.3333 maps to -1..1, y 0 (top)..1 (bottom) to 1..-1.
    glGetDoublev(GL_PROJECTION_MATRIX, m[1]);
    const double overlay[4][2] = {{0, 2 / 1.3333333}, {12, -1}, {5, -2}, {13, 1}};
    for (const auto &o : overlay)
        EXPECT_NEAR(m[1][(int)o[0]], o[1], 1e-6) << o[0];
    for (int i = 0; i < 2; i++) {  // the second leave does nothing
        camera_3D();
        glGetDoublev(GL_MODELVIEW_MATRIX, m[0]);
        glGetDoublev(GL_PROJECTION_MATRIX, m[1]);
        EXPECT_EQ(memcmp(before, m, sizeof m), 0);
        EXPECT_EQ(overlayState(), (std::vector<GLint>{s[0], s[1], GL_MODELVIEW, i == 0}));
        glDisable(GL_DEPTH_TEST);
    }
    // Before the first reshape the overlay is square rather than NaN.
    PW = PH = 0;
    camera_2D();
    glGetDoublev(GL_PROJECTION_MATRIX, m[1]);
    EXPECT_NEAR(m[1][0], 2, 1e-6);
    camera_3D();
    PW = 640, PH = 480;
}

// Once the run's window exists it is sent what a window manager sends when
// its close button is clicked.  Xlib is already loaded by GLUT; the tests
// are not linked with it.
static bool closeOnCreate;
extern "C" int glutCreateWindow(const char *title)
{
    static auto real = reinterpret_cast<decltype(&glutCreateWindow)>(dlsym(RTLD_NEXT, "glutCreateWindow"));
    int id = real(title);
    if (closeOnCreate) {
        auto atom = reinterpret_cast<decltype(&XInternAtom)>(dlsym(RTLD_DEFAULT, "XInternAtom"));
        auto send = reinterpret_cast<decltype(&XSendEvent)>(dlsym(RTLD_DEFAULT, "XSendEvent"));
        Display *dpy = glXGetCurrentDisplay();
        XEvent event = {};
        event.xclient = {ClientMessage, 0, False, dpy, glXGetCurrentDrawable(), atom(dpy, "WM_PROTOCOLS", False), 32, {}};
        event.xclient.data.l[0] = (long)atom(dpy, "WM_DELETE_WINDOW", False);
        send(dpy, event.xclient.window, False, NoEventMask, &event);
    }
    return id;
}

static jmp_buf retryOpen;
static int openTries;
TEST(WindowDeathTest, CloseButtonEndsTheRunWithStatusZero)
{
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "no display (run under xvfb-run)";
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, GLUT not yet started
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);  // the GL driver's leaks are not tavo's
    std::string def = test_makeWorld(test_tempDir(), "hall", "no blocks\n", 2, 2, 1, {255, 255, 255, 255});
    char name[] = "tavo", *argv[] = {name, def.data(), nullptr};
    EXPECT_EXIT({
        // The virtual server now and then refuses a client that connects as another leaves.
        if (setjmp(retryOpen))
            usleep(20000);
        glutInitErrorFunc([](const char *format, va_list args) {
            if (strncmp(format, "failed to open display", 22) == 0 && ++openTries < 50)
                longjmp(retryOpen, 1);
            vfprintf(stderr, format, args);
            exit(1);
        });
        closeOnCreate = true;
        alarm(60);  // a run the close did not end fails, not hangs
        exit(main_run(2, argv));
    }, ::testing::ExitedWithCode(0), "");
}
