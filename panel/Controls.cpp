#include "panel/Controls.hpp"

namespace {
std::int64_t microseconds(std::uint32_t milliseconds) {
    return static_cast<std::int64_t>(milliseconds) * 1000;
}
} // namespace

Controls::Controls(Player& player, Button& playButton, Button& pauseButton, Button& stopButton)
    : player(player), playButton(playButton), pauseButton(pauseButton), stopButton(stopButton),
      jumped(false) {}

bool Controls::ask(Request request) {
    const bool playing = player.isPlaying();
    const bool running = playing && !player.isPaused();
    if (request == Request::playPause)
        request = running ? Request::pause : Request::play;
    // Only the switches that change playback: Play while playing would turn Play off, Stop
    // while stopped would light Stop, and Pause while stopped would light Pause.
    Button* button = nullptr;
    bool on = true;
    if (request == Request::play && !playing) {
        button = &playButton;
    } else if (request == Request::play && !running) {
        button = &pauseButton;
        on = false;
    } else if (request == Request::pause && running) {
        button = &pauseButton;
    } else if (request == Request::stop && playing) {
        button = &stopButton;
    }
    if (button == nullptr)
        return false;
    button->setActive(on);
    return true;
}

bool Controls::seekBy(std::int64_t offset) {
    if (!player.isPlaying())
        return false;
    const std::int64_t now = position();
    const std::int64_t end = length();
    // Compared before adding, so that no offset overflows; past the end MPRIS asks for a
    // Next, which this player has not.
    if (offset > end - now)
        return false;
    return seekTo(offset < -now ? 0 : now + offset);
}

bool Controls::seekTo(std::int64_t time) {
    if (!player.isPlaying() || time < 0 || time > length())
        return false;
    // The sound is sought to the millisecond: the nearest one.
    player.seekTo(static_cast<std::uint32_t>((time + 500) / 1000));
    return true;
}

void Controls::open(const std::string& path) {
    // Stopped here rather than by the rules, so that the old sound is never heard again,
    // whatever the rules do with the new one.
    if (player.isPlaying())
        player.stop();
    player.open(path);
    playButton.setActive(true);
    pauseButton.setActive(false);
    stopButton.setActive(false);
}

void Controls::choose(const std::string& path) { player.open(path); }

void Controls::markJump() { jumped = true; }

bool Controls::takeJump() {
    const bool was = jumped;
    jumped = false;
    return was;
}

bool Controls::isPlaying() const { return player.isPlaying(); }

bool Controls::isPaused() const { return player.isPaused(); }

std::string Controls::name() const { return player.name(); }

std::string Controls::path() const { return player.path(); }

std::uint32_t Controls::track() const { return player.track(); }

std::int64_t Controls::position() const { return microseconds(player.position()); }

std::int64_t Controls::length() const { return microseconds(player.length()); }
