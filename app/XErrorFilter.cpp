#include "app/XErrorFilter.hpp"

#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

namespace {
std::vector<Display*>& filtered() {
    static std::vector<Display*> connections;
    return connections;
}
XErrorHandler earlier = nullptr;

int onError(Display* display, XErrorEvent* error) {
    const std::vector<Display*>& connections = filtered();
    if (earlier == nullptr ||
        std::find(connections.begin(), connections.end(), display) != connections.end())
        return 0;
    return earlier(display, error);
}
} // namespace

XErrorFilter::XErrorFilter(Display* connection) : connection(connection) {
    if (connection == nullptr)
        return;
    if (filtered().empty())
        earlier = XSetErrorHandler(onError);
    filtered().push_back(connection);
}

XErrorFilter::~XErrorFilter() {
    if (connection == nullptr)
        return;
    std::vector<Display*>& connections = filtered();
    connections.erase(std::find(connections.begin(), connections.end(), connection));
    if (!connections.empty())
        return;
    const XErrorHandler current = XSetErrorHandler(earlier);
    if (current != onError)
        XSetErrorHandler(current); // another handler came after this one: it stays
}
