// A file:// URI and the local path it names, both ways: the desktop hands songs over as URIs
// (the media controls' OpenUri, a drop on the window) and is told of them as URIs (the
// track's xesam:url). A URI names a local file only with no host or "localhost", and with
// percent-encoding that decodes to a path without a NUL byte.
#ifndef BRASKO_FILEURI_HPP
#define BRASKO_FILEURI_HPP

#include <string>

class FileUri {
public:
    // Reads uri; whether it names a local file is told by isLocalFile().
    explicit FileUri(const std::string& uri);

    // Returns true iff the URI is a file:// URI with no host or "localhost", whose path is
    // absolute and decodes without a NUL byte, and that holds no NUL byte itself.
    bool isLocalFile() const;

    // The decoded path, empty unless isLocalFile().
    const std::string& path() const;

    // The file URI of an absolute path: every byte but letters, digits, "-._~" and "/" is
    // percent-encoded, so that any file name gives a valid URI.
    static std::string of(const std::string& path);

private:
    std::string decoded;
};

#endif
