#include "OpenAlOutput.hpp"

#include "OpenAlStream.hpp"

#define AL_ALEXT_PROTOTYPES
#include <alc.h>
#include <alext.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <iostream>
#include <string>

namespace irrklang {

namespace {

using namespace std::chrono_literals;

// The thread refills the streams four times a second while the device runs, and looks at a
// paused device twice a second; it tries to open a device twice a second while none is open.
const auto runningTick = 250ms;
const auto pausedTick = 500ms;
const auto retryPeriod = 500ms;
const auto attemptGrace = 1s;
// What the device holds once nothing sounds any more, that is its latency, still plays out;
// the device is paused only when that and this much more have passed in silence. Its stream
// then holds silence, never a stale sound that a resume would play first.
const auto drainMargin = 250ms;

// One attempt at a time in the whole process: ALSA's configuration, read anew before each,
// is global.
std::mutex attempts;

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// The device's settings: no OpenAL Soft output limiter. The limiter works out a gain for
// every sample frame with a logarithm and an exponential, silence included, and takes most of
// the mixer's time; one source at full gain from 16-bit samples stays within full scale, so
// it would never change a sample.
struct Settings {
    explicit Settings(ALCdevice* device) : attributes{0, 0, 0} {
        if (alcIsExtensionPresent(device, "ALC_SOFT_output_limiter") == ALC_TRUE) {
            attributes[0] = ALC_OUTPUT_LIMITER_SOFT;
            attributes[1] = ALC_FALSE;
        }
    }
    ALCint attributes[3];
};

ALCcontext* makeContext(ALCdevice* device) {
    return alcCreateContext(device, Settings(device).attributes);
}

void close(ALCdevice* device, ALCcontext* context) {
    if (context != nullptr)
        alcDestroyContext(context);
    if (device != nullptr)
        alcCloseDevice(device);
}

} // namespace

// Shared with the attempts to open a device, which may outlive the output: one blocked in
// the sound server for half a minute is left to end by itself and close what it opened.
struct OpenAlOutput::Handoff {
    std::mutex mutex;
    std::condition_variable wake;
    bool poked = false;
    bool quit = false;       // the output is going
    bool attempting = false; // an attempt is under way
    bool attempted = false;  // its result is here
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;

    static void attempt(const std::shared_ptr<Handoff>& handoff);
};

void OpenAlOutput::Handoff::attempt(const std::shared_ptr<Handoff>& handoff) {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    {
        std::lock_guard<std::mutex> one(attempts);
        // ALSA reads its configuration once, and Debian's sends ALSA's default device to the
        // sound server only if the server ran at that moment: read it anew, so that a server
        // that started since is found (OpenAL Soft drops its own PulseAudio driver for good
        // when no server answered its first call).
        snd_config_update_free_global();
        device = alcOpenDevice(nullptr);
        if (device != nullptr && (context = makeContext(device)) == nullptr) {
            alcCloseDevice(device);
            device = nullptr;
        }
    }
    std::lock_guard<std::mutex> guard(handoff->mutex);
    handoff->attempting = false;
    handoff->wake.notify_all();
    if (handoff->quit) {
        close(device, context);
        return;
    }
    handoff->device = device;
    handoff->context = context;
    handoff->attempted = true;
    handoff->poked = true;
}

OpenAlOutput::OpenAlOutput(bool verbose)
    : handoff(std::make_shared<Handoff>()), streams(), device(nullptr), context(nullptr),
      state(State::opening), pausable(false), devicePaused(false), idle(true), idleSince(), drain(),
      measuredLatency(0), nextAttempt(Clock::now()), verbose(verbose), worker() {
    // Failed attempts are retried twice a second; the libraries would explain each on
    // standard error. The output says what matters once, on standard output.
    setenv("ALSOFT_LOGLEVEL", "0", 0);
    snd_lib_error_set_handler(quietAlsa);
    worker = std::thread(&OpenAlOutput::run, this);
}

OpenAlOutput::~OpenAlOutput() {
    {
        std::lock_guard<std::mutex> guard(handoff->mutex);
        handoff->quit = true;
        handoff->wake.notify_all();
    }
    worker.join();
    {
        // An attempt under way gets a moment to end: one still inside OpenAL Soft when the
        // process exits runs into the library being torn down. One that the sound server keeps
        // waiting is left to end by itself.
        std::unique_lock<std::mutex> guard(handoff->mutex);
        handoff->wake.wait_for(guard, attemptGrace, [this] { return !handoff->attempting; });
    }
    close(device, context);
}

void OpenAlOutput::lock() {
    handoff->mutex.lock();
    if (context != nullptr)
        alcSetThreadContext(context);
}

void OpenAlOutput::unlock() {
    if (context != nullptr)
        alcSetThreadContext(nullptr);
    handoff->mutex.unlock();
}

void OpenAlOutput::add(OpenAlStream* stream) {
    streams.push_back(stream);
    if (device != nullptr)
        stream->attach();
    else
        stream->detach(state == State::absent);
}

void OpenAlOutput::remove(OpenAlStream* stream) {
    streams.erase(std::remove(streams.begin(), streams.end(), stream), streams.end());
}

bool OpenAlOutput::isInUse() {
    std::lock_guard<OpenAlOutput> guard(*this);
    return !streams.empty();
}

bool OpenAlOutput::isConnected() {
    ALCint connected = ALC_FALSE;
    if (device != nullptr)
        alcGetIntegerv(device, ALC_CONNECTED, 1, &connected);
    return connected == ALC_TRUE;
}

void OpenAlOutput::poke() {
    handoff->poked = true;
    handoff->wake.notify_one();
}

std::chrono::nanoseconds OpenAlOutput::latency() const {
    return measuredLatency;
}

void OpenAlOutput::run() {
    std::unique_lock<std::mutex> guard(handoff->mutex);
    while (!handoff->quit) {
        const Clock::time_point now = Clock::now();
        handoff->poked = false;
        if (handoff->attempted)
            takeAttempt(now);
        if (device != nullptr && !isConnected()) {
            lose(guard);
            continue;
        }
        Clock::time_point next =
            now + (device == nullptr || devicePaused ? pausedTick : runningTick);
        if (device == nullptr) {
            if (!handoff->attempting && now >= nextAttempt) {
                handoff->attempting = true;
                nextAttempt = now + retryPeriod;
                std::thread(&Handoff::attempt, handoff).detach();
            }
            if (!handoff->attempting)
                next = std::min(next, nextAttempt);
        } else {
            // A paused device holds what it held when it paused: nothing new to measure.
            if (!devicePaused) {
                ALCint64SOFT latency = 0;
                alcGetInteger64vSOFT(device, ALC_DEVICE_LATENCY_SOFT, 1, &latency);
                measuredLatency = std::chrono::nanoseconds(std::max<ALCint64SOFT>(latency, 0));
            }
            alcSetThreadContext(context);
            for (OpenAlStream* stream : streams)
                stream->refill();
            next = std::min(next, pauseWhenIdle(guard, now));
            alcSetThreadContext(nullptr);
        }
        // Pokes that came while the lock was let go are answered at once.
        if (!handoff->poked)
            handoff->wake.wait_until(guard, next,
                                     [this] { return handoff->quit || handoff->poked; });
    }
}

void OpenAlOutput::takeAttempt(Clock::time_point now) {
    handoff->attempted = false;
    if (handoff->device == nullptr) {
        if (state == State::opening) {
            state = State::absent;
            for (OpenAlStream* stream : streams)
                stream->detach(true);
            say("no audio output device could be opened; playing silently");
        }
        return;
    }
    device = handoff->device;
    context = handoff->context;
    handoff->device = nullptr;
    handoff->context = nullptr;
    devicePaused = false;
    // OpenAL Soft's wave writer cannot pause: it goes back to write its header and writes on
    // from there when resumed, over what it wrote. It sends nothing to a sound server anyway.
    const char* const name = alcGetString(device, ALC_ALL_DEVICES_SPECIFIER);
    pausable = alcIsExtensionPresent(device, "ALC_SOFT_pause_device") == ALC_TRUE &&
               (name == nullptr || std::string(name) != "Wave File Writer");
    idle = false;
    idleSince = now;
    alcSetThreadContext(context);
    for (OpenAlStream* stream : streams)
        stream->attach();
    alcSetThreadContext(nullptr);
    if (state == State::lost)
        say("the audio output device is back");
    else if (state == State::absent)
        say("an audio output device opened; playing aloud");
    state = State::open;
}

void OpenAlOutput::lose(std::unique_lock<std::mutex>& guard) {
    alcSetThreadContext(context);
    for (OpenAlStream* stream : streams)
        stream->detach(false);
    alcSetThreadContext(nullptr);
    ALCdevice* const gone = device;
    ALCcontext* const goneContext = context;
    device = nullptr;
    context = nullptr;
    devicePaused = false;
    state = State::lost;
    // At once: another device may be the default already (a sink unloaded, another loaded).
    nextAttempt = Clock::now();
    say("the audio output device is gone; the sound holds until it is back");
    guard.unlock();
    close(gone, goneContext);
    guard.lock();
}

OpenAlOutput::Clock::time_point OpenAlOutput::pauseWhenIdle(std::unique_lock<std::mutex>& guard,
                                                            Clock::time_point now) {
    ALCdevice* const running = device;
    if (std::any_of(streams.begin(), streams.end(),
                    [](OpenAlStream* s) { return s->isAudible(); })) {
        idle = false;
        if (devicePaused) {
            devicePaused = false;
            guard.unlock();
            // The device's stream holds what it played before it paused, which was silence;
            // reset, the stream starts empty, and the sound is heard that much sooner.
            alcResetDeviceSOFT(running, Settings(running).attributes);
            alcDeviceResumeSOFT(running);
            guard.lock();
        }
        return Clock::time_point::max();
    }
    if (devicePaused || !pausable)
        return Clock::time_point::max();
    if (!idle) {
        idle = true;
        idleSince = now;
        drain = std::chrono::duration_cast<Clock::duration>(measuredLatency) + drainMargin;
    }
    if (now < idleSince + drain)
        return idleSince + drain;
    devicePaused = true;
    guard.unlock();
    alcDevicePauseSOFT(running);
    guard.lock();
    return Clock::time_point::max();
}

void OpenAlOutput::say(const char* line) const {
    if (verbose)
        std::cout << std::string("brasko sound: ") + line + "\n" << std::flush;
}

} // namespace irrklang
