#include "app/WindowWatch.hpp"

#include <X11/Xlib.h>

WindowWatch::WindowWatch(sf::WindowHandle window)
    : display(XOpenDisplay(nullptr)), errors(display), lost(true), mapped(true), covered(false),
      pointerInside(true) {
    if (display == nullptr)
        return;
    XSelectInput(display, window,
                 ExposureMask | StructureNotifyMask | VisibilityChangeMask | EnterWindowMask |
                     LeaveWindowMask);
    // What changes from now on comes as events; what is already so is asked once. A window
    // mapped under a manager's frame not yet shown counts as mapped: its Expose follows.
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) == 0)
        return;
    mapped = attributes.map_state != IsUnmapped;
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int x = -1;
    int y = -1;
    unsigned buttons = 0;
    pointerInside =
        XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &buttons) != 0 &&
        x >= 0 && y >= 0 && x < attributes.width && y < attributes.height;
}

WindowWatch::~WindowWatch() {
    if (display == nullptr)
        return;
    XCloseDisplay(display);
}

bool WindowWatch::poll() {
    if (display == nullptr)
        return false;
    bool any = false;
    while (XPending(display) > 0) {
        any = true;
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case Expose:
            // Only a window that shows some part of itself is exposed.
            lost = true;
            mapped = true;
            covered = false;
            break;
        case MapNotify:
            lost = true;
            mapped = true;
            break;
        case UnmapNotify:
            mapped = false;
            break;
        case ConfigureNotify:
            lost = true;
            break;
        case VisibilityNotify:
            covered = event.xvisibility.state == VisibilityFullyObscured;
            lost = lost || !covered;
            break;
        case EnterNotify:
            pointerInside = true;
            break;
        case LeaveNotify:
            pointerInside = false;
            break;
        default:
            break;
        }
    }
    return any;
}

bool WindowWatch::takeLost() {
    const bool was = lost || display == nullptr;
    lost = false;
    return was;
}

bool WindowWatch::isSeen() const {
    return mapped && !covered;
}

bool WindowWatch::isPointerInside() const {
    return pointerInside;
}
