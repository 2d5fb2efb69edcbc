// Preloaded into the program under test: counts the frames it shows by wrapping
// glXSwapBuffers, and the turns of its loop by wrapping nanosleep on its main thread (one
// sleep a turn, of no time for a late one), and keeps the running counts as text in the file
// named by BRASKO_FRAME_COUNT_FILE: frames, turns, then the longest time between two turns
// after the tenth (in microseconds; start-up is left out), so a test can wait for turns,
// count frames and see a stalled loop from outside.
#include <GL/glx.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
unsigned long frames = 0;

// Counts a turn when called with true, and writes the counts.
void count(bool turn) {
    using Clock = std::chrono::steady_clock;
    static unsigned long turns = 0;
    static long longest = 0;
    static Clock::time_point last;
    static int file = -1;
    if (file < 0) {
        const char* path = std::getenv("BRASKO_FRAME_COUNT_FILE");
        if (path != nullptr)
            file = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    const Clock::time_point now = Clock::now();
    if (turn && ++turns > 10) {
        const long gap = std::chrono::duration_cast<std::chrono::microseconds>(now - last).count();
        longest = gap > longest ? gap : longest;
    }
    last = turn ? now : last;
    if (file >= 0) {
        char text[64];
        const int length =
            std::snprintf(text, sizeof text, "%020lu %020lu %010ld\n", frames, turns, longest);
        if (pwrite(file, text, static_cast<size_t>(length), 0) < 0)
            file = -1;
    }
}
} // namespace

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    using Swap = void (*)(Display*, GLXDrawable);
    static Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    ++frames;
    count(false);
    if (real != nullptr)
        real(display, drawable);
}

extern "C" int nanosleep(const timespec* duration, timespec* left) {
    using Sleep = int (*)(const timespec*, timespec*);
    static Sleep real = reinterpret_cast<Sleep>(dlsym(RTLD_NEXT, "nanosleep"));
    if (syscall(SYS_gettid) == getpid()) // the sound layer's threads sleep too
        count(true);
    return real != nullptr ? real(duration, left) : -1;
}
