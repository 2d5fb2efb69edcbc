#include "AudioOutput.hpp"

#include <SFML/Audio/SoundBuffer.hpp>
#include <alc.h>

namespace irrklang {

namespace {

bool deviceOpens() {
    ALCdevice* device = alcOpenDevice(nullptr);
    if (device == nullptr)
        return false;
    alcCloseDevice(device);
    return true;
}

} // namespace

AudioOutput::AudioOutput() : deviceHolder(nullptr) {
    static const bool available = deviceOpens();
    if (available)
        deviceHolder = new sf::SoundBuffer;
}

AudioOutput::~AudioOutput() {
    delete deviceHolder;
}

bool AudioOutput::isSilent() const {
    return deviceHolder == nullptr;
}

} // namespace irrklang
