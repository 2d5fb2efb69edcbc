// Keeps the player to one window: a song given to a second start goes to the player already
// running on the session bus (its MPRIS OpenUri), whose window is then raised (Raise), and the
// second start ends. The entry function makes one before its window, when it is given a song,
// and throws it away after give(). It never waits more than two seconds in all, for a bus or
// a player that does not answer; then, as without a bus or a running player, the caller opens
// a window of its own.
#ifndef BRASKO_HANDOVER_HPP
#define BRASKO_HANDOVER_HPP

#include <chrono>
#include <string>

struct sd_bus;

class Handover {
public:
    enum class Outcome {
        noPlayer,   // no running player took the song: open a window
        handedOver, // the running player plays it now
        refused     // the running player cannot play it; said on standard output
    };

    // Connects to the session bus, without waiting for it.
    Handover();
    ~Handover();
    Handover(const Handover&) = delete;
    Handover& operator=(const Handover&) = delete;

    // Hands the song at the absolute path to the running player and raises its window.
    Outcome give(const std::string& path);

private:
    struct Answer; // a method call's reply, as it arrives

    // Calls member of the running player's interface, with text as the only argument unless
    // it is null, and waits for the answer until the deadline.
    Answer call(const char* interface, const char* member, const char* text);

    sd_bus* bus; // null without a session bus
    std::chrono::steady_clock::time_point deadline;
};

#endif
