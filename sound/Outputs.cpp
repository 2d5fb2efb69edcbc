#include "Outputs.hpp"

#include "OpenAlOutput.hpp"
#include "ServerOutput.hpp"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace irrklang {

Outputs::Outputs(bool verbose) : serverOutput(nullptr), openAlOutput(nullptr), verbose(verbose) {
    const char* const asked = std::getenv("BRASKO_OUTPUT");
    if (asked != nullptr && std::strcmp(asked, "openal") == 0) {
        if (verbose)
            std::cout << "brasko sound: playing through OpenAL Soft, as BRASKO_OUTPUT asks"
                      << std::endl;
        openAlOutput = new OpenAlOutput(verbose);
        return;
    }
    if (asked != nullptr && *asked != '\0' && verbose)
        std::cout << "brasko sound: BRASKO_OUTPUT=" << asked
                  << " is not an output (\"openal\" is); it is ignored" << std::endl;
    serverOutput = new ServerOutput(verbose);
}

Outputs::~Outputs() {
    delete serverOutput;
    delete openAlOutput;
}

bool Outputs::useServer() {
    if (serverOutput == nullptr)
        return false;
    const ServerOutput::State state = serverOutput->state();
    const bool toServer =
        state != ServerOutput::State::absent && state != ServerOutput::State::refused;
    if (!toServer && openAlOutput == nullptr) {
        openAlOutput = new OpenAlOutput(verbose);
    } else if (toServer && openAlOutput != nullptr && !openAlOutput->isInUse()) {
        // The device is let go, for the server to have it.
        delete openAlOutput;
        openAlOutput = nullptr;
    }
    return toServer;
}

ServerOutput* Outputs::server() {
    return serverOutput;
}

OpenAlOutput* Outputs::openAl() {
    return openAlOutput;
}

} // namespace irrklang
