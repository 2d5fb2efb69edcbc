#include "Stream.hpp"

#include <al.h>

#include <chrono>
#include <cstddef>

namespace irrklang {

namespace {

// Each buffer holds half a second; the four of them keep two seconds queued. The thread
// refills four times a second, so the source has a second and a half to spare.
const unsigned int buffersPerSecond = 2;
const std::chrono::milliseconds refillPeriod(250);

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

Stream::Stream()
    : file(), samples(), format(0), source(0), buffers{0, 0, 0, 0}, queued(), nextFrame(0),
      loop(false), playing(false), ended(false), stopped(false), quit(false), poked(false), lock(),
      wake(), worker() {}

Stream::~Stream() {
    stop();
}

const char* Stream::open(const std::string& fileName) {
    if (const char* reason = file.open(fileName))
        return reason;
    format = formatFor(file.channelCount());
    if (format == 0)
        return "not a supported sound format";
    alGetError();
    alGenSources(1, &source);
    if (alGetError() != AL_NO_ERROR) {
        source = 0;
        return "no sound source left";
    }
    alGenBuffers(4, buffers);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteSources(1, &source);
        source = 0;
        return "no sound source left";
    }
    samples.resize(std::size_t(file.sampleRate()) / buffersPerSecond * file.channelCount());
    return nullptr;
}

sf::Uint64 Stream::frameCount() const {
    return file.frameCount();
}

unsigned int Stream::sampleRate() const {
    return file.sampleRate();
}

unsigned int Stream::channelCount() const {
    return file.channelCount();
}

void Stream::setLoop(bool value) {
    loop = value;
}

void Stream::play() {
    {
        std::lock_guard<std::mutex> guard(lock);
        if (stopped || source == 0 || heardToTheEnd())
            return;
        if (!worker.joinable()) {
            // One buffer now, so that the sound starts at once; the thread queues the rest.
            queue(buffers[0]);
            worker = std::thread(&Stream::run, this);
        } else {
            // A source that ran dry would start its queue over: drop what it has played.
            refill();
        }
        playing = true;
        poked = true;
        alSourcePlay(source);
    }
    wake.notify_one();
}

void Stream::pause() {
    std::lock_guard<std::mutex> guard(lock);
    if (stopped || source == 0)
        return;
    playing = false;
    alSourcePause(source);
}

void Stream::stop() {
    {
        std::lock_guard<std::mutex> guard(lock);
        if (stopped)
            return;
        stopped = true;
        quit = true;
    }
    wake.notify_one();
    if (worker.joinable())
        worker.join();
    if (source != 0) {
        alSourceStop(source);
        alSourcei(source, AL_BUFFER, 0);
        alDeleteSources(1, &source);
        alDeleteBuffers(4, buffers);
        source = 0;
    }
    queued.clear();
}

bool Stream::isFinished() {
    std::lock_guard<std::mutex> guard(lock);
    return stopped || source == 0 || heardToTheEnd();
}

sf::Uint64 Stream::position() {
    std::lock_guard<std::mutex> guard(lock);
    if (stopped || source == 0)
        return 0;
    // The source counts from the start of the oldest buffer still queued.
    ALint offset = 0;
    alGetSourcei(source, AL_SAMPLE_OFFSET, &offset);
    sf::Uint64 left = offset > 0 ? static_cast<sf::Uint64>(offset) : 0;
    for (const Queued& entry : queued) {
        if (left < entry.frames)
            return entry.start + left;
        left -= entry.frames;
    }
    return nextFrame;
}

void Stream::seek(sf::Uint64 frame) {
    {
        std::lock_guard<std::mutex> guard(lock);
        if (stopped || source == 0)
            return;
        // Rewound rather than stopped: a stopped source would read as finished.
        alSourceRewind(source);
        alSourcei(source, AL_BUFFER, 0);
        queued.clear();
        file.seek(frame);
        nextFrame = frame;
        ended = false;
        queue(buffers[0]);
        if (playing)
            alSourcePlay(source);
        poked = true;
    }
    wake.notify_one();
}

void Stream::refill() {
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    for (; processed > 0 && !queued.empty(); --processed) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(source, 1, &buffer);
        queued.erase(queued.begin());
    }
    bool added = false;
    for (const unsigned int buffer : buffers) {
        bool free = true;
        for (const Queued& entry : queued)
            free = free && entry.buffer != buffer;
        if (free && !ended)
            added = queue(buffer) || added;
    }
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    // A source that ran dry (this thread held up for over a second) goes on.
    if (playing && added && state == AL_STOPPED)
        alSourcePlay(source);
}

bool Stream::queue(unsigned int buffer) {
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
    alBufferData(name, format, samples.data(),
                 static_cast<ALsizei>(count * channels * sizeof(sf::Int16)),
                 static_cast<ALsizei>(file.sampleRate()));
    alSourceQueueBuffers(source, 1, &name);
    queued.push_back(Queued{buffer, nextFrame, count});
    nextFrame += count;
    if (!loop && nextFrame >= frameCount())
        ended = true;
    return true;
}

bool Stream::heardToTheEnd() {
    if (!ended)
        return false;
    // Every frame is queued: a source that has stopped has played them all.
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state == AL_STOPPED;
}

void Stream::run() {
    std::unique_lock<std::mutex> guard(lock);
    while (!quit) {
        refill();
        poked = false;
        wake.wait_for(guard, refillPeriod, [this] { return quit || poked; });
    }
}

} // namespace irrklang
