#include "app/InputState.hpp"

#include <SFML/Window/Mouse.hpp>

#include <cmath>

InputState::InputState()
    : event(), clicked(false), pressed(sf::Keyboard::Unknown), pointerInside(true),
      polled(false), stirred(true), cursor() {}

void InputState::poll(sf::RenderWindow& window) {
    // One event per frame, not a drain of the queue: a press stays latched for the whole
    // frame that fetched it, and longer while nothing else arrives.
    polled = true;
    if (!window.pollEvent(event))
        return;
    stirred = true;
    if (event.type == sf::Event::MouseButtonPressed) {
        clicked = true;
        return;
    }
    clicked = false;
    if (event.type == sf::Event::KeyPressed)
        pressed = event.key.code;
    if (event.type == sf::Event::Closed)
        window.close();
}

bool InputState::isClicked() const { return clicked; }

void InputState::setClicked(bool value) { clicked = value; }

sf::Keyboard::Key InputState::key() const { return pressed; }

void InputState::setKey(sf::Keyboard::Key value) { pressed = value; }

void InputState::setPointerInside(bool value) { pointerInside = value; }

void InputState::setPointerStirred() { stirred = true; }

sf::Vector2i InputState::away() { return sf::Vector2i(-1, -1); }

namespace {
// The view's coordinate of a window pixel, along one axis of a view that starts at 0: in
// whole numbers and rounded down, so that each point of the panel answers for every window
// pixel drawn from it, and a window at its design size maps each pixel to itself exactly.
int toView(int pixel, unsigned windowSize, float viewSize) {
    if (windowSize == 0)
        return pixel;
    const long long scaled = static_cast<long long>(pixel) * std::lround(viewSize);
    const long long size = windowSize;
    return static_cast<int>(scaled >= 0 ? scaled / size : -((-scaled + size - 1) / size));
}
} // namespace

sf::Vector2i InputState::mousePosition(const sf::RenderWindow& window) {
    // A latched press is read where the pointer is, inside or not: a press held on the bar
    // goes on seeking while the pointer moves, in the window or out of it (and while the
    // window holds the press, no other client hears the pointer leave or come back).
    if (!pointerInside && !clicked)
        return away();
    // A pointer that moves over the window sends it motion events.
    if (polled && !stirred && !clicked)
        return cursor;
    stirred = false;
    const sf::Vector2i pixel = sf::Mouse::getPosition(window);
    const sf::Vector2u size = window.getSize();
    const sf::Vector2f view = window.getView().getSize();
    cursor = sf::Vector2i(toView(pixel.x, size.x, view.x), toView(pixel.y, size.y, view.y));
    return cursor;
}
