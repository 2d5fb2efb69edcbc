// One sound being played. start() opens and checks the file, then plays it through a stream on
// the output the engine plays through: the sound server's (ServerStream) or OpenAL Soft's
// (OpenAlStream), heard or, while the output has none, held or followed as if heard. When the
// engine changes outputs (no server answered, the server refused the player, or a server
// answered late), the sound moves to the new one at its next call and goes on from where it
// was. Owned by its ISound; it plays from start() until it is stopped, sought past its end or
// reaches its end, and stays finished after. Times are milliseconds.
#ifndef BRASKO_VOICE_HPP
#define BRASKO_VOICE_HPP

#include "SoundFile.hpp"
#include "irrKlangTypes.hpp"

#include <string>

namespace irrklang {

class OpenAlStream;
class Outputs;
class ServerStream;

class Voice {
public:
    explicit Voice(Outputs* outputs);
    ~Voice();
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;

    // Opens the file and starts playing it, from its start. Returns null on success, else
    // why the file cannot be played.
    const char* start(const std::string& fileName, bool looped, bool paused);

    // Returns true iff the voice is paused and not finished.
    bool isPaused();
    void setPaused(bool paused);
    void stop();

    // Returns true iff the voice was stopped or has played to its end.
    bool isFinished();

    // Never goes backwards but through a seek or a loop; 0 once finished.
    ik_u32 position();
    ik_u32 length() const;

    // A target past the end finishes the voice. Returns false, changing nothing, iff the
    // voice has finished.
    bool seek(ik_u32 target);

private:
    // Makes the stream on the output the engine plays through now, from the given frame.
    void makeStream(sf::Uint64 from);
    // Moves the sound to the output the engine plays through now, if it has changed.
    void follow();
    // Calls call(stream) on whichever stream the voice has.
    template <typename Call> auto withStream(Call call);

    Outputs* outputs;
    SoundFile file;
    std::string name;
    ServerStream* serverStream; // the one of the two that plays, until the voice ends
    OpenAlStream* openAlStream;
    unsigned int rate; // frames per second
    ik_u32 lengthMs;
    ik_u32 highest; // greatest position read since the start, the last seek or loop
    bool looped;
    bool paused;
    bool stopped;
};

} // namespace irrklang

#endif
