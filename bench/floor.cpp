// The floor of the player's design on this machine, for bench/run: the player's window
// (same size, title, style, depth and context settings), paced to the same 40 frames a
// second, showing only the background picture drawn as the player draws it, frame after
// frame. No sound, no buttons, no cursor reading; the only input taken is the close
// request. What the player costs above this program is what it does besides drawing a
// frame every 25 ms.
//   bench_floor [PICTURE]   PICTURE defaults to ./ressources/bg.png, the player's own path
// Exits 1 when the picture cannot be loaded.
//
// The drawing settings are the player's: llvmpipe on the calling thread and the first-vertex
// provoking convention (as app/main.cpp sets them), the picture stored and drawn as the
// control panel does (panel/WindowOrder).
#include "panel/WindowOrder.hpp"

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

#include <cstdio>
#include <cstdlib>

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
    sf::Shader shader;
    const sf::RenderStates states = statesForBackground(picture, shader);

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
