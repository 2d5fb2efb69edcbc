// Runs the tests of the program it is built into against a PulseAudio server of their own,
// which the engine plays through with its own client: the behaviour those tests prove with
// OpenAL Soft holds through the sound server too.
#include "support/SoundServer.hpp"

#include <cstdlib>
#include <memory>

namespace {

class PrivateServer : public ::testing::Environment {
public:
    void SetUp() override {
        server = std::make_unique<SoundServer>(SoundServer::Kind::pulseaudio);
        for (const std::string& entry : server->environment())
            setenv(entry.substr(0, entry.find('=')).c_str(),
                   entry.substr(entry.find('=') + 1).c_str(), 1);
        unsetenv("BRASKO_OUTPUT");
        ASSERT_TRUE(server->start(false));
    }

    void TearDown() override { server.reset(); }

private:
    std::unique_ptr<SoundServer> server;
};

::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(new PrivateServer);

} // namespace
