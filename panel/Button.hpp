// An on/off switch drawn from a sheet of equal frames. The button owns two neighbouring
// frames: its base frame, shown while it is off and the cursor is elsewhere, and the next
// one, shown while it is on or hovered. A latched click over it flips it and uses up the
// click; the control panel reads the state every frame and acts on it.
#ifndef BRASKO_BUTTON_HPP
#define BRASKO_BUTTON_HPP

#include "app/InputState.hpp"
#include "panel/Widget.hpp"

#include <cstdint>

class Button : public Widget {
public:
    // A button at (x, y) cut from a sheet of columns x rows frames, showing baseFrame.
    Button(const sf::Texture& texture, std::int32_t x, std::int32_t y, std::int8_t baseFrame,
           std::uint32_t columns, std::uint32_t rows);

    // Shows frame n of the sheet, numbered row by row from the top-left frame, 0.
    void setFrame(int n);

    // Returns true iff (x, y) lies strictly inside the frame shown; borders are outside.
    bool contains(int x, int y) const;

    bool isActive() const;
    void setActive(bool value);

    void draw(sf::RenderTarget& target);

    // Picks the frame for the state and the cursor, flips on a latched click over the
    // button (clearing the latch), then draws.
    void update(sf::RenderWindow& window, InputState& input);

    // The same with the cursor position already read for this frame.
    void update(sf::RenderWindow& window, InputState& input, sf::Vector2i cursor);

    // Picks the frame and takes a click as update does, without drawing.
    void update(InputState& input, sf::Vector2i cursor);

private:
    bool active;
    std::int32_t baseFrame;
    std::int32_t frameWidth;
    std::int32_t frameHeight;
    std::int32_t columns;
    std::int32_t rows;
};

#endif
