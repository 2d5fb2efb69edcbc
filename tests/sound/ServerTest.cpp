// The engine playing through a real sound server, PulseAudio or PipeWire, that the test
// starts, kills, stops, starts again and unplugs: through the server's own client, as on a
// desktop, and through OpenAL Soft, as BRASKO_OUTPUT=openal asks. What the server's sinks
// record is compared with the mpg123 program's decode, and what the engine reports meanwhile.
#include "Fixtures.hpp"
#include "OutputCapture.hpp"
#include "Recording.hpp"
#include "support/SoundServer.hpp"
#include "support/Wait.hpp"

#include <irrKlang.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <thread>

using namespace irrklang;
using namespace std::chrono;
using namespace std::chrono_literals;
using Kind = SoundServer::Kind;

namespace {
const std::size_t stretch = 4096; // frames compared at each place
const long rate = 44100;

// Which of the engine's outputs plays into the server.
enum class Path { client, openal };

std::string serverName(Kind kind) {
    return kind == Kind::pulseaudio ? "pulseaudio" : "pipewire";
}

std::string pathName(Path path) {
    return path == Path::client ? "client" : "openal";
}
} // namespace

void PrintTo(Kind kind, std::ostream* out) {
    *out << serverName(kind);
}

class ServerFixture : public ::testing::Test {
protected:
    ServerFixture(Kind kind, Path path)
        : server(kind), reference(fixture("cbr.ref.wav")), path(path) {
        for (const std::string& entry : server.environment())
            setenv(entry.substr(0, entry.find('=')).c_str(),
                   entry.substr(entry.find('=') + 1).c_str(), 1);
        if (path == Path::openal)
            setenv("BRASKO_OUTPUT", "openal", 1);
        else
            unsetenv("BRASKO_OUTPUT");
    }

    ~ServerFixture() override {
        if (sound != nullptr)
            sound->drop();
        if (engine != nullptr)
            engine->drop();
    }

    // Starts the engine and plays the 3-second song until it has played `ms`.
    void playUntil(ik_u32 ms) {
        engine = createIrrKlangDevice();
        sound = engine->play2D(fixture("cbr.mp3").c_str(), false, false, true);
        ASSERT_NE(sound, nullptr);
        ASSERT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= ms; }, 5s));
    }

    // The song's frame that the sink's capture holds from its first sound after `from` on,
    // looked for within a quarter of a second of `near`; -1 if there is no sound or it is not
    // the song.
    long songAt(std::size_t from, long near, const std::string& sink = "test") {
        const WaveCapture& capture = server.capture(sink);
        if (!waitUntil([&] { return capture.soundAfter(from).has_value(); }, 5s))
            return -1;
        const std::size_t onset = *capture.soundAfter(from);
        waitUntil([&] { return capture.frames() > onset + stretch; });
        double correlation = 0;
        const long found = Recording(capture.path().string(), rate)
                               .locate(reference, onset, stretch, near, rate / 4, correlation);
        return correlation > 0.9 ? found : -1;
    }

    // The song's frame that the sink's capture last held before frame `before`.
    long lastHeardBefore(std::size_t before, long near, const std::string& sink = "test") {
        const Recording recorded(server.capture(sink).path().string(), rate);
        std::size_t end = before;
        while (end > 0 && recorded.firstSound(end - 1) >= before)
            --end;
        double correlation = 0;
        return recorded.locate(reference, end - stretch, stretch, near - stretch, rate / 4,
                               correlation) +
               static_cast<long>(stretch);
    }

    // Returns true iff the server soon shows no stream playing (and, iff it has no recorder,
    // its sink suspended).
    ::testing::AssertionResult idles(bool suspended) {
        const bool idle = waitUntil(
            [&] {
                return server.pactl({"list", "sink-inputs"}).find("Corked: no") ==
                           std::string::npos &&
                       (!suspended || server.pactl({"list", "sinks", "short"}).find("SUSPENDED") !=
                                          std::string::npos);
            },
            5s);
        return idle ? ::testing::AssertionSuccess()
                    : ::testing::AssertionFailure() << server.pactl({"list", "sink-inputs"});
    }

    SoundServer server;
    Recording reference;
    Path path;
    ISoundEngine* engine = nullptr;
    ISound* sound = nullptr;
};

class ServerTest : public ServerFixture,
                   public ::testing::WithParamInterface<std::tuple<Kind, Path>> {
protected:
    ServerTest() : ServerFixture(std::get<0>(GetParam()), std::get<1>(GetParam())) {}
};

TEST_P(ServerTest, PlaysTheSongFromItsFirstSample) {
    ASSERT_TRUE(server.start());
    playUntil(500);
    EXPECT_NEAR(songAt(0, 0), 0, 2);
}

TEST_P(ServerTest, PauseSeekAndStopWhileTheServerIsAwayTakeEffectWhenItIsBack) {
    ASSERT_TRUE(server.start());
    playUntil(500);
    server.kill();
    sound->setIsPaused(true);
    ASSERT_TRUE(sound->setPlayPosition(2000));
    ASSERT_TRUE(server.start());
    // Paused, it stays silent; resumed, it plays from where it was sought.
    EXPECT_TRUE(holdsFor([&] { return !server.capture().soundAfter(0); }, 1s));
    const std::size_t resumed = server.capture().frames();
    sound->setIsPaused(false);
    EXPECT_NEAR(songAt(resumed, 2000 * rate / 1000), 2000 * rate / 1000, 2);

    server.kill();
    sound->stop();
    ASSERT_TRUE(server.start());
    EXPECT_TRUE(
        holdsFor([&] { return sound->isFinished() && !server.capture().soundAfter(0); }, 1s));
}

TEST_P(ServerTest, AnEngineStartedBeforeTheServerPlaysAloudOnceTheServerRuns) {
    // OpenAL Soft drops its PulseAudio driver for good when no server answers its first call;
    // then ALSA's default device reaches the server, through its pulse plug-in.
    if (path == Path::openal)
        setenv("ALSOFT_DRIVERS", "pulse,alsa", 1);
    OutputCapture out(1);
    playUntil(300); // on the clock, silently
    ASSERT_TRUE(server.start());
    // The position is read meanwhile, as the player does every frame: a sound moves to another
    // output at a call on it.
    EXPECT_TRUE(waitUntil([&] {
        sound->getPlayPosition();
        return server.capture().soundAfter(0).has_value();
    }));
    std::string said = out.finish();
    if (path == Path::openal) {
        EXPECT_EQ(said, "brasko sound: playing through OpenAL Soft, as BRASKO_OUTPUT asks\n"
                        "brasko sound: no audio output device could be opened; playing silently\n"
                        "brasko sound: an audio output device opened; playing aloud\n");
    } else {
        // The sound moves from OpenAL Soft, which found no device either, to the server.
        const std::string server = std::get<0>(GetParam()) == Kind::pulseaudio
                                       ? "pulseaudio 16.1"
                                       : "PulseAudio (on PipeWire";
        EXPECT_EQ(said.substr(0, said.find(server)),
                  "brasko sound: no sound server answers; playing through OpenAL Soft\n"
                  "brasko sound: no audio output device could be opened; playing silently\n"
                  "brasko sound: playing through the sound server (");
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerTest,
                         ::testing::Combine(::testing::Values(Kind::pulseaudio, Kind::pipewire),
                                            ::testing::Values(Path::client, Path::openal)),
                         [](const auto& info) {
                             return serverName(std::get<0>(info.param)) + "_" +
                                    pathName(std::get<1>(info.param));
                         });

// The output goes away mid-song for three seconds: the server killed, or its sink unloaded.
// (PipeWire's session manager puts a dummy sink in the place of the last one unloaded, and
// the sound plays on into it: that output never goes away.) A killed server may come back as
// the other one.
struct Outage {
    Kind kind;
    bool crash;
    Path path;
    Kind back;
};

std::string outageName(const Outage& outage) {
    return serverName(outage.kind) + (outage.crash ? "_killed_" : "_unplugged_") +
           pathName(outage.path) +
           (outage.back != outage.kind ? "_back_as_" + serverName(outage.back) : "");
}

void PrintTo(const Outage& outage, std::ostream* out) {
    *out << outageName(outage);
}

class OutageTest : public ServerFixture, public ::testing::WithParamInterface<Outage> {
protected:
    OutageTest() : ServerFixture(GetParam().kind, GetParam().path) {}
};

TEST_P(OutageTest, HoldsTheSoundWhereItWasHeardAndGoesOnFromThereWhenTheOutputIsBack) {
    ASSERT_TRUE(server.start());
    playUntil(1000);
    const bool crash = GetParam().crash;
    if (crash)
        server.kill();
    else
        server.unplug();
    // Once the engine has seen the output go, the position stands still.
    ik_u32 held = sound->getPlayPosition();
    ASSERT_TRUE(waitUntil([&] {
        return holdsFor([&] { return sound->getPlayPosition() == held; }, 200ms) ||
               ((held = sound->getPlayPosition()), false);
    }));
    EXPECT_TRUE(
        holdsFor([&] { return sound->getPlayPosition() == held && !sound->isFinished(); }, 2500ms));

    server.become(GetParam().back);
    ASSERT_TRUE(crash ? server.start() : server.plugIn());
    const auto back = steady_clock::now();
    ASSERT_TRUE(waitUntil([&] { return server.capture().soundAfter(0).has_value(); }, 2s));
    const double after = duration<double>(steady_clock::now() - back).count();
    const long resumedAt = songAt(0, held * rate / 1000);
    std::printf("figure: sound back %.3f s after the output, %ld ms from where it held\n", after,
                resumedAt * 1000 / rate - static_cast<long>(held));
    // A server killed mid-song has played on past its last report of what it played; the
    // player cannot know how far (up to a report's interval, longer on a busy machine), so
    // the sound may go on a little after where it held, never before it.
    EXPECT_GE(resumedAt, held * rate / 1000 - rate / 10);
    EXPECT_LE(resumedAt, held * rate / 1000 + rate / 4);
    // It then plays to its true end, once.
    ASSERT_TRUE(waitUntil([&] { return sound->isFinished(); }, 5s));
    const std::size_t onset = *server.capture().soundAfter(0);
    std::optional<std::size_t> end;
    ASSERT_TRUE(waitUntil(
        [&] { return (end = server.capture().silenceAfter(onset, rate / 5)).has_value(); }));
    EXPECT_NEAR(static_cast<long>(*end - onset), static_cast<long>(reference.frames()) - resumedAt,
                rate / 20);
}

INSTANTIATE_TEST_SUITE_P(Servers, OutageTest,
                         ::testing::Values(
                             Outage{Kind::pulseaudio, true, Path::client, Kind::pulseaudio},
                             Outage{Kind::pulseaudio, false, Path::client, Kind::pulseaudio},
                             Outage{Kind::pipewire, true, Path::client, Kind::pipewire},
                             Outage{Kind::pulseaudio, true, Path::client, Kind::pipewire},
                             Outage{Kind::pipewire, true, Path::client, Kind::pulseaudio},
                             Outage{Kind::pulseaudio, true, Path::openal, Kind::pulseaudio},
                             Outage{Kind::pulseaudio, false, Path::openal, Kind::pulseaudio},
                             Outage{Kind::pipewire, true, Path::openal, Kind::pipewire}),
                         [](const auto& info) { return outageName(info.param); });

// While nothing sounds, the output leaves the server nothing to play: PulseAudio, which
// suspends its sink a second after the last stream stopped playing, shows no stream of the
// player's playing. What the server kept of the last sound then is never heard again.
class IdleOutputTest : public ServerFixture, public ::testing::WithParamInterface<Path> {
protected:
    IdleOutputTest() : ServerFixture(Kind::pulseaudio, GetParam()) {}
};

TEST_P(IdleOutputTest, TheSinkSuspendsBeforeThePlayWhilePausedAfterAStopAndAfterTheEnd) {
    ASSERT_TRUE(server.start(false)); // a recorder would keep the sink running
    engine = createIrrKlangDevice();
    EXPECT_TRUE(idles(true)) << "before anything played";
    sound = engine->play2D(fixture("cbr.mp3").c_str(), false, false, true);
    ASSERT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 300; }));
    EXPECT_NE(server.pactl({"list", "sink-inputs"}).find("Corked: no"), std::string::npos);
    sound->setIsPaused(true);
    EXPECT_TRUE(idles(true)) << "while paused";
    sound->setIsPaused(false);
    sound->stop();
    EXPECT_TRUE(idles(true)) << "after a stop";
    sound->drop();
    sound = engine->play2D(fixture("cbr.mp3").c_str(), false, false, true);
    ASSERT_TRUE(sound->setPlayPosition(2800));
    ASSERT_TRUE(waitUntil([&] { return sound->isFinished(); }));
    EXPECT_TRUE(idles(true)) << "after the end";
}

TEST_P(IdleOutputTest, ResumeGoesOnWithTheNextSampleAndPlayAfterAStopOrTheEndWithTheFirst) {
    ASSERT_TRUE(server.start());
    playUntil(1000);
    sound->setIsPaused(true);
    ASSERT_TRUE(idles(false));
    std::size_t before = server.capture().frames();
    const long heard = lastHeardBefore(before, sound->getPlayPosition() * rate / 1000);
    sound->setIsPaused(false);
    EXPECT_NEAR(songAt(before, heard), heard, 2) << "resumed";

    for (const bool stop : {true, false}) {
        // (What came before may have taken long enough for the song to end by itself.)
        if (stop)
            sound->stop();
        else
            sound->setPlayPosition(2800);
        ASSERT_TRUE(waitUntil([&] { return sound->isFinished(); }));
        ASSERT_TRUE(idles(false));
        sound->drop();
        before = server.capture().frames();
        sound = engine->play2D(fixture("cbr.mp3").c_str(), false, false, true);
        EXPECT_NEAR(songAt(before, 0), 0, 2) << (stop ? "after a stop" : "after the end");
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, IdleOutputTest, ::testing::Values(Path::client, Path::openal),
                         [](const auto& info) { return pathName(info.param); });

// What only the server's own client does: a stream the desktop can name, move and stall.
class ClientTest : public ServerFixture, public ::testing::WithParamInterface<Kind> {
protected:
    ClientTest() : ServerFixture(GetParam(), Path::client) {}

    // The server's number for the player's stream.
    std::string streamIndex() {
        std::istringstream inputs(server.pactl({"list", "short", "sink-inputs"}));
        std::string index;
        inputs >> index;
        return index;
    }

    // Moves the stream (by hand, or by making another output the default) to the sink
    // "other", and expects the song there to go on where it left off on "test". Neither
    // server moves a stream to the frame: PulseAudio keeps a moved stream in time with the
    // clock, skipping as much of the song as the move took (long on a busy machine), and the
    // old output plays out what it had already taken, up to its latency (300 ms at most for
    // these outputs), which the new one may play again. A stream that restarts, dies or loses
    // its place falls outside both.
    void expectTheSongGoesOnMovingTo(bool byHand) {
        const std::size_t otherBefore = server.capture("other").frames();
        const long near = sound->getPlayPosition() * rate / 1000;
        const auto asked = steady_clock::now();
        if (byHand)
            server.pactl({"move-sink-input", streamIndex(), "other"});
        else
            server.pactl({"set-default-sink", "other"});
        const long moving = static_cast<long>(
            duration_cast<milliseconds>(steady_clock::now() - asked).count() * rate / 1000);
        const long there = songAt(otherBefore, near, "other");
        // What "test" held still played out there: the song's last frame before it fell silent.
        const std::size_t onset = *server.capture().soundAfter(0);
        waitUntil([&] { return server.capture().silenceAfter(onset, rate / 10).has_value(); });
        const std::size_t quiet = *server.capture().silenceAfter(onset, rate / 10);
        const long jump = there - lastHeardBefore(quiet, there);
        EXPECT_GE(jump, -rate * 3 / 10 - rate / 20) << "the song went back";
        EXPECT_LE(jump, moving + rate / 20)
            << "a part of the song was lost; the move took " << moving << " frames";
    }
};

TEST_P(ClientTest, TellsTheDesktopWhatItPlaysInTheFilesOwnFormat) {
    ASSERT_TRUE(server.start());
    playUntil(300);
    const std::string inputs = server.pactl({"list", "sink-inputs"});
    for (const std::string& property :
         {std::string("application.name = \"Brasko\""),
          std::string("application.id = \"io.github.brasko.Brasko\""),
          std::string("application.icon_name = \"brasko\""), std::string("media.role = \"music\""),
          "media.name = \"" + fixture("cbr.mp3") + "\"",
          std::string("Sample Specification: s16le 2ch 44100Hz")})
        EXPECT_NE(inputs.find(property), std::string::npos) << property << " in\n" << inputs;
    for (const char* fixed : {"node.dont-reconnect = \"true\"", "target.object"})
        EXPECT_EQ(inputs.find(fixed), std::string::npos) << fixed << " in\n" << inputs;
}

TEST_P(ClientTest, ASeekIsHeardFromItsExactFrame) {
    ASSERT_TRUE(server.start());
    playUntil(500);
    const std::size_t before = server.capture().frames();
    const long target = 2000 * rate / 1000;
    ASSERT_TRUE(sound->setPlayPosition(2000));
    ASSERT_TRUE(waitUntil([&] { return server.capture().frames() > before + rate; }));
    // The target's frames are heard, and the frames just before it are not: the sound
    // jumped there, to the frame.
    const Recording heard(server.capture().path().string(), rate);
    double correlation = 0.0;
    const long at = reference.locate(heard, static_cast<std::size_t>(target), stretch,
                                     static_cast<long>(before) + rate / 2, rate / 2, correlation);
    EXPECT_GT(correlation, 0.9);
    reference.locate(heard, static_cast<std::size_t>(target) - 512, 512, at - 512, 0, correlation);
    EXPECT_LT(correlation, 0.5) << "the frames before the target were heard too";
}

TEST_P(ClientTest, MovedByHandToAnotherOutputTheSongGoesOnWhereItWas) {
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(server.plugIn("other", false));
    playUntil(800);
    expectTheSongGoesOnMovingTo(true);
}

INSTANTIATE_TEST_SUITE_P(Servers, ClientTest, ::testing::Values(Kind::pulseaudio, Kind::pipewire),
                         [](const auto& info) { return serverName(info.param); });

// What PulseAudio shows of the player alone. It moves the streams it routed itself when the
// default output changes, as the desktop's sound settings do when the user picks another output
// or plugs a headset in. Stopped, it stops everything, its recorder included: PipeWire's pulse
// server, stopped, takes the quantum it was working on along (about 10 ms), and its recorder
// too goes through it.
class PulseAudioTest : public ClientTest {};

TEST_P(PulseAudioTest, TheSongFollowsANewDefaultOutputAndGoesOnWhereItWas) {
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(server.plugIn("other", false));
    playUntil(800);
    expectTheSongGoesOnMovingTo(false);
}

TEST_P(PulseAudioTest, AServerThatStopsAnsweringForFourSecondsCostsNoPartOfTheSong) {
    ASSERT_TRUE(server.start());
    playUntil(300);
    server.freeze(true);
    const ik_u32 frozenAt = sound->getPlayPosition();
    std::this_thread::sleep_for(4s); // the stall itself, not a wait for something to happen
    // The position does not run on while nothing is heard.
    EXPECT_LT(sound->getPlayPosition(), frozenAt + 400);
    server.freeze(false);
    ASSERT_TRUE(waitUntil([&] { return sound->isFinished(); }, 10s));
    ASSERT_TRUE(waitUntil([&] { return server.capture().silenceAfter(0, rate).has_value(); }));
    // With the gaps closed that the server left while it ran dry, every stretch of the song is
    // heard, in order and where it belongs.
    Recording heard(server.capture().path().string(), rate);
    const std::size_t start = *server.capture().soundAfter(0);
    heard.closeGaps(start, 64);
    long near = static_cast<long>(start);
    double correlation = 0.0;
    for (std::size_t at = rate / 8; at + stretch <= reference.frames(); at += rate / 8) {
        near = reference.locate(heard, at, stretch, near + rate / 8, rate / 8, correlation);
        EXPECT_GT(correlation, 0.9) << "the song's frame " << at;
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, PulseAudioTest, ::testing::Values(Kind::pulseaudio),
                         [](const auto& info) { return serverName(info.param); });

// Where no server answers, or the one that answers refuses the player, the sound plays through
// OpenAL Soft instead (here its null driver), and the engine says why in one line.
class FallbackTest : public ServerFixture {
protected:
    FallbackTest() : ServerFixture(Kind::pulseaudio, Path::client) {
        setenv("ALSOFT_DRIVERS", "null", 1);
    }

    // Plays the song a while and returns what the engine said meanwhile.
    std::string playsSaying() {
        OutputCapture out(1);
        playUntil(300);
        return out.finish();
    }
};

TEST_F(FallbackTest, WithNoServerAnsweringTheSoundPlaysThroughOpenAlSoft) {
    EXPECT_EQ(playsSaying(),
              "brasko sound: no sound server answers; playing through OpenAL Soft\n");
}

TEST_F(FallbackTest, AServerThatRefusesThePlayerLeavesTheSoundToOpenAlSoft) {
    ASSERT_TRUE(server.startForbidding());
    EXPECT_EQ(playsSaying(), "brasko sound: the sound server refuses to play: Access denied; "
                             "playing through OpenAL Soft\n");
}
