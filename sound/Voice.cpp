#include "Voice.hpp"

#include "OpenAlStream.hpp"
#include "Outputs.hpp"
#include "ServerStream.hpp"

#include <algorithm>

namespace irrklang {

Voice::Voice(Outputs* outputs)
    : outputs(outputs), file(), name(), serverStream(nullptr), openAlStream(nullptr), rate(1),
      lengthMs(0), highest(0), looped(false), paused(false), stopped(false) {}

Voice::~Voice() {
    delete serverStream;
    delete openAlStream;
}

template <typename Call> auto Voice::withStream(Call call) {
    return serverStream != nullptr ? call(*serverStream) : call(*openAlStream);
}

const char* Voice::start(const std::string& fileName, bool loop, bool startPaused) {
    if (const char* reason = file.open(fileName)) {
        stopped = true;
        return reason;
    }
    name = fileName;
    rate = file.sampleRate();
    lengthMs = static_cast<ik_u32>(file.frameCount() * 1000 / rate);
    looped = loop;
    paused = startPaused;
    makeStream(0);
    return nullptr;
}

void Voice::makeStream(sf::Uint64 from) {
    if (outputs->useServer()) {
        serverStream = new ServerStream(outputs->server(), file, name, looped);
        serverStream->join(from);
    } else {
        openAlStream = new OpenAlStream(outputs->openAl(), file, looped);
        openAlStream->join(from);
    }
    if (!paused)
        withStream([](auto& stream) { stream.play(); });
}

void Voice::follow() {
    if (outputs->useServer() == (serverStream != nullptr))
        return;
    const sf::Uint64 from = withStream([](auto& stream) { return stream.position(); });
    delete serverStream;
    delete openAlStream;
    serverStream = nullptr;
    openAlStream = nullptr;
    makeStream(from);
}

bool Voice::isPaused() {
    return paused && !isFinished();
}

void Voice::setPaused(bool pause) {
    if (pause == paused || isFinished())
        return;
    if (pause)
        withStream([](auto& stream) { stream.pause(); });
    else
        withStream([](auto& stream) { stream.play(); });
    paused = pause;
}

void Voice::stop() {
    if (!stopped)
        withStream([](auto& stream) { stream.stop(); });
    stopped = true;
}

bool Voice::isFinished() {
    if (!stopped) {
        follow();
        stopped = withStream([](auto& stream) { return stream.isFinished(); });
        if (stopped)
            withStream([](auto& stream) { stream.stop(); }); // lets go of the output at once
    }
    return stopped;
}

ik_u32 Voice::position() {
    if (isFinished())
        return 0;
    const sf::Uint64 frame = withStream([](auto& stream) { return stream.position(); });
    const ik_u32 now = static_cast<ik_u32>(frame * 1000 / rate);
    if (looped && now + lengthMs / 2 < highest)
        highest = now;
    // Where a sound cut off from its output was last heard can lie a little before what was
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
    withStream([&](auto& stream) { stream.seek(sf::Uint64(target) * rate / 1000); });
    // The frame sought can lie a rounding error below the target in milliseconds.
    highest = target;
    return true;
}

} // namespace irrklang
