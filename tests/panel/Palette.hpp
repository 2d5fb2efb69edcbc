// Pictures for the panel tests, each a flat colour, so that every pixel of a frame tells
// which picture, which button frame and how much of the bar is shown.
#ifndef BRASKO_TESTS_PALETTE_HPP
#define BRASKO_TESTS_PALETTE_HPP

#include <SFML/Graphics/Color.hpp>
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/Texture.hpp>

namespace palette {

const sf::Color background(20, 20, 20);
const sf::Color bar(250, 250, 0);

// The colour of frame n of the button sheet.
inline sf::Color frame(int n) {
    return sf::Color(static_cast<sf::Uint8>(40 + 25 * n), static_cast<sf::Uint8>(200 - 20 * n),
                     static_cast<sf::Uint8>(n % 2 ? 220 : 90));
}

// The frame whose colour is c, or -1.
inline int frameOf(sf::Color c) {
    for (int n = 0; n < 8; ++n)
        if (frame(n) == c)
            return n;
    return -1;
}

inline sf::Texture flat(unsigned width, unsigned height, sf::Color colour) {
    sf::Image image;
    image.create(width, height, colour);
    sf::Texture texture;
    texture.loadFromImage(image);
    return texture;
}

// A sheet of 8 frames in one row, frameWidth x height each, plus extra columns of black.
inline sf::Texture sheet(unsigned frameWidth, unsigned height, unsigned extra = 0) {
    sf::Image image;
    image.create(8 * frameWidth + extra, height, sf::Color::Black);
    for (unsigned x = 0; x < 8 * frameWidth; ++x)
        for (unsigned y = 0; y < height; ++y)
            image.setPixel(x, y, frame(static_cast<int>(x / frameWidth)));
    sf::Texture texture;
    texture.loadFromImage(image);
    return texture;
}

// The number of bar-coloured pixels from the left along row y.
inline int barLength(const sf::Image& shot, unsigned y) {
    unsigned x = 0;
    while (x < shot.getSize().x && shot.getPixel(x, y) == bar)
        ++x;
    return static_cast<int>(x);
}

} // namespace palette

#endif
