#include "AudioOutput.hpp"

#include <SFML/Audio/SoundBuffer.hpp>
#include <alc.h>
#include <alext.h>

namespace irrklang {

namespace {

bool deviceOpens() {
    ALCdevice* device = alcOpenDevice(nullptr);
    if (device == nullptr)
        return false;
    alcCloseDevice(device);
    return true;
}

// OpenAL Soft passes its mix through a limiter by default, which works out a gain for every
// sample frame with a logarithm and an exponential, and takes most of the mixer's time
// (about 17 times its other work here), silence included. The engine plays one source at
// a time at full gain from 16-bit samples, which stays within full scale, so the limiter
// never changes a sample. Resets SFML's device, the current one, without it.
void turnOffLimiter() {
    ALCcontext* context = alcGetCurrentContext();
    ALCdevice* device = context != nullptr ? alcGetContextsDevice(context) : nullptr;
    if (device == nullptr || alcIsExtensionPresent(device, "ALC_SOFT_output_limiter") == ALC_FALSE)
        return;
    const auto reset =
        reinterpret_cast<LPALCRESETDEVICESOFT>(alcGetProcAddress(device, "alcResetDeviceSOFT"));
    const ALCint attributes[] = {ALC_OUTPUT_LIMITER_SOFT, ALC_FALSE, 0};
    if (reset != nullptr)
        reset(device, attributes);
}

} // namespace

AudioOutput::AudioOutput() : deviceHolder(nullptr) {
    static const bool available = deviceOpens();
    if (available) {
        deviceHolder = new sf::SoundBuffer;
        turnOffLimiter();
    }
}

AudioOutput::~AudioOutput() {
    delete deviceHolder;
}

bool AudioOutput::isSilent() const {
    return deviceHolder == nullptr;
}

} // namespace irrklang
