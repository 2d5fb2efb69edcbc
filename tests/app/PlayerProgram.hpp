// The real player, started as a user starts it from a folder that the test fills: its sound
// goes to OpenAL Soft's wave writer, a preloaded counter counts the frames it shows and the
// turns of its loop (which go on while the window shows nothing new), and a
// second X client finds its window, moves the pointer over it, clicks it and reads it back.
// It gets no session bus: an address where none listens. The player's working folder is
// folder(); the capture and the counter live beside it.
#ifndef BRASKO_TESTS_PLAYERPROGRAM_HPP
#define BRASKO_TESTS_PLAYERPROGRAM_HPP

#include "support/Process.hpp"
#include "support/TempDir.hpp"
#include "support/WaveCapture.hpp"
#include "support/XClient.hpp"

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/Rect.hpp>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class PlayerProgram {
public:
    // Window-relative points: inside each button, on the bar at x (x / 2 percent), and a
    // resting place away from every control.
    static constexpr int playX = 15, pauseX = 43, stopX = 78, starX = 118, buttonY = 113;
    static constexpr int barY = 146, restX = 250, restY = 60;

    PlayerProgram();

    const std::filesystem::path& folder() const;
    // Copies the shipped ressources/ into the folder.
    void withRessources();
    // Puts song into the folder as granite.mp3 (a link, so that big songs cost nothing).
    void withSong(const std::filesystem::path& song);

    // Starts the player with the environment additions and the arguments and waits for its
    // window, its first frame and a few turns.
    ::testing::AssertionResult start(const std::vector<std::string>& environment = {},
                                     const std::vector<std::string>& arguments = {});

    // Frames shown so far.
    unsigned long frames() const;
    // Turns of the player's loop so far.
    unsigned long turns() const;
    // The longest time between two turns since start-up, in milliseconds.
    double longestTurn() const;
    // Waits until `more` turns have run from now; false if the player's loop stopped.
    bool waitTurns(unsigned long more);
    // Moves the pointer and waits for turns run after the move.
    ::testing::AssertionResult moveTo(int x, int y);
    // Clicks with the left button and waits until the player has handled the click; the
    // pointer stays there.
    ::testing::AssertionResult click(int x, int y);
    // Clicks, then rests the pointer and waits until the window shows the result.
    ::testing::AssertionResult clickAndRest(int x, int y);

    sf::Image screenshot();
    // Mean difference per colour channel between area of a and the same area of b.
    static double difference(const sf::Image& a, const sf::Image& b, sf::IntRect area);

    // Asks the window to close and returns the exit status, or -1 if it does not end.
    int close();
    bool running();

    Process& process();
    const WaveCapture& capture() const;
    XClient& x();

private:
    TempDir scratch;
    std::filesystem::path work;
    std::filesystem::path counter;
    WaveCapture output;
    XClient client;
    std::unique_ptr<Process> program;
};

#endif
