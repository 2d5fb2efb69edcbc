#include "app/CommandLine.hpp"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

const char* const usage = "usage: brasko [--help | --version] [--] [SONG]";

const char* const help =
    "usage: brasko [--help | --version] [--] [SONG]\n"
    "Plays one song in a small window: SONG (MP3, Ogg Vorbis, FLAC or WAV) at once, or\n"
    "granite.mp3 from the working folder when Play is clicked. A second song given is\n"
    "left out. Put -- before a song whose name starts with a dash.\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

// The folder a relative song is taken from: the caller's, as the launcher passes it.
std::filesystem::path callerFolder() {
    const char* given = std::getenv("BRASKO_CALLER_FOLDER");
    if (given != nullptr && given[0] == '/')
        return given;
    std::error_code failed;
    return std::filesystem::current_path(failed);
}

} // namespace

CommandLine::CommandLine(int argc, const char* const* argv) : ask(Ask::run) {
    std::vector<std::string> songs;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (options && argument == "--") {
            options = false;
        } else if (options && !argument.empty() && argument[0] == '-') {
            // The first option decides; a help or version asked for wins over a song.
            if (ask == Ask::run) {
                ask = argument == "--help"      ? Ask::help
                      : argument == "--version" ? Ask::version
                                                : Ask::refuse;
                refused = argument;
            }
        } else {
            songs.push_back(argument);
        }
    }
    if (songs.empty())
        return;
    // Made absolute without asking the file system: a song that is not there is the
    // opener's to report, under the name it was given.
    const std::filesystem::path path(songs.front());
    first = path.is_absolute() ? path.string() : (callerFolder() / path).string();
    extra.assign(songs.begin() + 1, songs.end());
}

int CommandLine::answer(std::ostream& out, std::ostream& err) const {
    switch (ask) {
    case Ask::help:
        out << help << std::flush;
        return 0;
    case Ask::version:
        out << "brasko " BRASKO_VERSION "\n" << std::flush;
        return 0;
    case Ask::refuse:
        err << "brasko: unknown option \"" << refused << "\"; " << usage << std::endl;
        return 2;
    case Ask::run:
        break;
    }
    if (!extra.empty()) {
        out << "brasko: plays one song at a time; left out:";
        for (const std::string& song : extra)
            out << " \"" << song << "\"";
        out << std::endl;
    }
    return -1;
}

const std::string& CommandLine::song() const {
    return first;
}
