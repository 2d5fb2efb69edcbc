// The file a sound was started from. Owned by its sound and valid as long as it is.
#ifndef BRASKO_ISOUNDSOURCE_HPP
#define BRASKO_ISOUNDSOURCE_HPP

#include "irrKlangTypes.hpp"

#include <string>

namespace irrklang {

class ISoundSource {
public:
    explicit ISoundSource(const ik_c8* name);

    // The file name exactly as it was given to play2D.
    const ik_c8* getName();

private:
    std::string name;
};

} // namespace irrklang

#endif
