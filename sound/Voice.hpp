// One sound being played. start() opens and checks the file, then plays it: streamed to
// SFML's audio device or, when the engine has no output device, followed by a clock alone,
// so that positions, pausing, seeks and the end behave as if it were heard. Owned by its
// ISound; it plays from start() until it is stopped, sought past its end or reaches its
// end, and stays finished after. Times are milliseconds.
#ifndef BRASKO_VOICE_HPP
#define BRASKO_VOICE_HPP

#include "irrKlangTypes.hpp"

#include <SFML/System/Clock.hpp>
#include <string>

namespace irrklang {

class Stream;

class Voice {
public:
    explicit Voice(bool silent);
    ~Voice();
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;

    // Opens the file and starts playing it, from its start. Returns null on success, else
    // why the file cannot be played.
    const char* start(const std::string& fileName, bool looped, bool paused);

    // Returns true iff the voice is paused and not finished.
    bool isPaused();
    void setPaused(bool paused);
    void stop();

    // Returns true iff the voice was stopped or has played to its end.
    bool isFinished();

    // Never goes backwards but through a seek or a loop; 0 once finished.
    ik_u32 position();
    ik_u32 length() const;

    // A target past the end finishes the voice. Returns false, changing nothing, iff the
    // voice has finished.
    bool seek(ik_u32 target);

private:
    // Position by the silent clock, in microseconds, not wrapped by loops.
    sf::Int64 clockPosition() const;

    Stream* stream;  // null when silent
    sf::Clock clock; // silent: time since clockStart was taken
    sf::Int64 clockStart;
    unsigned int rate; // frames per second
    ik_u32 lengthMs;
    ik_u32 highest; // greatest position read since the start, the last seek or loop
    bool looped;
    bool paused;
    bool stopped;
};

} // namespace irrklang

#endif
