// Playback asked for from outside the pointer: by the keyboard and by the desktop's media
// controls (Mpris), which both go through it so that they answer alike. A request acts as
// the matching click does: it switches a button, and the panel's playback rules do the rest,
// so the window always shows what was asked. A jump moves playback to an exact time. A song
// opened from outside (the command line, the desktop, a drop) replaces the one Play starts.
// The control panel makes one after its buttons and its player, which must outlive it.
#ifndef BRASKO_CONTROLS_HPP
#define BRASKO_CONTROLS_HPP

#include "panel/Button.hpp"
#include "playback/Player.hpp"

#include <cstdint>
#include <string>

class Controls {
public:
    enum class Request { play, pause, playPause, stop };

    Controls(Player& player, Button& playButton, Button& pauseButton, Button& stopButton);

    // Switches the button that the request asks for, if it changes playback: Play starts the
    // song when nothing plays and lets a paused one go on, Pause holds a playing song,
    // PlayPause does whichever fits, Stop ends a playing song. Returns true iff a button was
    // switched.
    bool ask(Request request);

    // Moves a held sound (playing or paused) by offset microseconds: to the start at most, and
    // not at all past the end. Returns true iff it moved.
    bool seekBy(std::int64_t offset);

    // Moves a held sound to the time in microseconds; a time before the start or past the end
    // does nothing. Returns true iff it moved.
    bool seekTo(std::int64_t time);

    // Ends the sound now playing at once, makes path the song that Play starts, and lights
    // Play (Pause and Stop dark), so that the panel's rules start it in its next update.
    void open(const std::string& path);

    // Makes path the song that Play starts, without playing it or touching what plays now.
    void choose(const std::string& path);

    // Records that playback jumped at the user's hand (the bar, a key), for whoever tells the
    // desktop; takeJump() returns true iff one was recorded since its last call, and forgets it.
    void markJump();
    bool takeJump();

    // The player's state, as the desktop reads it.
    bool isPlaying() const;
    bool isPaused() const;
    // The title's text in UTF-8: the name of the sound last started, empty before.
    std::string name() const;
    // The path of the sound last started, as it was opened; empty before.
    std::string path() const;
    // The number of the song last started, new for each song opened: 0 before any.
    std::uint32_t track() const;

    // The sound's position and length in microseconds, the unit of the jumps above.
    std::int64_t position() const;
    std::int64_t length() const;

private:
    Player& player;
    Button& playButton;
    Button& pauseButton;
    Button& stopButton;
    bool jumped;
};

#endif
