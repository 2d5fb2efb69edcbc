// Waiting on a condition with a deadline instead of sleeping a fixed time.
#ifndef BRASKO_TESTS_WAIT_HPP
#define BRASKO_TESTS_WAIT_HPP

#include <chrono>
#include <thread>

// Calls condition until it returns true or timeout has passed. Returns true iff it did.
template <typename Condition>
bool waitUntil(Condition condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Returns true iff condition held at every check for the whole duration, and after it.
template <typename Condition>
bool holdsFor(Condition condition, std::chrono::milliseconds duration) {
    bool held = true;
    waitUntil([&] { return !(held = condition()); }, duration);
    return held && condition();
}

#endif
