#include "panel/Gui.hpp"

#include "panel/WindowOrder.hpp"

#include <SFML/Graphics/Image.hpp>

#include <cstdint>

namespace {
// How far Right and Left jump, in microseconds.
const std::int64_t jump = 5000000;
} // namespace

Gui::Gui(sf::Texture* textures)
    : background(), backgroundStates(), backgroundShader(), playButton(nullptr),
      pauseButton(nullptr), stopButton(nullptr), spareButton(nullptr), progressBar(nullptr),
      player(nullptr), controls(nullptr), mpris(nullptr), barSought(false), barTarget(0) {
    const sf::Image backgroundImage = textures[0].copyToImage();
    storeInWindowOrder(textures[0], backgroundImage);
    storeInWindowOrder(textures[1], textures[1].copyToImage());
    storeInWindowOrder(textures[2], textures[2].copyToImage());
    background.setTexture(textures[0], false);
    backgroundStates = statesForBackground(backgroundImage, backgroundShader);
    playButton = new Button(textures[1], 2, 100, 0, 8, 1);
    pauseButton = new Button(textures[1], 30, 100, 2, 8, 1);
    stopButton = new Button(textures[1], 65, 100, 4, 8, 1);
    spareButton = new Button(textures[1], 105, 100, 6, 8, 1);
    progressBar = new Widget(textures[2], 0, 143);
    player = new Player();
    controls = new Controls(*player, *playButton, *pauseButton, *stopButton);
    mpris = new Mpris(*player, *controls);
}

Gui::~Gui() {
    delete mpris;
    delete controls;
    delete playButton;
    delete pauseButton;
    delete stopButton;
    delete spareButton;
    delete progressBar;
    delete player;
}

void Gui::draw(sf::RenderWindow& window) {
    window.draw(background, backgroundStates);
}

void Gui::update(sf::RenderWindow& window, InputState& input) {
    // The cursor is read once for the whole frame: each reading is a round trip to the X
    // server, which costs both processes more than anything in a frame but its drawing.
    const sf::Vector2i cursor = input.mousePosition(window);
    // A key acts before the buttons are drawn, as a click does: the button it switches shows
    // in this frame, and the rules below act on it.
    const sf::Keyboard::Key key = input.key();
    input.setKey(sf::Keyboard::Unknown);
    if (key == sf::Keyboard::Space)
        controls->ask(Controls::Request::playPause);
    else if (key == sf::Keyboard::S)
        controls->ask(Controls::Request::stop);
    else if ((key == sf::Keyboard::Right || key == sf::Keyboard::Left) &&
             controls->seekBy(key == sf::Keyboard::Right ? jump : -jump))
        mpris->seeked();

    draw(window);
    player->draw(window);
    playButton->update(window, input, cursor);
    pauseButton->update(window, input, cursor);
    stopButton->update(window, input, cursor);
    spareButton->update(window, input, cursor);
    progressBar->drawProgress(window, static_cast<std::int8_t>(player->progress() & 0xFFu));

    // The latch is left set: a press held on the bar seeks again every frame until the
    // next event arrives. Only a seek that lands somewhere else than the last frame's is
    // announced, so that a held press tells the desktop once.
    const bool seeking = progressBar->contains(cursor.x, cursor.y) && input.isClicked();
    if (seeking) {
        const auto target = static_cast<std::int8_t>((cursor.x / 2) & 0xFF);
        player->seek(target);
        if (!barSought || target != barTarget)
            mpris->seeked();
        barTarget = target;
    }
    barSought = seeking;

    if (player->isPlaying()) {
        if (pauseButton->isActive() && !player->isPaused())
            player->togglePause();
        if (!pauseButton->isActive() && player->isPaused())
            player->togglePause();
        if (stopButton->isActive() || player->isFinished()) {
            player->stop();
            playButton->setActive(false);
            pauseButton->setActive(false);
        }
    } else if (playButton->isActive()) {
        player->play();
        pauseButton->setActive(false);
        stopButton->setActive(false);
    }

    // After the rules, so that the desktop hears of what they did in this frame; a request
    // switches a button, which the rules act on in the next.
    mpris->update();
}
