// test_main_window.cpp -- the window: sizes of nothing and the close button ending the run
#include "test_support.h"

#include <dlfcn.h>
#include <malloc.h>
#include <math.h>
#include <unistd.h>

#include <GL/freeglut.h>
#include <GL/glx.h>

#include "camera.h"
#include "main.h"

TEST(Window, ZeroSizesKeepTheProjectionsFinite)
{
    REQUIRE_GL();
    main_resize(640, 0);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (GLfloat v : projection)
        EXPECT_TRUE(isfinite(v));
    main_resize(640, 480);
    // Before the first reshape the overlay is square rather than NaN.
    PW = PH = 0;
    camera_2D();
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_FLOAT_EQ(projection[0], 2);
    camera_3D();
    PW = 640, PH = 480;
}

// The settings' field of view is free look's; the fixed camera keeps 45 degrees.
TEST(Window, TheFieldOfViewIsFreeLooksAlone)
{
    REQUIRE_GL();
    main_fov = 90.0f;
    for (unsigned char looking : {0, 1}) {
        main_looking = looking;
        main_resize(640, 480);
        GLfloat projection[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        EXPECT_NEAR(projection[5], looking ? 1.0 : 1.0 / tan(22.5 * M_PI / 180), 1e-5) << (int)looking;
    }
    main_looking = 0, main_fov = MAIN_FOV_FIXED;
    main_resize(640, 480);
}

// Once the run's window exists it is sent what a window manager sends when
// its close button is clicked.  Xlib is already loaded by GLUT; the tests
// are not linked with it.
// The run's window must come with the heap kept between frames, as --shot's
// and the benchmark's do: a window without it ends the run with status 3.
static bool closeOnCreate, heapKept;
extern "C" int mallopt(int param, int value)
{
    static auto real = reinterpret_cast<int (*)(int, int)>(dlsym(RTLD_NEXT, "mallopt"));
    heapKept |= param == M_TRIM_THRESHOLD && value > 0;
    return real(param, value);
}

extern "C" int glutCreateWindow(const char *title)
{
    static auto real = reinterpret_cast<decltype(&glutCreateWindow)>(dlsym(RTLD_NEXT, "glutCreateWindow"));
    if (closeOnCreate && !heapKept)
        _exit(3);
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

TEST(WindowDeathTest, CloseButtonEndsTheRunWithStatusZero)
{
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "no display (run under xvfb-run)";
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, GLUT not yet started
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);  // the GL driver's leaks are not tavo's
    std::string def = test_makeWorld(test_tempDir(), "hall", "no blocks\n", 2, 2, 1, {255, 255, 255, 255});
    char name[] = "tavo", *argv[] = {name, def.data(), nullptr};
    EXPECT_EXIT({
        closeOnCreate = true;
        alarm(60);  // a run the close did not end fails, not hangs
        test_openRetrying([&] { exit(main_run(2, argv)); });
    }, ::testing::ExitedWithCode(0), "");
}
