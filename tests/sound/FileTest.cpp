// Which files play and how exactly: lengths, decoding and seeking against the mpg123
// program's full decodes, formats recognised by content, and the files refused.
#include "OutputCapture.hpp"
#include "Recording.hpp"
#include "SoundTest.hpp"
#include "support/TempDir.hpp"
#include "support/Wait.hpp"

#include <Mp3Reader.hpp>

#include <SFML/Audio/InputSoundFile.hpp>
#include <SFML/System/Err.hpp>
#include <SFML/System/FileInputStream.hpp>
#include <SFML/System/MemoryInputStream.hpp>

#include <algorithm>
#include <cstdlib>
#include <random>

using namespace irrklang;
using namespace std::chrono_literals;

namespace {

std::vector<sf::Int16> samplesOf(sf::InputSoundFile& file, sf::Uint64 count) {
    std::vector<sf::Int16> samples(count);
    samples.resize(file.read(samples.data(), count));
    return samples;
}

// The mpg123 program rounds a rare sample the other way: equal decodes differ by 1 at most.
int largestDifference(const std::vector<sf::Int16>& a, const std::vector<sf::Int16>& b) {
    int largest = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        largest = std::max(largest, std::abs(a[i] - b[i]));
    return largest;
}

std::string testName(const std::string& file) {
    std::string name = file;
    for (char& c : name)
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

} // namespace

struct LengthCase {
    const char* file;
    const char* reference;
};

void PrintTo(const LengthCase& c, std::ostream* out) {
    *out << c.file;
}

class LengthTest : public SoundTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(LengthTest, IsTheLengthOfTheFullDecode) {
    const Recording reference(fixture(GetParam().reference));
    ASSERT_GT(reference.frames(), 0u);
    ISound* sound = play(GetParam().file, true);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->getPlayLength(), reference.frames() * 1000 / reference.rate());
}

INSTANTIATE_TEST_SUITE_P(Files, LengthTest,
                         ::testing::Values(LengthCase{"cbr.mp3", "cbr.ref.wav"},
                                           LengthCase{"vbr_tag.mp3", "vbr_tag.ref.wav"},
                                           LengthCase{"vbr_notag.mp3", "vbr_notag.ref.wav"},
                                           LengthCase{"mono22k.mp3", "mono22k.ref.wav"},
                                           LengthCase{"freeformat.mp3", "freeformat.ref.wav"},
                                           LengthCase{"tone.wav", "tone.wav"},
                                           LengthCase{"wav_named.mp3", "tone.wav"}),
                         [](const auto& info) { return testName(info.param.file); });

// The MP3 reader through SFML, as the sound layer's stream uses it, against the mpg123
// program's decode.
class DecodeTest : public SoundTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        ASSERT_TRUE(file.openFromFile(fixture(GetParam() + ".mp3")));
        ASSERT_TRUE(reference.openFromFile(fixture(GetParam() + ".ref.wav")));
        ASSERT_EQ(file.getChannelCount(), reference.getChannelCount());
        ASSERT_EQ(file.getSampleRate(), reference.getSampleRate());
    }

    sf::InputSoundFile file;
    sf::InputSoundFile reference;
};

TEST_P(DecodeTest, AnnouncesTheSampleCountOfTheFullDecode) {
    EXPECT_EQ(file.getSampleCount(), reference.getSampleCount());
}

TEST_P(DecodeTest, DeliversTheSamplesOfTheFullDecode) {
    const std::vector<sf::Int16> decoded = samplesOf(file, file.getSampleCount() + 10000);
    const std::vector<sf::Int16> expected = samplesOf(reference, reference.getSampleCount());
    ASSERT_EQ(decoded.size(), expected.size());
    EXPECT_LE(largestDifference(decoded, expected), 1);
}

TEST_P(DecodeTest, SeeksToTheExactSample) {
    const sf::Uint64 channels = file.getChannelCount();
    const sf::Uint64 frames = file.getSampleCount() / channels;
    for (const sf::Uint64 frame : {sf::Uint64(1), sf::Uint64(12345), frames / 2, frames - 2000}) {
        file.seek(frame * channels);
        reference.seek(frame * channels);
        const std::vector<sf::Int16> decoded = samplesOf(file, 1152 * channels);
        const std::vector<sf::Int16> expected = samplesOf(reference, 1152 * channels);
        ASSERT_EQ(decoded.size(), expected.size());
        EXPECT_LE(largestDifference(decoded, expected), 1) << "at frame " << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(Mp3, DecodeTest,
                         ::testing::Values("cbr", "vbr_tag", "vbr_notag", "mono22k", "freeformat"),
                         [](const auto& info) { return info.param; });

class FileTest : public SoundTest {};

TEST_F(FileTest, TruncatedMp3PlaysItsDecodablePartToTheEnd) {
    const Recording reference(fixture("truncated.ref.wav"));
    ISound* sound = play("truncated.mp3");
    ASSERT_NE(sound, nullptr);
    // The cut file contradicts its gapless info, so libmpg123 keeps the encoder delay
    // (1105 samples) that the mpg123 program trims.
    EXPECT_NEAR(sound->getPlayLength(), reference.frames() * 1000.0 / reference.rate(), 30.0);
    ASSERT_TRUE(sound->setPlayPosition(sound->getPlayLength() - 300));
    EXPECT_TRUE(waitUntil([&] { return sound->isFinished(); }));
}

TEST_F(FileTest, Mp3CutShortOnDiskWhilePlayingEndsWhereItsDataEnds) {
    TempDir scratch;
    const std::filesystem::path song = scratch.path() / "cut.mp3";
    std::filesystem::copy_file(fixture("cbr.mp3"), song);
    ISound* sound = engine->play2D(song.c_str(), false, false, true);
    ASSERT_NE(sound, nullptr);
    sounds.push_back(sound);
    ASSERT_TRUE(waitUntil([&] { return sound->getPlayPosition() >= 200; }));
    std::filesystem::resize_file(song, std::filesystem::file_size(song) / 3);
    ik_u32 last = 0;
    EXPECT_TRUE(waitUntil([&] { return sound->isFinished() || ((last = sound->getPlayPosition()), false); }));
    EXPECT_LT(last, sound->getPlayLength() - 400);
}

TEST_F(FileTest, TruncatedMp3DeliversExactlyWhatItAnnounces) {
    sf::InputSoundFile file;
    ASSERT_TRUE(file.openFromFile(fixture("truncated.mp3")));
    EXPECT_EQ(samplesOf(file, file.getSampleCount() + 10000).size(), file.getSampleCount());
}

TEST_F(FileTest, JoinedMp3sOfDifferentRatesDeliverExactlyWhatTheyAnnounce) {
    sf::InputSoundFile file;
    ASSERT_TRUE(file.openFromFile(fixture("joined.mp3")));
    EXPECT_EQ(44100u, file.getSampleRate());
    EXPECT_EQ(samplesOf(file, file.getSampleCount() + 100000).size(), file.getSampleCount());
}

TEST_F(FileTest, RandomBytesAreNeverTakenForSound) {
    std::mt19937 random(2024);
    std::vector<unsigned char> bytes(16384);
    // Half of the blocks start with the header of a real MPEG frame.
    const unsigned char header[4] = {0xFF, 0xFB, 0x90, 0x64};
    int accepted = 0;
    std::streambuf* chatter = sf::err().rdbuf(nullptr);
    for (int block = 0; block < 200; ++block) {
        for (unsigned char& byte : bytes)
            byte = static_cast<unsigned char>(random());
        if (block % 2 == 0)
            std::copy(header, header + 4, bytes.begin());
        sf::InputSoundFile file;
        accepted += file.openFromMemory(bytes.data(), bytes.size());
    }
    sf::err().rdbuf(chatter);
    EXPECT_EQ(accepted, 0);
}

TEST(Mp3CheckTest, TakesEveryMp3Fixture) {
    for (const char* name : {"cbr.mp3", "vbr_tag.mp3", "vbr_notag.mp3", "mono22k.mp3"}) {
        sf::FileInputStream stream;
        ASSERT_TRUE(stream.open(fixture(name)));
        EXPECT_TRUE(Mp3Reader::check(stream)) << name;
    }
}

TEST(Mp3CheckTest, DoesNotTakeAWav) {
    sf::FileInputStream stream;
    ASSERT_TRUE(stream.open(fixture("wav_named.mp3")));
    EXPECT_FALSE(Mp3Reader::check(stream));
}

TEST(Mp3CheckTest, DoesNotTakeRandomBytesEvenAfterOneOrTwoTrueFrameHeaders) {
    std::mt19937 random(7);
    std::vector<unsigned char> bytes(16384);
    // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, no padding: 417 bytes a frame.
    const unsigned char header[4] = {0xFF, 0xFB, 0x90, 0x64};
    int accepted = 0;
    for (int block = 0; block < 600; ++block) {
        for (unsigned char& byte : bytes)
            byte = static_cast<unsigned char>(random());
        for (int frame = 0; frame < block % 3; ++frame)
            std::copy(header, header + 4, bytes.begin() + frame * 417);
        sf::MemoryInputStream stream;
        stream.open(bytes.data(), bytes.size());
        accepted += Mp3Reader::check(stream);
    }
    EXPECT_EQ(accepted, 0);
}

struct BadFileCase {
    const char* file;
    const char* reason;
};

void PrintTo(const BadFileCase& c, std::ostream* out) {
    *out << c.file;
}

class BadFileTest : public SoundTest, public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(BadFileTest, GivesNoHandleAndOneLineSayingWhy) {
    const std::string path = fixture(GetParam().file);
    OutputCapture out(1);
    OutputCapture errors(2);
    ISound* sound = engine->play2D(path.c_str(), false, false, true);
    const std::string printed = out.finish();
    EXPECT_EQ(sound, nullptr);
    EXPECT_EQ(printed, "brasko sound: cannot play \"" + path + "\": " + GetParam().reason + "\n");
    EXPECT_EQ(errors.finish(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(BadFileCase{"missing.mp3", "file not found"},
                      BadFileCase{"folder.mp3", "is a directory"},
                      BadFileCase{"empty.mp3", "empty file"},
                      BadFileCase{"fifo.mp3", "not a regular file"},
                      BadFileCase{"random.mp3", "not a supported sound format"},
                      BadFileCase{"zeros.mp3", "not a supported sound format"},
                      BadFileCase{"header_only.mp3", "not a supported sound format"},
                      BadFileCase{"wav_data_first.mp3", "not a supported sound format"},
                      BadFileCase{"wav_no_channels.mp3", "not a supported sound format"}),
    [](const auto& info) { return testName(info.param.file); });

TEST(EngineTest, BadFileIsRefusedQuietlyWithoutTheDebugOption) {
    ISoundEngine* engine = createIrrKlangDevice(ESOD_AUTO_DETECT, 0);
    OutputCapture out(1);
    EXPECT_EQ(engine->play2D(fixture("random.mp3").c_str(), false, false, true), nullptr);
    EXPECT_EQ(out.finish(), "");
    engine->drop();
}

TEST(EngineTest, EngineWithADeviceSaysWhichOutputItPlaysThroughAndNothingElse) {
    OutputCapture out(1);
    ISoundEngine* engine = createIrrKlangDevice();
    EXPECT_EQ(out.finish(), "brasko sound: playing through OpenAL Soft, as BRASKO_OUTPUT asks\n");
    EXPECT_TRUE(engine->drop());
}
