// The engine's audio output. Finds out whether an output device opens, once per process and
// before SFML opens its own device: SFML cannot recover from a missing device, so without
// one no SFML audio object may ever be made and sounds are followed silently. With a device,
// it keeps SFML's device open for its whole lifetime, so that successive sounds share one
// device instead of closing and reopening it between them. Owned by the engine.
#ifndef BRASKO_AUDIOOUTPUT_HPP
#define BRASKO_AUDIOOUTPUT_HPP

namespace sf {
class SoundBuffer;
}

namespace irrklang {

class AudioOutput {
public:
    AudioOutput();
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Returns true iff no output device opens, so that sounds must play silently.
    bool isSilent() const;

private:
    // SFML's device stays open while any of its audio objects exists; null when silent.
    sf::SoundBuffer* deviceHolder;
};

} // namespace irrklang

#endif
