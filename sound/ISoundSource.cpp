#include "ISoundSource.hpp"

namespace irrklang {

ISoundSource::ISoundSource(const ik_c8* name) : name(name) {}

const ik_c8* ISoundSource::getName() {
    return name.c_str();
}

} // namespace irrklang
