// The whole control panel in a real window with a real, short song: every frame is drawn
// from flat-coloured pictures, so the captured frame shows which button frame is lit and
// how far the bar reaches (2 pixels per percent), and through them what the player does.
#include "panel/Gui.hpp"
#include "Palette.hpp"
#include "support/FontFolder.hpp"
#include "support/Wait.hpp"

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Window/Mouse.hpp>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
// Points inside each button, on the bar, and away from everything.
const sf::Vector2i playPoint(15, 114), pausePoint(43, 114), stopPoint(78, 114),
    sparePoint(118, 114), away(250, 60);
const sf::Vector2i buttonPoints[4] = {playPoint, pausePoint, stopPoint, sparePoint};
} // namespace

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(BRASKO_TEST_SONG, work.path() / "granite.mp3");
        window.create(sf::VideoMode(300, 150, 32), "Brasko :: Velmar", sf::Style::Close);
        capture.create(300, 150);
        build(200);
    }

    void TearDown() override { gui.reset(); }

    // A fresh panel over a progress picture barWidth pixels wide.
    void build(unsigned barWidth) {
        gui.reset();
        textures[0] = palette::flat(300, 150, palette::background);
        textures[1] = palette::sheet(28, 28);
        textures[2] = palette::flat(barWidth, 7, palette::bar);
        gui = std::make_unique<Gui>(textures);
    }

    // One frame with the cursor at `cursor`, after latching a click if asked.
    void frame(sf::Vector2i cursor = away, bool click = false) {
        sf::Mouse::setPosition(cursor, window);
        if (click)
            input.setClicked(true);
        gui->update(window, input, Gui::Sight::lost);
        capture.update(window);
        shot = capture.copyToImage();
        window.display();
    }

    void click(sf::Vector2i point) {
        frame(point, true);
        frame();
    }

    // The frame of the sheet that button i (0 play .. 3 spare) showed in the last frame.
    int shown(int i) const {
        return palette::frameOf(shot.getPixel(static_cast<unsigned>(buttonPoints[i].x),
                                              static_cast<unsigned>(buttonPoints[i].y)));
    }
    bool lit(int i) const { return shown(i) == 2 * i + 1; }

    int bar() const { return palette::barLength(shot, 146); }

    // Runs frames until the bar satisfies the condition, or the deadline passes.
    template <typename Condition> bool framesUntil(Condition condition, std::chrono::milliseconds timeout = 3s) {
        return waitUntil([&] {
            frame();
            return condition(bar());
        }, timeout);
    }

    bool titleShown() const {
        for (unsigned x = 5; x < 120; ++x)
            for (unsigned y = 5; y < 30; ++y)
                if (shot.getPixel(x, y) != palette::background)
                    return true;
        return false;
    }

    void startSong() {
        click(playPoint);
        ASSERT_TRUE(lit(0));
        ASSERT_TRUE(framesUntil([](int length) { return length >= 10; }));
    }

    FontFolder work;
    sf::RenderWindow window;
    sf::Texture textures[3];
    sf::Texture capture;
    sf::Image shot;
    InputState input;
    std::unique_ptr<Gui> gui;
};

TEST_F(GuiTest, FirstFrameShowsBackgroundAllButtonsOffAndNoTitleOrBar) {
    frame();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(2 * i, shown(i)) << "button " << i;
    EXPECT_EQ(0, bar());
    EXPECT_FALSE(titleShown());
    EXPECT_EQ(palette::background, shot.getPixel(250, 60));
}

TEST_F(GuiTest, HoverShowsTheLitFrameUntilTheCursorLeaves) {
    frame(stopPoint);
    EXPECT_EQ(5, shown(2));
    frame();
    EXPECT_EQ(4, shown(2));
}

TEST_F(GuiTest, ClickOnTheSpareButtonChangesOnlyItsLook) {
    startSong();
    click(sparePoint);
    EXPECT_FALSE(input.isClicked());
    EXPECT_TRUE(lit(3));
    EXPECT_TRUE(lit(0));
    EXPECT_FALSE(lit(1));
    EXPECT_FALSE(lit(2));
    const int before = bar();
    EXPECT_TRUE(framesUntil([&](int length) { return length > before; })) << "the song plays on";
}

TEST_F(GuiTest, PlayStartsTheSongAndShowsItsName) {
    frame();
    click(playPoint);
    EXPECT_TRUE(lit(0));
    EXPECT_TRUE(titleShown());
    EXPECT_TRUE(framesUntil([](int length) { return length >= 20; }));
    EXPECT_FALSE(lit(1));
    EXPECT_FALSE(lit(2));
}

TEST_F(GuiTest, StopEndsTheSongInTheSameFrameAndDarkensPlayAndPause) {
    startSong();
    click(pausePoint);
    frame(stopPoint, true);
    frame();
    EXPECT_EQ(0, bar()) << "a stopped sound reads position 0";
    EXPECT_FALSE(lit(0));
    EXPECT_FALSE(lit(1));
    EXPECT_TRUE(lit(2)) << "Stop stays lit until the next Play";
    EXPECT_TRUE(titleShown()) << "the name stays after a stop";
    for (int i = 0; i < 10; ++i) {
        frame();
        ASSERT_EQ(0, bar());
    }
}

TEST_F(GuiTest, PauseHoldsTheSongAndASecondClickResumesIt) {
    startSong();
    click(pausePoint);
    EXPECT_TRUE(lit(1));
    const int held = bar();
    const auto begin = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - begin < 300ms) {
        frame();
        ASSERT_EQ(held, bar()) << "position frozen while paused";
    }
    click(pausePoint);
    EXPECT_FALSE(lit(1));
    EXPECT_TRUE(framesUntil([&](int length) { return length > held; }));
}

TEST_F(GuiTest, ClickOnTheBarSeeksToHalfAtX101AndToTheStartAtX1) {
    startSong();
    click(pausePoint);
    frame(sf::Vector2i(101, 146), true);
    frame();
    EXPECT_EQ(100, bar());
    frame(sf::Vector2i(1, 146), true);
    frame();
    EXPECT_EQ(0, bar());
}

TEST_F(GuiTest, BarClickLeavesTheLatchSoAHeldPressSeeksEveryFrameUntilAMove) {
    startSong();
    frame(sf::Vector2i(101, 146), true);
    const auto begin = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - begin < 300ms) {
        frame(sf::Vector2i(101, 146));
        ASSERT_TRUE(input.isClicked());
        ASSERT_GE(bar(), 100);
        ASSERT_LE(bar(), 102) << "sought back to 50 % every frame";
    }
    // A real movement event ends the press: the song runs on from there.
    sf::Mouse::setPosition(sf::Vector2i(150, 146), window);
    ASSERT_TRUE(waitUntil([&] {
        input.poll(window);
        return !input.isClicked();
    }));
    EXPECT_TRUE(framesUntil([](int length) { return length > 104; }));
}

TEST_F(GuiTest, BarClickBeforeTheFirstPlayDoesNothing) {
    frame(sf::Vector2i(101, 146), true);
    frame();
    EXPECT_EQ(0, bar());
    EXPECT_FALSE(lit(0));
    EXPECT_FALSE(titleShown());
}

TEST_F(GuiTest, PauseClickedBeforePlayOnlyLightsAndTheNextPlayTurnsItOff) {
    click(pausePoint);
    EXPECT_TRUE(lit(1));
    click(playPoint);
    EXPECT_FALSE(lit(1));
    EXPECT_TRUE(framesUntil([](int length) { return length >= 4; })) << "plays unpaused";
}

TEST_F(GuiTest, PauseThenStopThenPlayStartsAgainFromTheStartUnpaused) {
    startSong();
    click(pausePoint);
    click(stopPoint);
    click(playPoint);
    EXPECT_FALSE(lit(1));
    EXPECT_FALSE(lit(2));
    EXPECT_LE(bar(), 4) << "from its beginning";
    EXPECT_TRUE(framesUntil([](int length) { return length >= 10; })) << "and not paused";
}

TEST_F(GuiTest, SongEndTurnsPlayAndPauseOffAndIsNotRepeated) {
    startSong();
    frame(sf::Vector2i(190, 146), true);
    input.setClicked(false);
    ASSERT_TRUE(waitUntil([&] {
        frame();
        return !lit(0);
    }, 5s));
    EXPECT_FALSE(lit(1));
    const auto begin = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - begin < 300ms) {
        frame();
        ASSERT_EQ(0, bar()) << "the song does not start again";
        ASSERT_FALSE(lit(0));
    }
}

TEST_F(GuiTest, WideBarSeeksByCursorAndStillDrawsTwoPixelsPerPercent) {
    build(250);
    startSong();
    click(pausePoint);
    frame(sf::Vector2i(101, 146), true);
    frame();
    EXPECT_EQ(100, bar());
    frame(sf::Vector2i(181, 146), true);
    frame();
    EXPECT_EQ(180, bar()) << "x = 181 is 90 %, drawn at 2 pixels per percent";
}
