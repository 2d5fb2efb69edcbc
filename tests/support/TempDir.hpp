// A scratch folder made fresh for a test and removed with everything in it afterwards.
#ifndef BRASKO_TESTS_TEMPDIR_HPP
#define BRASKO_TESTS_TEMPDIR_HPP

#include <filesystem>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const;

private:
    std::filesystem::path root;
};

#endif
