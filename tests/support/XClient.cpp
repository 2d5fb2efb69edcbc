#include "support/XClient.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>

#include "support/Wait.hpp"

#include <stdexcept>

namespace {
// Reads a property of 32-bit items (returned by Xlib as longs).
std::vector<unsigned long> readProperty(Display* display, Window window, const char* name,
                                        Atom type) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1L << 20,
                           False, type, &actualType, &format, &count, &remaining,
                           &data) == Success &&
        data != nullptr) {
        if (format == 32) {
            const unsigned long* values = reinterpret_cast<const unsigned long*>(data);
            items.assign(values, values + count);
        }
        XFree(data);
    }
    return items;
}
} // namespace

XClient::XClient(sf::WindowHandle handle)
    : display(XOpenDisplay(nullptr)), window(handle), source(0), dropWindow(0), serving(false) {
    if (display == nullptr)
        throw std::runtime_error("cannot open the X display");
}

XClient::~XClient() { XCloseDisplay(display); }

namespace {
// Returns true iff the X server says that process pid made window.
bool madeBy(Display* display, Window window, pid_t pid) {
    XResClientIdSpec client{window, XRES_CLIENT_ID_PID_MASK};
    long found = 0;
    XResClientIdValue* values = nullptr;
    if (XResQueryClientIds(display, 1, &client, &found, &values) != Success)
        return false;
    bool made = false;
    for (long v = 0; v < found; ++v)
        made = made || XResGetClientPid(&values[v]) == pid;
    XResClientIdsDestroy(found, values);
    return made;
}

// The first viewable window of process pid among parent's children, or within the children
// of theirs that belong to another process (the frames a window manager puts around the
// windows it manages), `depth` levels down; 0 if none.
Window viewableWindowOf(Display* display, Window parent, pid_t pid, int depth) {
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, parent, &root, &up, &children, &count) == 0)
        return 0;
    Window window = 0;
    for (unsigned int i = 0; i < count && window == 0; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) == 0 ||
            attributes.map_state != IsViewable)
            continue;
        if (madeBy(display, children[i], pid))
            window = children[i];
        else if (depth > 1)
            window = viewableWindowOf(display, children[i], pid, depth - 1);
    }
    if (children != nullptr)
        XFree(children);
    return window;
}

int ignoreError(Display*, XErrorEvent*) { return 0; }
} // namespace

bool XClient::findWindowOf(pid_t pid) {
    // The X server knows which process owns each window's connection (X-Resource
    // extension); the program's hidden context windows are never mapped, so the first
    // viewable one is its main window. Windows may go meanwhile: Xlib's default handler
    // would end the test program.
    XErrorHandler previous = XSetErrorHandler(ignoreError);
    window = viewableWindowOf(display, DefaultRootWindow(display), pid, 3);
    sync();
    XSetErrorHandler(previous);
    return window != 0;
}

sf::WindowHandle XClient::handle() const { return window; }

bool XClient::isViewable() {
    // A window that is gone is not viewable; without this handler, asking of it would end
    // the test program.
    XErrorHandler previous = XSetErrorHandler(ignoreError);
    XWindowAttributes attributes;
    const bool viewable = XGetWindowAttributes(display, window, &attributes) != 0 &&
                          attributes.map_state == IsViewable;
    XSetErrorHandler(previous);
    return viewable;
}

std::string XClient::title() {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024,
                           False, XInternAtom(display, "UTF8_STRING", False), &actualType,
                           &format, &count, &remaining, &data) == Success &&
        data != nullptr) {
        text.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    return text;
}

std::vector<int> XClient::sizeLimits() {
    XSizeHints hints{};
    long supplied = 0;
    if (XGetWMNormalHints(display, window, &hints, &supplied) == 0)
        return {0, 0, 0, 0};
    std::vector<int> limits{0, 0, 0, 0};
    if (hints.flags & PMinSize) {
        limits[0] = hints.min_width;
        limits[1] = hints.min_height;
    }
    if (hints.flags & PMaxSize) {
        limits[2] = hints.max_width;
        limits[3] = hints.max_height;
    }
    return limits;
}

std::vector<unsigned long> XClient::icon() {
    std::vector<unsigned long> items = readProperty(display, window, "_NET_WM_ICON", XA_CARDINAL);
    if (items.size() < 2 || items.size() < 2 + items[0] * items[1])
        return {};
    items.resize(2 + items[0] * items[1]);
    return items;
}

void XClient::moveTo(int x, int y) {
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
    sync();
}

void XClient::press(unsigned button) {
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    sync();
}

void XClient::release(unsigned button) {
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    sync();
}

void XClient::key(const char* name, bool down) {
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, XStringToKeysym(name)), down, CurrentTime);
    sync();
}

std::string XClient::resources() const {
    const char* text = XResourceManagerString(display);
    return text != nullptr ? text : "";
}

void XClient::setResources(const std::string& text) {
    const Atom property = XInternAtom(display, "RESOURCE_MANAGER", False);
    if (text.empty())
        XDeleteProperty(display, DefaultRootWindow(display), property);
    else
        XChangeProperty(display, DefaultRootWindow(display), property, XA_STRING, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
    sync();
}

namespace {
// The 8-bit channel of pixel selected by mask.
sf::Uint8 channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0)
        return 0;
    while ((mask & 1) == 0) {
        mask >>= 1;
        pixel >>= 1;
    }
    return static_cast<sf::Uint8>((pixel & mask) * 255 / mask);
}
} // namespace

sf::Image XClient::screenshot() {
    sf::Image image;
    // The window may go away meanwhile: Xlib's default handler would end the test program.
    sync();
    XErrorHandler previous = XSetErrorHandler(ignoreError);
    XWindowAttributes attributes;
    XImage* shot = nullptr;
    if (XGetWindowAttributes(display, window, &attributes) != 0 &&
        attributes.map_state == IsViewable)
        shot = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                         static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    sync();
    XSetErrorHandler(previous);
    if (shot == nullptr)
        return image;
    image.create(static_cast<unsigned>(shot->width), static_cast<unsigned>(shot->height));
    for (int y = 0; y < shot->height; ++y)
        for (int x = 0; x < shot->width; ++x) {
            const unsigned long pixel = XGetPixel(shot, x, y);
            image.setPixel(static_cast<unsigned>(x), static_cast<unsigned>(y),
                           sf::Color(channel(pixel, shot->red_mask), channel(pixel, shot->green_mask),
                                     channel(pixel, shot->blue_mask)));
        }
    XDestroyImage(shot);
    return image;
}

void XClient::requestClose() {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    sync();
}

void XClient::sync() { XSync(display, False); }

bool XClient::dragOver(const std::string& type, const std::string& data, bool serve) {
    const std::vector<unsigned long> version = readProperty(display, window, "XdndAware", XA_ATOM);
    if (version.empty() || version[0] < 5)
        return false;
    // A stand-in is used only if it names itself, else it is left over from a program gone.
    const std::vector<unsigned long> proxy = readProperty(display, window, "XdndProxy", XA_WINDOW);
    dropWindow = window;
    if (!proxy.empty() && readProperty(display, proxy[0], "XdndProxy", XA_WINDOW) == proxy)
        dropWindow = proxy[0];
    if (source == 0)
        source = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, InputOnly,
                               CopyFromParent, 0, nullptr);
    XSetSelectionOwner(display, XInternAtom(display, "XdndSelection", False), source, CurrentTime);
    serving = serve;
    dragData = data;
    sendDrag("XdndEnter", 5L << 24, static_cast<long>(XInternAtom(display, type.c_str(), False)));
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 150, 75, &x, &y, &child);
    sendDrag("XdndPosition", 0, (static_cast<long>(x) << 16) | y);
    return true;
}

std::optional<bool> XClient::status() {
    return answer("XdndStatus");
}

std::optional<bool> XClient::drop() {
    sendDrag("XdndDrop", 0, CurrentTime);
    return answer("XdndFinished");
}

void XClient::sendDrag(const char* message, long first, long second) {
    // Enter: the version and one type. Position: the pointer on the screen, no time stamp,
    // the copy action. Drop: no time stamp.
    XEvent event{};
    event.xclient = {
        ClientMessage, 0, False, display, window, XInternAtom(display, message, False), 32, {}};
    event.xclient.data.l[0] = static_cast<long>(source);
    event.xclient.data.l[1] = first;
    event.xclient.data.l[2] = second;
    event.xclient.data.l[4] = static_cast<long>(XInternAtom(display, "XdndActionCopy", False));
    XSendEvent(display, dropWindow, False, NoEventMask, &event);
    sync();
}

namespace {
// Answers a request for the dragged data with the data, under the type asked for.
void handOver(Display* display, const XSelectionRequestEvent& asked, const std::string& data) {
    XChangeProperty(display, asked.requestor, asked.property, asked.target, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()),
                    static_cast<int>(data.size()));
    XEvent reply{};
    reply.xselection = {
        SelectionNotify, 0,         True, display, asked.requestor, asked.selection, asked.target,
        asked.property,  asked.time};
    XSendEvent(display, asked.requestor, False, NoEventMask, &reply);
}
} // namespace

std::optional<bool> XClient::answer(const char* message) {
    const Atom wanted = XInternAtom(display, message, False);
    std::optional<bool> accepted;
    waitUntil(
        [&] {
            for (XEvent event; !accepted && XPending(display) > 0;) {
                XNextEvent(display, &event);
                if (event.type == ClientMessage && event.xclient.message_type == wanted &&
                    static_cast<Window>(event.xclient.data.l[0]) == window)
                    accepted = (event.xclient.data.l[1] & 1) != 0;
                if (event.type == SelectionRequest && serving)
                    handOver(display, event.xselectionrequest, dragData);
            }
            return accepted.has_value();
        },
        std::chrono::seconds(5));
    return accepted;
}
