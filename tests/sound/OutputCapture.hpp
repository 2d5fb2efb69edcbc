// Takes what the process writes to one of its standard streams (1 or 2), C and C++ alike,
// into a scratch file from construction until finish(), so that a test can read it. The
// stream is given back at finish() or at destruction, whichever comes first.
#ifndef BRASKO_TESTS_OUTPUTCAPTURE_HPP
#define BRASKO_TESTS_OUTPUTCAPTURE_HPP

#include <string>

class OutputCapture {
public:
    explicit OutputCapture(int fd);
    ~OutputCapture();
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    // Returns everything written to the stream so far.
    std::string peek() const;

    // Gives the stream back and returns everything written to it meanwhile.
    std::string finish();

private:
    int fd;
    int saved; // the original stream, -1 once given back
    std::string path;
};

#endif
