// Opens the song a user chose, from wherever it comes: the command line, the desktop's media
// controls (a URI), or a file dropped on the window. A song the engine can play replaces the
// one Play starts and starts at once; one it cannot play is refused with a line on standard
// output that names the file and says what is wrong. The entry function makes one after the
// control panel, from the panel's Controls, which must outlive it.
#ifndef BRASKO_SONGOPENER_HPP
#define BRASKO_SONGOPENER_HPP

#include "panel/Controls.hpp"

#include <string>

class SongOpener {
public:
    explicit SongOpener(Controls& controls);

    // Opens the song at path if it can be played, ending the one that plays now. Otherwise
    // says why not and leaves playback as it is. Returns true iff the song was opened.
    bool open(const std::string& path);

private:
    Controls& controls;
};

#endif
