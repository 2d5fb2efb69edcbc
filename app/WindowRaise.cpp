#include "app/WindowRaise.hpp"

WindowRaise::WindowRaise(::Window window) : window(window) {}

void WindowRaise::raise() const {
    Display* const display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return;
    // As window managers expect it (EWMH): sent to the root window, from a normal
    // application (source 1), at no particular time.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XRaiseWindow(display, window);
    XCloseDisplay(display); // sends both requests first
}
