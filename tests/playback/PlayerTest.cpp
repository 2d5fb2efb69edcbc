// The player over the real sound engine (OpenAL Soft's silent driver) and a real, short
// song in a scratch working folder: progress and seeking in whole percent, pausing, stopping
// and starting again, the title it draws, and a song that cannot be played.
#include "playback/Player.hpp"
#include "support/FontFolder.hpp"
#include "support/Wait.hpp"

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class PlayerTest : public ::testing::Test {
protected:
    void TearDown() override { player.reset(); }

    void withSong() { fs::copy_file(BRASKO_TEST_SONG, work.path() / "granite.mp3"); }

    void makePlayer() { player = std::make_unique<Player>(); }

    // Plays and pauses at once, so that positions hold still for exact checks.
    void playPaused() {
        player->play();
        player->togglePause();
        ASSERT_TRUE(player->isPaused());
    }

    FontFolder work;
    std::unique_ptr<Player> player;
};

TEST_F(PlayerTest, BeforeTheFirstPlayThereIsNoProgressAndSeekAndPauseDoNothing) {
    withSong();
    makePlayer();
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(0u, player->progress());
    player->seek(50);
    player->togglePause();
    EXPECT_FALSE(player->isPaused());
    EXPECT_EQ(0u, player->progress());
}

TEST_F(PlayerTest, PlayStartsTheSongFromItsBeginningAndProgressGrows) {
    withSong();
    makePlayer();
    player->play();
    EXPECT_TRUE(player->isPlaying());
    EXPECT_FALSE(player->isPaused());
    EXPECT_FALSE(player->isFinished());
    EXPECT_LE(player->progress(), 3u);
    EXPECT_TRUE(waitUntil([&] { return player->progress() >= 10; }));
}

TEST_F(PlayerTest, SeekMovesToAWholePercentOfTheLength) {
    withSong();
    makePlayer();
    playPaused();
    player->seek(25);
    EXPECT_EQ(25u, player->progress());
    player->seek(50);
    EXPECT_EQ(50u, player->progress());
    player->seek(0);
    EXPECT_EQ(0u, player->progress());
    EXPECT_TRUE(player->isPaused()) << "a paused song stays paused where it is sought";
}

TEST_F(PlayerTest, SeekToTheEndFinishesTheSong) {
    withSong();
    makePlayer();
    player->play();
    player->seek(100);
    EXPECT_TRUE(player->isFinished());
    EXPECT_EQ(0u, player->progress());
}

TEST_F(PlayerTest, PauseHoldsThePositionAndASecondToggleGoesOn) {
    withSong();
    makePlayer();
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->progress() >= 5; }));
    player->togglePause();
    const std::uint32_t held = player->progress();
    EXPECT_FALSE(waitUntil([&] { return player->progress() != held; }, 300ms));
    player->togglePause();
    EXPECT_FALSE(player->isPaused());
    EXPECT_TRUE(waitUntil([&] { return player->progress() > held; }));
}

TEST_F(PlayerTest, StopEndsTheSongAndKeepsTheHandle) {
    withSong();
    makePlayer();
    player->play();
    player->stop();
    EXPECT_FALSE(player->isPlaying());
    EXPECT_TRUE(player->isFinished());
    EXPECT_EQ(0u, player->progress());
    EXPECT_FALSE(waitUntil([&] { return player->progress() != 0; }, 200ms)) << "no sound after stop";
}

TEST_F(PlayerTest, PlayAfterPauseAndStopStartsAgainFromZeroUnpaused) {
    withSong();
    makePlayer();
    playPaused();
    player->seek(60);
    player->stop();
    player->play();
    EXPECT_FALSE(player->isPaused());
    EXPECT_LE(player->progress(), 3u);
    EXPECT_TRUE(waitUntil([&] { return player->progress() >= 5; })) << "and it is not held";
}

TEST_F(PlayerTest, TheSongEndsOnItsOwnAndReportsFinished) {
    withSong();
    makePlayer();
    player->play();
    player->seek(90);
    EXPECT_TRUE(waitUntil([&] { return player->isFinished(); }, 2s));
    EXPECT_TRUE(player->isPlaying()) << "the player's flag waits for the panel to call stop";
}

TEST_F(PlayerTest, AMissingSongSaysWhyOnceAndReadsAsFinished) {
    makePlayer();
    testing::internal::CaptureStdout();
    player->play();
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, said.find("granite.mp3")) << said;
    EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << said;
    EXPECT_TRUE(player->isPlaying());
    EXPECT_TRUE(player->isFinished());
    EXPECT_EQ(0u, player->progress());
    player->seek(50);
    player->togglePause();
    player->stop();
    EXPECT_FALSE(player->isPlaying());
}

// A song over twelve hours long (tests/CMakeLists.txt says how it is made): its length in
// milliseconds times 100 no longer fits in 32 bits.
TEST_F(PlayerTest, ASongOverTwelveHoursLongSeeksAndShowsProgressInWholePercent) {
    fs::create_symlink(BRASKO_LONG_SONG, work.path() / "granite.mp3");
    makePlayer();
    playPaused();
    player->seek(50);
    EXPECT_EQ(50u, player->progress());
    // The target rounds down to a whole millisecond and the progress to a whole percent, so
    // a paused song may read one percent less than it was sought to.
    for (const std::uint32_t percent : {99u, 96u, 1u}) {
        player->seek(static_cast<std::int8_t>(percent));
        EXPECT_LE(percent - 1, player->progress());
        EXPECT_GE(percent, player->progress());
    }
    EXPECT_FALSE(player->isFinished());
}

TEST(LongSongTest, PositionsOfASongOverTwelveHoursLongAreExact) {
    irrklang::ISoundEngine* engine = irrklang::createIrrKlangDevice();
    irrklang::ISound* sound = engine->play2D(BRASKO_LONG_SONG, false, true, true);
    ASSERT_NE(nullptr, sound);
    // Frames of 72 bytes and 72 ms: as many milliseconds as the file has bytes.
    const irrklang::ik_u32 length = sound->getPlayLength();
    EXPECT_EQ(fs::file_size(BRASKO_LONG_SONG), length);
    EXPECT_GT(length, 12u * 3600u * 1000u);
    for (const irrklang::ik_u32 target : {length / 2, length / 100 * 99, length - 5000}) {
        ASSERT_TRUE(sound->setPlayPosition(target));
        EXPECT_NEAR(target, sound->getPlayPosition(), 5.0);
    }
    sound->drop();
    engine->drop();
}

// Draws the player's title, and beside it the same text drawn directly, into a real window.
class PlayerTitleTest : public PlayerTest {
protected:
    sf::Image shoot(const std::function<void(sf::RenderWindow&)>& draw) {
        window.clear(sf::Color::White);
        draw(window);
        sf::Texture capture;
        capture.create(300, 150);
        capture.update(window);
        window.display();
        return capture.copyToImage();
    }

    sf::Image expectedTitle(const sf::String& text) {
        sf::Font font;
        font.loadFromFile("./ressources/BKANT.TTF");
        sf::Text title(text, font, 20);
        title.setPosition(5.f, 5.f);
        title.setFillColor(sf::Color(0, 63, 76, 150));
        return shoot([&](sf::RenderWindow& target) { target.draw(title); });
    }

    static bool same(const sf::Image& a, const sf::Image& b) {
        return a.getSize() == b.getSize() &&
               std::equal(a.getPixelsPtr(), a.getPixelsPtr() + 4 * 300 * 150, b.getPixelsPtr());
    }

    void SetUp() override {
        PlayerTest::SetUp();
        window.create(sf::VideoMode(300, 150, 32), "title", sf::Style::Close);
    }

    sf::RenderWindow window;
};

TEST_F(PlayerTitleTest, TitleIsEmptyUntilTheFirstPlayThenReadsTheSongNameAfterStop) {
    withSong();
    makePlayer();
    const sf::Image blank = shoot([](sf::RenderWindow&) {});
    EXPECT_TRUE(same(blank, shoot([&](sf::RenderWindow& w) { player->draw(w); })));
    player->play();
    player->stop();
    const sf::Image drawn = shoot([&](sf::RenderWindow& w) { player->draw(w); });
    EXPECT_FALSE(same(blank, drawn));
    EXPECT_TRUE(same(expectedTitle("granite.mp3"), drawn));
}

TEST_F(PlayerTitleTest, ASongFromAnotherFolderShowsItsFileNameAloneReadAsUtf8) {
    const fs::path song = work.path() / "ünder" / "sóng é.mp3";
    fs::create_directory(song.parent_path());
    fs::copy_file(BRASKO_TEST_SONG, song);
    makePlayer();
    player->open(song.string());
    player->play();
    const std::string name = "sóng é.mp3";
    EXPECT_EQ(name, player->name());
    EXPECT_TRUE(same(expectedTitle(sf::String::fromUtf8(name.begin(), name.end())),
                     shoot([&](sf::RenderWindow& w) { player->draw(w); })));
}
