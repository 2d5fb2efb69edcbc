// Checks that keep sound SFML 2.5 cannot handle away from it. Its WAV reader trusts the
// header: a data chunk before the format chunk makes it divide by a sample size it has not
// read yet, and it takes any channel count and rate, which the engine and its streams divide
// by or allocate half a second of. Every file the engine opens passes both checks first.
#ifndef BRASKO_FORMATCHECK_HPP
#define BRASKO_FORMATCHECK_HPP

#include <string>

namespace sf {
class InputSoundFile;
class InputStream;
} // namespace sf

namespace irrklang {

// Returns false iff the stream is a RIFF WAVE file whose data chunk comes before any format
// chunk, walking the chunks as SFML does. Leaves the stream anywhere.
bool wavChunksInOrder(sf::InputStream& stream);

// Returns true iff SFML can stream sound of this many channels at this rate.
bool formatPlayable(unsigned int channels, unsigned int rate);

// Opens the file; returns true iff it opened and holds samples in a playable format.
bool openPlayable(sf::InputSoundFile& file, const std::string& fileName);

} // namespace irrklang

#endif
