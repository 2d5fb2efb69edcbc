// How a playing sound behaves: built into both test programs, so that the same behaviour is
// proven with an output device (OpenAL Soft's null driver) and without one.
#include "OutputCapture.hpp"
#include "SoundTest.hpp"
#include "support/Wait.hpp"

using namespace irrklang;
using namespace std::chrono;
using namespace std::chrono_literals;

namespace {

const char* const song = "cbr.mp3"; // 3000 ms

double millisecondsSince(steady_clock::time_point start) {
    return duration<double, std::milli>(steady_clock::now() - start).count();
}

} // namespace

class PlaybackTest : public SoundTest {};

TEST_F(PlaybackTest, PositionAdvancesInRealTime) {
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    ASSERT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 100; }));
    const ik_u32 from = sound->getPlayPosition();
    const auto start = steady_clock::now();
    ASSERT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= from + 1000; }));
    EXPECT_NEAR(millisecondsSince(start), 1000.0, 100.0);
}

TEST_F(PlaybackTest, SoundStartedPausedStaysAtZeroUntilResumed) {
    ISound* sound = play(song, true);
    ASSERT_NE(sound, nullptr);
    EXPECT_TRUE(sound->getIsPaused());
    EXPECT_TRUE(holdsFor([&] { return sound->getPlayPosition() == 0; }, 300ms));
    sound->setIsPaused(false);
    EXPECT_FALSE(sound->getIsPaused());
    EXPECT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 100; }));
}

TEST_F(PlaybackTest, PauseFreezesThePositionAndResumeGoesOnFromIt) {
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    ASSERT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 300; }));
    sound->setIsPaused(true);
    const ik_u32 paused = sound->getPlayPosition();
    EXPECT_TRUE(sound->getIsPaused());
    EXPECT_TRUE(holdsFor([&] { return sound->getPlayPosition() == paused; }, 400ms));
    sound->setIsPaused(false);
    const ik_u32 resumed = sound->getPlayPosition();
    EXPECT_GE(resumed, paused);
    EXPECT_LE(resumed, paused + 30);
    EXPECT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= paused + 200; }));
}

TEST_F(PlaybackTest, SeekWhilePlayingJumpsToTheTargetAndPlaysOn) {
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    ASSERT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 100; }));
    EXPECT_TRUE(sound->setPlayPosition(2000));
    const ik_u32 landed = sound->getPlayPosition();
    EXPECT_GE(landed, 2000u);
    EXPECT_LE(landed, 2030u);
    EXPECT_FALSE(sound->getIsPaused());
    EXPECT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 2200; }));
}

TEST_F(PlaybackTest, SeekBackwardsMovesThePositionBack) {
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    ASSERT_TRUE(sound->setPlayPosition(2000));
    ASSERT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 2100; }));
    EXPECT_TRUE(sound->setPlayPosition(500));
    const ik_u32 landed = sound->getPlayPosition();
    EXPECT_GE(landed, 500u);
    EXPECT_LE(landed, 530u);
    EXPECT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 600; }));
    EXPECT_LT(sound->getPlayPosition(), 2000u);
}

TEST_F(PlaybackTest, SeekWhilePausedStaysPausedAtTheTarget) {
    ISound* sound = play(song, true);
    ASSERT_NE(sound, nullptr);
    EXPECT_TRUE(sound->setPlayPosition(1500));
    EXPECT_TRUE(sound->getIsPaused());
    EXPECT_TRUE(holdsFor([&] { return sound->getPlayPosition() == 1500; }, 300ms));
    sound->setIsPaused(false);
    EXPECT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 1600; }));
}

TEST_F(PlaybackTest, SeekPastTheEndFinishesTheSound) {
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    EXPECT_TRUE(sound->setPlayPosition(sound->getPlayLength()));
    EXPECT_TRUE(sound->isFinished());
    EXPECT_EQ(sound->getPlayPosition(), 0u);
}

TEST_F(PlaybackTest, SeekOnAFinishedSoundFailsAndChangesNothing) {
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    sound->stop();
    EXPECT_FALSE(sound->setPlayPosition(1000));
    EXPECT_TRUE(
        holdsFor([&] { return sound->isFinished() && sound->getPlayPosition() == 0; }, 200ms));
}

TEST_F(PlaybackTest, StopFinishesTheSoundAtOnce) {
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    ASSERT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 100; }));
    sound->stop();
    EXPECT_TRUE(sound->isFinished());
    EXPECT_EQ(sound->getPlayPosition(), 0u);
    EXPECT_FALSE(sound->getIsPaused());
}

TEST_F(PlaybackTest, FinishedSoundCannotBeResumed) {
    ISound* sound = play(song, true);
    ASSERT_NE(sound, nullptr);
    sound->stop();
    sound->setIsPaused(false);
    EXPECT_TRUE(
        holdsFor([&] { return sound->isFinished() && sound->getPlayPosition() == 0; }, 200ms));
}

TEST_F(PlaybackTest, EndIsSeenWithin150MillisecondsOfTheTrueEnd) {
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    const ik_u32 length = sound->getPlayLength();
    ASSERT_TRUE(sound->setPlayPosition(length - 1000));
    // When the true end comes, from a position read well before it.
    ASSERT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= length - 600; }));
    const auto end = steady_clock::now() + milliseconds(length - sound->getPlayPosition());
    ASSERT_TRUE(waitUntil([&] { return sound->isFinished(); }));
    const double delay = duration<double, std::milli>(steady_clock::now() - end).count();
    EXPECT_GT(delay, -50.0);
    EXPECT_LT(delay, 150.0);
}

TEST_F(PlaybackTest, PositionNeverGoesBackwardsUpToTheEnd) {
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    const ik_u32 length = sound->getPlayLength();
    ASSERT_TRUE(sound->setPlayPosition(length - 700));
    ik_u32 last = 0;
    int backwards = 0;
    ASSERT_TRUE(waitUntil([&] {
        const ik_u32 now = sound->getPlayPosition();
        if (sound->isFinished())
            return true;
        backwards += now < last;
        last = now;
        return false;
    }));
    EXPECT_EQ(backwards, 0);
    EXPECT_GE(last, length - 100);
}

TEST_F(PlaybackTest, SoundAtItsEndReadsFinishedAtZero) {
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    ASSERT_TRUE(sound->setPlayPosition(sound->getPlayLength() - 300));
    ASSERT_TRUE(waitUntil([&] { return sound->isFinished(); }));
    EXPECT_EQ(sound->getPlayPosition(), 0u);
    EXPECT_FALSE(sound->getIsPaused());
}

TEST_F(PlaybackTest, NewPlayAfterStopStartsAtZero) {
    ISound* first = play(song);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(first->setPlayPosition(1500));
    first->stop();
    ISound* second = play(song);
    ASSERT_NE(second, nullptr);
    EXPECT_LT(second->getPlayPosition(), 50u);
    EXPECT_TRUE(waitUntil([&] { return second->getPlayPosition() >= 100; }));
}

TEST_F(PlaybackTest, LoopedSoundStartsOverInsteadOfFinishing) {
    ISound* sound = play(song, false, true);
    ASSERT_NE(sound, nullptr);
    ASSERT_TRUE(sound->setPlayPosition(sound->getPlayLength() - 300));
    bool finished = false;
    EXPECT_TRUE(waitUntil([&] {
        finished = finished || sound->isFinished();
        return sound->getPlayPosition() < 1000;
    }));
    EXPECT_FALSE(finished);
    EXPECT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 100; }));
}

TEST_F(PlaybackTest, NameIsTheOneGiven) {
    const std::string name = fixture("./cbr.mp3");
    ISound* sound = engine->play2D(name.c_str(), false, false, true);
    ASSERT_NE(sound, nullptr);
    sounds.push_back(sound);
    EXPECT_STREQ(sound->getSoundSource()->getName(), name.c_str());
}

TEST_F(PlaybackTest, DroppingTheEngineFirstStopsTheSoundAndKeepsItsHandleSafe) {
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    ASSERT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 100; }));
    EXPECT_TRUE(dropEngine());
    EXPECT_TRUE(sound->isFinished());
    EXPECT_EQ(sound->getPlayPosition(), 0u);
    EXPECT_FALSE(sound->setPlayPosition(100));
    sound->setIsPaused(false);
    EXPECT_EQ(sound->getPlayLength(), 3000u);
    EXPECT_STREQ(sound->getSoundSource()->getName(), fixture(song).c_str());
    EXPECT_TRUE(dropSound(sound));
}

TEST_F(PlaybackTest, PlayingHandleDroppedByItsCallerIsStillHeldByTheEngine) {
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    EXPECT_FALSE(dropSound(sound));
}

TEST_F(PlaybackTest, UntrackedPlayGivesNoHandleAndNoComplaint) {
    OutputCapture out(1);
    EXPECT_EQ(engine->play2D(fixture(song).c_str()), nullptr);
    // Without a device, the engine may say so meanwhile; nothing else.
    EXPECT_EQ(out.finish().find("cannot play"), std::string::npos);
}

TEST_F(PlaybackTest, PlayingWritesNothingOnStandardError) {
    OutputCapture errors(2);
    ISound* sound = play(song);
    ASSERT_NE(sound, nullptr);
    sound->setIsPaused(true);
    sound->setPlayPosition(2700);
    sound->setIsPaused(false);
    EXPECT_TRUE(waitUntil([&] { return sound->isFinished(); }));
    EXPECT_EQ(play("random.mp3"), nullptr);
    EXPECT_EQ(play("header_only.mp3"), nullptr);
    EXPECT_TRUE(dropEngine());
    EXPECT_EQ(errors.finish(), "");
}
