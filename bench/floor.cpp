// The floor of the player's design on this machine, for bench/run: the player's window
// (same size, title, style, depth and context settings), paced to the same 40 frames a
// second, showing only the background picture drawn as the player draws it, frame after
// frame. No sound, no buttons, no cursor reading; the only input taken is the close
// request. What the player costs above this program is what it does besides drawing a
// frame every 25 ms.
//   bench_floor [PICTURE]   PICTURE defaults to ./ressources/bg.png, the player's own path
// Exits 1 when the picture cannot be loaded.
//
// The drawing settings are the player's (app/main.cpp and panel/Gui.cpp): llvmpipe on the
// calling thread, first-vertex provoking convention, the picture stored again in the
// window's byte order (BGRA), no blending for an opaque picture, and a shader that returns
// the texel as it is.
#include <SFML/Graphics/BlendMode.hpp>
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderStates.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/OpenGL.hpp>
#include <SFML/Window/Context.hpp>
#include <SFML/Window/ContextSettings.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/VideoMode.hpp>
#include <SFML/Window/WindowStyle.hpp>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

const char* const texelsAsTheyAre = "uniform sampler2D texture;\n"
                                    "void main() {\n"
                                    "    gl_FragColor = texture2D(texture, gl_TexCoord[0].xy);\n"
                                    "}\n";

bool isOpaque(const sf::Image& image) {
    const sf::Uint8* pixels = image.getPixelsPtr();
    const std::size_t count = std::size_t(image.getSize().x) * image.getSize().y;
    for (std::size_t i = 0; i < count; ++i)
        if (pixels[4 * i + 3] != 255)
            return false;
    return true;
}

// Stores the picture's pixels in the texture again, blue first, when the texture holds it
// at its own size.
void storeInWindowOrder(sf::Texture& texture, const sf::Image& image) {
    const sf::Vector2u size = image.getSize();
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

} // namespace

int main(int argc, char** argv) {
    const char* const path = argc > 1 ? argv[1] : "./ressources/bg.png";
    setenv("LP_NUM_THREADS", "0", 0);
    sf::RenderWindow window(sf::VideoMode(300, 150, 32), "Brasko :: Velmar", sf::Style::Close,
                            sf::ContextSettings());
    window.setFramerateLimit(40);
    using ProvokingVertex = void (*)(GLenum);
    if (const auto provoking =
            reinterpret_cast<ProvokingVertex>(sf::Context::getFunction("glProvokingVertex")))
        provoking(GL_FIRST_VERTEX_CONVENTION);

    sf::Image picture;
    sf::Texture texture;
    if (!picture.loadFromFile(path) || !texture.loadFromImage(picture)) {
        std::fprintf(stderr, "bench_floor: cannot load %s\n", path);
        return 1;
    }
    storeInWindowOrder(texture, picture);
    const sf::Sprite background(texture);
    sf::RenderStates states;
    if (isOpaque(picture))
        states.blendMode = sf::BlendNone;
    sf::Shader shader;
    if (sf::Shader::isAvailable() && shader.loadFromMemory(texelsAsTheyAre, sf::Shader::Fragment)) {
        shader.setUniform("texture", sf::Shader::CurrentTexture);
        states.shader = &shader;
    }

    // As in the player: at most one event a frame, and the window is never cleared.
    sf::Event event;
    while (window.isOpen()) {
        if (window.pollEvent(event) && event.type == sf::Event::Closed)
            window.close();
        window.draw(background, states);
        window.display();
    }
    return 0;
}
