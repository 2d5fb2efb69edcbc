// The sound engine: keeps its audio outputs and starts sounds from files on them.
// Created by createIrrKlangDevice with one reference for the caller and destroyed when
// the last reference is dropped; dropping it stops every sound it started. Sound handles
// that outlive it stay safe to call and to drop.
#ifndef BRASKO_ISOUNDENGINE_HPP
#define BRASKO_ISOUNDENGINE_HPP

#include "irrKlangTypes.hpp"

#include <vector>

namespace irrklang {

class Outputs;
class ISound;

class ISoundEngine {
public:
    ISoundEngine(const ISoundEngine&) = delete;
    ISoundEngine& operator=(const ISoundEngine&) = delete;

    // Starts the file at once and, when track is set, returns a handle holding one
    // reference for the caller. Returns null when the file cannot be opened or decoded
    // (and when track is clear); with debug output enabled, says why in one line on
    // standard output.
    ISound* play2D(const char* soundFileName, bool playLooped = false, bool startPaused = false,
                   bool track = false, E_STREAM_MODE streamMode = ESM_AUTO_DETECT,
                   bool enableSoundEffects = false);

    // Gives back one reference; the engine is destroyed with the last one.
    // Returns true iff the engine was destroyed.
    bool drop();

private:
    friend ISoundEngine* createIrrKlangDevice(E_SOUND_OUTPUT_DRIVER, int, const char*, const char*);

    explicit ISoundEngine(int options);
    ~ISoundEngine();

    // Gives back the engine's reference to every sound that has finished.
    void releaseFinished();

    Outputs* outputs;
    std::vector<ISound*> sounds; // those the engine holds a reference to
    int options;
    int references;
};

// Creates the sound engine, which finds its audio output in the background: it never waits
// for a sound server or a device. It plays through the desktop's sound server when one
// answers, else through OpenAL Soft's default device, and says which in one line (with the
// debug option; so are the lines below). While the output is being found, sounds hold at
// their start. When OpenAL Soft finds no device either, the engine plays silently, positions
// advancing in real time, until a device opens. A server or device that goes away holds every
// sound where it was heard until it is back.
ISoundEngine* createIrrKlangDevice(E_SOUND_OUTPUT_DRIVER driver = ESOD_AUTO_DETECT,
                                   int options = ESEO_DEFAULT_OPTIONS, const char* deviceID = 0,
                                   const char* sdk_version_do_not_use = IRR_KLANG_VERSION);

} // namespace irrklang

#endif
