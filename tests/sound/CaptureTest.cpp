// What reaches the output, captured by OpenAL Soft's wave writer in a child process and
// compared with the mpg123 program's full decode: seeks land on the exact sample, a pause
// silences the output and resuming goes on from the sample where it stopped.
#include "Fixtures.hpp"
#include "Recording.hpp"
#include "support/Process.hpp"
#include "support/TempDir.hpp"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {
// Frames compared at each place: about 93 ms, plenty for pink noise to be unmistakable.
const std::size_t stretch = 4096;
} // namespace

class CaptureTest : public ::testing::Test {
protected:
    // Plays a scenario of the capture player on a fixture. Returns its standard output.
    std::string capture(const std::string& file, const std::string& scenario) {
        const std::string conf = (scratch.path() / "alsoft.conf").string();
        // Dithering would turn the silences into low noise.
        std::ofstream(conf) << "[general]\ndrivers = wave\nfrequency = 44100\nchannels = stereo\n"
                               "sample-type = int16\ndither = false\n[wave]\nfile = "
                            << wave() << "\n";
        Process player(BRASKO_CAPTURE_PLAYER, scratch.path(),
                       {"ALSOFT_CONF=" + conf, "ALSOFT_DRIVERS=wave",
                        "BRASKO_CAPTURE_FILE=" + fixture(file),
                        "BRASKO_CAPTURE_SCENARIO=" + scenario});
        EXPECT_TRUE(player.waitForExit(10s));
        EXPECT_EQ(player.exitStatus(), 0);
        EXPECT_EQ(player.standardError(), "");
        return player.standardOutput();
    }

    std::string wave() const { return (scratch.path() / "capture.wav").string(); }

    TempDir scratch;
};

class SeekCaptureTest : public CaptureTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(SeekCaptureTest, OutputAfterASeekStartsAtTheExactSample) {
    capture(GetParam() + ".mp3", "seek 1234");
    const Recording output(wave());
    const Recording reference(fixture(GetParam() + ".ref.wav"));
    const std::size_t start = output.firstSound(0);
    ASSERT_LT(start + stretch, output.frames());
    const long target = 1234L * reference.rate() / 1000;
    double correlation = 0.0;
    EXPECT_EQ(output.locate(reference, start, stretch, target, 2000, correlation), target);
    EXPECT_GT(correlation, 0.99);
}

INSTANTIATE_TEST_SUITE_P(Mp3, SeekCaptureTest, ::testing::Values("cbr", "vbr_notag"),
                         [](const auto& info) { return info.param; });

TEST_F(CaptureTest, PauseSilencesTheOutputAndResumeGoesOnFromTheSameSample) {
    const std::string printed = capture("cbr.mp3", "pause");
    unsigned pausedAt = 0;
    const std::size_t line = printed.find("paused at ");
    ASSERT_NE(line, std::string::npos) << printed;
    ASSERT_EQ(std::sscanf(printed.c_str() + line, "paused at %u", &pausedAt), 1) << printed;
    const Recording output(wave());
    const Recording reference(fixture("cbr.ref.wav"));
    const std::size_t rate = reference.rate();
    const std::size_t start = output.firstSound(0);
    const std::size_t pause = output.firstSilence(start, rate / 5);
    const std::size_t resume = output.firstSound(pause);
    ASSERT_LT(resume + stretch, output.frames());
    double correlation = 0.0;

    // The song was heard from its first sample,
    EXPECT_EQ(output.locate(reference, start, stretch, 0, 2000, correlation), 0);
    EXPECT_GT(correlation, 0.99);
    // the pause silenced it for about as long as it lasted (400 ms),
    EXPECT_GT(resume - pause, rate * 3 / 10);
    // and it went on from the sample where it had stopped.
    const long played = static_cast<long>(pause - start);
    EXPECT_EQ(output.locate(reference, resume, stretch, played, 2000, correlation), played);
    EXPECT_GT(correlation, 0.99);
    // The position read at the pause was where the output was.
    EXPECT_NEAR(pausedAt, played * 1000.0 / rate, 50.0);
}

TEST_F(CaptureTest, TheWholeSongReachesTheOutputInOrderWithNothingLostOrRepeated) {
    // Longer than what the stream keeps queued, so it is heard through many refills.
    capture("cbr.mp3", "whole");
    const Recording output(wave());
    const Recording reference(fixture("cbr.ref.wav"));
    const std::size_t start = output.firstSound(0);
    const std::size_t step = reference.rate() / 8;
    ASSERT_LT(start + reference.frames(), output.frames());
    double correlation = 0.0;
    for (std::size_t at = 0; at + stretch <= reference.frames(); at += step) {
        const long expected = static_cast<long>(at);
        EXPECT_EQ(output.locate(reference, start + at, stretch, expected, 2000, correlation),
                  expected);
        EXPECT_GT(correlation, 0.99) << "at frame " << at;
    }
    // The last frame heard is the song's last: silence follows at once.
    EXPECT_EQ(output.firstSilence(start, reference.rate() / 5), start + reference.frames());
}
