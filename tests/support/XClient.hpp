// A second client of the X server for tests: it finds a program's window, reads what the
// window tells the window manager (title, size hints, icon), moves the pointer and presses
// buttons and keys through the XTEST extension as a user's mouse and keyboard would, sets the
// display's X resources, asks the window to close the way a window manager does, and drags
// data onto it from a window of its own as a file manager does (XDND). Lives as long as the
// test.
#ifndef BRASKO_TESTS_XCLIENT_HPP
#define BRASKO_TESTS_XCLIENT_HPP

#include <SFML/Graphics/Image.hpp>
#include <SFML/Window/WindowHandle.hpp>

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct _XDisplay;

class XClient {
public:
    // Works on the given window; 0 means none yet (see findWindowOf).
    explicit XClient(sf::WindowHandle window = 0);
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    // Looks for a viewable top-level window of process pid, also inside a window manager's
    // frame, and works on it from then on. Returns true iff one was found.
    bool findWindowOf(pid_t pid);
    sf::WindowHandle handle() const;

    // Returns true iff the window is mapped and viewable; false once it is gone.
    bool isViewable();

    std::string title();

    // The size limits from WM_NORMAL_HINTS: {min width, min height, max width, max height},
    // or all 0 when the window sets none.
    std::vector<int> sizeLimits();

    // The first picture of _NET_WM_ICON as {width, height, then ARGB pixels}; empty if none.
    std::vector<unsigned long> icon();

    // Moves the pointer to (x, y) relative to the window's client area.
    void moveTo(int x, int y);

    // Presses or releases mouse button 1 (left), 2 (middle) or 3 (right) where the pointer is.
    void press(unsigned button);
    void release(unsigned button);

    // Focuses the window and presses or releases the key of a keysym name ("space", "z").
    void key(const char* name, bool down);

    // The X resources (as xrdb sets them) when this client connected; setting them anew
    // tells the programs that connect from then on (empty text removes them).
    std::string resources() const;
    void setResources(const std::string& text);

    // What the window shows now, or an empty image if it cannot be read (gone, unmapped).
    sf::Image screenshot();

    // Sends the window manager's close request (WM_DELETE_WINDOW).
    void requestClose();

    // Waits until the X server has handled everything sent so far.
    void sync();

    // Drags data of a MIME type over the window's middle as a file manager does, through the
    // stand-in its XdndProxy names (XdndEnter, XdndPosition); the data is handed over when
    // asked if serve, else never. Returns false if the window takes no drops (XdndAware 5).
    bool dragOver(const std::string& type, const std::string& data, bool serve);
    // Waits up to 5 s, serving the data, for the window's XdndStatus, or after a drop for its
    // XdndFinished: whether it accepts; nothing if it does not answer.
    std::optional<bool> status();
    std::optional<bool> drop();

private:
    std::optional<bool> answer(const char* message);
    void sendDrag(const char* message, long first, long second);

    _XDisplay* display;
    unsigned long window;
    // The drag: the window it starts from, the one its messages go to, and what it offers.
    unsigned long source;
    unsigned long dropWindow;
    std::string dragData;
    bool serving;
};

#endif
