#include "support/Process.hpp"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
} // namespace

Process::Process(const std::string& program, const std::filesystem::path& workdir,
                 const std::vector<std::string>& environment,
                 const std::vector<std::string>& arguments)
    : name(std::filesystem::path(program).filename().string()), child(-1), status(-1) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    outPath = workdir.parent_path() / (workdir.filename().string() + "-" + name + ".stdout");
    errPath = workdir.parent_path() / (workdir.filename().string() + "-" + name + ".stderr");
    child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        for (const std::string& entry : environment) {
            const std::string::size_type eq = entry.find('=');
            const std::string key = entry.substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : entry.substr(eq + 1);
            if (value.empty())
                unsetenv(key.c_str());
            else
                setenv(key.c_str(), value.c_str(), 1);
        }
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || chdir(workdir.c_str()) != 0)
            _exit(126);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execvp(program.c_str(), argv.data());
        _exit(127);
    }
}

Process::~Process() {
    if (status == -1 && child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove(outPath, ignored);
    std::filesystem::remove(errPath, ignored);
}

pid_t Process::pid() const { return child; }

const std::string& Process::program() const { return name; }

bool Process::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (status == -1) {
        int raw = 0;
        const pid_t done = waitpid(child, &raw, WNOHANG);
        if (done == child)
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        else if (std::chrono::steady_clock::now() > deadline)
            return false;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

int Process::exitStatus() const { return status; }

std::string Process::standardOutput() const { return readFile(outPath); }

std::string Process::standardError() const { return readFile(errPath); }
