#include "panel/Button.hpp"

Button::Button(const sf::Texture& texture, std::int32_t x, std::int32_t y, std::int8_t baseFrame,
               std::uint32_t columns, std::uint32_t rows)
    : Widget(texture, x, y), active(false), baseFrame(baseFrame), frameWidth(0), frameHeight(0),
      columns(0), rows(0) {
    // A sheet that does not divide evenly loses its right and bottom remainders.
    const sf::Vector2u size = texture.getSize();
    frameWidth = columns == 0 ? 0 : static_cast<std::int32_t>(size.x / columns);
    frameHeight = rows == 0 ? 0 : static_cast<std::int32_t>(size.y / rows);
    this->columns = static_cast<std::int32_t>(columns);
    this->rows = static_cast<std::int32_t>(rows);
    setFrame(this->baseFrame);
    active = false;
}

void Button::setFrame(int n) {
    if (columns <= 0)
        return;
    sprite.setTextureRect(sf::IntRect((n % columns) * frameWidth, (n / columns) * frameHeight,
                                      frameWidth, frameHeight));
}

bool Button::contains(int x, int y) const {
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    const sf::Vector2f pos = sprite.getPosition();
    const sf::IntRect frame = sprite.getTextureRect();
    return fx > pos.x && fx < pos.x + static_cast<float>(frame.width) && fy > pos.y &&
           fy < pos.y + static_cast<float>(frame.height);
}

bool Button::isActive() const { return active; }

void Button::setActive(bool value) { active = value; }

void Button::draw(sf::RenderTarget& target) { target.draw(sprite, sf::RenderStates::Default); }

void Button::update(sf::RenderWindow& window, InputState& input) {
    update(window, input, input.mousePosition(window));
}

void Button::update(sf::RenderWindow& window, InputState& input, sf::Vector2i cursor) {
    update(input, cursor);
    draw(window);
}

void Button::update(InputState& input, sf::Vector2i cursor) {
    setFrame(active ? baseFrame + 1 : baseFrame);
    if (contains(cursor.x, cursor.y)) {
        setFrame(baseFrame + 1);
        if (input.isClicked()) {
            active = !active;
            input.setClicked(false);
        }
    }
}
