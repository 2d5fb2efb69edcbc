// A child process started for a test, with its own working folder and extra environment;
// its standard output and error go to files. Killed at destruction if still running.
#ifndef BRASKO_TESTS_PROCESS_HPP
#define BRASKO_TESTS_PROCESS_HPP

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

class Process {
public:
    // Starts program with the arguments in workdir, with environment additions "NAME=value"
    // (an empty value unsets NAME); output goes to workdir/../<name>.stdout and .stderr.
    Process(const std::string& program, const std::filesystem::path& workdir,
            const std::vector<std::string>& environment = {},
            const std::vector<std::string>& arguments = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const;
    // The program's file name, as started.
    const std::string& program() const;

    // Waits up to timeout for the child to end. Returns true iff it has ended.
    bool waitForExit(std::chrono::milliseconds timeout);

    // The exit code, or 128 + the signal that ended it; -1 while it runs.
    int exitStatus() const;

    std::string standardOutput() const;
    std::string standardError() const;

private:
    std::string name;
    pid_t child;
    int status;
    std::filesystem::path outPath;
    std::filesystem::path errPath;
};

#endif
