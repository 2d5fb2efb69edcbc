// Watches the player's window for what SFML does not tell: that its pixels were lost (the
// window was uncovered, mapped again, restored, moved back on screen or resized), that
// nobody can see it (unmapped, minimised or wholly covered), and whether the pointer is over
// it. It reads these from a second connection to the window's X server, made in the
// constructor and closed in the destructor, which must come before the window's end. An X
// error on that connection is ignored; the server going away ends the program, as it does
// through the window's own connection. Without the connection the window counts as always
// seen, always lost and always under the pointer: it is then drawn every turn, as before.
#ifndef BRASKO_WINDOWWATCH_HPP
#define BRASKO_WINDOWWATCH_HPP

#include "app/XErrorFilter.hpp"

#include <SFML/Window/WindowHandle.hpp>

struct _XDisplay; // NOLINT(bugprone-reserved-identifier): Xlib's name for its Display

class WindowWatch {
public:
    explicit WindowWatch(sf::WindowHandle window);
    ~WindowWatch();
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    // Reads every event that has arrived, without waiting for any; true iff any had.
    bool poll();
    // True iff the window's pixels were lost since the last call that returned true.
    bool takeLost();
    // True unless the window is unmapped, minimised or wholly covered.
    bool isSeen() const;
    // True unless the pointer has left the window.
    bool isPointerInside() const;

private:
    _XDisplay* display;
    XErrorFilter errors; // of the connection above
    bool lost;
    bool mapped;
    bool covered;
    bool pointerInside;
};

#endif
