// The panel stores its pictures anew in the window's byte order, draws the background
// through a shader of its own and keeps the whole panel as one picture between changes:
// all must leave every pixel as plain SFML sprites and text with the default states draw
// them, in every state the panel shows. Pictures of noise, where every pixel differs from
// its neighbours in all four channels, show a swapped channel, a shifted row or a lost
// texel.
#include "panel/Gui.hpp"
#include "support/FontFolder.hpp"

#include <SFML/Graphics/Color.hpp>
#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Text.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/Graphics/View.hpp>
#include <SFML/Window/Mouse.hpp>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// A picture of noise from a fixed seed; alpha is `alpha`, or noise too when negative.
sf::Image noise(unsigned width, unsigned height, std::uint32_t seed, int alpha) {
    sf::Image image;
    image.create(width, height);
    std::uint32_t state = seed;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<sf::Uint8>(state >> 24);
    };
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            const sf::Uint8 r = next(), g = next(), b = next(), a = next();
            image.setPixel(x, y, sf::Color(r, g, b, alpha < 0 ? a : static_cast<sf::Uint8>(alpha)));
        }
    return image;
}

std::string describe(sf::Color c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + "," +
           std::to_string(c.a);
}

// Number of pixels where the two pictures differ; the first one is described in `where`.
unsigned differences(const sf::Image& a, const sf::Image& b, std::string& where) {
    unsigned count = 0;
    for (unsigned y = 0; y < a.getSize().y; ++y)
        for (unsigned x = 0; x < a.getSize().x; ++x) {
            const sf::Color p = a.getPixel(x, y), q = b.getPixel(x, y);
            if (p != q && count++ == 0)
                where = "(" + std::to_string(x) + ", " + std::to_string(y) + "): " + describe(p) +
                        " vs " + describe(q);
        }
    return count;
}

} // namespace

class GuiPicturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.create(sf::VideoMode(300, 150, 32), "Brasko :: Velmar", sf::Style::Close);
        capture.create(300, 150);
        // The cursor away from the buttons, so each shows its base frame.
        sf::Mouse::setPosition(sf::Vector2i(250, 60), window);
    }

    void TearDown() override { gui.reset(); }

    void load(int backgroundAlpha) {
        images[0] = noise(300, 150, 1, backgroundAlpha);
        images[1] = noise(224, 28, 2, -1);
        images[2] = noise(200, 7, 3, -1);
        for (int i = 0; i < 3; ++i)
            textures[i].loadFromImage(images[i]);
    }

    sf::Image shot() {
        capture.update(window);
        return capture.copyToImage();
    }

    // A frame as plain sprites and text draw it over `under`: the background, the title,
    // the buttons showing `frames` of the sheet, and the left `bar` pixels of the bar. The
    // default is the first frame: base frames 0, 2, 4, 6; nothing plays, so no title or bar.
    sf::Image reference(sf::Color under, std::array<int, 4> frames = {0, 2, 4, 6},
                        const std::string& title = "", int bar = 0) {
        sf::Texture plain[3];
        for (int i = 0; i < 3; ++i)
            plain[i].loadFromImage(images[i]);
        window.clear(under);
        window.draw(sf::Sprite(plain[0]));
        sf::Font font;
        font.loadFromFile("ressources/BKANT.TTF");
        // Laid out at the window's pixel size, and scaled back into the view.
        const unsigned scale = window.getSize().y / 150;
        sf::Text text(title, font, 20 * scale);
        text.setScale(1.f / static_cast<float>(scale), 1.f / static_cast<float>(scale));
        text.setPosition(5, 5);
        text.setFillColor(sf::Color(0, 63, 76, 150));
        window.draw(text);
        const float xs[4] = {2, 30, 65, 105};
        for (int i = 0; i < 4; ++i) {
            sf::Sprite button(plain[1], sf::IntRect(frames[i] * 28, 0, 28, 28));
            button.setPosition(xs[i], 100);
            window.draw(button);
        }
        sf::Sprite progress(plain[2], sf::IntRect(0, 0, bar, 7));
        progress.setPosition(0, 143);
        window.draw(progress);
        return shot();
    }

    // One frame of the Gui with the cursor at (x, y), after latching a click if asked.
    void frameAt(int x, int y, bool click = false) {
        sf::Mouse::setPosition(sf::Vector2i(x, y), window);
        input.setClicked(click);
        gui->update(window, input, Gui::Sight::lost);
        window.display();
    }

    sf::Image guiFrame(sf::Color under) {
        window.clear(under);
        gui->update(window, input, Gui::Sight::lost);
        return shot();
    }

    // The player's font where it looks for it, so that making the Gui prints nothing.
    FontFolder work;
    sf::RenderWindow window;
    sf::Image images[3];
    sf::Texture textures[3];
    sf::Texture capture;
    InputState input;
    std::unique_ptr<Gui> gui;
};

TEST_F(GuiPicturesTest, TexturesReadBackUnchangedOnceTheGuiHasStoredThem) {
    load(-1);
    gui = std::make_unique<Gui>(textures);
    for (int i = 0; i < 3; ++i) {
        std::string where;
        EXPECT_EQ(0u, differences(images[i], textures[i].copyToImage(), where))
            << "texture " << i << " first differs at " << where;
        EXPECT_EQ(images[i].getSize(), textures[i].getSize());
    }
}

TEST_F(GuiPicturesTest, OpaqueBackgroundFrameEqualsPlainSpritesPixelForPixel) {
    load(255);
    gui = std::make_unique<Gui>(textures);
    const sf::Image expected = reference(sf::Color::Magenta);
    std::string where;
    // Over a different colour: an opaque background hides whatever was there.
    EXPECT_EQ(0u, differences(expected, guiFrame(sf::Color::Green), where))
        << "first difference at " << where;
}

TEST_F(GuiPicturesTest, TranslucentBackgroundStillBlendsOverTheLastFrame) {
    load(-1);
    gui = std::make_unique<Gui>(textures);
    const sf::Color under(30, 140, 220);
    const sf::Image expected = reference(under);
    std::string where;
    EXPECT_EQ(0u, differences(expected, guiFrame(under), where)) << "first difference at " << where;
}

TEST_F(GuiPicturesTest, AGuiWithoutPicturesDrawsNothingAndDoesNotFail) {
    gui = std::make_unique<Gui>(textures);
    const sf::Image frame = guiFrame(sf::Color::Blue);
    std::string where;
    sf::Image blue;
    blue.create(300, 150, sf::Color::Blue);
    EXPECT_EQ(0u, differences(blue, frame, where)) << "first difference at " << where;
}

// Each state the panel shows, reached by clicks, against plain sprites and text. The frame
// before the last is drawn with the cursor away, so the last one shows the state and the
// cursor's place alone.
TEST_F(GuiPicturesTest, EveryStateOfThePanelEqualsPlainSpritesAndTextPixelForPixel) {
    struct Click {
        int x, y;
    };
    struct State {
        const char* name;
        std::vector<Click> clicks;
        int cursorX, cursorY;
        std::array<int, 4> frames;
        const char* title;
        int bar;
    };
    // Pause is clicked before the bar, so that the bar stays where it was sought: 50 %.
    const State states[] = {
        {"Play hovered", {}, 15, 114, {1, 2, 4, 6}, "", 0},
        {"Star lit", {{118, 114}}, 250, 60, {0, 2, 4, 7}, "", 0},
        {"playing, paused at half",
         {{15, 114}, {43, 114}, {101, 146}},
         250,
         60,
         {1, 3, 4, 6},
         "granite.mp3",
         100},
        {"stopped", {{15, 114}, {78, 114}}, 250, 60, {0, 2, 5, 6}, "granite.mp3", 0},
    };
    std::filesystem::copy_file(BRASKO_TEST_SONG, work.path() / "granite.mp3");
    load(255);
    for (const State& state : states) {
        gui = std::make_unique<Gui>(textures);
        frameAt(250, 60);
        for (const Click& click : state.clicks) {
            frameAt(click.x, click.y, true);
            frameAt(250, 60);
        }
        frameAt(state.cursorX, state.cursorY);
        const sf::Image seen = guiFrame(sf::Color::Green);
        const sf::Image expected =
            reference(sf::Color::Magenta, state.frames, state.title, state.bar);
        std::string where;
        EXPECT_EQ(0u, differences(expected, seen, where))
            << state.name << ": first difference at " << where;
    }
}

// A window twice the panel's size that shows it through a view of the panel's extent: the
// panel's own picture of it must be the window's pixels at that size, title and bar alike.
TEST_F(GuiPicturesTest, ThePanelShownTwiceAsLargeThroughAViewEqualsPlainSpritesThroughIt) {
    std::filesystem::copy_file(BRASKO_TEST_SONG, work.path() / "granite.mp3");
    load(255);
    gui = std::make_unique<Gui>(textures);
    frameAt(250, 60);
    for (const sf::Vector2i click :
         {sf::Vector2i(15, 114), sf::Vector2i(43, 114), sf::Vector2i(101, 146)}) {
        frameAt(click.x, click.y, true);
        frameAt(250, 60);
    }
    window.setSize(sf::Vector2u(600, 300));
    window.setView(sf::View(sf::FloatRect(0, 0, 300, 150)));
    capture.create(600, 300);
    frameAt(500, 120);
    const sf::Image seen = guiFrame(sf::Color::Green);
    const sf::Image expected = reference(sf::Color::Magenta, {1, 3, 4, 6}, "granite.mp3", 100);
    ASSERT_EQ(sf::Vector2u(600, 300), seen.getSize());
    std::string where;
    EXPECT_EQ(0u, differences(expected, seen, where)) << "first difference at " << where;
}
