// Takes a song dropped on the window from a file manager, through the X drag-and-drop
// protocol (XDND, version 5), which SFML does not speak. It has an X connection of its own
// and an unseen input-only window on it that stands in for the player's window: the player's
// window says that it takes drops (XdndAware) and sends every drag message to that stand-in
// (XdndProxy), so that SFML's connection never sees them. A drag of text/uri-list is looked
// at as it comes over the window: the first file:// URI that names a regular file is the
// song, and the drag is accepted; anything else (another type, no such file, a folder, a list
// its source never hands over in time) is refused, so the file manager shows the drop as
// refused. A drop of an accepted song opens it at once. X errors on its connection, from a
// source that has gone, are ignored. The entry function makes one after the window and the
// song opener, which must outlive it, and calls update() once a turn of its loop.
#ifndef BRASKO_DROPTARGET_HPP
#define BRASKO_DROPTARGET_HPP

#include "app/XErrorFilter.hpp"
#include "session/SongOpener.hpp"

#include <SFML/Window/WindowHandle.hpp>

#include <chrono>
#include <string>

struct _XDisplay; // NOLINT(bugprone-reserved-identifier): Xlib's name for Display

class DropTarget {
public:
    // How long a drag's source has to hand over its list before the drag is refused.
    static constexpr std::chrono::milliseconds handOverTime{2000};
    // At most this many bytes of a list are read, and this many of its URIs looked at.
    static constexpr long listBytes = 256L * 1024;
    static constexpr int listUris = 1000;

    // Makes window take drops. Without an X display it takes none and does nothing.
    DropTarget(sf::WindowHandle window, SongOpener& opener);
    ~DropTarget();
    DropTarget(const DropTarget&) = delete;
    DropTarget& operator=(const DropTarget&) = delete;

    // Handles the drag messages and the lists that have come, without waiting for any, and
    // refuses a drag whose list is late.
    void update();

private:
    enum class List { unasked, asked, known };

    // A drag message of the given type, sent to window, with its five items.
    void message(unsigned long type, unsigned long to, const long* items);
    void enter(unsigned long to, const long* items);
    void position(unsigned long time);
    void drop(unsigned long time);
    // The answer to the request for the list: where the list was put, None if nowhere.
    void listArrived(unsigned long selected, unsigned long requestor, unsigned long where);
    // Asks the source for its list, with the time stamp of the message that needs it.
    void askForList(unsigned long time);
    // Reads the list from the stand-in's property and finds the song in it.
    void readList();
    // Answers what waits for the list, now that it is known.
    void settle();
    void sendStatus();
    void finish();
    void send(unsigned long type, long accepted, unsigned long action);
    void forget();

    _XDisplay* display;
    XErrorFilter errors; // of the connection above: a drag's source may go away at any time
    unsigned long window;
    unsigned long proxy;
    SongOpener& opener;
    // The protocol's names.
    unsigned long aware, proxyName, enterName, positionName, statusName, leaveName, dropName,
        finishedName, selection, typeList, actionCopy, uriList, property;

    // The drag under way: its source window, the window it was sent to, whether it offers a
    // URI list, that list (the song in it, empty if none) and what waits for it.
    unsigned long source;
    unsigned long target;
    bool offersList;
    List list;
    std::chrono::steady_clock::time_point deadline;
    std::string song;
    bool statusOwed;
    bool dropOwed;
};

#endif
