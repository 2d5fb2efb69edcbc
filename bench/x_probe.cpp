// A small X client for bench/run. Every subject runs on an X server of its own, so the
// subject's window is simply the first viewable top-level window of that server.
//   bench_x firstframe [SECONDS]  waits for a viewable window whose content is not one flat
//                                 colour, and prints the monotonic time it was seen
//   bench_x click X Y             moves the pointer to X,Y in that window, then presses and
//                                 releases button 1 through XTest; prints the monotonic time
//                                 at which the server had taken the press
//   bench_x clickframe X Y        the same click; also prints the monotonic time of the first
//                                 frame after the press that changes the window's pixels
//                                 (seen through the Damage extension), or "none" after 1 s
//   bench_x close                 asks that window to close (WM_DELETE_WINDOW)
//   bench_x frames SECONDS        counts the frames the X server is given for that window over
//                                 SECONDS (the Damage extension), and prints the count and
//                                 the seconds it counted over
// Times are CLOCK_MONOTONIC seconds, the clock of Python's time.monotonic().
// Exits 1 when no window shows up in time, 2 on wrong use.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Returns the first viewable child of the root, or 0.
Window viewableWindow(Display* display, XWindowAttributes& attributes) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
        return 0;
    for (unsigned int i = 0; i < count && found == 0; ++i)
        if (XGetWindowAttributes(display, children[i], &attributes) != 0 &&
            attributes.map_state == IsViewable)
            found = children[i];
    if (children != nullptr)
        XFree(children);
    return found;
}

// Returns true iff the window shows more than one colour.
bool hasContent(Display* display, Window window, const XWindowAttributes& attributes) {
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr)
        return false;
    const unsigned long first = XGetPixel(image, 0, 0);
    bool content = false;
    for (int y = 0; y < image->height && !content; y += 2)
        for (int x = 0; x < image->width && !content; x += 2)
            content = XGetPixel(image, x, y) != first;
    XDestroyImage(image);
    return content;
}

// The handler keeps a window that vanishes between two requests from ending the program.
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

Window waitForWindow(Display* display, double seconds, bool needContent) {
    const double deadline = now() + seconds;
    XWindowAttributes attributes;
    do {
        const Window window = viewableWindow(display, attributes);
        if (window != 0 && (!needContent || hasContent(display, window, attributes)))
            return window;
        usleep(2000);
    } while (now() < deadline);
    return 0;
}

// A frame is what the window is given at one moment: every damaging request reports its
// rectangles as one burst of DamageNotify events (the last without "more"), and the requests
// of one frame come within a few milliseconds of each other, where frames at 40 a second
// come 25 ms apart.
constexpr Time kFrameGapMs = 4;

// Returns the Damage extension's first event code, or -1 when the server has none.
int damageEventBase(Display* display) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 1;
    int minor = 1;
    if (XDamageQueryExtension(display, &eventBase, &errorBase) == 0 ||
        XDamageQueryVersion(display, &major, &minor) == 0)
        return -1;
    return eventBase;
}

// Waits until the given moment for a DamageNotify that ends a request's burst. Returns true
// iff one came, with its server time in `when`.
bool waitForDamage(Display* display, int eventBase, double until, Time& when) {
    for (double left = until - now(); left > 0 || XPending(display) > 0; left = until - now()) {
        if (XPending(display) == 0) {
            pollfd connection{ConnectionNumber(display), POLLIN, 0};
            poll(&connection, 1, static_cast<int>(left * 1000) + 1);
        }
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != eventBase + XDamageNotify)
                continue;
            const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
            if (!notify.more) {
                when = notify.timestamp;
                return true;
            }
        }
    }
    return false;
}

// Returns a Damage object reporting every drawing into the window from now on. The server
// reports the whole window as damaged when the object is made; that report is dropped.
Damage watchDamage(Display* display, Window window) {
    const Damage damage = XDamageCreate(display, window, XDamageReportRawRectangles);
    XSync(display, True);
    return damage;
}

// Counts the frames drawn into the window over the given seconds; -1 when the server has no
// Damage extension.
long countFrames(Display* display, Window window, double seconds) {
    const int eventBase = damageEventBase(display);
    if (eventBase < 0)
        return -1;
    const Damage damage = watchDamage(display, window);
    const double deadline = now() + seconds;
    long frames = 0;
    bool counted = false;
    Time last = 0;
    Time when = 0;
    while (waitForDamage(display, eventBase, deadline, when)) {
        if (!counted || when - last >= kFrameGapMs)
            ++frames;
        counted = true;
        last = when;
    }
    XDamageDestroy(display, damage);
    return frames;
}

// Returns the window's pixels.
std::vector<unsigned long> windowPixels(Display* display, Window window) {
    std::vector<unsigned long> pixels;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) == 0)
        return pixels;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr)
        return pixels;
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x)
            pixels.push_back(XGetPixel(image, x, y));
    XDestroyImage(image);
    return pixels;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "bench_x: cannot open display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    if (command == "firstframe") {
        const double seconds = argc > 2 ? std::atof(argv[2]) : 30.0;
        if (waitForWindow(display, seconds, true) == 0)
            return 1;
        std::printf("%.6f\n", now());
        return 0;
    }
    if ((command == "click" || command == "clickframe") && argc > 3) {
        const Window window = waitForWindow(display, 10.0, false);
        if (window == 0)
            return 1;
        const int x = std::atoi(argv[2]);
        const int y = std::atoi(argv[3]);
        XWarpPointer(display, None, window, 0, 0, 0, 0, x, y);
        XSync(display, False);
        usleep(100000); // the motion event is taken by a frame of its own first
        const bool watch = command == "clickframe";
        const int eventBase = watch ? damageEventBase(display) : -1;
        if (watch && eventBase < 0)
            return 1;
        const Damage damage = watch ? watchDamage(display, window) : 0;
        const std::vector<unsigned long> before =
            watch ? windowPixels(display, window) : std::vector<unsigned long>();
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XSync(display, False);
        const double pressed = now();
        // The button is held 30 ms; meanwhile and for a second after, every frame is compared
        // with the picture before the press until one differs.
        double shown = -1.0;
        bool released = false;
        Time when = 0;
        while (watch && shown < 0 && now() < pressed + 1.0) {
            if (waitForDamage(display, eventBase, released ? pressed + 1.0 : pressed + 0.03,
                              when)) {
                if (windowPixels(display, window) != before)
                    shown = now();
            } else if (!released) {
                XTestFakeButtonEvent(display, 1, False, CurrentTime);
                XSync(display, False);
                released = true;
            }
        }
        if (!released) {
            const double left = pressed + 0.03 - now();
            if (left > 0)
                usleep(static_cast<useconds_t>(left * 1e6));
            XTestFakeButtonEvent(display, 1, False, CurrentTime);
            XSync(display, False);
        }
        if (watch) {
            XDamageDestroy(display, damage);
            if (shown < 0)
                std::printf("%.6f none\n", pressed);
            else
                std::printf("%.6f %.6f\n", pressed, shown);
        } else {
            std::printf("%.6f\n", pressed);
        }
        return 0;
    }
    if (command == "close") {
        const Window window = waitForWindow(display, 2.0, false);
        if (window == 0)
            return 1;
        XEvent event;
        std::memset(&event, 0, sizeof event);
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XSync(display, False);
        return 0;
    }
    if (command == "frames" && argc > 2) {
        const double seconds = std::atof(argv[2]);
        const Window window = waitForWindow(display, 2.0, false);
        if (window == 0)
            return 1;
        const double started = now();
        const long frames = countFrames(display, window, seconds);
        if (frames < 0)
            return 1;
        std::printf("%ld %.3f\n", frames, now() - started);
        return 0;
    }
    std::fprintf(stderr,
                 "usage: bench_x firstframe [SECONDS] | click X Y | clickframe X Y | close | "
                 "frames SECONDS\n");
    return 2;
}
