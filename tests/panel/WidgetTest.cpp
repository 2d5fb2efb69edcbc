// Widgets and toggle buttons drawn into a real window: how much of the progress picture is
// shown at a percentage, which frame of the sheet a button shows, where their edges lie,
// and how a button takes a click.
#include "panel/Button.hpp"
#include "panel/Widget.hpp"
#include "Palette.hpp"

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Window/Mouse.hpp>
#include <gtest/gtest.h>

class WidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.create(sf::VideoMode(300, 150, 32), "widgets", sf::Style::Close);
        capture.create(300, 150);
    }

    // Clears to black, lets draw() paint, and returns the picture.
    template <typename Draw> sf::Image shoot(Draw draw) {
        window.clear(sf::Color::Black);
        draw();
        capture.update(window);
        sf::Image shot = capture.copyToImage();
        window.display();
        return shot;
    }

    int progressLength(Widget& bar, int percent) {
        return palette::barLength(shoot([&] { bar.drawProgress(window, static_cast<std::int8_t>(percent)); }), 146);
    }

    // The sheet frame shown at window point (x, y) after the button's update.
    int shownFrame(Button& button, InputState& input, int x, int y) {
        return palette::frameOf(shoot([&] { button.update(window, input); }).getPixel(x, y));
    }

    sf::RenderWindow window;
    sf::Texture capture;
};

TEST_F(WidgetTest, ProgressBar200WideShowsTwoPixelsPerPercent) {
    const sf::Texture texture = palette::flat(200, 7, palette::bar);
    Widget bar(texture, 0, 143);
    EXPECT_EQ(0, progressLength(bar, 0));
    EXPECT_EQ(2, progressLength(bar, 1));
    EXPECT_EQ(100, progressLength(bar, 50));
    EXPECT_EQ(198, progressLength(bar, 99));
    EXPECT_EQ(200, progressLength(bar, 100));
}

TEST_F(WidgetTest, ProgressBar250WideAlsoShowsTwoPixelsPerPercent) {
    const sf::Texture texture = palette::flat(250, 7, palette::bar);
    Widget bar(texture, 0, 143);
    EXPECT_EQ(100, progressLength(bar, 50));
    EXPECT_EQ(200, progressLength(bar, 100));
}

TEST_F(WidgetTest, ProgressBarNarrowerThan100PixelsShowsNothing) {
    const sf::Texture texture = palette::flat(99, 7, palette::bar);
    Widget bar(texture, 0, 143);
    EXPECT_EQ(0, progressLength(bar, 100));
}

TEST_F(WidgetTest, ContainsExcludesTheBorderAndIgnoresCropping) {
    const sf::Texture texture = palette::flat(200, 7, palette::bar);
    Widget bar(texture, 0, 143);
    bar.drawProgress(window, 10);
    EXPECT_FALSE(bar.contains(0, 145));
    EXPECT_TRUE(bar.contains(1, 144));
    EXPECT_TRUE(bar.contains(199, 149));
    EXPECT_TRUE(bar.contains(150, 145)) << "the undrawn right part still answers";
    EXPECT_FALSE(bar.contains(200, 145));
    EXPECT_FALSE(bar.contains(100, 143));
    EXPECT_FALSE(bar.contains(100, 150));
}

TEST_F(WidgetTest, ButtonShowsOneFrameOfAnEightByOneSheet) {
    const sf::Texture sheet = palette::sheet(28, 28);
    Button button(sheet, 65, 100, 4, 8, 1);
    button.setFrame(5);
    const sf::Image shot = shoot([&] { button.draw(window); });
    EXPECT_EQ(palette::frame(5), shot.getPixel(65, 100));
    EXPECT_EQ(palette::frame(5), shot.getPixel(92, 127));
    EXPECT_EQ(sf::Color::Black, shot.getPixel(93, 110)) << "one frame is 28 pixels wide";
    EXPECT_EQ(sf::Color::Black, shot.getPixel(70, 128));
}

TEST_F(WidgetTest, SheetWiderThanEightFramesLeavesItsRemainderUnused) {
    const sf::Texture sheet = palette::sheet(28, 28, 6);
    Button button(sheet, 0, 0, 6, 8, 1);
    button.setFrame(7);
    const sf::Image shot = shoot([&] { button.draw(window); });
    EXPECT_EQ(palette::frame(7), shot.getPixel(27, 5));
    EXPECT_EQ(sf::Color::Black, shot.getPixel(28, 5));
    EXPECT_TRUE(button.contains(27, 5));
    EXPECT_FALSE(button.contains(28, 5));
}

TEST_F(WidgetTest, ButtonEdgesOnTheLeftAndTopAreOutside) {
    const sf::Texture sheet = palette::sheet(28, 28);
    Button button(sheet, 2, 100, 0, 8, 1);
    EXPECT_FALSE(button.contains(2, 110));
    EXPECT_FALSE(button.contains(10, 100));
    EXPECT_TRUE(button.contains(3, 101));
    EXPECT_TRUE(button.contains(29, 127));
    EXPECT_FALSE(button.contains(30, 110));
}

TEST_F(WidgetTest, ButtonUnderTheCursorLooksTheSameOnOrOff) {
    const sf::Texture sheet = palette::sheet(28, 28);
    Button button(sheet, 30, 100, 2, 8, 1);
    InputState input;
    sf::Mouse::setPosition(sf::Vector2i(200, 20), window);
    EXPECT_EQ(2, shownFrame(button, input, 40, 110));
    sf::Mouse::setPosition(sf::Vector2i(40, 110), window);
    EXPECT_EQ(3, shownFrame(button, input, 40, 110));
    button.setActive(true);
    EXPECT_EQ(3, shownFrame(button, input, 40, 110));
    sf::Mouse::setPosition(sf::Vector2i(200, 20), window);
    EXPECT_EQ(3, shownFrame(button, input, 40, 110));
}

TEST_F(WidgetTest, LatchedClickOverAButtonFlipsItAndIsUsedUp) {
    const sf::Texture sheet = palette::sheet(28, 28);
    Button button(sheet, 2, 100, 0, 8, 1);
    InputState input;
    sf::Mouse::setPosition(sf::Vector2i(15, 115), window);
    input.setClicked(true);
    shownFrame(button, input, 15, 115);
    EXPECT_TRUE(button.isActive());
    EXPECT_FALSE(input.isClicked());
    shownFrame(button, input, 15, 115);
    EXPECT_TRUE(button.isActive()) << "a used click does not flip it back";
    input.setClicked(true);
    shownFrame(button, input, 15, 115);
    EXPECT_FALSE(button.isActive());
}

TEST_F(WidgetTest, ClickAwayFromAButtonLeavesItAndTheLatch) {
    const sf::Texture sheet = palette::sheet(28, 28);
    Button button(sheet, 2, 100, 0, 8, 1);
    InputState input;
    sf::Mouse::setPosition(sf::Vector2i(150, 50), window);
    input.setClicked(true);
    EXPECT_EQ(0, shownFrame(button, input, 15, 115));
    EXPECT_FALSE(button.isActive());
    EXPECT_TRUE(input.isClicked());
}

TEST_F(WidgetTest, OneClickFlipsOnlyTheFirstButtonUnderTheCursor) {
    const sf::Texture sheet = palette::sheet(28, 28);
    Button first(sheet, 2, 100, 0, 8, 1);
    Button second(sheet, 2, 100, 2, 8, 1);
    InputState input;
    sf::Mouse::setPosition(sf::Vector2i(15, 115), window);
    input.setClicked(true);
    shoot([&] {
        first.update(window, input);
        second.update(window, input);
    });
    EXPECT_TRUE(first.isActive());
    EXPECT_FALSE(second.isActive());
}
