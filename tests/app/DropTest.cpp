// The real player, a long song playing, given drags from a source of the test's own as a file
// manager makes them: a URI list naming a song plays that song at once, and the window says
// so before and after the drop; other lists and types are refused, and the song goes on; a
// source that never hands its list over leaves the window answering clicks meanwhile.
#include "PlayerProgram.hpp"

#include "app/DropTarget.hpp"
#include "session/FileUri.hpp"
#include "support/Wait.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
const std::size_t rate = WaveCapture::rate;

struct Drag {
    const char* name;
    const char* type;
    // The data, with {song} and {folder} standing for the URIs of the dropped song (3 s long)
    // and of the folder it is in.
    std::string data;
    bool accepted;
};

void PrintTo(const Drag& drag, std::ostream* out) {
    *out << drag.name;
}

std::string replaced(std::string text, const std::string& name, const std::string& by) {
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at))
        text.replace(at, name.size(), by);
    return text;
}

std::string repeated(const std::string& line, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += line;
    return text;
}
} // namespace

class DropTest : public ::testing::TestWithParam<Drag> {
protected:
    // Starts the player with a song over twelve hours long, plays it and waits to hear it.
    void SetUp() override {
        player.withRessources();
        player.withSong(BRASKO_LONG_SONG);
        fs::create_directories(drops);
        fs::create_symlink(BRASKO_TEST_SONG, song);
        ASSERT_TRUE(player.start());
        ASSERT_TRUE(player.clickAndRest(PlayerProgram::playX, PlayerProgram::buttonY));
        ASSERT_TRUE(waitUntil([&] { return player.capture().soundAfter(0).has_value(); }, 5s));
    }

    // Waits for a second of output from first on: true iff none of it is silent.
    bool goesOn(std::size_t first) {
        EXPECT_TRUE(waitUntil([&] { return player.capture().frames() >= first + rate; }, 5s));
        return !player.capture().silenceAfter(first, rate / 4);
    }

    PlayerProgram player;
    const fs::path drops = player.folder() / "my songs";
    const fs::path song = drops / "dropped song.mp3";
};

TEST_P(DropTest, PlaysTheSongOrRefusesTheDrop) {
    const std::string data = replaced(replaced(GetParam().data, "{song}", FileUri::of(song)),
                                      "{folder}", FileUri::of(drops));
    ASSERT_TRUE(player.x().dragOver(GetParam().type, data, true)) << "the window takes no drops";
    EXPECT_EQ(GetParam().accepted, player.x().status());
    const std::size_t dropped = player.capture().frames();
    EXPECT_EQ(GetParam().accepted, player.x().drop());
    if (GetParam().accepted) {
        // The long song ends and the dropped one is heard to its end, 3 s later.
        std::optional<std::size_t> silence;
        ASSERT_TRUE(waitUntil(
            [&] {
                return (silence = player.capture().silenceAfter(dropped, rate / 2)).has_value();
            },
            8s));
        EXPECT_GT(*silence, dropped + rate * 5 / 2) << "the dropped song was not heard";
    } else {
        EXPECT_TRUE(goesOn(dropped)) << "the playing song stopped";
    }
    EXPECT_EQ(0, player.close()) << player.process().standardError();
}

INSTANTIATE_TEST_SUITE_P(
    Drags, DropTest,
    ::testing::Values(
        Drag{"song_after_comment_web_address_and_folder", "text/uri-list",
             "# chosen in a file manager\r\nhttps://example.org/a.mp3\r\n{folder}\r\n{song}\r\n",
             true},
        Drag{"web_address", "text/uri-list", "https://example.org/a.mp3\r\n", false},
        Drag{"folder", "text/uri-list", "{folder}\r\n", false},
        Drag{"song_as_plain_text", "text/plain;charset=utf-8", "{song}\r\n", false},
        Drag{"song_past_a_megabyte_of_other_files", "text/uri-list",
             repeated("file:///no/such/song.mp3\r\n", 40000) + "{song}\r\n", false},
        Drag{"garbage", "text/uri-list", std::string("\0\xff\r\n%%%\n\n#", 10), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DropSourceTest, ThatNeverHandsOverItsListLeavesTheWindowAnswering) {
    PlayerProgram player;
    player.withRessources();
    player.withSong(BRASKO_LONG_SONG);
    ASSERT_TRUE(player.start());
    ASSERT_TRUE(player.clickAndRest(PlayerProgram::playX, PlayerProgram::buttonY));
    ASSERT_TRUE(waitUntil([&] { return player.capture().soundAfter(0).has_value(); }, 5s));

    const auto dragged = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.x().dragOver("text/uri-list", FileUri::of(BRASKO_TEST_SONG), false));
    // While the window waits for the list, Stop is clicked, and heard before it gives up.
    const std::size_t stopped = player.capture().frames();
    ASSERT_TRUE(player.clickAndRest(PlayerProgram::stopX, PlayerProgram::buttonY));
    ASSERT_TRUE(waitUntil(
        [&] { return player.capture().silenceAfter(stopped, rate / 4).has_value(); }, 5s));
    const auto answered = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - dragged);
    EXPECT_LT(answered.count(), DropTarget::handOverTime.count()) << "ms to answer a click";
    EXPECT_EQ(false, player.x().status());
    EXPECT_EQ(false, player.x().drop());
    EXPECT_EQ(0, player.close()) << player.process().standardError();
}
