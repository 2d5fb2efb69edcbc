// A textured picture at a whole-pixel position: one sprite and nothing else. It can tell
// whether a point lies inside its texture's area and draw itself cropped from the left to
// a percentage of its width, which is how the progress bar shows the play position.
// The texture belongs to the caller and must outlive the widget.
#ifndef BRASKO_WIDGET_HPP
#define BRASKO_WIDGET_HPP

#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <cstdint>

class Widget {
public:
    // An empty sprite.
    Widget();
    // The whole texture.
    explicit Widget(const sf::Texture& texture);
    // The whole texture, its top-left corner at (x, y).
    Widget(const sf::Texture& texture, int x, int y);

    // Returns true iff (x, y) lies strictly inside the whole texture's area; points on the
    // border are outside, and cropping is ignored.
    bool contains(std::int32_t x, std::int32_t y) const;

    // Draws the left part of the picture: (texture width / 100) pixels per percent.
    void drawProgress(sf::RenderTarget& target, std::int8_t percent);

    // Crops the picture as drawProgress does, without drawing it.
    void setProgress(std::int8_t percent);

    // Draws the picture as it was last cropped.
    void drawCropped(sf::RenderTarget& target) const;

    // The part of the texture the widget shows.
    sf::IntRect shownArea() const;

protected:
    sf::Sprite sprite;
};

#endif
