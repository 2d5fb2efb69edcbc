#include "Recording.hpp"

#include "support/WaveCapture.hpp"

#include <SFML/Audio/InputSoundFile.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

Recording::Recording(const std::string& path, unsigned rawRate) : sampleRate(rawRate) {
    std::vector<sf::Int16> raw;
    unsigned channels = 2;
    sf::InputSoundFile file;
    if (rawRate > 0) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
        raw.resize(bytes.size() / 4 * 2);
        std::memcpy(raw.data(), bytes.data(), raw.size() * sizeof(sf::Int16));
    } else if (file.openFromFile(path)) {
        sampleRate = file.getSampleRate();
        channels = file.getChannelCount();
        raw.resize(file.getSampleCount());
        raw.resize(file.read(raw.data(), raw.size()));
    }
    samples.assign(raw.size() / channels, 0.0);
    for (std::size_t i = 0; i < samples.size() * channels; ++i)
        samples[i / channels] += raw[i];
}

std::size_t Recording::frames() const {
    return samples.size();
}

unsigned Recording::rate() const {
    return sampleRate;
}

std::size_t Recording::firstSound(std::size_t from) const {
    while (from < samples.size() && samples[from] == 0.0)
        ++from;
    return from;
}

std::size_t Recording::firstSilence(std::size_t from, std::size_t length) const {
    std::size_t run = 0;
    for (std::size_t i = from; i < samples.size(); ++i) {
        run = samples[i] == 0.0 ? run + 1 : 0;
        if (run == length)
            return i + 1 - length;
    }
    return samples.size();
}

void Recording::closeGaps(std::size_t from, std::size_t length) {
    // A resampling server's silence is not always exactly zero.
    const auto quiet = [](double sample) { return std::abs(sample) <= 2 * WaveCapture::silent; };
    std::vector<double> kept(samples.begin(), samples.begin() + static_cast<long>(from));
    std::size_t run = 0;
    for (std::size_t i = from; i < samples.size(); ++i) {
        run = quiet(samples[i]) ? run + 1 : 0;
        kept.push_back(samples[i]);
        if (run == length)
            kept.resize(kept.size() - length);
        else if (run > length)
            kept.pop_back();
    }
    samples.swap(kept);
}

long Recording::locate(const Recording& reference, std::size_t at, std::size_t length, long near,
                       long span, double& correlation) const {
    long best = -1;
    correlation = -1.0;
    for (long start = std::max(0L, near - span); start <= near + span; ++start) {
        if (at + length > samples.size() || start + length > reference.samples.size())
            break;
        double xy = 0.0, xx = 0.0, yy = 0.0;
        for (std::size_t i = 0; i < length; ++i) {
            const double x = samples[at + i];
            const double y = reference.samples[start + i];
            xy += x * y;
            xx += x * x;
            yy += y * y;
        }
        const double c = xx > 0.0 && yy > 0.0 ? xy / std::sqrt(xx * yy) : 0.0;
        if (c > correlation) {
            correlation = c;
            best = start;
        }
    }
    return best;
}
