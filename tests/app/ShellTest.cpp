// The real program started as a user would: its window's title, fixed size, icon and frame
// cap as the window system sees them, a start without its pictures, and a clean exit on the
// window manager's close request.
#include "app/IconImage.hpp"
#include "support/Process.hpp"
#include "support/TempDir.hpp"
#include "support/Wait.hpp"
#include "support/XClient.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ShellTest : public ::testing::Test {
protected:
    // Starts the player in the scratch folder, with or without the shipped pictures and font,
    // and waits for its window.
    void start(bool withRessources, std::vector<std::string> environment = {}) {
        if (withRessources)
            fs::copy(fs::path(BRASKO_SOURCE_DIR) / "ressources", work.path() / "ressources",
                     fs::copy_options::recursive);
        program = std::make_unique<Process>(BRASKO_EXE, work.path(), environment);
        ASSERT_TRUE(waitUntil([&] { return x.findWindowOf(program->pid()) && x.isViewable(); },
                              10s))
            << program->standardError();
    }

    // Asks the window to close and returns the exit status, or -1 if it did not end.
    int closeAndWait() {
        x.requestClose();
        return program->waitForExit(5s) ? program->exitStatus() : -1;
    }

    TempDir work;
    XClient x;
    std::unique_ptr<Process> program;
};

TEST_F(ShellTest, WindowHasItsTitleAndAFixedSizeOf300By150) {
    start(true);
    EXPECT_EQ("Brasko :: Velmar", x.title());
    EXPECT_EQ((std::vector<int>{300, 150, 300, 150}), x.sizeLimits());
    EXPECT_EQ(0, closeAndWait());
}

TEST_F(ShellTest, WindowCarriesTheBuiltInLoudspeakerIcon) {
    start(true);
    // The icon is set just after the window appears.
    std::vector<unsigned long> icon;
    waitUntil([&] { return !(icon = x.icon()).empty(); });
    ASSERT_EQ(2u + 32u * 32u, icon.size());
    EXPECT_EQ(32u, icon[0]);
    EXPECT_EQ(32u, icon[1]);
    int differing = 0;
    for (int i = 0; i < 32 * 32; ++i) {
        const std::uint8_t* rgba = IconImage.pixel_data + 4 * i;
        const unsigned long argb = (static_cast<unsigned long>(rgba[3]) << 24) |
                                   (static_cast<unsigned long>(rgba[0]) << 16) |
                                   (static_cast<unsigned long>(rgba[1]) << 8) | rgba[2];
        differing += (icon[2 + i] & 0xFFFFFFFFul) != argb;
    }
    EXPECT_EQ(0, differing);
    EXPECT_EQ(0, closeAndWait());
}

TEST_F(ShellTest, StartsAndClosesCleanlyWithoutItsRessourcesFolder) {
    start(false);
    EXPECT_EQ("Brasko :: Velmar", x.title());
    EXPECT_EQ(0, closeAndWait());
}

TEST_F(ShellTest, ShowsAboutFortyFramesASecondAndNeverFarMore) {
    const fs::path counter = work.path() / "frames";
    const char* preloaded = std::getenv("LD_PRELOAD"); // set by the sanitizer run
    start(true, {std::string("LD_PRELOAD=" BRASKO_FRAME_COUNTER " ") + (preloaded ? preloaded : ""),
                 "BRASKO_FRAME_COUNT_FILE=" + counter.string()});
    auto frames = [&] {
        std::ifstream in(counter);
        unsigned long count = 0;
        in >> count;
        return count;
    };
    ASSERT_TRUE(waitUntil([&] { return frames() > 5; }, 5s));
    const unsigned long first = frames();
    const auto begin = std::chrono::steady_clock::now();
    // Measure over two seconds of wall time, however busy the machine is.
    while (std::chrono::steady_clock::now() - begin < 2s)
        std::this_thread::sleep_for(50ms);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    const double rate = static_cast<double>(frames() - first) / seconds;
    EXPECT_GT(rate, 30.0);
    EXPECT_LT(rate, 44.0);
    EXPECT_EQ(0, closeAndWait());
}
