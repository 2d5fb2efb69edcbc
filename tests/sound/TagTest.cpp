// The titles, artists and albums read from each kind of tag the engine's files carry, and
// from tags that lie about their sizes or their text. Each file is built here byte by byte and
// read from a buffer of exactly its size, so that a sanitizer build sees any read past it.
#include <TagReader.hpp>

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using irrklang::TagReader;

namespace {

// value in count bytes of `bits` bits each, the most significant first unless little.
std::string number(std::size_t value, int count, int bits = 8, bool little = false) {
    std::string out(static_cast<std::size_t>(count), '\0');
    for (int i = 0; i < count; ++i)
        out[static_cast<std::size_t>(little ? i : count - 1 - i)] =
            static_cast<char>(value >> (bits * i) & ((1u << bits) - 1));
    return out;
}

const auto le32 = [](std::size_t value) { return number(value, 4, 8, true); };
const auto syncsafe = [](std::size_t value) { return number(value, 4, 7); };

std::string id3v2(int version, int flags, const std::string& frames) {
    return "ID3" + std::string{static_cast<char>(version), 0, static_cast<char>(flags)} +
           syncsafe(frames.size()) + frames;
}

// A frame of the tag's version; formatFlags is the second flag byte of 2.3 and 2.4.
std::string frame(int version, const std::string& id, const std::string& data,
                  int formatFlags = 0) {
    if (version == 2)
        return id + number(data.size(), 3) + data;
    return id + (version == 3 ? number(data.size(), 4) : syncsafe(data.size())) +
           std::string{0, static_cast<char>(formatFlags)} + data;
}

std::string id3v1(const std::string& title, const std::string& artist, const std::string& album) {
    const auto field = [](std::string text) { return text.append(30 - text.size(), ' '); };
    return "TAG" + field(title) + field(artist) + field(album) + std::string(35, '\0');
}

std::string comments(const std::vector<std::string>& fields) {
    std::string out = le32(6) + "tester" + le32(fields.size());
    for (const std::string& field : fields)
        out += le32(field.size()) + field;
    return out;
}

// One Ogg page of a stream whose segments are given by their sizes, with the data.
std::string oggPage(std::size_t serial, const std::vector<int>& segments, const std::string& data) {
    std::string out = "OggS" + std::string(10, '\0') + le32(serial) + std::string(8, '\0');
    out += static_cast<char>(segments.size());
    for (const int size : segments)
        out += static_cast<char>(size);
    return out + data;
}

struct TagCase {
    const char* name;
    std::string file;
    std::string tags; // title|artist|album
};

void PrintTo(const TagCase& c, std::ostream* out) {
    *out << c.name;
}

// "Tür 𝄞" in UTF-8.
const std::string utf8Text = "T\xc3\xbcr \xf0\x9d\x84\x9e";
const std::string bad = "\xef\xbf\xbd"; // U+FFFD, the replacement character

const TagCase cases[] = {
    {"id3v24_utf8_and_utf16be_after_an_extended_header",
     id3v2(4, 0x40,
           syncsafe(6) + std::string("\1\0", 2) + frame(4, "TIT2", "\3" + utf8Text) +
               frame(4, "TPE1", std::string("\2\0X\0Y", 5))),
     utf8Text + "|XY|"},
    {"id3v22_three_letter_frames_and_utf16_big_endian_with_bom",
     id3v2(2, 0,
           frame(2, "TT2", std::string("\0Song", 5)) +
               frame(2, "TAL", std::string("\1\xfe\xff\0D\0i\0s\0c", 11))),
     "Song||Disc"},
    // The tag is unsynchronised as a whole: the frame's "\0\xff\xe9" has a zero put in.
    {"id3v23_unsynchronised_with_an_extended_header",
     id3v2(3, 0xc0,
           number(6, 4) + std::string(6, '\0') + "TIT2" + number(3, 4) +
               std::string("\0\0\0\xff\0\xe9", 6)),
     "\xc3\xbf\xc3\xa9||"},
    // A frame marked unsynchronised, with a group byte and a data length before its text.
    {"id3v24_frame_unsynchronised_with_group_and_length",
     id3v2(4, 0,
           frame(4, "TIT2", std::string("\x07", 1) + syncsafe(3) + std::string("\0\xff\0\xe0", 4),
                 0x43)),
     "\xc3\xbf\xc3\xa0||"},
    // A 2.4 tag with its sizes written as plain numbers: 256 bytes of text, then an album.
    {"id3v24_plain_frame_sizes",
     id3v2(4, 0,
           "TIT2" + number(257, 4) + std::string(2, '\0') + "\3" + std::string(256, 't') +
               frame(4, "TALB", "\3Plain")),
     std::string(256, 't') + "||Plain"},
    {"id3v2_wins_over_id3v1_field_by_field",
     id3v2(3, 0, frame(3, "TIT2", std::string("\0New", 4))) + id3v1("Old", "Band", ""),
     "New|Band|"},
    {"ogg_comment_header_across_pages",
     [] {
         const std::string header =
             "\x03vorbis" + comments({"ARTIST=" + std::string(300, 'a'), "TITLE=Ogg"});
         return oggPage(7, {30}, "\x01vorbis" + std::string(23, '\0')) +
                oggPage(7, {255}, header.substr(0, 255)) + oggPage(9, {4}, "junk") +
                oggPage(7, {static_cast<int>(header.size() - 255), 1}, header.substr(255) + "\x05");
     }(),
     "Ogg|" + std::string(300, 'a') + "|"},
    // Lies: a frame of 2 GB, a tag that ends past the file, text without a terminator.
    {"frame_of_two_gigabytes",
     id3v2(3, 0,
           frame(3, "TALB", std::string("\0Kept", 5)) + "TIT2" + number(0x7fffffff, 4) +
               std::string("\0\0\0Lie", 6)) +
         id3v1("Fallback", "", ""),
     "Fallback||Kept"},
    {"tag_longer_than_the_file",
     id3v2(4, 0, frame(4, "TIT2", std::string("\0Cut", 4)) + std::string(100, '\0')).substr(0, 24),
     "Cut||"},
    {"invalid_utf8_and_unpaired_surrogates",
     id3v2(4, 0,
           frame(4, "TIT2", "\3a\xc0\xaf\xed\xa0\x80z\xf4\x90") +
               frame(4, "TPE1", std::string("\2\xd8\x00\0b\xdc\x00", 7))),
     "a" + bad + bad + bad + bad + bad + "z" + bad + bad + "|" + bad + "b" + bad + "|"},
};

class TagTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(TagTest, ReadsTheTextAsUtf8WithinTheBytes) {
    const std::vector<unsigned char> bytes(GetParam().file.begin(), GetParam().file.end());
    const TagReader tags(bytes.data(), bytes.size());
    EXPECT_EQ(tags.title() + "|" + tags.artist() + "|" + tags.album(), GetParam().tags);
}

INSTANTIATE_TEST_SUITE_P(Tags, TagTest, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
