// The real player given broken files in its working folder: each picture missing, empty or
// not a picture, the font missing, songs that cannot be played (missing, empty, random bytes,
// a folder, a named pipe, a device, 4 GB of zeros, a WAV header SFML cannot read), songs that
// play although odd (cut short, cut short and followed by 2 GB of zeros, WAV under the MP3
// name, over twelve hours long), no audio output device, one that goes away or never gets
// ready, and no session bus at all (PlayerProgram gives every player no bus: it says so on
// standard output). Each time the window opens and keeps drawing, does what the README
// promises, and closes with status 0. A start without ressources/ is in ShellTest.
#include "PlayerProgram.hpp"

#include "support/Process.hpp"
#include "support/SoundServer.hpp"
#include "support/TempDir.hpp"
#include "support/Wait.hpp"

#include <SFML/Graphics/Image.hpp>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
const std::size_t rate = WaveCapture::rate;
const fs::path shipped = fs::path(BRASKO_SOURCE_DIR) / "ressources";
const sf::IntRect playArea(2, 100, 28, 28);
const sf::IntRect barArea(0, 143, 200, 7);
const sf::IntRect titleArea(0, 0, 150, 40);

const std::string noBus = "brasko: no session bus; the desktop's media controls are off\n";
// What the player says first of all, as the tests ask for OpenAL Soft; then the bus.
const std::string openAl = "brasko sound: playing through OpenAL Soft, as BRASKO_OUTPUT asks\n";

std::string fixture(const std::string& name) { return std::string(BRASKO_SOUND_FIXTURES) + "/" + name; }
} // namespace

class BadInputTest : public ::testing::Test {
protected:
    BadInputTest() {
        background.loadFromFile((shipped / "bg.png").string());
        sheet.loadFromFile((shipped / "buttons.png").string());
    }

    // The Play button as drawn over the background: frame 0 dark, frame 1 lit.
    sf::Image playButton(bool lit) const {
        sf::Image image = background;
        for (unsigned y = 0; y < 28; ++y)
            for (unsigned x = 0; x < 28; ++x) {
                const sf::Color top = sheet.getPixel(x + (lit ? 28 : 0), y);
                const sf::Color under = background.getPixel(x + 2, y + 100);
                auto mix = [&](sf::Uint8 a, sf::Uint8 b) {
                    return static_cast<sf::Uint8>((a * top.a + b * (255 - top.a) + 127) / 255);
                };
                image.setPixel(x + 2, y + 100,
                               sf::Color(mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b)));
            }
        return image;
    }

    // Waits until Play shows lit or dark.
    bool playLooks(bool lit) {
        const sf::Image expected = playButton(lit);
        return waitUntil([&] {
            return PlayerProgram::difference(player.screenshot(), expected, playArea) < 4;
        });
    }

    // How many columns of the progress bar differ clearly from the background, from the left.
    int barLength(const sf::Image& shot) const {
        int length = 0;
        for (int x = 0; x < barArea.width; ++x)
            for (int y = barArea.top; y < barArea.top + barArea.height; ++y)
                if (PlayerProgram::difference(shot, background, sf::IntRect(x, y, 1, 1)) > 24)
                    length = x + 1;
        return length;
    }

    // Clicks Play and returns the first loud frame after it, if any comes within 5 s.
    std::optional<std::size_t> playAndListen() {
        const std::size_t before = player.capture().frames();
        EXPECT_TRUE(player.clickAndRest(PlayerProgram::playX, PlayerProgram::buttonY));
        std::optional<std::size_t> onset;
        waitUntil([&] { return (onset = player.capture().soundAfter(before)).has_value(); }, 5s);
        return onset;
    }

    // Waits until the capture has half a second from first on; returns its loudest sample.
    int loudestHalfSecond(std::size_t first) {
        EXPECT_TRUE(waitUntil([&] { return player.capture().frames() >= first + rate / 2; }, 5s));
        return player.capture().loudest(first, first + rate / 2);
    }

    void expectCleanClose() {
        EXPECT_EQ(0, player.close()) << player.process().standardError();
    }

    PlayerProgram player;
    sf::Image background;
    sf::Image sheet;
};

// --- pictures -------------------------------------------------------------------------------

enum class Damage { missing, empty, text };

struct BrokenPicture {
    const char* file;
    Damage damage;
};

std::string damageName(Damage damage) {
    return damage == Damage::missing ? "missing" : damage == Damage::empty ? "empty" : "text";
}

void PrintTo(const BrokenPicture& picture, std::ostream* out) {
    *out << picture.file << " " << damageName(picture.damage);
}

class BrokenPictureTest : public BadInputTest, public ::testing::WithParamInterface<BrokenPicture> {};

TEST_P(BrokenPictureTest, LeavesItsPartEmptyWhileTheRestWorks) {
    player.withRessources();
    player.withSong(BRASKO_TEST_SONG);
    const fs::path picture = player.folder() / "ressources" / GetParam().file;
    fs::remove(picture);
    if (GetParam().damage == Damage::empty)
        std::ofstream(picture).flush();
    if (GetParam().damage == Damage::text)
        std::ofstream(picture) << "This is not a picture.\n";
    ASSERT_TRUE(player.start());
    const std::string file = GetParam().file;

    if (file == "buttons.png") {
        // No button is drawn, and none can be clicked: Play starts nothing.
        EXPECT_LT(PlayerProgram::difference(player.screenshot(), background, playArea), 4);
        const std::size_t before = player.capture().frames();
        ASSERT_TRUE(player.clickAndRest(PlayerProgram::playX, PlayerProgram::buttonY));
        EXPECT_LE(loudestHalfSecond(before), WaveCapture::silent);
    } else {
        const std::optional<std::size_t> onset = playAndListen();
        ASSERT_TRUE(onset) << "no sound after Play";
        if (file == "slider.png") {
            // A third of the short song played: the bar would be 60 pixels long.
            ASSERT_TRUE(waitUntil([&] { return player.capture().frames() >= *onset + rate; }, 5s));
            EXPECT_EQ(0, barLength(player.screenshot()));
        } else {
            EXPECT_GT(PlayerProgram::difference(player.screenshot(), background,
                                                sf::IntRect(150, 40, 140, 50)),
                      20)
                << "the background was drawn";
        }
    }
    EXPECT_TRUE(player.waitTurns(10));
    expectCleanClose();
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, BrokenPictureTest,
    ::testing::Values(BrokenPicture{"bg.png", Damage::missing}, BrokenPicture{"bg.png", Damage::empty},
                      BrokenPicture{"bg.png", Damage::text},
                      BrokenPicture{"buttons.png", Damage::missing},
                      BrokenPicture{"buttons.png", Damage::empty},
                      BrokenPicture{"buttons.png", Damage::text},
                      BrokenPicture{"slider.png", Damage::missing},
                      BrokenPicture{"slider.png", Damage::empty},
                      BrokenPicture{"slider.png", Damage::text}),
    [](const auto& info) {
        std::string name = info.param.file;
        return name.substr(0, name.find('.')) + "_" + damageName(info.param.damage);
    });

// --- the font -------------------------------------------------------------------------------

TEST_F(BadInputTest, WithoutTheFontTheSongPlaysUntitled) {
    player.withRessources();
    player.withSong(BRASKO_TEST_SONG);
    fs::remove(player.folder() / "ressources" / "BKANT.TTF");
    ASSERT_TRUE(player.start());
    ASSERT_TRUE(playAndListen()) << "no sound after Play";
    ASSERT_TRUE(playLooks(true));
    EXPECT_LT(PlayerProgram::difference(player.screenshot(), background, titleArea), 1)
        << "something drawn where the title goes";
    expectCleanClose();
}

// --- songs that cannot be played ------------------------------------------------------------

struct BadSong {
    const char* name;
    const char* reason;
};

void PrintTo(const BadSong& song, std::ostream* out) { *out << song.name; }

class BadSongTest : public BadInputTest, public ::testing::WithParamInterface<BadSong> {
protected:
    // Puts the song of the case at path.
    static void place(const fs::path& song) {
        const std::string name = GetParam().name;
        const std::map<std::string, fs::path> links = {
            {"random_bytes", fixture("random.mp3")},
            {"wav_data_before_format",
             fs::path(BRASKO_SOURCE_DIR) / "tests/fuzz/regressions/wav-data-before-format.wav"},
            {"named_pipe", fixture("fifo.mp3")},
            {"device", "/dev/zero"},
            {"zeros_4_gb", fixture("zeros.mp3")}};
        if (name == "empty")
            std::ofstream(song).flush();
        else if (name == "folder")
            fs::create_directory(song);
        else if (links.count(name) != 0)
            fs::create_symlink(links.at(name), song);
    }
};

TEST_P(BadSongTest, LeavesPlayDarkSaysWhyOnceAndStaysSilent) {
    player.withRessources();
    place(player.folder() / "granite.mp3");
    ASSERT_TRUE(player.start());
    const std::size_t before = player.capture().frames();
    ASSERT_TRUE(player.clickAndRest(PlayerProgram::playX, PlayerProgram::buttonY));
    EXPECT_TRUE(playLooks(false)) << "Play stays lit";
    EXPECT_LE(loudestHalfSecond(before), WaveCapture::silent);
    ASSERT_TRUE(player.running()) << player.process().standardError();
    EXPECT_EQ(openAl + noBus + "brasko sound: cannot play \"granite.mp3\": " + GetParam().reason + "\n",
              player.process().standardOutput());
    // Refusing the file fits in a frame: the window never stalls.
    EXPECT_LT(player.longestTurn(), 100.0);
    expectCleanClose();
}

// Given first of two by a relative name with a space, a letter beyond ASCII and a leading
// dash, the song is refused in one line that names it in full, and becomes the song all the
// same: Play then acts as it does with a bad "granite.mp3" (a good one here).
TEST_P(BadSongTest, GivenOnTheCommandLineIsNamedAndBecomesTheSongThatPlayCannotStart) {
    player.withRessources();
    player.withSong(BRASKO_TEST_SONG);
    const fs::path song = player.folder() / "-bad sóng.mp3";
    place(song);
    ASSERT_TRUE(player.start({"BRASKO_CALLER_FOLDER="}, {"--", song.filename().string(), "b.mp3"}));
    const std::string why = "cannot play \"" + song.string() + "\": " + GetParam().reason + "\n";
    const std::string start = "brasko: plays one song at a time; left out: \"b.mp3\"\n" + openAl;
    EXPECT_EQ(start + "brasko: " + why + noBus, player.process().standardOutput());
    EXPECT_TRUE(playLooks(false));
    const std::size_t before = player.capture().frames();
    ASSERT_TRUE(player.clickAndRest(PlayerProgram::playX, PlayerProgram::buttonY));
    EXPECT_TRUE(playLooks(false)) << "Play stays lit";
    EXPECT_LE(loudestHalfSecond(before), WaveCapture::silent);
    EXPECT_EQ(start + "brasko: " + why + noBus + "brasko sound: " + why,
              player.process().standardOutput());
    expectCleanClose();
}

INSTANTIATE_TEST_SUITE_P(Songs, BadSongTest,
                         ::testing::Values(BadSong{"missing", "file not found"},
                                           BadSong{"empty", "empty file"},
                                           BadSong{"random_bytes", "not a supported sound format"},
                                           BadSong{"folder", "is a directory"},
                                           BadSong{"named_pipe", "not a regular file"},
                                           BadSong{"device", "not a regular file"},
                                           BadSong{"zeros_4_gb", "not a supported sound format"},
                                           BadSong{"wav_data_before_format", "not a supported sound format"}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- songs that play ------------------------------------------------------------------------

class CutSongTest : public BadInputTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CutSongTest, PlaysWhatItHasAndEnds) {
    player.withRessources();
    player.withSong(fixture(GetParam()));
    ASSERT_TRUE(player.start());
    const std::optional<std::size_t> onset = playAndListen();
    ASSERT_TRUE(onset) << "no sound after Play";
    // The part before the cut lasts 1.8 s: it still sounds after a second.
    ASSERT_TRUE(waitUntil([&] { return player.capture().frames() >= *onset + rate * 11 / 10; }, 5s));
    EXPECT_GT(player.capture().loudest(*onset + rate, *onset + rate * 11 / 10), WaveCapture::loud);
    // Then it ends by itself: Play goes dark, and nothing sounds any more.
    EXPECT_TRUE(playLooks(false)) << "Play stays lit";
    EXPECT_LE(loudestHalfSecond(player.capture().frames()), WaveCapture::silent);
    EXPECT_LT(player.longestTurn(), 100.0);
    expectCleanClose();
}

// The same song followed by 2 GB of zeros: the decoder gives up searching the zeros for the
// next frame within a few kilobytes, so the file is the song before them.
INSTANTIATE_TEST_SUITE_P(Songs, CutSongTest,
                         ::testing::Values("truncated.mp3", "truncated_then_zeros.mp3"),
                         [](const auto& info) {
                             const std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

TEST_F(BadInputTest, AWavUnderTheMp3NamePlays) {
    player.withRessources();
    player.withSong(fixture("wav_named.mp3"));
    ASSERT_TRUE(player.start());
    ASSERT_TRUE(playAndListen()) << "no sound after Play";
    EXPECT_TRUE(playLooks(true));
    expectCleanClose();
}

TEST_F(BadInputTest, ASongOverTwelveHoursLongShowsItsProgressAndSeeksRight) {
    player.withRessources();
    player.withSong(BRASKO_LONG_SONG);
    ASSERT_TRUE(player.start());
    ASSERT_TRUE(playAndListen()) << "no sound after Play";
    // A click at x is x / 2 percent; the bar is 2 pixels per percent, and one percent of this
    // song lasts seven minutes. 99 percent of its length in milliseconds overflows 32 bits.
    for (const int percent : {50, 99}) {
        const std::size_t before = player.capture().frames();
        ASSERT_TRUE(player.clickAndRest(2 * percent + 1, PlayerProgram::barY));
        int length = 0;
        EXPECT_TRUE(waitUntil([&] { return (length = barLength(player.screenshot())) == 2 * percent; }))
            << "at " << percent << " %, the bar is " << length << " pixels long";
        EXPECT_TRUE(waitUntil([&] { return player.capture().soundAfter(before).has_value(); }))
            << "no sound after the jump to " << percent << " %";
    }
    EXPECT_TRUE(playLooks(true));
    expectCleanClose();
}

// --- no audio output, or one that goes away ------------------------------------------------

TEST_F(BadInputTest, WithoutAnAudioDeviceItSaysSoOnceAndPlaysSilently) {
    player.withRessources();
    player.withSong(BRASKO_TEST_SONG);
    ASSERT_TRUE(player.start({"ALSOFT_DRIVERS=none"}));
    ASSERT_TRUE(player.clickAndRest(PlayerProgram::playX, PlayerProgram::buttonY));
    EXPECT_TRUE(playLooks(true));
    // The three-second song goes on in silence: the bar grows, and the song ends on time.
    int length = 0;
    EXPECT_TRUE(waitUntil([&] { return (length = barLength(player.screenshot())) >= 100; }, 5s))
        << "the bar got to " << length << " pixels only";
    EXPECT_TRUE(waitUntil([&] { return barLength(player.screenshot()) == 0; }, 5s));
    EXPECT_TRUE(playLooks(false));
    // Said by two threads at start-up, in either order.
    const std::string said = player.process().standardOutput();
    const std::string silently = "brasko sound: no audio output device could be opened; playing silently\n";
    EXPECT_TRUE(said == openAl + silently + noBus || said == openAl + noBus + silently) << said;
    EXPECT_EQ(0u, player.capture().frames());
    expectCleanClose();
}

TEST_F(BadInputTest, WhileTheSoundServerIsAwayTheBarHoldsAndTheWindowKeepsDrawing) {
    SoundServer server(SoundServer::Kind::pulseaudio);
    ASSERT_TRUE(server.start());
    player.withRessources();
    player.withSong(BRASKO_TEST_SONG);
    ASSERT_TRUE(player.start(server.environment()));
    ASSERT_TRUE(player.clickAndRest(PlayerProgram::playX, PlayerProgram::buttonY));
    ASSERT_TRUE(waitUntil([&] { return barLength(player.screenshot()) >= 40; }, 5s));
    server.kill();
    int held = -1;
    EXPECT_TRUE(waitUntil([&] {
        return holdsFor([&] { return barLength(player.screenshot()) == held; }, 2s) ||
               ((held = barLength(player.screenshot())), false);
    }, 5s)) << "the bar did not stop";
    EXPECT_GE(held, 40);
    ASSERT_TRUE(server.start());
    EXPECT_TRUE(waitUntil([&] { return server.capture().soundAfter(0).has_value(); }));
    EXPECT_TRUE(waitUntil([&] { return barLength(player.screenshot()) == 0; }, 5s)) << "no end";
    EXPECT_TRUE(playLooks(false));
    // The first line comes from the sound server's client, in the background.
    const std::string said = player.process().standardOutput();
    const std::string through = "brasko sound: playing through the sound server (pulseaudio 16.1)\n";
    EXPECT_TRUE(said.rfind(through + noBus, 0) == 0 || said.rfind(noBus + through, 0) == 0) << said;
    EXPECT_EQ(said.substr(through.size() + noBus.size()),
              "brasko sound: the sound server is gone; the sound holds until it is back\n"
              "brasko sound: the sound server is back\n");
    EXPECT_LT(player.longestTurn(), 100.0);
    expectCleanClose();
}

TEST_F(BadInputTest, ASoundServerThatNeverMakesAStreamReadyHoldsUpNeitherTheWindowNorItsClicks) {
    // PipeWire without its session manager: opening an output waits half a minute.
    SoundServer server(SoundServer::Kind::pipewire);
    ASSERT_TRUE(server.start(false, false));
    player.withRessources();
    player.withSong(BRASKO_TEST_SONG);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.start(server.environment()));
    std::printf("figure: first frames shown %.3f s after the start\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    ASSERT_TRUE(player.clickAndRest(PlayerProgram::playX, PlayerProgram::buttonY));
    EXPECT_TRUE(playLooks(true));
    EXPECT_LT(player.longestTurn(), 100.0);
    expectCleanClose();
}

// --- no session bus -------------------------------------------------------------------------

TEST_F(BadInputTest, WithoutASessionBusItSaysSoOnceAndPlaysAsBefore) {
    player.withRessources();
    player.withSong(BRASKO_TEST_SONG);
    ASSERT_TRUE(player.start({"DBUS_SESSION_BUS_ADDRESS=", "XDG_RUNTIME_DIR="})); // nowhere to look
    ASSERT_TRUE(playAndListen()) << "no sound after Play";
    EXPECT_TRUE(playLooks(true));
    EXPECT_EQ(openAl + noBus, player.process().standardOutput());
    expectCleanClose();
}

// --- the command line and the display -------------------------------------------------------

// No display named, one where no X server listens (a loopback port that refuses), and one
// whose server takes the connection and never answers (a port that listens, never accepting).
enum class Display { unset, refusing, silent };

struct Start {
    const char* name;
    std::vector<std::string> arguments;
    Display display;
    int status;
    std::string out; // how standard output starts
    std::string err; // all of standard error; "@" stands for the display's name
};

class StartTest : public ::testing::TestWithParam<Start> {};

TEST_P(StartTest, EndsAtOnceWithItsStatusAndOneAnswer) {
    // X display n is TCP port 6000 + n: a free one is bound here.
    const int port = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    int number = 40;
    do
        address.sin_port = htons(static_cast<std::uint16_t>(6000 + ++number));
    while (bind(port, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && number < 99);
    if (GetParam().display == Display::silent)
        listen(port, 1);
    const std::string display = "127.0.0.1:" + std::to_string(number);
    TempDir folder;
    Process program(BRASKO_EXE, folder.path(),
                    {"DISPLAY=" + (GetParam().display == Display::unset ? "" : display)},
                    GetParam().arguments);
    ASSERT_TRUE(program.waitForExit(10s));
    close(port);
    EXPECT_EQ(GetParam().status, program.exitStatus());
    EXPECT_EQ(GetParam().out, program.standardOutput().substr(0, GetParam().out.size()));
    std::string err = GetParam().err;
    if (err.find('@') != std::string::npos)
        err.replace(err.find('@'), 1, display);
    EXPECT_EQ(err, program.standardError());
}
const char* const usage = "usage: brasko [--help | --version] [--] [SONG]";

INSTANTIATE_TEST_SUITE_P(
    CommandLine, StartTest,
    ::testing::Values(
        Start{"help", {"--help", "song.mp3"}, Display::unset, 0, usage + std::string("\n"), ""},
        Start{"version", {"song.mp3", "--version"}, Display::unset, 0, "brasko " BRASKO_VERSION "\n", ""},
        Start{"unknown_option", {"-v"}, Display::unset, 2, "",
              "brasko: unknown option \"-v\"; " + std::string(usage) + "\n"},
        Start{"no_display", {}, Display::unset, 1, "", "brasko: no display to open: DISPLAY is not set\n"},
        Start{"no_x_server", {}, Display::refusing, 1, "",
              "brasko: cannot open the display \"@\": no X server there, or it refuses the connection\n"},
        Start{"silent_x_server", {"song.mp3"}, Display::silent, 1, "",
              "brasko: cannot open the display \"@\": its X server does not answer\n"}),
    [](const auto& info) { return std::string(info.param.name); });
