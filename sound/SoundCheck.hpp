// Tells, before a song is handed to the engine, whether the engine can play it and if not
// why, in the words the engine itself uses when play2D refuses a file. The file is opened as
// the engine opens it, with the same checks (a regular file, starting like a sound of a kind
// the engine plays, a format the output takes), so that a song the check passes is one the
// engine plays. Nothing is kept: each call opens and closes the file.
#ifndef BRASKO_SOUNDCHECK_HPP
#define BRASKO_SOUNDCHECK_HPP

#include <string>

namespace irrklang {

class SoundCheck {
public:
    // Returns why the file at path cannot be played, in a few words, or an empty string if
    // it can. Never blocks on a named pipe or a device, and reads only the first kilobytes
    // of a large file that is not sound.
    static std::string problem(const std::string& path);
};

} // namespace irrklang

#endif
