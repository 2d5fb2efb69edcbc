// A command-line X client for the end-to-end scripts:
//   xwin find PID [SECONDS]   prints the id of the process's window once it is viewable
//   xwin close WINDOW [SECONDS]
//                             sends the window manager's close request (WM_DELETE_WINDOW);
//                             with SECONDS, waits until the window is gone or unmapped and
//                             prints how long that took, in seconds
// Exits 1 when the window is not found, or not gone, in time; 2 on wrong use.
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
        const auto asked = std::chrono::steady_clock::now();
        x.requestClose();
        if (argc < 4)
            return 0;
        const auto timeout =
            std::chrono::milliseconds(static_cast<long>(std::atof(argv[3]) * 1000));
        const bool gone = waitUntil([&] { return !x.isViewable(); }, timeout);
        std::cout << std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count()
                  << '\n';
        return gone ? 0 : 1;
    }
    std::cerr << "usage: xwin find PID [SECONDS] | xwin close WINDOW [SECONDS]\n";
    return 2;
}
