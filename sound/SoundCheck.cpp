#include "SoundCheck.hpp"

#include "Mp3Reader.hpp"
#include "SoundFile.hpp"

namespace irrklang {

std::string SoundCheck::problem(const std::string& path) {
    Mp3Reader::registerOnce();
    SoundFile file;
    const char* reason = file.open(path);
    return reason == nullptr ? std::string() : std::string(reason);
}

} // namespace irrklang
