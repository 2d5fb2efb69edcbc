// Plays one song through the sound engine, "granite.mp3" unless another is opened, and shows
// the file name of the sound last started (without its folders) in the window's top-left
// corner. It offers play, pause toggle, stop
// and seek, reports progress as a whole percentage and whether the song has finished, and
// keeps its own `playing` and `paused` flags, which the control panel compares with its
// buttons every frame. For the desktop's media controls it also tells the exact position
// and length and seeks to an exact time. It owns one engine reference for its whole life
// and, once something has been played, one reference to the last sound handle.
#ifndef BRASKO_PLAYER_HPP
#define BRASKO_PLAYER_HPP

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Text.hpp>
#include <SFML/System/String.hpp>
#include <irrKlang.h>

#include <cstdint>
#include <string>

class Player {
public:
    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool isPlaying() const;
    bool isPaused() const;

    // Returns true iff the current sound has ended or been stopped, or none could be started.
    bool isFinished();

    // How far the current sound has got, in whole percent of its length; 0 without a sound.
    std::uint32_t progress();

    // Makes path the song that play() starts from now on; what plays now is not touched.
    void open(const std::string& path);

    // Starts the song from its beginning, unpaused, giving back the previous handle first.
    void play();

    // Flips the sound's paused state and the player's record of it.
    void togglePause();

    // Ends the sound; the handle is kept, so progress and seek still read it.
    void stop();

    // Moves playback to percent of the song's length.
    void seek(std::int8_t percent);

    // Moves playback to the given time; a time past the end ends the sound.
    void seekTo(std::uint32_t milliseconds);

    // The current sound's position and length in milliseconds; 0 without a sound.
    std::uint32_t position();
    std::uint32_t length();

    // The title's text in UTF-8: the name of the sound last started, empty before.
    std::string name() const;

    // The path of the sound last started, as it was opened; empty before.
    std::string path() const;

    // The number of the song last started: 0 before any, then one more for each song opened
    // and started (the same song played again keeps its number).
    std::uint32_t track() const;

    // The title as it is drawn.
    const sf::String& shownTitle() const;

    // Draws the title, laid out at the size it shows in the target.
    void draw(sf::RenderTarget& target);

private:
    irrklang::ISoundEngine* engine;
    irrklang::ISound* sound;
    bool playing;
    bool paused;
    std::string song;    // the path play() starts
    std::uint32_t songs; // the number track() gives
    bool newSong;        // opened since play() last started a sound
    sf::Font font;
    sf::Text title;
};

#endif
