#include "Voice.hpp"

#include "SoundFile.hpp"
#include "Stream.hpp"

#include <algorithm>

namespace irrklang {

Voice::Voice(bool silent)
    : stream(silent ? nullptr : new Stream), clockStart(0), rate(1), lengthMs(0), highest(0),
      looped(false), paused(false), stopped(false) {}

Voice::~Voice() {
    delete stream;
}

const char* Voice::start(const std::string& fileName, bool loop, bool startPaused) {
    sf::Uint64 frames = 0;
    if (stream != nullptr) {
        if (const char* reason = stream->open(fileName))
            return reason;
        frames = stream->frameCount();
        rate = stream->sampleRate();
    } else {
        SoundFile file;
        if (const char* reason = file.open(fileName))
            return reason;
        frames = file.frameCount();
        rate = file.sampleRate();
    }

    lengthMs = static_cast<ik_u32>(frames * 1000 / rate);
    looped = loop;
    paused = startPaused;
    if (stream != nullptr) {
        stream->setLoop(loop);
        stream->play();
        if (startPaused)
            stream->pause();
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
    if (stream != nullptr) {
        if (pause)
            stream->pause();
        else
            stream->play();
    }
    clockStart = clockPosition();
    clock.restart();
    paused = pause;
}

void Voice::stop() {
    if (stream != nullptr)
        stream->stop();
    stopped = true;
}

bool Voice::isFinished() {
    if (!stopped && stream != nullptr) {
        stopped = stream->isFinished();
        if (stopped)
            stream->stop(); // gives back its source and thread at once
    } else if (!stopped && !looped)
        stopped = clockPosition() / 1000 >= lengthMs;
    return stopped;
}

ik_u32 Voice::position() {
    if (isFinished())
        return 0;
    ik_u32 now = 0;
    if (stream != nullptr)
        now = static_cast<ik_u32>(stream->position() * 1000 / rate);
    else
        now = static_cast<ik_u32>(clockPosition() / 1000 % std::max<ik_u32>(lengthMs, 1));
    if (looped && now + lengthMs / 2 < highest)
        highest = now;
    // A source that ran dry reads as being at the start of what is queued until it goes on.
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
    if (stream != nullptr)
        stream->seek(sf::Uint64(target) * rate / 1000);
    clockStart = sf::Int64(target) * 1000;
    clock.restart();
    // The frame sought can lie a rounding error below the target in milliseconds.
    highest = target;
    return true;
}

sf::Int64 Voice::clockPosition() const {
    return clockStart + (paused ? 0 : clock.getElapsedTime().asMicroseconds());
}

} // namespace irrklang
