// Basic types, constants and the version string shared by the sound engine interface.
#ifndef BRASKO_IRRKLANG_TYPES_HPP
#define BRASKO_IRRKLANG_TYPES_HPP

#define IRR_KLANG_VERSION "1.3.0"

namespace irrklang {

typedef char ik_c8;
typedef unsigned int ik_u32;

// Which output driver the engine opens.
enum E_SOUND_OUTPUT_DRIVER { ESOD_AUTO_DETECT = 0 };

// Engine options, combined as bit flags.
enum E_SOUND_ENGINE_OPTIONS {
    ESEO_MULTI_THREADED = 0x01,
    ESEO_LOAD_PLUGINS = 0x04,
    ESEO_USE_3D_BUFFERS = 0x08,
    ESEO_PRINT_DEBUG_INFO_TO_DEBUGGER = 0x10,
    ESEO_PRINT_DEBUG_INFO_TO_STDOUT = 0x20,
    ESEO_DEFAULT_OPTIONS = 0x3D
};

// How a file is read: decoded while playing or loaded whole; the engine decides.
enum E_STREAM_MODE { ESM_AUTO_DETECT = 0 };

} // namespace irrklang

#endif
