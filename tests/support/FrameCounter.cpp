// Preloaded into the program under test: counts the frames it shows by wrapping
// glXSwapBuffers, and keeps the running count as text in the file named by
// BRASKO_FRAME_COUNT_FILE, so a test can measure the frame rate from outside.
#include <GL/glx.h>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    using Swap = void (*)(Display*, GLXDrawable);
    static Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    static unsigned long frames = 0;
    static int file = -1;
    if (file < 0) {
        const char* path = std::getenv("BRASKO_FRAME_COUNT_FILE");
        if (path != nullptr)
            file = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    ++frames;
    if (file >= 0) {
        char text[32];
        const int length = std::snprintf(text, sizeof text, "%020lu\n", frames);
        if (pwrite(file, text, static_cast<size_t>(length), 0) < 0)
            file = -1;
    }
    if (real != nullptr)
        real(display, drawable);
}
