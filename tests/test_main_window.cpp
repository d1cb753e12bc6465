// test_main_window.cpp -- the window: reshape to nothing and the close button ending the run
#include "test_support.h"

#include <dlfcn.h>
#include <math.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <GL/freeglut.h>

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

// What a window manager sends when its close button is clicked; Xlib is
// looked up at run time as the tests are not linked with it.
static bool sendDeleteWindow(const char *display, unsigned long window)
{
    void *x11 = dlopen("libX11.so.6", RTLD_NOW);
    auto openDisplay = x11 ? (Display * (*)(const char *)) dlsym(x11, "XOpenDisplay") : nullptr;
    auto atom = (Atom(*)(Display *, const char *, Bool))dlsym(x11, "XInternAtom");
    auto send = (Status(*)(Display *, Window, Bool, long, XEvent *))dlsym(x11, "XSendEvent");
    auto closeDisplay = (int (*)(Display *))dlsym(x11, "XCloseDisplay");
    Display *dpy = nullptr;
    for (int tries = 0; !dpy && tries < 50 && openDisplay && atom && send && closeDisplay; tries++)
        if (!(dpy = openDisplay(display)))
            usleep(20000);  // refused as another client left: try again
    if (!dpy)
        return false;
    XEvent event = {};
    event.xclient = {ClientMessage, 0, False, dpy, window, atom(dpy, "WM_PROTOCOLS", False), 32, {}};
    event.xclient.data.l[0] = (long)atom(dpy, "WM_DELETE_WINDOW", False);
    bool sent = send(dpy, window, False, NoEventMask, &event) != 0;
    closeDisplay(dpy);  // flushes the request
    return sent;
}

TEST(Window, CloseButtonEndsTheRunWithStatusZero)
{
    if (system("command -v xvfb-run >/dev/null && command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "needs xvfb-run and xdotool";
    std::string def = test_makeWorld(test_tempDir(), "hall", "no blocks\n", 2, 2, 1, {255, 255, 255, 255});
    // A server of its own, so the one window titled "Tavo v3.1" is tavo's; the
    // shell names it, then hands on tavo's status (killed after 60 s: not 0).
    // The virtual server now and then refuses a client that connects as
    // another leaves, so a tavo that ends before its window shows is rerun.
    std::string run = "ASAN_OPTIONS=detect_leaks=0 xvfb-run -a -n " + std::to_string(400 + getpid() % 400) +
        " sh -c 'w=; for a in 1 2 3 4 5; do " TAVO_BINARY_DIR "/tavo " + def + " >/dev/null 2>&1 & t=$!;"
        " for i in $(seq 600); do w=$(xdotool search --onlyvisible --name \"^Tavo v3\\.1$\" 2>/dev/null) && break;"
        " kill -0 $t 2>/dev/null || break; sleep 0.1; done; [ -n \"$w\" ] && break; wait $t; done;"
        " echo \"$DISPLAY $XAUTHORITY $w\"; for i in $(seq 600); do kill -0 $t 2>/dev/null || break; sleep 0.1; done;"
        " kill $t 2>/dev/null; wait $t'";
    FILE *shell = popen(run.c_str(), "r");
    ASSERT_TRUE(shell);
    char display[64] = "", auth[4096] = "";
    unsigned long window = 0;
    bool found = fscanf(shell, "%63s %4095s %lu", display, auth, &window) == 3;
    setenv("XAUTHORITY", auth, 1);
    EXPECT_TRUE(found && sendDeleteWindow(display, window)) << "tavo's window never showed";
    int status = pclose(shell);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
