#include "SoundFile.hpp"

#include "FormatCheck.hpp"
#include "Mp3Reader.hpp"

#include <SFML/Audio/SoundFileFactory.hpp>
#include <SFML/System/Err.hpp>
#include <SFML/System/MemoryInputStream.hpp>

#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace irrklang {

namespace {

// How much of a WAV or Ogg file SFML's readers get to look at when one of them is chosen.
// SFML asks its FLAC reader first, which searches whatever it is given for a FLAC frame:
// through a whole file of silence, gigabytes at a few seconds each. A WAV header is 44
// bytes; Ogg's three Vorbis headers fit in a few kilobytes unless a picture is embedded.
const sf::Int64 headerWindow = 1 << 20;

// Returns a reader of SFML's that takes the first bytes of input, or null.
sf::SoundFileReader* readerForStartOf(sf::InputStream& input) {
    std::vector<char> start(static_cast<std::size_t>(std::min(input.getSize(), headerWindow)));
    if (input.seek(0) != 0 || input.read(start.data(), static_cast<sf::Int64>(start.size())) !=
                                  static_cast<sf::Int64>(start.size()))
        return nullptr;
    sf::MemoryInputStream window;
    window.open(start.data(), start.size());
    return sf::SoundFileFactory::createReaderFromStream(window);
}

} // namespace

SoundFile::SoundFile() : input(), reader(nullptr), info() {}

SoundFile::~SoundFile() {
    delete reader;
}

const char* SoundFile::open(const std::string& fileName) {
    // stat() follows links and never opens: a named pipe would block open() until a writer
    // comes, which may be never.
    struct stat status {};
    if (stat(fileName.c_str(), &status) != 0)
        return "file not found";
    if (S_ISDIR(status.st_mode))
        return "is a directory";
    if (!S_ISREG(status.st_mode))
        return "not a regular file";
    if (status.st_size == 0)
        return "empty file";
    if (!input.open(fileName))
        return "cannot be read";
    if (!wavChunksInOrder(input))
        return "not a supported sound format";

    // SFML explains its failures on sf::err(); the engine reports ours in one line instead.
    std::streambuf* chatter = sf::err().rdbuf(nullptr);
    switch (soundKind(input)) {
    case SoundKind::mp3:
        reader = new Mp3Reader;
        break;
    case SoundKind::flac:
        // FLAC's own check reads the metadata blocks, each as long as it says.
        input.seek(0);
        reader = sf::SoundFileFactory::createReaderFromStream(input);
        break;
    case SoundKind::wav:
    case SoundKind::ogg:
        reader = readerForStartOf(input);
        break;
    case SoundKind::none:
        break;
    }
    const bool opened = reader != nullptr && input.seek(0) == 0 && reader->open(input, info);
    sf::err().rdbuf(chatter);
    if (!opened || info.sampleCount == 0 || !formatPlayable(info.channelCount, info.sampleRate)) {
        delete reader;
        reader = nullptr;
        return "not a supported sound format";
    }
    return nullptr;
}

sf::Uint64 SoundFile::frameCount() const {
    return reader != nullptr ? info.sampleCount / info.channelCount : 0;
}

unsigned int SoundFile::sampleRate() const {
    return info.sampleRate;
}

unsigned int SoundFile::channelCount() const {
    return info.channelCount;
}

sf::Uint64 SoundFile::read(sf::Int16* samples, sf::Uint64 frames) {
    if (reader == nullptr)
        return 0;
    return reader->read(samples, frames * info.channelCount) / info.channelCount;
}

void SoundFile::seek(sf::Uint64 frame) {
    if (reader != nullptr)
        reader->seek(std::min(frame, frameCount()) * info.channelCount);
}

} // namespace irrklang
