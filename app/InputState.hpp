// The program's whole view of user input. Once per frame poll() takes at most one event
// from the window and turns it into the click latch: a mouse-button press sets it, any
// other event clears it, and a button that uses the click clears it too. The close event
// also closes the window. The cursor is read live, never from events.
#ifndef BRASKO_INPUTSTATE_HPP
#define BRASKO_INPUTSTATE_HPP

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/System/Vector2.hpp>
#include <SFML/Window/Event.hpp>

class InputState {
public:
    InputState();

    // Fetches at most one pending event and updates the latch from it.
    void poll(sf::RenderWindow& window);

    // Returns true iff a press is latched and not yet used.
    bool isClicked() const;
    void setClicked(bool value);

    // The cursor position relative to the window's client area, at the moment of the call.
    sf::Vector2i mousePosition(const sf::RenderWindow& window) const;

private:
    sf::Event event;
    bool clicked;
};

#endif
