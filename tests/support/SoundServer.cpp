#include "support/SoundServer.hpp"

#include "support/Wait.hpp"

using namespace std::chrono_literals;

SoundServer::SoundServer(Kind kind) : kind(kind), recordings(0) {}

SoundServer::~SoundServer() {
    kill();
}

::testing::AssertionResult SoundServer::start(bool record, bool sessionManager) {
    const std::string folder = scratch.path().string();
    if (kind == Kind::pulseaudio) {
        // Without norewinds the null sink works in blocks of two seconds.
        spawn("pulseaudio",
              {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-L",
               "module-null-sink sink_name=test rate=44100 channels=2 norewinds=1", "-L",
               "module-native-protocol-unix socket=" + folder + "/native auth-anonymous=1", "-L",
               "module-suspend-on-idle timeout=1"});
    } else {
        spawn("dbus-daemon", {"--session", "--nofork", "--address=unix:path=" + folder + "/bus"});
        if (!waitUntil([&] { return std::filesystem::exists(folder + "/bus"); }, 10s))
            return ::testing::AssertionFailure() << "no session bus";
        spawn("pipewire", {});
        if (!waitUntil([&] { return std::filesystem::exists(folder + "/pipewire-0"); }, 10s))
            return ::testing::AssertionFailure() << "no PipeWire";
        if (sessionManager)
            spawn("wireplumber", {});
        spawn("pipewire-pulse", {});
    }
    if (!waitUntil([&] { return pactl({"info"}).find("Server Name") != std::string::npos; }, 10s))
        return ::testing::AssertionFailure() << "the sound server does not answer";
    if (kind == Kind::pipewire && sessionManager)
        return plugIn();
    return record ? this->record() : ::testing::AssertionSuccess();
}

void SoundServer::kill() {
    while (!daemons.empty())
        daemons.pop_back(); // killed in reverse order, the bus last
    // What they leave behind would pass for the next server's sockets before it has made them.
    for (const char* left : {"bus", "native", "pulse", "pipewire-0", "pipewire-0.lock"})
        std::filesystem::remove_all(scratch.path() / left);
}

void SoundServer::unplug() {
    pactl({"unload-module", "module-null-sink"});
}

::testing::AssertionResult SoundServer::plugIn() {
    // PipeWire's session manager takes a moment before it keeps a default, and a load asked of
    // a server that has only just come up can get lost: load again while the sink is missing.
    const auto hasSink = [&] {
        return pactl({"list", "short", "sinks"}).find("\ttest\t") != std::string::npos;
    };
    if (!waitUntil(
            [&] {
                if (!hasSink())
                    pactl({"load-module", "module-null-sink", "sink_name=test", "rate=44100",
                           "channels=2"});
                pactl({"set-default-sink", "test"});
                return pactl({"info"}).find("Default Sink: test") != std::string::npos;
            },
            20s)) {
        ::testing::AssertionResult failure = ::testing::AssertionFailure();
        failure << "the sink does not become the default\n"
                << pactl({"info"}) << pactl({"list", "short", "sinks"});
        for (const std::unique_ptr<Process>& daemon : daemons)
            failure << daemon->standardError();
        return failure;
    }
    return record();
}

std::string SoundServer::pactl(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {
        "--server=unix:" +
        (scratch.path() / (kind == Kind::pulseaudio ? "native" : "pulse/native")).string()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    Process command("pactl", scratch.path(), environment(), all);
    return command.waitForExit(10s) ? command.standardOutput() : "";
}

std::vector<std::string> SoundServer::environment() const {
    const std::string folder = scratch.path().string();
    return {"XDG_RUNTIME_DIR=" + folder,
            "HOME=" + folder,
            "PULSE_SERVER=unix:" + folder +
                (kind == Kind::pulseaudio ? "/native" : "/pulse/native"),
            "DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder + "/bus",
            "ALSOFT_DRIVERS=pulse",
            "ALSOFT_CONF=/dev/null"};
}

const WaveCapture& SoundServer::capture() const {
    return *recording;
}

::testing::AssertionResult SoundServer::record() {
    const std::filesystem::path file =
        scratch.path() / ("recording" + std::to_string(++recordings));
    recording = std::make_unique<WaveCapture>(file, true);
    spawn("parec", {"-d", "test.monitor", "--format=s16le", "--rate=44100", "--channels=2",
                    "--latency-msec=20", "--raw", file.string()});
    if (!waitUntil([&] { return recording->frames() > 0; }, 10s))
        return ::testing::AssertionFailure() << "nothing recorded from the sink";
    return ::testing::AssertionSuccess();
}

Process* SoundServer::spawn(const std::string& program, const std::vector<std::string>& arguments) {
    const std::filesystem::path folder =
        scratch.path() / (program + std::to_string(daemons.size()));
    std::filesystem::create_directories(folder);
    daemons.push_back(std::make_unique<Process>(program, folder, environment(), arguments));
    return daemons.back().get();
}
