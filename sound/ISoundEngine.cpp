#include "ISoundEngine.hpp"

#include "ISound.hpp"
#include "ISoundSource.hpp"
#include "Mp3Reader.hpp"
#include "Outputs.hpp"
#include "Voice.hpp"

#include <iostream>

namespace irrklang {

ISoundEngine::ISoundEngine(int options)
    : outputs(new Outputs((options & ESEO_PRINT_DEBUG_INFO_TO_STDOUT) != 0)), sounds(),
      options(options), references(1) {}

ISoundEngine::~ISoundEngine() {
    // Sounds still held by their callers live on, stopped, and no longer know the engine.
    for (ISound* sound : sounds) {
        sound->stop();
        sound->drop();
    }
    delete outputs;
}

ISound* ISoundEngine::play2D(const char* soundFileName, bool playLooped, bool startPaused,
                             bool track, E_STREAM_MODE, bool) {
    releaseFinished();
    if (soundFileName == nullptr)
        return nullptr;
    ISound* sound = new ISound(soundFileName, outputs);
    if (const char* reason = sound->voice->start(soundFileName, playLooped, startPaused)) {
        if (options & ESEO_PRINT_DEBUG_INFO_TO_STDOUT)
            std::cout << "brasko sound: cannot play \"" << soundFileName << "\": " << reason
                      << std::endl;
        sound->drop();
        return nullptr;
    }
    sounds.push_back(sound);
    if (!track)
        return nullptr;
    ++sound->references;
    return sound;
}

bool ISoundEngine::drop() {
    if (--references > 0)
        return false;
    delete this;
    return true;
}

void ISoundEngine::releaseFinished() {
    std::vector<ISound*> playing;
    for (ISound* sound : sounds) {
        if (sound->isFinished())
            sound->drop();
        else
            playing.push_back(sound);
    }
    sounds.swap(playing);
}

ISoundEngine* createIrrKlangDevice(E_SOUND_OUTPUT_DRIVER, int options, const char*, const char*) {
    Mp3Reader::registerOnce();
    return new ISoundEngine(options);
}

} // namespace irrklang
