// The engine's client of the desktop's sound server (PulseAudio, or PipeWire through its pulse
// server), through libpulse's threaded main loop: one connection, made in the background, and
// the streams of the sounds that play through it. Nothing here ever waits for the server:
// every call to the server is asynchronous, and everything the server answers is handled on
// the loop's thread.
//
// The first attempt to connect decides whether the engine plays through the server at all:
// when nothing answers it, the engine plays through OpenAL Soft instead, and when the server
// refuses the player (access, or a stream's format), it does so for good. A connection that
// fails, or never came, is made anew twice a second: streams hold where they were heard while
// there is none, and go on from there once it is back; a server that first answers later
// takes the sounds over from OpenAL Soft. Owned by the engine.
#ifndef BRASKO_SERVEROUTPUT_HPP
#define BRASKO_SERVEROUTPUT_HPP

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/thread-mainloop.h>

#include <atomic>
#include <string>
#include <vector>

namespace irrklang {

class ServerStream;

class ServerOutput {
public:
    enum class State {
        connecting, // the first attempt is under way
        ready,      // connected
        lost,       // was connected; connecting again
        absent,     // nothing answered the first attempt; trying again
        refused     // the server will not play for the player; no more attempts
    };

    // verbose: say on standard output, in one line each, which output the engine plays
    // through and when the server goes away and comes back.
    explicit ServerOutput(bool verbose);
    ~ServerOutput();
    ServerOutput(const ServerOutput&) = delete;
    ServerOutput& operator=(const ServerOutput&) = delete;

    // Where the connection stands; safe to read without the lock.
    State state() const;

    // The loop's lock, which guards the output and every stream added to it. The loop's
    // thread holds it while it handles what the server sent.
    void lock();
    void unlock();

    // With the output locked: takes a stream in, attached to the server if connected.
    void add(ServerStream* stream);
    // With the output locked: lets the stream go; it must have given back its server stream.
    void remove(ServerStream* stream);
    // With the output locked: the connection, while ready; else null.
    pa_context* connection();
    pa_mainloop_api* api();
    // With the output locked: the server refused a stream, for the given reason. Ends the
    // connection for good; the engine plays through OpenAL Soft from then on.
    void refuse(const char* why);

private:
    static void attempt(pa_mainloop_api* api, pa_time_event* event, const struct timeval* when,
                        void* self);
    static void changed(pa_context* context, void* self);
    static void identified(pa_context* context, const pa_server_info* info, void* self);

    // Makes a new connection and starts it.
    void connect();
    // The connection has failed: lets it go and, unless the server refused the player, tries
    // again in half a second.
    void fail();
    // Has every stream hold where it was heard, and lets go of the connection.
    void letGo();
    void say(const std::string& line) const;

    pa_threaded_mainloop* loop;
    pa_context* context;  // null between attempts
    pa_time_event* retry; // the next attempt, while there is no connection
    std::atomic<State> where;
    std::vector<ServerStream*> streams;
    bool verbose;
};

} // namespace irrklang

#endif
