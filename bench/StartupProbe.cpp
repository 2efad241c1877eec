// Start-up time of a windowed program: starts it and waits, on the X
// server's own notifications rather than by polling, until a top-level
// window whose name begins with a given prefix is mapped with that name.
// Prints the milliseconds from just before the program's exec to then, and
// ends the program. A window named "Error" first (the plug-in message) is a
// failure, as is no such window within the time allowed.
//   startup_probe NAME_PREFIX TIMEOUT_S PROGRAM [ARGS...]

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

double MonotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::string WindowName(Display* display, Window window)
{
    char* name = nullptr;
    if (XFetchName(display, window, &name) == 0 || name == nullptr)
        return {};
    std::string result(name);
    XFree(name);
    return result;
}

pid_t Start(char** argv)
{
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv);
        std::fprintf(stderr, "startup_probe: cannot run %s\n", argv[0]);
        _exit(127);
    }
    return child;
}

// Waits for the window; the time it was shown, or a negative value.
double WaitForWindow(Display* display, const std::string& prefix, double deadline, pid_t child)
{
    const int fd = ConnectionNumber(display);
    while (MonotonicMs() < deadline) {
        while (XPending(display) > 0) {
            XEvent event{};
            XNextEvent(display, &event);
            Window window = 0;
            if (event.type == MapNotify && !event.xmap.override_redirect) {
                window = event.xmap.window;
                // A name set after mapping arrives as a property change.
                XSelectInput(display, window, PropertyChangeMask);
            } else if (event.type == PropertyNotify && event.xproperty.atom == XA_WM_NAME) {
                window = event.xproperty.window;
            }
            if (window == 0)
                continue;
            const std::string name = WindowName(display, window);
            if (name.compare(0, prefix.size(), prefix) == 0)
                return MonotonicMs();
            if (name == "Error") {
                std::fprintf(stderr, "startup_probe: the program showed an error box\n");
                return -1;
            }
        }
        if (waitpid(child, nullptr, WNOHANG) == child) {
            std::fprintf(stderr, "startup_probe: the program ended without showing its window\n");
            return -1;
        }
        pollfd wait{fd, POLLIN, 0};
        poll(&wait, 1, 20);
    }
    std::fprintf(stderr, "startup_probe: no window named %s...\n", prefix.c_str());
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: startup_probe NAME_PREFIX TIMEOUT_S PROGRAM [ARGS...]\n");
        return kExitUsage;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "startup_probe: no display\n");
        return kExitFailed;
    }
    // Every top-level window's mapping, from before the program starts.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const double started = MonotonicMs();
    const pid_t child = Start(argv + 3);
    const double shown = child > 0 ? WaitForWindow(display, argv[1], started + 1000.0 * std::atof(argv[2]), child) : -1;
    if (child > 0) {
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
    }
    XCloseDisplay(display);
    if (shown < 0)
        return kExitFailed;
    std::printf("%.1f\n", shown - started);
    return kExitOk;
}
