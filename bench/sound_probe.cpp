// Measures the sound layer for bench/run, through its public interface:
//   bench_sound open FILE
//       the time play2D takes to start FILE (opening, length scan, first buffers);
//       prints "play2d_ms LENGTH_MS"
//   bench_sound seek FILE COUNT
//       the time setPlayPosition takes on the playing sound, for COUNT targets spread
//       over the file; prints one line per seek: "TARGET_MS MICROSECONDS"
//   bench_sound accuracy FILE COUNT [REFERENCE.raw]
//       where a seek lands. A seek to T ms goes to the decoder as the sound layer's stream
//       passes it on: sf::InputSoundFile::seek to frame T * rate / 1000. The samples read after
//       it are looked up in a decode of the whole file from its start (REFERENCE.raw, raw
//       16-bit output of another decoder, when given; else the same reader from the start).
//       Prints one line per target: "TARGET_MS ERROR_FRAMES" (frames are samples per
//       channel; "none" when the samples are not found within a second of the target),
//       then "reference MATCHES/CHECKED" when a reference file was compared with the reader.
// The engine plays through whatever OpenAL Soft is configured to (ALSOFT_CONF).
#include "irrKlang.h"

#include <SFML/Audio/InputSoundFile.hpp>
#include <SFML/System/Sleep.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::micro>(to - from).count();
}

// COUNT targets spread over [0, length), away from both ends, in a fixed scrambled order
// so that successive seeks jump back and forth.
std::vector<unsigned> targets(unsigned lengthMs, unsigned count) {
    std::vector<unsigned> list;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned slot = (i * 7u + 3u) % count;
        list.push_back(static_cast<unsigned>(
            (static_cast<unsigned long long>(lengthMs) * 9u / 10u) * (slot + 1u) / (count + 1u) +
            (i * 37u) % 1000u));
    }
    return list;
}

int open(const char* file) {
    irrklang::ISoundEngine* engine = irrklang::createIrrKlangDevice();
    const Clock::time_point start = Clock::now();
    irrklang::ISound* sound = engine->play2D(file, false, false, true);
    const Clock::time_point started = Clock::now();
    if (sound == nullptr) {
        std::fprintf(stderr, "bench_sound: cannot play %s\n", file);
        return 1;
    }
    std::printf("%.3f %u\n", microseconds(start, started) / 1000.0, sound->getPlayLength());
    sound->drop();
    engine->drop();
    return 0;
}

int seek(const char* file, unsigned count) {
    irrklang::ISoundEngine* engine = irrklang::createIrrKlangDevice();
    irrklang::ISound* sound = engine->play2D(file, false, false, true);
    if (sound == nullptr) {
        std::fprintf(stderr, "bench_sound: cannot play %s\n", file);
        return 1;
    }
    sf::sleep(sf::milliseconds(300));
    for (unsigned target : targets(sound->getPlayLength(), count)) {
        const Clock::time_point start = Clock::now();
        sound->setPlayPosition(target);
        const Clock::time_point done = Clock::now();
        std::printf("%u %.1f\n", target, microseconds(start, done));
        // Lets the stream refill and play a little, as after a click on the bar.
        sf::sleep(sf::milliseconds(60));
    }
    sound->drop();
    engine->drop();
    return 0;
}

// Returns the offset of needle within haystack, or -1.
long find(const std::vector<short>& haystack, const std::vector<short>& needle) {
    const auto at = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
    return at == haystack.end() ? -1 : static_cast<long>(at - haystack.begin());
}

int accuracy(const char* file, unsigned count, const char* referencePath) {
    // Creating the engine registers the MP3 reader with SFML.
    irrklang::ISoundEngine* engine = irrklang::createIrrKlangDevice();
    sf::InputSoundFile whole;
    if (!whole.openFromFile(file)) {
        std::fprintf(stderr, "bench_sound: cannot open %s\n", file);
        return 1;
    }
    const unsigned channels = whole.getChannelCount();
    const unsigned rate = whole.getSampleRate();
    const unsigned lengthMs =
        static_cast<unsigned>(whole.getSampleCount() / channels * 1000u / rate);
    std::vector<unsigned> list = targets(lengthMs, count);
    std::sort(list.begin(), list.end());

    // One pass from the start keeps a window of a second around each exact target frame.
    const std::uint64_t radius = rate; // frames on each side
    const std::uint64_t probe = 4096;  // frames compared after a seek
    std::vector<std::vector<short>> windows(list.size());
    std::vector<std::uint64_t> windowStart(list.size());
    std::vector<short> chunk(65536 * channels);
    std::uint64_t position = 0; // frames read so far
    std::ifstream reference;
    if (referencePath != nullptr)
        reference.open(referencePath, std::ios::binary);
    std::vector<short> referenceChunk(chunk.size());
    unsigned long checked = 0;
    unsigned long matching = 0;
    for (;;) {
        const std::uint64_t got = whole.read(chunk.data(), chunk.size());
        if (got == 0)
            break;
        std::vector<short>* source = &chunk;
        if (reference.is_open()) {
            reference.read(reinterpret_cast<char*>(referenceChunk.data()),
                           static_cast<std::streamsize>(got * sizeof(short)));
            const std::uint64_t have =
                static_cast<std::uint64_t>(reference.gcount()) / sizeof(short);
            checked += have;
            for (std::uint64_t i = 0; i < have; ++i)
                matching += referenceChunk[i] == chunk[i];
            if (have == got)
                source = &referenceChunk;
        }
        const std::uint64_t frames = got / channels;
        for (std::size_t t = 0; t < list.size(); ++t) {
            const std::uint64_t exact = std::uint64_t(list[t]) * rate / 1000u;
            const std::uint64_t from = exact > radius ? exact - radius : 0;
            const std::uint64_t to = exact + radius + probe;
            const std::uint64_t a = std::max(from, position);
            const std::uint64_t b = std::min(to, position + frames);
            if (a >= b)
                continue;
            if (windows[t].empty())
                windowStart[t] = a;
            windows[t].insert(windows[t].end(),
                              source->begin() + static_cast<long>((a - position) * channels),
                              source->begin() + static_cast<long>((b - position) * channels));
        }
        position += frames;
    }

    sf::InputSoundFile seeker;
    seeker.openFromFile(file);
    std::vector<short> after(probe * channels);
    for (std::size_t t = 0; t < list.size(); ++t) {
        const std::uint64_t exact = std::uint64_t(list[t]) * rate / 1000u;
        seeker.seek(exact * channels);
        after.resize(seeker.read(after.data(), probe * channels));
        const long at = find(windows[t], after);
        if (at < 0 || at % static_cast<long>(channels) != 0)
            std::printf("%u none\n", list[t]);
        else
            std::printf(
                "%u %lld\n", list[t],
                static_cast<long long>(windowStart[t] + static_cast<std::uint64_t>(at) / channels) -
                    static_cast<long long>(exact));
        after.resize(probe * channels);
    }
    if (reference.is_open())
        std::printf("reference %lu/%lu\n", matching, checked);
    engine->drop();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 2 ? argv[1] : "";
    if (command == "open")
        return open(argv[2]);
    if (command == "seek" && argc > 3)
        return seek(argv[2], static_cast<unsigned>(std::atoi(argv[3])));
    if (command == "accuracy" && argc > 3)
        return accuracy(argv[2], static_cast<unsigned>(std::atoi(argv[3])),
                        argc > 4 ? argv[4] : nullptr);
    std::fprintf(stderr, "usage: bench_sound open FILE | seek FILE COUNT | accuracy FILE COUNT "
                         "[REFERENCE.raw]\n");
    return 2;
}
