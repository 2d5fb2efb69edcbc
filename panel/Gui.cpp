#include "panel/Gui.hpp"

#include <SFML/Graphics/Image.hpp>
#include <SFML/OpenGL.hpp>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

// Returns true iff no pixel of the picture lets anything under it show through.
bool isOpaque(const sf::Image& image) {
    const sf::Uint8* pixels = image.getPixelsPtr();
    const std::size_t count = std::size_t(image.getSize().x) * image.getSize().y;
    for (std::size_t i = 0; i < count; ++i)
        if (pixels[4 * i + 3] != 255)
            return false;
    return true;
}

// Stores the texture's pixels (read back as `image`) again, the same values with blue
// first: the byte order of the window's colour buffer on X. A software renderer (Mesa's
// llvmpipe) then copies a picture's rows into the frame as they are instead of converting
// each pixel. A texture stored larger than its picture (no support for sizes other than
// powers of two) is left alone.
void storeInWindowOrder(sf::Texture& texture, const sf::Image& image) {
    const sf::Vector2u size = texture.getSize();
    if (size.x == 0 || size.y == 0 || image.getSize() != size)
        return;
    std::vector<sf::Uint8> pixels(image.getPixelsPtr(),
                                  image.getPixelsPtr() + std::size_t(4) * size.x * size.y);
    for (std::size_t i = 0; i < pixels.size(); i += 4)
        std::swap(pixels[i], pixels[i + 2]);
    sf::Texture::bind(&texture);
    GLint width = 0;
    GLint height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    if (width == static_cast<GLint>(size.x) && height == static_cast<GLint>(size.y))
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     pixels.data());
    sf::Texture::bind(nullptr);
}

// Draws a sprite's texels as they are. For the background, whose sprite is white, the
// fixed pipeline (texel times white) gives the same pixels; but llvmpipe runs a shader this
// simple a row at a time, over a texture stored in the window's byte order, at a fraction
// of the cost.
const char* const texelsAsTheyAre = "uniform sampler2D texture;\n"
                                    "void main() {\n"
                                    "    gl_FragColor = texture2D(texture, gl_TexCoord[0].xy);\n"
                                    "}\n";

} // namespace

Gui::Gui(sf::Texture* textures)
    : background(), backgroundStates(), backgroundShader(), playButton(nullptr),
      pauseButton(nullptr), stopButton(nullptr), spareButton(nullptr), progressBar(nullptr),
      player(nullptr), mpris(nullptr) {
    const sf::Image backgroundImage = textures[0].copyToImage();
    storeInWindowOrder(textures[0], backgroundImage);
    storeInWindowOrder(textures[1], textures[1].copyToImage());
    storeInWindowOrder(textures[2], textures[2].copyToImage());
    background.setTexture(textures[0], false);
    // An opaque background covers the last frame whatever the blending: drawn without it,
    // the pixels are the same and the software renderer need not read the old ones back.
    if (isOpaque(backgroundImage))
        backgroundStates.blendMode = sf::BlendNone;
    if (sf::Shader::isAvailable() &&
        backgroundShader.loadFromMemory(texelsAsTheyAre, sf::Shader::Fragment)) {
        backgroundShader.setUniform("texture", sf::Shader::CurrentTexture);
        backgroundStates.shader = &backgroundShader;
    }
    playButton = new Button(textures[1], 2, 100, 0, 8, 1);
    pauseButton = new Button(textures[1], 30, 100, 2, 8, 1);
    stopButton = new Button(textures[1], 65, 100, 4, 8, 1);
    spareButton = new Button(textures[1], 105, 100, 6, 8, 1);
    progressBar = new Widget(textures[2], 0, 143);
    player = new Player();
    mpris = new Mpris(*player, *playButton, *pauseButton, *stopButton);
}

Gui::~Gui() {
    delete mpris;
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
    if (progressBar->contains(cursor.x, cursor.y) && input.isClicked()) {
        player->seek(static_cast<std::int8_t>((cursor.x / 2) & 0xFF));
        mpris->seeked();
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

    // After the rules, so that the desktop hears of what they did in this frame; a request
    // switches a button, which the rules act on in the next.
    mpris->update();
}
