#include "panel/Widget.hpp"

Widget::Widget() : sprite() {}

Widget::Widget(const sf::Texture& texture) : sprite() { sprite.setTexture(texture, false); }

Widget::Widget(const sf::Texture& texture, int x, int y) : Widget(texture) {
    sprite.setPosition(static_cast<float>(x), static_cast<float>(y));
}

bool Widget::contains(std::int32_t x, std::int32_t y) const {
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    const sf::Vector2f pos = sprite.getPosition();
    const sf::Texture* texture = sprite.getTexture();
    if (texture == nullptr)
        return false;
    const sf::Vector2u size = texture->getSize();
    return fx > pos.x && fx < pos.x + static_cast<float>(size.x) && fy > pos.y &&
           fy < pos.y + static_cast<float>(size.y);
}

void Widget::drawProgress(sf::RenderTarget& target, std::int8_t percent) {
    setProgress(percent);
    drawCropped(target);
}

void Widget::setProgress(std::int8_t percent) {
    const sf::Texture* texture = sprite.getTexture();
    if (texture == nullptr)
        return;
    const sf::Vector2u size = texture->getSize();
    // Whole pixels per percent first, so a bar keeps an even scale whatever its width.
    const unsigned perPercent = size.x / 100u;
    const unsigned width = perPercent * static_cast<unsigned>(static_cast<int>(percent));
    sprite.setTextureRect(sf::IntRect(0, 0, static_cast<int>(width), static_cast<int>(size.y)));
}

void Widget::drawCropped(sf::RenderTarget& target) const {
    if (sprite.getTexture() != nullptr)
        target.draw(sprite, sf::RenderStates::Default);
}

sf::IntRect Widget::shownArea() const { return sprite.getTextureRect(); }
