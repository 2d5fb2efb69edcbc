// Everything the window shows and the rules that tie the buttons to the player. The entry
// function makes one Gui from its three textures (background, button sheet, progress bar),
// calls update() once a turn of its loop, and destroys it first when the loop ends. The Gui owns its
// four buttons, the progress bar, the player, and the Controls through which keys and the
// desktop's requests act as clicks; the textures stay the caller's, and must outlive it. Keys: Space plays, pauses
// and resumes, Right and Left jump 5 s on and back, S stops. On construction the Gui stores the
// textures' pixels anew in the byte order of the window (same pixels, cheaper to draw for a
// software renderer). Over an opaque background that covers it, the whole panel is drawn
// into one picture of its own, again only when something in it changes (a button's frame,
// the title, the bar's width, the window's size or view), and that one picture is put into
// the window, at the cost of one opaque copy, only on a turn when it changed or the window
// lost its pixels. The view may scale and move the panel, not turn it.
#ifndef BRASKO_GUI_HPP
#define BRASKO_GUI_HPP

#include "app/InputState.hpp"
#include "panel/Button.hpp"
#include "panel/Controls.hpp"
#include "panel/Widget.hpp"
#include "playback/Player.hpp"

#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/RenderStates.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/System/String.hpp>

#include <cstdint>

class Gui {
public:
    // textures points at three textures: background, button sheet, progress bar. Needs
    // the window's context to be active.
    explicit Gui(sf::Texture* textures);
    ~Gui();
    Gui(const Gui&) = delete;
    Gui& operator=(const Gui&) = delete;

    // Draws the background.
    void draw(sf::RenderTarget& target);

    // What a turn owes the window: nothing while nobody can see it, the panel whether it
    // changed or not once the window's pixels were lost, else the panel when it changed.
    enum class Sight { unseen, lost, kept };

    // Acts on a latched key, draws the whole frame (background, title, buttons, progress
    // bar) as sight asks, then seeks if the bar is clicked and applies the playback rules.
    // Returns true iff it drew into the window, which is then to be shown.
    bool update(sf::RenderWindow& window, InputState& input, Sight sight);

    // The Controls through which the keyboard and the desktop act on playback as clicks do.
    Controls& remote();

private:
    // Draws everything the panel shows, as it is now, into target.
    void drawPanel(sf::RenderTarget& target);
    // The parts of their textures the four buttons and the bar show now, in that order.
    void shownAreas(sf::IntRect (&areas)[5]) const;
    // Returns true iff the panel looks different now from when it was last drawn, or the
    // window shows it at another size.
    bool changedSinceDrawn(const sf::RenderWindow& window) const;
    // Remembers how the panel looks now, as drawn for the window.
    void rememberDrawn(const sf::RenderWindow& window);
    // Draws the panel into its picture as the window would show it.
    void redrawPicture(const sf::RenderWindow& window);
    // Draws the panel into the window: its picture, or the panel itself when it has none.
    void drawInto(sf::RenderWindow& window);

    sf::Sprite background;
    sf::RenderStates backgroundStates; // blending off for an opaque background
    sf::Shader backgroundShader;       // texels as they are, for backgroundStates
    Button* playButton;
    Button* pauseButton;
    Button* stopButton;
    Button* spareButton;
    Widget* progressBar;
    Player* player;
    Controls* controls;
    bool barSought;        // the bar was clicked in the last frame, and sought
    std::int8_t barTarget; // the percent it sought then
    // The panel as last drawn, and what it showed then: the part of the world the window's
    // view showed, the buttons' and the bar's parts of their textures, and the title.
    sf::RenderTexture picture;
    sf::Sprite pictureSprite;
    bool usesPicture; // false over a background that lets the last frame show through
    bool pictureDrawn;
    sf::Vector2u pictureSize; // the window's size then
    sf::FloatRect pictureArea;
    sf::IntRect pictureAreas[5];
    sf::String pictureTitle;
};

#endif
