#include "session/Notifier.hpp"

#include <systemd/sd-bus.h>

namespace {

// The body may be read as markup by the service: a file name's & and < are shown as they are.
std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    return out;
}

} // namespace

Notifier::Notifier() : bus(nullptr), tried(false) {}

Notifier::~Notifier() {
    // Not flushed: a bus that stalls must not hold up the end of the program.
    if (bus != nullptr)
        leaveBus();
}

void Notifier::notify(const std::string& summary, const std::string& body) {
    if (!tried) {
        tried = true;
        // Connecting does not wait for the bus: the handshake goes on in update().
        if (sd_bus_open_user(&bus) < 0)
            bus = nullptr;
    }
    if (bus == nullptr)
        return;
    // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout).
    // The answer, an id or an error when no service runs, is not needed: the call floats.
    if (sd_bus_call_method_async(bus, nullptr, "org.freedesktop.Notifications",
                                 "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                                 "Notify", nullptr, nullptr, "susssasa{sv}i", "Brasko", 0u,
                                 "brasko", summary.c_str(), escaped(body).c_str(), 0, 0, -1) < 0)
        leaveBus();
}

void Notifier::update() {
    if (bus == nullptr)
        return;
    int handled = 0;
    while ((handled = sd_bus_process(bus, nullptr)) > 0) {
    }
    if (handled < 0)
        leaveBus();
}

void Notifier::leaveBus() {
    sd_bus_close(bus);
    sd_bus_unref(bus);
    bus = nullptr;
}
