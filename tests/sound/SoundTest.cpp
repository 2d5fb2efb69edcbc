#include "SoundTest.hpp"

#include "support/Wait.hpp"

#include <algorithm>

using namespace irrklang;

SoundTest::SoundTest() : engine(createIrrKlangDevice()) {}

SoundTest::~SoundTest() {
    for (ISound* sound : sounds)
        sound->drop();
    if (engine != nullptr)
        engine->drop();
}

ISound* SoundTest::play(const std::string& name, bool paused, bool looped) {
    ISound* sound = engine->play2D(fixture(name).c_str(), looped, paused, true);
    if (sound != nullptr)
        sounds.push_back(sound);
    return sound;
}

bool SoundTest::dropSound(ISound* sound) {
    sounds.erase(std::find(sounds.begin(), sounds.end(), sound));
    return sound->drop();
}

bool SoundTest::dropEngine() {
    const bool destroyed = engine->drop();
    engine = nullptr;
    return destroyed;
}
