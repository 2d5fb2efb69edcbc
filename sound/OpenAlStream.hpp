// Streams one sound file through OpenAL Soft: the sound's file decoded into four half-second
// buffers queued on an OpenAL source, which the output's thread refills four times a second.
// While the output has no device the stream has no source and holds its place, frozen or
// moving on with the clock as the output says; when a device opens it goes on from there.
// Made by a Voice, which lends it the file, it plays from play() until stop(), its end or its
// destruction. A stopped stream never touches the output or the file again, so it may outlive
// the output. Its public calls come from the thread that owns the sound. Positions are sample
// frames.
#ifndef BRASKO_OPENALSTREAM_HPP
#define BRASKO_OPENALSTREAM_HPP

#include "SoundFile.hpp"

#include <SFML/Config.hpp>

#include <chrono>
#include <vector>

namespace irrklang {

class OpenAlOutput;

class OpenAlStream {
public:
    // The file stays the caller's and must be open; when looping, the stream plays from its
    // end back to its start forever.
    OpenAlStream(OpenAlOutput* output, SoundFile& file, bool looping);
    ~OpenAlStream();
    OpenAlStream(const OpenAlStream&) = delete;
    OpenAlStream& operator=(const OpenAlStream&) = delete;

    // Joins the output, paused at the given frame. Called once, first.
    void join(sf::Uint64 from);

    // Starts or resumes playing.
    void play();
    void pause();
    // Stops for good: gives back the source and its buffers and leaves the output.
    void stop();

    // Returns true iff stop() was called or the last frame has been heard (never when
    // looping).
    bool isFinished();

    // The frame being played: never past the end, wrapped at each loop.
    sf::Uint64 position();

    // Plays on (or stays paused) from the given frame, which must be before the end.
    void seek(sf::Uint64 frame);

private:
    friend class OpenAlOutput;

    // What the output does with its lock held and its context current. attach(): a device is
    // open; makes the source and goes on from where the stream holds. detach(): there is no
    // device; gives back the source and holds where the sound was last heard, moving on
    // with the clock iff moveOn.
    void attach();
    void detach(bool moveOn);
    // Refills and queues every buffer the source has played, and restarts a source that ran
    // dry while it should play.
    void refill();
    // Returns true iff the source is playing.
    bool isAudible();

    // Called with the output locked.
    sf::Uint64 positionLocked();
    sf::Uint64 clockPosition() const;
    sf::Uint64 frameCount() const;
    bool finishedLocked();
    // Decodes the next stretch into the buffer and queues it. Returns false at the end of
    // the file (when not looping).
    bool queue(unsigned int buffer);
    // Unqueues the buffers the source has played.
    void dropPlayed();
    // Returns true iff the last frame has been heard.
    bool heardToTheEnd();
    void release();

    struct Queued {
        unsigned int buffer;
        sf::Uint64 start; // the file's frame at its start
        sf::Uint64 frames;
    };

    OpenAlOutput* output; // null once stopped
    SoundFile& file;
    std::vector<sf::Int16> samples; // one buffer's worth
    unsigned int source;            // 0 while detached
    unsigned int buffers[4];
    std::vector<Queued> queued;                  // oldest first
    sf::Uint64 nextFrame;                        // the file's frame the next buffer starts at
    sf::Uint64 runStart;                         // where the source last started playing from
    sf::Uint64 heard;                            // where the sound was last heard to be, or holds
    std::chrono::steady_clock::time_point since; // when heard was set, while detached
    bool advancing;                              // detached, moving on with the clock
    bool loop;
    bool playing; // play() was called last, not pause()
    bool ended;   // the file's last frame is queued
};

} // namespace irrklang

#endif
