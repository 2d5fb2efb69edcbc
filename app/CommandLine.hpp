// What the player is asked on its command line: `brasko [--help | --version] [--] [SONG...]`.
// With no song it plays "granite.mp3" from its working folder when Play is clicked; with one,
// that song is played at once. A relative song is the caller's: the launcher changes into the
// data folder before the program starts and passes the folder it was called from in
// BRASKO_CALLER_FOLDER, against which the path is made absolute (without that variable, the
// working folder is the caller's). The entry function makes one first of all and ends with
// its status when it says so, before any window or sound.
#ifndef BRASKO_COMMANDLINE_HPP
#define BRASKO_COMMANDLINE_HPP

#include <ostream>
#include <string>
#include <vector>

class CommandLine {
public:
    // Reads the arguments; nothing is printed yet.
    CommandLine(int argc, const char* const* argv);

    // Prints what the command line asks for before the window opens: the help or the version
    // on out, a refused option with the usage in one line on err, and on out a line naming
    // the songs left out when more than one is given. Returns the status to end with now, or
    // -1 for the player to run.
    int answer(std::ostream& out, std::ostream& err) const;

    // The song to play at once, made absolute; empty when none was given.
    const std::string& song() const;

private:
    enum class Ask { run, help, version, refuse };

    Ask ask;
    std::string refused;            // the option refused
    std::string first;              // the song, absolute
    std::vector<std::string> extra; // the songs left out, as given
};

#endif
