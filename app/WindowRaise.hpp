// Brings the player's window to the front when the desktop asks for it (MPRIS Raise, which a
// second start sends after handing its song over): it asks the window manager to activate the
// window (_NET_ACTIVE_WINDOW, which also brings it back from the task bar) and raises it
// itself, for a desktop without a window manager. The entry function makes one from the
// window's X handle and keeps it as long as the window; a raise, rare, opens an X connection
// of its own for its two requests and closes it, so that none is held for the whole run.
#ifndef BRASKO_WINDOWRAISE_HPP
#define BRASKO_WINDOWRAISE_HPP

#include <X11/Xlib.h>

class WindowRaise {
public:
    explicit WindowRaise(::Window window);

    // Activates and raises the window; does nothing if the display cannot be opened.
    void raise() const;

private:
    ::Window window;
};

#endif
