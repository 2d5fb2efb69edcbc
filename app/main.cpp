// The player's entry: one fixed window at the desktop's scale, three textures, the input
// state, the control panel and a watch on the window, and a loop of 40 turns a second that
// runs until the window closes. A turn shows a frame only when the panel changed or the
// window lost its pixels, and none while nobody can see the window; the song and the
// desktop's requests are served every turn all the same. The key Z switches the window
// between its two sizes. A song given on the command line plays at once; --help and
// --version answer without a display. Given a song while a player already runs on the
// session bus, it hands the song to that one and ends; the desktop's Raise brings the
// window to the front.
#include "app/CommandLine.hpp"
#include "app/DisplayCheck.hpp"
#include "app/DropTarget.hpp"
#include "app/IconImage.hpp"
#include "app/InputState.hpp"
#include "app/WindowRaise.hpp"
#include "app/WindowScale.hpp"
#include "app/WindowWatch.hpp"
#include "panel/Gui.hpp"
#include "session/Handover.hpp"
#include "session/Mpris.hpp"
#include "session/SongOpener.hpp"

#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/OpenGL.hpp>
#include <SFML/System/Clock.hpp>
#include <SFML/System/Sleep.hpp>
#include <SFML/System/Time.hpp>
#include <SFML/Window/Context.hpp>
#include <SFML/Window/ContextSettings.hpp>
#include <SFML/Window/VideoMode.hpp>
#include <SFML/Window/WindowStyle.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    const CommandLine commandLine(argc, argv);
    if (const int status = commandLine.answer(std::cout, std::cerr); status >= 0)
        return status;

    // A player already running on the session bus takes the song, and this one ends. It
    // needs the bus, not the display.
    if (!commandLine.song().empty()) {
        const Handover::Outcome outcome = Handover().give(commandLine.song());
        if (outcome == Handover::Outcome::handedOver)
            return 0;
        if (outcome == Handover::Outcome::refused)
            return 1;
    }

    // SFML aborts the program when the display cannot be opened, and waits forever for one
    // that does not answer. The check's connection is kept open for the whole run.
    const DisplayCheck display(std::chrono::seconds(3));
    if (!display.problem().empty()) {
        std::cerr << display.problem() << std::endl;
        std::_Exit(1); // not waiting for a check that may still wait for its display
    }

    // Without a GPU driver, Mesa draws with llvmpipe, which splits every frame among one
    // thread per core: a 300 x 150 frame costs less drawn on this thread than handed out and
    // collected. Read when the first context is made; a value set by the user wins.
    setenv("LP_NUM_THREADS", "0", 0);
    WindowScale scale;
    sf::RenderWindow window(scale.videoMode(), "Brasko :: Velmar", sf::Style::Close,
                            sf::ContextSettings());
    scale.apply(window);
    window.setIcon(IconImage.width, IconImage.height, IconImage.pixel_data);
    // A key held down acts once: the keyboard's repeats are not delivered.
    window.setKeyRepeatEnabled(false);
    // llvmpipe fills a sprite's two-triangle strip as one rectangle, at less cost, only when
    // each triangle's first vertex is its provoking one. Nothing is drawn flat-shaded, so no
    // pixel changes.
    using ProvokingVertex = void (*)(GLenum);
    if (const auto provoking =
            reinterpret_cast<ProvokingVertex>(sf::Context::getFunction("glProvokingVertex")))
        provoking(GL_FIRST_VERTEX_CONVENTION);

    // A picture that fails to load leaves its texture empty; the window runs on regardless.
    sf::Texture textures[3];
    const char* const paths[3] = {"./ressources/bg.png", "./ressources/buttons.png",
                                  "./ressources/slider.png"};
    for (int i = 0; i < 3; ++i)
        textures[i].loadFromFile(paths[i], sf::IntRect(0, 0, 0, 0));

    InputState input;
    Gui gui(textures);
    SongOpener opener(gui.remote());
    if (!commandLine.song().empty())
        opener.start(commandLine.song());
    Mpris mpris(gui.remote(), opener);
    WindowRaise raise(window.getSystemHandle());
    DropTarget drop(window.getSystemHandle(), opener);
    WindowWatch watch(window.getSystemHandle());

    // Each turn starts a fortieth of a second after the last one began, or at once when that
    // one ran late: never more than 40 turns, and so frames, a second.
    const sf::Time turn = sf::microseconds(25000);
    sf::Clock clock;
    sf::Time due = clock.getElapsedTime();
    // The window is never cleared: every frame paints the background over the last one.
    while (window.isOpen()) {
        input.poll(window);
        if (watch.poll())
            input.setPointerStirred();
        input.setPointerInside(watch.isPointerInside());
        if (input.key() == sf::Keyboard::Z) {
            input.setKey(sf::Keyboard::Unknown);
            scale.toggle();
            scale.apply(window);
        }
        // Some window managers grant a resize that another program asks for whatever the
        // size hints say (weston's, for X programs): the window takes its one size back.
        // The size is the one the last resize event reported, known without asking the X
        // server.
        if (window.getSize() != scale.size())
            scale.apply(window);
        // Pixels lost while nobody could see them are drawn once the window is seen again.
        const Gui::Sight sight = !watch.isSeen()    ? Gui::Sight::unseen
                                 : watch.takeLost() ? Gui::Sight::lost
                                                    : Gui::Sight::kept;
        const bool drawn = gui.update(window, input, sight);
        // After the panel's rules, so that the desktop hears of what they did in this turn;
        // a request switches a button, which the rules act on in the next.
        mpris.update();
        opener.update();
        if (mpris.takeRaise())
            raise.raise();
        drop.update();
        if (drawn)
            window.display();
        const sf::Time now = clock.getElapsedTime();
        due = std::max(due + turn, now);
        // One sleep every turn, of no time when the turn ran late.
        sf::sleep(due - now);
    }
    return 0;
}
