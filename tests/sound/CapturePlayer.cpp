// Plays one scenario on a fixture for the capture tests, in its own process so that OpenAL
// Soft reads the wave writer settings the test gave it. The file comes in
// BRASKO_CAPTURE_FILE and the scenario in BRASKO_CAPTURE_SCENARIO:
//   "seek N"  starts paused, seeks to N ms, resumes and plays 400 ms more;
//   "pause"   plays 400 ms, pauses for 400 ms, resumes and plays 300 ms more;
//   "whole"   plays the file to its end and keeps the output open 400 ms more.
// Exits 0 once the engine is dropped, which closes the device and completes the capture.
#include <irrKlang.h>

#include "support/Wait.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace irrklang;
using namespace std::chrono_literals;

namespace {

int fail(const char* why) {
    std::fprintf(stderr, "capture player: %s\n", why);
    return 2;
}

} // namespace

int main() {
    const char* file = std::getenv("BRASKO_CAPTURE_FILE");
    const char* given = std::getenv("BRASKO_CAPTURE_SCENARIO");
    if (file == nullptr || given == nullptr)
        return fail("no file or no scenario given");
    const std::string scenario = given;
    ISoundEngine* engine = createIrrKlangDevice();
    const bool seek = scenario.rfind("seek ", 0) == 0;
    ISound* sound = engine->play2D(file, false, seek, true);
    if (sound == nullptr)
        return fail("the file does not play");
    auto reaches = [&](ik_u32 ms) {
        return waitUntil([&] { return sound->getPlayPosition() >= ms; }, 5s);
    };

    if (seek) {
        const ik_u32 target = static_cast<ik_u32>(std::atoi(scenario.c_str() + 5));
        if (!sound->setPlayPosition(target))
            return fail("the seek failed");
        sound->setIsPaused(false);
        if (!reaches(target + 400))
            return fail("the sound did not play on after the seek");
    } else if (scenario == "pause") {
        if (!reaches(400))
            return fail("the sound did not play");
        sound->setIsPaused(true);
        const ik_u32 paused = sound->getPlayPosition();
        std::printf("paused at %u\n", paused);
        // The pause lasts 400 ms of wall time, whatever the position does meanwhile.
        const auto resume = std::chrono::steady_clock::now() + 400ms;
        waitUntil([&] { return std::chrono::steady_clock::now() >= resume; }, 1s);
        sound->setIsPaused(false);
        if (!reaches(paused + 300))
            return fail("the sound did not resume");
    } else if (scenario == "whole") {
        if (!waitUntil([&] { return sound->isFinished(); }, 10s))
            return fail("the sound did not end");
        const auto close = std::chrono::steady_clock::now() + 400ms;
        waitUntil([&] { return std::chrono::steady_clock::now() >= close; }, 1s);
    } else {
        return fail("unknown scenario");
    }
    sound->drop();
    engine->drop();
    return 0;
}
