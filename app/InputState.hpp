// The program's whole view of user input. Once per frame poll() takes at most one event
// from the window and turns it into two latches: the click latch, which a mouse-button press
// sets, any other event clears, and a button that uses the click clears too; and the key
// latch, which a key press sets to its key and the frame's consumer clears. The close event
// also closes the window. The cursor is read live, never from events, in the coordinates of
// the window's view: a window drawn at twice the size still answers in the panel's own. While
// the pointer is away from the window and no press is latched, it is not read at all.
#ifndef BRASKO_INPUTSTATE_HPP
#define BRASKO_INPUTSTATE_HPP

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/System/Vector2.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/Keyboard.hpp>

class InputState {
public:
    InputState();

    // Fetches at most one pending event and updates the latches from it.
    void poll(sf::RenderWindow& window);

    // Returns true iff a press is latched and not yet used.
    bool isClicked() const;
    void setClicked(bool value);

    // The key of the press latched and not yet used, or sf::Keyboard::Unknown.
    sf::Keyboard::Key key() const;
    void setKey(sf::Keyboard::Key value);

    // Whether the pointer may be over the window; true until told otherwise.
    void setPointerInside(bool value);

    // The cursor position at the moment of the call, relative to the window's client area,
    // in the coordinates of the window's view. With the pointer away and no press latched,
    // away() without asking the X server.
    sf::Vector2i mousePosition(const sf::RenderWindow& window) const;

    // A position outside the panel and all it holds.
    static sf::Vector2i away();

private:
    sf::Event event;
    bool clicked;
    sf::Keyboard::Key pressed;
    bool pointerInside;
};

#endif
