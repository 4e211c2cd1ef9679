// SPDX-License-Identifier: GPL-3.0-or-later
#include "ports/DeviceErrors.h"
#include "ports/MIDIInput.h"
#include "support/LoopbackBackend.h"
#include "support/ManualUiThread.h"

#include <gtest/gtest.h>

#include <thread>

namespace marovane {
namespace {

class InputTest : public ::testing::Test {
protected:
    LoopbackBackend midi;
    testing::ManualUiThread ui;
    MIDIInput port{midi, ui};
    int messageEvents = 0;
    std::vector<PortError> errors;

    void SetUp() override {
        midi.inputs = {"Keys", "Pads", "Sequencer"};
        port.onMessage = [this] { ++messageEvents; };
        port.onError = [this](std::int16_t code, const std::string& text) { errors.push_back({code, text}); };
    }
    void openAndStart(std::int16_t device) {
        port.setDeviceID(device);
        port.setAction(ActionOpen);
        port.setAction(ActionStart);
    }
    ShortMessage shown() const { return {port.Message(), port.Data1(), port.Data2()}; }
};

TEST_F(InputTest, ListsAndOpensTheChosenDevice) {
    EXPECT_EQ(port.DeviceCount(), 3);
    port.setDeviceID(1);
    EXPECT_EQ(port.ProductName(), "Pads");
    port.setAction(ActionOpen);
    EXPECT_EQ(port.State(), 1);
    EXPECT_EQ(midi.openInputDevice(), "Pads");
    port.setDeviceID(-1);
    EXPECT_EQ(port.ProductName(), "");
    port.setAction(ActionOpen);  // no device -1 on an input
    EXPECT_EQ(port.State(), 0);
    EXPECT_EQ(midi.openInputDevice(), "");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, ErrorNoSuchDevice);
}

TEST_F(InputTest, StateFollowsOpenStartStopClose) {
    const std::pair<std::int16_t, std::int16_t> steps[] = {
        {ActionStop, 0}, {ActionClose, 0}, {ActionNext, 0},  {ActionOpen, 1},  {ActionStart, 2},
        {ActionStop, 1}, {ActionStop, 1},  {ActionStart, 2}, {ActionClose, 0}, {ActionSend, 0},
    };
    for (const auto& [action, state] : steps) {
        port.setAction(action);
        EXPECT_EQ(port.State(), state) << "after action " << action;
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(InputTest, OnlyAStartedPortQueuesMessages) {
    port.setAction(ActionOpen);
    midi.receive({0x90, 60, 100});
    EXPECT_EQ(port.MessageCount(), 0);
    port.setAction(ActionStart);
    midi.receive({0x90, 61, 100});
    port.setAction(ActionStop);
    midi.receive({0x90, 62, 100});
    EXPECT_EQ(port.MessageCount(), 1);  // what came before the stop still waits
    EXPECT_EQ(shown(), (ShortMessage{144, 61, 100}));
    port.setAction(ActionClose);
    EXPECT_EQ(port.MessageCount(), 0);
    EXPECT_FALSE(midi.receive({0x90, 63, 100}));
}

TEST_F(InputTest, NextDropsExactlyTheOldestMessage) {
    openAndStart(0);
    midi.receive({0x90, 60, 100});
    midi.receive({0xC0, 5});
    midi.receive({0xF6});
    ASSERT_EQ(port.MessageCount(), 3);
    const ShortMessage expected[] = {{144, 60, 100}, {192, 5, 0}, {246, 0, 0}};
    for (const auto& message : expected) {
        EXPECT_EQ(shown(), message);
        port.setAction(ActionNext);
    }
    EXPECT_EQ(port.MessageCount(), 0);
    EXPECT_EQ(shown(), (ShortMessage{}));
    port.setAction(ActionNext);  // nothing to drop
    EXPECT_EQ(port.MessageCount(), 0);
}

TEST_F(InputTest, MessageEventIsRaisedOnTheUiThreadOncePerBatch) {
    openAndStart(0);
    midi.receive({0x90, 60, 100});
    midi.receive({0x80, 60, 0});
    EXPECT_EQ(messageEvents, 0);  // nothing happens on the back end's thread
    EXPECT_EQ(ui.runPending(), 1);
    EXPECT_EQ(messageEvents, 1);

    // Drained inside the event, as the window does: later arrivals post anew.
    port.onMessage = [this] {
        ++messageEvents;
        while (port.MessageCount() > 0) port.setAction(ActionNext);
    };
    ui.runPending();
    midi.receive({0x90, 62, 100});
    EXPECT_EQ(ui.runPending(), 1);
    EXPECT_EQ(messageEvents, 2);
    EXPECT_EQ(port.MessageCount(), 0);
}

TEST_F(InputTest, NoEventWhenTheQueueWasEmptiedMeanwhile) {
    openAndStart(0);
    midi.receive({0x90, 60, 100});
    port.setAction(ActionClose);
    ui.runPending();
    EXPECT_EQ(messageEvents, 0);
}

TEST_F(InputTest, EventAfterThePortIsGoneDoesNothing) {
    {
        MIDIInput other(midi, ui);
        other.setAction(ActionOpen);
        other.setAction(ActionStart);
        other.onMessage = [this] { ++messageEvents; };
        midi.receive({0x90, 60, 100});
    }
    EXPECT_EQ(ui.runPending(), 1);
    EXPECT_EQ(messageEvents, 0);
}

TEST_F(InputTest, FullQueueDropsNewMessagesAndReportsOnce) {
    openAndStart(0);
    for (std::size_t i = 0; i < InputQueue::capacity + 10; ++i) midi.receive({0x90, 60, 1});
    midi.receive({0x90, 61, 1});
    ui.runPending();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, ErrorQueueFull);
    EXPECT_EQ(port.MessageCount(), static_cast<std::int16_t>(InputQueue::capacity));

    port.setAction(ActionNext);
    midi.receive({0x90, 62, 1});  // there was room again
    for (int i = 0; i < 5; ++i) midi.receive({0x90, 63, 1});
    ui.runPending();
    EXPECT_EQ(errors.size(), 1u);

    port.setAction(ActionOpen);  // reopening starts a fresh report
    port.setAction(ActionStart);
    for (std::size_t i = 0; i <= InputQueue::capacity; ++i) midi.receive({0x90, 60, 1});
    ui.runPending();
    EXPECT_EQ(errors.size(), 2u);
}

// Messages the MIDI system lost share the queue's one report per opening.
TEST_F(InputTest, TheSystemsOverflowIsReportedOnceWithTheQueues) {
    openAndStart(0);
    midi.overflow();
    midi.overflow();
    for (std::size_t i = 0; i <= InputQueue::capacity; ++i) midi.receive({0x90, 60, 1});
    ui.runPending();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, systemOverflow().text);
}

// The back end's news comes on its own thread; the port acts on it on the UI
// thread: it closes, dropping what waited, and says why, once.
TEST_F(InputTest, ConnectionThatFailsIsClosedAndReportedOnce) {
    openAndStart(1);
    midi.receive({0x90, 60, 100});
    ui.runPending();
    midi.fail("Keys", {ErrorDeviceGone, "Keys gone"});  // another device
    ui.runPending();
    EXPECT_EQ(port.State(), StateStarted);

    midi.fail("Pads", {ErrorDeviceGone, "Pads gone"});
    EXPECT_EQ(port.State(), StateStarted);
    ui.runPending();
    EXPECT_EQ(port.State(), StateClosed);
    EXPECT_EQ(port.MessageCount(), 0);
    EXPECT_FALSE(midi.receive({0x90, 61, 100}));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, ErrorDeviceGone);
    EXPECT_EQ(errors[0].text, "Pads gone");

    port.setAction(ActionOpen);  // the device is listed again: it opens anew
    port.setAction(ActionStart);
    EXPECT_EQ(port.State(), StateStarted);
    ui.runPending();
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(InputTest, MessagesFromAnotherThreadKeepTheirOrder) {
    openAndStart(2);
    constexpr int count = 2000;
    std::thread sender([this] {
        for (int i = 0; i < count; ++i) {
            midi.receive({0xB0, static_cast<unsigned char>(i % 128), static_cast<unsigned char>(i / 128)});
        }
    });
    int seen = 0;
    port.onMessage = [&] {
        while (port.MessageCount() > 0) {
            EXPECT_EQ(port.Data1() + 128 * port.Data2(), seen);
            ++seen;
            port.setAction(ActionNext);
        }
    };
    while (seen < count && ui.waitForTask(std::chrono::seconds(5))) ui.runPending();
    sender.join();
    ui.runPending();
    EXPECT_EQ(seen, count);
}

}  // namespace
}  // namespace marovane
