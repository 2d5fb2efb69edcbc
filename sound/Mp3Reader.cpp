#include "Mp3Reader.hpp"

#include "FormatCheck.hpp"

#include <SFML/Audio/SoundFileFactory.hpp>
#include <SFML/System/InputStream.hpp>

#include <algorithm>
#include <cstdio>

namespace irrklang {

namespace {

// Returns true iff h is a valid MPEG audio frame header, of a known or a free bitrate.
bool frameHeader(const unsigned char* h) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return false;
    const int version = (h[1] >> 3) & 3; // 1 is reserved
    const int layer = (h[1] >> 1) & 3;   // 0 is reserved
    return version != 1 && layer != 0 && (h[2] >> 4) != 15 && ((h[2] >> 2) & 3) != 3 &&
           (h[3] & 3) != 2;
}

// Returns the padding in bytes of the frame whose header starts at h.
int padding(const unsigned char* h) {
    const bool layer1 = ((h[1] >> 1) & 3) == 3;
    return ((h[2] >> 1) & 1) * (layer1 ? 4 : 1);
}

// Returns the length in bytes of the frame whose header starts at h, or 0 if h is no
// valid MPEG audio frame header or a free-format one (whose length the header lacks).
int frameLength(const unsigned char* h) {
    static const short kbps[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const int rates[3] = {44100, 48000, 32000};
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return 0;
    const int version = (h[1] >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5, 1: reserved
    const int layer = 4 - ((h[1] >> 1) & 3);
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layer == 4 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3 ||
        (h[3] & 3) == 2)
        return 0;
    const bool mpeg1 = version == 3;
    const int rate = rates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int bitrate = kbps[mpeg1 ? 0 : 1][layer - 1][bitrateIndex] * 1000;
    const int padding = (h[2] >> 1) & 1;
    if (layer == 1)
        return (12 * bitrate / rate + padding) * 4;
    return (layer == 3 && !mpeg1 ? 72 : 144) * bitrate / rate + padding;
}

// Returns true iff headers a and b have the same version, layer and sample rate.
bool sameKind(const unsigned char* a, const unsigned char* b) {
    return (a[1] & 0xFE) == (b[1] & 0xFE) && (a[2] & 0x0C) == (b[2] & 0x0C);
}

// The largest free-format frame libmpg123 decodes.
const int freeFrameLimit = 2880;

// Returns true iff a free-format frame header starts at first and is followed by two more
// of the same kind and bitrate: the second found by searching, the third where the length
// the first two give puts it. Searches up to end.
bool freeFormatRun(const unsigned char* first, const unsigned char* end) {
    if (!frameHeader(first) || (first[2] >> 4) != 0)
        return false;
    for (const unsigned char* second = first + 4;
         second + 4 <= end && second - first <= freeFrameLimit; ++second) {
        if (!frameHeader(second) || !sameKind(first, second) || (second[2] >> 4) != 0)
            continue;
        // Frames of one stream differ in length by their padding alone.
        const unsigned char* third = second + (second - first) - padding(first) + padding(second);
        if (third + 4 <= end && frameHeader(third) && sameKind(first, third) &&
            (third[2] >> 4) == 0)
            return true;
    }
    return false;
}

mpg123_ssize_t readStream(void* stream, void* buffer, size_t bytes) {
    const sf::Int64 count =
        static_cast<sf::InputStream*>(stream)->read(buffer, static_cast<sf::Int64>(bytes));
    return count < 0 ? -1 : static_cast<mpg123_ssize_t>(count);
}

off_t seekStream(void* stream, off_t offset, int whence) {
    sf::InputStream& input = *static_cast<sf::InputStream*>(stream);
    const sf::Int64 base = whence == SEEK_CUR   ? input.tell()
                           : whence == SEEK_END ? input.getSize()
                                                : 0;
    if (base < 0)
        return -1;
    return static_cast<off_t>(input.seek(base + offset));
}

} // namespace

void Mp3Reader::registerOnce() {
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    mpg123_init(); // a no-op since libmpg123 1.27, needed before
    sf::SoundFileFactory::registerReader<Mp3Reader>();
}

bool Mp3Reader::check(sf::InputStream& stream) {
    const sf::Int64 start = afterId3v2(stream);
    if (stream.seek(start) != start)
        return false;

    // Some padding may come before the first frame; three frames take at most 3 * 2881 bytes.
    const int window = 4096;
    unsigned char data[window + 3 * 2881 + 4];
    const sf::Int64 size = stream.read(data, sizeof data);
    for (int p = 0; p + 4 <= size && p < window; ++p) {
        const unsigned char* first = data + p;
        if (freeFormatRun(first, data + size))
            return true;
        const int length1 = frameLength(first);
        if (length1 == 0 || p + length1 + 4 > size)
            continue;
        const unsigned char* second = first + length1;
        const int length2 = frameLength(second);
        if (length2 == 0 || !sameKind(first, second) || p + length1 + length2 + 4 > size)
            continue;
        const unsigned char* third = second + length2;
        if (frameLength(third) != 0 && sameKind(first, third))
            return true;
    }
    return false;
}

Mp3Reader::Mp3Reader()
    : handle(mpg123_new(nullptr, nullptr)), rate(0), channels(0), sampleCount(0), offset(0) {
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // 16-bit output at whatever rate and channel count the file has.
    mpg123_format_none(handle);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
}

Mp3Reader::~Mp3Reader() {
    mpg123_close(handle);
    mpg123_delete(handle);
}

bool Mp3Reader::open(sf::InputStream& stream, Info& info) {
    int encoding = 0;
    if (mpg123_replace_reader_handle(handle, readStream, seekStream, nullptr) != MPG123_OK ||
        mpg123_open_handle(handle, &stream) != MPG123_OK ||
        mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK)
        return false;
    // Later frames of another kind are converted to the first one's format, which SFML
    // cannot change while streaming.
    mpg123_format_none(handle);
    if (mpg123_format(handle, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) != MPG123_OK)
        return false;
    // Without a full scan, a VBR file lacking an info tag has its length guessed from the
    // first frames' bitrate, seconds off.
    if (mpg123_scan(handle) != MPG123_OK)
        return false;
    const off_t frames = mpg123_length(handle);
    if (frames <= 0)
        return false;
    sampleCount = static_cast<sf::Uint64>(frames) * static_cast<sf::Uint64>(channels);
    info.sampleCount = sampleCount;
    info.channelCount = static_cast<unsigned int>(channels);
    info.sampleRate = static_cast<unsigned int>(rate);
    return true;
}

void Mp3Reader::seek(sf::Uint64 sampleOffset) {
    // SFML 2.5 passes offsets within a frame too; the decoder goes to the frame's start.
    // A seek past the end fails and leaves the decoder where it was; reads then deliver
    // nothing, which ends the stream as SFML expects.
    const sf::Uint64 frame = sampleOffset / static_cast<sf::Uint64>(channels);
    mpg123_seek(handle, static_cast<off_t>(frame), SEEK_SET);
    offset = frame * static_cast<sf::Uint64>(channels);
}

sf::Uint64 Mp3Reader::read(sf::Int16* samples, sf::Uint64 maxCount) {
    // A stream whose frames change kind is converted to the first kind's rate, and then
    // yields more samples than the scan counted: they would play past the length the engine
    // reports, so they are left out.
    maxCount = offset < sampleCount ? std::min(maxCount, sampleCount - offset) : 0;
    sf::Uint64 count = 0;
    while (count < maxCount) {
        size_t bytes = 0;
        const int status =
            mpg123_read(handle, samples + count, (maxCount - count) * sizeof(sf::Int16), &bytes);
        count += bytes / sizeof(sf::Int16);
        if (status == MPG123_NEW_FORMAT && formatUnchanged())
            continue;
        // MPG123_DONE, a format SFML cannot follow, or a decoding error: the stream ends
        // here. MPG123_OK without progress would loop forever.
        if (status != MPG123_OK || bytes == 0)
            break;
    }
    offset += count;
    return count;
}

bool Mp3Reader::formatUnchanged() {
    long newRate = 0;
    int newChannels = 0;
    int encoding = 0;
    return mpg123_getformat(handle, &newRate, &newChannels, &encoding) == MPG123_OK &&
           newRate == rate && newChannels == channels && encoding == MPG123_ENC_SIGNED_16;
}

} // namespace irrklang
