// The engine's audio output: an OpenAL device and context of its own, and the thread that
// keeps them. The thread opens the default output device when the engine starts and again
// whenever the device has gone (a sound server that stopped or restarted, a headset
// unplugged), trying twice a second until one opens. Each attempt runs on a thread of its
// own, so that nothing ever waits on an open, however long the sound server makes it take.
// The thread also refills the streams that play, notices a device that has gone, and
// pauses the device once nothing has sounded for longer than the device holds, so that an
// idle player costs the sound server nothing; it resumes it as soon as anything is to sound.
//
// Streams are added for as long as they may play. While a device is open they are attached
// to it, an OpenAL source each; while there is none they hold their place: frozen while the
// first device is being opened or after the device was lost, or moving on with the clock
// when the first attempt found no device, so that sounds behave as if heard. Everything
// done to a stream happens with the output locked, which also makes the output's context
// current on the calling thread. Owned by the engine.
#ifndef BRASKO_OPENALOUTPUT_HPP
#define BRASKO_OPENALOUTPUT_HPP

#include <alc.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace irrklang {

class OpenAlStream;

class OpenAlOutput {
public:
    // verbose: say on standard output, in one line each, that no device could be opened,
    // that the device was lost, and that it is back.
    explicit OpenAlOutput(bool verbose);
    ~OpenAlOutput();
    OpenAlOutput(const OpenAlOutput&) = delete;
    OpenAlOutput& operator=(const OpenAlOutput&) = delete;

    // Takes the lock that guards the output and every stream added to it, and makes the
    // device's context current on this thread while one is open.
    void lock();
    void unlock();

    // With the output locked: takes a stream in, attached to the device if one is open.
    void add(OpenAlStream* stream);
    // With the output locked: lets the stream go; it must have given back its source.
    void remove(OpenAlStream* stream);
    // Returns true iff any stream is added.
    bool isInUse();
    // With the output locked: returns true iff a device is open and still connected.
    bool isConnected();
    // With the output locked: has the thread look at the streams at once (one is to sound,
    // or has stopped sounding).
    void poke();
    // With the output locked: how long the device takes to play what it is given, as the
    // thread last measured it.
    std::chrono::nanoseconds latency() const;

private:
    using Clock = std::chrono::steady_clock;
    enum class State { opening, open, lost, absent };
    struct Handoff; // what the output shares with the attempts to open a device

    void run();
    // Takes the device an attempt opened, or the news that none opened.
    void takeAttempt(Clock::time_point now);
    // Lets go of a device that is gone: its streams hold their place.
    void lose(std::unique_lock<std::mutex>& guard);
    // Pauses the device once nothing has sounded for long enough, resumes it when something
    // is to sound. Returns when the thread must look again at the latest.
    Clock::time_point pauseWhenIdle(std::unique_lock<std::mutex>& guard, Clock::time_point now);
    void say(const char* line) const;

    std::shared_ptr<Handoff> handoff; // its lock guards everything below
    std::vector<OpenAlStream*> streams;
    ALCdevice* device;   // null while none is open
    ALCcontext* context; // null while none is open
    State state;
    bool pausable; // the device can pause without harm
    bool devicePaused;
    bool idle; // nothing has sounded since idleSince
    Clock::time_point idleSince;
    Clock::duration drain; // how long the device plays on after idleSince
    std::chrono::nanoseconds measuredLatency;
    Clock::time_point nextAttempt;
    bool verbose;
    std::thread worker;
};

} // namespace irrklang

#endif
