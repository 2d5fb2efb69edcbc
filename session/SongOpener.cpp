#include "session/SongOpener.hpp"

#include <SoundCheck.hpp>

#include <iostream>

SongOpener::SongOpener(Controls& controls) : controls(controls), notifier() {}

void SongOpener::start(const std::string& path) {
    if (playable(path))
        controls.open(path);
    else
        controls.choose(path);
}

bool SongOpener::open(const std::string& path) {
    if (!playable(path))
        return false;
    controls.open(path);
    return true;
}

void SongOpener::update() {
    notifier.update();
}

bool SongOpener::playable(const std::string& path) {
    const std::string problem = irrklang::SoundCheck::problem(path);
    if (problem.empty())
        return true;
    std::cout << "brasko: cannot play \"" << path << "\": " << problem << std::endl;
    const std::string name = path.substr(path.find_last_of('/') + 1);
    notifier.notify("Brasko cannot play \"" + name + "\"", path + ": " + problem);
    return false;
}
