// The real player under a storm of input: thousands of random presses, releases and moves of
// a real pointer over its window and just outside it, from a fixed seed, while its short song
// plays, stops and jumps about. It must keep drawing all along, and then obey Play, Pause
// and Stop as usual, as heard through its sound output. Built with the sanitizers, any report
// ends the player with a non-zero status, which fails the test when it closes.
#include "PlayerProgram.hpp"

#include "support/Wait.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <random>
#include <set>
#include <vector>

using namespace std::chrono_literals;

namespace {
const std::size_t rate = WaveCapture::rate;
}

class StormTest : public ::testing::Test {
protected:
    void SetUp() override {
        player.withRessources();
        player.withSong(BRASKO_TEST_SONG);
        ASSERT_TRUE(player.start());
    }

    // Waits until the capture holds `count` frames from `first` on.
    bool heard(std::size_t first, std::size_t count) {
        return waitUntil([&] { return player.capture().frames() >= first + count; },
                         std::chrono::milliseconds(5000 + 1000 * count / rate));
    }

    // Asserts that the capture is silent for half a second from `first` on.
    void expectSilence(std::size_t first, const char* what) {
        ASSERT_TRUE(heard(first, rate / 2)) << what;
        EXPECT_LE(player.capture().loudest(first, first + rate / 2), WaveCapture::silent) << what;
    }

    // Clicks and returns the capture's length just before the click.
    std::size_t clickAt(int x, int y) {
        const std::size_t before = player.capture().frames();
        EXPECT_TRUE(player.clickAndRest(x, y));
        return before;
    }

    // Clicks a button that silences the player, and asserts half a second of silence from
    // the first quiet moment after the player has handled the click.
    void clickForSilence(int x, const char* what) {
        clickAt(x, PlayerProgram::buttonY);
        const std::size_t handled = player.capture().frames();
        std::optional<std::size_t> quiet;
        ASSERT_TRUE(waitUntil(
            [&] { return (quiet = player.capture().silenceAfter(handled, rate / 20)).has_value(); }, 5s))
            << "no silence " << what;
        expectSilence(*quiet, what);
    }

    PlayerProgram player;
};

TEST_F(StormTest, FiveThousandRandomEventsLeaveThePlayerAliveAndObedient) {
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> percent(0, 99);
    auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    // The pointer wanders over the window (half of the time over its buttons and bar) or in
    // a 30-pixel band around it, and crosses from one to the other now and then.
    bool outside = false;
    auto position = [&](int& x, int& y) {
        if (percent(random) < (outside ? 5 : 10))
            outside = !outside;
        if (!outside && percent(random) < 50) {
            x = between(0, 299);
            y = between(0, 149);
        } else if (!outside) {
            x = between(0, 209);
            y = between(95, 149);
        } else {
            const int side = between(0, 3);
            const int along = between(-30, 329);
            const int off = between(1, 30);
            x = side == 0 ? -off : side == 1 ? 299 + off : along;
            y = side == 2 ? -off : side == 3 ? 149 + off : along / 2;
        }
    };
    auto inside = [](int x, int y) { return x >= 0 && x < 300 && y >= 0 && y < 150; };

    // The player takes one event a frame and reads the pointer when it does, so the storm
    // goes at its pace: before an action that gives the window events, it waits until the
    // player has had a frame for each event of the last one. The window gets events while
    // the pointer is over it (entering gives two: enter and move), when it leaves, and while
    // it grabs the pointer: from a press over it until every button is up.
    std::set<unsigned> held;
    bool grabbed = false;
    int x = PlayerProgram::restX;
    int y = PlayerProgram::restY;
    unsigned long due = player.turns();
    unsigned long events = 0;
    const auto begin = std::chrono::steady_clock::now();
    for (int action = 0; action < 5000; ++action) {
        int nextX = x;
        int nextY = y;
        int given = 0;
        unsigned button = 0;
        const bool move = percent(random) < 50;
        const bool press = !move && (held.empty() || (held.size() < 3 && percent(random) < 40));
        if (move) {
            position(nextX, nextY);
            given = inside(x, y) ? (inside(nextX, nextY) ? 1 : 1 + grabbed)
                                 : (inside(nextX, nextY) ? 2 : grabbed);
        } else {
            std::vector<unsigned> choice;
            for (unsigned b = 1; b <= 3; ++b)
                if ((held.count(b) == 0) == press)
                    choice.push_back(b);
            button = choice[random() % choice.size()];
            given = inside(x, y) || grabbed;
        }
        if (given > 0) {
            ASSERT_TRUE(waitUntil([&] { return player.turns() >= due; }, 5s))
                << "the player's loop stopped after " << action << " actions; it said:\n"
                << player.process().standardError();
            due = player.turns() + static_cast<unsigned long>(given);
            events += static_cast<unsigned long>(given);
        }
        if (move) {
            player.x().moveTo(nextX, nextY);
            x = nextX;
            y = nextY;
        } else if (press) {
            grabbed = grabbed || inside(x, y);
            held.insert(button);
            player.x().press(button);
        } else {
            held.erase(button);
            grabbed = grabbed && !held.empty();
            player.x().release(button);
        }
    }
    std::cout << "5000 actions gave the window about " << events << " events in "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count()
              << " s\n";
    for (const unsigned button : held)
        player.x().release(button);
    ASSERT_TRUE(player.running()) << player.process().standardError();
    ASSERT_TRUE(player.moveTo(PlayerProgram::restX, PlayerProgram::restY));
    ASSERT_TRUE(player.waitTurns(20)); // whatever events are still queued

    // Whatever the storm left playing, Stop ends it; then nothing plays, and nothing sounds.
    clickForSilence(PlayerProgram::stopX, "with nothing playing");

    std::size_t clicked = clickAt(PlayerProgram::playX, PlayerProgram::buttonY);
    std::optional<std::size_t> onset;
    ASSERT_TRUE(waitUntil([&] { return (onset = player.capture().soundAfter(clicked)).has_value(); }, 5s))
        << "no sound after Play";
    ASSERT_TRUE(heard(*onset, rate / 4));
    clickForSilence(PlayerProgram::pauseX, "while paused");

    // A second Pause goes on: the silence was the pause, not the song's end.
    clicked = clickAt(PlayerProgram::pauseX, PlayerProgram::buttonY);
    ASSERT_TRUE(waitUntil([&] { return (onset = player.capture().soundAfter(clicked)).has_value(); }, 5s))
        << "no sound after the second Pause";
    ASSERT_TRUE(heard(*onset, rate / 10));
    clickForSilence(PlayerProgram::stopX, "after Stop");

    EXPECT_EQ(0, player.close());
    const std::string said = player.process().standardError();
    EXPECT_EQ(std::string::npos, said.find("Sanitizer")) << said;
    EXPECT_EQ(std::string::npos, said.find("runtime error")) << said;
}
