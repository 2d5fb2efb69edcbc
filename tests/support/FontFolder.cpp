#include "support/FontFolder.hpp"

namespace fs = std::filesystem;

FontFolder::FontFolder() : work(), previous(fs::current_path()) {
    fs::create_directories(work.path() / "ressources");
    fs::copy_file(fs::path(BRASKO_SOURCE_DIR) / "ressources" / "BKANT.TTF",
                  work.path() / "ressources" / "BKANT.TTF");
    fs::current_path(work.path());
}

FontFolder::~FontFolder() {
    fs::current_path(previous);
}

const fs::path& FontFolder::path() const {
    return work.path();
}
