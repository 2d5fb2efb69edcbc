#include "FormatCheck.hpp"

#include "Mp3Reader.hpp"

#include <SFML/System/InputStream.hpp>

#include <cstring>

namespace irrklang {

sf::Int64 afterId3v2(sf::InputStream& stream) {
    unsigned char tag[10];
    if (stream.seek(0) != 0 || stream.read(tag, 10) != 10 || std::memcmp(tag, "ID3", 3) != 0 ||
        (tag[6] | tag[7] | tag[8] | tag[9]) >= 0x80)
        return 0;
    // The size counts what follows the header, in 7-bit bytes; a footer adds 10 more.
    return 10 + ((tag[5] & 0x10) ? 10 : 0) +
           (sf::Int64(tag[6]) << 21 | tag[7] << 14 | tag[8] << 7 | tag[9]);
}

SoundKind soundKind(sf::InputStream& stream) {
    unsigned char head[12];
    if (stream.seek(0) == 0 && stream.read(head, 12) == 12) {
        if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0)
            return SoundKind::wav;
        if (std::memcmp(head, "OggS", 4) == 0)
            return SoundKind::ogg;
    }
    const sf::Int64 start = afterId3v2(stream);
    if (stream.seek(start) == start && stream.read(head, 4) == 4 &&
        std::memcmp(head, "fLaC", 4) == 0)
        return SoundKind::flac;
    return Mp3Reader::check(stream) ? SoundKind::mp3 : SoundKind::none;
}

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
    // OpenAL plays 16-bit mono, stereo, quad, 5.1, 6.1 and 7.1; rates above 384 kHz are no
    // sound files.
    const bool layout =
        channels == 1 || channels == 2 || channels == 4 || (channels >= 6 && channels <= 8);
    return layout && rate >= 1 && rate <= 384000;
}

} // namespace irrklang
