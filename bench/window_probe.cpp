// Times a window program from real X events, for bench/window_startup.sh.
//
//   window_probe launch PROGRAM [ARGS...]
//     starts PROGRAM and prints "pid window map_ms paint_ms": from just before the
//     exec to the MapNotify of its first top-level window, and to the first DAMAGE
//     of that window (its first paint). The program keeps running.
//   window_probe click WINDOW
//     prints "ready", then waits for the next mouse press anywhere on the display
//     (an XInput2 raw event, so a click from xdotool counts) and prints the
//     milliseconds until WINDOW reports damage of the preview's size (249 x 257;
//     the buttons and the status line are smaller, the text boxes larger): as the
//     probe received the two events, and by the server's own timestamps (whole
//     milliseconds, but not delayed when the probe itself waits for the processor).
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xdamage.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <unistd.h>

namespace {

double NowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Windows may vanish between an event and a request about them.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

struct DamageCodes {
    int event = 0, error = 0;
};

// Waits for the next event, at most until the deadline; false on time-out.
bool NextEvent(Display* dpy, XEvent& ev, double deadline)
{
    while (!XPending(dpy)) {
        const double left = deadline - NowMs();
        if (left <= 0) return false;
        pollfd p{ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, static_cast<int>(left) + 1);
    }
    XNextEvent(dpy, &ev);
    return true;
}

// The preview is 249 x 257 pixels; the buttons and the status line are lower, the
// text boxes wider and taller.
bool IsPreviewSized(const XRectangle& r)
{
    return r.width >= 200 && r.width <= 300 && r.height >= 200 && r.height <= 300;
}

pid_t Spawn(char** argv)
{
    const pid_t pid = fork();
    if (pid != 0) return pid;
    // The program starts as from a shell: default signal handling, nothing blocked.
    for (int sig : {SIGINT, SIGTERM, SIGPIPE, SIGCHLD}) signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // Its output must not hold the probe's pipe open after the probe is done.
    if (const int devNull = open("/dev/null", O_WRONLY); devNull >= 0) dup2(devNull, STDOUT_FILENO);
    execvp(argv[0], argv);
    _exit(127);
}

int Launch(Display* dpy, const DamageCodes& damage, char** argv)
{
    const Window root = DefaultRootWindow(dpy);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);
    const double start = NowMs();
    const pid_t pid = Spawn(argv);
    if (pid < 0) return 1;
    Window mapped = 0;
    double mapMs = -1;
    XEvent ev;
    while (NextEvent(dpy, ev, start + 30000)) {
        if (ev.type == CreateNotify && ev.xcreatewindow.parent == root && !ev.xcreatewindow.override_redirect) {
            // Watched from creation on, so no paint before the map is missed.
            XDamageCreate(dpy, ev.xcreatewindow.window, XDamageReportNonEmpty);
        } else if (ev.type == MapNotify && !mapped && !ev.xmap.override_redirect) {
            mapped = ev.xmap.window;
            mapMs = NowMs() - start;
        } else if (ev.type == damage.event + XDamageNotify && mapped) {
            const auto& d = reinterpret_cast<const XDamageNotifyEvent&>(ev);
            if (d.drawable != mapped) continue;
            std::printf("%d 0x%lx %.2f %.2f\n", pid, mapped, mapMs, NowMs() - start);
            return 0;
        }
    }
    std::fprintf(stderr, "window_probe: no window mapped and painted within 30 s\n");
    return 1;
}

int Click(Display* dpy, const DamageCodes& damage, int xiOpcode, Window window)
{
    const Window root = DefaultRootWindow(dpy);
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawButtonPress);
    XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
    XISelectEvents(dpy, root, &mask, 1);
    XDamageCreate(dpy, window, XDamageReportRawRectangles);
    XSync(dpy, False);
    std::printf("ready\n");
    std::fflush(stdout);
    double pressed = -1;
    Time pressedAt = 0; // the server's clock, whole milliseconds
    XEvent ev;
    while (NextEvent(dpy, ev, NowMs() + 30000)) {
        if (ev.type == GenericEvent && ev.xcookie.extension == xiOpcode) {
            if (XGetEventData(dpy, &ev.xcookie)) {
                if (ev.xcookie.evtype == XI_RawButtonPress && pressed < 0) {
                    pressed = NowMs();
                    pressedAt = static_cast<XIRawEvent*>(ev.xcookie.data)->time;
                }
                XFreeEventData(dpy, &ev.xcookie);
            }
            continue;
        }
        if (ev.type != damage.event + XDamageNotify) continue;
        const auto& d = reinterpret_cast<const XDamageNotifyEvent&>(ev);
        if (pressed >= 0 && d.drawable == window && IsPreviewSized(d.area)) {
            std::printf("%.2f %lu\n", NowMs() - pressed, d.timestamp - pressedAt);
            return 0;
        }
    }
    std::fprintf(stderr, "window_probe: no press followed by a repainted preview within 30 s\n");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (std::strcmp(argv[1], "launch") != 0 && std::strcmp(argv[1], "click") != 0)) {
        std::fprintf(stderr, "usage: window_probe launch PROGRAM [ARGS...] | window_probe click WINDOW\n");
        return 2;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "window_probe: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(IgnoreErrors);
    DamageCodes damage;
    int xiOpcode = 0, xiEvent = 0, xiError = 0;
    if (!XDamageQueryExtension(dpy, &damage.event, &damage.error) ||
        !XQueryExtension(dpy, "XInputExtension", &xiOpcode, &xiEvent, &xiError)) {
        std::fprintf(stderr, "window_probe: the display lacks DAMAGE or XInput\n");
        return 1;
    }
    int xiMajor = 2, xiMinor = 0; // raw events need XInput 2
    if (XIQueryVersion(dpy, &xiMajor, &xiMinor) != Success) {
        std::fprintf(stderr, "window_probe: the display lacks XInput 2\n");
        return 1;
    }
    const int rc = std::strcmp(argv[1], "launch") == 0
                       ? Launch(dpy, damage, argv + 2)
                       : Click(dpy, damage, xiOpcode, static_cast<Window>(std::strtoul(argv[2], nullptr, 0)));
    XCloseDisplay(dpy);
    return rc;
}
