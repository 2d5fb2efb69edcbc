// Runs the fuzzing entry point once over every file given, or every file in the folders
// given, without libFuzzer: the normal builds replay the seeds and the inputs that once
// crashed, so that a fix that comes undone fails the tests. Exits 0 iff every file was read
// and run; a crash ends the process, naming the input on standard error first.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i])) {
            for (const fs::directory_entry& entry : fs::directory_iterator(argv[i]))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else {
            inputs.emplace_back(argv[i]);
        }
    }
    if (inputs.empty()) {
        std::cerr << "usage: fuzz_replay FILE_OR_FOLDER...\n";
        return 2;
    }
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()};
        if (!in.good() && !in.eof()) {
            std::cerr << "cannot read " << input << '\n';
            return 1;
        }
        std::cerr << "running " << input.filename().string() << " (" << bytes.size()
                  << " bytes)\n";
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::cout << inputs.size() << " inputs ran\n";
    return 0;
}
