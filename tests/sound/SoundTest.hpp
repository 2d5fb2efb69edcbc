// The fixture of the sound engine tests: owns an engine made with the default options (so
// failures are explained on standard output) and the handles its tests play, and drops
// them all, handles first, when the test ends.
#ifndef BRASKO_TESTS_SOUNDTEST_HPP
#define BRASKO_TESTS_SOUNDTEST_HPP

#include "Fixtures.hpp"

#include <irrKlang.h>

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

class SoundTest : public ::testing::Test {
protected:
    SoundTest();
    ~SoundTest() override;

    // Plays a fixture with a tracked handle that the fixture drops at the end.
    irrklang::ISound* play(const std::string& name, bool paused = false, bool looped = false);

    // Drops a handle before the end of the test. Returns what drop() returned.
    bool dropSound(irrklang::ISound* sound);

    // Drops the engine before the end of the test. Returns what drop() returned.
    bool dropEngine();

    irrklang::ISoundEngine* engine;
    std::vector<irrklang::ISound*> sounds;
};

#endif
