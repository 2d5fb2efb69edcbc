#include "session/FileUri.hpp"

#include <cctype>

namespace {
// The value of a hexadecimal digit, or -1.
int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

FileUri::FileUri(const std::string& uri) : decoded() {
    const std::string scheme = "file://";
    if (uri.size() < scheme.size() || uri.find('\0') != std::string::npos)
        return;
    for (std::size_t i = 0; i < scheme.size(); ++i)
        if (static_cast<char>(std::tolower(static_cast<unsigned char>(uri[i]))) != scheme[i])
            return;
    const std::size_t slash = uri.find('/', scheme.size());
    if (slash == std::string::npos)
        return;
    const std::string host = uri.substr(scheme.size(), slash - scheme.size());
    if (!host.empty() && host != "localhost")
        return;
    // A query or fragment is not part of the path.
    const std::size_t end = uri.find_first_of("?#", slash);
    std::string path;
    for (std::size_t i = slash; i < uri.size() && i < end; ++i) {
        if (uri[i] != '%') {
            path += uri[i];
            continue;
        }
        const int high = i + 2 < uri.size() ? hexValue(uri[i + 1]) : -1;
        const int low = i + 2 < uri.size() ? hexValue(uri[i + 2]) : -1;
        if (high < 0 || low < 0)
            return;
        const char byte = static_cast<char>(high * 16 + low);
        if (byte == '\0')
            return;
        path += byte;
        i += 2;
    }
    decoded = path;
}

bool FileUri::isLocalFile() const { return !decoded.empty(); }

const std::string& FileUri::path() const { return decoded; }

std::string FileUri::of(const std::string& path) {
    const char* const hex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                           byte == '_' || byte == '~' || byte == '/';
        if (plain) {
            uri += c;
        } else {
            uri += '%';
            uri += hex[byte >> 4];
            uri += hex[byte & 15];
        }
    }
    return uri;
}
