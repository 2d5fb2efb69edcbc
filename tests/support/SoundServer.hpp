// A desktop's sound server, private to a test: PulseAudio 16, or PipeWire with its pulse
// server (and, unless left out, its session manager) on a D-Bus session bus of its own, in a
// runtime folder of its own. Its sink, "test", is a null sink, the default; more can be
// plugged in. What reaches a sink is recorded in real time, silence included, as parec records
// a sink's monitor. The test can take the server away as a crash does and start it again,
// stop it for a while, and unplug the sinks. Every process of it is killed when the object
// goes.
#ifndef BRASKO_TESTS_SOUNDSERVER_HPP
#define BRASKO_TESTS_SOUNDSERVER_HPP

#include "support/Process.hpp"
#include "support/TempDir.hpp"
#include "support/WaveCapture.hpp"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class SoundServer {
public:
    enum class Kind { pulseaudio, pipewire };

    explicit SoundServer(Kind kind);
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    // Starts the server and waits until it answers; then loads the sink (and, iff record,
    // records it into a new capture). PipeWire without its session manager answers but never
    // makes a stream ready.
    ::testing::AssertionResult start(bool record = true, bool sessionManager = true);
    // Starts a PulseAudio server that another user runs and that lets no one else in, as a
    // server that refuses the player does. It has no sink to record.
    ::testing::AssertionResult startForbidding();
    // Kills every process of the server at once.
    void kill();
    // Makes the next start() start the other server, on the same address, as a desktop that
    // changes from PulseAudio to PipeWire does.
    void become(Kind other);
    // Stops the server that players talk to (PulseAudio, or PipeWire's pulse server) where it
    // is, as a debugger or memory pressure does, or lets it go on.
    void freeze(bool frozen);
    // Unloads the sinks, as when a headset is unplugged.
    void unplug();
    // Loads a new null sink, made the default iff asked, and records it into a new capture.
    ::testing::AssertionResult plugIn(const std::string& sink = "test", bool makeDefault = true);

    // Runs pactl with the arguments against the server; returns what it printed.
    std::string pactl(const std::vector<std::string>& arguments);

    // What a program needs in its environment to play through the server and nothing else.
    std::vector<std::string> environment() const;

    // The recording of the sink since the last start() or plugIn() of it.
    const WaveCapture& capture(const std::string& sink = "test") const;

private:
    ::testing::AssertionResult record(const std::string& sink);
    Process* spawn(const std::string& program, const std::vector<std::string>& arguments);

    Kind kind;
    TempDir scratch;
    std::vector<std::unique_ptr<Process>> daemons; // the bus first, the recorders last
    std::map<std::string, std::unique_ptr<WaveCapture>> recordings;
    int recorded;
};

#endif
