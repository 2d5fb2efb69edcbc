// The click latch, fed by real X input to a real window: presses of any button latch a
// click, any other event clears it, one event is handled per frame, and the close request
// closes the window.
#include "app/InputState.hpp"
#include "support/Wait.hpp"
#include "support/XClient.hpp"

#include <SFML/Graphics/RenderWindow.hpp>
#include <gtest/gtest.h>

#include <memory>

class InputStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.create(sf::VideoMode(300, 150, 32), "Brasko :: Velmar", sf::Style::Close);
        x = std::make_unique<XClient>(window.getSystemHandle());
        ASSERT_TRUE(waitUntil([&] { return x->isViewable(); }));
        // Settle: put the pointer inside, wait for its movement to arrive, drop the rest.
        x->moveTo(150, 75);
        sf::Event event;
        ASSERT_TRUE(waitUntil([&] {
            return window.pollEvent(event) && event.type == sf::Event::MouseMoved;
        }));
        while (window.pollEvent(event)) {
        }
    }

    // Polls frame after frame until the latch reads `expected`.
    bool pollUntilLatch(bool expected) {
        return waitUntil([&] {
            input.poll(window);
            return input.isClicked() == expected;
        });
    }

    sf::RenderWindow window;
    InputState input;
    std::unique_ptr<XClient> x;
};

TEST_F(InputStateTest, StartsWithoutAClick) { EXPECT_FALSE(input.isClicked()); }

TEST_F(InputStateTest, PressFollowedAtOnceByReleaseIsLatchedForExactlyOneFrame) {
    x->press(1);
    x->release(1);
    ASSERT_TRUE(pollUntilLatch(true));
    input.poll(window);
    EXPECT_FALSE(input.isClicked());
}

TEST_F(InputStateTest, RightAndMiddlePressesLatchLikeALeftPress) {
    x->press(3);
    EXPECT_TRUE(pollUntilLatch(true));
    x->release(3);
    EXPECT_TRUE(pollUntilLatch(false));
    x->press(2);
    EXPECT_TRUE(pollUntilLatch(true));
    x->release(2);
}

TEST_F(InputStateTest, LatchHoldsWhileNoEventArrivesAndAMoveClearsIt) {
    x->press(1);
    ASSERT_TRUE(pollUntilLatch(true));
    for (int frame = 0; frame < 10; ++frame) {
        input.poll(window);
        ASSERT_TRUE(input.isClicked()) << "frame " << frame;
    }
    x->moveTo(20, 20);
    EXPECT_TRUE(pollUntilLatch(false));
    x->release(1);
}

TEST_F(InputStateTest, QueuedEventsAreHandledOnePerFrame) {
    x->press(1);
    x->release(1);
    x->press(3);
    x->release(3);
    ASSERT_TRUE(pollUntilLatch(true));
    const bool expected[] = {false, true, false};
    for (bool latch : expected) {
        input.poll(window);
        EXPECT_EQ(latch, input.isClicked());
    }
}

TEST_F(InputStateTest, AConsumerCanClearTheLatch) {
    x->press(1);
    ASSERT_TRUE(pollUntilLatch(true));
    input.setClicked(false);
    input.poll(window);
    EXPECT_FALSE(input.isClicked());
    x->release(1);
}

TEST_F(InputStateTest, CloseRequestClosesTheWindowAndClearsTheLatch) {
    x->press(1);
    ASSERT_TRUE(pollUntilLatch(true));
    x->requestClose();
    ASSERT_TRUE(waitUntil([&] {
        input.poll(window);
        return !window.isOpen();
    }));
    EXPECT_FALSE(input.isClicked());
}

TEST_F(InputStateTest, MousePositionIsTheLiveCursorRelativeToTheWindow) {
    x->moveTo(37, 120);
    EXPECT_EQ(sf::Vector2i(37, 120), input.mousePosition(window));
    x->moveTo(250, 4);
    EXPECT_EQ(sf::Vector2i(250, 4), input.mousePosition(window));
}
