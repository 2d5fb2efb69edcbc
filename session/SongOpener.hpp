// Opens the song a user chose, from wherever it comes: the command line, the desktop's media
// controls (a URI), or a file dropped on the window. A song the engine can play replaces the
// one Play starts and starts at once. One it cannot play (missing, unreadable, a folder, a
// named pipe or a device, or not a sound of a kind the engine plays) is told in one line on
// standard output that names the file and says what is wrong, and once through the desktop's
// notifications, for whoever started it from a file manager and sees no terminal. The entry
// function makes one after the control panel, from the panel's Controls, which must outlive
// it, and calls update() every turn of the loop.
#ifndef BRASKO_SONGOPENER_HPP
#define BRASKO_SONGOPENER_HPP

#include "panel/Controls.hpp"
#include "session/Notifier.hpp"

#include <string>

class SongOpener {
public:
    explicit SongOpener(Controls& controls);

    // The song given on the command line: played at once if it can be. If not, says why,
    // and it still becomes the song that Play starts, so that Play acts as it does for a
    // "granite.mp3" that cannot be played.
    void start(const std::string& path);

    // Opens the song at path if it can be played, ending the one that plays now. Otherwise
    // says why not and leaves playback as it is. Returns true iff the song was opened.
    bool open(const std::string& path);

    // Sends the notices, without waiting.
    void update();

private:
    // Says why the song at path cannot be played, if it cannot; returns true iff it can.
    bool playable(const std::string& path);

    Controls& controls;
    Notifier notifier;
};

#endif
