// An engine without an output device (OpenAL Soft given no driver that exists) says so
// once, keeps quiet otherwise and still opens, checks and measures files. PlaybackTest,
// built into the same program, proves that sounds behave as with a device.
#include "OutputCapture.hpp"
#include "Recording.hpp"
#include "SoundTest.hpp"
#include "support/Wait.hpp"

using namespace irrklang;

TEST(SilentEngineTest, SaysInOneLineThatItPlaysSilently) {
    OutputCapture out(1);
    OutputCapture errors(2);
    ISoundEngine* engine = createIrrKlangDevice();
    const std::string line = "brasko sound: playing through OpenAL Soft, as BRASKO_OUTPUT asks\n"
                             "brasko sound: no audio output device could be opened; playing silently\n";
    EXPECT_TRUE(waitUntil([&] { return out.peek() == line; }));
    // It keeps trying, quietly.
    EXPECT_TRUE(holdsFor([&] { return out.peek() == line; }, std::chrono::seconds(1)));
    EXPECT_EQ(errors.finish(), "");
    EXPECT_TRUE(engine->drop());
}

class SilentFileTest : public SoundTest {};

TEST_F(SilentFileTest, BadFileIsStillRefusedWithItsReason) {
    const std::string path = fixture("random.mp3");
    OutputCapture out(1);
    EXPECT_EQ(engine->play2D(path.c_str(), false, false, true), nullptr);
    // The engine may say meanwhile that it has no device.
    EXPECT_NE(out.finish().find("brasko sound: cannot play \"" + path + "\": not a supported sound format\n"),
              std::string::npos);
}

TEST_F(SilentFileTest, LengthIsStillExact) {
    const Recording reference(fixture("vbr_notag.ref.wav"));
    ISound* sound = play("vbr_notag.mp3");
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->getPlayLength(), reference.frames() * 1000 / reference.rate());
}
