#include "panel/WindowOrder.hpp"

#include <SFML/OpenGL.hpp>

#include <cstddef>
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

// For a white sprite the fixed pipeline (texel times white) gives the same pixels; but
// llvmpipe runs a shader this simple a row at a time, over a texture stored in the window's
// byte order, at a fraction of the cost.
const char* const texelsAsTheyAre = "uniform sampler2D texture;\n"
                                    "void main() {\n"
                                    "    gl_FragColor = texture2D(texture, gl_TexCoord[0].xy);\n"
                                    "}\n";

} // namespace

void storeInWindowOrder(const sf::Texture& texture, const sf::Image& image) {
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

sf::RenderStates statesForBackground(const sf::Image& image, sf::Shader& shader) {
    sf::RenderStates states;
    if (isOpaque(image))
        states.blendMode = sf::BlendNone;
    if (sf::Shader::isAvailable() && shader.loadFromMemory(texelsAsTheyAre, sf::Shader::Fragment)) {
        shader.setUniform("texture", sf::Shader::CurrentTexture);
        states.shader = &shader;
    }
    return states;
}
