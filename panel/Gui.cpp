#include "panel/Gui.hpp"

#include <SFML/Graphics/Image.hpp>

#include <cstddef>
#include <cstdint>

namespace {

// Returns true iff no pixel of the texture lets anything under it show through.
bool isOpaque(const sf::Texture& texture) {
    const sf::Image image = texture.copyToImage();
    const sf::Uint8* pixels = image.getPixelsPtr();
    const std::size_t count = std::size_t(image.getSize().x) * image.getSize().y;
    for (std::size_t i = 0; i < count; ++i)
        if (pixels[4 * i + 3] != 255)
            return false;
    return true;
}

} // namespace

Gui::Gui(const sf::Texture* textures)
    : background(), backgroundStates(), playButton(nullptr), pauseButton(nullptr),
      stopButton(nullptr), spareButton(nullptr), progressBar(nullptr), player(nullptr) {
    background.setTexture(textures[0], false);
    // An opaque background covers the last frame whatever the blending: drawn without it,
    // the pixels are the same and the software renderer need not read the old ones back.
    if (isOpaque(textures[0]))
        backgroundStates.blendMode = sf::BlendNone;
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

void Gui::draw(sf::RenderWindow& window) {
    window.draw(background, backgroundStates);
}

void Gui::update(sf::RenderWindow& window, InputState& input) {
    // The cursor is read once for the whole frame: each reading is a round trip to the X
    // server, which costs both processes more than anything in a frame but its drawing.
    const sf::Vector2i cursor = input.mousePosition(window);
    draw(window);
    player->draw(window);
    playButton->update(window, input, cursor);
    pauseButton->update(window, input, cursor);
    stopButton->update(window, input, cursor);
    spareButton->update(window, input, cursor);
    progressBar->drawProgress(window, static_cast<std::int8_t>(player->progress() & 0xFFu));

    // The latch is left set: a press held on the bar seeks again every frame until the
    // next event arrives.
    if (progressBar->contains(cursor.x, cursor.y) && input.isClicked())
        player->seek(static_cast<std::int8_t>((cursor.x / 2) & 0xFF));

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
