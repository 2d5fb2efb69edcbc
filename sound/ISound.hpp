// A sound started by the engine: pause, stop, end detection, position and length.
// Reference counted: play2D gives the caller one reference, drop gives it back. The
// handle stays valid after the sound stops or ends, and after its engine is gone.
// Times are milliseconds.
#ifndef BRASKO_ISOUND_HPP
#define BRASKO_ISOUND_HPP

#include "irrKlangTypes.hpp"

namespace irrklang {

class Outputs;
class ISoundEngine;
class ISoundSource;
class Voice;

class ISound {
public:
    ISound(const ISound&) = delete;
    ISound& operator=(const ISound&) = delete;

    // The file this sound plays.
    ISoundSource* getSoundSource();

    // Returns true iff the sound is paused.
    bool getIsPaused();

    // Pauses (output silent, position frozen) or resumes from the same sample.
    void setIsPaused(bool paused = true);

    // Ends the sound at once; it then reports itself finished.
    void stop();

    // Returns true iff the sound was stopped or has played to its end.
    bool isFinished();

    // Current position; never goes backwards but through a seek; 0 once finished.
    ik_u32 getPlayPosition();

    // Exact length of the whole sound.
    ik_u32 getPlayLength();

    // Moves playback to pos, playing or paused (a paused sound stays paused). A target
    // past the end finishes the sound. Returns false, changing nothing, on a finished sound.
    bool setPlayPosition(ik_u32 pos);

    // Gives back one reference. Returns true iff the sound was destroyed.
    bool drop();

private:
    friend class ISoundEngine;

    // Made by the engine, with one reference for it, to play on its outputs.
    ISound(const ik_c8* name, Outputs* outputs);
    ~ISound();

    ISoundSource* source;
    Voice* voice;
    int references;
};

} // namespace irrklang

#endif
