#include "TagReader.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace irrklang {

namespace {

using Bytes = std::vector<unsigned char>;

// How much of a file's start is read: enough for FLAC's and Ogg's comments, and for an ID3v2
// tag up to the most that is read of one (a tag holds cover art too, usually after the text).
const std::size_t headBytes = std::size_t(256) * 1024;
const std::size_t largestId3v2 = std::size_t(16) * 1024 * 1024;
const std::size_t id3v1Bytes = 128;

std::uint32_t bigEndian(const unsigned char* p, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | p[i];
    return value;
}

std::uint32_t littleEndian32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// A 28-bit ID3v2 size in four bytes of seven bits each.
std::uint32_t syncsafe(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0] & 0x7f) << 21 |
           static_cast<std::uint32_t>(p[1] & 0x7f) << 14 |
           static_cast<std::uint32_t>(p[2] & 0x7f) << 7 | (p[3] & 0x7f);
}

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xc0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xe0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3f));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    }
}

const std::uint32_t replacement = 0xfffd;

// Text up to its first NUL, or its end without one.
std::string fromLatin1(const unsigned char* p, std::size_t size) {
    std::string out;
    for (std::size_t i = 0; i < size && p[i] != 0; ++i)
        appendUtf8(out, p[i]);
    return out;
}

std::string fromUtf8(const unsigned char* p, std::size_t size) {
    std::string out;
    std::size_t i = 0;
    while (i < size && p[i] != 0) {
        const unsigned char lead = p[i];
        const std::size_t length = lead < 0x80                    ? 1
                                   : lead >= 0xc2 && lead <= 0xdf ? 2
                                   : lead >= 0xe0 && lead <= 0xef ? 3
                                   : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                                  : 0;
        bool valid = length > 0 && length <= size - i;
        std::uint32_t c = valid ? lead & (0xff >> (length + 1)) : 0;
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (p[i + k] & 0xc0) == 0x80;
            c = c << 6 | (p[i + k] & 0x3f);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        if (valid && length == 3)
            valid = c >= 0x800 && (c < 0xd800 || c > 0xdfff);
        if (valid && length == 4)
            valid = c >= 0x10000 && c <= 0x10ffff;
        if (valid) {
            out.append(reinterpret_cast<const char*>(p + i), length);
            i += length;
        } else {
            appendUtf8(out, replacement);
            ++i;
        }
    }
    return out;
}

// UTF-16 up to its first NUL unit; an unpaired surrogate becomes U+FFFD, an odd last byte is
// dropped.
std::string fromUtf16(const unsigned char* p, std::size_t size, bool big) {
    const auto unit = [p, big](std::size_t i) {
        return static_cast<std::uint32_t>(big ? p[i] << 8 | p[i + 1] : p[i + 1] << 8 | p[i]);
    };
    std::string out;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::uint32_t first = unit(i);
        if (first == 0)
            break;
        if (first < 0xd800 || first > 0xdfff) {
            appendUtf8(out, first);
            continue;
        }
        const std::uint32_t second = first < 0xdc00 && i + 3 < size ? unit(i + 2) : 0;
        if (second >= 0xdc00 && second <= 0xdfff) {
            appendUtf8(out, 0x10000 + ((first - 0xd800) << 10) + (second - 0xdc00));
            i += 2;
        } else {
            appendUtf8(out, replacement);
        }
    }
    return out;
}

// An ID3v2 text frame's first string, by the encoding its first byte names.
std::string id3Text(const Bytes& frame) {
    if (frame.empty())
        return std::string();
    const unsigned char* text = frame.data() + 1;
    std::size_t size = frame.size() - 1;
    switch (frame[0]) {
    case 0:
        return fromLatin1(text, size);
    case 1: {
        // A byte order mark first; without one, little-endian as most taggers write it.
        const bool big = size >= 2 && text[0] == 0xfe && text[1] == 0xff;
        if (size >= 2 && (big || (text[0] == 0xff && text[1] == 0xfe))) {
            text += 2;
            size -= 2;
        }
        return fromUtf16(text, size, big);
    }
    case 2:
        return fromUtf16(text, size, true);
    case 3:
        return fromUtf8(text, size);
    default:
        return std::string();
    }
}

// Undoes unsynchronisation: a zero byte put after every 0xFF.
Bytes resynchronised(const Bytes& bytes) {
    Bytes out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == 0xff && i + 1 < bytes.size() && bytes[i + 1] == 0)
            ++i;
    }
    return out;
}

// Returns true iff a frame of size bytes from at ends inside the tag where another frame's id,
// the padding or the tag's end begins.
bool endsAtFrame(const Bytes& tag, std::size_t at, std::size_t size, std::size_t idSize) {
    if (size > tag.size() - at)
        return false;
    const std::size_t end = at + size;
    if (end == tag.size() || tag[end] == 0)
        return true;
    if (idSize > tag.size() - end)
        return false;
    return std::all_of(
        tag.begin() + static_cast<std::ptrdiff_t>(end),
        tag.begin() + static_cast<std::ptrdiff_t>(end + idSize),
        [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace

TagReader::TagReader(const std::string& path) : titleText(), artistText(), albumText() {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return;
    Bytes head(10);
    file.read(reinterpret_cast<char*>(head.data()), 10);
    if (file.gcount() < 10)
        return; // too short to hold any tag
    std::size_t wanted = headBytes;
    if (std::memcmp(head.data(), "ID3", 3) == 0)
        wanted = std::min(largestId3v2, std::max(wanted, 10 + syncsafe(&head[6]) + headBytes));
    head.resize(wanted);
    file.read(reinterpret_cast<char*>(head.data() + 10), static_cast<std::streamsize>(wanted - 10));
    head.resize(10 + static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    file.clear();
    readHead(head.data(), head.size());

    Bytes tail(id3v1Bytes);
    file.seekg(-static_cast<std::streamoff>(id3v1Bytes), std::ios::end);
    file.read(reinterpret_cast<char*>(tail.data()), static_cast<std::streamsize>(id3v1Bytes));
    if (file.gcount() == static_cast<std::streamsize>(id3v1Bytes))
        readId3v1(tail.data(), tail.size());
}

TagReader::TagReader(const unsigned char* data, std::size_t size)
    : titleText(), artistText(), albumText() {
    readHead(data, size);
    if (size >= id3v1Bytes)
        readId3v1(data + size - id3v1Bytes, id3v1Bytes);
}

const std::string& TagReader::title() const {
    return titleText;
}

const std::string& TagReader::artist() const {
    return artistText;
}

const std::string& TagReader::album() const {
    return albumText;
}

std::string TagReader::utf8(const std::string& bytes) {
    return fromUtf8(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

void TagReader::readHead(const unsigned char* data, std::size_t size) {
    // A FLAC file may start with an ID3v2 tag too.
    const std::size_t tag = std::min(readId3v2(data, size), size);
    if (size - tag >= 4 && std::memcmp(data + tag, "fLaC", 4) == 0)
        readFlac(data + tag + 4, size - tag - 4);
    else if (size >= 4 && std::memcmp(data, "OggS", 4) == 0)
        readOgg(data, size);
}

void TagReader::readId3v1(const unsigned char* data, std::size_t size) {
    if (size < id3v1Bytes || std::memcmp(data, "TAG", 3) != 0)
        return;
    // Fixed fields of 30 bytes, padded with NULs or spaces.
    const struct {
        std::string* field;
        std::size_t at;
    } fields[] = {{&titleText, 3}, {&artistText, 33}, {&albumText, 63}};
    for (const auto& f : fields) {
        std::string text = fromLatin1(data + f.at, 30);
        text.erase(text.find_last_not_of(' ') + 1);
        if (f.field->empty())
            *f.field = text;
    }
}

std::size_t TagReader::readId3v2(const unsigned char* data, std::size_t size) {
    if (size < 10 || std::memcmp(data, "ID3", 3) != 0)
        return 0;
    const unsigned version = data[3];
    const unsigned flags = data[5];
    if (version < 2 || version > 4 || ((data[6] | data[7] | data[8] | data[9]) & 0x80) != 0)
        return 0;
    const std::size_t declared = 10 + syncsafe(data + 6) + (version == 4 && flags & 0x10 ? 10 : 0);
    // Version 2.2's compression has no scheme defined: such a tag cannot be read.
    if (version == 2 && flags & 0x40)
        return declared;
    const std::size_t available = std::min<std::size_t>(syncsafe(data + 6), size - 10);
    Bytes body(data + 10, data + 10 + available);
    // Before 2.4 the whole tag is unsynchronised at once; in 2.4 each frame is.
    if (version < 4 && flags & 0x80)
        body = resynchronised(body);

    std::size_t at = 0;
    if (version > 2 && flags & 0x40) {
        if (body.size() < 4)
            return declared;
        // Version 2.3 counts the extended header without its size field, 2.4 with it.
        const std::size_t extended =
            version == 3 ? std::size_t(bigEndian(body.data(), 4)) + 4 : syncsafe(body.data());
        if (extended > body.size())
            return declared;
        at = extended;
    }
    const std::size_t idSize = version == 2 ? 3 : 4;
    const std::size_t headerSize = version == 2 ? 6 : 10;
    while (body.size() - at >= headerSize && body[at] != 0) {
        const unsigned char* header = body.data() + at;
        std::size_t frameSize = version == 2   ? bigEndian(header + 3, 3)
                                : version == 3 ? bigEndian(header + 4, 4)
                                               : syncsafe(header + 4);
        at += headerSize;
        // Some taggers wrote 2.4's sizes as plain numbers, as in 2.3: read so when a byte has
        // its top bit set, or when only that reading ends the frame where another one, the
        // padding or the tag's end begins.
        const bool plain =
            version == 4 && (((header[4] | header[5] | header[6] | header[7]) & 0x80) != 0 ||
                             (!endsAtFrame(body, at, frameSize, idSize) &&
                              endsAtFrame(body, at, bigEndian(header + 4, 4), idSize)));
        if (plain)
            frameSize = bigEndian(header + 4, 4);
        if (frameSize > body.size() - at)
            break;
        const std::string id(reinterpret_cast<const char*>(header), idSize);
        Bytes frame(body.begin() + static_cast<std::ptrdiff_t>(at),
                    body.begin() + static_cast<std::ptrdiff_t>(at + frameSize));
        at += frameSize;
        // Compressed and encrypted frames are skipped; a group byte and a data length are
        // dropped.
        const unsigned format = version == 2 ? 0 : header[9];
        std::size_t extra = 0;
        bool unsynchronised = false;
        if (version == 3) {
            if (format & 0xc0)
                continue;
            extra = format & 0x20 ? 1 : 0;
        } else if (version == 4) {
            if (format & 0x0c)
                continue;
            extra = (format & 0x40 ? 1 : 0) + (format & 0x01 ? 4 : 0);
            unsynchronised = (format & 0x02) != 0 || (flags & 0x80) != 0;
        }
        if (extra > frame.size())
            continue;
        frame.erase(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(extra));
        std::string* target = field(id);
        if (target != nullptr && target->empty())
            *target = id3Text(unsynchronised ? resynchronised(frame) : frame);
    }
    return declared;
}

void TagReader::readFlac(const unsigned char* data, std::size_t size) {
    // Metadata blocks: a byte of last-block flag and type, a 24-bit length, the content.
    std::size_t at = 0;
    while (size - at >= 4) {
        const unsigned type = data[at] & 0x7f;
        const bool last = (data[at] & 0x80) != 0;
        const std::size_t length = bigEndian(data + at + 1, 3);
        at += 4;
        if (type == 4) {
            readComments(data + at, std::min(length, size - at));
            return;
        }
        if (last || length > size - at)
            return;
        at += length;
    }
}

void TagReader::readOgg(const unsigned char* data, std::size_t size) {
    // Pages of the first logical stream, joined into packets: the identification header,
    // then the comment header.
    Bytes packet;
    int packets = 0;
    std::uint32_t stream = 0;
    std::size_t at = 0;
    while (size - at >= 27 && std::memcmp(data + at, "OggS", 4) == 0) {
        const std::uint32_t serial = littleEndian32(data + at + 14);
        if (at == 0)
            stream = serial;
        const std::size_t segments = data[at + 26];
        if (size - at - 27 < segments)
            return;
        const unsigned char* table = data + at + 27;
        at += 27 + segments;
        for (std::size_t i = 0; i < segments; ++i) {
            const std::size_t length = table[i];
            if (length > size - at)
                return;
            if (serial == stream) {
                packet.insert(packet.end(), data + at, data + at + length);
                if (length < 255) {
                    ++packets;
                    if (packets == 1 &&
                        (packet.size() < 7 || std::memcmp(packet.data(), "\x01vorbis", 7) != 0))
                        return;
                    if (packets == 2) {
                        if (packet.size() >= 7 && std::memcmp(packet.data(), "\x03vorbis", 7) == 0)
                            readComments(packet.data() + 7, packet.size() - 7);
                        return;
                    }
                    packet.clear();
                }
            }
            at += length;
        }
    }
}

void TagReader::readComments(const unsigned char* data, std::size_t size) {
    if (size < 4)
        return;
    const std::size_t vendor = littleEndian32(data);
    if (vendor > size - 4 || size - 4 - vendor < 4)
        return;
    std::size_t at = 4 + vendor;
    std::uint32_t count = littleEndian32(data + at);
    at += 4;
    // Each field takes four bytes at least, so a false count ends with the data.
    for (; count > 0 && size - at >= 4; --count) {
        const std::size_t length = littleEndian32(data + at);
        at += 4;
        if (length > size - at)
            return;
        const auto* begin = data + at;
        const auto* equals = std::find(begin, begin + length, '=');
        at += length;
        if (equals == begin + length)
            continue;
        std::string* target = field(upper(std::string(begin, equals)));
        if (target != nullptr && target->empty())
            *target = fromUtf8(equals + 1, static_cast<std::size_t>(begin + length - equals - 1));
    }
}

std::string* TagReader::field(const std::string& name) {
    if (name == "TT2" || name == "TIT2" || name == "TITLE")
        return &titleText;
    if (name == "TP1" || name == "TPE1" || name == "ARTIST")
        return &artistText;
    if (name == "TAL" || name == "TALB" || name == "ALBUM")
        return &albumText;
    return nullptr;
}

} // namespace irrklang
