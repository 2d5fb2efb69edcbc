#include "PlayerProgram.hpp"

#include "support/Wait.hpp"

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

PlayerProgram::PlayerProgram()
    : work(scratch.path() / "work"), counter(scratch.path() / "frames"),
      output(scratch.path() / "capture.wav") {
    fs::create_directories(work);
}

const fs::path& PlayerProgram::folder() const { return work; }

void PlayerProgram::withRessources() {
    fs::copy(fs::path(BRASKO_SOURCE_DIR) / "ressources", work / "ressources",
             fs::copy_options::recursive);
}

void PlayerProgram::withSong(const fs::path& song) {
    fs::create_symlink(fs::absolute(song), work / "granite.mp3");
}

::testing::AssertionResult PlayerProgram::start(const std::vector<std::string>& environment,
                                                const std::vector<std::string>& arguments) {
    const fs::path conf = scratch.path() / "openal.conf";
    std::ofstream(conf) << output.config();
    const char* preloaded = std::getenv("LD_PRELOAD"); // set by the sanitizer run
    std::vector<std::string> all = {
        "ALSOFT_CONF=" + conf.string(), "ALSOFT_DRIVERS=",
        std::string("LD_PRELOAD=" BRASKO_FRAME_COUNTER " ") + (preloaded ? preloaded : ""),
        "BRASKO_FRAME_COUNT_FILE=" + counter.string(),
        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (scratch.path() / "no-bus").string(),
        "BRASKO_SCALE=1"}; // the normal size, whatever the desktop's scale
    all.insert(all.end(), environment.begin(), environment.end());
    program = std::make_unique<Process>(BRASKO_EXE, work, all, arguments);
    if (!waitUntil([&] { return client.findWindowOf(program->pid()) && client.isViewable(); }, 10s))
        return ::testing::AssertionFailure() << "no window; it said: " << program->standardError();
    if (!waitUntil([&] { return frames() > 0; }, 5s) || !waitTurns(3))
        return ::testing::AssertionFailure() << "no frames; it said: " << program->standardError();
    return ::testing::AssertionSuccess();
}

unsigned long PlayerProgram::frames() const {
    std::ifstream in(counter);
    unsigned long count = 0;
    in >> count;
    return count;
}

unsigned long PlayerProgram::turns() const {
    std::ifstream in(counter);
    unsigned long count = 0;
    in >> count >> count; // after the frames
    return count;
}

double PlayerProgram::longestTurn() const {
    std::ifstream in(counter);
    unsigned long count = 0;
    long microseconds = 0;
    in >> count >> count >> microseconds;
    return microseconds / 1000.0;
}

bool PlayerProgram::waitTurns(unsigned long more) {
    const unsigned long target = turns() + more;
    return waitUntil([&] { return turns() >= target; }, 5s);
}

::testing::AssertionResult PlayerProgram::moveTo(int x, int y) {
    client.moveTo(x, y);
    // The turn under way may have read the pointer before it moved.
    if (!waitTurns(3))
        return ::testing::AssertionFailure() << "the player's loop stopped";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PlayerProgram::click(int x, int y) {
    ::testing::AssertionResult moved = moveTo(x, y);
    if (!moved)
        return moved;
    client.press(1);
    client.release(1);
    // One event a turn: the press within two turns, the release in the next.
    if (!waitTurns(4))
        return ::testing::AssertionFailure() << "the player's loop stopped";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PlayerProgram::clickAndRest(int x, int y) {
    ::testing::AssertionResult clicked = click(x, y);
    if (!clicked)
        return clicked;
    return moveTo(restX, restY);
}

sf::Image PlayerProgram::screenshot() { return client.screenshot(); }

double PlayerProgram::difference(const sf::Image& a, const sf::Image& b, sf::IntRect area) {
    for (const sf::Image* image : {&a, &b})
        if (image->getSize().x < static_cast<unsigned>(area.left + area.width) ||
            image->getSize().y < static_cast<unsigned>(area.top + area.height))
            return 255; // no picture at all, as unlike any as can be
    double total = 0;
    for (int y = area.top; y < area.top + area.height; ++y)
        for (int x = area.left; x < area.left + area.width; ++x) {
            const sf::Color p = a.getPixel(static_cast<unsigned>(x), static_cast<unsigned>(y));
            const sf::Color q = b.getPixel(static_cast<unsigned>(x), static_cast<unsigned>(y));
            total += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
        }
    return total / (3.0 * area.width * area.height);
}

int PlayerProgram::close() {
    client.requestClose();
    return program->waitForExit(10s) ? program->exitStatus() : -1;
}

bool PlayerProgram::running() { return !program->waitForExit(0ms); }

Process& PlayerProgram::process() { return *program; }

const WaveCapture& PlayerProgram::capture() const { return output; }

XClient& PlayerProgram::x() { return client; }
