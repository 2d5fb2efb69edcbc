// The title, artist and album a sound file's tags give, for the desktop to show: ID3v2
// (versions 2.2 to 2.4, every text encoding, unsynchronised or not, with or without an
// extended header) and ID3v1 in MP3 files, Vorbis comments in Ogg Vorbis and FLAC files. An
// ID3v2 tag wins over a Vorbis comment, which wins over an ID3v1 tag, field by field. The text
// is always valid UTF-8: bytes that do not decode become U+FFFD. Tags are untrusted: a size
// past the end, a text without a terminator or any other lie ends the reading of that tag,
// and nothing outside the given bytes is read. A TagReader is made, read and thrown away.
#ifndef BRASKO_TAGREADER_HPP
#define BRASKO_TAGREADER_HPP

#include <cstddef>
#include <string>

namespace irrklang {

class TagReader {
public:
    // Reads the tags of the file at path: from its first part (where ID3v2 tags, FLAC's
    // metadata and Ogg's comment header are) and its last 128 bytes (ID3v1). A file that
    // cannot be read has no tags.
    explicit TagReader(const std::string& path);

    // Reads the tags of a whole file held in memory.
    TagReader(const unsigned char* data, std::size_t size);

    // Each empty when no tag gives it.
    const std::string& title() const;
    const std::string& artist() const;
    const std::string& album() const;

    // The bytes as UTF-8 up to the first NUL: each byte that does not decode becomes U+FFFD. For
    // text such as a file name, which is any bytes but NUL and "/".
    static std::string utf8(const std::string& bytes);

private:
    // Reads what the first bytes of a file hold: an ID3v2 tag, then FLAC metadata or Ogg
    // pages.
    void readHead(const unsigned char* data, std::size_t size);
    // Reads an ID3v1 tag from a file's last 128 bytes.
    void readId3v1(const unsigned char* data, std::size_t size);
    // Reads an ID3v2 tag at data; returns the number of bytes it declares, 0 for none.
    std::size_t readId3v2(const unsigned char* data, std::size_t size);
    void readFlac(const unsigned char* data, std::size_t size);
    void readOgg(const unsigned char* data, std::size_t size);
    // Reads a Vorbis comment block (vendor, then KEY=value fields).
    void readComments(const unsigned char* data, std::size_t size);
    // The field that a frame id or comment key fills, or null.
    std::string* field(const std::string& name);

    std::string titleText;
    std::string artistText;
    std::string albumText;
};

} // namespace irrklang

#endif
