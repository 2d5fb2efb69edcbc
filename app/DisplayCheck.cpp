#include "app/DisplayCheck.hpp"

#include <X11/Xlib.h>

#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

DisplayCheck::DisplayCheck(std::chrono::milliseconds timeout) : connection(nullptr) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || name[0] == '\0') {
        said = "brasko: no display to open: DISPLAY is not set";
        return;
    }
    // Opened on a thread of its own, so that a server that takes the connection and never
    // answers holds up only that thread. The thread owns what it shares with this one, so it
    // may outlive the check: the program then ends without waiting for it.
    auto opened = std::make_shared<std::promise<Display*>>();
    std::future<Display*> answer = opened->get_future();
    const std::string display = name;
    std::thread([opened, display] { opened->set_value(XOpenDisplay(display.c_str())); }).detach();
    if (answer.wait_for(timeout) != std::future_status::ready)
        said = "brasko: cannot open the display \"" + display + "\": its X server does not answer";
    else if ((connection = answer.get()) == nullptr)
        said = "brasko: cannot open the display \"" + display +
               "\": no X server there, or it refuses the connection";
}

DisplayCheck::~DisplayCheck() {
    if (connection != nullptr)
        XCloseDisplay(connection);
}

const std::string& DisplayCheck::problem() const {
    return said;
}
