// The program's whole view of user input. Once per frame poll() takes at most one event
// from the window and turns it into two latches: the click latch, which a mouse-button press
// sets, any other event clears, and a button that uses the click clears too; and the key
// latch, which a key press sets to its key and the frame's consumer clears. The close event
// also closes the window. The cursor is read live, never from events, in the coordinates of
// the window's view: a window drawn at twice the size still answers in the panel's own. Once
// the loop polls, the cursor is read again only after an event that may come with the pointer
// somewhere else (any event of the window, or one the loop reports), or while a press is
// latched; while the pointer is away from the window and no press is latched, not at all.
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
    // Tells that the pointer may have moved against the window without an event of its own
    // (the window was moved, mapped or resized, or the pointer came or went).
    void setPointerStirred();

    // The cursor position relative to the window's client area, in the coordinates of the
    // window's view: read at the moment of the call, or as last read when nothing can have
    // moved it since; with the pointer away and no press latched, away() without asking.
    sf::Vector2i mousePosition(const sf::RenderWindow& window);

    // A position outside the panel and all it holds.
    static sf::Vector2i away();

private:
    sf::Event event;
    bool clicked;
    sf::Keyboard::Key pressed;
    bool pointerInside;
    bool polled;  // poll() has been called: events tell when the pointer moves
    bool stirred; // an event came since the cursor was last read
    sf::Vector2i cursor;
};

#endif
