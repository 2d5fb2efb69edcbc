// Reads MP3 (MPEG-1, -2 and -2.5 audio, layers I to III) for SFML's audio module through
// libmpg123. SFML creates one reader per opened file, picked by the static check on the
// file's content, and deletes it with the file; registerOnce() makes SFML know the reader.
// Decoding is gapless and the stream is scanned at opening, so lengths are exact and
// seeks land on the requested sample. Output is 16-bit at the file's rate and channels.
#ifndef BRASKO_MP3READER_HPP
#define BRASKO_MP3READER_HPP

#include <SFML/Audio/SoundFileReader.hpp>
#include <mpg123.h>

namespace irrklang {

class Mp3Reader : public sf::SoundFileReader {
public:
    // Registers the reader with SFML and initialises libmpg123, the first time only.
    static void registerOnce();

    // Returns true iff the stream starts, after an optional ID3v2 tag, with three
    // consecutive valid MPEG audio frame headers of the same kind; free-format frames, whose
    // headers give no bitrate, are measured by the distance to the next header.
    static bool check(sf::InputStream& stream);

    Mp3Reader();
    ~Mp3Reader() override;
    Mp3Reader(const Mp3Reader&) = delete;
    Mp3Reader& operator=(const Mp3Reader&) = delete;

    // Returns true iff the stream holds at least one decodable sample.
    bool open(sf::InputStream& stream, Info& info) override;
    void seek(sf::Uint64 sampleOffset) override;
    // Never delivers samples past the count open() announced.
    sf::Uint64 read(sf::Int16* samples, sf::Uint64 maxCount) override;

private:
    // Returns true iff the decoder still delivers the format announced by open().
    bool formatUnchanged();

    mpg123_handle* handle;
    long rate;
    int channels;
    sf::Uint64 sampleCount; // as announced by open()
    sf::Uint64 offset;      // of the next sample read() delivers
};

} // namespace irrklang

#endif
