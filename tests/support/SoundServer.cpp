#include "support/SoundServer.hpp"

#include "support/Wait.hpp"

#include <csignal>
#include <unistd.h>

using namespace std::chrono_literals;

SoundServer::SoundServer(Kind kind) : kind(kind), recorded(0) {}

SoundServer::~SoundServer() {
    kill();
}

::testing::AssertionResult SoundServer::start(bool record, bool sessionManager) {
    const std::string folder = scratch.path().string();
    if (kind == Kind::pulseaudio) {
        // Where a desktop's PulseAudio listens, and PipeWire's pulse server too.
        std::filesystem::create_directories(folder + "/pulse");
        // Without norewinds the null sink works in blocks of two seconds.
        spawn("pulseaudio",
              {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-L",
               "module-null-sink sink_name=test rate=44100 channels=2 norewinds=1", "-L",
               "module-native-protocol-unix socket=" + folder + "/pulse/native auth-anonymous=1", "-L",
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
    return record ? this->record("test") : ::testing::AssertionSuccess();
}

::testing::AssertionResult SoundServer::startForbidding() {
    // The server's user must own its folder; its cookie is not the player's, and the player
    // is not its user.
    const std::filesystem::path folder = scratch.path() / "stranger";
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(scratch.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    if (chown(folder.c_str(), 65534, 65534) != 0)
        return ::testing::AssertionFailure() << "cannot give the folder to nobody";
    std::filesystem::create_directories(scratch.path() / "pulse");
    std::filesystem::create_symlink(folder / "native", scratch.path() / "pulse" / "native");
    daemons.push_back(std::make_unique<Process>(
        "setpriv", folder,
        std::vector<std::string>{"HOME=" + folder.string(), "XDG_RUNTIME_DIR=" + folder.string()},
        std::vector<std::string>{"--reuid=65534", "--regid=65534", "--clear-groups", "pulseaudio",
                                 "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                                 "-L",
                                 "module-native-protocol-unix auth-anonymous=0 socket=" +
                                     (folder / "native").string()}));
    const auto refuses = [&] {
        Process command("pactl", scratch.path(), environment(), {"info"});
        return command.waitForExit(10s) &&
               command.standardError().find("Access denied") != std::string::npos;
    };
    if (!waitUntil(refuses, 10s))
        return ::testing::AssertionFailure() << "the server does not answer";
    return ::testing::AssertionSuccess();
}

void SoundServer::kill() {
    while (!daemons.empty())
        daemons.pop_back(); // killed in reverse order, the bus last
    // What they leave behind would pass for the next server's sockets before it has made them.
    for (const char* left : {"bus", "pulse", "pipewire-0", "pipewire-0.lock"})
        std::filesystem::remove_all(scratch.path() / left);
}

void SoundServer::become(Kind other) {
    kind = other;
}

void SoundServer::freeze(bool frozen) {
    const std::string server = kind == Kind::pulseaudio ? "pulseaudio" : "pipewire-pulse";
    for (const std::unique_ptr<Process>& daemon : daemons)
        if (daemon->program() == server)
            ::kill(daemon->pid(), frozen ? SIGSTOP : SIGCONT);
}

void SoundServer::unplug() {
    pactl({"unload-module", "module-null-sink"});
}

::testing::AssertionResult SoundServer::plugIn(const std::string& sink, bool makeDefault) {
    // PipeWire's session manager takes a moment before it keeps a default, and a load asked of
    // a server that has only just come up can get lost: load again while the sink is missing,
    // once the last load has had time to show (two sinks of one name would not both stay).
    const auto hasSink = [&] {
        return pactl({"list", "short", "sinks"}).find("\t" + sink + "\t") != std::string::npos;
    };
    if (!waitUntil(
            [&] {
                if (!hasSink()) {
                    std::vector<std::string> load = {"load-module", "module-null-sink",
                                                     "sink_name=" + sink, "rate=44100",
                                                     "channels=2"};
                    if (kind == Kind::pulseaudio)
                        load.push_back("norewinds=1"); // as the first sink, and for the same reason
                    pactl(load);
                    waitUntil(hasSink, 2s);
                }
                if (!makeDefault)
                    return hasSink();
                pactl({"set-default-sink", sink});
                return pactl({"info"}).find("Default Sink: " + sink) != std::string::npos;
            },
            20s)) {
        ::testing::AssertionResult failure = ::testing::AssertionFailure();
        failure << "the sink " << sink << " does not come, or not as the default\n"
                << pactl({"info"}) << pactl({"list", "short", "sinks"});
        for (const std::unique_ptr<Process>& daemon : daemons)
            failure << daemon->standardError();
        return failure;
    }
    return record(sink);
}

std::string SoundServer::pactl(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {"--server=unix:" + (scratch.path() / "pulse/native").string()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    Process command("pactl", scratch.path(), environment(), all);
    return command.waitForExit(10s) ? command.standardOutput() : "";
}

std::vector<std::string> SoundServer::environment() const {
    const std::string folder = scratch.path().string();
    return {"XDG_RUNTIME_DIR=" + folder,
            "HOME=" + folder,
            "PULSE_SERVER=unix:" + folder + "/pulse/native",
            "DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder + "/bus",
            "ALSOFT_DRIVERS=pulse",
            "ALSOFT_CONF=/dev/null",
            "BRASKO_OUTPUT="};
}

const WaveCapture& SoundServer::capture(const std::string& sink) const {
    return *recordings.at(sink);
}

::testing::AssertionResult SoundServer::record(const std::string& sink) {
    const std::filesystem::path file = scratch.path() / ("recording" + std::to_string(++recorded));
    std::unique_ptr<WaveCapture>& recording = recordings[sink];
    recording = std::make_unique<WaveCapture>(file, true);
    spawn("parec", {"-d", sink + ".monitor", "--format=s16le", "--rate=44100", "--channels=2",
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
