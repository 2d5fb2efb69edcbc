#include "Voice.hpp"

#include "Stream.hpp"

#include <algorithm>

namespace irrklang {

Voice::Voice(AudioOutput* output)
    : stream(new Stream(output)), rate(1), lengthMs(0), highest(0), looped(false), paused(false),
      stopped(false) {}

Voice::~Voice() {
    delete stream;
}

const char* Voice::start(const std::string& fileName, bool loop, bool startPaused) {
    if (const char* reason = stream->open(fileName, loop)) {
        stopped = true;
        return reason;
    }
    rate = stream->sampleRate();
    lengthMs = static_cast<ik_u32>(stream->frameCount() * 1000 / rate);
    looped = loop;
    paused = startPaused;
    if (!startPaused)
        stream->play();
    return nullptr;
}

bool Voice::isPaused() {
    return paused && !isFinished();
}

void Voice::setPaused(bool pause) {
    if (pause == paused || isFinished())
        return;
    if (pause)
        stream->pause();
    else
        stream->play();
    paused = pause;
}

void Voice::stop() {
    stream->stop();
    stopped = true;
}

bool Voice::isFinished() {
    if (!stopped) {
        stopped = stream->isFinished();
        if (stopped)
            stream->stop(); // gives back its source at once
    }
    return stopped;
}

ik_u32 Voice::position() {
    if (isFinished())
        return 0;
    const ik_u32 now = static_cast<ik_u32>(stream->position() * 1000 / rate);
    if (looped && now + lengthMs / 2 < highest)
        highest = now;
    // Where a sound cut off from its device was last heard can lie a little before what was
    // last read.
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
    stream->seek(sf::Uint64(target) * rate / 1000);
    // The frame sought can lie a rounding error below the target in milliseconds.
    highest = target;
    return true;
}

} // namespace irrklang
