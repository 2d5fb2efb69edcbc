// The real program started as a user would: its window's title, fixed size, icon and frame
// cap as the window system sees them, the size that the desktop's X resources, GDK_SCALE,
// BRASKO_SCALE and the key Z ask for, a start without its pictures, and a clean exit on the
// window manager's close request.
#include "app/IconImage.hpp"
#include "support/Process.hpp"
#include "support/TempDir.hpp"
#include "support/Wait.hpp"
#include "support/XClient.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

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
        environment.insert(environment.begin(), "BRASKO_SCALE=1");
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

// --- the size the desktop asks for ------------------------------------------------------------

struct Scaling {
    const char* name;
    const char* resources; // as xrdb sets them
    const char* environment;
    int width;
};

void PrintTo(const Scaling& scaling, std::ostream* out) { *out << scaling.name; }

class ScaleTest : public ShellTest, public ::testing::WithParamInterface<Scaling> {
protected:
    void TearDown() override { x.setResources(desktop); }

    const std::string desktop = x.resources();
};

TEST_P(ScaleTest, OpensAtTheSizeAskedForFixedAndZSwitchesToTheOther) {
    x.setResources(GetParam().resources);
    start(true, {"GDK_SCALE=", "BRASKO_SCALE=", GetParam().environment});
    for (const int width : {GetParam().width, 900 - GetParam().width}) {
        EXPECT_TRUE(waitUntil([&] {
            return x.sizeLimits() == std::vector<int>{width, width / 2, width, width / 2} &&
                   x.screenshot().getSize().x == static_cast<unsigned>(width);
        })) << "not fixed at " << width << " wide";
        x.key("z", true);
        x.key("z", false);
    }
    EXPECT_EQ(0, closeAndWait());
    const std::string said = program->standardOutput();
    EXPECT_EQ(std::string(GetParam().name) == "refused_3",
              said.find("brasko: BRASKO_SCALE=3 is neither 1 nor 2; the window opens at its "
                        "normal size\n") != std::string::npos)
        << said;
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, ScaleTest,
    ::testing::Values(Scaling{"xft_dpi_192", "Xft.antialias:\t1\nXft.dpi:\t192\n",
                              "GDK_SCALE=", 600},
                      Scaling{"xft_dpi_120", "Xft.dpi:\t120\n", "GDK_SCALE=", 300},
                      Scaling{"xft_dpi_garbage", "Xft.dpi:\tlarge\n", "GDK_SCALE=", 300},
                      Scaling{"xft_dpi_out_of_range", "Xft.dpi:\t96000\n", "GDK_SCALE=", 300},
                      Scaling{"gdk_scale_2", "", "GDK_SCALE=2", 600},
                      Scaling{"forced_1", "Xft.dpi:\t192\n", "BRASKO_SCALE=1", 300},
                      Scaling{"refused_3", "Xft.dpi:\t192\n", "BRASKO_SCALE=3", 300}),
    [](const auto& info) { return std::string(info.param.name); });
