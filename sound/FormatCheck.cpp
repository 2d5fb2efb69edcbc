#include "FormatCheck.hpp"

#include <SFML/Audio/InputSoundFile.hpp>
#include <SFML/System/InputStream.hpp>

#include <cstring>

namespace irrklang {

bool wavChunksInOrder(sf::InputStream& stream) {
    unsigned char riff[12];
    if (stream.seek(0) != 0 || stream.read(riff, 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return true;
    // SFML skips unknown chunks by their size alone, without the pad byte of odd sizes.
    unsigned char chunk[8];
    while (stream.read(chunk, 8) == 8) {
        if (std::memcmp(chunk, "fmt ", 4) == 0)
            return true;
        if (std::memcmp(chunk, "data", 4) == 0)
            return false;
        const sf::Int64 size =
            chunk[4] | chunk[5] << 8 | chunk[6] << 16 | sf::Int64(chunk[7]) << 24;
        const sf::Int64 next = stream.tell() + size;
        if (stream.seek(next) != next)
            return true; // SFML fails on its own here, safely
    }
    return true;
}

bool formatPlayable(unsigned int channels, unsigned int rate) {
    // OpenAL Soft plays up to 8 channels (7.1); rates above 384 kHz are no sound files.
    return channels >= 1 && channels <= 8 && rate >= 1 && rate <= 384000;
}

bool openPlayable(sf::InputSoundFile& file, const std::string& fileName) {
    return file.openFromFile(fileName) && file.getSampleCount() > 0 &&
           formatPlayable(file.getChannelCount(), file.getSampleRate());
}

} // namespace irrklang
