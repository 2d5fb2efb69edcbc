#include "OpenAlStream.hpp"

#include "OpenAlOutput.hpp"

#include <al.h>

#include <algorithm>
#include <cstddef>
#include <mutex>

namespace irrklang {

namespace {

// Each buffer holds half a second; the four of them keep two seconds queued. The output's
// thread refills four times a second, so the source has a second and a half to spare.
const unsigned int buffersPerSecond = 2;

// The OpenAL format for 16-bit samples of this many channels, or 0 if there is none.
ALenum formatFor(unsigned int channels) {
    switch (channels) {
    case 1:
        return AL_FORMAT_MONO16;
    case 2:
        return AL_FORMAT_STEREO16;
    case 4:
        return alGetEnumValue("AL_FORMAT_QUAD16");
    case 6:
        return alGetEnumValue("AL_FORMAT_51CHN16");
    case 7:
        return alGetEnumValue("AL_FORMAT_61CHN16");
    case 8:
        return alGetEnumValue("AL_FORMAT_71CHN16");
    default:
        return 0;
    }
}

} // namespace

OpenAlStream::OpenAlStream(OpenAlOutput* output, SoundFile& file, bool looping)
    : output(output), file(file), samples(), source(0), buffers{0, 0, 0, 0}, queued(), nextFrame(0),
      runStart(0), heard(0), since(), advancing(false), loop(looping), playing(false),
      ended(false) {}

OpenAlStream::~OpenAlStream() {
    stop();
}

void OpenAlStream::join(sf::Uint64 from) {
    samples.resize(std::size_t(file.sampleRate()) / buffersPerSecond * file.channelCount());
    std::lock_guard<OpenAlOutput> guard(*output);
    heard = from;
    runStart = from;
    output->add(this);
}

sf::Uint64 OpenAlStream::frameCount() const {
    return file.frameCount();
}

void OpenAlStream::play() {
    if (output == nullptr)
        return;
    std::lock_guard<OpenAlOutput> guard(*output);
    if (playing || finishedLocked())
        return;
    if (source != 0) {
        // A source that ran dry would start its queue over: drop what it has played. The
        // output's thread queues the rest at once.
        dropPlayed();
        if (queued.empty())
            queue(buffers[0]);
        runStart = positionLocked();
        alSourcePlay(source);
    }
    since = std::chrono::steady_clock::now();
    playing = true;
    output->poke();
}

void OpenAlStream::pause() {
    if (output == nullptr)
        return;
    std::lock_guard<OpenAlOutput> guard(*output);
    if (!playing)
        return;
    if (source != 0)
        alSourcePause(source);
    heard = positionLocked();
    since = std::chrono::steady_clock::now();
    playing = false;
    output->poke();
}

void OpenAlStream::stop() {
    if (output == nullptr)
        return;
    {
        std::lock_guard<OpenAlOutput> guard(*output);
        release();
        output->remove(this);
        output->poke();
    }
    output = nullptr;
}

bool OpenAlStream::isFinished() {
    if (output == nullptr)
        return true;
    std::lock_guard<OpenAlOutput> guard(*output);
    return finishedLocked();
}

sf::Uint64 OpenAlStream::position() {
    if (output == nullptr)
        return 0;
    std::lock_guard<OpenAlOutput> guard(*output);
    return positionLocked();
}

void OpenAlStream::seek(sf::Uint64 frame) {
    if (output == nullptr)
        return;
    std::lock_guard<OpenAlOutput> guard(*output);
    heard = frame;
    runStart = frame;
    since = std::chrono::steady_clock::now();
    ended = false;
    if (source != 0) {
        // Rewound rather than stopped: a stopped source would read as finished.
        alSourceRewind(source);
        alSourcei(source, AL_BUFFER, 0);
        queued.clear();
        file.seek(frame);
        nextFrame = frame;
        queue(buffers[0]);
        if (playing)
            alSourcePlay(source);
    }
    output->poke();
}

void OpenAlStream::attach() {
    const sf::Uint64 from = advancing ? clockPosition() : heard;
    advancing = false;
    heard = from;
    const ALenum format = formatFor(file.channelCount());
    if (format == 0 || source != 0)
        return;
    alGetError();
    alGenSources(1, &source);
    if (alGetError() != AL_NO_ERROR) {
        source = 0;
        return;
    }
    alGenBuffers(4, buffers);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteSources(1, &source);
        source = 0;
        return;
    }
    runStart = from;
    file.seek(from);
    nextFrame = from;
    ended = from >= frameCount();
    if (!ended)
        queue(buffers[0]);
    if (playing && !queued.empty())
        alSourcePlay(source);
}

void OpenAlStream::detach(bool moveOn) {
    if (source != 0) {
        positionLocked(); // where it was last heard, while the source can still tell
        release();
    }
    advancing = moveOn;
    since = std::chrono::steady_clock::now();
}

void OpenAlStream::refill() {
    if (source == 0)
        return;
    dropPlayed();
    bool added = false;
    for (const unsigned int buffer : buffers) {
        const bool free = std::none_of(queued.begin(), queued.end(), [buffer](const Queued& entry) {
            return entry.buffer == buffer;
        });
        if (free && !ended)
            added = queue(buffer) || added;
    }
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    // A source that ran dry (this thread held up for over a second) goes on.
    if (playing && added && state == AL_STOPPED)
        alSourcePlay(source);
    positionLocked();
}

bool OpenAlStream::isAudible() {
    ALint state = AL_INITIAL;
    if (source != 0)
        alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

sf::Uint64 OpenAlStream::positionLocked() {
    if (source == 0)
        return advancing ? clockPosition() : heard;
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    // Stopped: at its end, or cut off from a device that has gone; either way it is where it
    // was last heard.
    if (state == AL_STOPPED)
        return heard;
    // The source counts from the start of the oldest buffer still queued. (Its offset with
    // the device's latency in one call would take a lock that a device reset holds while it
    // waits for one this call holds: the latency is the output's, measured by its thread.)
    ALint offset = 0;
    alGetSourcei(source, AL_SAMPLE_OFFSET, &offset);
    sf::Uint64 left = offset > 0 ? static_cast<sf::Uint64>(offset) : 0;
    sf::Uint64 now = nextFrame;
    for (const Queued& entry : queued) {
        if (left < entry.frames) {
            now = entry.start + left;
            break;
        }
        left -= entry.frames;
    }
    if (state == AL_PLAYING) {
        // What the device still holds has not been heard yet.
        const sf::Uint64 held =
            static_cast<sf::Uint64>(output->latency().count()) * file.sampleRate() / 1000000000u;
        heard = std::max(runStart, now > held ? now - held : 0);
    } else {
        heard = now;
    }
    return now;
}

sf::Uint64 OpenAlStream::clockPosition() const {
    sf::Uint64 frames = heard;
    if (playing) {
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - since);
        frames += static_cast<sf::Uint64>(elapsed.count()) * file.sampleRate() / 1000000u;
    }
    const sf::Uint64 count = frameCount();
    if (loop && count > 0)
        return frames % count;
    return std::min(frames, count);
}

bool OpenAlStream::finishedLocked() {
    if (source != 0)
        return heardToTheEnd();
    return advancing && !loop && clockPosition() >= frameCount();
}

bool OpenAlStream::queue(unsigned int buffer) {
    const unsigned int channels = file.channelCount();
    const sf::Uint64 room = samples.size() / channels;
    sf::Uint64 count = file.read(samples.data(), room);
    if (count == 0 && loop && nextFrame > 0) {
        file.seek(0);
        nextFrame = 0;
        count = file.read(samples.data(), room);
    }
    if (count == 0) {
        ended = true;
        return false;
    }
    ALuint name = buffer;
    alBufferData(name, formatFor(channels), samples.data(),
                 static_cast<ALsizei>(count * channels * sizeof(sf::Int16)),
                 static_cast<ALsizei>(file.sampleRate()));
    alSourceQueueBuffers(source, 1, &name);
    queued.push_back(Queued{buffer, nextFrame, count});
    nextFrame += count;
    if (!loop && nextFrame >= frameCount())
        ended = true;
    return true;
}

void OpenAlStream::dropPlayed() {
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    for (; processed > 0 && !queued.empty(); --processed) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(source, 1, &buffer);
        queued.erase(queued.begin());
    }
}

bool OpenAlStream::heardToTheEnd() {
    if (!ended)
        return false;
    // Every frame is queued: a source that has stopped has played them all, unless the
    // device it played on has gone.
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return (state == AL_STOPPED || queued.empty()) && output->isConnected();
}

void OpenAlStream::release() {
    if (source == 0)
        return;
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);
    alDeleteSources(1, &source);
    alDeleteBuffers(4, buffers);
    source = 0;
    queued.clear();
}

} // namespace irrklang
