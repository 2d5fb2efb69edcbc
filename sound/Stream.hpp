// Streams one sound file to the audio device: an OpenAL source fed from a SoundFile through
// four half-second buffers, which a thread
// of its own refills four times a second (sf::Music wakes a hundred times a second for the
// same work). Made by a Voice with a device, it plays from play() until stop(), its end, or
// its destruction. Needs SFML's audio device open,
// with its context current, from open() to stop(); stop() gives every OpenAL object back,
// so a stopped stream may outlive the device. Positions are in sample frames.
#ifndef BRASKO_STREAM_HPP
#define BRASKO_STREAM_HPP

#include "SoundFile.hpp"

#include <SFML/Config.hpp>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace irrklang {

class Stream {
public:
    Stream();
    ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Opens the file and makes the source and its buffers. Returns null on success, else
    // why the file cannot be played (nothing is left open then).
    const char* open(const std::string& fileName);

    sf::Uint64 frameCount() const;
    unsigned int sampleRate() const;
    unsigned int channelCount() const;

    // Played from its end back to its start forever, iff set before play().
    void setLoop(bool value);

    // Starts or resumes playing.
    void play();
    void pause();
    // Stops for good and gives back the source, its buffers and the thread.
    void stop();

    // Returns true iff stop() was called or the last frame has been heard (never when
    // looping).
    bool isFinished();

    // The frame being heard: never past the end, wrapped at each loop.
    sf::Uint64 position();

    // Plays on (or stays paused) from the given frame, which must be before the end.
    void seek(sf::Uint64 frame);

private:
    // Refills and queues every buffer the source has played, and restarts a source that
    // ran dry while it should play. Called with the lock held.
    void refill();
    // Decodes the next stretch into the buffer and queues it. Returns false at the end of
    // the file (when not looping). Called with the lock held.
    bool queue(unsigned int buffer);
    // Returns true iff the last frame has been heard. Called with the lock held.
    bool heardToTheEnd();
    void run();

    struct Queued {
        unsigned int buffer;
        sf::Uint64 start; // the file's frame at its start
        sf::Uint64 frames;
    };

    SoundFile file;
    std::vector<sf::Int16> samples; // one buffer's worth
    int format;                     // the OpenAL format, 0 until open
    unsigned int source;            // 0 when none
    unsigned int buffers[4];
    std::vector<Queued> queued; // oldest first
    sf::Uint64 nextFrame;       // the file's frame the next buffer starts at
    bool loop;
    bool playing; // play() was called last, not pause()
    bool ended;   // the file's last frame is queued
    bool stopped;
    bool quit;  // the thread is to end
    bool poked; // the thread is to refill now
    std::mutex lock;
    std::condition_variable wake;
    std::thread worker;
};

} // namespace irrklang

#endif
