// Streams one sound file to the sound server: a stream of its own at the server, in the file's
// own format (16-bit samples at its rate and channel layout), which the server converts where
// its output differs. The server keeps two seconds of the sound and asks for about one at a
// time, so that it and the player wake rarely; what is heard answers at once all the same,
// for pause corks the stream, a seek flushes it and writes from the new frame, and a stop
// lets it go. The stream is movable: it follows the default output, can be moved by hand, and
// is moved by the server when its output goes.
//
// While the output has no connection, or the server has no output to give it, the stream has
// no stream at the server and holds where it was last heard; it goes on from there once it
// has one again. Made by a Voice, which lends it the file, it plays from play() until stop(),
// its end or its destruction. A stopped stream never touches the output or the file again, so
// it may outlive the output. Its public calls come from the thread that owns the sound, the
// rest from the output's loop. Positions are sample frames.
#ifndef BRASKO_SERVERSTREAM_HPP
#define BRASKO_SERVERSTREAM_HPP

#include "SoundFile.hpp"

#include <SFML/Config.hpp>
#include <pulse/context.h>
#include <pulse/stream.h>

#include <chrono>
#include <string>
#include <vector>

namespace irrklang {

class ServerOutput;

class ServerStream {
public:
    // The file stays the caller's and must be open. name: what the desktop's mixer shows for
    // the stream. When looping, the stream plays from its end back to its start forever.
    ServerStream(ServerOutput* output, SoundFile& file, const std::string& name, bool looping);
    ~ServerStream();
    ServerStream(const ServerStream&) = delete;
    ServerStream& operator=(const ServerStream&) = delete;

    // Joins the output, paused at the given frame. Called once, first.
    void join(sf::Uint64 from);

    // Starts or resumes playing.
    void play();
    void pause();
    // Stops for good: lets go of the stream at the server and leaves the output.
    void stop();

    // Returns true iff stop() was called or the last frame has been heard (never when
    // looping).
    bool isFinished();

    // The frame being heard: the server's time for the stream less what its output still
    // holds, between the server's reports moved on with the clock, but never further than
    // until the next report is due. Never past the end, wrapped at each loop.
    sf::Uint64 position();

    // Plays on (or stays paused) from the given frame, which must be before the end.
    void seek(sf::Uint64 frame);

private:
    friend class ServerOutput;

    // What the output does with its lock held. attach(): connected; makes the stream at the
    // server, from where the sound holds. detach(): the connection has gone; holds where the
    // sound was last heard.
    void attach();
    void detach();

    // The loop's callbacks.
    static void changed(pa_stream* stream, void* self);
    static void asked(pa_stream* stream, std::size_t bytes, void* self);
    static void timed(pa_stream* stream, void* self);
    static void drained(pa_stream* stream, int success, void* self);
    static void continued(pa_mainloop_api* api, pa_defer_event* event, void* self);
    static void ticked(pa_mainloop_api* api, pa_time_event* event, const struct timeval* when,
                       void* self);

    void ready();
    void failed();
    // Writes what the server asks for, a quarter of a second at a time, and at least
    // `least` frames (after a flush, before the server has asked).
    void fill(std::size_t least = 0);
    // Asks the server for the stream's time; timed() gets the answer.
    void askTime();
    void cork(bool corked);
    // Runs ticked() after the given time; none with 0.
    void wake(std::chrono::milliseconds after);
    // Lets go of the stream at the server.
    void release();
    sf::Uint64 positionLocked();
    // Returns true iff the stream exists at the server and takes calls.
    bool isReady() const;

    // A stretch of the written sound that comes from one run of the file: from `frame` on, it
    // starts `offset` frames after the first frame written since the last flush.
    struct Run {
        sf::Uint64 offset;
        sf::Uint64 frame;
    };

    ServerOutput* output; // null once stopped
    SoundFile& file;
    std::string name;
    bool loop;
    pa_stream* stream;      // null while there is none at the server
    pa_operation* draining; // the drain under way, if any
    pa_defer_event* more;   // fills on, while the server wants more
    pa_time_event* timer;   // the next look at the time, or attempt at a stream
    pa_sample_spec format;
    std::vector<Run> runs; // oldest first; never empty
    sf::Int64 base;        // the stream's frame of the first frame written since the
                           // last flush, once the server has told (baseKnown)
    bool baseKnown;
    sf::Uint64 written;   // frames written since the last flush
    sf::Uint64 nextFrame; // the file's frame written next
    sf::Uint64 heard;     // where the sound was last heard to be, or holds
    pa_usec_t reported;   // the stream's time at the server's last report
    std::chrono::steady_clock::time_point reportedAt;
    bool timeKnown; // a report came since the stream was made
    bool playing;   // play() was called last, not pause()
    bool corked;    // as the stream was last asked to be
    bool everReady; // the server ever took the stream
    bool ended;     // the file's last frame is written
    bool finished;  // and has been heard
};

} // namespace irrklang

#endif
