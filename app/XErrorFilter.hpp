// Keeps X errors on a connection of the program's own from ending the program: errors there
// come from other clients' windows that went away meanwhile (a drag's source) or from the
// window being torn down, and are harmless. Xlib has one error handler for every connection;
// while any filter lives it is this class's, which drops the errors of every filtered
// connection and passes all others on to the handler found when the first filter was made
// (SFML's or Xlib's own, which ends the program). Made once the connection is open, and
// destroyed after it is closed; a null connection is not filtered.
#ifndef BRASKO_XERRORFILTER_HPP
#define BRASKO_XERRORFILTER_HPP

struct _XDisplay; // NOLINT(bugprone-reserved-identifier): Xlib's name for its Display

class XErrorFilter {
public:
    explicit XErrorFilter(_XDisplay* connection);
    ~XErrorFilter();
    XErrorFilter(const XErrorFilter&) = delete;
    XErrorFilter& operator=(const XErrorFilter&) = delete;

private:
    _XDisplay* connection;
};

#endif
