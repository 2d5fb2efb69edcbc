// Preloaded into the program under test: counts the frames it shows by wrapping
// glXSwapBuffers, and the turns of its loop by wrapping nanosleep on its main thread (the
// loop paces each turn with one sleep, of no time when the turn ran late). It keeps the
// running counts as text in the file named by BRASKO_FRAME_COUNT_FILE: frames, turns, then
// the longest time between two turns after the tenth (in microseconds; start-up is left
// out), so that a test can wait for turns, count the frames shown and see a stalled loop.
#include <GL/glx.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;
unsigned long frames = 0;
unsigned long turns = 0;
long longest = 0;
Clock::time_point last;
int file = -1;

// Writes the counts over the file's first line. Called on the main thread only.
void report() {
    if (file < 0) {
        const char* path = std::getenv("BRASKO_FRAME_COUNT_FILE");
        if (path == nullptr)
            return;
        file = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    char text[64];
    const int length =
        std::snprintf(text, sizeof text, "%020lu %020lu %010ld\n", frames, turns, longest);
    if (file >= 0 && pwrite(file, text, static_cast<size_t>(length), 0) < 0)
        file = -1;
}
} // namespace

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    using Swap = void (*)(Display*, GLXDrawable);
    static Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    ++frames;
    report();
    if (real != nullptr)
        real(display, drawable);
}

extern "C" int nanosleep(const struct timespec* duration, struct timespec* left) {
    using Sleep = int (*)(const struct timespec*, struct timespec*);
    static Sleep real = reinterpret_cast<Sleep>(dlsym(RTLD_NEXT, "nanosleep"));
    // The sound layer's threads sleep too; only the main thread runs the loop.
    if (syscall(SYS_gettid) == getpid()) {
        const Clock::time_point now = Clock::now();
        if (++turns > 10) {
            const long gap =
                std::chrono::duration_cast<std::chrono::microseconds>(now - last).count();
            longest = gap > longest ? gap : longest;
        }
        last = now;
        report();
    }
    return real != nullptr ? real(duration, left) : -1;
}
