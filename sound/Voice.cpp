#include "Voice.hpp"

#include "FormatCheck.hpp"

#include <SFML/Audio/InputSoundFile.hpp>
#include <SFML/Audio/Music.hpp>
#include <SFML/System/Err.hpp>
#include <SFML/System/FileInputStream.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace irrklang {

Voice::Voice(bool silent)
    : music(silent ? nullptr : new sf::Music), clockStart(0), lengthMs(0), highest(0),
      looped(false), paused(false), stopped(false) {}

Voice::~Voice() {
    delete music;
}

const char* Voice::start(const std::string& fileName, bool loop, bool startPaused) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(fileName, error);
    if (!fs::exists(status))
        return "file not found";
    if (fs::is_directory(status))
        return "is a directory";
    if (fs::file_size(fileName, error) == 0)
        return "empty file";
    if (!std::ifstream(fileName))
        return "cannot be read";
    sf::FileInputStream stream;
    if (!stream.open(fileName) || !wavChunksInOrder(stream))
        return "not a supported sound format";

    // SFML explains its failures on sf::err(); the engine reports ours in one line instead.
    std::streambuf* chatter = sf::err().rdbuf(nullptr);
    sf::InputSoundFile file;
    const bool opened = file.openFromFile(fileName) && file.getSampleCount() > 0 &&
                        formatPlayable(file.getChannelCount(), file.getSampleRate()) &&
                        (music == nullptr || music->openFromFile(fileName));
    sf::err().rdbuf(chatter);
    if (!opened)
        return "not a supported sound format";

    // The exact length, which sf::Music only gives as a float number of seconds.
    lengthMs = static_cast<ik_u32>(file.getSampleCount() / file.getChannelCount() * 1000 /
                                   file.getSampleRate());
    looped = loop;
    paused = startPaused;
    if (music != nullptr) {
        music->setLoop(loop);
        music->play();
        if (startPaused)
            music->pause();
    }
    clock.restart();
    return nullptr;
}

bool Voice::isPaused() {
    return paused && !isFinished();
}

void Voice::setPaused(bool pause) {
    if (pause == paused || isFinished())
        return;
    if (music != nullptr) {
        if (pause)
            music->pause();
        else
            music->play();
    }
    clockStart = clockPosition();
    clock.restart();
    paused = pause;
}

void Voice::stop() {
    if (music != nullptr)
        music->stop();
    stopped = true;
}

bool Voice::isFinished() {
    if (!stopped && music != nullptr)
        stopped = music->getStatus() == sf::SoundSource::Stopped;
    else if (!stopped && !looped)
        stopped = clockPosition() / 1000 >= lengthMs;
    return stopped;
}

ik_u32 Voice::position() {
    if (isFinished())
        return 0;
    ik_u32 now = 0;
    if (music != nullptr)
        now = static_cast<ik_u32>(music->getPlayingOffset().asMilliseconds());
    else
        now = static_cast<ik_u32>(clockPosition() / 1000 % std::max<ik_u32>(lengthMs, 1));
    if (looped && now + lengthMs / 2 < highest)
        highest = now;
    // In its last few milliseconds, SFML's offset falls back to the start of the last
    // buffer it queued; the end itself is reported a little later.
    highest = std::max(highest, now);
    return std::min(highest, lengthMs);
}

ik_u32 Voice::length() const {
    return lengthMs;
}

bool Voice::seek(ik_u32 target) {
    if (isFinished())
        return false;
    if (target >= lengthMs) {
        stop();
        return true;
    }
    if (music != nullptr)
        music->setPlayingOffset(sf::milliseconds(static_cast<sf::Int32>(target)));
    clockStart = sf::Int64(target) * 1000;
    clock.restart();
    // SFML's own offset after a seek can read a rounding error below the target.
    highest = target;
    return true;
}

sf::Int64 Voice::clockPosition() const {
    return clockStart + (paused ? 0 : clock.getElapsedTime().asMicroseconds());
}

} // namespace irrklang
