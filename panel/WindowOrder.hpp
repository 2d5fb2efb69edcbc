// How the panel's pictures are kept and drawn so that a software renderer (Mesa's llvmpipe)
// puts them into the window at the least cost, with the same pixels as plain SFML would:
// stored blue first, in the byte order of the window's colour buffer on X, so that llvmpipe
// copies a picture's rows as they are; and an opaque picture drawn without blending, through
// a shader that returns each texel as it is, which llvmpipe runs a row at a time. Used by
// the control panel, and by the benchmark that draws its background alone.
#ifndef BRASKO_WINDOWORDER_HPP
#define BRASKO_WINDOWORDER_HPP

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderStates.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Texture.hpp>

// Stores the texture's pixels, read back as `image`, again in the window's byte order. A
// texture stored larger than its picture (no support for sizes other than powers of two) is
// left alone. Needs a current OpenGL context.
void storeInWindowOrder(const sf::Texture& texture, const sf::Image& image);

// Returns the states for drawing `image`, a picture drawn first each frame: without blending
// iff it is opaque (it covers the last frame whatever the blending, so the renderer need not
// read the old pixels back), and through `shader`, loaded here, where shaders are available.
// The shader must outlive the states.
sf::RenderStates statesForBackground(const sf::Image& image, sf::Shader& shader);

#endif
