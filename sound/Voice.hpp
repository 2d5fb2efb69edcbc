// One sound being played. start() opens and checks the file, then plays it through a Stream
// on the engine's audio output, heard or, while the output has no device, followed as if
// heard. Owned by its ISound; it plays from start() until it is stopped, sought past its end
// or reaches its end, and stays finished after. Times are milliseconds.
#ifndef BRASKO_VOICE_HPP
#define BRASKO_VOICE_HPP

#include "irrKlangTypes.hpp"

#include <string>

namespace irrklang {

class AudioOutput;
class Stream;

class Voice {
public:
    explicit Voice(AudioOutput* output);
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
    Stream* stream;
    unsigned int rate; // frames per second
    ik_u32 lengthMs;
    ik_u32 highest; // greatest position read since the start, the last seek or loop
    bool looped;
    bool paused;
    bool stopped;
};

} // namespace irrklang

#endif
