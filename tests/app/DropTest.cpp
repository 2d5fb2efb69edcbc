// The real player, a long song playing, given drags from a source of the test's own as a file
// manager makes them: a URI list naming a song plays that song at once, and the window says
// so before and after the drop; other lists and types are refused, and the song goes on; a
// source that never hands its list over leaves the window answering clicks meanwhile, and one
// that goes away mid-drag leaves it playing.
#include "PlayerProgram.hpp"

#include "app/DropTarget.hpp"
#include "session/FileUri.hpp"
#include "support/Wait.hpp"
#include "support/XClient.hpp"

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
    // {dir} stands for the URI of a folder that holds "dropped song.mp3", 3 s long.
    std::string data;
    bool accepted;
};

void PrintTo(const Drag& drag, std::ostream* out) {
    *out << drag.name;
}
} // namespace

class DropTest : public ::testing::Test {
protected:
    // Starts the player with a song over twelve hours long, plays it and waits to hear it.
    void SetUp() override {
        player.withRessources();
        player.withSong(BRASKO_LONG_SONG);
        fs::create_directories(dir);
        fs::create_symlink(BRASKO_TEST_SONG, dir / "dropped song.mp3");
        ASSERT_TRUE(player.start());
        ASSERT_TRUE(player.clickAndRest(PlayerProgram::playX, PlayerProgram::buttonY));
        ASSERT_TRUE(waitUntil([&] { return player.capture().soundAfter(0).has_value(); }, 5s));
    }

    // The first frame at or after first that starts length frames of silence, within 8 s.
    std::optional<std::size_t> silence(std::size_t first, std::size_t length) {
        std::optional<std::size_t> found;
        waitUntil(
            [&] { return (found = player.capture().silenceAfter(first, length)).has_value(); }, 8s);
        return found;
    }

    PlayerProgram player;
    const fs::path dir = player.folder() / "my songs";
};

class DropTableTest : public DropTest, public ::testing::WithParamInterface<Drag> {};

TEST_P(DropTableTest, PlaysTheSongOrRefusesTheDrop) {
    std::string data = GetParam().data;
    for (std::size_t at = data.find("{dir}"); at != std::string::npos; at = data.find("{dir}"))
        data.replace(at, 5, FileUri::of(dir));
    ASSERT_TRUE(player.x().dragOver(GetParam().type, data, true)) << "the window takes no drops";
    EXPECT_EQ(GetParam().accepted, player.x().status());
    const std::size_t dropped = player.capture().frames();
    EXPECT_EQ(GetParam().accepted, player.x().drop());
    if (GetParam().accepted) {
        // The long song ends and the dropped one is heard to its end, 3 s later.
        const std::optional<std::size_t> quiet = silence(dropped, rate / 2);
        ASSERT_TRUE(quiet) << "the dropped song does not end";
        EXPECT_GT(*quiet, dropped + rate * 5 / 2) << "the dropped song was not heard";
    } else {
        ASSERT_TRUE(waitUntil([&] { return player.capture().frames() >= dropped + rate; }, 5s));
        EXPECT_FALSE(player.capture().silenceAfter(dropped, rate / 4)) << "the song stopped";
    }
    EXPECT_EQ(0, player.close()) << player.process().standardError();
}

INSTANTIATE_TEST_SUITE_P(
    Drags, DropTableTest,
    ::testing::Values(
        Drag{"song_after_comment_web_address_and_folder", "text/uri-list",
             "# chosen\r\nhttps://example.org/a.mp3\r\n{dir}\r\n{dir}/dropped%20song.mp3\r\n",
             true},
        Drag{"web_address", "text/uri-list", "https://example.org/a.mp3\r\n", false},
        Drag{"folder", "text/uri-list", "{dir}\r\n", false},
        Drag{"song_as_plain_text", "text/plain", "{dir}/dropped%20song.mp3\r\n", false},
        Drag{"song_after_a_megabyte", "text/uri-list",
             std::string(1 << 20, '/') + "\r\n{dir}/dropped%20song.mp3\r\n", false},
        Drag{"garbage", "text/uri-list", std::string("\0\xff\r\n%%%\n\n#", 10), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DropTest, ASourceThatNeverHandsOverItsListLeavesTheWindowAnswering) {
    const auto dragged = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.x().dragOver("text/uri-list", FileUri::of(BRASKO_TEST_SONG), false));
    // While the window waits for the list, Stop is clicked, and heard before it gives up.
    const std::size_t stopped = player.capture().frames();
    ASSERT_TRUE(player.clickAndRest(PlayerProgram::stopX, PlayerProgram::buttonY));
    ASSERT_TRUE(silence(stopped, rate / 4));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - dragged);
    EXPECT_LT(took.count(), DropTarget::handOverTime.count()) << "ms to answer a click";
    EXPECT_EQ(false, player.x().status());
    EXPECT_EQ(false, player.x().drop());
    EXPECT_EQ(0, player.close()) << player.process().standardError();
}

TEST_F(DropTest, ASourceThatGoesMidDragLeavesTheSongPlaying) {
    std::optional<XClient> source(player.x().handle());
    ASSERT_TRUE(source->dragOver("text/uri-list", FileUri::of(dir / "dropped song.mp3"), true));
    source.reset(); // its windows go with its connection: the answers are sent to none
    const std::size_t gone = player.capture().frames();
    ASSERT_TRUE(waitUntil([&] { return player.capture().frames() >= gone + rate; }, 5s))
        << "the player ended: " << player.process().standardError();
    EXPECT_FALSE(player.capture().silenceAfter(gone, rate / 4)) << "the song stopped";
    EXPECT_EQ(0, player.close()) << player.process().standardError();
}
