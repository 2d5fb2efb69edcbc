// A sound file opened for decoding to 16-bit samples, from its first frame to its last.
// open() looks at the file before any decoder does: it takes regular files only (a named
// pipe or a device could block or never end), and only those that start like a sound file
// of a kind the engine plays; then it gives the file to the decoder of that kind, so that
// no decoder searches a large file that is not sound through to its end. Positions and
// counts are sample frames (one sample per channel). Owned by the stream that decodes it.
#ifndef BRASKO_SOUNDFILE_HPP
#define BRASKO_SOUNDFILE_HPP

#include <SFML/Audio/SoundFileReader.hpp>
#include <SFML/Config.hpp>
#include <SFML/System/FileInputStream.hpp>

#include <string>

namespace irrklang {

class SoundFile {
public:
    SoundFile();
    ~SoundFile();
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    // Opens the file for reading from its start. Returns null on success, else why it
    // cannot be played, in a few words. Called once.
    const char* open(const std::string& fileName);

    sf::Uint64 frameCount() const;
    unsigned int sampleRate() const;
    unsigned int channelCount() const;

    // Reads up to `frames` frames from the current position into samples, channels
    // interleaved. Returns how many it read: fewer at the end of the file, or where its data
    // ends early (a file cut short while it plays).
    sf::Uint64 read(sf::Int16* samples, sf::Uint64 frames);

    // Moves the current position to the frame, which must not be past the end.
    void seek(sf::Uint64 frame);

private:
    sf::FileInputStream input;
    sf::SoundFileReader* reader; // null until open() succeeds
    sf::SoundFileReader::Info info;
};

} // namespace irrklang

#endif
