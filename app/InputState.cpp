#include "app/InputState.hpp"

#include <SFML/Window/Mouse.hpp>

InputState::InputState() : event(), clicked(false) {}

void InputState::poll(sf::RenderWindow& window) {
    // One event per frame, not a drain of the queue: a press stays latched for the whole
    // frame that fetched it, and longer while nothing else arrives.
    if (!window.pollEvent(event))
        return;
    if (event.type == sf::Event::MouseButtonPressed) {
        clicked = true;
        return;
    }
    clicked = false;
    if (event.type == sf::Event::Closed)
        window.close();
}

bool InputState::isClicked() const { return clicked; }

void InputState::setClicked(bool value) { clicked = value; }

sf::Vector2i InputState::mousePosition(const sf::RenderWindow& window) const {
    return sf::Mouse::getPosition(window);
}
