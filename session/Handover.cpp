#include "session/Handover.hpp"

#include "session/FileUri.hpp"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <iostream>

namespace {

const char* const busName = "org.mpris.MediaPlayer2.brasko";
const char* const objectPath = "/org/mpris/MediaPlayer2";
const std::chrono::seconds patience(2);

} // namespace

struct Handover::Answer {
    bool arrived = false; // false also when the bus failed
    std::string error;    // the error's name, empty for a reply
    std::string message;  // the error's message

    static int take(sd_bus_message* reply, void* data, sd_bus_error*) {
        Answer& answer = *static_cast<Answer*>(data);
        answer.arrived = true;
        if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
            answer.error = error->name != nullptr ? error->name : "";
            answer.message = error->message != nullptr ? error->message : "";
        }
        return 0;
    }
};

Handover::Handover() : bus(nullptr), deadline(std::chrono::steady_clock::now() + patience) {
    // Opening starts the connection and its handshake without waiting for either.
    if (sd_bus_open_user(&bus) < 0)
        bus = nullptr;
}

Handover::~Handover() {
    // Not flushed: that would wait for a bus that does not answer, and every call made has
    // had its answer or given up.
    if (bus != nullptr)
        sd_bus_close_unref(bus);
}

Handover::Outcome Handover::give(const std::string& path) {
    if (bus == nullptr)
        return Outcome::noPlayer;
    const Answer opened =
        call("org.mpris.MediaPlayer2.Player", "OpenUri", FileUri::of(path).c_str());
    if (!opened.arrived) {
        std::cout << "brasko: no answer from the session bus or a player on it within "
                  << patience.count() << " s; opening a window of its own" << std::endl;
        return Outcome::noPlayer;
    }
    if (opened.error == SD_BUS_ERROR_INVALID_ARGS) {
        std::cout << "brasko: the running player refused \"" << path << "\": " << opened.message
                  << std::endl;
        return Outcome::refused;
    }
    // No such name on the bus, or some other program holding it.
    if (!opened.error.empty())
        return Outcome::noPlayer;
    call("org.mpris.MediaPlayer2", "Raise", nullptr);
    return Outcome::handedOver;
}

Handover::Answer Handover::call(const char* interface, const char* member, const char* text) {
    Answer answer;
    sd_bus_message* message = nullptr;
    if (sd_bus_message_new_method_call(bus, &message, busName, objectPath, interface, member) < 0)
        return answer;
    sd_bus_slot* slot = nullptr;
    const auto left = [this] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   deadline - std::chrono::steady_clock::now())
            .count();
    };
    // A player that is not running is not to be started by the bus.
    int done = sd_bus_message_set_auto_start(message, 0);
    if (done >= 0 && text != nullptr)
        done = sd_bus_message_append(message, "s", text);
    if (done >= 0 && left() > 0)
        done = sd_bus_call_async(bus, &slot, message, Answer::take, &answer,
                                 static_cast<std::uint64_t>(left()));
    sd_bus_message_unref(message);
    // The handshake, the call and its answer, each step waited for no later than the deadline.
    while (done >= 0 && slot != nullptr && !answer.arrived) {
        done = sd_bus_process(bus, nullptr);
        if (done > 0)
            continue;
        if (done < 0 || left() <= 0)
            break;
        done = sd_bus_wait(bus, static_cast<std::uint64_t>(left()));
    }
    sd_bus_slot_unref(slot);
    // The bus's own answer when the call timed out is no answer of the player's.
    if (answer.error == SD_BUS_ERROR_NO_REPLY)
        answer.arrived = false;
    return answer;
}
