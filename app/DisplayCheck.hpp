// Whether the X display can be opened, asked before SFML tries: SFML prints a line and aborts
// the program when it cannot open one (DISPLAY unset, no X server there, an SSH session
// without forwarding), and waits forever on a display whose server does not answer. The
// entry function makes one after reading its command line and ends with status 1 when the
// display does not open, after the one line that problem() gives.
#ifndef BRASKO_DISPLAYCHECK_HPP
#define BRASKO_DISPLAYCHECK_HPP

#include <chrono>
#include <string>

class DisplayCheck {
public:
    // Opens the display named by DISPLAY and closes it again, waiting at most timeout for its
    // server to answer.
    explicit DisplayCheck(std::chrono::milliseconds timeout);

    // Empty when the display opened; otherwise one line, without its end, saying which
    // display could not be opened and why.
    const std::string& problem() const;

private:
    std::string said;
};

#endif
