// The sound engine interface used by the player: an engine that plays files in 2D,
// tracked sound handles, and their sources. Names, argument order and defaults follow
// the irrKlang 1.3 interface so that code written against it compiles unchanged.
#ifndef BRASKO_IRRKLANG_H
#define BRASKO_IRRKLANG_H

#include "ISound.hpp"
#include "ISoundEngine.hpp"
#include "ISoundSource.hpp"
#include "irrKlangTypes.hpp"

#endif
