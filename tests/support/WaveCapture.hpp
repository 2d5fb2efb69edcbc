// A program's sound output as OpenAL Soft's wave writer leaves it, read while the file grows:
// the tests point the program at a writer configuration (config()) and listen to the file.
// Or a raw recording of the same format, as parec makes of a sound server's output.
// Positions are frames (one 16-bit sample per channel, stereo) from the start of the data.
#ifndef BRASKO_TESTS_WAVECAPTURE_HPP
#define BRASKO_TESTS_WAVECAPTURE_HPP

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class WaveCapture {
public:
    static constexpr std::size_t rate = 44100;
    // The writer dithers: silence reads as -1, 0 or +1. The tests' songs peak near 16000.
    static constexpr int silent = 16;
    static constexpr int loud = 1000;

    // raw: the file has no header, only samples.
    explicit WaveCapture(std::filesystem::path file, bool raw = false);

    // The OpenAL Soft configuration that writes the output, 44.1 kHz stereo, to the file.
    std::string config() const;

    const std::filesystem::path& path() const;

    // How many frames have been written so far.
    std::size_t frames() const;

    // The largest sample value in frames first..last-1 (as far as written).
    int loudest(std::size_t first, std::size_t last) const;

    // The first frame at or after first that is loud, if any yet.
    std::optional<std::size_t> soundAfter(std::size_t first) const;

    // The first frame at or after first that starts at least length frames of silence, if any yet.
    std::optional<std::size_t> silenceAfter(std::size_t first, std::size_t length) const;

private:
    // Where the data begins in the file, if the header has been written.
    std::optional<std::size_t> dataStart() const;
    // The largest absolute value of the two channels of each frame from first on.
    std::vector<int> levels(std::size_t first, std::size_t last) const;

    std::filesystem::path file;
    bool raw;
};

#endif
