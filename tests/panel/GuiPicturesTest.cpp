// The panel stores its pictures anew in the window's byte order and draws the background
// through a shader of its own: both must leave every pixel as plain SFML sprites with the
// default states draw them. Pictures of noise, where every pixel differs from its
// neighbours in all four channels, show a swapped channel, a shifted row or a lost texel.
#include "panel/Gui.hpp"
#include "support/FontFolder.hpp"

#include <SFML/Graphics/Color.hpp>
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window/Mouse.hpp>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

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

    // The first frame as plain sprites draw it over `under`: the background, then each
    // button's base frame (0, 2, 4, 6 of the sheet); nothing plays, so no title or bar.
    sf::Image reference(sf::Color under) {
        sf::Texture plain[2];
        plain[0].loadFromImage(images[0]);
        plain[1].loadFromImage(images[1]);
        window.clear(under);
        window.draw(sf::Sprite(plain[0]));
        const float xs[4] = {2, 30, 65, 105};
        for (int i = 0; i < 4; ++i) {
            sf::Sprite button(plain[1], sf::IntRect(2 * i * 28, 0, 28, 28));
            button.setPosition(xs[i], 100);
            window.draw(button);
        }
        return shot();
    }

    sf::Image guiFrame(sf::Color under) {
        window.clear(under);
        gui->update(window, input);
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
