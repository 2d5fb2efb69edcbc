// Where the engine's sounds play: through the desktop's sound server when one answers, else
// through OpenAL Soft (a system without a sound server, or one that refuses the player), or
// through OpenAL Soft alone when the environment variable BRASKO_OUTPUT is "openal". The
// server's client is made with the engine and connects in the background; sounds started
// meanwhile wait on it, at their start. OpenAL Soft's output is made when it is to be used,
// and let go once a server that answered late has taken every sound over. Owned by the
// engine; its calls come from the engine's thread.
#ifndef BRASKO_OUTPUTS_HPP
#define BRASKO_OUTPUTS_HPP

namespace irrklang {

class OpenAlOutput;
class ServerOutput;

class Outputs {
public:
    // verbose: say on standard output, once, which output the sounds play through, and
    // whatever the outputs have to say later.
    explicit Outputs(bool verbose);
    ~Outputs();
    Outputs(const Outputs&) = delete;
    Outputs& operator=(const Outputs&) = delete;

    // Returns true iff sounds are to play through the sound server now; else OpenAL Soft's
    // output is there to play them.
    bool useServer();

    // The server's client; null when OpenAL Soft is asked for.
    ServerOutput* server();
    // OpenAL Soft's output; null while it is not used.
    OpenAlOutput* openAl();

private:
    ServerOutput* serverOutput;
    OpenAlOutput* openAlOutput;
    bool verbose;
};

} // namespace irrklang

#endif
