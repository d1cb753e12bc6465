// test_main_window.cpp -- the window: reshape and the close button ending the run
#include "test_support.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <math.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <X11/Xlib.h>
#include <GL/freeglut.h>

#include "camera.h"
#include "main.h"

namespace {

TEST(Window, ReshapeToZeroHeightKeepsTheAspectFinite)
{
    REQUIRE_GL();
    main_resize(640, 0);
    EXPECT_EQ(PW, 640.0f);
    EXPECT_EQ(PH, 1.0f);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[3], 1);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (GLfloat v : projection)
        EXPECT_TRUE(isfinite(v));
    main_resize(640, 480);
}

pid_t spawn(const std::vector<std::string> &args, const std::string &display, int keepFd = -1)
{
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    int null = open("/dev/null", O_RDWR);
    dup2(null, 1);
    dup2(null, 2);
    if (!display.empty())
        setenv("DISPLAY", display.c_str(), 1);
    // Under the sanitizers the GL driver's own leaks must not decide the exit status.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    for (int fd = 3; fd < 64; fd++)
        if (fd != keepFd)
            close(fd);
    std::vector<char *> argv;
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// Waits up to 30 s (a slow machine only waits longer) for done().
template <typename Done> bool waitFor(Done done)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// An X server of its own, so no other window can be taken for tavo's; its
// number is picked away from the low ones other servers take first.
struct PrivateServer {
    pid_t pid = -1;
    std::string display;

    bool start(void)
    {
        for (int n = 400 + getpid() % 400, last = n + 20; n < last && display.empty(); n++) {
            int fds[2];
            if (pipe(fds) != 0)
                return false;
            pid = spawn({"Xvfb", ":" + std::to_string(n), "-displayfd", std::to_string(fds[1]),
                         "-nolisten", "tcp", "-screen", "0", "1024x768x24"}, "", fds[1]);
            close(fds[1]);
            pollfd p = {fds[0], POLLIN, 0};
            char c;
            std::string number;
            while (poll(&p, 1, 30000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
                number += c;
            close(fds[0]);
            if (!number.empty())
                display = ":" + number;
            else
                waitpid(pid, nullptr, 0);  // the number was taken: it has ended
        }
        return !display.empty();
    }
    ~PrivateServer()
    {
        if (pid > 0 && !display.empty()) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

// The first visible window titled "Tavo v3.1", 0 while there is none.
unsigned long findWindow(const std::string &display)
{
    std::string command = "DISPLAY=" + display +
                          " xdotool search --onlyvisible --name '^Tavo v3\\.1$' 2>/dev/null";
    FILE *out = popen(command.c_str(), "r");
    unsigned long window = 0;
    if (out && fscanf(out, "%lu", &window) != 1)
        window = 0;
    if (out)
        pclose(out);
    return window;
}

// What a window manager sends when its close button is clicked.  Xlib is
// opened at run time: the tests are not linked with it.
bool sendDeleteWindow(const std::string &display, unsigned long window)
{
    void *x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!x11)
        return false;
    auto openDisplay = (Display * (*)(const char *)) dlsym(x11, "XOpenDisplay");
    auto internAtom = (Atom(*)(Display *, const char *, Bool))dlsym(x11, "XInternAtom");
    auto sendEvent = (Status(*)(Display *, Window, Bool, long, XEvent *))dlsym(x11, "XSendEvent");
    auto closeDisplay = (int (*)(Display *))dlsym(x11, "XCloseDisplay");
    Display *dpy = openDisplay && internAtom && sendEvent && closeDisplay
                       ? openDisplay(display.c_str()) : nullptr;
    bool sent = false;
    if (dpy) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = internAtom(dpy, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = (long)internAtom(dpy, "WM_DELETE_WINDOW", False);
        event.xclient.data.l[1] = CurrentTime;
        sent = sendEvent(dpy, window, False, NoEventMask, &event) != 0;
        closeDisplay(dpy);  // flushes the request
    }
    dlclose(x11);
    return sent;
}

TEST(Window, CloseButtonEndsTheRunWithStatusZero)
{
    if (system("command -v Xvfb >/dev/null && command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "needs Xvfb and xdotool";
    std::string def = test_makeWorld(test_tempDir(), "hall", "no blocks\n", 2, 2, 1,
                                     {255, 255, 255, 255});
    PrivateServer server;
    ASSERT_TRUE(server.start()) << "Xvfb did not start";
    // Now and then a fresh connection to the private server is refused:
    // tavo is started again when it ends before its window shows.
    pid_t tavo = -1, ended = 0;
    int status = 0;
    unsigned long window = 0;
    for (int tries = 0; tries < 5 && !window; tries++) {
        tavo = spawn({TAVO_BINARY_DIR "/tavo", def}, server.display);
        ASSERT_GT(tavo, 0);
        ended = 0;
        waitFor([&] {
            return (window = findWindow(server.display)) != 0 ||
                   (ended = waitpid(tavo, &status, WNOHANG)) != 0;
        });
        if (!ended && !window)
            break;  // neither in 30 s
    }
    if (window) {
        EXPECT_TRUE(waitFor([&] { return sendDeleteWindow(server.display, window); }));
        waitFor([&] { return ended != 0 || (ended = waitpid(tavo, &status, WNOHANG)) != 0; });
    }
    if (ended == 0) {
        kill(tavo, SIGKILL);
        waitpid(tavo, &status, 0);
        FAIL() << (window ? "tavo did not end when its window was closed" : "tavo's window never showed");
    }
    ASSERT_NE(window, 0u) << "tavo ended before its window showed";
    ASSERT_TRUE(WIFEXITED(status)) << "tavo was killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
