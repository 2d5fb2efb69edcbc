// Preloaded into the program under test: counts the frames it shows by wrapping
// glXSwapBuffers, and keeps the running count as text in the file named by
// BRASKO_FRAME_COUNT_FILE, followed by the longest time between two frames shown after the
// tenth (in microseconds; start-up is left out), so a test can measure the frame rate and
// see a stalled frame from outside.
#include <GL/glx.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    using Swap = void (*)(Display*, GLXDrawable);
    using Clock = std::chrono::steady_clock;
    static Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    static unsigned long frames = 0;
    static long longest = 0;
    static Clock::time_point last;
    static int file = -1;
    if (file < 0) {
        const char* path = std::getenv("BRASKO_FRAME_COUNT_FILE");
        if (path != nullptr)
            file = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    const Clock::time_point now = Clock::now();
    if (++frames > 10) {
        const long gap = std::chrono::duration_cast<std::chrono::microseconds>(now - last).count();
        longest = gap > longest ? gap : longest;
    }
    last = now;
    if (file >= 0) {
        char text[40];
        const int length = std::snprintf(text, sizeof text, "%020lu %010ld\n", frames, longest);
        if (pwrite(file, text, static_cast<size_t>(length), 0) < 0)
            file = -1;
    }
    if (real != nullptr)
        real(display, drawable);
}
