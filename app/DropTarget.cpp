#include "app/DropTarget.hpp"

#include "session/FileUri.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <filesystem>
#include <system_error>

namespace {
// The protocol version spoken, and the most types of a drag's XdndTypeList looked at.
const long version = 5;
const long typeListItems = 256;
// At most this many events are handled a turn, so that a flood of them cannot hold the loop.
const int eventsPerTurn = 64;
} // namespace

DropTarget::DropTarget(sf::WindowHandle window, SongOpener& opener)
    : display(window != 0 ? XOpenDisplay(nullptr) : nullptr), errors(display), window(window),
      proxy(0), opener(opener), aware(0), proxyName(0), enterName(0), positionName(0),
      statusName(0), leaveName(0), dropName(0), finishedName(0), selection(0), typeList(0),
      actionCopy(0), uriList(0), property(0), source(0), target(0), offersList(false),
      list(List::unasked), deadline(), song(), statusOwed(false), dropOwed(false) {
    if (display == nullptr)
        return;
    const auto atom = [&](const char* name) { return XInternAtom(display, name, False); };
    aware = atom("XdndAware");
    proxyName = atom("XdndProxy");
    enterName = atom("XdndEnter");
    positionName = atom("XdndPosition");
    statusName = atom("XdndStatus");
    leaveName = atom("XdndLeave");
    dropName = atom("XdndDrop");
    finishedName = atom("XdndFinished");
    selection = atom("XdndSelection");
    typeList = atom("XdndTypeList");
    actionCopy = atom("XdndActionCopy");
    uriList = atom("text/uri-list");
    property = atom("BRASKO_DROP");

    // Messages sent to a window go to the connection that made it: the stand-in's come here.
    XSetWindowAttributes attributes{};
    proxy = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, 0, InputOnly,
                          CopyFromParent, 0, &attributes);
    const long versionItem = version;
    const long proxyItem = static_cast<long>(proxy);
    for (const Window on : {static_cast<Window>(window), proxy}) {
        XChangeProperty(display, on, aware, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&versionItem), 1);
        // The stand-in names itself, as the protocol asks, so that a source can tell a
        // stand-in left over from a program that ended.
        XChangeProperty(display, on, proxyName, XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&proxyItem), 1);
    }
    XFlush(display);
}

DropTarget::~DropTarget() {
    if (display == nullptr)
        return;
    XDeleteProperty(display, window, aware);
    XDeleteProperty(display, window, proxyName);
    XDestroyWindow(display, proxy);
    XSync(display, False);
    XCloseDisplay(display);
}

void DropTarget::update() {
    if (display == nullptr)
        return;
    for (int handled = 0; handled < eventsPerTurn && XPending(display) > 0; ++handled) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionNotify)
            listArrived(event.xselection.selection, event.xselection.requestor,
                        event.xselection.property);
        else if (event.type == ClientMessage && event.xclient.format == 32)
            message(event.xclient.message_type, event.xclient.window, event.xclient.data.l);
    }
    if (list == List::asked && std::chrono::steady_clock::now() > deadline) {
        // A source that never hands its list over gets its drag refused.
        list = List::known;
        song.clear();
        settle();
    }
    XFlush(display);
}

void DropTarget::message(unsigned long type, unsigned long to, const long* items) {
    const auto from = static_cast<Window>(items[0]);
    if (type == enterName)
        enter(to, items);
    else if (from == 0 || from != source)
        return; // a message of no drag under way here
    else if (type == positionName)
        position(static_cast<unsigned long>(items[3]));
    else if (type == dropName)
        drop(static_cast<unsigned long>(items[2]));
    else if (type == leaveName)
        forget();
}

void DropTarget::enter(unsigned long to, const long* items) {
    forget();
    const long flags = items[1];
    // A source of a later version than this one's is not understood.
    if (((flags >> 24) & 0xff) > version)
        return;
    source = static_cast<Window>(items[0]);
    target = to;
    if ((flags & 1) == 0) {
        for (int i = 2; i < 5; ++i)
            offersList = offersList || static_cast<Atom>(items[i]) == uriList;
        return;
    }
    // More than three types: they are listed on the source window.
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, source, typeList, 0, typeListItems, False, XA_ATOM, &actualType,
                           &format, &count, &remaining, &data) == Success &&
        data != nullptr) {
        if (format == 32) {
            const auto* types = reinterpret_cast<const unsigned long*>(data);
            for (unsigned long i = 0; i < count; ++i)
                offersList = offersList || types[i] == uriList;
        }
        XFree(data);
    }
}

void DropTarget::position(unsigned long time) {
    if (!offersList) {
        sendStatus();
        return;
    }
    statusOwed = true;
    if (list == List::unasked)
        askForList(time);
    else if (list == List::known)
        settle();
}

void DropTarget::drop(unsigned long time) {
    statusOwed = false;
    dropOwed = true;
    if (!offersList)
        list = List::known;
    if (list == List::unasked)
        askForList(time);
    else if (list == List::known)
        settle();
}

void DropTarget::askForList(unsigned long time) {
    XConvertSelection(display, selection, uriList, property, proxy, time);
    list = List::asked;
    deadline = std::chrono::steady_clock::now() + handOverTime;
}

void DropTarget::listArrived(unsigned long selected, unsigned long requestor, unsigned long where) {
    const bool awaited = list == List::asked && selected == selection && requestor == proxy;
    if (awaited && where == property)
        readList();
    if (where != None)
        XDeleteProperty(display, proxy, where);
    if (awaited) {
        list = List::known;
        settle();
    }
}

void DropTarget::readList() {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, proxy, property, 0, listBytes / 4, False, AnyPropertyType,
                           &actualType, &format, &count, &remaining, &data) != Success ||
        data == nullptr)
        return;
    // A list handed over in parts (INCR, one 32-bit size) is longer than any read here anyway.
    std::string text;
    if (format == 8)
        text.assign(reinterpret_cast<const char*>(data), count);
    XFree(data);
    // One URI a line, lines ending in CR LF (or LF alone); lines starting with # are comments.
    // A list cut off by the limit is read up to its last whole line.
    if (remaining > 0)
        text.erase(text.find_last_of('\n') == std::string::npos ? 0 : text.find_last_of('\n'));
    std::size_t start = 0;
    for (int looked = 0; start < text.size() && looked < listUris; ++looked) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const FileUri uri(line);
        std::error_code failed;
        if (uri.isLocalFile() && std::filesystem::is_regular_file(uri.path(), failed)) {
            song = uri.path();
            return;
        }
    }
}

void DropTarget::settle() {
    if (statusOwed)
        sendStatus();
    if (dropOwed)
        finish();
}

void DropTarget::sendStatus() {
    statusOwed = false;
    const bool accepted = list == List::known && !song.empty();
    send(statusName, accepted ? 1 : 0, accepted ? actionCopy : None);
}

void DropTarget::finish() {
    const bool played = list == List::known && !song.empty() && opener.open(song);
    send(finishedName, played ? 1 : 0, played ? actionCopy : None);
    forget();
}

void DropTarget::send(unsigned long type, long accepted, unsigned long action) {
    // Status: the target, accepted, an empty rectangle (positions wanted everywhere), the
    // action. Finished: the target, accepted, the action done.
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = source;
    message.xclient.message_type = type;
    message.xclient.format = 32;
    message.xclient.data.l[0] = static_cast<long>(target);
    message.xclient.data.l[1] = accepted;
    if (type == statusName)
        message.xclient.data.l[4] = static_cast<long>(action);
    else
        message.xclient.data.l[2] = static_cast<long>(action);
    XSendEvent(display, source, False, NoEventMask, &message);
}

void DropTarget::forget() {
    source = 0;
    target = 0;
    offersList = false;
    list = List::unasked;
    song.clear();
    statusOwed = false;
    dropOwed = false;
}
