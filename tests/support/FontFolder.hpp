// Moves the current folder, for one test, into a scratch folder that holds the player's font
// where the player reads it (ressources/BKANT.TTF), and moves back when destroyed; the
// folder and all a test put in it are removed then.
#ifndef BRASKO_TESTS_FONTFOLDER_HPP
#define BRASKO_TESTS_FONTFOLDER_HPP

#include "support/TempDir.hpp"

#include <filesystem>

class FontFolder {
public:
    FontFolder();
    ~FontFolder();
    FontFolder(const FontFolder&) = delete;
    FontFolder& operator=(const FontFolder&) = delete;

    const std::filesystem::path& path() const;

private:
    TempDir work;
    std::filesystem::path previous;
};

#endif
