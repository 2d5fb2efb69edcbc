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

std::string bigEndian(std::uint32_t value, int count) {
    std::string out;
    for (int i = count - 1; i >= 0; --i)
        out += static_cast<char>(value >> (8 * i) & 0xff);
    return out;
}

std::string littleEndian(std::uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xff);
    return out;
}

std::string syncsafe(std::uint32_t value) {
    std::string out;
    for (int shift = 21; shift >= 0; shift -= 7)
        out += static_cast<char>(value >> shift & 0x7f);
    return out;
}

std::string id3v2(int version, int flags, const std::string& frames) {
    return "ID3" + std::string{static_cast<char>(version), 0, static_cast<char>(flags)} +
           syncsafe(static_cast<std::uint32_t>(frames.size())) + frames;
}

// A frame of the tag's version; formatFlags is the second flag byte of 2.3 and 2.4.
std::string frame(int version, const std::string& id, const std::string& data,
                  int formatFlags = 0) {
    const auto size = static_cast<std::uint32_t>(data.size());
    if (version == 2)
        return id + bigEndian(size, 3) + data;
    return id + (version == 3 ? bigEndian(size, 4) : syncsafe(size)) +
           std::string{0, static_cast<char>(formatFlags)} + data;
}

std::string id3v1(const std::string& title, const std::string& artist, const std::string& album) {
    const auto field = [](std::string text) { return text.append(30 - text.size(), ' '); };
    return "TAG" + field(title) + field(artist) + field(album) + std::string(35, '\0');
}

std::string comments(const std::vector<std::string>& fields) {
    std::string out =
        littleEndian(6) + "tester" + littleEndian(static_cast<std::uint32_t>(fields.size()));
    for (const std::string& field : fields)
        out += littleEndian(static_cast<std::uint32_t>(field.size())) + field;
    return out;
}

std::string flacBlock(int type, const std::string& content, bool last) {
    return static_cast<char>(type | (last ? 0x80 : 0)) +
           bigEndian(static_cast<std::uint32_t>(content.size()), 3) + content;
}

// One Ogg page of a stream whose segments are given by their sizes, with the data.
std::string oggPage(std::uint32_t serial, const std::vector<int>& segments,
                    const std::string& data) {
    std::string out = "OggS" + std::string(10, '\0') + littleEndian(serial) + std::string(8, '\0');
    out += static_cast<char>(segments.size());
    for (const int size : segments)
        out += static_cast<char>(size);
    return out + data;
}

const std::string oggIdentity = "\x01vorbis" + std::string(23, '\0');

struct TagCase {
    const char* name;
    std::string file;
    std::string title;
    std::string artist;
    std::string album;
};

void PrintTo(const TagCase& c, std::ostream* out) {
    *out << c.name;
}

// "Tür 𝄞" in UTF-16 little-endian with its byte order mark, and in UTF-8.
const std::string utf16Text = std::string("\xff\xfeT\0\xfc\0r\0 \0\x34\xd8\x1e\xdd", 14);
const std::string utf8Text = "T\xc3\xbcr \xf0\x9d\x84\x9e";
const std::string replacement = "\xef\xbf\xbd";

const TagCase cases[] = {
    {"id3v23_utf16_with_bom",
     id3v2(3, 0,
           frame(3, "TIT2", std::string(1, '\1') + utf16Text) +
               frame(3, "TPE1", std::string("\1\xfe\xff\0A\0b", 7)) +
               frame(3, "TALB", std::string("\0Caf\xe9", 5))),
     utf8Text, "Ab", "Caf\xc3\xa9"},
    {"id3v24_utf8_and_utf16be_after_an_extended_header",
     id3v2(4, 0x40,
           syncsafe(6) + std::string("\1\0", 2) + frame(4, "TIT2", "\3" + utf8Text) +
               frame(4, "TPE1", std::string("\2\0X\0Y", 5))),
     utf8Text, "XY", ""},
    {"id3v22_three_letter_frames",
     id3v2(2, 0,
           frame(2, "TT2", std::string("\0Song", 5)) + frame(2, "TAL", std::string("\0Disc\0", 6))),
     "Song", "", "Disc"},
    // The tag is unsynchronised as a whole: the frame's "\0\xff\xe9" has a zero put in.
    {"id3v23_unsynchronised_with_an_extended_header",
     id3v2(3, 0xc0,
           bigEndian(6, 4) + std::string(6, '\0') + "TIT2" + bigEndian(3, 4) +
               std::string("\0\0\0\xff\0\xe9", 6)),
     "\xc3\xbf\xc3\xa9", "", ""},
    // A frame marked unsynchronised, with a group byte and a data length before its text.
    {"id3v24_frame_unsynchronised_with_group_and_length",
     id3v2(4, 0,
           frame(4, "TIT2", std::string("\x07", 1) + syncsafe(3) + std::string("\0\xff\0\xe0", 4),
                 0x43)),
     "\xc3\xbf\xc3\xa0", "", ""},
    {"id3v1_padded_with_spaces", std::string(500, '\x55') + id3v1("Old", "Band", "Tape"), "Old",
     "Band", "Tape"},
    {"id3v2_wins_over_id3v1_field_by_field",
     id3v2(3, 0, frame(3, "TIT2", std::string("\0New", 4))) + id3v1("Old", "Band", ""), "New",
     "Band", ""},
    {"flac_vorbis_comment_after_padding",
     "fLaC" + flacBlock(0, std::string(34, '\0'), false) +
         flacBlock(1, std::string(8, '\0'), false) +
         flacBlock(4, comments({"title=" + utf8Text, "Artist=Them", "ALBUM=Live", "TITLE=Second"}),
                   true),
     utf8Text, "Them", "Live"},
    // The comment header spans two pages, with a page of another stream between them.
    {"ogg_comment_header_across_pages",
     [] {
         const std::string header =
             "\x03vorbis" + comments({"ARTIST=" + std::string(300, 'a'), "TITLE=Ogg"});
         return oggPage(7, {30}, oggIdentity) + oggPage(7, {255}, header.substr(0, 255)) +
                oggPage(9, {4}, "junk") +
                oggPage(7, {static_cast<int>(header.size() - 255), 1}, header.substr(255) + "\x05");
     }(),
     "Ogg", std::string(300, 'a'), ""},
    // Lies: a frame of 2 GB, a tag that ends past the file, text without a terminator.
    {"frame_of_two_gigabytes",
     id3v2(3, 0,
           frame(3, "TALB", std::string("\0Kept", 5)) + "TIT2" + bigEndian(0x7fffffff, 4) +
               std::string("\0\0\0Lie", 6)) +
         id3v1("Fallback", "", ""),
     "Fallback", "", "Kept"},
    {"tag_longer_than_the_file",
     id3v2(4, 0, frame(4, "TIT2", std::string("\0Cut", 4)) + std::string(100, '\0')).substr(0, 24),
     "Cut", "", ""},
    {"utf16_without_terminator_and_odd_length",
     id3v2(3, 0, frame(3, "TIT2", std::string("\1\xff\xfeO\0K\0\x41", 8))), "OK", "", ""},
    {"invalid_utf8_and_unpaired_surrogates",
     id3v2(4, 0,
           frame(4, "TIT2", "\3a\xc0\xaf\xed\xa0\x80z\xf4\x90") +
               frame(4, "TPE1", std::string("\2\xd8\x00\0b\xdc\x00", 7))),
     "a" + replacement + replacement + replacement + replacement + replacement + "z" + replacement +
         replacement,
     replacement + "b" + replacement, ""},
    {"vorbis_comment_count_and_length_past_the_end",
     "fLaC" + flacBlock(4,
                        littleEndian(0) + littleEndian(0xffffffff) + littleEndian(6) +
                            "TITLE=" + littleEndian(0x7fffffff) + "ALBUM=x",
                        true),
     "", "", ""},
    {"ogg_page_with_segments_past_the_end",
     oggPage(7, {30}, oggIdentity) + oggPage(7, {200, 200}, "\x03vorbis"), "", "", ""},
};

class TagTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(TagTest, ReadsTheTextAsUtf8WithinTheBytes) {
    const std::vector<unsigned char> bytes(GetParam().file.begin(), GetParam().file.end());
    const TagReader tags(bytes.data(), bytes.size());
    EXPECT_EQ(tags.title(), GetParam().title);
    EXPECT_EQ(tags.artist(), GetParam().artist);
    EXPECT_EQ(tags.album(), GetParam().album);
}

INSTANTIATE_TEST_SUITE_P(Tags, TagTest, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
