#include "ISound.hpp"

#include "ISoundSource.hpp"
#include "Voice.hpp"

namespace irrklang {

ISound::ISound(const ik_c8* name, Outputs* outputs)
    : source(new ISoundSource(name)), voice(new Voice(outputs)), references(1) {}

ISound::~ISound() {
    delete voice;
    delete source;
}

ISoundSource* ISound::getSoundSource() {
    return source;
}

bool ISound::getIsPaused() {
    return voice->isPaused();
}

void ISound::setIsPaused(bool paused) {
    voice->setPaused(paused);
}

void ISound::stop() {
    voice->stop();
}

bool ISound::isFinished() {
    return voice->isFinished();
}

ik_u32 ISound::getPlayPosition() {
    return voice->position();
}

ik_u32 ISound::getPlayLength() {
    return voice->length();
}

bool ISound::setPlayPosition(ik_u32 pos) {
    return voice->seek(pos);
}

bool ISound::drop() {
    if (--references > 0)
        return false;
    delete this;
    return true;
}

} // namespace irrklang
