// Preloaded into every process of the sanitizer test run: dlclose() keeps libraries loaded.
// Mesa unloads its GL driver when a program closes its X display, and LeakSanitizer, which
// looks at exit, then no longer sees the driver's globals: what only they point to reads as
// leaked, allocated from a module it can no longer name, so no suppression can match it.
extern "C" int dlclose(void*) {
    return 0;
}
