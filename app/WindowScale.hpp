// The window's size: the panel's own 300 x 150, or twice that on a desktop scaled to 200 % or
// more, where a 300 x 150 window is too small to see and use. Read once at start-up:
// BRASKO_SCALE (1 or 2) when set, else the desktop's Xft.dpi in the X resources (144 or more
// is double) and GDK_SCALE (2 or more is double). Either size shows the panel through a view
// of 300 x 150, so that everything is drawn twice as large and the cursor still answers in
// the panel's coordinates (InputState). The key Z switches between the two sizes.
#ifndef BRASKO_WINDOWSCALE_HPP
#define BRASKO_WINDOWSCALE_HPP

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Window/VideoMode.hpp>

class WindowScale {
public:
    // Reads BRASKO_SCALE, GDK_SCALE and the X resources. A BRASKO_SCALE other than 1 or 2 is
    // refused in one line on standard output, and the size is then the normal one.
    WindowScale();

    // The window's size at this scale, as a size and as a video mode to open it with.
    sf::Vector2u size() const;
    sf::VideoMode videoMode() const;

    // Gives the window the size of this scale, fixed, over a view of the panel's size.
    void apply(sf::RenderWindow& window) const;

    // Switches to the other size.
    void toggle();

private:
    unsigned scale;
};

#endif
