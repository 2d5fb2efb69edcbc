#include "panel/Gui.hpp"

#include <cstdint>

Gui::Gui(const sf::Texture* textures)
    : background(), playButton(nullptr), pauseButton(nullptr), stopButton(nullptr),
      spareButton(nullptr), progressBar(nullptr), player(nullptr) {
    background.setTexture(textures[0], false);
    playButton = new Button(textures[1], 2, 100, 0, 8, 1);
    pauseButton = new Button(textures[1], 30, 100, 2, 8, 1);
    stopButton = new Button(textures[1], 65, 100, 4, 8, 1);
    spareButton = new Button(textures[1], 105, 100, 6, 8, 1);
    progressBar = new Widget(textures[2], 0, 143);
    player = new Player();
}

Gui::~Gui() {
    delete playButton;
    delete pauseButton;
    delete stopButton;
    delete spareButton;
    delete progressBar;
    delete player;
}

void Gui::draw(sf::RenderWindow& window) { window.draw(background, sf::RenderStates::Default); }

void Gui::update(sf::RenderWindow& window, InputState& input) {
    draw(window);
    player->draw(window);
    playButton->update(window, input);
    pauseButton->update(window, input);
    stopButton->update(window, input);
    spareButton->update(window, input);
    progressBar->drawProgress(window, static_cast<std::int8_t>(player->progress() & 0xFFu));

    // The latch is left set: a press held on the bar seeks again every frame until the
    // next event arrives.
    sf::Vector2i cursor = input.mousePosition(window);
    if (progressBar->contains(cursor.x, cursor.y) && input.isClicked()) {
        cursor = input.mousePosition(window);
        player->seek(static_cast<std::int8_t>((cursor.x / 2) & 0xFF));
    }

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
}
