// What the engine checks of a sound file before a decoder sees it. The kind of sound a file
// holds is told from its first bytes alone, so that a large file that is not sound is
// refused at once instead of being searched through by a decoder. And SFML 2.5's WAV reader
// trusts the header: a data chunk before the format chunk makes it divide by a sample size
// it has not read yet, and it takes any channel count and rate, which the engine and its
// streams divide by or allocate half a second of. Every file the engine opens passes these
// checks first.
#ifndef BRASKO_FORMATCHECK_HPP
#define BRASKO_FORMATCHECK_HPP

#include <SFML/Config.hpp>

namespace sf {
class InputStream;
} // namespace sf

namespace irrklang {

enum class SoundKind { none, mp3, wav, ogg, flac };

// Returns where the stream's content starts after a leading ID3v2 tag, found by the size
// its header gives (the tag is not read), or 0 if it has none. Leaves the stream anywhere.
sf::Int64 afterId3v2(sf::InputStream& stream);

// Returns the kind of sound the stream starts with: a RIFF WAVE or Ogg header, a FLAC
// marker or MPEG audio frames (after an ID3v2 tag), or none. Reads a few kilobytes at most,
// whatever the size of the stream. Leaves the stream anywhere.
SoundKind soundKind(sf::InputStream& stream);

// Returns false iff the stream is a RIFF WAVE file whose data chunk comes before any format
// chunk, walking the chunks as SFML does. Leaves the stream anywhere.
bool wavChunksInOrder(sf::InputStream& stream);

// Returns true iff the output can play sound of this many channels at this rate.
bool formatPlayable(unsigned int channels, unsigned int rate);

} // namespace irrklang

#endif
