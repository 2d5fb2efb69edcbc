#include "OutputCapture.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace {
void flushAll() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
}
} // namespace

OutputCapture::OutputCapture(int fd) : fd(fd), saved(-1) {
    path = (std::filesystem::temp_directory_path() / "brasko-output-XXXXXX").string();
    const int file = mkstemp(path.data());
    if (file < 0)
        throw std::runtime_error("cannot make a scratch file");
    flushAll();
    saved = dup(fd);
    dup2(file, fd);
    close(file);
}

OutputCapture::~OutputCapture() {
    finish();
    std::remove(path.c_str());
}

std::string OutputCapture::peek() const {
    flushAll();
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string OutputCapture::finish() {
    if (saved >= 0) {
        flushAll();
        dup2(saved, fd);
        close(saved);
        saved = -1;
    }
    return peek();
}
