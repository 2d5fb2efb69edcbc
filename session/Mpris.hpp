// The player as the desktop sees it on the session bus: the MPRIS interfaces
// org.mpris.MediaPlayer2 and org.mpris.MediaPlayer2.Player at /org/mpris/MediaPlayer2, through
// which media keys, the desktop's "now playing" controls and playerctl read and drive it. The
// entry function makes one after the control panel, from the panel's Controls, which must
// outlive it, and calls update() once a frame after the panel's. Requests go through the
// Controls, as the keyboard's do: they act as the matching clicks, so the window always shows
// what the desktop asked for. Without a session bus, or once the bus has gone, it says so once
// on standard output and does nothing more. It never waits for the bus. A song the desktop
// hands over (OpenUri, a file:// URI) goes to the SongOpener, which must outlive it too; each
// song started is a new track, whose title, artist and album come from the file's tags.
#ifndef BRASKO_MPRIS_HPP
#define BRASKO_MPRIS_HPP

#include "panel/Controls.hpp"
#include "session/SongOpener.hpp"

#include <cstdint>
#include <string>

struct sd_bus;

class Mpris {
public:
    // Connects to the session bus and asks for the name org.mpris.MediaPlayer2.brasko, or
    // org.mpris.MediaPlayer2.brasko.instance<pid> when another player holds it; the bus
    // answers later, during update().
    Mpris(Controls& controls, SongOpener& opener);
    // Leaves the bus, and with it the name.
    ~Mpris();
    Mpris(const Mpris&) = delete;
    Mpris& operator=(const Mpris&) = delete;

    // Announces a change of playback status or of track since the last call, and a jump
    // that the Controls were told of (Seeked), then handles
    // what has arrived from the bus without waiting: every message, but at most one request
    // that switches a button, so that the next one meets its effect, as the window takes one
    // click a frame. Call it after the panel's update.
    void update();

    // Tells the bus that playback jumped (the Seeked signal with the new position), if a
    // sound is playing; a stopped one does not move.
    void seeked();

    // Returns true iff the desktop asked for the window to be raised (Raise) since the last
    // call.
    bool takeRaise();

private:
    struct Calls; // what the bus calls: requests, property getters and setters

    // The playback status by MPRIS's names: "Playing", "Paused" or "Stopped".
    const char* status() const;
    // The object path of the track last started.
    std::string trackPath() const;
    // Closes the connection and says once, with why, that the desktop's controls are off.
    void leaveBus(const char* why);

    Controls& controls;
    SongOpener& opener;
    sd_bus* bus;             // null without a session bus
    std::string folder;      // the working folder, for the song's URI
    const char* lastStatus;  // as last announced
    std::int64_t lastLength; // of the track last announced, 0 for none
    std::uint32_t lastTrack; // the number of the track last announced
    std::string title;       // the track's tags, read when it starts
    std::string artist;
    std::string album;
    bool buttonSwitched; // by a request in this update()
    bool raiseAsked;     // by Raise, since takeRaise()
};

#endif
