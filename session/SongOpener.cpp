#include "session/SongOpener.hpp"

#include <filesystem>
#include <iostream>
#include <system_error>

SongOpener::SongOpener(Controls& controls) : controls(controls) {}

bool SongOpener::open(const std::string& path) {
    std::error_code failed;
    if (!std::filesystem::is_regular_file(path, failed)) {
        std::cout << "brasko: cannot play \"" << path << "\": not a regular file" << std::endl;
        return false;
    }
    controls.open(path);
    return true;
}
