// The engine playing through a real sound server, PulseAudio or PipeWire, that the test
// starts, kills, starts again and unplugs: what the server's sink records, compared with the
// mpg123 program's decode, and what the engine reports meanwhile.
#include "Fixtures.hpp"
#include "OutputCapture.hpp"
#include "Recording.hpp"
#include "support/SoundServer.hpp"
#include "support/Wait.hpp"

#include <irrKlang.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

using namespace irrklang;
using namespace std::chrono;
using namespace std::chrono_literals;
using Kind = SoundServer::Kind;

namespace {
const std::size_t stretch = 4096; // frames compared at each place
const long rate = 44100;
} // namespace

class ServerFixture : public ::testing::Test {
protected:
    explicit ServerFixture(Kind kind) : server(kind), reference(fixture("cbr.ref.wav")) {
        for (const std::string& entry : server.environment())
            setenv(entry.substr(0, entry.find('=')).c_str(),
                   entry.substr(entry.find('=') + 1).c_str(), 1);
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

    // The song's frame that the capture holds from its first sound after `from` on, looked
    // for within a quarter of a second of `near`; -1 if there is no sound or it is not the
    // song.
    long songAt(std::size_t from, long near) {
        if (!waitUntil([&] { return server.capture().soundAfter(from).has_value(); }, 5s))
            return -1;
        const std::size_t onset = *server.capture().soundAfter(from);
        waitUntil([&] { return server.capture().frames() > onset + stretch; });
        double correlation = 0;
        const long found = Recording(server.capture().path().string(), rate)
                               .locate(reference, onset, stretch, near, rate / 4, correlation);
        return correlation > 0.9 ? found : -1;
    }

    SoundServer server;
    Recording reference;
    ISoundEngine* engine = nullptr;
    ISound* sound = nullptr;
};

std::string serverName(Kind kind) {
    return kind == Kind::pulseaudio ? "pulseaudio" : "pipewire";
}

void PrintTo(Kind kind, std::ostream* out) {
    *out << serverName(kind);
}

class ServerTest : public ServerFixture, public ::testing::WithParamInterface<Kind> {
protected:
    ServerTest() : ServerFixture(GetParam()) {}
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
    setenv("ALSOFT_DRIVERS", "pulse,alsa", 1);
    OutputCapture out(1);
    playUntil(300); // on the clock, silently
    ASSERT_TRUE(server.start());
    EXPECT_TRUE(waitUntil([&] { return server.capture().soundAfter(0).has_value(); }));
    EXPECT_EQ(out.finish(),
              "brasko sound: no audio output device could be opened; playing silently\n"
              "brasko sound: an audio output device opened; playing aloud\n");
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerTest, ::testing::Values(Kind::pulseaudio, Kind::pipewire),
                         [](const auto& info) { return serverName(info.param); });

// The output goes away mid-song for three seconds: the server killed, or its sink unloaded.
// (PipeWire's session manager puts a dummy sink in the place of the last one unloaded, and
// the sound plays on into it: that output never goes away.)
struct Outage {
    Kind kind;
    bool crash;
};

void PrintTo(const Outage& outage, std::ostream* out) {
    *out << serverName(outage.kind) << (outage.crash ? " killed" : " unplugged");
}

class OutageTest : public ServerFixture, public ::testing::WithParamInterface<Outage> {
protected:
    OutageTest() : ServerFixture(GetParam().kind) {}
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

    ASSERT_TRUE(crash ? server.start() : server.plugIn());
    const auto back = steady_clock::now();
    ASSERT_TRUE(waitUntil([&] { return server.capture().soundAfter(0).has_value(); }, 2s));
    const double after = duration<double>(steady_clock::now() - back).count();
    const long resumedAt = songAt(0, held * rate / 1000);
    std::printf("figure: sound back %.3f s after the output, %ld ms from where it held\n", after,
                resumedAt * 1000 / rate - static_cast<long>(held));
    EXPECT_NEAR(resumedAt, held * rate / 1000, rate / 10);
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
                         ::testing::Values(Outage{Kind::pulseaudio, true},
                                           Outage{Kind::pulseaudio, false},
                                           Outage{Kind::pipewire, true}),
                         [](const auto& info) {
                             return serverName(info.param.kind) +
                                    (info.param.crash ? "_killed" : "_unplugged");
                         });

// While nothing sounds, the output leaves the server nothing to play: PulseAudio, which
// suspends its sink a second after the last stream stopped playing, shows the player's stream
// corked. What it kept of the last sound then is silence, never a stale sound.
class IdleOutputTest : public ServerFixture {
protected:
    IdleOutputTest() : ServerFixture(Kind::pulseaudio) {}

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

    // The song's frame that the capture's last sound before `before` was heard up to.
    long lastHeardBefore(std::size_t before, long near) {
        const Recording recorded(server.capture().path().string(), rate);
        std::size_t end = before;
        while (end > 0 && recorded.firstSound(end - 1) >= before)
            --end;
        double correlation = 0;
        return recorded.locate(reference, end - stretch, stretch, near - stretch, rate / 4,
                               correlation) +
               static_cast<long>(stretch);
    }
};

TEST_F(IdleOutputTest, TheSinkSuspendsBeforeThePlayWhilePausedAfterAStopAndAfterTheEnd) {
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

TEST_F(IdleOutputTest, ResumeGoesOnWithTheNextSampleAndPlayAfterAStopOrTheEndWithTheFirst) {
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
