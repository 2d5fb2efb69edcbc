// A command-line X client for the end-to-end scripts:
//   xwin find PID [SECONDS]   prints the id of the process's window once it is viewable
//   xwin close WINDOW         sends the window manager's close request (WM_DELETE_WINDOW)
// Exits 1 when the window is not found in time, 2 on wrong use.
#include "support/Wait.hpp"
#include "support/XClient.hpp"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    const std::string command = argc > 2 ? argv[1] : "";
    if (command == "find") {
        XClient x;
        const pid_t pid = static_cast<pid_t>(std::atol(argv[2]));
        const double seconds = argc > 3 ? std::atof(argv[3]) : 10.0;
        const auto timeout = std::chrono::milliseconds(static_cast<long>(seconds * 1000));
        if (!waitUntil([&] { return x.findWindowOf(pid); }, timeout))
            return 1;
        std::cout << x.handle() << '\n';
        return 0;
    }
    if (command == "close") {
        XClient x(std::strtoul(argv[2], nullptr, 0));
        x.requestClose();
        return 0;
    }
    std::cerr << "usage: xwin find PID [SECONDS] | xwin close WINDOW\n";
    return 2;
}
