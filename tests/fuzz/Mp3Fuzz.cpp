// Feeds arbitrary bytes through the sound layer's file path as SFML drives it: the MP3
// reader's content check, opening (which scans the whole stream for its exact length),
// decoding (never more than announced), and seeks to the start, the middle, the end and a
// place the input picks; then the same bytes through SFML's own choice of reader after the
// engine's format checks, as the player opens its song; and the same bytes through the tag
// reader, whose text must be valid UTF-8.
#include <FormatCheck.hpp>
#include <Mp3Reader.hpp>
#include <TagReader.hpp>

#include <SFML/Audio/InputSoundFile.hpp>
#include <SFML/System/Err.hpp>
#include <SFML/System/MemoryInputStream.hpp>

#include <codecvt>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <locale>
#include <string>
#include <vector>

namespace {

// Reads up to limit samples in quarter-second blocks, as far as they come, and stops the
// program if the reader fills more than it is given, delivers part of a frame (OpenAL takes
// whole frames only) or goes past the count it announced.
void decode(irrklang::Mp3Reader& reader, const sf::SoundFileReader::Info& info, sf::Uint64 from,
            sf::Uint64 limit) {
    std::vector<sf::Int16> block((info.sampleRate / 4 + 1) * info.channelCount);
    for (sf::Uint64 total = 0; total < limit;) {
        const sf::Uint64 count = reader.read(block.data(), block.size());
        if (count > block.size() || count % info.channelCount != 0 ||
            from + total + count > info.sampleCount)
            std::abort();
        if (count == 0)
            break;
        total += count;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Text that is not UTF-8 throws (and stops the program); surrogates are let through by the
    // converter, so they are looked for.
    const irrklang::TagReader tags(data, size);
    std::wstring_convert<std::codecvt_utf8<char32_t>, char32_t> utf8;
    for (const std::string* text : {&tags.title(), &tags.artist(), &tags.album()})
        for (const char32_t c : utf8.from_bytes(*text))
            if (c >= 0xd800 && c <= 0xdfff)
                std::abort();

    irrklang::Mp3Reader::registerOnce();
    static std::streambuf* const quiet = sf::err().rdbuf(nullptr); // SFML's complaints
    (void)quiet;

    sf::MemoryInputStream stream;
    stream.open(data, size);
    // SFML rewinds the stream between the check and the opening, and opens only what the
    // check takes.
    if (irrklang::Mp3Reader::check(stream) && stream.seek(0) == 0) {
        irrklang::Mp3Reader reader;
        sf::SoundFileReader::Info info{};
        if (reader.open(stream, info) && info.channelCount > 0 && info.sampleRate > 0) {
            const sf::Uint64 samples = info.sampleCount;
            const sf::Uint64 channels = info.channelCount;
            decode(reader, info, 0, 1 << 20);
            // A place picked by the input's last bytes. SFML 2.5 seeks within frames too (to
            // a time's sample count rounded down), and the reader goes to the frame's start.
            sf::Uint64 picked = 0;
            for (std::size_t i = size > 8 ? size - 8 : 0; i < size; ++i)
                picked = picked << 8 | data[i];
            for (const sf::Uint64 target :
                 {samples / 2, samples - 1, sf::Uint64(0), samples, picked % (samples + 1)}) {
                reader.seek(target);
                decode(reader, info, target / channels * channels, 4 * info.sampleRate * channels);
            }
        }
    }

    sf::MemoryInputStream again;
    again.open(data, size);
    if (!irrklang::wavChunksInOrder(again))
        return 0;
    sf::InputSoundFile file;
    if (file.openFromMemory(data, size) &&
        irrklang::formatPlayable(file.getChannelCount(), file.getSampleRate())) {
        std::vector<sf::Int16> block(4096 * file.getChannelCount());
        file.seek(file.getSampleCount() / 3);
        while (file.read(block.data(), block.size()) == block.size() &&
               file.getSampleOffset() < file.getSampleCount())
            ;
    }
    return 0;
}
