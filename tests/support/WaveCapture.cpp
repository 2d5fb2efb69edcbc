#include "support/WaveCapture.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>

WaveCapture::WaveCapture(std::filesystem::path file, bool raw) : file(std::move(file)), raw(raw) {}

std::string WaveCapture::config() const {
    return "[general]\ndrivers = wave\nfrequency = 44100\nchannels = stereo\n"
           "sample-type = int16\n[wave]\nfile = " +
           file.string() + "\n";
}

const std::filesystem::path& WaveCapture::path() const { return file; }

std::optional<std::size_t> WaveCapture::dataStart() const {
    if (raw)
        return std::filesystem::exists(file) ? std::optional<std::size_t>(0) : std::nullopt;
    std::ifstream in(file, std::ios::binary);
    unsigned char head[256] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const std::size_t got = static_cast<std::size_t>(in.gcount());
    if (got < 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
        return std::nullopt;
    for (std::size_t at = 12; at + 8 <= got;) {
        const std::size_t size = head[at + 4] | head[at + 5] << 8 | head[at + 6] << 16 |
                                 static_cast<std::size_t>(head[at + 7]) << 24;
        if (std::memcmp(head + at, "data", 4) == 0)
            return at + 8;
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

std::size_t WaveCapture::frames() const {
    const std::optional<std::size_t> start = dataStart();
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!start || error || size < *start)
        return 0;
    return static_cast<std::size_t>(size - *start) / 4;
}

std::vector<int> WaveCapture::levels(std::size_t first, std::size_t last) const {
    std::vector<int> result;
    const std::optional<std::size_t> start = dataStart();
    if (!start || last <= first)
        return result;
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(*start + 4 * first));
    std::vector<unsigned char> raw(4 * (last - first));
    in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
    const std::size_t count = static_cast<std::size_t>(in.gcount()) / 4;
    result.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* frame = raw.data() + 4 * i;
        const int left = static_cast<std::int16_t>(frame[0] | frame[1] << 8);
        const int right = static_cast<std::int16_t>(frame[2] | frame[3] << 8);
        result.push_back(std::max(std::abs(left), std::abs(right)));
    }
    return result;
}

int WaveCapture::loudest(std::size_t first, std::size_t last) const {
    const std::vector<int> level = levels(first, last);
    return level.empty() ? 0 : *std::max_element(level.begin(), level.end());
}

std::optional<std::size_t> WaveCapture::soundAfter(std::size_t first) const {
    const std::vector<int> level = levels(first, frames());
    for (std::size_t i = 0; i < level.size(); ++i)
        if (level[i] > loud)
            return first + i;
    return std::nullopt;
}

std::optional<std::size_t> WaveCapture::silenceAfter(std::size_t first, std::size_t length) const {
    const std::vector<int> level = levels(first, frames());
    std::size_t quiet = 0;
    for (std::size_t i = 0; i < level.size(); ++i) {
        quiet = level[i] > silent ? 0 : quiet + 1;
        if (quiet >= length)
            return first + i + 1 - quiet;
    }
    return std::nullopt;
}
