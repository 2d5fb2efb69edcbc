// Whether the X display can be opened, asked before SFML tries: SFML prints a line and aborts
// the program when it cannot open one (DISPLAY unset, no X server there, an SSH session
// without forwarding), and waits forever on a display whose server does not answer. The
// entry function makes one after reading its command line and ends with status 1 when the
// display does not open, after the one line that problem() gives. Otherwise it keeps the
// connection until it is destroyed, after the window has been made: an X server left without
// clients resets itself (Xvfb, a bare Xorg), and refuses connections while it does, so the
// check must not be the last client to leave just before SFML connects.
#ifndef BRASKO_DISPLAYCHECK_HPP
#define BRASKO_DISPLAYCHECK_HPP

#include <chrono>
#include <string>

class DisplayCheck {
public:
    // Opens the display named by DISPLAY, waiting at most timeout for its server to answer.
    explicit DisplayCheck(std::chrono::milliseconds timeout);
    // Closes the connection, if it was made.
    ~DisplayCheck();
    DisplayCheck(const DisplayCheck&) = delete;
    DisplayCheck& operator=(const DisplayCheck&) = delete;

    // Empty when the display opened; otherwise one line, without its end, saying which
    // display could not be opened and why.
    const std::string& problem() const;

private:
    // Xlib's Display, by its own name; null unless the display opened.
    struct _XDisplay* connection; // NOLINT(bugprone-reserved-identifier)
    std::string said;
};

#endif
