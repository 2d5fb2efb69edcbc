// A sound file loaded whole for comparisons: the reference decodes made by the mpg123
// program and what OpenAL Soft's wave writer captured of the output. Channels are summed
// into one, which keeps every comparison indifferent to how the mixer spread them.
#ifndef BRASKO_TESTS_RECORDING_HPP
#define BRASKO_TESTS_RECORDING_HPP

#include <cstddef>
#include <string>
#include <vector>

class Recording {
public:
    // Loads the file through SFML; the recording is empty if that fails. Given a rate, loads
    // it as raw 16-bit stereo frames at that rate instead, as far as it is written.
    explicit Recording(const std::string& path, unsigned rawRate = 0);

    std::size_t frames() const;
    unsigned rate() const;

    // Returns the first frame at or after from that is not digital silence, or frames().
    std::size_t firstSound(std::size_t from) const;

    // Returns the first frame at or after from that starts a run of at least length frames
    // of digital silence, or frames().
    std::size_t firstSilence(std::size_t from, std::size_t length) const;

    // Takes out every run of at least length frames of silence that comes after frame `from`,
    // closing the gaps that an output which ran dry left between the sounds.
    void closeGaps(std::size_t from, std::size_t length);

    // Returns the frame of reference, within span of near, where the length frames of this
    // recording that start at `at` are found best; correlation gets how well (1: exactly,
    // up to the gain).
    long locate(const Recording& reference, std::size_t at, std::size_t length, long near,
                long span, double& correlation) const;

private:
    std::vector<double> samples;
    unsigned sampleRate;
};

#endif
